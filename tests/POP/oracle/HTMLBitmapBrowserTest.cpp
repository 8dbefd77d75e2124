// A bitmap encoded as an HTML table, drawn by headless Chromium: the screenshot is the
// bitmap pixel for pixel.
#include <gtest/gtest.h>
#include <string>
#include <utility>

#include "POP/PopHTML.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"
#include "tests/support/Oracle.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

TEST(HTMLBitmapBrowser, TableDrawsTheBitmap) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("compare");
  TempDir work;
  // Runs of several lengths, single pixels, a row of one colour, and a column that breaks
  // every row's run, so that the table's columns are spanned in many ways.
  const TColor colours[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};
  for (auto [w, h] : {std::pair{13, 7}, std::pair{37, 19}}) {
    SCOPED_TRACE(IntToStr(w) + "x" + IntToStr(h));
    TBitmap b(w, h, pf24bit);
    std::string ppm = "P6\n" + IntToStr(w) + " " + IntToStr(h) + "\n255\n";
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        TColor c = y == 9   ? RGB(10, 200, 90)
                   : x == 5 ? colours[y % 4]
                   : y > 12 ? RGB(uint8_t(x * 7), uint8_t(y * 13), uint8_t(255 - x * 5))
                            : colours[(x / 3 + y) % 4];
        b.SetPixelColor(x, y, c);
        ppm += {char(GetRValue(c)), char(GetGValue(c)), char(GetBValue(c))};
      }
    std::string page = work.File("bitmap.htm"), expected = work.File("expected.ppm");
    WriteAll(page, "<HTML><BODY style=\"margin:0\">" + HTMLEncodeBitmap(b) + "</BODY></HTML>");
    WriteAll(expected, ppm);
    std::string shot = work.File("shot.png"), crop = work.File("crop.ppm");
    Chromium(work, "--screenshot=" + ShellQuote(shot) + " --window-size=80,60", "file://" + page);
    ASSERT_TRUE(FileExists(shot)) << "no screenshot";
    ShellOutput("convert " + ShellQuote(shot) + " -crop " + IntToStr(w) + "x" + IntToStr(h) +
                "+0+0 +repage -alpha off " + ShellQuote(crop));
    EXPECT_EQ(DifferentPixels(crop, expected), 0);
  }
}

}  // namespace
