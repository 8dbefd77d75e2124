// The writer and the colour reduction: files read back by independent decoders.
#include <gtest/gtest.h>

#include "gif/Pxgraph.h"
#include "platform/SysUtils.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/GifTestUtil.h"

namespace {

std::unique_ptr<TBitmap> Noise(int w, int h, int colors, uint32_t seed) {
  auto b = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      uint32_t v = (seed >> 8) % uint32_t(colors);
      b->SetPixelColor(x, y, RGB(uint8_t(v * 7), uint8_t(v >> 3), uint8_t(v * 13)));
    }
  return b;
}

}  // namespace

TEST(GifWrite, SavedFilesReadBackEverywhere) {
  REQUIRE_TOOL("gif2rgb");
  REQUIRE_TOOL("giftext");
  REQUIRE_TOOL("gifsicle");
  REQUIRE_TOOL("convert");
  struct Case {
    const char* name;
    int w, h, colors;
    bool exact;
  };
  const Case cases[] = {
      {"13x7 exact", 13, 7, 200, true},
      {"1x1", 1, 1, 1, true},
      {"256 colours", 64, 64, 256, true},
      {"512 noise", 512, 512, 100000, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    auto bmp = Noise(c.w, c.h, c.colors, 7u + uint32_t(n));
    TGIFImage g;
    g.Assign(bmp.get());
    std::string path = GifTempDir() + "/w" + std::to_string(n++) + ".gif";
    g.SaveToFile(path);
    std::string bytes = ReadFileBytes(path);
    ASSERT_GE(bytes.size(), 13u + 768u);
    EXPECT_EQ(bytes.substr(0, 6), "GIF87a") << c.name;
    EXPECT_EQ(uint8_t(bytes[10]), 0xF7) << c.name;
    EXPECT_EQ(bytes.back(), ';') << c.name;
    TGIFImage back;
    LoadBytes(back, bytes);
    std::string ours = Frame0RGB(back);
    if (c.exact) { EXPECT_EQ(ours, BitmapRGB(*bmp)) << c.name; }
    EXPECT_EQ(ours, Gif2Rgb(path)) << c.name;
    EXPECT_EQ(ours, MagickRgb(path)) << c.name;
    EXPECT_EQ(ours, PillowRgb(path)) << c.name;
    int st = 0;
    ShellOutput("giftext '" + path + "' >/dev/null 2>&1", &st);
    EXPECT_EQ(st, 0) << c.name;
    ShellOutput("gifsicle --info '" + path + "' >/dev/null 2>&1", &st);
    EXPECT_EQ(st, 0) << c.name;
  }
}

TEST(GifWrite, TransparentBitmapGivesGraphicControl) {
  TBitmap b(3, 2, pf24bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b.SetPixelColor(x, y, x == 1 ? RGB(255, 0, 0) : RGB(0, 0, 255));
  b.SetTransparent(true);
  b.SetTransparentColor(RGB(255, 0, 0));
  TGIFImage g;
  g.Assign(&b);
  TMemoryStream m;
  g.SaveToStream(m);
  std::string s = m.DataAsString();
  EXPECT_EQ(s.substr(0, 6), "GIF89a");
  // Blue is the more frequent colour (index 0), red index 1.
  EXPECT_EQ(s.substr(13 + 768, 8), std::string("\x21\xF9\x04\x01\x00\x00\x01\x00", 8));
  TGIFImage back;
  LoadBytes(back, s);
  EXPECT_EQ(back.Frame(0).TransparentColor(), RGB(255, 0, 0));
}

// A graphic control block read from a file is written back with the flags the picture does
// not own (the user-input bit, the reserved bits), whatever the picture changed in it: the
// transparency bit and the disposal method follow the frame.
TEST(GifWrite, GraphicControlKeepsTheFlagsItDoesNotOwn) {
  const struct {
    const char* what;
    int packed;
    void (*change)(TGIFFrame&);
    int written;
  } cases[] = {
      {"user input alone", 0x02, [](TGIFFrame&) {}, 0x02},
      {"user input, disposal, transparent", 0x02 | (2 << 2) | 1, [](TGIFFrame&) {}, 0x0B},
      {"reserved bits and user input", 0xE2, [](TGIFFrame&) {}, 0xE2},
      {"transparency taken away", 0x03, [](TGIFFrame& f) { f.SetTransparentColor(clNone); }, 0x02},
      {"disposal changed", 0x02 | (1 << 2), [](TGIFFrame& f) { f.SetDisposalMethod(dmRestorePrevious); },
       0x02 | (3 << 2)},
  };
  for (const auto& c : cases) {
    GifBuilder in;
    in.Header(2, 1, 1).Gce(c.packed, 5, 1).Image(2, 1).Codes(2, {4, 0, 1, 5}).Trailer();
    TGIFImage g;
    LoadBytes(g, in.b);
    c.change(g.Frame(0));
    TMemoryStream m;
    g.SaveToStream(m);
    const std::string out = m.DataAsString();
    const size_t at = out.find(std::string("\x21\xF9\x04", 3));
    ASSERT_NE(at, std::string::npos) << c.what;
    EXPECT_EQ(uint8_t(out[at + 3]), c.written) << c.what;
    EXPECT_EQ(out.substr(at + 4, 2), std::string("\x05\x00", 2)) << c.what << ": the delay";
  }
  // giflib reads the flag where we wrote it.
  REQUIRE_TOOL("giftext");
  GifBuilder in;
  in.Header(2, 1, 1).Gce(0x02, 5, 1).Image(2, 1).Codes(2, {4, 0, 1, 5}).Trailer();
  TGIFImage g;
  LoadBytes(g, in.b);
  const std::string path = GifTempDir() + "/user-input.gif";
  g.SaveToFile(path);
  EXPECT_NE(ShellOutput("giftext -e '" + path + "' 2>&1").find("User Input Flag: 1"), std::string::npos);
}

TEST(GifWrite, EmptyPictureRaisesAndCommentsSplit) {
  TGIFImage g;
  TMemoryStream m;
  try {
    g.SaveToStream(m);
    ADD_FAILURE();
  } catch (const EInvalidGraphicOperation& e) { EXPECT_STREQ(e.what(), "No GIF Data to write"); }
  EXPECT_EQ(m.Size(), 0);
  TBitmap b(2, 2, pf24bit);
  g.Assign(&b);
  g.SetComment({std::string(300, 'x')});
  g.SaveToStream(m);
  TGIFImage back;
  LoadBytes(back, m.DataAsString());
  EXPECT_EQ(back.Version, gv89a);
  EXPECT_EQ(back.Comment(), (std::vector<std::string>{std::string(255, 'x'), std::string(45, 'x')}));
}

TEST(GifWrite, PopularityOrderAndGreyPadding) {
  // Frequency order with ties to the first met; unused entries grey.
  TBitmap b(4, 1, pf24bit);
  b.SetPixelColor(0, 0, RGB(1, 2, 3));
  b.SetPixelColor(1, 0, RGB(9, 9, 9));
  b.SetPixelColor(2, 0, RGB(9, 9, 9));
  b.SetPixelColor(3, 0, RGB(5, 5, 5));
  auto s = BitmapToMemoryStream(b, pf8bit, mmHistogram);
  TBitmap r;
  r.LoadFromStream(*s);
  ASSERT_EQ(r.Palette().size(), 256u);
  EXPECT_EQ(r.Palette()[0], (TRGBQuad{9, 9, 9, 0}));
  EXPECT_EQ(r.Palette()[1], (TRGBQuad{3, 2, 1, 0}));
  EXPECT_EQ(r.Palette()[2], (TRGBQuad{5, 5, 5, 0}));
  EXPECT_EQ(r.Palette()[3], (TRGBQuad{128, 128, 128, 0}));
  EXPECT_EQ(r.ScanLine(0)[0], 1);
  EXPECT_EQ(r.ScanLine(0)[3], 2);
}

// The clipboard holds the GIF behind its length and frame 0 as a DIB; a picture read back
// from it through the registry is a GIF again, and the DIB alone gives the same pixels.
TEST(GifClipboard, RoundTripThroughTheRegisteredFormat) {
  ASSERT_NE(CF_GIF, 0);
  EXPECT_EQ(GetClipboardFormatName(CF_GIF), "GIF Image");
  TBitmap b(3, 2, pf24bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b.SetPixelColor(x, y, RGB(40 * x, 100 * y, 200));
  TGIFImage g;
  g.Assign(&b);
  Clipboard().Clear();
  // Frames not yet encoded go on the clipboard as the bitmap only.
  g.SaveToClipboardFormat(Clipboard());
  EXPECT_TRUE(Clipboard().HasFormat(CF_DIB));
  EXPECT_FALSE(Clipboard().HasFormat(CF_GIF));
  g.EncodeAllFrames();
  g.SaveToClipboardFormat(Clipboard());
  const std::string* data = Clipboard().GetData(CF_GIF);
  ASSERT_NE(data, nullptr);
  ASSERT_GE(data->size(), 10u);
  EXPECT_EQ(uint8_t((*data)[0]) | uint8_t((*data)[1]) << 8, int(data->size()) - 4);
  EXPECT_EQ(data->substr(4, 6), "GIF87a");

  std::unique_ptr<TGraphic> back = PictureFromClipboard();
  ASSERT_NE(back, nullptr);
  auto* gif = dynamic_cast<TGIFImage*>(back.get());
  ASSERT_NE(gif, nullptr);
  ASSERT_EQ(gif->Count(), 1);
  EXPECT_EQ(gif->FrameIndex(), 0);
  TBitmap dib;
  dib.LoadFromClipboardFormat(CF_DIB, *Clipboard().GetData(CF_DIB));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(gif->Frame(0).GetBitmap().GetPixelColor(x, y), b.GetPixelColor(x, y)) << x << "," << y;
      EXPECT_EQ(dib.GetPixelColor(x, y), b.GetPixelColor(x, y)) << x << "," << y;
    }

  // A damaged block raises and leaves the picture as it was.
  TGIFImage keep;
  keep.Assign(&b);
  EXPECT_ANY_THROW(keep.LoadFromClipboardFormat(CF_GIF, std::string("\x40\x00\x00\x00GIF8", 8)));
  EXPECT_EQ(keep.Count(), 1);
  Clipboard().Clear();
}
