// Layout of the page slicer: a 100 x 100 grid and a page of 60 scattered objects.
#include <benchmark/benchmark.h>

#include <random>

#include "engine/TTableMaker.h"

static void BM_Layout100x100(benchmark::State& state) {
  for (auto _ : state) {
    TTableMaker m(2000, 2000);
    // 49 objects on the diagonal band give 100 edges per axis, all of them free to merge.
    for (int i = 0; i < 49; ++i)
      m.AddTableObject(10 + i * 40, 10 + i * 40, 30 + i * 40, 30 + i * 40, "", "", taLeftJustify,
                       taLeftJustify);
    m.LayoutTable();
    benchmark::DoNotOptimize(m.Cell(0, 0).ColSpan);
  }
}
BENCHMARK(BM_Layout100x100)->Unit(benchmark::kMillisecond);

static void BM_Layout60Scattered(benchmark::State& state) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> pos(0, 1000), size(10, 200);
  for (auto _ : state) {
    TTableMaker m(1024, 1024);
    for (int i = 0; i < 60; ++i) {
      int x = pos(rng), y = pos(rng);
      m.AddTableObject(x, y, x + size(rng), y + size(rng), "", "", taLeftJustify, taLeftJustify);
    }
    m.LayoutTable();
    benchmark::DoNotOptimize(m.BuildTableHTML());
  }
}
BENCHMARK(BM_Layout60Scattered)->Unit(benchmark::kMillisecond);
