// The machine's memory status, read from the kernel (/proc/meminfo).
#pragma once
#include <cstdint>
#include <string>

struct TMemoryStatus {
  uint32_t MemoryLoad = 0;  // percent of physical memory in use, 0 to 100
  uint64_t TotalPhys = 0;   // bytes
  uint64_t AvailPhys = 0;   // bytes
};

// Fills the status from the text of /proc/meminfo; false (and zeros) when the text holds no
// usable total. MemAvailable is taken when the kernel reports it, else MemFree.
bool ParseMemInfo(const std::string& text, TMemoryStatus& status);
// The status of this machine; zeros when the kernel's file cannot be read.
TMemoryStatus GlobalMemoryStatus();

// Gives the memory the program has freed back to the system. The allocator keeps freed small
// blocks for reuse, so after a large page is read and its document dropped the program would
// otherwise go on holding the memory of its largest load.
void ReleaseFreedMemory();
