#include "app/forms/Unitgridsize.h"

#include <cstdint>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/forms/Unitglobal.h"
#include "platform/gui/QtUpDown.h"

TFormGridSize* FormGridSize = nullptr;

TFormGridSize::TFormGridSize(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("FormGridSize");
  setWindowTitle("Grid Properties");

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  TabSheetSettings = new QWidget;
  TabSheetSettings->setObjectName("TabSheetSettings");
  PageControl->addTab(TabSheetSettings, "Settings");
  Label1 = new QLabel("Enter Grid Size:", TabSheetSettings);
  Label1->setObjectName("Label1");
  Edit1 = new QLineEdit(TabSheetSettings);
  Edit1->setObjectName("Edit1");
  Edit1->setFixedWidth(57);
  Label1->setBuddy(Edit1);
  UpDown1 = new TUpDown(TabSheetSettings);
  UpDown1->setObjectName("UpDown1");
  UpDown1->SetRange(0, 64);
  UpDown1->Wrap = false;
  UpDown1->SetAssociate(Edit1);
  auto* row = new QHBoxLayout(TabSheetSettings);
  row->addWidget(Label1);
  row->addWidget(Edit1);
  row->addWidget(UpDown1);
  row->setSpacing(0);
  row->insertSpacing(1, 8);
  UpDown1->setFixedSize(16, Edit1->sizeHint().height());

  ButtonOK = NewDialogButton(this, "ButtonOK", "OK", true);
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
  LayOutDialog(this, PageControl, {ButtonOK}, 5);
}

TFormGridSize::~TFormGridSize() {
  if (FormGridSize == this) FormGridSize = nullptr;
}

// The up-down holds 16-bit positions.
bool TFormGridSize::Execute(int& size) {
  UpDown1->SetPosition(int16_t(size));
  if (exec() != QDialog::Accepted) return false;
  size = int16_t(UpDown1->Position());
  return true;
}
