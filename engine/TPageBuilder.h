// The page builder's table, below the GUI line: the objects of the scene that meet the
// built area become rectangles of the slicer, and their captions, text areas and snippets
// become the markup of their cells where they can. The window keeps the dialogs, the site
// folder, the redraw and the browser.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/TTableMaker.h"
#include "platform/Types.h"

class TFont;
class TZLMButton;
class ZButtonList;

// Expands the text macros of a caption (the application's, handed down from above).
using TTextMacros = std::function<std::string(const std::string&)>;

// The face list of a font in the page: its name, the face fontconfig chose for it in the
// editor, and that face's generic family ("Verdana,DejaVu Sans,sans-serif").
std::string PageFontFaces(const TFont& font);

// The markup of one object's cell: a snippet's text as markup, a caption that is not
// antialiased and fits its box (or any text area) as encoded text; "" for pixels.
std::string ObjectCellMarkup(const TZLMButton& object, const TTextMacros& expand);

struct TPageTable {
  std::unique_ptr<TTableMaker> Maker;  // laid out
  // The objects whose caption went into the markup: HideText and Changed are set, so the
  // next redraw draws the page without them.
  std::vector<TZLMButton*> Hidden;
};

// A table of the area's size with every object of the scene that meets the area and is
// fully visible (bottom to top, offset to the area's corner); the others get HideText false.
// An object that the area cuts is pixels of the crop, never markup.
// When it raises, the captions it took out are back (HideText false, Changed true).
TPageTable BuildPageTable(ZButtonList& scene, const TRect& area, const TTextMacros& expand);

// Puts the captions back: HideText false and Changed true, for the next redraw.
void ShowCaptions(const std::vector<TZLMButton*>& hidden);
