#include "POP/gui/PopStdCtrls.h"

#include <algorithm>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "platform/Types.h"
#include "platform/gui/QtServices.h"

namespace {
void SetEnabledColour(QWidget* control, bool enabled) {
  if (!control) return;
  control->setEnabled(enabled);
  QPalette p = control->palette();
  QColor colour;
  if (enabled) {
    TColor c = ColorToRGB(clWindow);
    colour = QColor(GetRValue(c), GetGValue(c), GetBValue(c));
  } else {
    QWidget* parent = control->parentWidget();
    colour = parent ? parent->palette().color(parent->backgroundRole())
                    : control->palette().color(QPalette::Window);
  }
  // The disabled group is the one Qt draws with while the control is disabled.
  p.setColor(QPalette::Active, QPalette::Base, colour);
  p.setColor(QPalette::Inactive, QPalette::Base, colour);
  p.setColor(QPalette::Disabled, QPalette::Base, colour);
  control->setPalette(p);
}
}  // namespace

void EditSetEnabled(QLineEdit* edit, bool enabled) { SetEnabledColour(edit, enabled); }
void ComboBoxSetEnabled(QComboBox* box, bool enabled) { SetEnabledColour(box, enabled); }

void ComboBoxFontList(QComboBox* fontBox, QComboBox* sizeBox) {
  if (fontBox) {
    QSignalBlocker block(fontBox);
    QStringList fonts = QFontDatabase::families();
    std::sort(fonts.begin(), fonts.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    fonts.removeDuplicates();
    fontBox->clear();
    fontBox->addItems(fonts);
    fontBox->setCurrentIndex(fontBox->findText("Times New Roman", Qt::MatchFixedString));
    fontBox->setMaxVisibleItems(12);
  }
  if (sizeBox) {
    QSignalBlocker block(sizeBox);
    sizeBox->clear();
    sizeBox->addItems(QString("6,7,8,9,10,11,12,14,16,18,20,22,24,26,28,36,48,72").split(','));
    sizeBox->setCurrentIndex(sizeBox->findText("11"));
    sizeBox->setMaxVisibleItems(12);
    if (sizeBox->lineEdit()) sizeBox->lineEdit()->setMaxLength(3);
  }
}

std::string ControlCaption(const QWidget* control) {
  if (auto* l = qobject_cast<const QLabel*>(control)) return FromQString(l->text());
  if (auto* b = qobject_cast<const QAbstractButton*>(control)) return FromQString(b->text());
  if (auto* e = qobject_cast<const QLineEdit*>(control)) return FromQString(e->text());
  if (auto* c = qobject_cast<const QComboBox*>(control)) return FromQString(c->currentText());
  if (auto* g = qobject_cast<const QGroupBox*>(control)) return FromQString(g->title());
  return control ? FromQString(control->windowTitle()) : std::string();
}

void LabelHyperLink(QWidget* control) {
  if (!control) return;
  QPalette p = control->palette();
  p.setColor(QPalette::WindowText, QColor(0, 0, 255));
  p.setColor(QPalette::ButtonText, QColor(0, 0, 255));
  control->setPalette(p);
  QFont f = control->font();
  f.setBold(true);
  f.setUnderline(true);
  control->setFont(f);
  control->setCursor(Qt::PointingHandCursor);
  control->setToolTip(ToQString("[" + ControlCaption(control) + "]"));
}

void EditSetText(QLineEdit* edit, const std::string& text) {
  if (!edit) return;
  QSignalBlocker block(edit);
  edit->setText(ToQString(text));
}

void ButtonClick(QAbstractButton* button) {
  if (button && button->isEnabled() && !button->isHidden()) button->click();
}

void CheckBoxSetChecked(QCheckBox* box, bool checked) {
  if (!box) return;
  QSignalBlocker block(box);
  box->setChecked(checked);
}

int ComboBoxAddToMRU(QComboBox* box) {
  if (!box) return -1;
  QSignalBlocker block(box);
  QString text = box->currentText();
  int old = box->findText(text, Qt::MatchFixedString);
  if (old >= 0) box->removeItem(old);
  box->insertItem(0, text);
  box->setCurrentIndex(0);
  if (box->isEditable()) box->setEditText(text);
  return old;
}
