// Rich text turned into HTML: paragraphs and runs of equal character attributes.
#include "POP/gui/PopHTMLRichEdit.h"

#include <gtest/gtest.h>

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {

// Paragraphs of runs in several faces, sizes, colours and styles, aligned and indented; a
// blank paragraph; text that needs escaping; a soft line break.
TEST(HTMLEncodeRichEdit, ParagraphsOfRuns) {
  QTextEdit edit;
  QFont base("Arial");
  base.setPointSize(10);
  edit.document()->setDefaultFont(base);
  QTextCursor c(edit.document());
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  c.setBlockFormat(centred);
  c.insertText("Hello ", QTextCharFormat());
  QTextCharFormat red;
  red.setForeground(QColor(255, 0, 0));
  red.setFontWeight(QFont::Bold);
  red.setFontFamilies({"Times New Roman"});
  red.setFontPointSize(12);
  c.insertText("bold red", red);
  QTextBlockFormat indented;
  indented.setAlignment(Qt::AlignRight);
  indented.setLeftMargin(20);
  c.insertBlock(indented, QTextCharFormat());
  QTextCharFormat marked;
  marked.setFontItalic(true);
  marked.setFontStrikeOut(true);
  marked.setFontUnderline(true);
  c.insertText("a < b &  c", marked);
  c.insertBlock(QTextBlockFormat(), QTextCharFormat());
  c.insertBlock(QTextBlockFormat(), QTextCharFormat());
  c.insertText(QString("one") + QChar(QChar::LineSeparator) + "two", QTextCharFormat());

  const std::string arial10 = "<FONT color=000000 face=Arial style=text-decoration:none;font-size:13>";
  EXPECT_EQ(HTMLEncodeRichEdit(&edit),
            "<P ALIGN=CENTER>" + arial10 +
                "Hello </FONT>"
                "<FONT color=FF0000 face=\"Times New Roman\" style=text-decoration:none;font-size:16>"
                "<B>bold red</B></FONT></P>\r\n"
                "<P ALIGN=RIGHT style=\"margin-left:20px\">" +
                arial10 + "<I><U><S>a &lt; b &amp;&nbsp; c</S></U></I></FONT></P>\r\n<P>&nbsp;</P>\r\n<P>" +
                arial10 + "one<BR>two</FONT></P>");

  QTextEdit empty;
  EXPECT_EQ(HTMLEncodeRichEdit(&empty), "");
}

}  // namespace
