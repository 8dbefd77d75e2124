// The program's dialogs of one size are of one size to the window manager as well: a window
// whose minimum size is its maximum size cannot be resized or maximised, and one that is
// narrower than its title shows a cut title ("Ente... Size"). What a window manager draws is
// seen only under one; what it is told is seen here.
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include <QApplication>
#include <QDialog>

#include "app/forms/Unitaboutbox.h"
#include "app/forms/Unitedithtmlhead.h"
#include "app/forms/Uniteditprojectsize.h"
#include "app/forms/Uniteditsize.h"
#include "app/forms/Unitediturl.h"
#include "app/forms/Unitgridsize.h"
#include "app/forms/Unitimageacquire.h"
#include "app/forms/Unitimagemap.h"
#include "app/forms/Unitresize.h"
#include "app/forms/Unittipoftheday.h"
#include "platform/gui/QtFixedDialog.h"
#include "tests/support/SaneConfig.h"
#include "tests/support/ShippedHome.h"

namespace {

// What the window manager is told of a dialog: one size, no maximise or minimise button, and
// a width its title fits in.
void ExpectOfOneSizeWithItsTitleWhole(const QWidget& w) {
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  EXPECT_EQ(w.size(), w.minimumSize());
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_GE(w.width(), TitleBarWidth(w.windowTitle())) << w.windowTitle().toStdString();
}

// Every dialog of the program that has one size, as the program shows it: the page-size
// dialog under the title the main window gives it, the about box under the one it takes
// when it shows. The image map is looked at without showing it (it shows a page).
TEST(FixedDialogs, NoneCanBeResizedOrMaximisedAndEachShowsItsTitleWhole) {
  ShippedHome shipped;
  ScopedSaneBackends noScanner("");
  struct Case {
    const char* what;
    std::function<std::unique_ptr<QWidget>()> make;
    const char* title;  // set before it shows, as its caller does; nullptr: its own
    bool show;
  } cases[] = {
      {"about box", [] { return std::make_unique<TFormAboutBox>(); }, nullptr, true},
      {"tip of the day", [] { return std::make_unique<TFormTipOfTheDay>(); }, nullptr, true},
      {"HTML header", [] { return std::make_unique<TFormEditHTMLHead>(); }, nullptr, true},
      {"page size", [] { return std::make_unique<TFormEditProjectSize>(); }, "Enter Page Size", true},
      {"object size", [] { return std::make_unique<TFormEditSize>(); }, nullptr, true},
      {"download", [] { return std::make_unique<TFormEditURL>(); }, nullptr, true},
      {"grid", [] { return std::make_unique<TFormGridSize>(); }, nullptr, true},
      {"button resize", [] { return std::make_unique<TFormResize>(); }, nullptr, true},
      {"image acquire", [] { return std::make_unique<TFormImageAcquire>(); }, nullptr, true},
      {"image map", [] { return std::make_unique<TFormImageMap>(); }, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<QWidget> w = c.make();
    EXPECT_TRUE(IsFixedSizeDialog(w.get()));
    if (c.title) w->setWindowTitle(c.title);
    if (c.show) {
      w->show();
      QCoreApplication::processEvents();
    }
    ExpectOfOneSizeWithItsTitleWhole(*w);
    w->hide();
  }
}

// A title set after the dialog was laid out, longer than the dialog, widens it, whether its
// size is given or its layout's; its height and its controls stay.
TEST(FixedDialogs, ALongerTitleWidensTheDialog) {
  ShippedHome shipped;
  const QString longTitle = "Enter the Size of the Page in Pixels, Width and Height";
  TFormEditSize given;
  TFormGridSize laidOut;
  for (QWidget* w : {static_cast<QWidget*>(&given), static_cast<QWidget*>(&laidOut)}) {
    SCOPED_TRACE(w->objectName().toStdString());
    w->show();
    QCoreApplication::processEvents();
    const QSize before = w->size();
    ASSERT_LT(before.width(), TitleBarWidth(longTitle));
    w->setWindowTitle(longTitle);
    QCoreApplication::processEvents();
    ExpectOfOneSizeWithItsTitleWhole(*w);
    EXPECT_EQ(w->height(), before.height());
    w->hide();
  }
}

}  // namespace
