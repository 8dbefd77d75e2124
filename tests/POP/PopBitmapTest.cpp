// The bitmap helpers of the foundation library: zoomed drawing, thumbnails, rotation, preparing and
// clearing.
#include "POP/PopBitmap.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

#include "POP/PopGraphics.h"
#include "POP/PopJpeg.h"
#include "platform/JpegImage.h"
#include "platform/SysUtils.h"
#include "tests/support/PixelMap.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

struct Sheet {
  TBitmap bmp;
  Sheet(int w, int h) : bmp(w, h, pf32bit) { FillOpaqueWhite(bmp); }
  std::string Map() { return PixelMap(bmp, StdLegend()); }
};

// red blue / green black
void Quad(TBitmap& b) {
  b.SetPixelFormat(pf32bit);
  b.SetSize(2, 2);
  b.SetPixelColor(0, 0, clRed);
  b.SetPixelColor(1, 0, clBlue);
  b.SetPixelColor(0, 1, clLime);
  b.SetPixelColor(1, 1, clBlack);
}

TEST(PopBitmapExtras, ZoomDrawsBlocksClippedToTheRectangleOrStretches) {
  TBitmap q;
  Quad(q);
  struct Case {
    const char* name;
    TRect r;
    int zoom;
    std::string map;
  };
  const Case cases[] = {
      {"whole blocks", Rect(1, 1, 6, 6), 2,
       Lines({"......", ".rrbb.", ".rrbb.", ".gg##.", ".gg##.", "......"})},
      {"cut at the right and bottom", Rect(1, 1, 4, 4), 2,
       Lines({"......", ".rrb..", ".rrb..", ".gg#..", "......", "......"})},
      {"a zoom wider than the rectangle", Rect(0, 0, 3, 2), 5,
       Lines({"rrr...", "rrr...", "......", "......", "......", "......"})},
      {"stretched below 1", Rect(0, 0, 4, 2), 0,
       Lines({"rrbb..", "gg##..", "......", "......", "......", "......"})},
      // Blocks far wider than the sheet: the second block of the top row covers all of it.
      {"blocks beyond the int range", Rect(-2000000000, 0, 2000000000, 6), 1500000000,
       Lines({"bbbbbb", "bbbbbb", "bbbbbb", "bbbbbb", "bbbbbb", "bbbbbb"})},
  };
  for (const Case& c : cases) {
    Sheet s(6, 6);
    BitmapZOOMDraw(q, s.bmp.Canvas(), c.r, c.zoom);
    EXPECT_EQ(s.Map(), c.map) << c.name;
  }
}

TEST(PopBitmapExtras, ThumbnailCentresTheStretchedPicture) {
  struct Case {
    int sw, sh;
    std::string map;
  };
  for (const Case& c : {Case{4, 2, Lines({"bbbb", "rrrr", "rrrr", "bbbb"})},
                        Case{2, 4, Lines({"brrb", "brrb", "brrb", "brrb"})},
                        Case{1, 1, Lines({"rrrr", "rrrr", "rrrr", "rrrr"})},
                        Case{0, 0, Lines({"bbbb", "bbbb", "bbbb", "bbbb"})}}) {
    TBitmap src(c.sw, c.sh), dst;
    src.Canvas().Brush.SetColor(clRed);
    src.Canvas().FillRect(Rect(0, 0, c.sw, c.sh));
    BitmapThumbnail(dst, src, 4, 4, clBlue);
    EXPECT_EQ(PixelMap(dst, StdLegend()), c.map) << c.sw << "x" << c.sh;
  }
  // Of itself.
  TBitmap self(4, 2);
  self.Canvas().Brush.SetColor(clRed);
  self.Canvas().FillRect(Rect(0, 0, 4, 2));
  BitmapThumbnail(self, self, 4, 4, clBlue);
  EXPECT_EQ(PixelMap(self, StdLegend()), Lines({"bbbb", "rrrr", "rrrr", "bbbb"}));
  EXPECT_THROW(BitmapThumbnail(self, self, -1, 4, clBlue), EInvalidGraphic);
}

TEST(PopBitmapExtras, RotateSizes) {
  const double pi = std::numbers::pi;
  struct Case {
    int w, h;
    double angle;
    TPoint size;
  };
  for (const Case& c :
       {Case{3, 2, 0, {3, 2}}, Case{3, 2, pi / 2, {2, 3}}, Case{3, 2, pi, {3, 2}},
        Case{3, 2, -pi / 2, {2, 3}}, Case{10, 10, pi / 4, {15, 15}}, Case{4, 0, pi / 4, {3, 3}}}) {
    EXPECT_EQ(BitmapRotateSize(c.w, c.h, c.angle), c.size) << c.w << "x" << c.h << " " << c.angle;
  }
  EXPECT_EQ(BitmapGetMaxRotateSize(3, 4), TPoint(5, 5));
  EXPECT_EQ(BitmapGetMaxRotateSize(1, 1), TPoint(2, 2));
  EXPECT_EQ(BitmapGetMaxRotateSize(0, 0), TPoint(0, 0));
}

TEST(PopBitmapExtras, CreatePrepareClear) {
  auto b = BitmapCreate(3, 2, pf8bit);
  EXPECT_EQ(b->Width(), 3);
  EXPECT_EQ(b->PixelFormat(), pf8bit);
  EXPECT_THROW(BitmapCreate(MaxImageDimension + 1, 1), EInvalidGraphic);
  TBitmap dst(9, 9, pf24bit);
  Bitmap32Prepare(dst, *b);
  EXPECT_EQ(b->PixelFormat(), pf32bit);
  EXPECT_EQ(dst.PixelFormat(), pf32bit);
  EXPECT_EQ(TPoint(dst.Width(), dst.Height()), TPoint(3, 2));
  BitmapClear(dst);
  EXPECT_TRUE(dst.Empty());
}

// A picture that draws only its left pixel, so the fill behind it shows.
class TLeftDot : public TGraphic {
 public:
  int Width() const override { return 2; }
  int Height() const override { return 1; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  void Draw(TCanvas& c, const TRect& r) const override { c.SetPixels(r.Left, r.Top, clBlue); }
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) const override {}
};

TEST(PopBitmapExtras, LoadDrawsOntoMagentaAndFailuresLeaveTheBitmap) {
  TempDir dir;
  RegisterFileFormat("leftdot", "Left dots", [] { return std::unique_ptr<TGraphic>(new TLeftDot); });
  WriteAll(dir.File("a.leftdot"), "");
  TBitmap b;
  BitmapLoadFromFile(b, dir.File("a.leftdot"));
  UnregisterFileFormat("leftdot");
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  EXPECT_EQ(b.GetPixelColor(0, 0), clBlue);
  EXPECT_EQ(b.GetPixelColor(1, 0), clFuchsia);

  WriteAll(dir.File("bad.bmp"), "BM not really");
  WriteAll(dir.File("what.xyz"), "");
  for (std::string name : {"bad.bmp", "what.xyz", "missing.bmp"}) {
    EXPECT_ANY_THROW(BitmapLoadFromFile(b, dir.File(name))) << name;
    EXPECT_EQ(b.Width(), 2) << name;
    EXPECT_EQ(b.GetPixelColor(1, 0), clFuchsia) << name;
  }
  EXPECT_THROW(BitmapLoadFromFile(b, dir.File("what.xyz")), EInvalidGraphic);
}

TEST(PopBitmapExtras, JpegThroughConvertAndTheOracle) {
  REQUIRE_TOOL("convert");
  RegisterJPEGImage();
  TempDir dir;
  TBitmap flat(8, 8, pf32bit);
  flat.Canvas().Brush.SetColor(RGB(0x33, 0x66, 0x99));
  flat.Canvas().FillRect(Rect(0, 0, 8, 8));
  BitmapSaveToJPEG(flat, dir.File("flat.jpg"), 0);  // limited to 1, still a valid file
  BitmapSaveToJPEG(flat, dir.File("flat.jpg"), 100);
  std::string rgb = ShellOutput("convert '" + dir.File("flat.jpg") + "' rgb:-");
  ASSERT_EQ(rgb.size(), 8u * 8 * 3);
  for (size_t i = 0; i < rgb.size(); ++i)
    EXPECT_NEAR(uint8_t(rgb[i]), (i % 3 == 0 ? 0x33 : i % 3 == 1 ? 0x66 : 0x99), 3) << i;

  TBitmap back;
  BitmapLoadFromJPEG(back, dir.File("flat.jpg"));
  EXPECT_EQ(back.PixelFormat(), pf24bit);
  EXPECT_EQ(TPoint(back.Width(), back.Height()), TPoint(8, 8));
  BitmapConvertFile(dir.File("flat.bmp"), dir.File("flat.jpg"));
  TBitmap bmp;
  bmp.LoadFromFile(dir.File("flat.bmp"));
  ASSERT_EQ(TPoint(bmp.Width(), bmp.Height()), TPoint(8, 8));
  TColor c = bmp.GetPixelColor(4, 4);
  EXPECT_NEAR(GetRValue(c), 0x33, 3);
  EXPECT_NEAR(GetBValue(c), 0x99, 3);

  WriteAll(dir.File("cut.jpg"), ReadAll(dir.File("flat.jpg")).substr(0, 40));
  EXPECT_THROW(BitmapLoadFromJPEG(back, dir.File("cut.jpg")), EInvalidGraphic);
  EXPECT_EQ(back.Width(), 8);
}

TEST(PopGraphicsExtras, PixelPackingAndBlt) {
  static_assert(Pixel32(0x11, 0x22, 0x33, 0x44) == 0x44112233u);
  static_assert(Pixel32(0x11, 0x22, 0x33) == 0x00112233u);
  static_assert(Pixel24(0x11, 0x22, 0x33) == TPixel24{0x33, 0x22, 0x11});
  static_assert(sizeof(TPixel24) == 3);
  EXPECT_EQ(ColorToPixel32(clRed), 0x00FF0000u);
  EXPECT_EQ(ColorToPixel32(RGB(1, 2, 3)), 0x00010203u);
  EXPECT_EQ(ColorToPixel32(clWindow),
            Pixel32(GetRValue(ColorToRGB(clWindow)), GetGValue(ColorToRGB(clWindow)),
                    GetBValue(ColorToRGB(clWindow))));
  Sheet s(3, 3);
  TBitmap q;
  Quad(q);
  CanvasBltBitmap(s.bmp.Canvas(), q);
  EXPECT_EQ(s.Map(), Lines({"rb.", "g#.", "..."}));
}

}  // namespace
