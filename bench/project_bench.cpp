// Saving and loading a project of 2,000 page objects through the INI document.
#include <benchmark/benchmark.h>

#include "POP/PopFastINI.h"
#include "engine/XZLMButton.h"

static void Fill(ZButtonList& scene) {
  for (int i = 0; i < 2000; ++i)
    new TZLMButton("Button " + std::to_string(i), &scene, Rect(i, i, i + 80, i + 24), "page.htm");
}

static void BM_SaveProject2000(benchmark::State& state) {
  ZButtonList scene;
  Fill(scene);
  for (auto _ : state) {
    TINIDocument doc;
    scene.SaveToINI(doc);
    benchmark::DoNotOptimize(doc.AsString());
  }
}
BENCHMARK(BM_SaveProject2000)->Unit(benchmark::kMillisecond);

static void BM_LoadProject2000(benchmark::State& state) {
  ZButtonList scene;
  Fill(scene);
  TINIDocument doc;
  scene.SaveToINI(doc);
  std::string text = doc.AsString();
  for (auto _ : state) {
    TINIDocument d;
    d.LoadFromString(text);
    ZButtonList back;
    back.ReplaceFromINI(d);
    benchmark::DoNotOptimize(back.Count());
  }
}
BENCHMARK(BM_LoadProject2000)->Unit(benchmark::kMillisecond);
