#include "platform/InstanceLock.h"

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

int HoldInstanceLock(const std::string& name) {
  const std::string file = InstanceLockFile(name);
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

int FindInstanceLockHolder(const std::string& name) {
  const std::string file = InstanceLockFile(name);
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
