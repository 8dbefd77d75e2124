#include "platform/Services.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

int DefaultButton(uint32_t flags) {
  switch (flags & 0xF) {
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    default: return IDOK;
  }
}

int TConsoleServices::MessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return DefaultButton(flags);
}

namespace {

std::vector<char*> ArgvOf(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  return args;
}

// Runs `grandchild` in a child of a child, so that what it starts belongs to init and never
// lingers as a zombie of ours. It gets the write end of a close-on-exec pipe and must not
// return; we get the read end, or -1 when nothing could be started.
int ForkDetached(const std::function<void(int)>& grandchild) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return -1;
  }
  if (pid == 0) {
    close(fds[0]);
    if (fork() == 0) {
      setsid();
      grandchild(fds[1]);
    }
    _exit(0);
  }
  close(fds[1]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
  return fds[0];
}

}  // namespace

// The pipe reports whether exec succeeded: it closes on exec, or carries a byte.
bool SpawnDetached(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return false;
  std::vector<char*> args = ArgvOf(argv);
  int rd = ForkDetached([&](int wr) {
    execvp(args[0], args.data());
    char fail = 1;
    (void)!write(wr, &fail, 1);
    _exit(127);
  });
  if (rd < 0) return false;
  char fail = 0;
  ssize_t n = read(rd, &fail, 1);
  close(rd);
  return n == 0;
}

// The program runs as the child of a detached watcher, which waits for it and sends one byte
// through the pipe: '0' for a successful end and '1' for anything else. We wait for that byte
// at most waitMs; when the program still runs then, we stop listening and the watcher's later
// write goes nowhere.
bool SpawnWatched(const std::vector<std::string>& argv, int waitMs) {
  if (argv.empty() || argv[0].empty()) return false;
  std::vector<char*> args = ArgvOf(argv);
  int rd = ForkDetached([&](int wr) {
    signal(SIGPIPE, SIG_IGN);
    pid_t program = fork();
    if (program == 0) {
      execvp(args[0], args.data());
      _exit(127);
    }
    int status = 0;
    while (program > 0 && waitpid(program, &status, 0) < 0 && errno == EINTR) {}
    char result = program > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? '0' : '1';
    (void)!write(wr, &result, 1);
    _exit(0);
  });
  if (rd < 0) return false;
  pollfd p{rd, POLLIN, 0};
  int ready;
  do ready = poll(&p, 1, std::max(waitMs, 0));
  while (ready < 0 && errno == EINTR);
  bool ok = true;  // still running when the time is up
  if (ready > 0) {
    char result = '1';
    ok = read(rd, &result, 1) == 1 && result == '0';
  }
  close(rd);
  return ok;
}

bool OpenWithDesktopOpener(const std::string& url) {
  if (url.empty() || url[0] == '-') return false;
  return SpawnWatched({"xdg-open", url}, kOpenerWaitMs);
}

bool TConsoleServices::OpenUrl(const std::string& url) { return OpenWithDesktopOpener(url); }

bool TConsoleServices::Launch(const std::vector<std::string>& argv) { return SpawnDetached(argv); }

namespace {
TConsoleServices gDefault;
TServices* gCurrent = nullptr;
}  // namespace

TServices& Services() { return gCurrent ? *gCurrent : gDefault; }
void SetServices(TServices* services) { gCurrent = services; }
