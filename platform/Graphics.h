// Pictures: the graphic base, the device-independent bitmap and the registry of picture
// classes by file extension. The canvas that draws on a bitmap is in Canvas.h.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/ImageLimits.h"
#include "platform/Types.h"

class TCanvas;

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };
enum TBitmapHandleType { bmDIB, bmDDB };

struct TRGBQuad {
  uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
  bool operator==(const TRGBQuad&) const = default;
};

// Raises EInvalidGraphic when a width or height is negative or the size exceeds the limits
// of platform/ImageLimits.h, which every size that reaches an allocation of pixels obeys.
void CheckImageSize(int64_t width, int64_t height);
// The limit of ImageSizeAllowed in words, for messages: "a picture is at most ... in all".
std::string ImageSizeLimitText();
// "The picture would be W x H pixels, but a picture is at most ...": why a size is refused.
std::string ImageSizeProblem(int64_t width, int64_t height);

// Watches the sizes of the pictures that one load on this thread is about to allocate: every
// reader checks a size with CheckImageSize before it allocates pixels for it, and while a
// watch lives each size it passes (past the limits, not empty) is also handed to the watch,
// which may raise to refuse the picture before its memory is taken. Watches nest; a watch is
// not told the sizes that its own handling checks.
class TPictureSizeWatch {
 public:
  using TSeen = std::function<void(int64_t width, int64_t height)>;
  explicit TPictureSizeWatch(TSeen seen);
  ~TPictureSizeWatch();
  TPictureSizeWatch(const TPictureSizeWatch&) = delete;
  TPictureSizeWatch& operator=(const TPictureSizeWatch&) = delete;

 private:
  friend void CheckImageSize(int64_t width, int64_t height);
  TSeen FSeen;
  TPictureSizeWatch* FOuter;
};

int BitsPerPixelOf(TPixelFormat f);  // 1, 4, 8, 16, 16, 24, 32; 0 for pfDevice and pfCustom
// Bytes of one row padded to 4 bytes, in 64 bits.
int64_t DibRowBytes(int64_t width, int bitsPerPixel);

class TGraphic : public TObject {
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
  virtual bool Empty() const { return Width() == 0 || Height() == 0; }
  virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool v) { FTransparent = v; }
  // Draws the picture stretched into r of the canvas.
  virtual void Draw(TCanvas& canvas, const TRect& r) const = 0;
  virtual void LoadFromStream(TStream& s) = 0;
  virtual void SaveToStream(TStream& s) const = 0;
  // Raises EFOpenError / EFCreateError; writing goes through a temporary file.
  virtual void LoadFromFile(const std::string& name);
  virtual void SaveToFile(const std::string& name) const;
  // The clipboard form of a picture: by default the bytes of its stream. Classes with a
  // clipboard format of their own read and write that form instead.
  virtual void LoadFromClipboardFormat(uint16_t format, const std::string& data);
  // Copies another picture. The base asks the source to convert itself (AssignTo), whose
  // default raises EConvertError "Cannot assign a X to a Y" when the kinds do not convert.
  virtual void Assign(const TGraphic* source);
  virtual void AssignTo(TGraphic* dest) const;
  virtual const char* ClassName() const { return "TGraphic"; }
  bool Modified = false;

 protected:
  bool FTransparent = false;
};

// The registry of picture classes by file extension (without the dot, case-blind), in
// registration order; it builds the picture dialogs' filters.
using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;
struct TGraphicFormat {
  std::string Extension;
  std::string Description;
  TGraphicFactory Create;
  // Pictures can be saved in the format; a format that is only read (icons, metafiles) is
  // left out of the save dialogs.
  bool Writable = true;
};
void RegisterFileFormat(const std::string& ext, const std::string& description, TGraphicFactory factory,
                        bool writable = true);
void UnregisterFileFormat(const std::string& ext);
const std::vector<TGraphicFormat>& GraphicFormats();
const TGraphicFormat* GraphicFormatForExtension(const std::string& ext);  // "bmp" or ".bmp"
// "All (*.bmp;*.gif)|*.bmp;*.gif|Bitmaps (*.bmp)|*.bmp|..."; of the writable formats alone
// when asked.
std::string GraphicFilter(bool writableOnly = false);

// The pixel block of a bitmap. A large one is mapped from the system on its own, zeroed by it
// (pages a picture never writes cost nothing) and grown by remapping (a picture widened to 32
// bits never holds its narrow and wide copies at once, however fragmented the heap is); a
// small one, and every one in a sanitizer's build (which watches the heap's blocks only), comes
// from the C heap.
class TPixelBlock {
 public:
  TPixelBlock() = default;
  // n zero bytes.
  explicit TPixelBlock(size_t n);
  TPixelBlock(const TPixelBlock& other);
  TPixelBlock& operator=(const TPixelBlock& other);
  ~TPixelBlock();
  uint8_t* data() { return FData; }
  const uint8_t* data() const { return FData; }
  size_t size() const { return FSize; }
  bool empty() const { return FSize == 0; }
  void clear();
  void swap(TPixelBlock& other) noexcept;
  // Takes over a block of n bytes from malloc.
  static TPixelBlock Adopt(uint8_t* data, size_t n);
  TPixelBlock(TPixelBlock&& other) noexcept { swap(other); }
  TPixelBlock& operator=(TPixelBlock&& other) noexcept {
    swap(other);
    return *this;
  }
  // Keeps the first bytes (as many as both sizes have); bytes added are undefined. Raises
  // std::bad_alloc and keeps the block as it was when there is no memory.
  void Resize(size_t n);

 private:
  uint8_t* FData = nullptr;
  size_t FSize = 0;
  bool FMapped = false;
};

// A device-independent bitmap: one block of bottom-up rows, each padded to 4 bytes. Row 0
// of ScanLine is the top row. 32-bit pixels are the bytes blue, green, red, alpha; 15-bit
// pixels are 5-5-5 and 16-bit pixels 5-6-5, little-endian words; indexed pixels keep the
// leftmost pixel in the highest bits. Pixels that a resize adds are all zero bytes (black
// with alpha 0, or palette index 0); the pixels that stay keep their place from the top-left.
class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int width, int height, TPixelFormat format = pf32bit);
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int value) override { SetSize(value, FHeight); }
  void SetHeight(int value) override { SetSize(FWidth, value); }
  void SetSize(int width, int height);

  // pfDevice and pfCustom stand for 32 bits here: this layer has no device bitmaps.
  TPixelFormat PixelFormat() const { return FFormat; }
  void SetPixelFormat(TPixelFormat f);
  int BitsPerPixel() const { return BitsPerPixelOf(FFormat); }
  int RowBytes() const { return int(DibRowBytes(FWidth, BitsPerPixel())); }
  int64_t ImageSize() const { return int64_t(RowBytes()) * FHeight; }
  // The start of the pixel block, which is the bottom row; nullptr when empty.
  uint8_t* Bits() { return FBits.empty() ? nullptr : FBits.data(); }
  const uint8_t* Bits() const { return FBits.empty() ? nullptr : FBits.data(); }
  // Raises EInvalidGraphicOperation "Scan line index out of range" outside 0..Height-1.
  uint8_t* ScanLine(int y);
  const uint8_t* ScanLine(int y) const;

  // Up to 256 entries; indexed formats get a default palette when they are set without one.
  const std::vector<TRGBQuad>& Palette() const { return FPalette; }
  void SetPalette(const std::vector<TRGBQuad>& palette);
  bool Monochrome() const { return FFormat == pf1bit; }

  // The colour of a pixel (0x00BBGGRR) and the writing of one, in any format; indexed
  // formats take the nearest palette entry. SetPixelColor gives a 32-bit pixel alpha 0.
  TColor GetPixelColor(int x, int y) const;
  void SetPixelColor(int x, int y, TColor c);
  // Index of the palette entry nearest to the colour (squared distance, lowest index on ties).
  int NearestPaletteIndex(TColor c) const;

  // Transparency: in the automatic mode the transparent colour is the bottom-left pixel's.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor c);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode m);

  TCanvas& Canvas();
  // The platform keeps pixels in memory always; these only keep callers' calls meaningful.
  void Dormant() {}
  void FreeImage() {}
  TBitmapHandleType HandleType = bmDIB;

  const char* ClassName() const override { return "TBitmap"; }
  void Draw(TCanvas& canvas, const TRect& r) const override;
  // A deep copy of another bitmap (pixels, format, palette, transparency); nullptr empties;
  // another kind of picture converts itself through its AssignTo.
  void Assign(const TGraphic* source) override;
  // BMP files: core (OS/2 1.x), OS/2 2.x, info, V4 and V5 headers; 1, 4, 8, 16, 24 and 32
  // bits; RLE4, RLE8, bit fields; bottom-up and top-down. A bad file raises EInvalidGraphic
  // and leaves the bitmap as it was.
  void LoadFromStream(TStream& s) override;
  // CF_DIB data is a bitmap file without its file header.
  void LoadFromClipboardFormat(uint16_t format, const std::string& data) override;
  // Writes the current pixel format with a plain info header.
  void SaveToStream(TStream& s) const override;

  // Takes over another bitmap's pixels, format and palette (used by the readers to commit a
  // fully decoded image at once).
  void TakePixels(TBitmap& other);
  // Takes over a block of bottom-up rows of width x height in the format (its size must be
  // theirs, else EInvalidGraphicOperation); the palette is emptied.
  void TakeBlock(TPixelBlock& block, int width, int height, TPixelFormat format);

 private:
  void Reformat(TPixelFormat f);
  void DefaultPalette();
  int FWidth = 0, FHeight = 0;
  TPixelFormat FFormat = pf32bit;
  TPixelBlock FBits;
  std::vector<TRGBQuad> FPalette;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  std::unique_ptr<TCanvas> FCanvas;
};

// The palettes a bitmap gets when it becomes indexed without one: black and white; the 16
// standard colours; those 16, a 6 x 6 x 6 colour cube and 24 greys.
std::vector<TRGBQuad> DefaultPaletteFor(TPixelFormat f);
