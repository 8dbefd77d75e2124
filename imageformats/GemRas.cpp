// GEM bit-image files, with the XIMG palette extension. Numbers are big-endian words.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

struct GemPrivate {
  int32_t headerWords;
  int32_t planes;
  int32_t patternLength;
  bool grey;  // flag word of a 9-word header
  bool ximg;
};

enum : int {
  kErrDvi = 1700,
  kErrImds = 1701,
  kErrVersion = 1702,
  kErrHeaderLength = 1703,
  kErrPlanes = 1704,
  kErrFlag = 1705,
  kErrColourPlanes = 1706,
  kErrPaletteType = 1707,
};

// The fixed palettes of 3- and 4-plane colour files; the 3-plane one is the first eight
// entries with black in place of light grey.
const ImgFmtRgb kFixed16[16] = {{255, 255, 255}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {204, 204, 204},
                                {128, 128, 128}, {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {0, 0, 0}};

int BppOfPlanes(int planes) {
  if (planes == 1) return 1;
  if (planes <= 4) return 4;
  if (planes <= 8) return 8;
  return 24;
}

// Reads up to count bytes; gives the number read, -1 on failure.
int ReadUpTo(int fd, uint8_t* buf, int count) {
  int got = 0;
  while (got < count) {
    int n = imgfmt_file_read(fd, buf + got, count - got);
    if (n < 0 || n > count - got) return -1;
    if (n == 0) break;
    got += n;
  }
  return got;
}

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char*) {
  auto* p = imgfmt_private<GemPrivate>(h);
  uint8_t head[22] = {};
  // An 8-word header may be followed by fewer than six data bytes, so only 16 are required.
  int got = ReadUpTo(fd, head, 22);
  if (got < 0) return IMGFMT_ERR_READ;
  if (got >= 4 && std::memcmp(head, "VDVI", 4) == 0) return kErrDvi;
  static const uint8_t kImds1[6] = {0x70, 0x04, 0, 0, 0, 0};
  static const uint8_t kImds2[8] = {0x08, 0, 0x05, 0, 0x01, 0, 0, 0};
  if ((got >= 6 && std::memcmp(head, kImds1, 6) == 0) || (got >= 8 && std::memcmp(head, kImds2, 8) == 0))
    return kErrImds;
  if (got < 16) return IMGFMT_ERR_READ;
  int version = GetBe16(head), words = GetBe16(head + 2), planes = GetBe16(head + 4);
  if (version != 1) return kErrVersion;
  if (words < 8) return kErrHeaderLength;
  // The extension needs its palette-type word inside the header; shorter headers holding
  // "XIMG" are taken as plain ones.
  bool ximg = words >= 11 && got >= 22 && std::memcmp(head + 16, "XIMG", 4) == 0;
  if (ximg && GetBe16(head + 20) != 0) return kErrPaletteType;
  if (!((planes >= 1 && planes <= 8) || (planes == 24 && ximg))) return kErrPlanes;
  bool grey = false;
  if (words == 9 && !ximg) {
    if (got < 18) return IMGFMT_ERR_READ;
    int flag = GetBe16(head + 16);
    if (flag != 0 && flag != 1) return kErrFlag;
    grey = flag == 1;
  }
  if ((words == 8 || (words == 9 && !grey)) && !ximg && planes != 1 && planes != 3 && planes != 4)
    return kErrColourPlanes;
  h->width = GetBe16(head + 12);
  h->height = GetBe16(head + 14);
  if (int rc = imgfmt_check_size(h->width, h->height)) return rc;
  h->bpp = BppOfPlanes(planes);
  p->headerWords = words;
  p->planes = planes;
  p->patternLength = GetBe16(head + 6);
  p->grey = grey;
  p->ximg = ximg;
  return IMGFMT_OK;
}

int ReadPalette(int fd, ImgFmtHeader* h, ImgFmtRgb* pal) {
  auto* p = imgfmt_private<GemPrivate>(h);
  if (p->planes > 8) return IMGFMT_OK;  // true colour has no palette
  int entries = 1 << p->planes;
  for (int i = 0; i < 256; ++i) pal[i] = {0, 0, 0};
  if (p->ximg) {
    std::vector<uint8_t> buf(size_t(entries) * 6);
    if (imgfmt_file_seek(fd, 22, 0) != 22) return IMGFMT_ERR_READ;
    if (int rc = imgfmt_read_exact(fd, buf.data(), int64_t(buf.size()))) return rc;
    auto level = [](int thousandths) {
      if (thousandths > 1000) thousandths = 1000;
      // Rounded, so that levels written as c * 1000 / 255 read back as c.
      return uint8_t((thousandths * 255 + 500) / 1000);
    };
    for (int i = 0; i < entries; ++i) {
      const uint8_t* e = buf.data() + i * 6;
      pal[i] = {level(GetBe16(e)), level(GetBe16(e + 2)), level(GetBe16(e + 4))};
    }
  } else if (p->planes == 1) {
    pal[0] = {255, 255, 255};
  } else if (!p->grey && p->planes == 3) {
    for (int i = 0; i < 7; ++i) pal[i] = kFixed16[i];
  } else if (!p->grey && p->planes == 4) {
    for (int i = 0; i < 16; ++i) pal[i] = kFixed16[i];
  } else {
    // Grey files, and headers of other lengths without a palette of their own.
    for (int i = 0; i < entries; ++i) {
      auto v = uint8_t(i * 255 / (entries - 1));
      pal[i] = {v, v, v};
    }
  }
  return IMGFMT_OK;
}

// Byte source over the read-ahead buffer with one byte of push-back.
class Source {
 public:
  explicit Source(ImgFmtReadAhead* ra) : FRa(ra) {}
  int Get() {
    if (FBack >= 0) {
      int b = FBack;
      FBack = -1;
      return b;
    }
    return imgfmt_ra_get(FRa);
  }
  void Unget(int b) { FBack = b; }

 private:
  ImgFmtReadAhead* FRa;
  int FBack = -1;
};

// Decodes one row (all its plane lines) into row; gives the row's repeat count in *repeat.
// Items may not run past the end of the row.
int DecodeRow(Source& src, std::vector<uint8_t>& row, std::vector<uint8_t>& pattern, int patternLength,
              int* repeat) {
  const size_t size = row.size();
  size_t pos = 0;
  *repeat = 1;
  bool first = true;
  while (pos < size) {
    int b = src.Get();
    if (b < 0) return IMGFMT_ERR_READ;
    if (b == 0x80) {
      int n = src.Get();
      if (n < 0) return IMGFMT_ERR_READ;
      if (size_t(n) > size - pos) return IMGFMT_ERR_READ;
      for (int i = 0; i < n; ++i) {
        int c = src.Get();
        if (c < 0) return IMGFMT_ERR_READ;
        row[pos++] = uint8_t(c);
      }
    } else if (b != 0) {
      size_t n = size_t(b & 0x7F);
      if (n > size - pos) return IMGFMT_ERR_READ;
      std::memset(row.data() + pos, (b & 0x80) ? 0xFF : 0x00, n);
      pos += n;
    } else {
      int n = src.Get();
      if (n < 0) return IMGFMT_ERR_READ;
      if (n == 0 && first) {
        int c = src.Get();
        if (c < 0) return IMGFMT_ERR_READ;
        if (c == 0xFF) {
          int count = src.Get();
          if (count < 0) return IMGFMT_ERR_READ;
          *repeat = count == 0 ? 1 : count;
          first = false;
          continue;
        }
        src.Unget(c);
      }
      for (int i = 0; i < patternLength; ++i) {
        int c = src.Get();
        if (c < 0) return IMGFMT_ERR_READ;
        pattern[size_t(i)] = uint8_t(c);
      }
      uint64_t total = uint64_t(n) * uint64_t(patternLength);
      if (total > size - pos) return IMGFMT_ERR_READ;
      for (int k = 0; k < n; ++k) {
        std::memcpy(row.data() + pos, pattern.data(), size_t(patternLength));
        pos += size_t(patternLength);
      }
    }
    first = false;
  }
  return IMGFMT_OK;
}

// Combines the plane lines of a row into the caller's pixel row.
void StoreRow(const GemPrivate* p, int32_t width, int bpp, const uint8_t* row, size_t lineBytes,
              uint8_t* out) {
  if (p->planes == 24) {
    for (int32_t x = 0; x < width; ++x) {
      out[x * 3] = row[x * 3 + 2];
      out[x * 3 + 1] = row[x * 3 + 1];
      out[x * 3 + 2] = row[x * 3];
    }
    return;
  }
  if (bpp == 1) {
    std::memcpy(out, row, lineBytes);
    return;
  }
  for (int32_t x = 0; x < width; ++x) {
    unsigned v = 0;
    size_t byte = size_t(x) >> 3;
    int bit = 7 - (x & 7);
    for (int k = 0; k < p->planes; ++k) v |= unsigned((row[size_t(k) * lineBytes + byte] >> bit) & 1) << k;
    if (bpp == 8) {
      out[x] = uint8_t(v);
    } else if (x & 1) {
      out[x >> 1] = uint8_t((out[x >> 1] & 0xF0) | v);
    } else {
      out[x >> 1] = uint8_t((out[x >> 1] & 0x0F) | (v << 4));
    }
  }
}

int DecodeImage(ImgFmtHeader* h, uint8_t* data, ImgFmtReadAhead* ra) {
  auto* p = imgfmt_private<GemPrivate>(h);
  const size_t lineBytes = (size_t(h->width) + 7) / 8;
  const int64_t stride = imgfmt_row_bytes(h->width, h->bpp);
  std::vector<uint8_t> row(lineBytes * size_t(p->planes));
  std::vector<uint8_t> pattern(size_t(p->patternLength) + 1);
  Source src(ra);
  for (int32_t y = 0; y < h->height;) {
    int repeat;
    if (int rc = DecodeRow(src, row, pattern, p->patternLength, &repeat)) return rc;
    if (repeat > h->height - y) return IMGFMT_ERR_READ;  // copies would run past the image
    for (int k = 0; k < repeat; ++k, ++y)
      StoreRow(p, h->width, h->bpp, row.data(), lineBytes, data + (h->height - 1 - y) * stride);
  }
  return IMGFMT_OK;
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  auto* p = imgfmt_private<GemPrivate>(h);
  int64_t start = int64_t(p->headerWords) * 2;
  if (imgfmt_file_seek(fd, start, 0) != start) return IMGFMT_ERR_READ;
  ImgFmtReadAhead* ra = imgfmt_ra_create(fd);
  if (!ra) return IMGFMT_ERR_MEMORY;
  int rc;
  try {
    rc = DecodeImage(h, data, ra);
  } catch (const std::bad_alloc&) { rc = IMGFMT_ERR_MEMORY; }
  imgfmt_ra_free(ra);
  return rc;
}

// ---- Writing ----

class Output {
 public:
  explicit Output(int fd) : FFd(fd) {}
  void Byte(int b) { FBuf.push_back(uint8_t(b)); }
  void Word(int w) { AppendBe16(FBuf, uint16_t(w)); }
  void Bytes(const uint8_t* p, size_t n) { FBuf.insert(FBuf.end(), p, p + n); }
  void Append(const std::vector<uint8_t>& v) { FBuf.insert(FBuf.end(), v.begin(), v.end()); }
  int FlushIfFull() { return FBuf.size() >= 65536 ? Flush() : IMGFMT_OK; }
  int Flush() {
    int rc = imgfmt_write_exact(FFd, FBuf.data(), int64_t(FBuf.size()));
    FBuf.clear();
    return rc;
  }

 private:
  int FFd;
  std::vector<uint8_t> FBuf;
};

// Units equal to the one at i, counted up to 255 (no item takes more), so that long runs
// are not scanned again for each item they give.
size_t RunLength(const uint8_t* line, size_t n, size_t i, size_t unit) {
  size_t j = i + unit, count = 1;
  while (count < 255 && j + unit <= n && std::memcmp(line + j, line + i, unit) == 0) j += unit, ++count;
  return count;
}

bool IsSolid(const uint8_t* u, size_t unit) {
  for (size_t k = 0; k < unit; ++k)
    if (u[k] != u[0] || (u[0] != 0x00 && u[0] != 0xFF)) return false;
  return true;
}

// Encodes one line of n bytes in units of 1 byte (plane lines) or 3 bytes (R, G, B).
void EncodeLine(const uint8_t* line, size_t n, size_t unit, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  const size_t maxSolid = 127 / unit, maxLiteral = 127 / unit;
  size_t i = 0;
  while (i < n) {
    size_t run = RunLength(line, n, i, unit);
    if (IsSolid(line + i, unit)) {
      size_t k = run < maxSolid ? run : maxSolid;
      out.push_back(uint8_t((k * unit) | (line[i] == 0xFF ? 0x80 : 0)));
      i += k * unit;
    } else if (run >= 3) {
      size_t k = run < 255 ? run : 255;
      out.push_back(0);
      out.push_back(uint8_t(k));
      out.insert(out.end(), line + i, line + i + unit);
      i += k * unit;
    } else {
      size_t j = i, k = 0;
      while (j < n && k < maxLiteral && !IsSolid(line + j, unit) && RunLength(line, n, j, unit) < 3) {
        j += unit;
        ++k;
      }
      out.push_back(0x80);
      out.push_back(uint8_t(k * unit));
      out.insert(out.end(), line + i, line + j);
      i = j;
    }
  }
  if ((out.size() - start) * 127 > n * 129) {
    out.resize(start);
    for (size_t i2 = 0; i2 < n; i2 += 127) {
      size_t k = n - i2 < 127 ? n - i2 : 127;
      out.push_back(0x80);
      out.push_back(uint8_t(k));
      out.insert(out.end(), line + i2, line + i2 + k);
    }
  }
}

int Brightness(const ImgFmtRgb& c) { return c.r + c.g + c.b; }

int NearestFixed(const ImgFmtRgb& c) {
  int best = 0;
  long bestDist = -1;
  for (int i = 0; i < 16; ++i) {
    long dr = c.r - kFixed16[i].r, dg = c.g - kFixed16[i].g, db = c.b - kFixed16[i].b;
    long d = dr * dr + dg * dg + db * db;
    if (bestDist < 0 || d < bestDist) bestDist = d, best = i;
  }
  return best;
}

int WriteImage(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
               const char* options) {
  int32_t pixw = 85, pixh = 85;
  if (int rc = imgfmt_option_int(options, "pixw=", &pixw)) return rc;
  if (int rc = imgfmt_option_int(options, "pixh=", &pixh)) return rc;
  if (pixw < 0 || pixw > 0xFFFF || pixh < 0 || pixh > 0xFFFF) return IMGFMT_ERR_BAD_OPTION;
  if (h->width > 0xFFFF || h->height > 0xFFFF) return IMGFMT_ERR_BAD_SIZE;
  const bool usePal = imgfmt_option_flag(options, "pal");
  const bool grey = imgfmt_option_flag(options, "grey");
  const int bpp = h->bpp;
  const int planes = bpp;
  const int paletteEntries = usePal && bpp != 24 ? 1 << bpp : 0;
  // Header kind: XIMG (with the caller's palette, or for 24 bits), 9 words with the grey
  // flag, or the plain 8 words.
  const bool ximg = usePal || bpp == 24;
  const bool greyHeader = !ximg && (bpp == 8 || (bpp == 4 && grey));
  int words = ximg ? 11 + 3 * paletteEntries : greyHeader ? 9 : 8;

  // What each pixel value of the caller becomes in the file.
  uint8_t map[256];
  for (int i = 0; i < 256; ++i) map[i] = uint8_t(i);
  bool invert = false;
  if (bpp == 1 && !usePal) invert = Brightness(pal[0]) < Brightness(pal[1]);
  if (bpp == 4 && !usePal) {
    for (int i = 0; i < 16; ++i) map[i] = uint8_t(grey ? Brightness(pal[i]) / 48 : NearestFixed(pal[i]));
  }
  if (bpp == 8 && !usePal)
    for (int i = 0; i < 256; ++i) map[i] = uint8_t(Brightness(pal[i]) / 3);

  try {
    Output out(fd);
    out.Word(1);
    out.Word(words);
    out.Word(planes);
    out.Word(bpp == 24 ? 3 : 1);
    out.Word(pixw);
    out.Word(pixh);
    out.Word(h->width);
    out.Word(h->height);
    if (ximg) {
      out.Bytes(reinterpret_cast<const uint8_t*>("XIMG"), 4);
      out.Word(0);
      for (int i = 0; i < paletteEntries; ++i) {
        out.Word(pal[i].r * 1000 / 255);
        out.Word(pal[i].g * 1000 / 255);
        out.Word(pal[i].b * 1000 / 255);
      }
    } else if (greyHeader) {
      out.Word(1);
    }

    const size_t lineBytes = (size_t(h->width) + 7) / 8;
    // 24-bit lines hold whole groups of 8 pixels, as the planes of the other depths do.
    const size_t rowSize = bpp == 24 ? lineBytes * 24 : lineBytes * size_t(planes);
    const int64_t stride = imgfmt_row_bytes(h->width, bpp);
    auto convert = [&](int32_t y, std::vector<uint8_t>& row) {
      std::fill(row.begin(), row.end(), 0);
      const uint8_t* src = data + (h->height - 1 - y) * stride;
      if (bpp == 24) {
        for (int32_t x = 0; x < h->width; ++x) {
          row[size_t(x) * 3] = src[x * 3 + 2];
          row[size_t(x) * 3 + 1] = src[x * 3 + 1];
          row[size_t(x) * 3 + 2] = src[x * 3];
        }
        return;
      }
      for (int32_t x = 0; x < h->width; ++x) {
        unsigned v;
        if (bpp == 1) v = ((src[x >> 3] >> (7 - (x & 7))) & 1) ^ (invert ? 1 : 0);
        else if (bpp == 4) v = map[(x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4];
        else v = map[src[x]];
        for (int k = 0; k < planes; ++k)
          if ((v >> k) & 1) row[size_t(k) * lineBytes + (size_t(x) >> 3)] |= uint8_t(0x80 >> (x & 7));
      }
    };
    std::vector<uint8_t> row(rowSize), next(rowSize), encoded;
    convert(0, row);
    for (int32_t y = 0; y < h->height;) {
      int repeat = 1;
      while (repeat < 255 && y + repeat < h->height) {
        convert(y + repeat, next);
        if (next != row) break;
        ++repeat;
      }
      encoded.clear();
      if (repeat > 1) encoded.insert(encoded.end(), {0, 0, 0xFF, uint8_t(repeat)});
      if (bpp == 24) EncodeLine(row.data(), rowSize, 3, encoded);
      else
        for (int k = 0; k < planes; ++k)
          EncodeLine(row.data() + size_t(k) * lineBytes, lineBytes, 1, encoded);
      out.Append(encoded);
      if (int rc = out.FlushIfFull()) return rc;
      y += repeat;
      // `next` already holds the row after the run, unless the run ended at the image's end
      // or at the repeat limit.
      if (y < h->height) {
        if (repeat == 255 || next == row) convert(y, row);
        else row.swap(next);
      }
    }
    return out.Flush();
  } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
}

const char* ErrorText(int code) {
  switch (code) {
    case kErrDvi: return "not GEM Raster, probably green channel of an Intel DVI image";
    case kErrImds: return "not GEM Raster, probably IMDS image";
    case kErrVersion: return "version number not 1";
    case kErrHeaderLength: return "header length must be 8 words or more";
    case kErrPlanes: return "number of planes not in range 1 to 8, or 24";
    case kErrFlag: return "flag not 0 or 1";
    case kErrColourPlanes: return "number of planes in colour image must be 1,3 or 4";
    case kErrPaletteType: return "palette type not 0 in XIMG header";
    default: return nullptr;
  }
}

}  // namespace

const ImgFmtCodec imgfmt_codec_gemras = {
    {"GemRas", "GEM Raster", "IMG", 0xff}, ReadHeader, ReadPalette, ReadData, WriteImage, ErrorText};
