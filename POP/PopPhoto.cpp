#include "POP/PopPhoto.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

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

// ---- filters -------------------------------------------------------------------------------

namespace {

// The first and one-past-last byte a view covers.
std::pair<uintptr_t, uintptr_t> Span(const TPhoto& p) {
  if (p.Width <= 0 || p.Rows.empty()) return {0, 0};
  uintptr_t lo = UINTPTR_MAX, hi = 0;
  for (uint32_t* r : {p.Rows.front(), p.Rows.back()}) {
    lo = std::min(lo, reinterpret_cast<uintptr_t>(r));
    hi = std::max(hi, reinterpret_cast<uintptr_t>(r + p.Width));
  }
  return {lo, hi};
}

// Src as the neighbourhood filters read it: a private copy when Dst writes into Src's pixels,
// so every Dst pixel comes from the original Src.
class TSource {
 public:
  TSource(const TPhoto& dst, const TPhoto& src) : FView(&src) {
    auto [dl, dh] = Span(dst);
    auto [sl, sh] = Span(src);
    if (dl == dh || sl == sh || dh <= sl || sh <= dl) return;
    FPixels.resize(size_t(src.Width) * size_t(src.Height));
    FCopy.Width = src.Width;
    FCopy.Height = src.Height;
    FCopy.Rows.resize(size_t(src.Height));
    for (size_t y = 0; y < size_t(src.Height); ++y) {
      FCopy.Rows[y] = FPixels.data() + y * size_t(src.Width);
      std::memcpy(FCopy.Rows[y], src.Rows[y], size_t(src.Width) * 4);
    }
    FView = &FCopy;
  }
  const TPhoto& operator*() const { return *FView; }
  const TPhoto* operator->() const { return FView; }

 private:
  std::vector<uint32_t> FPixels;
  TPhoto FCopy;
  const TPhoto* FView;
};

template <class Op>
void PerPixel(const TPhoto& dst, const TPhoto& src, Op op) {
  PhotoAssert(dst, src);
  for (size_t y = 0; y < size_t(src.Height); ++y) {
    const uint32_t* s = src.Rows[y];
    uint32_t* d = dst.Rows[y];
    for (int x = 0; x < src.Width; ++x) d[x] = op(s[x]);
  }
}

// Per-byte average of two words, rounded down, without carries between the bytes.
inline uint32_t Average(uint32_t a, uint32_t b) { return (a & b) + (((a ^ b) & 0xFEFEFEFEu) >> 1); }

inline uint8_t Clamp255(int64_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

void RaiseIfEmptySource(const TPhoto& dst, const TPhoto& src) {
  if (dst.Width > 0 && dst.Height > 0 && (src.Width <= 0 || src.Height <= 0))
    throw EAssertionFailed("Src is empty");
}

}  // namespace

void PhotoPrepare(TBitmap& dst, TBitmap& src) {
  src.SetPixelFormat(pf32bit);
  dst.SetPixelFormat(pf32bit);
  if (dst.Width() != src.Width()) dst.SetWidth(src.Width());
  if (dst.Height() != src.Height()) dst.SetHeight(src.Height());
}

void PhotoClear(const TPhoto& photo, uint32_t value) {
  for (size_t y = 0; y < size_t(photo.Height); ++y) std::fill_n(photo.Rows[y], photo.Width, value);
}

void PhotoEOR(const TPhoto& dst, const TPhoto& src, uint32_t value) {
  PerPixel(dst, src, [value](uint32_t v) { return v ^ value; });
}

void PhotoAND(const TPhoto& dst, const TPhoto& src, uint32_t value) {
  PerPixel(dst, src, [value](uint32_t v) { return v & value; });
}

void PhotoOR(const TPhoto& dst, const TPhoto& src, uint32_t value) {
  PerPixel(dst, src, [value](uint32_t v) { return v | value; });
}

void PhotoInvert(const TPhoto& dst, const TPhoto& src) { PhotoEOR(dst, src, 0x00FFFFFFu); }

void PhotoMirror(const TPhoto& dst, const TPhoto& src) {
  PhotoAssert(dst, src);
  std::vector<uint32_t> row(size_t(std::max(src.Width, 0)));
  for (size_t y = 0; y < size_t(src.Height); ++y) {
    std::copy_n(src.Rows[y], row.size(), row.begin());
    std::reverse_copy(row.begin(), row.end(), dst.Rows[y]);
  }
}

void PhotoFlip(const TPhoto& dst, const TPhoto& src) {
  PhotoAssert(dst, src);
  size_t w = size_t(std::max(src.Width, 0));
  std::vector<uint32_t> top(w), bottom(w);
  // Pairs of rows go through copies, so a view flipped onto itself comes out right.
  for (int y = 0, z = src.Height - 1; y <= z; ++y, --z) {
    std::copy_n(src.Rows[size_t(y)], w, top.begin());
    std::copy_n(src.Rows[size_t(z)], w, bottom.begin());
    std::copy_n(bottom.begin(), w, dst.Rows[size_t(y)]);
    std::copy_n(top.begin(), w, dst.Rows[size_t(z)]);
  }
}

void PhotoConvolution(const TPhoto& dst, const TPhoto& srcIn, const TPhotoKernel& k) {
  PhotoAssert(dst, srcIn);
  if (srcIn.Width <= 0 || srcIn.Height <= 0) return;
  TSource src(dst, srcIn);
  const int w = src->Width, h = src->Height;
  const int64_t divisor = k[25] ? k[25] : 1, offset = k[26];
  std::vector<int> cols(size_t(w) + 4);  // cols[x + i] = the clamped column of x + i - 2
  for (int x = -2; x < w + 2; ++x) cols[size_t(x + 2)] = std::clamp(x, 0, w - 1);
  for (int y = 0; y < h; ++y) {
    const uint32_t* rows[5];
    for (int j = 0; j < 5; ++j) rows[j] = src->Rows[size_t(std::clamp(y + j - 2, 0, h - 1))];
    uint32_t* d = dst.Rows[size_t(y)];
    for (int x = 0; x < w; ++x) {
      int64_t sb = 0, sg = 0, sr = 0;
      for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i) {
          int64_t weight = k[size_t(j * 5 + i)];
          uint32_t v = rows[j][cols[size_t(x + i)]];
          sb += weight * (v & 255);
          sg += weight * ((v >> 8) & 255);
          sr += weight * ((v >> 16) & 255);
        }
      uint32_t keep = rows[2][x] & 0xFF000000u;
      d[x] = keep | uint32_t(Clamp255(sr / divisor + offset)) << 16 |
             uint32_t(Clamp255(sg / divisor + offset)) << 8 | Clamp255(sb / divisor + offset);
    }
  }
}

void PhotoApplyLUA(const TPhoto& dst, const TPhoto& src, const TLUATable& table, uint8_t rowB, uint8_t rowG,
                   uint8_t rowR) {
  const uint8_t* tb = table[rowB];
  const uint8_t* tg = table[rowG];
  const uint8_t* tr = table[rowR];
  PerPixel(dst, src, [=](uint32_t v) {
    return (v & 0xFF000000u) | uint32_t(tr[(v >> 16) & 255]) << 16 | uint32_t(tg[(v >> 8) & 255]) << 8 |
           tb[v & 255];
  });
}

void PhotoSolarize(const TPhoto& dst, const TPhoto& src) {
  // The diagonal of the solarise table: the value at Y = X = c.
  static const std::array<uint8_t, 256> diagonal = [] {
    struct Holder {
      TLUATable t;
    };
    auto h = std::make_unique<Holder>();
    LookUpArray(luaSolarize, h->t);
    std::array<uint8_t, 256> a{};
    for (int c = 0; c < 256; ++c) a[size_t(c)] = h->t[c][c];
    return a;
  }();
  PerPixel(dst, src, [](uint32_t v) {
    return (v & 0xFF000000u) | uint32_t(diagonal[(v >> 16) & 255]) << 16 |
           uint32_t(diagonal[(v >> 8) & 255]) << 8 | diagonal[v & 255];
  });
}

void PhotoRotate(const TPhoto& dst, const TPhoto& srcIn, double angle, double zoom, uint32_t background) {
  if (!std::isfinite(angle) || !std::isfinite(zoom) || !(zoom > 1.0 / 65536))
    throw EInvalidOperation("Invalid rotation");
  TSource src(dst, srcIn);
  const int64_t sw = src->Width, sh = src->Height;
  // Steps through Src, in 16.16, for one pixel to the right in Dst.
  const int64_t ca = std::llround(std::cos(angle) / zoom * 65536.0);
  const int64_t sa = std::llround(std::sin(angle) / zoom * 65536.0);
  for (int y = 0; y < dst.Height; ++y) {
    uint32_t* d = dst.Rows[size_t(y)];
    // Offsets from the centres in half pixels, of pixel centres.
    const int64_t dx2 = 1 - int64_t(dst.Width), dy2 = 2 * int64_t(y) + 1 - dst.Height;
    int64_t fx = sw * 32768 + (ca * dx2 + sa * dy2) / 2;
    int64_t fy = sh * 32768 + (ca * dy2 - sa * dx2) / 2;
    for (int x = 0; x < dst.Width; ++x, fx += ca, fy -= sa) {
      int64_t sx = fx >> 16, sy = fy >> 16;
      d[x] = sx >= 0 && sx < sw && sy >= 0 && sy < sh ? src->Rows[size_t(sy)][sx] : background;
    }
  }
}

void PhotoQuickSoft(const TPhoto& photo) {
  for (size_t y = 0; y < size_t(photo.Height); ++y) {
    uint32_t* r = photo.Rows[y];
    if (photo.Width < 3) continue;
    uint32_t left = r[0];
    for (int x = 1; x + 1 < photo.Width; ++x) {
      uint32_t here = r[x];
      r[x] = Average(left, r[x + 1]);
      left = here;
    }
  }
}

void PhotoWaterEffect(const TPhoto& dst, const TPhoto& src) {
  PhotoAssert(dst, src);
  auto h = [](uint32_t v) { return int64_t(int32_t(v)); };
  for (int y = 1; y + 1 < src.Height; ++y) {
    const uint32_t* up = src.Rows[size_t(y - 1)];
    const uint32_t* mid = src.Rows[size_t(y)];
    const uint32_t* down = src.Rows[size_t(y + 1)];
    uint32_t* d = dst.Rows[size_t(y)];
    for (int x = 1; x + 1 < src.Width; ++x) {
      int64_t v = ((h(mid[x - 1]) + h(mid[x + 1]) + h(up[x]) + h(down[x])) >> 1) - h(d[x]);
      v -= v >> 5;
      d[x] = uint32_t(v);  // kept modulo 2^32, as a 32-bit height
    }
  }
}

void PhotoDownSample(const TPhoto& dst, const TPhoto& srcIn) {
  if (dst.Width != srcIn.Width / 2) throw EAssertionFailed("Dst.Width <> Src.Width div 2");
  if (dst.Height != srcIn.Height / 2) throw EAssertionFailed("Dst.Height <> Src.Height div 2");
  TSource src(dst, srcIn);
  // Each byte loses its two low bits before the shift, so the four quarters add up without
  // a carry into the next byte.
  auto q = [](uint32_t v) { return (v & 0xFCFCFCFCu) >> 2; };
  for (int y = 0; y < dst.Height; ++y) {
    const uint32_t* a = src->Rows[size_t(2 * y)];
    const uint32_t* b = src->Rows[size_t(2 * y + 1)];
    uint32_t* d = dst.Rows[size_t(y)];
    for (int x = 0; x < dst.Width; ++x) d[x] = q(a[2 * x]) + q(a[2 * x + 1]) + q(b[2 * x]) + q(b[2 * x + 1]);
  }
}

void PhotoResize(const TPhoto& dst, const TPhoto& srcIn) {
  RaiseIfEmptySource(dst, srcIn);
  if (dst.Width <= 0 || dst.Height <= 0) return;
  TSource src(dst, srcIn);
  // Nearest samples at the pixel centres, stepped in 16.16.
  const int64_t stepX = (int64_t(src->Width) << 16) / dst.Width;
  const int64_t stepY = (int64_t(src->Height) << 16) / dst.Height;
  std::vector<int> cols(size_t(dst.Width));
  for (int x = 0; x < dst.Width; ++x)
    cols[size_t(x)] = int(std::min<int64_t>(((2 * x + 1) * stepX) >> 17, src->Width - 1));
  for (int y = 0; y < dst.Height; ++y) {
    int64_t sy = std::min<int64_t>(((2 * int64_t(y) + 1) * stepY) >> 17, src->Height - 1);
    const uint32_t* s = src->Rows[size_t(sy)];
    uint32_t* d = dst.Rows[size_t(y)];
    for (int x = 0; x < dst.Width; ++x) d[x] = s[cols[size_t(x)]];
  }
}

namespace {

// One bilinear sample position along an axis: the two source indices and the weight of the
// second.
struct TTap {
  int i0, i1;
  double t;
};

// n samples evenly spread over each destination pixel's share of the source, for every
// destination pixel along an axis of d pixels over s source pixels.
std::vector<TTap> Taps(int d, int s, int n) {
  std::vector<TTap> taps(size_t(d) * size_t(n));
  const double f = double(s) / d;
  for (int x = 0; x < d; ++x)
    for (int i = 0; i < n; ++i) {
      double c = (x + (i + 0.5) / n) * f - 0.5;  // in source pixel-centre coordinates
      double fl = std::floor(c);
      int i0 = int(fl);
      taps[size_t(x) * size_t(n) + size_t(i)] = {std::clamp(i0, 0, s - 1), std::clamp(i0 + 1, 0, s - 1),
                                                 c - fl};
    }
  return taps;
}

}  // namespace

void PhotoResample(const TPhoto& dst, const TPhoto& srcIn) {
  RaiseIfEmptySource(dst, srcIn);
  if (dst.Width <= 0 || dst.Height <= 0) return;
  TSource src(dst, srcIn);
  const int nx = std::max(1, (src->Width + dst.Width - 1) / dst.Width);
  const int ny = std::max(1, (src->Height + dst.Height - 1) / dst.Height);
  const std::vector<TTap> tx = Taps(dst.Width, src->Width, nx), ty = Taps(dst.Height, src->Height, ny);
  const double samples = double(nx) * ny;
  for (int y = 0; y < dst.Height; ++y) {
    uint32_t* d = dst.Rows[size_t(y)];
    for (int x = 0; x < dst.Width; ++x) {
      double acc[4] = {0, 0, 0, 0};
      for (int j = 0; j < ny; ++j) {
        const TTap& a = ty[size_t(y) * size_t(ny) + size_t(j)];
        const uint32_t* r0 = src->Rows[size_t(a.i0)];
        const uint32_t* r1 = src->Rows[size_t(a.i1)];
        for (int i = 0; i < nx; ++i) {
          const TTap& b = tx[size_t(x) * size_t(nx) + size_t(i)];
          const uint32_t p00 = r0[b.i0], p01 = r0[b.i1], p10 = r1[b.i0], p11 = r1[b.i1];
          const double w00 = (1 - a.t) * (1 - b.t), w01 = (1 - a.t) * b.t, w10 = a.t * (1 - b.t),
                       w11 = a.t * b.t;
          for (int c = 0; c < 4; ++c) {
            int s = 8 * c;
            acc[c] += w00 * ((p00 >> s) & 255) + w01 * ((p01 >> s) & 255) + w10 * ((p10 >> s) & 255) +
                      w11 * ((p11 >> s) & 255);
          }
        }
      }
      uint32_t v = 0;
      for (int c = 0; c < 4; ++c) v |= uint32_t(Clamp255(std::llround(acc[c] / samples))) << (8 * c);
      d[x] = v;
    }
  }
}
