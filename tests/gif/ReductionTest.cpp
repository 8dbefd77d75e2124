// The colour reduction: every mapping method, the BMP stream it yields, the popularity
// histogram's limits and coarsening order, and nearest-colour mapping.
#include <cstring>
#include <gtest/gtest.h>

#include "gif/Pxgraph.h"
#include "platform/SysUtils.h"
#include "tests/gif/GifTestUtil.h"
#include "tests/support/ScriptedServices.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// Bottom-up 24-bit rows (blue, green, red; rows padded to 4 bytes) of `rows` given top first.
std::vector<uint8_t> Bits24(const std::vector<std::vector<Rgb>>& rows) {
  const int w = int(rows[0].size()), h = int(rows.size());
  const int stride = (w * 3 + 3) & ~3;
  std::vector<uint8_t> bits(size_t(stride * h), 0xEE);  // padding must not matter
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = bits.data() + (h - 1 - y) * stride + 3 * x;
      const Rgb& c = rows[size_t(y)][size_t(x)];
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
    }
  return bits;
}

// One row of colours as bottom-up bits.
std::vector<uint8_t> Row(const std::vector<Rgb>& colours) { return Bits24({colours}); }

Rgb EntryOf(const TReducedImage& r, int index) {
  const TRGBQuad& q = r.Palette.at(size_t(index));
  return {q.rgbRed, q.rgbGreen, q.rgbBlue};
}

// The palette colour of pixel x of the bottom-up row y.
Rgb PixelOf(const TReducedImage& r, int width, int x, int y) {
  return EntryOf(r, r.Indices.at(size_t(y * ((width + 3) & ~3) + x)));
}

std::unique_ptr<TBitmap> Bitmap24(const std::vector<std::vector<Rgb>>& rows) {
  auto p = std::make_unique<TBitmap>(int(rows[0].size()), int(rows.size()), pf24bit);
  TBitmap& b = *p;
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) {
      const Rgb& c = rows[y][x];
      b.SetPixelColor(int(x), int(y), RGB(c.r, c.g, c.b));
    }
  return p;
}

uint32_t Le32(const std::string& s, size_t at) {
  uint32_t v;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}

// Distinct colours with even channels: colour j of up to 32768.
Rgb Even(int j) {
  return {uint8_t(2 * (j & 31)), uint8_t(2 * ((j >> 5) & 31)), uint8_t(2 * ((j >> 10) & 31))};
}

}  // namespace

// Each method on a few pixels: the colour every pixel is shown in and the colours-used count.
TEST(Reduction, MappingMethodsOnSmallInputs) {
  const std::vector<Rgb> px = {{200, 100, 50}, {64, 64, 64}, {25, 26, 255}, {0, 0, 0}};
  struct Case {
    TMappingMethod method;
    std::vector<Rgb> shown;
    int colorsUsed;
  };
  const Case cases[] = {
      // 77 r + 150 g + 29 b >> 8.
      {mmGrayscale, {{124, 124, 124}, {64, 64, 64}, {51, 51, 51}, {0, 0, 0}}, 0},
      // Six levels per channel; 25 is nearer 0, 26 nearer 51.
      {mmTrunc666, {{204, 102, 51}, {51, 51, 51}, {0, 51, 255}, {0, 0, 0}}, 216},
      // Seven red, eight green, four blue levels; red 64 lies midway between 43 and 85 and
      // takes the first.
      {mmTrunc784, {{213, 109, 85}, {43, 73, 85}, {43, 36, 255}, {0, 0, 0}}, 224},
      // Four distinct 4-bit cells: every colour keeps its own box, shown exactly.
      {mmQuantize, px, 4},
      {mmHistogram, px, 0},
  };
  const std::vector<uint8_t> bits = Row(px);
  for (const Case& c : cases) {
    TReducedImage r = ReduceColors(bits.data(), 4, 1, c.method);
    ASSERT_EQ(r.Palette.size(), 256u) << c.method;
    ASSERT_EQ(r.Indices.size(), 4u) << c.method;
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelOf(r, 4, x, 0), c.shown[size_t(x)]) << c.method << " x=" << x;
    EXPECT_EQ(r.ColorsUsed, c.colorsUsed) << c.method;
  }

  // Median cut: colours that share a 4-bit cell share their mean; more than 256 cells still
  // give at most 256 boxes, every pixel in one of them.
  {
    const std::vector<uint8_t> cell = Row({{0, 0, 0}, {2, 4, 6}, {255, 255, 255}, {255, 255, 255}});
    TReducedImage r = ReduceColors(cell.data(), 4, 1, mmQuantize);
    EXPECT_EQ(r.ColorsUsed, 2);
    EXPECT_EQ(PixelOf(r, 4, 0, 0), (Rgb{1, 2, 3}));
    EXPECT_EQ(PixelOf(r, 4, 1, 0), (Rgb{1, 2, 3}));
    EXPECT_EQ(PixelOf(r, 4, 2, 0), (Rgb{255, 255, 255}));
    std::vector<Rgb> many;
    for (int i = 0; i < 4096; ++i)
      many.push_back({uint8_t((i >> 8) << 4), uint8_t(((i >> 4) & 15) << 4), uint8_t((i & 15) << 4)});
    const std::vector<uint8_t> m = Row(many);
    TReducedImage q = ReduceColors(m.data(), 4096, 1, mmQuantize);
    EXPECT_EQ(q.ColorsUsed, 256);
    for (int x = 0; x < 4096; x += 97) {
      Rgb got = PixelOf(q, 4096, x, 0);
      // A box's mean stays within the box, so each channel moves by less than half the range.
      EXPECT_LT(std::abs(int(got.r) - many[size_t(x)].r), 128) << x;
      EXPECT_LT(std::abs(int(got.g) - many[size_t(x)].g), 128) << x;
      EXPECT_LT(std::abs(int(got.b) - many[size_t(x)].b), 128) << x;
    }
  }

  // Tripel: the pixels of a row show red, green and blue in turn, each as a pure ramp entry
  // of 64 steps; 192 entries are ramps, the rest black.
  {
    const std::vector<uint8_t> t = Row({{200, 100, 50}, {200, 100, 50}, {200, 100, 50}});
    TReducedImage r = ReduceColors(t.data(), 3, 1, mmTripel);
    Rgb a = PixelOf(r, 3, 0, 0), b = PixelOf(r, 3, 1, 0), c = PixelOf(r, 3, 2, 0);
    EXPECT_TRUE(a.g == 0 && a.b == 0 && std::abs(a.r - 200) <= 3) << int(a.r);
    EXPECT_TRUE(b.r == 0 && b.b == 0 && std::abs(b.g - 100) <= 3) << int(b.g);
    EXPECT_TRUE(c.r == 0 && c.g == 0 && std::abs(c.b - 50) <= 3) << int(c.b);
    EXPECT_EQ(EntryOf(r, 63), (Rgb{255, 0, 0}));
    EXPECT_EQ(EntryOf(r, 191), (Rgb{0, 0, 255}));
    EXPECT_EQ(EntryOf(r, 192), (Rgb{0, 0, 0}));
  }
}

// The level tables: nearest level, the first of two equally near ones.
TEST(Reduction, TruncationLevelTables) {
  for (int levels : {4, 6, 7, 8}) {
    const uint8_t* t = TruncTable(levels);
    ASSERT_NE(t, nullptr);
    for (int v = 0; v < 256; ++v) {
      int best = 0;
      for (int i = 1; i < levels; ++i)
        if (std::abs(v - TruncLevel(levels, i)) < std::abs(v - TruncLevel(levels, best))) best = i;
      ASSERT_EQ(t[v], best) << levels << " levels, value " << v;
    }
    EXPECT_EQ(TruncLevel(levels, 0), 0);
    EXPECT_EQ(TruncLevel(levels, levels - 1), 255);
  }
  EXPECT_EQ(TruncTable(7)[64], 1);  // 64 - 43 == 85 - 64
  EXPECT_EQ(TruncTable(5), nullptr);
}

// The stream: BMP file header, 40-byte info header, 256 entries, index rows bottom-up,
// padded to 4 bytes; read back it shows the reduced colours in place.
TEST(Reduction, StreamLayoutAndRoundTrip) {
  const std::vector<std::vector<Rgb>> rows = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
                                              {{9, 9, 9}, {9, 9, 9}, {255, 255, 255}}};
  auto bp = Bitmap24(rows);
  TBitmap& b = *bp;
  for (TMappingMethod m : {mmHistogram, mmQuantize, mmTrunc784, mmTrunc666, mmTripel, mmGrayscale}) {
    auto s = BitmapToMemoryStream(b, pf8bit, m);
    ASSERT_EQ(s->Position(), 0) << m;
    const std::string f = s->DataAsString();
    ASSERT_EQ(f.size(), 1078u + 2 * 4) << m;
    EXPECT_EQ(f.substr(0, 2), "BM");
    EXPECT_EQ(Le32(f, 2), f.size());
    EXPECT_EQ(Le32(f, 10), 1078u);
    EXPECT_EQ(Le32(f, 14), 40u);
    EXPECT_EQ(Le32(f, 18), 3u);
    EXPECT_EQ(Le32(f, 22), 2u);
    EXPECT_EQ(f[28], 8);
    EXPECT_EQ(Le32(f, 34), 8u);  // image size
    EXPECT_EQ(Le32(f, 46), m == mmTrunc784 ? 224u : m == mmTrunc666 ? 216u : m == mmQuantize ? 5u : 0u) << m;
    TBitmap back;
    back.LoadFromStream(*s);
    TReducedImage r = ReduceColors(b.Bits(), 3, 2, m);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        Rgb want = PixelOf(r, 3, x, 1 - y);
        EXPECT_EQ(back.GetPixelColor(x, y), RGB(want.r, want.g, want.b)) << m << " " << x << "," << y;
      }
  }
  // The exact methods show the top row's colours in the top row.
  auto s = BitmapToMemoryStream(b, pf8bit, mmHistogram);
  TBitmap back;
  back.LoadFromStream(*s);
  EXPECT_EQ(back.GetPixelColor(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(back.GetPixelColor(2, 1), RGB(255, 255, 255));
}

TEST(Reduction, StreamSpecialCasesAndErrors) {
  // An 8-bit bitmap asked for 8 bits is its own stream; grey still reduces it.
  TBitmap b8(2, 1, pf8bit);
  std::vector<TRGBQuad> pal(256, TRGBQuad{0, 0, 0, 0});
  pal[1] = {0, 0, 255, 0};  // red
  b8.SetPalette(pal);
  b8.ScanLine(0)[0] = 1;
  TMemoryStream own;
  b8.SaveToStream(own);
  EXPECT_EQ(BitmapToMemoryStream(b8, pf8bit, mmHistogram)->DataAsString(), own.DataAsString());
  {
    auto s = BitmapToMemoryStream(b8, pf8bit, mmGrayscale);
    TBitmap g;
    g.LoadFromStream(*s);
    EXPECT_EQ(g.GetPixelColor(0, 0), RGB(76, 76, 76));  // 77 * 255 >> 8
    EXPECT_EQ(g.GetPixelColor(1, 0), RGB(0, 0, 0));
  }
  // 1 and 4 bits come from the bitmap's own conversion.
  {
    auto bwp = Bitmap24({{{0, 0, 0}, {255, 255, 255}}});
    auto s = BitmapToMemoryStream(*bwp, pf1bit, mmHistogram);
    TBitmap back;
    back.LoadFromStream(*s);
    EXPECT_EQ(back.PixelFormat(), pf1bit);
    EXPECT_EQ(back.GetPixelColor(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(back.GetPixelColor(1, 0), RGB(255, 255, 255));
  }
  // A 24-bit target holds the chosen colours as 24-bit pixels.
  {
    auto bp = Bitmap24({{{200, 100, 50}}});
    TBitmap& b = *bp;
    b.SetPixelFormat(pf32bit);
    auto s = BitmapToMemoryStream(b, pf24bit, mmGrayscale);
    TBitmap back;
    back.LoadFromStream(*s);
    EXPECT_EQ(back.PixelFormat(), pf24bit);
    EXPECT_EQ(back.GetPixelColor(0, 0), RGB(124, 124, 124));
  }
  // No pixels.
  try {
    TBitmap empty;
    BitmapToMemoryStream(empty, pf8bit, mmHistogram);
    ADD_FAILURE() << "empty bitmap accepted";
  } catch (const EInvalidGraphic& e) { EXPECT_STREQ(e.what(), "Bitmap image is not valid"); }
  // Formats it cannot make: the message, then a silent abort.
  ScriptedServices services;
  auto bp = Bitmap24({{{1, 2, 3}}});
  TBitmap& b = *bp;
  EXPECT_THROW(BitmapToMemoryStream(b, pf15bit, mmHistogram), EAbort);
  ASSERT_EQ(services.Boxes.size(), 1u);
  EXPECT_EQ(services.Boxes[0].text, "Function not yet implemented");
  EXPECT_EQ(services.Boxes[0].flags, uint32_t(MB_OK | MB_ICONINFORMATION));
}

// The histogram holds 2049 colours; one more coarsens the masks blue, red, green, blue ...
// one bit at a time, each time only as far as needed.
TEST(Reduction, PopularityCoarseningOrder) {
  std::vector<Rgb> base;
  for (int j = 0; j < 2049; ++j) base.push_back(Even(j));
  struct Case {
    const char* name;
    std::vector<Rgb> extra;
    uint8_t r, g, b;
  };
  const Case cases[] = {
      {"2049 distinct", {}, 0xFF, 0xFF, 0xFF},
      {"2050, one differs in blue's last bit", {{0, 0, 1}}, 0xFF, 0xFF, 0xFE},
      {"2050, one differs in red's last bit", {{1, 0, 0}}, 0xFE, 0xFF, 0xFE},
      {"2050, one differs in green's last bit", {{0, 1, 0}}, 0xFE, 0xFE, 0xFE},
  };
  for (const Case& c : cases) {
    std::vector<Rgb> px = base;
    px.insert(px.end(), c.extra.begin(), c.extra.end());
    const std::vector<uint8_t> bits = Row(px);
    uint8_t r = 0, g = 0, b = 0;
    PopularityMasks(bits.data(), int(px.size()), 1, r, g, b);
    EXPECT_EQ(int(r), c.r) << c.name;
    EXPECT_EQ(int(g), c.g) << c.name;
    EXPECT_EQ(int(b), c.b) << c.name;
  }

  // 3000 colours with every channel odd or even: blue goes first, then red, then green.
  {
    std::vector<Rgb> px;
    for (int j = 0; j < 3000; ++j) px.push_back({uint8_t(j & 15), uint8_t((j >> 4) & 15), uint8_t(j >> 8)});
    const std::vector<uint8_t> bits = Row(px);
    uint8_t r = 0, g = 0, b = 0;
    PopularityMasks(bits.data(), 3000, 1, r, g, b);
    // 16 x 16 x 12 colours: blue 0xFE leaves 16 x 16 x 6 = 1536.
    EXPECT_EQ(int(r), 0xFF);
    EXPECT_EQ(int(g), 0xFF);
    EXPECT_EQ(int(b), 0xFE);
  }
  // 32 levels per channel: 32768, 16384, 8192, 4096 colours, then blue again gives 2048.
  {
    std::vector<Rgb> px;
    for (int j = 0; j < 32768; ++j) px.push_back({uint8_t(j & 31), uint8_t((j >> 5) & 31), uint8_t(j >> 10)});
    const std::vector<uint8_t> bits = Bits24({px});
    uint8_t r = 0, g = 0, b = 0;
    PopularityMasks(bits.data(), 32768, 1, r, g, b);
    EXPECT_EQ(int(r), 0xFE);
    EXPECT_EQ(int(g), 0xFE);
    EXPECT_EQ(int(b), 0xFC);
    // The reduction itself: the palette holds masked colours, and each pixel takes the
    // nearest entry to its masked colour (the lowest index on a tie).
    std::vector<TRGBQuad> pal;
    std::vector<uint8_t> idx;
    ReduceByPopularity(bits.data(), 32768, 1, 256, pal, idx);
    for (int x = 0; x < 32768; x += 37) {
      const Rgb m = {uint8_t(px[size_t(x)].r & 0xFE), uint8_t(px[size_t(x)].g & 0xFE),
                     uint8_t(px[size_t(x)].b & 0xFC)};
      int best = 0, bestD = INT32_MAX;
      for (int i = 0; i < 256; ++i) {
        int dr = m.r - pal[size_t(i)].rgbRed, dg = m.g - pal[size_t(i)].rgbGreen,
            db = m.b - pal[size_t(i)].rgbBlue;
        if (dr * dr + dg * dg + db * db < bestD) bestD = dr * dr + dg * dg + db * db, best = i;
      }
      ASSERT_EQ(idx[size_t(x)], best) << x;
      const TRGBQuad& q = pal[idx[size_t(x)]];
      EXPECT_EQ(q.rgbBlue & 3, 0) << x;  // palette colours are masked colours
    }
  }
}

// With more colours than entries, the palette holds the most frequent ones and every other
// colour maps to its nearest entry, the lowest index on a tie.
TEST(Reduction, NearestColourMapping) {
  // 2049 colours met once: the first 256 met fill the palette in order.
  std::vector<Rgb> px;
  for (int j = 0; j < 2049; ++j) px.push_back(Even(j * 13 % 2049));
  const std::vector<uint8_t> bits = Row(px);
  std::vector<TRGBQuad> pal;
  std::vector<uint8_t> idx;
  ReduceByPopularity(bits.data(), 2049, 1, 256, pal, idx);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(idx[size_t(i)], i) << i;
  for (int x = 256; x < 2049; ++x) {
    const Rgb c = px[size_t(x)];
    int best = 0, bestD = INT32_MAX;
    for (int i = 0; i < 256; ++i) {
      int dr = c.r - pal[size_t(i)].rgbRed, dg = c.g - pal[size_t(i)].rgbGreen,
          db = c.b - pal[size_t(i)].rgbBlue;
      int d = dr * dr + dg * dg + db * db;
      if (d < bestD) bestD = d, best = i;
    }
    ASSERT_EQ(idx[size_t(x)], best) << x;
  }

  // Ties: a colour midway between two entries takes the lower palette index, whichever of
  // the two was met first.
  for (bool laterMoreFrequent : {false, true}) {
    std::vector<Rgb> t;
    for (int i = 0; i < 256; ++i) {
      Rgb c = {uint8_t(i), 0, 200};
      int n = 2;
      if (i == 3) c = {110, 100, 100};
      if (i == 7) {
        c = {100, 100, 100};
        if (laterMoreFrequent) n = 3;
      }
      for (int k = 0; k < n; ++k) t.push_back(c);
    }
    t.push_back({105, 100, 100});  // met once: not in the palette
    const std::vector<uint8_t> tb = Row(t);
    const int w = int(t.size());
    ReduceByPopularity(tb.data(), w, 1, 256, pal, idx);
    const int a = laterMoreFrequent ? 4 : 3, b = laterMoreFrequent ? 0 : 7;
    ASSERT_EQ(pal[size_t(a)], (TRGBQuad{100, 100, 110, 0})) << laterMoreFrequent;
    ASSERT_EQ(pal[size_t(b)], (TRGBQuad{100, 100, 100, 0})) << laterMoreFrequent;
    EXPECT_EQ(idx[size_t(w - 1)], std::min(a, b)) << laterMoreFrequent;
  }
}
