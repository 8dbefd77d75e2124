// The image browser costs the program nothing while it is hidden: it reads no folder and
// watches none, whatever the folder the program was started from; shown, it watches nothing
// either, and it lists the folder it shows.
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QToolButton>

#include "app/forms/Unitimagebrowser.h"
#include "platform/SysUtils.h"
#include "tests/support/ProcessUsage.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

namespace {

// Lets the file-system model's reader in the background do what it would do.
void Settle(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST(ImageBrowserWatches, NothingUntilShownAndNoWatchWhenShown) {
  ScriptedServices services;
  TempDir parent;
  const std::string start = parent.File("start");
  ForceDirectories(start);
  for (int i = 0; i < 300; ++i) WriteAll(parent.File("file" + std::to_string(i) + ".txt"), "x");
  const std::string cwd = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(start));
  const int before = InotifyWatches(getpid());
  ASSERT_GE(before, 0);
  {
    // Made at the start of the program, as the program does, in the folder it was started from.
    TFormImageBrowser browser;
    Settle(300);
    EXPECT_TRUE(browser.findChildren<QFileSystemModel*>().isEmpty());
    EXPECT_EQ(InotifyWatches(getpid()), before);
    EXPECT_EQ(browser.Directory(), start);

    // Shown, it lists the folder and shows the folders, and still watches none.
    WriteAll(parent.File("pic.bmp"), "");
    browser.SetDirectory(parent.Path());
    browser.show();
    Settle(300);
    EXPECT_EQ(browser.LastFolder(), parent.Path());
    EXPECT_EQ(browser.findChildren<QFileSystemModel*>().size(), 1);
    EXPECT_EQ(InotifyWatches(getpid()), before);
    for (int i = 0; i < 50; ++i) WriteAll(parent.File("new" + std::to_string(i) + ".txt"), "x");
    Settle(100);
    EXPECT_EQ(InotifyWatches(getpid()), before);

    // Hidden again, the tree of folders goes.
    browser.hide();
    Settle(100);
    EXPECT_TRUE(browser.findChildren<QFileSystemModel*>().isEmpty());
  }
  SetCurrentDir(cwd);
}

}  // namespace
