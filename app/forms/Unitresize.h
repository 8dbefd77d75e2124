// The object bounds dialog: left, top, width and height in pixels, each kept within the
// caller's area (the page) when its edit is left and all four again when OK is pressed.
#pragma once
#include <QDialog>

#include "platform/ImageLimits.h"
#include "platform/Types.h"

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

  // Where the bounds are kept: the page, and wherever the object already lies beyond it, so
  // that values nobody changed are never moved. The caller sets it before each showing.
  TRect Area{0, 0, MaxPageSide, MaxPageSide};

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
