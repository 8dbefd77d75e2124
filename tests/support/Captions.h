// The captions of the text tests: each script, a Tab, a face that is not installed and one
// that fontconfig answers with a symbol face.
#pragma once
#include <string>
#include <vector>

struct TCaptionCase {
  const char* What;
  const char* Face;
  std::string Text;
};

inline const std::vector<TCaptionCase>& CaptionCases() {
  static const std::vector<TCaptionCase> c = {
      {"Latin", "Arial", "Brick Wall"},
      {"Greek", "Times New Roman", "Καλημέρα κόσμε"},
      {"Cyrillic", "Verdana", "Привет, мир"},
      {"Arabic", "Arial", "مرحبا بالعالم"},
      {"Hebrew", "Arial", "עברית"},
      {"CJK", "Times New Roman", "你好世界"},
      {"Tab", "Arial", "Brick\tWall"},
      {"not installed", "No Such Face Zq", "Brick Wall"},
      {"mapped to symbols", "Impact", "Brick Wall"},
      {"mixed", "Arial", "Wall עברית 12 مرحبا"},
  };
  return c;
}
