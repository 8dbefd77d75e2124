// The property store and its URL encoding.
#include "engine/XObject.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <random>

#include "platform/SysUtils.h"
#include "tests/support/ChildRunner.h"

namespace {

TEST(UrlEncode, EveryByteAgainstTheCopySet) {
  const std::string kept = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!$'()*-._@";
  for (int b = 1; b < 256; ++b) {
    std::string in(1, char(b));
    std::string out = UrlEncode(in);
    if (kept.find(char(b)) != std::string::npos) EXPECT_EQ(out, in) << b;
    else if (b == ' ') EXPECT_EQ(out, "+");
    else EXPECT_EQ(out, Format("%%%02X", b)) << b;
  }
  EXPECT_EQ(UrlEncode(std::string("ab\0cd", 5)), "ab");  // stops at NUL
  EXPECT_EQ(UrlEncode("a+b%=\r\n\xE9"), "a%2Bb%25%3D%0D%0A%E9");
}

TEST(UrlEncode, RandomRoundTrips) {
  std::mt19937 rng(20261210);
  std::uniform_int_distribution<int> len(0, 64), byte(1, 255);
  for (int i = 0; i < 2000; ++i) {
    std::string s(size_t(len(rng)), ' ');
    for (char& c : s) c = char(byte(rng));
    std::string enc = UrlEncode(s);
    EXPECT_EQ(enc.find_first_of("=\r\n[ "), std::string::npos);
    EXPECT_EQ(UrlDecode(enc), s);
  }
}

TEST(UrlDecode, Cases) {
  struct {
    const char* in;
    const char* out;
  } ok[] = {{"%%41", "%41"},    {"%41%42", "AB"}, {"a+b", "a b"}, {"%e9%E9", "\xE9\xE9"},
            {"plain", "plain"}, {"%%", "%"},      {"", ""}};
  for (auto& c : ok) EXPECT_EQ(UrlDecode(c.in), c.out) << c.in;

  struct {
    const char* in;
    const char* message;
  } bad[] = {{"%zz", "'$zz' is not a valid integer value"},
             {"x%4", "'$4' is not a valid integer value"},
             {"%", "'$' is not a valid integer value"},
             {"%4%", "'$4%' is not a valid integer value"}};
  for (auto& c : bad) {
    try {
      UrlDecode(c.in);
      ADD_FAILURE() << c.in << " decoded";
    } catch (const EConvertError& e) { EXPECT_EQ(e.Message, c.message); }
  }
}

TEST(PropertyStore, ExactTextAndReads) {
  XObject o;
  o.WriteString("a b", "x=y%");
  EXPECT_EQ(o.Properties->AsString(), "[Base]\na+b=x%3Dy%25\n");
  EXPECT_EQ(o.ReadString("a b"), "x=y%");
  EXPECT_EQ(o.ReadString("missing", "50%25"), "50%");
  EXPECT_EQ(o.ReadString("missing", "a+b"), "a b");
  EXPECT_EQ(o.ReadString("missing"), "");

  o.WriteString("Group", "7");
  EXPECT_EQ(o.ReadInteger("GROUP"), 7);  // keys are case-blind after encoding
}

TEST(PropertyStore, TypedValues) {
  XObject o;
  o.WriteString("mixed", "12abc");
  o.WriteString("hex", "$1F");
  o.WriteString("two", "2");
  o.WriteString("neg", "-3");
  o.WriteBool("flag", true);
  o.WriteInteger("int", -17);
  o.WriteFloat("f", 0.1);
  o.WriteFloat("big", 1e20);
  o.WriteFloat("third", 1.0 / 3.0);
  EXPECT_EQ(o.ReadInteger("mixed"), 0);
  EXPECT_EQ(o.ReadInteger("hex"), 31);
  EXPECT_EQ(o.ReadInteger("neg"), -3);
  EXPECT_EQ(o.ReadInteger("missing"), 0);
  EXPECT_TRUE(o.ReadBool("two"));
  EXPECT_FALSE(o.ReadBool("missing"));
  EXPECT_EQ(o.ReadInteger("flag"), 1);
  EXPECT_EQ(o.ReadString("int"), "-17");
  EXPECT_EQ(o.ReadString("f"), "0.1");
  EXPECT_EQ(o.ReadString("big"), "1E20");
  EXPECT_EQ(o.ReadString("third"), "0.333333333333333");
  EXPECT_DOUBLE_EQ(double(o.ReadFloat("f")), 0.1);
  try {
    o.ReadFloat("mixed");
    ADD_FAILURE();
  } catch (const EConvertError& e) { EXPECT_EQ(e.Message, "'12abc' is not a valid floating point value"); }
  EXPECT_THROW(o.ReadFloat("missing"), EConvertError);
}

TEST(OwnerList, MovesAndOwnership) {
  TObjectList a, b;
  auto* x = new XObject(&a);
  auto* y = new XObject(&a);
  EXPECT_EQ(x->OwnerList, &a);
  ASSERT_EQ(a.Count(), 2);

  x->SetOwnerList(&a);  // already there: moves to the end
  EXPECT_EQ(a.IndexOf(x), 1);
  EXPECT_EQ(a.IndexOf(y), 0);

  x->SetOwnerList(&b);
  EXPECT_EQ(a.Count(), 1);
  EXPECT_EQ(b.IndexOf(x), 0);

  auto* child = new XObject(x);  // objects own their children
  EXPECT_EQ(x->Count(), 1);
  delete child;  // leaves its list on the way out
  EXPECT_EQ(x->Count(), 0);

  x->SetOwnerList(nullptr);
  EXPECT_EQ(b.Count(), 0);
  delete x;
  a.Clear();  // destroys y
  EXPECT_EQ(a.Count(), 0);
}

// A list of many objects that leave their list as they are destroyed (a page's table of
// 100,000 objects, a scene): ending it costs each object once, not a search of the list for
// every object that has already left it, whether the list is an object or a plain list.
TEST(OwnerList, AListOfManyObjectsEndsInLinearTime) {
  const ChildRun run = RunInChild([] {
    const int n = 200000;
    auto* parent = new XObject(nullptr);
    TObjectList plain;
    for (int i = 0; i < n; ++i) {
      new XObject(parent);
      new XObject(&plain);
    }
    // One taken out of the middle still leaves its list.
    delete parent->Items(n / 2);
    const WorkCost cost = MeasureHere([&] {
      delete parent;
      plain.Clear();
    });
    return std::to_string(cost.CpuSeconds) + " " + std::to_string(plain.Count());
  });
  ASSERT_TRUE(run.Finished) << run.Result;
  double seconds = 0;
  int left = -1;
  ASSERT_EQ(std::sscanf(run.Result.c_str(), "%lf %d", &seconds, &left), 2) << run.Result;
  EXPECT_EQ(left, 0);
  EXPECT_LE(seconds, 0.25 * kTimeSlack) << "took " << seconds << " s";
}

}  // namespace
