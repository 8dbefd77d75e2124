// The project file: its golden text, reading rules, texture names and recognition by content.
#include <gtest/gtest.h>

#include "POP/PopFastINI.h"
#include "engine/XImageCache.h"
#include "engine/XZLMButton.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"
#include "tests/support/TestSupport.h"

namespace {

// A program folder with an Images folder holding one texture, and an empty registry.
struct ProgramHome {
  TempDir dir;
  ScopedEnv home{"ZELMORA_HOME", dir.Path()};
  ScopedEnv config{"ZELMORA_CONFIG", dir.File("config")};
  ProgramHome() {
    ForceDirectories(dir.File("Images"));
    WriteAll(dir.File("Images/wood.bmp"), "BM");
  }
};

std::string Colours(int first) {
  const char* values[] = {"12632256", "0", "8421504", "12632256", "16777215", "0", "0", "0", "0", "0"};
  std::string s;
  for (int i = first; i < 10; ++i) s += "Color" + std::to_string(i) + "=" + values[i] + "\n";
  return s;
}

std::string DefaultStyle(const std::string& texture) {
  return "FontName=Verdana\nFontColor=-2147483640\nFontSize=10\nFontHeight=-13\nFontBold=0\n"
         "FontItalic=0\nFontUnderline=0\nFontStrikeOut=0\nAlignX=2\nAlignY=2\nShape=1\n"
         "PenWidth=2\nCurveSize=32\nTextureMode=1\nTextStyle=0\nIsTransparent=0\n"
         "IsAntialiased=0\n" +
         Colours(0) + "TextureFileName=" + texture + "\n";
}

TEST(ProjectFile, GoldenTextAndStableRoundTrip) {
  ProgramHome home;
  ZButtonList scene;
  scene.WriteString("Tit", "My page");
  auto* a = new TZLMButton("OK", &scene, Rect(10, 20, 110, 50), "http://a.b/");
  a->WriteString("Group", "1A2B");
  a->StyleName = "Blue";
  a->SetSelected(true);
  a->Style->TextureFileName = "wood.bmp";
  new TZLMButton("Two words", &scene, Rect(0, 0, 50, 20), "");
  scene.Current = a;

  TINIDocument doc;
  scene.SaveToINI(doc);
  const std::string expected =
      "[Heading]\nVersion=1.0\nBGColor=clWhite\nLastSelected=0\nNumOfButtons=2\n"
      "MetaInfo=%5BBase%5D%0ATit%3DMy%2Bpage%0A\n"
      "[Button0]\nGroup=1A2B\nButtonText=OK\nLinkAddress=http://a.b/\nStyleName=Blue\n"
      "RectLeft=10\nRectRight=110\nRectTop=20\nRectBottom=50\nIsSelected=1\n" +
      DefaultStyle("wood.bmp") +
      "[Button1]\nGroup=\nButtonText=Two+words\nLinkAddress=\nStyleName=\n"
      "RectLeft=0\nRectRight=50\nRectTop=0\nRectBottom=20\nIsSelected=0\n" +
      DefaultStyle("");
  EXPECT_EQ(doc.AsString(), expected);

  ZButtonList back;
  back.ReplaceFromINI(doc);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.Current, back.Layer(0));
  EXPECT_EQ(back.ReadString("Tit"), "My page");
  ASSERT_NE(back.Button(0)->Style->Texture, nullptr);
  EXPECT_EQ(back.Button(0)->Style->Texture->FileName, home.dir.File("Images/wood.bmp"));
  EXPECT_EQ(back.Button(0)->ReadString("Group"), "1A2B");
  EXPECT_TRUE(back.Button(0)->Changed);  // a loaded object is drawn at the next redraw
  EXPECT_EQ(back.Button(0)->PrevBounds, Rect(-100, -100, -100, -100));
  TINIDocument again;
  back.SaveToINI(again);
  EXPECT_EQ(again.AsString(), expected);
}

TEST(ProjectFile, StyleReadRules) {
  ProgramHome home;
  struct {
    const char* keys;
    int alignment;
    uint8_t style;
    int height;
  } cases[] = {
      {"AlignX=0\n", 0, 0, -13},
      {"AlignX=0\nAlignY=1\n", 1, 0, -13},
      {"AlignX=257\n", 1, 0, -13},   // the low 8 bits
      {"FontSize=30\n", 2, 0, -13},  // written for people, never read
      {"FontHeight=-20\nFontBold=1\nFontStrikeOut=7\n", 2, fsBold | fsStrikeOut, -20},
      {"FontHeight=99999\n", 2, 0, 1000},
  };
  for (auto& c : cases) {
    TINIDocument doc;
    doc.LoadFromString(std::string("[B]\n") + c.keys);
    ZStyle style;
    style.Font->Style = fsItalic;  // replaced by the four keys (none here: plain)
    style.LoadFromSection(doc, "B");
    EXPECT_EQ(style.Alignment, c.alignment) << c.keys;
    EXPECT_EQ(style.Font->Style, c.style) << c.keys;
    EXPECT_EQ(style.Font->Height(), c.height) << c.keys;
  }
}

// A stored texture name is looked up in the Images folder only. A name that is not there
// still gets its cache entry there (marked missing), so that the texture shows once the file
// is copied in; nothing outside the folder is ever used.
TEST(ProjectFile, TextureNamesStayInImages) {
  ProgramHome home;
  WriteAll(home.dir.File("secret.bmp"), "BM");
  struct {
    const char* stored;
    const char* name;
    const char* entry;  // the cache entry's file in Images, nullptr for none
    bool found;
  } cases[] = {{"C:\\pics\\wood.jpg", "wood.jpg", "wood.jpg", false},
               {"C:\\pics\\wood.bmp", "wood.bmp", "wood.bmp", true},
               {"WOOD.BMP", "WOOD.BMP", "wood.bmp", true},
               {"../secret.bmp", "secret.bmp", "secret.bmp", false},
               {"Images/../../etc", "etc", "etc", false},
               {"..", "..", nullptr, false},
               {"x/", "", nullptr, false}};
  for (auto& c : cases) {
    TINIDocument doc;
    doc.WriteString("B", "TextureFileName", c.stored);
    ZStyle style;
    style.LoadFromSection(doc, "B");
    EXPECT_EQ(style.TextureFileName, c.name) << c.stored;
    if (!c.entry) {
      EXPECT_EQ(style.Texture, nullptr) << c.stored;
      continue;
    }
    ASSERT_NE(style.Texture, nullptr) << c.stored;
    EXPECT_EQ(style.Texture->FileName, home.dir.File(std::string("Images/") + c.entry)) << c.stored;
    EXPECT_EQ(FileExists(style.Texture->FileName), c.found) << c.stored;
    EXPECT_EQ(style.Texture->Failed, !c.found) << c.stored;
  }
}

// A project opened on another machine names the pictures it lacks, each once, and draws the
// objects without them; a file copied into Images afterwards is used at the next redraw.
TEST(ProjectFile, MissingTexturesAreNamedOnceAndUsedWhenCopiedIn) {
  ProgramHome home;
  TINIDocument doc;
  doc.LoadFromString(
      "[Heading]\nNumOfButtons=4\n[Button0]\nTextureFileName=C:\\pics\\gone.bmp\n"
      "[Button1]\nTextureFileName=wood.bmp\n[Button2]\nTextureFileName=other.jpg\n"
      "[Button3]\nTextureFileName=gone.bmp\n");
  ZButtonList scene;
  scene.ReplaceFromINI(doc);
  EXPECT_EQ(scene.MissingFiles, (std::vector<std::string>{"gone.bmp", "other.jpg"}));
  XImageCacheObject* gone = scene.Button(0)->Style->Texture;
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(scene.Button(3)->Style->Texture, gone);
  EXPECT_EQ(gone->GetGraphic()->Width(), 0);  // known missing: no read, no second report

  XImage picture;
  picture.SetSize(3, 2);
  picture.SaveToFile(home.dir.File("Images/gone.bmp"));
  EXPECT_EQ(gone->GetGraphic()->Width(), 3);

  // Each load names its own missing files.
  TINIDocument none;
  none.LoadFromString("[Heading]\nNumOfButtons=1\n[Button0]\nTextureFileName=gone.bmp\n");
  scene.ReplaceFromINI(none);
  EXPECT_TRUE(scene.MissingFiles.empty());
  scene.LoadFromINI(doc);
  EXPECT_EQ(scene.MissingFiles, (std::vector<std::string>{"other.jpg"}));
}

// What makes a file a project: the "Heading" section that every save writes, also for a page
// without objects. Pictures, plain texts, empty files and other INI files are refused by name.
TEST(ProjectFile, RecognisedByItsHeading) {
  ProgramHome home;
  std::string saved;
  {
    ZButtonList empty;
    TINIDocument doc;
    empty.SaveToINI(doc);
    doc.SaveToFile(home.dir.File("saved.zlm"));
    saved = ReadAll(home.dir.File("saved.zlm"));
  }
  struct {
    const char* what;
    std::string bytes;
    bool project;
    int objects;
  } cases[] = {
      {"a saved page without objects", saved, true, 0},
      {"a heading alone", "[Heading]\r\nGridX=8\r\n", true, 0},
      {"a heading in other letter case", "[HEADING]\nNumOfButtons=1\n[Button0]\nButtonText=a\n", true, 1},
      {"a project with a byte-order mark",
       "\xEF\xBB\xBF[Heading]\r\nNumOfButtons=1\r\n[Button0]\r\nButtonText=a\r\n", true, 1},
      {"a PNG picture", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01", 20), false, 0},
      {"a plain text", "Dear diary,\nsome=thing\n", false, 0},
      {"an empty file", "", false, 0},
      {"another INI file", "[Settings]\nDefaultProject=x.zlm\n", false, 0},
  };
  int n = 0;
  for (auto& c : cases) {
    std::string f = home.dir.File("f" + std::to_string(n++) + ".zlm");
    WriteAll(f, c.bytes);
    TINIDocument doc;
    if (!c.project) {
      try {
        LoadProjectFile(doc, f);
        ADD_FAILURE() << c.what;
      } catch (const EReadError& e) {
        EXPECT_NE(e.Message.find(f), std::string::npos) << c.what;
        EXPECT_NE(e.Message.find("not a project"), std::string::npos) << c.what;
      }
      continue;
    }
    EXPECT_NO_THROW(LoadProjectFile(doc, f)) << c.what;
    EXPECT_TRUE(IsProjectDocument(doc)) << c.what;
    ZButtonList scene;
    scene.ReplaceFromINI(doc);
    EXPECT_EQ(scene.Count(), c.objects) << c.what;
  }
  TINIDocument doc;
  EXPECT_THROW(LoadProjectFile(doc, home.dir.File("missing.zlm")), EFOpenError);
}

TEST(ProjectFile, ColourTexts) {
  ProgramHome home;
  struct {
    const char* text;
    TColor colour;
  } cases[] = {{"clwhite", clWhite}, {"CLBTNFACE", clBtnFace}, {"$00563412", 0x563412},
               {"255", clRed},       {"clNone", clNone},       {"cl3dlight", cl3DLight}};
  for (auto& c : cases) {
    TINIDocument doc;
    doc.WriteString("Heading", "BGColor", c.text);
    ZButtonList scene;
    scene.ReplaceFromINI(doc);
    EXPECT_EQ(scene.BGColor, c.colour) << c.text;
  }
}

TEST(ProjectFile, FailedLoadsKeepTheScene) {
  ProgramHome home;
  ZButtonList scene;
  scene.BGColor = clRed;
  scene.WriteString("Tit", "kept");
  auto* a = new TZLMButton("mine", &scene, Rect(0, 0, 10, 10), "");
  scene.Current = a;
  const char* bad[] = {
      "[Heading]\nBGColor=clPink\nNumOfButtons=1\n[Button0]\nButtonText=x\n",
      "[Heading]\nMetaInfo=%zz\n",
      "[Heading]\nNumOfButtons=2\n[Button0]\nButtonText=ok\n[Button1]\nButtonText=%4\n",
  };
  for (const char* text : bad) {
    TINIDocument doc;
    doc.LoadFromString(text);
    EXPECT_THROW(scene.ReplaceFromINI(doc), EConvertError) << text;
    EXPECT_THROW(scene.LoadFromINI(doc), EConvertError) << text;
    ASSERT_EQ(scene.Count(), 1);
    EXPECT_EQ(scene.Button(0)->Text, "mine");
    EXPECT_EQ(scene.Current, a);
    EXPECT_EQ(scene.BGColor, clRed);
    EXPECT_EQ(scene.ReadString("Tit"), "kept");
  }
}

TEST(ProjectFile, ClipboardCopyAndPaste) {
  ProgramHome home;
  ZButtonList scene;
  scene.WriteString("Tit", "page");
  for (int i = 0; i < 3; ++i) new TZLMButton("b" + std::to_string(i), &scene, Rect(i, 0, i + 5, 5), "");
  scene.Button(0)->SetSelected(true);
  scene.Button(2)->SetSelected(true);
  scene.Current = scene.Button(2);

  TINIDocument clip;
  clip.LoadFromString("[Button2]\nButtonText=stale\n[Button3]\nButtonText=older\n");
  scene.SaveSelectedToINI(clip);
  EXPECT_EQ(clip.ReadInteger("Heading", "NumOfButtons", -1), 2);
  EXPECT_EQ(clip.ReadInteger("Heading", "LastSelected", -9), 1);     // b2 is the second written
  EXPECT_EQ(clip.ReadString("Button2", "ButtonText", ""), "stale");  // older sections stay

  ZButtonList target;
  target.WriteString("Tit", "other page");
  new TZLMButton("t0", &target, Rect(0, 0, 1, 1), "");
  target.LoadFromINI(clip);
  ASSERT_EQ(target.Count(), 3);
  EXPECT_EQ(target.Button(2)->Text, "b2");
  EXPECT_EQ(target.Current, target.Button(2));        // the pasted b2
  EXPECT_EQ(target.ReadString("Tit"), "other page");  // the page keeps its head settings

  ZButtonList empty;
  TINIDocument untouched;
  untouched.LoadFromString("[X]\nk=v\n");
  empty.SaveSelectedToINI(untouched);
  EXPECT_EQ(untouched.AsString(), "[X]\nk=v\n");
}

TEST(ProjectFile, SmallerSceneOverALargerFileAndBounds) {
  ProgramHome home;
  TINIDocument doc;
  ZButtonList five;
  for (int i = 0; i < 5; ++i) new TZLMButton("x", &five, Rect(0, 0, 1, 1), "");
  five.SaveToINI(doc);
  ZButtonList three;
  for (int i = 0; i < 3; ++i) new TZLMButton("y", &three, Rect(0, 0, 1, 1), "");
  three.SaveToINI(doc);
  EXPECT_TRUE(doc.FindSection("Button4"));
  ZButtonList back;
  back.ReplaceFromINI(doc);
  EXPECT_EQ(back.Count(), 3);

  TINIDocument wild;
  wild.LoadFromString(
      "[Heading]\nNumOfButtons=1\nLastSelected=7\n[Button0]\nRectLeft=50\nRectRight=-99999999\n"
      "RectTop=0\nRectBottom=10\nPenWidth=100000\nCurveSize=-5\nLinkAddress=a\n");
  back.ReplaceFromINI(wild);
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back.Button(0)->Bounds, Rect(-32767, 0, 50, 10));
  EXPECT_EQ(back.Button(0)->Style->PenWidth, kMaxPenWidth);
  EXPECT_EQ(back.Button(0)->Style->CurveSize, 0);
  EXPECT_EQ(back.Current, nullptr);
  EXPECT_EQ(back.ReadString("Tit"), "");  // no MetaInfo: the head settings are emptied
}

TEST(ProjectFile, RawValuesCannotInjectKeys) {
  ProgramHome home;
  ZButtonList scene;
  auto* b = new TZLMButton("a\r\nb", &scene, Rect(0, 0, 1, 1), "x\r\n[Heading]\r\nNumOfButtons=99");
  b->StyleName = "s\nt";
  TINIDocument doc;
  scene.SaveToINI(doc);
  TINIDocument reread;
  reread.LoadFromString(doc.AsString());
  EXPECT_EQ(reread.ReadInteger("Heading", "NumOfButtons", 0), 1);
  ZButtonList back;
  back.ReplaceFromINI(reread);
  EXPECT_EQ(back.Button(0)->Text, "a\r\nb");  // encoded, so kept whole
  EXPECT_EQ(back.Button(0)->LinkAddress, "x  [Heading]  NumOfButtons=99");
  EXPECT_EQ(back.Button(0)->StyleName, "s t");
}

TEST(ProjectFile, MissingKeysKeepCurrentValues) {
  ProgramHome home;
  TINIDocument doc;
  doc.WriteString("B", "Shape", "7");
  TZLMButton b("caption %41", nullptr, Rect(1, 2, 3, 4), "link");
  b.LoadFromSection(doc, "B");
  EXPECT_EQ(b.Text, "caption %41");  // not decoded again
  EXPECT_EQ(b.LinkAddress, "link");
  EXPECT_EQ(b.Bounds, Rect(1, 2, 3, 4));
  EXPECT_EQ(b.Style->Shape, 7);
  EXPECT_EQ(b.Style->Color0, 0xC0C0C0);
}

TEST(PageObjects, DefaultsAndAssignStyle) {
  ProgramHome home;
  ZButtonList scene;
  auto* t = new TZLMButton("Template", &scene, Rect(0, 0, 5, 5), "tl");
  t->WriteString("Group", "G");
  t->Style->Shape = 9;
  t->Style->Texture = ImageCache().GetEntry(home.dir.File("Images/wood.bmp"));
  auto* b = new TZLMButton("b", &scene, Rect(10, 10, 20, 20), "bl");
  EXPECT_TRUE(b->Changed);
  EXPECT_FALSE(b->IsSelected);
  EXPECT_EQ(b->Style->Font->Name, "Verdana");
  EXPECT_EQ(b->Style->Font->Size(), 10);
  b->AssignStyle(*t);
  EXPECT_EQ(b->Style->Shape, 9);
  EXPECT_EQ(b->StyleName, "Template");
  EXPECT_EQ(b->Bounds, Rect(10, 10, 20, 20));
  EXPECT_EQ(b->LinkAddress, "bl");
  EXPECT_EQ(b->ReadString("Group"), "");
  EXPECT_EQ(b->Style->Texture, t->Style->Texture);  // one shared cache entry
  XImageCacheObject* entry = t->Style->Texture;
  delete t;
  EXPECT_EQ(ImageCache().FindByFileName(home.dir.File("Images/wood.bmp")), entry);
}

}  // namespace

namespace {

struct RecordingWait : TWaitIndicator {
  std::vector<std::pair<int, int>> calls;
  void BeginWait(const std::string&, bool) override {}
  void SetProgress(int p, int m) override { calls.push_back({p, m}); }
  void EndWait() override {}
};

struct RecordingSplash : TLoadProgress {
  int min = -1, max = -1;
  std::vector<int> positions;
  void SetRange(int a, int b) override { min = a, max = b; }
  void SetPosition(int p) override { positions.push_back(p); }
};

TEST(ProjectFile, ProgressOncePerObject) {
  ProgramHome home;
  RecordingWait wait;
  RecordingSplash splash;
  SetWaitIndicator(&wait);
  SetSplashProgress(&splash);
  ZButtonList scene;
  for (int i = 0; i < 3; ++i) new TZLMButton("x", &scene, Rect(0, 0, 1, 1), "");
  TINIDocument doc;
  scene.SaveToINI(doc);
  EXPECT_EQ(wait.calls, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
  wait.calls.clear();
  ZButtonList back;
  back.ReplaceFromINI(doc);
  EXPECT_EQ(wait.calls.size(), 3u);
  EXPECT_EQ(splash.min, 0);
  EXPECT_EQ(splash.max, 2);
  EXPECT_EQ(splash.positions, (std::vector<int>{0, 1, 2}));
  SetWaitIndicator(nullptr);
  SetSplashProgress(nullptr);
}

}  // namespace
