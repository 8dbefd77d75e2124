// The memory status read from the kernel.
#include "platform/MemoryStatus.h"

#include <gtest/gtest.h>

TEST(MemoryStatus, ParsesTheKernelsFigures) {
  TMemoryStatus s;
  ASSERT_TRUE(
      ParseMemInfo("MemTotal:       16000000 kB\nMemFree:  1000000 kB\n"
                   "MemAvailable:    4000000 kB\nBuffers: 5 kB\n",
                   s));
  EXPECT_EQ(s.TotalPhys, 16000000ull * 1024);
  EXPECT_EQ(s.AvailPhys, 4000000ull * 1024);
  EXPECT_EQ(s.MemoryLoad, 75u);
  // Older kernels have no MemAvailable; free memory stands in.
  ASSERT_TRUE(ParseMemInfo("MemTotal: 1000 kB\nMemFree: 999 kB\n", s));
  EXPECT_EQ(s.MemoryLoad, 0u);
  ASSERT_TRUE(ParseMemInfo("MemTotal: 1000 kB\nMemAvailable: 5000 kB\n", s));
  EXPECT_EQ(s.AvailPhys, s.TotalPhys);
  for (const char* bad : {"", "MemTotal: 0 kB\n", "garbage\n", "MemTotal: x kB\n"}) {
    EXPECT_FALSE(ParseMemInfo(bad, s)) << bad;
    EXPECT_EQ(s.TotalPhys, 0u);
  }
  TMemoryStatus here = GlobalMemoryStatus();
  EXPECT_GT(here.TotalPhys, 0u);
  EXPECT_LE(here.MemoryLoad, 100u);
}
