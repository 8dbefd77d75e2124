#include "POP/PopHTML.h"

#include "platform/Graphics.h"
#include "platform/SysUtils.h"

namespace {

bool PlainValueChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_';
}

// CR LF, a lone CR and a lone LF each become CR LF.
std::string AdjustLineBreaks(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      out += "\r\n";
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else if (s[i] == '\n') {
      out += "\r\n";
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

std::string HTMLEncodeValue(const std::string& text) {
  bool plain = true;
  for (char c : text) plain = plain && PlainValueChar(c);
  if (plain) return text;
  return "\"" + StringReplaceAll(text, "\"", "&quot;") + "\"";
}

std::string HTMLEncodeSize(int32_t width, int32_t height) {
  return Format("width=%d height=%d", width, height);
}

std::string HTMLEncodeImg(const std::string& src, int32_t width, int32_t height) {
  return "<IMG src=" + HTMLEncodeValue(src) + " border=0 " + HTMLEncodeSize(width, height) + ">";
}

std::string HTMLEncodeColor(TColor color) {
  TColor c = ColorToRGB(color);
  return Format("%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
}

std::string HTMLEncodeAlign(TAlignment horizontal, TAlignment vertical) {
  std::string s;
  if (horizontal == taRightJustify) s = "ALIGN=RIGHT";
  if (horizontal == taCenter) s = "ALIGN=CENTER";
  s += " ";
  if (vertical == taLeftJustify) s += "VALIGN=TOP";
  if (vertical == taRightJustify) s += "VALIGN=BOTTOM";
  return Trim(s);
}

std::string HTMLEncodeParaAlignment(TAlignment alignment, const std::string& text) {
  if (text.empty()) return text;
  if (alignment == taCenter) return "<DIV ALIGN=CENTER>" + text + "</DIV>";
  if (alignment == taRightJustify) return "<DIV ALIGN=RIGHT>" + text + "</DIV>";
  return text;
}

std::string HTMLEncodeText(const std::string& text) {
  std::string s = StringReplaceAll(text, "&", "&amp;");
  s = StringReplaceAll(s, "<", "&lt;");
  s = StringReplaceAll(s, ">", "&gt;");
  s = StringReplaceAll(s, "\"", "&quot;");
  s = StringReplaceAll(s, "\t", "        ");
  while (s.find("  ") != std::string::npos) s = StringReplaceAll(s, "  ", "&nbsp; ");
  return StringReplaceAll(AdjustLineBreaks(s), "\r\n", "<BR>");
}

std::string HTMLEncodeFontStyles(TFontStyles styles, const std::string& text) {
  std::string open, close;
  if (styles & fsBold) open += "<B>", close = "</B>" + close;
  if (styles & fsItalic) open += "<I>", close = "</I>" + close;
  if (styles & fsUnderline) open += "<U>", close = "</U>" + close;
  if (styles & fsStrikeOut) open += "<S>", close = "</S>" + close;
  return open + text + close;
}

std::string HTMLEncodeFontParts(TColor color, const std::string& face, int32_t heightPixels,
                                TFontStyles styles, const std::string& text) {
  if (text.empty()) return text;
  return "<FONT color=" + HTMLEncodeColor(color) + " face=" + HTMLEncodeValue(face) +
         " style=text-decoration:none;font-size:" + IntToStr(heightPixels) + ">" +
         HTMLEncodeFontStyles(styles, text) + "</FONT>";
}

std::string HTMLEncodeFont(const TFont& font, const std::string& text) {
  // A negative height is the character height; a positive one (a cell height) is written
  // as it is, so the size in the page is never negative.
  int32_t height = font.Height() < 0 ? -font.Height() : font.Height();
  return HTMLEncodeFontParts(font.Color, font.Name, height, font.Style, text);
}

std::string HTMLEncodeAlignment(TAlignment alignment) {
  if (alignment == taRightJustify) return "right";
  if (alignment == taCenter) return "center";
  return "left";
}

std::string HTMLEncodeMeta(const std::string& name, const std::string& content) {
  return "<META NAME=" + HTMLEncodeValue(name) + " CONTENT=" + HTMLEncodeValue(content) + ">";
}

std::string HTMLEncodeSpan(int32_t width, int32_t height, const std::string& text) {
  return Format("<SPAN style=\"width:%d;height:%d;overflow:hidden\">", width, height) + text + "</SPAN>";
}

std::string HTMLEncodeAttribute(const std::string& name, const std::string& value) {
  if (name.empty()) return "";
  std::string s = " " + HTMLEncodeValue(name);
  if (!value.empty()) s += "=" + HTMLEncodeValue(value);
  return s;
}

std::string HTMLEncodeTag(const std::string& name, const std::string& attributes) {
  if (name.empty()) return "";
  return "<" + name + (attributes.empty() ? "" : " " + attributes) + ">";
}

std::string HTMLEncodeParam(const std::string& name, const std::string& value) {
  return "<PARAM name=" + name + " value=" + HTMLEncodeValue(value) + ">";
}

TColor HTMLDecodeColor(const std::string& text) {
  std::string digits;
  for (char c : text)
    if (HexDigit(c) >= 0) digits += c;
  int channel[3] = {0, 0, 0};
  for (int i = 0; i < 3 && size_t(i * 2 + 1) < digits.size(); ++i)
    channel[i] = HexDigit(digits[size_t(i * 2)]) * 16 + HexDigit(digits[size_t(i * 2 + 1)]);
  return RGB(uint8_t(channel[0]), uint8_t(channel[1]), uint8_t(channel[2]));
}

std::string HTMLDecodeInnerText(const std::string& text) {
  std::string s = StringReplaceAll(text, "&lt;", "<", true);
  s = StringReplaceAll(s, "&gt;", ">", true);
  s = StringReplaceAll(s, "&nbsp;", " ", true);
  s = StringReplaceAll(s, "&quot;", "\"", true);
  return StringReplaceAll(s, "&amp;", "&", true);
}

std::string HTMLEncodeTextAttributes(const THTMLTextAttributes& attributes, const std::string& html) {
  return HTMLEncodeFontParts(attributes.Color, attributes.Name, MulDiv(attributes.Size, 96, 72),
                             attributes.Style, html);
}

std::string HTMLEncodeParaAttributes(const THTMLParaAttributes& attributes, const std::string& html) {
  std::string tag = "<P";
  if (attributes.Alignment == taCenter) tag += " ALIGN=CENTER";
  if (attributes.Alignment == taRightJustify) tag += " ALIGN=RIGHT";
  if (attributes.LeftIndent != 0) tag += Format(" style=\"margin-left:%dpx\"", attributes.LeftIndent);
  return tag + ">" + (html.empty() ? "&nbsp;" : html) + "</P>";
}

std::string HTMLEncodeBitmap(const TBitmap& bitmap,
                             const std::function<void(int row, int lastRow)>& progress) {
  const int w = bitmap.Width(), h = bitmap.Height();
  std::string s = Format(
      "<TABLE style=\"table-layout:fixed\" border=0 cellSpacing=0 cellPadding=0 width=%d "
      "height=%d>\r\n",
      w, h);
  for (int y = 0; y < h; ++y) {
    s += "<TR>";
    for (int x = 0; x < w;) {
      // Alpha plays no part: a cell has a colour only.
      const TColor c = bitmap.GetPixelColor(x, y) & 0xFFFFFF;
      int n = 1;
      while (x + n < w && (bitmap.GetPixelColor(x + n, y) & 0xFFFFFF) == c) ++n;
      if (n > 1) s += Format("<TD colSpan=%d bgColor=%s></TD>", n, HTMLEncodeColor(c).c_str());
      else s += "<TD bgColor=" + HTMLEncodeColor(c) + "></TD>";
      x += n;
    }
    s += "</TR>\r\n";
    if (progress) progress(y, h - 1);
  }
  return s + "</TABLE>";
}
