#include "engine/TPageBuilder.h"

#include <unordered_set>

#include "POP/PopHTML.h"
#include "POP/PopTypes.h"
#include "engine/HTMLSnippet.h"
#include "engine/TLayer.h"
#include "engine/XZLMButton.h"
#include "engine/XZLMButtonStyle.h"
#include "platform/Canvas.h"
#include "platform/SysUtils.h"
#include "platform/TextRender.h"
#include "platform/WaitIndicator.h"

std::string PageFontFaces(const TFont& font, const std::string& text) {
  std::string faces = font.Name;
  try {
    const std::vector<TFontMatch> used = FacesForText(font, text);
    for (const TFontMatch& m : used)
      if (!m.Family.empty() && !SameText(m.Family, font.Name)) faces += (faces.empty() ? "" : ",") + m.Family;
    if (!used.empty() && !used[0].Generic.empty()) faces += (faces.empty() ? "" : ",") + used[0].Generic;
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

// The alignment the editor draws a caption with: 1 right, 2 centred, any other value a
// project may hold left.
static TAlignment CaptionAlignment(const ZStyle& style) {
  return style.Alignment == 1 ? taRightJustify : style.Alignment == 2 ? taCenter : taLeftJustify;
}

std::string ObjectCellMarkup(const TZLMButton& b, const TTextMacros& expand,
                             std::vector<std::string>* repairs) {
  const ZStyle& style = *b.Style;
  const TFont& font = *style.Font;
  const TAlignment align = CaptionAlignment(style);
  auto fontElement = [&](const std::string& text) {
    const int32_t height = font.Height() < 0 ? -font.Height() : font.Height();
    return HTMLEncodeFontParts(font.Color, PageFontFaces(font, text), height, font.Style, text);
  };
  const int w = b.Bounds.Width(), h = b.Bounds.Height();
  // A block of the object's size in pixels holds every box: browsers ignore width, height
  // and overflow on inline elements, and a long text would then grow its cell and every row.
  const std::string box = "<DIV style=\"width:" + IntToStr(w) + "px;height:" + IntToStr(h) + "px;";
  if (style.Shape == scHTMLSnippet) {
    if (b.Text.empty()) return "";
    TBalancedSnippet snippet = BalanceSnippet(b.Text);
    if (repairs) *repairs = std::move(snippet.Repairs);
    return box + "overflow:hidden\">" + HTMLEncodeParaAlignment(align, fontElement(snippet.Html)) + "</DIV>";
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

TPageTable BuildPageTable(ZButtonList& scene, const TRect& area, const TTextMacros& expand, bool wholePage) {
  TPageTable t;
  try {
    t.Maker = std::make_unique<TTableMaker>(area.Width(), area.Height());
    std::vector<std::pair<TZLMButton*, TTableObject*>> linked;
    const std::vector<bool> fullyVisible = scene.FullyVisibleLayers();
    for (int i = 0; i < scene.Count(); ++i) {
      if (TWaitIndicator* wait = WaitIndicator()) wait->SetProgress(i, scene.Count() - 1);
      TZLMButton* b = scene.Button(i);
      b->HideText = false;
      if (!RectIsOverlap(b->Bounds, area)) {
        if (wholePage && !b->LinkAddress.empty()) t.LostLinks.push_back({b, TLostLink::OffPage});
        continue;
      }
      // An object that another covers, that the page or the area cuts, is pixels; it still
      // takes part in the table, so that the cells it alone covers carry its link.
      const bool whole = fullyVisible[size_t(i)] && RectIntersection(b->Bounds, area) == b->Bounds;
      std::vector<std::string> repairs;
      const std::string html = whole ? ObjectCellMarkup(*b, expand, &repairs) : std::string();
      if (!repairs.empty()) t.SnippetRepairs.push_back({b, std::move(repairs)});
      if (!html.empty()) t.Hidden.push_back(b);
      b->HideText = !html.empty();
      b->Changed = !html.empty();
      const int before = t.Maker->Count();
      t.Maker->AddTableObject(b->Bounds.Left - area.Left, b->Bounds.Top - area.Top,
                              b->Bounds.Right - area.Left, b->Bounds.Bottom - area.Top, html, b->LinkAddress,
                              CaptionAlignment(*b->Style), taCenter);
      if (t.Maker->Count() > before) {
        t.Maker->TableObject(before)->TextColor = b->Style->Font->Color;
        if (!b->LinkAddress.empty()) linked.push_back({b, t.Maker->TableObject(before)});
      }
    }
    t.Maker->LayoutTable();
    // A link whose object owns no cell of the table is not in the site: say so. (One walk
    // over the merged cells, whatever the number of links and of grid cells.)
    if (!linked.empty()) {
      std::unordered_set<const TTableObject*> owners;
      for (const TableCell& span : t.Maker->Spans()) owners.insert(span.Owner);
      for (const auto& [b, o] : linked)
        if (!owners.count(o)) t.LostLinks.push_back({b, TLostLink::Covered});
    }
  } catch (...) {
    ShowCaptions(t.Hidden);
    throw;
  }
  return t;
}

std::string SnippetRepairsMessage(const std::vector<TSnippetRepairs>& repaired) {
  if (repaired.empty()) return "";
  std::string s = "The markup of some snippets was mended to keep it inside its box:";
  constexpr size_t kListed = 20;
  for (size_t i = 0; i < repaired.size() && i < kListed; ++i) {
    const TSnippetRepairs& r = repaired[i];
    std::string start = r.Object->Text.substr(0, r.Object->Text.find_first_of("\r\n"));
    if (start.size() > 30) start = start.substr(0, 27) + "...";
    std::string what;
    for (size_t i = 0; i < r.Repairs.size() && i < 6; ++i) what += (i ? "; " : "") + r.Repairs[i];
    if (r.Repairs.size() > 6) what += "; and " + IntToStr(int(r.Repairs.size() - 6)) + " more";
    s += "\nThe snippet \"" + start + "\": " + what + ".";
  }
  if (repaired.size() > kListed) s += "\nand " + IntToStr(int(repaired.size() - kListed)) + " more snippets.";
  return s;
}

std::string LostLinksMessage(const std::vector<TLostLink>& lost) {
  if (lost.empty()) return "";
  std::string s = "Some links are not in the web site:";
  // A box of thousands of lines would not fit the screen: the first ones, and how many more.
  constexpr size_t kListed = 20;
  for (size_t i = 0; i < lost.size() && i < kListed; ++i) {
    const TLostLink& l = lost[i];
    std::string name = l.Object->Text.substr(0, l.Object->Text.find_first_of("\r\n"));
    if (name.size() > 40) name = name.substr(0, 37) + "...";
    s += "\n" + (name.empty() ? std::string("An object without a caption") : "\"" + name + "\"") + " (" +
         l.Object->LinkAddress + ") " +
         (l.Why == TLostLink::OffPage ? "lies outside the page." : "is wholly covered by other objects.");
  }
  if (lost.size() > kListed) s += "\nand " + IntToStr(int(lost.size() - kListed)) + " more.";
  return s;
}

void ShowCaptions(const std::vector<TZLMButton*>& hidden) {
  for (TZLMButton* b : hidden) {
    b->HideText = false;
    b->Changed = true;
  }
}
