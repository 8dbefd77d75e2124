// The HTML head and body builders: the page frame, its head lines and body attributes.
#include "engine/THTML.h"

#include <gtest/gtest.h>
#include <regex>

#include "engine/XObject.h"
#include "platform/SysUtils.h"

namespace {

// Without a content type of the user's, pages are written in UTF-8 and say so first, before
// any text that needs it.
const std::string kCharset = "<META HTTP-EQUIV=\"CONTENT-TYPE\" CONTENT=\"text/html; charset=utf-8\">";

TEST(PageFrame, EmptyStoreWhitePage) {
  XObject store;
  THTML html;
  EXPECT_EQ(BuildPageHTMLFromTable(html, "<TABLE></TABLE>", store, clWhite),
            "<HTML><HEAD>\r\n" + kCharset +
                "\r\n</HEAD>\r\n<BODY BGCOLOR=FFFFFF TOPMARGIN=0 LEFTMARGIN=0 "
                "MARGINHEIGHT=0 MARGINWIDTH=0><CENTER><TABLE></TABLE></CENTER></BODY></HTML>");
}

// The head editor stores each keyword as its caption, "=" and its switch; a caption may hold
// "=" itself.
TEST(PageFrame, KeywordsMayHoldEqualsSigns) {
  XObject store;
  store.WriteString("Key", "size=large=1\r\nw=h=0\r\nplain=1\r\nends==1\r\n");
  THTML html;
  BuildPageHTMLFromTable(html, "T", store, clWhite);
  EXPECT_EQ(html.Head->Keywords, (std::vector<std::string>{"size=large", "plain", "ends="}));
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
  // The content type is the page's one declaration of its charset, first; named without a
  // charset, it gets the one the page is written in.
  EXPECT_EQ(html.Head->Text(),
            "<HEAD>\r\n"
            "<META HTTP-EQUIV=\"CONTENT-TYPE\" CONTENT=\"text/html; charset=utf-8\">\r\n"
            "<TITLE>My &quot;best&quot; page</TITLE>\r\n"
            "<META NAME=\"TITLE\" CONTENT=\"My &quot;best&quot; page\">\r\n"
            "<META NAME=\"DESCRIPTION\" CONTENT=\"d\">\r\n"
            "<META NAME=\"KEYWORDS\" CONTENT=\"\r\nalpha\r\n, gamma\r\n\">\r\n"
            "<META NAME=\"OWNER\" CONTENT=\"o\">\r\n"
            "<META NAME=\"AUTHOR\" CONTENT=\"a\">\r\n"
            "<META NAME=\"COPYRIGHT\" CONTENT=\"c\">\r\n"
            "<META NAME=\"GENERATOR\" CONTENT=\"g\">\r\n"
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
    else EXPECT_EQ(text, "<HEAD>\r\n" + kCharset + "\r\n</HEAD>\r\n");
  }
}

// A page declares one charset, in its first head line, and its bytes are in that charset:
// the user's content type decides where it names a charset this program can write; a
// character that charset cannot hold is written as a character reference. A charset that is
// unknown, or that a page cannot declare inside itself (UTF-16 does not keep ASCII), gives way
// to UTF-8, and the declaration says so.
TEST(PageFrame, OneCharsetAndTheBytesMatchIt) {
  const std::string title = "Caf\xC3\xA9 \xE2\x82\xAC \xD0\x9F\xD1\x80\xD0\xB8";  // "Café € При"
  const struct {
    const char* contentType;
    const char* declared;
    std::string titleBytes;
  } cases[] = {
      {"", "text/html; charset=utf-8", title},
      {"text/html", "text/html; charset=utf-8", title},
      {"text/html; charset=UTF-8", "text/html; charset=UTF-8", title},
      {"text/html; charset=iso-8859-1", "text/html; charset=iso-8859-1",
       "Caf\xE9 &#8364; &#1055;&#1088;&#1080;"},
      {"text/html;charset=\"windows-1252\"", "text/html;charset=windows-1252",
       "Caf\xE9 \x80 &#1055;&#1088;&#1080;"},
      {"text/html; Charset = koi8-r", "text/html; Charset = koi8-r", "Caf&#233; &#8364; \xF0\xD2\xC9"},
      {"text/html; charset=utf-16", "text/html; charset=utf-8", title},
      {"text/html; charset=no-such-set; x=1", "text/html; charset=utf-8; x=1", title},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.contentType);
    XObject store;
    store.WriteString("Con", c.contentType);
    store.WriteString("Tit", title);
    THTML html;
    const std::string page = BuildPageHTMLFromTable(html, "<TD>" + title + "</TD>", store, clWhite);
    const std::string head = "<HTML><HEAD>\r\n<META HTTP-EQUIV=\"CONTENT-TYPE\" CONTENT=\"" +
                             std::string(c.declared) + "\">\r\n<TITLE>";
    EXPECT_EQ(page.substr(0, head.size()), head);
    EXPECT_EQ(LowerCase(page).find("charset"), LowerCase(page).rfind("charset")) << "declared once";
    EXPECT_NE(page.find("<TITLE>" + c.titleBytes + "</TITLE>"), std::string::npos) << page;
    EXPECT_NE(page.find("<TD>" + c.titleBytes + "</TD>"), std::string::npos) << page;
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

// The title is text, not markup: a project received from someone else cannot put elements
// or script into the page the program then opens.
TEST(PageFrame, TheTitleIsEncodedText) {
  struct {
    const char* title;
    const char* element;
  } cases[] = {
      {"Shop front", "<TITLE>Shop front</TITLE>"},
      {"</title><script>alert(1)</script>",
       "<TITLE>&lt;/title&gt;&lt;script&gt;alert(1)&lt;/script&gt;</TITLE>"},
      {"Fish & Chips", "<TITLE>Fish &amp; Chips</TITLE>"},
      {"two  blanks", "<TITLE>two&nbsp; blanks</TITLE>"},
      // A line break cannot be shown in a title: it is a blank there.
      {"one\r\ntwo\nthree", "<TITLE>one two three</TITLE>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    XObject store;
    store.WriteString("Tit", c.title);
    THTML html;
    const std::string page = BuildPageHTMLFromTable(html, "T", store, clWhite);
    EXPECT_NE(page.find(std::string("\r\n") + c.element + "\r\n"), std::string::npos) << page;
    // Markup only counts outside quoted attribute values, where the title's meta tag holds it.
    EXPECT_EQ(std::regex_replace(page, std::regex("\"[^\"]*\""), "").find("<script>"), std::string::npos)
        << page;
  }
}

// Texts of older projects hold Latin-1 bytes beside UTF-8; the page, declared UTF-8, holds
// them as UTF-8, in the head as in the table.
TEST(PageFrame, Latin1BytesBecomeUtf8) {
  XObject store;
  store.WriteString("Tit", "Caf\xE9 cr\xC3\xA8me");
  store.WriteString("Des", "D\xE9j\xE0 vu");
  store.WriteString("Key", "K\xF6ln=1");
  THTML html;
  const std::string page = BuildPageHTMLFromTable(html, "<TD>na\xEFve</TD>", store, clWhite);
  EXPECT_EQ(Utf8OrLatin1ToUtf8(page), page) << "the page is not well-formed UTF-8";
  for (const char* part : {"<TITLE>Caf\xC3\xA9 cr\xC3\xA8me</TITLE>", "CONTENT=\"D\xC3\xA9j\xC3\xA0 vu\"",
                           "\r\nK\xC3\xB6ln\r\n", "<TD>na\xC3\xAFve</TD>"})
    EXPECT_NE(page.find(part), std::string::npos) << part;
  EXPECT_LT(page.find("charset=utf-8"), page.find("<TITLE>"));
}

}  // namespace
