// Rectangle, string and file helpers of the foundation library.
#include "POP/PopTypes.h"

#include <gtest/gtest.h>

#include "POP/PopStrUtils.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

TEST(PopTypes, OverlapAndIntersection) {
  struct Case {
    TRect a, b;
    bool overlap;
  } cases[] = {
      {{0, 0, 10, 10}, {10, 0, 20, 10}, false},  // touching along an edge
      {{0, 0, 10, 10}, {0, 10, 10, 20}, false},  {{0, 0, 10, 10}, {0, 0, 10, 10}, true},  // identical
      {{0, 0, 10, 10}, {9, 9, 20, 20}, true},    {{5, 5, 5, 9}, {5, 5, 5, 9}, false},     // empty with itself
      {{10, 10, 0, 0}, {0, 0, 20, 20}, false},                                            // inverted
      {{0, 0, 10, 10}, {30, 30, 40, 40}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RectIsOverlap(c.a, c.b), c.overlap) << c.a.Left << "," << c.b.Left;
    EXPECT_EQ(RectIsOverlap(c.b, c.a), c.overlap);
  }
  TRect i = RectIntersection({0, 0, 10, 10}, {30, 30, 40, 40});
  EXPECT_EQ(i, TRect(30, 30, 10, 10));
  EXPECT_FALSE(RectIsVisible(i));
  EXPECT_EQ(RectWidth(i), -20);
  EXPECT_EQ(RectMakeVisible({10, 20, 0, 5}), TRect(0, 5, 10, 20));
  EXPECT_EQ(RectBoundingBox({0, 0, 1, 1}, {5, -5, 6, 2}), TRect(0, -5, 6, 2));
  EXPECT_EQ(RectInflate({5, 5, 10, 10}, 2, 3), TRect(3, 2, 12, 13));
  EXPECT_EQ(RectOffset({5, 5, 10, 10}, -5, 1), TRect(0, 6, 5, 11));
  EXPECT_TRUE(RectContains({0, 0, 2, 2}, {1, 1}));
  EXPECT_FALSE(RectContains({0, 0, 2, 2}, {2, 1}));
}

TEST(PopStrUtils, AnsiReplaceText) {
  struct Case {
    const char *s, *from, *to, *want;
  } cases[] = {
      {"aA", "a", "aa", "aaaa"},  // every case replaced once, inserted text not searched
      {"Save &As", "&", "", "Save As"}, {"abc", "", "x", "abc"}, {"xXx", "XX", "-", "-x"}, {"", "a", "b", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(AnsiReplaceText(c.s, c.from, c.to), c.want) << c.s;
}

TEST(PopStrUtils, IniNameValueAndSplits) {
  EXPECT_EQ(StringIniName("a = b=c"), "a ");
  EXPECT_EQ(StringIniValue("a = b=c"), " b=c");
  EXPECT_EQ(StringIniName("novalue"), "");
  EXPECT_EQ(StringIniValue("novalue"), "novalue");
  std::string l, r;
  EXPECT_EQ(StringSplit("key:val:x", l, r, ':'), 4);
  EXPECT_EQ(l, "key");
  EXPECT_EQ(r, "val:x");
  EXPECT_EQ(StringSplit("abc", l, r, ':'), 0);
  EXPECT_EQ(StringEscape("a/"), "%61%2F");
  EXPECT_EQ(StringTitle("hELLO"), "Hello");
  EXPECT_EQ(FirstDelimiter("/\\", "ab\\c/"), 3);
  EXPECT_EQ(AnsiIndexText("TWO", {"one", "two", "three"}, 2), 1);
  EXPECT_EQ(AnsiIndexText("three", {"one", "two", "three"}, 1), -1);
  EXPECT_TRUE(IsEmptyStr(""));
  EXPECT_FALSE(IsEmptyStr("  "));
  EXPECT_EQ(StringExtractQuotedStr("'it''s' rest", '\''), "it's");
}

TEST(PopStrUtils, SaveToFileKeepsBytesAndReportsFailure) {
  TempDir d;
  StringSaveToFile("a\r\nb\n\0c", d.File("x.txt"));
  StringSaveToFile(std::string("a\r\nb\n\0c", 7), d.File("x.txt"));
  EXPECT_EQ(StringLoadFromFile(d.File("x.txt")), std::string("a\r\nb\n\0c", 7));
  EXPECT_THROW(StringSaveToFile("x", d.File("no/such/folder/x.txt")), Exception);
}
