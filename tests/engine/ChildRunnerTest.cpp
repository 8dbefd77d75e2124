// The child runner of the bounded-input tests: what it reports must be the work's own, or
// those tests measure nothing.
#include "tests/support/ChildRunner.h"

#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

#include "tests/support/TestSupport.h"

namespace {

double ThreadCpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

}  // namespace

TEST(ChildRunner, ReportsHowTheChildEnded) {
  TempDir dir;
  const std::string big = dir.File("big.bin");
  const struct {
    const char* what;
    std::function<std::string()> work;
    int limitMs;
    int64_t writeCap;
    bool finished;
    const char* result;  // the start of the result
  } cases[] = {
      {"returns its text", [] { return std::string("done\nsecond line"); }, 5000, kNoWriteCap, true,
       "done\nsecond line"},
      {"returns nothing", [] { return std::string(); }, 5000, kNoWriteCap, true, ""},
      {"raises", []() -> std::string { throw std::runtime_error("bad file"); }, 5000, kNoWriteCap, true,
       "raised: bad file"},
      {"sleeps past its limit",
       [] {
         sleep(30);
         return std::string("woke");
       },
       300, kNoWriteCap, false, "did not end within 300 ms"},
      {"writes past its cap",
       [&] {
         std::string data(1 << 20, 'x');
         FILE* f = fopen(big.c_str(), "wb");
         for (int i = 0; f && i < 64; ++i) fwrite(data.data(), 1, data.size(), f);
         if (f) fclose(f);
         return std::string("wrote");
       },
       5000, 4 << 20, false,
       "was ended by File size limit exceeded (it wrote past its cap of 4194304 bytes)"},
      {"aborts", []() -> std::string { abort(); }, 5000, kNoWriteCap, false, "was ended by Aborted"},
      {"exits", []() -> std::string { _exit(3); }, 5000, kNoWriteCap, false, "ended with status 3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ChildRun r = RunInChild(c.work, c.limitMs, c.writeCap);
    EXPECT_EQ(r.Finished, c.finished) << r.Result;
    EXPECT_EQ(r.Result.rfind(c.result, 0), 0u) << r.Result;
    if (c.finished) { EXPECT_EQ(r.Result, c.result); }
  }
}

// The memory and the processor time are the work's: a child that touches 96 MB peaks at about
// that much, one that spins for 0.3 s reports about that long, and neither is charged with
// what the parent holds or did before.
TEST(ChildRunner, MeasuresTheWorksPeakMemoryAndProcessorTime) {
  // The parent holds 64 MB of its own and has freed 64 MB more: neither is the child's.
  std::vector<char> held(size_t(64) << 20, 'h');
  { std::vector<char> freed(size_t(64) << 20, 'f'); }
  const size_t size = size_t(96) << 20;
  ChildRun touched = RunInChild([&] {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return std::string("mmap failed");
    std::memset(p, 1, size);
    munmap(p, size);
    // The peak stays after the memory is gone.
    return std::string("touched");
  });
  ASSERT_TRUE(touched.Finished) << touched.Result;
  EXPECT_EQ(touched.Result, "touched");
  EXPECT_GE(touched.PeakMB, 90);
  EXPECT_LE(touched.PeakMB, 120);
  EXPECT_LT(touched.CpuSeconds, 1);

  ChildRun idle = RunInChild([] { return std::string("idle"); });
  ASSERT_TRUE(idle.Finished) << idle.Result;
  EXPECT_LT(idle.PeakMB, 8) << "the parent's memory is charged to the child";
  EXPECT_LT(idle.CpuSeconds, 0.05);

  ChildRun spun = RunInChild([] {
    const double t0 = ThreadCpuSeconds();
    volatile unsigned x = 0;
    while (ThreadCpuSeconds() - t0 < 0.3) x = x + 1;
    return std::string("spun");
  });
  ASSERT_TRUE(spun.Finished) << spun.Result;
  EXPECT_GE(spun.CpuSeconds, 0.3);
  EXPECT_LT(spun.CpuSeconds, 0.6);
  EXPECT_LT(spun.PeakMB, 8);
  EXPECT_EQ(held[0], 'h');
}
