// Runs a piece of a test in a child process of its own and gives back what it returned, the
// processor time and the peak memory it took. The child is killed past a time limit, and may
// be held to a cap on the size of the files it writes, so that work that freezes, reads
// without end or writes without end fails its case instead of hanging the suite or filling
// the disk. Its heap first gives back what it does not use, so memory that earlier work freed
// is not there to hide the cost of this work.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

struct ChildRun {
  bool Finished = false;  // the work returned (or raised) and the child ended by itself in time
  // The work's text; "raised: <message>" when it raised. When not Finished, how the child ended.
  std::string Result;
  double CpuSeconds = 0;  // processor time of the work (of the whole child when it did not finish)
  double PeakMB = 0;      // rise of the peak resident size during the work over the size before it
};

constexpr int64_t kNoWriteCap = -1;

// The factors of every time and memory bound of the bounded tests.
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer keeps freed blocks aside and pads every block, and its build is not
// optimised: its bounds are wider.
inline constexpr double kMemorySlack = 3;
inline constexpr double kTimeSlack = 10;
#else
inline constexpr double kMemorySlack = 1;
inline constexpr double kTimeSlack = 1;
#endif

// The processor time of this process in seconds: a busy machine does not stretch it.
double ProcessCpuSeconds();
// A field of /proc/self/status given in kB ("VmRSS:", "VmHWM:"), in bytes; -1 when missing.
int64_t StatusBytes(const char* field);

struct WorkCost {
  double CpuSeconds = 0;  // processor time of the work
  double PeakMB = 0;      // rise of the peak resident size during the work over the size before it
};

// Measures work done in this process, the peak resident size reset first so that the peak
// read afterwards is the work's. Memory that earlier work freed can hide part of the cost,
// and other threads' time counts: RunInChild where that matters.
WorkCost MeasureHere(const std::function<void()>& work);

// `limitMs` is wall-clock time, from the fork to the child's end; `writeCap` the largest size
// in bytes of any file the child writes (a write past it ends the child with SIGXFSZ).
ChildRun RunInChild(const std::function<std::string()>& work, int limitMs = 60000,
                    int64_t writeCap = kNoWriteCap);
