#include "engine/XRender.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "POP/PopForms.h"
#include "POP/PopGraphics.h"
#include "engine/XBlend.h"
#include "engine/XBlit.h"
#include "engine/XDraw.h"
#include "engine/XImageCache.h"
#include "engine/XZLMButton.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"

namespace {

// The scratch images live from their first use to the end of the program and are released
// in the reverse order of their creation.
struct TScratch {
  XImage Object, Texture, Mask, Double;
};
TScratch& Scratch() {
  static TScratch scratch;
  return scratch;
}

std::vector<TTextureFailure>& Failures() {
  static std::vector<TTextureFailure> failures;
  return failures;
}

int& AntialiasSkipped() {
  static int count = 0;
  return count;
}

// What the shape drawing reads of a style, so that the doubled drawing and the mask can use
// other values without touching the style.
struct TShapeLook {
  int Shape;
  int PenWidth;
  int CurveSize;
  TColor C0, C1, C2, C3, C4, C5;
};

TShapeLook LookOf(const ZStyle& s) {
  return {s.Shape, s.PenWidth, s.CurveSize, s.Color0, s.Color1, s.Color2, s.Color3, s.Color4, s.Color5};
}

void DrawShape(TCanvas& c, int L, int T, int R, int B, const TShapeLook& s, bool clear) {
  if (s.PenWidth <= 0) {
    c.Pen.Width = 1;
    c.Pen.Style = psClear;
  } else {
    c.Pen.Width = s.PenWidth;
    c.Pen.Color = s.C5;
    c.Pen.Style = psSolid;
  }
  if (clear) c.Brush.Style = bsClear;
  else c.Brush.SetColor(s.C0);
  int a = s.PenWidth / 2, b = (s.PenWidth - 1) / 2;
  int l = L + a, t = T + a, r = R - b, bm = B - b;
  int cx = (R - L) / 2, cy = (B - T) / 2;
  switch (s.Shape) {
    case scRectangle: c.Rectangle(l, t, r, bm); break;
    case scRoundRect: c.RoundRect(l, t, r, bm, s.CurveSize, s.CurveSize); break;
    case scEllipse: c.Ellipse(l, t, r, bm); break;
    case scShadedRing:
      c.Pen.Width = 1;
      c.Ellipse(L + 1, T + 1, R - 1, B - 1);
      DrawShadedRing(c, L, T, R, B, s.C1, s.C2, s.C3, s.C4, s.PenWidth);
      break;
    case scShadedRing2: {
      int p = s.PenWidth;
      c.Pen.Width = 1;
      c.Ellipse(L, T, R, B);
      DrawShadedRing(c, L, T, R, B, s.C1, s.C2, s.C3, s.C4, p);
      DrawShadedRing(c, L + p, T + p, R - p, B - p, s.C4, s.C3, s.C2, s.C1, p);
      break;
    }
    case scArrowLeft: c.Polygon({{l, cy}, {r, t}, {r, bm}}); break;
    case scArrowRight: c.Polygon({{r, cy}, {l, t}, {l, bm}}); break;
    case scArrowUp: c.Polygon({{cx, t}, {l, bm}, {r, bm}}); break;
    case scArrowDown: c.Polygon({{cx, bm}, {l, t}, {r, t}}); break;
    case scLineDown:
      c.MoveTo(l, t);
      c.LineTo(r, bm);
      break;
    case scLineUp:
      c.MoveTo(l, bm);
      c.LineTo(r, t);
      break;
    case scLineHorizontal:
      c.MoveTo(l, cy);
      c.LineTo(r, cy);
      break;
    case scLineVertical:
      c.MoveTo(cx, t);
      c.LineTo(cx, bm);
      break;
    case scStar1: DrawStar(c, Rect(l, t, r, bm), 0.5, 1.0, 8); break;
    case scStar2: DrawStar(c, Rect(l, t, r, bm), 1.0, 0.5, 12); break;
    case scStar3: DrawStar(c, Rect(l, t, r, bm), 0.5, 1.0, 20); break;
    case scStar4: DrawStar(c, Rect(l, t, r, bm), 0.8, 1.0, 32); break;
    case scStar5: DrawStar(c, Rect(l, t, r, bm), 0.8, 1.0, 48); break;
    case scStar6: DrawStar(c, Rect(l, t, r, bm), 0.8, 1.0, 64); break;
    default: break;
  }
}

uint32_t* Row(TBitmap& b, int y) { return reinterpret_cast<uint32_t*>(b.ScanLine(y)); }
const uint32_t* Row(const TBitmap& b, int y) { return reinterpret_cast<const uint32_t*>(b.ScanLine(y)); }

void Fill(TBitmap& b, uint32_t value) { ImageFill(b, b, value); }

// The part of an object that one render draws, in the object's coordinates: the object is
// laid out whole (frames, corners, gradients and textures keep their places), but only this
// part of it is composed.
struct TPart {
  int X, Y, W, H;
};

// The object's size, bounded; false when there is nothing to draw.
bool ObjectSize(const TZLMButton& o, int& w, int& h) {
  int64_t ww = int64_t(o.Bounds.Right) - o.Bounds.Left, hh = int64_t(o.Bounds.Bottom) - o.Bounds.Top;
  if (ww <= 0 || hh <= 0) return false;
  w = int(std::min<int64_t>(ww, kMaxRenderSide));
  h = int(std::min<int64_t>({hh, kMaxRenderSide, kMaxRenderPixels / w}));
  return true;
}

// The style's texture when it has pixels. A file that cannot be read raises once in the
// cache (later calls give its empty image) and is remembered for the report; a picture that
// does not fit the cache's budget beside the page's others is left out (the object is drawn
// without it) and told once by the cache.
XImage* UsableTexture(const ZStyle& style) {
  if (!style.Texture) return nullptr;
  XImage* tex = nullptr;
  try {
    tex = style.Texture->GetGraphicIfItFits();
  } catch (const std::exception& e) {
    Failures().push_back({style.Texture->FileName, e.what()});
    return nullptr;
  }
  if (!tex || tex->Width() <= 0 || tex->Height() <= 0) return nullptr;
  if (tex->PixelFormat() != pf32bit) tex->SetPixelFormat(pf32bit);
  return tex;
}

// Tiles are whole unscaled copies cut at the right and bottom, so each row is the texture's
// row repeated; keyed pixels of a transparent texture are left out. dst holds the part of
// the object that starts at (ox, oy).
void LayTiled(XImage& dst, XImage& tex, int ox, int oy) {
  int w = dst.Width(), h = dst.Height(), tw = tex.Width(), th = tex.Height();
  bool keyed = tex.Transparent();
  uint32_t key = keyed ? BlitKeyColor(tex) : 0;
  for (int y = 0; y < h; ++y) {
    uint32_t* d = Row(dst, y);
    const uint32_t* s = Row(tex, (y + oy) % th);
    if (!keyed) {
      for (int x = 0, sx = ox % tw; x < w; sx = 0) {
        const int n = std::min(tw - sx, w - x);
        std::memcpy(d + x, s + sx, size_t(n) * 4);
        x += n;
      }
    } else {
      for (int x = 0; x < w; ++x) {
        uint32_t v = s[(x + ox) % tw];
        if (v != key) d[x] = v;
      }
    }
  }
}

// One blit of a texture layout: destination rectangle, then source rectangle, in the
// coordinates of the image laid into. Its caller chooses from what and how.
using TBlit = std::function<void(int x1, int y1, int x2, int y2, int sx1, int sy1, int sx2, int sy2)>;
using TLayout = std::function<void(const TBlit& blit)>;

// The nine slices of an object w x h wide from a texture tw x th, into an image that holds
// the object's part from (ox, oy).
void NineSlice(const TBlit& blit0, int tw, int th, int w, int h, int ox, int oy) {
  int hw = tw >> 1, hh = th >> 1;
  auto blit = [&](int x1, int y1, int x2, int y2, int sx1, int sy1, int sx2, int sy2) {
    blit0(x1 - ox, y1 - oy, x2 - ox, y2 - oy, sx1, sy1, sx2, sy2);
  };
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
}

// The bilinear blits write blue, green and red only. Each texture pixel they write gets
// alpha 255 here, so that no interpolated colour can equal the key; pixels they skip (the
// key of a transparent texture) become the key. Which pixels were skipped shows by laying
// the texture twice, over black and over white: only a skipped pixel keeps both.
void LayBilinear(XImage& texImage, XImage& mask, XImage& tex, const TLayout& lay) {
  auto into = [&](XImage& d) {
    return [dst = &d, src = &tex](int x1, int y1, int x2, int y2, int sx1, int sy1, int sx2, int sy2) {
      BlitGraphic(*dst, x1, y1, x2, y2, *src, sx1, sy1, sx2, sy2, 255, nullptr, nullptr,
                  BlitBilinear | BlitSkipKey);
    };
  };
  if (!tex.Transparent()) {
    Fill(texImage, 0xFF000000);
    lay(into(texImage));
    return;
  }
  Fill(texImage, 0x00000000);
  lay(into(texImage));
  Fill(mask, 0x00FFFFFF);
  lay(into(mask));
  for (int y = 0; y < texImage.Height(); ++y) {
    uint32_t* t = Row(texImage, y);
    const uint32_t* m = Row(mask, y);
    for (int x = 0; x < texImage.Width(); ++x)
      t[x] = (t[x] == 0x00000000 && m[x] == 0x00FFFFFF) ? kTextureKey : (t[x] | 0xFF000000);
  }
}

// A pixel's colours weighted by its alpha, and its alpha as grey.
uint32_t AlphaWeighted(uint32_t s) {
  const uint32_t a = s >> 24;
  uint32_t v = 0xFF000000u;
  for (int k = 0; k < 24; k += 8) v |= ((s >> k & 0xFF) * a + 127) / 255 << k;
  return v;
}
uint32_t AlphaAsGrey(uint32_t s) { return 0xFF000000u | (s >> 24) * 0x010101u; }

// A picture with alpha is interpolated premultiplied, so that a transparent pixel's colour
// never bleeds into its neighbours as a dark fringe: the colours weighted by alpha and the
// alpha itself are laid out alike (the alpha as grey), then divided again. The blits weigh
// only the texture pixels they sample, so the cost is the part drawn, not the texture.
void LayBilinearAlpha(XImage& texImage, XImage& mask, XImage& tex, const TLayout& lay) {
  auto into = [&](XImage& d, TBlitSampleMap map) {
    return [dst = &d, src = &tex, map](int x1, int y1, int x2, int y2, int sx1, int sy1, int sx2, int sy2) {
      BlitGraphicMapped(*dst, x1, y1, x2, y2, *src, sx1, sy1, sx2, sy2, nullptr, map);
    };
  };
  Fill(texImage, 0);
  lay(into(texImage, AlphaWeighted));
  Fill(mask, 0);
  lay(into(mask, AlphaAsGrey));
  for (int y = 0; y < texImage.Height(); ++y) {
    uint32_t* t = Row(texImage, y);
    const uint32_t* m = Row(mask, y);
    for (int x = 0; x < texImage.Width(); ++x) {
      const uint32_t a = m[x] & 0xFF;
      uint32_t v = a << 24;
      for (int k = 0; a && k < 24; k += 8)
        v |= std::min<uint32_t>(255, ((t[x] >> k & 0xFF) * 255 + a / 2) / a) << k;
      t[x] = v;
    }
  }
}

// `empty` fills what the layout leaves uncovered: the key, or transparent black for a
// picture drawn by its alpha. The texture is laid out over the whole object, w x h;
// texImage and mask hold the part of it from (ox, oy).
void LayTexture(XImage& texImage, XImage& mask, XImage& tex, int mode, uint32_t empty, int w, int h, int ox,
                int oy) {
  int tw = tex.Width(), th = tex.Height();
  if (mode < 1 || mode > 5) mode = 1;
  const bool alpha = tex.AlphaChannel;
  switch (mode) {
    case 1:
      if (tex.Transparent()) Fill(texImage, empty);
      BlitGraphic(texImage, -ox, -oy, w - ox, h - oy, tex, 0, 0, tw, th, 255, nullptr, nullptr, BlitCopy);
      break;
    case 2:
      if (tex.Transparent()) Fill(texImage, empty);
      LayTiled(texImage, tex, ox, oy);
      break;
    case 3: {
      Fill(texImage, empty);
      int x0 = ((w - tw) >> 1) - ox, y0 = ((h - th) >> 1) - oy;
      BlitGraphic(texImage, x0, y0, x0 + tw, y0 + th, tex, 0, 0, tw, th, 255, nullptr, nullptr, BlitCopy);
      break;
    }
    case 4: {
      TLayout lay = [&](const TBlit& blit) { blit(-ox, -oy, w - ox, h - oy, 0, 0, tw, th); };
      if (alpha) LayBilinearAlpha(texImage, mask, tex, lay);
      else LayBilinear(texImage, mask, tex, lay);
      break;
    }
    case 5: {
      TLayout lay = [&](const TBlit& blit) { NineSlice(blit, tw, th, w, h, ox, oy); };
      if (alpha) LayBilinearAlpha(texImage, mask, tex, lay);
      else LayBilinear(texImage, mask, tex, lay);
      break;
    }
  }
}

// The texture cut to the outline of the frame or shape, onto ObjectImage, which holds the
// part of the object w x h.
void ApplyTexture(const ZStyle& style, XImage& tex, int w, int h, const TPart& part) {
  XImage& texImage = TextureImage();
  XImage& mask = MaskImage();
  texImage.SetSize(part.W, part.H);
  mask.SetSize(part.W, part.H);
  // A picture that carries alpha is drawn over the page by it; any other by the key rule.
  const bool alpha = tex.AlphaChannel;
  const uint32_t empty = alpha ? 0x00000000u : kTextureKey;
  LayTexture(texImage, mask, tex, style.TextureMode, empty, w, h, part.X, part.Y);
  mask.SetTransparent(false);
  texImage.SetTransparent(false);
  Fill(mask, 0xFFFFFF);
  // The outline in black on white: the style's geometry with every colour 0, solid.
  TShapeLook look = LookOf(style);
  look.C0 = look.C1 = look.C2 = look.C3 = look.C4 = look.C5 = 0;
  TRect r(0, 0, w, h);
  if (style.Shape != fkPlain) r = Rect(1, 1, w - 1, h - 1);
  TCanvas& mc = mask.Canvas();
  {
    TCanvasOrigin at(mc, part.X, part.Y);
    DrawButtonFrame(mc, r.Left, r.Top, r.Right, r.Bottom, style.Shape, 0, 0, 0, 0, 0, false);
    DrawShape(mc, r.Left, r.Top, r.Right, r.Bottom, look, false);
  }
  MaskFill(texImage, mask, empty);
  if (alpha)
    BlitGraphic(ObjectImage(), 0, 0, part.W, part.H, texImage, 0, 0, part.W, part.H, 255, nullptr, nullptr,
                0);
  else KeyedCopy(ObjectImage(), texImage, kTextureKey);
}

// An exact 2x pixel replication of src into the top-left of dst.
void Double2x(XImage& dst, const XImage& src) {
  for (int y = 0; y < src.Height(); ++y) {
    const uint32_t* s = Row(src, y);
    uint32_t* d0 = Row(dst, 2 * y);
    for (int x = 0; x < src.Width(); ++x) d0[2 * x] = d0[2 * x + 1] = s[x];
    std::memcpy(Row(dst, 2 * y + 1), d0, size_t(src.Width()) * 8);
  }
}

void DrawCaption(TCanvas& c, TZLMButton& o, int w, int h, int heightScale) {
  if (o.HideText) return;
  const ZStyle& s = *o.Style;
  c.Font.Assign(*s.Font);
  c.Font.SetHeight(s.Font->Height() * heightScale);
  o.TextFilled = DrawButtonText(c, o.Text, s.Alignment, 0, 0, w, h, s.Font->Color);
}

// Whether an object w x h of the style is drawn twice the size; an antialiased one too large
// for it is counted (once for each render of the object).
bool DrawnDoubled(const ZStyle& s, int w, int h) {
  return s.IsAntialiased && 2 * w <= MaxImageDimension && 2 * h <= MaxImageDimension &&
         int64_t(w) * h * 4 <= kMaxDoublePixels;
}
void CountAntialiasSkipped(const ZStyle& s, int w, int h) {
  if (s.IsAntialiased && !DrawnDoubled(s, w, h)) ++AntialiasSkipped();
}

// Frame, shape and caption of the object w x h into ObjectImage, which holds its part.
// Whether the object is drawn twice the size is decided by its whole size, so that every
// part of it is drawn alike.
void DrawObject(TZLMButton& o, XImage& doubleImage, int w, int h, const TPart& part) {
  const ZStyle& s = *o.Style;
  XImage& obj = ObjectImage();
  bool clear = s.IsTransparent || UsableTexture(s);
  TCanvas& c = obj.Canvas();
  TCanvasOrigin at(c, part.X, part.Y);
  DrawButtonFrame(c, 0, 0, w, h, s.Shape, s.Color0, s.Color1, s.Color2, s.Color3, s.Color4, clear);
  if (!DrawnDoubled(s, w, h)) {
    DrawButtonShape(c, 0, 0, w, h, s, clear);
    DrawCaption(c, o, w, h, 1);
    return;
  }
  int dw = std::max(doubleImage.Width(), 2 * part.W), dh = std::max(doubleImage.Height(), 2 * part.H);
  if (int64_t(dw) * dh > kMaxDoublePixels) dw = 2 * part.W, dh = 2 * part.H;
  if (dw != doubleImage.Width() || dh != doubleImage.Height()) doubleImage.SetSize(dw, dh);
  if (doubleImage.PixelFormat() != pf32bit) doubleImage.SetPixelFormat(pf32bit);
  Double2x(doubleImage, obj);
  // Twice the pen, the curve and the font's pixel height; the style itself stays as it is.
  TShapeLook look = LookOf(s);
  look.PenWidth *= 2;
  look.CurveSize *= 2;
  TCanvas& dc = doubleImage.Canvas();
  TCanvasOrigin doubleAt(dc, 2 * part.X, 2 * part.Y);
  DrawShape(dc, 0, 0, 2 * w, 2 * h, look, clear);
  DrawCaption(dc, o, 2 * w, 2 * h, 2);
  Downsample2x2(obj, doubleImage);
}

// The part of the object (w x h from the top-left of its bounds) on the page and inside the
// box of the region list: all that a render can change. An object that shows nowhere still
// gets one pixel, so that its caption's fit is measured as always.
TPart DrawnPart(const TRect& b, int w, int h, const TBitmap& page, TRegionList regions) {
  int64_t l = std::max<int64_t>(b.Left, 0), t = std::max<int64_t>(b.Top, 0);
  int64_t r = std::min<int64_t>(int64_t(b.Left) + w, page.Width());
  int64_t bm = std::min<int64_t>(int64_t(b.Top) + h, page.Height());
  int64_t rl = INT64_MAX, rt = INT64_MAX, rr = INT64_MIN, rb = INT64_MIN;
  for (TRegionRect* g = regions; g; g = g->Next) {
    if (g->Rect.Right <= g->Rect.Left || g->Rect.Bottom <= g->Rect.Top) continue;
    rl = std::min<int64_t>(rl, g->Rect.Left);
    rt = std::min<int64_t>(rt, g->Rect.Top);
    rr = std::max<int64_t>(rr, g->Rect.Right);
    rb = std::max<int64_t>(rb, g->Rect.Bottom);
  }
  l = std::max(l, rl);
  t = std::max(t, rt);
  r = std::min(r, rr);
  bm = std::min(bm, rb);
  if (r <= l || bm <= t) return {0, 0, 1, 1};
  return {int(l - b.Left), int(t - b.Top), int(r - l), int(bm - t)};
}

}  // namespace

XImage& ObjectImage() { return Scratch().Object; }
XImage& TextureImage() { return Scratch().Texture; }
XImage& MaskImage() { return Scratch().Mask; }
XImage& DoubleImage() { return Scratch().Double; }

void DrawButtonFrame(TCanvas& c, int L, int T, int R, int B, int kind, TColor c0, TColor c1, TColor c2,
                     TColor c3, TColor c4, bool clear) {
  if (clear) c.Brush.Style = bsClear;
  else c.Brush.SetColor(c0);
  c.Pen.Width = 1;
  c.Pen.Color = c0;
  c.Pen.Style = psSolid;
  switch (kind) {
    case fkPlain: c.FillRect(Rect(L, T, R, B)); break;
    case fkBevel:
      c.FillRect(Rect(L, T, R, B));
      CanvasDrawBevel(c, L, T, R, B, c4, c1);
      CanvasDrawBevel(c, L + 1, T + 1, R - 1, B - 1, c3, c2);
      break;
    case fkRoundBevel:
      c.FillRect(Rect(L + 3, T + 3, R - 3, B - 3));
      CanvasDrawBevel(c, L + 1, T + 1, R - 1, B - 1, c4, c2);
      CanvasDrawBevel(c, L + 2, T + 2, R - 2, B - 2, c4, c2);
      c.Pen.Color = c1;
      c.Brush.Style = bsClear;
      c.RoundRect(L, T, R, B, 6, 6);
      break;
    case fkTab:
      CanvasFillTab(c, L, T, R, B, c4, c1, 7);
      CanvasDrawTab(c, L, T, R, B, c4, c1, 7);
      CanvasDrawTab(c, L + 1, T + 1, R - 1, B - 1, c3, c2, 6);
      break;
    default: break;
  }
}

void DrawButtonShape(TCanvas& canvas, int left, int top, int right, int bottom, const ZStyle& style,
                     bool clear) {
  DrawShape(canvas, left, top, right, bottom, LookOf(style), clear);
}

void MaskFill(TBitmap& dst, const TBitmap& mask, uint32_t value) {
  int w = std::min(dst.Width(), mask.Width()), h = std::min(dst.Height(), mask.Height());
  if (dst.PixelFormat() != pf32bit || mask.PixelFormat() != pf32bit) return;
  for (int y = h - 1; y >= 0; --y) {
    uint32_t* d = Row(dst, y);
    const uint32_t* m = Row(mask, y);
    for (int x = 0; x < w; ++x)
      if (m[x] != 0) d[x] = value;
  }
}

void KeyedCopy(TBitmap& dst, const TBitmap& src, uint32_t key) {
  int w = std::min(dst.Width(), src.Width()), h = std::min(dst.Height(), src.Height());
  if (dst.PixelFormat() != pf32bit || src.PixelFormat() != pf32bit) return;
  for (int y = h - 1; y >= 0; --y) {
    uint32_t* d = Row(dst, y);
    const uint32_t* s = Row(src, y);
    for (int x = 0; x < w; ++x)
      if (s[x] != key) d[x] = s[x];
  }
}

void RenderButtonImage(TZLMButton& o, XImage& doubleImage) {
  int w, h;
  if (!ObjectSize(o, w, h)) return;
  ObjectImage().SetSize(w, h);
  CountAntialiasSkipped(*o.Style, w, h);
  DrawObject(o, doubleImage, w, h, {0, 0, w, h});
}

void RenderButton(TZLMButton& o, TBitmap& page, TRegionList regions) {
  int w, h;
  if (!ObjectSize(o, w, h)) {
    o.Changed = false;
    return;
  }
  const ZStyle& s = *o.Style;
  const TRect& b = o.Bounds;
  // Only the part that can reach the page is composed: a render costs the pixels the object
  // covers, not the size it declares.
  const TPart part = DrawnPart(b, w, h, page, regions);
  // The texture's pixels stay while the object is drawn from them.
  TImageCacheHold hold(s.Texture);
  // A transparent style shows no texture, a picture with alpha included: such a picture lets
  // the page through by its own alpha already with a style that is not transparent.
  XImage* tex = UsableTexture(s);
  if (s.IsTransparent) tex = nullptr;
  // The part is composed in strips of rows, each whole before the next, so that the scratch
  // images stay small beside the page however large the part is (every drawing call is cut
  // to the strip it draws into, and lays out the object whole as it always does).
  const int rows = int(std::clamp<int64_t>(kRenderStripPixels / part.W, 1, part.H));
  XImage& obj = ObjectImage();
  CountAntialiasSkipped(s, w, h);
  // A plain or bevelled frame filled solid paints every pixel of the object first, so the page
  // under it need not be copied in.
  const bool covers = !s.IsTransparent && !tex && (s.Shape == fkPlain || s.Shape == fkBevel);
  for (int top = 0; top < part.H; top += rows) {
    const TPart strip{part.X, part.Y + top, part.W, std::min(rows, part.H - top)};
    const int x = b.Left + strip.X, y = b.Top + strip.Y;
    obj.SetSize(strip.W, strip.H);
    if (!covers)
      BlitGraphic(obj, 0, 0, strip.W, strip.H, page, x, y, x + strip.W, y + strip.H, 255, nullptr, nullptr,
                  BlitCopy);
    if (tex) ApplyTexture(s, *tex, w, h, strip);
    DrawObject(o, DoubleImage(), w, h, strip);
    for (TRegionRect* r = regions; r; r = r->Next)
      BlitGraphic(page, x, y, x + strip.W, y + strip.H, obj, 0, 0, strip.W, strip.H, 255, &r->Rect, nullptr,
                  BlitCopy);
  }
  o.Changed = false;
}

std::vector<XImageCacheObject*> PagePictures(const ZButtonList& scene) {
  std::vector<XImageCacheObject*> pictures;
  for (int i = 0; i < scene.Count(); ++i) {
    const TZLMButton* o = scene.Button(i);
    if (o->Style && o->Style->Texture && !o->Style->IsTransparent) pictures.push_back(o->Style->Texture);
  }
  std::sort(pictures.begin(), pictures.end());
  pictures.erase(std::unique(pictures.begin(), pictures.end()), pictures.end());
  return pictures;
}

void RenderScene(ZButtonList& scene, TBitmap& page, TRegionList regions) {
  if (page.PixelFormat() != pf32bit) page.SetPixelFormat(pf32bit);
  // The pictures of the whole page keep their room in the cache, whatever part is drawn.
  const std::vector<XImageCacheObject*> pictures = PagePictures(scene);
  ImageCache().BeginPass(pictures);
  // The background as the canvas fills it (alpha 0).
  uint32_t bg = ColorSwapRB(ColorToRGB(scene.BGColor)) & 0xFFFFFF;
  for (TRegionRect* r = regions; r; r = r->Next) {
    int l = std::max(r->Rect.Left, 0), t = std::max(r->Rect.Top, 0);
    int rr = std::min(r->Rect.Right, page.Width()), bb = std::min(r->Rect.Bottom, page.Height());
    for (int y = t; y < bb; ++y) std::fill(Row(page, y) + l, Row(page, y) + std::max(l, rr), bg);
  }
  int count = scene.Count();
  for (int i = 0; i < count; ++i) {
    if (TWaitIndicator* wi = WaitIndicator()) wi->SetProgress(i, count - 1);
    TZLMButton* o = scene.Button(i);
    const TRect& bo = o->Bounds;
    if (RegionIntersects(regions, bo.Left, bo.Top, bo.Right, bo.Bottom)) RenderButton(*o, page, regions);
  }
  for (const TTextureFailure& f : TakeTextureFailures())
    SayWarning(Format("The texture \"%s\" cannot be read. %s", f.FileName.c_str(), f.Message.c_str()));
  XImageCache::TOverflow overflow;
  if (ImageCache().TakeOverflow(&overflow)) SayWarning(PicturesDoNotFitMessage(overflow));
}

std::string PicturesDoNotFitMessage(const XImageCache::TOverflow& o) {
  auto mb = [](int64_t bytes) { return IntToStr((bytes + (1 << 20) - 1) >> 20) + " MB"; };
  std::string list;
  const size_t shown = std::min<size_t>(o.Left.size(), 8);
  for (size_t i = 0; i < shown; ++i) {
    const auto& [name, bytes] = o.Left[i];
    list += "\n    " + name + (bytes > 0 ? " (" + mb(bytes) + ")" : std::string());
  }
  if (o.Left.size() > shown) list += "\n    and " + IntToStr(int64_t(o.Left.size() - shown)) + " more";
  return "The pictures of this page do not fit the " + mb(o.Budget) +
         " of memory this program keeps for pictures: they need " + mb(o.Needed) + ". " +
         IntToStr(int64_t(o.Left.size())) + (o.Left.size() == 1 ? " picture is" : " pictures are") +
         " left out, and their objects drawn without them:" + list +
         "\nSmaller pictures, or fewer of them, are all drawn.";
}

std::vector<TTextureFailure> TakeTextureFailures() {
  std::vector<TTextureFailure> out;
  out.swap(Failures());
  return out;
}

int TakeAntialiasSkipped() {
  int n = AntialiasSkipped();
  AntialiasSkipped() = 0;
  return n;
}
