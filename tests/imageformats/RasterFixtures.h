// Builders of small GEM bit-image, sprite and page-segment files, byte by byte from the
// formats' layouts, for tests whose formats no installed tool writes.
#pragma once
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "imageformats/ImgFmt.h"

namespace fixture {

inline std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += char(b & 0xFF);
  return s;
}

inline std::string Be16(int v) { return Bytes({v >> 8, v}); }

inline std::string Le32(int64_t v) { return Bytes({int(v), int(v >> 8), int(v >> 16), int(v >> 24)}); }

// ---- GEM bit images ----

// The eight words every header starts with; `extra` words follow (flag, "XIMG" ...).
inline std::string GemHeader(int words, int planes, int patternLength, int width, int height,
                             const std::string& extra = "") {
  return Be16(1) + Be16(words) + Be16(planes) + Be16(patternLength) + Be16(85) + Be16(85) + Be16(width) +
         Be16(height) + extra;
}

// An XIMG header with its palette (components in thousandths).
inline std::string GemXimg(int planes, int width, int height, const std::vector<std::array<int, 3>>& palette,
                           int patternLength = 1) {
  std::string extra = "XIMG" + Be16(0);
  for (const auto& e : palette) extra += Be16(e[0]) + Be16(e[1]) + Be16(e[2]);
  return GemHeader(11 + 3 * int(palette.size()), planes, patternLength, width, height, extra);
}

// ---- Sprites ----

struct Sprite {
  std::string name = "s";
  int32_t widthWordsLess1 = 0;
  int32_t heightLess1 = 0;
  int32_t firstBit = 0;
  int32_t lastBit = 31;
  int32_t mode = 25;               // 1 bit per pixel
  std::vector<ImgFmtRgb> palette;  // written as the first of each pair of colour words
  std::string image;               // rows of 4 * (widthWordsLess1 + 1) bytes
  int32_t imageOffset = -1;        // -1: right after the palette
};

// A sprite file: the sprite area without its first word.
inline std::string SpriteFile(const std::vector<Sprite>& sprites, int32_t count = -1) {
  std::string body;
  for (const Sprite& s : sprites) {
    int32_t image = s.imageOffset >= 0 ? s.imageOffset : 44 + 8 * int32_t(s.palette.size());
    std::string palette;
    for (const ImgFmtRgb& c : s.palette) palette += Bytes({0, c.r, c.g, c.b, 0, c.r, c.g, c.b});
    std::string rest = palette;
    if (int32_t(44 + rest.size()) < image) rest += std::string(size_t(image - 44) - rest.size(), '\0');
    rest += s.image;
    std::string name = s.name;
    name.resize(12, '\0');
    body += Le32(44 + int64_t(rest.size())) + name + Le32(s.widthWordsLess1) + Le32(s.heightLess1) +
            Le32(s.firstBit) + Le32(s.lastBit) + Le32(image) + Le32(image) + Le32(s.mode) + rest;
  }
  return Le32(count >= 0 ? count : int32_t(sprites.size())) + Le32(16) +
         Le32(16 + 12 + int64_t(body.size())) + body;
}

// ---- Page segments ----

constexpr int kNop = 0xD3EEEE, kBeginSegment = 0xD3A85F, kBeginImage = 0xD3A87B, kOutputControl = 0xD3A77B,
              kImageSize = 0xD3A67B, kCellPosition = 0xD3AC7B, kRaster = 0xD3EE7B, kEndImage = 0xD3A97B,
              kEndSegment = 0xD3A95F;

// One structured field; `lengthDelta` makes its length field claim more or fewer bytes.
inline std::string Record(int id, const std::string& data, int lengthDelta = 0) {
  return "\x5A" + Be16(int(data.size()) + 8 + lengthDelta) + Bytes({id >> 16, id >> 8, id}) +
         std::string(3, '\0') + data;
}

// The image size record's data: width, height and the default cell size.
inline std::string ImageSize(int width, int height, int cellWidth = 0, int cellHeight = 0) {
  std::string d(36, '\0');
  d.replace(18, 2, Be16(width));
  d.replace(20, 2, Be16(height));
  d.replace(28, 2, Be16(cellWidth));
  d.replace(30, 2, Be16(cellHeight));
  return d;
}

inline std::string CellPosition(int x, int y, int width, int height, int fillWidth, int fillHeight) {
  return Be16(x) + Be16(y) + Be16(width) + Be16(height) + Be16(fillWidth) + Be16(fillHeight);
}

inline std::string PsegStart() {
  return Record(kBeginSegment, "SEGNAME ") + Record(kBeginImage, "SEGNAME ") +
         Record(kOutputControl, std::string(24, '\0'));
}

inline std::string PsegEnd() { return Record(kEndImage, "SEGNAME ") + Record(kEndSegment, "SEGNAME "); }

}  // namespace fixture
