// The Qt implementation of the platform services: boxes, clipboard, screen, opener and printer.
#include "platform/gui/QtServices.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include "POP/PopForms.h"
#include "platform/Canvas.h"
#include "platform/Graphics.h"
#include "platform/IniFiles.h"
#include "platform/PrinterService.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtFixedDialog.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(QtServices, MessageBoxFlags) {
  using B = QMessageBox;
  struct Case {
    uint32_t flags;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton def;
  } cases[] = {
      {MB_OK, B::Ok, B::NoIcon, B::Ok},
      {MB_YESNO | MB_ICONQUESTION, B::Yes | B::No, B::Question, B::Yes},
      {MB_YESNOCANCEL | MB_ICONEXCLAMATION, B::Yes | B::No | B::Cancel, B::Warning, B::Yes},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, B::Yes | B::No | B::Cancel, B::NoIcon, B::Cancel},
      {MB_OKCANCEL | MB_ICONINFORMATION | MB_DEFBUTTON2, B::Ok | B::Cancel, B::Information, B::Cancel},
      {MB_ABORTRETRYIGNORE | MB_ICONHAND | MB_DEFBUTTON2, B::Abort | B::Retry | B::Ignore, B::Critical,
       B::Retry},
      {MB_RETRYCANCEL | MB_DEFBUTTON3, B::Retry | B::Cancel, B::NoIcon, B::Retry},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MessageBoxButtons(c.flags), c.buttons) << std::hex << c.flags;
    EXPECT_EQ(MessageBoxIcon(c.flags), c.icon) << std::hex << c.flags;
    EXPECT_EQ(MessageBoxDefaultButton(c.flags), c.def) << std::hex << c.flags;
  }
}

TEST(QtServices, MessageBoxResults) {
  using B = QMessageBox;
  struct Case {
    uint32_t flags;
    QMessageBox::StandardButton button;
    int id;
  } cases[] = {
      {MB_OK, B::Ok, IDOK},
      {MB_YESNO, B::Yes, IDYES},
      {MB_YESNO, B::No, IDNO},
      {MB_YESNOCANCEL, B::Cancel, IDCANCEL},
      {MB_ABORTRETRYIGNORE, B::Abort, IDABORT},
      {MB_ABORTRETRYIGNORE, B::Retry, IDRETRY},
      {MB_ABORTRETRYIGNORE, B::Ignore, IDIGNORE},
      // Closed without a button.
      {MB_OK, B::NoButton, IDOK},
      {MB_YESNOCANCEL, B::NoButton, IDCANCEL},
      {MB_OKCANCEL, B::NoButton, IDCANCEL},
      {MB_YESNO, B::NoButton, IDNO},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageBoxResult(c.flags, c.button), c.id) << c.flags;
}

// Presses a button of the next message box once it is up.
void PressWhenShown(QMessageBox::StandardButton button, QString* caption, QString* text) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    *caption = box->windowTitle();
    *text = box->text();
    box->button(button)->click();
  });
}

TEST(QtServices, TheInstalledBoxesAnswerWithThePressedButton) {
  InstallQtServices();
  ApplicationTitle() = "Varnholt Zelmora";
  QString caption, text;
  PressWhenShown(QMessageBox::No, &caption, &text);
  EXPECT_EQ(Warn("Save changes?"), IDNO);
  EXPECT_EQ(caption, "Varnholt Zelmora");
  EXPECT_EQ(text, "Save changes?");
  PressWhenShown(QMessageBox::Yes, &caption, &text);
  EXPECT_TRUE(Ask("Really?"));
  PressWhenShown(QMessageBox::Ok, &caption, &text);
  ShowMessage("Done");
  EXPECT_EQ(text, "Done");
  EXPECT_EQ(caption, "Varnholt Zelmora");
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

// A path in a message is wrapped only after one of its slashes, however long it is and whatever
// blanks and hyphens it holds, so that it can be read as one: on a line of its own (the site
// folder that cannot be made), quoted in a sentence, or as a word. The box shows the same
// letters, and Ctrl+C copies the message as it was given.
TEST(QtServices, APathInAMessageIsWrappedOnlyAfterItsSlashes) {
  InstallQtServices();
  const std::string deep =
      "/home/some-one/My own web pages/zelmora-projects/Summer sale 2026/Sites/"
      "Shop front - autumn/images and-pictures/the very last-folder";
  struct Case {
    const char* what;
    std::string text, path;
  } cases[] = {
      {"on a line of its own", "Could not create site directory\n" + deep + "\nPermission denied.", deep},
      {"quoted", "The texture \"" + deep + "/sky-blue.gif\" cannot be read. It is cut short.",
       deep + "/sky-blue.gif"},
      {"a word",
       "Open /home/some-one/a-very-long-folder-name/another-long-folder-name/yet-another-one/"
       "and-the-last-one-of-them/index-page.htm in a browser, then look at it.",
       "/home/some-one/a-very-long-folder-name/another-long-folder-name/yet-another-one/"
       "and-the-last-one-of-them/index-page.htm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<qsizetype> breaks;
    QString shown, copied;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      auto* label = box->findChild<QLabel*>("qt_msgbox_label");
      ASSERT_NE(label, nullptr);
      shown = label->text();
      // The lines as the label lays them out: its font, its width, its wrapping.
      QTextDocument doc;
      doc.setDefaultFont(label->font());
      doc.setDocumentMargin(0);
      doc.setPlainText(shown);
      doc.setTextWidth(label->contentsRect().width());
      doc.size();  // lays the text out
      for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (int i = 1; i < b.layout()->lineCount(); ++i)
          breaks.push_back(b.position() + b.layout()->lineAt(i).textStart());
      QTest::keySequence(box, QKeySequence::Copy);
      copied = QGuiApplication::clipboard()->text();
      box->button(QMessageBox::Ok)->click();
    });
    Services().MessageBox(c.text, "Varnholt Zelmora", MB_OK | MB_ICONEXCLAMATION);
    // The same letters, some of them no-break kinds of blank and hyphen.
    QString plain = shown;
    plain.replace(QChar(0x00A0), ' ').replace(QChar(0x2011), '-');
    EXPECT_EQ(plain.toStdString(), c.text);
    EXPECT_EQ(copied.toStdString(), c.text);
    const qsizetype from = QString::fromStdString(c.text).indexOf(QString::fromStdString(c.path));
    ASSERT_GE(from, 0);
    const qsizetype to = from + QString::fromStdString(c.path).size();
    int inside = 0;
    for (qsizetype at : breaks) {
      if (at <= from || at >= to) continue;
      ++inside;
      EXPECT_EQ(shown[at - 1], QChar('/')) << "wrapped before \"" << shown.mid(at, 12).toStdString() << "\"";
    }
    EXPECT_GT(inside, 0) << "the path is too short to show its wrapping";
  }
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

// A box or an input box opened while one of the program's stay-on-top windows shows (the
// splash, the tip of the day) is kept on top as well, so it is never behind it; the splash is
// no owner for it. With no such window it is an ordinary dialog.
TEST(QtServices, DialogsOpenAboveTheProgramsOwnStayOnTopWindows) {
  InstallQtServices();
  QMainWindow main;
  SetApplicationMainForm(&main);
  main.show();
  QWidget splash(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  QDialog tip(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint);
  struct Seen {
    bool onTop = false;
    QWidget* parent = nullptr;
  };
  auto answer = [](Seen& seen) {
    QTimer::singleShot(0, [&seen] {
      auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      seen.onTop = d->windowFlags() & Qt::WindowStaysOnTopHint;
      seen.parent = d->parentWidget();
      d->reject();
    });
  };
  struct Case {
    const char* what;
    QWidget* above;  // the window showing, or nullptr
  } cases[] = {{"nothing on top", nullptr}, {"the splash", &splash}, {"the tip of the day", &tip}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.above) {
      c.above->show();
      QApplication::setActiveWindow(c.above);
    }
    Seen box, input;
    answer(box);
    Services().MessageBox("The texture cannot be read", "Varnholt Zelmora", MB_OK | MB_ICONEXCLAMATION);
    answer(input);
    std::string value = "Default";
    Services().InputBox("Enter Web Site Name", "", value);
    for (const Seen* seen : {&box, &input}) {
      EXPECT_EQ(seen->onTop, c.above != nullptr);
      EXPECT_NE(seen->parent, &splash);
    }
    if (c.above) c.above->hide();
  }
  SetApplicationMainForm(nullptr);
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

// The boxes are of one size to the window manager, which so offers no maximise button and no
// resizing, and they are as wide as their titles need: a short message under the program's
// title, a question, the site-name box and an input box of a long title.
TEST(QtServices, TheBoxesAreOfOneSizeAndShowTheirTitlesWhole) {
  InstallQtServices();
  struct Seen {
    QSize size, minimum, maximum;
    Qt::WindowFlags flags;
    int needed = 0;
  };
  auto look = [](Seen& seen) {
    QTimer::singleShot(0, [&seen] {
      auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      QCoreApplication::processEvents();
      seen = {d->size(), d->minimumSize(), d->maximumSize(), d->windowFlags(),
              TitleBarWidth(d->windowTitle())};
      d->reject();
    });
  };
  struct Case {
    const char* what;
    std::function<void()> open;
  } cases[] = {
      {"short message",
       [] {
         Services().MessageBox("There is nothing to print", "Varnholt Zelmora", MB_OK | MB_ICONINFORMATION);
       }},
      {"question",
       [] {
         Services().MessageBox("Save current project?", "Varnholt Zelmora",
                               MB_YESNOCANCEL | MB_ICONEXCLAMATION);
       }},
      {"site name",
       [] {
         std::string value = "Default";
         Services().InputBox("Enter Web Site Name", "", value);
       }},
      {"long title",
       [] {
         std::string value = "x";
         Services().InputBox("Enter the Name of the Web Site That Is Built From the Page", "Name:", value);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Seen seen;
    look(seen);
    c.open();
    EXPECT_EQ(seen.minimum, seen.maximum);
    EXPECT_EQ(seen.size, seen.minimum);
    EXPECT_FALSE(seen.flags & Qt::WindowMaximizeButtonHint);
    EXPECT_GE(seen.size.width(), seen.needed);
  }
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

// A dialog that makes its layout anew after it was made of one size (a message box given an
// informative text and a check box) keeps the width its title needs, also for a later title.
TEST(QtServices, AFixedDialogWhoseLayoutIsMadeAnewStaysAsWideAsItsTitle) {
  QMessageBox box(QMessageBox::Warning, "Varnholt Zelmora", "Saved.", QMessageBox::Ok);
  MakeFixedSizeDialog(&box);
  box.setInformativeText("The file was written.");
  box.setCheckBox(new QCheckBox("Do not show again"));
  const QString title = "The Project Was Saved Under a Name of Its Own Choosing";
  box.setWindowTitle(title);
  box.show();
  QCoreApplication::processEvents();
  EXPECT_GE(box.width(), TitleBarWidth(title));
  EXPECT_EQ(box.minimumSize(), box.maximumSize());
  box.hide();
}

TEST(QtServices, ClipboardAndScreen) {
  InstallQtServices();
  Services().SetClipboardText("[Heading]\nWidth=10");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "[Heading]\nWidth=10");
  EXPECT_EQ(Services().ClipboardText(), "[Heading]\nWidth=10");
  int w = 0, h = 0;
  Services().ScreenSize(w, h);
  EXPECT_EQ(QSize(w, h), QGuiApplication::primaryScreen()->geometry().size());
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

// The text reaches the opener as it stands (callers encode file: URLs themselves), and an
// opener that finds no browser or a browser that fails makes the call fail.
TEST(QtServices, OpenUrlHandsTheTextToTheOpenerAndSeesItFail) {
  InstallQtServices();
  FakeOpener opener;
  for (int status : {0, 3, 4}) {
    SCOPED_TRACE(status);
    for (const std::string url : {"/tmp/my site/index.htm", "file:///tmp/C%23/index.htm"}) {
      opener.EndsWith(status);
      EXPECT_EQ(Services().OpenUrl(url), status == 0);
      EXPECT_EQ(opener.Opened(), url);
    }
  }
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

// Printing goes to the shared printer; a PDF file stands in for a printer here.
TEST(QtServices, PrintingReachesThePrinter) {
  InstallQtServices();
  TempDir dir;
  QPrinter& printer = SharedPrinter();
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir.File("page.pdf")));
  IPrinterService* service = PrinterService();
  ASSERT_NE(service, nullptr);
  EXPECT_GT(service->PageWidth(), 0);
  EXPECT_GT(service->PageHeight(), service->PageWidth());  // portrait
  TBitmap bitmap(8, 8);
  service->BeginDoc();
  service->StretchDrawBitmap(TRect{0, 0, 800, 800}, bitmap);
  service->EndDoc();
  EXPECT_EQ(ReadAll(dir.File("page.pdf")).substr(0, 5), "%PDF-");
  printer.setOutputFileName(QString());
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

TEST(QtServices, BusyCursorIsOneValueAndBoxesShowTheArrow) {
  InstallQtServices();
  Services().SetBusyCursor(true);
  Services().SetBusyCursor(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  Qt::CursorShape during = Qt::BlankCursor;
  QTimer::singleShot(0, [&] {
    during = QApplication::overrideCursor()->shape();
    qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->button(QMessageBox::Ok)->click();
  });
  Services().MessageBox("Busy", "Zelmora", MB_OK);
  EXPECT_EQ(during, Qt::ArrowCursor);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  Services().SetBusyCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

TEST(QtServices, NameFilters) {
  EXPECT_EQ(QtNameFilters("Zelmora Projects (*.zlm)|*.zlm|All Files (*.*)|*.*|"),
            QStringList({"Zelmora Projects (*.zlm)", "All Files (*.*)"}));
  EXPECT_EQ(QtNameFilters("HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|All Files (*.*)|*.*|"),
            QStringList({"HTML Files (*.htm *.html *.shtml *.asp)", "All Files (*.*)"}));
  // A text without masks of its own, a missing mask and empty pairs.
  EXPECT_EQ(QtNameFilters("Bitmaps|*.bmp;*.dib||"), QStringList({"Bitmaps (*.bmp *.dib)"}));
  EXPECT_EQ(QtNameFilters("Odd|"), QStringList({"Odd (*)"}));
  EXPECT_TRUE(QtNameFilters("").isEmpty());
}

TEST(QtServices, StatusBarSimpleText) {
  QMainWindow main;
  auto* bar = new QStatusBar;
  main.setStatusBar(bar);
  SetApplicationMainForm(&main);
  EXPECT_EQ(MainFormStatusBar(), bar);
  StatusBarSetSimpleText(bar, "Ready");
  EXPECT_EQ(StatusBarSimpleText(bar), "Ready");
  StatusBarSetSimpleText(bar, "");
  EXPECT_EQ(StatusBarSimpleText(bar), "");
  EXPECT_EQ(StatusBarSimpleText(nullptr), "");
  SetApplicationMainForm(nullptr);
  QWidget plain;
  SetApplicationMainForm(&plain);
  EXPECT_EQ(MainFormStatusBar(), nullptr);
  SetApplicationMainForm(nullptr);
}

TEST(QtServices, BitmapsOfEveryFormatConvert) {
  for (TPixelFormat f : {pf8bit, pf24bit, pf32bit}) {
    TBitmap b(3, 2, f);
    b.SetPixelColor(0, 0, RGB(255, 0, 0));
    b.SetPixelColor(2, 1, RGB(0, 0, 255));
    QImage q = QImageOfBitmap(b);
    ASSERT_EQ(q.size(), QSize(3, 2));
    EXPECT_EQ(q.pixel(0, 0), 0xFFFF0000u) << f;
    EXPECT_EQ(q.pixel(2, 1), 0xFF0000FFu) << f;
  }
  EXPECT_TRUE(QImageOfBitmap(TBitmap()).isNull());
}

// Window places through the position functions: a minimised state comes back normal, a
// place off every screen comes back on the primary screen, a normal place as it was.
TEST(QtServices, FormPositionsRestoreVisible) {
  TempDir dir;
  TIniFile ini(dir.File("Settings.ini"));
  QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
  struct Case {
    int left, top, width, height, state;
    bool keepsPlace;
  } cases[] = {
      {avail.left() + 10, avail.top() + 20, 300, 200, wsNormal, true},
      {avail.left() + 10, avail.top() + 20, 300, 200, wsMinimized, true},
      {-5000, -5000, 300, 200, wsNormal, false},
      {avail.right() + 2000, avail.top(), 300, 200, wsMinimized, false},
  };
  for (const auto& c : cases) {
    QWidget form;
    form.setObjectName("FormMain");
    ini.WriteInteger("FormMain", "Left", c.left);
    ini.WriteInteger("FormMain", "Top", c.top);
    ini.WriteInteger("FormMain", "Width", c.width);
    ini.WriteInteger("FormMain", "Height", c.height);
    ini.WriteInteger("FormMain", "WindowState", c.state);
    TQtFormGeometry g(&form);
    FormLoadPosition(g, ini);
    EXPECT_EQ(g.WindowState(), wsNormal);
    EXPECT_EQ(QSize(g.Width(), g.Height()), QSize(300, 200));
    if (c.keepsPlace) {
      EXPECT_EQ(QPoint(g.Left(), g.Top()), QPoint(c.left, c.top));
    } else {
      EXPECT_TRUE(avail.intersects(QRect(g.Left(), g.Top(), g.Width(), g.Height())))
          << g.Left() << "," << g.Top();
    }
  }
  // Maximised keeps the designed bounds and round-trips through the file.
  QWidget form;
  form.setObjectName("FormMain");
  form.setGeometry(avail.left() + 40, avail.top() + 30, 320, 240);
  ini.WriteInteger("FormMain", "WindowState", wsMaximized);
  ini.WriteInteger("FormMain", "Left", -5000);
  TQtFormGeometry g(&form);
  FormLoadPosition(g, ini);
  EXPECT_EQ(g.WindowState(), wsMaximized);
  EXPECT_EQ(form.geometry(), QRect(avail.left() + 40, avail.top() + 30, 320, 240));
  g.SetCaption("Varnholt Zelmora");
  EXPECT_EQ(form.windowTitle(), "Varnholt Zelmora");
}

}  // namespace

// The choice of one item: the list offers the items with the chosen one current; OK gives its
// index, a double click too, Cancel gives -1.
TEST(QtServices, ChooseItemGivesTheChosenIndex) {
  InstallQtServices();
  const std::vector<std::string> items{"Browser", "Editor", "Editor", "Viewer"};
  struct Case {
    int selected, pick;
    const char* how;
    int want;
  } cases[] = {{0, 2, "ok", 2}, {3, -1, "ok", 3}, {1, 3, "double", 3}, {0, 1, "cancel", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    QStringList shown;
    int current = -2;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->objectName(), "ChooseItemDialog");
      EXPECT_EQ(dialog->windowTitle(), "Open With");
      auto* list = dialog->findChild<QListWidget*>("ListItems");
      ASSERT_NE(list, nullptr);
      for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
      current = list->currentRow();
      if (c.pick >= 0) list->setCurrentRow(c.pick);
      auto* buttons = dialog->findChild<QDialogButtonBox*>();
      if (std::string(c.how) == "double") emit list->itemActivated(list->currentItem());
      else if (std::string(c.how) == "ok") buttons->button(QDialogButtonBox::Ok)->click();
      else buttons->button(QDialogButtonBox::Cancel)->click();
    });
    EXPECT_EQ(Services().ChooseItem("Open With", "Choose:", items, c.selected), c.want);
    EXPECT_EQ(shown, (QStringList{"Browser", "Editor", "Editor", "Viewer"}));
    EXPECT_EQ(current, c.selected);
  }
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

TEST(QtServices, FileTypesAndPaintingWhileWaiting) {
  InstallQtServices();
  TempDir d;
  WriteAll(d.File("picture"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  // The type, then what it is a kind of, down to the type of every file.
  EXPECT_EQ(Services().FileTypes(d.File("page.htm")),
            (std::vector<std::string>{"text/html", "text/plain", "application/octet-stream"}));
  EXPECT_EQ(Services().FileTypes(d.File("picture")),
            (std::vector<std::string>{"image/png", "application/octet-stream"}));
  // A timer due now fires while the thread waits; input stays queued.
  bool fired = false;
  QTimer::singleShot(0, [&] { fired = true; });
  Services().PaintWhileWaiting();
  EXPECT_TRUE(fired);
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

// The desktop's opener receives what it is given: a path with "#" as a path, an encoded file:
// URL still encoded; an option-like text is refused.
TEST(QtServices, TheOpenerGetsEncodedFileUrls) {
  InstallQtServices();
  TempDir d;
  ForceDirectories(d.File("bin"));
  WriteAll(d.File("bin/xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + d.File("opened") + "'\n");
  chmod(d.File("bin/xdg-open").c_str(), 0755);
  ScopedEnv path("PATH", d.File("bin") + ":/usr/bin:/bin");
  ForceDirectories(d.File("Sites/C#"));
  WriteAll(d.File("Sites/C#/index.htm"), "x");
  const std::string url = "file://" + d.File("Sites/C%23/index.htm");
  ASSERT_TRUE(Services().OpenUrl(d.File("Sites/C#/index.htm")));
  ASSERT_TRUE(Services().OpenUrl(url));
  auto lines = [&] {
    const std::string text = ReadAll(d.File("opened"));
    return std::count(text.begin(), text.end(), '\n');
  };
  for (int i = 0; i < 250 && lines() < 2; ++i) usleep(20000);
  EXPECT_EQ(ReadAll(d.File("opened")), d.File("Sites/C#/index.htm") + "\n" + url + "\n");
  EXPECT_FALSE(Services().OpenUrl("--help"));
  EXPECT_FALSE(Services().OpenUrl(""));
  SetServices(nullptr);
  SetPrinterService(nullptr);
}
