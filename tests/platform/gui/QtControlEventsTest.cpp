// The user-only change and click events: what the program writes into a control reaches no
// handler, what the user does reaches it once.
#include "platform/gui/QtControlEvents.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QTest>

namespace {

TEST(QtControlEvents, ProgramWritesFireNothingUserActionsFireOnce) {
  QWidget window;
  auto* list = new QComboBox(&window);
  list->addItems({"a", "b", "c"});
  auto* editable = new QComboBox(&window);
  editable->setEditable(true);
  editable->addItems({"8", "10", "12"});
  auto* edit = new QLineEdit(&window);
  auto* check = new QCheckBox(&window);
  QAction action(&window);
  action.setCheckable(true);
  int nList = 0, nEditable = 0, nEdit = 0, nCheck = 0, nAction = 0;
  OnUserChange(list, [&] { ++nList; });
  OnUserChange(editable, [&] { ++nEditable; });
  OnUserChange(edit, [&] { ++nEdit; });
  OnUserClick(check, [&] { ++nCheck; });
  OnUserClick(&action, [&] { ++nAction; });
  window.show();

  list->setCurrentIndex(2);
  editable->setCurrentIndex(1);
  editable->setEditText("99");
  edit->setText("program");
  check->setChecked(true);
  action.setChecked(true);
  EXPECT_EQ(nList + nEditable + nEdit + nCheck + nAction, 0);

  emit list->activated(1);
  EXPECT_EQ(nList, 1);
  QTest::keyClicks(editable->lineEdit(), "4");
  EXPECT_EQ(nEditable, 1);
  QTest::keyClicks(edit, "xy");
  EXPECT_EQ(nEdit, 2);
  QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(4, check->height() / 2));
  EXPECT_EQ(nCheck, 1);
  EXPECT_FALSE(check->isChecked());
  action.trigger();
  EXPECT_EQ(nAction, 1);
}

TEST(QtControlEvents, APanelsClickCanBeSwitchedOffAndOn) {
  QFrame panel;
  panel.resize(20, 20);
  panel.show();
  int clicks = 0;
  OnUserClick(&panel, [&] { ++clicks; });
  QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(clicks, 1);
  // Only the left button, pressed and released inside.
  QTest::mouseClick(&panel, Qt::RightButton, {}, QPoint(5, 5));
  QTest::mousePress(&panel, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(40, 5));
  EXPECT_EQ(clicks, 1);
  SetClickEnabled(&panel, false);
  EXPECT_FALSE(ClickEnabled(&panel));
  QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(clicks, 1);
  SetClickEnabled(&panel, true);
  QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(clicks, 2);
}

}  // namespace
