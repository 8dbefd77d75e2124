// Pixel views of 32-bit bitmaps: grey scale, exact comparison and the blank test.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/Graphics.h"

// A view of the pixels of one 32-bit bitmap; it owns only its row table. Rows[y] points to
// the first pixel of row y, y = 0 being the top row. Valid while the bitmap keeps its size
// and format.
struct TPhoto {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint32_t*> Rows;
};

// Brings the bitmap to 32 bits (changing the caller's bitmap) and views it.
TPhoto Photo(TBitmap& bitmap);
// Raises EAssertionFailed when the sizes differ. The check is part of the contract, not a
// debugging aid, so the callers never run past a smaller view.
void PhotoAssert(const TPhoto& dst, const TPhoto& src);
void PhotoGrayScale(const TPhoto& dst, const TPhoto& src);
void PhotoGrayScale(TBitmap& dst, TBitmap& src);
bool PhotoCompare(const TPhoto& a, const TPhoto& b);
bool PhotoCompare(TBitmap& a, TBitmap& b);
bool PhotoIsBlank(const TPhoto& photo, uint32_t value);
bool PhotoIsBlank(TBitmap& bitmap, uint32_t value);
