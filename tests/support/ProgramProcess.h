// The real program as a process of its own, for tests that must see the program itself start,
// idle and end: on a copy of the shipped files, with settings of its own, on Qt's offscreen
// platform or on an X display, and with the Qt input plugin that plays the user's steps
// inside it (tests/support/UserScriptPlugin.cpp). Only for test programs that define
// ZELMORA_PROGRAM and ZELMORA_TEST_PLUGINS (tests/CMakeLists.txt).
#pragma once
#include <string>
#include <sys/types.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

struct ProgramStart {
  std::string home;    // its program folder (ZELMORA_HOME), a copy of the shipped files
  std::string config;  // its configuration (ZELMORA_CONFIG, XDG_CONFIG_HOME)
  std::string data;    // XDG_DATA_HOME, where it registers with the desktop; `config` when empty
  std::string steps;   // the user's steps, "tips+exit"; none when empty
  QString display;     // an X display; the offscreen platform when empty
  std::string folder;  // the current folder it starts in; the test's own when empty
};

class ProgramProcess {
 public:
  explicit ProgramProcess(const ProgramStart& start) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (start.display.isEmpty()) {
      env.insert("QT_QPA_PLATFORM", "offscreen");
    } else {
      env.insert("QT_QPA_PLATFORM", "xcb");
      env.insert("DISPLAY", start.display);
    }
    env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    env.insert("ZELMORA_HOME", Q(start.home));
    env.insert("ZELMORA_CONFIG", Q(start.config));
    env.insert("XDG_CONFIG_HOME", Q(start.config));
    env.insert("XDG_DATA_HOME", Q(start.data.empty() ? start.config : start.data));
    env.insert("QT_PLUGIN_PATH", ZELMORA_TEST_PLUGINS);
    if (!start.steps.empty()) env.insert("QT_QPA_GENERIC_PLUGINS", Q("zelmorauser:" + start.steps));
    FProcess.setProcessEnvironment(env);
    FProcess.setProcessChannelMode(QProcess::SeparateChannels);
    if (!start.folder.empty()) FProcess.setWorkingDirectory(Q(start.folder));
    FProcess.start(ZELMORA_PROGRAM, {});
    FStarted = FProcess.waitForStarted(10000);
  }
  // A program still running when the test is done is ended.
  ~ProgramProcess() {
    if (FProcess.state() == QProcess::NotRunning) return;
    FProcess.kill();
    FProcess.waitForFinished(5000);
  }
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  bool Started() const { return FStarted; }
  bool Running() const { return FProcess.state() == QProcess::Running; }
  pid_t Pid() const { return pid_t(FProcess.processId()); }
  QProcess& Process() { return FProcess; }
  // Everything it wrote on standard output so far.
  const std::string& Output() const { return FOutput; }

  // Waits up to `ms` for more output and takes what there is.
  void ReadOutput(int ms) {
    if (FProcess.waitForReadyRead(ms) || FProcess.bytesAvailable())
      FOutput += FProcess.readAllStandardOutput().toStdString();
  }
  // Reads until the output holds `text` (a step done, "step editor"), the program ends or
  // `timeoutMs` pass; whether the text came.
  bool WaitForOutput(const std::string& text, int timeoutMs = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (FOutput.find(text) == std::string::npos && clock.elapsed() < timeoutMs && Running())
      ReadOutput(100);
    FOutput += FProcess.readAllStandardOutput().toStdString();
    return FOutput.find(text) != std::string::npos;
  }
  // Whether it ended within `ms`; the rest of its output is taken.
  bool WaitForEnd(int ms) {
    const bool ended = FProcess.state() == QProcess::NotRunning || FProcess.waitForFinished(ms);
    FOutput += FProcess.readAllStandardOutput().toStdString();
    return ended;
  }

 private:
  static QString Q(const std::string& s) { return QString::fromStdString(s); }
  QProcess FProcess;
  std::string FOutput;
  bool FStarted = false;
};
