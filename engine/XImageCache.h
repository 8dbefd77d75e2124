// One image per texture file name, loaded from disk when its pixels are first asked for.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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
  //
  // The cache makes room for the picture before its pixels are allocated (the reader tells its
  // size first), so that a budget's worth of pictures and the one coming are all it keeps.
  XImage* GetGraphic();
  // The same for a drawing of a page: a picture that would not fit the budget beside the
  // pictures the page uses (and those held or drawn in this drawing) is not read, nor kept
  // from them; the empty image comes back, DidNotFit is set and the drawing is told
  // (XImageCache::TakeOverflow). Once its size is known such a picture is not opened again
  // while it cannot fit: asking for it costs nothing. Room made (a picture the page no longer
  // uses, a larger budget, another project) or a changed file lets it be read again.
  XImage* GetGraphicIfItFits();
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
  // The last drawing that asked for it found no room for it.
  bool DidNotFit = false;
  const std::string FileName;
  // The bytes of its pixels once loaded, or as its reader declared them; 0 while unknown.
  int64_t NeededBytes() const { return FNeed; }

 private:
  friend class XImageCache;
  friend class TImageCacheHold;
  XImageCache* FCache;
  XImage* Read(bool mayDecline);
  // What the file was like when it failed, or when its size was learnt.
  TFileStamp FFailedStamp, FNeedStamp;
  int64_t FNeed = 0;
  // When the picture was last asked for, in the cache's count of requests.
  uint64_t FLastUse = 0;
  // Holds that keep the pixels from being released.
  int FHolds = 0;
  // The drawing whose page uses it.
  uint64_t FPagePass = 0;
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
  // A drawing of a page begins; `pageUses` are the pictures of the whole page (not only of
  // the part drawn), which keep their room against pictures the page does not use.
  void BeginPass(const std::vector<XImageCacheObject*>& pageUses = {});
  // The pictures of a drawing that did not fit: once, until UnloadAll (another project).
  struct TOverflow {
    // The pictures left out, with the bytes each needs.
    std::vector<std::pair<std::string, int64_t>> Left;
    // The bytes the page's pictures need together, and the budget.
    int64_t Needed = 0, Budget = 0;
  };
  bool TakeOverflow(TOverflow* report = nullptr);

 private:
  friend class XImageCacheObject;
  void Used(XImageCacheObject& entry) { entry.FLastUse = ++FUses; }
  // Releases the pictures asked for longest ago until the loaded ones and `coming` bytes
  // more keep within the budget; `keep` is not released. With `forPage` the pictures of
  // the page and of this drawing are not released either, and false comes back, releasing
  // nothing, when there is no room for `coming` without them.
  bool MakeRoom(const XImageCacheObject* keep, int64_t coming = 0, bool forPage = false);
  bool Kept(const XImageCacheObject& e) const;
  void LeftOut(XImageCacheObject& e);

  int64_t FBudget = 0;
  uint64_t FUses = 0, FPassStart = 0, FPass = 0;
  bool FOverflow = false, FOverflowSaid = false;
  std::vector<XImageCacheObject*> FPageUses;
  TOverflow FReport;
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
