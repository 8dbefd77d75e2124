#include "platform/SysUtils.h"

#include <acl/libacl.h>
#include <algorithm>
#include <attr/libattr.h>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

void Abort() { throw EAbort("Operation aborted"); }

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string out;
  if (n > 0) {
    out.resize(size_t(n) + 1);
    vsnprintf(out.data(), out.size(), fmt, ap2);
    out.resize(size_t(n));
  }
  va_end(ap2);
  return out;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(int64_t value, int digits) {
  static const char hex[] = "0123456789ABCDEF";
  uint64_t v = uint64_t(value);
  // A negative 32-bit value shows as its 32-bit pattern, as the platform does for Integer.
  if (value < 0 && value >= INT32_MIN) v &= 0xFFFFFFFFu;
  std::string out;
  do {
    out.insert(out.begin(), hex[v & 15]);
    v >>= 4;
  } while (v != 0);
  while (int(out.size()) < digits) out.insert(out.begin(), '0');
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

namespace {

// Parses the platform's integer forms into a 64-bit magnitude. `bits` limits the range.
bool ParseInteger(const std::string& s, int bits, int64_t& out) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < s.size() && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t v = 0;
  const uint64_t hexLimit = bits == 32 ? 0xFFFFFFFFull : ~0ull;
  for (; i < s.size(); ++i) {
    int d = hex ? HexDigit(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
    if (d < 0) return false;
    if (hex) {
      if (v > (hexLimit >> 4)) return false;
      v = (v << 4) | uint64_t(d);
    } else {
      if (v > (UINT64_MAX - uint64_t(d)) / 10) return false;
      v = v * 10 + uint64_t(d);
      if (v > (uint64_t(1) << (bits - 1))) return false;
    }
  }
  if (hex) {
    // Hexadecimal texts give the bit pattern: $FFFFFFFF is -1 as a 32-bit integer.
    int64_t r = bits == 32 ? int64_t(int32_t(uint32_t(v))) : int64_t(v);
    out = neg ? -r : r;
    if (bits == 32 && (out < INT32_MIN || out > INT32_MAX)) out = int64_t(int32_t(uint32_t(out)));
    return true;
  }
  if (!neg && v > (uint64_t(1) << (bits - 1)) - 1) return false;
  out = neg ? int64_t(0 - v) : int64_t(v);
  return true;
}

}  // namespace

bool TryStrToInt(const std::string& s, int32_t& value) {
  int64_t v;
  if (!ParseInteger(s, 32, v)) return false;
  value = int32_t(v);
  return true;
}

bool TryStrToInt64(const std::string& s, int64_t& value) { return ParseInteger(s, 64, value); }

int32_t StrToInt(const std::string& s) {
  int32_t v;
  if (!TryStrToInt(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
  return v;
}

int32_t StrToIntDef(const std::string& s, int32_t def) {
  int32_t v;
  return TryStrToInt(s, v) ? v : def;
}

int64_t StrToInt64Def(const std::string& s, int64_t def) {
  int64_t v;
  return TryStrToInt64(s, v) ? v : def;
}

std::string FloatToStr(long double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  char buf[64];
  // 15 significant digits in scientific form give the digits and the exponent; to_chars
  // never looks at the locale.
  auto res = std::to_chars(buf, buf + sizeof buf, double(value), std::chars_format::scientific, 14);
  std::string s(buf, res.ptr);
  bool neg = s[0] == '-';
  if (neg) s.erase(0, 1);
  size_t e = s.find('e');
  int exp = atoi(s.c_str() + e + 1);
  std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out;
  if (exp >= 15 || exp < -4) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exp);
  } else if (exp < 0) {
    out = "0." + std::string(size_t(-exp - 1), '0') + digits;
  } else {
    if (digits.size() <= size_t(exp) + 1) {
      out = digits + std::string(size_t(exp) + 1 - digits.size(), '0');
    } else {
      out = digits.substr(0, size_t(exp) + 1) + "." + digits.substr(size_t(exp) + 1);
    }
  }
  return neg ? "-" + out : out;
}

bool TryStrToFloat(const std::string& s, long double& value) {
  std::string t = Trim(s);
  if (t.empty()) return false;
  const char* b = t.data();
  const char* end = b + t.size();
  if (*b == '+') ++b;
  if (b == end) return false;
  // Only plain decimal forms: digits, one '.', an optional exponent.
  for (const char* p = b; p < end; ++p) {
    char c = *p;
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+')) return false;
  }
  double d;
  auto r = std::from_chars(b, end, d, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != end) return false;
  value = d;
  return true;
}

long double StrToFloat(const std::string& s) {
  long double v;
  if (!TryStrToFloat(s, v)) throw EConvertError("'" + s + "' is not a valid floating point value");
  return v;
}

long double StrToFloatDef(const std::string& s, long double def) {
  long double v;
  return TryStrToFloat(s, v) ? v : def;
}

std::string BoolToStr(bool b, bool useBoolStrs) {
  if (useBoolStrs) return b ? "True" : "False";
  return b ? "-1" : "0";
}

static bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string TrimLeft(const std::string& s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

std::string TrimRight(const std::string& s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

static char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }
static char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = AsciiUpper(c);
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = AsciiLower(c);
  return r;
}

int CompareText(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = static_cast<unsigned char>(AsciiUpper(a[i]));
    int cb = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (ca != cb) return ca - cb;
  }
  return int(a.size()) - int(b.size());
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

int CompareStr(const std::string& a, const std::string& b) { return a.compare(b); }

std::string StringReplaceAll(const std::string& s, const std::string& from, const std::string& to,
                             bool ignoreCase) {
  if (from.empty()) return s;
  std::string hay = ignoreCase ? UpperCase(s) : s;
  std::string needle = ignoreCase ? UpperCase(from) : from;
  std::string out;
  size_t i = 0;
  while (true) {
    size_t p = hay.find(needle, i);
    if (p == std::string::npos) break;
    out.append(s, i, p - i);
    out += to;
    i = p + from.size();
  }
  out.append(s, i, std::string::npos);
  return out;
}

size_t Pos(const std::string& sub, const std::string& s) {
  if (sub.empty()) return 0;
  size_t p = s.find(sub);
  return p == std::string::npos ? 0 : p + 1;
}

std::string QuotedStr(const std::string& s) { return "'" + StringReplaceAll(s, "'", "''") + "'"; }

// The length of the well-formed UTF-8 sequence at s[i], 0 when there is none.
static size_t Utf8SequenceAt(const std::string& s, size_t i) {
  auto at = [&](size_t k) { return i + k < s.size() ? uint8_t(s[i + k]) : 0u; };
  auto cont = [](unsigned b, unsigned lo = 0x80, unsigned hi = 0xBF) { return b >= lo && b <= hi; };
  const unsigned c = at(0);
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(at(1)) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    // E0 needs A0 or more (no overlong form), ED at most 9F (no surrogate).
    const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    return cont(at(1), lo, hi) && cont(at(2)) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    return cont(at(1), lo, hi) && cont(at(2)) && cont(at(3)) ? 4 : 0;
  }
  return 0;
}

std::vector<uint32_t> DecodeUtf8OrLatin1(const std::string& text) {
  std::vector<uint32_t> out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8SequenceAt(text, i);
    const uint32_t c = uint8_t(text[i]);
    if (n <= 1) {
      out.push_back(c);
      ++i;
      continue;
    }
    uint32_t v = c & (0x7Fu >> n);
    for (size_t k = 1; k < n; ++k) v = v << 6 | (uint8_t(text[i + k]) & 0x3Fu);
    out.push_back(v);
    i += n;
  }
  return out;
}

std::string Utf8OrLatin1ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8SequenceAt(text, i);
    if (n > 0) {
      out.append(text, i, n);
      i += n;
      continue;
    }
    const uint8_t c = uint8_t(text[i++]);
    out += char(0xC0 | c >> 6);
    out += char(0x80 | (c & 0x3F));
  }
  return out;
}

// ---- file names ----

// A path of this machine: only '/' separates, and ':' and '\\' are letters of a name.
bool IsPathDelimiter(char c) { return c == '/'; }

// A name stored by the old platform also separates with '\\' and ':' (a drive letter).
static bool IsStoredDelimiter(char c) { return c == '\\' || c == '/' || c == ':'; }

static size_t LastDelimiter(const std::string& name) {
  for (size_t i = name.size(); i > 0; --i)
    if (IsPathDelimiter(name[i - 1])) return i - 1;
  return std::string::npos;
}

std::string ExtractFilePath(const std::string& name) {
  size_t p = LastDelimiter(name);
  return p == std::string::npos ? std::string() : name.substr(0, p + 1);
}

std::string ExtractFileDir(const std::string& name) {
  size_t p = LastDelimiter(name);
  if (p == std::string::npos) return std::string();
  if (p == 0) return name.substr(0, 1);  // the root keeps its separator
  return name.substr(0, p);
}

std::string ExtractFileName(const std::string& name) {
  size_t p = LastDelimiter(name);
  return p == std::string::npos ? name : name.substr(p + 1);
}

std::string ExtractFileExt(const std::string& name) {
  std::string base = ExtractFileName(name);
  size_t p = base.rfind('.');
  return p == std::string::npos ? std::string() : base.substr(p);
}

std::string ChangeFileExt(const std::string& name, const std::string& ext) {
  std::string path = ExtractFilePath(name);
  std::string base = ExtractFileName(name);
  size_t p = base.rfind('.');
  if (p != std::string::npos) base.erase(p);
  return path + base + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && IsPathDelimiter(path.back())) return path;
  return path + "/";
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  std::string r = path;
  while (r.size() > 1 && IsPathDelimiter(r.back())) r.pop_back();
  return r;
}

static std::vector<std::string> SplitComponents(const std::string& name, bool stored = false) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : name) {
    if (stored ? IsStoredDelimiter(c) : IsPathDelimiter(c)) {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

std::string ExpandFileName(const std::string& name) {
  std::string full = name;
  if (full.empty() || full[0] != '/') full = IncludeTrailingPathDelimiter(GetCurrentDir()) + name;
  std::vector<std::string> out;
  for (auto& part : SplitComponents(full)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(part);
  }
  std::string r;
  for (auto& p : out) r += "/" + p;
  if (r.empty()) r = "/";
  if (!name.empty() && IsPathDelimiter(name.back()) && r != "/") r += "/";
  return r;
}

std::string StoredNameInFolder(const std::string& folder, const std::string& stored) {
  std::string r = ExcludeTrailingPathDelimiter(folder);
  std::vector<std::string> kept;
  auto parts = SplitComponents(stored, true);
  // A Windows drive letter ("C:") leaves an empty-looking first component; ':' already split it.
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& p = parts[i];
    if (p == "." || p == "..") continue;
    if (i == 0 && p.size() == 1 && stored.size() > 1 && stored[1] == ':') continue;
    kept.push_back(p);
  }
  for (auto& p : kept) r += "/" + p;
  return r;
}

std::string StoredFileName(const std::string& stored) {
  for (size_t i = stored.size(); i > 0; --i)
    if (IsStoredDelimiter(stored[i - 1])) return stored.substr(i);
  return stored;
}

std::string FindFileCaseBlind(const std::string& folder, const std::string& name) {
  const std::string base = ExcludeTrailingPathDelimiter(folder);
  const std::string path = base + "/" + name;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return path;
  // The folder is the user's and exact; only the components of the name are matched blind.
  std::string cur = base;
  for (const std::string& part : SplitComponents(name)) {
    std::string next = cur + "/" + part;
    if (stat(next.c_str(), &st) != 0) {
      DIR* d = opendir(cur.empty() ? "/" : cur.c_str());
      if (!d) return path;
      std::string found;
      while (dirent* e = readdir(d)) {
        if (SameText(e->d_name, part)) {
          found = e->d_name;
          break;
        }
      }
      closedir(d);
      if (found.empty()) return path;
      next = cur + "/" + found;
    }
    cur = next;
  }
  return cur;
}

TFileStamp FileStampOf(const std::string& name) {
  TFileStamp s;
  struct stat st;
  if (name.empty() || stat(name.c_str(), &st) != 0) return s;
  s.Exists = true;
  s.Size = int64_t(st.st_size);
  s.Time = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ChangeTime = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  s.Device = uint64_t(st.st_dev);
  s.Inode = uint64_t(st.st_ino);
  return s;
}

bool FileExists(const std::string& name) {
  struct stat st;
  return !name.empty() && stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& name) {
  struct stat st;
  return !name.empty() && stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& dir) {
  if (dir.empty()) return false;
  std::string path = ExcludeTrailingPathDelimiter(dir);
  if (DirectoryExists(path)) return true;
  std::string parent = ExtractFileDir(path);
  if (!parent.empty() && parent != path && !ForceDirectories(parent)) return false;
  return mkdir(path.c_str(), 0777) == 0 || DirectoryExists(path);
}

bool DeleteFile(const std::string& name) { return unlink(name.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

int64_t FileSize(const std::string& name) {
  struct stat st;
  if (stat(name.c_str(), &st) != 0) return -1;
  return int64_t(st.st_size);
}

std::string GetCurrentDir() {
  char buf[4096];
  if (!getcwd(buf, sizeof buf)) return "/";
  return buf;
}

bool SetCurrentDir(const std::string& dir) { return chdir(dir.c_str()) == 0; }

std::string GetEnvironmentVariable(const std::string& name) {
  const char* v = getenv(name.c_str());
  return v ? v : "";
}

std::string SysErrorMessage(int error) {
  char buf[256];
  // The GNU strerror_r returns its text; it may or may not use the buffer.
  const char* msg = strerror_r(error, buf, sizeof buf);
  return msg ? msg : "";
}

static std::string KindProblem(const std::string& name, mode_t mode) {
  const char* kind = S_ISDIR(mode)                    ? "is a folder, not a file"
                     : S_ISFIFO(mode)                 ? "is a named pipe, not a file"
                     : S_ISSOCK(mode)                 ? "is a socket, not a file"
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "is a device, not a file"
                                                      : "is not a plain file";
  return "\"" + name + "\" " + kind + ".";
}

TRegularFile CheckRegularFile(const std::string& name) {
  TRegularFile r;
  struct stat st;
  if (name.empty()) {
    r.Problem = "No file name was given.";
  } else if (stat(name.c_str(), &st) != 0) {
    r.Problem = "Cannot open file \"" + name + "\". " + SysErrorMessage(errno);
  } else if (!S_ISREG(st.st_mode)) {
    r.Problem = KindProblem(name, st.st_mode);
  } else {
    r.Regular = true;
    r.Size = int64_t(st.st_size);
  }
  return r;
}

int OpenRegularFileWith(const std::string& name, int flags, std::string* problem, int mode) {
  const bool create = (flags & O_CREAT) != 0;
  auto fail = [&](int err, const std::string& why) {
    if (problem) *problem = why;
    errno = err;
    return -1;
  };
  auto failed = [&](int err) {
    return fail(err, std::string(create ? "Cannot create file \"" : "Cannot open file \"") + name + "\". " +
                         SysErrorMessage(err));
  };
  // A folder has its own error number; for the other kinds the words tell.
  auto notAFile = [&](mode_t m) { return fail(S_ISDIR(m) ? EISDIR : EINVAL, KindProblem(name, m)); };
  if (name.empty()) return fail(ENOENT, "No file name was given.");
  struct stat st;
  if (stat(name.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return notAFile(st.st_mode);
  } else if (!create || errno != ENOENT) {
    return failed(errno);
  }
  // O_NONBLOCK: a pipe put in the file's place after the check cannot block the open. The
  // file is emptied only once the descriptor is known to be a file's.
  int fd;
  do fd = open(name.c_str(), (flags & ~O_TRUNC) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode_t(mode));
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return failed(errno);
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const mode_t m = st.st_mode;
    close(fd);
    return notAFile(m);
  }
  const int fl = fcntl(fd, F_GETFL);
  if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  if ((flags & O_TRUNC) && (flags & O_ACCMODE) != O_RDONLY && ftruncate(fd, 0) != 0) {
    const int err = errno;
    close(fd);
    return failed(err);
  }
  return fd;
}

int OpenRegularFile(const std::string& name, int64_t& size) {
  std::string problem;
  int fd = OpenRegularFileWith(name, O_RDONLY, &problem);
  if (fd < 0) throw EFOpenError(problem);
  struct stat st;
  size = fstat(fd, &st) == 0 ? int64_t(st.st_size) : 0;
  return fd;
}

std::string ReadFileBytes(const std::string& name) { return ReadFileBytesAtMost(name, INT64_MAX); }

std::string ReadFileBytesAtMost(const std::string& name, int64_t maxSize) {
  int64_t size = 0;
  int fd = OpenRegularFile(name, size);
  auto tooLarge = [&] {
    close(fd);
    throw EReadError("Cannot read file \"" + name + "\". It is larger than " + IntToStr(maxSize) + " bytes.");
  };
  if (size > maxSize) tooLarge();
  std::string data;
  // The size is a hint only: a file may grow or shrink while it is read, or be a kernel file
  // that tells no size.
  if (size > 0) data.reserve(size_t(size));
  char buf[65536];
  while (true) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      close(fd);
      throw EReadError("Cannot read file \"" + name + "\". " + SysErrorMessage(err));
    }
    if (n == 0) break;
    if (int64_t(data.size()) + n > maxSize) tooLarge();
    data.append(buf, size_t(n));
  }
  close(fd);
  return data;
}

namespace {

[[noreturn]] void CreateError(const std::string& name, int err) {
  throw EFCreateError("Cannot create file \"" + name + "\". " + SysErrorMessage(err));
}

[[noreturn]] void WriteError(const std::string& name, int err) {
  throw EWriteError("Cannot write file \"" + name + "\". " + SysErrorMessage(err));
}

// The file a name stands for: symbolic links are followed, also to a file that does not
// exist yet, which the write then creates.
std::string FollowLinks(const std::string& name) {
  std::string cur = name;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(cur.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return cur;
    std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
    ssize_t n = readlink(cur.c_str(), buf.data(), buf.size());
    if (n < 0) CreateError(name, errno);
    if (size_t(n) >= buf.size()) CreateError(name, ENAMETOOLONG);
    std::string target(buf.data(), size_t(n));
    cur = target[0] == '/' ? target : ExtractFilePath(cur) + target;
  }
  CreateError(name, ELOOP);
}

bool WriteAllAt(int fd, const char* p, size_t size, int& err) {
  off_t at = 0;
  while (size > 0) {
    ssize_t n = pwrite(fd, p, size, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : ENOSPC;
      return false;
    }
    p += n;
    at += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace

namespace {

// Beside the new content while a file is rewritten in place: which file, by device, inode and
// path. Its presence in a dead save's folder means the file may be torn.
const char* const kInPlaceMark = ".in-place";
constexpr int64_t kDeadSaveGrace = 5;  // seconds

bool WriteWhole(int fd, std::string_view data) {
  int err = 0;
  return WriteAllAt(fd, data.data(), data.size(), err) && ftruncate(fd, off_t(data.size())) == 0 &&
         fsync(fd) == 0;
}

// A dead save was rewriting a hard-linked file in place: the file gets the whole new content
// that the save had complete beside it, if it is still the file the save was writing.
void CompleteInPlaceWrite(const std::string& save, const std::string& file) {
  try {
    const std::string mark = ReadFileBytes(save + "/" + kInPlaceMark);
    unsigned long long dev = 0, ino = 0;
    int used = 0;
    if (sscanf(mark.c_str(), "%llu %llu %n", &dev, &ino, &used) != 2 || used <= 0) return;
    const std::string target = mark.substr(size_t(used));
    struct stat st;
    if (stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_dev) != dev ||
        uint64_t(st.st_ino) != ino)
      return;
    const std::string data = ReadFileBytes(save + "/" + file);
    int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return;
    WriteWhole(fd, data);
    close(fd);
  } catch (const Exception&) {}
}

// A private folder for a save's files beside `folder`, held (flock) while the save lives: a
// folder nobody holds belongs to a save that died and may be cleared away.
std::string MakeSaveFolder(const std::string& folder, const std::string& name, int& lock) {
  std::string tmpl = folder + ".zelmora-save-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) CreateError(name, errno);
  lock = open(buf.data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lock >= 0) flock(lock, LOCK_EX | LOCK_NB);
  return buf.data();
}

}  // namespace

TFileReplacement::TFileReplacement(const std::string& name) : FName(name), FTarget(FollowLinks(name)) {
  // Only a file is replaced: a folder, a device or a pipe under the name stays what it is.
  struct stat st;
  if (stat(FTarget.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode))
      throw EFCreateError("Cannot create file \"" + name + "\". " + KindProblem(name, st.st_mode));
    // A rename beside the file would replace it whatever its own permissions say: a file the
    // user made read-only, or may not write, is refused as writing into it would be. Root
    // may write anything, so a file without any write bit counts as read-only for root too.
    if ((st.st_mode & 0222) == 0 || access(FTarget.c_str(), W_OK) != 0)
      throw EFCreateError("Cannot write file \"" + name +
                          "\". The file is read-only: make it writable, or save under another name.");
  }
  std::string base = ExtractFileName(name);
  if (base.empty()) base = "file";
  if (TFilesReplacement* batch = TFilesReplacement::Staging(ExtractFilePath(FTarget))) {
    Path = batch->Stage(base, FTarget, name);
    if (!Path.empty()) {
      FBatch = batch;
      return;
    }
  }
  FDir = MakeSaveFolder(ExtractFilePath(FTarget), name, FLock);
  if (!TSaveBatch::Covers(ExtractFilePath(FTarget))) RecoverDeadSaves(ExtractFilePath(FTarget));
  Path = FDir + "/" + base;
}

TFileReplacement::~TFileReplacement() {
  if (FBatch) {
    if (!FCommitted) {
      unlink(Path.c_str());
      FBatch->Dropped(Path);
    }
    return;
  }
  if (!FCommitted) unlink(Path.c_str());
  unlink((FDir + "/" + kInPlaceMark).c_str());
  rmdir(FDir.c_str());
  if (FLock >= 0) close(FLock);
}

namespace {
thread_local TSaveBatch* gSaveBatch = nullptr;
// A folder as a save names it (ExtractFilePath of its file): with its final delimiter.
std::string BatchFolder(const std::string& folder) {
  return folder.empty() ? std::string("./") : IncludeTrailingPathDelimiter(folder);
}
}  // namespace

TSaveBatch::TSaveBatch(const std::string& folder) : FFolder(BatchFolder(folder)), FOuter(gSaveBatch) {
  RecoverDeadSaves(FFolder);
  gSaveBatch = this;
}

TSaveBatch::~TSaveBatch() { gSaveBatch = FOuter; }

bool TSaveBatch::Covers(const std::string& folder) {
  const std::string f = BatchFolder(folder);
  for (const TSaveBatch* b = gSaveBatch; b; b = b->FOuter)
    if (b->FFolder == f) return true;
  return false;
}

void RecoverDeadSaves(const std::string& folder) {
  const std::string dir = folder.empty() ? std::string("./") : IncludeTrailingPathDelimiter(folder);
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> saves;
  while (dirent* e = readdir(d))
    if (std::string_view(e->d_name).starts_with(".zelmora-save-")) saves.push_back(dir + e->d_name);
  closedir(d);
  const int64_t now = int64_t(time(nullptr));
  for (const std::string& save : saves) {
    struct stat st;
    if (lstat(save.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) continue;
    // A live save holds its folder's lock from the moment it has made it; the few seconds of
    // grace cover the moment between.
    if (now - int64_t(st.st_mtim.tv_sec) < kDeadSaveGrace) continue;
    int lock = open(save.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (lock < 0) continue;
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
      close(lock);
      continue;
    }
    std::vector<std::string> files;
    bool inPlace = false;
    if (DIR* s = opendir(save.c_str())) {
      while (dirent* e = readdir(s)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (name == kInPlaceMark) inPlace = true;
        else files.push_back(name);
      }
      closedir(s);
    }
    if (inPlace && files.size() == 1) CompleteInPlaceWrite(save, files[0]);
    for (const std::string& f : files) unlink((save + "/" + f).c_str());
    unlink((save + "/" + kInPlaceMark).c_str());
    rmdir(save.c_str());
    close(lock);
  }
}

namespace {

// The replaced file's extended attributes and permissions, its ACL included, go to the new
// file through the system's own libraries. Copying the mode bits alone would make an ACL's
// mask the group's permissions and so widen who may write the file.
void CopyFileProperties(const std::string& from, const std::string& to, const std::string& name) {
  int src = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (src < 0) CreateError(name, errno);
  int dst = open(to.c_str(), O_RDONLY | O_CLOEXEC);
  if (dst < 0) {
    int err = errno;
    close(src);
    CreateError(name, err);
  }
  int err = 0;
  // The attributes first: setting a user attribute needs write permission on the new file,
  // which the copied permissions may take away. A file system without extended attributes
  // has none to keep.
  if (attr_copy_fd(from.c_str(), src, to.c_str(), dst, nullptr, nullptr) != 0 && errno != ENOTSUP)
    err = errno;
  if (err == 0 && perm_copy_fd(from.c_str(), src, to.c_str(), dst, nullptr) != 0) err = errno ? errno : EPERM;
  close(src);
  close(dst);
  if (err != 0) CreateError(name, err);
}

}  // namespace

namespace {

// The process's file mode creation mask, read without changing it.
mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// The new file `path` takes what the file it replaces had, or the usual permissions of a new
// file. False when the target has more than one hard link and must be rewritten in place.
bool TakeOldFileProperties(const std::string& path, const std::string& target, const std::string& name,
                           mode_t mask) {
  struct stat old;
  const bool exists = stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  if (exists && old.st_nlink > 1) return false;
  if (exists) {
    // The owner first: a change of owner clears the set-id bits that the permissions then
    // restore. Only root may give a file away; a group the user belongs to is kept otherwise.
    if (chown(path.c_str(), old.st_uid, old.st_gid) != 0) (void)!chown(path.c_str(), uid_t(-1), old.st_gid);
    CopyFileProperties(target, path, name);
  } else if (chmod(path.c_str(), 0666 & ~mask) != 0) {
    CreateError(name, errno);
  }
  return true;
}

// The file's data on disk before its name may stand for it: a rename that reached the disk
// before the data would leave an empty or torn file under the user's name after a crash.
void SyncFile(const std::string& path, const std::string& name) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) WriteError(name, errno);
  if (fsync(fd) != 0) {
    const int err = errno;
    close(fd);
    WriteError(name, err);
  }
  close(fd);
}

}  // namespace

void TFileReplacement::Commit() {
  if (FBatch) {
    FBatch->Staged(FName, FTarget, Path);
    FCommitted = true;
    return;
  }
  SyncFile(Path, FName);
  if (TakeOldFileProperties(Path, FTarget, FName, CurrentUmask())) {
    if (rename(Path.c_str(), FTarget.c_str()) != 0) CreateError(FName, errno);
  } else {
    CommitInPlace();
  }
  FCommitted = true;
}

// A rename would give the name a new file and leave the other names on the old one, so the
// content is written into the file itself. The new content is complete on disk (in the
// temporary file) before the file is touched, room for it is reserved first, and a write
// that fails on the way puts the old content back.
void TFileReplacement::CommitInPlace() {
  std::string data = ReadFileBytes(Path);
  std::string before = ReadFileBytes(FTarget);
  int fd = open(FTarget.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) CreateError(FName, errno);
  int err = 0;
  // Should the program be ended during the rewrite, the mark tells a later save or open that
  // the file may be torn and that the complete new content lies beside it.
  {
    struct stat st;
    if (fstat(fd, &st) != 0) {
      err = errno;
      close(fd);
      WriteError(FName, err);
    }
    const std::string mark = std::to_string(uint64_t(st.st_dev)) + " " + std::to_string(uint64_t(st.st_ino)) +
                             " " + ExpandFileName(FTarget);
    int m = open((FDir + "/" + kInPlaceMark).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (m < 0 || !WriteWhole(m, mark)) {
      err = m < 0 ? errno : EIO;
      if (m >= 0) close(m);
      close(fd);
      WriteError(FName, err);
    }
    close(m);
  }
  if (data.size() > before.size()) {
    int rc = fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(data.size()));
    if (rc != 0 && errno != EOPNOTSUPP && errno != ENOSYS) {
      err = errno;
      close(fd);
      WriteError(FName, err);
    }
  }
  bool ok = WriteAllAt(fd, data.data(), data.size(), err);
  if (ok && ftruncate(fd, off_t(data.size())) != 0) ok = false, err = errno;
  if (ok && fsync(fd) != 0) ok = false, err = errno;
  if (!ok) {
    int ignored = 0;
    if (WriteAllAt(fd, before.data(), before.size(), ignored)) (void)!ftruncate(fd, off_t(before.size()));
    fsync(fd);
    close(fd);
    WriteError(FName, err);
  }
  if (close(fd) != 0) WriteError(FName, errno);
  unlink(Path.c_str());
}

namespace {
thread_local TFilesReplacement* gStaging = nullptr;
}  // namespace

namespace {
// A folder as the batch compares it: absolute, with its final delimiter.
std::string StagingFolder(const std::string& folder) {
  return IncludeTrailingPathDelimiter(ExpandFileName(folder.empty() ? std::string(".") : folder));
}
}  // namespace

TFilesReplacement::TFilesReplacement(const std::string& folder)
    : FDeadSavesOnce(folder), FFolder(StagingFolder(folder)), FOuter(gStaging) {
  gStaging = this;
}

TFilesReplacement::~TFilesReplacement() {
  for (const TStaged& f : FFiles)
    if (!f.Path.empty()) unlink(f.Path.c_str());
  if (!FDir.empty()) rmdir(FDir.c_str());
  if (FLock >= 0) close(FLock);
  // Batches end in the reverse order of their making; one ended early is only passed over.
  for (TFilesReplacement** b = &gStaging; *b; b = &(*b)->FOuter)
    if (*b == this) {
      *b = FOuter;
      break;
    }
}

TFilesReplacement* TFilesReplacement::Staging(const std::string& folder) {
  if (!gStaging) return nullptr;
  const std::string f = StagingFolder(folder);
  for (TFilesReplacement* b = gStaging; b; b = b->FOuter)
    if (!b->FDone && b->FFolder == f) return b;
  return nullptr;
}

std::string TFilesReplacement::Stage(const std::string& base, const std::string& target, const std::string& name) {
  if (FDir.empty()) {
    // Made by the first save, so that a folder that cannot be written is named with that file.
    FDir = MakeSaveFolder(FFolder, name, FLock);
  }
  const std::string path = FDir + "/" + base;
  if (std::find(FWriting.begin(), FWriting.end(), path) != FWriting.end()) return "";
  if (auto it = FIndex.find(path); it != FIndex.end()) {
    TStaged& earlier = FFiles[it->second];
    if (earlier.Target != target) return "";
    // A later save of the same file takes the place of the earlier one.
    unlink(path.c_str());
    earlier.Path.clear();
    FIndex.erase(it);
  } else if (struct stat st; lstat(path.c_str(), &st) == 0) {
    return "";  // made there by a writer of the batch (a codec's own companion file)
  }
  FWriting.push_back(path);
  return path;
}

void TFilesReplacement::Staged(const std::string& name, const std::string& target, const std::string& path) {
  Dropped(path);
  FIndex[path] = FFiles.size();
  FFiles.push_back({name, target, path});
}

void TFilesReplacement::Dropped(const std::string& path) {
  if (auto it = std::find(FWriting.begin(), FWriting.end(), path); it != FWriting.end()) FWriting.erase(it);
}

void TFilesReplacement::Commit() {
  // Saves from here on (a hard-linked file rewritten in place) are saves of their own.
  FDone = true;
  std::vector<TStaged*> files;
  for (TStaged& f : FFiles)
    if (!f.Path.empty()) files.push_back(&f);
  // Every file's data is written out together, each file's writing checked, then the file
  // system is synced once for all of them: one flush of the disk, not one a file.
  for (TStaged* f : files) {
    int fd = open(f->Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) WriteError(f->Name, errno);
    (void)sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    close(fd);
  }
  for (TStaged* f : files) {
    int fd = open(f->Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) WriteError(f->Name, errno);
    if (sync_file_range(fd, 0, 0,
                        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) !=
        0) {
      const int err = errno;
      close(fd);
      WriteError(f->Name, err);
    }
    close(fd);
  }
  if (files.empty()) return;
  if (FLock < 0 || syncfs(FLock) != 0) WriteError(files.front()->Name, errno);
  // Each file gets the properties of the one it replaces before any is moved in, so that a
  // refusal leaves every old file in place.
  const mode_t mask = CurrentUmask();
  std::vector<TStaged*> inPlace;
  for (TStaged* f : files)
    if (!TakeOldFileProperties(f->Path, f->Target, f->Name, mask)) inPlace.push_back(f);
  for (TStaged* f : files) {
    if (std::find(inPlace.begin(), inPlace.end(), f) != inPlace.end()) continue;
    if (rename(f->Path.c_str(), f->Target.c_str()) != 0) CreateError(f->Name, errno);
    FIndex.erase(f->Path);
    f->Path.clear();
  }
  // A file with other names keeps its inode: it is rewritten as a single save rewrites it.
  for (TStaged* f : inPlace) {
    WriteFileAtomic(f->Name, ReadFileBytes(f->Path));
    unlink(f->Path.c_str());
    FIndex.erase(f->Path);
    f->Path.clear();
  }
  // The new names on disk too.
  int dir = open(FFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    const bool synced = fsync(dir) == 0;
    const int err = errno;
    close(dir);
    if (!synced) WriteError(FFolder, err);
  }
}

void WriteFileAtomic(const std::string& name, std::string_view data) {
  TFileReplacement file(name);
  int fd = open(file.Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) CreateError(name, errno);
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int err = n < 0 ? errno : ENOSPC;
      close(fd);
      WriteError(name, err);
    }
    p += n;
    left -= size_t(n);
  }
  // The data is made durable by the commit (or with the other files of its batch).
  if (close(fd) != 0) WriteError(name, errno);
  file.Commit();
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  int64_t n = int64_t(a) * b;
  int64_t q = (n < 0) == (c < 0) ? (std::abs(n) + std::abs(int64_t(c)) / 2) / std::abs(int64_t(c))
                                 : -((std::abs(n) + std::abs(int64_t(c)) / 2) / std::abs(int64_t(c)));
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return int32_t(q);
}
