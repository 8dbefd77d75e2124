// File and folder functions, the folder-browse dialog and the shell's file operation.
// ForceDirectories, DeleteFile and FileExists are the platform's (SysUtils.h).
#pragma once
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/DateTime.h"
#include "platform/SysUtils.h"

class TPublished;

enum TBrowseKind { bfFolders, bfComputers };
enum TDialogPosition { dpDefault, dpScreenCenter };

// The folder chooser through the platform's dialog service. Browsing for network computers
// has no counterpart here: with bfComputers Execute returns false.
class TBrowseFolderDlg : public TComponent {
 public:
  explicit TBrowseFolderDlg(TComponent* owner = nullptr) : TComponent("", owner) {}
  bool Execute();
  TBrowseKind BrowseKind = bfFolders;
  bool DesktopRoot = true;
  std::string DialogText;
  std::string FolderName;
  int HelpContext = 0;
  TDialogPosition Position = dpScreenCenter;
  std::function<void(TBrowseFolderDlg&)> OnInitialized;
  std::function<void(TBrowseFolderDlg&, const std::string&)> OnSelChanged;
};

bool BrowseDirectory(std::string& folderName, const std::string& dlgText, int helpContext);
bool BrowseComputer(std::string& computerName, const std::string& dlgText, int helpContext);

enum TFileOperation { foCopy, foDelete, foMove, foRename };
enum TFileOperFlag {
  flAllowUndo,
  flConfirmMouse,
  flFilesOnly,
  flMultiDest,
  flNoConfirmation,
  flNoConfirmMkDir,
  flRenameOnCollision,
  flSilent,
  flSimpleProgress,
  flNoErrorUI
};
using TFileOperFlags = std::set<TFileOperFlag>;

// The shell's file operation done by our own copy, move, rename and delete. Source holds
// one name or mask a line (also separated by zero bytes); Destination is a folder, or with
// flMultiDest one target a source. Deletes are final: there is no recycle bin to undo from.
class TPxFileOperator : public TComponent {
 public:
  explicit TPxFileOperator(TComponent* owner = nullptr) : TComponent("", owner) {}
  // True when every file was handled; raises nothing.
  bool Execute();
  std::string Destination, Source;
  TFileOperation Operation = foCopy;
  TFileOperFlags Options{flAllowUndo, flNoConfirmMkDir};
  std::string ProgressTitle;
};

std::string NormalDir(const std::string& dirName);  // with a trailing separator
std::string RemoveBackSlash(const std::string& dirName);
bool DirExists(const std::string& name);
bool ValidFileName(const std::string& fileName);

// Copies in blocks into the target (its folder made when missing), optionally clearing a
// read-only target first and reporting progress to a registered progress control (see
// Pxprgrss). Raises EFOpenError "Cannot open file %s", EFCreateError "Cannot create file
// %s", EReadError "Stream read error", EWriteError "Stream write error". A failed copy
// leaves no partial target. shellDialog has no separate meaning here.
void CopyFile(const std::string& fileName, const std::string& destName, TPublished* progress = nullptr);
void CopyFileEx(const std::string& fileName, const std::string& destName, bool overwriteReadOnly,
                bool shellDialog, TPublished* progress = nullptr);
void MoveFile(const std::string& fileName, const std::string& destName);
void MoveFileEx(const std::string& fileName, const std::string& destName, bool shellDialog);

int64_t GetFileSize(const std::string& fileName);     // -1 for a missing file or a folder
TDateTime FileDateTime(const std::string& fileName);  // 0 when missing
// Attribute bits of the platform: faReadOnly, faHidden (a leading dot), faDirectory.
constexpr int faReadOnly = 0x01, faHidden = 0x02, faDirectory = 0x10, faArchive = 0x20;
bool HasAttr(const std::string& fileName, int attr);
// Deletes the files of a folder that match the mask ("*" and "?", case-blind) or one of
// the masks (separated by ";"); false when one could not be deleted.
bool DeleteFiles(const std::string& fileMask);
bool DeleteFilesEx(const std::string& path, const std::vector<std::string>& masks);
// Deletes a folder's contents, sub-folders included, and the folder itself when asked.
bool ClearDir(const std::string& path, bool deleteItself);
std::string GetTempDir();

// Advisory locks on a byte range of an open descriptor.
bool FileLock(int handle, int32_t offset, int32_t lockSize);
bool FileLock(int handle, int64_t offset, int64_t lockSize);
bool FileUnlock(int handle, int32_t offset, int32_t lockSize);
bool FileUnlock(int handle, int64_t offset, int64_t lockSize);

// Links to a file or program in one of the desktop's folders: a desktop launcher
// ("<name>.desktop") that starts a program, or opens a document or folder with the desktop's
// handler for it. The desktop folder is the one the user's XDG settings name (else
// ~/Desktop), the applications menu $XDG_DATA_HOME/applications, the programs started at
// log-in $XDG_CONFIG_HOME/autostart.
enum TLinkFolder { lfDesktop, lfApplications, lfAutostart };
std::string LinkFolderPath(TLinkFolder folder);
// Makes (or replaces) the launcher named displayName and returns its path. Raises EFOpenError
// "Cannot open file %s" for a target that does not exist, EInvalidOperation for a name
// that is empty, and EFCreateError or EWriteError when the launcher cannot be written.
std::string CreateFileLink(const std::string& fileName, const std::string& displayName, TLinkFolder folder);
// Removes the launcher named displayName; false when there is none.
bool DeleteFileLink(const std::string& displayName, TLinkFolder folder);

// File names have one form here: these return the name as it is.
std::string ShortToLongFileName(const std::string& shortName);
std::string LongToShortFileName(const std::string& longName);
std::string ShortToLongPath(const std::string& shortName);
std::string LongToShortPath(const std::string& longName);
