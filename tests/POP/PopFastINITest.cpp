// The INI document: its exact text, reading and writing by section and key, and its file binding.
#include "POP/PopFastINI.h"

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>
#include <vector>

#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

namespace {

std::string Reload(const std::string& text) {
  TINIDocument doc;
  doc.LoadFromString(text);
  return doc.AsString();
}

struct TextCase {
  const char* what;
  std::string input;
  std::string expected;
};

TEST(INIDocumentText, ParseRulesGiveTheExactText) {
  const TextCase cases[] = {
      {"empty text", "", ""},
      {"headers run together", "[A]\n[B]\nk=v\n", "[B]\nk=v\n"},
      {"blank line between headers creates the first", "[A]\n\n[B]\nk=v", "[A]\n[B]\nk=v\n"},
      {"header at the end creates nothing", "[A]\nk=v\n[B]\n", "[A]\nk=v\n"},
      {"entry before any header is dropped", "k=v\n[A]\nx=1", "[A]\nx=1\n"},
      {"blanks in and around the brackets", "  [ My Sec ]  tail\nk=v", "[My Sec]\nk=v\n"},
      {"header without closing bracket", "[ Open \nk=v", "[Open]\nk=v\n"},
      {"two equals signs", "[A]\n k = a=b = c \n", "[A]\nk=a=b = c\n"},
      {"case merges keep first spelling and place", "[Sec]\nKey=1\nOther=x\n[SEC]\nKEY=2\n",
       "[Sec]\nKey=2\nOther=x\n"},
      {"no comment syntax", "[A]\n;c\n;k=v\n", "[A]\n;k=v\n"},
      {"empty header names drop their lines", "[]\nk=v\n[ ]\nx=y\n[", ""},
      {"empty key creates the section only", "[A]\n=v\n", "[A]\n"},
      {"quotes are part of the value", "[A]\nk=\"q\"", "[A]\nk=\"q\"\n"},
      {"control bytes trimmed like blanks", "\t[A]\x01\n\tk\t=\tv\x1f\n", "[A]\nk=v\n"},
      {"CR LF line ends", "[A]\r\nk=v\r\nj=w\r\n", "[A]\nk=v\nj=w\n"},
      {"CR line ends", "[A]\rk=v\rj=w\r", "[A]\nk=v\nj=w\n"},
      {"LF line ends, no final break", "[A]\nk=v\nj=w", "[A]\nk=v\nj=w\n"},
      {"accented letters compare exactly", "[A]\n\xC9t=1\n\xE9t=2\n", "[A]\n\xC9t=1\n\xE9t=2\n"},
      // A damaged file with a NUL must not lose what follows it.
      {"NUL byte is dropped, the rest kept", std::string("[A]\nk=v\0w\nz=1", 13), "[A]\nk=vw\nz=1\n"},
      // Editors on other systems begin a UTF-8 file with a byte-order mark.
      {"UTF-8 mark at the start is skipped", "\xEF\xBB\xBF[Heading]\r\nk=v\r\n", "[Heading]\nk=v\n"},
      {"UTF-8 mark later is text", "[A]\n\xEF\xBB\xBFk=v\n", "[A]\n\xEF\xBB\xBFk=v\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Reload(c.input), c.expected) << c.what;
}

// What a document does not keep of a text, which writing it back therefore drops: counted
// line by line, with the first such line as the example.
TEST(INIDocumentText, LostLinesAreCountedWithTheFirstAsExample) {
  struct Case {
    const char* what;
    std::string text;
    int64_t count;
    const char* example;
  } cases[] = {
      {"a whole document", "[A]\r\nk=v\r\n\r\n[B]\r\n k = a=b \r\n", 0, ""},
      {"empty text", "", 0, ""},
      {"byte-order mark alone", "\xEF\xBB\xBF", 0, ""},
      {"byte-order mark before a whole document", "\xEF\xBB\xBF[A]\nk=v\n", 0, ""},
      {"text before the first section", "Shopping list\nmilk=2\n[A]\nk=v\n", 2, "Shopping list"},
      {"lines without a key among keys", "[Heading]\nNumOfButtons=0\nDear Anna,\n  see you ; soon  \n", 2,
       "Dear Anna,"},
      {"comment lines", "[A]\n;c\n;k=v\n", 1, ";c"},
      {"text after a header", "  [ My Sec ]  tail\nk=v", 1, "[ My Sec ]  tail"},
      {"an empty key", "[A]\n=v\n", 1, "=v"},
      {"lines under empty section names", "[]\nk=v\n[ ]\nx=y\n", 2, "k=v"},
      {"a key given twice", "[A]\nk=1\nK=2\n", 1, ""},
      {"a section given twice repeats a key", "[Sec]\nKey=1\nOther=x\n[SEC]\nKEY=2\nNew=3\n", 1, ""},
      {"CR line ends", "[A]\rk=v\rnote\r", 1, "note"},
      {"NUL bytes dropped as the document does", std::string("[A]\nk=v\0w\nno\0te\n", 17), 1, "note"},
      {"a long line is cut in the example", "[A]\n" + std::string(200, 'x') + "\n", 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TINIDocument doc;
    TINILostLines lost = doc.LoadFromString(c.text);
    EXPECT_EQ(lost.Count, c.count);
    if (std::string(c.what).rfind("a long line", 0) == 0) EXPECT_EQ(lost.Example, std::string(80, 'x'));
    else EXPECT_EQ(lost.Example, c.example);
  }
}

TEST(INIDocumentText, SaveWritesCRLFAfterEveryLine) {
  TempDir dir;
  TINIDocument doc;
  doc.WriteString("A", "k", "v");
  doc.WriteString("B", "x", "y");
  doc.WriteString("C", "", "");  // a section without entries writes its header alone
  doc.SaveToFile(dir.File("a.ini"));
  EXPECT_EQ(ReadAll(dir.File("a.ini")), "[A]\r\nk=v\r\n[B]\r\nx=y\r\n[C]\r\n");

  TINIDocument empty;
  empty.SaveToFile(dir.File("empty.ini"));
  EXPECT_TRUE(FileExists(dir.File("empty.ini")));
  EXPECT_EQ(ReadAll(dir.File("empty.ini")), "");
}

TEST(INIDocumentText, LineBreaksAndSpecialKeysSplitOnTheNextLoad) {
  TempDir dir;
  TINIDocument doc;
  doc.WriteString("A", "k", "first\nsecond=2\nthird");
  doc.WriteString("A", "a=b", "c");
  doc.WriteString("A", "[X", "1");
  doc.WriteString("A", "after", "2");
  EXPECT_EQ(doc.ReadString("A", "k", ""), "first\nsecond=2\nthird");  // unchanged in memory
  doc.SaveToFile(dir.File("a.ini"));
  TINIDocument back;
  back.LoadFromFile(dir.File("a.ini"));
  // "[X=1" is read as the header of section "X=1", which takes the entry that follows.
  EXPECT_EQ(back.AsString(), "[A]\nk=first\nsecond=2\na=b=c\n[X=1]\nafter=2\n");
}

TEST(INIDocumentReads, ReadIntegerAndReadBool) {
  TINIDocument doc;
  doc.LoadFromString(
      "[N]\ndec=12\nneg=-5\nplus=+7\nmixed=12abc\nfrac=1.5\nempty=\nhex=$1F\n"
      "big=2147483648\nmin=-2147483648\ntwo=2\nminus=-1\nzero=0\nword=yes\n");
  struct {
    const char* key;
    int32_t expected;
  } ints[] = {{"dec", 12},   {"neg", -5}, {"plus", 7}, {"mixed", 99},    {"frac", 99},
              {"empty", 99}, {"hex", 31}, {"big", 99}, {"min", INT_MIN}, {"missing", 99}};
  for (auto& c : ints) EXPECT_EQ(doc.ReadInteger("N", c.key, 99), c.expected) << c.key;
  EXPECT_EQ(doc.ReadInteger("", "dec", 99), 99);
  EXPECT_EQ(doc.ReadInteger("N", "", 99), 99);

  struct {
    const char* key;
    bool def;
    bool expected;
  } bools[] = {{"two", false, true},     {"minus", false, true}, {"zero", true, false},
               {"word", true, true},     {"word", false, false}, {"missing", true, true},
               {"missing", false, false}};
  for (auto& c : bools) EXPECT_EQ(doc.ReadBool("N", c.key, c.def), c.expected) << c.key;
  EXPECT_EQ(doc.ReadString("N", "empty", "def"), "");  // empty value is not the default
}

TEST(INIDocumentWrites, EmptyNamesAndModified) {
  TINIDocument doc;
  EXPECT_FALSE(doc.WriteString("", "k", "v"));
  EXPECT_FALSE(doc.Modified);
  EXPECT_EQ(doc.AsString(), "");

  TINISection s = doc.WriteString("New", "", "v");
  ASSERT_TRUE(s);
  EXPECT_EQ(s.Name(), "New");
  EXPECT_TRUE(doc.Modified);
  EXPECT_EQ(doc.AsString(), "[New]\n");
  EXPECT_FALSE(s.WriteString("", "x"));

  doc.WriteInteger("New", "i", -42);
  doc.WriteBool("New", "b", true);
  EXPECT_EQ(doc.AsString(), "[New]\ni=-42\nb=1\n");

  TempDir dir;
  doc.SaveToFile(dir.File("x.ini"));
  EXPECT_TRUE(doc.Modified);  // saving does not clear it
  doc.LoadFromString("[A]\nk=v");
  EXPECT_FALSE(doc.Modified);
}

// The text writer's text parses to the document the same writes build, whatever their order:
// sections and keys written again (in another case too), empty names, values with blanks or
// line breaks, keys that hold "=" or begin with "[".
TEST(INITextWriter, ItsTextParsesToTheDocumentTheWritesBuild) {
  using Write = std::tuple<std::string, std::string, std::string>;
  const struct {
    const char* what;
    std::vector<Write> writes;
  } cases[] = {
      {"nothing", {}},
      {"one section in order", {{"A", "k", "1"}, {"A", "j", "2"}}},
      {"a section written again later", {{"A", "k", "1"}, {"B", "x", "y"}, {"a", "j", "2"}, {"A", "K", "3"}}},
      {"empty names", {{"", "k", "v"}, {"A", "", "v"}, {"B", "", ""}, {"C", "k", ""}}},
      {"a section of no entries between others", {{"A", "k", "1"}, {"E", "", ""}, {"A", "j", "2"}}},
      {"blanks and breaks",
       {{"A", " k ", "  v  "}, {"A", "n", "first\nsecond=2\r\nthird"}, {"A", "after", "x"}}},
      {"keys the text splits", {{"A", "a=b", "c"}, {"A", "[X", "1"}, {"A", "z", "2"}}},
      {"integers and booleans", {{"H", "i", "-42"}, {"H", "b", "1"}}},
  };
  for (const auto& c : cases) {
    TINIDocument doc;
    TINITextWriter writer;
    for (const auto& [section, key, value] : c.writes) {
      doc.WriteString(section, key, value);
      EXPECT_FALSE(writer.WriteString(section, key, value)) << c.what;
    }
    EXPECT_EQ(writer.Modified, doc.Modified) << c.what;
    TINIDocument fromDoc, fromWriter;
    fromDoc.LoadFromString(doc.AsString());
    fromWriter.LoadFromString(writer.Text);
    EXPECT_EQ(fromWriter.AsString(), fromDoc.AsString()) << c.what;
  }
  TINITextWriter writer;
  writer.WriteInteger("H", "i", 7);
  writer.WriteBool("H", "b", true);
  EXPECT_EQ(writer.Text, "[H]\ni=7\nb=1\n");
  EXPECT_EQ(writer.ReadString("H", "i", "none"), "none");
}

// The first match in order, against a plain scan, for a few sections and for many (which a
// lookup finds through an index): names that differ in case only (one section), an empty name,
// accented letters, deletions between lookups, and writes after them.
TEST(INIDocumentLookup, FirstMatchOfManyChildrenAsAScanFindsIt) {
  auto scan = [](const TINIDocument& d, const std::string& name) -> int {
    if (name.empty()) return -1;
    for (int i = 0; i < d.SectionCount(); ++i)
      if (SameText(d.Section(i).Name(), name)) return i;
    return -1;
  };
  auto found = [](const TINIDocument& d, const std::string& name) {
    TINISection s = d.FindSection(name);
    return s ? s.Index() : -1;
  };
  for (int count : {3, 8, 9, 200}) {
    SCOPED_TRACE(count);
    TINIDocument doc;
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
      std::string name = (i % 3 == 1 ? "SEC" : "sec") + std::to_string(i / 2);
      if (i == 2) name = "";
      if (i == 4) name = "\xC9t\xE9";
      names.push_back(name);
      doc.WriteString(name, "k", std::to_string(i));
    }
    names.push_back("\xE9t\xE9");
    names.push_back("missing");
    auto expectAll = [&](const char* when) {
      for (const std::string& n : names) EXPECT_EQ(found(doc, n), scan(doc, n)) << when << " " << n;
    };
    expectAll("built");
    // A name written again in another case is the section first written.
    EXPECT_EQ(doc.ReadString("SEC0", "k", ""), "1");
    EXPECT_EQ(doc.Section(0).Name(), "sec0");
    doc.DeleteSection(doc.SectionCount() / 2);
    if (doc.SectionCount() > 1) doc.DeleteSection(1);
    expectAll("after deletions");
    doc.WriteString("Sec0", "k", "v");  // found, not made again
    doc.WriteString("new", "k", "v");
    names.push_back("NEW");
    expectAll("after writes");
    EXPECT_EQ(doc.ReadString("NEW", "K", ""), "v");
  }
}

// No section has an empty name: a header "[]" or "[ ]" read from a file makes none (its lines
// are counted as lost, and the sections around it are read whole), an empty name is never
// found, read or written, and an empty key under a real section is no entry. Saved and read
// again, the document is the same.
TEST(INIDocumentLookup, AnEmptySectionNameOrKeyIsNeverFound) {
  TINIDocument doc;
  const TINILostLines lost = doc.LoadFromString("[A]\nk=1\n[]\nx=2\n=3\n[ ]\ny=4\n[B]\n=5\n j = 6\n");
  EXPECT_EQ(lost.Count, 4);
  EXPECT_EQ(lost.Example, "x=2");
  EXPECT_EQ(doc.AsString(), "[A]\nk=1\n[B]\nj=6\n");
  for (int count : {0, 1, 9, 200}) {
    SCOPED_TRACE(count);
    // Past a few sections, lookups go through an index.
    for (int i = 0; i < count; ++i) doc.WriteString("s" + std::to_string(i), "k", "v");
    EXPECT_FALSE(doc.FindSection(""));
    EXPECT_FALSE(doc.FindSection(" "));
    EXPECT_FALSE(doc.WriteString("", "x", "w"));
    EXPECT_EQ(doc.ReadString("", "x", "def"), "def");
    EXPECT_EQ(doc.ReadString("A", "", "def"), "def");
    EXPECT_FALSE(doc.FindSection("B").FindEntry(""));
    EXPECT_FALSE(doc.FindSection("B").DeleteEntry(""));
    for (int i = 0; i < doc.SectionCount(); ++i) EXPECT_NE(doc.Section(i).Name(), "");
  }
  TempDir dir;
  doc.SaveToFile(dir.File("a.ini"));
  TINIDocument back;
  EXPECT_EQ(back.LoadFromString(ReadAll(dir.File("a.ini"))).Count, 0);
  EXPECT_EQ(back.AsString(), doc.AsString());
}

// A lookup indexes the names; whatever then takes children away (a reload by text or from a
// file, a section or an entry deleted) must leave no name of a child that is gone, and every
// new child must be found.
TEST(INIDocumentLookup, LookupsAfterChildrenAreTakenAway) {
  TempDir dir;
  WriteAll(dir.File("new.ini"), "[D]\nk=4\n[b]\nk=5\n");
  const struct {
    const char* what;
    void (*takeAway)(TINIDocument&, const std::string& file);
  } cases[] = {
      {"reloaded from text",
       [](TINIDocument& d, const std::string&) { d.LoadFromString("[D]\nk=4\n[b]\nk=5"); }},
      {"reloaded from a file", [](TINIDocument& d, const std::string& file) { d.LoadFromFile(file); }},
      {"a section deleted, others written",
       [](TINIDocument& d, const std::string&) {
         d.DeleteSection(d.FindSection("A").Index());
         d.DeleteSection(d.FindSection("C").Index());
         d.DeleteSection(d.FindSection("B").Index());
         d.WriteString("D", "k", "4");
         d.WriteString("b", "k", "5");
       }},
  };
  for (const auto& c : cases) {
    TINIDocument doc;
    doc.LoadFromString("[A]\nk=1\n[B]\nk=2\n[C]\nk=3");
    // Every section indexed.
    ASSERT_EQ(doc.ReadString("C", "k", ""), "3") << c.what;
    c.takeAway(doc, dir.File("new.ini"));
    EXPECT_EQ(doc.ReadString("D", "k", "none"), "4") << c.what;
    EXPECT_EQ(doc.ReadString("B", "k", "none"), "5") << c.what;
    EXPECT_FALSE(doc.FindSection("A")) << c.what;
    EXPECT_FALSE(doc.FindSection("C")) << c.what;
    EXPECT_EQ(doc.AsString(), "[D]\nk=4\n[b]\nk=5\n") << c.what;
  }
  // The same for the entries of a section.
  TINIDocument doc;
  doc.LoadFromString("[S]\na=1\nb=2\nc=3");
  TINISection s = doc.FindSection("S");
  ASSERT_EQ(s.ReadString("c", ""), "3");
  EXPECT_TRUE(s.DeleteEntry("a"));
  EXPECT_TRUE(s.DeleteEntry("C"));
  EXPECT_FALSE(s.DeleteEntry("c"));
  EXPECT_FALSE(s.FindEntry("a"));
  EXPECT_EQ(s.ReadString("c", "none"), "none");
  s.WriteString("d", "4");
  EXPECT_EQ(s.ReadString("D", "none"), "4");
  EXPECT_EQ(doc.AsString(), "[S]\nb=2\nd=4\n");
}

// The document as its rules describe it, kept the plain way: sections and entries in lists,
// found by a scan for the first case-blind match. The compact document must agree with it
// after every edit.
struct PlainDocument {
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> Sections;

  static int Find(const auto& list, const std::string& name) {
    if (name.empty()) return -1;
    for (size_t i = 0; i < list.size(); ++i)
      if (SameText(list[i].first, name)) return int(i);
    return -1;
  }
  void Write(const std::string& section, const std::string& key, const std::string& value) {
    if (section.empty()) return;
    int s = Find(Sections, section);
    if (s < 0) {
      Sections.push_back({section, {}});
      s = int(Sections.size()) - 1;
    }
    if (key.empty()) return;
    auto& entries = Sections[size_t(s)].second;
    int e = Find(entries, key);
    if (e < 0) entries.push_back({key, value});
    else entries[size_t(e)].second = value;
  }
  std::string Read(const std::string& section, const std::string& key) const {
    int s = Find(Sections, section);
    if (s < 0) return "<none>";
    int e = Find(Sections[size_t(s)].second, key);
    return e < 0 ? "<none>" : Sections[size_t(s)].second[size_t(e)].second;
  }
  bool Delete(const std::string& section, const std::string& key) {
    int s = Find(Sections, section);
    if (s < 0) return false;
    auto& entries = Sections[size_t(s)].second;
    int e = Find(entries, key);
    if (e < 0) return false;
    entries.erase(entries.begin() + e);
    return true;
  }
  std::string Text() const {
    std::string out;
    for (const auto& [name, entries] : Sections) {
      out += "[" + name + "]\n";
      for (const auto& [k, v] : entries) out += k + "=" + v + "\n";
    }
    return out;
  }
};

// Edits in every order the store handles apart, against the plain document: values written
// again shorter and longer (in place, and moved), sections written in turn (their entries
// move), many sections and many keys (found through indexes), keys in other cases, entries and
// sections deleted and written again, large values (the store squeezes what edits left), a
// reload and a move of the whole content between documents, each followed by more edits, and
// texts that give their sections in turn.
TEST(INIDocumentStore, EditsAgreeWithThePlainDocument) {
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  auto name = [&](const char* stem, uint32_t n) {
    std::string s = stem + std::to_string(next(n));
    if (next(4) == 0) std::transform(s.begin(), s.end(), s.begin(), ::toupper);
    return s;
  };
  auto value = [&]() -> std::string {
    switch (next(6)) {
      case 0: return "";
      case 1: return std::string(next(3000), 'x');
      case 2: return std::string(20 + next(200), 'y');
      default: return "v" + std::to_string(next(100000));
    }
  };
  auto edit = [&](TINIDocument& doc, PlainDocument& plain, int ops, uint32_t sections, uint32_t keys) {
    for (int op = 0; op < ops; ++op) {
      const std::string s = name("Sec", sections), k = name("key", keys);
      const uint32_t what = next(20);
      if (what < 14) {
        const std::string v = value();
        doc.WriteString(s, k, v);
        plain.Write(s, k, v);
      } else if (what < 18) {
        TINISection sec = doc.FindSection(s);
        EXPECT_EQ(sec ? sec.DeleteEntry(k) : false, plain.Delete(s, k)) << s << " " << k;
      } else if (what == 18 && op % 5 == 0) {
        if (int i = PlainDocument::Find(plain.Sections, s); i >= 0) {
          ASSERT_EQ(doc.FindSection(s).Index(), i);
          doc.DeleteSection(i);
          plain.Sections.erase(plain.Sections.begin() + i);
        }
      } else {
        EXPECT_EQ(doc.ReadString(s, k, "<none>"), plain.Read(s, k)) << s << " " << k;
      }
    }
  };
  TINIDocument doc;
  PlainDocument plain;
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Few sections of many keys, then many sections of few keys, in turn.
    const uint32_t sections = round % 2 ? 400 : 5, keys = round % 2 ? 6 : 300;
    edit(doc, plain, 6000, sections, keys);
    {
      // A text that gives its sections in turn, keys again in other cases, values longer and
      // shorter than before: read, by text and by lines, it is the document that the same
      // writes build, every repeated key counted as lost, and edits go on from it. The edits
      // of `doc` go on afterwards with the numbers they had without this.
      const uint32_t kept = seed;
      std::string text;
      PlainDocument written;
      int64_t repeats = 0;
      for (int header = 0; header < 1500; ++header) {
        const std::string s = name("Sec", sections);
        text += "[" + s + "]\n";
        for (uint32_t n = 1 + next(3); n > 0; --n) {
          const std::string k = name("key", keys), v = value();
          text += k + "=" + v + "\n";
          repeats += written.Read(s, k) != "<none>";
          written.Write(s, k, v);
        }
      }
      TINIDocument read;
      EXPECT_EQ(read.LoadFromString(text).Count, repeats);
      ASSERT_EQ(read.AsString(), written.Text());
      TINIDocument byLines;
      byLines.LoadFromStrings(INITextLines(text));
      ASSERT_EQ(byLines.AsString(), written.Text());
      edit(read, written, 3000, sections, keys);
      ASSERT_EQ(read.AsString(), written.Text());
      seed = kept;
    }
    ASSERT_EQ(doc.AsString(), plain.Text());
    for (const auto& [sec, entries] : plain.Sections)
      for (const auto& [k, v] : entries) ASSERT_EQ(doc.ReadString(sec, k, "<none>"), v) << sec << " " << k;
    if (round == 2) {
      TINIDocument again;
      again.LoadFromString(doc.AsString());
      doc.TakeContentOf(again);
      EXPECT_EQ(again.AsString(), "");
      EXPECT_EQ(again.SectionCount(), 0);
      again.WriteString("A", "k", "v");  // what was left empty is a document still
      EXPECT_EQ(again.AsString(), "[A]\nk=v\n");
      EXPECT_EQ(doc.AsString(), plain.Text());
    }
  }
}

// What the store must keep of a document, case by case.
TEST(INIDocumentStore, OrderPlacesAndSpellingsSurviveEdits) {
  struct Case {
    const char* what;
    std::string text;
    void (*edit)(TINIDocument&);
    std::string expected;
  } cases[] = {
      {"a value written again keeps its place and spelling, shorter and longer", "[S]\nKey=12345\nb=2\nc=3\n",
       [](TINIDocument& d) {
         d.WriteString("s", "KEY", "1");
         d.WriteString("S", "c", std::string(100, 'z'));
         d.WriteString("S", "b", "22");
       },
       "[S]\nKey=1\nb=22\nc=" + std::string(100, 'z') + "\n"},
      {"an entry deleted and written again goes last", "[S]\na=1\nb=2\nc=3\n",
       [](TINIDocument& d) {
         d.FindSection("S").DeleteEntry("A");
         d.WriteString("S", "a", "4");
       },
       "[S]\nb=2\nc=3\na=4\n"},
      {"sections written in turn keep their order and their keys' order", "[A]\nk=1\n[B]\nk=1\n",
       [](TINIDocument& d) {
         for (int i = 0; i < 50; ++i) {
           d.WriteString("A", "a" + std::to_string(i), "x");
           d.WriteString("b", "b" + std::to_string(i), "y");
           d.WriteString("C", "c" + std::to_string(i), "z");
         }
         for (int i = 0; i < 50; ++i) d.FindSection("B").DeleteEntry("b" + std::to_string(i));
       },
       [] {
         std::string a = "[A]\nk=1\n", c = "[C]\n";
         for (int i = 0; i < 50; ++i) a += "a" + std::to_string(i) + "=x\n";
         for (int i = 0; i < 50; ++i) c += "c" + std::to_string(i) + "=z\n";
         return a + "[B]\nk=1\n" + c;
       }()},
      {"a deleted section written again goes last", "[A]\nk=1\n[B]\nk=2\n",
       [](TINIDocument& d) {
         d.DeleteSection(0);
         d.WriteString("a", "K", "3");
       },
       "[B]\nk=2\n[a]\nK=3\n"},
      {"duplicate keys and sections in the text are one, first spelling, last value",
       "[Sec]\nKey=1\n[other]\nx=1\n[SEC]\nkey=2\nKEY=3\nnew=4\n", [](TINIDocument&) {},
       "[Sec]\nKey=3\nnew=4\n[other]\nx=1\n"},
      {"a section of many keys and a document of many sections",
       [] {
         std::string t;
         for (int s = 0; s < 20; ++s) {
           t += "[S" + std::to_string(s) + "]\n";
           for (int k = 0; k < 100; ++k) t += "K" + std::to_string(k) + "=" + std::to_string(s * k) + "\n";
         }
         return t;
       }(),
       [](TINIDocument& d) {
         for (int s = 19; s >= 0; --s)
           for (int k = 99; k >= 0; k -= 7)
             d.WriteString("s" + std::to_string(s), "k" + std::to_string(k), "w");
         d.WriteString("s7", "k100", "new");
       },
       [] {
         std::string t;
         for (int s = 0; s < 20; ++s) {
           t += "[S" + std::to_string(s) + "]\n";
           for (int k = 0; k < 100; ++k)
             t += "K" + std::to_string(k) + "=" + ((99 - k) % 7 == 0 ? "w" : std::to_string(s * k)) + "\n";
           if (s == 7) t += "k100=new\n";
         }
         return t;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TINIDocument doc;
    doc.LoadFromString(c.text);
    c.edit(doc);
    EXPECT_EQ(doc.AsString(), c.expected);
    // The same after the content moved to another document, and after a reload.
    TINIDocument moved;
    moved.TakeContentOf(doc);
    EXPECT_EQ(moved.AsString(), c.expected);
    moved.WriteString("Z", "k", "v");
    EXPECT_EQ(moved.AsString(), c.expected + "[Z]\nk=v\n");
    TINIDocument again;
    again.LoadFromString(c.expected);
    EXPECT_EQ(again.AsString(), c.expected);
  }
}

// Sections and entries are handles: they read what the document holds now, an entry by its
// place in its section, and a place past the end is an error, not a read out of bounds.
TEST(INIDocumentStore, HandlesReadTheDocumentAsItIs) {
  TINIDocument doc;
  doc.LoadFromString("[A]\nk=1\nj=2\n");
  TINISection a = doc.FindSection("a");
  ASSERT_TRUE(a);
  EXPECT_EQ(a.Name(), "A");
  EXPECT_EQ(a.EntryCount(), 2);
  EXPECT_EQ(a.Entry(1).Name(), "j");
  EXPECT_EQ(a.Entry(1).AsString(), "j=2\n");
  doc.WriteString("A", "J", std::string(50, 'w'));  // moved in the store, same handle
  EXPECT_EQ(a.Entry(1).Value(), std::string(50, 'w'));
  EXPECT_EQ(a.FindEntry("J"), a.Entry(1));
  EXPECT_FALSE(a.FindEntry(""));
  EXPECT_EQ(a.WriteString("n", "3").Value(), "3");
  EXPECT_EQ(a.AsString(), "[A]\nk=1\nj=" + std::string(50, 'w') + "\nn=3\n");
  EXPECT_THROW(a.Entry(3), EListError);
  EXPECT_THROW(a.Entry(-1), EListError);
  EXPECT_THROW(doc.Section(1), EListError);
  EXPECT_THROW(doc.DeleteSection(1), EListError);
  EXPECT_FALSE(doc.FindSection("B"));
}

TEST(INIDocumentLookup, BareObjectHasNoText) {
  TINIObject node("x", nullptr);
  EXPECT_THROW(node.AsString(), EAbstractError);
}

TEST(INIDocumentFiles, FailedLoadLeavesTheDocument) {
  TempDir dir;
  TINIDocument doc;
  doc.LoadFromString("[A]\nk=v");
  EXPECT_THROW(doc.LoadFromFile(dir.File("missing.ini")), EFOpenError);
  EXPECT_EQ(doc.AsString(), "[A]\nk=v\n");
}

TEST(INIDocumentFiles, FailedSaveRaisesAndKeepsTheOldFile) {
  TempDir dir;
  std::string target = dir.File("sub");
  ASSERT_EQ(mkdir(target.c_str(), 0777), 0);  // a folder in the way: the rename must fail
  TINIDocument doc;
  doc.WriteString("A", "k", "v");
  EXPECT_THROW(doc.SaveToFile(target), EStreamError);
  EXPECT_TRUE(DirectoryExists(target));

  WriteAll(dir.File("keep.ini"), "[Old]\r\nx=1\r\n");
  WriteAll(dir.File("file"), "not a folder");
  EXPECT_THROW(doc.SaveToFile(dir.File("file/inside.ini")), EFCreateError);
  EXPECT_EQ(ReadAll(dir.File("keep.ini")), "[Old]\r\nx=1\r\n");
}

TEST(INIFileQuickLifeCycle, ReadOnlyUseCreatesNoFile) {
  TempDir dir;
  std::string path = dir.File("q.ini");
  {
    TINIFileQuick q(path);
    EXPECT_EQ(q.AsString(), "");
    EXPECT_EQ(q.ReadString("A", "k", "d"), "d");
  }
  EXPECT_FALSE(FileExists(path));
}

TEST(INIFileQuickLifeCycle, WriteCreatesTheFileAndKeepsOldSections) {
  TempDir dir;
  std::string path = dir.File("q.ini");
  WriteAll(path, "[Old]\nx=1\n[Mine]\ny=2\n");
  {
    TINIFileQuick q(path);
    EXPECT_EQ(q.Name(), path);
    q.WriteString("Mine", "y", "3");
    q.WriteString("New", "z", "4");
  }
  EXPECT_EQ(ReadAll(path), "[Old]\r\nx=1\r\n[Mine]\r\ny=3\r\n[New]\r\nz=4\r\n");
  {
    TINIFileQuick q(path);  // only read: the file stays byte for byte
    EXPECT_EQ(q.ReadInteger("New", "z", 0), 4);
  }
  EXPECT_EQ(ReadAll(path), "[Old]\r\nx=1\r\n[Mine]\r\ny=3\r\n[New]\r\nz=4\r\n");
}

TEST(INIFileQuickLifeCycle, UnwritablePathLosesSilentlyButSaveToFileRaises) {
  TempDir dir;
  WriteAll(dir.File("file"), "x");
  std::string path = dir.File("file/q.ini");  // a file where a folder should be
  {
    TINIFileQuick q(path);
    q.WriteString("A", "k", "v");
    EXPECT_THROW(q.SaveToFile(path), EFCreateError);
  }  // the release swallows the same failure
  EXPECT_FALSE(FileExists(path));
}

}  // namespace
