#include "app/forms/Unitsplash.h"

#include <algorithm>
#include <cstdio>

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QTimer>

#include "POP/PopForms.h"
#include "app/AppEnvironment.h"
#include "platform/Graphics.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtServices.h"

TFormSplash* FormSplash = nullptr;

TFormSplash::TFormSplash(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("FormSplash");
  resize(488, 291);
  Image = new QLabel(this);
  Image->setObjectName("Image");
  Image->setGeometry(0, 0, 488, 291);
  Image->setScaledContents(false);
  Image->installEventFilter(this);
  auto label = [this](const char* name, int top) {
    auto* l = new QLabel("NA", this);
    l->setObjectName(name);
    l->move(12, top);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->setMinimumWidth(464);
    return l;
  };
  Label1 = label("Label1", 232);
  Label4 = label("Label4", 248);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setGeometry(12, 270, 265, 10);
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);
  Timer = new QTimer(this);
  Timer->setObjectName("Timer");
  Timer->setInterval(3000);
  connect(Timer, &QTimer::timeout, this, &TFormSplash::TimerTimer);
}

TFormSplash::~TFormSplash() {
  if (FormSplash == this) FormSplash = nullptr;
}

void TFormSplash::FormShow() {
  FPicture = std::make_unique<TBitmap>();
  FPicture->LoadFromFile(LocalFile("setup.bmp"));
  int w = 0, h = 0;
  Services().ScreenSize(w, h);
  setGeometry((w - FPicture->Width()) / 2, (h - FPicture->Height()) / 2, FPicture->Width(),
              FPicture->Height());
  Image->setGeometry(0, 0, FPicture->Width(), FPicture->Height());
  Image->setPixmap(QPixmap::fromImage(QImageOfBitmap(*FPicture)));
  Label1->setText(ToQString(VersionMessage()));
  Label4->setText(ToQString(VersionCopyright()));
  Timer->start();
  repaint();
}

void TFormSplash::FormClose() {
  Timer->stop();
  if (FPicture) FPicture->SetWidth(0);
  Image->clear();
}

void TFormSplash::TimerTimer() { close(); }
void TFormSplash::ImageClick() { close(); }

// A loader that counts its objects less one passes -1 for an empty scene: the bar's range
// then collapses onto its minimum instead of being inverted. A new range is a new pass over
// the objects, whose first position is shown at once.
void TFormSplash::SetRange(int minimum, int maximum) {
  ProgressBar->setRange(minimum, std::max(minimum, maximum));
  FPace.Restart();
}

// The loader runs without events in between and reports every object; the bar is moved and
// painted at the pace's rate. The first time after the window was shown it also waits for
// the window to be exposed and paints it whole.
void TFormSplash::SetPosition(int position) {
  if (!FPace.Due()) return;
  if (isVisible() && !FPainted && WaitUntilExposed(this)) {
    FPainted = true;
    repaint();
  }
  // The bar repaints itself at once when the new value shows.
  ProgressBar->setValue(std::clamp(position, ProgressBar->minimum(), ProgressBar->maximum()));
}

void TFormSplash::ShowWork(int position, int maximum) {
  if (!isVisible()) return;
  const int top = std::max(0, maximum);
  if (ProgressBar->maximum() != top || ProgressBar->minimum() != 0 || position < ProgressBar->value())
    SetRange(0, top);
  SetPosition(position);
}

TSplashWaitRelay::TSplashWaitRelay(TFormSplash* splash) : FSplash(splash), FNext(WaitIndicator()) {
  SetWaitIndicator(this);
}

TSplashWaitRelay::~TSplashWaitRelay() {
  if (WaitIndicator() == this) SetWaitIndicator(FNext);
}

void TSplashWaitRelay::BeginWait(const std::string& message, bool show) {
  ++FDepth;
  if (FNext) FNext->BeginWait(message, show);
}

void TSplashWaitRelay::SetProgress(int position, int maximum) {
  if (FNext) FNext->SetProgress(position, maximum);
  if (FSplash && FDepth <= 1) FSplash->ShowWork(position, maximum);
}

void TSplashWaitRelay::EndWait() {
  if (FDepth > 0) --FDepth;
  if (FNext) FNext->EndWait();
}

// No exception may leave a Qt event handler: a picture that does not load is kept in
// LoadError (for the code that showed the window to report) and the window shows its
// labels and progress bar at its designed size, centred, without the picture.
void TFormSplash::showEvent(QShowEvent* event) {
  LoadError.clear();
  FPainted = false;
  FPace.Restart();
  try {
    FormShow();
  } catch (const std::exception& e) {
    LoadError = e.what();
    std::fprintf(stderr, "%s\n", LoadError.c_str());
    int w = 0, h = 0;
    Services().ScreenSize(w, h);
    setGeometry((w - 488) / 2, (h - 291) / 2, 488, 291);
    Label1->setText(ToQString(VersionMessage()));
    Label4->setText(ToQString(VersionCopyright()));
    Timer->start();
  }
  QWidget::showEvent(event);
}

void TFormSplash::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

// A click is a press and a release on the picture.
bool TFormSplash::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image && event->type() == QEvent::MouseButtonRelease) {
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() == Qt::LeftButton && Image->rect().contains(me->position().toPoint())) {
      ImageClick();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
