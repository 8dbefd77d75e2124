// New, open, reopen, save and save as on the real main window, with scripted dialogs and
// boxes, on a temporary copy of the program folder.
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include <QAction>
#include <QCoreApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QListWidget>

#include "POP/gui/PopDialogs.h"
#include "engine/XImage.h"
#include "platform/InstanceLock.h"
#include "platform/WaitIndicator.h"
#include "tests/support/OtherProcess.h"
#include "tests/support/ProgramHome.h"

namespace {

// The file dialogs answer from the test: the chosen name, or Cancel for an empty one. Each
// call records the dialog's kind, file name and options as it was asked.
struct Dialogs {
  struct Call {
    bool save;
    std::string fileName, filter;
    TOpenOptions options;
  };
  std::vector<std::string> answers;
  std::vector<Call> calls;
  Dialogs() {
    SetDialogHook([this](TCommonDialog& d) {
      auto& f = static_cast<TOpenDialog&>(d);
      calls.push_back({f.IsSaveDialog(), f.FileName, f.Filter, f.Options});
      if (answers.empty() || answers.front().empty()) {
        if (!answers.empty()) answers.erase(answers.begin());
        return false;
      }
      f.FileName = answers.front();
      answers.erase(answers.begin());
      return true;
    });
  }
  ~Dialogs() { SetDialogHook(nullptr); }
};

// Every BeginWait and EndWait, to see them paired on every path.
struct CountingWait : TWaitIndicator {
  int begun = 0, ended = 0;
  std::vector<std::string> messages;
  TWaitIndicator* old = WaitIndicator();
  CountingWait() { SetWaitIndicator(this); }
  ~CountingWait() override { SetWaitIndicator(old); }
  void BeginWait(const std::string& message, bool) override {
    ++begun;
    messages.push_back(message);
  }
  void SetProgress(int, int) override {}
  void EndWait() override { ++ended; }
};

// Root writes into read-only folders; for the lifetime of this object the thread loses the
// capabilities that let it, so permissions hold as they would for a user.
struct AsPlainUser {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved[2]{};
  bool dropped = false;
  AsPlainUser() {
    if (geteuid() != 0 || syscall(SYS_capget, &header, saved) != 0) return;
    __user_cap_data_struct reduced[2];
    std::memcpy(reduced, saved, sizeof reduced);
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    dropped = syscall(SYS_capset, &header, reduced) == 0;
  }
  ~AsPlainUser() {
    if (dropped) syscall(SYS_capset, &header, saved);
  }
};

std::string Object(int i, const std::string& text, int left, int top) {
  return "[Button" + std::to_string(i) + "]\r\nButtonText=" + text + "\r\nRectLeft=" + std::to_string(left) +
         "\r\nRectRight=" + std::to_string(left + 80) + "\r\nRectTop=" + std::to_string(top) +
         "\r\nRectBottom=" + std::to_string(top + 24) + "\r\n";
}

// A project of `count` objects with a section of another program between the heading and
// the objects, and the page keys after the scene's own.
std::string ProjectText(int count) {
  std::string s = "[Heading]\r\nVersion=1.0\r\nBGColor=clWhite\r\nLastSelected=0\r\nNumOfButtons=" +
                  std::to_string(count) +
                  "\r\nMetaInfo=%5BBase%5D%0ATit%3DTest+page%0A\r\nGridX=4\r\nGridY=6\r\nProjectWidth=320\r\n"
                  "ProjectHeight=200\r\n[Notes]\r\nKept=yes\r\n";
  for (int i = 0; i < count; ++i) s += Object(i, "Item+" + std::to_string(i), 8 + 16 * i, 8 + 8 * i);
  return s;
}

// One object as every save writes it: the keys of the object, then its style's.
std::string SavedObject(int i, const std::string& text, int left, int top, bool selected) {
  return "[Button" + std::to_string(i) + "]\r\nButtonText=" + text + "\r\nRectLeft=" + std::to_string(left) +
         "\r\nRectRight=" + std::to_string(left + 80) + "\r\nRectTop=" + std::to_string(top) +
         "\r\nRectBottom=" + std::to_string(top + 24) +
         "\r\nGroup=\r\nLinkAddress=\r\nStyleName=\r\nIsSelected=" + (selected ? "1" : "0") +
         "\r\nFontName=Verdana\r\nFontColor=-2147483640\r\nFontSize=10\r\nFontHeight=-13\r\nFontBold="
         "0\r\nFontItalic=0\r\n"
         "FontUnderline=0\r\nFontStrikeOut=0\r\nAlignX=2\r\nAlignY=2\r\nShape=1\r\nPenWidth=2\r\n"
         "CurveSize=32\r\nTextureMode=1\r\nTextStyle=0\r\nIsTransparent=0\r\nIsAntialiased=0\r\n"
         "Color0=12632256\r\nColor1=0\r\nColor2=8421504\r\nColor3=12632256\r\nColor4=16777215\r\n"
         "Color5=0\r\nColor6=0\r\nColor7=0\r\nColor8=0\r\nColor9=0\r\nTextureFileName=\r\n";
}

TEST(ProjectFiles, NewProjectAsksAndClearsThePage) {
  struct Case {
    const char* what;
    int changes;
    std::vector<int> answers;  // to the save question (when changed), then to "Are you sure"
    bool cleared;
  } cases[] = {
      {"unchanged page, Yes", 0, {IDYES}, true},
      {"unchanged page, No keeps it", 0, {IDNO}, false},
      {"changed page, not saved, Yes", 2, {IDNO, IDYES}, true},
      {"changed page, Cancel asks no more", 2, {IDCANCEL}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    auto w = StartMainWindow();
    const std::string splash = w->ProjectFileName;
    const int objects = w->Scene->Count();
    w->Scene->GridX = 12;
    w->ChangeCount = c.changes;
    home.services.Answers.assign(c.answers.begin(), c.answers.end());
    w->MINewProject->trigger();
    std::vector<std::string> boxes = home.TakeBoxes();
    ASSERT_EQ(boxes.size(), c.answers.size());
    EXPECT_EQ(boxes.back(), c.answers.back() == IDCANCEL ? "Save changes to " + splash + "?"
                                                         : "Are you sure you want to begin a new project?");
    if (c.cleared) {
      EXPECT_EQ(w->Scene->Count(), 0);
      EXPECT_EQ(w->Scene->BGColor, TColor(0xFF6060));
      EXPECT_EQ(w->Scene->Page->Width(), 640);
      EXPECT_EQ(w->Scene->Page->Height(), 480);
      EXPECT_EQ(w->PanelScene->size(), QSize(640, 480));
      EXPECT_EQ(w->PaintBox->size(), QSize(640, 480));
      EXPECT_EQ(w->ProjectFileName, "");
      EXPECT_EQ(w->ChangeCount, 0);
      EXPECT_TRUE(w->windowTitle().endsWith("[noname.zlm]"));
      // The grid and the page's HTML head settings are kept.
      EXPECT_EQ(w->Scene->GridX, 12);
      EXPECT_EQ(w->Scene->ReadString("Tit"), "Welcome");
    } else {
      EXPECT_EQ(w->Scene->Count(), objects);
      EXPECT_EQ(w->ProjectFileName, splash);
      EXPECT_EQ(w->ChangeCount, c.changes);
    }
  }
}

// A new page saved under a name typed with another extension: the file is the name with
// ".zlm", the page keys come first, and it becomes the next start project.
TEST(ProjectFiles, NewPageSavedAsIsTheExactFile) {
  ProgramHome home;
  Dialogs dialogs;
  auto w = StartMainWindow();
  home.services.Answers = {IDYES};
  w->MINewProject->trigger();
  EXPECT_EQ(home.TakeBoxes(), (std::vector<std::string>{"Are you sure you want to begin a new project?"}));
  ForceDirectories(home.dir.File("work"));
  dialogs.answers = {home.dir.File("work/page.txt")};
  w->MISaveAs->trigger();
  const std::string saved = home.dir.File("work/page.zlm");
  EXPECT_FALSE(FileExists(home.dir.File("work/page.txt")));
  EXPECT_EQ(
      ReadAll(saved),
      "[Heading]\r\nGridX=8\r\nGridY=8\r\nProjectWidth=640\r\nProjectHeight=480\r\nVersion=1.0\r\n"
      "BGColor=$00FF6060\r\nLastSelected=-1\r\nNumOfButtons=0\r\nMetaInfo=%5BBase%5D%0ATit%3DWelcome%0A\r\n");
  EXPECT_EQ(w->ProjectFileName, saved);
  EXPECT_EQ(w->ChangeCount, 0);
  EXPECT_EQ(home.Setting("Settings", "DefaultProject"), saved);
  EXPECT_TRUE(w->windowTitle().endsWith("[" + QString::fromStdString(saved) + "]"));
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_TRUE(dialogs.calls[0].save);
  EXPECT_EQ(dialogs.calls[0].fileName, "");
  EXPECT_EQ(dialogs.calls[0].filter, "Zelmora Projects (*.zlm)|*.zlm|All Files (*.*)|*.*|");
  EXPECT_TRUE(home.services.Boxes.empty());
}

// Open shows the project dialog at the current file; save writes the page keys where they
// stand, keeps sections it does not write, and a second round trip changes nothing.
TEST(ProjectFiles, OpenSaveOpenSaveIsIdentical) {
  ProgramHome home;
  Dialogs dialogs;
  const std::string p = home.dir.File("six.zlm");
  WriteAll(p, ProjectText(6));
  auto w = StartMainWindow();
  const std::string splash = w->ProjectFileName;
  CountingWait wait;
  dialogs.answers = {p};
  w->MIOpenProject->trigger();
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_FALSE(dialogs.calls[0].save);
  EXPECT_EQ(dialogs.calls[0].fileName, splash);
  EXPECT_EQ(dialogs.calls[0].filter, "Zelmora Projects (*.zlm)|*.zlm|All Files (*.*)|*.*|");
  ASSERT_EQ(w->Scene->Count(), 6);
  EXPECT_EQ(w->ProjectFileName, p);
  EXPECT_EQ(w->Scene->GridX, 4);
  EXPECT_EQ(w->Scene->GridY, 6);
  EXPECT_EQ(w->Scene->Page->Width(), 320);
  EXPECT_EQ(w->Scene->Page->Height(), 200);
  EXPECT_EQ(w->PanelScene->size(), QSize(320, 200));
  EXPECT_EQ(w->ChangeCount, 0);
  EXPECT_EQ(wait.begun, wait.ended);
  ASSERT_GE(wait.messages.size(), 2u);
  EXPECT_EQ(wait.messages[0], "Loading six.zlm");
  EXPECT_EQ(wait.messages[1], "Rendering Display...");

  // Two objects go; the plain save asks nothing and writes four, the old sections of the
  // other two stay behind.
  w->Scene->Delete(5);
  w->Scene->Delete(4);
  w->ChangeCount = 1;
  w->MISave->trigger();
  EXPECT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(w->ChangeCount, 0);
  EXPECT_EQ(wait.begun, wait.ended);
  EXPECT_EQ(wait.messages.back(), "Saving six.zlm");
  std::string expected =
      "[Heading]\r\nVersion=1.0\r\nBGColor=clWhite\r\nLastSelected=0\r\nNumOfButtons=4\r\n"
      "MetaInfo=%5BBase%5D%0ATit%3DTest+page%0A\r\nGridX=4\r\nGridY=6\r\nProjectWidth=320\r\n"
      "ProjectHeight=200\r\n[Notes]\r\nKept=yes\r\n";
  for (int i = 0; i < 6; ++i) {
    std::string text = "Item+" + std::to_string(i);
    expected +=
        i < 4 ? SavedObject(i, text, 8 + 16 * i, 8 + 8 * i, false) : Object(i, text, 8 + 16 * i, 8 + 8 * i);
  }
  const std::string first = ReadAll(p);
  EXPECT_EQ(first, expected);

  w->MIOpenProject->trigger();  // answered with Cancel: nothing changes
  EXPECT_EQ(w->Scene->Count(), 4);
  dialogs.answers = {p};
  w->MIOpenProject->trigger();
  ASSERT_EQ(w->Scene->Count(), 4);
  w->MISave->trigger();
  EXPECT_EQ(ReadAll(p), first);
}

TEST(ProjectFiles, SaveAsForcesTheExtensionBeforeTheOverwriteQuestion) {
  struct Case {
    const char* what;
    const char* typed;
    bool exists;
    int answer;  // to the overwrite question; 0 when none is expected
    bool written;
  } cases[] = {
      {"new name with another extension", "other.txt", false, 0, true},
      {"the .zlm file exists, replace", "other.txt", true, IDYES, true},
      {"the .zlm file exists, keep it", "other.txt", true, IDNO, false},
      {"typed with .zlm, exists, keep it", "other.zlm", true, IDNO, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    Dialogs dialogs;
    const std::string p = home.dir.File("page.zlm");
    WriteAll(p, ProjectText(1));
    auto w = StartMainWindow({p});
    const std::string before = home.Setting("Settings", "DefaultProject");
    const std::string target = home.dir.File("other.zlm");
    // What is there is no project: a replaced file keeps none of its sections.
    if (c.exists) WriteAll(target, "old\r\n[Settings]\r\nLanguage=EN\r\n");
    // A file of the typed name (not .zlm) is never the question's subject nor touched.
    WriteAll(home.dir.File("other.txt"), "text");
    w->ChangeCount = 2;
    dialogs.answers = {home.dir.File(c.typed)};
    if (c.answer) home.services.Answers = {c.answer};
    w->MISaveAs->trigger();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].fileName, p);
    EXPECT_FALSE(dialogs.calls[0].options & ofOverwritePrompt) << "the dialog would ask about the typed name";
    EXPECT_TRUE(SaveDialog()->Options & ofOverwritePrompt);
    std::vector<std::string> boxes = home.TakeBoxes();
    if (c.answer) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0], target + " already exists.\nDo you want to replace it?");
    } else {
      EXPECT_TRUE(boxes.empty());
    }
    EXPECT_EQ(ReadAll(home.dir.File("other.txt")), "text");
    EXPECT_EQ(ReadAll(target).substr(0, 9) == "[Heading]", c.written);
    if (c.exists) EXPECT_EQ(ReadAll(target).find("[Settings]") == std::string::npos, c.written);
    EXPECT_EQ(w->ProjectFileName, c.written ? target : p);
    EXPECT_EQ(w->ChangeCount, c.written ? 0 : 2);
    EXPECT_EQ(home.Setting("Settings", "DefaultProject"), c.written ? target : before);
  }
}

// Another program, or another copy of this one, wrote the project after this window opened it:
// Save asks, and replaces the other's work only when told to. Yes replaces it, No saves under
// another name, Cancel saves nothing. A file nobody else wrote is saved without a question.
TEST(ProjectFiles, SaveAsksWhenAnotherWriterChangedTheFile) {
  struct Case {
    int answer;
    const char* result;  // what the project's file holds afterwards
  } cases[] = {{IDCANCEL, "other"}, {IDNO, "other"}, {IDYES, "ours"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    ProgramHome home;
    Dialogs dialogs;
    const std::string p = home.dir.File("page.zlm");
    WriteAll(p, ProjectText(2));
    auto w = StartMainWindow({p});
    ASSERT_EQ(w->ProjectFileName, p);
    // Our own saves are not somebody else's: no question.
    w->ChangeCount = 1;
    w->MISave->trigger();
    w->ChangeCount = 1;
    w->MISave->trigger();
    EXPECT_TRUE(home.TakeBoxes().empty());
    ASSERT_EQ(w->ChangeCount, 0);
    // The other writer: a move of one object saved by another window.
    const std::string other = ProjectText(3);
    WriteAll(p, other);
    w->ChangeCount = 2;
    home.services.Answers = {c.answer};
    dialogs.answers = {home.dir.File("mine.zlm")};
    w->MISave->trigger();
    std::vector<std::string> boxes = home.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("changed on disk"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find(p), std::string::npos) << boxes[0];
    const std::string now = ReadAll(p);
    if (std::string(c.result) == "other") {
      EXPECT_EQ(now, other);
    } else {
      EXPECT_NE(now.find("NumOfButtons=2"), std::string::npos);
      EXPECT_EQ(w->ChangeCount, 0);
    }
    if (c.answer == IDNO) {
      EXPECT_EQ(w->ProjectFileName, home.dir.File("mine.zlm"));
      EXPECT_NE(ReadAll(home.dir.File("mine.zlm")).find("NumOfButtons=2"), std::string::npos);
      EXPECT_EQ(w->ChangeCount, 0);
    }
    if (c.answer == IDCANCEL) {
      EXPECT_EQ(w->ChangeCount, 2);
      EXPECT_EQ(w->ProjectFileName, p);
      EXPECT_FALSE(FileExists(home.dir.File("mine.zlm")));
    }
  }
}

// Save As onto the open project's own file after another writer changed it asks one question,
// the one that tells the file was changed outside (its No saves under another name); the same
// file unchanged on disk gets the plain replace question.
TEST(ProjectFiles, SaveAsOntoTheOpenFileChangedOnDiskAsksOnce) {
  struct Case {
    const char* what;
    bool otherWrote;
    int answer;
    bool ours;  // the file holds this page afterwards
  } cases[] = {
      {"changed outside, replace", true, IDYES, true},
      {"changed outside, another name (then cancelled)", true, IDNO, false},
      {"changed outside, cancel", true, IDCANCEL, false},
      {"unchanged, replace", false, IDYES, true},
      {"unchanged, keep", false, IDNO, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    Dialogs dialogs;
    const std::string p = home.dir.File("page.zlm");
    WriteAll(p, ProjectText(2));
    auto w = StartMainWindow({p});
    ASSERT_EQ(w->ProjectFileName, p);
    const std::string before = c.otherWrote ? ProjectText(3) : ProjectText(2);
    if (c.otherWrote) WriteAll(p, before);
    w->ChangeCount = 2;
    home.services.Answers = {c.answer};
    // The open file itself, typed without its extension; a second Save As is cancelled.
    dialogs.answers = {home.dir.File("page"), ""};
    w->MISaveAs->trigger();
    std::vector<std::string> boxes = home.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u) << (boxes.size() > 1 ? boxes[1] : "");
    if (c.otherWrote) {
      EXPECT_NE(boxes[0].find("changed on disk"), std::string::npos) << boxes[0];
      EXPECT_NE(boxes[0].find(p), std::string::npos) << boxes[0];
    } else {
      EXPECT_EQ(boxes[0], p + " already exists.\nDo you want to replace it?");
    }
    EXPECT_EQ(dialogs.calls.size(), c.otherWrote && c.answer == IDNO ? 2u : 1u);
    if (c.ours) {
      EXPECT_NE(ReadAll(p).find("NumOfButtons=2"), std::string::npos);
      EXPECT_EQ(w->ChangeCount, 0);
    } else {
      EXPECT_EQ(ReadAll(p), before);
      EXPECT_EQ(w->ChangeCount, 2);
    }
    EXPECT_EQ(w->ProjectFileName, p);
    w->ChangeCount = 0;
  }
}

// The unsaved page brought back after the program was ended keeps what the window knew of its
// file: the next Save asks when another writer changed the file (before the end or after it),
// and not when nobody did or the file is gone (nothing to replace). A recovery file that does
// not say what the file was like is taken as knowing nothing: the Save asks if the file exists.
TEST(ProjectFiles, ARecoveredPageSavesOverAnotherWritersFileOnlyWhenTold) {
  enum Other { Nobody, WroteBeforeTheEnd, WroteAfterTheEnd, RemovedIt, ReplacedIt, StampNotKept };
  struct Case {
    const char* what;
    Other other;
    bool asks;
  } cases[] = {
      {"nobody wrote the file", Nobody, false},
      {"another writer before the end", WroteBeforeTheEnd, true},
      {"another writer after the end", WroteAfterTheEnd, true},
      {"the file was removed", RemovedIt, false},
      {"the file was replaced by one of the same size and time", ReplacedIt, true},
      {"the recovery file does not say", StampNotKept, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    const std::string p = home.dir.File("page.zlm");
    WriteAll(p, ProjectText(2));
    const std::string other = ProjectText(3);
    {
      auto w = StartMainWindow({p});
      ASSERT_EQ(w->ProjectFileName, p);
      w->Scene->Button(1)->Text = "Changed";
      w->ChangeCount = 1;
      if (c.other == WroteBeforeTheEnd) WriteAll(p, other);
      ASSERT_TRUE(w->WriteRecoveryFile());
      w->ChangeCount = 0;
    }
    const std::string recovery = TFormMain::RecoveryFileName();
    if (c.other == WroteAfterTheEnd) WriteAll(p, other);
    if (c.other == RemovedIt) ASSERT_EQ(unlink(p.c_str()), 0);
    if (c.other == ReplacedIt) {
      struct stat st;
      ASSERT_EQ(stat(p.c_str(), &st), 0);
      const std::string copy = home.dir.File("copy.zlm");
      WriteAll(copy, ProjectText(2));
      const timespec times[2] = {st.st_atim, st.st_mtim};
      ASSERT_EQ(utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);
      ASSERT_EQ(rename(copy.c_str(), p.c_str()), 0);
    }
    if (c.other == StampNotKept) {
      std::string text = ReadAll(recovery);
      const size_t at = text.find("ProjectFileStamp=");
      if (at != std::string::npos) text.erase(at, text.find('\n', at) + 1 - at);
      WriteAll(recovery, text);
    }
    const std::string before = FileExists(p) ? ReadAll(p) : "";
    home.services.Answers = {IDYES};
    auto w = StartMainWindow();
    std::vector<std::string> boxes = home.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("unsaved changes"), std::string::npos) << boxes[0];
    ASSERT_EQ(w->ProjectFileName, p);
    ASSERT_EQ(w->Scene->Count(), 2);
    ASSERT_EQ(w->Scene->Button(1)->Text, "Changed");
    home.services.Answers = {IDCANCEL};
    w->MISave->trigger();
    boxes = home.TakeBoxes();
    if (c.asks) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_NE(boxes[0].find("changed on disk"), std::string::npos) << boxes[0];
      EXPECT_EQ(ReadAll(p), before);
      EXPECT_NE(w->ChangeCount, 0);
      // Told, the user may still replace it.
      home.services.Answers = {IDYES};
      w->MISave->trigger();
      home.TakeBoxes();
    } else {
      EXPECT_TRUE(boxes.empty()) << boxes[0];
    }
    EXPECT_NE(ReadAll(p).find("Changed"), std::string::npos);
    EXPECT_EQ(w->ChangeCount, 0);
    // Saved here, the file is this window's own: the next Save asks nothing.
    w->ChangeCount = 1;
    w->MISave->trigger();
    EXPECT_TRUE(home.TakeBoxes().empty());
    w->ChangeCount = 0;
  }
}

// Every road that gives the page a file's name keeps what the window knows of that file, so
// that a Save asks before it replaces somebody else's work there, and only then: a new page
// under a name whose file was made meanwhile, and an undo that goes back to the project
// opened before another one.
TEST(ProjectFiles, EveryRoadToAFileNameKeepsItsStamp) {
  struct Case {
    const char* what;
    bool undo;         // else a new page under a name given on the command line
    bool otherWrites;  // another writer writes the file before the Save
  } cases[] = {
      {"new page, file made meanwhile", false, true},
      {"new page, nobody made the file", false, false},
      {"undo to the first project, written meanwhile", true, true},
      {"undo to the first project, not written", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    Dialogs dialogs;
    const std::string p = home.dir.File("page.zlm");
    if (c.undo) WriteAll(p, ProjectText(2));
    auto w = StartMainWindow({p});
    home.TakeBoxes();
    ASSERT_EQ(w->ProjectFileName, p);
    if (c.undo) {
      w->Scene->Button(0)->SetSelected(true);
      w->MIDelete->trigger();
      ASSERT_EQ(w->Scene->Count(), 1);
      const std::string second = home.dir.File("second.zlm");
      WriteAll(second, ProjectText(1));
      dialogs.answers = {second};
      home.services.Answers = {IDNO};  // the deletion is not saved
      w->MIOpenProject->trigger();
      ASSERT_EQ(w->ProjectFileName, second);
    }
    const std::string other = ProjectText(3);
    if (c.otherWrites) WriteAll(p, other);
    if (c.undo) {
      w->MIUndo->trigger();
      ASSERT_EQ(w->ProjectFileName, p);
      ASSERT_EQ(w->Scene->Count(), 2);
    }
    home.TakeBoxes();
    w->ChangeCount = 1;
    home.services.Answers = {IDCANCEL};
    w->MISave->trigger();
    std::vector<std::string> boxes = home.TakeBoxes();
    if (c.otherWrites) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_NE(boxes[0].find("changed on disk"), std::string::npos) << boxes[0];
      EXPECT_EQ(ReadAll(p), other);
      EXPECT_EQ(w->ChangeCount, 1);
    } else {
      EXPECT_TRUE(boxes.empty()) << boxes[0];
      EXPECT_NE(ReadAll(p).find(c.undo ? "NumOfButtons=2" : "[Heading]"), std::string::npos) << ReadAll(p);
      EXPECT_EQ(w->ChangeCount, 0);
    }
    w->ChangeCount = 0;
  }
}

int gEndedBy = 0;

// Ended from outside with unsaved work: the page goes into the recovery file, never over the
// user's project; the next start offers it back under its project's name, still unsaved, and
// the file is gone after the answer. A logout through the session manager asks the save
// question when the user is at hand (Cancel stops the logout) and keeps the page otherwise.
TEST(ProjectFiles, EndedFromOutsideTheUnsavedPageComesBack) {
  for (int sig : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    ProgramHome home;
    const std::string p = home.dir.File("page.zlm");
    WriteAll(p, ProjectText(2));
    {
      auto w = StartMainWindow({p});
      ASSERT_EQ(w->ProjectFileName, p);
      w->Scene->Button(1)->Text = "Changed";
      w->ChangeCount = 1;
      auto* const end = TFormMain::EndProcess;
      gEndedBy = 0;
      TFormMain::EndProcess = [](int s) { gEndedBy = s; };
      w->InstallEndSignals();
      kill(getpid(), sig);
      QElapsedTimer t;
      t.start();
      while (gEndedBy == 0 && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
      TFormMain::EndProcess = end;
      EXPECT_EQ(gEndedBy, sig);
      w->ChangeCount = 0;
    }
    EXPECT_EQ(ReadAll(p), ProjectText(2));
    ASSERT_TRUE(FileExists(TFormMain::RecoveryFileName()));
    home.services.Answers = {IDYES};
    auto w = StartMainWindow();
    std::vector<std::string> boxes = home.TakeBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes[0].find("unsaved changes"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find(p), std::string::npos) << boxes[0];
    EXPECT_EQ(w->ProjectFileName, p);
    ASSERT_EQ(w->Scene->Count(), 2);
    EXPECT_EQ(w->Scene->Button(1)->Text, "Changed");
    EXPECT_NE(w->ChangeCount, 0);
    EXPECT_FALSE(FileExists(TFormMain::RecoveryFileName()));
    // Saved now, the page goes to its project.
    w->MISave->trigger();
    EXPECT_NE(ReadAll(p).find("Changed"), std::string::npos);
    EXPECT_EQ(w->ChangeCount, 0);
  }

  // The session manager.
  ProgramHome home;
  const std::string p = home.dir.File("page.zlm");
  WriteAll(p, ProjectText(2));
  auto w = StartMainWindow({p});
  EXPECT_TRUE(w->CommitSessionData(true));  // nothing unsaved: nothing asked
  EXPECT_TRUE(home.TakeBoxes().empty());
  w->ChangeCount = 1;
  home.services.Answers = {IDCANCEL};
  EXPECT_FALSE(w->CommitSessionData(true));
  std::vector<std::string> boxes = home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Save changes to " + p), std::string::npos) << boxes[0];
  EXPECT_EQ(w->ChangeCount, 1);
  EXPECT_TRUE(w->CommitSessionData(false));
  EXPECT_TRUE(home.TakeBoxes().empty());
  EXPECT_TRUE(FileExists(TFormMain::RecoveryFileName()));
  EXPECT_EQ(ReadAll(p), ProjectText(2));
  home.services.Answers = {IDYES};
  EXPECT_TRUE(w->CommitSessionData(true));
  EXPECT_EQ(w->ChangeCount, 0);
  EXPECT_NE(ReadAll(p).find("NumOfButtons=2"), std::string::npos);
  w->ChangeCount = 0;
}

// A save that cannot write says why and changes nothing: the count, the name, the file and its
// mode, the next start project. A project the user made read-only is refused as one in a
// folder the user may not write; Save As into that folder keeps the old name, and the close
// question's Yes tries, fails and keeps the window open.
TEST(ProjectFiles, ASaveThatCannotWriteChangesNothing) {
  struct Case {
    const char* what;
    bool folder;         // the folder is read-only, else the file
    const char* reason;  // part of the message
  } cases[] = {{"a read-only project", false, "read-only"}, {"a read-only folder", true, "Permission denied"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    Dialogs dialogs;
    const std::string folder = home.dir.File("locked");
    ForceDirectories(folder);
    const std::string p = folder + "/page.zlm";
    WriteAll(p, ProjectText(2));
    if (!c.folder) ASSERT_EQ(chmod(p.c_str(), 0444), 0);
    struct stat st {};
    ASSERT_EQ(stat(p.c_str(), &st), 0);
    const mode_t mode = st.st_mode & 07777;
    auto w = StartMainWindow({p});
    ASSERT_EQ(w->ProjectFileName, p);
    const std::string before = home.Setting("Settings", "DefaultProject");
    if (c.folder) ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    {
      AsPlainUser user;
      CountingWait wait;
      w->ChangeCount = 3;
      w->MISave->trigger();
      EXPECT_EQ(wait.begun, wait.ended);
      std::vector<std::string> boxes = home.TakeBoxes();
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].rfind("The project could not be saved.\n", 0), 0u) << boxes[0];
      EXPECT_NE(boxes[0].find(p), std::string::npos) << boxes[0];
      EXPECT_NE(boxes[0].find(c.reason), std::string::npos) << boxes[0];
      EXPECT_EQ(w->ChangeCount, 3);
      EXPECT_EQ(w->ProjectFileName, p);
      EXPECT_EQ(ReadAll(p), ProjectText(2));
      ASSERT_EQ(stat(p.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, mode);
      EXPECT_EQ(home.Setting("Settings", "DefaultProject"), before);

      if (c.folder) {
        // Save As into the locked folder: the old name stays the project's.
        dialogs.answers = {folder + "/new.zlm"};
        w->MISaveAs->trigger();
        EXPECT_EQ(home.TakeBoxes().size(), 1u);
        EXPECT_EQ(w->ProjectFileName, p);
        EXPECT_TRUE(w->windowTitle().endsWith("[" + QString::fromStdString(p) + "]"));
        EXPECT_EQ(w->ChangeCount, 3);
      }

      // Closing: Yes tries to save, fails, and the window stays; Cancel stays; No closes.
      struct Answer {
        int answer;
        bool closes;
        size_t boxes;
      } answers[] = {{IDYES, false, 2}, {IDCANCEL, false, 1}, {IDNO, true, 1}};
      for (const Answer& a : answers) {
        SCOPED_TRACE(a.answer);
        home.services.Answers = {a.answer};
        EXPECT_EQ(w->close(), a.closes);
        std::vector<std::string> shown = home.TakeBoxes();
        ASSERT_EQ(shown.size(), a.boxes);
        EXPECT_EQ(shown[0], "Save changes to " + p + "?");
        if (a.boxes == 2) EXPECT_EQ(shown[1].rfind("The project could not be saved.", 0), 0u);
        EXPECT_EQ(w->ChangeCount, 3);
      }
      EXPECT_EQ(ReadAll(p), ProjectText(2));
    }
    chmod(folder.c_str(), 0755);
  }
}

// A project that cannot be opened is reported; the page, its name, its size and the recent
// list stay as they were, and every wait that began has ended.
TEST(ProjectFiles, OpeningABrokenFileKeepsTheCurrentPage) {
  struct Case {
    const char* what;
    const char* reason;  // part of the message
  } cases[] = {
      {"missing", "gone.zlm"},
      {"a folder", "is a folder, not a file"},
      // Nothing that could block the program is read: a pipe or a device is refused at once.
      {"a pipe", "is a named pipe, not a file"},
      {"a device", "is a device, not a file"},
      {"bad colour", "not a colour"},
      // Files that are no projects at all, chosen under "All Files".
      {"a picture", "is not a project file"},
      {"a text", "is not a project file"},
      {"an empty file", "is not a project file"},
      {"another INI file", "is not a project file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    Dialogs dialogs;
    const std::string good = home.dir.File("good.zlm");
    WriteAll(good, ProjectText(3));
    std::string bad = home.dir.File("gone.zlm");
    if (std::string(c.what) == "a folder") {
      bad = home.dir.File("folder.zlm");
      ForceDirectories(bad);
    } else if (std::string(c.what) == "a pipe") {
      bad = home.dir.File("pipe.zlm");
      ASSERT_EQ(mkfifo(bad.c_str(), 0600), 0);
    } else if (std::string(c.what) == "a device") {
      bad = "/dev/zero";
    } else if (std::string(c.what) == "bad colour") {
      bad = home.dir.File("bad.zlm");
      WriteAll(bad,
               "[Heading]\r\nBGColor=not a "
               "colour\r\nNumOfButtons=1\r\nProjectWidth=64\r\n[Button0]\r\nButtonText=x\r\n");
    } else if (std::string(c.what) != "missing") {
      const std::string what = c.what;
      bad = home.dir.File(what == "a picture" ? "splash.png" : "notes.txt");
      WriteAll(bad, what == "a picture"          ? std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                    : what == "a text"           ? std::string("Shopping: bread=2, milk\n")
                    : what == "another INI file" ? std::string("[Settings]\r\nLanguage=EN\r\n")
                                                 : std::string());
    }
    const std::string badBytes = FileExists(bad) ? ReadAll(bad) : std::string();
    auto w = StartMainWindow();
    dialogs.answers = {good};
    w->MIOpenProject->trigger();
    ASSERT_EQ(w->Scene->Count(), 3);
    CountingWait wait;
    const QString title = w->windowTitle();
    dialogs.answers = {bad};
    w->MIOpenProject->trigger();
    std::vector<std::string> boxes = home.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("The project " + bad + " could not be opened:\n", 0), 0u) << boxes[0];
    EXPECT_NE(boxes[0].find(c.reason), std::string::npos) << boxes[0];
    EXPECT_EQ(w->Scene->Count(), 3);
    EXPECT_EQ(w->Scene->Button(0)->Text, "Item 0");
    EXPECT_EQ(w->Scene->Page->Width(), 320);
    EXPECT_EQ(w->ProjectFileName, good);
    EXPECT_EQ(w->windowTitle(), title);
    EXPECT_EQ(wait.begun, wait.ended);
    EXPECT_EQ(w->Recent[0]->text().toStdString(), good);
    EXPECT_FALSE(w->Recent[1]->isVisible());
    // The page saved now still goes to the file it came from, whole.
    w->MISave->trigger();
    EXPECT_NE(ReadAll(good).find("NumOfButtons=3"), std::string::npos);
    if (FileExists(bad)) EXPECT_EQ(ReadAll(bad), badBytes);
  }
}

// A project is known by its [Heading] section, whatever else it holds: a page without objects
// and a file that begins with a UTF-8 byte-order mark open as the projects they are.
TEST(ProjectFiles, ProjectsOpenByTheirHeading) {
  struct Case {
    const char* what;
    std::string text;
    int objects;
  } cases[] = {
      {"no objects", "[Heading]\r\nNumOfButtons=0\r\nProjectWidth=200\r\nProjectHeight=100\r\n", 0},
      {"byte-order mark", "\xEF\xBB\xBF" + ProjectText(2), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    Dialogs dialogs;
    const std::string p = home.dir.File("page.zlm");
    WriteAll(p, c.text);
    auto w = StartMainWindow();
    dialogs.answers = {p};
    w->MIOpenProject->trigger();
    EXPECT_TRUE(home.TakeBoxes().empty());
    EXPECT_EQ(w->ProjectFileName, p);
    EXPECT_EQ(w->Scene->Count(), c.objects);
    EXPECT_EQ(w->ChangeCount, 0);
  }
}

// A project opened on a machine that lacks some of its pictures names them, once per load;
// the objects are drawn without them, and a picture copied into Images afterwards shows at
// the next redraw.
TEST(ProjectFiles, MissingPicturesAreNamedOncePerLoad) {
  ProgramHome home;
  Dialogs dialogs;
  const std::string p = home.dir.File("pictures.zlm");
  WriteAll(p,
           "[Heading]\r\nNumOfButtons=3\r\nProjectWidth=200\r\nProjectHeight=100\r\n"
           "[Button0]\r\nRectLeft=0\r\nRectTop=0\r\nRectRight=40\r\nRectBottom=40\r\nShape=0\r\n"
           "TextureFileName=C:\\art\\gone one.bmp\r\n"
           "[Button1]\r\nRectLeft=50\r\nRectTop=0\r\nRectRight=90\r\nRectBottom=40\r\nShape=0\r\n"
           "TextureFileName=gone one.bmp\r\n"
           "[Button2]\r\nRectLeft=100\r\nRectTop=0\r\nRectRight=140\r\nRectBottom=40\r\nShape=0\r\n"
           "TextureFileName=gone two.jpg\r\n");
  auto w = StartMainWindow();
  home.TakeBoxes();
  for (int load = 0; load < 2; ++load) {
    dialogs.answers = {p};
    w->MIOpenProject->trigger();
    w->RedrawScene(true);
    std::vector<std::string> boxes = home.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u) << load;
    EXPECT_NE(boxes[0].find("gone one.bmp"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("gone two.jpg"), std::string::npos) << boxes[0];
    EXPECT_EQ(boxes[0].find("gone one.bmp"), boxes[0].rfind("gone one.bmp")) << boxes[0];
  }
  EXPECT_EQ(w->ProjectFileName, p);

  XImage picture;
  picture.SetSize(4, 4);
  picture.Canvas().Brush.SetColor(0x0000FF);  // red
  picture.Canvas().FillRect(TRect(0, 0, 4, 4));
  picture.SaveToFile(home.dir.File("Images/gone one.bmp"));
  w->RedrawScene(true);
  for (int x : {20, 70}) {
    uint32_t v;
    std::memcpy(&v, w->Scene->Page->ScanLine(20) + 4 * x, 4);
    EXPECT_EQ(v & 0xFFFFFF, 0xFF0000u) << x;
  }
  EXPECT_TRUE(home.TakeBoxes().empty());
}

// A file cut short names more objects than it holds: Open says so, with both numbers, before
// a Save could make the loss permanent; the page shows what is there and the file is not
// touched. Sections left beyond the count by an earlier, larger page are no damage.
TEST(ProjectFiles, ADamagedProjectSaysHowManyObjectsItNamesAndHolds) {
  auto cut = [](int named, const std::vector<int>& held) {
    std::string s = "[Heading]\r\nNumOfButtons=" + std::to_string(named) + "\r\nProjectWidth=320\r\n";
    for (int i : held) s += Object(i, "Item+" + std::to_string(i), 8, 8 + 8 * i);
    return s;
  };
  struct Case {
    const char* what;
    std::string text;
    int named, held;  // held < named: the box is expected
  } cases[] = {
      {"cut after three of six", cut(6, {0, 1, 2}), 6, 3},
      {"a section missing in the middle", cut(4, {0, 1, 3}), 4, 3},
      {"no objects left at all", cut(2, {}), 2, 0},
      {"old sections beyond the count", cut(2, {0, 1, 2, 3}), 2, 2},
      {"whole", ProjectText(3), 3, 3},
      // Cut inside its last section, the file holds every object; the torn key is what the
      // page lacks, and it is named.
      {"cut inside the last section", cut(3, {0, 1}) + "[Button2]\r\nButtonTe", 3, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool atStart : {false, true}) {
      SCOPED_TRACE(atStart ? "named on the command line" : "opened from the menu");
      ProgramHome home;
      Dialogs dialogs;
      const std::string p = home.dir.File("cut.zlm");
      WriteAll(p, c.text);
      std::unique_ptr<TFormMain> w;
      if (atStart) {
        w = StartMainWindow({p});
        QCoreApplication::processEvents();
      } else {
        w = StartMainWindow();
        home.TakeBoxes();
        dialogs.answers = {p};
        w->MIOpenProject->trigger();
      }
      std::vector<std::string> boxes = home.TakeBoxes();
      EXPECT_EQ(w->ProjectFileName, p);
      EXPECT_EQ(w->Scene->Count(), c.held);
      if (c.held < c.named) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].find(p + " looks damaged"), std::string::npos) << boxes[0];
        EXPECT_NE(boxes[0].find("names " + std::to_string(c.named) + " objects but holds only " +
                                std::to_string(c.held)),
                  std::string::npos)
            << boxes[0];
      } else if (std::string(c.what) == "cut inside the last section") {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].find("holds 1 line that is not part of a project (the first: \"ButtonTe\")"),
                  std::string::npos)
            << boxes[0];
      } else {
        EXPECT_TRUE(boxes.empty()) << boxes[0];
      }
      EXPECT_EQ(ReadAll(p), c.text);
    }
  }
}

// A text that only has a [Heading] line among its own lines opens as a page, and the user is
// told at once which of its lines the page does not hold; a Save into that file asks before it
// drops them: Cancel writes nothing, No saves under another name, Yes saves and drops them.
TEST(ProjectFiles, LinesThatAreNotPartOfAProjectAreNotDroppedWithoutAQuestion) {
  const std::string notes =
      "Shopping list\n[Heading]\nNumOfButtons=1\nmilk, bread\n[Button0]\nButtonText=Buy\nButtonText=Sell\n";
  struct Case {
    int answer;
    bool dropped;
  } cases[] = {{IDCANCEL, false}, {IDNO, false}, {IDYES, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    ProgramHome home;
    Dialogs dialogs;
    const std::string p = home.dir.File("notes.txt");
    WriteAll(p, notes);
    auto w = StartMainWindow();
    home.TakeBoxes();
    dialogs.answers = {p};
    w->MIOpenProject->trigger();
    std::vector<std::string> boxes = home.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(p + " holds 3 lines that are not part of a project (the first: \"Shopping list\")"),
              std::string::npos)
        << boxes[0];
    ASSERT_EQ(w->ProjectFileName, p);
    ASSERT_EQ(w->Scene->Count(), 1);
    EXPECT_EQ(ReadAll(p), notes);

    w->ChangeCount = 1;
    home.services.Answers = {c.answer};
    dialogs.answers = {home.dir.File("page.zlm")};
    w->MISave->trigger();
    boxes = home.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(p + " holds 3 lines that are not part of a project"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("drops them"), std::string::npos) << boxes[0];
    const std::string now = ReadAll(p);
    if (c.dropped) {
      EXPECT_EQ(now.find("Shopping list"), std::string::npos);
      EXPECT_NE(now.find("ButtonText=Sell"), std::string::npos);
      EXPECT_EQ(w->ChangeCount, 0);
      EXPECT_EQ(w->ProjectFileName, p);
    } else {
      EXPECT_EQ(now, notes);
    }
    if (c.answer == IDNO) {
      EXPECT_EQ(w->ProjectFileName, home.dir.File("page.zlm"));
      EXPECT_NE(ReadAll(home.dir.File("page.zlm")).find("ButtonText=Sell"), std::string::npos);
      EXPECT_EQ(w->ChangeCount, 0);
    }
    if (c.answer == IDCANCEL) {
      EXPECT_EQ(w->ProjectFileName, p);
      EXPECT_EQ(w->ChangeCount, 1);
      EXPECT_TRUE(dialogs.calls.size() == 1u) << "no save dialog";
    }
    // Once the file holds only the page, Save asks nothing more.
    if (c.dropped) {
      w->ChangeCount = 1;
      w->MISave->trigger();
      EXPECT_TRUE(home.TakeBoxes().empty());
    }
  }
}

// A project moved with its pictures (beside it, or in an Images folder there) opens with them:
// they are copied into the image folder and drawn, and only a picture found nowhere is named.
// A picture the image folder has already is not replaced, and a pipe of a picture's name is
// not read.
TEST(ProjectFiles, PicturesMovedWithTheProjectAreTakenIn) {
  ProgramHome home;
  Dialogs dialogs;
  auto picture = [](const std::string& file, TColor colour) {
    XImage image;
    image.SetSize(4, 4);
    image.Canvas().Brush.SetColor(colour);
    image.Canvas().FillRect(TRect(0, 0, 4, 4));
    image.SaveToFile(file);
  };
  const std::string moved = home.dir.File("moved: here");
  ASSERT_TRUE(ForceDirectories(moved + "/Images"));
  picture(moved + "/beside one.bmp", 0x0000FF);        // red
  picture(moved + "/Images/in images.bmp", 0x00FF00);  // green
  picture(moved + "/kept.bmp", 0x0000FF);
  picture(home.dir.File("Images/kept.bmp"), 0xFF0000);  // blue, the image folder's own
  picture(moved + "/Other Case.bmp", 0x0000FF);
  ASSERT_EQ(mkfifo((moved + "/pipe.bmp").c_str(), 0600), 0);
  const std::string keptBytes = ReadAll(home.dir.File("Images/kept.bmp"));
  std::string text = "[Heading]\r\nNumOfButtons=5\r\nProjectWidth=260\r\nProjectHeight=60\r\n";
  const char* names[] = {"C:\\art\\beside one.bmp", "in images.bmp", "kept.bmp", "pipe.bmp", "other case.bmp"};
  for (int i = 0; i < 5; ++i)
    text += "[Button" + std::to_string(i) + "]\r\nRectLeft=" + std::to_string(50 * i) + "\r\nRectTop=0\r\nRectRight=" +
            std::to_string(50 * i + 40) + "\r\nRectBottom=40\r\nShape=0\r\nTextureFileName=" + names[i] + "\r\n";
  const std::string p = moved + "/page.zlm";
  WriteAll(p, text);
  auto w = StartMainWindow();
  home.TakeBoxes();
  dialogs.answers = {p};
  w->MIOpenProject->trigger();
  std::vector<std::string> boxes = home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].find("beside one.bmp"), std::string::npos) << boxes[0];
  EXPECT_EQ(boxes[0].find("in images.bmp"), std::string::npos) << boxes[0];
  EXPECT_EQ(boxes[0].find("kept.bmp"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("pipe.bmp"), std::string::npos) << boxes[0];
  // Names in the user's folder compare exactly: "Other Case.bmp" is not "other case.bmp".
  EXPECT_NE(boxes[0].find("other case.bmp"), std::string::npos) << boxes[0];
  EXPECT_FALSE(FileExists(home.dir.File("Images/Other Case.bmp")));
  EXPECT_EQ(ReadAll(home.dir.File("Images/beside one.bmp")), ReadAll(moved + "/beside one.bmp"));
  EXPECT_EQ(ReadAll(home.dir.File("Images/in images.bmp")), ReadAll(moved + "/Images/in images.bmp"));
  EXPECT_EQ(ReadAll(home.dir.File("Images/kept.bmp")), keptBytes);
  EXPECT_FALSE(FileExists(home.dir.File("Images/pipe.bmp")));
  w->RedrawScene(true);
  for (auto [x, colour] : {std::pair{20, 0xFF0000u}, {70, 0x00FF00u}, {120, 0x0000FFu}}) {
    uint32_t v;
    std::memcpy(&v, w->Scene->Page->ScanLine(20) + 4 * x, 4);
    EXPECT_EQ(v & 0xFFFFFF, colour) << x;
  }
  // Saved, the project still names its pictures alone, as every project does.
  w->ChangeCount = 1;
  w->MISave->trigger();
  EXPECT_NE(ReadAll(p).find("TextureFileName=beside one.bmp\r\n"), std::string::npos);
}

// Another running copy has the project open: Open says so, by whatever name the file is chosen,
// and No keeps the page; a copy started on that project says so too. The project this window
// has open is what other copies see, and only while it is open here.
TEST(ProjectFiles, AProjectOpenInAnotherCopySaysSo) {
  ProgramHome home;
  Dialogs dialogs;
  const std::string shared = home.dir.File("shared.zlm"), mine = home.dir.File("mine.zlm");
  const std::string link = home.dir.File("link to shared.zlm");
  WriteAll(shared, ProjectText(2));
  WriteAll(mine, ProjectText(1));
  ASSERT_EQ(symlink(shared.c_str(), link.c_str()), 0);
  {
    OtherProcess other([shared] { return !HoldOpenFileLock(shared).empty(); });
    const std::string pid = "(process " + std::to_string(other.Pid()) + ")";
    auto w = StartMainWindow({mine});
    EXPECT_TRUE(home.TakeBoxes().empty());
    struct Case {
      const std::string& chosen;
      int answer;
    } cases[] = {{shared, IDNO}, {link, IDNO}, {link, IDYES}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.chosen + " " + std::to_string(c.answer));
      home.services.Answers = {c.answer};
      dialogs.answers = {c.chosen};
      w->MIOpenProject->trigger();
      std::vector<std::string> boxes = home.TakeBoxes();
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_NE(boxes[0].find("The project " + c.chosen + " is open in another copy of the program too " + pid),
                std::string::npos)
          << boxes[0];
      EXPECT_EQ(w->ProjectFileName, c.answer == IDYES ? c.chosen : mine);
    }
    w.reset();

    // Started on it, a copy says so once it is up.
    w = StartMainWindow({shared});
    QCoreApplication::processEvents();
    std::vector<std::string> boxes = home.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("is open in another copy of the program too " + pid), std::string::npos) << boxes[0];
    EXPECT_EQ(w->ProjectFileName, shared);
  }

  // The other copy has ended: nothing is asked.
  auto w = StartMainWindow({mine});
  dialogs.answers = {shared};
  w->MIOpenProject->trigger();
  EXPECT_TRUE(home.TakeBoxes().empty());
  ASSERT_EQ(w->ProjectFileName, shared);
  // What another copy sees of this one: the open project, by any of its names, and no other.
  const int self = getpid();
  {
    OtherProcess probe([&] {
      return FindOpenFileHolder(shared) == self && FindOpenFileHolder(link) == self &&
             FindOpenFileHolder(mine) == 0;
    });
  }
  // A new page has no file: the project is no longer open here.
  home.services.Answers = {IDYES};
  w->MINewProject->trigger();
  ASSERT_EQ(w->ProjectFileName, "");
  OtherProcess probe([&] { return FindOpenFileHolder(shared) == 0; });
}

// Given on the command line, a file that is no project is reported and does not become the
// page's name, so that no save can write a project over it.
TEST(ProjectFiles, ANonProjectOnTheCommandLineIsReportedAndNotNamed) {
  ProgramHome home;
  Dialogs dialogs;
  const std::string picture = home.dir.File("photo.png");
  const std::string bytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  WriteAll(picture, bytes);
  auto w = StartMainWindow({picture});
  QCoreApplication::processEvents();
  std::vector<std::string> boxes = home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(picture), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("is not a project file"), std::string::npos) << boxes[0];
  EXPECT_TRUE(w->ProjectFileName.empty());
  EXPECT_TRUE(w->windowTitle().endsWith("[noname.zlm]"));
  dialogs.answers = {""};  // the save asks for a name, and is cancelled
  w->MISave->trigger();
  EXPECT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(ReadAll(picture), bytes);
}

TEST(ProjectFiles, RecentListFollowsOpensAndReopens) {
  ProgramHome home;
  Dialogs dialogs;
  const std::string a = home.dir.File("a.zlm"), b = home.dir.File("R&D b.zlm");
  WriteAll(a, ProjectText(1));
  WriteAll(b, ProjectText(2));
  auto w = StartMainWindow();
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(w->Recent[i]->isVisible());
  dialogs.answers = {a, b, a};
  for (int i = 0; i < 3; ++i) w->MIOpenProject->trigger();
  // Newest first; the same file twice fills two entries; a "&" shows as itself.
  std::vector<std::string> shown;
  for (int i = 0; i < 5; ++i)
    if (w->Recent[i]->isVisible()) shown.push_back(w->Recent[i]->text().toStdString());
  EXPECT_EQ(shown, (std::vector<std::string>{a, home.dir.File("R&&D b.zlm"), a}));

  // Reopening asks about unsaved changes first: Cancel keeps the page.
  w->ChangeCount = 1;
  home.services.Answers = {IDCANCEL};
  w->Recent[1]->trigger();
  EXPECT_EQ(home.TakeBoxes(), (std::vector<std::string>{"Save changes to " + a + "?"}));
  EXPECT_EQ(w->ProjectFileName, a);
  EXPECT_EQ(w->ChangeCount, 1);
  // No: the file of the entry opens, and the list stays as it was.
  home.services.Answers = {IDNO};
  w->Recent[1]->trigger();
  EXPECT_EQ(home.TakeBoxes().size(), 1u);
  EXPECT_EQ(w->ProjectFileName, b);
  EXPECT_EQ(w->Scene->Count(), 2);
  EXPECT_EQ(w->ChangeCount, 0);
  EXPECT_EQ(w->Recent[0]->text().toStdString(), a);
  // An accelerator mark put into the caption is not part of the name.
  w->Recent[0]->setText("&" + QString::fromStdString(a));
  w->Recent[0]->trigger();
  EXPECT_EQ(w->ProjectFileName, a);
  // An entry whose file has gone is reported and changes nothing.
  DeleteFile(b);
  w->Recent[1]->trigger();
  std::vector<std::string> boxes = home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("could not be opened"), std::string::npos);
  EXPECT_EQ(w->ProjectFileName, a);
  EXPECT_EQ(w->Scene->Count(), 1);
  EXPECT_EQ(dialogs.calls.size(), 3u);
}

TEST(ProjectFiles, TemplateLibraryFillsTheLibraryList) {
  ProgramHome home;
  auto w = StartMainWindow();
  auto* dock = new QDockWidget("Library", w.get());
  dock->setObjectName("FormLibrary");
  auto* list = new QListWidget(dock);
  list->setObjectName("ListTemplates");
  list->setSortingEnabled(true);
  dock->setWidget(list);
  list->addItem("stale");
  const std::string file = home.dir.File("lib.zlm");
  WriteAll(file, "[Heading]\r\nNumOfButtons=3\r\n" + Object(0, "++Zeta", 0, 0) + Object(1, "Alpha+", 0, 0) +
                     Object(2, "Mid", 0, 0));
  w->LoadTemplateLibrary(file);
  ASSERT_EQ(w->TemplateLibrary->Count(), 3);
  ASSERT_EQ(list->count(), 3);
  std::vector<std::string> names;
  for (int i = 0; i < list->count(); ++i) {
    names.push_back(list->item(i)->text().toStdString());
    auto* t = static_cast<TZLMButton*>(list->item(i)->data(Qt::UserRole).value<void*>());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(Trim(t->Text), names.back());
    EXPECT_GE(w->TemplateLibrary->IndexOf(t), 0);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Mid", "Zeta"}));
  // No library: an empty list.
  w->LoadTemplateLibrary("");
  EXPECT_EQ(w->TemplateLibrary->Count(), 0);
  EXPECT_EQ(list->count(), 0);
}

}  // namespace
