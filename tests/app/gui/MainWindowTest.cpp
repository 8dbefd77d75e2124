// The main window's start, tables, place and close, on a temporary copy of the program
// folder with scripted message boxes.
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QWidgetAction>

#include "POP/PopForms.h"
#include "POP/gui/PopDialogs.h"
#include "app/Unitmain.h"
#include "app/forms/Unitedithtmlhead.h"
#include "app/forms/Unitimagemap.h"
#include "app/forms/Unitsplash.h"
#include "engine/XImage.h"
#include "engine/XImageCache.h"
#include "platform/IniFiles.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"
#include "tests/support/ProgramHome.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

namespace {

// The shared program folder, with the settings writer and a one-object project of these tests.
struct Home : ProgramHome {
  void SetSetting(const std::string& section, const std::string& key, const std::string& value) {
    TIniFile(dir.File("Settings.ini")).WriteString(section, key, value);
  }
  // A small project of one object.
  std::string Project(const std::string& name) {
    std::string path = dir.File(name);
    WriteAll(path,
             "[Heading]\nVersion=1.0\nBGColor=clWhite\nLastSelected=0\nNumOfButtons=1\n"
             "ProjectWidth=320\nProjectHeight=200\n[Button0]\nButtonText=Only\n"
             "RectLeft=8\nRectRight=88\nRectTop=8\nRectBottom=32\n");
    return path;
  }
};

std::unique_ptr<TFormMain> Start(const std::vector<std::string>& args = {}) {
  auto w = std::make_unique<TFormMain>();
  w->CommandLine = args;
  w->show();
  QCoreApplication::processEvents();
  return w;
}

enum : unsigned { kHidden = 1, kCheckable = 2, kChecked = 4, kDisabled = 8, kDefault = 16, kGrouped = 32 };

struct Row {
  const char* parent;  // the menu, context menu or tool bar
  const char* name;
  const char* caption;  // a tool button's hint
  const char* handler;  // "" for none
  const char* shortcut;
  unsigned flags;
};

// The state after the start: with no object focused, the commands on objects are disabled.
const Row kTable[] = {
    {"MainMenu", "MIFile", "&File", "MIFileClick", "", 0},
    {"MainMenu", "MIEdit", "&Edit", "MIEditClick", "", 0},
    {"MainMenu", "MIOptions", "&Options", "MIOptionsClick", "", 0},
    {"MainMenu", "MIWindow", "&Window", "MIWindowClick", "", 0},
    {"MainMenu", "MIInsert", "&Insert", "", "", 0},
    {"MainMenu", "MIHelp", "&Help", "", "", 0},
    {"MIFile", "MINewProject", "&New Project...", "MINewProjectClick", "Ctrl+N", 0},
    {"MIFile", "MIOpenProject", "&Open Project...", "MIOpenProjectClick", "Ctrl+O", 0},
    {"MIFile", "MISave", "&Save", "MISaveClick", "Ctrl+S", 0},
    {"MIFile", "MISaveAs", "Save &As...", "SaveFileClick", "Ctrl+Shift+S", 0},
    {"MIFile", "MIPreviewInBrowser", "Preview in Browser...", "MIPreviewInBrowserClick", "", 0},
    {"MIFile", "MIExportImage", "Export Image...", "ExportImageClick", "", kDisabled},
    {"MIFile", "MISelectScanner", "Select Scanner...", "", "", kHidden},
    {"MIFile", "MIHTMLPageBuilder", "HTML Page Builder...", "MIHTMLPageBuilderClick", "", 0},
    {"MIFile", "MIEditHTMLHeader", "Edit HTML Header...", "MIEditHTMLHeaderClick", "", 0},
    {"MIFile", "MIPageSetup", "Page Setup...", "MIPageSetupClick", "", 0},
    {"MIFile", "MIPrint", "Print", "MIPrintClick", "Ctrl+P", 0},
    {"MIFile", "MIUpgrade", "Upgrade...", "MIUpgradeClick", "", 0},
    {"MIFile", "MIExit", "Exit", "MIExitClick", "Ctrl+Q", 0},
    {"MIFile", "Recent1", "Recent", "Recent1Click", "", kHidden},
    {"MIFile", "Recent2", "Recent", "Recent1Click", "", kHidden},
    {"MIFile", "Recent3", "Recent", "Recent1Click", "", kHidden},
    {"MIFile", "Recent4", "Recent", "Recent1Click", "", kHidden},
    {"MIFile", "Recent5", "Recent", "Recent1Click", "", kHidden},
    {"MIEdit", "MIUndo", "&Undo", "MIUndoClick", "Ctrl+Z", 0},
    {"MIEdit", "MICut", "Cu&t", "MICutClick", "Ctrl+X", 0},
    {"MIEdit", "MICopy", "&Copy", "MICopyClick", "Ctrl+C", 0},
    {"MIEdit", "MIPaste", "&Paste", "MIPasteClick", "Ctrl+V", 0},
    {"MIEdit", "MIDuplicate", "Duplicate", "MenuItemDuplicate1Click", "Ctrl+D", kHidden},
    {"MIEdit", "MIDelete", "Delete", "MenuItemDelete1Click", "Del", 0},
    {"MIEdit", "MIBringToFront", "Bring to &Front", "MenuItemBringToFront1Click", "", 0},
    {"MIEdit", "MISendToBack", "Send to &Back", "MenuItemSendToBack1Click", "", 0},
    {"MIEdit", "MISelectAll", "Select &All", "MISelectAllClick", "Ctrl+A", 0},
    {"MIEdit", "MISelectNone", "Select &None", "MISelectNoneClick", "Ctrl+Shift+A", 0},
    {"MIEdit", "MISelectInvert", "Select &Invert", "MISelectInvertClick", "", 0},
    {"MIEdit", "MIGroup", "Group", "MIGroupClick", "", 0},
    {"MIEdit", "MIUngroup", "Ungroup", "MIUngroupClick", "", 0},
    {"MIOptions", "MIChangeFont", "Change Font...", "MenuItemChangeFont1Click", "", kDisabled},
    {"MIOptions", "MIButtonResize", "Button Resize...", "MIButtonResizeClick", "", kDisabled},
    {"MIOptions", "MenuItemAlignToGrid2", "Align to &Grid", "MenuItemAlignToGrid1Click", "", kDisabled},
    {"MIOptions", "MenuItemSnapToGrid", "Snap to Grid", "MenuItemSnapToGridClick", "", kCheckable | kChecked},
    {"MIOptions", "MenuItemSetGridSize", "Set Grid Size...", "MenuItemSetGridSizeClick", "", 0},
    {"MIOptions", "MISetBackgroundColor", "Set Background Color...", "MISetBackgroundColorClick", "", 0},
    {"MIOptions", "MISetPageSize", "Set Page Size...", "MISetPageSizeClick", "", 0},
    {"MIWindow", "TBShowLibrary", "Show &Library", "TBShowLibraryClick", "", kCheckable},
    {"MIWindow", "TBShowTools", "Show &Properties", "TBShowToolsClick", "", kCheckable},
    {"MIInsert", "TBNewButton", "New Button", "PopNewButtonClick", "", 0},
    {"MIInsert", "TBNewText", "New Text", "PopNewTextClick", "", 0},
    {"MIInsert", "TBNewFrame", "New Frame", "PopNewFrameClick", "", 0},
    {"MIInsert", "TBInsertPicture", "&Image...", "TBInsertPictureClick", "", 0},
    {"MIInsert", "TBInsertHTMLSnippet", "&HTML Snippet", "TBInsertHTMLSnippetClick", "", 0},
    {"MIInsert", "TBInsertExternalHTMLFile", "External HTML File...", "TBInsertExternalHTMLFileClick", "", 0},
    {"MIInsert", "ExternalImageFile1", "External Image File...", "ExternalImageFile1Click", "", 0},
    {"MIHelp", "TBAbout", "&About...", "TBAboutClick", "", 0},
    {"MIHelp", "TBHomePage", "Varnholt Software... (Online)", "TBHomePageClick", "", 0},
    {"MIHelp", "TBManual", "User Manual... (Online)", "TBManualClick", "F1", 0},
    {"MIHelp", "TBTipoftheDay", "&Tip of the Day...", "TBTipoftheDayClick", "", 0},
    {"PopupMenu1", "PopNewButton", "New Button", "PopNewButtonClick", "", 0},
    {"PopupMenu1", "PopNewText", "New Text", "PopNewTextClick", "", 0},
    {"PopupMenu1", "PopNewFrame", "New Frame", "PopNewFrameClick", "", 0},
    {"PopupMenu1", "MenuItemAlignToGrid1", "Align to Grid", "MenuItemAlignToGrid1Click", "", kDisabled},
    {"PopupMenu1", "MenuItemBringToFront1", "Bring to Front", "MenuItemBringToFront1Click", "", kDisabled},
    {"PopupMenu1", "MenuItemSendToBack1", "Send to Back", "MenuItemSendToBack1Click", "", kDisabled},
    {"PopupMenu1", "MenuItemDuplicate1", "Duplicate", "MenuItemDuplicate1Click", "", kDisabled},
    {"PopupMenu1", "MenuItemCut1", "Cut", "MICutClick", "", kDisabled},
    {"PopupMenu1", "MenuItemCopy1", "Copy", "MICopyClick", "", kDisabled},
    {"PopupMenu1", "MenuItemPaste1", "Paste", "MIPasteClick", "", 0},
    {"PopupMenu1", "MenuItemDelete1", "Delete", "MenuItemDelete1Click", "", kDisabled},
    {"PopupMenu1", "MenuItemSelectAll1", "Select All", "MISelectAllClick", "", 0},
    {"PopupMenu1", "MenuItemProperties1", "Properties...", "MenuItemProperties1Click", "", kDefault},
    {"PopupMenuMemo", "MemoUndo1", "Undo", "", "", 0},
    {"PopupMenuMemo", "MemoCut1", "Cut", "", "", 0},
    {"PopupMenuMemo", "MemoCopy1", "Copy", "", "", 0},
    {"PopupMenuMemo", "MemoPaste1", "Paste", "", "", 0},
    {"PopupMenuMemo", "MemoSelectAll1", "Select All", "", "", 0},
    {"ToolBar1", "ToolButtonNew", "Start a New Document", "MINewProjectClick", "", 0},
    {"ToolBar1", "ToolButtonOpen", "Open New Project", "MIOpenProjectClick", "", 0},
    {"ToolBar1", "ToolButtonSave", "Save Current Project", "SaveFileClick", "", 0},
    {"ToolBar1", "ToolButtonPreview", "Preview in Browser", "MIPreviewInBrowserClick", "", 0},
    {"ToolBar1", "ToolButtonBackground", "Set Background Color", "MISetBackgroundColorClick", "", 0},
    {"ToolBar1", "ToolButtonCut", "Cut To Clipboard", "MICutClick", "", 0},
    {"ToolBar1", "ToolButtonCopy", "Copy To Clipboard", "MICopyClick", "", 0},
    {"ToolBar1", "ToolButtonPaste", "Paste From Clipboard", "MIPasteClick", "", 0},
    {"ToolBar1", "ToolButtonDelete", "Delete Buttons", "MenuItemDelete1Click", "", kDisabled},
    {"ToolBar1", "ToolButtonSendToBack", "Send To Back", "MenuItemSendToBack1Click", "", kDisabled},
    {"ToolBar1", "ToolButtonBringToFront", "Bring To Front", "MenuItemBringToFront1Click", "", kDisabled},
    {"ToolBar1", "ComboFontName", "Font Name", "", "", 0},
    {"ToolBar1", "ComboFontSize", "Font Size", "", "", 0},
    {"ToolBar2", "ToolButtonBold", "Bold Text", "ButtonBoldTextClick", "", kCheckable | kDisabled},
    {"ToolBar2", "ToolButtonItalic", "Italic Text", "ButtonItalicTextClick", "", kCheckable | kDisabled},
    {"ToolBar2", "ToolButtonUnderlined", "Underlined Text", "ButtonUnderlinedTextClick", "",
     kCheckable | kDisabled},
    {"ToolBar2", "ToolButtonStrikeOut", "Strikeout Text", "ButtonStrikeOutTextClick", "",
     kCheckable | kDisabled},
    {"ToolBar2", "ToolButtonLeft", "Text Align Left", "ButtonAlignLeftClick", "",
     kCheckable | kGrouped | kDisabled},
    {"ToolBar2", "ToolButtonCentre", "Text Align Centre", "ButtonAlignCnterClick", "",
     kCheckable | kGrouped | kChecked | kDisabled},
    {"ToolBar2", "ToolButtonRight", "Text Align Right", "ButtonAlignRightClick", "",
     kCheckable | kGrouped | kDisabled},
    {"ToolBar2", "ToolButtonChangeFont", "Change Font", "MenuItemChangeFont1Click", "", kDisabled},
    {"ToolBar2", "ToolButtonTextColor", "Change Text Colour", "PanelColor10DblClick", "", kDisabled},
    {"ToolBar2", "LabelLinkAddress", "Link Address:", "", "", 0},
    {"ToolBar2", "EditURL", "Link Address", "", "", 0},
};

// What the window holds in one parent, in order: the actions (separators left out), or the
// widgets of a tool bar's widget actions.
struct Entry {
  std::string name, caption, handler, shortcut;
  unsigned flags;
};

unsigned FlagsOf(const QAction* a, const QMenu* menu) {
  unsigned f = 0;
  if (!a->isVisible()) f |= kHidden;
  if (a->isCheckable()) f |= kCheckable;
  if (a->isChecked()) f |= kChecked;
  // Qt reports a hidden action as disabled as well.
  if (!a->isEnabled() && a->isVisible()) f |= kDisabled;
  if (menu && menu->defaultAction() == a) f |= kDefault;
  if (a->actionGroup() && a->actionGroup()->isExclusive()) f |= kGrouped;
  return f;
}

std::vector<Entry> EntriesOf(TFormMain& w, const std::string& parent) {
  std::vector<Entry> out;
  auto add = [&](QAction* a, const QMenu* menu) {
    if (a->isSeparator()) return;
    Entry e{a->objectName().toStdString(), a->text().toStdString(),
            a->property("handler").toString().toStdString(), a->shortcut().toString().toStdString(),
            FlagsOf(a, menu)};
    if (QMenu* sub = a->menu()) e.name = sub->objectName().toStdString();
    out.push_back(e);
  };
  if (parent == "MainMenu") {
    for (QAction* a : w.menuBar()->actions()) add(a, nullptr);
  } else if (auto* bar = w.findChild<QToolBar*>(QString::fromStdString(parent))) {
    for (QAction* a : bar->actions()) {
      if (QWidget* widget = bar->widgetForAction(a); widget && qobject_cast<QWidgetAction*>(a)) {
        std::string caption = widget->toolTip().toStdString();
        if (auto* label = qobject_cast<QLabel*>(widget)) caption = label->text().trimmed().toStdString();
        out.push_back({widget->objectName().toStdString(), caption, "", "", 0});
      } else {
        Entry e{a->objectName().toStdString(), a->toolTip().toStdString(),
                a->property("handler").toString().toStdString(), "", FlagsOf(a, nullptr)};
        if (!a->isSeparator()) out.push_back(e);
      }
    }
  } else if (auto* menu = w.findChild<QMenu*>(QString::fromStdString(parent))) {
    for (QAction* a : menu->actions()) add(a, menu);
  }
  return out;
}

TEST(MainWindow, MenusContextMenusAndToolBarsMatchTheirTables) {
  Home home;
  auto w = Start();
  std::vector<std::string> parents;
  for (const Row& r : kTable)
    if (parents.empty() || parents.back() != r.parent) parents.push_back(r.parent);
  for (const std::string& parent : parents) {
    SCOPED_TRACE(parent);
    std::vector<Entry> got = EntriesOf(*w, parent);
    size_t i = 0;
    for (const Row& r : kTable) {
      if (parent != r.parent) continue;
      SCOPED_TRACE(r.name);
      ASSERT_LT(i, got.size()) << "missing";
      const Entry& e = got[i++];
      EXPECT_EQ(e.name, r.name);
      EXPECT_EQ(e.caption, r.caption);
      EXPECT_EQ(e.handler, r.handler);
      EXPECT_EQ(e.shortcut, QKeySequence(r.shortcut).toString().toStdString());
      EXPECT_EQ(e.flags, r.flags);
    }
    EXPECT_EQ(i, got.size()) << "more entries than the table";
  }
  // Each menu of the menu bar shows its shortcut keys while it is open over the page: opening
  // it takes the focus from the page for the popup only, which is not leaving the page.
  QApplication::setActiveWindow(w.get());
  w->ScrollBox->setFocus();
  QCoreApplication::processEvents();
  ASSERT_TRUE(w->ScrollBox->hasFocus());
  for (QAction* title : w->menuBar()->actions()) {
    QMenu* menu = title->menu();
    SCOPED_TRACE(menu->objectName().toStdString());
    w->menuBar()->setActiveAction(title);
    QCoreApplication::processEvents();
    ASSERT_TRUE(menu->isVisible());
    for (const Row& r : kTable) {
      if (menu->objectName() != r.parent) continue;
      auto* a = w->findChild<QAction*>(r.name);
      ASSERT_NE(a, nullptr) << r.name;
      EXPECT_EQ(a->shortcut().toString().toStdString(), QKeySequence(r.shortcut).toString().toStdString())
          << r.name;
    }
    menu->hide();
    QCoreApplication::processEvents();
  }
  w->menuBar()->setActiveAction(nullptr);
  QCoreApplication::processEvents();

  // The popup handler of the page's menu, and the paint box it belongs to.
  EXPECT_EQ(w->PopupMenu1->menuAction()->property("handler").toString(), "PopupMenu1Popup");
  EXPECT_EQ(w->PaintBox->PopupMenu(), w->PopupMenu1);
}

// The keys every desktop program answers run their commands from the page, and no key of the
// window means two commands.
TEST(MainWindow, StandardKeysRunTheirCommandsAndNoKeyIsTakenTwice) {
  Home home;
  SetDialogHook([](TCommonDialog&) { return false; });
  auto w = Start({home.Project("keys.zlm")});
  QApplication::setActiveWindow(w.get());
  w->ScrollBox->setFocus();
  QCoreApplication::processEvents();
  ASSERT_TRUE(w->ScrollBox->hasFocus());

  std::map<std::string, std::string> owner;
  for (QAction* a : w->findChildren<QAction*>()) {
    if (a->isSeparator() || a->menu()) continue;
    for (const QKeySequence& k : a->shortcuts()) {
      const std::string key = k.toString().toStdString();
      EXPECT_FALSE(owner.count(key)) << key << " is " << owner[key] << " and "
                                     << a->objectName().toStdString();
      owner[key] = a->objectName().toStdString();
    }
  }

  // The desktop's key where it names one, else the one common to the desktops.
  struct Case {
    QKeySequence::StandardKey key;
    const char* common;
    const char* action;
  } cases[] = {
      {QKeySequence::New, "Ctrl+N", "MINewProject"}, {QKeySequence::Open, "Ctrl+O", "MIOpenProject"},
      {QKeySequence::Save, "Ctrl+S", "MISave"},      {QKeySequence::SaveAs, "Ctrl+Shift+S", "MISaveAs"},
      {QKeySequence::Print, "Ctrl+P", "MIPrint"},    {QKeySequence::HelpContents, "F1", "TBManual"},
      {QKeySequence::Quit, "Ctrl+Q", "MIExit"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    auto* a = w->findChild<QAction*>(c.action);
    ASSERT_NE(a, nullptr);
    QList<QKeySequence> keys = QKeySequence::keyBindings(c.key);
    if (keys.isEmpty()) keys = {QKeySequence(c.common)};
    EXPECT_EQ(a->shortcuts(), keys);
    int runs = 0;
    auto connection = QObject::connect(a, &QAction::triggered, [&] { ++runs; });
    QTest::keySequence(w->ScrollBox, keys.first());
    QCoreApplication::processEvents();
    QObject::disconnect(connection);
    EXPECT_EQ(runs, 1) << keys.first().toString().toStdString();
  }
  EXPECT_FALSE(w->isVisible()) << "the quit key closes the window";
  SetDialogHook(nullptr);
}

TEST(MainWindow, MenusUpdateTheirItemsWhenTheyOpen) {
  Home home;
  auto w = Start();
  // File: back to the editor; no updater installed, so "Upgrade..." is off.
  w->PageControl->setCurrentWidget(w->TabSheetServices);
  emit w->MIFile->aboutToShow();
  EXPECT_EQ(w->PageControl->currentWidget(), w->TabSheetScene);
  EXPECT_FALSE(w->MIUpgrade->isEnabled());
  // Options: the tick follows the scene's grid switch both ways.
  for (bool on : {false, true}) {
    w->Scene->AlignToGrid = on;
    emit w->MIOptions->aboutToShow();
    EXPECT_EQ(w->MenuItemSnapToGrid->isChecked(), on);
  }
  // Window and the page's menu, with a tool window present and with it hidden.
  auto* tools = new QDockWidget("Properties", w.get());
  tools->setObjectName("FormTools");
  w->DockSites->ManualDock(tools, TFormMain::PanelDockSite1);
  emit w->MIWindow->aboutToShow();
  EXPECT_TRUE(w->TBShowTools->isChecked());
  EXPECT_FALSE(w->TBShowLibrary->isChecked());
  emit w->PopupMenu1->aboutToShow();
  EXPECT_FALSE(w->MenuItemProperties1->isEnabled());
  // "Show Properties" floats the window and toggles it.
  w->TBShowTools->trigger();
  EXPECT_TRUE(tools->isFloating());
  EXPECT_FALSE(tools->isVisible());
  emit w->MIWindow->aboutToShow();
  EXPECT_FALSE(w->TBShowTools->isChecked());
  emit w->PopupMenu1->aboutToShow();
  EXPECT_TRUE(w->MenuItemProperties1->isEnabled());
  // "Properties..." shows it again, floating.
  w->MenuItemProperties1->trigger();
  EXPECT_TRUE(tools->isVisible());
  EXPECT_TRUE(tools->isFloating());
}

TEST(MainWindow, DockSitesTakeOneWindowEach) {
  Home home;
  auto w = Start();
  auto* lib = new QDockWidget("Library", w.get());
  lib->setObjectName("FormLibrary");
  auto* tools = new QDockWidget("Properties", w.get());
  tools->setObjectName("FormTools");
  w->DockSites->ManualDock(lib, TFormMain::PanelDockSite2);
  w->DockSites->Add(tools);
  bool accept = true;
  w->PanelDockSite2GetSiteInfo(TFormMain::PanelDockSite2, tools, accept);
  EXPECT_FALSE(accept);
  accept = true;
  w->PanelDockSite2GetSiteInfo(TFormMain::PanelDockSite2, lib, accept);
  EXPECT_TRUE(accept);
  w->PanelDockSite2GetSiteInfo(TFormMain::PanelDockSite1, tools, accept);
  EXPECT_TRUE(accept);
  EXPECT_FALSE(tools->allowedAreas() & TFormMain::PanelDockSite2);
}

TEST(MainWindow, LayoutAndStartState) {
  Home home;
  auto w = Start();
  EXPECT_EQ(w->minimumWidth(), 320);
  EXPECT_EQ(w->PageControl->count(), 2);
  EXPECT_EQ(w->PageControl->tabText(0), "Editor");
  EXPECT_EQ(w->PageControl->tabText(1), "Services");
  EXPECT_EQ(w->PageControl->currentWidget(), w->TabSheetScene);
  EXPECT_TRUE(w->PanelMousePos->isHidden());
  EXPECT_EQ(w->PanelMousePos->size(), QSize(17, 17));
  // The page panel and the paint box are exactly the page bitmap.
  EXPECT_EQ(w->PaintBox->size(), QSize(w->Scene->Page->Width(), w->Scene->Page->Height()));
  EXPECT_EQ(w->PanelScene->size(), w->PaintBox->size());
  // The font boxes are filled, the size box with point sizes.
  EXPECT_GT(w->ComboFontName->count(), 0);
  EXPECT_NE(w->ComboFontSize->findText("12"), -1);
  EXPECT_EQ(w->ChangeCount, 0);
}

// The start project: the one argument, else DefaultProject, else the splash page.
TEST(MainWindow, StartOpensTheRightProject) {
  struct Case {
    const char* what;
    bool defaultExists;
    int args;            // 0, 1 or 2 command-line arguments (the first one names "arg.zlm")
    const char* expect;  // "default", "arg" or "splash"
  } cases[] = {
      {"no default, no argument", false, 0, "splash"},
      {"default project", true, 0, "default"},
      {"one argument wins", true, 1, "arg"},
      {"two arguments are ignored", true, 2, "default"},
      {"two arguments, no default", false, 2, "splash"},
      {"missing default falls back", false, 1, "arg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Home home;
    std::string def = home.Project("default.zlm"), arg = home.Project("arg.zlm");
    home.SetSetting("Settings", "DefaultProject", c.defaultExists ? def : home.dir.File("gone.zlm"));
    std::vector<std::string> args;
    if (c.args >= 1) args.push_back(arg);
    if (c.args >= 2) args.push_back(def + ".other");
    auto w = Start(args);
    std::string expected = std::string(c.expect) == "default" ? def
                           : std::string(c.expect) == "arg"   ? arg
                                                              : home.dir.File("projects/splash.zlm");
    EXPECT_EQ(w->ProjectFileName, expected);
    EXPECT_EQ(w->ChangeCount, 0);
    EXPECT_GT(w->Scene->Count(), 0);
    EXPECT_TRUE(home.services.Boxes.empty());
    // The library named by DefaultLibrary comes with every start.
    EXPECT_GT(w->TemplateLibrary->Count(), 10);
  }
}

// A project named on the command line that does not exist yet starts a new, empty page under
// that name, as editors do, and says so; Save then writes that file, never the shipped start
// page. One that exists but is no file (a pipe) is reported, and the page stays unnamed.
TEST(MainWindow, AMissingCommandLineFileStartsANewPageUnderItsName) {
  Home home;
  const std::string splash = home.dir.File("projects/splash.zlm");
  const std::string shipped = ReadAll(splash);
  const std::string name = home.dir.File("new page: v2.zlm");
  auto w = Start({name});
  EXPECT_EQ(w->ProjectFileName, name);
  EXPECT_EQ(w->Scene->Count(), 0);
  EXPECT_EQ(w->ChangeCount, 0);
  EXPECT_NE(w->StatusBar->currentMessage().toStdString().find("new page"), std::string::npos)
      << w->StatusBar->currentMessage().toStdString();
  EXPECT_NE(w->StatusBar->currentMessage().toStdString().find(name), std::string::npos);
  EXPECT_TRUE(home.services.Boxes.empty());
  EXPECT_FALSE(FileExists(name));
  w->ChangeCount = 1;
  w->MISave->trigger();
  EXPECT_TRUE(FileExists(name));
  EXPECT_EQ(ReadAll(splash), shipped);
  w.reset();

  const std::string pipe = home.dir.File("pipe.zlm");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  auto p = Start({pipe});
  QCoreApplication::processEvents();
  EXPECT_TRUE(p->ProjectFileName.empty());
  ASSERT_FALSE(p->StartProblems.empty());
  EXPECT_NE(p->StartProblems[0].find("is a named pipe, not a file"), std::string::npos)
      << p->StartProblems[0];
  p->ChangeCount = 0;
  EXPECT_EQ(ReadAll(splash), shipped);
}

TEST(MainWindow, RelativeArgumentsMeanTheStartFolder) {
  Home home;
  ForceDirectories(home.dir.File("work"));
  ASSERT_TRUE(SetCurrentDir(home.dir.File("work")));
  // ":" and "\\" are letters of a name: such an argument names that very file.
  const char* argv[] = {"zelmora",      "page.zlm",     "../up/x.zlm", "/abs/y.zlm",
                        "Menu: v2.zlm", "a\\..\\b.zlm", "C:\\x.zlm"};
  std::vector<std::string> args = ProgramArguments(7, argv);
  EXPECT_EQ(args,
            (std::vector<std::string>{home.dir.File("work/page.zlm"), home.dir.File("up/x.zlm"), "/abs/y.zlm",
                                      home.dir.File("work/Menu: v2.zlm"), home.dir.File("work/a\\..\\b.zlm"),
                                      home.dir.File("work/C:\\x.zlm")}));
  // The start changes to the program folder; the argument still names the same file.
  std::string p = home.Project("work/page.zlm");
  auto w = Start(ProgramArguments(2, argv));
  EXPECT_EQ(w->ProjectFileName, p);
  EXPECT_EQ(IncludeTrailingPathDelimiter(GetCurrentDir()), IncludeTrailingPathDelimiter(home.dir.Path()));
}

// The shipped start page and library load whole, with every texture they name.
TEST(MainWindow, ShippedStartPageAndLibraryLoadWithTheirTextures) {
  Home home;
  auto w = Start();
  int textured = 0;
  for (ZButtonList* list : {w->Scene.get(), w->TemplateLibrary.get()}) {
    for (int i = 0; i < list->Count(); ++i) {
      TZLMButton* b = list->Button(i);
      SCOPED_TRACE(b->Text);
      EXPECT_GT(b->Bounds.Right, b->Bounds.Left);
      EXPECT_GT(b->Bounds.Bottom, b->Bounds.Top);
      if (b->Style->TextureFileName.empty()) continue;
      ++textured;
      ASSERT_NE(b->Style->Texture, nullptr);
      XImage* image = b->Style->Texture->GetGraphic();
      ASSERT_NE(image, nullptr);
      // Loaded whole: the size of its file.
      TBitmap file;
      file.LoadFromFile(home.dir.File("Images/" + b->Style->TextureFileName));
      EXPECT_EQ(image->Width(), file.Width());
      EXPECT_EQ(image->Height(), file.Height());
      EXPECT_GT(image->Width(), 0);
      EXPECT_FALSE(b->Style->Texture->Failed);
    }
  }
  EXPECT_GE(textured, 9);
  EXPECT_LE(w->Scene->Page->Width(), 800);
}

TEST(MainWindow, CaptionShowsTheProjectOrNoname) {
  Home home;
  std::string p = home.Project("page.zlm");
  {
    auto w = Start({p});
    EXPECT_EQ(w->windowTitle().toStdString(), "Varnholt Zelmora - [" + p + "]");
  }
  // Without any start project the page is empty and unnamed, and the user is told why.
  DeleteFile(home.dir.File("projects/splash.zlm"));
  auto w = Start();
  QCoreApplication::processEvents();
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->ProjectFileName, "");
  EXPECT_TRUE(w->windowTitle().endsWith("[noname.zlm]")) << w->windowTitle().toStdString();
  ASSERT_EQ(home.services.Boxes.size(), 1u);
  EXPECT_NE(home.services.Boxes[0].text.find("splash.zlm"), std::string::npos);
}

// A start project or library that cannot be read does not stop the start: the window comes
// up, the page stays unnamed (so no save goes over the broken file), and the user is told.
TEST(MainWindow, BrokenStartFilesAreReportedAndTheWindowComesUp) {
  Home home;
  std::string bad = home.dir.File("bad.zlm");
  WriteAll(bad, "[Heading]\nBGColor=not a colour\nNumOfButtons=1\n[Button0]\nButtonText=x\n");
  WriteAll(home.dir.File("library.zlm"), "[Heading]\nBGColor=also not\n");
  auto w = Start({bad});
  QCoreApplication::processEvents();
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->Started());
  EXPECT_EQ(w->ProjectFileName, "");
  EXPECT_EQ(w->Scene->Count(), 0);
  EXPECT_EQ(w->TemplateLibrary->Count(), 0);
  ASSERT_EQ(home.services.Boxes.size(), 1u);
  EXPECT_NE(home.services.Boxes[0].text.find("bad.zlm"), std::string::npos);
  EXPECT_NE(home.services.Boxes[0].text.find("library.zlm"), std::string::npos);
  EXPECT_EQ(ReadAll(bad).substr(0, 9), "[Heading]");
}

// A start-up picture that cannot be shown is told in the status bar; it stops nothing and
// asks for no answer. With a graver problem as well, the box lists both.
TEST(MainWindow, AMissingStartUpPictureIsToldInTheStatusBar) {
  Home home;
  DeleteFile(home.dir.File("setup.bmp"));
  FormSplash = new TFormSplash;
  {
    auto w = Start();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w->Started());
    EXPECT_EQ(ExtractFileName(w->ProjectFileName), "splash.zlm");
    const std::string status = w->StatusBar->currentMessage().toStdString();
    EXPECT_NE(status.find("setup.bmp"), std::string::npos) << status;
    EXPECT_TRUE(home.TakeBoxes().empty());
  }
  {
    WriteAll(home.dir.File("library.zlm"), "[Heading]\nBGColor=not a colour\n");
    auto w = Start();
    QCoreApplication::processEvents();
    std::vector<std::string> boxes = home.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("library.zlm"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("setup.bmp"), std::string::npos) << boxes[0];
    EXPECT_NE(w->StatusBar->currentMessage().toStdString().find("library.zlm"), std::string::npos);
  }
  delete FormSplash;
  FormSplash = nullptr;
}

TEST(MainWindow, PlaceIsRestoredFromAndWrittenToSettings) {
  Home home;
  home.SetSetting("FormMain", "Left", "120");
  home.SetSetting("FormMain", "Top", "90");
  home.SetSetting("FormMain", "Width", "700");
  home.SetSetting("FormMain", "Height", "500");
  home.SetSetting("FormMain", "WindowState", "0");
  {
    auto w = Start();
    EXPECT_EQ(w->WindowState(), wsNormal);
    EXPECT_EQ(w->pos(), QPoint(120, 90));
    EXPECT_EQ(w->size(), QSize(700, 500));
    w->move(140, 100);
    w->resize(720, 510);
    EXPECT_TRUE(w->close());
    EXPECT_EQ(home.Setting("WindowState", "Left"), "140");
    EXPECT_EQ(home.Setting("WindowState", "Top"), "100");
    EXPECT_EQ(home.Setting("WindowState", "Width"), "720");
    EXPECT_EQ(home.Setting("WindowState", "Height"), "510");
    EXPECT_EQ(home.Setting("WindowState", "WindowState"), "0");
  }
  // The form's own section is written when the window goes.
  EXPECT_EQ(home.Setting("FormMain", "Left"), "140");
  EXPECT_EQ(home.Setting("FormMain", "Width"), "720");

  // Its title bar partly above the screen (as a window that crept up was saved): it comes
  // back moved down just onto the screen, not elsewhere.
  const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
  {
    home.SetSetting("FormMain", "Left", std::to_string(avail.left() + 120));
    home.SetSetting("FormMain", "Top", std::to_string(avail.top() - 11));
    home.SetSetting("FormMain", "Width", "400");
    home.SetSetting("FormMain", "Height", "300");
    auto w = Start();
    EXPECT_EQ(w->WindowState(), wsNormal);
    EXPECT_EQ(w->frameGeometry().topLeft(), QPoint(avail.left() + 120, avail.top()));
    EXPECT_TRUE(w->close());
  }
  EXPECT_EQ(home.Setting("FormMain", "Left"), std::to_string(avail.left() + 120));
  EXPECT_EQ(home.Setting("FormMain", "Top"), std::to_string(avail.top()));

  // Saved minimised, or far off every screen: it comes back normal and on a screen.
  home.SetSetting("FormMain", "Left", "-30000");
  home.SetSetting("FormMain", "Top", "-30000");
  home.SetSetting("FormMain", "WindowState", "1");
  auto w = Start();
  EXPECT_EQ(w->WindowState(), wsNormal);
  QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.intersects(w->frameGeometry())) << w->x() << "," << w->y();
}

// Each file dialog is titled after the command that opens it, whichever command used the
// shared dialog before: the table is run forwards and backwards.
TEST(MainWindow, FileDialogsAreTitledAfterTheirCommands) {
  Home home;
  auto w = Start({home.Project("page.zlm")});
  w->Scene->Button(0)->SetSelected(true);
  w->SyncControlsFromButton(w->Scene->Button(0));
  TFormImageMap map;
  TFormEditHTMLHead head;
  struct Row {
    const char* title;
    std::function<void()> open;
  } rows[] = {{"Open Project", [&] { w->MIOpenProject->trigger(); }},
              {"Save As", [&] { w->MISaveAs->trigger(); }},
              {"Export Image", [&] { w->MIExportImage->trigger(); }},
              {"Insert Image", [&] { w->TBInsertPicture->trigger(); }},
              {"Insert External HTML File", [&] { w->TBInsertExternalHTMLFile->trigger(); }},
              {"Insert External Image File", [&] { w->ExternalImageFile1->trigger(); }},
              {"Load Button Texture", [&] { w->ButtonLoadTextureClick(nullptr); }},
              {"Save Image Mapped HTML File", [&] { map.ButtonSaveClick(); }},
              {"Save Meta Project", [&] { head.MenuItemSaveKeywordsClick(); }},
              {"Open Meta Project", [&] { head.MenuItemLoadKeywordsClick(); }}};
  std::vector<std::string> titles;
  SetDialogHook([&](TCommonDialog& d) {
    if (auto* file = dynamic_cast<TOpenDialog*>(&d)) titles.push_back(file->Title);
    return false;  // cancelled
  });
  std::vector<int> order;
  for (int i = 0; i < int(std::size(rows)); ++i) order.push_back(i);
  for (int i = int(std::size(rows)) - 1; i >= 0; --i) order.push_back(i);
  for (int i : order) {
    SCOPED_TRACE(rows[i].title);
    titles.clear();
    rows[i].open();
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0], rows[i].title);
  }
  SetDialogHook(nullptr);
  EXPECT_TRUE(home.TakeBoxes().empty());
}

TEST(MainWindow, ClosePromptAnswers) {
  struct Case {
    const char* what;
    int changes;
    bool named;
    int answer;  // 0: no box expected
    bool closes, saved;
  } cases[] = {
      {"nothing changed asks nothing", 0, true, 0, true, false},
      {"No closes without saving", 3, true, IDNO, true, false},
      {"Cancel keeps the window", 3, true, IDCANCEL, false, false},
      {"Yes saves and closes", 3, true, IDYES, true, true},
      {"Yes on an unnamed page with the dialog cancelled keeps it", 1, false, IDYES, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Home home;
    SetDialogHook([](TCommonDialog&) { return false; });
    std::string p = home.Project("work.zlm");
    auto w = Start({p});
    if (!c.named) w->ProjectFileName.clear();
    w->ChangeCount = c.changes;
    std::string before = ReadAll(p);
    if (c.answer) home.services.Answers.push_back(c.answer);
    home.services.Boxes.clear();
    EXPECT_EQ(w->close(), c.closes);
    if (c.answer) {
      ASSERT_EQ(home.services.Boxes.size(), 1u);
      EXPECT_EQ(home.services.Boxes[0].text,
                c.named ? "Save changes to " + p + "?" : std::string("Save current project?"));
      EXPECT_EQ(home.services.Boxes[0].flags, MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    } else {
      EXPECT_TRUE(home.services.Boxes.empty());
    }
    EXPECT_EQ(ReadAll(p) != before, c.saved);
    EXPECT_EQ(home.Setting("WindowState", "Width") != "<none>", c.closes);
    if (c.saved) EXPECT_EQ(w->ChangeCount, 0);
    SetDialogHook(nullptr);
  }
}

}  // namespace
