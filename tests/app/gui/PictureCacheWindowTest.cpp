// The window and a picture cache too small for the page's pictures: the style window's preview
// keeps to the cache's rule for the page (it neither reads a left-out picture in full nor
// pushes out one the page shows), and a picture left out comes onto its object as soon as
// there is room for it.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include <QCoreApplication>

#include "engine/XImage.h"
#include "engine/XImageCache.h"
#include "platform/ImageLimits.h"
#include "platform/SysUtils.h"
#include "tests/support/StyleFixture.h"

namespace {

constexpr int kSide = 512;  // each picture is 1 MB at 32 bits

// Room for one of the two pictures only, for the length of a test.
struct SmallCache {
  SmallCache() {
    ImageCache().UnloadAll();
    ImageCache().SetBudget(int64_t(kSide) * kSide * 4 * 3 / 2);
  }
  ~SmallCache() {
    ImageCache().SetBudget(kImageCacheBytes);
    ImageCache().UnloadAll();
  }
};

struct TwoPictures {
  ProgramHome home;
  SmallCache cache;
  std::unique_ptr<TFormMain> w;
  XImageCacheObject *one = nullptr, *two = nullptr;

  TwoPictures() {
    EXPECT_TRUE(ForceDirectories(home.dir.File("Images")));
    for (auto [name, colour] : {std::pair{"one.bmp", 0x0000FF}, std::pair{"two.bmp", 0xFF0000}}) {
      XImage picture;
      picture.SetSize(kSide, kSide);
      picture.Canvas().Brush.SetColor(TColor(colour));
      picture.Canvas().FillRect(TRect(0, 0, kSide, kSide));
      picture.SaveToFile(home.dir.File(std::string("Images/") + name));
    }
    const std::string page = home.dir.File("pictures.zlm");
    WriteAll(page, StyleProjectText({{"", 10, 10, 90, 50, "TextureFileName=one.bmp\nTextureMode=1\n"},
                                     {"", 110, 10, 190, 50, "TextureFileName=two.bmp\nTextureMode=1\n"}}));
    w = StartEditing(page);
    one = w->Scene->Button(0)->Style->Texture;
    two = w->Scene->Button(1)->Style->Texture;
  }

  // The pixels of the second object's box that show its picture's colour.
  int SecondShowsItsPicture() {
    int n = 0;
    for (int y = 20; y < 40; ++y)
      for (int x = 130; x < 170; ++x) {
        uint32_t v;
        std::memcpy(&v, w->Scene->Page->ScanLine(y) + 4 * x, 4);
        n += (v & 0xFFFFFF) == 0x0000FF ? 1 : 0;  // blue, as the page holds BGR
      }
    return n;
  }
};

}  // namespace

TEST(PictureCacheWindow, ThePreviewOfALeftOutPictureKeepsToTheCachesRule) {
  TwoPictures s;
  ASSERT_NE(s.one, nullptr);
  ASSERT_NE(s.two, nullptr);
  // The page shows the first picture; the second had no room and was left out (and said so).
  ASSERT_TRUE(s.one->Loaded);
  ASSERT_FALSE(s.two->Loaded);
  EXPECT_TRUE(s.two->DidNotFit);
  EXPECT_EQ(s.home.TakeBoxes().size(), 1u);
  // Selecting the second object shows its style: the preview does not read its picture in
  // full over the budget, and the first picture, which the page shows, stays.
  s.w->Scene->SelectNone();
  s.w->SelectButton(s.w->Scene->Button(1), false);
  QCoreApplication::processEvents();
  EXPECT_EQ(s.w->Scene->Current, s.w->Scene->Button(1));
  EXPECT_FALSE(s.two->Loaded);
  EXPECT_TRUE(s.one->Loaded);
  EXPECT_LE(ImageCache().LoadedBytes(), ImageCache().Budget());
  EXPECT_EQ(s.SecondShowsItsPicture(), 0);
  EXPECT_TRUE(s.home.TakeBoxes().empty());
}

TEST(PictureCacheWindow, APictureLeftOutComesOntoItsObjectOnceThereIsRoom) {
  TwoPictures s;
  ASSERT_FALSE(s.two->Loaded);
  ASSERT_EQ(s.SecondShowsItsPicture(), 0);
  s.home.TakeBoxes();
  // The object with the first picture goes: its room is the second picture's now, and the
  // second object shows it at once, without being touched.
  s.w->Scene->SelectNone();
  s.w->SelectButton(s.w->Scene->Button(0), false);
  s.w->MenuItemDelete1Click(nullptr);
  QCoreApplication::processEvents();
  ASSERT_EQ(s.w->Scene->Count(), 1);
  EXPECT_TRUE(s.two->Loaded);
  EXPECT_FALSE(s.two->DidNotFit);
  EXPECT_EQ(s.SecondShowsItsPicture(), 40 * 20);
  EXPECT_TRUE(s.home.TakeBoxes().empty());
  // Undo brings the first object back: the page's pictures do not fit again, and the one
  // that has its room keeps it; the page is drawn alike.
  s.w->MIUndoClick(nullptr);
  QCoreApplication::processEvents();
  EXPECT_EQ(s.w->Scene->Count(), 2);
  EXPECT_LE(ImageCache().LoadedBytes(), ImageCache().Budget());
}
