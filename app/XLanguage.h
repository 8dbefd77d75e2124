// The languages the program knows, with their display names and codes.
#pragma once
#include <cstdint>
#include <string>

#include "engine/XObject.h"

class XLanguage : public XObject {
 public:
  XLanguage(int16_t id, const std::string& name, const std::string& code)
      : XObject(nullptr), Id(id), Code(code), Name(name) {}
  int16_t Id;
  std::string Code;
  std::string Name;
};

// The table ends with a null entry.
extern XLanguage* const* LanguageTable;
constexpr int LanguageCount = 14;
