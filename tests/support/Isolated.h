// Runs a piece of a test in a child process inside a network namespace of its own: only the
// loopback, no route anywhere, so a test can see how the program behaves without a network
// (and with a resolver of its own making) whatever the machine it runs on is connected to.
// Making a namespace needs root (CI runs as root); elsewhere the result says why it could not.
#pragma once
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

struct IsolatedResult {
  bool Ran = false;    // false: the namespace could not be made; Why says why
  std::string Why;     // the reason, or how the child ended when it did not end well
  std::string Output;  // what the body returned
};

namespace isolated_detail {
inline void WriteAllTo(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    ssize_t n = write(fd, s.data() + done, s.size() - done);
    if (n <= 0) return;
    done += size_t(n);
  }
}
inline bool LoopbackUp() {
  int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  ifreq ifr{};
  std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
  ifr.ifr_flags |= IFF_UP;
  ok = ok && ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
  close(s);
  return ok;
}
}  // namespace isolated_detail

// `ownMounts` adds a private mount namespace, so the body may bind files over system files
// (a resolv.conf of its own) without touching the machine's. The child is killed after
// `limitMs`.
inline IsolatedResult RunIsolated(const std::function<std::string()>& body, bool ownMounts = false,
                                  int limitMs = 60000) {
  using namespace isolated_detail;
  IsolatedResult r;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    r.Why = "pipe failed";
    return r;
  }
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    r.Why = "fork failed";
    return r;
  }
  if (pid == 0) {
    close(fds[0]);
    // The first byte tells the parent whether the namespace could be made.
    if (unshare(CLONE_NEWNET | (ownMounts ? CLONE_NEWNS : 0)) != 0) {
      WriteAllTo(fds[1], std::string("N") + "unshare(CLONE_NEWNET" + (ownMounts ? "|CLONE_NEWNS" : "") +
                             ") failed: " + std::strerror(errno));
      _exit(3);
    }
    if (ownMounts && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      WriteAllTo(fds[1], std::string("Nmaking the mounts private failed: ") + std::strerror(errno));
      _exit(3);
    }
    if (!LoopbackUp()) {
      WriteAllTo(fds[1], std::string("Nthe loopback could not be brought up: ") + std::strerror(errno));
      _exit(3);
    }
    std::string out;
    try {
      out = "Y" + body();
    } catch (const std::exception& e) { out = std::string("Ethe body threw: ") + e.what(); }
    WriteAllTo(fds[1], out);
    _exit(0);
  }
  close(fds[1]);
  std::string got;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  bool timedOut = false;
  for (;;) {
    int left =
        int(std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())
                .count());
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    int n = poll(&p, 1, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) continue;
    char buf[4096];
    ssize_t k = read(fds[0], buf, sizeof buf);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) break;
    got.append(buf, size_t(k));
  }
  close(fds[0]);
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (timedOut) {
    r.Ran = true;
    r.Why = "the child was killed after " + std::to_string(limitMs) + " ms";
    return r;
  }
  if (got.empty()) {
    r.Ran = true;
    r.Why = "the child ended without an answer (status " + std::to_string(status) + ")";
    return r;
  }
  if (got[0] == 'N') {
    r.Why = got.substr(1);
    return r;
  }
  r.Ran = true;
  if (got[0] == 'E') r.Why = got.substr(1);
  else r.Output = got.substr(1);
  return r;
}
