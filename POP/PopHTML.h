// Small builders of HTML fragments: attribute values, sizes, images, colours, alignments,
// body text and font elements.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Canvas.h"
#include "platform/Types.h"

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
