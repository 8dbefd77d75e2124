#include "POP/gui/PopControls.h"

#include <algorithm>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>

#include "POP/gui/PopStdCtrls.h"
#include "platform/Canvas.h"
#include "platform/gui/QtServices.h"

namespace {
QAbstractScrollArea* ScrollBoxOf(QWidget* control) {
  for (QWidget* w = control->parentWidget(); w; w = w->parentWidget()) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
      if (control->parentWidget() == area->viewport()) return area;
      return nullptr;
    }
    if (w != control->parentWidget()) break;
  }
  return nullptr;
}
}  // namespace

void ControlSetProjectPosition(QWidget* control) {
  if (!control) return;
  QAbstractScrollArea* area = ScrollBoxOf(control);
  if (!area) return;
  QSize client = area->viewport()->size();
  int x = std::max((client.width() - control->width()) / 2, 0) - area->horizontalScrollBar()->value();
  int y = std::max((client.height() - control->height()) / 2, 0) - area->verticalScrollBar()->value();
  control->move(x, y);
}

std::string ControlGetTextBuf(const QWidget* control) { return ControlCaption(control); }

void ControlSetTextBuf(QWidget* control, const std::string& text) {
  QString t = ToQString(text);
  if (auto* l = qobject_cast<QLabel*>(control)) l->setText(t);
  else if (auto* b = qobject_cast<QAbstractButton*>(control)) b->setText(t);
  else if (auto* e = qobject_cast<QLineEdit*>(control)) e->setText(t);
  else if (auto* c = qobject_cast<QComboBox*>(control)) c->setCurrentText(t);
  else if (auto* g = qobject_cast<QGroupBox*>(control)) g->setTitle(t);
  else if (control) control->setWindowTitle(t);
}

QWidget* WinControlFindClass(QWidget* control, const char* className) {
  if (!control || !className) return nullptr;
  QWidget* found = nullptr;
  for (QWidget* child : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child->inherits(className)) found = child;
  return found;
}

namespace {
class TCursorClip : public QObject {
 public:
  QPointer<QWidget> Control;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == Control && event->type() == QEvent::MouseMove) {
      QRect area(Control->mapToGlobal(QPoint(0, 0)), Control->size());
      QPoint p = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      QPoint kept(std::clamp(p.x(), area.left(), area.right()), std::clamp(p.y(), area.top(), area.bottom()));
      if (kept != p) QCursor::setPos(kept);
    }
    return false;
  }
};
TCursorClip& Clip() {
  static TCursorClip clip;
  return clip;
}
}  // namespace

void ControlClipCursor(QWidget* control) {
  TCursorClip& clip = Clip();
  if (clip.Control) {
    clip.Control->removeEventFilter(&clip);
    clip.Control->releaseMouse();
    clip.Control = nullptr;
  }
  if (!control) return;
  clip.Control = control;
  control->installEventFilter(&clip);
  control->grabMouse();
}

QWidget* ClippedCursorControl() { return Clip().Control; }

void DrawRubberBand(TCanvas& canvas, const TRect& r, TRubberBandShape shape) {
  TPen pen = canvas.Pen;
  TBrushStyle brush = canvas.Brush.Style;
  canvas.Pen.Style = psDot;
  canvas.Pen.Mode = pmNot;
  canvas.Pen.Width = 1;
  canvas.Brush.Style = bsClear;
  if (shape == rbEllipse) canvas.Ellipse(r);
  else canvas.Rectangle(r);
  canvas.Pen = pen;
  canvas.Brush.Style = brush;
}
