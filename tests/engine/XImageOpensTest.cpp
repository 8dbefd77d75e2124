// Files that other programs write and the image class must open, each compared with the
// pixels an independent decoder (ImageMagick, netpbm, Pillow) gives for the same file. The
// fixtures are made by those tools here, at test time.
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "engine/XBlend.h"
#include "engine/XImage.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

std::string Q(const std::string& s) { return "'" + s + "'"; }

// Top-down RGB bytes of a 32-bit image.
std::string RgbOf(const XImage& img) {
  std::string s;
  for (int y = 0; y < img.Height(); ++y) {
    const uint8_t* p = img.ScanLine(y);
    for (int x = 0; x < img.Width(); ++x, p += 4) s += {char(p[2]), char(p[1]), char(p[0])};
  }
  return s;
}

std::string MagickRgb(const std::string& file, const std::string& extra = "") {
  return ShellOutput("convert " + Q(file) + " " + extra + " -depth 8 rgb:- 2>/dev/null");
}

std::string PillowRgb(const std::string& file) {
  return ShellOutput(
      "/usr/bin/python3 -c \"import sys; from PIL import Image; "
      "sys.stdout.buffer.write(Image.open(sys.argv[1]).convert('RGB').tobytes())\" " +
      Q(file));
}

// The largest difference of two equally long byte strings; -1 when the lengths differ.
int MaxDifference(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return -1;
  int d = 0;
  for (size_t i = 0; i < a.size(); ++i) d = std::max(d, std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i]))));
  return d;
}

// A 13 x 7 picture of many colours, as a binary pixmap.
std::string MakeSource(const TempDir& dir) {
  std::string src = dir.File("src.ppm");
  ShellOutput(
      "convert -size 13x7 gradient:'#ff2000-#0030ff' -fill '#10a030' -draw 'point 0,0' "
      "-fill white -draw 'point 12,6' -depth 8 " +
      Q(src));
  return src;
}

TEST(XImageOpens, BinaryPixmapsThroughTheirExtension) {
  REQUIRE_TOOL("convert");
  REQUIRE_TOOL("pnmdepth");
  TempDir dir;
  std::string src = MakeSource(dir);
  ShellOutput("pnmdepth 15 " + Q(src) + " > " + Q(dir.File("fifteen.PPM")));
  // A comment in the header, as some writers leave one.
  std::string whole = ReadAll(src);
  WriteAll(dir.File("comment.ppm"), "P6\n# written by hand\n" + whole.substr(3));
  for (const std::string& f : {src, dir.File("fifteen.PPM"), dir.File("comment.ppm")}) {
    XImage img;
    ASSERT_NO_THROW(img.LoadFromFile(f)) << f;
    EXPECT_EQ(img.Width(), 13) << f;
    EXPECT_EQ(img.PixelFormat(), pf32bit) << f;
    EXPECT_EQ(img.ScanLine(3)[3], 255) << f;  // opaque
    std::string want = MagickRgb(f);
    ASSERT_EQ(want.size(), 13u * 7 * 3) << f;
    EXPECT_EQ(RgbOf(img), want) << f;
    EXPECT_EQ(img.FileName, f);
  }
}

// CMYK files store their inks inverted (as the APP14 "Adobe" writers do); common decoders
// take a CMYK file without that marker the same way, and so do we.
TEST(XImageOpens, CMYKJpegs) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  std::string src = MakeSource(dir);
  std::string ycck = dir.File("ycck.jpg"), cmyk = dir.File("cmyk.jpg"), bare = dir.File("bare.jpg");
  ShellOutput("convert " + Q(src) + " -colorspace CMYK -quality 95 " + Q(ycck));
  ShellOutput(
      "/usr/bin/python3 -c \"import sys; from PIL import Image; "
      "Image.open(sys.argv[1]).convert('CMYK').save(sys.argv[2], quality=95)\" " +
      Q(src) + " " + Q(cmyk));
  // The same file with its APP14 segment taken out.
  std::string j = ReadAll(cmyk), stripped = j.substr(0, 2);
  for (size_t at = 2; at + 4 <= j.size();) {
    uint8_t marker = uint8_t(j[at + 1]);
    size_t len = size_t(uint8_t(j[at + 2])) << 8 | uint8_t(j[at + 3]);
    if (marker == 0xDA) {
      stripped += j.substr(at);
      break;
    }
    if (marker != 0xEE) stripped += j.substr(at, len + 2);
    at += len + 2;
  }
  ASSERT_LT(stripped.size(), j.size());
  WriteAll(bare, stripped);
  for (const std::string& f : {ycck, cmyk, bare}) {
    XImage img;
    img.SetSize(2, 2);
    ASSERT_NO_THROW(img.LoadFromFile(f)) << f;
    ASSERT_EQ(img.Width(), 13) << f;
    EXPECT_EQ(img.PixelFormat(), pf32bit) << f;
    EXPECT_EQ(img.ScanLine(6)[4 * 12 + 3], 255) << f;
    std::string ours = RgbOf(img);
    EXPECT_LE(MaxDifference(ours, MagickRgb(f, "-colorspace sRGB")), 1) << f;
    EXPECT_LE(MaxDifference(ours, PillowRgb(f)), 1) << f;
  }
}

// A monochrome bitmap under one of the format table's extensions, with its palette in either
// order: the pixels are what the tools show.
TEST(XImageOpens, MonochromeBitmapsThroughTheFormatTable) {
  REQUIRE_TOOL("convert");
  REQUIRE_TOOL("ppmtobmp");
  REQUIRE_TOOL("bmptopnm");
  TempDir dir;
  std::string src = MakeSource(dir), mono = dir.File("mono.ppm");
  ShellOutput("convert " + Q(src) + " -monochrome -depth 8 ppm:" + Q(mono));
  std::string blackFirst = dir.File("a.vga"), whiteFirst = dir.File("b.rle"), magick = dir.File("c.dib");
  ShellOutput("ppmtobmp -bpp 1 " + Q(mono) + " > " + Q(blackFirst) + " 2>/dev/null");
  ShellOutput("convert " + Q(mono) + " -type bilevel BMP3:" + Q(magick));
  // The same picture with the two palette entries exchanged and every pixel bit inverted.
  std::string b = ReadAll(blackFirst);
  ASSERT_GT(b.size(), 62u);
  uint32_t bits = uint8_t(b[10]) | uint8_t(b[11]) << 8;
  ASSERT_EQ(uint8_t(b[54]), 0);  // the tool writes black first
  for (int i = 0; i < 4; ++i) std::swap(b[size_t(54 + i)], b[size_t(58 + i)]);
  for (size_t i = bits; i < b.size(); ++i) b[i] = char(~b[i]);
  WriteAll(whiteFirst, b);
  std::string want = MagickRgb(mono);
  ASSERT_EQ(want.size(), 13u * 7 * 3);
  for (const std::string& f : {blackFirst, whiteFirst, magick}) {
    XImage img;
    ASSERT_NO_THROW(img.LoadFromFile(f)) << f;
    EXPECT_EQ(RgbOf(img), want) << f;
    EXPECT_EQ(RgbOf(img), MagickRgb("bmp:" + f)) << f;
    std::string pnm = ShellOutput("bmptopnm " + Q(f) + " 2>/dev/null | ppmtoppm | convert - -depth 8 rgb:-");
    EXPECT_EQ(RgbOf(img), pnm) << f;
  }
}

TEST(XImageOpens, AnEmptyGifIsAnError) {
  TempDir dir;
  std::string f = dir.File("empty.gif");
  WriteAll(f, "");
  XImage img;
  img.SetSize(3, 2);
  ImageFill(img, img, 0x12345678u);
  img.FileName = "before";
  EXPECT_THROW(img.LoadFromFile(f), Exception);
  EXPECT_EQ(img.Width(), 3);
  EXPECT_EQ(img.ScanLine(1)[0], 0x78);
  EXPECT_EQ(img.FileName, "before");
}

// A monochrome picture written as a page segment reads back as it was, whichever palette
// entry is the black one; the source is netpbm's.
TEST(XImageFormatLibrary, PageSegmentsKeepTheCallersColours) {
  REQUIRE_TOOL("convert");
  REQUIRE_TOOL("pbmmake");
  TempDir dir;
  std::string pbm = dir.File("src.pbm");
  ShellOutput(std::string("convert -size 21x9 xc:white -fill black -draw 'circle 10,4 10,1' ") +
              "-draw 'point 0,0' -monochrome pbm:" + Q(pbm));
  std::string grey = ShellOutput("convert " + Q(pbm) + " -depth 8 gray:-");
  ASSERT_EQ(grey.size(), 21u * 9);
  for (bool blackFirst : {true, false}) {
    XImage img;
    img.SetPixelFormat(pf1bit);
    TRGBQuad black{0, 0, 0, 0}, white{255, 255, 255, 0};
    img.SetPalette(blackFirst ? std::vector<TRGBQuad>{black, white} : std::vector<TRGBQuad>{white, black});
    img.SetSize(21, 9);
    for (int y = 0; y < 9; ++y) {
      uint8_t* row = img.ScanLine(y);
      for (int x = 0; x < 21; ++x) {
        bool isWhite = grey[size_t(y * 21 + x)] != 0;
        if (isWhite == blackFirst) row[x / 8] |= uint8_t(0x80 >> (x % 8));
      }
    }
    std::string f = dir.File(blackFirst ? "b.pse" : "w.pse");
    img.SaveToFile(f);
    XImage back;
    back.LoadFromFile(f);
    ASSERT_EQ(back.Width(), 24);  // whole bytes
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 21; ++x)
        EXPECT_EQ(back.ScanLine(y)[4 * x], uint8_t(grey[size_t(y * 21 + x)]))
            << blackFirst << " " << x << "," << y;
  }
}

// The save through the format table takes a 32-bit picture (as every picture of the program
// is) to 24 bits itself, as the export does before it; the picture itself is not changed.
TEST(XImageFormatLibrary, ThirtyTwoBitPicturesSave) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  XImage img;
  img.SetSize(11, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 11; ++x) {
      uint8_t* p = img.ScanLine(y) + 4 * x;
      p[0] = uint8_t(x * 23), p[1] = uint8_t(y * 60), p[2] = uint8_t(x ^ (y * 5)), p[3] = uint8_t(x * 20);
    }
  XImage before;
  before.Assign(&img);
  for (const char* name : {"a.tga", "b.pcx", "c.tiff", "d.vga"}) {
    std::string f = dir.File(name);
    ASSERT_NO_THROW(img.SaveToFile(f)) << name;
    EXPECT_EQ(img.PixelFormat(), pf32bit) << name;
    EXPECT_EQ(RgbOf(img), RgbOf(before)) << name;
    EXPECT_EQ(img.ScanLine(2)[4 * 3 + 3], 60) << name;  // alpha kept in the picture
    // ImageMagick's raw output keeps a Targa file's row order unless told to orient it.
    std::string prefix = std::string(name) == "d.vga" ? "bmp:" : "";
    EXPECT_EQ(MagickRgb(prefix + f, "-auto-orient"), RgbOf(before)) << name;
    XImage back;
    back.LoadFromFile(f);
    EXPECT_EQ(RgbOf(back), RgbOf(before)) << name;
  }
  // A format without a 24-bit writer still refuses, and writes nothing.
  try {
    img.SaveToFile(dir.File("e.pgm"));
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) { EXPECT_NE(e.Message.find("24-bit"), std::string::npos) << e.Message; }
  EXPECT_FALSE(FileExists(dir.File("e.pgm")));
}

}  // namespace
