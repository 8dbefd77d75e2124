#include "app/forms/Unitresize.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/forms/Unitglobal.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtServices.h"
#include "platform/gui/QtUpDown.h"

TFormResize* FormResize = nullptr;

namespace {
int EditValue(QLineEdit* edit, int def) { return StrToIntDef(FromQString(edit->text()), def); }
}  // namespace

TFormResize::TFormResize(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("FormResize");
  setWindowTitle("Button Resize");

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  TabSheetSettings = new QWidget;
  TabSheetSettings->setObjectName("TabSheetSettings");
  PageControl->addTab(TabSheetSettings, "Settings");
  auto* grid = new QGridLayout(TabSheetSettings);
  auto row = [&](int r, const char* labelName, const char* caption, const char* editName, QLabel*& label,
                 QLineEdit*& edit) {
    label = new QLabel(caption, TabSheetSettings);
    label->setObjectName(labelName);
    edit = new QLineEdit(TabSheetSettings);
    edit->setObjectName(editName);
    edit->setFixedWidth(81);
    label->setBuddy(edit);
    grid->addWidget(label, r, 0);
    grid->addWidget(edit, r, 1);
  };
  row(0, "LabelLeft", "Left:", "EditLeft", LabelLeft, EditLeft);
  row(1, "LabelTop", "Top:", "EditTop", LabelTop, EditTop);
  row(2, "LabelWidth", "Width:", "EditWidth", LabelWidth, EditWidth);
  row(3, "LabelHeight", "Height:", "EditHeight", LabelHeight, EditHeight);
  ControlOnExit(EditLeft, [this] { EditLeftExit(); });
  ControlOnExit(EditTop, [this] { EditTopExit(); });
  ControlOnExit(EditWidth, [this] { EditWidthExit(); });
  ControlOnExit(EditHeight, [this] { EditHeightExit(); });

  ButtonOK = NewDialogButton(this, "ButtonOK", "OK", true);
  connect(ButtonOK, &QPushButton::clicked, this, &TFormResize::ButtonOKClick);
  ButtonCancel = NewDialogButton(this, "ButtonCancel", "Cancel", false);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  LayOutDialog(this, PageControl, {ButtonOK, ButtonCancel}, 5);
}

TFormResize::~TFormResize() {
  if (FormResize == this) FormResize = nullptr;
}

void TFormResize::EditLeftExit() {
  EditClampInteger(EditLeft, 0, Area.Left, int64_t(Area.Right) - EditValue(EditWidth, 32));
}

void TFormResize::EditTopExit() {
  EditClampInteger(EditTop, 0, Area.Top, int64_t(Area.Bottom) - EditValue(EditHeight, 32));
}

void TFormResize::EditWidthExit() {
  EditClampInteger(EditWidth, 0, 10, int64_t(Area.Right) - EditValue(EditLeft, 0));
}

void TFormResize::EditHeightExit() {
  EditClampInteger(EditHeight, 0, 10, int64_t(Area.Bottom) - EditValue(EditTop, 0));
}

void TFormResize::ButtonOKClick() {
  EditLeftExit();
  EditTopExit();
  EditWidthExit();
  EditHeightExit();
  accept();
}
