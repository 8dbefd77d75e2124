// A drawing call collects its pixels a strip of rows at a time: whatever the strips' size,
// every call sets exactly the pixels it sets when its whole box is collected at once.
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/Canvas.h"

namespace {

// Strips of at most `cells` bytes while it lives.
struct StripCells {
  explicit StripCells(int64_t cells) { SetCanvasStripCells(cells); }
  ~StripCells() { SetCanvasStripCells(0); }
};

struct Drawing {
  const char* what;
  std::function<void(TCanvas&)> draw;
};

// A sheet of colours that differ from pixel to pixel, so that a raster operation drawn on the
// wrong pixel, or twice on one, shows.
void Sheet(TBitmap& b, int w, int h, TPixelFormat format) {
  b.SetPixelFormat(pf32bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixelColor(x, y, RGB(uint8_t(x * 37 + y), uint8_t(y * 53), uint8_t(x ^ y)));
  b.SetPixelFormat(format);
}

std::string Bytes(const TBitmap& b) {
  std::string s;
  for (int y = 0; y < b.Height(); ++y) s.append(reinterpret_cast<const char*>(b.ScanLine(y)), b.RowBytes());
  return s;
}

// The drawing on a fresh sheet, with the canvas's origin at (ox, oy).
std::string Drawn(const Drawing& d, TPixelFormat format, int ox, int oy) {
  TBitmap b;
  Sheet(b, 61, 47, format);
  TCanvas& c = b.Canvas();
  TCanvasOrigin origin(c, ox, oy);
  c.Brush.SetColor(RGB(200, 30, 90));
  c.Pen.Color = RGB(10, 220, 40);
  d.draw(c);
  return Bytes(b);
}

// Brush and pen settings under which each shape is drawn.
const std::vector<Drawing>& Settings() {
  static const std::vector<Drawing> settings = {
      {"plain", [](TCanvas&) {}},
      {"pen of width 5", [](TCanvas& c) { c.Pen.Width = 5; }},
      {"pen of width 4, inside the frame", [](TCanvas& c) { c.Pen.Width = 4, c.Pen.Style = psInsideFrame; }},
      {"dotted pen", [](TCanvas& c) { c.Pen.Style = psDot; }},
      {"dash-dot pen, clear brush", [](TCanvas& c) { c.Pen.Style = psDashDot, c.Brush.Style = bsClear; }},
      {"clear pen", [](TCanvas& c) { c.Pen.Style = psClear; }},
      {"not", [](TCanvas& c) { c.Pen.Mode = pmNot; }},
      {"xor, width 3", [](TCanvas& c) { c.Pen.Mode = pmXor, c.Pen.Width = 3; }},
  };
  return settings;
}

const std::vector<Drawing>& Shapes() {
  static const std::vector<Drawing> shapes = {
      {"rectangle", [](TCanvas& c) { c.Rectangle(3, 2, 55, 41); }},
      {"rectangle past every edge", [](TCanvas& c) { c.Rectangle(-20, -9, 90, 70); }},
      {"round rectangle", [](TCanvas& c) { c.RoundRect(4, 3, 58, 44, 30, 17); }},
      {"ellipse", [](TCanvas& c) { c.Ellipse(2, 1, 59, 46); }},
      {"ellipse past the top and left", [](TCanvas& c) { c.Ellipse(-30, -25, 40, 30); }},
      {"thin ellipse", [](TCanvas& c) { c.Ellipse(5, 20, 56, 24); }},
      {"self-crossing polygon",
       [](TCanvas& c) {
         c.Polygon({{2, 2}, {58, 40}, {58, 3}, {3, 44}, {30, -10}});
       }},
      {"polygon with far-away points",
       [](TCanvas& c) {
         c.Polygon({{-100000, 20}, {30, -70000}, {2000000, 45}, {31, 30}});
       }},
      {"polyline",
       [](TCanvas& c) {
         c.Polyline({{1, 1}, {59, 9}, {7, 45}, {50, 30}, {50, 2}});
       }},
      {"steep lines and shallow ones",
       [](TCanvas& c) {
         c.MoveTo(0, 0), c.LineTo(60, 46);
         c.MoveTo(3, 46), c.LineTo(9, 0);
         c.MoveTo(60, 1), c.LineTo(0, 5);
         c.MoveTo(30, 0), c.LineTo(30, 46);
         c.MoveTo(0, 23), c.LineTo(61, 23);
       }},
      {"lines from far away",
       [](TCanvas& c) {
         c.MoveTo(-2000000000, -1500000000), c.LineTo(2000000000, 1500000001);
         c.MoveTo(40, -1000000000), c.LineTo(20, 1000000000);
         c.MoveTo(-1000000, 40), c.LineTo(1000000, 10);
       }},
      {"a point", [](TCanvas& c) { c.MoveTo(7, 8), c.LineTo(7, 8); }},
      {"fill and frame",
       [](TCanvas& c) {
         c.FillRect(Rect(5, 6, 40, 30));
         c.FrameRect(Rect(10, 12, 59, 45));
         c.FrameRect(Rect(-5, -5, 70, 60));
       }},
  };
  return shapes;
}

}  // namespace

// Every shape under every setting, on 32- and 24-bit sheets, with and without an origin:
// collected in strips of one row, of a few rows and of many, against the whole box at once.
TEST(CanvasStrips, EveryStripSizeSetsThePixelsOfTheWholeBox) {
  struct At {
    TPixelFormat format;
    int ox, oy;
  };
  const At places[] = {{pf32bit, 0, 0}, {pf32bit, -13, 17}, {pf24bit, 5, -8}};
  for (const Drawing& shape : Shapes())
    for (const Drawing& setting : Settings())
      for (const At& at : places) {
        const Drawing d{shape.what, [&](TCanvas& c) {
                          setting.draw(c);
                          shape.draw(c);
                        }};
        std::string whole;
        {
          StripCells one(int64_t(1) << 40);
          whole = Drawn(d, at.format, at.ox, at.oy);
        }
        for (const int64_t cells : {int64_t(1), int64_t(150), int64_t(700)}) {
          SCOPED_TRACE(std::string(shape.what) + ", " + setting.what + ", strips of " +
                       std::to_string(cells) + " cells, origin " + std::to_string(at.ox) + "," +
                       std::to_string(at.oy) + (at.format == pf24bit ? ", 24-bit" : ""));
          StripCells strips(cells);
          EXPECT_TRUE(Drawn(d, at.format, at.ox, at.oy) == whole);
        }
      }
}

// Drawn twice with pmNot, a shape puts back what was there, however it is cut into strips: no
// pixel is touched twice by one call.
TEST(CanvasStrips, NotDrawnTwiceRestoresInStrips) {
  StripCells strips(100);
  TBitmap b;
  Sheet(b, 61, 47, pf32bit);
  const std::string before = Bytes(b);
  TCanvas& c = b.Canvas();
  c.Pen.Mode = pmNot;
  c.Pen.Width = 3;
  for (int i = 0; i < 2; ++i) {
    c.Ellipse(1, 1, 60, 46);
    c.Polygon({{2, 2}, {58, 40}, {58, 3}, {3, 44}});
  }
  EXPECT_TRUE(Bytes(b) == before);
}
