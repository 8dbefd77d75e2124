// The application environment: languages, the version block, translation and text macros.
#include "app/AppEnvironment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "POP/PopForms.h"
#include "app/XFileVersionInfo.h"
#include "app/XLanguage.h"
#include "engine/XDraw.h"
#include "platform/Registry.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

namespace {
// A program folder and a registry store of their own; the environment starts afresh.
struct EnvFixture : ::testing::Test {
  TempDir home, cfg;
  ScopedEnv h{"ZELMORA_HOME", home.Path()}, c{"ZELMORA_CONFIG", cfg.Path()};
  // RegisterFileType also writes the desktop's files.
  ScopedEnv d{"XDG_DATA_HOME", cfg.File("xdg-data")}, x{"XDG_CONFIG_HOME", cfg.File("xdg-config")};
  void SetUp() override { ReleaseEnvironment(); }
  void TearDown() override { ReleaseEnvironment(); }
  void Language(const std::string& code) {
    WriteAll(home.File("Settings.ini"), "[Settings]\nLanguage=" + code + "\n");
  }
};
}  // namespace

TEST(XLanguage, TableAndNames) {
  int n = 0;
  while (LanguageTable[n]) ++n;
  EXPECT_EQ(n, LanguageCount);
  EXPECT_EQ(LanguageTable[2]->Code, "cn");
  EXPECT_EQ(LanguageTable[13]->Id, 5);
  EXPECT_EQ(LanguageName("EN"), "English");
  EXPECT_EQ(LanguageName("FI"), "Suomalainen");
  EXPECT_EQ(LanguageName("xx"), "");
  EXPECT_EQ(LanguageName("sv"), "");
}

TEST(XFileVersionInfo, WalksTheBlock) {
  // Two translations; only the second holds ProductName.
  std::string block = BuildVersionBlock(
      1, 2,
      {{0x0407, 0x04B0, {{"LegalCopyright", "(c) eins"}}},
       {0x0409, 0x04E4, {{"ProductName", "Prod \xC3\xA9"}, {"LegalCopyright", "(c) two"}}}});
  auto v = XFileVersionInfo::FromBlock(block);
  EXPECT_EQ(v.Query("ProductName", "NA"), "Prod \xC3\xA9");
  EXPECT_EQ(v.Query("LegalCopyright", "NA"), "(c) eins");
  EXPECT_EQ(v.Query("Missing", "def"), "def");
  std::string tr, val;
  bool text;
  ASSERT_TRUE(v.QueryValue("\\VarFileInfo\\Translation", tr, text));
  EXPECT_EQ(tr, std::string("\x07\x04\xB0\x04\x09\x04\xE4\x04", 8));
  ASSERT_TRUE(v.QueryValue("\\StringFileInfo\\040904e4\\ProductName", val, text));
  EXPECT_TRUE(text);
  // The root is VS_VERSION_INFO with the fixed-file-info signature as its value.
  EXPECT_EQ(block.substr(6, 30), std::string("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0", 30));
  EXPECT_EQ(uint8_t(block[0]) | uint8_t(block[1]) << 8, int(block.size()));
  // No block, and damaged blocks: every query gives the default.
  EXPECT_EQ(XFileVersionInfo("/bin/sh").Query("ProductName", "NA"), "NA");
  for (size_t cut : {size_t(0), size_t(5), size_t(40), block.size() / 2, block.size() - 3})
    EXPECT_NO_THROW(XFileVersionInfo::FromBlock(block.substr(0, cut)).Query("ProductName", "NA"));
  EXPECT_EQ(XFileVersionInfo::FromBlock(block.substr(0, 5)).Query("ProductName", "NA"), "NA");
}

TEST_F(EnvFixture, ProgramBlockAndVersionMessage) {
  EXPECT_EQ(VersionProductName(), "Varnholt Zelmora");
  EXPECT_NE(VersionCopyright(), "NA");
  Language("EN");
  EXPECT_EQ(VersionMessage(), "Version: 1.0 [Feb 20 2003] English RELEASE");
  ReleaseEnvironment();
  Language("fi");
  EXPECT_EQ(VersionMessage(), "Version: 1.0 [Feb 20 2003] Suomalainen RELEASE");
}

TEST_F(EnvFixture, TranslateText) {
  Language("DE");
  WriteAll(home.File("language.ini"),
           "[SaveAs...]\nEN=Save As...\nDE=Speichern unter...\n[OnlyEnglish]\nEN=Only English\n");
  EXPECT_EQ(TranslateText("Save &As..."), "Speichern unter...");
  EXPECT_EQ(TranslateText("Only English"), "Only English");  // missing language falls back
  EXPECT_EQ(TranslateText("   "), "");
  EXPECT_EQ(TranslateText("New & Text"), "New & Text");
  TIniFile ini(home.File("language.ini"));
  EXPECT_EQ(ini.ReadString("NewText", "EN", ""), "New & Text");  // written at once
  EXPECT_EQ(ini.ReadSections().size(), 3u);
  // The shipped table translates the product name.
  WriteAll(home.File("language.ini"), ReadAll(std::string(ZELMORA_DATA) + "/language.ini"));
  EXPECT_EQ(TranslatedProductName(),
            "Varnholt Zelmora Schaltfl\xC3\xA4"
            "chen-Designer");
}

TEST_F(EnvFixture, TranslateTextSurvivesAReadOnlyFolder) {
  if (geteuid() == 0) {
    // root ignores permissions: make writing impossible with a folder in the file's place.
    ForceDirectories(home.File("language.ini"));
  } else {
    chmod(home.Path().c_str(), 0555);
  }
  EXPECT_EQ(TranslateText("Hello there"), "Hello there");
  chmod(home.Path().c_str(), 0755);
}

TEST_F(EnvFixture, ExpandTextMacros) {
  Language("EN");
  EXPECT_EQ(ExpandTextMacros("<#PRODUCTNAME>"), "<#PRODUCTNAME>");
  EXPECT_EQ(ExpandTextMacros("<#PRODUCTNAME> <#productname>"), "Varnholt Zelmora Varnholt Zelmora");
  EXPECT_EQ(ExpandTextMacros("built <#builddate>"), "built Feb 20 2003");
  EXPECT_EQ(ExpandTextMacros("<#versionmessage>"), VersionMessage());
  EXPECT_EQ(ExpandTextMacros("<#copyright>"), VersionCopyright());
  EXPECT_EQ(ExpandTextMacros("<#filename> stays"), "<#filename> stays");
}

TEST_F(EnvFixture, RegisterFileTypeWritesSixRows) {
  Language("EN");
  RegisterFileType(".other", "Varnholt Zelmora Project");
  std::string exe = ProgramFileName();
  struct Row {
    const char *key, *name;
    std::string data;
  } rows[] = {
      {"\\.zlm", "", "Varnholt Zelmora"},
      {"\\.zlm", "Content Type", "Varnholt Zelmora"},
      {"\\Varnholt Zelmora", "", "Varnholt Zelmora Project"},
      {"\\Varnholt Zelmora\\DefaultIcon", "", exe},
      {"\\Varnholt Zelmora\\Shell\\Open", "", "Open..."},
      {"\\Varnholt Zelmora\\Shell\\Open\\Command", "", exe + " \"%1\""},
  };
  for (const auto& r : rows) {
    TRegistry reg;
    reg.RootKey = HKEY_CLASSES_ROOT;
    ASSERT_TRUE(reg.OpenKeyReadOnly(r.key)) << r.key;
    EXPECT_EQ(reg.ReadString(r.name), r.data) << r.key;
  }
  TRegistry reg;
  reg.RootKey = HKEY_CLASSES_ROOT;
  EXPECT_FALSE(reg.KeyExists("\\.other"));
}

TEST_F(EnvFixture, RegisterFileTypeSurvivesAnUnwritableStore) {
  ForceDirectories(cfg.File("registry.ini"));  // a folder where the store file should be
  EXPECT_NO_THROW(RegisterFileType(".zlm", "x"));
}

TEST_F(EnvFixture, FoldersAndNumbers) {
  std::string old = GetCurrentDir();
  EXPECT_TRUE(ChangeToProgramFolder());
  char buf[4096];
  ASSERT_TRUE(getcwd(buf, sizeof buf));
  EXPECT_EQ(ExpandFileName(buf), ExpandFileName(home.Path()));
  SetCurrentDir(old);
  EXPECT_EQ(GalleryFolder(), home.Path() + "/Gallery/");
  EXPECT_EQ(AppendNumber("Tip", 12), "Tip12");
}

TEST(AppEnvironmentCaptions, ButtonCaptionsExpandMacrosOnceTheEnvironmentStands) {
  TempDir home;
  ScopedEnv env("ZELMORA_HOME", home.Path());
  ScopedEnv cfg("ZELMORA_CONFIG", home.File("config"));
  ReleaseEnvironment();
  EXPECT_EQ(ExpandCaptionMacros("<#productname>"), "<#productname>");
  InitEnvironment();
  EXPECT_EQ(ExpandCaptionMacros("<#productname>"), ExpandTextMacros("<#productname>"));
  EXPECT_NE(ExpandCaptionMacros("<#productname>"), "<#productname>");
  ReleaseEnvironment();
}
