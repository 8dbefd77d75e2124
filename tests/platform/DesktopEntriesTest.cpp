// The desktop's applications of a file type and their command lines.
#include "platform/DesktopEntries.h"

#include <gtest/gtest.h>

#include "tests/support/DesktopFixture.h"

namespace {
std::vector<std::string> Names(const std::vector<TDesktopApp>& apps) {
  std::vector<std::string> names;
  for (const TDesktopApp& a : apps) names.push_back(a.Name);
  return names;
}
using Strings = std::vector<std::string>;
}  // namespace

// The order of the association lists and directories: the type's default first (the first
// installed one its lists name), then what the user added, then the applications of each
// directory that name the type, less what a list above removed; then the same for the type
// it is a kind of. Hidden, broken and non-application entries never appear.
TEST(DesktopEntries, ApplicationsOfATypeInOrderOfPreference) {
  DesktopFixture desk;
  std::vector<TDesktopApp> apps = DesktopAppsForTypes({"text/html", "text/plain"});
  EXPECT_EQ(Names(apps), (Strings{"Browser", "Extra", "Pages", "Bearbeiter"}));
  ASSERT_EQ(apps.size(), 4u);
  EXPECT_EQ(apps[2].Id, "kde-pages.desktop");
  EXPECT_EQ(apps[2].File, desk.root.File("sys1/applications/kde/pages.desktop"));
  EXPECT_EQ(apps[3].Exec, "\"/opt/My Editor/edit\" %f");

  EXPECT_EQ(Names(DesktopAppsForTypes({"image/png"})), (Strings{"Viewer"}));
  EXPECT_EQ(Names(DesktopAppsForTypes({"text/plain"})), (Strings{"Bearbeiter"}));
  EXPECT_TRUE(DesktopAppsForTypes({"application/x-zelmora-nothing"}).empty());
  EXPECT_TRUE(DesktopAppsForTypes({}).empty());

  // A terminal application is offered once there is a terminal to run it in.
  desk.Program("x-terminal-emulator");
  EXPECT_EQ(Names(DesktopAppsForTypes({"text/html"})), (Strings{"Browser", "Extra", "Console", "Pages"}));
  // Without a translation for the language, the plain name.
  ScopedEnv english("LANG", "en_GB.UTF-8");
  EXPECT_EQ(Names(DesktopAppsForTypes({"text/plain"})), (Strings{"Editor", "Console"}));
}

TEST(DesktopEntries, NothingInstalledNothingOffered) {
  TempDir empty;
  ScopedEnv a("XDG_DATA_HOME", empty.File("none")), b("XDG_DATA_DIRS", empty.File("none2")),
      c("XDG_CONFIG_HOME", empty.File("none3")), d("XDG_CONFIG_DIRS", empty.File("none4"));
  EXPECT_TRUE(DesktopAppsForTypes({"text/html", "text/plain"}).empty());
}

TEST(DesktopEntries, CommandLinesFollowTheExecRules) {
  const std::string f = "/tmp/a b#1.htm";
  struct Case {
    const char* exec;
    Strings want;
  } cases[] = {
      {"viewer --view %U", {"viewer", "--view", f}},
      {"\"/opt/My Editor/edit\" %f", {"/opt/My Editor/edit", f}},
      {"sh -c \"echo \\\"hi\\\" \\$HOME \\\\ \\`x\\`\" %f", {"sh", "-c", "echo \"hi\" $HOME \\ `x`", f}},
      {"app %i %c %k 100%%", {"app", "--icon", "icn", "My App", "/a/x.desktop", "100%", f}},
      {"app --file=%u  --name=%c", {"app", "--file=" + f, "--name=My App"}},
      {"app %d %D %n %N %v %m %F", {"app", f}},
      {"app", {"app", f}},
      {"app \"unterminated", {}},
      {"", {}},
      {"   ", {}},
  };
  for (const Case& c : cases) {
    TDesktopApp app;
    app.Exec = c.exec;
    app.Icon = "icn";
    app.Name = "My App";
    app.File = "/a/x.desktop";
    EXPECT_EQ(DesktopAppCommand(app, f), c.want) << c.exec;
  }
  TDesktopApp noIcon;
  noIcon.Exec = "app %i %f";
  EXPECT_EQ(DesktopAppCommand(noIcon, f), (Strings{"app", f}));
  TDesktopApp console;
  console.Exec = "vi %f";
  console.Terminal = true;
  EXPECT_EQ(DesktopAppCommand(console, f), (Strings{"x-terminal-emulator", "-e", "vi", f}));

  // The escapes of the entry format are undone before the quoting rules apply.
  DesktopFixture desk;
  desk.Entry("home/share", "quoted.desktop",
             "Name=Quoted\nExec=sh -c \"echo \\\\\"hi\\\\\"\" %f\nMimeType=text/x-q;\n");
  std::vector<TDesktopApp> apps = DesktopAppsForTypes({"text/x-q"});
  ASSERT_EQ(apps.size(), 1u);
  EXPECT_EQ(DesktopAppCommand(apps[0], f), (Strings{"sh", "-c", "echo \"hi\"", f}));
}
