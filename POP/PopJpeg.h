// JPEG files to and from bitmaps.
#pragma once
#include <string>

#include "platform/Graphics.h"

// The bitmap becomes the picture's 24-bit pixels; a bad file raises and leaves it as it was.
void BitmapLoadFromJPEG(TBitmap& bitmap, const std::string& fileName);
// Baseline colour JPEG at quality 1 to 100 (limited to that range).
void BitmapSaveToJPEG(TBitmap& bitmap, const std::string& fileName, int quality = 90);
