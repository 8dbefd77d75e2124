// Fonts for the canvas: fontconfig picks the installed face for a font name (the Windows
// names find their metric-compatible faces), FreeType draws the glyphs, cached per face,
// size and glyph, and blends them onto a bitmap.
#pragma once
#include <string>
#include <vector>

#include "platform/Types.h"

class TBitmap;
class TFont;

struct TFontMatch {
  std::string File;
  int Index = 0;
  std::string Family;   // the installed family that serves the name
  std::string Generic;  // the generic family of that face: "serif", "sans-serif", "monospace" ...
};

// The face fontconfig chooses for a family name with the given weight and slant.
TFontMatch MatchFont(const std::string& name, bool bold, bool italic);
// Installed families, sorted, without duplicates (for the font boxes).
std::vector<std::string> InstalledFontFamilies();

struct TTextMetrics {
  int Ascent = 0;
  int Descent = 0;
  int LineHeight() const { return Ascent + Descent; }
};

TTextMetrics FontMetrics(const TFont& font);
// Advance width of a single line of UTF-8 text in pixels (no kerning, as on the screen).
int MeasureText(const TFont& font, const std::string& text);
// Draws one line with its cell's top-left at (x, y), only inside clip. Glyph coverage blends
// the font colour over the pixels; each pixel touched gets alpha 0.
void RenderTextLine(TBitmap& bitmap, int x, int y, const std::string& text, const TFont& font,
                    const TRect& clip);
