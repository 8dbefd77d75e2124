// The main window's project file commands: open, new, save, save as, the recent files and
// the template library.
#include "app/Unitmain.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <QListWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QSocketNotifier>

#include "app/Unitmain_p.h"
#include "app/forms/Unitimagemap.h"
#include "engine/XImageCache.h"
#include "platform/MemoryStatus.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"
#include "platform/gui/QtListBox.h"

// --- Project files ---

// The question of a file dialog whose own overwrite prompt is switched off, so that it is
// asked about the name that will really be written.
static const char* const kReplaceQuestion = "<#filename> already exists.\nDo you want to replace it?";

// Menu captions treat "&" as the mark of an access key: a file name is shown with each "&"
// doubled, and read back by undoing that and dropping any single marks.
static QString RecentCaption(const std::string& fileName) { return Q(StringReplaceAll(fileName, "&", "&&")); }

static std::string RecentFileName(const QString& caption) {
  std::string text = caption.toStdString(), name;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      name += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '&') {
      name += '&';
      ++i;
    }
  }
  return name;
}

void TFormMain::LoadProject(const std::string& name, bool show) {
  RedrawScene(false);
  TScopedWait wait("Loading " + ExtractFileName(name), show);
  // The whole file is read and parsed before anything of the open page changes: a file that
  // cannot be read, that is not a project, or whose content cannot be read back, raises and
  // leaves the scene and its file name as they were, so no later save can write a page over it.
  // A save of this file that was ended on the way may have left a torn hard-linked file or
  // its private folder: both are mended before the file is read.
  RecoverDeadSaves(ExtractFilePath(ExpandFileName(name)));
  const TFileStamp stamp = FileStampOf(name);
  int gridX, gridY, w, h;
  TINILostLines lost;
  {
    // The document of a large page takes many times the file; once it and the page it
    // replaces are gone, whether the load worked or not, their memory goes back.
    struct GiveBack {
      ~GiveBack() { ReleaseFreedMemory(); }
    } giveBack;
    TINIDocument doc(name);
    lost = LoadProjectFile(doc, name);
    gridX = doc.ReadInteger("Heading", "GridX", 8);
    gridY = doc.ReadInteger("Heading", "GridY", 8);
    h = std::clamp(doc.ReadInteger("Heading", "ProjectHeight", 800), 1, kMaxPageSide);
    w = std::clamp(doc.ReadInteger("Heading", "ProjectWidth", 800), 1, kMaxPageSide);
    Scene->ReplaceFromINI(doc);
    // A project moved to another folder or machine together with its pictures: they are
    // taken into the image folder from beside it before anything is reported missing.
    const std::string folder = ExtractFilePath(ExpandFileName(name));
    Scene->TakeInMissingPictures({folder, folder + "Images/"});
  }
  ProjectFileName = name;
  ProjectFileStamp = stamp;
  ProjectLostLines = lost;
  FormActivate();
  Scene->GridX = gridX;
  Scene->GridY = gridY;
  // The page is rendered once: in a wait of its own when one is shown, else here.
  ApplyPageSize(w, h, !show);
  ChangeCount = 0;
  // Every control shows the opened page's current object, not the last page's.
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  if (show) {
    TScopedWait render("Rendering Display...", true);
    RedrawScene(true);
  }
}

std::string TFormMain::MissingPicturesText() const {
  if (Scene->MissingFiles.empty()) return "";
  std::string text = "These pictures of the project are neither in the folder " + LocalFile("Images") +
                     " nor beside the project; their objects are drawn without them:";
  for (const std::string& name : Scene->MissingFiles) text += "\n" + name;
  return text;
}

// A line of the user's file, shown in a message as it stands.
static std::string QuotedLine(const std::string& line) { return "\"" + line + "\""; }

// "3 lines that are not part of a project (the first: "...")".
static std::string LostLinesText(const TINILostLines& lost) {
  const bool one = lost.Count == 1;
  return IntToStr(lost.Count) + (one ? " line that is" : " lines that are") + " not part of a project" +
         (lost.Example.empty() ? std::string(one ? " (a key given twice)" : " (keys given twice)")
                               : " (the first: " + QuotedLine(lost.Example) + ")");
}

std::string TFormMain::OpenedProjectText() const {
  std::vector<std::string> parts;
  if (Scene->HeldObjects < Scene->NamedObjects)
    parts.push_back("The project " + ProjectFileName + " looks damaged (cut short?): it names " +
                    IntToStr(Scene->NamedObjects) + " objects but holds only " +
                    IntToStr(Scene->HeldObjects) +
                    ", and the page shows those. A Save into this file would keep only them; Save As under "
                    "another name leaves the file as it is.");
  if (ProjectLostLines.Count > 0) {
    parts.push_back("The file " + ProjectFileName + " holds " + LostLinesText(ProjectLostLines) +
                    ". The page does not show them, and a Save into this file would drop them: Save asks "
                    "first, and Save As under another name leaves the file as it is.");
  }
  if (std::string missing = MissingPicturesText(); !missing.empty()) parts.push_back(missing);
  std::string text;
  for (const std::string& p : parts) text += (text.empty() ? "" : "\n\n") + p;
  return text;
}

// Opens a project for a menu command; a file that fails is reported and changes nothing.
// Pictures the project names but that are missing are reported once, after the load.
std::string TFormMain::ProjectOpenElsewhereText(const std::string& name, int pid) {
  return "The project " + name + " is open in another copy of the program too (process " + IntToStr(pid) +
         "). What one copy saves replaces what the other saved; Save asks first when the file was changed "
         "meanwhile.";
}

static bool OpenProjectReported(TFormMain& w, const std::string& name) {
  if (const int pid = TFormMain::ProjectOpenElsewhere(name);
      pid && !Ask(TFormMain::ProjectOpenElsewhereText(name, pid) + "\nOpen it here too?"))
    return false;
  try {
    w.LoadProject(name, true);
  } catch (const std::exception& ex) {
    Say("The project " + name + " could not be opened:\n" + ex.what(), MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  const std::string told = w.OpenedProjectText();
  if (!told.empty()) Say(told, MB_OK | MB_ICONEXCLAMATION);
  return true;
}

void TFormMain::LoadTemplateLibrary(const std::string& name) {
  TINIDocument doc(name);
  if (!name.empty() && FileExists(name)) doc.LoadFromFile(name);
  TemplateLibrary->ReplaceFromINI(doc);
  QDockWidget* library = LibraryWindow();
  QListWidget* list = library ? library->findChild<QListWidget*>("ListTemplates") : nullptr;
  if (!list) return;
  list->clear();
  for (int i = 0; i < TemplateLibrary->Count(); ++i) {
    TZLMButton* t = TemplateLibrary->Button(i);
    auto* item = new TSortedListItem(Q(Trim(t->Text)));
    item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(t)));
    list->addItem(item);
  }
}

void TFormMain::MINewProjectClick(QObject*) {
  TCloseAction action = caFree;
  FormClose(nullptr, action);
  if (action == caNone) return;
  if (!Ask("Are you sure you want to begin a new project?")) return;
  TakeUndoSnapshot();
  SyncControlsFromButton(nullptr);
  ScrollBox->horizontalScrollBar()->setValue(0);
  ScrollBox->verticalScrollBar()->setValue(0);
  Scene->Clear();
  ReleaseFreedMemory();
  Scene->BGColor = 0xFF6060;
  ApplyPageSize(640, 480);
  ProjectFileName.clear();
  ChangeCount = 0;
  FormActivate();
}

void TFormMain::MIOpenProjectClick(QObject*) {
  TCloseAction action = caFree;
  FormClose(nullptr, action);
  if (action == caNone) return;
  TOpenDialog* dialog = OpenDialog();
  // The dialogs are shared: each command gives its own title.
  dialog->Title = "Open Project";
  dialog->Filter = kFilterZLM;
  dialog->FileName = ProjectFileName;
  if (!dialog->Execute()) return;
  update();
  ImageCache().UnloadAll();
  std::string name = dialog->FileName;
  if (!OpenProjectReported(*this, name)) return;
  for (int i = 4; i > 0; --i) {
    Recent[i]->setText(Recent[i - 1]->text());
    Recent[i]->setVisible(Recent[i - 1]->isVisible());
  }
  Recent[0]->setText(RecentCaption(name));
  Recent[0]->setVisible(true);
}

void TFormMain::Recent1Click(QObject* Sender) {
  auto* item = qobject_cast<QAction*>(Sender);
  if (!item) return;
  std::string name = RecentFileName(item->text());
  // Unsaved changes are asked about first, as for any other way of opening a project.
  TCloseAction action = caFree;
  FormClose(nullptr, action);
  if (action == caNone) return;
  OpenProjectReported(*this, name);
}

void TFormMain::MISaveClick(QObject* Sender) { SaveFileClick(Sender); }

bool TFormMain::ChangedOnDisk(const std::string& name) const {
  if (name.empty() || name != ProjectFileName) return false;
  const TFileStamp now = FileStampOf(name);
  // Nothing there is nothing to lose. A file that is there although this window never saw it
  // (a new page's name, taken meanwhile; a stamp that was not kept) may be somebody's work.
  if (!now.Exists) return false;
  const TFileStamp& then = ProjectFileStamp;
  // The content's stamps count; a change of mode or owner does not.
  return !then.Exists || now.Size != then.Size || now.Time != then.Time || now.Inode != then.Inode ||
         now.Device != then.Device;
}

void TFormMain::SaveFileClick(QObject* Sender) {
  // What is saved is what the user sees, the text being typed included.
  CommitMemo();
  std::string name = ProjectFileName;
  bool replaceAgreed = false;
  if (name.empty() || Sender == MISaveAs) {
    TSaveDialog* dialog = SaveDialog();
    dialog->Title = "Save As";
    dialog->FileName = ProjectFileName;
    // The dialog would ask about the name as typed; the file written always ends in ".zlm",
    // so the question is asked here, about that file.
    const bool prompt = dialog->Options & ofOverwritePrompt;
    dialog->Options &= ~TOpenOptions(ofOverwritePrompt);
    bool chosen = dialog->Execute();
    if (prompt) dialog->Options |= ofOverwritePrompt;
    if (!chosen) return;
    update();
    name = ChangeFileExt(dialog->FileName, ".zlm");
    // The open project's own file, written by somebody else meanwhile, gets the question
    // below, which says so, instead of this one.
    if (prompt && FileExists(name) && !ChangedOnDisk(name)) {
      if (!Ask(StringReplaceAll(kReplaceQuestion, "<#filename>", name))) return;
      replaceAgreed = true;
    }
  }
  // Somebody else wrote the file since this window read or wrote it: their work is not
  // replaced without a word.
  if (ChangedOnDisk(name)) {
    const int answer = Say(
        "The project " + name +
            " was changed on disk since it was opened or last saved here, by another program "
            "or another copy of this one.\n\n"
            "Yes: replace it with this page.\nNo: save this page under another name.\nCancel: do not save.",
        MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDNO) {
      SaveFileClick(MISaveAs);
      return;
    }
    if (answer != IDYES) return;
    replaceAgreed = true;
  }
  const std::string previous = ProjectFileName;
  ProjectFileName = name;
  FormActivate();
  std::string error;
  {
    // An existing project is read first, so that sections this save does not rewrite stay;
    // any other file that the user chose to replace is replaced whole.
    TINIDocument doc(name);
    TINILostLines lost;
    {
      TScopedWait wait("Saving " + ExtractFileName(name), false);
      try {
        if (FileExists(name)) {
          lost = doc.LoadFromString(ReadFileBytesAtMost(name, kMaxINIFileBytes));
          if (!IsProjectDocument(doc)) {
            doc.LoadFromString("");
            lost = {};
          }
        }
      } catch (const std::exception& ex) { error = ex.what(); }
    }
    // Lines of the file that are not part of a project would go with this save: the user
    // decides first, unless they chose to replace the file as a whole.
    if (error.empty() && lost.Count > 0 && !replaceAgreed) {
      const int answer = Say("The file " + name + " holds " + LostLinesText(lost) +
                                 ". Saving this page into it drops them.\n\n"
                                 "Yes: save and drop them.\nNo: save this page under another name.\n"
                                 "Cancel: do not save.",
                             MB_YESNOCANCEL | MB_ICONEXCLAMATION);
      if (answer != IDYES) {
        ProjectFileName = previous;
        FormActivate();
        if (answer == IDNO) SaveFileClick(MISaveAs);
        return;
      }
    }
    if (error.empty()) {
      TScopedWait wait("Saving " + ExtractFileName(name), false);
      try {
        WritePageInto(doc);
        doc.SaveToFile(name);
        ProjectFileStamp = FileStampOf(name);
        if (name == FUndoFileName) FUndoProjectStamp = ProjectFileStamp;
      } catch (const std::exception& ex) { error = ex.what(); }
    }
  }
  // The document of the save is gone: its memory goes back.
  ReleaseFreedMemory();
  if (!error.empty()) {
    // Nothing was written: the page stays unsaved under its old name, and the user knows.
    ProjectFileName = previous;
    FormActivate();
    Say("The project could not be saved.\n" + error, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  ChangeCount = 0;
  try {
    INIFileSettings().WriteString("Settings", "DefaultProject", ProjectFileName);
  } catch (const std::exception&) {
    // The project is saved; only the choice of the next start project is lost.
  }
}

void TFormMain::WritePageInto(TINIDocument& doc) {
  doc.WriteInteger("Heading", "GridX", Scene->GridX);
  doc.WriteInteger("Heading", "GridY", Scene->GridY);
  doc.WriteInteger("Heading", "ProjectWidth", Scene->Page->Width());
  doc.WriteInteger("Heading", "ProjectHeight", Scene->Page->Height());
  Scene->SaveToINI(doc);
}

// --- The program is ended from outside ---

std::string TFormMain::RecoveryFileName() { return LocalFile("recovery.zlm"); }

// A file's stamp as one line of text: "none" for no file, else its size, times, device and
// inode.
static std::string StampText(const TFileStamp& s) {
  if (!s.Exists) return "none";
  return std::to_string(s.Size) + " " + std::to_string(s.Time) + " " + std::to_string(s.ChangeTime) + " " +
         std::to_string(s.Device) + " " + std::to_string(s.Inode);
}

// The stamp of StampText; no file for "none" and for anything that is not one.
static TFileStamp StampFromText(const std::string& text) {
  TFileStamp s;
  long long size, time, change;
  unsigned long long device, inode;
  char extra;
  if (std::sscanf(text.c_str(), "%lld %lld %lld %llu %llu %c", &size, &time, &change, &device, &inode,
                  &extra) != 5 ||
      size < 0)
    return s;
  s.Exists = true;
  s.Size = size;
  s.Time = time;
  s.ChangeTime = change;
  s.Device = device;
  s.Inode = inode;
  return s;
}

bool TFormMain::WriteRecoveryFile() {
  if (ChangeCount == 0) return false;
  try {
    const std::string file = RecoveryFileName();
    TINIDocument doc(file);
    WritePageInto(doc);
    doc.WriteString("Recovery", "ProjectFileName", ProjectFileName);
    // What the window knew of that file: the file as it read or wrote it last, which the
    // unsaved page is an edit of, so that a Save of the page brought back asks if somebody
    // wrote the file since, before the end or after it.
    doc.WriteString("Recovery", "ProjectFileStamp", StampText(ProjectFileStamp));
    doc.SaveToFile(file);
    return true;
  } catch (const std::exception&) { return false; }
}

void TFormMain::OfferRecovery() {
  const std::string file = RecoveryFileName();
  if (!FileExists(file)) return;
  std::string original;
  TFileStamp stamp;
  try {
    TINIDocument doc(file);
    doc.LoadFromFile(file);
    original = doc.ReadString("Recovery", "ProjectFileName", "");
    stamp = StampFromText(doc.ReadString("Recovery", "ProjectFileStamp", ""));
  } catch (const std::exception&) {}
  const std::string what = original.empty() ? std::string("an unnamed page") : "the project " + original;
  const bool take = Ask("The program was ended while " + what +
                        " had unsaved changes, which were kept.\nDo you want to open them now? "
                        "(No discards them.)");
  if (take) {
    try {
      LoadProject(file, false);
      // The page is the unsaved one again: under its own project's name, not saved yet, with
      // the stamp its file had for the window that ended. The next Save asks if the file is
      // not that one now (written since, or replaced), also when the stamp was not kept; a file
      // that is gone is simply written.
      ProjectFileName = original;
      ProjectFileStamp = stamp;
      ChangeCount = 1;
      FormActivate();
    } catch (const std::exception& ex) {
      Say("The kept changes could not be opened.\n" + std::string(ex.what()), MB_OK | MB_ICONEXCLAMATION);
      return;  // the file stays for another try
    }
  }
  DeleteFile(file);
}

void (*TFormMain::EndProcess)(int signal) = [](int signal) {
  ::signal(signal, SIG_DFL);
  ::raise(signal);
  _exit(128 + signal);
};

namespace {
int gEndSignalPipe[2] = {-1, -1};
extern "C" void OnEndSignal(int signal) {
  const int saved = errno;
  const unsigned char c = static_cast<unsigned char>(signal);
  (void)!write(gEndSignalPipe[1], &c, 1);
  errno = saved;
}
}  // namespace

void TFormMain::InstallEndSignals() {
  // The handler only notes the signal; the page is written from the event loop, between two
  // events, so that no save of the program's own files is cut in the middle.
  if (gEndSignalPipe[0] < 0 && pipe2(gEndSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(gEndSignalPipe[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    unsigned char c = 0;
    if (read(gEndSignalPipe[0], &c, 1) == 1) EndBySignal(c);
  });
  struct sigaction sa {};
  sa.sa_handler = OnEndSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
}

void TFormMain::EndBySignal(int signal) {
  WriteRecoveryFile();
  EndProcess(signal);
}

bool TFormMain::CommitSessionData(bool interactive) {
  if (ChangeCount == 0) return true;
  if (!interactive) {
    WriteRecoveryFile();
    return true;
  }
  TCloseAction action = caFree;
  FormClose(nullptr, action);
  return action != caNone;
}
