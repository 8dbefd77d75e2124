// The main window: construction, menus and tool bars, its place on the screen, its life
// cycle, and the Window and Help menus.
#include "app/Unitmain.h"

#include <algorithm>
#include <optional>
#include <unistd.h>

#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "POP/PopInno.h"
#include "POP/gui/PopMenus.h"
#include "app/AppEnvironment.h"
#include "app/Unitmain_p.h"
#include "app/forms/Unitaboutbox.h"
#include "app/forms/Unitimageacquire.h"
#include "app/forms/Unitimagemap.h"
#include "app/forms/Unitsplash.h"
#include "app/forms/Unittipoftheday.h"
#include "platform/InstanceLock.h"
#include "platform/SysUtils.h"
#include "platform/TextRender.h"
#include "platform/gui/QtControlEvents.h"
#include "platform/gui/QtImage.h"

using namespace ToolBarIcons;

TFormMain* FormMain = nullptr;
const char* const StartProjectName = "projects/splash.zlm";

static QWidget* TopLevelForm(const char* name);

std::vector<std::string> ProgramArguments(int argc, const char* const* argv) {
  std::vector<std::string> args;
  std::string startFolder = IncludeTrailingPathDelimiter(GetCurrentDir());
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i] ? argv[i] : "";
    if (!a.empty() && !IsPathDelimiter(a[0])) a = ExpandFileName(startFolder + a);
    args.push_back(a);
  }
  return args;
}

// --- Construction ---

void SetStandardKeys(QAction* action, QKeySequence::StandardKey key, const char* common) {
  QList<QKeySequence> keys = QKeySequence::keyBindings(key);
  if (keys.isEmpty()) keys = {QKeySequence(QString::fromLatin1(common))};
  action->setShortcuts(keys);
}

QAction* TFormMain::AddItem(QMenu* menu, const char* name, const char* caption,
                            void (TFormMain::*handler)(QObject*), const char* handlerName) {
  auto* a = new QAction(QString::fromUtf8(caption), this);
  a->setObjectName(name);
  a->setProperty("handler", handlerName ? QString(handlerName) : QString());
  menu->addAction(a);
  if (handler) connect(a, &QAction::triggered, this, [this, a, handler] { (this->*handler)(a); });
  return a;
}

QMenu* TFormMain::AddMenu(QMenu* menu, const char* name, void (TFormMain::*popup)(QObject*),
                          const char* handlerName) {
  menu->setObjectName(name);
  connect(menu, &QMenu::aboutToShow, this, [this, menu, popup] { (this->*popup)(menu); });
  menu->menuAction()->setProperty("handler", handlerName);
  return menu;
}

QAction* TFormMain::AddTool(QToolBar* bar, const char* name, const char* hint, const QIcon& icon,
                            void (TFormMain::*handler)(QObject*), const char* handlerName) {
  auto* a = new QAction(icon, QString::fromUtf8(hint), this);
  a->setObjectName(name);
  a->setProperty("handler", QString(handlerName));
  a->setToolTip(QString::fromUtf8(hint));
  // The status bar shows the hint of what is under the mouse.
  a->setStatusTip(QString::fromUtf8(hint));
  bar->addAction(a);
  if (handler) connect(a, &QAction::triggered, this, [this, a, handler] { (this->*handler)(a); });
  return a;
}

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent), TQtFormGeometry(this) {
  FormMain = this;
  setObjectName("FormMain");
  setWindowTitle(Q(ApplicationTitle()));
  setMinimumWidth(320);

  CreateMenus();
  CreateToolBars();
  CreateClientArea();

  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  setStatusBar(StatusBar);

  DockSites = new TDockSites(this, [this](Qt::DockWidgetArea site, QDockWidget* client, bool& accept) {
    PanelDockSite2GetSiteInfo(site, client, accept);
  });

  // The page's keyboard commands see every event of the application first.
  ApplicationEvents = new QObject(this);
  ApplicationEvents->setObjectName("ApplicationEvents");
  qApp->installEventFilter(this);

  // The fields.
  ClipboardDoc = std::make_unique<TINIFileQuick>(LocalFile("clipboard.ini"));
  Scene = std::make_unique<ZButtonList>();
  TemplateLibrary = std::make_unique<ZButtonList>();
  MouseIsDown = UpdatingControls = false;
  DragHandle = hcNone;
  ProjectFileName.clear();
  BandRect = PrevBandRect = TRect(0, 0, 0, 0);
  Scene->Page->SetSize(800, 1024);
  PaintBox->SetSurfaceSize(800, 1024);
  PanelScene->setFixedSize(800, 1024);
  if (!DirtyRegion) RegionSet(DirtyRegion, 0, 0, 800, 1024);

  // The window starts maximised unless its saved place says otherwise. Its normal place is
  // the screen's free area too: without a window manager (a bare X server) nothing would
  // carry out the maximising.
  // A window maximised and made normal again before it is first shown would come up with
  // its frame above the place it was given (the toolkit then takes the place for the inside
  // of the window), so it is maximised only when no other state is saved.
  if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->availableGeometry());
  const TIniFile& settings = INIFileSettings();
  if (!settings.ValueExists(Name(), "WindowState") ||
      settings.ReadInteger(Name(), "WindowState", wsMaximized) == wsMaximized)
    setWindowState(Qt::WindowMaximized);
  FormCreate();
}

TFormMain::~TFormMain() {
  if (!FProjectLock.empty()) ReleaseOpenFileLock(FProjectLock);
  // The tool bars' boxes go after this window's own part has ended; what they signal while
  // they go (a focus leaving, an edit finished) must not reach a window that is no longer one.
  for (QObject* box : {static_cast<QObject*>(ComboFontName), static_cast<QObject*>(ComboFontSize),
                       static_cast<QObject*>(EditURL)}) {
    if (!box) continue;
    box->disconnect(this);
    if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit())
      combo->lineEdit()->disconnect(this);
  }
  // The dock sites ask this window about its docks while docks come and go; they end first,
  // so that nothing asks the window once it has begun to go.
  delete DockSites;
  DockSites = nullptr;
  qApp->removeEventFilter(this);
  FormDestroy();
  // The clipboard and the undo snapshot live for one run: they are never written back.
  if (ClipboardDoc) ClipboardDoc->Modified = false;
  RegionClear(DirtyRegion);
  if (MainForm() == this) MainForm() = nullptr;
  if (FormMain == this) FormMain = nullptr;
}

void TFormMain::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu");

  MIFile = AddMenu(bar->addMenu("&File"), "MIFile", H(MIFileClick));
  MINewProject = AddItem(MIFile, "MINewProject", "&New Project...", H(MINewProjectClick));
  MIOpenProject = AddItem(MIFile, "MIOpenProject", "&Open Project...", H(MIOpenProjectClick));
  MISave = AddItem(MIFile, "MISave", "&Save", H(MISaveClick));
  MISaveAs = AddItem(MIFile, "MISaveAs", "Save &As...", H(SaveFileClick));
  MIFile->addSeparator();
  MIPreviewInBrowser =
      AddItem(MIFile, "MIPreviewInBrowser", "Preview in Browser...", H(MIPreviewInBrowserClick));
  MIExportImage = AddItem(MIFile, "MIExportImage", "Export Image...", H(ExportImageClick));
  MISelectScanner = AddItem(MIFile, "MISelectScanner", "Select Scanner...", nullptr, nullptr);
  MISelectScanner->setVisible(false);
  MIFile->addSeparator();
  MIHTMLPageBuilder = AddItem(MIFile, "MIHTMLPageBuilder", "HTML Page Builder...", H(MIHTMLPageBuilderClick));
  MIEditHTMLHeader = AddItem(MIFile, "MIEditHTMLHeader", "Edit HTML Header...", H(MIEditHTMLHeaderClick));
  MIFile->addSeparator();
  MIPageSetup = AddItem(MIFile, "MIPageSetup", "Page Setup...", H(MIPageSetupClick));
  MIPrint = AddItem(MIFile, "MIPrint", "Print", H(MIPrintClick));
  MIFile->addSeparator();
  MIUpgrade = AddItem(MIFile, "MIUpgrade", "Upgrade...", H(MIUpgradeClick));
  MIFile->addSeparator();
  MIExit = AddItem(MIFile, "MIExit", "Exit", H(MIExitClick));
  for (int i = 0; i < 5; ++i) {
    std::string name = "Recent" + std::to_string(i + 1);
    Recent[i] = AddItem(MIFile, name.c_str(), "Recent", H(Recent1Click));
    Recent[i]->setVisible(false);
  }

  // The desktop's standard keys for the file commands; none of them is a key of the page.
  SetStandardKeys(MINewProject, QKeySequence::New, "Ctrl+N");
  SetStandardKeys(MIOpenProject, QKeySequence::Open, "Ctrl+O");
  SetStandardKeys(MISave, QKeySequence::Save, "Ctrl+S");
  SetStandardKeys(MISaveAs, QKeySequence::SaveAs, "Ctrl+Shift+S");
  SetStandardKeys(MIPrint, QKeySequence::Print, "Ctrl+P");
  SetStandardKeys(MIExit, QKeySequence::Quit, "Ctrl+Q");

  MIEdit = AddMenu(bar->addMenu("&Edit"), "MIEdit", H(MIEditClick));
  MIUndo = AddItem(MIEdit, "MIUndo", "&Undo", H(MIUndoClick));
  MIEdit->addSeparator();
  MICut = AddItem(MIEdit, "MICut", "Cu&t", H(MICutClick));
  MICopy = AddItem(MIEdit, "MICopy", "&Copy", H(MICopyClick));
  MIPaste = AddItem(MIEdit, "MIPaste", "&Paste", H(MIPasteClick));
  MIDuplicate = AddItem(MIEdit, "MIDuplicate", "Duplicate", H(MenuItemDuplicate1Click));
  MIDuplicate->setVisible(false);
  MIDelete = AddItem(MIEdit, "MIDelete", "Delete", H(MenuItemDelete1Click));
  MIEdit->addSeparator();
  MIBringToFront = AddItem(MIEdit, "MIBringToFront", "Bring to &Front", H(MenuItemBringToFront1Click));
  MISendToBack = AddItem(MIEdit, "MISendToBack", "Send to &Back", H(MenuItemSendToBack1Click));
  MIEdit->addSeparator();
  MISelectAll = AddItem(MIEdit, "MISelectAll", "Select &All", H(MISelectAllClick));
  MISelectNone = AddItem(MIEdit, "MISelectNone", "Select &None", H(MISelectNoneClick));
  MISelectInvert = AddItem(MIEdit, "MISelectInvert", "Select &Invert", H(MISelectInvertClick));
  MIEdit->addSeparator();
  MIGroup = AddItem(MIEdit, "MIGroup", "Group", H(MIGroupClick));
  MIUngroup = AddItem(MIEdit, "MIUngroup", "Ungroup", H(MIUngroupClick));
  // The page's shortcuts, as the page having the focus sets them; the editing surface
  // switches them off while a text control has the focus.
  ScrollBoxEnter(nullptr);
  // The Edit menu's items are enabled when it opens; its keys see the same rules.
  MenuShortcutsFollowOpenHandler(MIEdit);

  MIOptions = AddMenu(bar->addMenu("&Options"), "MIOptions", H(MIOptionsClick));
  MIChangeFont = AddItem(MIOptions, "MIChangeFont", "Change Font...", H(MenuItemChangeFont1Click));
  MIButtonResize = AddItem(MIOptions, "MIButtonResize", "Button Resize...", H(MIButtonResizeClick));
  MIOptions->addSeparator();
  MenuItemAlignToGrid2 =
      AddItem(MIOptions, "MenuItemAlignToGrid2", "Align to &Grid", H(MenuItemAlignToGrid1Click));
  MenuItemSnapToGrid = AddItem(MIOptions, "MenuItemSnapToGrid", "Snap to Grid", H(MenuItemSnapToGridClick));
  MenuItemSnapToGrid->setCheckable(true);
  MenuItemSnapToGrid->setChecked(true);
  MenuItemSetGridSize =
      AddItem(MIOptions, "MenuItemSetGridSize", "Set Grid Size...", H(MenuItemSetGridSizeClick));
  MIOptions->addSeparator();
  MISetBackgroundColor =
      AddItem(MIOptions, "MISetBackgroundColor", "Set Background Color...", H(MISetBackgroundColorClick));
  MISetPageSize = AddItem(MIOptions, "MISetPageSize", "Set Page Size...", H(MISetPageSizeClick));

  MIWindow = AddMenu(bar->addMenu("&Window"), "MIWindow", H(MIWindowClick));
  TBShowLibrary = AddItem(MIWindow, "TBShowLibrary", "Show &Library", H(TBShowLibraryClick));
  TBShowTools = AddItem(MIWindow, "TBShowTools", "Show &Properties", H(TBShowToolsClick));
  TBShowLibrary->setCheckable(true);
  TBShowTools->setCheckable(true);

  MIInsert = bar->addMenu("&Insert");
  MIInsert->setObjectName("MIInsert");
  TBNewButton = AddItem(MIInsert, "TBNewButton", "New Button", H(PopNewButtonClick));
  TBNewText = AddItem(MIInsert, "TBNewText", "New Text", H(PopNewTextClick));
  TBNewFrame = AddItem(MIInsert, "TBNewFrame", "New Frame", H(PopNewFrameClick));
  MIInsert->addSeparator();
  TBInsertPicture = AddItem(MIInsert, "TBInsertPicture", "&Image...", H(TBInsertPictureClick));
  TBInsertHTMLSnippet =
      AddItem(MIInsert, "TBInsertHTMLSnippet", "&HTML Snippet", H(TBInsertHTMLSnippetClick));
  TBInsertExternalHTMLFile = AddItem(MIInsert, "TBInsertExternalHTMLFile", "External HTML File...",
                                     H(TBInsertExternalHTMLFileClick));
  ExternalImageFile1 =
      AddItem(MIInsert, "ExternalImageFile1", "External Image File...", H(ExternalImageFile1Click));

  MIHelp = bar->addMenu("&Help");
  MIHelp->setObjectName("MIHelp");
  TBAbout = AddItem(MIHelp, "TBAbout", "&About...", H(TBAboutClick));
  MIHelp->addSeparator();
  TBHomePage = AddItem(MIHelp, "TBHomePage", "Varnholt Software... (Online)", H(TBHomePageClick));
  TBManual = AddItem(MIHelp, "TBManual", "User Manual... (Online)", H(TBManualClick));
  SetStandardKeys(TBManual, QKeySequence::HelpContents, "F1");
  MIHelp->addSeparator();
  TBTipoftheDay = AddItem(MIHelp, "TBTipoftheDay", "&Tip of the Day...", H(TBTipoftheDayClick));

  // The page's context menu.
  PopupMenu1 = AddMenu(new QMenu(this), "PopupMenu1", H(PopupMenu1Popup));
  PopNewButton = AddItem(PopupMenu1, "PopNewButton", "New Button", H(PopNewButtonClick));
  PopNewText = AddItem(PopupMenu1, "PopNewText", "New Text", H(PopNewTextClick));
  PopNewFrame = AddItem(PopupMenu1, "PopNewFrame", "New Frame", H(PopNewFrameClick));
  PopupMenu1->addSeparator();
  MenuItemAlignToGrid1 =
      AddItem(PopupMenu1, "MenuItemAlignToGrid1", "Align to Grid", H(MenuItemAlignToGrid1Click));
  MenuItemBringToFront1 =
      AddItem(PopupMenu1, "MenuItemBringToFront1", "Bring to Front", H(MenuItemBringToFront1Click));
  MenuItemSendToBack1 =
      AddItem(PopupMenu1, "MenuItemSendToBack1", "Send to Back", H(MenuItemSendToBack1Click));
  MenuItemDuplicate1 = AddItem(PopupMenu1, "MenuItemDuplicate1", "Duplicate", H(MenuItemDuplicate1Click));
  MenuItemCut1 = AddItem(PopupMenu1, "MenuItemCut1", "Cut", H(MICutClick));
  MenuItemCopy1 = AddItem(PopupMenu1, "MenuItemCopy1", "Copy", H(MICopyClick));
  MenuItemPaste1 = AddItem(PopupMenu1, "MenuItemPaste1", "Paste", H(MIPasteClick));
  MenuItemDelete1 = AddItem(PopupMenu1, "MenuItemDelete1", "Delete", H(MenuItemDelete1Click));
  MenuItemSelectAll1 = AddItem(PopupMenu1, "MenuItemSelectAll1", "Select All", H(MISelectAllClick));
  PopupMenu1->addSeparator();
  MenuItemProperties1 =
      AddItem(PopupMenu1, "MenuItemProperties1", "Properties...", H(MenuItemProperties1Click));
  PopupMenu1->setDefaultAction(MenuItemProperties1);
  for (QAction* a : {MenuItemAlignToGrid1, MenuItemBringToFront1, MenuItemSendToBack1, MenuItemDuplicate1,
                     MenuItemDelete1})
    a->setEnabled(false);

  // The memo's context menu runs the memo's own commands (the memo exists later).
  PopupMenuMemo = new QMenu(this);
  PopupMenuMemo->setObjectName("PopupMenuMemo");
  MemoUndo1 = AddItem(PopupMenuMemo, "MemoUndo1", "Undo", nullptr, nullptr);
  PopupMenuMemo->addSeparator();
  MemoCut1 = AddItem(PopupMenuMemo, "MemoCut1", "Cut", nullptr, nullptr);
  MemoCopy1 = AddItem(PopupMenuMemo, "MemoCopy1", "Copy", nullptr, nullptr);
  MemoPaste1 = AddItem(PopupMenuMemo, "MemoPaste1", "Paste", nullptr, nullptr);
  PopupMenuMemo->addSeparator();
  MemoSelectAll1 = AddItem(PopupMenuMemo, "MemoSelectAll1", "Select All", nullptr, nullptr);
}

void TFormMain::CreateToolBars() {
  ToolBar1 = new QToolBar("ToolBar1", this);
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->setMovable(false);
  addToolBar(Qt::TopToolBarArea, ToolBar1);
  ToolButtonNew =
      AddTool(ToolBar1, "ToolButtonNew", "Start a New Document", PageIcon(false), H(MINewProjectClick));
  ToolButtonOpen =
      AddTool(ToolBar1, "ToolButtonOpen", "Open New Project", FolderIcon(), H(MIOpenProjectClick));
  ToolButtonSave = AddTool(ToolBar1, "ToolButtonSave", "Save Current Project", DiskIcon(), H(SaveFileClick));
  ToolButtonPreview =
      AddTool(ToolBar1, "ToolButtonPreview", "Preview in Browser", GlobeIcon(), H(MIPreviewInBrowserClick));
  ToolButtonBackground = AddTool(ToolBar1, "ToolButtonBackground", "Set Background Color",
                                 SwatchIcon(QColor(96, 96, 255), false), H(MISetBackgroundColorClick));
  ToolBar1->addSeparator();
  ToolButtonCut = AddTool(ToolBar1, "ToolButtonCut", "Cut To Clipboard", ScissorsIcon(), H(MICutClick));
  ToolButtonCopy =
      AddTool(ToolBar1, "ToolButtonCopy", "Copy To Clipboard", SheetsIcon(false), H(MICopyClick));
  ToolButtonPaste =
      AddTool(ToolBar1, "ToolButtonPaste", "Paste From Clipboard", SheetsIcon(true), H(MIPasteClick));
  ToolButtonDelete =
      AddTool(ToolBar1, "ToolButtonDelete", "Delete Buttons", DeleteIcon(), H(MenuItemDelete1Click));
  ToolBar1->addSeparator();
  ToolButtonSendToBack = AddTool(ToolBar1, "ToolButtonSendToBack", "Send To Back", OrderIcon(false),
                                 H(MenuItemSendToBack1Click));
  ToolButtonBringToFront = AddTool(ToolBar1, "ToolButtonBringToFront", "Bring To Front", OrderIcon(true),
                                   H(MenuItemBringToFront1Click));
  ToolBar1->addSeparator();
  ComboFontName = new QComboBox(ToolBar1);
  ComboFontName->setObjectName("ComboFontName");
  ComboFontName->setEditable(true);
  ComboFontName->setInsertPolicy(QComboBox::NoInsert);
  ComboFontName->setMinimumContentsLength(18);
  ComboFontName->setToolTip("Font Name");
  ComboFontName->setStatusTip("Font Name");
  ToolBar1->addWidget(ComboFontName);
  ComboFontSize = new QComboBox(ToolBar1);
  ComboFontSize->setObjectName("ComboFontSize");
  ComboFontSize->setEditable(true);
  ComboFontSize->setInsertPolicy(QComboBox::NoInsert);
  ComboFontSize->setMinimumContentsLength(3);
  ComboFontSize->setToolTip("Font Size");
  ComboFontSize->setStatusTip("Font Size");
  ToolBar1->addWidget(ComboFontSize);
  // Only what the user chooses or types changes the styles, not what the program puts in.
  OnUserChange(ComboFontName, [this] { ComboFontNameChange(ComboFontName); });
  connect(ComboFontName, &QComboBox::editTextChanged, this, [this] { ComboFontNameMarkReplaced(); });
  OnUserChange(ComboFontSize, [this] { ComboFontSizeChange(ComboFontSize); });
  // An edit of a box ends when it is left or confirmed, and a choice from its list is one.
  for (QComboBox* box : {ComboFontName, ComboFontSize}) {
    connect(box, &QComboBox::activated, this, [this] { EndEditRun(); });
    connect(box->lineEdit(), &QLineEdit::editingFinished, this, [this] { EndEditRun(); });
  }

  addToolBarBreak(Qt::TopToolBarArea);
  ToolBar2 = new QToolBar("ToolBar2", this);
  ToolBar2->setObjectName("ToolBar2");
  ToolBar2->setIconSize(QSize(16, 16));
  ToolBar2->setMovable(false);
  addToolBar(Qt::TopToolBarArea, ToolBar2);
  ToolButtonBold = AddTool(ToolBar2, "ToolButtonBold", "Bold Text",
                           LetterIcon("B", true, false, false, false), H(ButtonBoldTextClick));
  ToolButtonItalic = AddTool(ToolBar2, "ToolButtonItalic", "Italic Text",
                             LetterIcon("I", false, true, false, false), H(ButtonItalicTextClick));
  ToolButtonUnderlined = AddTool(ToolBar2, "ToolButtonUnderlined", "Underlined Text",
                                 LetterIcon("U", false, false, true, false), H(ButtonUnderlinedTextClick));
  ToolButtonStrikeOut = AddTool(ToolBar2, "ToolButtonStrikeOut", "Strikeout Text",
                                LetterIcon("S", false, false, false, true), H(ButtonStrikeOutTextClick));
  for (QAction* a : {ToolButtonBold, ToolButtonItalic, ToolButtonUnderlined, ToolButtonStrikeOut})
    a->setCheckable(true);
  ToolBar2->addSeparator();
  ToolButtonLeft =
      AddTool(ToolBar2, "ToolButtonLeft", "Text Align Left", AlignIcon(0), H(ButtonAlignLeftClick));
  ToolButtonCentre =
      AddTool(ToolBar2, "ToolButtonCentre", "Text Align Centre", AlignIcon(2), H(ButtonAlignCnterClick));
  ToolButtonRight =
      AddTool(ToolBar2, "ToolButtonRight", "Text Align Right", AlignIcon(1), H(ButtonAlignRightClick));
  AlignmentGroup = new QActionGroup(this);
  AlignmentGroup->setObjectName("AlignmentGroup");
  AlignmentGroup->setExclusive(true);
  for (QAction* a : {ToolButtonLeft, ToolButtonCentre, ToolButtonRight}) {
    a->setCheckable(true);
    AlignmentGroup->addAction(a);
  }
  // A new object's text is centred.
  ToolButtonCentre->setChecked(true);
  ToolBar2->addSeparator();
  ToolButtonChangeFont =
      AddTool(ToolBar2, "ToolButtonChangeFont", "Change Font", FontIcon(), H(MenuItemChangeFont1Click));
  ToolButtonTextColor = AddTool(ToolBar2, "ToolButtonTextColor", "Change Text Colour",
                                SwatchIcon(QColor(200, 0, 0), true), H(PanelColor10DblClick));
  ToolBar2->addSeparator();
  LabelLinkAddress = new QLabel(" Link Address: ", ToolBar2);
  LabelLinkAddress->setObjectName("LabelLinkAddress");
  ToolBar2->addWidget(LabelLinkAddress);
  EditURL = new QLineEdit(ToolBar2);
  EditURL->setObjectName("EditURL");
  EditURL->setToolTip("Link Address");
  EditURL->setStatusTip("Link Address");
  EditURL->setMinimumWidth(260);
  EditURL->setMaximumWidth(420);
  ToolBar2->addWidget(EditURL);
  // Typing changes the link; the program's own setText (the control synchronisation) does
  // not reach the handler.
  OnUserChange(EditURL, [this] { LinkAddressChange(EditURL); });
  connect(EditURL, &QLineEdit::editingFinished, this, [this] { EndEditRun(); });
}

void TFormMain::CreateClientArea() {
  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  PageControl->setDocumentMode(true);
  setCentralWidget(PageControl);

  TabSheetScene = new QWidget;
  TabSheetScene->setObjectName("TabSheetScene");
  auto* sceneLayout = new QVBoxLayout(TabSheetScene);
  sceneLayout->setContentsMargins(0, 0, 0, 0);
  ScrollBox = new QScrollArea(TabSheetScene);
  ScrollBox->setObjectName("ScrollBox");
  ScrollBox->setFocusPolicy(Qt::StrongFocus);
  ScrollBox->setFrameShape(QFrame::NoFrame);
  {
    QPalette pal = ScrollBox->palette();
    pal.setColor(QPalette::Window, TColorToQColor(clBtnShadow));
    ScrollBox->setPalette(pal);
    ScrollBox->setBackgroundRole(QPalette::Window);
    ScrollBox->setAutoFillBackground(true);
  }
  // A page smaller than the view stays in its middle; a larger one scrolls.
  ScrollBox->setAlignment(Qt::AlignCenter);
  ScrollBox->setWidgetResizable(false);
  sceneLayout->addWidget(ScrollBox);

  PanelScene = new QWidget;
  PanelScene->setObjectName("PanelScene");
  {
    QPalette pal = PanelScene->palette();
    pal.setColor(QPalette::Window, Qt::black);
    PanelScene->setPalette(pal);
    PanelScene->setAutoFillBackground(true);
  }
  PaintBox = new TQtPaintBox(PanelScene);
  PaintBox->setObjectName("PaintBox");
  PaintBox->move(0, 0);
  PaintBox->SetPopupMenu(PopupMenu1);
  connect(PaintBox, &TQtPaintBox::MouseDown, this,
          [this](TMouseButton b, TShiftState s, int x, int y) { PaintBoxMouseDown(PaintBox, b, s, x, y); });
  connect(PaintBox, &TQtPaintBox::MouseMove, this,
          [this](TShiftState s, int x, int y) { PaintBoxMouseMove(PaintBox, s, x, y); });
  connect(PaintBox, &TQtPaintBox::MouseUp, this,
          [this](TMouseButton b, TShiftState s, int x, int y) { PaintBoxMouseUp(PaintBox, b, s, x, y); });
  connect(PaintBox, &TQtPaintBox::DblClick, this, [this] { PaintBoxDblClick(PaintBox); });
  connect(PaintBox, &TQtPaintBox::DragOver, this, [this](QObject* source, int x, int y, bool& accept) {
    PaintBoxDragOver(PaintBox, source, x, y, accept);
  });
  connect(PaintBox, &TQtPaintBox::DragDrop, this,
          [this](QObject* source, int x, int y) { PaintBoxDragDrop(PaintBox, source, x, y); });

  PanelMousePos = new QWidget(PanelScene);
  PanelMousePos->setObjectName("PanelMousePos");
  PanelMousePos->setGeometry(0, 0, 17, 17);
  PanelMousePos->hide();

  PanelMemo = new QWidget(PanelScene);
  PanelMemo->setObjectName("PanelMemo");
  {
    QPalette pal = PanelMemo->palette();
    pal.setColor(QPalette::Window, TColorToQColor(clWindow));
    PanelMemo->setPalette(pal);
    PanelMemo->setAutoFillBackground(true);
  }
  PanelMemo->setGeometry(0, 0, 0, 0);
  PanelMemo->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(PanelMemo, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { PopupMenuMemo->popup(PanelMemo->mapToGlobal(p)); });
  Memo = new QTextEdit(PanelScene);
  Memo->setObjectName("Memo");
  Memo->setFrameShape(QFrame::NoFrame);
  Memo->setAcceptRichText(false);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo->setGeometry(0, 0, 0, 0);
  Memo->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Memo, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { PopupMenuMemo->popup(Memo->mapToGlobal(p)); });
  connect(Memo, &QTextEdit::textChanged, this, [this] { MemoChange(Memo); });
  connect(MemoUndo1, &QAction::triggered, Memo, &QTextEdit::undo);
  connect(MemoCut1, &QAction::triggered, Memo, &QTextEdit::cut);
  connect(MemoCopy1, &QAction::triggered, Memo, &QTextEdit::copy);
  connect(MemoPaste1, &QAction::triggered, Memo, &QTextEdit::paste);
  connect(MemoSelectAll1, &QAction::triggered, Memo, &QTextEdit::selectAll);

  ScrollBox->setWidget(PanelScene);
  // The scroll box's and the memo's events reach eventFilter through the application-wide
  // filter; a filter of their own as well would run every handler twice.
  PageControl->addTab(TabSheetScene, "Editor");

  TabSheetServices = new QWidget;
  TabSheetServices->setObjectName("TabSheetServices");
  auto* servicesLayout = new QVBoxLayout(TabSheetServices);
  servicesLayout->setContentsMargins(0, 0, 0, 0);
  servicesLayout->setSpacing(0);
  WebBrowser = new QWidget(TabSheetServices);
  WebBrowser->setObjectName("WebBrowser");
  WebBrowser->setLayout(new QVBoxLayout);
  WebBrowser->layout()->setContentsMargins(0, 0, 0, 0);
  servicesLayout->addWidget(WebBrowser, 1);
  StatusBarWebBrowser = new QStatusBar(TabSheetServices);
  StatusBarWebBrowser->setObjectName("StatusBarWebBrowser");
  StatusBarWebBrowser->setSizeGripEnabled(false);
  servicesLayout->addWidget(StatusBarWebBrowser);
  PageControl->addTab(TabSheetServices, "Services");
  connect(PageControl, &QTabWidget::currentChanged, this, [this](int index) {
    if (PageControl->widget(index) == TabSheetServices) TabSheetServicesShow(TabSheetServices);
  });
}

// --- The window's place ---

void TFormMain::SetBounds(int left, int top, int width, int height) {
  QScreen* primary = QGuiApplication::primaryScreen();
  QRect want(left, top, std::max(width, minimumWidth()), std::max(height, 1));
  // A window that keeps at least this much of its title area on some screen can be
  // grabbed and moved; anything less counts as off the screens.
  const int kGrip = 48;
  bool visible = false;
  for (QScreen* s : QGuiApplication::screens()) {
    QRect inter = s->availableGeometry().intersected(QRect(want.left(), want.top(), want.width(), kGrip));
    if (inter.width() >= kGrip && inter.height() >= std::min(kGrip, want.height())) visible = true;
  }
  // Off the screens, it comes back onto the screen it was nearest to (else the primary one),
  // moved only as far as it takes to lie inside its free area.
  if (!visible && primary) {
    QScreen* screen = QGuiApplication::screenAt(want.center());
    if (!screen) screen = primary;
    QRect avail = screen->availableGeometry();
    want.setWidth(std::min(want.width(), avail.width()));
    want.setHeight(std::min(want.height(), avail.height()));
    want.moveLeft(std::clamp(want.left(), avail.left(), avail.right() + 1 - want.width()));
    want.moveTop(std::clamp(want.top(), avail.top(), avail.bottom() + 1 - want.height()));
    // The frame (borders, title bar) is not known before the window is mapped; it is put
    // inside as well once it is (KeepFrameInside).
    FKeepInside = avail;
  } else {
    FKeepInside = QRect();
  }
  move(want.topLeft());
  resize(want.size());
}

void TFormMain::KeepFrameInside() {
  if (FKeepInside.isNull() || windowState() != Qt::WindowNoState) return;
  // The frame is known when it differs from the client area; until then nothing is moved.
  const QRect frame = frameGeometry(), client = geometry();
  if (frame == client) return;
  const QRect avail = FKeepInside;
  FKeepInside = QRect();
  // A frame larger than the free area gives up the difference from the client area.
  const int cutW = std::max(0, frame.width() - avail.width()),
            cutH = std::max(0, frame.height() - avail.height());
  if (cutW || cutH)
    resize(std::max(client.width() - cutW, minimumWidth()), std::max(client.height() - cutH, 1));
  QRect r(frame.topLeft(), QSize(frame.width() - cutW, frame.height() - cutH));
  r.moveLeft(std::clamp(r.left(), avail.left(), avail.right() + 1 - r.width()));
  r.moveTop(std::clamp(r.top(), avail.top(), avail.bottom() + 1 - r.height()));
  if (r.topLeft() != frame.topLeft()) move(r.topLeft());
}

void TFormMain::SetWindowState(TWindowState state) {
  setWindowState(state == wsMaximized ? Qt::WindowMaximized : Qt::WindowNoState);
}

// --- Life cycle ---

void TFormMain::FormCreate() {
  InnoCreateMutex();
  MainForm() = this;
  FormLoadPosition(*this, INIFileSettings());
  OpenDialog()->Filter = kFilterZLM;
  SaveDialog()->Filter = kFilterZLM;
  SaveDialog()->DefaultExt = "zlm";
}

void TFormMain::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (!FKeepInside.isNull()) {
    // The window manager tells the frame's size some time after the window is mapped, with
    // no event of its own: it is looked at a few times a second for a short while.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this, watch, looks = 0]() mutable {
      KeepFrameInside();
      if (FKeepInside.isNull() || ++looks >= 60) {
        FKeepInside = QRect();
        watch->stop();
        watch->deleteLater();
      }
    });
    watch->start(50);
  }
  if (!FStarted) FormShow();
}

void TFormMain::ComboFontNameMarkReplaced() {
  const std::string name = ComboFontName->currentText().toStdString();
  std::string drawnIn;
  if (!Trim(name).empty() && ComboFontName->findText(Q(name), Qt::MatchFixedString) < 0) {
    try {
      drawnIn = MatchFont(name, false, false).Family;
    } catch (const std::exception&) { drawnIn = "no installed face"; }
    if (SameText(drawnIn, name)) drawnIn.clear();
  }
  QLineEdit* edit = ComboFontName->lineEdit();
  if (!edit) return;
  QFont f = ComboFontName->font();
  f.setItalic(!drawnIn.empty());
  edit->setFont(f);
  // The box keeps its hint; the text it shows says what stands in for it.
  const QString note =
      drawnIn.empty() ? QString() : Q(name + " is not installed; it is drawn in " + drawnIn + ".");
  edit->setToolTip(note);
  edit->setStatusTip(note.isEmpty() ? ComboFontName->statusTip() : note);
}

void TFormMain::FormShow() {
  if (FStarted) return;
  FStarted = true;
  StartProblems.clear();

  // 1, 2: the program's folder and the file association.
  if (!ChangeToProgramFolder())
    StartProblems.push_back("The program folder could not be made the current folder.");
  try {
    RegisterFileType(".zlm", TranslatedProductName() + " Project");
  } catch (const std::exception& ex) {
    StartProblems.push_back(std::string("The project files could not be associated with the program: ") +
                            ex.what());
  }

  // 3: the font boxes.
  ComboFontName->clear();
  for (const auto& f : InstalledFontFamilies()) ComboFontName->addItem(Q(f));
  // The face new objects name, shown by name (and marked as replaced) where no installed
  // family has that name.
  ComboFontName->setCurrentIndex(ComboFontName->findText("Times New Roman"));
  if (ComboFontName->currentIndex() < 0) ComboFontName->setEditText("Times New Roman");
  ComboFontNameMarkReplaced();
  ComboFontSize->clear();
  for (const char* s : {"6", "7", "8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24", "26", "28",
                        "36", "48", "72"})
    ComboFontSize->addItem(s);
  ComboFontSize->setCurrentIndex(ComboFontSize->findText("11"));

  // 4: the splash window, held up by the start itself rather than its timer. A picture that
  // cannot be shown is worth telling, not worth a box of its own.
  std::string splashProblem;
  // The work of the start reaches the splash's bar: the first drawing of the page above all.
  std::optional<TSplashWaitRelay> splashProgress;
  if (FormSplash) {
    splashProgress.emplace(FormSplash);
    FormSplash->show();
    FormSplash->Timer->stop();
    FormSplash->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!FormSplash->LoadError.empty())
      splashProblem = "The start-up picture could not be shown: " + FormSplash->LoadError;
  }

  // 5: the start project: the one argument, or the last project, or the splash page.
  TIniFile& settings = INIFileSettings();
  std::string name = settings.ReadString("Settings", "DefaultProject", "");
  const bool named = CommandLine.size() == 1;
  if (named) name = CommandLine[0];
  // A project the user names that does not exist yet is a new page under that name, as in
  // an editor; the last project or the start page stands in only for one not named.
  const bool fresh = named && !FileStampOf(name).Exists;
  if (!named && (name.empty() || !FileExists(name))) name = LocalFile(StartProjectName);
  bool loaded = false;
  std::string startNote;
  if (fresh) {
    Scene->Clear();
    Scene->BGColor = 0xFF6060;
    ApplyPageSize(640, 480);
    ProjectFileName = name;
    ProjectFileStamp = TFileStamp();
    ChangeCount = 0;
    FormActivate();
    loaded = true;
    startNote = name + " does not exist yet: a new page was started under that name.";
  } else if (!FileStampOf(name).Exists) {
    StartProblems.push_back("The start-up project " + name + " was not found.");
  } else {
    try {
      // An unreadable file is reported, not opened as empty. Only opened here: the load reads
      // it, and refuses one larger than any project first.
      int64_t size = 0;
      ::close(OpenRegularFile(name, size));
      LoadProject(name, false);
      loaded = true;
      if (std::string told = OpenedProjectText(); !told.empty()) StartProblems.push_back(told);
    } catch (const std::exception& ex) {
      StartProblems.push_back("The project " + name + " could not be opened: " + ex.what());
    }
  }
  if (loaded) {
    if (const int pid = ProjectOpenElsewhere(name))
      StartProblems.push_back(ProjectOpenElsewhereText(name, pid));
  }
  if (!loaded) {
    // The page stays empty and unnamed, so that no save writes over the file that failed.
    ProjectFileName.clear();
    ChangeCount = 0;
    FormActivate();
  }

  // Work that was unsaved when an earlier run was ended from outside comes back first.
  OfferRecovery();

  // 6: the template library.
  std::string library = settings.ReadString("Settings", "DefaultLibrary", "");
  if (!library.empty() && !IsPathDelimiter(library[0])) library = LocalFile(library);
  try {
    if (!library.empty() && !FileExists(library))
      StartProblems.push_back("The template library " + library + " was not found.");
    else if (!library.empty()) ReadFileBytes(library);
    LoadTemplateLibrary(library);
  } catch (const std::exception& ex) {
    StartProblems.push_back("The template library " + library + " could not be opened: " + ex.what());
  }

  // 7: the page, rendered once: the load has rendered the project it opened.
  if (!loaded) RedrawScene(true);
  SelectButton(static_cast<TZLMButton*>(Scene->Current), true);

  // 8: the splash goes.
  splashProgress.reset();
  if (FormSplash) FormSplash->hide();

  // 9, 10: the tips and the library window.
  if (QWidget* tips = TopLevelForm("FormTipOfTheDay")) {
    if (auto* box = tips->findChild<QWidget*>("CheckBoxShow"); box && box->property("checked").toBool())
      tips->show();
  }
  if (QDockWidget* lib = LibraryWindow()) DockSites->ManualDock(lib, PanelDockSite2);
  if (QDockWidget* tools = ToolsWindow()) DockSites->Add(tools);

  const bool grave = !StartProblems.empty();
  if (!splashProblem.empty()) StartProblems.push_back(splashProblem);
  if (!StartProblems.empty()) StatusBar->showMessage(Q(StartProblems.front()));
  else if (!startNote.empty()) StatusBar->showMessage(Q(startNote));
  if (grave) QTimer::singleShot(0, this, &TFormMain::ReportStartProblems);
}

void TFormMain::ReportStartProblems() {
  if (StartProblems.empty()) return;
  std::string text;
  for (const auto& p : StartProblems) text += p + "\n";
  Say(TrimRight(text), MB_OK | MB_ICONEXCLAMATION);
}

void TFormMain::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TFormMain::FormActivate() {
  FormSetCaption(*this, ProjectFileName.empty() ? "noname.zlm" : ProjectFileName);
  FollowProjectLock();
}

// Every change of the project's name passes the caption, and so comes here: the lock follows
// the name, so that another copy opening the same file can say so.
void TFormMain::FollowProjectLock() {
  if (ProjectFileName == FProjectLockName) return;
  if (!FProjectLock.empty()) ReleaseOpenFileLock(FProjectLock);
  FProjectLock.clear();
  FProjectLockName = ProjectFileName;
  if (!ProjectFileName.empty()) FProjectLock = HoldOpenFileLock(ProjectFileName);
}

int TFormMain::ProjectOpenElsewhere(const std::string& name) {
  return name.empty() ? 0 : FindOpenFileHolder(name);
}

void TFormMain::closeEvent(QCloseEvent* e) {
  TCloseAction action = caFree;
  FormClose(this, action);
  if (action == caNone) {
    e->ignore();
    return;
  }
  e->accept();
  emit Closed();
}

void TFormMain::FormClose(QObject* Sender, TCloseAction& Action) {
  // The text being typed is part of the page the question is about.
  CommitMemo();
  PageControl->setCurrentWidget(TabSheetScene);
  ScrollBox->setFocus();
  Action = caFree;
  if (ChangeCount != 0) {
    std::string question = ProjectFileName.empty() ? std::string("Save current project?")
                                                   : StringReplaceAll("Save changes to <#filename>?",
                                                                      "<#filename>", ProjectFileName, true);
    switch (Warn(question)) {
      case IDCANCEL: Action = caNone; break;
      case IDYES:
        MISaveClick(nullptr);
        Action = ChangeCount == 0 ? caFree : caNone;
        break;
      default: Action = caFree; break;
    }
  }
  if (Action == caFree) {
    try {
      TIniFile& s = INIFileSettings();
      s.WriteInteger("WindowState", "Left", Left());
      s.WriteInteger("WindowState", "Top", Top());
      s.WriteInteger("WindowState", "Width", Width());
      s.WriteInteger("WindowState", "Height", Height());
      s.WriteInteger("WindowState", "WindowState", WindowState());
    } catch (const std::exception&) {
      // The place is a convenience; a read-only settings file must not keep the window open.
    }
  }
}

void TFormMain::FormDestroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  try {
    FormSavePosition(*this, INIFileSettings());
  } catch (const std::exception&) {}
}

// --- Menus and windows ---

void TFormMain::MIFileClick(QObject*) {
  PageControl->setCurrentWidget(TabSheetScene);
  ScrollBox->setFocus();
  bool present = false;
  try {
    present = InnoUpgrade(true);
  } catch (const std::exception&) {}
  MIUpgrade->setEnabled(present);
}

void TFormMain::MIExitClick(QObject*) { close(); }

void TFormMain::MIOptionsClick(QObject*) {
  if (ScrollBox->isVisible() && ScrollBox->isEnabled()) ScrollBox->setFocus();
  MenuItemSnapToGrid->setChecked(Scene->AlignToGrid);
}

void TFormMain::MIWindowClick(QObject*) {
  QDockWidget* lib = LibraryWindow();
  QDockWidget* tools = ToolsWindow();
  TBShowLibrary->setChecked(lib && lib->isVisible());
  TBShowTools->setChecked(tools && tools->isVisible());
}

// A floating window that was never placed would open where the window system puts a new
// window, the screen's corner over the menus; the first time, it opens beside the page instead:
// right of it, inside the editing area (over the page's right edge when there is no room),
// level with the page's top. Once placed, it comes back where it was left.
static const char* const kPlacedProperty = "PlacedFloating";

void TFormMain::UndockAndToggle(QDockWidget* tool) {
  if (!tool) return;
  DockSites->ManualFloat(tool);
  if (tool->isVisible()) {
    tool->hide();
    return;
  }
  if (!tool->property(kPlacedProperty).toBool()) {
    const int gap = 8;
    const QRect page(PanelScene->mapToGlobal(QPoint(0, 0)), PanelScene->size());
    const QRect area(ScrollBox->viewport()->mapToGlobal(QPoint(0, 0)), ScrollBox->viewport()->size());
    tool->adjustSize();
    const QSize size = tool->frameGeometry().size();
    int x = std::min(page.right() + 1 + gap, area.right() + 1 - gap - size.width());
    int y = std::min(std::max(page.top(), area.top() + gap), area.bottom() + 1 - gap - size.height());
    tool->move(std::max(x, area.left()), std::max(y, area.top()));
    tool->setProperty(kPlacedProperty, true);
  }
  tool->show();
}

void TFormMain::TBShowLibraryClick(QObject*) { UndockAndToggle(LibraryWindow()); }
void TFormMain::TBShowToolsClick(QObject*) { UndockAndToggle(ToolsWindow()); }

void TFormMain::MenuItemProperties1Click(QObject*) {
  QDockWidget* tools = ToolsWindow();
  if (!tools) return;
  DockSites->ManualFloat(tools);
  QRect g = tools->geometry();
  g.moveCenter(QCursor::pos());
  tools->setGeometry(g);
  tools->setProperty(kPlacedProperty, true);
  tools->show();
}

void TFormMain::PopupMenu1Popup(QObject*) {
  QDockWidget* tools = ToolsWindow();
  MenuItemProperties1->setEnabled(!tools || !tools->isVisible());
}

void TFormMain::PanelDockSite2GetSiteInfo(Qt::DockWidgetArea site, QDockWidget* client, bool& canDock) {
  QDockWidget* docked = DockSites->DockClient(site);
  canDock = !docked || docked == client;
}

void TFormMain::ControlBar3BandInfo(int stored, int& value) { value = stored; }
void TFormMain::ControlBar3GetSiteInfo(bool& canDock) { canDock = false; }

// A form of the application by its name; forms are top-level windows or the main
// window's docked children.
static QWidget* TopLevelForm(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == name) return w;
  return FormMain ? FormMain->findChild<QWidget*>(name) : nullptr;
}

QDockWidget* TFormMain::LibraryWindow() const {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "FormLibrary") return qobject_cast<QDockWidget*>(w);
  return findChild<QDockWidget*>("FormLibrary");
}

QDockWidget* TFormMain::ToolsWindow() const {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "FormTools") return qobject_cast<QDockWidget*>(w);
  return findChild<QDockWidget*>("FormTools");
}

void TFormMain::TBAboutClick(QObject*) {
  if (FormAboutBox) FormAboutBox->exec();
}

void TFormMain::TBTipoftheDayClick(QObject*) {
  if (!FormTipOfTheDay) return;
  FormTipOfTheDay->show();
  FormTipOfTheDay->raise();
  FormTipOfTheDay->activateWindow();
}
