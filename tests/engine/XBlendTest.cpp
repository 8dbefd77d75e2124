// The blend tables and the pixel operations built on them.
#include "engine/XBlend.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PrinterService.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

namespace {
uint32_t Pixel(TBitmap& b, int x, int y) { return reinterpret_cast<uint32_t*>(b.ScanLine(y))[x]; }
void SetPixel(TBitmap& b, int x, int y, uint32_t v) { reinterpret_cast<uint32_t*>(b.ScanLine(y))[x] = v; }
}  // namespace

TEST(BlendTables, EveryModeAtCornersAndInnerCells) {
  // Cells: (0,0) (0,255) (255,0) (255,255) (100,50) (50,100) (3,200)
  struct Case {
    int mode;
    int v[7];
  } cases[] = {
      {0, {0, 255, 255, 255, 150, 150, 203}},
      {1, {0, 255, 255, 255, 150, 150, 203}},
      {2, {0, 255, 0, 0, 0, 50, 197}},
      {3, {0, 255, 255, 0, 50, 50, 197}},
      {4, {0, 0, 0, 255, 19, 19, 2}},
      {5, {0, 0, 0, 255, 50, 50, 3}},
      {6, {0, 255, 255, 255, 100, 100, 200}},
      {7, {0, 0, 0, 255, 100 & 50, 100 & 50, 3 & 200}},
      {8, {0, 255, 255, 255, 100 | 50, 100 | 50, 3 | 200}},
      {9, {0, 255, 255, 0, 100 ^ 50, 100 ^ 50, 3 ^ 200}},
      {10, {0, 0, 255, 1, 2, 0, 0}},
      {11, {255, 0, 0, 255, 105, 105, 52}},
      {12, {0, 255, 255, 254, 150, 150, 203}},
      {13, {0, 255, 1, 0, 206, 50, 197}},
      {14, {0, 255, 0, 255, 50, 100, 200}},
      {15, {0, 0, 255, 255, 100, 50, 3}},
      {16, {0, 127, 127, 255, 75, 75, 101}},
      {17, {0, 0, 254, 255, 0, 0, 0}},
      {18, {0, 0, 0, 255, 78, 78, 9}},
      {19, {255, 0, 255, 0, 205, 155, 55}},
      {20, {255, 255, 0, 0, 155, 205, 252}},
      {21, {0, 255, 0, 255, 89, 76, 1}},
  };
  const int cells[7][2] = {{0, 0}, {0, 255}, {255, 0}, {255, 255}, {100, 50}, {50, 100}, {3, 200}};
  for (const Case& c : cases) {
    BlendTable* t = BuildBlendTable(uint8_t(c.mode));
    ASSERT_EQ(t->Width, 256);
    ASSERT_EQ(t->Height, 256);
    EXPECT_EQ(t->Rows[7], t->Data + 7 * 256);
    for (int i = 0; i < 7; ++i)
      EXPECT_EQ(t->Rows[cells[i][0]][cells[i][1]], c.v[i]) << "mode " << c.mode << " cell " << i;
    FreeBlendTable(t, 1);
  }
  // Mode 21 at a = 0 raises to the power 64; at a = 64 it is the identity.
  BlendTable* t = BuildBlendTable(21);
  EXPECT_EQ(t->Rows[0][250], 71);  // 255 * (250 / 255)^64 = 71.8
  EXPECT_EQ(t->Rows[64][200], 200);
  FreeBlendTable(t, 1);
}

TEST(BlendTables, GlobalTables) {
  EXPECT_EQ(MultiplyTable->Rows[255][255], 255);
  EXPECT_EQ(MultiplyTable->Rows[128][255], 128);
  EXPECT_EQ(MultiplyTable->Rows[1][254], 0);
  EXPECT_EQ(SumTable->Rows[200][100], 255);
  EXPECT_EQ(SumTable->Rows[20][100], 120);
}

TEST(PixelOps, DownsampleAveragesAndChecksSizes) {
  TBitmap src(4, 2), dst(2, 1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) SetPixel(src, x, y, 0xFF102030u);
  SetPixel(src, 2, 0, 0x00000000u);
  SetPixel(src, 3, 0, 0x00FC0000u);
  SetPixel(src, 2, 1, 0x000000FFu);
  SetPixel(src, 3, 1, 0x00000003u);
  Downsample2x2(dst, src);
  EXPECT_EQ(Pixel(dst, 0, 0), 0x3C102030u);
  EXPECT_EQ(Pixel(dst, 1, 0), 0x003F003Fu);
  TBitmap big(3, 1);
  EXPECT_THROW(Downsample2x2(big, src), EInvalidGraphicOperation);
  TBitmap odd(2, 1, pf24bit);
  EXPECT_THROW(Downsample2x2(odd, src), EInvalidGraphicOperation);
}

TEST(PixelOps, FillOrXorSwap) {
  TBitmap src(3, 2, pf24bit), dst;
  src.SetPixelColor(1, 1, 0x00332211);
  ImageOr(dst, src, 0xFF000000u);
  EXPECT_EQ(src.PixelFormat(), pf32bit);
  EXPECT_EQ(dst.Width(), 3);
  EXPECT_EQ(Pixel(dst, 1, 1), 0xFF112233u);
  ImageXor(dst, dst, 0xFF000001u);
  EXPECT_EQ(Pixel(dst, 1, 1), 0x00112232u);
  ImageFill(dst, dst, 7);
  EXPECT_EQ(Pixel(dst, 2, 0), 7u);

  SetPixel(dst, 0, 0, 0x80112233u);
  ImageSwapRB(dst, dst);
  EXPECT_EQ(Pixel(dst, 0, 0), 0x80332211u);
  TBitmap b24(2, 1, pf24bit);
  b24.ScanLine(0)[0] = 1;
  b24.ScanLine(0)[2] = 3;
  ImageSwapRB(b24, b24);
  EXPECT_EQ(b24.ScanLine(0)[0], 3);
  EXPECT_EQ(b24.ScanLine(0)[2], 1);
  for (TPixelFormat f : {pf8bit, pf16bit}) {
    TBitmap b(2, 2, f);
    b.SetPixelColor(0, 0, 0x0000FF);
    std::vector<uint8_t> before(b.Bits(), b.Bits() + b.ImageSize());
    ImageSwapRB(b, b);
    EXPECT_EQ(std::vector<uint8_t>(b.Bits(), b.Bits() + b.ImageSize()), before);
  }
  TBitmap other(5, 5);
  EXPECT_THROW(ImageSwapRB(other, dst), EInvalidGraphicOperation);
}

TEST(Colours, PackingAndHSL) {
  EXPECT_EQ(MakePixel(1, 2, 3, 4), 0x04010203u);
  EXPECT_EQ(ColorSwapRB(0x11223344u), 0x11443322u);
  EXPECT_EQ(ColorHighByte(0x00AABBCCu), 0xAAu);
  EXPECT_EQ(ColorMidByte(0x00AABBCCu), 0xBBu);
  EXPECT_EQ(ColorLowByte(0x00AABBCCu), 0xCCu);
  EXPECT_EQ(MakePaletteEntry(1, 2, 3, 4), 0x04030201u);
  for (int grey : {0, 1, 127, 128, 200, 255}) {
    int a = grey, b = grey, c = grey;
    RGBToHSL(a, b, c);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, grey);
    EXPECT_EQ(c, 0);
    HSLToRGB(a, b, c);
    EXPECT_EQ(a, grey);
    EXPECT_EQ(b, grey);
    EXPECT_EQ(c, grey);
  }
  struct Case {
    int r, g, b, h, l, s;
  } primaries[] = {
      {255, 0, 0, 0, 127, 255},
      {0, 255, 0, 85, 127, 255},
      {0, 0, 255, 170, 127, 255},
  };
  for (const Case& p : primaries) {
    int a = p.r, b = p.g, c = p.b;
    RGBToHSL(a, b, c);
    EXPECT_EQ(a, p.h);
    EXPECT_EQ(b, p.l);
    EXPECT_EQ(c, p.s);
    HSLToRGB(a, b, c);
    EXPECT_NEAR(a, p.r, 2);
    EXPECT_NEAR(b, p.g, 2);
    EXPECT_NEAR(c, p.b, 2);
  }
}

TEST(PixelOps, ColorizeKeepsLightnessAndAlpha) {
  TBitmap src(2, 1), dst;
  SetPixel(src, 0, 0, 0x40808080u);
  SetPixel(src, 1, 0, 0xFF000000u);
  ImageColorize(dst, src, 0x00FF0000u);
  uint32_t p = Pixel(dst, 0, 0);
  EXPECT_EQ(p >> 24, 0x40u);
  EXPECT_GT(ColorHighByte(p), 200u);  // red at the grey's lightness
  EXPECT_LT(ColorLowByte(p), 10u);
  EXPECT_EQ(Pixel(dst, 1, 0), 0xFF000000u);
}

TEST(Palettes, InitSetMake) {
  TLogPalette pal;
  InitPalette(pal);
  EXPECT_EQ(pal.palVersion, 0x300);
  EXPECT_EQ(pal.palNumEntries, 256);
  SetPaletteEntry(pal, 5, MakePaletteEntry(10, 20, 30, 0));
  SetPaletteEntry(pal, 256, 1);  // outside: ignored
  auto quads = MakePalette(pal);
  ASSERT_EQ(quads.size(), 256u);
  EXPECT_EQ(quads[5].rgbRed, 10);
  EXPECT_EQ(quads[5].rgbGreen, 20);
  EXPECT_EQ(quads[5].rgbBlue, 30);
}

TEST(Blocks, RoundTripAndBadLengths) {
  TMemoryStream block, stream;
  block.WriteBuffer("hello", 5);
  WriteBlock(block, stream);
  TMemoryStream empty;
  WriteBlock(empty, stream);
  EXPECT_EQ(stream.Size(), 4 + 5 + 4);
  stream.SetPosition(0);
  TMemoryStream back;
  ReadBlock(back, stream);
  EXPECT_EQ(back.DataAsString(), "hello");
  ReadBlock(back, stream);
  EXPECT_EQ(back.Size(), 0);

  for (int32_t len : {-1, 6, 0x7FFFFFFF}) {
    TMemoryStream s;
    s.WriteInt32(len);
    s.WriteBuffer("abcde", 5);
    s.SetPosition(0);
    TMemoryStream keep;
    keep.WriteBuffer("xy", 2);
    EXPECT_THROW(ReadBlock(keep, s), EReadError) << len;
    EXPECT_EQ(keep.DataAsString(), "xy");
  }
}

TEST(Files, ListFilesMatchesFilesOnly) {
  TempDir dir;
  WriteAll(dir.Path() + "/a.bmp", "x");
  WriteAll(dir.Path() + "/B.BMP", "x");
  WriteAll(dir.Path() + "/c.jpg", "x");
  WriteAll(dir.Path() + "/noext", "x");
  ForceDirectories(dir.Path() + "/sub.bmp");
  // Only regular files are pictures to list: a pipe or a device under a picture's name would
  // block or never end when it is read.
  ASSERT_EQ(mkfifo((dir.Path() + "/pipe.bmp").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir.Path() + "/zero.bmp").c_str()), 0);
  ASSERT_EQ(symlink("a.bmp", (dir.Path() + "/link.bmp").c_str()), 0);  // a link to a file is one
  std::vector<std::string> list;
  ListFiles(list, dir.Path() + "/*.bmp");
  std::sort(list.begin(), list.end());
  EXPECT_EQ(list, (std::vector<std::string>{dir.Path() + "/B.BMP", dir.Path() + "/a.bmp",
                                            dir.Path() + "/link.bmp"}));
  list.clear();
  ListFiles(list, dir.Path() + "/*.*");
  EXPECT_EQ(list.size(), 5u);
}

TEST(Printing, FitsByTheSmallerScale) {
  struct Case {
    int pw, ph, w, h;
    TRect expect;
  } cases[] = {
      {1000, 2000, 50, 100, TRect(0, 0, 1000, 2000)},   // portrait: full height
      {1000, 2000, 100, 100, TRect(0, 0, 1000, 1000)},  // square on a tall page: full width
      {1000, 2000, 200, 100, TRect(0, 0, 1000, 500)},   // landscape: full width
      {3000, 1000, 200, 100, TRect(0, 0, 2000, 1000)},  // landscape on a short page stays on it
      {700, 300, 3, 7, TRect(0, 0, 128, 300)},
  };
  for (const Case& c : cases) {
    TRecordingPrinterService printer(c.pw, c.ph);
    IPrinterService* old = SetPrinterService(&printer);
    TBitmap img(c.w, c.h);
    EXPECT_TRUE(PrintImage(img));
    SetPrinterService(old);
    ASSERT_EQ(printer.Drawn.size(), 1u);
    EXPECT_EQ(printer.Drawn[0], c.expect) << c.w << "x" << c.h;
    EXPECT_EQ(printer.Calls, (std::vector<std::string>{"BeginDoc", "Draw", "EndDoc"}));
  }
  TRecordingPrinterService printer(100, 100);
  IPrinterService* old = SetPrinterService(&printer);
  TBitmap empty;
  EXPECT_FALSE(PrintImage(empty));
  SetPrinterService(old);
  EXPECT_TRUE(printer.Calls.empty());
}
