// The shared common dialogs: their set-up, filters and results.
#include "POP/gui/PopDialogs.h"

#include <gtest/gtest.h>
#include <memory>

#include <QApplication>
#include <QCoreApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QTimer>

#include "POP/gui/PopConsts.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtServices.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(PopDialogs, SharedInstancesAreSetUpOnce) {
  struct Case {
    TOpenDialog* dialog;
    const char* className;
    TOpenOptions on, off;
  } cases[] = {
      {OpenDialog(), "TOpenDialog", ofFileMustExist | ofPathMustExist, ofEnableSizing},
      {SaveDialog(), "TSaveDialog", ofOverwritePrompt | ofNoReadOnlyReturn | ofPathMustExist, ofEnableSizing},
      {OpenPictureDialog(), "TOpenPictureDialog", 0, ofEnableSizing},
      {SavePictureDialog(), "TSavePictureDialog", ofOverwritePrompt | ofNoReadOnlyReturn, ofEnableSizing},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(c.dialog->ClassName(), c.className);
    EXPECT_EQ(c.dialog->Options & c.on, c.on) << c.className;
    EXPECT_EQ(c.dialog->Options & c.off, 0u) << c.className;
  }
  EXPECT_EQ(OpenPictureDialog()->Filter, GraphicFilter() + "|All Files (*.*)|*.*");
  EXPECT_EQ(SavePictureDialog()->Filter, GraphicFilter(true));
  EXPECT_EQ(SavePictureDialog()->DefaultExt, "bmp");
  EXPECT_TRUE(SaveDialog()->IsSaveDialog());
  EXPECT_TRUE(SavePictureDialog()->IsSaveDialog());
  EXPECT_FALSE(OpenPictureDialog()->IsSaveDialog());
  EXPECT_EQ(ColorDialog()->Options & cdFullOpen, cdFullOpen);

  // One instance for the run; what a caller sets stays for the next.
  OpenDialog()->Filter = _FilterZLM;
  OpenDialog()->Title = "Open Project";
  EXPECT_EQ(OpenDialog(), OpenDialog());
  EXPECT_EQ(OpenDialog()->Filter, _FilterZLM);
  EXPECT_EQ(FontDialog(), FontDialog());
  EXPECT_EQ(PrinterSetupDialog(), PrinterSetupDialog());
}

TEST(PopDialogs, PictureFiltersListTheRegisteredFormats) {
  QStringList filters = QtNameFilters(OpenPictureDialog()->Filter);
  ASSERT_GE(filters.size(), 3);
  EXPECT_TRUE(filters.first().startsWith("All (")) << filters.first().toStdString();
  EXPECT_TRUE(filters.first().contains("*.bmp"));
  EXPECT_EQ(filters.last(), "All Files (*.*)");
  EXPECT_NE(QtNameFilters(SavePictureDialog()->Filter).last(), "All Files (*.*)");
}

TEST(PopDialogs, ConfigureFileDialog) {
  TSaveDialog save;
  save.Filter = _FilterHTML;
  save.FilterIndex = 2;
  save.DefaultExt = "htm";
  save.Title = "Save Page";
  save.Options = ofOverwritePrompt;
  QFileDialog qt;
  ConfigureFileDialog(qt, save);
  EXPECT_EQ(qt.nameFilters(), QStringList({"HTML Files (*.htm *.html *.shtml *.asp)", "All Files (*.*)"}));
  EXPECT_EQ(qt.selectedNameFilter(), "All Files (*.*)");
  EXPECT_EQ(qt.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(qt.fileMode(), QFileDialog::AnyFile);
  EXPECT_FALSE(qt.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(qt.defaultSuffix(), "htm");
  EXPECT_EQ(qt.windowTitle(), "Save Page");

  TOpenDialog open;
  open.Filter = _FilterZLM;
  open.Options = ofFileMustExist | ofAllowMultiSelect;
  QFileDialog q2;
  ConfigureFileDialog(q2, open);
  EXPECT_EQ(q2.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(q2.fileMode(), QFileDialog::ExistingFiles);
  EXPECT_TRUE(q2.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(q2.selectedNameFilter(), "Zelmora Projects (*.zlm)");
}

// Accepts the next modal dialog once it is up, after `act` has worked on it.
template <class D, class F>
void WhenShown(F act) {
  QTimer::singleShot(0, [act] {
    auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    act(d);
    QMetaObject::invokeMethod(d, "accept");
  });
}

TEST(PopDialogs, OpenDialogReturnsTheChosenFileAndFilter) {
  TempDir dir;
  WriteAll(dir.File("page.zlm"), "[Heading]\n");
  TOpenDialog open;
  open.Filter = _FilterZLM;
  open.FilterIndex = 1;
  open.InitialDir = dir.Path();
  open.Options = ofFileMustExist;
  WhenShown<QFileDialog>([&](QFileDialog* d) {
    d->setOption(QFileDialog::DontUseNativeDialog);
    d->selectNameFilter("All Files (*.*)");
    d->selectFile(QString::fromStdString(dir.File("page.zlm")));
  });
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(open.FileName, dir.File("page.zlm"));
  ASSERT_EQ(open.Files.size(), 1u);
  EXPECT_EQ(open.FilterIndex, 2);
}

// A name typed with double quotes in it is the name chosen: the dialog's own reading of quotes
// as a list of names would save or open another file without a word. Where several files may
// be chosen, quotes still make the list.
TEST(PopDialogs, ANameTypedWithQuotesIsTheNameChosen) {
  TempDir dir;
  WriteAll(dir.File("My page.zlm"), "another file");
  WriteAll(dir.File("\"quoted\".zlm"), "[Heading]\n");
  WriteAll(dir.File("\"taken\".zlm"), "[Heading]\n");
  WriteAll(dir.File("a.zlm"), "[Heading]\n");
  WriteAll(dir.File("b.zlm"), "[Heading]\n");
  ScriptedServices services;
  struct Case {
    const char* what;
    bool save;
    TOpenOptions options;
    const char* typed;
    std::vector<std::string> chosen;  // empty: the dialog stays open (it is closed by Cancel)
    std::vector<int> answers;
  } cases[] = {
      {"save, a quoted name", true, 0, "\"My page\".zlm", {"\"My page\".zlm"}},
      {"save, quotes inside, the default extension added", true, 0, "say \"hi\"", {"say \"hi\".zlm"}},
      {"save, two quoted parts", true, 0, "\"a\" \"b\".zlm", {"\"a\" \"b\".zlm"}},
      {"save over an existing quoted name, asked, Yes", true, ofOverwritePrompt, "\"taken\".zlm", {"\"taken\".zlm"},
       {IDYES}},
      {"save over an existing quoted name, asked, No", true, ofOverwritePrompt, "\"taken\".zlm", {}, {IDNO}},
      {"save, no quotes", true, 0, "plain", {"plain.zlm"}},
      {"open, a file with quotes in its name", false, ofFileMustExist, "\"quoted\".zlm", {"\"quoted\".zlm"}},
      {"open, a quoted name that is not there", false, ofFileMustExist, "\"gone\".zlm", {}, {IDOK}},
      {"open several, quotes make the list", false, ofFileMustExist | ofAllowMultiSelect, "\"a.zlm\" \"b.zlm\"",
       {"a.zlm", "b.zlm"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<TOpenDialog> dialog(c.save ? new TSaveDialog : new TOpenDialog);
    dialog->Filter = _FilterZLM;
    dialog->DefaultExt = "zlm";
    dialog->InitialDir = dir.Path();
    dialog->Options = c.options;
    services.Boxes.clear();
    services.Answers.assign(c.answers.begin(), c.answers.end());
    const std::string typed = c.typed;
    const bool closes = !c.chosen.empty();
    QTimer::singleShot(0, [typed, closes] {
      auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      d->setOption(QFileDialog::DontUseNativeDialog);
      auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(edit, nullptr);
      // Typed: the box has the focus, as a user's typing gives it, so that the files the
      // dialog finds for the text do not replace it.
      QApplication::setActiveWindow(d);
      edit->setFocus();
      QCoreApplication::processEvents();
      ASSERT_TRUE(edit->hasFocus());
      edit->setText(QString::fromStdString(typed));
      QMetaObject::invokeMethod(d, "accept");
      if (!closes && d->isVisible()) d->reject();
    });
    const bool ok = dialog->Execute();
    EXPECT_EQ(ok, closes);
    std::vector<std::string> expected;
    for (const std::string& name : c.chosen) expected.push_back(dir.File(name));
    if (closes) {
      EXPECT_EQ(dialog->Files, expected);
      EXPECT_EQ(dialog->FileName, expected.front());
    }
    EXPECT_EQ(services.Boxes.size(), c.answers.size());
    if (!services.Boxes.empty())
      EXPECT_NE(services.Boxes[0].text.find(dir.File(c.typed)), std::string::npos) << services.Boxes[0].text;
  }
  EXPECT_EQ(ReadAll(dir.File("My page.zlm")), "another file");
}

// OK in the font dialog with nothing changed gives the font back as it was: a face that is
// not installed keeps its name, and its style and size stay, though the dialog shows the
// nearest installed face. What the user changes is taken.
TEST(PopDialogs, FontDialogKeepsWhatTheUserLeaves) {
  struct Case {
    const char* name;
    TFontStyles style;
    int size;
  } cases[] = {{"Verdana", 0, 10},
               {"Arial", fsBold, 14},
               {"No Such Face At All", TFontStyles(fsItalic | fsUnderline), 9},
               {"DejaVu Sans", fsBold, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFontDialog dialog;
    dialog.Font.Name = c.name;
    dialog.Font.Style = c.style;
    dialog.Font.SetSize(c.size);
    dialog.Font.Color = 0x123456;
    const TFont before = dialog.Font;
    WhenShown<QFontDialog>([](QFontDialog*) {});
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Font.Name, before.Name);
    EXPECT_EQ(dialog.Font.Style, before.Style);
    EXPECT_EQ(dialog.Font.Height(), before.Height());
    EXPECT_TRUE(dialog.Font == before);
  }
  // A size picked is taken, and the face the user did not touch keeps its name.
  TFontDialog dialog;
  dialog.Font.Name = "Verdana";
  dialog.Font.SetSize(10);
  WhenShown<QFontDialog>([](QFontDialog* d) {
    QFont f = d->currentFont();
    f.setPointSize(20);
    d->setCurrentFont(f);
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.Font.Name, "Verdana");
  EXPECT_EQ(dialog.Font.Size(), 20);
  // A face picked is taken by its name.
  WhenShown<QFontDialog>([](QFontDialog* d) {
    QFont f = d->currentFont();
    f.setFamily("DejaVu Serif");
    d->setCurrentFont(f);
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.Font.Name, "DejaVu Serif");
  EXPECT_EQ(dialog.Font.Size(), 20);
}

TEST(PopDialogs, TheHookAnswersEveryDialog) {
  std::vector<std::string> asked;
  SetDialogHook([&](TCommonDialog& d) {
    asked.push_back(d.ClassName());
    if (auto* c = dynamic_cast<TColorDialog*>(&d)) c->Color = RGB(0x12, 0x34, 0x56);
    return std::string(d.ClassName()) != "TFontDialog";
  });
  EXPECT_TRUE(SaveDialog()->Execute());
  EXPECT_FALSE(FontDialog()->Execute());
  EXPECT_TRUE(PrinterSetupDialog()->Execute());
  QLineEdit edit("ffffff");
  EXPECT_TRUE(ColorDialogExecute(&edit));
  EXPECT_EQ(edit.text(), "123456");
  SetDialogHook(nullptr);
  EXPECT_EQ(asked,
            (std::vector<std::string>{"TSaveDialog", "TFontDialog", "TPrinterSetupDialog", "TColorDialog"}));
}

// ---- custom colours --------------------------------------------------------------------

TEST(PopDialogs, CustomColoursFromTheFileOrTheDefaults) {
  TempDir dir;
  TColorDialog d;
  ColorDialogLoadCustomColors(d, dir.File("CustomColors.txt"));
  ASSERT_EQ(d.CustomColors.size(), 16u);
  EXPECT_EQ(d.CustomColors[0], "ColorA=000000");
  EXPECT_EQ(d.CustomColors[2], "ColorC=000080");
  EXPECT_EQ(d.CustomColors[8], "ColorI=FFFFFF");
  EXPECT_EQ(d.CustomColors[15], "ColorP=FFFF00");
  std::vector<TColor> colors = ParseCustomColors(d.CustomColors);
  EXPECT_EQ(colors[2], TColor(0x000080));   // dark red: red is the low byte
  EXPECT_EQ(colors[13], TColor(0xFF0000));  // blue

  // A file that exists is taken as it stands, even short.
  WriteAll(dir.File("CustomColors.txt"), "ColorA=0000FF\r\nColorB=00FF00\r\n");
  ColorDialogLoadCustomColors(d, dir.File("CustomColors.txt"));
  EXPECT_EQ(d.CustomColors, (std::vector<std::string>{"ColorA=0000FF", "ColorB=00FF00"}));
}

TEST(PopDialogs, MalformedCustomColoursArePassedOver) {
  std::vector<TColor> c = ParseCustomColors({
      "ColorA=0000FF",     // red
      "ColorA=00FF00",     // a second A: the first one counts
      "colorb = abcdef ",  // case-blind, blanks trimmed
      "ColorC=GG0000",     // not hexadecimal
      "ColorD=1234567",    // more than six digits
      "ColorE=",           // no value
      "ColorQ=123456",     // no such slot
      "Colour F=123456",   // no such name
      "just text",         // no "="
      "ColorP=FF",         // short values are numbers too
  });
  ASSERT_EQ(c.size(), 16u);
  EXPECT_EQ(c[0], TColor(0x0000FF));
  EXPECT_EQ(c[1], TColor(0xABCDEF));
  for (int i : {2, 3, 4, 5}) EXPECT_EQ(c[size_t(i)], clWhite) << i;
  EXPECT_EQ(c[15], TColor(0x0000FF));
}

TEST(PopDialogs, CustomColoursRoundTripThroughTheColourDialog) {
  std::vector<std::string> lines;
  for (int i = 0; i < 16; ++i)
    lines.push_back(
        Format("Color%c=%.6X", 'A' + i, unsigned(RGB(uint8_t(i * 16), uint8_t(255 - i), uint8_t(i)))));
  TColorDialog d;
  d.CustomColors = lines;
  d.Color = RGB(1, 2, 3);
  WhenShown<QColorDialog>([](QColorDialog* q) {
    EXPECT_EQ(q->currentColor(), QColor(1, 2, 3));
    q->setCurrentColor(QColor(200, 100, 50));
  });
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.Color, RGB(200, 100, 50));
  EXPECT_EQ(d.CustomColors, lines);
  EXPECT_EQ(QColorDialog::customColor(1), QColor(16, 254, 1));
  EXPECT_EQ(CustomColorLines(CurrentCustomColors()), lines);
}

}  // namespace
