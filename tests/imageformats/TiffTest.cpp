// The TIFF codec against libtiff's tools.
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/imageformats/ImgFmtTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

// The files of make_tiff_fixtures.sh, made once for the whole program.
const std::string& Fixtures() {
  static TempDir dir;
  static bool made = false;
  if (!made) {
    made = true;
    RunTool("tiffcp", "bash '" ZELMORA_FIXTURES "/make_tiff_fixtures.sh' '" + dir.Path() + "' 2>&1");
  }
  return dir.Path();
}
std::string Fx(const std::string& name) { return Fixtures() + "/" + name; }

std::string ToolRgb(const std::string& file, int image = 0) {
  return RunTool("convert", "convert '" + file + "[" + std::to_string(image) + "]' -depth 8 rgb:-");
}

// The pixels as libtiff's own RGBA conversion gives them.
std::string LibtiffRgb(const std::string& file) {
  std::string rgba = file + ".rgba.tif";
  RunTool("tiff2rgba", "tiff2rgba -c none '" + file + "' '" + rgba + "'");
  return RunTool("convert", "convert '" + rgba + "' -alpha off -depth 8 rgb:-");
}

// ---- A writer of small TIFF files for the cases no tool makes ----

struct Tag {
  uint16_t tag;
  uint16_t type;  // 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG
  std::vector<uint32_t> values;
  int64_t count = -1;  // the count written, when it is not the number of values
};

struct TiffSpec {
  std::vector<Tag> tags;
  std::string data;  // placed at offset 8, before the directory
  bool bigEndian = false;
  uint16_t version = 42;
  int64_t nextIfd = 0;  // -1: the directory itself
};

std::string Build(const TiffSpec& s) {
  std::string out;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      int shift = s.bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
      out += char((v >> shift) & 0xff);
    }
  };
  out += s.bigEndian ? "MM" : "II";
  put(s.version, 2);
  uint32_t ifd = uint32_t(8 + s.data.size() + (s.data.size() % 2));
  put(ifd, 4);
  out += s.data;
  if (out.size() % 2) out += '\0';
  std::string values;  // out of line, after the directory
  uint32_t valuesAt = ifd + 2 + 12 * uint32_t(s.tags.size()) + 4;
  put(uint32_t(s.tags.size()), 2);
  for (const Tag& t : s.tags) {
    int size = t.type == 3 ? 2 : t.type == 4 ? 4 : 1;
    std::string bytes;
    for (uint32_t v : t.values)
      for (int i = 0; i < size; ++i) bytes += char((v >> (s.bigEndian ? 8 * (size - 1 - i) : 8 * i)) & 0xff);
    put(t.tag, 2);
    put(t.type, 2);
    put(uint32_t(t.count >= 0 ? t.count : int64_t(t.values.size())), 4);
    if (bytes.size() <= 4 && t.count < 0) {
      bytes.resize(4, '\0');
      out += bytes;
    } else {
      put(valuesAt + uint32_t(values.size()), 4);
      values += bytes;
    }
  }
  put(s.nextIfd < 0 ? ifd : uint32_t(s.nextIfd), 4);
  return out + values;
}

// A 2 x 2 greyscale image of 8 bits, one strip.
TiffSpec Grey2x2() {
  return {{{256, 3, {2}},
           {257, 3, {2}},
           {258, 3, {8}},
           {259, 3, {1}},
           {262, 3, {1}},
           {273, 4, {8}},
           {277, 3, {1}},
           {278, 3, {2}},
           {279, 4, {4}}},
          std::string("\x10\x20\x30\x40", 4)};
}

void SetTag(TiffSpec& s, uint16_t tag, uint16_t type, std::vector<uint32_t> values) {
  for (Tag& t : s.tags)
    if (t.tag == tag) {
      t.type = type;
      t.values = std::move(values);
      return;
    }
  auto at = s.tags.begin();
  while (at != s.tags.end() && at->tag < tag) ++at;
  s.tags.insert(at, Tag{tag, type, std::move(values)});
}
void DropTag(TiffSpec& s, uint16_t tag) {
  std::erase_if(s.tags, [&](const Tag& t) { return t.tag == tag; });
}

Loaded LoadBytes(const TempDir& dir, const std::string& bytes, const char* options = "") {
  std::string name = dir.File("t.tif");
  WriteAll(name, bytes);
  return LoadImage(name, options);
}

}  // namespace

TEST(Tiff, ReadsToolFilesPixelEqual) {
  struct Case {
    const char* file;
    int32_t bpp;
    int image = 0;
    bool libtiff = false;  // compare with tiff2rgba rather than ImageMagick
  } cases[] = {
      {"rgb_none_le.tif", 24},
      {"rgb_none_be.tif", 24},
      {"rgb_lzw.tif", 24},
      {"rgb_lzw_pred.tif", 24},
      {"rgb_packbits.tif", 24},
      {"rgb_planar.tif", 24},
      {"rgba_lzw.tif", 24},
      {"grey8_packbits.tif", 8},
      {"grey4.tif", 4},
      // ImageMagick reads its own 4-bit min-is-white files without inverting them.
      {"grey4_white.tif", 4, 0, true},
      {"tc_rgb_planar_lzw_pred.tif", 24, 0, true},
      {"tc_pal8_lzw_be.tif", 8, 0, true},
      {"tc_grey1_packbits_be.tif", 1, 0, true},
      {"grey1.tif", 1},
      {"pal8_lzw.tif", 8},
      {"pal4_packbits.tif", 4},
      {"noise_lzw.tif", 24},
      {"noise_lzw_pred.tif", 24},
      {"tc_rgb_r2_be.tif", 24},
      {"tc_rgb_lzw_pred_r3.tif", 24},
      {"tc_rgb_packbits_r1_be.tif", 24},
      {"tc_rgb_planar_lzw_pred.tif", 24},
      {"tc_rgb_planar_be.tif", 24},
      {"tc_pal8_lzw_be.tif", 8},
      {"tc_grey4_r2_be.tif", 4},
      {"tc_grey1_packbits_be.tif", 1},
      {"tc_noise_lzw_r5.tif", 24},
      {"tc_three_images.tif", 24, 0},
      {"tc_three_images.tif", 4, 1},
      {"tc_three_images.tif", 4, 2},
      {"tc_tall_310_strips.tif", 24},
      {"pnm_rgb_lzw_pred.tif", 24},
      {"pnm_grey8_packbits.tif", 8},
      {"pnm_grey8_white.tif", 8},
  };
  for (const Case& c : cases) {
    std::string options = "index=" + std::to_string(c.image);
    Loaded r = LoadImage(Fx(c.file), options.c_str());
    ASSERT_EQ(r.rc, 0) << c.file << ": " << imgfmt_error_text(r.rc);
    EXPECT_EQ(r.h.bpp, c.bpp) << c.file;
    std::string want = c.libtiff ? LibtiffRgb(Fx(c.file)) : ToolRgb(Fx(c.file), c.image);
    ASSERT_EQ(want.size(), size_t(r.h.width) * size_t(r.h.height) * 3) << c.file;
    EXPECT_TRUE(RgbOf(r) == want) << c.file << " image " << c.image;
  }
  // Both byte orders of one image read alike.
  EXPECT_EQ(RgbOf(LoadImage(Fx("rgb_none_le.tif"))), RgbOf(LoadImage(Fx("rgb_none_be.tif"))));
}

TEST(Tiff, CmykConvertsBySubtraction) {
  for (const char* file : {"cmyk_none.tif", "cmyk_lzw_pred.tif"}) {
    Loaded r = LoadImage(Fx(file));
    ASSERT_EQ(r.rc, 0) << file << ": " << imgfmt_error_text(r.rc);
    ASSERT_EQ(r.h.bpp, 24);
    std::string cmyk = RunTool("convert", "convert '" + Fx(file) + "' -depth 8 cmyk:-");
    ASSERT_EQ(cmyk.size(), size_t(r.h.width) * size_t(r.h.height) * 4);
    std::string want;
    for (size_t i = 0; i < cmyk.size(); i += 4) {
      int k = uint8_t(cmyk[i + 3]);
      for (int c = 0; c < 3; ++c) want += char(std::max(0, 255 - uint8_t(cmyk[i + size_t(c)]) - k));
    }
    EXPECT_TRUE(RgbOf(r) == want) << file;
  }
  TempDir dir;
  TiffSpec s = Grey2x2();
  SetTag(s, 262, 3, {5});
  SetTag(s, 277, 3, {4});
  SetTag(s, 258, 3, {8, 8, 8, 8});
  SetTag(s, 278, 3, {1});
  SetTag(s, 256, 3, {1});
  SetTag(s, 257, 3, {1});
  s.data = std::string("\x64\x00\x00\x32", 4);  // C=100, M=0, Y=0, K=50
  Loaded r = LoadBytes(dir, Build(s));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(RgbOf(r), std::string("\x69\xcd\xcd", 3));  // 105, 205, 205
}

TEST(Tiff, OrientationAndImageIndex) {
  Loaded top = LoadImage(Fx("rgb_none_le.tif"));
  Loaded bottomUp = LoadImage(Fx("rgb_bottom_up.tif"));
  ASSERT_EQ(top.rc, 0);
  ASSERT_EQ(bottomUp.rc, 0);
  // Rows stored bottom-up land in the buffer as they lie: the buffer is the other one flipped.
  int64_t stride = imgfmt_row_bytes(top.h.width, 24);
  for (int32_t y = 0; y < top.h.height; ++y)
    EXPECT_EQ(0, std::memcmp(top.data.data() + y * stride,
                             bottomUp.data.data() + (top.h.height - 1 - y) * stride, size_t(stride)))
        << "row " << y;
  // The index selects the image; past the last one, and on a single-image file, it is 829.
  EXPECT_EQ(LoadImage(Fx("tc_three_images.tif"), "index=2").h.bpp, 4);
  EXPECT_EQ(LoadImage(Fx("tc_three_images.tif"), "INDEX=1").h.bpp, 4);
  EXPECT_EQ(LoadImage(Fx("tc_three_images.tif"), "index=3").rc, 829);
  EXPECT_EQ(LoadImage(Fx("rgb_lzw.tif"), "index=1").rc, 829);
  EXPECT_EQ(LoadImage(Fx("rgb_lzw.tif"), "index=-1").rc, 3);
  EXPECT_EQ(LoadImage(Fx("rgb_lzw.tif"), "index=one").rc, 3);
  EXPECT_STREQ(imgfmt_error_text(829), "less bitmaps in file than index requested");
  EXPECT_STREQ(imgfmt_error_text(820), "general error");
}

TEST(Tiff, RefusesVariantsItDoesNotRead) {
  struct Case {
    const char* file;
    int rc;
  } cases[] = {{"no_zip.tif", 816}, {"no_g4.tif", 815}, {"no_g3.tif", 814}, {"no_fill_order.tif", 824}};
  for (const Case& c : cases) EXPECT_EQ(LoadImage(Fx(c.file)).rc, c.rc) << c.file;
}

TEST(Tiff, PalettesAndGreyRamps) {
  TempDir dir;
  // Photometric 0 inverts the ramp.
  TiffSpec s = Grey2x2();
  SetTag(s, 258, 3, {4});
  SetTag(s, 262, 3, {0});
  s.data = std::string("\x01\x23", 2);
  SetTag(s, 278, 3, {2});
  Loaded r = LoadBytes(dir, Build(s));
  ASSERT_EQ(r.rc, 0);
  for (int j = 0; j < 16; ++j) EXPECT_EQ(r.pal[j].r, 255 - 17 * j) << j;
  EXPECT_EQ(r.data[0], 0x23);  // bottom row first
  // A map of 16-bit values takes the high bytes; one of 8-bit values (all high bytes 0) the low.
  struct Map {
    std::vector<uint32_t> values;
    int64_t count;
    ImgFmtRgb c0, c1;
  } maps[] = {
      {{0x1234, 0xff00, 0x5600, 0x0100, 0x9a00, 0x8000}, -1, {0x12, 0x56, 0x9a}, {0xff, 0x01, 0x80}},
      {{0, 255, 0, 128, 0, 64}, -1, {0, 0, 0}, {255, 128, 64}},
      // A count of colours rather than of values is taken as three times that.
      {{0, 255, 0, 128, 0, 64}, 2, {0, 0, 0}, {255, 128, 64}},
  };
  for (const Map& m : maps) {
    TiffSpec p = Grey2x2();
    SetTag(p, 258, 3, {1});
    SetTag(p, 262, 3, {3});
    SetTag(p, 320, 3, m.values);
    for (Tag& t : p.tags)
      if (t.tag == 320) t.count = m.count;
    p.data = std::string("\x80\x40", 2);
    Loaded q = LoadBytes(dir, Build(p));
    ASSERT_EQ(q.rc, 0) << imgfmt_error_text(q.rc);
    EXPECT_EQ(q.h.bpp, 1);
    EXPECT_EQ(q.pal[0].r, m.c0.r);
    EXPECT_EQ(q.pal[0].g, m.c0.g);
    EXPECT_EQ(q.pal[0].b, m.c0.b);
    EXPECT_EQ(q.pal[1].r, m.c1.r);
    EXPECT_EQ(q.pal[1].g, m.c1.g);
    EXPECT_EQ(q.pal[1].b, m.c1.b);
  }
}

TEST(Tiff, BrokenHeadersGiveTheirCodes) {
  TempDir dir;
  using Patch = void (*)(TiffSpec&);
  struct Case {
    const char* what;
    Patch patch;
    int rc;
    const char* options = "";
  } cases[] = {
      {"version 43", [](TiffSpec& s) { s.version = 43; }, 800},
      {"201 entries",
       [](TiffSpec& s) {
         for (uint16_t t = 400; t < 592; ++t) SetTag(s, t, 3, {1});
       },
       801},
      {"width as text",
       [](TiffSpec& s) {
         SetTag(s, 256, 2, {'2', 0});
       },
       802},
      {"value out of the file",
       [](TiffSpec& s) {
         SetTag(s, 305, 2, {'a', 'b', 'c', 'd', 0});
         s.tags.back().count = 100000;
       },
       803},
      {"fewer offsets than strips", [](TiffSpec& s) { SetTag(s, 278, 3, {1}); }, 803},
      {"no StripOffsets", [](TiffSpec& s) { DropTag(s, 273); }, 804},
      {"no ImageWidth", [](TiffSpec& s) { DropTag(s, 256); }, 804},
      {"width 0", [](TiffSpec& s) { SetTag(s, 256, 3, {0}); }, 6},
      {"width 40000", [](TiffSpec& s) { SetTag(s, 256, 4, {40000}); }, 6},
      {"width 2^31", [](TiffSpec& s) { SetTag(s, 256, 4, {0x80000000u}); }, 6},
      {"grey of 2 samples", [](TiffSpec& s) { SetTag(s, 277, 3, {2}); }, 805},
      {"grey of 2 bits", [](TiffSpec& s) { SetTag(s, 258, 3, {2}); }, 806},
      {"RGB of 2 samples",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {2});
         SetTag(s, 277, 3, {2});
       },
       807},
      {"RGB of 64000 samples",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {2});
         SetTag(s, 277, 3, {64000});
       },
       2},
      {"RGB of 16 bits",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {2});
         SetTag(s, 277, 3, {3});
         SetTag(s, 258, 3, {16, 16, 16});
       },
       808},
      {"RGB of mixed bits",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {2});
         SetTag(s, 277, 3, {3});
         SetTag(s, 258, 3, {8, 8, 16});
       },
       808},
      {"palette of 3 samples",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {3});
         SetTag(s, 277, 3, {3});
       },
       809},
      {"palette of 2 bits",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {3});
         SetTag(s, 258, 3, {2});
       },
       810},
      {"palette without map", [](TiffSpec& s) { SetTag(s, 262, 3, {3}); }, 817},
      {"palette map too short",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {3});
         SetTag(s, 320, 3, std::vector<uint32_t>(300, 0));
       },
       803},
      {"CMYK of 3 samples",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {5});
         SetTag(s, 277, 3, {3});
       },
       811},
      {"CMYK of 16 bits",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {5});
         SetTag(s, 277, 3, {4});
         SetTag(s, 258, 3, {16});
       },
       812},
      {"CMYK other inks",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {5});
         SetTag(s, 277, 3, {4});
         SetTag(s, 332, 3, {2});
       },
       827},
      {"mask", [](TiffSpec& s) { SetTag(s, 262, 3, {4}); }, 821},
      {"Y-Cb-Cr", [](TiffSpec& s) { SetTag(s, 262, 3, {6}); }, 822},
      {"CIE Lab", [](TiffSpec& s) { SetTag(s, 262, 3, {8}); }, 823},
      {"compression 2", [](TiffSpec& s) { SetTag(s, 259, 3, {2}); }, 813},
      {"compression 7", [](TiffSpec& s) { SetTag(s, 259, 3, {7}); }, 816},
      {"orientation 3", [](TiffSpec& s) { SetTag(s, 274, 3, {3}); }, 828},
      {"fill order 2", [](TiffSpec& s) { SetTag(s, 266, 3, {2}); }, 824},
      {"grey in planes", [](TiffSpec& s) { SetTag(s, 284, 3, {2}); }, 825},
      {"RGB planar 3",
       [](TiffSpec& s) {
         SetTag(s, 262, 3, {2});
         SetTag(s, 277, 3, {3});
         SetTag(s, 284, 3, {3});
       },
       826},
      {"predictor without LZW", [](TiffSpec& s) { SetTag(s, 317, 3, {2}); }, 819},
      {"predictor on 4-bit LZW",
       [](TiffSpec& s) {
         SetTag(s, 259, 3, {5});
         SetTag(s, 258, 3, {4});
         SetTag(s, 317, 3, {2});
       },
       819},
      {"directory loop", [](TiffSpec& s) { s.nextIfd = -1; }, 829, "index=5"},
      {"directory past the end", [](TiffSpec& s) { s.nextIfd = 1 << 20; }, 7, "index=1"},
      {"strip past the end", [](TiffSpec& s) { SetTag(s, 273, 4, {1u << 30}); }, 7},
      {"LZW code before any string",
       [](TiffSpec& s) {
         SetTag(s, 259, 3, {5});
         s.data = std::string("\x80\x4b\x00\x00", 4);
       },
       818},
      {"LZW code beyond the table",
       [](TiffSpec& s) {
         SetTag(s, 259, 3, {5});
         s.data = std::string("\x80\x04\x20\x60", 4);
       },
       818},
  };
  for (const Case& c : cases) {
    TiffSpec s = Grey2x2();
    c.patch(s);
    Loaded r = LoadBytes(dir, Build(s), c.options);
    EXPECT_EQ(r.rc, c.rc) << c.what << ": " << imgfmt_error_text(r.rc);
    EXPECT_STRNE(imgfmt_error_text(c.rc), "general error") << c.what;
  }
}

TEST(Tiff, ToleratedVariants) {
  TempDir dir;
  using Patch = void (*)(TiffSpec&);
  struct Case {
    const char* what;
    Patch patch;
  } cases[] = {
      {"as it is", [](TiffSpec&) {}},
      {"big-endian", [](TiffSpec& s) { s.bigEndian = true; }},
      {"rows per strip 2^32 - 1", [](TiffSpec& s) { SetTag(s, 278, 4, {0xffffffffu}); }},
      {"rows per strip 0", [](TiffSpec& s) { SetTag(s, 278, 3, {0}); }},
      {"no rows per strip", [](TiffSpec& s) { DropTag(s, 278); }},
      {"offsets as SHORT", [](TiffSpec& s) { SetTag(s, 273, 3, {8}); }},
      {"private tag pointing nowhere",
       [](TiffSpec& s) {
         SetTag(s, 33000, 4, {1, 2});
         s.tags.back().count = 1000000;
       }},
      {"unknown type",
       [](TiffSpec& s) {
         SetTag(s, 700, 99, {1, 2, 3});
       }},
      {"second directory after the first", [](TiffSpec& s) { s.nextIfd = -1; }},
  };
  for (const Case& c : cases) {
    TiffSpec s = Grey2x2();
    c.patch(s);
    Loaded r = LoadBytes(dir, Build(s));
    ASSERT_EQ(r.rc, 0) << c.what << ": " << imgfmt_error_text(r.rc);
    EXPECT_EQ(r.h.width, 2) << c.what;
    EXPECT_EQ(r.data[0], 0x30) << c.what;  // the bottom row first
    EXPECT_EQ(r.data[4], 0x10) << c.what;
    EXPECT_EQ(r.pal[255].r, 255) << c.what;
  }
}

TEST(Tiff, LzwEndCodeAndOverlongRuns) {
  TempDir dir;
  // A stream ending (code 257) before the rows are full gives zeros for the rest.
  TiffSpec s = Grey2x2();
  SetTag(s, 259, 3, {5});
  // 9-bit codes: 256, 0x10, 257.
  s.data = std::string("\x80\x04\x20\x20", 4);
  Loaded r = LoadBytes(dir, Build(s));
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.data[4], 0x10);
  EXPECT_EQ(r.data[5], 0);
  EXPECT_EQ(r.data[0], 0);
  // A PackBits run longer than the strip stops at the strip's end.
  s = Grey2x2();
  SetTag(s, 259, 3, {32773});
  s.data = std::string("\x81\x7f", 2);  // 128 times 0x7f
  r = LoadBytes(dir, Build(s));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.data[0], 0x7f);
  EXPECT_EQ(r.data[5], 0x7f);
  EXPECT_EQ(r.data[2], 0);  // padding
}

// Every kind of PackBits control byte, in hand-made strips of a 2 x 2 grey image: a literal
// of 1 to 128 bytes (0 to 127), a run of 2 to 128 (-1 to -127), and -128, which is a no-op and
// takes no byte after it. Literals and runs go on across rows. libtiff reads each strip too.
TEST(Tiff, PackBitsControlBytes) {
  TempDir dir;
  struct Case {
    const char* what;
    std::string data;
    std::string top, bottom;  // the rows' bytes
  } cases[] = {
      {"one literal across both rows", std::string("\x03\x11\x22\x33\x44", 5), "\x11\x22", "\x33\x44"},
      {"one run across both rows", std::string("\xfd\x55", 2), "\x55\x55", "\x55\x55"},
      {"a run of two each row", std::string("\xff\x11\xff\x22", 4), "\x11\x11", "\x22\x22"},
      {"no-ops before, between and after literals",
       std::string("\x80\x01\x11\x22\x80\x80\x01\x33\x44\x80", 10), "\x11\x22", "\x33\x44"},
      {"no-ops before runs", std::string("\x80\xff\x66\x80\xff\x77", 6), "\x66\x66", "\x77\x77"},
      {"literals of one byte, a no-op between", std::string("\x00\x01\x00\x02\x80\x00\x03\x00\x04", 9),
       "\x01\x02", "\x03\x04"},
  };
  for (const Case& c : cases) {
    TiffSpec s = Grey2x2();
    SetTag(s, 259, 3, {32773});
    s.data = c.data;
    SetTag(s, 279, 4, {uint32_t(c.data.size())});
    const std::string file = dir.File("packbits.tif");
    WriteAll(file, Build(s));
    Loaded r = LoadImage(file);
    ASSERT_EQ(r.rc, 0) << c.what << ": " << imgfmt_error_text(r.rc);
    // Bottom row first, rows padded to 4 bytes.
    EXPECT_EQ(std::string(r.data.begin() + 4, r.data.begin() + 6), c.top) << c.what;
    EXPECT_EQ(std::string(r.data.begin(), r.data.begin() + 2), c.bottom) << c.what;
    std::string grey;
    for (char v : c.top + c.bottom) grey += std::string(3, v);
    EXPECT_EQ(LibtiffRgb(file), grey) << c.what << ": libtiff reads the strip otherwise";
  }
}

TEST(Tiff, CutFilesFailCleanly) {
  // A cut file fails, or (cut only in what follows the image) reads the same pixels.
  TempDir dir;
  struct Case {
    const char* file;
    const char* options;
  } cases[] = {{"rgb_lzw.tif", ""},
               {"pal4_packbits.tif", ""},
               {"tc_rgb_planar_lzw_pred.tif", ""},
               {"grey1.tif", ""},
               {"tc_three_images.tif", "index=1"},
               {"cmyk_lzw_pred.tif", ""},
               {"tc_tall_310_strips.tif", ""}};
  for (const Case& c : cases) {
    std::string whole = ReadAll(Fx(c.file));
    Loaded full = LoadImage(Fx(c.file), c.options);
    ASSERT_EQ(full.rc, 0) << c.file;
    std::string want = RgbOf(full);
    std::string cut = dir.File("cut.tif");
    int read = 0;
    for (size_t n = 0; n < whole.size(); ++n) {
      WriteAll(cut, whole.substr(0, n));
      Loaded r = LoadImage(cut, c.options);
      if (r.rc != 0) continue;
      ++read;
      EXPECT_TRUE(RgbOf(r) == want) << c.file << " cut at " << n;
    }
    if (std::string(c.options).empty()) { EXPECT_LE(read, 8) << c.file; }
  }
}

TEST(Tiff, DamagedFilesNeverCrash) {
  // Bytes changed at random in valid files: whatever the reader answers, it must not touch
  // memory it does not own (the sanitizer build watches).
  TempDir dir;
  std::mt19937 rng(12345);
  std::string name = dir.File("m.tif");
  for (const char* file :
       {"rgb_lzw_pred.tif", "tc_rgb_planar_be.tif", "pal8_lzw.tif", "tc_grey1_packbits_be.tif"}) {
    std::string whole = ReadAll(Fx(file));
    int ok = 0;
    for (int round = 0; round < 400; ++round) {
      std::string m = whole;
      int changes = 1 + int(rng() % 4);
      for (int k = 0; k < changes; ++k) m[rng() % m.size()] = char(rng());
      WriteAll(name, m);
      for (const char* options : {"", "index=1"}) ok += LoadImage(name, options).rc == 0;
    }
    EXPECT_GT(ok, 0) << file;
  }
}

TEST(Tiff, WrittenFilesReadBackByTools) {
  TempDir dir;
  ImgFmtRgb pal[256];
  for (int i = 0; i < 256; ++i) pal[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
  std::mt19937 rng(99);
  struct Size {
    int32_t w, h;
    bool noise;
  } sizes[] = {{1, 1, false}, {13, 5, false}, {33, 7, false}, {160, 120, true}, {300, 200, false}};
  for (int32_t bpp : {1, 4, 8, 24})
    for (const char* options : {"", "lzw"})
      for (const Size& sz : sizes) {
        int64_t stride = imgfmt_row_bytes(sz.w, bpp);
        std::vector<uint8_t> px(size_t(stride * sz.h), 0);
        for (int32_t y = 0; y < sz.h; ++y)
          for (int64_t b = 0; b < (int64_t(sz.w) * bpp + 7) / 8; ++b)
            px[size_t(y * stride + b)] = sz.noise ? uint8_t(rng()) : uint8_t(b * 3 + y * 5 + (b * y) / 7);
        std::string name = dir.File("w" + std::to_string(bpp) + options + std::to_string(sz.w) + ".tiff");
        ASSERT_EQ(SaveImage(name, sz.w, sz.h, bpp, px, pal, options), 0) << name;
        Loaded r = LoadImage(name);
        ASSERT_EQ(r.rc, 0) << name << ": " << imgfmt_error_text(r.rc);
        Loaded mine;
        mine.h = r.h;
        mine.data = px;
        std::memcpy(mine.pal, r.pal, sizeof r.pal);
        if (bpp != 24 && bpp != 1) {
          for (int i = 0; i < (1 << bpp); ++i) EXPECT_EQ(r.pal[i].b, pal[i].b) << name;
        }
        EXPECT_TRUE(r.data == px) << name;
        EXPECT_TRUE(ToolRgb(name) == RgbOf(mine)) << name;
        EXPECT_EQ(RunTool("tiffinfo", "tiffinfo -D '" + name + "' 2>&1 >/dev/null"), "") << name;
      }
}

TEST(Tiff, WrittenTags) {
  TempDir dir;
  ImgFmtRgb blackWhite[256] = {{0, 0, 0}, {255, 255, 255}};
  ImgFmtRgb whiteBlack[256] = {{250, 250, 250}, {10, 10, 10}};
  std::vector<uint8_t> px(4 * 3, 0x5a);
  struct Case {
    const ImgFmtRgb* pal;
    const char* options;
    const char* photometric;
    bool colorMap;
    const char* compression;
  } cases[] = {
      {blackWhite, "", "min-is-black", false, "None"},
      {whiteBlack, "", "min-is-white", false, "None"},
      {blackWhite, "pal1bpp,lzw", "palette color", true, "LZW"},
  };
  for (const Case& c : cases) {
    std::string name = dir.File("t.tiff");
    ASSERT_EQ(SaveImage(name, 9, 3, 1, px, c.pal, c.options), 0);
    std::string info = RunTool("tiffinfo", "tiffinfo '" + name + "' 2>&1");
    EXPECT_NE(info.find("Photometric Interpretation: " + std::string(c.photometric)), std::string::npos)
        << info;
    EXPECT_EQ(info.find("Color Map") != std::string::npos, c.colorMap) << info;
    EXPECT_NE(info.find("Compression Scheme: " + std::string(c.compression)), std::string::npos) << info;
    std::string want;
    for (int i = 0; i < 27; ++i) {
      int bit = (0x5a >> (7 - i % 9 % 8)) & 1;
      // Bilevel files show pure black and white; palette files the caller's colours.
      bool white = std::string(c.photometric) == "min-is-white";
      want += std::string(3, c.colorMap ? char(c.pal[bit].r) : char((bit ^ white) * 255));
    }
    EXPECT_EQ(ToolRgb(name), want) << c.options;
  }
  std::string name = dir.File("texts.tiff");
  std::vector<uint8_t> rgb(12 * 2, 7);
  ASSERT_EQ(SaveImage(name, 4, 2, 24, rgb, nullptr,
                      "artist=Ann software=Zelmora make=M model=X1 hostcomputer=box "
                      "documentname=doc pagename=p1 imagedescription=buttons"),
            0);
  std::string info = RunTool("tiffinfo", "tiffinfo '" + name + "' 2>&1");
  for (const char* want : {"Artist: Ann", "Software: Zelmora", "Make: M", "Model: X1", "HostComputer: box",
                           "DocumentName: doc", "PageName: p1", "ImageDescription: buttons"})
    EXPECT_NE(info.find(want), std::string::npos) << want << "\n" << info;
  // The directory is in ascending tag order and the file is in Intel order.
  std::string dump = RunTool("tiffdump", "tiffdump '" + name + "'");
  EXPECT_NE(dump.find("Magic: 0x4949"), std::string::npos);
  std::vector<int> tags;
  for (size_t at = dump.find("\n"); at != std::string::npos; at = dump.find("\n", at + 1)) {
    int tag;
    if (std::sscanf(dump.c_str() + at + 1, "%*[A-Za-z] (%d)", &tag) == 1) tags.push_back(tag);
  }
  EXPECT_GE(tags.size(), 16u);
  EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end()));
}

TEST(Tiff, WriteFailureIsReported) {
  TempDir dir;
  std::string name = dir.File("full.tiff");
  // A full device fails every write; the library itself opens only files, so the
  // descriptor is made here.
  int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ImgFmtHeader h{};
  h.width = 64;
  h.height = 64;
  h.bpp = 24;
  std::vector<uint8_t> px(size_t(imgfmt_row_bytes(64, 24) * 64), 1);
  EXPECT_EQ(imgfmt_write_image(name.c_str(), fd, 3, &h, nullptr, px.data(), "lzw"), 8);
  imgfmt_file_close(fd);
}

namespace {

// Decodes a whole LZW strip with a decoder of its own, to the end code. Gives the bytes, or
// a text saying where the stream went wrong.
std::string DecodeWholeLzw(const std::string& s, std::string* error) {
  size_t pos = 0;
  const size_t total = s.size() * 8;
  auto code = [&](int width) {
    int v = 0;
    for (int i = 0; i < width; ++i, ++pos) v = v << 1 | ((uint8_t(s[pos / 8]) >> (7 - pos % 8)) & 1);
    return v;
  };
  std::vector<std::string> table;
  int width = 9, prev = -1;
  std::string out;
  auto reset = [&] {
    table.assign(258, "");
    for (int i = 0; i < 256; ++i) table[size_t(i)] = std::string(1, char(i));
    width = 9;
    prev = -1;
  };
  reset();
  for (;;) {
    if (pos + size_t(width) > total) return *error = "no end code", out;
    int c = code(width);
    if (c == 257) {
      if (total - pos >= 8) *error = "bytes after the end code";
      return out;
    }
    if (c == 256) {
      reset();
      continue;
    }
    std::string e;
    if (c < int(table.size()) && c != 256 && c != 257) e = table[size_t(c)];
    else if (c == int(table.size()) && prev >= 0) e = table[size_t(prev)] + table[size_t(prev)][0];
    else return *error = "bad code " + std::to_string(c), out;
    out += e;
    if (prev >= 0) {
      table.push_back(table[size_t(prev)] + e[0]);
      if (int(table.size()) == (1 << width) - 1 && width < 12) ++width;
    }
    prev = c;
  }
}

uint32_t Le32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
         uint32_t(uint8_t(s[at + 3])) << 24;
}

}  // namespace

TEST(Tiff, WrittenLzwStreamsEndWithTheEndCode) {
  // Readers that stop once the rows are full never look at the end code; a strict one reads
  // it at the width the table has grown to. Lengths from 1 to 1,400 bytes end the stream at
  // every table size, including those just before a width change.
  TempDir dir;
  std::mt19937 rng(5);
  std::string name = dir.File("e.tiff");
  for (int32_t w = 1; w <= 1400; ++w) {
    std::vector<uint8_t> px(size_t(imgfmt_row_bytes(w, 8) * 3));
    for (auto& b : px) b = uint8_t(rng() % (w % 7 == 0 ? 4 : 256));
    ImgFmtRgb pal[256] = {};
    ASSERT_EQ(SaveImage(name, w, 3, 8, px, pal, "lzw"), 0);
    std::string file = ReadAll(name);
    // Our directory: entries of 12 bytes from offset 10, StripOffsets and StripByteCounts LONG.
    uint32_t offset = 0, count = 0;
    for (size_t at = 10; at + 12 <= file.size() && (offset == 0 || count == 0); at += 12) {
      uint16_t tag = uint16_t(uint8_t(file[at]) | uint8_t(file[at + 1]) << 8);
      if (tag == 273) offset = Le32(file, at + 8);
      if (tag == 279) count = Le32(file, at + 8);
    }
    ASSERT_LE(uint64_t(offset) + count, file.size());
    std::string error;
    std::string out = DecodeWholeLzw(file.substr(offset, count), &error);
    ASSERT_EQ(error, "") << "width " << w;
    std::string want;
    for (int32_t y = 2; y >= 0; --y)
      want.append(reinterpret_cast<const char*>(px.data() + y * imgfmt_row_bytes(w, 8)), size_t(w));
    ASSERT_TRUE(out == want) << "width " << w;
  }
}
