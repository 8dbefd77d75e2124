// HTML colouring in the rich edit: token rules, selection replacement and typing.
#include "POP/gui/PopRichEdit.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "platform/Canvas.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

namespace {

// One letter per character: T text, B bracket, N tag name, A attribute, E equals, V value,
// ? anything else (such as the background colour of text not yet coloured). Line breaks
// stand as themselves.
std::string Colours(QTextEdit& e) {
  QString text = e.toPlainText();
  std::string out;
  for (int i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      out += '\n';
      continue;
    }
    TColor c = 0;
    RichEditRangeColor(&e, i, 1, c);
    switch (c) {
      case HTMLColorText: out += 'T'; break;
      case HTMLColorBracket: out += 'B'; break;
      case HTMLColorTagName: out += 'N'; break;
      case HTMLColorAttribute: out += 'A'; break;
      case HTMLColorEquals: out += 'E'; break;
      case HTMLColorValue: out += 'V'; break;
      default: out += '?'; break;
    }
  }
  return out;
}

// A control whose change handler runs the colouring, as the image-map dialog's does.
struct ColouredEdit {
  QTextEdit edit;
  int changes = 0;
  ColouredEdit() {
    QObject::connect(&edit, &QTextEdit::textChanged, [this] {
      ++changes;
      HTMLHilightChange(&edit);
    });
  }
};

TEST(PopRichEdit, InsertedHTMLIsColouredByTheTokenRules) {
  struct Case {
    const char* html;
    const char* colours;
  } cases[] = {
      {"<b>x</b>", "BNBTBNNB"},
      {"<HTML><BODY BGCOLOR=FFFFFF>", "BNNNNBBNNNNAAAAAAAAEVVVVVVB"},
      {"<a href=\"u\" x=1>", "BNAAAAAEVVVAAEVB"},
      // Blanks before a name belong to it, blanks after "=" to the "=".
      {"<a x = \"v\">", "BNAAAEEVVVB"},
      // A comment and an entity have no colours of their own.
      {"<!-- c -->", "BNNNAAAAAB"},
      {"a &amp; b", "TTTTTTTTT"},
      {"a>b", "TTT"},
      // Unterminated constructs run to the next ">" or the end.
      {"<a x=\"1 y>z", "BNAAEVVVVBT"},
      {"<img src=a.gif", "BNNNAAAAEVVVVV"},
      {"<a x=", "BNAAE"},
      {"<a", "BN"},
      {"<", "B"},
      // Empty names; an unquoted value ends at a blank.
      {"<>", "BB"},
      {"< a>", "BAAB"},
      {"<a x=1 2>", "BNAAEVAAB"},
      // A line break ends a tag name and counts as a blank before an attribute.
      {"<a\nb=1>t\nu", "BN\nAEVBT\nT"},
      {"<p x=\n\"v\">", "BNAAE\nVVVB"},
  };
  for (const Case& c : cases) {
    ColouredEdit e;
    HTMLHilightSetSelText(&e.edit, c.html);
    EXPECT_EQ(e.edit.toPlainText().toStdString(), c.html);
    EXPECT_EQ(Colours(e.edit), c.colours) << c.html;
  }
}

TEST(PopRichEdit, SetSelTextReplacesTheSelectionAndLeavesTheCaretBehind) {
  ColouredEdit e;
  HTMLHilightSetSelText(&e.edit, "ab<i>cd");
  RichEditSetSel(&e.edit, 1, 5);  // "b<i>c"
  e.changes = 0;
  HTMLHilightSetSelText(&e.edit, "<u x=1>");
  EXPECT_EQ(e.edit.toPlainText().toStdString(), "a<u x=1>d");
  EXPECT_EQ(Colours(e.edit), "TBNAAEVBT");
  QTextCursor cur = e.edit.textCursor();
  EXPECT_FALSE(cur.hasSelection());
  EXPECT_EQ(cur.position(), 8);
  // The colouring ran once, from the change notification, and did not re-enter itself.
  EXPECT_EQ(e.changes, 1);
  // One undo takes the insertion back.
  e.edit.document()->undo();
  EXPECT_EQ(e.edit.toPlainText().toStdString(), "ab<i>cd");
  EXPECT_EQ(Colours(e.edit), "TTBNBTT");

  // Without a colouring handler the inserted text is coloured all the same.
  QTextEdit bare;
  HTMLHilightSetSelText(&bare, "<a href=\"x\">y");
  EXPECT_EQ(Colours(bare), "BNAAAAAEVVVBT");
  EXPECT_EQ(bare.textCursor().position(), 13);
}

TEST(PopRichEdit, ChangeKeepsTextSelectionAndModifiedFlag) {
  for (bool modified : {false, true}) {
    QTextEdit e;
    e.setPlainText("<a x=1>t");
    e.document()->setModified(modified);
    // Uncoloured characters count as black, so the pass restarts at the caret's left; from
    // the start it colours everything.
    RichEditSetSel(&e, 0, 3);
    HTMLHilightChange(&e);
    EXPECT_EQ(Colours(e), "BNAAEVBT");
    EXPECT_EQ(e.toPlainText().toStdString(), "<a x=1>t");
    EXPECT_EQ(e.textCursor().selectionStart(), 0);
    EXPECT_EQ(e.textCursor().selectionEnd(), 3);
    EXPECT_EQ(e.document()->isModified(), modified);
  }
}

// Typing goes through the control's own key handling; the typed character takes the colour
// of the one before it, and the change handler re-colours.
struct PopRichEditTyping : ::testing::Test {
  ColouredEdit e;
  void Load(const char* html) { HTMLHilightSetSelText(&e.edit, html); }
  void TypeAt(int position, const char* keys) {
    RichEditSetSel(&e.edit, position, 0);
    QTest::keyClicks(&e.edit, keys);
  }
};

TEST_F(PopRichEditTyping, InsideAValueStopsAtTheFollowingToken) {
  Load("<a href=\"xy\">t</a><b>");
  // A later token with a wrong colour shows how far the pass went.
  {
    QSignalBlocker quiet(&e.edit);
    RichEditSetHilight(&e.edit, 15, 3, HTMLColorEquals);  // "/a>"
  }
  TypeAt(10, "Q");
  EXPECT_EQ(e.edit.toPlainText().toStdString(), "<a href=\"xQy\">t</a><b>");
  EXPECT_EQ(Colours(e.edit), "BNAAAAAEVVVVVBTBEEEBNB");
  // One undo takes back the key and its colours.
  e.edit.document()->undo();
  EXPECT_EQ(e.edit.toPlainText().toStdString(), "<a href=\"xy\">t</a><b>");
}

TEST_F(PopRichEditTyping, AQuoteOpeningAValueRecoloursUpToTheNextBracket) {
  Load("<a x=1 y=2>t");
  TypeAt(5, "\"");
  EXPECT_EQ(Colours(e.edit), "BNAAEVVVVVVBT");
}

TEST_F(PopRichEditTyping, PlainTextIsColouredBlackToTheEnd) {
  Load("hello world");
  {
    QSignalBlocker quiet(&e.edit);
    RichEditSetHilight(&e.edit, 6, 5, HTMLColorValue);
  }
  TypeAt(0, "x");
  EXPECT_EQ(Colours(e.edit), "TTTTTTTTTTTT");
}

TEST_F(PopRichEditTyping, ABracketInTextStartsATagUntilAClosingOne) {
  Load("hello world foo");
  TypeAt(6, "<");
  EXPECT_EQ(e.edit.toPlainText().toStdString(), "hello <world foo");
  EXPECT_EQ(Colours(e.edit), "TTTTTTBNNNNNAAAA");
  TypeAt(12, ">");
  EXPECT_EQ(Colours(e.edit), "TTTTTTBNNNNNBTTTT");
  // A blank typed into the name splits it into a name and an attribute.
  TypeAt(9, " ");
  EXPECT_EQ(e.edit.toPlainText().toStdString(), "hello <wo rld> foo");
  EXPECT_EQ(Colours(e.edit), "TTTTTTBNNAAAABTTTT");
}

TEST(PopRichEdit, CaretRowsColumnsAndTagSelection) {
  QTextEdit e;
  e.setPlainText("ab\n  <td x=1>\n\tz");
  EXPECT_EQ(RichEditRowFromSelPos(&e, 0), 0);
  EXPECT_EQ(RichEditRowFromSelPos(&e, 3), 1);
  EXPECT_EQ(RichEditSelPosFromRow(&e, 2), 14);
  EXPECT_EQ(RichEditSelPosFromRow(&e, 3), -1);
  RichEditSetSel(&e, 8, 0);
  EXPECT_EQ(RichEditSelRow(&e), 1);
  EXPECT_EQ(RichEditSelCol(&e), 5);
  ASSERT_TRUE(RichEditSelectHTMLTag(&e));
  EXPECT_EQ(e.textCursor().selectedText().toStdString(), "<td x=1>");
  RichEditSetSel(&e, 1, 0);
  EXPECT_FALSE(RichEditSelectHTMLTag(&e));
  EXPECT_EQ(e.textCursor().position(), 1);
  // Out-of-range selections are limited to the text.
  RichEditSetSel(&e, 10, 1000);
  EXPECT_EQ(e.textCursor().selectionEnd(), 16);
  // A new line after "  <td x=1>" starts with its two blanks.
  RichEditSetSel(&e, 13, 0);
  QTextCursor enter = e.textCursor();
  enter.insertText("\n");
  e.setTextCursor(enter);
  HTMLHilightAutoIndent(&e);
  EXPECT_EQ(e.toPlainText().toStdString(), "ab\n  <td x=1>\n  \n\tz");
}

TEST(PopRichEdit, WholeTextColourers) {
  ScriptedServices services;
  QTextEdit e;
  RichEditHilightSetText(&e, "x<a href=y>link</a>z");
  EXPECT_EQ(Colours(e), "TBNAAAAAEVBTTTTBNNBT");
  RichEditHilightCoolHTML(&e);
  QTextCursor c(e.document());
  c.setPosition(2);
  EXPECT_TRUE(c.charFormat().fontUnderline());
  c.setPosition(20);
  EXPECT_FALSE(c.charFormat().fontUnderline());
  // The rich text form keeps the colours.
  QTextEdit copy;
  RichEditSetRTF(&copy, RichEditGetRTF(&e));
  EXPECT_EQ(Colours(copy), Colours(e));

  services.SetClipboardText("<p>");
  RichEditSetSel(&e, 0, 1);
  HTMLHilightPasteFromClipboard(&e);
  EXPECT_EQ(e.toPlainText().toStdString(), "<p><a href=y>link</a>z");
  EXPECT_EQ(Colours(e).substr(0, 3), "BNB");

  RichEditHilightCPP(&e, {"HREF", "z"});
  c.setPosition(7);  // inside "href"
  EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
  EXPECT_EQ(Colours(e).substr(0, 4), "TTTT");

  // A file that cannot be read leaves the control as it was.
  TempDir dir;
  EXPECT_THROW(RichEditHilightLoadFromFile(&e, dir.File("missing.htm")), EFOpenError);
  EXPECT_EQ(e.toPlainText().toStdString(), "<p><a href=y>link</a>z");
  WriteAll(dir.File("page.htm"), "<i>\r\n");
  RichEditHilightLoadFromFile(&e, dir.File("page.htm"));
  EXPECT_EQ(Colours(e).substr(0, 3), "BNB");
}

TEST(PopRichEdit, PaintToDrawsOnlyInsideTheRectangle) {
  QTextEdit e;
  RichEditHilightSetText(&e, "<b>WWWW</b>");
  TBitmap bitmap(120, 40, pf32bit);
  TCanvas canvas(&bitmap);
  canvas.Brush.SetColor(clWhite);
  canvas.FillRect(TRect{0, 0, 120, 40});
  RichEditPaintTo(&e, TRect{10, 5, 110, 35}, canvas);
  int inside = 0, outside = 0;
  for (int y = 0; y < 40; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < 120; ++x) {
      bool drawn = (row[x] & 0xFFFFFF) != 0xFFFFFF;
      bool in = x >= 10 && x < 110 && y >= 5 && y < 35;
      (in ? inside : outside) += drawn;
    }
  }
  EXPECT_GT(inside, 20);
  EXPECT_EQ(outside, 0);
}

}  // namespace
