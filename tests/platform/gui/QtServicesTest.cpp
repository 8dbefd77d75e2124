#include <gtest/gtest.h>

#include <QApplication>

#include "platform/gui/QtServices.h"

TEST(QtServices, InstallsWithAnApplication) {
  ASSERT_NE(QApplication::instance(), nullptr);
  InstallQtServices();
}
