// The Qt glue: bitmap <-> QImage, the paint box's mouse order and context menu, the dock
// sites' one-client rule, the exit of a control.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <QApplication>
#include <QDockWidget>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

#include "platform/gui/QtDock.h"
#include "platform/gui/QtImage.h"
#include "platform/gui/QtPaintBox.h"
#include "platform/gui/QtUpDown.h"

namespace {

TEST(QtImage, BitmapRoundTripKeepsColoursAndClips) {
  TBitmap b(3, 2);
  const TColor colours[2][3] = {{0x0000FF, 0x00FF00, 0xFF0000}, {0x123456, 0xFFFFFF, 0x000000}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b.SetPixelColor(x, y, colours[y][x]);
  QImage q = BitmapToQImage(b);
  ASSERT_EQ(q.size(), QSize(3, 2));
  // The canvas leaves alpha 0; the screen image is opaque all the same.
  EXPECT_EQ(q.pixel(0, 0), 0xFFFF0000u);  // red
  EXPECT_EQ(q.pixel(2, 0), 0xFF0000FFu);  // blue
  EXPECT_EQ(q.pixel(0, 1), 0xFF563412u);

  QImage part = BitmapToQImage(b, TRect(1, 1, 10, 10));
  ASSERT_EQ(part.size(), QSize(2, 1));
  EXPECT_EQ(part.pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_TRUE(BitmapToQImage(b, TRect(5, 5, 9, 9)).isNull());

  TBitmap back;
  QImageToBitmap(q, back);
  ASSERT_EQ(back.Width(), 3);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(back.GetPixelColor(x, y), colours[y][x]) << x << "," << y;
  EXPECT_EQ(back.ScanLine(0)[3], 255);  // opaque pictures come in opaque

  QImageToBitmap(QImage(), back);
  EXPECT_EQ(back.Width(), 0);
}

TEST(QtImage, IndexedBitmapsGoThroughTheirPalette) {
  TBitmap b(2, 1, pf8bit);
  b.SetPalette({{0, 0, 0, 0}, {0x30, 0x20, 0x10, 0}});  // blue, green, red, reserved
  b.ScanLine(0)[0] = 1;
  b.ScanLine(0)[1] = 0;
  QImage q = BitmapToQImage(b);
  EXPECT_EQ(q.pixel(0, 0), 0xFF102030u);
  EXPECT_EQ(q.pixel(1, 0), 0xFF000000u);
}

// Records what the paint box reports, in order.
struct Recorder {
  std::vector<std::string> log;
  explicit Recorder(TQtPaintBox& box) {
    QObject::connect(&box, &TQtPaintBox::MouseDown, [this](TMouseButton b, TShiftState s, int x, int y) {
      log.push_back("down " + std::to_string(b) + (s & ssDouble ? " double" : "") + " " + std::to_string(x) +
                    "," + std::to_string(y));
    });
    QObject::connect(&box, &TQtPaintBox::MouseUp, [this](TMouseButton b, TShiftState, int, int) {
      log.push_back("up " + std::to_string(b));
    });
    QObject::connect(&box, &TQtPaintBox::DblClick, [this] { log.push_back("dblclick"); });
    QObject::connect(&box, &TQtPaintBox::ContextPopup, [this](const QPoint&) { log.push_back("popup"); });
  }
};

void Send(QWidget& w, QEvent::Type type, Qt::MouseButton button, QPoint p) {
  Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent e(type, p, w.mapToGlobal(p), button, held, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

TEST(QtPaintBox, DoubleClickIsReportedAsTheComponentLibraryDoes) {
  TQtPaintBox box;
  box.SetSurfaceSize(100, 50);
  box.show();
  Recorder r(box);
  // What Qt delivers for a double click: the second press comes only as a double click.
  Send(box, QEvent::MouseButtonPress, Qt::LeftButton, {10, 20});
  Send(box, QEvent::MouseButtonRelease, Qt::LeftButton, {10, 20});
  Send(box, QEvent::MouseButtonDblClick, Qt::LeftButton, {10, 20});
  Send(box, QEvent::MouseButtonRelease, Qt::LeftButton, {10, 20});
  EXPECT_EQ(r.log,
            (std::vector<std::string>{"down 0 10,20", "up 0", "dblclick", "down 0 double 10,20", "up 0"}));
}

TEST(QtPaintBox, ContextMenuOpensAfterTheRightButtonsRelease) {
  TQtPaintBox box;
  box.SetSurfaceSize(100, 50);
  box.show();
  QMenu menu;
  menu.addAction("Item");
  box.SetPopupMenu(&menu);
  Recorder r(box);
  Send(box, QEvent::MouseButtonPress, Qt::RightButton, {30, 10});
  // The press's own context request (X11 sends one) is dropped.
  QContextMenuEvent press(QContextMenuEvent::Mouse, {30, 10}, box.mapToGlobal(QPoint(30, 10)));
  QApplication::sendEvent(&box, &press);
  EXPECT_FALSE(menu.isVisible());
  Send(box, QEvent::MouseButtonRelease, Qt::RightButton, {30, 10});
  EXPECT_TRUE(menu.isVisible());
  EXPECT_EQ(r.log, (std::vector<std::string>{"down 1 30,10", "up 1", "popup"}));
  menu.hide();

  // Released outside the box: no menu. The menu key opens it at once.
  Send(box, QEvent::MouseButtonPress, Qt::RightButton, {30, 10});
  Send(box, QEvent::MouseButtonRelease, Qt::RightButton, {300, 10});
  EXPECT_FALSE(menu.isVisible());
  QContextMenuEvent key(QContextMenuEvent::Keyboard, {0, 0});
  QApplication::sendEvent(&box, &key);
  EXPECT_TRUE(menu.isVisible());
  menu.hide();
}

TEST(QtPaintBox, SurfaceKeepsPixelsAcrossResizeAndCopiesClipped) {
  TQtPaintBox box;
  box.SetSurfaceSize(4, 4);
  TBitmap b(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) b.SetPixelColor(x, y, 0x0000FF);
  box.CopyFromBitmap(b, TRect(2, 2, 8, 8));
  EXPECT_EQ(box.Surface().pixel(1, 1), 0xFF000000u);
  EXPECT_EQ(box.Surface().pixel(3, 3), 0xFFFF0000u);
  box.SetSurfaceSize(6, 6);
  EXPECT_EQ(box.size(), QSize(6, 6));
  EXPECT_EQ(box.Surface().pixel(3, 3), 0xFFFF0000u);
  EXPECT_EQ(box.Surface().pixel(5, 5), 0xFF000000u);  // new pixels are black
}

TEST(QtDock, AnOccupiedSiteRefusesASecondWindow) {
  QMainWindow window;
  window.setCentralWidget(new QWidget);
  TDockSites* sites = nullptr;
  sites = new TDockSites(&window, [&](Qt::DockWidgetArea site, QDockWidget* client, bool& accept) {
    QDockWidget* docked = sites->DockClient(site);
    accept = !docked || docked == client;
  });
  auto* a = new QDockWidget("A", &window);
  auto* b = new QDockWidget("B", &window);
  window.show();
  sites->Add(a);
  sites->Add(b);
  sites->ManualDock(a, Qt::RightDockWidgetArea);
  EXPECT_EQ(sites->DockClient(Qt::RightDockWidgetArea), a);
  EXPECT_TRUE(a->allowedAreas() & Qt::RightDockWidgetArea);
  EXPECT_FALSE(b->allowedAreas() & Qt::RightDockWidgetArea);
  EXPECT_TRUE(b->allowedAreas() & Qt::LeftDockWidgetArea);

  // Floated, the site is free again and both may dock there.
  sites->ManualFloat(a);
  EXPECT_TRUE(a->isFloating());
  EXPECT_EQ(sites->DockClient(Qt::RightDockWidgetArea), nullptr);
  EXPECT_TRUE(b->allowedAreas() & Qt::RightDockWidgetArea);
}

// While a dock window or the main window is torn down the sites ask nothing about it: by
// then it is no longer a whole dock window or main window, and its owner may be gone.
TEST(QtDock, NothingIsAskedOfAWindowBeingTornDown) {
  std::vector<std::string> faults;
  auto* window = new QMainWindow;
  QObject* windowObject = window;
  window->setCentralWidget(new QWidget);
  auto* a = new QDockWidget("A");
  auto* b = new QDockWidget("B");
  auto* c = new QDockWidget("C");
  std::vector<QObject*> docks = {a, b, c};
  TDockSites* sites = nullptr;
  sites = new TDockSites(window, [&](Qt::DockWidgetArea site, QDockWidget* client, bool& accept) {
    if (!qobject_cast<QMainWindow*>(windowObject)) faults.push_back("a question while the main window goes");
    for (QObject* d : docks)
      if (d == static_cast<void*>(client) && !qobject_cast<QDockWidget*>(d))
        faults.push_back("a question about a dock window that goes");
    QDockWidget* docked = sites->DockClient(site);
    accept = !docked || docked == client;
  });
  window->show();
  for (QDockWidget* d : {a, b, c}) sites->Add(d);
  sites->ManualDock(a, Qt::LeftDockWidgetArea);
  sites->ManualDock(b, Qt::RightDockWidgetArea);
  delete c;  // floating
  delete b;  // docked
  delete window;
  EXPECT_EQ(faults, std::vector<std::string>());
}

// A control is left when the focus goes to another control. A window torn down with the
// focus in the control does not leave it: its form is half destroyed by then.
TEST(ControlExit, OnlyTheFocusMovingOnIsAnExit) {
  int exits = 0;
  {
    QWidget window;
    auto* a = new QLineEdit(&window);
    auto* b = new QLineEdit(&window);
    ControlOnExit(a, [&] { ++exits; });
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    a->setFocus();
    b->setFocus();
    EXPECT_EQ(exits, 1);
    a->setFocus();
    a->clearFocus();
    EXPECT_EQ(exits, 1);
    a->setFocus();
  }
  EXPECT_EQ(exits, 1);
}

}  // namespace
