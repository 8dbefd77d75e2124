// The reader and the LZW decoder against independent decoders, and the parser's cases.
#include <gtest/gtest.h>

#include "platform/SysUtils.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/GifTestUtil.h"

namespace {

struct CorruptedSetting {
  bool saved = GIFLoadCorrupted;
  explicit CorruptedSetting(bool v) { GIFLoadCorrupted = v; }
  ~CorruptedSetting() { GIFLoadCorrupted = saved; }
};

// Codes for a run of n pixels of root 0 that never clear, so the table fills and the
// decoder must go on at 12 bits (a deferred clear).
std::vector<int> DeferredClearCodes(int n) {
  std::vector<int> c{4};
  for (int i = 0; i < n; ++i) c.push_back(0);
  c.push_back(4);
  c.push_back(1);
  c.push_back(5);
  return c;
}

}  // namespace

// Files made by ImageMagick and gifsicle at run time, and hand-made files: frame 0 must
// equal what giflib and ImageMagick decode.
TEST(GifRead, Frame0MatchesIndependentDecoders) {
  REQUIRE_TOOL("convert");
  REQUIRE_TOOL("gif2rgb");
  REQUIRE_TOOL("gifsicle");
  const std::string dir = GifTempDir();
  struct Tool {
    const char* name;
    std::string cmd;
    bool giflib = true;
  };
  std::vector<Tool> tools = {
      {"bits1", "convert -size 13x7 xc: +noise Random -colors 2 '%s'"},
      {"bits2", "convert -size 13x7 xc: +noise Random -colors 4 '%s'"},
      {"bits4", "convert -size 17x9 xc: +noise Random -colors 16 '%s'"},
      {"bits8", "convert -size 64x48 xc: +noise Random -colors 256 '%s'"},
      // gif2rgb shows all frames composed, so only ImageMagick speaks for frame 0 here.
      {"frames", "convert -size 8x6 xc:red xc:blue xc:green '%s'", false},
      {"sicle", "convert -size 30x20 xc: +noise Random -colors 200 '" + dir + "/zsrc.gif' && gifsicle -O2 '" +
                    dir + "/zsrc.gif' > '%s'"},
      {"sicleilace", "convert -size 30x21 xc: +noise Random -colors 60 '" + dir +
                         "/zsrc2.gif' && gifsicle -i '" + dir + "/zsrc2.gif' > '%s'"},
  };
  for (int h : {1, 2, 3, 5, 8, 9, 17})
    tools.push_back({"ilace", "convert -size 7x" + std::to_string(h) +
                                  " xc: +noise Random -colors 32 -interlace GIF '%s'"});
  int n = 0;
  for (const Tool& t : tools) {
    std::string path = dir + "/t" + std::to_string(n++) + ".gif";
    std::string cmd = Format(t.cmd.c_str(), path.c_str());
    int st = 0;
    ShellOutput(cmd, &st);
    ASSERT_EQ(st, 0) << cmd;
    TGIFImage g;
    LoadBytes(g, ReadFileBytes(path));
    std::string ours = Frame0RGB(g);
    EXPECT_FALSE(g.Corrupted()) << t.cmd;
    if (t.giflib) { EXPECT_EQ(ours, Gif2Rgb(path)) << t.cmd; }
    EXPECT_EQ(ours, MagickRgb(path)) << t.cmd;
  }

  // Hand-made valid files that other decoders read.
  struct Built {
    const char* name;
    std::string bytes;
    bool giflib = true;
  };
  std::vector<int> deferred = DeferredClearCodes(5000);
  std::vector<Built> built = {
      {"min code size below map depth",
       GifBuilder().Header(3, 1, 8).Image(3, 1).Codes(2, {4, 1, 2, 3, 5}).Trailer().b},
      {"no leading clear", GifBuilder().Header(3, 1, 2).Image(3, 1).Codes(2, {1, 2, 3, 5}).Trailer().b},
      {"clear clear", GifBuilder().Header(3, 1, 2).Image(3, 1).Codes(2, {4, 4, 1, 2, 3, 5}).Trailer().b},
      {"local map",
       GifBuilder().Header(4, 1, 0).Image(4, 1, 0x81).Map(2).Codes(2, {4, 3, 6, 1, 5}).Trailer().b},
      {"local over global",
       GifBuilder().Header(4, 1, 8).Image(4, 1, 0x82).Map(3).Codes(3, {8, 7, 5, 10, 9}).Trailer().b},
      {"gif89A signature",
       GifBuilder().Header(2, 1, 1, "gif89A").Image(2, 1).Codes(2, {4, 1, 0, 5}).Trailer().b,
       false},  // giflib wants the exact case
      {"deferred clear", GifBuilder().Header(5001, 1, 2).Image(5001, 1).Codes(2, deferred).Trailer().b},
      {"kwkwk", GifBuilder().Header(5, 1, 2).Image(5, 1).Codes(2, {4, 1, 6, 7, 5}).Trailer().b},
  };
  for (const Built& t : built) {
    std::string path = dir + "/b" + std::to_string(n++) + ".gif";
    WriteFileBytes(path, t.bytes);
    TGIFImage g;
    LoadBytes(g, t.bytes);
    std::string ours = Frame0RGB(g);
    EXPECT_FALSE(g.Corrupted()) << t.name;
    if (t.giflib) { EXPECT_EQ(ours, Gif2Rgb(path)) << t.name; }
    EXPECT_EQ(ours, MagickRgb(path)) << t.name;
  }
}

// Damaged hand-made files: what survives, whether the frame is flagged, and the error
// when damage is not tolerated.
TEST(GifRead, DamagedDataIsFlaggedOrRaised) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<int> indices;  // frame 0 palette indices, row by row
    const char* strictError;   // message with GIFLoadCorrupted off; nullptr when it loads
  };
  const std::string spacer(
      "\x47\x49\x46\x38\x39\x61\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF"
      "\x21\xF9\x04\x01\x00\x00\x00\x00\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x40"
      "\x02\x01\x44\x00\x3B",
      42);
  std::vector<Case> cases = {
      {"spacer", spacer, {0}, nullptr},
      {"ends before End",
       GifBuilder().Header(8, 1, 2).Image(8, 1).Codes(2, {4, 1, 2}).Trailer().b,
       {1, 2, 0, 0, 0, 0, 0, 0},
       "Stream read error"},
      {"code above next",
       GifBuilder().Header(4, 1, 2).Image(4, 1).Codes(2, {4, 1, 20, 5}).Trailer().b,
       {1, 0, 0, 0},
       "GIF encoded data is corrupt"},
      // The End code comes before any pixel: the picture is missing, as giflib ("Image EOF
      // detected before image complete") and gifsicle ("missing 2 pixels") say too.
      {"clear then end",
       GifBuilder().Header(2, 1, 2).Image(2, 1).Codes(2, {4, 5}).Trailer().b,
       {0, 0},
       "Stream read error"},
      {"end after the last pixel",
       GifBuilder().Header(2, 1, 2).Image(2, 1).Codes(2, {4, 1, 2, 5}).Trailer().b,
       {1, 2},
       nullptr},
      {"min code size 1",
       GifBuilder().Header(3, 1, 2).Image(3, 1).Codes(2, {4, 1, 2, 5}, true, 1).Trailer().b,
       {1, 0, 0},
       "GIF code size not in range 2 to 9"},
      {"min code size 10",
       GifBuilder().Header(3, 1, 2).Image(3, 1).Codes(9, {512, 2, 3, 513}, true, 10).Trailer().b,
       {2, 0, 0},
       "GIF code size not in range 2 to 9"},
      {"length past end",
       GifBuilder().Header(4, 1, 2).Image(4, 1).Bytes({2, 50, 0x8C, 0x2D}).b,
       {0, 0, 0, 0},
       "Stream read error"},
  };
  for (const Case& c : cases) {
    {
      CorruptedSetting s(true);
      TGIFImage g;
      ASSERT_NO_THROW(LoadBytes(g, c.bytes)) << c.name;
      ASSERT_EQ(g.Count(), 1) << c.name;
      TBitmap& b = g.Frame(0).GetBitmap();
      std::vector<int> got;
      for (int x = 0; x < b.Width(); ++x) got.push_back(b.NearestPaletteIndex(b.GetPixelColor(x, 0)));
      // Indices by colour: the builder's maps have distinct entries.
      EXPECT_EQ(got, c.indices) << c.name;
      EXPECT_EQ(g.Corrupted(), c.strictError != nullptr) << c.name;
    }
    if (c.strictError) {
      CorruptedSetting s(false);
      TGIFImage g;
      try {
        LoadBytes(g, c.bytes);
        ADD_FAILURE() << c.name << " loaded";
      } catch (const Exception& e) { EXPECT_STREQ(e.what(), c.strictError) << c.name; }
    }
  }
}

TEST(GifRead, SpacerIsOneTransparentPixel) {
  const std::string spacer(
      "\x47\x49\x46\x38\x39\x61\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF"
      "\x21\xF9\x04\x01\x00\x00\x00\x00\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x40"
      "\x02\x01\x44\x00\x3B",
      42);
  TGIFImage g;
  LoadBytes(g, spacer);
  TBitmap b;
  b.Assign(&g);
  EXPECT_EQ(b.Width(), 1);
  EXPECT_EQ(b.Height(), 1);
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.TransparentColor(), TColor(0));
  EXPECT_EQ(b.GetPixelColor(0, 0), TColor(0));
}

TEST(GifRead, RefusedFilesLeaveThePictureAsItWas) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* error;
  };
  std::vector<Case> cases = {
      {"GIF88a", GifBuilder().Header(1, 1, 1, "GIF88a").b, "Unknown GIF version"},
      {"not GIF", "PNG89a", "Unknown GIF version"},
      {"huge", GifBuilder().Header(1, 1, 1).Image(65535, 65535).Codes(2, {4, 1, 5}).Trailer().b, nullptr},
      {"no colour map", GifBuilder().Header(1, 1, 0).Image(1, 1).Codes(2, {4, 1, 5}).Trailer().b,
       "Wrong number of colors; must be a power of 2"},
      {"unknown label",
       GifBuilder().Header(1, 1, 1).Bytes({0x21, 0x33, 1, 0, 0}).Image(1, 1).Codes(2, {4, 1, 5}).Trailer().b,
       "Unrecognized extension block: 33"},
      {"garbage after extension", GifBuilder().Header(1, 1, 1).Gce(0, 0, 0).Bytes({0x55, 0x55, 0x3B}).b,
       "Stream read error"},
      {"empty", "", "Stream read error"},
  };
  const std::string good = GifBuilder().Header(2, 1, 1).Image(2, 1).Codes(2, {4, 1, 0, 5}).Trailer().b;
  CorruptedSetting s(false);
  for (const Case& c : cases) {
    TGIFImage g;
    LoadBytes(g, good);
    try {
      LoadBytes(g, c.bytes);
      ADD_FAILURE() << c.name << " loaded";
    } catch (const Exception& e) {
      if (c.error) { EXPECT_STREQ(e.what(), c.error) << c.name; }
    }
    EXPECT_EQ(g.Count(), 1) << c.name;
    EXPECT_EQ(g.Width(), 2) << c.name;
  }
  // Tolerated: the unknown extension is skipped by its sub-blocks.
  GIFLoadCorrupted = true;
  TGIFImage g;
  LoadBytes(g, cases[4].bytes);
  EXPECT_EQ(g.Count(), 1);
}

TEST(GifRead, GraphicControlLoopsAndComments) {
  // Flags, delay and disposal; the transparent entry (shared by entry 2) made unique.
  GifBuilder shared;
  shared.Str("GIF89a")
      .Word(3)
      .Word(1)
      .Bytes({0x81, 0, 0})
      .Bytes({10, 20, 30, 40, 50, 60, 10, 20, 30, 1, 2, 3});
  shared.Gce(0x01 | (2 << 2), 70000 / 10 > 65535 ? 6000 : 6000, 0)
      .Image(3, 1)
      .Codes(2, {4, 0, 1, 2, 5})
      .Trailer();
  {
    TGIFImage g;
    LoadBytes(g, shared.b);
    TGIFFrame& f = g.Frame(0);
    EXPECT_EQ(f.AnimateInterval(), 60000u);
    EXPECT_EQ(f.DisposalMethod(), dmRestoreBackground);
    ASSERT_NE(f.TransparentColor(), clNone);
    TBitmap b;
    b.Assign(&g);
    EXPECT_NE(b.GetPixelColor(0, 0), b.GetPixelColor(2, 0));
    EXPECT_EQ(b.TransparentColor(), b.GetPixelColor(0, 0));
    EXPECT_EQ(b.GetPixelColor(2, 0), RGB(10, 20, 30));
  }
  // A plain-text extension drops the pending graphic control.
  {
    TGIFImage g;
    LoadBytes(
        g,
        GifBuilder().Header(1, 1, 1).Gce(0x05, 7, 0).PlainText().Image(1, 1).Codes(2, {4, 1, 5}).Trailer().b);
    EXPECT_EQ(g.Frame(0).TransparentColor(), clNone);
    EXPECT_EQ(g.Frame(0).AnimateInterval(), 0u);
    EXPECT_EQ(g.Frame(0).DisposalMethod(), dmUndefined);
  }
  // A transparent index beyond the map.
  {
    TGIFImage g;
    LoadBytes(g, GifBuilder().Header(1, 1, 1).Gce(0x01, 0, 2).Image(1, 1).Codes(2, {4, 1, 5}).Trailer().b);
    EXPECT_EQ(g.Frame(0).TransparentColor(), clNone);
  }
  // Loop counts.
  for (auto [count, expect] : {std::pair{0, 0}, {5, 5}, {40000, 30000}}) {
    TGIFImage g;
    LoadBytes(g, GifBuilder().Header(1, 1, 1).Loop(count).Image(1, 1).Codes(2, {4, 1, 5}).Trailer().b);
    EXPECT_TRUE(g.Looping());
    EXPECT_EQ(g.RepeatCount(), expect);
  }
  // A loop block whose block size is not 11 is not a loop extension.
  {
    GifBuilder b;
    b.Header(1, 1, 1)
        .Bytes({0x21, 0xFF, 10})
        .Str("NETSCAPE2.")
        .Bytes({3, 1, 5, 0, 0})
        .Image(1, 1)
        .Codes(2, {4, 1, 5})
        .Trailer();
    TGIFImage g;
    LoadBytes(g, b.b);
    EXPECT_FALSE(g.Looping());
  }
  // Trailing comments are joined; a comment before an image belongs to the frame.
  {
    TGIFImage g;
    LoadBytes(g, GifBuilder()
                     .Header(1, 1, 1)
                     .Comment("mine")
                     .Image(1, 1)
                     .Codes(2, {4, 1, 5})
                     .Comment("one")
                     .Comment("two")
                     .Trailer()
                     .b);
    EXPECT_EQ(g.Comment(), (std::vector<std::string>{"one", "\r\n\r\n", "two"}));
    EXPECT_EQ(g.Frame(0).Comment(), (std::vector<std::string>{"mine"}));
  }
  // Several frames; a size of 0 takes the screen size.
  {
    TGIFImage g;
    LoadBytes(g, GifBuilder()
                     .Header(3, 2, 1)
                     .Image(0, 0)
                     .Codes(2, {4, 1, 1, 1, 1, 1, 1, 5})
                     .Image(1, 1, 0, 2, 1)
                     .Codes(2, {4, 0, 5})
                     .Trailer()
                     .b);
    ASSERT_EQ(g.Count(), 2);
    EXPECT_EQ(g.Frame(0).Width(), 3);
    EXPECT_EQ(g.Frame(0).Height(), 2);
    EXPECT_EQ(g.Frame(1).TopLeft().X, 2);
    EXPECT_EQ(g.FrameIndex(), 0);
  }
}

// Every prefix of every fixture: an error or a picture, never a crash or a read outside.
TEST(GifRead, EveryCutLengthFailsCleanly) {
  std::vector<std::string> fixtures = {
      GifBuilder()
          .Header(5, 3, 2)
          .Comment("c")
          .Gce(0x05, 3, 1)
          .Image(5, 3, 0x40)
          .Codes(2, {4, 1, 2, 6, 7, 3, 0, 8, 9, 1, 5})
          .Trailer()
          .b,
      GifBuilder()
          .Header(4, 1, 0)
          .Loop(3)
          .Image(4, 1, 0x81)
          .Map(2)
          .Codes(2, {4, 3, 6, 1, 5})
          .PlainText()
          .Trailer()
          .b,
      GifBuilder().Header(300, 1, 2).Image(300, 1).Codes(2, DeferredClearCodes(299)).Trailer().b,
  };
  for (bool tolerate : {true, false}) {
    CorruptedSetting s(tolerate);
    for (const std::string& f : fixtures)
      for (size_t len = 0; len <= f.size(); ++len) {
        TGIFImage g;
        try {
          LoadBytes(g, f.substr(0, len));
          for (int i = 0; i < g.Count(); ++i) g.Frame(i).GetBitmap();
        } catch (const Exception&) {}
      }
  }
}
