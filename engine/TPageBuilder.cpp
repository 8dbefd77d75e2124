#include "engine/TPageBuilder.h"

#include "POP/PopHTML.h"
#include "POP/PopTypes.h"
#include "engine/TLayer.h"
#include "engine/XZLMButton.h"
#include "engine/XZLMButtonStyle.h"
#include "platform/Canvas.h"
#include "platform/SysUtils.h"
#include "platform/TextRender.h"

std::string PageFontFaces(const TFont& font) {
  std::string faces = font.Name;
  try {
    const TFontMatch m = MatchFont(font.Name.empty() ? std::string("Arial") : font.Name, font.Style & fsBold,
                                   font.Style & fsItalic);
    if (!m.Family.empty() && !SameText(m.Family, font.Name)) faces += (faces.empty() ? "" : ",") + m.Family;
    if (!m.Generic.empty()) faces += (faces.empty() ? "" : ",") + m.Generic;
  } catch (const std::exception&) {
    // No face at all: the name alone, as the browser may still have it.
  }
  return faces;
}

std::string ObjectCellMarkup(const TZLMButton& b, const TTextMacros& expand) {
  const ZStyle& style = *b.Style;
  const TFont& font = *style.Font;
  const auto align = static_cast<TAlignment>(style.Alignment);
  auto fontElement = [&](const std::string& text) {
    const int32_t height = font.Height() < 0 ? -font.Height() : font.Height();
    return HTMLEncodeFontParts(font.Color, PageFontFaces(font), height, font.Style, text);
  };
  std::string html;
  if (style.Shape == scHTMLSnippet) html = HTMLEncodeParaAlignment(align, fontElement(b.Text));
  else if (!style.IsAntialiased && (!b.TextFilled || style.Shape == scTextArea))
    html = HTMLEncodeParaAlignment(align, fontElement(HTMLEncodeText(expand(b.Text))));
  if (html.empty()) return html;
  // A block of the object's size in pixels holds the box: browsers ignore width, height and
  // overflow on inline elements, and a long text would then grow its cell and every row.
  const std::string box =
      "<DIV style=\"width:" + IntToStr(b.Bounds.Width()) + "px;height:" + IntToStr(b.Bounds.Height()) + "px;";
  if (style.Shape == scTextArea) html = box + "overflow:auto\">" + html + "</DIV>";
  if (style.Shape == scHTMLSnippet) html = box + "overflow:hidden\">" + html + "</DIV>";
  return html;
}

TPageTable BuildPageTable(ZButtonList& scene, const TRect& area, const TTextMacros& expand) {
  TPageTable t;
  try {
    t.Maker = std::make_unique<TTableMaker>(area.Width(), area.Height());
    for (int i = 0; i < scene.Count(); ++i) {
      TZLMButton* b = scene.Button(i);
      if (!RectIsOverlap(b->Bounds, area) || !scene.IsFullyVisible(b)) {
        b->HideText = false;
        continue;
      }
      // An object the area cuts is the part of the page inside the area: pixels.
      const bool whole = RectIntersection(b->Bounds, area) == b->Bounds;
      const std::string html = whole ? ObjectCellMarkup(*b, expand) : std::string();
      if (!html.empty()) t.Hidden.push_back(b);
      b->HideText = !html.empty();
      b->Changed = !html.empty();
      const int before = t.Maker->Count();
      t.Maker->AddTableObject(b->Bounds.Left - area.Left, b->Bounds.Top - area.Top,
                              b->Bounds.Right - area.Left, b->Bounds.Bottom - area.Top, html, b->LinkAddress,
                              static_cast<TAlignment>(b->Style->Alignment), taCenter);
      if (t.Maker->Count() > before) t.Maker->TableObject(before)->TextColor = b->Style->Font->Color;
    }
    t.Maker->LayoutTable();
  } catch (...) {
    ShowCaptions(t.Hidden);
    throw;
  }
  return t;
}

void ShowCaptions(const std::vector<TZLMButton*>& hidden) {
  for (TZLMButton* b : hidden) {
    b->HideText = false;
    b->Changed = true;
  }
}
