#include "POP/PopFastINI.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <sys/mman.h>

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

// Up to this many sections or entries a lookup scans them; past it, it goes through an index.
constexpr uint32_t kScannedSections = 8;
constexpr uint32_t kScannedEntries = 64;

// The row at `pos` of an index of `slots` (a power of two) for `hash`, probing linearly.
inline size_t SlotOf(uint32_t hash, size_t slots) { return (hash * 2654435761u) & (slots - 1); }

// memmove that takes an empty range from anywhere (an empty view may hold no pointer).
inline void MoveBytes(void* to, const void* from, size_t n) {
  if (n) std::memmove(to, from, n);
}

[[noreturn]] void TooLarge() {
  throw EOutOfMemory("The INI document is too large: it holds more than 4 GB.");
}

}  // namespace

namespace ini_detail {

// Past this, a block of rows is mapped on its own.
constexpr size_t kMappedRows = size_t(1) << 20;

void* AllocateRows(size_t bytes) {
  if (bytes < kMappedRows) return ::operator new(bytes);
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  return p;
}

void FreeRows(void* p, size_t bytes) noexcept {
  if (bytes < kMappedRows) ::operator delete(p);
  else munmap(p, bytes);
}

}  // namespace ini_detail

// ---- TINIObject ----

TINIObject::TINIObject(const std::string& name, TComponent* owner) : TComponent(name, owner) {}

TINIObject::~TINIObject() = default;

std::string TINIObject::AsString() const { throw EAbstractError("Abstract Error"); }

// ---- TINIEntry ----

std::string TINIEntry::Name() const {
  const TINIDocument& d = *FDoc;
  return std::string(d.EntryKey(d.FEntries[d.FSections[FSection].First + FOrdinal]));
}

std::string TINIEntry::Value() const {
  const TINIDocument& d = *FDoc;
  return std::string(d.EntryValue(d.FEntries[d.FSections[FSection].First + FOrdinal]));
}

std::string TINIEntry::AsString() const { return Name() + "=" + Value() + "\n"; }

// ---- TINISection ----

std::string TINISection::Name() const { return std::string(FDoc->SectionName(FIndex)); }

std::string TINISection::AsString() const {
  std::string out;
  FDoc->AppendSectionText(FIndex, out);
  return out;
}

int TINISection::EntryCount() const { return int(FDoc->FSections[FIndex].Count); }

TINIEntry TINISection::Entry(int index) const {
  if (index < 0 || uint32_t(index) >= FDoc->FSections[FIndex].Count)
    throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  return TINIEntry(FDoc, FIndex, uint32_t(index));
}

TINIEntry TINISection::FindEntry(const std::string& key) const {
  if (key.empty()) return {};
  int64_t e = FDoc->FindEntryRow(FIndex, key, FoldedHash(key));
  return e < 0 ? TINIEntry() : TINIEntry(FDoc, FIndex, uint32_t(e));
}

std::string TINISection::ReadString(const std::string& key, const std::string& def) const {
  if (key.empty()) return def;
  int64_t e = FDoc->FindEntryRow(FIndex, key, FoldedHash(key));
  if (e < 0) return def;
  return std::string(FDoc->EntryValue(FDoc->FEntries[FDoc->FSections[FIndex].First + uint32_t(e)]));
}

TINIEntry TINISection::WriteString(const std::string& key, const std::string& value) {
  if (key.empty()) return {};
  FDoc->SetValue(FIndex, key, value);
  return FindEntry(key);
}

bool TINISection::DeleteEntry(const std::string& key) {
  if (key.empty()) return false;
  TINIDocument& d = *FDoc;
  int64_t e = d.FindEntryRow(FIndex, key, FoldedHash(key));
  if (e < 0) return false;
  TINIDocument::TSectionRow& sec = d.FSections[FIndex];
  TINIDocument::TEntryRow* rows = d.FEntries.data() + sec.First;
  d.FDeadBytes += size_t(rows[e].KeyLen) + rows[e].ValueLen;
  MoveBytes(rows + e, rows + e + 1, sizeof(*rows) * (sec.Count - uint32_t(e) - 1));
  --sec.Count;
  // The places of the entries after it changed: the index of this section goes.
  if (d.FKeyIndexes && FIndex < d.FKeyIndexes->size()) (*d.FKeyIndexes)[FIndex].reset();
  d.FHintSection = UINT32_MAX;
  d.Squeeze();
  return true;
}

// ---- TINIDocument ----

struct TINIDocument::TKeyIndex {
  ini_detail::TRows<uint32_t> Slots;  // an entry's place in its section + 1; 0: free
  uint32_t Indexed = 0;               // entries 0 .. Indexed - 1 are in it
};

TINIDocument::TINIDocument(const std::string& name, TComponent* owner) : TINIObject(name, owner) {}

TINIDocument::~TINIDocument() = default;

void TINIDocument::Clear() {
  // Given back, not kept as capacity: a document loaded again may be much smaller.
  std::string().swap(FPool);
  ini_detail::TRows<TEntryRow>().swap(FEntries);
  ini_detail::TRows<TSectionRow>().swap(FSections);
  ini_detail::TRows<uint32_t>().swap(FSectionSlots);
  ini_detail::TRows<TLateRow>().swap(FLate);
  FSectionsIndexed = 0;
  FKeyIndexes.reset();
  FDeadBytes = FDeadRows = 0;
  FHintSection = UINT32_MAX;
}

std::string_view TINIDocument::SectionName(uint32_t s) const {
  const TSectionRow& r = FSections[s];
  return Bytes(r.NameOff, r.NameLen);
}

void TINIDocument::IndexSections() {
  const uint32_t count = uint32_t(FSections.size());
  for (; FSectionsIndexed < count; ++FSectionsIndexed) {
    if ((size_t(FSectionsIndexed) + 1) * 4 > FSectionSlots.size() * 3) {
      // Grown to twice the size and filled again from the names (a row keeps no hash: it
      // would cost as much as a short name's text); the old slots go first, so that growing
      // costs no more than the grown index.
      const size_t grown = std::max<size_t>(32, FSectionSlots.size() * 2);
      ini_detail::TRows<uint32_t>().swap(FSectionSlots);
      FSectionSlots.assign(grown, 0);
      const size_t slots = FSectionSlots.size();
      for (uint32_t i = 0; i < FSectionsIndexed; ++i) {
        size_t h = SlotOf(FoldedHash(SectionName(i)), slots);
        while (FSectionSlots[h]) h = (h + 1) & (slots - 1);
        FSectionSlots[h] = i + 1;
      }
    }
    const size_t slots = FSectionSlots.size();
    size_t h = SlotOf(FoldedHash(SectionName(FSectionsIndexed)), slots);
    while (FSectionSlots[h]) h = (h + 1) & (slots - 1);
    FSectionSlots[h] = FSectionsIndexed + 1;
  }
}

int64_t TINIDocument::FindSectionRow(std::string_view name, uint32_t hash) const {
  if (name.empty()) return -1;
  const uint32_t count = uint32_t(FSections.size());
  auto same = [&](uint32_t i) {
    const TSectionRow& r = FSections[i];
    return r.NameLen == name.size() && SameFolded(Bytes(r.NameOff, r.NameLen), name);
  };
  if (FHintSection < count && same(FHintSection)) return FHintSection;
  if (count <= kScannedSections) {
    for (uint32_t i = 0; i < count; ++i)
      if (same(i)) return i;
    return -1;
  }
  if (FSectionsIndexed < count) const_cast<TINIDocument*>(this)->IndexSections();
  const size_t slots = FSectionSlots.size();
  for (size_t h = SlotOf(hash, slots); FSectionSlots[h]; h = (h + 1) & (slots - 1))
    if (same(FSectionSlots[h] - 1)) return FSectionSlots[h] - 1;
  return -1;
}

int64_t TINIDocument::FindEntryRow(uint32_t section, std::string_view key, uint32_t hash) const {
  const TSectionRow& sec = FSections[section];
  const TEntryRow* rows = FEntries.data() + sec.First;
  auto same = [&](uint32_t i) { return rows[i].KeyLen == key.size() && SameFolded(EntryKey(rows[i]), key); };
  if (sec.Count <= kScannedEntries) {
    // From the entry after the one found last: reads and writes mostly go in order.
    uint32_t start = FHintSection == section && FHintEntry + 1 < sec.Count ? FHintEntry + 1 : 0;
    for (uint32_t n = 0, i = start; n < sec.Count; ++n, i = i + 1 == sec.Count ? 0 : i + 1)
      if (same(i)) {
        FHintSection = section;
        FHintEntry = i;
        return i;
      }
    return -1;
  }
  if (!FKeyIndexes) FKeyIndexes = std::make_unique<std::vector<std::unique_ptr<TKeyIndex>>>();
  if (FKeyIndexes->size() <= section) FKeyIndexes->resize(size_t(section) + 1);
  std::unique_ptr<TKeyIndex>& ix = (*FKeyIndexes)[section];
  if (!ix) ix = std::make_unique<TKeyIndex>();
  for (; ix->Indexed < sec.Count; ++ix->Indexed) {
    if ((size_t(ix->Indexed) + 1) * 4 > ix->Slots.size() * 3) {
      const size_t grown = std::max<size_t>(128, ix->Slots.size() * 2);
      ini_detail::TRows<uint32_t>().swap(ix->Slots);
      ix->Slots.assign(grown, 0);
      const size_t slots = ix->Slots.size();
      for (uint32_t i = 0; i < ix->Indexed; ++i) {
        size_t h = SlotOf(FoldedHash(EntryKey(rows[i])), slots);
        while (ix->Slots[h]) h = (h + 1) & (slots - 1);
        ix->Slots[h] = i + 1;
      }
    }
    const size_t slots = ix->Slots.size();
    size_t h = SlotOf(FoldedHash(EntryKey(rows[ix->Indexed])), slots);
    while (ix->Slots[h]) h = (h + 1) & (slots - 1);
    ix->Slots[h] = ix->Indexed + 1;
  }
  const size_t slots = ix->Slots.size();
  for (size_t h = SlotOf(hash, slots); ix->Slots[h]; h = (h + 1) & (slots - 1))
    if (same(ix->Slots[h] - 1)) return ix->Slots[h] - 1;
  return -1;
}

uint32_t TINIDocument::Put(std::string_view a, std::string_view b) {
  const size_t end = FParsing ? FParseEnd : FPool.size();
  if (end + a.size() + b.size() > UINT32_MAX) TooLarge();
  if (FParsing) {
    // The bytes come from the text not yet parsed, or from the store before its end: moved
    // down to the end, a first, they never overwrite what they still have to copy.
    char* base = FPool.data();
    MoveBytes(base + end, a.data(), a.size());
    MoveBytes(base + end + a.size(), b.data(), b.size());
    FParseEnd = end + a.size() + b.size();
  } else {
    const char* base = FPool.data();
    auto inPool = [&](std::string_view v) {
      return !v.empty() && v.data() >= base && v.data() < base + FPool.size();
    };
    if (inPool(a) || inPool(b)) {
      const std::string copy = std::string(a) + std::string(b);
      FPool += copy;
    } else {
      FPool.reserve(end + a.size() + b.size());
      FPool.append(a);
      FPool.append(b);
    }
  }
  return uint32_t(end);
}

uint32_t TINIDocument::AddSection(std::string_view name) {
  if (FSections.size() >= UINT32_MAX - 1) TooLarge();
  const uint32_t off = Put(name, {});
  FSections.push_back({off, uint32_t(name.size()), uint32_t(FEntries.size()), 0, 0});
  return uint32_t(FSections.size() - 1);
}

uint32_t TINIDocument::SectionFor(std::string_view name) {
  const uint32_t hash = FoldedHash(name);
  int64_t s = FindSectionRow(name, hash);
  if (s < 0) s = AddSection(name);
  FHintSection = uint32_t(s);
  return uint32_t(s);
}

void TINIDocument::AppendRow(uint32_t section, const TEntryRow& row) {
  TSectionRow& sec = FSections[section];
  if (sec.Count == sec.Room) {
    if (size_t(sec.First) + sec.Room == FEntries.size()) {
      // The last run of rows grows where it is.
      if (FEntries.size() >= UINT32_MAX) TooLarge();
      FEntries.emplace_back();
      ++sec.Room;
    } else {
      // Another run follows: this one moves to the end with room to grow, so that writes to
      // sections in turn cost the same as writes to one.
      const size_t room = std::max<size_t>(4, size_t(sec.Count) * 2);
      if (FEntries.size() + room > UINT32_MAX) TooLarge();
      const size_t first = FEntries.size();
      FEntries.resize(first + room);
      MoveBytes(FEntries.data() + first, FEntries.data() + sec.First, sizeof(TEntryRow) * sec.Count);
      FDeadRows += sec.Room;
      sec.First = uint32_t(first);
      sec.Room = uint32_t(room);
    }
  }
  FEntries[size_t(sec.First) + sec.Count] = row;
  ++sec.Count;
  if (FDeadRows > 4096) Squeeze();
}

bool TINIDocument::SetValue(uint32_t section, std::string_view key, std::string_view value) {
  const uint32_t hash = FoldedHash(key);
  const int64_t e = FindEntryRow(section, key, hash);
  if (e < 0) {
    if (key.size() > UINT32_MAX || value.size() > UINT32_MAX) TooLarge();
    const uint32_t off = Put(key, value);
    AppendRow(section, {off, uint32_t(key.size()), uint32_t(value.size())});
    FHintSection = section;
    FHintEntry = FSections[section].Count - 1;
    return false;
  }
  TEntryRow& row = FEntries[size_t(FSections[section].First) + uint32_t(e)];
  if (value.size() <= row.ValueLen) {
    // In place: the entry keeps its key as first written and its place.
    MoveBytes(FPool.data() + row.Off + row.KeyLen, value.data(), value.size());
    FDeadBytes += row.ValueLen - value.size();
    row.ValueLen = uint32_t(value.size());
  } else {
    if (value.size() > UINT32_MAX) TooLarge();
    const uint32_t off = Put(EntryKey(row), value);
    FDeadBytes += size_t(row.KeyLen) + row.ValueLen;
    // Put may have moved the pool, never the rows.
    TEntryRow& moved = FEntries[size_t(FSections[section].First) + uint32_t(e)];
    moved.Off = off;
    moved.ValueLen = uint32_t(value.size());
    if (!FParsing) Squeeze();
  }
  return true;
}

void TINIDocument::Squeeze() {
  if (FParsing) return;
  size_t liveRows = 0;
  if (FDeadRows > 4096 && FDeadRows > FEntries.size() / 2) {
    ini_detail::TRows<TEntryRow> rows;
    for (const TSectionRow& s : FSections) liveRows += s.Count;
    rows.reserve(liveRows);
    for (TSectionRow& s : FSections) {
      rows.insert(rows.end(), FEntries.begin() + s.First, FEntries.begin() + s.First + s.Count);
      s.First = uint32_t(rows.size() - s.Count);
      s.Room = s.Count;
    }
    FEntries.swap(rows);
    FDeadRows = 0;
  }
  if (FDeadBytes > 65536 && FDeadBytes > FPool.size() / 2) {
    std::string pool;
    pool.reserve(FPool.size() - FDeadBytes);
    for (TSectionRow& s : FSections) {
      const uint32_t off = uint32_t(pool.size());
      pool.append(SectionName(uint32_t(&s - FSections.data())));
      s.NameOff = off;
      for (uint32_t i = 0; i < s.Count; ++i) {
        TEntryRow& e = FEntries[size_t(s.First) + i];
        const uint32_t at = uint32_t(pool.size());
        pool.append(FPool, e.Off, size_t(e.KeyLen) + e.ValueLen);
        e.Off = at;
      }
    }
    FPool.swap(pool);
    FDeadBytes = 0;
  }
}

void TINIDocument::AppendSectionText(uint32_t s, std::string& out) const {
  const TSectionRow& sec = FSections[s];
  out += '[';
  out += SectionName(s);
  out += "]\n";
  for (uint32_t i = 0; i < sec.Count; ++i) {
    const TEntryRow& e = FEntries[size_t(sec.First) + i];
    out += EntryKey(e);
    out += '=';
    out += EntryValue(e);
    out += '\n';
  }
}

std::string TINIDocument::AsString() const {
  std::string out;
  size_t rows = 0;
  for (const TSectionRow& s : FSections) rows += s.Count;
  out.reserve(FPool.size() - FDeadBytes + FSections.size() * 3 + rows * 2);
  for (uint32_t s = 0; s < FSections.size(); ++s) AppendSectionText(s, out);
  return out;
}

TINISection TINIDocument::FindSection(const std::string& name) const {
  int64_t s = FindSectionRow(name, FoldedHash(name));
  return s < 0 ? TINISection() : TINISection(const_cast<TINIDocument*>(this), uint32_t(s));
}

TINISection TINIDocument::Section(int index) const {
  if (index < 0 || size_t(index) >= FSections.size())
    throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  return TINISection(const_cast<TINIDocument*>(this), uint32_t(index));
}

void TINIDocument::DeleteSection(int index) {
  if (index < 0 || size_t(index) >= FSections.size())
    throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  const TSectionRow& sec = FSections[size_t(index)];
  FDeadBytes += sec.NameLen;
  for (uint32_t i = 0; i < sec.Count; ++i) {
    const TEntryRow& e = FEntries[size_t(sec.First) + i];
    FDeadBytes += size_t(e.KeyLen) + e.ValueLen;
  }
  FDeadRows += sec.Room;
  FSections.erase(FSections.begin() + index);
  // The places of the sections after it changed: both indexes are made again when needed.
  FSectionSlots.clear();
  FSectionsIndexed = 0;
  FKeyIndexes.reset();
  FHintSection = UINT32_MAX;
  Squeeze();
}

std::string TINIDocument::ReadString(const std::string& section, const std::string& key,
                                     const std::string& def) const {
  TINISection s = FindSection(section);
  if (!s) return def;
  return s.ReadString(key, def);
}

int32_t TINIDocument::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
  return StrToIntDef(ReadString(section, key, ""), def);
}

bool TINIDocument::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

TINISection TINIDocument::WriteString(const std::string& section, const std::string& key,
                                      const std::string& value) {
  if (section.empty()) return {};
  const uint32_t s = SectionFor(section);
  if (!key.empty()) SetValue(s, key, value);
  Modified = true;
  return TINISection(this, s);
}

TINISection TINIDocument::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  return WriteString(section, key, IntToStr(value));
}

TINISection TINIDocument::WriteBool(const std::string& section, const std::string& key, bool value) {
  return WriteInteger(section, key, value ? 1 : 0);
}

struct TINIDocument::TParse {
  // The header in force: its name lies in the text not yet parsed (nothing is stored
  // between a header and the line that makes its section).
  size_t NameBegin = 0, NameLen = 0;
  bool InSection = false;
  int64_t Section = -1;  // made or found by the first line under the header
};

void TINIDocument::ParseLine(TParse& p, size_t begin, size_t end, TINILostLines& lost) {
  const char* base = FPool.data();
  while (begin < end && IsBlankByte(base[begin])) ++begin;
  while (end > begin && IsBlankByte(base[end - 1])) --end;
  const std::string_view t(base + begin, end - begin);
  auto drop = [&] {
    ++lost.Count;
    if (lost.Example.empty()) lost.Example = std::string(t.substr(0, 80));
  };
  if (!t.empty() && t[0] == '[') {
    const size_t close = t.find(']');
    const std::string_view name =
        TrimView(close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1));
    p.NameBegin = size_t(name.data() - base);
    p.NameLen = name.size();
    p.InSection = !name.empty();
    p.Section = -1;
    if (close != std::string_view::npos && !TrimView(t.substr(close + 1)).empty()) drop();
    return;
  }
  if (!p.InSection) {
    if (!t.empty()) drop();
    return;
  }
  if (p.Section < 0) p.Section = SectionFor(std::string_view(base + p.NameBegin, p.NameLen));
  if (t.empty()) return;
  const size_t eq = t.find('=');
  const std::string_view key = eq == std::string_view::npos ? std::string_view() : TrimView(t.substr(0, eq));
  if (key.empty()) return drop();
  const std::string_view value = TrimView(t.substr(eq + 1));
  const TSectionRow& sec = FSections[size_t(p.Section)];
  if (!FLate.empty() || size_t(sec.First) + sec.Room != FEntries.size()) {
    // Another section's run follows this one's. Once one entry is set aside every later one
    // is too, so that they are placed in the order of the text.
    if (key.size() > UINT32_MAX || value.size() > UINT32_MAX) TooLarge();
    const uint32_t off = Put(key, value);
    FLate.push_back({{off, uint32_t(key.size()), uint32_t(value.size())}, uint32_t(p.Section)});
    return;
  }
  if (SetValue(uint32_t(p.Section), key, value)) ++lost.Count;
}

void TINIDocument::Parse(size_t begin, TINILostLines& lost) {
  // The text is FPool; what the document keeps is written over its front, never past the line
  // being read, so the text costs no second copy. Its rows are reserved for every "=" and
  // "[" it holds, so they never grow by copies; what stays unused is never touched.
  size_t equals = 0, brackets = 0;
  for (size_t i = begin; i < FPool.size(); ++i) {
    equals += FPool[i] == '=';
    brackets += FPool[i] == '[';
  }
  FEntries.reserve(equals);
  FSections.reserve(brackets);
  FParsing = true;
  FParseEnd = 0;
  TParse p;
  const size_t n = FPool.size();
  const char* text = FPool.data();
  size_t start = begin, i = begin;
  while (i < n) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    ParseLine(p, start, i, lost);
    if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
    start = ++i;
  }
  if (start < n) ParseLine(p, start, n, lost);
  EndParse(lost);
}

void TINIDocument::PlaceLateRows(TINILostLines& lost) {
  // Every section's run is laid out again with room for its entries set aside, which then
  // go in, in the order of the text, as writes would have put them: a key the section holds
  // already takes the new value at its first place and spelling.
  std::vector<uint32_t> late(FSections.size(), 0);
  for (const TLateRow& r : FLate) ++late[r.Section];
  size_t total = 0;
  for (const TSectionRow& sec : FSections) total += sec.Count;
  total += FLate.size();
  if (total > UINT32_MAX) TooLarge();
  {
    ini_detail::TRows<TEntryRow> rows;
    rows.reserve(total);
    for (uint32_t s = 0; s < FSections.size(); ++s) {
      TSectionRow& sec = FSections[s];
      const uint32_t first = uint32_t(rows.size());
      rows.insert(rows.end(), FEntries.begin() + sec.First, FEntries.begin() + sec.First + sec.Count);
      rows.resize(rows.size() + late[s]);
      sec.First = first;
      sec.Room = sec.Count + late[s];
    }
    FEntries.swap(rows);
  }
  std::vector<uint32_t>().swap(late);
  FKeyIndexes.reset();
  FHintSection = UINT32_MAX;
  for (const TLateRow& r : FLate) {
    const TEntryRow& in = r.Row;
    const std::string_view key = EntryKey(in);
    const int64_t e = FindEntryRow(r.Section, key, FoldedHash(key));
    TSectionRow& sec = FSections[r.Section];
    if (e < 0) {
      FEntries[size_t(sec.First) + sec.Count] = in;
      FHintSection = r.Section;
      FHintEntry = sec.Count++;
      continue;
    }
    ++lost.Count;
    TEntryRow& row = FEntries[size_t(sec.First) + uint32_t(e)];
    const size_t before = size_t(row.KeyLen) + row.ValueLen;
    if (in.ValueLen <= row.ValueLen) {
      MoveBytes(FPool.data() + row.Off + row.KeyLen, FPool.data() + in.Off + in.KeyLen, in.ValueLen);
      row.ValueLen = in.ValueLen;
      FDeadBytes += before - row.KeyLen - row.ValueLen + in.KeyLen + in.ValueLen;
    } else if (EntryKey(row) == key) {
      // Spelt the same: the row takes the new bytes where they lie.
      row.Off = in.Off;
      row.ValueLen = in.ValueLen;
      FDeadBytes += before;
    } else {
      const uint32_t off = Put(EntryKey(row), EntryValue(in));
      TEntryRow& moved = FEntries[size_t(sec.First) + uint32_t(e)];
      moved.Off = off;
      moved.ValueLen = in.ValueLen;
      FDeadBytes += before + in.KeyLen + in.ValueLen;
    }
  }
  // The room of repeated keys is left over.
  for (const TSectionRow& sec : FSections) FDeadRows += sec.Room - sec.Count;
  ini_detail::TRows<TLateRow>().swap(FLate);
}

void TINIDocument::EndParse(TINILostLines& lost) {
  FParsing = false;
  FPool.resize(FParseEnd);
  if (!FLate.empty()) PlaceLateRows(lost);
  // What the text held beyond the document (blank lines, comments), and rows reserved for
  // lines that made no entry, are given back when they are most of it.
  if (FPool.capacity() > 2 * FPool.size() + 4096) FPool.shrink_to_fit();
  if (FEntries.capacity() > 2 * FEntries.size() + 64) FEntries.shrink_to_fit();
  if (FSections.capacity() > 2 * FSections.size() + 64) FSections.shrink_to_fit();
  Squeeze();
}

void TINIDocument::LoadFromStrings(const std::vector<std::string>& lines) {
  size_t total = 0;
  for (const std::string& line : lines) total += line.size();
  if (total > UINT32_MAX) TooLarge();
  std::string text;
  text.reserve(total);
  for (const std::string& line : lines) text += line;
  Clear();
  FPool = std::move(text);
  FParsing = true;
  FParseEnd = 0;
  TParse p;
  TINILostLines lost;
  size_t at = 0;
  for (const std::string& line : lines) {
    ParseLine(p, at, at + line.size(), lost);
    at += line.size();
  }
  EndParse(lost);
  Modified = false;
}

TINILostLines TINIDocument::LoadFromString(std::string text) {
  // A UTF-8 byte-order mark, which editors on other systems put first, is not text: kept, it
  // would hide the first header. A NUL (only a damaged file holds one) is dropped so that
  // what follows it is kept.
  if (text.size() > UINT32_MAX) TooLarge();
  Clear();
  FPool = std::move(text);
  if (std::memchr(FPool.data(), '\0', FPool.size()))
    FPool.erase(std::remove(FPool.begin(), FPool.end(), '\0'), FPool.end());
  TINILostLines lost;
  Parse(FPool.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0, lost);
  Modified = false;
  return lost;
}

void TINIDocument::LoadFromFile(const std::string& fileName) {
  // Read first: a file that cannot be read leaves the document as it was.
  LoadFromString(ReadFileBytesAtMost(fileName, kMaxINIFileBytes));
}

void TINIDocument::TakeContentOf(TINIDocument& from) {
  if (&from == this) return;
  Clear();
  FPool.swap(from.FPool);
  FEntries.swap(from.FEntries);
  FSections.swap(from.FSections);
  FSectionSlots.swap(from.FSectionSlots);
  std::swap(FSectionsIndexed, from.FSectionsIndexed);
  std::swap(FKeyIndexes, from.FKeyIndexes);
  std::swap(FDeadBytes, from.FDeadBytes);
  std::swap(FDeadRows, from.FDeadRows);
  from.Clear();
  from.Modified = false;
  Modified = false;
}

void TINIDocument::SaveToFile(const std::string& fileName) const {
  // The text's lines, each ended by CR LF: every line break of the text (a value may hold
  // one) becomes CR LF, and a NUL is dropped, as splitting the text into lines would do.
  std::string out;
  out.reserve(FPool.size() - FDeadBytes + FPool.size() / 8 + FSections.size() * 4 + 2);
  auto put = [&](std::string_view v) {
    const size_t n = v.size();
    for (size_t i = 0; i < n; ++i) {
      const char c = v[i];
      if (c == '\r' || c == '\n') {
        if (c == '\r' && i + 1 < n && v[i + 1] == '\n') ++i;
        out += "\r\n";
      } else if (c != '\0') {
        out += c;
      }
    }
  };
  for (uint32_t s = 0; s < FSections.size(); ++s) {
    const TSectionRow& sec = FSections[s];
    out += '[';
    put(SectionName(s));
    out += "]\r\n";
    for (uint32_t i = 0; i < sec.Count; ++i) {
      const TEntryRow& e = FEntries[size_t(sec.First) + i];
      put(EntryKey(e));
      out += '=';
      put(EntryValue(e));
      out += "\r\n";
    }
  }
  WriteFileAtomic(fileName, out);
}

// ---- TINITextWriter ----

TINISection TINITextWriter::WriteString(const std::string& section, const std::string& key,
                                        const std::string& value) {
  if (section.empty()) return {};
  Modified = true;
  if (key.empty()) return {};
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
  return {};
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
