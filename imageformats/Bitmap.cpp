// Device-independent bitmaps: OS/2 1.1 and 2.0, Windows 3.0; 1, 4, 8 and 24 bits per pixel,
// uncompressed or RLE4/RLE8; one bitmap chosen from an OS/2 bitmap array.
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

enum : int {
  kErrPlanes = 300,
  kErrBitCount = 301,
  kErrCbFix = 302,
  kErrCompression = 303,
  kErrIndex = 304,
  kErrRunOverflow = 305,
};

enum : uint32_t { kNone = 0, kRle8 = 1, kRle4 = 2 };

struct BmpPrivate {
  int64_t base;  // position of the chosen bitmap's "BM"
  bool longForm;
  bool inv;
  bool invb;
  uint32_t infoLength;
  uint32_t compression;
  uint32_t coloursUsed;
  uint32_t bitsOffset;
};

int ReadU16(int fd, uint32_t* v) {
  unsigned char b[2];
  if (int rc = imgfmt_read_exact(fd, b, 2)) return rc;
  *v = GetLe16(b);
  return IMGFMT_OK;
}

int ReadU32(int fd, uint32_t* v) {
  unsigned char b[4];
  if (int rc = imgfmt_read_exact(fd, b, 4)) return rc;
  *v = GetLe32(b);
  return IMGFMT_OK;
}

constexpr uint32_t kTypeBA = 'B' | 'A' << 8;
constexpr uint32_t kTypeBM = 'B' | 'M' << 8;

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char* options) {
  BmpPrivate* p = imgfmt_private<BmpPrivate>(h);
  p->inv = imgfmt_option_flag(options, "inv");
  p->invb = imgfmt_option_flag(options, "invb");
  uint32_t type;
  if (int rc = ReadU16(fd, &type)) return rc;
  if (type == kTypeBA) {
    int32_t index = 0;
    if (imgfmt_option_int(options, "index=", &index) || index < 0) return IMGFMT_ERR_BAD_OPTION;
    for (int32_t i = 0; i < index; ++i) {
      uint32_t size, next;
      if (int rc = ReadU32(fd, &size)) return rc;
      if (int rc = ReadU32(fd, &next)) return rc;
      if (next == 0) return kErrIndex;
      if (imgfmt_file_seek(fd, next, 0) != int64_t(next)) return IMGFMT_ERR_READ;
      if (int rc = ReadU16(fd, &type)) return rc;
      if (type != kTypeBA) return IMGFMT_ERR_BAD_MAGIC;
    }
    unsigned char rest[12];
    if (int rc = imgfmt_read_exact(fd, rest, sizeof rest)) return rc;
    if (int rc = ReadU16(fd, &type)) return rc;
  }
  if (type != kTypeBM) return IMGFMT_ERR_BAD_MAGIC;
  int64_t here = imgfmt_file_seek(fd, 0, 1);
  if (here < 2) return IMGFMT_ERR_READ;
  p->base = here - 2;

  uint32_t fileSize, reserved, length;
  if (int rc = ReadU32(fd, &fileSize)) return rc;
  if (int rc = ReadU16(fd, &reserved)) return rc;
  if (int rc = ReadU16(fd, &reserved)) return rc;
  if (int rc = ReadU32(fd, &p->bitsOffset)) return rc;
  if (int rc = ReadU32(fd, &length)) return rc;
  p->infoLength = length;

  int64_t width, height;
  uint32_t planes, bits;
  if (length == 12) {
    uint32_t w, hh;
    if (int rc = ReadU16(fd, &w)) return rc;
    if (int rc = ReadU16(fd, &hh)) return rc;
    if (int rc = ReadU16(fd, &planes)) return rc;
    if (int rc = ReadU16(fd, &bits)) return rc;
    width = w;
    height = hh;
    p->longForm = false;
    p->compression = kNone;
    p->coloursUsed = 0;
  } else {
    if (!((length >= 16 && length <= 64 && length % 4 == 0) || length == 42 || length == 46))
      return kErrCbFix;
    uint32_t w, hh;
    if (int rc = ReadU32(fd, &w)) return rc;
    if (int rc = ReadU32(fd, &hh)) return rc;
    if (int rc = ReadU16(fd, &planes)) return rc;
    if (int rc = ReadU16(fd, &bits)) return rc;
    // A negative height (rows stored top down) is out of range like any other bad size.
    width = int32_t(w);
    height = int32_t(hh);
    p->longForm = true;
    // The rest of the header as far as its length reaches: the Windows 3.0 fields, then the
    // OS/2 2.0 ones (of which nothing is used).
    static const uint8_t kFieldSizes[] = {4, 4, 4, 4, 4, 4, 2, 2, 2, 2, 4, 4, 4, 4};
    uint32_t fields[sizeof kFieldSizes] = {};
    uint32_t reached = 16;
    for (size_t i = 0; i < sizeof kFieldSizes && reached + kFieldSizes[i] <= length; ++i) {
      int rc = kFieldSizes[i] == 4 ? ReadU32(fd, &fields[i]) : ReadU16(fd, &fields[i]);
      if (rc) return rc;
      reached += kFieldSizes[i];
    }
    p->compression = fields[0];
    p->coloursUsed = fields[4];
  }
  if (width == 0 || height == 0) return IMGFMT_ERR_BAD_SIZE;
  if (int rc = imgfmt_check_size(width, height)) return rc;
  if (planes != 1) return kErrPlanes;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return kErrBitCount;
  if (bits != 24) {
    uint32_t entries = 1u << bits;
    if (p->coloursUsed == 0 || p->coloursUsed > entries) p->coloursUsed = entries;
  }
  h->width = int32_t(width);
  h->height = int32_t(height);
  h->bpp = int32_t(bits);
  return IMGFMT_OK;
}

int ReadPalette(int fd, ImgFmtHeader* h, ImgFmtRgb* pal) {
  const BmpPrivate* p = imgfmt_private<BmpPrivate>(h);
  int entrySize = p->longForm ? 4 : 3;
  int64_t at = p->base + (p->longForm ? 14 + int64_t(p->infoLength) : 26);
  if (imgfmt_file_seek(fd, at, 0) != at) return IMGFMT_ERR_READ;
  // Only the colours the file declares are read: the pixel bits may follow them directly, and
  // a small file can end before a full table would.
  uint32_t entries = 1u << h->bpp;
  uint32_t used = p->coloursUsed ? p->coloursUsed : entries;
  std::vector<unsigned char> raw(size_t(used) * entrySize);
  if (int rc = imgfmt_read_exact(fd, raw.data(), int64_t(raw.size()))) return rc;
  for (uint32_t i = 0; i < entries; ++i) {
    if (i < used) {
      const unsigned char* e = raw.data() + size_t(i) * entrySize;
      pal[i] = {e[2], e[1], e[0]};
    } else {
      pal[i] = {0, 0, 0};
    }
  }
  // Monochrome entries go out as the file holds them (exchanged, the picture would read as
  // its negative); "inv", which asked for that, is still accepted.
  return IMGFMT_OK;
}

// Decodes RLE8 or RLE4 into `data` (cleared first). Runs, absolute runs and deltas that would
// leave the image are errors rather than being clipped.
int DecodeRle(int fd, const ImgFmtHeader* h, bool four, uint8_t* data) {
  const int64_t stride = imgfmt_row_bytes(h->width, h->bpp);
  const int64_t rowUnits = four ? stride * 2 : stride;  // pixels (RLE4) or bytes (RLE8) a row holds
  const int64_t height = h->height;
  std::memset(data, 0, size_t(stride * height));
  ImgFmtReadAhead* ra = imgfmt_ra_create(fd);
  if (!ra) return IMGFMT_ERR_MEMORY;
  auto put = [&](int64_t x, int64_t y, int v) {
    uint8_t* row = data + y * stride;
    if (!four) row[x] = uint8_t(v);
    else row[x / 2] |= uint8_t((v & 0x0f) << (x % 2 == 0 ? 4 : 0));
  };
  int rc = IMGFMT_OK;
  int64_t x = 0, y = 0;
  while (y < height) {
    int count = imgfmt_ra_get(ra);
    int value = count < 0 ? -1 : imgfmt_ra_get(ra);
    if (value < 0) {
      rc = IMGFMT_ERR_READ;
      break;
    }
    if (count > 0) {
      if (x + count > rowUnits) {
        rc = kErrRunOverflow;
        break;
      }
      for (int i = 0; i < count; ++i, ++x) put(x, y, four ? (i % 2 == 0 ? value >> 4 : value) : value);
    } else if (value == 0) {  // end of row
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta
      int dx = imgfmt_ra_get(ra);
      int dy = dx < 0 ? -1 : imgfmt_ra_get(ra);
      if (dy < 0) {
        rc = IMGFMT_ERR_READ;
        break;
      }
      int64_t nx = x + dx, ny = y + dy;
      if (nx > rowUnits || ny > height || (ny == height && nx > 0)) {
        rc = kErrRunOverflow;
        break;
      }
      x = nx;
      y = ny;
    } else {  // absolute run of `value` pixels
      if (x + value > rowUnits) {
        rc = kErrRunOverflow;
        break;
      }
      int bytes = four ? (value + 1) / 2 : value;
      for (int i = 0; i < bytes && !rc; ++i) {
        int b = imgfmt_ra_get(ra);
        if (b < 0) {
          rc = IMGFMT_ERR_READ;
        } else if (!four) {
          put(x++, y, b);
        } else {
          put(x++, y, b >> 4);
          if (2 * i + 1 < value) put(x++, y, b);
        }
      }
      if (!rc && bytes % 2 == 1 && imgfmt_ra_get(ra) < 0) rc = IMGFMT_ERR_READ;
      if (rc) break;
    }
  }
  imgfmt_ra_free(ra);
  return rc;
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  const BmpPrivate* p = imgfmt_private<BmpPrivate>(h);
  int64_t size = imgfmt_row_bytes(h->width, h->bpp) * h->height;
  if (imgfmt_file_seek(fd, p->bitsOffset, 0) != int64_t(p->bitsOffset)) return IMGFMT_ERR_READ;
  int rc;
  if (!p->longForm || p->compression == kNone)
    rc = imgfmt_read_exact(fd, data, size);  // a file cut short is an error, not a half image
  else if (p->compression == kRle8) rc = DecodeRle(fd, h, false, data);
  else if (p->compression == kRle4) rc = DecodeRle(fd, h, true, data);
  else rc = kErrCompression;
  if (rc) return rc;
  if (p->invb)
    for (int64_t i = 0; i < size; ++i) data[i] = uint8_t(~data[i]);
  return IMGFMT_OK;
}

int Brightness(const ImgFmtRgb& c) { return 30 * c.r + 60 * c.g + 10 * c.b; }

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
          const char* options) {
  bool os2 = imgfmt_option_flag(options, "1.1");
  bool win = imgfmt_option_flag(options, "win") || imgfmt_option_flag(options, "2.0");
  if (os2 && win) return IMGFMT_ERR_BAD_OPTION;
  const int32_t bpp = h->bpp;
  const uint32_t entries = bpp == 24 ? 0 : 1u << bpp;
  // "invb" inverts the bits, nothing else: the file holds the picture's negative, which a
  // reader given "invb" turns back.
  bool invert = imgfmt_option_flag(options, "invb");
  ImgFmtRgb table[256];
  for (uint32_t i = 0; i < entries; ++i) table[i] = pal[i];
  if (bpp == 1) {
    // A monochrome picture keeps its two colours and their order, as every other writer of
    // one-bit files does. "inv", "darkfg" (the darker colour as entry 1, the set bits) and
    // "lightfg" (the lighter as entry 1) only choose the order of the entries: exchanged, the
    // bits are inverted with them, so the file still shows the picture.
    const bool darker = Brightness(pal[0]) < Brightness(pal[1]);
    bool exchange = imgfmt_option_flag(options, "inv");
    if (imgfmt_option_flag(options, "darkfg") && darker) exchange = !exchange;
    if (imgfmt_option_flag(options, "lightfg") && !darker) exchange = !exchange;
    if (exchange) {
      std::swap(table[0], table[1]);
      invert = !invert;
    }
  }
  const int64_t stride = imgfmt_row_bytes(h->width, bpp);
  const int64_t image = stride * h->height;
  const uint32_t entrySize = os2 ? 3 : 4;
  const uint32_t headers = os2 ? 26 : 54;
  const uint32_t offset = entrySize * entries + headers;

  std::vector<unsigned char> out;
  AppendLe16(out, kTypeBM);
  AppendLe32(out, uint32_t(image + offset));
  AppendLe16(out, 0);
  AppendLe16(out, 0);
  AppendLe32(out, offset);
  if (os2) {
    AppendLe32(out, 12);
    AppendLe16(out, uint32_t(h->width));
    AppendLe16(out, uint32_t(h->height));
    AppendLe16(out, 1);
    AppendLe16(out, uint32_t(bpp));
  } else {
    AppendLe32(out, 40);
    AppendLe32(out, uint32_t(h->width));
    AppendLe32(out, uint32_t(h->height));
    AppendLe16(out, 1);
    AppendLe16(out, uint32_t(bpp));
    AppendLe32(out, kNone);
    AppendLe32(out, uint32_t(image));
    for (int i = 0; i < 4; ++i) AppendLe32(out, 0);  // resolutions, colours used and important
  }
  for (uint32_t i = 0; i < entries; ++i) {
    out.push_back(table[i].b);
    out.push_back(table[i].g);
    out.push_back(table[i].r);
    if (!os2) out.push_back(0);
  }
  if (imgfmt_write_exact(fd, out.data(), int64_t(out.size()))) return IMGFMT_ERR_WRITE;
  if (!invert) return imgfmt_write_exact(fd, data, image);
  unsigned char piece[1024];
  for (int64_t done = 0; done < image;) {
    int64_t n = image - done < int64_t(sizeof piece) ? image - done : int64_t(sizeof piece);
    for (int64_t i = 0; i < n; ++i) piece[i] = uint8_t(~data[done + i]);
    if (int rc = imgfmt_write_exact(fd, piece, n)) return rc;
    done += n;
  }
  return IMGFMT_OK;
}

const char* ErrorText(int code) {
  switch (code) {
    case kErrPlanes: return "number of bitmap planes is not 1";
    case kErrBitCount: return "bit count not 1, 4, 8 or 24";
    case kErrCbFix: return "cbFix bad";
    case kErrCompression: return "compression type not uncompressed, RLE4 or RLE8";
    case kErrIndex: return "less bitmaps in file than index requested";
    case kErrRunOverflow: return "compressed data runs past the end of the bitmap";
    default: return nullptr;
  }
}

}  // namespace

const ImgFmtCodec imgfmt_codec_bitmap = {
    {"Bitmap", "OS/2 1.1, 1.2, 2.0 / Windows 3.0 bitmap", "BMP VGA BGA RLE DIB RL4 RL8", 0xff},
    ReadHeader,
    ReadPalette,
    ReadData,
    Write,
    ErrorText};
