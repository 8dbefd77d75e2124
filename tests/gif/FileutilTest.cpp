// The file utilities: names, folders, copying with progress and deleting by masks.
#include "gif/Fileutil.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gif/Apputils.h"
#include "gif/Pxprgrss.h"
#include "tests/support/Oracle.h"
#include "tests/support/TestSupport.h"

namespace {

// A progress bar with the library's class name and property names.
class TFakeProgressBar : public TPersistent {
 public:
  int Max = 100, Min = 0, Position = 0, Updates = 0;
  std::string ClassName() const override { return "TProgressBar"; }
  std::vector<TPropInfo> PublishedProperties() override {
    TPropInfo pos = TPropInfo::Ordinal("Position", tkInteger, Position);
    pos.SetOrd = [this](int64_t v) {
      Position = int(v);
      ++Updates;
    };
    return {TPropInfo::Ordinal("Max", tkInteger, Max), TPropInfo::Ordinal("Min", tkInteger, Min), pos};
  }
};

TEST(Fileutil, NamesAndFolders) {
  EXPECT_EQ(NormalDir("/a/b"), "/a/b/");
  EXPECT_EQ(NormalDir("/a/b/"), "/a/b/");
  EXPECT_EQ(RemoveBackSlash("/a/b//"), "/a/b");
  EXPECT_EQ(RemoveBackSlash("/"), "/");
  for (const char* bad : {"", "a<b", "a>b", "a\"b", "a[b", "a]b", "a|b"})
    EXPECT_FALSE(ValidFileName(bad)) << bad;
  EXPECT_TRUE(ValidFileName("name with blanks.txt"));
  TempDir dir;
  EXPECT_TRUE(DirExists(dir.Path()));
  EXPECT_EQ(GetFileSize(dir.Path()), -1);
  EXPECT_EQ(GetFileSize(dir.File("missing")), -1);
  WriteAll(dir.File("a.txt"), "12345");
  EXPECT_EQ(GetFileSize(dir.File("a.txt")), 5);
  EXPECT_GT(FileDateTime(dir.File("a.txt")), 40000.0);
  EXPECT_EQ(FileDateTime(dir.File("missing")), 0.0);
  EXPECT_TRUE(HasAttr(dir.Path(), faDirectory));
  EXPECT_FALSE(HasAttr(dir.File("a.txt"), faDirectory));
  std::string name = GetUniqueFileNameInDir(dir.Path(), "a%d.txt");
  EXPECT_EQ(name, "a0.txt");
  WriteAll(dir.File("a0.txt"), "");
  EXPECT_EQ(GetUniqueFileNameInDir(dir.Path(), "a%d.txt"), "a1.txt");
  EXPECT_EQ(GetUniqueFileNameInDir(dir.Path(), "%s%n%d"), "%s%n0");  // never formatted
}

TEST(Fileutil, CopyReportsProgressAndMakesTheFolder) {
  TempDir dir;
  std::string data(200000, 'x');
  WriteAll(dir.File("src.bin"), data);
  TFakeProgressBar bar;
  CopyFile(dir.File("src.bin"), dir.File("new/deeper/dst.bin"), &bar);
  EXPECT_EQ(ReadAll(dir.File("new/deeper/dst.bin")), data);
  EXPECT_EQ(bar.Max, 200000);
  EXPECT_EQ(bar.Position, 200000);
  EXPECT_GE(bar.Updates, 3);
  MoveFile(dir.File("new/deeper/dst.bin"), dir.File("moved.bin"));
  EXPECT_FALSE(FileExists(dir.File("new/deeper/dst.bin")));
  EXPECT_EQ(ReadAll(dir.File("moved.bin")), data);
}

TEST(Fileutil, CopyFailuresRaiseAndKeepTheTarget) {
  TempDir dir;
  WriteAll(dir.File("src.txt"), "new");
  try {
    CopyFile(dir.File("missing.txt"), dir.File("dst.txt"));
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file", 0), 0u);
    EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos);
  }
  EXPECT_THROW(CopyFile(dir.Path(), dir.File("dst.txt")), EFOpenError);
  if (geteuid() != 0) {  // root may write anything
    WriteAll(dir.File("ro.txt"), "old");
    chmod(dir.File("ro.txt").c_str(), 0444);
    EXPECT_THROW(CopyFileEx(dir.File("src.txt"), dir.File("ro.txt"), false, false), EFCreateError);
    EXPECT_EQ(ReadAll(dir.File("ro.txt")), "old");
    CopyFileEx(dir.File("src.txt"), dir.File("ro.txt"), true, false);
    EXPECT_EQ(ReadAll(dir.File("ro.txt")), "new");
  }
  // No temporary file is left behind.
  CopyFile(dir.File("src.txt"), dir.File("dst.txt"));
  EXPECT_FALSE(FileExists(dir.File("dst.txt.copy~")));
}

TEST(Fileutil, DeletingByMasksAndClearing) {
  TempDir dir;
  for (const char* n : {"a.tmp", "b.TMP", "c.bak", "keep.txt"}) WriteAll(dir.File(n), "x");
  ForceDirectories(dir.File("sub/inner"));
  WriteAll(dir.File("sub/inner/z.tmp"), "x");
  EXPECT_TRUE(DeleteFiles(dir.File("*.tmp")));
  EXPECT_FALSE(FileExists(dir.File("a.tmp")));
  EXPECT_FALSE(FileExists(dir.File("b.TMP")));
  EXPECT_TRUE(FileExists(dir.File("sub/inner/z.tmp")));  // not recursive
  EXPECT_TRUE(DeleteFilesEx(dir.Path(), {"*.bak", "nothing.*"}));
  EXPECT_FALSE(FileExists(dir.File("c.bak")));
  EXPECT_TRUE(FileExists(dir.File("keep.txt")));
  // A link inside goes, the folder it points to stays.
  TempDir outside;
  WriteAll(outside.File("precious"), "x");
  ASSERT_EQ(symlink(outside.Path().c_str(), dir.File("link").c_str()), 0);
  EXPECT_TRUE(ClearDir(dir.Path(), false));
  EXPECT_TRUE(DirExists(dir.Path()));
  EXPECT_FALSE(FileExists(dir.File("keep.txt")));
  EXPECT_FALSE(DirExists(dir.File("sub")));
  EXPECT_TRUE(FileExists(outside.File("precious")));
  EXPECT_TRUE(ClearDir(dir.Path(), true));
  EXPECT_FALSE(DirExists(dir.Path()));
  EXPECT_FALSE(ClearDir(dir.Path(), true));
}

TEST(Fileutil, FileOperator) {
  TempDir dir;
  WriteAll(dir.File("one.txt"), "1");
  WriteAll(dir.File("two.txt"), "2");
  WriteAll(dir.File("three.dat"), "3");
  TPxFileOperator op;
  op.Source = dir.File("*.txt");
  op.Destination = dir.File("copies");
  EXPECT_TRUE(op.Execute());
  EXPECT_EQ(ReadAll(dir.File("copies/one.txt")), "1");
  EXPECT_EQ(ReadAll(dir.File("copies/two.txt")), "2");
  EXPECT_FALSE(FileExists(dir.File("copies/three.dat")));
  op.Options = {flRenameOnCollision};
  op.Source = dir.File("one.txt");
  EXPECT_TRUE(op.Execute());
  EXPECT_EQ(ReadAll(dir.File("copies/one (2).txt")), "1");
  op.Options = {};
  op.Operation = foRename;
  op.Source = dir.File("three.dat");
  op.Destination = dir.File("renamed.dat");
  EXPECT_TRUE(op.Execute());
  EXPECT_EQ(ReadAll(dir.File("renamed.dat")), "3");
  op.Operation = foMove;
  op.Source = dir.File("one.txt") + "\n" + dir.File("two.txt");
  op.Destination = dir.File("moved");
  EXPECT_TRUE(op.Execute());
  EXPECT_FALSE(FileExists(dir.File("one.txt")));
  EXPECT_EQ(ReadAll(dir.File("moved/two.txt")), "2");
  op.Operation = foDelete;
  op.Source = dir.File("copies");
  EXPECT_TRUE(op.Execute());
  EXPECT_FALSE(DirExists(dir.File("copies")));
  op.Source = dir.File("no-such-file");
  EXPECT_FALSE(op.Execute());
}

TEST(Fileutil, LocksOnOpenFiles) {
  TempDir dir;
  WriteAll(dir.File("l"), "0123456789");
  int fd = open(dir.File("l").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(FileLock(fd, int32_t(0), int32_t(4)));
  EXPECT_TRUE(FileUnlock(fd, int32_t(0), int32_t(4)));
  EXPECT_TRUE(FileLock(fd, int64_t(1) << 33, int64_t(10)));
  EXPECT_TRUE(FileUnlock(fd, int64_t(1) << 33, int64_t(10)));
  close(fd);
  EXPECT_FALSE(FileLock(-1, int32_t(0), int32_t(1)));
  EXPECT_EQ(LongToShortPath("/some/Long Name"), "/some/Long Name");
}

TEST(Pxprgrss, RegistrationsAndPropertyKinds) {
  TFakeProgressBar bar;
  EXPECT_TRUE(SupportsProgressControl(&bar));
  SetProgressMax(&bar, 50);
  SetProgressMin(&bar, 5);
  SetProgressValue(&bar, 7);
  EXPECT_EQ(bar.Max, 50);
  EXPECT_EQ(bar.Min, 5);
  EXPECT_EQ(bar.Position, 7);
  struct TGauge : TPersistent {
    std::string Progress = "0";
    double Max = 0;
    std::string ClassName() const override { return "TGauge"; }
    std::vector<TPropInfo> PublishedProperties() override {
      return {TPropInfo::String("Progress", Progress, tkVariant), TPropInfo::Float("MaxValue", Max)};
    }
  } gauge;
  EXPECT_FALSE(SupportsProgressControl(&gauge));
  RegisterProgressControl("TGauge", "MaxValue", "MinValue", "Progress");
  EXPECT_TRUE(SupportsProgressControl(&gauge));
  SetProgressValue(&gauge, 42);
  SetProgressMax(&gauge, 9);  // a float property is not set
  EXPECT_EQ(gauge.Progress, "42");
  EXPECT_EQ(gauge.Max, 0);
  UnRegisterProgressControl("TGauge");
  EXPECT_FALSE(SupportsProgressControl(&gauge));
  SetProgressValue(nullptr, 1);
}

}  // namespace

namespace {

// The user's folders of a test: home, configuration and data, and the desktop that the
// user's XDG settings name.
struct UserFolders {
  TempDir home;
  ScopedEnv h{"HOME", home.Path()}, c{"XDG_CONFIG_HOME", home.File("cfg")},
      d{"XDG_DATA_HOME", home.File("data")};
  UserFolders() {
    ForceDirectories(home.File("cfg"));
    WriteAll(home.File("cfg/user-dirs.dirs"),
             "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  }
};

std::string Launcher(const std::string& file) { return ReadAll(file); }

TEST(Fileutil, LinkFoldersFollowTheUsersSettings) {
  UserFolders u;
  EXPECT_EQ(LinkFolderPath(lfDesktop), u.home.File("Schreibtisch"));
  EXPECT_EQ(LinkFolderPath(lfApplications), u.home.File("data/applications"));
  EXPECT_EQ(LinkFolderPath(lfAutostart), u.home.File("cfg/autostart"));
  WriteAll(u.home.File("cfg/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"/srv/desk\"\n");
  EXPECT_EQ(LinkFolderPath(lfDesktop), "/srv/desk");
  DeleteFile(u.home.File("cfg/user-dirs.dirs"));
  EXPECT_EQ(LinkFolderPath(lfDesktop), u.home.File("Desktop"));
  ScopedEnv relative("XDG_DATA_HOME", "relative/data");
  EXPECT_EQ(LinkFolderPath(lfApplications), u.home.File(".local/share/applications"))
      << "a relative setting is ignored, as the base directory rules say";
}

TEST(Fileutil, LaunchersStartTheProgramThroughTheDesktopsOwnLauncher) {
  REQUIRE_TOOL("desktop-file-validate");
  REQUIRE_TOOL("gio");
  UserFolders u;
  TempDir programs;
  ScopedEnv mark("ZELMORA_LAUNCH_MARK", programs.File("started"));
  // Names with every character that the Exec line's quoting or escaping must carry.
  for (const char* name : {"plain", "two words", "say \"hi\"", "cost $5 `now`", "100% sure", "back\\slash",
                           "tab\there", "semi;colon & (paren) *?#~<>|'"}) {
    SCOPED_TRACE(name);
    const std::string program = programs.File(name);
    WriteAll(program, "#!/bin/sh\nprintf '%s' \"$0\" > \"$ZELMORA_LAUNCH_MARK\"\n");
    chmod(program.c_str(), 0755);
    const std::string link = CreateFileLink(program, std::string("Start ") + name, lfApplications);
    EXPECT_EQ(ExtractFilePath(link), u.home.File("data/applications/"));
    struct stat st {};
    ASSERT_EQ(stat(link.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u) << "desktops start only launchers that may be executed";
    std::string text = Launcher(link);
    EXPECT_NE(text.find("Type=Application\n"), std::string::npos) << text;
    EXPECT_EQ(ShellOutput("desktop-file-validate " + ShellQuote(link) + " 2>&1"), "") << text;
    DeleteFile(programs.File("started"));
    EXPECT_EQ(ShellOutput("timeout 20 gio launch " + ShellQuote(link) + " 2>&1"), "") << text;
    std::string started;
    for (int i = 0; i < 200 && started.empty(); ++i) {
      usleep(25000);
      if (FileExists(programs.File("started"))) started = ReadAll(programs.File("started"));
    }
    EXPECT_EQ(started, program) << text;
    EXPECT_TRUE(DeleteFileLink(std::string("Start ") + name, lfApplications));
    EXPECT_FALSE(FileExists(link));
  }
}

TEST(Fileutil, LaunchersOpenDocumentsAndFoldersAndReportErrors) {
  REQUIRE_TOOL("desktop-file-validate");
  UserFolders u;
  TempDir docs;
  WriteAll(docs.File("my page #1.zlm"), "x");
  const std::string link = CreateFileLink(docs.File("my page #1.zlm"), " My page\nnew line", lfDesktop);
  EXPECT_EQ(link, u.home.File("Schreibtisch/My page_new line.desktop"));
  std::string text = Launcher(link);
  EXPECT_NE(text.find("Type=Link\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Name=My page\\nnew line\n"), std::string::npos) << text;
  EXPECT_NE(
      text.find("URL=file://" + StringReplaceAll(StringReplaceAll(docs.Path(), " ", "%20"), "#", "%23") +
                "/my%20page%20%231.zlm\n"),
      std::string::npos)
      << text;
  EXPECT_EQ(ShellOutput("desktop-file-validate " + ShellQuote(link) + " 2>&1"), "") << text;
  // A folder, and a launcher made again over the old one.
  const std::string folderLink = CreateFileLink(docs.Path() + "/", "Docs", lfAutostart);
  EXPECT_NE(Launcher(folderLink).find("URL=file://"), std::string::npos);
  EXPECT_EQ(CreateFileLink(docs.Path(), "Docs", lfAutostart), folderLink);
  EXPECT_EQ(ShellOutput("desktop-file-validate " + ShellQuote(folderLink) + " 2>&1"), "");
  // A slash in the name stays inside the folder.
  EXPECT_EQ(CreateFileLink(docs.Path(), "../../up", lfDesktop), u.home.File("Schreibtisch/.._.._up.desktop"));

  try {
    CreateFileLink(docs.File("missing.zlm"), "Missing", lfDesktop);
    ADD_FAILURE() << "a link to nothing was made";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + docs.File("missing.zlm"));
  }
  for (const char* name : {"", "   ", "..", "."})
    EXPECT_THROW(CreateFileLink(docs.Path(), name, lfDesktop), EInvalidOperation) << name;
  EXPECT_FALSE(FileExists(u.home.File("Schreibtisch/Missing.desktop")));
  // A folder that cannot be made.
  WriteAll(u.home.File("blocked"), "a file");
  {
    ScopedEnv blocked("XDG_CONFIG_HOME", u.home.File("blocked"));
    EXPECT_THROW(CreateFileLink(docs.Path(), "Docs", lfAutostart), EFCreateError);
  }

  EXPECT_TRUE(DeleteFileLink(" My page\nnew line", lfDesktop));
  EXPECT_FALSE(DeleteFileLink(" My page\nnew line", lfDesktop));
  EXPECT_FALSE(FileExists(link));
}

}  // namespace
