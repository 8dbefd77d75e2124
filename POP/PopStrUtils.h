// String functions shared by the editor and the HTML builders.
#pragma once
#include <string>
#include <vector>

bool IsEmptyStr(const std::string& s);
std::string AnsiReplaceText(const std::string& s, const std::string& from, const std::string& to);
std::string StringIniName(const std::string& s);
std::string StringIniValue(const std::string& s);
// A line of the HTML head's keyword list: the caption, "=" and the switch. The switch is the
// text after the last "=", so that a caption may hold "=" itself and reads back as written;
// a line without "=" has an empty caption and is all switch.
void KeywordLineSplit(const std::string& line, std::string& caption, std::string& value);
void StringSaveToFile(const std::string& text, const std::string& fileName);
std::string StringLoadFromFile(const std::string& fileName);
int AnsiIndexText(const std::string& s, const std::vector<std::string>& list, int last);
std::string StringExtract(const char* p, int from, int to);
std::string StringExtract(const char* p, int count);
std::string StringTitle(const std::string& s);
int StringSplit(const std::string& s, std::string& left, std::string& right, char ch);
std::string StringEscape(const std::string& s);
int FirstDelimiter(const std::string& delimiters, const std::string& s);
std::string StringExtractQuotedStr(const std::string& s, char quote);
