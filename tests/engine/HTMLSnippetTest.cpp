// A snippet's markup balanced by a real HTML parser: what a slip becomes, what the user is
// told, and that the result is closed in itself whatever the input.
#include "engine/HTMLSnippet.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(Snippet, SlipsAreClosedOrDroppedAndNamed) {
  struct Case {
    const char* markup;
    const char* html;
    std::vector<std::string> repairs;
  } cases[] = {
      // sound markup keeps its meaning, and nobody is told anything
      {"<i>raw</i> & more", "<i>raw</i> &amp; more", {}},
      {"<P>one<P>two<UL><LI>a<LI>b</UL>", "<p>one</p><p>two</p><ul><li>a</li><li>b</li></ul>", {}},
      {"<TABLE><TR><TD>x</TD></TR></TABLE>", "<table><tbody><tr><td>x</td></tr></tbody></table>", {}},
      {"<A HREF='a b.htm' title=\"say &quot;hi&quot;\">go</A>",
       "<a href=\"a b.htm\" title=\"say &quot;hi&quot;\">go</a>",
       {}},
      {"<script>if (a < b) f();</script>", "<script>if (a < b) f();</script>", {}},
      {"<!-- note -->text", "<!-- note -->text", {}},
      // the slips
      {"before<!-- never closed<TABLE>", "before<!-- never closed<TABLE>-->", {"closed a comment left open"}},
      {"<TABLE><TR><TD>x", "<table><tbody><tr><td>x</td></tr></tbody></table>", {"closed <table>"}},
      {"a</TABLE>b", "ab", {"dropped </TABLE>"}},
      {"a<TD>b</TD>c", "abc", {"dropped <TD>", "dropped </TD>"}},
      {"x</DIV></FONT></TD></TR>",
       "x",
       {"dropped </DIV>", "dropped </FONT>", "dropped </TD>", "dropped </TR>"}},
      {"<B>bold <I>both", "<b>bold <i>both</i></b>", {"closed <b>", "closed <i>"}},
      {"<DIV style='float:left'>open", "<div style=\"float:left\">open</div>", {"closed <div>"}},
      {"<textarea>typed", "<textarea>typed</textarea>", {"closed <textarea>"}},
      {"<script>f()", "<script>f()</script>", {"closed <script>"}},
      {"<plaintext>rest", "rest", {"dropped <plaintext>"}},
      {"a <b", "a ", {"dropped <b"}},
      {"<a href=\"x>t", "", {"dropped <a href=\"x>"}},
      // a "<" that starts no tag is text
      {"1 < 2", "1 &lt; 2", {}},
      // a "</" and no letter starts a comment, as in a browser
      {"1 < 2 </ 3", "1 &lt; 2 <!-- 3-->", {"closed a comment left open"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.markup);
    const TBalancedSnippet s = BalanceSnippet(c.markup);
    EXPECT_EQ(s.Html, c.html);
    EXPECT_EQ(s.Repairs, c.repairs);
  }
}

TEST(Snippet, Latin1BytesOfAnOlderProjectBecomeTheirCharacters) {
  EXPECT_EQ(BalanceSnippet("Caf\xE9 <b>cr\xE8me</b>").Html, "Caf\xC3\xA9 <b>cr\xC3\xA8me</b>");
  EXPECT_EQ(BalanceSnippet("a\xC2\xA0"
                           "b")
                .Html,
            "a&nbsp;b");
}

// Whatever the input, the output is markup that parses back to itself with nothing to mend:
// every element closes inside it. Random soups of the pieces that break pages, seeded.
TEST(Snippet, AnyInputBalancesToMarkupThatNeedsNoMending) {
  const char* pieces[] = {"<TABLE>",     "</TABLE>",
                          "<TR>",        "<TD>",
                          "</TD>",       "<!--",
                          "-->",         "<B>",
                          "</B>",        "<I>",
                          "<DIV>",       "</DIV>",
                          "<A href=x>",  "</A>",
                          "<script>",    "</script>",
                          "<style>",     "<textarea>",
                          "<select>",    "<option>",
                          "<svg>",       "<math>",
                          "text",        " & ",
                          "<",           "</",
                          "\"",          "'",
                          "<P>",         "<LI>",
                          "<plaintext>", "<xmp>",
                          "<title>",     "<!DOCTYPE html>",
                          "<html>",      "<body>",
                          "<frameset>",  "<template>",
                          "</FONT>",     "<br>"};
  std::mt19937 random(20261211);
  for (int i = 0; i < 400; ++i) {
    std::string markup;
    const int n = 1 + int(random() % 12);
    for (int k = 0; k < n; ++k) markup += pieces[random() % std::size(pieces)];
    SCOPED_TRACE(markup);
    const TBalancedSnippet once = BalanceSnippet(markup);
    const TBalancedSnippet twice = BalanceSnippet(once.Html);
    EXPECT_EQ(twice.Html, once.Html);
    EXPECT_TRUE(twice.Repairs.empty()) << twice.Repairs.front();
  }
}

// A snippet far deeper than browsers nest is written as deep as they nest, its text kept,
// and the user is told of the start tags left out.
TEST(Snippet, DeepNestingIsWritten) {
  std::string markup;
  for (int i = 0; i < 20000; ++i) markup += "<span>";
  const TBalancedSnippet s = BalanceSnippet(markup + "x");
  EXPECT_NE(s.Html.find(">x</span>"), std::string::npos);
  size_t opened = 0;
  for (size_t at = s.Html.find("<span>"); at != std::string::npos; at = s.Html.find("<span>", at + 1))
    ++opened;
  EXPECT_EQ(opened, 512u);
  EXPECT_EQ(s.Repairs,
            (std::vector<std::string>{
                "closed <span>",
                "left out 19488 start tags that nest deeper than 512 elements (browsers nest no deeper)"}));
}

}  // namespace
