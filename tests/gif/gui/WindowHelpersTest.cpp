// Placing, merging and bringing windows to front, events taken out of the queue, and the
// running copy's activation (with a second program as the other copy).
#include <gtest/gtest.h>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocalSocket>
#include <QMainWindow>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "gif/Vclutils.h"
#include "gif/gui/Apputils.h"
#include "gif/gui/Vclutils.h"
#include "platform/InstanceLock.h"
#include "platform/PrinterService.h"
#include "platform/Services.h"
#include "platform/gui/QtServices.h"
#include "tests/support/TestSupport.h"

namespace {

QRect Area() { return QGuiApplication::primaryScreen()->availableGeometry(); }

TEST(WindowHelpers, CenterWindowKeepsTheWindowOnTheScreen) {
  const QRect area = Area();
  QWidget small;
  small.resize(200, 100);
  small.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&small));
  CenterWindow(&small);
  const QRect f = small.frameGeometry();
  EXPECT_LE(std::abs(f.center().x() - area.center().x()), 1);
  EXPECT_LE(std::abs(f.center().y() - area.center().y()), 1);
  // Larger than the screen: its top-left corner on the screen, never off it.
  QWidget big;
  big.resize(area.width() + 300, area.height() + 200);
  big.show();
  CenterWindow(&big);
  EXPECT_EQ(big.frameGeometry().topLeft(), area.topLeft());
  // Wide only: centred vertically, flush left.
  big.resize(area.width() + 300, 100);
  CenterWindow(&big);
  EXPECT_EQ(big.frameGeometry().left(), area.left());
  EXPECT_LE(std::abs(big.frameGeometry().center().y() - area.center().y()), 1);
  CenterWindow(nullptr);
}

TEST(WindowHelpers, ScreenWorkAreaIsTheScreensFreeArea) {
  InstallQtServices();
  const QRect area = Area();
  EXPECT_EQ(ScreenWorkArea(), TRect(area.left(), area.top(), area.right() + 1, area.bottom() + 1));
  SetServices(nullptr);
  SetPrinterService(nullptr);
}

TEST(WindowHelpers, CenterControlAndMergeForm) {
  QWidget parent;
  parent.resize(300, 200);
  QWidget child(&parent);
  child.resize(100, 50);
  CenterControl(&child);
  EXPECT_EQ(child.pos(), QPoint(100, 75));
  child.resize(400, 50);
  CenterControl(&child);
  EXPECT_EQ(child.pos(), QPoint(-50, 75)) << "a control larger than its parent is centred all the same";
  QWidget window;
  window.move(33, 44);
  CenterControl(&window);
  EXPECT_EQ(window.pos(), QPoint(33, 44)) << "a window has no parent to be centred in";

  // A form with its own frame becomes a frameless part of the host, filling it.
  QWidget host;
  host.resize(240, 160);
  auto* form = new QMainWindow;
  form->setWindowTitle("Embedded");
  new QLabel("inside", form);
  MergeForm(&host, form, true);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  EXPECT_EQ(form->parentWidget(), &host);
  EXPECT_FALSE(form->isWindow());
  EXPECT_TRUE(form->isVisible());
  QTRY_COMPARE(form->geometry(), host.rect());
  host.resize(300, 100);
  QTRY_COMPARE(form->geometry(), host.rect());
  // Not shown when not asked.
  QWidget host2;
  auto* hidden = new QWidget;
  MergeForm(&host2, hidden, false);
  host2.show();
  EXPECT_FALSE(hidden->isVisible());
  MergeForm(nullptr, hidden, true);
  MergeForm(&host2, &host2, true);  // nothing to merge
}

TEST(WindowHelpers, ShowCommandsAndBringingToFront) {
  QMainWindow a, b;
  a.setGeometry(20, 20, 200, 100);
  b.setGeometry(260, 20, 200, 100);
  EXPECT_EQ(WindowClassName(&a), "QMainWindow");
  EXPECT_EQ(WindowClassName(nullptr), "");
  ShowWinNoAnimate(&a, SW_SHOWNORMAL);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&a));
  EXPECT_TRUE(IsForegroundTask());
  // Shown without asking for the activation. (Qt's offscreen platform activates every window
  // it shows, so whether a stays active is the desktop's to show, not this test's.)
  ShowWinNoAnimate(&b, SW_SHOWNOACTIVATE);
  EXPECT_TRUE(b.isVisible());
  EXPECT_FALSE(b.testAttribute(Qt::WA_ShowWithoutActivating)) << "the window's own setting comes back";
  struct {
    int cmd;
    bool visible, minimized, maximized;
  } cases[] = {{SW_SHOWMINIMIZED, true, true, false}, {SW_SHOWMAXIMIZED, true, false, true},
               {SW_RESTORE, true, false, false},      {SW_MINIMIZE, true, true, false},
               {SW_SHOW, true, true, false},          {SW_SHOWNORMAL, true, false, false},
               {SW_HIDE, false, false, false}};
  for (auto c : cases) {
    ShowWinNoAnimate(&b, c.cmd);
    EXPECT_EQ(b.isVisible(), c.visible) << c.cmd;
    EXPECT_EQ(b.isMinimized(), c.minimized) << c.cmd;
    EXPECT_EQ(b.isMaximized(), c.maximized) << c.cmd;
  }
  // Bringing to front: a minimised window stays so unless asked to be restored.
  b.showMinimized();
  SwitchToWindow(&b, false);
  EXPECT_TRUE(b.isMinimized());
  ActivateWindow(&b);
  EXPECT_FALSE(b.isMinimized());
  QTRY_VERIFY(b.isActiveWindow());
  SwitchToWindow(&a, true);
  QTRY_VERIFY(a.isActiveWindow());
  // Nothing of the program active.
  a.hide();
  b.hide();
  QTRY_VERIFY(!IsForegroundTask());
  SwitchToWindow(nullptr, true);
}

// A numbered event that keeps its number when Qt copies it.
class TNumbered : public QEvent {
 public:
  static QEvent::Type Kind() {
    static const int t = QEvent::registerEventType();
    return QEvent::Type(t);
  }
  explicit TNumbered(int n, QEvent::Type type = Kind()) : QEvent(type), N(n) {}
  TNumbered* clone() const override { return new TNumbered(*this); }
  int N;
};

class TRecorder : public QObject {
 public:
  std::vector<int> Got;
  bool event(QEvent* e) override {
    if (auto* n = dynamic_cast<TNumbered*>(e)) {
      Got.push_back(n->N);
      return true;
    }
    return QObject::event(e);
  }
};

TEST(WindowHelpers, KillMessageTakesOnePendingEventAndKeepsTheRest) {
  static const QEvent::Type other = QEvent::Type(QEvent::registerEventType());
  TRecorder r, elsewhere;
  QCoreApplication::postEvent(&r, new TNumbered(1));
  QCoreApplication::postEvent(&r, new TNumbered(10, other));
  QCoreApplication::postEvent(&r, new TNumbered(2));
  QCoreApplication::postEvent(&r, new TNumbered(3));
  QCoreApplication::postEvent(&elsewhere, new TNumbered(4));
  EXPECT_TRUE(KillMessage(&r, TNumbered::Kind()));
  EXPECT_TRUE(r.Got.empty()) << "the rest stay pending";
  QCoreApplication::processEvents();
  std::vector<int> got = r.Got;
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, std::vector<int>({2, 3, 10}));
  std::vector<int> same;
  for (int n : r.Got)
    if (n != 10) same.push_back(n);
  EXPECT_EQ(same, std::vector<int>({2, 3})) << "in their order";
  EXPECT_EQ(elsewhere.Got, std::vector<int>({4})) << "another receiver's events are not touched";
  EXPECT_FALSE(KillMessage(&r, TNumbered::Kind())) << "nothing pending";
  EXPECT_FALSE(KillMessage(nullptr, TNumbered::Kind()));
  // A quit request is taken only when it is the one asked for.
  QCoreApplication::postEvent(&r, new TNumbered(5));
  EXPECT_FALSE(KillMessage(&r, QEvent::Quit));
  QCoreApplication::processEvents();
  EXPECT_EQ(r.Got.back(), 5);
}

TEST(WindowHelpers, AppTaskbarIconsMakesTheOtherFormsTransientForTheMainForm) {
  QMainWindow mainForm;
  QWidget tool, dialog;
  SetApplicationMainForm(&mainForm);
  mainForm.show();
  tool.show();
  AppTaskbarIcons(true);
  ASSERT_NE(tool.windowHandle(), nullptr);
  ASSERT_NE(dialog.windowHandle(), nullptr) << "a hidden form is made ready too";
  EXPECT_EQ(tool.windowHandle()->transientParent(), mainForm.windowHandle());
  EXPECT_EQ(dialog.windowHandle()->transientParent(), mainForm.windowHandle());
  EXPECT_EQ(mainForm.windowHandle()->transientParent(), nullptr);
  AppTaskbarIcons(false);
  EXPECT_EQ(tool.windowHandle()->transientParent(), nullptr);
  EXPECT_EQ(dialog.windowHandle()->transientParent(), nullptr);
  SetApplicationMainForm(nullptr);
}

// The answer of this process's activation listener to one request.
std::string Ask(const std::string& title, const QByteArray& request) {
  QLocalSocket s;
  s.connectToServer(ToQString(ActivationServerName(title, int(getpid()))));
  if (!s.waitForConnected(1000)) return "no connection";
  s.write(request);
  s.flush();
  QByteArray answer;
  QElapsedTimer t;
  t.start();
  // The listener answers from this process's event loop.
  while (!answer.contains('\n') && s.state() == QLocalSocket::ConnectedState && t.elapsed() < 3000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    s.waitForReadyRead(10);
    answer += s.readAll();
  }
  return answer.trimmed().toStdString();
}

TEST(WindowHelpers, TheListenerBringsTheMainFormToTheFront) {
  QMainWindow mainForm, other;
  mainForm.setGeometry(10, 10, 100, 100);
  other.setGeometry(200, 10, 100, 100);
  SetApplicationMainForm(&mainForm);
  mainForm.showMinimized();
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  ASSERT_TRUE(ListenForActivation("Listener Test"));
  EXPECT_TRUE(ListenForActivation("Listener Test")) << "listening twice is listening";
  EXPECT_EQ(Ask("Listener Test", "hello\n"), "unknown");
  EXPECT_TRUE(other.isActiveWindow());
  EXPECT_EQ(Ask("Listener Test", "activate\n"), "ok");
  QTRY_VERIFY(mainForm.isActiveWindow());
  EXPECT_FALSE(mainForm.isMinimized());
  // A request far too long for a line of ours is cut off without an answer.
  EXPECT_EQ(Ask("Listener Test", QByteArray(200, 'x')), "");
  SetApplicationMainForm(nullptr);
}

TEST(WindowHelpers, ActivatePrevInstanceAsksTheOtherRunningCopy) {
  TempDir cfg;
  ScopedEnv env("ZELMORA_CONFIG", cfg.Path());
  const std::string title = "Activation Test";
  EXPECT_FALSE(ActivatePrevInstance(title)) << "no other copy runs";

  auto start = [&](const char* mode, QProcess& copy) {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("ZELMORA_CONFIG", ToQString(cfg.Path()));
    e.insert("QT_QPA_PLATFORM", "offscreen");
    copy.setProcessEnvironment(e);
    copy.start(ZELMORA_ACTIVATION_COPY, {ToQString(title), mode});
    EXPECT_TRUE(copy.waitForStarted(5000));
    EXPECT_TRUE(copy.waitForReadyRead(15000));
    EXPECT_EQ(copy.readLine().trimmed().toStdString(), "ready");
    EXPECT_EQ(FindPrevInstance(title), int(copy.processId()));
  };
  {
    // A copy that holds the lock but does not answer: false, without waiting long.
    QProcess silent;
    start("silent", silent);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(ActivatePrevInstance(title));
    EXPECT_LT(t.elapsed(), 5000);
    silent.kill();
    silent.waitForFinished(5000);
  }
  QProcess copy;
  start("listen", copy);
  EXPECT_TRUE(ActivatePrevInstance(title));
  ASSERT_TRUE(copy.waitForFinished(15000));
  EXPECT_EQ(copy.exitCode(), 0);
  EXPECT_EQ(copy.readAll().trimmed().toStdString(), "activated") << "its main form came to the front";
  EXPECT_FALSE(ActivatePrevInstance(title)) << "the copy has ended";
}

}  // namespace
