// One image per texture file name, loaded from disk when its pixels are first asked for.
#pragma once
#include <cstdint>
#include <string>

#include "engine/XImage.h"
#include "engine/XObject.h"
#include "platform/ImageLimits.h"
#include "platform/SysUtils.h"

class XImageCache;

class XImageCacheObject : public XObject {
 public:
  // Appends itself to the cache.
  XImageCacheObject(const std::string& fileName, XImageCache* owner);
  ~XImageCacheObject() override;
  // Loads the file on first use (or again after the cache released it to keep within its
  // budget). A file that cannot be read raises once and is then marked failed: later calls
  // give the empty image without reading or raising again, as long as the file stays as it
  // was (missing, or the same size, times and inode); a file that changed (copied in,
  // rewritten, given other permissions) is read again.
  //
  // The image stays valid until the next GetGraphic of another entry of the cache may load
  // a picture: hold it (TImageCacheHold) to keep it over such a call.
  XImage* GetGraphic();
  // The user chose the file again: the next GetGraphic reads it even when it has not changed.
  void Retry() { Failed = false; }
  // Marks a file that is known to be missing as failed without trying it, so that its users
  // draw without it until it appears.
  void MarkMissing();
  // Drops the pixels; the next GetGraphic reads the file again.
  void Unload();

  XImage* Image;
  bool Loaded = false;
  bool Failed = false;
  const std::string FileName;

 private:
  friend class XImageCache;
  friend class TImageCacheHold;
  XImageCache* FCache;
  // What the file was like when it failed.
  TFileStamp FFailedStamp;
  // When the picture was last asked for, in the cache's count of requests.
  uint64_t FLastUse = 0;
  // Holds that keep the pixels from being released.
  int FHolds = 0;
};

class XImageCache : public XObject {
 public:
  XImageCache() = default;
  // Exact, case-sensitive comparison of the whole name, first in list order.
  XImageCacheObject* FindByFileName(const std::string& name) const;
  XImageCacheObject* GetEntry(const std::string& name);
  // Loads the entries in order until one is pixel-equal to the bitmap.
  XImageCacheObject* FindEqualImage(TBitmap& bitmap);
  void UnloadAll();
  XImageCacheObject* Entry(int index) const { return static_cast<XImageCacheObject*>(Items(index)); }

  // The most bytes of pixels the loaded entries keep; 0, the default, is no bound. Past it
  // the pictures asked for longest ago are released (never one that is held, nor the one
  // just read), before a picture is read and after. The entries themselves stay.
  void SetBudget(int64_t bytes);
  int64_t Budget() const { return FBudget; }
  // The bytes of pixels of the loaded entries.
  int64_t LoadedBytes() const;
  // A drawing of a page begins: a picture asked for from now on and released again before
  // the drawing ends means the page's pictures do not fit the budget.
  void BeginPass() { FPassStart = FUses; }
  // True once when pictures of a page did not fit, until UnloadAll (another project).
  bool TakeOverflow();

 private:
  friend class XImageCacheObject;
  void Used(XImageCacheObject& entry) { entry.FLastUse = ++FUses; }
  // Releases the pictures asked for longest ago until the loaded ones keep within the
  // budget; `keep` is not released.
  void MakeRoom(const XImageCacheObject* keep);

  int64_t FBudget = 0;
  uint64_t FUses = 0, FPassStart = 0;
  bool FOverflow = false, FOverflowSaid = false;
};

// Keeps an entry's pixels in memory while it lives, whatever else the cache reads.
class TImageCacheHold {
 public:
  explicit TImageCacheHold(XImageCacheObject* entry) : FEntry(entry) {
    if (FEntry) ++FEntry->FHolds;
  }
  ~TImageCacheHold() {
    if (FEntry) --FEntry->FHolds;
  }
  TImageCacheHold(const TImageCacheHold&) = delete;
  TImageCacheHold& operator=(const TImageCacheHold&) = delete;

 private:
  XImageCacheObject* FEntry;
};

// The program's cache, held to kImageCacheBytes; its entries live until the program ends.
XImageCache& ImageCache();
