// The greymap, pixmap, KIPS, IAX, XBitmap, YUV12C and portrait codecs.
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/imageformats/ImgFmtTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

ImgFmtRgb gGrey[256];
ImgFmtRgb gMono[256];
struct InitPalettes {
  InitPalettes() {
    for (int i = 0; i < 256; ++i) gGrey[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
    gMono[0] = {255, 255, 255};
    gMono[1] = {0, 0, 0};
  }
} gInit;

std::string ByteString(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += char(b);
  return s;
}

// Valid bytes of each row (padding excluded), for comparing images.
std::string Pixels(const std::vector<uint8_t>& d, int32_t w, int32_t h, int32_t bpp) {
  std::string s;
  int64_t stride = imgfmt_row_bytes(w, bpp);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = d.data() + y * stride;
    if (bpp == 1) {
      for (int32_t x = 0; x < w; ++x) s += char((row[x / 8] >> (7 - x % 8)) & 1);
    } else {
      s.append(reinterpret_cast<const char*>(row), size_t(w * bpp / 8));
    }
  }
  return s;
}

// Cuts at or after `validFrom` bytes, and at multiples of `validEvery`, may be whole images.
void ExpectEveryCutFails(const std::string& name, const char* options = "",
                         size_t validFrom = std::string::npos, size_t validEvery = 0) {
  std::string whole = ReadAll(name);
  std::string cut = name + ".cut" + name.substr(name.rfind('.'));
  for (size_t n = 0; n < whole.size() && n < validFrom; ++n) {
    if (validEvery && n > 0 && n % validEvery == 0) continue;
    WriteAll(cut, whole.substr(0, n));
    EXPECT_NE(LoadImage(cut, options).rc, 0) << name << " cut at " << n;
  }
}

}  // namespace

TEST(SmallCodecs, RoundTripAtOddWidths) {
  TempDir dir;
  struct Case {
    const char* ext;
    int32_t bpp;
    const char* options;
  } cases[] = {{"pgm", 8, ""},    {"ppm", 24, ""}, {"kps", 8, ""},
               {"kps", 8, "kpl"}, {"iax", 8, ""},  {"xbm", 1, ""}};
  for (const Case& c : cases)
    for (int32_t w : {1, 3, 7, 9, 17, 33}) {
      int32_t h = 5;
      std::string name = dir.File("rt" + std::to_string(w) + "." + c.ext);
      std::vector<uint8_t> px = Pattern(w, h, c.bpp);
      ASSERT_EQ(SaveImage(name, w, h, c.bpp, px, c.bpp == 1 ? gMono : gGrey, c.options), 0) << name;
      std::string opts = c.options;
      if (std::string(c.ext) == "iax") opts = "width=" + std::to_string(w);
      Loaded r = LoadImage(name, opts.c_str());
      ASSERT_EQ(r.rc, 0) << name << " " << imgfmt_error_text(r.rc);
      EXPECT_EQ(r.h.width, w);
      EXPECT_EQ(r.h.height, h);
      EXPECT_EQ(r.h.bpp, c.bpp);
      EXPECT_EQ(Pixels(r.data, w, h, c.bpp), Pixels(px, w, h, c.bpp)) << name;
      if (c.bpp == 8) {
        EXPECT_EQ(r.pal[200].r, 200) << name;
        EXPECT_EQ(r.pal[200].g, 200) << name;
      }
      if (w == 17) {
        std::string ext = c.ext;
        std::string whole = ReadAll(name);
        ExpectEveryCutFails(name, opts.c_str(), ext == "xbm" ? whole.rfind(';') + 1 : std::string::npos,
                            ext == "iax" ? size_t(w) : 0);
      }
    }
}

TEST(SmallCodecs, GreymapAndPixmapHeaders) {
  TempDir dir;
  std::string p5 = dir.File("c.pgm");
  WriteAll(p5,
           std::string("P5 \n# a comment\n4 2\n15\n") + std::string("\x00\x01\x0f\x0e\x05\x06\x07\x20", 8));
  Loaded r = LoadImage(p5);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.h.width, 4);
  EXPECT_EQ(r.h.height, 2);
  EXPECT_EQ(r.pal[15].r, 255);
  EXPECT_EQ(r.pal[1].r, 17);
  EXPECT_EQ(r.pal[16].r, 255);  // beyond the maximum: filled
  EXPECT_EQ(r.data[3], 0x0f);   // sample 0x20 clamped to the maximum (bottom row first)
  std::string p6 = dir.File("m.ppm");
  WriteAll(p6, std::string("P6 1 2 127\n") + std::string("\x7f\x00\x40\x01\x02\xff", 6));
  r = LoadImage(p6);
  ASSERT_EQ(r.rc, 0);
  // Top file row goes to the last buffer row; B, G, R; scaled to 255.
  const uint8_t* top = r.data.data() + 4;
  EXPECT_EQ(top[2], 255);
  EXPECT_EQ(top[1], 0);
  EXPECT_EQ(top[0], 64 * 255 / 127);
  EXPECT_EQ(r.data[0], 255);  // 0xff above the maximum is clamped
  struct Bad {
    const char* name;
    std::string bytes;
    int rc;
  } bad[] = {
      {"a.pgm", "P6 1 1 255\n\x01", 5},  {"b.pgm", "P5 0 1 255\n\x01", 6},
      {"c.pgm", "P5 1 1 1\n\x01", 100},  {"d.pgm", "P5 1 1 256\n\x01", 100},
      {"e.ppm", "P6 1 1 300\nabc", 200}, {"f.pgm", "P5 99999 99999 255\n", 6},
      {"g.pgm", "P5 x 1 255\n", 5},      {"h.ppm", "P6 2 1 255\nabc", 7},
  };
  for (const Bad& b : bad) {
    WriteAll(dir.File(b.name), b.bytes);
    EXPECT_EQ(LoadImage(dir.File(b.name)).rc, b.rc) << b.name;
  }
}

TEST(SmallCodecs, GreyConversionOptions) {
  TempDir dir;
  ImgFmtRgb pal[256] = {};
  pal[0] = {200, 100, 50};
  std::vector<uint8_t> px(4, 0);
  struct Case {
    const char* options;
    int rc;
    int grey;
  } cases[] = {{"", 0, (77 * 200 + 150 * 100 + 29 * 50) / 256},
               {"k", 0, (77 * 200 + 150 * 100 + 29 * 50) / 256},
               {"r", 0, 200},
               {"g", 0, 100},
               {"b", 0, 50},
               {"r,g", 3, 0},
               {"k b", 3, 0}};
  for (const Case& c : cases) {
    std::string name = dir.File("g.pgm");
    ASSERT_EQ(SaveImage(name, 1, 1, 8, px, pal, c.options), c.rc) << c.options;
    if (c.rc) continue;
    std::string s = ReadAll(name);
    EXPECT_EQ(uint8_t(s.back()), c.grey) << c.options;
  }
}

TEST(SmallCodecs, ReadsWhatNetpbmAndImageMagickWrite) {
  TempDir dir;
  std::string src = dir.File("src.png");
  RunTool("convert",
          "convert -size 9x5 gradient:'#ff2000'-'#0030ff' -fill '#102030' -draw 'point 0,0' -depth 8 " + src);
  std::string want = RunTool("convert", "convert " + src + " -depth 8 rgb:-");
  for (const char* tool : {"convert", "pnmtopnm"}) {
    std::string ppm = dir.File(std::string(tool) + ".ppm");
    if (std::string(tool) == "convert") RunTool("convert", "convert " + src + " -depth 8 " + ppm);
    else RunTool("pngtopam", "pngtopam " + src + " > " + ppm);
    Loaded r = LoadImage(ppm);
    ASSERT_EQ(r.rc, 0) << tool;
    std::string got;
    for (int y = 4; y >= 0; --y)
      for (int x = 0; x < 9; ++x) {
        const uint8_t* p = r.data.data() + y * imgfmt_row_bytes(9, 24) + x * 3;
        got += {char(p[2]), char(p[1]), char(p[0])};
      }
    EXPECT_EQ(got, want) << tool;
  }
  std::string pgm = dir.File("g.pgm");
  RunTool("convert", "convert " + src + " -colorspace gray -depth 8 " + pgm);
  std::string greyWant = RunTool("convert", "convert " + pgm + " -depth 8 gray:-");
  Loaded g = LoadImage(pgm);
  ASSERT_EQ(g.rc, 0);
  std::string got;
  for (int y = 4; y >= 0; --y)
    got.append(reinterpret_cast<const char*>(g.data.data() + y * imgfmt_row_bytes(9, 8)), 9);
  EXPECT_EQ(got, greyWant);
  // Our greymaps and pixmaps read back through the tools.
  std::vector<uint8_t> px = Pattern(7, 3, 24);
  ASSERT_EQ(SaveImage(dir.File("o.ppm"), 7, 3, 24, px, nullptr), 0);
  std::string raw = RunTool("convert", "convert " + dir.File("o.ppm") + " rgb:-");
  ASSERT_EQ(raw.size(), 63u);
  EXPECT_EQ(uint8_t(raw[0]), px[2 * 24 + 2]);  // top-left red comes from the last buffer row
}

TEST(SmallCodecs, IaxAndKips) {
  TempDir dir;
  std::string iax = dir.File("a.iax");
  WriteAll(iax, std::string(1000, '\x07'));
  Loaded r = LoadImage(iax, "width=100");
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.h.width, 100);
  EXPECT_EQ(r.h.height, 10);
  EXPECT_EQ(LoadImage(iax).rc, 1500);
  EXPECT_EQ(LoadImage(iax, "width=0").rc, 6);
  EXPECT_EQ(LoadImage(iax, "width=-3").rc, 6);
  EXPECT_EQ(LoadImage(iax, "width=ab").rc, 3);
  EXPECT_EQ(LoadImage(iax, "width=2000").rc, 6);
  // Pixels written by rawtopgm from the same bytes agree.
  std::string bytes;
  for (int i = 0; i < 6 * 4; ++i) bytes += char(i * 10);
  WriteAll(dir.File("b.iax"), bytes);
  RunTool("rawtopgm", "rawtopgm 6 4 " + dir.File("b.iax") + " > " + dir.File("b.pgm"));
  Loaded a = LoadImage(dir.File("b.iax"), "width=6"), b = LoadImage(dir.File("b.pgm"));
  ASSERT_EQ(a.rc, 0);
  ASSERT_EQ(b.rc, 0);
  EXPECT_EQ(Pixels(a.data, 6, 4, 8), Pixels(b.data, 6, 4, 8));

  // KIPS: header from the byte table, palette from the companion file.
  std::string head = "DFIMAG00";
  head += std::string("\x02\x00\x03\x00\x01", 5) + std::string(19, '\0');
  WriteAll(dir.File("k.kps"), head + "abcdef");
  std::string pal;
  for (int i = 0; i < 256; ++i) pal += {char(i), char(255 - i), char(i / 2), 0};
  WriteAll(dir.File("k.pal"), pal);
  Loaded k = LoadImage(dir.File("k.kps"));
  ASSERT_EQ(k.rc, 0);
  EXPECT_EQ(k.h.width, 3);
  EXPECT_EQ(k.h.height, 2);
  EXPECT_EQ(k.data[0], 'd');  // bottom row first
  EXPECT_EQ(k.pal[10].r, 10);
  EXPECT_EQ(k.pal[10].b, 245);
  EXPECT_EQ(k.pal[10].g, 5);
  EXPECT_EQ(LoadImage(dir.File("k.kps"), "kpl").rc, 500);
  EXPECT_EQ(LoadImage(dir.File("k.kps"), "pal kpl").rc, 3);
  WriteAll(dir.File("k.pal"), pal.substr(0, 100));
  EXPECT_EQ(LoadImage(dir.File("k.kps")).rc, 7);  // a short palette file is reported
  std::string kpl = "DFIMAG00" + std::string("\x03\x00\x00\x01", 4) + std::string(20, '\0');
  for (int plane = 0; plane < 3; ++plane)
    for (int i = 0; i < 256; ++i) kpl += char(plane == 0 ? i : plane == 1 ? 1 : 2);
  WriteAll(dir.File("k.kpl"), kpl);
  k = LoadImage(dir.File("k.kps"), "kpl");
  ASSERT_EQ(k.rc, 0);
  EXPECT_EQ(k.pal[9].r, 9);
  EXPECT_EQ(k.pal[9].b, 1);
  EXPECT_EQ(k.pal[9].g, 2);
  WriteAll(dir.File("z.kps"), "DFIMAG00" + std::string(24, '\0'));
  EXPECT_EQ(LoadImage(dir.File("z.kps")).rc, 6);
  WriteAll(dir.File("m.kps"), "DFIMAX00" + std::string(24, '\1'));
  EXPECT_EQ(LoadImage(dir.File("m.kps")).rc, 5);
}

TEST(SmallCodecs, XBitmap) {
  TempDir dir;
  std::string x = dir.File("t.xbm");
  WriteAll(x,
           "/* c */ #define t_width 10\n#define t_height 2\n#define t_x_hot -1\n"
           "static unsigned char t_bits[] = {\n 0x01, 0x00, 0x80, 0x03 };\n");
  Loaded r = LoadImage(x);
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  std::string px = Pixels(r.data, 10, 2, 1);  // bottom row first
  EXPECT_EQ(px, std::string("\0\0\0\0\0\0\0\1\1\1"
                            "\1\0\0\0\0\0\0\0\0\0",
                            20));
  EXPECT_EQ(r.pal[0].r, 255);
  EXPECT_EQ(r.pal[1].r, 0);
  struct Bad {
    const char* text;
    int rc;
  } bad[] = {
      {"#define a_width 8\n", 6},
      {"#define a_width 8\n#define a_height 1\nstatic int a[] = {0};", 1302},
      {"#define a_width 8\n#define a_height 1\nchar [] = {0};", 1300},
      {"#define a_width 8\n#define a_height 1\nchar a ] = {0};", 1303},
      {"#define a_width 8\n#define a_height 1\nchar a [ = {0};", 1304},
      {"#define a_width 8\n#define a_height 1\nchar a [] {0};", 1305},
      {"#define a_width 8\n#define a_height 1\nchar a [] = 0};", 1306},
      {"#define a_width 8\n#define a_height 1\nchar a [] = {0, 1};", 1307},
      {"#define a_width 16\n#define a_height 1\nchar a [] = {0 1};", 1308},
      {"#define a_width 8\n#define a_height 1\nchar a [] = {x};", 1309},
      {"#define a_width 8\n#define a_height 1\nchar a [] = {0}", 1301},
      {"#define a_width 8\n#define a_height 1\nchar a [] = {0} x", 1310},
      {"#define a_width w\n", 1309},
      {"#define a_width 8\n#define a_height 1\nchar a [] = {", 1301},
  };
  for (const Bad& b : bad) {
    WriteAll(x, b.text);
    EXPECT_EQ(LoadImage(x).rc, b.rc) << b.text;
  }
  WriteAll(x, "#define " + std::string(300, 'a') + "_width 8\n");
  EXPECT_NE(LoadImage(x).rc, 0);
  // A written XBitmap compiles, uses the base name as its symbol and reads back in the tools.
  std::vector<uint8_t> pat = Pattern(9, 3, 1);
  std::string w = dir.File("a-1.xbm");
  ASSERT_EQ(SaveImage(w, 9, 3, 1, pat, gMono), 0);
  std::string text = ReadAll(w);
  EXPECT_EQ(text.rfind("#define a_1_width 9\r\n", 0), 0u) << text;
  RunTool("gcc", "gcc -x c -c -o " + dir.File("a.o") + " " + w);
  std::string pbm = RunTool("convert", "convert " + w + " -depth 8 gray:-");
  ASSERT_EQ(pbm.size(), 27u);
  std::string ours = Pixels(pat, 9, 3, 1);
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 9; ++i)
      EXPECT_EQ(uint8_t(pbm[size_t(y * 9 + i)]) == 0, ours[size_t((2 - y) * 9 + i)] == 1);
  // Items of five columns; the line breaks after the item that takes it past 70 columns.
  std::vector<uint8_t> column(size_t(imgfmt_row_bytes(8, 1) * 33), 0);
  for (int32_t y = 0; y < 33; ++y) column[size_t(y * 4)] = uint8_t(0x80 >> (y % 8));
  ASSERT_EQ(SaveImage(dir.File("col.xbm"), 8, 33, 1, column, gMono), 0);
  std::string items;
  for (int32_t y = 32; y >= 0; --y) {
    char item[8];
    std::snprintf(item, sizeof item, "0x%02x,", 1 << (y % 8));
    items += item;
    if ((32 - y) % 15 == 14) items += "\r\n";
  }
  EXPECT_EQ(ReadAll(dir.File("col.xbm")),
            "#define col_width 8\r\n#define col_height 33\r\nstatic char col_bits[] = {\r\n" + items +
                "\r\n};\r\n");
  RunTool("pbmtoxbm",
          "pbmtopgm </dev/null >/dev/null 2>&1; convert " + w + " pbm:- | pbmtoxbm > " + dir.File("p.xbm"));
  Loaded p = LoadImage(dir.File("p.xbm"));
  ASSERT_EQ(p.rc, 0);
  EXPECT_EQ(Pixels(p.data, 9, 3, 1), ours);
}

TEST(SmallCodecs, Yuv12cAndPortrait) {
  TempDir dir;
  std::vector<uint8_t> px = Pattern(12, 3, 24);
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(100 + (i % 3) * 10);  // grey-ish
  ASSERT_EQ(SaveImage(dir.File("a.vid"), 13, 3, 24, Pattern(13, 3, 24), nullptr, "xpos=5,ypos=7"), 0);
  std::string head = ReadAll(dir.File("a.vid")).substr(0, 16);
  EXPECT_EQ(head, std::string("YUV12C\0\0\5\0\7\0\x0c\0\3\0", 16));
  EXPECT_EQ(ReadAll(dir.File("a.vid")).size(), 16u + 3 * 3 * 6);
  ExpectEveryCutFails(dir.File("a.vid"));
  // A flat colour survives the chroma subsampling within a few levels.
  std::vector<uint8_t> flat(size_t(imgfmt_row_bytes(8, 24) * 2));
  for (size_t i = 0; i < flat.size(); i += 3) flat[i] = 40, flat[i + 1] = 120, flat[i + 2] = 200;
  ASSERT_EQ(SaveImage(dir.File("f.vid"), 8, 2, 24, flat, nullptr), 0);
  Loaded r = LoadImage(dir.File("f.vid"));
  ASSERT_EQ(r.rc, 0);
  for (size_t i = 0; i < r.data.size(); i += 3) {
    EXPECT_NEAR(r.data[i], 40, 12);
    EXPECT_NEAR(r.data[i + 1], 120, 12);
    EXPECT_NEAR(r.data[i + 2], 200, 12);
  }
  EXPECT_EQ(SaveImage(dir.File("n.vid"), 3, 2, 24, flat, nullptr), 1000);
  EXPECT_EQ(SaveImage(dir.File("n.vid"), 8, 2, 24, flat, nullptr, "xpos=q"), 3);
  WriteAll(dir.File("w6.vid"), std::string("YUV12C\0\0\0\0\0\0\6\0\1\0", 16) + std::string(12, '\0'));
  EXPECT_EQ(LoadImage(dir.File("w6.vid")).rc, 1000);
  WriteAll(dir.File("w0.vid"), std::string("YUV12C\0\0\0\0\0\0\0\0\1\0", 16));
  EXPECT_EQ(LoadImage(dir.File("w0.vid")).rc, 6);

  // Portrait: planar RGB with each row right to left, as ImageMagick's planar RGB of a flop.
  std::string src = dir.File("p.png");
  RunTool("convert", "convert -size 512x512 gradient:red-blue -fill lime -draw 'rectangle 0,0 20,5' " + src);
  RunTool("convert", "convert " + src + " -flop -depth 8 -interlace plane rgb:" + dir.File("p.cvp"));
  Loaded p = LoadImage(dir.File("p.cvp"));
  ASSERT_EQ(p.rc, 0);
  std::string want = RunTool("convert", "convert " + src + " -depth 8 bgr:-");
  std::string got;
  for (int y = 511; y >= 0; --y)
    got.append(reinterpret_cast<const char*>(p.data.data() + y * imgfmt_row_bytes(512, 24)), 1536);
  EXPECT_TRUE(got == want);
  ASSERT_EQ(SaveImage(dir.File("q.cvp"), 512, 512, 24, p.data, nullptr), 0);
  EXPECT_TRUE(ReadAll(dir.File("q.cvp")) == ReadAll(dir.File("p.cvp")));
  EXPECT_EQ(SaveImage(dir.File("r.cvp"), 511, 512, 24, p.data, nullptr), 1801);
  WriteAll(dir.File("big.cvp"), ReadAll(dir.File("p.cvp")) + "x");
  EXPECT_EQ(LoadImage(dir.File("big.cvp")).rc, 1800);
}

TEST(SmallCodecs, PatchedHeadersFailCleanly) {
  TempDir dir;
  auto le16 = [](int v) { return std::string{char(v & 0xff), char((v >> 8) & 0xff)}; };
  std::string kipsTail = std::string("\x01", 1) + std::string(19, '\0') + "abcdef";
  std::string yuv = "YUV12C" + std::string(2, '\0') + le16(0) + le16(0);
  struct Case {
    const char* name;
    std::string bytes;
    const char* options;
  } cases[] = {
      {"a.kps", "DFIMAG00" + le16(0xffff) + le16(0xffff) + kipsTail, ""},
      {"b.kps", "DFIMAG00" + le16(2) + le16(0xffff) + kipsTail, ""},
      {"c.kps", "DFIMAG00" + le16(0) + le16(3) + kipsTail, ""},
      {"a.vid", yuv + le16(0xfffc) + le16(0xffff), ""},
      {"b.vid", yuv + le16(8) + le16(0x7fff) + std::string(48, '\0'), ""},
      {"c.vid", yuv + le16(4) + le16(0), ""},
      {"a.pgm", "P5 40000 1 255\n", ""},
      {"b.pgm", "P5 2 2 255\nabc", ""},
      {"c.ppm", "P6 1 1 0\nabc", ""},
      {"d.ppm", "P6 -1 1 255\nabc", ""},
      {"e.ppm", "P6 99999999999999 1 255\nabc", ""},
      {"a.iax", std::string(10, 'x'), "width=99999"},
      {"b.iax", "", ""},
      {"a.xbm", "#define a_width 40000\n#define a_height 1\nchar a[]={0};", ""},
      {"b.xbm", "#define a_width 8\n#define a_height 2\nshort a[]={0x12345678901, 0};", ""},
      {"c.xbm", "#define a_width 0x\n", ""},
      {"a.cvp", std::string(786431, '\0'), ""},
  };
  for (const Case& c : cases) {
    std::string name = dir.File(c.name);
    WriteAll(name, c.bytes);
    Loaded r = LoadImage(name, c.options);
    EXPECT_NE(r.rc, 0) << c.name;
  }
}

TEST(SmallCodecs, HandMadeBitLayouts) {
  TempDir dir;
  // One YUV12C group: all four luminances 100, U = 64, V = 0.
  std::string yuv =
      std::string("YUV12C\0\0\0\0\0\0\4\0\1\0", 16) + std::string("\x40\x46\x06\x64\x64\x40", 6);
  WriteAll(dir.File("g.vid"), yuv);
  Loaded r = LoadImage(dir.File("g.vid"));
  ASSERT_EQ(r.rc, 0);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(r.data[size_t(i * 3)], 100 + 64 * 908 / 635) << i;             // blue
    EXPECT_EQ(r.data[size_t(i * 3 + 1)], 100 - 64 * 19 * 908 / 63500) << i;  // green
    EXPECT_EQ(r.data[size_t(i * 3 + 2)], 100) << i;                          // red
  }
  // Groups whose chroma lands where every digit of the decoding constants counts: U of 114
  // and 116 (either sign) and V of 100, each group's four luminances equal.
  struct Group {
    int y, u, v;
    uint8_t b, g, r;  // the decoded pixel
  } groups[] = {
      {60, 116, 0, 225, 29, 60},    {60, 114, 0, 223, 30, 60},   {200, -116, 0, 35, 231, 200},
      {200, -114, 0, 37, 230, 200}, {100, 0, 100, 100, 43, 212}, {140, 58, -58, 222, 158, 75},
  };
  auto pack = [](const Group& g) {
    int y = g.y, u = g.u & 0xff, v = g.v & 0xff;
    return ByteString({((y >> 1) & 7) << 5 | ((u >> 4) & 3) << 2 | ((v >> 4) & 3),
                       (u & 0xc0) | ((v >> 6) & 3) << 4 | ((y >> 4) & 0x0f),
                       ((u >> 2) & 3) << 6 | ((v >> 2) & 3) << 4 | ((y >> 4) & 0x0f), y, y,
                       ((y >> 1) & 7) << 5 | ((u >> 1) & 1) << 3 | ((v >> 1) & 1) << 1});
  };
  yuv = std::string("YUV12C\0\0\0\0\0\0", 12) + ByteString({int(std::size(groups)) * 4, 0, 1, 0});
  for (const Group& g : groups) yuv += pack(g);
  WriteAll(dir.File("c.vid"), yuv);
  r = LoadImage(dir.File("c.vid"));
  ASSERT_EQ(r.rc, 0);
  for (size_t k = 0; k < std::size(groups); ++k)
    for (size_t i = 0; i < 4; ++i) {
      const uint8_t* px = r.data.data() + (k * 4 + i) * 3;
      EXPECT_EQ(px[0], groups[k].b) << "U " << groups[k].u << " V " << groups[k].v;
      EXPECT_EQ(px[1], groups[k].g) << "U " << groups[k].u << " V " << groups[k].v;
      EXPECT_EQ(px[2], groups[k].r) << "U " << groups[k].u << " V " << groups[k].v;
    }

  // 16-bit XBitmap words: low byte first, each byte's bits reversed.
  WriteAll(dir.File("s.xbm"),
           "#define s_width 10\n#define s_height 1\nstatic short s_bits[] = { 0x0201 };\n");
  r = LoadImage(dir.File("s.xbm"));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.data[0], 0x80);
  EXPECT_EQ(r.data[1], 0x40);  // pixel 9
  WriteAll(dir.File("t.xbm"),
           "#define t_width 10\n#define t_height 1\nstatic short t_bits[] = { 0xff00 };\n");
  r = LoadImage(dir.File("t.xbm"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.data[1], 0xc0);  // pixels 8 and 9; the rest lies past the width, masked
}
