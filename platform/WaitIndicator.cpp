#include "platform/WaitIndicator.h"

namespace {
TWaitIndicator* gIndicator = nullptr;
}

TWaitIndicator* WaitIndicator() { return gIndicator; }
void SetWaitIndicator(TWaitIndicator* indicator) { gIndicator = indicator; }

TScopedWait::TScopedWait(const std::string& message, bool show) : FIndicator(gIndicator) {
  if (FIndicator) FIndicator->BeginWait(message, show);
}

TScopedWait::~TScopedWait() {
  if (FIndicator) FIndicator->EndWait();
}
