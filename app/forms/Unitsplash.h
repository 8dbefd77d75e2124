// The splash window: the start-up picture with the version and copyright lines and the
// progress bar that the scene loader drives while the first project loads.
#pragma once
#include <memory>
#include <string>

#include <QWidget>

#include "engine/XZLMButton.h"
#include "platform/WaitIndicator.h"

class QLabel;
class QProgressBar;
class QTimer;
class TBitmap;

class TFormSplash : public QWidget, public TLoadProgress {
  Q_OBJECT
 public:
  explicit TFormSplash(QWidget* parent = nullptr);
  ~TFormSplash() override;

  void FormShow();
  void FormClose();
  void TimerTimer();
  void ImageClick();

  // The scene loader's progress; the maximum is never below the minimum.
  void SetRange(int minimum, int maximum) override;
  void SetPosition(int position) override;
  // A pass over items reported to the wait indicator (the page's drawing): while the window
  // shows, the bar follows it as it follows the loader; a new maximum, or a position before
  // the bar's, is a new pass.
  void ShowWork(int position, int maximum);

  QLabel* Image;
  QLabel* Label1;
  QLabel* Label4;
  QProgressBar* ProgressBar;
  QTimer* Timer;
  // Why the last show could not load the picture; empty when it did.
  std::string LoadError;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::unique_ptr<TBitmap> FPicture;
  bool FPainted = false;
  TProgressPace FPace;
};

extern TFormSplash* FormSplash;

// While it lives (the program's start), what the work reports to the wait indicator also
// moves the splash window's bar: the first drawing of the page, after the load of its objects.
// Only the work's own passes count; a wait opened inside (a picture that reports its reading
// in percent) stays off the bar. Everything goes on to the indicator installed before, which
// is put back at the end.
class TSplashWaitRelay : public TWaitIndicator {
 public:
  explicit TSplashWaitRelay(TFormSplash* splash);
  ~TSplashWaitRelay() override;
  TSplashWaitRelay(const TSplashWaitRelay&) = delete;
  TSplashWaitRelay& operator=(const TSplashWaitRelay&) = delete;

  void BeginWait(const std::string& message, bool show) override;
  void SetProgress(int position, int maximum) override;
  void EndWait() override;

 private:
  TFormSplash* FSplash;
  TWaitIndicator* FNext;
  int FDepth = 0;
};
