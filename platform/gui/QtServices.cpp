#include "platform/gui/QtServices.h"

#include <algorithm>
#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFont>
#include <QImage>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMimeDatabase>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>

#include "platform/Canvas.h"
#include "platform/Graphics.h"
#include "platform/PrinterService.h"
#include "platform/gui/QtFixedDialog.h"
#include "platform/gui/QtImage.h"

// ---- message boxes ---------------------------------------------------------------------

QMessageBox::StandardButtons MessageBoxButtons(uint32_t flags) {
  switch (flags & 0xF) {
    case MB_OKCANCEL: return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_ABORTRETRYIGNORE: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MB_YESNOCANCEL: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO: return QMessageBox::Yes | QMessageBox::No;
    case MB_RETRYCANCEL: return QMessageBox::Retry | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
  }
}

QMessageBox::Icon MessageBoxIcon(uint32_t flags) {
  switch (flags & 0xF0) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

// The buttons of each set in their order on the box, as the default-button flags count them.
static std::vector<QMessageBox::StandardButton> ButtonOrder(uint32_t flags) {
  switch (flags & 0xF) {
    case MB_OKCANCEL: return {QMessageBox::Ok, QMessageBox::Cancel};
    case MB_ABORTRETRYIGNORE: return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case MB_YESNOCANCEL: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case MB_YESNO: return {QMessageBox::Yes, QMessageBox::No};
    case MB_RETRYCANCEL: return {QMessageBox::Retry, QMessageBox::Cancel};
    default: return {QMessageBox::Ok};
  }
}

QMessageBox::StandardButton MessageBoxDefaultButton(uint32_t flags) {
  auto order = ButtonOrder(flags);
  size_t i = (flags & 0xF00) == MB_DEFBUTTON3 ? 2 : (flags & 0xF00) == MB_DEFBUTTON2 ? 1 : 0;
  return i < order.size() ? order[i] : order.front();
}

int MessageBoxResult(uint32_t flags, QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Abort: return IDABORT;
    case QMessageBox::Retry: return IDRETRY;
    case QMessageBox::Ignore: return IDIGNORE;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: break;
  }
  // Closed without a button: a box with Cancel gives Cancel, a box of one OK gives OK, and
  // a question never counts as consent.
  auto buttons = MessageBoxButtons(flags);
  if (buttons & QMessageBox::Cancel) return IDCANCEL;
  if (buttons & QMessageBox::No) return IDNO;
  return DefaultButton(flags);
}

// A modal box shows the normal arrow even while the program is busy.
namespace {
class TArrowWhileModal {
 public:
  TArrowWhileModal() : FBusy(QApplication::overrideCursor() != nullptr) {
    if (FBusy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~TArrowWhileModal() {
    if (FBusy) QApplication::restoreOverrideCursor();
  }

 private:
  bool FBusy;
};

// A frameless stay-on-top window (the splash, the wait indicator) is no owner for a dialog:
// it goes away on its own.
bool IsTransientWindow(const QWidget* w) {
  return w && (w->windowFlags() & Qt::FramelessWindowHint) && (w->windowFlags() & Qt::WindowStaysOnTopHint);
}

QWidget* DialogParent() {
  QWidget* w = QApplication::activeModalWidget();
  if (!w || IsTransientWindow(w)) w = QApplication::activeWindow();
  if (!w || IsTransientWindow(w)) w = ApplicationMainForm();
  return w;
}
}  // namespace

// The window manager keeps stay-on-top windows above all others: a dialog opened while one of
// the program's own is showing (the splash, the tip of the day, the wait indicator, the image
// map) would open behind it, where nobody sees what the program waits for. It stays on top too.
void KeepAboveOwnWindows(QWidget* dialog) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w == dialog || !w->isVisible() || !(w->windowFlags() & Qt::WindowStaysOnTopHint)) continue;
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return;
  }
}

QString MessageBoxDisplayText(const QString& text) {
  // Inside a path a blank becomes a no-break space and a hyphen a no-break hyphen: they look
  // the same, and the only places left to wrap are after the slashes.
  auto glue = [](QString& s, qsizetype from, qsizetype to, bool blanks) {
    for (qsizetype i = from; i < to; ++i) {
      if (s[i] == '-') s[i] = QChar(0x2011);
      else if (blanks && s[i] == ' ') s[i] = QChar(0x00A0);
    }
  };
  auto startsPath = [](const QString& s, qsizetype i) {
    return i < s.size() && (s[i] == '/' || (s[i] == '~' && i + 1 < s.size() && s[i + 1] == '/'));
  };
  QString out = text;
  qsizetype lineStart = 0;
  while (lineStart <= out.size()) {
    qsizetype lineEnd = out.indexOf('\n', lineStart);
    if (lineEnd < 0) lineEnd = out.size();
    if (startsPath(out, lineStart)) {
      glue(out, lineStart, lineEnd, true);
    } else {
      for (qsizetype i = lineStart; i < lineEnd; ++i) {
        const bool wordStart = i == lineStart || out[i - 1] == ' ' || out[i - 1] == '(';
        if (out[i] == '"' && startsPath(out, i + 1)) {
          qsizetype close = out.indexOf('"', i + 1);
          if (close < 0 || close > lineEnd) close = lineEnd;
          glue(out, i + 1, close, true);
          i = close;
        } else if (wordStart && startsPath(out, i)) {
          qsizetype end = i;
          while (end < lineEnd && out[end] != ' ') ++end;
          glue(out, i, end, false);
          i = end;
        }
      }
    }
    lineStart = lineEnd + 1;
  }
  return out;
}

namespace {
// Ctrl+C copies the message as it was given, not as it is shown: a path pasted elsewhere must
// not carry the no-break characters of the box.
class TMessageBox : public QMessageBox {
 public:
  TMessageBox(Icon icon, const QString& caption, const QString& text, StandardButtons buttons,
              QWidget* parent)
      : QMessageBox(icon, caption, MessageBoxDisplayText(text), buttons, parent), FText(text) {
    setTextFormat(Qt::PlainText);
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (e == QKeySequence::Copy) {
      QGuiApplication::clipboard()->setText(FText);
      return;
    }
    QMessageBox::keyPressEvent(e);
  }

 private:
  QString FText;
};

int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
  TArrowWhileModal arrow;
  TMessageBox box(MessageBoxIcon(flags), ToQString(caption), ToQString(text), MessageBoxButtons(flags),
                  DialogParent());
  box.setDefaultButton(MessageBoxDefaultButton(flags));
  MakeFixedSizeDialog(&box);
  KeepAboveOwnWindows(&box);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  return MessageBoxResult(flags, clicked ? box.standardButton(clicked) : QMessageBox::NoButton);
}
}  // namespace

// ---- conversions -----------------------------------------------------------------------

QStringList QtNameFilters(const std::string& filter) {
  QStringList result;
  QStringList parts = ToQString(filter).split('|');
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString text = parts[i].trimmed(), masks = parts[i + 1].trimmed();
    if (text.isEmpty() && masks.isEmpty()) continue;
    QStringList list;
    for (const QString& m : masks.split(';', Qt::SkipEmptyParts)) list << m.trimmed();
    if (list.isEmpty()) list << "*";
    // Qt reads the patterns from the last parentheses of the entry, so the text keeps the
    // masks it shows ("All Files (*.*)") only when they are the patterns themselves.
    QString shown = text;
    int open = shown.lastIndexOf('(');
    if (open >= 0 && shown.endsWith(')')) shown = shown.left(open).trimmed();
    if (shown.isEmpty()) shown = list.join(' ');
    result << shown + " (" + list.join(' ') + ")";
  }
  return result;
}

QString ToQString(const std::string& s) { return QString::fromStdString(s); }
std::string FromQString(const QString& s) { return s.toStdString(); }

QImage QImageOfBitmap(const TBitmap& bitmap) { return BitmapToQImage(bitmap); }

QPrinter& SharedPrinter() {
  static QPrinter printer(QPrinter::HighResolution);
  return printer;
}

bool WaitUntilExposed(QWidget* window, int timeoutMs) {
  if (!window || !window->isVisible()) return false;
  QWindow* handle = window->window()->windowHandle();
  if (!handle) return false;
  QElapsedTimer clock;
  clock.start();
  while (!handle->isExposed() && clock.elapsed() < timeoutMs)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
  return handle->isExposed();
}

// ---- the main form and its status bar --------------------------------------------------

static QPointer<QWidget> gMainForm;
void SetApplicationMainForm(QWidget* form) { gMainForm = form; }
QWidget* ApplicationMainForm() {
  if (gMainForm) return gMainForm;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QMainWindow*>(w)) return w;
  return nullptr;
}

QStatusBar* MainFormStatusBar() {
  QWidget* form = ApplicationMainForm();
  return form ? form->findChild<QStatusBar*>() : nullptr;
}

std::string StatusBarSimpleText(const QStatusBar* bar) {
  return bar ? FromQString(bar->currentMessage()) : std::string();
}

void StatusBarSetSimpleText(QStatusBar* bar, const std::string& text) {
  if (!bar) return;
  if (text.empty()) bar->clearMessage();
  else bar->showMessage(ToQString(text));
  // Long work runs on this thread without events in between: paint now.
  bar->repaint();
}

// ---- the services ----------------------------------------------------------------------

namespace {

class TQtServices : public TServices {
 public:
  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) override {
    return ShowMessageBox(text, caption, flags);
  }
  void Beep() override { QApplication::beep(); }
  // The desktop's own opener, not the toolkit's guess at one: the text reaches it unchanged,
  // so an encoded file: URL stays encoded and a path stays a path. The opener is watched for a
  // moment, so that "no browser" and a browser that refuses to run are seen by the caller.
  bool OpenUrl(const std::string& url) override { return OpenWithDesktopOpener(url); }
  bool Launch(const std::vector<std::string>& argv) override { return SpawnDetached(argv); }
  void PaintWhileWaiting() override {
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
  }
  // The component library's screen cursor is one value, not a stack: busy twice and idle
  // once leaves the normal cursor.
  void SetBusyCursor(bool busy) override {
    if (busy == FBusy) return;
    FBusy = busy;
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
  }
  void ScreenSize(int& width, int& height) override {
    QScreen* s = QGuiApplication::primaryScreen();
    QRect g = s ? s->geometry() : QRect(0, 0, 1024, 768);
    width = g.width();
    height = g.height();
  }
  bool BrowseFolderDialog(const std::string& caption, std::string& folder) override {
    TArrowWhileModal arrow;
    QString chosen = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QString::fromStdString(caption), QString::fromStdString(folder));
    if (chosen.isEmpty()) return false;
    folder = chosen.toStdString();
    return true;
  }
  bool InputBox(const std::string& caption, const std::string& prompt, std::string& value) override {
    TArrowWhileModal arrow;
    QInputDialog dialog(DialogParent());
    dialog.setWindowTitle(ToQString(caption));
    dialog.setLabelText(ToQString(prompt));
    dialog.setTextValue(ToQString(value));
    MakeFixedSizeDialog(&dialog);
    KeepAboveOwnWindows(&dialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    value = FromQString(dialog.textValue());
    return true;
  }
  int ChooseItem(const std::string& caption, const std::string& prompt, const std::vector<std::string>& items,
                 int selected) override {
    TArrowWhileModal arrow;
    QDialog dialog(DialogParent());
    dialog.setObjectName("ChooseItemDialog");
    dialog.setWindowTitle(ToQString(caption));
    KeepAboveOwnWindows(&dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(ToQString(prompt), &dialog));
    auto* list = new QListWidget(&dialog);
    list->setObjectName("ListItems");
    for (const std::string& item : items) list->addItem(ToQString(item));
    if (selected >= 0 && selected < list->count()) list->setCurrentRow(selected);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted) return -1;
    return list->currentRow();
  }
  std::vector<std::string> FileTypes(const std::string& fileName) override {
    QMimeDatabase db;
    QMimeType type = db.mimeTypeForFile(ToQString(fileName));
    if (!type.isValid()) return {};
    std::vector<std::string> types{FromQString(type.name())};
    for (const QString& parent : type.allAncestors()) types.push_back(FromQString(parent));
    return types;
  }
  void SetClipboardText(const std::string& text) override {
    QGuiApplication::clipboard()->setText(ToQString(text));
  }
  std::string ClipboardText() override { return FromQString(QGuiApplication::clipboard()->text()); }
  void Terminate() override { QMetaObject::invokeMethod(qApp, "quit", Qt::QueuedConnection); }
  void ProcessMessages() override { QCoreApplication::processEvents(); }
  void WorkArea(int& left, int& top, int& width, int& height) override {
    QScreen* s = QGuiApplication::primaryScreen();
    QRect g = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    left = g.left();
    top = g.top();
    width = g.width();
    height = g.height();
  }

 private:
  bool FBusy = false;
};

// Pages are drawn at the printer's resolution; the page size is its printable area.
class TQtPrinterService : public IPrinterService {
 public:
  int PageWidth() override { return PageRect().width(); }
  int PageHeight() override { return PageRect().height(); }
  void BeginDoc() override {
    FPainter = std::make_unique<QPainter>();
    if (!FPainter->begin(&SharedPrinter())) FPainter.reset();
  }
  void StretchDrawBitmap(const TRect& dest, const TBitmap& bitmap) override {
    if (!FPainter) return;
    FPainter->drawImage(QRect(dest.Left, dest.Top, dest.Right - dest.Left, dest.Bottom - dest.Top),
                        QImageOfBitmap(bitmap));
  }
  void EndDoc() override {
    if (FPainter) FPainter->end();
    FPainter.reset();
  }

 private:
  static QRect PageRect() {
    QPrinter& p = SharedPrinter();
    return p.pageLayout().paintRectPixels(p.resolution());
  }
  std::unique_ptr<QPainter> FPainter;
};

}  // namespace

QFont QFontOfFont(const TFont& font) {
  QFont f(ToQString(font.Name));
  f.setPointSize(std::max(1, font.Size()));
  f.setBold(font.Style & fsBold);
  f.setItalic(font.Style & fsItalic);
  f.setUnderline(font.Style & fsUnderline);
  f.setStrikeOut(font.Style & fsStrikeOut);
  return f;
}

TFont FontOfQFont(const QFont& qfont, TColor color) {
  TFont f;
  f.Name = FromQString(qfont.family());
  f.SetSize(qfont.pointSize() > 0 ? qfont.pointSize() : 8);
  f.Style = TFontStyles((qfont.bold() ? fsBold : 0) | (qfont.italic() ? fsItalic : 0) |
                        (qfont.underline() ? fsUnderline : 0) | (qfont.strikeOut() ? fsStrikeOut : 0));
  f.Color = color;
  return f;
}

namespace {
// The forms are made at the start without an owner, and Qt makes an unowned dialog transient
// for the program as a whole, not for a window: the window manager then minimises it alone,
// leaving the main window blocked by a modal dialog nobody sees, and may put it behind the
// window it was opened from. Each time such a dialog shows, it is given the window it is
// opened from (the dialog beneath it or the main window) as the one it belongs to, so that it
// stays above that window and goes with it.
class TDialogOwner : public QObject {
 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    auto* dialog = qobject_cast<QDialog*>(object);
    if (!dialog || !dialog->isWindow() || dialog->parentWidget() || !dialog->windowHandle()) return false;
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner || owner == dialog || IsTransientWindow(owner)) owner = QApplication::activeWindow();
    if (!owner || owner == dialog || IsTransientWindow(owner)) owner = ApplicationMainForm();
    if (owner && owner != dialog && owner->isVisible() && owner->window()->windowHandle())
      dialog->windowHandle()->setTransientParent(owner->window()->windowHandle());
    return false;
  }
};
}  // namespace

void InstallQtServices() {
  static TQtServices services;
  static TQtPrinterService printer;
  SetServices(&services);
  SetPrinterService(&printer);
  static TDialogOwner owner;
  if (QCoreApplication* app = QCoreApplication::instance(); app) {
    app->removeEventFilter(&owner);
    app->installEventFilter(&owner);
  }
}

// ---- window places ---------------------------------------------------------------------

std::string TQtFormGeometry::Name() const { return FromQString(FForm->objectName()); }
int TQtFormGeometry::Left() const { return FForm->x(); }
int TQtFormGeometry::Top() const { return FForm->y(); }
int TQtFormGeometry::Width() const { return FForm->width(); }
int TQtFormGeometry::Height() const { return FForm->height(); }

// A window is usable when a piece of it large enough to grab lies on some screen.
static bool OnSomeScreen(const QRect& r) {
  for (QScreen* s : QGuiApplication::screens()) {
    QRect part = r.intersected(s->availableGeometry());
    if (part.width() >= std::min(r.width(), 50) && part.height() >= std::min(r.height(), 20)) return true;
  }
  return false;
}

void TQtFormGeometry::SetBounds(int left, int top, int width, int height) {
  QRect r(left, top, std::max(width, 1), std::max(height, 1));
  if (FForm->isWindow() && !OnSomeScreen(r)) {
    if (QScreen* s = QGuiApplication::primaryScreen()) {
      QRect avail = s->availableGeometry();
      r.setSize(r.size().boundedTo(avail.size()));
      r.moveCenter(avail.center());
    }
  }
  FForm->move(r.topLeft());
  FForm->resize(r.size());
}

TWindowState TQtFormGeometry::WindowState() const {
  Qt::WindowStates s = FForm->windowState();
  if (s & Qt::WindowMinimized) return wsMinimized;
  if (s & Qt::WindowMaximized) return wsMaximized;
  return wsNormal;
}

// A window never comes back minimised: a saved minimised state restores as normal.
void TQtFormGeometry::SetWindowState(TWindowState state) {
  Qt::WindowStates s = FForm->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  if (state == wsMaximized) s |= Qt::WindowMaximized;
  FForm->setWindowState(s);
}

void TQtFormGeometry::SetPosition(TPosition position) {
  if (position != poScreenCenter) return;
  QScreen* s = FForm->screen() ? FForm->screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  QRect r = FForm->frameGeometry();
  r.moveCenter(s->availableGeometry().center());
  FForm->move(r.topLeft());
}

void TQtFormGeometry::SetCaption(const std::string& caption) { FForm->setWindowTitle(ToQString(caption)); }
