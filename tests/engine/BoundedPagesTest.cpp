// Small projects whose values make a page costly: captions at the largest font size, captions
// of a megabyte in small and in wide objects, snippets of deep markup. Each project is read,
// drawn whole as the window draws it, and laid out as the page builder lays it out, in a
// child process of its own, within a bound of processor time and of peak memory; a hang or
// a crash fails its row instead of the suite.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "POP/PopFastINI.h"
#include "engine/HTMLSnippet.h"
#include "engine/TPageBuilder.h"
#include "engine/XImageCache.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"
#include "platform/ImageLimits.h"
#include "platform/SysUtils.h"
#include "tests/support/ChildRunner.h"
#include "tests/support/ScriptedServices.h"

namespace {

std::string Repeat(const std::string& unit, size_t bytes) {
  std::string s;
  s.reserve(bytes + unit.size());
  while (s.size() < bytes) s += unit;
  return s;
}

std::string Utf8(uint32_t cp) {
  std::string s;
  if (cp < 0x800) {
    s += char(0xC0 | (cp >> 6));
  } else {
    s += char(0xE0 | (cp >> 12));
    s += char(0x80 | ((cp >> 6) & 0x3F));
  }
  return s + char(0x80 | (cp & 0x3F));
}

// A project of one object: the page size, the object's bounds and its other keys (the
// caption as the file holds it, encoded).
std::string OneObjectProject(int pageWidth, int pageHeight, const TRect& b, const std::string& keys) {
  return "[Heading]\nProjectWidth=" + std::to_string(pageWidth) +
         "\nProjectHeight=" + std::to_string(pageHeight) +
         "\nNumOfButtons=1\n[Button0]\nRectLeft=" + std::to_string(b.Left) +
         "\nRectTop=" + std::to_string(b.Top) + "\nRectRight=" + std::to_string(b.Right) +
         "\nRectBottom=" + std::to_string(b.Bottom) + "\n" + keys;
}

// Reads the project, draws its page whole and builds the page's table and markup, as the
// window opens a page and builds a site of it (the slices' files aside). Gives the size of
// the markup and the messages the build would show.
std::string OpenDrawAndBuild(const std::string& text) {
  ScriptedServices services;
  TINIDocument d("page.zlm");
  d.LoadFromString(text);
  ZButtonList scene;
  scene.ReplaceFromINI(d);
  const int w = std::clamp(d.ReadInteger("Heading", "ProjectWidth", 800), 1, MaxPageSide);
  const int h = std::clamp(d.ReadInteger("Heading", "ProjectHeight", 800), 1, MaxPageSide);
  scene.Page->SetSize(w, h);
  TRegionList region = nullptr;
  RegionSet(region, 0, 0, w, h);
  RenderScene(scene, *scene.Page, region);
  RegionClear(region);
  TPageTable t = BuildPageTable(
      scene, Rect(0, 0, w, h), [](const std::string& s) { return s; }, true);
  const std::string html = t.Maker->BuildTableHTML();
  return std::to_string(html.size()) + "\n" + SnippetRepairsMessage(t.SnippetRepairs) + "\n" +
         LostLinksMessage(t.LostLinks);
}

struct PageCase {
  const char* what;
  std::function<std::string()> project;
  double seconds, peakMB;
};

void RunCases(const std::vector<PageCase>& cases) {
  for (const PageCase& k : cases) {
    SCOPED_TRACE(k.what);
    const std::string text = k.project();
    ASSERT_LT(text.size(), size_t(3) << 20) << "a small project";
    const ChildRun run = RunInChild([&] { return OpenDrawAndBuild(text); }, 60000);
    ASSERT_TRUE(run.Finished) << run.Result;
    std::printf("%s: %.2f s, %.0f MB\n", k.what, run.CpuSeconds, run.PeakMB);
    EXPECT_NE(run.Result.rfind("raised", 0), 0u) << run.Result;
    EXPECT_LE(run.CpuSeconds, k.seconds * kTimeSlack) << "took " << run.CpuSeconds << " s";
    EXPECT_LE(run.PeakMB, k.peakMB * kMemorySlack) << "peak resident size rose by " << run.PeakMB << " MB";
  }
}

}  // namespace

// The glyphs of a caption at the largest size are megabytes each: a caption costs what shows
// of it in its object, and the glyphs kept are bounded, however many letters it has.
TEST(BoundedPages, CaptionsAtTheLargestFontSize) {
  std::string ascii, ideographs;
  for (int c = 33; c < 127; ++c) ascii += c == '%' ? std::string("%25") : std::string(1, char(c));
  for (uint32_t cp = 0x4E00; cp < 0x4E00 + 500; ++cp) ideographs += Utf8(cp);
  const std::vector<PageCase> cases = {
      {"every ASCII letter, antialiased, on a page-sized object",
       [&] {
         return OneObjectProject(800, 800, Rect(0, 0, 800, 800),
                                 "ButtonText=" + ascii + "\nFontHeight=-1000\nIsAntialiased=1\n");
       },
       1, 300},
      {"500 ideographs, antialiased",
       [&] {
         return OneObjectProject(800, 800, Rect(0, 0, 800, 800),
                                 "ButtonText=" + ideographs + "\nFontHeight=-1000\nIsAntialiased=1\n");
       },
       1, 300},
      {"500 ideographs, bold and italic at a height past the limit, in an object past the page",
       [&] {
         return OneObjectProject(
             800, 800, Rect(0, 0, 32767, 32767),
             "ButtonText=" + ideographs + "\nFontHeight=-2000000\nFontBold=1\nFontItalic=1\n");
       },
       1, 300},
      {"500 ideographs, one a line",
       [&] {
         std::string lines;
         for (uint32_t cp = 0x4E00; cp < 0x4E00 + 500; ++cp) lines += Utf8(cp) + "%0A";
         return OneObjectProject(800, 800, Rect(0, 0, 800, 800),
                                 "ButtonText=" + lines + "\nFontHeight=-1000\n");
       },
       1, 300},
  };
  RunCases(cases);
}

// A caption of a megabyte: wrapping measures a line as it is drawn, so a wide box of small
// letters (thousands of words a line) must not measure every line again after each word.
TEST(BoundedPages, CaptionsOfAMegabyte) {
  const size_t mb = size_t(1) << 20;
  const std::vector<PageCase> cases = {
      {"short words in a small object",
       [&] {
         return OneObjectProject(800, 800, Rect(10, 10, 40, 30), "ButtonText=" + Repeat("ab ", mb) + "\n");
       },
       1, 300},
      {"short words in the widest object, at the smallest size",
       [&] {
         return OneObjectProject(MaxPageSide, 800, Rect(0, 0, 32767, 800),
                                 "ButtonText=" + Repeat("ab ", mb) + "\nFontHeight=-1\n");
       },
       1, 300},
      {"words of every length in a wide object",
       [&] {
         std::string s;
         for (size_t i = 0; s.size() < mb; ++i) s += std::string(1 + i % 13, char('a' + i % 26)) + "%20";
         return OneObjectProject(MaxPageSide, 800, Rect(0, 0, MaxPageSide, 800),
                                 "ButtonText=" + s + "\nFontHeight=-4\n");
       },
       1, 300},
      {"one unbroken word in a small object",
       [&] {
         return OneObjectProject(800, 800, Rect(10, 10, 40, 30),
                                 "ButtonText=" + Repeat("abcdefgh", mb) + "\n");
       },
       1, 300},
      {"line breaks",
       [&] {
         return OneObjectProject(800, 800, Rect(10, 10, 40, 30), "ButtonText=" + Repeat("a%0A", mb) + "\n");
       },
       1, 300},
      // A Tab is shaped once, as one space that advances as eight (shaped as eight spaces, a
      // megabyte of them took 0.7 s and 286 MB).
      {"Tabs, each as wide as eight blanks",
       [&] {
         return OneObjectProject(800, 800, Rect(10, 10, 40, 30), "ButtonText=" + Repeat("%09", mb) + "\n");
       },
       0.4, 100},
      {"a text area of words and markup characters",
       [&] {
         return OneObjectProject(800, 800, Rect(10, 10, 400, 300),
                                 "Shape=23\nButtonText=" + Repeat("ab%20<&", mb) + "\n");
       },
       1, 300},
  };
  RunCases(cases);
}

// A snippet of a megabyte of start tags nests them as deep as it has them: the parser costs
// the depth at every tag, and releasing its tree goes down the depth (a stack overflow at a
// few hundred thousand levels). Browsers nest no deeper than 512.
TEST(BoundedPages, SnippetsOfDeepMarkup) {
  const size_t mb = size_t(1) << 20;
  auto snippet = [&](const std::string& unit) {
    return [=] {
      std::string text = Repeat(unit, mb);
      std::string encoded;
      for (char c : text) encoded += c == '%' ? std::string("%25") : std::string(1, c);
      return OneObjectProject(800, 800, Rect(10, 10, 400, 300), "Shape=24\nButtonText=" + encoded + "\n");
    };
  };
  // The editor draws a snippet's markup as one unbroken line and the site parses it: a
  // megabyte is shaped (about a third of a second) and parsed (as much again, for the
  // paragraphs that end one another) on an idle machine; the bound leaves room for a busy one.
  constexpr double kSnippetSeconds = 2;
  const std::vector<PageCase> cases = {
      {"formatting elements left open", snippet("<b><i>x"), kSnippetSeconds, 300},
      {"blocks left open", snippet("<div>x"), kSnippetSeconds, 300},
      {"tables in cells", snippet("<table><tr><td>"), kSnippetSeconds, 300},
      {"elements of names HTML does not know", snippet("<x-y>a"), kSnippetSeconds, 300},
      {"paragraphs, items and cells, which end one another", snippet("<p>x<li>y<td>z"), kSnippetSeconds, 300},
      {"end tags of nothing open", snippet("x</b>"), kSnippetSeconds, 300},
  };
  RunCases(cases);
}

// Deep markup is kept to the depth browsers show, its text whole, with a word for the user;
// markup of ordinary depth is balanced whole, whatever its length.
TEST(BoundedPages, DeepSnippetsAreKeptToTheDepthBrowsersShow) {
  struct Case {
    const char* what;
    std::string markup;
    bool deep;
  } cases[] = {
      {"600 blocks left open", Repeat("<div>q", 600 * 6), true},
      {"600 tables in cells", Repeat("<table><tr><td>q", 600 * 16), true},
      {"600 elements of a name HTML does not know", Repeat("<my-box>q", 600 * 9), true},
      {"500 blocks left open", Repeat("<div>q", 500 * 6), false},
      {"600 closed blocks one after another", Repeat("<div>q</div>", 600 * 12), false},
      {"a table of 600 rows whose cells are not closed",
       "<table>" + Repeat("<tr><td>q<td>q<th>q", 600 * 19) + "</table>", false},
      {"600 paragraphs not closed", Repeat("<p>q", 600 * 4), false},
      {"a list of 600 items not closed", "<ul>" + Repeat("<li>q", 600 * 5) + "</ul>", false},
      {"600 line breaks and pictures", Repeat("<br><img src=a.gif>", 600 * 19), false},
      {"600 start tags inside a comment", "<!--" + Repeat("<div>", 600 * 5) + "-->", false},
      {"600 start tags inside a script", "<script>" + Repeat("<div>", 600 * 5) + "</script>", false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const TBalancedSnippet s = BalanceSnippet(k.markup);
    bool said = false;
    for (const std::string& r : s.Repairs) said = said || r.find("deeper than 512") != std::string::npos;
    EXPECT_EQ(said, k.deep);
    const auto count = [](const std::string& text, const std::string& what) {
      size_t n = 0;
      for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
      return n;
    };
    EXPECT_EQ(count(s.Html, "q"), count(k.markup, "q")) << "every text is kept";
    if (k.deep)
      EXPECT_LE(count(s.Html, "<div>") + count(s.Html, "<table>") + count(s.Html, "<my-box>"), 512u);
  }
}

// A page of thousands of links that other objects hide: the site build names the first ones
// and counts the rest, so its message fits a screen.
TEST(BoundedPages, ThousandsOfLostLinksMakeAShortMessage) {
  std::string text = "[Heading]\nProjectWidth=4000\nProjectHeight=4000\nNumOfButtons=3001\n";
  for (int i = 0; i < 3000; ++i)
    text += "[Button" + std::to_string(i) + "]\nRectLeft=" + std::to_string(i) +
            "\nRectTop=" + std::to_string(i) + "\nRectRight=" + std::to_string(i + 3) +
            "\nRectBottom=" + std::to_string(i + 3) + "\nButtonText=L" + std::to_string(i) +
            "\nLinkAddress=l" + std::to_string(i) + ".htm\n";
  text += "[Button3000]\nRectLeft=0\nRectTop=0\nRectRight=4000\nRectBottom=4000\n";
  const ChildRun run = RunInChild([&] { return OpenDrawAndBuild(text); }, 60000);
  ASSERT_TRUE(run.Finished) << run.Result;
  const std::string message = run.Result.substr(run.Result.find("Some links"));
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 21) << message;
  EXPECT_NE(message.find("\"L0\" (l0.htm) is wholly covered by other objects."), std::string::npos)
      << message;
  EXPECT_NE(message.find("\nand 2980 more."), std::string::npos) << message;
}

// Which objects the site may show as markup (wholly on the page, under no other object) is
// found in one pass over the page, as each object alone would find it.
TEST(BoundedPages, FullyVisibleObjectsInOnePass) {
  struct Case {
    const char* what;
    int objects, largest;  // the largest side of an object
  } cases[] = {
      {"few large objects", 40, 900},
      {"many small objects", 3000, 40},
      {"small and large objects, some off the page and some empty", 2000, 2500},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    ZButtonList scene;
    scene.Page->SetSize(1000, 700);
    uint32_t seed = 7;
    auto next = [&](int below) {
      seed = seed * 1103515245u + 12345u;
      return int((seed >> 8) % uint32_t(below));
    };
    for (int i = 0; i < k.objects; ++i) {
      const int x = next(1200) - 100, y = next(900) - 100;
      const int w = next(8) == 0 ? 0 : 1 + next(next(8) == 0 ? k.largest : 30);
      new TZLMButton("", &scene, Rect(x, y, x + w, y + 1 + next(30)), "");
    }
    const std::vector<bool> visible = scene.FullyVisibleLayers();
    ASSERT_EQ(visible.size(), size_t(scene.Count()));
    int shown = 0;
    for (int i = 0; i < scene.Count(); ++i) {
      EXPECT_EQ(visible[size_t(i)], scene.IsFullyVisible(scene.Button(i))) << "object " << i;
      shown += visible[size_t(i)];
    }
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, scene.Count());
  }
}

// A page of the most objects a project may hold, each with a caption and a link: laid out as
// a site's table and written as its markup. Testing each object against every other one to
// find the ones shown whole took minutes.
TEST(BoundedPages, ASiteOfTheMostObjectsIsLaidOutInSeconds) {
  // The page is made in the child and the layout alone is measured there (the child's own
  // processor time and the rise of its peak from the made page).
  const ChildRun run = RunInChild(
      [] {
        ZButtonList scene;
        scene.Page->SetSize(MaxPageSide, MaxPageSide);
        for (int i = 0; i < kMaxButtons; ++i) {
          const int x = (i % 300) * 27 + 1, y = (i / 300) * 24 + 1;
          new TZLMButton("B", &scene, Rect(x, y, x + 23, y + 19), "l" + std::to_string(i) + ".htm");
        }
        std::string counts;
        const WorkCost cost = MeasureHere([&] {
          TPageTable t = BuildPageTable(
              scene, Rect(0, 0, MaxPageSide, MaxPageSide), [](const std::string& s) { return s; }, true);
          counts = std::to_string(t.Hidden.size()) + " " + std::to_string(t.LostLinks.size()) + " " +
                   std::to_string(t.Maker->BuildTableHTML().size());
        });
        return std::to_string(cost.CpuSeconds) + " " + std::to_string(cost.PeakMB) + " " + counts;
      },
      120000);
  ASSERT_TRUE(run.Finished) << run.Result;
  std::istringstream in(run.Result);
  double seconds = 0, peakMB = 0;
  int hidden = 0, lost = -1;
  in >> seconds >> peakMB >> hidden >> lost;
  EXPECT_EQ(hidden, kMaxButtons) << "every caption is text";
  EXPECT_EQ(lost, 0) << "every link is on the page";
  EXPECT_LE(seconds, 3 * kTimeSlack) << "took " << seconds << " s";
  EXPECT_LE(peakMB, 300 * kMemorySlack) << peakMB << " MB";
}

// Objects that lay out a picture of the largest size with alpha, bilinear ("Bilinear
// Filtered") or by slices ("Button Skin"): a drawing weighs the picture's pixels that the
// part drawn samples, not the whole picture, for each object drawn. The picture is made in
// the child before the drawing is measured.
TEST(BoundedPages, LargestAlphaPicturesLaidOutBilinearCostThePartDrawn) {
  struct Case {
    const char* what;
    int mode;
    int page;                // a page of page x page
    int objects, side;       // objects of side x side
    int left, step, perRow;  // the first at (left, left), the others step apart in rows
    int dirtySide;           // the page is then redrawn in squares of this side, or 0
    double seconds, peakMB;
  } cases[] = {
      {"20 stretched objects of 48 x 48 on a page of 64 x 64", 4, 64, 20, 48, 0, 4, 5, 0, 1, 300},
      {"20 skinned objects of 48 x 48 on a page of 64 x 64", 5, 64, 20, 48, 0, 4, 5, 0, 1, 300},
      {"64 stretched objects of 128 x 128 redrawn in 256 squares of 64", 4, 1024, 64, 128, 0, 128, 8, 64, 1,
       300},
      {"64 skinned objects of 128 x 128 redrawn in 256 squares of 64", 5, 1024, 64, 128, 0, 128, 8, 64, 1,
       300},
      {"20 stretched objects of 8192 x 8192 mostly off a page of 64 x 64, redrawn in squares of 16", 4, 64,
       20, 8192, -4096, 2, 20, 16, 1, 300},
      {"20 skinned objects of 8192 x 8192 mostly off a page of 64 x 64, redrawn in squares of 16", 5, 64, 20,
       8192, -4096, 2, 20, 16, 1, 300},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const ChildRun run = RunInChild([&] {
      XImageCache cache;
      XImageCacheObject* e = cache.GetEntry("alpha.png");
      XImage& tex = *e->Image;
      tex.SetSize(MaxPageSide, MaxPageSide);
      // Opaque red with transparent holes and half-transparent blue lines.
      for (int y = 0; y < MaxPageSide; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(tex.ScanLine(y));
        for (int x = 0; x < MaxPageSide; ++x)
          row[x] = (x ^ y) % 7 == 0 ? 0 : y % 5 == 0 ? 0x800000FFu : 0xFFFF0000u;
      }
      tex.AlphaChannel = true;
      e->Loaded = true;
      ZButtonList scene;
      for (int i = 0; i < k.objects; ++i) {
        const int x = k.left + (i % k.perRow) * k.step, y = k.left + (i / k.perRow) * k.step;
        auto* o = new TZLMButton("", &scene, Rect(x, y, x + k.side, y + k.side), "");
        o->Style->Shape = 0;
        o->Style->Color0 = 0x00FF00;
        o->Style->Texture = e;
        o->Style->TextureMode = k.mode;
      }
      scene.Page->SetSize(k.page, k.page);
      ScriptedServices services;
      const WorkCost cost = MeasureHere([&] {
        TRegionList region = nullptr;
        RegionSet(region, 0, 0, k.page, k.page);
        RenderScene(scene, *scene.Page, region);
        RegionClear(region);
        for (int y = 0; k.dirtySide && y < k.page; y += k.dirtySide)
          for (int x = 0; x < k.page; x += k.dirtySide) {
            RegionSet(region, x, y, x + k.dirtySide, y + k.dirtySide);
            RenderScene(scene, *scene.Page, region);
            RegionClear(region);
          }
      });
      // The picture is drawn: red over the page (the face colour, green, is not drawn).
      const uint32_t px = reinterpret_cast<const uint32_t*>(scene.Page->ScanLine(1))[2] & 0xFFFFFF;
      return Format("%.3f %.1f %06X", cost.CpuSeconds, cost.PeakMB, px);
    });
    ASSERT_TRUE(run.Finished) << run.Result;
    double seconds = 0, peakMB = 0;
    char shown[8] = {};
    ASSERT_EQ(std::sscanf(run.Result.c_str(), "%lf %lf %7s", &seconds, &peakMB, shown), 3) << run.Result;
    std::printf("%s: %.2f s, %.0f MB\n", k.what, seconds, peakMB);
    const uint32_t px = uint32_t(std::strtoul(shown, nullptr, 16));
    EXPECT_TRUE((px >> 16) >= 0xC0 && (px >> 8 & 0xFF) < 0x80) << "the picture is not drawn: " << run.Result;
    EXPECT_LE(seconds, k.seconds * kTimeSlack) << "took " << seconds << " s";
    EXPECT_LE(peakMB, k.peakMB * kMemorySlack) << "peak resident size rose by " << peakMB << " MB";
  }
}

// Staggered linked objects, each overlapping the next, make a grid of 2N x 2N cells nearly all
// of which merge into a few large ones: the links the site loses are found from the merged
// cells, not by a visit of every grid cell (8,000 objects: 256 million cells, a second).
TEST(BoundedPages, LostLinksOfStaggeredObjectsAreFoundFromTheMergedCells) {
  const ChildRun run = RunInChild(
      [] {
        const int n = 8000;
        // Past the largest page: the table is laid out over the area, which the page does not bound.
        ZButtonList scene;
        for (int i = 0; i < n; ++i)
          new TZLMButton("", &scene, Rect(i * 4, i * 4, i * 4 + 6, i * 4 + 6),
                         "l" + std::to_string(i) + ".htm");
        // One object under a later one's twin: its link is lost.
        new TZLMButton("", &scene, Rect(0, 100, 6, 106), "lost.htm");
        new TZLMButton("", &scene, Rect(0, 100, 6, 106), "");
        std::string lost;
        const WorkCost cost = MeasureHere([&] {
          TPageTable t = BuildPageTable(
              scene, Rect(0, 0, n * 4 + 2, n * 4 + 2), [](const std::string& s) { return s; }, true);
          for (const TLostLink& l : t.LostLinks) lost += " " + l.Object->LinkAddress;
        });
        return std::to_string(cost.CpuSeconds) + lost;
      },
      60000);
  ASSERT_TRUE(run.Finished) << run.Result;
  ASSERT_NE(run.Result.rfind("raised", 0), 0u) << run.Result;
  std::istringstream in(run.Result);
  double seconds = 0;
  std::string lost;
  in >> seconds;
  std::getline(in, lost);
  EXPECT_EQ(lost, " lost.htm");
  EXPECT_LE(seconds, 0.3 * kTimeSlack) << "took " << seconds << " s";
}
