#include "platform/Canvas.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/SysUtils.h"

int TFont::MulDivFont(int a, int b, int c) { return MulDiv(a, b, c); }

namespace {
std::atomic<int64_t> gStripCells{0};
}  // namespace

int64_t CanvasStripCells() {
  const int64_t cells = gStripCells.load(std::memory_order_relaxed);
  return cells > 0 ? cells : kCanvasStripCells;
}

void SetCanvasStripCells(int64_t cells) { gStripCells.store(cells, std::memory_order_relaxed); }

// Which pixels one drawing call touches and with what: 1 brush, 2 pen. Collecting first and
// writing once keeps every pixel touched once per call, so pmNot drawn twice restores. A byte
// for each pixel of a page-sized shape's box would be a quarter of the page again, so the box
// is worked through in strips of whole rows, each collected and written before the next: the
// drawing is run once for each strip and sets what falls in it.
class TCoverage {
 public:
  // l, t, r, b and every cell are in the drawing's coordinates; the cells cover no more
  // than the bitmap.
  TCoverage(TCanvas& c, int l, int t, int r, int b) : FCanvas(c) {
    const TRect area = c.DrawingArea();
    FL = std::max(l, area.Left);
    FTop = std::max(t, area.Top);
    FR = std::min(r, area.Right);
    FBottom = std::min(b, area.Bottom);
    FT = FB = FTop;
  }
  bool Empty() const { return FR <= FL || FBottom <= FTop; }
  // Runs draw(*this) for each strip of the box in turn and writes what it set.
  template <class TDraw>
  void Draw(TColor brush, TDraw&& draw) {
    if (Empty()) return;
    const int64_t width = int64_t(FR) - FL, height = int64_t(FBottom) - FTop;
    const int64_t rows = std::clamp<int64_t>(CanvasStripCells() / width, 1, height);
    for (int64_t y = FTop; y < FBottom; y += rows) {
      FT = int(y);
      FB = int(std::min<int64_t>(FBottom, y + rows));
      FCells.assign(size_t(FB - FT) * size_t(width), 0);
      draw(*this);
      Flush(brush);
    }
    FCells = {};
  }
  // The strip being drawn.
  int L() const { return FL; }
  int T() const { return FT; }
  int R() const { return FR; }
  int B() const { return FB; }
  void Set(int x, int y, uint8_t v) {
    if (x < FL || y < FT || x >= FR || y >= FB) return;
    uint8_t& c = FCells[size_t(y - FT) * size_t(FR - FL) + size_t(x - FL)];
    if (v > c) c = v;
  }
  void Span(int x0, int x1, int y, uint8_t v) {  // [x0, x1)
    if (y < FT || y >= FB) return;
    x0 = std::max(x0, FL);
    x1 = std::min(x1, FR);
    for (int x = x0; x < x1; ++x) Set(x, y, v);
  }
  // Sets [x0, x1) of row y to v, over whatever was there.
  void Fill(int64_t x0, int64_t x1, int y, uint8_t v) {
    if (y < FT || y >= FB) return;
    x0 = std::max<int64_t>(x0, FL);
    x1 = std::min<int64_t>(x1, FR);
    if (x1 > x0) std::memset(&FCells[size_t(y - FT) * size_t(FR - FL) + size_t(x0 - FL)], v, size_t(x1 - x0));
  }
  // Row `to` becomes a copy of row `from`.
  void CopyRow(int from, int to) {
    if (from < FT || from >= FB || to < FT || to >= FB) return;
    const size_t w = size_t(FR - FL);
    std::memcpy(&FCells[size_t(to - FT) * w], &FCells[size_t(from - FT) * w], w);
  }
  void Flush(TColor brush) {
    if (FCells.empty()) return;
    TPenMode mode = FCanvas.Pen.Mode;
    if (mode == pmNop) return;
    TBitmap& bmp = *FCanvas.FBitmap;
    uint32_t pen = Bgr(FCanvas.Pen.Color), br = Bgr(brush);
    // Cells in the drawing's coordinates, pixels in the bitmap's: bx = x - ox, by = y - oy.
    const int ox = FCanvas.FOrigin.X, oy = FCanvas.FOrigin.Y;
    const int bl = FL - ox, br_ = FR - ox;
    for (int y = FT; y < FB; ++y) {
      const int by = y - oy;
      const uint8_t* cells = &FCells[size_t(y - FT) * size_t(FR - FL)];
      uint8_t* row = bmp.PixelFormat() == pf32bit ? bmp.ScanLine(by) : nullptr;
      if (row && mode == pmCopy) {  // the common case, without the raster operation per pixel
        const uint32_t values[3] = {0, br & 0xFFFFFF, pen & 0xFFFFFF};
        for (int x = bl; x < br_; ++x)
          if (const uint8_t c = cells[x - bl]) std::memcpy(row + 4 * x, &values[c], 4);
        continue;
      }
      for (int x = bl; x < br_; ++x) {
        uint8_t c = cells[x - bl];
        if (!c) continue;
        uint32_t p = c == 2 ? pen : br;
        if (row) {
          uint32_t d;
          std::memcpy(&d, row + 4 * x, 4);
          uint32_t v = Rop2(mode, p, d & 0xFFFFFF) & 0xFFFFFF;
          std::memcpy(row + 4 * x, &v, 4);
        } else {
          uint32_t d = Bgr(bmp.GetPixelColor(x, by));
          uint32_t v = Rop2(mode, p, d);
          bmp.SetPixelColor(x, by, RGB(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)));
        }
      }
    }
  }
  static uint32_t Bgr(TColor c) {
    c = ColorToRGB(c);
    return uint32_t(GetBValue(c)) | uint32_t(GetGValue(c)) << 8 | uint32_t(GetRValue(c)) << 16;
  }
  static uint32_t Rop2(TPenMode m, uint32_t P, uint32_t D) {
    const uint32_t M = 0xFFFFFF;
    switch (m) {
      case pmBlack: return 0;
      case pmWhite: return M;
      case pmNop: return D;
      case pmNot: return ~D & M;
      case pmCopy: return P;
      case pmNotCopy: return ~P & M;
      case pmMergePenNot: return (P | ~D) & M;
      case pmMaskPenNot: return P & ~D & M;
      case pmMergeNotPen: return (~P | D) & M;
      case pmMaskNotPen: return ~P & D & M;
      case pmMerge: return P | D;
      case pmNotMerge: return ~(P | D) & M;
      case pmMask: return P & D;
      case pmNotMask: return ~(P & D) & M;
      case pmXor: return P ^ D;
      case pmNotXor: return ~(P ^ D) & M;
    }
    return P;
  }

 private:
  TCanvas& FCanvas;
  int FL, FR, FTop, FBottom;  // the box
  int FT, FB;                 // the strip's rows
  std::vector<uint8_t> FCells;
};

namespace {

bool PenVisible(const TPen& p) { return p.Style != psClear; }

// Dash patterns of cosmetic pens, in pixels on and off.
const std::vector<int>& DashPattern(TPenStyle s) {
  static const std::vector<int> solid{}, dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6},
      dashDotDot{9, 3, 3, 3, 3, 3};
  switch (s) {
    case psDash: return dash;
    case psDot: return dot;
    case psDashDot: return dashDot;
    case psDashDotDot: return dashDotDot;
    default: return solid;
  }
}

// A one-pixel line from p0 to p1 without p1. `phase` carries the dash position.
void ThinLine(TCoverage& cov, TPoint p0, TPoint p1, TPenStyle style, int& phase) {
  const std::vector<int>& pat = DashPattern(style);
  int period = 0;
  for (int v : pat) period += v;
  auto on = [&](int64_t n) {
    if (!period) return true;
    n %= period;
    for (size_t i = 0; i < pat.size(); ++i) {
      if (n < pat[i]) return i % 2 == 0;
      n -= pat[i];
    }
    return true;
  };
  int64_t dx = std::abs(int64_t(p1.X) - p0.X), dy = std::abs(int64_t(p1.Y) - p0.Y);
  int sx = p1.X >= p0.X ? 1 : -1, sy = p1.Y >= p0.Y ? 1 : -1;
  bool xMajor = dx >= dy;
  int64_t steps = xMajor ? dx : dy, minorLen = xMajor ? dy : dx;
  // Only the steps whose major coordinate lies inside the coverage are walked, so a line
  // with far-away end points costs no more than one across the bitmap.
  int64_t major0 = xMajor ? p0.X : p0.Y, dir = xMajor ? sx : sy;
  int64_t lo = (xMajor ? cov.L() : cov.T()) - 1, hi = (xMajor ? cov.R() : cov.B()) + 1;
  int64_t first = 0, last = steps;  // [first, last)
  if (dir > 0) {
    first = std::max<int64_t>(first, lo - major0);
    last = std::min<int64_t>(last, hi - major0);
  } else {
    first = std::max<int64_t>(first, major0 - hi);
    last = std::min<int64_t>(last, major0 - lo);
  }
  // And only those whose minor coordinate lies inside it too: the strips of a large shape's
  // coverage each walk their own part of a line. The minor offset of step i is
  // floor((2 i minorLen + steps) / (2 steps)), which only grows with i.
  const int64_t minor0 = xMajor ? p0.Y : p0.X, minorDir = xMajor ? sy : sx;
  const int64_t minorLo = xMajor ? cov.T() : cov.L(), minorHi = (xMajor ? cov.B() : cov.R()) - 1;
  // The offsets that land in [minorLo, minorHi].
  const int64_t offLo = minorDir > 0 ? minorLo - minor0 : minor0 - minorHi;
  const int64_t offHi = minorDir > 0 ? minorHi - minor0 : minor0 - minorLo;
  if (minorLen == 0) {
    if (offLo > 0 || offHi < 0) first = last;
  } else if (steps > 0) {
    auto ceilDiv = [](__int128 a, __int128 b) {  // b > 0
      return a >= 0 ? (a + b - 1) / b : -((-a) / b);
    };
    const __int128 s2 = __int128(2) * steps, l2 = __int128(2) * minorLen;
    // offset(i) >= offLo  <=>  i >= ceil((2 steps offLo - steps) / (2 minorLen)), and
    // offset(i) <= offHi  <=>  i <  ceil((2 steps (offHi + 1) - steps) / (2 minorLen)).
    const __int128 from = ceilDiv(s2 * offLo - steps, l2),
                   to = ceilDiv(s2 * (__int128(offHi) + 1) - steps, l2);
    first = int64_t(std::max<__int128>(first, from));
    last = int64_t(std::min<__int128>(last, to));
  }
  // A line between points far outside the int range's middle overflows 64 bits in the
  // rounding below; only such a line pays for 128.
  const bool wide = steps && __int128(2) * last * minorLen + steps > INT64_MAX;
  for (int64_t i = first; i < last; ++i) {
    // The minor coordinate rounds to the nearest pixel, halves away from the start.
    const int64_t m = !steps ? 0
                      : wide ? int64_t((__int128(2) * i * minorLen + steps) / (__int128(2) * steps))
                             : (2 * i * minorLen + steps) / (2 * steps);
    int64_t x = xMajor ? p0.X + sx * i : p0.X + sx * m;
    int64_t y = xMajor ? p0.Y + sy * m : p0.Y + sy * i;
    if (on(phase + i) && x >= INT32_MIN && x <= INT32_MAX && y >= INT32_MIN && y <= INT32_MAX)
      cov.Set(int(x), int(y), 2);
  }
  phase += int(steps % 1000000);
}

// A wide line: every pixel whose centre lies within half the width of the segment. The
// path runs through pixel centres for odd widths and between pixels for even ones.
void WideLine(TCoverage& cov, TPoint p0, TPoint p1, int w) {
  double off = (w % 2) ? 0.5 : 0.0;
  double ax = p0.X + off, ay = p0.Y + off, bx = p1.X + off, by = p1.Y + off;
  double r = w / 2.0, r2 = r * r;
  int x0 = int(std::floor(std::min(ax, bx) - r)) - 1, x1 = int(std::ceil(std::max(ax, bx) + r)) + 1;
  int y0 = int(std::floor(std::min(ay, by) - r)) - 1, y1 = int(std::ceil(std::max(ay, by) + r)) + 1;
  x0 = std::max(x0, cov.L());
  x1 = std::min(x1, cov.R());
  y0 = std::max(y0, cov.T());
  y1 = std::min(y1, cov.B());
  double vx = bx - ax, vy = by - ay, len2 = vx * vx + vy * vy;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      double px = x + 0.5 - ax, py = y + 0.5 - ay;
      double t = len2 > 0 ? std::clamp((px * vx + py * vy) / len2, 0.0, 1.0) : 0.0;
      double ex = px - t * vx, ey = py - t * vy;
      if (ex * ex + ey * ey < r2 - 1e-9) cov.Set(x, y, 2);
    }
}

// A rectangle with corners rounded by radii rx, ry, grown by e (shrunk when e < 0).
struct RoundBox {
  double L, T, R, B, rx, ry;
  bool Inside(double px, double py, double e) const {
    double ex = rx + e, ey = ry + e;
    if (ex <= 0 || ey <= 0 || rx <= 0 || ry <= 0) {
      if (rx > 0 && ry > 0 && (ex <= 0 || ey <= 0)) {
        // Shrunk past the corner radius: the straight edges meet in a sharp corner.
      } else if (rx <= 0 || ry <= 0) {
        if (e > 0) {  // round joins of a wide pen on a sharp corner
          double qx = std::clamp(px, L, R), qy = std::clamp(py, T, B);
          double dx = px - qx, dy = py - qy;
          return dx * dx + dy * dy <= e * e + 1e-9;
        }
      }
      return px >= L - e && px <= R + e && py >= T - e && py <= B + e;
    }
    double qx = std::clamp(px, L + rx, R - rx), qy = std::clamp(py, T + ry, B - ry);
    double dx = (px - qx) / ex, dy = (py - qy) / ey;
    return dx * dx + dy * dy <= 1.0 + 1e-9;
  }
};

void Normalise(int& l, int& t, int& r, int& b) {
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
}

}  // namespace

void TCanvas::LineTo(int x, int y) {
  TPoint p0 = PenPos, p1{x, y};
  PenPos = p1;
  if (!PenVisible(Pen)) return;
  int w = std::max(Pen.Width, 1);
  int m = w + 2;
  TCoverage cov(*this, std::min(p0.X, p1.X) - m, std::min(p0.Y, p1.Y) - m, std::max(p0.X, p1.X) + m,
                std::max(p0.Y, p1.Y) + m);
  cov.Draw(Brush.Color(), [&](TCoverage& strip) {
    int phase = 0;
    if (w == 1) ThinLine(strip, p0, p1, Pen.Style, phase);
    else WideLine(strip, p0, p1, w);
  });
}

void TCanvas::Polyline(const std::vector<TPoint>& pts) {
  if (pts.empty()) return;
  if (!PenVisible(Pen) || pts.size() < 2) {
    PenPos = pts.back();
    return;
  }
  int w = std::max(Pen.Width, 1), m = w + 2;
  int l = INT32_MAX, t = INT32_MAX, r = INT32_MIN, b = INT32_MIN;
  for (auto& p : pts) {
    l = std::min(l, p.X);
    t = std::min(t, p.Y);
    r = std::max(r, p.X);
    b = std::max(b, p.Y);
  }
  TCoverage cov(*this, l - m, t - m, r + m, b + m);
  cov.Draw(Brush.Color(), [&](TCoverage& strip) {
    int phase = 0;
    for (size_t i = 1; i < pts.size(); ++i) {
      if (w == 1) ThinLine(strip, pts[i - 1], pts[i], Pen.Style, phase);
      else WideLine(strip, pts[i - 1], pts[i], w);
    }
  });
  PenPos = pts.back();
}

// Shapes in a box: brush inside, pen outline on the box's edge pixels (width 1) or centred
// on them (wider). A clear pen leaves the right and bottom edge pixels out.
// The coverage is fresh (nothing set yet).
static void DrawShape(TCanvas& c, TCoverage& cov, int l, int t, int r, int b, double rx, double ry) {
  bool pen = c.Pen.Style != psClear;
  bool brush = c.Brush.Style != bsClear;
  int w = std::max(c.Pen.Width, 1);
  if (!pen) {
    --r;
    --b;
    rx = std::min(rx, (r - l) / 2.0);
    ry = std::min(ry, (b - t) / 2.0);
  }
  if (pen && c.Pen.Style == psInsideFrame && w > 1) {
    // The path moves inwards so that the centred pen reaches exactly the box's edges.
    l += w / 2;
    t += w / 2;
    r -= (w - 1) / 2;
    b -= (w - 1) / 2;
  }
  if (r <= l || b <= t) return;
  rx = std::clamp(rx, 0.0, (r - l) / 2.0);
  ry = std::clamp(ry, 0.0, (b - t) / 2.0);
  RoundBox box{double(l), double(t), double(r), double(b), rx, ry};
  int m = w + 1;
  // Rows whose pixel centres (and those of the rows beside them) lie between the rounded
  // corners and clear of the pen's reach at the top and bottom are all alike: the first of
  // them is worked out and copied, so a tall shape costs its rows, not its pixels.
  const double bandTop = t + ry + w + 3, bandBottom = b - ry - w - 3;
  int bandRow = INT32_MIN;
  for (int y = std::max(t - m, cov.T()); y < std::min(b + m, cov.B()); ++y) {
    if (y - 0.5 >= bandTop && y + 1.5 <= bandBottom) {
      if (bandRow != INT32_MIN) {
        cov.CopyRow(bandRow, y);
        continue;
      }
      bandRow = y;
    }
    // The shapes are convex and symmetric about the box's middle column: along a row the
    // pixels inside form one run around it, found by bisection at both ends, and the pen is
    // what lies inside one run and outside another.
    auto run = [&](int yy, double e) -> std::pair<int64_t, int64_t> {
      auto inside = [&](int64_t x) { return box.Inside(double(x) + 0.5, yy + 0.5, e); };
      int64_t mid = int64_t(std::floor((double(l) + double(r)) / 2.0));
      if (!inside(mid)) {
        if (inside(mid - 1)) --mid;
        else if (inside(mid + 1)) ++mid;
        else return {0, 0};
      }
      int64_t lo = int64_t(l) - m - 1, hi = mid;  // inside(hi), not inside(lo)
      while (hi - lo > 1) {
        const int64_t x = lo + (hi - lo) / 2;
        (inside(x) ? hi : lo) = x;
      }
      const int64_t first = hi;
      lo = mid, hi = int64_t(r) + m + 1;  // inside(lo), not inside(hi)
      while (hi - lo > 1) {
        const int64_t x = lo + (hi - lo) / 2;
        (inside(x) ? lo : hi) = x;
      }
      return {first, hi};
    };
    auto meet = [](std::pair<int64_t, int64_t> a, std::pair<int64_t, int64_t> b) {
      return std::pair{std::max(a.first, b.first),
                       std::max(std::max(a.first, b.first), std::min(a.second, b.second))};
    };
    const auto in = run(y, -1e-7);
    // The inner run: brush; the rest of the pen's run: pen.
    std::pair<int64_t, int64_t> inner = in, outer = in;
    if (pen) {
      if (w == 1) {
        inner = meet(meet({in.first + 1, std::max(in.first + 1, in.second - 1)}, run(y - 1, -1e-7)),
                     run(y + 1, -1e-7));
      } else {
        const double eo = (w - 1) / 2.0, ei = -(w + 1) / 2.0;
        outer = run(y, eo);
        inner = meet(in, run(y, ei + 1e-7));
      }
      if (inner.second <= inner.first) inner = {outer.first, outer.first};
      cov.Fill(outer.first, inner.first, y, 2);
      cov.Fill(inner.second, outer.second, y, 2);
    }
    if (brush) cov.Fill(inner.first, inner.second, y, 1);
  }
}

void TCanvas::Rectangle(int l, int t, int r, int b) {
  Normalise(l, t, r, b);
  int m = Pen.Width + 2;
  TCoverage cov(*this, l - m, t - m, r + m, b + m);
  if (Pen.Width <= 1 && !DashPattern(Pen.Style).empty() && r - l > 1 && b - t > 1) {
    // A styled cosmetic pen dashes the outline along the edge pixels, the dashes running on
    // around the corners; the gaps keep what was there.
    cov.Draw(Brush.Color(), [&](TCoverage& strip) {
      if (Brush.Style != bsClear)
        for (int y = std::max(t + 1, strip.T()); y < std::min(b - 1, strip.B()); ++y)
          strip.Fill(std::max(l + 1, strip.L()), r - 1, y, 1);
      int phase = 0;
      const TPoint path[] = {{l, t}, {r - 1, t}, {r - 1, b - 1}, {l, b - 1}, {l, t}};
      for (int i = 1; i < 5; ++i) ThinLine(strip, path[i - 1], path[i], Pen.Style, phase);
    });
  } else {
    cov.Draw(Brush.Color(), [&](TCoverage& strip) { DrawShape(*this, strip, l, t, r, b, 0, 0); });
  }
}

void TCanvas::RoundRect(int l, int t, int r, int b, int cw, int ch) {
  Normalise(l, t, r, b);
  int m = Pen.Width + 2;
  TCoverage cov(*this, l - m, t - m, r + m, b + m);
  cov.Draw(Brush.Color(), [&](TCoverage& strip) {
    DrawShape(*this, strip, l, t, r, b, std::abs(cw) / 2.0, std::abs(ch) / 2.0);
  });
}

void TCanvas::Ellipse(int l, int t, int r, int b) {
  Normalise(l, t, r, b);
  int m = Pen.Width + 2;
  TCoverage cov(*this, l - m, t - m, r + m, b + m);
  // The radii clamp to half the box.
  cov.Draw(Brush.Color(), [&](TCoverage& strip) { DrawShape(*this, strip, l, t, r, b, 1e9, 1e9); });
}

void TCanvas::FillRect(const TRect& rc) {
  if (Brush.Style == bsClear) return;
  if (FBitmap->PixelFormat() == pf32bit) {
    // A fill is a pattern copy: each row of the rectangle within the bitmap gets the brush's
    // colour at alpha 0, written straight (the same pixels the coverage would write).
    const TRect area = DrawingArea();
    const int l = std::max(rc.Left, area.Left), t = std::max(rc.Top, area.Top);
    const int r = std::min(rc.Right, area.Right), b = std::min(rc.Bottom, area.Bottom);
    if (r <= l || b <= t) return;
    const uint32_t v = TCoverage::Bgr(Brush.Color()) & 0xFFFFFF;
    for (int y = t; y < b; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(FBitmap->ScanLine(y - FOrigin.Y));
      std::fill(row + (l - FOrigin.X), row + (r - FOrigin.X), v);
    }
    return;
  }
  TCoverage cov(*this, rc.Left, rc.Top, rc.Right, rc.Bottom);
  if (cov.Empty()) return;
  TPenMode keep = Pen.Mode;
  Pen.Mode = pmCopy;  // a fill is a pattern copy, whatever the pen's mode
  cov.Draw(Brush.Color(), [&](TCoverage& strip) {
    for (int y = strip.T(); y < strip.B(); ++y) strip.Fill(strip.L(), strip.R(), y, 1);
  });
  Pen.Mode = keep;
}

void TCanvas::FrameRect(const TRect& rc) {
  if (Brush.Style == bsClear || rc.Right <= rc.Left || rc.Bottom <= rc.Top) return;
  TCoverage cov(*this, rc.Left, rc.Top, rc.Right, rc.Bottom);
  if (cov.Empty()) return;
  TPenMode keep = Pen.Mode;
  Pen.Mode = pmCopy;
  cov.Draw(Brush.Color(), [&](TCoverage& strip) {
    strip.Fill(rc.Left, rc.Right, rc.Top, 1);
    strip.Fill(rc.Left, rc.Right, rc.Bottom - 1, 1);
    for (int y = strip.T(); y < strip.B(); ++y) {
      strip.Set(rc.Left, y, 1);
      strip.Set(rc.Right - 1, y, 1);
    }
  });
  Pen.Mode = keep;
}

void TCanvas::Polygon(const std::vector<TPoint>& pts) {
  if (pts.size() < 2) return;
  int w = std::max(Pen.Width, 1), m = w + 2;
  int l = INT32_MAX, t = INT32_MAX, r = INT32_MIN, b = INT32_MIN;
  for (auto& p : pts) {
    l = std::min(l, p.X);
    t = std::min(t, p.Y);
    r = std::max(r, p.X);
    b = std::max(b, p.Y);
  }
  TCoverage cov(*this, l - m, t - m, r + m, b + m);
  cov.Draw(Brush.Color(), [&](TCoverage& strip) {
    if (Brush.Style != bsClear) {
      // Alternate rule, sampled at pixel centres.
      std::vector<double> xs;
      for (int y = std::max(t, strip.T()); y < std::min(b, strip.B()); ++y) {
        double yc = y + 0.5;
        xs.clear();
        for (size_t i = 0; i < pts.size(); ++i) {
          TPoint a = pts[i], c = pts[(i + 1) % pts.size()];
          if (a.Y == c.Y) continue;
          double y0 = std::min(a.Y, c.Y), y1 = std::max(a.Y, c.Y);
          if (yc < y0 || yc >= y1) continue;
          xs.push_back(a.X + (yc - a.Y) * double(c.X - a.X) / double(c.Y - a.Y));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
          // Centres strictly inside; a centre on an edge belongs to neither side.
          int x0 = int(std::floor(xs[i] - 0.5)) + 1, x1 = int(std::ceil(xs[i + 1] - 0.5));
          strip.Fill(x0, x1, y, 1);
        }
      }
    }
    if (PenVisible(Pen)) {
      int phase = 0;
      for (size_t i = 0; i < pts.size(); ++i) {
        TPoint a = pts[i], c = pts[(i + 1) % pts.size()];
        if (w == 1) ThinLine(strip, a, c, Pen.Style, phase);
        else WideLine(strip, a, c, w);
      }
    }
  });
}

TRect TCanvas::DrawingArea() const {
  auto at = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  return TRect(FOrigin.X, FOrigin.Y, at(int64_t(FOrigin.X) + FBitmap->Width()),
               at(int64_t(FOrigin.Y) + FBitmap->Height()));
}

TRect TCanvas::ToBitmap(const TRect& r) const {
  auto at = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  return TRect(at(int64_t(r.Left) - FOrigin.X), at(int64_t(r.Top) - FOrigin.Y),
               at(int64_t(r.Right) - FOrigin.X), at(int64_t(r.Bottom) - FOrigin.Y));
}

TColor TCanvas::Pixels(int x, int y) const {
  const int64_t bx = int64_t(x) - FOrigin.X, by = int64_t(y) - FOrigin.Y;
  if (bx < 0 || by < 0 || bx >= FBitmap->Width() || by >= FBitmap->Height()) return clNone;
  return FBitmap->GetPixelColor(int(bx), int(by));
}

void TCanvas::SetPixels(int x, int y, TColor c) {
  const int64_t bx = int64_t(x) - FOrigin.X, by = int64_t(y) - FOrigin.Y;
  if (bx < 0 || by < 0 || bx >= FBitmap->Width() || by >= FBitmap->Height()) return;
  FBitmap->SetPixelColor(int(bx), int(by), c);
}

namespace {

// Maps destination column i of n onto a source column of m (nearest sample, centred). In 128
// bits: a rectangle as wide as the int range on both sides would overflow 64.
inline int64_t MapIndex(int64_t i, int64_t n, int64_t m) {
  return int64_t(((__int128(2) * i + 1) * m) / (__int128(2) * n));
}

uint32_t CopyOp(TCopyMode mode, uint32_t S, uint32_t D) {
  const uint32_t M = 0xFFFFFF;
  switch (mode) {
    case cmSrcPaint: return (S | D) & M;
    case cmSrcAnd: return S & D & M;
    case cmSrcInvert: return (S ^ D) & M;
    case cmNotSrcCopy: return ~S & M;
    case cmBlackness: return 0;
    case cmWhiteness: return M;
    case cmDstInvert: return ~D & M;
    default: return S & M;
  }
}

// The copy behind CopyRect and StretchDraw. A plain copy between 32-bit bitmaps keeps the
// source's fourth byte; with a key colour the matching source pixels are left out. It goes
// by rows: each row's source row and destination row are found once, and the source column
// of every destination column once for the whole copy.
void StretchCopy(TBitmap& dst, const TRect& d, const TBitmap& srcIn, const TRect& s, TCopyMode mode,
                 bool keyed, TColor key) {
  int64_t dw = int64_t(d.Right) - d.Left, dh = int64_t(d.Bottom) - d.Top;
  int64_t sw = int64_t(s.Right) - s.Left, sh = int64_t(s.Bottom) - s.Top;
  if (!dw || !dh || !sw || !sh) return;
  bool flipX = (dw < 0) != (sw < 0), flipY = (dh < 0) != (sh < 0);
  int64_t dl = std::min<int64_t>(d.Left, d.Right), dt = std::min<int64_t>(d.Top, d.Bottom);
  int64_t sl = std::min<int64_t>(s.Left, s.Right), st = std::min<int64_t>(s.Top, s.Bottom);
  dw = std::abs(dw);
  dh = std::abs(dh);
  sw = std::abs(sw);
  sh = std::abs(sh);
  int64_t x0 = std::max<int64_t>(dl, 0), x1 = std::min<int64_t>(dl + dw, dst.Width());
  int64_t y0 = std::max<int64_t>(dt, 0), y1 = std::min<int64_t>(dt + dh, dst.Height());
  if (x0 >= x1 || y0 >= y1) return;
  // A copy within one bitmap reads from a snapshot so overlapping areas come out right.
  std::unique_ptr<TBitmap> snap;
  const TBitmap* src = &srcIn;
  if (&srcIn == &dst) {
    snap = std::make_unique<TBitmap>();
    snap->Assign(&srcIn);
    src = snap.get();
  }
  // The source column of each destination column, -1 where it falls outside the source.
  // The mapping only grows (or only shrinks, mirrored), so the columns that land form one run.
  std::vector<int32_t> cols(size_t(x1 - x0));
  int64_t first = x1, last = x0;  // the run of columns that land: [first, last)
  for (int64_t x = x0; x < x1; ++x) {
    const int64_t kx = MapIndex(x - dl, dw, sw);
    const int64_t sx = sl + (flipX ? sw - 1 - kx : kx);
    const bool lands = sx >= 0 && sx < src->Width();
    cols[size_t(x - x0)] = lands ? int32_t(sx) : -1;
    if (lands) first = std::min(first, x), last = x + 1;
  }
  if (first >= last) return;
  const bool fast = dst.PixelFormat() == pf32bit && src->PixelFormat() == pf32bit;
  // One source pixel to each destination pixel, left to right: a plain copy is one block.
  const bool block = fast && mode == cmSrcCopy && !keyed && !flipX && dw == sw;
  uint32_t keyBgr = 0;
  if (keyed) {
    TColor k = ColorToRGB(key);
    keyBgr = uint32_t(GetBValue(k)) | uint32_t(GetGValue(k)) << 8 | uint32_t(GetRValue(k)) << 16;
  }
  for (int64_t y = y0; y < y1; ++y) {
    int64_t k = MapIndex(y - dt, dh, sh);
    int64_t sy = st + (flipY ? sh - 1 - k : k);
    if (sy < 0 || sy >= src->Height()) continue;
    if (block) {
      std::memcpy(dst.ScanLine(int(y)) + 4 * first,
                  src->ScanLine(int(sy)) + 4 * int64_t(cols[size_t(first - x0)]), size_t(4 * (last - first)));
    } else if (fast) {
      const uint8_t* srow = src->ScanLine(int(sy));
      uint8_t* drow = dst.ScanLine(int(y));
      for (int64_t x = first; x < last; ++x) {
        const int32_t sx = cols[size_t(x - x0)];
        if (sx < 0) continue;
        uint32_t sv, dv;
        std::memcpy(&sv, srow + 4 * int64_t(sx), 4);
        if (keyed && (sv & 0xFFFFFF) == keyBgr) continue;
        uint8_t* dp = drow + 4 * x;
        if (mode != cmSrcCopy) {
          std::memcpy(&dv, dp, 4);
          sv = CopyOp(mode, sv, dv);
        }
        std::memcpy(dp, &sv, 4);
      }
    } else {
      for (int64_t x = first; x < last; ++x) {
        const int32_t sx = cols[size_t(x - x0)];
        if (sx < 0) continue;
        TColor sc = src->GetPixelColor(sx, int(sy));
        uint32_t sv = TCoverage::Bgr(sc);
        if (keyed && sv == keyBgr) continue;
        if (mode != cmSrcCopy) sv = CopyOp(mode, sv, TCoverage::Bgr(dst.GetPixelColor(int(x), int(y))));
        dst.SetPixelColor(int(x), int(y), RGB(uint8_t(sv >> 16), uint8_t(sv >> 8), uint8_t(sv)));
      }
    }
  }
}

}  // namespace

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& src) {
  StretchCopy(*FBitmap, ToBitmap(dest), *source.FBitmap, source.ToBitmap(src), CopyMode, false, 0);
}

void TCanvas::StretchDrawKeyed(const TRect& dest, const TBitmap& src, const TRect& srcRect, TColor key) {
  StretchCopy(*FBitmap, ToBitmap(dest), src, srcRect, CopyMode, key != clNone, key);
}

TColor TCanvas::GetNearestColor(TColor c) const {
  TPixelFormat f = FBitmap->PixelFormat();
  if ((f == pf1bit || f == pf4bit || f == pf8bit) && !FBitmap->Palette().empty()) {
    const TRGBQuad& q = FBitmap->Palette()[size_t(FBitmap->NearestPaletteIndex(c))];
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
  }
  return ColorToRGB(c) & 0xFFFFFF;
}

void TCanvas::Draw(int x, int y, const TGraphic* g) {
  if (!g || g->Empty()) return;
  StretchDraw(Rect(x, y, x + g->Width(), y + g->Height()), g);
}

void TCanvas::StretchDraw(const TRect& r, const TGraphic* g) {
  if (!g || g->Empty()) return;
  if (auto* b = dynamic_cast<const TBitmap*>(g)) {
    StretchCopy(*FBitmap, ToBitmap(r), *b, Rect(0, 0, b->Width(), b->Height()), CopyMode, b->Transparent(),
                b->TransparentColor());
    return;
  }
  // The picture classes draw in the bitmap's coordinates.
  const TRect at = ToBitmap(r);
  TCanvasOrigin none(*this, 0, 0);
  g->Draw(*this, at);
}
