#include "app/forms/Unitimagemap.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "POP/PopForms.h"
#include "POP/PopHTML.h"
#include "POP/gui/PopRichEdit.h"
#include "app/forms/Unitglobal.h"
#include "engine/XImage.h"
#include "engine/XZLMButton.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtFixedDialog.h"
#include "platform/gui/QtServices.h"

TFormImageMap* FormImageMap = nullptr;

namespace {

// The client area lies inside an 8-pixel border.
constexpr int kBorder = 8;
constexpr int kClientWidth = 433, kClientHeight = 233;

// A link goes into the markup as stored; only a double quote, which would end the
// attribute early, is written as an entity.
std::string QuoteSafe(const std::string& link) {
  std::string out;
  for (char c : link) {
    if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

// The image's bare file name as a relative URL: the characters that a browser would read as
// a fragment, a query or an escape (and control characters and quotes) are escaped, so a
// file called "a#1.png" is still found.
std::string UrlSafe(const std::string& name) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '%' || c == '#' || c == '?' || c == '"') {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += char(c);
    }
  }
  return out;
}

// The last part of a native path: on this system only '/' separates folders, so a '\' or
// ':' in a file name stays part of it.
std::string BareFileName(const std::string& path) {
  size_t p = path.rfind('/');
  return p == std::string::npos ? path : path.substr(p + 1);
}

}  // namespace

std::string ImageMapHTML(const ZButtonList& scene, const TRect& crop, const std::string& imageFileName) {
  std::string s;
  s += "<HTML>\n";
  s += "<HEAD><META HTTP-EQUIV=\"CONTENT-TYPE\" CONTENT=\"text/html; charset=utf-8\"></HEAD>\n";
  s += "<BODY BGCOLOR=" + HTMLEncodeColor(scene.BGColor) + ">\n";
  s += "<MAP NAME=\"banner\">\n";
  for (int i = scene.Count() - 1; i >= 0; --i) {
    const TZLMButton* b = scene.Button(i);
    if (!b->IsSelected || b->LinkAddress.empty()) continue;
    const TRect& r = b->Bounds;
    s += "<AREA SHAPE=\"RECT\" COORDS=\"" + IntToStr(int64_t(r.Left) - crop.Left) + ", " +
         IntToStr(int64_t(r.Top) - crop.Top) + ", " + IntToStr(int64_t(r.Right) - crop.Left) + ", " +
         IntToStr(int64_t(r.Bottom) - crop.Top) + "\"\n";
    s += "HREF=\"" + QuoteSafe(b->LinkAddress) + "\">\n";
  }
  s += "</MAP>\n";
  s += "<CENTER>\n";
  s += "<IMG SRC=\"" + UrlSafe(imageFileName) + "\" BORDER=0 USEMAP=#banner>\n";
  s += "</CENTER>\n";
  s += "</BODY>\n";
  s += "</HTML>\n";
  // Links of older projects may hold Latin-1 bytes beside UTF-8; the page says UTF-8.
  return Utf8OrLatin1ToUtf8(s);
}

TFormImageMap::TFormImageMap(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName("FormImageMap");
  setWindowTitle("Create Image Mapped HTML File");
  MakeFixedSizeDialog(this, QSize(kClientWidth + 2 * kBorder, kClientHeight + 2 * kBorder));
  FileName = LocalFile("preview.htm");

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  PageControl->setGeometry(kBorder, kBorder, 337, 233);

  TabSheet1 = new QWidget;
  TabSheet1->setObjectName("TabSheet1");
  PageControl->addTab(TabSheet1, "Link Addresses");
  for (int k = 0; k < RowCount; ++k) {
    auto* label = new QLabel("NA", TabSheet1);
    label->setObjectName(QString("StaticText%1").arg(k + 1));
    label->setGeometry(8, 10 + 24 * k, 105, 17);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Object texts are shown as typed, never read as markup.
    label->setTextFormat(Qt::PlainText);
    StaticText[k] = label;
    auto* edit = new QLineEdit("NA", TabSheet1);
    edit->setObjectName(QString("Edit%1").arg(k + 1));
    edit->setGeometry(120, 8 + 24 * k, 161, 21);
    Edit[k] = edit;
  }
  ScrollBar1 = new QScrollBar(Qt::Vertical, TabSheet1);
  ScrollBar1->setObjectName("ScrollBar1");
  ScrollBar1->setGeometry(288, 8, 17, 24 * (RowCount - 1) + 21);
  ScrollBar1->setRange(0, 0);
  // A step of one row for both the arrows and the track.
  ScrollBar1->setPageStep(1);

  TabSheet2 = new QWidget;
  TabSheet2->setObjectName("TabSheet2");
  PageControl->addTab(TabSheet2, "HTML Code");
  RichEdit = new QTextEdit(TabSheet2);
  RichEdit->setObjectName("RichEdit");
  QFont courier("Courier New");
  courier.setPixelSize(13);
  RichEdit->setFont(courier);
  RichEdit->document()->setDefaultFont(courier);
  RichEdit->setAcceptRichText(false);
  RichEdit->setReadOnly(true);
  // Nobody types here, and each rebuild would otherwise keep the old text for undo.
  RichEdit->setUndoRedoEnabled(false);
  RichEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit->setLineWrapMode(QTextEdit::NoWrap);
  RichEdit->setTabChangesFocus(false);
  auto* fill = new QVBoxLayout(TabSheet2);
  fill->setContentsMargins(0, 0, 0, 0);
  fill->addWidget(RichEdit);
  PageControl->setCurrentWidget(TabSheet1);

  const int column = kBorder + 337 + 8, width = kClientWidth - 337 - 8;
  RadioButtonJPG = new QRadioButton("JPG Image", this);
  RadioButtonJPG->setObjectName("RadioButtonJPG");
  RadioButtonJPG->setGeometry(column, kBorder + 28, width, 17);
  RadioButtonPNG = new QRadioButton("PNG Image", this);
  RadioButtonPNG->setObjectName("RadioButtonPNG");
  RadioButtonPNG->setGeometry(column, kBorder + 48, width, 17);
  RadioButtonPNG->setChecked(true);
  auto button = [&](const char* name, const char* caption, int top) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setGeometry(column, kBorder + top, width, 25);
    b->setAutoDefault(false);
    return b;
  };
  ButtonSave = button("ButtonSave", "Save...", 80);
  ButtonPreview = button("ButtonPreview", "Preview", 110);
  ButtonDone = button("ButtonDone", "OK", 140);
  ButtonDone->setDefault(true);

  // The banner fills the bottom of the column beside the pages, to the dialog's edges.
  PaintBox1 = new TPaintBox(this);
  PaintBox1->setObjectName("PaintBox1");
  PaintBox1->setGeometry(kBorder + 337, height() - 40, width + 8 + kBorder, 40);
  PaintBox1->OnPaint = [this] { PaintBox1Paint(); };
  PaintBox1->lower();

  SaveDialog.Filter = "HTML File|*.htm;*.html";
  SaveDialog.Options = ofOverwritePrompt | ofHideReadOnly | ofEnableSizing;

  // The tab sheet's show and hide events are those of its widget: switching pages, and
  // showing or hiding the dialog with the sheet active.
  TabSheet1->installEventFilter(this);
  void (TFormImageMap::*edits[RowCount])() = {&TFormImageMap::Edit1Change, &TFormImageMap::Edit2Change,
                                              &TFormImageMap::Edit3Change, &TFormImageMap::Edit4Change,
                                              &TFormImageMap::Edit5Change, &TFormImageMap::Edit6Change,
                                              &TFormImageMap::Edit7Change};
  // The edits' change handlers fire on every change of their text, programmatic ones
  // included, as the component library's do; the row filling relies on it.
  for (int k = 0; k < RowCount; ++k) connect(Edit[k], &QLineEdit::textChanged, this, edits[k]);
  connect(ScrollBar1, &QScrollBar::valueChanged, this, &TFormImageMap::TabSheet1Show);
  connect(RichEdit, &QTextEdit::textChanged, this, &TFormImageMap::RichEditChange);
  // A radio button's click handler also runs when it is checked by the program.
  connect(RadioButtonJPG, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RadioButtonJPGClick();
  });
  connect(RadioButtonPNG, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RadioButtonPNGClick();
  });
  connect(ButtonSave, &QPushButton::clicked, this, &TFormImageMap::ButtonSaveClick);
  connect(ButtonPreview, &QPushButton::clicked, this, &TFormImageMap::ButtonPreviewClick);
  connect(ButtonDone, &QPushButton::clicked, this, &QDialog::accept);
}

TFormImageMap::~TFormImageMap() {
  TabSheet1->removeEventFilter(this);
  if (FormImageMap == this) FormImageMap = nullptr;
}

bool TFormImageMap::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TabSheet1) {
    if (event->type() == QEvent::Show) TabSheet1Show();
    if (event->type() == QEvent::Hide) TabSheet1Hide();
  }
  return QDialog::eventFilter(watched, event);
}

void TFormImageMap::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

void TFormImageMap::FormShow() {
  FLinksAnnounced = false;
  PageControl->setCurrentWidget(TabSheet1);
}

void TFormImageMap::PaintBox1Paint() { TFormGlobal::PaintBanner(PaintBox1); }

std::string TFormImageMap::ImageFileName() const { return ImageFileName(FileName); }

std::string TFormImageMap::ImageFileName(const std::string& html) const {
  return ChangeFileExt(html, RadioButtonPNG->isChecked() ? ".png" : ".jpg");
}

std::string TFormImageMap::PreviewFileName() { return LocalFile("preview.htm"); }

std::string TFormImageMap::HtmlFileName(const std::string& chosen) {
  std::string ext = LowerCase(ExtractFileExt(BareFileName(chosen)));
  if (ext == ".htm" || ext == ".html") return chosen;
  return ChangeFileExt(chosen, ".htm");
}

void TFormImageMap::BuildImageMapHTML() {
  ZButtonList empty;
  std::string html = ImageMapHTML(Scene ? *Scene : empty, CropRect, BareFileName(ImageFileName()));
  QTextCursor all = RichEdit->textCursor();
  all.select(QTextCursor::Document);
  RichEdit->setTextCursor(all);
  HTMLHilightSetSelText(RichEdit, html);
  // The page is read from its first line: the caret and the view go back to the start.
  QTextCursor start = RichEdit->textCursor();
  start.movePosition(QTextCursor::Start);
  RichEdit->setTextCursor(start);
  RichEdit->verticalScrollBar()->setValue(0);
  RichEdit->horizontalScrollBar()->setValue(0);
}

void TFormImageMap::WriteFiles(const std::string& html, const std::string& markup) {
  const std::string picture = ImageFileName(html);
  if (Image && picture == html)
    throw EFCreateError("The picture would be written over the HTML file \"" + html + "\".");
  // Each line ended by a carriage return and a line feed.
  std::string text = markup, out;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.append(text, start, end - start);
    out += "\r\n";
    start = end + 1;
  }
  WriteFileAtomic(html, out);
  if (Image) {
    BitmapSetPixelFormat(*Image, 6);
    Image->SaveToFile(picture);
  }
}

void TFormImageMap::ButtonSaveClick() {
  SaveDialog.Title = "Save Image Mapped HTML File";
  SaveDialog.FileName = FileName;
  if (!SaveDialog.Execute()) return;
  const std::string html = HtmlFileName(SaveDialog.FileName);
  // The dialog asked about the name as chosen; a changed name is asked about here.
  if (html != SaveDialog.FileName && FileExists(html) &&
      !Ask("\"" + html + "\" already exists.\nDo you want to replace it?"))
    return;
  // The picture beside it is a file of its own, which may be the user's: it is not replaced
  // without a question either. No writes nothing at all.
  const std::string picture = ImageFileName(html);
  if (Image && FileExists(picture) && !Ask("\"" + picture + "\" already exists.\nDo you want to replace it?"))
    return;
  FileName = html;
  BuildImageMapHTML();
  WriteFiles(FileName, FromQString(RichEdit->toPlainText()));
  std::string told = "The HTML file was saved as\n" + FileName;
  if (Image) told += "\nand its picture as\n" + ImageFileName();
  Told = "Image map saved as " + FileName + (Image ? ", its picture as " + ImageFileName() : std::string());
  Say(told + ".", MB_OK | MB_ICONINFORMATION);
}

void TFormImageMap::ButtonPreviewClick() {
  // The HTML page is current while the user looks at it; run without the dialog, it may be
  // left over from an earlier selection, so it is built afresh.
  if (PageControl->currentWidget() != TabSheet2 || !isVisible()) BuildImageMapHTML();
  // The preview has files of its own: a page the user saved keeps the selection it was saved
  // with, and its picture is not replaced.
  const std::string html = PreviewFileName();
  ZButtonList empty;
  WriteFiles(html, ImageMapHTML(Scene ? *Scene : empty, CropRect, BareFileName(ImageFileName(html))));
  Told = "Preview written to " + html;
  // The file's own name: the browser gets it as an encoded file: URL, "#" and "?" included.
  if (!NavigateTo(html))
    Say("No browser could be started to show the preview.\nOpen this file in a browser:\n" + html,
        MB_OK | MB_ICONEXCLAMATION);
}

void TFormImageMap::TabSheet1Show() {
  int n = Scene ? Scene->SelectedCount() : 0;
  {
    // The range change moves the position without another round of filling.
    QSignalBlocker quiet(ScrollBar1);
    ScrollBar1->setMaximum(n - RowCount > 0 ? n - RowCount : 0);
  }
  int first = ScrollBar1->value();
  int row = 0, number = 0;
  for (int i = 0; Scene && i < Scene->Count() && row < RowCount; ++i) {
    TZLMButton* b = Scene->Button(i);
    if (!b->IsSelected) continue;
    if (number++ < first) continue;
    LinkRows[row] = b;
    Edit[row]->setEnabled(true);
    StaticText[row]->setEnabled(true);
    QPalette p = Edit[row]->palette();
    p.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
    Edit[row]->setPalette(p);
    StaticText[row]->setText(b->Text.empty() ? QString("[No Text]") : ToQString(b->Text));
    // The row is set before its text, so a change event would only write back the link the
    // object has; the edit may shorten or alter a text, so it is filled without the event.
    QSignalBlocker filling(Edit[row]);
    Edit[row]->setText(ToQString(b->LinkAddress));
    ++row;
  }
  for (; row < RowCount; ++row) {
    LinkRows[row] = nullptr;
    Edit[row]->setEnabled(false);
    StaticText[row]->setEnabled(false);
    StaticText[row]->clear();
    QSignalBlocker emptying(Edit[row]);
    Edit[row]->clear();
    QPalette p = Edit[row]->palette();
    p.setColor(QPalette::Base, QApplication::palette().color(QPalette::Button));
    Edit[row]->setPalette(p);
  }
}

void TFormImageMap::TabSheet1Hide() { BuildImageMapHTML(); }

void TFormImageMap::EditChange(int row) {
  if (!LinkRows[row]) return;
  std::string link = FromQString(Edit[row]->text());
  if (link == LinkRows[row]->LinkAddress) return;
  if (!FLinksAnnounced) {
    FLinksAnnounced = true;
    if (OnLinksChanging) OnLinksChanging();
  }
  LinkRows[row]->LinkAddress = link;
}

void TFormImageMap::Edit1Change() { EditChange(0); }
void TFormImageMap::Edit2Change() { EditChange(1); }
void TFormImageMap::Edit3Change() { EditChange(2); }
void TFormImageMap::Edit4Change() { EditChange(3); }
void TFormImageMap::Edit5Change() { EditChange(4); }
void TFormImageMap::Edit6Change() { EditChange(5); }
void TFormImageMap::Edit7Change() { EditChange(6); }

void TFormImageMap::RichEditChange() { HTMLHilightChange(RichEdit); }

void TFormImageMap::RadioButtonJPGClick() { BuildImageMapHTML(); }
void TFormImageMap::RadioButtonPNGClick() { BuildImageMapHTML(); }
