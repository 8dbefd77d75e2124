// The real program ends when its main window is closed, whatever other windows are open, and
// writes its window settings on the way. The program runs as its own process on Qt's
// offscreen platform, with a Qt input plugin that plays the user inside it.
#include <csignal>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QProcess>

#include "platform/IniFiles.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"
#include "tests/support/ProgramProcess.h"
#include "tests/support/TestSupport.h"

namespace {

struct ProgramRun {
  bool ended = false;
  qint64 afterExitMs = -1;  // from the Exit command to the end of the process
  std::string output;
};

// A virtual X display of its own, for the runs on a real window system.
struct VirtualDisplay {
  QProcess server;
  QString name;
  VirtualDisplay() {
    // The server picks a free display and writes its number on standard output.
    server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    if (!server.waitForStarted(5000)) return;
    QElapsedTimer t;
    t.start();
    QByteArray number;
    while (!number.contains('\n') && t.elapsed() < 10000 && server.state() == QProcess::Running)
      if (server.waitForReadyRead(100)) number += server.readAllStandardOutput();
    if (number.contains('\n')) name = ":" + QString::fromLatin1(number.trimmed());
  }
  ~VirtualDisplay() {
    server.terminate();
    if (!server.waitForFinished(3000)) server.kill();
    server.waitForFinished(3000);
  }
};

// Starts the program on a copy of the shipped files with the user's steps, on the offscreen
// platform or on the given X display, and waits for it to end; a program that does not end
// within a few seconds after Exit is ended here.
ProgramRun RunProgram(const TempDir& home, const TempDir& config, const std::string& steps,
                      const QString& display) {
  ProgramProcess program({home.Path(), config.Path(), "", steps, display, ""});
  ProgramRun run;
  if (!program.Started()) return run;
  QElapsedTimer sinceExit, total;
  total.start();
  while (total.elapsed() < 60000) {
    program.ReadOutput(100);
    if (!sinceExit.isValid() && program.Output().find("step exit") != std::string::npos) sinceExit.start();
    if (program.Output().find("stuck") != std::string::npos) break;
    if (!program.Running()) break;
    if (sinceExit.isValid() && sinceExit.elapsed() > 5000) break;
  }
  run.ended = program.WaitForEnd(200);
  if (run.ended && sinceExit.isValid()) run.afterExitMs = sinceExit.elapsed();
  run.output = program.Output();
  return run;
}

// File > Exit with the tip of the day open, and with the Properties window floating when the
// Services tab is shown: each time the program ends within a few seconds, and the window's
// place is in Settings.ini, each key once. Both on the offscreen platform and on a virtual X
// display, where the browser of the Services tab makes the main window anew.
TEST(ProgramEnd, ExitEndsTheProgramWhateverElseIsOpen) {
  VirtualDisplay x;
  ASSERT_FALSE(x.name.isEmpty()) << "Xvfb (Debian package xvfb) is needed and could not be started";
  struct {
    const char* what;
    const char* steps;
    bool tipsAtStart;
  } cases[] = {
      {"tip of the day open", "tips+exit", true},
      {"Properties floating when the Services tab is shown", "tools+services+exit", false},
  };
  for (const QString& display : {QString(), x.name}) {
    for (const auto& c : cases) {
      std::string what = std::string(c.what) + (display.isEmpty() ? " (offscreen)" : " (X display)");
      TempDir home, config;
      CopyFolderTree(ZELMORA_DATA, home.Path());
      TIniFile(home.File("tips.ini")).WriteBool("Settings", "ShowAtStartup", c.tipsAtStart);
      ProgramRun run = RunProgram(home, config, c.steps, display);
      ASSERT_NE(run.output.find("step exit"), std::string::npos) << what << "\n" << run.output;
      EXPECT_TRUE(run.ended) << what;
      EXPECT_GE(run.afterExitMs, 0) << what;
      EXPECT_LT(run.afterExitMs, 5000) << what;

      std::string settings = ReadAll(home.File("Settings.ini"));
      TIniFile ini(home.File("Settings.ini"));
      EXPECT_EQ(ini.ReadSection("WindowState"),
                (std::vector<std::string>{"Left", "Top", "Width", "Height", "WindowState"}))
          << what << "\n"
          << settings;
      std::vector<std::string> place = ini.ReadSection("FormMain");
      EXPECT_FALSE(place.empty()) << what << "\n" << settings;
      EXPECT_EQ(std::set<std::string>(place.begin(), place.end()).size(), place.size()) << what;
      for (const char* header : {"[WindowState]", "[FormMain]"})
        EXPECT_EQ(settings.find(header), settings.rfind(header)) << what << " " << header;
    }
  }
}

// SIGTERM and SIGHUP (a closed terminal, a logout without a session manager) with unsaved
// work: the program ends at once, as the signal says, and the page is in the recovery file of
// its folder, while the user's project and the program's own files are left as they were.
TEST(ProgramEnd, EndSignalsKeepTheUnsavedPage) {
  for (int sig : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    TempDir home, config;
    CopyFolderTree(ZELMORA_DATA, home.Path());
    TIniFile(home.File("tips.ini")).WriteBool("Settings", "ShowAtStartup", false);
    const std::string project = home.File("projects/splash.zlm");
    const std::string before = ReadAll(project);
    ProgramProcess program({home.Path(), config.Path(), "", "newbutton", {}, ""});
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForOutput("step newbutton")) << program.Output();
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    kill(program.Pid(), sig);
    EXPECT_TRUE(program.WaitForEnd(10000));
    EXPECT_LT(sinceSignal.elapsed(), 5000);
    EXPECT_EQ(program.Process().exitStatus(), QProcess::CrashExit) << "ended as the signal says";
    const std::string recovery = home.File("recovery.zlm");
    ASSERT_TRUE(FileExists(recovery));
    TIniFile kept(recovery);
    TIniFile shipped(project);
    EXPECT_EQ(kept.ReadInteger("Heading", "NumOfButtons", -1),
              shipped.ReadInteger("Heading", "NumOfButtons", -1) + 1);
    EXPECT_EQ(kept.ReadString("Recovery", "ProjectFileName", ""), project);
    EXPECT_EQ(ReadAll(project), before);
    EXPECT_EQ(TIniFile(home.File("Settings.ini")).ReadString("Settings", "Language", "?"),
              TIniFile(ZELMORA_DATA + std::string("/Settings.ini")).ReadString("Settings", "Language", "?"));
  }
}

}  // namespace
