// The entry point of the GUI test programs: one QApplication for the whole run, on Qt's
// offscreen platform unless the caller chose another, with the embedded browser's sandbox
// off as it must be for a root user (as in CI).
#include <cstdlib>
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  // As the program does, for the embedded browser.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
