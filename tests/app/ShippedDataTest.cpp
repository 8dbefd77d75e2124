// The files the program ships, as a new user first sees them.
#include <gtest/gtest.h>
#include <string>

#include "POP/PopFastINI.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"

namespace {

const std::string kData = ZELMORA_DATA;

struct Textured {
  std::string section, texture;
  int mode, width, height;
};

// The objects of a shipped project that carry a texture.
std::vector<Textured> TexturedObjects(const std::string& project) {
  TINIDocument d(project);
  d.LoadFromFile(project);
  std::vector<Textured> objects;
  int n = d.ReadInteger("Heading", "NumOfButtons", 0);
  for (int i = 0; i < n; ++i) {
    std::string s = "Button" + IntToStr(i);
    std::string texture = d.ReadString(s, "TextureFileName", "");
    if (texture.empty()) continue;
    objects.push_back({s, texture, d.ReadInteger(s, "TextureMode", 1),
                       d.ReadInteger(s, "RectRight", 0) - d.ReadInteger(s, "RectLeft", 0),
                       d.ReadInteger(s, "RectBottom", 0) - d.ReadInteger(s, "RectTop", 0)});
  }
  return objects;
}

}  // namespace

// The start page shows its textures crisp: a stretched texture is made at the size of its
// object, any other tiles. The library's templates, applied at any size, tile theirs.
TEST(ShippedData, TexturesAreShownAtTheirSizeOrTiled) {
  const int kStretched = 1, kTiled = 2;
  auto start = TexturedObjects(kData + "/projects/splash.zlm");
  ASSERT_FALSE(start.empty());
  for (const Textured& o : start) {
    SCOPED_TRACE(o.section + " " + o.texture);
    TBitmap texture;
    texture.LoadFromFile(kData + "/Images/" + o.texture);
    if (o.mode == kStretched) {
      EXPECT_EQ(texture.Width(), o.width);
      EXPECT_EQ(texture.Height(), o.height);
    } else {
      EXPECT_EQ(o.mode, kTiled);
    }
  }
  auto library = TexturedObjects(kData + "/library.zlm");
  ASSERT_FALSE(library.empty());
  for (const Textured& o : library) {
    SCOPED_TRACE(o.section + " " + o.texture);
    EXPECT_TRUE(FileExists(kData + "/Images/" + o.texture));
    EXPECT_EQ(o.mode, kTiled);
  }
}
