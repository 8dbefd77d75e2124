// The object bounds dialog: left, top, width and height in pixels, each kept on the screen
// when its edit is left and all four again when OK is pressed.
#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

class TFormResize : public QDialog {
  Q_OBJECT
 public:
  explicit TFormResize(QWidget* parent = nullptr);
  ~TFormResize() override;

  void EditLeftExit();
  void EditTopExit();
  void EditWidthExit();
  void EditHeightExit();
  void ButtonOKClick();

  QTabWidget* PageControl;
  QWidget* TabSheetSettings;
  QLabel* LabelLeft;
  QLabel* LabelTop;
  QLabel* LabelWidth;
  QLabel* LabelHeight;
  QLineEdit* EditLeft;
  QLineEdit* EditTop;
  QLineEdit* EditWidth;
  QLineEdit* EditHeight;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
};

extern TFormResize* FormResize;
