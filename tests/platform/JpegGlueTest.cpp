// The JPEG writer: what the colours keep at each quality.
#include "platform/JpegGlue.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// White strokes one pixel wide on red, the worst case of a caption on a button.
std::vector<uint8_t> CaptionOnRed(int w, int h) {
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool stroke = (x % 5 == 2) || (y % 7 == 3);
      uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
      p[0] = stroke ? 255 : 200, p[1] = stroke ? 255 : 20, p[2] = stroke ? 255 : 30;
    }
  return rgb;
}

double Psnr(const std::vector<uint8_t>& a, const uint8_t* b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  const double mse = sum / double(a.size());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// The horizontal and vertical sampling factors of the first component of the frame.
std::pair<int, int> LumaSampling(const JpegEncoded& e) {
  const std::string s(reinterpret_cast<const char*>(e.Data), e.Size);
  const size_t sof = s.find("\xFF\xC0");
  if (sof == std::string::npos || sof + 11 >= s.size()) return {0, 0};
  const uint8_t f = uint8_t(s[sof + 11]);
  return {f >> 4, f & 15};
}

// At the high qualities the colours keep full resolution (one sample of each for every
// pixel), as the common tools do; below them they are halved both ways, which costs little
// on photographs and halves the file.
TEST(JpegWriter, HighQualitiesKeepTheColoursAtFullResolution) {
  struct Case {
    int quality;
    int sampling;    // of the luma against the colours: 1 (4:4:4) or 2 (4:2:0)
    double minPsnr;  // of the decoded picture
  } cases[] = {{50, 2, 15}, {89, 2, 18}, {90, 1, 30}, {95, 1, 35}, {100, 1, 48}};
  const int w = 64, h = 48;
  const std::vector<uint8_t> rgb = CaptionOnRed(w, h);
  for (const Case& k : cases) {
    SCOPED_TRACE("quality " + std::to_string(k.quality));
    JpegEncoded e;
    ASSERT_EQ(JpegEncodeMemory(rgb.data(), w, h, false, k.quality, false, &e), 0) << e.Message;
    EXPECT_EQ(LumaSampling(e), std::make_pair(k.sampling, k.sampling));
    JpegDecoded d;
    ASSERT_EQ(JpegDecodeMemory(e.Data, e.Size, 1000, 1000000, &d), 0) << d.Message;
    EXPECT_GE(Psnr(rgb, d.Pixels), k.minPsnr);
    free(d.Pixels);
    free(e.Data);
  }
}

}  // namespace
