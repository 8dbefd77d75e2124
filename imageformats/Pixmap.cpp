// Binary pixmap (P6), 24 bits per pixel.
#include <cstdio>
#include <vector>

#include "imageformats/ImgFmtCodec.h"

namespace {

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char*) {
  int32_t maximum;
  int64_t bytes;
  if (int rc = imgfmt_pnm_header(fd, '6', 200, &h->width, &h->height, &maximum, &bytes)) return rc;
  h->bpp = 24;
  return IMGFMT_OK;
}

int ReadPalette(int, ImgFmtHeader*, ImgFmtRgb*) { return IMGFMT_OK; }

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  int32_t w, hh, maximum;
  int64_t bytes;
  if (int rc = imgfmt_pnm_header(fd, '6', 200, &w, &hh, &maximum, &bytes)) return rc;
  if (w != h->width || hh != h->height) return IMGFMT_ERR_BAD_ARG;
  if (imgfmt_file_seek(fd, bytes, 0) != bytes) return IMGFMT_ERR_READ;
  int64_t stride = imgfmt_row_bytes(w, 24);
  std::vector<uint8_t> line(size_t(w) * 3);
  for (int32_t y = 0; y < hh; ++y) {
    uint8_t* row = data + (hh - 1 - y) * stride;
    if (int rc = imgfmt_read_exact(fd, line.data(), int64_t(w) * 3)) return rc;
    for (int32_t x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        int v = line[size_t(x) * 3 + size_t(c)];
        if (v > maximum) v = maximum;  // samples over the maximum are clamped
        if (maximum < 255) v = v * 255 / maximum;
        row[x * 3 + (2 - c)] = uint8_t(v);
      }
    }
  }
  return IMGFMT_OK;
}

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb*, const uint8_t* data, const char*) {
  char text[64];
  int n = std::snprintf(text, sizeof text, "P6\n%d %d\n255\n", h->width, h->height);
  if (int rc = imgfmt_write_exact(fd, text, n)) return rc;
  int64_t stride = imgfmt_row_bytes(h->width, 24);
  std::vector<uint8_t> line(size_t(h->width) * 3);
  for (int32_t y = h->height - 1; y >= 0; --y) {
    const uint8_t* src = data + y * stride;
    for (int32_t x = 0; x < h->width; ++x) {
      line[size_t(x) * 3] = src[x * 3 + 2];
      line[size_t(x) * 3 + 1] = src[x * 3 + 1];
      line[size_t(x) * 3 + 2] = src[x * 3];
    }
    if (int rc = imgfmt_write_exact(fd, line.data(), int64_t(h->width) * 3)) return rc;
  }
  return IMGFMT_OK;
}

const char* ErrorText(int code) { return code == 200 ? "bad maximum pixel intensity" : nullptr; }

}  // namespace

const ImgFmtCodec imgfmt_codec_pixmap = {{"Pixmap", "Portable Pixel-map (binary P6 type)", "PPM", 0x88},
                                         ReadHeader,
                                         ReadPalette,
                                         ReadData,
                                         Write,
                                         ErrorText};
