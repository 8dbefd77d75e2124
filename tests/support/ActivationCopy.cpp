// Another running copy of the program for the activation tests: it holds the instance lock
// of the title given, shows its main form behind another window and, when it answers,
// reports on standard output once its main form has become the active window.
//   activation_copy <title> listen|silent
#include <cstdio>
#include <string>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "gif/gui/Vclutils.h"
#include "platform/InstanceLock.h"
#include "platform/gui/QtServices.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) return 2;
  const std::string title = argv[1];
  const bool listen = std::string(argv[2]) == "listen";
  if (HoldInstanceLock(title) < 0) return 3;
  QWidget mainForm, other;
  SetApplicationMainForm(&mainForm);
  mainForm.setGeometry(10, 10, 100, 100);
  other.setGeometry(200, 10, 100, 100);
  mainForm.show();
  other.show();
  other.activateWindow();
  if (listen && !ListenForActivation(title)) return 4;
  std::printf("ready\n");
  std::fflush(stdout);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (mainForm.isActiveWindow()) {
      std::printf("activated\n");
      std::fflush(stdout);
      app.quit();
    }
  });
  poll.start(10);
  QTimer::singleShot(20000, &app, [&] { app.exit(1); });
  return app.exec();
}
