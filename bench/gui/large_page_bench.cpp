// The large page in the main window against the engine doing the same work alone: opening a
// page of 10,000 objects (read, parse, render), deleting one object, saving it. The window's
// figure is what the user waits for; the engine's is the floor it can come down to. Then the
// edit commands of the Edit and Arrange menus, one after another, on the whole page selected
// (Command/NN-Name rows, one run each: each command starts from what the one before left; the
// rows run in their order, so filter whole runs of them from an Open row on).
//   bench_large_page [--objects=N] [google-benchmark flags]
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>

#include "POP/PopFastINI.h"
#include "POP/PopForms.h"
#include "POP/gui/PopDialogs.h"
#include "app/AppEnvironment.h"
#include "app/Unitmain.h"
#include "app/forms/Unitpleasewait.h"
#include "app/forms/Unitsplash.h"
#include "engine/RegionRect.h"
#include "engine/XImage.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"
#include "platform/ImageLimits.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"
#include "platform/gui/QtServices.h"

namespace {

int gObjects = 10000;
std::string gHome, gProject, gSaved, gWindowSaved;

// A question in the middle of a timed run would wait for a user who is not there: the bench
// names it and stops instead of hanging.
class TNoQuestions : public TServices {
 public:
  explicit TNoQuestions(TServices& real) : FReal(real) {}
  int MessageBox(const std::string& text, const std::string& caption, uint32_t) override {
    fprintf(stderr, "bench_large_page: the program asked a question, which no bench answers:\n%s: %s\n",
            caption.c_str(), text.c_str());
    std::_Exit(2);
  }
  void Beep() override {}
  bool OpenUrl(const std::string& url) override { return FReal.OpenUrl(url); }
  bool Launch(const std::vector<std::string>& argv) override { return FReal.Launch(argv); }
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

// The page of the edit commands: small linked buttons 300 a row on a page of 8192 x 8192 with
// a grid of 8, so that Align to Grid moves every one of them.
void WriteCommandsProject(const std::string& name, int objects) {
  std::string text = "[Heading]\nProjectWidth=8192\nProjectHeight=8192\nGridX=8\nGridY=8\nNumOfButtons=" +
                     std::to_string(objects) + "\n";
  for (int i = 0; i < objects; ++i) {
    const int x = (i % 300) * 27 + 1, y = (i / 300) * 24 + 1;
    text += "[Button" + std::to_string(i) + "]\nButtonText=B" + std::to_string(i) + "\nLinkAddress=l" +
            std::to_string(i) + ".htm\nRectLeft=" + std::to_string(x) + "\nRectTop=" + std::to_string(y) +
            "\nRectRight=" + std::to_string(x + 23) + "\nRectBottom=" + std::to_string(y + 19) + "\n";
  }
  FILE* f = fopen(name.c_str(), "wb");
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
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

// A field of /proc/self/status in MB.
double StatusMB(const char* field) {
  FILE* f = fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  double mb = -1;
  while (fgets(line, sizeof line, f))
    if (std::strncmp(line, field, std::strlen(field)) == 0)
      mb = std::atof(line + std::strlen(field)) / 1024.0;
  fclose(f);
  return mb;
}

// Besides the time: the resident size before, its peak during the opens and after them, in MB.
// --- The engine alone ---

void BM_EngineOpen(benchmark::State& state) {
  const double before = StatusMB("VmRSS:");
  double held = 0;
  for (auto _ : state) {
    TINIDocument doc(gProject);
    LoadProjectFile(doc, gProject);
    ZButtonList scene;
    scene.ReplaceFromINI(doc);
    // As the window does: a page is at most the largest page (100,000 objects in rows ask
    // for more).
    scene.Page->SetSize(std::clamp(doc.ReadInteger("Heading", "ProjectWidth", 800), 1, MaxPageSide),
                        std::clamp(doc.ReadInteger("Heading", "ProjectHeight", 800), 1, MaxPageSide));
    TRegionList whole = nullptr;
    RegionSet(whole, 0, 0, scene.Page->Width(), scene.Page->Height());
    RenderScene(scene, *scene.Page, whole);
    RegionClear(whole);
    benchmark::DoNotOptimize(scene.Count());
    held = StatusMB("VmRSS:") - before;
  }
  // What the scene with its page holds once loaded, above the process before it.
  state.counters["scene_MB"] = held;
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

// The engine's share of the edit commands on the page of the command rows: the render of the
// whole page (what a command that changes every object repaints), the undo snapshot (the
// page saved as text), reading it back (Undo, Paste) and the picture that Export writes.
std::unique_ptr<ZButtonList> gCommandsScene;

ZButtonList& CommandsScene() {
  std::unique_ptr<ZButtonList>& scene = gCommandsScene;
  if (!scene) {
    scene = std::make_unique<ZButtonList>();
    TINIDocument doc;
    LoadProjectFile(doc, gHome + "/commands-" + std::to_string(gObjects) + ".zlm");
    scene->ReplaceFromINI(doc);
    scene->Page->SetSize(8192, 8192);
  }
  return *scene;
}

void BM_EngineRenderPage(benchmark::State& state) {
  ZButtonList& scene = CommandsScene();
  for (auto _ : state) {
    TRegionList whole = nullptr;
    RegionSet(whole, 0, 0, scene.Page->Width(), scene.Page->Height());
    RenderScene(scene, *scene.Page, whole);
    RegionClear(whole);
  }
}

void BM_EngineSnapshotAndRead(benchmark::State& state) {
  ZButtonList& scene = CommandsScene();
  double writeSeconds = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    TINITextWriter snapshot;
    scene.SaveToINI(snapshot);
    writeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    TINIDocument undo;
    undo.LoadFromString(std::move(snapshot.Text));
    ZButtonList back;
    back.ReplaceFromINI(undo);
    benchmark::DoNotOptimize(back.Count());
  }
  state.counters["write_s"] = writeSeconds / double(state.iterations());
}

void BM_EngineExportPng(benchmark::State& state) {
  ZButtonList& scene = CommandsScene();
  for (auto _ : state) {
    XImage picture;
    picture.SetSize(scene.Page->Width(), 8016);
    picture.SetPixelFormat(pf24bit);
    for (int y = 0; y < picture.Height(); ++y)
      std::memcpy(picture.ScanLine(y), scene.Page->ScanLine(y), size_t(picture.Width()) * 3);
    picture.SaveToFile(gHome + "/engine-export.png");
  }
}

// --- The same in the window ---

// The first row made the window, which opened the page at its start: rss_start_MB is the
// process before, rss_started_MB after it.
void BM_WindowOpen(benchmark::State& state) {
  auto resetPeak = [] {
    FILE* reset = fopen("/proc/self/clear_refs", "w");
    if (reset) {
      fputs("5", reset);
      fclose(reset);
    }
  };
  if (!gWindow) {
    resetPeak();
    state.counters["rss_start_MB"] = StatusMB("VmRSS:");
    Window();
    state.counters["rss_started_peak_MB"] = StatusMB("VmHWM:");
    state.counters["rss_started_MB"] = StatusMB("VmRSS:");
  }
  TFormMain& w = Window();
  const double before = StatusMB("VmRSS:");
  resetPeak();
  for (auto _ : state) {
    w.LoadProject(gProject, true);
    QCoreApplication::processEvents();
  }
  state.counters["rss_before_MB"] = before;
  state.counters["rss_peak_MB"] = StatusMB("VmHWM:");
  state.counters["rss_after_MB"] = StatusMB("VmRSS:");
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

// The user's road: the page is opened from its file, changed, and saved into that file again.
// (Pointing the window at another file by hand would leave it the stamp of the file it read,
// and the save would rightly ask whether somebody else had written the other one.)
void BM_WindowSave(benchmark::State& state) {
  TFormMain& w = Window();
  std::filesystem::copy_file(gProject, gWindowSaved, std::filesystem::copy_options::overwrite_existing);
  w.LoadProject(gWindowSaved, false);
  for (auto _ : state) {
    w.ChangeCount = 1;
    w.MISaveClick(nullptr);
    QCoreApplication::processEvents();
  }
}

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct TCommand {
  const char* name;
  void (TFormMain::*run)(QObject*);  // none: open the page of `objects` objects
  int objects = 0;
};

// Each command once on the page as the one before left it; the processor time is the
// counter "cpu_s" beside the wall time.
void BM_WindowCommand(benchmark::State& state, TCommand c) {
  TFormMain& w = Window();
  double cpu = 0;
  for (auto _ : state) {
    const double t0 = CpuSeconds();
    if (c.run) {
      (w.*c.run)(nullptr);
    } else {
      w.LoadProject(gHome + "/commands-" + std::to_string(c.objects) + ".zlm", false);
      w.Scene->SelectNone();
      w.RedrawScene(true);
    }
    QCoreApplication::processEvents();
    cpu += CpuSeconds() - t0;
  }
  state.counters["cpu_s"] = cpu;
  state.counters["objects"] = w.Scene->Count();
}

// On a page of N objects the commands that change them all; on a page of N / 2 the ones
// that add as many again (a page holds at most 100,000 objects).
std::vector<TCommand> Commands(int n) {
  return {
      {"Open", nullptr, n},
      {"SelectAll", &TFormMain::MISelectAllClick},
      {"AlignToGrid", &TFormMain::MenuItemAlignToGrid1Click},
      {"Group", &TFormMain::MIGroupClick},
      {"Ungroup", &TFormMain::MIUngroupClick},
      {"Copy", &TFormMain::MICopyClick},
      {"BringToFront", &TFormMain::MenuItemBringToFront1Click},
      {"SendToBack", &TFormMain::MenuItemSendToBack1Click},
      {"Delete", &TFormMain::MenuItemDelete1Click},
      {"Undo", &TFormMain::MIUndoClick},
      {"SelectAll", &TFormMain::MISelectAllClick},
      {"Export", &TFormMain::ExportImageClick},
      {"Save", &TFormMain::MISaveClick},
      {"OpenHalf", nullptr, n / 2},
      {"SelectAll", &TFormMain::MISelectAllClick},
      {"Copy", &TFormMain::MICopyClick},
      {"Paste", &TFormMain::MIPasteClick},
      {"Undo", &TFormMain::MIUndoClick},
      {"SelectAll", &TFormMain::MISelectAllClick},
      {"Duplicate", &TFormMain::MenuItemDuplicate1Click},
      {"Delete", &TFormMain::MenuItemDelete1Click},
      {"Undo", &TFormMain::MIUndoClick},
  };
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
  gWindowSaved = gHome + "/window-saved.zlm";
  WriteLargeProject(gProject, gObjects);
  WriteCommandsProject(gHome + "/commands-" + std::to_string(gObjects) + ".zlm", gObjects);
  WriteCommandsProject(gHome + "/commands-" + std::to_string(gObjects / 2) + ".zlm", gObjects / 2);
  // Export asks for a file name: the selection goes to a PNG in the bench's folder.
  SetDialogHook([](TCommonDialog& d) {
    if (auto* save = dynamic_cast<TOpenDialog*>(&d)) save->FileName = gHome + "/selection.png";
    return true;
  });

  InstallQtServices();
  static TNoQuestions noQuestions(Services());
  SetServices(&noQuestions);
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
  benchmark::RegisterBenchmark(("EngineRenderPage/" + n).c_str(), BM_EngineRenderPage)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::RegisterBenchmark(("EngineSnapshotAndRead/" + n).c_str(), BM_EngineSnapshotAndRead)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::RegisterBenchmark(("EngineExportPng/" + n).c_str(), BM_EngineExportPng)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  int index = 0;
  for (const TCommand& c : Commands(gObjects)) {
    char name[64];
    snprintf(name, sizeof name, "Command/%02d-%s/%s", index + 1, c.name, n.c_str());
    benchmark::RegisterBenchmark(name, BM_WindowCommand, c)->Unit(benchmark::kMillisecond)->Iterations(1);
    ++index;
  }
  benchmark::RunSpecifiedBenchmarks();
  SetDialogHook(nullptr);
  benchmark::Shutdown();
  gWindow.reset();
  gCommandsScene.reset();

  SetSplashProgress(nullptr);
  delete FormSplash;
  SetWaitIndicator(nullptr);
  delete FormPleaseWait;
  ReleaseEnvironment();
  std::filesystem::remove_all(gHome);
  return 0;
}
