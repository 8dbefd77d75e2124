#include "POP/PopGraphics.h"

void CanvasDrawBevel(TCanvas& c, int left, int top, int right, int bottom, TColor color1, TColor color2) {
  int r = right - 1, b = bottom - 1;
  c.MoveTo(left, b);
  c.Pen.Color = color1;
  c.LineTo(left, top);
  c.LineTo(r, top);
  c.Pen.Color = color2;
  c.LineTo(r, b);
  c.LineTo(left, b);
}

void CanvasDrawTab(TCanvas& c, int left, int top, int right, int bottom, TColor color1, TColor color2,
                   int corner) {
  int r = right - 1, b = bottom - 1;
  c.MoveTo(left, b);
  c.Pen.Color = color1;
  c.LineTo(left, top + corner);
  c.LineTo(left + corner, top);
  c.LineTo(r - corner, top);
  c.LineTo(r, top + corner);
  c.Pen.Color = color2;
  c.LineTo(r, b);
  c.LineTo(left, b);
}

void CanvasFillTab(TCanvas& c, int left, int top, int right, int bottom, TColor, TColor, int corner) {
  c.Polygon({{left, bottom},
             {left, top + corner},
             {left + corner, top},
             {right - corner, top},
             {right, top + corner},
             {right, bottom}});
}

uint32_t ColorToPixel32(TColor color) {
  TColor c = ColorToRGB(color);
  return Pixel32(GetRValue(c), GetGValue(c), GetBValue(c));
}

void CanvasBltBitmap(TCanvas& canvas, const TBitmap& bitmap) { canvas.Draw(0, 0, &bitmap); }
