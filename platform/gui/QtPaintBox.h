// A paint box: a widget that shows a bitmap surface and reports the mouse in the component
// library's order. The Qt differences it hides are listed at each event handler.
#pragma once
#include <cstdint>

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include "platform/Graphics.h"
#include "platform/Types.h"

enum TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = uint16_t;
enum : TShiftState {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};

class TQtPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TQtPaintBox(QWidget* parent = nullptr);

  // The surface is what the screen shows, kept between paints as a window's pixels are:
  // an expose repaints from it, and only CopyFromBitmap changes it. Setting the size makes
  // it the widget's fixed size; new pixels are black.
  void SetSurfaceSize(int width, int height);
  // Copies r of the bitmap to the same place on the surface (clipped to both) and asks for
  // that part of the widget to be painted.
  void CopyFromBitmap(const TBitmap& bitmap, const TRect& r);
  // Copies r of the bitmap to (x, y) on the surface: a part of the page composed in a
  // smaller bitmap of its own (the page with the selection marks) goes to its place.
  void CopyFromBitmap(const TBitmap& bitmap, const TRect& r, int x, int y);
  const QImage& Surface() const { return FSurface; }

  // The context menu, opened after the right button's release.
  void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
  QMenu* PopupMenu() const { return FPopupMenu; }

 signals:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  void MouseMove(TShiftState shift, int x, int y);
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  void DblClick();
  // Right before the context menu opens at a global point.
  void ContextPopup(const QPoint& globalPos);
  // Something dragged from a control of the program (source, nullptr for other programs)
  // is over the box at (x, y): the receiver sets accept. Only a drag that the last answer
  // accepted can be dropped, as with the component library's drag over and drop events.
  void DragOver(QObject* source, int x, int y, bool& accept);
  void DragDrop(QObject* source, int x, int y);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void OpenPopup(const QPoint& globalPos);
  QImage FSurface;
  QPointer<QMenu> FPopupMenu;
  bool AskDragOver(QDropEvent* e);
};

// The shift state of a Qt event's modifiers and held buttons.
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
