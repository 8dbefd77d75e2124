// Small hostile picture files, made by hand to cost a reader as much as they can: headers
// claiming the largest sizes, data that ends early, compressed data that expands as far as its
// coding can, endless chains of frames, scans, chunks, directories, records and offsets. The
// bounded-codec tests read them at full size; the fuzz targets start from small ones.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>
#include <zlib.h>

#include "platform/ByteOrder.h"
#include "platform/JpegGlue.h"
#include "tests/gif/GifBuilder.h"
#include "tests/support/MetafileBuilder.h"

inline std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

inline std::string Zlib(const std::string& raw, int level = 9) {
  uLongf size = compressBound(uLong(raw.size()));
  std::string z(size, '\0');
  compress2(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
            uLong(raw.size()), level);
  z.resize(size);
  return z;
}

// zlib data of `bytes` zero bytes, made without holding them all.
inline std::string ZlibZeros(size_t bytes) {
  z_stream s{};
  deflateInit(&s, 9);
  std::string out;
  std::vector<char> block(1 << 20, '\0');
  std::vector<char> buf(1 << 16);
  size_t left = bytes;
  do {
    const size_t n = std::min(left, block.size());
    left -= n;
    s.next_in = reinterpret_cast<Bytef*>(block.data());
    s.avail_in = uInt(n);
    const int flush = left ? Z_NO_FLUSH : Z_FINISH;
    do {
      s.next_out = reinterpret_cast<Bytef*>(buf.data());
      s.avail_out = uInt(buf.size());
      deflate(&s, flush);
      out.append(buf.data(), buf.size() - s.avail_out);
    } while (s.avail_out == 0);
  } while (left);
  deflateEnd(&s);
  return out;
}

// ---- GIF ----

// LZW codes that expand as far as the coding can: each code names the string just made
// plus its first letter, one pixel longer than the one before, the table cleared when full.
inline std::vector<int> MaximalCodes(int minSize, int64_t pixels) {
  const int clear = 1 << minSize;
  std::vector<int> codes;
  int64_t made = 0;
  while (made < pixels) {
    codes.push_back(clear);
    codes.push_back(0);
    ++made;
    for (int code = clear + 2, length = 2; code < 4096 && made < pixels; ++code, ++length) {
      codes.push_back(code);
      made += length;
    }
  }
  codes.push_back(clear + 1);
  return codes;
}

inline std::string GifMaximal(int w, int h, int64_t pixels) {
  GifBuilder g;
  g.Header(w, h, 2).Image(w, h).Codes(2, MaximalCodes(2, pixels)).Trailer();
  return g.b;
}

// A 1 x 1 first frame that reads whole, then what follows it.
inline GifBuilder GifFirstPixel(int screenW, int screenH) {
  GifBuilder g;
  g.Header(screenW, screenH, 1).Image(1, 1).Codes(2, {4, 1, 5});
  return g;
}

inline std::string GifManyFrames(int n, int w, int h) {
  GifBuilder g = GifFirstPixel(w, h);
  GifBuilder frame;
  frame.Gce(0, 1, 0).Image(w, h).Codes(2, {4, 1, 5});
  g.b += Repeat(frame.b, size_t(n));
  g.Trailer();
  return g.b;
}

inline std::string GifTruncated(int w, int h) {
  GifBuilder g;
  g.Header(w, h, 1).Image(w, h).Codes(2, {4, 1, 1, 1, 1, 6, 7, 8}, false);
  return g.b;
}

// ---- PNG ----

inline std::string PngChunk(const std::string& type, const std::string& data) {
  std::string c;
  AppendBe32(c, uint32_t(data.size()));
  std::string body = type + data;
  c += body;
  AppendBe32(c, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
  return c;
}

inline std::string PngHeader(int w, int h, int depth, int colour, int interlace = 0) {
  std::string ihdr;
  AppendBe32(ihdr, uint32_t(w));
  AppendBe32(ihdr, uint32_t(h));
  ihdr += char(depth);
  ihdr += char(colour);
  ihdr += '\0';
  ihdr += '\0';
  ihdr += char(interlace);
  return std::string("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", ihdr);
}

// A PNG of w x h whose rows (filter byte and samples) are all zero, `extra` bytes of zeros
// more in its data; `between` stands before the data.
inline std::string PngZeros(int w, int h, int depth, int colour, int interlace = 0, size_t extra = 0,
                            const std::string& between = "") {
  const int channels = colour == 2 ? 3 : colour == 6 ? 4 : colour == 4 ? 2 : 1;
  size_t raw = size_t(h) * (1 + (size_t(w) * channels * depth + 7) / 8);
  if (interlace) raw += raw / 2;  // more than the seven passes need
  return PngHeader(w, h, depth, colour, interlace) + between + PngChunk("IDAT", ZlibZeros(raw + extra)) +
         PngChunk("IEND", "");
}

inline std::string PngCut(int w, int h) {
  std::string z = ZlibZeros(size_t(h) * (1 + size_t(w)));
  return PngHeader(w, h, 8, 0) + PngChunk("IDAT", z.substr(0, 200)) + PngChunk("IEND", "");
}

// ---- JPEG ----

inline std::string JpegSegment(int marker, const std::string& body) {
  std::string s;
  s += '\xFF';
  s += char(marker);
  AppendBe16(s, uint16_t(body.size() + 2));
  return s + body;
}

// A progressive grey JPEG of w x h with `scans` scans of the AC coefficients, each saying in
// a few bytes that every block has no more coefficients (runs of 32767 blocks).
inline std::string JpegProgressive(int w, int h, int scans) {
  std::string s = "\xFF\xD8";
  s += JpegSegment(0xDB, std::string(1, '\0') + std::string(64, '\x01'));
  std::string sof = "\x08";
  AppendBe16(sof, uint16_t(h));
  AppendBe16(sof, uint16_t(w));
  sof += std::string("\x01\x01\x11\x00", 4);
  s += JpegSegment(0xC2, sof);
  // DC table 0: the one symbol 0 (no difference), code "0"; the first scan gives every
  // block its DC coefficient in one bit.
  std::string dc(1, '\0');
  dc += '\x01';
  dc += std::string(15, '\0');
  dc += '\0';
  s += JpegSegment(0xC4, dc);
  std::string dcScan("\x01\x01\x00\x00\x00\x00", 6);
  const int64_t blockCount = int64_t((w + 7) / 8) * ((h + 7) / 8);
  s += JpegSegment(0xDA, dcScan) + std::string(size_t(blockCount / 8), '\0');
  if (blockCount % 8) s += char(uint8_t(0xFF >> (blockCount % 8)));
  // AC table 0: the one symbol 0xE0 (an end-of-band run of 2^14 + 14 more bits), code "0".
  std::string dht = "\x10";
  dht += '\x01';
  dht += std::string(15, '\0');
  dht += '\xE0';
  s += JpegSegment(0xC4, dht);
  const int64_t blocks = int64_t((w + 7) / 8) * ((h + 7) / 8);
  // Each code: "0" then 14 bits of ones: a run of 32767 blocks in 15 bits.
  std::string data;
  uint32_t acc = 0;
  int bits = 0;
  for (int64_t left = blocks; left > 0; left -= 32767) {
    acc = (acc << 15) | 16383u;  // a run may run on past the last block
    bits += 15;
    while (bits >= 8) {
      uint8_t b = uint8_t(acc >> (bits - 8));
      data += char(b);
      if (b == 0xFF) data += '\0';
      bits -= 8;
    }
  }
  if (bits) {
    const uint8_t last = uint8_t((acc << (8 - bits)) | ((1u << (8 - bits)) - 1));
    data += char(last);
    if (last == 0xFF) data += '\0';
  }
  std::string sos("\x01\x01\x00", 3);
  sos += '\x01';  // Ss
  sos += '\x3F';  // Se
  sos += '\x00';
  const std::string scan = JpegSegment(0xDA, sos) + data;
  s += Repeat(scan, size_t(scans));
  return s + "\xFF\xD9";
}

// A real 16 x 16 grey JPEG with `segments` comment segments of `bytes` bytes before its frame.
inline std::string JpegWithComments(int segments, size_t bytes) {
  std::vector<uint8_t> grey(16 * 16, 0x80);
  JpegEncoded e;
  if (JpegEncodeMemory(grey.data(), 16, 16, true, 50, false, &e) != 0) return {};
  std::string s(reinterpret_cast<const char*>(e.Data), e.Size);
  free(e.Data);
  return s.substr(0, 2) + Repeat(JpegSegment(0xFE, std::string(bytes, 'c')), size_t(segments)) + s.substr(2);
}

// ---- TIFF ----

struct TiffTag {
  uint16_t tag, type;
  uint32_t count, value;
};

// A little-endian TIFF whose first directory holds the tags (sorted by the caller) and is
// followed by `next` as the next directory's offset; the directory starts at byte 8.
inline std::string Tiff(const std::vector<TiffTag>& tags, uint32_t next = 0, const std::string& after = "") {
  std::string s = "II";
  AppendLe16(s, 42);
  AppendLe32(s, 8);
  AppendLe16(s, uint16_t(tags.size()));
  for (const TiffTag& t : tags) {
    AppendLe16(s, t.tag);
    AppendLe16(s, t.type);
    AppendLe32(s, t.count);
    if (t.type == 3 && t.count == 1) AppendLe16(s, uint16_t(t.value)), AppendLe16(s, 0);
    else AppendLe32(s, t.value);
  }
  AppendLe32(s, next);
  return s + after;
}

// An 8-bit grey TIFF of w x h, one row a strip, every strip the same PackBits data at `at`.
inline std::string TiffGrey(int w, int h, uint32_t compression, uint32_t rowsPerStrip, uint32_t byteCount,
                            const std::string& data, uint32_t stripCount = 0) {
  const uint32_t strips = stripCount ? stripCount : (uint32_t(h) + rowsPerStrip - 1) / rowsPerStrip;
  const uint32_t dirBytes = 2 + 10 * 12 + 4;
  const uint32_t offsetsAt = 8 + dirBytes;
  const uint32_t countsAt = offsetsAt + (strips > 1 ? strips * 4 : 0);
  const uint32_t dataAt = countsAt + (strips > 1 ? strips * 4 : 0);
  std::string after;
  if (strips > 1) {
    for (uint32_t i = 0; i < strips; ++i) AppendLe32(after, dataAt);
    for (uint32_t i = 0; i < strips; ++i) AppendLe32(after, byteCount);
  }
  after += data;
  std::vector<TiffTag> tags = {{256, 4, 1, uint32_t(w)},
                               {257, 4, 1, uint32_t(h)},
                               {258, 3, 1, 8},
                               {259, 3, 1, compression},
                               {262, 3, 1, 1},
                               {273, 4, strips, strips > 1 ? offsetsAt : dataAt},
                               {277, 3, 1, 1},
                               {278, 4, 1, rowsPerStrip},
                               {279, 4, strips, strips > 1 ? countsAt : byteCount},
                               {284, 3, 1, 1}};
  return Tiff(tags, 0, after);
}

// PackBits for one row of w zero bytes: runs of 128.
inline std::string PackBitsZeros(int w) {
  std::string s;
  for (int left = w; left > 0; left -= 128) {
    const int n = std::min(left, 128);
    s += char(1 - n);
    s += '\0';
  }
  return s;
}

// TIFF's LZW (MSB first, early change) at maximal expansion: `pixels` zero bytes.
inline std::string TiffLzwZeros(int64_t pixels) {
  std::string out;
  uint64_t acc = 0;
  int bits = 0;
  auto put = [&](int code, int width) {
    acc = (acc << width) | uint32_t(code);
    bits += width;
    while (bits >= 8) {
      out += char(uint8_t(acc >> (bits - 8)));
      bits -= 8;
    }
  };
  int64_t made = 0;
  int width = 9;
  while (made < pixels) {
    put(256, width);
    width = 9;
    put(0, width);
    ++made;
    int next = 258;
    for (int length = 2; next < 4093 && made < pixels; ++length) {
      // The decoder adds the entry after this code, then widens at 511, 1023, 2047.
      put(next, width);
      made += length;
      ++next;
      if (next + 1 == (1 << width) && width < 12) ++width;
    }
  }
  put(257, width);
  if (bits) out += char(uint8_t(acc << (8 - bits)));
  return out;
}

// ---- BMP, ICO ----

inline std::string BmpHeader(int32_t w, int32_t h, int bpp, uint32_t compression, uint32_t clrUsed,
                             uint32_t offBits) {
  std::string s = "BM";
  AppendLe32(s, 0);
  AppendLe32(s, 0);
  AppendLe32(s, offBits);
  AppendLe32(s, 40);
  AppendLe32(s, uint32_t(w));
  AppendLe32(s, uint32_t(h));
  AppendLe16(s, 1);
  AppendLe16(s, uint16_t(bpp));
  AppendLe32(s, compression);
  AppendLe32(s, 0);
  AppendLe32(s, 2835), AppendLe32(s, 2835);
  AppendLe32(s, clrUsed), AppendLe32(s, 0);
  return s;
}

// An eight- or four-bit run-length bitmap of w x h: a palette of two colours, then `runs`.
inline std::string BmpRle(int w, int h, int bpp, const std::string& runs) {
  std::string s = BmpHeader(w, h, bpp, bpp == 8 ? 1 : 2, 2, 14 + 40 + 8);
  AppendLe32(s, 0x00102030);
  AppendLe32(s, 0x00FFFFFF);
  return s + runs;
}

// Runs of colour 1 over every row of an RLE8 bitmap of w pixels a row, h rows.
inline std::string RleRows(int w, int h) {
  std::string row;
  for (int left = w; left > 0; left -= 255) row += char(std::min(left, 255)), row += '\x01';
  row += std::string("\0\0", 2);
  return Repeat(row, size_t(h)) + std::string("\0\1", 2);
}

inline std::string Ico(int count, const std::string& image, int declared = -1) {
  std::string s;
  AppendLe16(s, 0);
  AppendLe16(s, 1);
  AppendLe16(s, uint16_t(declared < 0 ? count : declared));
  const uint32_t at = 6 + 16 * uint32_t(count);
  for (int i = 0; i < count; ++i) {
    s += std::string("\x20\x20\x00\x00", 4);
    AppendLe16(s, 1);
    AppendLe16(s, 32);
    AppendLe32(s, uint32_t(image.size()));
    AppendLe32(s, at);
  }
  return s + image;
}

// The icon's image: a 32 x 32 info header of 32 bits and its pixels and mask.
inline std::string IconImage(int w, int h) {
  std::string s;
  AppendLe32(s, 40);
  AppendLe32(s, uint32_t(w));
  AppendLe32(s, uint32_t(2 * h));
  AppendLe16(s, 1);
  AppendLe16(s, 32);
  s += std::string(24, '\0');
  s += std::string(size_t(w) * h * 4, '\x40');
  s += std::string(size_t((w + 31) / 32 * 4) * h, '\0');
  return s;
}

// ---- Metafiles ----

inline std::string Metafile(const std::string& records, int w = 32000, int h = 32000) {
  return PlaceableMetafile(records + MetafileRecord(0x0000, {}), w, h);
}

// ---- Animated cursors ----

inline std::string RiffChunk(const std::string& id, const std::string& data) {
  std::string c = id;
  AppendLe32(c, uint32_t(data.size()));
  c += data;
  if (data.size() % 2) c += '\0';
  return c;
}

// An animated cursor of one icon of side x side, shown `steps` times by its sequence.
inline std::string AnimatedCursor(int side, uint32_t steps) {
  std::string anih;
  AppendLe32(anih, 36);
  AppendLe32(anih, 1);
  AppendLe32(anih, steps);
  anih += std::string(16, '\0');
  AppendLe32(anih, 10);
  AppendLe32(anih, 1);
  std::string seq;
  for (uint32_t i = 0; i < steps; ++i) AppendLe32(seq, 0);
  const std::string body = "ACON" + RiffChunk("anih", anih) + RiffChunk("seq ", seq) +
                           RiffChunk("LIST", "fram" + RiffChunk("icon", Ico(1, IconImage(side, side))));
  return RiffChunk("RIFF", body);
}
