#include "PopControls.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "PopStdCtrls.h"
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
  if (auto* l = qobject_cast<QLabel*>(control))
    l->setText(t);
  else if (auto* b = qobject_cast<QAbstractButton*>(control))
    b->setText(t);
  else if (auto* e = qobject_cast<QLineEdit*>(control))
    e->setText(t);
  else if (auto* c = qobject_cast<QComboBox*>(control))
    c->setCurrentText(t);
  else if (auto* g = qobject_cast<QGroupBox*>(control))
    g->setTitle(t);
  else if (control)
    control->setWindowTitle(t);
}

QWidget* WinControlFindClass(QWidget* control, const char* className) {
  if (!control || !className) return nullptr;
  QWidget* found = nullptr;
  for (QWidget* child : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child->inherits(className)) found = child;
  return found;
}
