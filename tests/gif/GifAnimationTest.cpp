// An animated, interlaced, looping GIF made by ImageMagick and gifsicle: read, changed by
// the picture's operations, written, and read back by gifsicle, giflib and ImageMagick.
#include <gtest/gtest.h>
#include <sstream>

#include "platform/SysUtils.h"
#include "tests/gif/GifTestUtil.h"

namespace {

std::string Q(const std::string& s) { return "'" + s + "'"; }

// Three 23 x 17 frames (17 rows reach every interlace pass), delays of 25, 7 and 130
// hundredths, the second frame disposed to the background, looping five times.
std::string MakeAnimation() {
  const std::string dir = GifTempDir();
  std::string f0 = dir + "/anim0.gif", f1 = dir + "/anim1.gif", f2 = dir + "/anim2.gif";
  std::string out = dir + "/anim.gif";
  ShellOutput("convert -size 23x17 gradient:red-blue -colors 64 " + Q(f0));
  ShellOutput("convert -size 23x17 pattern:checkerboard -fill '#30c050' -draw 'circle 11,8 11,2' " + Q(f1));
  ShellOutput("convert -size 23x17 radial-gradient:yellow-navy -colors 200 " + Q(f2));
  ShellOutput("gifsicle --interlace --loopcount=5 --delay 25 " + Q(f0) + " --delay 7 --disposal bg " + Q(f1) +
              " --delay 130 --disposal none " + Q(f2) + " > " + Q(out));
  return out;
}

// Frame i as ImageMagick decodes it (the frame's own rectangle, not composed).
std::string MagickFrame(const std::string& path, int i) {
  return ShellOutput("convert " + Q(path + "[" + std::to_string(i) + "]") + " -depth 8 rgb:- 2>/dev/null");
}

// gifsicle's description of a file, the first line (which names the file) left out.
std::string GifsicleInfo(const std::string& path) {
  std::string info = ShellOutput("gifsicle --info " + Q(path) + " 2>&1");
  size_t nl = info.find('\n');
  return nl == std::string::npos ? info : info.substr(nl + 1);
}

std::string Save(TGIFImage& g, const std::string& name) {
  std::string path = GifTempDir() + "/" + name;
  g.SaveToFile(path);
  return path;
}

std::vector<std::string> OurFrames(TGIFImage& g) {
  std::vector<std::string> frames;
  for (int i = 0; i < g.Count(); ++i) frames.push_back(BitmapRGB(g.Frame(i).GetBitmap()));
  return frames;
}

// Pixel strings compared without printing them: the first difference is what tells.
::testing::AssertionResult SamePixels(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  if (got.size() != want.size())
    return ::testing::AssertionFailure() << got.size() << " bytes instead of " << want.size();
  size_t i = 0;
  while (got[i] == want[i]) ++i;
  return ::testing::AssertionFailure() << "pixel " << i / 3 << " differs";
}

// Every written frame as ImageMagick decodes it, their number, and the file accepted by
// giflib.
void ExpectToolsRead(const std::string& path, const std::vector<std::string>& frames,
                     const std::string& what) {
  int status = 0;
  ShellOutput("giftext " + Q(path) + " >/dev/null 2>&1", &status);
  EXPECT_EQ(status, 0) << what;
  EXPECT_EQ(ShellOutput("identify " + Q(path) + " | wc -l"), std::to_string(frames.size()) + "\n") << what;
  for (size_t i = 0; i < frames.size(); ++i)
    EXPECT_TRUE(SamePixels(MagickFrame(path, int(i)), frames[i])) << what << " frame " << i;
}

TEST(GifAnimation, ReadAndWrittenBackAsTheToolsSeeIt) {
  REQUIRE_TOOL("convert");
  REQUIRE_TOOL("gifsicle");
  REQUIRE_TOOL("giftext");
  REQUIRE_TOOL("identify");
  const std::string anim = MakeAnimation();
  TGIFImage g;
  g.LoadFromFile(anim);
  ASSERT_EQ(g.Count(), 3);
  EXPECT_TRUE(g.Looping());
  EXPECT_EQ(g.RepeatCount(), 5);
  const uint32_t delays[3] = {250, 70, 1300};
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(g.Frame(i).Interlaced) << i;
    EXPECT_EQ(g.Frame(i).AnimateInterval(), delays[i]) << i;
    EXPECT_EQ(g.Frame(i).GetBitmap().Width(), 23) << i;
    EXPECT_TRUE(SamePixels(BitmapRGB(g.Frame(i).GetBitmap()), MagickFrame(anim, i))) << i;
  }
  EXPECT_EQ(g.Frame(1).DisposalMethod(), dmRestoreBackground);
  const std::vector<std::string> frames = OurFrames(g);

  const std::string out = Save(g, "anim-out.gif");
  EXPECT_EQ(GifsicleInfo(out), GifsicleInfo(anim));
  EXPECT_NE(GifsicleInfo(out).find("loop count 5\n  + image #0 23x17 interlaced\n    delay 0.25s\n"),
            std::string::npos)
      << GifsicleInfo(out);
  ExpectToolsRead(out, frames, "written back");
  TGIFImage back;
  back.LoadFromFile(out);
  EXPECT_TRUE(OurFrames(back) == frames);
}

TEST(GifAnimation, PictureOperationsReachTheWrittenFile) {
  REQUIRE_TOOL("convert");
  REQUIRE_TOOL("gifsicle");
  REQUIRE_TOOL("giftext");
  REQUIRE_TOOL("identify");
  TGIFImage g;
  g.LoadFromFile(MakeAnimation());
  const std::vector<std::string> original = OurFrames(g);

  // The frame index: clamped, and a change only when it changes.
  struct {
    int set, index;
    bool changed;
  } indices[] = {{0, 0, false}, {-7, -1, true}, {-1, -1, false}, {99, 2, true}, {1, 1, true}};
  for (auto c : indices) {
    int before = g.ChangeCount;
    g.SetFrameIndex(c.set);
    EXPECT_EQ(g.FrameIndex(), c.index) << c.set;
    EXPECT_EQ(g.ChangeCount, before + (c.changed ? 1 : 0)) << c.set;
  }

  // The repeat count: at most 30000, written as the loop count.
  int before = g.ChangeCount;
  g.SetRepeatCount(40000);
  EXPECT_EQ(g.RepeatCount(), 30000);
  g.SetRepeatCount(30001);
  EXPECT_EQ(g.ChangeCount, before + 1);
  EXPECT_NE(GifsicleInfo(Save(g, "ops-repeat.gif")).find("loop count 30000\n"), std::string::npos);

  // An assigned copy shares the picture's data until one of them changes its comment.
  TGIFImage copy;
  copy.Assign(&g);
  EXPECT_TRUE(copy.Equals(&g));
  EXPECT_TRUE(g.Equals(&copy));
  TBitmap plain(2, 2, pf24bit);
  EXPECT_FALSE(g.Equals(&plain));
  copy.SetComment({"only the copy"});
  EXPECT_FALSE(copy.Equals(&g));
  EXPECT_TRUE(g.Comment().empty());
  EXPECT_EQ(ReadFileBytes(Save(g, "ops-shared.gif")).find("only the copy"), std::string::npos);
  EXPECT_NE(ReadFileBytes(Save(copy, "ops-copy.gif")).find("only the copy"), std::string::npos);
  EXPECT_TRUE(OurFrames(copy) == original);

  // A frame larger than the screen widens it; moved to second place; the last frame deleted
  // while current steps the index back.
  TBitmap extra(30, 20, pf24bit);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      extra.SetPixelColor(x, y, x < 10 ? RGB(200, 10, 10) : y < 8 ? clWhite : RGB(0, 0, 90));
  EXPECT_EQ(g.AddFrame(&extra), 3);
  EXPECT_EQ(g.FrameIndex(), 3);
  EXPECT_EQ(g.Version, gv89a);
  EXPECT_EQ(g.ScreenWidth(), 30);
  before = g.ChangeCount;
  g.MoveFrame(3, 1);
  EXPECT_EQ(g.FrameIndex(), 1);
  EXPECT_GT(g.ChangeCount, before);
  g.SetFrameIndex(3);
  g.DeleteFrame(3);
  EXPECT_EQ(g.FrameIndex(), 2);
  ASSERT_EQ(g.Count(), 3);
  std::string path = Save(g, "ops-edited.gif");
  std::string info = GifsicleInfo(path);
  EXPECT_NE(info.find("logical screen 30x20\n"), std::string::npos) << info;
  EXPECT_NE(info.find("+ image #1 30x20\n"), std::string::npos) << info;
  EXPECT_NE(info.find("+ image #2 23x17 interlaced\n    disposal background delay 0.07s\n"),
            std::string::npos)
      << info;
  ExpectToolsRead(path, {original[0], BitmapRGB(extra), original[1]}, "edited");

  // The extra frame deleted again: the screen shrinks back.
  g.DeleteFrame(1);
  EXPECT_EQ(g.ScreenWidth(), 23);
  EXPECT_EQ(g.ScreenHeight(), 17);
  path = Save(g, "ops-deleted.gif");
  EXPECT_NE(GifsicleInfo(path).find("logical screen 23x17\n"), std::string::npos) << GifsicleInfo(path);
  ExpectToolsRead(path, {original[0], original[1]}, "deleted");

  // Grey: every written pixel is the weighted grey of the one it was.
  g.Grayscale(false);
  path = Save(g, "ops-grey.gif");
  for (int i = 0; i < 2; ++i) {
    std::string want = original[size_t(i)];
    for (size_t p = 0; p < want.size(); p += 3) {
      uint8_t v =
          uint8_t((77 * uint8_t(want[p]) + 150 * uint8_t(want[p + 1]) + 29 * uint8_t(want[p + 2])) >> 8);
      want[p] = want[p + 1] = want[p + 2] = char(v);
    }
    EXPECT_TRUE(SamePixels(MagickFrame(path, i), want)) << i;
    EXPECT_TRUE(SamePixels(BitmapRGB(g.Frame(i).GetBitmap()), want)) << i;
    EXPECT_TRUE(g.Frame(i).Grayscale) << i;
  }
  TGIFImage none;
  EXPECT_THROW(none.Grayscale(false), EInvalidGraphicOperation);
}

}  // namespace
