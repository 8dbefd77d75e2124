// The HTML encoders: values, colours, alignments, fonts, body text, and the tag scanner.
#include "POP/PopHTML.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "POP/PopEat.h"
#include "platform/Graphics.h"

namespace {

TEST(HTMLEncoders, Values) {
  EXPECT_EQ(HTMLEncodeValue("slice_12.png"), "slice_12.png");
  EXPECT_EQ(HTMLEncodeValue(""), "");
  EXPECT_EQ(HTMLEncodeValue("my file.png"), "\"my file.png\"");
  EXPECT_EQ(HTMLEncodeValue("img/a.png"), "\"img/a.png\"");
  // A quote must not end the value early.
  EXPECT_EQ(HTMLEncodeValue("say \"hi\""), "\"say &quot;hi&quot;\"");
  EXPECT_EQ(HTMLEncodeImg("a.gif", 3, 4), "<IMG src=a.gif border=0 width=3 height=4>");
  EXPECT_EQ(HTMLEncodeMeta("keywords", "a, b"), "<META NAME=keywords CONTENT=\"a, b\">");
  EXPECT_EQ(HTMLEncodeAttribute("href", "x y"), " href=\"x y\"");
  EXPECT_EQ(HTMLEncodeAttribute("nowrap", ""), " nowrap");
  EXPECT_EQ(HTMLEncodeAttribute("", "v"), "");
  EXPECT_EQ(HTMLEncodeTag("TD", "colSpan=2"), "<TD colSpan=2>");
  EXPECT_EQ(HTMLEncodeTag("TR", ""), "<TR>");
}

TEST(HTMLEncoders, Colours) {
  EXPECT_EQ(HTMLEncodeColor(clRed), "FF0000");
  EXPECT_EQ(HTMLEncodeColor(RGB(0x12, 0xAB, 0x0C)), "12AB0C");
  EXPECT_EQ(HTMLEncodeColor(clWindow), "FFFFFF");  // the current value of the system colour
  EXPECT_EQ(HTMLDecodeColor("#12ab0c"), RGB(0x12, 0xAB, 0x0C));
}

TEST(HTMLEncoders, EveryAlignment) {
  const TAlignment all[] = {taLeftJustify, taRightJustify, taCenter};
  const char* expected[3][3] = {
      // vertical: top (left), bottom (right), middle (centre)
      {"VALIGN=TOP", "VALIGN=BOTTOM", ""},
      {"ALIGN=RIGHT VALIGN=TOP", "ALIGN=RIGHT VALIGN=BOTTOM", "ALIGN=RIGHT"},
      {"ALIGN=CENTER VALIGN=TOP", "ALIGN=CENTER VALIGN=BOTTOM", "ALIGN=CENTER"},
  };
  for (int h = 0; h < 3; ++h)
    for (int v = 0; v < 3; ++v) EXPECT_EQ(HTMLEncodeAlign(all[h], all[v]), expected[h][v]) << h << v;

  EXPECT_EQ(HTMLEncodeParaAlignment(taCenter, "x"), "<DIV ALIGN=CENTER>x</DIV>");
  EXPECT_EQ(HTMLEncodeParaAlignment(taRightJustify, "x"), "<DIV ALIGN=RIGHT>x</DIV>");
  EXPECT_EQ(HTMLEncodeParaAlignment(taLeftJustify, "x"), "x");
  EXPECT_EQ(HTMLEncodeParaAlignment(taCenter, ""), "");
  EXPECT_EQ(HTMLEncodeAlignment(taCenter), "center");
}

TEST(HTMLEncoders, BodyText) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a b", "a b"},
      {"a  b", "a&nbsp; b"},
      {"a   b", "a&nbsp;&nbsp; b"},
      {"a    b", "a&nbsp; &nbsp; b"},
      {"\t", "&nbsp; &nbsp; &nbsp; &nbsp; "},
      {"&amp; <b> \"q\"", "&amp;amp; &lt;b&gt; &quot;q&quot;"},
      {"1\r2\n3\r\n4\n\r5", "1<BR>2<BR>3<BR>4<BR><BR>5"},
  };
  for (auto& c : cases) EXPECT_EQ(HTMLEncodeText(c.in), c.out) << c.in;
  EXPECT_EQ(HTMLDecodeInnerText("&lt;&gt;&nbsp;&quot;&amp;lt;"), "<> \"&lt;");
}

TEST(HTMLEncoders, FontsAndStyles) {
  EXPECT_EQ(HTMLEncodeFontStyles(fsBold | fsItalic | fsUnderline | fsStrikeOut, "t"),
            "<B><I><U><S>t</S></U></I></B>");
  EXPECT_EQ(HTMLEncodeFontStyles(fsItalic | fsStrikeOut, "t"), "<I><S>t</S></I>");
  EXPECT_EQ(HTMLEncodeFontParts(clBlue, "Times New Roman", 13, fsBold, "Hi"),
            "<FONT color=0000FF face=\"Times New Roman\" style=text-decoration:none;font-size:13>"
            "<B>Hi</B></FONT>");
  EXPECT_EQ(HTMLEncodeFontParts(clBlue, "Arial", 13, fsBold, ""), "");
  TFont f;
  f.Name = "Verdana";
  f.Color = clWhite;
  f.Style = fsUnderline;
  f.SetHeight(-13);
  EXPECT_EQ(HTMLEncodeFont(f, "x"),
            "<FONT color=FFFFFF face=Verdana style=text-decoration:none;font-size:13><U>x</U></FONT>");
  f.SetHeight(16);  // a cell height still gives a positive size
  EXPECT_NE(HTMLEncodeFont(f, "x").find("font-size:16>"), std::string::npos);
  f.Style = fsBold;
  EXPECT_EQ(HTMLEncodeFont(f, ""), "");
  EXPECT_EQ(HTMLEncodeSpan(10, 20, "x"), "<SPAN style=\"width:10;height:20;overflow:hidden\">x</SPAN>");
}

TEST(TagScanner, StepsOverTagParts) {
  const char* tag = "IMG  src='a b.gif' alt=x>";
  const char* p = EatTagName(tag);
  EXPECT_EQ(p - tag, 3);
  p = EatWhite(p);
  const char* name = p;
  p = EatTagAttributeName(p);
  EXPECT_EQ(std::string(name, p), "src");
  p = EatChar(p, '=');
  const char* value = p;
  p = EatTagAttributeValue(p);
  EXPECT_EQ(std::string(value, p), "'a b.gif'");
  p = EatWhite(p);
  EXPECT_EQ(std::string(p, EatNotWhite(p)), "alt=x>");
  const char* open = "\"never closed";
  EXPECT_EQ(*EatQuotedString(open, '"'), '\0');  // stops at the end of the text
}

TEST(HTMLEncoders, RichTextAttributes) {
  THTMLTextAttributes run;
  run.Color = clRed;
  run.Name = "Times New Roman";
  run.Size = 12;  // 16 pixels
  run.Style = fsBold | fsUnderline;
  EXPECT_EQ(HTMLEncodeTextAttributes(run, "a&amp;b"),
            "<FONT color=FF0000 face=\"Times New Roman\" style=text-decoration:none;font-size:16>"
            "<B><U>a&amp;b</U></B></FONT>");
  EXPECT_EQ(HTMLEncodeTextAttributes(run, ""), "");
  struct {
    TAlignment align;
    int indent;
    const char* html;
    const char* out;
  } paras[] = {
      {taLeftJustify, 0, "x", "<P>x</P>"},
      {taCenter, 0, "x", "<P ALIGN=CENTER>x</P>"},
      {taRightJustify, 24, "x", "<P ALIGN=RIGHT style=\"margin-left:24px\">x</P>"},
      {taLeftJustify, 0, "", "<P>&nbsp;</P>"},  // a blank line stays one
  };
  for (auto& p : paras) EXPECT_EQ(HTMLEncodeParaAttributes({p.align, p.indent}, p.html), p.out) << p.out;
}

TEST(HTMLEncoders, BitmapAsTableOfRuns) {
  TBitmap b(4, 2, pf32bit);
  const TColor row0[4] = {clRed, clRed, clBlue, clRed}, row1[4] = {clWhite, clWhite, clWhite, clWhite};
  for (int x = 0; x < 4; ++x) b.SetPixelColor(x, 0, row0[x]), b.SetPixelColor(x, 1, row1[x]);
  b.ScanLine(1)[3] = 0x80;  // alpha plays no part
  std::vector<std::pair<int, int>> rows;
  std::string html = HTMLEncodeBitmap(b, [&](int row, int last) { rows.push_back({row, last}); });
  EXPECT_EQ(html,
            "<TABLE style=\"table-layout:fixed\" border=0 cellSpacing=0 cellPadding=0 width=4 height=2>\r\n"
            "<TR><TD colSpan=2 bgColor=FF0000></TD><TD bgColor=0000FF></TD><TD bgColor=FF0000></TD></TR>\r\n"
            "<TR><TD colSpan=4 bgColor=FFFFFF></TD></TR>\r\n</TABLE>");
  EXPECT_EQ(rows, (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}}));
  TBitmap empty;
  EXPECT_EQ(HTMLEncodeBitmap(empty),
            "<TABLE style=\"table-layout:fixed\" border=0 cellSpacing=0 cellPadding=0 width=0 "
            "height=0>\r\n</TABLE>");
  TBitmap indexed(3, 1, pf4bit);  // any pixel format
  indexed.SetPixelColor(2, 0, clWhite);
  EXPECT_NE(HTMLEncodeBitmap(indexed).find("<TD colSpan=2 bgColor=000000></TD><TD bgColor=FFFFFF>"),
            std::string::npos);
}

}  // namespace
