#include "app/forms/Unitediturl.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "POP/PopForms.h"
#include "POP/PopWinInet.h"
#include "POP/gui/PopStdCtrls.h"
#include "app/forms/Unitglobal.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtFixedDialog.h"
#include "platform/gui/QtServices.h"

TFormEditURL* FormEditURL = nullptr;

namespace {
// The chooser offers the schemes a picture can be fetched by: a file of this machine, and
// what the downloader fetches. Item 0, "(other)", leaves the address without a scheme.
struct TScheme {
  const char* Item;
  const char* Prefix;
};
const TScheme Schemes[] = {
    {"(other)", ""}, {"file:", "file://"}, {"ftp:", "ftp://"}, {"http:", "http://"}, {"https:", "https://"}};
constexpr size_t MaxUrlLength = 2048;
}  // namespace

std::string UrlChangeScheme(const std::string& text, int index) {
  std::string s = text;
  size_t p;
  if ((p = s.find("://")) != std::string::npos) s.erase(0, p + 3);
  else if ((p = s.find(":/")) != std::string::npos) s.erase(0, p + 1);
  else if ((p = s.find(':')) != std::string::npos) s.erase(0, p + 1);
  if (index > 0 && index < int(std::size(Schemes))) s.insert(0, Schemes[index].Prefix);
  return s;
}

std::string UrlDownloadProblem(const std::string& url) {
  if (url.empty()) return "Please enter the address of the file to download.";
  if (url.size() > MaxUrlLength) return "The address is too long.";
  for (unsigned char c : url)
    if (c <= ' ' || c == 0x7F) return "The address must not contain blanks or control characters.";
  TUrlParts u = UrlCrack(url);
  if (!u.ok || u.scheme.empty())
    return "\"" + url +
           "\" is not a complete address. Choose its type, for example http:, "
           "or type it in full.";
  if (SameText(u.scheme, "file")) {
    // A file of this machine: no host, or the machine itself.
    if (url.compare(u.scheme.size() + 1, 2, "//") != 0 || u.path.empty() ||
        !(u.host.empty() || SameText(u.host, "localhost")))
      return "A file address must name a file of this computer, such as "
             "file:///home/me/picture.png.";
    return {};
  }
  if (!SameText(u.scheme, "http") && !SameText(u.scheme, "https") && !SameText(u.scheme, "ftp"))
    return "Only file, ftp, http and https addresses can be downloaded.";
  if (u.host.empty()) return "The address \"" + url + "\" names no server.";
  return {};
}

TFormEditURL::TFormEditURL(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("FormEditURL");
  setWindowTitle("Download Remote File");
  MakeFixedSizeDialog(this, QSize(329, 111));

  Label1 = new QLabel("Type:", this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(8, 11, 36, 16);
  ComboBoxType = new QComboBox(this);
  ComboBoxType->setObjectName("ComboBoxType");
  ComboBoxType->setGeometry(48, 8, 110, 21);
  for (const TScheme& scheme : Schemes) ComboBoxType->addItem(scheme.Item);
  ComboBoxType->setCurrentIndex(0);
  ComboBoxType->setMaxVisibleItems(ComboBoxType->count());
  Label1->setBuddy(ComboBoxType);
  Label2 = new QLabel("URL:", this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(8, 41, 36, 16);
  EditURL = new QLineEdit(this);
  EditURL->setObjectName("EditURL");
  EditURL->setGeometry(48, 38, 273, 21);
  Label2->setBuddy(EditURL);
  ButtonOK = NewDialogButton(this, "ButtonOK", "OK", true);
  ButtonOK->setGeometry(166, 7, 75, 23);
  ButtonCancel = NewDialogButton(this, "ButtonCancel", "Cancel", false);
  ButtonCancel->setGeometry(246, 7, 75, 23);
  PaintBox = new TPaintBox(this);
  PaintBox->setObjectName("PaintBox");
  PaintBox->setGeometry(0, 111 - 38, 329, 38);
  PaintBox->OnPaint = [this] { PaintBoxPaint(); };
  PaintBox->lower();
  setTabOrder(ComboBoxType, EditURL);
  setTabOrder(EditURL, ButtonOK);
  setTabOrder(ButtonOK, ButtonCancel);

  connect(ButtonOK, &QPushButton::clicked, this, &TFormEditURL::accept);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  // Only the user's choice changes the edit, as the component library's change event fires.
  connect(ComboBoxType, &QComboBox::activated, this, &TFormEditURL::ComboBoxTypeChange);
}

TFormEditURL::~TFormEditURL() {
  if (FormEditURL == this) FormEditURL = nullptr;
}

bool TFormEditURL::Execute() {
  EditSetText(EditURL, URL);
  EditURL->setFocus();
  if (exec() != QDialog::Accepted) return false;
  URL = Trim(FromQString(EditURL->text()));
  return true;
}

void TFormEditURL::accept() {
  std::string problem = UrlDownloadProblem(Trim(FromQString(EditURL->text())));
  if (!problem.empty()) {
    Say(problem, MB_ICONEXCLAMATION);
    EditURL->setFocus();
    return;
  }
  QDialog::accept();
}

void TFormEditURL::ComboBoxTypeChange() {
  EditURL->setText(ToQString(UrlChangeScheme(FromQString(EditURL->text()), ComboBoxType->currentIndex())));
}

void TFormEditURL::PaintBoxPaint() { TFormGlobal::PaintBanner(PaintBox); }
