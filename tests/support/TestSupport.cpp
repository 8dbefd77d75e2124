// Temporary folders, environment variables and file helpers shared by the tests.
#include "tests/support/TestSupport.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "zelmora-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  FPath = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ec);
  std::filesystem::remove_all(FPath, ec);
}

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : FName(name) {
  const char* old = getenv(name.c_str());
  FHadOld = old != nullptr;
  if (old) FOld = old;
  setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (FHadOld) setenv(FName.c_str(), FOld.c_str(), 1);
  else unsetenv(FName.c_str());
}

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

LoopbackListener::LoopbackListener() {
  FFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (FFd < 0 || bind(FFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(FFd, 4) != 0 ||
      getsockname(FFd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw std::runtime_error("no loopback port to listen on");
  FPort = ntohs(a.sin_port);
}

LoopbackListener::~LoopbackListener() {
  if (FFd >= 0) close(FFd);
}

FakeOpener::FakeOpener()
    : FLog(FBin.File("opened")),
      FPath("PATH", FBin.Path() + ":" + std::string(getenv("PATH") ? getenv("PATH") : "")) {
  EndsWith(0);
}

void FakeOpener::EndsWith(int status) {
  WriteAll(FBin.File("xdg-open"),
           "#!/bin/sh\nprintf '%s' \"$1\" > '" + FLog + "'\nexit " + std::to_string(status) + "\n");
  chmod(FBin.File("xdg-open").c_str(), 0755);
  unlink(FLog.c_str());
}
