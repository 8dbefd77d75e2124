// Turning the library's pixel layout into plain RGB bytes, top row first, as the oracle tools
// print them (ImageMagick's rgb: output, netpbm's raw pixmaps).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "imageformats/ImgFmt.h"

inline int IndexAt(const uint8_t* row, int32_t x, int32_t bpp) {
  if (bpp == 8) return row[x];
  if (bpp == 4) return (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0f;
  return (row[x / 8] >> (7 - x % 8)) & 1;
}

inline std::string RgbTopDown(const uint8_t* data, int32_t w, int32_t h, int32_t bpp, const ImgFmtRgb* pal) {
  std::string s;
  int64_t stride = imgfmt_row_bytes(w, bpp);
  for (int32_t y = h - 1; y >= 0; --y) {
    const uint8_t* row = data + y * stride;
    for (int32_t x = 0; x < w; ++x) {
      if (bpp == 24) {
        s += {char(row[3 * x + 2]), char(row[3 * x + 1]), char(row[3 * x])};
      } else {
        const ImgFmtRgb& c = pal[IndexAt(row, x, bpp)];
        s += {char(c.r), char(c.g), char(c.b)};
      }
    }
  }
  return s;
}

// The pixels of a netpbm file (P6 or P5, maximum 255) as RGB bytes; empty when it is neither.
inline std::string PnmToRgb(const std::string& pnm) {
  if (pnm.size() < 2 || pnm[0] != 'P' || (pnm[1] != '6' && pnm[1] != '5')) return {};
  size_t pos = 2;
  int numbers[3] = {};
  for (int& n : numbers) {
    while (pos < pnm.size() &&
           (pnm[pos] == ' ' || pnm[pos] == '\n' || pnm[pos] == '\t' || pnm[pos] == '\r' || pnm[pos] == '#')) {
      if (pnm[pos] == '#')
        while (pos < pnm.size() && pnm[pos] != '\n') ++pos;
      else ++pos;
    }
    while (pos < pnm.size() && pnm[pos] >= '0' && pnm[pos] <= '9') n = n * 10 + (pnm[pos++] - '0');
  }
  ++pos;  // the single blank after the maximum
  if (numbers[2] != 255) return {};
  std::string body = pnm.substr(pos);
  if (pnm[1] == '6') return body;
  std::string rgb;
  for (char c : body) rgb += {c, c, c};
  return rgb;
}
