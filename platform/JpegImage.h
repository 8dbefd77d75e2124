// The JPEG picture class over libjpeg: baseline and progressive, grey and colour files are
// read; files are written baseline at CompressionQuality.
#pragma once
#include "platform/Graphics.h"

class TJPEGImage : public TGraphic {
 public:
  TJPEGImage();
  int Width() const override { return FBitmap.Width(); }
  int Height() const override { return FBitmap.Height(); }
  void SetWidth(int value) override { FBitmap.SetWidth(value); }
  void SetHeight(int value) override { FBitmap.SetHeight(value); }
  void Draw(TCanvas& canvas, const TRect& r) const override;
  // A bad or truncated file raises EInvalidGraphic and leaves the picture as it was.
  void LoadFromStream(TStream& s) override;
  void SaveToStream(TStream& s) const override;
  void Assign(const TGraphic* source) override;
  void AssignTo(TGraphic* dest) const override;
  const char* ClassName() const override { return "TJPEGImage"; }

  int CompressionQuality = 90;  // 1 to 100
  bool Grayscale = false;       // the file read had one component; writes grey when set
  bool ProgressiveEncoding = false;
  // The decoded pixels, 24 bits.
  const TBitmap& Bitmap() const { return FBitmap; }
  // Hands the decoded pixels over to another bitmap without a copy; this image is left empty.
  void TakeBitmap(TBitmap& into) { into.TakePixels(FBitmap); }

 private:
  TBitmap FBitmap;
};

// Registers jpg, jpeg and jpe with the picture registry (once).
void RegisterJPEGImage();
