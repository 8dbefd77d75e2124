// The cursors of the utility units: the hand and the drag cursor of the program's
// resources, entered into the screen's cursor table at start-up.
#pragma once
#include <string>

#include "platform/Cursors.h"

constexpr TCursor crHand = 14000, crDragHand = 14001;

// The program's cursor resource of that name; raises EResNotFound when there is none.
TCursorImage LoadCursorResource(const std::string& name);
// Enters "PX_HANDCUR" and "PX_DRAGCUR" as cursors 14000 and 14001.
void InitPxconst();
