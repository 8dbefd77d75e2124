// The image cache: loading once, sharing by name, failures and finding equal images.
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

// A file that failed raises once (the renderer reports it once) and is not tried again on the
// next redraws while it stays as it is; once it changes on disk (copied in, mended), or the
// user chooses it again, it is read again.
TEST(ImageCache, FailedFileIsTriedAgainWhenItChangesOrIsChosenAgain) {
  TempDir dir;
  struct {
    const char* what;
    const char* before;  // nullptr: no file
    bool chooseAgain;
  } cases[] = {{"missing, then copied in", nullptr, false},
               {"unreadable, then mended", "not a bitmap", false},
               {"unreadable, chosen again", "not a bitmap", true}};
  int n = 0;
  for (auto& c : cases) {
    std::string f = dir.File("t" + std::to_string(n++) + ".bmp");
    if (c.before) WriteAll(f, c.before);
    XImageCache cache;
    XImageCacheObject* e = cache.GetEntry(f);
    EXPECT_THROW(e->GetGraphic(), Exception) << c.what;
    EXPECT_TRUE(e->Failed) << c.what;
    EXPECT_FALSE(e->Loaded) << c.what;
    // Unchanged: the next redraws neither read it nor raise again.
    for (int i = 0; i < 2; ++i) EXPECT_EQ(e->GetGraphic()->Width(), 0) << c.what;
    if (c.chooseAgain) {
      e->Retry();
      EXPECT_THROW(e->GetGraphic(), Exception) << c.what;  // a new try, reported anew
      EXPECT_EQ(e->GetGraphic()->Width(), 0) << c.what;
      SavePlain(dir.File("fixed.bmp"), 2, 2, 0xFF000000u);
      WriteAll(f, ReadAll(dir.File("fixed.bmp")));
      e->Retry();
    } else {
      SavePlain(f, 2, 2, 0xFF000000u);
    }
    EXPECT_EQ(e->GetGraphic()->Width(), 2) << c.what;
    EXPECT_TRUE(e->Loaded) << c.what;
    EXPECT_FALSE(e->Failed) << c.what;
  }
  // Unload forgets a failure too.
  std::string bad = dir.File("bad.bmp");
  WriteAll(bad, "not a bitmap");
  XImageCache cache;
  XImageCacheObject* e = cache.GetEntry(bad);
  EXPECT_THROW(e->GetGraphic(), Exception);
  e->Unload();
  EXPECT_THROW(e->GetGraphic(), Exception);
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

// A cache held to a budget releases the pictures asked for longest ago, never one that is
// held or the one just read (even alone over the budget), and reads a released one again.
TEST(ImageCache, ABudgetReleasesThePicturesAskedForLongestAgo) {
  TempDir dir;
  const int64_t picture = 10 * 10 * 4;  // bytes of each picture at 32 bits
  std::vector<std::string> files;
  for (int i = 0; i < 4; ++i) {
    files.push_back(dir.File(std::to_string(i) + ".bmp"));
    SavePlain(files.back(), 10, 10, 0xFF000000u | uint32_t(i));
  }
  XImageCache cache;
  cache.SetBudget(3 * picture);
  std::vector<XImageCacheObject*> e;
  for (const std::string& f : files) e.push_back(cache.GetEntry(f));
  for (int i = 0; i < 3; ++i) e[size_t(i)]->GetGraphic();
  EXPECT_EQ(cache.LoadedBytes(), 3 * picture);
  e[0]->GetGraphic();  // asked for again: now the most recent
  e[3]->GetGraphic();
  EXPECT_TRUE(e[0]->Loaded);
  EXPECT_FALSE(e[1]->Loaded) << "the one asked for longest ago goes";
  EXPECT_EQ(cache.LoadedBytes(), 3 * picture);
  {
    TImageCacheHold hold(e[2]);
    e[1]->GetGraphic();
    e[0]->GetGraphic();
    e[3]->GetGraphic();
    EXPECT_TRUE(e[2]->Loaded) << "a held picture stays";
    cache.UnloadAll();
    EXPECT_TRUE(e[2]->Loaded) << "also through UnloadAll";
  }
  // Read again when asked for, with its pixels.
  EXPECT_EQ(e[1]->GetGraphic()->Width(), 10);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(e[1]->Image->ScanLine(0)) & 0xFFFFFF, 1u);
  // A budget smaller than one picture keeps the one just read, and only that one.
  cache.SetBudget(picture / 2);
  EXPECT_EQ(cache.LoadedBytes(), 0) << "a smaller budget releases at once";
  e[3]->GetGraphic();
  e[2]->GetGraphic();
  EXPECT_TRUE(e[2]->Loaded);
  EXPECT_FALSE(e[3]->Loaded);
  // Without a budget (a cache of the program's own making) nothing is released.
  XImageCache open;
  for (const std::string& f : files) open.GetEntry(f)->GetGraphic();
  EXPECT_EQ(open.LoadedBytes(), 4 * picture);
}

// Pictures released in the same drawing that asked for them mean the page's pictures do not
// fit: said once, until another project is opened.
TEST(ImageCache, PicturesOfOneDrawingThatDoNotFitAreToldOnce) {
  TempDir dir;
  XImageCache cache;
  cache.SetBudget(2 * 400);
  std::vector<XImageCacheObject*> e;
  for (int i = 0; i < 3; ++i) {
    SavePlain(dir.File(std::to_string(i) + ".bmp"), 10, 10, 0xFF000000u);
    e.push_back(cache.GetEntry(dir.File(std::to_string(i) + ".bmp")));
  }
  // Two fit: a drawing of them asks for nothing to be released.
  cache.BeginPass();
  e[0]->GetGraphic();
  e[1]->GetGraphic();
  EXPECT_FALSE(cache.TakeOverflow());
  // A drawing of the third lets one of an earlier drawing go: still no overflow.
  cache.BeginPass();
  e[2]->GetGraphic();
  e[1]->GetGraphic();
  EXPECT_FALSE(e[0]->Loaded);
  EXPECT_FALSE(cache.TakeOverflow());
  // One drawing of all three: they do not fit.
  cache.BeginPass();
  for (XImageCacheObject* x : e) x->GetGraphic();
  EXPECT_TRUE(cache.TakeOverflow());
  cache.BeginPass();
  for (XImageCacheObject* x : e) x->GetGraphic();
  EXPECT_FALSE(cache.TakeOverflow()) << "said once";
  cache.UnloadAll();
  cache.BeginPass();
  for (XImageCacheObject* x : e) x->GetGraphic();
  EXPECT_TRUE(cache.TakeOverflow()) << "said again for another project";
}
