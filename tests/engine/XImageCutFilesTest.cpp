// Pictures cut short or damaged, as a user meets them when a download or a copy broke off: the
// image class either reads the whole picture (a cut that took only bytes after the pixels) or
// raises a message in words a user understands, saying that the file is cut short or damaged;
// never a bare stream or library error, never a picture with made-up pixels without a word.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "POP/PopPhoto.h"
#include "engine/XBlend.h"
#include "engine/XImage.h"
#include "platform/SysUtils.h"
#include "tests/support/MetafileBuilder.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A 24 x 16 picture of stripes and a gradient, so that a cut anywhere in the pixels shows.
void PaintStripes(XImage& img) {
  img.SetSize(24, 16);
  for (int y = 0; y < 16; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(img.ScanLine(y));
    for (int x = 0; x < 24; ++x)
      row[x] = 0xFF000000u | ((x * 10) << 16) | (((y / 4) % 2 ? 0xC0 : 0x20) << 8) | (y * 15);
  }
}

// A placeable metafile of 20 x 10 pixels with a red rectangle.
std::string StripesMetafile() {
  std::string body;
  body += MetafileRecord(0x020B, {0, 0});
  body += MetafileRecord(0x020C, {10, 20});
  body += MetafileRecord(0x02FA, {5, 0, 0, 0, 0});
  body += MetafileRecord(0x02FC, {0, 0x00FF, 0x0000, 0});
  body += MetafileRecord(0x012D, {0});
  body += MetafileRecord(0x012D, {1});
  body += MetafileRecord(0x041B, {8, 12, 2, 4});
  body += MetafileRecord(0x0000, {});
  return PlaceableMetafile(body, 20, 10);
}

// The words a user is given for a file that is cut short or damaged, and the bare errors of
// streams and libraries that must never reach them.
bool SaysCutOrDamaged(const std::string& m) { return Contains(m, "cut short") || Contains(m, "damaged"); }
const char* const kBareErrors[] = {
    "Stream read error", "Read Error", "Premature end", "libpng", "IDAT",       "CRC",
    "Corrupt JPEG",      "Bogus",      "Not a JPEG",    "bad ",   "error code", "Error reading",
    "Invalid ",          "EOF"};

}  // namespace

TEST(XImageCutFiles, EveryFormatCutShortSaysSoInWords) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  XImage picture;
  PaintStripes(picture);
  BitmapSetPixelFormat(picture, 6);
  struct Format {
    const char* ext;
    std::string bytes;
  };
  std::vector<Format> formats;
  for (const char* ext : {"png", "jpg", "bmp", "gif", "ppm", "tiff"}) {
    const std::string f = dir.File(std::string("whole.") + ext);
    picture.SaveToFile(f);
    formats.push_back({ext, ReadAll(f)});
  }
  // The binary pixmap, which the format table reads.
  {
    std::string p6 = "P6\n24 16\n255\n";
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 24; ++x) p6 += {char(x * 10), char((y / 4) % 2 ? 0xC0 : 0x20), char(y * 15)};
    formats.push_back({"ppm", p6});
  }
  {
    int rc = 0;
    ShellOutput("convert -size 24x16 gradient:red-blue '" + dir.File("whole.ico") + "' 2>&1", &rc);
    ASSERT_EQ(rc, 0);
    formats.push_back({"ico", ReadAll(dir.File("whole.ico"))});
  }
  formats.push_back({"wmf", StripesMetafile()});

  for (const Format& f : formats) {
    ASSERT_GT(f.bytes.size(), 40u) << f.ext;
    const std::string whole = dir.File(std::string("w.") + f.ext);
    WriteAll(whole, f.bytes);
    XImage expected;
    expected.LoadFromFile(whole);
    ASSERT_GT(expected.Width(), 0) << f.ext;
    const size_t n = f.bytes.size();
    for (size_t cut : {size_t(10), size_t(30), n / 4, n / 2, n - 16, n - 1}) {
      SCOPED_TRACE(std::string(f.ext) + " cut at " + std::to_string(cut) + " of " + std::to_string(n));
      const std::string name = dir.File(std::string("cut.") + f.ext);
      WriteAll(name, f.bytes.substr(0, cut));
      XImage img;
      std::string message;
      // The user reads the program's words; no library prints its own on the terminal.
      testing::internal::CaptureStderr();
      try {
        img.LoadFromFile(name);
      } catch (const std::exception& ex) { message = ex.what(); }
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
      if (message.empty()) {
        // Read without a word: then it is the whole picture.
        ASSERT_EQ(img.Width(), expected.Width());
        ASSERT_EQ(img.Height(), expected.Height());
        EXPECT_EQ(PhotoCompare(img, expected), true) << "a cut picture read as if whole";
        continue;
      }
      EXPECT_TRUE(SaysCutOrDamaged(message)) << message;
      for (const char* bare : kBareErrors) EXPECT_FALSE(Contains(message, bare)) << message;
    }
  }
}
