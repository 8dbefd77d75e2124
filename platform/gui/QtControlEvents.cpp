#include "platform/gui/QtControlEvents.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>

namespace {

const char* const kClickEnabled = "zelmoraClickEnabled";

// Watches one control for a press and a release of the left button inside it.
class TClickFilter : public QObject {
 public:
  TClickFilter(QWidget* control, std::function<void()> handler)
      : QObject(control), FControl(control), FHandler(std::move(handler)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != FControl) return false;
    if (e->type() == QEvent::MouseButtonPress) {
      auto* m = static_cast<QMouseEvent*>(e);
      FPressed = m->button() == Qt::LeftButton;
    } else if (e->type() == QEvent::MouseButtonRelease) {
      auto* m = static_cast<QMouseEvent*>(e);
      bool click =
          FPressed && m->button() == Qt::LeftButton && FControl->rect().contains(m->position().toPoint());
      FPressed = false;
      if (click && ClickEnabled(FControl) && FControl->isEnabled() && FHandler) FHandler();
    }
    return false;
  }

 private:
  QWidget* FControl;
  std::function<void()> FHandler;
  bool FPressed = false;
};

}  // namespace

void OnUserChange(QComboBox* box, std::function<void()> handler) {
  if (!box) return;
  QObject::connect(box, &QComboBox::activated, box, [handler](int) { handler(); });
  if (QLineEdit* edit = box->lineEdit())
    QObject::connect(edit, &QLineEdit::textEdited, box, [handler](const QString&) { handler(); });
}

void OnUserChange(QLineEdit* edit, std::function<void()> handler) {
  if (!edit) return;
  QObject::connect(edit, &QLineEdit::textEdited, edit, [handler](const QString&) { handler(); });
}

void OnUserClick(QAbstractButton* button, std::function<void()> handler) {
  if (!button) return;
  QObject::connect(button, &QAbstractButton::clicked, button, [handler](bool) { handler(); });
}

void OnUserClick(QAction* action, std::function<void()> handler) {
  if (!action) return;
  QObject::connect(action, &QAction::triggered, action, [handler](bool) { handler(); });
}

void OnUserClick(QWidget* control, std::function<void()> handler) {
  if (!control) return;
  control->installEventFilter(new TClickFilter(control, std::move(handler)));
}

void SetClickEnabled(QWidget* control, bool enabled) {
  if (control) control->setProperty(kClickEnabled, enabled);
}

bool ClickEnabled(const QWidget* control) {
  if (!control) return false;
  QVariant v = control->property(kClickEnabled);
  return !v.isValid() || v.toBool();
}
