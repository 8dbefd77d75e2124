// The dialog banner: the shaded strip along the bottom of the dialogs, a picture tinted to
// the desktop's button-face colour. Its form is never shown; it only hosts the routine.
#pragma once
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>

class XImage;

class TFormGlobal : public QWidget {
  Q_OBJECT
 public:
  explicit TFormGlobal(QWidget* parent = nullptr);
  ~TFormGlobal() override;

  // Paints the banner into the paint box; call it from the box's paint handler (Qt paints a
  // widget only inside its paint event; elsewhere the call only keeps the picture up to
  // date). The picture is loaded and tinted again only when the button-face colour has
  // changed since the last tint; a missing or bad Wash.bmp paints nothing and says nothing.
  static void PaintBanner(QWidget* paintBox);
};

extern TFormGlobal* FormGlobal;

// The banner picture as last tinted (nullptr before the first paint), and the colour it was
// tinted for (0x00BBGGRR).
const XImage* BannerPicture();
uint32_t BannerColour();
// Frees the picture and forgets the colour, as at the end of the run.
void FreeBanner();

// A paint box: a plain control whose paint event calls OnPaint, where the handlers draw.
class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(QWidget* parent = nullptr) : QWidget(parent) {}
  std::function<void()> OnPaint;

 protected:
  void paintEvent(QPaintEvent*) override {
    if (OnPaint) OnPaint();
  }
};

// The application's icon (Zelmora.ico in the program folder, read at first use) as a 32 x 32
// image with its transparency; a null image when the file is missing or bad.
QImage ApplicationIconImage();

class QLineEdit;
// The number dialogs' exit rule: the edit's text as an integer (`def` when it is not one),
// limited first to `high`, then to `low` (so `low` wins when the range is empty), and
// written back. Returns the value.
int EditClampInteger(QLineEdit* edit, int def, int64_t low, int64_t high);
