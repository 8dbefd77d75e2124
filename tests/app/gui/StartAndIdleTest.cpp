// The start and an idle program: the start page is rendered once, a project opened from the
// menu is rendered once, and the running program uses no processor time while it waits, also
// when the files around the folder it was started from keep changing. The splash window's bar
// follows the start page's reading and drawing.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QProgressBar>

#include "app/forms/Unitsplash.h"
#include "engine/XImage.h"
#include "platform/IniFiles.h"
#include "platform/WaitIndicator.h"
#include "tests/support/ProcessUsage.h"
#include "tests/support/ProgramHome.h"
#include "tests/support/ProgramProcess.h"

namespace {

// Counts the passes over a page's objects: the loader and the renderer each report progress
// from the first object of `objects` to the last, once per pass.
struct PassCounter : TWaitIndicator {
  int objects = 0, passes = 0;
  void BeginWait(const std::string&, bool) override {}
  void SetProgress(int position, int maximum) override {
    if (position == 0 && maximum == objects - 1) ++passes;
  }
  void EndWait() override {}
};

std::vector<TestObject> Objects(int n) {
  static std::vector<std::string> texts;
  texts.resize(size_t(n));
  std::vector<TestObject> objects;
  for (int i = 0; i < n; ++i) {
    texts[size_t(i)] = "O" + std::to_string(i);
    int x = (i % 10) * 40, y = (i / 10) * 20;
    objects.push_back({texts[size_t(i)].c_str(), x, y, x + 36, y + 16});
  }
  return objects;
}

// The start reads the start project and renders its page once; so does a project opened
// while the program runs, with its wait shown.
TEST(StartAndIdle, TheStartPageAndAnOpenedPageAreRenderedOnce) {
  ProgramHome home;
  PassCounter counter;
  SetWaitIndicator(&counter);
  counter.objects = 30;
  const std::string first = WriteTestProject(home.dir.File("first.zlm"), Objects(30), 400, 300, "clWhite");
  auto w = StartMainWindow({first});
  EXPECT_EQ(w->Scene->Count(), 30);
  EXPECT_EQ(counter.passes, 2) << "read once and rendered once";

  counter.objects = 31;
  counter.passes = 0;
  const std::string second = WriteTestProject(home.dir.File("second.zlm"), Objects(31), 400, 300, "clWhite");
  w->LoadProject(second, true);
  EXPECT_EQ(w->Scene->Count(), 31);
  EXPECT_EQ(counter.passes, 2) << "read once and rendered once";
  SetWaitIndicator(nullptr);
}

// The splash window's bar moves while the start page is drawn, not only while its objects are
// read: once the page holds the objects, the bar goes over them again, one step per object
// drawn. The objects' texture is a GIF, whose reading reports its percent in a wait of its
// own: that stays off the bar.
TEST(StartAndIdle, TheSplashBarMovesWhileTheStartPageIsDrawn) {
  ProgramHome home;
  TScopedProgressInterval every(std::chrono::milliseconds(0));
  TFormSplash splash;
  FormSplash = &splash;
  SetSplashProgress(&splash);
  const int n = 30;
  const std::string project =
      WriteTestProject(home.dir.File("start.zlm"), Objects(n), 400, 300, "clWhite",
                       [](const TestObject&) { return "TextureFileName=ripple.gif\n"; });
  {
    XImage ripple;
    ripple.SetSize(16, 16);
    ripple.SaveToFile(home.dir.File("Images/ripple.gif"));
  }
  auto w = std::make_unique<TFormMain>();
  w->CommandLine = {project};
  struct Seen {
    int value, maximum, objects;
    bool shown;
  };
  std::vector<Seen> seen;
  QObject::connect(splash.ProgressBar, &QProgressBar::valueChanged, [&](int value) {
    seen.push_back({value, splash.ProgressBar->maximum(), w->Scene->Count(), splash.isVisible()});
  });
  w->show();
  QCoreApplication::processEvents();
  SetSplashProgress(nullptr);
  FormSplash = nullptr;
  ASSERT_EQ(w->Scene->Count(), n);
  EXPECT_FALSE(splash.isVisible());

  // The start's passes over objects: the page read, the page drawn, the template library read.
  std::vector<int> drawing;  // the values shown once the page held its objects, of its range
  for (const Seen& s : seen) {
    EXPECT_TRUE(s.shown);
    EXPECT_NE(s.maximum, 100) << "a texture's percent reached the bar";
    if (s.objects == n && s.maximum == n - 1) drawing.push_back(s.value);
  }
  ASSERT_FALSE(drawing.empty()) << "the bar stood still while the page was drawn";
  EXPECT_TRUE(std::is_sorted(drawing.begin(), drawing.end()));
  EXPECT_EQ(drawing.back(), n - 1);
  EXPECT_GE(drawing.size(), size_t(n / 2)) << "the bar moves with the drawing, not once at its end";
  EXPECT_EQ(WaitIndicator(), nullptr) << "the start leaves the indicator it found";
}

// A large page read and then replaced by a small one: the memory of its document and of its
// objects goes back to the system, the program does not keep the size of its largest load.
// The page is large enough that its load stands well above the caches of a few MB (glyphs,
// text layouts) that any page fills and that stay.
TEST(StartAndIdle, TheMemoryOfALargeLoadGoesBack) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator keeps freed memory in quarantine by design";
#endif
  ProgramHome home;
  const std::string small = WriteTestProject(home.dir.File("small.zlm"), Objects(3), 400, 300, "clWhite");
  std::string large = "[Heading]\nNumOfButtons=60000\nProjectWidth=800\nProjectHeight=600\n";
  for (int i = 0; i < 60000; ++i)
    large += "[Button" + std::to_string(i) + "]\nButtonText=B" + std::to_string(i) +
             "\nRectLeft=" + std::to_string(i % 700) + "\nRectTop=" + std::to_string(i % 500) +
             "\nRectRight=" + std::to_string(i % 700 + 30) + "\nRectBottom=" + std::to_string(i % 500 + 20) +
             "\nColor0=$00FF8040\nColor1=$000000FF\nFontName=Arial\nFontSize=9\n";
  WriteAll(home.dir.File("large.zlm"), large);
  large.clear();
  large.shrink_to_fit();
  auto w = StartMainWindow({small});
  const long long before = ProcessResidentBytes(getpid());
  w->LoadProject(home.dir.File("large.zlm"), false);
  ASSERT_EQ(w->Scene->Count(), 60000);
  const long long loaded = ProcessResidentBytes(getpid());
  w->LoadProject(small, false);
  const long long after = ProcessResidentBytes(getpid());
  ASSERT_GT(loaded - before, 20LL << 20) << "the large page took too little memory to tell";
  EXPECT_LT(after - before, (loaded - before) / 4)
      << "MB before, with the large page, after: " << (before >> 20) << " " << (loaded >> 20) << " "
      << (after >> 20);
}

// The real program, started from a folder whose parent (the home folder, for a program
// started from a desktop's menu) keeps changing: once the start page is up it uses next to no
// processor time and holds no file-system watch. The bound holds on a loaded machine and
// under the sanitizers; a program that reacts to the changes uses far more.
TEST(StartAndIdle, AnIdleProgramUsesNoProcessorTime) {
  TempDir home, config, parent;
  CopyFolderTree(ZELMORA_DATA, home.Path());
  const std::string start = parent.File("start");
  ForceDirectories(start);
  for (int i = 0; i < 2000; ++i) WriteAll(parent.File("file" + std::to_string(i) + ".txt"), "x");

  ProgramProcess program({home.Path(), config.Path(), config.File("data"), "editor", {}, start});
  ASSERT_TRUE(program.Started());
  ASSERT_TRUE(program.WaitForOutput("step editor")) << program.Output();
  const pid_t pid = program.Pid();
  // What the start left to do in the background settles.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));

  std::atomic<bool> stop{false};
  std::thread changer([&] {
    for (int i = 0; !stop; ++i) {
      const std::string name = parent.File("changing" + std::to_string(i % 50) + ".txt");
      WriteAll(name, std::to_string(i));
      if (i % 3 == 0) DeleteFile(name);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const double before = ProcessCpuSeconds(pid);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double used = ProcessCpuSeconds(pid) - before;
  const int watches = InotifyWatches(pid);
  stop = true;
  changer.join();
  program.Process().kill();
  program.WaitForEnd(5000);

  ASSERT_GE(before, 0);
  EXPECT_LT(used, 0.3) << "seconds of processor time in 3 seconds of waiting";
  EXPECT_EQ(watches, 0);
}

// The start from a folder whose parent holds thousands of files (the home folder, for a
// program started from a desktop's menu) costs what the start from a quiet folder costs: the
// program looks at no file around the folder it was started from until the image browser
// shows one. Measured in processor time up to the first paint of the page and a moment after,
// which a busy machine does not stretch as it stretches the clock.
TEST(StartAndIdle, AStartBesideThousandsOfFilesCostsWhatAQuietStartCosts) {
  auto startCost = [](int files) {
    TempDir home, config, parent;
    CopyFolderTree(ZELMORA_DATA, home.Path());
    TIniFile(home.File("tips.ini")).WriteBool("Settings", "ShowAtStartup", false);
    const std::string start = parent.File("start");
    ForceDirectories(start);
    for (int i = 0; i < files; ++i) WriteAll(parent.File("file" + std::to_string(i) + ".txt"), "x");
    ProgramProcess program({home.Path(), config.Path(), config.File("data"), "painted", {}, start});
    if (!program.Started() || !program.WaitForOutput("step painted")) return -1.0;
    // What the start leaves to do in the background counts too.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const double used = ProcessCpuSeconds(program.Pid());
    program.Process().kill();
    program.WaitForEnd(5000);
    return used;
  };
  const double quiet = startCost(0);
  const double crowded = startCost(16000);
  std::printf(
      "processor time to the first paint and 1.5 s after: %.2f s from a quiet folder, %.2f s beside 16000 "
      "files\n",
      quiet, crowded);
  ASSERT_GT(quiet, 0) << "the program did not paint its page";
  ASSERT_GT(crowded, 0) << "the program did not paint its page beside 16000 files";
  EXPECT_LT(crowded, quiet * 1.3 + 0.3) << "seconds of processor time to the first paint: " << quiet
                                        << " from a quiet folder, " << crowded << " beside 16000 files";
}

// A start project far larger than any page (here a sparse file of 2 GB) is refused with a
// message at the start, before it is read: the start costs no more memory than its size.
TEST(StartAndIdle, AStartProjectLargerThanAnyPageIsRefusedUnread) {
  ProgramHome home;
  const std::string huge = home.dir.File("huge.zlm");
  WriteAll(huge, "[Heading]\nNumOfButtons=1\n");
  ASSERT_EQ(truncate(huge.c_str(), off_t(2048) << 20), 0);
  auto peakKB = [] {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6));
    return -1LL;
  };
  const long long residentKB = ProcessResidentBytes(getpid()) >> 10;
  { std::ofstream("/proc/self/clear_refs") << "5"; }
  auto w = StartMainWindow({huge});
  const long long grewMB = (peakKB() - residentKB) >> 10;
  ASSERT_FALSE(w->StartProblems.empty());
  EXPECT_NE(w->StartProblems[0].find("too large to be a project"), std::string::npos) << w->StartProblems[0];
  EXPECT_NE(w->ProjectFileName, huge);
  EXPECT_LT(grewMB, 600) << "MB more at the peak of the start";
}

}  // namespace
