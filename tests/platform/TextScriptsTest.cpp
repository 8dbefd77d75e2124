// Captions in every script: the faces chosen for their letters, the glyphs shaped for them
// against HarfBuzz's own answer for the same face, their order and direction, and Tabs.
#include <algorithm>
#include <cstring>
#include <ft2build.h>
#include <gtest/gtest.h>
#include <hb-ft.h>
#include <hb.h>
#include <string>
#include <vector>
#include FT_FREETYPE_H

#include "platform/Canvas.h"
#include "platform/SysUtils.h"
#include "platform/TextRender.h"
#include "tests/support/Captions.h"
#include "tests/support/Tools.h"

namespace {

constexpr int kEm = 32;

// A face opened by the test itself, at the size the captions are drawn.
struct OwnFace {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  explicit OwnFace(const TFontMatch& m) {
    FT_Init_FreeType(&lib);
    EXPECT_EQ(FT_New_Face(lib, m.File.c_str(), m.Index, &face), 0) << m.File;
    if (face) FT_Set_Pixel_Sizes(face, 0, kEm);
  }
  ~OwnFace() {
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(lib);
  }
  unsigned Nominal(uint32_t cp) const { return FT_Get_Char_Index(face, cp); }
  std::string GlyphName(uint32_t cp) const {
    char name[64] = {0};
    if (!FT_HAS_GLYPH_NAMES(face) || FT_Get_Glyph_Name(face, Nominal(cp), name, sizeof name) != 0) return "";
    return name;
  }
  // HarfBuzz's glyphs for a run of one direction, with the script it finds in the text.
  std::vector<unsigned> Shape(const std::string& text, bool rtl) const {
    hb_font_t* font = hb_ft_font_create_referenced(face);
    hb_buffer_t* buf = hb_buffer_create();
    hb_buffer_add_utf8(buf, text.c_str(), int(text.size()), 0, int(text.size()));
    hb_buffer_guess_segment_properties(buf);
    hb_buffer_set_direction(buf, rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_shape(font, buf, nullptr, 0);
    unsigned n = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &n);
    std::vector<unsigned> out;
    for (unsigned i = 0; i < n; ++i) out.push_back(info[i].codepoint);
    hb_buffer_destroy(buf);
    hb_font_destroy(font);
    return out;
  }
};

TFont FontOf(const std::string& name, TFontStyles style = 0) {
  TFont f;
  f.Name = name;
  f.Style = style;
  f.SetHeight(-kEm);
  return f;
}

// Every run is drawn in a face that holds its letters, with the glyphs HarfBuzz gives that
// face for them, in the run's own direction.
TEST(TextScripts, EveryRunHasTheGlyphsHarfBuzzGivesItsFace) {
  for (const TCaptionCase& c : CaptionCases()) {
    SCOPED_TRACE(std::string(c.What) + ": " + c.Text);
    const TFont font = FontOf(c.Face);
    const std::vector<TGlyphRun> runs = ShapeTextLine(font, c.Text);
    ASSERT_FALSE(runs.empty());
    std::string all;
    for (const TGlyphRun& r : runs) {
      SCOPED_TRACE(r.Face.Family + ": " + r.Text);
      OwnFace own(r.Face);
      ASSERT_TRUE(own.face);
      for (uint32_t cp : DecodeUtf8OrLatin1(r.Text)) EXPECT_NE(own.Nominal(cp), 0u) << "U+" << std::hex << cp;
      EXPECT_EQ(r.Glyphs, own.Shape(r.Text, r.RightToLeft));
      for (unsigned g : r.Glyphs) EXPECT_NE(g, 0u) << "a missing glyph";
      all += r.Text;
    }
    // Every character is in some run, a Tab as spaces.
    EXPECT_EQ(all.size(), StringReplaceAll(c.Text, "\t", "        ").size());
  }
}

// The letters of a face's "A" and "a" are named so in any face that has glyph names; the
// dingbat face fontconfig offers for "Impact" names them otherwise and is never chosen.
TEST(TextScripts, ALetterIsNeverDrawnInASymbolFace) {
  REQUIRE_TOOL("fc-match");
  const std::string first = ShellOutput("fc-match -f '%{family[0]}' Impact");
  for (const char* name : {"Impact", "Comic Sans MS", "No Such Face Zq", "Arial", "Symbol", "Wingdings"}) {
    SCOPED_TRACE(name);
    const TFontMatch m = MatchFont(name, false, false);
    OwnFace own(m);
    ASSERT_TRUE(own.face);
    for (uint32_t cp : {uint32_t('A'), uint32_t('a')}) {
      EXPECT_NE(own.Nominal(cp), 0u) << m.Family;
      const std::string glyph = own.GlyphName(cp);
      if (!glyph.empty()) EXPECT_EQ(glyph, std::string(1, char(cp))) << m.Family;
    }
    for (const TGlyphRun& r : ShapeTextLine(FontOf(name), "Brick Wall")) EXPECT_EQ(r.Face.File, m.File);
  }
  // This machine's fontconfig offers a symbol face first for Impact (the URW set is
  // installed by scripts/setup); the choice is another face.
  if (first == "D050000L") EXPECT_NE(MatchFont("Impact", false, false).Family, first);
  // A name that names a symbol face gets it: the user chose its pictures.
  if (first == "D050000L") EXPECT_EQ(MatchFont("D050000L", false, false).Family, "D050000L");
}

// Right-to-left letters stand right to left, joined where the script joins them.
TEST(TextScripts, HebrewStandsRightToLeftAndArabicIsJoined) {
  const TFont font = FontOf("Arial");
  {
    const std::vector<TGlyphRun> runs = ShapeTextLine(font, "עברית");
    ASSERT_EQ(runs.size(), 1u);
    OwnFace own(runs[0].Face);
    std::vector<unsigned> reversed;
    for (uint32_t cp : DecodeUtf8OrLatin1("עברית")) reversed.insert(reversed.begin(), own.Nominal(cp));
    EXPECT_TRUE(runs[0].RightToLeft);
    EXPECT_EQ(runs[0].Glyphs, reversed);
  }
  {
    const std::string arabic = "مرحبا";
    const std::vector<TGlyphRun> runs = ShapeTextLine(font, arabic);
    ASSERT_EQ(runs.size(), 1u);
    OwnFace own(runs[0].Face);
    std::vector<unsigned> isolated;
    for (uint32_t cp : DecodeUtf8OrLatin1(arabic)) isolated.insert(isolated.begin(), own.Nominal(cp));
    ASSERT_EQ(runs[0].Glyphs.size(), isolated.size());
    int joined = 0;
    for (size_t i = 0; i < isolated.size(); ++i) joined += runs[0].Glyphs[i] != isolated[i];
    // Meem, reh, hah and beh take their joining forms; the final alef stays as it is.
    EXPECT_GE(joined, 3);
  }
  // In a line read left to right, a Hebrew word and the number after it are one stretch
  // read right to left: the number stands left of the word, whose letters run leftwards.
  const std::vector<TGlyphRun> mixed = ShapeTextLine(font, "Wall עברית 12");
  ASSERT_GE(mixed.size(), 3u);
  EXPECT_FALSE(mixed.front().RightToLeft);
  EXPECT_EQ(mixed.front().Text.substr(0, 4), "Wall");
  size_t number = mixed.size(), hebrew = mixed.size();
  for (size_t i = 0; i < mixed.size(); ++i) {
    if (mixed[i].Text.find("12") != std::string::npos) number = i;
    if (mixed[i].Text.find("עברית") != std::string::npos) hebrew = i;
  }
  ASSERT_LT(number, mixed.size());
  ASSERT_LT(hebrew, mixed.size());
  EXPECT_LT(number, hebrew);
  EXPECT_TRUE(mixed[hebrew].RightToLeft);
  for (size_t i = 1; i < mixed.size(); ++i) EXPECT_GE(mixed[i].Left, mixed[i - 1].Left);
}

// A line of several scripts takes each run's face from the sorted matches: Latin in the
// name's face, Han in the first face that holds it; the line's height stays the name's.
TEST(TextScripts, LettersTheFaceLacksComeFromTheNextFaceThatHoldsThem) {
  const TFont font = FontOf("Times New Roman");
  const TFontMatch named = MatchFont("Times New Roman", false, false);
  const std::vector<TGlyphRun> runs = ShapeTextLine(font, "Wall 世界");
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].Face.File, named.File);
  EXPECT_EQ(runs[0].Text, "Wall ");
  EXPECT_NE(runs[1].Face.File, named.File);
  EXPECT_EQ(runs[1].Text, "世界");
  const std::vector<TFontMatch> faces = FacesForText(font, "Wall 世界");
  ASSERT_EQ(faces.size(), 2u);
  EXPECT_EQ(faces[0].Family, named.Family);
  EXPECT_EQ(faces[1].Family, runs[1].Face.Family);
  EXPECT_EQ(FacesForText(font, "Wall").size(), 1u);
  TBitmap b(10, 10, pf32bit);
  b.Canvas().Font = font;
  TRect r(0, 0, 1000, 10);
  EXPECT_EQ(b.Canvas().DrawText("世界", r, DT_CALCRECT | DT_WORDBREAK), FontMetrics(font).LineHeight());
}

// A Tab advances as eight spaces, in measuring and in wrapping, and draws no box.
TEST(TextScripts, ATabAdvancesAsEightSpaces) {
  TBitmap b(400, 60, pf32bit);
  TCanvas& c = b.Canvas();
  c.Font = FontOf("Arial");
  EXPECT_EQ(c.TextWidth("a\tb"), c.TextWidth("a") + 8 * c.TextWidth(" ") + c.TextWidth("b"));
  EXPECT_EQ(c.TextWidth("a\tb"), c.TextWidth("a        b"));
  for (const TGlyphRun& r : ShapeTextLine(c.Font, "a\tb"))
    for (unsigned g : r.Glyphs) EXPECT_NE(g, 0u);
  // A Tab is a blank where lines break.
  TRect r(0, 0, c.TextWidth("aaaa"), 10);
  EXPECT_EQ(c.DrawText("aaaa\tbbbb", r, DT_CALCRECT | DT_WORDBREAK), 2 * c.TextHeight("X"));
}

// A Tab is shaped as one space that advances as eight, where it was eight spaces: what is
// drawn and where lines break must be what the eight spaces gave. The eight spaces go through
// the same shaping as before, so the text with its Tabs spelt out as spaces is today's output.
// Compared over Tabs at line starts, between words, under combining marks, in wrapped lines
// and in right-to-left and mixed text, in faces of their own letters and of fallbacks, bold (a synthetic bold
// widens each space), at the size the editor draws and at the doubled size of an antialiased object, upright
// and turned.
TEST(TextScripts, TabsLayOutAndDrawAsTheirEightSpaces) {
  auto spelt = [](std::string s) {
    for (size_t p = s.find('\t'); p != std::string::npos; p = s.find('\t', p + 8)) s.replace(p, 1, 8, ' ');
    return s;
  };
  const std::string texts[] = {
      "\tBrick",
      "\t\t\tBrick Wall",
      "Brick\tWall\t",
      "Brick\t\xCC\x81Wall\t\xCC\x81\xCC\xA3",  // marks on a Tab belong to its last space
      "\xD7\xA2\t\xD6\xB8\xD7\x91",             // and in right-to-left text
      "Brick \t Wall\t\tof\tbricks and\tmortar, \tline after\tline",
      "\t\xD7\xA2\xD7\x91\xD7\xA8\xD7\x99\xD7\xAA\t\xD7\xA2\xD7\x95\xD7\x93",          // Hebrew
      "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7\t\xD8\xA8\xD8\xA7\xD9\x84\t12",        // Arabic
      "Wall\t\xD7\xA2\xD7\x91\xD7\xA8\xD7\x99\xD7\xAA\t12\t\xE4\xBD\xA0\xE5\xA5\xBD",  // mixed
  };
  struct Face {
    const char* name;
    TFontStyles style;
    int height;
    int orientation;
  } faces[] = {{"Arial", 0, -13, 0},
               {"Arial", 0, -26, 0},
               {"Times New Roman", fsBold, -13, 0},
               {"Courier New", fsItalic, -26, 0},
               {"Verdana", 0, -13, 900}};
  for (const Face& f : faces) {
    TFont font;
    font.Name = f.name;
    font.Style = f.style;
    font.SetHeight(f.height);
    font.Orientation = f.orientation;
    font.Color = clBlack;
    for (const std::string& text : texts) {
      SCOPED_TRACE(std::string(f.name) + " " + std::to_string(f.height) + ": " + text);
      // Wrapping measures the growing parts of a line: every prefix measures as spelt out.
      for (size_t n = 1; n <= text.size(); ++n)
        ASSERT_EQ(MeasureText(font, text.substr(0, n)), MeasureText(font, spelt(text.substr(0, n)))) << n;
      const std::vector<TGlyphRun> runs = ShapeTextLine(font, text), want = ShapeTextLine(font, spelt(text));
      ASSERT_EQ(runs.size(), want.size());
      for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].Face.File, want[i].Face.File);
        EXPECT_EQ(runs[i].RightToLeft, want[i].RightToLeft);
        EXPECT_EQ(runs[i].Text, want[i].Text);
        EXPECT_EQ(runs[i].Glyphs, want[i].Glyphs);
        EXPECT_EQ(runs[i].Left, want[i].Left);
      }
      // Every line of the text wrapped in boxes of a few widths, drawn.
      const int wide = MeasureText(font, text);
      for (int width : {wide + 10, wide / 2, wide / 5}) {
        for (const std::string& line : DrawTextLines(font, text, width, DT_WORDBREAK)) {
          const int w = MeasureText(font, line) + 40, h = 3 * -f.height + 40;
          TBitmap got(w, f.orientation ? w : h, pf32bit), expected(w, f.orientation ? w : h, pf32bit);
          got.Canvas().Brush.SetColor(clWhite);
          got.Canvas().FillRect(Rect(0, 0, got.Width(), got.Height()));
          expected.Canvas().Brush.SetColor(clWhite);
          expected.Canvas().FillRect(Rect(0, 0, got.Width(), got.Height()));
          const int y = f.orientation ? got.Height() - 20 : 10;
          RenderTextLine(got, 10, y, line, font, Rect(0, 0, got.Width(), got.Height()));
          RenderTextLine(expected, 10, y, spelt(line), font, Rect(0, 0, got.Width(), got.Height()));
          int differ = 0;
          for (int row = 0; row < got.Height(); ++row)
            differ += std::memcmp(got.ScanLine(row), expected.ScanLine(row), size_t(got.Width()) * 4) != 0;
          EXPECT_EQ(differ, 0) << "line \"" << line << "\" in a box of " << width;
        }
      }
    }
  }
}

}  // namespace
