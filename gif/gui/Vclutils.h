// The graphics helpers that work on windows: centring, merging and bringing forms to front,
// finding and activating the program's running copy, drawing on the screen, and the image
// of what a control covers.
#pragma once
#include <string>

#include <QEvent>

#include "platform/Canvas.h"
#include "platform/Types.h"

class QObject;
class QWidget;

// Show commands of ShowWinNoAnimate, with their classic values.
constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3,
              SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7, SW_SHOWNA = 8,
              SW_RESTORE = 9;

// Centres a window on the free area of its screen (the task bars left out), kept wholly on
// it where it fits and with its top-left corner on it where it does not.
void CenterWindow(QWidget* window);
// Centres a control in its parent.
void CenterControl(QWidget* control);
// Embeds a form in a control: the form loses its frame and fills the control.
void MergeForm(QWidget* control, QWidget* form, bool show);
// The class name of a window's form ("TFormMain"); "" for none.
std::string WindowClassName(const QWidget* window);
// Shows, hides, minimises, maximises or restores a window by a show command; the commands
// that do not activate leave the active window as it is. (Whether the desktop animates it
// is the desktop's choice.)
void ShowWinNoAnimate(QWidget* window, int cmdShow);
// Brings a window to the front and activates it; a minimised one is restored when asked.
void SwitchToWindow(QWidget* window, bool restore);
// Brings a window to the front and activates it, restoring it when minimised.
void ActivateWindow(QWidget* window);
// Whether one of the program's windows is the active window of the desktop.
bool IsForegroundTask();
// Takes one pending event of the type out of the receiver's queue; the others stay pending
// in their order. False when there was none.
bool KillMessage(QObject* receiver, QEvent::Type type);

// The running copy of the program answers on a local socket named after the application
// title and its process; only the same user can reach it. ListenForActivation makes this
// copy answer: an "activate" request brings its main form to the front. False when it
// cannot listen. ActivatePrevInstance finds another running copy (FindPrevInstance) and
// asks it to come to the front; false when none runs or it does not answer.
std::string ActivationServerName(const std::string& title, int pid);
bool ListenForActivation(const std::string& title);
bool ActivatePrevInstance(const std::string& title);

// A canvas on the whole screen (all monitors; (0, 0) is the desktop's top-left corner).
// It starts with what the screen shows, and what is drawn on it appears over every window
// of the desktop, without taking input, once the canvas goes or Update is called. Pixels
// drawn back to what the screen showed disappear again, so an inversion drawn twice leaves
// nothing; ClearScreenDrawing removes the rest. Where the desktop lets no program read the
// screen, the canvas starts black.
class TScreenCanvas : public TCanvas {
 public:
  TScreenCanvas();
  ~TScreenCanvas();
  TScreenCanvas(const TScreenCanvas&) = delete;
  TScreenCanvas& operator=(const TScreenCanvas&) = delete;
  void Update();
  // The desktop's top-left corner in Qt's screen coordinates.
  static TPoint Origin();
};
void ClearScreenDrawing();

// A focus frame (every other pixel inverted) of `width` rings inside a rectangle of the
// screen; drawn again, it is gone.
void DrawInvertFrame(const TRect& screenRect, int width);
// The rectangle between two corners of the screen inverted; drawn again, it is gone.
void PaintInverseRect(const TPoint& rectOrg, const TPoint& rectEnd);

// Paints into the canvas, at (0, 0), what the control's parent and the controls beneath
// the control show where the control lies: the background a see-through control shows.
void CopyParentImage(QWidget* control, TCanvas& dest);
