#include "app/forms/Unitimagebrowser.h"

#include <algorithm>

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QBitmap>
#include <QComboBox>
#include <QEvent>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/forms/Unitglobal.h"
#include "engine/XBlend.h"
#include "engine/XImage.h"
#include "platform/Canvas.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtImage.h"
#include "platform/gui/QtServices.h"

TFormImageBrowser* FormImageBrowser = nullptr;
bool TFormImageBrowser::FBusy = false;

namespace {
constexpr int ThumbButtonSize = 92;
constexpr int ThumbSize = 70;
// The glyph's transparent colour; the thumbnail's background is the scroll box's colour.
constexpr TColor GlyphTransparent = 0xFF00FF;
}  // namespace

void SortFileNames(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
}

TFormImageBrowser::TFormImageBrowser(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
  setObjectName("FormImageBrowser");
  setWindowTitle("Image Browser");
  resize(523, 373);

  PanelLeft = new QWidget;
  PanelLeft->setObjectName("PanelLeft");
  // The folder tree's model is made when the window is shown (CreateFolderModel).
  DirectoryListBox = new QTreeView(PanelLeft);
  DirectoryListBox->setObjectName("DirectoryListBox");
  DirectoryListBox->header()->hide();
  DriveComboBox = new QComboBox(PanelLeft);
  DriveComboBox->setObjectName("DriveComboBox");
  auto* left = new QVBoxLayout(PanelLeft);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(2);
  left->addWidget(DirectoryListBox, 1);
  left->addWidget(DriveComboBox);

  auto* right = new QWidget;
  PanelTop = new QWidget(right);
  PanelTop->setObjectName("PanelTop");
  ButtonRefresh = new QPushButton("Refresh", PanelTop);
  ButtonRefresh->setObjectName("ButtonRefresh");
  auto* top = new QHBoxLayout(PanelTop);
  top->setContentsMargins(4, 4, 4, 4);
  top->addStretch();
  top->addWidget(ButtonRefresh);
  ScrollBox = new QScrollArea(right);
  ScrollBox->setObjectName("ScrollBox");
  // The rows fill the width, so only the vertical bar is needed; kept on, it never changes
  // the width the rows are laid out for.
  ScrollBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  FContent = new QWidget;
  FContent->setObjectName("ScrollBoxContent");
  ScrollBox->setWidget(FContent);
  ScrollBox->setWidgetResizable(false);
  ScrollBox->viewport()->installEventFilter(this);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->setSpacing(0);
  rightLayout->addWidget(PanelTop);
  rightLayout->addWidget(ScrollBox, 1);

  Splitter1 = new QSplitter(Qt::Horizontal);
  Splitter1->setObjectName("Splitter1");
  Splitter1->addWidget(PanelLeft);
  Splitter1->addWidget(right);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({170, 353});
  StatusBar = new QStatusBar;
  StatusBar->setObjectName("StatusBar");
  StatusBar->setSizeGripEnabled(true);
  SpeedButton1 = new QToolButton(this);
  SpeedButton1->setObjectName("SpeedButton1");
  SpeedButton1->hide();

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(Splitter1, 1);
  outer->addWidget(StatusBar);

  SetDirectory(GetCurrentDir());

  connect(ButtonRefresh, &QPushButton::clicked, this, &TFormImageBrowser::ButtonRefreshClick);
  connect(DriveComboBox, &QComboBox::activated, this, &TFormImageBrowser::DriveComboBoxChange);
}

namespace {
// One folder picture for every folder of the tree, and none for anything else: the model
// asks for the picture of every entry it reads, and a look-up in the desktop's icon theme for
// each file of a large folder would cost more than the whole listing.
class TFolderIconProvider : public QAbstractFileIconProvider {
 public:
  explicit TFolderIconProvider(const QIcon& folder) : FFolder(folder) {}
  QIcon icon(IconType type) const override { return type == Folder || type == Drive ? FFolder : QIcon(); }
  QIcon icon(const QFileInfo& info) const override { return info.isDir() ? FFolder : QIcon(); }

 private:
  const QIcon FFolder;
};
}  // namespace

// The tree of folders exists only while the window may show it: the hidden browser costs the
// program nothing, reads no folder and watches none. Made anew at each showing, the tree
// shows the folders as they are then; it reads them in the background and does not watch
// them for changes.
void TFormImageBrowser::CreateFolderModel() {
  DropFolderModel();
  if (!FIcons) FIcons = std::make_unique<TFolderIconProvider>(style()->standardIcon(QStyle::SP_DirIcon));
  FModel = new QFileSystemModel(this);
  FModel->setOptions(QFileSystemModel::DontWatchForChanges | QFileSystemModel::DontResolveSymlinks |
                     QFileSystemModel::DontUseCustomDirectoryIcons);
  FModel->setIconProvider(FIcons.get());
  FModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  FModel->setRootPath("/");
  DirectoryListBox->setModel(FModel);
  for (int c = 1; c < FModel->columnCount(); ++c) DirectoryListBox->hideColumn(c);
  connect(DirectoryListBox->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!current.isValid() || !FModel) return;
            std::string folder = FromQString(FModel->filePath(current));
            if (folder == FDirectory) return;
            FDirectory = folder;
            DirectoryListBoxChange();
          });
  // The model reads folders in the background; the current folder comes into view once the
  // folders above it are there.
  connect(FModel, &QFileSystemModel::directoryLoaded, this, [this] {
    if (!FModel) return;
    QModelIndex current = FModel->index(ToQString(FDirectory));
    if (current.isValid()) DirectoryListBox->scrollTo(current, QAbstractItemView::PositionAtCenter);
  });
  if (DriveComboBox->count() == 0) FillDrives();
  SetDirectory(FDirectory);
}

void TFormImageBrowser::DropFolderModel() {
  if (!FModel) return;
  // Later: the model's own signal may be what led here.
  QFileSystemModel* model = FModel;
  FModel = nullptr;
  if (QItemSelectionModel* selection = DirectoryListBox->selectionModel()) selection->disconnect(this);
  model->disconnect(this);
  DirectoryListBox->setModel(nullptr);
  model->deleteLater();
}

TFormImageBrowser::~TFormImageBrowser() {
  FStopListing = true;
  DropFolderModel();
  // Every model, also one still waiting to be deleted, goes before the pictures it asks
  // for from its reader in the background.
  qDeleteAll(findChildren<QFileSystemModel*>());
  if (FormImageBrowser == this) FormImageBrowser = nullptr;
}

bool TFormImageBrowser::Execute() { return exec() == QDialog::Accepted; }

void TFormImageBrowser::FillDrives() {
  QStringList roots;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
    if (v.isValid() && v.isReady() && !roots.contains(v.rootPath())) roots << v.rootPath();
  if (!roots.contains("/")) roots << "/";
  roots.sort();
  DriveComboBox->addItems(roots);
}

void TFormImageBrowser::SetDirectory(const std::string& folder) {
  std::string f = ExcludeTrailingPathDelimiter(folder);
  if (f.empty()) f = "/";
  FDirectory = f;
  if (!FModel) return;
  QModelIndex index = FModel->index(ToQString(f));
  {
    QSignalBlocker block(DirectoryListBox->selectionModel());
    DirectoryListBox->setCurrentIndex(index);
  }
  if (index.isValid()) {
    DirectoryListBox->expand(index);
    DirectoryListBox->scrollTo(index);
  }
  int drive = DriveComboBox->findText(QStorageInfo(ToQString(f)).rootPath());
  if (drive >= 0) DriveComboBox->setCurrentIndex(drive);
}

void TFormImageBrowser::showEvent(QShowEvent* e) {
  CreateFolderModel();
  QDialog::showEvent(e);
  FStopListing = false;
  // After the window is up, so that the listing shows its progress in it.
  QTimer::singleShot(0, this, [this] {
    if (isVisible()) FormShow();
  });
}

void TFormImageBrowser::hideEvent(QHideEvent* e) {
  // A listing still running when the dialog closes stops; the next showing lists again.
  if (FBusy) FStopListing = true;
  QDialog::hideEvent(e);
  DropFolderModel();
}

bool TFormImageBrowser::eventFilter(QObject* watched, QEvent* e) {
  if (watched == ScrollBox->viewport() && e->type() == QEvent::Resize) ScrollBoxResize();
  return QDialog::eventFilter(watched, e);
}

void TFormImageBrowser::FormShow() {
  if (FDirectory != FLastFolder) ButtonRefreshClick();
}

void TFormImageBrowser::DirectoryListBoxChange() { ButtonRefreshClick(); }

void TFormImageBrowser::DriveComboBoxChange() {
  SetDirectory(FromQString(DriveComboBox->currentText()));
  DirectoryListBoxChange();
}

QList<QToolButton*> TFormImageBrowser::Thumbnails() const {
  return FContent->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
}

void TFormImageBrowser::ButtonRefreshClick() {
  if (FBusy) return;
  FBusy = true;
  ButtonRefresh->setEnabled(false);
  ButtonRefresh->setText("Cancel");
  // Whatever a picture does on the way, the button and the flag come back.
  struct Restore {
    TFormImageBrowser* f;
    ~Restore() {
      f->ButtonRefresh->setText("Refresh");
      f->ButtonRefresh->setEnabled(true);
      FBusy = false;
    }
  } restore{this};

  bool stopped = false;
  int shown = 0;
  do {
    qDeleteAll(Thumbnails());
    ScrollBoxResize();
    FLastFolder = FDirectory;
    std::vector<std::string> files;
    ListFiles(files, IncludeTrailingPathDelimiter(FLastFolder) + "*.*");
    SortFileNames(files);
    shown = 0;
    for (size_t i = 0; i < files.size() && !stopped; ++i) {
      const std::string& file = files[i];
      StatusBarSetSimpleText(StatusBar, "Reading " + IntToStr(int(i + 1)) + " of " +
                                            IntToStr(int(files.size())) + ": " + ExtractFileName(file));
      XImage image;
      LoadThumbnailPicture(image, file);
      QCoreApplication::processEvents();
      if (FStopListing) stopped = true;
      if (stopped || FDirectory != FLastFolder) break;
      if (image.Width() < 1 || image.Height() < 1) continue;
      image.SetTransparent(false);
      XImage thumb;
      thumb.SetSize(ThumbSize, ThumbSize);
      thumb.Canvas().Brush.SetColor(QColorToTColor(ScrollBox->palette().color(QPalette::Window)));
      thumb.Canvas().FillRect(TRect{0, 0, ThumbSize, ThumbSize});
      thumb.SetTransparentColor(GlyphTransparent);
      DrawGraphicCentred(thumb, image);
      AddThumbnail(ExtractFileName(file), BitmapToQImage(thumb));
      ++shown;
    }
    // A folder chosen while this one was read is listed now.
  } while (!stopped && FDirectory != FLastFolder);
  if (stopped) FLastFolder.clear();
  StatusBarSetSimpleText(
      StatusBar, stopped ? std::string()
                         : FLastFolder + "  (" + IntToStr(shown) + (shown == 1 ? " picture)" : " pictures)"));
}

void TFormImageBrowser::AddThumbnail(const std::string& caption, const QImage& glyph) {
  QPixmap pixmap = QPixmap::fromImage(glyph);
  pixmap.setMask(
      QBitmap::fromImage(glyph.createMaskFromColor(TColorToQColor(GlyphTransparent).rgb(), Qt::MaskInColor)));
  auto* button = new QToolButton(FContent);
  button->setObjectName("Thumbnail");
  button->setGeometry(-ThumbButtonSize, -ThumbButtonSize, ThumbButtonSize, ThumbButtonSize);
  button->setIcon(QIcon(pixmap));
  button->setIconSize(QSize(ThumbSize, ThumbSize));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  // The caption is the file name as it stands; "&" would otherwise mark a shortcut.
  button->setText(ToQString(caption).replace("&", "&&"));
  button->setToolTip(ToQString(caption));
  button->setProperty("Caption", ToQString(caption));
  connect(button, &QToolButton::clicked, this, [this, button] { SpeedButton1Click(button); });
  button->show();
  ScrollBoxResize();
}

void TFormImageBrowser::ScrollBoxResize() {
  int clientWidth = ScrollBox->viewport()->width();
  int x = 0, y = 0, right = 0, bottom = 0;
  for (QToolButton* b : Thumbnails()) {
    b->setGeometry(x, y, b->width(), b->height());
    right = std::max(right, x + b->width());
    bottom = std::max(bottom, y + b->height());
    x += b->width();
    if (x > clientWidth - b->width()) {
      x = 0;
      y += b->height();
    }
  }
  FContent->resize(std::max(clientWidth, right), bottom);
}

void TFormImageBrowser::SpeedButton1Click(QAbstractButton* sender) {
  FileName = IncludeTrailingPathDelimiter(FLastFolder) + FromQString(sender->property("Caption").toString());
  accept();
}
