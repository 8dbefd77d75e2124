// Rectangle and point functions; TRect's right and bottom edges lie outside.
#pragma once
#include "platform/Types.h"

int32_t RectWidth(const TRect& r);
int32_t RectHeight(const TRect& r);
TRect RectIntersection(const TRect& a, const TRect& b);
bool RectIsVisible(const TRect& r);
bool RectIsOverlap(const TRect& a, const TRect& b);
TRect RectMakeVisible(const TRect& r);
TPoint PointAdd(const TPoint& a, const TPoint& b);
TPoint PointSub(const TPoint& a, const TPoint& b);
bool RectIsEqual(const TRect& a, const TRect& b);
bool RectContains(const TRect& r, const TPoint& p);
TRect RectBoundingBox(const TRect& a, const TRect& b);
TRect RectAbsolute(const TRect& r);
TRect RectOffset(const TRect& r, int32_t dx, int32_t dy);
TRect RectInflate(const TRect& r, int32_t dx, int32_t dy);
