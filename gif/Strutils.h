// String functions: blanks, padding, words, wildcards, numbers in other bases, Roman numbers
// and the exclusive-or coding of stored values. Positions are 1-based, 0 meaning "none".
#pragma once
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A set of 8-bit characters (word delimiters, characters that count as empty).
struct TCharSet {
  std::bitset<256> Bits;
  TCharSet() = default;
  TCharSet(std::string_view chars) {  // NOLINT: a set is written as its characters
    for (char c : chars) Bits.set((unsigned char)c);
  }
  TCharSet(const char* chars) : TCharSet(std::string_view(chars)) {}  // NOLINT
  bool Has(char c) const { return Bits.test((unsigned char)c); }
  bool Empty() const { return Bits.none(); }
};

// The blanks, tab and line breaks.
extern const TCharSet WordDelimiters;

// The system has one code page for both, so these copy.
std::string StrToOem(const std::string& s);
std::string OemToAnsiStr(const std::string& s);

bool IsEmptyStr(const std::string& s, const TCharSet& emptyChars);
int CompStr(const std::string& a, const std::string& b);   // -1, 0, 1
int CompText(const std::string& a, const std::string& b);  // -1, 0, 1, ASCII case-blind
bool IsWordPresent(const std::string& word, const std::string& s, const TCharSet& delims);
bool IsWild(const std::string& input, const std::string& wilds, bool ignoreCase);
int FindPart(const std::string& helpWilds, const std::string& input);

std::string DelSpace(const std::string& s);
std::string DelChars(const std::string& s, char c);
std::string DelBSpace(const std::string& s);
std::string DelESpace(const std::string& s);
std::string DelRSpace(const std::string& s);
std::string DelSpace1(const std::string& s);
std::string Tab2Space(const std::string& s, int numb);
std::string MakeStr(char c, int n);
std::string MS(char c, int n);
std::string AddChar(char c, const std::string& s, int n);
std::string AddCharR(char c, const std::string& s, int n);
std::string CenterStr(const std::string& s, int len);

std::string ReplaceStr(const std::string& s, const std::string& srch, const std::string& replace);
int NPos(const std::string& sub, const std::string& s, int n);
std::string LeftStr(const std::string& s, int n);
std::string RightStr(const std::string& s, int n);
std::string Copy2Symb(const std::string& s, char symb);
std::string Copy2SymbDel(std::string& s, char symb);
std::string Copy2Space(const std::string& s);
std::string Copy2SpaceDel(std::string& s);
int WordCount(const std::string& s, const TCharSet& delims);
int WordPosition(int n, const std::string& s, const TCharSet& delims);
std::string ExtractWord(int n, const std::string& s, const TCharSet& delims);
std::string ExtractWordPos(int n, const std::string& s, const TCharSet& delims, int& pos);
// Every delimiter separates, so empty fields count.
std::string ExtractDelimited(int n, const std::string& s, const TCharSet& delims);
// From pos to the next delimiter; pos moves past it.
std::string ExtractSubstr(const std::string& s, int& pos, const TCharSet& delims);
std::string QuotedString(const std::string& s, char quote);
// The text between the quotes with doubled quotes made single; s when it does not start
// with the quote.
std::string ExtractQuotedString(const std::string& s, char quote);
std::string AnsiProperCase(const std::string& s, const TCharSet& delims);
// The argument after the switch (switch chars + name, name compared case-blind) among the
// program's command-line arguments; empty when absent.
std::string GetCmdLineArg(const std::string& sw, const TCharSet& switchChars);

std::string Numb2USA(const std::string& s);
std::string Dec2Hex(int64_t n, int digits);
std::string D2H(int64_t n);
int64_t Hex2Dec(const std::string& s);  // 0 for a text that is not hexadecimal
int64_t H2D(const std::string& s);
// Base 2 to 36, digits 0-9 then A-Z, at least minDigits digits; empty for another base.
std::string Dec2Numb(int64_t n, int minDigits, int base);
int64_t Numb2Dec(const std::string& s, int base);  // stops at the first digit not of the base
std::string IntToBin(int64_t value, int digits, int spaces);
int RomanToInt(const std::string& s);  // -1 for a text that is not a Roman number
std::string IntToRoman(int value);     // empty outside 1..3999

// Each character combined by exclusive-or with the key's, the key repeated.
std::string XorString(const std::string& key, const std::string& src);
// The same, written as two lower-case hexadecimal digits a byte.
std::string XorEncode(const std::string& key, const std::string& source);
// The reverse; a pair that is not hexadecimal reads as 32.
std::string XorDecode(const std::string& key, const std::string& source);

// The program's arguments without the program itself.
std::vector<std::string> ProgramParams();
