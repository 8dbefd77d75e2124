#include "POP/PopJpeg.h"

#include <algorithm>

#include "platform/JpegImage.h"

void BitmapLoadFromJPEG(TBitmap& bitmap, const std::string& fileName) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(fileName);
  bitmap.Assign(&jpeg);
}

void BitmapSaveToJPEG(TBitmap& bitmap, const std::string& fileName, int quality) {
  TJPEGImage jpeg;
  jpeg.Assign(&bitmap);
  jpeg.CompressionQuality = std::clamp(quality, 1, 100);
  jpeg.SaveToFile(fileName);
}
