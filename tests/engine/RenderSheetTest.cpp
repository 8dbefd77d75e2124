// A sheet of every frame kind and shape, plain and antialiased, captions in each alignment
// and a texture in each layout, rendered as the editing surface does, and checked for what
// each drawing must show: round shapes leave their corners to the page, frames lie at the
// edges in their colours, rings are shaded from their colours, captions lie where they are
// aligned, textures show their own pixels in their layouts and only inside the outline, and a
// transparent style lets the page through. The picture is written for a person to look at
// (ZELMORA_SHEET names the file, else the test's own temporary folder).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "engine/XBlend.h"
#include "engine/XImageCache.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr int kPageW = 1024, kPageH = 768;
constexpr int kCellW = 128, kCellH = 64;

void SetPx(TBitmap& b, int x, int y, uint32_t v) { std::memcpy(b.ScanLine(y) + 4 * x, &v, 4); }

// A 24 x 24 texture: a diagonal ramp under a light checker, a dark rim, and (for the keyed
// one) a magenta key in a diamond at the middle.
XImageCacheObject* Texture(XImageCache& cache, const std::string& name, bool keyed) {
  XImageCacheObject* e = cache.GetEntry(name);
  XImage& img = *e->Image;
  img.SetSize(24, 24);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      uint32_t r = 60 + 7 * x, g = 90 + 5 * y, b = 200 - 3 * (x + y);
      if (((x / 6) + (y / 6)) % 2) r = (r + 255) / 2, g = (g + 255) / 2, b = (b + 255) / 2;
      if (x < 2 || y < 2 || x > 21 || y > 21) r = 30, g = 40, b = 90;
      if (keyed && std::abs(x - 12) + std::abs(y - 12) < 6) r = 255, g = 0, b = 255;
      SetPx(img, x, y, MakePixel(r, g, b, 255));
    }
  if (keyed) {
    img.SetTransparent(true);
    img.SetTransparentColor(0xFF00FF);
  }
  e->Loaded = true;
  return e;
}

struct Sheet {
  ZButtonList scene;
  XImageCache cache;
  int next = 0;  // next free cell, row by row

  TZLMButton& Add(const std::string& caption, int shape, int cells = 1) {
    int col = next % 8, row = next / 8;
    if (col + cells > 8) next += 8 - col, col = 0, ++row;
    next += cells;
    TRect r(col * kCellW + 6, row * kCellH + 6, (col + cells) * kCellW - 6, (row + 1) * kCellH - 6);
    auto* o = new TZLMButton(caption, &scene, r, "");
    ZStyle& s = *o->Style;
    s.Shape = int8_t(shape);
    s.Color0 = 0xF0C890;  // face: light blue
    s.Color1 = 0x402000;  // outer shadow
    s.Color2 = 0x906040;  // inner shadow
    s.Color3 = 0xFFE8D0;  // inner highlight
    s.Color4 = 0xFFFFFF;  // outer highlight
    s.Color5 = 0x800000;  // outline: navy
    s.PenWidth = 2;
    s.CurveSize = 16;
    s.Font->Name = "Arial";
    s.Font->SetHeight(-12);
    s.Font->Color = 0x000040;
    s.Alignment = int8_t(scene.Count() % 3);
    return *o;
  }
  void NewRow() {
    if (next % 8) next += 8 - next % 8;
  }
};

uint64_t Fnv1a(const TBitmap& b) {
  uint64_t h = 1469598103934665603ull;
  for (int y = 0; y < b.Height(); ++y) {
    const uint8_t* row = b.ScanLine(y);
    for (int i = 0; i < 4 * b.Width(); ++i) h = (h ^ row[i]) * 1099511628211ull;
  }
  return h;
}

// A page pixel as a colour (0x00BBGGRR), alpha left out.
TColor At(const TBitmap& b, int x, int y) {
  uint32_t v;
  std::memcpy(&v, b.ScanLine(y) + 4 * x, 4);
  return TColor(((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16));
}
int Channel(TColor c, int i) { return int((uint32_t(c) >> (8 * i)) & 0xFF); }
bool Close(TColor a, TColor b, int tolerance) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(Channel(a, i) - Channel(b, i)) > tolerance) return false;
  return true;
}
std::string Hex(TColor c) {
  char s[16];
  std::snprintf(s, sizeof s, "%06X", unsigned(c) & 0xFFFFFF);
  return s;
}

constexpr TColor kPage = 0xE8F0F0, kFace = 0xF0C890, kC1 = 0x402000, kC2 = 0x906040, kC3 = 0xFFE8D0,
                 kC4 = 0xFFFFFF, kOutline = 0x800000, kMagenta = 0xFF00FF;

// The checks of one object on one rendering; a sample that a later object covers is skipped.
struct Probe {
  const TBitmap& img;
  const ZButtonList& scene;
  int index;
  int tolerance;  // per channel: 0 for plain drawing, a little for antialiased
  std::string name;
  TRect b;
  int L, T, R, B, w, h, cx, cy;

  Probe(const TBitmap& image, const ZButtonList& s, int i, int tol)
      : img(image), scene(s), index(i), tolerance(tol) {
    TZLMButton* o = const_cast<ZButtonList&>(s).Button(i);
    b = o->Bounds;
    name = "object " + std::to_string(i) + " \"" + o->Text + "\" shape " + std::to_string(o->Style->Shape);
    L = b.Left, T = b.Top, R = b.Right, B = b.Bottom, w = R - L, h = B - T;
    cx = L + w / 2, cy = T + h / 2;
  }
  bool Covered(int x, int y) const {
    for (int j = index + 1; j < scene.Count(); ++j) {
      const TRect& r = const_cast<ZButtonList&>(scene).Button(j)->Bounds;
      if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return true;
    }
    return false;
  }
  std::string Where(const char* what, int x, int y) const {
    return name + ": " + what + " at (" + std::to_string(x - L) + ", " + std::to_string(y - T) + ") is " +
           Hex(At(img, x, y));
  }
  void Is(int x, int y, TColor c, const char* what) const {
    if (Covered(x, y)) return;
    EXPECT_TRUE(Close(At(img, x, y), c, tolerance)) << Where(what, x, y) << ", not " << Hex(c);
  }
  void Page(int x, int y, const char* what = "page") const { Is(x, y, kPage, what); }
  void Face(int x, int y, const char* what = "face") const { Is(x, y, kFace, what); }
  void NotPage(int x, int y, const char* what) const {
    if (Covered(x, y)) return;
    EXPECT_FALSE(Close(At(img, x, y), kPage, tolerance)) << Where(what, x, y) << ", the page";
  }
  // Some pixel within `radius` has the colour.
  void Near(int x, int y, TColor c, int radius, const char* what) const {
    if (Covered(x, y)) return;
    bool found = false;
    for (int dy = -radius; dy <= radius && !found; ++dy)
      for (int dx = -radius; dx <= radius && !found; ++dx)
        found = Close(At(img, x + dx, y + dy), c, tolerance);
    EXPECT_TRUE(found) << Where(what, x, y) << ", no " << Hex(c) << " near it";
  }
  // Every channel between those of two colours: a shade of the gradient from one to the other.
  void Between(int x, int y, TColor a, TColor c, const char* what) const {
    if (Covered(x, y)) return;
    TColor v = At(img, x, y);
    for (int i = 0; i < 3; ++i) {
      int lo = std::min(Channel(a, i), Channel(c, i)) - tolerance - 1;
      int hi = std::max(Channel(a, i), Channel(c, i)) + tolerance + 1;
      EXPECT_TRUE(Channel(v, i) >= lo && Channel(v, i) <= hi)
          << Where(what, x, y) << ", not between " << Hex(a) << " and " << Hex(c);
    }
  }
  // A point given by its share of the half sizes from the centre (1 reaches the box's edge).
  int X(double f) const { return cx + int(f * (w / 2 - 1)); }
  int Y(double f) const { return cy + int(f * (h / 2 - 1)); }
  // At an angle from straight down, clockwise as the stars count, and a share of the radius.
  int PolarX(int degrees, double f) const {
    return cx + int(std::sin(degrees * M_PI / 180) * f * (w / 2 - 1));
  }
  int PolarY(int degrees, double f) const {
    return cy + int(std::cos(degrees * M_PI / 180) * f * (h / 2 - 1));
  }
  void Corners(bool page) const {
    const int xs[] = {L, R - 1}, ys[] = {T, B - 1};
    for (int x : xs)
      for (int y : ys) {
        if (page) Page(x, y, "corner");
        else NotPage(x, y, "corner");
      }
  }
};

// What each frame kind and shape must show on a rendering without captions.
void CheckShape(const Probe& p, int shape) {
  const int L = p.L, T = p.T, R = p.R, B = p.B, cx = p.cx, cy = p.cy;
  switch (shape) {
    case 0:
      p.Corners(false);
      for (int x : {L, R - 1})
        for (int y : {T, B - 1}) p.Face(x, y, "plain frame corner");
      p.Face(cx, cy);
      break;
    case 1:  // two bevels: light top and left, dark bottom and right
      p.Is(cx, T, kC4, "outer highlight");
      p.Is(L, cy, kC4, "outer highlight");
      p.Is(cx, B - 1, kC1, "outer shadow");
      p.Is(R - 1, cy, kC1, "outer shadow");
      p.Is(cx, T + 1, kC3, "inner highlight");
      p.Is(cx, B - 2, kC2, "inner shadow");
      p.Face(cx, cy);
      break;
    case 2:  // bevels inside a round outline in the outer shadow
      p.Corners(true);
      p.Is(cx, T, kC1, "outline");
      p.Is(cx, B - 1, kC1, "outline");
      p.Is(cx, T + 1, kC4, "highlight");
      p.Is(cx, B - 2, kC2, "shadow");
      p.Face(cx, cy);
      break;
    case 3:  // a tab: the top corners cut
      p.Page(L, T, "cut corner");
      p.Page(R - 1, T, "cut corner");
      p.Page(L + 2, T + 2, "cut corner");
      p.NotPage(L, B - 1, "bottom corner");
      p.NotPage(R - 1, B - 1, "bottom corner");
      p.Is(cx, T, kC4, "highlight");
      p.Is(L, cy, kC4, "highlight");
      p.Is(cx, B - 1, kC1, "shadow");
      p.Is(R - 1, cy, kC1, "shadow");
      p.Face(cx, cy);
      break;
    case 4:  // rectangle: square corners, outline at the edges
      p.NotPage(L + 1, T + 1, "corner");
      p.NotPage(R - 1, B - 1, "corner");
      p.Face(L + 4, T + 4, "inside the corner");
      p.Near(cx, T + 1, kOutline, 1, "top edge");
      p.Near(cx, B - 1, kOutline, 1, "bottom edge");
      p.Near(L + 1, cy, kOutline, 1, "left edge");
      p.Near(R - 1, cy, kOutline, 1, "right edge");
      p.Face(cx, cy);
      break;
    case 5:  // round rectangle
      p.Corners(true);
      p.Page(L + 2, T + 2, "round corner");
      p.Face(L + 9, T + 9, "inside the curve");
      p.Near(cx, T + 1, kOutline, 1, "top edge");
      p.Near(cx, B - 1, kOutline, 1, "bottom edge");
      p.Near(L + 1, cy, kOutline, 1, "left edge");
      p.Face(cx, cy);
      break;
    case 6:  // ellipse
      p.Corners(true);
      for (double f : {-0.8, 0.8}) p.Page(p.X(f), p.Y(f), "outside the ellipse");
      p.Page(p.X(0.8), p.Y(-0.8), "outside the ellipse");
      p.Near(cx, T + 1, kOutline, 2, "top");
      p.Near(cx, B - 1, kOutline, 2, "bottom");
      p.Near(L + 1, cy, kOutline, 2, "left");
      p.Near(R - 1, cy, kOutline, 2, "right");
      p.Face(p.X(0.5), p.Y(0.5), "inside the ellipse");
      p.Face(cx, cy);
      break;
    case 7:  // a ring shaded from the four colours, clockwise from the top
    case 8:
      p.Corners(true);
      p.Between(cx, T + 3, kC1, kC2, "ring top");
      p.Between(R - 4, cy, kC2, kC3, "ring right");
      p.Between(cx, B - 4, kC3, kC4, "ring bottom");
      p.Between(L + 3, cy, kC4, kC1, "ring left");
      if (shape == 8) {  // and a second ring inside, the other way round
        p.Between(cx, T + 9, kC4, kC3, "inner ring top");
        p.Between(cx, B - 10, kC2, kC1, "inner ring bottom");
      }
      p.Face(cx, cy);
      break;
    case 9:  // triangle pointing left
      p.Page(L + 3, T + 3);
      p.Page(L + 3, B - 4);
      p.Face(R - 6, T + 7, "base");
      p.Face(R - 6, B - 8, "base");
      p.NotPage(L + 2, cy, "tip");
      p.Face(cx, cy);
      break;
    case 10:  // right
      p.Page(R - 4, T + 3);
      p.Page(R - 4, B - 4);
      p.Face(L + 6, T + 7, "base");
      p.Face(L + 6, B - 8, "base");
      p.NotPage(R - 3, cy, "tip");
      p.Face(cx, cy);
      break;
    case 11:  // up
      p.Page(L + 3, T + 3);
      p.Page(R - 4, T + 3);
      p.Face(L + 12, B - 5, "base");
      p.Face(R - 13, B - 5, "base");
      p.NotPage(cx, T + 2, "tip");
      p.Face(cx, cy);
      break;
    case 12:  // down
      p.Page(L + 3, B - 4);
      p.Page(R - 4, B - 4);
      p.Face(L + 12, T + 5, "base");
      p.Face(R - 13, T + 5, "base");
      p.NotPage(cx, B - 3, "tip");
      p.Face(cx, cy);
      break;
    case 13:  // line from the top left to the bottom right, nothing filled
      p.Near(L + (p.w - 1) / 4, T + (p.h - 1) / 4, kOutline, 2, "line");
      p.Near(cx, cy, kOutline, 2, "line");
      p.Page(R - 5, T + 4);
      p.Page(L + 4, B - 5);
      break;
    case 14:  // from the bottom left to the top right
      p.Near(L + (p.w - 1) / 4, B - (p.h - 1) / 4, kOutline, 2, "line");
      p.Near(cx, cy, kOutline, 2, "line");
      p.Page(L + 4, T + 4);
      p.Page(R - 5, B - 5);
      break;
    case 15:  // across the middle
      p.Near(cx, cy, kOutline, 1, "line");
      p.Near(L + 5, cy, kOutline, 1, "line");
      p.Near(R - 5, cy, kOutline, 1, "line");
      p.Page(cx, T + 4);
      p.Page(cx, B - 5);
      break;
    case 16:  // down the middle
      p.Near(cx, cy, kOutline, 1, "line");
      p.Near(cx, T + 5, kOutline, 1, "line");
      p.Near(cx, B - 5, kOutline, 1, "line");
      p.Page(L + 4, cy);
      p.Page(R - 5, cy);
      break;
    case 17:  // four points at the bottom, right, top and left
      p.Corners(true);
      for (double fx : {-0.6, 0.6})
        for (double fy : {-0.6, 0.6}) p.Page(p.X(fx), p.Y(fy), "between the points");
      p.NotPage(cx, B - 4, "bottom point");
      p.NotPage(cx, T + 4, "top point");
      p.NotPage(L + 4, cy, "left point");
      p.NotPage(R - 5, cy, "right point");
      p.Face(cx, cy);
      break;
    case 18:  // six points, none at the bottom or the top
      p.Corners(true);
      p.Page(cx, B - 4, "no point at the bottom");
      p.Page(cx, T + 4, "no point at the top");
      p.NotPage(L + 4, cy, "left point");
      p.NotPage(R - 5, cy, "right point");
      p.Face(cx, cy);
      break;
    case 19:  // ten points, one at the bottom and one at the top, notches between
      p.Corners(true);
      p.NotPage(cx, B - 4, "bottom point");
      p.NotPage(cx, T + 4, "top point");
      for (int a : {18, 162, 198, 342}) p.Page(p.PolarX(a, 0.8), p.PolarY(a, 0.8), "notch");
      p.Face(cx, cy);
      break;
    default:  // 20-22: many short points, nearly round
      p.Corners(true);
      for (double fx : {-0.78, 0.78})
        for (double fy : {-0.78, 0.78}) p.Page(p.X(fx), p.Y(fy), "outside the points");
      p.NotPage(cx, B - 4, "bottom point");
      p.Face(cx, cy);
      break;
  }
}

// The caption's ink, found as what the caption changes; its lines are the bands of ink rows.
struct Ink {
  bool any = false;
  int l = 1 << 30, t = 1 << 30, r = -1, b = -1;
  struct Line {
    int top, bottom, left, right;
  };
  std::vector<Line> lines;
};

Ink FindInk(const TBitmap& page, const TBitmap& bare, const TRect& box) {
  Ink ink;
  bool inLine = false;
  for (int y = box.Top; y < box.Bottom; ++y) {
    int rowL = 1 << 30, rowR = -1;
    for (int x = box.Left; x < box.Right; ++x)
      if (At(page, x, y) != At(bare, x, y)) rowL = std::min(rowL, x), rowR = std::max(rowR, x);
    if (rowR < 0) {
      inLine = false;
      continue;
    }
    ink.any = true;
    ink.l = std::min(ink.l, rowL), ink.r = std::max(ink.r, rowR);
    ink.t = std::min(ink.t, y), ink.b = std::max(ink.b, y);
    if (!inLine) ink.lines.push_back({y, y, rowL, rowR});
    Ink::Line& line = ink.lines.back();
    line.bottom = y, line.left = std::min(line.left, rowL), line.right = std::max(line.right, rowR);
    inLine = true;
  }
  return ink;
}

// Left, right or centred as aligned (0, 1, 2), and centred from top to bottom.
void CheckCaption(const Ink& ink, const TRect& box, int alignment, const std::string& name, bool wraps) {
  ASSERT_TRUE(ink.any) << name << ": no caption drawn";
  if (wraps) { EXPECT_GE(ink.lines.size(), 2u) << name << ": the caption does not wrap"; }
  bool ragged = false;  // a line short of the other side, which tells the alignments apart
  for (const Ink::Line& line : ink.lines) {
    const int before = line.left - box.Left, after = box.Right - 1 - line.right;
    const std::string where = name + ": a line from " + std::to_string(before) + " to " +
                              std::to_string(after) + " pixels from the sides";
    switch (alignment) {
      case 0:
        EXPECT_LE(before, 3) << where << " is not at the left";
        ragged = ragged || after > before + 6;
        break;
      case 1:
        EXPECT_LE(after, 3) << where << " is not at the right";
        ragged = ragged || before > after + 6;
        break;
      default:
        EXPECT_LE(std::abs(before - after), 3) << where << " is not centred";
        ragged = true;
        break;
    }
  }
  EXPECT_TRUE(ragged) << name << ": every line fills the width";
  const int above = ink.t - box.Top, below = box.Bottom - 1 - ink.b;
  EXPECT_LE(std::abs(above - below), 5)
      << name << ": " << above << " rows above the caption and " << below << " below: not centred";
}

TEST(RenderSheet, EveryKindShapeAlignmentAndTexture) {
  Sheet sheet;
  sheet.scene.BGColor = kPage;
  std::vector<int> shapes[2];  // the objects of each shape, plain then antialiased
  // Frame kinds and shapes, plain, then antialiased.
  for (bool aa : {false, true}) {
    for (int shape = 0; shape <= 22; ++shape) {
      shapes[aa].push_back(sheet.scene.Count());
      TZLMButton& o = sheet.Add((aa ? "AA " : "Kind ") + std::to_string(shape), shape);
      o.Style->IsAntialiased = aa;
      if (shape == 7 || shape == 8) o.Style->PenWidth = 6;  // the rings' width
    }
    sheet.NewRow();
  }
  // Every texture layout on frame kind 0, a rounded rectangle and a star; then a keyed
  // texture in each layout over a bevelled frame.
  XImageCacheObject* plain = Texture(sheet.cache, "plain", false);
  XImageCacheObject* keyed = Texture(sheet.cache, "keyed", true);
  const char* modes[] = {"", "Stretched", "Tiled", "Centered", "Bilinear", "Skin"};
  struct Textured {
    int index, shape, mode;
  };
  std::vector<Textured> textured, keyedObjects;
  for (int shape : {0, 5, 17}) {
    for (int mode = 1; mode <= 5; ++mode) {
      textured.push_back({sheet.scene.Count(), shape, mode});
      TZLMButton& o = sheet.Add(modes[mode], shape);
      o.Style->Texture = plain;
      o.Style->TextureMode = mode;
      o.Style->Font->Color = 0xFFFFFF;
    }
  }
  for (int mode = 1; mode <= 5; ++mode) {
    keyedObjects.push_back({sheet.scene.Count(), 1, mode});
    TZLMButton& o = sheet.Add(std::string("Keyed ") + modes[mode], 1);
    o.Style->Texture = keyed;
    o.Style->TextureMode = mode;
  }
  // A transparent style over the objects drawn before it, and one antialiased.
  const int transparent = sheet.scene.Count();
  {
    TZLMButton& o = sheet.Add("Transparent", 5, 2);
    o.Style->IsTransparent = true;
    o.Style->Texture = plain;  // not drawn
    OffsetRect(o.Bounds, -kCellW / 2, -kCellH / 2);
    TZLMButton& a = sheet.Add("Transparent AA", 6, 1);
    a.Style->IsTransparent = true;
    a.Style->IsAntialiased = true;
  }
  sheet.NewRow();
  // Wrapped captions in each alignment, plain and antialiased; the last overflows its box.
  const char* text = "A longer caption that wraps over several lines, in each alignment";
  const int firstCaption = sheet.scene.Count();
  for (bool aa : {false, true})
    for (int align = 0; align < 3; ++align) {
      TZLMButton& o = sheet.Add(text, 1, 2);
      o.Style->Alignment = int8_t(align);
      o.Style->IsAntialiased = aa;
    }
  const int overIndex = sheet.scene.Count();
  TZLMButton& over = sheet.Add(std::string(text) + " and is too tall for its box", 4, 1);
  over.Style->PenWidth = 1;
  over.Style->Font->SetHeight(-16);
  ZButtonList& scene = sheet.scene;

  auto render = [&](TBitmap& page) {
    TRegionList region = nullptr;
    RegionSet(region, 0, 0, kPageW, kPageH);
    RenderScene(scene, page, region);
    RegionClear(region);
  };
  TBitmap page(kPageW, kPageH, pf32bit);
  render(page);
  EXPECT_TRUE(over.TextFilled);
  EXPECT_FALSE(scene.Button(0)->TextFilled);
  // The same without captions, and without the transparent objects: what lies under them.
  TBitmap bare(kPageW, kPageH, pf32bit), under(kPageW, kPageH, pf32bit);
  for (int i = 0; i < scene.Count(); ++i) scene.Button(i)->HideText = true;
  render(bare);
  for (int i : {transparent, transparent + 1}) OffsetRect(scene.Button(i)->Bounds, 2 * kPageW, 0);
  render(under);
  for (int i : {transparent, transparent + 1}) OffsetRect(scene.Button(i)->Bounds, -2 * kPageW, 0);

  TempDir dir;
  const char* env = std::getenv("ZELMORA_SHEET");
  const std::string path = env ? env : dir.File("render-sheet.png");
  XImage out;
  out.Assign(&page);
  out.SetPixelFormat(pf24bit);
  out.SaveToFile(path);
  // A change detector only, for a person comparing two builds; the checks below decide.
  std::printf("render sheet: %s, checksum %llu\n", path.c_str(), (unsigned long long)Fnv1a(page));

  // Frame kinds and shapes.
  for (int aa = 0; aa < 2; ++aa)
    for (int shape = 0; shape <= 22; ++shape) {
      SCOPED_TRACE(std::string(aa ? "antialiased " : "plain ") + "shape " + std::to_string(shape));
      CheckShape(Probe(bare, scene, shapes[aa][size_t(shape)], aa ? 4 : 0), shape);
    }
  // Antialiasing averages 2 x 2 pixels with their two low bits cleared: a frame, drawn at the
  // plain size and doubled, keeps its colours less those bits.
  {
    Probe plainFrame(bare, scene, shapes[0][1], 0), aaFrame(bare, scene, shapes[1][1], 0);
    plainFrame.Is(plainFrame.cx, plainFrame.T + 1, kC3, "inner highlight");
    aaFrame.Is(aaFrame.cx, aaFrame.T, kC4 & 0xFCFCFC, "antialiased outer highlight");
    aaFrame.Is(aaFrame.cx, aaFrame.T + 1, kC3 & 0xFCFCFC, "antialiased inner highlight");
  }

  // Textures: the texture's own pixels in each layout, inside the outline only.
  const XImage& tex = *plain->Image;
  std::set<TColor> texColours;
  int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
  for (int y = 0; y < tex.Height(); ++y)
    for (int x = 0; x < tex.Width(); ++x) {
      TColor c = At(tex, x, y);
      texColours.insert(c);
      for (int i = 0; i < 3; ++i)
        lo[i] = std::min(lo[i], Channel(c, i)), hi[i] = std::max(hi[i], Channel(c, i));
    }
  auto ofTexture = [&](TColor c, bool exact) {
    if (exact) return texColours.count(c) > 0;
    // The bilinear blitter's weights are 255 - f and f: a flat colour may lose two units.
    for (int i = 0; i < 3; ++i)
      if (Channel(c, i) < lo[i] - 2 || Channel(c, i) > hi[i]) return false;
    return true;
  };
  for (const Textured& t : textured) {
    Probe p(bare, scene, t.index, 0);
    SCOPED_TRACE(p.name + " " + modes[t.mode]);
    const bool exact = t.mode <= 3;  // nearest samples; the bilinear layouts blend neighbours
    const int tw = tex.Width(), th = tex.Height();
    const int x0 = (p.w - tw) >> 1, y0 = (p.h - th) >> 1;
    auto expectTexture = [&](int x, int y, const char* what) {
      if (p.Covered(x, y)) return;
      EXPECT_TRUE(ofTexture(At(bare, x, y), exact)) << p.Where(what, x, y) << ", not of the texture";
    };
    if (t.mode == 3) expectTexture(p.L + x0 + tw / 2, p.T + y0 + th / 2, "middle");
    else expectTexture(p.cx, p.cy, "middle");
    if (t.shape == 0) {
      // Frame kind 0: the texture covers the whole object (the centred one only its middle).
      int wrong = 0;
      std::string first;
      for (int y = p.T; y < p.B; ++y)
        for (int x = p.L; x < p.R; ++x) {
          if (p.Covered(x, y)) continue;
          const TColor c = At(bare, x, y);
          const int i = x - p.L, j = y - p.T;
          bool right;
          if (t.mode == 2) {
            right = c == At(tex, i % tw, j % th);
          } else if (t.mode == 3) {
            const bool inside = i >= x0 && i < x0 + tw && j >= y0 && j < y0 + th;
            right = c == (inside ? At(tex, i - x0, j - y0) : kPage);
          } else {
            right = ofTexture(c, exact);
          }
          if (!right && !wrong++) first = p.Where("the first", x, y);
        }
      EXPECT_EQ(wrong, 0) << first << ": pixels not of the texture as laid out";
      // The texture's corners at the object's corners (the skin's through the bilinear path).
      if (t.mode == 1 || t.mode == 5) {
        const int tol = t.mode == 5 ? 2 : 0;
        EXPECT_TRUE(Close(At(bare, p.L, p.T), At(tex, 0, 0), tol)) << p.Where("corner", p.L, p.T);
        EXPECT_TRUE(Close(At(bare, p.R - 1, p.T), At(tex, tw - 1, 0), tol))
            << p.Where("corner", p.R - 1, p.T);
        EXPECT_TRUE(Close(At(bare, p.R - 1, p.B - 1), At(tex, tw - 1, th - 1), tol))
            << p.Where("corner", p.R - 1, p.B - 1);
      }
    } else {
      // Cut to the outline: the round corners and the star's gaps show the page.
      p.Corners(true);
      if (t.shape == 17) p.Page(p.X(-0.6), p.Y(-0.6), "between the points");
      else p.Page(p.L + 2, p.T + 2, "round corner");
      if (t.mode == 3) p.Page(p.L + 20, p.cy, "beside the centred texture");
    }
  }
  // A keyed texture leaves its key out: the page shows where the key was. (The bilinear
  // layouts test the key on the upper-left sample only, so their edges blend some of it in.)
  const XImage& ktex = *keyed->Image;
  for (const Textured& t : keyedObjects) {
    Probe p(bare, scene, t.index, 0);
    SCOPED_TRACE(p.name + " keyed " + modes[t.mode]);
    if (t.mode > 3) {
      p.Is(p.cx, p.T, kC4, "bevel over the texture");
      continue;
    }
    int magenta = 0;
    for (int y = p.T; y < p.B; ++y)
      for (int x = p.L; x < p.R; ++x)
        if (!p.Covered(x, y) && Close(At(bare, x, y), kMagenta, 40)) ++magenta;
    EXPECT_EQ(magenta, 0) << p.name << ": the key colour is drawn";
    p.Is(p.cx, p.T, kC4, "bevel over the texture");
    p.Is(p.cx, p.B - 1, kC1, "bevel over the texture");
    if (t.mode == 2) {
      p.Page(p.L + 12, p.T + 12, "key");
      p.Is(p.L + 4, p.T + 4, At(ktex, 4, 4), "tile");
    }
    if (t.mode == 1) p.Page(p.cx, p.cy, "key");
  }
  // A plain face shows no texture, and a textured one no face.
  for (const Textured& t : textured) {
    Probe p(bare, scene, t.index, 0);
    EXPECT_NE(At(bare, p.cx, p.cy), kFace) << p.name << ": the face colour where the texture lies";
  }

  // Transparent styles draw neither texture nor fill: inside the outline, what lies under them.
  for (int i : {transparent, transparent + 1}) {
    Probe p(bare, scene, i, 0);
    const bool ellipse = scene.Button(i)->Style->Shape == 6;
    int differ = 0;
    for (int y = p.T + 10; y < p.B - 10; ++y)
      for (int x = p.L + 10; x < p.R - 10; ++x) {
        if (ellipse) {
          double dx = double(x - p.cx) / (p.w / 2), dy = double(y - p.cy) / (p.h / 2);
          if (dx * dx + dy * dy > 0.6) continue;
        }
        if (At(bare, x, y) != At(under, x, y)) ++differ;
      }
    EXPECT_EQ(differ, 0) << p.name << ": pixels inside that are not the page under it";
    p.Near(p.cx, p.T + 1, kOutline, 2, "outline");
  }

  // Captions: in their alignment, centred from top to bottom, and nowhere outside their objects.
  for (int i = 0; i < scene.Count(); ++i) {
    if (i == overIndex) continue;
    TZLMButton* o = scene.Button(i);
    const Ink ink = FindInk(page, bare, o->Bounds);
    if (i == transparent) continue;  // drawn over other objects' captions
    CheckCaption(ink, o->Bounds, o->Style->Alignment, "object " + std::to_string(i) + " \"" + o->Text + "\"",
                 i >= firstCaption);
  }
  {
    // Taller than its box: it starts above the box, so it fills the box from top to bottom.
    const Ink ink = FindInk(page, bare, over.Bounds);
    ASSERT_TRUE(ink.any);
    EXPECT_LE(ink.t - over.Bounds.Top, 2);
    EXPECT_LE(over.Bounds.Bottom - 1 - ink.b, 3);
  }
  int outside = 0;
  for (int y = 0; y < kPageH; ++y)
    for (int x = 0; x < kPageW; ++x) {
      if (At(page, x, y) == At(bare, x, y)) continue;
      bool inObject = false;
      for (int i = 0; i < scene.Count() && !inObject; ++i) {
        const TRect& r = scene.Button(i)->Bounds;
        inObject = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
      }
      if (!inObject) ++outside;
    }
  EXPECT_EQ(outside, 0) << "caption pixels outside their objects";
}

}  // namespace
