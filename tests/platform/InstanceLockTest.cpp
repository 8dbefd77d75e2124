// The lock that marks a running copy of the program, seen from a second process.
#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

namespace {

// A second process that takes the lock of `name`, says so, and holds it until told to end.
class OtherCopy {
 public:
  explicit OtherCopy(const std::string& name) {
    int up[2], down[2];
    EXPECT_EQ(pipe(up), 0);
    EXPECT_EQ(pipe(down), 0);
    FPid = fork();
    if (FPid == 0) {
      close(up[0]);
      close(down[1]);
      char ok = HoldInstanceLock(name) >= 0 ? 'y' : 'n';
      if (write(up[1], &ok, 1) != 1) _exit(2);
      // One byte (not the end of the pipe, which later children keep open) ends it.
      char c;
      if (read(down[0], &c, 1) < 0) _exit(3);
      _exit(0);
    }
    close(up[1]);
    close(down[0]);
    FDown = down[1];
    char ok = 0;
    EXPECT_EQ(read(up[0], &ok, 1), 1);
    close(up[0]);
    EXPECT_EQ(ok, 'y');
  }
  ~OtherCopy() { End(); }
  int Pid() const { return FPid; }
  void End() {
    if (FPid <= 0) return;
    char c = 'x';
    EXPECT_EQ(write(FDown, &c, 1), 1);
    close(FDown);
    int status = 0;
    waitpid(FPid, &status, 0);
    FPid = 0;
  }

 private:
  int FPid = 0, FDown = -1;
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
