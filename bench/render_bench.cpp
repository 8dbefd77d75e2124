// The button renderer: one antialiased, textured 200 x 60 button, and a whole 1024 x 768
// page of 50 mixed objects.
#include <benchmark/benchmark.h>
#include <cstring>
#include <random>

#include "engine/XBlend.h"
#include "engine/XImageCache.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"

namespace {

// A 32 x 32 texture of smooth ramps, loaded as far as the cache is concerned.
XImageCacheObject* MakeTexture(XImageCache& cache, const std::string& name, bool keyed) {
  XImageCacheObject* e = cache.GetEntry(name);
  XImage& img = *e->Image;
  img.SetSize(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      uint32_t v = MakePixel(40 + 6 * x, 60 + 5 * y, 220 - 3 * (x + y), 255);
      if (keyed && (x + y) % 7 == 0) v = 0xFFFF00FF;
      std::memcpy(img.ScanLine(y) + 4 * x, &v, 4);
    }
  if (keyed) {
    img.SetTransparent(true);
    img.SetTransparentColor(0xFF00FF);
  }
  e->Loaded = true;
  return e;
}

void Styled(TZLMButton& o, int shape) {
  ZStyle& s = *o.Style;
  s.Shape = int8_t(shape);
  s.Color0 = 0xF0C890;
  s.Color5 = 0x800000;
  s.PenWidth = 2;
  s.CurveSize = 16;
  s.Font->Name = "Arial";
  s.Font->SetHeight(-14);
}

void BM_AntialiasedTexturedButton(benchmark::State& state) {
  ZButtonList scene;
  XImageCache cache;
  auto* o = new TZLMButton("Click here", &scene, Rect(20, 20, 220, 80), "");
  Styled(*o, 5);
  o->Style->IsAntialiased = true;
  o->Style->Texture = MakeTexture(cache, "t", false);
  o->Style->TextureMode = 4;
  TBitmap page(240, 100, pf32bit);
  TRegionList region = nullptr;
  RegionSet(region, 0, 0, 240, 100);
  for (auto _ : state) {
    RenderButton(*o, page, region);
    benchmark::ClobberMemory();
  }
  RegionClear(region);
}
BENCHMARK(BM_AntialiasedTexturedButton)->Unit(benchmark::kMillisecond);

void BM_PageOf50Objects(benchmark::State& state) {
  ZButtonList scene;
  XImageCache cache;
  XImageCacheObject* textures[] = {MakeTexture(cache, "a", false), MakeTexture(cache, "b", true)};
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> x(0, 900), y(0, 700), w(40, 260), h(20, 90);
  for (int i = 0; i < 50; ++i) {
    int l = x(rng), t = y(rng);
    auto* o = new TZLMButton("Button " + std::to_string(i), &scene, Rect(l, t, l + w(rng), t + h(rng)), "");
    Styled(*o, i % 23);
    ZStyle& s = *o->Style;
    s.IsAntialiased = i % 3 == 0;
    s.IsTransparent = i % 11 == 5;
    s.Alignment = int8_t(i % 3);
    if (i % 2 == 0) {
      s.Texture = textures[i % 4 == 0];
      s.TextureMode = 1 + i % 5;
    }
  }
  TBitmap page(1024, 768, pf32bit);
  TRegionList region = nullptr;
  RegionSet(region, 0, 0, 1024, 768);
  for (auto _ : state) {
    RenderScene(scene, page, region);
    benchmark::ClobberMemory();
  }
  RegionClear(region);
}
BENCHMARK(BM_PageOf50Objects)->Unit(benchmark::kMillisecond);

}  // namespace
