// Opening documents, Open With and Edit: documents go to the desktop's opener and are never run.
#include "POP/PopShellAPI.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "tests/support/DesktopFixture.h"
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

// "Open with": the desktop's applications for the file's type, its default chosen at first;
// the chosen one starts on the file, a cancelled choice starts nothing.
TEST(PopShellAPI, OpenAsOffersTheApplicationsOfTheFilesType) {
  DesktopFixture desk;
  ScriptedServices s;
  s.TypesByExtension[".htm"] = {"text/html", "text/plain"};
  s.TypesByExtension[".zlm"] = {"application/x-zelmora-project"};
  const std::string page = desk.root.File("Sites/C#/index.htm");

  s.ChoiceAnswers = {2};
  EXPECT_TRUE(SHOpenAs(page));
  ASSERT_EQ(s.Choices.size(), 1u);
  EXPECT_EQ(s.Choices[0].caption, "Open With");
  EXPECT_EQ(s.Choices[0].prompt, "Choose the program to open \"index.htm\" with:");
  EXPECT_EQ(s.Choices[0].items, (std::vector<std::string>{"Browser", "Extra", "Pages", "Bearbeiter"}));
  EXPECT_EQ(s.Choices[0].selected, 0);
  ASSERT_EQ(s.Launched.size(), 1u);
  EXPECT_EQ(s.Launched[0], (std::vector<std::string>{"pages", "--open=" + page, "--title=Pages"}));

  s.ChoiceAnswers = {-1};
  EXPECT_FALSE(SHOpenAs(page));
  EXPECT_EQ(s.Launched.size(), 1u);
  EXPECT_TRUE(s.Opened.empty());

  // No application knows the type: the desktop's opener may know more.
  EXPECT_TRUE(SHOpenAs(desk.root.File("page.zlm")));
  EXPECT_EQ(s.Opened, (std::vector<std::string>{desk.root.File("page.zlm")}));
  EXPECT_EQ(s.Choices.size(), 2u);
  EXPECT_FALSE(SHOpenAs(""));
  EXPECT_FALSE(SHOpenAs("-x"));
  EXPECT_EQ(s.Choices.size(), 2u);
  EXPECT_EQ(s.Launched.size(), 1u);
}

// "Edit": a page or any other text goes to the text editor; a picture has no editor of its
// own here and is opened.
TEST(PopShellAPI, EditOpensTextInTheTextEditor) {
  DesktopFixture desk;
  ScriptedServices s;
  s.TypesByExtension[".htm"] = {"text/html", "text/plain"};
  s.TypesByExtension[".png"] = {"image/png"};
  const std::string page = desk.root.File("index #2.htm");
  EXPECT_TRUE(SHEdit(page, "--ignored"));
  EXPECT_EQ(s.Launched, (std::vector<std::vector<std::string>>{{"/opt/My Editor/edit", page}}));
  EXPECT_TRUE(s.Opened.empty());
  EXPECT_TRUE(SHEdit(desk.root.File("logo.png"), ""));
  EXPECT_EQ(s.Opened, (std::vector<std::string>{desk.root.File("logo.png")}));
  EXPECT_FALSE(SHEdit("", ""));
  EXPECT_EQ(s.Launched.size(), 1u);
  // No text editor on this desktop: the opener.
  TempDir none;
  ScopedEnv a("XDG_DATA_DIRS", none.Path()), b("XDG_DATA_HOME", none.Path());
  EXPECT_TRUE(SHEdit(page, ""));
  EXPECT_EQ(s.Opened.back(), page);
}

// A real start: the chosen application's program runs with the file, found on the PATH.
TEST(PopShellAPI, OpenAsStartsTheChosenProgram) {
  DesktopFixture desk;
  desk.Program("browser");
  struct Through : ScriptedServices {
    bool Launch(const std::vector<std::string>& argv) override { return SpawnDetached(argv); }
  } real;
  real.TypesByExtension[".htm"] = {"text/html"};
  real.ChoiceAnswers = {0};
  const std::string page = desk.root.File("a b#c.htm");
  ASSERT_TRUE(SHOpenAs(page));
  for (int i = 0; i < 250 && ReadAll(desk.root.File("browser.log")).empty(); ++i) usleep(20000);
  EXPECT_EQ(ReadAll(desk.root.File("browser.log")), page + "\n");
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
  FakeOpener opener;
  TConsoleServices console;
  for (int status : {0, 3, 4}) {
    SCOPED_TRACE(status);
    opener.EndsWith(status);
    EXPECT_EQ(console.OpenUrl("/tmp/some site/index.htm"), status == 0);
    EXPECT_EQ(opener.Opened(), "/tmp/some site/index.htm");
  }
}
