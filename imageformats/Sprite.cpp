// Sprite files: a sprite area without its first word, numbers little-endian.
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

struct SpritePrivate {
  int64_t palette;  // file position of the first palette entry
  int64_t image;
  int64_t mask;
  int64_t rowBytes;
  int32_t paletteEntries;
  int32_t firstBit;
  int32_t lastBit;
  int32_t fileBpp;  // 1, 2, 4 or 8
};

enum : int {
  kErrFirstBit = 1400,
  kErrMode = 1401,
  kErrIndex = 1402,
  kErrPaletteSize = 1403,
};

// Bits per pixel of the screen modes; 0 marks a mode we do not know.
const int kModeBpp[29] = {1, 2, 4, 0, 1, 2, 2, 0, 2, 4, 8, 2, 4, 8, 4,
                          8, 4, 4, 1, 2, 4, 8, 0, 1, 8, 1, 2, 4, 8};

const ImgFmtRgb kDefault2[4] = {{255, 255, 255}, {170, 170, 170}, {85, 85, 85}, {0, 0, 0}};
const ImgFmtRgb kDefault16[16] = {{255, 255, 255}, {219, 219, 219}, {182, 182, 182}, {146, 146, 146},
                                  {109, 109, 109}, {73, 73, 73},    {36, 36, 36},    {0, 0, 0},
                                  {0, 0, 255},     {255, 255, 0},   {0, 255, 0},     {255, 0, 0},
                                  {255, 216, 216}, {64, 128, 64},   {255, 156, 0},   {0, 185, 255}};

// The 16 base entries of the standard 256-colour palette; the rest follow by setting the
// high bits of each component from the colour number.
ImgFmtRgb StandardBase(int i) {
  return {uint8_t((i & 7) * 16), uint8_t((i & 3) * 16), uint8_t((i & 3) * 16 | (i & 8) * 8)};
}

// The file's words are signed.
int32_t S32(const uint8_t* p) { return int32_t(GetLe32(p)); }

int ReadAt(int fd, int64_t pos, void* buf, int64_t count) {
  if (pos < 0 || imgfmt_file_seek(fd, pos, 0) != pos) return IMGFMT_ERR_READ;
  return imgfmt_read_exact(fd, buf, count);
}

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char* options) {
  auto* p = imgfmt_private<SpritePrivate>(h);
  int32_t index = 0;
  if (int rc = imgfmt_option_int(options, "index=", &index)) return rc;
  if (index < 0) return IMGFMT_ERR_BAD_OPTION;
  uint8_t area[8];
  if (int rc = imgfmt_read_exact(fd, area, 8)) return rc;
  if (index >= S32(area)) return kErrIndex;
  // Offsets count from the area's missing first word.
  int64_t sprite = int64_t(S32(area + 4)) - 4;
  for (int32_t i = 0; i < index; ++i) {
    uint8_t next[4];
    if (int rc = ReadAt(fd, sprite, next, 4)) return rc;
    // A sprite shorter than its own header would lead the walk back onto itself.
    if (S32(next) < 44) return IMGFMT_ERR_READ;
    sprite += S32(next);
  }
  uint8_t s[44];
  if (int rc = ReadAt(fd, sprite, s, 44)) return rc;
  int64_t words = S32(s + 16), height = int64_t(S32(s + 20)) + 1;
  int32_t first = S32(s + 24), last = S32(s + 28);
  int32_t image = S32(s + 32), mask = S32(s + 36), mode = S32(s + 40);
  if (first % 8 != 0) return kErrFirstBit;
  if (mode < 0 || mode > 28 || kModeBpp[mode] == 0) return kErrMode;
  int bpp = kModeBpp[mode];
  int64_t width = (words * 32 + last - first + 1) / bpp;
  // The format's own bound of 10,000 on each side, stricter than the picture limit.
  if (width < 0 || width > 10000 || height < 0 || height > 10000) return IMGFMT_ERR_BAD_SIZE;
  if (int rc = imgfmt_check_size(width, height)) return rc;
  if (first < 0 || words < 0) return IMGFMT_ERR_BAD_SIZE;
  h->width = int32_t(width);
  h->height = int32_t(height);
  h->bpp = bpp == 2 ? 4 : bpp;
  p->palette = sprite + 44;
  p->paletteEntries = image > 44 ? (image - 44) / 8 : 0;
  p->image = sprite + image;
  p->mask = sprite + mask;
  p->rowBytes = (words + 1) * 4;
  p->firstBit = first;
  p->lastBit = last;
  p->fileBpp = bpp;
  return IMGFMT_OK;
}

void Widen(ImgFmtRgb* pal, int from) {
  for (int n = from; n < 256; n += from)
    for (int i = 0; i < from; ++i) {
      ImgFmtRgb e = pal[i];
      if (from == 16) {
        e.r = uint8_t((e.r & 0x7F) | ((n & 0x10) << 3));
        e.g = uint8_t((e.g & 0x3F) | ((n & 0x60) << 1));
      } else {
        e.g = uint8_t((e.g & 0x7F) | ((n & 0x40) << 1));
      }
      e.b = uint8_t((e.b & 0x7F) | (n & 0x80));
      pal[n + i] = e;
    }
}

int ReadPalette(int fd, ImgFmtHeader* h, ImgFmtRgb* pal) {
  auto* p = imgfmt_private<SpritePrivate>(h);
  int entries = p->paletteEntries;
  if (p->fileBpp == 8 && entries != 0 && entries != 16 && entries != 64) return kErrPaletteSize;
  for (int i = 0; i < 256; ++i) pal[i] = {0, 0, 0};
  int own = 1 << p->fileBpp;  // entries the depth uses (16 base entries for 8 bits)
  if (p->fileBpp == 1) pal[0] = {255, 255, 255};
  else if (p->fileBpp == 2) std::memcpy(pal, kDefault2, sizeof kDefault2);
  else if (p->fileBpp == 4) std::memcpy(pal, kDefault16, sizeof kDefault16);
  else
    for (int i = 0; i < 16; ++i) pal[i] = StandardBase(i);
  if (p->fileBpp == 8) own = entries ? entries : 16;
  int take = entries < own ? entries : own;
  if (take > 0) {
    std::vector<uint8_t> buf(size_t(take) * 8);
    if (int rc = ReadAt(fd, p->palette, buf.data(), int64_t(buf.size()))) return rc;
    for (int i = 0; i < take; ++i)
      pal[i] = {buf[size_t(i) * 8 + 1], buf[size_t(i) * 8 + 2], buf[size_t(i) * 8 + 3]};
  }
  if (p->fileBpp == 8) Widen(pal, own);
  return IMGFMT_OK;
}

uint8_t Reverse(uint8_t b) {
  b = uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  auto* p = imgfmt_private<SpritePrivate>(h);
  const int32_t w = h->width;
  const int64_t stride = imgfmt_row_bytes(w, h->bpp);
  size_t bytes;
  switch (p->fileBpp) {
    case 1: bytes = (size_t(w) + 7) / 8; break;
    case 2: bytes = (size_t(w) + 3) / 4; break;
    case 4: bytes = (size_t(w) + 1) / 2; break;
    default: bytes = size_t(w); break;
  }
  std::vector<uint8_t> line;
  try {
    line.resize(bytes);
  } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
  for (int32_t y = 0; y < h->height; ++y) {
    int64_t pos = p->image + y * p->rowBytes + p->firstBit / 8;
    if (int rc = ReadAt(fd, pos, line.data(), int64_t(bytes))) return rc;
    uint8_t* out = data + (h->height - 1 - y) * stride;
    switch (p->fileBpp) {
      case 1:
        for (size_t i = 0; i < bytes; ++i) out[i] = Reverse(line[i]);
        break;
      case 2:
        // Four 2-bit pixels a byte, the leftmost in the lowest bits, become two bytes of
        // two 4-bit pixels; the second byte of the last may lie past the row's pixels.
        for (size_t i = 0; i < bytes; ++i) {
          uint8_t b = line[i];
          out[2 * i] = uint8_t(((b & 3) << 4) | ((b >> 2) & 3));
          if (2 * i + 1 < (size_t(w) + 1) / 2)
            out[2 * i + 1] = uint8_t((((b >> 4) & 3) << 4) | ((b >> 6) & 3));
        }
        break;
      case 4:
        for (size_t i = 0; i < bytes; ++i) out[i] = uint8_t((line[i] >> 4) | (line[i] << 4));
        break;
      default: std::memcpy(out, line.data(), bytes); break;
    }
  }
  return IMGFMT_OK;
}

// ---- Writing ----

uint8_t Nibbles(uint8_t c) { return uint8_t((c & 0xF0) + (c >> 4)); }

// The sprite's name: the file's own name without an extension "spr", lower case, at most
// 11 characters. The extension goes first, so a long name keeps no piece of it.
std::string SpriteName(const char* fileName) {
  std::string s = fileName;
  size_t sep = s.find_last_of("/\\:");
  if (sep != std::string::npos) s.erase(0, sep + 1);
  if (s.size() >= 4) {
    std::string ext = s.substr(s.size() - 4);
    for (char& c : ext) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == ".spr") s.resize(s.size() - 4);
  }
  if (s.size() > 11) s.resize(11);
  for (char& c : s) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

uint8_t StandardNumber(const ImgFmtRgb& c) {
  return uint8_t((c.b & 0x80) | ((c.g & 0xC0) >> 1) | ((c.r & 0x80) >> 3) | ((c.b & 0x40) >> 3) |
                 ((c.r & 0x40) >> 4) | (((c.r & 0x30) + (c.g & 0x30) + (c.b & 0x30)) / 48));
}

int WriteImage(const char* name, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
               const char*) {
  const int bpp = h->bpp;
  if (bpp != 1 && bpp != 4 && bpp != 8) return IMGFMT_ERR_NOT_SUPPORTED;
  const int32_t w = h->width;
  const int64_t rowBytes = (int64_t(w) * bpp + 31) / 32 * 4;
  const int entries = bpp == 1 ? 2 : 16;
  const int64_t body = 8 * int64_t(entries) + h->height * rowBytes;
  if (body + 60 > INT32_MAX) return IMGFMT_ERR_BAD_SIZE;
  try {
    std::vector<uint8_t> out;
    AppendLe32(out, 1);
    AppendLe32(out, 16);
    AppendLe32(out, body + 60);
    AppendLe32(out, body + 44);
    std::string sn = SpriteName(name);
    sn.resize(12, '\0');
    out.insert(out.end(), sn.begin(), sn.end());
    AppendLe32(out, rowBytes / 4 - 1);
    AppendLe32(out, h->height - 1);
    AppendLe32(out, 0);
    AppendLe32(out, (int64_t(w) * bpp - 1) % 32);
    AppendLe32(out, 8 * entries + 44);
    AppendLe32(out, 8 * entries + 44);
    AppendLe32(out, bpp == 1 ? 23 : bpp == 4 ? 17 : 24);
    for (int i = 0; i < entries; ++i) {
      ImgFmtRgb c = bpp == 8 ? StandardBase(i) : pal[i];
      for (int k = 0; k < 2; ++k) out.insert(out.end(), {0, Nibbles(c.r), Nibbles(c.g), Nibbles(c.b)});
    }
    if (int rc = imgfmt_write_exact(fd, out.data(), int64_t(out.size()))) return rc;
    uint8_t map[256];
    for (int i = 0; i < 256; ++i) map[i] = bpp == 8 ? StandardNumber(pal[i]) : uint8_t(i);
    const int64_t stride = imgfmt_row_bytes(w, bpp);
    const size_t used = (size_t(w) * size_t(bpp) + 7) / 8;
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
    for (int32_t y = h->height - 1; y >= 0; --y) {
      const uint8_t* src = data + y * stride;
      std::fill(row.begin(), row.end(), 0);
      for (size_t i = 0; i < used; ++i) {
        if (bpp == 1) row[i] = Reverse(src[i]);
        else if (bpp == 4) row[i] = uint8_t((src[i] >> 4) | (src[i] << 4));
        else row[i] = map[src[i]];
      }
      // Bits past the last pixel stay clear.
      if (bpp != 8 && (int64_t(w) * bpp) % 8) {
        int keep = int((int64_t(w) * bpp) % 8);
        row[used - 1] &= uint8_t((1 << keep) - 1);
      }
      if (int rc = imgfmt_write_exact(fd, row.data(), rowBytes)) return rc;
    }
  } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
  return IMGFMT_OK;
}

const char* ErrorText(int code) {
  switch (code) {
    case kErrFirstBit: return "sprite has first bit that is not a multiple of 8";
    case kErrMode: return "sprite defined in unknown mode";
    case kErrIndex: return "less sprites in file than index requested";
    case kErrPaletteSize: return "8 bit file does not have 0, 16 or 64 palette entries in it";
    default: return nullptr;
  }
}

}  // namespace

const ImgFmtCodec imgfmt_codec_sprite = {{"Sprite", "Archimedes Sprite from RiscOS", "SPR SPRITE", 0x77},
                                         ReadHeader,
                                         ReadPalette,
                                         ReadData,
                                         WriteImage,
                                         ErrorText};
