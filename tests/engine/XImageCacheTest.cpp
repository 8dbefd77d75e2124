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

// A drawing of a page gives each of the page's pictures room in the order they are asked for;
// one that would only fit by releasing another of the page's (or one of this drawing's, or a
// held one) is left out unread, and the drawing is told once, by name and size, until another
// project is opened. The page's pictures keep their room whatever part of the page is drawn;
// room freed, or a file that changes, lets a left-out picture in.
TEST(ImageCache, APagesPicturesThatDoNotFitAreLeftOutAndToldOnce) {
  TempDir dir;
  const int64_t picture = 10 * 10 * 4;
  XImageCache cache;
  cache.SetBudget(2 * picture);
  std::vector<XImageCacheObject*> e;
  for (int i = 0; i < 4; ++i) {
    SavePlain(dir.File(std::to_string(i) + ".bmp"), 10, 10, 0xFF000000u | uint32_t(i));
    e.push_back(cache.GetEntry(dir.File(std::to_string(i) + ".bmp")));
  }
  const std::vector<XImageCacheObject*> page = {e[0], e[1], e[2]};
  auto drawing = [&](const std::vector<XImageCacheObject*>& asked) {
    cache.BeginPass(page);
    for (XImageCacheObject* x : asked) x->GetGraphicIfItFits();
  };
  drawing(page);
  EXPECT_TRUE(e[0]->Loaded && e[1]->Loaded);
  EXPECT_FALSE(e[2]->Loaded);
  EXPECT_TRUE(e[2]->DidNotFit);
  EXPECT_FALSE(e[2]->Failed) << "no fault of the file's";
  EXPECT_EQ(e[2]->Image->Width(), 0);
  EXPECT_EQ(e[2]->NeededBytes(), picture) << "its size is known, though it was not read";
  XImageCache::TOverflow report;
  ASSERT_TRUE(cache.TakeOverflow(&report));
  ASSERT_EQ(report.Left.size(), 1u);
  EXPECT_EQ(report.Left[0].first, e[2]->FileName);
  EXPECT_EQ(report.Left[0].second, picture);
  EXPECT_EQ(report.Needed, 3 * picture);
  EXPECT_EQ(report.Budget, 2 * picture);
  // Drawn again, whole or in part: the same pictures are drawn, and nothing is said again.
  for (const auto& asked :
       {page, std::vector<XImageCacheObject*>{e[2]}, std::vector<XImageCacheObject*>{e[2], e[1]}}) {
    drawing(asked);
    EXPECT_TRUE(e[0]->Loaded && e[1]->Loaded) << "a part of the page drawn releases none of its pictures";
    EXPECT_FALSE(e[2]->Loaded);
    EXPECT_FALSE(cache.TakeOverflow()) << "said once";
  }
  // A picture outside the page, read on request, goes before the page's own.
  e[3]->GetGraphic();
  drawing(page);
  EXPECT_TRUE(e[0]->Loaded && e[1]->Loaded);
  // A held picture keeps its room against the page too.
  {
    TImageCacheHold hold(e[3]);
    cache.BeginPass(page);
    e[3]->GetGraphic();
    EXPECT_TRUE(e[3]->Loaded);
  }
  // The page no longer uses e[0]: its room goes to the picture left out.
  cache.BeginPass({e[1], e[2]});
  EXPECT_EQ(e[2]->GetGraphicIfItFits()->Width(), 10);
  EXPECT_TRUE(e[2]->Loaded);
  EXPECT_FALSE(e[2]->DidNotFit);
  EXPECT_FALSE(e[0]->Loaded) << "released for the page's picture";
  EXPECT_TRUE(e[1]->Loaded);
  EXPECT_LE(cache.LoadedBytes(), 2 * picture);
  // Back on the page, e[0] is now the one that waits; made smaller on disk, it fits.
  drawing({e[1], e[2], e[0]});
  EXPECT_FALSE(e[0]->Loaded);
  EXPECT_TRUE(e[0]->DidNotFit);
  cache.SetBudget(2 * picture + 4);
  SavePlain(e[0]->FileName, 1, 1, 0xFF000000u);
  drawing({e[1], e[2], e[0]});
  EXPECT_TRUE(e[0]->Loaded) << "a changed file is tried again";
  EXPECT_EQ(e[0]->NeededBytes(), 4);
  // Another project: said again.
  cache.UnloadAll();
  EXPECT_FALSE(e[0]->DidNotFit);
  SavePlain(e[0]->FileName, 10, 10, 0xFF000000u);
  cache.SetBudget(2 * picture);
  drawing(page);
  EXPECT_TRUE(cache.TakeOverflow()) << "said again for another project";
}

// Every reader tells a size watch the size of the picture before it allocates its pixels, and
// a watch that refuses it stops the load, leaving the image as it was.
TEST(ImageCache, EveryReaderTellsThePictureSizeBeforeItAllocates) {
  TempDir dir;
  XImage source;
  source.SetSize(37, 23);
  ImageFill(source, source, 0xFF336699u);
  for (const char* ext : {".bmp", ".png", ".gif", ".jpg", ".ppm", ".tiff", ".tga", ".pcx"}) {
    SCOPED_TRACE(ext);
    const std::string file = dir.File(std::string("p") + ext);
    source.SaveToFile(file);
    int64_t largest = 0;
    {
      TPictureSizeWatch watch([&](int64_t w, int64_t h) { largest = std::max(largest, w * h); });
      XImage image;
      image.LoadFromFile(file);
      EXPECT_EQ(image.Width(), 37);
    }
    EXPECT_EQ(largest, 37 * 23);
    XImage kept;
    kept.SetSize(2, 2);
    bool refused = false;
    try {
      TPictureSizeWatch watch([](int64_t, int64_t) { throw EInvalidGraphic("no room"); });
      kept.LoadFromFile(file);
    } catch (const Exception&) { refused = true; }
    EXPECT_TRUE(refused);
    EXPECT_EQ(kept.Width(), 2);
  }
}
