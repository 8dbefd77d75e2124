#include "platform/Types.h"

#include <algorithm>
#include <iterator>

#include "platform/SysUtils.h"

bool IsRectEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

bool IntersectRect(TRect& dst, const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (IsRectEmpty(r)) {
    dst = TRect{};
    return false;
  }
  dst = r;
  return true;
}

bool UnionRect(TRect& dst, const TRect& a, const TRect& b) {
  if (IsRectEmpty(a)) {
    dst = b;
  } else if (IsRectEmpty(b)) {
    dst = a;
  } else {
    dst = TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                std::max(a.Bottom, b.Bottom)};
  }
  if (IsRectEmpty(dst)) {
    dst = TRect{};
    return false;
  }
  return true;
}

void OffsetRect(TRect& r, int32_t dx, int32_t dy) {
  r.Left += dx;
  r.Right += dx;
  r.Top += dy;
  r.Bottom += dy;
}

void InflateRect(TRect& r, int32_t dx, int32_t dy) {
  r.Left -= dx;
  r.Right += dx;
  r.Top -= dy;
  r.Bottom += dy;
}

namespace {

// The classic values of the system colours, as 0x00BBGGRR.
constexpr TColor kSystemColours[] = {
    0xC8C8C8,  // scroll bar
    0x000000,  // background (desktop)
    0xD1B499,  // active caption
    0xDBCDBF,  // inactive caption
    0xF0F0F0,  // menu
    0xFFFFFF,  // window
    0x646464,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0x000000,  // caption text
    0xB4B4B4,  // active border
    0xFCF7F4,  // inactive border
    0xABABAB,  // application work space
    0xFF9933,  // highlight
    0xFFFFFF,  // highlight text
    0xF0F0F0,  // button face
    0xA0A0A0,  // button shadow
    0x6D6D6D,  // grey text
    0x000000,  // button text
    0x000000,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x696969,  // 3D dark shadow
    0xE3E3E3,  // 3D light
    0x000000,  // info text
    0xE1FFFF,  // info background
    0x000000,  // (unused)
    0xCC6600,  // hot light
    0xEAD1B9,  // gradient active caption
    0xF2E4D7,  // gradient inactive caption
    0xFF9933,  // menu highlight
    0xF0F0F0,  // menu bar
};

struct ColourName {
  TColor value;
  const char* name;
};

constexpr ColourName kColourNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clNone, "clNone"},
};

}  // namespace

TColor ColorToRGB(TColor c) {
  if (c < 0) {
    uint32_t index = uint32_t(c) & 0xFF;
    if (index < std::size(kSystemColours)) return kSystemColours[index];
    return 0;
  }
  return c & 0xFFFFFF;
}

std::string ColorToString(TColor c) {
  for (const auto& n : kColourNames)
    if (n.value == c) return n.name;
  return "$" + IntToHex(c, 8);
}

bool IdentToColor(const std::string& ident, TColor& c) {
  for (const auto& n : kColourNames)
    if (SameText(ident, n.name)) {
      c = n.value;
      return true;
    }
  return false;
}

TColor StringToColor(const std::string& s) {
  TColor c;
  if (IdentToColor(s, c)) return c;
  return StrToInt(s);
}
