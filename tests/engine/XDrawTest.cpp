#include "engine/XDraw.h"

#include <gtest/gtest.h>

#include <cmath>

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
      if (std::hypot(x - 50, y - 50) < 38) {
        EXPECT_NE(s.At(x, y), clWhite) << x << "," << y;
      }
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
  struct {
    TOwnerDrawState state;
    TColor firstRow;
  } cases[] = {{odSelected, 0x501010}, {odComboBoxEdit, 0x501010}, {0, 0x404040},
               {odSelected | odDisabled, 0x404040}};
  for (auto& c : cases) {
    Surface s(100, 16);
    DrawListItemCaption(s.canvas, "", Rect(0, 0, 100, 16), c.state);
    EXPECT_EQ(s.At(50, 0), c.firstRow) << c.state;
    EXPECT_EQ(s.At(50, 1), clBlack);
    EXPECT_EQ(s.At(50, 14), clWhite);  // 14 rows only
  }
}

}  // namespace
