// Reduction of bitmaps of any depth to BMP streams of a smaller pixel format.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gif/Vclutils.h"
#include "platform/Canvas.h"
#include "platform/Classes.h"
#include "platform/Graphics.h"

enum TMappingMethod { mmHistogram, mmQuantize, mmTrunc784, mmTrunc666, mmTripel, mmGrayscale };
extern TMappingMethod DefaultMappingMethod;

// A new stream positioned at 0 holding a BMP file of bitmap in pixelFormat. pf8bit is made
// by the mapping method from the 24-bit pixels (256 palette entries; the colours-used field
// counts the colours of mmQuantize, mmTrunc784 and mmTrunc666); pf24bit holds the colours
// the method chose, as 24-bit pixels; pf1bit and pf4bit come from the bitmap's own
// conversion. Raises EInvalidGraphic "Bitmap image is not valid" for an empty bitmap and
// ends in NotImplemented for any other format.
// progress, when given, is told the share of the rows done (0..1, rising) as the mapping
// method goes over them.
using TReduceProgress = std::function<void(double share)>;
std::unique_ptr<TMemoryStream> BitmapToMemoryStream(const TBitmap& bitmap, TPixelFormat pixelFormat,
                                                    TMappingMethod method,
                                                    const TReduceProgress& progress = nullptr);
TPixelFormat GetBitmapPixelFormat(const TBitmap& bitmap);

// The result of a mapping method: a palette of 256 entries, the number of colours it made
// (0 when the method leaves the colours-used field open) and one index per pixel in rows of
// (width + 3) & ~3 bytes, bottom-up like the 24-bit input.
struct TReducedImage {
  std::vector<TRGBQuad> Palette;
  int ColorsUsed = 0;
  std::vector<uint8_t> Indices;
};

// Every mapping method over bottom-up 24-bit rows (blue, green, red, rows padded to 4 bytes).
TReducedImage ReduceColors(const uint8_t* bits24, int width, int height, TMappingMethod method,
                           const TReduceProgress& progress = nullptr);

// The popularity reduction to at most maxColors colours: palette entries ordered from the
// most to the least frequent colour (ties to the colour met first), unused entries grey 128;
// colours beyond the palette map to their nearest entry (the lowest index on ties). More than
// 2049 distinct colours coarsen the channel masks one bit at a time, blue, red, green, ...
void ReduceByPopularity(const uint8_t* bits24, int width, int height, int maxColors,
                        std::vector<TRGBQuad>& palette, std::vector<uint8_t>& indices);
// The channel masks the popularity reduction ended with for these pixels.
void PopularityMasks(const uint8_t* bits24, int width, int height, uint8_t& redMask, uint8_t& greenMask,
                     uint8_t& blueMask);

// The level tables of the truncation methods: byte value -> index of the nearest of 4, 6, 7
// or 8 evenly spaced levels (the first of two equally near levels).
const uint8_t* TruncTable(int levels);
// The value of level i of 4, 6, 7 or 8 levels.
uint8_t TruncLevel(int levels, int i);

// The screen's colour depth; desktops here are true colour.
TPixelFormat ScreenPixelFormat();
int ScreenColorCount();
// The smallest indexed format that holds the bitmap's palette; the bitmap's own format when
// it has none.
TPixelFormat GetPaletteBitmapFormat(const TBitmap& bitmap);
// The bitmap in the smallest format that holds colors colours (2, 16, 256, else 24 bits),
// reduced with DefaultMappingMethod.
std::unique_ptr<TMemoryStream> BitmapToMemory(const TBitmap& bitmap, int colors);
// Writes BitmapToMemory's BMP file; raises EFCreateError when it cannot be written.
void SaveBitmapToFile(const std::string& fileName, const TBitmap& bitmap, int colors);
// Reloads the bitmap from BitmapToMemoryStream.
void SetBitmapPixelFormat(TBitmap& bitmap, TPixelFormat pixelFormat, TMappingMethod method);
void GrayscaleBitmap(TBitmap& bitmap);
// The size an image of imageW x imageH takes in a box of maxW x maxH, keeping its aspect
// ratio: only shrunk, unless stretch also lets it grow to fill the box.
void ZoomImage(int imageW, int imageH, int maxW, int maxH, bool stretch, int& zoomW, int& zoomH);
// Repeats the graphic from the rectangle's top-left corner until the rectangle is covered;
// nothing is drawn outside it.
void TileImage(TCanvas& canvas, const TRect& rect, const TGraphic* image);

// A gradient described by its colours, direction and number of bands.
class TPxGradient {
 public:
  TColor StartColor = clSilver;
  TColor EndColor = clGray;
  TFillDirection Direction = fdTopToBottom;
  uint8_t StepCount = 64;
  bool Visible = false;
  void Assign(const TPxGradient& g) { *this = g; }
  // Fills the rectangle when visible.
  void Draw(TCanvas& canvas, const TRect& rect) const;
};
