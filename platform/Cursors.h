// The screen's table of cursors by number, as the GUI shows them. A cursor here is a
// standard shape; the GUI maps the shape to its own cursor.
#pragma once
#include <cstdint>
#include <string>

using TCursor = int16_t;

enum TCursorShape { csArrow, csHandPoint, csDrag, csMultiDrag, csCross, csIBeam, csHourGlass, csNo };

struct TCursorImage {
  std::string Name;  // the resource it was loaded from
  TCursorShape Shape = csArrow;
};

void SetScreenCursor(TCursor id, const TCursorImage& cursor);
// nullptr for a number without a cursor.
const TCursorImage* ScreenCursor(TCursor id);
