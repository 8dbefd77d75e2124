// The Targa and PCX codecs against the tools.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/imageformats/PlanarTestUtil.h"

namespace {

const TempDir& FixtureDir() {
  static TempDir dir;
  return dir;
}

const std::vector<std::string>& Fixtures(const std::string& ext) {
  static std::vector<std::string> tga, pcx;
  std::vector<std::string>& list = ext == ".tga" ? tga : pcx;
  if (list.empty()) list = ToolFixtures(FixtureDir(), ext);
  return list;
}

// ImageMagick keeps a Targa file's rows in file order and only notes the orientation, so it
// is asked to apply it.
std::string ImageMagickRgb(const std::string& path) {
  bool targa = path.size() > 4 && path.compare(path.size() - 4, 4, ".tga") == 0;
  return RunTool("convert", "convert '" + path + "'" + (targa ? " -auto-orient" : "") + " -depth 8 rgb:-");
}

// The tool that made a fixture decodes it.
std::string Decoder(const std::string& file, const char* netpbm) {
  std::string path = FixtureDir().File(file);
  if (file.rfind("nb_", 0) == 0) return ToolRgb(netpbm, std::string(netpbm) + " '" + path + "'");
  return ImageMagickRgb(path);
}

int ExpectedBpp(const std::string& file) {
  for (const char* d : {"_24", "_32"})
    if (file.find(d) != std::string::npos) return 24;
  if (file.find("_4") != std::string::npos) return 4;
  if (file.find("_1") != std::string::npos) return 1;
  return 8;
}

// Every cut of a file before `upTo` bytes fails cleanly.
void ExpectCutsFail(const std::string& path, size_t upTo, const char* options = "") {
  std::string whole = ReadAll(path);
  std::string cut = path + ".cut" + path.substr(path.rfind('.'));
  for (size_t n = 0; n < upTo && n < whole.size(); ++n) {
    WriteAll(cut, whole.substr(0, n));
    EXPECT_NE(LoadImage(cut, options).rc, 0) << path << " cut at " << n;
  }
}

std::string TargaHeader(int idLength, int mapType, int type, int mapFirst, int mapLength, int entryBits,
                        int w, int h, int bpp, int descriptor) {
  return std::string{char(idLength), char(mapType), char(type)} + Le16s(mapFirst) + Le16s(mapLength) +
         char(entryBits) + Le16s(0) + Le16s(0) + Le16s(w) + Le16s(h) + char(bpp) + char(descriptor);
}

// A 128-byte PCX header.
std::string PcxHeader(int version, int encoding, int bits, int xmax, int ymax, int planes, int bpl,
                      int manufacturer = 10) {
  std::string h(128, '\0');
  h[0] = char(manufacturer);
  h[1] = char(version);
  h[2] = char(encoding);
  h[3] = char(bits);
  h.replace(8, 2, Le16s(xmax));
  h.replace(10, 2, Le16s(ymax));
  h[65] = char(planes);
  h.replace(66, 2, Le16s(bpl));
  return h;
}

std::string PcxTrailer(int first = 12) {
  std::string t(1, char(first));
  for (int i = 0; i < 256; ++i) t += {char(i), char(255 - i), char(i / 2)};
  return t;
}

ImgFmtRgb gPal[256];
struct InitPal {
  InitPal() {
    for (int i = 0; i < 256; ++i) gPal[i] = TestPaletteEntry(i);
  }
} gInitPal;

}  // namespace

TEST(Targa, ReadsToolMadeFilesPixelEqualToTheTool) {
  const auto& files = Fixtures(".tga");
  ASSERT_GE(files.size(), 18u);
  for (const std::string& f : files) {
    Loaded r = LoadImage(FixtureDir().File(f));
    ASSERT_EQ(r.rc, 0) << f << ": " << imgfmt_error_text(r.rc);
    EXPECT_EQ(r.h.width, 37) << f;
    EXPECT_EQ(r.h.height, 9) << f;
    EXPECT_EQ(r.h.bpp, ExpectedBpp(f)) << f;
    EXPECT_TRUE(SameRgb(RgbOf(r), Decoder(f, "tgatoppm"))) << f;
  }
}

TEST(Targa, EveryCutOfAFileFails) {
  for (const char* f : {"im_24_rle_top.tga", "im_8_rle.tga", "nb_grey.tga", "im_32_rle.tga"}) {
    std::string path = FixtureDir().File(f);
    if (Fixtures(".tga").empty()) FAIL();
    ExpectCutsFail(path, ReadAll(path).size());
  }
}

TEST(Targa, WrittenFilesReadBackInTheTools) {
  TempDir dir;
  const int32_t w = 13, h = 5;
  struct Case {
    const char* name;
    int bpp;
    const char* options;
    int fileBpp, descriptor;
  } cases[] = {
      {"p8.tga", 8, "", 8, 0},
      {"p8d.tga", 8, "ydown", 8, 0x20},
      {"t24.tga", 24, "", 24, 0},
      {"t24u.tga", 24, "24,yup", 24, 0},
      {"t24d.tga", 24, "ydown", 24, 0x20},
      {"t32.tga", 24, "32", 32, 0},
      {"t16.tga", 24, "16 ydown", 16, 0x20},
  };
  for (const Case& c : cases) {
    std::string name = dir.File(c.name);
    std::vector<uint8_t> px = c.bpp == 8 ? IndexPattern(w, h, 8) : Pattern(w, h, 24);
    ASSERT_EQ(SaveImage(name, w, h, c.bpp, px, gPal, c.options), 0) << c.name;
    std::string bytes = ReadAll(name);
    ASSERT_GE(bytes.size(), 18u);
    EXPECT_EQ(uint8_t(bytes[16]), c.fileBpp) << c.name;
    EXPECT_EQ(uint8_t(bytes[17]), c.descriptor) << c.name;
    EXPECT_EQ(bytes.size(), 18u + (c.bpp == 8 ? 768u : 0u) + size_t(w * h * c.fileBpp / 8)) << c.name;
    Loaded want;
    want.h.width = w;
    want.h.height = h;
    want.h.bpp = c.bpp;
    want.data = px;
    for (int i = 0; i < 256; ++i) want.pal[i] = gPal[i];
    std::string expected = RgbOf(want);
    Loaded back = LoadImage(name);
    ASSERT_EQ(back.rc, 0) << c.name;
    std::string ours = RgbOf(back);
    for (const char* tool : {"tgatoppm", "convert"}) {
      std::string got = std::string(tool) == "convert" ? ImageMagickRgb(name)
                                                       : ToolRgb(tool, std::string(tool) + " '" + name + "'");
      ASSERT_EQ(got.size(), expected.size()) << c.name << " " << tool;
      if (c.fileBpp == 16) {
        // Five bits a component: compare what survives.
        for (size_t i = 0; i < got.size(); ++i) {
          ASSERT_EQ(uint8_t(got[i]) >> 3, uint8_t(expected[i]) >> 3) << c.name << " " << tool << " at " << i;
          ASSERT_EQ(uint8_t(ours[i]), uint8_t(expected[i]) & 0xf8) << c.name << " at " << i;
        }
      } else {
        EXPECT_TRUE(SameRgb(got, expected)) << c.name << " " << tool;
        EXPECT_TRUE(SameRgb(ours, expected)) << c.name;
      }
    }
  }
}

TEST(Targa, WriterOptions) {
  TempDir dir;
  std::vector<uint8_t> px24 = Pattern(3, 2, 24), px8 = IndexPattern(3, 2, 8);
  struct Case {
    int bpp;
    const char* options;
    int rc;
  } cases[] = {
      {24, "16,32", 3}, {24, "16 24", 3}, {24, "yup ydown", 3}, {8, "24", 3},
      {8, "16", 3},     {8, "yup", 0},    {24, "32", 0},        {24, "YDOWN", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SaveImage(dir.File("o.tga"), 3, 2, c.bpp, c.bpp == 8 ? px8 : px24, gPal, c.options), c.rc)
        << c.options;
}

TEST(Targa, HandMadeFiles) {
  TempDir dir;
  std::string f = dir.File("h.tga");
  // 16-bit pixels: 0x7fff is white at 248; bit 15 is ignored; blue in the low bits.
  WriteAll(f, TargaHeader(0, 0, 2, 0, 0, 0, 3, 1, 16, 0) +
                  "\xff\x7f"
                  "\x1f\x80"
                  "\xe0\x03");
  Loaded r = LoadImage(f);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.h.bpp, 24);
  EXPECT_EQ(RgbOf(r), std::string("\xf8\xf8\xf8"
                                  "\x00\x00\xf8"
                                  "\x00\xf8\x00",
                                  9));
  // The same pixels run-length encoded: a repeat packet of two and a literal one.
  WriteAll(f, TargaHeader(0, 0, 10, 0, 0, 0, 3, 1, 16, 0) + "\x81\xff\x7f" + std::string("\x00\x1f\x00", 3));
  r = LoadImage(f);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(RgbOf(r), std::string("\xf8\xf8\xf8"
                                  "\xf8\xf8\xf8"
                                  "\x00\x00\xf8",
                                  9));

  // A colour map from entry 16 of length 16 leaves entries 0 to 15 black; a map that runs
  // past entry 255 keeps what fits. Packets run on across rows.
  for (int first : {16, 250}) {
    std::string map;
    for (int i = 0; i < 16; ++i) map += {char(i), char(100), char(200)};  // B, G, R
    WriteAll(f, TargaHeader(2, 1, 9, first, 16, 24, 2, 2, 8, 0x20) + "id" + map + "\x83" + char(first + 1));
    r = LoadImage(f);
    ASSERT_EQ(r.rc, 0) << first;
    for (int i = 0; i < first; ++i) EXPECT_EQ(r.pal[i].r + r.pal[i].g + r.pal[i].b, 0) << i;
    EXPECT_EQ(r.pal[first + 1].r, 200);
    EXPECT_EQ(r.pal[first + 1].b, 1);
    EXPECT_EQ(r.pal[std::min(first + 15, 255)].r, 200);
    if (first == 16) { EXPECT_EQ(r.pal[32].r, 0); }
    EXPECT_EQ(r.data[0], first + 1);
    EXPECT_EQ(r.data[5], first + 1);
  }

  struct Bad {
    std::string bytes;
    int rc;
  } bad[] = {
      {TargaHeader(0, 1, 1, 0, 2, 24, 1, 1, 16, 0), 400},
      {TargaHeader(0, 1, 9, 0, 2, 16, 1, 1, 8, 0), 402},
      {TargaHeader(0, 0, 2, 0, 0, 0, 1, 1, 8, 0), 400},
      {TargaHeader(0, 0, 10, 0, 0, 0, 1, 1, 15, 0), 400},
      {TargaHeader(0, 0, 3, 0, 0, 0, 1, 1, 16, 0), 400},
      {TargaHeader(0, 0, 32, 0, 0, 0, 1, 1, 8, 0), 401},
      {TargaHeader(0, 0, 0, 0, 0, 0, 1, 1, 8, 0), 401},
      {TargaHeader(0, 0, 2, 0, 0, 0, 0, 1, 24, 0) + "abc", 6},
      {TargaHeader(0, 0, 2, 0, 0, 0, 65535, 65535, 24, 0), 6},
      {TargaHeader(0, 0, 2, 0, 0, 0, 2, 1, 24, 0) + "abcab", 7},
      // A repeat packet of 128 pixels in a picture of 4.
      {TargaHeader(0, 0, 11, 0, 0, 0, 2, 2, 8, 0) + "\xff\x01", 7},
      // A literal packet longer than the picture.
      {TargaHeader(0, 0, 11, 0, 0, 0, 2, 2, 8, 0) + "\x04"
                                                    "abcde",
       7},
      {TargaHeader(0, 0, 11, 0, 0, 0, 2, 2, 8, 0) + "\x82", 7},
      // The colour map is missing.
      {TargaHeader(0, 1, 1, 0, 256, 24, 1, 1, 8, 0) + "\x01", 7},
      {std::string("\0\0\2", 3), 7},
  };
  for (const Bad& b : bad) {
    WriteAll(f, b.bytes);
    Loaded l = LoadImage(f);
    EXPECT_EQ(l.rc, b.rc) << testing::PrintToString(b.bytes);
  }
  EXPECT_STREQ(imgfmt_error_text(400), "bits per pixel not 8, 16, 24 or 32");
  EXPECT_STREQ(imgfmt_error_text(401), "unsupported compression type for bits per pixel");
  EXPECT_STREQ(imgfmt_error_text(402), "color map entry size not 24 bits per pixel");
}

TEST(Pcx, ReadsToolMadeFilesPixelEqualToTheTool) {
  const auto& files = Fixtures(".pcx");
  ASSERT_GE(files.size(), 7u);
  for (const std::string& f : files) {
    Loaded r = LoadImage(FixtureDir().File(f));
    ASSERT_EQ(r.rc, 0) << f << ": " << imgfmt_error_text(r.rc);
    EXPECT_EQ(r.h.width, 37) << f;
    EXPECT_EQ(r.h.height, 9) << f;
    EXPECT_EQ(r.h.bpp, ExpectedBpp(f)) << f;
    EXPECT_TRUE(SameRgb(RgbOf(r), Decoder(f, "pcxtoppm"))) << f;
  }
}

TEST(Pcx, EveryCutOfAFileFails) {
  for (const char* f : {"nb_24.pcx", "nb_4_planes.pcx", "nb_4_packed.pcx", "nb_1.pcx", "im_8.pcx"}) {
    if (Fixtures(".pcx").empty()) FAIL();
    std::string path = FixtureDir().File(f);
    size_t size = ReadAll(path).size();
    // Cuts inside the 8-bit trailer leave some other byte in its place, which may be 12.
    ExpectCutsFail(path, ExpectedBpp(f) == 8 ? size - 769 : size);
  }
}

TEST(Pcx, WrittenFilesReadBackInTheTools) {
  TempDir dir;
  const int32_t w = 13, h = 5;
  ImgFmtRgb mono[256] = {};
  mono[0] = {250, 250, 250};  // entry 1 is darker, so the bits are stored inverted
  mono[1] = {10, 20, 30};
  for (int bpp : {1, 4, 8, 24}) {
    std::string name = dir.File("o" + std::to_string(bpp) + ".pcx");
    std::vector<uint8_t> px = bpp == 24 ? Pattern(w, h, 24) : IndexPattern(w, h, bpp);
    const ImgFmtRgb* pal = bpp == 1 ? mono : gPal;
    ASSERT_EQ(SaveImage(name, w, h, bpp, px, pal), 0) << bpp;
    std::string bytes = ReadAll(name);
    ASSERT_GT(bytes.size(), 128u);
    EXPECT_EQ(uint8_t(bytes[66]) % 2, 0) << "bytes per line are even";
    Loaded want;
    want.h.width = w;
    want.h.height = h;
    want.h.bpp = bpp;
    want.data = px;
    for (int i = 0; i < 256; ++i) want.pal[i] = pal[i];
    if (bpp == 1) {
      // The file keeps the shape as black on white.
      want.pal[0] = {255, 255, 255};
      want.pal[1] = {0, 0, 0};
    }
    std::string expected = RgbOf(want);
    Loaded back = LoadImage(name);
    ASSERT_EQ(back.rc, 0) << bpp;
    EXPECT_TRUE(SameRgb(RgbOf(back), expected)) << bpp;
    EXPECT_TRUE(SameRgb(ToolRgb("pcxtoppm", "pcxtoppm '" + name + "'"), expected)) << bpp;
    // ImageMagick swaps the colours of every 1-bit PCX file, netpbm's included.
    if (bpp != 1) { EXPECT_TRUE(SameRgb(ImageMagickRgb(name), expected)) << bpp; }
  }
}

TEST(Pcx, RunLengthCodes) {
  TempDir dir;
  // A line of 200 equal bytes is written as runs of 63, 63, 63 and 11; single bytes of 192 or
  // more are written as runs of one.
  std::vector<uint8_t> px(200, 7);
  px[199] = 200;
  ASSERT_EQ(SaveImage(dir.File("r.pcx"), 200, 1, 8, px, gPal), 0);
  std::string bytes = ReadAll(dir.File("r.pcx"));
  EXPECT_EQ(bytes.substr(128, bytes.size() - 128 - 769),
            std::string("\xff\x07\xff\x07\xff\x07\xca\x07\xc1\xc8", 10));
  EXPECT_EQ(bytes.substr(bytes.size() - 769, 4),
            std::string("\x0c", 1) + char(gPal[0].r) + char(gPal[0].g) + char(gPal[0].b));

  // A run of 10 at the end of a line continues on the next two lines; with "trunc" the rest
  // is dropped and the next lines come from the bytes that follow.
  std::string f = dir.File("c.pcx");
  WriteAll(f, PcxHeader(5, 1, 8, 3, 2, 1, 4) +
                  "\x01\x02\xca\x09"
                  "\x05\x06\x07\x08\x0b\x0c\x0d\x0e" +
                  PcxTrailer());
  Loaded r = LoadImage(f);
  ASSERT_EQ(r.rc, 0);
  // Buffer rows are bottom-up, 4 bytes each.
  EXPECT_EQ(std::string(r.data.begin(), r.data.end()), std::string("\x09\x09\x09\x09"
                                                                   "\x09\x09\x09\x09"
                                                                   "\x01\x02\x09\x09",
                                                                   12));
  r = LoadImage(f, "TRUNC");
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(std::string(r.data.begin(), r.data.end()), std::string("\x0b\x0c\x0d\x0e"
                                                                   "\x05\x06\x07\x08"
                                                                   "\x01\x02\x09\x09",
                                                                   12));
  EXPECT_EQ(r.pal[3].g, 252);
  // A run that goes past the last line overruns the picture.
  WriteAll(f, PcxHeader(5, 1, 8, 3, 0, 1, 4) + "\x01\x02\xca\x09" + PcxTrailer());
  EXPECT_EQ(LoadImage(f).rc, 7);
  EXPECT_EQ(LoadImage(f, "trunc").rc, 0);
  // A line longer than the row: its excess is decoded and dropped.
  WriteAll(f, PcxHeader(5, 1, 8, 1, 0, 1, 9) + "\xc9\x04" + PcxTrailer());
  r = LoadImage(f);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.h.width, 2);
  EXPECT_EQ(r.data[1], 4);
  // Four planes set the bits 0 to 3 of each pixel.
  WriteAll(f, PcxHeader(5, 1, 1, 2, 0, 4, 2) + std::string("\x80\x00"
                                                           "\x20\x00"
                                                           "\xc1\xe0\x00"
                                                           "\xc2\xff",
                                                           9));
  r = LoadImage(f);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.h.bpp, 4);
  EXPECT_EQ(r.data[0], 0xdc);
  EXPECT_EQ(r.data[1], 0xe0);  // the bits past the width are not pixels
}

TEST(Pcx, HeaderErrors) {
  TempDir dir;
  std::string f = dir.File("e.pcx");
  struct Case {
    std::string bytes;
    int rc;
  } cases[] = {
      {PcxHeader(5, 1, 8, 0, 0, 1, 2, 11) + "\x01" + PcxTrailer(), 5},
      {PcxHeader(6, 1, 8, 0, 0, 1, 2) + "\x01" + PcxTrailer(), 700},
      {PcxHeader(4, 1, 8, 0, 0, 1, 2) + "\x01" + PcxTrailer(), 0},
      {PcxHeader(0, 1, 8, 0, 0, 1, 2) + "\x01" + PcxTrailer(), 0},
      {PcxHeader(5, 0, 8, 0, 0, 1, 2) + "\x01" + PcxTrailer(), 701},
      {PcxHeader(5, 1, 2, 0, 0, 1, 2) + "\x01", 702},
      {PcxHeader(5, 1, 8, 0, 0, 4, 2) + "\x01", 702},
      {PcxHeader(5, 1, 4, 0, 0, 3, 2) + "\x01", 702},
      {PcxHeader(5, 1, 8, 0, 0, 1, 2) + "\x01" + PcxTrailer(13), 703},
      {PcxHeader(5, 1, 8, 0, 0, 1, 2) + "\x01\x01", 703},
      {PcxHeader(5, 1, 8, 4, 0, 1, 4) + "\x01\x01" + PcxTrailer(), 6},  // bytes per line too few
      {PcxHeader(5, 1, 8, 0, 0, 1, 0) + PcxTrailer(), 6},
      {PcxHeader(5, 1, 8, 40000, 0, 1, 40000), 6},
      {PcxHeader(5, 1, 1, 3, 0, 1, 1).substr(0, 69), 7},
      {PcxHeader(5, 1, 24, 3, 0, 1, 1), 702},
  };
  for (const Case& c : cases) {
    WriteAll(f, c.bytes);
    EXPECT_EQ(LoadImage(f).rc, c.rc) << testing::PrintToString(c.bytes.substr(0, 4));
  }
  // xmin above xmax.
  std::string h = PcxHeader(5, 1, 8, 0, 0, 1, 2);
  h.replace(4, 2, Le16s(3));
  WriteAll(f, h + "\x01" + PcxTrailer());
  EXPECT_EQ(LoadImage(f).rc, 6);
  EXPECT_STREQ(imgfmt_error_text(700), "version number not 4 or 5");
  EXPECT_STREQ(imgfmt_error_text(701), "encoding mode not 1");
  EXPECT_STREQ(imgfmt_error_text(702), "unsupported bpp/plane / plane combination");
  EXPECT_STREQ(imgfmt_error_text(703), "corrupt file trailer");
}

TEST(TargaPcxIlbm, WritersReportAFullDisk) {
  std::vector<uint8_t> px = Pattern(40, 30, 24);
  for (int index : {2, 4, 5}) {
    // A full device fails every write; the library itself opens only files, so the
    // descriptor is made here.
    int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ImgFmtHeader h{};
    h.width = 40;
    h.height = 30;
    h.bpp = 24;
    EXPECT_EQ(imgfmt_write_image("full", fd, index, &h, gPal, px.data(), ""), 8) << index;
    h.bpp = 8;
    EXPECT_EQ(imgfmt_write_image("full", fd, index, &h, gPal, px.data(), ""), 8) << index;
    imgfmt_file_close(fd);
  }
}

TEST(TargaPcxIlbm, PaletteBeforeDataReadsTheSame) {
  TempDir dir;
  std::vector<std::string> files;
  for (const char* f : {"nb_8.tga", "im_8_rle_top.tga", "nb_8.pcx", "nb_4_packed.pcx"})
    files.push_back(FixtureDir().File(f));
  if (Fixtures(".tga").empty() || Fixtures(".pcx").empty()) FAIL();
  for (int bpp : {4, 8}) {
    std::string name = dir.File("o" + std::to_string(bpp) + ".iff");
    ASSERT_EQ(SaveImage(name, 13, 5, bpp, IndexPattern(13, 5, bpp), gPal), 0);
    files.push_back(name);
  }
  for (const std::string& f : files) {
    Loaded usual = LoadImage(f);
    ASSERT_EQ(usual.rc, 0) << f;
    int index = -1;
    ASSERT_EQ(imgfmt_guess_format(f.c_str(), &index), 0);
    int fd = imgfmt_file_open(f.c_str(), IMGFMT_O_BINARY);
    ASSERT_GE(fd, 0);
    Loaded r;
    ASSERT_EQ(imgfmt_read_header(f.c_str(), fd, index, &r.h, ""), 0) << f;
    ASSERT_EQ(imgfmt_read_palette(fd, index, &r.h, r.pal), 0) << f;
    r.data.assign(usual.data.size(), 0xAA);
    ASSERT_EQ(imgfmt_read_data(fd, index, &r.h, r.data.data()), 0) << f;
    imgfmt_file_close(fd);
    EXPECT_EQ(RgbOf(r), RgbOf(usual)) << f;
  }
}

// Patched bytes in headers, maps, run-length codes and chunk sizes: every read ends with a
// code, and a picture that loads has the size its header gives (the sanitizer build catches
// reads and writes outside the buffers).
TEST(TargaPcxIlbm, PatchedFilesFailCleanly) {
  if (Fixtures(".tga").empty()) FAIL();
  TempDir dir;
  uint32_t seed = 12345;
  auto next = [&]() { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
  for (const char* f : {"im_8_rle.tga", "im_32_rle.tga", "nb_grey.tga", "nb_4_planes.pcx", "nb_8.pcx",
                        "im_24.pcx", "nb_ham6.iff", "nb_8.iff", "nb_4_mask.iff", "nb_24.iff"}) {
    const std::string whole = ReadAll(FixtureDir().File(f));
    std::string name = std::string(f);
    std::string patched = dir.File("p" + name.substr(name.rfind('.')));
    for (int round = 0; round < 300; ++round) {
      std::string bytes = whole;
      // Mostly the first 64 bytes, where the sizes and codes are.
      for (int k = 0; k < 3; ++k) {
        size_t at = round % 2 ? next() % std::min<size_t>(64, bytes.size()) : next() % bytes.size();
        bytes[at] = char(next() % 4 == 0 ? 0xff : next());
      }
      WriteAll(patched, bytes);
      Loaded r = LoadImage(patched);
      if (r.rc == 0) {
        EXPECT_GE(r.h.width, 1) << f;
        EXPECT_GE(r.h.height, 1) << f;
      }
    }
  }
}
