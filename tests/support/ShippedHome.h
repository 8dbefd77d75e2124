// For dialog tests that draw with the shipped files: a program folder holding a copy of
// data/, a configuration folder of its own and scripted boxes, with the environment and the
// banner read afresh from them.
#pragma once
#include <cstdlib>
#include <filesystem>

#include <QString>
#include <QWidget>

#include "app/AppEnvironment.h"
#include "app/forms/Unitglobal.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

struct ShippedHome {
  TempDir home, cfg;
  ScopedEnv homeEnv{"ZELMORA_HOME", home.Path()}, cfgEnv{"ZELMORA_CONFIG", cfg.Path()};
  ScriptedServices services;
  ShippedHome() {
    std::filesystem::copy(ZELMORA_DATA, home.Path(), std::filesystem::copy_options::recursive);
    ReleaseEnvironment();
    FreeBanner();
  }
};

// Saves the widget's picture as <name>.png in ZELMORA_GRAB_DIR, when that is set, to be
// looked at.
inline void SaveGrab(QWidget& w, const char* name) {
  const char* dir = std::getenv("ZELMORA_GRAB_DIR");
  if (dir && *dir) w.grab().save(QString(dir) + "/" + name + ".png");
}
