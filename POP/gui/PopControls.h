// Helpers for any control: its place in a scroll box, its text, and its children.
#pragma once
#include <string>

#include "platform/Types.h"

class QWidget;
class TCanvas;

// Centres the control in the scroll box it lies in, or pins it to the scrolled origin when
// it is larger than the visible area. The scroll box is the scroll area whose viewport is
// the control's parent (or whose widget the control is).
void ControlSetProjectPosition(QWidget* control);
// A control's text (caption of a label or button, text of an edit or combo box, title of
// a window or group box), read and written.
std::string ControlGetTextBuf(const QWidget* control);
void ControlSetTextBuf(QWidget* control, const std::string& text);
// The last direct child control of a class (by its class name or a base class name).
QWidget* WinControlFindClass(QWidget* control, const char* className);
// Keeps the mouse pointer inside the control's client area until called with nullptr (or
// with another control). The pointer is held by a mouse grab and pulled back on each move.
void ControlClipCursor(QWidget* control);
QWidget* ClippedCursorControl();

// A dotted, inverted rectangle or ellipse; drawing the same band twice removes it.
enum TRubberBandShape { rbRectangle, rbEllipse };
void DrawRubberBand(TCanvas& canvas, const TRect& r, TRubberBandShape shape);
