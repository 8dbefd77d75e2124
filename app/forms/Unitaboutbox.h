// The about box: product name, version, copyright, the publisher's web address, the
// credits and the machine's memory, above the dialog banner.
#pragma once
#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TPaintBox;

class TFormAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TFormAboutBox(QWidget* parent = nullptr);
  ~TFormAboutBox() override;

  void FormShow();
  void Label4Click();
  void PaintBox1Paint();
  void PaintBox2Paint();
  // Places the two memory lines for their present texts.
  void LayoutMemoryLines();

  QTabWidget* PageControl;
  QWidget* TabSheetAbout;
  TPaintBox* PaintBox1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QPlainTextEdit* Memo;
  QFrame* Bevel1;
  QLabel* Label5;
  QLabel* Label6;
  QLabel* Label7;
  QLabel* Label8;
  QPushButton* ButtonOK;
  TPaintBox* PaintBox2;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

extern TFormAboutBox* FormAboutBox;
