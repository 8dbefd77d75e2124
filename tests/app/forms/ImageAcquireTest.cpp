// The picture dialogs: the URL dialog's scheme chooser and checks, a download from a local
// server, the thumbnail browser, the clip-art gallery and the scanner button.
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "POP/PopForms.h"
#include "app/AppEnvironment.h"
#include "app/forms/Unitediturl.h"
#include "app/forms/Unitglobal.h"
#include "app/forms/Unitimageacquire.h"
#include "app/forms/Unitimagebrowser.h"
#include "app/forms/Unitpleasewait.h"
#include "engine/XImage.h"
#include "platform/Canvas.h"
#include "platform/ImgScan.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"
#include "tests/support/HttpServer.h"
#include "tests/support/SaneConfig.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/ShippedHome.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

// A picture file of one colour, written by the image class.
void WritePicture(const std::string& name, int w, int h, TColor colour) {
  XImage image;
  image.SetSize(w, h);
  image.Canvas().Brush.SetColor(colour);
  image.Canvas().FillRect(TRect{0, 0, w, h});
  image.SaveToFile(name);
}

// Runs `step` once the next modal loop (a dialog's exec) is running.
void WhenModal(std::function<void()> step) { QTimer::singleShot(0, step); }

// A program folder with the shipped files, scripted boxes and no scanner unless asked.
struct PictureHome {
  ScopedSaneBackends sane{""};
  TempDir dir, cache;
  ScopedEnv home{"ZELMORA_HOME", dir.Path()}, config{"ZELMORA_CONFIG", dir.File("config")},
      cacheEnv{"ZELMORA_CACHE", cache.Path()};
  ScriptedServices services;
  PictureHome() {
    fs::copy(ZELMORA_DATA, dir.Path(), fs::copy_options::recursive);
    ReleaseEnvironment();
  }
  ~PictureHome() {
    FreeBanner();
    ReleaseEnvironment();
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> t;
    for (auto& b : services.Boxes) t.push_back(b.text);
    services.Boxes.clear();
    return t;
  }
};

TEST(EditURL, SchemeChooserReplacesTheScheme) {
  struct Case {
    const char* text;
    int item;
    const char* want;
  } cases[] = {
      {"ftp://example.org/a.gif", 3, "http://example.org/a.gif"},
      {"mailto:me@example.org", 0, "me@example.org"},
      {"c:/pictures/a.gif", 1, "file:///pictures/a.gif"},
      {"www.example.org", 4, "https://www.example.org"},
      {"news:comp.graphics", 2, "ftp://comp.graphics"},
      {"http://host:8080/x:y", 2, "ftp://host:8080/x:y"},
      {"", 3, "http://"},
  };
  for (const Case& c : cases) EXPECT_EQ(UrlChangeScheme(c.text, c.item), c.want) << c.text;

  ScriptedServices services;
  TFormEditURL form;
  EXPECT_EQ(form.windowTitle(), "Download Remote File");
  EXPECT_EQ(form.size(), QSize(329, 111));
  ASSERT_EQ(form.ComboBoxType->count(), 5);
  EXPECT_EQ(form.ComboBoxType->maxVisibleItems(), 5);
  EXPECT_EQ(form.ComboBoxType->currentIndex(), 0);
  form.EditURL->setText("gopher://example.org/pic.png");
  // Only the user's choice rewrites the address.
  form.ComboBoxType->setCurrentIndex(3);
  EXPECT_EQ(form.EditURL->text(), "gopher://example.org/pic.png");
  emit form.ComboBoxType->activated(3);
  EXPECT_EQ(form.EditURL->text(), "http://example.org/pic.png");
}

// The chooser offers the schemes a picture can be fetched by, and OK takes an address of
// each of them.
TEST(EditURL, EveryOfferedSchemeIsTaken) {
  ScriptedServices services;
  TFormEditURL form;
  std::vector<std::string> offered;
  for (int i = 1; i < form.ComboBoxType->count(); ++i) {
    offered.push_back(form.ComboBoxType->itemText(i).toStdString());
    SCOPED_TRACE(offered.back());
    WhenModal([&form, i] {
      form.EditURL->setText("localhost/tmp/pic.png");
      form.ComboBoxType->setCurrentIndex(i);
      emit form.ComboBoxType->activated(i);
      form.ButtonOK->click();
      if (form.isVisible()) form.ButtonCancel->click();
    });
    EXPECT_TRUE(form.Execute()) << (services.Boxes.empty() ? "" : services.Boxes.back().text);
    EXPECT_EQ(form.URL, offered.back() + "//localhost/tmp/pic.png");
    EXPECT_EQ(services.Boxes.size(), 0u);
  }
  EXPECT_EQ(offered, (std::vector<std::string>{"file:", "ftp:", "http:", "https:"}));
}

TEST(EditURL, OnlyFetchableAddressesAreTaken) {
  struct Case {
    std::string url;
    bool ok;
  } cases[] = {
      {"http://127.0.0.1/a.png", true},
      {"https://example.org", true},
      {"file:///tmp/a.png", true},
      {"file://localhost/tmp/a.png", true},
      {"", false},
      {"http://", false},
      {"www.example.org/a.gif", false},
      {"ftp://example.org/a.gif", true},
      {"FTP://127.0.0.1:2121/dir/a.gif", true},
      {"ftp:///a.gif", false},
      {"gopher://example.org/a.gif", false},
      {"telnet://example.org", false},
      {"javascript:alert(1)", false},
      {"mailto:me@example.org", false},
      {"file://server/share/a.png", false},
      {"http://example.org/a b.png", false},
      {"http://example.org/\n.png", false},
      {"http://example.org/" + std::string(3000, 'a'), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UrlDownloadProblem(c.url).empty(), c.ok) << c.url << ": " << UrlDownloadProblem(c.url);

  ScriptedServices services;
  TFormEditURL form;
  form.URL = "http://example.org/old.png";
  WhenModal([&] {
    EXPECT_EQ(form.EditURL->text(), "http://example.org/old.png");
    form.EditURL->setText("gopher://example.org/new.png");
    form.ButtonOK->click();
    // Refused with a reason; the dialog stays.
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(services.Boxes.size(), 1u);
    EXPECT_NE(services.Boxes[0].text.find("ftp, http"), std::string::npos) << services.Boxes[0].text;
    form.ButtonCancel->click();
  });
  EXPECT_FALSE(form.Execute());
  EXPECT_EQ(form.URL, "http://example.org/old.png");

  WhenModal([&] {
    form.EditURL->setText("  http://example.org/new.png ");
    SaveGrab(form, "editurl-typed");
    form.ButtonOK->click();
  });
  EXPECT_TRUE(form.Execute());
  EXPECT_EQ(form.URL, "http://example.org/new.png");
  EXPECT_EQ(services.Boxes.size(), 1u);
}

// The URL dialog answered with `url` and OK, from inside the acquisition dialog's handler.
void DownloadThrough(TFormImageAcquire& acquire, TFormEditURL& url, const std::string& address) {
  WhenModal([&url, address] {
    url.EditURL->setText(QString::fromStdString(address));
    url.ButtonOK->click();
  });
  acquire.ButtonDownloadClick();
}

size_t FilesIn(const std::string& folder) {
  if (!fs::exists(folder)) return 0;
  return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(ImageAcquire, DownloadLandsInTheCacheAndFailuresChangeNothing) {
  PictureHome home;
  TempDir site;
  WritePicture(site.File("pic.png"), 40, 30, clRed);
  WriteAll(site.File("broken.png"), "\x89PNG\r\n\x1a\nnot really");
  HttpServer server(site.Path());
  ASSERT_GT(server.Port, 0) << "/usr/bin/python3 with http.server is needed for this test";
  std::string base = "http://127.0.0.1:" + std::to_string(server.Port) + "/";

  TFormEditURL url;
  FormEditURL = &url;
  TFormImageAcquire acquire;
  acquire.show();

  DownloadThrough(acquire, url, base + "pic.png");
  EXPECT_EQ(home.Texts(), std::vector<std::string>{});
  EXPECT_EQ(acquire.Picture().Width(), 40);
  EXPECT_EQ(acquire.Picture().Height(), 30);
  std::string cached = acquire.Picture().FileName;
  EXPECT_EQ(cached.rfind(IncludeTrailingPathDelimiter(home.cache.Path()), 0), 0u) << cached;
  EXPECT_EQ(ExtractFileExt(cached), ".png");
  EXPECT_EQ(url.URL, base + "pic.png");
  SaveGrab(acquire, "imageacquire");

  // A missing file and a broken picture: a box each, the picture and its name stay, and
  // the broken download does not stay in the cache.
  size_t files = FilesIn(home.cache.Path());
  DownloadThrough(acquire, url, base + "missing.png");
  DownloadThrough(acquire, url, base + "broken.png");
  std::vector<std::string> boxes = home.Texts();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[0].find("could not be downloaded"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[1].find("not a picture"), std::string::npos) << boxes[1];
  EXPECT_EQ(acquire.Picture().Width(), 40);
  EXPECT_EQ(acquire.Picture().FileName, cached);
  EXPECT_EQ(FilesIn(home.cache.Path()), files);

  // A file of this machine is read where it lies.
  DownloadThrough(acquire, url, "file://" + site.File("pic.png"));
  EXPECT_EQ(acquire.Picture().FileName, site.File("pic.png"));

  // An FTP address is fetched into the cache as an HTTP one is.
  WritePicture(site.File("ftp.png"), 24, 12, clBlue);
  FtpServer ftp(site.Path());
  ASSERT_GT(ftp.Port, 0) << "python3-pyftpdlib is required by this test; run scripts/setup";
  DownloadThrough(acquire, url, "ftp://127.0.0.1:" + std::to_string(ftp.Port) + "/ftp.png");
  EXPECT_EQ(home.Texts(), std::vector<std::string>{});
  EXPECT_EQ(acquire.Picture().Width(), 24);
  EXPECT_EQ(acquire.Picture().FileName.rfind(IncludeTrailingPathDelimiter(home.cache.Path()), 0), 0u);

  acquire.ButtonClearClick();
  EXPECT_EQ(acquire.Picture().Width(), 0);
  EXPECT_EQ(acquire.Picture().FileName, "");
  FormEditURL = nullptr;
}

TEST(ImageBrowser, ThumbnailsOfGoodPicturesOnly) {
  PictureHome home;
  TempDir folder, empty;
  WritePicture(folder.File("b wide.bmp"), 60, 20, clBlue);
  WritePicture(folder.File("A tall.png"), 10, 50, clGreen);
  WritePicture(folder.File("c&d.gif"), 8, 8, clRed);
  WriteAll(folder.File("broken.png"), "\x89PNG\r\n\x1a\n garbage");
  WriteAll(folder.File("truncated.bmp"), ReadAll(folder.File("b wide.bmp")).substr(0, 70));
  WriteAll(folder.File("notes.txt"), "not a picture");
  WriteAll(folder.File("noext"), "");
  // A header that claims 100000 x 100000 pixels.
  std::string huge = ReadAll(folder.File("b wide.bmp")).substr(0, 54);
  for (int at : {18, 22}) {
    int32_t v = 100000;
    std::memcpy(&huge[at], &v, 4);
  }
  WriteAll(folder.File("huge.bmp"), huge);
  fs::create_directory(folder.File("sub.png"));

  TFormImageBrowser browser;
  EXPECT_EQ(browser.windowTitle(), "Image Browser");
  browser.SetDirectory(folder.Path());
  browser.show();
  QApplication::processEvents();  // the first showing lists the folder
  EXPECT_EQ(browser.LastFolder(), folder.Path());
  QList<QToolButton*> thumbs = browser.Thumbnails();
  QStringList captions;
  for (QToolButton* t : thumbs) captions << t->property("Caption").toString();
  EXPECT_EQ(captions, (QStringList{"A tall.png", "b wide.bmp", "c&d.gif"}));
  for (QToolButton* t : thumbs) {
    EXPECT_EQ(t->size(), QSize(92, 92));
    EXPECT_EQ(t->iconSize(), QSize(70, 70));
  }
  EXPECT_EQ(browser.ButtonRefresh->text(), "Refresh");
  EXPECT_TRUE(browser.ButtonRefresh->isEnabled());
  EXPECT_FALSE(TFormImageBrowser::Busy());
  SaveGrab(browser, "imagebrowser");

  // Shown again on the same folder: nothing is listed again.
  QToolButton* first = thumbs[0];
  browser.hide();
  browser.show();
  QApplication::processEvents();
  EXPECT_EQ(browser.Thumbnails().value(0), first);

  // A thumbnail chooses its file, "&" and all.
  thumbs[2]->click();
  EXPECT_EQ(browser.result(), QDialog::Accepted);
  EXPECT_EQ(browser.FileName, folder.File("c&d.gif"));

  // A folder without pictures leaves the box empty and the button ready.
  browser.SetDirectory(empty.Path());
  browser.DirectoryListBoxChange();
  EXPECT_TRUE(browser.Thumbnails().isEmpty());
  EXPECT_EQ(browser.ButtonRefresh->text(), "Refresh");
}

TEST(ImageBrowser, ResizingReflowsTheRows) {
  PictureHome home;
  TempDir folder;
  for (int i = 0; i < 7; ++i) WritePicture(folder.File("p" + std::to_string(i) + ".bmp"), 5, 5, clRed);
  TFormImageBrowser browser;
  browser.SetDirectory(folder.Path());
  browser.show();
  QApplication::processEvents();
  ASSERT_EQ(browser.Thumbnails().size(), 7);
  auto rows = [&] {
    int n = 0, lastY = -1;
    for (QToolButton* t : browser.Thumbnails()) {
      if (t->y() != lastY) ++n;
      lastY = t->y();
      EXPECT_LE(t->x() + t->width(), browser.ScrollBox->viewport()->width());
    }
    return n;
  };
  browser.resize(900, 400);
  QApplication::processEvents();
  int wide = rows();
  browser.resize(400, 400);
  QApplication::processEvents();
  int narrow = rows();
  EXPECT_LT(wide, narrow);
  int perRow = std::max(1, browser.ScrollBox->viewport()->width() / 92);
  EXPECT_EQ(narrow, (7 + perRow - 1) / perRow);
}

// A folder chosen while another is being listed: the running listing ends with the new one.
TEST(ImageBrowser, FolderChosenDuringAListingIsListedNext) {
  PictureHome home;
  TempDir a, b;
  for (int i = 0; i < 3; ++i) WritePicture(a.File("a" + std::to_string(i) + ".bmp"), 5, 5, clRed);
  WritePicture(b.File("only.bmp"), 5, 5, clBlue);
  TFormImageBrowser browser;
  browser.SetDirectory(a.Path());
  browser.show();
  bool askedWhileBusy = false;
  QTimer::singleShot(0, [&] {
    askedWhileBusy = TFormImageBrowser::Busy();
    EXPECT_EQ(browser.ButtonRefresh->text(), "Cancel");
    EXPECT_FALSE(browser.ButtonRefresh->isEnabled());
    browser.SetDirectory(b.Path());
    browser.DirectoryListBoxChange();  // returns at once
  });
  browser.ButtonRefreshClick();
  EXPECT_TRUE(askedWhileBusy);
  EXPECT_EQ(browser.LastFolder(), b.Path());
  ASSERT_EQ(browser.Thumbnails().size(), 1);
  EXPECT_EQ(browser.Thumbnails()[0]->property("Caption").toString(), "only.bmp");
}

TEST(ImageAcquire, GalleryListsCategoriesAndPicksClipArt) {
  PictureHome home;
  std::string shapes = GalleryFolder() + "Shapes/";
  WriteAll(shapes + "broken.png", "\x89PNG\r\n\x1a\n garbage");
  WriteAll(shapes + "readme.txt", "words");
  fs::create_directory(GalleryFolder() + "Empty");

  TFormImageAcquire acquire;
  EXPECT_EQ(acquire.windowTitle(), "Image Acquire");
  EXPECT_EQ(acquire.PageControl->tabText(0), "Acquire");
  EXPECT_EQ(acquire.PageControl->tabText(1), "Clip Art");
  acquire.ComboBoxGallery->addItem("stale");
  acquire.show();
  // Opening the list fills it afresh.
  acquire.ComboBoxGallery->showPopup();
  acquire.ComboBoxGallery->hidePopup();
  QStringList names;
  for (int i = 0; i < acquire.ComboBoxGallery->count(); ++i) names << acquire.ComboBoxGallery->itemText(i);
  EXPECT_EQ(names, (QStringList{"Arrows", "Empty", "Shapes", "Symbols"}));
  EXPECT_EQ(acquire.ComboBoxGallery->maxVisibleItems(), 16);

  acquire.ComboBoxGallery->setCurrentText("Shapes");
  acquire.ComboBoxGalleryChange();
  QStringList items;
  for (int i = 0; i < acquire.ListView->count(); ++i) items << acquire.ListView->item(i)->text();
  EXPECT_EQ(items, (QStringList{"Diamond", "Heart", "Ring", "Star"}));
  EXPECT_EQ(TFormImageAcquire::ItemFileName(acquire.ListView->item(3)), shapes + "Star.png");
  QPixmap icon = acquire.ListView->item(0)->icon().pixmap(32, 32);
  EXPECT_EQ(icon.size(), QSize(32, 32));

  acquire.ComboBoxGallery->setCurrentText("Empty");
  acquire.ComboBoxGalleryChange();
  EXPECT_EQ(acquire.ListView->count(), 0);

  // With a picture on the Acquire page, a clip-art choice is the result of OK although the
  // page still shows the old picture; the pixels are released afterwards.
  TempDir own;
  WritePicture(own.File("mine.bmp"), 20, 20, clGreen);
  acquire.Picture().LoadFromFile(own.File("mine.bmp"));
  acquire.ComboBoxGallery->setCurrentText("Shapes");
  acquire.ComboBoxGalleryChange();
  WhenModal([&] {
    EXPECT_EQ(acquire.Picture().Width(), 20);
    acquire.PageControl->setCurrentIndex(1);
    acquire.ListView->setCurrentRow(1);
    EXPECT_EQ(acquire.Picture().FileName, shapes + "Heart.png");
    acquire.ListView->clearSelection();
    EXPECT_EQ(acquire.Picture().FileName, "");
    acquire.ListView->setCurrentRow(1);
    EXPECT_EQ(acquire.Picture().Width(), 20);
    SaveGrab(acquire, "imageacquire-clipart");
    acquire.ButtonOK->click();
  });
  EXPECT_TRUE(acquire.Execute());
  EXPECT_EQ(acquire.Picture().FileName, shapes + "Heart.png");
  EXPECT_EQ(acquire.Picture().Width(), 0);

  // Shown again on the Acquire page, the choice is loaded; Cancel keeps the name.
  acquire.PageControl->setCurrentIndex(0);
  WhenModal([&] {
    EXPECT_EQ(acquire.Picture().Width(), 64);
    acquire.ButtonCancel->click();
  });
  EXPECT_FALSE(acquire.Execute());
  EXPECT_EQ(acquire.Picture().FileName, shapes + "Heart.png");
}

TEST(ImageAcquire, AcquirePageShowsThePictureCentredOrSaysThereIsNone) {
  PictureHome home;
  TempDir folder;
  WritePicture(folder.File("small.bmp"), 20, 10, clRed);
  WritePicture(folder.File("large.bmp"), 800, 500, clBlue);
  TFormImageAcquire acquire;
  acquire.show();
  QApplication::processEvents();
  QSize viewport = acquire.ScrollBox->viewport()->size();
  EXPECT_EQ(acquire.PaintBox->size(), viewport);
  // Only the words: dark pixels in the middle row band, white at the corners.
  QImage empty = acquire.PaintBox->grab().toImage();
  int dark = 0;
  for (int y = viewport.height() / 2 - 8; y < viewport.height() / 2 + 8; ++y)
    for (int x = 0; x < viewport.width(); ++x) dark += qGray(empty.pixel(x, y)) < 128;
  EXPECT_GT(dark, 20);
  EXPECT_EQ(empty.pixelColor(2, 2), QColor(Qt::white));
  SaveGrab(acquire, "imageacquire-empty");

  acquire.Picture().LoadFromFile(folder.File("small.bmp"));
  acquire.TabSheet1Show();
  QImage small = acquire.PaintBox->grab().toImage();
  int cx = (viewport.width() - 20) / 2, cy = (viewport.height() - 10) / 2;
  EXPECT_EQ(small.pixelColor(cx, cy), QColor(Qt::red));
  EXPECT_EQ(small.pixelColor(cx - 1, cy), QColor(Qt::white));

  // A picture larger than the box scrolls.
  acquire.Picture().LoadFromFile(folder.File("large.bmp"));
  acquire.TabSheet1Show();
  EXPECT_EQ(acquire.PaintBox->size(), QSize(800, 500));
  EXPECT_GT(acquire.ScrollBox->horizontalScrollBar()->maximum(), 0);
  EXPECT_GT(acquire.ScrollBox->verticalScrollBar()->maximum(), 0);
}

TEST(ImageAcquire, BrowseLoadsTheChosenThumbnail) {
  PictureHome home;
  TempDir folder;
  WritePicture(folder.File("one.bmp"), 33, 22, clBlue);
  TFormImageBrowser browser;
  FormImageBrowser = &browser;
  browser.SetDirectory(folder.Path());
  TFormImageAcquire acquire;
  acquire.show();
  QTimer::singleShot(0, [&] {
    QApplication::processEvents();
    ASSERT_EQ(browser.Thumbnails().size(), 1);
    browser.Thumbnails()[0]->click();
  });
  acquire.ButtonBrowseClick();
  EXPECT_EQ(acquire.Picture().FileName, folder.File("one.bmp"));
  EXPECT_EQ(acquire.Picture().Width(), 33);
  FormImageBrowser = nullptr;
}

TEST(ImageAcquire, ScanWithoutAScannerSaysSo) {
  PictureHome home;
  TFormImageAcquire acquire;
  ASSERT_NE(acquire.Scanner(), nullptr);
  EXPECT_TRUE(acquire.ButtonScan->isEnabled());
  acquire.show();
  acquire.ButtonScan->click();
  std::vector<std::string> boxes = home.Texts();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("No scanner was found"), std::string::npos) << boxes[0];
  EXPECT_EQ(acquire.Picture().Width(), 0);
  EXPECT_FALSE(FileExists(LocalFile("__SCAN_BUFFER__.bmp")));
}

TEST(ImageAcquire, ScanFromTheVirtualScannerIsShown) {
  PictureHome home;
  ScopedSaneBackends virtualScanner("test");
  TFormImageAcquire acquire;
  acquire.show();
  WriteAll(LocalFile("__SCAN_BUFFER__.bmp"), "an old scan");
  acquire.ButtonScan->click();
  EXPECT_EQ(home.Texts(), std::vector<std::string>{});
  EXPECT_EQ(acquire.Picture().FileName, LocalFile("Scans/Scan 1.bmp"));
  EXPECT_GT(acquire.Picture().Width(), 10);
  EXPECT_GT(acquire.Picture().Height(), 10);
  // Every page keeps its own file, so a texture taken from the first stays as it was.
  std::string first = ReadAll(LocalFile("Scans/Scan 1.bmp"));
  acquire.ButtonScan->click();
  EXPECT_EQ(acquire.Picture().FileName, LocalFile("Scans/Scan 2.bmp"));
  EXPECT_EQ(ReadAll(LocalFile("Scans/Scan 1.bmp")), first);
  EXPECT_FALSE(FileExists(LocalFile("__SCAN_BUFFER__.bmp")));
}

}  // namespace

namespace {

// A host that sends a byte a second: the download runs off the window's thread, so the
// window's timers and input go on all along, and Cancel in the wait indicator (the button or
// the Escape key) stops it at once, also while the transfer waits for the next byte, says
// nothing and leaves nothing behind.
TEST(ImageAcquire, ASlowDownloadKeepsTheWindowsLiveAndCancelStopsItAtOnce) {
  struct Case {
    const char* how;
    std::function<void(TFormPleaseWait&)> cancel;
  } cases[] = {
      {"the Cancel button", [](TFormPleaseWait& w) { w.ButtonCancel->click(); }},
      {"the Escape key", [](TFormPleaseWait& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
  };
  PictureHome home;
  SlowHttpServer server;
  ASSERT_GT(server.Port, 0) << "/usr/bin/python3 with http.server is needed for this test";
  TFormPleaseWait wait;
  SetWaitIndicator(&wait);
  TFormEditURL url;
  FormEditURL = &url;
  TFormImageAcquire acquire;
  acquire.show();
  for (const Case& c : cases) {
    QElapsedTimer clock;
    qint64 cancelledAt = -1;
    int ticks = 0, seen = 0;
    QTimer ticker;
    ticker.setInterval(20);
    // Cancelled just after a byte came, when the transfer has a second to wait for the next:
    // only a cancel that wakes that wait stops it at once.
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      if (cancelledAt >= 0) return;
      ++ticks;
      const int now = wait.Position();
      const bool byteJustCame = now != seen && seen >= 1;
      seen = now;
      if (clock.elapsed() > 1500 && wait.ButtonCancel->isVisible() && byteJustCame) {
        cancelledAt = clock.elapsed();
        c.cancel(wait);
      }
    });
    ticker.start();
    clock.start();
    DownloadThrough(acquire, url, "http://127.0.0.1:" + std::to_string(server.Port) + "/slow.png");
    const qint64 returned = clock.elapsed();
    ticker.stop();
    ASSERT_GE(cancelledAt, 0) << c.how << ": the wait offered no Cancel";
    EXPECT_LT(returned - cancelledAt, 500) << c.how;
    EXPECT_GE(ticks, 10) << c.how << ": the window's thread did not run while the download did";
    EXPECT_TRUE(home.Texts().empty()) << c.how;
    EXPECT_EQ(FilesIn(home.cache.Path()), 0u) << c.how;
    EXPECT_EQ(acquire.Picture().Width(), 0) << c.how;
    EXPECT_EQ(wait.Nesting(), 0) << c.how;
    EXPECT_FALSE(wait.isVisible()) << c.how;
    EXPECT_FALSE(wait.ButtonCancel->isVisible()) << c.how;
  }
  SetWaitIndicator(nullptr);
  FormEditURL = nullptr;
}

}  // namespace
