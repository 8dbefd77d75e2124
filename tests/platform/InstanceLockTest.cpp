// The lock that marks a running copy of the program, seen from a second process.
#include "platform/InstanceLock.h"

#include <gtest/gtest.h>

#include "platform/SysUtils.h"
#include "tests/support/OtherProcess.h"
#include "tests/support/TestSupport.h"

namespace {

// Another running copy: a process that holds the lock of `name`.
struct OtherCopy : OtherProcess {
  explicit OtherCopy(const std::string& name)
      : OtherProcess([name] { return HoldInstanceLock(name) >= 0; }) {}
};

TEST(InstanceLock, ASecondProcessFindsTheFirstAndNeverItself) {
  TempDir cfg;
  ScopedEnv env("ZELMORA_CONFIG", cfg.Path());
  EXPECT_EQ(FindInstanceLockHolder("Zelmora"), 0) << "no copy runs and no file exists yet";

  int fd = HoldInstanceLock("Zelmora");
  ASSERT_GE(fd, 0);
  EXPECT_EQ(HoldInstanceLock("Zelmora"), fd) << "one lock per name";
  EXPECT_EQ(FindInstanceLockHolder("Zelmora"), 0) << "the own lock is not another copy";

  {
    OtherCopy other("Zelmora");
    EXPECT_EQ(FindInstanceLockHolder("Zelmora"), other.Pid());
    EXPECT_EQ(FindInstanceLockHolder("Another program"), 0);
    // Asking must not cost this process its own lock (closing a descriptor of the file
    // would drop it): the other copy still sees this one.
    OtherCopy third("Zelmora");
    EXPECT_NE(FindInstanceLockHolder("Zelmora"), 0);
    other.End();
    EXPECT_EQ(FindInstanceLockHolder("Zelmora"), third.Pid());
  }
  EXPECT_EQ(FindInstanceLockHolder("Zelmora"), 0) << "a copy that ended leaves nothing that counts";
}

TEST(InstanceLock, NamesStayInsideTheConfigurationFolderAndFailuresGiveMinusOne) {
  TempDir cfg;
  {
    ScopedEnv env("ZELMORA_CONFIG", cfg.Path());
    for (const char* name : {"../../escape", "a/b\\c:d", "", ".."}) {
      std::string file = InstanceLockFile(name);
      EXPECT_EQ(ExtractFilePath(file), IncludeTrailingPathDelimiter(cfg.Path())) << name;
      EXPECT_GE(HoldInstanceLock(name), 0) << name;
    }
  }
  // A configuration folder that cannot be made: no lock, and nothing is found.
  WriteAll(cfg.File("plain-file"), "x");
  ScopedEnv env("ZELMORA_CONFIG", cfg.File("plain-file") + "/sub");
  EXPECT_EQ(HoldInstanceLock("Zelmora"), -1);
  EXPECT_EQ(FindInstanceLockHolder("Zelmora"), 0);
}

}  // namespace
