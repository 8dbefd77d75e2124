// The system's bitmap: a platform bitmap kept at 32 bits per pixel that remembers the file
// it came from or went to, with the codec chosen by the file name's extension; the small
// bitmap functions and the spacer GIF of the HTML page builder.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Graphics.h"

class XImage : public TBitmap {
 public:
  XImage();
  // The absolute path of the file last loaded or saved. Mutable because saving, which the
  // picture base declares const, records the name too.
  mutable std::string FileName;
  int32_t JPEGQuality = 100;
  // Whether the file the picture came from carries transparency (a PNG with alpha or a
  // transparent palette entry, a 32-bit BMP with alpha): some pixel's alpha is below 255.
  // Such a picture is drawn by its alpha; any other is opaque whatever its alpha bytes hold.
  bool AlphaChannel = false;

  void Assign(const TGraphic* source) override;
  // Each side only when it differs; the pixel format is not touched.
  void SetSize(int width, int height);
  // Decodes into a temporary and commits only a complete image, so a failing load raises
  // and leaves this image (and FileName) as they were. Every load ends 32-bit.
  // A reader's failure is told in words a user understands, without the file's name (the
  // caller names it): "It is cut short: the file ends early ...", "It is damaged or cut short, or it is not a
  // PNG picture."; the file's own problems (missing, unreadable, empty) and the size limit are told as they
  // are.
  void LoadFromFile(const std::string& name) override;
  // Raises on failure; the files are written through a temporary and a rename, so a failed
  // save leaves no partial file. ".tif" is refused with a message that names ".tiff".
  void SaveToFile(const std::string& name) const override;
  const char* ClassName() const override { return "XImage"; }

 private:
  void ReadPictureFile(const std::string& name);
};

// The words of LoadFromFile for a reader's failure on a file of this extension.
std::string PictureReadProblem(const std::exception& failure, const std::string& ext);

// Pixel format codes of the platform bitmap: 1 one bit ... 6 twenty-four, 7 thirty-two.
int PixelFormatCode(TPixelFormat f);
TPixelFormat PixelFormatOfCode(int code);

// Sets the format when it differs; a change to 32 bits makes every pixel opaque.
void BitmapSetPixelFormat(TBitmap& bitmap, int code);
void BitmapMatch32(XImage& image, TBitmap* source);
void BitmapMatch32(TBitmap& bitmap, TBitmap* source);
void BitmapSetSize32(TBitmap& bitmap, int width, int height);
int BitmapBitsPerPixel(const TBitmap& bitmap);
int BitmapBitDepth(const TBitmap& bitmap);
int BitmapRowBits(const TBitmap& bitmap);
int BitmapRowBytes(const TBitmap& bitmap);
int64_t BitmapImageSize(const TBitmap& bitmap);
// The bottom row, where the pixel block begins; nullptr when empty.
uint8_t* BitmapBits(TBitmap& bitmap);
// The graphic stretched, by the smaller of the two scales, into the middle of the bitmap.
// Nothing happens when either is empty.
void DrawGraphicCentred(TBitmap& bitmap, const TGraphic& graphic);

// The 42 bytes of a 1 x 1 transparent GIF; true when the file was written completely.
bool WriteSpacerGIF(const std::string& name);
// The same, raising the write's error (EFCreateError, EWriteError) when it fails.
void SaveSpacerGIF(const std::string& name);

// The plain-text PPM ("P3") codec of the image class.
void ReadPPM(XImage& image, const std::string& name);
void WritePPM(const TBitmap& bitmap, const std::string& name);

// The file dialog filter of every format SaveToFile writes a picture in: an entry of all of
// them, then one per format with its extensions.
std::string XImageSaveFilter();

// Registers the picture classes of the system with the platform's registry (once).
void RegisterPictureClasses();
