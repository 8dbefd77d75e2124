// The format table's BMP codec against the tools, run-length files and header errors.
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/imageformats/ImgFmtTestUtil.h"
#include "tests/imageformats/IndexedRgb.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

void Le16(std::string& s, uint32_t v) { s += {char(v & 0xff), char((v >> 8) & 0xff)}; }
void Le32(std::string& s, uint32_t v) {
  Le16(s, v & 0xffff);
  Le16(s, v >> 16);
}

// A bitmap file built field by field, so that tests can bend any of them.
struct BmpSpec {
  int32_t width = 4;
  int32_t height = 2;
  uint32_t bits = 8;
  uint32_t compression = 0;
  uint32_t infoLength = 40;
  uint32_t planes = 1;
  uint32_t coloursUsed = 0;
  std::vector<ImgFmtRgb> palette;
  std::string pixels;
  int64_t base = 0;  // where the file header will stand (inside a bitmap array)
};

std::string Bmp(const BmpSpec& b) {
  bool os2 = b.infoLength == 12;
  uint32_t entrySize = os2 ? 3 : 4;
  uint32_t offset = uint32_t(b.base) + 14 + b.infoLength + entrySize * uint32_t(b.palette.size());
  std::string s = "BM";
  Le32(s, offset + uint32_t(b.pixels.size()) - uint32_t(b.base));
  Le32(s, 0);
  Le32(s, offset);
  Le32(s, b.infoLength);
  if (os2) {
    Le16(s, uint32_t(b.width));
    Le16(s, uint32_t(b.height));
    Le16(s, b.planes);
    Le16(s, b.bits);
  } else {
    std::string info;
    Le32(info, uint32_t(b.width));
    Le32(info, uint32_t(b.height));
    Le16(info, b.planes);
    Le16(info, b.bits);
    Le32(info, b.compression);
    Le32(info, uint32_t(b.pixels.size()));
    Le32(info, 0);
    Le32(info, 0);
    Le32(info, b.coloursUsed);
    Le32(info, 0);
    info.resize(b.infoLength - 4, '\0');
    s += info;
  }
  for (const ImgFmtRgb& c : b.palette) {
    s += {char(c.b), char(c.g), char(c.r)};
    if (!os2) s += '\0';
  }
  return s + b.pixels;
}

std::vector<ImgFmtRgb> Colours(int n) {
  std::vector<ImgFmtRgb> p;
  for (int i = 0; i < n; ++i) p.push_back({uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i * 5 + 1)});
  return p;
}

std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s += char(b);
  return s;
}

// A plain RLE encoder of bottom-up rows of indices: encoded runs for repeats, absolute runs
// (with their pad byte) for the rest, an end-of-row after each row and end-of-bitmap last.
std::string EncodeRle(const std::vector<std::vector<int>>& rows, bool four) {
  std::string s;
  for (size_t y = 0; y < rows.size(); ++y) {
    const std::vector<int>& p = rows[y];
    size_t w = p.size(), x = 0;
    auto runAt = [&](size_t at) {
      size_t n = 1;
      while (at + n < w && n < 255 && p[at + n] == p[at]) ++n;
      return n;
    };
    while (x < w) {
      size_t run = runAt(x);
      if (run >= 3 || w - x < 3) {
        if (run < 3) run = 1;
        s += {char(run), char(four ? p[x] << 4 | p[x] : p[x])};
        x += run;
        continue;
      }
      size_t n = 0;
      while (x + n < w && n < 255 && (n < 3 || runAt(x + n) < 3)) ++n;
      s += {char(0), char(n)};
      size_t bytes = four ? (n + 1) / 2 : n;
      for (size_t i = 0; i < bytes; ++i) {
        if (!four) {
          s += char(p[x + i]);
        } else {
          int hi = p[x + 2 * i], lo = 2 * i + 1 < n ? p[x + 2 * i + 1] : 0;
          s += char(hi << 4 | lo);
        }
      }
      if (bytes % 2) s += '\0';
      x += n;
    }
    s += y + 1 < rows.size() ? Bytes({0, 0}) : Bytes({0, 1});
  }
  return s;
}

std::string ToolRgb(const std::string& file) {
  return RunTool("convert", "convert '" + file + "' -depth 8 rgb:-");
}

std::string OurRgb(const Loaded& r) {
  return RgbTopDown(r.data.data(), r.h.width, r.h.height, r.h.bpp, r.pal);
}

}  // namespace

TEST(Bitmap, ReadsWhatTheToolsWrite) {
  TempDir dir;
  std::string src = dir.File("src.ppm");
  RunTool("convert",
          "convert -size 13x7 gradient:'#ff2000-#0030ff' -fill '#10a030' -draw 'point 0,0' "
          "-fill '#ffffff' -draw 'point 12,6' -depth 8 " +
              src);
  struct Case {
    const char* name;
    std::string command;  // makes the file from src
  } cases[] = {
      {"im3_24.bmp", "convert SRC BMP3:OUT"},
      {"im2_24.bmp", "convert SRC BMP2:OUT"},
      {"im3_8.bmp", "convert SRC -colors 200 -type Palette -compress None BMP3:OUT"},
      {"im3_rle8.rle", "convert SRC -colors 200 -type Palette -compress RLE BMP3:OUT"},
      {"im3_rle8_few.rl8", "convert SRC -colors 9 -type Palette -compress RLE BMP3:OUT"},
      {"pbm_1.vga", "convert SRC -colors 2 ppm:- | ppmtobmp -bpp 1 > OUT"},
      {"pbm_4.bga", "convert SRC -colors 16 ppm:- | ppmtobmp -bpp 4 > OUT"},
      {"pbm_8.dib", "convert SRC -colors 256 ppm:- | ppmtobmp -bpp 8 > OUT"},
      {"pbm_24.bmp", "ppmtobmp -bpp 24 SRC > OUT"},
      {"pbm_os2_1.bmp", "convert SRC -colors 2 ppm:- | ppmtobmp -os2 -bpp 1 > OUT"},
      {"pbm_os2_4.bmp", "convert SRC -colors 16 ppm:- | ppmtobmp -os2 -bpp 4 > OUT"},
      {"pbm_os2_8.rl4", "convert SRC -colors 100 ppm:- | ppmtobmp -os2 -bpp 8 > OUT"},
  };
  for (const Case& c : cases) {
    std::string out = dir.File(c.name), cmd = c.command;
    cmd.replace(cmd.find("SRC"), 3, src);
    cmd.replace(cmd.find("OUT"), 3, out);
    RunTool("convert", cmd + " 2>/dev/null");
    // Monochrome files too come out as the tools show them, palette as stored.
    Loaded r = LoadImage(out);
    ASSERT_EQ(r.rc, 0) << c.name << ": " << imgfmt_error_text(r.rc);
    EXPECT_EQ(r.h.width, 13) << c.name;
    EXPECT_EQ(r.h.height, 7) << c.name;
    EXPECT_EQ(OurRgb(r), ToolRgb(out)) << c.name;
    // Every cut is an error; a run-length file may lose its final end-of-bitmap escape.
    std::string whole = ReadAll(out);
    size_t validFrom = std::string(c.name).find("rle") != std::string::npos ? whole.size() - 2 : whole.size();
    std::string cut = dir.File("cut.bmp");
    for (size_t n = 0; n < validFrom; ++n) {
      WriteAll(cut, whole.substr(0, n));
      EXPECT_NE(LoadImage(cut).rc, 0) << c.name << " cut at " << n;
    }
  }
}

TEST(Bitmap, RunLengthFilesOfOurOwnEncoderMatchTheTool) {
  TempDir dir;
  for (bool four : {false, true})
    for (int32_t w : {1, 2, 5, 13, 40}) {
      int32_t h = 6;
      std::vector<std::vector<int>> rows(size_t(h), std::vector<int>(size_t(w), 0));
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
          rows[size_t(y)][size_t(x)] = (x > w / 2 ? y : (x * 7 + y * 3) / (y % 3 + 1)) % (four ? 16 : 200);
      BmpSpec b;
      b.width = w;
      b.height = h;
      b.bits = four ? 4 : 8;
      b.compression = four ? 2 : 1;
      b.palette = Colours(four ? 16 : 200);
      b.coloursUsed = four ? 16 : 200;
      b.pixels = EncodeRle(rows, four);
      std::string name = dir.File("e" + std::to_string(w) + (four ? ".rl4" : ".rl8"));
      WriteAll(name, Bmp(b));
      Loaded r = LoadImage(name);
      ASSERT_EQ(r.rc, 0) << name << ": " << imgfmt_error_text(r.rc);
      EXPECT_EQ(OurRgb(r), ToolRgb(name)) << name;
    }
}

TEST(Bitmap, RunLengthEscapesAndOverruns) {
  struct Case {
    const char* what;
    bool four;
    int32_t width;
    std::string stream;
    int rc;
    std::string buffer;  // bottom row first, rows padded to 4 bytes
  } cases[] = {
      {"runs and end of row", false, 4, Bytes({3, 5, 1, 7, 0, 0, 4, 9, 0, 1}), 0,
       Bytes({5, 5, 5, 7, 9, 9, 9, 9})},
      {"delta leaves zeros", false, 4, Bytes({1, 5, 0, 2, 2, 1, 1, 6, 0, 1}), 0,
       Bytes({5, 0, 0, 0, 0, 0, 0, 6})},
      {"odd absolute run and its pad", false, 4, Bytes({0, 3, 1, 2, 3, 0, 0, 0, 0, 1}), 0,
       Bytes({1, 2, 3, 0, 0, 0, 0, 0})},
      {"end of bitmap at once", false, 4, Bytes({0, 1}), 0, std::string(8, '\0')},
      {"run into the row padding", false, 3, Bytes({4, 8, 0, 1}), 0, Bytes({8, 8, 8, 8, 0, 0, 0, 0})},
      {"rows end by count", false, 1, Bytes({1, 2, 0, 0, 1, 3, 0, 0}), 0, Bytes({2, 0, 0, 0, 3, 0, 0, 0})},
      {"run past the row", false, 4, Bytes({5, 1}), 305, ""},
      {"absolute run past the row", false, 4, Bytes({1, 0, 0, 4, 1, 2, 3, 4}), 305, ""},
      {"delta past the right edge", false, 4, Bytes({0, 2, 5, 0}), 305, ""},
      {"delta past the top", false, 4, Bytes({0, 2, 0, 3}), 305, ""},
      {"delta beside the top row", false, 4, Bytes({0, 2, 1, 2}), 305, ""},
      {"data ends in a pair", false, 4, Bytes({3}), 7, ""},
      {"data ends in an absolute run", false, 4, Bytes({0, 4, 1, 2}), 7, ""},
      {"data ends before the pad", false, 4, Bytes({0, 3, 1, 2, 3}), 7, ""},
      {"data ends in a delta", false, 4, Bytes({0, 2, 1}), 7, ""},
      {"no end of bitmap", false, 4, Bytes({4, 1}), 7, ""},
      {"rle4 run from column 1", true, 4, Bytes({1, 0xf0, 3, 0x12, 0, 1}), 0,
       Bytes({0xf1, 0x21, 0, 0, 0, 0, 0, 0})},
      {"rle4 absolute runs, pad after odd bytes", true, 4,
       Bytes({0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 0, 3, 0xab, 0xc0, 0, 1}), 0,
       Bytes({0x12, 0x34, 0x50, 0, 0xab, 0xc0, 0, 0})},
      {"rle4 delta", true, 4, Bytes({0, 2, 3, 1, 2, 0x77, 0, 1}), 0, Bytes({0, 0, 0, 0, 0, 0x07, 0x70, 0})},
      {"rle4 run past the row", true, 4, Bytes({9, 0x11}), 305, ""},
      {"rle4 absolute run past the row", true, 4, Bytes({2, 0x11, 0, 7, 1, 2, 3, 4}), 305, ""},
  };
  TempDir dir;
  for (const Case& c : cases) {
    BmpSpec b;
    b.width = c.width;
    b.bits = c.four ? 4 : 8;
    b.compression = c.four ? 2 : 1;
    b.palette = Colours(16);
    b.coloursUsed = 16;
    b.pixels = c.stream;
    std::string name = dir.File("c.bmp");
    WriteAll(name, Bmp(b));
    Loaded r = LoadImage(name);
    EXPECT_EQ(r.rc, c.rc) << c.what;
    if (c.rc == 0) { EXPECT_EQ(std::string(r.data.begin(), r.data.end()), c.buffer) << c.what; }
  }
}

TEST(Bitmap, HeaderFieldsAndTheirErrors) {
  struct Case {
    const char* what;
    uint32_t infoLength;
    int32_t width, height;
    uint32_t planes, bits, compression;
    int rc;
  } cases[] = {
      {"OS/2 1.1", 12, 4, 2, 1, 8, 0, 0},
      {"length 16, no compression field", 16, 4, 2, 1, 8, 0, 0},
      {"length 20, compression only", 20, 4, 2, 1, 8, 0, 0},
      {"length 42", 42, 4, 2, 1, 8, 0, 0},
      {"length 46", 46, 4, 2, 1, 8, 0, 0},
      {"OS/2 2.0, length 64", 64, 4, 2, 1, 8, 0, 0},
      {"length 18", 18, 4, 2, 1, 8, 0, 302},
      {"length 68", 68, 4, 2, 1, 8, 0, 302},
      {"length 124", 124, 4, 2, 1, 8, 0, 302},
      {"two planes", 40, 4, 2, 2, 8, 0, 300},
      {"16 bits", 40, 4, 2, 1, 16, 0, 301},
      {"bit fields", 40, 4, 2, 1, 8, 3, 303},
      {"width 0", 40, 0, 2, 1, 8, 0, 6},
      {"height 0", 40, 4, 0, 1, 8, 0, 6},
      {"rows top down", 40, 4, -2, 1, 8, 0, 6},
      {"negative width", 40, -4, 2, 1, 8, 0, 6},
      {"huge", 40, 30000, 30000, 1, 24, 0, 6},
  };
  TempDir dir;
  for (const Case& c : cases) {
    BmpSpec b;
    b.infoLength = c.infoLength;
    b.width = c.width;
    b.height = c.height;
    b.planes = c.planes;
    b.bits = c.bits;
    b.compression = c.compression;
    b.palette = Colours(c.bits <= 8 ? 1 << c.bits : 0);
    b.pixels = std::string(8, '\x03');
    std::string name = dir.File("h.bmp");
    WriteAll(name, Bmp(b));
    Loaded r = LoadImage(name);
    EXPECT_EQ(r.rc, c.rc) << c.what << ": " << imgfmt_error_text(r.rc);
    if (c.rc == 0) {
      EXPECT_EQ(r.data[5], 3) << c.what;
      EXPECT_EQ(r.pal[3].r, 3 * 37) << c.what;
    }
  }
  for (const auto& [bytes, rc] :
       std::vector<std::pair<std::string, int>>{{"", 7}, {"B", 7}, {"PK\3\4", 5}, {"BM\1\2", 7}, {"BA", 7}}) {
    WriteAll(dir.File("s.bmp"), bytes);
    EXPECT_EQ(LoadImage(dir.File("s.bmp")).rc, rc) << bytes.size();
  }
}

TEST(Bitmap, PaletteEntriesAndMonochromeOrder) {
  TempDir dir;
  // Three colours declared in an 8-bit file whose bits follow the table directly.
  BmpSpec b;
  b.width = 2;
  b.height = 1;
  b.coloursUsed = 3;
  b.palette = Colours(3);
  b.pixels = Bytes({2, 1, 0, 0});
  WriteAll(dir.File("p.bmp"), Bmp(b));
  Loaded r = LoadImage(dir.File("p.bmp"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.pal[2].r, 74);
  EXPECT_EQ(r.pal[3].r, 0);  // beyond the declared colours: black
  EXPECT_EQ(r.pal[3].g, 0);

  // A monochrome palette comes out as stored in either order, with or without "inv":
  // exchanged, the picture would read as its negative.
  BmpSpec m;
  m.width = 3;
  m.height = 1;
  m.bits = 1;
  m.pixels = Bytes({0xa0, 0, 0, 0});
  for (uint8_t first : {0, 255})
    for (int infoLength : {40, 12})
      for (const char* options : {"", "inv"}) {
        m.palette = {{first, first, first}, {uint8_t(255 - first), 10, 20}};
        m.infoLength = uint32_t(infoLength);
        WriteAll(dir.File("m.bmp"), Bmp(m));
        r = LoadImage(dir.File("m.bmp"), options);
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.pal[0].r, first) << infoLength << options;
        EXPECT_EQ(r.pal[1].r, 255 - first) << infoLength << options;
        EXPECT_EQ(r.pal[1].b, 20) << infoLength << options;
        EXPECT_EQ(r.data[0], 0xa0) << infoLength << options;
        r = LoadImage(dir.File("m.bmp"), "invb");
        EXPECT_EQ(r.data[0], 0x5f) << infoLength;  // every byte inverted
      }
}

TEST(Bitmap, BitmapArrays) {
  // Two bitmaps behind "BA" entries; the offsets of the bits count from the file's start.
  BmpSpec first;
  first.width = 1;
  first.height = 1;
  first.palette = Colours(4);
  first.coloursUsed = 4;
  first.pixels = Bytes({1, 0, 0, 0});
  first.base = 14;
  std::string bmp0 = Bmp(first);
  uint32_t second = uint32_t(14 + bmp0.size());
  BmpSpec other;
  other.width = 3;
  other.height = 2;
  other.bits = 24;
  other.pixels = std::string(24, '\x40');
  other.base = second + 14;
  std::string entry0 = "BA";
  Le32(entry0, 40);
  Le32(entry0, second);
  Le32(entry0, 0);
  std::string entry1 = "BA";
  Le32(entry1, 40);
  Le32(entry1, 0);
  Le32(entry1, 0);
  std::string file = entry0 + bmp0 + entry1 + Bmp(other);
  TempDir dir;
  std::string name = dir.File("a.bmp");
  WriteAll(name, file);
  Loaded r = LoadImage(name);
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.width, 1);
  EXPECT_EQ(r.pal[1].r, 37);
  r = LoadImage(name, "index=1");
  ASSERT_EQ(r.rc, 0) << imgfmt_error_text(r.rc);
  EXPECT_EQ(r.h.width, 3);
  EXPECT_EQ(r.h.bpp, 24);
  EXPECT_EQ(r.data[8], 0x40);
  EXPECT_EQ(LoadImage(name, "index=2").rc, 304);
  EXPECT_EQ(imgfmt_error_text(304), std::string("less bitmaps in file than index requested"));
  EXPECT_EQ(LoadImage(name, "index=x").rc, 3);
  std::string bent = file;
  bent[second + 1] = 'X';
  WriteAll(name, bent);
  EXPECT_EQ(LoadImage(name, "index=1").rc, 5);
  WriteAll(name, file.substr(0, second + 4));
  EXPECT_EQ(LoadImage(name, "index=1").rc, 7);
}

TEST(Bitmap, WrittenFilesReadByTheTools) {
  TempDir dir;
  ImgFmtRgb pal[256];
  for (int i = 0; i < 256; ++i) pal[i] = {uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 7)};
  for (int32_t bpp : {1, 4, 8, 24})
    for (const char* options : {"", "1.1", "win", "2.0"})
      for (int32_t w : {1, 7, 13}) {
        int32_t h = 5;
        std::vector<uint8_t> px = Pattern(w, h, bpp == 4 ? 8 : bpp);
        if (bpp == 4) {
          std::vector<uint8_t> four(size_t(imgfmt_row_bytes(w, 4) * h), 0);
          for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
              four[size_t(y * imgfmt_row_bytes(w, 4) + x / 2)] |=
                  uint8_t((px[size_t(y * imgfmt_row_bytes(w, 8) + x)] & 15) << (x % 2 ? 0 : 4));
          px = four;
        }
        std::string name = dir.File("w" + std::to_string(bpp) + options + ".bmp");
        ASSERT_EQ(SaveImage(name, w, h, bpp, px, pal, options), 0) << name;
        // Every depth, one bit included, keeps the picture's colours.
        std::string want = RgbTopDown(px.data(), w, h, bpp, pal);
        EXPECT_EQ(ToolRgb(name), want) << name;
        EXPECT_EQ(PnmToRgb(RunTool("bmptopnm", "bmptopnm '" + name + "' 2>/dev/null | ppmtoppm")), want)
            << name;
        std::string bytes = ReadAll(name);
        uint32_t size = uint8_t(bytes[2]) | uint8_t(bytes[3]) << 8 | uint8_t(bytes[4]) << 16;
        EXPECT_EQ(size, bytes.size()) << name;
        EXPECT_EQ(bytes[14], std::string(options) == "1.1" ? 12 : 40) << name;
        Loaded r = LoadImage(name);
        ASSERT_EQ(r.rc, 0) << name;
        EXPECT_EQ(OurRgb(r), want) << name;
      }
  std::vector<uint8_t> px(4, 0);
  EXPECT_EQ(SaveImage(dir.File("x.bmp"), 1, 1, 8, px, pal, "1.1,win"), 3);
  EXPECT_EQ(SaveImage(dir.File("x.bmp"), 1, 1, 8, px, pal, "2.0 1.1"), 3);
  // A full disk is reported.
  // A full device fails every write; the library itself opens only files, so the
  // descriptor is made here.
  int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (fd >= 0) {
    ImgFmtHeader hd{};
    hd.width = hd.height = 1;
    hd.bpp = 8;
    EXPECT_EQ(imgfmt_write_image("x.bmp", fd, 0, &hd, pal, px.data(), ""), 8);
    imgfmt_file_close(fd);
  }
}

// A one-bit picture is written with its own two colours: in their order, the bits as they
// are; the ordering options exchange the entries and invert the bits together, so that every
// reader (ours and ImageMagick) still sees the picture. Only "invb" asks for the negative.
TEST(Bitmap, MonochromeWritingKeepsThePicture) {
  TempDir dir;
  const ImgFmtRgb darkFirst[256] = {{10, 20, 30}, {250, 240, 230}};
  const ImgFmtRgb lightFirst[256] = {{250, 0, 0}, {0, 0, 200}};
  const std::vector<uint8_t> px = {0xc0, 0, 0, 0};  // pixels 1, 1, 0
  struct Case {
    const char* options;
    const ImgFmtRgb* pal;
    bool exchanged;  // the entries written in the other order, the bits inverted with them
    bool negative;   // the picture's negative, asked for
  } cases[] = {
      {"", darkFirst, false, false},
      {"", lightFirst, false, false},
      {"1.1", lightFirst, false, false},
      {"inv", lightFirst, true, false},
      {"inv", darkFirst, true, false},
      {"darkfg", darkFirst, true, false},  // the darker colour becomes entry 1
      {"darkfg", lightFirst, false, false},
      {"lightfg", darkFirst, false, false},
      {"lightfg", lightFirst, true, false},
      {"1.1 inv darkfg", darkFirst, false, false},
      {"invb", darkFirst, false, true},
      {"darkfg,invb", darkFirst, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("options \"") + c.options + "\"");
    const std::string name = dir.File("m.bmp");
    ASSERT_EQ(SaveImage(name, 3, 1, 1, px, c.pal, c.options), 0);
    const std::string s = ReadAll(name);
    const bool os2 = s[14] == 12;
    const size_t palAt = os2 ? 26 : 54, entry = os2 ? 3 : 4;
    const ImgFmtRgb first = c.pal[c.exchanged ? 1 : 0], second = c.pal[c.exchanged ? 0 : 1];
    EXPECT_EQ(s.substr(palAt, 3), std::string({char(first.b), char(first.g), char(first.r)}));
    EXPECT_EQ(s.substr(palAt + entry, 3), std::string({char(second.b), char(second.g), char(second.r)}));
    EXPECT_EQ(uint8_t(s[palAt + 2 * entry]), c.exchanged != c.negative ? 0x3f : 0xc0);
    // The colours a reader shows: the picture's own, or its negative where asked for.
    std::string expected;
    for (int bit : {1, 1, 0}) {
      const ImgFmtRgb& e = c.pal[c.negative ? 1 - bit : bit];
      expected += {char(e.r), char(e.g), char(e.b)};
    }
    EXPECT_EQ(ToolRgb(name), expected) << "ImageMagick";
    Loaded r = LoadImage(name);
    ASSERT_EQ(r.rc, 0);
    std::string ours;
    for (int x = 0; x < 3; ++x) {
      const ImgFmtRgb& e = r.pal[(r.data[0] >> (7 - x)) & 1];
      ours += {char(e.r), char(e.g), char(e.b)};
    }
    EXPECT_EQ(ours, expected) << "our reader";
  }
}

// Bytes overwritten anywhere in a file give a result or a code, never a write outside the
// image (run under the sanitizer build, this catches overruns).
TEST(Bitmap, PatchedFilesStayInsideTheImage) {
  TempDir dir;
  std::vector<std::vector<int>> rows(5, std::vector<int>(9, 0));
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < 9; ++x) rows[y][x] = int(x < 4 ? 3 : x * y) % 16;
  std::vector<std::string> files;
  for (bool four : {false, true}) {
    BmpSpec b;
    b.width = 9;
    b.height = 5;
    b.bits = four ? 4 : 8;
    b.compression = four ? 2 : 1;
    b.palette = Colours(16);
    b.coloursUsed = 16;
    b.pixels = EncodeRle(rows, four);
    files.push_back(Bmp(b));
  }
  for (const std::string& file : files)
    for (size_t at = 0; at < file.size(); ++at)
      for (int value : {0x00, 0x01, 0x02, 0x7f, 0xff}) {
        std::string bent = file;
        bent[at] = char(value);
        WriteAll(dir.File("p.bmp"), bent);
        Loaded r = LoadImage(dir.File("p.bmp"));
        if (r.rc == 0) {
          EXPECT_EQ(r.data.size(), size_t(imgfmt_row_bytes(r.h.width, r.h.bpp) * r.h.height));
        }
      }
}
