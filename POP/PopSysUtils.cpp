#include "POP/PopSysUtils.h"

#include <cmath>
#include <ctime>
#include <sys/stat.h>

#include "POP/PopForms.h"
#include "platform/SysUtils.h"

int32_t FileAge(const std::string& fileName) {
  struct stat st {};
  if (stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  tm t{};
  localtime_r(&st.st_mtime, &t);
  uint32_t date = uint32_t(t.tm_year + 1900 - 1980) << 9 | uint32_t(t.tm_mon + 1) << 5 | t.tm_mday;
  uint32_t time = uint32_t(t.tm_hour) << 11 | uint32_t(t.tm_min) << 5 | uint32_t(t.tm_sec / 2);
  return int32_t(date << 16 | time);
}

// Each version of a file gets its own cache name; a file already in the cache is used in
// place. A different file that happens to share name and time gets a numbered name instead
// of replacing the cached one.
std::string FileNameAddToCache(const std::string& fileName, const std::string& folderName) {
  std::string folder = IncludeTrailingPathDelimiter(ExpandFileName(LocalFile(folderName)));
  if (!ForceDirectories(folder)) RaiseError("Cache folder could not be created.");
  // Folder names are exact on this system: "images/" beside "Images/" is another folder, whose
  // pictures must be copied like any other.
  if (FileExists(fileName) && ExtractFilePath(ExpandFileName(fileName)) == folder) return fileName;
  int32_t age = FileAge(fileName);
  if (age == -1) RaiseError(Format("File \"%s\" not found.", fileName.c_str()));
  std::string data = ReadFileBytes(fileName);
  std::string base = IntToStr(age);
  std::string name = ExtractFileName(fileName);
  for (int n = 0;; ++n) {
    std::string target = folder + base + (n ? "_" + IntToStr(n) : std::string()) + name;
    if (FileExists(target) && ReadFileBytes(target) != data) continue;
    try {
      WriteFileAtomic(target, data);
    } catch (const Exception& e) {
      RaiseError(Format("File \"%s\" could not be copied to the cache.", fileName.c_str()));
    }
    return target;
  }
}

std::string MemorySizeToStr(int64_t bytes) {
  int64_t k = bytes <= 0 ? 0 : (bytes + 1023) / 1024;
  std::string digits = IntToStr(k), out;
  int n = int(digits.size());
  for (int i = 0; i < n; ++i) {
    if (i && (n - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out + "KB";
}

void FileNameBackup(const std::string& fileName) {
  std::string ext = ExtractFileExt(fileName);
  std::string backup = ChangeFileExt(fileName, ".~" + (ext.empty() ? ext : ext.substr(1)));
  WriteFileAtomic(backup, ReadFileBytes(fileName));
}

int64_t FileNameSize(const std::string& fileName) {
  int64_t s = FileSize(fileName);
  return s < 0 ? 0 : s;
}

std::string GetCurrentPath() { return IncludeTrailingPathDelimiter(GetCurrentDir()); }
void SetCurrentPath(const std::string& path) { SetCurrentDir(ExtractFilePath(path)); }

std::string ExpandRelativePath(const std::string& base, const std::string& relative) {
  if (!relative.empty() && relative[0] == '/') return ExpandFileName(relative);
  return ExpandFileName(ExtractFilePath(ExpandFileName(base)) + relative);
}

std::string Amount(const std::string& noun, int count) {
  return noun + (count == 1 ? "" : "s") + " " + IntToStr(count);
}

double UnixToDateTime(int64_t seconds) { return double(seconds) / 86400.0 + 25569.0; }
int64_t DateTimeToUnix(double dateTime) { return int64_t(std::llround((dateTime - 25569.0) * 86400.0)); }
