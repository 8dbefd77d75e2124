// The page builder's site as headless Chromium and Firefox show it: outside the objects whose
// text became markup the screenshot is the page area pixel for pixel, so no row or column has
// moved; inside them the browser draws the text, and Chromium's DOM holds it with its links.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "POP/PopHTML.h"
#include "POP/PopTypes.h"
#include "app/AppEnvironment.h"
#include "engine/TPageBuilder.h"
#include "platform/SysUtils.h"
#include "platform/TextRender.h"
#include "tests/support/Oracle.h"
#include "tests/support/PageBuilderFixture.h"
#include "tests/support/ProgramHome.h"
#include "tests/support/Tools.h"

namespace {

// A binary PPM of a bitmap, with the given rectangles painted over in one colour.
std::string P6(TBitmap& b, const std::vector<TRect>& masked, int dx, int dy, int width, int height,
               uint32_t fill) {
  std::string s = "P6\n" + IntToStr(width) + " " + IntToStr(height) + "\n255\n";
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t p = fill;
      int px = x - dx, py = y - dy;
      bool inside = px >= 0 && py >= 0 && px < b.Width() && py < b.Height();
      for (const TRect& r : masked)
        if (RectContains(r, TPoint(x, y))) inside = false;
      if (inside) p = reinterpret_cast<const uint32_t*>(b.ScanLine(py))[px];
      s += {char(p >> 16 & 0xFF), char(p >> 8 & 0xFF), char(p & 0xFF)};
    }
  return s;
}

// The pixels of a part of a picture file, as ImageMagick reads it: 0xRRGGBB values.
std::vector<uint32_t> Crop(const std::string& file, const TRect& r) {
  std::string ppm = ShellOutput("convert " + ShellQuote(file) + " -crop " + IntToStr(r.Width()) + "x" +
                                IntToStr(r.Height()) + "+" + IntToStr(r.Left) + "+" + IntToStr(r.Top) +
                                " +repage -depth 8 ppm:-");
  std::vector<uint32_t> pixels;
  size_t header = 0;
  for (int fields = 0; fields < 4 && header < ppm.size(); ++header)
    if (ppm[header] == '\n' || ppm[header] == ' ') ++fields;
  for (size_t i = header; i + 2 < ppm.size(); i += 3)
    pixels.push_back(uint32_t(uint8_t(ppm[i])) << 16 | uint32_t(uint8_t(ppm[i + 1])) << 8 |
                     uint8_t(ppm[i + 2]));
  return pixels;
}

struct Built {
  std::string index;
  TRect area;
  std::vector<TRect> markup;    // page rectangles of the objects whose caption is markup
  std::vector<TColor> colours;  // their captions' colours
  std::shared_ptr<XImage> bare = std::make_shared<XImage>();  // the page without those captions
  std::vector<std::string> boxes;                             // what the build told the user
};

// Builds the page into Sites/<name> after drawing it whole: the selection's area, or the
// whole page's when nothing is selected. The objects with markup are those whose cell
// markup the page holds.
Built Build(ProgramHome& home, TFormMain& w, const std::string& name) {
  RenderWholePage(w);
  Built b;
  const TRect whole(0, 0, w.Scene->Page->Width(), w.Scene->Page->Height());
  b.area = RectIntersection(w.Scene->GetBounds(false), whole);
  if (!RectIsVisible(b.area)) b.area = RectIntersection(w.Scene->GetBounds(true), whole);
  home.services.Inputs = {name};
  w.MIHTMLPageBuilder->trigger();
  b.boxes = home.TakeBoxes();
  b.index = home.dir.File("Sites/" + name + "/index.htm");
  if (const char* keep = getenv("ZELMORA_KEEP_ORACLE_OUTPUT"))
    std::filesystem::copy(
        home.dir.File("Sites/" + name), std::string(keep) + "/" + name,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  std::string page = ReadAll(b.index);
  for (int i = 0; i < w.Scene->Count(); ++i) {
    TZLMButton* o = w.Scene->Button(i);
    const std::string html = ObjectCellMarkup(*o, ExpandTextMacros);
    if (w.Scene->IsFullyVisible(o) && RectIntersection(o->Bounds, b.area) == o->Bounds && !html.empty()) {
      EXPECT_NE(page.find(Utf8OrLatin1ToUtf8(html)), std::string::npos) << html;
      b.markup.push_back(o->Bounds);
      b.colours.push_back(ColorToRGB(o->Style->Font->Color));
      o->HideText = true;
    }
  }
  b.bare->SetSize(w.Scene->Page->Width(), w.Scene->Page->Height());
  TRegionList r = nullptr;
  RegionSet(r, 0, 0, b.bare->Width(), b.bare->Height());
  RenderScene(*w.Scene, *b.bare, r);
  RegionClear(r);
  for (int i = 0; i < w.Scene->Count(); ++i) w.Scene->Button(i)->HideText = false;
  return b;
}

enum class Browser { Chromium, Firefox };
const char* Name(Browser b) { return b == Browser::Chromium ? "chromium" : "firefox"; }

// How many pixels outside the markup may differ from the page: none. Both browsers show the
// slices byte for byte (Firefox with colour management off, as Chromium with an sRGB
// profile) and the spacer and plain cells in their exact colours.
constexpr long kAllowedDifferentPixels = 0;

// Compares the screenshot of the site with the page area: the table stands centred at the
// top of a window `pad` wider on each side, after its one-pixel spacer column and row.
// The height of the browser's window for a site of the area. Headless Chromium leaves the
// lower part of a short window unpainted (a 671 x 141 window showed nothing below its 70th
// row, one of 150 rows everything), so the window has room below the table.
int WindowHeight(const TRect& area, int pad) { return std::max(area.Height() + 1 + pad, 160) + 100; }

// Returns the number of pixels that differ outside the markup (-1: no screenshot).
// With checkText, each text box must show text of its caption's colour (a random page's
// colours and snippets need not).
long ExpectLooksLikeThePage(TFormMain& w, const Built& b, const TempDir& work, const std::string& keepAs,
                            Browser browser = Browser::Chromium, bool checkText = true) {
  SCOPED_TRACE(Name(browser));
  const int pad = 20, winW = b.area.Width() + 1 + 2 * pad, winH = WindowHeight(b.area, pad);
  const int dx = pad + 1 - b.area.Left, dy = 1 - b.area.Top;
  std::string shot = work.File(keepAs + ".png");
  if (browser == Browser::Chromium)
    Chromium(work,
             "--screenshot=" + ShellQuote(shot) + " --window-size=" + IntToStr(winW) + "," + IntToStr(winH),
             "file://" + b.index);
  else FirefoxScreenshot(work, "file://" + b.index, winW, winH, shot);
  if (!FileExists(shot)) {
    ADD_FAILURE() << "no screenshot";
    return -1;
  }
  EXPECT_EQ(ShellOutput("identify -format %wx%h " + ShellQuote(shot)), IntToStr(winW) + "x" + IntToStr(winH));
  if (const char* keep = getenv("ZELMORA_KEEP_ORACLE_OUTPUT")) {
    std::filesystem::create_directories(keep);
    std::filesystem::copy_file(shot, std::string(keep) + "/" + keepAs + ".png",
                               std::filesystem::copy_options::overwrite_existing);
  }

  // Outside the markup captions: the page, exactly; the window beside and below the table
  // shows the page colour.
  std::vector<TRect> masked;
  for (const TRect& r : b.markup) masked.push_back(RectOffset(r, dx, dy));
  const uint32_t fill = 0xFF00FF;
  XImage page;
  page.SetSize(winW, winH);
  {
    TColor bg = ColorToRGB(w.Scene->BGColor);
    uint32_t paper =
        0xFF000000u | uint32_t(GetRValue(bg)) << 16 | uint32_t(GetGValue(bg)) << 8 | GetBValue(bg);
    for (int y = 0; y < winH; ++y)
      for (int x = 0; x < winW; ++x) {
        int px = x - dx, py = y - dy;
        bool inArea = px >= b.area.Left && py >= b.area.Top && px < b.area.Right && py < b.area.Bottom;
        reinterpret_cast<uint32_t*>(page.ScanLine(y))[x] =
            inArea ? reinterpret_cast<const uint32_t*>(w.Scene->Page->ScanLine(py))[px] : paper;
      }
  }
  std::string expected = work.File(keepAs + "-expected.ppm");
  WriteAll(expected, P6(page, masked, 0, 0, winW, winH, fill));
  std::string maskedShot = work.File(keepAs + "-masked.ppm");
  std::string draw;
  for (const TRect& r : masked)
    draw += " -draw " + ShellQuote("rectangle " + IntToStr(r.Left) + "," + IntToStr(r.Top) + " " +
                                   IntToStr(r.Right - 1) + "," + IntToStr(r.Bottom - 1));
  ShellOutput("convert " + ShellQuote(shot) + " -alpha off -fill '#FF00FF' -stroke none" + draw + " " +
              ShellQuote(maskedShot));
  const long differing = DifferentPixels(maskedShot, expected);
  EXPECT_LE(differing, kAllowedDifferentPixels)
      << "the screenshot differs from the page outside the markup (" << keepAs << ")";

  // Inside each markup caption the browser drew text: pixels of the caption's colour where
  // the page without its caption has another.
  for (size_t i = 0; i < masked.size() && checkText; ++i) {
    const TRect& r = masked[i];
    SCOPED_TRACE(IntToStr(r.Left) + "," + IntToStr(r.Top));
    const TRect inner = RectInflate(r, -3, -3);
    std::vector<uint32_t> pixels = Crop(shot, inner);
    const TColor c = b.colours[i];
    auto distance = [](uint32_t p, int r, int g, int bl) {
      return std::abs(int(p >> 16 & 0xFF) - r) + std::abs(int(p >> 8 & 0xFF) - g) +
             std::abs(int(p & 0xFF) - bl);
    };
    int text = 0;
    for (int y = 0; y < inner.Height(); ++y)
      for (int x = 0; x < inner.Width(); ++x) {
        const size_t k = size_t(y) * size_t(inner.Width()) + size_t(x);
        if (k >= pixels.size()) break;
        const uint32_t under =
            reinterpret_cast<const uint32_t*>(b.bare->ScanLine(inner.Top - dy + y))[inner.Left - dx + x];
        const int cr = GetRValue(c), cg = GetGValue(c), cb = GetBValue(c);
        text += distance(pixels[k], cr, cg, cb) < 90 && distance(under, cr, cg, cb) >= 90;
      }
    EXPECT_GT(text, 5) << "no text drawn";
  }
  return differing;
}

TEST(PageBuilderInABrowser, TheFixtureSiteLooksLikeThePage) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("compare");
  REQUIRE_TOOL("convert");
  ProgramHome home;
  const std::string project = home.dir.File("shop.zlm");
  WriteAll(project, BuilderFixtureProject());
  auto w = StartMainWindow({project});
  ASSERT_EQ(w->Scene->Count(), 10);
  Built b = Build(home, *w, "shop");
  EXPECT_TRUE(b.boxes.empty());
  // "Home", the text area, the snippet, "Over", and the text area whose text is longer than
  // its box: it scrolls in its box and moves nothing.
  EXPECT_EQ(b.markup.size(), 5u);
  TempDir work;
  ExpectLooksLikeThePage(*w, b, work, "shop");
  ExpectLooksLikeThePage(*w, b, work, "shop-firefox", Browser::Firefox);

  // The markup as the browser parsed it.
  std::string dom = Chromium(work, "--dump-dom", "file://" + b.index);
  EXPECT_NE(dom.find("<title>Shop front</title>"), std::string::npos) << dom;
  const TFontMatch verdana = MatchFont("Verdana", false, false);
  EXPECT_NE(
      dom.find("<a href=\"home.htm\" style=\"color:#000000;text-decoration:none\"><div style=\"width:80px;"
               "height:24px;overflow:hidden;"),
      std::string::npos)
      << dom;
  EXPECT_NE(dom.find("<font color=\"000000\" face=\"Verdana," + verdana.Family + "," + verdana.Generic +
                     "\" style=\"text-decoration:none;font-size:13\">Home</font>"),
            std::string::npos)
      << dom;
  EXPECT_NE(dom.find(">a &lt; b &amp; c</font>"), std::string::npos) << dom;
  EXPECT_NE(dom.find("><i>raw</i> &amp; more</font>"), std::string::npos) << dom;
  EXPECT_EQ(dom.find("Under"), std::string::npos);
}

// Every kind of object, built whole and from a selection that cuts its neighbours, in both
// browsers; kept with ZELMORA_KEEP_ORACLE_OUTPUT for a look.
TEST(PageBuilderInABrowser, EveryKindOfObjectInBothBrowsers) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("firefox-esr");
  REQUIRE_TOOL("compare");
  REQUIRE_TOOL("convert");
  ProgramHome home;
  ShellOutput(ShowcaseLogoCommand(home.dir.File("Images/logo.png")));
  const std::string project = home.dir.File("showcase.zlm");
  WriteAll(project, ShowcaseProject());
  auto w = StartMainWindow({project});
  ASSERT_EQ(w->Scene->Count(), 18);
  ASSERT_TRUE(w->Scene->Button(14)->Style->Texture) << "the logo is missing";
  TempDir work;

  Built whole = Build(home, *w, "showcase");
  EXPECT_TRUE(whole.boxes.empty());
  // The captions that fit (links among them), the text area and the snippet, the Latin-1
  // caption; not the antialiased ones.
  EXPECT_EQ(whole.markup.size(), 12u);
  for (Browser browser : {Browser::Chromium, Browser::Firefox})
    ExpectLooksLikeThePage(*w, whole, work, std::string("showcase-") + Name(browser), browser);

  std::string dom = Chromium(work, "--dump-dom", "file://" + whole.index);
  // The title is text; the Latin-1 caption arrives as the characters the editor drew.
  EXPECT_NE(dom.find("<title>Showcase &lt;&amp;&gt;</title>"), std::string::npos) << dom;
  EXPECT_NE(dom.find(">Caf\xC3\xA9 cr\xC3\xA8me</font>"), std::string::npos) << dom;
  EXPECT_NE(dom.find("<a href=\"c.htm\" style=\"color:#008000;text-decoration:none\">"), std::string::npos)
      << dom;
  EXPECT_NE(dom.find("<u>Courier link</u>"), std::string::npos) << dom;

  // The oval and the snippet: their area cuts the star, the linked metal button and the text
  // area, which are pixels of the crop; the page is that part of the page.
  w->Scene->SelectNone();
  w->Scene->Button(5)->SetSelected(true);
  w->Scene->Button(13)->SetSelected(true);
  Built part = Build(home, *w, "part");
  EXPECT_TRUE(part.boxes.empty());
  EXPECT_EQ(part.area, TRect(120, 44, 260, 180));
  EXPECT_EQ(part.markup.size(), 2u);  // the oval's caption, the snippet
  const std::string page = ReadAll(part.index);
  for (const char* pixels : {">Metal<", "This text area"})
    EXPECT_EQ(page.find(pixels), std::string::npos) << pixels;
  for (Browser browser : {Browser::Chromium, Browser::Firefox})
    ExpectLooksLikeThePage(*w, part, work, std::string("showcase-part-") + Name(browser), browser);
}

// The start-up project's site, kept with ZELMORA_KEEP_ORACLE_OUTPUT for a look.
TEST(PageBuilderInABrowser, TheStartUpProjectSiteLooksLikeThePage) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("compare");
  REQUIRE_TOOL("convert");
  ProgramHome home;
  auto w = StartMainWindow();
  ASSERT_EQ(ExtractFileName(w->ProjectFileName), "splash.zlm");
  Built b = Build(home, *w, "splash");
  EXPECT_TRUE(b.boxes.empty());
  EXPECT_GT(b.markup.size(), 3u);
  TempDir work;
  ExpectLooksLikeThePage(*w, b, work, "splash");
  ExpectLooksLikeThePage(*w, b, work, "splash-firefox", Browser::Firefox);
}

// A project of the given objects on a page of the given size and colour.
struct PageObject {
  std::string text;
  TRect r;
  std::string extra;
};
std::string PageProject(int width, int height, TColor background, const std::vector<PageObject>& objects) {
  std::string s = "[Heading]\r\nBGColor=" + Format("$%.8X", unsigned(background)) +
                  "\r\nLastSelected=-1\r\nNumOfButtons=" + IntToStr(int(objects.size())) +
                  "\r\nProjectWidth=" + IntToStr(width) + "\r\nProjectHeight=" + IntToStr(height) + "\r\n";
  int i = 0;
  for (const PageObject& o : objects)
    s += BuilderObject(i++, o.text, o.r.Left, o.r.Top, o.r.Right, o.r.Bottom, o.extra);
  return s;
}

std::unique_ptr<TFormMain> OpenProject(ProgramHome& home, const std::string& name,
                                       const std::string& project) {
  const std::string file = home.dir.File(name + ".zlm");
  WriteAll(file, project);
  return StartMainWindow({file});
}

bool IsMarkup(const Built& b, const TRect& r) {
  for (const TRect& m : b.markup)
    if (m == r) return true;
  return false;
}

// Captions in the smallest boxes the builder still writes as text, in every face the program
// ships or maps to, one to three lines, words with "-" and "/", bold italic glyphs at the
// box's edge; beside them the cases that must stay pixels. No cell may grow in either engine.
TEST(PageBuilderInABrowser, CaptionsInTheirSmallestBoxesKeepTheirCells) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("firefox-esr");
  REQUIRE_TOOL("compare");
  REQUIRE_TOOL("convert");
  ProgramHome home;
  const char* faces[] = {"Arial",   "Times New Roman", "Courier New", "Verdana",
                         "Georgia", "Tahoma",          "Helvetica",   "Palatino"};
  struct Caption {
    const char* text;
    TFontStyles style;
  } captions[] = {{"Home", 0},       {"Home\r\nNews", 0}, {"Home\r\nNews\r\nShop", TFontStyles(fsBold)},
                  {"e-mail/fax", 0}, {"Sign-in page", 0}, {"WAVY fly", TFontStyles(fsBold | fsItalic)}};
  std::vector<PageObject> objects;
  std::vector<TRect> text;  // the boxes that must be text
  int x = 8, y = 8, rowHeight = 0;
  auto place = [&](int w, int h) {
    if (x + w > 752) {
      x = 8;
      y += rowHeight + 8;
      rowHeight = 0;
    }
    const TRect r = Bounds(x, y, w, h);
    x += w + 8;
    rowHeight = std::max(rowHeight, h);
    return r;
  };
  for (size_t f = 0; f < std::size(faces); ++f)
    for (size_t c = 0; c < std::size(captions); ++c) {
      TFont font;
      font.Name = faces[f];
      const int size = 11 + int((f + c) % 3) * 3;
      font.SetHeight(-size);
      font.Style = captions[c].style;
      int w = 1;
      while (w < 400 && !CaptionLayout(font, captions[c].text, w, 1000).Fits) ++w;
      const TCaptionLayout l = CaptionLayout(font, captions[c].text, w, 1000);
      const int h = int(l.Lines.size()) * l.LineHeight + kCaptionRoomY;
      ASSERT_TRUE(CaptionLayout(font, captions[c].text, w, h).Fits);
      ASSERT_FALSE(CaptionLayout(font, captions[c].text, w, h - 1).Fits);
      const TRect r = place(w, h);
      text.push_back(r);
      objects.push_back({captions[c].text, r,
                         "Shape=" + IntToStr(int(c % 2)) +
                             "\r\nColor0=" + IntToStr(int(0xE0F0FF - 0x1008 * f)) +
                             "\r\nFontName=" + faces[f] + "\r\nFontHeight=-" + IntToStr(size) +
                             (captions[c].style & fsBold ? "\r\nFontBold=1" : "") +
                             (captions[c].style & fsItalic ? "\r\nFontItalic=1" : "") + "\r\n"});
    }
  // Pixels: a word wider than its box, a caption whose one line fills its box, two lines a
  // browser would need more height for.
  const std::vector<PageObject> pixels = {
      {"Internationalisation", place(96, 24), "Shape=1\r\nFontName=Arial\r\nFontHeight=-13\r\n"},
      {"Price list", place(41, 20), "Shape=1\r\nFontName=Arial\r\nFontHeight=-11\r\n"},
      {"Home\r\nNews", place(110, 31), "Shape=1\r\nFontName=Verdana\r\nFontHeight=-13\r\n"}};
  objects.insert(objects.end(), pixels.begin(), pixels.end());
  auto w = OpenProject(home, "captions", PageProject(760, y + rowHeight + 8, RGB(0xF4, 0xF4, 0xEC), objects));
  Built b = Build(home, *w, "captions");
  EXPECT_TRUE(b.boxes.empty());
  for (const TRect& r : text) EXPECT_TRUE(IsMarkup(b, r)) << r.Left << "," << r.Top << " is not text";
  for (const PageObject& o : pixels) EXPECT_FALSE(IsMarkup(b, o.r)) << o.text << " is text";
  TempDir work;
  for (Browser browser : {Browser::Chromium, Browser::Firefox})
    EXPECT_EQ(ExpectLooksLikeThePage(*w, b, work, std::string("captions-") + Name(browser), browser), 0);
}

// The pixels of a screenshot of the site with every picture inside a link marked, minus the
// unmarked screenshot: the area the links cover, in the browser's own layout.
long LinkedPixels(const Built& b, const TempDir& work, Browser browser, const std::string& name) {
  const int pad = 20, winW = b.area.Width() + 1 + 2 * pad, winH = WindowHeight(b.area, pad);
  std::string page = ReadAll(b.index);
  page.insert(page.find("<HEAD>") + 6, "<STYLE>a[href] img{background:#FF00FF;filter:invert(1)}</STYLE>");
  const std::string marked = ExtractFilePath(b.index) + "marked.htm";
  WriteAll(marked, page);
  std::string shots[2];
  const std::string urls[2] = {"file://" + b.index, "file://" + marked};
  for (int i = 0; i < 2; ++i) {
    shots[i] = work.File(name + "-" + Name(browser) + IntToStr(i) + ".png");
    if (browser == Browser::Chromium)
      Chromium(
          work,
          "--screenshot=" + ShellQuote(shots[i]) + " --window-size=" + IntToStr(winW) + "," + IntToStr(winH),
          urls[i]);
    else FirefoxScreenshot(work, urls[i], winW, winH, shots[i]);
  }
  return DifferentPixels(shots[0], shots[1]);
}

// Three linked buttons on a 640 x 200 page: one free, one covered at a corner by a
// transparent label, one past the right edge; and one wholly under another, whose lost link
// the user is told of. Each keeps its link over its visible part, in both engines.
TEST(PageBuilderInABrowser, LinksOfCoveredAndOffPageButtonsWorkInBothBrowsers) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("firefox-esr");
  REQUIRE_TOOL("compare");
  REQUIRE_TOOL("convert");
  ProgramHome home;
  const std::string button = "Shape=1\r\nIsAntialiased=1\r\nColor0=16764108\r\n";
  auto w = OpenProject(home, "links",
                       PageProject(640, 200, clWhite,
                                   {{"Free", {20, 20, 120, 50}, button + "LinkAddress=free.htm\r\n"},
                                    {"Cornered", {200, 20, 300, 50}, button + "LinkAddress=corner.htm\r\n"},
                                    {"Label", {270, 40, 340, 70}, "Shape=0\r\nIsTransparent=1\r\n"},
                                    {"Edge", {580, 20, 700, 50}, button + "LinkAddress=edge.htm\r\n"},
                                    {"Buried", {20, 100, 80, 130}, button + "LinkAddress=buried.htm\r\n"},
                                    {"Lid", {10, 90, 90, 140}, "Shape=1\r\nColor0=10079436\r\n"}}));
  Built b = Build(home, *w, "links");
  ASSERT_EQ(b.boxes.size(), 1u);
  EXPECT_NE(b.boxes[0].find("\"Buried\" (buried.htm) is wholly covered"), std::string::npos) << b.boxes[0];
  TempDir work;
  const std::string dom = Chromium(work, "--dump-dom", "file://" + b.index);
  for (const char* link : {"free.htm", "corner.htm", "edge.htm"})
    EXPECT_NE(dom.find(std::string("<a href=\"") + link + "\"><img "), std::string::npos) << link << dom;
  EXPECT_EQ(dom.find("buried.htm"), std::string::npos);
  // The free button 100 x 30, the cornered one but for the label's 30 x 10, the part of the
  // last one on the page 60 x 30.
  for (Browser browser : {Browser::Chromium, Browser::Firefox}) {
    SCOPED_TRACE(Name(browser));
    EXPECT_EQ(ExpectLooksLikeThePage(*w, b, work, std::string("links-") + Name(browser), browser), 0);
    EXPECT_EQ(LinkedPixels(b, work, browser, "links"), 3000 + 2700 + 1800);
  }
}

// The slips of a snippet stay in its box: whatever follows it on the page is where it was.
TEST(PageBuilderInABrowser, SnippetSlipsStayInTheirBoxes) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("firefox-esr");
  REQUIRE_TOOL("compare");
  REQUIRE_TOOL("convert");
  ProgramHome home;
  const std::string snippet = "Shape=24\r\nColor0=14540253\r\n";
  auto w = OpenProject(
      home, "slips",
      PageProject(480, 200, RGB(0xF8, 0xF0, 0xE8),
                  {{"<B>Note</B><!-- never closed", {10, 10, 110, 60}, snippet},
                   {"<TABLE><TR><TD>swallows", {120, 10, 220, 60}, snippet},
                   {"one</TABLE>two", {230, 10, 330, 60}, snippet},
                   {"cell<TD>more</TD></TR>", {340, 10, 440, 60}, snippet},
                   {"After", {10, 80, 110, 110}, "Shape=1\r\nLinkAddress=after.htm\r\n"},
                   {"Shiny", {120, 80, 220, 110}, "Shape=5\r\nIsAntialiased=1\r\nColor0=3381759\r\n"},
                   {"", {230, 80, 330, 190}, "Shape=0\r\nColor0=10079436\r\n"},
                   {"Last", {340, 150, 440, 190}, "Shape=2\r\nColor0=15132390\r\n"}}));
  Built b = Build(home, *w, "slips");
  ASSERT_EQ(b.boxes.size(), 1u);
  for (const char* repair :
       {"closed a comment left open", "closed <table>", "dropped </TABLE>", "dropped <TD>"})
    EXPECT_NE(b.boxes[0].find(repair), std::string::npos) << repair << ": " << b.boxes[0];
  EXPECT_EQ(b.markup.size(), 6u);  // the four snippets, "After", "Last"
  TempDir work;
  for (Browser browser : {Browser::Chromium, Browser::Firefox})
    EXPECT_EQ(ExpectLooksLikeThePage(*w, b, work, std::string("slips-") + Name(browser), browser), 0);
  const std::string dom = Chromium(work, "--dump-dom", "file://" + b.index);
  EXPECT_NE(dom.find(">After</font>"), std::string::npos) << dom;
  EXPECT_NE(dom.find(">Last</font>"), std::string::npos) << dom;
}

// A random page that a user could make: every object kind, frame, shape, texture mode, face
// and caption kind, objects over each other and past the page's edges, links, non-ASCII
// text, snippets with slips, and now and then a selection that is built alone.
std::string RandomPage(std::mt19937& random) {
  auto pick = [&](int n) { return int(random() % unsigned(n)); };
  const int width = 240 + pick(400), height = 160 + pick(240);
  const char* words[] = {"Home",
                         "News",
                         "Caf\xC3\xA9",
                         "Gr\xC3\xB6\xC3\x9F"
                         "e",
                         "e-mail",
                         "in/out",
                         "Price",
                         "list",
                         "\xD0\x9C\xD0\xB8\xD1\x80",
                         "Sign-in",
                         "a&b",
                         "<ok>",
                         "W",
                         "Internationalisation"};
  const char* snippets[] = {
      "<B>bold</B> text",        "<!-- open", "<TABLE><TR><TD>x",       "a</TABLE>b", "c<TD>d",
      "<UL><LI>one<LI>two</UL>", "<I>lean",   "<A href=s.htm>link</A>", "<P>para"};
  const char* faces[] = {"Arial",   "Times New Roman", "Courier New", "Verdana",
                         "Georgia", "Tahoma",          "Helvetica"};
  const char* textures[] = {"wood.bmp", "marble.bmp", "metal.bmp", "paper.bmp"};
  const int shapes[] = {0, 1, 2, 3, 5, 6, 8, 11, 17, 23, 24};
  std::vector<PageObject> objects;
  const int n = 3 + pick(10);
  const bool selection = pick(4) == 0;
  for (int i = 0; i < n; ++i) {
    const int w = 24 + pick(150), h = 14 + pick(60);
    const TRect r = Bounds(pick(width + 20) - 20, pick(height + 10) - 10, w, h);
    const int shape = shapes[pick(int(std::size(shapes)))];
    std::string text;
    if (shape == 24) text = snippets[pick(int(std::size(snippets)))];
    else if (pick(6) > 0)
      for (int k = 0, words_ = 1 + pick(shape == 23 ? 12 : 3); k < words_; ++k)
        text += std::string(k ? (pick(4) == 0 ? "\r\n" : " ") : "") + words[pick(int(std::size(words)))];
    std::string extra = "Shape=" + IntToStr(shape) + "\r\nColor0=" + IntToStr(int(random() & 0xFFFFFF)) +
                        "\r\nColor5=" + IntToStr(int(random() & 0x7F7F7F)) +
                        "\r\nPenWidth=" + IntToStr(1 + pick(3)) + "\r\nCurveSize=" + IntToStr(4 + pick(16)) +
                        "\r\nFontName=" + faces[pick(int(std::size(faces)))] + "\r\nFontHeight=-" +
                        IntToStr(9 + pick(12)) + "\r\nFontColor=" + IntToStr(int(random() & 0x5F5F5F)) +
                        "\r\nAlignX=" + IntToStr(pick(3)) + "\r\n";
    if (pick(5) == 0) extra += "IsAntialiased=1\r\n";
    if (pick(6) == 0) extra += "IsTransparent=1\r\n";
    if (pick(5) == 0)
      extra += "TextureFileName=" + std::string(textures[pick(int(std::size(textures)))]) +
               "\r\nTextureMode=" + IntToStr(1 << pick(3)) + "\r\n";
    if (pick(4) == 0) extra += "FontBold=1\r\n";
    if (pick(4) == 0) extra += "FontItalic=1\r\n";
    if (pick(6) == 0) extra += "FontUnderline=1\r\n";
    if (pick(3) == 0) extra += "LinkAddress=p" + IntToStr(i) + ".htm\r\n";
    if (selection && pick(3) == 0) extra += "IsSelected=1\r\n";
    objects.push_back({text, r, extra});
  }
  return PageProject(width, height, TColor(random() & 0xFFFFFF), objects);
}

// Pages of the generator, a few at a time so that ctest runs them side by side: each one
// the page pixel for pixel outside its text boxes, in Chromium and in Firefox.
class RandomPages : public testing::TestWithParam<int> {};

TEST_P(RandomPages, MatchInBothBrowsers) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("firefox-esr");
  REQUIRE_TOOL("compare");
  REQUIRE_TOOL("convert");
  constexpr int kPages = 3;
  long worst[2] = {0, 0};
  int matching[2] = {0, 0};
  for (int p = 0; p < kPages; ++p) {
    const int seed = GetParam() * kPages + p;
    SCOPED_TRACE("random page " + IntToStr(seed));
    std::mt19937 random(unsigned(20261211 + seed));
    ProgramHome home;
    ShellOutput(ShowcaseLogoCommand(home.dir.File("Images/logo.png")));
    auto w = OpenProject(home, "random", RandomPage(random));
    if (w->Scene->Count() == 0) continue;
    Built b = Build(home, *w, "random" + IntToStr(seed));
    if (!FileExists(b.index)) continue;  // every object off the page: nothing to build
    TempDir work;
    for (Browser browser : {Browser::Chromium, Browser::Firefox}) {
      const int k = browser == Browser::Chromium ? 0 : 1;
      const long d = ExpectLooksLikeThePage(*w, b, work, "random" + IntToStr(seed) + "-" + Name(browser),
                                            browser, false);
      matching[k] += d == 0;
      worst[k] = std::max(worst[k], d);
    }
  }
  std::cout << "random pages " << GetParam() * kPages << ".." << GetParam() * kPages + kPages - 1
            << ": chromium " << matching[0] << " of " << kPages << " match (worst " << worst[0]
            << " pixels), firefox " << matching[1] << " of " << kPages << " match (worst " << worst[1]
            << " pixels)\n";
}

INSTANTIATE_TEST_SUITE_P(Seeded, RandomPages, testing::Range(0, 8));

}  // namespace
