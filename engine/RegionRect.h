// Lists of page areas to repaint, kept as rectangles that never share a pixel.
#pragma once
#include <cstdint>

#include "platform/Types.h"

struct TRegionRect {
  TRegionRect* Next = nullptr;
  TRect Rect;
};

// A list is the reference to its first node; it owns its nodes.
using TRegionList = TRegionRect*;

void RegionInit(TRegionList& list);
void RegionPush(TRegionList& list, TRegionRect* node);
TRegionRect* RegionPop(TRegionList& list);
void RegionClear(TRegionList& list);
// One node holding the rectangle exactly as given (not normalised).
void RegionSet(TRegionList& list, int32_t left, int32_t top, int32_t right, int32_t bottom);
// Normalises the rectangle, cuts its area out of every node and pushes it.
void RegionAdd(TRegionList& list, int32_t left, int32_t top, int32_t right, int32_t bottom);
// A list of more than maxRects nodes becomes the one rectangle that bounds them: a region of
// many scattered pieces (thousands of objects changed at once) costs every redraw that many
// tests per object, and repainting a little more than changed is still right.
void RegionLimit(TRegionList& list, int maxRects);
void RegionSubtract(TRegionList& list, int32_t left, int32_t top, int32_t right, int32_t bottom);
void RegionClip(TRegionList& list, int32_t left, int32_t top, int32_t right, int32_t bottom);
bool RegionIntersects(TRegionList list, int32_t left, int32_t top, int32_t right, int32_t bottom);
