// Services that only the GUI can provide, behind one interface so that everything below the
// GUI line (and its tests) runs without a display. The Qt layer installs its implementation
// at start; tests install a scripted one. The printer's drawing session (PrinterService.h)
// and the wait indicator (WaitIndicator.h) are installed the same way.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Message-box flags and results, with their classic values.
constexpr uint32_t MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
                   MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30, MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

class TServices {
 public:
  virtual ~TServices() = default;
  // Returns the id of the pressed button.
  virtual int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) = 0;
  virtual void Beep() = 0;
  // Opens a document or URL with the desktop's handler; false when it could not be started
  // or reported at once that it could not open it (no browser, a browser that will not run).
  virtual bool OpenUrl(const std::string& url) = 0;
  // Starts a program with an argument vector (argv[0] is the program); never through a shell.
  virtual bool Launch(const std::vector<std::string>& argv) = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  virtual void ScreenSize(int& width, int& height) = 0;

  // The rest has harmless defaults for builds without a GUI: dialogs are cancelled, the
  // clipboard is a private text.
  // A folder chooser starting at `folder`; false when cancelled.
  virtual bool BrowseFolderDialog(const std::string& caption, std::string& folder) { return false; }
  virtual bool InputBox(const std::string& caption, const std::string& prompt, std::string& value) {
    return false;
  }
  // A choice of one of the items, `selected` chosen at first; the index, -1 when cancelled.
  virtual int ChooseItem(const std::string& caption, const std::string& prompt,
                         const std::vector<std::string>& items, int selected) {
    return -1;
  }
  // The desktop's MIME type of a file (by its content when it exists, else by its name),
  // followed by the types it is a kind of ("text/html", "text/plain"); empty without a GUI.
  virtual std::vector<std::string> FileTypes(const std::string& fileName) { return {}; }
  virtual void SetClipboardText(const std::string& text) { FClipboard = text; }
  virtual std::string ClipboardText() { return FClipboard; }
  // Called now and then while this thread waits for something outside the program (a network
  // answer): the windows paint, user input stays queued until the wait ends.
  virtual void PaintWhileWaiting() {}
  // Asks the application to end after the events already queued.
  virtual void Terminate() {}
  // Handles the events that are waiting, so that windows stay alive during a wait.
  virtual void ProcessMessages() {}
  // The part of the screen that windows may take (without the desktop's panels); the whole
  // screen where the desktop names none.
  virtual void WorkArea(int& left, int& top, int& width, int& height) {
    left = top = 0;
    ScreenSize(width, height);
  }

 private:
  std::string FClipboard;
};

// The default answers every box with its default button, writes it to stderr and starts
// processes with posix_spawn; a GUI build replaces it.
class TConsoleServices : public TServices {
 public:
  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) override;
  void Beep() override {}
  bool OpenUrl(const std::string& url) override;
  bool Launch(const std::vector<std::string>& argv) override;
  void SetBusyCursor(bool) override {}
  void ScreenSize(int& width, int& height) override {
    width = 1024;
    height = 768;
  }
};

TServices& Services();
// Installs an implementation (not owned); nullptr restores the default.
void SetServices(TServices* services);

// The first button of a flag set: the answer of a box nobody can see.
int DefaultButton(uint32_t flags);

// Starts argv without a shell and without waiting; false when it could not be spawned.
bool SpawnDetached(const std::vector<std::string>& argv);
// Hands a document or URL, as it stands, to the desktop's opener (xdg-open), which finds the
// desktop's application for it; false for an empty text, one beginning with "-", or when the
// opener could not be started.
bool OpenWithDesktopOpener(const std::string& url);
// Starts argv detached like SpawnDetached and watches it for at most waitMs milliseconds:
// false when it could not be started or ended with a failure within that time; true when it
// ended successfully or still runs then (an opener that stays with the browser it started).
bool SpawnWatched(const std::vector<std::string>& argv, int waitMs);
// How long the desktop's opener is watched: long enough to see "no browser" and a browser
// that refuses to start, short enough not to hold the program while a browser comes up.
constexpr int kOpenerWaitMs = 2000;
