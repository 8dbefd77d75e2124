// The child runner of the tests: fork, a pipe for the result, poll with a deadline, wait4 for
// how the child ended.
#include "tests/support/ChildRunner.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr double kMB = 1024.0 * 1024.0;

void WriteAllTo(int fd, const std::string& s) {
  for (size_t done = 0; done < s.size();) {
    ssize_t n = write(fd, s.data() + done, s.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += size_t(n);
  }
}

[[noreturn]] void RunChild(int out, const std::function<std::string()>& work, int64_t writeCap) {
  if (writeCap >= 0) {
    rlimit cap{rlim_t(writeCap), rlim_t(writeCap)};
    setrlimit(RLIMIT_FSIZE, &cap);
  }
  malloc_trim(0);
  std::string result;
  const WorkCost cost = MeasureHere([&] {
    try {
      result = work();
    } catch (const std::exception& e) { result = std::string("raised: ") + e.what(); } catch (...) {
      result = "raised: something that is no std::exception";
    }
  });
  char head[64];
  std::snprintf(head, sizeof head, "%.6f %.3f\n", cost.CpuSeconds, cost.PeakMB);
  WriteAllTo(out, head + result);
  _exit(0);
}

}  // namespace

double ProcessCpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

int64_t StatusBytes(const char* field) {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind(field, 0) == 0) return std::atoll(line.c_str() + std::strlen(field)) * 1024;
  return -1;
}

WorkCost MeasureHere(const std::function<void()>& work) {
  {
    // Resets the peak resident size to the present one.
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5";
  }
  const int64_t before = StatusBytes("VmRSS:");
  const double t0 = ProcessCpuSeconds();
  work();
  WorkCost c;
  c.CpuSeconds = ProcessCpuSeconds() - t0;
  c.PeakMB = double(StatusBytes("VmHWM:") - before) / kMB;
  return c;
}

ChildRun RunInChild(const std::function<std::string()>& work, int limitMs, int64_t writeCap) {
  ChildRun r;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    r.Result = std::string("the pipe to the child could not be made: ") + std::strerror(errno);
    return r;
  }
  // What the parent has buffered would otherwise be written twice.
  std::fflush(nullptr);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  const pid_t pid = fork();
  if (pid < 0) {
    r.Result = std::string("fork failed: ") + std::strerror(errno);
    close(fds[0]);
    close(fds[1]);
    return r;
  }
  if (pid == 0) {
    close(fds[0]);
    RunChild(fds[1], work, writeCap);
  }
  close(fds[1]);
  std::string text;
  bool eof = false;
  while (!eof) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, int(left)) <= 0) continue;
    char buf[4096];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) eof = true;
    else text.append(buf, size_t(n));
  }
  close(fds[0]);
  if (!eof) kill(pid, SIGKILL);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {}
  const double childSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (!eof) {
    r.CpuSeconds = childSeconds;
    r.Result = "did not end within " + std::to_string(limitMs) + " ms (blocked, or working without end)";
    return r;
  }
  if (WIFSIGNALED(status)) {
    r.CpuSeconds = childSeconds;
    r.Result =
        std::string("was ended by ") + strsignal(WTERMSIG(status)) +
        (WTERMSIG(status) == SIGXFSZ ? " (it wrote past its cap of " + std::to_string(writeCap) + " bytes)"
                                     : std::string());
    return r;
  }
  const size_t line = text.find('\n');
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || line == std::string::npos) {
    r.CpuSeconds = childSeconds;
    r.Result = "ended with status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : status) +
               " without its result";
    return r;
  }
  char* end = nullptr;
  r.CpuSeconds = std::strtod(text.c_str(), &end);
  r.PeakMB = std::strtod(end, &end);
  r.Result = text.substr(line + 1);
  r.Finished = true;
  return r;
}
