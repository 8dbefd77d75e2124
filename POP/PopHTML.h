// Small builders of HTML fragments: attribute values, sizes, images, colours, alignments,
// body text and font elements.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Canvas.h"
#include "platform/Types.h"

class TBitmap;

// Unchanged when made only of letters, digits, '-', '.' and '_' (or empty); otherwise in
// double quotes. A double quote inside is written as &quot; so it cannot end the value early.
std::string HTMLEncodeValue(const std::string& text);
std::string HTMLEncodeSize(int32_t width, int32_t height);
std::string HTMLEncodeImg(const std::string& src, int32_t width, int32_t height);
// Six upper-case hexadecimal digits, red first; system colours by their current value.
std::string HTMLEncodeColor(TColor color);
// The vertical position uses the same type: left = top, right = bottom, centre = middle.
std::string HTMLEncodeAlign(TAlignment horizontal, TAlignment vertical);
std::string HTMLEncodeParaAlignment(TAlignment alignment, const std::string& text);
std::string HTMLEncodeText(const std::string& text);
std::string HTMLEncodeFontStyles(TFontStyles styles, const std::string& text);
// The FONT element around styled text; `heightPixels` is the character height in pixels.
std::string HTMLEncodeFont(const TFont& font, const std::string& text);
std::string HTMLEncodeFontParts(TColor color, const std::string& face, int32_t heightPixels,
                                TFontStyles styles, const std::string& text);

std::string HTMLEncodeAlignment(TAlignment alignment);
std::string HTMLEncodeMeta(const std::string& name, const std::string& content);
std::string HTMLEncodeSpan(int32_t width, int32_t height, const std::string& text);
std::string HTMLEncodeAttribute(const std::string& name, const std::string& value);
std::string HTMLEncodeTag(const std::string& name, const std::string& attributes);
std::string HTMLEncodeParam(const std::string& name, const std::string& value);
TColor HTMLDecodeColor(const std::string& text);
std::string HTMLDecodeInnerText(const std::string& text);

// Rich text as HTML. The character attributes of a run of text: colour, face, size in
// points and styles; and of a paragraph: its alignment and its left indent in pixels.
struct THTMLTextAttributes {
  TColor Color = clBlack;
  std::string Name = "Arial";
  int32_t Size = 10;
  TFontStyles Style = 0;
};
struct THTMLParaAttributes {
  TAlignment Alignment = taLeftJustify;
  int32_t LeftIndent = 0;
};
// HTML text (already encoded) in a FONT element with the run's attributes, as
// HTMLEncodeFont writes it, the size in pixels at 96 per inch; empty for an empty text.
std::string HTMLEncodeTextAttributes(const THTMLTextAttributes& attributes, const std::string& html);
// A paragraph: "<P", its alignment when not left, a margin-left style when indented, the
// content, "</P>". An empty paragraph holds a no-break space, so the blank line stays.
std::string HTMLEncodeParaAttributes(const THTMLParaAttributes& attributes, const std::string& html);

// A bitmap as a table of one-pixel cells, a cell for each run of equal colours in a row;
// the table is laid out fixed, so a browser draws it pixel for pixel. Progress is reported
// after each row as (row, last row).
std::string HTMLEncodeBitmap(const TBitmap& bitmap,
                             const std::function<void(int row, int lastRow)>& progress = {});
