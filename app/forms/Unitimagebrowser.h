// The image browser: every picture of a folder as a thumbnail button; a click chooses it.
#pragma once
#include <memory>
#include <string>

#include <QDialog>

class QAbstractButton;
class QAbstractFileIconProvider;
class QComboBox;
class QFileSystemModel;
class QPushButton;
class QScrollArea;
class QSplitter;
class QStatusBar;
class QToolButton;
class QTreeView;
class QWidget;

class TFormImageBrowser : public QDialog {
  Q_OBJECT
 public:
  explicit TFormImageBrowser(QWidget* parent = nullptr);
  ~TFormImageBrowser() override;

  // Shows the browser modally; true when a thumbnail was chosen, its file then in FileName.
  bool Execute();

  void FormShow();
  void DirectoryListBoxChange();
  void DriveComboBoxChange();
  // Lists the folder again. While a listing runs, another request returns at once; when the
  // chosen folder changed meanwhile the running one lists the new folder when it is done.
  void ButtonRefreshClick();
  void ScrollBoxResize();
  void SpeedButton1Click(QAbstractButton* sender);

  // The folder list's current folder, and choosing one (the list shows it and the drive
  // box its volume; the change handler is not called).
  std::string Directory() const { return FDirectory; }
  void SetDirectory(const std::string& folder);
  // The folder listed last (empty until the first listing) and the thumbnails, in order.
  const std::string& LastFolder() const { return FLastFolder; }
  QList<QToolButton*> Thumbnails() const;
  static bool Busy() { return FBusy; }

  std::string FileName;

  QWidget* PanelLeft;
  QTreeView* DirectoryListBox;
  QComboBox* DriveComboBox;
  QSplitter* Splitter1;
  QWidget* PanelTop;
  QPushButton* ButtonRefresh;
  QScrollArea* ScrollBox;
  QStatusBar* StatusBar;
  QToolButton* SpeedButton1;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void AddThumbnail(const std::string& caption, const QImage& glyph);
  void FillDrives();
  void CreateFolderModel();
  void DropFolderModel();
  // The folder tree's model, only while the window is shown, and its one folder picture.
  QFileSystemModel* FModel = nullptr;
  std::unique_ptr<QAbstractFileIconProvider> FIcons;
  QWidget* FContent;
  std::string FDirectory, FLastFolder;
  bool FStopListing = false;
  static bool FBusy;
};

extern TFormImageBrowser* FormImageBrowser;

// The file names of a folder's listing in the order the user sees them: by name, without
// regard to case.
void SortFileNames(std::vector<std::string>& names);
