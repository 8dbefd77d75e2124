#include "engine/RegionRect.h"

#include <algorithm>
#include <utility>

namespace {

TRect Normalised(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  return {left, top, right, bottom};
}

void PushNew(TRegionList& list, const TRect& r) {
  auto* node = new TRegionRect;
  node->Rect = r;
  RegionPush(list, node);
}

void PushPiece(TRegionList& list, int32_t l, int32_t t, int32_t r, int32_t b) {
  if (r > l && b > t) PushNew(list, {l, t, r, b});
}

}  // namespace

void RegionInit(TRegionList& list) { list = nullptr; }

void RegionPush(TRegionList& list, TRegionRect* node) {
  node->Next = list;
  list = node;
}

TRegionRect* RegionPop(TRegionList& list) {
  TRegionRect* node = list;
  if (node) {
    list = node->Next;
    node->Next = nullptr;
  }
  return node;
}

void RegionClear(TRegionList& list) {
  while (TRegionRect* node = RegionPop(list)) delete node;
}

void RegionSet(TRegionList& list, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  RegionClear(list);
  PushNew(list, {left, top, right, bottom});
}

void RegionAdd(TRegionList& list, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TRect r = Normalised(left, top, right, bottom);
  RegionSubtract(list, r.Left, r.Top, r.Right, r.Bottom);
  PushNew(list, r);
}

void RegionSubtract(TRegionList& list, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TRect r = Normalised(left, top, right, bottom);
  TRegionList out = nullptr;
  while (TRegionRect* p = RegionPop(list)) {
    const TRect& P = p->Rect;
    if (P.Right <= P.Left || P.Bottom <= P.Top) {
      delete p;
      continue;
    }
    // A node the rectangle misses stays whole (cut, it would fall into bands for nothing).
    if (std::max(P.Left, r.Left) >= std::min(P.Right, r.Right) ||
        std::max(P.Top, r.Top) >= std::min(P.Bottom, r.Bottom)) {
      RegionPush(out, p);
      continue;
    }
    int32_t il = std::min(P.Right, std::max(P.Left, r.Left));
    int32_t it = std::min(P.Bottom, std::max(P.Top, r.Top));
    int32_t ir = std::min(P.Right, std::max(P.Left, r.Right));
    int32_t ib = std::min(P.Bottom, std::max(P.Top, r.Bottom));
    PushPiece(out, P.Left, P.Top, P.Right, it);
    PushPiece(out, P.Left, it, il, ib);
    PushPiece(out, ir, it, P.Right, ib);
    PushPiece(out, P.Left, ib, P.Right, P.Bottom);
    delete p;
  }
  list = out;
}

void RegionClip(TRegionList& list, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TRect c = Normalised(left, top, right, bottom);
  TRegionList out = nullptr;
  while (TRegionRect* p = RegionPop(list)) {
    TRect& P = p->Rect;
    P = {std::max(P.Left, c.Left), std::max(P.Top, c.Top), std::min(P.Right, c.Right),
         std::min(P.Bottom, c.Bottom)};
    if (P.Left < P.Right && P.Top < P.Bottom) RegionPush(out, p);
    else delete p;
  }
  list = out;
}

bool RegionIntersects(TRegionList list, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  for (TRegionRect* p = list; p; p = p->Next) {
    const TRect& P = p->Rect;
    if (std::max(left, P.Left) < std::min(right, P.Right) &&
        std::max(top, P.Top) < std::min(bottom, P.Bottom))
      return true;
  }
  return false;
}

void RegionLimit(TRegionList& list, int maxRects) {
  int count = 0;
  TRect box;
  for (TRegionRect* p = list; p; p = p->Next) {
    const TRect& P = p->Rect;
    if (count++ == 0) {
      box = P;
      continue;
    }
    box = {std::min(box.Left, P.Left), std::min(box.Top, P.Top), std::max(box.Right, P.Right),
           std::max(box.Bottom, P.Bottom)};
  }
  if (count > maxRects) RegionSet(list, box.Left, box.Top, box.Right, box.Bottom);
}
