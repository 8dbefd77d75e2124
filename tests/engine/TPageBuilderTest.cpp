// The page builder's table without the window: which objects of the scene become markup and
// which stay pixels, the captions it takes out of the page and puts back.
#include "engine/TPageBuilder.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <stdexcept>

#include "POP/PopTypes.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"
#include "engine/XZLMButtonStyle.h"
#include "platform/Canvas.h"
#include "platform/SysUtils.h"
#include "platform/TextRender.h"

namespace {

// A 320 x 200 white page of the objects the builder treats differently, drawn once so that
// every caption knows whether it fitted.
struct Shop {
  ZButtonList scene;
  Shop() {
    scene.Page->SetSize(320, 200);
    scene.BGColor = clWhite;
    Add("Home", {8, 8, 88, 32}, 1).LinkAddress = "home.htm";
    Add("Go", {100, 8, 160, 32}, 1).Style->IsAntialiased = true;
    Add("a < b & c", {8, 40, 120, 90}, 23);
    Add("<i>raw</i> & more", {130, 40, 230, 90}, 24);
    Add("Offpage", {280, 150, 360, 180}, 1);
    Add("Under", {8, 100, 88, 124}, 1);
    Add("Over", {40, 110, 120, 134}, 1);
    Add("", {140, 100, 200, 124}, 1);
    Add("A caption far too long for this small box", {210, 100, 250, 116}, 1);
    TRegionList r = nullptr;
    RegionSet(r, 0, 0, 320, 200);
    RenderScene(scene, *scene.Page, r);
    RegionClear(r);
  }
  TZLMButton& Add(const std::string& text, const TRect& bounds, int shape) {
    auto* b = new TZLMButton(text, &scene, bounds, "");
    b->Style->Shape = int8_t(shape);
    b->Style->Alignment = 2;
    return *b;
  }
  TZLMButton* operator[](int i) const { return scene.Button(i); }
};

std::string Upper(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = char(toupper(static_cast<unsigned char>(c)));
  return out;
}

TEST(PageTable, MarkupForCaptionsThatFitTextAreasAndSnippetsPixelsForTheRest) {
  Shop shop;
  for (int i = 0; i < shop.scene.Count(); ++i) shop[i]->HideText = true;  // left over: cleared
  const TRect area = RectIntersection(shop.scene.GetBounds(true), TRect(0, 0, 320, 200));
  TPageTable t = BuildPageTable(shop.scene, area, Upper);
  EXPECT_EQ(t.Hidden, (std::vector<TZLMButton*>{shop[0], shop[2], shop[3], shop[6]}));
  for (int i = 0; i < shop.scene.Count(); ++i) {
    const bool hidden = i == 0 || i == 2 || i == 3 || i == 6;
    EXPECT_EQ(shop[i]->HideText, hidden) << i;
    if (hidden) { EXPECT_TRUE(shop[i]->Changed) << i; }
  }
  // The two page corners, then every object that meets the area, offset to the area (the
  // one partly off the page clamped to it); only fully visible ones can be markup.
  ASSERT_EQ(t.Maker->Count(), 2 + 9);
  for (int k = 0; k < 9; ++k) {
    SCOPED_TRACE(k);
    const TTableObject* o = t.Maker->TableObject(2 + k);
    const TRect b = RectIntersection(shop[k]->Bounds, area);
    EXPECT_EQ(o->Rect, TRect(b.Left - area.Left, b.Top - area.Top, b.Right - area.Left, b.Bottom - area.Top));
    EXPECT_EQ(o->HAlign, taCenter);
    EXPECT_EQ(o->VAlign, taCenter);
    EXPECT_EQ(o->Html.empty(), !shop[k]->HideText);
  }
  EXPECT_EQ(t.Maker->TableObject(2)->Link, "home.htm");
  EXPECT_TRUE(t.LostLinks.empty());
  // Captions and text areas are encoded text with their macros expanded; a snippet's text is
  // markup, as the parser read it.
  EXPECT_NE(t.Maker->TableObject(2)->Html.find(">HOME</FONT>"), std::string::npos);
  EXPECT_NE(t.Maker->TableObject(4)->Html.find(">A &lt; B &amp; C</FONT>"), std::string::npos);
  EXPECT_NE(t.Maker->TableObject(5)->Html.find("><i>raw</i> &amp; more</FONT>"), std::string::npos);
  EXPECT_GT(t.Maker->Rows, 0);  // laid out

  ShowCaptions(t.Hidden);
  for (int i = 0; i < shop.scene.Count(); ++i) EXPECT_FALSE(shop[i]->HideText) << i;
}

// A text area and a snippet keep their boxes in a browser: a block of the object's size in
// pixels (an inline element ignores width, height and overflow, and a long text then grows
// its cell and moves every row below).
TEST(PageTable, TextAreasAndSnippetsAreBlocksOfTheirSize) {
  Shop shop;
  shop[2]->Text = "A text area whose text is far longer than its box can show at once, line after line.";
  EXPECT_EQ(
      ObjectCellMarkup(*shop[2], Upper).rfind("<DIV style=\"width:112px;height:50px;overflow:auto\">", 0), 0u)
      << ObjectCellMarkup(*shop[2], Upper);
  EXPECT_EQ(
      ObjectCellMarkup(*shop[3], Upper).rfind("<DIV style=\"width:100px;height:50px;overflow:hidden\">", 0),
      0u)
      << ObjectCellMarkup(*shop[3], Upper);
  for (int i : {2, 3}) {
    const std::string html = ObjectCellMarkup(*shop[i], Upper);
    EXPECT_EQ(html.substr(html.size() - 6), "</DIV>") << html;
    EXPECT_EQ(html.find("<SPAN"), std::string::npos) << html;
  }
  // A caption is boxed too, and clips what its glyphs paint past the box.
  EXPECT_EQ(
      ObjectCellMarkup(*shop[0], Upper)
          .rfind("<DIV style=\"width:80px;height:24px;overflow:hidden;white-space:pre;text-align:center", 0),
      0u)
      << ObjectCellMarkup(*shop[0], Upper);
}

// What a caption becomes: the editor's lines, each one editor line high, when a browser has
// room to show them all in the box; pixels otherwise. The box never gives way, so what
// does not fit must not be text.
TEST(PageTable, CaptionsAreTextOnlyWhereABrowserShowsThemWhole) {
  Shop shop;
  TZLMButton& b = *shop[0];
  struct Case {
    const char* text;
    const char* face;
    int size, w, h;
    std::vector<std::string> lines;  // empty: pixels
  } cases[] = {
      // a word wider than its box: the browser could not make the cell narrower
      {"Internationalisation", "Arial", 13, 96, 24, {}},
      {"Price list", "Arial", 11, 41, 20, {}},
      // the editor's one line fills the box: no room for a browser's wider glyphs
      {"Price list", "Arial", 11, 41, 40, {}},
      {"Price list", "Arial", 11, 36, 40, {"Price", "list"}},
      // "-" and "/" break nothing: the words stay whole on the editor's lines
      {"Sign-in/out", "Verdana", 11, 120, 24, {"Sign-in/out"}},
      {"e-mail us", "Verdana", 11, 48, 60, {"e-mail", "us"}},
      {"Home\r\nNews", "Verdana", 13, 110, 31, {}},  // two lines of 16 pixels
      {"Home\r\nNews", "Verdana", 13, 110, 34, {"Home", "News"}},
      {"  spaced  ", "Courier New", 12, 120, 24, {"  spaced"}},  // as the editor: no blanks at a line's end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " " + c.face);
    b.Text = c.text;
    b.Style->Font->Name = c.face;
    b.Style->Font->SetHeight(-c.size);
    b.Bounds = Bounds(8, 8, c.w, c.h);
    const TCaptionLayout l = CaptionLayout(*b.Style->Font, c.text, c.w, c.h);
    const std::string html = ObjectCellMarkup(b, [](const std::string& s) { return s; });
    EXPECT_EQ(l.Fits, !c.lines.empty());
    EXPECT_EQ(html.empty(), c.lines.empty()) << html;
    if (c.lines.empty()) continue;
    EXPECT_EQ(l.Lines, c.lines);
    // The fit rule's room, checked against the platform's own measure.
    for (const std::string& line : l.Lines) {
      const int w = MeasureText(*b.Style->Font, line);
      EXPECT_LE(w + kCaptionRoomX + (w + 9) / 10, c.w) << line;
    }
    EXPECT_LE(int(l.Lines.size()) * l.LineHeight + kCaptionRoomY, c.h);
    EXPECT_EQ(l.Top, (c.h - int(l.Lines.size()) * l.LineHeight) / 2);
    // One block per line, one editor line high; nothing the browser may wrap.
    const std::string lh = IntToStr(l.LineHeight) + "px";
    size_t blocks = 0;
    for (size_t at = html.find("<DIV style=\"height:" + lh + ";line-height:" + lh + "\">");
         at != std::string::npos; at = html.find("<DIV style=\"height:" + lh, at + 1))
      ++blocks;
    EXPECT_EQ(blocks, c.lines.size()) << html;
    EXPECT_EQ(html.find("<BR>"), std::string::npos) << html;
    EXPECT_NE(html.find("white-space:pre"), std::string::npos) << html;
  }
}

// A linked object that another covers in part, or that the page cuts, keeps its link on the
// cells it alone covers; a link whose object shows nowhere is reported, never dropped
// silently.
TEST(PageTable, LinksOfCoveredAndOffPageObjectsStayOverTheirVisiblePart) {
  ZButtonList scene;
  scene.Page->SetSize(640, 200);
  auto add = [&](const std::string& text, const TRect& r, const std::string& link) -> TZLMButton& {
    auto* b = new TZLMButton(text, &scene, r, "");
    b->Style->Shape = 1;
    b->LinkAddress = link;
    return *b;
  };
  add("Free", {20, 20, 120, 50}, "free.htm");
  add("Cornered", {200, 20, 300, 50}, "corner.htm");
  add("Label", {270, 40, 340, 70}, "").Style->IsTransparent = true;  // over a corner
  add("Past the edge", {580, 20, 700, 50}, "edge.htm");
  add("Buried", {20, 100, 80, 130}, "buried.htm");
  add("Lid", {10, 90, 90, 140}, "");
  add("Away", {700, 100, 760, 130}, "away.htm");  // wholly off the page
  TPageTable t = BuildPageTable(
      scene, TRect(0, 0, 640, 200), [](const std::string& s) { return s; }, true);
  const TTableMaker& m = *t.Maker;
  // Which link each page pixel's cell carries, looked up at a few points.
  auto linkAt = [&](int x, int y) -> std::string {
    for (int32_t r = 0; r < m.Rows; ++r)
      for (int32_t c = 0; c < m.Cols; ++c) {
        const TableCell& cell = m.Cell(r, c);
        if (cell.ColSpan <= 0) continue;
        const TRect span(cell.Rect.Left, cell.Rect.Top, cell.Rect.Left + m.SpanWidth(c, r),
                         cell.Rect.Top + m.SpanHeight(c, r));
        if (RectContains(span, TPoint(x, y))) return cell.Owner ? cell.Owner->Link : "";
      }
    return "?";
  };
  EXPECT_EQ(linkAt(60, 30), "free.htm");
  EXPECT_EQ(linkAt(210, 25), "corner.htm");
  EXPECT_EQ(linkAt(290, 25), "corner.htm");  // above the label
  EXPECT_EQ(linkAt(210, 45), "corner.htm");  // left of it
  EXPECT_EQ(linkAt(290, 45), "");            // the label's own cell
  EXPECT_EQ(linkAt(600, 30), "edge.htm");
  EXPECT_EQ(linkAt(639, 49), "edge.htm");
  EXPECT_EQ(linkAt(40, 110), "");
  std::map<std::string, TLostLink::TWhy> lost;
  for (const TLostLink& l : t.LostLinks) lost[l.Object->Text] = l.Why;
  EXPECT_EQ(lost, (std::map<std::string, TLostLink::TWhy>{{"Buried", TLostLink::Covered},
                                                          {"Away", TLostLink::OffPage}}));
  const std::string message = LostLinksMessage(t.LostLinks);
  for (const char* part :
       {"\"Buried\" (buried.htm) is wholly covered", "\"Away\" (away.htm) lies outside the page"})
    EXPECT_NE(message.find(part), std::string::npos) << message;
  // The link's markup is in the table, around the cells' pictures.
  const std::string table = m.BuildTableHTML();
  EXPECT_NE(table.find("<A href=free.htm style="), std::string::npos) << table;  // around its caption
  for (const char* link : {"corner.htm", "edge.htm"})
    EXPECT_NE(table.find(std::string("<A href=") + link + "><IMG "), std::string::npos) << link;
  EXPECT_EQ(table.find("buried.htm"), std::string::npos);
  // A selection build tells nothing of the objects it leaves out.
  EXPECT_TRUE(
      BuildPageTable(scene, TRect(0, 0, 130, 60), [](const std::string& s) { return s; }).LostLinks.empty());
}

// The links the site loses, as a walk over every cell of the grid finds them: a linked object
// that owns no cell is covered, one outside the page (in a whole-page build) lies outside.
std::vector<TLostLink> LostLinksCellByCell(ZButtonList& scene, const TRect& area, const TTableMaker& m,
                                           bool wholePage) {
  std::set<const TTableObject*> owners;
  for (int32_t r = 0; r < m.Rows; ++r)
    for (int32_t c = 0; c < m.Cols; ++c) owners.insert(m.Cell(r, c).Owner);
  std::vector<TLostLink> offPage, covered;
  int next = 2;  // the table's objects after its two page corners, in the scene's order
  for (int i = 0; i < scene.Count(); ++i) {
    TZLMButton* b = scene.Button(i);
    if (!RectIsOverlap(b->Bounds, area)) {
      if (wholePage && !b->LinkAddress.empty()) offPage.push_back({b, TLostLink::OffPage});
      continue;
    }
    const TTableObject* o = m.TableObject(next++);
    if (!b->LinkAddress.empty() && !owners.count(o)) covered.push_back({b, TLostLink::Covered});
  }
  offPage.insert(offPage.end(), covered.begin(), covered.end());
  return offPage;
}

// Which links are lost, over layouts of every kind: stacked and staggered objects, a lid over
// many, empty and off-page objects, a selection that cuts some.
TEST(PageTable, LostLinksAreThoseThatOwnNoCell) {
  struct Case {
    const char* what;
    int objects, largest;  // the largest side of an object
    bool empties;          // some objects of no width or height
    TRect area;            // empty: the whole page
  } cases[] = {
      {"small objects here and there", 300, 30, false, {}},
      {"small and large objects, many under others", 200, 400, false, {}},
      {"objects of no width or height among them", 200, 60, true, {}},
      {"a selection that cuts some", 250, 80, true, {100, 60, 420, 330}},
      {"large objects, nearly all covered", 60, 600, false, {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    ZButtonList scene;
    scene.Page->SetSize(600, 400);
    uint32_t seed = 11;
    auto next = [&](int below) {
      seed = seed * 1103515245u + 12345u;
      return int((seed >> 8) % uint32_t(below));
    };
    for (int i = 0; i < k.objects; ++i) {
      const int x = next(700) - 50, y = next(500) - 50;
      const int w = k.empties && next(6) == 0 ? 0 : 1 + next(k.largest);
      const int h = k.empties && next(6) == 0 ? 0 : 1 + next(k.largest);
      auto* b = new TZLMButton(next(5) ? "L" + std::to_string(i) : "", &scene, Rect(x, y, x + w, y + h),
                               next(4) ? "l" + std::to_string(i) + ".htm" : "");
      // Stacked: the one below is wholly covered.
      if (next(10) == 0) new TZLMButton("", &scene, b->Bounds, "");
    }
    const bool whole = !RectIsVisible(k.area);
    const TRect area = whole ? TRect(0, 0, 600, 400) : k.area;
    TPageTable t = BuildPageTable(
        scene, area, [](const std::string& s) { return s; }, whole);
    const std::vector<TLostLink> expected = LostLinksCellByCell(scene, area, *t.Maker, whole);
    ASSERT_EQ(t.LostLinks.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(t.LostLinks[i].Object, expected[i].Object) << i;
      EXPECT_EQ(t.LostLinks[i].Why, expected[i].Why) << i;
    }
    EXPECT_EQ(LostLinksMessage(t.LostLinks), LostLinksMessage(expected));
    EXPECT_GT(expected.size(), 0u);
  }
}

// The face the editor drew comes after the name, then the kind of face, so that a browser
// without the named face shows the one the user saw.
TEST(PageTable, FacesNameTheChosenFaceAndAGenericFamily) {
  Shop shop;
  struct {
    const char* face;
    TFontStyles styles;
  } cases[] = {{"Verdana", 0},
               {"Times New Roman", TFontStyles(fsBold)},
               {"Courier New", TFontStyles(fsItalic)},
               {"Liberation Sans", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.face);
    shop[0]->Style->Font->Name = c.face;
    shop[0]->Style->Font->Style = c.styles;
    const TFontMatch m = MatchFont(c.face, c.styles & fsBold, c.styles & fsItalic);
    std::string faces = std::string(c.face) + "," + m.Family + "," + m.Generic;
    if (m.Family == c.face) faces = m.Family + "," + m.Generic;  // named once
    const std::string html = ObjectCellMarkup(*shop[0], Upper);
    EXPECT_NE(html.find(" face=\"" + faces + "\" "), std::string::npos) << html;
  }
  EXPECT_EQ(MatchFont("Times New Roman", true, false).Generic, "serif");
}

// The page names the faces the editor drew the caption in, so that a browser without the
// named face draws each letter in the face the user saw: never the dingbat face fontconfig
// offers for Impact, and for letters the name's face lacks, the face that held them.
TEST(PageTable, FacesAreThoseTheEditorDrewTheCaptionIn) {
  Shop shop;
  TZLMButton& area = *shop[2];  // a text area is always markup
  struct {
    const char* face;
    const char* text;
  } cases[] = {
      {"Impact", "Brick Wall"}, {"Times New Roman", "Wall 世界"}, {"Arial", "Wall مرحبا"}, {"Arial", "Wall"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.face) + ": " + c.text);
    area.Style->Font->Name = c.face;
    area.Text = c.text;
    const std::vector<TFontMatch> used = FacesForText(*area.Style->Font, c.text);
    std::string faces = c.face;
    for (const TFontMatch& m : used)
      if (m.Family != c.face) faces += "," + m.Family;
    faces += "," + used[0].Generic;
    const std::string html = ObjectCellMarkup(area, [](const std::string& s) { return s; });
    EXPECT_NE(html.find(" face=\"" + faces + "\" "), std::string::npos) << html;
    EXPECT_EQ(used[0].Family, MatchFont(c.face, false, false).Family);
    EXPECT_EQ(html.find("D050000L"), std::string::npos) << html;
  }
  area.Style->Font->Name = "Times New Roman";
  area.Text = "Wall 世界";
  EXPECT_EQ(FacesForText(*area.Style->Font, area.Text).size(), 2u);
}

// Building a selection builds that part of the page: an object the selection cuts is pixels
// of the crop, not markup squeezed into the part of it that lies inside.
TEST(PageTable, ObjectsTheAreaCutsArePixels) {
  Shop shop;
  const TRect area(0, 0, 180, 95);  // holds "Home", "Go" and the text area, cuts the snippet
  TPageTable t = BuildPageTable(shop.scene, area, Upper);
  EXPECT_EQ(t.Hidden, (std::vector<TZLMButton*>{shop[0], shop[2]}));
  EXPECT_FALSE(shop[3]->HideText);
  ASSERT_EQ(t.Maker->Count(), 2 + 4);
  const TTableObject* snippet = t.Maker->TableObject(5);
  EXPECT_EQ(snippet->Rect, TRect(130, 40, 180, 90));  // clamped to the area
  EXPECT_EQ(snippet->Html, "");
  EXPECT_NE(t.Maker->TableObject(2)->Html, "");
}

// A project may hold any alignment number; the editor draws every one but right (1) and
// centre (2) on the left, and so does the page.
TEST(PageTable, AlignmentsBeyondTheThreeAreLeftAsTheEditorDrawsThem) {
  const struct {
    int8_t stored;
    TAlignment drawn;
    const char* textAlign;
  } cases[] = {{0, taLeftJustify, "left"},  {1, taRightJustify, "right"}, {2, taCenter, "center"},
               {3, taLeftJustify, "left"},  {4, taLeftJustify, "left"},   {-1, taLeftJustify, "left"},
               {127, taLeftJustify, "left"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.stored));
    Shop shop;
    for (int i : {0, 2, 3}) shop[i]->Style->Alignment = c.stored;
    TPageTable t = BuildPageTable(shop.scene, TRect(0, 0, 320, 200), Upper);
    for (int i : {0, 2, 3}) EXPECT_EQ(t.Maker->TableObject(2 + i)->HAlign, c.drawn) << i;
    EXPECT_NE(ObjectCellMarkup(*shop[0], Upper).find(std::string("text-align:") + c.textAlign),
              std::string::npos)
        << ObjectCellMarkup(*shop[0], Upper);
    for (int i : {2, 3}) {
      const std::string html = ObjectCellMarkup(*shop[i], Upper);
      EXPECT_EQ(html.find("ALIGN=CENTER") != std::string::npos, c.drawn == taCenter) << html;
      EXPECT_EQ(html.find("ALIGN=RIGHT") != std::string::npos, c.drawn == taRightJustify) << html;
    }
  }
}

// A link around a caption takes the caption's colour and no underline.
TEST(PageTable, LinkedCaptionsKeepTheirColour) {
  Shop shop;
  shop[0]->Style->Font->Color = RGB(0x12, 0x34, 0x56);
  TPageTable t = BuildPageTable(shop.scene, TRect(0, 0, 320, 200), Upper);
  EXPECT_EQ(t.Maker->TableObject(2)->TextColor, RGB(0x12, 0x34, 0x56));
  EXPECT_NE(t.Maker->BuildTableHTML().find("<A href=home.htm style=\"color:#123456;text-decoration:none\">"),
            std::string::npos);
}

TEST(PageTable, AFailureLeavesEveryCaptionOnThePage) {
  Shop shop;
  int calls = 0;
  auto failing = [&](const std::string& s) -> std::string {
    if (++calls == 2) throw std::runtime_error("macro");
    return s;
  };
  const TRect area(0, 0, 320, 200);
  EXPECT_THROW(BuildPageTable(shop.scene, area, failing), std::runtime_error);
  for (int i = 0; i < shop.scene.Count(); ++i) EXPECT_FALSE(shop[i]->HideText) << i;
  EXPECT_TRUE(shop[0]->Changed);  // hidden before the failure: drawn again
}

}  // namespace
