// The scanner back ends a test sees. The scanner library reads its configuration folder's
// name once per process, but the list of back ends on every start, so every test of a
// process shares one folder and rewrites the list.
#pragma once
#include <cstdlib>
#include <dlfcn.h>
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
    // The virtual scanner's reader thread can lose a buffer when a scan ends while it still
    // runs; the library is unloaded at the scanner library's exit, and a leak in code that is
    // gone carries no library name to suppress it by. Kept loaded, its leaks are its own.
    if (backends.find("test") != std::string::npos) {
      static void* keep = dlopen(SANE_BACKEND_DIR "/libsane-test.so.1", RTLD_NOW | RTLD_NODELETE);
      (void)keep;
    }
  }
};
