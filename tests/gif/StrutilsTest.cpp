// The string utilities: blanks, comparison, wildcards, extraction and numbers.
#include "gif/Strutils.h"

#include <gtest/gtest.h>

namespace {

TEST(Strutils, BlanksAndPadding) {
  struct Case {
    std::string got, want;
  } cases[] = {
      {DelSpace(" a b  c "), "abc"},     {DelChars("a-b--c", '-'), "abc"},
      {DelBSpace("  a b "), "a b "},     {DelESpace("  a b  "), "  a b"},
      {DelRSpace("  a b  "), "a b"},     {DelRSpace("   "), ""},
      {DelSpace1("a   b  c"), "a b c"},  {Tab2Space("a\tb", 3), "a   b"},
      {MakeStr('x', 3), "xxx"},          {MS('x', -1), ""},
      {AddChar('0', "42", 5), "00042"},  {AddChar('0', "123456", 5), "123456"},
      {AddCharR('.', "ab", 4), "ab.."},  {CenterStr("ab", 6), "  ab  "},
      {CenterStr("abc", 8), "   abc  "}, {CenterStr("abcdef", 3), "abcdef"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Strutils, ComparisonAndWildcards) {
  EXPECT_EQ(CompStr("a", "B"), 1);
  EXPECT_EQ(CompText("a", "B"), -1);
  EXPECT_EQ(CompText("ABC", "abc"), 0);
  EXPECT_TRUE(IsEmptyStr(" \t ", " \t"));
  EXPECT_FALSE(IsEmptyStr(" x ", " "));
  EXPECT_TRUE(IsWordPresent("Two", "one two three", " "));
  EXPECT_FALSE(IsWordPresent("tw", "one two three", " "));
  struct Wild {
    const char* input;
    const char* pattern;
    bool ignoreCase, match;
  } wilds[] = {
      {"readme.txt", "*.txt", false, true},
      {"readme.TXT", "*.txt", false, false},
      {"readme.TXT", "*.txt", true, true},
      {"abc", "a?c", false, true},
      {"ac", "a?c", false, false},
      {"", "*", false, true},
      {"", "", false, true},
      {"abc", "", false, false},
      {"aXbXc", "a*b*c", false, true},
      {"abcbd", "*b?", false, true},
      {"mississippi", "m*iss*ppi", false, true},
      {"abc", "*d*", false, false},
  };
  for (const Wild& w : wilds)
    EXPECT_EQ(IsWild(w.input, w.pattern, w.ignoreCase), w.match) << w.input << " " << w.pattern;
  EXPECT_EQ(FindPart("b?d", "abcde"), 2);
  EXPECT_EQ(FindPart("cd", "abcde"), 3);
  EXPECT_EQ(FindPart("??????", "abcde"), 0);
  // A pathological pattern stays fast.
  EXPECT_FALSE(IsWild(std::string(5000, 'a'), std::string(50, '*') + "b", false));
}

TEST(Strutils, Extraction) {
  EXPECT_EQ(ReplaceStr("a.b.c", ".", "::"), "a::b::c");
  EXPECT_EQ(ReplaceStr("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceStr("abc", "", "x"), "abc");
  EXPECT_EQ(NPos("ab", "xabyabzab", 2), 5);
  EXPECT_EQ(NPos("ab", "xabyabzab", 4), 0);
  EXPECT_EQ(NPos("aa", "aaa", 2), 2);
  EXPECT_EQ(LeftStr("abcdef", 2), "ab");
  EXPECT_EQ(RightStr("abcdef", 2), "ef");
  EXPECT_EQ(RightStr("ab", 9), "ab");
  EXPECT_EQ(Copy2Symb("key=value", '='), "key");
  std::string s = "key=value";
  EXPECT_EQ(Copy2SymbDel(s, '='), "key");
  EXPECT_EQ(s, "value");
  EXPECT_EQ(Copy2SymbDel(s, '='), "value");
  EXPECT_EQ(s, "");
  s = "one two";
  EXPECT_EQ(Copy2SpaceDel(s), "one");
  EXPECT_EQ(s, "two");

  const TCharSet delims(" ,");
  const std::string text = "  alpha, beta  gamma,";
  EXPECT_EQ(WordCount(text, delims), 3);
  EXPECT_EQ(WordCount("", delims), 0);
  EXPECT_EQ(WordPosition(2, text, delims), 10);
  EXPECT_EQ(ExtractWord(3, text, delims), "gamma");
  EXPECT_EQ(ExtractWord(4, text, delims), "");
  int pos = 0;
  EXPECT_EQ(ExtractWordPos(2, text, delims, pos), "beta");
  EXPECT_EQ(pos, 10);
  EXPECT_EQ(ExtractDelimited(2, "a,,c", ","), "");
  EXPECT_EQ(ExtractDelimited(3, "a,,c", ","), "c");
  EXPECT_EQ(ExtractDelimited(4, "a,,c", ","), "");
  pos = 1;
  EXPECT_EQ(ExtractSubstr("a;bc;;d", pos, ";"), "a");
  EXPECT_EQ(ExtractSubstr("a;bc;;d", pos, ";"), "bc");
  EXPECT_EQ(ExtractSubstr("a;bc;;d", pos, ";"), "");
  EXPECT_EQ(ExtractSubstr("a;bc;;d", pos, ";"), "d");
  EXPECT_EQ(ExtractSubstr("a;bc;;d", pos, ";"), "");
  EXPECT_EQ(QuotedString("it's", '\''), "'it''s'");
  EXPECT_EQ(ExtractQuotedString("'it''s' tail", '\''), "it's");
  EXPECT_EQ(ExtractQuotedString("plain", '\''), "plain");
  EXPECT_EQ(AnsiProperCase("hELLO wide-WORLD", " -"), "Hello Wide-World");
  EXPECT_EQ(GetCmdLineArg("no-such-switch", "-/"), "");
}

TEST(Strutils, Numbers) {
  EXPECT_EQ(Numb2USA("1234567"), "1,234,567");
  EXPECT_EQ(Numb2USA("123"), "123");
  EXPECT_EQ(Dec2Hex(255, 4), "00FF");
  EXPECT_EQ(D2H(4096), "1000");
  EXPECT_EQ(Hex2Dec("ff"), 255);
  EXPECT_EQ(H2D("zz"), 0);
  EXPECT_EQ(Dec2Numb(35, 3, 36), "00Z");
  EXPECT_EQ(Dec2Numb(-5, 0, 2), "-101");
  EXPECT_EQ(Dec2Numb(5, 0, 37), "");
  EXPECT_EQ(Numb2Dec("z", 36), 35);
  EXPECT_EQ(Numb2Dec("1012", 2), 5);  // stops at a digit outside the base
  EXPECT_EQ(IntToBin(10, 8, 4), "0000 1010");
  EXPECT_EQ(IntToBin(5, 3, 0), "101");
  struct Roman {
    int value;
    const char* text;
  } romans[] = {{1, "I"},   {4, "IV"},         {9, "IX"},          {14, "XIV"},
                {40, "XL"}, {1994, "MCMXCIV"}, {3999, "MMMCMXCIX"}};
  for (const Roman& r : romans) {
    EXPECT_EQ(IntToRoman(r.value), r.text);
    EXPECT_EQ(RomanToInt(r.text), r.value);
  }
  EXPECT_EQ(IntToRoman(0), "");
  EXPECT_EQ(IntToRoman(4000), "");
  EXPECT_EQ(RomanToInt("IIII"), -1);
  EXPECT_EQ(RomanToInt("ABC"), -1);
  EXPECT_EQ(RomanToInt("mcm"), 1900);
}

TEST(Strutils, XorCoding) {
  EXPECT_EQ(XorEncode("", "AB"), "4142");
  EXPECT_EQ(XorEncode("\x01", "AB"), "4043");
  const std::string key = "k3y", value = std::string("secret\0\xff value", 14);
  std::string coded = XorEncode(key, value);
  EXPECT_EQ(coded.size(), value.size() * 2);
  EXPECT_EQ(coded.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(XorDecode(key, coded), value);
  EXPECT_EQ(XorString(key, XorString(key, value)), value);
  // A pair that is not hexadecimal reads as a blank; an odd last digit is dropped.
  EXPECT_EQ(XorDecode("", "41zz42a"), "A B");
  EXPECT_EQ(StrToOem("abc"), "abc");
}

}  // namespace
