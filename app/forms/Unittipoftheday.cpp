#include "app/forms/Unittipoftheday.h"

#include <climits>

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "POP/PopForms.h"
#include "POP/gui/PopExtCtrls.h"
#include "POP/gui/PopStdCtrls.h"
#include "app/AppEnvironment.h"
#include "app/forms/Unitglobal.h"
#include "engine/XImage.h"
#include "platform/IniFiles.h"
#include "platform/gui/QtFixedDialog.h"
#include "platform/gui/QtImage.h"
#include "platform/gui/QtServices.h"

TFormTipOfTheDay* FormTipOfTheDay = nullptr;

TFormTipOfTheDay::TFormTipOfTheDay(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName("FormTipOfTheDay");
  setWindowTitle("Tip of the Day");
  MakeFixedSizeDialog(this, QSize(338, 199));
  setModal(false);

  Panel1 = new TPanel(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setGeometry(8, 8, 322, 118);

  PanelLeft = new QWidget(Panel1);
  PanelLeft->setObjectName("PanelLeft");
  PanelLeft->setGeometry(1, 1, 57, 116);
  PanelLeft->setAutoFillBackground(true);
  QPalette lp = PanelLeft->palette();
  lp.setColor(QPalette::Window, TColorToQColor(clBtnShadow));
  PanelLeft->setPalette(lp);
  Image1 = new TImage(PanelLeft);
  Image1->setObjectName("Image1");
  Image1->setGeometry(5, 8, 48, 57);
  Image1->Center = true;

  PanelTip = new QWidget(Panel1);
  PanelTip->setObjectName("PanelTip");
  PanelTip->setGeometry(58, 1, 263, 116);
  PanelTip->setAutoFillBackground(true);
  QPalette tp = PanelTip->palette();
  tp.setColor(QPalette::Window, tp.color(QPalette::Base));
  PanelTip->setPalette(tp);
  Label1 = new QLabel("Did you know...", PanelTip);
  Label1->setObjectName("Label1");
  Label1->setGeometry(8, 8, 249, 28);
  Bevel1 = new QFrame(PanelTip);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(8, 40, 249, 2);
  LabelTip = new QLabel(PanelTip);
  LabelTip->setObjectName("LabelTip");
  LabelTip->setGeometry(8, 48, 249, 65);
  LabelTip->setWordWrap(true);
  LabelTip->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  CheckBoxShow = new QCheckBox("&Show tips at startup", this);
  CheckBoxShow->setObjectName("CheckBoxShow");
  CheckBoxShow->setGeometry(8, 132, 160, 21);
  CheckBoxShow->setChecked(true);
  connect(CheckBoxShow, &QCheckBox::clicked, this, &TFormTipOfTheDay::CheckBoxShowClick);

  ButtonNextTip = NewDialogButton(this, "ButtonNextTip", "&Next Tip", true);
  ButtonNextTip->setGeometry(174, 130, 75, 25);
  connect(ButtonNextTip, &QPushButton::clicked, this, &TFormTipOfTheDay::ButtonNextTipClick);
  Button1 = NewDialogButton(this, "Button1", "&Close", false);
  Button1->setGeometry(255, 130, 75, 25);
  connect(Button1, &QPushButton::clicked, this, &TFormTipOfTheDay::Button1Click);

  PaintBox1 = new TPaintBox(this);
  PaintBox1->setObjectName("PaintBox1");
  PaintBox1->setGeometry(0, 199 - 40, 338, 40);
  PaintBox1->OnPaint = [this] { PaintBox1Paint(); };

  FormCreate();
}

TFormTipOfTheDay::~TFormTipOfTheDay() {
  FormDestroy();
  if (FormTipOfTheDay == this) FormTipOfTheDay = nullptr;
}

void TFormTipOfTheDay::FormCreate() {
  FTipsFile = std::make_unique<TIniFile>(LocalFile("tips.ini"));
  try {
    CheckBoxSetChecked(CheckBoxShow, FTipsFile->ReadBool("Settings", "ShowAtStartup", true));
  } catch (const std::exception&) {}
  QFont f = Label1->font();
  f.setPointSize(14);
  Label1->setFont(f);
  try {
    XImage bulb;
    bulb.LoadFromFile(LocalFile("bulb.bmp"));
    Image1->AssignPicture(&bulb);
  } catch (const std::exception&) {
    // Without its picture the window still shows its tips.
  }
}

void TFormTipOfTheDay::FormShow() { ButtonNextTipClick(); }

void TFormTipOfTheDay::FormDestroy() { FTipsFile.reset(); }

void TFormTipOfTheDay::ButtonNextTipClick() {
  if (!FTipsFile) return;
  // Counted in 64 bits: a stored index at the top of the range wraps to tip 0, not past it.
  long long n = (long long)FTipsFile->ReadInteger("Settings", "CurrentTip", -1) + 1;
  if (n > INT_MAX || FTipsFile->ReadSection(AppendNumber("Tip", int(n))).empty()) n = 0;
  std::string section = AppendNumber("Tip", int(n));
  LabelTip->setText(ToQString(ExpandTextMacros(Translate(section, FTipsFile.get()))));
  try {
    FTipsFile->WriteInteger("Settings", "CurrentTip", int(n));
  } catch (const std::exception&) {}
}

void TFormTipOfTheDay::CheckBoxShowClick() {
  if (FTipsFile) FTipsFile->WriteBool("Settings", "ShowAtStartup", CheckBoxShow->isChecked());
}

void TFormTipOfTheDay::Button1Click() { close(); }

void TFormTipOfTheDay::PaintBox1Paint() { TFormGlobal::PaintBanner(PaintBox1); }

void TFormTipOfTheDay::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}
