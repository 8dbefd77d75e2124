// A bitmap's pixel block compressed with zlib, and its record in a byte stream: width,
// height, pixel format code, length, zlib data (little-endian).
#pragma once
#include <cstdint>

#include "platform/Classes.h"

class TBitmap;

class TBitmapCompressor : public TComponent {
 public:
  explicit TBitmapCompressor(TComponent* owner = nullptr);
  ~TBitmapCompressor() override;

  int32_t Width = 0;
  int32_t Height = 0;
  uint8_t PixelFormat = 0;
  TMemoryStream* Data;

  virtual void Compress(TBitmap& bitmap);
  // Raises EReadError and leaves the bitmap as it was when the record is damaged (bad size,
  // bad zlib data, fewer bytes than the block needs).
  virtual void Decompress(TBitmap& bitmap);
  virtual void SaveToStream(TStream& stream);
  virtual void LoadFromStream(TStream& stream);
};
