#include "gif/gui/Vclutils.h"

#include <algorithm>
#include <memory>
#include <unistd.h>

#include <QApplication>
#include <QBitmap>
#include <QCoreApplication>
#include <QImage>
#include <QLayout>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include "gif/Vclutils.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtImage.h"
#include "platform/gui/QtServices.h"

// ---- windows and forms -------------------------------------------------------------------

void CenterWindow(QWidget* window) {
  if (!window) return;
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QRect frame = window->frameGeometry();
  int x = area.left() + (area.width() - frame.width()) / 2;
  int y = area.top() + (area.height() - frame.height()) / 2;
  // On the screen wholly where it fits; its top-left corner on it where it does not.
  x = std::max(area.left(), std::min(x, area.left() + area.width() - frame.width()));
  y = std::max(area.top(), std::min(y, area.top() + area.height() - frame.height()));
  window->move(x, y);
}

void CenterControl(QWidget* control) {
  if (!control || control->isWindow() || !control->parentWidget()) return;
  const QRect client = control->parentWidget()->contentsRect();
  control->move(client.left() + (client.width() - control->width()) / 2,
                client.top() + (client.height() - control->height()) / 2);
}

void MergeForm(QWidget* control, QWidget* form, bool show) {
  if (!control || !form || control == form) return;
  form->setParent(control, Qt::Widget);
  QLayout* layout = control->layout();
  if (!layout) {
    layout = new QVBoxLayout(control);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
  }
  layout->addWidget(form);
  // A child is shown with its parent unless it was hidden on purpose.
  form->setVisible(show);
}

std::string WindowClassName(const QWidget* window) {
  return window ? std::string(window->metaObject()->className()) : std::string();
}

void ShowWinNoAnimate(QWidget* window, int cmdShow) {
  if (!window) return;
  const bool quiet = cmdShow == SW_SHOWNOACTIVATE || cmdShow == SW_SHOWMINNOACTIVE || cmdShow == SW_SHOWNA ||
                     cmdShow == SW_MINIMIZE;
  const bool wasQuiet = window->testAttribute(Qt::WA_ShowWithoutActivating);
  if (quiet) window->setAttribute(Qt::WA_ShowWithoutActivating, true);
  switch (cmdShow) {
    case SW_HIDE: window->hide(); break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE: window->showMinimized(); break;
    case SW_SHOWMAXIMIZED: window->showMaximized(); break;
    case SW_SHOWNORMAL:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE: window->showNormal(); break;
    default: window->show(); break;
  }
  if (quiet) {
    window->setAttribute(Qt::WA_ShowWithoutActivating, wasQuiet);
  } else if (cmdShow != SW_HIDE && cmdShow != SW_SHOWMINIMIZED && window->isWindow()) {
    window->raise();
    window->activateWindow();
  }
}

void SwitchToWindow(QWidget* window, bool restore) {
  if (!window) return;
  QWidget* top = window->window();
  if (restore && top->isMinimized()) top->setWindowState(top->windowState() & ~Qt::WindowMinimized);
  if (!top->isVisible()) top->show();
  top->raise();
  top->activateWindow();
}

void ActivateWindow(QWidget* window) { SwitchToWindow(window, true); }

bool IsForegroundTask() { return QApplication::activeWindow() != nullptr; }

namespace {

// Eats the first event of the type that reaches the receiver and posts the later ones anew,
// in their order, so that they stay pending.
class TKillFilter : public QObject {
 public:
  TKillFilter(QObject* receiver, QEvent::Type type) : FReceiver(receiver), FType(type) {}
  bool Killed = false;
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != FReceiver || e->type() != FType) return false;
    if (!Killed) Killed = true;
    else QCoreApplication::postEvent(FReceiver, e->clone());
    return true;
  }

 private:
  QObject* FReceiver;
  QEvent::Type FType;
};

}  // namespace

bool KillMessage(QObject* receiver, QEvent::Type type) {
  if (!receiver) return false;
  TKillFilter filter(receiver, type);
  receiver->installEventFilter(&filter);
  // Delivers exactly the events of that type now pending for the receiver, through the
  // filter; those it posts anew wait for the next round.
  QCoreApplication::sendPostedEvents(receiver, type);
  receiver->removeEventFilter(&filter);
  return filter.Killed;
}

// ---- the running copy --------------------------------------------------------------------

std::string ActivationServerName(const std::string& title, int pid) {
  std::string name = "zelmora-";
  for (char c : title) name += IsPathDelimiter(c) || uint8_t(c) < 32 || c == ' ' ? '_' : c;
  name += "-" + std::to_string(getuid()) + "-" + std::to_string(pid);
  // The user's own runtime folder where there is one; Qt's temporary folder otherwise.
  const std::string runtime = GetEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.empty() && DirectoryExists(runtime)) name = IncludeTrailingPathDelimiter(runtime) + name;
  return name;
}

namespace {

constexpr int kAnswerMs = 2000;

void Answer(QLocalSocket* socket) {
  // One short request a connection; anything longer is not ours.
  if (!socket->canReadLine()) {
    if (socket->bytesAvailable() > 64) socket->abort();
    return;
  }
  const QByteArray request = socket->readLine(65).trimmed();
  if (request == "activate") {
    if (QWidget* form = ApplicationMainForm()) ActivateWindow(form);
    socket->write("ok\n");
  } else {
    socket->write("unknown\n");
  }
  socket->flush();
  socket->disconnectFromServer();
}

}  // namespace

bool ListenForActivation(const std::string& title) {
  static QPointer<QLocalServer> server;
  const QString name = ToQString(ActivationServerName(title, int(getpid())));
  if (server && server->serverName() == name) return true;
  delete server;
  server = new QLocalServer(qApp);
  server->setSocketOptions(QLocalServer::UserAccessOption);
  // A socket left by a crashed copy of the same process id is stale.
  QLocalServer::removeServer(name);
  if (!server->listen(name)) {
    delete server;
    return false;
  }
  QObject::connect(server, &QLocalServer::newConnection, server, [] {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] { Answer(socket); });
      Answer(socket);
    }
  });
  return true;
}

bool ActivatePrevInstance(const std::string& title) {
  const int pid = FindPrevInstance(title);
  if (pid == 0) return false;
  QLocalSocket socket;
  socket.connectToServer(ToQString(ActivationServerName(title, pid)));
  if (!socket.waitForConnected(kAnswerMs)) return false;
  socket.write("activate\n");
  if (!socket.waitForBytesWritten(kAnswerMs)) return false;
  while (!socket.canReadLine())
    if (!socket.waitForReadyRead(kAnswerMs)) return false;
  return socket.readLine(64).trimmed() == "ok";
}

// ---- drawing on the screen -----------------------------------------------------------------

namespace {

// The window over the whole desktop that shows what screen canvases drew: the pixels that
// differ from the screen as it was when the drawing began, nothing elsewhere. It takes no
// input and no focus; a mask keeps it see-through also where the desktop has no
// compositor.
class TScreenOverlay : public QWidget {
 public:
  TScreenOverlay()
      : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                             Qt::X11BypassWindowManagerHint) {
    setObjectName("ScreenOverlay");
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

  static TScreenOverlay& Get() {
    static QPointer<TScreenOverlay> overlay;
    if (!overlay) overlay = new TScreenOverlay;
    return *overlay;
  }

  // A canvas begins: the screen as it is now, unless something drawn is showing (a grab
  // would see it) or another canvas is drawing on the last one.
  void Begin() {
    if (FCanvases++ > 0 || FShowing) return;
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desk = screen ? screen->virtualGeometry() : QRect(0, 0, 1024, 768);
    QImage shot;
    if (screen) shot = screen->grabWindow(0, desk.x(), desk.y(), desk.width(), desk.height()).toImage();
    if (shot.isNull()) {
      shot = QImage(desk.size(), QImage::Format_RGB32);
      shot.fill(Qt::black);
    }
    shot = shot.convertToFormat(QImage::Format_RGB32).scaled(desk.size());
    QImageToBitmap(shot, FBefore);
    QImageToBitmap(shot, Screen);
    setGeometry(desk);
  }

  // Shows the pixels that differ from the screen as it was; hides when none do.
  void Refresh() {
    const int w = Screen.Width(), h = Screen.Height();
    QImage shown(w, h, QImage::Format_ARGB32);
    shown.fill(Qt::transparent);
    bool any = false;
    for (int y = 0; y < h; ++y) {
      const uint8_t* now = Screen.ScanLine(y);
      const uint8_t* was = FBefore.ScanLine(y);
      auto* out = reinterpret_cast<QRgb*>(shown.scanLine(y));
      for (int x = 0; x < w; ++x, now += 4, was += 4)
        if (now[0] != was[0] || now[1] != was[1] || now[2] != was[2]) {
          out[x] = qRgb(now[2], now[1], now[0]);
          any = true;
        }
    }
    FShowing = any;
    if (!any) {
      hide();
      FShown = QImage();
      return;
    }
    FShown = shown;
    setMask(QBitmap::fromImage(shown.createAlphaMask()));
    show();
    update();
  }

  // A canvas ends: what it drew is shown; with nothing showing and no canvas left, the
  // pictures of the screen are let go.
  void End() {
    --FCanvases;
    Refresh();
    if (!FShowing && FCanvases == 0) {
      Screen.SetSize(1, 1);
      FBefore.SetSize(1, 1);
    }
  }

  void Clear() {
    FShowing = false;
    FShown = QImage();
    hide();
  }

  TBitmap Screen{1, 1, pf32bit};

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (!FShown.isNull()) p.drawImage(0, 0, FShown);
  }

 private:
  TBitmap FBefore{1, 1, pf32bit};
  QImage FShown;
  bool FShowing = false;
  int FCanvases = 0;
};

}  // namespace

TScreenCanvas::TScreenCanvas() : TCanvas(&TScreenOverlay::Get().Screen) { TScreenOverlay::Get().Begin(); }

TScreenCanvas::~TScreenCanvas() { TScreenOverlay::Get().End(); }

void TScreenCanvas::Update() { TScreenOverlay::Get().Refresh(); }

TPoint TScreenCanvas::Origin() {
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect desk = screen ? screen->virtualGeometry() : QRect();
  return TPoint(desk.x(), desk.y());
}

void ClearScreenDrawing() { TScreenOverlay::Get().Clear(); }

namespace {
void InvertPixel(TCanvas& c, int x, int y) {
  const TColor v = c.Pixels(x, y);
  if (v != clNone) c.SetPixels(x, y, v ^ 0xFFFFFF);
}
}  // namespace

void DrawInvertFrame(const TRect& screenRect, int width) {
  TScreenCanvas c;
  const TPoint o = TScreenCanvas::Origin();
  const int64_t W = c.Bitmap()->Width(), H = c.Bitmap()->Height();
  const int64_t L = int64_t(screenRect.Left) - o.X, T = int64_t(screenRect.Top) - o.Y;
  const int64_t R = int64_t(screenRect.Right) - o.X, B = int64_t(screenRect.Bottom) - o.Y;
  auto dot = [&](int64_t x, int64_t y) {
    if (x >= 0 && y >= 0 && x < W && y < H && ((x + y) & 1) == 0) InvertPixel(c, int(x), int(y));
  };
  // One ring of a focus frame a step, each inside the last: every other pixel, by the parity
  // of its place, each once. Only the rings and parts of rings on the screen are walked.
  const int64_t first = std::max<int64_t>(0, std::min(std::min(-L, -T), std::min(R - W, B - H)));
  for (int64_t i = first; i < width; ++i) {
    const int64_t l = L + i, t = T + i, r = R - i, b = B - i;
    if (r <= l || b <= t || l >= W || t >= H || r <= 0 || b <= 0) break;
    for (int64_t x = std::max<int64_t>(l, 0); x < std::min(r, W); ++x) {
      dot(x, t);
      if (b - 1 != t) dot(x, b - 1);
    }
    for (int64_t y = std::max<int64_t>(t + 1, 0); y < std::min(b - 1, H); ++y) {
      dot(l, y);
      if (r - 1 != l) dot(r - 1, y);
    }
  }
}

void PaintInverseRect(const TPoint& rectOrg, const TPoint& rectEnd) {
  TScreenCanvas c;
  const TPoint o = TScreenCanvas::Origin();
  const int64_t l = int64_t(std::min(rectOrg.X, rectEnd.X)) - o.X,
                r = int64_t(std::max(rectOrg.X, rectEnd.X)) - o.X;
  const int64_t t = int64_t(std::min(rectOrg.Y, rectEnd.Y)) - o.Y,
                b = int64_t(std::max(rectOrg.Y, rectEnd.Y)) - o.Y;
  for (int64_t y = std::max<int64_t>(t, 0); y < std::min<int64_t>(b, c.Bitmap()->Height()); ++y)
    for (int64_t x = std::max<int64_t>(l, 0); x < std::min<int64_t>(r, c.Bitmap()->Width()); ++x)
      InvertPixel(c, int(x), int(y));
}

// ---- what a control covers -------------------------------------------------------------------

void CopyParentImage(QWidget* control, TCanvas& dest) {
  QWidget* parent = control ? control->parentWidget() : nullptr;
  if (!parent || control->isWindow()) return;
  const QRect area = control->geometry();
  if (area.isEmpty()) return;
  QImage image(area.size(), QImage::Format_RGB32);
  image.fill(parent->palette().color(parent->backgroundRole()));
  {
    QPainter p(&image);
    // The parent's own painting without its children, then the siblings beneath the
    // control, the lowest first (Qt keeps children in their stacking order).
    parent->render(&p, QPoint(0, 0), QRegion(area), QWidget::DrawWindowBackground);
    for (QObject* o : parent->children()) {
      if (o == control) break;
      auto* sibling = qobject_cast<QWidget*>(o);
      if (!sibling || sibling->isWindow() || !sibling->isVisible()) continue;
      const QRect overlap = sibling->geometry() & area;
      if (overlap.isEmpty()) continue;
      sibling->render(&p, overlap.topLeft() - area.topLeft(), QRegion(overlap.translated(-sibling->pos())),
                      QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
  }
  TBitmap under;
  QImageToBitmap(image, under);
  dest.Draw(0, 0, &under);
}
