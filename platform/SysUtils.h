// Exceptions, locale-independent string conversions, file names and files.
#pragma once
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Every failure the system raises derives from Exception and carries its message text.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

#define ZELMORA_EXCEPTION(name, base) \
  class name : public base {          \
   public:                            \
    using base::base;                 \
  };

ZELMORA_EXCEPTION(EAbort, Exception)
ZELMORA_EXCEPTION(EConvertError, Exception)
ZELMORA_EXCEPTION(EAbstractError, Exception)
ZELMORA_EXCEPTION(EOutOfMemory, Exception)
ZELMORA_EXCEPTION(EInOutError, Exception)
ZELMORA_EXCEPTION(EListError, Exception)
ZELMORA_EXCEPTION(EInvalidOperation, Exception)
ZELMORA_EXCEPTION(EInvalidPointer, Exception)
ZELMORA_EXCEPTION(EIntOverflow, Exception)
ZELMORA_EXCEPTION(EStreamError, Exception)
ZELMORA_EXCEPTION(EFilerError, EStreamError)
ZELMORA_EXCEPTION(EReadError, EFilerError)
ZELMORA_EXCEPTION(EWriteError, EFilerError)
ZELMORA_EXCEPTION(EFOpenError, EStreamError)
ZELMORA_EXCEPTION(EFCreateError, EStreamError)
ZELMORA_EXCEPTION(EInvalidGraphic, Exception)
ZELMORA_EXCEPTION(EInvalidGraphicOperation, Exception)
ZELMORA_EXCEPTION(ERegistryException, Exception)
ZELMORA_EXCEPTION(EOSError, Exception)
ZELMORA_EXCEPTION(EAssertionFailed, Exception)

// Silent exception: aborts an operation without a message.
[[noreturn]] void Abort();

// printf-style formatting into a string; "%s" takes a const char*.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// a * b / c rounded half away from zero in 64 bits; -1 when c is 0 (the Windows MulDiv).
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// Conversions. None depends on the process locale.
std::string IntToStr(int64_t value);
std::string IntToHex(int64_t value, int digits);  // upper case, at least `digits` digits
// The value of a hexadecimal digit of either case; -1 for any other character.
int HexDigit(char c);
// Decimal with an optional sign, or "$" / "0x" followed by hexadecimal digits (up to 32 bits,
// wrapping as the platform does: "$FFFFFFFF" is -1). Leading blanks are allowed.
bool TryStrToInt(const std::string& s, int32_t& value);
bool TryStrToInt64(const std::string& s, int64_t& value);
int32_t StrToInt(const std::string& s);  // raises EConvertError
int32_t StrToIntDef(const std::string& s, int32_t def);
int64_t StrToInt64Def(const std::string& s, int64_t def);
// Shortest general form with up to 15 significant digits and '.' as the decimal point.
std::string FloatToStr(long double value);
bool TryStrToFloat(const std::string& s, long double& value);
long double StrToFloat(const std::string& s);  // raises EConvertError
long double StrToFloatDef(const std::string& s, long double def);
std::string BoolToStr(bool b, bool useBoolStrs = false);

// Bytes 0 to 32 count as blanks.
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
// ASCII case folding only.
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
int CompareText(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);
int CompareStr(const std::string& a, const std::string& b);
std::string StringReplaceAll(const std::string& s, const std::string& from, const std::string& to,
                             bool ignoreCase = false);
// 1-based position of `sub` in `s`, 0 when absent (the platform's Pos).
size_t Pos(const std::string& sub, const std::string& s);
std::string QuotedStr(const std::string& s);
// Texts are UTF-8, but those of older files may hold Latin-1 bytes beside it. The code points
// of such a text: each well-formed UTF-8 sequence (no overlong forms, surrogates or values
// past U+10FFFF) is one character, and every other byte is the Latin-1 character of its value.
std::vector<uint32_t> DecodeUtf8OrLatin1(const std::string& text);
// The same text as well-formed UTF-8: valid sequences kept byte for byte, other bytes
// written as the UTF-8 of their Latin-1 character.
std::string Utf8OrLatin1ToUtf8(const std::string& text);

// File names. A path of this machine (typed, chosen, given on the command line, read from a
// link) is a Linux path: only '/' separates, and ':' and '\' are letters of a name.
bool IsPathDelimiter(char c);
std::string ExtractFilePath(const std::string& name);  // up to and with the last separator
std::string ExtractFileDir(const std::string& name);   // without the last separator
std::string ExtractFileName(const std::string& name);
std::string ExtractFileExt(const std::string& name);  // with the dot, or empty
std::string ChangeFileExt(const std::string& name, const std::string& ext);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);
// Absolute, '/' separators, "." and ".." resolved lexically.
std::string ExpandFileName(const std::string& name);
// The file-name part of a name stored in a file by the old platform, which may separate with
// '\', '/' or ':' ("C:\Pictures\logo.bmp" gives "logo.bmp").
std::string StoredFileName(const std::string& stored);
// A name stored in a file (separated as for StoredFileName), made into a path inside `folder`: separators
// become '/', and leading separators, drive prefixes, "." and ".." are dropped, so the result never lies
// outside `folder`.
std::string StoredNameInFolder(const std::string& folder, const std::string& stored);
// The path of an existing file or folder `name` inside `folder`, each component of `name`
// compared without regard to ASCII case (a stored name written on a case-blind system);
// `folder` itself is a path of this machine and must match exactly. folder/name when nothing
// matches.
std::string FindFileCaseBlind(const std::string& folder, const std::string& name);

bool FileExists(const std::string& name);
// What a file on disk is like now: whether it exists, its size, its modification and
// status-change times in nanoseconds, and its device and inode. Equal stamps taken at two
// times mean that, as far as the file system tells, the file was not changed in between.
struct TFileStamp {
  bool Exists = false;
  int64_t Size = 0, Time = 0, ChangeTime = 0;
  uint64_t Device = 0, Inode = 0;
  bool operator==(const TFileStamp&) const = default;
};
TFileStamp FileStampOf(const std::string& name);
// The one check of what a name stands for before anything reads it: a regular file (symbolic
// links followed) and its size. A pipe, a device, a socket or a folder is refused without being
// opened, so that no reader blocks on it or reads from it without end. Problem says why a name
// is refused ("... is a named pipe, not a file."), empty for a regular file.
struct TRegularFile {
  bool Regular = false;
  int64_t Size = 0;
  std::string Problem;
};
TRegularFile CheckRegularFile(const std::string& name);
// Opens a regular file for reading and gives its size. The name is opened without blocking,
// so that a pipe put in its place after a check cannot freeze the caller, and is checked again
// on the open descriptor. Raises EFOpenError with CheckRegularFile's reason; the caller closes
// the descriptor.
int OpenRegularFile(const std::string& name, int64_t& size);
// Opens a regular file with open(2)'s flags (O_RDONLY, O_WRONLY or O_RDWR, with O_CREAT,
// O_TRUNC, O_EXCL, O_APPEND for a writer): a pipe, a device, a socket or a folder under the
// name is refused before anything is read, written or truncated (a pipe would block the open
// or the first read, a device reads or swallows without end), and checked again on the open
// descriptor. A missing name is made only with O_CREAT. Returns the descriptor (blocking,
// close-on-exec), or -1 with errno set and `problem` (when given) saying why in words:
// "\"x\" is a named pipe, not a file." No exception, so C-style code can call it.
int OpenRegularFileWith(const std::string& name, int flags, std::string* problem = nullptr, int mode = 0666);
bool DirectoryExists(const std::string& name);
bool ForceDirectories(const std::string& dir);
bool DeleteFile(const std::string& name);
bool RenameFile(const std::string& from, const std::string& to);
int64_t FileSize(const std::string& name);  // -1 when missing
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& dir);
std::string GetEnvironmentVariable(const std::string& name);
std::string SysErrorMessage(int error);

class TFilesReplacement;

// Replaces a user's file as a whole. The new content is written to Path, a file of the
// target's own name in a private folder beside the real file (a symbolic link is followed to
// it, never replaced); Commit puts the complete file in its place with the old file's
// permissions and ACL (never wider than they were), its extended attributes and, where the
// process may, its owner (a new file gets the usual permissions). A file with more than one
// hard link is rewritten in place instead, so that every name keeps showing it. Commit raises
// EFCreateError or EWriteError and leaves the old file as it was; whatever was not committed
// is removed with the object.
class TFileReplacement {
 public:
  // Raises EFCreateError, also when the name stands for a folder, a device or a pipe, and for
  // a read-only file (no write bit, or one the process may not write).
  explicit TFileReplacement(const std::string& name);
  ~TFileReplacement();
  TFileReplacement(const TFileReplacement&) = delete;
  TFileReplacement& operator=(const TFileReplacement&) = delete;
  void Commit();
  std::string Path;
  // Written for a TFilesReplacement, which makes the file durable with the others.
  bool Staged() const { return FBatch != nullptr; }

 private:
  void CommitInPlace();
  std::string FName, FTarget, FDir;
  int FLock = -1;  // held on FDir while the save lives: a folder nobody holds is a dead save's
  bool FCommitted = false;
  TFilesReplacement* FBatch = nullptr;  // the batch this file is staged in, if any
};

// What saves that were ended on the way (a crash, a kill) left in a folder: their private
// folders beside the user's files are removed, and a file with several hard links that such a
// save was rewriting in place is completed from the whole new content that the save had
// written first, so that it is never left half old and half new. Every save does this for its
// own folder; opening a project does it for the project's folder.
void RecoverDeadSaves(const std::string& folder);

// Many files saved into one folder in a row (a site's slices): the folder is looked at for
// dead saves once, when the batch is made, instead of by every save into it, each of which
// reads the whole folder (N files would read a folder of up to N entries N times). It holds
// for the saves into that folder on the thread that made it, while it lives.
class TSaveBatch {
 public:
  explicit TSaveBatch(const std::string& folder);
  ~TSaveBatch();
  TSaveBatch(const TSaveBatch&) = delete;
  TSaveBatch& operator=(const TSaveBatch&) = delete;
  // Whether a batch of this thread covers saves into the folder.
  static bool Covers(const std::string& folder);

 private:
  std::string FFolder;
  TSaveBatch* FOuter;
};

// Many files of one folder replaced together (a site's slices and its page). While it lives,
// every safe save on this thread into that folder (TFileReplacement, WriteFileAtomic and the
// picture writers over them) writes its file into one private folder beside the user's files,
// and its Commit only hands the complete file to the batch: no file under its own name changes.
// Commit then makes every file durable at once (their data, then the file system, once) and
// moves them in with the properties a single save gives them; a file with several hard links
// is rewritten in place, as a single save does. Should a write fail or the program be ended
// before Commit, the folder's files are as they were: without Commit the batch drops what it
// holds, and a dead batch's private folder is removed as a dead save's is. Ended while the files
// are moved in, each file is either the old one or the new one, whole. It looks at the folder
// for dead saves once, as TSaveBatch does.
class TFilesReplacement {
 public:
  explicit TFilesReplacement(const std::string& folder);
  ~TFilesReplacement();
  TFilesReplacement(const TFilesReplacement&) = delete;
  TFilesReplacement& operator=(const TFilesReplacement&) = delete;
  // Raises EWriteError or EFCreateError naming the file that could not be made durable or
  // moved in; the files not yet moved in are dropped.
  void Commit();
  // The files handed over so far.
  size_t Count() const { return FIndex.size(); }
  // Whether a batch of this thread stages the saves into the folder.
  static bool Covers(const std::string& folder) { return Staging(folder) != nullptr; }

 private:
  friend class TFileReplacement;
  // The batch of this thread that stages saves into the folder (ExtractFilePath of a file).
  static TFilesReplacement* Staging(const std::string& folder);
  // The path in the private folder for a file of the folder, "" when it cannot be staged
  // (another file of the batch is being written under that name).
  std::string Stage(const std::string& base, const std::string& target, const std::string& name);
  void Staged(const std::string& name, const std::string& target, const std::string& path);
  void Dropped(const std::string& path);
  struct TStaged {
    std::string Name, Target, Path;  // Path empty: superseded by a later save of the name
  };
  TSaveBatch FDeadSavesOnce;
  std::string FFolder, FDir;
  int FLock = -1;
  std::vector<TStaged> FFiles;
  std::unordered_map<std::string, size_t> FIndex;  // FFiles by Path
  std::vector<std::string> FWriting;               // paths handed out and not yet committed or dropped
  TFilesReplacement* FOuter;
  bool FDone = false;
};

// Whole-file helpers. ReadFileBytes reads regular files only (through OpenRegularFile) and
// raises EFOpenError; ReadFileBytesAtMost raises EReadError too for a file larger than
// maxSize bytes, before reading it. WriteFileAtomic
// writes the data through a TFileReplacement, raising EFCreateError or EWriteError and leaving
// the old file untouched on failure.
std::string ReadFileBytes(const std::string& name);
std::string ReadFileBytesAtMost(const std::string& name, int64_t maxSize);
void WriteFileAtomic(const std::string& name, std::string_view data);
