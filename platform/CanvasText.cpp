// The text operations of the canvas: line layout, wrapping and alignment over TextRender.
#include <algorithm>
#include <cmath>

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
void Wrap(const TFont& font, const std::string& para, int width, std::vector<std::string>& out) {
  size_t n = para.size();
  size_t lineStart = 0;
  size_t lineEnd = 0;  // end of the last word that fits
  bool hasWord = false;
  size_t i = 0;
  while (i < n) {
    size_t ws = i;
    while (ws < n && IsBlank(para[ws])) ++ws;
    if (ws >= n) break;
    size_t we = ws;
    while (we < n && !IsBlank(para[we])) ++we;
    if (!hasWord) {
      lineEnd = we;
      hasWord = true;
    } else if (MeasureText(font, para.substr(lineStart, we - lineStart)) <= width) {
      lineEnd = we;
    } else {
      out.push_back(para.substr(lineStart, lineEnd - lineStart));
      lineStart = ws;
      lineEnd = we;
    }
    i = we;
  }
  out.push_back(para.substr(lineStart, (hasWord ? lineEnd : n) - lineStart));
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
