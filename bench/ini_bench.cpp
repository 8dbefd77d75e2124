// Loading and saving a project-sized INI document: 2,000 sections of 40 keys.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>

#include "POP/PopFastINI.h"

static std::string ProjectText() {
  std::string text;
  for (int s = 0; s < 2000; ++s) {
    text += "[Button" + std::to_string(s) + "]\r\n";
    for (int k = 0; k < 40; ++k)
      text += "Key" + std::to_string(k) + "=value of key " + std::to_string(k) + "\r\n";
  }
  return text;
}

static void BM_LoadProject(benchmark::State& state) {
  std::string text = ProjectText();
  for (auto _ : state) {
    TINIDocument doc;
    doc.LoadFromString(text);
    benchmark::DoNotOptimize(doc.SectionCount());
  }
}
BENCHMARK(BM_LoadProject)->Unit(benchmark::kMillisecond);

static void BM_SaveProject(benchmark::State& state) {
  TINIDocument doc;
  doc.LoadFromString(ProjectText());
  std::string path = "/tmp/zelmora-bench.ini";
  for (auto _ : state) doc.SaveToFile(path);
  std::remove(path.c_str());
}
BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond);

static void BM_ReadEveryKey(benchmark::State& state) {
  TINIDocument doc;
  doc.LoadFromString(ProjectText());
  for (auto _ : state)
    for (int s = 0; s < 2000; ++s)
      benchmark::DoNotOptimize(doc.ReadString("button" + std::to_string(s), "KEY39", ""));
}
BENCHMARK(BM_ReadEveryKey)->Unit(benchmark::kMillisecond);
