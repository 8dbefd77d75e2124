// Helpers for the standard controls: edits, combo boxes, labels, buttons and check boxes.
// Programmatic changes made here do not fire the controls' change signals, as the
// component library's property writes do not fire its change events.
#pragma once
#include <string>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;

// Enabled: the window colour; disabled: the parent's colour.
void EditSetEnabled(QLineEdit* edit, bool enabled);
void ComboBoxSetEnabled(QComboBox* box, bool enabled);
// Fills a font box with the screen's font names, sorted, "Times New Roman" selected when it
// is installed (else no selection), and a size box with the usual point sizes, "11"
// selected, at most 3 characters typed. Either may be nullptr.
void ComboBoxFontList(QComboBox* fontBox, QComboBox* sizeBox);
// Makes a caption look like a link: blue, bold and underlined, the hand cursor and the
// hint "[caption]".
void LabelHyperLink(QWidget* control);
void EditSetText(QLineEdit* edit, const std::string& text);
// Clicks the button when it is enabled and visible.
void ButtonClick(QAbstractButton* button);
void CheckBoxSetChecked(QCheckBox* box, bool checked);
// Moves or inserts the box's text at the top of its list; the text's old index, or -1.
int ComboBoxAddToMRU(QComboBox* box);

// The caption of a label, button, edit, combo box or window.
std::string ControlCaption(const QWidget* control);
