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
#include <QProcessEnvironment>

#include "platform/IniFiles.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"
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
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (display.isEmpty()) {
    env.insert("QT_QPA_PLATFORM", "offscreen");
  } else {
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", display);
  }
  env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
  env.insert("ZELMORA_HOME", QString::fromStdString(home.Path()));
  env.insert("ZELMORA_CONFIG", QString::fromStdString(config.Path()));
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.Path()));
  env.insert("XDG_DATA_HOME", QString::fromStdString(config.Path()));
  env.insert("QT_PLUGIN_PATH", ZELMORA_TEST_PLUGINS);
  env.insert("QT_QPA_GENERIC_PLUGINS", QString::fromStdString("zelmorauser:" + steps));
  program.setProcessEnvironment(env);
  program.setProcessChannelMode(QProcess::SeparateChannels);
  program.start(ZELMORA_PROGRAM, {});
  ProgramRun run;
  if (!program.waitForStarted(10000)) return run;
  QElapsedTimer sinceExit, total;
  total.start();
  while (total.elapsed() < 60000) {
    if (program.waitForReadyRead(100) || program.bytesAvailable()) {
      run.output += program.readAllStandardOutput().toStdString();
      if (!sinceExit.isValid() && run.output.find("step exit") != std::string::npos) sinceExit.start();
      if (run.output.find("stuck") != std::string::npos) break;
    }
    if (program.state() == QProcess::NotRunning) break;
    if (sinceExit.isValid() && sinceExit.elapsed() > 5000) break;
  }
  run.output += program.readAllStandardOutput().toStdString();
  run.ended = program.state() == QProcess::NotRunning || program.waitForFinished(200);
  if (run.ended && sinceExit.isValid()) run.afterExitMs = sinceExit.elapsed();
  if (!run.ended) {
    program.kill();
    program.waitForFinished(5000);
  }
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
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ZELMORA_HOME", QString::fromStdString(home.Path()));
    env.insert("ZELMORA_CONFIG", QString::fromStdString(config.Path()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.Path()));
    env.insert("XDG_DATA_HOME", QString::fromStdString(config.Path()));
    env.insert("QT_PLUGIN_PATH", ZELMORA_TEST_PLUGINS);
    env.insert("QT_QPA_GENERIC_PLUGINS", "zelmorauser:newbutton");
    program.setProcessEnvironment(env);
    program.start(ZELMORA_PROGRAM, {});
    ASSERT_TRUE(program.waitForStarted(10000));
    std::string output;
    QElapsedTimer total;
    total.start();
    while (output.find("step newbutton") == std::string::npos && total.elapsed() < 60000 &&
           program.state() == QProcess::Running)
      if (program.waitForReadyRead(100)) output += program.readAllStandardOutput().toStdString();
    ASSERT_NE(output.find("step newbutton"), std::string::npos) << output;
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    kill(pid_t(program.processId()), sig);
    EXPECT_TRUE(program.waitForFinished(10000));
    EXPECT_LT(sinceSignal.elapsed(), 5000);
    if (program.state() != QProcess::NotRunning) {
      program.kill();
      program.waitForFinished(5000);
    }
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit) << "ended as the signal says";
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
