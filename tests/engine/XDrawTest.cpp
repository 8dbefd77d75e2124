// The renderer's drawing helpers: stars, shaded rings and button text.
#include "engine/XDraw.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "platform/Graphics.h"

namespace {

struct Surface {
  TBitmap bitmap;
  TCanvas& canvas;
  Surface(int w, int h) : bitmap(w, h, pf32bit), canvas(bitmap.Canvas()) {
    canvas.Brush.SetColor(clWhite);
    canvas.FillRect(Rect(0, 0, w, h));
  }
  TColor At(int x, int y) const { return bitmap.GetPixelColor(x, y); }
};

TEST(DrawStar, TipsOfAnEightVertexStar) {
  Surface s(40, 40);
  s.canvas.Pen.Style = psClear;
  s.canvas.Brush.SetColor(clRed);
  DrawStar(s.canvas, Rect(0, 0, 40, 40), 0.5, 1.0, 8);
  for (TPoint p : {Point(20, 36), Point(36, 20), Point(20, 4), Point(4, 20), Point(20, 20)})
    EXPECT_EQ(s.At(p.X, p.Y), clRed) << p.X << "," << p.Y;
  for (TPoint p : {Point(2, 2), Point(37, 2), Point(2, 37), Point(37, 37)})
    EXPECT_EQ(s.At(p.X, p.Y), clWhite) << p.X << "," << p.Y;
}

TEST(DrawStar, AnyVertexCountAndNothingBelowThree) {
  Surface s(50, 50);
  s.canvas.Brush.SetColor(clBlue);
  DrawStar(s.canvas, Rect(0, 0, 50, 50), 0.8, 1.0, 2);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_EQ(s.At(x, y), clWhite);
  DrawStar(s.canvas, Rect(0, 0, 50, 50), 0.8, 1.0, 400);  // more than a fixed buffer held
  EXPECT_EQ(s.At(25, 25), clBlue);
}

TEST(DrawShadedRing, LargeInsetFillsTheEllipseWithTheGradient) {
  Surface s(100, 100);
  const TColor A = RGB(200, 0, 0), B = RGB(0, 200, 0), C = RGB(0, 0, 200), D = RGB(200, 200, 0);
  DrawShadedRing(s.canvas, 0, 0, 100, 100, A, B, C, D, 60);
  for (int y = 10; y < 90; y += 7)
    for (int x = 10; x < 90; x += 7)
      if (std::hypot(x - 50, y - 50) < 38) { EXPECT_NE(s.At(x, y), clWhite) << x << "," << y; }
  EXPECT_EQ(s.At(2, 2), clWhite);
  // The gradient starts at colour A (a degree is less than a pixel wide here, so allow a
  // step or two); the top is halfway to B.
  double a = -44.5 * M_PI / 180;
  TColor start = s.At(int(50 + 40 * std::sin(a)), int(50 - 40 * std::cos(a)));
  EXPECT_NEAR(GetRValue(start), 200, 5);
  EXPECT_LE(GetGValue(start), 5);
  TColor top = s.At(50, 15);
  EXPECT_NEAR(GetRValue(top), 100, 6);
  EXPECT_NEAR(GetGValue(top), 100, 6);
}

TEST(DrawButtonText, FilledBoxesAndVerticalCentring) {
  Surface s(60, 60);
  s.canvas.Font.Name = "Arial";
  s.canvas.Font.SetHeight(-12);
  TRect calc{0, 0, 60, 60};
  int line = s.canvas.DrawText("W", calc, DT_CALCRECT | DT_NOPREFIX);
  ASSERT_GT(line, 0);
  // A box exactly one line tall is filled; a taller one is not.
  EXPECT_TRUE(DrawButtonText(s.canvas, "W", 2, 0, 0, 60, line, clBlack));
  EXPECT_FALSE(DrawButtonText(s.canvas, "W", 2, 0, 0, 60, line + 1, clBlack));
  EXPECT_EQ(s.canvas.Brush.Style, bsSolid);

  // Four wrapped lines in a two-line box start half the excess above the box.
  Surface t(60, 60);
  t.canvas.Font = s.canvas.Font;
  EXPECT_TRUE(DrawButtonText(t.canvas, "WW WW WW WW", 0, 0, 20, 40, 20 + 2 * line, clRed));
  bool inkAbove = false;
  for (int y = 20 - line; y < 20; ++y)
    for (int x = 0; x < 40; ++x) inkAbove = inkAbove || t.At(x, y) != clWhite;
  EXPECT_TRUE(inkAbove);
}

TEST(DrawConicalGradient, FirstColourExactLastOneStepShort) {
  // 90 degrees from (0, 200, 30) to (100, 0, 30): red steps by 100/90 and green by -200/90
  // in 16.16, both truncated, so the last wedge is (98, 2, 30), not colour 2.
  Surface s(800, 800);
  DrawConicalGradient(s.canvas, 0, 90, 0, 0, 800, 800, RGB(0, 200, 30), RGB(100, 0, 30), 50);
  EXPECT_EQ(s.At(403, 25), RGB(0, 200, 30));    // first degree, just right of twelve o'clock
  EXPECT_EQ(s.At(775, 396), RGB(98, 2, 30));    // last degree, just above three o'clock
  EXPECT_EQ(s.At(667, 137), RGB(49, 100, 30));  // 45 to 46 degrees: 45 truncated steps
  EXPECT_EQ(s.At(500, 300), clWhite);           // inside the inset
  EXPECT_EQ(s.At(300, 300), clWhite);           // outside the wedge
  // An end angle not after the start draws nothing.
  Surface t(20, 20);
  DrawConicalGradient(t.canvas, 90, 90, 0, 0, 20, 20, clRed, clBlue, 5);
  DrawConicalGradient(t.canvas, 90, 0, 0, 0, 20, 20, clRed, clBlue, 5);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(t.At(x, y), clWhite);
}

TEST(DrawButtonText, CentringTruncatesTheExcessTowardZero) {
  Surface probe(10, 10);
  probe.canvas.Font.Name = "Arial";
  probe.canvas.Font.SetHeight(-13);
  TRect calc{0, 0, 80, 80};
  const int line = probe.canvas.DrawText("Wg", calc, DT_CALCRECT | DT_NOPREFIX);
  ASSERT_GT(line, 4);
  struct Case {
    const char* text;
    int boxHeight;  // the box is (0, 20, 80, 20 + boxHeight)
    int shift;      // how far above the box's top the text starts
    bool filled;
  } cases[] = {
      {"Wg", line, 0, true},        // exactly as tall: filled, no shift
      {"Wg", line + 3, -1, false},  // -3 / 2 is -1: one pixel down
      {"Wg", line + 4, -2, false},
      {"Wg\nWg", 2 * line - 3, 1, true},  // 3 / 2 is 1
      {"Wg\nWg\nWg", line, line, true},   // two lines of excess: one line up
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " in " << c.boxHeight);
    Surface got(80, 100), want(80, 100);
    got.canvas.Font = probe.canvas.Font;
    want.canvas.Font = probe.canvas.Font;
    EXPECT_EQ(DrawButtonText(got.canvas, c.text, 2, 0, 20, 80, 20 + c.boxHeight, clBlack), c.filled);
    want.canvas.Brush.Style = bsClear;
    TRect box{0, 20 - c.shift, 80, 20 + c.boxHeight};
    want.canvas.DrawText(c.text, box, DT_WORDBREAK | DT_NOPREFIX | DT_CENTER);
    bool same = true, ink = false;
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 80; ++x) {
        same = same && got.At(x, y) == want.At(x, y);
        ink = ink || got.At(x, y) != clWhite;
      }
    EXPECT_TRUE(ink);
    EXPECT_TRUE(same);
  }
}

TEST(DrawButtonText, CaptionsPassThroughTheMacroExpander) {
  Surface a(80, 20), b(80, 20);
  a.canvas.Font.SetHeight(-12);
  b.canvas.Font.SetHeight(-12);
  SetTextMacroExpander([](const std::string& t) { return t == "<#x>" ? std::string("IIII") : t; });
  DrawButtonText(a.canvas, "<#x>", 0, 0, 0, 80, 20, clBlack);
  SetTextMacroExpander(nullptr);
  DrawButtonText(b.canvas, "IIII", 0, 0, 0, 80, 20, clBlack);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 80; ++x) ASSERT_EQ(a.At(x, y), b.At(x, y));
  EXPECT_EQ(ExpandCaptionMacros("<#x>"), "<#x>");
}

TEST(DrawListItemCaption, BandsByState) {
  const std::vector<TColor> blue{0x501010, 0,        0x602020, 0,        0x703030, 0,        0x804040,
                                 0,        0x703030, 0,        0x602020, 0,        0x501010, 0};
  const std::vector<TColor> grey{0x404040, 0,        0x505050, 0,        0x606060, 0,        0x707070,
                                 0,        0x606060, 0,        0x505050, 0,        0x404040, 0};
  struct {
    TOwnerDrawState state;
    bool dark;
  } cases[] = {
      {odSelected, true}, {odComboBoxEdit, true},           {odSelected | odFocused, true},      {0, false},
      {odFocused, false}, {odSelected | odDisabled, false}, {odComboBoxEdit | odDisabled, false}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.state);
    Surface s(100, 18);
    s.canvas.Font.Name = "Arial";
    s.canvas.Font.SetHeight(-11);
    DrawListItemCaption(s.canvas, "IIII", Rect(2, 1, 100, 18), c.state);
    const std::vector<TColor>& band = c.dark ? blue : grey;
    std::vector<TColor> rows;
    for (int y = 1; y < 15; ++y) rows.push_back(s.At(90, y));
    EXPECT_EQ(rows, band);
    EXPECT_EQ(s.At(90, 0), clWhite);
    EXPECT_EQ(s.At(90, 15), clWhite);  // 14 rows only
    EXPECT_EQ(s.At(1, 3), clWhite);    // from the rectangle's left
    // The caption in bold, yellow on the blue band and white on the grey one.
    EXPECT_TRUE(s.canvas.Font.Style & fsBold);
    TColor ink = c.dark ? TColor(0x00FFFF) : clWhite;
    bool found = false;
    for (int y = 1; y < 15; ++y)
      for (int x = 4; x < 40; ++x) found = found || s.At(x, y) == ink;
    EXPECT_TRUE(found);
  }
}

}  // namespace
