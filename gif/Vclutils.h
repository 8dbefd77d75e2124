// Graphics helpers of the GIF classes: palette queries, sizes of rectangles and the
// keyed stretch that draws a picture with its transparent colour left out.
#pragma once
#include <string>

#include "platform/Canvas.h"
#include "platform/Graphics.h"
#include "platform/Types.h"

// Raises EInvalidGraphicOperation for a path that this build does not provide.
[[noreturn]] void NotImplemented();
// Number of entries of a bitmap's palette (0 for a bitmap without one).
int PaletteEntries(const TBitmap& bitmap);
// The colour of palette entry index as a TColor; clNone outside the palette.
TColor PaletteColor(const TBitmap& bitmap, int index);
int WidthOf(const TRect& r);
int HeightOf(const TRect& r);
// The source rectangle of bitmap stretched into dest of the canvas, leaving out the pixels
// of the transparent colour.
void StretchBitmapRectTransparent(TCanvas& dest, const TRect& destRect, const TBitmap& bitmap,
                                  const TRect& srcRect, TColor transparentColor);

enum TFillDirection { fdTopToBottom, fdBottomToTop, fdLeftToRight, fdRightToLeft };
// Fills the rectangle with `colors` bands of colour running from start to end; the reversed
// directions put the start colour at the bottom or right.
void GradientFillRect(TCanvas& canvas, const TRect& rect, TColor startColor, TColor endColor,
                      TFillDirection direction, uint8_t colors);
