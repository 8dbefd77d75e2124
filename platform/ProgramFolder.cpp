#include "platform/ProgramFolder.h"

#include <algorithm>
#include <climits>
#include <dirent.h>
#include <mutex>
#include <set>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The shipped files and folders below `from`, as names relative to it (a folder's with '/' at
// the end, before its files). The program itself and its libraries are not among them.
static void ListShipped(const std::string& from, const std::string& relative, std::vector<std::string>& out) {
  DIR* d = opendir((from + relative).c_str());
  if (!d) return;
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string path = from + relative + name;
    if (DirectoryExists(path)) {
      out.push_back(relative + name + "/");
      ListShipped(from, relative + name + "/", out);
    } else if (FileExists(path) && access(path.c_str(), X_OK) != 0) {
      out.push_back(relative + name);
    }
  }
}

// The shipped files and folders that the user's folder has been given, one name per entry,
// each ended by a NUL (a name may hold any other byte).
static const char kShippedList[] = ".shipped-files";

std::string UserProgramFolder(const std::string& shipped, const std::string& user) {
  const std::string to = IncludeTrailingPathDelimiter(user);
  if (shipped.empty()) return to;
  // Each shipped file is copied in once, when it first appears: at the first start, what an
  // older build that worked in its own folder left there is taken over, and a later version's
  // new files arrive; a file the user has deleted or changed stays as the user left it.
  const std::string from = IncludeTrailingPathDelimiter(shipped);
  ForceDirectories(to);
  std::set<std::string> given;
  try {
    const std::string list = ReadFileBytes(to + kShippedList);
    for (size_t start = 0, end; (end = list.find('\0', start)) != std::string::npos; start = end + 1)
      given.insert(list.substr(start, end - start));
  } catch (const Exception&) {
    // None yet: everything shipped that the folder lacks comes in now.
  }
  std::vector<std::string> names;
  ListShipped(from, "", names);
  bool added = false;
  for (const std::string& name : names) {
    if (given.count(name)) continue;
    const std::string target = to + name;
    if (name.back() == '/') {
      if (!ForceDirectories(target)) continue;
    } else if (!FileExists(target) && !DirectoryExists(target)) {
      try {
        ForceDirectories(ExtractFilePath(target));
        WriteFileAtomic(target, ReadFileBytes(from + name));
      } catch (const Exception&) {
        continue;  // not given: tried again at the next start
      }
    }
    given.insert(name);
    added = true;
  }
  if (added) {
    std::string list;
    for (const std::string& name : given) list += name + '\0';
    try {
      WriteFileAtomic(to + kShippedList, list);
    } catch (const Exception&) {
      // The files are there; the next start copies only what is still missing.
    }
  }
  return to;
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
