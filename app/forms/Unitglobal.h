// The dialog banner: the shaded strip along the bottom of the dialogs, a picture tinted to
// the desktop's button-face colour. Its form is never shown; it only hosts the routine.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include <QImage>
#include <QWidget>

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

// Reads a picture for a thumbnail. A file that is not a picture, or a broken or oversized one,
// leaves `image` empty (0 x 0): it gets no thumbnail.
void LoadThumbnailPicture(XImage& image, const std::string& file);

class QDialog;
class QLayout;
class QLineEdit;
class QPushButton;

// A dialog button of that name and caption; the default button is the one Return presses.
QPushButton* NewDialogButton(QDialog* dialog, const char* name, const char* caption, bool isDefault);
// Lays the dialog out as `body` (a layout or a widget) above a right-aligned row of `buttons`,
// `margin` pixels in from the edges, at its natural size, which the user cannot change.
void LayOutDialog(QDialog* dialog, QLayout* body, std::initializer_list<QPushButton*> buttons, int margin);
void LayOutDialog(QDialog* dialog, QWidget* body, std::initializer_list<QPushButton*> buttons, int margin);

// The number dialogs' exit rule: the edit's text as an integer (`def` when it is not one),
// limited first to `high`, then to `low` (so `low` wins when the range is empty), and
// written back. Returns the value.
int EditClampInteger(QLineEdit* edit, int def, int64_t low, int64_t high);
