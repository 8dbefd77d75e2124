// The folders of a test process of its own, and the private /tmp that tells what a test left
// outside them.
#include "tests/support/TestIsolation.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string MakeTempFolder(const std::string& under, const char* prefix) {
  std::string tmpl = under + "/" + prefix + "XXXXXX";
  if (!mkdtemp(tmpl.data())) {
    std::fprintf(stderr, "test isolation: no folder could be made in %s: %s\n", under.c_str(),
                 std::strerror(errno));
    std::exit(2);
  }
  return tmpl;
}

void MakeFolder(const std::string& path, mode_t mode) {
  if (mkdir(path.c_str(), mode) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "test isolation: %s could not be made: %s\n", path.c_str(), std::strerror(errno));
    std::exit(2);
  }
  chmod(path.c_str(), mode);
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  // A test may leave a folder without write permission behind (a read-only site, say).
  for (auto it = std::filesystem::recursive_directory_iterator(
           path, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    if (it->is_directory(ec) && !it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ec);
  std::filesystem::remove_all(path, ec);
}

// What an X server keeps in /tmp for every client on the machine: its socket folders and the
// lock of its display, there by design (the GUI tests start a virtual X server).
bool IsXServerEntry(const std::string& name) {
  if (name == ".X11-unix" || name == ".ICE-unix" || name == ".XIM-unix" || name == ".font-unix") return true;
  return name.size() > 7 && name.compare(0, 2, ".X") == 0 && name.compare(name.size() - 5, 5, "-lock") == 0;
}

pid_t gOwner = 0;

// The folder /tmp keeps in place of the user's real home, inside the private /tmp.
const char* const kRealHomeTrap = "zelmora-real-home";

std::string Canonical(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::canonical(path, ec);
  return ec ? std::string() : p.string();
}

bool Inside(const std::string& path, const std::string& folder) {
  return !path.empty() && (path == folder || path.compare(0, folder.size() + 1, folder + "/") == 0);
}

// The user's real home, where it may be hidden: not the root folder, and holding neither this
// program, its sources nor the folder it runs in (a checkout inside the home).
std::string RealHomeToHide() {
  std::string home;
  if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir ? pw->pw_dir : "";
  const char* env = std::getenv("HOME");
  // A caller who set a home of its own means that one.
  if (env && env[0] == '/') home = env;
  home = Canonical(home);
  if (home.empty() || home == "/") return "";
  char cwd[4096];
  const std::vector<std::string> ours = {Canonical("/proc/self/exe"), Canonical(ZELMORA_DATA),
                                         Canonical(ZELMORA_FIXTURES),
                                         getcwd(cwd, sizeof cwd) ? Canonical(cwd) : ""};
  for (const std::string& p : ours)
    if (Inside(p, home) || Inside(home, p)) return "";
  return home;
}

}  // namespace

TestProcessIsolation::TestProcessIsolation() {
  gOwner = getpid();
  // A /tmp of the process's own: a fresh folder of the real /tmp bound over it in a mount
  // namespace of the process (and of all it starts), so that another process of the machine
  // writing to /tmp is never taken for a test. The user's real home is hidden the same way,
  // behind an empty folder inside that one (bound first: a home inside /tmp is then hidden by
  // the private /tmp itself).
  const std::string realHome = RealHomeToHide();
  FTrapSource = MakeTempFolder("/tmp", "zelmora-tmp-");
  const std::string homeTrap = FTrapSource + "/" + kRealHomeTrap;
  if (unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_SLAVE, nullptr) == 0) {
    if (!realHome.empty() && mkdir(homeTrap.c_str(), 0700) == 0) {
      if (mount(homeTrap.c_str(), realHome.c_str(), nullptr, MS_BIND, nullptr) == 0) FRealHome = realHome;
      else rmdir(homeTrap.c_str());
    }
    FPrivateTmp = mount(FTrapSource.c_str(), "/tmp", nullptr, MS_BIND, nullptr) == 0;
  }
  if (FPrivateTmp) {
    chmod("/tmp", 01777);
  } else {
    if (!FRealHome.empty()) umount2(FRealHome.c_str(), MNT_DETACH);
    FRealHome.clear();
    RemoveTree(FTrapSource);
    FTrapSource.clear();
  }
  const char* callerTmp = std::getenv("TMPDIR");
  FRoot =
      MakeTempFolder(!FPrivateTmp && callerTmp && callerTmp[0] == '/' ? callerTmp : "/tmp", "zelmora-test-");
  const std::string home = FRoot + "/home";
  MakeFolder(home, 0700);
  MakeFolder(FRoot + "/runtime", 0700);
  MakeFolder(FRoot + "/tmp", 0700);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
  setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (FRoot + "/runtime").c_str(), 1);
  setenv("TMPDIR", (FRoot + "/tmp").c_str(), 1);
  // The caller's program folder and configuration, and its desktop session, are not the
  // test's: a test that wants a program folder makes one.
  unsetenv("ZELMORA_HOME");
  unsetenv("ZELMORA_CONFIG");
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  unsetenv("WAYLAND_DISPLAY");
}

std::vector<std::string> TestProcessIsolation::LeftOutside() const {
  std::vector<std::string> left;
  if (!FPrivateTmp) return left;
  const std::string own = FRoot.substr(FRoot.rfind('/') + 1);
  if (DIR* d = opendir("/tmp")) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == ".." || name == own || IsXServerEntry(name)) continue;
      if (name == kRealHomeTrap) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator("/tmp/" + name, ec))
          left.push_back(FRealHome + "/" + e.path().filename().string());
        continue;
      }
      left.push_back("/tmp/" + name);
    }
    closedir(d);
  }
  return left;
}

int TestProcessIsolation::Finish(int status) const {
  const std::vector<std::string> left = LeftOutside();
  if (left.empty()) return status;
  std::fprintf(stderr,
               "[  FAILED  ] The tests of this process wrote outside their own folders, in /tmp or "
               "the user's real home (write to a folder of the test, such as TempDir, $TMPDIR or "
               "$HOME, never to a fixed path):\n");
  for (const std::string& f : left) std::fprintf(stderr, "    %s\n", f.c_str());
  return 1;
}

TestProcessIsolation::~TestProcessIsolation() {
  // A forked child that ends through exit() does not own the folders.
  if (getpid() != gOwner) return;
  RemoveTree(FRoot);
  if (FPrivateTmp) {
    if (!FRealHome.empty()) umount2(FRealHome.c_str(), MNT_DETACH);
    umount2("/tmp", MNT_DETACH);
    // /tmp is the real one again here.
    RemoveTree(FTrapSource);
  }
}
