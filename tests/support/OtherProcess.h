// A second process made by fork for tests of what one running copy sees of another: it runs
// an action, reports whether it succeeded, and stays alive until it is ended.
#pragma once
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

class OtherProcess {
 public:
  explicit OtherProcess(const std::function<bool()>& action) {
    int up[2], down[2];
    EXPECT_EQ(pipe(up), 0);
    EXPECT_EQ(pipe(down), 0);
    FPid = fork();
    if (FPid == 0) {
      close(up[0]);
      close(down[1]);
      char ok = action() ? 'y' : 'n';
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
    EXPECT_EQ(ok, 'y') << "the other process's action failed";
  }
  ~OtherProcess() { End(); }
  OtherProcess(const OtherProcess&) = delete;
  OtherProcess& operator=(const OtherProcess&) = delete;
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
