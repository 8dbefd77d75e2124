// The platform bitmap: row layout, resizing, size limits and format conversions.
#include <cstring>
#include <gtest/gtest.h>

#include "platform/Canvas.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"

namespace {

uint32_t Word(const TBitmap& b, int x, int y) {
  uint32_t v;
  std::memcpy(&v, b.ScanLine(y) + 4 * x, 4);
  return v;
}

TEST(Bitmap, RowsAreBottomUpAndPaddedToFourBytes) {
  struct Case {
    TPixelFormat f;
    int width;
    int rowBytes;
  };
  for (Case c : {Case{pf1bit, 33, 8}, Case{pf4bit, 9, 8}, Case{pf8bit, 5, 8}, Case{pf15bit, 3, 8},
                 Case{pf16bit, 2, 4}, Case{pf24bit, 5, 16}, Case{pf32bit, 3, 12}}) {
    TBitmap b(c.width, 3, c.f);
    EXPECT_EQ(b.RowBytes(), c.rowBytes) << c.f;
    EXPECT_EQ(b.ImageSize(), 3 * c.rowBytes);
    EXPECT_EQ(b.ScanLine(2), b.Bits());  // the bottom row starts the block
    EXPECT_EQ(b.ScanLine(0), b.Bits() + 2 * c.rowBytes);
  }
  TBitmap b(2, 2);
  EXPECT_THROW(b.ScanLine(2), EInvalidGraphicOperation);
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
}

TEST(Bitmap, ResizeKeepsTopLeftPixelsAndAddsZeroBytes) {
  TBitmap b(2, 2, pf32bit);
  std::memset(b.Bits(), 0xFF, size_t(b.ImageSize()));
  reinterpret_cast<uint32_t*>(b.ScanLine(0))[0] = 0x11223344;
  b.SetSize(3, 3);
  EXPECT_EQ(Word(b, 0, 0), 0x11223344u);
  EXPECT_EQ(Word(b, 1, 1), 0xFFFFFFFFu);
  EXPECT_EQ(Word(b, 2, 0), 0u);
  EXPECT_EQ(Word(b, 0, 2), 0u);
  b.SetWidth(1);
  b.SetHeight(1);
  EXPECT_EQ(Word(b, 0, 0), 0x11223344u);
  // Indexed: the bits of a partial byte beyond the kept width are cleared.
  TBitmap m(8, 1, pf1bit);
  std::memset(m.Bits(), 0xFF, 4);
  m.SetWidth(3);
  m.SetWidth(8);
  EXPECT_EQ(m.ScanLine(0)[0], 0xE0);
}

TEST(Bitmap, SizesBeyondTheLimitRaiseAndLeaveTheBitmap) {
  TBitmap b(4, 4);
  EXPECT_THROW(b.SetSize(-1, 4), EInvalidGraphic);
  EXPECT_THROW(b.SetSize(MaxImageDimension + 1, 1), EInvalidGraphic);
  EXPECT_THROW(b.SetSize(30000, 30000), EInvalidGraphic);
  EXPECT_EQ(b.Width(), 4);
  EXPECT_EQ(b.Height(), 4);
}

TEST(Bitmap, FormatConversionsKeepColours) {
  const TColor colours[] = {clBlack, clWhite, clRed, clLime, clBlue, clYellow, clGray};
  for (TPixelFormat from : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    for (TPixelFormat to : {pf32bit, pf24bit, pf8bit, pf4bit}) {
      TBitmap b(7, 2, from);
      for (int i = 0; i < 7; ++i) b.SetPixelColor(i, 1, colours[i]);
      TColor before[7];
      for (int i = 0; i < 7; ++i) before[i] = b.GetPixelColor(i, 1);
      b.SetPixelFormat(to);
      EXPECT_EQ(b.PixelFormat(), to);
      if (from == pf15bit || from == pf16bit) continue;  // their greys are not in the palettes
      for (int i = 0; i < 7; ++i)
        EXPECT_EQ(b.GetPixelColor(i, 1), before[i]) << from << "->" << to << " " << i;
    }
  }
}

TEST(Bitmap, UpConversionTo32GivesAlphaZeroAnd32To24DropsIt) {
  TBitmap b(1, 1, pf24bit);
  b.SetPixelColor(0, 0, RGB(1, 2, 3));
  b.SetPixelFormat(pf32bit);
  EXPECT_EQ(Word(b, 0, 0), 0x00010203u);
  reinterpret_cast<uint32_t*>(b.ScanLine(0))[0] = 0xFF040506;
  b.SetPixelFormat(pf24bit);
  EXPECT_EQ(b.ScanLine(0)[0], 6);
  EXPECT_EQ(b.ScanLine(0)[2], 4);
  // 16-bit words: 5-6-5 and 5-5-5 expand full scale to 255.
  TBitmap s(1, 1, pf16bit);
  s.ScanLine(0)[0] = 0xFF;
  s.ScanLine(0)[1] = 0xFF;
  EXPECT_EQ(s.GetPixelColor(0, 0), clWhite);
  TBitmap f(1, 1, pf15bit);
  f.ScanLine(0)[0] = 0x00;
  f.ScanLine(0)[1] = 0x7C;
  EXPECT_EQ(f.GetPixelColor(0, 0), clRed);
}

// Every pixel of an indexed or 24-bit bitmap made 32-bit is the colour it had, alpha 0; an
// index past a short palette is black. Odd widths leave part of the last byte of a row.
TEST(Bitmap, IndexedAnd24BitPixelsBecome32BitExactly) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf24bit}) {
    SCOPED_TRACE(int(f));
    TBitmap b(13, 3, f);
    if (f != pf24bit) {
      std::vector<TRGBQuad> pal;
      for (int i = 0; i < (f == pf8bit ? 200 : f == pf4bit ? 11 : 2); ++i)
        pal.push_back({uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 3 + 1), 0});
      b.SetPalette(pal);
    }
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < b.RowBytes(); ++x) b.ScanLine(y)[x] = uint8_t(x * 37 + y * 101 + 5);
    std::vector<uint32_t> want;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 13; ++x) {
        const TColor c = b.GetPixelColor(x, y);
        want.push_back(uint32_t(GetBValue(c)) | uint32_t(GetGValue(c)) << 8 | uint32_t(GetRValue(c)) << 16);
      }
    b.SetPixelFormat(pf32bit);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 13; ++x) EXPECT_EQ(Word(b, x, y), want[size_t(y * 13 + x)]) << x << "," << y;
  }
  TBitmap past(2, 1, pf8bit);
  past.SetPalette({{1, 2, 3, 0}});
  past.ScanLine(0)[1] = 9;
  past.SetPixelFormat(pf32bit);
  EXPECT_EQ(Word(past, 0, 0), 0x00030201u);
  EXPECT_EQ(Word(past, 1, 0), 0u);
}

TEST(Bitmap, DownToIndexedUsesThePalette) {
  TBitmap b(2, 1, pf32bit);
  b.SetPixelColor(0, 0, RGB(10, 10, 250));
  b.SetPixelColor(1, 0, RGB(200, 200, 200));
  b.SetPixelFormat(pf8bit);
  EXPECT_EQ(b.Palette().size(), 256u);
  EXPECT_EQ(b.GetPixelColor(0, 0), RGB(0, 0, 255));
  // A palette of our own is kept through other formats and used when indexed again.
  TBitmap p(2, 1, pf8bit);
  p.SetPalette({{0, 0, 0, 0}, {10, 20, 30, 0}});
  p.ScanLine(0)[0] = 1;
  p.SetPixelFormat(pf1bit);
  EXPECT_EQ(p.GetPixelColor(0, 0), RGB(30, 20, 10));
  p.SetPixelFormat(pf32bit);
  p.SetPixelFormat(pf8bit);
  EXPECT_EQ(p.Palette().size(), 2u);
  EXPECT_EQ(p.ScanLine(0)[0], 1);
  EXPECT_EQ(p.ScanLine(0)[1], 0);
}

TEST(Bitmap, TransparentColourIsTheBottomLeftPixelUntilFixed) {
  TBitmap b(3, 3);
  b.SetPixelColor(0, 2, clRed);
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.TransparentColor(), clRed);
  b.SetTransparentColor(clBlue);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.TransparentColor(), clBlue);
  b.SetTransparentMode(tmAuto);
  EXPECT_EQ(b.TransparentColor(), clRed);
}

TEST(Bitmap, AssignIsADeepCopy) {
  TBitmap a(2, 2, pf8bit);
  a.SetPalette({{1, 2, 3, 0}, {4, 5, 6, 0}});
  a.ScanLine(0)[0] = 1;
  a.SetTransparent(true);
  a.SetTransparentColor(clLime);
  TBitmap b;
  b.Assign(&a);
  a.ScanLine(0)[0] = 0;
  a.SetPalette({});
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.ScanLine(0)[0], 1);
  EXPECT_EQ(b.Palette().size(), 2u);
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.TransparentColor(), clLime);
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
}

// A picture kind that converts itself into bitmaps only.
class TSolidPicture : public TGraphic {
 public:
  int Width() const override { return 2; }
  int Height() const override { return 1; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  void Draw(TCanvas&, const TRect&) const override {}
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) const override {}
  const char* ClassName() const override { return "TSolidPicture"; }
  void AssignTo(TGraphic* dest) const override {
    if (auto* b = dynamic_cast<TBitmap*>(dest)) {
      b->SetSize(2, 1);
      b->SetPixelColor(1, 0, clRed);
      return;
    }
    TGraphic::AssignTo(dest);
  }
};

TEST(Bitmap, AssignFromAnotherKindGoesThroughItsAssignTo) {
  TSolidPicture pic;
  TBitmap b;
  b.Assign(&pic);
  EXPECT_EQ(b.GetPixelColor(1, 0), clRed);
  TSolidPicture other;
  try {
    other.Assign(&b);
    FAIL();
  } catch (const EConvertError& e) { EXPECT_STREQ(e.what(), "Cannot assign a TBitmap to a TSolidPicture"); }
}

TEST(Bitmap, PictureFormatsAreRegisteredByExtension) {
  ASSERT_NE(GraphicFormatForExtension(".BMP"), nullptr);
  RegisterFileFormat("xyz", "Test pictures", [] { return std::unique_ptr<TGraphic>(new TBitmap); });
  EXPECT_NE(GraphicFilter().find("Test pictures (*.xyz)|*.xyz"), std::string::npos);
  EXPECT_EQ(GraphicFilter().rfind("All (*.bmp;", 0), 0u);
  // A format that is only read is in the filter of all formats, not in that of the writable.
  RegisterFileFormat(
      "rdo", "Read only", [] { return std::unique_ptr<TGraphic>(new TBitmap); }, false);
  EXPECT_NE(GraphicFilter().find("*.rdo"), std::string::npos);
  EXPECT_EQ(GraphicFilter(true).find("*.rdo"), std::string::npos);
  EXPECT_NE(GraphicFilter(true).find("Test pictures (*.xyz)|*.xyz"), std::string::npos);
  EXPECT_EQ(GraphicFilter(true).rfind("All (*.bmp;", 0), 0u);
  UnregisterFileFormat("rdo");
  UnregisterFileFormat("xyz");
  EXPECT_EQ(GraphicFormatForExtension("xyz"), nullptr);
}

TEST(Font, SizeAndHeightConvertAt96PixelsPerInch) {
  TFont f;
  f.SetSize(12);
  EXPECT_EQ(f.Height(), -16);
  f.SetSize(8);
  EXPECT_EQ(f.Height(), -11);
  f.SetHeight(-13);
  EXPECT_EQ(f.Size(), 10);
  EXPECT_EQ(MulDiv(7, 3, 2), 11);
  EXPECT_EQ(MulDiv(-7, 3, 2), -11);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

}  // namespace
