#include "platform/gui/QtPaintBox.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "platform/gui/QtImage.h"

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s = 0;
  if (modifiers & Qt::ShiftModifier) s |= ssShift;
  if (modifiers & Qt::AltModifier) s |= ssAlt;
  if (modifiers & Qt::ControlModifier) s |= ssCtrl;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

static bool ButtonOf(Qt::MouseButton b, TMouseButton& out) {
  switch (b) {
    case Qt::LeftButton: out = mbLeft; return true;
    case Qt::RightButton: out = mbRight; return true;
    case Qt::MiddleButton: out = mbMiddle; return true;
    default: return false;
  }
}

TQtPaintBox::TQtPaintBox(QWidget* parent) : QWidget(parent) {
  // The page paints every pixel itself; the platform erases no background.
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Mouse moves arrive without a button held too, as they do for the component library's
  // controls (the cursor shape follows the handles under the mouse).
  setMouseTracking(true);
  setContextMenuPolicy(Qt::DefaultContextMenu);
  setAcceptDrops(true);
}

void TQtPaintBox::SetSurfaceSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (FSurface.width() != width || FSurface.height() != height) {
    QImage next(width, height, QImage::Format_RGB32);
    next.fill(Qt::black);
    if (!FSurface.isNull() && !next.isNull()) {
      QPainter p(&next);
      p.drawImage(0, 0, FSurface);
    }
    FSurface = next;
  }
  setFixedSize(width, height);
  update();
}

void TQtPaintBox::CopyFromBitmap(const TBitmap& bitmap, const TRect& r) {
  CopyFromBitmap(bitmap, r, r.Left, r.Top);
}

void TQtPaintBox::CopyFromBitmap(const TBitmap& bitmap, const TRect& r, int x, int y) {
  // Clip the source to the bitmap and its image on the surface to the surface.
  TRect src;
  if (!IntersectRect(src, r, TRect(0, 0, bitmap.Width(), bitmap.Height()))) return;
  int dx = x - r.Left, dy = y - r.Top;
  TRect dst;
  if (!IntersectRect(dst, TRect(src.Left + dx, src.Top + dy, src.Right + dx, src.Bottom + dy),
                     TRect(0, 0, FSurface.width(), FSurface.height())))
    return;
  QImage part = BitmapToQImage(bitmap, TRect(dst.Left - dx, dst.Top - dy, dst.Right - dx, dst.Bottom - dy));
  if (part.isNull()) return;
  QPainter p(&FSurface);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(dst.Left, dst.Top, part);
  p.end();
  update(QRect(dst.Left, dst.Top, part.width(), part.height()));
}

void TQtPaintBox::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  QRect r = e->rect();
  p.fillRect(r, Qt::black);
  p.drawImage(r, FSurface, r);
}

void TQtPaintBox::mousePressEvent(QMouseEvent* e) {
  TMouseButton b;
  if (!ButtonOf(e->button(), b)) return;
  QPoint p = e->position().toPoint();
  emit MouseDown(b, ShiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TQtPaintBox::mouseMoveEvent(QMouseEvent* e) {
  QPoint p = e->position().toPoint();
  emit MouseMove(ShiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

// The context menu opens after the right button comes up, once the mouse-up has been
// reported, as it does on the system the editing code was written for (the right click
// selects first, then the menu opens over the selection). X11 would open it on the press.
void TQtPaintBox::mouseReleaseEvent(QMouseEvent* e) {
  TMouseButton b;
  if (!ButtonOf(e->button(), b)) return;
  QPoint p = e->position().toPoint();
  QPointer<TQtPaintBox> self(this);
  emit MouseUp(b, ShiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y());
  if (self && b == mbRight && rect().contains(p)) OpenPopup(e->globalPosition().toPoint());
}

// Qt reports the second press of a double click only as a double-click event. The
// component library reports it as the double click followed by a mouse-down carrying
// ssDouble (the left button only has the double-click event), then the mouse-up; the page
// drops that mouse-down itself, so it must come.
void TQtPaintBox::mouseDoubleClickEvent(QMouseEvent* e) {
  TMouseButton b;
  if (!ButtonOf(e->button(), b)) return;
  QPoint p = e->position().toPoint();
  QPointer<TQtPaintBox> self(this);
  if (b == mbLeft) emit DblClick();
  if (!self) return;
  emit MouseDown(b, TShiftState(ShiftStateOf(e->modifiers(), e->buttons()) | ssDouble), p.x(), p.y());
}

// Mouse-made context requests are dropped here: the release opens the menu (above). The
// keyboard's menu key opens it at once where the mouse is, or in the middle of the box.
void TQtPaintBox::contextMenuEvent(QContextMenuEvent* e) {
  e->accept();
  if (e->reason() == QContextMenuEvent::Mouse) return;
  QPoint local = mapFromGlobal(QCursor::pos());
  if (!rect().contains(local)) local = rect().center();
  OpenPopup(mapToGlobal(local));
}

void TQtPaintBox::OpenPopup(const QPoint& globalPos) {
  QPointer<TQtPaintBox> self(this);
  emit ContextPopup(globalPos);
  if (self && FPopupMenu) FPopupMenu->popup(globalPos);
}

bool TQtPaintBox::AskDragOver(QDropEvent* e) {
  bool accept = false;
  const QPoint p = e->position().toPoint();
  emit DragOver(e->source(), p.x(), p.y(), accept);
  // Always a copy: a move would let the source take its entry away after the drop.
  if (accept) {
    e->setDropAction(Qt::CopyAction);
    e->accept();
  } else {
    e->ignore();
  }
  return accept;
}

void TQtPaintBox::dragEnterEvent(QDragEnterEvent* e) { AskDragOver(e); }
void TQtPaintBox::dragMoveEvent(QDragMoveEvent* e) { AskDragOver(e); }

void TQtPaintBox::dropEvent(QDropEvent* e) {
  // Asked once more at the drop point: the answer is the one for this very place.
  if (!AskDragOver(e)) return;
  const QPoint p = e->position().toPoint();
  emit DragDrop(e->source(), p.x(), p.y());
}
