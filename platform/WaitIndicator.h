// The busy indicator that long operations report to. The GUI installs the window that shows
// it; without one (tests, tools) progress goes nowhere.
#pragma once
#include <chrono>
#include <string>

class TWaitIndicator {
 public:
  virtual ~TWaitIndicator() = default;
  // Nested: every BeginWait is paired with one EndWait.
  virtual void BeginWait(const std::string& message, bool show) = 0;
  // `maximum` is the number of items less one, as the callers count.
  virtual void SetProgress(int position, int maximum) = 0;
  virtual void EndWait() = 0;
};

// The installed indicator, or nullptr.
TWaitIndicator* WaitIndicator();
void SetWaitIndicator(TWaitIndicator* indicator);

// Brackets a piece of work in BeginWait and EndWait of the installed indicator, if any, and
// ends the wait also when the work raises.
class TScopedWait {
 public:
  TScopedWait(const std::string& message, bool show);
  ~TScopedWait();
  TScopedWait(const TScopedWait&) = delete;
  TScopedWait& operator=(const TScopedWait&) = delete;

 private:
  TWaitIndicator* FIndicator;
};

// Progress is shown at a steady human rate, whatever the rate at which the work reports it:
// work calls SetProgress for every item, and each window that shows progress (the wait
// indicator with the status bar, the splash window's bar) repaints only when its pace says
// the moment has come, at most once per ProgressInterval().
class TProgressPace {
 public:
  // Whether the update at hand is to be shown: the first after a Restart, then one per interval.
  bool Due();
  // The next update is shown whatever the time: a new wait, a new range.
  void Restart() { FShown = false; }

 private:
  bool FShown = false;
  std::chrono::steady_clock::time_point FLast{};
};

// The shortest time between two repaints of one window's progress: 40 ms, 25 a second.
std::chrono::milliseconds ProgressInterval();
void SetProgressInterval(std::chrono::milliseconds interval);

// Another interval for as long as it lives; 0 shows every update (tests of what is shown).
class TScopedProgressInterval {
 public:
  explicit TScopedProgressInterval(std::chrono::milliseconds interval) : FSaved(ProgressInterval()) {
    SetProgressInterval(interval);
  }
  ~TScopedProgressInterval() { SetProgressInterval(FSaved); }
  TScopedProgressInterval(const TScopedProgressInterval&) = delete;
  TScopedProgressInterval& operator=(const TScopedProgressInterval&) = delete;

 private:
  std::chrono::milliseconds FSaved;
};
