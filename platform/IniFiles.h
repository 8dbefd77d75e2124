// Settings files with the semantics of the Windows profile functions: every write goes to
// the file at once, section and key names are compared without regard to ASCII case, and
// lines the class does not understand (comments, foreign text) are kept as they stand.
#pragma once
#include <string>
#include <vector>

class TIniFile {
 public:
  explicit TIniFile(const std::string& fileName) : FFileName(fileName) {}
  virtual ~TIniFile() = default;
  const std::string& FileName() const { return FFileName; }

  // Surrounding blanks are dropped from values, and one pair of matching quotes around them.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  int ReadInteger(const std::string& section, const std::string& key, int def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  // Raise EFCreateError / EWriteError when the file cannot be written.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(const std::string& section) const;  // the keys
  // "key=value" lines of the section.
  std::vector<std::string> ReadSectionValues(const std::string& section) const;
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& key);
  // Adds an empty section when it is missing.
  void CreateSection(const std::string& section);
  void UpdateFile() {}  // writes are already on disk

 private:
  struct Lines;
  Lines Load() const;
  void Store(const Lines& lines);
  std::string FFileName;
};
