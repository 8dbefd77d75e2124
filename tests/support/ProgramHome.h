// A program folder for main-window tests: a temporary copy of data/ with its own
// configuration folder, scripted boxes, and the current folder put back afterwards (the
// window's start changes to the program folder).
#pragma once
#include <QCoreApplication>

#include <memory>
#include <string>
#include <vector>

#include "POP/PopForms.h"
#include "Unitmain.h"
#include "platform/IniFiles.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"
#include "support/ScriptedServices.h"
#include "support/TestSupport.h"

struct ProgramHome {
  TempDir dir;
  ScopedEnv home{"ZELMORA_HOME", dir.Path()};
  ScopedEnv config{"ZELMORA_CONFIG", dir.File("config")};
  ScriptedServices services;
  std::string cwd = GetCurrentDir();
  ProgramHome() {
    CopyFolderTree(ZELMORA_DATA, dir.Path());
    ApplicationTitle() = "Varnholt Zelmora";
  }
  ~ProgramHome() { SetCurrentDir(cwd); }
  std::string Setting(const std::string& section, const std::string& key) {
    return TIniFile(dir.File("Settings.ini")).ReadString(section, key, "<none>");
  }
  // The texts of the boxes shown so far, and a fresh record.
  std::vector<std::string> TakeBoxes() {
    std::vector<std::string> texts;
    for (const auto& b : services.Boxes) texts.push_back(b.text);
    services.Boxes.clear();
    return texts;
  }
};

inline std::unique_ptr<TFormMain> StartMainWindow(const std::vector<std::string>& args = {}) {
  auto w = std::make_unique<TFormMain>();
  w->CommandLine = args;
  w->show();
  QCoreApplication::processEvents();
  return w;
}
