// How large a picture this program takes: one policy for every codec, the renderer and the
// page. Every reader refuses a size over it before it allocates anything for the pixels.
#pragma once
#include <cstdint>

// A page is at most this many pixels on each side. A metafile, which can be drawn at any
// size, is drawn no larger.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// The fuzz targets' build (tests/fuzz) runs every input under the sanitizers, some thirty
// times slower than the program: the same policy at an eighth of the side keeps the fuzzer
// on the readers' logic instead of on filling large pictures. The unit tests load the full
// sizes.
constexpr int32_t MaxPageSide = 1024;
#else
constexpr int32_t MaxPageSide = 8192;
#endif
// A picture may be a long strip (a banner, a panorama) wider or higher than a page, as long
// as it has no more pixels than the largest page: 256 MB decoded at 32 bits, and about twice
// that at the peak of a load.
constexpr int32_t MaxImageDimension = 2 * MaxPageSide;
constexpr int64_t MaxImagePixels = int64_t(MaxPageSide) * MaxPageSide;

// True when a picture of width by height is within the limits (an empty one is). The
// arithmetic is 64-bit, so any two 32-bit sides can be passed.
constexpr bool ImageSizeAllowed(int64_t width, int64_t height) {
  return width >= 0 && height >= 0 && width <= MaxImageDimension && height <= MaxImageDimension &&
         width * height <= MaxImagePixels;
}

// The largest picture file read: the largest picture uncompressed at 32 bits, written as text
// (a plain pixmap spends up to four characters on a sample) and some more. A larger file, or
// one that reads on past it, is no picture this program can hold.
constexpr int64_t MaxPictureFileBytes = MaxImagePixels * 16 + (int64_t(1) << 20);

// The pixels the program keeps of the pictures it has read (the textures of its pages), at
// 32 bits: as much as the largest picture. Past it the pictures drawn longest ago are
// released and read again from their files when they are drawn next.
constexpr int64_t kImageCacheBytes = MaxImagePixels * 4;
