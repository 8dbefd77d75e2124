// Dialogs of one size, as the window manager sees them. A window manager decides what a
// window's frame offers from the hints the window gives it: a window whose minimum size is
// its maximum size cannot be resized and therefore not maximised, whatever buttons its own
// flags ask for (openbox still draws the maximise button of such a dialog where the
// minimise button stands between it and the title, but as a disabled one that does nothing).
// And a frame shows the title only as far as the window is wide: a narrow box shows
// "Varnh... mora". Every dialog of fixed size goes through MakeFixedSizeDialog.
#pragma once

#include <QSize>
#include <QString>

class QWidget;

// The width a window needs for a window manager to show its title whole: the title in the
// title bar's font (the desktop's, bold, as window managers draw titles) beside the frame's
// icon and its minimise, maximise and close buttons. At most the width of the screen's free
// area.
int TitleBarWidth(const QString& title);

// Makes `dialog` a dialog of one size: its minimum size is its maximum size, and its flags ask
// for no maximise or minimise button. `size` is that size; without one its layout decides
// (its natural size, kept to as the controls change). Either way it is at least as wide as its
// title needs (TitleBarWidth), also after the title changes. Call it once, after its controls
// are made and before it first shows; a message box keeps the size its own rules give it, but
// never narrower than its title.
void MakeFixedSizeDialog(QWidget* dialog, QSize size = QSize());

// Whether the dialog went through MakeFixedSizeDialog.
bool IsFixedSizeDialog(const QWidget* dialog);
