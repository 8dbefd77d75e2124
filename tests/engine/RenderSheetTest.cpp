// A sheet of every frame kind and shape, plain and antialiased, captions in each alignment
// and a texture in each layout, rendered as the editing surface does. The picture is written
// for a person to look at (ZELMORA_SHEET names the file, else the test's temporary folder),
// and its checksum is pinned so that an unintended change to any drawing path shows here.
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "engine/XBlend.h"
#include "engine/XImageCache.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"

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

TEST(RenderSheet, EveryKindShapeAlignmentAndTexture) {
  Sheet sheet;
  sheet.scene.BGColor = 0xE8F0F0;
  // Frame kinds and shapes, plain, then antialiased.
  for (bool aa : {false, true}) {
    for (int shape = 0; shape <= 22; ++shape) {
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
  for (int shape : {0, 5, 17}) {
    for (int mode = 1; mode <= 5; ++mode) {
      TZLMButton& o = sheet.Add(modes[mode], shape);
      o.Style->Texture = plain;
      o.Style->TextureMode = mode;
      o.Style->Font->Color = 0xFFFFFF;
    }
  }
  for (int mode = 1; mode <= 5; ++mode) {
    TZLMButton& o = sheet.Add(std::string("Keyed ") + modes[mode], 1);
    o.Style->Texture = keyed;
    o.Style->TextureMode = mode;
  }
  // A transparent style over the objects drawn before it, and one antialiased.
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
  const char* text = "A longer caption that wraps over several lines";
  for (bool aa : {false, true})
    for (int align = 0; align < 3; ++align) {
      TZLMButton& o = sheet.Add(text, 1, 2);
      o.Style->Alignment = int8_t(align);
      o.Style->IsAntialiased = aa;
    }
  TZLMButton& over = sheet.Add(std::string(text) + " and is too tall for its box", 4, 1);
  over.Style->PenWidth = 1;
  over.Style->Font->SetHeight(-16);

  TBitmap page(kPageW, kPageH, pf32bit);
  TRegionList region = nullptr;
  RegionSet(region, 0, 0, kPageW, kPageH);
  RenderScene(sheet.scene, page, region);
  RegionClear(region);
  EXPECT_TRUE(over.TextFilled);
  EXPECT_FALSE(sheet.scene.Button(0)->TextFilled);

  const char* env = std::getenv("ZELMORA_SHEET");
  std::string path = env ? env : testing::TempDir() + "render-sheet.png";
  XImage out;
  out.Assign(&page);
  out.SetPixelFormat(pf24bit);
  out.SaveToFile(path);
  std::printf("render sheet: %s\n", path.c_str());

  EXPECT_EQ(Fnv1a(page), 8583015310909864845ull) << "the sheet changed: look at " << path;
}

}  // namespace
