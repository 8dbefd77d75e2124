// The program's start: the time from starting the program until the start page has been
// painted, started from a folder whose parent holds no other file, 2,000 files and 8,000
// files (the home folder, for a program started from a desktop's menu). Each run is a new
// process on Qt's offscreen platform with a program folder of its own.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

namespace fs = std::filesystem;

struct Folders {
  fs::path root;
  explicit Folders(int files) {
    char tmpl[] = "/tmp/zelmora-start-XXXXXX";
    root = mkdtemp(tmpl);
    fs::create_directories(root / "parent" / "start");
    fs::create_directories(root / "config");
    fs::copy(ZELMORA_DATA, root / "home", fs::copy_options::recursive);
    for (int i = 0; i < files; ++i)
      std::ofstream(root / "parent" / ("file" + std::to_string(i) + ".txt")) << i;
  }
  ~Folders() { fs::remove_all(root); }
};

// Seconds from the start of the program to the first paint of its page; -1 when it did not
// come within a minute.
double StartOnce(const Folders& f) {
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
  env.insert("ZELMORA_HOME", QString::fromStdString((f.root / "home").string()));
  env.insert("ZELMORA_CONFIG", QString::fromStdString((f.root / "config").string()));
  env.insert("XDG_CONFIG_HOME", QString::fromStdString((f.root / "config").string()));
  env.insert("XDG_DATA_HOME", QString::fromStdString((f.root / "config" / "data").string()));
  env.insert("QT_PLUGIN_PATH", ZELMORA_TEST_PLUGINS);
  env.insert("QT_QPA_GENERIC_PLUGINS", "zelmorauser:painted");
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(QString::fromStdString((f.root / "parent" / "start").string()));
  QElapsedTimer clock;
  clock.start();
  const char* other = std::getenv("ZELMORA_BENCH_PROGRAM");
  program.start(other && *other ? QString::fromLocal8Bit(other) : QString(ZELMORA_PROGRAM), {});
  std::string output;
  double seconds = -1;
  while (clock.elapsed() < 60000 && program.state() != QProcess::NotRunning) {
    if (program.waitForReadyRead(5)) output += program.readAllStandardOutput().toStdString();
    if (output.find("step painted") != std::string::npos) {
      seconds = double(clock.nsecsElapsed()) / 1e9;
      break;
    }
  }
  program.kill();
  program.waitForFinished(5000);
  return seconds;
}

void BM_StartToPaintedPage(benchmark::State& state) {
  Folders folders(int(state.range(0)));
  for (auto _ : state) {
    double s = StartOnce(folders);
    if (s < 0) {
      state.SkipWithError("the start page was not painted within a minute");
      break;
    }
    state.SetIterationTime(s);
  }
}
BENCHMARK(BM_StartToPaintedPage)
    ->ArgName("files_beside_the_start_folder")
    ->Arg(0)
    ->Arg(2000)
    ->Arg(8000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
