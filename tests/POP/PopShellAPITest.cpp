#include "POP/PopShellAPI.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "tests/support/ScriptedServices.h"
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

namespace {
// A document that would leave a mark if it were run as a program.
std::string ExecutableDocument(const TempDir& d, const std::string& name) {
  const std::string doc = d.File(name);
  WriteAll(doc, "#!/bin/sh\ntouch '" + d.File("was-run") + "'\n");
  chmod(doc.c_str(), 0755);
  return doc;
}
}  // namespace

// Every file on a FAT or NTFS disk has the executable bit: a document is handed to the
// desktop's opener whatever its mode, never started.
TEST(PopShellAPI, AnExecutableDocumentIsOpenedNotRun) {
  TempDir d;
  const std::string doc = ExecutableDocument(d, "report #1.txt");
  {
    ScriptedServices s;
    EXPECT_TRUE(SHOpen(doc, "--verbose"));
    EXPECT_TRUE(SHOpen("/bin/echo", "hello"));
    EXPECT_TRUE(s.Launched.empty());
    EXPECT_EQ(s.Opened, (std::vector<std::string>{doc, "/bin/echo"}));
  }
  // Through the real launcher: the opener found on the PATH is what runs.
  ForceDirectories(d.File("bin"));
  WriteAll(d.File("bin/xdg-open"), "#!/bin/sh\nprintf '%s|' \"$@\" > '" + d.File("opened") + "'\n");
  chmod(d.File("bin/xdg-open").c_str(), 0755);
  ScopedEnv path("PATH", d.File("bin") + ":/usr/bin:/bin");
  ASSERT_TRUE(SHOpen(doc, ""));
  for (int i = 0; i < 250 && ReadAll(d.File("opened")).empty(); ++i) usleep(20000);
  EXPECT_EQ(ReadAll(d.File("opened")), doc + "|");
  usleep(200000);
  EXPECT_FALSE(FileExists(d.File("was-run")));
}
