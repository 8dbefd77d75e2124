#include "gif/Strutils.h"

#include <cctype>
#include <fstream>
#include <iterator>

#include "POP/PopStrUtils.h"
#include "platform/SysUtils.h"

const TCharSet WordDelimiters(std::string_view(" \t\r\n", 4));

std::string StrToOem(const std::string& s) { return s; }
std::string OemToAnsiStr(const std::string& s) { return s; }

bool IsEmptyStr(const std::string& s, const TCharSet& emptyChars) {
  for (char c : s)
    if (!emptyChars.Has(c)) return false;
  return true;
}

int CompStr(const std::string& a, const std::string& b) {
  int r = CompareStr(a, b);
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int CompText(const std::string& a, const std::string& b) {
  int r = CompareText(a, b);
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

bool IsWordPresent(const std::string& word, const std::string& s, const TCharSet& delims) {
  int n = WordCount(s, delims);
  for (int i = 1; i <= n; ++i)
    if (SameText(ExtractWord(i, s, delims), word)) return true;
  return false;
}

namespace {
char Fold(char c, bool ignoreCase) { return ignoreCase ? char(std::toupper((unsigned char)c)) : c; }
}  // namespace

bool IsWild(const std::string& input, const std::string& wilds, bool ignoreCase) {
  // Greedy matching with a single back-track point: linear in practice and never recursive.
  size_t i = 0, w = 0, star = std::string::npos, mark = 0;
  while (i < input.size()) {
    if (w < wilds.size() && (wilds[w] == '?' || Fold(wilds[w], ignoreCase) == Fold(input[i], ignoreCase))) {
      ++i;
      ++w;
    } else if (w < wilds.size() && wilds[w] == '*') {
      star = w++;
      mark = i;
    } else if (star != std::string::npos) {
      w = star + 1;
      i = ++mark;
    } else {
      return false;
    }
  }
  while (w < wilds.size() && wilds[w] == '*') ++w;
  return w == wilds.size();
}

int FindPart(const std::string& helpWilds, const std::string& input) {
  if (helpWilds.find('?') == std::string::npos) return int(Pos(helpWilds, input));
  if (helpWilds.size() > input.size()) return 0;
  for (size_t start = 0; start + helpWilds.size() <= input.size(); ++start) {
    size_t k = 0;
    while (k < helpWilds.size() && (helpWilds[k] == '?' || helpWilds[k] == input[start + k])) ++k;
    if (k == helpWilds.size()) return int(start + 1);
  }
  return 0;
}

std::string DelSpace(const std::string& s) { return DelChars(s, ' '); }

std::string DelChars(const std::string& s, char c) {
  std::string r;
  for (char x : s)
    if (x != c) r += x;
  return r;
}

std::string DelBSpace(const std::string& s) {
  size_t i = s.find_first_not_of(' ');
  return i == std::string::npos ? std::string() : s.substr(i);
}

std::string DelESpace(const std::string& s) {
  size_t i = s.find_last_not_of(' ');
  return i == std::string::npos ? std::string() : s.substr(0, i + 1);
}

std::string DelRSpace(const std::string& s) { return DelBSpace(DelESpace(s)); }

std::string DelSpace1(const std::string& s) {
  std::string r;
  for (char c : s)
    if (c != ' ' || r.empty() || r.back() != ' ') r += c;
  return r;
}

std::string Tab2Space(const std::string& s, int numb) {
  std::string r;
  for (char c : s)
    if (c == '\t') r += MakeStr(' ', numb);
    else r += c;
  return r;
}

std::string MakeStr(char c, int n) { return n < 1 ? std::string() : std::string(size_t(n), c); }
std::string MS(char c, int n) { return MakeStr(c, n); }

std::string AddChar(char c, const std::string& s, int n) {
  return int(s.size()) < n ? MakeStr(c, n - int(s.size())) + s : s;
}

std::string AddCharR(char c, const std::string& s, int n) {
  return int(s.size()) < n ? s + MakeStr(c, n - int(s.size())) : s;
}

std::string CenterStr(const std::string& s, int len) {
  if (int(s.size()) >= len) return s;
  std::string r = MakeStr(' ', len / 2 - int(s.size()) / 2) + s;
  return r + MakeStr(' ', len - int(r.size()));
}

std::string ReplaceStr(const std::string& s, const std::string& srch, const std::string& replace) {
  if (srch.empty()) return s;
  return StringReplaceAll(s, srch, replace);
}

int NPos(const std::string& sub, const std::string& s, int n) {
  if (sub.empty() || n < 1) return 0;
  size_t at = 0;
  for (int k = 0; k < n; ++k) {
    size_t p = s.find(sub, at);
    if (p == std::string::npos) return 0;
    if (k == n - 1) return int(p + 1);
    at = p + 1;
  }
  return 0;
}

std::string LeftStr(const std::string& s, int n) { return n <= 0 ? std::string() : s.substr(0, size_t(n)); }

std::string RightStr(const std::string& s, int n) {
  if (n <= 0) return {};
  return size_t(n) >= s.size() ? s : s.substr(s.size() - size_t(n));
}

std::string Copy2Symb(const std::string& s, char symb) {
  size_t p = s.find(symb);
  return p == std::string::npos ? s : s.substr(0, p);
}

std::string Copy2SymbDel(std::string& s, char symb) {
  std::string r = Copy2Symb(s, symb);
  size_t p = s.find(symb);
  s = p == std::string::npos ? std::string() : s.substr(p + 1);
  return r;
}

std::string Copy2Space(const std::string& s) { return Copy2Symb(s, ' '); }
std::string Copy2SpaceDel(std::string& s) { return Copy2SymbDel(s, ' '); }

int WordCount(const std::string& s, const TCharSet& delims) {
  int n = 0;
  bool inWord = false;
  for (char c : s) {
    bool d = delims.Has(c);
    if (!d && !inWord) ++n;
    inWord = !d;
  }
  return n;
}

int WordPosition(int n, const std::string& s, const TCharSet& delims) {
  int count = 0;
  bool inWord = false;
  for (size_t i = 0; i < s.size(); ++i) {
    bool d = delims.Has(s[i]);
    if (!d && !inWord && ++count == n) return int(i + 1);
    inWord = !d;
  }
  return 0;
}

std::string ExtractWordPos(int n, const std::string& s, const TCharSet& delims, int& pos) {
  pos = WordPosition(n, s, delims);
  if (pos == 0) return {};
  size_t i = size_t(pos - 1), j = i;
  while (j < s.size() && !delims.Has(s[j])) ++j;
  return s.substr(i, j - i);
}

std::string ExtractWord(int n, const std::string& s, const TCharSet& delims) {
  int pos;
  return ExtractWordPos(n, s, delims, pos);
}

std::string ExtractDelimited(int n, const std::string& s, const TCharSet& delims) {
  if (n < 1) return {};
  int field = 1;
  std::string r;
  for (char c : s) {
    if (delims.Has(c)) {
      if (field == n) return r;
      ++field;
    } else if (field == n) {
      r += c;
    }
  }
  return field == n ? r : std::string();
}

std::string ExtractSubstr(const std::string& s, int& pos, const TCharSet& delims) {
  if (pos < 1) pos = 1;
  size_t i = size_t(pos - 1), j = i;
  while (j < s.size() && !delims.Has(s[j])) ++j;
  std::string r = i < s.size() ? s.substr(i, j - i) : std::string();
  pos = int(j < s.size() ? j + 2 : j + 1);
  return r;
}

std::string QuotedString(const std::string& s, char quote) {
  std::string r(1, quote);
  for (char c : s) {
    r += c;
    if (c == quote) r += c;
  }
  return r + quote;
}

std::string ExtractQuotedString(const std::string& s, char quote) {
  if (s.empty() || s[0] != quote) return s;
  return StringExtractQuotedStr(s, quote);
}

std::string AnsiProperCase(const std::string& s, const TCharSet& delims) {
  std::string r = LowerCase(s);
  bool start = true;
  for (char& c : r) {
    if (delims.Has(c)) start = true;
    else if (start) {
      c = char(std::toupper((unsigned char)c));
      start = false;
    }
  }
  return r;
}

std::vector<std::string> ProgramParams() {
  std::ifstream f("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  size_t i = 0;
  while (i < all.size()) {
    size_t z = all.find('\0', i);
    if (z == std::string::npos) z = all.size();
    args.push_back(all.substr(i, z - i));
    i = z + 1;
  }
  if (!args.empty()) args.erase(args.begin());
  return args;
}

std::string GetCmdLineArg(const std::string& sw, const TCharSet& switchChars) {
  std::vector<std::string> args = ProgramParams();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.empty() || !switchChars.Has(a[0]) || !SameText(a.substr(1), sw)) continue;
    return i + 1 < args.size() ? args[i + 1] : std::string();
  }
  return {};
}

std::string Numb2USA(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i > 0 && (s.size() - i) % 3 == 0) r += ',';
    r += s[i];
  }
  return r;
}

std::string Dec2Hex(int64_t n, int digits) { return IntToHex(n, digits); }
std::string D2H(int64_t n) { return IntToHex(n, 1); }

int64_t Hex2Dec(const std::string& s) {
  int64_t v;
  return TryStrToInt64("$" + s, v) ? v : 0;
}
int64_t H2D(const std::string& s) { return Hex2Dec(s); }

std::string Dec2Numb(int64_t n, int minDigits, int base) {
  if (base < 2 || base > 36) return {};
  static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  bool neg = n < 0;
  uint64_t u = neg ? 0 - uint64_t(n) : uint64_t(n);
  std::string r;
  do {
    r.insert(r.begin(), digits[u % uint64_t(base)]);
    u /= uint64_t(base);
  } while (u);
  r = AddChar('0', r, minDigits);
  return neg ? "-" + r : r;
}

int64_t Numb2Dec(const std::string& s, int base) {
  if (base < 2 || base > 36) return 0;
  uint64_t r = 0;
  size_t i = 0;
  bool neg = !s.empty() && s[0] == '-';
  if (neg) ++i;
  for (; i < s.size(); ++i) {
    int c = std::toupper((unsigned char)s[i]);
    int d = std::isdigit(c) ? c - '0' : std::isalpha(c) ? c - 'A' + 10 : 99;
    if (d >= base) break;
    r = r * uint64_t(base) + uint64_t(d);
  }
  return neg ? -int64_t(r) : int64_t(r);
}

std::string IntToBin(int64_t value, int digits, int spaces) {
  if (digits > 64) digits = 64;
  std::string r;
  for (int i = digits - 1; i >= 0; --i) {
    r += (uint64_t(value) >> i) & 1 ? '1' : '0';
    if (spaces > 0 && i > 0 && i % spaces == 0) r += ' ';
  }
  return r;
}

namespace {
const struct {
  int value;
  const char* text;
} kRoman[] = {{1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
              {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
}  // namespace

std::string IntToRoman(int value) {
  if (value < 1 || value > 3999) return {};
  std::string r;
  for (const auto& e : kRoman)
    while (value >= e.value) {
      r += e.text;
      value -= e.value;
    }
  return r;
}

int RomanToInt(const std::string& s) {
  auto val = [](char c) {
    switch (std::toupper((unsigned char)c)) {
      case 'I': return 1;
      case 'V': return 5;
      case 'X': return 10;
      case 'L': return 50;
      case 'C': return 100;
      case 'D': return 500;
      case 'M': return 1000;
      default: return 0;
    }
  };
  std::string t = Trim(s);
  if (t.empty()) return -1;
  int r = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    int v = val(t[i]);
    if (v == 0) return -1;
    int next = i + 1 < t.size() ? val(t[i + 1]) : 0;
    r += v < next ? -v : v;
  }
  // Only the canonical spelling counts.
  return UpperCase(t) == IntToRoman(r) ? r : -1;
}

std::string XorString(const std::string& key, const std::string& src) {
  std::string r = src;
  if (key.empty()) return r;
  for (size_t i = 0; i < r.size(); ++i) r[i] = char(r[i] ^ key[i % key.size()]);
  return r;
}

std::string XorEncode(const std::string& key, const std::string& source) {
  static const char hex[] = "0123456789abcdef";
  std::string coded = XorString(key, source), r;
  for (unsigned char c : coded) {
    r += hex[c >> 4];
    r += hex[c & 15];
  }
  return r;
}

std::string XorDecode(const std::string& key, const std::string& source) {
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = char(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  std::string bytes;
  for (size_t i = 0; i + 1 < source.size(); i += 2) {
    int hi = digit(source[i]), lo = digit(source[i + 1]);
    bytes += hi < 0 || lo < 0 ? ' ' : char(hi * 16 + lo);
  }
  return XorString(key, bytes);
}
