#include "gif/Pxhook.h"

#include <algorithm>

namespace {

// One hooked control: its previous handler and its hooks in the order they were attached.
// The state is shared with the handler installed in the control, so a hook that unhooks
// (and so frees this object) while a message is being dispatched does no harm.
struct THookState {
  TWndMethod Previous;
  std::vector<TPxWindowHook*> Hooks;
  bool Contains(TPxWindowHook* h) const { return std::find(Hooks.begin(), Hooks.end(), h) != Hooks.end(); }
};

void Dispatch(std::shared_ptr<THookState> s, TMessage& m) {
  std::vector<TPxWindowHook*> hooks = s->Hooks;
  bool handled = false;
  // Before-message events: the last attached first, until one handles the message.
  for (auto it = hooks.rbegin(); it != hooks.rend() && !handled; ++it)
    if (s->Contains(*it) && (*it)->BeforeMessage) (*it)->BeforeMessage(**it, m, handled);
  if (handled) return;
  TWndMethod previous = s->Previous;
  if (previous) previous(m);
  for (auto it = hooks.rbegin(); it != hooks.rend() && !handled; ++it)
    if (s->Contains(*it) && (*it)->AfterMessage) (*it)->AfterMessage(**it, m, handled);
}

class TControlHook : public TObject {
 public:
  explicit TControlHook(THookableControl* control) : Control(control), State(std::make_shared<THookState>()) {
    State->Previous = control->WindowProc;
    control->WindowProc = [state = State](TMessage& m) {
      std::shared_ptr<THookState> keep = state;  // the handler may be replaced meanwhile
      Dispatch(keep, m);
    };
  }
  ~TControlHook() override {
    if (Control) Control->WindowProc = State->Previous;
  }
  THookableControl* Control;
  std::shared_ptr<THookState> State;
};

std::unique_ptr<std::vector<std::unique_ptr<TControlHook>>> GHookList;

std::vector<std::unique_ptr<TControlHook>>& HookList() {
  if (!GHookList) GHookList = std::make_unique<std::vector<std::unique_ptr<TControlHook>>>();
  return *GHookList;
}

TControlHook* Find(THookableControl* control) {
  if (!GHookList) return nullptr;
  for (auto& h : *GHookList)
    if (h->Control == control) return h.get();
  return nullptr;
}

}  // namespace

void InitPxhook() { GHookList.reset(); }
void DonePxhook() { GHookList.reset(); }
int HookedControlCount() { return GHookList ? int(GHookList->size()) : 0; }

TPxWindowHook::~TPxWindowHook() { UnhookControl(); }

void TPxWindowHook::SetActive(bool v) {
  if (v == FActive) return;
  FActive = v;
  if (v) HookControl();
  else UnhookControl();
}

void TPxWindowHook::SetWinControl(THookableControl* control) {
  if (control == FControl) return;
  UnhookControl();
  FControl = control;
  if (FActive) HookControl();
}

void TPxWindowHook::HookControl() {
  if (FHooked || !FControl || !FActive) return;
  TControlHook* h = Find(FControl);
  if (!h) {
    HookList().push_back(std::make_unique<TControlHook>(FControl));
    h = HookList().back().get();
  }
  h->State->Hooks.push_back(this);
  FHooked = true;
}

void TPxWindowHook::UnhookControl() {
  if (!FHooked) return;
  FHooked = false;
  TControlHook* h = Find(FControl);
  if (!h) return;
  auto& hooks = h->State->Hooks;
  hooks.erase(std::remove(hooks.begin(), hooks.end(), this), hooks.end());
  if (hooks.empty()) {
    // The last hook gone: the control gets its previous handler back.
    auto& list = HookList();
    list.erase(std::remove_if(list.begin(), list.end(), [h](auto& p) { return p.get() == h; }), list.end());
  }
}

THookableControl::~THookableControl() { DropControlHooks(this); }

void DropControlHooks(THookableControl* control) {
  TControlHook* h = Find(control);
  if (!h) return;
  for (TPxWindowHook* hook : h->State->Hooks) {
    hook->FHooked = false;
    hook->FControl = nullptr;
  }
  h->Control = nullptr;  // going: nothing to give back
  auto& list = HookList();
  list.erase(std::remove_if(list.begin(), list.end(), [h](auto& p) { return p.get() == h; }), list.end());
}
