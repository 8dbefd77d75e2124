// GIF export of a 1024 x 768 photograph-like picture: the whole encode (reduction to 256
// colours and LZW), and its two halves. bench/gif_compare.sh sets ZELMORA_BENCH_PPM to have
// the picture (and ZELMORA_BENCH_GIF our file) written out, so other encoders can be timed on the same input.
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "gif/Pxgif.h"
#include "gif/Pxgraph.h"
#include "platform/Classes.h"

namespace {

constexpr int kW = 1024, kH = 768;

// Smooth value noise of a few octaves: sky-like gradients, soft shapes and fine grain, so
// that the picture has some hundred thousand colours the way a photograph does.
double Lattice(int x, int y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return double((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}
double Noise(double x, double y, uint32_t seed) {
  int xi = int(std::floor(x)), yi = int(std::floor(y));
  double fx = x - xi, fy = y - yi;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  double a = Lattice(xi, yi, seed), b = Lattice(xi + 1, yi, seed);
  double c = Lattice(xi, yi + 1, seed), d = Lattice(xi + 1, yi + 1, seed);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}
double Fractal(double x, double y, uint32_t seed) {
  double v = 0, amp = 0.5, f = 1.0 / 160;
  for (int o = 0; o < 5; ++o, amp *= 0.5, f *= 2) v += amp * Noise(x * f, y * f, seed + uint32_t(o));
  return v;
}
uint8_t Clamp(double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

const TBitmap& Photo() {
  static std::unique_ptr<TBitmap> b = [] {
    auto p = std::make_unique<TBitmap>(kW, kH, pf24bit);
    for (int y = 0; y < kH; ++y) {
      uint8_t* row = p->ScanLine(y);
      for (int x = 0; x < kW; ++x) {
        double sky = double(y) / kH;
        double land = Fractal(x, y, 1), tint = Fractal(x, y, 7);
        double grain = (Lattice(x, y, 99) - 0.5) * 10;
        double r = 60 + 150 * land + 40 * sky + grain;
        double g = 80 + 120 * land * (0.6 + 0.4 * tint) + grain;
        double bl = 190 - 140 * sky + 60 * tint + grain;
        row[3 * x] = Clamp(bl);
        row[3 * x + 1] = Clamp(g);
        row[3 * x + 2] = Clamp(r);
      }
    }
    if (const char* out = std::getenv("ZELMORA_BENCH_PPM")) {
      std::ofstream f(out, std::ios::binary);
      f << "P6\n" << kW << " " << kH << "\n255\n";
      for (int y = 0; y < kH; ++y) {
        const uint8_t* row = p->ScanLine(y);
        for (int x = 0; x < kW; ++x) f << char(row[3 * x + 2]) << char(row[3 * x + 1]) << char(row[3 * x]);
      }
    }
    return p;
  }();
  return *b;
}

}  // namespace

// What the export does: one frame assigned from the 24-bit picture, written as a GIF file.
static void BM_EncodePhotoGIF(benchmark::State& state) {
  const TBitmap& photo = Photo();
  int64_t bytes = 0;
  for (auto _ : state) {
    TGIFImage g;
    g.Assign(&photo);
    TMemoryStream m;
    g.SaveToStream(m);
    bytes = m.Size();
    benchmark::DoNotOptimize(m.Memory());
  }
  state.counters["file_bytes"] = double(bytes);
  if (const char* out = std::getenv("ZELMORA_BENCH_GIF")) {
    TGIFImage g;
    g.Assign(&photo);
    g.SaveToFile(out);
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_EncodePhotoGIF)->Unit(benchmark::kMillisecond);

// The popularity reduction alone (it restarts as the histogram overflows).
static void BM_ReducePhotoTo256(benchmark::State& state) {
  const TBitmap& photo = Photo();
  for (auto _ : state) {
    auto s = BitmapToMemoryStream(photo, pf8bit, mmHistogram);
    benchmark::DoNotOptimize(s->Memory());
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_ReducePhotoTo256)->Unit(benchmark::kMillisecond);

// The LZW encoder alone on the reduced indices.
static void BM_EncodeLZWPhoto(benchmark::State& state) {
  const TBitmap& photo = Photo();
  auto s = BitmapToMemoryStream(photo, pf8bit, mmHistogram);
  TBitmap reduced;
  reduced.LoadFromStream(*s);
  std::vector<uint8_t> indices(size_t(kW) * kH);
  for (int y = 0; y < kH; ++y) std::memcpy(indices.data() + size_t(y) * kW, reduced.ScanLine(y), kW);
  for (auto _ : state) {
    TMemoryStream m;
    EncodeLZW(indices.data(), kW, kH, 8, m);
    benchmark::DoNotOptimize(m.Memory());
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_EncodeLZWPhoto)->Unit(benchmark::kMillisecond);
