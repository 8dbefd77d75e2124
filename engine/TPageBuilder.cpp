#include "engine/TPageBuilder.h"

#include "POP/PopHTML.h"
#include "POP/PopTypes.h"
#include "engine/TLayer.h"
#include "engine/XZLMButton.h"
#include "engine/XZLMButtonStyle.h"
#include "platform/SysUtils.h"

std::string ObjectCellMarkup(const TZLMButton& b, const TTextMacros& expand) {
  const ZStyle& style = *b.Style;
  const auto align = static_cast<TAlignment>(style.Alignment);
  std::string html;
  if (style.Shape == 24) html = HTMLEncodeParaAlignment(align, HTMLEncodeFont(*style.Font, b.Text));
  else if (!style.IsAntialiased && (!b.TextFilled || style.Shape == 23))
    html = HTMLEncodeParaAlignment(align, HTMLEncodeFont(*style.Font, HTMLEncodeText(expand(b.Text))));
  if (html.empty()) return html;
  const std::string size = "width:" + IntToStr(b.Bounds.Width()) + ";height:" + IntToStr(b.Bounds.Height());
  if (style.Shape == 23) html = "<SPAN style=\"" + size + ";overflow:auto\">" + html + "</SPAN>";
  if (style.Shape == 24) html = "<SPAN style=\"" + size + ";overflow:hidden\">" + html + "</SPAN>";
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
      const std::string html = ObjectCellMarkup(*b, expand);
      if (!html.empty()) t.Hidden.push_back(b);
      b->HideText = !html.empty();
      b->Changed = !html.empty();
      t.Maker->AddTableObject(b->Bounds.Left - area.Left, b->Bounds.Top - area.Top,
                              b->Bounds.Right - area.Left, b->Bounds.Bottom - area.Top, html, b->LinkAddress,
                              static_cast<TAlignment>(b->Style->Alignment), taCenter);
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
