// Small hostile picture files against every reader of the program, one table per area.
//
// Each file is a few bytes to a few hundred kilobytes, made by hand to cost a reader as much
// as it can: headers claiming the largest sizes the limits allow, data that ends early,
// compressed data that expands as far as its coding can, endless chains of frames, scans,
// chunks, directories, records and offsets. Each is read (at the size it really has) or
// refused with a message, within a bound of processor time and of peak memory measured in a
// child process of its own.
#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <zlib.h>

#include "engine/XImage.h"
#include "gif/Anifile.h"
#include "platform/ByteOrder.h"
#include "platform/ImageLimits.h"
#include "platform/JpegGlue.h"
#include "platform/SysUtils.h"
#include "tests/gif/GifBuilder.h"
#include "tests/support/ChildRunner.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/MetafileBuilder.h"
#include "tests/support/TestSupport.h"

namespace {

// What any file may cost: a second of processor time and 300 MB at the peak. The largest
// picture the limits allow is 256 MB at 32 bits, so a reader that meets this bound for it
// holds the decoded picture about once.
constexpr double kSeconds = 1;
constexpr double kPeakMB = 300;
// A file that really holds the largest picture is decoded whole: its 64 M pixels cost about a
// second on their own, more for the formats that pass over them several times (Adam7's seven
// passes, sixteen-bit samples).
constexpr double kLargestSeconds = 2;
// A progressive file is decoded scan by scan into every coefficient of the picture (two bytes a
// sample) before its pixels are made: the largest grey one holds those 128 MB beside the picture.
constexpr double kProgressiveMB = 256 + 128 + 32;
const int kSide = MaxPageSide;

// ---- The table ----

struct HostileFile {
  const char* what;
  const char* name;  // its extension chooses the reader
  std::function<std::string()> bytes;
  bool loads;  // else refused with a message
  double seconds = kSeconds, peakMB = kPeakMB;
};

// Each file written, then read in a child process by the image class as the program reads
// any picture; the figures are printed for the record.
void ReadEach(const char* area, const std::vector<HostileFile>& files) {
  TempDir dir;
  for (const HostileFile& f : files) {
    SCOPED_TRACE(f.what);
    const std::string path = dir.File(f.name);
    const std::string bytes = f.bytes();
    WriteAll(path, bytes);
    const ChildRun c = RunInChild([&] {
      XImage img;
      img.LoadFromFile(path);
      return std::to_string(img.Width()) + " x " + std::to_string(img.Height());
    });
    std::printf("[%s] %-72s %8zu B %6.3f s %7.1f MB  %s\n", area, f.what, bytes.size(), c.CpuSeconds,
                c.PeakMB, c.Result.c_str());
    ASSERT_TRUE(c.Finished) << c.Result;
    const bool refused = c.Result.rfind("raised: ", 0) == 0;
    EXPECT_EQ(!refused, f.loads) << c.Result;
    if (refused) { EXPECT_GT(c.Result.size(), std::strlen("raised: ") + 10) << "a refusal says why"; }
    EXPECT_LE(c.CpuSeconds, f.seconds * kTimeSlack) << "took " << c.CpuSeconds << " s";
    EXPECT_LE(c.PeakMB, f.peakMB * kMemorySlack) << "peak resident size rose by " << c.PeakMB << " MB";
  }
}

}  // namespace

TEST(BoundedCodecs, GIF) {
  ReadEach("gif",
           {
               {"8192 x 8192 whose data ends after a few pixels", "cut.gif",
                [] { return GifTruncated(kSide, kSide); }, false},
               {"16384 x 4096 whose data ends after a few pixels", "cutwide.gif",
                [] { return GifTruncated(2 * kSide, kSide / 2); }, false},
               {"8192 x 8192 of codes expanding as far as LZW can", "max.gif",
                [] { return GifMaximal(kSide, kSide, int64_t(kSide) * kSide); }, true, kLargestSeconds},
               {"256 x 256 of codes expanding to 64 M pixels, past the frame", "past.gif",
                [] { return GifMaximal(256, 256, int64_t(kSide) * kSide); }, true},
               {"100,000 frames of 1 x 1", "frames.gif", [] { return GifManyFrames(100000, 1, 1); }, true},
               {"3,000 frames of 8192 x 8192, each of one pixel", "bigframes.gif",
                [] { return GifManyFrames(3000, kSide, kSide); }, true},
               {"1 x 1 frame on a screen of 65535 x 65535", "screen.gif",
                [] { return GifFirstPixel(65535, 65535).Trailer().b; }, true},
               {"200,000 comment extensions after the first frame", "comments.gif",
                [] {
                  GifBuilder g = GifFirstPixel(1, 1);
                  g.b += Repeat(std::string("\x21\xFE\x01x\x00", 5), 200000);
                  return g.Trailer().b;
                },
                true},
               {"one extension of 500,000 empty-looking sub-blocks, never ended", "endless.gif",
                [] {
                  GifBuilder g;
                  g.Header(1, 1, 1);
                  g.b += "\x21\xFE";
                  g.b += Repeat(std::string("\x01x", 2), 500000);
                  return g.b;
                },
                false},
               {"100,000 application extensions before the frame", "apps.gif",
                [] {
                  GifBuilder g;
                  g.Header(1, 1, 1);
                  for (int i = 0; i < 100000; ++i) g.Loop(i);
                  g.Image(1, 1).Codes(2, {4, 1, 5});
                  return g.Trailer().b;
                },
                true},
           });
}

TEST(BoundedCodecs, PNG) {
  ReadEach("png",
           {
               {"8192 x 8192 one-bit grey", "bits.png", [] { return PngZeros(kSide, kSide, 1, 0); }, true,
                kLargestSeconds},
               {"8192 x 8192 eight-bit grey", "grey.png", [] { return PngZeros(kSide, kSide, 8, 0); }, true,
                kLargestSeconds},
               {"8192 x 8192 RGBA of 16 bits a sample", "rgba16.png",
                [] { return PngZeros(kSide, kSide, 16, 6); }, true, kLargestSeconds},
               {"8192 x 8192 one-bit grey, interlaced", "adam7.png",
                [] { return PngZeros(kSide, kSide, 1, 0, 1); }, true, kLargestSeconds},
               {"8192 x 8192 whose data ends early", "cut.png", [] { return PngCut(kSide, kSide); }, false},
               {"1 x 1 whose data inflates to 512 MB", "bomb.png",
                [] { return PngZeros(1, 1, 8, 0, 0, 512u << 20); }, false},
               {"4096 x 4096 whose data inflates 512 MB past its rows", "bomb4k.png",
                [] { return PngZeros(4096, 4096, 8, 0, 0, 512u << 20); }, false},
               {"4096 x 4096 interlaced, its data inflating 512 MB past its rows", "bomb7.png",
                [] { return PngZeros(4096, 4096, 8, 0, 1, 512u << 20); }, false},
               {"1 x 1 with 60 MB of zeros past its rows in 60 KB", "tail.png",
                [] { return PngZeros(1, 1, 8, 0, 0, 60u << 20); }, true},
               {"a zTXt chunk inflating to 256 MB", "ztxt.png",
                [] {
                  return PngZeros(1, 1, 8, 0, 0, 0,
                                  PngChunk("zTXt", std::string("k\0\0", 3) + ZlibZeros(256u << 20)));
                },
                true},
               {"an iCCP chunk inflating to 256 MB", "iccp.png",
                [] {
                  return PngZeros(1, 1, 8, 0, 0, 0,
                                  PngChunk("iCCP", std::string("p\0\0", 3) + ZlibZeros(256u << 20)));
                },
                true},
               // The decoder only warns of an ancillary chunk past its limit, and takes a block of
               // the chunk's length before it reads a byte of it.
               {"a tEXt chunk claiming 2 GB in a file of a few hundred bytes", "claims.png",
                [] {
                  const std::string p = PngZeros(1, 1, 8, 0);
                  std::string text;
                  AppendBe32(text, 0x7A000000u);
                  text += "tEXtTitle";
                  text += std::string(300, 'x');
                  return p.substr(0, 33) + text;
                },
                false},
               {"100,000 tEXt chunks", "text.png",
                [] {
                  return PngZeros(1, 1, 8, 0, 0, 0, Repeat(PngChunk("tEXt", std::string("k\0v", 3)), 100000));
                },
                true},
               {"100,000 tEXt chunks after the image data", "textafter.png",
                [] {
                  std::string p = PngZeros(1, 1, 8, 0);
                  return p.substr(0, p.size() - 12) +
                         Repeat(PngChunk("tEXt", std::string("k\0v", 3)), 100000) + PngChunk("IEND", "");
                },
                true},
               {"100,000 unknown ancillary chunks", "unknown.png",
                [] { return PngZeros(1, 1, 8, 0, 0, 0, Repeat(PngChunk("prVt", "x"), 100000)); }, true},
               {"100,000 one-byte IDAT chunks", "idats.png",
                [] {
                  const std::string z = Zlib(std::string(2, '\0'));
                  std::string idats;
                  for (char c : z) idats += PngChunk("IDAT", std::string(1, c));
                  return PngHeader(1, 1, 8, 0) + idats + Repeat(PngChunk("IDAT", ""), 100000) +
                         PngChunk("IEND", "");
                },
                true},
           });
}

TEST(BoundedCodecs, JPEG) {
  ReadEach("jpg",
           {
               {"progressive 4096 x 4096 of 300 scans", "scans.jpg",
                [] { return JpegProgressive(4096, 4096, 300); }, false},
               {"progressive 8192 x 8192 of 250 scans", "scans8k.jpg",
                [] { return JpegProgressive(kSide, kSide, 250); }, false, kSeconds, kProgressiveMB},
               {"progressive 8192 x 8192 of 10 scans", "tenscans.jpg",
                [] { return JpegProgressive(kSide, kSide, 10); }, true, kSeconds, kProgressiveMB},
               {"sequential 8192 x 8192 whose data ends after its header", "cut.jpg",
                [] {
                  std::string p = JpegProgressive(16, 16, 1);
                  std::string sof = p.substr(p.find("\xFF\xC2"), 13);
                  sof[1] = '\xC0';
                  PutBe16(&sof[5], uint16_t(kSide));
                  PutBe16(&sof[7], uint16_t(kSide));
                  return p.substr(0, p.find("\xFF\xC2")) + sof + p.substr(p.find("\xFF\xC2") + 13);
                },
                false},
               // Its coefficients would be made and zeroed for the whole picture before the
               // decoder finds that the data is missing.
               {"progressive 8192 x 8192 whose data ends after its first scan's header", "cutscan.jpg",
                [] {
                  const std::string p = JpegProgressive(kSide, kSide, 1);
                  const size_t sos = p.find("\xFF\xDA");
                  return p.substr(0, sos + 2 + GetBe16(reinterpret_cast<const uint8_t*>(&p[sos + 2])));
                },
                false},
               {"100,000 comment segments", "comments.jpg", [] { return JpegWithComments(100000, 1); }, true},
               {"progressive 16 x 16 of 100,000 scans", "tiny.jpg",
                [] { return JpegProgressive(16, 16, 100000); }, false},
           });
}

TEST(BoundedCodecs, TIFF) {
  ReadEach(
      "tif",
      {
          {"8192 x 8192 grey whose one strip ends early", "cut.tif",
           [] { return TiffGrey(kSide, kSide, 1, kSide, uint32_t(kSide) * kSide, std::string(64, '\0')); },
           false},
          {"8192 x 8192 grey, 8192 strips of one PackBits row, all the same", "strips.tif",
           [] { return TiffGrey(kSide, kSide, 32773, 1, 130, PackBitsZeros(kSide)); }, true},
          {"8192 x 8192 grey, one LZW strip at maximal expansion", "lzw.tif",
           [] {
             const std::string z = TiffLzwZeros(int64_t(kSide) * kSide);
             return TiffGrey(kSide, kSide, 5, kSide, uint32_t(z.size()), z);
           },
           true},
          {"strip byte counts of 4 GB", "counts.tif",
           [] { return TiffGrey(64, 64, 32773, 1, 0xFFFFFFFFu, PackBitsZeros(64)); }, true},
          {"a directory whose next directory is itself", "loop.tif",
           [] {
             std::string t = TiffGrey(64, 64, 32773, 1, 2, PackBitsZeros(64));
             PutLe32(&t[8 + 2 + 10 * 12], 8);
             return t;
           },
           true},
          {"a directory of 65,535 tags of which the file holds 10", "tags.tif",
           [] {
             std::string t = TiffGrey(64, 64, 32773, 1, 2, PackBitsZeros(64));
             PutLe16(&t[8], 65535);
             return t;
           },
           false},
          {"tiles of 8192 x 8192", "tiles.tif",
           [] {
             return Tiff({{256, 4, 1, uint32_t(kSide)},
                          {257, 4, 1, uint32_t(kSide)},
                          {258, 3, 1, 8},
                          {259, 3, 1, 1},
                          {262, 3, 1, 1},
                          {277, 3, 1, 1},
                          {322, 4, 1, uint32_t(kSide)},
                          {323, 4, 1, uint32_t(kSide)},
                          {324, 4, 1, 200},
                          {325, 4, 1, uint32_t(kSide) * kSide}},
                         0, std::string(64, '\0'));
           },
           false},
      });
}

TEST(BoundedCodecs, BitmapsAndIcons) {
  ReadEach("bmp",
           {
               {"RLE8 of 8192 x 8192 that ends at once", "end.bmp",
                [] { return BmpRle(kSide, kSide, 8, std::string("\0\1", 2)); }, true},
               {"RLE4 of 8192 x 8192 that ends at once", "end4.bmp",
                [] { return BmpRle(kSide, kSide, 4, std::string("\0\1", 2)); }, true},
               {"RLE8 of 8192 x 8192 jumping by deltas to the end", "delta.bmp",
                [] {
                  std::string jumps;
                  for (int y = 0; y < kSide; y += 255)
                    jumps += std::string("\0\2\0", 3) + char(std::min(255, kSide - y - 1));
                  return BmpRle(kSide, kSide, 8, jumps + std::string("\0\1", 2));
                },
                true},
               {"RLE8 of 8192 x 8192, runs over every row", "runs.bmp",
                [] { return BmpRle(kSide, kSide, 8, RleRows(kSide, kSide)); }, true, kLargestSeconds},
               {"RLE8 of 16384 x 4096 that ends at once", "wide.bmp",
                [] { return BmpRle(2 * kSide, kSide / 2, 8, std::string("\0\1", 2)); }, true},
               {"24-bit 8192 x 8192 of no pixel data", "nodata.bmp",
                [] { return BmpHeader(kSide, kSide, 24, 0, 0, 54); }, false},
               {"32-bit bit fields 8192 x 8192 of no pixel data", "fields.bmp",
                [] { return BmpHeader(kSide, kSide, 32, 3, 0, 66) + std::string(12, '\xFF'); }, false},
               {"height -2147483648", "neg.bmp",
                [] { return BmpHeader(16, INT32_MIN, 24, 0, 0, 54) + std::string(64, '\0'); }, false},
               {"a palette of 4,294,967,295 colours", "palette.bmp",
                [] { return BmpHeader(16, 16, 8, 0, 0xFFFFFFFFu, 54) + std::string(1024, '\0'); }, false},
               {"RLE8 of end-of-line escapes far past the rows", "lines.bmp",
                [] { return BmpRle(16, 16, 8, Repeat(std::string("\0\0", 2), 100000)); }, false},
               {"RLE8 of 100,000 runs past the row's end", "pastrow.bmp",
                [] {
                  return BmpRle(16, 16, 8,
                                Repeat(std::string("\xFF\x01", 2), 100000) + std::string("\0\1", 2));
                },
                true},
           });
  ReadEach("ico", {
                      {"65,535 entries declared, one held", "many.ico",
                       [] { return Ico(1, IconImage(32, 32), 65535); }, false},
                      {"65,535 entries, all the same image", "same.ico",
                       [] { return Ico(65535, IconImage(32, 32)); }, true},
                      {"an entry whose image claims 1024 x 1024 and holds none", "claim.ico",
                       [] {
                         std::string img = IconImage(1, 1);
                         PutLe32(&img[4], 1024), PutLe32(&img[8], 2048);
                         return Ico(1, img);
                       },
                       false},
                      {"an entry holding an 8192 x 8192 PNG", "png.ico",
                       [] { return Ico(1, PngZeros(kSide, kSide, 1, 0)); }, false},
                  });
}

TEST(BoundedCodecs, Metafiles) {
  const std::string brush = MetafileRecord(0x02FC, {0, 0x00FF, 0, 0});
  const std::string select0 = MetafileRecord(0x012D, {0});
  const std::string page = MetafileRecord(0x041B, {32000, 32000, 0, 0});
  ReadEach("wmf",
           {
               {"200,000 brushes made and never deleted", "brushes.wmf",
                [=] { return Metafile(Repeat(brush, 200000)); }, true},
               {"200,000 palettes made and never deleted", "palettes.wmf",
                [=] {
                  return Metafile(Repeat(MetafileRecord(0x00F7, {0, 1, 0, 0}), 200000));
                },
                true},
               {"65,535 objects, then one deleted and made again 100,000 times", "churn.wmf",
                [=] {
                  return Metafile(Repeat(brush, 65535) + Repeat(MetafileRecord(0x01F0, {0}) + brush, 100000));
                },
                true},
               {"a polygon of 32,767 page-wide points", "polygon.wmf",
                [=] {
                  std::string r;
                  AppendLe32(r, 3 + 1 + 2 * 32767);
                  AppendLe16(r, 0x0324);
                  AppendLe16(r, 32767);
                  for (int i = 0; i < 32767; ++i)
                    AppendLe16(r, uint16_t(i % 2 ? 32000 : 0)), AppendLe16(r, uint16_t(i));
                  return Metafile(brush + select0 + r);
                },
                true},
               // Each drawing call collects its pixels before it writes them: for shapes the size
               // of the largest page that must cost a strip at a time, not a byte for each pixel
               // of the page beside the picture.
               {"100,000 page-sized rectangles after a window of one unit", "window.wmf",
                [=] {
                  return Metafile(MetafileRecord(0x020C, {1, 1}) + brush + select0 +
                                  Repeat(MetafileRecord(0x041B, {1, 1, 0, 0}), 100000));
                },
                true},
               {"100,000 page-sized ellipses", "ellipses.wmf",
                [=] {
                  return Metafile(brush + select0 +
                                  Repeat(MetafileRecord(0x0418, {32000, 32000, 0, 0}), 100000));
                },
                true},
               {"100,000 page-sized rectangles of a dotted pen", "dotted.wmf",
                [=] {
                  return Metafile(brush + select0 + MetafileRecord(0x02FA, {2, 1, 0, 0, 0}) +
                                  MetafileRecord(0x012D, {1}) + Repeat(page, 100000));
                },
                true},
               {"100,000 polygons filling the page", "polygons.wmf",
                [=] {
                  return Metafile(
                      brush + select0 +
                      Repeat(MetafileRecord(0x0324, {4, 0, 0, 32000, 0, 32000, 32000, 0, 32000}), 100000));
                },
                true},
               {"100,000 lines across the page's diagonal", "diagonals.wmf",
                [=] {
                  return Metafile(Repeat(
                      MetafileRecord(0x0214, {0, 0}) + MetafileRecord(0x0213, {32000, 32000}), 100000));
                },
                true},
               {"lines across a quarter of the page with a pen a tenth of the page wide", "wide.wmf",
                [=] {
                  return Metafile(
                      MetafileRecord(0x02FA, {0, 3200, 0, 0, 0}) + MetafileRecord(0x012D, {0}) +
                      Repeat(MetafileRecord(0x0214, {0, 0}) + MetafileRecord(0x0213, {16000, 16000}), 1000));
                },
                true},
               {"a record that claims 2^32 words", "claims.wmf",
                [=] {
                  std::string r;
                  AppendLe32(r, 0xFFFFFFFFu);
                  AppendLe16(r, 0x041B);
                  return Metafile(r + page);
                },
                false},
           });
}

TEST(BoundedCodecs, FormatTableCodecs) {
  ReadEach(
      "fmt",
      {
          {"binary PPM 8192 x 8192 of no pixel data", "raw.ppm",
           [] { return "P6\n" + std::to_string(kSide) + " " + std::to_string(kSide) + "\n255\n"; }, false},
          {"plain PPM 8192 x 8192 of one pixel", "plain.ppm",
           [] { return "P3\n" + std::to_string(kSide) + " " + std::to_string(kSide) + "\n255\n1 2 3\n"; },
           false},
          {"binary PGM 8192 x 8192 of no pixel data", "raw.pgm",
           [] { return "P5\n" + std::to_string(kSide) + " " + std::to_string(kSide) + "\n255\n"; }, false},
          {"Targa 8192 x 8192 RLE of a few packets", "rle.tga",
           [] {
             std::string s(18, '\0');
             s[2] = 10;
             PutLe16(&s[12], uint16_t(kSide));
             PutLe16(&s[14], uint16_t(kSide));
             s[16] = 24;
             return s + Repeat(std::string("\xFF\x10\x20\x30", 4), 8);
           },
           false},
          {"X bitmap 8192 x 8192 of one byte", "one.xbm",
           [] { return "#define a_width 8192\n#define a_height 8192\nstatic char a_bits[] = {0x00,\n"; },
           false},
          {"portrait one byte short of its three planes", "short.cvp",
           [] { return std::string(512 * 512 * 3 - 1, 'p'); }, false},
          {"PCX 8192 x 8192 of a few runs", "runs.pcx",
           [] {
             std::string s(128, '\0');
             s[0] = 10, s[1] = 5, s[2] = 1, s[3] = 8;
             PutLe16(&s[8], uint16_t(kSide - 1));
             PutLe16(&s[10], uint16_t(kSide - 1));
             s[65] = 1;
             PutLe16(&s[66], uint16_t(kSide));
             return s + Repeat(std::string("\xFF\x01", 2), 16);
           },
           false},
      });
}

// Animated cursors, read as the program reads its own: each step of the sequence is a copy of
// the icon it shows.
TEST(BoundedCodecs, AnimatedCursors) {
  const struct {
    const char* what;
    int side;
    uint32_t steps;
    bool loads;
  } cases[] = {
      {"a 32 x 32 icon shown 4,096 times", 32, 4096, true},
      {"a 256 x 256 icon shown 4,096 times", 256, 4096, false},
      {"a 1024 x 1024 icon shown 4,096 times", 1024, 4096, false},
      {"a 1024 x 1024 icon shown 8 times", 1024, 8, true},
  };
  TempDir dir;
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    const std::string path = dir.File("c.ani");
    const std::string bytes = AnimatedCursor(k.side, k.steps);
    WriteAll(path, bytes);
    const ChildRun c = RunInChild([&] {
      TAnimatedCursorImage ani;
      ani.LoadFromFile(path);
      return std::to_string(ani.FrameCount());
    });
    std::printf("[ani] %-72s %8zu B %6.3f s %7.1f MB  %s\n", k.what, bytes.size(), c.CpuSeconds, c.PeakMB,
                c.Result.c_str());
    ASSERT_TRUE(c.Finished) << c.Result;
    EXPECT_EQ(c.Result.rfind("raised: ", 0) != 0, k.loads) << c.Result;
    if (k.loads) { EXPECT_EQ(c.Result, std::to_string(k.steps)); }
    EXPECT_LE(c.CpuSeconds, kSeconds * kTimeSlack);
    EXPECT_LE(c.PeakMB, kPeakMB * kMemorySlack);
  }
}
