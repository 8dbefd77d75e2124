// Captions drawn by the canvas beside the same text, faces and size drawn by headless
// Chromium: the same letters in the same places, in every script.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Canvas.h"
#include "platform/SysUtils.h"
#include "platform/TextRender.h"
#include "tests/support/Captions.h"
#include "tests/support/Oracle.h"
#include "tests/support/PixelMap.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

namespace {

constexpr int kW = 720, kH = 90, kLeft = 10, kTop = 10, kEm = 32;

// Ink of a grey picture: 255 - grey, by rows.
struct Ink {
  int W = 0, H = 0;
  std::vector<uint8_t> V;
  uint8_t At(int x, int y) const { return x < 0 || y < 0 || x >= W || y >= H ? 0 : V[size_t(y) * W + x]; }
  // Left, top, right, bottom (outside) of the pixels of strong ink.
  TRect Box() const {
    TRect r(W, H, 0, 0);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (At(x, y) > 96) {
          r.Left = std::min(r.Left, x), r.Top = std::min(r.Top, y);
          r.Right = std::max(r.Right, x + 1), r.Bottom = std::max(r.Bottom, y + 1);
        }
    return r;
  }
};

Ink InkOf(const TBitmap& b) {
  Ink ink{b.Width(), b.Height(), {}};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TColor c = b.GetPixelColor(x, y);
      ink.V.push_back(uint8_t(255 - (GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114) / 1000));
    }
  return ink;
}

// A PNG read through ImageMagick as plain grey bytes.
Ink InkOf(const std::string& png, int w, int h) {
  const std::string raw = png + ".gray";
  ShellOutput("convert " + ShellQuote(png) + " -crop " + IntToStr(w) + "x" + IntToStr(h) +
              "+0+0 +repage -colorspace gray -depth 8 gray:" + ShellQuote(raw));
  Ink ink{w, h, {}};
  const std::string bytes = ReadAll(raw);
  if (bytes.size() != size_t(w) * size_t(h)) return ink;
  for (char c : bytes) ink.V.push_back(uint8_t(255 - uint8_t(c)));
  return ink;
}

// The share of a's strong ink that lies within a pixel of b's ink, the pictures laid on each
// other by their ink's left and top edges. Two rasterisers of one face agree on nearly all of
// it; another letter, another order or another face does not.
double Covered(const Ink& a, const Ink& b) {
  const TRect ra = a.Box(), rb = b.Box();
  const int dx = rb.Left - ra.Left, dy = rb.Top - ra.Top;
  long ink = 0, near = 0;
  for (int y = 0; y < a.H; ++y)
    for (int x = 0; x < a.W; ++x) {
      if (a.At(x, y) <= 128) continue;
      ++ink;
      bool found = false;
      for (int j = -1; j <= 1 && !found; ++j)
        for (int i = -1; i <= 1 && !found; ++i) found = b.At(x + dx + i, y + dy + j) > 48;
      near += found;
    }
  return ink ? double(near) / double(ink) : 0;
}

std::string HtmlText(const std::string& text) {
  std::string s;
  for (char c : text) {
    if (c == '<') s += "&lt;";
    else if (c == '>') s += "&gt;";
    else if (c == '&') s += "&amp;";
    else if (c == '\t') s += "        ";  // the page writes a Tab as eight spaces
    else s += c;
  }
  return s;
}

Ink Ours(const std::string& face, const std::string& text) {
  TBitmap b(kW, kH, pf32bit);
  FillOpaqueWhite(b);
  TCanvas& c = b.Canvas();
  c.Font.Name = face;
  c.Font.SetHeight(-kEm);
  c.Font.Color = clBlack;
  c.Brush.Style = bsClear;
  c.TextOut(kLeft, kTop, text);
  return InkOf(b);
}

// Chromium's drawing of the text in the faces the canvas chose for it, at the same size.
// Letters stand unkerned, as the canvas lays them: the comparison is of faces, shapes and
// order, not of kerning.
Ink Chromiums(const TempDir& work, const std::string& face, const std::string& text,
              const std::string& label) {
  TFont font;
  font.Name = face;
  font.SetHeight(-kEm);
  std::string families;
  for (const TFontMatch& m : FacesForText(font, text))
    families += (families.empty() ? "'" : ",'") + m.Family + "'";
  const std::string page = work.File(label + ".htm"), shot = work.File(label + ".png");
  WriteAll(
      page,
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body style=\"margin:0;background:#fff\">"
      "<div style=\"position:absolute;left:" +
          IntToStr(kLeft) + "px;top:" + IntToStr(kTop) + "px;font-family:" + families +
          ";font-size:" + IntToStr(kEm) + "px;line-height:1;white-space:pre;color:#000;font-kerning:none\">" +
          HtmlText(text) + "</div></body></html>");
  // A window lower than about a hundred pixels comes out blank; the shot is cut to size.
  Chromium(work, "--screenshot=" + ShellQuote(shot) + " --window-size=" + IntToStr(kW) + ",200",
           "file://" + page);
  if (const char* keep = std::getenv("ZELMORA_TEXT_SHOTS"))
    ShellOutput("cp " + ShellQuote(shot) + " " +
                ShellQuote(std::string(keep) + "/" + label + "-chromium.png"));
  return InkOf(shot, kW, kH);
}

// How far two drawings of a caption agree: their ink boxes, and the lesser of the shares of
// each one's ink that the other covers. The boxes start at the same place across and are as
// wide and as high, within the pixel or two that hinting moves a glyph; how far down the
// letters stand is the line's model (the canvas's cell is the face's Windows ascent), not
// the text's, and is left out.
struct Agreement {
  TRect Ours, Theirs;
  double Similar = 0;
  bool Same() const {
    const int width = Theirs.Right - Theirs.Left;
    return Ours.Left < Ours.Right && Theirs.Left < Theirs.Right && std::abs(Ours.Left - Theirs.Left) <= 2 &&
           std::abs((Ours.Right - Ours.Left) - width) <= 2 + width / 25 &&
           std::abs((Ours.Bottom - Ours.Top) - (Theirs.Bottom - Theirs.Top)) <= 2 && Similar >= 0.9;
  }
};
std::ostream& operator<<(std::ostream& o, const Agreement& a) {
  return o << "ours " << a.Ours.Left << "," << a.Ours.Top << "-" << a.Ours.Right << "," << a.Ours.Bottom
           << ", Chromium's " << a.Theirs.Left << "," << a.Theirs.Top << "-" << a.Theirs.Right << ","
           << a.Theirs.Bottom << ", similar " << a.Similar;
}
Agreement Compare(const Ink& ours, const Ink& theirs) {
  return {ours.Box(), theirs.Box(), std::min(Covered(ours, theirs), Covered(theirs, ours))};
}

TEST(TextBrowser, EveryCaptionLooksAsChromiumDrawsIt) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("convert");
  TempDir work;
  int n = 0;
  for (const TCaptionCase& k : CaptionCases()) {
    SCOPED_TRACE(std::string(k.What) + ": " + k.Text);
    const Ink theirs = Chromiums(work, k.Face, k.Text, "case" + IntToStr(++n));
    ASSERT_EQ(theirs.V.size(), size_t(kW) * kH) << "no screenshot";
    const Agreement a = Compare(Ours(k.Face, k.Text), theirs);
    EXPECT_TRUE(a.Same()) << a;
  }
}

// The comparison tells the faults it guards against: Hebrew drawn in the order typed, Arabic
// unjoined and left to right, a dingbat face for letters, a Tab drawn as a missing glyph.
TEST(TextBrowser, TheComparisonSeesTheFaultsOfUnshapedText) {
  REQUIRE_TOOL("chromium");
  REQUIRE_TOOL("convert");
  TempDir work;
  const std::string lro = "\u202D", pdf = "\u202C", zwnj = "\u200C";
  struct Fault {
    const char* what;
    const char* face;
    std::string text;
    const char* faultyFace;
    std::string faulty;
  } faults[] = {
      {"Hebrew in typed order", "Arial", "עברית", "Arial", lro + "עברית" + pdf},
      {"Arabic unjoined", "Arial", "مرحبا بالعالم", "Arial",
       lro + "م" + zwnj + "ر" + zwnj + "ح" + zwnj + "ب" + zwnj + "ا ب" + zwnj + "ا" + zwnj + "ل" + zwnj +
           "ع" + zwnj + "ا" + zwnj + "ل" + zwnj + "م" + pdf},
      {"dingbats", "Impact", "Brick Wall", "D050000L", "Brick Wall"},
      {"a box for a Tab", "Arial", "Brick\tWall", "Arial", "Brick\u0378Wall"},
  };
  int n = 0;
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.what);
    const Ink theirs = Chromiums(work, f.face, f.text, "fault" + IntToStr(++n));
    ASSERT_EQ(theirs.V.size(), size_t(kW) * kH) << "no screenshot";
    const Agreement right = Compare(Ours(f.face, f.text), theirs);
    const Agreement wrong = Compare(Ours(f.faultyFace, f.faulty), theirs);
    EXPECT_TRUE(right.Same()) << right;
    EXPECT_FALSE(wrong.Same()) << wrong;
    std::printf("%s: right %s, faulty %s\n", f.what, (std::ostringstream() << right).str().c_str(),
                (std::ostringstream() << wrong).str().c_str());
  }
}

}  // namespace
