#include "platform/gui/QtImage.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteOrder.h"

QImage BitmapToQImage(const TBitmap& bitmap) {
  return BitmapToQImage(bitmap, TRect(0, 0, bitmap.Width(), bitmap.Height()));
}

QImage BitmapToQImage(const TBitmap& bitmap, const TRect& r) {
  TRect c;
  if (!IntersectRect(c, r, TRect(0, 0, bitmap.Width(), bitmap.Height()))) return QImage();
  QImage out(c.Width(), c.Height(), QImage::Format_RGB32);
  if (out.isNull()) return out;
  if (bitmap.PixelFormat() == pf32bit || bitmap.PixelFormat() == pfDevice ||
      bitmap.PixelFormat() == pfCustom) {
    // Format_RGB32 holds 0xffRRGGBB words, on little-endian machines the bytes blue,
    // green, red, 0xff: the bitmap's own order with the alpha byte forced opaque.
    for (int y = c.Top; y < c.Bottom; ++y) {
      const uint8_t* src = bitmap.ScanLine(y) + size_t(c.Left) * 4;
      auto* dst = reinterpret_cast<uint32_t*>(out.scanLine(y - c.Top));
      for (int x = 0; x < c.Width(); ++x, src += 4)
        dst[x] = 0xff000000u | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
    }
  } else {
    for (int y = c.Top; y < c.Bottom; ++y) {
      auto* dst = reinterpret_cast<uint32_t*>(out.scanLine(y - c.Top));
      for (int x = c.Left; x < c.Right; ++x) {
        uint32_t p = uint32_t(bitmap.GetPixelColor(x, y));
        dst[x - c.Left] = 0xff000000u | (p & 0xff) << 16 | (p & 0xff00) | (p >> 16 & 0xff);
      }
    }
  }
  return out;
}

void QImageToBitmap(const QImage& image, TBitmap& bitmap) {
  if (image.isNull()) {
    bitmap.SetSize(0, 0);
    return;
  }
  CheckImageSize(image.width(), image.height());
  QImage src = image.convertToFormat(QImage::Format_ARGB32);
  TBitmap tmp(src.width(), src.height(), pf32bit);
  for (int y = 0; y < src.height(); ++y) {
    const auto* s = reinterpret_cast<const uint32_t*>(src.constScanLine(y));
    uint8_t* d = tmp.ScanLine(y);
    for (int x = 0; x < src.width(); ++x, d += 4) PutLe32(d, s[x]);
  }
  bitmap.TakePixels(tmp);
}

QColor TColorToQColor(TColor c) {
  uint32_t rgb = uint32_t(ColorToRGB(c));
  return QColor(int(rgb & 0xff), int(rgb >> 8 & 0xff), int(rgb >> 16 & 0xff));
}

TColor QColorToTColor(const QColor& c) {
  return TColor(uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16);
}
