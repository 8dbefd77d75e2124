#include "platform/ProgramFolder.h"

#include <climits>
#include <dirent.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/SysUtils.h"

std::string ExecutableFolder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return IncludeTrailingPathDelimiter(GetCurrentDir());
  buf[n] = '\0';
  return ExtractFilePath(std::string(buf));
}

std::string UserHomeFolder() {
  std::string home = GetEnvironmentVariable("HOME");
  if (home.empty())
    if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir ? pw->pw_dir : "";
  return home.empty() ? std::string("/") : home;
}

std::string XdgUserFolder(const char* variable, const char* underHome) {
  std::string v = GetEnvironmentVariable(variable);
  if (v.empty() || v[0] != '/') v = UserHomeFolder() + "/" + underHome;
  return v;
}

std::string ConfigFolder() {
  std::string dir = GetEnvironmentVariable("ZELMORA_CONFIG");
  if (dir.empty()) dir = XdgUserFolder("XDG_CONFIG_HOME", ".config") + "/zelmora";
  return IncludeTrailingPathDelimiter(dir);
}

bool CopyFolderTree(const std::string& from, const std::string& to) {
  if (!ForceDirectories(to)) return false;
  DIR* d = opendir(from.c_str());
  if (!d) return false;
  bool ok = true;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string src = IncludeTrailingPathDelimiter(from) + name;
    std::string dst = IncludeTrailingPathDelimiter(to) + name;
    if (DirectoryExists(src)) {
      ok = CopyFolderTree(src, dst) && ok;
    } else if (FileExists(src) && !FileExists(dst)) {
      // The program itself and its libraries stay where they are.
      if (access(src.c_str(), X_OK) == 0) continue;
      try {
        WriteFileAtomic(dst, ReadFileBytes(src));
      } catch (const Exception&) { ok = false; }
    }
  }
  closedir(d);
  return ok;
}

std::string DataHomeFolder() {
  return IncludeTrailingPathDelimiter(XdgUserFolder("XDG_DATA_HOME", ".local/share"));
}

// Every shipped program folder holds the settings file; it tells a build tree, whose files
// lie beside the executable, from an installed bin/ folder.
static bool HoldsShippedFiles(const std::string& folder) { return FileExists(folder + "Settings.ini"); }

std::string InstalledDataFolder() {
  std::string folder = ExecutableFolder() + ZELMORA_DATA_FROM_BIN;
  if (!HoldsShippedFiles(IncludeTrailingPathDelimiter(folder))) return {};
  return IncludeTrailingPathDelimiter(ExpandFileName(folder));
}

std::string UserProgramFolder(const std::string& shipped, const std::string& user) {
  // Missing files are copied at every start, so that files a newer build or install ships
  // arrive and what a user made with an older build that worked in its own folder is taken
  // over; a file already in the user's folder is never replaced.
  if (!shipped.empty()) CopyFolderTree(shipped, user);
  return IncludeTrailingPathDelimiter(user);
}

std::string ProgramFolder() {
  std::string home = GetEnvironmentVariable("ZELMORA_HOME");
  if (!home.empty()) return IncludeTrailingPathDelimiter(home);
  static std::once_flag once;
  static std::string folder;
  std::call_once(once, [] {
    // The shipped files: beside the executable in a build tree, under share/ for an install.
    // Neither is written into: a rebuild or a removed build tree would take the user's
    // pictures and sites with it, and an install is not the user's.
    std::string shipped = ExecutableFolder();
    if (!HoldsShippedFiles(shipped)) shipped = InstalledDataFolder();
    folder = UserProgramFolder(shipped, DataHomeFolder() + "zelmora/");
  });
  return folder;
}
