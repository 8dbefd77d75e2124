#include "Unitpleasewait.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>

TFormPleaseWait* FormPleaseWait = nullptr;

TWaitPaintBox::TWaitPaintBox(QWidget* parent) : QWidget(parent) {}
void TWaitPaintBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!Surface.isNull()) p.drawImage(0, 0, Surface);
}

std::vector<TColor> SweepColumns(int width, int, int, TColor panelColor) {
  return std::vector<TColor>(width > 0 ? width : 0, panelColor);
}

TFormPleaseWait::TFormPleaseWait(QWidget* parent) : QWidget(parent) {
  PanelClient = new QFrame(this);
  Message = new QLabel(PanelClient);
  PaintBox = new TWaitPaintBox(PanelClient);
}
TFormPleaseWait::~TFormPleaseWait() {}
void TFormPleaseWait::BeginWait(const std::string&, bool) { ++FNesting; }
void TFormPleaseWait::SetProgress(int, int) {}
void TFormPleaseWait::EndWait() {
  if (FNesting > 0) --FNesting;
}
void TFormPleaseWait::PaintBoxPaint() {}
QStatusBar* TFormPleaseWait::FindStatusBar() const { return nullptr; }
