// Targa: colour-mapped, true-colour and grey images, raw or run-length encoded; written
// uncompressed at 8, 16, 24 or 32 bits.
#include <cstring>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

enum : int {
  kErrBpp = 400,
  kErrCompression = 401,
  kErrMapEntry = 402,
};

// The file's 18-byte header as read, with its fields decoded.
struct TargaPrivate {
  uint8_t raw[18];
  int idLength;
  int mapType;
  int imageType;
  int mapFirst;
  int mapLength;
  int mapEntryBits;
  int fileBpp;
  int descriptor;
};

bool Mapped(int type) { return type == 1 || type == 9; }
bool Grey(int type) { return type == 3 || type == 11; }
bool RunLength(int type) { return type >= 9; }

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char*) {
  auto* p = imgfmt_private<TargaPrivate>(h);
  if (int rc = imgfmt_read_exact(fd, p->raw, 18)) return rc;
  const uint8_t* b = p->raw;
  p->idLength = b[0];
  p->mapType = b[1];
  p->imageType = b[2];
  p->mapFirst = GetLe16(b + 3);
  p->mapLength = GetLe16(b + 5);
  p->mapEntryBits = b[7];
  p->fileBpp = b[16];
  p->descriptor = b[17];
  switch (p->imageType) {
    case 1:
    case 9:
      if (p->fileBpp != 8) return kErrBpp;
      if (p->mapEntryBits != 24) return kErrMapEntry;
      break;
    case 2:
    case 10:
      if (p->fileBpp != 16 && p->fileBpp != 24 && p->fileBpp != 32) return kErrBpp;
      break;
    case 3:
    case 11:
      if (p->fileBpp != 8) return kErrBpp;
      break;
    default: return kErrCompression;
  }
  h->width = GetLe16(b + 12);
  h->height = GetLe16(b + 14);
  if (int rc = imgfmt_check_size(h->width, h->height)) return rc;
  h->bpp = p->fileBpp == 8 ? 8 : 24;
  return IMGFMT_OK;
}

int ReadPalette(int fd, ImgFmtHeader* h, ImgFmtRgb* pal) {
  auto* p = imgfmt_private<TargaPrivate>(h);
  if (Grey(p->imageType)) {
    for (int i = 0; i < 256; ++i) pal[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
    return IMGFMT_OK;
  }
  std::memset(pal, 0, 256 * sizeof *pal);
  if (!Mapped(p->imageType) || p->mapType == 0 || p->mapLength == 0) return IMGFMT_OK;
  int64_t at = 18 + p->idLength;
  if (imgfmt_file_seek(fd, at, 0) != at) return IMGFMT_ERR_READ;
  // The whole map is read so a short file is noticed; entries past 255 have no place.
  std::vector<uint8_t> map(size_t(p->mapLength) * 3);
  if (int rc = imgfmt_read_exact(fd, map.data(), int64_t(map.size()))) return rc;
  for (int i = 0; i < p->mapLength && p->mapFirst + i < 256; ++i) {
    const uint8_t* e = &map[size_t(i) * 3];
    pal[p->mapFirst + i] = {e[2], e[1], e[0]};
  }
  return IMGFMT_OK;
}

// Converts one file pixel of `bytes` bytes to the library's layout at `out`.
inline void PutPixel(const uint8_t* in, int bytes, uint8_t* out) {
  switch (bytes) {
    case 1: out[0] = in[0]; break;
    case 2: {
      int v = GetLe16(in);
      out[0] = uint8_t((v & 0x1f) << 3);
      out[1] = uint8_t(((v >> 5) & 0x1f) << 3);
      out[2] = uint8_t(((v >> 10) & 0x1f) << 3);
      break;
    }
    default:  // 3, or 4 with the alpha byte dropped
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
      break;
  }
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  auto* p = imgfmt_private<TargaPrivate>(h);
  int64_t at = 18 + p->idLength;
  if (p->mapType != 0) {
    int entryBits = p->mapEntryBits == 15 ? 16 : p->mapEntryBits;
    at += int64_t(entryBits) * p->mapLength / 8;
  }
  if (imgfmt_file_seek(fd, at, 0) != at) return IMGFMT_ERR_READ;

  const int32_t w = h->width, ht = h->height;
  const int64_t stride = imgfmt_row_bytes(w, h->bpp);
  const int bytes = (p->fileBpp + 7) / 8;
  const int outBytes = h->bpp / 8;
  const bool topFirst = (p->descriptor & 0x20) != 0;
  auto rowOf = [&](int32_t fileRow) { return data + (topFirst ? ht - 1 - fileRow : fileRow) * stride; };

  if (!RunLength(p->imageType)) {
    std::vector<uint8_t> line(size_t(w) * size_t(bytes));
    for (int32_t y = 0; y < ht; ++y) {
      if (int rc = imgfmt_read_exact(fd, line.data(), int64_t(line.size()))) return rc;
      uint8_t* row = rowOf(y);
      for (int32_t x = 0; x < w; ++x) PutPixel(&line[size_t(x) * size_t(bytes)], bytes, row + x * outBytes);
    }
    return IMGFMT_OK;
  }

  ImgFmtReadAhead* ra = imgfmt_ra_create(fd);
  if (!ra) return IMGFMT_ERR_MEMORY;
  int rc = IMGFMT_OK;
  const int64_t total = int64_t(w) * ht;
  int64_t done = 0;
  uint8_t pixel[4];
  auto getPixel = [&]() {
    for (int i = 0; i < bytes; ++i) {
      int c = imgfmt_ra_get(ra);
      if (c < 0) return false;
      pixel[i] = uint8_t(c);
    }
    return true;
  };
  auto store = [&]() {
    int32_t y = int32_t(done / w), x = int32_t(done % w);
    PutPixel(pixel, bytes, rowOf(y) + x * outBytes);
    ++done;
  };
  while (done < total) {
    int n = imgfmt_ra_get(ra);
    if (n < 0) {
      rc = IMGFMT_ERR_READ;
      break;
    }
    int count = (n & 0x80) ? n - 127 : n + 1;
    // Packets may run on across rows, but never past the last pixel of the picture.
    if (count > total - done) {
      rc = IMGFMT_ERR_READ;
      break;
    }
    if (n & 0x80) {
      if (!getPixel()) {
        rc = IMGFMT_ERR_READ;
        break;
      }
      while (count--) store();
    } else {
      while (count--) {
        if (!getPixel()) {
          rc = IMGFMT_ERR_READ;
          break;
        }
        store();
      }
    }
    if (rc) break;
  }
  imgfmt_ra_free(ra);
  return rc;
}

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
          const char* options) {
  int depths = 0, depth = h->bpp;
  for (int d : {16, 24, 32}) {
    char word[3] = {char('0' + d / 10), char('0' + d % 10), 0};
    if (imgfmt_option_flag(options, word)) {
      ++depths;
      depth = d;
    }
  }
  bool yup = imgfmt_option_flag(options, "yup"), ydown = imgfmt_option_flag(options, "ydown");
  if (depths > 1 || (h->bpp == 8 && depths > 0) || (yup && ydown)) return IMGFMT_ERR_BAD_OPTION;
  if (h->bpp != 8 && h->bpp != 24) return IMGFMT_ERR_NOT_SUPPORTED;

  uint8_t head[18] = {};
  if (depth == 8) {
    head[1] = 1;
    head[2] = 1;
    PutLe16(head + 5, 256);
    head[7] = 24;
  } else {
    head[2] = 2;
  }
  PutLe16(head + 12, h->width);
  PutLe16(head + 14, h->height);
  head[16] = uint8_t(depth);
  head[17] = ydown ? 0x20 : 0;
  if (int rc = imgfmt_write_exact(fd, head, 18)) return rc;
  if (depth == 8) {
    uint8_t map[768];
    for (int i = 0; i < 256; ++i) {
      map[i * 3] = pal[i].b;
      map[i * 3 + 1] = pal[i].g;
      map[i * 3 + 2] = pal[i].r;
    }
    if (int rc = imgfmt_write_exact(fd, map, 768)) return rc;
  }

  const int32_t w = h->width;
  const int64_t stride = imgfmt_row_bytes(w, h->bpp);
  const int bytes = depth / 8;
  std::vector<uint8_t> line(size_t(w) * size_t(bytes));
  for (int32_t i = 0; i < h->height; ++i) {
    const uint8_t* src = data + (ydown ? h->height - 1 - i : i) * stride;
    if (depth == 8 || depth == 24) {
      std::memcpy(line.data(), src, line.size());
    } else {
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* s = src + x * 3;
        uint8_t* o = &line[size_t(x) * size_t(bytes)];
        if (depth == 16) {
          PutLe16(o, (s[0] >> 3) | ((s[1] >> 3) << 5) | ((s[2] >> 3) << 10));
        } else {
          o[0] = s[0];
          o[1] = s[1];
          o[2] = s[2];
          o[3] = 255;  // opaque, for readers that honour the fourth byte
        }
      }
    }
    if (int rc = imgfmt_write_exact(fd, line.data(), int64_t(line.size()))) return rc;
  }
  return IMGFMT_OK;
}

const char* ErrorText(int code) {
  switch (code) {
    case kErrBpp: return "bits per pixel not 8, 16, 24 or 32";
    case kErrCompression: return "unsupported compression type for bits per pixel";
    case kErrMapEntry: return "color map entry size not 24 bits per pixel";
    default: return nullptr;
  }
}

}  // namespace

const ImgFmtCodec imgfmt_codec_targa = {{"Targa", "Truevision Targa/Vista bitmap", "TGA VST AFI", 0xcc},
                                        ReadHeader,
                                        ReadPalette,
                                        ReadData,
                                        Write,
                                        ErrorText};
