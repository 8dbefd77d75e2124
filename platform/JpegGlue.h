// Plain C-style calls into libjpeg. Its errors leave through longjmp inside these functions
// only, so no C++ object with a destructor is ever alive across a jump; the callers turn
// the result codes into exceptions.
#pragma once
#include <cstddef>
#include <cstdint>

struct JpegDecoded {
  uint8_t* Pixels;  // malloc'd RGB rows from the top, Width * 3 bytes each; free() it
  int Width, Height;
  int Components;  // components in the file (1 for grey)
  char Message[200];
};

// 0 on success. maxSide and maxPixels bound the size before any pixel memory is taken.
int JpegDecodeMemory(const uint8_t* data, size_t size, int maxSide, int64_t maxPixels, JpegDecoded* out);

// The same, into the block of a 24-bit bitmap: rows from the bottom, blue, green, red, each
// row padded with zeros to 4 bytes. `block` is asked for the memory once the size is known:
// width, height and the bytes needed (the rows and room for one more of the decoder's); it
// gives the block, which stays the caller's, or nullptr to stop the decoding there (result 1).
// Pixels is that block on success.
using JpegBlock = uint8_t* (*)(void* context, int width, int height, size_t bytes);
int JpegDecodeMemoryDib(const uint8_t* data, size_t size, int maxSide, int64_t maxPixels, JpegBlock block,
                        void* context, JpegDecoded* out);

struct JpegEncoded {
  uint8_t* Data;  // malloc'd file bytes; free() it
  unsigned long Size;
  char Message[200];
};

// rgb: Height rows from the top of Width * 3 bytes (or Width bytes when grey). 0 on success.
int JpegEncodeMemory(const uint8_t* rgb, int width, int height, bool grey, int quality, bool progressive,
                     JpegEncoded* out);
