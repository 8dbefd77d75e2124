#include "POP/PopInno.h"

#include "POP/PopForms.h"
#include "POP/PopShellAPI.h"
#include "POP/PopWinInet.h"
#include "platform/InstanceLock.h"
#include "platform/Registry.h"
#include "platform/SysUtils.h"

const char* const SInnoHomePage = "http://www.varnholt.example/";
const char* const SInnoCompany = "Varnholt";
const char* const SInnoCopyright = "Copyright (c) 2003-2026 the Zelmora developers";

namespace {
const char* const kUninstall = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char* const kComponents = "\\Software\\Varnholt\\Kelvora\\Components\\";

// A value that is not text counts as missing: callers only ever want a text.
bool ReadText(const TRegistry& reg, const std::string& name, std::string& value) {
  if (!reg.ValueExists(name)) return false;
  try {
    value = reg.ReadString(name);
    return true;
  } catch (const ERegistryException&) { return false; }
}

std::string InnoUninstallValue(const std::string& name, const std::string& def) {
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (!reg.OpenKeyReadOnly(kUninstall + InnoAppName() + "_is1")) return def;
  std::string v;
  return ReadText(reg, name, v) ? v : std::string();
}

std::string InnoComponentValue(const std::string& name, const std::string& def,
                               const std::string& component) {
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (!reg.OpenKeyReadOnly(kComponents + (component.empty() ? InnoAppName() : component))) return def;
  std::string v;
  return ReadText(reg, name, v) ? v : def;
}
}  // namespace

std::string InnoUpgradePath() {
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  std::string v;
  if (reg.OpenKeyReadOnly("\\Software\\Varnholt\\Kelvora v2.0\\"))
    return ReadText(reg, "Path", v) ? v : std::string();
  if (reg.OpenKeyReadOnly("\\Software\\Varnholt\\Kelvora\\"))
    return ReadText(reg, "Path", v) ? v : std::string();
  return {};
}

std::string InnoAppName() { return ApplicationTitle(); }
std::string InnoAppVersion() { return InnoUninstallValue("DisplayVersion", "1.0"); }
std::string InnoAppVerName() { return InnoUninstallValue("DisplayName", InnoAppName()); }
std::string InnoAppPublisher() { return InnoUninstallValue("Publisher", SInnoCompany); }
std::string InnoAppPublisherURL() { return InnoUninstallValue("URLInfoAbout", SInnoHomePage); }
std::string InnoAppUpdatesURL() { return InnoUninstallValue("URLUpdateInfo", InnoAppPublisherURL()); }
std::string InnoAppSupportURL() { return InnoUninstallValue("HelpLink", InnoAppPublisherURL()); }
std::string InnoAppCopyright() { return SInnoCopyright; }
std::string InnoAppServicesURL() {
  return UrlCombine(UrlGetHostAddress(InnoAppPublisherURL()), "services.htm");
}
// A reserved host has no pages unless someone serves them on purpose (a test server, a local
// mirror): only when it cannot be reached does the program show its own page instead.
std::string InnoAppPageURL(const std::string& url) {
  if (UrlHostIsReserved(url) && !IsConnectedToInternet(url)) return LocalFile("Services.htm");
  return url;
}
std::string InnoAppCode(const std::string& component) { return InnoComponentValue("code", "", component); }
std::string InnoAppPath(const std::string& component) { return InnoComponentValue("PATH", "", component); }
bool InnoAppInstalled(const std::string& component) {
  std::string p = InnoAppPath(component);
  return !p.empty() && FileExists(p);
}

void InnoAppOpen(const std::string& component, const std::string& document) {
  if (InnoAppInstalled(component)) {
    SHRun(InnoAppPath(component), SHParameters({"-NoSplash", "-X", document}, 2));
  } else if (!document.empty()) {
    SHOpenAs(document);
  } else {
    RaiseError(Format("\"%s\" is not installed on your system.", component.c_str()));
  }
}

// Without an installed updater nothing is launched.
bool InnoUpgrade(bool check) {
  std::string path = InnoUpgradePath();
  bool present = !path.empty() && FileExists(path);
  if (check || !present) return present;
  // Quoted as one argument, inner quotes doubled, so the code reaches the updater whole.
  return SHRun(path, SHParameters({"-d=" + InnoAppCode()}, 0));
}

int InnoCreateMutex() {
  // Held for the life of the process. A second copy takes its own share of the lock: the
  // program does not refuse a second copy, but FindPrevInstance can tell that one runs.
  return HoldInstanceLock(InnoAppName());
}

void InnoCreateComponentMenu(TComponentMenu& menu) {
  menu.Clear();
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  int count = 0;
  if (reg.OpenKeyReadOnly(kComponents)) {
    for (const auto& key : reg.GetKeyNames()) {
      TRegistry sub;
      sub.RootKey = HKEY_LOCAL_MACHINE;
      if (!sub.OpenKeyReadOnly(kComponents + key)) continue;
      std::string path, name;
      if (!ReadText(sub, "PATH", path) || path.empty() || !FileExists(path)) continue;
      ReadText(sub, "NAME", name);
      menu.AddItem(name, path);
      ++count;
    }
  }
  menu.SetVisible(count > 0);
}
