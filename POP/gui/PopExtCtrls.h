// Helpers for panels, images and paint boxes, with the two small controls they work on: a
// panel that shows a centred caption and an image control that shows a picture.
#pragma once
#include <memory>
#include <string>

#include <QFrame>
#include <QImage>
#include <QWidget>

class TBitmap;
class TGraphic;

// A panel: a frame that paints its caption centred.
class TPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TPanel(QWidget* parent = nullptr);
  std::string Caption() const { return FCaption; }
  void SetCaption(const std::string& caption);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string FCaption;
};

// An image control: shows its picture at the top-left, centred, or stretched to its size.
class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent = nullptr);
  ~TImage() override;
  // The picture as a 32-bit bitmap; empty when there is none.
  TBitmap& Picture() { return *FPicture; }
  const TBitmap& Picture() const { return *FPicture; }
  // Takes a copy of a picture of any kind (nullptr empties).
  void AssignPicture(const TGraphic* graphic);
  bool Stretch = false;
  bool Center = false;
  bool AutoSize = false;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::unique_ptr<TBitmap> FPicture;
};

// Shows the graphic in the image, scaled to fit its parent by the smaller of the two scales
// and centred there; a parent panel says "Not Avaliable" when there is nothing to show.
void ImagePreviewGraphic(TImage* image, const TGraphic* graphic);
// The 16-pixel caption strip: a gradient from the button shadow to the button face with the
// control's hint written in bold in the highlight colour. Call it from the control's paint
// handler; it also sets the height to 16 and stops the hint from showing as a tooltip.
void PaintBoxDrawFancy(QWidget* paintBox);
// The strip PaintBoxDrawFancy paints, for a control `width` pixels wide.
QImage FancyCaptionImage(int width, const std::string& text);
// A panel's link look: blue, underlined, the hand cursor and the hint "[caption]".
void PanelHyperLink(TPanel* panel);
// The paint-box twin of ImagePreviewGraphic: paints the graphic fitted and centred into the
// paint box. Call it from the paint box's paint handler.
void PaintBoxPreview(QWidget* paintBox, const TGraphic* graphic);
// The rectangle that fits a picture of the given size into an area, by the smaller scale,
// centred; 0 x 0 at the centre for an empty picture.
QRect FitPreviewRect(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight);
