// Bevel and tab outlines and tab fills on a canvas. Right and Bottom lie outside the shape.
#pragma once
#include "platform/Canvas.h"

void CanvasDrawBevel(TCanvas& canvas, int left, int top, int right, int bottom, TColor color1,
                     TColor color2);
void CanvasDrawTab(TCanvas& canvas, int left, int top, int right, int bottom, TColor color1,
                   TColor color2, int corner);
// Filled with the canvas's brush and outlined with its pen; the colours are not used.
void CanvasFillTab(TCanvas& canvas, int left, int top, int right, int bottom, TColor color1,
                   TColor color2, int corner);
