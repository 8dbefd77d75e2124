// The image class's dispatch by extension: PPM, JPEG, BMP and the files that should open.
#include "engine/XImage.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/XBlend.h"
#include "platform/SysUtils.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

uint32_t Pixel(TBitmap& b, int x, int y) { return reinterpret_cast<uint32_t*>(b.ScanLine(y))[x]; }

// A small picture with distinct colours, saved by us as a 24-bit BMP for the tools.
void Gradient(XImage& img, int w, int h) {
  img.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      reinterpret_cast<uint32_t*>(img.ScanLine(y))[x] =
          MakePixel(x * 255 / w, y * 255 / h, (x + y) * 7 & 255, 255);
}

std::string RgbOf(TBitmap& b) {
  std::string s;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      uint32_t p = Pixel(b, x, y);
      s += char(ColorHighByte(p));
      s += char(ColorMidByte(p));
      s += char(ColorLowByte(p));
    }
  return s;
}

}  // namespace

TEST(XImagePPM, WriterBytesAndToolsReadThemBack) {
  TempDir dir;
  XImage img;
  img.SetSize(2, 1);
  reinterpret_cast<uint32_t*>(img.ScanLine(0))[0] = MakePixel(255, 0, 10, 255);
  reinterpret_cast<uint32_t*>(img.ScanLine(0))[1] = MakePixel(1, 2, 3, 0);
  std::string f = dir.Path() + "/a.ppm";
  img.SaveToFile(f);
  EXPECT_EQ(ReadAll(f), "P3\r\n2 1 255\r\n255 0 10\r\n1 2 3\r\n");
  EXPECT_EQ(img.FileName, f);
  REQUIRE_TOOL("pamfile");
  REQUIRE_TOOL("convert");
  EXPECT_NE(ShellOutput("pamfile '" + f + "'").find("2 by 1"), std::string::npos);
  EXPECT_EQ(ShellOutput("convert '" + f + "' -depth 8 rgb:-"), std::string("\xff\x00\x0a\x01\x02\x03", 6));

  // A 24-bit bitmap is written from its own layout.
  img.SetPixelFormat(pf24bit);
  img.SaveToFile(f);
  EXPECT_EQ(ReadAll(f), "P3\r\n2 1 255\r\n255 0 10\r\n1 2 3\r\n");
}

TEST(XImagePPM, ReaderFixtures) {
  TempDir dir;
  struct Case {
    const char* text;
    int w, h;
    uint32_t first, last;
  } cases[] = {
      {"P3\n# a comment\n2 1 255\n1 2 3 4 5 6\n", 2, 1, 0xFF010203u, 0xFF040506u},
      {"P3\r\n2 1\r\n255\r\n10 20 30\r\n40 50 60", 2, 1, 0xFF0A141Eu, 0xFF28323Cu},
      {"P3 1 1 15 15 7 0", 1, 1, 0xFFFF7700u, 0xFFFF7700u},
      {"# first\nP3 1 1 255 #x\n300 -4 12.9", 1, 1, 0xFFFF000Cu, 0xFFFF000Cu},  // clamped, truncated
      {"P3 1 2 65535 65535 0 0 0 0 65535", 1, 2, 0xFFFF0000u, 0xFF0000FFu},
  };
  for (const Case& c : cases) {
    std::string f = dir.Path() + "/ok.ppm";
    WriteAll(f, c.text);
    XImage img;
    ASSERT_NO_THROW(img.LoadFromFile(f)) << c.text;
    ASSERT_EQ(img.Width(), c.w) << c.text;
    ASSERT_EQ(img.Height(), c.h) << c.text;
    EXPECT_EQ(img.PixelFormat(), pf32bit);
    EXPECT_EQ(Pixel(img, 0, 0), c.first) << c.text;
    EXPECT_EQ(Pixel(img, c.w - 1, c.h - 1), c.last) << c.text;
  }
}

TEST(XImagePPM, BadFilesFailAndLeaveTheImage) {
  TempDir dir;
  const char* bad[] = {
      "P3 2 1 255 1 2 3 4 5",  // short data
      "P3 1 1 0 0 0 0",        // zero maximum
      "P3 1 1 65536 0 0 0",    // maximum too large
      "P3 0 1 255",            // zero width
      "P3 1 -1 255 0 0 0",     // negative height
      "P3 nan 1 255 0 0 0",    // not a number
      "P3 inf 1 255 0 0 0",
      "P3 0x2 1 255 0 0 0 0 0 0",  // hexadecimal
      "P3 1 1 255 1 2 x",
      "P3 40000 1 255 0 0 0",  // beyond the image limit
      "P6 2 1 255 abc",        // a binary PPM that ends early
      "P3\n# ends in a comment",
      "",
  };
  for (const char* text : bad) {
    std::string f = dir.Path() + "/bad.ppm";
    WriteAll(f, text);
    XImage img;
    img.SetSize(3, 2);
    ImageFill(img, img, 0x12345678u);
    img.FileName = "before";
    EXPECT_THROW(img.LoadFromFile(f), EInvalidGraphic) << text;
    EXPECT_EQ(img.Width(), 3);
    EXPECT_EQ(Pixel(img, 2, 1), 0x12345678u);
    EXPECT_EQ(img.FileName, "before");
  }
}

TEST(XImageJPEG, QualityAndToolsAgree) {
  REQUIRE_TOOL("identify");
  REQUIRE_TOOL("cjpeg");
  REQUIRE_TOOL("djpeg");
  TempDir dir;
  XImage img;
  Gradient(img, 37, 21);
  std::string f = dir.Path() + "/q.jpg";
  img.SaveToFile(f);
  EXPECT_EQ(ShellOutput("identify -format %Q '" + f + "'"), "100");
  img.JPEGQuality = 40;
  img.SaveToFile(dir.Path() + "/q40.JPEG");
  EXPECT_EQ(ShellOutput("identify -format %Q '" + dir.Path() + "/q40.JPEG'"), "40");
  // At the high qualities the colours keep full resolution (4:4:4), below them they are
  // halved both ways, as the common tools do.
  EXPECT_EQ(ShellOutput("identify -format '%[jpeg:sampling-factor]' '" + f + "'"), "1x1,1x1,1x1");
  EXPECT_EQ(ShellOutput("identify -format '%[jpeg:sampling-factor]' '" + dir.Path() + "/q40.JPEG'"),
            "2x2,1x1,1x1");
  img.JPEGQuality = 90;
  img.SaveToFile(dir.Path() + "/q90.jpg");
  EXPECT_EQ(ShellOutput("identify -format '%[jpeg:sampling-factor]' '" + dir.Path() + "/q90.jpg'"),
            "1x1,1x1,1x1");

  // Files made by cjpeg decode exactly as djpeg decodes them.
  std::string bmp = dir.Path() + "/src.bmp";
  img.SetPixelFormat(pf24bit);
  img.SaveToFile(bmp);
  struct Case {
    const char* name;
    const char* options;
  } cases[] = {{"base.jpg", "-quality 85"}, {"prog.jpe", "-progressive"}, {"grey.jpg", "-grayscale"}};
  for (const Case& c : cases) {
    std::string j = dir.Path() + "/" + c.name, ppm = j + ".ppm";
    int rc = 0;
    ShellOutput(std::string("cjpeg ") + c.options + " -outfile '" + j + "' '" + bmp + "'", &rc);
    ASSERT_EQ(rc, 0) << c.name;
    std::string ref = ShellOutput("djpeg -pnm '" + j + "' | convert - -depth 8 rgb:-", &rc);
    XImage got;
    got.LoadFromFile(j);
    EXPECT_EQ(got.PixelFormat(), pf32bit);
    EXPECT_EQ(Pixel(got, 3, 4) >> 24, 255u) << c.name;
    EXPECT_EQ(RgbOf(got), ref) << c.name;
    EXPECT_EQ(got.FileName, j);
  }
}

TEST(XImageJPEG, TruncatedAndForeignFilesFailCleanly) {
  TempDir dir;
  XImage img;
  Gradient(img, 16, 16);
  std::string f = dir.Path() + "/t.jpg";
  img.SaveToFile(f);
  std::string bytes = ReadAll(f);
  for (size_t n : {size_t(0), size_t(3), size_t(20), bytes.size() / 3}) {
    WriteAll(f, bytes.substr(0, n));
    XImage other;
    other.SetSize(2, 2);
    EXPECT_ANY_THROW(other.LoadFromFile(f)) << n;
    EXPECT_EQ(other.Width(), 2);
  }
  WriteAll(f, "GIF89a not a jpeg at all, really not");
  XImage other;
  EXPECT_THROW(other.LoadFromFile(f), EInvalidGraphic);
}

TEST(XImageBMP, ThirtyTwoBitsWithoutAlphaLoadOpaqueWithAlphaKept) {
  TempDir dir;
  std::string f = dir.Path() + "/a.bmp";
  XImage img;
  img.SetSize(2, 1);
  ImageFill(img, img, 0x00112233u);
  img.SaveToFile(f);  // 32 bits, every fourth byte 0
  XImage back;
  back.LoadFromFile(f);
  EXPECT_EQ(Pixel(back, 1, 0), 0xFF112233u);

  reinterpret_cast<uint32_t*>(img.ScanLine(0))[0] = 0x80112233u;
  img.SaveToFile(dir.Path() + "/b.DIB");
  back.LoadFromFile(dir.Path() + "/b.DIB");
  EXPECT_EQ(Pixel(back, 0, 0), 0x80112233u);
  EXPECT_EQ(Pixel(back, 1, 0), 0x00112233u);

  img.SetPixelFormat(pf24bit);
  img.SaveToFile(f);
  back.LoadFromFile(f);
  EXPECT_EQ(back.PixelFormat(), pf32bit);
  EXPECT_EQ(Pixel(back, 0, 0), 0xFF112233u);
}

TEST(XImageDispatch, ExtensionsReachTheirCodecs) {
  TempDir dir;
  ASSERT_TRUE(ForceDirectories(dir.Path() + "/fold.er"));
  ScriptedServices msgs;
  XImage img;
  Gradient(img, 8, 6);
  struct Case {
    const char* name;
    const char* magic;  // the first bytes written; nullptr when the save must fail
  } cases[] = {
      {"a.JPG", "\xff\xd8"}, {"b.jpeg", "\xff\xd8"}, {"c.Jpe", "\xff\xd8"}, {"d.DIB", "BM"}, {"e.bmp", "BM"},
      {"f.PPM", "P3"},       {"fold.er/g", nullptr}, {"h.Png", "\x89P"},    {"i.gif", "GI"}, {"j.tiff", "II"},
  };
  for (const Case& c : cases) {
    std::string f = dir.Path() + "/" + c.name;
    if (c.magic) {
      img.SaveToFile(f);
      EXPECT_EQ(ReadAll(f).substr(0, 2), c.magic) << c.name;
      XImage back;
      back.LoadFromFile(f);
      EXPECT_EQ(back.Width(), 8) << c.name;
      EXPECT_EQ(back.PixelFormat(), pf32bit) << c.name;
      EXPECT_EQ(Pixel(back, 5, 5) >> 24, 255u) << c.name;
    } else {
      EXPECT_THROW(img.SaveToFile(f), EInvalidGraphic) << c.name;
      EXPECT_FALSE(FileExists(f)) << c.name;
      XImage back;
      EXPECT_THROW(back.LoadFromFile(f), Exception) << c.name;
    }
  }
  EXPECT_TRUE(msgs.Boxes.empty());
  img.SaveToFile(dir.Path() + "/k.TIF");
  EXPECT_FALSE(FileExists(dir.Path() + "/k.TIF"));
  ASSERT_EQ(msgs.Boxes.size(), 1u);
  // The refusal says which name does write a TIFF file, and that name does.
  EXPECT_EQ(msgs.Boxes[0].text.rfind("Sorry, TIF files are not supported", 0), 0u) << msgs.Boxes[0].text;
  EXPECT_NE(msgs.Boxes[0].text.find("\".tiff\""), std::string::npos) << msgs.Boxes[0].text;
  img.SaveToFile(dir.Path() + "/k.tiff");
  const std::string tiff = ReadAll(dir.Path() + "/k.tiff");
  EXPECT_TRUE(tiff.rfind("II*", 0) == 0 || tiff.rfind("MM", 0) == 0) << tiff.substr(0, 4);
  EXPECT_EQ(msgs.Boxes.size(), 1u);
}

// Every codec's save replaces the user's file the same way: through a symbolic link into the
// real file, which keeps its permission bits.
TEST(XImageDispatch, SavesFollowLinksAndKeepTheMode) {
  TempDir dir;
  XImage img;
  Gradient(img, 8, 6);
  img.SetPixelFormat(pf24bit);
  for (const char* ext : {".jpg", ".bmp", ".ppm", ".png", ".gif", ".pcx", ".tga"}) {
    std::string real = dir.File(std::string("real") + ext), link = dir.File(std::string("link") + ext);
    WriteAll(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0600), 0);
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    img.SaveToFile(link);
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << ext;
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << ext;
    XImage back;
    back.LoadFromFile(real);
    EXPECT_EQ(back.Width(), 8) << ext;
  }
}

TEST(XImageSpacer, FortyTwoBytesTheToolsAccept) {
  TempDir dir;
  std::string f = dir.Path() + "/a.gif";
  ASSERT_TRUE(WriteSpacerGIF(f));
  EXPECT_EQ(ReadAll(f).size(), 42u);
  EXPECT_FALSE(WriteSpacerGIF(dir.Path() + "/no/such/folder/a.gif"));
  REQUIRE_TOOL("giftext");
  REQUIRE_TOOL("identify");
  int rc = 0;
  std::string text = ShellOutput("giftext '" + f + "'", &rc);
  EXPECT_EQ(rc, 0) << text;
  EXPECT_NE(text.find("Width = 1"), std::string::npos) << text;
  EXPECT_EQ(ShellOutput("identify -format '%w %h %A' '" + f + "'").substr(0, 4), "1 1 ");
  EXPECT_NE(ShellOutput("identify -format '%[opaque]' '" + f + "'").find("alse"), std::string::npos);
}

TEST(XImageBitmap, SizesFormatsAndAssign) {
  XImage img;
  EXPECT_EQ(img.PixelFormat(), pf32bit);
  EXPECT_EQ(img.JPEGQuality, 100);
  EXPECT_EQ(BitmapBits(img), nullptr);
  img.SetSize(3, 2);
  ImageFill(img, img, 0x00ABCDEFu);
  img.SetSize(3, 2);
  EXPECT_EQ(Pixel(img, 2, 1), 0x00ABCDEFu);
  // Already 32 bits: the alpha bytes stay.
  BitmapSetPixelFormat(img, 7);
  EXPECT_EQ(Pixel(img, 0, 0), 0x00ABCDEFu);
  BitmapSetPixelFormat(img, 6);
  EXPECT_EQ(BitmapBitsPerPixel(img), 24);
  EXPECT_EQ(BitmapRowBytes(img), 12);
  EXPECT_EQ(BitmapImageSize(img), 24);
  EXPECT_EQ(BitmapBits(img), img.ScanLine(1));
  BitmapSetPixelFormat(img, 7);
  EXPECT_EQ(Pixel(img, 0, 0), 0xFFABCDEFu);
  TBitmap b15(5, 1, pf15bit);
  EXPECT_EQ(BitmapBitsPerPixel(b15), 16);
  EXPECT_EQ(BitmapBitDepth(b15), 15);
  EXPECT_EQ(BitmapRowBits(b15), 96);

  img.FileName = "/x/y.bmp";
  TBitmap plain(1, 1);
  img.Assign(&plain);
  EXPECT_EQ(img.FileName, "/x/y.bmp");
  XImage other;
  other.FileName = "/z.jpg";
  img.Assign(&other);
  EXPECT_EQ(img.FileName, "/z.jpg");

  TBitmap src(4, 3, pf24bit), dst(1, 1, pf8bit);
  BitmapMatch32(dst, &src);
  EXPECT_EQ(src.PixelFormat(), pf32bit);
  EXPECT_EQ(dst.PixelFormat(), pf32bit);
  EXPECT_EQ(dst.Width(), 4);
  EXPECT_EQ(dst.Height(), 3);
}

TEST(XImageBitmap, DrawGraphicCentredFitsBySmallerScale) {
  struct Case {
    int bw, bh, gw, gh;
    TRect expect;
  } cases[] = {
      {10, 10, 4, 2, TRect(0, 2, 10, 7)},
      {10, 10, 2, 4, TRect(2, 0, 7, 10)},
      {10, 4, 4, 2, TRect(1, 0, 9, 4)},  // wide but the box is wider still
      {4, 10, 2, 4, TRect(0, 1, 4, 9)},
  };
  for (const Case& c : cases) {
    TBitmap b(c.bw, c.bh);
    ImageFill(b, b, 0xFF000000u);
    TBitmap g(c.gw, c.gh);
    ImageFill(g, g, 0xFFFFFFFFu);
    DrawGraphicCentred(b, g);
    for (int y = 0; y < c.bh; ++y)
      for (int x = 0; x < c.bw; ++x) {
        bool inside = x >= c.expect.Left && x < c.expect.Right && y >= c.expect.Top && y < c.expect.Bottom;
        EXPECT_EQ(Pixel(b, x, y) & 0xFFFFFF, inside ? 0xFFFFFFu : 0u)
            << c.bw << "x" << c.bh << " " << x << "," << y;
      }
  }
  TBitmap b(4, 4), empty;
  DrawGraphicCentred(b, empty);
  DrawGraphicCentred(empty, b);
}
