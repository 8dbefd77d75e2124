// The grid dialog: one size, 0 to 64 pixels, for both grid spacings.
#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TUpDown;

class TFormGridSize : public QDialog {
  Q_OBJECT
 public:
  explicit TFormGridSize(QWidget* parent = nullptr);
  ~TFormGridSize() override;

  // Shows the dialog modally with the size in the up-down; on OK the up-down's position
  // becomes the size and the result is true, otherwise the size is left alone.
  bool Execute(int& size);

  QTabWidget* PageControl;
  QWidget* TabSheetSettings;
  QLabel* Label1;
  QLineEdit* Edit1;
  TUpDown* UpDown1;
  QPushButton* ButtonOK;
};

extern TFormGridSize* FormGridSize;
