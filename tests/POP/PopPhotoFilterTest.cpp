// The pixel-view filters: geometry, convolution, lookup tables, rotation and resampling.
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

#include "POP/PopLut.h"
#include "POP/PopPhoto.h"
#include "platform/SysUtils.h"

namespace {

using Words = std::vector<uint32_t>;

// A 32-bit bitmap of w x h holding the words row by row from the top.
void Make(TBitmap& b, int w, int h, const Words& px) {
  b.SetPixelFormat(pf32bit);
  b.SetSize(w, h);
  TPhoto p = Photo(b);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.Rows[size_t(y)][x] = px[size_t(y * w + x)];
}

Words Read(TBitmap& b) {
  TPhoto p = Photo(b);
  Words v;
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x) v.push_back(p.Rows[size_t(y)][x]);
  return v;
}

const Words k3x2 = {1, 2, 3, 4, 5, 6};

TEST(PopPhotoFilter, GeometryOnAThreeByTwoMap) {
  const double pi = std::numbers::pi;
  struct Case {
    const char* name;
    int w, h;  // of Dst
    std::function<void(const TPhoto&, const TPhoto&)> op;
    Words expected;
  };
  const Case cases[] = {
      {"mirror", 3, 2, PhotoMirror, {3, 2, 1, 6, 5, 4}},
      {"flip", 3, 2, PhotoFlip, {4, 5, 6, 1, 2, 3}},
      {"rotate 0", 3, 2, [](auto& d, auto& s) { PhotoRotate(d, s, 0, 1, 9); }, k3x2},
      {"rotate 90 clockwise",
       2,
       3,
       [=](auto& d, auto& s) { PhotoRotate(d, s, pi / 2, 1, 9); },
       {4, 1, 5, 2, 6, 3}},
      {"rotate 180", 3, 2, [=](auto& d, auto& s) { PhotoRotate(d, s, pi, 1, 9); }, {6, 5, 4, 3, 2, 1}},
      {"rotate -90", 2, 3, [=](auto& d, auto& s) { PhotoRotate(d, s, -pi / 2, 1, 9); }, {3, 6, 2, 5, 1, 4}},
      {"rotate 0 into a wider Dst",
       5,
       2,
       [](auto& d, auto& s) { PhotoRotate(d, s, 0, 1, 9); },
       {9, 1, 2, 3, 9, 9, 4, 5, 6, 9}},
      {"resize 3x2 to 6x4", 6, 4, PhotoResize, {1, 1, 2, 2, 3, 3, 1, 1, 2, 2, 3, 3,
                                                4, 4, 5, 5, 6, 6, 4, 4, 5, 5, 6, 6}},
      {"resize 3x2 to 1x1", 1, 1, PhotoResize, {5}},
  };
  for (const Case& c : cases) {
    TBitmap src, dst;
    Make(src, 3, 2, k3x2);
    dst.SetSize(c.w, c.h);
    c.op(Photo(dst), Photo(src));
    EXPECT_EQ(Read(dst), c.expected) << c.name;
    EXPECT_EQ(Read(src), k3x2) << c.name << " changed its source";
  }
}

TEST(PopPhotoFilter, InPlaceResultsEqualThoseIntoASecondBitmap) {
  const TPhotoKernel blur = {1, 1, 1, 1, 1, 1, 2, 2, 2, 1, 1, 2,  4, 2,
                             1, 1, 2, 2, 2, 1, 1, 1, 1, 1, 1, 36, 0};
  struct Case {
    const char* name;
    std::function<void(const TPhoto&, const TPhoto&)> op;
  };
  const Case cases[] = {
      {"mirror", PhotoMirror},
      {"flip", PhotoFlip},
      {"rotate", [](auto& d, auto& s) { PhotoRotate(d, s, 0.7, 1.3, 0x55); }},
      {"convolution", [&](auto& d, auto& s) { PhotoConvolution(d, s, blur); }},
      {"resize", PhotoResize},
      {"resample", PhotoResample},
  };
  Words px;
  for (uint32_t i = 0; i < 5 * 3; ++i) px.push_back(i * 0x11203757u);
  for (const Case& c : cases) {
    TBitmap src, dst, self;
    Make(src, 5, 3, px);
    Make(self, 5, 3, px);
    dst.SetSize(5, 3);
    c.op(Photo(dst), Photo(src));
    TPhoto p = Photo(self);
    c.op(p, p);
    EXPECT_EQ(Read(self), Read(dst)) << c.name;
  }
}

TEST(PopPhotoFilter, RotationFillsTheOutsideWithBackgroundAndZooms) {
  TBitmap src, dst;
  Make(src, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  dst.SetSize(5, 5);
  PhotoRotate(Photo(dst), Photo(src), std::numbers::pi / 4, 1, 0xEE);
  Words w = Read(dst);
  EXPECT_EQ(w[12], 5u);  // the centres meet
  for (size_t corner : {0, 4, 20, 24}) EXPECT_EQ(w[corner], 0xEEu) << corner;
  // A zoom of 2 doubles every pixel.
  Make(src, 2, 2, {1, 2, 3, 4});
  dst.SetSize(4, 4);
  PhotoRotate(Photo(dst), Photo(src), 0, 2, 0);
  EXPECT_EQ(Read(dst), (Words{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}));
  for (double bad : {0.0, -1.0, double(NAN), double(INFINITY)})
    EXPECT_THROW(PhotoRotate(Photo(dst), Photo(src), 0, bad, 0), EInvalidOperation) << bad;
  EXPECT_THROW(PhotoRotate(Photo(dst), Photo(src), NAN, 1, 0), EInvalidOperation);
}

TEST(PopPhotoFilter, WordOperations) {
  const Words px = {0xFF000000, 0x12345678, 0x00FFFFFF, 0x80808080};
  struct Case {
    const char* name;
    std::function<void(const TPhoto&, const TPhoto&)> op;
    Words expected;
  };
  const Case cases[] = {
      {"eor",
       [](auto& d, auto& s) { PhotoEOR(d, s, 0x0F0F0F0F); },
       {0xF00F0F0F, 0x1D3B5977, 0x0FF0F0F0, 0x8F8F8F8F}},
      {"and",
       [](auto& d, auto& s) { PhotoAND(d, s, 0xF0F0F0F0); },
       {0xF0000000, 0x10305070, 0x00F0F0F0, 0x80808080}},
      {"or",
       [](auto& d, auto& s) { PhotoOR(d, s, 0x01010101); },
       {0xFF010101, 0x13355779, 0x01FFFFFF, 0x81818181}},
      {"invert keeps the fourth byte", PhotoInvert, {0xFFFFFFFF, 0x12CBA987, 0x00000000, 0x807F7F7F}},
      {"solarize", PhotoSolarize, {0xFFFFFFFF, 0x1297530F, 0x00FFFFFF, 0x80010101}},
  };
  for (const Case& c : cases) {
    TBitmap src, dst;
    Make(src, 2, 2, px);
    dst.SetSize(2, 2);
    c.op(Photo(dst), Photo(src));
    EXPECT_EQ(Read(dst), c.expected) << c.name;
  }
  // Inverting twice, in place, gives the picture back.
  TBitmap b;
  Make(b, 2, 2, px);
  TPhoto p = Photo(b);
  PhotoInvert(p, p);
  PhotoInvert(p, p);
  EXPECT_EQ(Read(b), px);
  PhotoClear(p, 0xABCDEF01);
  EXPECT_TRUE(PhotoIsBlank(p, 0xABCDEF01));
}

TEST(PopPhotoFilter, SolarizeTurnsAtTheMiddle) {
  struct Case {
    uint32_t in, out;
  };
  // |255 - 2c|: falling to 1 at 127 and 128, then rising again.
  for (Case c : {Case{0, 255}, Case{1, 253}, Case{64, 127}, Case{127, 1}, Case{128, 1}, Case{200, 145},
                 Case{255, 255}}) {
    TBitmap b;
    Make(b, 1, 1, {c.in << 16 | c.in << 8 | c.in});
    TPhoto p = Photo(b);
    PhotoSolarize(p, p);
    EXPECT_EQ(p.Rows[0][0], c.out << 16 | c.out << 8 | c.out) << c.in;
  }
}

TEST(PopPhotoFilter, ApplyLUAPicksARowPerChannel) {
  struct Holder {
    TLUATable t;
  } h;
  LookUpArray(luaAdd, h.t);
  TBitmap src, dst;
  Make(src, 2, 1, {0x7F0A141E, 0x00FFFEFD});
  dst.SetSize(2, 1);
  PhotoApplyLUA(Photo(dst), Photo(src), h.t, 1, 2, 3);  // blue + 1, green + 2, red + 3
  EXPECT_EQ(Read(dst), (Words{0x7F0D161F, 0x000200FE}));
}

TEST(PopPhotoFilter, ConvolutionKernels) {
  const Words px = {0xFF102030, 0x01405060, 0x02708090, 0x03A0B0C0};
  TPhotoKernel identity{};
  identity[12] = 1;
  identity[25] = 1;
  TPhotoKernel zeroDivisor = identity;
  zeroDivisor[25] = 0;
  TPhotoKernel plus = identity, minus = identity;
  plus[26] = 300;
  minus[26] = -300;
  TPhotoKernel twoLeft{};  // the pixel two to the left: the edge repeats
  twoLeft[10] = 1;
  twoLeft[25] = 1;
  TPhotoKernel halfDouble = identity;  // 2x / 4 + 8
  halfDouble[12] = 2;
  halfDouble[25] = 4;
  halfDouble[26] = 8;
  struct Case {
    const char* name;
    TPhotoKernel k;
    Words expected;
  };
  const Case cases[] = {
      {"identity", identity, px},
      {"divisor 0 counts as 1", zeroDivisor, px},
      {"offset limited to 255", plus, {0xFFFFFFFF, 0x01FFFFFF, 0x02FFFFFF, 0x03FFFFFF}},
      {"offset limited to 0", minus, {0xFF000000, 0x01000000, 0x02000000, 0x03000000}},
      {"edge repeated", twoLeft, {0xFF102030, 0x01102030, 0x02102030, 0x03405060}},
      {"divisor and offset", halfDouble, {0xFF101820, 0x01283038, 0x02404850, 0x03586068}},
  };
  for (const Case& c : cases) {
    TBitmap src, dst;
    Make(src, 4, 1, px);
    dst.SetSize(4, 1);
    PhotoConvolution(Photo(dst), Photo(src), c.k);
    EXPECT_EQ(Read(dst), c.expected) << c.name;
  }
  // A box blur of a flat picture is the same picture.
  TPhotoKernel box;
  box.fill(1);
  box[25] = 25;
  box[26] = 0;
  TBitmap flat, out;
  Make(flat, 3, 3, Words(9, 0x00336699));
  out.SetSize(3, 3);
  PhotoConvolution(Photo(out), Photo(flat), box);
  EXPECT_EQ(Read(out), Words(9, 0x00336699));
}

TEST(PopPhotoFilter, QuickSoftAveragesTheOriginalNeighbours) {
  TBitmap b;
  Make(b, 5, 1, {0x00000000, 0xFF000064, 0x01000007, 0x000000FF, 0x00000010});
  PhotoQuickSoft(Photo(b));
  // x = 2 takes 100 and 255, not the already softened 3.
  EXPECT_EQ(Read(b), (Words{0x00000000, 0x00000003, 0x7F0000B1, 0x0000000B, 0x00000010}));
  TBitmap narrow;
  Make(narrow, 2, 1, {1, 2});
  PhotoQuickSoft(Photo(narrow));
  EXPECT_EQ(Read(narrow), (Words{1, 2}));
}

TEST(PopPhotoFilter, WaterEffectStepsInnerPixels) {
  struct Case {
    uint32_t around, before, after;
  };
  const Case cases[] = {
      {4, 0, 8},                    // 16 / 2
      {4, 2, 6},                    // minus the previous step
      {64, 0, 124},                 // 128, damped by 128 / 32
      {0, 64, uint32_t(-62)},       // -64, damped towards 0
      {0x40000000, 0, 0x7C000000},  // sums beyond 32 bits do not wrap before the halving
  };
  for (const Case& c : cases) {
    TBitmap src, dst;
    Make(src, 3, 3, {7, c.around, 7, c.around, 99, c.around, 7, c.around, 7});
    Make(dst, 3, 3, {1, 1, 1, 1, c.before, 1, 1, 1, 1});
    PhotoWaterEffect(Photo(dst), Photo(src));
    EXPECT_EQ(Read(dst), (Words{1, 1, 1, 1, c.after, 1, 1, 1, 1})) << c.around << " " << c.before;
  }
}

TEST(PopPhotoFilter, DownSampleAveragesBlocks) {
  TBitmap src, dst;
  Make(src, 5, 3,
       {0x04040404, 0x08080808, 0xFFFFFFFF, 0xFFFFFFFF, 1, 0x0C0C0C0C, 0x10101010, 0xFFFFFFFF, 0xFFFFFFFF, 1,
        1, 1, 1, 1, 1});
  dst.SetSize(2, 1);  // the odd column and row are left out
  PhotoDownSample(Photo(dst), Photo(src));
  // (4 + 8 + 12 + 16) / 4 in every byte, the fourth too; 255 loses its low bits.
  EXPECT_EQ(Read(dst), (Words{0x0A0A0A0A, 0xFCFCFCFC}));
  TBitmap wrong(3, 1), wrong2(2, 2);
  EXPECT_THROW(PhotoDownSample(Photo(wrong), Photo(src)), EAssertionFailed);
  EXPECT_THROW(PhotoDownSample(Photo(wrong2), Photo(src)), EAssertionFailed);
}

TEST(PopPhotoFilter, ResampleAveragesAndInterpolates) {
  struct Case {
    const char* name;
    int sw, sh;
    Words src;
    int dw, dh;
    Words expected;
  };
  const Case cases[] = {
      {"2x2 blocks", 4, 2, {0, 10, 100, 100, 20, 31, 0xFF000000, 0xFF000000}, 2, 1, {15, 0x80000032}},
      {"interpolated between centres", 2, 1, {0, 200}, 4, 1, {0, 50, 150, 200}},
      {"one pixel everywhere", 1, 1, {0x11223344}, 3, 2, Words(6, 0x11223344)},
      {"same size copies", 3, 2, k3x2, 3, 2, k3x2},
      {"to nothing", 3, 2, k3x2, 0, 0, {}},
  };
  for (const Case& c : cases) {
    TBitmap src, dst;
    Make(src, c.sw, c.sh, c.src);
    dst.SetSize(c.dw, c.dh);
    PhotoResample(Photo(dst), Photo(src));
    EXPECT_EQ(Read(dst), c.expected) << c.name;
  }
  TBitmap empty, dst(2, 2);
  EXPECT_THROW(PhotoResample(Photo(dst), Photo(empty)), EAssertionFailed);
  EXPECT_THROW(PhotoResize(Photo(dst), Photo(empty)), EAssertionFailed);
}

TEST(PopPhotoFilter, MismatchedViewsRaiseAndLeaveDstAlone) {
  const TPhotoKernel k{};
  struct Holder {
    TLUATable t;
  } h{};
  const std::function<void(const TPhoto&, const TPhoto&)> ops[] = {
      [](auto& d, auto& s) { PhotoEOR(d, s, 1); },
      [](auto& d, auto& s) { PhotoAND(d, s, 1); },
      [](auto& d, auto& s) { PhotoOR(d, s, 1); },
      PhotoInvert,
      PhotoMirror,
      PhotoFlip,
      PhotoSolarize,
      PhotoWaterEffect,
      [&](auto& d, auto& s) { PhotoConvolution(d, s, k); },
      [&](auto& d, auto& s) { PhotoApplyLUA(d, s, h.t, 0, 0, 0); },
  };
  for (size_t i = 0; i < std::size(ops); ++i)
    for (auto [w, h2] : {std::pair{2, 3}, std::pair{3, 2}, std::pair{4, 4}}) {
      TBitmap src(3, 3), dst;
      Make(dst, w, h2, Words(size_t(w * h2), 0x5A5A5A5A));
      EXPECT_THROW(ops[i](Photo(dst), Photo(src)), EAssertionFailed) << i;
      EXPECT_EQ(Read(dst), Words(size_t(w * h2), 0x5A5A5A5A)) << i;
    }
}

TEST(PopPhotoFilter, PrepareGivesBothThirtyTwoBitsAndSrcSize) {
  TBitmap src(3, 2, pf24bit), dst(7, 7, pf8bit);
  PhotoPrepare(dst, src);
  EXPECT_EQ(src.PixelFormat(), pf32bit);
  EXPECT_EQ(dst.PixelFormat(), pf32bit);
  EXPECT_EQ(dst.Width(), 3);
  EXPECT_EQ(dst.Height(), 2);
}

}  // namespace
