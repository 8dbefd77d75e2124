#include "platform/gui/QtFixedDialog.h"

#include <algorithm>

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QWidget>

int TitleBarWidth(const QString& title) {
  QFont font = QApplication::font("QMdiSubWindowTitleBar");
  font.setBold(true);
  const QFontMetrics metrics(font);
  // The icon and three buttons, each about as wide as the bar is high, and the bar's margins.
  const int button = metrics.height() + 8;
  const int needed = metrics.horizontalAdvance(title) + 4 * button + 2 * metrics.height();
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? std::min(needed, screen->availableGeometry().width()) : needed;
}

namespace {

constexpr const char* kFrameName = "FixedSizeFrame";

// Keeps the dialog as wide as its title needs. A dialog of a given size is widened to it; one
// that its layout sizes gets a strut in the layout, so that the layout's own size is wide
// enough and every later pass of the layout keeps it so.
class TFixedSizeFrame : public QObject {
 public:
  TFixedSizeFrame(QWidget* dialog, QSize size) : QObject(dialog), FDialog(dialog), FSize(size) {
    setObjectName(kFrameName);
    dialog->installEventFilter(this);
    TakeLayout();
    Fit();
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::WindowTitleChange: Fit(); break;
      case QEvent::Show:
        // Some dialogs (the input box) make their layout only when they first show.
        if (!FSize.isValid() && !FStrut) {
          TakeLayout();
          if (!FStrut) FSize = FDialog->size();
        }
        Fit();
        break;
      default: break;
    }
    return false;
  }

 private:
  void TakeLayout() {
    QLayout* layout = FDialog->layout();
    if (FSize.isValid() || !layout) return;
    FStrut = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    if (auto* grid = qobject_cast<QGridLayout*>(layout))
      grid->addItem(FStrut, grid->rowCount(), 0, 1, std::max(1, grid->columnCount()));
    else layout->addItem(FStrut);
    // A message box sets its fixed size itself when it shows, from its layout's minimum.
    if (!qobject_cast<QMessageBox*>(FDialog)) layout->setSizeConstraint(QLayout::SetFixedSize);
  }

  void Fit() {
    // A dialog may make its layout anew (a message box given a check box does), which takes
    // the strut with the old one: the new layout gets one of its own.
    if (FStrut && (!FDialog->layout() || FDialog->layout()->indexOf(FStrut) < 0)) {
      FStrut = nullptr;
      TakeLayout();
    }
    if (!FSize.isValid() && !FStrut) return;
    const int needed = TitleBarWidth(FDialog->windowTitle());
    if (FStrut) {
      QLayout* layout = FDialog->layout();
      const QMargins m = layout->contentsMargins();
      const int width = std::max(0, needed - m.left() - m.right());
      if (FStrut->sizeHint().width() != width) {
        FStrut->changeSize(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
        layout->invalidate();
      }
      layout->activate();
    } else {
      FDialog->setFixedSize(std::max(FSize.width(), needed), FSize.height());
    }
  }

  QWidget* FDialog;
  QSize FSize;
  QSpacerItem* FStrut = nullptr;  // owned by the layout
};

}  // namespace

void MakeFixedSizeDialog(QWidget* dialog, QSize size) {
  if (!dialog || IsFixedSizeDialog(dialog)) return;
  const Qt::WindowFlags buttons = Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint;
  if (dialog->windowFlags() & buttons) dialog->setWindowFlags(dialog->windowFlags() & ~buttons);
  if (size.isValid()) dialog->setFixedSize(size);
  new TFixedSizeFrame(dialog, size);
}

bool IsFixedSizeDialog(const QWidget* dialog) {
  return dialog && dialog->findChild<QObject*>(kFrameName, Qt::FindDirectChildrenOnly);
}
