// BMP files to and from bitmaps.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class TBitmap;

// Decodes a whole BMP file into `out` (which should be a fresh bitmap). Every header field is
// checked before use, sizes are 64-bit and bounded by the image limits, and any read past the
// end of `data` raises EInvalidGraphic.
void ReadBmp(const uint8_t* data, size_t size, TBitmap& out);
// The file for the bitmap's current pixel format: file header, 40-byte info header (with the
// three masks of 5-6-5 after it for pf16bit), palette for indexed formats, bottom-up rows.
std::string WriteBmp(const TBitmap& bitmap);
