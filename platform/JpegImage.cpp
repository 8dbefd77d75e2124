#include "platform/JpegImage.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/Canvas.h"
#include "platform/JpegGlue.h"
#include "platform/SysUtils.h"

TJPEGImage::TJPEGImage() { FBitmap.SetPixelFormat(pf24bit); }

void TJPEGImage::Draw(TCanvas& canvas, const TRect& r) const { canvas.StretchDraw(r, &FBitmap); }

void TJPEGImage::LoadFromStream(TStream& s) {
  int64_t left = s.Size() - s.Position();
  if (left < 0) left = 0;
  std::vector<uint8_t> data(static_cast<size_t>(left));
  if (left) s.ReadBuffer(data.data(), left);
  // The decoder writes the rows of the 24-bit bitmap into a block of the bitmap's own, which
  // the bitmap then takes over: the picture is never held twice. Its size is checked as every
  // reader's is before the block is allocated; an exception waits until the decoder returned.
  struct TTarget {
    TPixelBlock Block;
    std::exception_ptr Refused;
  } target;
  const JpegBlock block = [](void* context, int width, int height, size_t bytes) -> uint8_t* {
    auto* t = static_cast<TTarget*>(context);
    try {
      CheckImageSize(width, height);
      t->Block = TPixelBlock(bytes);
      return t->Block.data();
    } catch (...) {
      t->Refused = std::current_exception();
      return nullptr;
    }
  };
  JpegDecoded d;
  const int rc =
      JpegDecodeMemoryDib(data.data(), data.size(), MaxImageDimension, MaxImagePixels, block, &target, &d);
  if (target.Refused) std::rethrow_exception(target.Refused);
  if (rc != 0) throw EInvalidGraphic(std::string("JPEG error: ") + d.Message);
  // Without the decoder's spare row.
  target.Block.Resize(size_t(DibRowBytes(d.Width, 24)) * size_t(d.Height));
  FBitmap.TakeBlock(target.Block, d.Width, d.Height, pf24bit);
  Grayscale = d.Components == 1;
}

void TJPEGImage::SaveToStream(TStream& s) const {
  int w = FBitmap.Width(), h = FBitmap.Height();
  if (w < 1 || h < 1) throw EInvalidGraphic("Cannot save an empty JPEG image");
  std::vector<uint8_t> rgb(size_t(w) * h * (Grayscale ? 1 : 3));
  TBitmap b24;
  b24.Assign(&FBitmap);
  b24.SetPixelFormat(pf24bit);
  size_t k = 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = b24.ScanLine(y);
    for (int x = 0; x < w; ++x, p += 3) {
      if (Grayscale) {
        rgb[k++] = uint8_t((p[2] * 77 + p[1] * 150 + p[0] * 29) >> 8);
      } else {
        rgb[k++] = p[2];
        rgb[k++] = p[1];
        rgb[k++] = p[0];
      }
    }
  }
  JpegEncoded e;
  if (JpegEncodeMemory(rgb.data(), w, h, Grayscale, CompressionQuality, ProgressiveEncoding, &e) != 0)
    throw EInvalidGraphic(std::string("JPEG error: ") + e.Message);
  try {
    s.WriteBuffer(e.Data, int64_t(e.Size));
  } catch (...) {
    free(e.Data);
    throw;
  }
  free(e.Data);
}

void TJPEGImage::Assign(const TGraphic* source) {
  if (auto j = dynamic_cast<const TJPEGImage*>(source)) {
    FBitmap.Assign(&j->FBitmap);
    CompressionQuality = j->CompressionQuality;
    Grayscale = j->Grayscale;
    ProgressiveEncoding = j->ProgressiveEncoding;
    return;
  }
  if (auto b = dynamic_cast<const TBitmap*>(source)) {
    TBitmap copy;
    copy.Assign(b);
    copy.SetPixelFormat(pf24bit);
    FBitmap.TakePixels(copy);
    Grayscale = false;
    return;
  }
  TGraphic::Assign(source);
}

void TJPEGImage::AssignTo(TGraphic* dest) const {
  if (auto b = dynamic_cast<TBitmap*>(dest)) {
    b->Assign(&FBitmap);
    return;
  }
  TGraphic::AssignTo(dest);
}

void RegisterJPEGImage() {
  static bool done = false;
  if (done) return;
  done = true;
  for (const char* ext : {"jpg", "jpeg", "jpe"})
    RegisterFileFormat(ext, "JPEG Image File", [] { return std::unique_ptr<TGraphic>(new TJPEGImage); });
}
