// The image class's GIF load on every GIF fixture cut at every length: the image either
// loads or raises and keeps what it held; never a crash (run under the sanitizers).
#include <gtest/gtest.h>

#include "engine/XImage.h"
#include "tests/gif/GifFixtures.h"
#include "tests/support/TestSupport.h"

TEST(XImageGIF, EveryPrefixOfEveryFixture) {
  TempDir dir;
  const std::string path = dir.File("cut.gif");
  for (bool tolerate : {true, false}) {
    const bool saved = GIFLoadCorrupted;
    GIFLoadCorrupted = tolerate;
    for (const GifFixture& fx : AllGifFixtures()) {
      for (size_t len = 0; len <= fx.bytes.size(); ++len) {
        WriteFileBytes(path, fx.bytes.substr(0, len));
        XImage img;
        img.SetSize(2, 3);
        try {
          img.LoadFromFile(path);
          EXPECT_EQ(img.PixelFormat(), pf32bit) << fx.name << " cut " << len;
        } catch (const Exception&) {
          ASSERT_EQ(img.Width(), 2) << fx.name << " cut " << len;
          ASSERT_EQ(img.Height(), 3) << fx.name << " cut " << len;
        }
      }
    }
    GIFLoadCorrupted = saved;
  }
}
