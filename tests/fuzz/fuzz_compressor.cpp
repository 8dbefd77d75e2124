// The bitmap compressor's record in a stream (size, pixel format, zlib block), read back and
// expanded into a bitmap.
#include "engine/TBitmapCompressor.h"
#include "platform/Graphics.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream m;
  m.WriteBuffer(data, int64_t(size));
  m.SetPosition(0);
  TBitmapCompressor c;
  TBitmap b;
  try {
    c.LoadFromStream(m);
    c.Decompress(b);
  } catch (const Exception&) {}
  return 0;
}
