// Settings files, the registry store and the program folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Classes.h"
#include "platform/IniFiles.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(IniFile, KeepsForeignLinesAndUpdatesInPlace) {
  TempDir dir;
  std::string f = dir.File("Settings.ini");
  WriteAll(
      f,
      "; my notes\r\n[Settings]\r\nLanguage = EN\r\n# odd line\r\nQuoted=\" x \"\r\n\r\n[Other]\r\nk=1\r\n");
  TIniFile ini(f);
  EXPECT_EQ(ini.ReadString("settings", "LANGUAGE", ""), "EN");
  EXPECT_EQ(ini.ReadString("Settings", "Quoted", ""), " x ");
  EXPECT_EQ(ini.ReadInteger("Other", "k", 0), 1);
  EXPECT_TRUE(ini.ReadBool("Other", "missing", true));
  ini.WriteString("SETTINGS", "language", "DE");
  ini.WriteInteger("Settings", "New", 5);
  ini.WriteString("Added", "a", "b");
  EXPECT_EQ(ReadAll(f),
            "; my notes\r\n[Settings]\r\nlanguage=DE\r\n# odd line\r\nQuoted=\" x \"\r\nNew=5\r\n"
            "\r\n[Other]\r\nk=1\r\n[Added]\r\na=b\r\n");
  EXPECT_EQ(ini.ReadSection("Settings"), (std::vector<std::string>{"language", "Quoted", "New"}));
  ini.DeleteKey("Settings", "new");
  EXPECT_FALSE(ini.ValueExists("Settings", "New"));
  ini.EraseSection("other");
  EXPECT_FALSE(ini.SectionExists("Other"));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Settings", "Added"}));
}

// Settings, tips, translations and keyword sets edited elsewhere may begin with a UTF-8
// byte-order mark; the first section is still found, and a write updates it.
TEST(IniFile, UTF8MarkAtTheStartIsSkipped) {
  TempDir dir;
  std::string f = dir.File("Settings.ini");
  WriteAll(f, "\xEF\xBB\xBF[Settings]\r\nDefaultProject=a.zlm\r\n");
  TIniFile ini(f);
  EXPECT_EQ(ini.ReadString("Settings", "DefaultProject", ""), "a.zlm");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Settings"}));
  ini.WriteString("Settings", "DefaultProject", "b.zlm");
  EXPECT_EQ(ReadAll(f), "[Settings]\r\nDefaultProject=b.zlm\r\n");
}

// The file is parsed once and then read through its index: what another program (or a
// second window) writes to it is still seen at the next read, and a repeated section or key
// reads as its first occurrence.
TEST(IniFile, ReadsSeeTheFileAsItIsNow) {
  TempDir dir;
  std::string f = dir.File("tips.ini");
  WriteAll(f, "[Tip0]\r\nEN=first\r\nen=second\r\n[tip0]\r\nEN=third\r\nX=4\r\n");
  TIniFile ini(f);
  EXPECT_EQ(ini.ReadString("TIP0", "en", ""), "first");
  EXPECT_FALSE(ini.ValueExists("Tip0", "X")) << "a repeated header does not add to the section";
  TIniFile other(f);
  other.WriteString("Settings", "CurrentTip", "3");
  EXPECT_EQ(ini.ReadInteger("Settings", "CurrentTip", -1), 3);
  // Rewritten in place by another program.
  WriteAll(f, "[Settings]\r\nCurrentTip=7\r\n");
  EXPECT_EQ(ini.ReadInteger("Settings", "CurrentTip", -1), 7);
  DeleteFile(f);
  EXPECT_EQ(ini.ReadInteger("Settings", "CurrentTip", -1), -1);
}

TEST(IniFile, MissingFileReadsDefaultsAndWritesCreateIt) {
  TempDir dir;
  TIniFile ini(dir.File("sub/new.ini"));
  EXPECT_EQ(ini.ReadString("A", "k", "def"), "def");
  EXPECT_FALSE(FileExists(dir.File("sub/new.ini")));
  ini.WriteBool("A", "k", true);
  EXPECT_EQ(ReadAll(dir.File("sub/new.ini")), "[A]\r\nk=1\r\n");
}

TEST(RegistryStore, RoundTripsKeysAndValues) {
  TempDir dir;
  ScopedEnv env("ZELMORA_CONFIG", dir.Path());
  {
    TRegistry reg;
    reg.RootKey = HKEY_CLASSES_ROOT;
    EXPECT_FALSE(reg.OpenKeyReadOnly("\\.zlm"));
    ASSERT_TRUE(reg.OpenKey("\\.zlm", true));
    reg.WriteString("", "ZelmoraProject");
    reg.WriteString("Multi=Line", "a\\b\nc");
    reg.WriteInteger("Count", -3);
    reg.CloseKey();
    ASSERT_TRUE(reg.OpenKey("\\ZelmoraProject\\shell\\open\\command", true));
    reg.WriteString("", "\"/opt/zelmora\" \"%1\"");
  }
  EXPECT_TRUE(FileExists(dir.File("registry.ini")));
  TRegistry reg;
  reg.RootKey = HKEY_CLASSES_ROOT;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\.ZLM"));
  EXPECT_EQ(reg.ReadString(""), "ZelmoraProject");
  EXPECT_EQ(reg.ReadString("multi=line"), "a\\b\nc");
  EXPECT_EQ(reg.ReadInteger("Count"), -3);
  EXPECT_EQ(reg.ReadString("absent"), "");
  EXPECT_THROW(reg.ReadInteger("absent"), ERegistryException);
  EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException);  // opened read-only
  reg.CloseKey();
  EXPECT_TRUE(reg.KeyExists("\\ZelmoraProject\\shell"));
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\ZelmoraProject\\shell\\open\\command"));
  EXPECT_EQ(reg.ReadString(""), "\"/opt/zelmora\" \"%1\"");
  reg.CloseKey();
  reg.RootKey = HKEY_LOCAL_MACHINE;  // roots are apart
  EXPECT_FALSE(reg.KeyExists("\\.zlm"));
}

TEST(ProgramFolderTest, HonoursZelmoraHome) {
  TempDir dir;
  ScopedEnv env("ZELMORA_HOME", dir.Path());
  EXPECT_EQ(ProgramFolder(), dir.Path() + "/");
}

// The user's program folder is given each shipped file once: what an earlier build left beside
// the executable comes over at the first start, a file the user deleted or changed stays so at
// every later start, and a file a later version ships arrives. The program is not copied.
TEST(ProgramFolderTest, ShippedFilesAreGivenToTheUsersFolderOnce) {
  TempDir shipped, user;
  ASSERT_TRUE(ForceDirectories(shipped.File("Images")));
  WriteAll(shipped.File("Settings.ini"), "shipped settings");
  WriteAll(shipped.File("tips.ini"), "shipped tips");
  WriteAll(shipped.File("Images/wood.bmp"), "shipped texture");
  WriteAll(shipped.File("Images/Mine.bmp"), "a picture an earlier build kept here");
  ASSERT_TRUE(ForceDirectories(shipped.File("Sites")));
  WriteAll(shipped.File("zelmora"), "the program");
  ASSERT_EQ(chmod(shipped.File("zelmora").c_str(), 0755), 0);
  WriteAll(user.File("Settings.ini"), "the user's settings");

  EXPECT_EQ(UserProgramFolder(shipped.Path(), user.Path()), user.Path() + "/");
  EXPECT_EQ(ReadAll(user.File("Settings.ini")), "the user's settings");
  EXPECT_EQ(ReadAll(user.File("tips.ini")), "shipped tips");
  EXPECT_EQ(ReadAll(user.File("Images/wood.bmp")), "shipped texture");
  EXPECT_EQ(ReadAll(user.File("Images/Mine.bmp")), "a picture an earlier build kept here");
  EXPECT_TRUE(DirectoryExists(user.File("Sites")));
  EXPECT_FALSE(FileExists(user.File("zelmora")));

  // The user deletes and changes files; later starts leave them so.
  ASSERT_TRUE(DeleteFile(user.File("tips.ini")));
  ASSERT_TRUE(DeleteFile(user.File("Images/wood.bmp")));
  WriteAll(user.File("Images/Mine.bmp"), "changed by the user");
  ASSERT_EQ(rmdir(user.File("Sites").c_str()), 0);
  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE(start);
    UserProgramFolder(shipped.Path(), user.Path());
    EXPECT_FALSE(FileExists(user.File("tips.ini")));
    EXPECT_FALSE(FileExists(user.File("Images/wood.bmp")));
    EXPECT_FALSE(DirectoryExists(user.File("Sites")));
    EXPECT_EQ(ReadAll(user.File("Images/Mine.bmp")), "changed by the user");
    EXPECT_EQ(ReadAll(user.File("Settings.ini")), "the user's settings");
  }

  // A later version ships a new file, in a new folder too, and changes one the user has.
  WriteAll(shipped.File("keywords.met"), "new keywords");
  ASSERT_TRUE(ForceDirectories(shipped.File("Gallery")));
  WriteAll(shipped.File("Gallery/new one.bmp"), "a new picture");
  WriteAll(shipped.File("Settings.ini"), "newer shipped settings");
  UserProgramFolder(shipped.Path(), user.Path());
  EXPECT_EQ(ReadAll(user.File("keywords.met")), "new keywords");
  EXPECT_EQ(ReadAll(user.File("Gallery/new one.bmp")), "a new picture");
  EXPECT_EQ(ReadAll(user.File("Settings.ini")), "the user's settings");
  EXPECT_FALSE(FileExists(user.File("tips.ini")));
}

TEST(Streams, LittleEndianAndStringItems) {
  TMemoryStream m;
  m.WriteDWord(0x04030201);
  m.WriteWord(0x0605);
  m.WriteStringItem("abc");
  m.WriteStringItem(std::string(300, 'x'));
  std::string bytes = m.DataAsString();
  EXPECT_EQ(bytes.substr(0, 6), "\x01\x02\x03\x04\x05\x06");
  EXPECT_EQ(bytes.substr(6, 5),
            "\x06\x03"
            "abc");
  EXPECT_EQ(bytes.substr(11, 5), std::string("\x0C\x2C\x01\x00\x00", 5));
  m.SetPosition(0);
  EXPECT_EQ(m.ReadDWord(), 0x04030201u);
  EXPECT_EQ(m.ReadWord(), 0x0605);
  EXPECT_EQ(m.ReadStringItem(), "abc");
  EXPECT_EQ(m.ReadStringItem(), std::string(300, 'x'));
  EXPECT_THROW(m.ReadByte(), EReadError);

  TMemoryStream bad;  // a length that runs past the end
  bad.WriteByte(12);
  bad.WriteDWord(0x7FFFFFFF);
  bad.SetPosition(0);
  EXPECT_THROW(bad.ReadStringItem(), EReadError);
}

TEST(Streams, FileStreamErrors) {
  TempDir dir;
  EXPECT_THROW(TFileStream(dir.File("missing"), fmOpenRead), EFOpenError);
  {
    TFileStream f(dir.File("out.bin"), fmCreate);
    f.WriteDWord(7);
  }
  TFileStream f(dir.File("out.bin"), fmOpenRead);
  EXPECT_EQ(f.Size(), 4);
  EXPECT_EQ(f.ReadDWord(), 7u);
}

}  // namespace
