// The entry point of the GUI test programs: one QApplication for the whole run, on Qt's
// offscreen platform unless the caller chose another.
#include <cstdlib>
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // As the program does, for the embedded browser.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
