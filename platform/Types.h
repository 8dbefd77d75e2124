// Geometry and colour types shared by every layer.
#pragma once
#include <cstdint>
#include <string>

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  constexpr TPoint() = default;
  constexpr TPoint(int32_t x, int32_t y) : X(x), Y(y) {}
  constexpr bool operator==(const TPoint&) const = default;
};

// Right and bottom edges lie outside the rectangle.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  constexpr TRect() = default;
  constexpr TRect(int32_t l, int32_t t, int32_t r, int32_t b) : Left(l), Top(t), Right(r), Bottom(b) {}
  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr TPoint TopLeft() const { return {Left, Top}; }
  constexpr TPoint BottomRight() const { return {Right, Bottom}; }
  constexpr bool operator==(const TRect&) const = default;
};

constexpr TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return {l, t, r, b}; }
constexpr TRect Bounds(int32_t l, int32_t t, int32_t w, int32_t h) { return {l, t, l + w, t + h}; }
constexpr TPoint Point(int32_t x, int32_t y) { return {x, y}; }
inline bool PtInRect(const TRect& r, const TPoint& p) {
  return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}
bool IntersectRect(TRect& dst, const TRect& a, const TRect& b);
bool UnionRect(TRect& dst, const TRect& a, const TRect& b);
bool IsRectEmpty(const TRect& r);
void OffsetRect(TRect& r, int32_t dx, int32_t dy);
void InflateRect(TRect& r, int32_t dx, int32_t dy);

enum TAlignment { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// 0x00BBGGRR. System colours have the high bit set and the index of the system colour in
// the low byte; clNone and clDefault are markers, not colours.
using TColor = int32_t;

constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) { return TColor(r | (g << 8) | (b << 16)); }
constexpr uint8_t GetRValue(TColor c) { return uint8_t(c & 0xFF); }
constexpr uint8_t GetGValue(TColor c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t GetBValue(TColor c) { return uint8_t((c >> 16) & 0xFF); }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clLtGray = 0xC0C0C0, clDkGray = 0x808080, clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6,
                 clCream = 0xF0FBFF, clMedGray = 0xA4A0A0;

constexpr TColor SystemColor(int index) { return TColor(0x80000000u | uint32_t(index)); }
constexpr TColor clScrollBar = SystemColor(0), clBackground = SystemColor(1),
                 clActiveCaption = SystemColor(2), clInactiveCaption = SystemColor(3),
                 clMenu = SystemColor(4), clWindow = SystemColor(5), clWindowFrame = SystemColor(6),
                 clMenuText = SystemColor(7), clWindowText = SystemColor(8), clCaptionText = SystemColor(9),
                 clActiveBorder = SystemColor(10), clInactiveBorder = SystemColor(11),
                 clAppWorkSpace = SystemColor(12), clHighlight = SystemColor(13),
                 clHighlightText = SystemColor(14), clBtnFace = SystemColor(15),
                 clBtnShadow = SystemColor(16), clGrayText = SystemColor(17), clBtnText = SystemColor(18),
                 clInactiveCaptionText = SystemColor(19), clBtnHighlight = SystemColor(20),
                 cl3DDkShadow = SystemColor(21), cl3DLight = SystemColor(22), clInfoText = SystemColor(23),
                 clInfoBk = SystemColor(24), clGradientActiveCaption = SystemColor(27),
                 clGradientInactiveCaption = SystemColor(28);
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// A system colour maps through the fixed table of the classic values; any other colour
// keeps its low 24 bits.
TColor ColorToRGB(TColor c);

// The colour identifiers written into project files: the sixteen basic colours, the 25
// classic system colours and clNone. Anything else is "$" and eight hexadecimal digits.
std::string ColorToString(TColor c);
bool IdentToColor(const std::string& ident, TColor& c);
// An identifier, a decimal integer or "$" with hexadecimal digits; raises EConvertError.
TColor StringToColor(const std::string& s);
