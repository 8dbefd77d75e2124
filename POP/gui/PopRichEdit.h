// Rich-edit helpers: HTML colouring while the user types, the insertion of generated HTML,
// caret rows and columns, whole-text colourers and painting onto a canvas. A QTextEdit is
// the rich edit: plain text with per-character colours, positions 0-based character offsets
// into its document (one position per line break).
//
// The change handler of a control is whatever is connected to its textChanged signal; the
// functions here "detach" it by blocking the control's signals for the duration of a call,
// which also keeps the colouring from re-entering itself.
#pragma once
#include <string>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Types.h"

class QTextEdit;

// The token colours (0x00BBGGRR).
constexpr TColor HTMLColorText = 0x000000;       // text outside tags, black
constexpr TColor HTMLColorBracket = 0x800000;    // "<" and ">", navy
constexpr TColor HTMLColorTagName = 0x800080;    // tag name, purple
constexpr TColor HTMLColorAttribute = 0x0000FF;  // attribute name with blanks before it, red
constexpr TColor HTMLColorEquals = 0x008000;     // "=" and the blanks after it, green
constexpr TColor HTMLColorValue = 0xFF0000;      // attribute value, blue

// Re-colours the tokens around the caret: from the last black or red character before it up
// to the first already-right token behind it. The text, the selection and the modified
// flag stay as they were.
void HTMLHilightChange(QTextEdit* richEdit);
// Replaces the selection by Text, colours it, and leaves the caret behind it. The inserted
// text first takes the control's background colour, which no token uses, so that the change
// handler's colouring pass sees it as uncoloured; when no handler coloured it, this does.
void HTMLHilightSetSelText(QTextEdit* richEdit, const std::string& text);

// The colour of the character at a position (of the one before it, as an empty selection
// there reports, except at the start of a line), and of a range: false when the range is
// not of one colour. Characters without a colour of their own count as black.
TColor RichEditColorAt(QTextEdit* richEdit, int position);
bool RichEditRangeColor(QTextEdit* richEdit, int start, int length, TColor& color);

// Lines are the control's paragraphs (it wraps no words in this program). Out-of-range rows
// give -1.
int RichEditRowFromSelPos(QTextEdit* richEdit, int position);
int RichEditSelPosFromRow(QTextEdit* richEdit, int row);
int RichEditSelRow(QTextEdit* richEdit);
int RichEditSelCol(QTextEdit* richEdit);
// Selects Length characters from Start (both limited to the text), the caret at the end.
void RichEditSetSel(QTextEdit* richEdit, int start, int length);

// The content with its formatting in one string, and back. The stand-in control's rich-text
// form is the toolkit's own markup.
std::string RichEditGetRTF(QTextEdit* richEdit);
void RichEditSetRTF(QTextEdit* richEdit, const std::string& richText);
// Lays the content out into the rectangle of the canvas's bitmap, at the canvas font's
// pixels per inch; drawn pixels get alpha 0 as every canvas drawing does.
void RichEditPaintTo(QTextEdit* richEdit, const TRect& r, TCanvas& canvas);

// Selects from the Open character before the caret to the Close character after it; false
// (nothing changed) when the caret is not inside such a pair.
bool RichEditSelectTag(QTextEdit* richEdit, char open, char close);
bool RichEditSelectHTMLTag(QTextEdit* richEdit);

// Inserts at the caret the leading blanks and TABs of the line before the caret's line.
void HTMLHilightAutoIndent(QTextEdit* richEdit);
// The clipboard's text, or an HTML text, inserted with HTMLHilightSetSelText.
void HTMLHilightPasteFromClipboard(QTextEdit* richEdit);
void HTMLHilightInsertHTML(QTextEdit* richEdit, const std::string& html);

// Colour and styles of Length characters from Start.
void RichEditFormatBlock(QTextEdit* richEdit, int start, int length, TColor color, TFontStyles styles);
// Replaces the selection by Text (no colouring), the caret behind it.
void RichEditSetSelText(QTextEdit* richEdit, const std::string& text);
// The control's font (name, size, styles) and text colour for the whole content.
void RichEditSetFont(QTextEdit* richEdit, const TFont& font);
// The colour of Length characters from Start.
void RichEditSetHilight(QTextEdit* richEdit, int start, int length, TColor color);

// Whole-text colouring: the text in "Courier New" 10 points, coloured by
// RichEditHilightHTML. The load raises EFOpenError when the file cannot be read and then
// leaves the control as it was.
void RichEditHilightLoadFromFile(QTextEdit* richEdit, const std::string& fileName);
void RichEditHilightRefresh(QTextEdit* richEdit);
void RichEditHilightClear(QTextEdit* richEdit);
void RichEditHilightSetText(QTextEdit* richEdit, const std::string& text);
void RichEditHilightPaste(QTextEdit* richEdit);
// The token colours over the whole text.
void RichEditHilightHTML(QTextEdit* richEdit);
// As RichEditHilightHTML, then every link, from "<a" to the end of the next "</a>" (case
// blind), underlined.
void RichEditHilightCoolHTML(QTextEdit* richEdit);
// Whole words of the list (case-blind, letters, digits and '_' making up words) in bold
// navy, the rest black.
void RichEditHilightCPP(QTextEdit* richEdit, const std::vector<std::string>& keywords);
