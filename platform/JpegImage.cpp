#include "platform/JpegImage.h"

#include <cstdlib>
#include <cstring>
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
  JpegDecoded d;
  if (JpegDecodeMemory(data.data(), data.size(), MaxImageDimension, MaxImagePixels, &d) != 0)
    throw EInvalidGraphic(std::string("JPEG error: ") + d.Message);
  TBitmap b;
  try {
    b.SetPixelFormat(pf24bit);
    b.SetSize(d.Width, d.Height);
    for (int y = 0; y < d.Height; ++y) {
      const uint8_t* src = d.Pixels + size_t(y) * d.Width * 3;
      uint8_t* dst = b.ScanLine(y);
      for (int x = 0; x < d.Width; ++x) {
        dst[3 * x] = src[3 * x + 2];
        dst[3 * x + 1] = src[3 * x + 1];
        dst[3 * x + 2] = src[3 * x];
      }
    }
  } catch (...) {
    free(d.Pixels);
    throw;
  }
  free(d.Pixels);
  FBitmap.TakePixels(b);
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
