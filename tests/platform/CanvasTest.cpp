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
  // Alpha 0 where it filled, the rest as it was; rectangles past the bitmap and inverted ones.
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(s.bmp.ScanLine(1))[1], 0x00FF0000u);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(s.bmp.ScanLine(0))[0], 0xFFFFFFFFu);
  s.C().Brush.SetColor(clBlue);
  s.C().FillRect(Rect(4, 3, 2, 1));
  EXPECT_EQ(s.Map(), Lines({".....", ".rrr.", ".rrr.", "....."}));
  s.C().FillRect(Rect(-2000000000, 3, 2000000000, 2000000000));
  s.C().FillRect(Rect(4, -7, 9, 1));
  EXPECT_EQ(s.Map(), Lines({"....b", ".rrr.", ".rrr.", "bbbbb"}));
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

// With an origin, a bitmap holds a part of a larger drawing: each call draws exactly the
// pixels the whole drawing has there, whatever the part.
TEST(Canvas, AnOriginDrawsAPartOfTheDrawingPixelForPixel) {
  auto draw = [](TCanvas& c) {
    c.Pen.Width = 1;
    c.Brush.SetColor(clRed);
    c.Rectangle(3, 2, 40, 30);
    c.Pen.Width = 5;
    c.Pen.Color = clBlue;
    c.RoundRect(10, 8, 57, 44, 19, 13);
    c.Pen.Width = 1;
    c.Brush.Style = bsClear;
    c.Ellipse(-5, 20, 31, 51);
    c.Brush.SetColor(clLime);
    c.Polygon({{30, 1}, {59, 40}, {2, 33}, {44, 12}});
    c.Pen.Style = psDot;
    c.Rectangle(20, 25, 50, 48);
    c.Pen.Style = psSolid;
    c.Pen.Width = 4;
    c.MoveTo(0, 47);
    c.LineTo(59, 3);
    c.Pen.Width = 1;
    c.Brush.SetColor(clYellow);
    c.FrameRect(Rect(12, 30, 33, 41));
    c.FillRect(Rect(50, 2, 56, 9));
    c.SetPixels(7, 45, clFuchsia);
    c.Font.SetHeight(-14);
    c.Font.Color = clBlack;
    c.Brush.Style = bsClear;
    TRect box(4, 10, 56, 49);
    c.DrawText("Some words drawn across the whole", box, DT_WORDBREAK | DT_CENTER);
    c.Brush.SetColor(clAqua);
    c.TextOut(25, 36, "Out");
  };
  Sheet whole(60, 50);
  draw(whole.C());
  for (TRect part : {Rect(0, 0, 60, 50), Rect(7, 5, 31, 22), Rect(33, 17, 60, 50), Rect(1, 40, 59, 41),
                     Rect(20, 0, 21, 50)}) {
    SCOPED_TRACE(std::to_string(part.Left) + "," + std::to_string(part.Top));
    Sheet s(part.Width(), part.Height());
    {
      TCanvasOrigin at(s.C(), part.Left, part.Top);
      draw(s.C());
      EXPECT_EQ(s.C().Pixels(part.Left, part.Top), whole.C().Pixels(part.Left, part.Top));
      EXPECT_EQ(s.C().Pixels(part.Left - 1, part.Top), clNone);
    }
    EXPECT_EQ(s.C().Origin(), TPoint(0, 0)) << "the guard puts the origin back";
    for (int y = 0; y < part.Height(); ++y)
      for (int x = 0; x < part.Width(); ++x)
        ASSERT_EQ(s.bmp.GetPixelColor(x, y), whole.bmp.GetPixelColor(x + part.Left, y + part.Top))
            << x + part.Left << "," << y + part.Top;
  }
  // Copies take each canvas's origin: the part of the sheet at (20, 10) copied out.
  Sheet copy(10, 10);
  TCanvasOrigin at(whole.C(), 20, 10);
  copy.C().CopyRect(Rect(0, 0, 10, 10), whole.C(), Rect(20, 10, 30, 20));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(copy.bmp.GetPixelColor(x, y), whole.bmp.GetPixelColor(x, y));
}

}  // namespace

// A line given by points far outside the bitmap sets the pixels of the same line given by
// points near it: its rounding does not overflow, whatever the length.
TEST(Canvas, LineFromFarAwayLandsWhereTheNearLineDoes) {
  struct Case {
    TPoint farFrom, farTo, nearFrom, nearTo;
  } cases[] = {
      {{-2000000000, -1500000000}, {2000000000, 1500000000}, {-400, -300}, {400, 300}},
      {{-1500000000, 2000000000}, {1500000000, -2000000000}, {-300, 400}, {300, -400}},
      {{-2000000000, 20}, {2000000000, 20}, {-40, 20}, {40, 20}},
  };
  for (const Case& c : cases) {
    Sheet far(40, 30), near(40, 30);
    far.C().MoveTo(c.farFrom.X, c.farFrom.Y);
    far.C().LineTo(c.farTo.X, c.farTo.Y);
    near.C().MoveTo(c.nearFrom.X, c.nearFrom.Y);
    near.C().LineTo(c.nearTo.X, c.nearTo.Y);
    EXPECT_EQ(far.Map(), near.Map()) << c.farFrom.X << "," << c.farFrom.Y;
    EXPECT_NE(far.Map().find('#'), std::string::npos);
  }
}
