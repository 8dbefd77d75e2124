// The wait indicator: a borderless stay-on-top window with a message and a swept progress
// strip, which also writes the progress into the main window's status bar. Nested: the
// status text of the moment the outermost wait began comes back when it ends.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

#include "platform/Types.h"
#include "platform/WaitIndicator.h"

class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;

// The strip of the wait indicator: a widget that shows what PaintBoxPaint drew into it.
class TWaitPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TWaitPaintBox(QWidget* parent);
  QImage Surface;

 protected:
  void paintEvent(QPaintEvent*) override;
};

// The colour of each column of the sweep for a strip `width` columns wide.
std::vector<TColor> SweepColumns(int width, int position, int maximum, TColor panelColor);

class TFormPleaseWait : public QWidget, public TWaitIndicator {
  Q_OBJECT
 public:
  explicit TFormPleaseWait(QWidget* parent = nullptr);
  ~TFormPleaseWait() override;

  // Callers pair these through TScopedWait (platform/WaitIndicator.h).
  void BeginWait(const std::string& message, bool show) override;
  void SetProgress(int position, int maximum) override;
  void EndWait() override;
  void PaintBoxPaint();
  QStatusBar* FindStatusBar() const;
  // The next shown wait offers Cancel (the button and the Escape key), which calls `cancel`
  // on this thread; that window then takes the program's input until the wait ends, so
  // nothing else starts meanwhile. The offer ends with the wait.
  void OfferCancel(std::function<void()> cancel);

  int Nesting() const { return FNesting; }
  int Position() const { return FPosition; }
  int Maximum() const { return FMaximum; }

  QFrame* PanelClient;
  QLabel* Message;
  TWaitPaintBox* PaintBox;
  QPushButton* ButtonCancel;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int FNesting = 0;
  std::string FSavedStatus;
  int FPosition = 0;
  int FMaximum = 100;
  // The strip and the status bar repaint at this pace, not once per item of the work.
  TProgressPace FPace;
  std::function<void()> FCancel;
  void ShowProgress();
  void ClearCancel();
};

extern TFormPleaseWait* FormPleaseWait;
