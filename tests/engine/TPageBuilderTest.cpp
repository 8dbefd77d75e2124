// The page builder's table without the window: which objects of the scene become markup and
// which stay pixels, the captions it takes out of the page and puts back.
#include "engine/TPageBuilder.h"

#include <gtest/gtest.h>
#include <stdexcept>

#include "POP/PopTypes.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"
#include "engine/XZLMButtonStyle.h"
#include "platform/Canvas.h"
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
    if (hidden) EXPECT_TRUE(shop[i]->Changed) << i;
  }
  // The two page corners, then the objects that are fully visible, offset to the area.
  ASSERT_EQ(t.Maker->Count(), 2 + 7);
  const int added[] = {0, 1, 2, 3, 6, 7, 8};
  for (int k = 0; k < 7; ++k) {
    SCOPED_TRACE(added[k]);
    const TTableObject* o = t.Maker->TableObject(2 + k);
    const TRect& b = shop[added[k]]->Bounds;
    EXPECT_EQ(o->Rect, TRect(b.Left - area.Left, b.Top - area.Top, b.Right - area.Left, b.Bottom - area.Top));
    EXPECT_EQ(o->HAlign, taCenter);
    EXPECT_EQ(o->VAlign, taCenter);
    EXPECT_EQ(o->Html.empty(), !shop[added[k]]->HideText);
  }
  EXPECT_EQ(t.Maker->TableObject(2)->Link, "home.htm");
  // Captions and text areas are encoded text with their macros expanded; a snippet's text is
  // markup as it stands.
  EXPECT_NE(t.Maker->TableObject(2)->Html.find(">HOME</FONT>"), std::string::npos);
  EXPECT_NE(t.Maker->TableObject(4)->Html.find(">A &lt; B &amp; C</FONT>"), std::string::npos);
  EXPECT_NE(t.Maker->TableObject(5)->Html.find("><i>raw</i> & more</FONT>"), std::string::npos);
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
  // A caption is not boxed: its cell centres it.
  EXPECT_EQ(ObjectCellMarkup(*shop[0], Upper).rfind("<DIV ALIGN=CENTER><FONT ", 0), 0u);
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
