// CopyRect, StretchDraw and StretchDrawKeyed against the copy they replaced, which went pixel
// by pixel: every format, copy mode, key, stretch, shrink, mirror, overlap and clipping gives
// the same bytes.
#include <climits>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "platform/Canvas.h"

namespace {

// ---- the earlier copy, one pixel at a time, kept as the reference ----------------------------

int64_t RefMapIndex(int64_t i, int64_t n, int64_t m) { return ((2 * i + 1) * m) / (2 * n); }

uint32_t RefBgr(TColor c) {
  c = ColorToRGB(c);
  return uint32_t(GetBValue(c)) | uint32_t(GetGValue(c)) << 8 | uint32_t(GetRValue(c)) << 16;
}

uint32_t RefCopyOp(TCopyMode mode, uint32_t S, uint32_t D) {
  const uint32_t M = 0xFFFFFF;
  switch (mode) {
    case cmSrcPaint: return (S | D) & M;
    case cmSrcAnd: return S & D & M;
    case cmSrcInvert: return (S ^ D) & M;
    case cmNotSrcCopy: return ~S & M;
    case cmBlackness: return 0;
    case cmWhiteness: return M;
    case cmDstInvert: return ~D & M;
    default: return S & M;
  }
}

void RefStretchCopy(TBitmap& dst, const TRect& d, const TBitmap& srcIn, const TRect& s, TCopyMode mode,
                    bool keyed, TColor key) {
  int64_t dw = int64_t(d.Right) - d.Left, dh = int64_t(d.Bottom) - d.Top;
  int64_t sw = int64_t(s.Right) - s.Left, sh = int64_t(s.Bottom) - s.Top;
  if (!dw || !dh || !sw || !sh) return;
  bool flipX = (dw < 0) != (sw < 0), flipY = (dh < 0) != (sh < 0);
  int64_t dl = std::min<int64_t>(d.Left, d.Right), dt = std::min<int64_t>(d.Top, d.Bottom);
  int64_t sl = std::min<int64_t>(s.Left, s.Right), st = std::min<int64_t>(s.Top, s.Bottom);
  dw = std::abs(dw);
  dh = std::abs(dh);
  sw = std::abs(sw);
  sh = std::abs(sh);
  std::unique_ptr<TBitmap> snap;
  const TBitmap* src = &srcIn;
  if (&srcIn == &dst) {
    snap = std::make_unique<TBitmap>();
    snap->Assign(&srcIn);
    src = snap.get();
  }
  int64_t x0 = std::max<int64_t>(dl, 0), x1 = std::min<int64_t>(dl + dw, dst.Width());
  int64_t y0 = std::max<int64_t>(dt, 0), y1 = std::min<int64_t>(dt + dh, dst.Height());
  bool fast = dst.PixelFormat() == pf32bit && src->PixelFormat() == pf32bit;
  uint32_t keyBgr = keyed ? RefBgr(key) : 0;
  for (int64_t y = y0; y < y1; ++y) {
    int64_t k = RefMapIndex(y - dt, dh, sh);
    int64_t sy = st + (flipY ? sh - 1 - k : k);
    if (sy < 0 || sy >= src->Height()) continue;
    for (int64_t x = x0; x < x1; ++x) {
      int64_t kx = RefMapIndex(x - dl, dw, sw);
      int64_t sx = sl + (flipX ? sw - 1 - kx : kx);
      if (sx < 0 || sx >= src->Width()) continue;
      if (fast) {
        uint32_t sv, dv;
        std::memcpy(&sv, src->ScanLine(int(sy)) + 4 * sx, 4);
        if (keyed && (sv & 0xFFFFFF) == keyBgr) continue;
        uint8_t* dp = dst.ScanLine(int(y)) + 4 * x;
        if (mode != cmSrcCopy) {
          std::memcpy(&dv, dp, 4);
          sv = RefCopyOp(mode, sv, dv);
        }
        std::memcpy(dp, &sv, 4);
      } else {
        uint32_t sv = RefBgr(src->GetPixelColor(int(sx), int(sy)));
        if (keyed && sv == keyBgr) continue;
        if (mode != cmSrcCopy) sv = RefCopyOp(mode, sv, RefBgr(dst.GetPixelColor(int(x), int(y))));
        dst.SetPixelColor(int(x), int(y), RGB(uint8_t(sv >> 16), uint8_t(sv >> 8), uint8_t(sv)));
      }
    }
  }
}

// ---- pictures ----------------------------------------------------------------------------------

// A bitmap of the format whose every pixel differs from its neighbours, the fourth byte too
// (32 bits), so that a pixel taken from the wrong place shows.
std::unique_ptr<TBitmap> Varied(int width, int height, TPixelFormat format, uint32_t seed) {
  auto b = std::make_unique<TBitmap>(width, height, pf32bit);
  uint32_t v = seed;
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(b->ScanLine(y));
    for (int x = 0; x < width; ++x) {
      v = v * 1664525u + 1013904223u;
      row[x] = v ^ (uint32_t(x) << 3) ^ (uint32_t(y) << 17);
    }
  }
  if (format != pf32bit) {
    if (format == pf8bit) {
      std::vector<TRGBQuad> palette(256);
      for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = {uint8_t(i * 37), uint8_t(i * 101), uint8_t(255 - i), 0};
      b->SetPixelFormat(pf8bit);
      b->SetPalette(palette);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b->ScanLine(y)[x] = uint8_t((x * 7 + y * 13 + seed) & 0xFF);
    } else {
      b->SetPixelFormat(format);
    }
  }
  return b;
}

bool SameBytes(const TBitmap& a, const TBitmap& b) {
  return a.ImageSize() == b.ImageSize() && std::memcmp(a.Bits(), b.Bits(), size_t(a.ImageSize())) == 0;
}

// Where two bitmaps of one size and format first differ, for the message.
std::string FirstDifference(const TBitmap& got, const TBitmap& want) {
  for (int y = 0; y < got.Height(); ++y)
    for (int x = 0; x < got.Width(); ++x)
      if (got.GetPixelColor(x, y) != want.GetPixelColor(x, y) ||
          (got.PixelFormat() == pf32bit &&
           std::memcmp(got.ScanLine(y) + 4 * x, want.ScanLine(y) + 4 * x, 4) != 0))
        return "first at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
  return "none";
}

struct RectCase {
  const char* what;
  // The destination and source rectangles for a source of w x h.
  TRect (*dest)(int w, int h);
  TRect (*src)(int w, int h);
};

const RectCase kRects[] = {
    {"one to one", [](int w, int h) { return Rect(3, 2, 3 + w, 2 + h); },
     [](int w, int h) { return Rect(0, 0, w, h); }},
    {"off the destination's top left", [](int w, int h) { return Rect(-5, -3, w - 5, h - 3); },
     [](int w, int h) { return Rect(0, 0, w, h); }},
    {"off the destination's bottom right",
     [](int w, int h) { return Rect(38 - w / 2, 27 - h / 2, 38 + w, 27 + h); },
     [](int w, int h) { return Rect(0, 0, w + w / 2, h + h / 2); }},
    {"source rectangle past the source", [](int w, int h) { return Rect(1, 1, w + 6, h + 4); },
     [](int w, int h) { return Rect(-2, -1, w + 3, h + 2); }},
    {"stretched three times", [](int w, int h) { return Rect(1, 1, 1 + 3 * w, 1 + 3 * h); },
     [](int w, int h) { return Rect(0, 0, w, h); }},
    {"stretched unevenly", [](int w, int h) { return Rect(0, 2, 2 * w + 1, 2 + std::max(1, h - 1)); },
     [](int w, int h) { return Rect(0, 0, w, h); }},
    {"shrunk to two fifths",
     [](int w, int h) { return Rect(2, 0, 2 + std::max(1, w * 2 / 5), std::max(1, h * 2 / 5)); },
     [](int w, int h) { return Rect(0, 0, w, h); }},
    {"one pixel to one pixel", [](int, int) { return Rect(5, 5, 6, 6); },
     [](int w, int h) { return Rect(w / 2, h / 2, w / 2 + 1, h / 2 + 1); }},
    {"one pixel to a block", [](int, int) { return Rect(4, 3, 11, 8); },
     [](int w, int h) { return Rect(w - 1, h - 1, w, h); }},
    {"one column, one row", [](int, int h) { return Rect(9, 1, 10, 1 + h); },
     [](int w, int) { return Rect(w / 3, 0, w / 3 + 1, 1); }},
    {"mirrored left to right", [](int w, int h) { return Rect(3 + w, 2, 3, 2 + h); },
     [](int w, int h) { return Rect(0, 0, w, h); }},
    {"mirrored top to bottom and stretched", [](int w, int h) { return Rect(0, 1 + 2 * h, 2 * w, 1); },
     [](int w, int h) { return Rect(0, 0, w, h); }},
    {"source rectangle mirrored, shrunk", [](int w, int h) { return Rect(1, 1, 1 + (w + 1) / 2, 1 + h); },
     [](int w, int h) { return Rect(w, 0, 0, h); }},
    {"wholly outside the destination", [](int w, int h) { return Rect(-w - 9, 0, -9, h); },
     [](int w, int h) { return Rect(0, 0, w, h); }},
    {"empty", [](int, int) { return Rect(4, 4, 4, 9); }, [](int w, int h) { return Rect(0, 0, w, h); }},
};

const TCopyMode kModes[] = {cmSrcCopy,    cmSrcPaint,  cmSrcAnd,    cmSrcInvert,
                            cmNotSrcCopy, cmBlackness, cmWhiteness, cmDstInvert};

}  // namespace

TEST(StretchCopy, GivesTheBytesOfThePixelByPixelCopy) {
  const TPixelFormat formats[] = {pf32bit, pf24bit, pf8bit};
  const int sizes[][2] = {{1, 1}, {7, 5}, {33, 17}, {128, 3}, {2, 31}};
  int compared = 0;
  for (TPixelFormat srcFormat : formats)
    for (TPixelFormat dstFormat : formats)
      for (const auto& size : sizes) {
        const int w = size[0], h = size[1];
        auto src = Varied(w, h, srcFormat, uint32_t(w * 131 + h));
        for (const RectCase& r : kRects)
          for (TCopyMode mode : kModes)
            for (bool keyed : {false, true}) {
              if (keyed && mode != cmSrcCopy && mode != cmSrcInvert) continue;
              // Between other formats each pixel goes through its colour, whatever the mode: a
              // few modes stand for the rest (an indexed destination is slow to write).
              const bool bothFull = srcFormat == pf32bit && dstFormat == pf32bit;
              if (!bothFull && mode != cmSrcCopy && mode != cmSrcInvert && mode != cmDstInvert) continue;
              SCOPED_TRACE(std::string(r.what) + ", source " + std::to_string(w) + " x " + std::to_string(h) +
                           " of " + std::to_string(BitsPerPixelOf(srcFormat)) + " bits into " +
                           std::to_string(BitsPerPixelOf(dstFormat)) + " bits, mode " + std::to_string(mode) +
                           (keyed ? ", keyed" : ""));
              // The key is a colour the source holds.
              const TColor key = src->GetPixelColor(w / 2, h / 2);
              auto got = Varied(40, 30, dstFormat, 7);
              auto want = Varied(40, 30, dstFormat, 7);
              RefStretchCopy(*want, r.dest(w, h), *src, r.src(w, h), mode, keyed, key);
              got->Canvas().CopyMode = mode;
              if (keyed) got->Canvas().StretchDrawKeyed(r.dest(w, h), *src, r.src(w, h), key);
              else got->Canvas().CopyRect(r.dest(w, h), src->Canvas(), r.src(w, h));
              ASSERT_TRUE(SameBytes(*got, *want)) << FirstDifference(*got, *want);
              ++compared;
            }
      }
  EXPECT_GT(compared, 2000);
}

// A copy within one bitmap reads the bitmap as it was before the copy, overlapping or not.
TEST(StretchCopy, WithinOneBitmapReadsTheBitmapAsItWas) {
  for (const RectCase& r : kRects) {
    for (TCopyMode mode : {cmSrcCopy, cmSrcInvert}) {
      SCOPED_TRACE(std::string(r.what) + ", mode " + std::to_string(mode));
      auto got = Varied(40, 30, pf32bit, 11);
      auto want = Varied(40, 30, pf32bit, 11);
      RefStretchCopy(*want, r.dest(17, 9), *want, r.src(17, 9), mode, false, 0);
      got->Canvas().CopyMode = mode;
      got->Canvas().CopyRect(r.dest(17, 9), got->Canvas(), r.src(17, 9));
      ASSERT_TRUE(SameBytes(*got, *want)) << FirstDifference(*got, *want);
    }
  }
}

// The picture drawn through StretchDraw (a bitmap, its transparent colour left out) and a canvas
// whose origin is not the bitmap's corner take the same road.
TEST(StretchCopy, StretchDrawAndAMovedOriginGiveTheSameBytes) {
  auto src = Varied(13, 6, pf32bit, 5);
  src->SetTransparent(true);
  const TColor key = src->TransparentColor();
  for (const RectCase& r : kRects) {
    SCOPED_TRACE(r.what);
    auto got = Varied(40, 30, pf32bit, 3);
    auto want = Varied(40, 30, pf32bit, 3);
    RefStretchCopy(*want, r.dest(13, 6), *src, Rect(0, 0, 13, 6), cmSrcCopy, true, key);
    {
      TCanvasOrigin moved(got->Canvas(), 100, -50);
      TRect d = r.dest(13, 6);
      got->Canvas().StretchDraw(Rect(d.Left + 100, d.Top - 50, d.Right + 100, d.Bottom - 50), src.get());
    }
    ASSERT_TRUE(SameBytes(*got, *want)) << FirstDifference(*got, *want);
  }
}

// Rectangles as wide as the int range on both sides map one to one, as any rectangles of one
// size do: the column arithmetic does not overflow.
TEST(StretchCopy, RectanglesAsWideAsTheIntRangeMapOneToOne) {
  auto src = Varied(40, 30, pf32bit, 9);
  auto got = Varied(40, 30, pf32bit, 2);
  got->Canvas().CopyRect(Rect(INT_MIN + 1, INT_MIN + 1, INT_MAX, INT_MAX), src->Canvas(),
                         Rect(INT_MIN + 1, INT_MIN + 1, INT_MAX, INT_MAX));
  EXPECT_TRUE(SameBytes(*got, *src)) << FirstDifference(*got, *src);
}
