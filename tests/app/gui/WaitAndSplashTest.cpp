// The wait indicator and the splash window: nested waits, progress and the start-up picture.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "app/AppEnvironment.h"
#include "app/forms/Unitpleasewait.h"
#include "app/forms/Unitsplash.h"
#include "platform/WaitIndicator.h"
#include "platform/gui/QtServices.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

namespace {

// A main window with a status bar that shows "Ready", as the wait indicator finds it. Every
// update is shown at once: these tests are about what is shown, not how often.
struct WaitFixture : ::testing::Test {
  TScopedProgressInterval every{std::chrono::milliseconds(0)};
  ScriptedServices services;
  QMainWindow main;
  QStatusBar* bar = new QStatusBar;
  TFormPleaseWait wait;
  void SetUp() override {
    main.setStatusBar(bar);
    SetApplicationMainForm(&main);
    StatusBarSetSimpleText(bar, "Ready");
  }
  void TearDown() override { SetApplicationMainForm(nullptr); }
  std::string Status() const { return StatusBarSimpleText(bar); }
};

TEST_F(WaitFixture, ProgressOutsideAWaitChangesNothing) {
  wait.SetProgress(7, 9);
  EXPECT_EQ(wait.Position(), 0);
  EXPECT_EQ(wait.Maximum(), 100);
  EXPECT_EQ(Status(), "Ready");
}

TEST_F(WaitFixture, NestedWaitsKeepTheInnerMessageAndRestoreTheOuterStatus) {
  wait.BeginWait("Loading project", false);
  EXPECT_EQ(Status(), "Loading project - 0% Done");
  EXPECT_FALSE(wait.isVisible());
  wait.SetProgress(5, 10);
  EXPECT_EQ(Status(), "Loading project - 50% Done");

  wait.BeginWait("Rendering", true);
  EXPECT_TRUE(wait.isVisible());
  EXPECT_EQ(wait.Nesting(), 2);
  EXPECT_EQ(wait.Message->text(), "Rendering");
  wait.SetProgress(1, 4);
  EXPECT_EQ(Status(), "Rendering - 25% Done");

  wait.EndWait();
  EXPECT_FALSE(wait.isVisible());
  EXPECT_EQ(wait.Nesting(), 1);
  EXPECT_EQ(Status(), "Rendering - 0% Done");
  wait.SetProgress(3, 4);
  EXPECT_EQ(Status(), "Rendering - 75% Done");

  wait.EndWait();
  EXPECT_EQ(wait.Nesting(), 0);
  EXPECT_EQ(Status(), "Ready");

  // An unpaired EndWait neither goes below zero nor rewrites the status bar.
  StatusBarSetSimpleText(bar, "Changed since");
  wait.EndWait();
  EXPECT_EQ(wait.Nesting(), 0);
  EXPECT_EQ(Status(), "Changed since");
  wait.BeginWait("Again", false);
  EXPECT_EQ(wait.Nesting(), 1);
  wait.EndWait();
  EXPECT_EQ(Status(), "Changed since");
}

TEST_F(WaitFixture, MaximumZeroCountsAsOne) {
  wait.BeginWait("One object", false);
  wait.SetProgress(0, 0);
  EXPECT_EQ(Status(), "One object - 0% Done");
  wait.SetProgress(2, 0);
  EXPECT_EQ(Status(), "One object - 200% Done");
  wait.EndWait();
}

TEST_F(WaitFixture, AScopedWaitEndsWhenTheWorkRaises) {
  SetWaitIndicator(&wait);
  EXPECT_THROW(
      {
        TScopedWait scope("Saving", true);
        EXPECT_TRUE(wait.isVisible());
        throw std::runtime_error("disk full");
      },
      std::runtime_error);
  SetWaitIndicator(nullptr);
  EXPECT_EQ(wait.Nesting(), 0);
  EXPECT_FALSE(wait.isVisible());
  EXPECT_EQ(Status(), "Ready");
}

TEST(WaitIndicator, WorksWithoutAStatusBar) {
  ScriptedServices services;
  SetApplicationMainForm(nullptr);
  TFormPleaseWait wait;
  wait.BeginWait("Busy", true);
  wait.SetProgress(1, 2);
  EXPECT_EQ(wait.Position(), 1);
  wait.EndWait();
  EXPECT_EQ(wait.Nesting(), 0);
}

TEST(WaitIndicator, LayoutAsDesigned) {
  TFormPleaseWait wait;
  EXPECT_EQ(wait.size(), QSize(353, 41));
  EXPECT_EQ(wait.windowTitle(), "Please wait");
  EXPECT_TRUE(wait.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(wait.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(wait.PanelClient->geometry(), QRect(0, 0, 353, 41));
  EXPECT_EQ(wait.Message->pos(), QPoint(8, 8));
  EXPECT_EQ(wait.Message->text(), "Loading...");
  EXPECT_EQ(wait.PaintBox->geometry(), QRect(7, 26, 338, 7));
}

// The sweep's columns: even columns keep the panel colour; odd ones ramp from black to white
// at the peak column and back.
TEST(WaitIndicator, Sweep) {
  const TColor panel = 0xFF7878;
  const int W = 338;
  auto grey = [](TColor c) { return int(GetRValue(c)); };
  // The channels start from different raw bytes, so they may differ by one level.
  auto isGrey = [](TColor c) {
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return std::max({r, g, b}) - std::min({r, g, b}) <= 1;
  };

  // Half the maximum: the peak sits at column 0 and the ramp never rises.
  auto half = SweepColumns(W, 50, 100, panel);
  ASSERT_EQ(half.size(), size_t(W));
  for (int x = 0; x < W; ++x) EXPECT_EQ(half[x], x % 2 ? clBlack : panel) << x;

  // Position 24: peak p = |48 - 100| * 338 / 100 = 175, an odd column that shows it.
  auto q = SweepColumns(W, 24, 100, panel);
  const int peak = 175;
  for (int x = 0; x < W; x += 2) EXPECT_EQ(q[x], panel) << x;
  for (int x = 1; x < W; x += 2) EXPECT_TRUE(isGrey(q[x])) << x;
  EXPECT_LE(grey(q[1]), 2);
  EXPECT_GE(grey(q[peak]), 0xFE);
  for (int x = 3; x <= peak; x += 2) EXPECT_GE(grey(q[x]), grey(q[x - 2])) << x;
  for (int x = peak + 2; x < W; x += 2) EXPECT_LT(grey(q[x]), grey(q[x - 2])) << x;
  EXPECT_LE(grey(q[W - 1]), 4);

  // Position 26: an even peak p = 162; the accumulator does not move at p, so the odd
  // column after it still carries the peak value and the ramp falls only after that.
  auto e = SweepColumns(W, 26, 100, panel);
  EXPECT_EQ(e[162], panel);
  EXPECT_GE(grey(e[163]), 0xFE);
  EXPECT_GT(grey(e[163]), grey(e[161]));
  EXPECT_LT(grey(e[165]), grey(e[163]));

  // Position 0: the peak is the right edge, so the ramp rises over the whole strip.
  auto start = SweepColumns(W, 0, 100, panel);
  EXPECT_LE(grey(start[1]), 1);
  EXPECT_GE(grey(start[W - 1]), 0xF0);

  // Maximum 0 divides by 1; position past the maximum does not fault.
  EXPECT_EQ(SweepColumns(W, 1, 0, panel).size(), size_t(W));
  EXPECT_EQ(SweepColumns(W, 1000000, 3, panel).size(), size_t(W));
  EXPECT_EQ(SweepColumns(W, INT32_MAX, 1, panel).size(), size_t(W));
  EXPECT_EQ(SweepColumns(W, 3, -1, panel).size(), size_t(W));
  EXPECT_TRUE(SweepColumns(0, 0, 100, panel).empty());
}

TEST_F(WaitFixture, VisibleProgressPaintsTheStrip) {
  wait.BeginWait("Painting", true);
  wait.SetProgress(50, 100);
  const QImage& s = wait.PaintBox->Surface;
  ASSERT_EQ(s.size(), QSize(338, 7));
  EXPECT_EQ(s.pixel(1, 3) & 0xFFFFFF, 0u);         // odd column, peak at 0: black
  EXPECT_EQ(s.pixel(2, 6) & 0xFFFFFF, 0x7878FFu);  // even column: the panel colour
  wait.EndWait();
}

// ---- the pace of progress --------------------------------------------------------------

// The paints a widget receives.
struct PaintCounter : QObject {
  int paints = 0;
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Work of many small items that reports each one, as the loader and the renderer do; each
// item takes `perItem`. Returns the milliseconds it took.
template <class Report>
qint64 ReportEveryItem(int items, std::chrono::microseconds perItem, Report report) {
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < items; ++i) {
    const auto until = std::chrono::steady_clock::now() + perItem;
    while (std::chrono::steady_clock::now() < until) {}
    report(i);
  }
  return clock.elapsed();
}

// The most paints a window may take for work of `ms`: a human rate of at most 60 a second
// (not the program's own interval, which this is a test of), and a few for the window being
// shown and its first update.
int PacedPaints(qint64 ms) { return int(ms * 60 / 1000) + 4; }

// Progress of work that reports each of thousands of items is painted a few dozen times a
// second, in the wait indicator's strip and in the status bar alike, and still moves along
// while the work runs; a report after a pause is shown at once.
TEST(ProgressPace, TheWaitIndicatorAndTheStatusBarPaintAtAHumanRate) {
  ScriptedServices services;
  QMainWindow main;
  auto* bar = new QStatusBar;
  main.setStatusBar(bar);
  main.show();
  ASSERT_TRUE(WaitUntilExposed(&main));
  SetApplicationMainForm(&main);
  TFormPleaseWait wait;
  PaintCounter barPaints(bar), stripPaints(wait.PaintBox);

  wait.BeginWait("Loading", true);
  const int items = 6000;
  const qint64 ms =
      ReportEveryItem(items, std::chrono::microseconds(50), [&](int i) { wait.SetProgress(i, items - 1); });
  EXPECT_EQ(wait.Position(), items - 1);
  EXPECT_LE(barPaints.paints, PacedPaints(ms)) << ms << " ms";
  EXPECT_LE(stripPaints.paints, PacedPaints(ms)) << ms << " ms";
  EXPECT_GE(barPaints.paints, 3) << "the status bar did not follow the work";
  EXPECT_GE(stripPaints.paints, 3) << "the strip did not follow the work";

  std::this_thread::sleep_for(ProgressInterval() + std::chrono::milliseconds(5));
  wait.SetProgress(1, 4);
  EXPECT_EQ(StatusBarSimpleText(bar), "Loading - 25% Done");
  wait.EndWait();
  SetApplicationMainForm(nullptr);
}

TEST(ProgressPace, TheSplashBarPaintsAtAHumanRate) {
  TFormSplash splash;
  splash.show();
  ASSERT_TRUE(WaitUntilExposed(&splash));
  PaintCounter barPaints(splash.ProgressBar);
  const int items = 6000;
  splash.SetRange(0, items - 1);
  const qint64 ms =
      ReportEveryItem(items, std::chrono::microseconds(50), [&](int i) { splash.SetPosition(i); });
  EXPECT_LE(barPaints.paints, PacedPaints(ms)) << ms << " ms";
  EXPECT_GE(barPaints.paints, 3) << "the bar did not follow the work";
  EXPECT_GT(splash.ProgressBar->value(), items / 2);
  splash.close();
}

// ---- splash window ---------------------------------------------------------------------

struct SplashFixture : ::testing::Test {
  TempDir home, cfg;
  ScopedEnv h{"ZELMORA_HOME", home.Path()}, c{"ZELMORA_CONFIG", cfg.Path()};
  ScriptedServices services;  // a 1280 x 1024 screen
  void SetUp() override {
    ReleaseEnvironment();
    std::filesystem::copy(
        ZELMORA_DATA, home.Path(),
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  }
  void TearDown() override { ReleaseEnvironment(); }
};

TEST_F(SplashFixture, ShowsThePictureCentredWithItsLabels) {
  TFormSplash splash;
  splash.show();
  EXPECT_TRUE(splash.LoadError.empty()) << splash.LoadError;
  EXPECT_EQ(splash.geometry(), QRect((1280 - 488) / 2, (1024 - 291) / 2, 488, 291));
  EXPECT_EQ(splash.Image->geometry(), QRect(0, 0, 488, 291));
  ASSERT_FALSE(splash.Image->pixmap().isNull());
  EXPECT_EQ(splash.Image->pixmap().size(), QSize(488, 291));
  EXPECT_EQ(splash.Label1->text().toStdString(), VersionMessage());
  EXPECT_EQ(splash.Label4->text().toStdString(), VersionCopyright());
  EXPECT_EQ(splash.Label1->pos(), QPoint(12, 232));
  EXPECT_EQ(splash.Label4->pos(), QPoint(12, 248));
  EXPECT_EQ(splash.ProgressBar->geometry(), QRect(12, 270, 265, 10));
  EXPECT_TRUE(splash.Timer->isActive());
  EXPECT_EQ(splash.Timer->interval(), 3000);
  splash.close();
  EXPECT_FALSE(splash.Timer->isActive());
  EXPECT_TRUE(splash.Image->pixmap().isNull());
}

TEST_F(SplashFixture, AMissingPictureDoesNotStopTheShow) {
  std::filesystem::remove(home.File("setup.bmp"));
  TFormSplash splash;
  splash.show();
  EXPECT_TRUE(splash.isVisible());
  EXPECT_FALSE(splash.LoadError.empty());
  EXPECT_EQ(splash.geometry(), QRect((1280 - 488) / 2, (1024 - 291) / 2, 488, 291));
  EXPECT_EQ(splash.Label1->text().toStdString(), VersionMessage());
  // Called directly, as the code that shows the window may, the loader's error comes out.
  EXPECT_ANY_THROW(splash.FormShow());
  splash.close();
}

TEST_F(SplashFixture, AClickOnThePictureCloses) {
  TFormSplash splash;
  splash.show();
  ASSERT_TRUE(splash.isVisible());
  QTest::mouseClick(splash.Image, Qt::LeftButton, {}, QPoint(100, 100));
  EXPECT_FALSE(splash.isVisible());
}

// The start's relay hands everything on to the indicator that was installed before it and
// puts that back when it goes; the bar follows the work's own passes only while the window
// shows, and a pass that starts again starts the bar again.
TEST(Splash, TheStartsRelayFeedsTheBarAndTheIndicatorBefore) {
  TScopedProgressInterval every(std::chrono::milliseconds(0));
  struct Recorder : TWaitIndicator {
    std::vector<std::string> calls;
    void BeginWait(const std::string& m, bool) override { calls.push_back("begin " + m); }
    void SetProgress(int p, int m) override { calls.push_back(std::to_string(p) + "/" + std::to_string(m)); }
    void EndWait() override { calls.push_back("end"); }
  } before;
  SetWaitIndicator(&before);
  TFormSplash splash;
  {
    TSplashWaitRelay relay(&splash);
    ASSERT_EQ(WaitIndicator(), &relay);
    TScopedWait wait("Loading", false);
    WaitIndicator()->SetProgress(3, 9);
    EXPECT_EQ(splash.ProgressBar->value(), 0) << "a hidden splash shows nothing";
    splash.show();
    WaitIndicator()->SetProgress(6, 9);
    EXPECT_EQ(splash.ProgressBar->maximum(), 9);
    EXPECT_EQ(splash.ProgressBar->value(), 6);
    {
      TScopedWait inner("Loading ripple.gif", false);
      WaitIndicator()->SetProgress(50, 100);
    }
    EXPECT_EQ(splash.ProgressBar->maximum(), 9) << "an inner wait stays off the bar";
    EXPECT_EQ(splash.ProgressBar->value(), 6);
    WaitIndicator()->SetProgress(1, 9);  // the page's drawing after its reading
    EXPECT_EQ(splash.ProgressBar->value(), 1);
    WaitIndicator()->SetProgress(4, 4);
    EXPECT_EQ(splash.ProgressBar->maximum(), 4);
    EXPECT_EQ(splash.ProgressBar->value(), 4);
  }
  EXPECT_EQ(WaitIndicator(), &before);
  EXPECT_EQ(before.calls, (std::vector<std::string>{"begin Loading", "3/9", "6/9", "begin Loading ripple.gif",
                                                    "50/100", "end", "1/9", "4/4", "end"}));
  SetWaitIndicator(nullptr);
  splash.close();
}

TEST(Splash, ProgressRangeNeverInverted) {
  TFormSplash splash;
  struct Case {
    int min, max, pos, wantMax, wantValue;
  } cases[] = {{0, 9, 4, 9, 4}, {0, -1, 0, 0, 0}, {0, 0, 0, 0, 0}, {5, 2, 7, 5, 5}};
  for (const auto& c : cases) {
    splash.SetRange(c.min, c.max);
    splash.SetPosition(c.pos);
    EXPECT_EQ(splash.ProgressBar->minimum(), c.min);
    EXPECT_EQ(splash.ProgressBar->maximum(), c.wantMax) << c.min << " " << c.max;
    EXPECT_EQ(splash.ProgressBar->value(), c.wantValue);
  }
}

}  // namespace
