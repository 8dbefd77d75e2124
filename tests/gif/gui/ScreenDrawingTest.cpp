// Drawing on the screen (inverted frames and rectangles over every window) and the image of
// what a control covers.
#include <climits>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPalette>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "gif/gui/Vclutils.h"
#include "platform/Graphics.h"

namespace {

QWidget* Overlay() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "ScreenOverlay") return w;
  return nullptr;
}

bool OverlayShowing() {
  QWidget* o = Overlay();
  return o && o->isVisible();
}

void Paint(QWidget& w, const QColor& c) {
  QPalette p = w.palette();
  p.setColor(QPalette::Window, c);
  w.setPalette(p);
  w.setAutoFillBackground(true);
}

// A red window at (100, 100) of the screen, 200 x 150.
struct RedWindow {
  QWidget w;
  RedWindow() {
    Paint(w, Qt::red);
    w.setGeometry(100, 100, 200, 150);
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(20);
  }
};

TColor ScreenPixel(int x, int y) {
  TScreenCanvas c;
  const TPoint o = TScreenCanvas::Origin();
  return c.Pixels(x - o.X, y - o.Y);
}

TEST(ScreenDrawing, TheCanvasStartsWithWhatTheScreenShows) {
  ClearScreenDrawing();
  RedWindow red;
  EXPECT_EQ(ScreenPixel(150, 150), clRed);
  EXPECT_FALSE(OverlayShowing()) << "reading draws nothing";
}

// The screen around (x, y): 'r' red, 'c' its inverse (cyan), '?' anything else.
std::string ScreenMap(int x0, int y0, int w, int h) {
  TScreenCanvas c;
  const TPoint o = TScreenCanvas::Origin();
  std::string s;
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) {
      const TColor v = c.Pixels(x - o.X, y - o.Y);
      s += v == clRed ? 'r' : v == clAqua ? 'c' : '?';
    }
    s += '\n';
  }
  return s;
}

TEST(ScreenDrawing, AnInvertedFrameDrawnTwiceIsGone) {
  ClearScreenDrawing();
  RedWindow red;
  DrawInvertFrame(TRect(110, 110, 116, 115), 2);
  EXPECT_TRUE(OverlayShowing());
  // Two rings of every other pixel, inside the rectangle; the rest of the window as it was.
  EXPECT_EQ(ScreenMap(109, 109, 8, 7),
            "rrrrrrrr\n"
            "rcrcrcrr\n"
            "rrcrcrcr\n"
            "rcrrrcrr\n"
            "rrcrcrcr\n"
            "rcrcrcrr\n"
            "rrrrrrrr\n");
  const QWidget* overlay = Overlay();
  ASSERT_NE(overlay, nullptr);
  EXPECT_TRUE(overlay->windowFlags() & Qt::WindowTransparentForInput);
  EXPECT_TRUE(overlay->windowFlags() & Qt::WindowDoesNotAcceptFocus);
  EXPECT_TRUE(overlay->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(overlay->mask().contains(QPoint(110, 110) - overlay->pos()));
  EXPECT_FALSE(overlay->mask().contains(QPoint(111, 110) - overlay->pos())) << "see-through between the dots";
  DrawInvertFrame(TRect(110, 110, 116, 115), 2);
  EXPECT_FALSE(OverlayShowing());
  EXPECT_EQ(ScreenPixel(110, 110), clRed);
  // Nothing to draw, and rectangles far larger than the screen, end at once.
  DrawInvertFrame(TRect(120, 120, 120, 140), 3);
  DrawInvertFrame(TRect(130, 130, 140, 140), 0);
  EXPECT_FALSE(OverlayShowing());
  const TRect huge(INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2);
  QElapsedTimer t;
  t.start();
  DrawInvertFrame(huge, INT32_MAX);
  EXPECT_TRUE(OverlayShowing());
  DrawInvertFrame(huge, INT32_MAX);
  EXPECT_FALSE(OverlayShowing());
  EXPECT_LT(t.elapsed(), 5000);
}

TEST(ScreenDrawing, InverseRectanglesAndDrawingThatStaysUntilCleared) {
  ClearScreenDrawing();
  RedWindow red;
  // The corners in either order; the far edges are outside.
  PaintInverseRect(TPoint(123, 122), TPoint(120, 120));
  EXPECT_EQ(ScreenMap(119, 119, 5, 4),
            "rrrrr\n"
            "rcccr\n"
            "rcccr\n"
            "rrrrr\n");
  PaintInverseRect(TPoint(120, 120), TPoint(123, 122));
  EXPECT_FALSE(OverlayShowing());
  PaintInverseRect(TPoint(INT32_MIN, INT32_MIN), TPoint(INT32_MAX, INT32_MAX));
  EXPECT_EQ(ScreenPixel(150, 150), clAqua);
  PaintInverseRect(TPoint(INT32_MIN, INT32_MIN), TPoint(INT32_MAX, INT32_MAX));
  EXPECT_FALSE(OverlayShowing());

  // Other drawing stays over the screen until it is cleared.
  {
    TScreenCanvas c;
    const TPoint o = TScreenCanvas::Origin();
    c.Pen.Color = clBlue;
    c.MoveTo(130 - o.X, 140 - o.Y);
    c.LineTo(160 - o.X, 140 - o.Y);
    EXPECT_FALSE(OverlayShowing()) << "shown when the canvas is done or updated";
    c.Update();
    EXPECT_TRUE(OverlayShowing());
  }
  EXPECT_EQ(ScreenPixel(140, 140), clBlue);
  ClearScreenDrawing();
  EXPECT_FALSE(OverlayShowing());
  EXPECT_EQ(ScreenPixel(140, 140), clRed) << "a fresh canvas starts with the screen again";
  {
    // A canvas made while another draws goes on from the other's drawing.
    TScreenCanvas outer;
    const TPoint o = TScreenCanvas::Origin();
    outer.SetPixels(170 - o.X, 140 - o.Y, clBlue);
    EXPECT_EQ(ScreenPixel(170, 140), clBlue);
  }
  EXPECT_EQ(ScreenPixel(170, 140), clBlue);
  ClearScreenDrawing();
}

TEST(CopyParentImage, ShowsTheParentAndTheControlsBeneathOnly) {
  QWidget parent;
  Paint(parent, Qt::red);
  parent.setGeometry(50, 50, 200, 100);
  QWidget below(&parent), control(&parent), above(&parent);
  Paint(below, Qt::green);
  below.setGeometry(50, 0, 100, 100);
  Paint(control, Qt::blue);
  control.setGeometry(25, 25, 100, 50);
  Paint(above, Qt::yellow);
  above.setGeometry(0, 0, 40, 40);
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));

  TBitmap image(100, 50, pf32bit);
  CopyParentImage(&control, image.Canvas());
  // The control covers the parent's (25..124, 25..74): red left of x = 50, green from there;
  // neither the control's own blue nor the yellow control above it.
  EXPECT_EQ(image.GetPixelColor(0, 0), clRed);
  EXPECT_EQ(image.GetPixelColor(10, 10), clRed) << "the control above is left out";
  EXPECT_EQ(image.GetPixelColor(24, 49), clRed);
  EXPECT_EQ(image.GetPixelColor(25, 0), clLime);
  EXPECT_EQ(image.GetPixelColor(99, 49), clLime);
  // The green control raised above it: the control covers the parent alone, and yellow
  // once that is put beneath.
  below.raise();
  CopyParentImage(&control, image.Canvas());
  EXPECT_EQ(image.GetPixelColor(30, 10), clRed);
  above.stackUnder(&control);
  CopyParentImage(&control, image.Canvas());
  EXPECT_EQ(image.GetPixelColor(10, 10), clYellow);
  // No parent: nothing is drawn.
  TBitmap untouched(4, 4, pf32bit);
  untouched.SetPixelColor(0, 0, clWhite);
  CopyParentImage(&parent, untouched.Canvas());
  CopyParentImage(nullptr, untouched.Canvas());
  EXPECT_EQ(untouched.GetPixelColor(0, 0), clWhite);
}

}  // namespace
