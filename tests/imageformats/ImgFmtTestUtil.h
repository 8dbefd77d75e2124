// Helpers of the image-format tests: running oracle tools and reading through the library.
#pragma once
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "imageformats/ImgFmt.h"

// Output of a shell command; fails the test with a clear message when the tool is missing.
inline std::string RunTool(const std::string& tool, const std::string& command) {
  std::string check = "command -v " + tool + " >/dev/null 2>&1";
  if (std::system(check.c_str()) != 0) {
    ADD_FAILURE() << "oracle tool '" << tool << "' is missing (scripts/setup installs it)";
    return {};
  }
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    ADD_FAILURE() << "cannot run " << command;
    return {};
  }
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = pclose(p);
  EXPECT_EQ(rc, 0) << command;
  return out;
}

struct Loaded {
  int rc = -1;
  ImgFmtHeader h{};
  std::vector<uint8_t> data;
  ImgFmtRgb pal[256]{};
};

// The image class's calling order: header, data, palette.
inline Loaded LoadImage(const std::string& name, const char* options = "", int index = -1) {
  Loaded r;
  if (index < 0 && (r.rc = imgfmt_guess_format(name.c_str(), &index))) return r;
  int fd = imgfmt_file_open(name.c_str(), IMGFMT_O_BINARY);
  if (fd < 0) return r.rc = IMGFMT_ERR_NOT_FOUND, r;
  r.rc = imgfmt_read_header(name.c_str(), fd, index, &r.h, options);
  if (!r.rc) {
    r.data.assign(size_t(imgfmt_row_bytes(r.h.width, r.h.bpp) * r.h.height), 0xAA);
    r.rc = imgfmt_read_data(fd, index, &r.h, r.data.data());
  }
  if (!r.rc) r.rc = imgfmt_read_palette(fd, index, &r.h, r.pal);
  imgfmt_file_close(fd);
  return r;
}

inline int SaveImage(const std::string& name, int32_t w, int32_t h, int32_t bpp,
                     const std::vector<uint8_t>& data, const ImgFmtRgb* pal, const char* options = "") {
  int index;
  if (int rc = imgfmt_guess_format(name.c_str(), &index)) return rc;
  int fd = imgfmt_file_create(name.c_str(), IMGFMT_O_BINARY | IMGFMT_O_WRONLY);
  if (fd < 0) return IMGFMT_ERR_WRITE;
  ImgFmtHeader hd{};
  hd.width = w;
  hd.height = h;
  hd.bpp = bpp;
  int rc = imgfmt_write_image(name.c_str(), fd, index, &hd, pal, data.data(), options);
  imgfmt_file_close(fd);
  return rc;
}

// An asymmetric test pattern in the library's layout (bottom-up, padded rows).
inline std::vector<uint8_t> Pattern(int32_t w, int32_t h, int32_t bpp) {
  int64_t stride = imgfmt_row_bytes(w, bpp);
  std::vector<uint8_t> d(size_t(stride * h), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* row = d.data() + y * stride;
      unsigned v = unsigned(x * 7 + y * 13 + x * y) & 0xff;
      if (bpp == 24) {
        row[x * 3] = uint8_t(v);
        row[x * 3 + 1] = uint8_t(255 - x * 5);
        row[x * 3 + 2] = uint8_t(y * 11 + x);
      } else if (bpp == 8) {
        row[x] = uint8_t(v);
      } else if (bpp == 1) {
        if ((x + 2 * y) % 3 == 0 || x == 0) row[x / 8] |= uint8_t(0x80 >> (x % 8));
      }
    }
  return d;
}

// Top-down R, G, B bytes of a loaded picture, the palette applied.
inline std::string RgbOf(const Loaded& r) {
  std::string s;
  const int64_t stride = imgfmt_row_bytes(r.h.width, r.h.bpp);
  for (int32_t y = r.h.height - 1; y >= 0; --y) {
    const uint8_t* row = r.data.data() + y * stride;
    for (int32_t x = 0; x < r.h.width; ++x) {
      if (r.h.bpp == 24) {
        s += {char(row[x * 3 + 2]), char(row[x * 3 + 1]), char(row[x * 3])};
        continue;
      }
      int i = r.h.bpp == 8   ? row[x]
              : r.h.bpp == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15
                             : (row[x / 8] >> (7 - x % 8)) & 1;
      s += {char(r.pal[i].r), char(r.pal[i].g), char(r.pal[i].b)};
    }
  }
  return s;
}
