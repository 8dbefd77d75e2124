// The Qt implementations of the platform services: message boxes, the folder chooser, the
// input box, the browser opener, the clipboard, the printer, the beep, the busy cursor and
// the screen size; the adapter that lets the position functions work on a Qt window; and
// the few helpers that the wait indicator and the dialogs share with the main window.
#pragma once
#include <cstdint>
#include <string>

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include "POP/PopForms.h"
#include "platform/Services.h"
#include "platform/Types.h"

class QFont;
class QImage;
class QPrinter;
class QStatusBar;
class QWidget;
class TBitmap;
class TFont;

// Installs the Qt message boxes, dialogs, clipboard, printer and the rest as the process's
// services (TServices and the printer's drawing session). Call once, after the QApplication
// exists.
void InstallQtServices();

// Message-box flags and results beyond those of Services.h.
constexpr uint32_t MB_ABORTRETRYIGNORE = 0x2, MB_RETRYCANCEL = 0x5, MB_ICONHAND = 0x10, MB_DEFBUTTON2 = 0x100,
                   MB_DEFBUTTON3 = 0x200;
constexpr int IDABORT = 3, IDRETRY = 4, IDIGNORE = 5;

// The buttons, icon and default button of a message box with the given flags, and the id
// that a pressed button (or a box closed without one, `button` = NoButton) stands for.
QMessageBox::StandardButtons MessageBoxButtons(uint32_t flags);
QMessageBox::Icon MessageBoxIcon(uint32_t flags);
QMessageBox::StandardButton MessageBoxDefaultButton(uint32_t flags);
int MessageBoxResult(uint32_t flags, QMessageBox::StandardButton button);
// The text of a message as its box shows it: a file's path is wrapped only after a "/", never
// at a blank or a hyphen inside it, so that it can be read as one. A path is a line that begins
// with "/" or "~/", a quoted text that does, or a word that does. The characters are kept; the
// box copies the message as it was given.
QString MessageBoxDisplayText(const QString& text);

// A filter in the component library's form, "Text|*.a;*.b|Text|*.c", as Qt's name filters
// ("Text (*.a *.b)", ...). Empty pairs are dropped.
QStringList QtNameFilters(const std::string& filter);

QString ToQString(const std::string& s);
std::string FromQString(const QString& s);

// A bitmap of any pixel format as an opaque 32-bit image (the alpha bytes of our bitmaps
// are not transparency: drawing clears them).
QImage QImageOfBitmap(const TBitmap& bitmap);

// A font of ours as a Qt font and back (name, size in points, styles); Qt fonts carry no
// colour, so the way back takes it.
QFont QFontOfFont(const TFont& font);
TFont FontOfQFont(const QFont& font, TColor color);

// Gives a dialog about to open the stay-on-top flag while any stay-on-top window of the
// program is showing, so that it never opens behind one.
void KeepAboveOwnWindows(QWidget* dialog);

// The one printer of the run, shared by the printer set-up dialog and printing.
QPrinter& SharedPrinter();

// Windows paints a window that is shown at once; X11 maps it later, and Qt paints nothing
// into a window before it is exposed. Long work on the user-interface thread that shows a
// window first (the wait indicator, the splash) calls this: it handles events other than
// user input until the window is exposed, for at most timeoutMs. True when it is exposed.
bool WaitUntilExposed(QWidget* window, int timeoutMs = 300);

// The application's main form: the one set here, or else the first top-level main window.
void SetApplicationMainForm(QWidget* form);
QWidget* ApplicationMainForm();
// The first status bar of the main form (in the order of its children), or nullptr.
QStatusBar* MainFormStatusBar();
// A status bar's single text (the component library's simple panel), as the wait indicator
// reads and writes it; setting it repaints the bar at once.
std::string StatusBarSimpleText(const QStatusBar* bar);
void StatusBarSetSimpleText(QStatusBar* bar, const std::string& text);

// The position functions of PopForms on a Qt window: the name is the objectName, the
// bounds are the frame position and the client size, as they round-trip through Settings.ini.
// A state saved as minimised restores as normal, and bounds that lie off every screen are
// moved onto the primary screen, so a restored window is always visible and usable.
class TQtFormGeometry : public TFormGeometry {
 public:
  explicit TQtFormGeometry(QWidget* form) : FForm(form) {}
  std::string Name() const override;
  int Left() const override;
  int Top() const override;
  int Width() const override;
  int Height() const override;
  void SetBounds(int left, int top, int width, int height) override;
  TWindowState WindowState() const override;
  void SetWindowState(TWindowState state) override;
  void SetPosition(TPosition position) override;
  void SetCaption(const std::string& caption) override;

 private:
  QWidget* FForm;
};
