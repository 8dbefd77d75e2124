// The GEM raster, sprite and page-segment codecs.
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/imageformats/ImgFmtTestUtil.h"
#include "tests/imageformats/RasterFixtures.h"
#include "tests/support/TestSupport.h"

using namespace fixture;

namespace {

// Pixel (x, y) with y counted from the top, as a palette index or 0xBBGGRR.
uint32_t PixelAt(const std::vector<uint8_t>& d, int32_t w, int32_t h, int32_t bpp, int32_t x, int32_t y) {
  const uint8_t* row = d.data() + (h - 1 - y) * imgfmt_row_bytes(w, bpp);
  switch (bpp) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return (x & 1) ? row[x / 2] & 15 : row[x / 2] >> 4;
    case 8: return row[x];
    default: return uint32_t(row[x * 3]) << 16 | uint32_t(row[x * 3 + 1]) << 8 | row[x * 3 + 2];
  }
}

// All pixels, top row first, one text character (or three bytes) each.
std::string Pixels(const Loaded& r) {
  std::string s;
  for (int32_t y = 0; y < r.h.height; ++y)
    for (int32_t x = 0; x < r.h.width; ++x) {
      uint32_t v = PixelAt(r.data, r.h.width, r.h.height, r.h.bpp, x, y);
      if (r.h.bpp == 24) s += {char(v >> 16), char(v >> 8), char(v)};
      else s += char(v);
    }
  return s;
}

std::string Pixels(const std::vector<uint8_t>& d, int32_t w, int32_t h, int32_t bpp) {
  Loaded r;
  r.h.width = w;
  r.h.height = h;
  r.h.bpp = bpp;
  r.data = d;
  return Pixels(r);
}

// A pattern of every depth whose values use the whole range of the depth.
std::vector<uint8_t> Image(int32_t w, int32_t h, int32_t bpp) {
  std::vector<uint8_t> d = Pattern(w, h, bpp);
  if (bpp == 4) {
    int64_t stride = imgfmt_row_bytes(w, 4);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        unsigned v = unsigned(x * 3 + y * 5) & 15;
        uint8_t& b = d[size_t(y * stride + x / 2)];
        b = uint8_t((x & 1) ? (b & 0xF0) | v : (b & 0x0F) | (v << 4));
      }
  }
  return d;
}

bool SameRgb(const ImgFmtRgb& a, const ImgFmtRgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Every proper prefix of the file fails to load (or loads when it is `validFrom` or longer).
void ExpectEveryCutFails(const std::string& name, const char* options = "",
                         size_t validFrom = std::string::npos) {
  std::string whole = ReadAll(name);
  std::string cut = name + ".cut" + name.substr(name.rfind('.'));
  for (size_t n = 0; n < whole.size() && n < validFrom; ++n) {
    WriteAll(cut, whole.substr(0, n));
    EXPECT_NE(LoadImage(cut, options).rc, 0) << name << " cut at " << n;
  }
}

ImgFmtRgb gMono[256];
ImgFmtRgb gColour[256];
struct InitPalettes {
  InitPalettes() {
    gMono[0] = {255, 255, 255};
    gMono[1] = {0, 0, 0};
    for (int i = 0; i < 256; ++i) gColour[i] = {uint8_t(i * 37 + 11), uint8_t(255 - i), uint8_t(i * 113 + 5)};
  }
} gInit;

}  // namespace

TEST(RasterCodecs, ErrorTexts) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {1700, "not GEM Raster, probably green channel of an Intel DVI image"},
      {1701, "not GEM Raster, probably IMDS image"},
      {1702, "version number not 1"},
      {1703, "header length must be 8 words or more"},
      {1704, "number of planes not in range 1 to 8, or 24"},
      {1705, "flag not 0 or 1"},
      {1706, "number of planes in colour image must be 1,3 or 4"},
      {1707, "palette type not 0 in XIMG header"},
      {1708, "general error"},
      {1400, "sprite has first bit that is not a multiple of 8"},
      {1401, "sprite defined in unknown mode"},
      {1402, "less sprites in file than index requested"},
      {1403, "8 bit file does not have 0, 16 or 64 palette entries in it"},
      {1404, "general error"},
      {1600, "record in the PSEG file does not start with 0x5a (try fixrec option)"},
      {1601, "bad/unknown record in PSEG file"},
      {1602, "size record not seen before raster data or image cell position records"},
      {1603, "width must be a multiple of 8"},
      {1604, "default cell size must be a multiple of 8"},
      {1605, "cell size must be a multiple of 8"},
      {1606, "cell position must be a multiple of 8"},
      {1607, "record found in an unexpected place"},
      {1608, "general error"},
  };
  for (const Case& c : cases) EXPECT_STREQ(imgfmt_error_text(c.code), c.text) << c.code;
  for (const char* name : {"a.img", "a.spr", "a.SPRITE", "a.pse", "a.pseg", "a.pseg3820"}) {
    int index = -1;
    ASSERT_EQ(imgfmt_guess_format(name, &index), 0) << name;
    ImgFmtInfo info;
    ASSERT_EQ(imgfmt_query_format(index, &info), 0);
    EXPECT_EQ(info.flags, index == 14 ? 0xffu : index == 12 ? 0x77u : 0x11u) << name;
  }
}

// ---- GEM bit images ----

TEST(GemRas, HandMadeItemsDecode) {
  TempDir dir;
  // 12 x 5, one plane, pattern length 2. Row 0: literal, solid black, solid white; a
  // row-repeat item of 3; then a row of a two-byte pattern.
  std::string data = Bytes({0x80, 1, 0xA5, 0x81}) + Bytes({0, 0, 0xFF, 3, 0x01, 0x80, 1, 0x0F}) +
                     Bytes({0x00, 1, 0xC3, 0x3C});
  std::string file = GemHeader(8, 1, 2, 12, 5) + data;
  WriteAll(dir.File("a.img"), file);
  Loaded r = LoadImage(dir.File("a.img"));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.width, 12);
  EXPECT_EQ(r.h.height, 5);
  EXPECT_EQ(r.h.bpp, 1);
  const char* want[5] = {"101001011111", "000000000000", "000000000000", "000000000000", "110000110011"};
  std::string px = Pixels(r);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(px[size_t(y * 12 + x)], want[y][x] - '0') << x << "," << y;
  EXPECT_TRUE(SameRgb(r.pal[0], {255, 255, 255}));
  EXPECT_TRUE(SameRgb(r.pal[1], {0, 0, 0}));

  // Three planes: plane k gives bit k of a pixel; the fixed 8-colour palette.
  std::string colour = GemHeader(8, 3, 1, 8, 1) + Bytes({0x80, 1, 0xAA, 0x80, 1, 0xCC, 0x80, 1, 0xF0});
  WriteAll(dir.File("c.img"), colour);
  r = LoadImage(dir.File("c.img"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.h.bpp, 4);
  std::string want3 = {7, 6, 5, 4, 3, 2, 1, 0};
  EXPECT_EQ(Pixels(r), want3);
  EXPECT_TRUE(SameRgb(r.pal[1], {255, 0, 0}));
  EXPECT_TRUE(SameRgb(r.pal[6], {0, 255, 255}));
  EXPECT_TRUE(SameRgb(r.pal[7], {0, 0, 0}));

  // Six planes read as 8 bits; a 9-word grey header gives an even ramp.
  std::string six = GemHeader(9, 6, 1, 8, 1, Be16(1));
  for (int k = 0; k < 6; ++k) six += Bytes({0x80, 1, k == 5 ? 0x80 : 0x01});
  WriteAll(dir.File("g.img"), six);
  r = LoadImage(dir.File("g.img"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.h.bpp, 8);
  EXPECT_EQ(PixelAt(r.data, 8, 1, 8, 0, 0), 32u);
  EXPECT_EQ(PixelAt(r.data, 8, 1, 8, 7, 0), 31u);
  EXPECT_EQ(r.pal[63].r, 255);
  EXPECT_EQ(r.pal[32].r, 32 * 255 / 63);
  // Grey with 4 planes.
  std::string g4 = GemHeader(9, 4, 1, 8, 1, Be16(1)) + Bytes({0x81, 0x81, 0x81, 0x81});
  WriteAll(dir.File("g4.img"), g4);
  r = LoadImage(dir.File("g4.img"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.pal[15].g, 255);
  EXPECT_EQ(r.pal[5].g, 85);
}

TEST(GemRas, XimgPalettesAndTrueColour) {
  TempDir dir;
  // Two planes with an XIMG palette in thousandths; over 1000 is taken as 1000.
  std::string f = GemXimg(2, 4, 1, {{0, 0, 0}, {1000, 500, 4}, {996, 1200, 3}, {333, 666, 999}}) +
                  Bytes({0x80, 1, 0x50, 0x80, 1, 0x30});
  WriteAll(dir.File("x.img"), f);
  Loaded r = LoadImage(dir.File("x.img"));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.bpp, 4);
  EXPECT_EQ(Pixels(r), std::string({0, 1, 2, 3}));
  EXPECT_TRUE(SameRgb(r.pal[1], {255, 128, 1}));
  EXPECT_TRUE(SameRgb(r.pal[2], {254, 255, 1}));
  EXPECT_TRUE(SameRgb(r.pal[3], {85, 170, 255}));

  // 24 planes: R, G, B bytes with 3-byte patterns and solid runs in whole pixels.
  std::string t = GemXimg(24, 8, 2, {}, 3) +
                  Bytes({0x00, 2, 10, 20, 30, 0x86, 0x80, 6, 1, 2, 3, 4, 5, 6, 0x86}) + Bytes({0x80, 3 * 8}) +
                  std::string(24, '\x7f');
  WriteAll(dir.File("t.img"), t);
  r = LoadImage(dir.File("t.img"));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.bpp, 24);
  // Pixels as 0xBBGGRR.
  uint32_t want[8] = {0x1E140A, 0x1E140A, 0xFFFFFF, 0xFFFFFF, 0x030201, 0x060504, 0xFFFFFF, 0xFFFFFF};
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(PixelAt(r.data, 8, 2, 24, x, 0), want[x]) << x;
    EXPECT_EQ(PixelAt(r.data, 8, 2, 24, x, 1), 0x7F7F7Fu) << x;
  }
}

TEST(GemRas, BadHeadersGiveTheirCodes) {
  TempDir dir;
  std::string row = Bytes({0x80, 1, 0});
  struct Case {
    const char* what;
    std::string bytes;
    int rc;
  } cases[] = {
      {"DVI", "VDVI" + std::string(30, '\0'), 1700},
      {"IMDS 1", Bytes({0x70, 0x04, 0, 0, 0, 0}) + std::string(20, '\1'), 1701},
      {"IMDS 2", Bytes({0x08, 0, 0x05, 0, 0x01, 0, 0, 0}) + std::string(20, '\1'), 1701},
      {"version", Be16(2) + GemHeader(8, 1, 1, 8, 1).substr(2) + row, 1702},
      {"header 7 words", GemHeader(7, 1, 1, 8, 1) + row, 1703},
      {"9 planes", GemHeader(8, 9, 1, 8, 1) + row, 1704},
      {"0 planes", GemHeader(8, 0, 1, 8, 1) + row, 1704},
      {"24 planes plain", GemHeader(10, 24, 3, 8, 1, Be16(0) + Be16(0)) + row, 1704},
      {"flag 2", GemHeader(9, 1, 1, 8, 1, Be16(2)) + row, 1705},
      {"2 planes, 8 words", GemHeader(8, 2, 1, 8, 1) + row + row, 1706},
      {"5 planes, flag 0", GemHeader(9, 5, 1, 8, 1, Be16(0)) + row, 1706},
      {"palette type 1", GemHeader(11, 1, 1, 8, 1, "XIMG" + Be16(1)) + row, 1707},
      {"width 0", GemHeader(8, 1, 1, 0, 1) + row, 6},
      {"height 0", GemHeader(8, 1, 1, 8, 0) + row, 6},
      {"huge", GemHeader(8, 1, 1, 0xFFFF, 0xFFFF) + row, 6},
      {"short", GemHeader(8, 1, 1, 8, 1).substr(0, 15), 7},
  };
  for (const Case& c : cases) {
    WriteAll(dir.File("b.img"), c.bytes);
    EXPECT_EQ(LoadImage(dir.File("b.img")).rc, c.rc) << c.what;
  }
  // Shorter than 22 bytes but a whole image.
  WriteAll(dir.File("tiny.img"), GemHeader(8, 1, 1, 8, 1) + Bytes({0x81}));
  Loaded r = LoadImage(dir.File("tiny.img"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Pixels(r), std::string(8, '\1'));
}

TEST(GemRas, RunsPastTheRowOrImageAreErrors) {
  TempDir dir;
  struct Case {
    const char* what;
    std::string data;
  } cases[] = {
      {"literal", Bytes({0x80, 3, 1, 2, 3})},
      {"solid", Bytes({0x83})},
      {"pattern", Bytes({0x00, 2, 0x55, 0x55})},  // 2 x 2 bytes into a 2-byte row
      {"pattern after a byte", Bytes({0x81, 0x00, 1, 7, 7})},
      {"repeat", Bytes({0, 0, 0xFF, 3, 0x82})},  // 3 copies of 2 rows left
      {"end of data", Bytes({0x81})},
  };
  for (const Case& c : cases) {
    // 16 x 2, pattern length 2: two bytes a row.
    WriteAll(dir.File("o.img"), GemHeader(8, 1, 2, 16, 2) + c.data);
    EXPECT_EQ(LoadImage(dir.File("o.img")).rc, 7) << c.what;
  }
  // An item may go on from one plane line into the next of the same row.
  WriteAll(dir.File("p.img"), GemHeader(8, 3, 1, 8, 1) + Bytes({0x80, 3, 0xFF, 0x00, 0xFF}));
  Loaded r = LoadImage(dir.File("p.img"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Pixels(r), std::string(8, '\5'));
}

TEST(GemRas, WriterRoundTripsEveryDepth) {
  TempDir dir;
  struct Case {
    int32_t bpp;
    const char* options;
  } cases[] = {{1, ""}, {1, "pal"}, {4, "pal"}, {8, "pal"}, {24, ""}, {24, "pixw=100"}};
  for (const Case& c : cases)
    for (int32_t w : {1, 7, 8, 13, 16, 33}) {
      const int32_t h = 6;
      std::string name = dir.File("rt" + std::to_string(c.bpp) + "_" + std::to_string(w) + ".img");
      std::vector<uint8_t> px = Image(w, h, c.bpp);
      ASSERT_EQ(SaveImage(name, w, h, c.bpp, px, c.bpp == 1 && !*c.options ? gMono : gColour, c.options), 0);
      Loaded r = LoadImage(name);
      ASSERT_EQ(r.rc, 0) << name << ": " << imgfmt_error_text(r.rc);
      EXPECT_EQ(r.h.width, w);
      EXPECT_EQ(r.h.height, h);
      EXPECT_EQ(r.h.bpp, c.bpp);
      EXPECT_EQ(Pixels(r), Pixels(px, w, h, c.bpp)) << name;
      if (*c.options == 'p' && c.bpp != 24) {
        for (int i = 0; i < (1 << c.bpp); ++i)
          EXPECT_TRUE(SameRgb(r.pal[i], gColour[i])) << name << " entry " << i;
      }
      if (w == 13) ExpectEveryCutFails(name);
    }
}

TEST(GemRas, WriterHeadersAndPixelMapping) {
  TempDir dir;
  auto words = [](const std::string& s, size_t n) {
    std::vector<int> v;
    for (size_t i = 0; i < n; ++i) v.push_back((uint8_t(s[2 * i]) << 8) | uint8_t(s[2 * i + 1]));
    return v;
  };
  std::vector<uint8_t> px(64, 0);
  // Header words of each kind.
  struct Case {
    int32_t bpp;
    const char* options;
    std::vector<int> head;
  } cases[] = {
      {1, "", {1, 8, 1, 1, 85, 85, 3, 2}},
      {1, "pal,pixw=300,pixh=7", {1, 17, 1, 1, 300, 7, 3, 2, 0x5849, 0x4D47, 0}},
      {4, "", {1, 8, 4, 1, 85, 85, 3, 2}},
      {4, "grey", {1, 9, 4, 1, 85, 85, 3, 2, 1}},
      {4, "pal", {1, 59, 4, 1, 85, 85, 3, 2, 0x5849, 0x4D47, 0}},
      {8, "", {1, 9, 8, 1, 85, 85, 3, 2, 1}},
      {8, "pal grey", {1, 779, 8, 1, 85, 85, 3, 2, 0x5849, 0x4D47, 0}},
      {24, "", {1, 11, 24, 3, 85, 85, 3, 2, 0x5849, 0x4D47, 0}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(SaveImage(dir.File("h.img"), 3, 2, c.bpp, px, gColour, c.options), 0) << c.options;
    EXPECT_EQ(words(ReadAll(dir.File("h.img")), c.head.size()), c.head) << c.bpp << " " << c.options;
  }
  EXPECT_EQ(SaveImage(dir.File("h.img"), 3, 2, 8, px, gColour, "pixw=x"), 3);
  EXPECT_EQ(SaveImage(dir.File("h.img"), 3, 2, 8, px, gColour, "pixh=70000"), 3);

  // 4 bits without options: the nearest fixed colour; with "grey" the grey level.
  ImgFmtRgb pal[256] = {};
  pal[0] = {250, 10, 10};
  pal[1] = {10, 10, 10};
  pal[2] = {130, 125, 0};
  pal[3] = {240, 240, 240};
  pal[4] = {200, 200, 200};
  std::vector<uint8_t> four = {0x01, 0x23, 0x40, 0, 0x01, 0x23, 0x40, 0};
  ASSERT_EQ(SaveImage(dir.File("m.img"), 5, 2, 4, four, pal), 0);
  Loaded r = LoadImage(dir.File("m.img"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Pixels(r).substr(0, 5), std::string({1, 15, 11, 0, 7}));
  ASSERT_EQ(SaveImage(dir.File("m.img"), 5, 2, 4, four, pal, "grey"), 0);
  r = LoadImage(dir.File("m.img"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Pixels(r).substr(0, 5), std::string({270 / 48, 30 / 48, 255 / 48, 720 / 48, 600 / 48}));
  EXPECT_EQ(r.pal[15].r, 255);
  // 8 bits without options: (r + g + b) / 3 on a grey ramp.
  std::vector<uint8_t> eight = {0, 1, 2, 3, 4, 0, 0, 0};
  ASSERT_EQ(SaveImage(dir.File("e.img"), 5, 1, 8, eight, pal), 0);
  r = LoadImage(dir.File("e.img"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Pixels(r), std::string({90, 10, 85, char(240), char(200)}));
  EXPECT_EQ(r.pal[200].b, 200);
  // 1 bit with a dark entry 0: the bits are inverted so that black stays black.
  ImgFmtRgb dark[256] = {{0, 0, 0}, {255, 255, 255}};
  std::vector<uint8_t> one = {0xF0, 0, 0, 0};
  ASSERT_EQ(SaveImage(dir.File("i.img"), 8, 1, 1, one, dark), 0);
  r = LoadImage(dir.File("i.img"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Pixels(r), std::string({0, 0, 0, 0, 1, 1, 1, 1}));
}

TEST(GemRas, WriterEncoding) {
  TempDir dir;
  // Identical rows go behind one row-repeat item; runs become solid, pattern and literal
  // items.
  const int32_t w = 128, h = 300;
  std::vector<uint8_t> px(size_t(imgfmt_row_bytes(w, 1) * h), 0);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t bytes[8] = {0xFF, 0xFF, 0x00, 0x5A, 0x5A, 0x5A, 0x12, 0x34};
    std::memcpy(px.data() + y * 16, bytes, 8);
  }
  ASSERT_EQ(SaveImage(dir.File("r.img"), w, h, 1, px, gMono), 0);
  std::string file = ReadAll(dir.File("r.img"));
  std::string row = Bytes({0x82, 0x01, 0x00, 3, 0x5A, 0x80, 2, 0x12, 0x34, 0x08});
  EXPECT_EQ(file.substr(16), Bytes({0, 0, 0xFF, 255}) + row + Bytes({0, 0, 0xFF, 45}) + row);
  Loaded r = LoadImage(dir.File("r.img"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Pixels(r), Pixels(px, w, h, 1));

  // A line that would grow is written as plain literal strings.
  std::vector<uint8_t> noisy(size_t(imgfmt_row_bytes(200 * 8, 1)), 0);
  for (size_t i = 0; i < 200; ++i) noisy[i] = i % 2 ? 0x00 : 0x11;
  ASSERT_EQ(SaveImage(dir.File("n.img"), 200 * 8, 1, 1, noisy, gMono), 0);
  file = ReadAll(dir.File("n.img"));
  ASSERT_EQ(file.size(), 16u + 2 + 127 + 2 + 73);
  EXPECT_EQ(file.substr(16, 3), Bytes({0x80, 127, 0x11}));
  EXPECT_EQ(file.substr(16 + 129, 2), Bytes({0x80, 73}));

  // 24 bits: whole-pixel runs, lines padded to groups of 8 pixels.
  std::vector<uint8_t> rgb(size_t(imgfmt_row_bytes(5, 24)), 0);
  for (int x = 0; x < 3; ++x) rgb[size_t(x * 3)] = 9;  // blue 9
  rgb[9] = rgb[10] = rgb[11] = 255;
  rgb[12] = 1, rgb[13] = 2, rgb[14] = 3;
  ASSERT_EQ(SaveImage(dir.File("c.img"), 5, 1, 24, rgb, nullptr), 0);
  file = ReadAll(dir.File("c.img"));
  EXPECT_EQ(file.substr(22), Bytes({0, 3, 0, 0, 9, 0x83, 0x80, 3, 3, 2, 1, 9}));
}

TEST(GemRas, NetpbmReadsOursAndWeReadNetpbm) {
  TempDir dir;
  // pbmtogem's file, from a pattern made by ImageMagick.
  std::string pbm = dir.File("src.pbm");
  RunTool("convert", "convert -size 37x11 pattern:checkerboard -threshold 50% -draw 'line 0,0 36,10' " + pbm);
  RunTool("pbmtogem", "pbmtogem " + pbm + " > " + dir.File("n.img"));
  Loaded r = LoadImage(dir.File("n.img"));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  std::string grey = RunTool("convert", "convert " + pbm + " -depth 8 gray:-");
  ASSERT_EQ(grey.size(), 37u * 11);
  std::string ours = Pixels(r);
  for (size_t i = 0; i < grey.size(); ++i) EXPECT_EQ(ours[i], uint8_t(grey[i]) == 0 ? 1 : 0) << i;

  // Our 1-bit and 4-bit files through gemtopnm. Its 16 colours have maximum 3, in the
  // order of our fixed palette.
  ASSERT_EQ(SaveImage(dir.File("o1.img"), 37, 11, 1, r.data, gMono), 0);
  std::string back = RunTool("gemtopnm", "gemtopnm " + dir.File("o1.img") + " | pamtopnm -plain");
  EXPECT_EQ(RunTool("pamtopnm", "pamtopnm -plain " + pbm), back);
  std::vector<uint8_t> four = Image(21, 9, 4);
  ImgFmtRgb fixed[256] = {{255, 255, 255}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                          {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {204, 204, 204},
                          {128, 128, 128}, {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                          {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {0, 0, 0}};
  ASSERT_EQ(SaveImage(dir.File("o4.img"), 21, 9, 4, four, fixed), 0);
  std::string ppm = RunTool("gemtopnm", "gemtopnm " + dir.File("o4.img") + " | pamtopnm -plain");
  std::map<std::string, int> index = {{"3 3 3", 0},  {"3 0 0", 1},  {"0 3 0", 2},  {"3 3 0", 3},
                                      {"0 0 3", 4},  {"3 0 3", 5},  {"0 3 3", 6},  {"2 2 2", 7},
                                      {"1 1 1", 8},  {"2 0 0", 9},  {"0 2 0", 10}, {"2 2 0", 11},
                                      {"0 0 2", 12}, {"2 0 2", 13}, {"0 2 2", 14}, {"0 0 0", 15}};
  std::istringstream in(ppm);
  std::string magic;
  int pw = 0, ph = 0, maximum = 0;
  in >> magic >> pw >> ph >> maximum;
  ASSERT_EQ(magic + " " + std::to_string(pw) + " " + std::to_string(ph) + " " + std::to_string(maximum),
            "P3 21 9 3");
  std::vector<int> nums;
  for (int v; in >> v;) nums.push_back(v);
  ASSERT_EQ(nums.size(), 21u * 9 * 3);
  std::string want = Pixels(four, 21, 9, 4), got;
  for (size_t i = 0; i < nums.size(); i += 3) {
    std::string key =
        std::to_string(nums[i]) + " " + std::to_string(nums[i + 1]) + " " + std::to_string(nums[i + 2]);
    got += char(index.count(key) ? index[key] : 99);
  }
  EXPECT_EQ(got, want);
}

// ---- Sprites ----

TEST(Sprite, ChoosesTheSpriteByIndex) {
  TempDir dir;
  Sprite a, b;
  a.name = "first";
  a.image = Bytes({0x01, 0, 0, 0});  // 1-bit: the leftmost pixel is the lowest bit
  a.lastBit = 3;                     // 4 pixels
  b.name = "second";
  b.mode = 28;  // 8 bits
  b.lastBit = 23;
  b.heightLess1 = 1;
  b.image = Bytes({1, 2, 3, 0, 4, 5, 6, 0});
  WriteAll(dir.File("two.spr"), SpriteFile({a, b}));
  Loaded r = LoadImage(dir.File("two.spr"));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.width, 4);
  EXPECT_EQ(r.h.height, 1);
  EXPECT_EQ(r.h.bpp, 1);
  EXPECT_EQ(Pixels(r), std::string({1, 0, 0, 0}));
  EXPECT_TRUE(SameRgb(r.pal[0], {255, 255, 255}));
  EXPECT_TRUE(SameRgb(r.pal[1], {0, 0, 0}));
  r = LoadImage(dir.File("two.spr"), "index=1");
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.h.width, 3);
  EXPECT_EQ(r.h.height, 2);
  EXPECT_EQ(r.h.bpp, 8);
  EXPECT_EQ(Pixels(r), std::string({1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(LoadImage(dir.File("two.spr"), "index=2").rc, 1402);
  EXPECT_EQ(LoadImage(dir.File("two.spr"), "index=-1").rc, 3);
  WriteAll(dir.File("none.spr"), SpriteFile({}, 0));
  EXPECT_EQ(LoadImage(dir.File("none.spr")).rc, 1402);
  // A next-sprite offset that does not move on is refused, not followed for ever.
  std::string looped = SpriteFile({a, b}, 3);
  looped.replace(12, 4, Le32(0));
  WriteAll(dir.File("loop.spr"), looped);
  EXPECT_EQ(LoadImage(dir.File("loop.spr"), "index=2").rc, 7);
}

TEST(Sprite, DepthsPalettesAndFirstBit) {
  TempDir dir;
  // 2 bits: read as 4 bits with the 4-entry default palette.
  Sprite s2;
  s2.mode = 1;
  s2.lastBit = 9;                        // 5 pixels
  s2.image = Bytes({0xE4, 0x03, 0, 0});  // pixels 0, 1, 2, 3, 3
  WriteAll(dir.File("b2.spr"), SpriteFile({s2}));
  Loaded r = LoadImage(dir.File("b2.spr"));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.width, 5);
  EXPECT_EQ(r.h.bpp, 4);
  EXPECT_EQ(Pixels(r), std::string({0, 1, 2, 3, 3}));
  EXPECT_TRUE(SameRgb(r.pal[1], {170, 170, 170}));
  EXPECT_TRUE(SameRgb(r.pal[2], {85, 85, 85}));
  EXPECT_TRUE(SameRgb(r.pal[3], {0, 0, 0}));

  // 4 bits with its own palette and a first bit of 8: nibbles exchanged.
  Sprite s4;
  s4.mode = 12;
  s4.firstBit = 8;
  s4.lastBit = 23;  // (0 * 32 + 23 - 8 + 1) / 4 = 4 pixels
  s4.image = Bytes({0xFF, 0x21, 0x43, 0xFF});
  for (int i = 0; i < 16; ++i) s4.palette.push_back({uint8_t(i * 16), uint8_t(i), 7});
  WriteAll(dir.File("b4.spr"), SpriteFile({s4}));
  r = LoadImage(dir.File("b4.spr"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.h.width, 4);
  EXPECT_EQ(Pixels(r), std::string({1, 2, 3, 4}));
  EXPECT_TRUE(SameRgb(r.pal[3], {48, 3, 7}));
  // 4 bits without a palette: the 16 defaults.
  s4.palette.clear();
  WriteAll(dir.File("d4.spr"), SpriteFile({s4}));
  r = LoadImage(dir.File("d4.spr"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_TRUE(SameRgb(r.pal[14], {255, 156, 0}));
  EXPECT_TRUE(SameRgb(r.pal[15], {0, 185, 255}));

  // 8 bits: no palette, 16 entries and 64 entries are widened to 256.
  Sprite s8;
  s8.mode = 15;
  s8.lastBit = 7;
  s8.image = Bytes({0xFF, 0, 0, 0});
  WriteAll(dir.File("s8.spr"), SpriteFile({s8}));
  r = LoadImage(dir.File("s8.spr"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.h.width, 1);
  EXPECT_TRUE(SameRgb(r.pal[0], {0, 0, 0}));
  EXPECT_TRUE(SameRgb(r.pal[15], {112, 48, 112}));
  EXPECT_TRUE(SameRgb(r.pal[255], {240, 240, 240}));
  EXPECT_TRUE(SameRgb(r.pal[16 + 5], {80 | 128, 16, 16}));
  EXPECT_TRUE(SameRgb(r.pal[0x60 + 1], {16, 16 | 0xC0, 16}));
  for (int i = 0; i < 16; ++i) s8.palette.push_back({uint8_t(i), uint8_t(0xFF), uint8_t(0x7F)});
  WriteAll(dir.File("p16.spr"), SpriteFile({s8}));
  r = LoadImage(dir.File("p16.spr"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_TRUE(SameRgb(r.pal[3], {3, 0xFF, 0x7F}));
  EXPECT_TRUE(SameRgb(r.pal[0x10 + 3], {3 | 0x80, 0x3F, 0x7F}));
  EXPECT_TRUE(SameRgb(r.pal[0xF0 + 3], {3 | 0x80, 0xFF, 0xFF}));
  s8.palette.resize(64, {1, 2, 0xFF});
  WriteAll(dir.File("p64.spr"), SpriteFile({s8}));
  r = LoadImage(dir.File("p64.spr"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_TRUE(SameRgb(r.pal[40], {1, 2, 0xFF}));
  EXPECT_TRUE(SameRgb(r.pal[64 + 40], {1, 2 | 0x80, 0x7F}));
  EXPECT_TRUE(SameRgb(r.pal[128 + 3], {3, 0x7F, 0xFF}));
  s8.palette.resize(20);
  WriteAll(dir.File("p20.spr"), SpriteFile({s8}));
  EXPECT_EQ(LoadImage(dir.File("p20.spr")).rc, 1403);

  // One-row, one-word 1-bit sprites with one field changed.
  auto with = [](auto change) {
    Sprite s;
    s.image = "abcd";
    change(s);
    return SpriteFile({s});
  };
  std::string negative = with([](Sprite&) {});
  negative.replace(12 + 32, 4, Le32(-100000));  // the image offset
  struct Bad {
    const char* what;
    std::string file;
    int rc;
  } bad[] = {
      {"first bit 4", with([](Sprite& s) { s.firstBit = 4; }), 1400},
      {"mode 3", with([](Sprite& s) { s.mode = 3; }), 1401},
      {"mode 29", with([](Sprite& s) { s.mode = 29; }), 1401},
      {"mode -1", with([](Sprite& s) { s.mode = -1; }), 1401},
      {"new-format mode word", with([](Sprite& s) { s.mode = 0x301680B5; }), 1401},
      {"height 10001", with([](Sprite& s) { s.heightLess1 = 10000; }), 6},
      {"width 10001", with([](Sprite& s) { s.widthWordsLess1 = 312, s.lastBit = 16; }), 6},
      {"width 0", with([](Sprite& s) { s.lastBit = -1; }), 6},
      {"huge width", with([](Sprite& s) { s.widthWordsLess1 = 0x7FFFFFFF; }), 6},
      {"image past the end", with([](Sprite& s) { s.heightLess1 = 3; }), 7},
      {"negative image offset", negative, 7},
      {"cut header", with([](Sprite&) {}).substr(0, 40), 7},
  };
  for (const Bad& b : bad) {
    WriteAll(dir.File("bad.spr"), b.file);
    EXPECT_EQ(LoadImage(dir.File("bad.spr")).rc, b.rc) << b.what;
  }
}

TEST(Sprite, WriterRoundTripsAndLayout) {
  TempDir dir;
  for (int32_t bpp : {1, 4, 8})
    for (int32_t w : {1, 7, 9, 31, 33}) {
      const int32_t h = 4;
      std::string name = dir.File("rt" + std::to_string(bpp) + "_" + std::to_string(w) + ".spr");
      std::vector<uint8_t> px = Image(w, h, bpp);
      ImgFmtRgb pal[256];
      // 8 bits: a palette that is the standard one, so that numbers come back unchanged.
      for (int i = 0; i < 256; ++i)
        pal[i] = bpp == 8 ? ImgFmtRgb{uint8_t(((i & 7) << 4) | ((i & 0x10) << 3) | 0x8),
                                      uint8_t(((i & 3) << 4) | ((i & 0x60) << 1) | 0x8),
                                      uint8_t(((i & 3) << 4) | ((i & 8) << 3) | (i & 0x80) | 0x8)}
                          : ImgFmtRgb{uint8_t(i * 17), uint8_t(255 - i * 17), uint8_t(i * 34)};
      ASSERT_EQ(SaveImage(name, w, h, bpp, px, pal), 0) << name;
      Loaded r = LoadImage(name);
      ASSERT_EQ(r.rc, 0) << name << ": " << imgfmt_error_text(r.rc);
      EXPECT_EQ(r.h.width, w);
      EXPECT_EQ(r.h.height, h);
      EXPECT_EQ(r.h.bpp, bpp);
      EXPECT_EQ(Pixels(r), Pixels(px, w, h, bpp)) << name;
      if (bpp != 8)
        for (int i = 0; i < (1 << bpp); ++i) {
          // Components keep their high nibble, repeated.
          auto n = [](uint8_t c) { return uint8_t((c & 0xF0) | (c >> 4)); };
          EXPECT_TRUE(SameRgb(r.pal[i], {n(pal[i].r), n(pal[i].g), n(pal[i].b)})) << name << " " << i;
        }
      // The padding at the end of the last row is not read.
      if (w == 9) {
        size_t padding = size_t((int64_t(w) * bpp + 31) / 32 * 4 - (int64_t(w) * bpp + 7) / 8);
        ExpectEveryCutFails(name, "", ReadAll(name).size() - padding);
      }
    }
  // The area and sprite header of a 9 x 2 4-bit sprite named after the file.
  std::vector<uint8_t> px = Image(9, 2, 4);
  ImgFmtRgb pal[256] = {};
  pal[1] = {0x12, 0xAB, 0xFF};
  ASSERT_EQ(SaveImage(dir.File("Logo.SPR"), 9, 2, 4, px, pal), 0);
  std::string f = ReadAll(dir.File("Logo.SPR"));
  int rowBytes = 8, entries = 16;
  std::string want = Le32(1) + Le32(16) + Le32(8 * entries + 2 * rowBytes + 60) +
                     Le32(8 * entries + 2 * rowBytes + 44) + std::string("logo\0\0\0\0\0\0\0\0", 12) +
                     Le32(1) + Le32(1) + Le32(0) + Le32(35 % 32) + Le32(8 * entries + 44) +
                     Le32(8 * entries + 44) + Le32(17);
  EXPECT_EQ(f.substr(0, 56), want);
  EXPECT_EQ(f.substr(56 + 8, 8), Bytes({0, 0x11, 0xAA, 0xFF, 0, 0x11, 0xAA, 0xFF}));
  EXPECT_EQ(f.size(), 56u + 8 * 16 + 2 * 8);
  // Pixel 8 of the top row sits in the low nibble of byte 4, the rest of the row is clear.
  EXPECT_EQ(f.substr(56 + 128, 8),
            Bytes({px[8] << 4 | px[8] >> 4, px[9] << 4 | px[9] >> 4, px[10] << 4 | px[10] >> 4,
                   px[11] << 4 | px[11] >> 4, px[12] >> 4, 0, 0, 0}));

  struct Name {
    const char* file;
    std::string sprite;
  } names[] = {
      {"C:\\pics\\Logo.SPR", "logo"},
      {"dir/MyButtons.spr", "mybuttons"},
      {"dir/AVeryLongSpriteName.spr", "averylongsp"},
      {"dir/Pic.sprite", "pic.sprite"},
      {"x.Spr", "x"},
  };
  for (const Name& n : names) {
    std::string path = dir.File("n.spr");
    int index = 12;
    int fd = imgfmt_file_create(path.c_str(), 0x8001);
    ASSERT_GE(fd, 0);
    ImgFmtHeader hd{};
    hd.width = 9;
    hd.height = 2;
    hd.bpp = 4;
    ASSERT_EQ(imgfmt_write_image(n.file, fd, index, &hd, pal, px.data(), ""), 0);
    imgfmt_file_close(fd);
    std::string s = ReadAll(path).substr(16, 12);
    std::string want2 = n.sprite;
    want2.resize(12, '\0');
    EXPECT_EQ(s, want2) << n.file;
  }
  // 8 bits: colours become standard colour numbers.
  ImgFmtRgb c[256] = {};
  c[0] = {0xFF, 0xFF, 0xFF};
  c[1] = {0x80, 0, 0};
  c[2] = {0, 0x40, 0};
  c[3] = {0x30, 0x30, 0x30};
  c[4] = {0x40, 0, 0xC0};
  std::vector<uint8_t> e = {0, 1, 2, 3, 4, 0, 0, 0};
  ASSERT_EQ(SaveImage(dir.File("e.spr"), 5, 1, 8, e, c), 0);
  Loaded r = LoadImage(dir.File("e.spr"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Pixels(r), std::string({char(0xFF), 0x10, 0x20, 0x03, char(0x80 | 0x08 | 0x04)}));
  EXPECT_EQ(SaveImage(dir.File("t.spr"), 5, 1, 24, e, c), 2);
}

// ---- Page segments ----

TEST(Pseg, WriterLayoutAndRoundTrip) {
  TempDir dir;
  std::vector<uint8_t> px(size_t(imgfmt_row_bytes(10, 1) * 3), 0);
  px[0] = 0xFF, px[1] = 0xFF;  // bottom row: the bits past 10 pixels are cleared
  px[4] = 0x81, px[5] = 0x40;
  px[8] = 0x00, px[9] = 0xC0;
  ASSERT_EQ(SaveImage(dir.File("Ab.pseg"), 10, 3, 1, px, gMono), 0);
  std::string f = ReadAll(dir.File("Ab.pseg"));
  // The segment name: "Ab.pseg " in EBCDIC, the folders dropped.
  const std::string name = Bytes({0xC1, 0x82, 0x4B, 0x97, 0xA2, 0x85, 0x87, 0x40});
  std::string written = Bytes({0xE6, 0x99, 0x89, 0xA3, 0xA3, 0x85, 0x95, 0x40, 0x82, 0xA8, 0x40, 0xC9, 0x94,
                               0x87, 0xC6, 0x94, 0xA3});  // "Written by ImgFmt"
  std::string control(24, '\0');
  control[8] = 0x2D;
  control.replace(18, 6, Bytes({0x03, 0xE8, 0x03, 0xE8, 0xFF, 0xFF}));
  std::string size(36, '\0');
  for (int at : {2, 4, 14, 16}) size.replace(size_t(at), 2, Be16(2400));
  size.replace(18, 4, Be16(16) + Be16(3));
  size[26] = 0x2D;
  size.replace(32, 4, Bytes({0, 1, 0xFF, 0xFF}));
  std::string want = Record(kNop, written) + Record(kBeginSegment, name) + Record(kBeginImage, name) +
                     Record(kOutputControl, control) + Record(kImageSize, size) +
                     Record(kRaster, Bytes({0x00, 0xC0})) + Record(kRaster, Bytes({0x81, 0x40})) +
                     Record(kRaster, Bytes({0xFF, 0xC0})) + Record(kEndImage, name) +
                     Record(kEndSegment, name);
  EXPECT_EQ(f, want);
  Loaded r = LoadImage(dir.File("Ab.pseg"));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.width, 16);
  EXPECT_EQ(r.h.height, 3);
  EXPECT_EQ(r.h.bpp, 1);
  EXPECT_EQ(r.data[0], 0xFF);
  EXPECT_EQ(r.data[1], 0xC0);
  EXPECT_EQ(r.data[9], 0xC0);
  EXPECT_TRUE(SameRgb(r.pal[0], {255, 255, 255}));
  EXPECT_TRUE(SameRgb(r.pal[1], {0, 0, 0}));
  ExpectEveryCutFails(dir.File("Ab.pseg"), "", f.size() - 17);  // the end segment is not needed

  ASSERT_EQ(SaveImage(dir.File("d.pse"), 10, 3, 1, px, gMono, "double"), 0);
  // The output control record follows the no-operation (26 bytes) and two 17-byte records.
  EXPECT_EQ(ReadAll(dir.File("d.pse")).substr(26 + 17 + 17 + 9 + 18, 4), Bytes({0x07, 0xD0, 0x07, 0xD0}));
  std::vector<uint8_t> big(size_t(imgfmt_row_bytes(2401, 1) * 2));
  EXPECT_EQ(SaveImage(dir.File("big.pse"), 2401, 2, 1, big, gMono), 6);
  EXPECT_EQ(SaveImage(dir.File("big.pse"), 8, 2401, 1, std::vector<uint8_t>(4 * 2401), gMono), 6);
  ASSERT_EQ(SaveImage(dir.File("max.pse"), 2400, 2400, 1, std::vector<uint8_t>(300 * 2400), gMono), 0);
  EXPECT_EQ(LoadImage(dir.File("max.pse")).rc, 0);
  EXPECT_EQ(SaveImage(dir.File("four.pse"), 8, 1, 4, std::vector<uint8_t>(4), gMono), 2);

  std::vector<uint8_t> pat = Pattern(33, 7, 1);
  ASSERT_EQ(SaveImage(dir.File("p.pseg38pp"), 33, 7, 1, pat, gMono), 0);
  r = LoadImage(dir.File("p.pseg38pp"));
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.h.width, 40);
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 40; ++x)
      EXPECT_EQ(PixelAt(r.data, 40, 7, 1, x, y), x < 33 ? PixelAt(pat, 33, 7, 1, x, y) : 0u) << x << "," << y;
}

// A page segment holds set bits as black. The writer follows the caller's palette, so a
// picture reads back as it was whichever of its two entries is the dark one.
TEST(Pseg, WrittenPicturesKeepTheirColoursWhateverThePaletteOrder) {
  TempDir dir;
  std::vector<uint8_t> pat = Pattern(13, 5, 1);
  struct Case {
    ImgFmtRgb first, second;
  } cases[] = {
      {{255, 255, 255}, {0, 0, 0}},
      {{0, 0, 0}, {255, 255, 255}},
      {{20, 0, 40}, {250, 240, 200}},  // dark and light, not pure
      {{250, 240, 200}, {20, 0, 40}},
  };
  for (const Case& c : cases) {
    ImgFmtRgb pal[256] = {c.first, c.second};
    ASSERT_EQ(SaveImage(dir.File("p.pse"), 13, 5, 1, pat, pal), 0);
    Loaded r = LoadImage(dir.File("p.pse"));
    ASSERT_EQ(r.rc, 0);
    ASSERT_EQ(r.h.width, 16);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 13; ++x) {
        bool dark = PixelAt(pat, 13, 5, 1, x, y) == (c.first.r < c.second.r ? 0u : 1u);
        EXPECT_EQ(r.pal[PixelAt(r.data, 16, 5, 1, x, y)].r, dark ? 0 : 255)
            << int(c.first.r) << " at " << x << "," << y;
      }
  }
}

TEST(Pseg, FixrecFindsRecordsThatStartEarly) {
  TempDir dir;
  for (int early : {1, 2, 5, 9, 10, 11}) {
    // The image size record claims `early` bytes more than it has, so the raster record
    // starts that much before where it points.
    std::string f = Record(kNop, "x") + PsegStart() + Record(kImageSize, ImageSize(16, 2), early) +
                    Record(kRaster, Bytes({0x0F, 0xF0, 0x3C, 0xC3})) + PsegEnd();
    WriteAll(dir.File("f.pseg"), f);
    EXPECT_EQ(LoadImage(dir.File("f.pseg")).rc, 1600) << early;
    Loaded r = LoadImage(dir.File("f.pseg"), "fixrec");
    if (early > 10) {
      EXPECT_EQ(r.rc, 1600) << early;  // out of reach
      continue;
    }
    ASSERT_EQ(r.rc, 0) << early << ": " << imgfmt_error_text(r.rc);
    EXPECT_EQ(r.data[4], 0x0F);  // top row
    EXPECT_EQ(r.data[5], 0xF0);
    EXPECT_EQ(r.data[0], 0x3C);
    EXPECT_EQ(r.data[1], 0xC3);
  }
  // The search never goes back to the record just read, which would loop for ever.
  std::string f = PsegStart() + Record(kImageSize, ImageSize(8, 1)) + Record(kNop, "") + "x" +
                  Record(kRaster, "\x01") + PsegEnd();
  WriteAll(dir.File("z.pseg"), f);
  EXPECT_EQ(LoadImage(dir.File("z.pseg"), "fixrec").rc, 1600);
}

TEST(Pseg, CellsFillsAndClipping) {
  TempDir dir;
  // A 24 x 4 image (3 bytes a row) with default cells of 8 x 2. The first raster record
  // fills the default cell at 0, 0. A cell at x 16, y 2 clears its 16 x 2 fill area (the
  // column past the image is dropped) and takes three rows, the last below the image. A cell
  // at x 8, y 3 of width 16 takes two rows of two bytes, the second below the image. A cell
  // far outside the image takes nothing.
  std::string f =
      PsegStart() + Record(kImageSize, ImageSize(24, 4, 8, 2)) + Record(kRaster, Bytes({0x11, 0x22})) +
      Record(kCellPosition, CellPosition(16, 2, 8, 2, 16, 2)) + Record(kRaster, Bytes({0x33, 0x44, 0x55})) +
      Record(kCellPosition, CellPosition(8, 3, 16, 1, 0xFFFF, 0xFFFF)) +
      Record(kRaster, Bytes({0x66, 0x77, 0x88, 0x99})) +
      Record(kCellPosition, CellPosition(2000, 3000, 8, 8, 800, 800)) +
      Record(kRaster, std::string(64, '\xEE')) + PsegEnd();
  WriteAll(dir.File("c.pseg"), f);
  Loaded r = LoadImage(dir.File("c.pseg"));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  auto byteAt = [&](int row, int col) { return r.data[size_t((3 - row) * 4 + col)]; };
  EXPECT_EQ(byteAt(0, 0), 0x11);
  EXPECT_EQ(byteAt(1, 0), 0x22);
  EXPECT_EQ(byteAt(0, 1), 0xAA);  // not covered: left as the caller had it
  EXPECT_EQ(byteAt(1, 1), 0xAA);
  EXPECT_EQ(byteAt(2, 2), 0x33);
  EXPECT_EQ(byteAt(3, 1), 0x66);
  EXPECT_EQ(byteAt(3, 2), 0x77);  // over the 0x44 of the cell before
  for (int row = 0; row < 4; ++row) EXPECT_EQ(byteAt(row, 3), 0xAA) << row;  // row padding
}

TEST(Pseg, BadFilesGiveTheirCodes) {
  TempDir dir;
  std::string size = Record(kImageSize, ImageSize(8, 1));
  std::string raster = Record(kRaster, "\x01");
  struct Case {
    const char* what;
    std::string bytes;
    int rc;
  } cases[] = {
      {"no 5A", "x" + PsegStart(), 1600},
      {"unknown record", PsegStart() + Record(0xD3FFFF, "") + size + raster + PsegEnd(), 1601},
      {"short size record", PsegStart() + Record(kImageSize, std::string(20, '\0')) + raster, 1601},
      {"length below 8", PsegStart() + Record(kNop, "", -1), 1601},
      {"raster before size", PsegStart() + raster + size + PsegEnd(), 1602},
      {"cell before size", PsegStart() + Record(kCellPosition, CellPosition(0, 0, 8, 1, 8, 1)), 1602},
      {"width 12", PsegStart() + Record(kImageSize, ImageSize(12, 1)) + raster + PsegEnd(), 1603},
      {"default cell 12", PsegStart() + Record(kImageSize, ImageSize(16, 1, 12, 1)) + raster + PsegEnd(),
       1604},
      {"cell width 12",
       PsegStart() + size + Record(kCellPosition, CellPosition(0, 0, 12, 1, 8, 1)) + PsegEnd(), 1605},
      {"cell x 4", PsegStart() + size + Record(kCellPosition, CellPosition(4, 0, 8, 1, 8, 1)) + PsegEnd(),
       1606},
      {"begin image inside", PsegStart() + size + raster + Record(kBeginImage, "SEGNAME ") + PsegEnd(), 1607},
      {"size inside", PsegStart() + size + raster + size + PsegEnd(), 1607},
      {"end image early", PsegStart() + Record(kEndImage, "SEGNAME ") + PsegEnd(), 1601},
      {"width 0", PsegStart() + Record(kImageSize, ImageSize(0, 1)) + raster + PsegEnd(), 6},
      {"no records", "", 7},
      {"no raster", PsegStart() + size, 7},
      {"no end", PsegStart() + size + raster, 7},
      {"cut record", (PsegStart() + size + raster).substr(0, 80), 7},
  };
  for (const Case& c : cases) {
    WriteAll(dir.File("b.pseg"), c.bytes);
    EXPECT_EQ(LoadImage(dir.File("b.pseg")).rc, c.rc) << c.what;
  }
  // A cell of width 0 takes no raster bytes.
  WriteAll(dir.File("z.pseg"),
           PsegStart() + size + Record(kCellPosition, CellPosition(0, 0, 0, 1, 8, 1)) + raster + PsegEnd());
  Loaded r = LoadImage(dir.File("z.pseg"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.data[0], 0);  // cleared by the fill, not written
}

// ---- All three ----

TEST(RasterCodecs, FailedWritesAreReported) {
  struct Case {
    int index;
    int32_t bpp;
  } cases[] = {{14, 1}, {14, 24}, {12, 4}, {12, 8}, {13, 1}};
  for (const Case& c : cases) {
    // A full device fails every write; the library itself opens only files, so the
    // descriptor is made here.
    int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ImgFmtHeader h{};
    h.width = 300;
    h.height = 200;
    h.bpp = c.bpp;
    std::vector<uint8_t> px = Image(300, 200, c.bpp);
    EXPECT_EQ(imgfmt_write_image("a", fd, c.index, &h, gColour, px.data(), ""), 8) << c.index;
    imgfmt_file_close(fd);
  }
}

TEST(RasterCodecs, PatchedFilesFailWithKnownCodes) {
  TempDir dir;
  struct Source {
    const char* name;
    int32_t bpp;
    const char* options;
  } sources[] = {{"g1.img", 1, ""}, {"g4.img", 4, "pal"}, {"g24.img", 24, ""}, {"g8.img", 8, ""},
                 {"s4.spr", 4, ""}, {"s8.spr", 8, ""},    {"s1.spr", 1, ""},   {"p.pseg", 1, ""}};
  for (const Source& src : sources) {
    std::string name = dir.File(src.name);
    ASSERT_EQ(SaveImage(name, 11, 5, src.bpp, Image(11, 5, src.bpp), gColour, src.options), 0) << src.name;
    const std::string whole = ReadAll(name);
    const std::string patched = dir.File(std::string("x") + src.name);
    for (size_t at = 0; at < whole.size(); ++at)
      for (int value : {0x00, 0x01, 0x5A, 0x7F, 0x80, 0xFF}) {
        std::string f = whole;
        f[at] = char(value);
        WriteAll(patched, f);
        int rc = LoadImage(patched, "fixrec").rc;
        if (rc) {
          EXPECT_STRNE(imgfmt_error_text(rc), "general error") << src.name << " @" << at << "=" << value;
        }
      }
  }
}
