// Fonts and text: face matching, metrics, wrapping and alignment.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

#include "platform/Canvas.h"
#include "platform/TextRender.h"
#include "tests/support/PixelMap.h"
#include "tests/support/Tools.h"

namespace {

TEST(Text, FontconfigAgreesWithTheFacesWePick) {
  REQUIRE_TOOL("fc-match");
  for (const char* name : {"Arial", "Times New Roman", "Courier New", "Verdana", "Tahoma"}) {
    TFontMatch m = MatchFont(name, false, false);
    std::string expected = ShellOutput(std::string("fc-match -f '%{family[0]}' '") + name + "'");
    EXPECT_EQ(m.Family, expected) << name;
  }
  EXPECT_EQ(MatchFont("Arial", false, false).Family, "Liberation Sans");
  EXPECT_EQ(MatchFont("Times New Roman", false, false).Family, "Liberation Serif");
  EXPECT_EQ(MatchFont("Courier New", false, false).Family, "Liberation Mono");
  auto fams = InstalledFontFamilies();
  EXPECT_TRUE(std::is_sorted(fams.begin(), fams.end()));
  EXPECT_NE(std::find(fams.begin(), fams.end(), "Liberation Sans"), fams.end());
}

// The generic family of the chosen face, as fontconfig's configuration classes it: the first
// generic name among the families it substitutes for that face. A page names it last, so a
// browser without the face falls back to a face of the same kind.
TEST(Text, TheChosenFaceHasItsGenericFamily) {
  REQUIRE_TOOL("fc-pattern");
  struct {
    const char* name;
    const char* generic;  // nullptr: whatever fontconfig says here
  } cases[] = {{"Arial", "sans-serif"},       {"Times New Roman", "serif"}, {"Courier New", "monospace"},
               {"Liberation Serif", "serif"}, {"Verdana", nullptr},         {"Georgia", nullptr},
               {"Comic Sans MS", nullptr},    {"No Such Face", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFontMatch m = MatchFont(c.name, false, false);
    std::string expected;
    std::string list = ShellOutput("fc-pattern -c -d -f '%{family}' '" + m.Family + "'");
    for (size_t at = 0; expected.empty() && at <= list.size();) {
      size_t end = std::min(list.find(',', at), list.size());
      std::string f = list.substr(at, end - at);
      for (const char* g : {"serif", "sans-serif", "monospace", "cursive", "fantasy"})
        if (f == g) expected = g;
      at = end + 1;
    }
    if (expected.empty()) expected = "sans-serif";
    EXPECT_EQ(m.Generic, expected) << m.Family << ": " << list;
    if (c.generic) EXPECT_EQ(m.Generic, c.generic);
    // Bold and italic faces are of the same kind.
    EXPECT_EQ(MatchFont(c.name, true, true).Generic, m.Generic);
  }
}

struct Box {
  TBitmap bmp{200, 120, pf32bit};
  Box() {
    FillOpaqueWhite(bmp);
    C().Font.Name = "Arial";
    C().Font.SetHeight(-12);
    C().Brush.Style = bsClear;
  }
  TCanvas& C() { return bmp.Canvas(); }
  int LineHeight() { return C().TextHeight("Xg"); }
  int Calc(const std::string& text, int width, uint32_t flags = DT_WORDBREAK | DT_NOPREFIX) {
    TRect r(0, 0, width, 10);
    int h = C().DrawText(text, r, flags | DT_CALCRECT);
    EXPECT_EQ(r.Bottom, h);
    EXPECT_EQ(h % LineHeight(), 0);
    return h / LineHeight();
  }
  // Left-most and right-most touched columns in rows [t, b).
  std::pair<int, int> Ink(int t = 0, int b = 120) {
    int lo = 1 << 30, hi = -1;
    for (int y = t; y < b; ++y)
      for (int x = 0; x < bmp.Width(); ++x)
        if (bmp.ScanLine(y)[4 * x + 3] == 0) {
          lo = std::min(lo, x);
          hi = std::max(hi, x);
        }
    return {lo, hi};
  }
};

TEST(Text, LineHeightIsAscentPlusDescentAndWidthsAdd) {
  Box b;
  TTextMetrics m = FontMetrics(b.C().Font);
  EXPECT_EQ(b.LineHeight(), m.Ascent + m.Descent);
  EXPECT_GE(b.LineHeight(), 12);
  EXPECT_LE(b.LineHeight(), 16);
  EXPECT_EQ(b.C().TextWidth("ab"), b.C().TextWidth("a") + b.C().TextWidth("b"));
  b.C().Font.SetHeight(b.LineHeight() * 2);  // a positive height is the cell height
  EXPECT_NEAR(b.C().TextHeight("X"), b.LineHeight(), 1);
}

TEST(Text, WrapsAtBlanksOnlyAndKeepsLongWordsWhole) {
  Box b;
  int w = b.C().TextWidth("aaaa bbbb");
  struct Case {
    const char* text;
    int width;
    int lines;
  };
  for (Case c : {Case{"aaaa bbbb", w, 1}, Case{"aaaa bbbb", w - 1, 2}, Case{"aaaa bbbb cccc", w, 2},
                 Case{"aaaabbbbccccdddd", 10, 1},  // a word wider than the box stays whole
                 Case{"a aaaabbbbccccdddd b", 10, 3}, Case{"x-y-z/w", 5, 1},  // no breaks but blanks
                 Case{"a\rb", 500, 2}, Case{"a\nb", 500, 2}, Case{"a\r\nb", 500, 2},
                 Case{"a\r\n\r\nb", 500, 3}, Case{"&File && &x", 500, 1}, Case{"", 500, 0}}) {
    EXPECT_EQ(b.Calc(c.text, c.width), c.lines) << c.text << " in " << c.width;
  }
  // No prefix handling: '&' is measured as an ordinary character.
  TRect r(0, 0, 500, 10);
  b.C().DrawText("&A", r, DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(r.Right, b.C().TextWidth("&A"));
  // Without word break the lines only break at CR and LF.
  EXPECT_EQ(b.Calc("aaaa bbbb", 5, DT_NOPREFIX), 1);
}

TEST(Text, AlignsLeftRightAndCentre) {
  int tw;
  {
    Box b;
    tw = b.C().TextWidth("IIII");
  }
  struct Case {
    uint32_t flag;
    int lo, hi;
  };
  for (Case c : {Case{DT_LEFT, 10, 10 + tw}, Case{DT_RIGHT, 110 - tw, 110},
                 Case{DT_CENTER, 60 - tw / 2, 60 + tw / 2 + 1}}) {
    Box b;
    TRect r(10, 10, 110, 40);
    b.C().DrawText("IIII", r, c.flag | DT_WORDBREAK | DT_NOPREFIX);
    auto [lo, hi] = b.Ink();
    EXPECT_GE(lo, c.lo - 1) << c.flag;
    EXPECT_LE(hi, c.hi + 1) << c.flag;
    EXPECT_LE(lo, c.lo + 3) << c.flag;
    EXPECT_GE(hi, c.hi - 4) << c.flag;
  }
}

TEST(Text, DrawingClipsToTheBoxAndTouchedPixelsGetAlphaZero) {
  Box b;
  b.C().Font.SetHeight(-40);
  TRect r(20, 20, 60, 35);
  b.C().DrawText("WWWW WWWW", r, DT_WORDBREAK | DT_NOPREFIX);
  auto [lo, hi] = b.Ink();
  EXPECT_GE(lo, 20);
  EXPECT_LT(hi, 60);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 200; ++x) {
      const uint8_t* p = b.bmp.ScanLine(y) + 4 * x;
      bool in = x >= 20 && x < 60 && y >= 20 && y < 35;
      if (!in) { EXPECT_EQ(p[3], 255) << x << "," << y; }
      if (p[3] == 255) {
        EXPECT_EQ(p[0] & p[1] & p[2], 255);  // untouched stays white
      }
    }
  EXPECT_GE(b.Ink(20, 35).second, 20);
}

TEST(Text, TextOutFillsTheCellWithASolidBrush) {
  Box b;
  b.C().Brush.SetColor(clRed);
  b.C().TextOut(5, 5, "Hi");
  int w = b.C().TextWidth("Hi"), h = b.LineHeight();
  EXPECT_EQ(b.bmp.GetPixelColor(5, 5), clRed);
  EXPECT_EQ(b.bmp.GetPixelColor(5 + w - 1, 5 + h - 1), clRed);
  EXPECT_EQ(b.bmp.GetPixelColor(5 + w, 5), clWhite);
  EXPECT_EQ(b.C().PenPos, Point(5 + w, 5));
}

// The touched pixels' bounding box of a bitmap: left, top, right, bottom (edges inside).
TRect InkBox(const TBitmap& bmp) {
  TRect r(1 << 30, 1 << 30, -1, -1);
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x)
      if (bmp.ScanLine(y)[4 * x + 3] == 0) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x);
        r.Bottom = std::max(r.Bottom, y);
      }
  return r;
}

bool SamePixels(const TBitmap& a, const TBitmap& b) {
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(a.RowBytes())) != 0) return false;
  return true;
}

struct Turned {
  TBitmap bmp{300, 300, pf32bit};
  explicit Turned(int orientation, TBrushStyle brush = bsClear) {
    FillOpaqueWhite(bmp);
    TCanvas& c = bmp.Canvas();
    c.Font.Name = "Arial";
    c.Font.SetHeight(-24);
    c.Font.Color = clBlack;
    c.Font.Orientation = orientation;
    if (brush == bsClear) c.Brush.Style = bsClear;
    else c.Brush.SetColor(clRed);
    c.TextOut(150, 150, "HHHHHH");
  }
};

TEST(Text, TurnedFontsRunTheTextAboutTheCellsTopLeftCorner) {
  Turned upright(0);
  const TRect ink = InkBox(upright.bmp);
  TCanvas& c = upright.bmp.Canvas();
  const int w = c.TextWidth("HHHHHH");
  // Upright, the capitals' ink lies right of and below (150, 150).
  ASSERT_GE(ink.Left, 150);
  ASSERT_GE(ink.Top, 150);
  const int inkW = ink.Right - ink.Left, inkH = ink.Bottom - ink.Top;
  const int along0 = ink.Left - 150, across0 = ink.Top - 150;  // where the ink starts in the cell
  struct Case {
    int orientation;
    TRect expected;  // the upright box turned about (150, 150)
  } cases[] = {
      {900, TRect(150 + across0, 150 - along0 - inkW, 150 + across0 + inkH, 150 - along0)},
      {1800, TRect(150 - along0 - inkW, 150 - across0 - inkH, 150 - along0, 150 - across0)},
      {2700, TRect(150 - across0 - inkH, 150 + along0, 150 - across0, 150 + along0 + inkW)},
  };
  for (const Case& k : cases) {
    Turned t(k.orientation);
    const TRect got = InkBox(t.bmp);
    // Glyphs turned and rasterised anew may differ from the upright ones by a pixel or two.
    EXPECT_NEAR(got.Left, k.expected.Left, 2) << k.orientation;
    EXPECT_NEAR(got.Top, k.expected.Top, 2) << k.orientation;
    EXPECT_NEAR(got.Right, k.expected.Right, 2) << k.orientation;
    EXPECT_NEAR(got.Bottom, k.expected.Bottom, 2) << k.orientation;
  }
  // A whole turn is upright, and the turned glyphs leave the upright ones as they were.
  EXPECT_TRUE(SamePixels(Turned(3600).bmp, upright.bmp));
  EXPECT_TRUE(SamePixels(Turned(-3600).bmp, upright.bmp));
  EXPECT_TRUE(SamePixels(Turned(0).bmp, upright.bmp));
  // 45 degrees: the text climbs to the right, as wide as it is tall.
  const TRect diagonal = InkBox(Turned(450).bmp);
  EXPECT_NEAR(diagonal.Right - diagonal.Left, diagonal.Bottom - diagonal.Top, 4);
  EXPECT_LT(diagonal.Top, 150 - w / 2);
}

TEST(Text, TurnedTextOutFillsTheTurnedCell) {
  Turned t(900, bsSolid);
  TCanvas& c = t.bmp.Canvas();
  const int w = c.TextWidth("HHHHHH"), h = c.TextHeight("H");
  // The cell runs up from (150, 150), one line height to the right.
  EXPECT_NE(t.bmp.GetPixelColor(150 + h / 2, 150 - w + 2), clWhite);
  EXPECT_NE(t.bmp.GetPixelColor(150 + 2, 150 - 2), clWhite);
  EXPECT_EQ(t.bmp.GetPixelColor(150 + w / 2, 150 + h / 2), clWhite) << "the upright cell stays clear";
  EXPECT_EQ(t.bmp.GetPixelColor(150 - 3, 150 - w / 2), clWhite);
  EXPECT_EQ(c.PenPos, Point(150, 150 - w));
}

}  // namespace
