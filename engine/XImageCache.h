// One image per texture file name, loaded from disk when its pixels are first asked for.
#pragma once
#include <cstdint>
#include <string>

#include "engine/XImage.h"
#include "engine/XObject.h"
#include "platform/SysUtils.h"

class XImageCache;

class XImageCacheObject : public XObject {
 public:
  // Appends itself to the cache.
  XImageCacheObject(const std::string& fileName, XImageCache* owner);
  ~XImageCacheObject() override;
  // Loads the file on first use. A file that cannot be read raises once and is then marked
  // failed: later calls give the empty image without reading or raising again, as long as
  // the file stays as it was (missing, or the same size, times and inode); a file that
  // changed (copied in, rewritten, given other permissions) is read again.
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
  // What the file was like when it failed.
  TFileStamp FFailedStamp;
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
};

// The program's cache; its entries live until the program ends.
XImageCache& ImageCache();
