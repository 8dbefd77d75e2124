// The scaled blitter: its layouts, small sources, nine-slice and the key colour.
#include "engine/XBlit.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every case draws into a 5 x 3 destination filled with U; its alpha 0x5A shows which paths
// leave the destination's alpha alone.
constexpr uint32_t U = 0x5A5A5A5A;
constexpr int DW = 5, DH = 3;

// The 3 x 2 source: a b c / d e f; f is half transparent, which the copy paths copy.
constexpr uint32_t a = 0xFF1000A1, b = 0xFF1000B1, c = 0xFF1000C1;
constexpr uint32_t d = 0xFF1000D1, e = 0xFF1000E1, f = 0x401000F1;
constexpr uint32_t Red = 0xFFFF0000, Blue = 0xFF0000FF, Black = 0xFF000000;

uint32_t Get(TBitmap& bmp, int x, int y) { return reinterpret_cast<const uint32_t*>(bmp.ScanLine(y))[x]; }
void Put(TBitmap& bmp, int x, int y, uint32_t v) { reinterpret_cast<uint32_t*>(bmp.ScanLine(y))[x] = v; }

// A 32-bit bitmap from its pixels, top row first.
std::unique_ptr<TBitmap> Make(int w, int h, const std::vector<uint32_t>& px) {
  auto bmp = std::make_unique<TBitmap>(w, h, pf32bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Put(*bmp, x, y, px.empty() ? 0 : px[size_t(y * w + x)]);
  return bmp;
}

std::unique_ptr<TBitmap> Source(const std::string& name) {
  if (name == "3x2") return Make(3, 2, {a, b, c, d, e, f});
  if (name == "3x2 keyed e") {
    auto s = Make(3, 2, {a, b, c, d, e, f});
    s->SetTransparent(true);
    s->SetTransparentColor(TColor(ColorSwapRB(e) & 0xFFFFFF));
    return s;
  }
  if (name == "3x2 keyed f's colour") {
    // f is only half opaque, so it never equals the key, which is opaque.
    auto s = Make(3, 2, {a, b, c, d, e, f});
    s->SetTransparent(true);
    s->SetTransparentColor(TColor(ColorSwapRB(f) & 0xFFFFFF));
    return s;
  }
  if (name == "black-blue 2x1") return Make(2, 1, {Black, Blue});
  if (name == "black-green 1x2") return Make(1, 2, {Black, 0xFF00FF00});
  if (name == "grey 1x1") return Make(1, 1, {0xFF808080});
  if (name == "red-keyed 3x1") {
    // The key comes from the bottom-left pixel, red.
    auto s = Make(3, 1, {Red, Blue, Black});
    s->SetTransparent(true);
    return s;
  }
  if (name == "half alpha 1x1") return Make(1, 1, {0x80102030});
  if (name == "alpha 0 1x1") return Make(1, 1, {0x00FF8000});
  if (name == "half alpha orange 1x1") return Make(1, 1, {0x80FF8000});
  if (name == "empty") return std::make_unique<TBitmap>(0, 0, pf32bit);
  if (name == "wide") {
    // As wide as a bitmap may be, each pixel its column.
    auto s = std::make_unique<TBitmap>(MaxImageDimension, 1, pf32bit);
    for (int x = 0; x < MaxImageDimension; ++x) Put(*s, x, 0, 0xFF000000u | uint32_t(x));
    return s;
  }
  ADD_FAILURE() << "no source " << name;
  return Make(1, 1, {0});
}

struct Case {
  const char* name;
  const char* source;
  void (*blit)(TBitmap& dst, TBitmap& src);
  std::vector<uint32_t> expected;  // DW x DH, top row first
};

const TRect ClipOutside{10, 10, 20, 20};
const TRect ClipRow0Cols1To2{1, 0, 3, 1};
const TRect ClipPastDst{-5, -5, 100, 100};

const std::vector<uint32_t> Untouched(DW* DH, U);

const Case Cases[] = {
    {"zero width", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 1, 0, 1, 2, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     Untouched},
    {"negative height", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 2, 3, 0, S, 0, 0, 3, 2, 255, nullptr, nullptr, 10); },
     Untouched},
    {"negative width, blend path", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 3, 0, 0, 2, S, 0, 0, 3, 2, 255, nullptr, nullptr, 0); },
     Untouched},
    {"clip outside", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 3, 2, S, 0, 0, 3, 2, 255, &ClipOutside, nullptr, 4); },
     Untouched},
    {"destination wholly outside", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 5, 0, 8, 2, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     Untouched},
    {"empty source", "empty", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 5, 3, S, 0, 0, 5, 3, 255, nullptr, nullptr, 10); },
     Untouched},
    {"unscaled copy writes all four bytes", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 1, 1, 4, 3, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     {U, U, U, U, U,
      U, a, b, c, U,
      U, d, e, f, U}},
    {"clip inside", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 3, 2, S, 0, 0, 3, 2, 255, &ClipRow0Cols1To2, nullptr, 4); },
     {U, b, c, U, U,
      U, U, U, U, U,
      U, U, U, U, U}},
    {"destination past the bitmap, clip past it too", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 3, 1, 6, 3, S, 0, 0, 3, 2, 255, &ClipPastDst, nullptr, 4); },
     {U, U, U, U, U,
      U, U, U, a, b,
      U, U, U, d, e}},
    {"destination at negative coordinates", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, -2, -1, 1, 1, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     {f, U, U, U, U,
      U, U, U, U, U,
      U, U, U, U, U}},
    {"source cut at its right edge, not scaled", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 4, 2, S, 1, 0, 5, 2, 255, nullptr, nullptr, 4); },
     {b, c, U, U, U,
      e, f, U, U, U,
      U, U, U, U, U}},
    {"source cut at its bottom edge", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 3, 3, S, 0, 1, 3, 4, 255, nullptr, nullptr, 4); },
     {d, e, f, U, U,
      U, U, U, U, U,
      U, U, U, U, U}},
    {"negative source origin moves the destination", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 3, 2, S, -1, -1, 2, 1, 255, nullptr, nullptr, 4); },
     {U, U, U, U, U,
      U, a, b, U, U,
      U, U, U, U, U}},
    {"source wholly past the right edge", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 5, 3, S, 5, 0, 10, 2, 255, nullptr, nullptr, 4); },
     Untouched},
    {"block copy still steps rows", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 3, 3, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     {a, b, c, U, U,
      a, b, c, U, U,
      d, e, f, U, U}},
    {"keyed copy, unscaled", "3x2 keyed e", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 1, 1, 4, 3, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     {U, U, U, U, U,
      U, a, b, c, U,
      U, d, U, f, U}},
    {"keyed copy, scaled 3 to 5", "3x2 keyed e", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 5, 2, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     {a, a, b, b, c,
      d, d, U, U, f,
      U, U, U, U, U}},
    {"key compared with the whole pixel, alpha too", "3x2 keyed f's colour", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 3, 2, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     {a, b, c, U, U,
      d, e, f, U, U,
      U, U, U, U, U}},
    {"nearest 3 to 2", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 2, 2, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     {a, b, U, U, U,
      d, e, U, U, U,
      U, U, U, U, U}},
    {"nearest 3 to 6 clipped on the left", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, -1, 0, 5, 2, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     {a, b, b, c, c,
      d, e, e, f, f,
      U, U, U, U, U}},
    {"source rectangle around the source is clamped", "3x2", [](TBitmap& D, TBitmap& S) { ScaledBlit(D, 0, 0, 4, 3, S, -0x50000, -0x50000, 0x90000, 0x90000, 255, nullptr, nullptr, 4); },
     {a, a, c, c, U,
      a, a, c, c, U,
      d, d, f, f, U}},
    {"destination wider than 32 bits of pixels", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, -2000000000, 0, 2000000000, 3, S, 0, 0, 3, 2, 255, nullptr, nullptr, 4); },
     {a, a, a, a, a,
      a, a, a, a, a,
      d, d, d, d, d}},
    {"clip advance to the far end of the widest source", "wide", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 1 - MaxImageDimension, 0, 1, 1, S, 0, 0, MaxImageDimension, 1, 255, nullptr, nullptr, 4); },
     {0xFF000000u | uint32_t(MaxImageDimension - 1), U, U, U, U,
      U, U, U, U, U,
      U, U, U, U, U}},
    {"extreme source coordinates", "3x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 5, 3, S, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 255, nullptr, nullptr, 4); },
     Untouched},
    {"extreme 16.16 source coordinates", "3x2", [](TBitmap& D, TBitmap& S) { ScaledBlit(D, 0, 0, 4, 3, S, INT64_MIN, INT64_MIN, INT64_MAX, INT64_MAX, 255, nullptr, nullptr, 4); },
     {a, a, a, c, U,
      a, a, a, c, U,
      d, d, d, f, U}},
    {"bilinear ramp across a 2-pixel strip, alpha kept", "black-blue 2x1", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 5, 1, S, 0, 0, 2, 1, 255, nullptr, nullptr, 10); },
     {0x5A000000, 0x5A000033, 0x5A000066, 0x5A000099, 0x5A0000CC,
      U, U, U, U, U,
      U, U, U, U, U}},
    {"bilinear ramp down a 1-pixel-wide strip", "black-green 1x2", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 1, 3, S, 0, 0, 1, 2, 255, nullptr, nullptr, 10); },
     {0x5A000000, U, U, U, U,
      0x5A005500, U, U, U, U,
      0x5A00AA00, U, U, U, U}},
    {"bilinear from 1 x 1", "grey 1x1", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 5, 3, S, 0, 0, 1, 1, 255, nullptr, nullptr, 10); },
     std::vector<uint32_t>(DW * DH, 0x5A808080)},
    {"bilinear nine-slice centre of a 1 x 1 texture", "grey 1x1", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 2, 2, S, -1, -1, 1, 1, 255, nullptr, nullptr, 10); },
     {U, U, U, U, U,
      U, 0x5A808080, U, U, U,
      U, U, U, U, U}},
    {"bilinear skips where the upper-left sample is the key", "red-keyed 3x1", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 4, 1, S, 0, 0, 3, 1, 255, nullptr, nullptr, 10); },
     {U, U, 0x5A0000FF, 0x5A00007F, U,
      U, U, U, U, U,
      U, U, U, U, U}},
    {"nearest blend by the source alpha", "half alpha 1x1", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 1, 1, S, 0, 0, 1, 1, 255, nullptr, nullptr, 0); },
     {0x5A343C44, U, U, U, U,
      U, U, U, U, U,
      U, U, U, U, U}},
    {"nearest blend by the opacity alone", "alpha 0 1x1", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 1, 1, S, 0, 0, 1, 1, 64, nullptr, nullptr, 8); },
     {0x5A836343, U, U, U, U,
      U, U, U, U, U,
      U, U, U, U, U}},
    {"nearest blend by alpha and opacity", "half alpha orange 1x1", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 1, 1, S, 0, 0, 1, 1, 64, nullptr, nullptr, 0); },
     {0x5A6E5E4E, U, U, U, U,
      U, U, U, U, U,
      U, U, U, U, U}},
    {"blend through the caller's table", "half alpha 1x1", [](TBitmap& D, TBitmap& S) { BlitGraphic(D, 0, 0, 1, 1, S, 0, 0, 1, 1, 255, nullptr, SumTable, 1); },
     {0x5A616971, U, U, U, U,
      U, U, U, U, U,
      U, U, U, U, U}},
};

std::string Hex(uint32_t v) {
  char buf[12];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

}  // namespace

TEST(ScaledBlitter, TableOfCases) {
  for (const Case& k : Cases) {
    SCOPED_TRACE(k.name);
    auto dst = Make(DW, DH, std::vector<uint32_t>(DW * DH, U));
    auto src = Source(k.source);
    k.blit(*dst, *src);
    ASSERT_EQ(k.expected.size(), size_t(DW * DH));
    for (int y = 0; y < DH; ++y)
      for (int x = 0; x < DW; ++x)
        EXPECT_EQ(Hex(Get(*dst, x, y)), Hex(k.expected[size_t(y * DW + x)]))
            << "pixel (" << x << ", " << y << ")";
  }
}

// Sources of 1 x 1, strips and small squares, every flag combination and rectangles that
// straddle every edge: under the sanitizers nothing is read or written outside the bitmaps,
// and no pixel outside the destination rectangle cut by the clip changes.
TEST(ScaledBlitter, SmallSourcesStayInsideTheirBitmaps) {
  const int sizes[][2] = {{1, 1}, {1, 4}, {4, 1}, {2, 2}, {3, 3}};
  const int flagSets[] = {0, 1, 2, 4, 8, 10, 3, 9, 11};
  const TRect rects[] = {{0, 0, 6, 5},    {-3, -2, 2, 2}, {4, 3, 9, 8},
                         {-4, -4, 10, 9}, {2, 1, 3, 2},   {5, 4, 6, 5}};
  const TRect srcRects[] = {{0, 0, 1, 1}, {-1, -1, 1, 1}, {0, 0, 9, 9}, {-2, 0, 3, 1}, {1, 1, 3, 4}};
  const TRect clips[] = {{0, 0, 6, 5}, {1, 1, 4, 3}, {-9, -9, 99, 99}, {3, 2, 3, 9}};
  int drawn = 0;
  for (auto& sz : sizes)
    for (bool keyed : {false, true}) {
      std::vector<uint32_t> px(size_t(sz[0] * sz[1]));
      for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF203040u + uint32_t(i) * 0x010101u;
      auto src = Make(sz[0], sz[1], px);
      src->SetTransparent(keyed);
      for (int flags : flagSets)
        for (const TRect& r : rects)
          for (const TRect& s : srcRects)
            for (const TRect& clip : clips) {
              auto dst = Make(6, 5, std::vector<uint32_t>(30, U));
              BlitGraphic(*dst, r.Left, r.Top, r.Right, r.Bottom, *src, s.Left, s.Top, s.Right, s.Bottom, 255,
                          &clip, SumTable, flags);
              for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 6; ++x) {
                  // A negative source origin moves the destination start.
                  int left = r.Left - std::min(0, s.Left), top = r.Top - std::min(0, s.Top);
                  bool inside = x >= std::max(left, clip.Left) && x < std::min(r.Right, clip.Right) &&
                                y >= std::max(top, clip.Top) && y < std::min(r.Bottom, clip.Bottom);
                  uint32_t v = Get(*dst, x, y);
                  if (!inside) {
                    ASSERT_EQ(Hex(v), Hex(U)) << sz[0] << "x" << sz[1] << " flags " << flags;
                  } else if (v != U) {
                    ++drawn;
                  }
                }
            }
    }
  EXPECT_GT(drawn, 1000);
}

// The renderer's nine-slice layout with textures down to 1 x 1 on objects down to 1 x 1:
// every one of the ten blits stays inside both bitmaps.
TEST(ScaledBlitter, NineSliceOfTinyTextures) {
  for (int tw = 1; tw <= 3; ++tw)
    for (int th = 1; th <= 3; ++th)
      for (int w : {1, 2, 5})
        for (int h : {1, 2, 5}) {
          std::vector<uint32_t> px(size_t(tw * th), 0xFF406080);
          auto tex = Make(tw, th, px);
          auto dst = Make(w, h, std::vector<uint32_t>(size_t(w * h), U));
          int hw = tw >> 1, hh = th >> 1;
          const TRect slices[][2] = {
              {{0, 0, hw, hh}, {0, 0, hw, hh}},
              {{w - hw, 0, w, hh}, {tw - hw, 0, tw, hh}},
              {{w - hw, h - hh, w, h}, {tw - hw, th - hh, tw, th}},
              {{0, h - hh, hw, h}, {0, th - hh, hw, th}},
              {{0, 0, hw, hh}, {0, 0, hw, hh}},
              {{hw, hh, w - hw, h - hh}, {hw - 1, hh - 1, hw + 1, hh + 1}},
              {{0, hh, hw, h - hh}, {0, hh - 1, hw, hh + 1}},
              {{w - hw, hh, w, h - hh}, {tw - hw, hh - 1, tw, hh + 1}},
              {{hw, 0, w - hw, hh}, {hw - 1, 0, hw + 1, hh}},
              {{hw, h - hh, w - hw, h}, {hw - 1, th - hh, hw + 1, th}},
          };
          for (auto& sl : slices)
            BlitGraphic(*dst, sl[0].Left, sl[0].Top, sl[0].Right, sl[0].Bottom, *tex, sl[1].Left, sl[1].Top,
                        sl[1].Right, sl[1].Bottom, 255, nullptr, nullptr, 10);
          // A flat texture interpolates to itself less the truncation of the weights (up to
          // two units); only blue, green and red are written.
          for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
              uint32_t v = Get(*dst, x, y);
              if (v == U) continue;
              SCOPED_TRACE(std::to_string(tw) + "x" + std::to_string(th) + " on " + std::to_string(w) + "x" +
                           std::to_string(h) + ": " + Hex(v));
              EXPECT_EQ(v >> 24, 0x5Au);
              for (int k = 0; k < 3; ++k) {
                int got = int(v >> (8 * k)) & 0xFF, want = int(0x406080u >> (8 * k)) & 0xFF;
                EXPECT_TRUE(got <= want && got >= want - 2);
              }
            }
        }
}

TEST(ScaledBlitter, KeyColourAndPixelFormat) {
  // The key is the transparent colour as 0xAARRGGBB with alpha 255.
  auto s = Make(2, 1, {0xFF112233, 0xFF445566});
  s->SetTransparent(true);
  EXPECT_EQ(Hex(BlitKeyColor(*s)), "FF112233");  // automatic: the bottom-left pixel
  s->SetTransparentColor(RGB(0x44, 0x55, 0x66));
  EXPECT_EQ(Hex(BlitKeyColor(*s)), "FF445566");
  // A source of fewer bits is brought to 32 bits, opaque.
  TBitmap src24(2, 1, pf24bit);
  src24.SetPixelColor(0, 0, RGB(0x10, 0x20, 0x30));
  src24.SetPixelColor(1, 0, RGB(0x40, 0x50, 0x60));
  auto dst = Make(2, 1, {U, U});
  BlitGraphic(*dst, 0, 0, 2, 1, src24, 0, 0, 2, 1, 255, nullptr, nullptr, 4);
  EXPECT_EQ(src24.PixelFormat(), pf32bit);
  EXPECT_EQ(Hex(Get(*dst, 0, 0)), "FF102030");
  EXPECT_EQ(Hex(Get(*dst, 1, 0)), "FF405060");
}
