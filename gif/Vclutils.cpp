#include "Vclutils.h"

#include <algorithm>

#include "platform/SysUtils.h"

void NotImplemented() { throw EInvalidGraphicOperation("Feature not implemented"); }

int PaletteEntries(const TBitmap& bitmap) { return int(bitmap.Palette().size()); }

TColor PaletteColor(const TBitmap& bitmap, int index) {
  const auto& p = bitmap.Palette();
  if (index < 0 || index >= int(p.size())) return clNone;
  return RGB(p[index].rgbRed, p[index].rgbGreen, p[index].rgbBlue);
}

int WidthOf(const TRect& r) { return r.Right - r.Left; }
int HeightOf(const TRect& r) { return r.Bottom - r.Top; }

void StretchBitmapRectTransparent(TCanvas& dest, const TRect& destRect, const TBitmap& bitmap,
                                  const TRect& srcRect, TColor transparentColor) {
  dest.StretchDrawKeyed(destRect, bitmap, srcRect, ColorToRGB(transparentColor));
}

void GradientFillRect(TCanvas& canvas, const TRect& rect, TColor startColor, TColor endColor,
                      TFillDirection direction, uint8_t colors) {
  if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
  TColor start = ColorToRGB(startColor), end = ColorToRGB(endColor);
  if (colors < 2) {
    canvas.Brush.SetColor(start);
    canvas.FillRect(rect);
    return;
  }
  bool reversed = direction == fdBottomToTop || direction == fdRightToLeft;
  bool vertical = direction == fdTopToBottom || direction == fdBottomToTop;
  TColor base = reversed ? end : start, other = reversed ? start : end;
  int dr = int(GetRValue(other)) - GetRValue(base), dg = int(GetGValue(other)) - GetGValue(base),
      db = int(GetBValue(other)) - GetBValue(base);
  int extent = vertical ? HeightOf(rect) : WidthOf(rect);
  int n = std::max(2, std::min(int(colors), extent));
  int s = extent / n;
  canvas.Pen.Style = psSolid;
  canvas.Pen.Mode = pmCopy;
  if (s > 0) {
    for (int i = 0; i < n; ++i) {
      TRect band = rect;
      if (vertical) {
        band.Top = rect.Top + i * s;
        band.Bottom = band.Top + s;
      } else {
        band.Left = rect.Left + i * s;
        band.Right = band.Left + s;
      }
      canvas.Brush.SetColor(RGB(uint8_t(GetRValue(base) + MulDiv(i, dr, n - 1)),
                                uint8_t(GetGValue(base) + MulDiv(i, dg, n - 1)),
                                uint8_t(GetBValue(base) + MulDiv(i, db, n - 1))));
      canvas.FillRect(band);
    }
  }
  int r = extent % n;
  if (r > 0) {
    TRect rest = rect;
    if (vertical)
      rest.Top = rect.Bottom - r;
    else
      rest.Left = rect.Right - r;
    canvas.Brush.SetColor(reversed ? start : end);
    canvas.FillRect(rest);
  }
}
