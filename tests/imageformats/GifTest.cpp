// The format table's GIF codec against the tools.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/imageformats/ImgFmtTestUtil.h"
#include "tests/imageformats/IndexedRgb.h"
#include "tests/support/TestSupport.h"

namespace {

void Le16(std::string& s, int v) { s += {char(v & 0xff), char((v >> 8) & 0xff)}; }

// LZW data that never lets the table grow past the first code width: a clear code before
// the table would widen the codes. Values go out one code each, then the end code.
std::string PlainLzw(const std::vector<int>& values, int size, bool withEnd = true) {
  const int clear = 1 << size, width = size + 1;
  std::string bytes;
  uint32_t acc = 0;
  int have = 0;
  auto put = [&](int code) {
    acc |= uint32_t(code) << have;
    have += width;
    while (have >= 8) {
      bytes += char(acc & 0xff);
      acc >>= 8;
      have -= 8;
    }
  };
  int sinceClear = 0;
  put(clear);
  for (int v : values) {
    if (sinceClear == clear - 2) {
      put(clear);
      sinceClear = 0;
    }
    put(v);
    ++sinceClear;
  }
  if (withEnd) put(clear + 1);
  if (have > 0) bytes += char(acc & 0xff);
  std::string blocks(1, char(size));
  for (size_t i = 0; i < bytes.size(); i += 255) {
    std::string piece = bytes.substr(i, 255);
    blocks += char(piece.size());
    blocks += piece;
  }
  return blocks + '\0';
}

std::string Table(int entries, int seed) {
  std::string s;
  for (int i = 0; i < entries; ++i) s += {char(i * 9 + seed), char(200 - i + seed), char(i * 3)};
  return s;
}

std::string Screen(int w, int h, int packed) {
  std::string s = "GIF89a";
  Le16(s, w);
  Le16(s, h);
  s += {char(packed), 0, 0};
  return s;
}

std::string Image(int w, int h, int packed, const std::string& table, const std::string& data) {
  std::string s = ",";
  Le16(s, 0);
  Le16(s, 0);
  Le16(s, w);
  Le16(s, h);
  s += char(packed);
  return s + table + data;
}

std::string ToolRgb(const std::string& file, int image = 1) {
  return PnmToRgb(RunTool("giftopnm", "giftopnm --image=" + std::to_string(image) + " '" + file +
                                          "' 2>/dev/null | ppmtoppm 2>/dev/null"));
}

std::string OurRgb(const Loaded& r) {
  return RgbTopDown(r.data.data(), r.h.width, r.h.height, r.h.bpp, r.pal);
}

int ByteOfPixel(const Loaded& r, int32_t x, int32_t yFromTop) {
  const uint8_t* row = r.data.data() + (r.h.height - 1 - yFromTop) * imgfmt_row_bytes(r.h.width, r.h.bpp);
  return IndexAt(row, x, r.h.bpp);
}

}  // namespace

TEST(Gif, ReadsWhatTheToolsWrite) {
  TempDir dir;
  std::string src = dir.File("src.ppm"), noise = dir.File("noise.ppm");
  RunTool("convert",
          "convert -size 23x11 gradient:'#ff2000-#0030ff' -fill '#10a030' -draw 'point 0,0' -depth 8 " + src);
  RunTool("convert", "convert -seed 7 -size 170x90 xc:gray +noise Random -depth 8 " + noise);
  struct Case {
    const char* name;
    std::string command;
    int image;    // 1-based, as giftopnm counts
    int32_t bpp;  // 0: whatever the tool chose
  } cases[] = {
      {"c2.gif", "convert SRC -colors 2 OUT", 1, 1},
      {"c4.gif", "convert SRC -colors 4 OUT", 1, 4},
      {"c16.gif", "convert SRC -colors 16 OUT", 1, 4},
      {"c200.gif", "convert NOISE -colors 200 OUT", 1, 8},
      {"noise.gif", "convert NOISE -colors 256 OUT", 1, 8},
      {"noise_ilace.gif", "convert NOISE -colors 60 -interlace GIF OUT", 1, 8},
      {"pam.gif", "convert SRC -colors 30 ppm:- | pamtogif 2>/dev/null > OUT", 1, 0},
      {"sicle_ilace.gif", "convert SRC -colors 7 gif:- | gifsicle --interlace > OUT", 1, 4},
      {"two_0.gif",
       "convert SRC -colors 5 TMP1 && convert NOISE -colors 100 TMP2 && "
       "gifsicle --no-warnings TMP1 TMP2 > OUT",
       1, 0},
      {"two_1.gif",
       "convert SRC -colors 5 TMP1 && convert NOISE -colors 100 TMP2 && "
       "gifsicle --no-warnings TMP1 TMP2 > OUT",
       2, 8},
  };
  for (const Case& c : cases) {
    std::string out = dir.File(c.name), cmd = c.command;
    auto sub = [&](const std::string& key, const std::string& value) {
      for (size_t at; (at = cmd.find(key)) != std::string::npos;) cmd.replace(at, key.size(), value);
    };
    sub("SRC", src);
    sub("NOISE", noise);
    sub("TMP1", dir.File("t1.gif"));
    sub("TMP2", dir.File("t2.gif"));
    sub("OUT", out);
    RunTool("convert", cmd);
    std::string options = "index=" + std::to_string(c.image - 1);
    Loaded r = LoadImage(out, options.c_str());
    ASSERT_EQ(r.rc, 0) << c.name << ": " << imgfmt_error_text(r.rc);
    if (c.bpp) { EXPECT_EQ(r.h.bpp, c.bpp) << c.name; }
    std::string want = ToolRgb(out, c.image);
    ASSERT_FALSE(want.empty()) << c.name;
    EXPECT_EQ(OurRgb(r), want) << c.name;
    if (c.image == 2) {
      EXPECT_EQ(r.h.width, 170);
      EXPECT_EQ(LoadImage(out, "index=2").rc, 1101);
    }
    // Cuts fail cleanly; the last bytes may go without loss once the pixels are complete.
    if (std::string(c.name) == "two_0.gif") continue;  // the second image follows the first
    std::string whole = ReadAll(out);
    std::string cut = dir.File("cut.gif");
    for (size_t n = 0; n + 5 < whole.size(); n += whole.size() / 400 + 1) {
      WriteAll(cut, whole.substr(0, n));
      Loaded k = LoadImage(cut, options.c_str());
      EXPECT_NE(k.rc, 0) << c.name << " cut at " << n;
      if (k.rc == 7 && n > 800 && c.image == 1) {
        // With "errok" the rows decoded so far are kept.
        EXPECT_EQ(LoadImage(cut, (options + ",errok").c_str()).rc, 0) << c.name << " cut at " << n;
      }
    }
  }
}

TEST(Gif, BlocksTablesAndErrors) {
  std::vector<int> ramp;
  for (int i = 0; i < 12; ++i) ramp.push_back(i % 4);
  const std::string data = PlainLzw(ramp, 2);
  const std::string comment = std::string(
                                  "!\xfe\x05hello\x03"
                                  "abc",
                                  12) +
                              '\0';
  const std::string gce = std::string("!\xf9\x04\x01\x00\x00\x02\x00", 8);
  const std::string g4 = Screen(4, 3, 0x81) + Table(4, 1);
  const std::vector<int> ramp4 = {0, 1, 2, 3};
  const ImgFmtRgb grey = {128, 128, 128}, none = {};
  struct Case {
    const char* what;
    std::string file;
    const char* options;
    int rc;
    int32_t width, bpp;
    std::vector<int> topRow;  // indices of the top row's first pixels
    ImgFmtRgb entry0, entry1, entry5;
  } cases[] = {
      {"global table, extensions passed over",
       g4 + comment + gce + Image(4, 3, 0, "", data) + ";",
       "",
       0,
       4,
       4,
       ramp4,
       {1, 201, 0},
       {10, 200, 3},
       grey},
      {"no colour table at all",
       Screen(4, 3, 0x02) + Image(4, 3, 0, "", data) + ";",
       "",
       0,
       4,
       4,
       ramp4,
       {0, 0, 0},
       {255, 255, 255},
       grey},
      {"a one-bit table masks larger values",
       Screen(4, 3, 0x80) + Table(2, 1) + Image(4, 3, 0, "", data),
       "",
       0,
       4,
       1,
       {0, 1, 0, 1},
       {1, 201, 0},
       {10, 200, 3},
       none},
      {"second image with its local table",
       g4 + Image(4, 3, 0, "", data) + Image(2, 6, 0x82, Table(8, 50), data) + ";",
       "index=1",
       0,
       2,
       4,
       {0, 1},
       {50, 250, 0},
       {59, 249, 3},
       {95, 245, 15}},
      {"a local table serves its image only",
       g4 + Image(4, 3, 0x82, Table(8, 50), data) + Image(4, 3, 0, "", data) + ";",
       "INDEX=1",
       0,
       4,
       4,
       ramp4,
       {1, 201, 0},
       {10, 200, 3},
       grey},
      {"index past the last image",
       g4 + Image(4, 3, 0, "", data) + ";",
       "index=1",
       1101,
       0,
       0,
       {},
       none,
       none,
       none},
      {"a bad block", g4 + "\x99", "", 1104, 0, 0, {}, none, none, none},
      {"bad signature", "GIF88a" + Screen(4, 3, 0).substr(6), "", 5, 0, 0, {}, none, none, none},
      {"short signature", "GIF8", "", 7, 0, 0, {}, none, none, none},
      {"short colour table", Screen(4, 3, 0x82) + Table(5, 1), "", 7, 0, 0, {}, none, none, none},
      {"short image descriptor", g4 + ",\1\2\3", "", 7, 0, 0, {}, none, none, none},
      {"no trailer nor image", g4 + comment, "", 7, 0, 0, {}, none, none, none},
      {"width 0", g4 + Image(0, 3, 0, "", data), "", 6, 0, 0, {}, none, none, none},
      {"bad index option", g4 + Image(4, 3, 0, "", data), "index=z", 3, 0, 0, {}, none, none, none},
      {"code size 1",
       g4 + Image(4, 3, 0, "", std::string("\x01\x02\x00\x00", 4)),
       "",
       1102,
       0,
       0,
       {},
       none,
       none,
       none},
      {"code size 10",
       g4 + Image(4, 3, 0, "", std::string("\x0a\x02\x00\x00", 4)),
       "",
       1102,
       0,
       0,
       {},
       none,
       none,
       none},
      {"first code not a value",
       g4 + Image(4, 3, 0, "", std::string("\x02\x01\x3c\x00", 4)),
       "",
       1103,
       0,
       0,
       {},
       none,
       none,
       none},
      {"code past the free one",
       g4 + Image(4, 3, 0, "", std::string("\x02\x02\xcc\x01\x00", 5)),
       "",
       1103,
       0,
       0,
       {},
       none,
       none,
       none},
      {"corrupt code with errok",
       g4 + Image(4, 3, 0, "", std::string("\x02\x02\xcc\x01\x00", 5)),
       "errok",
       0,
       4,
       4,
       {1, 0, 0, 0},
       {1, 201, 0},
       {10, 200, 3},
       grey},
      {"data runs out", g4 + Image(4, 3, 0, "", data.substr(0, 4)), "", 7, 0, 0, {}, none, none, none},
      {"data runs out, errok",
       g4 + Image(4, 3, 0, "", data.substr(0, 4)),
       "errok",
       0,
       4,
       4,
       {0, 1, 2, 0},
       {1, 201, 0},
       {10, 200, 3},
       grey},
  };
  TempDir dir;
  auto same = [](const ImgFmtRgb& a, const ImgFmtRgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; };
  for (const Case& c : cases) {
    std::string name = dir.File("t.gif");
    WriteAll(name, c.file);
    Loaded r = LoadImage(name, c.options);
    EXPECT_EQ(r.rc, c.rc) << c.what << ": " << imgfmt_error_text(r.rc);
    if (c.rc || r.rc) continue;
    EXPECT_EQ(r.h.width, c.width) << c.what;
    EXPECT_EQ(r.h.bpp, c.bpp) << c.what;
    for (size_t x = 0; x < c.topRow.size(); ++x)
      EXPECT_EQ(ByteOfPixel(r, int32_t(x), 0), c.topRow[x]) << c.what << " " << x;
    EXPECT_TRUE(same(r.pal[0], c.entry0)) << c.what;
    EXPECT_TRUE(same(r.pal[1], c.entry1)) << c.what;
    if (r.h.bpp > 1) { EXPECT_TRUE(same(r.pal[5], c.entry5)) << c.what; }
  }
  EXPECT_EQ(imgfmt_error_text(1102), std::string("code size not in range 2 to 9"));
  EXPECT_EQ(imgfmt_error_text(1105), std::string("general error"));
}

TEST(Gif, DecodingStopsAtTheImageEdgeAndEarlyEnd) {
  TempDir dir;
  std::string name = dir.File("s.gif");
  // Twice the values the image holds: the rest is ignored.
  std::vector<int> many(24, 3);
  WriteAll(name, Screen(4, 3, 0x81) + Table(4, 1) + Image(4, 3, 0, "", PlainLzw(many, 2, false)) + ";");
  Loaded r = LoadImage(name);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(ByteOfPixel(r, 3, 2), 3);
  // An end code after five values: the rest of the image is index 0.
  WriteAll(name, Screen(4, 3, 0x81) + Table(4, 1) + Image(4, 3, 0, "", PlainLzw({1, 1, 1, 1, 2}, 2)) + ";");
  r = LoadImage(name);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(ByteOfPixel(r, 0, 1), 2);
  EXPECT_EQ(ByteOfPixel(r, 1, 1), 0);
  EXPECT_EQ(ByteOfPixel(r, 3, 2), 0);
  // Interlaced rows of a 10-row image: file row k holds the value k.
  std::vector<int> rows;
  for (int k = 0; k < 10; ++k)
    for (int x = 0; x < 2; ++x) rows.push_back(k);
  WriteAll(name, Screen(2, 10, 0x83) + Table(16, 1) + Image(2, 10, 0x40, "", PlainLzw(rows, 4)) + ";");
  r = LoadImage(name);
  ASSERT_EQ(r.rc, 0);
  const int order[10] = {0, 5, 3, 6, 2, 7, 4, 8, 1, 9};  // picture row y came as file row order[y]
  for (int y = 0; y < 10; ++y) EXPECT_EQ(ByteOfPixel(r, 1, y), order[y]) << y;
}

TEST(Gif, WrittenFilesReadByTheTools) {
  TempDir dir;
  ImgFmtRgb pal[256];
  for (int i = 0; i < 256; ++i) pal[i] = {uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 7)};
  struct Size {
    int32_t w, h;
  } sizes[] = {{1, 1}, {13, 7}, {300, 211}};
  for (int32_t bpp : {1, 4, 8})
    for (const Size& s : sizes)
      for (const char* options : {"", "ilace"}) {
        int64_t stride = imgfmt_row_bytes(s.w, bpp);
        std::vector<uint8_t> px(size_t(stride * s.h), 0);
        uint32_t seed = 12345;
        for (int32_t y = 0; y < s.h; ++y)
          for (int32_t x = 0; x < s.w; ++x) {
            seed = seed * 1103515245 + 12345;
            // Noise in the lower half, smooth areas above: long strings and table restarts both.
            int v = y < s.h / 2 ? int(seed >> 16) : (x / 9 + y / 5);
            v &= (1 << bpp) - 1;
            uint8_t* row = px.data() + y * stride;
            if (bpp == 8) row[x] = uint8_t(v);
            else if (bpp == 4) row[x / 2] |= uint8_t(v << (x % 2 ? 0 : 4));
            else row[x / 8] |= uint8_t(v << (7 - x % 8));
          }
        std::string name = dir.File("w" + std::to_string(bpp) + "_" + std::to_string(s.w) + options + ".gif");
        ASSERT_EQ(SaveImage(name, s.w, s.h, bpp, px, pal, options), 0) << name;
        std::string want = RgbTopDown(px.data(), s.w, s.h, bpp, pal);
        EXPECT_EQ(ToolRgb(name), want) << name;
        EXPECT_EQ(RunTool("convert", "convert '" + name + "' -depth 8 rgb:-"), want) << name;
        std::string bytes = ReadAll(name);
        EXPECT_EQ(bytes.substr(0, 6), "GIF87a") << name;
        size_t descriptor = 13 + 3 * (size_t(1) << bpp);
        EXPECT_EQ(bytes[descriptor + 9] & 0x40, *options ? 0x40 : 0) << name;
        EXPECT_EQ(bytes[descriptor + 10], bpp == 1 ? 2 : bpp) << name;  // LZW code size
        EXPECT_EQ(bytes.back(), ';');
        Loaded r = LoadImage(name);
        ASSERT_EQ(r.rc, 0) << name;
        EXPECT_EQ(OurRgb(r), want) << name;
      }
}

TEST(Gif, WritingOptions) {
  TempDir dir;
  ImgFmtRgb pal[256] = {};
  std::vector<uint8_t> px = {0x57, 0x12, 0, 0, 0x30, 0, 0, 0};  // 4-bit, 3 x 2; bottom-left is 5
  std::string name = dir.File("o.gif");
  ASSERT_EQ(SaveImage(name, 3, 2, 4, px, pal, "transcol=edge"), 0);
  std::string s = ReadAll(name);
  EXPECT_EQ(s.substr(0, 6), "GIF89a");
  size_t gce = 13 + 48;
  EXPECT_EQ(s.substr(gce, 4), std::string("\x21\xf9\x04\x01", 4));
  EXPECT_EQ(s[gce + 6], 5);
  Loaded r = LoadImage(name);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(ByteOfPixel(r, 0, 1), 5);

  ASSERT_EQ(
      SaveImage(name, 3, 2, 4, px, pal, "xscreen=40 yscreen=30,background=9 xpos=7 ypos=300 transcol=2"), 0);
  s = ReadAll(name);
  EXPECT_EQ(s.substr(6, 7), std::string("\x28\x00\x1e\x00\xb3\x09\x00", 7));
  EXPECT_EQ(s[gce + 6], 2);
  EXPECT_EQ(s.substr(gce + 8, 5), std::string(",\x07\x00\x2c\x01", 5));
  for (const char* bad :
       {"transcol=abc", "transcol=256", "xscreen=-1", "ypos=70000", "background=300", "xpos=q"})
    EXPECT_EQ(SaveImage(name, 3, 2, 4, px, pal, bad), 3) << bad;
  EXPECT_EQ(SaveImage(name, 3, 2, 24, px, pal), 2);
  // A full device fails every write; the library itself opens only files, so the descriptor
  // is made here.
  int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ImgFmtHeader hd{};
  hd.width = 3;
  hd.height = 2;
  hd.bpp = 4;
  EXPECT_EQ(imgfmt_write_image("x.gif", fd, 1, &hd, pal, px.data(), ""), 8);
  imgfmt_file_close(fd);
}

// Bytes overwritten anywhere in a file give a result or a code, never a write outside the
// image (run under the sanitizer build, this catches overruns).
TEST(Gif, PatchedFilesStayInsideTheImage) {
  TempDir dir;
  std::string noise = dir.File("n.gif");
  RunTool("convert", "convert -seed 3 -size 31x9 xc:gray +noise Random -colors 40 -interlace GIF " + noise);
  std::vector<int> ramp;
  for (int i = 0; i < 40; ++i) ramp.push_back(i % 7);
  std::string two = Screen(8, 5, 0x82) + Table(8, 1) + Image(8, 5, 0, "", PlainLzw(ramp, 3)) +
                    Image(5, 8, 0xc1, Table(4, 9), PlainLzw(ramp, 2)) + ";";
  for (const std::string& file : {ReadAll(noise), two})
    for (size_t at = 0; at < file.size(); ++at)
      for (int value : {0x00, 0x01, 0x3b, 0x80, 0xff})
        for (const char* options : {"", "errok", "index=1,errok"}) {
          std::string bent = file;
          bent[at] = char(value);
          WriteAll(dir.File("p.gif"), bent);
          Loaded r = LoadImage(dir.File("p.gif"), options);
          if (r.rc == 0) {
            EXPECT_EQ(r.data.size(), size_t(imgfmt_row_bytes(r.h.width, r.h.bpp) * r.h.height));
          }
        }
}
