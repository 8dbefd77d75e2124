#include "platform/Services.h"

#include <cstdio>
#include <fcntl.h>
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

// Forks twice so that the started program belongs to init and never lingers as a zombie of
// ours; a close-on-exec pipe reports whether exec succeeded.
bool SpawnDetached(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return false;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    if (fork() == 0) {
      setsid();
      execvp(args[0], args.data());
      char fail = 1;
      (void)!write(fds[1], &fail, 1);
      _exit(127);
    }
    _exit(0);
  }
  close(fds[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  char fail = 0;
  ssize_t n = read(fds[0], &fail, 1);
  close(fds[0]);
  return n == 0;
}

bool OpenWithDesktopOpener(const std::string& url) {
  if (url.empty() || url[0] == '-') return false;
  return SpawnDetached({"xdg-open", url});
}

bool TConsoleServices::OpenUrl(const std::string& url) { return OpenWithDesktopOpener(url); }

bool TConsoleServices::Launch(const std::vector<std::string>& argv) { return SpawnDetached(argv); }

namespace {
TConsoleServices gDefault;
TServices* gCurrent = nullptr;
}  // namespace

TServices& Services() { return gCurrent ? *gCurrent : gDefault; }
void SetServices(TServices* services) { gCurrent = services; }
