// The page builder's site as headless Chromium and Firefox show it: outside the objects whose
// text became markup the screenshot is the page area pixel for pixel, so no row or column has
// moved; inside them the browser draws the text, and Chromium's DOM holds it with its links.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
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
  EXPECT_TRUE(home.services.Boxes.empty());
  b.index = home.dir.File("Sites/" + name + "/index.htm");
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
void ExpectLooksLikeThePage(TFormMain& w, const Built& b, const TempDir& work, const std::string& keepAs,
                            Browser browser = Browser::Chromium) {
  SCOPED_TRACE(Name(browser));
  const int pad = 20, winW = b.area.Width() + 1 + 2 * pad, winH = b.area.Height() + 1 + pad;
  const int dx = pad + 1 - b.area.Left, dy = 1 - b.area.Top;
  std::string shot = work.File(keepAs + ".png");
  if (browser == Browser::Chromium)
    Chromium(work,
             "--screenshot=" + ShellQuote(shot) + " --window-size=" + IntToStr(winW) + "," + IntToStr(winH),
             "file://" + b.index);
  else FirefoxScreenshot(work, "file://" + b.index, winW, winH, shot);
  ASSERT_TRUE(FileExists(shot)) << "no screenshot";
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
  EXPECT_LE(DifferentPixels(maskedShot, expected), kAllowedDifferentPixels)
      << "the screenshot differs from the page outside the markup (" << keepAs << ")";

  // Inside each markup caption the browser drew text: pixels of the caption's colour where
  // the page without its caption has another.
  for (size_t i = 0; i < masked.size(); ++i) {
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
  EXPECT_GT(b.markup.size(), 3u);
  TempDir work;
  ExpectLooksLikeThePage(*w, b, work, "splash");
  ExpectLooksLikeThePage(*w, b, work, "splash-firefox", Browser::Firefox);
}

}  // namespace
