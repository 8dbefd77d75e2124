// The image acquisition dialog: a picture from a scanner, a folder of pictures, a download
// or the clip-art gallery, shown before it is taken. Its result is the picture's file name.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include <QDialog>
#include <QImage>

#include "platform/gui/QtComboBox.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;
class QLabel;
class QScrollArea;
class QTabWidget;
class TImgScan;
class TPaintBox;
class XImage;

class TFormImageAcquire : public QDialog {
  Q_OBJECT
 public:
  explicit TFormImageAcquire(QWidget* parent = nullptr);
  ~TFormImageAcquire() override;

  // Shows the dialog modally; afterwards the picture's pixels are released (its file name
  // stays). True when closed with OK: the result is then Picture().FileName. A caller may
  // assign a picture before, which also gives it the picture's file name.
  bool Execute();
  XImage& Picture() { return *FPicture; }
  // The scanner, or nullptr when the scanner library could not be started.
  TImgScan* Scanner() { return FScanner.get(); }

  void FormCreate();
  void ButtonScanClick();
  void ImgScanScanDone();
  void ButtonBrowseClick();
  void ButtonDownloadClick();
  void ButtonClearClick();
  void TabSheet1Show();
  void PaintBoxPaint();
  void PaintBox1Paint();
  void ComboBoxGalleryDropDown();
  void ComboBoxGalleryChange();
  void ListViewSelectItem(QListWidgetItem* item, bool selected);

  // The file name an item of the gallery list stands for.
  static std::string ItemFileName(const QListWidgetItem* item);

  QTabWidget* PageControl;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QPushButton* ButtonScan;
  QPushButton* ButtonBrowse;
  QPushButton* ButtonDownload;
  QPushButton* ButtonClear;
  QScrollArea* ScrollBox;
  TPaintBox* PaintBox;
  QLabel* Label1;
  TDropDownComboBox* ComboBoxGallery;
  QListWidget* ListView;
  TPaintBox* PaintBox1;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // Loads a file into the picture; a file that cannot be read leaves the picture as it was
  // and gives the reason (empty on success).
  std::string LoadPicture(const std::string& file);
  // The picture changed: the paint box takes its size and is painted again.
  void PictureChanged();
  std::unique_ptr<XImage> FPicture;
  std::unique_ptr<TImgScan> FScanner;
  QImage FShown;
  bool FShownValid = false;
  // Counts the gallery listings, so that a listing overtaken by a newer one stops.
  int FGalleryListing = 0;
};

extern TFormImageAcquire* FormImageAcquire;

// Moves a scanned page out of the scan buffer to "Scans/Scan <n>.bmp" in the program folder,
// n the first number not taken; the new name, or empty when it could not be moved.
std::string KeepScan(const std::string& buffer);
