#include "platform/IniFiles.h"

#include <unordered_map>

#include "platform/Classes.h"
#include "platform/SysUtils.h"

namespace {

std::string Folded(const std::string& s) {
  std::string f = s;
  for (char& c : f)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return f;
}

}  // namespace

struct TIniFile::Lines {
  std::vector<std::string> text;

  struct Section {
    std::string name;   // as first written
    size_t begin, end;  // the lines below its first header, up to the next header
  };
  std::vector<Section> sections;                  // in file order, each name once
  std::unordered_map<std::string, size_t> index;  // folded name -> sections
  // Folded section name, a line feed (which no line holds) and the folded key -> the line of
  // the key's first entry in the section.
  std::unordered_map<std::string, size_t> keys;

  static std::string KeyOf(const std::string& section, const std::string& key) {
    return Folded(section) + '\n' + Folded(key);
  }

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

  // One pass over the lines. A section whose header comes again is the first one: the
  // lines under its later headers are not part of it, as with the profile functions.
  void Reindex() {
    sections.clear();
    index.clear();
    keys.clear();
    keys.reserve(text.size());
    std::string name, k, v;
    size_t current = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
      if (IsHeader(text[i], name)) {
        if (current != std::string::npos) sections[current].end = i;
        current = std::string::npos;
        if (index.emplace(Folded(name), sections.size()).second) {
          current = sections.size();
          sections.push_back({name, i + 1, text.size()});
        }
      } else if (current != std::string::npos && IsEntry(text[i], k, v)) {
        keys.emplace(KeyOf(sections[current].name, k), i);
      }
    }
  }

  const Section* Find(const std::string& section) const {
    auto it = index.find(Folded(section));
    return it == index.end() ? nullptr : &sections[it->second];
  }

  size_t FindKey(const std::string& section, const std::string& key) const {
    auto it = keys.find(KeyOf(section, key));
    return it == keys.end() ? std::string::npos : it->second;
  }
};

const TIniFile::Lines& TIniFile::Load() const {
  TFileStamp now = FileStampOf(FFileName);
  if (FLines && now == FStamp) return *FLines;
  auto l = std::make_shared<Lines>();
  if (now.Exists && FileExists(FFileName)) {
    try {
      std::string text = ReadFileBytes(FFileName);
      // A UTF-8 byte-order mark, which editors on other systems put first, is not text.
      if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
      l->text = SplitLines(text);
    } catch (const Exception&) {
      // An unreadable settings file reads as empty, as the profile functions do.
      l->text.clear();
    }
  }
  l->Reindex();
  FLines = std::move(l);
  FStamp = now;
  return *FLines;
}

void TIniFile::Store(Lines lines) {
  std::string out;
  for (const auto& line : lines.text) out += line + "\r\n";
  std::string dir = ExtractFileDir(FFileName);
  if (!dir.empty()) ForceDirectories(dir);
  // A failed write leaves the parse as it was; the next read looks at the file again.
  FLines.reset();
  WriteFileAtomic(FFileName, out);
  lines.Reindex();
  FLines = std::make_shared<const Lines>(std::move(lines));
  FStamp = FileStampOf(FFileName);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
  const Lines& l = Load();
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
  } else if (const Lines::Section* s = l.Find(section)) {
    // After the section's last non-blank line, so a blank line before the next header stays.
    size_t at = s->end;
    while (at > s->begin && Trim(l.text[at - 1]).empty()) --at;
    l.text.insert(l.text.begin() + long(at), line);
  } else {
    l.text.push_back("[" + section + "]");
    l.text.push_back(line);
  }
  Store(std::move(l));
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, IntToStr(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> out;
  for (const auto& s : Load().sections) out.push_back(s.name);
  return out;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> out;
  for (const auto& kv : ReadSectionValues(section)) out.push_back(kv.substr(0, kv.find('=')));
  return out;
}

std::vector<std::string> TIniFile::ReadSectionValues(const std::string& section) const {
  const Lines& l = Load();
  std::vector<std::string> out;
  const Lines::Section* s = l.Find(section);
  if (!s) return out;
  std::string k, v;
  for (size_t i = s->begin; i < s->end; ++i)
    if (Lines::IsEntry(l.text[i], k, v)) out.push_back(k + "=" + v);
  return out;
}

bool TIniFile::SectionExists(const std::string& section) const { return Load().Find(section) != nullptr; }

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  return Load().FindKey(section, key) != std::string::npos;
}

void TIniFile::EraseSection(const std::string& section) {
  Lines l = Load();
  bool changed = false;
  // Every block of the section goes, its repeated headers too.
  for (const Lines::Section* s = l.Find(section); s; s = l.Find(section)) {
    l.text.erase(l.text.begin() + long(s->begin - 1), l.text.begin() + long(s->end));
    l.Reindex();
    changed = true;
  }
  if (changed) Store(std::move(l));
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  Lines l = Load();
  size_t i = l.FindKey(section, key);
  if (i == std::string::npos) return;
  l.text.erase(l.text.begin() + long(i));
  Store(std::move(l));
}

void TIniFile::CreateSection(const std::string& section) {
  Lines l = Load();
  if (l.Find(section)) return;
  l.text.push_back("[" + section + "]");
  Store(std::move(l));
}
