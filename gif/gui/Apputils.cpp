#include "gif/gui/Apputils.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include "platform/gui/QtServices.h"

void AppTaskbarIcons(bool appOnly) {
  QWidget* main = ApplicationMainForm();
  if (!main) return;
  main->winId();  // the native window the others are made transient for
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w == main || !w->isWindow()) continue;
    const Qt::WindowType type = w->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop) continue;
    w->winId();
    if (QWindow* handle = w->windowHandle())
      handle->setTransientParent(appOnly ? main->windowHandle() : nullptr);
  }
}
