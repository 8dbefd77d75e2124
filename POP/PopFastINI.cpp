#include "POP/PopFastINI.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/SysUtils.h"

namespace {

inline unsigned char FoldByte(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

// The hash of a name with its ASCII letters folded, as lookups compare them.
uint32_t FoldedHash(std::string_view s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ FoldByte(c)) * 16777619u;
  return h;
}

bool SameFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldByte(static_cast<unsigned char>(a[i])) != FoldByte(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

inline bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view TrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlankByte(s[b])) ++b;
  while (e > b && IsBlankByte(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Up to this many children a lookup scans them; past it, it goes through the index.
constexpr int kScannedChildren = 8;

}  // namespace

// ---- TINIObject ----

struct TINIObject::TNameIndex {
  // Open addressing, never more than half full. A slot holds a child's position + 1 (0:
  // free) and its name's hash, so that growing and probing touch no child but a likely match.
  struct Slot {
    uint32_t Child = 0;
    uint32_t Hash = 0;
  };
  std::vector<Slot> Slots;
  int Indexed = 0;  // children 0 .. Indexed - 1 are in the index
  int Used = 0;
  TINIObject* LastFound = nullptr;
};

TINIObject::TINIObject(const std::string& name, TComponent* owner) : TComponent(name, owner) {}

TINIObject::~TINIObject() = default;

std::string TINIObject::AsString() const { throw EAbstractError("Abstract Error"); }

void TINIObject::AppendTo(std::string& out) const { out += AsString(); }

void TINIObject::SetName(const std::string& name) {
  TComponent::SetName(name);
  if (auto* parent = dynamic_cast<TINIObject*>(Owner())) parent->InvalidateIndex();
}

void TINIObject::InvalidateIndex() const { FIndex.reset(); }

TINIObject* TINIObject::FindChild(std::string_view name) const {
  if (name.empty()) return nullptr;
  const int count = ComponentCount();
  auto child = [this](size_t i) { return static_cast<TINIObject*>(Components(int(i))); };
  if (count <= kScannedChildren && !FIndex) {
    for (int i = 0; i < count; ++i)
      if (SameFolded(child(size_t(i))->Name(), name)) return child(size_t(i));
    return nullptr;
  }
  if (!FIndex) FIndex = std::make_unique<TNameIndex>();
  TNameIndex& ix = *FIndex;
  // The last child found is still the first of its name: children are only appended, and
  // whatever renames or takes one away drops the index.
  if (ix.LastFound && SameFolded(ix.LastFound->Name(), name)) return ix.LastFound;
  for (; ix.Indexed < count; ++ix.Indexed) {
    const std::string& n = child(size_t(ix.Indexed))->Name();
    if (n.empty()) continue;
    if (size_t(ix.Used + 1) * 2 > ix.Slots.size()) {
      std::vector<TNameIndex::Slot> old = std::move(ix.Slots);
      ix.Slots.assign(std::max<size_t>(32, old.size() * 2), {});
      const size_t mask = ix.Slots.size() - 1;
      for (const TNameIndex::Slot& v : old) {
        if (!v.Child) continue;
        size_t h = v.Hash & mask;
        while (ix.Slots[h].Child) h = (h + 1) & mask;
        ix.Slots[h] = v;
      }
    }
    const size_t mask = ix.Slots.size() - 1;
    const uint32_t hash = FoldedHash(n);
    size_t h = hash & mask;
    bool known = false;  // an earlier child of the same name stays the one found
    for (; ix.Slots[h].Child; h = (h + 1) & mask)
      if (ix.Slots[h].Hash == hash && SameFolded(child(ix.Slots[h].Child - 1)->Name(), n)) {
        known = true;
        break;
      }
    if (!known) {
      ix.Slots[h] = {uint32_t(ix.Indexed + 1), hash};
      ++ix.Used;
    }
  }
  if (ix.Slots.empty()) return nullptr;
  const size_t mask = ix.Slots.size() - 1;
  const uint32_t hash = FoldedHash(name);
  for (size_t h = hash & mask; ix.Slots[h].Child; h = (h + 1) & mask) {
    const TNameIndex::Slot& v = ix.Slots[h];
    if (v.Hash == hash && SameFolded(child(v.Child - 1)->Name(), name))
      return ix.LastFound = child(v.Child - 1);
  }
  return nullptr;
}

void TINIObject::AppendChildren(std::string& out) const {
  for (int i = 0; i < ComponentCount(); ++i) static_cast<const TINIObject*>(Components(i))->AppendTo(out);
}

// ---- TINIEntry ----

std::string TINIEntry::AsString() const {
  std::string out;
  AppendTo(out);
  return out;
}

void TINIEntry::AppendTo(std::string& out) const {
  if (!Name().empty()) {
    out += Name();
    out += '=';
  }
  out += Value;
  out += '\n';
}

// ---- TINISection ----

std::string TINISection::AsString() const {
  std::string out;
  AppendTo(out);
  return out;
}

void TINISection::AppendTo(std::string& out) const {
  out += '[';
  out += Name();
  out += "]\n";
  AppendChildren(out);
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
  return WriteValue(key, std::string(value));
}

TINIEntry* TINISection::WriteValue(std::string_view key, std::string&& value) {
  if (key.empty()) return nullptr;
  TINIEntry* e = dynamic_cast<TINIEntry*>(FindChild(key));
  if (!e) e = new TINIEntry(std::string(key), this);
  e->Value = std::move(value);
  return e;
}

// ---- TINIDocument ----

std::string TINIDocument::AsString() const {
  std::string out;
  AppendTo(out);
  return out;
}

void TINIDocument::AppendTo(std::string& out) const { AppendChildren(out); }

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

void TINIDocument::ParseLine(std::string_view line, std::string& current, TINISection*& section) {
  std::string_view t = TrimView(line);
  if (!t.empty() && t[0] == '[') {
    size_t close = t.find(']');
    current.assign(TrimView(close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1)));
    section = nullptr;  // made by the first line under the header that is not a header
    return;
  }
  if (current.empty()) return;
  if (!section) {
    section = FindSection(current);
    if (!section) section = new TINISection(current, this);
  }
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return;  // no key: the section alone
  section->WriteValue(TrimView(t.substr(0, eq)), std::string(TrimView(t.substr(eq + 1))));
}

void TINIDocument::ParseText(std::string_view text) {
  DestroyComponents();
  std::string current;
  TINISection* section = nullptr;
  size_t start = 0, i = 0, n = text.size();
  while (i < n) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      ParseLine(text.substr(start, i - start), current, section);
      if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < n) ParseLine(text.substr(start), current, section);
  Modified = false;
}

void TINIDocument::LoadFromStrings(const std::vector<std::string>& lines) {
  DestroyComponents();
  std::string current;
  TINISection* section = nullptr;
  for (const std::string& line : lines) ParseLine(line, current, section);
  Modified = false;
}

void TINIDocument::LoadFromString(const std::string& text) {
  // A UTF-8 byte-order mark, which editors on other systems put first, is not text: kept, it
  // would hide the first header. A NUL (only a damaged file holds one) is dropped so that
  // what follows it is kept; such a text alone is copied first.
  std::string_view view(text);
  if (view.compare(0, 3, "\xEF\xBB\xBF") == 0) view.remove_prefix(3);
  if (view.find('\0') == std::string_view::npos) return ParseText(view);
  std::string clean(view);
  clean.erase(std::remove(clean.begin(), clean.end(), '\0'), clean.end());
  ParseText(clean);
}

void TINIDocument::LoadFromFile(const std::string& fileName) {
  // Read first: a file that cannot be read leaves the document as it was.
  LoadFromString(ReadFileBytesAtMost(fileName, kMaxINIFileBytes));
}

void TINIDocument::TakeContentOf(TINIDocument& from) {
  if (&from == this) return;
  DestroyComponents();
  TakeComponents(from);
  Modified = false;
}

void TINIDocument::SaveToFile(const std::string& fileName) const {
  // The text's lines, each ended by CR LF: every line break of the text (a value may hold
  // one) becomes CR LF, and a NUL is dropped, as splitting the text into lines would do.
  const std::string text = AsString();
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 2);
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (c != '\0') {
      out += c;
    }
  }
  WriteFileAtomic(fileName, out);
}

// ---- TINITextWriter ----

TINISection* TINITextWriter::WriteString(const std::string& section, const std::string& key,
                                         const std::string& value) {
  if (section.empty()) return nullptr;
  Modified = true;
  if (key.empty()) return nullptr;
  if (!FInSection || section != FSection) {
    Text += '[';
    Text += section;
    Text += "]\n";
    FSection = section;
    FInSection = true;
  }
  Text += key;
  Text += '=';
  Text += value;
  Text += '\n';
  return nullptr;
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

TINILostLines INILostLines(const std::string& text, const TINIDocument& loaded) {
  // The lines as the document reads them (INITextLines), walked in place: a large project
  // is not split into a second copy of itself.
  const bool mark = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
  const bool clean = mark || text.find('\0') != std::string::npos;
  std::string cleaned;
  if (clean) {
    cleaned = mark ? text.substr(3) : text;
    cleaned.erase(std::remove(cleaned.begin(), cleaned.end(), '\0'), cleaned.end());
  }
  std::string_view all = clean ? std::string_view(cleaned) : std::string_view(text);
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  auto trim = [&](std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
  };
  TINILostLines lost;
  int64_t keys = 0;
  bool inSection = false;
  auto drop = [&](std::string_view line) {
    ++lost.Count;
    if (lost.Example.empty()) lost.Example = std::string(line.substr(0, 80));
  };
  size_t start = 0, n = all.size();
  while (start < n) {
    size_t end = start;
    while (end < n && all[end] != '\r' && all[end] != '\n') ++end;
    std::string_view t = trim(all.substr(start, end - start));
    start = end + (end + 1 < n && all[end] == '\r' && all[end + 1] == '\n' ? 2 : 1);
    if (t.empty()) continue;
    if (t[0] == '[') {
      size_t close = t.find(']');
      std::string_view name = trim(close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1));
      inSection = !name.empty();
      if (close != std::string_view::npos && !trim(t.substr(close + 1)).empty()) drop(t);
      continue;
    }
    size_t eq = t.find('=');
    if (!inSection || eq == std::string_view::npos || trim(t.substr(0, eq)).empty()) drop(t);
    else ++keys;
  }
  int64_t entries = 0;
  for (int i = 0; i < loaded.SectionCount(); ++i) entries += loaded.Section(i)->EntryCount();
  if (keys > entries) lost.Count += keys - entries;
  return lost;
}
