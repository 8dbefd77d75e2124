// Draws a sheet of every primitive and some wrapped captions and keeps it as a BMP for a
// person to look at: $ZELMORA_SHEET names the file, by default zelmora_sheet.bmp in the
// folder the test runs in (build/tests under ctest).
#include <gtest/gtest.h>

#include "platform/Canvas.h"
#include "platform/SysUtils.h"

namespace {

TEST(Sheet, EveryPrimitiveAndWrappedCaptions) {
  TBitmap b(640, 420, pf32bit);
  TCanvas& c = b.Canvas();
  c.Brush.SetColor(clWhite);
  c.FillRect(Rect(0, 0, 640, 420));

  c.Pen.Color = clBlack;
  c.Brush.SetColor(RGB(255, 200, 120));
  c.Rectangle(10, 10, 90, 60);
  c.Pen.Style = psClear;
  c.Rectangle(100, 10, 180, 60);
  c.Pen.Style = psSolid;
  c.Pen.Width = 5;
  c.Pen.Color = clNavy;
  c.Brush.SetColor(RGB(150, 220, 255));
  c.Rectangle(200, 15, 280, 60);
  c.RoundRect(300, 10, 400, 60, 20, 20);
  c.Ellipse(420, 10, 520, 60);
  c.Pen.Width = 1;
  c.Pen.Color = clMaroon;
  c.Ellipse(540, 10, 630, 60);

  c.Brush.SetColor(RGB(180, 255, 180));
  c.Pen.Color = clGreen;
  c.Polygon({{20, 80}, {80, 140}, {140, 80}, {20, 140}});
  c.Polygon({{200, 75}, {220, 135}, {165, 98}, {235, 98}, {180, 135}});
  c.Pen.Width = 3;
  c.Pen.Color = clRed;
  c.MoveTo(260, 80);
  c.LineTo(360, 140);
  c.Pen.Width = 1;
  for (TPenStyle s : {psSolid, psDash, psDot, psDashDot, psDashDotDot}) {
    c.Pen.Style = s;
    c.MoveTo(380, 80 + 12 * int(s));
    c.LineTo(620, 80 + 12 * int(s));
  }
  c.Pen.Style = psSolid;
  c.Pen.Mode = pmNot;
  c.Brush.Style = bsClear;
  c.Rectangle(370, 70, 630, 145);
  c.Pen.Mode = pmCopy;

  TBitmap small(4, 3, pf32bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) small.SetPixelColor(x, y, RGB(uint8_t(x * 80), uint8_t(y * 120), 200));
  c.StretchDraw(Rect(20, 160, 100, 220), &small);
  c.Draw(110, 160, &small);
  c.CopyRect(Rect(130, 160, 210, 220), c, Rect(20, 160, 60, 190));

  struct Caption {
    const char* font;
    int height;
    TFontStyles style;
    uint32_t align;
  };
  const char* text = "Wrapped caption & more text that breaks at blanks only\r\nsecond paragraph";
  int x = 230;
  for (Caption cap :
       {Caption{"Arial", -13, 0, DT_LEFT}, Caption{"Times New Roman", -15, fsBold, DT_CENTER},
        Caption{"Courier New", -12, fsItalic, DT_RIGHT}, Caption{"Verdana", -11, fsUnderline, DT_LEFT}}) {
    TRect r(x, 160, x + 96, 300);
    c.Brush.Style = bsClear;
    c.Pen.Color = clSilver;
    c.Rectangle(r);
    c.Font.Name = cap.font;
    c.Font.SetHeight(cap.height);
    c.Font.Style = cap.style;
    c.Font.Color = clBlack;
    c.DrawText(text, r, cap.align | DT_WORDBREAK | DT_NOPREFIX);
    x += 102;
  }
  c.Font.Name = "Arial";
  c.Font.SetHeight(-20);
  c.Font.Style = fsBold;
  c.Font.Color = clWhite;
  c.Brush.SetColor(clTeal);
  c.TextOut(20, 320, "TextOut on a solid brush");
  c.Brush.SetColor(clYellow);
  c.Font.Color = clPurple;
  c.TextRect(Rect(20, 360, 150, 380), 10, 360, "TextRect clips this long line");

  std::string file = GetEnvironmentVariable("ZELMORA_SHEET");
  if (file.empty()) file = "zelmora_sheet.bmp";
  b.SaveToFile(file);
  TBitmap back;
  back.LoadFromFile(file);
  EXPECT_EQ(back.Width(), 640);
}

}  // namespace
