// Hooking the message handler of a control: hook components see each message before and
// after the control's own handler and may mark it handled. A control that can be hooked
// routes its messages through WindowProc.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Classes.h"

struct TMessage {
  uint32_t Msg = 0;
  intptr_t WParam = 0, LParam = 0, Result = 0;
};

using TWndMethod = std::function<void(TMessage&)>;

class THookableControl : public TComponent {
 public:
  using TComponent::TComponent;
  // Its hooks let go of it.
  ~THookableControl() override;
  // The handler in use; the control's own one at first.
  TWndMethod WindowProc = [this](TMessage& m) { WndProc(m); };
  void Perform(TMessage& m) { WindowProc(m); }

 protected:
  virtual void WndProc(TMessage&) {}
};

class TPxWindowHook;
using THookMessageEvent = std::function<void(TPxWindowHook& sender, TMessage& msg, bool& handled)>;

class TPxWindowHook : public TComponent {
 public:
  explicit TPxWindowHook(TComponent* owner = nullptr) : TComponent("", owner) {}
  ~TPxWindowHook() override;
  bool Active() const { return FActive; }
  void SetActive(bool v);
  THookableControl* WinControl() const { return FControl; }
  void SetWinControl(THookableControl* control);
  // Marks a hook on its own form (the stored "IsForm" property).
  bool IsForm = false;
  void HookControl();
  void UnhookControl();
  // The control the hook is attached to, or nullptr.
  THookableControl* GetHookHandle() const { return FActive ? FControl : nullptr; }
  THookMessageEvent BeforeMessage, AfterMessage;

 private:
  friend void DropControlHooks(THookableControl* control);
  bool FActive = true;
  THookableControl* FControl = nullptr;
  bool FHooked = false;
};

// Frees the list of hooked controls (the unit's end); the start clears it.
void InitPxhook();
void DropControlHooks(THookableControl* control);
void DonePxhook();
// How many controls have a hook at present.
int HookedControlCount();
