#include "PopBitmap.h"

#include <algorithm>
#include <cstring>

#include "platform/Canvas.h"

void BitmapResize(TBitmap& bitmap, int width, int height) {
  if (bitmap.Width() != width) bitmap.SetWidth(width);
  if (bitmap.Height() != height) bitmap.SetHeight(height);
}

void BitmapSnagIt(TBitmap& dst, TBitmap& src, const TRect& r) {
  int w = std::max(0, r.Right - r.Left), h = std::max(0, r.Bottom - r.Top);
  BitmapResize(dst, w, h);
  if (!w || !h) return;
  // Clear first: where r leaves the source nothing is copied.
  if (dst.Bits()) std::memset(dst.Bits(), 0, size_t(dst.ImageSize()));
  TRect inside;
  if (!IntersectRect(inside, r, Rect(0, 0, src.Width(), src.Height()))) return;
  TRect to(inside.Left - r.Left, inside.Top - r.Top, inside.Right - r.Left, inside.Bottom - r.Top);
  dst.Canvas().CopyRect(to, src.Canvas(), inside);  // with Dst's canvas's copy mode
}
