// Bevel and tab outlines and tab fills on a canvas (Right and Bottom lie outside the shape);
// packing of pixels.
#pragma once
#include <cstdint>

#include "platform/Canvas.h"
#include "platform/Graphics.h"

void CanvasDrawBevel(TCanvas& canvas, int left, int top, int right, int bottom, TColor color1, TColor color2);
void CanvasDrawTab(TCanvas& canvas, int left, int top, int right, int bottom, TColor color1, TColor color2,
                   int corner);
// Filled with the canvas's brush and outlined with its pen; the colours are not used.
void CanvasFillTab(TCanvas& canvas, int left, int top, int right, int bottom, TColor color1, TColor color2,
                   int corner);

// A 24-bit pixel as it lies in memory: blue, green, red.
struct TPixel24 {
  uint8_t B = 0, G = 0, R = 0;
  bool operator==(const TPixel24&) const = default;
};
constexpr TPixel24 Pixel24(uint8_t r, uint8_t g, uint8_t b) { return {b, g, r}; }
// A 32-bit pixel word: blue in bits 0-7, green, red, the fourth byte in bits 24-31.
constexpr uint32_t Pixel32(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 0) {
  return uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16 | uint32_t(a) << 24;
}
// System colours resolve first; the fourth byte is 0.
uint32_t ColorToPixel32(TColor color);
// Draws the bitmap at 0, 0.
void CanvasBltBitmap(TCanvas& canvas, const TBitmap& bitmap);
