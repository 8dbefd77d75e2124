// What the fuzz targets share: a private scratch folder (in memory where the machine has
// one) that is also the program folder, and quiet message boxes.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/Services.h"
#include "platform/SysUtils.h"

namespace fuzz {

// Boxes are answered without a word: OK, No or Cancel.
class QuietServices : public TConsoleServices {
 public:
  int MessageBox(const std::string&, const std::string&, uint32_t flags) override {
    uint32_t kind = flags & 0xF;
    return kind == MB_OK ? IDOK : kind == MB_YESNO ? IDNO : IDCANCEL;
  }
};

// Made once per process and removed at its end; ZELMORA_HOME and ZELMORA_CONFIG point into
// it, so textures are looked up in its Images folder and no user file is touched.
inline const std::string& Scratch() {
  static const std::string dir = [] {
    std::string t = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/zelmora-fuzz-XXXXXX";
    std::vector<char> b(t.begin(), t.end());
    b.push_back('\0');
    if (!mkdtemp(b.data())) abort();
    std::string d = b.data();
    std::filesystem::create_directories(d + "/Images");
    std::filesystem::create_directories(d + "/config");
    setenv("ZELMORA_HOME", d.c_str(), 1);
    setenv("ZELMORA_CONFIG", (d + "/config").c_str(), 1);
    static QuietServices quiet;
    SetServices(&quiet);
    static std::string toRemove = d;
    atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(toRemove, ec);
    });
    return d;
  }();
  return dir;
}

// The input as a file of the given name in the scratch folder; returns its path.
inline std::string InputFile(const uint8_t* data, size_t size, const std::string& name) {
  std::string path = Scratch() + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
  return path;
}

inline std::string Text(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace fuzz
