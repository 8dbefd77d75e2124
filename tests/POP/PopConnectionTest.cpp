// The connection check where the network is known: a namespace with nothing but the
// loopback, listeners of the test's own, and a resolver that never answers.
#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include "POP/PopWinInet.h"
#include "platform/SysUtils.h"
#include "tests/support/Isolated.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

namespace {
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

// A listening TCP socket on a loopback address; the port it got, 0 when it could not be made.
int Listen(int family) {
  int fd = socket(family, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_storage ss{};
  socklen_t len;
  if (family == AF_INET6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
    a->sin6_family = AF_INET6;
    a->sin6_addr = in6addr_loopback;
    len = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&ss);
    a->sin_family = AF_INET;
    a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    len = sizeof *a;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0 || listen(fd, 8) != 0) return 0;
  getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
  // Left open: the child process that made it ends with the test body.
  return family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port)
                            : ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
}

struct Answer {
  std::string url;
  bool connected;
  long long ms;
  int paints;  // how often the windows could paint during the check
};

// Each URL checked in turn, as lines "url connected ms paints".
std::string CheckAll(const std::vector<std::string>& urls) {
  ScriptedServices services;
  std::ostringstream out;
  for (const std::string& url : urls) {
    services.PaintWaits = 0;
    auto t0 = Clock::now();
    bool c = IsConnectedToInternet(url);
    out << url << ' ' << c << ' ' << MsSince(t0) << ' ' << services.PaintWaits << '\n';
  }
  return out.str();
}

std::vector<Answer> ParseAnswers(const std::string& text) {
  std::vector<Answer> answers;
  std::istringstream in(text);
  Answer a;
  while (in >> a.url >> a.connected >> a.ms >> a.paints) answers.push_back(a);
  return answers;
}

// Fails the test with the reason when the namespace could not be made: CI runs as root, where
// it always can; elsewhere the test says plainly that it did not run.
#define REQUIRE_ISOLATED(result)                                                                        \
  do {                                                                                                  \
    if (!(result).Ran) {                                                                                \
      if (geteuid() == 0) FAIL() << "no network namespace for this test: " << (result).Why;             \
      GTEST_SKIP() << "NOT RUN: this machine gives no network namespace to this user (" << (result).Why \
                   << "); run the tests as root (as CI does) to run this test";                         \
    }                                                                                                   \
    ASSERT_TRUE((result).Why.empty()) << (result).Why;                                                  \
  } while (0)
}  // namespace

// Without any network, hosts by number and by name are unreachable, and the answer comes at
// once; listeners on the loopback, by IPv4 and by IPv6 literal, are reachable.
TEST(PopConnection, WithoutNetworkOnlyTheLoopbackAnswers) {
  IsolatedResult r = RunIsolated([] {
    int port4 = Listen(AF_INET), port6 = Listen(AF_INET6);
    if (!port4 || !port6) throw std::runtime_error("no loopback listener in the namespace");
    return CheckAll({"http://1.1.1.1/", "https://192.0.2.10:8443/x", "http://[2001:db8::1]/",
                     "http://www.debian.org/", "http://127.0.0.1:" + IntToStr(port4) + "/",
                     "http://[::1]:" + IntToStr(port6) + "/page.htm", "http://[::1]:" + IntToStr(port4) + "/",
                     "http://[::1]/"});
  });
  REQUIRE_ISOLATED(r);
  std::vector<Answer> answers = ParseAnswers(r.Output);
  ASSERT_EQ(answers.size(), 8u) << r.Output;
  const bool want[] = {false, false, false, false, true, true, false, false};
  for (size_t i = 0; i < answers.size(); ++i) {
    EXPECT_EQ(answers[i].connected, want[i]) << answers[i].url;
    EXPECT_LT(answers[i].ms, 2000) << answers[i].url;
  }
}

// A resolver that takes every question and never answers: the check gives up within its few
// seconds without freezing the windows, and names that cannot exist are refused without
// asking it. The second check ends in time though the first look-up is still waiting
// for its answer.
TEST(PopConnection, AStalledResolverDoesNotHoldTheCheck) {
  TempDir dir;
  const std::string conf = dir.File("resolv.conf");
  WriteAll(conf, "nameserver 127.0.0.1\noptions timeout:20 attempts:1\n");
  IsolatedResult r = RunIsolated(
      [&] {
        // The resolver's port is taken and never read.
        int udp = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(53);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(udp, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
          throw std::runtime_error("port 53 of the loopback is taken");
        if (mount(conf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0)
          throw std::runtime_error(std::string("resolv.conf could not be replaced: ") + strerror(errno));
        return CheckAll({"http://www.zelmora-stalled.org/", "https://pages.zelmora-stalled.net:8443/",
                         "http://host.invalid/"});
      },
      true);
  REQUIRE_ISOLATED(r);
  std::vector<Answer> answers = ParseAnswers(r.Output);
  ASSERT_EQ(answers.size(), 3u) << r.Output;
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_FALSE(answers[i].connected) << answers[i].url;
    EXPECT_LT(answers[i].ms, 6000) << answers[i].url;
    // It did wait for the resolver: the answer is not made up before asking.
    EXPECT_GE(answers[i].ms, 1000) << answers[i].url;
    // ... and the windows painted all along, at least every tenth of a second.
    EXPECT_GE(answers[i].paints, answers[i].ms / 100) << answers[i].url;
  }
  EXPECT_FALSE(answers[2].connected);
  EXPECT_LT(answers[2].ms, 500);
}
