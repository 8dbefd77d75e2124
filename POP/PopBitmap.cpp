#include "POP/PopBitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/Canvas.h"
#include "platform/SysUtils.h"

void BitmapResize(TBitmap& bitmap, int width, int height) {
  if (bitmap.Width() != width) bitmap.SetWidth(width);
  if (bitmap.Height() != height) bitmap.SetHeight(height);
}

void BitmapSnagIt(TBitmap& dst, TBitmap& srcIn, const TRect& r) {
  // In 64 bits, so a rectangle wider than the int range reaches the size check, not a wrap.
  auto extent = [](int a, int b) { return int(std::clamp<int64_t>(int64_t(b) - a, 0, INT32_MAX)); };
  int w = extent(r.Left, r.Right), h = extent(r.Top, r.Bottom);
  CheckImageSize(w, h);
  // Dst is replaced before the copy, so a cut out of itself works from a copy.
  TBitmap copy;
  TBitmap* src = &srcIn;
  if (&dst == &srcIn && w && h) {
    copy.Assign(&srcIn);
    src = &copy;
  }
  // A Dst of another size gets a new block, which the system gives zeroed: its old pixels are
  // neither kept nor cleared, and the parts of r outside Src cost nothing. A Dst of the right
  // size is reused: only what the copy does not overwrite is cleared.
  const bool fresh = dst.Width() != w || dst.Height() != h;
  if (fresh) {
    dst.SetSize(0, 0);
    dst.SetSize(w, h);
  }
  if (!w || !h) return;
  TRect inside;
  if (!IntersectRect(inside, r, Rect(0, 0, src->Width(), src->Height())))
    inside = Rect(r.Left, r.Top, r.Left, r.Top);
  TRect to(inside.Left - r.Left, inside.Top - r.Top, inside.Right - r.Left, inside.Bottom - r.Top);
  const int bpp = dst.BitsPerPixel();
  if (!fresh && dst.Bits()) {
    if (dst.Canvas().CopyMode != cmSrcCopy || bpp < 8 || to.Right <= to.Left) {
      // Another copy mode combines with what Dst holds, and a row of pixels smaller than a
      // byte does not split at a pixel: clear it all.
      std::memset(dst.Bits(), 0, size_t(dst.ImageSize()));
    } else {
      const size_t pixel = size_t(bpp / 8), row = size_t(dst.RowBytes());
      for (int y = 0; y < h; ++y) {
        uint8_t* line = dst.ScanLine(y);
        if (y < to.Top || y >= to.Bottom) {
          std::memset(line, 0, row);
          continue;
        }
        // Left of the copy, and right of it up to the end of the row (its padding too).
        std::memset(line, 0, size_t(to.Left) * pixel);
        std::memset(line + size_t(to.Right) * pixel, 0, row - size_t(to.Right) * pixel);
      }
    }
  }
  if (to.Right <= to.Left || to.Bottom <= to.Top) return;
  dst.Canvas().CopyRect(to, src->Canvas(), inside);  // with Dst's canvas's copy mode
}

void BitmapLoadFromFile(TBitmap& bitmap, const std::string& fileName) {
  std::string ext = ExtractFileExt(fileName);
  const TGraphicFormat* format = GraphicFormatForExtension(ext);
  if (!format) throw EInvalidGraphic(Format("Unknown picture file extension (%s)", ext.c_str()));
  std::unique_ptr<TGraphic> picture = format->Create();
  picture->LoadFromFile(fileName);
  TBitmap b(picture->Width(), picture->Height(), pf24bit);
  b.Canvas().Brush.SetColor(clFuchsia);
  b.Canvas().FillRect(Rect(0, 0, b.Width(), b.Height()));
  b.Canvas().Draw(0, 0, picture.get());
  bitmap.TakePixels(b);
}

void BitmapSaveToFile(TBitmap& bitmap, const std::string& fileName, int) { bitmap.SaveToFile(fileName); }

void BitmapConvertFile(const std::string& dst, const std::string& src) {
  TBitmap b;
  BitmapLoadFromFile(b, src);
  BitmapSaveToFile(b, dst);
}

void BitmapClear(TBitmap& bitmap) { bitmap.SetSize(0, 0); }

namespace {
// Rounds up, forgiving the last bits of a sine or cosine that should be whole.
int CeilSize(double v) { return int(std::min<double>(std::ceil(v - 1e-9), INT32_MAX)); }
}  // namespace

TPoint BitmapRotateSize(int width, int height, double angle) {
  double c = std::fabs(std::cos(angle)), s = std::fabs(std::sin(angle));
  return {CeilSize(width * c + height * s), CeilSize(width * s + height * c)};
}

TPoint BitmapGetMaxRotateSize(int width, int height) {
  int d = CeilSize(std::hypot(double(width), double(height)));
  return {d, d};
}

void Bitmap32Prepare(TBitmap& dst, TBitmap& src) {
  src.SetPixelFormat(pf32bit);
  dst.SetPixelFormat(pf32bit);
  BitmapResize(dst, src.Width(), src.Height());
}

std::unique_ptr<TBitmap> BitmapCreate(int width, int height, TPixelFormat format) {
  return std::make_unique<TBitmap>(width, height, format);
}

void BitmapThumbnail(TBitmap& dst, TBitmap& srcIn, int width, int height, TColor color) {
  CheckImageSize(width, height);
  // Dst is resized first, so a thumbnail of itself works from a copy.
  TBitmap copy;
  TBitmap* src = &srcIn;
  if (&dst == &srcIn) {
    copy.Assign(&srcIn);
    src = &copy;
  }
  BitmapResize(dst, width, height);
  TCanvas& c = dst.Canvas();
  c.Brush.SetColor(color);
  c.FillRect(Rect(0, 0, width, height));
  int sw = src->Width(), sh = src->Height();
  if (sw <= 0 || sh <= 0 || width <= 0 || height <= 0) return;
  int tw = width, th = height;
  if (int64_t(sw) * height <= int64_t(sh) * width) tw = std::max(1, int(int64_t(sw) * height / sh));
  else th = std::max(1, int(int64_t(sh) * width / sw));
  int l = (width - tw) / 2, t = (height - th) / 2;
  c.StretchDraw(Rect(l, t, l + tw, t + th), src);
}

void BitmapZOOMDraw(TBitmap& bitmap, TCanvas& canvas, const TRect& r, int zoom) {
  int64_t rw = int64_t(r.Right) - r.Left, rh = int64_t(r.Bottom) - r.Top;
  if (rw <= 0 || rh <= 0 || bitmap.Empty()) return;
  if (zoom < 1) {
    canvas.StretchDraw(r, &bitmap);
    return;
  }
  const TCanvas& from = bitmap.Canvas();
  // Whole blocks, then the cut blocks at the right and bottom edges of r.
  int cols = int(std::min<int64_t>(bitmap.Width(), rw / zoom));
  int rows = int(std::min<int64_t>(bitmap.Height(), rh / zoom));
  int cutW = cols < bitmap.Width() ? int(rw % zoom) : 0;
  int cutH = rows < bitmap.Height() ? int(rh % zoom) : 0;
  // The products stay within r, so the sums fit; the products alone may not fit an int.
  int x1 = int(r.Left + int64_t(cols) * zoom), y1 = int(r.Top + int64_t(rows) * zoom);
  canvas.CopyRect(Rect(r.Left, r.Top, x1, y1), from, Rect(0, 0, cols, rows));
  if (cutW) canvas.CopyRect(Rect(x1, r.Top, x1 + cutW, y1), from, Rect(cols, 0, cols + 1, rows));
  if (cutH) canvas.CopyRect(Rect(r.Left, y1, x1, y1 + cutH), from, Rect(0, rows, cols, rows + 1));
  if (cutW && cutH)
    canvas.CopyRect(Rect(x1, y1, x1 + cutW, y1 + cutH), from, Rect(cols, rows, cols + 1, rows + 1));
}
