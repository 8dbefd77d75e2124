// The arithmetic kit under the renderer: 256 x 256 byte tables that combine two channel
// values, whole-bitmap 32-bit pixel operations, HSL conversion, colour and palette packing,
// length-prefixed blocks on memory streams, the file lister and the printing of one image.
// A 32-bit pixel is the bytes blue, green, red, alpha: the value 0xAARRGGBB.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/Graphics.h"

struct BlendTable {
  uint8_t* Data = nullptr;  // Width * Height bytes, row by row
  int32_t Width = 256;
  int32_t Height = 256;
  uint8_t** Rows = nullptr;  // Rows[a][b]: row operand a, column operand b
};

// Modes 0 to 21; the contents of a table of any other mode are all zero.
BlendTable* BuildBlendTable(uint8_t mode);
// Releases Rows and Data; the record too when bit 0 of flags is set.
void FreeBlendTable(BlendTable* table, int flags);

extern BlendTable* const MultiplyTable;  // a * b / 255
extern BlendTable* const SumTable;       // min(a + b, 255)

// Src is brought to 32 bits, Dst to Src's size and 32 bits; Dst may be Src.
void ImageFill(TBitmap& dst, TBitmap& src, uint32_t value);
void ImageOr(TBitmap& dst, TBitmap& src, uint32_t value);
void ImageXor(TBitmap& dst, TBitmap& src, uint32_t value);
// Red and blue exchanged, for 24- and 32-bit bitmaps of the same size and format; other
// formats are left alone. Raises EInvalidGraphicOperation when the two do not match.
void ImageSwapRB(TBitmap& dst, TBitmap& src);
// Each Dst pixel the average of a 2 x 2 block of Src by one masked add and shift. Both must
// be 32-bit and Src at least twice Dst's size (EInvalidGraphicOperation otherwise).
void Downsample2x2(TBitmap& dst, TBitmap& src);
// Hue and saturation of colour (0x00RRGGBB), lightness and alpha of each Src pixel.
void ImageColorize(TBitmap& dst, TBitmap& src, uint32_t colour);

constexpr uint32_t MakePixel(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return b | g << 8 | r << 16 | a << 24;
}
constexpr uint32_t ColorLowByte(uint32_t v) { return v & 0xFF; }
constexpr uint32_t ColorMidByte(uint32_t v) { return (v >> 8) & 0xFF; }
constexpr uint32_t ColorHighByte(uint32_t v) { return (v >> 16) & 0xFF; }
constexpr uint32_t ColorSwapRB(uint32_t v) {
  return (v & 0xFF00FF00u) | (v & 0xFF) << 16 | ((v >> 16) & 0xFF);
}
// In place on the scale 0 to 255: (r, g, b) becomes (h, l, s), and back.
void RGBToHSL(int& c1, int& c2, int& c3);
void HSLToRGB(int& c1, int& c2, int& c3);
int HueToValue(double m1, double m2, double t);

struct TLogPalette {
  uint16_t palVersion = 0;
  uint16_t palNumEntries = 0;
  uint32_t palPalEntry[256] = {};  // peRed | peGreen << 8 | peBlue << 16 | peFlags << 24
};
void InitPalette(TLogPalette& palette);
void SetPaletteEntry(TLogPalette& palette, int index, uint32_t entry);
constexpr uint32_t MakePaletteEntry(uint32_t r, uint32_t g, uint32_t b, uint32_t flags) {
  return r | g << 8 | b << 16 | flags << 24;
}
// The palette as the bitmap takes it (TBitmap::SetPalette).
std::vector<TRGBQuad> MakePalette(const TLogPalette& palette);

// A little-endian int32 length, then the bytes.
void WriteBlock(TMemoryStream& block, TStream& stream);
// Raises EReadError on a negative length or one beyond the bytes left in the stream; the
// memory stream is changed only when the whole block was read.
void ReadBlock(TMemoryStream& block, TStream& stream);

// Files (no folders) matching the mask's name part, as the mask's path + name, in the
// order the system lists them. Names are matched without regard to case.
void ListFiles(std::vector<std::string>& list, const std::string& mask);

// One page on the printer service: the image fitted by the smaller scale at the top left.
// An empty image or no printer prints nothing and returns false.
bool PrintImage(TBitmap& image);
