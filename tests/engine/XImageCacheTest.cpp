#include "engine/XImageCache.h"

#include <gtest/gtest.h>

#include "engine/XBlend.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

namespace {
void SavePlain(const std::string& f, int w, int h, uint32_t value) {
  XImage img;
  img.SetSize(w, h);
  ImageFill(img, img, value);
  img.SaveToFile(f);
}
}  // namespace

TEST(ImageCache, LoadsOnceSharesByNameAndRereadsAfterUnload) {
  TempDir dir;
  std::string f = dir.Path() + "/t.bmp";
  SavePlain(f, 4, 3, 0xFF102030u);
  XImageCache cache;
  XImageCacheObject* e = cache.GetEntry(f);
  EXPECT_EQ(cache.GetEntry(f), e);
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_FALSE(e->Loaded);
  EXPECT_EQ(e->Image->Width(), 0);
  XImageCacheObject* upper = cache.GetEntry(dir.Path() + "/T.bmp");
  EXPECT_NE(upper, e);  // names are compared exactly
  EXPECT_EQ(cache.FindByFileName(dir.Path() + "/T.bmp"), upper);
  EXPECT_EQ(cache.FindByFileName("missing"), nullptr);

  XImage* img = e->GetGraphic();
  EXPECT_TRUE(e->Loaded);
  EXPECT_EQ(img->Width(), 4);
  // A changed file is not read again while loaded ...
  SavePlain(f, 6, 2, 0xFF000000u);
  EXPECT_EQ(e->GetGraphic()->Width(), 4);
  // ... but is after UnloadAll.
  cache.UnloadAll();
  EXPECT_FALSE(e->Loaded);
  EXPECT_EQ(e->Image->Width(), 0);
  EXPECT_EQ(e->GetGraphic()->Width(), 6);
}

TEST(ImageCache, UnreadableFileFailsOnceUntilUnloaded) {
  TempDir dir;
  std::string f = dir.Path() + "/bad.bmp";
  WriteAll(f, "not a bitmap");
  XImageCache cache;
  XImageCacheObject* e = cache.GetEntry(f);
  EXPECT_THROW(e->GetGraphic(), Exception);
  EXPECT_TRUE(e->Failed);
  EXPECT_FALSE(e->Loaded);
  SavePlain(f, 2, 2, 0xFF000000u);  // not looked at again on the next redraw
  EXPECT_EQ(e->GetGraphic()->Width(), 0);
  e->Unload();
  EXPECT_EQ(e->GetGraphic()->Width(), 2);
}

TEST(ImageCache, FindEqualImageLoadsInOrderUntilTheFirstEqual) {
  TempDir dir;
  XImageCache cache;
  const uint32_t colours[] = {0xFF000001u, 0xFF000002u, 0xFF000003u};
  for (int i = 0; i < 3; ++i) {
    std::string f = dir.Path() + "/" + std::to_string(i) + ".bmp";
    SavePlain(f, 3, 3, colours[i]);
    cache.GetEntry(f);
  }
  cache.GetEntry(dir.Path() + "/missing.bmp");
  TBitmap probe(3, 3);
  ImageFill(probe, probe, 0xFF000002u);
  EXPECT_EQ(cache.FindEqualImage(probe), cache.Entry(1));
  EXPECT_TRUE(cache.Entry(0)->Loaded);
  EXPECT_TRUE(cache.Entry(1)->Loaded);
  EXPECT_FALSE(cache.Entry(2)->Loaded);
  ImageFill(probe, probe, 0xFF000009u);
  EXPECT_EQ(cache.FindEqualImage(probe), nullptr);
  EXPECT_TRUE(cache.Entry(2)->Loaded);
  EXPECT_TRUE(cache.Entry(3)->Failed);
  EXPECT_EQ(&ImageCache(), &ImageCache());
}
