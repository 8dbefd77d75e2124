// The busy indicator that long operations report to. The GUI installs the window that shows
// it; without one (tests, tools) progress goes nowhere.
#pragma once
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
