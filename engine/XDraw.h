// Drawing routines of the button renderer: stars, conical gradients, shaded rings, wrapped
// button captions, and the striped caption of the style window's list items.
#pragma once
#include <functional>
#include <string>

#include "platform/Canvas.h"

// A star polygon of `vertexCount` vertices alternating between the outer factor (even
// vertices, the first straight below the centre) and the inner one. Fewer than 3 vertices
// draw nothing; there is no upper limit.
void DrawStar(TCanvas& canvas, const TRect& rect, double innerFactor, double outerFactor, int vertexCount);
// The wedge of an elliptical ring between two angles in whole degrees (0 at twelve o'clock,
// clockwise), one 1-degree quadrilateral at a time, colour 1 running towards colour 2.
void DrawConicalGradient(TCanvas& canvas, int startAngle, int endAngle, int left, int top, int right,
                         int bottom, TColor color1, TColor color2, int inset);
void DrawShadedRing(TCanvas& canvas, int left, int top, int right, int bottom, TColor colorA, TColor colorB,
                    TColor colorC, TColor colorD, int inset);
// Word-wrapped text centred vertically in the box; true when the wrapped text is at least as
// tall as the box. The text passes through the text-macro expansion first.
bool DrawButtonText(TCanvas& canvas, const std::string& text, int alignment, int left, int top, int right,
                    int bottom, TColor color);

// The owner-draw state of a list item, as a bit set.
enum TOwnerDrawStateFlag : uint32_t {
  odSelected = 1 << 0,
  odGrayed = 1 << 1,
  odDisabled = 1 << 2,
  odChecked = 1 << 3,
  odFocused = 1 << 4,
  odDefault = 1 << 5,
  odHotLight = 1 << 6,
  odInactive = 1 << 7,
  odNoAccel = 1 << 8,
  odNoFocusRect = 1 << 9,
  odComboBoxEdit = 1 << 12
};
using TOwnerDrawState = uint32_t;
void DrawListItemCaption(TCanvas& canvas, const std::string& text, const TRect& rect, TOwnerDrawState state);

// The text-macro expansion applied to captions. The application environment installs its
// own at start; until then texts are drawn as they are.
using TTextMacroExpander = std::function<std::string(const std::string&)>;
void SetTextMacroExpander(TTextMacroExpander expander);
std::string ExpandCaptionMacros(const std::string& text);
