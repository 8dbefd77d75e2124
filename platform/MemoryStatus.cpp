#include "platform/MemoryStatus.h"

#include <fstream>
#include <sstream>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

bool ParseMemInfo(const std::string& text, TMemoryStatus& status) {
  status = {};
  std::istringstream in(text);
  std::string line;
  uint64_t total = 0, avail = 0, freeKb = 0;
  bool haveAvail = false;
  while (std::getline(in, line)) {
    std::istringstream l(line);
    std::string key;
    uint64_t kb = 0;
    if (!(l >> key >> kb)) continue;
    if (key == "MemTotal:") total = kb;
    else if (key == "MemAvailable:") avail = kb, haveAvail = true;
    else if (key == "MemFree:") freeKb = kb;
  }
  if (!haveAvail) avail = freeKb;
  // Values are in KiB; anything beyond 2^54 KiB is not a real machine.
  if (total == 0 || total > (uint64_t(1) << 54)) return false;
  if (avail > total) avail = total;
  status.TotalPhys = total * 1024;
  status.AvailPhys = avail * 1024;
  status.MemoryLoad = uint32_t((total - avail) * 100 / total);
  return true;
}

TMemoryStatus GlobalMemoryStatus() {
  TMemoryStatus status;
  std::ifstream f("/proc/meminfo");
  if (!f) return status;
  std::stringstream ss;
  ss << f.rdbuf();
  ParseMemInfo(ss.str(), status);
  return status;
}

void ReleaseFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}
