#include "POP/PopTypes.h"

#include <algorithm>

int32_t RectWidth(const TRect& r) { return r.Right - r.Left; }
int32_t RectHeight(const TRect& r) { return r.Bottom - r.Top; }
TRect RectIntersection(const TRect& a, const TRect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
}
bool RectIsVisible(const TRect& r) { return r.Left < r.Right && r.Top < r.Bottom; }
bool RectIsOverlap(const TRect& a, const TRect& b) { return RectIsVisible(RectIntersection(a, b)); }
TRect RectMakeVisible(const TRect& r) { return RectAbsolute(r); }
TPoint PointAdd(const TPoint& a, const TPoint& b) { return {a.X + b.X, a.Y + b.Y}; }
TPoint PointSub(const TPoint& a, const TPoint& b) { return {a.X - b.X, a.Y - b.Y}; }
bool RectIsEqual(const TRect& a, const TRect& b) { return a == b; }
bool RectContains(const TRect& r, const TPoint& p) {
  return r.Left <= p.X && p.X < r.Right && r.Top <= p.Y && p.Y < r.Bottom;
}
TRect RectBoundingBox(const TRect& a, const TRect& b) {
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}
TRect RectAbsolute(const TRect& r) {
  return {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
          std::max(r.Top, r.Bottom)};
}
TRect RectOffset(const TRect& r, int32_t dx, int32_t dy) {
  return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}
TRect RectInflate(const TRect& r, int32_t dx, int32_t dy) {
  return {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}
