// 512 x 512 images in three planes red, green, blue; rows top first, pixels right to left.
#include <vector>

#include "imageformats/ImgFmtCodec.h"

namespace {

constexpr int32_t kSide = 512;
constexpr int64_t kPlane = int64_t(kSide) * kSide;

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char*) {
  int64_t length = imgfmt_file_length(fd);
  if (length < 0) return IMGFMT_ERR_READ;
  if (length != kPlane * 3) return 1800;
  h->width = h->height = kSide;
  h->bpp = 24;
  return IMGFMT_OK;
}

int ReadPalette(int, ImgFmtHeader*, ImgFmtRgb*) { return IMGFMT_OK; }

int ReadData(int fd, ImgFmtHeader*, uint8_t* data) {
  if (imgfmt_file_seek(fd, 0, 0) != 0) return IMGFMT_ERR_READ;
  int64_t stride = imgfmt_row_bytes(kSide, 24);
  std::vector<uint8_t> line(kSide);
  for (int plane = 0; plane < 3; ++plane) {
    int offset = 2 - plane;  // red, green, blue into B, G, R
    for (int32_t y = 0; y < kSide; ++y) {
      if (int rc = imgfmt_read_exact(fd, line.data(), kSide)) return rc;
      uint8_t* row = data + (kSide - 1 - y) * stride;
      for (int32_t x = 0; x < kSide; ++x) row[x * 3 + offset] = line[size_t(kSide - 1 - x)];
    }
  }
  return IMGFMT_OK;
}

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb*, const uint8_t* data, const char*) {
  if (h->width != kSide || h->height != kSide) return 1801;
  int64_t stride = imgfmt_row_bytes(kSide, 24);
  std::vector<uint8_t> line(kSide);
  for (int plane = 0; plane < 3; ++plane) {
    int offset = 2 - plane;
    for (int32_t y = 0; y < kSide; ++y) {
      const uint8_t* row = data + (kSide - 1 - y) * stride;
      for (int32_t x = 0; x < kSide; ++x) line[size_t(kSide - 1 - x)] = row[x * 3 + offset];
      if (int rc = imgfmt_write_exact(fd, line.data(), kSide)) return rc;
    }
  }
  return IMGFMT_OK;
}

const char* ErrorText(int code) {
  if (code == 1800) return "file is not correct size";
  if (code == 1801) return "portrait files can only hold 512x512 images";
  return nullptr;
}

}  // namespace

const ImgFmtCodec imgfmt_codec_portrait = {
    {"Portrait", "Portrait", "CVP", 0x88}, ReadHeader, ReadPalette, ReadData, Write, ErrorText};
