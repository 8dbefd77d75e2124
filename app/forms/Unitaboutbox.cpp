#include "app/forms/Unitaboutbox.h"

#include <algorithm>
#include <utility>

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>

#include "POP/PopForms.h"
#include "POP/PopInno.h"
#include "POP/PopStrUtils.h"
#include "POP/PopSysUtils.h"
#include "POP/gui/PopStdCtrls.h"
#include "app/AppEnvironment.h"
#include "app/forms/Unitglobal.h"
#include "platform/MemoryStatus.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtFixedDialog.h"
#include "platform/gui/QtServices.h"

TFormAboutBox* FormAboutBox = nullptr;

namespace {
QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->move(left, top);
  l->adjustSize();
  return l;
}
}  // namespace

TFormAboutBox::TFormAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("FormAboutBox");
  setWindowTitle("About");
  MakeFixedSizeDialog(this, QSize(367, 402));
  // The places below are laid out for the small dialog font.
  QFont small = font();
  small.setPointSize(8);
  setFont(small);

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  PageControl->setGeometry(8, 8, 351, 346);
  TabSheetAbout = new QWidget;
  TabSheetAbout->setObjectName("TabSheetAbout");
  PageControl->addTab(TabSheetAbout, "About");
  QWidget* page = TabSheetAbout;

  PaintBox1 = new TPaintBox(page);
  PaintBox1->setObjectName("PaintBox1");
  PaintBox1->setGeometry(8, 16, 33, 89);
  PaintBox1->OnPaint = [this] { PaintBox1Paint(); };
  Label1 = MakeLabel(page, "Label1", "NA", 48, 16);
  Label2 = MakeLabel(page, "Label2", "NA", 48, 32);
  Label3 = MakeLabel(page, "Label3", "NA", 48, 48);
  Label4 = MakeLabel(page, "Label4", "NA", 48, 64);
  Label4->installEventFilter(this);

  Memo = new QPlainTextEdit(page);
  Memo->setObjectName("Memo");
  Memo->setGeometry(48, 128, 289, 129);
  Memo->setReadOnly(true);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // The page's colour, so the credits read as part of the page and not as an input.
  QPalette mp = Memo->palette();
  mp.setColor(QPalette::Base, page->palette().color(QPalette::Window));
  Memo->setPalette(mp);

  Bevel1 = new QFrame(page);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(48, 264, 289, 2);
  Label5 = MakeLabel(page, "Label5", "Physical memory avaliable to Windows:", 48, 272);
  Label7 = MakeLabel(page, "Label7", "NA", 264, 272);
  Label6 = MakeLabel(page, "Label6", "Memory usage:", 48, 288);
  Label8 = MakeLabel(page, "Label8", "NA", 264, 288);

  ButtonOK = NewDialogButton(this, "ButtonOK", "OK", true);
  ButtonOK->setGeometry(284, 369, 75, 25);
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);

  PaintBox2 = new TPaintBox(this);
  PaintBox2->setObjectName("PaintBox2");
  PaintBox2->setGeometry(0, 402 - 40, 367, 40);
  PaintBox2->OnPaint = [this] { PaintBox2Paint(); };
  PaintBox2->lower();
}

TFormAboutBox::~TFormAboutBox() {
  if (FormAboutBox == this) FormAboutBox = nullptr;
}

void TFormAboutBox::FormShow() {
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label1->setText(ToQString(TranslatedProductName()));
  Label2->setText(ToQString(VersionMessage()));
  Label3->setText(ToQString(VersionCopyright()));
  Label4->setText(ToQString(InnoAppPublisherURL()));
  LabelHyperLink(Label4);
  for (QLabel* l : {Label1, Label2, Label3, Label4}) l->adjustSize();

  try {
    // Lines may end in CR LF or LF alone.
    std::string credits = StringReplaceAll(StringLoadFromFile(LocalFile("credits.txt")), "\r\n", "\n");
    if (!credits.empty() && credits.back() == '\n') credits.pop_back();
    Memo->setPlainText(ToQString(credits));
  } catch (const std::exception&) {
    // The memo keeps what it held.
  }

  TMemoryStatus status = GlobalMemoryStatus();
  Label7->setText(ToQString(MemorySizeToStr(int64_t(status.TotalPhys))));
  Label8->setText(ToQString(IntToStr(status.MemoryLoad) + "% Used"));
  LayoutMemoryLines();

  setWindowTitle("About " + Label1->text());
}

// The memory lines are a small table as wide as the line above them: the amounts end at its
// right end, and each caption has the room to their left, wrapped at blanks when its text
// (the system's own words, kept as they are) is longer than that room.
void TFormAboutBox::LayoutMemoryLines() {
  const int left = Bevel1->x(), right = Bevel1->geometry().right(), gap = 8;
  int amountWidth = 0;
  for (QLabel* amount : {Label7, Label8})
    amountWidth = std::max(amountWidth, amount->fontMetrics().horizontalAdvance(amount->text()) + 2);
  const int room = right - left + 1 - amountWidth - gap;
  int top = 272;
  for (auto [caption, amount] : {std::pair(Label5, Label7), std::pair(Label6, Label8)}) {
    const QFontMetrics fm = caption->fontMetrics();
    const int textWidth = fm.horizontalAdvance(caption->text()) + 2;
    caption->setWordWrap(textWidth > room);
    const int width = std::min(textWidth, room);
    const int height = caption->wordWrap() ? caption->heightForWidth(width) : fm.height();
    caption->setGeometry(left, top, width, height);
    // The amount stands on the caption's last line, after its colon.
    const int lineHeight = amount->fontMetrics().height();
    amount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    amount->setGeometry(right + 1 - amountWidth, top + height - fm.height(), amountWidth, lineHeight);
    top += std::max(16, height + 3);
  }
}

void TFormAboutBox::Label4Click() { NavigateTo(FromQString(Label4->text())); }

void TFormAboutBox::PaintBox1Paint() {
  QPainter p(PaintBox1);
  QImage icon = ApplicationIconImage();
  if (p.isActive() && !icon.isNull()) p.drawImage(0, 0, icon);
}

void TFormAboutBox::PaintBox2Paint() { TFormGlobal::PaintBanner(PaintBox2); }

void TFormAboutBox::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

// A click is a press and a release of the left button on the label.
bool TFormAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Label4 && event->type() == QEvent::MouseButtonRelease) {
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() == Qt::LeftButton && Label4->rect().contains(me->position().toPoint())) {
      Label4Click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
