#include "engine/XImageCache.h"

#include <algorithm>
#include <vector>

#include "POP/PopPhoto.h"
#include "platform/SysUtils.h"

XImageCacheObject::XImageCacheObject(const std::string& fileName, XImageCache* owner)
    : XObject(owner), Image(new XImage), FileName(fileName), FCache(owner) {}

XImageCacheObject::~XImageCacheObject() { delete Image; }

XImage* XImageCacheObject::GetGraphic() { return Read(false); }

XImage* XImageCacheObject::GetGraphicIfItFits() { return Read(true); }

XImage* XImageCacheObject::Read(bool mayDecline) {
  if (FCache) FCache->Used(*this);
  if (Loaded) return Image;
  // The stamp is taken before the read, so a file that changes while it is read is tried
  // again next time.
  const TFileStamp stamp = FileStampOf(FileName);
  if (Failed && stamp == FFailedStamp) return Image;
  if (FNeed > 0 && !(stamp == FNeedStamp)) FNeed = 0;  // another file now: its size is unknown
  // A size known from before: room is made, or refused, before the file is opened.
  if (FCache && FNeed > 0 && !FCache->MakeRoom(this, FNeed, mayDecline)) {
    FCache->LeftOut(*this);
    return Image;
  }
  // Otherwise when the reader declares the size, before it allocates the pixels, so that
  // the read's own peak comes on top of the budget at most.
  int64_t need = FNeed;
  bool refused = false;
  try {
    TPictureSizeWatch watch([&](int64_t width, int64_t height) {
      const int64_t bytes = width * height * 4;
      if (bytes <= need) return;
      need = bytes;
      if (FCache && !FCache->MakeRoom(this, bytes, mayDecline)) {
        refused = true;
        throw EInvalidGraphic("There is no room for the picture.");
      }
    });
    Image->LoadFromFile(FileName);
  } catch (...) {
    if (!refused) {
      Failed = true;
      FFailedStamp = stamp;
      throw;
    }
    // Not read for want of room: no failure of the file's.
    FNeed = need;
    FNeedStamp = stamp;
    FCache->LeftOut(*this);
    return Image;
  }
  Failed = false;
  DidNotFit = false;
  Loaded = true;
  FNeed = Image->ImageSize();
  FNeedStamp = stamp;
  if (FCache) FCache->MakeRoom(this);
  return Image;
}

void XImageCacheObject::MarkMissing() {
  if (Loaded) return;
  Failed = true;
  FFailedStamp = FileStampOf(FileName);
}

void XImageCacheObject::Unload() {
  Image->SetSize(0, 0);
  Loaded = false;
  Failed = false;
}

XImageCacheObject* XImageCache::FindByFileName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (Entry(i)->FileName == name) return Entry(i);
  return nullptr;
}

XImageCacheObject* XImageCache::GetEntry(const std::string& name) {
  if (XImageCacheObject* e = FindByFileName(name)) return e;
  return new XImageCacheObject(name, this);
}

XImageCacheObject* XImageCache::FindEqualImage(TBitmap& bitmap) {
  for (int i = 0; i < Count(); ++i) {
    XImageCacheObject* e = Entry(i);
    XImage* img = nullptr;
    try {
      img = e->GetGraphic();
    } catch (const Exception&) {
      continue;  // an unreadable file equals nothing
    }
    if (PhotoCompare(*img, bitmap)) return e;
  }
  return nullptr;
}

void XImageCache::UnloadAll() {
  for (int i = 0; i < Count(); ++i) {
    if (Entry(i)->FHolds == 0) Entry(i)->Unload();
    Entry(i)->DidNotFit = false;
  }
  FOverflow = FOverflowSaid = false;
  FReport = {};
}

void XImageCache::SetBudget(int64_t bytes) {
  FBudget = std::max<int64_t>(bytes, 0);
  MakeRoom(nullptr);
}

int64_t XImageCache::LoadedBytes() const {
  int64_t n = 0;
  for (int i = 0; i < Count(); ++i)
    if (Entry(i)->Loaded) n += Entry(i)->Image->ImageSize();
  return n;
}

void XImageCache::BeginPass(const std::vector<XImageCacheObject*>& pageUses) {
  FPassStart = FUses;
  ++FPass;
  for (XImageCacheObject* e : pageUses)
    if (e) e->FPagePass = FPass;
  FPageUses = pageUses;
}

bool XImageCache::Kept(const XImageCacheObject& e) const {
  return e.FPagePass == FPass || e.FLastUse > FPassStart;
}

bool XImageCache::MakeRoom(const XImageCacheObject* keep, int64_t coming, bool forPage) {
  if (FBudget <= 0) return true;
  int64_t held = 0, fixed = 0;
  std::vector<XImageCacheObject*> loose;
  for (int i = 0; i < Count(); ++i) {
    XImageCacheObject* e = Entry(i);
    if (!e->Loaded) continue;
    const int64_t bytes = e->Image->ImageSize();
    held += bytes;
    if (e == keep || e->FHolds > 0 || (forPage && Kept(*e))) fixed += bytes;
    else loose.push_back(e);
  }
  if (held + coming <= FBudget) return true;
  // A page's pictures are never given up for another of its own: the first ones asked for
  // keep their room, and so a page is drawn alike every time, whatever part of it is drawn.
  if (forPage && fixed + coming > FBudget) return false;
  std::sort(loose.begin(), loose.end(),
            [](const XImageCacheObject* a, const XImageCacheObject* b) { return a->FLastUse < b->FLastUse; });
  for (XImageCacheObject* e : loose) {
    if (held + coming <= FBudget) break;
    held -= e->Image->ImageSize();
    e->Unload();
  }
  return true;
}

void XImageCache::LeftOut(XImageCacheObject& e) {
  e.DidNotFit = true;
  if (FOverflowSaid) return;
  FOverflow = true;
  for (const auto& left : FReport.Left)
    if (left.first == e.FileName) return;
  FReport.Left.emplace_back(e.FileName, e.FNeed);
}

bool XImageCache::TakeOverflow(TOverflow* report) {
  if (!FOverflow || FOverflowSaid) return false;
  FOverflowSaid = true;
  FReport.Budget = FBudget;
  // What the page's pictures need together: each counted once, by its pixels or by the
  // size its reader declared.
  std::vector<XImageCacheObject*> page = FPageUses;
  for (int i = 0; i < Count(); ++i)
    if (Entry(i)->FLastUse > FPassStart) page.push_back(Entry(i));
  std::sort(page.begin(), page.end());
  page.erase(std::unique(page.begin(), page.end()), page.end());
  FReport.Needed = 0;
  for (XImageCacheObject* e : page)
    if (e) FReport.Needed += e->Loaded ? e->Image->ImageSize() : e->FNeed;
  if (report) *report = FReport;
  FReport.Left.clear();
  return true;
}

XImageCache& ImageCache() {
  static XImageCache* cache = [] {
    auto* c = new XImageCache;
    c->SetBudget(kImageCacheBytes);
    return c;
  }();
  return *cache;
}
