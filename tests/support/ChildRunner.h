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

// `limitMs` is wall-clock time, from the fork to the child's end; `writeCap` the largest size
// in bytes of any file the child writes (a write past it ends the child with SIGXFSZ).
ChildRun RunInChild(const std::function<std::string()>& work, int limitMs = 60000,
                    int64_t writeCap = kNoWriteCap);
