// Conversions, strings, files and paths of the platform.
#include "platform/SysUtils.h"

#include <acl/libacl.h>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/acl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/Types.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(Conversions, StrToIntDefForms) {
  struct {
    const char* in;
    int32_t expected;
  } cases[] = {{"0", 0},
               {"42", 42},
               {"-42", -42},
               {"+7", 7},
               {"  5", 5},
               {"5 ", -1},
               {"", -1},
               {"-", -1},
               {"12abc", -1},
               {"1.5", -1},
               {"$1F", 31},
               {"$ff", 255},
               {"0x10", 16},
               {"$FFFFFFFF", -1},
               {"$100000000", -1},
               {"2147483647", INT_MAX},
               {"2147483648", -1},
               {"-2147483648", INT_MIN},
               {"-2147483649", -1},
               {"$", -1}};
  for (auto& c : cases) EXPECT_EQ(StrToIntDef(c.in, -1), c.expected) << c.in;
  EXPECT_THROW(StrToInt("x"), EConvertError);
  try {
    StrToInt("12abc");
  } catch (const EConvertError& e) { EXPECT_EQ(e.Message, "'12abc' is not a valid integer value"); }
}

TEST(Conversions, IntToHexAndIntToStr) {
  EXPECT_EQ(IntToHex(0x563412, 8), "00563412");
  EXPECT_EQ(IntToHex(255, 1), "FF");
  EXPECT_EQ(IntToHex(-1, 8), "FFFFFFFF");
  EXPECT_EQ(IntToStr(-2147483648LL), "-2147483648");
}

TEST(Conversions, FloatTextIgnoresTheLocale) {
  // A locale with a decimal comma must not leak into stored texts.
  const char* old = setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  setlocale(LC_NUMERIC, "de_DE.UTF-8");
  struct {
    long double in;
    const char* out;
  } cases[] = {{0, "0"},
               {1, "1"},
               {-1.5, "-1.5"},
               {0.1, "0.1"},
               {100, "100"},
               {123456789012345.0, "123456789012345"},
               {1e15, "1E15"},
               {0.0001, "0.0001"},
               {0.00001, "1E-5"},
               {2.5e-300, "2.5E-300"},
               {1.0 / 3.0, "0.333333333333333"}};
  for (auto& c : cases) EXPECT_EQ(FloatToStr(c.in), c.out) << double(c.in);
  EXPECT_DOUBLE_EQ(double(StrToFloat("1.25")), 1.25);
  EXPECT_DOUBLE_EQ(double(StrToFloat(" -2E3 ")), -2000);
  EXPECT_THROW(StrToFloat("1,25"), EConvertError);
  EXPECT_THROW(StrToFloat(""), EConvertError);
  setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Strings, TrimAndCaseFolding) {
  EXPECT_EQ(Trim("\t\x01 a b \r\n"), "a b");
  EXPECT_EQ(UpperCase("ab\xE9z"), "AB\xE9Z");  // ASCII only
  EXPECT_TRUE(SameText("Heading", "hEADING"));
  EXPECT_FALSE(SameText("\xC9", "\xE9"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_EQ(StringReplaceAll("aXbxc", "x", "-", true), "a-b-c");
  EXPECT_EQ(Pos("lo", "hello"), 4u);
}

// Well-formed UTF-8 stays as it is; every byte outside a well-formed sequence is the Latin-1
// character of its value, as texts of older projects hold them.
TEST(Strings, Utf8WithLatin1Fallback) {
  struct {
    const char* what;
    std::string in, utf8;
    std::vector<uint32_t> codes;
  } cases[] = {
      {"ascii", "Cafe", "Cafe", {'C', 'a', 'f', 'e'}},
      {"utf-8", "Caf\xC3\xA9", "Caf\xC3\xA9", {'C', 'a', 'f', 0xE9}},
      {"latin-1", "Caf\xE9", "Caf\xC3\xA9", {'C', 'a', 'f', 0xE9}},
      {"both in one text", "\xE9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", {0xE9, 't', 0xE9}},
      {"three and four bytes",
       "\xE2\x82\xAC\xF0\x9F\x98\x80",
       "\xE2\x82\xAC\xF0\x9F\x98\x80",
       {0x20AC, 0x1F600}},
      {"cut sequence at the end", "a\xE2\x82", "a\xC3\xA2\xC2\x82", {'a', 0xE2, 0x82}},
      {"overlong slash", "\xC0\xAF", "\xC3\x80\xC2\xAF", {0xC0, 0xAF}},
      {"overlong three bytes", "\xE0\x80\xAF", "\xC3\xA0\xC2\x80\xC2\xAF", {0xE0, 0x80, 0xAF}},
      {"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80", {0xED, 0xA0, 0x80}},
      {"past U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80", {0xF4, 0x90, 0x80, 0x80}},
      {"lone continuation", "\x80", "\xC2\x80", {0x80}},
      {"nul kept", std::string("a\0b", 3), std::string("a\0b", 3), {'a', 0, 'b'}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Utf8OrLatin1ToUtf8(c.in), c.utf8);
    EXPECT_EQ(DecodeUtf8OrLatin1(c.in), c.codes);
    // Once converted, a text decodes to the same characters and converts to itself.
    EXPECT_EQ(DecodeUtf8OrLatin1(c.utf8), c.codes);
    EXPECT_EQ(Utf8OrLatin1ToUtf8(c.utf8), c.utf8);
  }
}

// A path of this machine splits at '/' only: ':' and '\' are letters of a name, in every path
// function. A name that the old platform stored splits at all three.
TEST(Paths, OnlySlashSeparatesAPath) {
  struct {
    const char* in;
    const char* path;
    const char* name;
    const char* ext;
    const char* expanded;  // from the folder /w
  } cases[] = {{"/a/b/c.zlm", "/a/b/", "c.zlm", ".zlm", "/a/b/c.zlm"},
               {"out/Logo: final.png", "out/", "Logo: final.png", ".png", "/w/out/Logo: final.png"},
               {"Web: final/index.htm", "Web: final/", "index.htm", ".htm", "/w/Web: final/index.htm"},
               {"Menu: v2.zlm", "", "Menu: v2.zlm", ".zlm", "/w/Menu: v2.zlm"},
               {"Images\\wood.bmp", "", "Images\\wood.bmp", ".bmp", "/w/Images\\wood.bmp"},
               {"C:\\x\\y.tar.gz", "", "C:\\x\\y.tar.gz", ".gz", "/w/C:\\x\\y.tar.gz"},
               {"a\\..\\b", "", "a\\..\\b", ".\\b", "/w/a\\..\\b"},
               {"x:/../y", "x:/../", "y", "", "/w/y"},
               {"noext", "", "noext", "", "/w/noext"},
               {"dir.d/file", "dir.d/", "file", "", "/w/dir.d/file"}};
  std::string cwd = GetCurrentDir();
  TempDir dir;
  ASSERT_TRUE(SetCurrentDir(dir.Path()));
  const std::string here = GetCurrentDir();
  for (auto& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.in), c.path) << c.in;
    EXPECT_EQ(ExtractFileName(c.in), c.name) << c.in;
    EXPECT_EQ(ExtractFileExt(c.in), c.ext) << c.in;
    EXPECT_EQ(ExpandFileName(c.in),
              c.in[0] == '/' ? std::string(c.expanded) : here + std::string(c.expanded).substr(2))
        << c.in;
    EXPECT_EQ(ChangeFileExt(c.in, ".htm"), std::string(c.path) + ChangeFileExt(c.name, ".htm")) << c.in;
  }
  SetCurrentDir(cwd);
  EXPECT_EQ(ExtractFileDir("/a/Web: final/x"), "/a/Web: final");
  EXPECT_EQ(IncludeTrailingPathDelimiter("Web:"), "Web:/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a\\"), "a\\");
  EXPECT_EQ(ChangeFileExt("/a/b.c/d.zlm", ".htm"), "/a/b.c/d.htm");
  EXPECT_EQ(ChangeFileExt("/a/b.c/d", ".htm"), "/a/b.c/d.htm");
  EXPECT_EQ(ExpandFileName("/a/b/../c/./d"), "/a/c/d");
  EXPECT_EQ(ExpandFileName("/../x"), "/x");
  // A folder whose name holds ':' or '\' is made as named.
  ASSERT_TRUE(ForceDirectories(dir.File("Web: final/a\\b")));
  EXPECT_TRUE(DirectoryExists(dir.File("Web: final/a\\b")));
  EXPECT_FALSE(DirectoryExists(dir.File("Web: final/a/b")));

  // Names stored by the old platform.
  struct {
    const char* stored;
    const char* name;
  } stored[] = {{"wood.bmp", "wood.bmp"},
                {"Images\\wood.bmp", "wood.bmp"},
                {"C:\\Program Files\\x.bmp", "x.bmp"},
                {"Disk:Folder:pic.gif", "pic.gif"},
                {"a/b.bmp", "b.bmp"},
                {"C:", ""}};
  for (auto& c : stored) EXPECT_EQ(StoredFileName(c.stored), c.name) << c.stored;
}

TEST(Paths, StoredNamesStayInsideTheirFolder) {
  struct {
    const char* stored;
    const char* expected;
  } cases[] = {{"wood.bmp", "/p/Images/wood.bmp"},
               {"sub\\wood.bmp", "/p/Images/sub/wood.bmp"},
               {"..\\..\\etc\\passwd", "/p/Images/etc/passwd"},
               {"/etc/passwd", "/p/Images/etc/passwd"},
               {"C:\\Program Files\\x.bmp", "/p/Images/Program Files/x.bmp"},
               {"a/./b/../c", "/p/Images/a/b/c"}};
  for (auto& c : cases) EXPECT_EQ(StoredNameInFolder("/p/Images/", c.stored), c.expected) << c.stored;
}

TEST(Files, CaseBlindLookupAndDirectories) {
  TempDir dir;
  ASSERT_TRUE(ForceDirectories(dir.File("Images/Sub")));
  WriteAll(dir.File("Images/Sub/Wood.BMP"), "x");
  // The stored name is matched blind, the folder it is looked for in exactly.
  EXPECT_EQ(FindFileCaseBlind(dir.File("Images"), "sub/wood.bmp"), dir.File("Images/Sub/Wood.BMP"));
  EXPECT_EQ(FindFileCaseBlind(dir.File("Images/"), "SUB/WOOD.bmp"), dir.File("Images/Sub/Wood.BMP"));
  EXPECT_EQ(FindFileCaseBlind(dir.File("Images"), "none.bmp"), dir.File("Images/none.bmp"));
  EXPECT_EQ(FindFileCaseBlind(dir.File("images"), "sub/wood.bmp"), dir.File("images/sub/wood.bmp"));
  EXPECT_EQ(FindFileCaseBlind(dir.File("Images/sub"), "Wood.BMP"), dir.File("Images/sub/Wood.BMP"));
  EXPECT_TRUE(FileExists(dir.File("Images/Sub/Wood.BMP")));
  EXPECT_FALSE(FileExists(dir.File("Images")));
  EXPECT_TRUE(DirectoryExists(dir.File("Images")));
}

TEST(Files, AtomicWriteReplacesAndLeavesNoTemporary) {
  TempDir dir;
  std::string f = dir.File("doc.zlm");
  WriteFileAtomic(f, "one");
  WriteFileAtomic(f, "two");
  EXPECT_EQ(ReadAll(f), "two");
  EXPECT_EQ(ReadFileBytes(f), "two");
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1);
  EXPECT_THROW(ReadFileBytes(dir.File("missing")), EFOpenError);
}

struct FileFacts {
  bool isLink;
  mode_t mode;
  nlink_t links;
  uid_t uid;
  gid_t gid;
};

FileFacts Facts(const std::string& name) {
  struct stat st {};
  EXPECT_EQ(lstat(name.c_str(), &st), 0) << name;
  return {S_ISLNK(st.st_mode), mode_t(st.st_mode & 07777), st.st_nlink, st.st_uid, st.st_gid};
}

int EntriesIn(const std::string& folder) {
  int n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

// What the user's file looks like after a save through each kind of name: a link is followed
// to the real file, a second hard link still shows the new content, and the file keeps its
// permission bits and its owner.
TEST(Files, AtomicWriteKeepsLinksModeAndOwner) {
  TempDir dir;
  std::string real = dir.File("real.zlm");

  // A symbolic link, relative, to a link beside it: the chain is followed to the real file.
  WriteAll(real, "old");
  ASSERT_EQ(symlink("real.zlm", dir.File("hop.zlm").c_str()), 0);
  ASSERT_EQ(symlink(dir.File("hop.zlm").c_str(), dir.File("link.zlm").c_str()), 0);
  WriteFileAtomic(dir.File("link.zlm"), "via link");
  EXPECT_TRUE(Facts(dir.File("link.zlm")).isLink);
  EXPECT_TRUE(Facts(dir.File("hop.zlm")).isLink);
  EXPECT_FALSE(Facts(real).isLink);
  EXPECT_EQ(ReadAll(real), "via link");

  // A link whose own name, or whose folder's, holds ":" or "\\": the link's target is found
  // from the link's own folder, and nothing is written under a name cut at those letters.
  for (std::string link : {"Menu: v2.zlm", "Web: final/Menu: v2.zlm", "a\\b.zlm"}) {
    SCOPED_TRACE(link);
    const std::string folder = ExtractFilePath(dir.File(link));
    ASSERT_TRUE(ForceDirectories(folder));
    WriteAll(folder + "real2.zlm", "old");
    ASSERT_EQ(symlink("real2.zlm", dir.File(link).c_str()), 0);
    WriteFileAtomic(dir.File(link), "new " + link);
    EXPECT_TRUE(Facts(dir.File(link)).isLink);
    EXPECT_EQ(ReadAll(folder + "real2.zlm"), "new " + link);
  }
  EXPECT_FALSE(FileExists(dir.File("Menu:real2.zlm")));
  EXPECT_FALSE(DirectoryExists(dir.File("Web")));
  EXPECT_FALSE(FileExists(dir.File("Web: final/Menu:real2.zlm")));

  // A link whose file does not exist yet: the file is made where the link points.
  ASSERT_EQ(symlink("made.zlm", dir.File("dangling.zlm").c_str()), 0);
  WriteFileAtomic(dir.File("dangling.zlm"), "new");
  EXPECT_TRUE(Facts(dir.File("dangling.zlm")).isLink);
  EXPECT_EQ(ReadAll(dir.File("made.zlm")), "new");

  // A hard link: both names show the new content, longer and then shorter than before.
  ASSERT_EQ(link(real.c_str(), dir.File("hard.zlm").c_str()), 0);
  for (std::string text : {"a longer content than before", "short"}) {
    WriteFileAtomic(dir.File("hard.zlm"), text);
    EXPECT_EQ(ReadAll(real), text);
    EXPECT_EQ(ReadAll(dir.File("hard.zlm")), text);
    EXPECT_EQ(Facts(real).links, 2u);
  }

  // Permission bits, also ones the umask would not give, and the owner.
  for (mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0604), mode_t(0755)}) {
    std::string f = dir.File("mode.zlm");
    WriteAll(f, "x");
    ASSERT_EQ(chmod(f.c_str(), mode), 0);
    WriteFileAtomic(f, "y");
    EXPECT_EQ(Facts(f).mode, mode) << std::oct << mode;
    EXPECT_EQ(ReadAll(f), "y");
  }
  if (geteuid() == 0) {
    std::string f = dir.File("owned.zlm");
    WriteAll(f, "x");
    ASSERT_EQ(chown(f.c_str(), 4321, 4322), 0);
    WriteFileAtomic(f, "y");
    EXPECT_EQ(Facts(f).uid, 4321u);
    EXPECT_EQ(Facts(f).gid, 4322u);
  }
  // A new file gets the usual permissions.
  mode_t mask = umask(022);
  WriteFileAtomic(dir.File("fresh.zlm"), "z");
  umask(mask);
  EXPECT_EQ(Facts(dir.File("fresh.zlm")).mode, mode_t(0644));

  // No temporary stays behind.
  for (auto& e : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}

namespace {
std::string AclText(const std::string& name) {
  acl_t acl = acl_get_file(name.c_str(), ACL_TYPE_ACCESS);
  if (!acl) return "no ACL: " + SysErrorMessage(errno);
  char* text = acl_to_any_text(acl, nullptr, ',', 0);
  std::string r = text ? text : "";
  acl_free(text);
  acl_free(acl);
  return r;
}
std::string Attribute(const std::string& name, const char* key) {
  char buf[256];
  ssize_t n = getxattr(name.c_str(), key, buf, sizeof buf);
  return n < 0 ? "missing: " + SysErrorMessage(errno) : std::string(buf, size_t(n));
}
}  // namespace

// A replaced file keeps its ACL and its extended attributes exactly; copying the mode bits alone
// would have made the ACL's mask (rw-) the group's permissions.
TEST(Files, ReplacementKeepsTheAclAndTheExtendedAttributes) {
  TempDir dir;
  const std::string f = dir.File("shared.zlm");
  WriteAll(f, "old");
  acl_t acl = acl_from_text("user::rw-,user:nobody:rw-,group::r--,mask::rw-,other::---");
  ASSERT_NE(acl, nullptr);
  ASSERT_EQ(acl_set_file(f.c_str(), ACL_TYPE_ACCESS, acl), 0) << SysErrorMessage(errno);
  acl_free(acl);
  ASSERT_EQ(setxattr(f.c_str(), "user.zelmora.note", "kept", 4, 0), 0) << SysErrorMessage(errno);
  const std::string before = AclText(f);
  ASSERT_NE(before.find("user:nobody:rw-"), std::string::npos) << before;
  ASSERT_NE(before.find("group::r--"), std::string::npos) << before;
  ASSERT_EQ(symlink("shared.zlm", dir.File("link.zlm").c_str()), 0);
  for (const char* name : {"shared.zlm", "link.zlm"}) {
    SCOPED_TRACE(name);
    WriteFileAtomic(dir.File(name), std::string("new via ") + name);
    EXPECT_EQ(ReadAll(f), std::string("new via ") + name);
    EXPECT_EQ(AclText(f), before);
    EXPECT_EQ(Attribute(f, "user.zelmora.note"), "kept");
  }
  // Mode bits kept as before for a file without an ACL: no ACL appears on it.
  WriteAll(dir.File("plain.zlm"), "x");
  chmod(dir.File("plain.zlm").c_str(), 0640);
  WriteFileAtomic(dir.File("plain.zlm"), "y");
  EXPECT_EQ(AclText(dir.File("plain.zlm")), "user::rw-,group::r--,other::---");
}

// A read-only file (no write bit, as the user makes it with chmod 0444) is not replaced, by
// its name, through a link or a hard link, also for root: the write is refused with the reason
// and the file stays as it was, with nothing left beside it.
TEST(Files, ReadOnlyFilesAreNotReplaced) {
  TempDir dir;
  const std::string f = dir.File("page.zlm");
  WriteAll(f, "the user's page");
  ASSERT_EQ(chmod(f.c_str(), 0444), 0);
  ASSERT_EQ(symlink("page.zlm", dir.File("link.zlm").c_str()), 0);
  WriteAll(dir.File("other.zlm"), "other");
  ASSERT_EQ(link(dir.File("other.zlm").c_str(), dir.File("hard.zlm").c_str()), 0);
  ASSERT_EQ(chmod(dir.File("other.zlm").c_str(), 0444), 0);
  for (const char* name : {"page.zlm", "link.zlm", "hard.zlm"}) {
    SCOPED_TRACE(name);
    try {
      WriteFileAtomic(dir.File(name), "replaced");
      ADD_FAILURE() << "a read-only file was replaced";
    } catch (const EFCreateError& e) {
      EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(ReadAll(f), "the user's page");
  EXPECT_EQ(ReadAll(dir.File("other.zlm")), "other");
  EXPECT_EQ(Facts(f).mode, mode_t(0444));
  EXPECT_EQ(EntriesIn(dir.Path()), 4);
  // Made writable again, it is saved as usual and keeps its mode.
  ASSERT_EQ(chmod(f.c_str(), 0644), 0);
  WriteFileAtomic(f, "saved");
  EXPECT_EQ(ReadAll(f), "saved");
}

namespace {
std::vector<std::string> SaveFolders(const std::string& folder) {
  std::vector<std::string> r;
  for (auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().filename().string().starts_with(".zelmora-save-")) r.push_back(e.path().string());
  return r;
}
// Dates a folder back, past the grace that a save just begun is given.
void Age(const std::string& path) {
  struct timespec times[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}
}  // namespace

// A save killed on the way leaves its private folder; the next save in that folder removes it,
// and a hard-linked file killed during its in-place rewrite (new head, old tail) is completed
// with the whole new content, so both names show the new file. A live save's folder is left.
TEST(Files, WhatAKilledSaveLeftIsRecovered) {
  TempDir dir;
  const std::string page = dir.File("page.zlm"), other = dir.File("other.zlm");
  WriteAll(page, "the page");
  WriteAll(other, std::string(3000, 'o'));
  ASSERT_EQ(link(other.c_str(), dir.File("other-link.zlm").c_str()), 0);
  const std::string next(2500, 'n');
  // 1: killed while writing its new content; 2: killed in the middle of the in-place rewrite,
  // by the file size limit's signal, which ends the process as a kill does.
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (round == 1) {
        TFileReplacement r(page);
        WriteAll(r.Path, "half of a new");
        raise(SIGKILL);
      }
      TFileReplacement r(dir.File("other-link.zlm"));
      WriteAll(r.Path, next);
      struct rlimit small = {2000, RLIM_INFINITY};
      setrlimit(RLIMIT_FSIZE, &small);
      signal(SIGXFSZ, SIG_DFL);
      r.Commit();
      _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    std::vector<std::string> left = SaveFolders(dir.Path());
    ASSERT_EQ(left.size(), 1u);
    if (round == 2) {
      const std::string torn = ReadAll(other);
      EXPECT_NE(torn, next) << "the rewrite was not cut";
    }
    Age(left[0]);
    WriteFileAtomic(dir.File("third.zlm"), "another save in the folder");
    EXPECT_TRUE(SaveFolders(dir.Path()).empty());
    EXPECT_EQ(ReadAll(page), "the page");
    if (round == 2) {
      EXPECT_EQ(ReadAll(other), next);
      EXPECT_EQ(ReadAll(dir.File("other-link.zlm")), next);
    }
  }
  // A save that is alive keeps its folder, however old it looks.
  {
    TFileReplacement live(page);
    WriteAll(live.Path, "live");
    std::vector<std::string> left = SaveFolders(dir.Path());
    ASSERT_EQ(left.size(), 1u);
    Age(left[0]);
    RecoverDeadSaves(dir.Path());
    EXPECT_EQ(SaveFolders(dir.Path()).size(), 1u);
    live.Commit();
  }
  EXPECT_EQ(ReadAll(page), "live");
  EXPECT_TRUE(SaveFolders(dir.Path()).empty());
}

// A batch of saves into one folder looks at it for dead saves once, when the batch is made;
// saves into other folders, and saves after the batch, look as every save does.
TEST(Files, ABatchOfSavesLooksForDeadSavesOnce) {
  TempDir dir, other;
  auto deadSave = [](const TempDir& in, const char* name) {
    const std::string path = in.File(std::string(".zelmora-save-") + name);
    EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
    Age(path);
  };
  deadSave(dir, "before");
  {
    TSaveBatch batch(dir.Path());
    EXPECT_TRUE(SaveFolders(dir.Path()).empty()) << "the batch looked at its folder when it was made";
    deadSave(dir, "during");
    deadSave(other, "during");
    for (int i = 0; i < 20; ++i) WriteFileAtomic(dir.File(std::to_string(i) + ".png"), std::to_string(i));
    EXPECT_EQ(SaveFolders(dir.Path()).size(), 1u) << "a save in the batch read the folder again";
    WriteFileAtomic(other.File("page.zlm"), "elsewhere");
    EXPECT_TRUE(SaveFolders(other.Path()).empty()) << "a save into another folder was left out";
    // A batch within the batch, for another folder, ends without ending the first.
    { TSaveBatch inner(other.Path()); }
    EXPECT_TRUE(TSaveBatch::Covers(dir.Path() + "/"));
    EXPECT_FALSE(TSaveBatch::Covers(other.Path()));
  }
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ReadAll(dir.File(std::to_string(i) + ".png")), std::to_string(i));
  EXPECT_FALSE(TSaveBatch::Covers(dir.Path()));
  WriteFileAtomic(dir.File("after.png"), "after");
  EXPECT_TRUE(SaveFolders(dir.Path()).empty()) << "a save after the batch did not look";
}

// Files replaced together: until the batch commits, every file of the folder is the old one
// and no new name appears; the commit gives each file what a single save gives it (the old
// file's permissions, the mask's for a new one, a link followed, a hard link kept); a batch
// that ends without a commit leaves nothing behind.
TEST(Files, FilesReplacedTogetherAppearTogether) {
  TempDir dir;
  WriteAll(dir.File("kept.png"), "old kept");
  ASSERT_EQ(chmod(dir.File("kept.png").c_str(), 0604), 0);
  WriteAll(dir.File("hard.png"), "old hard");
  ASSERT_EQ(link(dir.File("hard.png").c_str(), dir.File("other-name.png").c_str()), 0);
  WriteAll(dir.File("real.htm"), "old real");
  ASSERT_EQ(symlink("real.htm", dir.File("link.htm").c_str()), 0);
  WriteAll(dir.File("locked.png"), "read-only");
  ASSERT_EQ(chmod(dir.File("locked.png").c_str(), 0444), 0);
  const int entries = EntriesIn(dir.Path());
  const mode_t savedMask = umask(027);
  for (const bool commit : {false, true}) {
    SCOPED_TRACE(commit ? "committed" : "dropped");
    {
      TFilesReplacement batch(dir.Path());
      EXPECT_TRUE(TFilesReplacement::Covers(dir.Path() + "/"));
      EXPECT_FALSE(TFilesReplacement::Covers(dir.File("sub")));
      WriteFileAtomic(dir.File("kept.png"), "new kept");
      WriteFileAtomic(dir.File("hard.png"), "new hard");
      WriteFileAtomic(dir.File("link.htm"), "new real");
      // Saved twice: the later one is the file.
      WriteFileAtomic(dir.File("made.png"), "first");
      {
        TFileReplacement again(dir.File("made.png"));
        EXPECT_TRUE(again.Staged());
        WriteAll(again.Path, "second");
        again.Commit();
      }
      // One that fails on the way is not among them.
      {
        TFileReplacement broken(dir.File("broken.png"));
        WriteAll(broken.Path, "half");
      }
      EXPECT_THROW(WriteFileAtomic(dir.File("locked.png"), "x"), EFCreateError);
      EXPECT_EQ(batch.Count(), 4u);
      EXPECT_EQ(ReadAll(dir.File("kept.png")), "old kept");
      EXPECT_EQ(ReadAll(dir.File("other-name.png")), "old hard");
      EXPECT_EQ(ReadAll(dir.File("real.htm")), "old real");
      EXPECT_FALSE(FileExists(dir.File("made.png")));
      EXPECT_EQ(EntriesIn(dir.Path()), entries + 1);  // the batch's private folder
      if (commit) batch.Commit();
    }
    EXPECT_EQ(EntriesIn(dir.Path()), entries + (commit ? 1 : 0));
    EXPECT_TRUE(SaveFolders(dir.Path()).empty());
    EXPECT_FALSE(FileExists(dir.File("broken.png")));
    EXPECT_EQ(ReadAll(dir.File("locked.png")), "read-only");
  }
  umask(savedMask);
  EXPECT_EQ(ReadAll(dir.File("kept.png")), "new kept");
  EXPECT_EQ(Facts(dir.File("kept.png")).mode, mode_t(0604));
  EXPECT_EQ(ReadAll(dir.File("other-name.png")), "new hard");
  EXPECT_EQ(Facts(dir.File("hard.png")).links, 2u);
  EXPECT_TRUE(Facts(dir.File("link.htm")).isLink);
  EXPECT_EQ(ReadAll(dir.File("real.htm")), "new real");
  EXPECT_EQ(ReadAll(dir.File("made.png")), "second");
  EXPECT_EQ(Facts(dir.File("made.png")).mode, mode_t(0640));
  EXPECT_FALSE(TFilesReplacement::Covers(dir.Path()));
}

// A write that cannot finish (here: past the file size limit, which binds root too) leaves
// the old file whole, through a link or a hard link as well, and nothing else beside it.
TEST(Files, AtomicWriteThatFailsLeavesTheOldFile) {
  TempDir dir;
  WriteAll(dir.File("real.zlm"), "old content");
  ASSERT_EQ(symlink("real.zlm", dir.File("link.zlm").c_str()), 0);
  ASSERT_EQ(link(dir.File("real.zlm").c_str(), dir.File("hard.zlm").c_str()), 0);
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  for (const char* name : {"real.zlm", "link.zlm", "hard.zlm"})
    EXPECT_THROW(WriteFileAtomic(dir.File(name), std::string(1000, 'n')), Exception) << name;
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(ReadAll(dir.File("real.zlm")), "old content");
  EXPECT_EQ(Facts(dir.File("real.zlm")).links, 2u);
  EXPECT_EQ(EntriesIn(dir.Path()), 3);

  // Only a plain file is ever replaced: a pipe or a folder under the name stays as it is.
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  ASSERT_TRUE(ForceDirectories(dir.File("folder")));
  for (const char* name : {"pipe", "folder"}) {
    EXPECT_THROW(WriteFileAtomic(dir.File(name), "x"), EFCreateError) << name;
    struct stat st {};
    ASSERT_EQ(lstat(dir.File(name).c_str(), &st), 0);
    EXPECT_EQ(S_ISFIFO(st.st_mode), std::string(name) == "pipe") << name;
    EXPECT_EQ(S_ISDIR(st.st_mode), std::string(name) == "folder") << name;
  }
  EXPECT_EQ(EntriesIn(dir.Path()), 5);
}

// Only a regular file is ever read: a pipe, a device, a socket or a folder is refused at once,
// with its kind in the message, and a pipe never blocks the reader.
TEST(Files, OnlyRegularFilesAreRead) {
  TempDir dir;
  WriteAll(dir.File("page.zlm"), "12345");
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  ASSERT_TRUE(ForceDirectories(dir.File("folder")));
  ASSERT_EQ(symlink("pipe", dir.File("to-pipe").c_str()), 0);
  ASSERT_EQ(symlink("page.zlm", dir.File("to-page").c_str()), 0);
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string sockName = dir.File("sock");
  ASSERT_LT(sockName.size(), sizeof addr.sun_path);
  memcpy(addr.sun_path, sockName.c_str(), sockName.size() + 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  struct {
    std::string name;
    bool regular;
    const char* problem;
  } cases[] = {{dir.File("page.zlm"), true, ""},
               {dir.File("to-page"), true, ""},
               {dir.File("pipe"), false, "is a named pipe, not a file."},
               {dir.File("to-pipe"), false, "is a named pipe, not a file."},
               {dir.File("folder"), false, "is a folder, not a file."},
               {"/dev/null", false, "is a device, not a file."},
               {"/dev/zero", false, "is a device, not a file."},
               {sockName, false, "is a socket, not a file."},
               {dir.File("missing.zlm"), false, "No such file or directory"},
               {"", false, "No file name"}};
  // A reader that blocked on the pipe would hang here: the alarm turns that into a failure.
  alarm(20);
  for (const auto& c : cases) {
    TRegularFile check = CheckRegularFile(c.name);
    EXPECT_EQ(check.Regular, c.regular) << c.name;
    EXPECT_NE(check.Problem.find(c.problem), std::string::npos) << c.name << ": " << check.Problem;
    if (c.regular) {
      EXPECT_EQ(check.Size, 5) << c.name;
      int64_t size = 0;
      int fd = OpenRegularFile(c.name, size);
      EXPECT_EQ(size, 5);
      EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
      close(fd);
      EXPECT_EQ(ReadFileBytes(c.name), "12345");
    } else {
      int64_t size = 0;
      EXPECT_THROW(OpenRegularFile(c.name, size), EFOpenError) << c.name;
      try {
        ReadFileBytes(c.name);
        ADD_FAILURE() << c.name << " was read";
      } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find(c.problem), std::string::npos) << e.what();
      }
    }
  }
  alarm(0);
  close(sock);
  // A size limit refuses a larger file before reading it, and a file at the limit is read.
  EXPECT_EQ(ReadFileBytesAtMost(dir.File("page.zlm"), 5), "12345");
  EXPECT_THROW(ReadFileBytesAtMost(dir.File("page.zlm"), 4), EReadError);
}

TEST(Colours, IdentifiersAndHexText) {
  EXPECT_EQ(ColorToString(clWhite), "clWhite");
  EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
  EXPECT_EQ(ColorToString(clNone), "clNone");
  EXPECT_EQ(ColorToString(RGB(0x12, 0x34, 0x56)), "$00563412");
  EXPECT_EQ(StringToColor("CLRED"), clRed);
  EXPECT_EQ(StringToColor("$00563412"), RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(StringToColor("255"), clRed);
  EXPECT_EQ(StringToColor("cl3DLight"), cl3DLight);
  try {
    StringToColor("clPink");
    ADD_FAILURE();
  } catch (const EConvertError& e) { EXPECT_EQ(e.Message, "'clPink' is not a valid integer value"); }
  EXPECT_EQ(ColorToRGB(clWindow), 0xFFFFFF);
  EXPECT_EQ(ColorToRGB(0x01123456), 0x123456);
}

TEST(Rects, IntersectionAndUnion) {
  TRect r;
  EXPECT_TRUE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(5, 5, 20, 20)));
  EXPECT_EQ(r, Rect(5, 5, 10, 10));
  EXPECT_FALSE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(10, 0, 20, 10)));  // touching
  EXPECT_EQ(r, TRect());
  EXPECT_TRUE(UnionRect(r, Rect(0, 0, 0, 0), Rect(1, 1, 2, 2)));
  EXPECT_EQ(r, Rect(1, 1, 2, 2));
}

}  // namespace
