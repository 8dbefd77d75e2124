// The button renderer: frames, shapes, textures, pictures, text and antialiasing.
#include "engine/XRender.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <map>

#include "engine/XBlend.h"
#include "engine/XBlit.h"
#include "engine/XImageCache.h"
#include "engine/XZLMButton.h"
#include "tests/support/PixelMap.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

uint32_t Px(const TBitmap& b, int x, int y) {
  uint32_t v;
  std::memcpy(&v, b.ScanLine(y) + 4 * x, 4);
  return v;
}

void SetPx(TBitmap& b, int x, int y, uint32_t v) { std::memcpy(b.ScanLine(y) + 4 * x, &v, 4); }

// A texture held by a cache entry that counts as loaded, pixels row by row from the top.
XImageCacheObject* MakeTexture(XImageCache& cache, const std::string& name, int w, int h,
                               const std::vector<uint32_t>& pixels) {
  XImageCacheObject* e = cache.GetEntry(name);
  e->Image->SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPx(*e->Image, x, y, pixels[size_t(y * w + x)]);
  e->Loaded = true;
  return e;
}

// A page of one colour with a scene over it; objects have no caption and frame kind 0
// unless a test says otherwise.
struct Page {
  static constexpr uint32_t kBack = 0xFF204060;
  ZButtonList scene;
  TBitmap bitmap;
  TRegionList region = nullptr;
  XImageCache cache;

  Page(int w, int h) : bitmap(w, h, pf32bit) {
    ImageFill(bitmap, bitmap, kBack);
    RegionSet(region, 0, 0, w, h);
  }
  ~Page() { RegionClear(region); }
  TZLMButton& Add(const TRect& bounds, int shape = 0) {
    auto* o = new TZLMButton("", &scene, bounds, "");
    o->Style->Shape = int8_t(shape);
    return *o;
  }
  void Render(TZLMButton& o) { RenderButton(o, bitmap, region); }
  std::vector<uint32_t> Pixels(const TRect& r) const {
    std::vector<uint32_t> v;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) v.push_back(Px(bitmap, x, y));
    return v;
  }
  // The object's pixels as a string of legend characters, '.' for the page colour.
  std::string Map(const TRect& r, const std::map<uint32_t, char>& legend) const {
    std::string s;
    for (int y = r.Top; y < r.Bottom; ++y) {
      for (int x = r.Left; x < r.Right; ++x) {
        uint32_t v = Px(bitmap, x, y);
        auto it = legend.find(v);
        s += v == kBack ? '.' : it == legend.end() ? '?' : it->second;
      }
      s += '\n';
    }
    return s;
  }
};

const uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, W = 0xFFFFFFFF, K = 0xFF000000;
const std::map<uint32_t, char> kLegend{{R, 'r'}, {G, 'g'}, {B, 'b'}, {W, 'w'}, {K, 'k'}};

TEST(RenderButton, StretchedTiledAndCentredTexturesOnFrameKindZero) {
  struct Case {
    const char* name;
    int mode, tw, th;
    std::vector<uint32_t> tex;
    TRect bounds;
    std::string expected;
  };
  const std::vector<uint32_t> rgbw{R, G, B, W};
  const Case cases[] = {
      {"stretched 2x2 to 4x4", 1, 2, 2, rgbw, Rect(1, 1, 5, 5),
       Lines({"......", ".rrgg.", ".rrgg.", ".bbww.", ".bbww.", "......"})},
      {"tiled, cut at the right and bottom",
       2,
       3,
       2,
       {R, G, B, W, K, R},
       Rect(0, 1, 7, 4),
       Lines({".......", "rgbrgbr", "wkrwkrw", "rgbrgbr", ".......", "......."})},
      {"centred, page around it", 3, 2, 2, rgbw, Rect(0, 0, 6, 5),
       Lines({"......", "..rg..", "..bw..", "......", "......", "......"})},
      {"centred, larger than the object",
       3,
       3,
       3,
       {R, G, B, W, K, R, G, B, W},
       Rect(1, 1, 2, 2),
       Lines({"......", ".k....", "......", "......", "......", "......"})},
      {"mode outside 1 to 5 stretches", 9, 2, 2, rgbw, Rect(1, 1, 5, 5),
       Lines({"......", ".rrgg.", ".rrgg.", ".bbww.", ".bbww.", "......"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Page p(c.name[1] == 'i' ? 7 : 6, 6);
    TZLMButton& o = p.Add(c.bounds, 0);
    o.Style->Texture = MakeTexture(p.cache, c.name, c.tw, c.th, c.tex);
    o.Style->TextureMode = c.mode;
    p.Render(o);
    EXPECT_EQ(p.Map(Rect(0, 0, p.bitmap.Width(), 6), kLegend), c.expected);
    EXPECT_FALSE(o.Changed);
  }
}

TEST(RenderButton, TransparentTiledTextureLetsThePageThrough) {
  Page p(4, 2);
  TZLMButton& o = p.Add(Rect(0, 0, 4, 2), 0);
  XImageCacheObject* t = MakeTexture(p.cache, "t", 2, 1, {R, K});
  t->Image->SetTransparent(true);  // the bottom-left pixel, red, is the key
  o.Style->Texture = t;
  o.Style->TextureMode = 2;
  p.Render(o);
  EXPECT_EQ(p.Map(Rect(0, 0, 4, 2), kLegend), Lines({".k.k", ".k.k"}));
}

// A picture whose file carries alpha is drawn over the page by its alpha, whatever the
// layout, and also when the style is transparent.
XImageCacheObject* MakeAlphaTexture(XImageCache& cache, const std::string& name, int w, int h,
                                    const std::vector<uint32_t>& pixels) {
  XImageCacheObject* e = MakeTexture(cache, name, w, h, pixels);
  e->Image->AlphaChannel = true;
  return e;
}

// The page colour with c over it at alpha a, per channel, as 0xAARRGGBB.
uint32_t Over(uint32_t page, uint32_t c, int a) {
  uint32_t out = page & 0xFF000000u;
  for (int s = 0; s < 24; s += 8) {
    int d = int(page >> s & 0xFF), v = int(c >> s & 0xFF);
    out |= uint32_t((d * (255 - a) + v * a + 127) / 255) << s;
  }
  return out;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int s = 0; s < 24; s += 8)
    if (std::abs(int(a >> s & 0xFF) - int(b >> s & 0xFF)) > tolerance) return false;
  return true;
}

// A picture with alpha lets the page through by its alpha in every layout; with a transparent
// style, as every picture, it is not drawn.
TEST(RenderButton, AlphaPicturesShowThePageThroughInEveryLayout) {
  struct {
    const char* what;
    uint32_t pixel;  // every pixel of the 2 x 2 picture
    uint32_t expected;
  } pictures[] = {
      {"transparent black", 0x00000000, Page::kBack},
      {"transparent white", 0x00FFFFFF, Page::kBack},
      {"half white", 0x80FFFFFF, Over(Page::kBack, 0xFFFFFFFF, 0x80)},
      {"opaque red", R, R},
  };
  for (const auto& pic : pictures)
    for (int mode = 1; mode <= 5; ++mode)
      for (bool transparentStyle : {false, true}) {
        SCOPED_TRACE(std::string(pic.what) + ", mode " + std::to_string(mode) +
                     (transparentStyle ? ", transparent style" : ""));
        Page p(6, 5);
        TZLMButton& o = p.Add(Rect(1, 1, 5, 4), 0);
        o.Style->Texture = MakeAlphaTexture(p.cache, "a", 2, 2, std::vector<uint32_t>(4, pic.pixel));
        o.Style->TextureMode = mode;
        o.Style->IsTransparent = transparentStyle;
        p.Render(o);
        for (int y = 0; y < 5; ++y)
          for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 1 && x < 5 && y >= 1 && y < 4;
            // The centred picture covers the middle 2 x 2 of the object only; a transparent
            // style draws no picture at all, the page shows through the whole object.
            const bool covered =
                !transparentStyle && inside && (mode != 3 || (x >= 2 && x < 4 && y >= 1 && y < 3));
            const uint32_t want = covered ? pic.expected : Page::kBack;
            // The bilinear blits weigh through the 8-bit tables twice, which loses up to two
            // steps between equal neighbours other than 0 and 255.
            EXPECT_TRUE(Near(Px(p.bitmap, x, y), want, mode >= 4 ? 3 : 1))
                << x << "," << y << ": " << std::hex << Px(p.bitmap, x, y) << " for " << want;
          }
      }
}

// The bilinear layouts of a picture with alpha computed the first way: the whole texture
// weighted by its alpha into two pictures of its size, both laid out over the whole object
// w x h, then divided. Into out (w x h).
void WholeTextureAlphaLayout(XImage& tex, int mode, int w, int h, XImage& out) {
  const int tw = tex.Width(), th = tex.Height();
  XImage weighted, coverage, cov;
  weighted.SetSize(tw, th);
  coverage.SetSize(tw, th);
  for (int y = 0; y < th; ++y)
    for (int x = 0; x < tw; ++x) {
      const uint32_t s = Px(tex, x, y), a = s >> 24;
      uint32_t v = 0xFF000000u;
      for (int k = 0; k < 24; k += 8) v |= ((s >> k & 0xFF) * a + 127) / 255 << k;
      SetPx(weighted, x, y, v);
      SetPx(coverage, x, y, 0xFF000000u | a * 0x010101u);
    }
  auto lay = [&](XImage& d, XImage& src) {
    auto blit = [&](int x1, int y1, int x2, int y2, int sx1, int sy1, int sx2, int sy2) {
      BlitGraphic(d, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, 255, nullptr, nullptr,
                  BlitBilinear | BlitSkipKey);
    };
    if (mode == 4) {
      blit(0, 0, w, h, 0, 0, tw, th);
      return;
    }
    const int hw = tw >> 1, hh = th >> 1;
    blit(0, 0, hw, hh, 0, 0, hw, hh);
    blit(w - hw, 0, w, hh, tw - hw, 0, tw, hh);
    blit(w - hw, h - hh, w, h, tw - hw, th - hh, tw, th);
    blit(0, h - hh, hw, h, 0, th - hh, hw, th);
    blit(0, 0, hw, hh, 0, 0, hw, hh);
    blit(hw, hh, w - hw, h - hh, hw - 1, hh - 1, hw + 1, hh + 1);
    blit(0, hh, hw, h - hh, 0, hh - 1, hw, hh + 1);
    blit(w - hw, hh, w, h - hh, tw - hw, hh - 1, tw, hh + 1);
    blit(hw, 0, w - hw, hh, hw - 1, 0, hw + 1, hh);
    blit(hw, h - hh, w - hw, h, hw - 1, th - hh, hw + 1, th);
  };
  out.SetSize(w, h);
  cov.SetSize(w, h);
  ImageFill(out, out, 0);
  ImageFill(cov, cov, 0);
  lay(out, weighted);
  lay(cov, coverage);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t t = Px(out, x, y), a = Px(cov, x, y) & 0xFF;
      uint32_t v = a << 24;
      for (int k = 0; a && k < 24; k += 8)
        v |= std::min<uint32_t>(255, ((t >> k & 0xFF) * 255 + a / 2) / a) << k;
      SetPx(out, x, y, v);
    }
}

// The bilinear layouts of a picture with alpha weigh only the texture pixels that the drawn
// part samples, and draw exactly what weighing the whole texture drew: textures larger and
// smaller than their object, of odd sizes, with holes of alpha 0, objects off the page on
// every side, redraws of a few small rectangles.
TEST(RenderButton, BilinearAlphaLayoutsOfAPartDrawWhatTheWholeTextureDraws) {
  struct Case {
    const char* what;
    int mode, tw, th;
    TRect bounds;
    std::vector<TRect> dirty;  // none: the whole page
  } cases[] = {
      {"stretched up, odd sizes", 4, 37, 23, Rect(3, 2, 64, 47), {}},
      {"stretched down", 4, 101, 77, Rect(5, 4, 35, 21), {}},
      {"stretched, off the page to the left and top", 4, 29, 31, Rect(-20, -13, 50, 40), {}},
      {"stretched, off the page to the right and bottom", 4, 17, 9, Rect(41, 33, 112, 86), {}},
      {"stretched, redrawn in three rectangles",
       4,
       45,
       39,
       Rect(-7, 3, 70, 58),
       {Rect(0, 4, 9, 11), Rect(30, 20, 31, 59), Rect(50, 50, 80, 60)}},
      {"stretched from one pixel", 4, 1, 1, Rect(2, 2, 9, 7), {}},
      {"stretched from one row", 4, 13, 1, Rect(2, 2, 29, 15), {}},
      {"skin larger than its texture", 5, 33, 29, Rect(4, 3, 74, 53), {}},
      {"skin smaller than its texture: the slices overlap", 5, 64, 48, Rect(9, 7, 30, 26), {}},
      {"skin of a texture one pixel wide", 5, 1, 7, Rect(1, 1, 20, 30), {}},
      {"skin of odd halves, off the page on every side", 5, 27, 19, Rect(-30, -25, 110, 90), {}},
      {"skin, redrawn in small rectangles",
       5,
       41,
       35,
       Rect(2, -9, 77, 55),
       {Rect(0, 0, 5, 5), Rect(38, 20, 44, 27), Rect(60, 40, 80, 60), Rect(10, 50, 11, 51)}},
      {"skin, off the page to the right and bottom, redrawn at a corner",
       5,
       52,
       50,
       Rect(61, 47, 150, 130),
       {Rect(65, 50, 80, 60)}},
  };
  const int pw = 80, ph = 60;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Page p(pw, ph);
    uint32_t seed = uint32_t(k.tw * 131 + k.th);
    auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int y = 0; y < ph; ++y)
      for (int x = 0; x < pw; ++x) SetPx(p.bitmap, x, y, (next() & 0xFFFFFF) | 0xFF000000u);
    std::vector<uint32_t> pixels(size_t(k.tw * k.th));
    for (uint32_t& v : pixels) {
      const uint32_t r = next(), pick = r % 4;
      const uint32_t a = pick == 0 ? 0 : pick == 1 ? 255 : (r >> 4) & 0xFF;
      v = a << 24 | (next() & 0xFFFFFF);
    }
    TZLMButton& o = p.Add(k.bounds, 0);
    o.Style->Texture = MakeAlphaTexture(p.cache, "t", k.tw, k.th, pixels);
    o.Style->TextureMode = k.mode;
    const int w = k.bounds.Right - k.bounds.Left, h = k.bounds.Bottom - k.bounds.Top;
    XImage laid;
    WholeTextureAlphaLayout(*o.Style->Texture->Image, k.mode, w, h, laid);
    TBitmap expected(pw, ph, pf32bit);
    std::memcpy(expected.Bits(), p.bitmap.Bits(), size_t(expected.ImageSize()));
    std::vector<TRect> dirty = k.dirty.empty() ? std::vector<TRect>{Rect(0, 0, pw, ph)} : k.dirty;
    TRegionList region = nullptr;
    for (const TRect& d : dirty) {
      RegionAdd(region, d.Left, d.Top, d.Right, d.Bottom);
      BlitGraphic(expected, k.bounds.Left, k.bounds.Top, k.bounds.Right, k.bounds.Bottom, laid, 0, 0, w, h,
                  255, &d, nullptr, 0);
    }
    RenderButton(o, p.bitmap, region);
    RegionClear(region);
    int differ = 0;
    for (int y = 0; y < ph; ++y)
      for (int x = 0; x < pw; ++x)
        if (Px(p.bitmap, x, y) != Px(expected, x, y) && differ++ < 5)
          ADD_FAILURE() << x << "," << y << ": " << std::hex << Px(p.bitmap, x, y) << " for "
                        << Px(expected, x, y);
    EXPECT_EQ(differ, 0);
  }
}

TEST(RenderButton, AlphaPicturesMixTheirPixelsExactly) {
  // Opaque red, transparent, half green, opaque blue: stretched 2x.
  Page p(6, 6);
  TZLMButton& o = p.Add(Rect(1, 1, 5, 5), 0);
  o.Style->Texture = MakeAlphaTexture(p.cache, "a", 2, 2, {R, 0x00FF00FF, 0x8000FF00, B});
  o.Style->TextureMode = 1;
  p.Render(o);
  // The half green pixels as the blend tables mix them, within one step of exact.
  const uint32_t half = Px(p.bitmap, 1, 3);
  EXPECT_TRUE(Near(half, Over(Page::kBack, G, 0x80), 1)) << std::hex << half;
  EXPECT_EQ(p.Map(Rect(0, 0, 6, 6), {{R, 'r'}, {B, 'b'}, {half, 'h'}}),
            Lines({"......", ".rr...", ".rr...", ".hhbb.", ".hhbb.", "......"}));
}

// Interpolated between an opaque and a transparent pixel, the colour stays the picture's:
// the page shows through more and more, never a dark fringe from the transparent pixels'
// colour.
TEST(RenderButton, BilinearAlphaPicturesHaveNoDarkFringe) {
  for (int mode : {4, 5}) {
    SCOPED_TRACE(mode);
    Page p(16, 4);
    TZLMButton& o = p.Add(Rect(0, 0, 16, 4), 0);
    o.Style->Texture = MakeAlphaTexture(p.cache, "a", 2, 2, {R, 0x00000000, R, 0x00000000});
    o.Style->TextureMode = mode;
    p.Render(o);
    int mixed = 0;
    for (int x = 0; x < 16; ++x) {
      const uint32_t v = Px(p.bitmap, x, 1);
      // How much red lies over the page, read from the red channel, which changes most.
      const int a = ((int(v >> 16 & 0xFF) - 0x20) * 255 + 111) / (255 - 0x20);
      mixed += a > 8 && a < 247;
      EXPECT_TRUE(Near(v, Over(Page::kBack, R, std::clamp(a, 0, 255)), 3)) << x << ": " << std::hex << v;
    }
    if (mode == 4) EXPECT_GT(mixed, 4) << "no pixel was interpolated";
  }
}

// Pictures without alpha keep the key-colour rule exactly: alpha bytes in their pixels (a
// metafile leaves its background at 0) do not make them see-through, and a transparent style
// hides them.
TEST(RenderButton, PicturesWithoutAlphaKeepTheKeyColourRule) {
  Page p(4, 1);
  TZLMButton& o = p.Add(Rect(0, 0, 4, 1), 0);
  o.Style->Texture = MakeTexture(p.cache, "t", 4, 1, {0x00FF0000, 0x00000000, R, K});
  o.Style->TextureMode = 1;
  p.Render(o);
  EXPECT_EQ(p.Pixels(Rect(0, 0, 4, 1)), (std::vector<uint32_t>{0x00FF0000, 0x00000000, R, K}));
  o.Style->IsTransparent = true;
  ImageFill(p.bitmap, p.bitmap, Page::kBack);
  p.Render(o);
  EXPECT_EQ(p.Map(Rect(0, 0, 4, 1), kLegend), "....\n");
}

// A PNG logo with transparency, from its file: the page shows where the logo is transparent.
TEST(RenderButton, ATransparentPngLogoFromItsFile) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  const std::string f = dir.File("logo.png");
  ShellOutput(
      "convert -size 3x1 xc:none -fill red -draw 'point 0,0' -fill '#0000FF80' -draw 'point 2,0' png32:" + f);
  Page p(5, 3);
  TZLMButton& o = p.Add(Rect(1, 1, 4, 2), 0);
  o.Style->Texture = p.cache.GetEntry(f);
  o.Style->TextureMode = 1;
  p.Render(o);
  EXPECT_EQ(Px(p.bitmap, 1, 1) | 0xFF000000u, R);
  EXPECT_EQ(Px(p.bitmap, 2, 1), Page::kBack);
  EXPECT_TRUE(Near(Px(p.bitmap, 3, 1), Over(Page::kBack, B, 0x80), 1)) << std::hex << Px(p.bitmap, 3, 1);
}

TEST(RenderButton, NineSliceStretchesTheMiddleStripsBilinearly) {
  // Quadrants of full channels: bilinear mixing of equal neighbours is exact for 0 and 255.
  Page p(8, 6);
  TZLMButton& o = p.Add(Rect(0, 0, 8, 6), 0);
  o.Style->Texture = MakeTexture(p.cache, "skin", 4, 4, {R, R, G, G, R, R, G, G, B, B, W, W, B, B, W, W});
  o.Style->TextureMode = 5;
  p.Render(o);
  struct {
    int x, y;
    uint32_t v;
  } expect[] = {
      {0, 0, R},          {7, 0, G},          {0, 5, B},          {7, 5, W},  // corners
      {0, 2, R},          {0, 3, 0xFF7F0080},                      // left edge: red, then halfway to blue
      {7, 2, G},          {7, 3, 0xFF80FF80},                      // right edge: green, then towards white
      {3, 0, 0xFFBF4000}, {4, 0, 0xFF7F8000},                      // top edge: red towards green
      {2, 2, R},          {4, 2, 0xFF7F8000}, {2, 3, 0xFF7F0080},  // centre
  };
  for (auto& e : expect) EXPECT_EQ(Px(p.bitmap, e.x, e.y), e.v) << e.x << "," << e.y;
}

TEST(RenderButton, BilinearBlackNeverPunchesHoles) {
  Page p(6, 4);
  // A centred layout leaves the texture image full of key pixels; a bilinear black texture
  // of the same size drawn next must still cover the whole object.
  TZLMButton& first = p.Add(Rect(0, 0, 6, 4), 0);
  first.Style->Texture = MakeTexture(p.cache, "dot", 1, 1, {W});
  first.Style->TextureMode = 3;
  p.Render(first);
  for (int mode : {4, 5}) {
    SCOPED_TRACE(mode);
    TZLMButton& o = p.Add(Rect(0, 0, 6, 4), 0);
    o.Style->Texture = MakeTexture(p.cache, "black", 2, 2, {K, K, K, K});
    o.Style->TextureMode = mode;
    p.Render(o);
    EXPECT_EQ(p.Map(Rect(0, 0, 6, 4), kLegend), Lines({"kkkkkk", "kkkkkk", "kkkkkk", "kkkkkk"}));
    p.Render(first);
  }
  // A transparent texture keeps its hole where its key is sampled, and its black elsewhere.
  TZLMButton& o = p.Add(Rect(0, 0, 2, 2), 0);
  XImageCacheObject* t = MakeTexture(p.cache, "keyed", 3, 3, {R, K, K, K, K, K, K, K, K});
  t->Image->SetTransparent(true);
  t->Image->SetTransparentColor(0x0000FF);  // red
  o.Style->Texture = t;
  o.Style->TextureMode = 4;
  ImageFill(p.bitmap, p.bitmap, Page::kBack);
  p.Render(o);
  EXPECT_EQ(p.Map(Rect(0, 0, 2, 2), kLegend), Lines({".k", "kk"}));
}

TEST(RenderButton, TransparentStyleDrawsOutlineOnlyOverThePage) {
  Page p(8, 6);
  TZLMButton& o = p.Add(Rect(1, 1, 7, 5), 4);
  o.Style->IsTransparent = true;
  o.Style->PenWidth = 1;
  o.Style->Color5 = 0x0000FF;  // red
  o.Style->Texture = MakeTexture(p.cache, "t", 1, 1, {G});
  p.Render(o);
  // Shape 4 on a 6 x 4 object with a 1-pixel pen: the box's edge pixels, no fill, no texture.
  EXPECT_EQ(PixelMap(p.bitmap, {{0x00FF0000, 'r'}, {Page::kBack, '.'}}),
            Lines({"........", ".rrrrrr.", ".r....r.", ".r....r.", ".rrrrrr.", "........"}));
}

TEST(RenderButton, OnlyTheDirtyRectanglesChange) {
  Page p(10, 4);
  RegionClear(p.region);
  RegionAdd(p.region, 0, 0, 3, 4);
  RegionAdd(p.region, 7, 1, 9, 3);
  TZLMButton& o = p.Add(Rect(1, 0, 10, 4), 0);
  o.Style->Color0 = 0x00FF00;  // green face, alpha 0 as the canvas fills
  p.Render(o);
  EXPECT_EQ(p.Map(Rect(0, 0, 10, 4), {{0x0000FF00, 'g'}}),
            Lines({".gg.......", ".gg....gg.", ".gg....gg.", ".gg......."}));
}

TEST(RenderButton, MaskIsTheOutlineInExactZeroOnWhite) {
  Page p(12, 10);
  TZLMButton& o = p.Add(Rect(0, 0, 12, 10), 6);
  o.Style->Texture = MakeTexture(p.cache, "t", 1, 1, {G});
  o.Style->PenWidth = 0;
  p.Render(o);
  const XImage& m = MaskImage();
  ASSERT_EQ(m.Width(), 12);
  int zeros = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      uint32_t v = Px(m, x, y);
      ASSERT_TRUE(v == 0 || v == 0x00FFFFFF) << x << "," << y << " " << std::hex << v;
      zeros += v == 0;
      // Inside the outline the texture, outside the page; shape 6 itself is clear.
      EXPECT_EQ(Px(p.bitmap, x, y), v == 0 ? G : Page::kBack) << x << "," << y;
    }
  EXPECT_GT(zeros, 40);
  EXPECT_EQ(Px(m, 6, 5), 0u);
  EXPECT_EQ(Px(m, 0, 0), 0x00FFFFFFu);

  // Frame kind 0 is not shrunk: the texture covers the whole object.
  TZLMButton& f = p.Add(Rect(0, 0, 12, 10), 0);
  f.Style->Texture = o.Style->Texture;
  p.Render(f);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) ASSERT_EQ(Px(MaskImage(), x, y), 0u);
}

TEST(RenderButton, AntialiasingLeavesTheStyleAsItWas) {
  Page p(80, 40);
  TZLMButton& o = p.Add(Rect(2, 2, 78, 38), 5);
  o.Text = "Hello";
  ZStyle& s = *o.Style;
  s.IsAntialiased = true;
  s.Font->SetHeight(-14);
  s.PenWidth = 3;
  s.CurveSize = 11;
  s.Texture = MakeTexture(p.cache, "t", 2, 2, {R, G, B, W});
  s.TextureMode = 4;
  auto snapshot = [&] {
    return std::make_tuple(s.Font->Height(), s.Font->Name, s.Font->Color, s.Font->Style, s.PenWidth,
                           s.CurveSize, s.IsTransparent, s.IsAntialiased, s.Alignment, s.Shape, s.TextureMode,
                           s.Color0, s.Color1, s.Color2, s.Color3, s.Color4, s.Color5);
  };
  auto before = snapshot();
  for (int i = 0; i < 3; ++i) p.Render(o);
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(s.Font->Height(), -14);
}

TEST(RenderButton, AntialiasedBackgroundLosesItsLowBits) {
  Page p(20, 20);
  ImageFill(p.bitmap, p.bitmap, 0xFF7F7F7F);
  TZLMButton& o = p.Add(Rect(0, 0, 20, 20), 6);
  o.Style->IsTransparent = true;
  o.Style->IsAntialiased = true;
  p.Render(o);
  // Four equal pixels, each masked to 0xFC per byte; the alpha loses its carry.
  EXPECT_EQ(Px(p.bitmap, 0, 0), 0x3C7C7C7Cu);
  EXPECT_EQ(Px(p.bitmap, 19, 19), 0x3C7C7C7Cu);
}

TEST(RenderButton, CaptionSetsTextFilledUnlessHidden) {
  Page p(60, 60);
  TZLMButton& o = p.Add(Rect(0, 0, 60, 8), 1);
  o.Text = "A caption";
  o.Style->Font->SetHeight(-14);
  p.Render(o);
  EXPECT_TRUE(o.TextFilled);  // the line is taller than 8 pixels
  o.Bounds = Rect(0, 0, 60, 60);
  o.HideText = true;
  p.Render(o);
  EXPECT_TRUE(o.TextFilled);  // hidden: the old value stays
  // ... and nothing of the caption is drawn, also antialiased.
  for (bool aa : {false, true}) {
    o.Style->IsAntialiased = aa;
    p.Render(o);
    std::vector<uint32_t> hidden = p.Pixels(o.Bounds);
    o.HideText = false;
    p.Render(o);
    EXPECT_NE(p.Pixels(o.Bounds), hidden) << aa;
    std::string blank = o.Text;
    o.Text = "";
    p.Render(o);
    EXPECT_EQ(p.Pixels(o.Bounds), hidden) << aa;
    o.Text = blank;
    o.HideText = true;
  }
  o.Style->IsAntialiased = false;
  o.HideText = false;
  p.Render(o);
  EXPECT_FALSE(o.TextFilled);
}

TEST(RenderButton, EmptyAndUnreadableTexturesAreNoTexture) {
  ScriptedServices services;
  Page p(6, 4);
  TZLMButton& o = p.Add(Rect(0, 0, 6, 4), 0);
  o.Style->Color0 = 0x0000FF;
  XImageCacheObject* empty = p.cache.GetEntry("empty");
  empty->Loaded = true;  // loaded, but 0 x 0
  o.Style->Texture = empty;
  for (int mode = 0; mode <= 6; ++mode) {
    o.Style->TextureMode = mode;
    auto start = std::chrono::steady_clock::now();
    p.Render(o);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(Px(p.bitmap, 3, 2), 0x00FF0000u) << mode;  // filled with the face colour
  }

  o.Style->Texture = p.cache.GetEntry("/nonexistent/texture.bmp");
  o.Style->TextureMode = 2;
  for (int i = 0; i < 3; ++i) {
    RenderScene(p.scene, p.bitmap, p.region);
    EXPECT_EQ(Px(p.bitmap, 3, 2), 0x00FF0000u);
  }
  ASSERT_EQ(services.Boxes.size(), 1u);
  EXPECT_NE(services.Boxes[0].text.find("/nonexistent/texture.bmp"), std::string::npos);
  EXPECT_TRUE(TakeTextureFailures().empty());
}

TEST(RenderButton, DegenerateAndOversizedObjects) {
  Page p(6, 4);
  for (TRect r : {Rect(2, 2, 2, 4), Rect(4, 3, 1, 1), Rect(0, 0, 6, -5)}) {
    TZLMButton& o = p.Add(r, 1);
    p.Render(o);
    EXPECT_FALSE(o.Changed);
  }
  EXPECT_EQ(p.Map(Rect(0, 0, 6, 4), {}), Lines({"......", "......", "......", "......"}));
  // Far larger than any object may be: drawn cut to the bound, and only the part on the page
  // is composed.
  TZLMButton& big = p.Add(Rect(-10, 0, 1000000, 3), 0);
  big.Style->Color0 = 0x00FF00;
  big.Style->IsAntialiased = true;
  p.Render(big);
  EXPECT_LE(ObjectImage().Width(), 6);
  EXPECT_LE(ObjectImage().Height(), 4);
  EXPECT_EQ(Px(p.bitmap, 5, 1), 0x0000FF00u);  // too wide to double: drawn plain
  EXPECT_EQ(Px(p.bitmap, 5, 3), Page::kBack);

  // Larger than the largest page: cut at the bottom to the pixel bound (wide enough that the
  // pixel bound, not the side, cuts it).
  EXPECT_LT(kMaxRenderPixels / 5000, kMaxRenderSide);
  const int cut = int(kMaxRenderPixels / 5000);
  EXPECT_GE(cut, MaxPageSide);
  Page strip(3, cut + 10);
  TZLMButton& tall = strip.Add(Rect(-100, 0, 4900, 30000), 0);
  tall.Style->Color0 = 0x00FF00;
  strip.Render(tall);
  EXPECT_EQ(Px(strip.bitmap, 2, cut - 1), 0x0000FF00u);
  EXPECT_EQ(Px(strip.bitmap, 2, cut), Page::kBack);
  EXPECT_EQ(ObjectImage().Width(), 3);

  // The double image grows with each antialiased object, but a wide one after a tall one
  // does not make it the square of both.
  Page square(3000, 3000);
  for (TRect r : {Rect(0, 0, 3000, 2), Rect(0, 0, 2, 3000)}) {
    TZLMButton& o = square.Add(r, 0);
    o.Style->IsAntialiased = true;
    square.Render(o);
  }
  EXPECT_LE(int64_t(DoubleImage().Width()) * DoubleImage().Height(), kMaxDoublePixels);
  EXPECT_GE(DoubleImage().Height(), 6000);
}

// A page of ordinary objects, many of them partly off the page on some side: every style
// feature that is laid out over the whole object (frames, rounded corners, shaded rings,
// stars, each texture layout, captions, antialiasing). `shift` moves every object.
void AddShowcase(Page& p, int shift) {
  static const std::vector<uint32_t> tex4x3{R, G, B, W, K, R, G, B, W, K, R, G};
  XImageCacheObject* plain = MakeTexture(p.cache, "plain", 4, 3, tex4x3);
  XImageCacheObject* keyed = MakeTexture(p.cache, "keyed", 4, 3, tex4x3);
  keyed->Image->SetTransparent(true);
  XImageCacheObject* alpha = MakeAlphaTexture(
      p.cache, "alpha", 3, 3, {R, 0x80FF00FF, 0x00000000, 0x4000FF00, B, 0xC0FFFFFF, K, 0x20FF0000, W});
  XImageCacheObject* textures[] = {nullptr, plain, keyed, alpha};
  const int side = 23;
  int n = 0;
  for (int shape = 0; shape <= 24; ++shape)
    for (int k = 0; k < 4; ++k, ++n) {
      // Objects spread over the page and past each of its edges, of odd and even sizes.
      const int w = 37 + (n * 13) % 61, h = 29 + (n * 7) % 47;
      const int x = -w / 2 + (n * 41) % (p.bitmap.Width() - shift * 2 + w / 2) + shift;
      const int y = -h / 3 + (n * 29) % (p.bitmap.Height() - shift * 2 + h / 3) + shift;
      TZLMButton& o = p.Add(Rect(x, y, x + w, y + h), shape);
      ZStyle& s = *o.Style;
      s.Color0 = TColor(0x102030 * (n % 7 + 1)) & 0xFFFFFF;
      s.Color5 = 0x0000C0;
      s.PenWidth = n % 5;
      s.CurveSize = 4 + n % side;
      s.IsAntialiased = n % 3 == 0;
      s.IsTransparent = n % 11 == 5;
      s.Texture = textures[k];
      s.TextureMode = 1 + n % 5;
      s.Alignment = int8_t(n % 3);
      s.Font->SetHeight(-(9 + n % 14));
      o.Text = n % 2 ? "Ok" : "A caption of several words that wraps";
    }
}

// Rendered with the page cut through its objects, the page shows exactly what a page large
// enough for all of them shows there: an object drawn in part is drawn as the whole would be.
TEST(RenderScene, ObjectsPartlyOffThePageShowWhatTheWholeWouldShow) {
  const int W = 160, H = 120, M = 160;  // the large page holds every object whole
  Page cut(W, H), whole(W + 2 * M, H + 2 * M);
  AddShowcase(cut, 0);
  AddShowcase(whole, M);
  RenderScene(cut.scene, cut.bitmap, cut.region);
  RenderScene(whole.scene, whole.bitmap, whole.region);
  int offPage = 0;
  for (int i = 0; i < cut.scene.Count(); ++i) {
    const TRect& b = cut.scene.Button(i)->Bounds;
    offPage += b.Left < 0 || b.Top < 0 || b.Right > W || b.Bottom > H;
    const TRect& a = whole.scene.Button(i)->Bounds;
    ASSERT_TRUE(a.Left >= 0 && a.Top >= 0 && a.Right <= W + 2 * M && a.Bottom <= H + 2 * M);
  }
  EXPECT_GT(offPage, 20) << "the page cuts too few objects to test anything";
  int differ = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (Px(cut.bitmap, x, y) != Px(whole.bitmap, x + M, y + M) && differ++ < 5)
        ADD_FAILURE() << x << "," << y << ": " << std::hex << Px(cut.bitmap, x, y)
                      << " where the whole page has " << Px(whole.bitmap, x + M, y + M);
  EXPECT_EQ(differ, 0);
}

// An object larger than a strip is composed strip by strip: the page shows exactly what it
// shows when the same objects are drawn in columns narrow enough to be composed at once.
// Every shape, antialiased and not, captioned, with each texture layout.
TEST(RenderScene, ObjectsComposedInStripsDrawAsInOnePiece) {
  const int PW = 1300, PH = 1000, column = 200;
  ASSERT_GT(int64_t(PW - 100) * (PH - 60), kRenderStripPixels) << "the objects are composed in one piece";
  ASSERT_LE(int64_t(column) * PH, kRenderStripPixels);
  Page strips(PW, PH), columns(PW, PH);
  for (Page* p : {&strips, &columns}) {
    XImageCacheObject* plain = MakeTexture(p->cache, "plain", 4, 3, {R, G, B, W, K, R, G, B, W, K, R, G});
    XImageCacheObject* alpha = MakeAlphaTexture(
        p->cache, "alpha", 3, 3, {R, 0x80FF00FF, 0x00000000, 0x4000FF00, B, 0xC0FFFFFF, K, 0x20FF0000, W});
    for (int shape = 0; shape <= 24; ++shape) {
      const int n = shape;
      TZLMButton& o = p->Add(Rect(n * 3, n * 2 + 7, PW - 100 + n * 3, PH - 53 + n * 2), shape);
      ZStyle& s = *o.Style;
      s.Color0 = TColor(0x102030 * (n % 7 + 1)) & 0xFFFFFF;
      s.Color5 = 0x0000C0;
      s.PenWidth = 1 + n % 9;
      s.CurveSize = 40 + n * 17;
      s.IsAntialiased = n % 2 == 0;
      s.Texture = n % 3 == 0 ? nullptr : n % 3 == 1 ? plain : alpha;
      s.TextureMode = 1 + n % 5;
      s.Alignment = int8_t(n % 3);
      s.Font->SetHeight(-(30 + n * 3));
      o.Text = "A caption of several words that wraps over the strips of the object";
    }
  }
  RenderScene(strips.scene, strips.bitmap, strips.region);
  TRegionList r = nullptr;
  for (int x = 0; x < PW; x += column) RegionAdd(r, x, 0, std::min(PW, x + column), PH);
  RenderScene(columns.scene, columns.bitmap, r);
  RegionClear(r);
  int differ = 0;
  for (int y = 0; y < PH; ++y)
    for (int x = 0; x < PW; ++x)
      if (Px(strips.bitmap, x, y) != Px(columns.bitmap, x, y) && differ++ < 5)
        ADD_FAILURE() << x << "," << y << ": " << std::hex << Px(strips.bitmap, x, y)
                      << " where columns give " << Px(columns.bitmap, x, y);
  EXPECT_EQ(differ, 0);
}

// A redraw of a few small dirty rectangles leaves the page as a redraw of the whole page does.
TEST(RenderScene, DirtyRectanglesRedrawAsTheWholePage) {
  const int W = 160, H = 120;
  Page p(W, H);
  AddShowcase(p, 0);
  RenderScene(p.scene, p.bitmap, p.region);
  const std::vector<uint32_t> before = p.Pixels(Rect(0, 0, W, H));
  for (const std::vector<TRect>& dirty :
       {std::vector<TRect>{Rect(3, 5, 17, 9)}, std::vector<TRect>{Rect(0, 0, 1, H), Rect(W - 7, 100, W, H)},
        std::vector<TRect>{Rect(50, 40, 51, 41), Rect(77, 13, 120, 90), Rect(10, 110, 150, 111)}}) {
    TRegionList r = nullptr;
    for (const TRect& d : dirty) RegionAdd(r, d.Left, d.Top, d.Right, d.Bottom);
    // The rectangles are wiped first, so that what is left is what the redraw drew.
    for (const TRect& d : dirty)
      for (int y = d.Top; y < d.Bottom; ++y)
        for (int x = d.Left; x < d.Right; ++x) SetPx(p.bitmap, x, y, 0x12345678);
    RenderScene(p.scene, p.bitmap, r);
    RegionClear(r);
    EXPECT_TRUE(p.Pixels(Rect(0, 0, W, H)) == before)
        << "dirty rectangles from " << dirty[0].Left << "," << dirty[0].Top;
  }
}

// Every object that fits the largest page is drawn whole, down to its last row; one too large
// to be drawn twice the size for antialiasing is drawn plain, and counted so that the
// window can say so.
TEST(RenderButton, ObjectsAsLargeAsThePageRenderWhole) {
  TakeAntialiasSkipped();
  Page p(6000, 4000);
  TZLMButton& full = p.Add(Rect(0, 0, 6000, 4000), 0);
  full.Style->Color0 = 0x00FF00;
  p.Render(full);
  for (int y : {0, 2795, 2796, 3999})
    for (int x : {0, 5999}) EXPECT_EQ(Px(p.bitmap, x, y), 0x0000FF00u) << x << "," << y;
  EXPECT_EQ(TakeAntialiasSkipped(), 0);

  full.Style->Color0 = 0x0000FF;
  full.Style->IsAntialiased = true;
  p.Render(full);
  EXPECT_EQ(Px(p.bitmap, 5999, 3999), 0x00FF0000u);
  EXPECT_EQ(TakeAntialiasSkipped(), 1);
  EXPECT_EQ(TakeAntialiasSkipped(), 0);
  TZLMButton& small = p.Add(Rect(10, 10, 50, 50), 4);
  small.Style->IsAntialiased = true;
  p.Render(small);
  EXPECT_EQ(TakeAntialiasSkipped(), 0);
}

TEST(RenderScene, FillsTheRegionAndRendersWhatMeetsIt) {
  Page p(12, 4);
  p.scene.BGColor = 0xFFFFFF;
  TZLMButton& a = p.Add(Rect(0, 0, 4, 4), 0);
  a.Style->Color0 = 0x0000FF;
  TZLMButton& b = p.Add(Rect(8, 0, 12, 4), 0);
  b.Style->Color0 = 0x00FF00;
  TZLMButton& top = p.Add(Rect(2, 1, 10, 3), 0);  // last: on top of both
  top.Style->Color0 = 0xFF0000;
  RegionClear(p.region);
  RegionAdd(p.region, 1, 0, 6, 4);
  b.Changed = true;
  RenderScene(p.scene, p.bitmap, p.region);
  EXPECT_EQ(p.Map(Rect(0, 0, 12, 4), {{0x00FF0000, 'r'}, {0x000000FF, 'b'}, {0x00FFFFFF, 'w'}}),
            Lines({".rrrww......", ".rbbbb......", ".rbbbb......", ".rrrww......"}));
  EXPECT_TRUE(b.Changed);  // not met by the region: not rendered
  EXPECT_FALSE(a.Changed);
}

TEST(DrawButtonFrame, BevelledFrameAndOtherKinds) {
  TBitmap b(6, 5, pf32bit);
  FillOpaqueWhite(b);
  // Face green, outer shadow black, inner shadow blue, inner highlight red, outer white.
  DrawButtonFrame(b.Canvas(), 0, 0, 6, 5, 1, 0x00FF00, 0x000000, 0xFF0000, 0x0000FF, 0xFFFFFF, false);
  EXPECT_EQ(PixelMap(b, StdLegend()), Lines({"wwwww#", "wrrrb#", "wrggb#", "wrbbb#", "w#####"}));
  // Kind 2: the rounded outer line in the outer shadow, two white and blue bevels, the face
  // three pixels in.
  TBitmap k2(10, 10, pf32bit);
  FillOpaqueWhite(k2);
  DrawButtonFrame(k2.Canvas(), 0, 0, 10, 10, 2, 0x00FF00, 0x000000, 0xFF0000, 0x0000FF, 0xFFFFFF, false);
  std::string m2 = PixelMap(k2, StdLegend());
  EXPECT_EQ(m2.substr(11 * 1 + 1, 8), "wwwwwwwb");
  EXPECT_EQ(m2.substr(11 * 3 + 3, 4), "gggg");
  EXPECT_EQ(m2.substr(11 * 9 + 3, 4), "####");
  // Kind 3: the tab's top corners are cut by 7 pixels; the inner outline follows.
  TBitmap k3(20, 12, pf32bit);
  FillOpaqueWhite(k3);
  DrawButtonFrame(k3.Canvas(), 0, 0, 20, 12, 3, 0x00FF00, 0x000000, 0xFF0000, 0x0000FF, 0xFFFFFF, false);
  EXPECT_EQ(k3.GetPixelColor(0, 0), clWhite);
  EXPECT_EQ(Px(k3, 0, 11), 0x00FFFFFFu);  // left side, outer highlight
  EXPECT_EQ(Px(k3, 10, 0), 0x00FFFFFFu);  // top
  EXPECT_EQ(Px(k3, 19, 11), 0u);          // bottom-right, outer shadow
  EXPECT_EQ(Px(k3, 10, 6), 0x0000FF00u);  // face
  // Other kinds draw nothing.
  TBitmap k9(4, 4, pf32bit);
  FillOpaqueWhite(k9);
  for (int kind : {4, 23, -1}) DrawButtonFrame(k9.Canvas(), 0, 0, 4, 4, kind, 0, 0, 0, 0, 0, false);
  EXPECT_EQ(PixelMap(k9, StdLegend()), Lines({"....", "....", "....", "...."}));
}

TEST(DrawButtonShape, LinesTrianglesAndNothing) {
  struct Case {
    int shape;
    std::string expected;
  };
  const Case cases[] = {
      // A 1-pixel pen leaves the box whole; lines end before their end point.
      {13, Lines({"#......", ".#.....", "..#....", "...##..", ".....#.", "......#"})},
      {14, Lines({".......", "......#", ".....#.", "...##..", "..#....", ".#....."})},
      {15, Lines({".......", ".......", ".......", "#######", ".......", "......."})},
      {16, Lines({"...#...", "...#...", "...#...", "...#...", "...#...", "...#..."})},
      {23, Lines({".......", ".......", ".......", ".......", ".......", "......."})},
      {0, Lines({".......", ".......", ".......", ".......", ".......", "......."})},
  };
  ZStyle style;
  style.PenWidth = 1;
  style.Color5 = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shape);
    TBitmap b(7, 6, pf32bit);
    FillOpaqueWhite(b);
    style.Shape = int8_t(c.shape);
    DrawButtonShape(b.Canvas(), 0, 0, 7, 6, style, true);
    EXPECT_EQ(PixelMap(b, StdLegend()), c.expected);
  }
  // The shape box is moved in by the pen so that a wide pen stays inside the object.
  TBitmap t(12, 10, pf32bit);
  FillOpaqueWhite(t);
  style.Shape = 4;
  style.PenWidth = 3;
  style.Color0 = 0x00FF00;
  DrawButtonShape(t.Canvas(), 1, 1, 11, 9, style, false);
  EXPECT_EQ(PixelMap(t, StdLegend()),
            Lines({"............", ".##########.", ".##########.", ".##########.", ".###gggg###.",
                   ".###gggg###.", ".##########.", ".##########.", ".##########.", "............"}));
}

TEST(MaskFillAndKeyedCopy, WholeWordComparisons) {
  TBitmap d(3, 1, pf32bit), s(3, 1, pf32bit);
  for (int x = 0; x < 3; ++x) SetPx(d, x, 0, 0x11111111);
  SetPx(s, 0, 0, 0);
  SetPx(s, 1, 0, 0xFF000000);  // only the alpha set: not 0
  SetPx(s, 2, 0, 0x00000001);
  MaskFill(d, s, kTextureKey);
  EXPECT_EQ(Px(d, 0, 0), 0x11111111u);
  EXPECT_EQ(Px(d, 1, 0), kTextureKey);
  EXPECT_EQ(Px(d, 2, 0), kTextureKey);
  SetPx(s, 0, 0, kTextureKey);
  SetPx(s, 1, 0, 0xDF000000);
  SetPx(s, 2, 0, 0x00000000);
  KeyedCopy(d, s, kTextureKey);
  EXPECT_EQ(Px(d, 0, 0), 0x11111111u);
  EXPECT_EQ(Px(d, 1, 0), 0xDF000000u);
  EXPECT_EQ(Px(d, 2, 0), 0u);
  TBitmap small(1, 1, pf32bit);  // never past the smaller of the two
  MaskFill(d, small, 1);
  KeyedCopy(small, d, 1);
}

}  // namespace
