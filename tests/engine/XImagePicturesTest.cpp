// Icons and metafiles read through the image class.
#include <cstring>
#include <gtest/gtest.h>

#include "engine/XBlend.h"
#include "engine/XImage.h"
#include "platform/SysUtils.h"
#include "tests/support/MetafileBuilder.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {
uint32_t Pixel(TBitmap& b, int x, int y) { return reinterpret_cast<uint32_t*>(b.ScanLine(y))[x]; }

// A placeable metafile of 20 x 10 logical units at 96 per inch (one unit a pixel) with a
// red-filled rectangle drawn without a pen.
std::string SmallMetafile() {
  std::string body;
  body += MetafileRecord(0x020B, {0, 0});                  // window origin
  body += MetafileRecord(0x020C, {10, 20});                // window extent
  body += MetafileRecord(0x02FA, {5, 0, 0, 0, 0});         // null pen
  body += MetafileRecord(0x02FC, {0, 0x00FF, 0x0000, 0});  // solid red brush
  body += MetafileRecord(0x012D, {0});
  body += MetafileRecord(0x012D, {1});
  body += MetafileRecord(0x041B, {8, 12, 2, 4});  // bottom, right, top, left
  body += MetafileRecord(0x0000, {});
  return PlaceableMetafile(body, 20, 10);
}
}  // namespace

TEST(XImagePictures, IconsWithSeveralSizesLoad) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  std::string ico = dir.Path() + "/a.ico";
  int rc = 0;
  // Red square with a transparent border, in three sizes.
  ShellOutput(
      "convert -size 48x48 xc:none -fill red -draw 'rectangle 8,8 39,39' "
      "-define icon:auto-resize=48,32,16 '" +
          ico + "' 2>&1",
      &rc);
  ASSERT_EQ(rc, 0);
  XImage img;
  img.LoadFromFile(ico);
  ASSERT_EQ(img.Width(), 32);
  ASSERT_EQ(img.Height(), 32);
  EXPECT_EQ(img.FileName, ico);
  EXPECT_EQ(Pixel(img, 16, 16), 0xFFFF0000u);
  EXPECT_EQ(Pixel(img, 0, 0), 0xFFFFFFFFu);  // transparent parts show the white fill
  EXPECT_EQ(Pixel(img, 31, 31), 0xFFFFFFFFu);

  // 8-bit entries with a mask, from a palette image.
  std::string ico8 = dir.Path() + "/b.ICO";
  ShellOutput("convert -size 16x16 xc:blue -type Palette -define icon:auto-resize=16 '" + ico8 + "' 2>&1",
              &rc);
  ASSERT_EQ(rc, 0);
  img.LoadFromFile(ico8);
  EXPECT_EQ(img.Width(), 16);
  EXPECT_EQ(Pixel(img, 3, 3), 0xFF0000FFu);

  WriteAll(ico, std::string("\0\0\1\0\1\0", 6));
  XImage keep;
  keep.SetSize(2, 2);
  EXPECT_THROW(keep.LoadFromFile(ico), EInvalidGraphic);
  EXPECT_EQ(keep.Width(), 2);
}

TEST(XImagePictures, MetafileDrawsItsShapeOpaqueOnATransparentGround) {
  TempDir dir;
  std::string f = dir.Path() + "/a.wmf";
  WriteAll(f, SmallMetafile());
  XImage img;
  img.LoadFromFile(f);
  ASSERT_EQ(img.Width(), 20);
  ASSERT_EQ(img.Height(), 10);
  // A rectangle drawn with a null pen is one pixel smaller: (4, 2) to (11, 7).
  EXPECT_EQ(Pixel(img, 4, 2), 0xFFFF0000u);
  EXPECT_EQ(Pixel(img, 10, 6), 0xFFFF0000u);
  EXPECT_EQ(Pixel(img, 11, 7), 0x00FFFFFFu);
  EXPECT_EQ(Pixel(img, 0, 0), 0x00FFFFFFu);
  EXPECT_EQ(Pixel(img, 19, 9), 0x00FFFFFFu);

  std::string bytes = SmallMetafile();
  bytes[0] = 0;
  WriteAll(f, bytes);
  EXPECT_THROW(img.LoadFromFile(f), EInvalidGraphic);
  EXPECT_EQ(img.Width(), 20);
  WriteAll(f, SmallMetafile().substr(0, 30));
  EXPECT_THROW(img.LoadFromFile(f), EInvalidGraphic);
}

TEST(XImagePictures, PictureClassesAreRegistered) {
  RegisterPictureClasses();
  for (const char* ext : {"bmp", "jpg", ".JPEG", "jpe", "ico", "wmf"})
    EXPECT_NE(GraphicFormatForExtension(ext), nullptr) << ext;
  std::string filter = GraphicFilter();
  EXPECT_NE(filter.find("*.jpeg"), std::string::npos) << filter;
  EXPECT_NE(filter.find("*.ico"), std::string::npos) << filter;
}

// Damaged files of every reader either load or raise; none may crash or read out of bounds
// (this matters most under the sanitizers).
TEST(XImagePictures, DamagedFilesLoadOrFailCleanly) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  int rc = 0;
  ShellOutput("convert -size 20x12 gradient:red-blue '" + dir.Path() + "/s.jpg' 2>&1", &rc);
  ShellOutput(
      "convert -size 20x12 gradient:red-blue -define icon:auto-resize=16 '" + dir.Path() + "/s.ico' 2>&1",
      &rc);
  WriteAll(dir.Path() + "/s.wmf", SmallMetafile());
  WriteAll(dir.Path() + "/s.ppm", "P3 2 2 255 1 2 3 4 5 6 7 8 9 10 11 12");
  uint32_t seed = 1;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (const char* name : {"s.jpg", "s.ico", "s.wmf", "s.ppm"}) {
    std::string original = ReadAll(dir.Path() + "/" + name);
    ASSERT_FALSE(original.empty()) << name;
    for (int round = 0; round < 60; ++round) {
      std::string bytes = original;
      for (int k = 0; k < 4; ++k) bytes[next() % bytes.size()] = char(next());
      if (round % 3 == 0) bytes.resize(next() % bytes.size());
      std::string f = dir.Path() + "/d" + std::string(name).substr(1);
      WriteAll(f, bytes);
      XImage img;
      try {
        img.LoadFromFile(f);
        EXPECT_EQ(img.PixelFormat(), pf32bit);
      } catch (const Exception&) {}
    }
  }
}
