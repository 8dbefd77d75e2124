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

TCaptionLayout CaptionLayout(const TFont& font, const std::string& text, int width, int height) {
  TCaptionLayout l;
  l.Lines = DrawTextLines(font, text, width, DT_WORDBREAK);
  l.LineHeight = FontMetrics(font).LineHeight();
  const int64_t textHeight = int64_t(l.Lines.size()) * l.LineHeight;
  // As the editor centres it: the excess split in two, truncated toward zero.
  l.Top = int(-((textHeight - height) / 2));
  // Browsers lay glyphs at fractional advances with kerning, and bold or italic faces of
  // their own choosing: a line needs a tenth more room than the editor measures, and two
  // pixels. Above and below the lines, two pixels more than the editor needs (its rule is
  // that the text is shorter than the box) take a browser's taller ascent.
  bool fits = l.LineHeight > 0 && textHeight + kCaptionRoomY <= height;
  for (const std::string& line : l.Lines) {
    const int w = MeasureText(font, line);
    if (w + kCaptionRoomX + (w + 9) / 10 > width) fits = false;
  }
  l.Fits = fits;
  return l;
}

std::string ObjectCellMarkup(const TZLMButton& b, const TTextMacros& expand) {
  const ZStyle& style = *b.Style;
  const TFont& font = *style.Font;
  const auto align = static_cast<TAlignment>(style.Alignment);
  auto fontElement = [&](const std::string& text) {
    const int32_t height = font.Height() < 0 ? -font.Height() : font.Height();
    return HTMLEncodeFontParts(font.Color, PageFontFaces(font), height, font.Style, text);
  };
  const int w = b.Bounds.Width(), h = b.Bounds.Height();
  // A block of the object's size in pixels holds every box: browsers ignore width, height
  // and overflow on inline elements, and a long text would then grow its cell and every row.
  const std::string box = "<DIV style=\"width:" + IntToStr(w) + "px;height:" + IntToStr(h) + "px;";
  if (style.Shape == scHTMLSnippet) {
    if (b.Text.empty()) return "";
    return box + "overflow:hidden\">" + HTMLEncodeParaAlignment(align, fontElement(b.Text)) + "</DIV>";
  }
  if (style.Shape == scTextArea) {
    const std::string html = HTMLEncodeParaAlignment(align, fontElement(HTMLEncodeText(expand(b.Text))));
    return html.empty() ? html : box + "overflow:auto\">" + html + "</DIV>";
  }
  if (style.IsAntialiased || b.Text.empty()) return "";
  // A caption is written as the editor lays it out: its own lines, each in a block one
  // editor line high, never wrapped by the browser, in a box of the object's size that
  // clips what a glyph paints past it. Nothing inside can size the cell.
  const std::string text = expand(b.Text);
  const TCaptionLayout l = CaptionLayout(font, text, w, h);
  if (!l.Fits) return "";
  const char* textAlign = align == taCenter ? "center" : align == taRightJustify ? "right" : "left";
  std::string html = box + "overflow:hidden;white-space:pre;text-align:" + textAlign;
  if (l.Top > 0) html += ";padding-top:" + IntToStr(l.Top) + "px;box-sizing:border-box";
  html += "\">";
  const std::string lh = IntToStr(l.LineHeight) + "px";
  for (const std::string& line : l.Lines)
    html += "<DIV style=\"height:" + lh + ";line-height:" + lh + "\">" + fontElement(HTMLEncodeText(line)) +
            "</DIV>";
  return html + "</DIV>";
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
