// The HTML page builder on the real main window: a fixture page built into a site folder,
// the markup and the slices it writes, the browser it opens, and what it refuses.
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <QStatusBar>
#include <QUrl>

#include "POP/PopBitmap.h"
#include "POP/PopTypes.h"
#include "engine/TTableMaker.h"
#include "engine/XRender.h"
#include "platform/TextRender.h"
#include "platform/WaitIndicator.h"
#include "tests/engine/SlicedPage.h"
#include "tests/support/PageBuilderFixture.h"
#include "tests/support/ProgramHome.h"

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
bool StartsWith(const std::string& text, const std::string& part) { return text.rfind(part, 0) == 0; }

// The fixture's font: Verdana, then the face the editor drew for it and its kind.
std::string Font() {
  const TFontMatch m = MatchFont("Verdana", false, false);
  return "<FONT color=000000 face=\"Verdana," + m.Family + "," + m.Generic +
         "\" style=text-decoration:none;font-size:13>";
}

// The main window on the fixture project "shop.zlm", its page drawn whole.
std::unique_ptr<TFormMain> StartOnShop(ProgramHome& home) {
  const std::string project = home.dir.File("shop.zlm");
  WriteAll(project, BuilderFixtureProject());
  auto w = StartMainWindow({project});
  RenderWholePage(*w);
  return w;
}

TEST(PageBuilder, BuildsTheSiteOfThePage) {
  ProgramHome home;
  const std::string project = home.dir.File("shop.zlm");
  WriteAll(project, BuilderFixtureProject());
  auto w = StartMainWindow({project});
  ASSERT_EQ(w->Scene->Count(), 10);
  RenderWholePage(*w);
  XImage before;
  before.Assign(w->Scene->Page);

  home.services.Inputs = {std::string("shop")};
  w->MIHTMLPageBuilder->trigger();
  ASSERT_EQ(home.services.InputBoxes.size(), 1u);
  EXPECT_EQ(home.services.InputBoxes[0].caption, "Enter Web Site Name");
  EXPECT_EQ(home.services.InputBoxes[0].prompt, "");
  EXPECT_EQ(home.services.InputBoxes[0].value, "shop");  // the project's name
  EXPECT_TRUE(home.services.Boxes.empty());

  const std::string site = home.dir.File("Sites/shop");
  const std::string index = site + "/index.htm";
  EXPECT_EQ(home.services.Opened, (std::vector<std::string>{"file://" + index}));
  // The status bar names the page written.
  const std::string status = w->StatusBar->currentMessage().toStdString();
  EXPECT_TRUE(Contains(status, index)) << status;
  EXPECT_FALSE(Contains(status, "selection")) << status;
  EXPECT_EQ(IncludeTrailingPathDelimiter(GetCurrentDir()), IncludeTrailingPathDelimiter(site));
  const std::string page = ReadAll(index);

  // The head from the page's settings, the body in the page colour, the table of the area
  // of all objects on the page (nothing is selected).
  EXPECT_TRUE(Contains(page, "<TITLE>Shop front</TITLE>")) << page;
  EXPECT_TRUE(Contains(page, "bgColor=FFFFFF")) << page;
  const TRect area = RectIntersection(w->Scene->GetBounds(true), TRect(0, 0, 320, 200));
  EXPECT_TRUE(Contains(
      page, "<TABLE width=" + IntToStr(area.Width()) + " height=" + IntToStr(area.Height()) + " border=0"))
      << page;

  // Plain captions, text areas and snippets are markup; the text area's text is escaped and
  // scrolls in a box of its object's size, the snippet's is taken as it stands.
  // A link around a caption takes the caption's colour and no underline.
  // A caption stands in a box of its object's size, one block per line of the editor.
  EXPECT_TRUE(
      Contains(page,
               "<A href=home.htm style=\"color:#000000;text-decoration:none\"><DIV style=\"width:80px;"
               "height:24px;overflow:hidden;white-space:pre;text-align:center"))
      << page;
  EXPECT_TRUE(Contains(page, Font() + "Home</FONT></DIV></DIV></A>")) << page;
  EXPECT_TRUE(Contains(page, "<DIV style=\"width:112px;height:50px;overflow:auto\"><DIV ALIGN=CENTER>" +
                                 Font() + "a &lt; b &amp; c</FONT></DIV></DIV>"))
      << page;
  EXPECT_TRUE(Contains(page, "<DIV style=\"width:100px;height:50px;overflow:hidden\"><DIV ALIGN=CENTER>" +
                                 Font() + "<i>raw</i> &amp; more</FONT></DIV></DIV>"))
      << page;
  // A text area whose text does not fit is still text.
  EXPECT_TRUE(Contains(page, "overflow:auto\"><DIV ALIGN=CENTER>" + Font() + "Scrolling text")) << page;
  EXPECT_TRUE(Contains(page, ">Over</FONT>")) << page;
  // Pixels: the antialiased caption, the caption taller than its box, the empty caption;
  // left out: the object partly off the page and the one under another.
  for (const char* text : {">Go<", "far too long", ">Offpage<", ">Under<"})
    EXPECT_FALSE(Contains(page, text)) << text;

  // The files: the page, the spacer and the slices it names, nothing else.
  std::set<std::string> files = FolderFiles(site), named = {"index.htm", "a.gif"};
  for (size_t p = page.find(".png"); p != std::string::npos; p = page.find(".png", p + 1)) {
    size_t start = page.find_last_of("= ", p) + 1;
    named.insert(page.substr(start, p + 4 - start));
  }
  EXPECT_TRUE(files.count("0.png"));
  EXPECT_EQ(files, named);

  // Every caption is back, on the page too.
  for (int i = 0; i < w->Scene->Count(); ++i) EXPECT_FALSE(w->Scene->Button(i)->HideText) << i;
  EXPECT_TRUE(PhotoCompare(*w->Scene->Page, before)) << "the page differs from the one before the build";
}

// The slices as a browser shows them: each one the crop of the page area it stands for,
// with the markup captions taken out.
// A PNG file without its tIME chunk: two files written a second apart are otherwise equal.
std::string WithoutPngTime(const std::string& png) {
  if (png.size() < 8) return png;
  std::string out = png.substr(0, 8);
  for (size_t at = 8; at + 12 <= png.size();) {
    uint32_t len = uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
                   uint32_t(uint8_t(png[at + 2])) << 8 | uint8_t(png[at + 3]);
    size_t whole = 12 + size_t(len);
    if (at + whole > png.size()) return png;
    if (png.compare(at + 4, 4, "tIME") != 0) out += png.substr(at, whole);
    at += whole;
  }
  return out;
}

TEST(PageBuilder, SlicesAreTheCropsOfThePageWithoutTheMarkupCaptions) {
  ProgramHome home;
  auto w = StartOnShop(home);
  const TRect area = RectIntersection(w->Scene->GetBounds(true), TRect(0, 0, 320, 200));
  // The page the slices should come from: the same scene rendered with the captions of the
  // objects that become markup hidden.
  XImage expected;
  expected.SetSize(w->Scene->Page->Width(), w->Scene->Page->Height());
  for (const char* text : {"Home", "a < b & c", "<i>raw</i> & more", "Over"})
    for (int i = 0; i < w->Scene->Count(); ++i)
      if (w->Scene->Button(i)->Text == text || StartsWith(w->Scene->Button(i)->Text, "Scrolling"))
        w->Scene->Button(i)->HideText = true;
  {
    TRegionList r = nullptr;
    RegionSet(r, 0, 0, expected.Width(), expected.Height());
    RenderScene(*w->Scene, expected, r);
    RegionClear(r);
  }
  for (int i = 0; i < w->Scene->Count(); ++i) w->Scene->Button(i)->HideText = false;
  XImage expectedArea;
  BitmapSnagIt(expectedArea, expected, area);
  if (!RedrawRendersObjects(*w))
    GTEST_SKIP() << "the window's redraw does not draw objects yet, so captions cannot leave the slices";

  home.services.Inputs = {std::string("crops")};
  w->MIHTMLPageBuilder->trigger();
  const std::string site = home.dir.File("Sites/crops");
  // Lay the same table out again to know the cells; the files must match them.
  TTableMaker maker(area.Width(), area.Height());
  for (int i = 0; i < w->Scene->Count(); ++i) {
    TZLMButton* b = w->Scene->Button(i);
    if (RectIsOverlap(b->Bounds, area))
      maker.AddTableObject(b->Bounds.Left - area.Left, b->Bounds.Top - area.Top, b->Bounds.Right - area.Left,
                           b->Bounds.Bottom - area.Top, "", "", taCenter, taCenter);
  }
  maker.LayoutTable();
  TempDir scratch;
  maker.SliceImages(expectedArea, scratch.Path());
  ExpectSlicesMatch(maker, expectedArea, scratch.Path());
  std::set<std::string> files = FolderFiles(scratch.Path());
  for (const std::string& f : files)
    EXPECT_EQ(WithoutPngTime(ReadAll(scratch.File(f))), WithoutPngTime(ReadAll(site + "/" + f))) << f;
  files.insert("index.htm");
  EXPECT_EQ(FolderFiles(site), files);
}

// With a selection only its area is built, starting at its corner.
TEST(PageBuilder, ASelectionAwayFromTheOriginGivesAPageOfJustThatArea) {
  ProgramHome home;
  auto w = StartOnShop(home);
  w->Scene->SelectNone();
  w->Scene->Button(1)->SetSelected(true);  // "Go", (100, 8) - (160, 32)
  home.services.Inputs = {std::string("one")};
  w->MIHTMLPageBuilder->trigger();
  const std::string page = ReadAll(home.dir.File("Sites/one/index.htm"));
  EXPECT_TRUE(Contains(page, "<TABLE width=60 height=24 border=0")) << page;
  // The status bar says that only the selection was built, and where it went.
  const std::string status = w->StatusBar->currentMessage().toStdString();
  EXPECT_TRUE(Contains(status, "selection")) << status;
  EXPECT_TRUE(Contains(status, home.dir.File("Sites/one/index.htm"))) << status;
  EXPECT_FALSE(Contains(page, "Home")) << page;
  XImage slice, crop;
  slice.LoadFromFile(home.dir.File("Sites/one/0.png"));
  BitmapSnagIt(crop, *w->Scene->Page, TRect(100, 8, 160, 32));
  ImageOr(crop, crop, 0xFF000000u);
  ImageOr(slice, slice, 0xFF000000u);
  EXPECT_TRUE(PhotoCompare(slice, crop));
  // An unnamed page offers "Default".
  w->ProjectFileName.clear();
  home.services.Inputs = {std::nullopt};
  w->MIHTMLPageBuilder->trigger();
  ASSERT_EQ(home.services.InputBoxes.size(), 2u);
  EXPECT_EQ(home.services.InputBoxes[1].value, "Default");
}

// What stops the builder, and what it leaves behind.
// A "#" in the site's name is part of the folder's name: the browser is sent to that folder's
// page, not to a page cut off at the "#".
TEST(PageBuilder, ASiteNameWithAHashOpensItsOwnPage) {
  ProgramHome home;
  const std::string project = home.dir.File("C#.zlm");
  WriteAll(project, BuilderFixtureProject());
  auto w = StartMainWindow({project});
  home.services.Inputs = {std::nullopt};
  w->MIHTMLPageBuilder->trigger();
  ASSERT_EQ(home.services.InputBoxes.size(), 1u);
  EXPECT_EQ(home.services.InputBoxes[0].value, "C#");
  home.services.Inputs = {std::string("C#")};
  w->MIHTMLPageBuilder->trigger();
  EXPECT_TRUE(home.services.Boxes.empty());
  EXPECT_TRUE(FileExists(home.dir.File("Sites/C#/index.htm")));
  EXPECT_EQ(home.services.Opened,
            (std::vector<std::string>{"file://" + home.dir.File("Sites/C%23/index.htm")}));
}

// A symbolic link planted inside the site folder is not followed: the page and its slices are
// written inside the folder, in the link's place, and the file the link pointed at is untouched.
TEST(PageBuilder, ALinkInTheSiteFolderIsReplacedNotFollowed) {
  ProgramHome home;
  const std::string project = home.dir.File("Mine.zlm");
  WriteAll(project, BuilderFixtureProject());
  const std::string notes = home.dir.File("notes.txt");
  WriteAll(notes, "the user's notes");
  ASSERT_TRUE(ForceDirectories(home.dir.File("Sites/Mine")));
  const std::string index = home.dir.File("Sites/Mine/index.htm");
  ASSERT_EQ(symlink("../../notes.txt", index.c_str()), 0);
  ASSERT_EQ(ReadAll(index), "the user's notes");
  auto w = StartMainWindow({project});
  home.services.Inputs = {std::string("Mine")};
  home.services.Answers = {IDYES};
  w->MIHTMLPageBuilder->trigger();
  std::vector<std::string> boxes = home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);  // the overwrite question only
  EXPECT_NE(boxes[0].find("already exists"), std::string::npos) << boxes[0];
  EXPECT_EQ(ReadAll(notes), "the user's notes");
  struct stat st {};
  ASSERT_EQ(lstat(index.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_NE(LowerCase(ReadAll(index)).find("<table"), std::string::npos);
}

// On this system only "/" separates: a site named with ":" or "\\" is a folder of that very
// name inside Sites, and the browser is sent to its page.
TEST(PageBuilder, ColonsAndBackslashesAreLettersOfASiteName) {
  for (std::string name : {"Web: final", "c:site", "..\\escape", "a\\b"}) {
    SCOPED_TRACE(name);
    ProgramHome home;
    const std::string project = home.dir.File("page.zlm");
    WriteAll(project, BuilderFixtureProject());
    auto w = StartMainWindow({project});
    home.services.Inputs = {name};
    w->MIHTMLPageBuilder->trigger();
    std::vector<std::string> boxes = home.TakeBoxes();
    EXPECT_TRUE(boxes.empty()) << boxes[0];
    const std::string index = home.dir.File("Sites/" + name + "/index.htm");
    EXPECT_TRUE(FileExists(index));
    ASSERT_EQ(home.services.Opened.size(), 1u);
    EXPECT_EQ(QUrl(QString::fromStdString(home.services.Opened[0])).toLocalFile().toStdString(), index);
    // Nothing lies anywhere else.
    EXPECT_FALSE(DirectoryExists(home.dir.File("Sites/Web")));
    EXPECT_FALSE(DirectoryExists(home.dir.File("escape")));
  }
}

TEST(PageBuilder, RefusalsAndFailures) {
  struct Case {
    const char* what;
    std::optional<std::string> name;  // the input box's answer; nullopt: Cancel
    const char* message;              // the box shown, "" for none
    int answer = 0;                   // to the overwrite question
    std::vector<std::string> also{};  // more that the box says ("<sites>" stands for the folder)
  } cases[] = {
      {"cancelled", std::nullopt, ""},
      {"empty", std::string(""), "can not be used as a web site name"},
      {"blank", std::string("   "), "can not be used as a web site name"},
      {"dot", std::string("."), "can not be used as a web site name"},
      {"dot dot", std::string(".."), "can not be used as a web site name"},
      {"up and out", std::string("../escape"), "can not be used as a web site name"},
      {"sub folder", std::string("a/b"), "can not be used as a web site name"},
      {"absolute", std::string("/tmp/zelmora-escape"), "can not be used as a web site name"},
      // The folder is named and so is the reason.
      {"a file in the way",
       std::string("taken"),
       "Could not create site directory",
       0,
       {"<sites>/taken", "a file of that name is in the way"}},
      {"a name too long",
       std::string(300, 'n'),
       "Could not create site directory",
       0,
       {"<sites>/nnnn", "File name too long"}},
      {"existing, keep it", std::string("old"),
       "This site already exists. Do you want to overwrite it with a new one?", IDNO},
      {"the page cannot be written", std::string("locked"), "The web site could not be written.", IDYES},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramHome home;
    auto w = StartOnShop(home);
    XImage before;
    before.Assign(w->Scene->Page);
    const std::string sites = home.dir.File("Sites");
    ForceDirectories(sites + "/old");
    WriteAll(sites + "/old/index.htm", "mine");
    WriteAll(sites + "/taken", "a file");
    // A folder where the page goes: every slice can be written, the page cannot; the site of
    // before stays as it was, without a slice of the new one.
    ForceDirectories(sites + "/locked/index.htm");
    WriteAll(sites + "/locked/0.png", "the old slice");
    const std::set<std::string> beforeFiles = FolderFiles(sites);
    home.services.Inputs = {c.name};
    if (c.answer) home.services.Answers = {c.answer};
    w->MIHTMLPageBuilder->trigger();
    std::vector<std::string> boxes = home.TakeBoxes();
    if (*c.message) {
      EXPECT_EQ(boxes.size(), c.answer == IDYES ? 2u : 1u);
      EXPECT_TRUE(!boxes.empty() && Contains(boxes.back(), c.message)) << (boxes.empty() ? "" : boxes.back());
      for (std::string part : c.also) {
        part = StringReplaceAll(part, "<sites>", sites, false);
        EXPECT_TRUE(!boxes.empty() && Contains(boxes.back(), part))
            << part << " in " << (boxes.empty() ? "" : boxes.back());
      }
    } else {
      EXPECT_TRUE(boxes.empty());
    }
    EXPECT_TRUE(home.services.Opened.empty());
    EXPECT_EQ(FolderFiles(sites), beforeFiles);
    EXPECT_EQ(ReadAll(sites + "/old/index.htm"), "mine");
    EXPECT_EQ(ReadAll(sites + "/taken"), "a file");
    EXPECT_EQ(FolderFiles(sites + "/locked"), (std::set<std::string>{"0.png", "index.htm"}));
    EXPECT_EQ(ReadAll(sites + "/locked/0.png"), "the old slice");
    EXPECT_FALSE(FileExists("/tmp/zelmora-escape/index.htm"));
    EXPECT_FALSE(FileExists(home.dir.File("escape/index.htm")));
    EXPECT_FALSE(FileExists(home.dir.File("index.htm")));
    for (int i = 0; i < w->Scene->Count(); ++i) EXPECT_FALSE(w->Scene->Button(i)->HideText) << i;
    EXPECT_TRUE(PhotoCompare(*w->Scene->Page, before));
  }
}

// A selection that cuts its neighbours: the cut parts are pixels of the crop, the selected
// object inside is markup, and no caption is squeezed into a cell of the selection.
TEST(PageBuilder, ASelectionThatCutsItsNeighboursBuildsThatPartOfThePage) {
  ProgramHome home;
  auto w = StartOnShop(home);
  w->Scene->SelectNone();
  // "Over" (40, 110) - (120, 134) and the snippet (130, 40) - (230, 90): their area cuts the
  // text area (8, 40) - (120, 90) and the long caption (210, 100) - (250, 116).
  w->Scene->Button(6)->SetSelected(true);
  w->Scene->Button(3)->SetSelected(true);
  home.services.Inputs = {std::string("cut")};
  w->MIHTMLPageBuilder->trigger();
  EXPECT_TRUE(home.services.Boxes.empty());
  const std::string page = ReadAll(home.dir.File("Sites/cut/index.htm"));
  EXPECT_TRUE(Contains(page, ">Over</FONT>")) << page;
  EXPECT_TRUE(Contains(page, "><i>raw</i> &amp; more</FONT>")) << page;
  // "Home" lies outside, the text area is cut: pixels; "Under" lies under "Over".
  for (const char* text : {">Home<", "a &lt; b", ">Under<"}) EXPECT_FALSE(Contains(page, text)) << text;
  for (int i = 0; i < w->Scene->Count(); ++i) EXPECT_FALSE(w->Scene->Button(i)->HideText) << i;
}

// When no browser can be started, the page is written all the same and the message names it,
// so that the user can open it.
TEST(PageBuilder, ABrowserThatDoesNotStartIsReportedWithThePath) {
  ProgramHome home;
  auto w = StartOnShop(home);
  XImage before;
  before.Assign(w->Scene->Page);
  home.services.BrowserStarts = false;
  home.services.Inputs = {std::string("shop")};
  w->MIHTMLPageBuilder->trigger();
  const std::string index = home.dir.File("Sites/shop/index.htm");
  EXPECT_TRUE(FileExists(index));
  EXPECT_EQ(home.services.Opened, (std::vector<std::string>{"file://" + index}));
  std::vector<std::string> boxes = home.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(Contains(boxes[0], "No browser could be started")) << boxes[0];
  EXPECT_TRUE(Contains(boxes[0], index)) << boxes[0];
  EXPECT_TRUE(Contains(w->StatusBar->currentMessage().toStdString(), index));
  for (int i = 0; i < w->Scene->Count(); ++i) EXPECT_FALSE(w->Scene->Button(i)->HideText) << i;
  EXPECT_TRUE(PhotoCompare(*w->Scene->Page, before));
}

TEST(PageBuilder, AnEmptyPageIsRefusedBeforeAnyQuestion) {
  ProgramHome home;
  const std::string project = home.dir.File("empty.zlm");
  // One object, wholly off the page.
  WriteAll(project,
           "[Heading]\r\nNumOfButtons=1\r\nProjectWidth=100\r\nProjectHeight=100\r\n"
           "[Button0]\r\nButtonText=Away\r\nRectLeft=200\r\nRectRight=260\r\nRectTop=0\r\nRectBottom=20\r\n");
  auto w = StartMainWindow({project});
  for (int objects : {1, 0}) {
    SCOPED_TRACE(objects);
    if (objects == 0) w->Scene->Clear();
    w->MIHTMLPageBuilder->trigger();
    EXPECT_EQ(home.TakeBoxes(),
              (std::vector<std::string>{"A HTML page can not be built from the current project"}));
    EXPECT_TRUE(home.services.InputBoxes.empty());
    EXPECT_FALSE(DirectoryExists(home.dir.File("Sites/empty")));
  }
}

// A wait indicator that records what it is told.
struct RecordingWait : TWaitIndicator {
  std::vector<std::string> calls;  // "Begin <message>[ shown]", "Progress", "End"
  std::vector<std::pair<int, int>> progress;
  TWaitIndicator* previous = WaitIndicator();
  RecordingWait() { SetWaitIndicator(this); }
  ~RecordingWait() override { SetWaitIndicator(previous); }
  int open = 0;
  void BeginWait(const std::string& message, bool show) override {
    ++open;
    calls.push_back("Begin " + message + (show ? " shown" : ""));
  }
  // As the window does, progress outside a wait goes nowhere.
  void SetProgress(int position, int maximum) override {
    if (open == 0) return;
    if (calls.empty() || calls.back() != "Progress") calls.push_back("Progress");
    progress.emplace_back(position, maximum);
  }
  void EndWait() override {
    --open;
    calls.push_back("End");
  }
};

// A build shows the wait indicator for the whole of its work, and its progress runs to the end
// of each part: the table of the objects, the drawing and the slices.
TEST(PageBuilder, TheBuildShowsItsProgress) {
  ProgramHome home;
  auto w = StartOnShop(home);
  home.services.Inputs = {std::string("busy")};
  RecordingWait wait;
  w->MIHTMLPageBuilder->trigger();
  ASSERT_TRUE(FileExists(home.dir.File("Sites/busy/index.htm")));
  ASSERT_GE(wait.calls.size(), 3u);
  EXPECT_EQ(wait.calls.front(), "Begin Building web site busy shown");
  EXPECT_EQ(wait.calls.back(), "End");
  int opened = 0, completed = 0;
  std::set<int> maxima;
  for (const std::string& c : wait.calls) {
    if (c.rfind("Begin", 0) == 0) ++opened;
    if (c == "End") --opened;
    EXPECT_GE(opened, 0);
  }
  EXPECT_EQ(opened, 0);
  for (auto [position, maximum] : wait.progress) {
    if (position == maximum) ++completed;
    maxima.insert(maximum);
  }
  // Each of the three parts runs to its end: the objects' count less one for the table and
  // the drawing, the rows of the table less one for the slices.
  EXPECT_TRUE(maxima.count(w->Scene->Count() - 1));
  EXPECT_GE(completed, 3);
  for (auto [position, maximum] : wait.progress) EXPECT_LE(position, maximum);
}

// The time to build the start-up project's site, with its page drawn as the window shows it.
TEST(PageBuilder, StartUpProjectBuildTime) {
  ProgramHome home;
  auto w = StartMainWindow();
  ASSERT_EQ(ExtractFileName(w->ProjectFileName), "splash.zlm");
  RenderWholePage(*w);
  home.services.Inputs = {std::string("splash")};
  auto t0 = std::chrono::steady_clock::now();
  w->MIHTMLPageBuilder->trigger();
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  std::set<std::string> files = FolderFiles(home.dir.File("Sites/splash"));
  std::printf("[ figure ] building the site of splash.zlm (%dx%d, %d objects): %.1f ms, %zu files\n",
              w->Scene->Page->Width(), w->Scene->Page->Height(), w->Scene->Count(), ms, files.size());
  EXPECT_TRUE(files.count("index.htm"));
  EXPECT_TRUE(home.services.Boxes.empty());
}

}  // namespace
