// The in-memory INI document behind project files, templates, the clipboard and undo
// stores and every object's property store.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Classes.h"

class TINIObject : public TComponent {
 public:
  TINIObject(const std::string& name, TComponent* owner);
  ~TINIObject() override;
  // The node as INI text; a bare TINIObject has none and raises EAbstractError.
  virtual std::string AsString() const;
  void SetName(const std::string& name) override;

 protected:
  // The first child, in creation order, whose name equals `name` with ASCII letters
  // compared without regard to case; an empty name matches nothing.
  TINIObject* FindChild(std::string_view name) const;
  void ComponentRemoved() override { InvalidateIndex(); }
  // Appends the node's text to `out`, so that a document's text is built in one string.
  virtual void AppendTo(std::string& out) const;
  void AppendChildren(std::string& out) const;

 private:
  friend class TINIDocument;
  struct TNameIndex;
  void InvalidateIndex() const;
  // Lookups are linear in meaning (first match in creation order). A node of a few children
  // is scanned; one of more keeps an index of the children's positions by the hash of the
  // folded name (no copies of the names), grown lazily as children are only ever appended.
  // It also remembers the child found last: writes and reads go to one section many times in
  // a row. Entries own no children and pay for one pointer.
  mutable std::unique_ptr<TNameIndex> FIndex;
};

class TINIEntry : public TINIObject {
 public:
  using TINIObject::TINIObject;
  std::string Value;
  std::string AsString() const override;

 protected:
  void AppendTo(std::string& out) const override;
};

class TINISection : public TINIObject {
 public:
  using TINIObject::TINIObject;
  std::string AsString() const override;
  std::string ReadString(const std::string& key, const std::string& def) const;
  // Finds or appends the entry; none (nullptr) for an empty key.
  TINIEntry* WriteString(const std::string& key, const std::string& value);
  TINIEntry* FindEntry(const std::string& key) const;
  int EntryCount() const { return ComponentCount(); }
  TINIEntry* Entry(int index) const;

 protected:
  void AppendTo(std::string& out) const override;

 private:
  friend class TINIDocument;
  TINIEntry* WriteValue(std::string_view key, std::string&& value);
};

// The largest INI text read: no file of this program comes near it (a project of the most
// objects is about 55 MB), and its document costs a few times the text.
constexpr int64_t kMaxINIFileBytes = int64_t(256) << 20;

class TINIDocument : public TINIObject {
 public:
  explicit TINIDocument(const std::string& name = std::string(), TComponent* owner = nullptr)
      : TINIObject(name, owner) {}
  bool Modified = false;

  std::string AsString() const override;
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  virtual TINISection* WriteString(const std::string& section, const std::string& key,
                                   const std::string& value);
  TINISection* WriteInteger(const std::string& section, const std::string& key, int32_t value);
  TINISection* WriteBool(const std::string& section, const std::string& key, bool value);

  void LoadFromStrings(const std::vector<std::string>& lines);
  void LoadFromString(const std::string& text);
  // Raises EFOpenError and leaves the document as it was when the file cannot be read.
  void LoadFromFile(const std::string& fileName);
  // Every line ends with CR LF. Writes through a temporary file and a rename; raises
  // EFCreateError or EWriteError and leaves an existing file untouched on failure.
  void SaveToFile(const std::string& fileName) const;

  TINISection* FindSection(const std::string& name) const;
  int SectionCount() const { return ComponentCount(); }
  TINISection* Section(int index) const;

  // Takes the whole content of `from` (which is left empty) in place of this document's, as
  // a load would: `Modified` is false afterwards. Nothing is copied.
  void TakeContentOf(TINIDocument& from);

 protected:
  void AppendTo(std::string& out) const override;

 private:
  // Parses the text without splitting it into a list of lines first: blank lines and lines
  // that make no entry cost nothing, and no line is copied but the names and values kept.
  void ParseText(std::string_view text);
  void ParseLine(std::string_view line, std::string& current, TINISection*& section);
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
  TINISection* WriteString(const std::string& section, const std::string& key,
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

// What a document loaded from an INI text does not keep, so that writing the document back
// drops it: non-blank lines outside any section, lines that are neither a section header nor
// a key, text after a header's "]", and keys given again in their section (the last value
// stays). Count is the number of such lines; Example is the first line of the first kinds,
// trimmed, empty when only repeated keys are lost.
struct TINILostLines {
  int64_t Count = 0;
  std::string Example;
};
// `loaded` is the document just loaded from exactly this text.
TINILostLines INILostLines(const std::string& text, const TINIDocument& loaded);
