#include "app/forms/Unitimageacquire.h"

#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <sys/stat.h>
#include <thread>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include "POP/PopForms.h"
#include "POP/PopWinInet.h"
#include "app/AppEnvironment.h"
#include "app/forms/Unitediturl.h"
#include "app/forms/Unitglobal.h"
#include "app/forms/Unitimagebrowser.h"
#include "app/forms/Unitpleasewait.h"
#include "engine/XBlend.h"
#include "engine/XImage.h"
#include "platform/Canvas.h"
#include "platform/ImgScan.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"
#include "platform/gui/QtFixedDialog.h"
#include "platform/gui/QtImage.h"
#include "platform/gui/QtServices.h"

TFormImageAcquire* FormImageAcquire = nullptr;

namespace {
constexpr int GalleryIconSize = 32;
const char* const ScanBufferName = "__SCAN_BUFFER__.bmp";
// Where the scanned pages are kept, in the program folder.
const char* const ScanFolderName = "Scans/";

struct BusyCursor {
  BusyCursor() { Services().SetBusyCursor(true); }
  ~BusyCursor() { Services().SetBusyCursor(false); }
};

// Progress of a scan or download in percent on the wait indicator; the windows are painted
// meanwhile, but no input is taken while the work runs.
void ReportProgress(int64_t done, int64_t total, bool paint = true) {
  if (TWaitIndicator* w = WaitIndicator())
    w->SetProgress(total > 0 ? int(std::min<int64_t>(100, done * 100 / total)) : 0, 100);
  if (paint) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// A download on a thread of its own, so that the windows stay live however slow the server:
// the wait indicator shows its progress and offers Cancel, which stops it at once. This
// thread only waits for it, in an event loop, and reads what it reported.
struct TBackgroundDownload {
  std::string File, Problem;
  bool Cancelled = false;
};

TBackgroundDownload DownloadInBackground(const std::string& url) {
  auto cancel = std::make_shared<TDownloadCancel>();
  std::atomic<int64_t> received{0}, expected{0};
  std::atomic<bool> done{false};
  std::string file, problem;
  std::thread worker([&, cancel] {
    TDownloadLimits limits;
    limits.Cancel = cancel;
    limits.Progress = [&](int64_t r, int64_t e) {
      received = r;
      expected = e;
      return true;
    };
    file = UrlBlockedDownload(url, limits);
    problem = WinINetGetLastResponseString();
    done = true;
  });
  // Whatever happens here, the thread ends before what it writes to goes.
  struct Joiner {
    std::thread& worker;
    TDownloadCancel& cancel;
    ~Joiner() {
      if (!worker.joinable()) return;
      cancel.Cancel();
      worker.join();
    }
  } joiner{worker, *cancel};
  TBackgroundDownload result;
  {
    QEventLoop loop;
    if (auto* wait = dynamic_cast<TFormPleaseWait*>(WaitIndicator()))
      wait->OfferCancel([&] {
        result.Cancelled = true;
        cancel->Cancel();
        loop.quit();
      });
    TScopedWait shown("Downloading...", true);
    // The progress and the end are looked at a few dozen times a second, only while the
    // download runs.
    QTimer tick;
    tick.setInterval(ProgressInterval());
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
      if (done) loop.quit();
      else ReportProgress(received, expected, false);
    });
    tick.start();
    if (!done) loop.exec();
  }
  // At once after a cancel: the transfer's wait for the network is woken.
  if (worker.joinable()) worker.join();
  if (!result.Cancelled) {
    result.File = file;
    result.Problem = problem;
  }
  return result;
}

// The sub-folders of a folder, "." and ".." left out.
std::vector<std::string> ListFolders(const std::string& folder) {
  std::vector<std::string> names;
  DIR* d = opendir(folder.c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (stat((folder + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) names.push_back(name);
  }
  closedir(d);
  return names;
}
}  // namespace

TFormImageAcquire::TFormImageAcquire(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      FPicture(std::make_unique<XImage>()) {
  setObjectName("FormImageAcquire");
  setWindowTitle("Image Acquire");
  MakeFixedSizeDialog(this, QSize(488, 393));

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  PageControl->setGeometry(6, 6, 476, 310);
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName("TabSheet1");
  PageControl->addTab(TabSheet1, "Acquire");
  TabSheet2 = new QWidget;
  TabSheet2->setObjectName("TabSheet2");
  PageControl->addTab(TabSheet2, "Clip Art");

  auto button = [](const char* name, const char* caption, QWidget* parent, int x, int y) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(x, y, 83, 25);
    return b;
  };
  ButtonScan = button("ButtonScan", "Scan", TabSheet1, 8, 8);
  ButtonBrowse = button("ButtonBrowse", "Browse", TabSheet1, 8, 40);
  ButtonDownload = button("ButtonDownload", "Download", TabSheet1, 8, 72);
  ButtonClear = button("ButtonClear", "Clear", TabSheet1, 8, 104);
  ScrollBox = new QScrollArea(TabSheet1);
  ScrollBox->setObjectName("ScrollBox");
  ScrollBox->setGeometry(99, 8, 361, 265);
  ScrollBox->setWidgetResizable(false);
  PaintBox = new TPaintBox;
  PaintBox->setObjectName("PaintBox");
  PaintBox->OnPaint = [this] { PaintBoxPaint(); };
  ScrollBox->setWidget(PaintBox);
  ScrollBox->viewport()->installEventFilter(this);
  TabSheet1->installEventFilter(this);

  Label1 = new QLabel("Gallery:", TabSheet2);
  Label1->setObjectName("Label1");
  Label1->setGeometry(8, 12, 48, 16);
  ComboBoxGallery = new TDropDownComboBox(TabSheet2);
  ComboBoxGallery->setObjectName("ComboBoxGallery");
  ComboBoxGallery->setGeometry(60, 8, 200, 22);
  ComboBoxGallery->setMaxVisibleItems(16);
  ComboBoxGallery->OnDropDown = [this] { ComboBoxGalleryDropDown(); };
  Label1->setBuddy(ComboBoxGallery);
  ListView = new QListWidget(TabSheet2);
  ListView->setObjectName("ListView");
  ListView->setGeometry(8, 38, 452, 235);
  ListView->setViewMode(QListView::IconMode);
  ListView->setIconSize(QSize(GalleryIconSize, GalleryIconSize));
  ListView->setGridSize(QSize(76, 60));
  ListView->setResizeMode(QListView::Adjust);
  ListView->setMovement(QListView::Static);
  ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView->setSelectionMode(QAbstractItemView::SingleSelection);

  ButtonOK = NewDialogButton(this, "ButtonOK", "OK", true);
  ButtonOK->setGeometry(326, 323, 75, 25);
  ButtonCancel = NewDialogButton(this, "ButtonCancel", "Cancel", false);
  ButtonCancel->setGeometry(407, 323, 75, 25);
  PaintBox1 = new TPaintBox(this);
  PaintBox1->setObjectName("PaintBox1");
  PaintBox1->setGeometry(0, 393 - 38, 488, 38);
  PaintBox1->OnPaint = [this] { PaintBox1Paint(); };
  PaintBox1->lower();

  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ButtonScan, &QPushButton::clicked, this, &TFormImageAcquire::ButtonScanClick);
  connect(ButtonBrowse, &QPushButton::clicked, this, &TFormImageAcquire::ButtonBrowseClick);
  connect(ButtonDownload, &QPushButton::clicked, this, &TFormImageAcquire::ButtonDownloadClick);
  connect(ButtonClear, &QPushButton::clicked, this, &TFormImageAcquire::ButtonClearClick);
  connect(ComboBoxGallery, &QComboBox::activated, this, &TFormImageAcquire::ComboBoxGalleryChange);
  // The component library reports the old item's deselection before the new one's selection.
  connect(ListView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            for (const QModelIndex& i : deselected.indexes())
              ListViewSelectItem(ListView->item(i.row()), false);
            for (const QModelIndex& i : selected.indexes()) ListViewSelectItem(ListView->item(i.row()), true);
          });
  FormCreate();
  PictureChanged();
}

TFormImageAcquire::~TFormImageAcquire() {
  ++FGalleryListing;
  if (FormImageAcquire == this) FormImageAcquire = nullptr;
}

void TFormImageAcquire::FormCreate() {
  try {
    FScanner = std::make_unique<TImgScan>();
    FScanner->OnScanDone = [this] { ImgScanScanDone(); };
    ButtonScan->setEnabled(true);
  } catch (const std::exception&) {
    FScanner.reset();
    ButtonScan->setEnabled(false);
  }
}

bool TFormImageAcquire::Execute() {
  PictureChanged();
  bool ok = exec() == QDialog::Accepted;
  FPicture->SetSize(0, 0);
  PictureChanged();
  return ok;
}

bool TFormImageAcquire::eventFilter(QObject* watched, QEvent* e) {
  if (watched == TabSheet1 && e->type() == QEvent::Show) TabSheet1Show();
  if (watched == ScrollBox->viewport() && e->type() == QEvent::Resize) PictureChanged();
  return QDialog::eventFilter(watched, e);
}

std::string TFormImageAcquire::LoadPicture(const std::string& file) {
  try {
    FPicture->LoadFromFile(file);
  } catch (const std::exception& e) { return e.what(); }
  PictureChanged();
  return {};
}

void TFormImageAcquire::PictureChanged() {
  FShownValid = false;
  QSize viewport = ScrollBox->viewport()->size();
  PaintBox->resize(std::max(viewport.width(), FPicture->Width()),
                   std::max(viewport.height(), FPicture->Height()));
  PaintBox->update();
}

void TFormImageAcquire::ButtonScanClick() {
  if (!FScanner) return;
  bool found;
  {
    BusyCursor busy;
    found = FScanner->ScannerAvailable();
  }
  if (!found) {
    Say("No scanner was found. Check that the scanner is connected and switched on, then "
        "try again.",
        MB_ICONEXCLAMATION);
    return;
  }
  std::string buffer = LocalFile(ScanBufferName);
  if (FileExists(buffer)) DeleteFile(buffer);
  FScanner->ScanTo = TImgScan::ScanToFile;
  FScanner->Image = buffer;
  FScanner->FileType = TImgScan::FileTypeBMP;
  FScanner->OnProgress = [](int64_t done, int64_t total) {
    ReportProgress(done, total);
    return true;
  };
  try {
    TScopedWait wait("Scanning...", true);
    FScanner->StartScan();
  } catch (const EAbort&) {
  } catch (const std::exception& e) {
    Say(std::string("The page could not be scanned.\n") + e.what(), MB_ICONEXCLAMATION);
  }
}

std::string KeepScan(const std::string& buffer) {
  std::string folder = LocalFile(ScanFolderName);
  if (!ForceDirectories(folder)) return {};
  for (int n = 1; n < 100000; ++n) {
    std::string name = folder + "Scan " + IntToStr(n) + ".bmp";
    if (FileExists(name)) continue;
    return RenameFile(buffer, name) ? name : std::string();
  }
  return {};
}

void TFormImageAcquire::ImgScanScanDone() {
  // The next scan replaces the buffer, and a texture taken from this scan would change with
  // it; the page moves to a file of its own. Where that fails the buffer is used as it is.
  std::string kept = KeepScan(FScanner->Image);
  const std::string file = kept.empty() ? FScanner->Image : kept;
  std::string problem = LoadPicture(file);
  if (!problem.empty())
    Say("The scanned page " + file + " could not be read.\n" + problem, MB_ICONEXCLAMATION);
}

void TFormImageAcquire::ButtonBrowseClick() {
  if (!FormImageBrowser) FormImageBrowser = new TFormImageBrowser(this);
  if (!FormImageBrowser->Execute()) return;
  std::string problem = LoadPicture(FormImageBrowser->FileName);
  if (!problem.empty())
    Say("The picture " + FormImageBrowser->FileName + " could not be read.\n" + problem, MB_ICONEXCLAMATION);
}

void TFormImageAcquire::ButtonDownloadClick() {
  if (!FormEditURL) FormEditURL = new TFormEditURL(this);
  if (!FormEditURL->Execute()) return;
  const std::string url = FormEditURL->URL;
  std::string local;
  bool downloaded = false;
  if (SameText(UrlGetScheme(url), "file")) {
    // A file of this machine is read where it lies.
    local = FromQString(QUrl(ToQString(url)).toLocalFile());
    if (local.empty() || !FileExists(local)) {
      Say("The file \"" + (local.empty() ? url : local) + "\" does not exist.", MB_ICONEXCLAMATION);
      return;
    }
  } else {
    TBackgroundDownload download = DownloadInBackground(url);
    // Cancelled by the user: nothing to say, and nothing changes.
    if (download.Cancelled) return;
    local = download.File;
    downloaded = true;
    // A failed download leaves the picture and its file name as they were.
    if (local.empty()) {
      Say("The file could not be downloaded from " + url + "." +
              (download.Problem.empty() ? std::string() : "\n" + download.Problem),
          MB_ICONEXCLAMATION);
      return;
    }
  }
  std::string problem = LoadPicture(local);
  if (!problem.empty()) {
    if (downloaded) DeleteFile(local);
    Say("The file at " + url + " is not a picture that can be read.\n" + problem, MB_ICONEXCLAMATION);
  }
}

void TFormImageAcquire::ButtonClearClick() {
  FPicture->SetSize(0, 0);
  FPicture->FileName.clear();
  PictureChanged();
}

void TFormImageAcquire::TabSheet1Show() {
  // Shows a clip-art choice made on the other page. A name that cannot be read shows
  // nothing new: the picture keeps its pixels.
  if (!FPicture->FileName.empty()) LoadPicture(FPicture->FileName);
  PictureChanged();
}

void TFormImageAcquire::PaintBoxPaint() {
  QPainter p(PaintBox);
  p.fillRect(PaintBox->rect(), Qt::white);
  int w = PaintBox->width(), h = PaintBox->height();
  if (FPicture->Width() < 1 || FPicture->Height() < 1) {
    const QString text = "No Image Avaliable";
    QFontMetrics fm(p.font());
    int tw = fm.horizontalAdvance(text), th = fm.height();
    p.setPen(Qt::black);
    p.drawText((w - tw) / 2, (h - th) / 2 + fm.ascent(), text);
    return;
  }
  if (!FShownValid) {
    FShown = QImageOfBitmap(*FPicture);
    FShownValid = true;
  }
  p.drawImage((w - FShown.width()) / 2, (h - FShown.height()) / 2, FShown);
}

void TFormImageAcquire::PaintBox1Paint() { TFormGlobal::PaintBanner(PaintBox1); }

void TFormImageAcquire::ComboBoxGalleryDropDown() {
  ComboBoxGallery->clear();
  std::vector<std::string> folders = ListFolders(GalleryFolder());
  SortFileNames(folders);
  for (const std::string& name : folders) ComboBoxGallery->addItem(ToQString(name));
}

void TFormImageAcquire::ComboBoxGalleryChange() {
  int listing = ++FGalleryListing;
  std::vector<std::string> files;
  std::string chosen = FromQString(ComboBoxGallery->currentText());
  // A name with a separator could reach outside the gallery.
  if (!chosen.empty() && chosen.find_first_of("/\\") == std::string::npos && chosen != "." && chosen != "..")
    ListFiles(files, GalleryFolder() + chosen + "/*.*");
  SortFileNames(files);
  {
    QSignalBlocker block(ListView->selectionModel());
    ListView->clear();
  }
  for (const std::string& file : files) {
    XImage image;
    LoadThumbnailPicture(image, file);
    QCoreApplication::processEvents();
    if (listing != FGalleryListing) return;  // another gallery was chosen meanwhile
    if (image.Width() < 1 || image.Height() < 1) continue;
    XImage thumb;
    thumb.SetSize(GalleryIconSize, GalleryIconSize);
    thumb.Canvas().StretchDraw(TRect{0, 0, GalleryIconSize, GalleryIconSize}, &image);
    auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(QImageOfBitmap(thumb))),
                                     ToQString(ChangeFileExt(ExtractFileName(file), "")));
    item->setData(Qt::UserRole, ToQString("Name=" + file));
    item->setToolTip(ToQString(ExtractFileName(file)));
    ListView->addItem(item);
  }
}

std::string TFormImageAcquire::ItemFileName(const QListWidgetItem* item) {
  if (!item) return {};
  std::string line = FromQString(item->data(Qt::UserRole).toString());
  return line.rfind("Name=", 0) == 0 ? line.substr(5) : std::string();
}

void TFormImageAcquire::ListViewSelectItem(QListWidgetItem* item, bool selected) {
  FPicture->FileName = selected ? ItemFileName(item) : std::string();
}
