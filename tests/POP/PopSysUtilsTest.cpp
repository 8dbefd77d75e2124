// The system helpers of the foundation library: memory sizes, cached file names and small helpers.
#include "POP/PopSysUtils.h"

#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

TEST(PopSysUtils, MemorySizeToStr) {
  struct Case {
    int64_t bytes;
    const char* want;
  } cases[] = {{0, "0KB"},
               {1, "1KB"},
               {1024, "1KB"},
               {1025, "2KB"},
               {1048576, "1,024KB"},
               {5LL * 1024 * 1024 * 1024, "5,242,880KB"},
               {5LL * 1024 * 1024 * 1024 + 1, "5,242,881KB"}};
  for (const auto& c : cases) EXPECT_EQ(MemorySizeToStr(c.bytes), c.want) << c.bytes;
}

TEST(PopSysUtils, FileNameAddToCacheNamesByDosTime) {
  TempDir home, src;
  ScopedEnv env("ZELMORA_HOME", home.Path());
  ScopedEnv tz("TZ", "UTC");
  tzset();
  WriteAll(src.File("tex.bmp"), "one");
  ASSERT_EQ(std::system(("touch -d '2003-02-20 13:45:31' " + src.File("tex.bmp")).c_str()), 0);
  // 2003-02-20 13:45:31 packed: date (23<<9 | 2<<5 | 20), time (13<<11 | 45<<5 | 15).
  const int64_t packed = (int64_t((23 << 9) | (2 << 5) | 20) << 16) | ((13 << 11) | (45 << 5) | 15);
  std::string want = home.Path() + "/Cache/" + IntToStr(int32_t(packed)) + "tex.bmp";
  std::string got = FileNameAddToCache(src.File("tex.bmp"), "Cache");
  EXPECT_EQ(got, want);
  EXPECT_EQ(ReadAll(got), "one");
  EXPECT_EQ(FileNameAddToCache(got, "Cache"), got);  // already in the cache

  // Another file of the same name and time does not replace the cached one.
  TempDir other;
  WriteAll(other.File("tex.bmp"), "two");
  ASSERT_EQ(std::system(("touch -d '2003-02-20 13:45:31' " + other.File("tex.bmp")).c_str()), 0);
  std::string second = FileNameAddToCache(other.File("tex.bmp"), "Cache");
  EXPECT_NE(second, got);
  EXPECT_EQ(ReadAll(got), "one");
  EXPECT_EQ(ReadAll(second), "two");
  EXPECT_EQ(FileNameAddToCache(src.File("tex.bmp"), "Cache"), got);  // same content reused

  EXPECT_THROW(FileNameAddToCache(src.File("missing.bmp"), "Cache"), Exception);
  WriteAll(home.File("blocker"), "x");
  EXPECT_THROW(FileNameAddToCache(src.File("tex.bmp"), "blocker/sub"), Exception);
}

TEST(PopSysUtils, SmallHelpers) {
  EXPECT_EQ(Amount("file", 1), "file 1");
  EXPECT_EQ(Amount("file", 2), "files 2");
  EXPECT_EQ(DateTimeToUnix(UnixToDateTime(1045747200)), 1045747200);
  EXPECT_DOUBLE_EQ(UnixToDateTime(0), 25569.0);
  TempDir d;
  WriteAll(d.File("a.zlm"), "abc");
  FileNameBackup(d.File("a.zlm"));
  EXPECT_EQ(ReadAll(d.File("a.~zlm")), "abc");
  EXPECT_EQ(FileNameSize(d.File("a.zlm")), 3);
  EXPECT_EQ(FileNameSize(d.File("none")), 0);
  EXPECT_EQ(ExpandRelativePath(d.File("a.zlm"), "x/../b.png"), d.File("b.png"));
}
