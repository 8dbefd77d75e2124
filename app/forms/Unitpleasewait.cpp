#include "app/forms/Unitpleasewait.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include "platform/Services.h"
#include "platform/gui/QtServices.h"

TFormPleaseWait* FormPleaseWait = nullptr;

TWaitPaintBox::TWaitPaintBox(QWidget* parent) : QWidget(parent) {}
void TWaitPaintBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!Surface.isNull()) p.drawImage(0, 0, Surface);
}

// Odd columns ramp in 16.16 fixed point from the panel colour's bytes (taken as raw
// fractions, so black) up to white at the peak column and back to black at the right edge;
// even columns keep the panel colour, which gives the strip its fine stripes.
std::vector<TColor> SweepColumns(int width, int position, int maximum, TColor panelColor) {
  if (width <= 0) return {};
  int64_t m = maximum == 0 ? 1 : maximum;
  int64_t peak = std::llabs(2 * int64_t(position) - maximum) * width / m;
  // Computed in 64 bits so that no position overflows; a peak beyond the strip is kept.
  int p = int(std::clamp<int64_t>(peak, INT32_MIN, INT32_MAX));
  int64_t acc[3] = {GetRValue(panelColor), GetGValue(panelColor), GetBValue(panelColor)};
  int64_t step[3];  // 64 bits: a negative maximum gives steps that would overflow 32
  int e = p == 0 ? 1 : p;
  for (int c = 0; c < 3; ++c) step[c] = (0xFF0000 - acc[c]) / e;
  std::vector<TColor> columns(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x) {
    if (x % 2 == 1)
      columns[size_t(x)] = RGB(uint8_t(acc[0] >> 16), uint8_t(acc[1] >> 16), uint8_t(acc[2] >> 16));
    else columns[size_t(x)] = panelColor;
    if (x == p) {
      int d = width - p == 0 ? 1 : width - p;
      for (int c = 0; c < 3; ++c) step[c] = (0 - acc[c]) / d;
    } else {
      for (int c = 0; c < 3; ++c) acc[c] += step[c];
    }
  }
  return columns;
}

static constexpr TColor kPanelColor = 0xFF7878;

TFormPleaseWait::TFormPleaseWait(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("FormPleaseWait");
  setWindowTitle("Please wait");
  setFixedSize(353, 41);
  PanelClient = new QFrame(this);
  PanelClient->setObjectName("PanelClient");
  PanelClient->setGeometry(0, 0, 353, 41);
  PanelClient->setAutoFillBackground(true);
  QPalette pal = PanelClient->palette();
  pal.setColor(QPalette::Window,
               QColor(GetRValue(kPanelColor), GetGValue(kPanelColor), GetBValue(kPanelColor)));
  PanelClient->setPalette(pal);
  Message = new QLabel("Loading...", PanelClient);
  Message->setObjectName("Message");
  Message->move(8, 8);
  QPalette mp = Message->palette();
  mp.setColor(QPalette::WindowText, Qt::white);
  Message->setPalette(mp);
  Message->setAttribute(Qt::WA_TranslucentBackground);
  Message->setMinimumWidth(338);
  PaintBox = new TWaitPaintBox(PanelClient);
  PaintBox->setObjectName("PaintBox");
  PaintBox->setGeometry(7, 26, 338, 7);
  ButtonCancel = new QPushButton("Cancel", PanelClient);
  ButtonCancel->setObjectName("ButtonCancel");
  ButtonCancel->setGeometry(353 - 8 - 75, 41, 75, 23);
  ButtonCancel->hide();
  connect(ButtonCancel, &QPushButton::clicked, this, [this] {
    if (FCancel) FCancel();
  });
}

// A wait that can be cancelled is taller by the button's row.
static constexpr int kCancelRow = 31;

void TFormPleaseWait::OfferCancel(std::function<void()> cancel) { FCancel = std::move(cancel); }

void TFormPleaseWait::ClearCancel() {
  if (!FCancel && !ButtonCancel->isVisible()) return;
  FCancel = nullptr;
  ButtonCancel->hide();
  setWindowModality(Qt::NonModal);
  setFixedSize(353, 41);
  PanelClient->setGeometry(0, 0, 353, 41);
}

void TFormPleaseWait::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && FCancel) {
    FCancel();
    return;
  }
  QWidget::keyPressEvent(event);
}

TFormPleaseWait::~TFormPleaseWait() {
  if (FormPleaseWait == this) FormPleaseWait = nullptr;
  if (WaitIndicator() == this) SetWaitIndicator(nullptr);
}

void TFormPleaseWait::BeginWait(const std::string& message, bool show) {
  if (FNesting == 0) {
    if (QStatusBar* bar = FindStatusBar()) FSavedStatus = StatusBarSimpleText(bar);
    // A new piece of work says so at once; inside it, updates keep to the pace.
    FPace.Restart();
  }
  ++FNesting;
  Message->setText(ToQString(message));
  if (show) FPace.Restart();
  SetProgress(0, 100);
  if (show && FCancel) {
    setFixedSize(353, 41 + kCancelRow);
    PanelClient->setGeometry(0, 0, 353, 41 + kCancelRow);
    ButtonCancel->show();
    setWindowModality(Qt::ApplicationModal);
  }
  if (show) {
    // Centred on the screen each time: the screen may have changed since the last wait.
    int w = 0, h = 0;
    Services().ScreenSize(w, h);
    move((w - width()) / 2, (h - height()) / 2);
    QWidget::show();
    raise();
    // The caller's work starts right away on this thread: paint before it does.
    WaitUntilExposed(this);
    if (FCancel) activateWindow();
    repaint();
    PaintBoxPaint();
  }
}

// Work reports every item; what it reports is kept, and shown at the pace's rate.
void TFormPleaseWait::SetProgress(int position, int maximum) {
  if (FNesting == 0) return;
  FPosition = position;
  FMaximum = maximum;
  if (FPace.Due()) ShowProgress();
}

void TFormPleaseWait::ShowProgress() {
  if (isVisible()) PaintBoxPaint();
  QStatusBar* bar = FindStatusBar();
  if (!bar) return;
  int64_t percent = int64_t(FPosition) * 100 / (FMaximum == 0 ? 1 : FMaximum);
  StatusBarSetSimpleText(bar, FromQString(Message->text()) + " - " + std::to_string(percent) + "% Done");
}

// An EndWait without a BeginWait only hides the window: the nesting never goes below zero
// and the saved status text is not written back a second time.
void TFormPleaseWait::EndWait() {
  hide();
  ClearCancel();
  if (FNesting == 0) return;
  if (FNesting > 1) {
    SetProgress(0, 100);
    --FNesting;
    return;
  }
  // The outermost wait puts the text of before it back at once; its 0 % would only flash.
  FNesting = 0;
  FPosition = 0;
  FMaximum = 100;
  if (QStatusBar* bar = FindStatusBar()) StatusBarSetSimpleText(bar, FSavedStatus);
}

void TFormPleaseWait::PaintBoxPaint() {
  int w = PaintBox->width(), h = PaintBox->height();
  if (w <= 0 || h <= 0) return;
  QImage surface(w, h, QImage::Format_RGB32);
  std::vector<TColor> columns = SweepColumns(w, FPosition, FMaximum, kPanelColor);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(surface.scanLine(y));
    for (int x = 0; x < w; ++x) {
      TColor c = columns[size_t(x)];
      row[x] = 0xFF000000u | uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
    }
  }
  PaintBox->Surface = surface;
  PaintBox->repaint();
}

QStatusBar* TFormPleaseWait::FindStatusBar() const { return MainFormStatusBar(); }
