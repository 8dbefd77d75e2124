#include "Vclutils.h"

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
