// The insert and style commands of the main window with the real tool windows: new objects
// and their defaults, templates as styles and as new objects, the style controls writing
// into every selected object, and the controls set back from the focused object.
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QTest>
#include <QToolButton>

#include "POP/gui/PopExtCtrls.h"
#include "engine/XImage.h"
#include "engine/XImageCache.h"
#include "platform/TextRender.h"
#include "platform/gui/QtControlEvents.h"
#include "platform/gui/QtImage.h"
#include "tests/support/StyleFixture.h"

namespace {

TRect R(int l, int t, int r, int b) { return TRect(l, t, r, b); }

TEST(InsertCommands, EachKindOfNewObjectHasItsDefaults) {
  struct Case {
    const char* what;
    std::function<QAction*(TFormMain&)> command;
    const char* text;
    const char* link;
    TRect bounds;
    int shape;
    TColor fontColor;
    bool transparent;
  } cases[] = {
      // The Insert menu places at fixed points, snapped to the grid of 8.
      {"New Button", [](TFormMain& w) { return w.TBNewButton; }, "New Button", "index.htm",
       R(200, 96, 296, 120), 1, clWindowText, false},
      {"New Text", [](TFormMain& w) { return w.TBNewText; }, "New Text", "", R(96, 96, 192, 120), 0, 0xFFFFFF,
       true},
      {"New Frame", [](TFormMain& w) { return w.TBNewFrame; }, "", "", R(96, 96, 336, 256), 1, clWindowText,
       false},
      {"HTML Snippet", [](TFormMain& w) { return w.TBInsertHTMLSnippet; }, "<P>Insert HTML Code Here</P>", "",
       R(8, 8, 108, 108), 24, 0x000000, false},
      // The page's menu places at the snapped point of the right click.
      {"page menu: New Button", [](TFormMain& w) { return w.PopNewButton; }, "New Button", "index.htm",
       R(248, 160, 344, 184), 1, clWindowText, false},
      {"page menu: New Text", [](TFormMain& w) { return w.PopNewText; }, "New Text", "",
       R(248, 160, 344, 184), 0, 0xFFFFFF, true},
      {"page menu: New Frame", [](TFormMain& w) { return w.PopNewFrame; }, "", "", R(248, 160, 488, 320), 1,
       clWindowText, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StyleWindows s;
    // A right click on the empty page sets the point (and selects nothing).
    QTest::mouseClick(s.w->PaintBox, Qt::RightButton, {}, QPoint(253, 165));
    s.w->PopupMenu1->hide();
    ASSERT_EQ(s.w->LastPoint.X, 248);
    ASSERT_EQ(s.w->LastPoint.Y, 160);
    s.Select({0});
    c.command(*s.w)->trigger();
    ASSERT_EQ(s.w->Scene->Count(), 4);
    TZLMButton* o = s.Obj(3);
    EXPECT_EQ(o->Text, c.text);
    EXPECT_EQ(o->LinkAddress, c.link);
    EXPECT_EQ(o->Bounds, c.bounds);
    EXPECT_EQ(o->Style->Shape, c.shape);
    EXPECT_EQ(o->Style->Font->Color, c.fontColor);
    EXPECT_EQ(o->Style->IsTransparent, c.transparent);
    // The new object is selected alone and focused, and the page has changed.
    EXPECT_TRUE(o->IsSelected);
    EXPECT_FALSE(s.Obj(0)->IsSelected);
    EXPECT_EQ(s.w->Scene->Current, o);
    EXPECT_NE(s.w->ChangeCount, 0);
    EXPECT_TRUE(s.w->EditURL->isEnabled());
  }
}

TEST(InsertCommands, NewButtonFollowsTheGridSwitch) {
  StyleWindows s;
  s.w->Scene->AlignToGrid = false;
  s.w->TBNewButton->trigger();
  EXPECT_EQ(s.w->Scene->Button(3)->Bounds, R(200, 100, 296, 124));
}

TEST(InsertCommands, ExternalFilesBecomeHTMLThatNamesTheirFullPath) {
  StyleWindows s;
  std::string answer;
  DialogAnswers dialogs([&](TCommonDialog& d) {
    auto& f = static_cast<TOpenDialog&>(d);
    if (answer.empty()) return false;
    f.FileName = answer;
    return true;
  });
  // Cancelled: nothing is inserted and nothing counts as a change.
  s.w->TBInsertExternalHTMLFile->trigger();
  s.w->ExternalImageFile1->trigger();
  EXPECT_EQ(s.w->Scene->Count(), 3);
  EXPECT_EQ(s.w->ChangeCount, 0);
  EXPECT_EQ(dialogs.kinds, (std::vector<std::string>{"TOpenDialog", "TOpenPictureDialog"}));
  EXPECT_EQ(OpenDialog()->Filter, "HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|All Files (*.*)|*.*|");

  answer = "/srv/site/part one.html";
  s.w->TBInsertExternalHTMLFile->trigger();
  answer = "/srv/pictures/logo.png";
  s.w->ExternalImageFile1->trigger();
  // A quote in a name cannot end the attribute early.
  answer = "/srv/odd\"name.png";
  s.w->ExternalImageFile1->trigger();
  ASSERT_EQ(s.w->Scene->Count(), 6);
  EXPECT_EQ(s.Obj(3)->Text, "<IFRAME src=\"/srv/site/part one.html\" width=100% height=100%></IFRAME>");
  EXPECT_EQ(s.Obj(4)->Text, "<IMG src=\"/srv/pictures/logo.png\" width=100% height=100% border=0>");
  EXPECT_EQ(s.Obj(5)->Text, "<IMG src=\"/srv/odd&quot;name.png\" width=100% height=100% border=0>");
  for (int i = 3; i < 6; ++i) {
    EXPECT_EQ(s.Obj(i)->Bounds, R(8, 8, 108, 108));
    EXPECT_EQ(s.Obj(i)->Style->Shape, 24);
    EXPECT_EQ(s.Obj(i)->Style->Font->Color, 0x000000);
  }
  EXPECT_NE(s.w->ChangeCount, 0);
}

TEST(InsertCommands, APictureBecomesAnObjectOfItsSizeWithItAsTexture) {
  StyleWindows s;
  XImage picture;
  picture.SetSize(37, 21);
  picture.Canvas().Brush.SetColor(0x3366CC);
  picture.Canvas().FillRect(TRect(0, 0, 37, 21));
  const std::string file = s.home.dir.File("outside.bmp");
  picture.SaveToFile(file);
  const std::string broken = s.home.dir.File("broken.bmp");
  WriteAll(broken, "BM this is no picture");
  std::string answer;
  DialogAnswers dialogs([&](TCommonDialog& d) {
    static_cast<TOpenDialog&>(d).FileName = answer;
    return !answer.empty();
  });
  s.Select({1});
  answer = file;
  s.w->TBInsertPicture->trigger();
  ASSERT_EQ(s.w->Scene->Count(), 4);
  TZLMButton* o = s.Obj(3);
  EXPECT_EQ(o->Bounds, R(10, 10, 47, 31));
  EXPECT_EQ(o->Style->Shape, 0);
  EXPECT_EQ(o->Style->Font->Color, 0xFFFFFF);
  EXPECT_FALSE(o->Style->IsTransparent);
  ASSERT_NE(o->Style->Texture, nullptr);
  // The picture was copied into the Images folder, and only the new object took it.
  EXPECT_TRUE(FileExists(s.home.dir.File("Images/" + o->Style->TextureFileName)));
  EXPECT_NE(o->Style->TextureFileName.find("outside.bmp"), std::string::npos);
  EXPECT_EQ(s.Obj(1)->Style->Texture, nullptr);
  EXPECT_TRUE(s.home.TakeBoxes().empty());

  // A picture that cannot be read: a message, and nothing else changes (no object, the
  // broken file not copied into the Images folder).
  answer = broken;
  const int32_t count = s.w->ChangeCount;
  s.w->TBInsertPicture->trigger();
  ASSERT_EQ(s.w->Scene->Count(), 4);
  EXPECT_EQ(s.w->ChangeCount, count);
  EXPECT_FALSE(FileExists(s.home.dir.File("Images/broken.bmp")));
  std::vector<std::string> boxes = s.home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("could not be read"), std::string::npos);
}

// Folder names are exact on this system: a folder that differs from the image folder only in
// letter case (images/, IMAGES/, images/ below another folder) is another folder, so its
// picture is copied into the image folder and the reopened project still shows it.
TEST(InsertCommands, APictureFromAFolderNamedLikeTheImageFolderIsCopied) {
  for (const char* folder : {"images", "IMAGES", "other/Images", "iMages/Images"}) {
    SCOPED_TRACE(folder);
    StyleWindows s;
    const std::string dir = s.home.dir.File(folder);
    ASSERT_TRUE(ForceDirectories(dir));
    XImage picture;
    picture.SetSize(12, 9);
    picture.Canvas().Brush.SetColor(0x2255AA);
    picture.Canvas().FillRect(TRect(0, 0, 12, 9));
    const std::string file = IncludeTrailingPathDelimiter(dir) + "x.png";
    picture.SaveToFile(file);
    DialogAnswers dialogs([&](TCommonDialog& d) {
      static_cast<TOpenDialog&>(d).FileName = file;
      return true;
    });
    s.Select({0});
    s.w->TBInsertPicture->trigger();
    ASSERT_EQ(s.w->Scene->Count(), 4);
    const std::string stored = s.Obj(3)->Style->TextureFileName;
    ASSERT_FALSE(stored.empty());
    EXPECT_TRUE(FileExists(s.home.dir.File("Images/" + stored))) << stored;
    EXPECT_TRUE(s.home.TakeBoxes().empty());

    // Saved, the picture moved away from where it was chosen, and opened again.
    s.w->MISave->trigger();
    ASSERT_EQ(std::remove(file.c_str()), 0);
    ImageCache().UnloadAll();
    s.w->LoadProject(s.project, true);
    ASSERT_EQ(s.w->Scene->Count(), 4);
    EXPECT_EQ(s.w->MissingPicturesText(), "");
    XImageCacheObject* texture = s.Obj(3)->Style->Texture;
    ASSERT_NE(texture, nullptr);
    XImage* shown = texture->GetGraphic();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->Width(), 12);
    EXPECT_EQ(shown->Height(), 9);
  }
}

// A picture that failed is read again when it is chosen again: here one that lies in the
// Images folder itself (used in place), broken at first and mended under the same name.
TEST(InsertCommands, APictureThatFailedIsReadAgainWhenChosenAgain) {
  StyleWindows s;
  const std::string file = s.home.dir.File("Images/mended.bmp");
  WriteAll(file, "BM this is no picture");
  DialogAnswers dialogs([&](TCommonDialog& d) {
    static_cast<TOpenDialog&>(d).FileName = file;
    return true;
  });
  // A picture that cannot be read is reported and changes nothing: no object, no snapshot.
  s.w->TBInsertPicture->trigger();
  ASSERT_EQ(s.w->Scene->Count(), 3);
  EXPECT_EQ(s.w->ChangeCount, 0);
  EXPECT_FALSE(s.w->UndoAvailable);
  std::vector<std::string> boxes = s.home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("could not be read"), std::string::npos);
  // Nor is a broken file from elsewhere copied into the image folder.
  const std::string outside = s.home.dir.File("broken.png");
  WriteAll(outside, "\x89PNG no more");
  {
    DialogAnswers other([&](TCommonDialog& d) {
      static_cast<TOpenDialog&>(d).FileName = outside;
      return true;
    });
    s.w->TBInsertPicture->trigger();
  }
  EXPECT_EQ(s.w->Scene->Count(), 3);
  EXPECT_FALSE(FileExists(s.home.dir.File("Images/broken.png")));
  EXPECT_EQ(s.home.TakeBoxes().size(), 1u);
  SetDialogHook([&](TCommonDialog& d) {
    static_cast<TOpenDialog&>(d).FileName = file;
    return true;
  });

  XImage picture;
  picture.SetSize(20, 10);
  picture.Canvas().Brush.SetColor(0x3366CC);
  picture.Canvas().FillRect(TRect(0, 0, 20, 10));
  picture.SaveToFile(file);
  s.w->TBInsertPicture->trigger();
  ASSERT_EQ(s.w->Scene->Count(), 4);
  ASSERT_NE(s.Obj(3)->Style->Texture, nullptr);
  EXPECT_EQ(s.Obj(3)->Bounds, R(10, 10, 30, 20));
  EXPECT_TRUE(s.home.TakeBoxes().empty());
}

// --- Style controls ---

struct StyleCase {
  const char* what;
  std::function<void(StyleWindows&)> act;
  std::function<bool(TZLMButton&)> applied;
};

// A picture cut short (a download or a copy that broke off) is told by its name and in words,
// whichever way it comes in: inserted as an image, loaded as a texture, or met as the texture
// of a page being opened. No bare stream or library error reaches the user.
TEST(InsertCommands, ACutShortPictureIsToldByNameInWords) {
  for (const char* ext : {"gif", "png", "jpg", "bmp"}) {
    SCOPED_TRACE(ext);
    StyleWindows s;
    XImage picture;
    picture.SetSize(40, 30);
    picture.Canvas().Brush.SetColor(0x2255AA);
    picture.Canvas().FillRect(TRect(0, 0, 40, 30));
    picture.Canvas().Brush.SetColor(0xFFFFFF);
    picture.Canvas().FillRect(TRect(5, 5, 30, 20));
    const std::string whole = s.home.dir.File(std::string("whole.") + ext);
    picture.SaveToFile(whole);
    const std::string bytes = ReadAll(whole);
    const std::string cut = s.home.dir.File(std::string("Images/cut.") + ext);
    ASSERT_TRUE(ForceDirectories(s.home.dir.File("Images")));
    WriteAll(cut, bytes.substr(0, bytes.size() / 2));
    auto check = [&](const char* road) {
      SCOPED_TRACE(road);
      std::vector<std::string> boxes = s.home.TakeBoxes();
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_NE(boxes[0].find(cut), std::string::npos) << boxes[0];
      EXPECT_NE(boxes[0].find("cut short"), std::string::npos) << boxes[0];
      for (const char* bare : {"Stream read error", "JPEG error", "Invalid bitmap", "libpng"})
        EXPECT_EQ(boxes[0].find(bare), std::string::npos) << boxes[0];
    };
    {
      DialogAnswers dialogs([&](TCommonDialog& d) {
        static_cast<TOpenDialog&>(d).FileName = cut;
        return true;
      });
      s.w->TBInsertPicture->trigger();
      check("insert image");
      s.Select({0});
      s.w->ButtonLoadTextureClick(nullptr);
      check("load texture");
    }
    // A page whose object has it as its texture.
    const std::string page = s.home.dir.File("textured.zlm");
    WriteAll(page,
             StyleProjectText({{"T", 10, 10, 90, 50, std::string("TextureFileName=cut.") + ext + "\n"}}));
    ImageCache().UnloadAll();
    s.home.TakeBoxes();
    s.w->LoadProject(page, true);
    check("a page opened");
  }
}

TEST(StyleControls, EachControlWritesIntoEverySelectedObject) {
  const StyleCase cases[] = {
      {"font name typed",
       [](StyleWindows& s) {
         s.w->ComboFontName->lineEdit()->clear();
         QTest::keyClicks(s.w->ComboFontName->lineEdit(), "Impact");
       },
       [](TZLMButton& o) { return o.Style->Font->Name == "Impact"; }},
      {"font size chosen",
       [](StyleWindows& s) {
         int i = s.w->ComboFontSize->findText("24");
         s.w->ComboFontSize->setCurrentIndex(i);
         emit s.w->ComboFontSize->activated(i);
       },
       [](TZLMButton& o) { return o.Style->Font->Size() == 24; }},
      {"font size not a number",
       [](StyleWindows& s) {
         s.w->ComboFontSize->lineEdit()->clear();
         QTest::keyClicks(s.w->ComboFontSize->lineEdit(), "x");
       },
       [](TZLMButton& o) { return o.Style->Font->Size() == 12; }},
      {"bold", [](StyleWindows& s) { s.w->ToolButtonBold->trigger(); },
       [](TZLMButton& o) { return (o.Style->Font->Style & fsBold) && !(o.Style->Font->Style & fsItalic); }},
      {"italic", [](StyleWindows& s) { s.w->ToolButtonItalic->trigger(); },
       [](TZLMButton& o) { return o.Style->Font->Style == fsItalic; }},
      {"underline", [](StyleWindows& s) { s.w->ToolButtonUnderlined->trigger(); },
       [](TZLMButton& o) { return o.Style->Font->Style == fsUnderline; }},
      {"strike-out", [](StyleWindows& s) { s.w->ToolButtonStrikeOut->trigger(); },
       [](TZLMButton& o) { return o.Style->Font->Style == fsStrikeOut; }},
      {"align left", [](StyleWindows& s) { s.w->ToolButtonLeft->trigger(); },
       [](TZLMButton& o) { return o.Style->Alignment == 0; }},
      {"align right", [](StyleWindows& s) { s.w->ToolButtonRight->trigger(); },
       [](TZLMButton& o) { return o.Style->Alignment == 1; }},
      {"antialias", [](StyleWindows& s) { s.tools->CheckAntialias->click(); },
       [](TZLMButton& o) { return o.Style->IsAntialiased; }},
      {"transparent", [](StyleWindows& s) { s.tools->CheckTransparent->click(); },
       [](TZLMButton& o) { return o.Style->IsTransparent; }},
      {"overlay",
       [](StyleWindows& s) {
         s.tools->ComboOverlay->setCurrentIndex(17);
         emit s.tools->ComboOverlay->activated(17);
       },
       [](TZLMButton& o) { return o.Style->Shape == 17; }},
      {"border width",
       [](StyleWindows& s) {
         int i = s.tools->PenWidth->findText("16");
         s.tools->PenWidth->setCurrentIndex(i);
         emit s.tools->PenWidth->activated(i);
       },
       [](TZLMButton& o) { return o.Style->PenWidth == 16; }},
      {"curve size",
       [](StyleWindows& s) {
         int i = s.tools->CurveSize->findText("40");
         s.tools->CurveSize->setCurrentIndex(i);
         emit s.tools->CurveSize->activated(i);
       },
       [](TZLMButton& o) { return o.Style->CurveSize == 40; }},
      {"link address typed",
       [](StyleWindows& s) {
         s.w->EditURL->clear();
         QTest::keyClicks(s.w->EditURL, "next.htm");
       },
       [](TZLMButton& o) { return o.LinkAddress == "next.htm"; }},
  };
  for (const StyleCase& c : cases) {
    SCOPED_TRACE(c.what);
    StyleWindows s;
    s.Select({0, 2});
    ASSERT_EQ(s.w->ChangeCount, 0);
    ASSERT_FALSE(c.applied(*s.Obj(0)));
    c.act(s);
    EXPECT_TRUE(c.applied(*s.Obj(0)));
    EXPECT_TRUE(c.applied(*s.Obj(2)));
    EXPECT_FALSE(c.applied(*s.Obj(1)));
    // Every style change counts, so closing asks about it.
    EXPECT_NE(s.w->ChangeCount, 0);
  }
}

// The scene as a save writes it, without what Undo need not bring back (the selection).
std::string PageText(TFormMain& w) {
  TINIDocument doc("");
  w.Scene->SaveToINI(doc);
  std::stringstream in(doc.AsString());
  std::string text, line;
  while (std::getline(in, line))
    if (line.rfind("IsSelected=", 0) != 0 && line.rfind("LastSelected=", 0) != 0) text += line + "\n";
  return text;
}

// Each edit is one change with its own snapshot, taken before it: an edit typed into a box
// however many keys it takes, an address, a style from the library. Undo after it takes it
// back, and only it: the change before stays.
TEST(StyleControls, EachEditIsOneChangeAndUndoTakesBackThatOneOnly) {
  struct Case {
    const char* what;
    std::function<void(StyleWindows&)> edit;
  } cases[] = {
      {"font size typed",
       [](StyleWindows& s) {
         s.w->ComboFontSize->lineEdit()->selectAll();
         QTest::keyClicks(s.w->ComboFontSize->lineEdit(), "30");
         EXPECT_EQ(s.Obj(0)->Style->Font->Size(), 30);
       }},
      {"font name typed",
       [](StyleWindows& s) {
         s.w->ComboFontName->lineEdit()->selectAll();
         QTest::keyClicks(s.w->ComboFontName->lineEdit(), "Arial");
         EXPECT_EQ(s.Obj(0)->Style->Font->Name, "Arial");
       }},
      {"font size chosen after typing",
       [](StyleWindows& s) {
         s.w->ComboFontSize->lineEdit()->selectAll();
         QTest::keyClicks(s.w->ComboFontSize->lineEdit(), "1");
         int i = s.w->ComboFontSize->findText("24");
         s.w->ComboFontSize->setCurrentIndex(i);
         emit s.w->ComboFontSize->activated(i);
       }},
      {"link typed",
       [](StyleWindows& s) {
         s.w->EditURL->selectAll();
         QTest::keyClicks(s.w->EditURL, "next.htm");
         EXPECT_EQ(s.Obj(0)->LinkAddress, "next.htm");
       }},
      {"library style",
       [](StyleWindows& s) {
         s.PickTemplate("Zinc");
         s.w->ApplyStyleClick(s.library->ListTemplates);
         EXPECT_EQ(s.Obj(0)->StyleName, "Zinc");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StyleWindows s;
    s.Select({0, 2});
    // The change before: bold, a change of its own.
    s.w->ToolButtonBold->trigger();
    const std::string before = PageText(*s.w);
    c.edit(s);
    ASSERT_NE(PageText(*s.w), before);
    ASSERT_TRUE(s.w->UndoAvailable);
    s.w->MIUndo->trigger();
    EXPECT_EQ(PageText(*s.w), before);
    EXPECT_TRUE(s.Obj(0)->Style->Font->Style & fsBold);
    EXPECT_NE(s.w->ChangeCount, 0);  // the bold is still unsaved
  }
}

// An edit of a box ends when the box is left or another object is shown: the next edit of it
// is a change of its own.
TEST(StyleControls, AnEditOfABoxEndsWhenTheBoxIsLeft) {
  for (bool reselect : {false, true}) {
    SCOPED_TRACE(reselect ? "shown anew" : "left");
    StyleWindows s;
    s.Select({0});
    QLineEdit* edit = s.w->ComboFontSize->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, "30");
    if (reselect) s.Select({0});
    else emit edit->editingFinished();
    edit->selectAll();
    QTest::keyClicks(edit, "9");
    ASSERT_EQ(s.Obj(0)->Style->Font->Size(), 9);
    s.w->MIUndo->trigger();
    EXPECT_EQ(s.Obj(0)->Style->Font->Size(), 30);
  }
}

TEST(StyleControls, AChangeWithNothingSelectedStillCounts) {
  StyleWindows s;
  s.w->ButtonAlignLeftClick(s.w->ToolButtonLeft);
  EXPECT_NE(s.w->ChangeCount, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(s.Obj(i)->Style->Alignment, 2);
}

TEST(StyleControls, NumbersOfTheBorderListsAreLimited) {
  StyleWindows s;
  s.Select({1});
  for (auto [text, pen, curve] : {std::tuple{"40", 32, 40}, {"99", 32, 64}, {"-3", 0, 0}, {"x", 0, 0}}) {
    SCOPED_TRACE(text);
    for (QComboBox* box : {s.tools->PenWidth, s.tools->CurveSize}) {
      box->addItem(text);
      box->setCurrentIndex(box->count() - 1);
    }
    s.w->PenWidthChange(s.tools->PenWidth);
    s.w->CurveSizeChange(s.tools->CurveSize);
    EXPECT_EQ(s.Obj(1)->Style->PenWidth, pen);
    EXPECT_EQ(s.Obj(1)->Style->CurveSize, curve);
  }
}

TEST(StyleControls, NoOverlayChosenSaysSoAndChangesNothing) {
  StyleWindows s;
  s.Select({0});
  s.tools->ComboOverlay->setCurrentIndex(-1);
  s.w->ComboOverlayChange(s.tools->ComboOverlay);
  EXPECT_EQ(s.home.TakeBoxes(), (std::vector<std::string>{"No overlay is selected"}));
  EXPECT_EQ(s.Obj(0)->Style->Shape, 1);
}

TEST(StyleControls, ColourPanelsFlipAndTheBackgroundDropsTheTexture) {
  StyleWindows s;
  s.Select({0, 1});
  // The panels show the focused object's colours (B: Color1 = 2).
  EXPECT_EQ(QColorToTColor(s.tools->XColorPanel1->palette().color(QPalette::Window)), 2u);
  s.Obj(0)->Style->Texture = ImageCache().GetEntry(s.home.dir.File("Images/bricks.bmp"));
  s.Obj(0)->Style->TextureFileName = "bricks.bmp";
  s.tools->FlipColors->click();
  for (int i : {0, 1}) {
    // Both take the panels' colours, 1 and 4, 2 and 3 swapped: B's were 2, 0x808080,
    // 0xC0C0C0, 0xFFFFFF.
    ZStyle& st = *s.Obj(i)->Style;
    EXPECT_EQ(st.Color1, 0xFFFFFFu);
    EXPECT_EQ(st.Color2, 0xC0C0C0u);
    EXPECT_EQ(st.Color3, 0x808080u);
    EXPECT_EQ(st.Color4, 2u);
  }
  EXPECT_EQ(s.Obj(2)->Style->Color1, 3u);
  // A background colour from the dialog replaces the texture.
  DialogAnswers dialogs([](TCommonDialog& d) {
    static_cast<TColorDialog&>(d).Color = 0x123456;
    return true;
  });
  QTest::mouseClick(s.tools->XColorPanel0, Qt::LeftButton);
  EXPECT_EQ(s.Obj(0)->Style->Color0, 0x123456u);
  EXPECT_EQ(s.Obj(0)->Style->Texture, nullptr);
  EXPECT_EQ(s.Obj(0)->Style->TextureFileName, "");
  EXPECT_EQ(s.Obj(1)->Style->Color0, 0x123456u);
}

TEST(StyleControls, FontAndTextColourDialogs) {
  StyleWindows s;
  s.Obj(2)->Style->Font->Style = fsBold;
  s.Select({0, 2});
  // Whatever the boxes show, the dialog opens on the focused object's own font.
  s.w->ComboFontName->setEditText("Impact");
  s.w->ComboFontSize->setEditText("72");
  bool ok = false, untouched = false;
  DialogAnswers dialogs([&](TCommonDialog& d) {
    if (untouched) return true;
    if (auto* f = dynamic_cast<TFontDialog*>(&d)) {
      EXPECT_EQ(f->Font.Name, "Arial");
      EXPECT_EQ(f->Font.Size(), 8);
      EXPECT_EQ(f->Font.Style, fsBold);
      f->Font.Name = "Georgia";
      f->Font.SetSize(30);
      f->Font.Style = fsItalic;
    }
    if (auto* c = dynamic_cast<TColorDialog*>(&d)) {
      // It starts at the focused object's font colour.
      EXPECT_EQ(c->Color, s.Obj(2)->Style->Font->Color);
      c->Color = 0x00AA00;
    }
    return ok;
  });
  // Cancelled, neither dialog changes anything: no snapshot, no change to save.
  s.w->PanelColor10DblClick(s.w->ToolButtonTextColor);
  EXPECT_EQ(s.w->ChangeCount, 0);
  s.w->MenuItemChangeFont1Click(s.w->MIChangeFont);
  EXPECT_EQ(s.w->ChangeCount, 0);
  EXPECT_FALSE(s.w->UndoAvailable);
  EXPECT_EQ(s.Obj(0)->Style->Font->Name, "Verdana");
  // OK with nothing changed, with only the focused object selected: no change either.
  s.Select({2});
  untouched = true;
  s.w->MenuItemChangeFont1Click(s.w->MIChangeFont);
  untouched = false;
  EXPECT_EQ(s.w->ChangeCount, 0);
  EXPECT_EQ(s.Obj(2)->Style->Font->Style, fsBold);
  s.Select({0, 2});
  ok = true;
  s.w->MenuItemChangeFont1Click(s.w->MIChangeFont);
  s.w->PanelColor10DblClick(s.w->ToolButtonTextColor);
  for (int i : {0, 2}) {
    EXPECT_EQ(s.Obj(i)->Style->Font->Name, "Georgia");
    EXPECT_EQ(s.Obj(i)->Style->Font->Size(), 30);
    EXPECT_EQ(s.Obj(i)->Style->Font->Style, fsItalic);
    EXPECT_EQ(s.Obj(i)->Style->Font->Color, 0x00AA00u);
  }
  EXPECT_EQ(s.w->ComboFontName->currentText(), "Georgia");
  EXPECT_EQ(s.w->ComboFontSize->currentText(), "30");
  EXPECT_EQ(s.Obj(1)->Style->Font->Name, "Courier New");
}

// --- The controls set back from the focused object ---

// The font box shows the face an object names even where no installed family has that
// name, in italics, the tip of its text naming the face that draws it; an installed face is
// plain. The box's own hint stays.
TEST(StyleControls, TheFontBoxShowsAFaceThatIsNotInstalledAsReplaced) {
  StyleWindows s;
  QComboBox* box = s.w->ComboFontName;
  auto installed = [&](const std::string& name) { return box->findText(QString::fromStdString(name)) >= 0; };
  // Nothing focused: the face new objects name.
  EXPECT_EQ(box->currentText(), "Times New Roman");
  EXPECT_EQ(box->lineEdit()->font().italic(), !installed("Times New Roman"));
  for (const char* face : {"Impact", "No Such Face Zq", "DejaVu Sans", "Times New Roman"}) {
    SCOPED_TRACE(face);
    s.Obj(1)->Style->Font->Name = face;
    s.Select({1});
    EXPECT_EQ(box->currentText().toStdString(), face);
    const bool replaced = !installed(face);
    EXPECT_EQ(box->lineEdit()->font().italic(), replaced);
    const std::string tip = box->lineEdit()->toolTip().toStdString();
    if (replaced) {
      EXPECT_NE(tip.find(std::string(face) + " is not installed"), std::string::npos) << tip;
      EXPECT_NE(tip.find(MatchFont(face, false, false).Family), std::string::npos) << tip;
    } else {
      EXPECT_EQ(tip, "");
    }
    EXPECT_EQ(box->toolTip(), "Font Name");
    EXPECT_EQ(s.Obj(1)->Style->Font->Name, face);  // showing it writes nothing back
  }
}

TEST(StyleControls, SyncShowsTheFocusedObjectAndWritesNothingBack) {
  StyleWindows s;
  ZStyle& st = *s.Obj(1)->Style;
  st.Font->Style = fsBold | fsStrikeOut;
  st.Alignment = 1;
  st.PenWidth = 6;
  st.CurveSize = 7;  // not in the list: no entry
  st.IsTransparent = true;
  st.TextureMode = 3;
  s.Obj(1)->LinkAddress = "b.htm";
  s.Obj(1)->StyleName = "Zinc";
  // A and B selected, B focused: the controls now show B, and A keeps its own style.
  s.Select({0, 1});
  EXPECT_FALSE(s.w->UpdatingControls);
  EXPECT_EQ(s.w->ComboFontName->currentText(), "Courier New");
  EXPECT_EQ(s.w->ComboFontSize->currentText(), "15");
  EXPECT_TRUE(s.w->ToolButtonBold->isChecked());
  EXPECT_TRUE(s.w->ToolButtonStrikeOut->isChecked());
  EXPECT_FALSE(s.w->ToolButtonItalic->isChecked());
  EXPECT_TRUE(s.w->ToolButtonRight->isChecked());
  EXPECT_EQ(s.w->EditURL->text(), "b.htm");
  EXPECT_EQ(s.tools->ComboOverlay->currentIndex(), 4);
  EXPECT_EQ(s.tools->PenWidth->currentText(), "6");
  EXPECT_EQ(s.tools->CurveSize->currentIndex(), -1);
  EXPECT_EQ(s.tools->ComboTextureMode->currentIndex(), 2);
  EXPECT_TRUE(s.tools->CheckTransparent->isChecked());
  EXPECT_FALSE(s.tools->CheckAntialias->isChecked());
  EXPECT_EQ(s.library->ListTemplates->currentItem()->text(), "Zinc");
  EXPECT_EQ(FontDialog()->Font.Name, "Courier New");
  ZStyle& a = *s.Obj(0)->Style;
  EXPECT_EQ(a.Font->Name, "Verdana");
  EXPECT_EQ(a.Font->Style, 0);
  EXPECT_EQ(a.Alignment, 2);
  EXPECT_EQ(a.Shape, 1);
  EXPECT_FALSE(a.IsTransparent);
  EXPECT_EQ(s.Obj(0)->LinkAddress, "");
  EXPECT_EQ(s.w->ChangeCount, 0);
  // A style name without a library entry leaves the list's choice alone.
  s.Obj(2)->StyleName = "Unknown";
  s.Select({2});
  EXPECT_EQ(s.library->ListTemplates->currentItem()->text(), "Zinc");
}

// After a project is opened every control shows that page's current object at once, and a
// tick then changes the new page's object, not the old one's.
TEST(StyleControls, OpeningAProjectShowsItsCurrentObject) {
  StyleWindows s;
  s.Obj(1)->Style->IsTransparent = true;
  s.Obj(1)->LinkAddress = "old.htm";
  s.Select({1});
  ASSERT_TRUE(s.tools->CheckTransparent->isChecked());
  const std::string other = s.home.dir.File("other.zlm");
  WriteAll(other,
           StringReplaceAll(StyleProjectText({{"N", 10, 10, 90, 40, "LinkAddress=new.htm\nIsSelected=1\n"}}),
                            "LastSelected=-1", "LastSelected=0"));
  s.w->LoadProject(other, false);
  ASSERT_EQ(s.w->Scene->Count(), 1);
  EXPECT_EQ(s.w->Scene->Current, s.Obj(0));
  EXPECT_FALSE(s.tools->CheckTransparent->isChecked());
  EXPECT_EQ(s.w->EditURL->text(), "new.htm");
  EXPECT_TRUE(s.w->MIExportImage->isEnabled());
  s.tools->CheckTransparent->click();
  EXPECT_TRUE(s.Obj(0)->Style->IsTransparent);
  // A page without a current object leaves the controls showing none.
  WriteAll(other, StyleProjectText({{"M", 10, 10, 90, 40, "LinkAddress=m.htm\n"}}));
  s.w->LoadProject(other, false);
  EXPECT_EQ(s.w->Scene->Current, nullptr);
  EXPECT_FALSE(s.w->EditURL->isEnabled());
  EXPECT_FALSE(s.w->MIExportImage->isEnabled());
  EXPECT_FALSE(s.tools->CheckTransparent->isEnabled());
}

TEST(StyleControls, WhatIsEnabledFollowsTheFocusedObject) {
  StyleWindows s;
  // Nothing focused: the style controls are off and the colour panels ignore clicks.
  int dialogs = 0;
  DialogAnswers answers([&](TCommonDialog&) {
    ++dialogs;
    return false;
  });
  for (QWidget* c : std::initializer_list<QWidget*>{s.tools->ComboOverlay, s.tools->CheckAntialias,
                                                    s.tools->CheckTransparent, s.tools->FlipColors,
                                                    s.tools->ButtonLoadTexture, s.tools->ComboTextureMode,
                                                    s.w->EditURL, s.w->ComboFontName, s.w->ComboFontSize})
    EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
  EXPECT_FALSE(s.w->ToolButtonBold->isEnabled());
  EXPECT_FALSE(s.w->MenuItemCut1->isEnabled());
  EXPECT_TRUE(s.w->MenuItemSelectAll1->isEnabled());
  QTest::mouseClick(s.tools->XColorPanel3, Qt::LeftButton);
  EXPECT_EQ(dialogs, 0);
  EXPECT_EQ(s.tools->XColorPanel3->palette().color(QPalette::Window), TColorToQColor(clBtnFace));

  struct Case {
    int shape;
    bool curve, pen;
  } cases[] = {{0, false, false}, {3, false, false},  {4, false, true},  {5, true, true},
               {22, false, true}, {23, false, false}, {24, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shape);
    s.Obj(0)->Style->Shape = int8_t(c.shape);
    s.Select({0});
    EXPECT_EQ(s.tools->CurveSize->isEnabled(), c.curve);
    EXPECT_EQ(s.tools->PenWidth->isEnabled(), c.pen);
    EXPECT_TRUE(s.tools->ComboOverlay->isEnabled());
    EXPECT_FALSE(s.tools->ComboTextureMode->isEnabled());
  }
  // With a texture the mode can be chosen; the panels take clicks again.
  s.Obj(0)->Style->Texture = ImageCache().GetEntry(s.home.dir.File("Images/wood.bmp"));
  s.Select({0});
  EXPECT_TRUE(s.tools->ComboTextureMode->isEnabled());
  EXPECT_TRUE(s.w->MenuItemCut1->isEnabled());
  QTest::mouseClick(s.tools->XColorPanel3, Qt::LeftButton);
  EXPECT_EQ(dialogs, 1);
  EXPECT_GT(s.tools->Image->width(), 0);
}

// --- Templates ---

TEST(Templates, ApplyingAStyleKeepsEachObjectsFontFaceAndSize) {
  StyleWindows s;
  s.Select({0, 1});
  s.PickTemplate("Zinc");
  // Double click on the entry.
  QListWidget* list = s.library->ListTemplates;
  QRect r = list->visualItemRect(list->currentItem());
  // A double click as the user makes it: a click, then the second press.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
  for (int i : {0, 1}) {
    ZStyle& st = *s.Obj(i)->Style;
    EXPECT_EQ(st.Shape, 5);
    EXPECT_EQ(st.CurveSize, 12);
    EXPECT_EQ(st.Color1, 2236962u);
    EXPECT_EQ(st.Color5, 6710886u);
    EXPECT_TRUE(st.IsAntialiased);
    EXPECT_EQ(st.Font->Color, 255u);
    EXPECT_EQ(s.Obj(i)->StyleName, "Zinc");
  }
  EXPECT_EQ(s.Obj(0)->Style->Font->Name, "Verdana");
  EXPECT_EQ(s.Obj(0)->Style->Font->Height(), -13);
  EXPECT_EQ(s.Obj(1)->Style->Font->Name, "Courier New");
  EXPECT_EQ(s.Obj(1)->Style->Font->Height(), -20);
  EXPECT_EQ(s.Obj(2)->Style->Shape, 6);
  // The page has changed: a change of its own, which Undo takes back.
  EXPECT_NE(s.w->ChangeCount, 0);
  EXPECT_TRUE(s.w->UndoAvailable);
  // The blank-padded name is trimmed.
  s.PickTemplate("Amber");
  s.w->ApplyStyleClick(list);
  EXPECT_EQ(s.Obj(0)->StyleName, "Amber");
  EXPECT_EQ(s.Obj(0)->Style->Font->Name, "Verdana");
}

TEST(Templates, NewButtonTakesTheChosenTemplate) {
  StyleWindows s;
  s.PickTemplate("Zinc");
  s.w->TBNewButton->trigger();
  TZLMButton* o = s.Obj(3);
  EXPECT_EQ(o->Text, "Zinc");
  EXPECT_EQ(o->Bounds, R(200, 96, 320, 136));
  EXPECT_EQ(o->Style->Shape, 5);
  EXPECT_EQ(o->Style->Font->Name, "Tahoma");
  EXPECT_EQ(o->StyleName, "Zinc");
}

TEST(Templates, ADropFromTheLibraryMakesAButtonCentredOnIt) {
  StyleWindows s;
  QListWidget* list = s.library->ListTemplates;
  bool accept = true;
  // Nothing chosen in the list, or a drag from elsewhere: refused.
  s.w->PaintBoxDragOver(s.w->PaintBox, list, 100, 100, accept);
  EXPECT_FALSE(accept);
  s.PickTemplate("Zinc");
  s.w->PaintBoxDragOver(s.w->PaintBox, s.w->EditURL, 100, 100, accept);
  EXPECT_FALSE(accept);
  s.w->PaintBoxDragDrop(s.w->PaintBox, s.w->EditURL, 100, 100);
  EXPECT_EQ(s.w->Scene->Count(), 3);
  s.w->PaintBoxDragOver(s.w->PaintBox, list->viewport(), 100, 100, accept);
  EXPECT_TRUE(accept);
  // A drop event that no drag of the program carries (another program's) is refused too.
  QMimeData data;
  data.setText("Zinc");
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(s.w->PaintBox, &drop);
  EXPECT_EQ(s.w->Scene->Count(), 3);
  // The template is 120 x 40: centred on (300, 203) and snapped.
  s.w->PaintBoxDragDrop(s.w->PaintBox, list->viewport(), 300, 203);
  ASSERT_EQ(s.w->Scene->Count(), 4);
  TZLMButton* o = s.Obj(3);
  EXPECT_EQ(o->Bounds, R(240, 176, 360, 216));
  EXPECT_EQ(o->Text, "Zinc");
  EXPECT_EQ(o->Style->Shape, 5);
  EXPECT_EQ(o->LinkAddress, "index.htm");
  EXPECT_EQ(s.w->Scene->Current, o);
  EXPECT_NE(s.w->ChangeCount, 0);
}

}  // namespace
