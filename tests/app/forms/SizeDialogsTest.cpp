// The number dialogs: each edit's limits, the up-downs' ranges and the Execute contracts.
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/forms/Uniteditprojectsize.h"
#include "app/forms/Uniteditsize.h"
#include "app/forms/Unitgridsize.h"
#include "app/forms/Unitresize.h"
#include "platform/ImageLimits.h"
#include "platform/gui/QtUpDown.h"
#include "tests/support/ScriptedServices.h"

namespace {

// The screen of the examples: 1024 x 768.
struct SmallScreen : ScriptedServices {
  void ScreenSize(int& w, int& h) override {
    w = 1024;
    h = 768;
  }
};

std::string Text(QLineEdit* e) { return e->text().toStdString(); }

// Runs `action` once the modal loop of `dialog` is running.
void WhileModal(QDialog* dialog, std::function<void()> action) {
  QTimer::singleShot(0, dialog, [dialog, action] {
    if (dialog->isVisible()) action();
  });
}

// The area of the examples: a 1024 x 768 page.
constexpr TRect kPage(0, 0, 1024, 768);

TEST(FormResize, EachExitKeepsItsEditOnThePage) {
  TFormResize form;
  form.Area = kPage;
  struct Case {
    const char* left;
    const char* top;
    const char* width;
    const char* height;
    void (TFormResize::*handler)();
    QLineEdit* TFormResize::*edit;
    const char* expected;
  } cases[] = {
      {"5000", "0", "100", "50", &TFormResize::EditLeftExit, &TFormResize::EditLeft, "924"},
      {"-7", "0", "100", "50", &TFormResize::EditLeftExit, &TFormResize::EditLeft, "0"},
      {"12", "0", "100", "50", &TFormResize::EditLeftExit, &TFormResize::EditLeft, "12"},
      // No number: the default; a width that is no number counts as 32.
      {"abc", "0", "100", "50", &TFormResize::EditLeftExit, &TFormResize::EditLeft, "0"},
      {"2000", "0", "", "50", &TFormResize::EditLeftExit, &TFormResize::EditLeft, "992"},
      // A width wider than the screen leaves no room: the lower limit wins.
      {"300", "0", "3000", "50", &TFormResize::EditLeftExit, &TFormResize::EditLeft, "0"},
      {"0", "900", "100", "68", &TFormResize::EditTopExit, &TFormResize::EditTop, "700"},
      {"0", "900", "100", "x", &TFormResize::EditTopExit, &TFormResize::EditTop, "736"},
      {"0", "0", "3", "50", &TFormResize::EditWidthExit, &TFormResize::EditWidth, "10"},
      {"24", "0", "5000", "50", &TFormResize::EditWidthExit, &TFormResize::EditWidth, "1000"},
      {"?", "0", "5000", "50", &TFormResize::EditWidthExit, &TFormResize::EditWidth, "1024"},
      {"1020", "0", "500", "50", &TFormResize::EditWidthExit, &TFormResize::EditWidth, "10"},
      {"0", "0", "", "50", &TFormResize::EditWidthExit, &TFormResize::EditWidth, "10"},
      {"0", "700", "100", "900", &TFormResize::EditHeightExit, &TFormResize::EditHeight, "68"},
      {"0", "-10", "100", "9", &TFormResize::EditHeightExit, &TFormResize::EditHeight, "10"},
      // Values whose limits do not fit in 32 bits.
      {"0", "0", "-2147483648", "50", &TFormResize::EditLeftExit, &TFormResize::EditLeft, "0"},
      {"-2147483648", "0", "2147483647", "50", &TFormResize::EditWidthExit, &TFormResize::EditWidth,
       "2147483647"},
  };
  // The screen has nothing to do with it: a screen smaller than the page limits nothing.
  SmallScreen screen;
  form.Area = TRect(0, 0, 800, 2000);
  form.EditLeft->setText("0");
  form.EditTop->setText("1500");
  form.EditWidth->setText("100");
  form.EditHeight->setText("100");
  form.ButtonOKClick();
  EXPECT_EQ(Text(form.EditTop), "1500");
  EXPECT_EQ(Text(form.EditHeight), "100");
  form.EditTop->setText("1950");
  form.EditTopExit();
  EXPECT_EQ(Text(form.EditTop), "1900");
  // An area that reaches beyond the page (an object lying partly off it) keeps those values.
  form.Area = TRect(-30, -10, 800, 2000);
  form.EditLeft->setText("-30");
  form.EditLeftExit();
  EXPECT_EQ(Text(form.EditLeft), "-30");
  form.EditLeft->setText("-31");
  form.EditLeftExit();
  EXPECT_EQ(Text(form.EditLeft), "-30");
  form.Area = kPage;
  for (const Case& c : cases) {
    form.EditLeft->setText(c.left);
    form.EditTop->setText(c.top);
    form.EditWidth->setText(c.width);
    form.EditHeight->setText(c.height);
    (form.*c.handler)();
    EXPECT_EQ(Text(form.*c.edit), c.expected) << c.left << " " << c.top << " " << c.width << " " << c.height;
  }
}

TEST(FormResize, OKClampsAllFourInOrderAndCancelLeavesThem) {
  TFormResize form;
  form.Area = kPage;
  EXPECT_EQ(form.windowTitle(), "Button Resize");
  auto fill = [&] {
    form.EditLeft->setText("5000");
    form.EditTop->setText("20");
    form.EditWidth->setText("3000");
    form.EditHeight->setText("1");
  };
  fill();
  WhileModal(&form, [&] { QTest::mouseClick(form.ButtonOK, Qt::LeftButton); });
  EXPECT_EQ(form.exec(), QDialog::Accepted);
  // Left is clamped against the unclamped width first, then the width against that left.
  EXPECT_EQ(Text(form.EditLeft), "0");
  EXPECT_EQ(Text(form.EditTop), "20");
  EXPECT_EQ(Text(form.EditWidth), "1024");
  EXPECT_EQ(Text(form.EditHeight), "10");

  fill();
  WhileModal(&form, [&] { QTest::mouseClick(form.ButtonCancel, Qt::LeftButton); });
  EXPECT_EQ(form.exec(), QDialog::Rejected);
  EXPECT_EQ(Text(form.EditLeft), "5000");
}

TEST(FormResize, LeavingAnEditByFocusClampsIt) {
  TFormResize form;
  form.Area = kPage;
  form.EditWidth->setText("100");
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  form.EditLeft->setFocus();
  form.EditLeft->setText("5000");
  form.EditTop->setFocus();
  EXPECT_EQ(Text(form.EditLeft), "924");
  // The window losing the focus, or a menu popping up, is not leaving the edit.
  form.EditTop->setText("5000");
  for (Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
    QFocusEvent out(QEvent::FocusOut, reason);
    QApplication::sendEvent(form.EditTop, &out);
    EXPECT_EQ(Text(form.EditTop), "5000");
  }
  QFocusEvent tab(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(form.EditTop, &tab);
  EXPECT_EQ(Text(form.EditTop), "736");
}

TEST(FormGridSize, ExecuteKeepsTheSizeWithinTheUpDown) {
  TFormGridSize form;
  EXPECT_EQ(form.windowTitle(), "Grid Properties");
  EXPECT_TRUE(form.windowFlags() & Qt::Tool);
  EXPECT_EQ(form.findChild<QPushButton*>("ButtonCancel"), nullptr);
  struct Case {
    int in;
    const char* typed;  // nullptr: nothing typed
    int out;
  } cases[] = {
      {16, nullptr, 16}, {100, nullptr, 64},
      {-3, nullptr, 0},  {65536 + 8, nullptr, 8},  // the up-down holds 16 bits
      {16, "50", 50},    {16, "99", 16},
      {16, "no", 16},    {0, " 64", 64},
  };
  for (const Case& c : cases) {
    int size = c.in;
    WhileModal(&form, [&] {
      if (c.typed) form.Edit1->setText(c.typed);
      QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    });
    EXPECT_TRUE(form.Execute(size));
    EXPECT_EQ(size, c.out) << c.in << " " << (c.typed ? c.typed : "");
  }

  int size = 20;
  WhileModal(&form, [&] {
    form.Edit1->setText("40");
    form.close();
  });
  EXPECT_FALSE(form.Execute(size));
  EXPECT_EQ(size, 20);
}

TEST(TUpDown, ArrowsStopAtTheEndsOrWrap) {
  TFormGridSize form;
  form.UpDown1->SetPosition(63);
  form.UpDown1->Step(1);
  form.UpDown1->Step(1);
  EXPECT_EQ(Text(form.Edit1), "64");
  form.UpDown1->SetPosition(1);
  QTest::mouseClick(form.UpDown1->ButtonDown, Qt::LeftButton);
  QTest::mouseClick(form.UpDown1->ButtonDown, Qt::LeftButton);
  EXPECT_EQ(Text(form.Edit1), "0");
  // An arrow starts from the typed number when it is a valid position.
  form.Edit1->setText("30");
  QTest::keyClick(form.Edit1, Qt::Key_Up);
  EXPECT_EQ(Text(form.Edit1), "31");
  form.UpDown1->Wrap = true;
  form.UpDown1->SetPosition(64);
  form.UpDown1->Step(1);
  EXPECT_EQ(Text(form.Edit1), "0");
  form.UpDown1->Step(-1);
  EXPECT_EQ(Text(form.Edit1), "64");
}

// Every size a page can have is kept as typed (a 1500-pixel page, a 60-pixel banner); only
// sizes no page can have are corrected.
TEST(FormEditProjectSize, TypedSizesAreKeptToThePageLimits) {
  TFormEditProjectSize form;
  const std::string most = std::to_string(MaxPageSide);
  struct Case {
    std::string typed;
    std::string shown;
  } cases[] = {{"", "500"},  {"abc", "500"},  {"2000", "2000"}, {"1500", "1500"},
               {"60", "60"}, {"1", "1"},      {"0", "1"},       {"-5", "1"},
               {most, most}, {"99999", most}, {"$200", "512"},  {"99999999999", "500"}};
  for (QLineEdit* edit : {form.Edit1, form.Edit2})
    for (const Case& c : cases) {
      edit->setText(QString::fromStdString(c.typed));
      form.Edit1Exit(edit);
      EXPECT_EQ(Text(edit), c.shown) << edit->objectName().toStdString() << " " << c.typed;
    }
}

TEST(FormEditProjectSize, ExecuteReadsBothUpDownsOnOKOnly) {
  TFormEditProjectSize form;
  EXPECT_EQ(form.windowTitle(), "Enter Project Size");
  EXPECT_EQ(form.UpDown1->Min(), 1);
  EXPECT_EQ(form.UpDown2->Max(), MaxPageSide);
  EXPECT_EQ(Text(form.Edit1), "1");

  int w = 640, h = 480;
  WhileModal(&form, [&] {
    EXPECT_EQ(Text(form.Edit1), "640");
    EXPECT_EQ(Text(form.Edit2), "480");
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
  });
  EXPECT_TRUE(form.Execute("Enter Page Size", w, h));
  EXPECT_EQ(form.windowTitle(), "Enter Page Size");
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);

  // The arrows step up to the largest page and stop there.
  WhileModal(&form, [&] {
    form.UpDown2->SetPosition(MaxPageSide - 1);
    form.UpDown2->Step(1);
    form.UpDown2->Step(1);
    form.ButtonCancel->setFocus();
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
  });
  w = 400, h = 5000;
  EXPECT_TRUE(form.Execute("Enter Page Size", w, h));
  EXPECT_EQ(w, 400);
  EXPECT_EQ(h, MaxPageSide);

  w = 800, h = 600;
  WhileModal(&form, [&] {
    form.Edit1->setText("900");
    QTest::mouseClick(form.ButtonCancel, Qt::LeftButton);
  });
  EXPECT_FALSE(form.Execute("Enter Page Size", w, h));
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
}

// Return presses OK while the edit still has the focus: the typed size is corrected as if
// the edit had been left.
TEST(FormEditProjectSize, ReturnInAnEditCorrectsItBeforeClosing) {
  TFormEditProjectSize form;
  int w = 640, h = 480;
  WhileModal(&form, [&] {
    QApplication::setActiveWindow(&form);
    form.Edit1->setFocus();
    form.Edit1->setText("99999");
    QTest::keyClick(form.Edit1, Qt::Key_Return);
  });
  EXPECT_TRUE(form.Execute("Enter Page Size", w, h));
  EXPECT_EQ(w, MaxPageSide);
  EXPECT_EQ(h, 480);
}

TEST(FormEditSize, UnitsFollowTheResolution) {
  TFormEditSize form;
  EXPECT_EQ(form.ComboBox->currentText(), "Pixels");
  EXPECT_EQ(form.ComboBox->count(), 5);
  form.SetPixels(300, 150);
  EXPECT_EQ(Text(form.EditWidth), "300.00");
  EXPECT_EQ(form.LabelMemory->text(), "176 KB");
  form.EditResolution->setText("300");
  struct Case {
    int item;
    const char* width;
    const char* height;
  } cases[] = {{1, "1.00", "0.50"},
               {2, "2.54", "1.27"},
               {3, "6.00", "3.00"},
               {4, "72.00", "36.00"},
               {0, "300.00", "150.00"}};
  for (const Case& c : cases) {
    form.ComboBox->setCurrentIndex(c.item);
    form.ComboBoxChange();
    EXPECT_EQ(Text(form.EditWidth), c.width) << c.item;
    EXPECT_EQ(Text(form.EditHeight), c.height) << c.item;
    EXPECT_EQ(Text(form.EditResolution), "300");
    EXPECT_DOUBLE_EQ(form.Width(), 300);  // refreshing the edits does not change the size
  }

  // Typing in a unit sets the size in pixels, and the memory follows.
  form.ComboBox->setCurrentIndex(1);
  form.ComboBoxChange();
  form.EditWidth->setText("2.5");
  form.EditHeight->setText("10");
  EXPECT_DOUBLE_EQ(form.Width(), 750);
  EXPECT_DOUBLE_EQ(form.Height(), 3000);
  EXPECT_EQ(form.LabelMemory->text(), "8,789 KB");
  form.EditWidth->setText("0.001");  // 0.3 pixels take a whole pixel
  EXPECT_EQ(form.LabelMemory->text(), "12 KB");

  // A resolution of no number is 0: physical units are then empty, shown as 0.
  form.EditWidth->setText("1");
  form.EditResolution->setText("none");
  EXPECT_EQ(form.Resolution(), 0);
  EXPECT_EQ(Text(form.EditWidth), "0.00");
  EXPECT_DOUBLE_EQ(form.Width(), 300);
}

TEST(FormEditSize, NumbersAreGroupedAndLocaleFree) {
  EXPECT_EQ(FloatToNumber(0.4), "0");
  EXPECT_EQ(FloatToNumber(999.5), "1,000");
  EXPECT_EQ(FloatToNumber(1234567), "1,234,567");
  EXPECT_EQ(FloatToNumber(-1234.4), "-1,234");
  EXPECT_EQ(FloatToNumber(-0.2), "0");
  EXPECT_EQ(FloatToFixed(2.5, 2), "2.50");
  EXPECT_EQ(FloatToFixed(1e20, 2), "100000000000000000000.00");
}

}  // namespace
