#include "platform/InstanceLock.h"

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <unistd.h>

#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"

namespace {

// Descriptors of the locks this process holds, by lock file. Never closed: closing any
// descriptor of a file drops the process's record locks on it. A child made by fork
// inherits the descriptors but not the locks, so each remembers the process that locked it.
struct THeld {
  int Fd;
  pid_t Owner;
};
std::map<std::string, THeld>& Held() {
  static std::map<std::string, THeld> held;
  return held;
}

struct flock WholeFile(short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  return fl;
}

}  // namespace

std::string InstanceLockFile(const std::string& name) {
  std::string file = name;
  for (char& c : file)
    if (IsPathDelimiter(c) || uint8_t(c) < 32) c = '_';
  if (file.empty() || file == "." || file == "..") file = "_" + file;
  return ConfigFolder() + file + ".lock";
}

// Holds a shared record lock on a lock file, made when missing; the same descriptor again.
static int HoldLockFile(const std::string& file) {
  // A record lock, not flock: its holder's process id can be asked for.
  struct flock fl = WholeFile(F_RDLCK);
  auto it = Held().find(file);
  if (it != Held().end()) {
    if (it->second.Owner == getpid()) return it->second.Fd;
    if (fcntl(it->second.Fd, F_SETLK, &fl) != 0) return -1;
    it->second.Owner = getpid();
    return it->second.Fd;
  }
  ForceDirectories(ExtractFilePath(file));
  int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  if (fcntl(fd, F_SETLK, &fl) != 0) {
    close(fd);
    return -1;
  }
  Held()[file] = {fd, getpid()};
  return fd;
}

static int FindLockFileHolder(const std::string& file) {
  auto it = Held().find(file);
  // Our own descriptor when we hold the lock; otherwise a fresh one, which is safe to close
  // since this process holds no lock on the file.
  int fd = it != Held().end() ? it->second.Fd : open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  // Asking for a write lock reports the first read lock of another process in its way.
  struct flock fl = WholeFile(F_WRLCK);
  int pid = 0;
  if (fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK && fl.l_pid > 0) pid = fl.l_pid;
  if (it == Held().end()) close(fd);
  return pid;
}

int HoldInstanceLock(const std::string& name) { return HoldLockFile(InstanceLockFile(name)); }

int FindInstanceLockHolder(const std::string& name) { return FindLockFileHolder(InstanceLockFile(name)); }

// ---- files open in a copy ----

// The file as every copy names it: its full path with links resolved, so that two names of
// one file meet (a file not made yet: its folder's resolved path and its name).
static std::string ResolvedPath(const std::string& file) {
  const std::string full = ExpandFileName(file);
  if (char* real = realpath(full.c_str(), nullptr)) {
    std::string r = real;
    free(real);
    return r;
  }
  const std::string folder = ExcludeTrailingPathDelimiter(ExtractFilePath(full));
  if (char* real = realpath(folder.empty() ? "/" : folder.c_str(), nullptr)) {
    std::string r = IncludeTrailingPathDelimiter(real) + ExtractFileName(full);
    free(real);
    return r;
  }
  return full;
}

std::string OpenFileLockFile(const std::string& file) {
  // The per-user runtime folder, which the session empties; else the configuration folder.
  std::string folder = GetEnvironmentVariable("XDG_RUNTIME_DIR");
  folder = !folder.empty() && folder[0] == '/' ? IncludeTrailingPathDelimiter(folder) + "zelmora/open/"
                                               : ConfigFolder() + "open/";
  // A path may be longer than a file name can be: the lock file is named by its hash
  // (64-bit FNV-1a, the same in every copy and every build).
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : ResolvedPath(file)) {
    h ^= c;
    h *= 1099511628211ull;
  }
  static const char* hex = "0123456789abcdef";
  std::string name;
  for (int i = 60; i >= 0; i -= 4) name += hex[(h >> i) & 15];
  return folder + name + ".lock";
}

std::string HoldOpenFileLock(const std::string& file) {
  std::string lock = OpenFileLockFile(file);
  return HoldLockFile(lock) >= 0 ? lock : std::string();
}

void ReleaseOpenFileLock(const std::string& lockFile) {
  auto it = Held().find(lockFile);
  if (it == Held().end()) return;
  // Closing the only descriptor of the lock file drops this process's lock on it.
  close(it->second.Fd);
  Held().erase(it);
}

int FindOpenFileHolder(const std::string& file) { return FindLockFileHolder(OpenFileLockFile(file)); }
