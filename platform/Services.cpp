#include "Services.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

int DefaultButton(uint32_t flags) {
  switch (flags & 0xF) {
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    default: return IDOK;
  }
}

int TConsoleServices::MessageBox(const std::string& text, const std::string& caption,
                                 uint32_t flags) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return DefaultButton(flags);
}

bool SpawnDetached(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return false;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  // Reap it in the background is not possible without a thread; a quick non-blocking check
  // catches programs that failed at once, the rest become the init process's children later.
  int status = 0;
  waitpid(pid, &status, WNOHANG);
  return true;
}

bool TConsoleServices::OpenUrl(const std::string& url) {
  if (url.empty() || url[0] == '-') return false;
  return SpawnDetached({"xdg-open", url});
}

bool TConsoleServices::Launch(const std::vector<std::string>& argv) { return SpawnDetached(argv); }

namespace {
TConsoleServices gDefault;
TServices* gCurrent = nullptr;
}  // namespace

TServices& Services() { return gCurrent ? *gCurrent : gDefault; }
void SetServices(TServices* services) { gCurrent = services; }
