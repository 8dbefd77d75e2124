// The scaled blitter: copies a rectangle of one 32-bit bitmap into a rectangle of another,
// stretched or shrunk with 16.16 fixed-point stepping and clipped, by a pixel path the flags
// choose. Every move of pixels in the button renderer goes through BlitGraphic.
//
// Neither bitmap is ever read or written outside its pixels: the clip is cut to the
// destination and every sample (bilinear neighbours too) is clamped into the source, so
// 1-pixel strips and 1 x 1 sources are safe. An empty source draws nothing.
#pragma once
#include <cstdint>

#include "engine/XBlend.h"
#include "platform/Graphics.h"
#include "platform/Types.h"

// Flag bits of the blitter. The renderer passes BlitCopy, or BlitBilinear | BlitSkipKey.
constexpr int BlitTable = 1;     // blend through the caller's table, weighted by alpha
constexpr int BlitBilinear = 2;  // bilinear sampling
constexpr int BlitCopy = 4;      // copy all four bytes (keyed when the source is Transparent)
constexpr int BlitSkipKey = 8;   // skip the key colour / use the opacity as the weight

// The key colour of a Transparent source, compared with whole 32-bit pixels: its
// TransparentColor as 0xAARRGGBB with alpha 255.
uint32_t BlitKeyColor(const TBitmap& src);

// Integer source rectangle (sx1, sy1)-(sx2, sy2). A negative source origin moves the
// destination origin by as many pixels; a source rectangle that runs past the source's right
// or bottom edge is cut there and the destination shortened by as many pixels. Then
// ScaledBlit with the source coordinates in 16.16.
// Clip nullptr is the whole destination; Table is used only with BlitTable (nullptr: the
// source colour itself). Opacity 0 to 255.
void BlitGraphic(TBitmap& Dst, int x1, int y1, int x2, int y2, TBitmap& Src, int sx1, int sy1, int sx2,
                 int sy2, int Opacity, const TRect* Clip, const BlendTable* Table, int Flags);

// A source pixel as a mapped blit samples it.
using TBlitSampleMap = uint32_t (*)(uint32_t pixel);
// BlitGraphic(..., 255, Clip, nullptr, BlitBilinear | BlitSkipKey) from the picture whose every
// pixel is Map(the pixel of Src), taken as not Transparent: the same pixels as that blit from
// a mapped copy of Src, but only the source pixels the blit samples are mapped, so the cost
// is the destination's pixels however large Src is.
void BlitGraphicMapped(TBitmap& Dst, int x1, int y1, int x2, int y2, TBitmap& Src, int sx1, int sy1, int sx2,
                       int sy2, const TRect* Clip, TBlitSampleMap Map);

// Source rectangle (fx1, fy1)-(fx2, fy2) in 16.16 fixed point; values past any bitmap are
// saturated. Both bitmaps are brought to 32 bits first (no resizing).
void ScaledBlit(TBitmap& Dst, int x1, int y1, int x2, int y2, TBitmap& Src, int64_t fx1, int64_t fy1,
                int64_t fx2, int64_t fy2, int Opacity, const TRect* Clip, const BlendTable* Table, int Flags);
