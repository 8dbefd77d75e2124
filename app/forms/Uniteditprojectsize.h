// The page size dialog: width and height of the page, as large as the program's pages go.
#pragma once
#include <string>

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TUpDown;

class TFormEditProjectSize : public QDialog {
  Q_OBJECT
 public:
  explicit TFormEditProjectSize(QWidget* parent = nullptr);
  ~TFormEditProjectSize() override;

  // Shows the dialog modally under the caption with the two sizes in the up-downs; on OK
  // both positions are read back and the result is true, otherwise both are left alone.
  bool Execute(const std::string& caption, int& width, int& height);

  // The exit handler of both edits.
  void Edit1Exit(QLineEdit* sender);
  void ButtonOKClick();

  QLabel* Label1;
  QLabel* Label2;
  QLineEdit* Edit1;
  QLineEdit* Edit2;
  TUpDown* UpDown1;
  TUpDown* UpDown2;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
};

extern TFormEditProjectSize* FormEditProjectSize;
