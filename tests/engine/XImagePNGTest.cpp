// The image class's PNG and format-table paths.
#include <algorithm>
#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/XImage.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

uint32_t Px(const XImage& img, int x, int y) {
  const uint8_t* p = img.ScanLine(y) + 4 * x;
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Pattern(XImage& img, int w, int h) {
  img.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = img.ScanLine(y) + 4 * x;
      p[0] = uint8_t(x * 30), p[1] = uint8_t(y * 40), p[2] = uint8_t(x ^ y), p[3] = uint8_t(100 + x);
    }
}

TEST(XImagePNG, ThreeChannelFilesLoadOpaque) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  std::string f = dir.File("rgb.png");
  ShellOutput("convert -size 3x2 xc:'#102030' -define png:color-type=2 " + f);
  XImage img;
  Pattern(img, 1, 1);  // whatever alpha it held before
  img.LoadFromFile(f);
  ASSERT_EQ(img.Width(), 3);
  EXPECT_EQ(Px(img, 2, 1), 0xFF102030u);
}

// Whether the picture's file carries transparency decides how the renderer draws it: by its
// alpha, or by the key-colour rule of pictures without alpha.
TEST(XImagePNG, FilesWithTransparencyHaveAnAlphaChannel) {
  REQUIRE_TOOL("convert");
  struct {
    const char* what;
    const char* make;  // ImageMagick's arguments before the file name
    bool alpha;
  } cases[] = {
      {"rgb", "-size 2x2 xc:'#102030' -define png:color-type=2", false},
      {"rgba, partly transparent", "-size 2x2 xc:none -fill red -draw 'point 0,0' png32:", true},
      {"rgba, all opaque", "-size 2x2 xc:'#102030' png32:", false},
      {"palette with a transparent entry", "-size 2x2 xc:none -fill red -draw 'point 0,0' png8:", true},
      {"grey with alpha", "-size 2x2 xc:'graya(50%,0.5)' -define png:color-type=4", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string f = dir.File("p.png");
    std::string make = c.make;
    ShellOutput("convert " + make + (make.back() == ':' ? "" : " ") + f);
    XImage img;
    img.LoadFromFile(f);
    ASSERT_EQ(img.Width(), 2);
    EXPECT_EQ(img.AlphaChannel, c.alpha);
    // A copy is the same picture.
    XImage copy;
    copy.Assign(&img);
    EXPECT_EQ(copy.AlphaChannel, c.alpha);
    // Loading another file replaces the flag with its own.
    ShellOutput("convert -size 2x2 xc:white -define png:color-type=2 " + f);
    img.LoadFromFile(f);
    EXPECT_FALSE(img.AlphaChannel);
  }
}

TEST(XImagePNG, SavedFilesDecodeEqualAndTheSourceStays) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  XImage img;
  Pattern(img, 7, 3);
  XImage before;
  before.Assign(&img);
  std::string f = dir.File("out.png");
  img.SaveToFile(f);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(Px(img, x, y), Px(before, x, y));  // not left swapped
  std::string rgba = ShellOutput("convert " + f + " rgba:-");
  ASSERT_EQ(rgba.size(), 7u * 3 * 4);
  EXPECT_EQ(uint8_t(rgba[(1 * 7 + 4) * 4 + 0]), uint8_t(4 ^ 1));   // red
  EXPECT_EQ(uint8_t(rgba[(1 * 7 + 4) * 4 + 2]), uint8_t(4 * 30));  // blue
  EXPECT_EQ(uint8_t(rgba[(1 * 7 + 4) * 4 + 3]), uint8_t(104));     // alpha
  XImage back;
  back.LoadFromFile(f);
  EXPECT_EQ(Px(back, 6, 2), Px(img, 6, 2));

  XImage grey;
  grey.SetPixelFormat(pf8bit);
  grey.SetSize(2, 2);
  try {
    grey.SaveToFile(dir.File("grey.png"));
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) { EXPECT_EQ(e.Message, "Illegal PNG Image Format"); }
  EXPECT_FALSE(FileExists(dir.File("grey.png")));
}

TEST(XImagePNG, DamagedFilesFailAndLeaveTheImage) {
  TempDir dir;
  XImage img;
  Pattern(img, 5, 5);
  img.SaveToFile(dir.File("ok.png"));
  std::string bytes = ReadAll(dir.File("ok.png"));
  XImage target;
  Pattern(target, 2, 2);
  for (size_t cut : {size_t(0), size_t(8), size_t(30), bytes.size() / 2, bytes.size() - 5}) {
    WriteAll(dir.File("cut.png"), bytes.substr(0, cut));
    EXPECT_THROW(target.LoadFromFile(dir.File("cut.png")), Exception) << cut;
    EXPECT_EQ(target.Width(), 2);
  }
}

// The user reads what the program says of a damaged file; the PNG library says nothing of
// its own on the terminal, for a file it refuses nor for one whose damage it passes over.
TEST(XImagePNG, DamagedFilesWriteNothingOnStderr) {
  TempDir dir;
  XImage img;
  Pattern(img, 5, 5);
  img.SaveToFile(dir.File("ok.png"));
  const std::string bytes = ReadAll(dir.File("ok.png"));
  const size_t idat = bytes.find("IDAT") - 4, iend = bytes.find("IEND") - 4;
  // A chunk of its type and data, its check sum spoilt when `bad`.
  auto chunk = [](const std::string& type, const std::string& data, bool bad) {
    std::string c;
    for (int i = 3; i >= 0; --i) c += char(data.size() >> (8 * i));
    const std::string body = type + data;
    uint32_t sum = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size())));
    if (bad) sum ^= 1;
    c += body;
    for (int i = 3; i >= 0; --i) c += char(sum >> (8 * i));
    return c;
  };
  std::string badIdat = bytes;
  badIdat[iend - 1] ^= 0x40;  // the image data's check sum
  struct Case {
    const char* what;
    std::string file;
    bool loads;
  } cases[] = {
      {"cut in its header", bytes.substr(0, 20), false},
      {"cut after its header", bytes.substr(0, idat), false},
      {"cut in its image data", bytes.substr(0, idat + 20), false},
      {"cut before its end chunk", bytes.substr(0, iend), false},
      {"image data of a wrong check sum", badIdat, false},
      {"a text chunk of a wrong check sum",
       bytes.substr(0, idat) + chunk("tEXt", "Title\0x", true) + bytes.substr(idat), true},
      {"an sRGB chunk of the wrong length",
       bytes.substr(0, idat) + chunk("sRGB", "\0\0", false) + bytes.substr(idat), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(dir.File("damaged.png"), c.file);
    XImage target;
    testing::internal::CaptureStderr();
    bool loaded = true;
    try {
      target.LoadFromFile(dir.File("damaged.png"));
    } catch (const EInvalidGraphic&) { loaded = false; }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(loaded, c.loads);
  }
}

TEST(XImageFormatLibrary, DepthsTheFormatTakesAndRefuses) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  XImage img;
  Pattern(img, 4, 3);
  img.SetPixelFormat(pf24bit);
  // The grey-map writer takes 8-bit images only: a 24-bit one is refused, nothing written.
  EXPECT_THROW(img.SaveToFile(dir.File("a.pgm")), EInvalidGraphic);
  EXPECT_FALSE(FileExists(dir.File("a.pgm")));
  EXPECT_THROW(img.SaveToFile(dir.File("a.nosuchformat")), EInvalidGraphic);

  XImage grey;
  grey.SetPixelFormat(pf8bit);
  std::vector<TRGBQuad> pal(256);
  for (int i = 0; i < 256; ++i) pal[size_t(i)] = TRGBQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  grey.SetPalette(pal);
  grey.SetSize(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) grey.ScanLine(y)[x] = uint8_t(40 * x + 100 * y);
  grey.SaveToFile(dir.File("g.pgm"));
  std::string raw = ShellOutput("convert " + dir.File("g.pgm") + " gray:-");
  ASSERT_EQ(raw.size(), 6u);
  EXPECT_EQ(uint8_t(raw[4]), 140);
  XImage back;
  back.LoadFromFile(dir.File("g.pgm"));
  EXPECT_EQ(back.PixelFormat(), pf32bit);
  EXPECT_EQ(Px(back, 1, 1), 0xFF8C8C8Cu);
}

}  // namespace

TEST(XImagePNG, RegisteredForThePictureDialogs) {
  ASSERT_NE(GraphicFormatForExtension(".PNG"), nullptr);
  EXPECT_NE(GraphicFilter().find("*.png"), std::string::npos);
}

namespace {

TEST(XImageGIF, ExportAndLoadThroughTheGIFClass) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  XImage img;
  img.SetSize(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      uint8_t* p = img.ScanLine(y) + 4 * x;
      p[0] = uint8_t(x * 50), p[1] = uint8_t(y * 100), p[2] = 7, p[3] = 255;
    }
  img.SetPixelFormat(pf24bit);  // as the export command does
  std::string f = dir.File("out.gif");
  img.SaveToFile(f);
  EXPECT_EQ(ReadAll(f).substr(0, 6), "GIF87a");
  std::string rgb = ShellOutput("convert " + f + " rgb:-");
  ASSERT_EQ(rgb.size(), 5u * 3 * 3);
  EXPECT_EQ(uint8_t(rgb[(2 * 5 + 4) * 3 + 0]), 7);    // red
  EXPECT_EQ(uint8_t(rgb[(2 * 5 + 4) * 3 + 1]), 200);  // green
  EXPECT_EQ(uint8_t(rgb[(2 * 5 + 4) * 3 + 2]), 200);  // blue

  XImage back;
  back.LoadFromFile(f);
  EXPECT_EQ(back.PixelFormat(), pf32bit);
  EXPECT_EQ(Px(back, 4, 2), 0xFF07C8C8u);

  img.SetTransparent(true);
  img.SaveToFile(dir.File("t.gif"));
  EXPECT_EQ(ReadAll(dir.File("t.gif")).substr(0, 6), "GIF89a");
  EXPECT_TRUE(GraphicFormatForExtension("gif") != nullptr);
}

// Reading and writing a GIF show their progress in the wait indicator, in a wait of their
// own that ends also when the file cannot be read.
TEST(XImageGIF, ProgressReachesTheWaitIndicator) {
  struct Recorder : TWaitIndicator {
    std::vector<std::string> Log;
    void BeginWait(const std::string& message, bool) override { Log.push_back("begin " + message); }
    void SetProgress(int position, int maximum) override {
      Log.push_back(std::to_string(position) + "/" + std::to_string(maximum));
    }
    void EndWait() override { Log.push_back("end"); }
  } recorder;
  TWaitIndicator* old = WaitIndicator();
  SetWaitIndicator(&recorder);
  TempDir dir;
  XImage img;
  Pattern(img, 40, 30);
  std::string f = dir.File("p.gif");
  img.SaveToFile(f);
  XImage back;
  back.LoadFromFile(f);
  WriteAll(dir.File("bad.gif"), "GIF89a");
  EXPECT_THROW(back.LoadFromFile(dir.File("bad.gif")), Exception);
  SetWaitIndicator(old);
  std::vector<std::string>& log = recorder.Log;
  auto wait = [&](const std::string& begin) {
    auto at = std::find(log.begin(), log.end(), begin);
    EXPECT_NE(at, log.end()) << begin;
    if (at == log.end()) return;
    auto end = std::find(at, log.end(), "end");
    ASSERT_NE(end, log.end()) << begin;
    EXPECT_GE(end - at, 3) << begin;  // some progress between
    EXPECT_EQ(*(end - 1), "100/100") << begin;
  };
  wait("begin Saving p.gif");
  wait("begin Loading p.gif");
  wait("begin Loading bad.gif");
  EXPECT_EQ(std::count(log.begin(), log.end(), "end"), 3);
}

// A GIF of many rows, one frame, moves the wait indicator row by row on the way in and out:
// many rising steps that end at the whole, not one step for the frame.
TEST(XImageGIF, ProgressOfAManyRowPictureGoesByRows) {
  constexpr int kRows = 1500;
  struct Recorder : TWaitIndicator {
    std::vector<std::vector<int>> Waits;  // the positions of each wait, in 0..100
    int Maximum = -1;
    void BeginWait(const std::string&, bool) override { Waits.emplace_back(); }
    void SetProgress(int position, int maximum) override {
      ASSERT_FALSE(Waits.empty());
      Waits.back().push_back(position);
      Maximum = maximum;
    }
    void EndWait() override {}
  } recorder;
  TWaitIndicator* old = WaitIndicator();
  SetWaitIndicator(&recorder);
  TempDir dir;
  XImage img;
  Pattern(img, 24, kRows);
  const std::string f = dir.File("tall.gif");
  img.SaveToFile(f);
  XImage back;
  back.LoadFromFile(f);
  SetWaitIndicator(old);
  EXPECT_EQ(back.Height(), kRows);
  ASSERT_EQ(recorder.Waits.size(), 2u);
  EXPECT_EQ(recorder.Maximum, 100);
  const char* what[] = {"saving", "loading"};
  for (int i = 0; i < 2; ++i) {
    const std::vector<int>& p = recorder.Waits[size_t(i)];
    ASSERT_GE(p.size(), size_t(kRows)) << what[i];  // a report for every row at least
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end())) << what[i];
    EXPECT_EQ(p.front(), 0) << what[i];
    EXPECT_EQ(p.back(), 100) << what[i];
    std::vector<int> steps(p);
    steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
    EXPECT_GE(steps.size(), 80u) << what[i];
  }
}

}  // namespace
