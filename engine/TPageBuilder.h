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

// The face list of a font in the page: its name, the faces the editor draws the text in
// (the name's face first, then those that hold the letters it lacks), and the generic family
// of the name's face ("Verdana,DejaVu Sans,sans-serif").
std::string PageFontFaces(const TFont& font, const std::string& text = "");

// How a caption stands in its object's box in the page: the editor's lines (breaks at
// blanks and line breaks only), the editor's line height, the offset of the first line from
// the box's top, and whether a browser shows all of it inside the box with room to spare.
struct TCaptionLayout {
  std::vector<std::string> Lines;
  int LineHeight = 0;
  int Top = 0;
  bool Fits = false;
};
// The room a browser needs beyond what the editor measures: pixels across each line (and a
// tenth of its width), pixels down the whole text.
constexpr int kCaptionRoomX = 2;
constexpr int kCaptionRoomY = 2;
TCaptionLayout CaptionLayout(const TFont& font, const std::string& text, int width, int height);

// The markup of one object's cell: a snippet's text as markup, a caption that is not
// antialiased and that a browser shows whole in its box (CaptionLayout), or any text area,
// as encoded text; "" for pixels. Each is boxed at the object's size.
// A snippet's markup is balanced first (BalanceSnippet); what that had to close or drop is
// handed back in `repairs`.
std::string ObjectCellMarkup(const TZLMButton& object, const TTextMacros& expand,
                             std::vector<std::string>* repairs = nullptr);

// A linked object whose link is on no cell of the site: nothing of it shows on the page.
struct TLostLink {
  enum TWhy { Covered, OffPage };
  TZLMButton* Object;
  TWhy Why;
};

// A snippet whose markup had to be mended to stay in its box, and what was done.
struct TSnippetRepairs {
  TZLMButton* Object;
  std::vector<std::string> Repairs;
};

struct TPageTable {
  std::unique_ptr<TTableMaker> Maker;  // laid out
  // The objects whose caption went into the markup: HideText and Changed are set, so the
  // next redraw draws the page without them.
  std::vector<TZLMButton*> Hidden;
  std::vector<TLostLink> LostLinks;
  std::vector<TSnippetRepairs> SnippetRepairs;
};

// A table of the area's size with every object of the scene that meets the area (bottom to
// top, offset to the area's corner). Only objects fully visible and wholly inside the area
// can be markup; the others are pixels, and every object owns the cells it alone covers, so
// a linked object keeps its link over the part of it that shows. The links left on no cell
// are listed, and with wholePage (the site is the whole page) the links of objects outside
// the page too. When it raises, the captions it took out are back (HideText false, Changed
// true).
TPageTable BuildPageTable(ZButtonList& scene, const TRect& area, const TTextMacros& expand,
                          bool wholePage = false);
// The message that tells the user which snippets were mended and how; "" for none.
std::string SnippetRepairsMessage(const std::vector<TSnippetRepairs>& repaired);
// The message that tells the user which links the site lost and why; "" for none.
std::string LostLinksMessage(const std::vector<TLostLink>& lost);

// Puts the captions back: HideText false and Changed true, for the next redraw.
void ShowCaptions(const std::vector<TZLMButton*>& hidden);
