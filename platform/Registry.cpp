#include "platform/Registry.h"

#include "platform/IniFiles.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"

namespace {

const char* RootName(HKEY root) {
  switch (root) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS: return "HKEY_USERS";
    default: return "HKEY_CURRENT_USER";
  }
}

// Values are kept on one line: a type tag, then the text with '\', CR and LF escaped.
std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '=') out += "\\e";
    else out += c;
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      out += n == 'n' ? '\n' : n == 'r' ? '\r' : n == 'e' ? '=' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The unnamed default value of a key.
std::string ValueKey(const std::string& name) { return name.empty() ? "@" : Escape(name); }

}  // namespace

TRegistry::TRegistry() = default;

std::string TRegistry::StoreFileName() { return ConfigFolder() + "registry.ini"; }

std::string TRegistry::Resolve(const std::string& key) const {
  std::string path;
  if (!key.empty() && key[0] == '\\') path = key.substr(1);
  else path = FCurrentPath.empty() ? key : (key.empty() ? FCurrentPath : FCurrentPath + "\\" + key);
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::string TRegistry::Section(const std::string& path) const {
  return std::string(RootName(RootKey)) + (path.empty() ? "" : "\\" + path);
}

bool TRegistry::KeyExists(const std::string& key) {
  std::string section = Section(Resolve(key));
  for (const auto& s : TIniFile(StoreFileName()).ReadSections())
    if (SameText(s, section) || SameText(s.substr(0, section.size() + 1), section + "\\")) return true;
  return false;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  std::string path = Resolve(key);
  if (!KeyExists("\\" + path)) {
    if (!canCreate) return false;
    try {
      TIniFile(StoreFileName()).CreateSection(Section(path));
    } catch (const Exception&) { return false; }
  }
  FCurrentPath = path;
  FOpen = true;
  FReadOnly = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  std::string path = Resolve(key);
  if (!KeyExists("\\" + path)) return false;
  FCurrentPath = path;
  FOpen = true;
  FReadOnly = true;
  return true;
}

void TRegistry::CloseKey() {
  FCurrentPath.clear();
  FOpen = false;
  FReadOnly = false;
}

bool TRegistry::CreateKey(const std::string& key) {
  try {
    TIniFile(StoreFileName()).CreateSection(Section(Resolve(key)));
    return true;
  } catch (const Exception&) { return false; }
}

bool TRegistry::DeleteKey(const std::string& key) {
  std::string section = Section(Resolve(key));
  TIniFile ini(StoreFileName());
  bool found = false;
  for (const auto& s : ini.ReadSections())
    if (SameText(s, section) || SameText(s.substr(0, section.size() + 1), section + "\\")) {
      ini.EraseSection(s);
      found = true;
    }
  return found;
}

bool TRegistry::ValueExists(const std::string& name) const {
  return FOpen && TIniFile(StoreFileName()).ValueExists(Section(FCurrentPath), ValueKey(name));
}

std::string TRegistry::ReadString(const std::string& name) const {
  if (!FOpen) return "";
  std::string raw = TIniFile(StoreFileName()).ReadString(Section(FCurrentPath), ValueKey(name), "");
  if (raw.rfind("sz:", 0) == 0) return Unescape(raw.substr(3));
  if (raw.rfind("dword:", 0) == 0) throw ERegistryException("Invalid data type for '" + name + "'");
  return "";
}

int32_t TRegistry::ReadInteger(const std::string& name) const {
  std::string raw =
      FOpen ? TIniFile(StoreFileName()).ReadString(Section(FCurrentPath), ValueKey(name), "") : "";
  int32_t v;
  if (raw.rfind("dword:", 0) == 0 && TryStrToInt(raw.substr(6), v)) return v;
  throw ERegistryException("Invalid data type for '" + name + "'");
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  if (!FOpen || FReadOnly) throw ERegistryException("Failed to set data for '" + name + "'");
  TIniFile(StoreFileName()).WriteString(Section(FCurrentPath), ValueKey(name), "sz:" + Escape(value));
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
  if (!FOpen || FReadOnly) throw ERegistryException("Failed to set data for '" + name + "'");
  TIniFile(StoreFileName()).WriteString(Section(FCurrentPath), ValueKey(name), "dword:" + IntToStr(value));
}

bool TRegistry::DeleteValue(const std::string& name) {
  if (!ValueExists(name) || FReadOnly) return false;
  TIniFile(StoreFileName()).DeleteKey(Section(FCurrentPath), ValueKey(name));
  return true;
}

std::vector<std::string> TRegistry::GetValueNames() const {
  std::vector<std::string> out;
  if (!FOpen) return out;
  for (auto& k : TIniFile(StoreFileName()).ReadSection(Section(FCurrentPath)))
    out.push_back(k == "@" ? "" : Unescape(k));
  return out;
}

std::vector<std::string> TRegistry::GetKeyNames() const {
  std::vector<std::string> out;
  std::string prefix = Section(FCurrentPath) + "\\";
  for (const auto& s : TIniFile(StoreFileName()).ReadSections()) {
    if (s.size() <= prefix.size() || !SameText(s.substr(0, prefix.size()), prefix)) continue;
    std::string rest = s.substr(prefix.size());
    std::string child = rest.substr(0, rest.find('\\'));
    bool seen = false;
    for (auto& o : out) seen = seen || SameText(o, child);
    if (!seen) out.push_back(child);
  }
  return out;
}
