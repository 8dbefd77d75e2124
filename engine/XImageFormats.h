// The codecs that the image class reaches through other parts of the system: PNG, GIF and
// the image-format library for every extension without a codec of its own. Each load must
// leave the image as it was when it fails; each save raises on failure.
#pragma once
#include <string>

class XImage;

// *mayHaveAlpha (when given) tells whether the file can hold pixels that are not opaque: when
// it cannot, every alpha byte is 255 without a look at the pixels.
void XImageLoadPNG(XImage& image, const std::string& name, bool* mayHaveAlpha = nullptr);
void XImageSavePNG(const XImage& image, const std::string& name);
void XImageLoadGIF(XImage& image, const std::string& name);
void XImageSaveGIF(const XImage& image, const std::string& name);
void XImageLoadFormatLibrary(XImage& image, const std::string& name);
void XImageSaveFormatLibrary(const XImage& image, const std::string& name);
