// The program's entry point: the application object under the product's title, the forms
// in their order, the message loop.
#include <exception>
#include <string>
#include <vector>

#include <QApplication>
#include <QSessionManager>

#include "POP/PopForms.h"
#include "app/AppEnvironment.h"
#include "app/Unitmain.h"
#include "app/forms/Unitaboutbox.h"
#include "app/forms/Unitedithtmlhead.h"
#include "app/forms/Uniteditprojectsize.h"
#include "app/forms/Uniteditsize.h"
#include "app/forms/Unitediturl.h"
#include "app/forms/Unitglobal.h"
#include "app/forms/Unitgridsize.h"
#include "app/forms/Unitimageacquire.h"
#include "app/forms/Unitimagebrowser.h"
#include "app/forms/Unitimagemap.h"
#include "app/forms/Unitlibrary.h"
#include "app/forms/Unitpleasewait.h"
#include "app/forms/Unitresize.h"
#include "app/forms/Unitsplash.h"
#include "app/forms/Unittipoftheday.h"
#include "app/forms/Unittoolbar.h"
#include "engine/XZLMButton.h"
#include "gif/UtilityUnits.h"
#include "gif/gui/Vclutils.h"
#include "platform/Services.h"
#include "platform/WaitIndicator.h"
#include "platform/gui/QtServices.h"

namespace {

// The application object shows an exception that escapes an event handler, as the
// component library's does, and the loop goes on. Qt itself would let it unwind through
// its own frames, which it does not support.
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* e) override {
    try {
      return QApplication::notify(receiver, e);
    } catch (const std::exception& ex) { ShowException(ex.what()); }
    return false;
  }
  static void ShowException(const std::string& message) {
    Services().MessageBox(message, ApplicationTitle(), MB_OK | MB_ICONEXCLAMATION);
  }
};

}  // namespace

int main(int argc, char** argv) {
  // The Services tab's browser shares the window's OpenGL contexts; that must be asked for
  // before the application object exists.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // QApplication takes its own options out of argv first.
  TApplication app(argc, argv);
  InstallQtServices();
  InitUtilityUnits();
  // A relative project path means the folder the program was started from; the main window
  // changes to the program's own folder before it opens the project.
  std::vector<std::string> args = ProgramArguments(argc, argv);

  try {
    InitEnvironment();
    ApplicationTitle() = "Varnholt Zelmora";
    QApplication::setApplicationName(QString::fromStdString(ApplicationTitle()));

    // The forms in their order; the main window's start-up steps run when it is first
    // shown, so every other form exists by then.
    auto* formMain = new TFormMain;
    formMain->CommandLine = args;
    SetApplicationMainForm(formMain);
    // A later copy of the program that finds this one (ActivatePrevInstance) can ask it to
    // come to the front.
    ListenForActivation(ApplicationTitle());
    FormTools = new TFormTools;
    FormImageMap = new TFormImageMap;
    FormLibrary = new TFormLibrary;
    FormResize = new TFormResize;
    FormGridSize = new TFormGridSize;
    FormAboutBox = new TFormAboutBox;
    FormEditHTMLHead = new TFormEditHTMLHead;
    FormEditSize = new TFormEditSize;
    FormEditURL = new TFormEditURL;
    FormGlobal = new TFormGlobal;
    FormImageBrowser = new TFormImageBrowser;
    FormImageAcquire = new TFormImageAcquire;
    FormPleaseWait = new TFormPleaseWait;
    SetWaitIndicator(FormPleaseWait);
    FormSplash = new TFormSplash;
    SetSplashProgress(FormSplash);
    FormTipOfTheDay = new TFormTipOfTheDay;
    FormEditProjectSize = new TFormEditProjectSize;

    // As the component library's application does, closing the main form ends the program,
    // whatever other windows are still open: the tips, a floating tool window (which the
    // browser of the Services tab can leave without its owner).
    QObject::connect(formMain, &TFormMain::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // Ended from outside: a desktop logout asks through the session manager, a closed terminal
    // or a plain logout sends a signal. Unsaved work is asked about or kept, never dropped.
    formMain->InstallEndSignals();
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, formMain,
        [formMain](QSessionManager& manager) {
          if (!formMain->CommitSessionData(manager.allowsInteraction())) manager.cancel();
        },
        Qt::DirectConnection);
    formMain->show();
    app.exec();

    // The application frees its forms: the main window first, as the main form, then the
    // others from the last created. The docked windows are the main window's children by
    // then and go with it (their globals are cleared as they go).
    delete formMain;
    delete FormEditProjectSize;
    delete FormTipOfTheDay;
    SetSplashProgress(nullptr);
    delete FormSplash;
    FormSplash = nullptr;
    SetWaitIndicator(nullptr);
    delete FormPleaseWait;
    FormPleaseWait = nullptr;
    delete FormImageAcquire;
    delete FormImageBrowser;
    delete FormGlobal;
    delete FormEditURL;
    delete FormEditSize;
    delete FormEditHTMLHead;
    delete FormAboutBox;
    delete FormGridSize;
    delete FormResize;
    delete FormLibrary;
    delete FormImageMap;
    delete FormTools;
    FreeBanner();
  } catch (const std::exception& ex) { TApplication::ShowException(ex.what()); }
  ReleaseEnvironment();
  DoneUtilityUnits();
  return 0;
}
