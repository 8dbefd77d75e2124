#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Services.h"
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
