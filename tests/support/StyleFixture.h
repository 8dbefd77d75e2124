// The main window with its two real dock windows (the style tool window and the template
// library) on a program folder of its own, a small project and a small template library.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QListWidget>
#include <QPointer>

#include "POP/gui/PopDialogs.h"
#include "app/Unitmain.h"
#include "app/forms/Unitlibrary.h"
#include "app/forms/Unittoolbar.h"
#include "platform/IniFiles.h"
#include "tests/support/ProgramHome.h"

struct StyleObj {
  const char* text;
  int l, t, r, b;
  std::string style;  // extra keys of the section, one per line
};

inline std::string StyleProjectText(const std::vector<StyleObj>& objects, int width = 400, int height = 300) {
  return TestProjectText(objects, width, height, "clWhite", [](const StyleObj& o) { return o.style; });
}

// Three objects A, B, C with fonts of their own; two templates listed out of name order:
// "Zinc" (a 120 x 40 round rectangle) and "  Amber  " (an 80 x 30 ellipse).
const std::vector<StyleObj> kStyleObjects = {
    {"A", 40, 40, 120, 80, "FontName=Verdana\nFontHeight=-13\nShape=1\nColor1=1\n"},
    {"B", 160, 40, 240, 80, "FontName=Courier New\nFontHeight=-20\nShape=4\nColor1=2\n"},
    {"C", 40, 120, 120, 160, "FontName=Arial\nFontHeight=-11\nShape=6\nColor1=3\n"}};
const std::vector<StyleObj> kTemplates = {
    {"Zinc", 0, 0, 120, 40,
     "StyleName=Zinc\nFontName=Tahoma\nFontHeight=-30\nFontColor=255\nShape=5\nCurveSize=12\nPenWidth=3\n"
     "Color0=1118481\nColor1=2236962\nColor2=3355443\nColor3=4473924\nColor4=5592405\nColor5=6710886\n"
     "IsAntialiased=1\n"},
    {"  Amber  ", 0, 50, 80, 80, "FontName=Georgia\nFontHeight=-9\nShape=6\nColor1=12345\n"}};

struct StyleWindows {
  ProgramHome home;
  QPointer<TFormTools> tools;
  QPointer<TFormLibrary> library;
  std::unique_ptr<TFormMain> w;
  std::string project, libraryFile;

  explicit StyleWindows(const std::vector<StyleObj>& objects = kStyleObjects) {
    project = home.dir.File("style.zlm");
    WriteAll(project, StyleProjectText(objects));
    libraryFile = home.dir.File("templates.zlm");
    WriteAll(libraryFile, StyleProjectText(kTemplates, 200, 200));
    TIniFile(home.dir.File("Settings.ini")).WriteString("Settings", "DefaultLibrary", libraryFile);
    // The forms in the program's order: the main window, then the tool windows, which the
    // main window's first showing docks.
    auto* main = new TFormMain;
    w.reset(main);
    tools = new TFormTools;
    library = new TFormLibrary;
    w->CommandLine = {project};
    w->show();
    QCoreApplication::processEvents();
    w->Scene->SelectNone();
    w->SyncControlsFromButton(nullptr);
    w->RedrawScene(true);
  }
  ~StyleWindows() {
    SetDialogHook(nullptr);
    delete tools;
    delete library;
    w.reset();
  }
  TZLMButton* Obj(int i) { return w->Scene->Button(i); }
  // Selects the objects by index; the last one is the focused object.
  void Select(std::initializer_list<int> indexes) {
    w->Scene->SelectNone();
    TZLMButton* last = nullptr;
    for (int i : indexes) {
      Obj(i)->IsSelected = true;
      last = Obj(i);
    }
    w->SyncControlsFromButton(last);
  }
  // The library entry of that name made the selected one.
  void PickTemplate(const QString& name) {
    QList<QListWidgetItem*> found = library->ListTemplates->findItems(name, Qt::MatchExactly);
    if (!found.isEmpty()) library->ListTemplates->setCurrentItem(found.front());
  }
};

// Answers every common dialog with `answer` (false: cancel) after letting `fill` change it.
struct DialogAnswers {
  std::vector<std::string> kinds;
  explicit DialogAnswers(std::function<bool(TCommonDialog&)> answer) {
    SetDialogHook([this, answer](TCommonDialog& d) {
      kinds.push_back(d.ClassName());
      return answer(d);
    });
  }
  ~DialogAnswers() { SetDialogHook(nullptr); }
};
