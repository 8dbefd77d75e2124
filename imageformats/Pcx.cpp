// PCX: 1, 4 (one plane or four), 8 and 24-bit (three planes) pictures, run-length encoded.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

enum : int {
  kErrVersion = 700,
  kErrEncoding = 701,
  kErrPlanes = 702,
  kErrTrailer = 703,
};

struct PcxPrivate {
  int version;
  int bitsPerPlane;
  int planes;
  int bytesPerLine;
  bool trunc;
  uint8_t headerPalette[48];
};

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char* options) {
  auto* p = imgfmt_private<PcxPrivate>(h);
  uint8_t b[70];
  if (int rc = imgfmt_read_exact(fd, b, 70)) return rc;
  if (b[0] != 10) return IMGFMT_ERR_BAD_MAGIC;
  // Versions 0 to 5 are the published ones (5 being the current); 4 is as valid as the rest.
  if (b[1] > 5) return kErrVersion;
  if (b[2] != 1) return kErrEncoding;
  p->version = b[1];
  p->bitsPerPlane = b[3];
  p->planes = b[65];
  p->bytesPerLine = GetLe16(b + 66);
  p->trunc = imgfmt_option_flag(options, "trunc");
  std::memcpy(p->headerPalette, b + 16, 48);
  int bits = p->bitsPerPlane, planes = p->planes;
  if (bits == 1 && planes == 1) h->bpp = 1;
  else if ((bits == 1 && planes == 4) || (bits == 4 && planes == 1)) h->bpp = 4;
  else if (bits == 8 && planes == 1) h->bpp = 8;
  else if (bits == 8 && planes == 3) h->bpp = 24;
  else return kErrPlanes;
  int64_t w = int64_t(GetLe16(b + 8)) - GetLe16(b + 4) + 1;
  int64_t ht = int64_t(GetLe16(b + 10)) - GetLe16(b + 6) + 1;
  if (int rc = imgfmt_check_size(w, ht)) return rc;
  // A line must hold the row's pixels; longer lines are decoded and their excess dropped.
  if (int64_t(p->bytesPerLine) * 8 < w * bits) return IMGFMT_ERR_BAD_SIZE;
  h->width = int32_t(w);
  h->height = int32_t(ht);
  return IMGFMT_OK;
}

int ReadPalette(int fd, ImgFmtHeader* h, ImgFmtRgb* pal) {
  auto* p = imgfmt_private<PcxPrivate>(h);
  if (h->bpp == 1) {
    pal[0] = {0, 0, 0};
    pal[1] = {255, 255, 255};
    return IMGFMT_OK;
  }
  if (h->bpp == 4) {
    for (int i = 0; i < 16; ++i)
      pal[i] = {p->headerPalette[i * 3], p->headerPalette[i * 3 + 1], p->headerPalette[i * 3 + 2]};
    return IMGFMT_OK;
  }
  int64_t len = imgfmt_file_length(fd);
  if (len < 0) return IMGFMT_ERR_READ;
  if (len < 128 + 769) return kErrTrailer;
  if (imgfmt_file_seek(fd, len - 769, 0) != len - 769) return IMGFMT_ERR_READ;
  uint8_t t[769];
  if (int rc = imgfmt_read_exact(fd, t, 769)) return rc;
  if (t[0] != 12) return kErrTrailer;
  for (int i = 0; i < 256; ++i) pal[i] = {t[1 + i * 3], t[2 + i * 3], t[3 + i * 3]};
  return IMGFMT_OK;
}

// Decodes run-length lines one after another; a run may carry over from one line into the
// next unless `trunc` drops its rest at the line's end.
class LineDecoder {
 public:
  LineDecoder(ImgFmtReadAhead* ra, bool trunc) : FRa(ra), FTrunc(trunc) {}

  int Line(uint8_t* out, int n) {
    int i = 0;
    while (i < n && FLeft > 0) {
      out[i++] = FValue;
      --FLeft;
    }
    while (i < n) {
      int c = imgfmt_ra_get(FRa);
      if (c < 0) return IMGFMT_ERR_READ;
      if (c >= 192) {
        int v = imgfmt_ra_get(FRa);
        if (v < 0) return IMGFMT_ERR_READ;
        FValue = uint8_t(v);
        FLeft = c & 0x3f;
        while (i < n && FLeft > 0) {
          out[i++] = FValue;
          --FLeft;
        }
      } else {
        out[i++] = uint8_t(c);
      }
    }
    if (FTrunc) FLeft = 0;
    return IMGFMT_OK;
  }

  // A run still pending after the picture's last line overran it.
  bool Overran() const { return FLeft > 0; }

 private:
  ImgFmtReadAhead* FRa;
  bool FTrunc;
  int FLeft = 0;
  uint8_t FValue = 0;
};

int DecodeRows(ImgFmtReadAhead* ra, ImgFmtHeader* h, uint8_t* data) {
  auto* p = imgfmt_private<PcxPrivate>(h);
  const int32_t w = h->width, ht = h->height;
  const int64_t stride = imgfmt_row_bytes(w, h->bpp);
  const int bpl = p->bytesPerLine;
  std::vector<uint8_t> line;
  try {
    line.resize(size_t(bpl));
  } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
  LineDecoder dec(ra, p->trunc);
  for (int32_t y = 0; y < ht; ++y) {
    uint8_t* row = data + (ht - 1 - y) * stride;
    if (p->planes == 1) {
      if (int rc = dec.Line(line.data(), bpl)) return rc;
      size_t used = size_t((int64_t(w) * h->bpp + 7) / 8);
      std::memcpy(row, line.data(), used);
    } else if (h->bpp == 4) {
      std::memset(row, 0, size_t(stride));
      for (int k = 0; k < 4; ++k) {
        if (int rc = dec.Line(line.data(), bpl)) return rc;
        for (int32_t x = 0; x < w; ++x)
          if (line[size_t(x / 8)] & (0x80 >> (x % 8))) row[x / 2] |= uint8_t((1 << k) << (x % 2 ? 0 : 4));
      }
    } else {
      for (int k = 0; k < 3; ++k) {  // red, green, blue planes into B, G, R pixels
        if (int rc = dec.Line(line.data(), bpl)) return rc;
        for (int32_t x = 0; x < w; ++x) row[x * 3 + 2 - k] = line[size_t(x)];
      }
    }
  }
  return dec.Overran() ? IMGFMT_ERR_READ : IMGFMT_OK;
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  if (imgfmt_file_seek(fd, 128, 0) != 128) return IMGFMT_ERR_READ;
  ImgFmtReadAhead* ra = imgfmt_ra_create(fd);
  if (!ra) return IMGFMT_ERR_MEMORY;
  int rc = DecodeRows(ra, h, data);
  imgfmt_ra_free(ra);
  return rc;
}

// Appends the run-length code of one line.
void EncodeLine(const uint8_t* in, int n, std::vector<uint8_t>& out) {
  int i = 0;
  while (i < n) {
    uint8_t v = in[i];
    int run = 1;
    while (i + run < n && run < 63 && in[i + run] == v) ++run;
    if (run > 1 || v >= 192) {
      out.push_back(uint8_t(192 + run));
      out.push_back(v);
    } else {
      out.push_back(v);
    }
    i += run;
  }
}

int Brightness(const ImgFmtRgb& c) { return 30 * c.r + 60 * c.g + 10 * c.b; }

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
          const char*) {
  const int32_t w = h->width, ht = h->height, bpp = h->bpp;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) return IMGFMT_ERR_NOT_SUPPORTED;
  const int bits = bpp == 24 ? 8 : bpp;
  const int planes = bpp == 24 ? 3 : 1;
  int64_t bpl = (int64_t(bits) * w + 7) / 8;
  bpl += bpl & 1;
  if (bpl > 0xffff) return IMGFMT_ERR_BAD_SIZE;

  uint8_t head[128] = {};
  head[0] = 10;
  head[1] = 5;
  head[2] = 1;
  head[3] = uint8_t(bits);
  PutLe16(head + 8, w - 1);
  PutLe16(head + 10, ht - 1);
  if (bpp == 4)
    for (int i = 0; i < 16; ++i) {
      head[16 + i * 3] = pal[i].r;
      head[17 + i * 3] = pal[i].g;
      head[18 + i * 3] = pal[i].b;
    }
  head[65] = uint8_t(planes);
  PutLe16(head + 66, int(bpl));
  PutLe16(head + 68, 1);
  if (int rc = imgfmt_write_exact(fd, head, 128)) return rc;

  // 1 stands for the brighter colour in a 1-bit file.
  const bool invert = bpp == 1 && Brightness(pal[1]) < Brightness(pal[0]);
  const int64_t stride = imgfmt_row_bytes(w, bpp);
  std::vector<uint8_t> line, out;
  try {
    line.resize(size_t(bpl));
    out.reserve(size_t(bpl) * 2 * size_t(planes));
  } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
  const size_t used = size_t((int64_t(bits) * w + 7) / 8);
  for (int32_t y = ht - 1; y >= 0; --y) {
    const uint8_t* src = data + y * stride;
    out.clear();
    for (int k = 0; k < planes; ++k) {
      std::fill(line.begin(), line.end(), 0);
      if (planes == 1) {
        std::memcpy(line.data(), src, used);
        if (invert)
          for (size_t i = 0; i < used; ++i) line[i] = uint8_t(~line[i]);
      } else {
        for (int32_t x = 0; x < w; ++x) line[size_t(x)] = src[x * 3 + 2 - k];
      }
      EncodeLine(line.data(), int(bpl), out);
    }
    if (int rc = imgfmt_write_exact(fd, out.data(), int64_t(out.size()))) return rc;
  }
  if (bpp == 8) {
    uint8_t t[769];
    t[0] = 12;
    for (int i = 0; i < 256; ++i) {
      t[1 + i * 3] = pal[i].r;
      t[2 + i * 3] = pal[i].g;
      t[3 + i * 3] = pal[i].b;
    }
    if (int rc = imgfmt_write_exact(fd, t, 769)) return rc;
  }
  return IMGFMT_OK;
}

const char* ErrorText(int code) {
  switch (code) {
    case kErrVersion: return "version number not 4 or 5";
    case kErrEncoding: return "encoding mode not 1";
    case kErrPlanes: return "unsupported bpp/plane / plane combination";
    case kErrTrailer: return "corrupt file trailer";
    default: return nullptr;
  }
}

}  // namespace

const ImgFmtCodec imgfmt_codec_pcx = {{"PCX", "ZSoft PC Paintbrush Image format", "PCX PCC", 0xff},
                                      ReadHeader,
                                      ReadPalette,
                                      ReadData,
                                      Write,
                                      ErrorText};
