#include "POP/PopWinInet.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/ProgramFolder.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

TUrlParts UrlCrack(const std::string& url) {
  TUrlParts u;
  size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return u;
  for (size_t i = 0; i < colon; ++i) {
    char c = url[i];
    if (!(std::isalnum((unsigned char)c) || c == '+' || c == '-' || c == '.')) return u;
  }
  if (!std::isalpha((unsigned char)url[0])) return u;
  u.scheme = url.substr(0, colon);
  std::string rest = url.substr(colon + 1);
  if (rest.compare(0, 2, "//") == 0) {
    rest = rest.substr(2);
    size_t end = rest.find_first_of("/?#");
    std::string auth = rest.substr(0, end);
    rest = end == std::string::npos ? std::string() : rest.substr(end);
    size_t at = auth.rfind('@');
    if (at != std::string::npos) {
      std::string ui = auth.substr(0, at);
      auth = auth.substr(at + 1);
      size_t c = ui.find(':');
      u.user = ui.substr(0, c);
      if (c != std::string::npos) u.password = ui.substr(c + 1);
    }
    size_t pc = auth.rfind(':');
    if (pc != std::string::npos && auth.find(']', pc) == std::string::npos) {
      u.port = auth.substr(pc + 1);
      auth = auth.substr(0, pc);
    }
    u.host = auth;
  }
  size_t q = rest.find_first_of("?#");
  u.path = rest.substr(0, q);
  if (q != std::string::npos) u.extra = rest.substr(q);
  u.ok = true;
  return u;
}

std::string UrlGetScheme(const std::string& url) { return UrlCrack(url).scheme; }
std::string UrlGetHostName(const std::string& url) { return UrlCrack(url).host; }
std::string UrlGetPath(const std::string& url) { return UrlCrack(url).path; }
std::string UrlGetUserName(const std::string& url) { return UrlCrack(url).user; }
std::string UrlGetPassword(const std::string& url) { return UrlCrack(url).password; }
std::string UrlGetExtraInfo(const std::string& url) { return UrlCrack(url).extra; }
std::string UrlGetHostAddress(const std::string& url) { return "http://" + UrlGetHostName(url); }

std::string UrlFromFileName(const std::string& fileName) {
  std::string path = fileName;
  if (path.empty() || path[0] != '/') path = IncludeTrailingPathDelimiter(GetCurrentDir()) + path;
  static const char hex[] = "0123456789ABCDEF";
  std::string out = "file://";
  for (unsigned char c : path) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~' || c == '/') {
      out += char(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

bool UrlIsAvaliableOffline(const std::string& url) {
  if (SameText(UrlGetScheme(url), "http")) {
    std::string path = UrlGetPath(url);
    return !path.empty() && FileExists(path);
  }
  return true;
}

namespace {
bool HasSuffix(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}
}  // namespace

// The top-level names that RFC 2606 and RFC 6761 keep out of the public name system.
bool UrlHostIsReserved(const std::string& url) {
  std::string host = LowerCase(UrlGetHostName(url));
  while (!host.empty() && host.back() == '.') host.pop_back();
  for (const char* reserved : {"example", "invalid", "localhost", "test"}) {
    const std::string tld = reserved;
    if (host == tld || HasSuffix(host, "." + tld)) return true;
  }
  return false;
}

namespace {
using Clock = std::chrono::steady_clock;

// The whole check, look-up and connection, ends within this time.
constexpr int kCheckLimitMs = 3000;
// Look-ups that outlived their check and still hold a thread; past this many, the resolver is
// taken as not answering and no further thread is started.
constexpr int kMaxStrandedChecks = 4;
std::atomic<int> gRunningChecks{0};

struct TCheck {
  std::mutex Lock;
  std::condition_variable Done;
  bool Finished = false, Connected = false;
};

int MsUntil(Clock::time_point deadline) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return ms < 0 ? 0 : int(ms);
}

// A non-blocking connect either succeeds at once, fails at once (no route, refused: the
// error is in errno, and SO_ERROR reads 0 afterwards), or is in progress until the socket
// becomes writable with its outcome in SO_ERROR.
bool ConnectBefore(const addrinfo& a, Clock::time_point deadline) {
  int fd = socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
  if (fd < 0) return false;
  bool ok = false;
  int r;
  do r = connect(fd, a.ai_addr, a.ai_addrlen);
  while (r != 0 && errno == EINTR);
  if (r == 0) {
    ok = true;
  } else if (errno == EINPROGRESS) {
    for (;;) {
      pollfd p{fd, POLLOUT, 0};
      int n = poll(&p, 1, MsUntil(deadline));
      if (n < 0 && errno == EINTR) continue;
      if (n == 1) {
        int err = -1;
        socklen_t len = sizeof err;
        ok = getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
      }
      break;
    }
  }
  close(fd);
  return ok;
}

void RunCheck(std::shared_ptr<TCheck> check, std::string host, std::string port, Clock::time_point deadline) {
  bool ok = false;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &res) == 0) {
    for (addrinfo* a = res; a && !ok && Clock::now() < deadline; a = a->ai_next)
      ok = ConnectBefore(*a, deadline);
    freeaddrinfo(res);
  }
  {
    std::lock_guard<std::mutex> hold(check->Lock);
    check->Finished = true;
    check->Connected = ok;
  }
  check->Done.notify_all();
  --gRunningChecks;
}
}  // namespace

// getaddrinfo cannot be given a time limit or be interrupted, and a resolver that does not
// answer holds it for half a minute or more: the look-up and the connection run on a thread
// of their own, and this thread waits for them at most the check's limit, letting the
// windows paint meanwhile. A check that outlives its limit counts as "not connected"; its
// thread ends on its own when the resolver gives up.
bool IsConnectedToInternet(const std::string& url) {
  TUrlParts u = UrlCrack(url);
  if (!u.ok || u.host.empty()) return false;
  std::string host = u.host;
  // An IPv6 literal stands in brackets in a URL, bare for the resolver.
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  // Names under "invalid" never resolve anywhere: not worth a question to the resolver.
  std::string name = LowerCase(host);
  while (!name.empty() && name.back() == '.') name.pop_back();
  if (name == "invalid" || HasSuffix(name, ".invalid")) return false;
  std::string port = u.port;
  if (port.empty()) port = SameText(u.scheme, "https") ? "443" : SameText(u.scheme, "ftp") ? "21" : "80";
  if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5) return false;

  if (gRunningChecks.load() >= kMaxStrandedChecks) return false;
  auto check = std::make_shared<TCheck>();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kCheckLimitMs);
  ++gRunningChecks;
  try {
    std::thread(RunCheck, check, host, port, deadline).detach();
  } catch (const std::system_error&) {
    --gRunningChecks;
    return false;
  }
  // The worker stops connecting at the deadline; a little more for its last poll to end.
  const Clock::time_point giveUp = deadline + std::chrono::milliseconds(250);
  std::unique_lock<std::mutex> hold(check->Lock);
  while (!check->Finished && Clock::now() < giveUp) {
    check->Done.wait_for(hold, std::chrono::milliseconds(40));
    if (check->Finished) break;
    hold.unlock();
    Services().PaintWhileWaiting();
    hold.lock();
  }
  return check->Finished && check->Connected;
}

namespace {
std::string RemoveDotSegments(std::string in) {
  std::string out;
  while (!in.empty()) {
    if (in.compare(0, 3, "../") == 0) in.erase(0, 3);
    else if (in.compare(0, 2, "./") == 0) in.erase(0, 2);
    else if (in.compare(0, 3, "/./") == 0) in.erase(0, 2);
    else if (in == "/.") in = "/";
    else if (in.compare(0, 4, "/../") == 0 || in == "/..") {
      in = in.size() == 3 ? "/" : in.substr(3);
      size_t p = out.rfind('/');
      out.erase(p == std::string::npos ? 0 : p);
    } else if (in == "." || in == "..") in.clear();
    else {
      size_t start = in[0] == '/' ? 1 : 0;
      size_t p = in.find('/', start);
      out += in.substr(0, p);
      in = p == std::string::npos ? std::string() : in.substr(p);
    }
  }
  return out;
}

struct Ref {
  bool hasScheme = false, hasAuth = false, hasQuery = false, hasFrag = false;
  std::string scheme, auth, path, query, frag;
};

Ref Split(const std::string& s) {
  Ref r;
  std::string rest = s;
  size_t h = rest.find('#');
  if (h != std::string::npos) {
    r.hasFrag = true;
    r.frag = rest.substr(h + 1);
    rest.erase(h);
  }
  size_t q = rest.find('?');
  if (q != std::string::npos) {
    r.hasQuery = true;
    r.query = rest.substr(q + 1);
    rest.erase(q);
  }
  size_t c = rest.find(':');
  if (c != std::string::npos && c > 0 && std::isalpha((unsigned char)rest[0]) && rest.find('/') > c) {
    bool ok = true;
    for (size_t i = 0; i < c; ++i)
      if (!(std::isalnum((unsigned char)rest[i]) || rest[i] == '+' || rest[i] == '-' || rest[i] == '.'))
        ok = false;
    if (ok) {
      r.hasScheme = true;
      r.scheme = rest.substr(0, c);
      rest.erase(0, c + 1);
    }
  }
  if (rest.compare(0, 2, "//") == 0) {
    size_t e = rest.find('/', 2);
    r.hasAuth = true;
    r.auth = rest.substr(2, e == std::string::npos ? std::string::npos : e - 2);
    rest = e == std::string::npos ? std::string() : rest.substr(e);
  }
  r.path = rest;
  return r;
}
}  // namespace

// Reference resolution of RFC 3986 section 5.2; an empty relative reference gives the base.
std::string UrlCombine(const std::string& base, const std::string& relative, uint32_t flags) {
  Ref b = Split(base), r = Split(relative), t;
  if (r.hasScheme) {
    t = r;
    t.path = RemoveDotSegments(r.path);
  } else {
    if (r.hasAuth) {
      t.hasAuth = true;
      t.auth = r.auth;
      t.path = RemoveDotSegments(r.path);
      t.hasQuery = r.hasQuery;
      t.query = r.query;
    } else {
      if (r.path.empty()) {
        t.path = b.path;
        t.hasQuery = r.hasQuery ? true : b.hasQuery;
        t.query = r.hasQuery ? r.query : b.query;
      } else {
        if (r.path[0] == '/') {
          t.path = RemoveDotSegments(r.path);
        } else {
          std::string merged;
          if (b.hasAuth && b.path.empty()) merged = "/" + r.path;
          else {
            size_t p = b.path.rfind('/');
            merged = (p == std::string::npos ? std::string() : b.path.substr(0, p + 1)) + r.path;
          }
          t.path = RemoveDotSegments(merged);
        }
        t.hasQuery = r.hasQuery;
        t.query = r.query;
      }
      t.hasAuth = b.hasAuth;
      t.auth = b.auth;
    }
    t.hasScheme = b.hasScheme;
    t.scheme = b.scheme;
  }
  t.hasFrag = r.hasFrag;
  t.frag = r.frag;
  std::string out;
  if (t.hasScheme) out += t.scheme + ":";
  if (t.hasAuth) out += "//" + t.auth;
  out += t.path;
  if (t.hasQuery) out += "?" + t.query;
  if (t.hasFrag) out += "#" + t.frag;
  return out;
}

// Dot segments removed and blanks encoded, as a canonical URL has them.
std::string UrlCanonicalize(const std::string& url, uint32_t flags) {
  Ref r = Split(url);
  std::string out;
  if (r.hasScheme) out += r.scheme + ":";
  if (r.hasAuth) out += "//" + r.auth;
  out += RemoveDotSegments(r.path);
  if (r.hasQuery) out += "?" + r.query;
  if (r.hasFrag) out += "#" + r.frag;
  return StringReplaceAll(out, " ", "%20");
}
// A link resolved against an empty file base, as a browser resolves it.
std::string UrlStandardize(const std::string& url) {
  return UrlCanonicalize(UrlCombine("file:///", UrlDosToUnix(url)));
}

std::string UrlUnixToDos(const std::string& url) { return StringReplaceAll(url, "/", "\\"); }
std::string UrlDosToUnix(const std::string& url) { return StringReplaceAll(url, "\\", "/"); }
std::string UrlRemoveBookmark(const std::string& url) { return url.substr(0, url.find('#')); }

std::string UrlGetFileName(const std::string& url) {
  std::string path = UrlGetPath(url);
  size_t p = path.find_last_of("/\\:");
  return p == std::string::npos ? path : path.substr(p + 1);
}
std::string UrlGetFileExt(const std::string& url) {
  std::string name = UrlGetFileName(url);
  size_t p = name.rfind('.');
  return p == std::string::npos ? std::string() : name.substr(p);
}
std::string UrlExtractFileExt(const std::string& url) { return UrlGetFileExt(url); }
std::string UrlGetSchemeExt(const std::string& url) {
  if (SameText(UrlGetScheme(url), "mailto")) return ".eml";
  std::string ext = UrlGetFileExt(url);
  return ext.empty() ? ".htm" : ext;
}

// ---- download ----
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>

namespace {
struct Sink {
  FILE* f;
  int64_t written = 0, cap;
  bool overflow = false;
};

size_t WriteBody(char* data, size_t size, size_t n, void* user) {
  Sink* s = static_cast<Sink*>(user);
  size_t bytes = size * n;
  if (s->written + int64_t(bytes) > s->cap) {
    s->overflow = true;
    return 0;  // aborts the transfer
  }
  if (fwrite(data, 1, bytes, s->f) != bytes) return 0;
  s->written += int64_t(bytes);
  return bytes;
}
// The status line of every response, redirects included: the last one stays.
size_t ReadHeader(char* data, size_t size, size_t n, void* user) {
  std::string line(data, size * n);
  if (line.compare(0, 5, "HTTP/") == 0) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    *static_cast<std::string*>(user) = line;
  }
  return size * n;
}

int TransferInfo(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t) {
  const TDownloadLimits* limits = static_cast<const TDownloadLimits*>(user);
  // A non-zero answer aborts the transfer; no exception may cross libcurl's frames.
  try {
    return limits->Progress(int64_t(dlnow), int64_t(dltotal)) ? 0 : 1;
  } catch (...) { return 1; }
}
}  // namespace

namespace {
// Per thread, as the last response of the platform's internet functions was.
thread_local std::string gLastResponse;

std::string PercentDecode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
      out += char(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The proxy as libcurl takes it from the environment for an http address: "http_proxy" in
// lower case only (the upper-case name can be set by a web server's request), then
// "all_proxy" or "ALL_PROXY". A proxy given without a scheme is an http proxy.
TUrlParts DownloadProxy() {
  std::string proxy = GetEnvironmentVariable("http_proxy");
  if (proxy.empty()) proxy = GetEnvironmentVariable("all_proxy");
  if (proxy.empty()) proxy = GetEnvironmentVariable("ALL_PROXY");
  if (proxy.empty()) return {};
  if (proxy.find("://") == std::string::npos) proxy = "http://" + proxy;
  return UrlCrack(proxy);
}
}  // namespace

std::string WinINetGetLastResponseString() { return gLastResponse; }
std::string WinINetProxyUsername() { return PercentDecode(DownloadProxy().user); }
std::string WinINetProxyPassword() { return PercentDecode(DownloadProxy().password); }

std::string DownloadCacheFolder() {
  std::string base = GetEnvironmentVariable("ZELMORA_CACHE");
  if (base.empty()) { base = XdgUserFolder("XDG_CACHE_HOME", ".cache") + "/zelmora/downloads"; }
  return IncludeTrailingPathDelimiter(base);
}

std::string UrlBlockedDownload(const std::string& url) { return UrlBlockedDownload(url, {}); }

void TDownloadCancel::Cancel() {
  std::lock_guard<std::mutex> lock(FLock);
  FCancelled = true;
  if (FTransfer) curl_multi_wakeup(static_cast<CURLM*>(FTransfer));
}

bool TDownloadCancel::Cancelled() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FCancelled;
}

void TDownloadCancel::Attach(void* transfer) {
  std::lock_guard<std::mutex> lock(FLock);
  FTransfer = transfer;
}

void TDownloadCancel::Detach() {
  std::lock_guard<std::mutex> lock(FLock);
  FTransfer = nullptr;
}

namespace {
// Runs the transfer to its end; a cancel wakes the wait for the network at once. True when it
// was cancelled.
bool PerformCancellable(CURL* curl, TDownloadCancel* cancel, CURLcode& rc) {
  if (!cancel) {
    rc = curl_easy_perform(curl);
    return false;
  }
  CURLM* multi = curl_multi_init();
  if (!multi) {
    rc = CURLE_OUT_OF_MEMORY;
    return false;
  }
  curl_multi_add_handle(multi, curl);
  cancel->Attach(multi);
  bool cancelled = false;
  rc = CURLE_OK;
  int running = 1;
  while (true) {
    if (cancel->Cancelled()) {
      cancelled = true;
      break;
    }
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      rc = CURLE_FAILED_INIT;
      break;
    }
    if (running == 0) break;
    if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
      rc = CURLE_FAILED_INIT;
      break;
    }
  }
  cancel->Detach();
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi, &left))
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == curl) rc = msg->data.result;
  curl_multi_remove_handle(multi, curl);
  curl_multi_cleanup(multi);
  return cancelled;
}
}  // namespace

std::string UrlBlockedDownload(const std::string& url, const TDownloadLimits& limits) {
  gLastResponse.clear();
  std::string scheme = UrlGetScheme(url);
  if (!SameText(scheme, "http") && !SameText(scheme, "https") && !SameText(scheme, "ftp")) {
    gLastResponse = "Only ftp, http and https addresses are downloaded: \"" + url + "\"";
    return {};
  }
  static bool init = (curl_global_init(CURL_GLOBAL_DEFAULT) == 0);
  if (!init) {
    gLastResponse = "The download library could not be started";
    return {};
  }
  std::string folder = DownloadCacheFolder();
  if (!ForceDirectories(folder)) {
    gLastResponse = "The download folder " + folder + " could not be made";
    return {};
  }
  // The name is ours: the URL never decides where the file lands. The extension of the
  // URL's file name is kept (letters and digits only) so that pictures load by extension.
  std::string ext;
  for (char c : UrlGetFileExt(url))
    if (c == '.' || std::isalnum((unsigned char)c)) ext += c;
  if (ext.size() > 8 || ext == ".") ext.clear();
  std::string tmpl = folder + "download-XXXXXX" + ext;
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = mkstemps(name.data(), int(ext.size()));
  std::string path(name.data());
  FILE* f = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (!f) {
    gLastResponse = "The download file in " + folder + " could not be made: " + std::strerror(errno);
    if (fd >= 0) {
      close(fd);
      DeleteFile(path);
    }
    return {};
  }
  Sink sink{f, 0, limits.MaxBytes};
  CURL* curl = curl_easy_init();
  CURLcode rc = CURLE_FAILED_INIT;
  bool cancelled = false;
  long status = 0;
  std::string statusLine;
  char error[CURL_ERROR_SIZE] = "";
  if (curl) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    // The schemes the address dialog offers for a download, and nothing a redirection could
    // bring in besides.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.ConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.TotalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(limits.MaxBytes));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, ReadHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &statusLine);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    if (limits.Progress) {
      curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, TransferInfo);
      curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &limits);
      curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }
    cancelled = PerformCancellable(curl, limits.Cancel.get(), rc);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
  }
  const bool written = fclose(f) == 0;
  if (cancelled) {
    gLastResponse = "The download was cancelled";
    DeleteFile(path);
    return {};
  }
  // The server's own words when it answered with a status, else what went wrong on the way.
  if (sink.overflow || rc == CURLE_FILESIZE_EXCEEDED)
    gLastResponse = "The file is larger than " + IntToStr(limits.MaxBytes) + " bytes";
  else if (!statusLine.empty() && (rc == CURLE_OK || status >= 400)) gLastResponse = statusLine;
  else if (rc != CURLE_OK) gLastResponse = *error ? std::string(error) : std::string(curl_easy_strerror(rc));
  else if (!written) gLastResponse = "The downloaded file could not be written";
  bool ok = written && rc == CURLE_OK && !sink.overflow && status < 400;
  if (!ok) {
    DeleteFile(path);
    return {};
  }
  return path;
}
