#include "app/forms/Unitglobal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include "POP/PopForms.h"
#include "POP/gui/PopStdCtrls.h"
#include "engine/XBlend.h"
#include "engine/XImage.h"
#include "platform/Canvas.h"
#include "platform/Icon.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtFixedDialog.h"
#include "platform/gui/QtImage.h"
#include "platform/gui/QtServices.h"

TFormGlobal* FormGlobal = nullptr;

namespace {
std::unique_ptr<XImage> gBanner;
// Starts at 0 like any colour value: a black button face is taken as already tinted.
uint32_t gBannerColour = 0;

uint32_t PaletteColour(QPalette::ColorRole role) {
  return QColorToTColor(QApplication::palette().color(QPalette::Active, role)) & 0xFFFFFF;
}

void TintBanner(uint32_t face) {
  gBanner->LoadFromFile(LocalFile("Wash.bmp"));
  // ImageColorize takes 0x00RRGGBB; our colours are 0x00BBGGRR.
  ImageColorize(*gBanner, *gBanner, ColorSwapRB(face));
  TCanvas& c = gBanner->Canvas();
  c.Pen.Color = TColor(PaletteColour(QPalette::Dark));
  c.MoveTo(0, 0);
  c.LineTo(640, 0);
  c.Pen.Color = TColor(PaletteColour(QPalette::Light));
  c.MoveTo(0, 1);
  c.LineTo(640, 1);
}
}  // namespace

TFormGlobal::TFormGlobal(QWidget* parent) : QWidget(parent) {
  setObjectName("FormGlobal");
  setWindowTitle("FormGlobal");
}

TFormGlobal::~TFormGlobal() {
  if (FormGlobal == this) FormGlobal = nullptr;
}

void TFormGlobal::PaintBanner(QWidget* paintBox) {
  if (!paintBox) return;
  try {
    if (!gBanner) gBanner = std::make_unique<XImage>();
    uint32_t face = PaletteColour(QPalette::Button);
    if (face != gBannerColour) {
      // Remembered first: a picture that fails to load is not retried at every paint.
      gBannerColour = face;
      TintBanner(face);
    }
    if (!paintBox->testAttribute(Qt::WA_WState_InPaintEvent) || gBanner->Empty()) return;
    QPainter p(paintBox);
    if (p.isActive())
      p.drawImage(QRect(0, 0, gBanner->Width(), paintBox->height()), QImageOfBitmap(*gBanner));
  } catch (const std::exception&) {}
}

const XImage* BannerPicture() { return gBanner.get(); }
uint32_t BannerColour() { return gBannerColour; }

void FreeBanner() {
  gBanner.reset();
  gBannerColour = 0;
}

QImage ApplicationIconImage() {
  // Read again only when the program folder has changed.
  static std::string loadedFrom;
  static QImage image;
  std::string name = LocalFile("Zelmora.ico");
  if (name == loadedFrom) return image;
  loadedFrom = name;
  image = QImage();
  try {
    TIcon icon;
    icon.LoadFromFile(name);
    const TBitmap& b = icon.Image();
    // Straight alpha in blue, green, red, alpha order: Qt's ARGB32 on this byte order.
    QImage out(b.Width(), b.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < b.Height(); ++y) std::memcpy(out.scanLine(y), b.ScanLine(y), size_t(b.Width()) * 4);
    image = out;
  } catch (const std::exception&) {}
  return image;
}

// The limits are 64-bit so that callers may compute them from any two 32-bit values.
int EditClampInteger(QLineEdit* edit, int def, int64_t low, int64_t high) {
  if (!edit) return def;
  int64_t v = StrToIntDef(FromQString(edit->text()), def);
  if (v > high) v = high;
  if (v < low) v = low;
  v = std::clamp<int64_t>(v, INT32_MIN, INT32_MAX);
  EditSetText(edit, IntToStr(v));
  return int(v);
}

QPushButton* NewDialogButton(QDialog* dialog, const char* name, const char* caption, bool isDefault) {
  auto* button = new QPushButton(caption, dialog);
  button->setObjectName(name);
  if (isDefault) button->setDefault(true);
  return button;
}

template <class AddBody>
static void LayOutDialogWith(QDialog* dialog, AddBody addBody, std::initializer_list<QPushButton*> buttons,
                             int margin) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  for (QPushButton* b : buttons) row->addWidget(b);
  auto* outer = new QVBoxLayout(dialog);
  outer->setContentsMargins(margin, margin, margin, margin);
  addBody(*outer);
  outer->addLayout(row);
  MakeFixedSizeDialog(dialog);
}

void LayOutDialog(QDialog* dialog, QLayout* body, std::initializer_list<QPushButton*> buttons, int margin) {
  LayOutDialogWith(
      dialog, [body](QVBoxLayout& outer) { outer.addLayout(body); }, buttons, margin);
}

void LayOutDialog(QDialog* dialog, QWidget* body, std::initializer_list<QPushButton*> buttons, int margin) {
  LayOutDialogWith(
      dialog, [body](QVBoxLayout& outer) { outer.addWidget(body); }, buttons, margin);
}

void LoadThumbnailPicture(XImage& image, const std::string& file) {
  try {
    image.LoadFromFile(file);
  } catch (const std::exception&) { image.SetSize(0, 0); }
}
