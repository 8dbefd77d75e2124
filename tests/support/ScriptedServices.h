// A scripted implementation of the GUI services: answers boxes from a queue, records what
// was shown, opened and launched. Installed for the lifetime of the object.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "Services.h"

class ScriptedServices : public TServices {
 public:
  struct Box {
    std::string text, caption;
    uint32_t flags;
  };
  ScriptedServices() { SetServices(this); }
  ~ScriptedServices() override { SetServices(nullptr); }
  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) override {
    Boxes.push_back({text, caption, flags});
    if (Answers.empty()) return DefaultButton(flags);
    int a = Answers.front();
    Answers.pop_front();
    return a;
  }
  void Beep() override { ++Beeps; }
  bool OpenUrl(const std::string& url) override {
    Opened.push_back(url);
    return true;
  }
  bool Launch(const std::vector<std::string>& argv) override {
    Launched.push_back(argv);
    return true;
  }
  void SetBusyCursor(bool) override {}
  void ScreenSize(int& w, int& h) override { w = 1280; h = 1024; }

  std::deque<int> Answers;
  std::vector<Box> Boxes;
  std::vector<std::string> Opened;
  std::vector<std::vector<std::string>> Launched;
  int Beeps = 0;
};
