#include "platform/WaitIndicator.h"

namespace {
TWaitIndicator* gIndicator = nullptr;
std::chrono::milliseconds gInterval{40};
}  // namespace

TWaitIndicator* WaitIndicator() { return gIndicator; }
void SetWaitIndicator(TWaitIndicator* indicator) { gIndicator = indicator; }

TScopedWait::TScopedWait(const std::string& message, bool show) : FIndicator(gIndicator) {
  if (FIndicator) FIndicator->BeginWait(message, show);
}

TScopedWait::~TScopedWait() {
  if (FIndicator) FIndicator->EndWait();
}

std::chrono::milliseconds ProgressInterval() { return gInterval; }
void SetProgressInterval(std::chrono::milliseconds interval) { gInterval = interval; }

bool TProgressPace::Due() {
  const auto now = std::chrono::steady_clock::now();
  if (FShown && now - FLast < gInterval) return false;
  FShown = true;
  FLast = now;
  return true;
}
