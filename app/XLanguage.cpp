#include "app/XLanguage.h"

namespace {
XLanguage* const* MakeTable() {
  // The codes are the program's own, not ISO 639-1 ("cn", "jp", "kr", "dk", "se").
  static XLanguage* table[LanguageCount + 1] = {new XLanguage(9, "English", "en"),
                                                new XLanguage(12, "French", "fr"),
                                                new XLanguage(4, "Chinese", "cn"),
                                                new XLanguage(19, "Dutch", "nl"),
                                                new XLanguage(7, "German", "de"),
                                                new XLanguage(16, "Italian", "it"),
                                                new XLanguage(17, "Japanese", "jp"),
                                                new XLanguage(10, "Spanish", "es"),
                                                new XLanguage(22, "Portuguese", "pt"),
                                                new XLanguage(18, "Korean", "kr"),
                                                new XLanguage(11, "Suomalainen", "fi"),
                                                new XLanguage(6, "Dansk", "dk"),
                                                new XLanguage(29, "Swedish", "se"),
                                                new XLanguage(5, "Czech", "cz"),
                                                nullptr};
  return table;
}
}  // namespace

XLanguage* const* LanguageTable = MakeTable();
