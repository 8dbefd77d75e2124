// The program as the desktop sees it: the file type registered for the user and read back by
// the desktop's own tools, and the install laid out under a prefix and started from there.
#include "platform/DesktopIntegration.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/AppEnvironment.h"
#include "platform/DesktopEntries.h"
#include "platform/IniFiles.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace fs = std::filesystem;

namespace {

const char kType[] = "application/x-zelmora-project";
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// The desktop tools decide by the session which desktop they serve; the tests ask the
// freedesktop databases themselves, as a desktop without a vendor's tools does.
struct GenericDesktop {
  ScopedEnv desktop{"XDG_CURRENT_DESKTOP", ""}, session{"DESKTOP_SESSION", ""}, kde{"KDE_FULL_SESSION", ""},
      gnome{"GNOME_DESKTOP_SESSION_ID", ""}, display{"DISPLAY", ""},
      bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"};
};

void RequireDesktopTools() {
  for (const char* tool :
       {"xdg-mime", "mimetype", "desktop-file-validate", "update-mime-database", "update-desktop-database"})
    REQUIRE_TOOL(tool);
}

// desktop-file-validate's verdict: its exit code, and no error or warning in what it says
// (a hint, such as a suggestion of further categories, is not a fault).
void ExpectValidEntry(const std::string& path) {
  int status = -1;
  std::string out = ShellOutput("desktop-file-validate " + Quote(path) + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("error:"), std::string::npos) << out;
  EXPECT_EQ(out.find("warning:"), std::string::npos) << out;
}

std::string FileType(const std::string& path) {
  return Trimmed(ShellOutput("xdg-mime query filetype " + Quote(path) + " 2>/dev/null"));
}

std::string DefaultFor(const std::string& type) {
  return Trimmed(ShellOutput("xdg-mime query default " + Quote(type) + " 2>/dev/null"));
}

std::string EntryKey(const std::string& entry, const std::string& key) {
  TIniFile ini(entry);
  return ini.ReadString("Desktop Entry", key, "<none>");
}

const std::string kProjectText =
    "[Heading]\nVersion=1.0\nBGColor=clWhite\nLastSelected=-1\nNumOfButtons=1\n"
    "ProjectWidth=320\nProjectHeight=200\n[Button0]\nButtonText=Hello\n"
    "RectLeft=10\nRectTop=10\nRectRight=90\nRectBottom=40\n";

// A program folder with the shipped files, a registry store and desktop folders of its own.
struct DesktopHome : GenericDesktop {
  TempDir dir;
  ScopedEnv home{"ZELMORA_HOME", dir.File("program")}, config{"ZELMORA_CONFIG", dir.File("config")},
      data{"XDG_DATA_HOME", dir.File("data")}, xdgConfig{"XDG_CONFIG_HOME", dir.File("xdg-config")};
  DesktopHome() {
    fs::copy(ZELMORA_DATA, dir.File("program"), fs::copy_options::recursive);
    ReleaseEnvironment();
  }
  ~DesktopHome() { ReleaseEnvironment(); }
  std::string Data(const std::string& name) const { return dir.File("data/" + name); }
};

}  // namespace

// The desktop's own tools know a project by its name and by its content, and open it with the
// program; the entry is valid and carries the icon at every size of the theme.
TEST(DesktopIntegration, RegisterFileTypeIsReadBackByTheDesktopTools) {
  RequireDesktopTools();
  DesktopHome h;
  RegisterFileType(".zlm", "Varnholt Zelmora Project");

  const std::string entry = h.Data("applications/zelmora.desktop");
  ASSERT_TRUE(FileExists(entry));
  ExpectValidEntry(entry);
  EXPECT_EQ(EntryKey(entry, "Exec"), DesktopExecArgument(ProgramFileName()) + " %f");
  EXPECT_EQ(EntryKey(entry, "MimeType"), std::string(kType) + ";");
  EXPECT_EQ(EntryKey(entry, "Categories"), "Graphics;WebDevelopment;");
  EXPECT_EQ(EntryKey(entry, "Icon"), "zelmora");
  EXPECT_EQ(EntryKey(entry, "Name"), "Varnholt Zelmora");
  EXPECT_TRUE(FileExists(h.Data("mime/packages/zelmora.xml")));
  EXPECT_TRUE(FileExists(h.Data("mime/mime.cache")));
  for (int size : kIconSizes) {
    std::string sz = std::to_string(size) + "x" + std::to_string(size);
    std::string icon = h.Data("icons/hicolor/" + sz + "/apps/zelmora.png");
    ASSERT_TRUE(FileExists(icon)) << icon;
    EXPECT_EQ(ReadAll(icon),
              ReadAll(std::string(ZELMORA_DATA) + "/icons/hicolor/" + sz + "/apps/zelmora.png"));
  }

  // By name, and by content when renamed; a plain text stays plain text.
  WriteAll(h.dir.File("page.zlm"), kProjectText);
  WriteAll(h.dir.File("page renamed.txt"), kProjectText);
  WriteAll(h.dir.File("bom.txt"), "\xEF\xBB\xBF" + kProjectText);
  WriteAll(h.dir.File("notes.txt"), "Some notes about the [Heading] section.\n");
  EXPECT_EQ(FileType(h.dir.File("page.zlm")), kType);
  EXPECT_EQ(FileType(h.dir.File("page renamed.txt")), kType);
  EXPECT_EQ(FileType(h.dir.File("bom.txt")), kType);
  EXPECT_EQ(FileType(h.dir.File("notes.txt")), "text/plain");
  EXPECT_EQ(DefaultFor(kType), "zelmora.desktop");
  // The program's own reading of the desktop's associations agrees.
  std::vector<TDesktopApp> apps = DesktopAppsForTypes({kType});
  ASSERT_FALSE(apps.empty());
  EXPECT_EQ(apps[0].Id, "zelmora.desktop");
  EXPECT_EQ(DesktopAppCommand(apps[0], "/tmp/a.zlm"),
            (std::vector<std::string>{ProgramFileName(), "/tmp/a.zlm"}));

  // The next start finds everything in place: it writes nothing and runs no tool, so a
  // default the user chose since is kept.
  WriteAll(
      h.Data("applications/other.desktop"),
      "[Desktop Entry]\nType=Application\nName=Other\nExec=cat %f\nMimeType=" + std::string(kType) + ";\n");
  ASSERT_EQ(system(("xdg-mime default other.desktop " + std::string(kType)).c_str()), 0);
  ASSERT_EQ(DefaultFor(kType), "other.desktop");
  struct stat before {};
  ASSERT_EQ(stat(entry.c_str(), &before), 0);
  ReleaseEnvironment();
  RegisterFileType(".zlm", "Varnholt Zelmora Project");
  struct stat after {};
  ASSERT_EQ(stat(entry.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
  EXPECT_EQ(DefaultFor(kType), "other.desktop");
}

// Without the desktop's tools, or with a data folder that cannot be written, the start goes
// on: the files that can be written are, and nothing throws or waits.
TEST(DesktopIntegration, MissingToolsOrFoldersNeverStopTheStart) {
  DesktopHome h;
  TempDir emptyBin;
  {
    ScopedEnv path{"PATH", emptyBin.Path()};
    auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(RegisterFileType(".zlm", "Varnholt Zelmora Project"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
  EXPECT_TRUE(FileExists(h.Data("applications/zelmora.desktop")));
  EXPECT_TRUE(FileExists(h.Data("mime/packages/zelmora.xml")));
  EXPECT_FALSE(FileExists(h.Data("mime/mime.cache")));
  // The registry rows are written all the same.
  TRegistry reg;
  reg.RootKey = HKEY_CLASSES_ROOT;
  EXPECT_TRUE(reg.KeyExists("\\.zlm"));

  TempDir blocked;
  WriteAll(blocked.File("data"), "a file where the data folder should be");
  ScopedEnv data{"XDG_DATA_HOME", blocked.File("data")};
  TDesktopFileType t = ProjectDesktopFileType("Varnholt Zelmora", "Project", "/usr/bin/zelmora");
  EXPECT_FALSE(RegisterDesktopFileType(t));
}

// A program path with the characters the Exec key reserves is quoted so that the desktop
// starts that very file; the entry stays valid.
TEST(DesktopIntegration, ExecQuotesReservedCharacters) {
  REQUIRE_TOOL("desktop-file-validate");
  struct Case {
    const char* program;
    const char* exec;
  } cases[] = {
      {"/usr/bin/zelmora", "/usr/bin/zelmora"},
      {"/opt/My Programs/zelmora", "\"/opt/My Programs/zelmora\""},
      {"/opt/a$b/zel`x`", "\"/opt/a\\$b/zel\\`x\\`\""},
      {"/opt/say \"hi\"/zelmora", "\"/opt/say \\\"hi\\\"/zelmora\""},
      {"/opt/back\\slash/zelmora", "\"/opt/back\\\\slash/zelmora\""},
      {"/opt/100%/zelmora", "/opt/100%%/zelmora"},
      {"/opt/it's/zelmora", "\"/opt/it's/zelmora\""},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    EXPECT_EQ(DesktopExecArgument(c.program), c.exec);
    std::string path = dir.File("zelmora.desktop");
    WriteAll(path, DesktopEntryText(ProjectDesktopFileType("Varnholt Zelmora", "Project", c.program)));
    ExpectValidEntry(path);
    // The entry's string escape comes on top of the quoting: read back, it is the quoted form.
    std::string text = ReadAll(path);
    size_t at = text.find("\nExec=");
    ASSERT_NE(at, std::string::npos);
    std::string raw = text.substr(at + 6, text.find('\n', at + 1) - at - 6);
    std::string unescaped;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == '\\') ++i;
      unescaped += raw[i];
    }
    EXPECT_EQ(unescaped, std::string(c.exec) + " %f");
    // Read by the Exec rules, the line starts that very program on the file.
    TDesktopApp app;
    app.Exec = unescaped;
    EXPECT_EQ(DesktopAppCommand(app, "/tmp/my page.zlm"),
              (std::vector<std::string>{c.program, "/tmp/my page.zlm"}));
  }
}

namespace {

// Every regular file below a folder with its size and modification time.
std::map<std::string, std::pair<uintmax_t, int64_t>> Snapshot(const std::string& root) {
  std::map<std::string, std::pair<uintmax_t, int64_t>> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    files[fs::relative(e.path(), root).string()] = {e.file_size(),
                                                    e.last_write_time().time_since_epoch().count()};
  }
  return files;
}

// The program started with its own environment: nothing of the test's program folder, the
// user's folders inside the test's folder, Qt's offscreen platform.
pid_t StartProgram(const std::string& program, const std::string& project, const std::string& user) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string var = *e;
    if (var.rfind("ZELMORA_", 0) == 0 || var.rfind("XDG_", 0) == 0 || var.rfind("HOME=", 0) == 0 ||
        var.rfind("QT_QPA_PLATFORM=", 0) == 0)
      continue;
    env.push_back(var);
  }
  for (std::string var :
       {"HOME=" + user, "XDG_DATA_HOME=" + user + "/data", "XDG_CONFIG_HOME=" + user + "/config",
        "XDG_CACHE_HOME=" + user + "/cache", "XDG_RUNTIME_DIR=" + user + "/run",
        std::string("QT_QPA_PLATFORM=offscreen"), std::string("QTWEBENGINE_DISABLE_SANDBOX=1")})
    env.push_back(var);
  mkdir((user + "/run").c_str(), 0700);
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> envp,
        argv{const_cast<char*>(program.c_str()), const_cast<char*>(project.c_str()), nullptr};
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    freopen("/dev/null", "w", stdout);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

}  // namespace

// cmake --install lays the program out under a prefix; the installed program finds its shipped
// files there, works from a per-user copy and never writes into the install, registers the
// installed file with the desktop, and opens the project it is given.
TEST(Install, InstalledProgramOpensAProjectFromItsPrefix) {
  RequireDesktopTools();
  GenericDesktop generic;
  TempDir prefix, user;
  int status = -1;
  std::string out = ShellOutput(Quote(ZELMORA_CMAKE) + " --install " + Quote(ZELMORA_BUILD_DIR) +
                                    " --prefix " + Quote(prefix.Path()) + " 2>&1",
                                &status);
  ASSERT_EQ(status, 0) << out;

  const std::string program = prefix.File("bin/zelmora");
  EXPECT_EQ(access(program.c_str(), X_OK), 0);
  // The shipped files, all of them, and what the desktop reads.
  for (const auto& e : fs::recursive_directory_iterator(ZELMORA_DATA)) {
    if (!e.is_regular_file()) continue;
    std::string rel = fs::relative(e.path(), ZELMORA_DATA).string();
    EXPECT_TRUE(FileExists(prefix.File("share/zelmora/" + rel))) << rel;
  }
  for (int size : kIconSizes) {
    std::string sz = std::to_string(size) + "x" + std::to_string(size);
    EXPECT_TRUE(FileExists(prefix.File("share/icons/hicolor/" + sz + "/apps/zelmora.png"))) << sz;
  }
  const std::string entry = prefix.File("share/applications/zelmora.desktop");
  ASSERT_TRUE(FileExists(entry));
  ExpectValidEntry(entry);
  // The installed entry and package are the ones the program writes for the user.
  TDesktopFileType t = ProjectDesktopFileType("Varnholt Zelmora", "Varnholt Zelmora Project", program);
  EXPECT_EQ(ReadAll(entry), DesktopEntryText(t));
  EXPECT_EQ(ReadAll(prefix.File("share/mime/packages/zelmora.xml")), MimePackageText(t));
  // The install brought the prefix's MIME database up to date.
  {
    ScopedEnv dirs{"XDG_DATA_DIRS", prefix.File("share")}, data{"XDG_DATA_HOME", user.File("nothing")};
    WriteAll(user.File("renamed.txt"), kProjectText);
    EXPECT_EQ(FileType(user.File("renamed.txt")), kType);
  }

  // Started from the install with a project. It has opened the project when the file was read
  // and the start went on to the tip of the day, which comes after the project is loaded.
  const std::string project = user.File("my page.zlm");
  WriteAll(project, kProjectText);
  auto installed = Snapshot(prefix.Path());
  int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, project.c_str(), IN_CLOSE_NOWRITE), 0);
  pid_t pid = StartProgram(program, project, user.Path());
  ASSERT_GT(pid, 0);
  const std::string copy = user.File("data/zelmora/");
  bool read = false, tipShown = false, exited = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
  while (std::chrono::steady_clock::now() < deadline && !(read && tipShown)) {
    char buf[4096];
    if (::read(watch, buf, sizeof buf) > 0) read = true;
    tipShown =
        FileExists(copy + "tips.ini") && TIniFile(copy + "tips.ini").ValueExists("Settings", "CurrentTip");
    if (waitpid(pid, &status, WNOHANG) == pid) {
      exited = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  close(watch);
  if (!exited) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  EXPECT_FALSE(exited) << "the installed program ended by itself, status " << status;
  EXPECT_TRUE(read) << "the project was not read";
  EXPECT_TRUE(tipShown) << "the start did not get past opening the project";

  // The per-user copy of the shipped files, the registration of the installed program, and
  // the install untouched.
  EXPECT_TRUE(FileExists(copy + "Settings.ini"));
  EXPECT_TRUE(FileExists(copy + "projects/splash.zlm"));
  EXPECT_EQ(EntryKey(user.File("data/applications/zelmora.desktop"), "Exec"),
            DesktopExecArgument(program) + " %f");
  EXPECT_EQ(Snapshot(prefix.Path()), installed);
}

// A build tree only ships files: the program started from it works in the user's data folder,
// takes over there what an earlier build left beside the executable (a picture, a site), and
// writes nothing into the build tree, so removing the tree loses none of the user's work.
TEST(BuildTree, ProgramKeepsTheUsersFilesOutsideTheBuildTree) {
  TempDir root, user;
  const std::string bin = root.File("build/bin");
  fs::create_directories(bin);
  fs::copy(std::string(ZELMORA_BUILD_DIR) + "/bin", bin, fs::copy_options::recursive);
  // What a user made with an earlier build that worked in build/bin.
  WriteAll(bin + "/Images/Mine.bmp", "a picture of the user's");
  ASSERT_TRUE(ForceDirectories(bin + "/Sites/Mine"));
  WriteAll(bin + "/Sites/Mine/index.htm", "<p>the user's site</p>");
  const auto shipped = Snapshot(root.Path());

  const std::string project = user.File("page.zlm");
  WriteAll(project, kProjectText);
  pid_t pid = StartProgram(bin + "/zelmora", project, user.Path());
  ASSERT_GT(pid, 0);
  const std::string folder = user.File("data/zelmora/");
  bool started = false, exited = false;
  int status = -1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
  while (std::chrono::steady_clock::now() < deadline && !started) {
    started = FileExists(folder + "tips.ini") &&
              TIniFile(folder + "tips.ini").ValueExists("Settings", "CurrentTip");
    if (waitpid(pid, &status, WNOHANG) == pid) {
      exited = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!exited) {
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
  }
  EXPECT_FALSE(exited) << "the program ended by itself, status " << status;
  EXPECT_TRUE(started) << "the start did not get to the tip of the day in " << folder;
  EXPECT_EQ(Snapshot(root.Path()), shipped) << "the program wrote into its build tree";
  fs::remove_all(root.File("build"));
  EXPECT_EQ(ReadAll(folder + "Images/Mine.bmp"), "a picture of the user's");
  EXPECT_EQ(ReadAll(folder + "Sites/Mine/index.htm"), "<p>the user's site</p>");
  EXPECT_TRUE(FileExists(folder + "Settings.ini"));
  EXPECT_TRUE(FileExists(folder + "projects/splash.zlm"));
  EXPECT_FALSE(FileExists(folder + "zelmora")) << "the program itself was copied";
}
