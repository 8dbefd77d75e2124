// URL parts and combination, connection check.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// Whether the URL's host takes a connection, answered within a few seconds whatever the
// network and the resolver do; the windows go on painting meanwhile. Hosts under "invalid"
// are refused without a look-up; IPv6 literals ("http://[::1]:8080/") are looked up bare.
bool IsConnectedToInternet(const std::string& url);
// Whether the URL's host lies under a top-level name reserved for tests and examples
// ("example", "test", "invalid", "localhost"): such a host is not on the internet by design,
// so a failed connection check says nothing about being offline.
bool UrlHostIsReserved(const std::string& url);
bool UrlIsAvaliableOffline(const std::string& url);
// The file: URL of a local file name (a relative one taken from the current folder): every
// byte but letters, digits, "-", ".", "_", "~" and "/" percent-encoded, so that "#", "?" and
// "%" stay part of the name.
std::string UrlFromFileName(const std::string& fileName);
std::string UrlGetScheme(const std::string& url);
std::string UrlGetHostName(const std::string& url);
std::string UrlGetPath(const std::string& url);
std::string UrlGetUserName(const std::string& url);
std::string UrlGetPassword(const std::string& url);
std::string UrlGetExtraInfo(const std::string& url);
std::string UrlGetHostAddress(const std::string& url);
std::string UrlCombine(const std::string& base, const std::string& relative, uint32_t flags = 0);
std::string UrlUnixToDos(const std::string& url);
std::string UrlDosToUnix(const std::string& url);
std::string UrlRemoveBookmark(const std::string& url);
std::string UrlGetFileName(const std::string& url);
std::string UrlGetFileExt(const std::string& url);
std::string UrlExtractFileExt(const std::string& url);
std::string UrlGetSchemeExt(const std::string& url);

std::string UrlCanonicalize(const std::string& url, uint32_t flags = 0);
std::string UrlStandardize(const std::string& url);
// The last download of this thread: the server's status line ("HTTP/1.1 404 Not Found") when
// it answered with one, else the reason the download failed; empty before any download.
std::string WinINetGetLastResponseString();
// The user name and password of the proxy the downloads of http addresses go through, as the
// environment gives it to them ("http_proxy", then "all_proxy"), percent-decoded; empty
// without a proxy or without credentials.
std::string WinINetProxyUsername();
std::string WinINetProxyPassword();

// The parts of a URL as positions inside its text; ok is false when it cannot be split.
struct TUrlParts {
  bool ok = false;
  std::string scheme, user, password, host, port, path, extra;
};
TUrlParts UrlCrack(const std::string& url);

// Downloads an http or https URL into the download cache and waits for it; the local file
// on success, empty on any failure. Bounded by time-outs and a size cap so that a dead
// host cannot hold the user-interface thread for long.
// Stops a download from any thread: the transfer is interrupted at once, however slow the
// server, and the download fails with "The download was cancelled".
class TDownloadCancel {
 public:
  TDownloadCancel() = default;
  TDownloadCancel(const TDownloadCancel&) = delete;
  TDownloadCancel& operator=(const TDownloadCancel&) = delete;
  void Cancel();
  bool Cancelled() const;
  // The download's transfer while it waits for the network, for Cancel to wake it.
  void Attach(void* transfer);
  void Detach();

 private:
  mutable std::mutex FLock;
  bool FCancelled = false;
  void* FTransfer = nullptr;
};

struct TDownloadLimits {
  long ConnectTimeoutMs = 10000;
  long TotalTimeoutMs = 60000;
  int64_t MaxBytes = 64LL * 1024 * 1024;
  // Called while the transfer runs with the bytes received and expected (0 while unknown);
  // returning false stops the download, which then fails.
  std::function<bool(int64_t received, int64_t expected)> Progress;
  // Where another thread may stop the download; none: it runs until it ends or times out.
  std::shared_ptr<TDownloadCancel> Cancel;
};
std::string UrlBlockedDownload(const std::string& url);
std::string UrlBlockedDownload(const std::string& url, const TDownloadLimits& limits);
// The folder the downloads go to: ConfigFolder's sibling cache, or $XDG_CACHE_HOME/zelmora.
std::string DownloadCacheFolder();
