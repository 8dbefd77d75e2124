// What a process costs the machine while it runs: the processor time it has used and the
// file-system watches it holds, read from /proc.
#pragma once
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <unistd.h>

// User and system time of the process so far, in seconds; -1 when it cannot be read.
inline double ProcessCpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The command name in brackets may hold blanks; the fields are counted after it.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long long utime = -1, stime = -1;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stoll(field);
    if (i == 15) {
      stime = std::stoll(field);
      break;
    }
  }
  if (utime < 0 || stime < 0) return -1;
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// The memory the process holds in RAM, in bytes; -1 when it cannot be read.
inline long long ProcessResidentBytes(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/statm");
  long long size = 0, resident = -1;
  if (!(in >> size >> resident)) return -1;
  return resident * sysconf(_SC_PAGESIZE);
}

// The inotify watches of every inotify descriptor the process holds.
inline int InotifyWatches(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  DIR* fds = opendir((proc + "/fd").c_str());
  if (!fds) return -1;
  int watches = 0;
  while (dirent* e = readdir(fds)) {
    if (e->d_name[0] == '.') continue;
    char target[256] = "";
    const std::string link = proc + "/fd/" + e->d_name;
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0 || std::string(target, size_t(n)) != "anon_inode:inotify") continue;
    std::ifstream info(proc + "/fdinfo/" + e->d_name);
    for (std::string line; std::getline(info, line);)
      if (line.rfind("inotify wd:", 0) == 0) ++watches;
  }
  closedir(fds);
  return watches;
}
