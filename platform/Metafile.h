// The metafile picture class: placeable Windows metafiles (.wmf) played by a small player
// of our own for the records pictures of this kind use: window origin and extent, pens,
// brushes, object selection, rectangles, ellipses, polygons, polylines and lines. Other
// records are passed over.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/Graphics.h"

class TMetafile : public TGraphic {
 public:
  // The placeable header's box in pixels at 96 per inch.
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int v) override { FWidth = v; }
  void SetHeight(int v) override { FHeight = v; }
  void Draw(TCanvas& canvas, const TRect& r) const override;
  // Only placeable metafiles; a bad file raises EInvalidGraphic and leaves this as it was.
  void LoadFromStream(TStream& s) override;
  void SaveToStream(TStream& s) const override;
  const char* ClassName() const override { return "TMetafile"; }

 private:
  std::vector<uint8_t> FRecords;  // the records after the metafile header
  int16_t FLeft = 0, FTop = 0, FRight = 0, FBottom = 0;
  int FWidth = 0, FHeight = 0;
};
