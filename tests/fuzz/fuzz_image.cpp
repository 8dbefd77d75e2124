// A picture file read by the image class, which chooses its codec by the file's extension
// (FUZZ_EXT, given by the build for each target).
#include "engine/XImage.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = fuzz::InputFile(data, size, std::string("input") + FUZZ_EXT);
  XImage image;
  try {
    image.LoadFromFile(path);
  } catch (const Exception&) { return 0; }
  if (image.PixelFormat() != pf32bit) abort();
  if (image.Width() > MaxImageDimension || int64_t(image.Width()) * image.Height() > MaxImagePixels) abort();
  return 0;
}
