// 8-bit images whose palette lies in a companion ".pal" or ".kpl" file.
#include <cstring>
#include <string>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

struct KipsPrivate {
  char name[1024];
  bool kpl;
};

const char kMagic[8] = {'D', 'F', 'I', 'M', 'A', 'G', '0', '0'};

std::string CompanionName(const char* name, bool kpl) {
  std::string s = name;
  size_t dot = s.find_last_of('.');
  size_t sep = s.find_last_of("/\\");
  if (dot == std::string::npos || (sep != std::string::npos && sep > dot)) s += '.';
  else s.resize(dot + 1);
  return s + (kpl ? "kpl" : "pal");
}

int Options(const char* options, bool* kpl) {
  bool pal = imgfmt_option_flag(options, "pal");
  *kpl = imgfmt_option_flag(options, "kpl");
  return pal && *kpl ? IMGFMT_ERR_BAD_OPTION : IMGFMT_OK;
}

int ReadHeader(const char* name, int fd, ImgFmtHeader* h, const char* options) {
  auto* p = imgfmt_private<KipsPrivate>(h);
  if (int rc = Options(options, &p->kpl)) return rc;
  if (std::strlen(name) >= sizeof p->name) return IMGFMT_ERR_BAD_ARG;
  std::strcpy(p->name, name);
  uint8_t head[32];
  if (int rc = imgfmt_read_exact(fd, head, 32)) return rc;
  if (std::memcmp(head, kMagic, 8)) return IMGFMT_ERR_BAD_MAGIC;
  h->height = GetLe16(head + 8);
  h->width = GetLe16(head + 10);
  if (int rc = imgfmt_check_size(h->width, h->height)) return rc;
  h->bpp = 8;
  return IMGFMT_OK;
}

int ReadPalette(int, ImgFmtHeader* h, ImgFmtRgb* pal) {
  auto* p = imgfmt_private<KipsPrivate>(h);
  std::string companion = CompanionName(p->name, p->kpl);
  int fd = imgfmt_file_open(companion.c_str(), IMGFMT_O_BINARY | IMGFMT_O_RDONLY);
  if (fd < 0) return 500;
  uint8_t buf[1024];
  int rc = IMGFMT_OK;
  if (p->kpl) {
    rc = imgfmt_read_exact(fd, buf, 32);
    if (!rc && std::memcmp(buf, kMagic, 8)) rc = IMGFMT_ERR_BAD_MAGIC;
    if (!rc && (GetLe16(buf + 8) != 3 || GetLe16(buf + 10) != 256)) rc = IMGFMT_ERR_BAD_SIZE;
    if (!rc) rc = imgfmt_read_exact(fd, buf, 768);  // a short palette file is a read error
    for (int i = 0; !rc && i < 256; ++i) pal[i] = {buf[i], buf[512 + i], buf[256 + i]};
  } else {
    rc = imgfmt_read_exact(fd, buf, 1024);
    for (int i = 0; !rc && i < 256; ++i) pal[i] = {buf[i * 4], buf[i * 4 + 2], buf[i * 4 + 1]};
  }
  imgfmt_file_close(fd);
  return rc;
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  if (imgfmt_file_seek(fd, 32, 0) != 32) return IMGFMT_ERR_READ;
  int64_t stride = imgfmt_row_bytes(h->width, 8);
  for (int32_t y = 0; y < h->height; ++y)
    if (int rc = imgfmt_read_exact(fd, data + (h->height - 1 - y) * stride, h->width)) return rc;
  return IMGFMT_OK;
}

void Header(uint8_t head[32], int height, int width) {
  std::memset(head, 0, 32);
  std::memcpy(head, kMagic, 8);
  PutLe16(head + 8, uint16_t(height));
  PutLe16(head + 10, uint16_t(width));
  head[12] = 1;
}

int Write(const char* name, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
          const char* options) {
  bool kpl;
  if (int rc = Options(options, &kpl)) return rc;
  if (h->width > 0xffff || h->height > 0xffff) return IMGFMT_ERR_BAD_SIZE;
  uint8_t head[32];
  Header(head, h->height, h->width);
  if (int rc = imgfmt_write_exact(fd, head, 32)) return rc;
  int64_t stride = imgfmt_row_bytes(h->width, 8);
  for (int32_t y = h->height - 1; y >= 0; --y)
    if (int rc = imgfmt_write_exact(fd, data + y * stride, h->width)) return rc;
  std::string companion = CompanionName(name, kpl);
  int pfd = imgfmt_file_create(companion.c_str(), IMGFMT_O_BINARY | IMGFMT_O_WRONLY);
  if (pfd < 0) return 501;
  std::vector<uint8_t> out;
  if (kpl) {
    Header(head, 3, 256);
    out.assign(head, head + 32);
    for (int i = 0; i < 256; ++i) out.push_back(pal[i].r);
    for (int i = 0; i < 256; ++i) out.push_back(pal[i].b);
    for (int i = 0; i < 256; ++i) out.push_back(pal[i].g);
  } else {
    for (int i = 0; i < 256; ++i) out.insert(out.end(), {pal[i].r, pal[i].b, pal[i].g, 0});
  }
  int rc = imgfmt_write_exact(pfd, out.data(), int64_t(out.size()));
  if (imgfmt_file_close(pfd) != 0 && !rc) rc = IMGFMT_ERR_WRITE;
  return rc;
}

const char* ErrorText(int code) {
  if (code == 500) return "can't open complementary palette file";
  if (code == 501) return "can't create complementary palette file";
  return nullptr;
}

}  // namespace

const ImgFmtCodec imgfmt_codec_kips = {
    {"KIPS", "IBM KIPS", "KPS", 0x44}, ReadHeader, ReadPalette, ReadData, Write, ErrorText};
