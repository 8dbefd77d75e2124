// The main window's output and web commands: preview, export, the page builder, the HTML
// head, printing and the browser tab.
#include "app/Unitmain.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QPrintDialog>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "POP/PopBitmap.h"
#include "POP/PopHTML.h"
#include "POP/PopInno.h"
#include "POP/PopStrUtils.h"
#include "POP/PopTypes.h"
#include "POP/PopWinInet.h"
#include "app/AppEnvironment.h"
#include "app/Unitmain_p.h"
#include "app/forms/Unitedithtmlhead.h"
#include "app/forms/Unitimagemap.h"
#include "engine/TPageBuilder.h"
#include "engine/TTableMaker.h"
#include "engine/XBlend.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"

// --- Output and web ---

bool SelectionFitsOnePicture(const TRect& bounds, const char* what) {
  const int64_t w = int64_t(bounds.Right) - bounds.Left, h = int64_t(bounds.Bottom) - bounds.Top;
  if (ImageSizeAllowed(w, h)) return true;
  Say(std::string("The selection cannot be ") + what + ": as one picture it would be " + IntToStr(w) + " x " +
          IntToStr(h) + " pixels, but " + ImageSizeLimitText() +
          ".\nSelect objects that lie closer together.",
      MB_OK | MB_ICONEXCLAMATION);
  return false;
}

// The page pixels under the selected objects, or nullptr when nothing is selected. The caller
// has checked that they fit one picture.
static std::unique_ptr<XImage> SelectionCrop(ZButtonList& scene, TRect& bounds) {
  bounds = scene.GetBounds(false);
  if (!RectIsVisible(bounds)) return nullptr;
  auto crop = std::make_unique<XImage>();
  BitmapSnagIt(*crop, *scene.Page, bounds);
  return crop;
}

void TFormMain::MIPreviewInBrowserClick(QObject* Sender) {
  CommitMemo();
  TRect bounds;
  if (RectIsVisible(Scene->GetBounds(false)) &&
      !SelectionFitsOnePicture(Scene->GetBounds(false), "previewed"))
    return;
  std::unique_ptr<XImage> crop = SelectionCrop(*Scene, bounds);
  if (!crop) {
    Say("There is nothing to preview");
    return;
  }
  if (!FormImageMap) return;
  FormImageMap->Scene = Scene.get();
  FormImageMap->Image = crop.get();
  FormImageMap->CropRect = bounds;
  FormImageMap->Told.clear();
  // Links typed in the dialog change the objects at once: a change, undone as one.
  FormImageMap->OnLinksChanging = [this] { TakeUndoSnapshot(); };
  std::string error;
  try {
    if (Sender == ToolButtonPreview) {
      FormImageMap->ButtonPreviewClick();
    } else if (FormImageMap->exec() == QDialog::Accepted) {
      RedrawScene(false);
    }
  } catch (const std::exception& ex) { error = ex.what(); }
  // The dialog must not keep a picture that is freed here.
  FormImageMap->Image = nullptr;
  FormImageMap->OnLinksChanging = nullptr;
  if (!FormImageMap->Told.empty()) StatusBar->showMessage(Q(FormImageMap->Told));
  if (!error.empty()) Say("The preview could not be written.\n" + error, MB_OK | MB_ICONEXCLAMATION);
}

void TFormMain::ExportImageClick(QObject*) {
  CommitMemo();
  // Nothing to export is said before a name is asked for.
  TRect bounds;
  if (!RectIsVisible(Scene->GetBounds(false))) {
    Say("There are no buttons selected");
    return;
  }
  if (!SelectionFitsOnePicture(Scene->GetBounds(false), "exported")) return;
  TSavePictureDialog* dialog = SavePictureDialog();
  dialog->Title = "Export Image";
  // Every format the picture is written in, whatever the platform's picture classes are.
  dialog->Filter = XImageSaveFilter();
  if (!dialog->Execute()) return;
  repaint();
  // The selection may have changed while the dialog was up.
  if (RectIsVisible(Scene->GetBounds(false)) && !SelectionFitsOnePicture(Scene->GetBounds(false), "exported"))
    return;
  std::unique_ptr<XImage> crop = SelectionCrop(*Scene, bounds);
  if (!crop) {
    Say("There are no buttons selected");
    return;
  }
  BitmapSetPixelFormat(*crop, PixelFormatCode(pf24bit));
  try {
    crop->SaveToFile(dialog->FileName);
  } catch (const std::exception& ex) {
    Say("The image could not be exported to " + dialog->FileName + ".\n" + ex.what(),
        MB_OK | MB_ICONEXCLAMATION);
  }
}
// A site name becomes one folder inside "Sites": nothing that could name a folder elsewhere
// ("/", "." and "..", an empty or blank name) or confuse the file system (control characters)
// is taken. ":" and "\" are letters of a folder name here.
static bool IsPlainFolderName(const std::string& name) {
  if (Trim(name).empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (IsPathDelimiter(c) || static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

// Why a folder cannot be made: the system's reason at the first folder of its path that cannot
// be made, named when it is not the folder itself.
static std::string FolderFailure(const std::string& folder) {
  std::vector<std::string> missing;
  for (std::string path = ExcludeTrailingPathDelimiter(folder); !path.empty() && !DirectoryExists(path);) {
    missing.push_back(path);
    const std::string parent = ExtractFileDir(path);
    if (parent == path) break;
    path = parent;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (mkdir(it->c_str(), 0777) == 0) continue;
    const int error = errno;
    std::string reason = error == EEXIST ? "a file of that name is in the way" : SysErrorMessage(error);
    return *it == ExcludeTrailingPathDelimiter(folder) ? reason : *it + ": " + reason;
  }
  return "the folder could not be made";
}

void TFormMain::MIHTMLPageBuilderClick(QObject*) {
  CommitMemo();
  XImage& page = *Scene->Page;
  const TRect pageRect(0, 0, page.Width(), page.Height());
  // The selected objects' area on the page, else all objects'.
  TRect area = RectIntersection(Scene->GetBounds(false), pageRect);
  const bool selectionOnly = RectIsVisible(area);
  if (!selectionOnly) area = RectIntersection(Scene->GetBounds(true), pageRect);
  if (!RectIsVisible(area)) {
    Say("A HTML page can not be built from the current project");
    return;
  }

  // The site's name.
  std::string site = ChangeFileExt(ExtractFileName(ProjectFileName), "");
  if (site.empty()) site = "Default";
  if (!Services().InputBox("Enter Web Site Name", "", site)) return;
  if (!IsPlainFolderName(site)) {
    Say("\"" + site +
            "\" can not be used as a web site name.\n"
            "A site name is a plain folder name: not empty, not \".\" or \"..\", and without "
            "\"/\".",
        MB_OK | MB_ICONEXCLAMATION);
    return;
  }

  // The folders, by absolute path; the site folder becomes the current folder, as it stays
  // after the command.
  const std::string sites = LocalFile("Sites");
  const std::string folder = IncludeTrailingPathDelimiter(sites) + site;
  if (DirectoryExists(folder)) {
    if (!Ask("This site already exists. Do you want to overwrite it with a new one?")) return;
  } else if (!ForceDirectories(folder)) {
    // The folder on a line of its own, where the box keeps it whole.
    Say("Could not create site directory\n" + folder + "\n" + FolderFailure(folder) + ".",
        MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  SetCurrentDir(folder);
  // The site's files are written inside its folder: a symbolic link planted there would carry
  // the page or a slice over a file elsewhere, so links in the folder are removed first and
  // the files written in their place.
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      struct stat st;
      if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        unlinkat(dirfd(d), e->d_name, 0);
    }
    closedir(d);
  }

  // The table, with captions, text areas and snippets as markup where they can be. Whatever
  // goes wrong from here on, every caption taken out of the page is put back.
  const std::string index = IncludeTrailingPathDelimiter(folder) + "index.htm";
  std::vector<TZLMButton*> hidden;
  std::string error, notes;  // what the user is told about the site that was built
  {
    // A large page takes a while: the window is drawn again without the name box, and the
    // wait indicator and the status bar follow the build, table, drawing and slices.
    repaint();
    TScopedWait wait("Building web site " + site, true);
    try {
      TPageTable table = BuildPageTable(*Scene, area, ExpandTextMacros, !selectionOnly);
      hidden = table.Hidden;
      for (const std::string& part :
           {SnippetRepairsMessage(table.SnippetRepairs), LostLinksMessage(table.LostLinks)})
        if (!part.empty()) notes += (notes.empty() ? "" : "\n\n") + part;
      // The page without the captions that went into the markup.
      RedrawScene(false);
      // The slices and the page, written into the site folder together: until all of them
      // are complete, the site that was there stays as it was.
      TFilesReplacement files(folder);
      XImage image;
      BitmapSnagIt(image, page, area);
      table.Maker->SliceImages(image, folder);
      StringSaveToFile(BuildPageHTML(*table.Maker, *Scene, Scene->BGColor), index);
      files.Commit();
    } catch (const std::exception& ex) { error = ex.what(); }
  }
  const bool shown = !error.empty() || NavigateTo(index);
  // The captions come back.
  ShowCaptions(hidden);
  RedrawScene(false);
  if (!error.empty()) {
    Say("The web site could not be written.\n" + error, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!notes.empty()) Say(notes, MB_OK | MB_ICONINFORMATION);
  StatusBar->showMessage(Q(
      (selectionOnly ? "Only the selection was built into the web site " : "Web site written to ") + index));
  if (!shown)
    Say("No browser could be started to show the web site.\nOpen this file in a browser:\n" + index,
        MB_OK | MB_ICONEXCLAMATION);
}

void TFormMain::MIEditHTMLHeaderClick(QObject*) {
  // The head lives in the scene's store and is saved with the project and the undo snapshot:
  // an edit is a change of its own, with the snapshot of the store as it was before.
  const std::string before = Scene->Properties->AsString();
  if (!EditHeader(FormEditHTMLHead, Scene.get())) return;
  const std::string after = Scene->Properties->AsString();
  if (after == before) return;
  Scene->Properties->LoadFromString(before);
  TakeUndoSnapshot();
  Scene->Properties->LoadFromString(after);
}

void TFormMain::MIPageSetupClick(QObject*) { PrinterSetupDialog()->Execute(); }

void TFormMain::MIPrintClick(QObject*) {
  CommitMemo();
  TRect bounds;
  if (RectIsVisible(Scene->GetBounds(false)) && !SelectionFitsOnePicture(Scene->GetBounds(false), "printed"))
    return;
  std::unique_ptr<XImage> crop = SelectionCrop(*Scene, bounds);
  if (!crop) {
    Say("There is nothing to print");
    return;
  }
  if (!PrintDialog) {
    PrintDialog = new QPrintDialog(&SharedPrinter(), this);
    PrintDialog->setObjectName("PrintDialog");
  }
  if (PrintDialog->exec() != QDialog::Accepted) return;
  if (!PrintImage(*crop)) Say("The selection could not be printed", MB_OK | MB_ICONEXCLAMATION);
}

void TFormMain::MIUpgradeClick(QObject*) { InnoUpgrade(false); }

// The program's own pages: under a reserved publisher address, as the built-in one is, the
// page beside the program stands in, as on the Services tab.
void TFormMain::TBHomePageClick(QObject*) { NavigateTo(InnoAppPageURL(InnoAppPublisherURL())); }

void TFormMain::TBManualClick(QObject*) {
  NavigateTo(InnoAppPageURL(UrlCombine(UrlGetHostAddress(InnoAppPublisherURL()), "/zlm/manual/manual.htm")));
}

std::string TFormMain::WebBrowserLocationURL() const {
  return WebBrowserView ? WebBrowserView->url().toString().toStdString() : std::string();
}

void TFormMain::TabSheetServicesShow(QObject*) {
  if (!WebBrowserView) {
    // The browser engine refuses to start its sandbox as root and ends the process instead;
    // run as root (installers, containers), it starts without one.
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    WebBrowserView = new QWebEngineView(WebBrowser);
    WebBrowserView->setObjectName("WebBrowserView");
    WebBrowser->layout()->addWidget(WebBrowserView);
    // The address under the mouse is the browser's status text.
    connect(WebBrowserView->page(), &QWebEnginePage::linkHovered, this,
            [this](const QString& url) { WebBrowserStatusTextChange(WebBrowser, url.toStdString()); });
  }
  // A page once shown stays: showing the tab again does not reload it.
  if (!WebBrowserLocationURL().empty()) return;
  const std::string url = InnoAppServicesURL();
  if (IsConnectedToInternet(url)) WebBrowserView->setUrl(QUrl(Q(url)));
  else WebBrowserView->setUrl(QUrl::fromLocalFile(Q(LocalFile("Services.htm"))));
}

void TFormMain::WebBrowserStatusTextChange(QObject*, const std::string& text) {
  StatusBarWebBrowser->showMessage(Q(text));
}
