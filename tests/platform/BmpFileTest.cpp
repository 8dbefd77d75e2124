// BMP files read and written by the platform against the tools.
#include "platform/BmpFile.h"

#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>

#include "platform/Graphics.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

// The tool's own decoding: RGB bytes, rows from the top.
std::string ToolRgb(const std::string& file) {
  int rc = 0;
  std::string out = ShellOutput("convert '" + file + "' -depth 8 rgb:- 2>/dev/null", &rc);
  EXPECT_EQ(rc, 0) << file;
  return out;
}

std::string OurRgb(const TBitmap& b) {
  std::string s;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      TColor c = b.GetPixelColor(x, y);
      s += char(GetRValue(c));
      s += char(GetGValue(c));
      s += char(GetBValue(c));
    }
  return s;
}

std::vector<std::string> Fixtures(const TempDir& dir) {
  int rc = 0;
  ShellOutput("bash '" ZELMORA_FIXTURES "/make_bmp_fixtures.sh' '" + dir.Path() + "' 2>&1", &rc);
  EXPECT_EQ(rc, 0);
  std::vector<std::string> files;
  if (DIR* d = opendir(dir.Path().c_str())) {
    while (dirent* e = readdir(d))
      if (std::string n = e->d_name; n.size() > 4 && n.substr(n.size() - 4) == ".bmp") files.push_back(n);
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(BmpFile, ReadsToolMadeFilesPixelEqualToTheTool) {
  REQUIRE_TOOL("convert");
  REQUIRE_TOOL("ppmtobmp");
  TempDir dir;
  auto files = Fixtures(dir);
  ASSERT_GE(files.size(), 15u);
  for (auto& f : files) {
    TBitmap b;
    ASSERT_NO_THROW(b.LoadFromFile(dir.File(f))) << f;
    EXPECT_EQ(b.Width(), 13) << f;
    EXPECT_EQ(b.Height(), 7) << f;
    EXPECT_EQ(OurRgb(b), ToolRgb(dir.File(f))) << f;
  }
  TBitmap b;
  b.LoadFromFile(dir.File("pbm_1.bmp"));
  EXPECT_EQ(b.PixelFormat(), pf1bit);
  b.LoadFromFile(dir.File("pbm_4.bmp"));
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  b.LoadFromFile(dir.File("im_rle8.bmp"));
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  b.LoadFromFile(dir.File("im_565.bmp"));
  EXPECT_EQ(b.PixelFormat(), pf16bit);
  b.LoadFromFile(dir.File("im_555.bmp"));
  EXPECT_EQ(b.PixelFormat(), pf15bit);
  b.LoadFromFile(dir.File("im_v5_32.bmp"));
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  EXPECT_EQ(b.ScanLine(0)[3], 128);  // the alpha channel is kept
}

void Sample(TBitmap& b, TPixelFormat f) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(13, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 13; ++x)
      b.SetPixelColor(x, y, RGB(uint8_t(x * 19), uint8_t(y * 60), uint8_t(255 - x * 7)));
  b.SetPixelFormat(f);
}

TEST(BmpFile, FilesWeWriteReadBackInTheTools) {
  REQUIRE_TOOL("convert");
  REQUIRE_TOOL("bmptopnm");
  TempDir dir;
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap b;
    Sample(b, f);
    std::string file = dir.File("ours" + std::to_string(int(f)) + ".bmp");
    b.SaveToFile(file);
    EXPECT_EQ(ToolRgb(file), OurRgb(b)) << "ImageMagick, format " << f;
    // netpbm scales 5-bit channels by 255/31 and does not read the masks of a 5-6-5 file
    // with a 40-byte header, so those two are left to ImageMagick.
    if (f != pf15bit && f != pf16bit) {
      int rc = 0;
      std::string pnm =
          ShellOutput("bmptopnm '" + file + "' 2>/dev/null | convert ppm:- -depth 8 rgb:-", &rc);
      EXPECT_EQ(pnm, OurRgb(b)) << "bmptopnm, format " << f;
    }
    TBitmap back;
    back.LoadFromFile(file);
    EXPECT_EQ(back.PixelFormat(), f);
    EXPECT_EQ(OurRgb(back), OurRgb(b));
  }
}

// A valid 8-bit RLE file made by hand: 4 x 2, palette of 2.
std::string Rle8(const std::string& runs) {
  std::string s = "BM";
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s += char((v >> (8 * i)) & 255);
  };
  put(uint32_t(14 + 40 + 8 + runs.size()), 4);
  put(0, 4);
  put(14 + 40 + 8, 4);
  put(40, 4);
  put(4, 4);
  put(2, 4);
  put(1, 2);
  put(8, 2);
  put(1, 4);
  put(uint32_t(runs.size()), 4);
  put(0, 4);
  put(0, 4);
  put(2, 4);
  put(0, 4);
  put(0x000000, 4);
  put(0xFFFFFF, 4);
  return s + runs;
}

TEST(BmpFile, RunLengthEscapesAndTopDownRows) {
  // Bottom row: run of 4 index 1; end of line; top row: literal 1 0 1 0; end of bitmap.
  std::string good = Rle8(std::string("\x04\x01\x00\x00\x00\x04\x01\x00\x01\x00\x00\x01", 12));
  TBitmap b;
  TMemoryStream m;
  m.WriteBuffer(good.data(), int64_t(good.size()));
  m.SetPosition(0);
  b.LoadFromStream(m);
  EXPECT_EQ(b.GetPixelColor(0, 1), clWhite);
  EXPECT_EQ(b.GetPixelColor(3, 1), clWhite);
  EXPECT_EQ(b.GetPixelColor(0, 0), clWhite);
  EXPECT_EQ(b.GetPixelColor(1, 0), clBlack);
  // RLE4: the same file with 4-bit runs alternating two indices.
  std::string rle4 = Rle8(std::string("\x04\x10\x00\x00\x00\x03\x01\x00\x00\x00\x00\x01", 12));
  rle4[28] = 4;
  rle4[30] = 2;
  TBitmap f;
  ReadBmp(reinterpret_cast<const uint8_t*>(rle4.data()), rle4.size(), f);
  EXPECT_EQ(f.PixelFormat(), pf4bit);
  EXPECT_EQ(f.GetPixelColor(0, 1), clWhite);  // run 1 0 1 0 on the bottom row
  EXPECT_EQ(f.GetPixelColor(1, 1), clBlack);
  EXPECT_EQ(f.GetPixelColor(2, 1), clWhite);
  EXPECT_EQ(f.GetPixelColor(0, 0), clBlack);  // literal 0 1 0 on the top row
  EXPECT_EQ(f.GetPixelColor(1, 0), clWhite);
  EXPECT_EQ(f.GetPixelColor(3, 0), clBlack);  // not written
  // Delta skips pixels (they stay index 0).
  std::string delta = Rle8(std::string("\x00\x02\x02\x01\x01\x01\x00\x01", 8));
  TBitmap d;
  ReadBmp(reinterpret_cast<const uint8_t*>(delta.data()), delta.size(), d);
  EXPECT_EQ(d.GetPixelColor(2, 0), clWhite);
  EXPECT_EQ(d.GetPixelColor(1, 0), clBlack);
  // Top-down: a negative height puts the first stored row at the top.
  TBitmap t(2, 2, pf24bit);
  t.SetPixelColor(0, 0, clRed);
  std::string bytes = WriteBmp(t);
  std::string td = bytes;
  int32_t h = -2;
  std::memcpy(&td[22], &h, 4);
  std::memcpy(&td[54], &bytes[54 + 8], 8);
  std::memcpy(&td[54 + 8], &bytes[54], 8);
  TBitmap r;
  ReadBmp(reinterpret_cast<const uint8_t*>(td.data()), td.size(), r);
  EXPECT_EQ(r.GetPixelColor(0, 0), clRed);
  EXPECT_EQ(r.GetPixelColor(0, 1), clBlack);
}

TEST(BmpFile, DamagedFilesFailCleanlyAndLeaveTheBitmap) {
  TBitmap src;
  Sample(src, pf8bit);
  const std::string good = WriteBmp(src);
  const std::string rle = Rle8(std::string("\x04\x01\x00\x00\x04\x01\x00\x01", 8));
  struct Patch {
    size_t off;
    uint32_t value;
    int bytes;
    const char* what;
  };
  std::vector<std::string> bad;
  for (size_t cut : {size_t(0), size_t(1), size_t(2), size_t(13), size_t(14), size_t(17), size_t(30),
                     size_t(53), size_t(54), size_t(60), size_t(54 + 1024 - 1), good.size() - 4})
    bad.push_back(good.substr(0, cut));
  for (Patch p :
       {Patch{0, 'X', 1, "signature"}, Patch{14, 41, 4, "header size"}, Patch{14, 200, 4, "header size"},
        Patch{18, 0x7FFFFFFF, 4, "width"}, Patch{18, 0, 4, "width 0"},
        Patch{22, 0x80000000, 4, "height INT_MIN"}, Patch{22, 100000, 4, "height"}, Patch{26, 2, 2, "planes"},
        Patch{28, 7, 2, "bit count"}, Patch{30, 9, 4, "compression"}, Patch{30, 2, 4, "RLE4 on 8 bits"},
        Patch{46, 1000, 4, "colours used"}, Patch{10, 0xFFFFFFF0, 4, "pixel offset"},
        Patch{10, 60, 4, "offset inside palette"}}) {
    std::string s = good;
    for (int i = 0; i < p.bytes; ++i) s[p.off + size_t(i)] = char((p.value >> (8 * i)) & 255);
    bad.push_back(s);
  }
  // Run-length data: a run past the row, a literal past the data, no end marker, delta out.
  bad.push_back(Rle8(std::string("\x04\x01\x00\x00\x04\x01\x00\x00\x04\x01\x00\x01", 12)));
  bad.push_back(Rle8(std::string("\x00\x08\x01\x01", 4)));
  bad.push_back(Rle8(std::string("\x04\x01\x00\x00\x04\x01", 6)));
  bad.push_back(Rle8(std::string("\x00\x02\x09\x00\x00\x01", 6)));
  bad.push_back(Rle8(std::string("\x00\x00\x00\x00\x00\x00\x04\x01\x00\x01", 10)));
  for (size_t i = 0; i < bad.size(); ++i) {
    TBitmap b(3, 2, pf24bit);
    b.SetPixelColor(1, 1, clRed);
    TMemoryStream m;
    m.WriteBuffer(bad[i].data(), int64_t(bad[i].size()));
    m.SetPosition(0);
    EXPECT_THROW(b.LoadFromStream(m), EInvalidGraphic) << "case " << i;
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    EXPECT_EQ(b.GetPixelColor(1, 1), clRed);
  }
  TBitmap ok;
  EXPECT_NO_THROW(ReadBmp(reinterpret_cast<const uint8_t*>(rle.data()), rle.size(), ok));
}

// The same image with an info header of another size (OS/2 2.x: 16 to 64 bytes; V4: 108).
std::string WithHeaderSize(const std::string& info, uint32_t size) {
  uint32_t oldOff;
  std::memcpy(&oldOff, &info[10], 4);
  std::string h = info.substr(14, std::min<uint32_t>(size, 40));
  h.resize(size, '\0');
  std::memcpy(&h[0], &size, 4);
  std::string rest = info.substr(54);
  std::string s = info.substr(0, 14) + h + rest;
  uint32_t off = oldOff - 40 + size, total = uint32_t(s.size());
  std::memcpy(&s[10], &off, 4);
  std::memcpy(&s[2], &total, 4);
  return s;
}

TEST(BmpFile, ReadsEveryInfoHeaderSize) {
  for (TPixelFormat f : {pf8bit, pf24bit}) {
    TBitmap b;
    Sample(b, f);
    const std::string info = WriteBmp(b);
    for (uint32_t size : {16u, 40u, 64u, 108u, 124u}) {
      std::string s = WithHeaderSize(info, size);
      TBitmap r;
      ASSERT_NO_THROW(ReadBmp(reinterpret_cast<const uint8_t*>(s.data()), s.size(), r)) << size;
      EXPECT_EQ(r.PixelFormat(), f);
      EXPECT_EQ(OurRgb(r), OurRgb(b)) << size;
    }
  }
}

TEST(BmpFile, RandomDamageNeverReadsOutOfBounds) {
  std::vector<std::string> seeds;
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap b;
    Sample(b, f);
    seeds.push_back(WriteBmp(b));
  }
  seeds.push_back(Rle8(std::string("\x04\x01\x00\x00\x00\x04\x01\x00\x01\x00\x00\x01", 12)));
  uint32_t seed = 12345;
  auto rnd = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  int failures = 0;
  for (const std::string& good : seeds)
    for (int round = 0; round < 1500; ++round) {
      std::string s = good;
      int n = 1 + int(rnd() % 4);
      for (int i = 0; i < n; ++i) s[rnd() % std::min<size_t>(s.size(), 80)] = char(rnd());
      if (rnd() % 4 == 0) s.resize(rnd() % s.size());
      TBitmap b;
      try {
        ReadBmp(reinterpret_cast<const uint8_t*>(s.data()), s.size(), b);
        EXPECT_LE(int64_t(b.Width()) * b.Height(), MaxImagePixels);
      } catch (const EInvalidGraphic&) {
        ++failures;
        EXPECT_TRUE(b.Empty());
      }
    }
  EXPECT_GT(failures, 0);
}

TEST(BmpFile, StreamIsLeftAfterTheFile) {
  TBitmap a(3, 2, pf24bit);
  a.SetPixelColor(2, 1, clBlue);
  TMemoryStream m;
  a.SaveToStream(m);
  m.WriteDWord(0xCAFEBABE);
  m.SetPosition(0);
  TBitmap b;
  b.LoadFromStream(m);
  EXPECT_EQ(b.GetPixelColor(2, 1), clBlue);
  EXPECT_EQ(m.ReadDWord(), 0xCAFEBABEu);
}

TEST(BmpFile, WritesAPlainInfoHeader) {
  TBitmap b;
  Sample(b, pf16bit);
  std::string s = WriteBmp(b);
  uint32_t hs, comp, off;
  std::memcpy(&hs, &s[14], 4);
  std::memcpy(&comp, &s[30], 4);
  std::memcpy(&off, &s[10], 4);
  EXPECT_EQ(hs, 40u);
  EXPECT_EQ(comp, 3u);  // 5-6-5 needs its masks
  EXPECT_EQ(off, 14u + 40 + 12);
  EXPECT_EQ(s.size(), off + 5u * 28);
}

}  // namespace
