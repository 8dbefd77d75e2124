// The style of one page object: font, alignment, shape, ten colours, pen, curve, texture
// and the transparency and antialiasing switches.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Canvas.h"
#include "platform/Classes.h"

class TINIDocument;
class XImageCacheObject;

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
  int8_t Shape = 1;
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
