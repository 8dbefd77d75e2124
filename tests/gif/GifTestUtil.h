// Helpers of the GIF tests: files written and read by the oracle tools.
#pragma once
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdlib.h>
#include <string>

#include "gif/Pxgif.h"
#include "platform/Classes.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

inline void LoadBytes(TGIFImage& g, const std::string& bytes) {
  TMemoryStream m;
  m.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  m.SetPosition(0);
  g.LoadFromStream(m);
}

// A bitmap as RGB bytes, top row first.
inline std::string BitmapRGB(const TBitmap& b) {
  std::string s;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      TColor c = b.GetPixelColor(x, y);
      s += char(c & 0xFF);
      s += char((c >> 8) & 0xFF);
      s += char((c >> 16) & 0xFF);
    }
  return s;
}

// Frame 0 as RGB bytes, top row first.
inline std::string Frame0RGB(TGIFImage& g) { return BitmapRGB(g.Frame(0).GetBitmap()); }

// One temporary folder for the whole test program, removed at its end.
inline std::string GifTempDir() {
  static TempDir dir;
  return dir.Path();
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// Frame 0 as giflib decodes it.
inline std::string Gif2Rgb(const std::string& path) {
  std::string out = path + ".g2r";
  int st = 0;
  ShellOutput("gif2rgb -1 -o '" + out + "' '" + path + "' 2>&1", &st);
  return st == 0 ? ReadFileBytes(out) : std::string("gif2rgb failed");
}

inline std::string MagickRgb(const std::string& path) {
  return ShellOutput("convert '" + path + "[0]' -depth 8 rgb:- 2>/dev/null");
}

inline std::string PillowRgb(const std::string& path) {
  return ShellOutput(
      "/usr/bin/python3 -c \"import sys; from PIL import Image; "
      "sys.stdout.buffer.write(Image.open('" +
      path + "').convert('RGB').tobytes())\"");
}
