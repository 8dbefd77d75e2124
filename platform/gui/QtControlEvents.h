// Change and click events of controls with the component library's meaning, which the
// main window's style handlers rely on: a handler runs for what the user does to a
// control and never for what the program writes into it. The main window writes the
// style controls from the focused object; those writes must not come back as edits.
//
// Qt's obvious signals do not keep that difference: currentIndexChanged, toggled and
// textChanged fire for setCurrentIndex, setChecked and setText too. The connections made
// here use the signals that report only the user's action (activated, textEdited,
// clicked, triggered), so a program's write reaches no handler and needs no blocking.
#pragma once
#include <functional>

class QAbstractButton;
class QAction;
class QComboBox;
class QLineEdit;
class QWidget;

// A choice from the list, and (for an editable box) every edit typed into its text.
void OnUserChange(QComboBox* box, std::function<void()> handler);
// Every edit typed into the text (the program's setText is not one).
void OnUserChange(QLineEdit* edit, std::function<void()> handler);
// A click by the user (or a call of click()); setChecked is not one.
void OnUserClick(QAbstractButton* button, std::function<void()> handler);
void OnUserClick(QAction* action, std::function<void()> handler);
// A click on a control that has no click signal of its own (a panel): the left button
// pressed and released inside it. The handler can be switched off and on again, as
// setting a control's OnClick to nothing and back does; it starts switched on.
void OnUserClick(QWidget* control, std::function<void()> handler);
void SetClickEnabled(QWidget* control, bool enabled);
bool ClickEnabled(const QWidget* control);
