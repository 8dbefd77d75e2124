#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

TEST(Services, SpawnDetachedPassesArgumentsUnchanged) {
  TempDir d;
  std::string out = d.File("out.txt");
  // The shell here is the program under test's child, started with an argument vector: the
  // "; touch" text must arrive as one argument, not be run.
  ASSERT_TRUE(SpawnDetached(
      {"/bin/sh", "-c", "printf '%s|' \"$@\" > \"$0\"", out, "a b", "x; touch " + d.File("pwned")}));
  for (int i = 0; i < 100 && ReadAll(out).empty(); ++i) usleep(20000);
  EXPECT_EQ(ReadAll(out), "a b|x; touch " + d.File("pwned") + "|");
  EXPECT_FALSE(SpawnDetached({"/no/such/program"}));
  EXPECT_FALSE(SpawnDetached({}));
}

// The watched start tells a program that fails at once from one that runs, and never waits
// longer than it was told.
TEST(Services, SpawnWatchedSeesAQuickFailure) {
  struct Case {
    const char* what;
    std::vector<std::string> argv;
    bool started;
  } cases[] = {
      {"ends well", {"/bin/sh", "-c", "exit 0"}, true},
      {"ends with a failure", {"/bin/sh", "-c", "exit 3"}, false},
      {"killed", {"/bin/sh", "-c", "kill -9 $$"}, false},
      {"still running", {"/bin/sh", "-c", "sleep 5"}, true},
      {"no such program", {"/no/such/program"}, false},
      {"nothing", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(SpawnWatched(c.argv, 400), c.started);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
  }
}

// The desktop's opener that finds no browser (xdg-open says so with status 3) or starts one
// that refuses to run makes OpenUrl fail; one that hands the page over succeeds.
TEST(Services, OpenUrlReportsAnOpenerThatFails) {
  TempDir bin;
  const std::string log = bin.File("opened");
  ScopedEnv path("PATH", bin.Path() + ":" + GetEnvironmentVariable("PATH"));
  TConsoleServices console;
  for (int status : {0, 3, 4}) {
    SCOPED_TRACE(status);
    WriteAll(bin.File("xdg-open"),
             "#!/bin/sh\nprintf '%s' \"$1\" > '" + log + "'\nexit " + std::to_string(status) + "\n");
    chmod(bin.File("xdg-open").c_str(), 0755);
    unlink(log.c_str());
    EXPECT_EQ(console.OpenUrl("/tmp/some site/index.htm"), status == 0);
    EXPECT_EQ(ReadAll(log), "/tmp/some site/index.htm");
  }
}
