// Reduction of bitmaps of any depth to BMP streams of a smaller pixel format.
#pragma once
#include <memory>

#include "platform/Classes.h"
#include "platform/Graphics.h"

enum TMappingMethod { mmHistogram, mmQuantize, mmTrunc784, mmTrunc666, mmTripel, mmGrayscale };
extern TMappingMethod DefaultMappingMethod;

// A new stream positioned at 0 holding a BMP file of bitmap in pixelFormat. pf8bit is made
// by the mapping method from the 24-bit pixels; pf1bit and pf4bit by the bitmap's own
// conversion. Raises EInvalidGraphic "Bitmap image is not valid" for an empty bitmap.
std::unique_ptr<TMemoryStream> BitmapToMemoryStream(const TBitmap& bitmap,
                                                    TPixelFormat pixelFormat,
                                                    TMappingMethod method);
TPixelFormat GetBitmapPixelFormat(const TBitmap& bitmap);

// The popularity reduction over bottom-up 24-bit rows (blue, green, red, rows padded to 4
// bytes) to at most maxColors colours: fills palette (256 entries, unused ones grey 128)
// and writes one index per pixel into indices (rows of (width + 3) & ~3 bytes, bottom-up).
void ReduceByPopularity(const uint8_t* bits24, int width, int height, int maxColors,
                        std::vector<TRGBQuad>& palette, std::vector<uint8_t>& indices);
