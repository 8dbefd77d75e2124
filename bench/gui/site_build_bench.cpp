// Build web site of a page of many small linked objects (300 a row on the largest page), in
// the main window against the engine doing the same work alone: the table, the page drawn
// without the captions that went into the markup, the slices and the page written.
//   bench_site_build [--objects=N] [google-benchmark flags]
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>

#include "POP/PopBitmap.h"
#include "POP/PopFastINI.h"
#include "POP/PopStrUtils.h"
#include "POP/PopTypes.h"
#include "app/AppEnvironment.h"
#include "app/Unitmain.h"
#include "app/forms/Unitpleasewait.h"
#include "engine/RegionRect.h"
#include "engine/TPageBuilder.h"
#include "engine/XImage.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"
#include "platform/gui/QtServices.h"

namespace {

int gObjects = 10000;
std::string gHome, gProject;
constexpr int kPerRow = 300, kPage = 8192;

// The site's name is given, the overwrite question answered Yes, the browser is not started;
// any other box names itself and stops the bench instead of waiting for a user.
class TBenchServices : public TServices {
 public:
  explicit TBenchServices(TServices& real) : FReal(real) {}
  int MessageBox(const std::string& text, const std::string& caption, uint32_t) override {
    if (text.find("already exists") != std::string::npos) return IDYES;
    // The lost links and mended snippets are told after the build: not part of a fault.
    if (text.rfind("Some links are not in the web site", 0) == 0) return IDOK;
    fprintf(stderr, "bench_site_build: the program asked a question, which no bench answers:\n%s: %s\n",
            caption.c_str(), text.c_str());
    std::_Exit(2);
  }
  bool InputBox(const std::string&, const std::string&, std::string& value) override {
    value = "big";
    return true;
  }
  void Beep() override {}
  bool OpenUrl(const std::string&) override { return true; }
  bool Launch(const std::vector<std::string>&) override { return true; }
  void SetBusyCursor(bool busy) override { FReal.SetBusyCursor(busy); }
  void ScreenSize(int& width, int& height) override { FReal.ScreenSize(width, height); }
  void PaintWhileWaiting() override { FReal.PaintWhileWaiting(); }
  void ProcessMessages() override { FReal.ProcessMessages(); }
  void WorkArea(int& left, int& top, int& width, int& height) override {
    FReal.WorkArea(left, top, width, height);
  }

 private:
  TServices& FReal;
};

TRect ObjectRect(int i) {
  const int x = (i % kPerRow) * 27 + 1, y = (i / kPerRow) * 24 + 1;
  return {x, y, x + 23, y + 19};
}

void WriteProject(const std::string& name, int objects) {
  ZButtonList scene;
  for (int i = 0; i < objects; ++i)
    new TZLMButton("B" + std::to_string(i), &scene, ObjectRect(i), "l" + std::to_string(i) + ".htm");
  TINIDocument doc;
  doc.WriteInteger("Heading", "ProjectWidth", kPage);
  doc.WriteInteger("Heading", "ProjectHeight", kPage);
  scene.SaveToINI(doc);
  doc.SaveToFile(name);
}

void ReportFiles(benchmark::State& state, const std::string& site) {
  std::error_code ec;
  int64_t files = 0, bytes = 0;
  for (const auto& e : std::filesystem::directory_iterator(site, ec)) {
    ++files;
    bytes += int64_t(e.file_size(ec));
  }
  state.counters["files"] = double(files);
  state.counters["MB"] = double(bytes) / (1024.0 * 1024.0);
}

// The engine alone: the same scene, the same page, the same files.
void BM_EngineBuildSite(benchmark::State& state) {
  ZButtonList scene;
  for (int i = 0; i < gObjects; ++i)
    new TZLMButton("B" + std::to_string(i), &scene, ObjectRect(i), "l" + std::to_string(i) + ".htm");
  scene.Page->SetSize(kPage, kPage);
  const std::string site = gHome + "/engine-site";
  const TRect area = RectIntersection(scene.GetBounds(true), TRect(0, 0, kPage, kPage));
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(site);
    std::filesystem::create_directories(site);
    state.ResumeTiming();
    TPageTable table = BuildPageTable(
        scene, area, [](const std::string& s) { return s; }, true);
    TRegionList regions = nullptr;
    RegionSet(regions, 0, 0, kPage, kPage);
    RenderScene(scene, *scene.Page, regions);
    RegionClear(regions);
    XImage image;
    BitmapSnagIt(image, *scene.Page, area);
    table.Maker->SliceImages(image, site);
    StringSaveToFile(BuildPageHTML(*table.Maker, scene, scene.BGColor), site + "/index.htm");
    ShowCaptions(table.Hidden);
  }
  ReportFiles(state, site);
}

// The window's command, over a site that is there from the run before (the user's second
// build), as the user waits for it.
void BM_WindowBuildSite(benchmark::State& state) {
  TFormMain w;
  w.CommandLine = {gProject};
  w.show();
  QCoreApplication::processEvents();
  w.LoadProject(gProject, false);
  w.RedrawScene(true);
  QCoreApplication::processEvents();
  for (auto _ : state) {
    w.MIHTMLPageBuilderClick(nullptr);
    QCoreApplication::processEvents();
  }
  ReportFiles(state, gHome + "/Sites/big");
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).rfind("--objects=", 0) == 0) gObjects = std::atoi(argv[i] + 10);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);

  // A program folder of its own, a copy of the shipped files, gone afterwards.
  char tmpl[] = "/tmp/zelmora-bench-XXXXXX";
  gHome = mkdtemp(tmpl);
  std::filesystem::copy(ZELMORA_DATA, gHome, std::filesystem::copy_options::recursive);
  setenv("ZELMORA_HOME", gHome.c_str(), 1);
  setenv("ZELMORA_CONFIG", (gHome + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (gHome + "/xdg-data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (gHome + "/xdg-config").c_str(), 1);
  gProject = gHome + "/big.zlm";
  WriteProject(gProject, gObjects);

  InstallQtServices();
  static TBenchServices services(Services());
  SetServices(&services);
  InitEnvironment();
  ApplicationTitle() = "Varnholt Zelmora";
  FormPleaseWait = new TFormPleaseWait;
  SetWaitIndicator(FormPleaseWait);

  const std::string n = std::to_string(gObjects);
  benchmark::RegisterBenchmark(("EngineBuildSite/" + n).c_str(), BM_EngineBuildSite)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(2);
  benchmark::RegisterBenchmark(("WindowBuildSite/" + n).c_str(), BM_WindowBuildSite)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(2);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  SetWaitIndicator(nullptr);
  delete FormPleaseWait;
  ReleaseEnvironment();
  std::filesystem::remove_all(gHome);
}
