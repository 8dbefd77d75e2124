// Icon, cursor and animated-cursor pieces built byte by byte for the tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ByteOrder.h"

// An icon (type 1) or cursor (type 2) file of one w x h image of 32-bit pixels (0xAARRGGBB),
// top row first; the mask is all opaque, so pixels of alpha 0 are what leaves it transparent.
// A cursor's directory holds its hot spot.
inline std::string IconFile(int type, int w, int h, const std::vector<uint32_t>& topDown, int hotX = 0,
                            int hotY = 0) {
  std::string img;
  AppendLe32(img, 40), AppendLe32(img, uint32_t(w)), AppendLe32(img, uint32_t(2 * h));
  AppendLe16(img, 1), AppendLe16(img, 32);
  for (int i = 0; i < 6; ++i) AppendLe32(img, 0);
  for (int y = h - 1; y >= 0; --y)
    for (int x = 0; x < w; ++x) AppendLe32(img, topDown[size_t(y * w + x)]);
  img.append(size_t(((w + 31) / 32) * 4 * h), '\0');
  std::string f;
  AppendLe16(f, 0), AppendLe16(f, uint16_t(type)), AppendLe16(f, 1);
  f += char(w), f += char(h), f += '\0', f += '\0';
  AppendLe16(f, uint16_t(type == 2 ? hotX : 1)), AppendLe16(f, uint16_t(type == 2 ? hotY : 32));
  AppendLe32(f, uint32_t(img.size())), AppendLe32(f, 22);
  return f + img;
}

// The same of pixels of one colour.
inline std::string IconFile(int type, int w, int h, uint32_t argb, int hotX = 0, int hotY = 0) {
  return IconFile(type, w, h, std::vector<uint32_t>(size_t(w * h), argb), hotX, hotY);
}

// A RIFF chunk: its id, its length and its data, padded to an even length.
inline std::string Chunk(const std::string& id, const std::string& data) {
  std::string c = id;
  AppendLe32(c, uint32_t(data.size()));
  c += data;
  if (data.size() & 1) c += '\0';
  return c;
}
