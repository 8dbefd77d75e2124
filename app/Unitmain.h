// The main window: the document controller of the program. It owns the open page (the
// scene), the template library, the object clipboard and the undo snapshot; every menu
// command, tool button, tool-window control and mouse action on the page ends in one of its
// methods.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QPointer>

#include "POP/PopFastINI.h"
#include "POP/PopForms.h"
#include "engine/RegionRect.h"
#include "engine/XZLMButton.h"
#include "platform/SysUtils.h"
#include "platform/Types.h"
#include "platform/gui/QtDock.h"
#include "platform/gui/QtPaintBox.h"
#include "platform/gui/QtServices.h"

class QAction;
class QActionGroup;
class QComboBox;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMenu;
class QPrintDialog;
class QScrollArea;
class QStatusBar;
class QTabWidget;
class QTextEdit;
class QToolBar;
class QToolButton;
class QWebEngineView;
class TINIFileQuick;

enum TCloseAction { caNone, caHide, caFree, caMinimize };

// What a press on the page takes hold of (HitTestHandles, DragHandle): bits that say what a
// drag moves, and the codes they make.
enum THandleBit : uint8_t {
  hbResize = 1,  // a corner of the object
  hbBottom = 2,  // the bottom edge moves, else the top
  hbRight = 4,   // the right edge moves, else the left
  hbMove = 8,    // the whole object moves
};
enum THandleCode : uint8_t {
  hcNone = 0,
  hcTopLeft = hbResize,
  hcBottomLeft = hbResize | hbBottom,
  hcTopRight = hbResize | hbRight,
  hcBottomRight = hbResize | hbBottom | hbRight,
  hcBody = hbResize | hbBottom | hbRight | hbMove,
};

class TFormMain : public QMainWindow, public TQtFormGeometry {
  Q_OBJECT
 public:
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // --- State (the document and the editing surface) ---
  std::unique_ptr<TINIFileQuick> ClipboardDoc;
  // The single undo snapshot: the page as project text (page keys, then the scene), parsed
  // only by an undo. Text costs a fraction of a document of the page and is written in one
  // pass; it holds the page of the last snapshot alone.
  std::string UndoText;
  std::unique_ptr<ZButtonList> Scene;
  std::unique_ptr<ZButtonList> TemplateLibrary;
  int32_t ChangeCount = 0;
  bool UndoTakenInDrag = false;
  bool UndoAvailable = false;
  bool BandActive = false;
  bool MouseIsDown = false;
  bool UpdatingControls = false;
  TRect PrevBandRect{0, 0, 0, 0};
  TRect BandRect{0, 0, 0, 0};
  THandleCode DragHandle = hcNone;
  TPoint LastPoint;
  std::string ProjectFileName;
  // The project's file as it was on disk when it was opened or last saved here: a Save that
  // finds it otherwise (another program or another copy wrote it) asks before replacing it.
  TFileStamp ProjectFileStamp;
  TPoint UndoScrollPos;

  // The program's arguments after its name, absolute paths already (set by the main
  // function before the window is first shown).
  std::vector<std::string> CommandLine;
  // What went wrong during the start, shown once the window is up (empty when nothing did).
  std::vector<std::string> StartProblems;

  // --- Components (each one's objectName is its member name) ---
  QMenu* MIFile;
  QAction *MINewProject, *MIOpenProject, *MISave, *MISaveAs, *MIPreviewInBrowser, *MIExportImage,
      *MISelectScanner, *MIHTMLPageBuilder, *MIEditHTMLHeader, *MIPageSetup, *MIPrint, *MIUpgrade, *MIExit;
  QAction* Recent[5];  // Recent1 .. Recent5
  QMenu* MIEdit;
  QAction *MIUndo, *MICut, *MICopy, *MIPaste, *MIDuplicate, *MIDelete, *MIBringToFront, *MISendToBack,
      *MISelectAll, *MISelectNone, *MISelectInvert, *MIGroup, *MIUngroup;
  QMenu* MIOptions;
  QAction *MIChangeFont, *MIButtonResize, *MenuItemAlignToGrid2, *MenuItemSnapToGrid, *MenuItemSetGridSize,
      *MISetBackgroundColor, *MISetPageSize;
  QMenu* MIWindow;
  QAction *TBShowLibrary, *TBShowTools;
  QMenu* MIInsert;
  QAction *TBNewButton, *TBNewText, *TBNewFrame, *TBInsertPicture, *TBInsertHTMLSnippet,
      *TBInsertExternalHTMLFile, *ExternalImageFile1;
  QMenu* MIHelp;
  QAction *TBAbout, *TBHomePage, *TBManual, *TBTipoftheDay;

  // The page's context menu and the memo's.
  QMenu* PopupMenu1;
  QAction *PopNewButton, *PopNewText, *PopNewFrame, *MenuItemAlignToGrid1, *MenuItemBringToFront1,
      *MenuItemSendToBack1, *MenuItemDuplicate1, *MenuItemCut1, *MenuItemCopy1, *MenuItemPaste1,
      *MenuItemDelete1, *MenuItemSelectAll1, *MenuItemProperties1;
  QMenu* PopupMenuMemo;
  QAction *MemoUndo1, *MemoCut1, *MemoCopy1, *MemoPaste1, *MemoSelectAll1;

  QToolBar* ToolBar1;
  QAction *ToolButtonNew, *ToolButtonOpen, *ToolButtonSave, *ToolButtonPreview, *ToolButtonBackground,
      *ToolButtonCut, *ToolButtonCopy, *ToolButtonPaste, *ToolButtonDelete, *ToolButtonSendToBack,
      *ToolButtonBringToFront;
  QComboBox* ComboFontName;
  QComboBox* ComboFontSize;
  QToolBar* ToolBar2;
  QAction *ToolButtonBold, *ToolButtonItalic, *ToolButtonUnderlined, *ToolButtonStrikeOut, *ToolButtonLeft,
      *ToolButtonCentre, *ToolButtonRight, *ToolButtonChangeFont, *ToolButtonTextColor;
  QActionGroup* AlignmentGroup;
  QLabel* LabelLinkAddress;
  QLineEdit* EditURL;

  QStatusBar* StatusBar;
  QTabWidget* PageControl;
  QWidget* TabSheetScene;
  QWidget* TabSheetServices;
  // The embedded browser is heavy: its view is made inside this host when the Services tab
  // is first shown.
  QWidget* WebBrowser;
  QStatusBar* StatusBarWebBrowser;
  QScrollArea* ScrollBox;
  QWidget* PanelScene;
  TQtPaintBox* PaintBox;
  QWidget* PanelMousePos;
  QWidget* PanelMemo;
  QTextEdit* Memo;
  QObject* ApplicationEvents;
  QPrintDialog* PrintDialog = nullptr;  // made on first use

  // The two dock sites are the window's left and right dock areas.
  static constexpr Qt::DockWidgetArea PanelDockSite1 = Qt::LeftDockWidgetArea;
  static constexpr Qt::DockWidgetArea PanelDockSite2 = Qt::RightDockWidgetArea;
  TDockSites* DockSites;

  // --- TFormGeometry: the window's place as the position functions see it (the rest is
  // any Qt window's) ---
  std::string Name() const override { return "FormMain"; }
  // A place that lies off every screen is moved onto the primary screen, at most as large
  // as its free area.
  void SetBounds(int left, int top, int width, int height) override;
  // A window never comes back minimised: that state restores as normal.
  void SetWindowState(TWindowState state) override;
  void SetPosition(TPosition) override {}

  // --- Life cycle ---
  void FormCreate();
  // The first showing sets up the editor; later showings do nothing.
  void FormShow();
  void FormActivate();
  void FormClose(QObject* Sender, TCloseAction& Action);
  void FormDestroy();

  // --- Menus and windows ---
  void MIFileClick(QObject* Sender);
  void MIExitClick(QObject* Sender);
  void MIOptionsClick(QObject* Sender);
  void MIWindowClick(QObject* Sender);
  void TBShowLibraryClick(QObject* Sender);
  void TBShowToolsClick(QObject* Sender);
  void MenuItemProperties1Click(QObject* Sender);
  void PopupMenu1Popup(QObject* Sender);
  void PanelDockSite2GetSiteInfo(Qt::DockWidgetArea site, QDockWidget* client, bool& canDock);
  void TBAboutClick(QObject* Sender);
  void TBTipoftheDayClick(QObject* Sender);
  // Used by no control, called by nothing.
  void ControlBar3BandInfo(int stored, int& value);
  void ControlBar3GetSiteInfo(bool& canDock);

  // --- Project files ---
  void MINewProjectClick(QObject* Sender);
  void MIOpenProjectClick(QObject* Sender);
  void Recent1Click(QObject* Sender);
  void MISaveClick(QObject* Sender);
  void SaveFileClick(QObject* Sender);
  void LoadProject(const std::string& name, bool show);
  void LoadTemplateLibrary(const std::string& name);
  // The process id of another running copy that has the file open as its project, 0 when
  // none does.
  static int ProjectOpenElsewhere(const std::string& name);
  static std::string ProjectOpenElsewhereText(const std::string& name, int pid);
  // The message that names the pictures the last loaded project lacks; empty when none.
  std::string MissingPicturesText() const;
  // What the user is told after a project is opened, before any save can make a loss
  // permanent: a file that names more objects than it holds, lines of the file that are not
  // part of a project, the pictures it lacks. Empty when the file is whole.
  std::string OpenedProjectText() const;
  // The lines of the open project's file that its page does not hold (Open found them).
  TINILostLines ProjectLostLines;
  // The page with its grid and size, as a project document.
  void WritePageInto(TINIDocument& doc);
  // Whether `name` is the open project's file and is there, but not as this window read or
  // wrote it last (or the window never saw it): somebody else's work a save would replace.
  bool ChangedOnDisk(const std::string& name) const;

  // --- The program is ended from outside ---
  // Where unsaved work goes when the program is ended without a question: a project in the
  // program folder, never over the user's file.
  static std::string RecoveryFileName();
  // Writes the unsaved page, with the name of its project, into the recovery file; false
  // when there was nothing unsaved or it could not be written.
  bool WriteRecoveryFile();
  // At the start: a recovery file left by an ended run is offered back, and removed.
  void OfferRecovery();
  // SIGTERM and SIGHUP (a closed terminal, a logout without a session manager) keep the
  // unsaved page in the recovery file and then end the program as the signal would.
  void InstallEndSignals();
  void EndBySignal(int signal);
  // What ends the program after EndBySignal; tests replace it.
  static void (*EndProcess)(int signal);
  // The session manager's request to save before a logout: with the user at hand, the save
  // question of closing the window; without, the recovery file. False cancels the logout.
  bool CommitSessionData(bool interactive);

  // --- Editing surface ---
  // The handle code at a raw page point, and the object hit.
  THandleCode HitTestHandles(ZButtonList& scene, TZLMButton** hit, int x, int y);
  void PaintBoxMouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void PaintBoxMouseMove(QObject* Sender, TShiftState Shift, int X, int Y);
  void PaintBoxMouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void RedrawScene(bool whole);
  // Pictures left out of a drawing for want of room come onto their objects as soon as there
  // is room for them (the object of a large picture deleted, another texture chosen): those
  // objects are drawn again at once, not when something else next redraws them.
  void RedrawPicturesThatFitNow();
  void PaintBoxPaint(QObject* Sender);
  void DrawSelectionFrame(TCanvas& canvas, int left, int top, int right, int bottom, bool handles,
                          bool isCurrent);
  // Every message of the application while the window runs; true marks it handled.
  void ApplicationEventsMessage(QObject* target, QEvent* message, bool& handled);
  void PaintBoxDblClick(QObject* Sender);
  void MemoChange(QObject* Sender);
  void MemoEnter(QObject* Sender);
  void MemoExit(QObject* Sender);
  void ScrollBoxEnter(QObject* Sender);
  void ScrollBoxExit(QObject* Sender);
  void ScrollBoxClick(QObject* Sender);
  void ScrollBoxMouseWheelDown(QObject* Sender, bool& handled);
  void ScrollBoxMouseWheelUp(QObject* Sender, bool& handled);
  void ScrollBoxResize(QObject* Sender);

  // --- Edit commands ---
  void TakeUndoSnapshot();
  // Whether the page may take `adding` more objects; says so when it may not (`what`:
  // "pasting", "duplicating").
  bool RoomForObjects(int64_t adding, const std::string& what);
  void MIEditClick(QObject* Sender);
  void MIUndoClick(QObject* Sender);
  void MICutClick(QObject* Sender);
  void MICopyClick(QObject* Sender);
  void MIPasteClick(QObject* Sender);
  void MenuItemDuplicate1Click(QObject* Sender);
  void MenuItemDelete1Click(QObject* Sender);
  void MenuItemBringToFront1Click(QObject* Sender);
  void MenuItemSendToBack1Click(QObject* Sender);
  void MISelectAllClick(QObject* Sender);
  void MISelectNoneClick(QObject* Sender);
  void MISelectInvertClick(QObject* Sender);
  void MIGroupClick(QObject* Sender);
  void MIUngroupClick(QObject* Sender);
  void MIButtonResizeClick(QObject* Sender);
  void MenuItemResize1Click(QObject* Sender);
  void MenuItemAlignToGrid1Click(QObject* Sender);
  void MenuItemSnapToGridClick(QObject* Sender);
  void MenuItemSetGridSizeClick(QObject* Sender);
  void MISetBackgroundColorClick(QObject* Sender);
  void MISetPageSizeClick(QObject* Sender);

 private:
  // --- Edit commands: their own state ---
  // What the undo snapshot was taken from, so that an undo can tell whether the page it
  // brings back is the saved one: whether the page had unsaved changes then, the count
  // just after the snapshot, and the project file with its modification time.
  bool FUndoFromUnsaved = false;
  int32_t FUndoCount = 0;
  std::string FUndoFileName;
  int64_t FUndoFileStamp = 0;
  TFileStamp FUndoProjectStamp;  // ProjectFileStamp of FUndoFileName, as this window knows it
  // Gives the page bitmap, the surface and its panel this size and redraws the whole page
  // (unless the caller renders it next).
  void ApplyPageSize(int width, int height, bool redraw = true);
  // Limits one offset of the selected objects' moving edges (left, top, right, bottom) so
  // that no edge goes further beyond the page than it is.
  void LimitSelectionOffset(int& dx, int& dy, bool left, bool top, bool right, bool bottom) const;

 public:
  // --- Insert and style commands ---
  void SyncControlsFromButton(TZLMButton* button);
  void SelectButton(TZLMButton* button, bool shift);
  void PopNewButtonClick(QObject* Sender);
  void PopNewTextClick(QObject* Sender);
  void PopNewFrameClick(QObject* Sender);
  void TBInsertPictureClick(QObject* Sender);
  void TBInsertHTMLSnippetClick(QObject* Sender);
  void TBInsertExternalHTMLFileClick(QObject* Sender);
  void ExternalImageFile1Click(QObject* Sender);
  void MenuItemChangeFont1Click(QObject* Sender);
  void ComboFontNameChange(QObject* Sender);
  // A face name that no installed family has is shown as typed, in italics, and its tip
  // names the face that draws it in its place.
  void ComboFontNameMarkReplaced();
  void ComboFontSizeChange(QObject* Sender);
  void ButtonBoldTextClick(QObject* Sender);
  void ButtonItalicTextClick(QObject* Sender);
  void ButtonUnderlinedTextClick(QObject* Sender);
  void ButtonStrikeOutTextClick(QObject* Sender);
  void ButtonAlignLeftClick(QObject* Sender);
  void ButtonAlignCnterClick(QObject* Sender);
  void ButtonAlignRightClick(QObject* Sender);
  void PanelColor10DblClick(QObject* Sender);
  void LinkAddressChange(QObject* Sender);
  void ApplyStyleClick(QObject* Sender);
  // Insert and style commands: the tool window's handlers, the page as a drop target for
  // templates, and their helpers.
  void CheckAntialiasClick(QObject* Sender);
  void CheckTransparentClick(QObject* Sender);
  void PenWidthChange(QObject* Sender);
  void CurveSizeChange(QObject* Sender);
  void ComboOverlayChange(QObject* Sender);
  void ComboTextureModeChange(QObject* Sender);
  void XColorPanel0Change(QObject* Sender);
  void XColorPanel1Change(QObject* Sender);
  void XColorPanel2Change(QObject* Sender);
  void XColorPanel3Change(QObject* Sender);
  void XColorPanel4Change(QObject* Sender);
  void XColorPanel5Change(QObject* Sender);
  void FlipColorsClick(QObject* Sender);
  void ButtonLoadTextureClick(QObject* Sender);
  void PaintBoxDragOver(QObject* Sender, QObject* Source, int X, int Y, bool& Accept);
  void PaintBoxDragDrop(QObject* Sender, QObject* Source, int X, int Y);
  // Draws a font box's entry; the boxes are drawn by the platform, so nothing calls it.
  void ComboFontNameDrawItem(TCanvas& canvas, int index, const TRect& rect, uint32_t state);
  // Active: the colour, a single border, and a click opens the tool window's colour
  // choice; inactive: the button face, bevels, and clicks are ignored.
  void SetColorPanelState(QWidget* panel, TColor color, bool active);
  // Makes the file a texture of every selected object (copied into the "Images" folder).
  // The file is read now, also when it failed before; why it cannot be read is returned
  // (empty when it can), and the objects then keep its name without a texture.
  std::string ApplyTextureFile(const std::string& file);
  void InsertHTMLObject(const std::string& text);
  // The library's selected template, or nullptr.
  TZLMButton* SelectedTemplate() const;

 private:
  // The undo snapshot of a style change; the change counts even when an undo brought the
  // count back to zero before.
  void TakeStyleSnapshot();

 public:
  // The snapshot of one edit in a run of edits from one source (keystrokes in a box, arrow
  // presses on the page): the first edit takes it, the rest of the run is the same change.
  // Any other snapshot, an undo, a new selection or the end of the box's edit ends the run.
  void TakeRunSnapshot(QObject* source);
  void EndEditRun() { FRunSource = nullptr; }

 private:
  // The source whose run of edits the last snapshot was taken for, while that run lasts.
  QObject* FRunSource = nullptr;
  // After the selection changed: the controls show the current object and the marks are
  // painted again.
  void ShowSelectionChange();
  // A style change: one undo snapshot, `set` on every selected object, one redraw.
  template <class F>
  void ChangeSelectedStyle(F set);
  // The same from a tool control; ignored while the controls are being filled from an object.
  template <class F>
  void StyleControlChange(F set);
  // A new object of the scene, snapped, selected alone; the redraw is the caller's.
  TZLMButton* AddNewObject(const std::string& text, const std::string& link, int left, int top, int width,
                           int height);
  void SetFontStyleBit(QAction* button, uint8_t bit);
  void SetAlignment(int8_t alignment);
  void SetShapeColor(int index, QObject* panel);

 public:
  // --- Output and web ---
  void MIPreviewInBrowserClick(QObject* Sender);
  void ExportImageClick(QObject* Sender);
  void MIHTMLPageBuilderClick(QObject* Sender);
  void MIEditHTMLHeaderClick(QObject* Sender);
  void MIPageSetupClick(QObject* Sender);
  void MIPrintClick(QObject* Sender);
  void MIUpgradeClick(QObject* Sender);
  void TBHomePageClick(QObject* Sender);
  void TBManualClick(QObject* Sender);
  void TabSheetServicesShow(QObject* Sender);
  void WebBrowserStatusTextChange(QObject* Sender, const std::string& text);
  // Output and web commands: the browser view of the Services tab, made inside WebBrowser
  // when the tab is first shown (nullptr until then), and the address it was sent to.
  QWebEngineView* WebBrowserView = nullptr;
  std::string WebBrowserLocationURL() const;

  // The dockable tool windows, found by their names ("FormLibrary", "FormTools") among
  // the application's windows; nullptr while they do not exist.
  QDockWidget* LibraryWindow() const;
  QDockWidget* ToolsWindow() const;
  // Floats a tool window and shows or hides it; shown floating for the first time, it opens
  // beside the page.
  void UndockAndToggle(QDockWidget* tool);
  // Whether FormShow has run its start-up steps.
  bool Started() const { return FStarted; }

 signals:
  // The window has been closed for good (its save question answered and its place
  // written); the program ends on it, whatever other windows are open.
  void Closed();

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void CreateMenus();
  void CreateToolBars();
  void CreateClientArea();
  void ReportStartProblems();
  QAction* AddItem(QMenu* menu, const char* name, const char* caption, void (TFormMain::*handler)(QObject*),
                   const char* handlerName);
  // Names the menu and has popup run (with the menu) each time it opens.
  QMenu* AddMenu(QMenu* menu, const char* name, void (TFormMain::*popup)(QObject*), const char* handlerName);
  QAction* AddTool(QToolBar* bar, const char* name, const char* hint, const QIcon& icon,
                   void (TFormMain::*handler)(QObject*), const char* handlerName);
  bool FStarted = false;
  // The free area of the screen that SetBounds brought the window back onto, empty when it
  // did not: once the window manager's frame is known, the frame is moved inside it too.
  QRect FKeepInside;
  void KeepFrameInside();
  bool FDestroyed = false;
  // The lock that marks ProjectFileName as open in this copy, for other copies to find.
  std::string FProjectLock, FProjectLockName;
  void FollowProjectLock();
  // The wheel turn being handled, in eighths of a degree (a notch is 120).
  int FWheelAngle = 0;

  // --- Editing surface: its own state ---
 public:
  // The object the in-place editor was opened on; the text goes there whatever happens to
  // the selection meanwhile. nullptr while the editor is closed.
  TZLMButton* MemoTarget = nullptr;
  // Whether the in-place editor is open.
  bool MemoOpen() const;
  // Stores the text of an open in-place editor into its object and closes the editor: every
  // command that saves, shows or changes the page starts with it.
  void CommitMemo();
  // Closes an open in-place editor and leaves the object's text as it was (Esc).
  void CancelMemo();
  // The page was edited without an undo snapshot (which counts the change itself): the
  // count never reads "saved" afterwards.
  void CountChange();

 private:
  // A strip of the page with the selection marks, made per paint from the page bitmap
  // inside the dirty region, so that the marks never touch the page bitmap itself.
  TBitmap FMarks;
  // The selection marks of one paint: the selected objects' bounds, each bounds once, and
  // which objects' marks may meet each band of page rows.
  struct TMarkIndex;
  // Draws the selection marks and the band onto a canvas whose pixel (0, 0) is the page's
  // (ox, oy); only marks that meet `area` (canvas pixels) are drawn.
  void PaintMarks(TCanvas& canvas, TMarkIndex& marks, int ox, int oy, const TRect& area);
  bool FClosingMemo = false;
  // The object that the in-place editor works on, if it is still on the page.
  TZLMButton* MemoObject() const;
  // The page areas to repaint; between redraws it holds the whole page.
  TRegionList DirtyRegion = nullptr;
  // Set by a double click: the mouse-down that follows it belongs to the double click.
  bool IgnoreNextMouseDown = false;
};

extern TFormMain* FormMain;

// The program's arguments after its name, each relative path made absolute against the
// current folder: call it before the start changes to the program folder.
std::vector<std::string> ProgramArguments(int argc, const char* const* argv);

// The names of the start-up files, relative to the program folder.
extern const char* const StartProjectName;  // "projects/splash.zlm"
