#include "platform/gui/QtUpDown.h"

#include <algorithm>

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include "platform/SysUtils.h"

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
  ButtonUp = new QToolButton(this);
  ButtonUp->setObjectName("ButtonUp");
  ButtonUp->setArrowType(Qt::UpArrow);
  ButtonUp->setAutoRepeat(true);
  ButtonUp->setFocusPolicy(Qt::NoFocus);
  ButtonDown = new QToolButton(this);
  ButtonDown->setObjectName("ButtonDown");
  ButtonDown->setArrowType(Qt::DownArrow);
  ButtonDown->setAutoRepeat(true);
  ButtonDown->setFocusPolicy(Qt::NoFocus);
  connect(ButtonUp, &QToolButton::clicked, this, [this] { Step(1); });
  connect(ButtonDown, &QToolButton::clicked, this, [this] { Step(-1); });
  resize(16, 21);
}

void TUpDown::SetAssociate(QLineEdit* edit) {
  if (FAssociate) FAssociate->removeEventFilter(this);
  FAssociate = edit;
  if (!edit) return;
  edit->installEventFilter(this);
  if (parentWidget() == edit->parentWidget()) {
    QRect g = edit->geometry();
    setGeometry(g.right() + 1, g.top(), 16, g.height());
  }
  WriteAssociate();
}

void TUpDown::SetRange(int minimum, int maximum) {
  FMin = minimum;
  FMax = maximum;
  FPosition = std::clamp(FPosition, FMin, std::max(FMin, FMax));
}

int TUpDown::Position() {
  int32_t v;
  if (FAssociate && TryStrToInt(Trim(FAssociate->text().toStdString()), v) && v >= FMin && v <= FMax)
    FPosition = v;
  return FPosition;
}

void TUpDown::SetPosition(int position) {
  FPosition = std::clamp(position, FMin, std::max(FMin, FMax));
  WriteAssociate();
}

void TUpDown::Step(int direction) {
  int64_t v = int64_t(Position()) + int64_t(direction) * Increment;
  if (v > FMax) v = Wrap ? FMin : FMax;
  if (v < FMin) v = Wrap ? FMax : FMin;
  SetPosition(int(v));
}

void TUpDown::WriteAssociate() {
  if (FAssociate) FAssociate->setText(QString::number(FPosition));
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FAssociate && event->type() == QEvent::KeyPress) {
    int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TUpDown::resizeEvent(QResizeEvent*) {
  int h = height() / 2;
  ButtonUp->setGeometry(0, 0, width(), h);
  ButtonDown->setGeometry(0, h, width(), height() - h);
}

namespace {
class TExitFilter : public QObject {
 public:
  TExitFilter(QObject* parent, std::function<void()> handler)
      : QObject(parent), FHandler(std::move(handler)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    // Qt has already moved the focus when it reports the focus-out. A focus that goes
    // nowhere (cleared, or the control or its window being destroyed) is no exit: the
    // handler's form may be half destroyed by then.
    if (event->type() == QEvent::FocusOut && QApplication::focusWidget()) {
      Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && FHandler) FHandler();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> FHandler;
};
}  // namespace

void ControlOnExit(QWidget* control, std::function<void()> handler) {
  if (control) control->installEventFilter(new TExitFilter(control, std::move(handler)));
}
