// Binary greymap (P5), 8 bits per pixel.
#include <cstdio>
#include <cstring>
#include <vector>

#include "imageformats/ImgFmtCodec.h"

namespace {

// `last` is the character that ended the previous token; a '#' there opens a comment.
int SkipAndNumber(ImgFmtReadAhead* ra, int* last, int32_t* value) {
  int c = *last == '#' ? '#' : imgfmt_ra_get(ra);
  for (;;) {
    if (c == '#') {
      while (c != '\n' && c != '\r' && c != -1) c = imgfmt_ra_get(ra);
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
      c = imgfmt_ra_get(ra);
    } else {
      break;
    }
  }
  if (c == -1) return IMGFMT_ERR_READ;
  if (c < '0' || c > '9') return IMGFMT_ERR_BAD_MAGIC;
  int64_t v = 0;
  while (c >= '0' && c <= '9') {
    v = v * 10 + (c - '0');
    if (v > 1000000000) return IMGFMT_ERR_BAD_SIZE;
    c = imgfmt_ra_get(ra);
  }
  // The character after the number belongs to it (after the maximum it ends the header).
  if (c == -1) return IMGFMT_ERR_READ;
  *last = c;
  *value = int32_t(v);
  return IMGFMT_OK;
}

}  // namespace

int imgfmt_pnm_header(int fd, char magic, int badMaxCode, int32_t* width, int32_t* height, int32_t* maximum,
                      int64_t* headerBytes) {
  if (imgfmt_file_seek(fd, 0, 0) != 0) return IMGFMT_ERR_READ;
  ImgFmtReadAhead* ra = imgfmt_ra_create(fd);
  if (!ra) return IMGFMT_ERR_MEMORY;
  int rc = IMGFMT_OK;
  int c0 = imgfmt_ra_get(ra), c1 = imgfmt_ra_get(ra);
  if (c0 == -1 || c1 == -1) rc = IMGFMT_ERR_READ;
  else if (c0 != 'P' || c1 != magic) rc = IMGFMT_ERR_BAD_MAGIC;
  int last = 0;
  if (!rc) rc = SkipAndNumber(ra, &last, width);
  if (!rc) rc = SkipAndNumber(ra, &last, height);
  if (!rc) rc = SkipAndNumber(ra, &last, maximum);
  if (!rc) rc = imgfmt_check_size(*width, *height);
  if (!rc && (*maximum < 2 || *maximum > 255)) rc = badMaxCode;
  *headerBytes = imgfmt_ra_taken(ra);
  imgfmt_ra_free(ra);
  return rc;
}

namespace {

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char*) {
  int32_t maximum;
  int64_t bytes;
  if (int rc = imgfmt_pnm_header(fd, '5', 100, &h->width, &h->height, &maximum, &bytes)) return rc;
  h->bpp = 8;
  return IMGFMT_OK;
}

int ReadPalette(int fd, ImgFmtHeader* h, ImgFmtRgb* pal) {
  int32_t w, hh, maximum;
  int64_t bytes;
  int64_t pos = imgfmt_file_seek(fd, 0, 1);
  if (int rc = imgfmt_pnm_header(fd, '5', 100, &w, &hh, &maximum, &bytes)) return rc;
  if (pos >= 0) imgfmt_file_seek(fd, pos, 0);
  for (int i = 0; i < 256; ++i) {
    // Levels above the maximum are white, so stray samples show as the brightest grey.
    uint8_t v = uint8_t(i <= maximum ? i * 255 / maximum : 255);
    pal[i] = {v, v, v};
  }
  return IMGFMT_OK;
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  int32_t w, hh, maximum;
  int64_t bytes;
  if (int rc = imgfmt_pnm_header(fd, '5', 100, &w, &hh, &maximum, &bytes)) return rc;
  if (w != h->width || hh != h->height) return IMGFMT_ERR_BAD_ARG;
  if (imgfmt_file_seek(fd, bytes, 0) != bytes) return IMGFMT_ERR_READ;
  int64_t stride = imgfmt_row_bytes(w, 8);
  for (int32_t y = 0; y < hh; ++y) {
    uint8_t* row = data + (hh - 1 - y) * stride;
    if (int rc = imgfmt_read_exact(fd, row, w)) return rc;
    for (int32_t x = 0; x < w; ++x)
      if (row[x] > maximum) row[x] = uint8_t(maximum);
  }
  return IMGFMT_OK;
}

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
          const char* options) {
  uint8_t grey[256];
  if (int rc = imgfmt_grey_map(pal, options, grey)) return rc;
  char text[64];
  int n = std::snprintf(text, sizeof text, "P5\n%d %d\n255\n", h->width, h->height);
  if (int rc = imgfmt_write_exact(fd, text, n)) return rc;
  return imgfmt_write_grey_rows(fd, h, grey, data);
}

const char* ErrorText(int code) { return code == 100 ? "bad maximum pixel intensity" : nullptr; }

}  // namespace

const ImgFmtCodec imgfmt_codec_greymap = {{"Greymap", "Portable Greyscale-map (binary P5 type)", "PGM", 0x44},
                                          ReadHeader,
                                          ReadPalette,
                                          ReadData,
                                          Write,
                                          ErrorText};
