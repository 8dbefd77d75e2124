#include "gif/Fileutil.h"

#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "gif/Pxprgrss.h"
#include "gif/Strutils.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"

namespace fs = std::filesystem;

namespace {
// A path of this system: '\' is a letter of a name, not a separator.
fs::path P(const std::string& name) { return fs::path(name); }
}  // namespace

bool TBrowseFolderDlg::Execute() {
  if (BrowseKind == bfComputers) return false;
  if (OnInitialized) OnInitialized(*this);
  std::string folder = FolderName;
  if (!Services().BrowseFolderDialog(DialogText, folder)) return false;
  FolderName = folder;
  if (OnSelChanged) OnSelChanged(*this, folder);
  return true;
}

bool BrowseDirectory(std::string& folderName, const std::string& dlgText, int helpContext) {
  TBrowseFolderDlg dlg;
  dlg.DialogText = dlgText;
  dlg.FolderName = folderName;
  dlg.HelpContext = helpContext;
  if (!dlg.Execute()) return false;
  folderName = dlg.FolderName;
  return true;
}

bool BrowseComputer(std::string& computerName, const std::string& dlgText, int helpContext) {
  TBrowseFolderDlg dlg;
  dlg.BrowseKind = bfComputers;
  dlg.DialogText = dlgText;
  dlg.HelpContext = helpContext;
  if (!dlg.Execute()) return false;
  computerName = dlg.FolderName;
  return true;
}

std::string NormalDir(const std::string& dirName) {
  if (dirName.empty() || IsPathDelimiter(dirName.back())) return dirName;
  return dirName + '/';
}

std::string RemoveBackSlash(const std::string& dirName) {
  std::string s = dirName;
  // The root keeps its separator.
  while (s.size() > 1 && IsPathDelimiter(s.back())) s.pop_back();
  return s;
}

bool DirExists(const std::string& name) { return DirectoryExists(name); }

bool ValidFileName(const std::string& fileName) {
  return !fileName.empty() && fileName.find_first_of("<>\"[]|") == std::string::npos;
}

void CopyFileEx(const std::string& fileName, const std::string& destName, bool overwriteReadOnly,
                bool /*shellDialog*/, TPublished* progress) {
  fs::path dest = P(destName);
  std::error_code ec;
  // Regular files only (the stream refuses the rest): a pipe would block, a device copy for ever.
  TFileStream source(fileName, fmOpenRead | fmShareDenyNone);
  if (dest.has_parent_path()) ForceDirectories(dest.parent_path().string());
  if (fs::exists(dest, ec) && access(dest.c_str(), W_OK) != 0) {
    if (!overwriteReadOnly) throw EFCreateError("Cannot create file " + destName);
    chmod(dest.c_str(), 0644);
  }
  // Into a temporary file beside the target, renamed over it at the end, so a failure
  // leaves the old target (or none).
  std::string temp = dest.string() + ".copy~";
  try {
    {
      TFileStream target(temp, fmCreate);
      int64_t size = source.Size(), done = 0;
      SetProgressMin(progress, 0);
      SetProgressMax(progress, size);
      SetProgressValue(progress, 0);
      std::vector<char> buffer(size_t(1) << 16);
      for (;;) {
        int64_t n = source.Read(buffer.data(), int64_t(buffer.size()));
        if (n < 0) throw EReadError("Stream read error");
        if (n == 0) break;
        target.WriteBuffer(buffer.data(), n);
        done += n;
        SetProgressValue(progress, done);
      }
      if (done != size) throw EReadError("Stream read error");
    }
    struct stat st {};
    if (stat(fileName.c_str(), &st) == 0) chmod(temp.c_str(), st.st_mode & 07777);
    if (!RenameFile(temp, dest.string())) throw EFCreateError("Cannot create file " + destName);
  } catch (const EFCreateError&) {
    ::unlink(temp.c_str());
    throw EFCreateError("Cannot create file " + destName);
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
}

void CopyFile(const std::string& fileName, const std::string& destName, TPublished* progress) {
  CopyFileEx(fileName, destName, false, false, progress);
}

void MoveFileEx(const std::string& fileName, const std::string& destName, bool shellDialog) {
  if (!FileExists(fileName)) throw EFOpenError("Cannot open file " + fileName);
  fs::path dest = P(destName);
  if (dest.has_parent_path()) ForceDirectories(dest.parent_path().string());
  if (RenameFile(fileName, dest.string())) return;
  // Across file systems: copy, then delete the original.
  CopyFileEx(fileName, destName, false, shellDialog);
  DeleteFile(fileName);
}

void MoveFile(const std::string& fileName, const std::string& destName) {
  MoveFileEx(fileName, destName, false);
}

int64_t GetFileSize(const std::string& fileName) {
  std::error_code ec;
  fs::path p = P(fileName);
  if (!fs::is_regular_file(p, ec)) return -1;
  auto n = fs::file_size(p, ec);
  return ec ? -1 : int64_t(n);
}

TDateTime FileDateTime(const std::string& fileName) {
  struct stat st {};
  if (stat(P(fileName).c_str(), &st) != 0) return 0;
  time_t t = st.st_mtime;
  tm local{};
  localtime_r(&t, &local);
  TDateTime d;
  if (!TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, d)) return 0;
  return d + EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), 0);
}

bool HasAttr(const std::string& fileName, int attr) {
  fs::path p = P(fileName);
  struct stat st {};
  if (stat(p.c_str(), &st) != 0) return false;
  int a = 0;
  if (S_ISDIR(st.st_mode)) a |= faDirectory;
  else a |= faArchive;
  if (access(p.c_str(), W_OK) != 0) a |= faReadOnly;
  std::string name = p.filename().string();
  if (!name.empty() && name[0] == '.') a |= faHidden;
  return (a & attr) == attr;
}

bool DeleteFilesEx(const std::string& path, const std::vector<std::string>& masks) {
  std::error_code ec;
  fs::path dir = P(path.empty() ? "." : path);
  bool ok = true;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec) && !it->is_symlink(ec)) continue;
    std::string name = it->path().filename().string();
    for (const std::string& mask : masks)
      if (IsWild(name, mask == "*.*" ? "*" : mask, true)) {
        if (!DeleteFile(it->path().string())) ok = false;
        break;
      }
  }
  return ok && !ec;
}

bool DeleteFiles(const std::string& fileMask) {
  std::string dir = ExtractFilePath(fileMask), mask = ExtractFileName(fileMask);
  std::vector<std::string> masks;
  int n = WordCount(mask, ";");
  for (int i = 1; i <= n; ++i) masks.push_back(ExtractWord(i, mask, ";"));
  return DeleteFilesEx(dir, masks);
}

bool ClearDir(const std::string& path, bool deleteItself) {
  std::error_code ec;
  fs::path dir = P(path);
  if (!fs::is_directory(dir, ec)) return false;
  bool ok = true;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code rec;
    fs::remove_all(it->path(), rec);  // symbolic links go, their targets stay
    if (rec) ok = false;
  }
  if (ec) ok = false;
  if (ok && deleteItself) ok = fs::remove(dir, ec) && !ec;
  return ok;
}

std::string GetTempDir() {
  std::error_code ec;
  std::string t = fs::temp_directory_path(ec).string();
  return NormalDir(ec ? "/tmp" : t);
}

namespace {
bool Lock(int handle, int64_t offset, int64_t size, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = size;
  return fcntl(handle, F_SETLK, &fl) == 0;
}
}  // namespace

bool FileLock(int handle, int32_t offset, int32_t lockSize) {
  return Lock(handle, offset, lockSize, F_WRLCK);
}
bool FileLock(int handle, int64_t offset, int64_t lockSize) {
  return Lock(handle, offset, lockSize, F_WRLCK);
}
bool FileUnlock(int handle, int32_t offset, int32_t lockSize) {
  return Lock(handle, offset, lockSize, F_UNLCK);
}
bool FileUnlock(int handle, int64_t offset, int64_t lockSize) {
  return Lock(handle, offset, lockSize, F_UNLCK);
}

std::string ShortToLongFileName(const std::string& shortName) { return shortName; }
std::string LongToShortFileName(const std::string& longName) { return longName; }
std::string ShortToLongPath(const std::string& shortName) { return shortName; }
std::string LongToShortPath(const std::string& longName) { return longName; }

// ---------------------------------------------------------------- file operator

namespace {

std::vector<std::string> NameList(const std::string& s) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == '\n' || c == '\r' || c == '\0') {
      if (!Trim(cur).empty()) out.push_back(Trim(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!Trim(cur).empty()) out.push_back(Trim(cur));
  return out;
}

// The files and folders a name or mask stands for.
std::vector<fs::path> Expand(const std::string& name, bool filesOnly) {
  std::vector<fs::path> out;
  fs::path p = P(name);
  std::string leaf = p.filename().string();
  std::error_code ec;
  if (leaf.find_first_of("*?") == std::string::npos) {
    if (fs::exists(p, ec)) out.push_back(p);
    return out;
  }
  fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (filesOnly && it->is_directory(ec)) continue;
    if (IsWild(it->path().filename().string(), leaf == "*.*" ? "*" : leaf, true)) out.push_back(it->path());
  }
  return out;
}

fs::path Unused(const fs::path& target) {
  std::error_code ec;
  if (!fs::exists(target, ec)) return target;
  for (int i = 2;; ++i) {
    fs::path t = target.parent_path() /
                 (target.stem().string() + " (" + std::to_string(i) + ")" + target.extension().string());
    if (!fs::exists(t, ec)) return t;
  }
}

}  // namespace

bool TPxFileOperator::Execute() {
  bool filesOnly = Options.count(flFilesOnly) > 0;
  std::vector<std::string> sources = NameList(Source), dests = NameList(Destination);
  bool ok = true;
  std::error_code ec;
  for (size_t i = 0; i < sources.size(); ++i) {
    std::vector<fs::path> items = Expand(sources[i], filesOnly);
    if (items.empty()) ok = false;
    for (const fs::path& item : items) {
      ec.clear();
      if (Operation == foDelete) {
        fs::remove_all(item, ec);
        if (ec) ok = false;
        continue;
      }
      std::string destName = Options.count(flMultiDest) && i < dests.size() ? dests[i]
                             : dests.empty()                                ? std::string()
                                                                            : dests[0];
      if (destName.empty()) {
        ok = false;
        continue;
      }
      fs::path target = P(destName);
      // Copy and move go into the destination folder unless each source has its own
      // target; a rename names the new file unless the destination is a folder.
      bool intoFolder = Operation == foRename ? fs::is_directory(target, ec) : !Options.count(flMultiDest);
      if (intoFolder) {
        fs::create_directories(target, ec);
        target /= item.filename();
      }
      if (Options.count(flRenameOnCollision)) target = Unused(target);
      ec.clear();
      if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
      ec.clear();
      if (Operation == foCopy) {
        fs::copy(item, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
      } else {
        fs::rename(item, target, ec);
        if (ec) {  // across file systems
          ec.clear();
          fs::copy(item, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
          if (!ec) fs::remove_all(item, ec);
        }
      }
      if (ec) ok = false;
    }
  }
  return ok;
}

namespace {

// XDG_DESKTOP_DIR of user-dirs.dirs: "$HOME/..." or an absolute path, in double quotes.
std::string DesktopFolder() {
  std::string text;
  try {
    text = ReadFileBytes(XdgUserFolder("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs");
  } catch (const Exception&) {}
  for (const std::string& line : SplitLines(text)) {
    std::string l = Trim(line);
    if (l.rfind("XDG_DESKTOP_DIR=", 0) != 0) continue;
    std::string v = l.substr(16);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    if (v.rfind("$HOME", 0) == 0) v = UserHomeFolder() + v.substr(5);
    if (!v.empty() && v[0] == '/') return v;
  }
  return UserHomeFolder() + "/Desktop";
}

// A value of a desktop entry: backslash and the line-breaking characters escaped, and a
// leading blank kept.
std::string EntryValue(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c == ' ' && i == 0) out += "\\s";
    else if (uint8_t(c) >= 32 && c != 127) out += c;
  }
  return out;
}

// One argument of an Exec line: quoted when it holds a reserved character, with the
// characters that stay special inside quotes escaped; '%' doubled (field codes).
std::string ExecArgument(const std::string& arg) {
  const bool quote = arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
  std::string out = quote ? "\"" : "";
  for (char c : arg) {
    if (c == '%') out += "%%";
    else if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += std::string("\\") + c;
    else out += c;
  }
  return quote ? out + "\"" : out;
}

std::string FileUrl(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') url += char(c);
    else url += '%', url += hex[c >> 4], url += hex[c & 15];
  }
  return url;
}

std::string LinkFileName(const std::string& displayName, TLinkFolder folder) {
  std::string name = Trim(displayName);
  for (char& c : name)
    if (IsPathDelimiter(c) || uint8_t(c) < 32) c = '_';
  if (name.empty() || name == "." || name == "..") throw EInvalidOperation("A link needs a name");
  return IncludeTrailingPathDelimiter(LinkFolderPath(folder)) + name + ".desktop";
}

}  // namespace

std::string LinkFolderPath(TLinkFolder folder) {
  switch (folder) {
    case lfDesktop: return DesktopFolder();
    case lfApplications: return XdgUserFolder("XDG_DATA_HOME", ".local/share") + "/applications";
    case lfAutostart: return XdgUserFolder("XDG_CONFIG_HOME", ".config") + "/autostart";
  }
  return DesktopFolder();
}

std::string CreateFileLink(const std::string& fileName, const std::string& displayName, TLinkFolder folder) {
  // A path of this system as it is: a backslash or colon is part of a name here.
  std::error_code ec;
  std::string target =
      fileName.empty() ? std::string() : fs::absolute(fs::path(fileName), ec).lexically_normal().string();
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  struct stat st {};
  if (target.empty() || stat(target.c_str(), &st) != 0)
    throw EFOpenError(Format("Cannot open file %s", fileName.c_str()));
  const std::string link = LinkFileName(displayName, folder);
  const bool program = S_ISREG(st.st_mode) && access(target.c_str(), X_OK) == 0;
  std::string entry = "[Desktop Entry]\n";
  entry += "Name=" + EntryValue(Trim(displayName)) + "\n";
  if (program) {
    entry += "Type=Application\n";
    // GLib looks for the program by the Exec line's first word before it undoes the "%%"
    // of a '%' in the name, and refuses the launcher; env as the first word gets past that.
    const std::string exec = (target.find('%') != std::string::npos ? "env " : "") + ExecArgument(target);
    entry += "Exec=" + EntryValue(exec) + "\n";
    entry += "Path=" + EntryValue(fs::path(target).parent_path().string()) + "\n";
    entry += "Terminal=false\n";
  } else {
    entry += "Type=Link\n";
    entry += "URL=" + FileUrl(target) + "\n";
  }
  if (!ForceDirectories(ExtractFilePath(link)))
    throw EFCreateError(Format("Cannot create file %s", link.c_str()));
  WriteFileAtomic(link, entry);
  // Desktops start only launchers that may be executed.
  chmod(link.c_str(), 0755);
  return link;
}

bool DeleteFileLink(const std::string& displayName, TLinkFolder folder) {
  const std::string link = LinkFileName(displayName, folder);
  return FileExists(link) && DeleteFile(link);
}
