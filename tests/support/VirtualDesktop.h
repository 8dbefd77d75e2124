// A virtual X display of the test's own with a real window manager on it (openbox), for tests
// that must see what a window manager does to the program's windows: frames, title bars, the
// places it gives. The server picks a free display; both end with the object.
#pragma once
#include <string>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QThread>

struct VirtualDesktop {
  QProcess server, manager;
  QString name;          // ":N", empty when the display could not be started
  bool managed = false;  // the window manager runs and has taken the display
  QString problem;       // what the window manager said when it did not

  explicit VirtualDesktop(const char* screen = "1280x1024x24") {
    server.start("Xvfb", {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"});
    if (!server.waitForStarted(5000)) return;
    QElapsedTimer t;
    t.start();
    QByteArray number;
    while (!number.contains('\n') && t.elapsed() < 10000 && server.state() == QProcess::Running)
      if (server.waitForReadyRead(100)) number += server.readAllStandardOutput();
    if (!number.contains('\n')) return;
    name = ":" + QString::fromLatin1(number.trimmed());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", name);
    manager.setProcessEnvironment(env);
    manager.start("openbox", {"--sm-disable"});
    if (!manager.waitForStarted(5000)) return;
    // The manager has taken the display once it names itself on the root window; on a busy
    // machine that can take a while.
    t.restart();
    while (t.elapsed() < 30000 && manager.state() == QProcess::Running) {
      if (Run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id")) {
        managed = true;
        break;
      }
      QThread::msleep(100);
    }
    if (!managed) problem = QString::fromLocal8Bit(manager.readAllStandardError());
  }
  ~VirtualDesktop() {
    for (QProcess* p : {&manager, &server}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->terminate();
      if (!p->waitForFinished(3000)) p->kill();
      p->waitForFinished(3000);
    }
  }
  VirtualDesktop(const VirtualDesktop&) = delete;
  VirtualDesktop& operator=(const VirtualDesktop&) = delete;

  // A tool run on this display; its standard output.
  QString Run(const QString& program, const QStringList& args) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", name);
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(10000)) {
      p.kill();
      p.waitForFinished(1000);
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput());
  }
};
