// Cutting a rectangle out of a bitmap, resizing, loading, saving and zoomed drawing.
#pragma once
#include <memory>
#include <string>

#include "platform/Canvas.h"
#include "platform/Graphics.h"

// Sets the width, then the height, each only when it differs.
void BitmapResize(TBitmap& bitmap, int width, int height);
// Dst := the part r of Src, in Dst's pixel format. The parts of r outside Src come out as
// zero bytes; an inverted rectangle gives an empty bitmap. Dst may be Src.
void BitmapSnagIt(TBitmap& dst, TBitmap& src, const TRect& r);

// Any picture file the registry knows (by its extension), drawn onto a 24-bit bitmap first
// filled with magenta. A file that fails to load leaves the bitmap as it was.
void BitmapLoadFromFile(TBitmap& bitmap, const std::string& fileName);
// The bitmap's own save (a BMP file in its pixel format); quality is not used by that format.
void BitmapSaveToFile(TBitmap& bitmap, const std::string& fileName, int quality = 100);
// Loads Src and saves it as Dst.
void BitmapConvertFile(const std::string& dst, const std::string& src);
void BitmapClear(TBitmap& bitmap);  // 0 x 0
// The bounding size of a width x height bitmap turned by angle radians.
TPoint BitmapRotateSize(int width, int height, double angle);
// The square that holds the bitmap at every angle: the diagonal, rounded up.
TPoint BitmapGetMaxRotateSize(int width, int height);
// Both bitmaps 32 bits, Dst of Src's size.
void Bitmap32Prepare(TBitmap& dst, TBitmap& src);
std::unique_ptr<TBitmap> BitmapCreate(int width, int height, TPixelFormat format = pf32bit);
// Dst := width x height of color with Src stretched, proportions kept, as large as fits,
// centred on it. Dst keeps its pixel format.
void BitmapThumbnail(TBitmap& dst, TBitmap& src, int width, int height, TColor color);
// Draws the bitmap into r of the canvas from r's top-left: each pixel as a zoom x zoom block
// for a zoom of 1 or more, clipped to r; stretched over r for a zoom below 1.
void BitmapZOOMDraw(TBitmap& bitmap, TCanvas& canvas, const TRect& r, int zoom);
