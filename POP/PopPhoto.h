// Pixel views of 32-bit bitmaps: grey scale, exact comparison, the blank test and a set of
// pixel filters.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "POP/PopLut.h"
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

// Brings both bitmaps to 32 bits and gives Dst the size of Src.
void PhotoPrepare(TBitmap& dst, TBitmap& src);
void PhotoClear(const TPhoto& photo, uint32_t value);

// The filters below take Dst and Src of equal size (PhotoAssert) unless said otherwise; Dst
// and Src may be the same view. The fourth byte is kept where a filter works on colours.
void PhotoEOR(const TPhoto& dst, const TPhoto& src, uint32_t value);
void PhotoAND(const TPhoto& dst, const TPhoto& src, uint32_t value);
void PhotoOR(const TPhoto& dst, const TPhoto& src, uint32_t value);
void PhotoInvert(const TPhoto& dst, const TPhoto& src);
void PhotoMirror(const TPhoto& dst, const TPhoto& src);  // left-right
void PhotoFlip(const TPhoto& dst, const TPhoto& src);    // top-bottom

// Twenty-five weights of a 5 x 5 neighbourhood, row by row, then the divisor and the offset.
using TPhotoKernel = std::array<int32_t, 27>;
// Each colour byte := sum of weights * bytes / divisor + offset, limited to 0..255; pixels
// beyond the edges repeat the edge pixels. A divisor of 0 counts as 1.
void PhotoConvolution(const TPhoto& dst, const TPhoto& src, const TPhotoKernel& kernel);
// Each colour byte c := table[row of its channel][c].
void PhotoApplyLUA(const TPhoto& dst, const TPhoto& src, const TLUATable& table, uint8_t rowB, uint8_t rowG,
                   uint8_t rowR);
// Each colour byte c := |255 - 2c|.
void PhotoSolarize(const TPhoto& dst, const TPhoto& src);
// Dst := Src turned by angle radians (clockwise on screen) about the centres and enlarged by
// zoom; Dst may have any size. Pixels that fall outside Src get background. Raises
// EInvalidOperation for an angle or zoom that is not finite or a zoom not above 1/65536.
void PhotoRotate(const TPhoto& dst, const TPhoto& src, double angle, double zoom, uint32_t background);
// Each inner pixel of a row := the per-byte average of its two original neighbours.
void PhotoQuickSoft(const TPhoto& photo);
// One step of a ripple on inner pixels, the words read as signed heights: Dst holds the step
// before the previous one and gets (sum of Src's four neighbours) / 2 - Dst, damped by 1/32.
void PhotoWaterEffect(const TPhoto& dst, const TPhoto& src);
// Dst must be Src's width div 2 by its height div 2; each Dst pixel is the average of a 2 x 2
// block, every byte taken with its two low bits cleared.
void PhotoDownSample(const TPhoto& dst, const TPhoto& src);
// Nearest-neighbour and averaged bilinear scaling of Src to Dst's size; an empty Src raises
// unless Dst is empty too.
void PhotoResize(const TPhoto& dst, const TPhoto& src);
void PhotoResample(const TPhoto& dst, const TPhoto& src);
