// An up-down control tied to an edit, and the exit event of a control, with the component
// library's semantics that the dialogs rely on and Qt's spin box does not keep:
// - the edit stays free text (a value outside the range, or no number at all, stays in it
//   until the dialog's own exit handler corrects it);
// - the position is read from the edit when it holds a whole number inside the range, and
//   is the last position otherwise; setting it clamps it into the range and writes the edit;
// - the arrows (and the Up and Down keys in the edit) step by the increment and stop at the
//   ends unless Wrap is set.
#pragma once
#include <functional>

#include <QWidget>

class QLineEdit;
class QToolButton;

class TUpDown : public QWidget {
  Q_OBJECT
 public:
  explicit TUpDown(QWidget* parent = nullptr);

  // Places the up-down at the right edge of the edit, as the platform's control attaches
  // itself, and writes the position into it.
  void SetAssociate(QLineEdit* edit);
  QLineEdit* Associate() const { return FAssociate; }

  int Min() const { return FMin; }
  int Max() const { return FMax; }
  void SetRange(int minimum, int maximum);
  int Position();
  void SetPosition(int position);
  bool Wrap = false;
  int Increment = 1;

  // One click of an arrow: +1 up, -1 down.
  void Step(int direction);

  QToolButton* ButtonUp;
  QToolButton* ButtonDown;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void WriteAssociate();
  QLineEdit* FAssociate = nullptr;
  int FMin = 0, FMax = 100, FPosition = 0;
};

// Calls `handler` when the focus leaves the control for another control of the program:
// the component library's OnExit. Qt also reports a focus-out when the whole window is
// deactivated or a menu pops up, and when the focus is cleared or the control destroyed;
// those are not exits and are ignored.
void ControlOnExit(QWidget* control, std::function<void()> handler);
