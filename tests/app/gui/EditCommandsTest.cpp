// The Edit and Options commands on the real main window: the object clipboard, the single
// undo with the change count, delete, duplicate, z-order, selection, groups, the grid, the
// page size, the background colour, the resize dialog and the Edit menu's enabling.
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "POP/gui/PopDialogs.h"
#include "app/forms/Unitedithtmlhead.h"
#include "app/forms/Uniteditprojectsize.h"
#include "app/forms/Unitgridsize.h"
#include "app/forms/Unitresize.h"
#include "platform/ImageLimits.h"
#include "platform/WaitIndicator.h"
#include "platform/gui/QtUpDown.h"
#include "tests/support/ProgramHome.h"

namespace {

using Obj = TestObject;

// A 320 x 200 page, grid 8, snapping on: A (40,40)-(120,80), B (160,40)-(240,80) and
// C (40,120)-(120,160); B is styled from the template "Glass" and links to b.htm.
const std::vector<Obj>& kThree = kThreeTestObjects;

std::string WriteProject(ProgramHome& home, const std::string& file, const std::vector<Obj>& objects,
                         const std::string& background = "clWhite") {
  return WriteTestProject(home.dir.File(file), objects, 320, 200, background, [](const Obj& o) {
    return std::string(o.text) == "B" ? "StyleName=Glass\nLinkAddress=b.htm\nShape=5\n" : "";
  });
}

std::unique_ptr<TFormMain> Start(const std::string& project) { return StartEditing(project); }

// Selects exactly the objects with these texts; the first becomes the current one. As every
// selection the user makes, it sets the controls from the current object, which enables the
// object commands.
void SelectTexts(TFormMain& w, const std::string& texts) {
  TZLMButton* current = nullptr;
  for (int i = 0; i < w.Scene->Count(); ++i) {
    TZLMButton* o = w.Scene->Button(i);
    o->SetSelected(texts.find(o->Text) != std::string::npos);
  }
  for (char c : texts)
    for (int i = 0; i < w.Scene->Count() && !current; ++i)
      if (w.Scene->Button(i)->Text == std::string(1, c)) current = w.Scene->Button(i);
  w.SyncControlsFromButton(current);
}

// The objects bottom to top as "text@left,top".
std::string Order(TFormMain& w) {
  std::string s;
  for (int i = 0; i < w.Scene->Count(); ++i) {
    const TZLMButton* o = w.Scene->Button(i);
    if (!s.empty()) s += " ";
    s += o->Text + "@" + std::to_string(o->Bounds.Left) + "," + std::to_string(o->Bounds.Top);
  }
  return s;
}

std::string Selected(TFormMain& w) {
  std::string s;
  for (int i = 0; i < w.Scene->Count(); ++i)
    if (w.Scene->Button(i)->IsSelected) s += w.Scene->Button(i)->Text;
  return s;
}

// The whole scene as a save writes it.
std::string SceneText(TFormMain& w) {
  TINIDocument doc("");
  w.Scene->SaveToINI(doc);
  return doc.AsString();
}

// The page bitmap's pixel at (x, y) as 0x00RRGGBB.
uint32_t PagePixel(TFormMain& w, int x, int y) {
  uint32_t v;
  std::memcpy(&v, w.Scene->Page->ScanLine(y) + 4 * x, 4);
  return v & 0xFFFFFF;
}

// One object as the object clipboard holds it.
std::string ClipObject(int i, const std::string& text, int l, int t, int r, int b) {
  return "[Button" + std::to_string(i) + "]\nGroup=\nButtonText=" + text + "\nLinkAddress=\nStyleName=\n" +
         "RectLeft=" + std::to_string(l) + "\nRectRight=" + std::to_string(r) +
         "\nRectTop=" + std::to_string(t) + "\nRectBottom=" + std::to_string(b) +
         "\nIsSelected=1\nFontName=Verdana\nFontColor=-2147483640\nFontSize=10\nFontHeight=-13\n"
         "FontBold=0\nFontItalic=0\nFontUnderline=0\nFontStrikeOut=0\nAlignX=2\nAlignY=2\nShape=1\n"
         "PenWidth=2\nCurveSize=32\nTextureMode=1\nTextStyle=0\nIsTransparent=0\nIsAntialiased=0\n"
         "Color0=12632256\nColor1=0\nColor2=8421504\nColor3=12632256\nColor4=16777215\n"
         "Color5=0\nColor6=0\nColor7=0\nColor8=0\nColor9=0\nTextureFileName=\n";
}

// Runs `action` on the next modal dialog once it is up.
void WhileModal(std::function<void(QWidget*)> action) {
  QTimer::singleShot(0, [action] {
    QWidget* d = QApplication::activeModalWidget();
    ASSERT_NE(d, nullptr);
    action(d);
  });
}

TEST(EditCommands, CopyPutsTheSelectionOnBothClipboardsAndPasteAddsItAtItsPlace) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  SelectTexts(*w, "CA");  // C is the current object
  QGuiApplication::clipboard()->clear();
  w->MICopy->trigger();
  EXPECT_EQ(w->ClipboardDoc->AsString(),
            ClipObject(0, "A", 40, 40, 120, 80) + ClipObject(1, "C", 40, 120, 120, 160) +
                "[Heading]\nVersion=1.0\nBGColor=clWhite\nLastSelected=1\nNumOfButtons=2\n"
                "MetaInfo=\n");
  // The picture is the page inside the selection's bounds.
  QImage picture = QGuiApplication::clipboard()->image();
  ASSERT_EQ(picture.size(), QSize(80, 120));
  for (QPoint p : {QPoint(0, 0), QPoint(40, 20), QPoint(40, 60), QPoint(79, 119)})
    EXPECT_EQ(picture.pixel(p) & 0xFFFFFF, PagePixel(*w, 40 + p.x(), 40 + p.y())) << p.x() << "," << p.y();
  EXPECT_EQ(w->ChangeCount, 0);
  EXPECT_FALSE(w->UndoAvailable);

  // Pasted twice: each paste lays the objects at the places they were copied from, on top,
  // selected; the page keeps its own colour; each paste is a change that Undo takes back.
  w->Scene->BGColor = 0x123456;
  w->Scene->SelectNone();
  w->MIPaste->trigger();
  w->MIPaste->trigger();
  EXPECT_EQ(Order(*w), "A@40,40 B@160,40 C@40,120 A@40,40 C@40,120 A@40,40 C@40,120");
  EXPECT_EQ(Selected(*w), "ACAC");
  EXPECT_EQ(w->Scene->BGColor, TColor(0x123456));
  EXPECT_EQ(w->Scene->Current, nullptr);
  EXPECT_NE(w->ChangeCount, 0);
  EXPECT_TRUE(w->UndoAvailable);
  EXPECT_TRUE(home.services.Boxes.empty());
  w->MIUndo->trigger();
  EXPECT_EQ(Order(*w), "A@40,40 B@160,40 C@40,120 A@40,40 C@40,120");
  EXPECT_EQ(w->Scene->BGColor, TColor(0x123456));
}

TEST(EditCommands, PasteIntoAnotherProjectKeepsPlacesAndThatPagesColour) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  SelectTexts(*w, "B");
  w->MICopy->trigger();
  w->LoadProject(WriteProject(home, "other.zlm", {{"X", 8, 8, 40, 40}}, "clNavy"), false);
  w->MIPaste->trigger();
  EXPECT_EQ(Order(*w), "X@8,8 B@160,40");
  EXPECT_EQ(w->Scene->BGColor, TColor(0x800000));
  TZLMButton* b = w->Scene->Button(1);
  EXPECT_EQ(b->StyleName, "Glass");
  EXPECT_EQ(b->LinkAddress, "b.htm");
  EXPECT_EQ(b->Style->Shape, 5);
  // Rendered where it lies: its face is not the background.
  EXPECT_NE(PagePixel(*w, 200, 50), 0x000080u);
}

TEST(EditCommands, PasteOfAnEmptyOrDamagedClipboardAddsNothing) {
  struct Case {
    const char* what;
    std::string clipboard;
    bool reported;
  } cases[] = {
      {"empty", "", false},
      {"no objects", "[Heading]\nNumOfButtons=0\n[Button0]\nButtonText=Old\n", false},
      {"a bad escape in the second object",
       "[Heading]\nNumOfButtons=2\n[Button0]\nButtonText=Good\n[Button1]\nButtonText=%zz\n", true},
      {"a bad page colour", "[Heading]\nBGColor=nonsense\nNumOfButtons=1\n[Button0]\nButtonText=Good\n",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", kThree));
    w->ClipboardDoc->LoadFromString(c.clipboard);
    const std::string before = SceneText(*w);
    w->MIPaste->trigger();
    EXPECT_EQ(SceneText(*w), before);
    EXPECT_EQ(w->ChangeCount, 0);
    EXPECT_EQ(home.services.Boxes.size(), c.reported ? 1u : 0u);
    if (c.reported && !home.services.Boxes.empty()) {
      EXPECT_EQ(home.services.Boxes[0].text.rfind("The clipboard could not be pasted.", 0), 0u);
    }
  }
}

TEST(EditCommands, CutThenUndoBringsTheObjectsBackAndTheClipboardKeepsThem) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  const std::string before = SceneText(*w);
  SelectTexts(*w, "AB");
  const std::string selected = SceneText(*w);
  w->MICut->trigger();
  EXPECT_EQ(Order(*w), "C@40,120");
  EXPECT_EQ(w->Scene->Current, nullptr);
  EXPECT_EQ(w->ClipboardDoc->ReadInteger("Heading", "NumOfButtons", 0), 2);
  // Where A was, the page shows the background again.
  EXPECT_EQ(PagePixel(*w, 41, 41), 0xFFFFFFu);
  EXPECT_EQ(w->ChangeCount, 1);
  w->MIUndo->trigger();
  EXPECT_EQ(SceneText(*w), selected);
  EXPECT_NE(before, selected);
  EXPECT_EQ(w->ChangeCount, 0);
  EXPECT_NE(PagePixel(*w, 41, 41), 0xFFFFFFu);
  w->Scene->SelectNone();
  w->MIPaste->trigger();
  EXPECT_EQ(Order(*w), "A@40,40 B@160,40 C@40,120 A@40,40 B@160,40");
}

// Each command that changes the page can be undone once: the page comes back as it was
// before the command, and the count says "saved" again.
TEST(EditCommands, UndoAfterEachKindOfCommand) {
  struct Case {
    const char* what;
    std::function<void(ProgramHome&, TFormMain&)> command;
    const char* select = "A";
  } cases[] = {
      {"delete", [](ProgramHome&, TFormMain& w) { w.MIDelete->trigger(); }},
      {"duplicate", [](ProgramHome&, TFormMain& w) { w.MenuItemDuplicate1Click(nullptr); }},
      {"bring to front", [](ProgramHome&, TFormMain& w) { w.MIBringToFront->trigger(); }},
      {"send to back", [](ProgramHome&, TFormMain& w) { w.MISendToBack->trigger(); }, "C"},
      {"align to grid", [](ProgramHome&, TFormMain& w) { w.MenuItemAlignToGrid2->trigger(); }, "D"},
      {"background colour",
       [](ProgramHome&, TFormMain& w) {
         SetDialogHook([](TCommonDialog& d) {
           static_cast<TColorDialog&>(d).Color = 0x00FF00;
           return true;
         });
         w.MISetBackgroundColor->trigger();
         SetDialogHook(nullptr);
       }},
      {"resize",
       [](ProgramHome&, TFormMain& w) {
         WhileModal([](QWidget* d) {
           auto* f = static_cast<TFormResize*>(d);
           f->EditWidth->setText("200");
           f->ButtonOK->click();
         });
         w.MIButtonResize->trigger();
       }},
      {"new project",
       [](ProgramHome& home, TFormMain& w) {
         home.services.Answers = {IDYES};
         w.MINewProject->trigger();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    std::vector<Obj> objects = kThree;
    objects.push_back({"D", 43, 45, 123, 85});  // off the grid
    auto w = Start(WriteProject(home, "edit.zlm", objects));
    SelectTexts(*w, c.select);
    const std::string before = SceneText(*w);
    c.command(home, *w);
    EXPECT_NE(SceneText(*w), before);
    EXPECT_TRUE(w->UndoAvailable);
    const bool isNew = std::string(c.what) == "new project";
    EXPECT_EQ(w->ChangeCount, isNew ? 0 : 1);
    w->MIUndo->trigger();
    EXPECT_EQ(SceneText(*w), before);
    EXPECT_FALSE(w->UndoAvailable);
    // After New the old page is back under its own name, as saved there.
    EXPECT_EQ(w->ChangeCount, 0);
    EXPECT_EQ(w->ProjectFileName, home.dir.File("edit.zlm"));
    // A second undo does nothing.
    w->Scene->Button(2)->Bounds = TRect(0, 0, 10, 10);
    const std::string now = SceneText(*w);
    w->MIUndo->trigger();
    EXPECT_EQ(SceneText(*w), now);
  }
}

// Answers the next file dialogs with this name.
struct ChooseFile {
  explicit ChooseFile(const std::string& name) {
    SetDialogHook([name](TCommonDialog& d) {
      static_cast<TOpenDialog&>(d).FileName = name;
      return true;
    });
  }
  ~ChooseFile() { SetDialogHook(nullptr); }
};

// The page as a whole: the objects with the page keys, the head settings and the file name.
struct PageState {
  std::string scene;
  int width, height, grid;
  std::string title, fileName;
  bool operator==(const PageState&) const = default;
};
std::ostream& operator<<(std::ostream& os, const PageState& s) {
  return os << s.fileName << " " << s.width << "x" << s.height << " grid " << s.grid << " title '" << s.title
            << "'\n"
            << s.scene;
}
PageState StateOf(TFormMain& w) {
  return {SceneText(w),   w.Scene->Page->Width(),     w.Scene->Page->Height(),
          w.Scene->GridX, w.Scene->ReadString("Tit"), w.ProjectFileName};
}

// Undo brings back the page the snapshot was taken from, whole: its objects, its size, grid,
// colour and head settings, and the file it belonged to with its caption and the count that
// goes with it; a snapshot never comes back under another file's name.
TEST(EditCommands, UndoRestoresTheWholePageAndItsFileName) {
  TFormEditHTMLHead head;
  FormEditHTMLHead = &head;
  auto editTitle = [](TFormMain& w, const char* title) {
    WhileModal([title](QWidget* d) {
      auto* f = static_cast<TFormEditHTMLHead*>(d);
      f->EditTitle->setText(title);
      f->ButtonOK->click();
    });
    w.MIEditHTMLHeader->trigger();
  };
  struct Case {
    const char* what;
    std::function<void(ProgramHome&, TFormMain&)> command;
    int countAfterUndo;  // 1: unsaved (not 0)
    std::function<void(ProgramHome&, TFormMain&)> prepare = {};
  } cases[] = {
      // A change, then another project opened without saving it: the undo goes back to the
      // first project as it is in its file.
      {"open another project",
       [](ProgramHome& home, TFormMain& w) {
         w.MIDelete->trigger();
         const std::string other =
             WriteTestProject(home.dir.File("other.zlm"), {{"X", 8, 8, 64, 32}}, 400, 300, "clRed");
         ChooseFile file(other);
         home.services.Answers = {IDNO};
         w.MIOpenProject->trigger();
         ASSERT_EQ(w.ProjectFileName, other);
       },
       0},
      {"new project",
       [](ProgramHome& home, TFormMain& w) {
         home.services.Answers = {IDYES};
         w.MINewProject->trigger();
         ASSERT_EQ(w.Scene->Page->Width(), 640);
       },
       0},
      {"new project after declining to save",
       [](ProgramHome& home, TFormMain& w) {
         home.services.Answers = {IDNO, IDYES};
         w.MINewProject->trigger();
         ASSERT_TRUE(w.ProjectFileName.empty());
       },
       1, [](ProgramHome&, TFormMain& w) { QTest::keyClick(w.ScrollBox, Qt::Key_Right); }},
      {"page size",
       [](ProgramHome&, TFormMain& w) {
         WhileModal([](QWidget* d) {
           auto* f = static_cast<TFormEditProjectSize*>(d);
           f->Edit1->setText("500");
           f->Edit1Exit(f->Edit1);
           f->ButtonOK->click();
         });
         w.MISetPageSize->trigger();
         ASSERT_EQ(w.Scene->Page->Width(), 500);
       },
       0},
      {"grid size",
       [](ProgramHome&, TFormMain& w) {
         WhileModal([](QWidget* d) {
           auto* f = static_cast<TFormGridSize*>(d);
           f->Edit1->setText("16");
           f->ButtonOK->click();
         });
         w.MenuItemSetGridSize->trigger();
         ASSERT_EQ(w.Scene->GridX, 16);
       },
       0},
      {"head settings", [&](ProgramHome&, TFormMain& w) { editTitle(w, "New title"); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    const std::string p = WriteProject(home, "edit.zlm", kThree);
    auto w = Start(p);
    w->Scene->WriteString("Tit", "Old title");
    SelectTexts(*w, "A");
    if (c.prepare) c.prepare(home, *w);
    const PageState before = StateOf(*w);
    const std::string file = ReadAll(p);
    c.command(home, *w);
    EXPECT_TRUE(w->UndoAvailable);
    w->MIUndo->trigger();
    EXPECT_EQ(StateOf(*w), before);
    EXPECT_EQ(w->PanelScene->size(), QSize(320, 200));
    EXPECT_TRUE(w->windowTitle().endsWith(QString::fromStdString("[" + p + "]")))
        << w->windowTitle().toStdString();
    if (c.countAfterUndo == 0) EXPECT_EQ(w->ChangeCount, 0);
    else EXPECT_NE(w->ChangeCount, 0);
    // Closing asks about this file only, and only when the page differs from it.
    home.services.Answers = {IDNO};
    home.TakeBoxes();
    TCloseAction action = caNone;
    w->FormClose(nullptr, action);
    if (c.countAfterUndo == 0) EXPECT_TRUE(home.TakeBoxes().empty());
    else EXPECT_EQ(home.TakeBoxes(), (std::vector<std::string>{"Save changes to " + p + "?"}));
    EXPECT_EQ(ReadAll(p), file);
  }

  {
    SCOPED_TRACE("an undo of an earlier command keeps the head edited since");
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", kThree));
    SelectTexts(*w, "A");
    w->MIDelete->trigger();
    editTitle(*w, "Kept title");
    w->MIUndo->trigger();  // undoes the head edit, the last command
    EXPECT_EQ(w->Scene->ReadString("Tit"), "");
    EXPECT_EQ(Order(*w), "B@160,40 C@40,120");
    EXPECT_NE(w->ChangeCount, 0);
  }
  FormEditHTMLHead = nullptr;
}

// An undo that goes back to another file's page first asks about unsaved work on the page
// that is open, as opening or starting a page does; Cancel keeps everything.
TEST(EditCommands, UndoIntoAnotherFileAsksAboutTheOpenPageFirst) {
  ProgramHome home;
  const std::string first = WriteProject(home, "first.zlm", kThree);
  const std::string second = WriteProject(home, "second.zlm", {{"X", 8, 8, 64, 32}});
  auto w = Start(first);
  SelectTexts(*w, "A");
  w->MIDelete->trigger();
  home.services.Answers = {IDNO};
  {
    ChooseFile file(second);
    w->MIOpenProject->trigger();
  }
  ASSERT_EQ(w->ProjectFileName, second);
  // Unsaved work on the opened page that no snapshot holds (as a page edited before every
  // change took one would have): the question comes first, and Cancel leaves all as it is.
  w->ChangeCount = 1;
  home.TakeBoxes();
  home.services.Answers = {IDCANCEL};
  w->MIUndo->trigger();
  EXPECT_EQ(home.TakeBoxes(), (std::vector<std::string>{"Save changes to " + second + "?"}));
  EXPECT_EQ(w->ProjectFileName, second);
  EXPECT_EQ(Order(*w), "X@8,8");
  EXPECT_TRUE(w->UndoAvailable);
  home.services.Answers = {IDNO};
  w->MIUndo->trigger();
  EXPECT_EQ(w->ProjectFileName, first);
  EXPECT_EQ(Order(*w), "A@40,40 B@160,40 C@40,120");
}

// After Open, a change of the opened page is the last action: Undo takes back that one only
// and stays on the opened page, with no question and nothing switched.
TEST(EditCommands, UndoAfterOpenTakesBackTheOpenedPagesOwnChange) {
  struct Case {
    const char* what;
    std::function<void(TFormMain&)> change;
  } cases[] = {
      {"arrow", [](TFormMain& w) { QTest::keyClick(w.ScrollBox, Qt::Key_Right); }},
      {"paste", [](TFormMain& w) { w.MIPaste->trigger(); }},
      {"link", [](TFormMain& w) { QTest::keyClicks(w.EditURL, "x.htm"); }},
      {"group", [](TFormMain& w) { w.MIGroupClick(nullptr); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    const std::string first = WriteProject(home, "first.zlm", kThree);
    const std::string second = WriteProject(home, "second.zlm", {{"X", 8, 8, 64, 32}, {"Y", 80, 8, 120, 32}});
    auto w = Start(first);
    SelectTexts(*w, "A");
    w->MICopy->trigger();
    w->MIDelete->trigger();
    home.services.Answers = {IDNO};
    {
      ChooseFile file(second);
      w->MIOpenProject->trigger();
    }
    ASSERT_EQ(w->ProjectFileName, second);
    w->Scene->SelectNone();
    w->Scene->Current = nullptr;
    const std::string opened = SceneText(*w);
    SelectTexts(*w, "XY");
    w->ScrollBox->setFocus();
    c.change(*w);
    ASSERT_NE(SceneText(*w), opened);
    ASSERT_NE(w->ChangeCount, 0);
    home.TakeBoxes();
    w->MIUndo->trigger();
    EXPECT_TRUE(home.TakeBoxes().empty());
    EXPECT_EQ(w->ProjectFileName, second);
    w->Scene->SelectNone();
    w->Scene->Current = nullptr;
    EXPECT_EQ(SceneText(*w), opened);
    EXPECT_EQ(w->ChangeCount, 0);  // the saved page is back
    EXPECT_FALSE(w->UndoAvailable);
  }
}

TEST(EditCommands, UndoScrollsBackToWhereTheSnapshotWasTaken) {
  ProgramHome home;
  const std::string p = WriteProject(home, "tall.zlm", kThree);
  // A page taller than any view.
  WriteAll(p, StringReplaceAll(ReadAll(p), "ProjectHeight=200", "ProjectHeight=3000"));
  auto w = Start(p);
  QScrollBar* bar = w->ScrollBox->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 400);
  bar->setValue(400);
  SelectTexts(*w, "A");
  w->MIDelete->trigger();
  EXPECT_EQ(w->UndoScrollPos.Y, 400);
  bar->setValue(0);
  w->MIUndo->trigger();
  EXPECT_EQ(bar->value(), 400);
}

// The count says "saved" after an undo only when the page that came back is the saved one,
// and an undo snapshot never makes an unsaved page read as saved.
TEST(EditCommands, TheChangeCountAfterUndoTellsUnsavedPages) {
  {
    SCOPED_TRACE("undo of New, then a change, then undo again");
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", kThree));
    home.services.Answers = {IDYES};
    w->MINewProject->trigger();
    w->MIUndo->trigger();
    ASSERT_EQ(w->ChangeCount, 0);  // the saved page is back under its name
    SelectTexts(*w, "A");
    w->MIDelete->trigger();
    EXPECT_NE(w->ChangeCount, 0);
    w->MIUndo->trigger();
    EXPECT_EQ(w->ChangeCount, 0);
    // The same after a new page whose old one was not saved: it comes back unsaved.
    QTest::keyClick(w->ScrollBox, Qt::Key_Right);
    home.services.Answers = {IDNO, IDYES};
    w->MINewProject->trigger();
    w->MIUndo->trigger();
    EXPECT_NE(w->ChangeCount, 0);
  }
  {
    SCOPED_TRACE("a change saved, then undone");
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", kThree));
    SelectTexts(*w, "A");
    w->MIDelete->trigger();
    w->MISave->trigger();
    ASSERT_EQ(w->ChangeCount, 0);
    w->MIUndo->trigger();
    EXPECT_NE(w->ChangeCount, 0);
  }
  {
    SCOPED_TRACE("a change saved, one more, then undone: the saved page is back");
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", kThree));
    SelectTexts(*w, "A");
    w->MICopy->trigger();
    w->MIDelete->trigger();
    w->MISave->trigger();
    w->MIPaste->trigger();
    ASSERT_EQ(w->ChangeCount, 1);
    w->MIUndo->trigger();
    EXPECT_EQ(w->ChangeCount, 0);
    EXPECT_EQ(Order(*w), "B@160,40 C@40,120");
  }
  {
    SCOPED_TRACE("a change on an unsaved page, then undone");
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", kThree));
    w->ChangeCount = 3;
    SelectTexts(*w, "A");
    w->MIDelete->trigger();
    w->ChangeCount = 0;  // as if the count had come round to zero
    w->MIUndo->trigger();
    EXPECT_NE(w->ChangeCount, 0);
  }
}

TEST(EditCommands, ClosingAfterUndoAsksToSaveOnlyWhenThePageDiffersFromTheFile) {
  for (bool saveBetween : {false, true}) {
    SCOPED_TRACE(saveBetween ? "saved between" : "not saved");
    ProgramHome home;
    const std::string p = WriteProject(home, "edit.zlm", kThree);
    auto w = Start(p);
    SelectTexts(*w, "B");
    w->MIDelete->trigger();
    if (saveBetween) w->MISave->trigger();
    w->MIUndo->trigger();
    home.services.Answers = {IDNO};
    TCloseAction action = caNone;
    w->FormClose(nullptr, action);
    EXPECT_EQ(action, caFree);
    if (saveBetween) EXPECT_EQ(home.TakeBoxes(), (std::vector<std::string>{"Save changes to " + p + "?"}));
    else EXPECT_TRUE(home.TakeBoxes().empty());
  }
}

TEST(EditCommands, DeleteLeavesNoCurrentObjectAndWaitsUnderItsName) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  SelectTexts(*w, "B");
  struct Wait : TWaitIndicator {
    std::vector<std::string> begun;
    int ended = 0;
    void BeginWait(const std::string& m, bool show) override { begun.push_back(m + (show ? "+" : "-")); }
    void SetProgress(int, int) override {}
    void EndWait() override { ++ended; }
  } wait;
  TWaitIndicator* old = WaitIndicator();
  SetWaitIndicator(&wait);
  w->MIDelete->trigger();
  SetWaitIndicator(old);
  EXPECT_EQ(wait.begun, (std::vector<std::string>{"Deleteing-"}));
  EXPECT_EQ(wait.ended, 1);
  EXPECT_EQ(Order(*w), "A@40,40 C@40,120");
  EXPECT_EQ(w->Scene->Current, nullptr);
  EXPECT_EQ(Selected(*w), "");
  EXPECT_EQ(PagePixel(*w, 161, 41), 0xFFFFFFu);
}

// The snapshot is of the page as it is now, whatever was on it or in the program folder's
// undo store before: after objects are deleted, a later undo brings back exactly the page of
// its own snapshot, with no object of an earlier one, and the snapshot holds nothing else.
TEST(EditCommands, UndoAfterDeletesBringsBackOnlyThePageOfItsSnapshot) {
  ProgramHome home;
  // A store left by an earlier run, with more objects and keys that no save writes.
  WriteAll(home.dir.File("undo.ini"),
           "[Heading]\nNumOfButtons=9\nStray=1\n[Button7]\nButtonText=Ghost\nRectLeft=1\n"
           "[Button1]\nExtra=x\n");
  std::vector<Obj> objects = kThree;
  objects.push_back({"D", 200, 120, 280, 160});
  objects.push_back({"E", 200, 160, 280, 190});
  auto w = Start(WriteProject(home, "edit.zlm", objects));
  SelectTexts(*w, "BCDE");
  w->MIDelete->trigger();
  EXPECT_EQ(Order(*w), "A@40,40");
  SelectTexts(*w, "A");
  const std::string one = SceneText(*w);
  w->MIBringToFront->trigger();  // a snapshot of the page of one object
  w->MIUndo->trigger();
  EXPECT_EQ(SceneText(*w), one);
  EXPECT_EQ(Order(*w), "A@40,40");

  // The snapshot of the page of one object holds that page alone.
  SelectTexts(*w, "A");
  w->MIBringToFront->trigger();
  TINIDocument snapshot;
  snapshot.LoadFromString(w->UndoText);
  EXPECT_EQ(snapshot.SectionCount(), 2) << snapshot.AsString();
  EXPECT_FALSE(snapshot.FindSection("Button7"));
  EXPECT_EQ(snapshot.ReadString("Heading", "Stray", "none"), "none");
  EXPECT_EQ(snapshot.ReadString("Button1", "Extra", "none"), "none");
}

TEST(EditCommands, DuplicateAddsSnappedSelectedCopiesOnTop) {
  ProgramHome home;
  auto w = Start(
      WriteProject(home, "edit.zlm", {{"A", 41, 43, 121, 83}, {"B", 160, 40, 240, 80}, {"C", 8, 8, 16, 16}}));
  w->Scene->Button(1)->WriteString("Group", "ABC1");
  SelectTexts(*w, "BA");
  w->MenuItemDuplicate1Click(nullptr);
  // 24 right and down, then the top-left corner on the grid of 8; the size stays.
  EXPECT_EQ(Order(*w), "A@41,43 B@160,40 C@8,8 A@64,64 B@184,64");
  EXPECT_EQ(Selected(*w), "AB");
  EXPECT_FALSE(w->Scene->Button(0)->IsSelected);
  EXPECT_EQ(w->Scene->Button(3)->Bounds, TRect(64, 64, 144, 104));
  TZLMButton* copy = w->Scene->Button(4);
  EXPECT_EQ(copy->LinkAddress, "b.htm");
  EXPECT_EQ(copy->StyleName, "Glass");
  EXPECT_EQ(copy->Style->Shape, 5);
  EXPECT_EQ(copy->GroupId(), "");
  EXPECT_EQ(w->ChangeCount, 1);
}

// Copies stay on the page, as moves do: near the bottom-right edge they stop at it.
TEST(EditCommands, DuplicatesNearTheEdgeStayOnThePage) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", {{"E", 232, 168, 312, 192}}));
  SelectTexts(*w, "E");
  for (int i = 0; i < 3; ++i) {
    w->MenuItemDuplicate1Click(nullptr);
    const TRect& r = w->Scene->Button(w->Scene->Count() - 1)->Bounds;
    EXPECT_LE(r.Right, 320) << i;
    EXPECT_LE(r.Bottom, 200) << i;
    EXPECT_EQ(r.Width(), 80);
    EXPECT_EQ(r.Height(), 24);
  }
  EXPECT_EQ(w->Scene->Count(), 4);
  // An object that already reaches beyond the edge is copied no further out than it lies.
  ProgramHome home2;
  auto v = Start(WriteProject(home2, "edit.zlm", {{"F", 280, 8, 360, 32}}));
  SelectTexts(*v, "F");
  v->MenuItemDuplicate1Click(nullptr);
  EXPECT_EQ(v->Scene->Button(1)->Bounds.Right, 360);
}

TEST(EditCommands, ZOrderCommandsMoveTheSelection) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  SelectTexts(*w, "A");
  w->MIBringToFront->trigger();
  EXPECT_EQ(Order(*w), "B@160,40 C@40,120 A@40,40");
  SelectTexts(*w, "C");
  w->ToolButtonSendToBack->trigger();
  EXPECT_EQ(Order(*w), "C@40,120 B@160,40 A@40,40");
  EXPECT_EQ(w->ChangeCount, 2);
}

// The commands that reorder, remove or add many objects at once, on a selection scattered
// through the page: the unselected objects keep their order, the selected ones theirs, the
// copies alone are selected after a duplicate, and Undo brings back the page exactly.
TEST(EditCommands, CommandsOnAScatteredSelectionKeepOrderAndUndoBack) {
  const std::vector<Obj> six = {{"A", 8, 8, 48, 32},  {"B", 56, 8, 96, 32},  {"C", 104, 8, 144, 32},
                                {"D", 8, 48, 48, 72}, {"E", 56, 48, 96, 72}, {"F", 104, 48, 144, 72}};
  struct Case {
    const char* what;
    std::function<void(TFormMain&)> command;
    const char* order;
    const char* selected;
  } cases[] = {
      {"bring to front", [](TFormMain& w) { w.MIBringToFront->trigger(); },
       "A@8,8 C@104,8 D@8,48 F@104,48 B@56,8 E@56,48", "BE"},
      {"send to back", [](TFormMain& w) { w.MISendToBack->trigger(); },
       "B@56,8 E@56,48 A@8,8 C@104,8 D@8,48 F@104,48", "BE"},
      {"delete", [](TFormMain& w) { w.MIDelete->trigger(); }, "A@8,8 C@104,8 D@8,48 F@104,48", ""},
      {"duplicate", [](TFormMain& w) { w.MenuItemDuplicate1Click(nullptr); },
       "A@8,8 B@56,8 C@104,8 D@8,48 E@56,48 F@104,48 B@80,32 E@80,72", "BE"},
      {"copy and paste",
       [](TFormMain& w) {
         w.MICopy->trigger();
         w.MIPaste->trigger();
       },
       "A@8,8 B@56,8 C@104,8 D@8,48 E@56,48 F@104,48 B@56,8 E@56,48", "BEBE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", six));
    SelectTexts(*w, "EB");
    const std::string before = SceneText(*w);
    c.command(*w);
    EXPECT_EQ(Order(*w), c.order);
    EXPECT_EQ(Selected(*w), c.selected);
    EXPECT_TRUE(home.TakeBoxes().empty());
    w->MIUndo->trigger();
    EXPECT_EQ(SceneText(*w), before);
  }
}

// A page holds at most kMaxButtons objects, and a file with more is not read whole: a paste
// or a duplicate past it is refused with a message before anything changes, so that the page
// (and its undo, which reads the page back) never holds more than a file can give back.
TEST(EditCommands, PasteAndDuplicateStopAtTheObjectsAPageHolds) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  std::string clip;
  const int n = kMaxButtons - 2;
  // Small objects beside the page, so that drawing them costs little.
  for (int i = 0; i < n; ++i) {
    const int x = 400 + (i % 300) * 10, y = (i / 300) * 10;
    clip += ClipObject(i, "P", x, y, x + 8, y + 8);
  }
  clip += "[Heading]\nBGColor=clWhite\nNumOfButtons=" + std::to_string(n) + "\n";
  w->ClipboardDoc->LoadFromString(std::move(clip));
  w->Scene->SelectNone();
  const std::string before = SceneText(*w);
  w->MIPasteClick(nullptr);
  EXPECT_EQ(w->Scene->Count(), 3);
  EXPECT_TRUE(SceneText(*w) == before);
  EXPECT_FALSE(w->UndoAvailable);
  EXPECT_EQ(w->ChangeCount, 0);
  std::vector<std::string> boxes = home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("pasting " + std::to_string(n) + " more"), std::string::npos) << boxes[0];

  // Up to the limit it goes: one object fewer on the clipboard fits exactly.
  w->Scene->Button(0)->SetSelected(true);
  w->MIDelete->trigger();
  w->MIPasteClick(nullptr);
  EXPECT_EQ(w->Scene->Count(), kMaxButtons);
  EXPECT_TRUE(home.TakeBoxes().empty());

  // Full: duplicating one more object is refused, and the page and its undo stay.
  SelectTexts(*w, "B");
  const std::string full = SceneText(*w);
  w->MenuItemDuplicate1Click(nullptr);
  EXPECT_EQ(w->Scene->Count(), kMaxButtons);
  EXPECT_TRUE(SceneText(*w) == full);
  boxes = home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("duplicating 1 more"), std::string::npos) << boxes[0];
  // The paste's undo is still the one there is.
  w->MIUndoClick(nullptr);
  EXPECT_EQ(w->Scene->Count(), 2);
}

TEST(EditCommands, SelectionCommandsSetSelectionAndCurrent) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  SelectTexts(*w, "B");
  w->MISelectAll->trigger();
  EXPECT_EQ(Selected(*w), "ABC");
  EXPECT_EQ(w->Scene->Current, w->Scene->Button(0));
  SelectTexts(*w, "B");
  w->MISelectInvert->trigger();
  EXPECT_EQ(Selected(*w), "AC");
  EXPECT_EQ(w->Scene->Current, nullptr);
  w->MISelectNone->trigger();
  EXPECT_EQ(Selected(*w), "");
  EXPECT_EQ(w->Scene->Current, nullptr);
  // Selecting is not a change and takes no snapshot.
  EXPECT_EQ(w->ChangeCount, 0);
  EXPECT_FALSE(w->UndoAvailable);
}

TEST(EditCommands, GroupAndUngroupAreChangesOfTheirOwn) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  SelectTexts(*w, "AC");
  w->MIGroupClick(nullptr);
  const std::string id = w->Scene->Button(0)->GroupId();
  EXPECT_FALSE(id.empty());
  EXPECT_EQ(w->Scene->Button(2)->GroupId(), id);
  EXPECT_EQ(w->Scene->Button(1)->GroupId(), "");
  EXPECT_NE(w->ChangeCount, 0);
  EXPECT_TRUE(w->UndoAvailable);  // a change of its own
  // A click on one member now selects the group.
  w->Scene->Select(w->Scene->Button(0), false, false);
  w->Scene->SelectNone();
  w->Scene->Select(w->Scene->Button(2), false, false);
  EXPECT_EQ(Selected(*w), "AC");
  w->ChangeCount = 0;
  SelectTexts(*w, "A");
  w->MIUngroupClick(nullptr);
  EXPECT_EQ(w->Scene->Button(0)->GroupId(), "");
  EXPECT_EQ(w->Scene->Button(2)->GroupId(), id);
  EXPECT_NE(w->ChangeCount, 0);
  // Undo takes back the ungrouping only.
  w->MIUndo->trigger();
  EXPECT_EQ(w->Scene->Button(0)->GroupId(), id);
  EXPECT_EQ(w->Scene->Button(2)->GroupId(), id);
  // With nothing selected nothing changes.
  w->ChangeCount = 0;
  w->Scene->SelectNone();
  w->MIGroupClick(nullptr);
  EXPECT_EQ(w->ChangeCount, 0);
  EXPECT_FALSE(w->UndoAvailable);
}

TEST(EditCommands, AlignToGridFollowsSnapToGridAndTheGridSize) {
  ProgramHome home;
  auto w = Start(
      WriteProject(home, "edit.zlm", {{"A", 43, 45, 123, 85}, {"B", 161, 47, 241, 87}, {"C", 5, 5, 20, 20}}));
  SelectTexts(*w, "AB");
  // Snapping off: nothing moves, but the command still takes a snapshot.
  w->MenuItemSnapToGrid->trigger();
  EXPECT_FALSE(w->Scene->AlignToGrid);
  EXPECT_FALSE(w->MenuItemSnapToGrid->isChecked());
  w->MenuItemAlignToGrid2->trigger();
  EXPECT_EQ(Order(*w), "A@43,45 B@161,47 C@5,5");
  EXPECT_TRUE(w->UndoAvailable);
  EXPECT_EQ(w->ChangeCount, 1);
  // A new grid moves nothing by itself; the next snap uses it.
  w->MenuItemSnapToGrid->trigger();
  EXPECT_TRUE(w->Scene->AlignToGrid);
  EXPECT_TRUE(w->MenuItemSnapToGrid->isChecked());
  WhileModal([](QWidget* d) {
    auto* f = static_cast<TFormGridSize*>(d);
    EXPECT_EQ(f->Edit1->text(), "8");
    f->Edit1->setText("20");
    f->ButtonOK->click();
  });
  w->MenuItemSetGridSize->trigger();
  EXPECT_EQ(w->Scene->GridX, 20);
  EXPECT_EQ(w->Scene->GridY, 20);
  EXPECT_EQ(Order(*w), "A@43,45 B@161,47 C@5,5");
  w->MenuItemAlignToGrid2->trigger();
  EXPECT_EQ(Order(*w), "A@40,40 B@160,40 C@5,5");
  EXPECT_EQ(w->Scene->Button(0)->Bounds, TRect(40, 40, 120, 80));
}

TEST(EditCommands, TheGridSizeDialogKeepsItsLimits) {
  struct Case {
    const char* typed;
    bool ok;
    int grid;
  } cases[] = {{"16", true, 16}, {"0", true, 0}, {"64", true, 64}, {"65", true, 8},
               {"-1", true, 8},  {"x", true, 8}, {"32", false, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", kThree));
    WhileModal([&c](QWidget* d) {
      auto* f = static_cast<TFormGridSize*>(d);
      f->Edit1->setText(c.typed);
      if (c.ok) f->ButtonOK->click();
      else f->close();
    });
    w->MenuItemSetGridSize->trigger();
    EXPECT_EQ(w->Scene->GridX, c.grid);
    EXPECT_EQ(w->Scene->GridY, c.grid);
    EXPECT_EQ(w->ChangeCount, c.grid != 8 ? 1 : 0);
    EXPECT_EQ(w->UndoAvailable, c.grid != 8);  // a change of the grid can be undone
  }
}

TEST(EditCommands, PageSizeThroughItsDialog) {
  struct Case {
    const char* width;
    const char* height;
    bool ok;
    int w, h;
  } cases[] = {{"640", "480", true, 640, 480},
               {"2000", "60", true, 2000, 60},
               {"abc", "99999", true, 500, MaxPageSide},
               {"700", "700", false, 320, 200}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.width) + " x " + c.height);
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", kThree));
    WhileModal([&c](QWidget* d) {
      auto* f = static_cast<TFormEditProjectSize*>(d);
      EXPECT_EQ(f->windowTitle(), "Enter Page Size");
      // The page's size, as far as the up-downs reach (64 at least).
      EXPECT_EQ(f->Edit1->text(), "320");
      EXPECT_EQ(f->Edit2->text(), "200");
      f->Edit1->setText(c.width);
      f->Edit1Exit(f->Edit1);
      f->Edit2->setText(c.height);
      f->Edit1Exit(f->Edit2);
      (c.ok ? f->ButtonOK : f->ButtonCancel)->click();
    });
    w->MISetPageSize->trigger();
    EXPECT_EQ(w->Scene->Page->Width(), c.w);
    EXPECT_EQ(w->Scene->Page->Height(), c.h);
    EXPECT_EQ(w->PanelScene->size(), QSize(c.w, c.h));
    EXPECT_EQ(w->PaintBox->size(), QSize(c.w, c.h));
    EXPECT_EQ(w->ChangeCount, c.ok ? 1 : 0);
    EXPECT_EQ(w->UndoAvailable, c.ok);  // a change of the page size can be undone
    if (c.ok) {
      EXPECT_EQ(PagePixel(*w, c.w - 1, c.h - 1), 0xFFFFFFu);  // the new part is page
    }
  }
}

// OK with nothing typed keeps every page the program opens, whatever its size, and every
// object on it: nothing changes, so nothing counts and nothing can be undone.
TEST(EditCommands, PageSizeDialogKeepsAnUntouchedPage) {
  struct Case {
    int w, h;
    bool focusHeight;  // OK pressed (Return) while the height edit has the focus
  } cases[] = {{1500, 1400, false}, {468, 60, true}, {MaxPageSide, 100, true}, {320, 200, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
    ProgramHome home;
    auto w = Start(WriteTestProject(home.dir.File("big.zlm"), {{"Far", c.w - 100, c.h - 40, c.w - 4, c.h}},
                                    c.w, c.h, "clWhite"));
    const std::string before = SceneText(*w);
    WhileModal([&c](QWidget* d) {
      auto* f = static_cast<TFormEditProjectSize*>(d);
      EXPECT_EQ(f->Edit1->text().toStdString(), std::to_string(c.w));
      EXPECT_EQ(f->Edit2->text().toStdString(), std::to_string(c.h));
      if (c.focusHeight) {
        QApplication::setActiveWindow(f);
        f->Edit2->setFocus();
        QTest::keyClick(f->Edit2, Qt::Key_Return);
      } else {
        f->ButtonOK->click();
      }
    });
    w->MISetPageSize->trigger();
    EXPECT_EQ(w->Scene->Page->Width(), c.w);
    EXPECT_EQ(w->Scene->Page->Height(), c.h);
    EXPECT_EQ(SceneText(*w), before);
    EXPECT_EQ(w->ChangeCount, 0);
    EXPECT_FALSE(w->UndoAvailable);
  }
}

TEST(EditCommands, BackgroundColourTakesItsSnapshotOnlyOnOk) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  std::vector<TColor> offered;
  bool ok = false;
  SetDialogHook([&](TCommonDialog& d) {
    auto& c = static_cast<TColorDialog&>(d);
    offered.push_back(c.Color);
    c.Color = 0x0000FF;
    return ok;
  });
  w->ToolButtonBackground->trigger();
  EXPECT_EQ(w->Scene->BGColor, TColor(0xFFFFFF));
  EXPECT_FALSE(w->UndoAvailable);
  EXPECT_EQ(w->ChangeCount, 0);
  ok = true;
  w->MISetBackgroundColor->trigger();
  SetDialogHook(nullptr);
  EXPECT_EQ(offered, (std::vector<TColor>{0xFFFFFF, 0xFFFFFF}));
  EXPECT_EQ(w->Scene->BGColor, TColor(0x0000FF));
  EXPECT_EQ(PagePixel(*w, 300, 190), 0xFF0000u);  // red, as 0x00RRGGBB
  EXPECT_TRUE(w->UndoAvailable);
  EXPECT_EQ(w->ChangeCount, 1);
}

TEST(EditCommands, ResizeDialogShowsAndSetsTheCurrentObjectsBounds) {
  struct Case {
    const char* what;
    const char *left, *top, *width, *height;
    bool ok;
    TRect bounds;
  } cases[] = {
      {"moved and sized", "10", "20", "30", "40", true, TRect(10, 20, 40, 60)},
      // The dialog keeps each edit on the 320 x 200 page in turn, left first, and sizes at 10
      // or more.
      {"off the page, too small", "5000", "-3", "3", "100", true, TRect(317, 0, 327, 100)},
      // Left is kept against the width as typed, then the width against that left.
      {"too large", "100", "150", "400", "100", true, TRect(0, 100, 320, 200)},
      {"cancelled", "10", "20", "30", "40", false, TRect(160, 40, 240, 80)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", kThree));
    SelectTexts(*w, "BA");  // B is current; only it is resized
    std::vector<std::string> shown;
    WhileModal([&](QWidget* d) {
      auto* f = static_cast<TFormResize*>(d);
      for (QLineEdit* e : {f->EditLeft, f->EditTop, f->EditWidth, f->EditHeight})
        shown.push_back(e->text().toStdString());
      f->EditLeft->setText(c.left);
      f->EditTop->setText(c.top);
      f->EditWidth->setText(c.width);
      f->EditHeight->setText(c.height);
      (c.ok ? f->ButtonOK : f->ButtonCancel)->click();
    });
    w->MIButtonResize->trigger();
    EXPECT_EQ(shown, (std::vector<std::string>{"160", "40", "80", "40"}));
    EXPECT_EQ(w->Scene->Button(1)->Bounds, c.bounds);
    EXPECT_EQ(w->Scene->Button(0)->Bounds, TRect(40, 40, 120, 80));
    EXPECT_EQ(w->UndoAvailable, c.ok);
    EXPECT_EQ(w->ChangeCount, c.ok ? 1 : 0);
  }
  // OK with nothing changed leaves the object where it is, on a page taller than any screen
  // and for an object that reaches beyond the page's edge.
  for (TRect far : {TRect(40, 1500, 120, 1540), TRect(760, 1960, 860, 2030), TRect(-20, -8, 60, 30)}) {
    SCOPED_TRACE(std::to_string(far.Left) + "," + std::to_string(far.Top));
    ProgramHome home;
    auto w = Start(WriteTestProject(home.dir.File("tall.zlm"),
                                    {{"T", far.Left, far.Top, far.Right, far.Bottom}}, 800, 2000, "clWhite"));
    SelectTexts(*w, "T");
    WhileModal([](QWidget* d) { static_cast<TFormResize*>(d)->ButtonOK->click(); });
    w->MIButtonResize->trigger();
    EXPECT_EQ(w->Scene->Button(0)->Bounds, far);
    EXPECT_EQ(w->ChangeCount, 0);
    EXPECT_FALSE(w->UndoAvailable);
  }
  // Without a current object the command is disabled, and its handler asks nothing.
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  EXPECT_FALSE(w->MIButtonResize->isEnabled());
  bool asked = false;
  QTimer::singleShot(0, [&asked] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      asked = true;
      d->reject();
    }
  });
  w->MIButtonResizeClick(w->MIButtonResize);
  QCoreApplication::processEvents();
  EXPECT_FALSE(asked);
  EXPECT_FALSE(w->UndoAvailable);
}

TEST(EditCommands, EditMenuEnablesItsItemsByTheState) {
  struct Case {
    const char* what;
    const char* select;
    bool undo;
    bool clipboard;
    bool focus;
    // Undo, Cut/Copy/Delete/Back/Front/None, Paste, Select All, Select Invert.
    bool eUndo, eSel, ePaste, eAll, eInvert;
  } cases[] = {
      {"nothing selected", "", false, false, true, false, false, false, true, true},
      {"one selected, undo, clipboard", "B", true, true, true, true, true, true, true, true},
      {"all selected", "ABC", false, true, true, false, true, true, false, true},
      {"page cannot take the focus", "B", true, true, false, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    auto w = Start(WriteProject(home, "edit.zlm", kThree));
    w->PageControl->setCurrentWidget(w->TabSheetServices);
    SelectTexts(*w, c.select);
    w->UndoAvailable = c.undo;
    w->ClipboardDoc->LoadFromString(c.clipboard ? "[Heading]\nNumOfButtons=1\n"
                                                : "[Heading]\nNumOfButtons=0\n");
    w->ScrollBox->setEnabled(c.focus);
    w->MIGroup->setVisible(true);
    emit w->MIEdit->aboutToShow();
    EXPECT_EQ(w->PageControl->currentWidget(), w->TabSheetScene);
    EXPECT_FALSE(w->MIGroup->isVisible());
    EXPECT_FALSE(w->MIUngroup->isVisible());
    EXPECT_EQ(w->MIUndo->isEnabled(), c.eUndo);
    for (QAction* a : {w->MICut, w->MICopy, w->MIDelete, w->MISendToBack, w->MIBringToFront, w->MISelectNone})
      EXPECT_EQ(a->isEnabled(), c.eSel) << a->objectName().toStdString();
    EXPECT_EQ(w->MIPaste->isEnabled(), c.ePaste);
    EXPECT_EQ(w->MISelectAll->isEnabled(), c.eAll);
    EXPECT_EQ(w->MISelectInvert->isEnabled(), c.eInvert);
    // The tool-bar buttons for the clipboard stay enabled.
    for (QAction* a : {w->ToolButtonCut, w->ToolButtonCopy, w->ToolButtonPaste}) EXPECT_TRUE(a->isEnabled());
  }
}

// The menu's keys see the rules of the moment, not those of the last time it opened, and the
// hidden Duplicate item still runs from its key.
TEST(EditCommands, EditKeysFollowTheCurrentState) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  emit w->MIEdit->aboutToShow();  // nothing selected: Delete is disabled now
  ASSERT_FALSE(w->MIDelete->isEnabled());
  ASSERT_TRUE(w->ScrollBox->hasFocus());
  SelectTexts(*w, "B");
  QTest::keyClick(w->ScrollBox, Qt::Key_Delete);
  EXPECT_EQ(Order(*w), "A@40,40 C@40,120");
  QTest::keyClick(w->ScrollBox, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Order(*w), "A@40,40 B@160,40 C@40,120");
  SelectTexts(*w, "A");
  QTest::keyClick(w->ScrollBox, Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(Order(*w), "A@40,40 B@160,40 C@40,120 A@64,64");
  // A second Undo key finds nothing to undo and changes nothing.
  QTest::keyClick(w->ScrollBox, Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(w->ScrollBox, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Order(*w), "A@40,40 B@160,40 C@40,120");
}

// Select None answers the desktop's deselect key (Ctrl+Shift+A) pressed on the main window,
// whatever the menu showed when it last opened; in the in-place editor the key is the
// editor's and the page keeps its selection.
TEST(EditCommands, TheDeselectKeyEmptiesTheSelection) {
  ProgramHome home;
  auto w = Start(WriteProject(home, "edit.zlm", kThree));
  QApplication::setActiveWindow(w.get());
  emit w->MIEdit->aboutToShow();  // nothing selected: Select None is disabled now
  ASSERT_FALSE(w->MISelectNone->isEnabled());
  ASSERT_TRUE(w->ScrollBox->hasFocus());
  QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Deselect);
  if (keys.isEmpty()) keys = {QKeySequence("Ctrl+Shift+A")};
  EXPECT_EQ(w->MISelectNone->shortcuts(), keys);

  SelectTexts(*w, "AB");
  QTest::keyClick(w->ScrollBox, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Selected(*w), "");
  EXPECT_EQ(Order(*w), "A@40,40 B@160,40 C@40,120") << "only the selection changes";
  SelectTexts(*w, "AC");
  QTest::keyClick(w.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Selected(*w), "") << "pressed on the window itself";

  SelectTexts(*w, "A");
  w->PaintBoxDblClick(w->PaintBox);
  ASSERT_TRUE(w->Memo->hasFocus());
  QTest::keyClick(w->Memo, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Selected(*w), "A") << "the key typed in the editor";
}

}  // namespace
