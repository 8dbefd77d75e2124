// The entry point of the GUI test programs: the tests run in folders of their own
// (tests/support/TestIsolation.h), with one QApplication for the whole run, on Qt's offscreen
// platform unless the caller chose another, with the embedded browser's sandbox off as it
// must be for a root user (as in CI).
#include <cstdlib>
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/TestIsolation.h"

int main(int argc, char** argv) {
  // Before Qt reads the environment; static, so that it outlives what Qt writes at the end
  // of the process (the file dialog's settings).
  static TestProcessIsolation isolation;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  int status = 0;
  {
    // As the program does, for the embedded browser.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    status = RUN_ALL_TESTS();
  }
  return isolation.Finish(status);
}
