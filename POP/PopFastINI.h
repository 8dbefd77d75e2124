// The in-memory INI document behind project files, templates, the clipboard and undo
// stores and every object's property store.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Classes.h"

class TINIDocument;

namespace ini_detail {
// The rows of a large document are mapped from the system on their own, not carved from the
// heap: a table that grows gives its old pages back at once, and rows reserved for a text
// cost nothing until they are used.
void* AllocateRows(size_t bytes);
void FreeRows(void* p, size_t bytes) noexcept;
template <class T>
struct TRowAllocator {
  using value_type = T;
  TRowAllocator() = default;
  template <class U>
  TRowAllocator(const TRowAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(AllocateRows(n * sizeof(T))); }
  void deallocate(T* p, size_t n) noexcept { FreeRows(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const TRowAllocator<U>&) const {
    return true;
  }
};
template <class T>
using TRows = std::vector<T, TRowAllocator<T>>;
}  // namespace ini_detail

// The document's own node: a TINIObject names the document (its file, for TINIFileQuick).
// Sections and entries are not nodes: they are rows of their document's compact store, and
// TINISection and TINIEntry are handles to them.
class TINIObject : public TComponent {
 public:
  TINIObject(const std::string& name, TComponent* owner);
  ~TINIObject() override;
  // The node as INI text; a bare TINIObject has none and raises EAbstractError.
  virtual std::string AsString() const;
};

// One entry of a section, by its section and its place there. A handle stays valid while
// its document is not loaded again and no section or entry before it is deleted.
class TINIEntry {
 public:
  TINIEntry() = default;
  explicit operator bool() const { return FDoc != nullptr; }
  bool operator==(const TINIEntry&) const = default;
  std::string Name() const;
  std::string Value() const;
  std::string AsString() const;

 private:
  friend class TINIDocument;
  friend class TINISection;
  TINIEntry(const TINIDocument* doc, uint32_t section, uint32_t ordinal)
      : FDoc(doc), FSection(section), FOrdinal(ordinal) {}
  const TINIDocument* FDoc = nullptr;
  uint32_t FSection = 0, FOrdinal = 0;
};

// One section of a document, by its place; valid as an entry handle is. The empty handle
// (false) stands for no section.
class TINISection {
 public:
  TINISection() = default;
  explicit operator bool() const { return FDoc != nullptr; }
  bool operator==(const TINISection&) const = default;
  std::string Name() const;
  std::string AsString() const;
  std::string ReadString(const std::string& key, const std::string& def) const;
  // Finds the entry (the first of its name) and sets its value in place, or appends it; the
  // empty handle for an empty key.
  TINIEntry WriteString(const std::string& key, const std::string& value);
  TINIEntry FindEntry(const std::string& key) const;
  int EntryCount() const;
  TINIEntry Entry(int index) const;
  // Takes the entry of that name out; false when there is none.
  bool DeleteEntry(const std::string& key);
  int Index() const { return int(FIndex); }

 private:
  friend class TINIDocument;
  TINISection(TINIDocument* doc, uint32_t index) : FDoc(doc), FIndex(index) {}
  TINIDocument* FDoc = nullptr;
  uint32_t FIndex = 0;
};

// What a load from INI text did not keep, so that writing the document back drops it:
// non-blank lines outside any section, lines that are neither a section header nor a key,
// text after a header's "]", and keys given again in their section (the last value stays).
// Count is the number of such lines; Example is the first line of the first kinds, trimmed
// and cut at 80 bytes, empty when only repeated keys are lost.
struct TINILostLines {
  int64_t Count = 0;
  std::string Example;
};

// The largest INI text read: no file of this program comes near it (a project of the most
// objects is about 55 MB), and its document costs a few times the text.
constexpr int64_t kMaxINIFileBytes = int64_t(256) << 20;

class TINIDocument : public TINIObject {
 public:
  explicit TINIDocument(const std::string& name = std::string(), TComponent* owner = nullptr);
  ~TINIDocument() override;
  bool Modified = false;

  std::string AsString() const override;
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  virtual TINISection WriteString(const std::string& section, const std::string& key,
                                  const std::string& value);
  TINISection WriteInteger(const std::string& section, const std::string& key, int32_t value);
  TINISection WriteBool(const std::string& section, const std::string& key, bool value);

  void LoadFromStrings(const std::vector<std::string>& lines);
  // The text becomes the document's store and is parsed where it lies: pass it with
  // std::move when it is not needed afterwards. Says what the document did not keep.
  TINILostLines LoadFromString(std::string text);
  // Raises EFOpenError and leaves the document as it was when the file cannot be read.
  void LoadFromFile(const std::string& fileName);
  // Every line ends with CR LF. Writes through a temporary file and a rename; raises
  // EFCreateError or EWriteError and leaves an existing file untouched on failure.
  void SaveToFile(const std::string& fileName) const;

  TINISection FindSection(const std::string& name) const;
  int SectionCount() const { return int(FSections.size()); }
  TINISection Section(int index) const;
  // Takes the section at `index` out with its entries.
  void DeleteSection(int index);

  // Takes the whole content of `from` (which is left empty) in place of this document's, as
  // a load would: `Modified` is false afterwards. Nothing is copied.
  void TakeContentOf(TINIDocument& from);

 private:
  friend class TINISection;
  friend class TINIEntry;
  // The store. Every name and value lies in FPool, an entry's key followed at once by its
  // value; the entries of a section are a run of FEntries (Room rows, Count of them used),
  // so an entry costs 12 bytes beside its text and a section 20 beside its name. Rows and
  // bytes that edits leave behind are counted and squeezed out once they outweigh the rest.
  struct TEntryRow {
    uint32_t Off, KeyLen, ValueLen;
  };
  struct TSectionRow {
    uint32_t NameOff, NameLen, First, Count, Room;
  };
  struct TKeyIndex;
  struct TParse;
  // An entry read for a section whose run of rows is no longer the last: kept aside in the
  // order of the text and placed when the parse ends, so that sections given in turn do not
  // move their runs again and again.
  struct TLateRow {
    TEntryRow Row;
    uint32_t Section;
  };
  ini_detail::TRows<TLateRow> FLate;
  std::string FPool;
  ini_detail::TRows<TEntryRow> FEntries;
  ini_detail::TRows<TSectionRow> FSections;
  size_t FDeadBytes = 0, FDeadRows = 0;
  // While a text is parsed where it lies, the store's bytes end at FParseEnd and the text
  // not yet parsed follows; otherwise the store is the whole of FPool.
  bool FParsing = false;
  size_t FParseEnd = 0;
  // Lookups mean the first match in order; names are unique in their section or document
  // (writes find before they make), so an index of names finds the same. A few sections or
  // entries are scanned, from the one after the last found; more go through an index of
  // their positions by the hash of the folded name, kept as rows are appended.
  ini_detail::TRows<uint32_t> FSectionSlots;
  uint32_t FSectionsIndexed = 0;
  mutable std::unique_ptr<std::vector<std::unique_ptr<TKeyIndex>>> FKeyIndexes;
  mutable uint32_t FHintSection = UINT32_MAX, FHintEntry = 0;

  void Clear();
  std::string_view Bytes(uint32_t off, uint32_t len) const { return {FPool.data() + off, len}; }
  std::string_view SectionName(uint32_t s) const;
  std::string_view EntryKey(const TEntryRow& e) const { return Bytes(e.Off, e.KeyLen); }
  std::string_view EntryValue(const TEntryRow& e) const { return Bytes(e.Off + e.KeyLen, e.ValueLen); }
  int64_t FindSectionRow(std::string_view name, uint32_t hash) const;
  int64_t FindEntryRow(uint32_t section, std::string_view key, uint32_t hash) const;
  uint32_t AddSection(std::string_view name);
  uint32_t SectionFor(std::string_view name);
  // Sets the value of the key in the section; true when the key was there already.
  bool SetValue(uint32_t section, std::string_view key, std::string_view value);
  uint32_t Put(std::string_view a, std::string_view b);
  void AppendRow(uint32_t section, const TEntryRow& row);
  void IndexSections();
  void Squeeze();
  void AppendSectionText(uint32_t s, std::string& out) const;
  void Parse(size_t begin, TINILostLines& lost);
  void EndParse(TINILostLines& lost);
  void PlaceLateRows(TINILostLines& lost);
  void ParseLine(TParse& p, size_t begin, size_t end, TINILostLines& lost);
};

// A document that keeps no sections: every write goes straight into Text as an INI line, after
// a header whenever the section changes, and reads find nothing. Parsing Text gives the
// document that the same writes would have built (a key or a section written again is merged
// into the first on the parse, as the document merges it; a section without entries is lost,
// as it is from a document's text), so a scene becomes text in one pass, without a node.
class TINITextWriter : public TINIDocument {
 public:
  std::string Text;
  // Always none: there is no section to give.
  TINISection WriteString(const std::string& section, const std::string& key,
                          const std::string& value) override;

 private:
  std::string FSection;
  bool FInSection = false;
};

// A document bound to one file (its Name): loaded when created, written back when released
// if anything was written. Both directions swallow every error.
class TINIFileQuick : public TINIDocument {
 public:
  explicit TINIFileQuick(const std::string& fileName);
  ~TINIFileQuick() override;
};

// Splits INI text into lines: CR, LF and CR LF end a line, a final break adds no empty line.
// A UTF-8 byte-order mark at the start is skipped.
// A NUL byte (which only a damaged file holds) is dropped and the text goes on after it, so
// the next save does not lose what follows it.
std::vector<std::string> INITextLines(const std::string& text);
