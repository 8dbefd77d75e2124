#include "app/forms/Uniteditsize.h"

#include <charconv>
#include <cmath>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "POP/gui/PopStdCtrls.h"
#include "app/forms/Unitglobal.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtFixedDialog.h"
#include "platform/gui/QtServices.h"

TFormEditSize* FormEditSize = nullptr;

std::string FloatToFixed(double value, int decimals) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0");
}

std::string FloatToNumber(double value) {
  std::string digits = FloatToFixed(std::round(value), 0);
  if (digits == "NAN" || digits == "INF" || digits == "-INF") return digits;
  bool negative = !digits.empty() && digits[0] == '-';
  if (negative) digits.erase(0, 1);
  std::string out;
  int n = int(digits.size());
  for (int i = 0; i < n; ++i) {
    if (i && (n - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return (negative && out != "0" ? "-" : "") + out;
}

TFormEditSize::TFormEditSize(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("FormEditSize");
  setWindowTitle("Size");
  MakeFixedSizeDialog(this, QSize(242, 143));

  auto label = [this](const char* name, const char* caption, int top) {
    auto* l = new QLabel(caption, this);
    l->setObjectName(name);
    l->setGeometry(8, top + 3, 70, 16);
    return l;
  };
  auto edit = [this](const char* name, int top) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    e->setGeometry(80, top, 73, 21);
    return e;
  };
  LabelWidth = label("LabelWidth", "Width:", 8);
  LabelHeight = label("LabelHeight", "Height:", 32);
  LabelResolution = label("LabelResolution", "Resolution:", 56);
  EditWidth = edit("EditWidth", 8);
  EditHeight = edit("EditHeight", 32);
  EditResolution = edit("EditResolution", 56);
  ComboBox = new QComboBox(this);
  ComboBox->setObjectName("ComboBox");
  ComboBox->setGeometry(158, 8, 76, 21);
  ComboBox->addItems({"Pixels", "Inches", "Centimeters", "Picas", "Points"});
  ComboBox->setCurrentIndex(0);
  LabelMemory = new QLabel(this);
  LabelMemory->setObjectName("LabelMemory");
  LabelMemory->setGeometry(8, 82, 145, 16);
  ButtonOK = NewDialogButton(this, "ButtonOK", "OK", true);
  ButtonOK->setGeometry(158, 34, 76, 23);
  ButtonCancel = NewDialogButton(this, "ButtonCancel", "Cancel", false);
  ButtonCancel->setGeometry(158, 60, 76, 23);
  PaintBox1 = new TPaintBox(this);
  PaintBox1->setObjectName("PaintBox1");
  PaintBox1->setGeometry(0, 143 - 40, 242, 40);
  PaintBox1->OnPaint = [this] { PaintBox1Paint(); };
  PaintBox1->lower();

  RefreshEdits();
  UpdateMemory();
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  // The edits' change handlers fire on every change of their text, as the component
  // library's do; the box's only when the user picks an item.
  connect(EditWidth, &QLineEdit::textChanged, this, &TFormEditSize::EditWidthChange);
  connect(EditHeight, &QLineEdit::textChanged, this, &TFormEditSize::EditHeightChange);
  connect(EditResolution, &QLineEdit::textChanged, this, &TFormEditSize::EditResolutionChange);
  connect(ComboBox, &QComboBox::activated, this, &TFormEditSize::ComboBoxChange);
}

TFormEditSize::~TFormEditSize() {
  if (FormEditSize == this) FormEditSize = nullptr;
}

void TFormEditSize::SetPixels(double width, double height) {
  FWidth = width;
  FHeight = height;
  RefreshEdits();
  UpdateMemory();
}

void TFormEditSize::ComboBoxChange() {
  switch (ComboBox->currentIndex()) {
    case 1: FPixelsPerUnit = FResolution; break;
    case 2: FPixelsPerUnit = FResolution * 0.3937007874015748; break;
    case 3: FPixelsPerUnit = FResolution / 6.0; break;
    case 4: FPixelsPerUnit = FResolution / 72.0; break;
    default: FPixelsPerUnit = 1; break;
  }
  RefreshEdits();
  UpdateMemory();
}

void TFormEditSize::EditWidthChange() {
  FWidth = double(StrToFloatDef(FromQString(EditWidth->text()), 0)) * FPixelsPerUnit;
  UpdateMemory();
}

void TFormEditSize::EditHeightChange() {
  FHeight = double(StrToFloatDef(FromQString(EditHeight->text()), 0)) * FPixelsPerUnit;
  UpdateMemory();
}

void TFormEditSize::EditResolutionChange() {
  FResolution = StrToIntDef(FromQString(EditResolution->text()), 0);
  // The unit's size follows the new resolution.
  ComboBoxChange();
}

void TFormEditSize::PaintBox1Paint() { TFormGlobal::PaintBanner(PaintBox1); }

// A resolution of 0 makes every physical unit 0 pixels wide; the sizes then show as 0
// rather than as an infinite number.
void TFormEditSize::RefreshEdits() {
  auto shown = [this](double pixels) {
    return FPixelsPerUnit == 0 ? FloatToFixed(0, 2) : FloatToFixed(pixels / FPixelsPerUnit, 2);
  };
  EditSetText(EditResolution, IntToStr(FResolution));
  EditSetText(EditWidth, shown(FWidth));
  EditSetText(EditHeight, shown(FHeight));
}

void TFormEditSize::UpdateMemory() {
  double kb = std::ceil(FWidth) * std::ceil(FHeight) * 4 / 1024;
  LabelMemory->setText(ToQString(FloatToNumber(kb) + " KB"));
}
