// The image class reaches the format library's bitmap codec through the bitmap extensions it
// does not read itself (".bmp" and ".dib" it handles on its own).
#include <gtest/gtest.h>

#include "engine/XImage.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

uint32_t Px(const XImage& img, int x, int y) {
  const uint8_t* p = img.ScanLine(y) + 4 * x;
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// ImageMagick's RGB bytes of a file, top row first, as 0xFFRRGGBB pixels.
std::vector<uint32_t> ToolPixels(const std::string& file) {
  std::string raw = ShellOutput("convert 'bmp:" + file + "' -depth 8 rgb:-");
  std::vector<uint32_t> px;
  for (size_t i = 0; i + 2 < raw.size(); i += 3)
    px.push_back(0xFF000000u | uint32_t(uint8_t(raw[i])) << 16 | uint32_t(uint8_t(raw[i + 1])) << 8 |
                 uint8_t(raw[i + 2]));
  return px;
}

}  // namespace

TEST(XImageBitmapRow, LoadsRunLengthAndOs2FilesByTheirExtensions) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  std::string src = dir.File("src.ppm");
  ShellOutput("convert -size 11x6 gradient:'#ff2000-#0030ff' -fill '#10a030' -draw 'point 0,0' -depth 8 " +
              src);
  struct Case {
    const char* name;
    const char* convert;
  } cases[] = {
      {"a.rle", "-colors 40 -type Palette -compress RLE BMP3:"},
      {"b.rl8", "-colors 40 -type Palette -compress None BMP3:"},
      {"c.vga", "BMP2:"},
      {"d.bga", "-colors 16 -type Palette BMP3:"},
  };
  for (const Case& c : cases) {
    std::string file = dir.File(c.name);
    ShellOutput("convert " + src + " " + c.convert + file);
    XImage img;
    img.LoadFromFile(file);
    ASSERT_EQ(img.Width(), 11) << c.name;
    ASSERT_EQ(img.Height(), 6) << c.name;
    EXPECT_EQ(img.PixelFormat(), pf32bit) << c.name;
    std::vector<uint32_t> want = ToolPixels(file);
    ASSERT_EQ(want.size(), 66u) << c.name;
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 11; ++x)
        ASSERT_EQ(Px(img, x, y), want[size_t(y * 11 + x)]) << c.name << " " << x << "," << y;
  }
  // A damaged file leaves the image as it was and says why.
  std::string bad = dir.File("bad.rle");
  std::string bytes = ReadAll(dir.File("a.rle"));
  WriteAll(bad, bytes.substr(0, bytes.size() / 2));
  XImage img;
  img.SetSize(2, 2);
  EXPECT_ANY_THROW(img.LoadFromFile(bad));
  EXPECT_EQ(img.Width(), 2);
}

TEST(XImageBitmapRow, SavesTwentyFourAndEightBitImages) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  XImage rgb;
  rgb.SetPixelFormat(pf24bit);
  rgb.SetSize(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      uint8_t* p = rgb.ScanLine(y) + 3 * x;
      p[0] = uint8_t(x * 50), p[1] = uint8_t(y * 90), p[2] = uint8_t(200 - x * 10);
    }
  rgb.SaveToFile(dir.File("s.rl8"));
  std::vector<uint32_t> got = ToolPixels(dir.File("s.rl8"));
  ASSERT_EQ(got.size(), 15u);
  EXPECT_EQ(got[size_t(2 * 5 + 4)], 0xFF000000u | uint32_t(160) << 16 | uint32_t(180) << 8 | 200u);

  XImage grey;
  grey.SetPixelFormat(pf8bit);
  std::vector<TRGBQuad> pal(256);
  for (int i = 0; i < 256; ++i) pal[size_t(i)] = TRGBQuad{uint8_t(i), uint8_t(255 - i), 0, 0};
  grey.SetPalette(pal);
  grey.SetSize(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) grey.ScanLine(y)[x] = uint8_t(40 * x + 100 * y);
  grey.SaveToFile(dir.File("g.vga"));
  got = ToolPixels(dir.File("g.vga"));
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[4], 0xFF000000u | uint32_t(0) << 16 | uint32_t(115) << 8 | 140u);  // index 140
  XImage back;
  back.LoadFromFile(dir.File("g.vga"));
  EXPECT_EQ(Px(back, 1, 1), got[4]);
}
