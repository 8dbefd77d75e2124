#include "engine/XBlit.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/XImage.h"

namespace {

// Pixels are read and written through memcpy, which compiles to plain moves and keeps the
// byte buffers of the bitmaps free of aliasing questions.
inline uint32_t Load(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// The rows of a 32-bit bitmap: row 0 is the top one, which a bottom-up DIB keeps last.
struct Rows32 {
  uint8_t* top = nullptr;
  ptrdiff_t stride = 0;  // bytes from one row to the next one down (negative)
  uint8_t* Row(int y) const { return top + y * stride; }
};

Rows32 RowsOf(TBitmap& b) {
  Rows32 r;
  ptrdiff_t rowBytes = b.RowBytes();
  r.top = b.Bits() + (b.Height() - 1) * rowBytes;
  r.stride = -rowBytes;
  return r;
}

inline int Clamp(int64_t v, int hi) { return v < 0 ? 0 : v > hi ? hi : int(v); }

// Where one destination column samples the source: the byte offsets of the nearest column
// and of its right-hand neighbour (both inside the row), and the top 8 bits of the fraction.
struct Column {
  int32_t c0, c1;
  uint32_t f;
};

// Reused between calls: the renderer blits many times per redraw.
thread_local std::vector<Column> gColumns;

void BuildColumns(int64_t fx, int64_t dx, int w, int srcW) {
  gColumns.resize(size_t(w));
  for (int i = 0; i < w; ++i, fx += dx) {
    int64_t c = fx >> 16;
    gColumns[size_t(i)] = {4 * Clamp(c, srcW - 1), 4 * Clamp(c + 1, srcW - 1), uint32_t(fx >> 8) & 0xFF};
  }
}

struct Tables {
  uint8_t* const* mul = MultiplyTable->Rows;
  uint8_t* const* add = SumTable->Rows;
};

// The multiply table is symmetric (a x b / 255), so Mul[a][255 - f] is read as
// Mul[255 - f][a]: the two rows of the weights stay in cache for a whole pixel.

// The four channels of the bilinear sample of column col in the rows r0 and r1.
inline void Bilinear(const Tables& t, const uint8_t* r0, const uint8_t* r1, const Column& col,
                     const uint8_t* mfy_, const uint8_t* mfy, uint8_t out[4], int channels) {
  const uint8_t* mfx_ = t.mul[255 - col.f];
  const uint8_t* mfx = t.mul[col.f];
  const uint8_t* ul = r0 + col.c0;
  const uint8_t* ur = r0 + col.c1;
  const uint8_t* ll = r1 + col.c0;
  const uint8_t* lr = r1 + col.c1;
  for (int k = 0; k < channels; ++k) {
    uint8_t top = t.add[mfx_[ul[k]]][mfx[ur[k]]];
    uint8_t bottom = t.add[mfx_[ll[k]]][mfx[lr[k]]];
    out[k] = t.add[mfy_[top]][mfy[bottom]];
  }
}

// The paths the program does not take: a sample (nearest, or bilinear with its alpha) is
// blended over the blue, green and red of the destination, through the caller's table when
// there is one. The weight is the sample's alpha scaled by the opacity, or with
// BlitSkipKey and an opacity below 255 the opacity alone. Destination alpha is kept.
template <bool kBilinear, bool kTable>
void BlendRows(const Rows32& dst, const Rows32& src, int x1, int y1, int w, int h, int64_t fy, int64_t dy,
               int srcH, int opacity, const BlendTable* table, int flags, bool keyed, uint32_t key) {
  Tables t;
  const bool opacityWeight = (flags & BlitSkipKey) && opacity != 255;
  const bool skipKey = kBilinear && (flags & BlitSkipKey) && keyed;
  const uint8_t* mop = t.mul[opacity];
  for (int j = 0; j < h; ++j, fy += dy) {
    int64_t r = fy >> 16;
    const uint8_t* s0 = src.Row(Clamp(r, srcH - 1));
    const uint8_t* s1 = kBilinear ? src.Row(Clamp(r + 1, srcH - 1)) : s0;
    uint32_t f = uint32_t(fy >> 8) & 0xFF;
    const uint8_t* mfy_ = t.mul[255 - f];
    const uint8_t* mfy = t.mul[f];
    uint8_t* d = dst.Row(y1 + j) + 4 * x1;
    for (int i = 0; i < w; ++i, d += 4) {
      const Column& col = gColumns[size_t(i)];
      if (skipKey && Load(s0 + col.c0) == key) continue;
      uint8_t s[4];
      if constexpr (kBilinear) Bilinear(t, s0, s1, col, mfy_, mfy, s, 4);
      else std::memcpy(s, s0 + col.c0, 4);
      uint8_t a = opacityWeight ? uint8_t(opacity) : mop[s[3]];
      const uint8_t* ma_ = t.mul[255 - a];
      const uint8_t* ma = t.mul[a];
      for (int k = 0; k < 3; ++k) {
        uint8_t c = s[k];
        if constexpr (kTable) c = table->Rows[c][d[k]];
        d[k] = t.add[ma_[d[k]]][ma[c]];
      }
    }
  }
}

// The renderer's bilinear path over a source whose pixels are mapped first. Each source row
// the blit reads is mapped once, and only at the columns it samples: two rows of W nearest
// and W right-hand pixels, reused while the rows stay the same from one destination row to
// the next. The samples are then those of the mapped picture, pixel for pixel.
void MappedBilinearRows(const Rows32& dst, const Rows32& src, int x1, int y1, int w, int h, int64_t fy,
                        int64_t dy, int srcH, TBlitSampleMap map) {
  thread_local std::vector<uint32_t> slot[2];
  thread_local std::vector<Column> cols;
  int64_t held[2] = {-1, -1};
  cols.resize(size_t(w));
  for (int i = 0; i < 2; ++i) slot[i].resize(2 * size_t(w));
  for (int i = 0; i < w; ++i) cols[size_t(i)] = {4 * i, 4 * (w + i), gColumns[size_t(i)].f};
  auto mapped = [&](int row, int avoid) -> const uint8_t* {
    for (int k = 0; k < 2; ++k)
      if (held[k] == row) return reinterpret_cast<const uint8_t*>(slot[k].data());
    const int k = held[0] == avoid ? 1 : 0;
    const uint8_t* s = src.Row(row);
    uint32_t* out = slot[k].data();
    for (int i = 0; i < w; ++i) {
      out[i] = map(Load(s + gColumns[size_t(i)].c0));
      out[w + i] = map(Load(s + gColumns[size_t(i)].c1));
    }
    held[k] = row;
    return reinterpret_cast<const uint8_t*>(out);
  };
  Tables t;
  for (int j = 0; j < h; ++j, fy += dy) {
    const int64_t r = fy >> 16;
    const int r0 = Clamp(r, srcH - 1), r1 = Clamp(r + 1, srcH - 1);
    const uint8_t* s0 = mapped(r0, r1);
    const uint8_t* s1 = mapped(r1, r0);
    const uint32_t f = uint32_t(fy >> 8) & 0xFF;
    const uint8_t* mfy_ = t.mul[255 - f];
    const uint8_t* mfy = t.mul[f];
    uint8_t* d = dst.Row(y1 + j) + 4 * x1;
    for (int i = 0; i < w; ++i, d += 4) Bilinear(t, s0, s1, cols[size_t(i)], mfy_, mfy, d, 3);
  }
}

bool UsableTable(const BlendTable* t) {
  return t && t->Data && t->Rows && t->Width == 256 && t->Height == 256;
}

// The whole blit with the destination in 64 bits, so that no shift or product of the callers'
// coordinates overflows before the clip brings them into the bitmap.
void Blit(TBitmap& dstBmp, int64_t x1, int64_t y1, int64_t x2, int64_t y2, TBitmap& srcBmp, int64_t fx1,
          int64_t fy1, int64_t fx2, int64_t fy2, int opacity, const TRect* clip, const BlendTable* table,
          int flags, TBlitSampleMap map = nullptr) {
  BitmapSetPixelFormat(srcBmp, 7);
  BitmapSetPixelFormat(dstBmp, 7);
  const int srcW = srcBmp.Width(), srcH = srcBmp.Height();
  const int dstW = dstBmp.Width(), dstH = dstBmp.Height();
  if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) return;
  opacity = std::clamp(opacity, 0, 255);

  // Bilinear samples take the right and lower neighbours too: one source pixel less.
  if (flags & BlitBilinear) {
    fx2 -= 0x10000;
    fy2 -= 0x10000;
  }
  int64_t w = x2 - x1, h = y2 - y1;
  if (w <= 0 || h <= 0) return;
  const int64_t dx = (fx2 - fx1) / w;
  const int64_t dy = (fy2 - fy1) / h;

  // The clip never reaches outside the destination.
  int64_t cl = 0, ct = 0, cr = dstW, cb = dstH;
  if (clip) {
    cl = std::max<int64_t>(cl, clip->Left);
    ct = std::max<int64_t>(ct, clip->Top);
    cr = std::min<int64_t>(cr, clip->Right);
    cb = std::min<int64_t>(cb, clip->Bottom);
  }
  // Cut first, then advance the source: each product below is at most the span of the
  // source rectangle, whatever the callers' destination coordinates were.
  const int64_t nx1 = std::max(x1, cl), ny1 = std::max(y1, ct);
  x2 = std::min(x2, cr);
  y2 = std::min(y2, cb);
  if (x2 - nx1 < 1 || y2 - ny1 < 1) return;
  fx1 += (nx1 - x1) * dx;
  fy1 += (ny1 - y1) * dy;
  x1 = nx1;
  y1 = ny1;
  w = x2 - x1;
  h = y2 - y1;

  const Rows32 dst = RowsOf(dstBmp);
  const Rows32 src = RowsOf(srcBmp);
  const int X1 = int(x1), Y1 = int(y1), W = int(w), H = int(h);
  // A mapped source is a picture of its own, never keyed.
  const bool keyed = !map && srcBmp.Transparent();
  const uint32_t key = keyed ? BlitKeyColor(srcBmp) : 0;

  if (map) {
    BuildColumns(fx1, dx, W, srcW);
    MappedBilinearRows(dst, src, X1, Y1, W, H, fy1, dy, srcH, map);
    return;
  }

  if (flags & BlitCopy) {
    const int64_t c0 = fx1 >> 16;
    if (!keyed && dx == 0x10000 && c0 >= 0 && c0 + W <= srcW) {
      // Unscaled opaque copy: one block per row (memmove: Dst may be Src).
      int64_t fy = fy1;
      for (int j = 0; j < H; ++j, fy += dy)
        std::memmove(dst.Row(Y1 + j) + 4 * X1, src.Row(Clamp(fy >> 16, srcH - 1)) + 4 * c0, size_t(W) * 4);
      return;
    }
    BuildColumns(fx1, dx, W, srcW);
    const Column* cols = gColumns.data();
    int64_t fy = fy1;
    for (int j = 0; j < H; ++j, fy += dy) {
      const uint8_t* s = src.Row(Clamp(fy >> 16, srcH - 1));
      uint8_t* d = dst.Row(Y1 + j) + 4 * X1;
      if (keyed) {
        for (int i = 0; i < W; ++i) {
          uint32_t v = Load(s + cols[i].c0);
          if (v != key) Store(d + 4 * i, v);
        }
      } else {
        for (int i = 0; i < W; ++i) Store(d + 4 * i, Load(s + cols[i].c0));
      }
    }
    return;
  }

  BuildColumns(fx1, dx, W, srcW);
  if (flags & BlitTable) {
    const BlendTable* t = UsableTable(table) ? table : nullptr;
    if (flags & BlitBilinear) {
      if (t) BlendRows<true, true>(dst, src, X1, Y1, W, H, fy1, dy, srcH, opacity, t, flags, keyed, key);
      else BlendRows<true, false>(dst, src, X1, Y1, W, H, fy1, dy, srcH, opacity, t, flags, keyed, key);
    } else {
      if (t) BlendRows<false, true>(dst, src, X1, Y1, W, H, fy1, dy, srcH, opacity, t, flags, keyed, key);
      else BlendRows<false, false>(dst, src, X1, Y1, W, H, fy1, dy, srcH, opacity, t, flags, keyed, key);
    }
    return;
  }

  if (flags & BlitBilinear) {
    if (opacity != 255 || !(flags & BlitSkipKey)) {
      BlendRows<true, false>(dst, src, X1, Y1, W, H, fy1, dy, srcH, opacity, nullptr, flags, keyed, key);
      return;
    }
    // The renderer's path: the sample replaces blue, green and red; alpha stays.
    Tables t;
    const Column* cols = gColumns.data();
    int64_t fy = fy1;
    for (int j = 0; j < H; ++j, fy += dy) {
      int64_t r = fy >> 16;
      const uint8_t* s0 = src.Row(Clamp(r, srcH - 1));
      const uint8_t* s1 = src.Row(Clamp(r + 1, srcH - 1));
      uint32_t f = uint32_t(fy >> 8) & 0xFF;
      const uint8_t* mfy_ = t.mul[255 - f];
      const uint8_t* mfy = t.mul[f];
      uint8_t* d = dst.Row(Y1 + j) + 4 * X1;
      for (int i = 0; i < W; ++i, d += 4) {
        if (keyed && Load(s0 + cols[i].c0) == key) continue;
        Bilinear(t, s0, s1, cols[i], mfy_, mfy, d, 3);
      }
    }
    return;
  }

  BlendRows<false, false>(dst, src, X1, Y1, W, H, fy1, dy, srcH, opacity, nullptr, flags, keyed, key);
}

}  // namespace

uint32_t BlitKeyColor(const TBitmap& src) {
  return ColorSwapRB(uint32_t(ColorToRGB(src.TransparentColor()))) | 0xFF000000u;
}

namespace {

void BlitGraphic(TBitmap& Dst, int x1, int y1, int x2, int y2, TBitmap& Src, int sx1, int sy1, int sx2,
                 int sy2, int Opacity, const TRect* Clip, const BlendTable* Table, int Flags,
                 TBlitSampleMap Map) {
  int64_t X1 = x1, Y1 = y1, X2 = x2, Y2 = y2;
  int64_t SX1 = sx1, SY1 = sy1, SX2 = sx2, SY2 = sy2;
  if (SX1 < 0) {
    X1 -= SX1;
    SX1 = 0;
  }
  if (SY1 < 0) {
    Y1 -= SY1;
    SY1 = 0;
  }
  const int64_t width = Src.Width(), height = Src.Height();
  if (width < SX2) {
    X2 -= SX2 - width;
    SX2 = width;
  }
  if (height < SY2) {
    Y2 -= SY2 - height;
    SY2 = height;
  }
  Blit(Dst, X1, Y1, X2, Y2, Src, SX1 * 65536, SY1 * 65536, SX2 * 65536, SY2 * 65536, Opacity, Clip, Table,
       Flags, Map);
}

}  // namespace

void BlitGraphic(TBitmap& Dst, int x1, int y1, int x2, int y2, TBitmap& Src, int sx1, int sy1, int sx2,
                 int sy2, int Opacity, const TRect* Clip, const BlendTable* Table, int Flags) {
  BlitGraphic(Dst, x1, y1, x2, y2, Src, sx1, sy1, sx2, sy2, Opacity, Clip, Table, Flags, nullptr);
}

void BlitGraphicMapped(TBitmap& Dst, int x1, int y1, int x2, int y2, TBitmap& Src, int sx1, int sy1, int sx2,
                       int sy2, const TRect* Clip, TBlitSampleMap Map) {
  BlitGraphic(Dst, x1, y1, x2, y2, Src, sx1, sy1, sx2, sy2, 255, Clip, nullptr, BlitBilinear | BlitSkipKey,
              Map);
}

void ScaledBlit(TBitmap& Dst, int x1, int y1, int x2, int y2, TBitmap& Src, int64_t fx1, int64_t fy1,
                int64_t fx2, int64_t fy2, int Opacity, const TRect* Clip, const BlendTable* Table,
                int Flags) {
  // Any 32-bit pixel coordinate in 16.16 lies within 2^47; beyond that every sample is
  // clamped into the source anyway, and saturating keeps the differences and the steps
  // below from overflowing 64 bits.
  static constexpr int64_t kLimit = int64_t(1) << 47;
  auto sat = [](int64_t v) { return std::clamp(v, -kLimit, kLimit); };
  Blit(Dst, x1, y1, x2, y2, Src, sat(fx1), sat(fy1), sat(fx2), sat(fy2), Opacity, Clip, Table, Flags);
}
