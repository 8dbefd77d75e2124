// PNG reader over libpng: any PNG becomes 8-bit RGB or RGBA rows, top row first.
// One file is read at a time (the state is global).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// 0, 1 not a PNG file, 2 libpng reported an error (or the image is over the size limits),
// 4 out of memory.
int PngReaderInit(FILE* file, uint32_t* width, uint32_t* height);
// The decoded rows (row bytes x height), or nullptr on any failure. A display exponent that
// is not positive asks for no gamma correction.
uint8_t* PngReaderGetImage(double displayExponent, int* channels, size_t* rowBytes);
// The same as four bytes a pixel, blue, green, red and alpha (255 where the file has none):
// the layout of a 32-bit bitmap's rows, from the top.
uint8_t* PngReaderGetImageBGRA(double displayExponent, size_t* rowBytes);
// Whether the file may hold pixels that are not opaque (it has an alpha channel or a
// transparent colour); valid from PngReaderInit to PngReaderCleanup.
bool PngReaderMayHaveAlpha();
// Whether the last read failed because the file's image data ran on far past its last row.
bool PngReaderDataRanOn();
void PngReaderCleanup(bool freeImage);
// The file's bKGD colour: 0, 1 when there is none, 2 on a libpng error.
int PngReaderGetBackground(uint8_t* red, uint8_t* green, uint8_t* blue);
void PngReaderVersionInfo();
