#include "platform/BmpFile.h"

#include <cstring>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"

namespace {

[[noreturn]] void Bad(const char* why) { throw EInvalidGraphic(std::string("Invalid bitmap file: ") + why); }

struct Reader {
  const uint8_t* p;
  size_t n;
  void Need(uint64_t off, uint64_t len) const {
    if (off > n || len > n - off) Bad("unexpected end of data");
  }
  uint32_t U8(uint64_t off) const {
    Need(off, 1);
    return p[off];
  }
  uint32_t U16(uint64_t off) const {
    Need(off, 2);
    return GetLe16(p + off);
  }
  uint32_t U32(uint64_t off) const {
    Need(off, 4);
    return GetLe32(p + off);
  }
};

int MaskShift(uint32_t m) {
  int s = 0;
  while (m && !(m & 1)) {
    m >>= 1;
    ++s;
  }
  return s;
}
int MaskBits(uint32_t m) {
  m >>= MaskShift(m);
  int b = 0;
  while (m & 1) {
    m >>= 1;
    ++b;
  }
  return b;
}
uint8_t Channel(uint32_t v, uint32_t mask) {
  if (!mask) return 0;
  int sh = MaskShift(mask), bits = MaskBits(mask);
  uint32_t c = (v & mask) >> sh;
  if (bits >= 8) return uint8_t(c >> (bits - 8));
  // Replicate the high bits into the low ones so that full scale maps to 255.
  uint32_t r = 0;
  for (int got = 0; got < 8; got += bits) r = (r << bits) | c;
  return uint8_t(r >> ((8 + bits - 1) / bits * bits - 8));
}

}  // namespace

void ReadBmp(const uint8_t* data, size_t size, TBitmap& out) {
  Reader r{data, size};
  if (size < 14 || data[0] != 'B' || data[1] != 'M') Bad("no BM signature");
  uint32_t offBits = r.U32(10);
  uint32_t hsize = r.U32(14);
  int64_t width, height;
  int bpp;
  uint32_t compression = 0, clrUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  bool core = hsize == 12;
  if (core) {
    width = r.U16(18);
    height = int16_t(r.U16(20));
    if (r.U16(22) != 1) Bad("planes");
    bpp = int(r.U16(24));
  } else if (hsize >= 16 && hsize <= 124) {
    width = int32_t(r.U32(18));
    height = int32_t(r.U32(22));
    if (r.U16(26) != 1) Bad("planes");
    bpp = int(r.U16(28));
    if (hsize >= 20) compression = r.U32(30);
    if (hsize >= 36) clrUsed = r.U32(46);
    // OS/2 2.x headers use 3 for Huffman and 4 for RLE24, which we do not read.
    if (hsize != 40 && hsize != 52 && hsize != 56 && hsize != 108 && hsize != 124 && compression >= 3)
      Bad("unsupported OS/2 compression");
  } else {
    Bad("unknown header size");
  }
  bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0) Bad("empty image");
  CheckImageSize(width, height);
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) Bad("bit count");
  bool rle = compression == 1 || compression == 2;
  if (compression == 1 && bpp != 8) Bad("RLE8 needs 8 bits");
  if (compression == 2 && bpp != 4) Bad("RLE4 needs 4 bits");
  if (rle && topDown) Bad("top-down RLE");
  if (compression == 3 || compression == 6) {
    if (bpp != 16 && bpp != 32) Bad("bit fields need 16 or 32 bits");
    uint64_t mo = 14 + 40;
    if (hsize >= 52) mo = 14 + 40;  // V2+ headers carry the masks inside the header
    masks[0] = r.U32(mo);
    masks[1] = r.U32(mo + 4);
    masks[2] = r.U32(mo + 8);
    if (compression == 6 || hsize >= 56) masks[3] = r.U32(mo + 12);
  } else if (compression > 3 && compression != 6) {
    Bad("unsupported compression");
  } else if (bpp == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  // Palette.
  std::vector<TRGBQuad> pal;
  if (bpp <= 8) {
    uint64_t count = clrUsed ? clrUsed : (uint64_t(1) << bpp);
    if (count > 256) Bad("palette too large");
    uint64_t po = 14 + uint64_t(hsize) + ((compression == 3 && hsize == 40) ? 12 : 0);
    int entry = core ? 3 : 4;
    r.Need(po, count * entry);
    if (offBits && po + count * entry > offBits) Bad("palette overlaps the pixels");
    for (uint64_t i = 0; i < count; ++i)
      pal.push_back(TRGBQuad{data[po + i * entry], data[po + i * entry + 1], data[po + i * entry + 2], 0});
  }
  int64_t srcRow = DibRowBytes(width, bpp);
  TBitmap bmp;
  TPixelFormat fmt;
  bool direct = false;  // rows copied as they stand
  if (bpp == 1) fmt = pf1bit;
  else if (bpp == 4) fmt = pf4bit;
  else if (bpp == 8) fmt = pf8bit;
  else if (bpp == 24) fmt = pf24bit;
  else if (bpp == 16 && masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F) fmt = pf15bit;
  else if (bpp == 16 && masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) fmt = pf16bit;
  else fmt = pf32bit;
  direct = bpp <= 24 ? (bpp != 16 || fmt != pf32bit) : (compression == 0);
  if (bpp == 32 && compression != 0 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF &&
      (masks[3] == 0 || masks[3] == 0xFF000000))
    direct = true;
  bmp.SetPixelFormat(fmt);
  if (!pal.empty()) bmp.SetPalette(pal);
  else if (bpp <= 8) Bad("no palette");
  // Without an offset (a packed bitmap, as the clipboard holds it) the pixels follow the
  // header, the masks that stand after a 40-byte header, and the palette.
  uint64_t masksAfter = hsize == 40 ? (compression == 3 ? 12 : compression == 6 ? 16 : 0) : 0;
  uint64_t off = offBits ? offBits : 14 + uint64_t(hsize) + masksAfter + pal.size() * (core ? 3 : 4);
  // The pixels must all be there before anything is allocated for them; the last row may
  // lack its padding.
  if (!rle) r.Need(off, uint64_t(srcRow) * uint64_t(height) - uint64_t(srcRow - (width * bpp + 7) / 8));
  else r.Need(off, 2);
  bmp.SetSize(int(width), int(height));
  if (!rle) {
    for (int64_t y = 0; y < height; ++y) {
      const uint8_t* src = data + off + y * srcRow;
      int64_t avail = std::min<int64_t>(srcRow, int64_t(size - (off + y * srcRow)));
      uint8_t* dst = bmp.ScanLine(int(topDown ? y : height - 1 - y));
      if (direct) {
        std::memcpy(dst, src, size_t(std::min<int64_t>(avail, bmp.RowBytes())));
      } else {
        for (int64_t x = 0; x < width; ++x) {
          uint32_t v = bpp == 16 ? GetLe16(src + 2 * x) : GetLe32(src + 4 * x);
          dst[4 * x] = Channel(v, masks[2]);
          dst[4 * x + 1] = Channel(v, masks[1]);
          dst[4 * x + 2] = Channel(v, masks[0]);
          dst[4 * x + 3] = masks[3] ? Channel(v, masks[3]) : 0;
        }
      }
    }
  } else {
    // Run-length data: rows bottom-up; escapes 0 end of line, 1 end of bitmap, 2 delta.
    int64_t x = 0, y = 0;  // y counts from the bottom
    uint64_t p = off;
    // Some writers run on into the row padding; those pixels are dropped. Data for rows
    // beyond the image is an error.
    auto set = [&](uint32_t idx) {
      if (y >= height) Bad("run overruns the image");
      if (x >= width) {
        ++x;
        return;
      }
      if (idx >= pal.size()) idx = 0;
      uint8_t* row = bmp.ScanLine(int(height - 1 - y));
      if (bpp == 8) row[x] = uint8_t(idx);
      else if (x & 1) row[x >> 1] = uint8_t((row[x >> 1] & 0xF0) | idx);
      else row[x >> 1] = uint8_t((row[x >> 1] & 0x0F) | idx << 4);
      ++x;
    };
    for (;;) {
      uint32_t a = r.U8(p), b = r.U8(p + 1);
      p += 2;
      if (a) {
        for (uint32_t i = 0; i < a; ++i) set(bpp == 8 ? b : (i & 1) ? (b & 15) : (b >> 4));
      } else if (b == 0) {
        x = 0;
        ++y;
      } else if (b == 1) {
        break;
      } else if (b == 2) {
        x += r.U8(p);
        y += r.U8(p + 1);
        p += 2;
        if (x > width || y > height) Bad("delta leaves the image");
      } else {
        uint64_t bytes = bpp == 8 ? b : (b + 1) / 2;
        r.Need(p, bytes);
        for (uint32_t i = 0; i < b; ++i)
          set(bpp == 8 ? data[p + i] : (i & 1) ? (data[p + i / 2] & 15) : (data[p + i / 2] >> 4));
        p += (bytes + 1) & ~uint64_t(1);
      }
      if (y > height) Bad("run overruns the image");
    }
  }
  out.TakePixels(bmp);
}

std::string WriteBmp(const TBitmap& b) {
  int bpp = b.BitsPerPixel();
  bool indexed = bpp <= 8;
  size_t palCount = indexed ? b.Palette().size() : 0;
  bool fields = b.PixelFormat() == pf16bit;
  uint32_t headerBytes = 14 + 40 + (fields ? 12 : 0) + uint32_t(palCount) * 4;
  uint64_t image = uint64_t(b.ImageSize());
  std::string s;
  s.reserve(size_t(headerBytes + image));
  s += "BM";
  AppendLe32(s, uint32_t(headerBytes + image));
  AppendLe32(s, 0);
  AppendLe32(s, headerBytes);
  AppendLe32(s, 40);
  AppendLe32(s, uint32_t(b.Width()));
  AppendLe32(s, uint32_t(b.Height()));
  AppendLe16(s, 1);
  AppendLe16(s, uint32_t(bpp));
  AppendLe32(s, fields ? 3 : 0);
  AppendLe32(s, uint32_t(image));
  AppendLe32(s, 3780);  // 96 pixels per inch
  AppendLe32(s, 3780);
  AppendLe32(s, uint32_t(palCount));
  AppendLe32(s, 0);
  if (fields) {
    AppendLe32(s, 0xF800);
    AppendLe32(s, 0x07E0);
    AppendLe32(s, 0x001F);
  }
  for (size_t i = 0; i < palCount; ++i) {
    const TRGBQuad& q = b.Palette()[i];
    s.push_back(char(q.rgbBlue));
    s.push_back(char(q.rgbGreen));
    s.push_back(char(q.rgbRed));
    s.push_back(0);
  }
  if (image) s.append(reinterpret_cast<const char*>(b.Bits()), size_t(image));
  return s;
}
