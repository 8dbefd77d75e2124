// The message boxes, captions, form positions and browser navigation of the foundation library.
#include "POP/PopForms.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "POP/PopDOM.h"
#include "POP/PopShellAPI.h"
#include "platform/SysUtils.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {
struct FakeForm : TFormGeometry {
  std::string name = "FormMain";
  int l = 10, t = 20, w = 300, h = 200;
  TWindowState state = wsNormal;
  TPosition pos = poDefault;
  std::string caption;
  std::string Name() const override { return name; }
  int Left() const override { return l; }
  int Top() const override { return t; }
  int Width() const override { return w; }
  int Height() const override { return h; }
  void SetBounds(int a, int b, int c, int d) override {
    l = a;
    t = b;
    w = c;
    h = d;
  }
  TWindowState WindowState() const override { return state; }
  void SetWindowState(TWindowState s) override { state = s; }
  void SetPosition(TPosition p) override { pos = p; }
  void SetCaption(const std::string& c) override { caption = c; }
};
}  // namespace

TEST(PopForms, BoxesHaveTheirButtonsCaptionAndResults) {
  ScriptedServices s;
  s.Answers = {IDYES, IDNO, IDCANCEL, IDCANCEL, IDOK};
  EXPECT_TRUE(Ask("q1"));
  EXPECT_FALSE(Ask("q2"));
  EXPECT_FALSE(Ask("q3"));  // only Yes consents
  EXPECT_EQ(Warn("w"), IDCANCEL);
  EXPECT_EQ(Say("hello"), IDOK);
  ASSERT_EQ(s.Boxes.size(), 5u);
  EXPECT_EQ(s.Boxes[0].flags, 36u);
  EXPECT_EQ(s.Boxes[3].flags, 51u);
  EXPECT_EQ(s.Boxes[4].flags, 0u);
  EXPECT_EQ(s.Boxes[4].caption, "Varnholt Zelmora");
  EXPECT_EQ(s.Beeps, 5);
  EXPECT_THROW(RaiseError("bad"), Exception);
}

TEST(PopForms, CaptionAndLocalFile) {
  TempDir dir;
  ScopedEnv home("ZELMORA_HOME", dir.Path());
  EXPECT_EQ(LocalFile("Settings.ini"), dir.Path() + "/Settings.ini");
  FakeForm f;
  FormSetCaption(f, "");
  EXPECT_EQ(f.caption, "Varnholt Zelmora");
  FormSetCaption(f, "a.zlm");
  EXPECT_EQ(f.caption, "Varnholt Zelmora - [a.zlm]");
}

TEST(PopForms, PositionRoundTripMaximisedAndMissing) {
  TempDir dir;
  TIniFile ini(dir.File("Settings.ini"));
  FakeForm f;
  FormLoadPosition(f, ini);  // missing section: designed place kept, rule set
  EXPECT_EQ(f.pos, poDesigned);
  EXPECT_EQ(f.l, 10);
  EXPECT_EQ(f.w, 300);

  f.SetBounds(1, 2, 3, 4);
  f.state = wsMaximized;
  FormSavePosition(f, ini);
  EXPECT_EQ(ini.ReadSection("FormMain"),
            (std::vector<std::string>{"Left", "Top", "Width", "Height", "WindowState"}));
  FakeForm g;
  FormLoadPosition(g, ini);
  EXPECT_EQ(g.state, wsMaximized);
  EXPECT_EQ(g.l, 10);  // bounds of the normal state not read
  ini.WriteInteger("FormMain", "WindowState", 0);
  ini.WriteString("FormMain", "Top", "junk");
  FormLoadPosition(g, ini);
  EXPECT_EQ(g.state, wsNormal);
  EXPECT_EQ(g.l, 1);
  EXPECT_EQ(g.t, 20);  // not a number: current value
  EXPECT_EQ(g.h, 4);
}

TEST(PopForms, NavigateToAsksWhenOffline) {
  ScriptedServices s;
  EXPECT_TRUE(NavigateTo("file:///tmp/x.htm#top"));
  ASSERT_EQ(s.Opened.size(), 1u);
  EXPECT_EQ(s.Opened[0], "file:///tmp/x.htm");
  EXPECT_TRUE(s.Boxes.empty());
  // Port 9 on the loopback refuses at once.
  s.Answers = {IDNO};
  // Staying offline is the user's choice, not a failure to report.
  EXPECT_TRUE(NavigateTo("http://127.0.0.1:9/page.htm"));
  EXPECT_EQ(s.Opened.size(), 1u);
  ASSERT_EQ(s.Boxes.size(), 1u);
  EXPECT_EQ(s.Boxes[0].text, _MsgConnectToNet);
  s.Answers = {IDYES};
  NavigateTo("http://127.0.0.1:9/page.htm");
  ASSERT_EQ(s.Opened.size(), 2u);
  EXPECT_EQ(s.Opened[1], "http://127.0.0.1:9/page.htm");
  // A reserved name is not on the internet by design: no question, the browser is asked.
  s.Boxes.clear();
  NavigateTo("http://www.varnholt.example/zlm/manual/manual.htm#top");
  EXPECT_TRUE(s.Boxes.empty());
  ASSERT_EQ(s.Opened.size(), 3u);
  EXPECT_EQ(s.Opened[2], "http://www.varnholt.example/zlm/manual/manual.htm");
}

// The file: URL of a local path as Python's pathlib writes it.
static std::string PythonFileUrl(const std::string& path) {
  std::string quoted;
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  std::string cmd =
      "/usr/bin/python3 -c 'import sys,pathlib;"
      "sys.stdout.write(pathlib.PurePosixPath(sys.argv[1]).as_uri())' '" +
      quoted + "'";
  int status = 0;
  std::string out = ShellOutput(cmd, &status);
  return status == 0 ? out : "<python3 failed>";
}

// A local path is a file of its own name: "#", "%", "?" and blanks in it are part of the name
// and reach the browser encoded, while a real URL's fragment is still cut.
TEST(PopForms, NavigateToOpensLocalPathsAsFileUrls) {
  ScriptedServices s;
  TempDir d;
  ForceDirectories(d.File("Sites/C#"));
  const std::string paths[] = {
      d.File("Sites/C#/index.htm"),         "/tmp/a b/c%20d.htm",     "/tmp/x?y=1&z+w@v:1;p/i.htm",
      "/tmp/caf\xc3\xa9 \xc3\xbc/#top.htm", "/tmp/~user/[1]/'q'.htm",
  };
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    s.Opened.clear();
    NavigateTo(path);
    EXPECT_TRUE(s.Boxes.empty());
    ASSERT_EQ(s.Opened.size(), 1u);
    EXPECT_EQ(s.Opened[0], PythonFileUrl(path));
  }
  s.Opened.clear();
  DOMBrowseTo(d.File("Sites/C#/index.htm"), "x");
  NavigateTo("file:///tmp/Sites/C%23/index.htm#top");
  EXPECT_EQ(s.Opened, (std::vector<std::string>{PythonFileUrl(d.File("Sites/C#/index.htm")),
                                                "file:///tmp/Sites/C%23/index.htm"}));
}

// A browser that cannot be started is the caller's to report, with what it wanted to show.
TEST(PopForms, NavigateToSaysWhenNoBrowserStarts) {
  ScriptedServices s;
  s.BrowserStarts = false;
  EXPECT_FALSE(NavigateTo("file:///tmp/site/index.htm"));
  EXPECT_EQ(s.Opened, std::vector<std::string>{"file:///tmp/site/index.htm"});
  EXPECT_TRUE(s.Boxes.empty());
}

TEST(PopShellAPI, LaunchUsesArgumentVectors) {
  ScriptedServices s;
  EXPECT_FALSE(SHOpen("", ""));
  EXPECT_FALSE(SHOpen("-rf", ""));
  EXPECT_FALSE(DOMBrowseTo("--help", "x"));
  EXPECT_TRUE(SHRun("/bin/echo", "\"-d=code; rm x\" two"));
  ASSERT_EQ(s.Launched.size(), 1u);
  EXPECT_EQ(s.Launched[0], (std::vector<std::string>{"/bin/echo", "-d=code; rm x", "two"}));
  // Only executable files are run.
  TempDir d;
  WriteAll(d.File("notes.txt"), "text");
  chmod(d.File("notes.txt").c_str(), 0644);
  EXPECT_FALSE(SHRun(d.File("notes.txt"), ""));
  EXPECT_FALSE(SHRun("/no/such/program", ""));
  EXPECT_FALSE(SHRun("/bin", ""));
  EXPECT_FALSE(SHRun("-x", ""));
  EXPECT_EQ(s.Launched.size(), 1u);
  EXPECT_TRUE(SHOpen("http://example.org/a b", ""));
  EXPECT_EQ(s.Opened, (std::vector<std::string>{"http://example.org/a b"}));
  EXPECT_EQ(SHParameters({"a\"b", "c"}, 1), "\"a\"\"b\" \"c\"");
  EXPECT_EQ(SHSplitParameters(SHParameters({"a\"b", "c d"}, 1)), (std::vector<std::string>{"a\"b", "c d"}));
}

namespace {
struct SettingsForm : TUserSettingsForm {
  std::vector<Control> controls{{"EditName", ckEdit, "abc", false, -1},
                                {"CheckBig", ckCheckBox, "", true, -1},
                                {"ComboKind", ckComboBox, "Two", false, 1},
                                {"Label1", ckOther, "", false, -1}};
  std::string Name() const override { return "FormSize"; }
  std::vector<Control> Controls() const override { return controls; }
  void Apply(const Control& c) override {
    for (auto& x : controls)
      if (x.Name == c.Name) x = c;
  }
};
}  // namespace

TEST(PopForms, UserSettingsRoundTrip) {
  TempDir dir;
  TIniFile ini(dir.File("Settings.ini"));
  SettingsForm f;
  FormSaveUserSettings(f, ini);
  EXPECT_EQ(ini.ReadSection("FormSize"), (std::vector<std::string>{"EditName.Text", "CheckBig.Checked",
                                                                   "ComboKind.ItemIndex", "ComboKind.Text"}));
  SettingsForm g;
  g.controls[0].Text = "";
  g.controls[1].Checked = false;
  g.controls[2].ItemIndex = 0;
  FormLoadUserSettings(g, ini);
  EXPECT_EQ(g.controls[0].Text, "abc");
  EXPECT_TRUE(g.controls[1].Checked);
  EXPECT_EQ(g.controls[2].ItemIndex, 1);
  EXPECT_EQ(g.controls[2].Text, "Two");
}
