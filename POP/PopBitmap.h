// Cutting a rectangle out of a bitmap and resizing a bitmap.
#pragma once
#include "platform/Graphics.h"

// Sets the width, then the height, each only when it differs.
void BitmapResize(TBitmap& bitmap, int width, int height);
// Dst := the part r of Src, in Dst's pixel format. The parts of r outside Src come out as
// zero bytes; an inverted rectangle gives an empty bitmap.
void BitmapSnagIt(TBitmap& dst, TBitmap& src, const TRect& r);
