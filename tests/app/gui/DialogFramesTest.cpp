// The program's dialogs as a real window manager sees them: every message box and dialog is
// a dialog to it (its window type), belongs to the main window (transient for it, so it stays
// above it and goes with it) and offers no minimise or maximise. The dialogs are shown by a
// child run of this test program on a virtual display with openbox; the test reads what the
// window manager made of each with xprop.
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTimer>

#include "POP/PopForms.h"
#include "app/forms/Unitaboutbox.h"
#include "app/forms/Unitedithtmlhead.h"
#include "app/forms/Uniteditprojectsize.h"
#include "app/forms/Uniteditsize.h"
#include "app/forms/Unitediturl.h"
#include "app/forms/Unitgridsize.h"
#include "app/forms/Unitresize.h"
#include "app/forms/Unittipoftheday.h"
#include "platform/Services.h"
#include "platform/gui/QtServices.h"
#include "tests/support/ProgramHome.h"
#include "tests/support/VirtualDesktop.h"

namespace {

constexpr const char* kChildMark = "ZELMORA_DIALOG_FRAMES_CHILD";

// The dialogs, each opened as the program opens it: the boxes through the services, the
// forms unowned, as the program makes them at its start, and shown modally.
const std::vector<std::pair<std::string, std::function<void()>>>& Dialogs() {
  static const std::vector<std::pair<std::string, std::function<void()>>> dialogs = {
      {"message box", [] { Say("A message."); }},
      {"question", [] { Ask("A question?"); }},
      {"warning", [] { Say("A warning.", MB_YESNOCANCEL | MB_ICONEXCLAMATION); }},
      {"input box",
       [] {
         std::string value = "8";
         Services().InputBox("Grid", "The grid's size:", value);
       }},
      {"grid size", [] { TFormGridSize().exec(); }},
      {"object size", [] { TFormEditSize().exec(); }},
      {"page size", [] { TFormEditProjectSize().exec(); }},
      {"position and size", [] { TFormResize().exec(); }},
      {"link address", [] { TFormEditURL().exec(); }},
      {"HTML head", [] { TFormEditHTMLHead().exec(); }},
      {"about box", [] { TFormAboutBox().exec(); }},
      {"tip of the day", [] { TFormTipOfTheDay().exec(); }},
  };
  return dialogs;
}

std::string Hex(WId id) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(id));
  return text;
}

// The ICCCM state of a window ("Normal", "Iconic") once it is `wanted`, or what it is after a
// few seconds.
std::string StateOnceItIs(const VirtualDesktop& x, const QString& id, const QString& wanted) {
  QString state;
  QElapsedTimer t;
  t.start();
  do {
    QRegularExpressionMatch m =
        QRegularExpression(R"(window state: (\w+))").match(x.Run("xprop", {"-id", id, "WM_STATE"}));
    state = m.hasMatch() ? m.captured(1) : "<none>";
  } while (state != wanted && t.elapsed() < 5000);
  return state.toStdString();
}

}  // namespace

// The child's part: the main window, then each dialog in turn, its X window named on standard
// output; it is closed when the parent has looked at it ("c" on standard input, then "n" for
// the next: the two processes have /tmp folders of their own).
TEST(DialogFramesChild, DISABLED_ShowEachDialog) {
  ASSERT_TRUE(getenv(kChildMark)) << "run by DialogFrames.EveryDialogIsADialogOfTheMainWindow";
  ASSERT_EQ(fcntl(0, F_SETFL, fcntl(0, F_GETFL) | O_NONBLOCK), 0);
  ProgramHome home;
  InstallQtServices();
  auto w = StartMainWindow();
  SetApplicationMainForm(w.get());  // as the program's main function does
  QApplication::setActiveWindow(w.get());
  ASSERT_TRUE(WaitUntilExposed(w.get(), 10000));
  std::printf("main %s\n", Hex(w->winId()).c_str());
  std::fflush(stdout);
  for (const auto& [name, open] : Dialogs()) {
    bool named = false;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&, name = name] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog || !dialog->isVisible()) return;
      if (!named) {
        if (!WaitUntilExposed(dialog, 0)) return;
        std::printf("dialog %s=%s\n", Hex(dialog->winId()).c_str(), name.c_str());
        std::fflush(stdout);
        named = true;
      } else if (char c; read(0, &c, 1) == 1 && c == 'c') {
        if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
        else dialog->close();
      }
    });
    poll.start();
    open();
    poll.stop();
    EXPECT_TRUE(named) << name;
    // The next dialog opens when the parent has seen this one go.
    std::printf("closed %s\n", name.c_str());
    std::fflush(stdout);
    QElapsedTimer wait;
    wait.start();
    char c;
    while (!(read(0, &c, 1) == 1 && c == 'n') && wait.elapsed() < 30000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  std::printf("end\n");
  std::fflush(stdout);
}

TEST(DialogFrames, EveryDialogIsADialogOfTheMainWindow) {
  VirtualDesktop x;
  ASSERT_FALSE(x.name.isEmpty()) << "Xvfb (Debian package xvfb) is needed and could not be started";
  ASSERT_TRUE(x.managed) << "openbox (Debian package openbox) is needed and did not take the display:\n"
                         << x.problem.toStdString();
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("DISPLAY", x.name);
  env.insert(kChildMark, "1");
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start("/proc/self/exe", {"--gtest_also_run_disabled_tests", "--gtest_filter=DialogFramesChild.*"});
  ASSERT_TRUE(child.waitForStarted(10000));
  std::string mainWindow, output, pending;
  std::map<std::string, QString> seen;  // dialog -> xprop of its window, once managed
  std::string mainMinimised;            // the main window's state, its dialog minimised
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 120000 && child.state() == QProcess::Running) {
    child.waitForReadyRead(100);
    pending += child.readAllStandardOutput().toStdString();
    size_t eol;
    while ((eol = pending.find('\n')) != std::string::npos) {
      const std::string line = pending.substr(0, eol);
      pending.erase(0, eol + 1);
      output += line + "\n";
      if (line.rfind("main ", 0) == 0) mainWindow = line.substr(5);
      if (line.rfind("closed ", 0) == 0) { child.write("n"); }
      if (line.rfind("dialog ", 0) != 0) continue;
      const size_t eq = line.find('=');
      const QString id = QString::fromStdString(line.substr(7, eq - 7));
      const std::string name = line.substr(eq + 1);
      // The window manager has taken the window once it has said what it allows there.
      QString props;
      QElapsedTimer managed;
      managed.start();
      do {
        props = x.Run("xprop", {"-id", id, "_NET_WM_WINDOW_TYPE", "WM_TRANSIENT_FOR",
                                "_NET_WM_ALLOWED_ACTIONS", "_MOTIF_WM_HINTS", "WM_NAME"});
      } while (!props.contains("_NET_WM_ALLOWED_ACTIONS") && managed.elapsed() < 10000);
      seen[name] = props;
      // Minimised, a dialog takes the window it belongs to with it: a modal dialog that went
      // alone would leave a main window that takes no input and shows nothing to answer. Once,
      // with the last dialog (a form the program makes without an owner), as the main window
      // stays minimised.
      if (name == Dialogs().back().first) {
        x.Run("xdotool", {"windowminimize", id});
        EXPECT_EQ(StateOnceItIs(x, id, "Iconic"), "Iconic") << name;
        mainMinimised = StateOnceItIs(x, QString::fromStdString(mainWindow), "Iconic");
      }
      child.write("c");
    }
  }
  if (child.state() != QProcess::NotRunning) {
    EXPECT_TRUE(child.waitForFinished(10000)) << output;
  }
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output;
  EXPECT_EQ(child.exitCode(), 0) << output;
  ASSERT_FALSE(mainWindow.empty()) << output;
  for (const auto& [name, open] : Dialogs()) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(seen.count(name)) << output;
    const QString& props = seen[name];
    const auto value = [&](const char* property) {
      QRegularExpressionMatch m =
          QRegularExpression(QString("^") + property + R"(\([A-Z]+\)[^=:]*[=:]\s*(.*)$)",
                             QRegularExpression::MultilineOption)
              .match(props);
      return m.hasMatch() ? m.captured(1).toStdString() : std::string("<none>");
    };
    // The grid dialog has the small title bar of a tool window: a utility window to the
    // window manager, which is a dialog's kind too.
    const std::string type = value("_NET_WM_WINDOW_TYPE");
    EXPECT_TRUE(type.find("_NET_WM_WINDOW_TYPE_DIALOG") == 0 ||
                (name == "grid size" && type.find("_NET_WM_WINDOW_TYPE_UTILITY") == 0))
        << props.toStdString();
    EXPECT_EQ(value("WM_TRANSIENT_FOR"), "window id # " + mainWindow) << props.toStdString();
    // The window asks for no minimise or maximise button or function (_MOTIF_WM_HINTS: flags,
    // functions, decorations: minimise 8 and maximise 16 of the functions, 32 and 64 of the
    // decorations, and not "all" in either). openbox still draws its minimise button
    // on every window, and minimises a dialog with its owner (below); maximise it refuses.
    QRegularExpressionMatch motif =
        QRegularExpression(
            R"(^_MOTIF_WM_HINTS\(_MOTIF_WM_HINTS\) = (0x[0-9a-f]+), (0x[0-9a-f]+), (0x[0-9a-f]+))",
            QRegularExpression::MultilineOption)
            .match(props);
    ASSERT_TRUE(motif.hasMatch()) << props.toStdString();
    const unsigned flags = motif.captured(1).toUInt(nullptr, 16),
                   functions = motif.captured(2).toUInt(nullptr, 16),
                   decorations = motif.captured(3).toUInt(nullptr, 16);
    EXPECT_EQ(flags & 3u, 3u) << props.toStdString();
    EXPECT_EQ(functions & (1u | 8u | 16u), 0u) << props.toStdString();
    EXPECT_EQ(decorations & (1u | 32u | 64u), 0u) << props.toStdString();
    const std::string actions = value("_NET_WM_ALLOWED_ACTIONS");
    EXPECT_EQ(actions.find("_NET_WM_ACTION_MAXIMIZE"), std::string::npos) << actions;
  }
  EXPECT_EQ(mainMinimised, "Iconic") << "the main window stayed while its dialog was minimised";
}
