// Conversion between the system's bitmaps (32-bit rows of blue, green, red, alpha) and
// QImage, at the GUI line.
#pragma once
#include <QImage>

#include "platform/Graphics.h"
#include "platform/Types.h"

// A deep copy of the bitmap as a QImage of Format_RGB32. The canvas gives every pixel it
// touches alpha 0 (the renderer relies on it), so the alpha byte says nothing about
// coverage and the screen ignores it. Bitmaps of other depths are read pixel by pixel
// through their palette or bit fields. An empty bitmap gives a null image.
QImage BitmapToQImage(const TBitmap& bitmap);
// Only the part of the bitmap inside r (clipped to the bitmap); a null image when nothing
// of r lies inside.
QImage BitmapToQImage(const TBitmap& bitmap, const TRect& r);
// The image as a 32-bit bitmap (straight, not premultiplied alpha); opaque images give
// alpha 255 throughout. A null image empties the bitmap. The bitmap is replaced only once
// the copy is complete.
void QImageToBitmap(const QImage& image, TBitmap& bitmap);
// Platform colours (0x00BBGGRR, system colours through their classic values) as QColor.
QColor TColorToQColor(TColor c);
TColor QColorToTColor(const QColor& c);
