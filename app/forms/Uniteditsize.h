// The size dialog: a width and height in pixels shown in pixels, inches, centimetres, picas
// or points at a resolution, with the memory a 32-bit picture of that size takes.
#pragma once
#include <string>

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TPaintBox;

class TFormEditSize : public QDialog {
  Q_OBJECT
 public:
  explicit TFormEditSize(QWidget* parent = nullptr);
  ~TFormEditSize() override;

  void ComboBoxChange();
  void EditWidthChange();
  void EditHeightChange();
  void EditResolutionChange();
  void PaintBox1Paint();

  double Width() const { return FWidth; }
  double Height() const { return FHeight; }
  int Resolution() const { return FResolution; }
  double PixelsPerUnit() const { return FPixelsPerUnit; }
  void SetPixels(double width, double height);

  QLabel* LabelWidth;
  QLabel* LabelHeight;
  QLabel* LabelResolution;
  QLineEdit* EditWidth;
  QLineEdit* EditHeight;
  QLineEdit* EditResolution;
  QComboBox* ComboBox;
  QLabel* LabelMemory;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
  TPaintBox* PaintBox1;

 private:
  // The edits shown in the chosen unit, without their change handlers.
  void RefreshEdits();
  void UpdateMemory();
  double FWidth = 0, FHeight = 0;
  int FResolution = 72;
  // Item 0, "Pixels", is chosen at creation, so a pixel is one unit.
  double FPixelsPerUnit = 1;
};

extern TFormEditSize* FormEditSize;

// A number in fixed notation with `decimals` decimals and '.' whatever the locale.
std::string FloatToFixed(double value, int decimals);
// A number rounded to a whole, with ',' between groups of three digits.
std::string FloatToNumber(double value);
