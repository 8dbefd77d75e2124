// Fonts for the canvas. fontconfig sorts the installed faces for a font name (the Windows
// names find their metric-compatible faces); each character is drawn in the first of them
// that holds it, and a symbol face (one that puts pictures where letters are) serves only a
// name that names it. HarfBuzz shapes each run of one face, script and direction, FriBidi
// orders the runs of a line, and FreeType draws the glyphs, cached per face, size and glyph,
// blended onto a bitmap.
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

// The face that serves a family name with the given weight and slant: the first of
// fontconfig's sorted matches that is a text face (or the symbol face the name names). Its
// metrics are the font's line height.
TFontMatch MatchFont(const std::string& name, bool bold, bool italic);
// The faces that draw the text in the font: the name's face first, then each other face that
// holds some of its characters, in the order they are first needed.
std::vector<TFontMatch> FacesForText(const TFont& font, const std::string& text);
// Installed families, sorted, without duplicates (for the font boxes).
std::vector<std::string> InstalledFontFamilies();

struct TTextMetrics {
  int Ascent = 0;
  int Descent = 0;
  int LineHeight() const { return Ascent + Descent; }
};

// The font's line: the ascent and descent of the name's face, whatever faces a line holds.
TTextMetrics FontMetrics(const TFont& font);
// Advance width of a single line of UTF-8 text in pixels, as shaped and drawn (a Tab
// advances as eight spaces).
int MeasureText(const TFont& font, const std::string& text);

// One run of a shaped line: the characters of one face, script and direction.
struct TGlyphRun {
  TFontMatch Face;
  bool RightToLeft = false;
  std::string Text;              // the run's characters in reading order (Tabs as spaces)
  std::vector<unsigned> Glyphs;  // the face's glyph indices, left to right as drawn
  int Left = 0;                  // where the run starts, in pixels from the line's start
};
// The runs of a line from left to right, as RenderTextLine draws them.
std::vector<TGlyphRun> ShapeTextLine(const TFont& font, const std::string& text);

// Draws one line with its cell's top-left at (x, y), only inside clip. Glyph coverage blends
// the font colour over the pixels; each pixel touched gets alpha 0.
void RenderTextLine(TBitmap& bitmap, int x, int y, const std::string& text, const TFont& font,
                    const TRect& clip);
