// Helpers of the Targa, PCX and ILBM tests: pictures as top-down RGB bytes, the tools'
// decodings of a file, and the tool-made fixtures.
#pragma once
#include <algorithm>
#include <dirent.h>
#include <string>
#include <vector>

#include "tests/imageformats/ImgFmtTestUtil.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

// The picture as a tool decodes it: `command` (which reads the file) writes a PPM or PAM
// image on its standard output; ImageMagick turns it into RGB bytes at 8 bits.
inline std::string ToolRgb(const std::string& tool, const std::string& command) {
  return RunTool(tool, command + " | convert - -depth 8 rgb:-");
}

// Equal RGB strings; otherwise the first pixel that differs, not the whole dump.
inline ::testing::AssertionResult SameRgb(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  if (got.size() != want.size())
    return ::testing::AssertionFailure() << got.size() << " bytes instead of " << want.size();
  size_t i = 0;
  while (got[i] == want[i]) ++i;
  i -= i % 3;
  char text[96];
  std::snprintf(text, sizeof text, "pixel %zu is %02x%02x%02x instead of %02x%02x%02x", i / 3,
                uint8_t(got[i]), uint8_t(got[i + 1]), uint8_t(got[i + 2]), uint8_t(want[i]),
                uint8_t(want[i + 1]), uint8_t(want[i + 2]));
  return ::testing::AssertionFailure() << text;
}

// The tool-made fixtures with the given extension, made into `dir` by the fixture script.
inline std::vector<std::string> ToolFixtures(const TempDir& dir, const std::string& ext) {
  int rc = 0;
  std::string log =
      ShellOutput("bash '" ZELMORA_FIXTURES "/make_tga_pcx_ilbm_fixtures.sh' '" + dir.Path() + "' 2>&1", &rc);
  EXPECT_EQ(rc, 0) << log;
  std::vector<std::string> files;
  if (DIR* d = opendir(dir.Path().c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() > ext.size() && n.compare(n.size() - ext.size(), ext.size(), ext) == 0) files.push_back(n);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

// A 13 x 5 palette pattern of the given depth, its palette, and the same as 24-bit pixels.
inline ImgFmtRgb TestPaletteEntry(int i) {
  return {uint8_t(i * 37 + 11), uint8_t(255 - i * 13), uint8_t(i * 101 + 7)};
}

inline std::vector<uint8_t> IndexPattern(int32_t w, int32_t h, int32_t bpp) {
  const int64_t stride = imgfmt_row_bytes(w, bpp);
  std::vector<uint8_t> d(size_t(stride * h), 0);
  const int colours = 1 << bpp;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      int v = (x * 5 + y * 3 + x * y) % colours;
      uint8_t* row = d.data() + y * stride;
      if (bpp == 8) row[x] = uint8_t(v);
      else if (bpp == 4) row[x / 2] |= uint8_t(v << (x % 2 ? 0 : 4));
      else row[x / 8] |= uint8_t(v << (7 - x % 8));
    }
  return d;
}

inline std::string Le16s(int v) { return {char(v & 0xff), char((v >> 8) & 0xff)}; }
