#include "app/forms/Uniteditprojectsize.h"

#include <cstdint>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms/Unitglobal.h"
#include "platform/ImageLimits.h"
#include "platform/gui/QtServices.h"
#include "platform/gui/QtUpDown.h"

TFormEditProjectSize* FormEditProjectSize = nullptr;

TFormEditProjectSize::TFormEditProjectSize(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("FormEditProjectSize");
  setWindowTitle("Enter Project Size");

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  auto row = [&](int r, const char* labelName, const char* caption, const char* editName,
                 const char* upDownName, QLabel*& label, QLineEdit*& edit, TUpDown*& upDown) {
    label = new QLabel(caption, this);
    label->setObjectName(labelName);
    edit = new QLineEdit(this);
    edit->setObjectName(editName);
    edit->setFixedWidth(65);
    label->setBuddy(edit);
    upDown = new TUpDown(this);
    upDown->setObjectName(upDownName);
    // Every size the program opens a page at, so that OK keeps the page's own size.
    upDown->SetRange(1, MaxPageSide);
    upDown->Wrap = false;
    upDown->SetPosition(1);
    upDown->SetAssociate(edit);
    upDown->setFixedSize(16, edit->sizeHint().height());
    auto* box = new QHBoxLayout;
    box->setSpacing(0);
    box->addWidget(edit);
    box->addWidget(upDown);
    box->addStretch();
    grid->addWidget(label, r, 0);
    grid->addLayout(box, r, 1);
    QLineEdit* sender = edit;
    ControlOnExit(edit, [this, sender] { Edit1Exit(sender); });
  };
  row(0, "Label1", "Width:", "Edit1", "UpDown1", Label1, Edit1, UpDown1);
  row(1, "Label2", "Height:", "Edit2", "UpDown2", Label2, Edit2, UpDown2);

  ButtonOK = NewDialogButton(this, "ButtonOK", "OK", true);
  connect(ButtonOK, &QPushButton::clicked, this, &TFormEditProjectSize::ButtonOKClick);
  ButtonCancel = NewDialogButton(this, "ButtonCancel", "Cancel", false);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  LayOutDialog(this, grid, {ButtonOK, ButtonCancel}, 8);
}

TFormEditProjectSize::~TFormEditProjectSize() {
  if (FormEditProjectSize == this) FormEditProjectSize = nullptr;
}

bool TFormEditProjectSize::Execute(const std::string& caption, int& width, int& height) {
  setWindowTitle(ToQString(caption));
  UpDown1->SetPosition(int16_t(width));
  UpDown2->SetPosition(int16_t(height));
  if (exec() != QDialog::Accepted) return false;
  width = int16_t(UpDown1->Position());
  height = int16_t(UpDown2->Position());
  return true;
}

// Typed sizes are kept to the sizes a page can have, as the arrows are.
void TFormEditProjectSize::Edit1Exit(QLineEdit* sender) { EditClampInteger(sender, 500, 1, MaxPageSide); }

// Return presses OK without leaving the edit, so the edit that has the focus is left here
// as a click on OK would leave it: a typed size is corrected whichever way OK is pressed.
void TFormEditProjectSize::ButtonOKClick() {
  QWidget* focused = focusWidget();
  if (focused == Edit1 || focused == Edit2) Edit1Exit(static_cast<QLineEdit*>(focused));
  accept();
}
