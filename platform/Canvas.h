// The canvas over a bitmap: pen, brush, font and the aliased drawing primitives with the
// GDI conventions the system relies on. Right and bottom edges are excluded, LineTo leaves
// out its end point, a shape with a clear pen is one pixel smaller, wide pens are centred on
// the path with round ends and joins, polygons fill by the alternate rule, and every pixel a
// drawing call touches gets alpha 0.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Graphics.h"
#include "platform/Types.h"

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// The sixteen binary raster operations of a pen, in the component library's order.
enum TPenMode {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor
};
enum TBrushStyle { bsSolid, bsClear };

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

class TPen {
 public:
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = psSolid;
  TPenMode Mode = pmCopy;
  void Assign(const TPen& p) { *this = p; }
};

class TBrush {
 public:
  TColor Color() const { return FColor; }
  // Setting a colour makes a clear brush solid.
  void SetColor(TColor c) {
    FColor = c;
    if (Style == bsClear) Style = bsSolid;
  }
  TBrushStyle Style = bsSolid;
  void Assign(const TBrush& b) { *this = b; }

 private:
  TColor FColor = clWhite;
};

// Size in points and height in pixels (negative: character height without internal
// leading) convert at 96 pixels per inch.
class TFont {
 public:
  std::string Name = "Arial";
  TFontStyles Style = 0;
  TColor Color = clWindowText;
  int PixelsPerInch = 96;
  // The angle of the text's base line in tenths of a degree, counter-clockwise; the text
  // turns about the top-left corner of its first character cell.
  int Orientation = 0;
  int Height() const { return FHeight; }
  void SetHeight(int h) { FHeight = h; }
  int Size() const { return -MulDivFont(FHeight, 72, PixelsPerInch); }
  void SetSize(int points) { FHeight = -MulDivFont(points, PixelsPerInch, 72); }
  void Assign(const TFont& f) { *this = f; }
  bool operator==(const TFont&) const = default;

 private:
  static int MulDivFont(int a, int b, int c);
  int FHeight = -11;  // 8 points
};

// DrawText flags.
enum : uint32_t {
  DT_LEFT = 0x0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10,
  DT_SINGLELINE = 0x20,
  DT_NOCLIP = 0x100,
  DT_CALCRECT = 0x400,
  DT_NOPREFIX = 0x800
};

// The lines DrawText lays out for text in a box `width` pixels wide, with its DT_SINGLELINE
// and DT_WORDBREAK flags; each line is drawn MeasureText(font, line) wide.
std::vector<std::string> DrawTextLines(const TFont& font, const std::string& text, int width, uint32_t flags);

// Copy modes of CopyRect.
enum TCopyMode : uint32_t {
  cmSrcCopy = 0x00CC0020,
  cmSrcPaint = 0x00EE0086,
  cmSrcAnd = 0x008800C6,
  cmSrcInvert = 0x00660046,
  cmNotSrcCopy = 0x00330008,
  cmBlackness = 0x00000042,
  cmWhiteness = 0x00FF0062,
  cmDstInvert = 0x00550009
};

class TCanvas {
 public:
  explicit TCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}
  TPen Pen;
  TBrush Brush;
  TFont Font;
  TCopyMode CopyMode = cmSrcCopy;
  TPoint PenPos;
  TBitmap* Bitmap() const { return FBitmap; }
  // The point of the drawing that lands on the bitmap's top-left pixel (the window origin
  // of GDI). Every drawing call takes the drawing's coordinates, so a part of a large
  // drawing is drawn into a bitmap of that part's size pixel for pixel as the whole would
  // be, at the cost of the part.
  TPoint Origin() const { return FOrigin; }
  void SetOrigin(int x, int y) { FOrigin = {x, y}; }

  void MoveTo(int x, int y) { PenPos = {x, y}; }
  void LineTo(int x, int y);
  void Polyline(const std::vector<TPoint>& points);
  void Rectangle(int l, int t, int r, int b);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void RoundRect(int l, int t, int r, int b, int cw, int ch);
  void Ellipse(int l, int t, int r, int b);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  void Polygon(const std::vector<TPoint>& points);

  // The Pixels property: reading gives clNone outside the bitmap; writing gives alpha 0.
  TColor Pixels(int x, int y) const;
  void SetPixels(int x, int y, TColor c);

  // Nearest-sample copies; an exact multiple replicates pixels. Negative sizes mirror.
  void CopyRect(const TRect& dest, const TCanvas& source, const TRect& src);
  // The source rectangle of a bitmap stretched into dest, pixels of the key colour left out
  // (the masked stretch of the picture classes).
  void StretchDrawKeyed(const TRect& dest, const TBitmap& src, const TRect& srcRect, TColor key);
  // The colour the bitmap can hold nearest to c: the nearest palette entry for indexed
  // bitmaps, c itself (as RGB) otherwise.
  TColor GetNearestColor(TColor c) const;
  void Draw(int x, int y, const TGraphic* g);
  void StretchDraw(const TRect& r, const TGraphic* g);

  // Text is drawn from the top of its line cell; the brush fills the cell unless clear.
  void TextOut(int x, int y, const std::string& text);
  void TextRect(const TRect& r, int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  TPoint TextExtent(const std::string& text) { return {TextWidth(text), TextHeight(text)}; }
  // Breaks at blanks only (a word wider than the box stays whole), at CR, LF and CR LF; '&'
  // is an ordinary character. Returns the height of the text; with DT_CALCRECT nothing is
  // drawn, r.Bottom becomes r.Top plus that height and r.Right r.Left plus the widest line.
  int DrawText(const std::string& text, TRect& r, uint32_t flags);

 private:
  friend class TCoverage;
  // The bitmap's pixels in the drawing's coordinates.
  TRect DrawingArea() const;
  // A rectangle of the drawing in the bitmap's coordinates.
  TRect ToBitmap(const TRect& r) const;
  TBitmap* FBitmap;
  TPoint FOrigin{0, 0};
};

// A drawing call collects the pixels it touches a byte each, a strip of whole rows of its box
// at a time of at most this many bytes (one row when a row is longer): a shape the size of
// the largest page costs this, not a byte for each of its pixels.
constexpr int64_t kCanvasStripCells = int64_t(4) << 20;
int64_t CanvasStripCells();
// For tests: strips of at most `cells` bytes from now on (0: kCanvasStripCells again).
void SetCanvasStripCells(int64_t cells);

// Sets a canvas's origin for the life of the guard and then puts the old one back.
class TCanvasOrigin {
 public:
  TCanvasOrigin(TCanvas& canvas, int x, int y) : FCanvas(canvas), FKept(canvas.Origin()) {
    canvas.SetOrigin(x, y);
  }
  ~TCanvasOrigin() { FCanvas.SetOrigin(FKept.X, FKept.Y); }
  TCanvasOrigin(const TCanvasOrigin&) = delete;
  TCanvasOrigin& operator=(const TCanvasOrigin&) = delete;

 private:
  TCanvas& FCanvas;
  TPoint FKept;
};
