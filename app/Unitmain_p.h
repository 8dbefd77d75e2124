// What the files of the main window share and nothing else needs: the handler-with-name
// macro of the menus and tool bars, the string conversion, the file filters, the page limit,
// the painted tool-bar pictures and the tool window's helpers.
#pragma once
#include <functional>
#include <string>

#include <QColor>
#include <QDockWidget>
#include <QIcon>
#include <QKeySequence>
#include <QString>

#include "app/Unitmain.h"
#include "engine/XRender.h"
#include "platform/ImageLimits.h"

// A handler with its name: the name goes on the action as its "handler" property, so the
// wiring can be listed and checked without running every command.
#define H(method) &TFormMain::method, #method

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

// Gives a command the desktop's standard keys for it, or the common key where the desktop
// names none.
void SetStandardKeys(QAction* action, QKeySequence::StandardKey key, const char* common);

// True when the selection's bounds make a picture the program can hold; otherwise says what
// size was asked and the limit, in words of the command ("exported", "printed" ...), and the
// command does nothing more.
bool SelectionFitsOnePicture(const TRect& bounds, const char* what);

inline constexpr const char* kFilterZLM = "Zelmora Projects (*.zlm)|*.zlm|All Files (*.*)|*.*|";
inline constexpr const char* kFilterHTML =
    "HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|All Files (*.*)|*.*|";

// Page sizes that a project file may ask for; larger values are cut to this: the picture
// limit's page. The renderer draws every object that fits such a page whole.
inline constexpr int kMaxPageSide = MaxPageSide;

// The tool-bar pictures (Unitmain_Icons.cpp).
namespace ToolBarIcons {
QIcon LetterIcon(const char* letter, bool bold, bool italic, bool underline, bool strike);
QIcon AlignIcon(int alignment);
QIcon PageIcon(bool folded);
QIcon FolderIcon();
QIcon DiskIcon();
QIcon GlobeIcon();
QIcon SwatchIcon(QColor c, bool letter);
QIcon ScissorsIcon();
QIcon SheetsIcon(bool clipboard);
QIcon DeleteIcon();
QIcon OrderIcon(bool front);
QIcon FontIcon();
}  // namespace ToolBarIcons

// A control of the tool window by its name; nullptr while the window (or the control) does
// not exist.
template <class T>
T* ToolControl(const TFormMain& w, const char* name) {
  QDockWidget* tools = w.ToolsWindow();
  return tools ? tools->findChild<T*>(name) : nullptr;
}

// Runs f on every selected object in list order (bottom first) and marks it changed.
template <class F>
void ForEachSelected(ZButtonList& scene, F f) {
  for (int i = 0; i < scene.Count(); ++i) {
    TZLMButton* o = scene.Button(i);
    if (!o->IsSelected) continue;
    f(*o);
    o->Changed = true;
  }
}
