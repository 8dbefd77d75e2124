// Settings files with the semantics of the Windows profile functions: every write goes to
// the file at once, section and key names are compared without regard to ASCII case, and
// lines the class does not understand (comments, foreign text) are kept as they stand.
//
// The file is parsed once and its keys found through an index; the parse is kept until the
// file on disk changes (its size, time or identity), so a long run of reads costs one read
// of the file.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/SysUtils.h"

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
  // The parsed file, read again only when the file on disk has changed.
  const Lines& Load() const;
  // Writes the lines and keeps them as the parse of the file.
  void Store(Lines lines);
  std::string FFileName;
  mutable std::shared_ptr<const Lines> FLines;
  mutable TFileStamp FStamp;
};
