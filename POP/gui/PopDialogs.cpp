#include "PopDialogs.h"

bool TOpenDialog::Execute() { return false; }
bool TFontDialog::Execute() { return false; }
bool TPrinterSetupDialog::Execute() { return false; }
bool TColorDialog::Execute() { return false; }

TOpenDialog* OpenDialog() {
  static TOpenDialog d;
  return &d;
}
TSaveDialog* SaveDialog() {
  static TSaveDialog d;
  return &d;
}
TOpenPictureDialog* OpenPictureDialog() {
  static TOpenPictureDialog d;
  return &d;
}
TSavePictureDialog* SavePictureDialog() {
  static TSavePictureDialog d;
  return &d;
}
TFontDialog* FontDialog() {
  static TFontDialog d;
  return &d;
}
TPrinterSetupDialog* PrinterSetupDialog() {
  static TPrinterSetupDialog d;
  return &d;
}
TColorDialog* ColorDialog() {
  static TColorDialog d;
  return &d;
}
void ColorDialogLoadCustomColors(TColorDialog&, const std::string&) {}
std::vector<TColor> ParseCustomColors(const std::vector<std::string>&) {
  return std::vector<TColor>(16, clWhite);
}
void ConfigureFileDialog(QFileDialog&, const TOpenDialog&) {}
void SetDialogHook(TDialogHook) {}
std::string OpenFilePathDialog(const std::string&, const std::string&) { return {}; }
bool ColorDialogExecute(QLineEdit*) { return false; }
bool ColorDialogExecute(QWidget*) { return false; }
