#include "POP/gui/PopExtCtrls.h"

#include <QEvent>
#include <QPainter>

#include "gif/Vclutils.h"
#include "platform/Canvas.h"
#include "platform/Graphics.h"
#include "platform/gui/QtServices.h"

TPanel::TPanel(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Raised);
}

void TPanel::SetCaption(const std::string& caption) {
  if (caption == FCaption) return;
  FCaption = caption;
  update();
}

void TPanel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (FCaption.empty()) return;
  QPainter p(this);
  p.drawText(contentsRect(), Qt::AlignCenter, ToQString(FCaption));
}

TImage::TImage(QWidget* parent) : QWidget(parent), FPicture(std::make_unique<TBitmap>()) {}
TImage::~TImage() = default;

void TImage::AssignPicture(const TGraphic* graphic) {
  auto copy = std::make_unique<TBitmap>();
  if (graphic && !graphic->Empty()) {
    if (auto* bitmap = dynamic_cast<const TBitmap*>(graphic)) {
      copy->Assign(bitmap);
    } else {
      copy->SetSize(graphic->Width(), graphic->Height());
      copy->Canvas().Brush.SetColor(clWhite);
      copy->Canvas().FillRect(TRect{0, 0, graphic->Width(), graphic->Height()});
      graphic->Draw(copy->Canvas(), TRect{0, 0, graphic->Width(), graphic->Height()});
    }
  }
  FPicture = std::move(copy);
  if (AutoSize && !FPicture->Empty()) resize(FPicture->Width(), FPicture->Height());
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  if (FPicture->Empty()) return;
  QPainter p(this);
  QImage image = QImageOfBitmap(*FPicture);
  if (Stretch) {
    p.drawImage(rect(), image);
  } else if (Center) {
    p.drawImage((width() - image.width()) / 2, (height() - image.height()) / 2, image);
  } else {
    p.drawImage(0, 0, image);
  }
}

// Fitted by the smaller scale, so a picture never reaches outside the area whichever of its
// sides is the longer.
QRect FitPreviewRect(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight) {
  int w = 0, h = 0;
  if (pictureWidth > 0 && pictureHeight > 0) {
    double ratio = double(pictureWidth) / pictureHeight;
    if (ratio >= 1) {
      w = areaWidth;
      h = int(w / ratio);
      if (h > areaHeight) {
        h = areaHeight;
        w = int(ratio * h);
      }
    } else {
      h = areaHeight;
      w = int(ratio * h);
      if (w > areaWidth) {
        w = areaWidth;
        h = int(w / ratio);
      }
    }
  }
  return QRect((areaWidth - w) / 2, (areaHeight - h) / 2, w, h);
}

void ImagePreviewGraphic(TImage* image, const TGraphic* graphic) {
  if (!image) return;
  image->AutoSize = false;
  image->Stretch = true;
  image->Center = false;
  image->AssignPicture(graphic);
  QWidget* parent = image->parentWidget();
  QSize area = parent ? parent->contentsRect().size() : image->size();
  QRect r = FitPreviewRect(image->Picture().Width(), image->Picture().Height(), area.width(), area.height());
  if (parent) r.translate(parent->contentsRect().topLeft());
  image->setGeometry(r);
  if (auto* panel = qobject_cast<TPanel*>(parent)) panel->SetCaption(r.width() <= 0 ? "Not Avaliable" : "");
  image->repaint();
}

QImage FancyCaptionImage(int width, const std::string& text) {
  if (width <= 0) return {};
  TBitmap strip(width, 16, pf32bit);
  TCanvas& c = strip.Canvas();
  GradientFillRect(c, TRect{0, 0, width, 16}, clBtnShadow, clBtnFace, fdLeftToRight, 32);
  c.Brush.Style = bsClear;
  c.Font.Style = fsBold;
  c.Font.Color = clBtnHighlight;
  c.TextOut(3, (16 - c.TextHeight(text)) / 2, text);
  return QImageOfBitmap(strip);
}

namespace {
// The hint of a caption strip is its caption, not a tooltip.
class TNoToolTip : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::ToolTip; }
};
}  // namespace

void PaintBoxDrawFancy(QWidget* paintBox) {
  if (!paintBox) return;
  if (paintBox->height() != 16) paintBox->setFixedHeight(16);
  paintBox->setAttribute(Qt::WA_OpaquePaintEvent);
  if (!paintBox->property("zelmoraNoToolTip").toBool()) {
    static TNoToolTip filter;
    paintBox->installEventFilter(&filter);
    paintBox->setProperty("zelmoraNoToolTip", true);
  }
  // Qt paints a widget only inside its paint event; elsewhere this call only sets it up.
  if (paintBox->testAttribute(Qt::WA_WState_InPaintEvent)) {
    QPainter p(paintBox);
    if (p.isActive())
      p.drawImage(0, 0, FancyCaptionImage(paintBox->width(), FromQString(paintBox->toolTip())));
  }
}

void PanelHyperLink(TPanel* panel) {
  if (!panel) return;
  QPalette p = panel->palette();
  p.setColor(QPalette::WindowText, QColor(0, 0, 255));
  panel->setPalette(p);
  QFont f = panel->font();
  f.setUnderline(true);
  panel->setFont(f);
  panel->setCursor(Qt::PointingHandCursor);
  panel->setToolTip(ToQString("[" + panel->Caption() + "]"));
}

void PaintBoxPreview(QWidget* paintBox, const TGraphic* graphic) {
  if (!paintBox || !paintBox->testAttribute(Qt::WA_WState_InPaintEvent)) return;
  QPainter p(paintBox);
  if (!p.isActive()) return;
  p.fillRect(paintBox->rect(), paintBox->palette().color(paintBox->backgroundRole()));
  if (!graphic || graphic->Empty()) return;
  TImage holder;
  holder.AssignPicture(graphic);
  QRect r = FitPreviewRect(graphic->Width(), graphic->Height(), paintBox->width(), paintBox->height());
  p.drawImage(r, QImageOfBitmap(holder.Picture()));
}
