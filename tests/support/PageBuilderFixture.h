// The page that the page builder's tests build: one object for each way an object can end
// up in the site (markup caption, text area, snippet, pixels) and for each way one is left
// out (partly off the page, under another object).
#pragma once
#include <iterator>
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

// A 420 x 240 page with every kind of object: the four frames, shapes, textures (stretched,
// tiled, bilinear), antialiased and plain captions, captions with links, a text area and a
// snippet whose texts are far longer than their boxes, a PNG logo with transparency (the
// picture "Images/logo.png", which the caller writes; see ShowcaseLogoCommand) and a caption
// of an older project in Latin-1 bytes.
inline std::string ShowcaseProject() {
  struct O {
    std::string text;
    int l, t, r, b;
    std::string extra;
  };
  const std::string longText =
      "This text area holds a text much longer than its box: it goes on and on, line after line, "
      "so that the box has to scroll in a browser instead of growing and pushing every row below it "
      "down the page. Row after row, word after word, it keeps going until the very end.";
  const std::string longSnippet =
      "<P><B>A snippet</B> of markup that is far too long for its box.</P><UL><LI>one</LI><LI>two</LI>"
      "<LI>three</LI><LI>four</LI><LI>five</LI><LI>six</LI><LI>seven</LI></UL><P>The end.</P>";
  const O objects[] = {
      {"Plain", 10, 10, 90, 34, "Shape=0\r\nColor0=11206655\r\n"},
      {"Bevel", 100, 10, 180, 34, "Shape=1\r\nLinkAddress=home.htm\r\nFontColor=160\r\n"},
      {"Soft", 190, 10, 270, 34, "Shape=2\r\nColor0=15132390\r\n"},
      {"Tab", 280, 10, 360, 34, "Shape=3\r\nColor0=16764108\r\n"},
      {"Smooth", 10, 44, 110, 74,
       "Shape=5\r\nIsAntialiased=1\r\nColor0=3381759\r\nColor5=0\r\nPenWidth=2\r\nCurveSize=16\r\n"},
      {"Oval", 120, 44, 200, 74, "Shape=6\r\nColor0=6737151\r\nColor5=0\r\nPenWidth=1\r\n"},
      {"", 210, 40, 250, 80, "Shape=17\r\nColor0=65535\r\nColor5=32896\r\nPenWidth=1\r\n"},
      {"", 260, 44, 300, 74, "Shape=11\r\nColor0=16711680\r\nColor5=0\r\nPenWidth=1\r\n"},
      {"", 310, 40, 350, 80, "Shape=8\r\nColor0=12632256\r\nPenWidth=4\r\n"},
      {"Wood", 10, 90, 110, 120,
       "Shape=1\r\nTextureFileName=wood.bmp\r\nTextureMode=1\r\nFontColor=16777215\r\nFontBold=1\r\n"},
      {"Marble", 120, 90, 220, 120,
       "Shape=5\r\nIsAntialiased=1\r\nTextureFileName=marble.bmp\r\nTextureMode=2\r\n"},
      {"Metal", 230, 90, 330, 120,
       "Shape=0\r\nTextureFileName=metal.bmp\r\nTextureMode=4\r\nLinkAddress=metal.htm\r\n"},
      {longText, 10, 130, 130, 180, "Shape=23\r\nColor0=13434879\r\nAlignX=0\r\nAlignY=0\r\n"},
      {longSnippet, 140, 130, 260, 180, "Shape=24\r\nColor0=14540253\r\n"},
      {"", 270, 126, 334, 174, "Shape=0\r\nIsTransparent=1\r\nTextureFileName=logo.png\r\nTextureMode=1\r\n"},
      {"Caf\xE9 cr\xE8me", 10, 190, 130, 214,
       "Shape=0\r\nIsTransparent=1\r\nFontName=Georgia\r\nFontColor=8388608\r\nFontHeight=-16\r\n"},
      {"Courier link", 140, 190, 260, 214,
       "Shape=1\r\nFontName=Courier New\r\nLinkAddress=c.htm\r\nFontUnderline=1\r\nFontColor=32768\r\n"},
      {"Big bold", 270, 186, 400, 220, "Shape=0\r\nColor0=10079436\r\nFontBold=1\r\nFontHeight=-20\r\n"},
  };
  std::string s =
      "[Heading]\r\nBGColor=$00F8F0E8\r\nLastSelected=-1\r\nNumOfButtons=" +
      IntToStr(int(std::size(objects))) +
      "\r\nMetaInfo=%5BBase%5D%0ATit%3DShowcase+%3C%26%3E%0A\r\nProjectWidth=420\r\nProjectHeight=240\r\n";
  int i = 0;
  for (const O& o : objects) s += BuilderObject(i++, o.text, o.l, o.t, o.r, o.b, o.extra);
  return s;
}

// The ImageMagick command that draws the showcase's logo into `file`: a disc with a
// see-through band across it on a transparent ground, 64 x 48.
inline std::string ShowcaseLogoCommand(const std::string& file) {
  return "convert -size 64x48 xc:none -fill '#C02060' -draw 'circle 32,24 32,4' "
         "-fill '#2060C080' -draw 'rectangle 0,28 63,38' png32:'" +
         file + "'";
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
