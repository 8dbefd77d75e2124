// The body colour of a page as headless Chromium reads it, against DOMGetBodyBGColor: every
// page of the table lies in a frame of one page, whose script writes each frame's computed
// background into the DOM that Chromium dumps.
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "POP/PopDOM.h"
#include "platform/SysUtils.h"
#include "tests/support/Oracle.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {
std::string AttributeText(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&') out += "&amp;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

// "rgb(r, g, b)" as a colour; a transparent background ("rgba(0, 0, 0, 0)") is no colour.
TColor ComputedColor(const std::string& css) {
  int r, g, b;
  if (css.rfind("rgba(", 0) == 0) return clNone;
  if (std::sscanf(css.c_str(), "rgb(%d, %d, %d)", &r, &g, &b) != 3) return clDefault;
  return RGB(uint8_t(r), uint8_t(g), uint8_t(b));
}
}  // namespace

TEST(PopDOMInABrowser, BodyColoursReadAsChromiumReadsThem) {
  REQUIRE_TOOL("chromium");
  std::vector<std::string> pages = {
      "<HTML><BODY BGCOLOR=FF8000 text=000000>x</BODY></HTML>",
      "<body bgcolor=\"#00ff7f\">",
      "<body\n  class=a bgColor = '#fff'>",
      "<body bgcolor=\"&#35;123\">",
      "<body bgcolor=\"&#x23;0000ff\">",
      "<body bgcolor=red bgcolor=blue>",
      "<body>",
      "<body bgcolor>",
      "<body bgcolor=\"\">",
      "<body bgcolor=transparent>",
      "<p>no body at all</p>",
      "",
      "<!-- <body bgcolor=red> --><body bgcolor=blue>",
      "<script>var s='<body bgcolor=red>'</script><body bgcolor=lime>",
      "<title><body bgcolor=red></title><body>",
      "<bodyx bgcolor=red><body bgcolor=teal>",
      "<div title='<body bgcolor=red>'></div><body bgcolor=olive>",
      "<body bgcolor=red",
  };
  // Values that only the lenient reading makes sense of.
  for (const char* v : {"chucknorris", "ninjaturtle", "crap", "#ff", "#1234", "#12345", "1234567",
                        "#0f0f0f0f0f", "0x00ff00", "  #abcdef  ", "navy blue",
                        "\xe2\x82\xac"
                        "uro",
                        "\xf0\x9f\x98\x80"
                        "ff",
                        "#\xc3\xa9\xc3\xa9\xc3\xa9", "zz", "123456789012345678901234567890", "rgb(10,20,30)",
                        "#FFFFFFFFFFFFFFFFFFFFFFFF0"})
    pages.push_back(std::string("<body bgcolor=\"") + v + "\">");
  std::istringstream names(
      "aliceblue antiquewhite aqua aquamarine azure beige bisque black blanchedalmond blue blueviolet "
      "brown burlywood cadetblue chartreuse chocolate coral cornflowerblue cornsilk crimson cyan darkblue "
      "darkcyan darkgoldenrod darkgray darkgreen darkgrey darkkhaki darkmagenta darkolivegreen darkorange "
      "darkorchid darkred darksalmon darkseagreen darkslateblue darkslategray darkslategrey darkturquoise "
      "darkviolet deeppink deepskyblue dimgray dimgrey dodgerblue firebrick floralwhite forestgreen "
      "fuchsia gainsboro ghostwhite gold goldenrod gray green greenyellow grey honeydew hotpink indianred "
      "indigo ivory khaki lavender lavenderblush lawngreen lemonchiffon lightblue lightcoral lightcyan "
      "lightgoldenrodyellow lightgray lightgreen lightgrey lightpink lightsalmon lightseagreen "
      "lightskyblue lightslategray lightslategrey lightsteelblue lightyellow lime limegreen linen magenta "
      "maroon mediumaquamarine mediumblue mediumorchid mediumpurple mediumseagreen mediumslateblue "
      "mediumspringgreen mediumturquoise mediumvioletred midnightblue mintcream mistyrose moccasin "
      "navajowhite navy oldlace olive olivedrab orange orangered orchid palegoldenrod palegreen "
      "paleturquoise palevioletred papayawhip peachpuff peru pink plum powderblue purple rebeccapurple "
      "red rosybrown royalblue saddlebrown salmon sandybrown seagreen seashell sienna silver skyblue "
      "slateblue slategray slategrey snow springgreen steelblue tan teal thistle tomato turquoise violet "
      "wheat white whitesmoke yellow yellowgreen");
  int named = 0;
  for (std::string n; names >> n; ++named) pages.push_back("<body bgcolor=" + n + ">");
  ASSERT_EQ(named, 148);

  std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>\n";
  for (const std::string& p : pages) html += "<iframe srcdoc=\"" + AttributeText(p) + "\"></iframe>\n";
  html +=
      "<pre id=out></pre><script>\n"
      "window.addEventListener('load', function() {\n"
      "  var out = [];\n"
      "  for (var f of document.querySelectorAll('iframe'))\n"
      "    out.push(getComputedStyle(f.contentDocument.body).backgroundColor);\n"
      "  document.getElementById('out').textContent = out.join('|');\n"
      "});\n"
      "</script></body></html>\n";
  TempDir work;
  WriteAll(work.File("colours.htm"), html);
  std::string dom =
      Chromium(work, "--dump-dom --virtual-time-budget=10000", "file://" + work.File("colours.htm"));
  size_t begin = dom.find("<pre id=\"out\">"), end = dom.find("</pre>", begin);
  ASSERT_NE(begin, std::string::npos) << dom;
  std::string list = dom.substr(begin + 14, end - begin - 14);
  std::vector<std::string> computed;
  for (size_t p = 0; p <= list.size();) {
    size_t bar = list.find('|', p);
    if (bar == std::string::npos) bar = list.size();
    computed.push_back(list.substr(p, bar - p));
    p = bar + 1;
  }
  ASSERT_EQ(computed.size(), pages.size()) << list;
  for (size_t i = 0; i < pages.size(); ++i) {
    SCOPED_TRACE(pages[i] + " -> " + computed[i]);
    EXPECT_EQ(DOMGetBodyBGColor(pages[i]), ComputedColor(computed[i]));
  }
}
