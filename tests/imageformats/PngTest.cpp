// The PNG reader and writer over libpng against ImageMagick and pngcheck.
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <zlib.h>

#include "imageformats/PngReader.h"
#include "imageformats/PngWriter.h"
#include "tests/imageformats/ImgFmtTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

struct Decoded {
  int rc = -1;
  uint32_t w = 0, h = 0;
  int channels = 0;
  std::vector<uint8_t> rgba;  // always 4 bytes a pixel, opaque alpha for 3 channels
};

Decoded Decode(const std::string& name, double exponent = 0.0) {
  Decoded d;
  FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return d;
  d.rc = PngReaderInit(f, &d.w, &d.h);
  if (d.rc == 0) {
    size_t rowBytes = 0;
    uint8_t* img = PngReaderGetImage(exponent, &d.channels, &rowBytes);
    if (!img) {
      d.rc = 2;
    } else {
      for (uint32_t y = 0; y < d.h; ++y)
        for (uint32_t x = 0; x < d.w; ++x) {
          const uint8_t* p = img + y * rowBytes + x * size_t(d.channels);
          d.rgba.insert(d.rgba.end(), {p[0], p[1], p[2], d.channels == 4 ? p[3] : uint8_t(255)});
        }
    }
    PngReaderCleanup(true);
  }
  std::fclose(f);
  return d;
}

int WritePng(const std::string& name, int w, int h, int type, const std::vector<uint8_t>& px) {
  FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return -1;
  PngWriteInfo info;
  std::memset(&info, 0, sizeof info);
  info.width = w;
  info.height = h;
  info.modtime = 1700000000;
  info.type = type;
  info.sample_depth = 8;
  info.have_time = 1;
  info.outfile = f;
  int bpp = type == 8 ? 4 : type == 6 ? 3 : 1;
  std::vector<uint8_t*> rows;
  for (int y = 0; y < h; ++y) rows.push_back(const_cast<uint8_t*>(px.data()) + y * w * bpp);
  int rc = PngWriterInit(&info);
  if (rc == 0) {
    info.row_pointers = rows.data();
    rc = PngWriterEncodeImage(&info);
    PngWriterCleanup(&info);
  }
  std::fclose(f);
  return rc;
}

}  // namespace

TEST(Png, ReadsWhatImageMagickWrites) {
  TempDir dir;
  std::string base = dir.File("base.png");
  RunTool("convert",
          "convert -size 9x7 xc:'#203040' -fill '#f0a010' -draw 'rectangle 0,0 3,2' "
          "-fill '#10e070' -draw 'point 8,6' -fill white -draw 'point 5,1' " +
              base);
  struct Case {
    const char* name;
    const char* args;
    int channels;
  } cases[] = {
      {"grey1.png", "-colorspace gray -threshold 50% -define png:color-type=0 -define png:bit-depth=1", 3},
      {"palette_trns.png", "-alpha set -fill none -draw 'color 8,6 replace' PNG8:", 4},
      {"rgb16.png", "-depth 16 -define png:color-type=2 PNG48:", 3},
      {"greyalpha.png", "-colorspace gray -alpha set -channel A -fx 'i/w' -define png:color-type=4 ", 4},
      {"interlaced.png", "-interlace PNG -define png:color-type=2 ", 3},
      {"gamma.png", "-set gamma 0.45455 -define png:color-type=2 ", 3},
  };
  for (const Case& c : cases) {
    std::string name = dir.File(c.name), args = c.args;
    std::string target = args.size() && args.back() == ':' ? args.substr(args.rfind(' ') + 1) + name : name;
    std::string opts = args.size() && args.back() == ':' ? args.substr(0, args.rfind(' ')) : args;
    RunTool("convert", "convert " + base + " " + opts + " " + target);
    Decoded d = Decode(name);
    ASSERT_EQ(d.rc, 0) << c.name;
    EXPECT_EQ(d.w, 9u);
    EXPECT_EQ(d.h, 7u);
    EXPECT_EQ(d.channels, c.channels) << c.name;
    std::string want = RunTool("convert", "convert " + name + " -depth 8 rgba:-");
    EXPECT_EQ(std::string(d.rgba.begin(), d.rgba.end()), want) << c.name;
  }
  std::string chunks = RunTool("pngcheck", "pngcheck -v " + dir.File("gamma.png"));
  EXPECT_NE(chunks.find("gAMA"), std::string::npos);
}

TEST(Png, RejectsNonPngAndBrokenFiles) {
  TempDir dir;
  WriteAll(dir.File("not.png"), "GIF89a not a png at all");
  EXPECT_EQ(Decode(dir.File("not.png")).rc, 1);
  WriteAll(dir.File("short.png"), "\x89PNG");
  EXPECT_EQ(Decode(dir.File("short.png")).rc, 1);
  // Every cut of a real file fails cleanly.
  std::vector<uint8_t> px(5 * 3 * 3, 0x55);
  ASSERT_EQ(WritePng(dir.File("ok.png"), 5, 3, 6, px), 0);
  std::string whole = ReadAll(dir.File("ok.png"));
  for (size_t n = 0; n + 1 < whole.size(); ++n) {
    WriteAll(dir.File("cut.png"), whole.substr(0, n));
    EXPECT_NE(Decode(dir.File("cut.png")).rc, 0) << n;
  }
  // A header claiming a huge image is refused before anything is sized.
  std::string big = whole;
  big[16] = 0x7f;  // width high byte
  WriteAll(dir.File("big.png"), big);
  EXPECT_NE(Decode(dir.File("big.png")).rc, 0);
}

TEST(Png, WritesCheckedFilesThatDecodeEqual) {
  TempDir dir;
  for (int type : {6, 8, 5}) {
    int w = 17, h = 5, bpp = type == 8 ? 4 : type == 6 ? 3 : 1;
    std::vector<uint8_t> px(size_t(w * h * bpp));
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 37 + i / 7);
    std::string name = dir.File("out" + std::to_string(type) + ".png");
    ASSERT_EQ(WritePng(name, w, h, type, px), 0);
    std::string check = RunTool("pngcheck", "pngcheck -v " + name);
    EXPECT_NE(check.find("tIME"), std::string::npos);
    EXPECT_EQ(check.find("tEXt"), std::string::npos);
    EXPECT_EQ(check.find("bKGD"), std::string::npos);
    size_t first = check.find("IEND");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(check.find("IEND", first + 1), std::string::npos);
    std::string pam = RunTool(
        "pngtopam", "pngtopam -alphapam " + name + " 2>/dev/null | tail -c " + std::to_string(px.size()));
    if (type == 5 || type == 6) {
      std::string raw = RunTool("pngtopam", "pngtopam " + name + " | tail -c " + std::to_string(px.size()));
      EXPECT_EQ(raw, std::string(px.begin(), px.end())) << type;
    } else {
      EXPECT_EQ(pam, std::string(px.begin(), px.end())) << type;
    }
    std::string whole = ReadAll(name);
    EXPECT_EQ(whole.substr(whole.size() - 8, 4), "IEND");
  }
}

// The image data as the file holds it: the IDAT chunks' bytes, one zlib stream.
std::string IdatStream(const std::string& png) {
  std::string z;
  for (size_t at = 8; at + 12 <= png.size();) {
    const auto* b = reinterpret_cast<const uint8_t*>(png.data() + at);
    const size_t len = size_t(b[0]) << 24 | size_t(b[1]) << 16 | size_t(b[2]) << 8 | b[3];
    if (png.compare(at + 4, 4, "IDAT") == 0) z += png.substr(at + 8, len);
    at += 12 + len;
  }
  return z;
}

size_t DeflatedSize(const std::string& bytes, int level) {
  uLongf n = compressBound(uLong(bytes.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(bytes.data()),
            uLong(bytes.size()), level);
  return n;
}

// Pictures are written at zlib's strongest level: the stream says so in its header, and it is
// as small as zlib's level 9 makes the same filtered rows (libpng's strategy may differ a
// little), far from what the fastest level gives.
TEST(Png, WrittenAtTheStrongestCompression) {
  TempDir dir;
  const int w = 192, h = 96;
  std::vector<uint8_t> px(size_t(w * h * 3));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[size_t((y * w + x) * 3)];
      p[0] = uint8_t((x * y) ^ (x >> 3));
      p[1] = uint8_t((x / 5 + y / 3) * 17);
      p[2] = uint8_t(((x ^ y) & 12) * 9);
    }
  const std::string name = dir.File("strong.png");
  ASSERT_EQ(WritePng(name, w, h, 6, px), 0);
  const std::string z = IdatStream(ReadAll(name));
  ASSERT_GE(z.size(), 2u);
  EXPECT_EQ(uint8_t(z[1]) >> 6, 3) << "the zlib header's level field: 3 is levels 7 to 9";
  std::string rows(size_t(h) * (1 + w * 3), '\0');
  uLongf rowsSize = uLongf(rows.size());
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(rows.data()), &rowsSize,
                       reinterpret_cast<const Bytef*>(z.data()), uLong(z.size())),
            Z_OK);
  ASSERT_EQ(rowsSize, rows.size());
  const size_t best = DeflatedSize(rows, 9), fastest = DeflatedSize(rows, 1);
  ASSERT_GT(fastest, best + best / 10) << "the picture must tell the levels apart";
  EXPECT_LE(z.size(), best + (fastest - best) / 4) << "best " << best << ", fastest " << fastest;
}

TEST(Png, UnknownTypeWritesNothing) {
  TempDir dir;
  std::vector<uint8_t> px(16, 0);
  EXPECT_EQ(WritePng(dir.File("t7.png"), 2, 2, 7, px), 11);
  EXPECT_EQ(ReadAll(dir.File("t7.png")).size(), 0u);
}

TEST(Png, LibpngErrorReturnsTwo) {
  TempDir dir;
  FILE* f = std::fopen(dir.File("zero.png").c_str(), "wb");
  PngWriteInfo info;
  std::memset(&info, 0, sizeof info);
  info.width = 0;  // libpng refuses a zero width in the header
  info.height = 1;
  info.type = 6;
  info.sample_depth = 8;
  info.outfile = f;
  testing::internal::CaptureStderr();
  EXPECT_EQ(PngWriterInit(&info), 2);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("writepng libpng error: "), std::string::npos);
  EXPECT_EQ(info.png_ptr, nullptr);
  EXPECT_EQ(info.info_ptr, nullptr);
  std::fclose(f);
}
