// The large page in the main window against the engine doing the same work alone: opening a
// page of 10,000 objects (read, parse, render), deleting one object, saving it. The window's
// figure is what the user waits for; the engine's is the floor it can come down to.
//   bench_large_page [--objects=N] [google-benchmark flags]
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>

#include "POP/PopFastINI.h"
#include "POP/PopForms.h"
#include "app/AppEnvironment.h"
#include "app/Unitmain.h"
#include "app/forms/Unitpleasewait.h"
#include "app/forms/Unitsplash.h"
#include "engine/RegionRect.h"
#include "engine/XImage.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"
#include "platform/gui/QtServices.h"

namespace {

int gObjects = 10000;
std::string gHome, gProject, gSaved;

// A page of small buttons in rows, each with its caption, as a large menu page would be.
void WriteLargeProject(const std::string& name, int objects) {
  ZButtonList scene;
  const int perRow = 100;
  for (int i = 0; i < objects; ++i) {
    int x = (i % perRow) * 24, y = (i / perRow) * 20;
    new TZLMButton("B" + std::to_string(i), &scene, TRect(x, y, x + 22, y + 18), "page.htm");
  }
  TINIDocument doc;
  doc.WriteInteger("Heading", "ProjectWidth", perRow * 24);
  doc.WriteInteger("Heading", "ProjectHeight", std::max(20, (objects + perRow - 1) / perRow * 20));
  scene.SaveToINI(doc);
  doc.SaveToFile(name);
}

// The window of every window benchmark; it ends before the application does.
std::unique_ptr<TFormMain> gWindow;

TFormMain& Window() {
  std::unique_ptr<TFormMain>& w = gWindow;
  if (!w) {
    w = std::make_unique<TFormMain>();
    w->CommandLine = {gProject};
    w->show();
    QCoreApplication::processEvents();
  }
  return *w;
}

// --- The engine alone ---

void BM_EngineOpen(benchmark::State& state) {
  for (auto _ : state) {
    TINIDocument doc(gProject);
    LoadProjectFile(doc, gProject);
    ZButtonList scene;
    scene.ReplaceFromINI(doc);
    scene.Page->SetSize(doc.ReadInteger("Heading", "ProjectWidth", 800),
                        doc.ReadInteger("Heading", "ProjectHeight", 800));
    TRegionList whole = nullptr;
    RegionSet(whole, 0, 0, scene.Page->Width(), scene.Page->Height());
    RenderScene(scene, *scene.Page, whole);
    RegionClear(whole);
    benchmark::DoNotOptimize(scene.Count());
  }
}

void BM_EngineDeleteOne(benchmark::State& state) {
  TINIDocument doc(gProject);
  LoadProjectFile(doc, gProject);
  ZButtonList scene;
  scene.ReplaceFromINI(doc);
  scene.Page->SetSize(2400, 2000);
  for (auto _ : state) {
    scene.SelectNone();
    scene.Button(scene.Count() / 2)->IsSelected = true;
    const TRect r = scene.Button(scene.Count() / 2)->Bounds;
    scene.DeleteSelected();
    TRegionList dirty = nullptr;
    RegionSet(dirty, r.Left - 2, r.Top - 2, r.Right + 2, r.Bottom + 2);
    RenderScene(scene, *scene.Page, dirty);
    RegionClear(dirty);
  }
}

void BM_EngineSave(benchmark::State& state) {
  TINIDocument src(gProject);
  LoadProjectFile(src, gProject);
  ZButtonList scene;
  scene.ReplaceFromINI(src);
  for (auto _ : state) {
    TINIDocument doc(gSaved);
    scene.SaveToINI(doc);
    doc.SaveToFile(gSaved);
  }
}

// --- The same in the window ---

void BM_WindowOpen(benchmark::State& state) {
  TFormMain& w = Window();
  for (auto _ : state) {
    w.LoadProject(gProject, true);
    QCoreApplication::processEvents();
  }
}

void BM_WindowDeleteOne(benchmark::State& state) {
  TFormMain& w = Window();
  w.LoadProject(gProject, false);
  w.RedrawScene(true);
  for (auto _ : state) {
    state.PauseTiming();
    w.Scene->SelectNone();
    w.SelectButton(w.Scene->Button(w.Scene->Count() / 2), false);
    QCoreApplication::processEvents();
    state.ResumeTiming();
    w.MenuItemDelete1Click(nullptr);
    QCoreApplication::processEvents();
  }
}

void BM_WindowSave(benchmark::State& state) {
  TFormMain& w = Window();
  w.LoadProject(gProject, false);
  w.ProjectFileName = gSaved;
  for (auto _ : state) {
    w.ChangeCount = 1;
    w.MISaveClick(nullptr);
    QCoreApplication::processEvents();
  }
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
  gProject = gHome + "/large.zlm";
  gSaved = gHome + "/saved.zlm";
  WriteLargeProject(gProject, gObjects);

  InstallQtServices();
  InitEnvironment();
  ApplicationTitle() = "Varnholt Zelmora";
  // The wait indicator and the splash window as the program installs them.
  FormPleaseWait = new TFormPleaseWait;
  SetWaitIndicator(FormPleaseWait);
  FormSplash = new TFormSplash;
  SetSplashProgress(FormSplash);

  const std::string n = std::to_string(gObjects);
  benchmark::RegisterBenchmark(("EngineOpen/" + n).c_str(), BM_EngineOpen)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark(("WindowOpen/" + n).c_str(), BM_WindowOpen)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark(("EngineDeleteOne/" + n).c_str(), BM_EngineDeleteOne)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::RegisterBenchmark(("WindowDeleteOne/" + n).c_str(), BM_WindowDeleteOne)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::RegisterBenchmark(("EngineSave/" + n).c_str(), BM_EngineSave)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark(("WindowSave/" + n).c_str(), BM_WindowSave)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gWindow.reset();

  SetSplashProgress(nullptr);
  delete FormSplash;
  SetWaitIndicator(nullptr);
  delete FormPleaseWait;
  ReleaseEnvironment();
  std::filesystem::remove_all(gHome);
  return 0;
}
