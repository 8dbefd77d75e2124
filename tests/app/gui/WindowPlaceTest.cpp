// The main window's place under a real window manager: a place saved off the screen comes back
// with the whole frame (borders and title bar, which the window manager adds and which are not
// known before the window is mapped) on the screen, flush with the edge it was beyond.
#include <gtest/gtest.h>
#include <string>

#include <QElapsedTimer>
#include <QRect>
#include <QRegularExpression>
#include <QThread>

#include "platform/IniFiles.h"
#include "platform/ProgramFolder.h"
#include "tests/support/ProgramProcess.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualDesktop.h"

namespace {

int Field(const QString& text, const char* label) {
  QRegularExpression re(QString(label) + R"(:\s*(-?\d+))");
  auto m = re.match(text);
  return m.hasMatch() ? m.captured(1).toInt() : -100000;
}

// The frame of the program's main window as the window manager has it; null until it is shown
// and framed.
QRect MainWindowFrame(const VirtualDesktop& x) {
  QStringList ids = x.Run("xdotool", {"search", "--onlyvisible", "--name", "Varnholt Zelmora"})
                        .split('\n', Qt::SkipEmptyParts);
  for (const QString& id : ids) {
    const QString info = x.Run("xwininfo", {"-id", id});
    const QString extents = x.Run("xprop", {"-id", id, "_NET_FRAME_EXTENTS"});
    QRegularExpressionMatch m = QRegularExpression(R"(=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+))").match(extents);
    const int w = Field(info, "Width"), h = Field(info, "Height");
    if (!m.hasMatch() || w < 300 || h < 100) continue;  // not the main window, or not framed yet
    const int l = m.captured(1).toInt(), r = m.captured(2).toInt(), t = m.captured(3).toInt(),
              b = m.captured(4).toInt();
    return QRect(Field(info, "Absolute upper-left X") - l, Field(info, "Absolute upper-left Y") - t,
                 w + l + r, h + t + b);
  }
  return {};
}

}  // namespace

TEST(WindowPlace, APlaceOffTheScreenComesBackWithTheWholeFrameOnIt) {
  VirtualDesktop x("1280x1024x24");
  ASSERT_FALSE(x.name.isEmpty()) << "Xvfb (Debian package xvfb) is needed and could not be started";
  ASSERT_TRUE(x.managed) << "openbox (Debian package openbox) is needed and did not take the display:\n"
                         << x.problem.toStdString();
  const QRect screen(0, 0, 1280, 1024);
  struct Case {
    const char* what;
    int left, top, width, height;
    bool flushLeft, flushTop, flushRight, flushBottom;
  } cases[] = {
      {"beyond the right edge", 5000, 100, 600, 400, false, false, true, false},
      {"below the bottom", 100, 5000, 600, 400, false, false, false, true},
      {"above and left of the screen", -5000, -5000, 600, 400, true, true, false, false},
      {"beyond the right edge and wider than the screen", 5000, 100, 1400, 400, true, false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir home, config;
    CopyFolderTree(ZELMORA_DATA, home.Path());
    TIniFile(home.File("tips.ini")).WriteBool("Settings", "ShowAtStartup", false);
    TIniFile settings(home.File("Settings.ini"));
    settings.WriteInteger("FormMain", "Left", c.left);
    settings.WriteInteger("FormMain", "Top", c.top);
    settings.WriteInteger("FormMain", "Width", c.width);
    settings.WriteInteger("FormMain", "Height", c.height);
    settings.WriteInteger("FormMain", "WindowState", 0);
    ProgramProcess program({home.Path(), config.Path(), "", "", x.name, ""});
    ASSERT_TRUE(program.Started());
    // The place is taken as settled once it has not changed for a second.
    QRect frame, last;
    QElapsedTimer total, still;
    total.start();
    while (total.elapsed() < 25000 && program.Running()) {
      frame = MainWindowFrame(x);
      if (frame.isNull() || frame != last) {
        last = frame;
        still.restart();
      } else if (still.elapsed() > 1000) {
        break;
      }
      QThread::msleep(100);
    }
    ASSERT_FALSE(frame.isNull()) << "the main window did not come up framed";
    EXPECT_TRUE(screen.contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    if (c.flushLeft) EXPECT_EQ(frame.left(), screen.left());
    if (c.flushTop) EXPECT_EQ(frame.top(), screen.top());
    if (c.flushRight) EXPECT_EQ(frame.right(), screen.right());
    if (c.flushBottom) EXPECT_EQ(frame.bottom(), screen.bottom());
  }
}
