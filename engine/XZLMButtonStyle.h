// The style of one page object: font, alignment, shape, ten colours, pen, curve, texture
// and the transparency and antialiasing switches.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Canvas.h"
#include "platform/Classes.h"

class TINIDocument;
class XImageCacheObject;

// A style's `Shape` number says what it draws: 0 to 3 are the frame kinds, drawn behind
// everything else; 4 to 22 the outline shapes drawn over the frame with the style's pen; 23
// and 24 objects whose content is text or markup. The values are the numbers the project
// file stores and the index of the style window's overlay list.
enum TFrameKind : int8_t {
  fkPlain = 0,       // the face colour only
  fkBevel = 1,       // a double bevel, light at the top left
  fkRoundBevel = 2,  // a double bevel inside a rounded outline
  fkTab = 3,         // a tab with cut upper corners
};

enum TShapeCode : int8_t {
  scRectangle = 4,
  scRoundRect = 5,  // corners of the style's curve size
  scEllipse = 6,
  scShadedRing = 7,   // an ellipse with one shaded ring
  scShadedRing2 = 8,  // an ellipse with two shaded rings, the inner one reversed
  scArrowLeft = 9,
  scArrowRight = 10,
  scArrowUp = 11,
  scArrowDown = 12,
  scLineDown = 13,  // top left to bottom right
  scLineUp = 14,    // bottom left to top right
  scLineHorizontal = 15,
  scLineVertical = 16,
  scStar1 = 17,  // the six stars, 17 to 22, differ in their points and depth
  scStar2 = 18,
  scStar3 = 19,
  scStar4 = 20,
  scStar5 = 21,
  scStar6 = 22,
  scTextArea = 23,     // the caption is page text in the HTML page
  scHTMLSnippet = 24,  // the caption is markup put into the HTML page as it is
};

// The outline shapes, the ones drawn with the style's pen.
constexpr bool IsOutlineShape(int shape) { return shape >= scRectangle && shape <= scStar6; }

class ZStyle : public TObject {
 public:
  ZStyle();
  ~ZStyle() override;
  ZStyle(const ZStyle&) = delete;
  ZStyle& operator=(const ZStyle&) = delete;

  XImageCacheObject* Texture = nullptr;  // an entry of the global image cache, not owned
  TFont* Font;
  std::string TextureFileName;
  int8_t Alignment = 2;
  int8_t Shape = fkBevel;  // a TFrameKind or a TShapeCode
  TColor Color0 = 0xC0C0C0, Color1 = 0x000000, Color2 = 0x808080, Color3 = 0xC0C0C0, Color4 = 0xFFFFFF,
         Color5 = 0, Color6 = 0, Color7 = 0, Color8 = 0, Color9 = 0;
  int32_t PenWidth = 2;
  int32_t CurveSize = 32;
  bool IsTransparent = false;
  bool IsAntialiased = false;
  int32_t TextureMode = 1;
  int32_t TextStyle = 0;

  TColor& Color(int index);

  // The texture is shared through the image cache by the source entry's file name.
  virtual void Assign(const ZStyle& source);
  virtual void SaveToSection(TINIDocument& document, const std::string& section);
  virtual void LoadFromSection(TINIDocument& document, const std::string& section);
};

// A raw text value made fit for one line of the project file: CR and LF become blanks.
std::string OneLine(const std::string& s);

// Bounds on values read from files, so that no file can make the renderer work without end.
constexpr int32_t kMaxPenWidth = 255;
constexpr int32_t kMaxCurveSize = 4096;
constexpr int32_t kMaxFontHeight = 1000;
