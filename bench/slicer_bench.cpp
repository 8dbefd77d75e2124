// Layout of the page slicer: a 100 x 100 grid and a page of 60 scattered objects; the whole
// site build of a page of many small objects (layout, drawing, slices written, markup).
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

#include "POP/PopBitmap.h"
#include "engine/RegionRect.h"
#include "engine/TPageBuilder.h"
#include "engine/TTableMaker.h"
#include "engine/XImage.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"

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

// The peak resident size of the process from here on (VmHWM after clear_refs 5), in MB.
class TPeakMemory {
 public:
  TPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
    FBefore = Field("VmRSS:");
  }
  double RiseMB() const { return double(Field("VmHWM:") - FBefore) / (1024.0 * 1024.0); }

 private:
  static int64_t Field(const char* name) {
    std::ifstream f("/proc/self/status");
    for (std::string line; std::getline(f, line);)
      if (line.rfind(name, 0) == 0) return std::atoll(line.c_str() + std::strlen(name)) * 1024;
    return 0;
  }
  int64_t FBefore = 0;
};

// A site built as the page-builder command builds it: the layout, the page drawn without the
// captions that went into the markup, the slices written into a site folder, the markup.
// Counters: the grid and the peak memory's rise.
void BuildSite(benchmark::State& state, ZButtonList& scene, int width, int height) {
  const std::string site =
      (std::filesystem::temp_directory_path() / ("zelmora-slicer-bench-" + std::to_string(getpid())))
          .string();
  scene.Page->SetSize(width, height);
  const TRect area(0, 0, width, height);
  int rows = 0, cols = 0;
  double peakMB = 0;
  for (auto _ : state) {
    std::filesystem::remove_all(site);
    std::filesystem::create_directories(site);
    TPeakMemory peak;
    TPageTable table = BuildPageTable(
        scene, area, [](const std::string& s) { return s; }, true);
    TRegionList regions = nullptr;
    RegionInit(regions);
    RegionSet(regions, 0, 0, width, height);
    RenderScene(scene, *scene.Page, regions);
    RegionClear(regions);
    XImage image;
    BitmapSnagIt(image, *scene.Page, area);
    table.Maker->SliceImages(image, site);
    benchmark::DoNotOptimize(BuildPageHTML(*table.Maker, scene, scene.BGColor).size());
    ShowCaptions(table.Hidden);
    rows = table.Maker->Rows;
    cols = table.Maker->Cols;
    peakMB = std::max(peakMB, peak.RiseMB());
  }
  std::filesystem::remove_all(site);
  ReportGrid(state, rows, cols);
  state.counters["peakMB"] = peakMB;
}

// N small captioned buttons in rows of 100 (22 x 18 pixels, 2 apart), as a large menu page
// would be.
void BM_SiteOfSmallObjects(benchmark::State& state) {
  const int objects = int(state.range(0)), perRow = 100;
  ZButtonList scene;
  for (int i = 0; i < objects; ++i) {
    const int x = (i % perRow) * 24, y = (i / perRow) * 20;
    new TZLMButton("B" + std::to_string(i), &scene, TRect(x, y, x + 22, y + 18), "page.htm");
  }
  BuildSite(state, scene, perRow * 24, (objects + perRow - 1) / perRow * 20);
}
BENCHMARK(BM_SiteOfSmallObjects)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// N buttons of 6 x 6 pixels staggered down the page's diagonal, each 4 pixels on from the one
// before, so that they overlap their neighbours and every edge is a grid line of its own: a
// grid of 2N x 2N cells.
void BM_SiteOfStaggeredObjects(benchmark::State& state) {
  const int objects = int(state.range(0));
  ZButtonList scene;
  for (int i = 0; i < objects; ++i)
    new TZLMButton("", &scene, TRect(i * 4, i * 4, i * 4 + 6, i * 4 + 6), "page.htm");
  BuildSite(state, scene, objects * 4 + 2, objects * 4 + 2);
}
BENCHMARK(BM_SiteOfStaggeredObjects)->Arg(500)->Arg(1000)->Arg(1500)->Unit(benchmark::kMillisecond);

}  // namespace
