#include "engine/XZLMButtonStyle.h"

#include <algorithm>

#include "POP/PopFastINI.h"
#include "POP/PopForms.h"
#include "engine/XImageCache.h"
#include "platform/SysUtils.h"

// Raw text values go into the file as they are: a line break would start a new key or
// section, so it becomes a blank.
std::string OneLine(const std::string& s) {
  std::string r = s;
  std::replace(r.begin(), r.end(), '\r', ' ');
  std::replace(r.begin(), r.end(), '\n', ' ');
  return r;
}

namespace {

// The file-name part of a stored texture name: after the last '\', '/' or ':'.
std::string StoredTextureName(const std::string& value) { return StoredFileName(value); }

}  // namespace

ZStyle::ZStyle() : Font(new TFont) {
  Font->Name = "Verdana";
  Font->SetSize(10);
}

ZStyle::~ZStyle() { delete Font; }

TColor& ZStyle::Color(int index) {
  TColor* colours[] = {&Color0, &Color1, &Color2, &Color3, &Color4,
                       &Color5, &Color6, &Color7, &Color8, &Color9};
  return *colours[std::clamp(index, 0, 9)];
}

void ZStyle::Assign(const ZStyle& source) {
  Texture = source.Texture ? ImageCache().GetEntry(source.Texture->FileName) : nullptr;
  Font->Assign(*source.Font);
  TextureFileName = source.TextureFileName;
  TextureMode = source.TextureMode;
  TextStyle = source.TextStyle;
  Alignment = source.Alignment;
  Shape = source.Shape;
  PenWidth = source.PenWidth;
  CurveSize = source.CurveSize;
  IsTransparent = source.IsTransparent;
  IsAntialiased = source.IsAntialiased;
  for (int i = 0; i < 10; ++i) Color(i) = const_cast<ZStyle&>(source).Color(i);
}

void ZStyle::SaveToSection(TINIDocument& d, const std::string& s) {
  d.WriteString(s, "FontName", OneLine(Font->Name));
  d.WriteInteger(s, "FontColor", Font->Color);
  d.WriteInteger(s, "FontSize", Font->Size());
  d.WriteInteger(s, "FontHeight", Font->Height());
  d.WriteBool(s, "FontBold", Font->Style & fsBold);
  d.WriteBool(s, "FontItalic", Font->Style & fsItalic);
  d.WriteBool(s, "FontUnderline", Font->Style & fsUnderline);
  d.WriteBool(s, "FontStrikeOut", Font->Style & fsStrikeOut);
  d.WriteInteger(s, "AlignX", Alignment);
  d.WriteInteger(s, "AlignY", Alignment);
  d.WriteInteger(s, "Shape", Shape);
  d.WriteInteger(s, "PenWidth", PenWidth);
  d.WriteInteger(s, "CurveSize", CurveSize);
  d.WriteInteger(s, "TextureMode", TextureMode);
  d.WriteInteger(s, "TextStyle", TextStyle);
  d.WriteBool(s, "IsTransparent", IsTransparent);
  d.WriteBool(s, "IsAntialiased", IsAntialiased);
  for (int i = 0; i < 10; ++i) d.WriteInteger(s, "Color" + IntToStr(i), Color(i));
  d.WriteString(s, "TextureFileName", OneLine(TextureFileName));
}

void ZStyle::LoadFromSection(TINIDocument& d, const std::string& s) {
  Font->Name = d.ReadString(s, "FontName", Font->Name);
  Font->Color = d.ReadInteger(s, "FontColor", Font->Color);
  // The size in points is written for people; the height is what is read.
  Font->SetHeight(
      std::clamp(d.ReadInteger(s, "FontHeight", Font->Height()), -kMaxFontHeight, kMaxFontHeight));
  TFontStyles style = 0;
  if (d.ReadInteger(s, "FontBold", 0) != 0) style |= fsBold;
  if (d.ReadInteger(s, "FontItalic", 0) != 0) style |= fsItalic;
  if (d.ReadInteger(s, "FontUnderline", 0) != 0) style |= fsUnderline;
  if (d.ReadInteger(s, "FontStrikeOut", 0) != 0) style |= fsStrikeOut;
  Font->Style = style;
  int32_t alignX = d.ReadInteger(s, "AlignX", Alignment);
  Alignment = int8_t(alignX & 0xFF);
  Alignment = int8_t(d.ReadInteger(s, "AlignY", alignX) & 0xFF);
  Shape = int8_t(d.ReadInteger(s, "Shape", Shape) & 0xFF);
  PenWidth = std::clamp(d.ReadInteger(s, "PenWidth", PenWidth), 0, kMaxPenWidth);
  CurveSize = std::clamp(d.ReadInteger(s, "CurveSize", CurveSize), 0, kMaxCurveSize);
  TextureMode = d.ReadInteger(s, "TextureMode", TextureMode);
  TextStyle = d.ReadInteger(s, "TextStyle", TextStyle);
  IsTransparent = d.ReadInteger(s, "IsTransparent", IsTransparent) != 0;
  IsAntialiased = d.ReadInteger(s, "IsAntialiased", IsAntialiased) != 0;
  for (int i = 0; i < 10; ++i) Color(i) = d.ReadInteger(s, "Color" + IntToStr(i), Color(i));
  TextureFileName = StoredTextureName(d.ReadString(s, "TextureFileName", TextureFileName));
  // Only a plain file name inside the Images folder can become the texture. A file that is
  // not there is marked missing in the cache, so that it is drawn once it is copied in.
  const std::string& name = TextureFileName;
  if (!name.empty() && name != "." && name != "..") {
    std::string path = FindFileCaseBlind(LocalFile("Images"), name);
    Texture = ImageCache().GetEntry(path);
    if (!FileExists(path)) Texture->MarkMissing();
  }
}
