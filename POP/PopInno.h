// Who the running product is, as the installer recorded it, and the launch of its updater.
#pragma once
#include <string>

std::string InnoAppName();
std::string InnoAppVersion();
std::string InnoAppVerName();
std::string InnoAppPublisher();
std::string InnoAppPublisherURL();
std::string InnoAppUpdatesURL();
std::string InnoAppSupportURL();
std::string InnoAppServicesURL();
// What to open for one of the program's own online pages (home page, manual): the page, or
// the local services page when the page's host lies under a reserved name (the built-in
// publisher address) and cannot be reached.
std::string InnoAppPageURL(const std::string& url);
std::string InnoAppCopyright();
std::string InnoAppCode(const std::string& component = "");
std::string InnoAppPath(const std::string& component = "");
bool InnoAppInstalled(const std::string& component = "");
void InnoAppOpen(const std::string& component, const std::string& document);
std::string InnoUpgradePath();
bool InnoUpgrade(bool check);
// Marks the program as running: its share of the instance lock named after the
// application (platform/InstanceLock.h); the descriptor, -1 when it could not be made.
int InnoCreateMutex();

// The menu item that receives one sub-item per installed component; each sub-item's click
// is the parent item's handler, which the implementation wires.
class TComponentMenu {
 public:
  virtual ~TComponentMenu() = default;
  virtual void Clear() = 0;
  virtual void AddItem(const std::string& caption, const std::string& hint) = 0;
  virtual void SetVisible(bool visible) = 0;
};
void InnoCreateComponentMenu(TComponentMenu& menu);

extern const char* const SInnoHomePage;
extern const char* const SInnoCompany;
extern const char* const SInnoCopyright;
