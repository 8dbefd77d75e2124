// 4:1:1 YUV frame-buffer images: groups of 4 pixels in 6 bytes, 24 bits per pixel.
#include <cstring>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

const char kMagic[6] = {'Y', 'U', 'V', '1', '2', 'C'};

uint8_t Clamp(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char*) {
  uint8_t head[16];
  if (int rc = imgfmt_read_exact(fd, head, 16)) return rc;
  if (std::memcmp(head, kMagic, 6)) return IMGFMT_ERR_BAD_MAGIC;
  h->width = GetLe16(head + 12);
  h->height = GetLe16(head + 14);
  if (int rc = imgfmt_check_size(h->width, h->height)) return rc;
  if (h->width % 4) return 1000;
  h->bpp = 24;
  return IMGFMT_OK;
}

int ReadPalette(int, ImgFmtHeader*, ImgFmtRgb*) { return IMGFMT_OK; }

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  if (imgfmt_file_seek(fd, 16, 0) != 16) return IMGFMT_ERR_READ;
  int64_t stride = imgfmt_row_bytes(h->width, 24);
  int groups = h->width / 4;
  std::vector<uint8_t> line(size_t(groups) * 6);
  for (int32_t y = 0; y < h->height; ++y) {
    if (int rc = imgfmt_read_exact(fd, line.data(), int64_t(line.size()))) return rc;
    uint8_t* row = data + (h->height - 1 - y) * stride;
    for (int g = 0; g < groups; ++g) {
      const uint8_t* b = &line[size_t(g) * 6];
      int ys[4] = {(b[1] & 0x0f) << 4 | ((b[0] >> 5) & 7) << 1, b[3],
                   (b[2] & 0x0f) << 4 | ((b[5] >> 5) & 7) << 1, b[4]};
      int u =
          int8_t((b[1] & 0xc0) | ((b[0] >> 2) & 3) << 4 | ((b[2] >> 6) & 3) << 2 | ((b[5] >> 3) & 1) << 1);
      int v =
          int8_t(((b[1] >> 4) & 3) << 6 | (b[0] & 3) << 4 | ((b[2] >> 4) & 3) << 2 | ((b[5] >> 1) & 1) << 1);
      int db = u * 908 / 635;
      int dg = -(u * 19 * 908 / 63500) - (v * 51 * 716 / 63500);
      int dr = v * 716 / 635;
      for (int i = 0; i < 4; ++i) {
        uint8_t* px = row + (g * 4 + i) * 3;
        px[0] = Clamp(ys[i] + db);
        px[1] = Clamp(ys[i] + dg);
        px[2] = Clamp(ys[i] + dr);
      }
    }
  }
  return IMGFMT_OK;
}

int Chroma(int sum) {
  int c = sum < -512 ? -128 : sum >= 512 ? 127 : (sum >> 2);
  return c & ~1;
}

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb*, const uint8_t* data,
          const char* options) {
  int32_t xpos = 0, ypos = 0;
  if (int rc = imgfmt_option_int(options, "xpos=", &xpos)) return rc;
  if (int rc = imgfmt_option_int(options, "ypos=", &ypos)) return rc;
  if (xpos < 0 || xpos > 0xffff || ypos < 0 || ypos > 0xffff) return IMGFMT_ERR_BAD_OPTION;
  int32_t width = h->width & ~3;
  if (width < 4) return 1000;  // nothing would be left of the image
  if (width > 0xffff || h->height > 0xffff) return IMGFMT_ERR_BAD_SIZE;
  uint8_t head[16] = {'Y', 'U', 'V', '1', '2', 'C', 0, 0};
  PutLe16(head + 8, uint16_t(xpos));
  PutLe16(head + 10, uint16_t(ypos));
  PutLe16(head + 12, uint16_t(width));
  PutLe16(head + 14, uint16_t(h->height));
  if (int rc = imgfmt_write_exact(fd, head, 16)) return rc;
  int64_t stride = imgfmt_row_bytes(h->width, 24);
  std::vector<uint8_t> line(size_t(width / 4) * 6);
  for (int32_t y = h->height - 1; y >= 0; --y) {
    const uint8_t* row = data + y * stride;
    for (int g = 0; g < width / 4; ++g) {
      int ys[4], su = 0, sv = 0;
      for (int i = 0; i < 4; ++i) {
        const uint8_t* px = row + (g * 4 + i) * 3;
        int yy = (51 * px[2] + 100 * px[1] + 19 * px[0]) / 170;
        su += (px[0] - yy) * 635 / 908;
        sv += (px[2] - yy) * 635 / 716;
        ys[i] = yy & ~1;
      }
      int u = Chroma(su) & 0xff, v = Chroma(sv) & 0xff;
      uint8_t* b = &line[size_t(g) * 6];
      b[0] = uint8_t(((ys[0] >> 1) & 7) << 5 | ((u >> 4) & 3) << 2 | ((v >> 4) & 3));
      b[1] = uint8_t((u & 0xc0) | ((v >> 6) & 3) << 4 | ((ys[0] >> 4) & 0x0f));
      b[2] = uint8_t(((u >> 2) & 3) << 6 | ((v >> 2) & 3) << 4 | ((ys[2] >> 4) & 0x0f));
      b[3] = uint8_t(ys[1]);
      b[4] = uint8_t(ys[3]);
      b[5] = uint8_t(((ys[2] >> 1) & 7) << 5 | ((u >> 1) & 1) << 3 | ((v >> 1) & 1) << 1);
    }
    if (int rc = imgfmt_write_exact(fd, line.data(), int64_t(line.size()))) return rc;
  }
  return IMGFMT_OK;
}

const char* ErrorText(int code) { return code == 1000 ? "width not a multiple of 4 pixels" : nullptr; }

}  // namespace

const ImgFmtCodec imgfmt_codec_yuv12c = {{"YUV12C", "YUV12C M-Motion Video Frame Buffer", "VID", 0x88},
                                         ReadHeader,
                                         ReadPalette,
                                         ReadData,
                                         Write,
                                         ErrorText};
