// The page that the page builder's tests build: one object for each way an object can end
// up in the site (markup caption, text area, snippet, pixels) and for each way one is left
// out (partly off the page, under another object).
#pragma once
#include <string>

#include "app/Unitmain.h"
#include "engine/RegionRect.h"
#include "engine/XObject.h"
#include "engine/XRender.h"
#include "platform/SysUtils.h"

inline std::string BuilderObject(int i, const std::string& text, int left, int top, int right, int bottom,
                                 const std::string& extra = "") {
  return "[Button" + IntToStr(i) + "]\r\nButtonText=" + UrlEncode(text) + "\r\nRectLeft=" + IntToStr(left) +
         "\r\nRectRight=" + IntToStr(right) + "\r\nRectTop=" + IntToStr(top) +
         "\r\nRectBottom=" + IntToStr(bottom) + "\r\n" + extra;
}

// A 320 x 200 white page of ten objects.
inline std::string BuilderFixtureProject() {
  const std::string frame = "Shape=1\r\n", aa = "Shape=1\r\nIsAntialiased=1\r\n";
  return "[Heading]\r\nBGColor=clWhite\r\nLastSelected=-1\r\nNumOfButtons=10\r\n"
         "MetaInfo=%5BBase%5D%0ATit%3DShop+front%0A\r\nProjectWidth=320\r\nProjectHeight=200\r\n" +
         BuilderObject(0, "Home", 8, 8, 88, 32, frame + "LinkAddress=home.htm\r\n") +
         BuilderObject(1, "Go", 100, 8, 160, 32, aa + "Color0=3381759\r\n") +
         BuilderObject(2, "a < b & c", 8, 40, 120, 90, "Shape=23\r\nColor0=15263976\r\n") +
         BuilderObject(3, "<i>raw</i> & more", 130, 40, 230, 90, "Shape=24\r\nColor0=14540253\r\n") +
         BuilderObject(4, "Offpage", 280, 150, 360, 180, frame) +
         BuilderObject(5, "Under", 8, 100, 88, 124, frame) +
         BuilderObject(6, "Over", 40, 110, 120, 134, frame + "Color0=13421823\r\n") +
         BuilderObject(7, "", 140, 100, 200, 124, frame + "Color0=10079436\r\n") +
         BuilderObject(8, "A caption far too long for this small box", 210, 100, 250, 116, frame) +
         BuilderObject(9, "Scrolling text that cannot fit in its small box at all", 260, 8, 300, 30,
                       "Shape=23\r\nColor0=16777164\r\n");
}

// The whole page drawn, as the window shows it once a project is loaded (and as the
// builder expects: it asks each object whether its caption fitted when it was drawn).
inline void RenderWholePage(TFormMain& w) {
  TRegionList r = nullptr;
  RegionSet(r, 0, 0, w.Scene->Page->Width(), w.Scene->Page->Height());
  RenderScene(*w.Scene, *w.Scene->Page, r);
  RegionClear(r);
}

// Whether the window's redraw draws the page objects (and not only the background).
inline bool RedrawRendersObjects(TFormMain& w) {
  for (int i = 0; i < w.Scene->Count(); ++i) w.Scene->Layer(i)->Changed = true;
  w.RedrawScene(true);
  const uint32_t background = 0xFF000000u | ((w.Scene->BGColor & 0xFF) << 16) | (w.Scene->BGColor & 0xFF00) |
                              ((w.Scene->BGColor >> 16) & 0xFF);
  bool drawn = false;
  for (int y = 0; y < w.Scene->Page->Height() && !drawn; ++y) {
    auto* row = reinterpret_cast<const uint32_t*>(w.Scene->Page->ScanLine(y));
    for (int x = 0; x < w.Scene->Page->Width() && !drawn; ++x) drawn = (row[x] | 0xFF000000u) != background;
  }
  RenderWholePage(w);
  return drawn;
}
