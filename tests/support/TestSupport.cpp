// Temporary folders, environment variables and file helpers shared by the tests.
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

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
