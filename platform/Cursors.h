// The screen's table of cursors by number, as the GUI shows them. A cursor here is a
// standard shape, or pictures of its own (one, or the frames of an animated cursor) with
// a hot spot; the GUI maps the shape to its own cursor.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Graphics.h"
#include "platform/Types.h"

using TCursor = int16_t;

enum TCursorShape { csArrow, csHandPoint, csDrag, csMultiDrag, csCross, csIBeam, csHourGlass, csNo };

struct TCursorImage {
  std::string Name;  // the resource it was loaded from
  TCursorShape Shape = csArrow;
  // Pictures of its own, 32 bits with straight alpha, in the order they are shown; empty
  // for a standard shape. Rates: each frame's time in 1/60 s (empty for a still cursor).
  std::vector<std::shared_ptr<const TBitmap>> Frames;
  std::vector<int32_t> Rates;
  TPoint HotSpot;
};

void SetScreenCursor(TCursor id, const TCursorImage& cursor);
// Takes the number's cursor out of the table; a number without one is left alone.
void DeleteScreenCursor(TCursor id);
// nullptr for a number without a cursor.
const TCursorImage* ScreenCursor(TCursor id);
