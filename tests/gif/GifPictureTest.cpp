// The GIF picture's assignments from a frame and from an animated cursor, its palette, its
// change notices and its progress reports while reading and writing.
#include <functional>
#include <gtest/gtest.h>

#include "gif/Anifile.h"
#include "platform/SysUtils.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/GifTestUtil.h"
#include "tests/gif/IconFiles.h"

namespace {

// A picture of three frames of 4 x 3 with their own colours, the middle one at (2, 1).
TGIFImage& ThreeFrames(TGIFImage& g) {
  for (int f = 0; f < 3; ++f) {
    TBitmap b(4, 3, pf24bit);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x)
        b.SetPixelColor(x, y, RGB(uint8_t(60 * f + x), uint8_t(40 * y), uint8_t(200 - f)));
    g.AddFrame(&b);
  }
  g.Frame(1).SetTopLeft({2, 1});
  g.Frame(1).SetAnimateInterval(120);
  g.SetFrameIndex(0);
  return g;
}

std::string Written(TGIFImage& g) {
  TMemoryStream m;
  g.SaveToStream(m);
  return m.DataAsString();
}

TEST(GifPicture, OneFrameBecomesThePicture) {
  TGIFImage source;
  LoadBytes(source, Written(ThreeFrames(source)));  // frames with image data and a global map
  ASSERT_EQ(source.Count(), 3);
  const std::string middle = BitmapRGB(source.Frame(1).GetBitmap());

  TGIFImage g;
  ThreeFrames(g).SetLooping(true);
  g.Assign(source.Frame(1));
  ASSERT_EQ(g.Count(), 1);
  EXPECT_EQ(g.FrameIndex(), 0);
  EXPECT_FALSE(g.Looping());
  EXPECT_EQ(g.GlobalColorCount(), source.GlobalColorCount());
  EXPECT_EQ(g.Frame(0).AnimateInterval(), 120u);
  EXPECT_EQ(g.Frame(0).TopLeft().X, 2);
  EXPECT_EQ(BitmapRGB(g.Frame(0).GetBitmap()), middle);
  EXPECT_EQ(g.ScreenWidth(), 6);
  TGIFImage back;
  LoadBytes(back, Written(g));
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(Frame0RGB(back), middle);
  EXPECT_EQ(source.Count(), 3);  // the source is left as it was

  // A frame of the picture itself.
  source.Assign(source.Frame(2));
  ASSERT_EQ(source.Count(), 1);
  TGIFImage fresh;
  ThreeFrames(fresh);
  EXPECT_EQ(Frame0RGB(source), BitmapRGB(fresh.Frame(2).GetBitmap()));
  EXPECT_NE(Written(source).size(), 0u);
}

// A frame handed to a GIF picture becomes that picture's one frame: its own pixels, size and
// colours, not the picture the frame came from.
TEST(GifPicture, AFrameAssignedToAPictureIsThatFrameOnly) {
  // Frame 1: 4 x 2 over the global map; frame 2: 2 x 3 at (1, 1) with a local map of its own.
  const std::string bytes = GifBuilder()
                                .Header(6, 4, 2)
                                .Image(4, 2)
                                .Codes(2, {4, 0, 1, 2, 3, 3, 2, 1, 0, 5})
                                .Image(2, 3, 0x80, 1, 1)
                                .Bytes({250, 10, 20, 30, 240, 40})
                                .Codes(2, {4, 1, 0, 0, 1, 1, 1, 5})
                                .Trailer()
                                .b;
  TGIFImage source;
  LoadBytes(source, bytes);
  ASSERT_EQ(source.Count(), 2);
  TBitmap& second = source.Frame(1).GetBitmap();
  ASSERT_EQ(second.Width(), 2);
  ASSERT_EQ(second.Height(), 3);
  const std::string pixels = BitmapRGB(second);

  TGIFImage dest;
  source.Frame(1).AssignTo(&dest);
  ASSERT_EQ(dest.Count(), 1);
  TBitmap& got = dest.Frame(0).GetBitmap();
  EXPECT_EQ(got.Width(), 2);
  EXPECT_EQ(got.Height(), 3);
  EXPECT_EQ(BitmapRGB(got), pixels);
  EXPECT_EQ(got.GetPixelColor(0, 0), RGB(30, 240, 40));  // the local map's second colour
  EXPECT_EQ(got.GetPixelColor(1, 0), RGB(250, 10, 20));
  ASSERT_GE(dest.GetPalette().size(), 2u);
  EXPECT_EQ(dest.GetPalette()[0], (TRGBQuad{20, 10, 250, 0}));
  EXPECT_EQ(dest.GetPalette()[1], (TRGBQuad{40, 240, 30, 0}));

  // Written and read back, the picture is the one frame still.
  TGIFImage back;
  LoadBytes(back, Written(dest));
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(Frame0RGB(back), pixels);
  EXPECT_EQ(source.Count(), 2);  // the source is left as it was

  // A frame handed to its own picture.
  source.Frame(1).AssignTo(&source);
  ASSERT_EQ(source.Count(), 1);
  EXPECT_EQ(Frame0RGB(source), pixels);
}

TEST(GifPicture, AnAnimatedCursorBecomesAnAnimation) {
  const uint32_t red = 0xFFFF0000, blue = 0xFF0000FF, clear = 0x00000000;
  std::string fram = "fram" + Chunk("icon", IconFile(1, 3, 2, {red, red, clear, red, red, red})) +
                     Chunk("icon", IconFile(1, 3, 2, {blue, clear, blue, blue, blue, blue}));
  std::string anih;
  for (uint32_t v : {36u, 2u, 3u, 0u, 0u, 0u, 0u, 10u, 1u}) AppendLe32(anih, v);
  std::string rates, seq;
  for (uint32_t v : {6u, 30u, 12u}) AppendLe32(rates, v);
  for (uint32_t v : {0u, 1u, 0u}) AppendLe32(seq, v);
  std::string ani = Chunk(
      "RIFF", "ACON" + Chunk("anih", anih) + Chunk("rate", rates) + Chunk("seq ", seq) + Chunk("LIST", fram));
  TAnimatedCursorImage cursor;
  TMemoryStream m;
  m.WriteBuffer(ani.data(), int64_t(ani.size()));
  m.SetPosition(0);
  cursor.LoadFromStream(m);

  TGIFImage g;
  int before = g.ChangeCount;
  g.Assign(cursor);
  EXPECT_GT(g.ChangeCount, before);
  ASSERT_EQ(g.Count(), 3);  // the frames as the cursor shows them
  EXPECT_EQ(g.BackgroundColor(), clWindow);
  const uint32_t ms[3] = {100, 500, 200};  // jiffies of 1/60 second
  for (int i = 0; i < 3; ++i) EXPECT_EQ(g.Frame(i).AnimateInterval(), ms[i]) << i;
  // What the icon leaves transparent is the frame's transparent colour.
  TGIFImage back;
  LoadBytes(back, Written(g));
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Version, gv89a);
  for (int i = 0; i < 3; ++i) {
    TGIFFrame& f = back.Frame(i);
    ASSERT_NE(f.TransparentColor(), clNone) << i;
    TBitmap& b = f.GetBitmap();
    TColor ink = i == 1 ? clBlue : clRed;
    EXPECT_EQ(b.GetPixelColor(i == 1 ? 1 : 2, 0), f.TransparentColor()) << i;
    EXPECT_EQ(b.GetPixelColor(0, 1), ink) << i;
    EXPECT_EQ(f.AnimateInterval(), ms[i]) << i;
  }
}

TEST(GifPicture, PaletteOfTheCurrentFrame) {
  TGIFImage g;
  EXPECT_TRUE(g.GetPalette().empty());
  EXPECT_EQ(g.Count(), 0);  // asking made no frame
  LoadBytes(g, GifBuilder().Header(2, 1, 2).Image(2, 1).Codes(2, {4, 1, 3, 5}).Trailer().b);
  // Two bits a pixel decode into a 16-colour bitmap whose first four entries are the map.
  std::vector<TRGBQuad> pal = g.GetPalette();
  ASSERT_EQ(pal.size(), 16u);
  EXPECT_EQ(pal, g.Frame(0).GetBitmap().Palette());
  for (int i = 0; i < 4; ++i) {
    uint32_t rgb = GifBuilder::MapRGB(i);
    EXPECT_EQ(pal[size_t(i)], (TRGBQuad{uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0})) << i;
  }
}

TEST(GifPicture, SettersNoticeOnlyChanges) {
  TGIFImage g;
  struct Case {
    const char* name;
    std::function<void()> set;
    bool changed;
  } cases[] = {
      {"background", [&] { g.SetBackgroundColor(clRed); }, true},
      {"same background", [&] { g.SetBackgroundColor(clRed); }, false},
      {"looping", [&] { g.SetLooping(true); }, true},
      {"same looping", [&] { g.SetLooping(true); }, false},
      {"repeat", [&] { g.SetRepeatCount(4); }, true},
      {"same repeat", [&] { g.SetRepeatCount(4); }, false},
  };
  for (const Case& c : cases) {
    int before = g.ChangeCount;
    c.set();
    EXPECT_EQ(g.ChangeCount, before + (c.changed ? 1 : 0)) << c.name;
  }
  EXPECT_EQ(g.BackgroundColor(), clRed);
  EXPECT_TRUE(g.Looping());
}

// Grey frames are written grey also when the picture has no background colour, which is
// what otherwise took the global colour map to grey.
TEST(GifPicture, GreyWithoutABackgroundColour) {
  for (bool background : {true, false}) {
    TGIFImage g;
    LoadBytes(g, GifBuilder().Header(4, 1, 2).Image(4, 1).Codes(2, {4, 0, 1, 2, 3, 5}).Trailer().b);
    if (!background) g.SetBackgroundColor(clNone);
    g.Grayscale(false);
    TGIFImage back;
    LoadBytes(back, Written(g));
    for (int x = 0; x < 4; ++x) {
      uint32_t rgb = GifBuilder::MapRGB(x);
      int grey = (77 * int(rgb >> 16) + 150 * int((rgb >> 8) & 0xFF) + 29 * int(rgb & 0xFF)) >> 8;
      EXPECT_EQ(back.Frame(0).GetBitmap().GetPixelColor(x, 0),
                RGB(uint8_t(grey), uint8_t(grey), uint8_t(grey)))
          << background << " " << x;
    }
  }
}

struct Report {
  TProgressStage stage;
  int percent;
};

// Starting at 0, rising, ending at 100.
void ExpectWellFormed(const std::vector<Report>& r, const char* what) {
  ASSERT_GE(r.size(), 3u) << what;
  EXPECT_EQ(r.front().stage, psStarting) << what;
  EXPECT_EQ(r.front().percent, 0) << what;
  EXPECT_EQ(r.back().stage, psEnding) << what;
  EXPECT_EQ(r.back().percent, 100) << what;
  for (size_t i = 1; i + 1 < r.size(); ++i) {
    EXPECT_EQ(r[i].stage, psRunning) << what << " " << i;
    EXPECT_GE(r[i].percent, r[i - 1].percent) << what << " " << i;
    EXPECT_LE(r[i].percent, 100) << what << " " << i;
  }
}

TEST(GifPicture, ProgressWhileReadingAndWriting) {
  std::vector<Report> reports;
  TGIFImage g;
  g.OnProgress = [&](TProgressStage s, uint8_t p, const std::string&) { reports.push_back({s, p}); };
  ThreeFrames(g);
  std::string bytes = Written(g);
  ExpectWellFormed(reports, "writing");
  EXPECT_GE(reports.size(), 5u);  // a report for each of the three frames

  reports.clear();
  LoadBytes(g, bytes);
  ExpectWellFormed(reports, "reading");
  EXPECT_GE(reports.size(), 5u);

  // A failed read ends its reports too, and leaves the picture.
  reports.clear();
  EXPECT_THROW(LoadBytes(g, bytes.substr(0, 6) + "xx"), Exception);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().stage, psEnding);
  EXPECT_EQ(g.Count(), 3);
}

// The rows are the steps: a tall picture reports each row of its reading, writing, and of a
// frame decoded later on its own, in one well-formed run each.
TEST(GifPicture, ProgressGoesByRows) {
  constexpr int kRows = 700;
  std::vector<Report> reports;
  auto record = [&](TProgressStage s, uint8_t p, const std::string&) { reports.push_back({s, p}); };
  TGIFImage g;
  g.OnProgress = record;
  for (int f = 0; f < 2; ++f) {
    TBitmap b(5, kRows, pf24bit);
    for (int y = 0; y < kRows; ++y)
      for (int x = 0; x < 5; ++x)
        b.SetPixelColor(x, y, RGB(uint8_t(y * 7 + f), uint8_t(x * 40), uint8_t(y / 3)));
    g.AddFrame(&b);
  }
  auto runningSteps = [&] {
    std::vector<int> p;
    for (const Report& r : reports)
      if (r.stage == psRunning) p.push_back(r.percent);
    return p;
  };
  auto expectManySteps = [&](const char* what, size_t rows) {
    ExpectWellFormed(reports, what);
    std::vector<int> p = runningSteps();
    EXPECT_GE(p.size(), rows) << what;
    p.erase(std::unique(p.begin(), p.end()), p.end());
    EXPECT_GE(p.size(), 60u) << what;
  };
  const std::string bytes = Written(g);
  expectManySteps("writing two frames", 2 * kRows);
  // Deep frames: the colour reduction goes over the rows twice (counting, mapping) before the
  // coding does, and reports each of those rows too.
  EXPECT_GE(runningSteps().size(), size_t(5 * kRows));

  reports.clear();
  TGIFImage back;
  back.OnProgress = record;
  LoadBytes(back, bytes);
  expectManySteps("reading, the first frame decoded", kRows);

  // The second frame is decoded when it is asked for.
  reports.clear();
  EXPECT_EQ(back.Frame(1).GetBitmap().Height(), kRows);
  expectManySteps("decoding the second frame", kRows);
}

}  // namespace
