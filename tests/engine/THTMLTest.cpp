#include "engine/THTML.h"

#include <gtest/gtest.h>

#include "engine/XObject.h"

namespace {

TEST(PageFrame, EmptyStoreWhitePage) {
  XObject store;
  THTML html;
  EXPECT_EQ(BuildPageHTMLFromTable(html, "<TABLE></TABLE>", store, clWhite),
            "<HTML><HEAD>\r\n</HEAD>\r\n<BODY BGCOLOR=FFFFFF TOPMARGIN=0 LEFTMARGIN=0 "
            "MARGINHEIGHT=0 MARGINWIDTH=0><CENTER><TABLE></TABLE></CENTER></BODY></HTML>");
}

TEST(PageFrame, EveryHeadLineInOrder) {
  XObject store;
  store.WriteString("Tit", "My \"best\" page");
  store.WriteString("Des", "d");
  store.WriteString("Key", "alpha=1\r\nbeta=0\r\ngamma=1\r\ndelta=x");
  store.WriteString("Own", "o");
  store.WriteString("Aut", "a");
  store.WriteString("Cop", "c");
  store.WriteString("Gen", "g");
  store.WriteString("Con", "text/html");
  store.WriteString("Lan", "en");
  store.WriteString("Rat", "general");
  store.WriteString("Cha", "never written");
  store.WriteBool("NoI", true);
  store.WriteString("Ema", "me@example.org");
  THTML html;
  std::string page = BuildPageHTMLFromTable(html, "T", store, clRed);
  EXPECT_EQ(html.Head->Charset, "never written");
  EXPECT_EQ(html.Head->Text(),
            "<HEAD>\r\n"
            "<TITLE>My \"best\" page</TITLE>\r\n"
            "<META NAME=\"TITLE\" CONTENT=\"My &quot;best&quot; page\">\r\n"
            "<META NAME=\"DESCRIPTION\" CONTENT=\"d\">\r\n"
            "<META NAME=\"KEYWORDS\" CONTENT=\"\r\nalpha\r\n, gamma\r\n\">\r\n"
            "<META NAME=\"OWNER\" CONTENT=\"o\">\r\n"
            "<META NAME=\"AUTHOR\" CONTENT=\"a\">\r\n"
            "<META NAME=\"COPYRIGHT\" CONTENT=\"c\">\r\n"
            "<META NAME=\"GENERATOR\" CONTENT=\"g\">\r\n"
            "<META HTTP-EQUIV=\"CONTENT-TYPE\" CONTENT=\"text/html\">\r\n"
            "<META HTTP-EQUIV=\"CONTENT-LANGUAGE\" CONTENT=\"en\">\r\n"
            "<META NAME=\"RATING\" CONTENT=\"general\">\r\n"
            "<META NAME=\"ROBOTS\" CONTENT=\"noindex, follow\">\r\n"
            "<LINK HREF=\"mailto:me@example.org\" REV=MADE>\r\n"
            "</HEAD>\r\n");
  EXPECT_NE(page.find("<BODY BGCOLOR=FF0000 "), std::string::npos);
}

TEST(PageFrame, RobotsCombinations) {
  struct {
    bool noIndex, noFollow;
    const char* line;
  } cases[] = {{false, false, nullptr},
               {true, false, "noindex, follow"},
               {false, true, "index, nofollow"},
               {true, true, "noindex, nofollow"}};
  for (auto& c : cases) {
    THTMLHead h;
    h.NoIndex = c.noIndex;
    h.NoFollow = c.noFollow;
    std::string text = h.Text();
    if (c.line) EXPECT_NE(text.find(std::string("CONTENT=\"") + c.line + "\""), std::string::npos) << c.line;
    else EXPECT_EQ(text, "<HEAD>\r\n</HEAD>\r\n");
  }
}

TEST(PageFrame, BodyAttributesInOrder) {
  THTMLBody b;
  EXPECT_EQ(b.Text("x"), "<BODY>x</BODY>");
  b.MarginWidth = "1";
  b.BgColor = "000000";
  b.LeftMargin = "2";
  EXPECT_EQ(b.Text(""), "<BODY BGCOLOR=000000 LEFTMARGIN=2 MARGINWIDTH=1></BODY>");
}

}  // namespace
