// Small readable pixel maps for canvas tests.
#pragma once
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "platform/Canvas.h"
#include "platform/Graphics.h"

// A 32-bit bitmap filled with opaque white (alpha 255), so touched pixels show by alpha 0.
inline void FillOpaqueWhite(TBitmap& b) {
  for (int y = 0; y < b.Height(); ++y) {
    uint32_t* r = reinterpret_cast<uint32_t*>(b.ScanLine(y));
    for (int x = 0; x < b.Width(); ++x) r[x] = 0xFFFFFFFF;
  }
}

// '.' untouched opaque white; otherwise the legend's character for the 32-bit word, '?' for
// anything not in the legend.
inline std::string PixelMap(const TBitmap& b, const std::map<uint32_t, char>& legend) {
  std::string s;
  for (int y = 0; y < b.Height(); ++y) {
    const uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < b.Width(); ++x) {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      if (v == 0xFFFFFFFF) s += '.';
      else {
        auto it = legend.find(v);
        s += it == legend.end() ? '?' : it->second;
      }
    }
    s += '\n';
  }
  return s;
}

// Legend: black '#', red 'r', blue 'b', green 'g' (all alpha 0), white with alpha 0 'w'.
inline const std::map<uint32_t, char>& StdLegend() {
  static const std::map<uint32_t, char> m{
      {0x00000000, '#'}, {0x00FF0000, 'r'}, {0x000000FF, 'b'}, {0x0000FF00, 'g'}, {0x00FFFFFF, 'w'}};
  return m;
}

inline std::string Lines(std::initializer_list<const char*> rows) {
  std::string s;
  for (auto r : rows) (s += r) += '\n';
  return s;
}
