// A sliced page against independent readers: headless Chromium renders index.htm and dumps
// its DOM, pngcheck checks every slice, and ImageMagick compares each slice with its crop of
// the page bitmap.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/TTableMaker.h"
#include "engine/XObject.h"
#include "tests/engine/SlicedPage.h"
#include "tests/support/Oracle.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

constexpr int kW = 240, kH = 150;
constexpr uint32_t kPaper = 0xFFEEE8D5;  // 0xAARRGGBB
constexpr TColor kPaperColor = RGB(0xEE, 0xE8, 0xD5);

// A binary PPM of the bitmap's colours, written here so that the pictures compared with the
// browser's rendering do not pass through the codecs under test.
void WriteP6(TBitmap& b, const std::string& name) {
  std::string s = "P6\n" + IntToStr(b.Width()) + " " + IntToStr(b.Height()) + "\n255\n";
  for (int y = 0; y < b.Height(); ++y) {
    const uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < b.Width(); ++x, p += 4) s += {char(p[2]), char(p[1]), char(p[0])};
  }
  WriteAll(name, s);
}

// The table as a list of the tags that carry its structure, from the browser's DOM (names
// and attributes lower case, values quoted) or from the slicer's cells.
std::vector<std::string> DomTableTags(const std::string& dom) {
  std::vector<std::string> tags;
  static const std::regex tag(R"(<(table|tr|td|a|img)(\s[^>]*)?>)", std::regex::icase);
  static const std::regex attr(R"(([a-z]+)="([^"]*)\")");
  for (auto it = std::sregex_iterator(dom.begin(), dom.end(), tag); it != std::sregex_iterator(); ++it) {
    std::string name = (*it)[1], attrs = (*it)[2], t = name;
    for (auto a = std::sregex_iterator(attrs.begin(), attrs.end(), attr); a != std::sregex_iterator(); ++a)
      if ((*a)[1] != "border" && (*a)[1] != "cellpadding" && (*a)[1] != "cellspacing")
        t += " " + (*a)[1].str() + "=" + (*a)[2].str();
    tags.push_back(t);
  }
  return tags;
}

std::vector<std::string> ExpectedTableTags(const TTableMaker& m) {
  auto size = [](int w, int h) { return " width=" + IntToStr(w) + " height=" + IntToStr(h); };
  std::vector<std::string> t = {"table" + size(m.Width, m.Height), "tr", "td" + size(1, 1)};
  for (int c = 0; c < m.Cols; ++c) {
    int w = m.Cell(0, c).Width;
    t.push_back("td" + size(w, 1));
    t.push_back("img src=a.gif" + size(w, 1));
  }
  for (int r = 0; r < m.Rows; ++r) {
    t.push_back("tr");
    t.push_back("td" + size(1, m.Cell(r, 0).Height));
    for (int c = 0; c < m.Cols; ++c) {
      const TableCell& cell = m.Cell(r, c);
      if (cell.ColSpan <= 0) continue;
      int w = m.SpanWidth(c, r), h = m.SpanHeight(c, r);
      std::string td = "td" + size(w, h);
      if (cell.Owner) td += " align=CENTER";  // every object of the scene is centred
      if (!cell.BgColor.empty()) td += " bgcolor=" + cell.BgColor;
      if (cell.ColSpan > 1) td += " colspan=" + IntToStr(cell.ColSpan);
      if (cell.RowSpan > 1) td += " rowspan=" + IntToStr(cell.RowSpan);
      t.push_back(td);
      if (cell.Owner && !cell.Owner->Link.empty()) t.push_back("a href=" + cell.Owner->Link);
      t.push_back("img src=" + (cell.ImageFile.empty() ? std::string("a.gif") : cell.ImageFile) + size(w, h));
    }
  }
  return t;
}

uint32_t Mix(uint32_t a, uint32_t b, int i, int n) {
  uint32_t p = 0xFF000000u;
  for (int s = 0; s < 24; s += 8) {
    int ca = int(a >> s & 0xFF), cb = int(b >> s & 0xFF);
    p |= uint32_t(ca + (cb - ca) * i / (n - 1)) << s;
  }
  return p;
}

// Two equal buttons with links, a panel shaded top to bottom, a plain block and a patterned
// bar over the panel and the block; the page colour around them.
struct Scene {
  XImage page;
  TTableMaker maker{kW, kH};
  Scene() {
    MakePage(page, kW, kH, kPaper);
    auto button = [](int x, int y) {
      if (x < 2 || y < 2 || x >= 78 || y >= 38) return 0xFF202020u;  // frame
      return Mix(0xFFD03020, 0xFF2040D0, x, 80);
    };
    const TRect a(16, 12, 96, 52), a2(136, 12, 216, 52), panel(40, 70, 140, 130), block(160, 80, 220, 140),
        bar(120, 100, 180, 120);
    PaintRect(page, a, button);
    PaintRect(page, a2, button);
    PaintRect(page, panel, [](int, int y) { return Mix(0xFF10A040, 0xFFE0FFE0, y, 60); });
    PaintRect(page, block, [](int, int) { return 0xFFFF9900u; });
    PaintRect(page, bar, [](int x, int y) { return ((x / 4 + y / 4) % 2) ? 0xFF8000A0u : 0xFFFFE000u; });
    auto add = [this](const TRect& r, const std::string& link) {
      maker.AddTableObject(r.Left, r.Top, r.Right, r.Bottom, "", link, taCenter, taCenter);
    };
    add(a, "next.htm");
    add(a2, "other.htm");
    add(panel, "");
    add(block, "");
    add(bar, "");
    maker.LayoutTable();
  }
};

TEST(SlicedPageInABrowser, LooksLikeThePageAndHasItsCells) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("pngcheck");
  REQUIRE_TOOL("compare");
  REQUIRE_TOOL("convert");
  Scene s;
  TempDir work;
  std::string site = work.File("site");
  ASSERT_EQ(mkdir(site.c_str(), 0755), 0);
  s.maker.SliceImages(s.page, site);
  ExpectSlicesMatch(s.maker, s.page, site);  // also: the two buttons share one file
  XObject store;
  store.WriteString("Tit", "Sliced page");
  WriteFileAtomic(site + "/index.htm", BuildPageHTML(s.maker, store, kPaperColor));
  const std::string url = "file://" + site + "/index.htm";

  // The slices: sound PNG files, each the crop of the page under every cell that names it.
  std::string pagePpm = work.File("page.ppm");
  WriteP6(s.page, pagePpm);
  int slices = 0;
  for (int r = 0; r < s.maker.Rows; ++r)
    for (int c = 0; c < s.maker.Cols; ++c) {
      const TableCell& cell = s.maker.Cell(r, c);
      if (cell.ColSpan <= 0 || cell.ImageFile.empty()) continue;
      std::string file = site + "/" + cell.ImageFile;
      int status = 0;
      std::string out = ShellOutput("pngcheck -q " + ShellQuote(file) + " 2>&1", &status);
      EXPECT_EQ(status, 0) << cell.ImageFile << ": " << out;
      std::string crop = work.File("crop.ppm");
      ShellOutput("convert " + ShellQuote(pagePpm) + " -crop " + IntToStr(s.maker.SpanWidth(c, r)) + "x" +
                  IntToStr(s.maker.SpanHeight(c, r)) + "+" + IntToStr(cell.Rect.Left) + "+" +
                  IntToStr(cell.Rect.Top) + " +repage " + ShellQuote(crop));
      EXPECT_EQ(DifferentPixels(file, crop), 0) << cell.ImageFile << " at cell " << r << "," << c;
      ++slices;
    }
  EXPECT_GT(slices, 4);
  EXPECT_TRUE(FolderFiles(site).count("0.png"));

  // The rendering: the table is centred in a window wider than it by 2 * pad, at the top;
  // its spacer column and row show the page colour, the cells the page bitmap.
  const int pad = 20, winW = kW + 1 + 2 * pad, winH = kH + 1 + pad;
  std::string shot = work.File("shot.png");
  int status = 0;
  Chromium(work,
           "--screenshot=" + ShellQuote(shot) + " --window-size=" + IntToStr(winW) + "," + IntToStr(winH),
           url, &status);
  ASSERT_TRUE(FileExists(shot)) << "no screenshot";
  XImage expected;
  MakePage(expected, winW, winH, kPaper);
  PaintRect(expected, Bounds(pad + 1, 1, kW, kH),
            [&](int x, int y) { return reinterpret_cast<const uint32_t*>(s.page.ScanLine(y))[x]; });
  std::string expectedPpm = work.File("expected.ppm");
  WriteP6(expected, expectedPpm);
  EXPECT_EQ(ShellOutput("identify -format %wx%h " + ShellQuote(shot)), IntToStr(winW) + "x" + IntToStr(winH));
  EXPECT_EQ(DifferentPixels(shot, expectedPpm), 0) << "the screenshot differs from the page";
  if (const char* keep = getenv("ZELMORA_KEEP_ORACLE_OUTPUT")) {
    std::filesystem::copy(
        site, keep,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(shot, std::string(keep) + "/shot.png",
                               std::filesystem::copy_options::overwrite_existing);
  }

  // The structure as the browser parsed it: every merged cell with its spans, colours,
  // links and pictures, in order.
  std::string dom = Chromium(work, "--dump-dom", url, &status);
  ASSERT_NE(dom.find("<title>Sliced page</title>"), std::string::npos) << dom;
  std::vector<std::string> tags = DomTableTags(dom);
  EXPECT_EQ(tags, ExpectedTableTags(s.maker)) << dom;
  // What the scene asks for, independently of the list above: both buttons link to their
  // pages through the one shared slice; the plain block is a coloured cell.
  EXPECT_NE(dom.find(R"(<a href="next.htm"><img src="0.png" border="0" width="80" height="40"></a>)"),
            std::string::npos);
  EXPECT_NE(dom.find(R"(<a href="other.htm"><img src="0.png" border="0" width="80" height="40"></a>)"),
            std::string::npos);
  EXPECT_NE(dom.find(R"(bgcolor="FF9900")"), std::string::npos);
  EXPECT_NE(
      dom.find(R"(<body bgcolor="EEE8D5" topmargin="0" leftmargin="0" marginheight="0" marginwidth="0">)"),
      std::string::npos);
}

}  // namespace
