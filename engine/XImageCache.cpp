#include "engine/XImageCache.h"

#include "POP/PopPhoto.h"
#include "platform/SysUtils.h"

XImageCacheObject::XImageCacheObject(const std::string& fileName, XImageCache* owner)
    : XObject(owner), Image(new XImage), FileName(fileName) {}

XImageCacheObject::~XImageCacheObject() { delete Image; }

XImage* XImageCacheObject::GetGraphic() {
  if (Loaded) return Image;
  // The stamp is taken before the read, so a file that changes while it is read is tried
  // again next time.
  const TFileStamp stamp = FileStampOf(FileName);
  if (Failed && stamp == FFailedStamp) return Image;
  try {
    Image->LoadFromFile(FileName);
  } catch (...) {
    Failed = true;
    FFailedStamp = stamp;
    throw;
  }
  Failed = false;
  Loaded = true;
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
  for (int i = 0; i < Count(); ++i) Entry(i)->Unload();
}

XImageCache& ImageCache() {
  static XImageCache* cache = new XImageCache;
  return *cache;
}
