// Pixel views of a bitmap: rows, size checks, grey scale and comparison.
#include "POP/PopPhoto.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>

#include "POP/PopBitmap.h"
#include "POP/PopGraphics.h"
#include "POP/PopLut.h"
#include "platform/SysUtils.h"
#include "tests/support/ChildRunner.h"
#include "tests/support/PixelMap.h"

namespace {

void Fill(TBitmap& b, uint32_t v) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) reinterpret_cast<uint32_t*>(b.ScanLine(y))[x] = v;
}

TEST(PopPhoto, ViewRowsRunFromTheTopAndConvertTheBitmap) {
  TBitmap b(3, 2, pf24bit);
  b.SetPixelColor(1, 0, clRed);
  TPhoto p = Photo(b);
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  ASSERT_EQ(p.Rows.size(), 2u);
  EXPECT_EQ(p.Rows[0][1] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(p.Rows[1]), b.ScanLine(1));
  TBitmap one(2, 1);
  EXPECT_EQ(Photo(one).Rows.size(), 1u);
  TBitmap none;
  EXPECT_TRUE(Photo(none).Rows.empty());
}

TEST(PopPhoto, AssertRaisesOnEitherSizeAlways) {
  TBitmap a(2, 2), b(3, 2), c(2, 3);
  TPhoto pa = Photo(a), pb = Photo(b), pc = Photo(c);
  try {
    PhotoAssert(pa, pb);
    FAIL();
  } catch (const EAssertionFailed& e) { EXPECT_STREQ(e.what(), "Dst.Width <> Src.Width"); }
  try {
    PhotoAssert(pa, pc);
    FAIL();
  } catch (const EAssertionFailed& e) { EXPECT_STREQ(e.what(), "Dst.Height <> Src.Height"); }
  // A mismatched grey conversion raises before touching anything.
  Fill(a, 0xFF0000FF);
  EXPECT_THROW(PhotoGrayScale(pa, pb), EAssertionFailed);
  EXPECT_EQ(pa.Rows[0][0], 0xFF0000FFu);
}

TEST(PopPhoto, GrayScaleWeightsAndKeepsTheFourthByte) {
  struct Case {
    uint32_t in;
    uint32_t grey;
  };
  for (Case c : {Case{0x12FF0000, 76}, Case{0x3400FF00, 149}, Case{0x560000FF, 28}, Case{0x78FFFFFF, 255}}) {
    TBitmap b(1, 1);
    Fill(b, c.in);
    PhotoGrayScale(b, b);  // in place
    uint32_t v = Photo(b).Rows[0][0];
    EXPECT_EQ(v, (c.in & 0xFF000000) | c.grey << 16 | c.grey << 8 | c.grey) << std::hex << c.in;
  }
}

TEST(PopPhoto, CompareSeesTheFourthByteAndSizes) {
  TBitmap a(3, 2), b(3, 2);
  Fill(a, 0xFF102030);
  Fill(b, 0xFF102030);
  EXPECT_TRUE(PhotoCompare(a, b));
  reinterpret_cast<uint32_t*>(b.ScanLine(1))[2] = 0xFE102030;
  EXPECT_FALSE(PhotoCompare(a, b));
  TBitmap c(2, 3);
  EXPECT_FALSE(PhotoCompare(a, c));
  TBitmap e1, e2(0, 0, pf24bit);
  EXPECT_TRUE(PhotoCompare(e1, e2));
  EXPECT_EQ(e2.PixelFormat(), pf32bit);
}

TEST(PopPhoto, IsBlank) {
  TBitmap empty;
  EXPECT_TRUE(PhotoIsBlank(empty, 0x12345678));
  TBitmap b(2, 2);
  Fill(b, 0xFFFFFFFF);
  EXPECT_TRUE(PhotoIsBlank(b, 0xFFFFFFFF));
  EXPECT_FALSE(PhotoIsBlank(b, 0x00FFFFFF));
}

TEST(PopBitmap, ResizeChangesOnlyWhatDiffers) {
  TBitmap b(2, 2);
  Fill(b, 0x11111111);
  const uint8_t* bits = b.Bits();
  BitmapResize(b, 2, 2);
  EXPECT_EQ(b.Bits(), bits);  // not reallocated
  BitmapResize(b, 3, 2);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
}

TEST(PopBitmap, SnagItClipsToTheSource) {
  TBitmap src(3, 2);
  Fill(src, 0xFFAABBCC);
  reinterpret_cast<uint32_t*>(src.ScanLine(0))[0] = 0xFF000001;
  TBitmap dst(1, 1, pf32bit);
  BitmapSnagIt(dst, src, Rect(-1, -1, 2, 1));
  ASSERT_EQ(dst.Width(), 3);
  ASSERT_EQ(dst.Height(), 2);
  TPhoto p = Photo(dst);
  EXPECT_EQ(p.Rows[0][0], 0u);
  EXPECT_EQ(p.Rows[0][2], 0u);
  EXPECT_EQ(p.Rows[1][0], 0u);
  EXPECT_EQ(p.Rows[1][1], 0xFF000001u);
  EXPECT_EQ(p.Rows[1][2], 0xFFAABBCCu);
  BitmapSnagIt(dst, src, Rect(1, 0, 1, 2));
  EXPECT_EQ(dst.Width(), 0);
  BitmapSnagIt(dst, src, Rect(2, 2, 0, 0));  // inverted
  EXPECT_TRUE(dst.Empty());
  BitmapSnagIt(dst, src, Rect(100, 100, 102, 101));  // wholly outside
  EXPECT_TRUE(PhotoIsBlank(dst, 0));
  // Dst keeps its format.
  TBitmap d24(1, 1, pf24bit);
  BitmapSnagIt(d24, src, Rect(0, 0, 2, 2));
  EXPECT_EQ(d24.PixelFormat(), pf24bit);
  EXPECT_EQ(d24.GetPixelColor(1, 1), TColor(0xCCBBAA));
  // A cut out of the bitmap itself.
  TBitmap self(3, 2);
  Fill(self, 0xFFAABBCC);
  reinterpret_cast<uint32_t*>(self.ScanLine(0))[1] = 0xFF000002;
  BitmapSnagIt(self, self, Rect(1, 0, 3, 1));
  ASSERT_EQ(self.Width(), 2);
  ASSERT_EQ(self.Height(), 1);
  TPhoto ps = Photo(self);
  EXPECT_EQ(ps.Rows[0][0], 0xFF000002u);
  EXPECT_EQ(ps.Rows[0][1], 0xFFAABBCCu);
  // Wider than the int range: refused by the size limit, Dst left as it was.
  EXPECT_THROW(BitmapSnagIt(d24, src, Rect(INT32_MIN, 0, INT32_MAX, 1)), EInvalidGraphic);
  EXPECT_EQ(d24.Width(), 2);
}

// A cut that reuses Dst of the same size overwrites every pixel: what lies outside the
// source is zero whatever Dst held, in every pixel format, the rows' padding bytes too.
TEST(PopBitmap, SnagItDefinesEveryByteOfAReusedBitmap) {
  TBitmap src(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      reinterpret_cast<uint32_t*>(src.ScanLine(y))[x] = 0xFF000000u | (y * 16 + x + 1);
  const TRect cuts[] = {Rect(-2, -1, 3, 3), Rect(3, 2, 7, 6),   Rect(-3, 1, 8, 3),
                        Rect(1, -5, 4, 9),  Rect(9, 9, 13, 13), Rect(0, 0, 5, 4)};
  for (TPixelFormat f : {pf32bit, pf24bit, pf16bit, pf8bit, pf1bit}) {
    for (const TRect& r : cuts) {
      SCOPED_TRACE(testing::Message() << "format " << int(f) << ", cut " << r.Left << "," << r.Top << "-"
                                      << r.Right << "," << r.Bottom);
      TBitmap fresh(1, 1, f), reused(r.Right - r.Left, r.Bottom - r.Top, f);
      if (f == pf8bit || f == pf1bit) reused.SetPalette(fresh.Palette());
      std::memset(reused.Bits(), 0xA5, size_t(reused.ImageSize()));
      BitmapSnagIt(fresh, src, r);
      BitmapSnagIt(reused, src, r);
      ASSERT_EQ(reused.ImageSize(), fresh.ImageSize());
      EXPECT_EQ(std::memcmp(reused.Bits(), fresh.Bits(), size_t(fresh.ImageSize())), 0);
      for (int y = 0; y < fresh.Height(); ++y)
        for (int x = 0; x < fresh.Width(); ++x) {
          const int sx = r.Left + x, sy = r.Top + y;
          const bool inside = sx >= 0 && sy >= 0 && sx < 5 && sy < 4;
          if (!inside) {
            EXPECT_EQ(fresh.GetPixelColor(x, y), TColor(0)) << x << "," << y;
          } else if (f == pf32bit) {
            EXPECT_EQ(reinterpret_cast<const uint32_t*>(fresh.ScanLine(y))[x],
                      reinterpret_cast<const uint32_t*>(src.ScanLine(sy))[sx]);
          }
        }
    }
  }
  // With another copy mode Dst's pixels take part, so they are cleared first all the same.
  TBitmap inverted(3, 3), fromNothing;
  Fill(inverted, 0x12345678);
  inverted.Canvas().CopyMode = fromNothing.Canvas().CopyMode = cmSrcInvert;
  BitmapSnagIt(inverted, src, Rect(-1, -1, 2, 2));
  BitmapSnagIt(fromNothing, src, Rect(-1, -1, 2, 2));
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(inverted.ScanLine(0))[0], 0u);
  EXPECT_EQ(std::memcmp(inverted.Bits(), fromNothing.Bits(), size_t(inverted.ImageSize())), 0);
}

// A cut of a page-sized rectangle that lies mostly outside a small source costs what it
// copies: the rest of the new bitmap is zero without being written.
TEST(PopBitmap, SnagItOfALargeAreaCostsWhatItCopies) {
  TBitmap src(64, 64);
  Fill(src, 0xFF203040);
  TBitmap dst;
  const WorkCost c = MeasureHere([&] { BitmapSnagIt(dst, src, Rect(-8000, -8000, 192, 192)); });
  ASSERT_EQ(dst.Width(), 8192);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(dst.ScanLine(8000))[8000], 0xFF203040u);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(dst.ScanLine(7999))[8000], 0u);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(dst.ScanLine(8100))[8100], 0u);
  // 256 MB of pixels; the cut itself covers 64 rows.
  EXPECT_LE(c.PeakMB, 32 * kMemorySlack) << c.PeakMB << " MB";
}

struct Sheet {
  TBitmap bmp;
  Sheet(int w, int h) : bmp(w, h, pf32bit) { FillOpaqueWhite(bmp); }
  std::string Map() { return PixelMap(bmp, StdLegend()); }
};

TEST(PopGraphics, BevelColoursLeftTopAndRightBottom) {
  Sheet s(2, 2);
  CanvasDrawBevel(s.bmp.Canvas(), 0, 0, 2, 2, clRed, clBlue);
  EXPECT_EQ(s.Map(), Lines({"rb", "rb"}));
  Sheet t(5, 4);
  CanvasDrawBevel(t.bmp.Canvas(), 0, 0, 5, 4, clRed, clBlue);
  EXPECT_EQ(t.Map(), Lines({"rrrrb", "r...b", "r...b", "rbbbb"}));
}

TEST(PopGraphics, TabOutlineCutsTheTopCorners) {
  Sheet s(8, 5);
  CanvasDrawTab(s.bmp.Canvas(), 0, 0, 8, 5, clRed, clBlue, 2);
  EXPECT_EQ(s.Map(), Lines({"..rrrr..", ".r....r.", "r......b", "r......b", "rbbbbbbb"}));
}

TEST(PopGraphics, FillTabUsesBrushAndPen) {
  Sheet s(9, 6);
  TCanvas& c = s.bmp.Canvas();
  c.Brush.SetColor(clRed);
  c.Pen.Color = clBlue;
  CanvasFillTab(c, 0, 0, 8, 5, clLime, clLime, 2);
  EXPECT_EQ(s.Map(), Lines({"..bbbbb..", ".brrrrrb.", "brrrrrrrb", "brrrrrrrb", "brrrrrrrb", "bbbbbbbbb"}));
}

TEST(PopLut, TheTwentyTwoOperations) {
  static TLUATable t;
  struct Case {
    TLUAType type;
    int y, x, v;
  };
  for (Case c : {Case{luaCopyX, 3, 7, 7},
                 Case{luaCopyY, 3, 7, 3},
                 Case{luaInvertX, 0, 5, 250},
                 Case{luaInvertY, 5, 0, 250},
                 Case{luaAverage, 255, 0, 127},
                 Case{luaBlend, 200, 100, 255},
                 Case{luaAdd, 200, 100, 44},
                 Case{luaAddPin, 200, 100, 255},
                 Case{luaSub, 10, 5, 251},
                 Case{luaSubPin, 10, 5, 0},
                 Case{luaDifference, 10, 5, 5},
                 Case{luaMultiply, 255, 128, 128},
                 Case{luaDivide, 200, 0, 200},
                 Case{luaDivide, 255, 2, 127},
                 Case{luaMinimum, 3, 9, 3},
                 Case{luaMaximum, 3, 9, 9},
                 Case{luaBrightness, 0, 255, 0},
                 Case{luaBrightness, 255, 255, 255},
                 Case{luaBrightness, 128, 10, 10},
                 Case{luaContrast, 128, 128, 255},
                 Case{luaContrast, 16, 16, 4},
                 Case{luaOR, 1, 2, 3},
                 Case{luaAND, 3, 6, 2},
                 Case{luaEOR, 3, 6, 5},
                 Case{luaSolarize, 0, 0, 255},
                 Case{luaSolarize, 255, 255, 255},
                 Case{luaSolarize, 100, 100, 55},
                 Case{luaGamma, 64, 100, 100},
                 Case{luaGamma, 0, 128, 0},
                 Case{luaGamma, 128, 128, 180}}) {
    LookUpArray(c.type, t);
    EXPECT_EQ(t[c.y][c.x], c.v) << c.type << " y=" << c.y << " x=" << c.x;
  }
}

}  // namespace
