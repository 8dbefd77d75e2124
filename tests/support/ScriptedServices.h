// A scripted implementation of the GUI services: answers boxes from a queue, records what
// was shown, opened and launched. Installed for the lifetime of the object.
#pragma once
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Services.h"

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
  // Every url is recorded; BrowserStarts false plays a desktop without a working browser.
  bool OpenUrl(const std::string& url) override {
    Opened.push_back(url);
    return BrowserStarts;
  }
  bool Launch(const std::vector<std::string>& argv) override {
    Launched.push_back(argv);
    return true;
  }
  void SetBusyCursor(bool) override {}
  void PaintWhileWaiting() override { ++PaintWaits; }
  void ScreenSize(int& w, int& h) override {
    w = 1280;
    h = 1024;
  }
  // The input box takes the next scripted text (nullopt: Cancel), or is cancelled when none
  // is left; every box is recorded with the value it was offered.
  bool InputBox(const std::string& caption, const std::string& prompt, std::string& value) override {
    InputBoxes.push_back({caption, prompt, value});
    if (Inputs.empty()) return false;
    std::optional<std::string> answer = Inputs.front();
    Inputs.pop_front();
    if (!answer) return false;
    value = *answer;
    return true;
  }
  struct Input {
    std::string caption, prompt, value;
  };
  // A choice takes the next scripted index (-1: Cancel), or is cancelled when none is left;
  // every choice is recorded with what it offered.
  int ChooseItem(const std::string& caption, const std::string& prompt, const std::vector<std::string>& items,
                 int selected) override {
    Choices.push_back({caption, prompt, items, selected});
    if (ChoiceAnswers.empty()) return -1;
    int answer = ChoiceAnswers.front();
    ChoiceAnswers.pop_front();
    return answer;
  }
  struct Choice {
    std::string caption, prompt;
    std::vector<std::string> items;
    int selected;
  };
  std::deque<int> ChoiceAnswers;
  std::vector<Choice> Choices;
  // MIME types by file extension (".htm"), as the desktop would give them.
  std::vector<std::string> FileTypes(const std::string& fileName) override {
    size_t dot = fileName.rfind('.'), slash = fileName.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    auto it = TypesByExtension.find(fileName.substr(dot));
    return it == TypesByExtension.end() ? std::vector<std::string>() : it->second;
  }
  std::map<std::string, std::vector<std::string>> TypesByExtension;
  std::deque<std::optional<std::string>> Inputs;
  std::vector<Input> InputBoxes;

  std::deque<int> Answers;
  std::vector<Box> Boxes;
  std::vector<std::string> Opened;
  bool BrowserStarts = true;
  std::vector<std::vector<std::string>> Launched;
  int Beeps = 0;
  int PaintWaits = 0;
};
