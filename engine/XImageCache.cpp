#include "engine/XImageCache.h"

#include <algorithm>
#include <vector>

#include "POP/PopPhoto.h"
#include "platform/SysUtils.h"

XImageCacheObject::XImageCacheObject(const std::string& fileName, XImageCache* owner)
    : XObject(owner), Image(new XImage), FileName(fileName), FCache(owner) {}

XImageCacheObject::~XImageCacheObject() { delete Image; }

XImage* XImageCacheObject::GetGraphic() {
  if (FCache) FCache->Used(*this);
  if (Loaded) return Image;
  // The stamp is taken before the read, so a file that changes while it is read is tried
  // again next time.
  const TFileStamp stamp = FileStampOf(FileName);
  if (Failed && stamp == FFailedStamp) return Image;
  // Back within the budget before the picture comes, so that the read's own peak comes on
  // top of the budget at most.
  if (FCache) FCache->MakeRoom(this);
  try {
    Image->LoadFromFile(FileName);
  } catch (...) {
    Failed = true;
    FFailedStamp = stamp;
    throw;
  }
  Failed = false;
  Loaded = true;
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
  for (int i = 0; i < Count(); ++i)
    if (Entry(i)->FHolds == 0) Entry(i)->Unload();
  FOverflow = FOverflowSaid = false;
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

void XImageCache::MakeRoom(const XImageCacheObject* keep) {
  if (FBudget <= 0) return;
  int64_t held = 0;
  std::vector<XImageCacheObject*> loose;
  for (int i = 0; i < Count(); ++i) {
    XImageCacheObject* e = Entry(i);
    if (!e->Loaded) continue;
    held += e->Image->ImageSize();
    if (e != keep && e->FHolds == 0) loose.push_back(e);
  }
  if (held <= FBudget) return;
  std::sort(loose.begin(), loose.end(),
            [](const XImageCacheObject* a, const XImageCacheObject* b) { return a->FLastUse < b->FLastUse; });
  for (XImageCacheObject* e : loose) {
    if (held <= FBudget) break;
    // Asked for in this drawing and released before its end: the page needs more than fits.
    if (e->FLastUse > FPassStart) FOverflow = true;
    held -= e->Image->ImageSize();
    e->Unload();
  }
}

bool XImageCache::TakeOverflow() {
  if (!FOverflow || FOverflowSaid) return false;
  FOverflowSaid = true;
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
