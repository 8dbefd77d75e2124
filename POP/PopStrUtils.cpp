#include "POP/PopStrUtils.h"

#include <cstring>

#include "platform/SysUtils.h"

bool IsEmptyStr(const std::string& s) { return s.empty(); }

std::string AnsiReplaceText(const std::string& s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  return StringReplaceAll(s, from, to, true);
}

std::string StringIniName(const std::string& s) {
  size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string StringIniValue(const std::string& s) {
  size_t p = s.find('=');
  return p == std::string::npos ? s : s.substr(p + 1);
}

void KeywordLineSplit(const std::string& line, std::string& caption, std::string& value) {
  size_t p = line.rfind('=');
  caption = p == std::string::npos ? std::string() : line.substr(0, p);
  value = p == std::string::npos ? line : line.substr(p + 1);
}

void StringSaveToFile(const std::string& text, const std::string& fileName) {
  try {
    WriteFileAtomic(fileName, text);
  } catch (const Exception& e) { throw EFCreateError(e.Message); }
}

std::string StringLoadFromFile(const std::string& fileName) { return ReadFileBytes(fileName); }

int AnsiIndexText(const std::string& s, const std::vector<std::string>& list, int last) {
  for (int i = 0; i <= last && i < int(list.size()); ++i)
    if (SameText(s, list[i])) return i;
  return -1;
}

std::string StringExtract(const char* p, int from, int to) {
  if (!p || to <= from || from < 0) return {};
  return std::string(p + from, size_t(to - from));
}

std::string StringExtract(const char* p, int count) { return StringExtract(p, 0, count); }

std::string StringTitle(const std::string& s) {
  if (s.empty()) return s;
  return UpperCase(s.substr(0, 1)) + LowerCase(s.substr(1));
}

int StringSplit(const std::string& s, std::string& left, std::string& right, char ch) {
  size_t p = s.find(ch);
  if (p == std::string::npos) {
    left = s;
    right.clear();
    return 0;
  }
  left = s.substr(0, p);
  right = s.substr(p + 1);
  return int(p) + 1;
}

std::string StringEscape(const std::string& s) {
  std::string r;
  for (unsigned char c : s) r += "%" + IntToHex(c, 2);
  return r;
}

int FirstDelimiter(const std::string& delimiters, const std::string& s) {
  size_t p = s.find_first_of(delimiters);
  return p == std::string::npos ? 0 : int(p) + 1;
}

// A quoted string: the text between the opening quote and the next single quote, doubled
// quotes standing for one; a text that does not begin with the quote gives the empty text.
std::string StringExtractQuotedStr(const std::string& s, char quote) {
  if (s.empty() || s[0] != quote) return {};
  std::string r;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] == quote) {
      if (i + 1 < s.size() && s[i + 1] == quote) {
        r += quote;
        ++i;
      } else {
        break;
      }
    } else {
      r += s[i];
    }
  }
  return r;
}
