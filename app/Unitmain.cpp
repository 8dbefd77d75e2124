#include "app/Unitmain.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

#include "POP/PopFastINI.h"
#include "POP/PopInno.h"
#include "POP/gui/PopControls.h"
#include "POP/gui/PopDialogs.h"
#include "POP/gui/PopMenus.h"
#include "app/AppEnvironment.h"
#include "app/forms/Unitsplash.h"
#include "engine/RegionRect.h"
#include "engine/XRender.h"
#include "platform/Canvas.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "platform/TextRender.h"
#include "platform/WaitIndicator.h"
#include "platform/gui/QtControlEvents.h"
#include "platform/gui/QtImage.h"
#include "platform/gui/QtServices.h"

TFormMain* FormMain = nullptr;
const char* const StartProjectName = "projects/splash.zlm";

// The page areas to repaint; between redraws it holds the whole page.
static TRegionList DirtyRegion = nullptr;
// Set by a double click: the mouse-down that follows it belongs to the double click.
static bool IgnoreNextMouseDown = false;

static const char* const kFilterZLM = "Zelmora Projects (*.zlm)|*.zlm|All Files (*.*)|*.*|";

static QString Q(const std::string& s) { return QString::fromStdString(s); }

// Page sizes that a project file may ask for; larger values are cut to this.
static constexpr int kMaxPageSide = 8192;

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

// --- Tool-bar pictures, drawn here so that the program carries no picture files of
// others. Each is 16 x 16 at the screen's scale.
static QIcon PaintedIcon(const std::function<void(QPainter&)>& draw) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  {
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    draw(p);
  }
  pm.setDevicePixelRatio(2);
  return QIcon(pm);
}

static QIcon LetterIcon(const char* letter, bool bold, bool italic, bool underline, bool strike) {
  return PaintedIcon([=](QPainter& p) {
    QFont f("DejaVu Serif");
    f.setPixelSize(13);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setStrikeOut(strike);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, letter);
  });
}

static QIcon AlignIcon(int alignment) {
  return PaintedIcon([=](QPainter& p) {
    p.setPen(QPen(Qt::black, 1.4));
    const int widths[] = {12, 8, 12, 6};
    for (int i = 0; i < 4; ++i) {
      int w = widths[i];
      double x = alignment == 0 ? 2 : alignment == 1 ? 14 - w : 8 - w / 2.0;
      p.drawLine(QPointF(x, 3.5 + i * 3), QPointF(x + w, 3.5 + i * 3));
    }
  });
}

static QIcon PageIcon(bool folded) {
  return PaintedIcon([=](QPainter& p) {
    QPainterPath path;
    path.moveTo(3.5, 1.5);
    path.lineTo(10, 1.5);
    path.lineTo(13.5, 5);
    path.lineTo(13.5, 14.5);
    path.lineTo(3.5, 14.5);
    path.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.drawLine(QPointF(10, 1.5), QPointF(10, 5));
    p.drawLine(QPointF(10, 5), QPointF(13.5, 5));
    if (folded) {
      p.setPen(QPen(QColor(90, 120, 200), 1));
      for (int i = 0; i < 3; ++i) p.drawLine(QPointF(5.5, 8 + i * 2), QPointF(11.5, 8 + i * 2));
    }
  });
}

static QIcon FolderIcon() {
  return PaintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(140, 100, 20), 1));
    p.setBrush(QColor(240, 200, 90));
    p.drawRect(QRectF(1.5, 4.5, 13, 9));
    p.drawRect(QRectF(1.5, 2.5, 5, 2));
  });
}

static QIcon DiskIcon() {
  return PaintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(30, 40, 90), 1));
    p.setBrush(QColor(70, 90, 170));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(4.5, 9.5, 7, 5));
  });
}

static QIcon GlobeIcon() {
  return PaintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(20, 80, 140), 1));
    p.setBrush(QColor(120, 180, 240));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
  });
}

static QIcon SwatchIcon(QColor c, bool letter) {
  return PaintedIcon([=](QPainter& p) {
    if (letter) {
      QFont f("DejaVu Sans");
      f.setPixelSize(11);
      f.setBold(true);
      p.setFont(f);
      p.setPen(Qt::black);
      p.drawText(QRectF(0, -1, 16, 12), Qt::AlignCenter, "A");
      p.fillRect(QRectF(2, 12, 12, 3), c);
    } else {
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(c);
      p.drawRect(QRectF(2.5, 2.5, 11, 11));
    }
  });
}

static QIcon ScissorsIcon() {
  return PaintedIcon([](QPainter& p) {
    p.setPen(QPen(Qt::black, 1.3));
    p.drawLine(QPointF(4, 2), QPointF(10.5, 10));
    p.drawLine(QPointF(12, 2), QPointF(5.5, 10));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2, 10, 4, 4));
    p.drawEllipse(QRectF(10, 10, 4, 4));
  });
}

static QIcon SheetsIcon(bool clipboard) {
  return PaintedIcon([=](QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 60), 1));
    if (clipboard) {
      p.setBrush(QColor(190, 150, 90));
      p.drawRect(QRectF(2.5, 2.5, 10, 12));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(6.5, 6.5, 8, 8));
      p.setBrush(QColor(120, 120, 120));
      p.drawRect(QRectF(5.5, 1.5, 4, 2));
    } else {
      p.setBrush(Qt::white);
      p.drawRect(QRectF(1.5, 1.5, 8, 10));
      p.drawRect(QRectF(6.5, 4.5, 8, 10));
    }
  });
}

static QIcon DeleteIcon() {
  return PaintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(190, 20, 20), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
  });
}

static QIcon OrderIcon(bool front) {
  return PaintedIcon([=](QPainter& p) {
    QRectF back(1.5, 1.5, 9, 9), fore(5.5, 5.5, 9, 9);
    p.setPen(QPen(Qt::black, 1));
    auto draw = [&](const QRectF& r, QColor c) {
      p.setBrush(c);
      p.drawRect(r);
    };
    if (front) {
      draw(back, QColor(200, 200, 200));
      draw(fore, QColor(90, 140, 230));
    } else {
      draw(fore, QColor(200, 200, 200));
      draw(back, QColor(90, 140, 230));
    }
  });
}

static QIcon FontIcon() {
  return PaintedIcon([](QPainter& p) {
    QFont f("DejaVu Serif");
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(20, 20, 120));
    p.drawText(QRectF(0, 0, 11, 14), Qt::AlignCenter, "A");
    f.setPixelSize(8);
    p.setFont(f);
    p.drawText(QRectF(8, 5, 8, 10), Qt::AlignCenter, "a");
  });
}

// --- Construction ---

// A handler with its name: the name goes on the action as its "handler" property, so the
// wiring can be listed and checked without running every command.
#define H(method) &TFormMain::method, #method

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
  UndoDoc = std::make_unique<TINIFileQuick>(LocalFile("undo.ini"));
  Scene = std::make_unique<ZButtonList>();
  TemplateLibrary = std::make_unique<ZButtonList>();
  MouseIsDown = UpdatingControls = false;
  DragHandle = 0;
  ProjectFileName.clear();
  BandRect = PrevBandRect = TRect(0, 0, 0, 0);
  Scene->Page->SetSize(800, 1024);
  PaintBox->SetSurfaceSize(800, 1024);
  PanelScene->setFixedSize(800, 1024);
  if (!DirtyRegion) RegionSet(DirtyRegion, 0, 0, 800, 1024);

  // The window starts maximised unless its saved place says otherwise. Its normal place is
  // the screen's free area too: without a window manager (a bare X server) nothing would
  // carry out the maximising.
  if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->availableGeometry());
  setWindowState(Qt::WindowMaximized);
  FormCreate();
}

TFormMain::~TFormMain() {
  qApp->removeEventFilter(this);
  FormDestroy();
  // The clipboard and the undo snapshot live for one run: they are never written back.
  if (ClipboardDoc) ClipboardDoc->Modified = false;
  if (UndoDoc) UndoDoc->Modified = false;
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
  // The page's shortcuts; the editing surface switches them off while a text control has
  // the focus.
  MIUndo->setShortcut(QKeySequence("Ctrl+Z"));
  MICut->setShortcut(QKeySequence("Ctrl+X"));
  MICopy->setShortcut(QKeySequence("Ctrl+C"));
  MIPaste->setShortcut(QKeySequence("Ctrl+V"));
  MIDelete->setShortcut(QKeySequence("Del"));
  MISelectAll->setShortcut(QKeySequence("Ctrl+A"));
  MIDuplicate->setShortcut(QKeySequence("Ctrl+D"));
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
  OnUserChange(ComboFontSize, [this] { ComboFontSizeChange(ComboFontSize); });

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
  if (!visible && primary) {
    QRect avail = primary->availableGeometry();
    want.setWidth(std::min(want.width(), avail.width()));
    want.setHeight(std::min(want.height(), avail.height()));
    want.moveCenter(avail.center());
  }
  move(want.topLeft());
  resize(want.size());
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
  if (!FStarted) FormShow();
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
  ComboFontName->setCurrentIndex(ComboFontName->findText("Times New Roman"));
  ComboFontSize->clear();
  for (const char* s : {"6", "7", "8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24", "26", "28",
                        "36", "48", "72"})
    ComboFontSize->addItem(s);
  ComboFontSize->setCurrentIndex(ComboFontSize->findText("11"));

  // 4: the splash window, held up by the start itself rather than its timer.
  if (FormSplash) {
    FormSplash->show();
    FormSplash->Timer->stop();
    FormSplash->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }

  // 5: the start project: the one argument, or the last project, or the splash page.
  TIniFile& settings = INIFileSettings();
  std::string name = settings.ReadString("Settings", "DefaultProject", "");
  if (CommandLine.size() == 1) name = CommandLine[0];
  if (name.empty() || !FileExists(name)) name = LocalFile(StartProjectName);
  bool loaded = false;
  if (!FileExists(name)) {
    StartProblems.push_back("The start-up project " + name + " was not found.");
  } else {
    try {
      ReadFileBytes(name);  // an unreadable file is reported, not opened as empty
      LoadProject(name, false);
      loaded = true;
    } catch (const std::exception& ex) {
      StartProblems.push_back("The project " + name + " could not be opened: " + ex.what());
    }
  }
  if (!loaded) {
    // The page stays empty and unnamed, so that no save writes over the file that failed.
    ProjectFileName.clear();
    ChangeCount = 0;
    FormActivate();
  }

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

  // 7: the page.
  RedrawScene(true);
  SelectButton(static_cast<TZLMButton*>(Scene->Current), true);

  // 8: the splash goes.
  if (FormSplash) FormSplash->hide();

  // 9, 10: the tips and the library window.
  if (QWidget* tips = TopLevelForm("FormTipOfTheDay")) {
    if (auto* box = tips->findChild<QWidget*>("CheckBoxShow"); box && box->property("checked").toBool())
      tips->show();
  }
  if (QDockWidget* lib = LibraryWindow()) DockSites->ManualDock(lib, PanelDockSite2);
  if (QDockWidget* tools = ToolsWindow()) DockSites->Add(tools);

  if (!StartProblems.empty()) {
    StatusBar->showMessage(Q(StartProblems.front()));
    QTimer::singleShot(0, this, &TFormMain::ReportStartProblems);
  }
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
}

void TFormMain::closeEvent(QCloseEvent* e) {
  TCloseAction action = caFree;
  FormClose(this, action);
  if (action == caNone) e->ignore();
  else e->accept();
}

void TFormMain::FormClose(QObject* Sender, TCloseAction& Action) {
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

static void UndockAndToggle(TDockSites* sites, QDockWidget* w) {
  if (!w) return;
  sites->ManualFloat(w);
  w->setVisible(!w->isVisible());
}

void TFormMain::TBShowLibraryClick(QObject*) { UndockAndToggle(DockSites, LibraryWindow()); }
void TFormMain::TBShowToolsClick(QObject*) { UndockAndToggle(DockSites, ToolsWindow()); }

void TFormMain::MenuItemProperties1Click(QObject*) {
  QDockWidget* tools = ToolsWindow();
  if (!tools) return;
  DockSites->ManualFloat(tools);
  QRect g = tools->geometry();
  g.moveCenter(QCursor::pos());
  tools->setGeometry(g);
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

#include "app/forms/Unitaboutbox.h"
#include "app/forms/Unittipoftheday.h"

void TFormMain::TBAboutClick(QObject*) {
  if (FormAboutBox) FormAboutBox->exec();
}

void TFormMain::TBTipoftheDayClick(QObject*) {
  if (!FormTipOfTheDay) return;
  FormTipOfTheDay->show();
  FormTipOfTheDay->raise();
  FormTipOfTheDay->activateWindow();
}

// --- Project files ---

#include <sys/stat.h>

#include <QListWidget>

#include "POP/PopBitmap.h"
#include "POP/PopHTML.h"
#include "POP/PopStrUtils.h"
#include "POP/PopTypes.h"
#include "engine/THTML.h"
#include "engine/TTableMaker.h"
#include "engine/XImageCache.h"

// The question of a file dialog whose own overwrite prompt is switched off, so that it is
// asked about the name that will really be written.
static const char* const kReplaceQuestion = "<#filename> already exists.\nDo you want to replace it?";

// Menu captions treat "&" as the mark of an access key: a file name is shown with each "&"
// doubled, and read back by undoing that and dropping any single marks.
static QString RecentCaption(const std::string& fileName) { return Q(StringReplaceAll(fileName, "&", "&&")); }

static std::string RecentFileName(const QString& caption) {
  std::string text = caption.toStdString(), name;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      name += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '&') {
      name += '&';
      ++i;
    }
  }
  return name;
}

void TFormMain::LoadProject(const std::string& name, bool show) {
  RedrawScene(false);
  TScopedWait wait("Loading " + ExtractFileName(name), show);
  // The whole file is read and parsed before anything of the open page changes: a file that
  // cannot be read, or whose content cannot be read back, raises and leaves the scene and its
  // file name as they were, so no later save can write a half-replaced page over it.
  TINIDocument doc(name);
  doc.LoadFromFile(name);
  int gridX = doc.ReadInteger("Heading", "GridX", 8);
  int gridY = doc.ReadInteger("Heading", "GridY", 8);
  int h = std::clamp(doc.ReadInteger("Heading", "ProjectHeight", 800), 1, kMaxPageSide);
  int w = std::clamp(doc.ReadInteger("Heading", "ProjectWidth", 800), 1, kMaxPageSide);
  Scene->ReplaceFromINI(doc);
  ProjectFileName = name;
  FormActivate();
  Scene->GridX = gridX;
  Scene->GridY = gridY;
  Scene->Page->SetSize(w, h);
  RedrawScene(true);
  PaintBox->SetSurfaceSize(w, h);
  PanelScene->setFixedSize(w, h);
  ScrollBoxResize(ScrollBox);
  ChangeCount = 0;
  if (show) {
    TScopedWait render("Rendering Display...", true);
    RedrawScene(true);
  }
}

// Opens a project for a menu command; a file that fails is reported and changes nothing.
static bool OpenProjectReported(TFormMain& w, const std::string& name) {
  try {
    w.LoadProject(name, true);
    return true;
  } catch (const std::exception& ex) {
    Say("The project " + name + " could not be opened:\n" + ex.what(), MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
}

void TFormMain::LoadTemplateLibrary(const std::string& name) {
  TINIDocument doc(name);
  if (!name.empty() && FileExists(name)) doc.LoadFromFile(name);
  TemplateLibrary->ReplaceFromINI(doc);
  QDockWidget* library = LibraryWindow();
  QListWidget* list = library ? library->findChild<QListWidget*>("ListTemplates") : nullptr;
  if (!list) return;
  list->clear();
  for (int i = 0; i < TemplateLibrary->Count(); ++i) {
    TZLMButton* t = TemplateLibrary->Button(i);
    auto* item = new QListWidgetItem(Q(Trim(t->Text)));
    item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(t)));
    list->addItem(item);
  }
}

void TFormMain::MINewProjectClick(QObject*) {
  TCloseAction action = caFree;
  FormClose(nullptr, action);
  if (action == caNone) return;
  if (!Ask("Are you sure you want to begin a new project?")) return;
  TakeUndoSnapshot();
  SyncControlsFromButton(nullptr);
  ScrollBox->horizontalScrollBar()->setValue(0);
  ScrollBox->verticalScrollBar()->setValue(0);
  Scene->Clear();
  Scene->BGColor = 0xFF6060;
  Scene->Page->SetSize(640, 480);
  RedrawScene(true);
  PaintBox->SetSurfaceSize(640, 480);
  PanelScene->setFixedSize(640, 480);
  ScrollBoxResize(ScrollBox);
  ProjectFileName.clear();
  ChangeCount = 0;
  FormActivate();
}

void TFormMain::MIOpenProjectClick(QObject*) {
  TCloseAction action = caFree;
  FormClose(nullptr, action);
  if (action == caNone) return;
  TOpenDialog* dialog = OpenDialog();
  dialog->Filter = kFilterZLM;
  dialog->FileName = ProjectFileName;
  if (!dialog->Execute()) return;
  update();
  ImageCache().UnloadAll();
  std::string name = dialog->FileName;
  if (!OpenProjectReported(*this, name)) return;
  for (int i = 4; i > 0; --i) {
    Recent[i]->setText(Recent[i - 1]->text());
    Recent[i]->setVisible(Recent[i - 1]->isVisible());
  }
  Recent[0]->setText(RecentCaption(name));
  Recent[0]->setVisible(true);
}

void TFormMain::Recent1Click(QObject* Sender) {
  auto* item = qobject_cast<QAction*>(Sender);
  if (!item) return;
  std::string name = RecentFileName(item->text());
  // Unsaved changes are asked about first, as for any other way of opening a project.
  TCloseAction action = caFree;
  FormClose(nullptr, action);
  if (action == caNone) return;
  OpenProjectReported(*this, name);
}

void TFormMain::MISaveClick(QObject* Sender) { SaveFileClick(Sender); }

void TFormMain::SaveFileClick(QObject* Sender) {
  std::string name = ProjectFileName;
  if (name.empty() || Sender == MISaveAs) {
    TSaveDialog* dialog = SaveDialog();
    dialog->FileName = ProjectFileName;
    // The dialog would ask about the name as typed; the file written always ends in ".zlm",
    // so the question is asked here, about that file.
    const bool prompt = dialog->Options & ofOverwritePrompt;
    dialog->Options &= ~TOpenOptions(ofOverwritePrompt);
    bool chosen = dialog->Execute();
    if (prompt) dialog->Options |= ofOverwritePrompt;
    if (!chosen) return;
    update();
    name = ChangeFileExt(dialog->FileName, ".zlm");
    if (prompt && FileExists(name) && !Ask(StringReplaceAll(kReplaceQuestion, "<#filename>", name))) return;
  }
  const std::string previous = ProjectFileName;
  ProjectFileName = name;
  FormActivate();
  std::string error;
  {
    TScopedWait wait("Saving " + ExtractFileName(name), false);
    try {
      // The existing file is read first, so that sections this save does not rewrite stay.
      TINIDocument doc(name);
      if (FileExists(name)) doc.LoadFromFile(name);
      doc.WriteInteger("Heading", "GridX", Scene->GridX);
      doc.WriteInteger("Heading", "GridY", Scene->GridY);
      doc.WriteInteger("Heading", "ProjectWidth", Scene->Page->Width());
      doc.WriteInteger("Heading", "ProjectHeight", Scene->Page->Height());
      Scene->SaveToINI(doc);
      doc.SaveToFile(name);
    } catch (const std::exception& ex) { error = ex.what(); }
  }
  if (!error.empty()) {
    // Nothing was written: the page stays unsaved under its old name, and the user knows.
    ProjectFileName = previous;
    FormActivate();
    Say("The project could not be saved.\n" + error, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  ChangeCount = 0;
  try {
    INIFileSettings().WriteString("Settings", "DefaultProject", ProjectFileName);
  } catch (const std::exception&) {
    // The project is saved; only the choice of the next start project is lost.
  }
}

// --- Editing surface ---

uint8_t TFormMain::HitTestHandles(ZButtonList& scene, TZLMButton** hit, int x, int y) {
  if (hit) *hit = nullptr;
  // Near an edge means 4 pixels or less away.
  auto near = [](int a, int b) { return std::abs(a - b) < 5; };
  for (int i = 0; i < scene.Count(); ++i) {
    TZLMButton* o = scene.Button(i);
    if (!o->IsSelected) continue;
    const TRect& r = o->Bounds;
    uint8_t code = 0;
    if (near(x, r.Left) && near(y, r.Top)) code = 1;
    else if (near(x, r.Left) && near(y, r.Bottom)) code = 3;
    else if (near(x, r.Right) && near(y, r.Top)) code = 5;
    else if (near(x, r.Right) && near(y, r.Bottom)) code = 7;
    if (code) {
      if (hit) *hit = o;
      return code;
    }
  }
  auto* o = static_cast<TZLMButton*>(scene.LayerAtPoint(TPoint{x, y}));
  if (hit) *hit = o;
  return o ? 15 : 0;
}

void TFormMain::PaintBoxMouseDown(QObject*, TMouseButton, TShiftState Shift, int X, int Y) {
  if (IgnoreNextMouseDown) {
    IgnoreNextMouseDown = false;
    return;
  }
  if (MouseIsDown) return;
  ScrollBox->setFocus(Qt::MouseFocusReason);
  UndoTakenInDrag = false;
  MouseIsDown = true;
  LastPoint = Scene->SnapPoint(TPoint{X, Y});
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    o->DragStartBounds = o->Bounds;
    o->PrevBounds = o->Bounds;
  }
  TZLMButton* hit = nullptr;
  uint8_t code = HitTestHandles(*Scene, &hit, X, Y);
  DragHandle = code;
  if (code == 0) {
    BandActive = true;
    PrevBandRect = BandRect;
    BandRect = TRect(X, Y, X, Y);
    Scene->Select(nullptr, false, false);
  } else if (code == 15) {
    Scene->Select(hit, Shift & ssShift, Shift & ssCtrl);
  } else {
    Scene->Select(hit, false, false);
  }
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  RedrawScene(false);
}

void TFormMain::PaintBoxMouseMove(QObject*, TShiftState, int X, int Y) {
  Qt::CursorShape shape = Qt::ArrowCursor;
  switch (HitTestHandles(*Scene, nullptr, X, Y)) {
    case 1:
    case 7: shape = Qt::SizeFDiagCursor; break;
    case 3:
    case 5: shape = Qt::SizeBDiagCursor; break;
    case 15: shape = Qt::SizeAllCursor; break;
    default: break;
  }
  if (PaintBox->cursor().shape() != shape) PaintBox->setCursor(shape);
  TPoint p = Scene->SnapPoint(TPoint{X, Y});
  int x = p.X, y = p.Y;
  auto scrollIntoView = [this](int px, int py) {
    PanelMousePos->setGeometry(px, py, 0, 0);
    ScrollBox->ensureVisible(px, py, 0, 0);
  };

  if (BandActive) {
    scrollIntoView(x, y);
    PrevBandRect = BandRect;
    BandRect.Right = x;
    BandRect.Bottom = y;
    TRect band(std::min(BandRect.Left, BandRect.Right), std::min(BandRect.Top, BandRect.Bottom),
               std::max(BandRect.Left, BandRect.Right), std::max(BandRect.Top, BandRect.Bottom));
    int selected = 0;
    for (int i = 0; i < Scene->Count(); ++i) {
      TZLMButton* o = Scene->Button(i);
      TRect common;
      bool inside = IntersectRect(common, o->Bounds, band) && common == o->Bounds;
      if (inside != o->IsSelected) {
        o->Changed = true;
        o->IsSelected = inside;
        if (inside) SyncControlsFromButton(o);
      }
      if (o->IsSelected) ++selected;
    }
    if (selected == 0) SyncControlsFromButton(nullptr);
    RedrawScene(false);
  }

  int dx = 0, dy = 0;
  auto* current = static_cast<TZLMButton*>(Scene->Current);
  if (DragHandle == 0 || !current) {
    LastPoint = TPoint{x, y};
    return;
  }
  scrollIntoView(x, y);
  const bool moving = DragHandle == 15;
  const bool corner = !moving && (DragHandle & 1);
  const TRect& c = current->Bounds;
  if (moving) {
    dx = x - LastPoint.X;
    dy = y - LastPoint.Y;
  } else if (corner) {
    dx = (DragHandle & 4) ? std::max(x, c.Left + 8) - c.Right : std::min(x, c.Right - 8) - c.Left;
    dy = (DragHandle & 2) ? std::max(y, c.Top + 8) - c.Bottom : std::min(y, c.Bottom - 8) - c.Top;
  }
  const bool bottomMoves = moving || (corner && (DragHandle & 2));
  const bool topMoves = moving || (corner && !(DragHandle & 2));
  const bool rightMoves = moving || (corner && (DragHandle & 4));
  const bool leftMoves = moving || (corner && !(DragHandle & 4));
  // No selected object leaves the page; the mouse point is corrected with the delta so the
  // next step starts from the edge.
  const int W = Scene->Page->Width(), H = Scene->Page->Height();
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    if (!o->IsSelected) continue;
    if (bottomMoves && o->Bounds.Bottom + dy > H) {
      int excess = o->Bounds.Bottom + dy - H;
      dy -= excess;
      y -= excess;
    }
    if (topMoves && o->Bounds.Top + dy < 0) {
      y += -o->Bounds.Top - dy;
      dy = -o->Bounds.Top;
    }
    if (rightMoves && o->Bounds.Right + dx > W) {
      int excess = o->Bounds.Right + dx - W;
      dx -= excess;
      x -= excess;
    }
    if (leftMoves && o->Bounds.Left + dx < 0) {
      x += -o->Bounds.Left - dx;
      dx = -o->Bounds.Left;
    }
  }
  if (dx != 0 || dy != 0) {
    if (!UndoTakenInDrag) {
      UndoTakenInDrag = true;
      TakeUndoSnapshot();
      // The snapshot counts the change; a count that came back to zero through an earlier
      // undo must still not read "saved".
      if (ChangeCount == 0) ChangeCount = 1;
    }
    for (int i = 0; i < Scene->Count(); ++i) {
      TZLMButton* o = Scene->Button(i);
      if (!o->IsSelected) continue;
      TRect& r = o->Bounds;
      if (moving) {
        r.Left += dx;
        r.Right += dx;
        r.Top += dy;
        r.Bottom += dy;
      } else {
        if (DragHandle & 4) r.Right = std::max(r.Right + dx, r.Left + 8);
        else r.Left = std::min(r.Left + dx, r.Right - 8);
        if (DragHandle & 2) r.Bottom = std::max(r.Bottom + dy, r.Top + 8);
        else r.Top = std::min(r.Top + dy, r.Bottom - 8);
      }
      o->Changed = true;
    }
    RedrawScene(false);
  }
  LastPoint = TPoint{x, y};
}

void TFormMain::PaintBoxMouseUp(QObject*, TMouseButton, TShiftState, int X, int Y) {
  if (!MouseIsDown) return;
  // Take the band off the screen.
  PrevBandRect = BandRect;
  BandRect = TRect(-100, -100, -100, -100);
  RedrawScene(false);
  PrevBandRect = BandRect;
  BandActive = false;
  MouseIsDown = false;
  DragHandle = 0;
  LastPoint = Scene->SnapPoint(TPoint{X, Y});
  // What moved is rendered at its new place and its old place is repainted.
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    o->PrevBounds = o->DragStartBounds;
    if (o->PrevBounds != o->Bounds) o->Changed = true;
  }
  RedrawScene(false);
}

bool TFormMain::MemoOpen() const { return Memo->width() > 0; }

TZLMButton* TFormMain::MemoObject() const {
  if (!MemoTarget) return nullptr;
  // The object may have left the page (cut, deleted, a new project) while the editor was open.
  for (int i = 0; i < Scene->Count(); ++i)
    if (Scene->Button(i) == MemoTarget) return MemoTarget;
  return nullptr;
}

void TFormMain::CountChange() {
  if (++ChangeCount == 0) ChangeCount = 1;
}

static QString TextToMemo(const std::string& text) {
  QString t = Q(text);
  t.replace("\r\n", "\n");
  t.replace('\r', '\n');
  return t;
}

static std::string MemoToText(const QString& text) {
  QString t = text;
  t.replace("\n", "\r\n");
  return t.toStdString();
}

void TFormMain::RedrawScene(bool whole) {
  // 1: the in-place editor commits into its object and closes.
  if (MemoOpen() && !FClosingMemo) {
    FClosingMemo = true;
    TZLMButton* target = MemoObject();
    if (Memo->document()->isModified() && target) {
      TakeUndoSnapshot();
      if (ChangeCount == 0) ChangeCount = 1;
      target->Changed = true;
      target->Text = MemoToText(Memo->toPlainText());
    }
    Scene->Current = nullptr;
    MemoTarget = nullptr;
    PanelMemo->setGeometry(0, 0, 0, 0);
    Memo->setGeometry(0, 0, 0, 0);
    Memo->clear();
    Memo->document()->setModified(false);
    // Keys must not go on into a memo that cannot be seen.
    if (Memo->hasFocus()) ScrollBox->setFocus(Qt::OtherFocusReason);
    FClosingMemo = false;
  }

  XImage& page = *Scene->Page;
  const int W = page.Width(), H = page.Height();
  if (page.PixelFormat() != pf32bit) page.SetPixelFormat(pf32bit);
  // 2, 3, 4: the region to repaint.
  if (whole) {
    RegionSet(DirtyRegion, 0, 0, W, H);
  } else {
    RegionClear(DirtyRegion);
    for (int i = 0; i < Scene->Count(); ++i) {
      TZLMButton* o = Scene->Button(i);
      if (!o->Changed) continue;
      const TRect& b = o->Bounds;
      const TRect& p = o->PrevBounds;
      RegionAdd(DirtyRegion, b.Left - 2, b.Top - 2, b.Right + 2, b.Bottom + 2);
      RegionAdd(DirtyRegion, p.Left - 2, p.Top - 2, p.Right + 2, p.Bottom + 2);
      o->PrevBounds = o->Bounds;
      o->Changed = false;
    }
  }
  if (BandActive) RegionAdd(DirtyRegion, BandRect.Left, BandRect.Top, BandRect.Right, BandRect.Bottom);
  RegionAdd(DirtyRegion, PrevBandRect.Left, PrevBandRect.Top, PrevBandRect.Right, PrevBandRect.Bottom);
  RegionClip(DirtyRegion, 0, 0, W, H);
  // 5: while a button is held nothing is rendered; only the marks follow the mouse.
  if (!MouseIsDown) RenderScene(*Scene, page, DirtyRegion);
  PaintBoxPaint(PaintBox);
  RegionSet(DirtyRegion, 0, 0, W, H);
}

void TFormMain::PaintBoxPaint(QObject*) {
  XImage& page = *Scene->Page;
  const int W = page.Width(), H = page.Height();
  if (page.PixelFormat() != pf32bit) page.SetPixelFormat(pf32bit);
  if (PaintBox->width() != W || PaintBox->height() != H) PaintBox->SetSurfaceSize(W, H);
  // The marks are inverted pixels drawn over a copy of the page, one strip of a dirty
  // rectangle at a time, so that they never touch the page bitmap itself and a large page
  // needs no second page-sized bitmap.
  const int rowsPerStrip = std::max(1, (1 << 20) / std::max(W, 1));
  if (FMarks.PixelFormat() != pf32bit) FMarks.SetPixelFormat(pf32bit);
  for (TRegionRect* region = DirtyRegion; region; region = region->Next) {
    TRect c;
    if (!IntersectRect(c, region->Rect, TRect(0, 0, W, H))) continue;
    for (int top = c.Top; top < c.Bottom; top += rowsPerStrip) {
      const TRect strip(c.Left, top, c.Right, std::min(c.Bottom, top + rowsPerStrip));
      const int sw = strip.Width(), sh = strip.Height();
      if (FMarks.Width() < sw || FMarks.Height() < sh)
        FMarks.SetSize(std::max(FMarks.Width(), sw), std::max(FMarks.Height(), sh));
      for (int y = 0; y < sh; ++y)
        std::memcpy(FMarks.ScanLine(y), page.ScanLine(strip.Top + y) + size_t(strip.Left) * 4,
                    size_t(sw) * 4);
      PaintMarks(FMarks.Canvas(), strip.Left, strip.Top, TRect(0, 0, sw, sh));
      PaintBox->CopyFromBitmap(FMarks, TRect(0, 0, sw, sh), strip.Left, strip.Top);
    }
  }
}

void TFormMain::PaintMarks(TCanvas& canvas, int ox, int oy, const TRect& area) {
  auto meets = [&](int l, int t, int r, int b) {
    return l < area.Right && r > area.Left && t < area.Bottom && b > area.Top;
  };
  // Objects with the same bounds get their marks once: inverted twice they would cancel,
  // and a pasted copy lying on its original would show no selection at all.
  std::vector<TRect> drawn;
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    if (!o->IsSelected) continue;
    // The marks reach 2 pixels (the handles 3) beyond the bounds.
    const TRect b(o->Bounds.Left - ox, o->Bounds.Top - oy, o->Bounds.Right - ox, o->Bounds.Bottom - oy);
    if (!meets(b.Left - 3, b.Top - 3, b.Right + 3, b.Bottom + 3)) continue;
    if (std::find(drawn.begin(), drawn.end(), o->Bounds) != drawn.end()) continue;
    drawn.push_back(o->Bounds);
    DrawSelectionFrame(canvas, b.Left, b.Top, b.Right, b.Bottom, true, o == Scene->Current);
  }
  if (!BandActive) return;
  // The band's outline, dotted, as a rectangle with a clear brush draws it; as four lines
  // that each touch only their own pixels, so a large band costs no more than its edges.
  const int l = std::min(BandRect.Left, BandRect.Right) - ox,
            r = std::max(BandRect.Left, BandRect.Right) - 1 - ox;
  const int t = std::min(BandRect.Top, BandRect.Bottom) - oy,
            b = std::max(BandRect.Top, BandRect.Bottom) - 1 - oy;
  if (r < l || b < t || !meets(l, t, r + 1, b + 1)) return;
  TPen pen = canvas.Pen;
  canvas.Pen.Width = 1;
  canvas.Pen.Style = psDot;
  canvas.Pen.Mode = pmNot;
  canvas.MoveTo(l, t);
  if (r == l) {
    canvas.LineTo(l, b + 1);
  } else if (b == t) {
    canvas.LineTo(r + 1, t);
  } else {
    canvas.LineTo(r, t);
    canvas.LineTo(r, b);
    canvas.LineTo(l, b);
    canvas.LineTo(l, t);
  }
  canvas.Pen = pen;
}

void TFormMain::DrawSelectionFrame(TCanvas& canvas, int left, int top, int right, int bottom, bool handles,
                                   bool) {
  TPen pen = canvas.Pen;
  TBrush brush = canvas.Brush;
  canvas.Pen.Width = 1;
  canvas.Pen.Mode = pmNot;
  const int r = right - 1, b = bottom - 1;
  if (handles) {
    canvas.Pen.Style = psSolid;
    canvas.Brush.Style = bsSolid;
    for (TPoint p :
         {TPoint{left - 2, top - 2}, TPoint{r - 2, top - 2}, TPoint{r - 2, b - 2}, TPoint{left - 2, b - 2}})
      canvas.Rectangle(p.X, p.Y, p.X + 5, p.Y + 5);
  }
  canvas.Pen.Style = psDot;
  canvas.Brush.Style = bsClear;
  canvas.MoveTo(left + 6, top - 2);
  canvas.LineTo(r - 6, top - 2);
  canvas.MoveTo(left + 6, b + 2);
  canvas.LineTo(r - 6, b + 2);
  canvas.MoveTo(left - 2, top + 6);
  canvas.LineTo(left - 2, b - 6);
  canvas.MoveTo(r + 2, top + 6);
  canvas.LineTo(r + 2, b - 6);
  canvas.Pen = pen;
  canvas.Brush = brush;
}

bool TFormMain::eventFilter(QObject* watched, QEvent* e) {
  if (watched == ScrollBox || watched == ScrollBox->viewport()) {
    switch (e->type()) {
      case QEvent::FocusIn:
        if (watched == ScrollBox) ScrollBoxEnter(ScrollBox);
        break;
      case QEvent::FocusOut:
        if (watched == ScrollBox) ScrollBoxExit(ScrollBox);
        break;
      case QEvent::Resize: ScrollBoxResize(ScrollBox); break;
      case QEvent::MouseButtonRelease:
        if (watched == ScrollBox->viewport()) ScrollBoxClick(ScrollBox);
        break;
      case QEvent::Wheel:
        if (watched == ScrollBox->viewport()) {
          auto* wheel = static_cast<QWheelEvent*>(e);
          int delta = wheel->angleDelta().y();
          bool handled = false;
          if (delta < 0) ScrollBoxMouseWheelDown(ScrollBox, handled);
          if (delta > 0) ScrollBoxMouseWheelUp(ScrollBox, handled);
          if (handled) return true;
        }
        break;
      default: break;
    }
  } else if (watched == Memo) {
    // A control is entered and left when the focus moves between controls of the window; a
    // menu opening over the memo (its own context menu) or another window taking the
    // activation leaves the editor open.
    if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut) {
      Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
      if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
        if (e->type() == QEvent::FocusIn) MemoEnter(Memo);
        if (e->type() == QEvent::FocusOut) MemoExit(Memo);
      }
    }
  }
  if (e->type() == QEvent::KeyPress) {
    bool handled = false;
    ApplicationEventsMessage(watched, e, handled);
    if (handled) return true;
  }
  return QMainWindow::eventFilter(watched, e);
}

void TFormMain::ApplicationEventsMessage(QObject*, QEvent* message, bool& handled) {
  if (message->type() != QEvent::KeyPress) return;
  if (QApplication::activeWindow() != this || focusWidget() != ScrollBox || !ScrollBox->hasFocus()) return;
  auto* key = static_cast<QKeyEvent*>(message);
  int dx = 0, dy = 0;
  switch (key->key()) {
    case Qt::Key_PageUp:
      MenuItemClick(MenuItemBringToFront1);
      handled = true;
      return;
    case Qt::Key_PageDown:
      MenuItemClick(MenuItemSendToBack1);
      handled = true;
      return;
    case Qt::Key_Left: dx = -2; break;
    case Qt::Key_Up: dy = -2; break;
    case Qt::Key_Right: dx = 2; break;
    case Qt::Key_Down: dy = 2; break;
    default:
      if (key->text() == "+") {
        MenuItemClick(MenuItemBringToFront1);
        handled = true;
      } else if (key->text() == "-") {
        MenuItemClick(MenuItemSendToBack1);
        handled = true;
      }
      return;
  }
  // The arrows move the selection by 2 pixels, without snapping and without an undo
  // snapshot; the move is still a change that a save must keep.
  bool moved = false;
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    if (!o->IsSelected) continue;
    o->OffsetBy(dx, dy);
    moved = true;
  }
  if (moved) CountChange();
  RedrawScene(false);
  handled = true;
}

void TFormMain::PaintBoxDblClick(QObject*) {
  IgnoreNextMouseDown = true;
  auto* c = static_cast<TZLMButton*>(Scene->Current);
  if (!c) return;
  MemoTarget = c;
  Memo->clear();
  QFont font = QFontOfFont(*c->Style->Font);
  if (int h = std::abs(c->Style->Font->Height())) font.setPixelSize(h);
  Memo->setFont(font);
  QPalette pal = Memo->palette();
  pal.setColor(QPalette::Text, Qt::black);
  Memo->setPalette(pal);
  Memo->document()->setDocumentMargin(0);
  Memo->setPlainText(TextToMemo(c->Text));
  Memo->document()->setModified(false);
  Memo->setFocus(Qt::OtherFocusReason);
  Memo->selectAll();
  MemoChange(Memo);
}

void TFormMain::MemoChange(QObject*) {
  TZLMButton* c = MemoObject();
  if (!c || FClosingMemo) return;
  const TRect& r = c->Bounds;
  PanelMemo->setGeometry(r.Left, r.Top, r.Width(), r.Height());
  int lines = std::max(1, Memo->document()->blockCount());
  int textHeight = lines * QFontMetrics(Memo->font()).lineSpacing();
  int offset = std::max(0, (r.Height() - textHeight) / 2);
  Memo->setGeometry(r.Left, r.Top + offset, r.Width(), r.Height() - offset);
  Qt::Alignment align = c->Style->Alignment == 0   ? Qt::AlignLeft
                        : c->Style->Alignment == 1 ? Qt::AlignRight
                                                   : Qt::AlignHCenter;
  QTextOption option = Memo->document()->defaultTextOption();
  if (option.alignment() != align) {
    option.setAlignment(align);
    Memo->document()->setDefaultTextOption(option);
  }
  PanelMemo->raise();
  Memo->raise();
}

void TFormMain::MemoEnter(QObject*) { ScrollBoxExit(ScrollBox); }

void TFormMain::MemoExit(QObject*) {
  ScrollBoxEnter(ScrollBox);
  RedrawScene(false);
}

void TFormMain::ScrollBoxEnter(QObject*) {
  MIUndo->setShortcut(QKeySequence("Ctrl+Z"));
  MICut->setShortcut(QKeySequence("Ctrl+X"));
  MICopy->setShortcut(QKeySequence("Ctrl+C"));
  MIPaste->setShortcut(QKeySequence("Ctrl+V"));
  MIDelete->setShortcut(QKeySequence("Del"));
  MISelectAll->setShortcut(QKeySequence("Ctrl+A"));
  MIDuplicate->setShortcut(QKeySequence("Ctrl+D"));
}

void TFormMain::ScrollBoxExit(QObject*) {
  for (QAction* a : {MIUndo, MICut, MICopy, MIPaste, MIDelete, MISelectAll, MIDuplicate})
    a->setShortcut(QKeySequence());
}

void TFormMain::ScrollBoxClick(QObject*) { MenuItemClick(MISelectNone); }

void TFormMain::ScrollBoxMouseWheelDown(QObject*, bool& handled) {
  ScrollBox->verticalScrollBar()->setValue(ScrollBox->verticalScrollBar()->value() + 8);
  handled = true;
}

void TFormMain::ScrollBoxMouseWheelUp(QObject*, bool& handled) {
  ScrollBox->verticalScrollBar()->setValue(ScrollBox->verticalScrollBar()->value() - 8);
  handled = true;
}

void TFormMain::ScrollBoxResize(QObject*) { ControlSetProjectPosition(PanelScene); }

// --- Edit commands ---

#include <QClipboard>

#include "app/forms/Uniteditprojectsize.h"
#include "app/forms/Unitgridsize.h"
#include "app/forms/Unitresize.h"

// The modification time of a file in nanoseconds; 0 when it does not exist.
static int64_t FileStamp(const std::string& name) {
  struct stat st {};
  if (name.empty() || stat(name.c_str(), &st) != 0) return 0;
  return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// The dialogs are made at start-up by the program; a window without them (a test, a tool)
// makes its own on first use, owned by the window.
template <class Form>
static Form& EditDialog(Form*& global, QWidget* owner) {
  if (!global) global = new Form(owner);
  return *global;
}

void TFormMain::TakeUndoSnapshot() {
  FUndoFromUnsaved = ChangeCount != 0;
  // The change that follows is unsaved, whatever the count was before (an undo can have
  // brought it below zero).
  CountChange();
  FUndoCount = ChangeCount;
  FUndoFileName = ProjectFileName;
  FUndoFileStamp = FileStamp(ProjectFileName);
  UndoAvailable = true;
  Scene->SaveToINI(*UndoDoc);
  UndoScrollPos = TPoint{ScrollBox->horizontalScrollBar()->value(), ScrollBox->verticalScrollBar()->value()};
}

void TFormMain::MIEditClick(QObject*) {
  PageControl->setCurrentWidget(TabSheetScene);
  ScrollBox->setFocus();
  MIGroup->setVisible(false);
  MIUngroup->setVisible(false);
  // The page is the window's focused control (also while another window is active).
  const bool focused = focusWidget() == ScrollBox && ScrollBox->isEnabled() && ScrollBox->isVisible();
  const int n = Scene->SelectedCount();
  const int count = Scene->Count();
  MIUndo->setEnabled(UndoAvailable && focused);
  for (QAction* a : {MICut, MICopy, MIDelete, MISendToBack, MIBringToFront, MISelectNone})
    a->setEnabled(n > 0 && focused);
  MIPaste->setEnabled(ClipboardDoc->ReadInteger("Heading", "NumOfButtons", 0) > 0 && focused);
  MISelectAll->setEnabled(n < count && focused);
  MISelectInvert->setEnabled(count > 0 && focused);
}

void TFormMain::MIUndoClick(QObject*) {
  if (!UndoAvailable) return;
  // An open in-place editor stores its text first: the objects it could point at are about
  // to be replaced.
  if (MemoOpen()) RedrawScene(false);
  const int32_t before = ChangeCount;
  TScopedWait wait("Undo", false);
  try {
    Scene->ReplaceFromINI(*UndoDoc);
  } catch (const std::exception& ex) {
    // The scene is as it was; the snapshot cannot be used.
    UndoAvailable = false;
    Say("The last change could not be undone.\n" + std::string(ex.what()), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  UndoAvailable = false;
  // The page that comes back is the saved one only when it was saved at the snapshot and
  // nothing since has counted, saved, loaded or started another page.
  const bool saved = !FUndoFromUnsaved && before == FUndoCount && ProjectFileName == FUndoFileName &&
                     FileStamp(ProjectFileName) == FUndoFileStamp;
  ChangeCount = before - 1;
  if (ChangeCount == 0 && !saved) ChangeCount = -1;
  RedrawScene(true);
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  ScrollBox->horizontalScrollBar()->setValue(UndoScrollPos.X);
  ScrollBox->verticalScrollBar()->setValue(UndoScrollPos.Y);
}

void TFormMain::MICutClick(QObject*) {
  Scene->SaveSelectedToINI(*ClipboardDoc);
  MenuItemDelete1Click(nullptr);
}

void TFormMain::MICopyClick(QObject*) {
  TScopedWait wait("Please Wait", false);
  Scene->SaveSelectedToINI(*ClipboardDoc);
  // The picture of the selection for other programs; with nothing selected there is none.
  const TRect r = Scene->GetBounds(false);
  if (!RectIsVisible(r)) return;
  XImage image;
  BitmapSnagIt(image, *Scene->Page, r);
  QImage picture = BitmapToQImage(image);
  if (!picture.isNull()) QGuiApplication::clipboard()->setImage(picture);
}

void TFormMain::MIPasteClick(QObject*) {
  TScopedWait wait("Please Wait", false);
  const TColor background = Scene->BGColor;
  const int before = Scene->Count();
  try {
    // The clipboard is read whole before anything is added: a damaged one adds nothing.
    Scene->LoadFromINI(*ClipboardDoc);
  } catch (const std::exception& ex) {
    Scene->BGColor = background;
    Say("The clipboard could not be pasted.\n" + std::string(ex.what()), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  Scene->BGColor = background;
  // Pasted objects are work a save must keep, though no undo snapshot is taken for them.
  if (Scene->Count() > before) CountChange();
  SyncControlsFromButton(nullptr);
  RedrawScene(false);
}

void TFormMain::MenuItemDuplicate1Click(QObject*) {
  TakeUndoSnapshot();
  ZButtonList copies;
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    if (!o->IsSelected) continue;
    o->IsSelected = false;
    o->Changed = true;
    auto* copy = new TZLMButton(o->Text, &copies, o->Bounds, o->LinkAddress);
    copy->AssignStyle(*o);
    // A copy keeps the name of the template its source was styled from.
    copy->StyleName = o->StyleName;
    copy->OffsetBy(24, 24);
    Scene->SnapLayer(copy);
  }
  while (copies.Count() > 0) {
    TLayer* copy = copies.Layer(0);
    copy->SetOwnerList(Scene.get());
    copy->IsSelected = true;
    copy->Changed = true;
  }
  RedrawScene(false);
}

void TFormMain::MenuItemDelete1Click(QObject*) {
  TakeUndoSnapshot();
  TScopedWait wait("Deleteing", false);
  // Parked off the page, the objects leave their places to be repainted by the redraw.
  Scene->ParkSelected();
  RedrawScene(false);
  Scene->DeleteSelected();
  SelectButton(nullptr, false);
}

void TFormMain::MenuItemBringToFront1Click(QObject*) {
  TakeUndoSnapshot();
  Scene->BringToFront();
  RedrawScene(false);
}

void TFormMain::MenuItemSendToBack1Click(QObject*) {
  TakeUndoSnapshot();
  Scene->SendToBack();
  RedrawScene(false);
}

void TFormMain::ShowSelectionChange() {
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  PaintBoxPaint(PaintBox);
}

void TFormMain::MISelectAllClick(QObject*) {
  Scene->SelectAll();
  ShowSelectionChange();
}

void TFormMain::MISelectNoneClick(QObject*) {
  Scene->SelectNone();
  ShowSelectionChange();
}

void TFormMain::MISelectInvertClick(QObject*) {
  Scene->InvertSelection();
  ShowSelectionChange();
}

// Groups are kept in the project file: forming or dissolving one is a change to save.
void TFormMain::MIGroupClick(QObject*) {
  if (Scene->SelectedCount() > 0) CountChange();
  Scene->GroupSelected();
  ShowSelectionChange();
}

void TFormMain::MIUngroupClick(QObject*) {
  if (Scene->SelectedCount() > 0) CountChange();
  Scene->UngroupSelected();
  ShowSelectionChange();
}

void TFormMain::MIButtonResizeClick(QObject*) {
  auto* c = static_cast<TZLMButton*>(Scene->Current);
  if (!c) return;
  TFormResize& form = EditDialog(FormResize, this);
  const TRect& r = c->Bounds;
  form.EditLeft->setText(Q(IntToStr(r.Left)));
  form.EditTop->setText(Q(IntToStr(r.Top)));
  form.EditWidth->setText(Q(IntToStr(r.Right - r.Left)));
  form.EditHeight->setText(Q(IntToStr(r.Bottom - r.Top)));
  if (form.exec() != QDialog::Accepted) return;
  // The object may have gone while the dialog was open.
  if (Scene->Current != c) return;
  TakeUndoSnapshot();
  auto value = [](QLineEdit* edit, int32_t def) { return StrToIntDef(edit->text().toStdString(), def); };
  // Kept to the coordinates a project file can hold.
  const int32_t height = std::clamp(value(form.EditHeight, 64), 8, kMaxCoordinate);
  const int32_t width = std::clamp(value(form.EditWidth, 64), 8, kMaxCoordinate);
  const int32_t top = std::clamp(value(form.EditTop, 0), -kMaxCoordinate, kMaxCoordinate - height);
  const int32_t left = std::clamp(value(form.EditLeft, 0), -kMaxCoordinate, kMaxCoordinate - width);
  c->SetBounds(left, top, width, height);
  RedrawScene(false);
}

void TFormMain::MenuItemResize1Click(QObject* Sender) { MIButtonResizeClick(Sender); }

void TFormMain::MenuItemAlignToGrid1Click(QObject*) {
  TakeUndoSnapshot();
  Scene->SnapSelected();
  RedrawScene(false);
}

void TFormMain::MenuItemSnapToGridClick(QObject*) {
  Scene->AlignToGrid = !Scene->AlignToGrid;
  MenuItemSnapToGrid->setChecked(Scene->AlignToGrid);
}

void TFormMain::MenuItemSetGridSizeClick(QObject*) {
  int size = Scene->GridX;
  if (!EditDialog(FormGridSize, this).Execute(size)) return;
  // The grid is kept in the project file.
  if (size != Scene->GridX || size != Scene->GridY) CountChange();
  Scene->GridX = Scene->GridY = size;
}

void TFormMain::MISetPageSizeClick(QObject*) {
  int w = Scene->Page->Width(), h = Scene->Page->Height();
  if (!EditDialog(FormEditProjectSize, this).Execute("Enter Page Size", w, h)) return;
  w = std::clamp(w, 1, kMaxPageSide);
  h = std::clamp(h, 1, kMaxPageSide);
  // The page size is kept in the project file.
  if (w != Scene->Page->Width() || h != Scene->Page->Height()) CountChange();
  Scene->Page->SetSize(w, h);
  RedrawScene(true);
  PaintBox->SetSurfaceSize(w, h);
  PanelScene->setFixedSize(w, h);
  ScrollBoxResize(ScrollBox);
}

void TFormMain::MISetBackgroundColorClick(QObject*) {
  TColorDialog* dialog = ColorDialog();
  dialog->Color = Scene->BGColor;
  if (!dialog->Execute()) return;
  TakeUndoSnapshot();
  Scene->BGColor = dialog->Color;
  RedrawScene(true);
}

// --- Insert and style commands ---

#include <QCheckBox>
#include <QGroupBox>
#include <QToolButton>

#include "POP/PopSysUtils.h"
#include "POP/gui/PopExtCtrls.h"
#include "engine/XDraw.h"
// The acquisition dialog is optional here: without it the texture is chosen with the
// picture-open dialog.
#if __has_include("Unitimageacquire.h")
#include "app/forms/Unitimageacquire.h"
#endif

static const char* const kFilterHTML = "HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|All Files (*.*)|*.*|";

// A control of the tool window by its name; nullptr while the window (or the control) does
// not exist.
template <class T>
static T* ToolControl(const TFormMain& w, const char* name) {
  QDockWidget* tools = w.ToolsWindow();
  return tools ? tools->findChild<T*>(name) : nullptr;
}

static QListWidget* TemplateList(const TFormMain& w) {
  QDockWidget* library = w.LibraryWindow();
  return library ? library->findChild<QListWidget*>("ListTemplates") : nullptr;
}

// Runs f on every selected object in list order (bottom first) and marks it changed.
template <class F>
static void ForEachSelected(ZButtonList& scene, F f) {
  for (int i = 0; i < scene.Count(); ++i) {
    TZLMButton* o = scene.Button(i);
    if (!o->IsSelected) continue;
    f(*o);
    o->Changed = true;
  }
}

template <class F>
void TFormMain::ChangeSelectedStyle(F set) {
  TakeStyleSnapshot();
  ForEachSelected(*Scene, set);
  RedrawScene(false);
}

template <class F>
void TFormMain::StyleControlChange(F set) {
  if (!UpdatingControls) ChangeSelectedStyle(set);
}

static TColor PanelColor(const QWidget* panel) {
  return panel ? QColorToTColor(panel->palette().color(QPalette::Window)) : clBtnFace;
}

static void SetPanelColor(QWidget* panel, TColor color) {
  if (!panel) return;
  QPalette pal = panel->palette();
  pal.setColor(QPalette::Window, TColorToQColor(color));
  panel->setPalette(pal);
  panel->setAutoFillBackground(true);
}

// The combo box entry whose text is exactly the value, or none.
static void SelectEntryOfValue(QComboBox* box, int value) {
  if (box) box->setCurrentIndex(box->findText(QString::number(value), Qt::MatchExactly));
}

// A file name as the value of a double-quoted HTML attribute.
static std::string QuotedAttribute(const std::string& value) {
  return "\"" + StringReplaceAll(value, "\"", "&quot;") + "\"";
}

void TFormMain::TakeStyleSnapshot() {
  TakeUndoSnapshot();
  if (ChangeCount == 0) ChangeCount = 1;
}

TZLMButton* TFormMain::SelectedTemplate() const {
  QListWidget* list = TemplateList(*this);
  QListWidgetItem* item = list ? list->currentItem() : nullptr;
  if (!item || !item->isSelected()) return nullptr;
  auto* t = static_cast<TZLMButton*>(item->data(Qt::UserRole).value<void*>());
  // Only a template that is still in the library (the list may outlive a reload).
  return t && TemplateLibrary->IndexOf(t) >= 0 ? t : nullptr;
}

void TFormMain::SetColorPanelState(QWidget* panel, TColor color, bool active) {
  auto* frame = qobject_cast<QFrame*>(panel);
  if (!frame) return;
  if (active) {
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Plain);
    frame->setLineWidth(1);
    frame->setMidLineWidth(0);
  } else {
    // A raised inner and a lowered outer bevel: a sunken frame around a raised middle.
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setLineWidth(1);
    frame->setMidLineWidth(0);
    color = clBtnFace;
  }
  SetPanelColor(panel, color);
  SetClickEnabled(panel, active);
}

void TFormMain::SyncControlsFromButton(TZLMButton* button) {
  Scene->Current = button;
  UpdatingControls = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{UpdatingControls};
  const bool has = button != nullptr;

  auto* overlay = ToolControl<QComboBox>(*this, "ComboOverlay");
  auto* textureMode = ToolControl<QComboBox>(*this, "ComboTextureMode");
  auto* penWidth = ToolControl<QComboBox>(*this, "PenWidth");
  auto* curveSize = ToolControl<QComboBox>(*this, "CurveSize");
  auto* transparent = ToolControl<QCheckBox>(*this, "CheckTransparent");
  auto* antialias = ToolControl<QCheckBox>(*this, "CheckAntialias");
  if (button) {
    ZStyle& st = *button->Style;
    if (QListWidget* list = TemplateList(*this)) {
      for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == Q(button->StyleName)) {
          list->setCurrentRow(i);
          break;
        }
    }
    EditURL->setText(Q(button->LinkAddress));
    FontDialog()->Font.Assign(*st.Font);
    XImage* texture = nullptr;
    if (st.Texture) {
      try {
        texture = st.Texture->GetGraphic();
      } catch (const std::exception&) { texture = nullptr; }
    }
    ImagePreviewGraphic(ToolControl<TImage>(*this, "Image"), texture);
    SetPanelColor(ToolControl<QWidget>(*this, "Panel1"), st.Color0);
    if (textureMode)
      textureMode->setCurrentIndex(st.TextureMode - 1 < textureMode->count() ? st.TextureMode - 1 : -1);
    if (overlay) overlay->setCurrentIndex(st.Shape < overlay->count() ? st.Shape : -1);
    ComboFontName->setEditText(Q(st.Font->Name));
    ComboFontSize->setEditText(QString::number(st.Font->Size()));
    SelectEntryOfValue(penWidth, st.PenWidth);
    SelectEntryOfValue(curveSize, st.CurveSize);
    if (transparent) transparent->setChecked(st.IsTransparent);
    if (antialias) antialias->setChecked(st.IsAntialiased);
    ToolButtonLeft->setChecked(st.Alignment == 0);
    ToolButtonRight->setChecked(st.Alignment == 1);
    ToolButtonCentre->setChecked(st.Alignment == 2);
    ToolButtonBold->setChecked(st.Font->Style & fsBold);
    ToolButtonItalic->setChecked(st.Font->Style & fsItalic);
    ToolButtonUnderlined->setChecked(st.Font->Style & fsUnderline);
    ToolButtonStrikeOut->setChecked(st.Font->Style & fsStrikeOut);
  }

  for (int i = 0; i < 6; ++i) {
    QWidget* panel = ToolControl<QWidget>(*this, ("XColorPanel" + std::to_string(i)).c_str());
    SetColorPanelState(panel, has ? button->Style->Color(i) : clBtnFace, has);
  }

  for (QAction* a :
       {MIButtonResize, MIChangeFont, MIExportImage, ToolButtonLeft, ToolButtonCentre, ToolButtonRight,
        ToolButtonBringToFront, ToolButtonSendToBack, ToolButtonChangeFont, ToolButtonBold, ToolButtonItalic,
        ToolButtonUnderlined, ToolButtonStrikeOut, ToolButtonDelete, ToolButtonTextColor})
    a->setEnabled(has);
  for (QWidget* c : std::initializer_list<QWidget*>{
           ToolControl<QWidget>(*this, "ButtonLoadTexture"), ToolControl<QWidget>(*this, "FlipColors"),
           transparent, antialias, overlay, EditURL, ComboFontName, ComboFontSize})
    if (c) c->setEnabled(has);
  if (textureMode) textureMode->setEnabled(has && button->Style->Texture);
  if (curveSize) curveSize->setEnabled(has && button->Style->Shape == 5);
  if (penWidth) penWidth->setEnabled(has && button->Style->Shape >= 4 && button->Style->Shape <= 22);

  MenuItemSelectAll1->setEnabled(Scene->Count() > 0);
  const bool selected = Scene->SelectedCount() > 0;
  for (QAction* a : {MenuItemDuplicate1, MenuItemCut1, MenuItemCopy1, MenuItemDelete1, MenuItemSendToBack1,
                     MenuItemBringToFront1, MenuItemAlignToGrid1, MenuItemAlignToGrid2})
    a->setEnabled(selected);
}

void TFormMain::SelectButton(TZLMButton* button, bool shift) {
  Scene->Select(button, shift, false);
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
}

// --- New objects ---

TZLMButton* TFormMain::AddNewObject(const std::string& text, const std::string& link, int left, int top,
                                    int width, int height) {
  auto* o = new TZLMButton(text, Scene.get(), TRect(left, top, left + width, top + height), link);
  return o;
}

void TFormMain::PopNewButtonClick(QObject* Sender) {
  TakeStyleSnapshot();
  // The Insert menu places at a fixed point; the page's menu and a drop at the mouse.
  const TPoint at = Sender == TBNewButton ? Scene->SnapPoint(TPoint{200, 100}) : LastPoint;
  TZLMButton* o = AddNewObject("New Button", "index.htm", at.X, at.Y, 96, 24);
  if (TZLMButton* t = SelectedTemplate()) {
    o->AssignStyle(*t);
    o->Text = t->Text;
    o->Bounds = TRect(at.X, at.Y, at.X + t->Bounds.Width(), at.Y + t->Bounds.Height());
  }
  Scene->SnapLayer(o);
  SelectButton(o, false);
  RedrawScene(false);
}

void TFormMain::PopNewTextClick(QObject* Sender) {
  TakeStyleSnapshot();
  const TPoint at = Sender == TBNewText ? Scene->SnapPoint(TPoint{100, 100}) : LastPoint;
  TZLMButton* o = AddNewObject("New Text", "", at.X, at.Y, 96, 24);
  o->Style->Shape = 0;
  o->Style->Font->Color = 0xFFFFFF;
  o->Style->IsTransparent = true;
  Scene->SnapLayer(o);
  SelectButton(o, false);
  RedrawScene(false);
}

void TFormMain::PopNewFrameClick(QObject* Sender) {
  TakeStyleSnapshot();
  const TPoint at = Sender == TBNewFrame ? Scene->SnapPoint(TPoint{100, 100}) : LastPoint;
  TZLMButton* o = AddNewObject("", "", at.X, at.Y, 240, 160);
  Scene->SnapLayer(o);
  SelectButton(o, false);
  RedrawScene(false);
}

void TFormMain::TBInsertPictureClick(QObject*) {
  TOpenPictureDialog* dialog = OpenPictureDialog();
  if (!dialog->Execute()) return;
  const std::string file = dialog->FileName;
  TakeStyleSnapshot();
  TZLMButton* o = AddNewObject("", "", 10, 10, 100, 100);
  o->Style->Shape = 0;
  o->Style->Font->Color = 0xFFFFFF;
  o->Style->IsTransparent = false;
  Scene->SnapLayer(o);
  // Selected alone first, so that the picture goes to this object only.
  SelectButton(o, false);
  std::string error;
  try {
    ApplyTextureFile(file);
  } catch (const std::exception& ex) { error = ex.what(); }
  if (o->Style->Texture) {
    XImage* picture = o->Style->Texture->GetGraphic();
    o->Bounds = TRect(10, 10, 10 + picture->Width(), 10 + picture->Height());
    o->Changed = true;
  }
  RedrawScene(false);
  if (!error.empty())
    Say("The picture " + file + " could not be used:\n" + error, MB_OK | MB_ICONEXCLAMATION);
  else if (!o->Style->Texture) Say("The picture " + file + " could not be read.", MB_OK | MB_ICONEXCLAMATION);
}

void TFormMain::InsertHTMLObject(const std::string& text) {
  TakeStyleSnapshot();
  TZLMButton* o = AddNewObject(text, "", 10, 10, 100, 100);
  o->Style->Shape = 24;
  o->Style->Font->Color = 0x000000;
  o->Style->IsTransparent = false;
  Scene->SnapLayer(o);
  SelectButton(o, false);
  RedrawScene(false);
}

void TFormMain::TBInsertHTMLSnippetClick(QObject*) { InsertHTMLObject("<P>Insert HTML Code Here</P>"); }

void TFormMain::TBInsertExternalHTMLFileClick(QObject*) {
  TOpenDialog* dialog = OpenDialog();
  dialog->Filter = kFilterHTML;
  dialog->FileName.clear();
  if (!dialog->Execute()) return;
  InsertHTMLObject("<IFRAME src=" + QuotedAttribute(dialog->FileName) + " width=100% height=100%></IFRAME>");
}

void TFormMain::ExternalImageFile1Click(QObject*) {
  TOpenPictureDialog* dialog = OpenPictureDialog();
  if (!dialog->Execute()) return;
  InsertHTMLObject("<IMG src=" + QuotedAttribute(dialog->FileName) + " width=100% height=100% border=0>");
}

// --- Templates ---

void TFormMain::PaintBoxDragOver(QObject*, QObject* Source, int, int, bool& Accept) {
  QListWidget* list = TemplateList(*this);
  Accept = list && (Source == list || Source == list->viewport()) && SelectedTemplate();
}

void TFormMain::PaintBoxDragDrop(QObject*, QObject* Source, int X, int Y) {
  bool accept = false;
  PaintBoxDragOver(PaintBox, Source, X, Y, accept);
  if (!accept) return;
  TZLMButton* t = SelectedTemplate();
  LastPoint = Scene->SnapPoint(TPoint{X - t->Bounds.Width() / 2, Y - t->Bounds.Height() / 2});
  PopNewButtonClick(PopNewButton);
}

void TFormMain::ApplyStyleClick(QObject*) {
  if (UpdatingControls) return;
  TZLMButton* t = SelectedTemplate();
  if (!t) return;
  TZLMButton* first = nullptr;
  ForEachSelected(*Scene, [&](TZLMButton& o) {
    // The object keeps its own font face and size.
    const std::string name = o.Style->Font->Name;
    const int height = o.Style->Font->Height();
    o.Style->Assign(*t->Style);
    o.Style->Font->Name = name;
    o.Style->Font->SetHeight(height);
    o.StyleName = Trim(t->Text);
    if (!first) first = &o;
  });
  if (!first) return;
  SyncControlsFromButton(first);
  // No undo snapshot, but the page has changed and a save must keep it.
  CountChange();
  RedrawScene(false);
}

// --- Style controls ---

void TFormMain::ComboFontNameChange(QObject*) {
  const std::string name = ComboFontName->currentText().toStdString();
  StyleControlChange([&](TZLMButton& o) { o.Style->Font->Name = name; });
}

void TFormMain::ComboFontSizeChange(QObject*) {
  const int size = StrToIntDef(ComboFontSize->currentText().toStdString(), 12);
  StyleControlChange([&](TZLMButton& o) { o.Style->Font->SetSize(size); });
}

void TFormMain::SetFontStyleBit(QAction* button, uint8_t bit) {
  const bool down = button->isChecked();
  StyleControlChange([&](TZLMButton& o) {
    TFontStyles& s = o.Style->Font->Style;
    s = down ? TFontStyles(s | bit) : TFontStyles(s & ~bit);
  });
}

void TFormMain::ButtonBoldTextClick(QObject*) { SetFontStyleBit(ToolButtonBold, fsBold); }
void TFormMain::ButtonItalicTextClick(QObject*) { SetFontStyleBit(ToolButtonItalic, fsItalic); }
void TFormMain::ButtonUnderlinedTextClick(QObject*) { SetFontStyleBit(ToolButtonUnderlined, fsUnderline); }
void TFormMain::ButtonStrikeOutTextClick(QObject*) { SetFontStyleBit(ToolButtonStrikeOut, fsStrikeOut); }

void TFormMain::SetAlignment(int8_t alignment) {
  StyleControlChange([&](TZLMButton& o) { o.Style->Alignment = alignment; });
}

void TFormMain::ButtonAlignLeftClick(QObject*) { SetAlignment(0); }
void TFormMain::ButtonAlignCnterClick(QObject*) { SetAlignment(2); }
void TFormMain::ButtonAlignRightClick(QObject*) { SetAlignment(1); }

// Whether the tool window's check box of that name is checked (false without one).
static bool ToolBoxChecked(const TFormMain& w, const char* name) {
  auto* box = ToolControl<QCheckBox>(w, name);
  return box && box->isChecked();
}

// The tool window's size box of that name as a number in [0, most] (0 without one).
static int ToolBoxSize(const TFormMain& w, const char* name, int most) {
  auto* box = ToolControl<QComboBox>(w, name);
  return std::clamp(StrToIntDef(box ? box->currentText().toStdString() : "", 0), 0, most);
}

void TFormMain::CheckAntialiasClick(QObject*) {
  const bool on = ToolBoxChecked(*this, "CheckAntialias");
  StyleControlChange([&](TZLMButton& o) { o.Style->IsAntialiased = on; });
}

void TFormMain::CheckTransparentClick(QObject*) {
  const bool on = ToolBoxChecked(*this, "CheckTransparent");
  StyleControlChange([&](TZLMButton& o) { o.Style->IsTransparent = on; });
}

void TFormMain::PenWidthChange(QObject*) {
  const int value = ToolBoxSize(*this, "PenWidth", 32);
  StyleControlChange([&](TZLMButton& o) { o.Style->PenWidth = value; });
}

void TFormMain::CurveSizeChange(QObject*) {
  const int value = ToolBoxSize(*this, "CurveSize", 64);
  StyleControlChange([&](TZLMButton& o) { o.Style->CurveSize = value; });
}

void TFormMain::ComboOverlayChange(QObject*) {
  if (UpdatingControls) return;
  TakeStyleSnapshot();
  auto* box = ToolControl<QComboBox>(*this, "ComboOverlay");
  const int index = box ? box->currentIndex() : -1;
  if (index < 0) {
    Services().MessageBox("No overlay is selected", ApplicationTitle(), MB_OK);
    return;
  }
  ForEachSelected(*Scene, [&](TZLMButton& o) { o.Style->Shape = int8_t(index); });
  // The shape decides which border controls apply.
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  RedrawScene(false);
}

void TFormMain::ComboTextureModeChange(QObject*) {
  if (UpdatingControls) return;
  TakeStyleSnapshot();
  auto* box = ToolControl<QComboBox>(*this, "ComboTextureMode");
  const int index = box ? box->currentIndex() : -1;
  if (index < 0) return;
  ForEachSelected(*Scene, [&](TZLMButton& o) { o.Style->TextureMode = index + 1; });
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  RedrawScene(false);
}

void TFormMain::XColorPanel0Change(QObject* Sender) {
  const TColor c =
      PanelColor(qobject_cast<QWidget*>(Sender ? Sender : ToolControl<QWidget>(*this, "XColorPanel0")));
  // A background colour replaces the texture.
  ChangeSelectedStyle([&](TZLMButton& o) {
    o.Style->Color0 = c;
    o.Style->TextureFileName.clear();
    o.Style->Texture = nullptr;
  });
}

void TFormMain::SetShapeColor(int index, QObject* panel) {
  if (!panel) panel = ToolControl<QWidget>(*this, ("XColorPanel" + std::to_string(index)).c_str());
  const TColor c = PanelColor(qobject_cast<QWidget*>(panel));
  ChangeSelectedStyle([&](TZLMButton& o) { o.Style->Color(index) = c; });
}

void TFormMain::XColorPanel1Change(QObject* Sender) { SetShapeColor(1, Sender); }
void TFormMain::XColorPanel2Change(QObject* Sender) { SetShapeColor(2, Sender); }
void TFormMain::XColorPanel3Change(QObject* Sender) { SetShapeColor(3, Sender); }
void TFormMain::XColorPanel4Change(QObject* Sender) { SetShapeColor(4, Sender); }
void TFormMain::XColorPanel5Change(QObject* Sender) { SetShapeColor(5, Sender); }

void TFormMain::FlipColorsClick(QObject*) {
  TakeStyleSnapshot();
  QWidget* p[5] = {nullptr};
  for (int i = 1; i <= 4; ++i)
    p[i] = ToolControl<QWidget>(*this, ("XColorPanel" + std::to_string(i)).c_str());
  if (!p[1] || !p[2] || !p[3] || !p[4]) return;
  const TColor c1 = PanelColor(p[1]), c2 = PanelColor(p[2]), c3 = PanelColor(p[3]), c4 = PanelColor(p[4]);
  SetPanelColor(p[1], c4);
  SetPanelColor(p[4], c1);
  SetPanelColor(p[2], c3);
  SetPanelColor(p[3], c2);
  ForEachSelected(*Scene, [&](TZLMButton& o) {
    for (int i = 1; i <= 4; ++i) o.Style->Color(i) = PanelColor(p[i]);
  });
  RedrawScene(false);
}

void TFormMain::LinkAddressChange(QObject*) {
  if (UpdatingControls) return;
  const std::string link = EditURL->text().toStdString();
  bool any = false;
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    if (!o->IsSelected) continue;
    o->LinkAddress = link;
    any = true;
  }
  // The link does not show on the page, so nothing is redrawn; the project has changed all
  // the same and a save must keep it.
  if (any) CountChange();
}

void TFormMain::PanelColor10DblClick(QObject*) {
  TColorDialog* dialog = ColorDialog();
  if (auto* c = static_cast<TZLMButton*>(Scene->Current)) dialog->Color = c->Style->Font->Color;
  if (!dialog->Execute()) return;
  const TColor color = dialog->Color;
  FontDialog()->Font.Color = color;
  ChangeSelectedStyle([&](TZLMButton& o) { o.Style->Font->Color = color; });
}

void TFormMain::MenuItemChangeFont1Click(QObject*) {
  TakeStyleSnapshot();
  TFontDialog* dialog = FontDialog();
  dialog->Font.SetSize(StrToIntDef(ComboFontSize->currentText().toStdString(), 12));
  dialog->Font.Name = ComboFontName->currentText().toStdString();
  if (!dialog->Execute()) return;
  {
    UpdatingControls = true;
    ComboFontSize->setEditText(QString::number(dialog->Font.Size()));
    ComboFontName->setEditText(Q(dialog->Font.Name));
    UpdatingControls = false;
  }
  const TFont font = dialog->Font;
  ForEachSelected(*Scene, [&](TZLMButton& o) { o.Style->Font->Assign(font); });
  RedrawScene(false);
}

void TFormMain::ButtonLoadTextureClick(QObject*) {
  auto* c = static_cast<TZLMButton*>(Scene->Current);
  std::string file;
#if __has_include("Unitimageacquire.h")
  // The image-acquisition dialog, starting with the current texture.
  if (FormImageAcquire) {
    XImage& picture = FormImageAcquire->Picture();
    if (c && c->Style->Texture) {
      try {
        picture.Assign(c->Style->Texture->GetGraphic());
      } catch (const std::exception&) { picture.FileName = c->Style->Texture->FileName; }
    }
    if (!FormImageAcquire->Execute()) return;
    file = picture.FileName;
  } else
#endif
  {
    // Without the acquisition dialog the picture-open dialog chooses, starting at the
    // current texture.
    TOpenPictureDialog* dialog = OpenPictureDialog();
    if (c && c->Style->Texture) dialog->FileName = c->Style->Texture->FileName;
    if (!dialog->Execute()) return;
    file = dialog->FileName;
  }
  if (file.empty()) return;
  TakeStyleSnapshot();
  ApplyTextureFile(file);
}

void TFormMain::ApplyTextureFile(const std::string& file) {
  const std::string cached = FileNameAddToCache(file, "Images");
  XImageCacheObject* entry = ImageCache().GetEntry(cached);
  XImage* picture = nullptr;
  try {
    picture = entry->GetGraphic();
  } catch (const std::exception&) { picture = nullptr; }
  if (!picture || picture->Empty()) entry = nullptr;
  ForEachSelected(*Scene, [&](TZLMButton& o) {
    o.Style->Texture = entry;
    o.Style->TextureFileName = ExtractFileName(cached);
  });
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  RedrawScene(false);
}

void TFormMain::ComboFontNameDrawItem(TCanvas& canvas, int index, const TRect& rect, uint32_t state) {
  auto* box = ComboFontName;
  if (index < 0 || index >= box->count()) return;
  DrawListItemCaption(canvas, box->itemText(index).toStdString(), rect, state);
}

// --- Output and web ---

#include <cstdlib>
#include <unistd.h>

#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "POP/PopWinInet.h"
#include "app/forms/Unitedithtmlhead.h"
#include "app/forms/Unitimagemap.h"
#include "engine/XBlend.h"
#include "engine/XImage.h"

// The page pixels under the selected objects, or nullptr when nothing is selected.
static std::unique_ptr<XImage> SelectionCrop(ZButtonList& scene, TRect& bounds) {
  bounds = scene.GetBounds(false);
  if (!RectIsVisible(bounds)) return nullptr;
  auto crop = std::make_unique<XImage>();
  BitmapSnagIt(*crop, *scene.Page, bounds);
  return crop;
}

void TFormMain::MIPreviewInBrowserClick(QObject* Sender) {
  TRect bounds;
  std::unique_ptr<XImage> crop = SelectionCrop(*Scene, bounds);
  if (!crop) {
    Say("There is nothing to preview");
    return;
  }
  if (!FormImageMap) return;
  FormImageMap->Scene = Scene.get();
  FormImageMap->Image = crop.get();
  FormImageMap->CropRect = bounds;
  std::string error;
  try {
    if (Sender == ToolButtonPreview) {
      FormImageMap->ButtonPreviewClick();
    } else if (FormImageMap->exec() == QDialog::Accepted) {
      RedrawScene(false);
    }
  } catch (const std::exception& ex) { error = ex.what(); }
  // The dialog must not keep a picture that is freed here.
  FormImageMap->Image = nullptr;
  if (!error.empty()) Say("The preview could not be written.\n" + error, MB_OK | MB_ICONEXCLAMATION);
}

void TFormMain::ExportImageClick(QObject*) {
  TSavePictureDialog* dialog = SavePictureDialog();
  if (!dialog->Execute()) return;
  repaint();
  TRect bounds;
  std::unique_ptr<XImage> crop = SelectionCrop(*Scene, bounds);
  if (!crop) {
    Say("There are no buttons selected");
    return;
  }
  BitmapSetPixelFormat(*crop, PixelFormatCode(pf24bit));
  try {
    crop->SaveToFile(dialog->FileName);
  } catch (const std::exception& ex) {
    Say("The image could not be exported to " + dialog->FileName + ".\n" + ex.what(),
        MB_OK | MB_ICONEXCLAMATION);
  }
}
// A site name becomes one folder inside "Sites": nothing that could name a folder elsewhere
// (separators of any system, "." and "..", an empty or blank name) or confuse the file
// system (control characters) is taken.
static bool IsPlainFolderName(const std::string& name) {
  if (Trim(name).empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (IsPathDelimiter(c) || static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

void TFormMain::MIHTMLPageBuilderClick(QObject*) {
  XImage& page = *Scene->Page;
  const TRect pageRect(0, 0, page.Width(), page.Height());
  // The selected objects' area on the page, else all objects'.
  TRect area = RectIntersection(Scene->GetBounds(false), pageRect);
  if (!RectIsVisible(area)) area = RectIntersection(Scene->GetBounds(true), pageRect);
  if (!RectIsVisible(area)) {
    Say("A HTML page can not be built from the current project");
    return;
  }

  // The site's name.
  std::string site = ChangeFileExt(ExtractFileName(ProjectFileName), "");
  if (site.empty()) site = "Default";
  if (!Services().InputBox("Enter Web Site Name", "", site)) return;
  if (!IsPlainFolderName(site)) {
    Say("\"" + site +
            "\" can not be used as a web site name.\n"
            "A site name is a plain folder name: not empty, not \".\" or \"..\", and without "
            "\"/\", \"\\\" or \":\".",
        MB_OK | MB_ICONEXCLAMATION);
    return;
  }

  // The folders; the site folder stays the current folder afterwards.
  ChangeToProgramFolder();
  const std::string sites = LocalFile("Sites");
  if (!DirectoryExists(sites) && !ForceDirectories(sites)) {
    Say("Could not create site directory");
    return;
  }
  SetCurrentDir(sites);
  const std::string folder = IncludeTrailingPathDelimiter(sites) + site;
  if (DirectoryExists(folder)) {
    if (!Ask("This site already exists. Do you want to overwrite it with a new one?")) return;
  } else if (mkdir(folder.c_str(), 0777) != 0) {
    Say("Could not create site directory");
    return;
  }
  SetCurrentDir(folder);

  // The table, with captions, text areas and snippets as markup where they can be. Whatever
  // goes wrong from here on, every caption taken out of the page is put back.
  const std::string index = IncludeTrailingPathDelimiter(folder) + "index.htm";
  std::vector<TZLMButton*> hidden;
  std::string error;
  try {
    auto maker = std::make_unique<TTableMaker>(area.Width(), area.Height());
    for (int i = 0; i < Scene->Count(); ++i) {
      TZLMButton* b = Scene->Button(i);
      if (!RectIsOverlap(b->Bounds, area) || !Scene->IsFullyVisible(b)) {
        b->HideText = false;
        continue;
      }
      const ZStyle& style = *b->Style;
      const auto align = static_cast<TAlignment>(style.Alignment);
      std::string html;
      if (style.Shape == 24) html = HTMLEncodeParaAlignment(align, HTMLEncodeFont(*style.Font, b->Text));
      else if (!style.IsAntialiased && (!b->TextFilled || style.Shape == 23))
        html = HTMLEncodeParaAlignment(
            align, HTMLEncodeFont(*style.Font, HTMLEncodeText(ExpandTextMacros(b->Text))));
      if (!html.empty()) hidden.push_back(b);
      b->HideText = !html.empty();
      b->Changed = !html.empty();
      const std::string size =
          "width:" + IntToStr(b->Bounds.Width()) + ";height:" + IntToStr(b->Bounds.Height());
      if (style.Shape == 23) html = "<SPAN style=\"" + size + ";overflow:auto\">" + html + "</SPAN>";
      if (style.Shape == 24) html = "<SPAN style=\"" + size + ";overflow:hidden\">" + html + "</SPAN>";
      maker->AddTableObject(b->Bounds.Left - area.Left, b->Bounds.Top - area.Top, b->Bounds.Right - area.Left,
                            b->Bounds.Bottom - area.Top, html, b->LinkAddress, align, taCenter);
    }
    maker->LayoutTable();
    // The page without the captions that went into the markup.
    RedrawScene(false);
    // The slices and the page, written into the site folder.
    XImage image;
    BitmapSnagIt(image, page, area);
    maker->SliceImages(image, folder);
    StringSaveToFile(BuildPageHTML(*maker, *Scene, Scene->BGColor), index);
  } catch (const std::exception& ex) { error = ex.what(); }
  if (error.empty()) NavigateTo(index);
  // The captions come back.
  for (TZLMButton* b : hidden) {
    b->HideText = false;
    b->Changed = true;
  }
  RedrawScene(false);
  if (!error.empty()) Say("The web site could not be written.\n" + error, MB_OK | MB_ICONEXCLAMATION);
}

void TFormMain::MIEditHTMLHeaderClick(QObject*) {
  // The head lives in the scene's store and is saved with the project: an edit is a change.
  if (EditHeader(FormEditHTMLHead, Scene.get())) ChangeCount += ChangeCount < 0 ? -1 : 1;
}

void TFormMain::MIPageSetupClick(QObject*) { PrinterSetupDialog()->Execute(); }

void TFormMain::MIPrintClick(QObject*) {
  TRect bounds;
  std::unique_ptr<XImage> crop = SelectionCrop(*Scene, bounds);
  if (!crop) {
    Say("There is nothing to print");
    return;
  }
  if (!PrintDialog) {
    PrintDialog = new QPrintDialog(&SharedPrinter(), this);
    PrintDialog->setObjectName("PrintDialog");
  }
  if (PrintDialog->exec() != QDialog::Accepted) return;
  if (!PrintImage(*crop)) Say("The selection could not be printed", MB_OK | MB_ICONEXCLAMATION);
}

void TFormMain::MIUpgradeClick(QObject*) { InnoUpgrade(false); }

void TFormMain::TBHomePageClick(QObject*) { NavigateTo(InnoAppPublisherURL()); }

void TFormMain::TBManualClick(QObject*) {
  NavigateTo(UrlCombine(UrlGetHostAddress(InnoAppPublisherURL()), "/zlm/manual/manual.htm"));
}

std::string TFormMain::WebBrowserLocationURL() const {
  return WebBrowserView ? WebBrowserView->url().toString().toStdString() : std::string();
}

void TFormMain::TabSheetServicesShow(QObject*) {
  if (!WebBrowserView) {
    // The browser engine refuses to start its sandbox as root and ends the process instead;
    // run as root (installers, containers), it starts without one.
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    WebBrowserView = new QWebEngineView(WebBrowser);
    WebBrowserView->setObjectName("WebBrowserView");
    WebBrowser->layout()->addWidget(WebBrowserView);
    // The address under the mouse is the browser's status text.
    connect(WebBrowserView->page(), &QWebEnginePage::linkHovered, this,
            [this](const QString& url) { WebBrowserStatusTextChange(WebBrowser, url.toStdString()); });
  }
  // A page once shown stays: showing the tab again does not reload it.
  if (!WebBrowserLocationURL().empty()) return;
  const std::string url = InnoAppServicesURL();
  if (IsConnectedToInternet(url)) WebBrowserView->setUrl(QUrl(Q(url)));
  else WebBrowserView->setUrl(QUrl::fromLocalFile(Q(LocalFile("Services.htm"))));
}

void TFormMain::WebBrowserStatusTextChange(QObject*, const std::string& text) {
  StatusBarWebBrowser->showMessage(Q(text));
}
