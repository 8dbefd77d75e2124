// The image-map dialog: the selected objects of the page as one image and an HTML file with a
// client-side image map, one rectangular area per selected object with a link. The user edits
// the links, sees the HTML, saves the HTML file with the image beside it, or previews both in
// the browser.
//
// The caller (the main window's preview command) sets Scene, Image (the page bitmap cut to
// the selection's bounds, owned by the caller) and CropRect (those bounds), then either calls
// ButtonPreviewClick() without showing the dialog, or runs exec() and redraws the page when it
// returns QDialog::Accepted. Links edited here take effect on the objects at once.
#pragma once
#include <functional>
#include <string>

#include <QDialog>

#include "POP/gui/PopDialogs.h"
#include "platform/Types.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabWidget;
class QTextEdit;
class TPaintBox;
class TZLMButton;
class XImage;
class ZButtonList;

class TFormImageMap : public QDialog {
  Q_OBJECT
 public:
  static constexpr int RowCount = 7;

  explicit TFormImageMap(QWidget* parent = nullptr);
  ~TFormImageMap() override;

  // The HTML file written by Save: "preview.htm" in the program folder until the user saves
  // under another name.
  std::string FileName;
  // What the last save or preview wrote, in words for the main window's status bar; the
  // caller clears it to learn of the next.
  std::string Told;
  XImage* Image = nullptr;
  TRect CropRect;
  ZButtonList* Scene = nullptr;
  // The object shown in each link row, or nullptr.
  TZLMButton* LinkRows[RowCount] = {};
  // Called before the first link that a row changes while the dialog is shown, so that the
  // caller can take its undo snapshot and count the change.
  std::function<void()> OnLinksChanging;

  // Writes the image-map HTML into RichEdit.
  void BuildImageMapHTML();
  void ButtonSaveClick();
  // Writes the HTML and the image of the current selection to the preview files and opens the
  // HTML file in the browser. Files the user saved are never written by a preview.
  void ButtonPreviewClick();
  // The preview's HTML file: "preview.htm" in the program folder; its picture lies beside it.
  static std::string PreviewFileName();
  void TabSheet1Show();
  void TabSheet1Hide();
  void Edit1Change();
  void Edit2Change();
  void Edit3Change();
  void Edit4Change();
  void Edit5Change();
  void Edit6Change();
  void Edit7Change();
  void RichEditChange();
  void RadioButtonJPGClick();
  void RadioButtonPNGClick();
  void FormShow();
  void PaintBox1Paint();

  // The image file beside an HTML file (FileName when none is given): its name with ".png" or
  // ".jpg" by RadioButtonPNG.
  std::string ImageFileName() const;
  std::string ImageFileName(const std::string& html) const;
  // The HTML file written for a name chosen in the save dialog: the name itself when it ends
  // in ".htm" or ".html" (in any letter case), else the name with ".htm" in place of its
  // extension, so that the picture beside it can never be the same file.
  static std::string HtmlFileName(const std::string& chosen);

  QTabWidget* PageControl;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QLabel* StaticText[RowCount];
  QLineEdit* Edit[RowCount];
  QScrollBar* ScrollBar1;
  QTextEdit* RichEdit;
  QRadioButton* RadioButtonJPG;
  QRadioButton* RadioButtonPNG;
  QPushButton* ButtonSave;
  QPushButton* ButtonPreview;
  QPushButton* ButtonDone;
  TPaintBox* PaintBox1;
  TSaveDialog SaveDialog;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void EditChange(int row);
  bool FLinksAnnounced = false;
  // Steps 4 and 5 of a save: the markup's lines into the HTML file, and the image beside it.
  void WriteFiles(const std::string& html, const std::string& markup);
};

extern TFormImageMap* FormImageMap;

// The image-map text for a scene: the areas of its selected, linked objects front to back,
// coordinates relative to the crop's top-left, and the image reference. Quotes in links and
// URL characters in the image's file name are escaped so that they cannot break the markup.
std::string ImageMapHTML(const ZButtonList& scene, const TRect& crop, const std::string& imageFileName);
