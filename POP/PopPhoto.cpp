#include "PopPhoto.h"

#include <cstring>

#include "platform/SysUtils.h"

TPhoto Photo(TBitmap& bitmap) {
  bitmap.SetPixelFormat(pf32bit);
  TPhoto p;
  p.Width = bitmap.Width();
  p.Height = bitmap.Height();
  if (p.Height < 1) return p;
  uint8_t* row0 = bitmap.ScanLine(0);
  ptrdiff_t stride = p.Height >= 2 ? bitmap.ScanLine(1) - row0 : 0;
  p.Rows.resize(size_t(p.Height));
  for (int y = 0; y < p.Height; ++y) p.Rows[size_t(y)] = reinterpret_cast<uint32_t*>(row0 + y * stride);
  return p;
}

void PhotoAssert(const TPhoto& dst, const TPhoto& src) {
  if (dst.Width != src.Width) throw EAssertionFailed("Dst.Width <> Src.Width");
  if (dst.Height != src.Height) throw EAssertionFailed("Dst.Height <> Src.Height");
}

void PhotoGrayScale(const TPhoto& dst, const TPhoto& src) {
  PhotoAssert(dst, src);
  for (int y = 0; y < src.Height; ++y) {
    const uint32_t* s = src.Rows[size_t(y)];
    uint32_t* d = dst.Rows[size_t(y)];
    for (int x = 0; x < src.Width; ++x) {
      uint32_t v = s[x];
      uint32_t b = v & 255, g = (v >> 8) & 255, r = (v >> 16) & 255;
      uint32_t gray = (29 * b + 150 * g + 77 * r) >> 8;
      d[x] = (v & 0xFF000000u) | gray << 16 | gray << 8 | gray;
    }
  }
}

void PhotoGrayScale(TBitmap& dst, TBitmap& src) {
  TPhoto s = Photo(src);
  TPhoto d = Photo(dst);
  PhotoGrayScale(d, s);
}

bool PhotoCompare(const TPhoto& a, const TPhoto& b) {
  if (a.Width != b.Width || a.Height != b.Height) return false;
  for (int y = 0; y < a.Height; ++y)
    if (std::memcmp(a.Rows[size_t(y)], b.Rows[size_t(y)], size_t(a.Width) * 4) != 0) return false;
  return true;
}

bool PhotoCompare(TBitmap& a, TBitmap& b) {
  TPhoto pb = Photo(b);
  TPhoto pa = Photo(a);
  return PhotoCompare(pa, pb);
}

bool PhotoIsBlank(const TPhoto& photo, uint32_t value) {
  for (int y = 0; y < photo.Height; ++y) {
    const uint32_t* r = photo.Rows[size_t(y)];
    for (int x = 0; x < photo.Width; ++x)
      if (r[x] != value) return false;
  }
  return true;
}

bool PhotoIsBlank(TBitmap& bitmap, uint32_t value) { return PhotoIsBlank(Photo(bitmap), value); }
