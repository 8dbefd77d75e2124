// The icon picture class: .ico files with one or more images of 1 to 32 bits, each with its
// AND mask. The image of the system icon size (32 x 32) is taken when the file has one, else
// the largest; PNG-compressed images are refused. Cursor files (.cur) have the same form
// and read the same way, with the hot spot of the image taken.
#pragma once
#include "platform/Graphics.h"

class TIcon : public TGraphic {
 public:
  int Width() const override { return FImage.Width(); }
  int Height() const override { return FImage.Height(); }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  // Straight alpha: the mask's transparent pixels, and the alpha of 32-bit images, blend
  // with what the canvas holds.
  void Draw(TCanvas& canvas, const TRect& r) const override;
  // A bad file raises EInvalidGraphic and leaves the icon as it was.
  void LoadFromStream(TStream& s) override;
  // Writes the file data the icon was loaded from; an empty icon raises
  // EInvalidGraphicOperation.
  void SaveToStream(TStream& s) const override;
  // Another icon is copied; other pictures go through the base.
  void Assign(const TGraphic* source) override;
  // The icon file the icon came from (empty for an empty icon).
  const std::string& FileData() const { return FData; }
  const char* ClassName() const override { return "TIcon"; }
  // The chosen image, 32 bits with straight alpha.
  const TBitmap& Image() const { return FImage; }
  int ImageCount = 0;  // images in the file
  // Whether the file was a cursor, and the chosen image's hot spot (0, 0 for an icon).
  bool IsCursor() const { return FCursor; }
  TPoint HotSpot() const { return FHotSpot; }

 private:
  TBitmap FImage;
  std::string FData;
  bool FCursor = false;
  TPoint FHotSpot;
};
