// PNG files through the image class, mutated chunk by chunk: after libFuzzer's mutation the
// chunks' CRCs are written anew, so the mutations reach libpng's decoding and our reader
// instead of stopping at the first CRC check.
#include <cstring>
#include <zlib.h>

#include "engine/XImage.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The signature, then every whole chunk with its CRC computed; a cut-short chunk at the end
// is left as it is.
void FixCrcs(uint8_t* data, size_t size) {
  if (size < 8) return;
  std::memcpy(data, kSignature, 8);
  size_t at = 8;
  while (at + 12 <= size) {
    uint32_t len = Be32(data + at);
    if (len > size - at - 12) break;
    uint32_t crc = uint32_t(crc32(0, data + at + 4, uInt(len + 4)));
    PutBe32(data + at + 8 + len, crc);
    at += 12 + len;
  }
}

}  // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int) {
  size = LLVMFuzzerMutate(data, size, maxSize);
  FixCrcs(data, size);
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = fuzz::InputFile(data, size, "input.png");
  XImage image;
  try {
    image.LoadFromFile(path);
  } catch (const Exception&) {}
  return 0;
}
