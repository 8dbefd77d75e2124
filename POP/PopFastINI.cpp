#include "POP/PopFastINI.h"

#include <algorithm>

#include "platform/SysUtils.h"

namespace {

std::string FoldName(const std::string& s) { return LowerCase(s); }

}  // namespace

// ---- TINIObject ----

TINIObject::TINIObject(const std::string& name, TComponent* owner) : TComponent(name, owner) {}

std::string TINIObject::AsString() const { throw EAbstractError("Abstract Error"); }

void TINIObject::SetName(const std::string& name) {
  TComponent::SetName(name);
  if (auto* parent = dynamic_cast<TINIObject*>(Owner())) parent->InvalidateIndex();
}

void TINIObject::InvalidateIndex() const {
  FIndex.clear();
  FIndexed = 0;
}

TINIObject* TINIObject::FindChild(const std::string& name) const {
  if (name.empty()) return nullptr;
  int count = ComponentCount();
  for (; FIndexed < count; ++FIndexed) {
    auto* child = static_cast<TINIObject*>(Components(FIndexed));
    if (!child->Name().empty()) FIndex.emplace(FoldName(child->Name()), child);  // first wins
  }
  auto it = FIndex.find(FoldName(name));
  return it == FIndex.end() ? nullptr : it->second;
}

void TINIObject::AppendText(std::string& out) const {
  for (int i = 0; i < ComponentCount(); ++i) out += static_cast<const TINIObject*>(Components(i))->AsString();
}

// ---- TINIEntry ----

std::string TINIEntry::AsString() const {
  if (Name().empty()) return Value + "\n";
  return Name() + "=" + Value + "\n";
}

// ---- TINISection ----

std::string TINISection::AsString() const {
  std::string out = "[" + Name() + "]\n";
  AppendText(out);
  return out;
}

TINIEntry* TINISection::FindEntry(const std::string& key) const {
  return dynamic_cast<TINIEntry*>(FindChild(key));
}

TINIEntry* TINISection::Entry(int index) const { return static_cast<TINIEntry*>(Components(index)); }

std::string TINISection::ReadString(const std::string& key, const std::string& def) const {
  TINIEntry* e = FindEntry(key);
  return e ? e->Value : def;
}

TINIEntry* TINISection::WriteString(const std::string& key, const std::string& value) {
  if (key.empty()) return nullptr;
  TINIEntry* e = FindEntry(key);
  if (!e) e = new TINIEntry(key, this);
  e->Value = value;
  return e;
}

// ---- TINIDocument ----

std::string TINIDocument::AsString() const {
  std::string out;
  AppendText(out);
  return out;
}

TINISection* TINIDocument::FindSection(const std::string& name) const {
  return dynamic_cast<TINISection*>(FindChild(name));
}

TINISection* TINIDocument::Section(int index) const { return static_cast<TINISection*>(Components(index)); }

std::string TINIDocument::ReadString(const std::string& section, const std::string& key,
                                     const std::string& def) const {
  TINISection* s = FindSection(section);
  if (!s) return def;
  return s->ReadString(key, def);
}

int32_t TINIDocument::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
  return StrToIntDef(ReadString(section, key, ""), def);
}

bool TINIDocument::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

TINISection* TINIDocument::WriteString(const std::string& section, const std::string& key,
                                       const std::string& value) {
  if (section.empty()) return nullptr;
  TINISection* s = FindSection(section);
  if (!s) s = new TINISection(section, this);
  s->WriteString(key, value);
  Modified = true;
  return s;
}

TINISection* TINIDocument::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  return WriteString(section, key, IntToStr(value));
}

TINISection* TINIDocument::WriteBool(const std::string& section, const std::string& key, bool value) {
  return WriteInteger(section, key, value ? 1 : 0);
}

void TINIDocument::LoadFromStrings(const std::vector<std::string>& lines) {
  DestroyComponents();
  std::string current;
  for (const std::string& line : lines) {
    std::string t = Trim(line);
    if (!t.empty() && t[0] == '[') {
      size_t close = t.find(']');
      current = Trim(close == std::string::npos ? t.substr(1) : t.substr(1, close - 1));
      continue;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) WriteString(current, std::string(), t);
    else WriteString(current, Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
  }
  Modified = false;
}

void TINIDocument::LoadFromString(const std::string& text) { LoadFromStrings(INITextLines(text)); }

void TINIDocument::LoadFromFile(const std::string& fileName) {
  // Read first: a file that cannot be read leaves the document as it was.
  LoadFromStrings(INITextLines(ReadFileBytesAtMost(fileName, kMaxINIFileBytes)));
}

void TINIDocument::SaveToFile(const std::string& fileName) const {
  std::string out;
  for (const std::string& line : INITextLines(AsString())) {
    out += line;
    out += "\r\n";
  }
  WriteFileAtomic(fileName, out);
}

// ---- TINIFileQuick ----

TINIFileQuick::TINIFileQuick(const std::string& fileName) : TINIDocument(fileName, nullptr) {
  try {
    LoadFromFile(Name());
  } catch (...) {
    // A missing or unreadable file gives an empty document.
  }
}

TINIFileQuick::~TINIFileQuick() {
  if (Modified) {
    try {
      SaveToFile(Name());
    } catch (...) {
      // Release never reports; callers that must know call SaveToFile themselves.
    }
  }
}

std::vector<std::string> INITextLines(const std::string& text) {
  // A UTF-8 byte-order mark, which editors on other systems put first, is not text: kept, it
  // would hide the first header.
  const bool mark = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (!mark && text.find('\0') == std::string::npos) return SplitLines(text);
  std::string clean = mark ? text.substr(3) : text;
  clean.erase(std::remove(clean.begin(), clean.end(), '\0'), clean.end());
  return SplitLines(clean);
}
