#include "POP/gui/PopDialogs.h"

#include <cctype>

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QWidget>

#include "POP/PopForms.h"
#include "POP/PopHTML.h"
#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtServices.h"

namespace {

TDialogHook& Hook() {
  static TDialogHook hook;
  return hook;
}

QWidget* DialogParent() {
  QWidget* w = QApplication::activeModalWidget();
  if (!w) w = QApplication::activeWindow();
  if (!w) w = ApplicationMainForm();
  return w;
}

QColor QColorOf(TColor c) {
  c = ColorToRGB(c);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}
TColor TColorOf(const QColor& c) { return RGB(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())); }

const char* const kDefaultCustomColors[16] = {"000000", "808080", "000080", "008000", "008080", "800000",
                                              "800080", "808000", "FFFFFF", "C0C0C0", "0000FF", "00FF00",
                                              "00FFFF", "FF0000", "FF00FF", "FFFF00"};

}  // namespace

// ---- file dialogs ----------------------------------------------------------------------

void ConfigureFileDialog(QFileDialog& qt, const TOpenDialog& dialog) {
  if (!dialog.Title.empty()) qt.setWindowTitle(ToQString(dialog.Title));
  bool save = dialog.IsSaveDialog();
  qt.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (save) qt.setFileMode(QFileDialog::AnyFile);
  else if (dialog.Options & ofAllowMultiSelect) qt.setFileMode(QFileDialog::ExistingFiles);
  else if (dialog.Options & ofFileMustExist) qt.setFileMode(QFileDialog::ExistingFile);
  else qt.setFileMode(QFileDialog::AnyFile);
  QFileDialog::Options options = qt.options();
  options.setFlag(QFileDialog::DontConfirmOverwrite, !(dialog.Options & ofOverwritePrompt));
  options.setFlag(QFileDialog::DontResolveSymlinks, dialog.Options & ofNoDereferenceLinks);
  qt.setOptions(options);
  qt.setSizeGripEnabled(dialog.Options & ofEnableSizing);
  QStringList filters = QtNameFilters(dialog.Filter);
  qt.setNameFilters(filters);
  if (dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size())
    qt.selectNameFilter(filters[dialog.FilterIndex - 1]);
  qt.setDefaultSuffix(ToQString(dialog.DefaultExt));
  if (!dialog.InitialDir.empty()) qt.setDirectory(ToQString(dialog.InitialDir));
  if (!dialog.FileName.empty()) qt.selectFile(ToQString(dialog.FileName));
}

namespace {

// Qt's own file dialog reads double quotes in the name box as a list of names ("a" "b"), so a
// name typed or chosen with a quote in it would be saved or opened as another file without a
// word. Where one file is chosen, the name in the box is taken as it stands: on this system a
// quote is a letter of a name. A list is still read where several files may be chosen.
class TFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;
  // The name as typed, made absolute, when the box held a quote; empty otherwise.
  QString Literal;

  QStringList Chosen() const { return Literal.isEmpty() ? selectedFiles() : QStringList{Literal}; }

  void accept() override {
    Literal.clear();
    auto* edit = findChild<QLineEdit*>("fileNameEdit");
    if (!edit || fileMode() == ExistingFiles || fileMode() == Directory || !edit->text().contains('"')) {
      QFileDialog::accept();
      return;
    }
    QString name = edit->text();
    if (name.startsWith("~/")) name = QDir::homePath() + name.mid(1);
    else if (!name.startsWith('/')) name = directory().absolutePath() + '/' + name;
    QFileInfo info(name);
    if (info.isDir()) {
      setDirectory(info.absoluteFilePath());
      edit->clear();
      return;
    }
    const std::string title = FromQString(windowTitle());
    if (acceptMode() == AcceptSave) {
      // The default extension goes on a name without one, as the dialog does it.
      if (!defaultSuffix().isEmpty() && !info.fileName().contains('.')) info.setFile(name += '.' + defaultSuffix());
      if (info.exists() && !testOption(DontConfirmOverwrite) &&
          Services().MessageBox(FromQString(name) + " already exists.\nDo you want to replace it?", title,
                                MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return;
    } else if (fileMode() == ExistingFile && !info.exists()) {
      Services().MessageBox(FromQString(name) + "\nFile not found.\nPlease verify the correct file name was given.",
                            title, MB_OK | MB_ICONEXCLAMATION);
      return;
    }
    Literal = name;
    QDialog::accept();
  }
};

}  // namespace

bool TOpenDialog::Execute() {
  if (Hook()) return Hook()(*this);
  TFileDialog qt(DialogParent());
  ConfigureFileDialog(qt, *this);
  for (;;) {
    if (qt.exec() != QDialog::Accepted || qt.Chosen().isEmpty()) return false;
    QString first = qt.Chosen().first();
    QFileInfo info(first);
    // A save over a read-only file would fail later, after the user's work is done.
    if (IsSaveDialog() && (Options & ofNoReadOnlyReturn) && info.exists() && !info.isWritable()) {
      Services().MessageBox(
          FromQString(first) + "\nThis file is set to read-only.\nTry again with a different file name.",
          FromQString(qt.windowTitle()), MB_OK | MB_ICONEXCLAMATION);
      continue;
    }
    Files.clear();
    for (const QString& f : qt.Chosen()) Files.push_back(FromQString(f));
    FileName = Files.front();
    int index = QtNameFilters(Filter).indexOf(qt.selectedNameFilter());
    if (index >= 0) FilterIndex = index + 1;
    std::string ext = FromQString(info.suffix());
    if (!DefaultExt.empty() && !SameText(ext, DefaultExt)) Options |= ofExtensionDifferent;
    else Options &= ~TOpenOptions(ofExtensionDifferent);
    return true;
  }
}

// ---- font, printer and colour ----------------------------------------------------------

bool TFontDialog::Execute() {
  if (Hook()) return Hook()(*this);
  QFontDialog qt(QFontOfFont(Font), DialogParent());
  // What the dialog shows at first: a face that is not installed shows as the nearest one,
  // and a style that face lacks as one it has. What the user leaves as shown stays as it was
  // in the font, so OK with nothing changed changes nothing.
  const QFont shown = qt.currentFont();
  if (qt.exec() != QDialog::Accepted) return false;
  const QFont picked = qt.selectedFont();
  TFont chosen = Font;
  if (picked.family() != shown.family()) chosen.Name = FromQString(picked.family());
  if (picked.pointSize() > 0 && picked.pointSize() != shown.pointSize()) chosen.SetSize(picked.pointSize());
  auto keep = [&](bool now, bool then, uint8_t bit) {
    if (now != then) chosen.Style = now ? TFontStyles(chosen.Style | bit) : TFontStyles(chosen.Style & ~bit);
  };
  keep(picked.bold(), shown.bold(), fsBold);
  keep(picked.italic(), shown.italic(), fsItalic);
  keep(picked.underline(), shown.underline(), fsUnderline);
  keep(picked.strikeOut(), shown.strikeOut(), fsStrikeOut);
  Font = chosen;
  return true;
}

// The page of the shared printer (paper, orientation, margins), which printing then uses.
bool TPrinterSetupDialog::Execute() {
  if (Hook()) return Hook()(*this);
  QPageSetupDialog qt(&SharedPrinter(), DialogParent());
  qt.setWindowTitle("Page Setup");
  return qt.exec() == QDialog::Accepted;
}

std::vector<TColor> ParseCustomColors(const std::vector<std::string>& lines) {
  std::vector<TColor> colors(16, clWhite);
  std::vector<bool> named(16, false);
  for (const std::string& line : lines) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string name = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    if (name.size() != 6 || !SameText(name.substr(0, 5), "Color")) continue;
    int slot = std::toupper(static_cast<unsigned char>(name[5])) - 'A';
    if (slot < 0 || slot >= 16 || named[size_t(slot)]) continue;
    if (value.empty() || value.size() > 6) continue;
    bool hex = true;
    for (char ch : value) hex = hex && std::isxdigit(static_cast<unsigned char>(ch));
    if (!hex) continue;
    colors[size_t(slot)] = TColor(std::stoul(value, nullptr, 16));
    named[size_t(slot)] = true;
  }
  return colors;
}

std::vector<std::string> CustomColorLines(const std::vector<TColor>& colors) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < colors.size() && i < 16; ++i)
    lines.push_back(Format("Color%c=%.6X", char('A' + i), unsigned(colors[i]) & 0xFFFFFF));
  return lines;
}

void ColorDialogLoadCustomColors(TColorDialog& dialog, const std::string& fileName) {
  try {
    TMemoryStream s;
    s.LoadFromFile(fileName);
    std::string text = s.DataAsString(), line;
    std::vector<std::string> lines;
    for (size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (c == '\r' || c == '\n') {
        lines.push_back(line);
        line.clear();
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        line += c;
      }
    }
    if (!line.empty()) lines.push_back(line);
    dialog.CustomColors = lines;
  } catch (const std::exception&) {
    dialog.CustomColors.clear();
    for (int i = 0; i < 16; ++i)
      dialog.CustomColors.push_back(Format("Color%c=%s", char('A' + i), kDefaultCustomColors[i]));
  }
}

void ApplyCustomColors(const std::vector<TColor>& colors) {
  for (int i = 0; i < QColorDialog::customCount() && i < int(colors.size()); ++i)
    QColorDialog::setCustomColor(i, QColorOf(colors[size_t(i)]));
}

std::vector<TColor> CurrentCustomColors() {
  std::vector<TColor> colors;
  for (int i = 0; i < 16; ++i)
    colors.push_back(i < QColorDialog::customCount() ? TColorOf(QColorDialog::customColor(i)) : clWhite);
  return colors;
}

// The custom colours go to the dialog and come back from it, as the user may change them;
// the file itself is never written.
bool TColorDialog::Execute() {
  if (Hook()) return Hook()(*this);
  ApplyCustomColors(ParseCustomColors(CustomColors));
  QColorDialog qt(QColorOf(Color), DialogParent());
  bool ok = qt.exec() == QDialog::Accepted;
  CustomColors = CustomColorLines(CurrentCustomColors());
  if (!ok) return false;
  Color = TColorOf(qt.selectedColor());
  return true;
}

// ---- the shared instances --------------------------------------------------------------

TOpenDialog* OpenDialog() {
  static TOpenDialog d = [] {
    TOpenDialog p;
    p.Options = (p.Options & ~TOpenOptions(ofEnableSizing)) | ofFileMustExist | ofPathMustExist;
    return p;
  }();
  return &d;
}

TSaveDialog* SaveDialog() {
  static TSaveDialog d = [] {
    TSaveDialog p;
    p.Options = (p.Options & ~TOpenOptions(ofEnableSizing)) | ofOverwritePrompt | ofNoReadOnlyReturn |
                ofPathMustExist;
    return p;
  }();
  return &d;
}

TOpenPictureDialog* OpenPictureDialog() {
  static TOpenPictureDialog d = [] {
    TOpenPictureDialog p;
    p.Filter = GraphicFilter() + "|" + "All Files (*.*)|*.*";
    p.Options &= ~TOpenOptions(ofEnableSizing);
    return p;
  }();
  return &d;
}

TSavePictureDialog* SavePictureDialog() {
  static TSavePictureDialog d = [] {
    TSavePictureDialog p;
    p.Filter = GraphicFilter(true);
    p.DefaultExt = "bmp";
    p.Options = (p.Options & ~TOpenOptions(ofEnableSizing)) | ofOverwritePrompt | ofNoReadOnlyReturn;
    return p;
  }();
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
  static TColorDialog d = [] {
    TColorDialog p;
    p.Options = cdFullOpen;
    ColorDialogLoadCustomColors(p, LocalFile("CustomColors.txt"));
    return p;
  }();
  return &d;
}

void SetDialogHook(TDialogHook hook) { Hook() = std::move(hook); }

// ---- the rest of the unit --------------------------------------------------------------

std::string OpenFilePathDialog(const std::string& path, const std::string& title) {
  QString start = path.empty() ? QDir::currentPath() : ToQString(path);
  QString chosen = QFileDialog::getExistingDirectory(DialogParent(), ToQString(title), start);
  if (chosen.isEmpty()) return {};
  std::string folder = IncludeTrailingPathDelimiter(FromQString(chosen));
  SetCurrentDir(folder);
  return folder;
}

bool ColorDialogExecute(QLineEdit* edit) {
  if (!edit) return false;
  TColorDialog* d = ColorDialog();
  d->Color = HTMLDecodeColor(FromQString(edit->text().toUpper()));
  if (!d->Execute()) return false;
  edit->setText(ToQString(HTMLEncodeColor(d->Color)));
  return true;
}

bool ColorDialogExecute(QWidget* panel) {
  if (!panel) return false;
  TColorDialog* d = ColorDialog();
  d->Color = TColorOf(panel->palette().color(panel->backgroundRole()));
  if (!d->Execute()) return false;
  QPalette p = panel->palette();
  p.setColor(panel->backgroundRole(), QColorOf(d->Color));
  panel->setPalette(p);
  panel->setAutoFillBackground(true);
  return true;
}
