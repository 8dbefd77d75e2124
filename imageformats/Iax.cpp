// Headerless 8-bit images; the width comes from the option "width=".
#include <vector>

#include "imageformats/ImgFmtCodec.h"

namespace {

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char* options) {
  int32_t width = 512;
  if (int rc = imgfmt_option_int(options, "width=", &width)) return rc;
  if (width < 1) return IMGFMT_ERR_BAD_SIZE;  // before the length is divided by it
  int64_t length = imgfmt_file_length(fd);
  if (length < 0) return IMGFMT_ERR_READ;
  int64_t height = length / width;
  if (int rc = imgfmt_check_size(width, height)) return rc;
  if (length % width) return 1500;
  h->width = width;
  h->height = int32_t(height);
  h->bpp = 8;
  return IMGFMT_OK;
}

int ReadPalette(int, ImgFmtHeader*, ImgFmtRgb* pal) {
  for (int i = 0; i < 256; ++i) pal[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
  return IMGFMT_OK;
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  if (imgfmt_file_seek(fd, 0, 0) != 0) return IMGFMT_ERR_READ;
  int64_t stride = imgfmt_row_bytes(h->width, 8);
  for (int32_t y = 0; y < h->height; ++y)
    if (int rc = imgfmt_read_exact(fd, data + (h->height - 1 - y) * stride, h->width)) return rc;
  return IMGFMT_OK;
}

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
          const char* options) {
  uint8_t grey[256];
  if (int rc = imgfmt_grey_map(pal, options, grey)) return rc;
  return imgfmt_write_grey_rows(fd, h, grey, data);
}

const char* ErrorText(int code) {
  return code == 1500 ? "file length is not a multiple of its width" : nullptr;
}

}  // namespace

const ImgFmtCodec imgfmt_codec_iax = {
    {"IAX", "IBM Image Access eXecutive", "IAX", 0x44}, ReadHeader, ReadPalette, ReadData, Write, ErrorText};
