// The tip of the day: one tip from tips.ini in the user's language at each showing, the
// next one each time, with the setting that shows the window at start-up.
#pragma once
#include <memory>

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class TIniFile;
class TImage;
class TPanel;
class TPaintBox;

class TFormTipOfTheDay : public QDialog {
  Q_OBJECT
 public:
  explicit TFormTipOfTheDay(QWidget* parent = nullptr);
  ~TFormTipOfTheDay() override;

  void FormCreate();
  void FormShow();
  void FormDestroy();
  // Shows the tip after the one shown last (tip 0 after the last tip) and remembers it.
  void ButtonNextTipClick();
  void CheckBoxShowClick();
  void Button1Click();
  void PaintBox1Paint();

  // The main window shows the tips at start-up when this is ticked.
  QCheckBox* CheckBoxShow;
  TPanel* Panel1;
  QWidget* PanelLeft;
  TImage* Image1;
  QWidget* PanelTip;
  QLabel* Label1;
  QFrame* Bevel1;
  QLabel* LabelTip;
  QPushButton* ButtonNextTip;
  QPushButton* Button1;
  TPaintBox* PaintBox1;

  TIniFile* TipsFile() const { return FTipsFile.get(); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<TIniFile> FTipsFile;
};

extern TFormTipOfTheDay* FormTipOfTheDay;
