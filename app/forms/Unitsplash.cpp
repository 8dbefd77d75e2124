#include "Unitsplash.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>

TFormSplash* FormSplash = nullptr;

TFormSplash::TFormSplash(QWidget* parent) : QWidget(parent) {
  Image = new QLabel(this);
  Label1 = new QLabel(this);
  Label4 = new QLabel(this);
  ProgressBar = new QProgressBar(this);
  Timer = new QTimer(this);
}
TFormSplash::~TFormSplash() {}
void TFormSplash::FormShow() {}
void TFormSplash::FormClose() {}
void TFormSplash::TimerTimer() {}
void TFormSplash::ImageClick() {}
void TFormSplash::SetRange(int, int) {}
void TFormSplash::SetPosition(int) {}
void TFormSplash::showEvent(QShowEvent*) {}
void TFormSplash::closeEvent(QCloseEvent*) {}
bool TFormSplash::eventFilter(QObject* watched, QEvent* event) {
  return QWidget::eventFilter(watched, event);
}
