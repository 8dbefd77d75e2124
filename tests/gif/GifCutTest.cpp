// Every fixture cut at every length, through every way a GIF is read: the result is an
// error, a picture flagged corrupted, or frames equal to the whole file's own. Never a crash
// or a read outside the data (run under the sanitizers).
#include <functional>
#include <gtest/gtest.h>

#include "platform/Canvas.h"
#include "tests/gif/GifFixtures.h"

namespace {

struct CorruptedSetting {
  bool saved = GIFLoadCorrupted;
  explicit CorruptedSetting(bool v) { GIFLoadCorrupted = v; }
  ~CorruptedSetting() { GIFLoadCorrupted = saved; }
};

TMemoryStream StreamOf(const std::string& bytes) {
  TMemoryStream m;
  m.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  m.SetPosition(0);
  return m;
}

// The frames of a picture as RGB bytes, each decoded.
std::vector<std::string> FramesRGB(TGIFImage& g) {
  std::vector<std::string> f;
  for (int i = 0; i < g.Count(); ++i) f.push_back(BitmapRGB(g.Frame(i).GetBitmap()));
  return f;
}

using TReader = std::function<std::unique_ptr<TGraphic>(const std::string&)>;

// The ways in: the stream load, the property-data form with its length, a lazy load that
// decodes on demand, and a picture made by the registry for "gif" and then drawn.
const std::vector<std::pair<const char*, TReader>>& Readers() {
  static const std::vector<std::pair<const char*, TReader>> r = {
      {"LoadFromStream",
       [](const std::string& b) {
         auto g = std::make_unique<TGIFImage>();
         TMemoryStream m = StreamOf(b);
         g->LoadFromStream(m);
         return std::unique_ptr<TGraphic>(std::move(g));
       }},
      {"ReadData",
       [](const std::string& b) {
         auto g = std::make_unique<TGIFImage>();
         TMemoryStream m;
         m.WriteDWord(uint32_t(b.size()));
         m.WriteBuffer(b.data(), int64_t(b.size()));
         m.SetPosition(0);
         g->ReadData(m);
         return std::unique_ptr<TGraphic>(std::move(g));
       }},
      {"lazy ReadStream",
       [](const std::string& b) {
         auto g = std::make_unique<TGIFImage>();
         TMemoryStream m = StreamOf(b);
         g->ReadStream(int64_t(b.size()), m, false);
         return std::unique_ptr<TGraphic>(std::move(g));
       }},
      {"registry and Draw",
       [](const std::string& b) {
         const TGraphicFormat* f = GraphicFormatForExtension("gif");
         EXPECT_NE(f, nullptr);
         std::unique_ptr<TGraphic> g = f->Create();
         TMemoryStream m = StreamOf(b);
         g->LoadFromStream(m);
         TBitmap sheet(16, 16, pf32bit);
         sheet.Canvas().StretchDraw(Rect(0, 0, 16, 16), g.get());
         TBitmap copy;
         if (!g->Empty()) copy.Assign(g.get());
         return g;
       }},
  };
  return r;
}

}  // namespace

TEST(GifCut, EveryPrefixThroughEveryReader) {
  const std::vector<GifFixture> fixtures = AllGifFixtures();
  ASSERT_GE(fixtures.size(), 15u);
  for (const GifFixture& fx : fixtures) {
    std::vector<std::string> whole;
    {
      CorruptedSetting s(true);
      try {
        TGIFImage g;
        LoadBytes(g, fx.bytes);
        whole = FramesRGB(g);
      } catch (const Exception&) {}
    }
    for (bool tolerate : {true, false}) {
      CorruptedSetting s(tolerate);
      for (const auto& [reader, read] : Readers()) {
        int errors = 0, flagged = 0, clean = 0;
        for (size_t len = 0; len < fx.bytes.size(); ++len) {
          const std::string cut = fx.bytes.substr(0, len);
          try {
            std::unique_ptr<TGraphic> g = read(cut);
            auto* gif = dynamic_cast<TGIFImage*>(g.get());
            ASSERT_NE(gif, nullptr);
            std::vector<std::string> frames = FramesRGB(*gif);
            if (gif->Corrupted()) {
              ++flagged;
              ASSERT_TRUE(tolerate) << fx.name << " / " << reader
                                    << " flagged while damage should raise, cut " << len;
              continue;
            }
            ++clean;
            // Unflagged, it holds complete frames of the file and no others.
            ASSERT_LE(frames.size(), whole.size()) << fx.name << " / " << reader << " cut " << len;
            for (size_t i = 0; i < frames.size(); ++i)
              ASSERT_EQ(frames[i], whole[i])
                  << fx.name << " / " << reader << " cut " << len << " frame " << i;
          } catch (const Exception&) { ++errors; }
        }
        EXPECT_GT(errors + flagged, 0) << fx.name << " / " << reader;
      }
    }
  }
}

// The property-data form checks its length against what follows.
TEST(GifCut, ReadDataLengthBeyondTheData) {
  const std::string f = GifBuilder().Header(2, 1, 1).Image(2, 1).Codes(2, {4, 1, 0, 5}).Trailer().b;
  for (size_t len = 0; len < f.size(); ++len) {
    TMemoryStream m;
    m.WriteDWord(uint32_t(f.size()));
    m.WriteBuffer(f.data(), int64_t(len));
    m.SetPosition(0);
    TGIFImage g;
    EXPECT_THROW(g.ReadData(m), Exception) << len;
  }
}

// The decoder alone on every prefix of every frame's data.
TEST(GifCut, DecoderOnEveryPrefixOfTheData) {
  CorruptedSetting keep(true);
  for (const GifFixture& fx : AllGifFixtures()) {
    TGIFImage g;
    try {
      LoadBytes(g, fx.bytes);
    } catch (const Exception&) { continue; }
    for (int i = 0; i < g.Count(); ++i) {
      TGIFItem& it = g.Frame(i).Item();
      if (!it.ImageData || int64_t(it.Width) * it.Height > (1 << 20)) continue;
      const std::string data = it.ImageData->DataAsString();
      for (bool tolerate : {true, false}) {
        CorruptedSetting s(tolerate);
        for (size_t len = 0; len <= data.size(); ++len) {
          std::vector<uint8_t> px;
          const std::string cut = data.substr(0, len);
          try {
            DecodeLZW(reinterpret_cast<const uint8_t*>(cut.data()), cut.size(), it.Width, it.Height,
                      it.BitsPerPixel, g.Frame(i).Interlaced, px);
            EXPECT_EQ(px.size(), size_t(it.Width) * size_t(it.Height)) << fx.name << " cut " << len;
          } catch (const Exception&) {
            EXPECT_FALSE(tolerate) << fx.name << " raised while tolerating, cut " << len;
          }
        }
      }
    }
  }
}
