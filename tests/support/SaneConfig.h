// The scanner back ends a test sees. The scanner library reads its configuration folder's
// name once per process, but the list of back ends on every start, so every test of a
// process shares one folder and rewrites the list.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "tests/support/TestSupport.h"

class ScopedSaneBackends {
 public:
  // `backends`: one name a line ("test" is the library's virtual scanner), or empty for none.
  explicit ScopedSaneBackends(const std::string& backends) {
    static const std::string folder = [] {
      std::string f =
          (std::filesystem::temp_directory_path() / ("zelmora-sane-" + std::to_string(getpid()))).string();
      std::filesystem::create_directories(f);
      setenv("SANE_CONFIG_DIR", f.c_str(), 1);
      std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(std::getenv("SANE_CONFIG_DIR"), ec);
      });
      return f;
    }();
    WriteAll(folder + "/dll.conf", backends + "\n");
  }
};
