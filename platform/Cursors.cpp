#include "platform/Cursors.h"

#include <map>

namespace {
std::map<TCursor, TCursorImage>& Table() {
  static std::map<TCursor, TCursorImage> table;
  return table;
}
}  // namespace

void SetScreenCursor(TCursor id, const TCursorImage& cursor) { Table()[id] = cursor; }

void DeleteScreenCursor(TCursor id) { Table().erase(id); }

const TCursorImage* ScreenCursor(TCursor id) {
  auto it = Table().find(id);
  return it == Table().end() ? nullptr : &it->second;
}
