// A Qt input plugin that plays the user inside the real program, for tests that must see the
// program itself start and end. Qt loads it into an unchanged program when the environment
// names it (QT_QPA_GENERIC_PLUGINS=zelmorauser:<steps>, with its folder on QT_PLUGIN_PATH).
// The steps are separated by "+" (Qt splits the variable at commas) and run in order once the main window is
// up, each when the one before has taken effect:
//   tips      Help > Tip of the Day (the tips window shows)
//   services  the Services tab is shown
//   editor    the Editor tab is shown
//   tools     Window > Show Properties until the Properties window floats and shows
//   newbutton Insert > New Button, once the start is over (the splash window has come and
//             gone, so the start project is loaded): the page has an unsaved change
//   exit      File > Exit
//   painted   the page of the main window has been painted for the first time (reported at
//             the paint itself, for timing the start)
// Each step done is written as "step <name>" on standard output; a step that does not take
// effect within ten seconds writes "stuck <name>".
#include <cstdio>

#include <QApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QGenericPlugin>
#include <QTabWidget>
#include <QTimer>

namespace {

QWidget* TopLevel(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == name) return w;
  return nullptr;
}

QWidget* MainWindow() {
  QWidget* w = TopLevel("FormMain");
  return w && w->isVisible() ? w : nullptr;
}

QAction* Command(const char* name) {
  QWidget* main = MainWindow();
  return main ? main->findChild<QAction*>(name) : nullptr;
}

QDockWidget* Tools() {
  if (auto* w = qobject_cast<QDockWidget*>(TopLevel("FormTools"))) return w;
  QWidget* main = MainWindow();
  return main ? main->findChild<QDockWidget*>("FormTools") : nullptr;
}

bool ShowTab(const char* sheet) {
  QWidget* main = MainWindow();
  auto* pages = main ? main->findChild<QTabWidget*>("PageControl") : nullptr;
  QWidget* page = pages ? pages->findChild<QWidget*>(sheet) : nullptr;
  if (!page) return false;
  pages->setCurrentWidget(page);
  return pages->currentWidget() == page && page->isVisible();
}

class TUserScript : public QObject {
 public:
  explicit TUserScript(const QString& steps) : FSteps(steps.split('+', Qt::SkipEmptyParts)) {
    FTimer.setInterval(100);
    connect(&FTimer, &QTimer::timeout, this, &TUserScript::Tick);
    FTimer.start();
    FClock.start();
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Paint && !FSteps.isEmpty() && FSteps.first() == "painted" &&
        watched->objectName() == "PaintBox") {
      auto* w = qobject_cast<QWidget*>(watched);
      if (w && w->window()->objectName() == "FormMain") {
        std::printf("step painted\n");
        std::fflush(stdout);
        FSteps.removeFirst();
        FClock.restart();
      }
    }
    return QObject::eventFilter(watched, e);
  }

 private:
  // One try at the current step; true when it has taken effect.
  bool Try(const QString& step) {
    if (!MainWindow()) return false;
    if (step == "tips") {
      QWidget* tips = TopLevel("FormTipOfTheDay");
      if (tips && tips->isVisible()) return true;
      if (QAction* a = Command("TBTipoftheDay")) a->trigger();
      return false;
    }
    if (step == "services") return ShowTab("TabSheetServices");
    if (step == "editor") return ShowTab("TabSheetScene");
    if (step == "tools") {
      QDockWidget* tools = Tools();
      if (tools && tools->isFloating() && tools->isVisible()) return true;
      if (QAction* a = Command("TBShowTools")) a->trigger();
      return false;
    }
    if (step == "newbutton") {
      QWidget* splash = TopLevel("FormSplash");
      if (splash && splash->isVisible()) FSplashSeen = true;
      QAction* a = Command("TBNewButton");
      // A start too quick for a tick to see the splash is over after a few seconds all the same.
      const bool started = FSplashSeen || FClock.elapsed() > 5000;
      if (!a || !started || (splash && splash->isVisible())) return false;
      a->trigger();
      return true;
    }
    if (step == "painted") return false;  // reported by the event filter
    if (step == "exit") {
      QAction* a = Command("MIExit");
      if (!a) return false;
      // Reported first: the program may end inside the command.
      std::printf("step exit\n");
      std::fflush(stdout);
      FSteps.removeFirst();
      a->trigger();
      return false;
    }
    return true;  // an unknown step is passed over
  }

  void Tick() {
    if (FSteps.isEmpty()) {
      FTimer.stop();
      return;
    }
    QString step = FSteps.first();
    if (Try(step)) {
      std::printf("step %s\n", qPrintable(step));
      std::fflush(stdout);
      FSteps.removeFirst();
      FClock.restart();
    } else if (!FSteps.isEmpty() && FSteps.first() == step && FClock.elapsed() > 10000) {
      std::printf("stuck %s\n", qPrintable(step));
      std::fflush(stdout);
      FSteps.clear();
    }
  }

  QStringList FSteps;
  bool FSplashSeen = false;
  QTimer FTimer;
  QElapsedTimer FClock;
};

}  // namespace

class TUserScriptPlugin : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "UserScriptPlugin.json")

 public:
  QObject* create(const QString& key, const QString& parameters) override {
    if (key.compare("zelmorauser", Qt::CaseInsensitive) != 0) return nullptr;
    return new TUserScript(parameters);
  }
};

#include "UserScriptPlugin.moc"
