#include "engine/XDraw.h"

#include <cmath>
#include <vector>

namespace {

TTextMacroExpander& Expander() {
  static TTextMacroExpander expander;
  return expander;
}

constexpr double kDegree = M_PI / 180.0;

}  // namespace

void SetTextMacroExpander(TTextMacroExpander expander) { Expander() = std::move(expander); }

std::string ExpandCaptionMacros(const std::string& text) { return Expander() ? Expander()(text) : text; }

void DrawStar(TCanvas& canvas, const TRect& rect, double innerFactor, double outerFactor, int vertexCount) {
  if (vertexCount < 3) return;
  double halfW = (rect.Right - rect.Left) * 0.5;
  double halfH = (rect.Bottom - rect.Top) * 0.5;
  int cx = int(std::trunc(rect.Left + halfW));
  int cy = int(std::trunc(rect.Top + halfH));
  double step = 360.0 / vertexCount;
  double angle = 0;
  std::vector<TPoint> points;
  points.reserve(size_t(vertexCount));
  for (int i = 0; i < vertexCount; ++i) {
    double t = (i % 2) ? innerFactor : outerFactor;
    double a = angle * kDegree;
    points.push_back(
        {cx + int(std::floor(t * std::sin(a) * halfW)), cy + int(std::floor(std::cos(a) * halfH * t))});
    angle += step;
  }
  canvas.Polygon(points);
}

void DrawConicalGradient(TCanvas& canvas, int startAngle, int endAngle, int left, int top, int right,
                         int bottom, TColor color1, TColor color2, int inset) {
  if (endAngle <= startAngle) return;
  int32_t r = (color1 & 0xFF) << 16, g = ((color1 >> 8) & 0xFF) << 16, b = ((color1 >> 16) & 0xFF) << 16;
  int32_t span = endAngle - startAngle;
  int32_t dr = (((color2 & 0xFF) << 16) - r) / span;
  int32_t dg = ((((color2 >> 8) & 0xFF) << 16) - g) / span;
  int32_t db = ((((color2 >> 16) & 0xFF) << 16) - b) / span;
  int halfW = (right - left) >> 1, halfH = (bottom - top) >> 1;
  int cx = int(std::trunc(left + halfW + 0.5)), cy = int(std::trunc(top + halfH + 0.5));
  float s0 = float(std::sin(startAngle * kDegree)), c0 = float(-std::cos(startAngle * kDegree));
  auto outer = [&](float s, float c) {
    return TPoint{int(std::trunc(halfW * s + cx)), int(std::trunc(halfH * c + cy))};
  };
  auto inner = [&](float s, float c) {
    return TPoint{int(std::trunc((halfW - inset) * s + cx)), int(std::trunc((halfH - inset) * c + cy))};
  };
  canvas.Pen.Width = 1;
  for (int a = startAngle + 1; a <= endAngle; ++a) {
    float s1 = float(std::sin(a * kDegree)), c1 = float(-std::cos(a * kDegree));
    TColor colour = TColor((r >> 16) | ((g >> 16) << 8) | ((b >> 16) << 16));
    r += dr;
    g += dg;
    b += db;
    canvas.Pen.Color = colour;
    canvas.Brush.SetColor(colour);
    canvas.Polygon({inner(s0, c0), outer(s0, c0), outer(s1, c1), inner(s1, c1)});
    s0 = s1;
    c0 = c1;
  }
}

void DrawShadedRing(TCanvas& canvas, int left, int top, int right, int bottom, TColor colorA, TColor colorB,
                    TColor colorC, TColor colorD, int inset) {
  DrawConicalGradient(canvas, -45, 45, left, top, right, bottom, colorA, colorB, inset);
  DrawConicalGradient(canvas, 45, 135, left, top, right, bottom, colorB, colorC, inset);
  DrawConicalGradient(canvas, 135, 225, left, top, right, bottom, colorC, colorD, inset);
  DrawConicalGradient(canvas, 225, 315, left, top, right, bottom, colorD, colorA, inset);
}

bool DrawButtonText(TCanvas& canvas, const std::string& text, int alignment, int left, int top, int right,
                    int bottom, TColor color) {
  std::string expanded = ExpandCaptionMacros(text);
  uint32_t format = DT_WORDBREAK | DT_NOPREFIX;
  if (alignment == 1) format |= DT_RIGHT;
  if (alignment == 2) format |= DT_CENTER;
  TRect measure{left, top, right, bottom};
  int h = canvas.DrawText(expanded, measure, format | DT_CALCRECT);
  bool filled = (bottom - top) <= h;
  canvas.Brush.Style = bsClear;
  canvas.Font.Color = color;
  int d = (h - (bottom - top)) / 2;
  TRect box{left, top - d, right, bottom};
  canvas.DrawText(expanded, box, format);
  canvas.Brush.Style = bsSolid;
  return filled;
}

void DrawListItemCaption(TCanvas& canvas, const std::string& text, const TRect& rect, TOwnerDrawState state) {
  static const TColor blue[14] = {0x501010, 0,        0x602020, 0,        0x703030, 0,        0x804040,
                                  0,        0x703030, 0,        0x602020, 0,        0x501010, 0};
  static const TColor grey[14] = {0x404040, 0,        0x505050, 0,        0x606060, 0,        0x707070,
                                  0,        0x606060, 0,        0x505050, 0,        0x404040, 0};
  bool dark = !(state & odDisabled) && ((state & odSelected) || (state & odComboBoxEdit));
  const TColor* band = dark ? blue : grey;
  for (int i = 0; i < 14; ++i) {
    canvas.Pen.Color = band[i];
    canvas.MoveTo(rect.Left, rect.Top + i);
    canvas.LineTo(rect.Right, rect.Top + i);
  }
  canvas.Font.Color = dark ? TColor(0x00FFFF) : clWhite;
  canvas.Brush.Style = bsClear;
  canvas.Font.Style |= fsBold;
  canvas.TextOut(rect.Left + 2, rect.Top, text);
}
