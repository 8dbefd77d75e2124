// The page body's background colour, read from and written into a page's HTML text, and the
// address a page is opened at.
#include "POP/PopDOM.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "POP/PopWinInet.h"
#include "platform/SysUtils.h"
#include "tests/support/ScriptedServices.h"

// A page is opened without its fragment, and only without it: a query ("?" and all after it,
// up to the first "#") is part of the address, whatever it holds.
TEST(PopDOM, PagesOpenWithTheirQueryAndWithoutTheirFragment) {
  const struct {
    std::string url, opened;
  } cases[] = {
      {"http://h.example/search?q=a+b#results", "http://h.example/search?q=a+b"},
      {"http://h.example/p?x=1?y=2", "http://h.example/p?x=1?y=2"},
      {"https://h.example/?#", "https://h.example/?"},
      {"http://h.example/p#a?b", "http://h.example/p"},
      {"http://h.example/p#a#b", "http://h.example/p"},
      {"file:///srv/site/index.htm?v=2#top", "file:///srv/site/index.htm?v=2"},
      {"mailto:a@b.example?subject=hi", "mailto:a@b.example?subject=hi"},
      {"http://h.example/plain", "http://h.example/plain"},
  };
  ScriptedServices s;
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    EXPECT_TRUE(DOMBrowseTo(c.url, "x")) << c.url;
    expected.push_back(c.opened);
    EXPECT_EQ(UrlRemoveBookmark(c.url), c.opened) << c.url;
  }
  EXPECT_EQ(s.Opened, expected);
}

TEST(PopDOM, BodyBackgroundColourIsReadFromTheFirstBodyTag) {
  struct Case {
    const char* page;
    TColor want;
  } cases[] = {
      {"<HTML><BODY BGCOLOR=FF8000 text=000000>x</BODY></HTML>", RGB(0xFF, 0x80, 0x00)},
      {"<body bgcolor=\"#00ff7f\">", RGB(0x00, 0xFF, 0x7F)},
      {"<body\n  class=a bgColor = '#fff'>", RGB(255, 255, 255)},
      {"<body bgcolor=Navy>", RGB(0, 0, 128)},
      {"<body bgcolor=cornflowerblue>", RGB(0x64, 0x95, 0xED)},
      {"<body bgcolor=chucknorris>", RGB(0xC0, 0x00, 0x00)},
      {"<body bgcolor=\"&#35;123\">", RGB(0x11, 0x22, 0x33)},
      {"<body bgcolor=\"&#x23;0000ff\">", RGB(0, 0, 255)},
      {"<body bgcolor=red bgcolor=blue>", RGB(255, 0, 0)},  // the first holds
      {"<body>", clNone},
      {"<body bgcolor>", clNone},
      {"<body bgcolor=\"\">", clNone},
      {"<body bgcolor=transparent>", clNone},
      {"<p>no body at all</p>", clNone},
      {"", clNone},
      // What only looks like a body tag.
      {"<!-- <body bgcolor=red> --><body bgcolor=blue>", RGB(0, 0, 255)},
      {"<script>document.write('<body bgcolor=red>')</script><body bgcolor=lime>", RGB(0, 255, 0)},
      {"<title><body bgcolor=red></title><body>", clNone},
      {"<bodyx bgcolor=red><body bgcolor=teal>", RGB(0, 128, 128)},
      {"<div title='<body bgcolor=red>'></div><body bgcolor=olive>", RGB(128, 128, 0)},
      {"<body bgcolor=red", clNone},  // cut off: not a tag
  };
  for (const Case& c : cases) EXPECT_EQ(DOMGetBodyBGColor(c.page), c.want) << c.page;
}

TEST(PopDOM, BodyBackgroundColourIsWrittenIntoTheText) {
  struct Case {
    const char* before;
    TColor color;
    const char* after;
  } cases[] = {
      {"<HTML><BODY BGCOLOR=FFFFFF text=000000>x</BODY>", RGB(255, 0, 0),
       "<HTML><BODY BGCOLOR=FF0000 text=000000>x</BODY>"},
      {"<body bgcolor = \"#fff\" class=a>", RGB(0x12, 0x34, 0x56), "<body bgcolor=123456 class=a>"},
      {"<body class='a'>text", RGB(0, 0, 255), "<body bgColor=0000FF class='a'>text"},
      {"<body>", clBlack, "<body bgColor=000000>"},
      {"<!-- <body> --><body>", clWhite, "<!-- <body> --><body bgColor=FFFFFF>"},
      {"<body class=a bgcolor='red'>", clNone, "<body class=a>"},
      {"<body bgcolor=red\nclass=a>", clDefault, "<body\nclass=a>"},
      {"<body>", clNone, "<body>"},
  };
  for (const Case& c : cases) {
    std::string page = c.before;
    DOMSetBodyBGColor(page, c.color);
    EXPECT_EQ(page, c.after) << c.before;
    EXPECT_EQ(DOMGetBodyBGColor(page), c.color == clDefault ? clNone : c.color) << page;
  }
  // A system colour is written as its current value.
  std::string page = "<body>";
  DOMSetBodyBGColor(page, clWindow);
  EXPECT_EQ(DOMGetBodyBGColor(page), ColorToRGB(clWindow));
  // No body: refused, the text untouched.
  for (const char* text : {"", "<p>x</p>", "<!-- <body> -->", "<body"}) {
    std::string t = text;
    EXPECT_THROW(DOMSetBodyBGColor(t, clRed), Exception) << text;
    EXPECT_EQ(t, text);
  }
}
