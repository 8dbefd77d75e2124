// A picture file read by the image class, which chooses its codec by the file's extension
// (FUZZ_EXT, given by the build for each target).
//
// Formats whose file must have a certain size or a companion file get one made from the
// input, so that inputs reach the pixels instead of stopping at the first check:
//   .cvp  the file is exactly 512 x 512 x 3 bytes: the input repeated to that length;
//   .iax  the length is a multiple of the width (512): the input padded with zeros;
//   .kps  the palette lies in "input.pal" beside it: the input's last 1,024 bytes (all of a
//         shorter input, which gives a short palette).
// With FUZZ_COUNT set, the run ends by saying how many inputs loaded as pictures.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/XImage.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

size_t gRuns = 0, gLoaded = 0;

void Count(bool loaded) {
  static const bool counting = [] {
    if (getenv("FUZZ_COUNT"))
      atexit([] { fprintf(stderr, "fuzz_image%s: %zu of %zu inputs loaded\n", FUZZ_EXT, gLoaded, gRuns); });
    return true;
  }();
  (void)counting;
  ++gRuns;
  gLoaded += loaded;
}

std::string MainFile(const uint8_t* data, size_t size) {
  const std::string ext = FUZZ_EXT;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (ext == ".cvp" && size > 0) {
    const size_t whole = size_t(512) * 512 * 3;
    std::string tiled;
    tiled.reserve(whole);
    while (tiled.size() < whole) tiled.append(bytes, 0, std::min(bytes.size(), whole - tiled.size()));
    bytes.swap(tiled);
  } else if (ext == ".iax") {
    bytes.resize(std::max<size_t>(512, (size + 511) / 512 * 512), '\0');
  } else if (ext == ".kps") {
    const size_t n = std::min<size_t>(size, 1024);
    fuzz::InputFile(data + size - n, n, "input.pal");
  }
  return fuzz::InputFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                         std::string("input") + ext);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = MainFile(data, size);
  XImage image;
  try {
    image.LoadFromFile(path);
  } catch (const Exception&) {
    Count(false);
    return 0;
  }
  Count(true);
  if (image.PixelFormat() != pf32bit) abort();
  if (image.Width() > MaxImageDimension || int64_t(image.Width()) * image.Height() > MaxImagePixels) abort();
  return 0;
}
