#include "engine/TBitmapCompressor.h"

#include <vector>
#include <zlib.h>

#include "platform/Graphics.h"
#include "platform/SysUtils.h"

TBitmapCompressor::TBitmapCompressor(TComponent* owner) : TComponent("", owner), Data(new TMemoryStream) {}

TBitmapCompressor::~TBitmapCompressor() { delete Data; }

void TBitmapCompressor::Compress(TBitmap& bitmap) {
  Width = bitmap.Width();
  Height = bitmap.Height();
  PixelFormat = uint8_t(bitmap.PixelFormat());
  uint64_t block = uint64_t(bitmap.ImageSize());
  uLongf size = compressBound(uLong(block));
  Data->Clear();
  Data->SetSize(int64_t(size));
  // Compressed straight from the bitmap's own bottom-up pixel memory.
  static const Bytef empty = 0;
  const Bytef* src = bitmap.Bits() ? bitmap.Bits() : &empty;
  if (compress(Data->Memory(), &size, src, uLong(block)) != Z_OK)
    throw EWriteError("The bitmap could not be compressed");
  Data->SetSize(int64_t(size));
  Data->SetPosition(0);
}

void TBitmapCompressor::Decompress(TBitmap& bitmap) {
  if (Width < 0 || Height < 0 || PixelFormat > pfCustom) throw EReadError("Invalid bitmap record");
  CheckImageSize(Width, Height);
  TBitmap decoded;
  decoded.SetPixelFormat(TPixelFormat(PixelFormat));
  decoded.SetSize(Width, Height);
  uLongf expected = uLongf(decoded.ImageSize());
  uLongf got = expected;
  std::vector<Bytef> scratch;
  Bytef* dest = decoded.Bits();
  if (!dest) {
    scratch.resize(1);
    dest = scratch.data();
    got = 0;
  }
  int rc = uncompress(dest, &got, Data->Memory(), uLong(Data->Size()));
  if (rc != Z_OK || got != expected) throw EReadError("Damaged bitmap record");
  bitmap.TakePixels(decoded);
}

void TBitmapCompressor::SaveToStream(TStream& stream) {
  stream.WriteInt32(Width);
  stream.WriteInt32(Height);
  stream.WriteByte(PixelFormat);
  stream.WriteInt32(int32_t(Data->Size()));
  stream.WriteBuffer(Data->Memory(), Data->Size());
}

void TBitmapCompressor::LoadFromStream(TStream& stream) {
  int32_t w = stream.ReadInt32();
  int32_t h = stream.ReadInt32();
  uint8_t f = stream.ReadByte();
  int32_t len = stream.ReadInt32();
  if (len < 0 || int64_t(len) > stream.Size() - stream.Position()) throw EReadError("Stream read error");
  TMemoryStream* data = new TMemoryStream;
  try {
    data->SetSize(len);
    stream.ReadBuffer(data->Memory(), len);
  } catch (...) {
    delete data;
    throw;
  }
  delete Data;
  Data = data;
  Width = w;
  Height = h;
  PixelFormat = f;
}
