// Named strings of a version-information block in the Windows layout
// (VS_VERSIONINFO with StringFileInfo and VarFileInfo children, UTF-16 texts).
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class XFileVersionInfo {
 public:
  // The program's own file answers from the block compiled into it; other files have none.
  explicit XFileVersionInfo(const std::string& fileName);
  static XFileVersionInfo FromBlock(std::string block);
  std::string Query(const std::string& name, const std::string& def) const;
  // Raw access to a value by path ("\VarFileInfo\Translation", "\StringFileInfo\...\Name").
  bool QueryValue(const std::string& path, std::string& value, bool& isText) const;
  const std::string& Block() const { return FBlock; }

 private:
  XFileVersionInfo() = default;
  std::string FBlock;
};

struct TVersionStringTable {
  uint16_t Language, CodePage;
  std::vector<std::pair<std::string, std::string>> Strings;
};
// Builds a block with the given tables; the translation array lists them in order.
std::string BuildVersionBlock(uint16_t major, uint16_t minor, const std::vector<TVersionStringTable>& tables);
// The block of this program: its version numbers and product texts.
const std::string& ProgramVersionBlock();
