// The download dialog: an address with a chooser of its scheme.
#pragma once
#include <string>

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TPaintBox;

class TFormEditURL : public QDialog {
  Q_OBJECT
 public:
  explicit TFormEditURL(QWidget* parent = nullptr);
  ~TFormEditURL() override;

  // Shows the stored URL; on OK stores the edit's text (without surrounding blanks) and
  // returns true. OK is taken only for an address that can be fetched; otherwise a box says
  // why and the dialog stays open. Cancel keeps the stored URL.
  virtual bool Execute();

  void ComboBoxTypeChange();
  void PaintBoxPaint();

  std::string URL;

  QLabel* Label1;
  QComboBox* ComboBoxType;
  QLabel* Label2;
  QLineEdit* EditURL;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
  TPaintBox* PaintBox;

 public slots:
  void accept() override;
};

extern TFormEditURL* FormEditURL;

// The edit's text after choosing the scheme chooser's item `index`: the old scheme taken
// off (up to the first "://", else the ":" of the first ":/", else the first ":") and the
// item's prefix put in front ("file://", "ftp://", "http://", "https://" for items 1 to 4);
// item 0, "(other)", puts nothing.
std::string UrlChangeScheme(const std::string& text, int index);
// Why the address cannot be fetched, or empty when it can: ftp, http and https addresses
// with a host, and file addresses of this machine.
std::string UrlDownloadProblem(const std::string& url);
