// The shared common dialogs: one of each kind for the whole run, made on the first request
// and set up once; what a caller sets stays for the next caller.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Types.h"

class QColorDialog;
class QFileDialog;
class QLineEdit;
class QWidget;

// The file dialogs' options, as bits.
enum TOpenOption : uint32_t {
  ofReadOnly = 1u << 0,
  ofOverwritePrompt = 1u << 1,
  ofHideReadOnly = 1u << 2,
  ofNoChangeDir = 1u << 3,
  ofShowHelp = 1u << 4,
  ofNoValidate = 1u << 5,
  ofAllowMultiSelect = 1u << 6,
  ofExtensionDifferent = 1u << 7,
  ofPathMustExist = 1u << 8,
  ofFileMustExist = 1u << 9,
  ofCreatePrompt = 1u << 10,
  ofShareAware = 1u << 11,
  ofNoReadOnlyReturn = 1u << 12,
  ofNoTestFileCreate = 1u << 13,
  ofNoNetworkButton = 1u << 14,
  ofNoLongNames = 1u << 15,
  ofOldStyleDialog = 1u << 16,
  ofNoDereferenceLinks = 1u << 17,
  ofEnableIncludeNotify = 1u << 18,
  ofEnableSizing = 1u << 19,
  ofDontAddToRecent = 1u << 20,
  ofForceShowHidden = 1u << 21
};
using TOpenOptions = uint32_t;

enum TColorDialogOption : uint32_t {
  cdFullOpen = 1u << 0,
  cdPreventFullOpen = 1u << 1,
  cdShowHelp = 1u << 2,
  cdSolidColor = 1u << 3,
  cdAnyColor = 1u << 4
};
using TColorDialogOptions = uint32_t;

class TCommonDialog {
 public:
  virtual ~TCommonDialog() = default;
  // Shows the dialog modally; true on OK.
  virtual bool Execute() = 0;
  virtual const char* ClassName() const = 0;
};

class TOpenDialog : public TCommonDialog {
 public:
  std::string Filter;   // "Text|*.a;*.b|Text|*.c"
  int FilterIndex = 1;  // 1-based
  std::string FileName;
  std::vector<std::string> Files;
  std::string InitialDir, Title, DefaultExt;
  TOpenOptions Options = ofHideReadOnly | ofEnableSizing;
  bool Execute() override;
  const char* ClassName() const override { return "TOpenDialog"; }
  virtual bool IsSaveDialog() const { return false; }
};
class TSaveDialog : public TOpenDialog {
 public:
  const char* ClassName() const override { return "TSaveDialog"; }
  bool IsSaveDialog() const override { return true; }
};
class TOpenPictureDialog : public TOpenDialog {
 public:
  const char* ClassName() const override { return "TOpenPictureDialog"; }
};
class TSavePictureDialog : public TSaveDialog {
 public:
  const char* ClassName() const override { return "TSavePictureDialog"; }
};

class TFontDialog : public TCommonDialog {
 public:
  TFont Font;
  bool Execute() override;
  const char* ClassName() const override { return "TFontDialog"; }
};

class TPrinterSetupDialog : public TCommonDialog {
 public:
  bool Execute() override;
  const char* ClassName() const override { return "TPrinterSetupDialog"; }
};

class TColorDialog : public TCommonDialog {
 public:
  TColor Color = clBlack;
  // "ColorA=FFFFFF" .. "ColorP=...", values blue in the high byte.
  std::vector<std::string> CustomColors;
  TColorDialogOptions Options = 0;
  bool Execute() override;
  const char* ClassName() const override { return "TColorDialog"; }
};

// The shared instances.
TOpenDialog* OpenDialog();
TSaveDialog* SaveDialog();
TOpenPictureDialog* OpenPictureDialog();
TSavePictureDialog* SavePictureDialog();
TFontDialog* FontDialog();
TPrinterSetupDialog* PrinterSetupDialog();
TColorDialog* ColorDialog();

// Loads the custom colours from a file, or the sixteen defaults when it cannot be read.
void ColorDialogLoadCustomColors(TColorDialog& dialog, const std::string& fileName);
// The custom colours of a list as the sixteen slots A..P; slots that no well-formed line
// names stay clWhite, and malformed lines are passed over.
std::vector<TColor> ParseCustomColors(const std::vector<std::string>& lines);

// The custom colours as the sixteen lines "ColorA=BBGGRR" .. "ColorP=..." (upper-case hex).
std::vector<std::string> CustomColorLines(const std::vector<TColor>& colors);
// The colour dialogs' custom colours of the run (Qt keeps one set for all colour dialogs).
void ApplyCustomColors(const std::vector<TColor>& colors);
std::vector<TColor> CurrentCustomColors();

// Copies a file dialog's set-up into a Qt file dialog.
void ConfigureFileDialog(QFileDialog& qt, const TOpenDialog& dialog);

// When set, Execute of every shared dialog asks the hook instead of showing a window (tests
// answer the dialogs this way); nullptr restores the windows.
using TDialogHook = std::function<bool(TCommonDialog&)>;
void SetDialogHook(TDialogHook hook);

// A folder chooser starting in Path (or the current folder); the chosen folder with a
// trailing separator, made current; empty when cancelled.
std::string OpenFilePathDialog(const std::string& path, const std::string& title);
// The colour dialog for an edit holding an HTML colour, or for a widget's background.
bool ColorDialogExecute(QLineEdit* edit);
bool ColorDialogExecute(QWidget* panel);
