#include <arpa/inet.h>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "POP/PopWinInet.h"
#include "platform/SysUtils.h"
#include "tests/support/HttpServer.h"
#include "tests/support/TestSupport.h"

TEST(PopWinInet, UrlBlockedDownload) {
  TempDir site, cache;
  ScopedEnv env("ZELMORA_CACHE", cache.Path());
  WriteAll(site.File("pic.gif"), "GIF89a-body");
  WriteAll(site.File("big.bin"), std::string(200000, 'x'));
  HttpServer server(site.Path());
  ASSERT_GT(server.Port, 0) << "/usr/bin/python3 with http.server is needed for this test";
  std::string base = "http://127.0.0.1:" + IntToStr(server.Port) + "/";

  std::string got = UrlBlockedDownload(base + "pic.gif");
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(ReadAll(got), "GIF89a-body");
  EXPECT_EQ(ExtractFilePath(got), cache.Path() + "/");
  EXPECT_EQ(ExtractFileExt(got), ".gif");

  EXPECT_EQ(UrlBlockedDownload(base + "missing.gif"), "");
  // The name is ours, so a path in the URL cannot leave the cache folder.
  std::string escaped = UrlBlockedDownload(base + "..%2F..%2Fpic.gif");
  if (!escaped.empty()) { EXPECT_EQ(ExtractFilePath(escaped), cache.Path() + "/"); }
  TDownloadLimits small;
  small.MaxBytes = 100000;
  EXPECT_EQ(UrlBlockedDownload(base + "big.bin", small), "");
  EXPECT_EQ(UrlBlockedDownload("file://" + site.File("pic.gif")), "");
  EXPECT_EQ(UrlBlockedDownload("ftp://127.0.0.1/x"), "");
  EXPECT_EQ(UrlBlockedDownload(""), "");
  // Failed downloads leave nothing behind: only the good ones are in the cache.
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(cache.Path())) files += e.is_regular_file();
  EXPECT_EQ(files, escaped.empty() ? 1u : 2u);
  // Progress reaches the whole length; a refusal stops the download and leaves no file.
  TDownloadLimits watched;
  int64_t received = 0, expected = 0;
  watched.Progress = [&](int64_t r, int64_t e) {
    received = r;
    expected = e;
    return true;
  };
  EXPECT_NE(UrlBlockedDownload(base + "big.bin", watched), "");
  EXPECT_EQ(received, 200000);
  EXPECT_EQ(expected, 200000);
  size_t before =
      std::distance(std::filesystem::directory_iterator(cache.Path()), std::filesystem::directory_iterator());
  watched.Progress = [](int64_t, int64_t) { return false; };
  EXPECT_EQ(UrlBlockedDownload(base + "big.bin", watched), "");
  watched.Progress = [](int64_t, int64_t) -> bool { throw std::runtime_error("stop"); };
  EXPECT_EQ(UrlBlockedDownload(base + "big.bin", watched), "");
  EXPECT_EQ(size_t(std::distance(std::filesystem::directory_iterator(cache.Path()),
                                 std::filesystem::directory_iterator())),
            before);
}

TEST(PopWinInet, UrlBlockedDownloadTimesOut) {
  TempDir cache;
  ScopedEnv env("ZELMORA_CACHE", cache.Path());
  // A listening socket that is never served: the connection opens, no answer ever comes.
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, (sockaddr*)&a, sizeof a), 0);
  ASSERT_EQ(listen(fd, 4), 0);
  socklen_t len = sizeof a;
  getsockname(fd, (sockaddr*)&a, &len);
  TDownloadLimits limits;
  limits.TotalTimeoutMs = 1500;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(UrlBlockedDownload("http://127.0.0.1:" + IntToStr(ntohs(a.sin_port)) + "/x.gif", limits), "");
  auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_LT(ms, 5000);
  EXPECT_GE(ms, 1000);
  close(fd);
  // No partial file is left behind.
  EXPECT_TRUE(std::filesystem::is_empty(cache.Path()));
}
