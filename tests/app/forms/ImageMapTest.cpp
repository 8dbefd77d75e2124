// The image-map dialog: the markup of its areas, the files it saves, the link rows, and the
// preview through the browser opener.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextEdit>

#include "POP/gui/PopDialogs.h"
#include "POP/gui/PopRichEdit.h"
#include "app/forms/Unitglobal.h"
#include "app/forms/Unitimagemap.h"
#include "engine/XImage.h"
#include "engine/XZLMButton.h"
#include "platform/Canvas.h"
#include "platform/SysUtils.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

TZLMButton* Add(ZButtonList& scene, const std::string& text, TRect r, const std::string& link,
                bool selected) {
  auto* b = new TZLMButton(text, &scene, r, link);
  b->IsSelected = selected;
  return b;
}

// A page with two linked objects that overlap (the later one in front), a selected object
// without a link and an unselected linked one; the crop is the selection's bounds.
struct Page {
  ZButtonList scene;
  XImage image;
  TRect crop{10, 20, 150, 60};
  Page() {
    scene.BGColor = 0x336699;
    Add(scene, "Home", {10, 20, 110, 50}, "a.htm", true);
    Add(scene, "", {20, 22, 40, 30}, "", true);
    Add(scene, "Away", {200, 200, 300, 230}, "hidden.htm", false);
    Add(scene, "Shop", {50, 30, 150, 60}, "http://x/?a=1&b=2", true);
    image.SetSize(140, 40);
    TCanvas c(&image);
    c.Brush.SetColor(0x3050A0);
    c.FillRect({0, 0, 140, 40});
  }
};

const char* const kGolden =
    "<HTML>\n"
    "<HEAD><META HTTP-EQUIV=\"CONTENT-TYPE\" CONTENT=\"text/html; charset=utf-8\"></HEAD>\n"
    "<BODY BGCOLOR=996633>\n"
    "<MAP NAME=\"banner\">\n"
    "<AREA SHAPE=\"RECT\" COORDS=\"40, 10, 140, 40\"\n"
    "HREF=\"http://x/?a=1&b=2\">\n"
    "<AREA SHAPE=\"RECT\" COORDS=\"0, 0, 100, 30\"\n"
    "HREF=\"a.htm\">\n"
    "</MAP>\n"
    "<CENTER>\n"
    "<IMG SRC=\"preview.png\" BORDER=0 USEMAP=#banner>\n"
    "</CENTER>\n"
    "</BODY>\n"
    "</HTML>\n";

std::string WithCRLF(std::string s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

struct ImageMap : ::testing::Test {
  TempDir home, cfg;
  ScopedEnv h{"ZELMORA_HOME", home.Path()}, c{"ZELMORA_CONFIG", cfg.Path()};
  ScriptedServices services;
  Page page;
  TFormImageMap form;
  ImageMap() {
    form.Scene = &page.scene;
    form.Image = &page.image;
    form.CropRect = page.crop;
  }
  ~ImageMap() override { SetDialogHook(nullptr); }
  std::string Html() { return form.RichEdit->toPlainText().toStdString(); }
};

TEST_F(ImageMap, AreasFrontToBackRelativeToTheCrop) {
  EXPECT_EQ(form.FileName, home.File("preview.htm"));
  form.BuildImageMapHTML();
  EXPECT_EQ(Html(), kGolden);
  // The HTML is shown coloured, the caret at its start.
  TColor first = 0;
  RichEditRangeColor(form.RichEdit, 0, 1, first);
  EXPECT_EQ(first, HTMLColorBracket);
  RichEditRangeColor(form.RichEdit, int(std::string(kGolden).find(" BGCOLOR")), 8, first);
  EXPECT_EQ(first, HTMLColorAttribute);
  EXPECT_EQ(form.RichEdit->textCursor().position(), 0);
  // Choosing JPG rebuilds the reference.
  form.RadioButtonJPG->setChecked(true);
  EXPECT_NE(Html().find("<IMG SRC=\"preview.jpg\" BORDER=0 USEMAP=#banner>\n"), std::string::npos);
}

TEST(ImageMapHTMLText, QuotesAndOddFileNamesCannotBreakTheMarkup) {
  struct Case {
    const char *link, *image, *href, *src;
  } cases[] = {
      {"x\" onclick=\"evil()", "p.png", "HREF=\"x&quot; onclick=&quot;evil()\">", "SRC=\"p.png\""},
      {"page.htm#top", "my page#1?.png", "HREF=\"page.htm#top\">", "SRC=\"my page%231%3F.png\""},
      {"&amp;<b>", "100%.jpg", "HREF=\"&amp;<b>\">", "SRC=\"100%25.jpg\""},
      {"a", "q\"\t.png", "HREF=\"a\">", "SRC=\"q%22%09.png\""},
  };
  for (const Case& c : cases) {
    ZButtonList scene;
    Add(scene, "t", {0, 0, 5, 5}, c.link, true);
    std::string html = ImageMapHTML(scene, {0, 0, 5, 5}, c.image);
    EXPECT_NE(html.find(std::string("\n") + c.href + "\n"), std::string::npos) << html;
    EXPECT_NE(html.find(c.src), std::string::npos) << html;
  }
  // Links of older projects may hold Latin-1 bytes; the page, declared UTF-8, holds UTF-8.
  {
    ZButtonList scene;
    Add(scene, "t", {0, 0, 5, 5}, "caf\xE9.htm", true);
    std::string html = ImageMapHTML(scene, {0, 0, 5, 5}, "p.png");
    EXPECT_NE(html.find("HREF=\"caf\xC3\xA9.htm\">"), std::string::npos) << html;
    EXPECT_LT(html.find("charset=utf-8"), html.find("<BODY"));
  }
  // No selected linked object: an empty map. Coordinates may run below the crop.
  ZButtonList scene;
  Add(scene, "t", {0, 0, 5, 5}, "a", false);
  std::string html = ImageMapHTML(scene, {0, 0, 5, 5}, "x.png");
  EXPECT_NE(html.find("<MAP NAME=\"banner\">\n</MAP>\n"), std::string::npos);
  scene.Button(0)->IsSelected = true;
  html = ImageMapHTML(scene, {10, 20, 30, 40}, "x.png");
  EXPECT_NE(html.find("COORDS=\"-10, -20, -5, -15\""), std::string::npos);
}

TEST_F(ImageMap, SaveWritesTheHtmlAndTheImageUnderTheChosenName) {
  std::string asked;
  std::string chosen = home.File("site.html");
  SetDialogHook([&](TCommonDialog& d) {
    auto& s = dynamic_cast<TSaveDialog&>(d);
    asked = s.FileName;
    EXPECT_EQ(s.Filter, "HTML File|*.htm;*.html");
    EXPECT_TRUE(s.Options & ofOverwritePrompt);
    s.FileName = chosen;
    return true;
  });
  form.RadioButtonJPG->setChecked(true);
  form.ButtonSaveClick();
  EXPECT_EQ(asked, home.File("preview.htm"));
  EXPECT_EQ(form.FileName, chosen);
  std::string want = kGolden;
  want.replace(want.find("preview.png"), 11, "site.jpg");
  EXPECT_EQ(ReadAll(chosen), WithCRLF(want));
  std::string jpg = ReadAll(home.File("site.jpg"));
  ASSERT_GE(jpg.size(), 3u);
  EXPECT_EQ(jpg.substr(0, 3), "\xFF\xD8\xFF");
  EXPECT_EQ(BitmapBitsPerPixel(page.image), 24);

  // A preview afterwards, of a changed selection, writes its own files: the saved page and its
  // picture keep what they were saved with.
  const std::string savedHtml = ReadAll(chosen);
  page.scene.Button(0)->LinkAddress = "b.htm";
  page.image.Canvas().Brush.SetColor(0x00FF00);
  page.image.Canvas().FillRect({0, 0, 140, 40});
  form.ButtonPreviewClick();
  EXPECT_EQ(ReadAll(chosen), savedHtml);
  EXPECT_EQ(ReadAll(home.File("site.jpg")), jpg);
  const std::string preview = ReadAll(home.File("preview.htm"));
  EXPECT_NE(preview.find("HREF=\"b.htm\">\r\n"), std::string::npos);
  EXPECT_NE(preview.find("<IMG SRC=\"preview.jpg\""), std::string::npos);
  EXPECT_TRUE(fs::exists(home.File("preview.jpg")));
  ASSERT_EQ(services.Opened.size(), 1u);
  EXPECT_EQ(services.Opened[0], "file://" + home.File("preview.htm"));
  EXPECT_EQ(form.FileName, chosen) << "the next save starts at the saved name";

  // A cancelled dialog writes nothing and keeps the name.
  SetDialogHook([](TCommonDialog&) { return false; });
  fs::remove(chosen);
  form.ButtonSaveClick();
  EXPECT_FALSE(fs::exists(chosen));
  EXPECT_EQ(form.FileName, chosen);
}

// The HTML and the picture are never one file: the HTML file keeps a name ending in ".htm" or
// ".html" and has ".htm" in place of any other extension, the picture takes the HTML file's
// name with its own extension, and the user is told both names.
TEST_F(ImageMap, SaveNeverWritesThePictureOverTheHtml) {
  struct {
    const char* chosen;
    bool png;
    const char* html;
    const char* picture;
  } cases[] = {{"a.png", true, "a.htm", "a.png"}, {"b.jpg", false, "b.htm", "b.jpg"},
               {"c.jpg", true, "c.htm", "c.png"}, {"d.HTML", true, "d.HTML", "d.png"},
               {"e", false, "e.htm", "e.jpg"},    {"f.htm", true, "f.htm", "f.png"},
               {"g.Htm", false, "g.Htm", "g.jpg"}};
  for (auto& c : cases) {
    std::string chosen = home.File(c.chosen);
    SetDialogHook([&](TCommonDialog& d) {
      dynamic_cast<TSaveDialog&>(d).FileName = chosen;
      return true;
    });
    form.RadioButtonPNG->setChecked(c.png);
    form.RadioButtonJPG->setChecked(!c.png);
    services.Boxes.clear();
    form.ButtonSaveClick();
    std::string html = home.File(c.html), picture = home.File(c.picture);
    EXPECT_EQ(form.FileName, html) << c.chosen;
    EXPECT_EQ(ReadAll(html).substr(0, 8), "<HTML>\r\n") << c.chosen;
    EXPECT_NE(ReadAll(html).find(std::string("SRC=\"") + c.picture + "\""), std::string::npos) << c.chosen;
    std::string bytes = ReadAll(picture);
    ASSERT_GE(bytes.size(), 3u) << c.chosen;
    EXPECT_EQ(bytes.substr(0, 3), c.png ? "\x89PN" : "\xFF\xD8\xFF") << c.chosen;
    ASSERT_EQ(services.Boxes.size(), 1u) << c.chosen;
    EXPECT_NE(services.Boxes[0].text.find(html), std::string::npos) << c.chosen;
    EXPECT_NE(services.Boxes[0].text.find(picture), std::string::npos) << c.chosen;
  }

  // The HTML file under its changed name already exists: the user is asked first, and "No"
  // writes nothing.
  WriteAll(home.File("h.htm"), "mine");
  std::string chosen = home.File("h.png");
  SetDialogHook([&](TCommonDialog& d) {
    dynamic_cast<TSaveDialog&>(d).FileName = chosen;
    return true;
  });
  form.RadioButtonPNG->setChecked(true);
  services.Boxes.clear();
  services.Answers = {IDNO};
  form.ButtonSaveClick();
  ASSERT_EQ(services.Boxes.size(), 1u);
  EXPECT_NE(services.Boxes[0].text.find(home.File("h.htm")), std::string::npos);
  EXPECT_EQ(ReadAll(home.File("h.htm")), "mine");
  EXPECT_FALSE(fs::exists(chosen));
  services.Answers = {IDYES};
  form.ButtonSaveClick();
  EXPECT_EQ(ReadAll(home.File("h.htm")).substr(0, 6), "<HTML>");
  EXPECT_TRUE(fs::exists(chosen));

  // Set from outside to a picture's name, the file is not written: a preview writes its own.
  form.FileName = home.File("i.png");
  form.RadioButtonPNG->setChecked(true);
  form.ButtonPreviewClick();
  EXPECT_FALSE(fs::exists(home.File("i.png")));
  EXPECT_TRUE(fs::exists(home.File("preview.png")));
}

// A picture of the HTML file's name may be the user's own: Save asks before it replaces it,
// and No writes nothing at all, the HTML file included. A picture not there is not asked about.
TEST_F(ImageMap, SaveAsksBeforeReplacingAPictureBesideTheHtml) {
  const std::string chosen = home.File("banner.htm"), picture = home.File("banner.png");
  SetDialogHook([&](TCommonDialog& d) {
    dynamic_cast<TSaveDialog&>(d).FileName = chosen;
    return true;
  });
  WriteAll(picture, "the user's own picture");
  struct Case {
    int answer;
    bool written;
  } cases[] = {{IDNO, false}, {IDCANCEL, false}, {IDYES, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    services.Boxes.clear();
    services.Answers = {c.answer};
    form.ButtonSaveClick();
    ASSERT_GE(services.Boxes.size(), 1u);
    EXPECT_EQ(services.Boxes[0].text, "\"" + picture + "\" already exists.\nDo you want to replace it?");
    if (c.written) {
      EXPECT_EQ(ReadAll(picture).substr(1, 3), "PNG");
      EXPECT_EQ(ReadAll(chosen).substr(0, 8), "<HTML>\r\n");
      EXPECT_EQ(form.FileName, chosen);
    } else {
      EXPECT_EQ(services.Boxes.size(), 1u) << "nothing saved, nothing told";
      EXPECT_EQ(ReadAll(picture), "the user's own picture");
      EXPECT_FALSE(fs::exists(chosen));
      EXPECT_EQ(form.FileName, home.File("preview.htm"));
    }
  }
  // Without a picture of that name, only the dialog's own question stands.
  const std::string other = home.File("other.htm");
  SetDialogHook([&](TCommonDialog& d) {
    dynamic_cast<TSaveDialog&>(d).FileName = other;
    return true;
  });
  services.Boxes.clear();
  form.ButtonSaveClick();
  ASSERT_EQ(services.Boxes.size(), 1u);
  EXPECT_EQ(services.Boxes[0].text.rfind("The HTML file was saved as", 0), 0u) << services.Boxes[0].text;
  EXPECT_TRUE(fs::exists(home.File("other.png")));
}

// A link typed in a row tells the caller before the first change of each showing, so that
// the page can take its undo snapshot and count the change; filling the rows does not.
TEST_F(ImageMap, EditedLinksAreAnnouncedOncePerShowing) {
  int calls = 0;
  form.OnLinksChanging = [&] { ++calls; };
  form.show();
  EXPECT_EQ(calls, 0);
  form.ScrollBar1->setValue(0);
  form.Edit[0]->setText("a.htm");  // the same link: no change
  EXPECT_EQ(calls, 0);
  form.Edit[0]->setText("new.htm");
  form.Edit[2]->setText("other.htm");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(page.scene.Button(0)->LinkAddress, "new.htm");
  form.hide();
  form.show();
  form.Edit[0]->setText("again.htm");
  EXPECT_EQ(calls, 2);
  form.hide();
}

TEST_F(ImageMap, PreviewWritesPreviewHtmAndAPngAndOpensIt) {
  form.ButtonPreviewClick();
  EXPECT_EQ(ReadAll(home.File("preview.htm")), WithCRLF(kGolden));
  std::string png = ReadAll(home.File("preview.png"));
  ASSERT_GT(png.size(), 26u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png[25], 2) << "24-bit colour, no alpha";
  ASSERT_EQ(services.Opened.size(), 1u);
  EXPECT_EQ(services.Opened[0], "file://" + home.File("preview.htm"));

  // A program folder with URL characters in its name reaches the browser escaped.
  ASSERT_TRUE(ForceDirectories(home.File("a#b c")));
  {
    ScopedEnv odd("ZELMORA_HOME", home.File("a#b c"));
    form.ButtonPreviewClick();
  }
  EXPECT_TRUE(fs::exists(home.File("a#b c/preview.png")));
  EXPECT_EQ(services.Opened.back(), "file://" + home.File("a%23b%20c/preview.htm"));

  // A file that cannot be written raises, and nothing is opened.
  {
    ScopedEnv gone("ZELMORA_HOME", home.File("missing"));
    EXPECT_THROW(form.ButtonPreviewClick(), Exception);
  }
  EXPECT_EQ(services.Opened.size(), 2u);
  EXPECT_TRUE(services.Boxes.empty());
}

// Without a browser that starts, the preview says so and names the file it wrote, so that
// the user can open it.
TEST_F(ImageMap, APreviewNoBrowserCanShowNamesItsFile) {
  services.BrowserStarts = false;
  form.ButtonPreviewClick();
  EXPECT_EQ(ReadAll(home.File("preview.htm")), WithCRLF(kGolden));
  ASSERT_EQ(services.Boxes.size(), 1u);
  EXPECT_NE(services.Boxes[0].text.find("No browser could be started"), std::string::npos)
      << services.Boxes[0].text;
  EXPECT_NE(services.Boxes[0].text.find(home.File("preview.htm")), std::string::npos)
      << services.Boxes[0].text;
}

// The HTML Code page opens at its first line and first column, however long the markup is
// and however far it was scrolled when it was last left.
TEST_F(ImageMap, TheHtmlCodePageOpensAtItsFirstLine) {
  for (int i = 0; i < 40; ++i)
    Add(page.scene, "B" + std::to_string(i), {0, 0, 10, 10}, "http://example.org/" + std::string(80, 'p'),
        true);
  form.show();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    form.PageControl->setCurrentWidget(form.TabSheet2);
    QCoreApplication::processEvents();
    QScrollBar* down = form.RichEdit->verticalScrollBar();
    QScrollBar* across = form.RichEdit->horizontalScrollBar();
    ASSERT_GT(down->maximum(), 0) << "the markup is longer than the page";
    ASSERT_GT(across->maximum(), 0) << "the markup is wider than the page";
    EXPECT_EQ(down->value(), 0);
    EXPECT_EQ(across->value(), 0);
    EXPECT_EQ(form.RichEdit->textCursor().position(), 0);
    EXPECT_EQ(form.RichEdit->cursorForPosition(QPoint(2, 2)).blockNumber(), 0);
    // Read to its end, then back to the links and again.
    down->setValue(down->maximum());
    across->setValue(across->maximum());
    form.PageControl->setCurrentWidget(form.TabSheet1);
  }
}

TEST_F(ImageMap, PreviewWithoutTheDialogBuildsFreshHtml) {
  // Left on the HTML page after an earlier run, the text belongs to another selection.
  form.PageControl->setCurrentWidget(form.TabSheet2);
  form.RichEdit->setPlainText("stale");
  form.ButtonPreviewClick();
  EXPECT_EQ(ReadAll(home.File("preview.htm")), WithCRLF(kGolden));
}

TEST_F(ImageMap, LinkRowsShowTheSelectedObjectsAndWriteLinksBack) {
  for (int i = 0; i < 6; ++i)
    Add(page.scene, "B" + std::to_string(i), {0, 0, 10, 10}, "l" + std::to_string(i), true);
  // Long links and line breaks survive the filling of the rows untouched.
  std::string longLink(40000, 'x');
  page.scene.Button(4)->LinkAddress = longLink;
  page.scene.Button(5)->LinkAddress = "two\nlines";
  form.show();
  // Nine selected objects: two rows beyond the window.
  EXPECT_EQ(form.PageControl->currentWidget(), form.TabSheet1);
  EXPECT_EQ(form.ScrollBar1->maximum(), 2);
  const char* texts[] = {"Home", "[No Text]", "Shop", "B0", "B1", "B2", "B3"};
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(form.StaticText[k]->text().toStdString(), texts[k]);
    EXPECT_TRUE(form.Edit[k]->isEnabled());
  }
  EXPECT_EQ(form.LinkRows[2], page.scene.Button(3));
  EXPECT_EQ(form.Edit[2]->text().toStdString(), "http://x/?a=1&b=2");
  EXPECT_EQ(page.scene.Button(4)->LinkAddress, longLink);
  EXPECT_EQ(page.scene.Button(5)->LinkAddress, "two\nlines");

  form.ScrollBar1->setValue(2);
  EXPECT_EQ(form.StaticText[0]->text().toStdString(), "Shop");
  EXPECT_EQ(form.StaticText[6]->text().toStdString(), "B5");
  // Typing in a row changes that object's link at once.
  form.Edit[1]->setText("new.htm");
  EXPECT_EQ(page.scene.Button(4)->LinkAddress, "new.htm");

  // Leaving the link page shows the HTML with the edited links.
  form.PageControl->setCurrentWidget(form.TabSheet2);
  EXPECT_NE(Html().find("HREF=\"new.htm\">"), std::string::npos);

  // Three selected objects: no scrolling, the rest of the rows empty and disabled.
  for (int i = 4; i < page.scene.Count(); ++i) page.scene.Button(i)->IsSelected = false;
  form.PageControl->setCurrentWidget(form.TabSheet1);
  EXPECT_EQ(form.ScrollBar1->maximum(), 0);
  EXPECT_EQ(form.ScrollBar1->value(), 0);
  EXPECT_EQ(form.StaticText[0]->text().toStdString(), "Home");
  for (int k = 3; k < 7; ++k) {
    EXPECT_EQ(form.LinkRows[k], nullptr);
    EXPECT_FALSE(form.Edit[k]->isEnabled());
    EXPECT_TRUE(form.Edit[k]->text().isEmpty());
    EXPECT_TRUE(form.StaticText[k]->text().isEmpty());
  }
  form.Edit[5]->setText("ignored");
  EXPECT_EQ(page.scene.Button(5)->LinkAddress, "two\nlines");
  form.hide();
}

TEST_F(ImageMap, ControlsAtTheirPlaces) {
  EXPECT_EQ(form.windowTitle(), "Create Image Mapped HTML File");
  EXPECT_EQ(form.size(), QSize(433 + 16, 233 + 16));
  EXPECT_EQ(form.PageControl->geometry(), QRect(8, 8, 337, 233));
  EXPECT_EQ(form.PageControl->tabText(0), "Link Addresses");
  EXPECT_EQ(form.PageControl->tabText(1), "HTML Code");
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(form.StaticText[k]->geometry().top(), 10 + 24 * k);
    EXPECT_EQ(form.StaticText[k]->size(), QSize(105, 17));
    EXPECT_EQ(form.Edit[k]->geometry().top(), 8 + 24 * k);
    EXPECT_EQ(form.Edit[k]->width(), 161);
    EXPECT_EQ(form.Edit[k]->objectName(), QString("Edit%1").arg(k + 1));
  }
  EXPECT_TRUE(form.RadioButtonPNG->isChecked());
  EXPECT_EQ(form.RadioButtonJPG->text(), "JPG Image");
  EXPECT_EQ(form.ButtonSave->text(), "Save...");
  EXPECT_EQ(form.ButtonPreview->text(), "Preview");
  EXPECT_EQ(form.ButtonDone->text(), "OK");
  EXPECT_TRUE(form.ButtonDone->isDefault());
  EXPECT_TRUE(form.RichEdit->isReadOnly());
  EXPECT_EQ(form.RichEdit->lineWrapMode(), QTextEdit::NoWrap);
  EXPECT_EQ(form.RichEdit->font().pixelSize(), 13);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
}

// The dialog drawn with the shipped files; ZELMORA_GRAB_DIR keeps the picture.
TEST(ImageMapGrab, TheDialogWithItsBanner) {
  TempDir home, cfg;
  ScopedEnv h{"ZELMORA_HOME", home.Path()}, c{"ZELMORA_CONFIG", cfg.Path()};
  fs::copy(ZELMORA_DATA, home.Path(), fs::copy_options::recursive);
  ScriptedServices services;
  FreeBanner();
  Page page;
  TFormImageMap form;
  form.Scene = &page.scene;
  form.Image = &page.image;
  form.CropRect = page.crop;
  form.show();
  QImage shot = form.grab().toImage();
  std::set<QRgb> colours;
  for (int y = shot.height() - 38; y < shot.height(); ++y)
    for (int x = shot.width() - 90; x < shot.width(); ++x) colours.insert(shot.pixel(x, y));
  // The wash's grain, not a flat fill.
  EXPECT_GT(colours.size(), 8u);
  const char* dir = std::getenv("ZELMORA_GRAB_DIR");
  if (dir && *dir) {
    shot.save(QString(dir) + "/imagemap.png");
    form.PageControl->setCurrentWidget(form.TabSheet2);
    form.grab().save(QString(dir) + "/imagemap-html.png");
  }
  form.hide();
  FreeBanner();
}

}  // namespace
