// The commands that take the page out of the editor, on the real main window: export, preview
// through the image map, print and page setup, the head editor, the Help menu's addresses, the
// about box and the tips, and the Services tab's browser.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "POP/PopInno.h"
#include "POP/gui/PopDialogs.h"
#include "app/forms/Unitaboutbox.h"
#include "app/forms/Unitedithtmlhead.h"
#include "app/forms/Unitimagemap.h"
#include "app/forms/Unittipoftheday.h"
#include "engine/XImage.h"
#include "platform/PrinterService.h"
#include "platform/Registry.h"
#include "platform/gui/QtServices.h"
#include "tests/support/PageBuilderFixture.h"
#include "tests/support/ProgramHome.h"
#include "tests/support/ShippedHome.h"
#include "tests/support/Tools.h"

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A white 200 x 120 page: A and C are selected, B lies between them, unselected, in red.
// The selection's bounds are (8, 8) - (180, 90); the point (85, 45) is B's alone.
const TRect kBounds(8, 8, 180, 90);
const TPoint kOnlyB{85, 45};

std::string OutputProject() {
  return "[Heading]\r\nBGColor=clWhite\r\nLastSelected=-1\r\nNumOfButtons=3\r\n"
         "ProjectWidth=200\r\nProjectHeight=120\r\n" +
         BuilderObject(0, "A", 8, 8, 68, 32, "Shape=1\r\nLinkAddress=home.htm\r\n") +
         BuilderObject(1, "", 50, 20, 120, 60, "Shape=1\r\nColor0=255\r\n") +
         BuilderObject(2, "C", 100, 50, 180, 90, "Shape=1\r\nColor0=16776960\r\n");
}

// The window on the output project with A and C selected, C the current object; the controls
// follow the selection as they do after a click.
std::unique_ptr<TFormMain> StartOnOutputProject(ProgramHome& home, bool select = true) {
  const std::string project = home.dir.File("out.zlm");
  WriteAll(project, OutputProject());
  auto w = StartMainWindow({project});
  EXPECT_EQ(w->Scene->Count(), 3);
  for (int i : {0, 2}) w->Scene->Button(i)->SetSelected(select);
  w->Scene->Button(1)->SetSelected(false);
  w->SyncControlsFromButton(select ? w->Scene->Button(2) : nullptr);
  return w;
}

uint32_t Pixel(const TBitmap& b, int x, int y) {
  return reinterpret_cast<const uint32_t*>(const_cast<TBitmap&>(b).ScanLine(y))[x] & 0xFFFFFFu;
}

// The mean difference per channel between a picture and the page under the bounds.
double MeanDifference(const TBitmap& picture, const TBitmap& page, const TRect& bounds) {
  double sum = 0;
  for (int y = 0; y < bounds.Height(); ++y)
    for (int x = 0; x < bounds.Width(); ++x) {
      uint32_t a = Pixel(picture, x, y), b = Pixel(page, bounds.Left + x, bounds.Top + y);
      for (int shift : {0, 8, 16}) sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
    }
  return sum / (3.0 * bounds.Width() * bounds.Height());
}

// Answers the shared dialogs: a save dialog gets `fileName`; every dialog asked is recorded.
struct DialogScript {
  std::vector<std::string> asked;
  std::string fileName;
  std::string filter;  // the last file dialog's, as it was shown
  bool answer = true;
  DialogScript() {
    SetDialogHook([this](TCommonDialog& d) {
      asked.push_back(d.ClassName());
      if (auto* file = dynamic_cast<TOpenDialog*>(&d)) filter = file->Filter;
      if (auto* save = dynamic_cast<TOpenDialog*>(&d); save && answer) save->FileName = fileName;
      return answer;
    });
  }
  ~DialogScript() { SetDialogHook(nullptr); }
};

// Runs `act` on the next modal dialog once it is up, then accepts or rejects it.
template <class D, class F>
void WhenShown(bool accept, F act) {
  QTimer::singleShot(0, [accept, act] {
    auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
    if (!d) {
      ADD_FAILURE() << "no modal dialog of the expected class";
      if (auto* any = qobject_cast<QDialog*>(QApplication::activeModalWidget())) any->reject();
      return;
    }
    act(d);
    QMetaObject::invokeMethod(d, accept ? "accept" : "reject");
  });
}

void PutRegistry(const std::string& key, const std::string& name, const std::string& value) {
  TRegistry r;
  r.RootKey = HKEY_LOCAL_MACHINE;
  ASSERT_TRUE(r.OpenKey(key, true));
  r.WriteString(name, value);
}

// The publisher's address as the installer records it.
void SetPublisherURL(const std::string& url) {
  PutRegistry("\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Varnholt Zelmora_is1",
              "URLInfoAbout", url);
}

// The masks of a file dialog's filter.
std::set<std::string> OfferedExtensions(const std::string& filter) {
  std::set<std::string> exts;
  for (size_t p = filter.find("*."); p != std::string::npos; p = filter.find("*.", p + 1)) {
    size_t end = filter.find_first_of(";|)", p);
    exts.insert(LowerCase(filter.substr(p + 2, end == std::string::npos ? std::string::npos : end - p - 2)));
  }
  return exts;
}

}  // namespace

// Every format the dialog offers either comes back as the page under the selection, in 24 bits,
// or is refused with a message and leaves no file. The crop is of the rendered page: the
// unselected object between the selected ones is in it.
TEST(OutputCommands, ExportWritesThePagePixelsUnderTheSelectionInEveryOfferedFormat) {
  ProgramHome home;
  auto w = StartOnOutputProject(home);
  const XImage& page = *w->Scene->Page;
  ASSERT_EQ(Pixel(page, kOnlyB.X, kOnlyB.Y), 0xFF0000u);  // B is red on the page

  struct Case {
    const char* ext;
    bool written;
    double tolerance;  // mean difference per channel
    const char* refusal = "could not be exported";
    bool offered = written;
  } cases[] = {{"bmp", true, 0},
               {"dib", true, 0},
               {"png", true, 0},
               {"gif", true, 2},
               {"jpg", true, 6},
               {"jpeg", true, 6},
               {"jpe", true, 6},
               {"ppm", true, 0},
               {"tga", true, 0},
               {"vst", true, 0},
               {"afi", true, 0},
               {"pcx", true, 0},
               {"pcc", true, 0},
               {"tiff", true, 0},
               {"iff", true, 0},
               {"lbm", true, 0},
               {"img", true, 0},
               {"vid", true, 12},
               // Written only at its one size, 512 x 512; this picture is refused for it.
               {"cvp", false, 0, "512x512", true},
               {"tif", false, 0, "\".tiff\""},
               {"ico", false, 0},
               {"wmf", false, 0},
               {"pgm", false, 0},
               {"xbm", false, 0}};
  // The dialog offers every format that is written, and only those; one typed by hand that is
  // only read (.ico, .wmf) or that cannot hold the colours (.pgm, .xbm) is refused with a
  // message, and ".tif" with one that names ".tiff".
  std::map<std::string, bool> written;
  for (const Case& c : cases) written[c.ext] = c.offered;
  std::set<std::string> offered;
  {
    DialogScript dialogs;
    dialogs.answer = false;
    w->MIExportImage->trigger();
    ASSERT_EQ(dialogs.asked, (std::vector<std::string>{"TSavePictureDialog"}));
    offered = OfferedExtensions(dialogs.filter);
  }
  for (const std::string& ext : offered) {
    EXPECT_TRUE(written.count(ext)) << "untested format " << ext;
    EXPECT_TRUE(written[ext]) << "offered but not written: " << ext;
  }
  for (const Case& c : cases)
    if (c.offered) EXPECT_TRUE(offered.count(c.ext)) << "written but not offered: " << c.ext;

  for (const Case& c : cases) {
    SCOPED_TRACE(c.ext);
    DialogScript dialogs;
    dialogs.fileName = home.dir.File(std::string("export.") + c.ext);
    home.TakeBoxes();
    w->MIExportImage->trigger();
    EXPECT_EQ(dialogs.asked, (std::vector<std::string>{"TSavePictureDialog"}));
    std::vector<std::string> boxes = home.TakeBoxes();
    if (!c.written) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_TRUE(Contains(boxes[0], c.refusal)) << boxes[0];
      EXPECT_FALSE(FileExists(dialogs.fileName));
      continue;
    }
    EXPECT_TRUE(boxes.empty()) << boxes[0];
    XImage back;
    back.LoadFromFile(dialogs.fileName);
    ASSERT_EQ(back.Width(), kBounds.Width());
    ASSERT_EQ(back.Height(), kBounds.Height());
    EXPECT_LE(MeanDifference(back, page, kBounds), c.tolerance);
    if (c.tolerance == 0) {
      EXPECT_EQ(Pixel(back, kOnlyB.X - kBounds.Left, kOnlyB.Y - kBounds.Top), 0xFF0000u);
    }
  }
  // ":" and "\\" are letters of a name, in the file's name and in its folder's: the file
  // written is the one chosen, and nothing is written beside it.
  ForceDirectories(home.dir.File("Web: final"));
  ForceDirectories(home.dir.File("out/Logo"));
  WriteAll(home.dir.File("out/Logo/ final.png"), "the user's own file");
  for (const char* name : {"out/Logo: final.png", "Web: final/logo.png", "out/a\\b.png"}) {
    SCOPED_TRACE(name);
    DialogScript dialogs;
    dialogs.fileName = home.dir.File(name);
    home.TakeBoxes();
    w->MIExportImage->trigger();
    std::vector<std::string> boxes = home.TakeBoxes();
    EXPECT_TRUE(boxes.empty()) << boxes[0];
    XImage back;
    back.LoadFromFile(dialogs.fileName);
    EXPECT_EQ(back.Width(), kBounds.Width());
  }
  EXPECT_EQ(ReadAll(home.dir.File("out/Logo/ final.png")), "the user's own file");
  EXPECT_FALSE(DirectoryExists(home.dir.File("out/a")));
  EXPECT_FALSE(DirectoryExists(home.dir.File("Web")));

  // Always 24 bits per pixel, without alpha.
  const std::string bmp = ReadAll(home.dir.File("export.bmp"));
  ASSERT_GT(bmp.size(), 30u);
  EXPECT_EQ(uint8_t(bmp[28]), 24);
  const std::string png = ReadAll(home.dir.File("export.png"));
  ASSERT_GT(png.size(), 26u);
  EXPECT_EQ(uint8_t(png[24]), 8);  // bit depth
  EXPECT_EQ(uint8_t(png[25]), 2);  // colour type: RGB
}

// Nothing selected: each command says so and does nothing else. The export item is disabled without a current
// object, so its handler is run as the item would run it.
TEST(OutputCommands, NothingSelectedIsReportedByExportPreviewAndPrint) {
  ProgramHome home;
  auto w = StartOnOutputProject(home, false);
  EXPECT_FALSE(w->MIExportImage->isEnabled());
  TFormImageMap map;
  FormImageMap = &map;
  TRecordingPrinterService printer(800, 600);
  IPrinterService* previous = SetPrinterService(&printer);
  // Export says so before it asks for a name.
  DialogScript dialogs;
  dialogs.fileName = home.dir.File("none.png");
  home.TakeBoxes();
  w->ExportImageClick(w->MIExportImage);
  EXPECT_EQ(home.TakeBoxes(), (std::vector<std::string>{"There are no buttons selected"}));
  EXPECT_TRUE(dialogs.asked.empty());
  EXPECT_FALSE(FileExists(dialogs.fileName));

  w->MIPreviewInBrowser->trigger();
  w->ToolButtonPreview->trigger();
  EXPECT_EQ(home.TakeBoxes(),
            (std::vector<std::string>{"There is nothing to preview", "There is nothing to preview"}));
  EXPECT_TRUE(home.services.Opened.empty());
  EXPECT_FALSE(FileExists(map.FileName));

  w->MIPrint->trigger();
  EXPECT_EQ(home.TakeBoxes(), (std::vector<std::string>{"There is nothing to print"}));
  EXPECT_TRUE(printer.Calls.empty());
  SetPrinterService(previous);
  FormImageMap = nullptr;
}

// A selection spread over more than one picture can hold, on or off the page, is refused by
// every command that would make a picture of it, before a name is asked or a dialog shown: the
// message says how large the picture would be and what the limit is, nothing is written,
// printed or opened, and the clipboard keeps no older picture. (The site builder takes the
// selection only where it lies on the page, which is never too large.)
TEST(OutputCommands, ASelectionTooLargeForOnePictureIsRefusedBeforeAnyWork) {
  struct Size {
    int left, top, right, bottom;
    const char* said;
  } sizes[] = {{-32767, -32767, 32767, 32767, "65534 x 65534 pixels"},  // both sides too long
               {-10000, 0, 10000, 40, "20000 x 40 pixels"},             // one side too long
               {0, 0, 9000, 9000, "9000 x 9000 pixels"}};               // too many pixels
  for (const Size& z : sizes) {
    SCOPED_TRACE(z.said);
    ProgramHome home;
    const std::string project = home.dir.File("far.zlm");
    WriteAll(project,
             "[Heading]\r\nBGColor=clWhite\r\nLastSelected=1\r\nNumOfButtons=2\r\n"
             "ProjectWidth=200\r\nProjectHeight=120\r\n" +
                 BuilderObject(0, "A", z.left, z.top, z.left + 40, z.top + 20, "Shape=1\r\n") +
                 BuilderObject(1, "B", z.right - 40, z.bottom - 20, z.right, z.bottom, "Shape=1\r\n"));
    auto w = StartMainWindow({project});
    ASSERT_EQ(w->Scene->Count(), 2);
    for (int i : {0, 1}) w->Scene->Button(i)->SetSelected(true);
    w->SyncControlsFromButton(w->Scene->Button(1));
    ASSERT_EQ(w->Scene->GetBounds(false), TRect(z.left, z.top, z.right, z.bottom));
    TFormImageMap map;
    FormImageMap = &map;
    TRecordingPrinterService printer(800, 600);
    IPrinterService* previous = SetPrinterService(&printer);
    DialogScript dialogs;
    dialogs.fileName = home.dir.File("far.png");
    // A dialog that comes up is a failure; it is closed so that the test goes on.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        ADD_FAILURE() << "a dialog was shown: " << d->metaObject()->className();
        d->reject();
      }
    });
    guard.start(50);
    QGuiApplication::clipboard()->setText("older");
    home.TakeBoxes();

    struct Road {
      const char* name;
      std::function<void()> run;
      const char* what;
    } roads[] = {{"export", [&] { w->MIExportImage->trigger(); }, "exported"},
                 {"preview from the menu", [&] { w->MIPreviewInBrowser->trigger(); }, "previewed"},
                 {"preview from the tool bar", [&] { w->ToolButtonPreview->trigger(); }, "previewed"},
                 {"print", [&] { w->MIPrint->trigger(); }, "printed"},
                 {"copy", [&] { w->MICopy->trigger(); }, "copied as a picture"}};
    for (const Road& r : roads) {
      SCOPED_TRACE(r.name);
      try {
        r.run();
      } catch (const std::exception& ex) { ADD_FAILURE() << "escaped: " << ex.what(); }
      std::vector<std::string> boxes = home.TakeBoxes();
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_TRUE(Contains(boxes[0], z.said)) << boxes[0];
      EXPECT_TRUE(Contains(boxes[0], std::string("cannot be ") + r.what)) << boxes[0];
      EXPECT_TRUE(Contains(boxes[0], "16384 pixels on a side")) << boxes[0];
      EXPECT_TRUE(Contains(boxes[0], "67108864 pixels")) << boxes[0];
      EXPECT_FALSE(Contains(boxes[0], "out of range")) << boxes[0];
    }
    guard.stop();
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_FALSE(FileExists(dialogs.fileName));
    EXPECT_TRUE(home.services.Opened.empty());
    EXPECT_FALSE(FileExists(map.FileName));
    EXPECT_TRUE(printer.Calls.empty());
    // The objects themselves are copied; no picture goes with them, not even an older one.
    EXPECT_EQ(w->ClipboardDoc->ReadInteger("Heading", "NumOfButtons", 0), 2);
    EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());
    EXPECT_NE(QGuiApplication::clipboard()->text(), "older");
    SetPrinterService(previous);
    FormImageMap = nullptr;
  }
}

// The tool button writes the image map and its picture and opens them without the dialog; the
// menu shows the dialog with the crop, and only OK redraws the page.
TEST(OutputCommands, PreviewGivesTheImageMapTheCropAndItsBounds) {
  ProgramHome home;
  auto w = StartOnOutputProject(home);
  TFormImageMap map;
  FormImageMap = &map;

  w->ToolButtonPreview->trigger();
  EXPECT_TRUE(home.TakeBoxes().empty());
  EXPECT_FALSE(map.isVisible());
  EXPECT_EQ(map.Scene, w->Scene.get());
  EXPECT_EQ(map.CropRect, kBounds);
  EXPECT_EQ(map.Image, nullptr);  // the crop is freed with the command
  ASSERT_EQ(home.services.Opened.size(), 1u);
  EXPECT_TRUE(Contains(home.services.Opened[0], "preview.htm")) << home.services.Opened[0];
  EXPECT_TRUE(Contains(ReadAll(map.FileName), "home.htm"));
  // The status bar says where the preview went.
  EXPECT_TRUE(Contains(w->StatusBar->currentMessage().toStdString(), map.FileName))
      << w->StatusBar->currentMessage().toStdString();
  XImage picture;
  picture.LoadFromFile(map.ImageFileName());
  EXPECT_EQ(picture.Width(), kBounds.Width());
  EXPECT_EQ(picture.Height(), kBounds.Height());
  EXPECT_EQ(MeanDifference(picture, *w->Scene->Page, kBounds), 0);

  // From the menu: the dialog holds the crop while it is up. B turns green meanwhile; only a
  // dialog closed with OK brings that onto the page.
  for (bool accept : {false, true}) {
    SCOPED_TRACE(accept ? "OK" : "Cancel");
    bool shown = false;
    TFormMain* window = w.get();
    WhenShown<TFormImageMap>(accept, [&, window](TFormImageMap* d) {
      shown = true;
      ASSERT_NE(d->Image, nullptr);
      EXPECT_EQ(d->Image->Width(), kBounds.Width());
      EXPECT_EQ(d->Image->Height(), kBounds.Height());
      EXPECT_EQ(d->CropRect, kBounds);
      TZLMButton* b = window->Scene->Button(1);
      b->Style->Color0 = 0x00FF00;
      b->Changed = true;
    });
    w->StatusBar->clearMessage();
    w->MIPreviewInBrowser->trigger();
    EXPECT_TRUE(shown);
    // Closed without a preview or a save, the dialog wrote nothing to speak of.
    EXPECT_EQ(w->StatusBar->currentMessage().toStdString(), "");
    EXPECT_EQ(map.Image, nullptr);
    EXPECT_EQ(Pixel(*w->Scene->Page, kOnlyB.X, kOnlyB.Y), accept ? 0x00FF00u : 0xFF0000u);
  }
  EXPECT_EQ(home.services.Opened.size(), 1u);

  // A preview that cannot be written is reported, opens nothing and frees the crop all the same.
  ASSERT_TRUE(DeleteFile(map.FileName));
  ASSERT_TRUE(ForceDirectories(map.FileName));  // a folder where the preview's file goes
  w->ToolButtonPreview->trigger();
  std::vector<std::string> boxes = home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(Contains(boxes[0], "The preview could not be written.")) << boxes[0];
  EXPECT_EQ(home.services.Opened.size(), 1u);
  EXPECT_EQ(map.Image, nullptr);
  FormImageMap = nullptr;
}

// The status bar tells what the image-map dialog last wrote: after a preview from the tool bar,
// a Save in the dialog replaces "Preview written to" with what was saved; a Save followed by a
// Preview tells of the preview.
TEST(OutputCommands, TheStatusBarSaysWhatTheImageMapDialogWroteLast) {
  ProgramHome home;
  auto w = StartOnOutputProject(home);
  TFormImageMap map;
  FormImageMap = &map;
  w->ToolButtonPreview->trigger();
  ASSERT_TRUE(Contains(w->StatusBar->currentMessage().toStdString(), "Preview written to "));

  const std::string saved = home.dir.File("menu.htm");
  struct Case {
    const char* name;
    bool previewAfter;
    std::string said, notSaid;
  } cases[] = {{"save", false, "saved as " + saved, "Preview"},
               {"save, then preview", true, "Preview written to " + map.PreviewFileName(), saved}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DialogScript dialogs;
    dialogs.fileName = saved;
    WhenShown<TFormImageMap>(true, [&](TFormImageMap* d) {
      d->ButtonSaveClick();
      if (c.previewAfter) d->ButtonPreviewClick();
    });
    w->MIPreviewInBrowser->trigger();
    ASSERT_TRUE(FileExists(saved));
    const std::string status = w->StatusBar->currentMessage().toStdString();
    EXPECT_TRUE(Contains(status, c.said)) << status;
    EXPECT_FALSE(Contains(status, c.notSaid)) << status;
    home.TakeBoxes();
  }
  FormImageMap = nullptr;
}

// Link addresses typed in the image-map dialog are a change of the page: Exit asks to save
// them, and Undo takes them back, however the dialog was closed.
TEST(OutputCommands, ImageMapLinksCountAsAChangeThatCanBeUndone) {
  for (bool accept : {true, false}) {
    SCOPED_TRACE(accept ? "OK" : "Cancel");
    ProgramHome home;
    auto w = StartOnOutputProject(home);
    TFormImageMap map;
    FormImageMap = &map;
    const std::string before = w->Scene->Button(0)->LinkAddress;
    WhenShown<TFormImageMap>(accept, [](TFormImageMap* d) {
      d->Edit[0]->setText("typed.htm");
      d->Edit[0]->setText("typed-again.htm");
    });
    w->MIPreviewInBrowser->trigger();
    EXPECT_EQ(w->Scene->Button(0)->LinkAddress, "typed-again.htm");
    EXPECT_NE(w->ChangeCount, 0);
    ASSERT_TRUE(w->UndoAvailable);
    home.TakeBoxes();
    home.services.Answers = {IDCANCEL};
    TCloseAction action = caFree;
    w->FormClose(nullptr, action);
    EXPECT_EQ(action, caNone);
    EXPECT_EQ(home.TakeBoxes().size(), 1u);
    w->MIUndo->trigger();
    EXPECT_EQ(w->Scene->Button(0)->LinkAddress, before);
    EXPECT_EQ(w->ChangeCount, 0);
    FormImageMap = nullptr;
  }
}

// Print fits the crop on the page once the print dialog is confirmed; page setup is the shared
// printer-setup dialog.
TEST(OutputCommands, PrintAndPageSetup) {
  ProgramHome home;
  auto w = StartOnOutputProject(home);
  TempDir out;
  SharedPrinter().setOutputFormat(QPrinter::PdfFormat);
  SharedPrinter().setOutputFileName(QString::fromStdString(out.File("print.pdf")));
  TRecordingPrinterService printer(2000, 900);
  IPrinterService* previous = SetPrinterService(&printer);

  WhenShown<QPrintDialog>(false, [](QPrintDialog*) {});
  w->MIPrint->trigger();
  EXPECT_TRUE(printer.Calls.empty());
  ASSERT_NE(w->PrintDialog, nullptr);
  EXPECT_EQ(w->PrintDialog->printer(), &SharedPrinter());

  WhenShown<QPrintDialog>(true, [](QPrintDialog*) {});
  w->MIPrint->trigger();
  EXPECT_EQ(printer.Calls, (std::vector<std::string>{"BeginDoc", "Draw", "EndDoc"}));
  ASSERT_EQ(printer.Drawn.size(), 1u);
  // 172 x 82 scaled by 900 / 82 keeps its proportions and the page's height.
  EXPECT_EQ(printer.Drawn[0].Height(), 900);
  EXPECT_NEAR(printer.Drawn[0].Width(), 172.0 * 900 / 82, 1);
  EXPECT_TRUE(home.TakeBoxes().empty());
  SetPrinterService(previous);

  DialogScript dialogs;
  w->MIPageSetup->trigger();
  EXPECT_EQ(dialogs.asked, (std::vector<std::string>{"TPrinterSetupDialog"}));
}

// The window on the output project printing through the program's own printer service (the
// boxes stay scripted), the shared printer set to A4 upright with even margins in millimetres,
// and a folder for what is printed: a file of it named by `fileName` (a PDF), or none.
struct RealPrinting {
  ProgramHome home;
  std::unique_ptr<TFormMain> w;
  TempDir out;
  QPrinter& printer;
  IPrinterService* previous;
  RealPrinting(double margin, const std::string& fileName)
      : w(StartOnOutputProject(home)), printer(SharedPrinter()), previous(PrinterService()) {
    if (!fileName.empty()) printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName.empty() ? QString() : QString::fromStdString(out.File(fileName)));
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(margin, margin, margin, margin), QPageLayout::Millimeter));
    InstallQtServices();
    SetServices(&home.services);
  }
  ~RealPrinting() { SetPrinterService(previous); }
};

// Page Setup is the page set-up dialog of the printer that Print uses (paper, orientation,
// margins), not a print dialog; the page printed next is the one set up: A5 across, with the
// picture starting at the margins chosen.
TEST(OutputCommands, PageSetupSetsUpThePageThatPrintUses) {
  REQUIRE_TOOL("pdfinfo");
  REQUIRE_TOOL("pdftoppm");
  RealPrinting f(5, "print.pdf");
  ProgramHome& home = f.home;
  auto& w = f.w;
  TempDir& out = f.out;
  QPrinter& printer = f.printer;

  WhenShown<QPageSetupDialog>(true, [&printer](QPageSetupDialog* d) {
    EXPECT_EQ(d->printer(), &printer);
    EXPECT_EQ(d->windowTitle(), "Page Setup");
    for (QPushButton* b : d->findChildren<QPushButton*>())
      EXPECT_FALSE(b->text().contains("Print")) << b->text().toStdString();
    auto* paper = d->findChild<QComboBox*>("pageSizeCombo");
    auto* across = d->findChild<QRadioButton*>("landscape");
    auto* left = d->findChild<QDoubleSpinBox*>("leftMargin");
    auto* top = d->findChild<QDoubleSpinBox*>("topMargin");
    ASSERT_TRUE(paper && across && left && top) << "the dialog offers paper, orientation and margins";
    int a5 = paper->findText("A5");
    ASSERT_GE(a5, 0);
    paper->setCurrentIndex(a5);
    across->click();
    left->setValue(40);
    top->setValue(25);
    SaveGrab(*d, "pagesetup");
  });
  w->MIPageSetup->trigger();
  const QPageLayout layout = printer.pageLayout();
  EXPECT_EQ(layout.pageSize().id(), QPageSize::A5);
  EXPECT_EQ(layout.orientation(), QPageLayout::Landscape);
  EXPECT_NEAR(layout.margins(QPageLayout::Millimeter).left(), 40, 0.01);
  EXPECT_NEAR(layout.margins(QPageLayout::Millimeter).top(), 25, 0.01);

  WhenShown<QPrintDialog>(true, [](QPrintDialog*) {});
  w->MIPrint->trigger();
  EXPECT_TRUE(home.TakeBoxes().empty());
  const std::string pdf = out.File("print.pdf");
  ASSERT_TRUE(FileExists(pdf));
  // A5 across is 210 x 148 mm: 595 x 420 points.
  std::string info = ShellOutput("pdfinfo '" + pdf + "' 2>&1");
  double pages = 0, width = 0, height = 0;
  std::sscanf(info.c_str() + std::min(info.size(), info.find("Pages:")), "Pages: %lf", &pages);
  std::sscanf(info.c_str() + std::min(info.size(), info.find("Page size:")), "Page size: %lf x %lf", &width,
              &height);
  EXPECT_EQ(pages, 1) << info;
  EXPECT_NEAR(width, 595.3, 1) << info;
  EXPECT_NEAR(height, 419.5, 1) << info;
  // At 72 dots per inch a dot is a point: the picture begins 40 mm (113 points) from the left
  // and 25 mm (71 points) from the top.
  ASSERT_EQ(system(("pdftoppm -r 72 -png -singlefile '" + pdf + "' '" + out.File("page") + "'").c_str()), 0);
  XImage page;
  page.LoadFromFile(out.File("page.png"));
  ASSERT_EQ(page.Width(), 595);
  int left = page.Width(), topmost = page.Height();
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x)
      if (Pixel(page, x, y) != 0xFFFFFFu) {
        left = std::min(left, x);
        topmost = std::min(topmost, y);
      }
  EXPECT_NEAR(left, 113, 2);
  EXPECT_NEAR(topmost, 71, 2);
}

// What Page Setup sets is what Print prints, through the real dialogs as a user goes: Landscape
// chosen in Page Setup, then a PDF file named in the print dialog. The file is printed across,
// and Page Setup opened again still shows Landscape, print after print.
TEST(OutputCommands, PageSetupOrientationIsPrintedAndKeptForTheSession) {
  REQUIRE_TOOL("pdfinfo");
  // The run's printer as a fresh start finds it: no file named yet.
  RealPrinting f(10, "");
  ProgramHome& home = f.home;
  auto& w = f.w;
  TempDir& out = f.out;
  QPrinter& printer = f.printer;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    bool across = false;
    WhenShown<QPageSetupDialog>(true, [&](QPageSetupDialog* d) {
      auto* landscape = d->findChild<QRadioButton*>("landscape");
      ASSERT_NE(landscape, nullptr);
      across = landscape->isChecked();
      if (round == 0) landscape->click();
    });
    w->MIPageSetup->trigger();
    if (round > 0) EXPECT_TRUE(across) << "Page Setup shows Landscape again";
    const std::string pdf = out.File("print" + std::to_string(round) + ".pdf");
    WhenShown<QPrintDialog>(true, [&](QPrintDialog* d) {
      // The PDF file entry of the printer list, as a user picks it, and the file's name typed.
      if (auto* printers = d->findChild<QComboBox*>("printers"); printers && printers->count() > 0)
        printers->setCurrentIndex(printers->count() - 1);
      auto* file = d->findChild<QLineEdit*>("filename");
      ASSERT_NE(file, nullptr);
      file->setText(QString::fromStdString(pdf));
    });
    w->MIPrint->trigger();
    ASSERT_TRUE(FileExists(pdf));
    std::string info = ShellOutput("pdfinfo '" + pdf + "' 2>&1");
    double width = 0, height = 0;
    std::sscanf(info.c_str() + std::min(info.size(), info.find("Page size:")), "Page size: %lf x %lf", &width,
                &height);
    EXPECT_GT(width, height) << info;
    EXPECT_NEAR(width, 842, 1) << info;  // A4 across
  }
  EXPECT_TRUE(home.TakeBoxes().empty());
}

// The head is kept with the project: an edit confirmed with OK is an unsaved change, counted
// away from zero whichever way the count stands; Cancel changes nothing.
TEST(OutputCommands, HeadEditsCountAsUnsavedChanges) {
  ProgramHome home;
  auto w = StartOnOutputProject(home);
  TFormEditHTMLHead head;
  FormEditHTMLHead = &head;
  struct Case {
    int before;
    bool accept;
    int after;
  } cases[] = {{0, true, 1}, {3, true, 4}, {-1, true, 1}, {0, false, 0}, {2, false, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.before) + (c.accept ? " OK" : " Cancel"));
    w->ChangeCount = c.before;
    const std::string title = "Title " + std::to_string(c.before) + (c.accept ? "a" : "c");
    WhenShown<TFormEditHTMLHead>(
        c.accept, [&](TFormEditHTMLHead* d) { d->EditTitle->setText(QString::fromStdString(title)); });
    w->MIEditHTMLHeader->trigger();
    EXPECT_EQ(w->ChangeCount, c.after);
    EXPECT_EQ(w->Scene->ReadString("Tit") == title, c.accept);
  }
  FormEditHTMLHead = nullptr;
}

// The Help menu's online entries and the updater.
TEST(OutputCommands, HelpEntriesOpenThePublishersAddressesAndTheUpdater) {
  ProgramHome home;
  // Loopback addresses only: nothing leaves the machine.
  SetPublisherURL("http://127.0.0.1:9/zelmora/");
  auto w = StartMainWindow();
  w->TBHomePage->trigger();
  w->TBManual->trigger();
  EXPECT_EQ(home.services.Opened, (std::vector<std::string>{"http://127.0.0.1:9/zelmora/",
                                                            "http://127.0.0.1/zlm/manual/manual.htm"}));

  // The updater: off and inert while none is installed, started with the product code once
  // one is.
  emit w->MIFile->aboutToShow();
  EXPECT_FALSE(w->MIUpgrade->isEnabled());
  w->MIUpgrade->trigger();
  EXPECT_TRUE(home.services.Launched.empty());
  const std::string updater = home.dir.File("kelvora");
  WriteAll(updater, "#!/bin/sh\n");
  chmod(updater.c_str(), 0755);
  PutRegistry("\\Software\\Varnholt\\Kelvora\\", "Path", updater);
  PutRegistry("\\Software\\Varnholt\\Kelvora\\Components\\Varnholt Zelmora", "code", "ZLM");
  emit w->MIFile->aboutToShow();
  EXPECT_TRUE(w->MIUpgrade->isEnabled());
  w->MIUpgrade->trigger();
  EXPECT_EQ(home.services.Launched, (std::vector<std::vector<std::string>>{{updater, "-d=ZLM"}}));
}

// The built-in publisher address lies under a reserved name, where nobody serves the home page
// or the manual: both commands show the page beside the program, and nothing claims the
// computer is offline.
TEST(OutputCommands, HelpEntriesUnderAReservedNameShowTheLocalPage) {
  ProgramHome home;
  auto w = StartMainWindow();
  w->TBHomePage->trigger();
  w->TBManual->trigger();
  EXPECT_TRUE(home.TakeBoxes().empty());
  const std::string local = "file://" + home.dir.File("Services.htm");
  EXPECT_EQ(home.services.Opened, (std::vector<std::string>{local, local}));
}

// About is modal; the tips come up beside the window, and at start when they are switched on.
TEST(OutputCommands, AboutBoxAndTipsOfTheDay) {
  ProgramHome home;
  TFormAboutBox about;
  FormAboutBox = &about;
  TFormTipOfTheDay tips;
  FormTipOfTheDay = &tips;
  for (bool on : {false, true}) {
    SCOPED_TRACE(on ? "tips at start" : "no tips at start");
    tips.hide();
    tips.CheckBoxShow->setChecked(on);
    auto w = StartMainWindow();
    EXPECT_EQ(tips.isVisible(), on);
    tips.hide();

    bool shown = false;
    WhenShown<TFormAboutBox>(true, [&](TFormAboutBox* d) { shown = d->isModal() || d->isVisible(); });
    w->TBAbout->trigger();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(about.isVisible());

    w->TBTipoftheDay->trigger();
    EXPECT_TRUE(tips.isVisible());
  }
  tips.hide();
  FormAboutBox = nullptr;
  FormTipOfTheDay = nullptr;
}

// The Services tab makes its browser when first shown and sends it to the services page when
// the publisher's host answers, else to the page beside the program; a second showing keeps
// the page it has.
TEST(OutputCommands, ServicesTabShowsTheOnlinePageOrTheLocalOne) {
  ProgramHome home;
  SetPublisherURL("http://127.0.0.1/");
  QTcpServer server;
  const bool online = server.listen(QHostAddress::LocalHost, 80);
  if (online) server.close();  // the offline case first, with nothing listening

  {
    auto w = StartMainWindow();
    EXPECT_EQ(w->WebBrowserView, nullptr);  // not made at start
    w->PageControl->setCurrentWidget(w->TabSheetServices);
    ASSERT_NE(w->WebBrowserView, nullptr);
    EXPECT_EQ(w->WebBrowserView->parentWidget(), w->WebBrowser);
    const std::string local = "file://" + home.dir.File("Services.htm");
    EXPECT_EQ(w->WebBrowserLocationURL(), local);
    QSignalSpy loaded(w->WebBrowserView, &QWebEngineView::loadFinished);
    ASSERT_TRUE(loaded.wait(20000));
    EXPECT_TRUE(loaded.first().first().toBool());
    EXPECT_EQ(w->WebBrowserView->title().toStdString(), "Zelmora Services");

    QSignalSpy started(w->WebBrowserView, &QWebEngineView::loadStarted);
    QWebEngineView* view = w->WebBrowserView;
    w->PageControl->setCurrentWidget(w->TabSheetScene);
    w->PageControl->setCurrentWidget(w->TabSheetServices);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->WebBrowserView, view);
    EXPECT_EQ(w->WebBrowserLocationURL(), local);
    EXPECT_EQ(started.count(), 0);

    // The link under the mouse is the status text.
    emit view->page()->linkHovered("http://127.0.0.1/templates.htm");
    EXPECT_EQ(w->StatusBarWebBrowser->currentMessage().toStdString(), "http://127.0.0.1/templates.htm");
  }

  // Port 80 needs root and a free port; elsewhere only the offline case runs.
  if (!online) GTEST_SKIP() << "port 80 of the loopback address could not be taken for the online case";
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 80));
  auto w = StartMainWindow();
  w->PageControl->setCurrentWidget(w->TabSheetServices);
  EXPECT_EQ(w->WebBrowserLocationURL(), "http://127.0.0.1/services.htm");
}
