// The text operations of the canvas: line layout, wrapping and alignment over TextRender.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Classes.h"
#include "platform/TextRender.h"

namespace {

// Fills [l, r) x [t, b) with the brush, inside clip, alpha 0.
void FillCell(TCanvas& c, TRect cell, const TRect& clip) {
  if (c.Brush.Style == bsClear) return;
  TRect r;
  if (!IntersectRect(r, cell, clip)) return;
  c.FillRect(r);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Breaks one paragraph at blanks (spaces and Tabs) so that each line fits `width`; a word
// wider than the box stays whole on its own line. The blanks at a break belong to no line.
// Each line takes the most words that fit, measured as the line is drawn (shaped whole).
// Measuring the line again after every word would cost the square of a long line's length
// (a wide box of small text holds thousands of words a line), so the words' own widths
// guess the break and a few measurements of the whole line, searching out from the guess,
// find it: a line's width grows with its words.
void Wrap(const TFont& font, const std::string& para, int width, std::vector<std::string>& out) {
  const size_t n = para.size();
  std::vector<std::pair<size_t, size_t>> words;  // [start, end) of each word
  for (size_t i = 0; i < n;) {
    size_t ws = i;
    while (ws < n && IsBlank(para[ws])) ++ws;
    if (ws >= n) break;
    size_t we = ws;
    while (we < n && !IsBlank(para[we])) ++we;
    words.emplace_back(ws, we);
    i = we;
  }
  if (words.empty()) {
    out.push_back(para);
    return;
  }
  const size_t count = words.size();
  // sum[k]: the guessed width of the words before k, each with the blanks before it.
  std::vector<int64_t> sum(count + 1, 0);
  for (size_t k = 0; k < count; ++k) {
    const size_t from = k ? words[k - 1].second : 0;
    sum[k + 1] = sum[k] + MeasureText(font, para.substr(from, words[k].second - from));
  }
  for (size_t first = 0; first < count;) {
    // The first line keeps the blanks it starts with; a later one starts at its word.
    const size_t start = first ? words[first].first : 0;
    auto line = [&](size_t last) { return para.substr(start, words[last].second - start); };
    auto fits = [&](size_t last) { return MeasureText(font, line(last)) <= width; };
    // The guess: the most words whose own widths, and their blanks', fit.
    const int64_t base = sum[first];
    size_t guess = first;
    {
      size_t lo = first, hi = count;  // sum up to lo fits; hi is past the end or too wide
      while (hi - lo > 1) {
        const size_t mid = lo + (hi - lo) / 2;
        if (sum[mid + 1] - base <= width) lo = mid;
        else hi = mid;
      }
      guess = lo;
    }
    // The line's own width then settles it: lo fits (a first word always does), hi does not.
    size_t lo, hi;
    if (guess > first && !fits(guess)) {
      hi = guess;
      lo = first;
      for (size_t step = 1; hi - first > step; step *= 2) {
        if (fits(hi - step)) {
          lo = hi - step;
          break;
        }
        hi = hi - step;
      }
    } else {
      lo = guess;
      hi = count;
      for (size_t step = 1; lo + step < count; step *= 2) {
        if (!fits(lo + step)) {
          hi = lo + step;
          break;
        }
        lo = lo + step;
      }
    }
    while (hi - lo > 1) {
      const size_t mid = lo + (hi - lo) / 2;
      if (fits(mid)) lo = mid;
      else hi = mid;
    }
    out.push_back(line(lo));
    first = lo + 1;
  }
}

}  // namespace

int TCanvas::TextWidth(const std::string& text) { return MeasureText(Font, text); }

int TCanvas::TextHeight(const std::string& text) { return FontMetrics(Font).LineHeight(); }

void TCanvas::TextOut(int x, int y, const std::string& text) {
  int w = MeasureText(Font, text), h = FontMetrics(Font).LineHeight();
  const TRect all = DrawingArea(), bitmapAll(0, 0, FBitmap->Width(), FBitmap->Height());
  const int bx = x - FOrigin.X, by = y - FOrigin.Y;
  if (Font.Orientation % 3600 == 0) {
    FillCell(*this, Rect(x, y, x + w, y + h), all);
    RenderTextLine(*FBitmap, bx, by, text, Font, bitmapAll);
    PenPos = {x + w, y};
    return;
  }
  // A turned font: the cell is turned with the text about (x, y).
  const double a = Font.Orientation * M_PI / 1800.0, dx = std::cos(a), dy = -std::sin(a);
  auto at = [&](double along, double down) {
    return TPoint(int(std::lround(x + along * dx - down * dy)), int(std::lround(y + along * dy + down * dx)));
  };
  if (Brush.Style != bsClear) {
    TPen saved = Pen;
    Pen.Style = psClear;
    Polygon({at(0, 0), at(w, 0), at(w, h), at(0, h)});
    Pen = saved;
  }
  RenderTextLine(*FBitmap, bx, by, text, Font, bitmapAll);
  PenPos = at(w, 0);
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
  FillCell(*this, r, r);
  RenderTextLine(*FBitmap, x - FOrigin.X, y - FOrigin.Y, text, Font, ToBitmap(r));
}

std::vector<std::string> DrawTextLines(const TFont& font, const std::string& text, int width,
                                       uint32_t flags) {
  std::vector<std::string> lines;
  if (flags & DT_SINGLELINE) {
    std::string one;
    for (char ch : text)
      if (ch != '\r' && ch != '\n') one += ch;
    lines.push_back(one);
  } else {
    for (const std::string& para : SplitLines(text)) {
      if (flags & DT_WORDBREAK) Wrap(font, para, width, lines);
      else lines.push_back(para);
    }
  }
  return lines;
}

int TCanvas::DrawText(const std::string& text, TRect& r, uint32_t flags) {
  const std::vector<std::string> lines = DrawTextLines(Font, text, r.Right - r.Left, flags);
  int lh = FontMetrics(Font).LineHeight();
  int height = int(lines.size()) * lh;
  if (flags & DT_CALCRECT) {
    int widest = 0;
    for (auto& l : lines) widest = std::max(widest, MeasureText(Font, l));
    r.Right = r.Left + widest;
    r.Bottom = r.Top + height;
    return height;
  }
  int y = r.Top;
  if (flags & DT_SINGLELINE) {
    if (flags & DT_VCENTER) y = r.Top + (r.Bottom - r.Top - lh) / 2;
    else if (flags & DT_BOTTOM) y = r.Bottom - lh;
  }
  TRect clip = (flags & DT_NOCLIP) ? DrawingArea() : r;
  const TRect bitmapClip = ToBitmap(clip);
  for (auto& l : lines) {
    int w = MeasureText(Font, l);
    int x = r.Left;
    if (flags & DT_CENTER) x = r.Left + (r.Right - r.Left - w) / 2;
    else if (flags & DT_RIGHT) x = r.Right - w;
    FillCell(*this, Rect(x, y, x + w, y + lh), clip);
    RenderTextLine(*FBitmap, x - FOrigin.X, y - FOrigin.Y, l, Font, bitmapClip);
    y += lh;
  }
  return height;
}
