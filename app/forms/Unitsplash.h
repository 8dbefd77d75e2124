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
