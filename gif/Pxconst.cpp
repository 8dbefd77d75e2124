#include "gif/Pxconst.h"

#include "gif/Vclutils.h"
#include "platform/SysUtils.h"

TCursorImage LoadCursorResource(const std::string& name) {
  // The program's cursor resources: the shapes they stand for.
  static const struct {
    const char* Name;
    TCursorShape Shape;
  } kResources[] = {{"PX_HANDCUR", csHandPoint}, {"PX_DRAGCUR", csDrag}};
  for (const auto& r : kResources)
    if (SameText(name, r.Name)) {
      TCursorImage cursor;
      cursor.Name = r.Name;
      cursor.Shape = r.Shape;
      return cursor;
    }
  ResourceNotFound(name);
}

void InitPxconst() {
  SetScreenCursor(crHand, LoadCursorResource("PX_HANDCUR"));
  SetScreenCursor(crDragHand, LoadCursorResource("PX_DRAGCUR"));
}
