// The message hooks of windows: order and unhooking while dispatching.
#include "gif/Pxhook.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class TRecordingControl : public THookableControl {
 public:
  using THookableControl::THookableControl;
  std::string Log;

 protected:
  void WndProc(TMessage& m) override {
    Log += "own" + std::to_string(m.Msg) + ";";
    m.Result = 1;
  }
};

THookMessageEvent Note(std::string& log, const std::string& name, uint32_t handles = 0) {
  return [&log, name, handles](TPxWindowHook&, TMessage& m, bool& handled) {
    log += name + ";";
    if (m.Msg == handles) handled = true;
  };
}

TEST(Pxhook, HooksSeeMessagesLastAttachedFirst) {
  TRecordingControl control("Panel1", nullptr);
  TPxWindowHook first, second;
  first.BeforeMessage = Note(control.Log, "before1");
  first.AfterMessage = Note(control.Log, "after1");
  second.BeforeMessage = Note(control.Log, "before2", 7);
  second.AfterMessage = Note(control.Log, "after2");
  first.SetWinControl(&control);
  second.SetWinControl(&control);
  EXPECT_EQ(HookedControlCount(), 1);
  TMessage m{5};
  control.Perform(m);
  EXPECT_EQ(control.Log, "before2;before1;own5;after2;after1;");
  // A handled message goes no further.
  control.Log.clear();
  TMessage stop{7};
  control.Perform(stop);
  EXPECT_EQ(control.Log, "before2;");
  EXPECT_EQ(stop.Result, 0);
  // Inactive hooks let go; the last one gives the control its own handler back.
  second.SetActive(false);
  control.Log.clear();
  control.Perform(m);
  EXPECT_EQ(control.Log, "before1;own5;after1;");
  first.UnhookControl();
  EXPECT_EQ(HookedControlCount(), 0);
  control.Log.clear();
  control.Perform(m);
  EXPECT_EQ(control.Log, "own5;");
  EXPECT_EQ(first.GetHookHandle(), &control);  // still assigned, just not hooked
}

TEST(Pxhook, UnhookingWhileDispatchingAndControlGoingFirst) {
  auto* control = new TRecordingControl("Panel1", nullptr);
  TPxWindowHook hook;
  hook.BeforeMessage = [](TPxWindowHook& self, TMessage&, bool&) { self.UnhookControl(); };
  hook.SetWinControl(control);
  TMessage m{3};
  control->Perform(m);  // the hook removes itself, and with it the control's hook
  EXPECT_EQ(control->Log, "own3;");
  EXPECT_EQ(HookedControlCount(), 0);
  TPxWindowHook other;
  other.SetWinControl(control);
  delete control;
  EXPECT_EQ(other.WinControl(), nullptr);
  EXPECT_EQ(HookedControlCount(), 0);
}

}  // namespace
