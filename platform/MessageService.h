// The simple message box, as an installable service: the GUI installs the real box, tests
// install a recorder. Without one installed the text goes to standard error.
#pragma once
#include <string>
#include <vector>

class IMessageService {
 public:
  virtual ~IMessageService() = default;
  virtual void ShowMessage(const std::string& text) = 0;
};

// The service in use (none by default); returns the one it replaces.
IMessageService* SetMessageService(IMessageService* service);
void ShowMessage(const std::string& text);

class TRecordingMessageService : public IMessageService {
 public:
  void ShowMessage(const std::string& text) override { Shown.push_back(text); }
  std::vector<std::string> Shown;
};
