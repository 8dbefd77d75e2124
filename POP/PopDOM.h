// Opening a page in the browser window of a name, and the page body's background colour.
#pragma once
#include <string>

#include "platform/Types.h"

// The target names one browser window; the desktop's handler has no named windows, so the
// name is kept only for callers. A local file name (absolute, or an existing relative one)
// is opened as its file: URL, "#" and all; a URL is opened without its fragment. Returns
// whether the page could be handed over.
bool DOMBrowseTo(const std::string& url, const std::string& target);

// The background colour of a page's body, from the page's HTML text: the "bgcolor" attribute
// of its first BODY tag, read as browsers read it ("#rrggbb", "rrggbb", "#rgb", the colour
// names of CSS, and the lenient reading of anything else). clNone when the body
// names no colour, the attribute is empty or "transparent", or the page has no BODY tag.
TColor DOMGetBodyBGColor(const std::string& document);
// Writes the colour into the first BODY tag as six hexadecimal digits, replacing the
// attribute or adding it; clNone and clDefault remove it. The rest of the text is kept byte
// for byte. Raises Exception when the text has no BODY tag.
void DOMSetBodyBGColor(std::string& document, TColor color);
