#include "platform/IniFiles.h"

#include <tuple>

#include "platform/Classes.h"
#include "platform/SysUtils.h"

struct TIniFile::Lines {
  std::vector<std::string> text;

  static bool IsHeader(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t[0] != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
  }

  static bool IsEntry(const std::string& line, std::string& key, std::string& value) {
    std::string t = TrimLeft(line);
    if (t.empty() || t[0] == ';' || t[0] == '[') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return !key.empty();
  }

  // [begin, end) of the lines below the first header of the section; begin is npos when
  // the section is missing.
  std::pair<size_t, size_t> Find(const std::string& section) const {
    std::string name;
    for (size_t i = 0; i < text.size(); ++i) {
      if (IsHeader(text[i], name) && SameText(name, section)) {
        size_t j = i + 1;
        while (j < text.size() && !IsHeader(text[j], name)) ++j;
        return {i + 1, j};
      }
    }
    return {std::string::npos, std::string::npos};
  }

  size_t FindKey(const std::string& section, const std::string& key) const {
    auto [b, e] = Find(section);
    if (b == std::string::npos) return std::string::npos;
    std::string k, v;
    for (size_t i = b; i < e; ++i)
      if (IsEntry(text[i], k, v) && SameText(k, key)) return i;
    return std::string::npos;
  }
};

TIniFile::Lines TIniFile::Load() const {
  Lines l;
  if (FileExists(FFileName)) {
    try {
      std::string text = ReadFileBytes(FFileName);
      // A UTF-8 byte-order mark, which editors on other systems put first, is not text.
      if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
      l.text = SplitLines(text);
    } catch (const Exception&) {
      // An unreadable settings file reads as empty, as the profile functions do.
    }
  }
  return l;
}

void TIniFile::Store(const Lines& lines) {
  std::string out;
  for (const auto& line : lines.text) out += line + "\r\n";
  std::string dir = ExtractFileDir(FFileName);
  if (!dir.empty()) ForceDirectories(dir);
  WriteFileAtomic(FFileName, out);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
  Lines l = Load();
  size_t i = l.FindKey(section, key);
  if (i == std::string::npos) return def;
  std::string k, v;
  Lines::IsEntry(l.text[i], k, v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return v;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
  return StrToIntDef(ReadString(section, key, ""), def);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  Lines l = Load();
  std::string line = key + "=" + value;
  size_t i = l.FindKey(section, key);
  if (i != std::string::npos) {
    l.text[i] = line;
  } else {
    auto [b, e] = l.Find(section);
    if (b == std::string::npos) {
      l.text.push_back("[" + section + "]");
      l.text.push_back(line);
    } else {
      // After the section's last non-blank line, so a blank line before the next header stays.
      size_t at = e;
      while (at > b && Trim(l.text[at - 1]).empty()) --at;
      l.text.insert(l.text.begin() + long(at), line);
    }
  }
  Store(l);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, IntToStr(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> TIniFile::ReadSections() const {
  Lines l = Load();
  std::vector<std::string> out;
  std::string name;
  for (const auto& line : l.text)
    if (Lines::IsHeader(line, name)) {
      bool seen = false;
      for (auto& s : out) seen = seen || SameText(s, name);
      if (!seen) out.push_back(name);
    }
  return out;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> out;
  for (const auto& kv : ReadSectionValues(section)) out.push_back(kv.substr(0, kv.find('=')));
  return out;
}

std::vector<std::string> TIniFile::ReadSectionValues(const std::string& section) const {
  Lines l = Load();
  std::vector<std::string> out;
  auto [b, e] = l.Find(section);
  if (b == std::string::npos) return out;
  std::string k, v;
  for (size_t i = b; i < e; ++i)
    if (Lines::IsEntry(l.text[i], k, v)) out.push_back(k + "=" + v);
  return out;
}

bool TIniFile::SectionExists(const std::string& section) const {
  return Load().Find(section).first != std::string::npos;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  return Load().FindKey(section, key) != std::string::npos;
}

void TIniFile::EraseSection(const std::string& section) {
  Lines l = Load();
  bool changed = false;
  for (auto [b, e] = l.Find(section); b != std::string::npos; std::tie(b, e) = l.Find(section)) {
    l.text.erase(l.text.begin() + long(b - 1), l.text.begin() + long(e));
    changed = true;
  }
  if (changed) Store(l);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  Lines l = Load();
  size_t i = l.FindKey(section, key);
  if (i == std::string::npos) return;
  l.text.erase(l.text.begin() + long(i));
  Store(l);
}

void TIniFile::CreateSection(const std::string& section) {
  Lines l = Load();
  if (l.Find(section).first != std::string::npos) return;
  l.text.push_back("[" + section + "]");
  Store(l);
}
