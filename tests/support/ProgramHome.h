// A program folder for main-window tests: a temporary copy of data/ with its own
// configuration folder, scripted boxes, and the current folder put back afterwards (the
// window's start changes to the program folder).
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCoreApplication>
#include <QScrollArea>

#include "POP/PopForms.h"
#include "app/AppEnvironment.h"
#include "app/Unitmain.h"
#include "platform/IniFiles.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

struct ProgramHome {
  TempDir dir;
  ScopedEnv home{"ZELMORA_HOME", dir.Path()};
  ScopedEnv config{"ZELMORA_CONFIG", dir.File("config")};
  // The start registers the program with the desktop: in folders of the test's own.
  ScopedEnv dataHome{"XDG_DATA_HOME", dir.File("xdg-data")},
      configHome{"XDG_CONFIG_HOME", dir.File("xdg-config")};
  ScriptedServices services;
  std::string cwd = GetCurrentDir();
  // The application environment opens its files (language.ini, user.ini) in the program
  // folder of its first use: each home starts and ends with none, so that no later test
  // writes into a folder that is gone.
  ProgramHome() {
    CopyFolderTree(ZELMORA_DATA, dir.Path());
    ApplicationTitle() = "Varnholt Zelmora";
    ReleaseEnvironment();
  }
  ~ProgramHome() {
    ReleaseEnvironment();
    SetCurrentDir(cwd);
  }
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

// An object of a test project: its text and bounds.
struct TestObject {
  const char* text;
  int l, t, r, b;
};

// A (40,40)-(120,80), B (160,40)-(240,80) and C (40,120)-(120,160).
inline const std::vector<TestObject> kThreeTestObjects = {
    {"A", 40, 40, 120, 80}, {"B", 160, 40, 240, 80}, {"C", 40, 120, 120, 160}};

// The project text of these objects (anything with text, l, t, r and b): a width x height
// page, grid 8, snapping on; extra(o) is added to the section of object o.
template <class Object, class Extra>
std::string TestProjectText(const std::vector<Object>& objects, int width, int height,
                            const std::string& background, Extra extra) {
  std::string text = "[Heading]\nVersion=1.0\nBGColor=" + background +
                     "\nLastSelected=-1\nNumOfButtons=" + std::to_string(objects.size()) +
                     "\nProjectWidth=" + std::to_string(width) + "\nProjectHeight=" + std::to_string(height) +
                     "\nGridX=8\nGridY=8\n";
  for (size_t i = 0; i < objects.size(); ++i) {
    const Object& o = objects[i];
    text += "[Button" + std::to_string(i) + "]\nButtonText=" + o.text + "\nRectLeft=" + std::to_string(o.l) +
            "\nRectTop=" + std::to_string(o.t) + "\nRectRight=" + std::to_string(o.r) +
            "\nRectBottom=" + std::to_string(o.b) + "\n" + extra(o);
  }
  return text;
}

// Writes such a project to path and returns the path; extra(o), when given, is added to the
// section of object o.
inline std::string WriteTestProject(const std::string& path, const std::vector<TestObject>& objects,
                                    int width, int height, const std::string& background,
                                    const std::function<std::string(const TestObject&)>& extra = {}) {
  WriteAll(path, TestProjectText(objects, width, height, background,
                                 [&](const TestObject& o) { return extra ? extra(o) : std::string(); }));
  return path;
}

inline std::unique_ptr<TFormMain> StartMainWindow(const std::vector<std::string>& args = {}) {
  auto w = std::make_unique<TFormMain>();
  w->CommandLine = args;
  w->show();
  QCoreApplication::processEvents();
  return w;
}

// The main window on the project, active, with the page focused, nothing selected and the
// whole page rendered.
inline std::unique_ptr<TFormMain> StartEditing(const std::string& project) {
  auto w = StartMainWindow({project});
  QApplication::setActiveWindow(w.get());
  QCoreApplication::processEvents();
  w->ScrollBox->setFocus();
  w->Scene->SelectNone();
  w->RedrawScene(true);
  return w;
}
