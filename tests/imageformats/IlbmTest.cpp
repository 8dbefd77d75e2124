// The ILBM codec against netpbm.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/imageformats/PlanarTestUtil.h"

namespace {

const TempDir& FixtureDir() {
  static TempDir dir;
  return dir;
}

const std::vector<std::string>& Fixtures() {
  static std::vector<std::string> list = ToolFixtures(FixtureDir(), ".iff");
  return list;
}

std::string Be32s(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
std::string Be16s(int v) { return {char(v >> 8), char(v)}; }

std::string Chunk(const char* id, const std::string& body) {
  std::string c = std::string(id, 4) + Be32s(uint32_t(body.size())) + body;
  if (body.size() % 2) c += '\0';
  return c;
}

std::string Form(const std::string& chunks, const char* type = "ILBM") {
  return "FORM" + Be32s(uint32_t(chunks.size() + 4)) + type + chunks;
}

std::string Bmhd(int w, int h, int planes, int compression = 0, int masking = 0) {
  return Chunk("BMHD", Be16s(w) + Be16s(h) + Be16s(0) + Be16s(0) + char(planes) + char(masking) +
                           char(compression) + '\0' + Be16s(0) + "\x0a\x0b" + Be16s(w) + Be16s(h));
}

std::string Cmap(int entries, int scale = 1) {
  std::string s;
  for (int i = 0; i < entries; ++i) s += {char(i * 4 * scale), char(200 - i), char(i * 2)};
  return Chunk("CMAP", s);
}

// The planes of one row of pixel values, uncompressed: plane k holds bit k of every value.
std::string RawRow(const std::vector<uint32_t>& values, int planes) {
  int lineBytes = int((values.size() + 15) / 16) * 2;
  std::string out;
  for (int k = 0; k < planes; ++k) {
    std::string line(size_t(lineBytes), '\0');
    for (size_t x = 0; x < values.size(); ++x)
      if ((values[x] >> k) & 1) line[x / 8] = char(line[x / 8] | (0x80 >> (x % 8)));
    out += line;
  }
  return out;
}

ImgFmtRgb gPal[256];
struct InitPal {
  InitPal() {
    for (int i = 0; i < 256; ++i) gPal[i] = TestPaletteEntry(i);
  }
} gInitPal;

Loaded Want(int32_t w, int32_t h, int32_t bpp, const std::vector<uint8_t>& px) {
  Loaded want;
  want.h.width = w;
  want.h.height = h;
  want.h.bpp = bpp;
  want.data = px;
  for (int i = 0; i < 256; ++i) want.pal[i] = gPal[i];
  return want;
}

// Compares HAM pictures at the four bits a component that HAM6 keeps.
std::string HighNibbles(std::string s) {
  for (char& c : s) c = char(uint8_t(c) >> 4);
  return s;
}

}  // namespace

TEST(Ilbm, ReadsNetpbmFilesPixelEqualToIlbmtoppm) {
  const auto& files = Fixtures();
  ASSERT_GE(files.size(), 10u);
  for (const std::string& f : files) {
    std::string path = FixtureDir().File(f);
    Loaded r = LoadImage(path);
    ASSERT_EQ(r.rc, 0) << f << ": " << imgfmt_error_text(r.rc);
    EXPECT_EQ(r.h.width, 37) << f;
    EXPECT_EQ(r.h.height, 9) << f;
    int bpp = f.find("_1") != std::string::npos   ? 1
              : f.find("_4") != std::string::npos ? 4
              : f.find("_8") != std::string::npos ? 8
                                                  : 24;
    EXPECT_EQ(r.h.bpp, bpp) << f;
    std::string tool = ToolRgb("ilbmtoppm", "ilbmtoppm '" + path + "' 2>/dev/null");
    // HAM6 colours have four bits a component, which ilbmtoppm widens as v * 17 and we as
    // v * 16.
    if (f.find("ham6") != std::string::npos)
      EXPECT_TRUE(SameRgb(HighNibbles(RgbOf(r)), HighNibbles(tool))) << f;
    else EXPECT_TRUE(SameRgb(RgbOf(r), tool)) << f;
  }
}

TEST(Ilbm, EveryCutOfAFileFails) {
  ASSERT_FALSE(Fixtures().empty());
  for (const char* f : {"nb_8.iff", "nb_24_raw.iff", "nb_ham6.iff", "nb_4_mask.iff"}) {
    std::string path = FixtureDir().File(f);
    std::string whole = ReadAll(path);
    std::string cut = path + ".cut.iff";
    for (size_t n = 0; n < whole.size(); ++n) {
      // A cut that removes only the pad byte after an odd BODY leaves the whole picture.
      if (n == whole.size() - 1 && whole.back() == '\0') continue;
      WriteAll(cut, whole.substr(0, n));
      EXPECT_NE(LoadImage(cut).rc, 0) << f << " cut at " << n;
    }
  }
}

TEST(Ilbm, WrittenFilesReadBackInIlbmtoppm) {
  TempDir dir;
  const int32_t w = 37, h = 5;
  for (int bpp : {1, 4, 8, 24}) {
    std::string name = dir.File("o" + std::to_string(bpp) + ".iff");
    std::vector<uint8_t> px = bpp == 24 ? Pattern(w, h, 24) : IndexPattern(w, h, bpp);
    ASSERT_EQ(SaveImage(name, w, h, bpp, px, gPal), 0) << bpp;
    std::string expected = RgbOf(Want(w, h, bpp, px));
    Loaded back = LoadImage(name);
    ASSERT_EQ(back.rc, 0) << bpp;
    EXPECT_EQ(back.h.bpp, bpp);
    EXPECT_TRUE(SameRgb(RgbOf(back), expected)) << bpp;
    EXPECT_TRUE(SameRgb(ToolRgb("ilbmtoppm", "ilbmtoppm '" + name + "' 2>/dev/null"), expected)) << bpp;
    std::string bytes = ReadAll(name);
    EXPECT_EQ(bytes.size() % 2, 0u);
    EXPECT_EQ(bytes.substr(4, 4), Be32s(uint32_t(bytes.size() - 8)));
  }
  // HAM6: 6 planes, the display mode, 16 grey levels; what we read back is what ilbmtoppm
  // reads, and it stays near the picture.
  std::string name = dir.File("ham.iff");
  std::vector<uint8_t> px = Pattern(w, h, 24);
  ASSERT_EQ(SaveImage(name, w, h, 24, px, nullptr, "ham6"), 0);
  std::string bytes = ReadAll(name);
  EXPECT_EQ(uint8_t(bytes[28]), 6) << "planes";
  size_t camg = bytes.find("CAMG");
  ASSERT_NE(camg, std::string::npos);
  EXPECT_EQ(bytes.substr(camg + 4, 8), Be32s(4) + Be32s(0x800));
  size_t cmap = bytes.find("CMAP");
  ASSERT_NE(cmap, std::string::npos);
  EXPECT_EQ(bytes.substr(cmap + 4, 4), Be32s(48));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(bytes.substr(cmap + 8 + i * 3, 3), std::string(3, char(i * 17)));
  Loaded back = LoadImage(name);
  ASSERT_EQ(back.rc, 0);
  EXPECT_EQ(back.h.bpp, 24);
  std::string ours = RgbOf(back);
  EXPECT_TRUE(
      SameRgb(HighNibbles(ours), HighNibbles(ToolRgb("ilbmtoppm", "ilbmtoppm '" + name + "' 2>/dev/null"))));
  std::string want = RgbOf(Want(w, h, 24, px));
  int far = 0;
  for (size_t i = 0; i < want.size(); ++i)
    far += std::abs(int(uint8_t(ours[i]) >> 4) - int(uint8_t(want[i]) >> 4)) > 3;
  EXPECT_LT(far, int(want.size()) / 10) << "components far from the picture";
}

TEST(Ilbm, Ham6EncodingChoosesTheCodes) {
  TempDir dir;
  // Colours at four bits a component (r, g, b), one row; each is reached by the code the
  // encoder picks, so the row reads back exactly.
  const int rgb[][3] = {
      {5, 5, 9},    // first pixel: the shared value 5 -> grey 5
      {5, 5, 9},    // unchanged: modify blue with blue
      {5, 7, 9},    // one change: green
      {9, 9, 9},    // two changed to grey: palette 9
      {1, 12, 10},  // all changed, all differ: the largest change (red)
      {3, 3, 3},    // all changed, grey: palette 3
      {8, 3, 8},    // two changed, not grey: equal changes, red before blue
  };
  const int n = int(sizeof rgb / sizeof rgb[0]);
  std::vector<uint8_t> px(size_t(imgfmt_row_bytes(n, 24)), 0);
  for (int x = 0; x < n; ++x) {
    px[size_t(x) * 3] = uint8_t(rgb[x][2] * 16);
    px[size_t(x) * 3 + 1] = uint8_t(rgb[x][1] * 16);
    px[size_t(x) * 3 + 2] = uint8_t(rgb[x][0] * 16);
  }
  std::string name = dir.File("h.iff");
  ASSERT_EQ(SaveImage(name, n, 1, 24, px, nullptr, "ham6"), 0);
  Loaded back = LoadImage(name);
  ASSERT_EQ(back.rc, 0);
  std::string got = RgbOf(back);
  auto at = [&](int x) {
    return std::vector<int>{uint8_t(got[size_t(x) * 3]) / 16, uint8_t(got[size_t(x) * 3 + 1]) / 16,
                            uint8_t(got[size_t(x) * 3 + 2]) / 16};
  };
  EXPECT_EQ(at(0), (std::vector<int>{5, 5, 5}));
  EXPECT_EQ(at(1), (std::vector<int>{5, 5, 9}));
  EXPECT_EQ(at(2), (std::vector<int>{5, 7, 9}));
  EXPECT_EQ(at(3), (std::vector<int>{9, 9, 9}));
  EXPECT_EQ(at(4), (std::vector<int>{1, 9, 9}));
  EXPECT_EQ(at(5), (std::vector<int>{3, 3, 3}));
  EXPECT_EQ(at(6), (std::vector<int>{8, 3, 3}));
}

TEST(Ilbm, ByteRunCodesAndWriterOptions) {
  TempDir dir;
  // A plane line of 200 equal bytes is stored as runs of 128 and 72.
  std::vector<uint8_t> px(size_t(imgfmt_row_bytes(1600, 1)), 0xff);
  std::string name = dir.File("r.iff");
  ASSERT_EQ(SaveImage(name, 1600, 1, 1, px, gPal), 0);
  std::string bytes = ReadAll(name);
  size_t body = bytes.find("BODY");
  ASSERT_NE(body, std::string::npos);
  EXPECT_EQ(bytes.substr(body + 4), Be32s(4) + "\x81\xff\xb9\xff");
  // Literal groups end before two equal bytes.
  std::vector<uint8_t> row = {1, 2, 3, 3, 4};
  row.resize(size_t(imgfmt_row_bytes(5, 8)));
  ASSERT_EQ(SaveImage(name, 5, 1, 8, row, gPal), 0);
  Loaded back = LoadImage(name);
  ASSERT_EQ(back.rc, 0);
  EXPECT_EQ(std::vector<uint8_t>(back.data.begin(), back.data.begin() + 5),
            std::vector<uint8_t>({1, 2, 3, 3, 4}));

  // The BMHD fields that options set.
  ASSERT_EQ(SaveImage(name, 5, 1, 8, row, gPal,
                      "xpos=-3 ypos=7,transcol=300 xaspect=10 yaspect=11 xscreen=640 yscreen=512"),
            0);
  bytes = ReadAll(name);
  EXPECT_EQ(bytes.substr(20, 20), Be16s(5) + Be16s(1) + Be16s(-3) + Be16s(7) +
                                      std::string("\x08\x00\x01\x00", 4) + Be16s(300) + "\x0a\x0b" +
                                      Be16s(640) + Be16s(512));
  ASSERT_EQ(SaveImage(name, 5, 1, 8, row, gPal), 0);
  bytes = ReadAll(name);
  EXPECT_EQ(bytes.substr(20, 20), Be16s(5) + Be16s(1) + Be16s(0) + Be16s(0) +
                                      std::string("\x08\x00\x01\x00", 4) + Be16s(0) + "\x01\x01" + Be16s(5) +
                                      Be16s(1));
  for (const char* bad : {"xpos=abc", "xaspect=300", "transcol=-1", "yscreen=70000", "ypos=1x"})
    EXPECT_EQ(SaveImage(name, 5, 1, 8, row, gPal, bad), 3) << bad;
}

TEST(Ilbm, DisplayModes) {
  TempDir dir;
  std::string f = dir.File("m.iff");
  // Extra-Half-Brite: 32 entries, 6 planes, mode 0x80 -> 64 colours, the last 32 halved.
  std::vector<uint32_t> values = {0, 31, 32, 63};
  WriteAll(f, Form(Bmhd(4, 1, 6) + Chunk("CAMG", Be32s(0x80)) + Cmap(32) + Chunk("BODY", RawRow(values, 6))));
  Loaded r = LoadImage(f);
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.bpp, 8);
  EXPECT_EQ(r.pal[31].r, 124);
  EXPECT_EQ(r.pal[63].r, 62);
  EXPECT_EQ(r.pal[63].g, (200 - 31) / 2);
  EXPECT_EQ(r.pal[32].g, 100);
  EXPECT_EQ(std::vector<uint8_t>(r.data.begin(), r.data.begin() + 4), std::vector<uint8_t>({0, 31, 32, 63}));
  EXPECT_TRUE(SameRgb(RgbOf(r), ToolRgb("ilbmtoppm", "ilbmtoppm '" + f + "' 2>/dev/null")));

  // Six planes without CAMG are HAM6: codes 0x00+i palette, 0x10 blue, 0x20 red, 0x30 green.
  values = {0x03, 0x1f, 0x2a, 0x35, 0x12};
  WriteAll(f, Form(Bmhd(5, 1, 6) + Cmap(16, 4) + Chunk("BODY", RawRow(values, 6))));
  r = LoadImage(f);
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.bpp, 24);
  // Entry 3 is (48, 197, 6), cut to its high nibbles.
  EXPECT_EQ(RgbOf(r), std::string("\x30\xc0\x00"
                                  "\x30\xc0\xf0"
                                  "\xa0\xc0\xf0"
                                  "\xa0\x50\xf0"
                                  "\xa0\x50\x20",
                                  15));
  const std::string noCamg = RgbOf(r);
  // ilbmtoppm takes HAM from the CAMG chunk only.
  WriteAll(
      f, Form(Bmhd(5, 1, 6) + Chunk("CAMG", Be32s(0x800)) + Cmap(16, 4) + Chunk("BODY", RawRow(values, 6))));
  r = LoadImage(f);
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(RgbOf(r), noCamg);
  EXPECT_TRUE(
      SameRgb(HighNibbles(RgbOf(r)), HighNibbles(ToolRgb("ilbmtoppm", "ilbmtoppm '" + f + "' 2>/dev/null"))));
  // With a CAMG that does not say HAM the same file is a 64-colour picture, and its 16-entry
  // map leaves the other entries black.
  WriteAll(f, Form(Bmhd(5, 1, 6) + Chunk("CAMG", Be32s(0)) + Cmap(16, 4) + Chunk("BODY", RawRow(values, 6))));
  r = LoadImage(f);
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.bpp, 8);
  EXPECT_EQ(r.pal[3].r, 48);
  EXPECT_EQ(r.pal[20].g, 0);

  // HAM8: a pixel 0x55 after a colour with blue 0xff sets blue to 0x57.
  std::string map;
  for (int i = 0; i < 64; ++i) map += {char(i), char(i), char(i == 1 ? 0xff : i)};
  values = {0x01, 0x55, 0x80 | 0x3f, 0xc0 | 0x01};
  WriteAll(f, Form(Bmhd(4, 1, 8, 1) + Chunk("CAMG", Be32s(0x800)) + Chunk("CMAP", map) + Chunk("BODY", [&] {
                     // ByteRun1: each plane line of 2 bytes as one literal group.
                     std::string raw = RawRow(values, 8), packed;
                     for (size_t i = 0; i < raw.size(); i += 2)
                       packed += std::string("\x01") + raw.substr(i, 2);
                     return packed;
                   }())));
  r = LoadImage(f);
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.bpp, 24);
  EXPECT_EQ(RgbOf(r), std::string("\x01\x01\xff"
                                  "\x01\x01\x57"
                                  "\xfd\x01\x57"
                                  "\xfd\x05\x57",
                                  12));
  EXPECT_TRUE(SameRgb(RgbOf(r), ToolRgb("ilbmtoppm", "ilbmtoppm '" + f + "' 2>/dev/null")));
}

TEST(Ilbm, ShamLinePalettes) {
  TempDir dir;
  std::string f = dir.File("s.iff");
  // Each line palette gives entry 1 a colour of its own: 0x0RGB with R = the palette index.
  auto sham = [](int count) {
    std::string s = Be16s(0);
    for (int p = 0; p < count; ++p)
      for (int i = 0; i < 16; ++i) s += Be16s(i == 1 ? ((p % 16) << 8) | 0x0a5 : 0);
    return s;
  };
  for (int h : {3, 204}) {
    std::string body;
    for (int y = 0; y < h; ++y) body += RawRow({1, 0x2f}, 6);
    WriteAll(f, Form(Bmhd(2, h, 6) + Chunk("CAMG", Be32s(0x800)) + Cmap(16) +
                     Chunk("SHAM", sham(std::min(h, 200))) + Chunk("BODY", body)));
    Loaded r = LoadImage(f);
    ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
    EXPECT_EQ(r.h.bpp, 24);
    std::string rgb = RgbOf(r);
    if (h == 3) {
      EXPECT_TRUE(
          SameRgb(HighNibbles(rgb), HighNibbles(ToolRgb("ilbmtoppm", "ilbmtoppm '" + f + "' 2>/dev/null"))));
    }
    for (int y : {0, 1, 2, 3, 201, 203}) {
      if (y >= h) continue;
      // Up to 200 rows a palette a row, taller pictures a palette every second row, starting
      // again at the first when they run out.
      int palette = (h <= 200 ? y : y / 2) % 200;
      EXPECT_EQ(uint8_t(rgb[size_t(y) * 6]), (palette % 16) * 16) << h << " row " << y;
      EXPECT_EQ(rgb.substr(size_t(y) * 6 + 1, 2), "\xa0\x50") << h << " row " << y;
      EXPECT_EQ(uint8_t(rgb[size_t(y) * 6 + 3]), 0xf0) << "modify red";
    }
  }
  // Too few line palettes for the picture.
  WriteAll(f, Form(Bmhd(2, 3, 6) + Cmap(16) + Chunk("SHAM", sham(2)) +
                   Chunk("BODY", RawRow({1, 1}, 6) + RawRow({1, 1}, 6) + RawRow({1, 1}, 6))));
  EXPECT_EQ(LoadImage(f).rc, 7);
}

TEST(Ilbm, HeaderAndBodyErrors) {
  TempDir dir;
  std::string f = dir.File("e.iff");
  const std::string body1 = Chunk("BODY", RawRow({1, 0}, 1));
  struct Case {
    std::string bytes;
    int rc;
  } cases[] = {
      {"FORX" + Be32s(4) + "ILBM", 900},
      {Form(Bmhd(2, 1, 1) + Cmap(2) + body1, "PBM "), 901},
      {Form(Bmhd(2, 1, 1) + Bmhd(2, 1, 1) + Cmap(2) + body1), 902},
      {Form(Chunk("CAMG", Be32s(0)) + Bmhd(2, 1, 1) + Cmap(2) + body1), 903},
      {Form(Cmap(2) + Bmhd(2, 1, 1) + body1), 903},
      {Form(body1 + Bmhd(2, 1, 1) + Cmap(2)), 903},
      {Form(Chunk("BMHD", std::string(22, '\1')) + Cmap(2) + body1), 904},
      {Form(Bmhd(2, 1, 9) + Cmap(2) + body1), 905},
      {Form(Bmhd(2, 1, 0) + Cmap(2) + body1), 905},
      {Form(Bmhd(2, 1, 1) + Cmap(3) + body1), 906},
      {Form(Bmhd(2, 1, 1) + Chunk("CMAP", "") + body1), 906},
      {Form(Bmhd(2, 1, 1, 2) + Cmap(2) + body1), 907},
      {Form(Bmhd(2, 1, 1) + Chunk("CAMG", Be32s(0) + "xx") + Cmap(2) + body1), 908},
      {Form(Bmhd(2, 1, 1) + Chunk("SHAM", Be16s(1)) + Cmap(2) + body1), 909},
      {Form(Bmhd(10001, 1, 1) + Cmap(2) + body1), 6},
      {Form(Bmhd(0, 1, 1) + Cmap(2) + body1), 6},
      {Form(Bmhd(2, 1, 1) + body1), 7},                                        // no CMAP
      {Form(Bmhd(2, 1, 1) + Cmap(2)), 7},                                      // no BODY
      {Form(Bmhd(2, 1, 1) + Cmap(2) + "BODY" + Be32s(1000) + "\x40\x00"), 7},  // past the file
      {Form(Bmhd(2, 2, 1) + Cmap(2) + body1), 7},                              // a row short
      // ByteRun1 runs past the two-byte plane line: a repeat of 3, a literal of 4.
      {Form(Bmhd(2, 1, 1, 1) + Cmap(2) + Chunk("BODY", "\xfe\x01")), 7},
      {Form(Bmhd(2, 1, 1, 1) + Cmap(2) +
            Chunk("BODY",
                  "\x03"
                  "abcd")),
       7},
      // A no-op code 128, then a line.
      {Form(Bmhd(2, 1, 1, 1) + Cmap(2) + Chunk("BODY", "\x80\xff\x01")), 0},
      // A mask plane follows the picture's planes.
      {Form(Bmhd(2, 1, 1, 0, 1) + Cmap(2) + Chunk("BODY", RawRow({1, 0}, 1))), 7},
      {Form(Bmhd(2, 1, 1, 0, 1) + Cmap(2) + Chunk("BODY", RawRow({1, 0}, 1) + RawRow({1, 1}, 1))), 0},
      // A map of more than 256 entries keeps the first 256.
      {Form(Bmhd(2, 1, 8) + Cmap(300) + Chunk("BODY", RawRow({1, 0}, 8))), 0},
      // Unknown chunks are skipped, odd ones with their pad byte; a longer CMAP is fine for
      // 24 planes, which need none.
      {Form(Chunk("ANNO", "odd") + Bmhd(2, 1, 24) + Chunk("BODY", RawRow({1, 0}, 24))), 0},
  };
  for (const Case& c : cases) {
    WriteAll(f, c.bytes);
    EXPECT_EQ(LoadImage(f).rc, c.rc) << testing::PrintToString(c.bytes);
  }
  const char* texts[] = {"no FORM signiture",
                         "no ILBM signiture",
                         "multiple BMHD bitmap headers",
                         "no BMHD bitmap header",
                         "bad size of BMHD bitmap header",
                         "unsupported/bad bits per pixel",
                         "CMAP colour map is the wrong size",
                         "compression type not uncompressed nor RLE",
                         "CAMG chunk is the wrong size",
                         "Unsupported version of SHAM (not 0)"};
  for (int i = 0; i < 10; ++i) EXPECT_STREQ(imgfmt_error_text(900 + i), texts[i]);
}
