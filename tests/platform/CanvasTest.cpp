// The canvas rasteriser and its drawing conventions.
#include "platform/Canvas.h"

#include <gtest/gtest.h>

#include "tests/support/PixelMap.h"

namespace {

struct Sheet {
  TBitmap bmp;
  Sheet(int w, int h) : bmp(w, h, pf32bit) { FillOpaqueWhite(bmp); }
  TCanvas& C() { return bmp.Canvas(); }
  std::string Map() { return PixelMap(bmp, StdLegend()); }
};

TEST(Canvas, RectangleWithPenFillsInsideAndOutlinesTheBox) {
  Sheet s(7, 6);
  s.C().Brush.SetColor(clRed);
  s.C().Rectangle(1, 1, 6, 5);
  EXPECT_EQ(s.Map(), Lines({".......", ".#####.", ".#rrr#.", ".#rrr#.", ".#####.", "......."}));
}

TEST(Canvas, RectangleWithClearPenIsOnePixelSmaller) {
  Sheet s(7, 6);
  s.C().Brush.SetColor(clRed);
  s.C().Pen.Style = psClear;
  s.C().Rectangle(1, 1, 6, 5);
  EXPECT_EQ(s.Map(), Lines({".......", ".rrrr..", ".rrrr..", ".rrrr..", ".......", "......."}));
}

TEST(Canvas, LineToLeavesOutItsEndPoint) {
  Sheet s(6, 4);
  s.C().MoveTo(0, 0);
  s.C().LineTo(5, 0);
  s.C().MoveTo(0, 1);
  s.C().LineTo(3, 3);  // shallow diagonal: 3 pixels, (3,3) not drawn
  EXPECT_EQ(s.Map(), Lines({"#####.", "#.....", ".##...", "......"}));
  EXPECT_EQ(s.C().PenPos, Point(3, 3));
}

TEST(Canvas, CosmeticPenStylesDashAlongTheLine) {
  Sheet s(14, 3);
  s.C().Pen.Style = psDot;
  s.C().MoveTo(0, 0);
  s.C().LineTo(14, 0);
  s.C().Pen.Style = psClear;
  s.C().MoveTo(0, 1);
  s.C().LineTo(14, 1);
  EXPECT_EQ(s.Map(), Lines({"###...###...##", "..............", ".............."}));
  EXPECT_EQ(s.C().PenPos, Point(14, 1));  // a clear pen still moves
}

TEST(Canvas, DottedPenRectangleDashesItsOutlineAroundTheCorners) {
  Sheet s(9, 6);
  s.C().Brush.SetColor(clRed);
  s.C().Pen.Style = psDot;
  s.C().Rectangle(1, 1, 9, 6);
  EXPECT_EQ(s.Map(), Lines({".........", ".###...##", "..rrrrrr#", ".#rrrrrr.", ".#rrrrrr.", ".#...###."}));
}

TEST(Canvas, WidePenIsCentredWithRoundEnds) {
  Sheet s(9, 5);
  s.C().Pen.Width = 3;
  s.C().MoveTo(2, 2);
  s.C().LineTo(6, 2);
  EXPECT_EQ(s.Map(), Lines({".........", ".#######.", ".#######.", ".#######.", "........."}));
}

TEST(Canvas, WidePenRectangleStraddlesTheEdge) {
  Sheet s(10, 10);
  s.C().Brush.Style = bsClear;
  s.C().Pen.Width = 3;
  s.C().Rectangle(2, 2, 8, 8);
  EXPECT_EQ(s.Map(), Lines({"..........", ".########.", ".########.", ".########.", ".###..###.",
                            ".###..###.", ".########.", ".########.", ".########.", ".........."}));
}

TEST(Canvas, InsideFramePenStaysInTheBox) {
  Sheet s(10, 10);
  s.C().Brush.Style = bsClear;
  s.C().Pen.Width = 3;
  s.C().Pen.Style = psInsideFrame;
  s.C().Rectangle(1, 1, 9, 9);
  EXPECT_EQ(s.Map(), Lines({"..........", ".########.", ".########.", ".########.", ".###..###.",
                            ".###..###.", ".########.", ".########.", ".########.", ".........."}));
}

TEST(Canvas, SelfCrossingPolygonFillsByTheAlternateRule) {
  // A bow tie: two triangles meeting at the centre; the outline crosses itself.
  Sheet s(9, 7);
  s.C().Brush.SetColor(clRed);
  s.C().Pen.Style = psClear;
  s.C().Polygon({{0, 0}, {8, 6}, {8, 0}, {0, 6}});
  EXPECT_EQ(s.Map(), Lines({"r......r.", "rr....rr.", "rrr..rrr.", "rrr..rrr.", "rr....rr.", "r......r.",
                            "........."}));
  // Overlapping star: the pentagon in the middle is outside by the alternate rule.
  Sheet t(11, 11);
  t.C().Brush.SetColor(clRed);
  t.C().Pen.Style = psClear;
  t.C().Polygon({{5, 0}, {8, 10}, {0, 4}, {10, 4}, {2, 10}});
  EXPECT_NE(t.bmp.GetPixelColor(5, 2), clBlue);
  EXPECT_EQ(t.bmp.GetPixelColor(5, 6), clWhite);  // the centre stays unfilled
}

TEST(Canvas, EllipseAndRoundRectStayInTheirBoxes) {
  Sheet s(13, 9);
  s.C().Brush.SetColor(clRed);
  s.C().Ellipse(1, 1, 12, 8);
  EXPECT_EQ(s.Map(),
            Lines({".............", "....#####....", "..##rrrrr##..", ".#rrrrrrrrr#.", ".#rrrrrrrrr#.",
                   ".#rrrrrrrrr#.", "..##rrrrr##..", "....#####....", "............."}));
  Sheet r(13, 9);
  r.C().Brush.SetColor(clRed);
  r.C().RoundRect(1, 1, 12, 8, 6, 6);
  EXPECT_EQ(r.Map(),
            Lines({".............", "..#########..", ".#rrrrrrrrr#.", ".#rrrrrrrrr#.", ".#rrrrrrrrr#.",
                   ".#rrrrrrrrr#.", ".#rrrrrrrrr#.", "..#########..", "............."}));
}

TEST(Canvas, PenModeNotTwiceRestoresColoursAndAlphaMarksTouchedPixels) {
  Sheet s(6, 4);
  uint32_t* row = reinterpret_cast<uint32_t*>(s.bmp.ScanLine(1));
  row[2] = 0xFF123456;
  s.C().Pen.Mode = pmNot;
  s.C().Brush.Style = bsClear;
  s.C().Rectangle(0, 0, 5, 3);
  EXPECT_EQ(s.bmp.GetPixelColor(0, 0), clBlack);
  s.C().Rectangle(0, 0, 5, 3);
  s.C().MoveTo(0, 1);
  s.C().LineTo(5, 1);
  EXPECT_EQ(row[2], 0x00EDCBA9u);  // inverted once, alpha 0
  s.C().MoveTo(0, 1);
  s.C().LineTo(5, 1);
  EXPECT_EQ(row[2], 0x00123456u);  // restored colour, still alpha 0
  EXPECT_EQ(s.Map(), Lines({"wwwww.", "ww?ww.", "wwwww.", "......"}));
}

TEST(Canvas, FillRectCoversExactlyTheRectangleAndIgnoresThePenMode) {
  Sheet s(5, 4);
  s.C().Brush.SetColor(clRed);
  s.C().Pen.Mode = pmNot;
  s.C().FillRect(Rect(1, 1, 4, 3));
  s.C().Brush.Style = bsClear;
  s.C().FillRect(Rect(0, 0, 5, 4));  // clear brush: nothing
  EXPECT_EQ(s.Map(), Lines({".....", ".rrr.", ".rrr.", "....."}));
}

TEST(Canvas, BrushColourMakesAClearBrushSolid) {
  TBrush b;
  b.Style = bsClear;
  b.SetColor(clRed);
  EXPECT_EQ(b.Style, bsSolid);
}

TEST(Canvas, DrawingClipsToTheBitmap) {
  Sheet s(4, 3);
  s.C().Brush.SetColor(clRed);
  s.C().Rectangle(-5, -5, 2, 2);
  s.C().Ellipse(-100000, -100000, 100000, 100000);
  s.C().MoveTo(-2000000000, 1);
  s.C().LineTo(2000000000, 1);
  EXPECT_EQ(s.bmp.GetPixelColor(3, 1), clBlack);
}

TEST(Canvas, StretchDrawReplicatesTwiceExactlyAndDrawSkipsTheTransparentColour) {
  TBitmap src(2, 2, pf32bit);
  src.Canvas().SetPixels(0, 0, clRed);
  src.Canvas().SetPixels(1, 0, clBlue);
  src.Canvas().SetPixels(0, 1, clLime);
  src.Canvas().SetPixels(1, 1, clBlack);
  Sheet s(4, 4);
  s.C().StretchDraw(Rect(0, 0, 4, 4), &src);
  EXPECT_EQ(s.Map(), Lines({"rrbb", "rrbb", "gg##", "gg##"}));
  Sheet t(3, 3);
  src.SetTransparent(true);  // automatic: the bottom-left pixel's colour (lime)
  t.C().Draw(1, 1, &src);
  EXPECT_EQ(t.Map(), Lines({"...", ".rb", "..#"}));
}

TEST(Canvas, CopyRectMirrorsWithNegativeWidthAndCopiesWithinOneBitmap) {
  Sheet s(4, 1);
  s.C().SetPixels(0, 0, clRed);
  s.C().SetPixels(1, 0, clBlue);
  s.C().CopyRect(Rect(4, 0, 2, 1), s.C(), Rect(0, 0, 2, 1));
  EXPECT_EQ(s.Map(), Lines({"rbbr"}));
}

TEST(Canvas, KeyedStretchLeavesOutTheKeyAndNearestColourFollowsThePalette) {
  TBitmap src(2, 1, pf32bit);
  src.Canvas().SetPixels(0, 0, clRed);
  src.Canvas().SetPixels(1, 0, clBlue);
  Sheet s(4, 1);
  s.C().StretchDrawKeyed(Rect(0, 0, 4, 1), src, Rect(0, 0, 2, 1), clBlue);
  EXPECT_EQ(s.Map(), Lines({"rr.."}));
  TBitmap m(1, 1, pf1bit);
  EXPECT_EQ(m.Canvas().GetNearestColor(RGB(200, 210, 220)), clWhite);
  EXPECT_EQ(s.C().GetNearestColor(RGB(1, 2, 3)), RGB(1, 2, 3));
}

TEST(Canvas, IndexedBitmapsTakeTheNearestPaletteColour) {
  TBitmap b(4, 2, pf8bit);
  b.Canvas().Brush.SetColor(RGB(250, 5, 5));
  b.Canvas().FillRect(Rect(0, 0, 4, 2));
  EXPECT_EQ(b.GetPixelColor(3, 1), clRed);
}

}  // namespace
