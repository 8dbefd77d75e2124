// The gradient fill of rectangles.
#include <gtest/gtest.h>

#include "gif/Vclutils.h"
#include "platform/SysUtils.h"

namespace {

struct Sheet {
  TBitmap bitmap;
  TCanvas& canvas = bitmap.Canvas();
  Sheet(int w, int h) : bitmap(w, h, pf32bit) {
    canvas.Brush.SetColor(clWhite);
    canvas.FillRect(Rect(0, 0, w, h));
  }
  TColor At(int x, int y) { return bitmap.GetPixelColor(x, y); }
};

TEST(GradientFill, ThreeBandsAndTheRemainder) {
  Sheet s(4, 10);
  const TColor start = RGB(0, 0, 0), end = RGB(200, 100, 50);
  GradientFillRect(s.canvas, Rect(0, 0, 4, 10), start, end, fdTopToBottom, 3);
  TColor middle = RGB(uint8_t(MulDiv(1, 200, 2)), uint8_t(MulDiv(1, 100, 2)), uint8_t(MulDiv(1, 50, 2)));
  const TColor rows[10] = {start, start, start, middle, middle, middle, end, end, end, end};
  for (int y = 0; y < 10; ++y) EXPECT_EQ(s.At(1, y), rows[y]) << y;

  Sheet r(10, 2);
  GradientFillRect(r.canvas, Rect(0, 0, 10, 2), start, end, fdRightToLeft, 3);
  EXPECT_EQ(r.At(0, 0), end);    // reversed: the start colour lands on the right
  EXPECT_EQ(r.At(9, 1), start);  // the remainder column takes the start colour
}

TEST(GradientFill, EdgeCases) {
  Sheet one(3, 1);
  GradientFillRect(one.canvas, Rect(0, 0, 3, 1), clBlack, clRed, fdTopToBottom, 8);
  EXPECT_EQ(one.At(1, 0), clRed);  // no band fits: the row gets the end colour
  GradientFillRect(one.canvas, Rect(0, 0, 3, 1), clBlack, clRed, fdBottomToTop, 8);
  EXPECT_EQ(one.At(1, 0), clBlack);

  Sheet solid(3, 3);
  GradientFillRect(solid.canvas, Rect(0, 0, 3, 3), clBlue, clRed, fdLeftToRight, 1);
  EXPECT_EQ(solid.At(2, 2), clBlue);
  GradientFillRect(solid.canvas, Rect(2, 0, 2, 3), clRed, clRed, fdLeftToRight, 4);  // empty
  EXPECT_EQ(solid.At(2, 0), clBlue);

  Sheet many(5, 1);
  GradientFillRect(many.canvas, Rect(0, 0, 5, 1), clBlack, clWhite, fdLeftToRight, 200);
  EXPECT_EQ(many.At(0, 0), clBlack);
  EXPECT_EQ(many.At(4, 0), clWhite);  // one band per column, the last exactly the end colour
}

}  // namespace
