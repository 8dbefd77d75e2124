// One reader of the image-format library's table (FUZZ_FORMAT, the row, given by the build)
// called directly: header, data, palette, as the image class calls them, into a buffer of
// exactly the size the header gives.
#include <vector>

#include "imageformats/ImgFmt.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = fuzz::InputFile(data, size, "input.bin");
  int fd = imgfmt_file_open(path.c_str(), IMGFMT_O_BINARY);
  if (fd < 0) abort();
  ImgFmtHeader h{};
  if (imgfmt_read_header(path.c_str(), fd, FUZZ_FORMAT, &h, "") == IMGFMT_OK) {
    if (imgfmt_check_size(h.width, h.height) != IMGFMT_OK) abort();
    std::vector<uint8_t> pixels(size_t(imgfmt_row_bytes(h.width, h.bpp) * h.height));
    if (imgfmt_read_data(fd, FUZZ_FORMAT, &h, pixels.data()) == IMGFMT_OK && h.bpp <= 8) {
      ImgFmtRgb palette[256];
      imgfmt_read_palette(fd, FUZZ_FORMAT, &h, palette);
    }
  }
  imgfmt_file_close(fd);
  return 0;
}
