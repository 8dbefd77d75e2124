#include "POP/PopDOM.h"

#include <cstring>

#include "POP/PopHTML.h"
#include "POP/PopWinInet.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

namespace {
// A name without a scheme that names something here, or any absolute path: a "#" or "?" in
// it is part of a file's name, not a fragment or a query.
bool IsLocalFileName(const std::string& name) {
  if (name.empty()) return false;
  if (name[0] == '/') return true;
  if (UrlCrack(name).ok) return false;
  return FileExists(name) || DirectoryExists(name);
}
}  // namespace

bool DOMBrowseTo(const std::string& url, const std::string& target) {
  std::string cut = IsLocalFileName(url) ? UrlFromFileName(url) : url.substr(0, url.find('#'));
  if (cut.size() > 65535) cut.resize(65535);
  if (cut.empty() || cut[0] == '-') return false;
  return Services().OpenUrl(cut);
}

namespace {
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
std::string Lowered(std::string s) {
  for (char& c : s) c = Lower(c);
  return s;
}

struct TBodyTag {
  bool Found = false;
  size_t NameEnd = 0;  // just after "<body"
  bool HasColor = false;
  size_t AttrBegin = 0, AttrEnd = 0;  // the whole first bgcolor attribute
  std::string Name, Value;            // its name as written, and its value without quotes
};

// The first BODY start tag as a browser's tokenizer meets it: comments and the text of the
// elements whose content is not markup (script, style, textarea, title, xmp) are passed over,
// a tag cut off by the end of the text does not count, and of a repeated attribute the
// first one holds.
TBodyTag FindBody(const std::string& doc) {
  const std::string low = Lowered(doc);
  const size_t n = doc.size();
  size_t i = 0;
  while ((i = low.find('<', i)) != std::string::npos) {
    if (low.compare(i, 4, "<!--") == 0) {
      size_t e = low.find("-->", i + 4);
      if (e == std::string::npos) break;
      i = e + 3;
      continue;
    }
    size_t p = i + 1;
    if (p >= n || !(low[p] >= 'a' && low[p] <= 'z')) {
      ++i;
      continue;
    }
    while (p < n && !IsSpace(low[p]) && low[p] != '/' && low[p] != '>') ++p;
    const std::string name = low.substr(i + 1, p - i - 1);
    TBodyTag tag;
    tag.NameEnd = p;
    bool closed = false;
    while (p < n) {
      while (p < n && (IsSpace(low[p]) || low[p] == '/')) ++p;
      if (p >= n) break;
      if (low[p] == '>') {
        closed = true;
        ++p;
        break;
      }
      const size_t attrBegin = p;
      ++p;  // a first "=" belongs to the name
      while (p < n && !IsSpace(low[p]) && low[p] != '/' && low[p] != '>' && low[p] != '=') ++p;
      const std::string attrName = doc.substr(attrBegin, p - attrBegin);
      size_t q = p;
      while (q < n && IsSpace(low[q])) ++q;
      std::string value;
      if (q < n && low[q] == '=') {
        ++q;
        while (q < n && IsSpace(low[q])) ++q;
        if (q < n && (low[q] == '"' || low[q] == '\'')) {
          size_t e = low.find(low[q], q + 1);
          if (e == std::string::npos) {
            p = n;
            break;
          }
          value = doc.substr(q + 1, e - q - 1);
          p = e + 1;
        } else {
          size_t b = q;
          while (q < n && !IsSpace(low[q]) && low[q] != '>') ++q;
          value = doc.substr(b, q - b);
          p = q;
        }
      }
      if (!tag.HasColor && Lowered(attrName) == "bgcolor") {
        tag.HasColor = true;
        tag.AttrBegin = attrBegin;
        tag.AttrEnd = p;
        tag.Name = attrName;
        tag.Value = value;
      }
    }
    if (!closed) break;
    if (name == "body") {
      tag.Found = true;
      return tag;
    }
    if (name == "script" || name == "style" || name == "textarea" || name == "title" || name == "xmp") {
      size_t e = low.find("</" + name, p);
      if (e == std::string::npos) break;
      p = e;
    }
    i = p;
  }
  return {};
}

// The rules of HTML for a legacy colour value (the bgcolor attributes): names, "#rgb", and
// for anything else every character that is not a hexadecimal digit read as "0", the digits
// split into three equal parts and each part cut to its two leading significant digits.
// Characters beyond the basic plane count as two.
TColor ParseLegacyColor(std::string v) {
  while (!v.empty() && IsSpace(v.front())) v.erase(0, 1);
  while (!v.empty() && IsSpace(v.back())) v.pop_back();
  if (v.empty() || Lowered(v) == "transparent") return clNone;
  // The colour names of CSS, as "name:rrggbb " pairs.
  static const char* const kNames =
      "aliceblue:f0f8ff antiquewhite:faebd7 aqua:00ffff aquamarine:7fffd4 azure:f0ffff beige:f5f5dc "
      "bisque:ffe4c4 black:000000 blanchedalmond:ffebcd blue:0000ff blueviolet:8a2be2 brown:a52a2a "
      "burlywood:deb887 cadetblue:5f9ea0 chartreuse:7fff00 chocolate:d2691e coral:ff7f50 "
      "cornflowerblue:6495ed cornsilk:fff8dc crimson:dc143c cyan:00ffff darkblue:00008b darkcyan:008b8b "
      "darkgoldenrod:b8860b darkgray:a9a9a9 darkgreen:006400 darkgrey:a9a9a9 darkkhaki:bdb76b "
      "darkmagenta:8b008b darkolivegreen:556b2f darkorange:ff8c00 darkorchid:9932cc darkred:8b0000 "
      "darksalmon:e9967a darkseagreen:8fbc8f darkslateblue:483d8b darkslategray:2f4f4f "
      "darkslategrey:2f4f4f darkturquoise:00ced1 darkviolet:9400d3 deeppink:ff1493 deepskyblue:00bfff "
      "dimgray:696969 dimgrey:696969 dodgerblue:1e90ff firebrick:b22222 floralwhite:fffaf0 "
      "forestgreen:228b22 fuchsia:ff00ff gainsboro:dcdcdc ghostwhite:f8f8ff gold:ffd700 "
      "goldenrod:daa520 gray:808080 green:008000 greenyellow:adff2f grey:808080 honeydew:f0fff0 "
      "hotpink:ff69b4 indianred:cd5c5c indigo:4b0082 ivory:fffff0 khaki:f0e68c lavender:e6e6fa "
      "lavenderblush:fff0f5 lawngreen:7cfc00 lemonchiffon:fffacd lightblue:add8e6 lightcoral:f08080 "
      "lightcyan:e0ffff lightgoldenrodyellow:fafad2 lightgray:d3d3d3 lightgreen:90ee90 lightgrey:d3d3d3 "
      "lightpink:ffb6c1 lightsalmon:ffa07a lightseagreen:20b2aa lightskyblue:87cefa "
      "lightslategray:778899 lightslategrey:778899 lightsteelblue:b0c4de lightyellow:ffffe0 lime:00ff00 "
      "limegreen:32cd32 linen:faf0e6 magenta:ff00ff maroon:800000 mediumaquamarine:66cdaa "
      "mediumblue:0000cd mediumorchid:ba55d3 mediumpurple:9370db mediumseagreen:3cb371 "
      "mediumslateblue:7b68ee mediumspringgreen:00fa9a mediumturquoise:48d1cc mediumvioletred:c71585 "
      "midnightblue:191970 mintcream:f5fffa mistyrose:ffe4e1 moccasin:ffe4b5 navajowhite:ffdead "
      "navy:000080 oldlace:fdf5e6 olive:808000 olivedrab:6b8e23 orange:ffa500 orangered:ff4500 "
      "orchid:da70d6 palegoldenrod:eee8aa palegreen:98fb98 paleturquoise:afeeee palevioletred:db7093 "
      "papayawhip:ffefd5 peachpuff:ffdab9 peru:cd853f pink:ffc0cb plum:dda0dd powderblue:b0e0e6 "
      "purple:800080 rebeccapurple:663399 red:ff0000 rosybrown:bc8f8f royalblue:4169e1 "
      "saddlebrown:8b4513 salmon:fa8072 sandybrown:f4a460 seagreen:2e8b57 seashell:fff5ee sienna:a0522d "
      "silver:c0c0c0 skyblue:87ceeb slateblue:6a5acd slategray:708090 slategrey:708090 snow:fffafa "
      "springgreen:00ff7f steelblue:4682b4 tan:d2b48c teal:008080 thistle:d8bfd8 tomato:ff6347 "
      "turquoise:40e0d0 violet:ee82ee wheat:f5deb3 white:ffffff whitesmoke:f5f5f5 yellow:ffff00 "
      "yellowgreen:9acd32";
  const std::string key = " " + Lowered(v) + ":";
  const std::string names = std::string(" ") + kNames;
  const bool word = Lowered(v).find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
  size_t at = word ? names.find(key) : std::string::npos;
  if (at != std::string::npos) {
    const char* h = names.c_str() + at + key.size();
    return RGB(uint8_t(HexDigit(h[0]) * 16 + HexDigit(h[1])), uint8_t(HexDigit(h[2]) * 16 + HexDigit(h[3])),
               uint8_t(HexDigit(h[4]) * 16 + HexDigit(h[5])));
  }
  if (v.size() == 4 && v[0] == '#' && HexDigit(v[1]) >= 0 && HexDigit(v[2]) >= 0 && HexDigit(v[3]) >= 0)
    return RGB(uint8_t(HexDigit(v[1]) * 17), uint8_t(HexDigit(v[2]) * 17), uint8_t(HexDigit(v[3]) * 17));
  // One character per code point of the UTF-8 text; beyond the basic plane, two.
  std::string s;
  for (unsigned char c : v) {
    if (c >= 0xF0) s += "00";
    else if (c >= 0xC0) s += '0';
    else if (c < 0x80) s += char(c);
  }
  if (s.size() > 128) s.resize(128);
  if (!s.empty() && s[0] == '#') s.erase(0, 1);
  for (char& c : s)
    if (HexDigit(c) < 0) c = '0';
  while (s.empty() || s.size() % 3 != 0) s += '0';
  size_t len = s.size() / 3;
  std::string part[3] = {s.substr(0, len), s.substr(len, len), s.substr(2 * len, len)};
  if (len > 8) {
    for (auto& p : part) p.erase(0, len - 8);
    len = 8;
  }
  while (len > 2 && part[0][0] == '0' && part[1][0] == '0' && part[2][0] == '0') {
    for (auto& p : part) p.erase(0, 1);
    --len;
  }
  int channel[3];
  for (int k = 0; k < 3; ++k) {
    channel[k] = 0;
    for (size_t j = 0; j < std::min<size_t>(len, 2); ++j) channel[k] = channel[k] * 16 + HexDigit(part[k][j]);
  }
  return RGB(uint8_t(channel[0]), uint8_t(channel[1]), uint8_t(channel[2]));
}
}  // namespace

namespace {
// An attribute value as the browser hands it on: the named references of HTMLDecodeInnerText
// and numeric ones ("&#35;", "&#x23;"), the latter written as UTF-8.
std::string DecodeAttribute(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value.compare(i, 2, "&#") == 0) {
      size_t p = i + 2;
      const bool hex = p < value.size() && Lower(value[p]) == 'x';
      if (hex) ++p;
      uint32_t code = 0;
      size_t digits = 0;
      for (; p < value.size() && digits < 8; ++p, ++digits) {
        int d = hex ? HexDigit(value[p]) : (value[p] >= '0' && value[p] <= '9' ? value[p] - '0' : -1);
        if (d < 0) break;
        code = code * (hex ? 16 : 10) + uint32_t(d);
      }
      if (digits > 0 && code > 0 && code <= 0x10FFFF) {
        if (code < 0x80) out += char(code);
        else if (code < 0x800) out += {char(0xC0 | (code >> 6)), char(0x80 | (code & 0x3F))};
        else if (code < 0x10000)
          out += {char(0xE0 | (code >> 12)), char(0x80 | ((code >> 6) & 0x3F)), char(0x80 | (code & 0x3F))};
        else
          out += {char(0xF0 | (code >> 18)), char(0x80 | ((code >> 12) & 0x3F)),
                  char(0x80 | ((code >> 6) & 0x3F)), char(0x80 | (code & 0x3F))};
        i = p < value.size() && value[p] == ';' ? p : p - 1;
        continue;
      }
    }
    out += value[i];
  }
  return HTMLDecodeInnerText(out);
}
}  // namespace

TColor DOMGetBodyBGColor(const std::string& document) {
  TBodyTag body = FindBody(document);
  if (!body.Found || !body.HasColor) return clNone;
  return ParseLegacyColor(DecodeAttribute(body.Value));
}

void DOMSetBodyBGColor(std::string& document, TColor color) {
  TBodyTag body = FindBody(document);
  if (!body.Found) throw Exception("The page has no BODY element to take a background colour.");
  if (color == clNone || color == clDefault) {
    if (!body.HasColor) return;
    size_t begin = body.AttrBegin;
    while (begin > body.NameEnd && IsSpace(document[begin - 1])) --begin;
    document.erase(begin, body.AttrEnd - begin);
    return;
  }
  const std::string value = HTMLEncodeColor(color);
  if (body.HasColor) document.replace(body.AttrBegin, body.AttrEnd - body.AttrBegin, body.Name + "=" + value);
  else document.insert(body.NameEnd, " bgColor=" + value);
}
