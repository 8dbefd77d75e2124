// Layout of the page slicer: a 100 x 100 grid and a page of 60 scattered objects.
#include <benchmark/benchmark.h>
#include <random>

#include "engine/TTableMaker.h"

namespace {

void ReportGrid(benchmark::State& state, int rows, int cols) {
  state.counters["rows"] = rows;
  state.counters["cols"] = cols;
}

// 50 small squares on the diagonal, the first at the page corner: 101 edges per axis, so a
// grid of 100 x 100 cells, nearly all of them page cells free to merge into large blocks.
void BM_Layout100x100(benchmark::State& state) {
  int rows = 0, cols = 0;
  for (auto _ : state) {
    TTableMaker m(2000, 2000);
    for (int i = 0; i < 50; ++i)
      m.AddTableObject(i * 40, i * 40, 20 + i * 40, 20 + i * 40, "", "", taLeftJustify, taLeftJustify);
    m.LayoutTable();
    benchmark::DoNotOptimize(m.Cell(0, 0).ColSpan);
    rows = m.Rows;
    cols = m.Cols;
  }
  ReportGrid(state, rows, cols);
}
BENCHMARK(BM_Layout100x100)->Unit(benchmark::kMillisecond);

// 60 overlapping objects at random places, some reaching past the page; the same scene on
// every run.
void BM_Layout60Scattered(benchmark::State& state) {
  int rows = 0, cols = 0;
  for (auto _ : state) {
    TTableMaker m(1024, 1024);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> pos(0, 1000), size(10, 200);
    for (int i = 0; i < 60; ++i) {
      int x = pos(rng), y = pos(rng);
      m.AddTableObject(x, y, x + size(rng), y + size(rng), "", "", taLeftJustify, taLeftJustify);
    }
    m.LayoutTable();
    benchmark::DoNotOptimize(m.Cell(0, 0).ColSpan);
    rows = m.Rows;
    cols = m.Cols;
  }
  ReportGrid(state, rows, cols);
}
BENCHMARK(BM_Layout60Scattered)->Unit(benchmark::kMillisecond);

}  // namespace
