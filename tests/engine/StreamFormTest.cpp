// The bitmap compressor's records and the stream forms of stores and layers.
#include <functional>
#include <gtest/gtest.h>

#include "engine/TBitmapCompressor.h"
#include "engine/TLayer.h"
#include "engine/XObject.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"

namespace {

TEST(BitmapCompressor, RecordLayoutAndRoundTrip) {
  TBitmap b(3, 2, pf24bit);
  EXPECT_EQ(b.RowBytes(), 12);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b.SetPixelColor(x, y, RGB(uint8_t(x * 80), uint8_t(y * 90), 7));
  TBitmapCompressor c;
  c.Compress(b);
  TMemoryStream s;
  c.SaveToStream(s);
  std::string bytes = s.DataAsString();
  ASSERT_GE(bytes.size(), 13u);
  EXPECT_EQ(bytes.substr(0, 9), std::string("\x03\0\0\0\x02\0\0\0\x06", 9));
  uint32_t len = uint8_t(bytes[9]) | uint8_t(bytes[10]) << 8 | uint8_t(bytes[11]) << 16 |
                 uint32_t(uint8_t(bytes[12])) << 24;
  EXPECT_EQ(len + 13, bytes.size());

  s.SetPosition(0);
  TBitmapCompressor d;
  d.LoadFromStream(s);
  TBitmap out;
  d.Decompress(out);
  ASSERT_EQ(out.Width(), 3);
  ASSERT_EQ(out.Height(), 2);
  EXPECT_EQ(out.PixelFormat(), pf24bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(out.GetPixelColor(x, y), b.GetPixelColor(x, y));
}

TEST(BitmapCompressor, EmptyBitmapKeepsWidthAndFormat) {
  TBitmap b(5, 0, pf8bit);
  TBitmapCompressor c;
  c.Compress(b);
  TBitmap out;
  c.Decompress(out);
  EXPECT_EQ(out.Width(), 5);
  EXPECT_EQ(out.Height(), 0);
  EXPECT_EQ(out.PixelFormat(), pf8bit);
}

TEST(BitmapCompressor, DamagedRecordsLeaveTheBitmap) {
  TBitmap b(4, 4, pf32bit);
  TBitmapCompressor c;
  c.Compress(b);
  TMemoryStream s;
  c.SaveToStream(s);
  std::string good = s.DataAsString();

  TBitmap target(2, 2, pf24bit);
  auto load = [&](std::string bytes) {
    TMemoryStream m;
    m.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    m.SetPosition(0);
    TBitmapCompressor d;
    d.LoadFromStream(m);
    d.Decompress(target);
  };
  std::string badData = good;
  badData[15] ^= 0x5A;
  std::string bigger = good;
  bigger[0] = 8;  // the block no longer matches the data
  std::string longLength = good;
  longLength[12] = 0x40;
  std::string negative = good;
  negative[7] = char(0x80);
  for (const std::string& bad : {badData, bigger, longLength, negative, good.substr(0, 20)}) {
    EXPECT_THROW(load(bad), Exception);
    EXPECT_EQ(target.Width(), 2);
    EXPECT_EQ(target.PixelFormat(), pf24bit);
  }
}

TEST(StoreStream, StringItemsAndRoundTrip) {
  XObject o;
  TMemoryStream s;
  o.SaveToStream(nullptr);                    // nothing to do
  o.WriteString("k", std::string(245, 'v'));  // "[Base]\nk=" + 245 + "\n" = 255 bytes
  o.SaveToStream(&s);
  EXPECT_EQ(uint8_t(s.DataAsString()[0]), 6);
  o.WriteString("k", std::string(246, 'v'));
  TMemoryStream l;
  o.SaveToStream(&l);
  EXPECT_EQ(uint8_t(l.DataAsString()[0]), 12);
  l.WriteByte(0x99);  // what follows stays in the stream

  l.SetPosition(0);
  XObject back;
  back.LoadFromStream(&l);
  EXPECT_EQ(back.ReadString("k"), std::string(246, 'v'));
  EXPECT_EQ(l.ReadByte(), 0x99);

  TMemoryStream wrong;
  wrong.WriteByte(7);
  wrong.SetPosition(0);
  EXPECT_THROW(back.LoadFromStream(&wrong), EReadError);
}

// A layer with a place, a selection, keys of its own and a picture whose alpha varies.
void MakeLayer(TLayer& l, int seed) {
  l.SetBounds(3 + seed, -4, 17, 6);
  l.SetSelected(true);
  l.WriteString("Caption", "Hello, " + std::to_string(seed));
  l.WriteInteger("Shape", 24);
  l.Image->SetSize(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      uint8_t* p = l.Image->ScanLine(y) + 4 * x;
      p[0] = uint8_t(x * 50 + seed), p[1] = uint8_t(y * 80), p[2] = uint8_t(seed * 3), p[3] = uint8_t(x * 60);
    }
}

std::string Pixels(const TBitmap& b) {
  std::string s;
  for (int y = 0; y < b.Height(); ++y)
    s.append(reinterpret_cast<const char*>(b.ScanLine(y)), size_t(b.Width() * 4));
  return s;
}

// What a layer holds, in one text, for comparing a layer before and after.
std::string State(TLayer& l) {
  return std::to_string(l.Bounds.Left) + "," + std::to_string(l.Bounds.Top) + "," +
         std::to_string(l.Bounds.Right) + "," + std::to_string(l.Bounds.Bottom) +
         (l.IsSelected ? " selected " : " ") + l.Properties->AsString() + std::to_string(l.Image->Width()) +
         "x" + std::to_string(l.Image->Height()) + Pixels(*l.Image);
}

TEST(LayerStream, KeysPlaceSelectionAndPictureRoundTrip) {
  TLayer l;
  MakeLayer(l, 1);
  TMemoryStream s;
  l.SaveToStream(&s);
  s.WriteByte(0x99);  // what follows stays in the stream
  // One string item, then the picture's record: 5 x 3, 32 bits.
  s.SetPosition(0);
  std::string text = s.ReadStringItem();
  EXPECT_NE(text.find("Caption=Hello%2C+1"), std::string::npos) << text;
  EXPECT_EQ(s.ReadInt32(), 5);
  EXPECT_EQ(s.ReadInt32(), 3);
  EXPECT_EQ(s.ReadByte(), 7);

  s.SetPosition(0);
  TLayer back;
  MakeLayer(back, 2);
  back.LoadFromStream(&s);
  EXPECT_EQ(s.ReadByte(), 0x99);
  EXPECT_EQ(back.Bounds, Rect(4, -4, 21, 2));
  EXPECT_TRUE(back.IsSelected);
  EXPECT_EQ(back.ReadString("Caption"), "Hello, 1");
  EXPECT_EQ(back.ReadInteger("Shape"), 24);
  EXPECT_EQ(back.Image->PixelFormat(), pf32bit);
  EXPECT_EQ(State(back), State(l));

  // A layer that is not selected reads back unselected.
  l.SetSelected(false);
  TMemoryStream u;
  l.SaveToStream(&u);
  u.SetPosition(0);
  back.LoadFromStream(&u);
  EXPECT_FALSE(back.IsSelected);
}

TEST(LayerStream, WithoutAStream) {
  // Saving still leaves the place and the selection in the store ...
  TLayer l;
  MakeLayer(l, 1);
  l.SaveToStream(nullptr);
  EXPECT_EQ(l.ReadInteger("Left"), 4);
  EXPECT_EQ(l.ReadInteger("Top"), -4);
  EXPECT_EQ(l.ReadInteger("Right"), 21);
  EXPECT_EQ(l.ReadInteger("Bottom"), 2);
  EXPECT_EQ(l.ReadInteger("Frames"), 1);
  EXPECT_TRUE(l.ReadBool("IsSelected"));
  // ... and loading takes them from the store; the picture stays.
  TLayer m;
  MakeLayer(m, 3);
  m.WriteInteger("Left", 1);
  m.WriteInteger("Top", 2);
  m.WriteInteger("Right", 11);
  m.WriteInteger("Bottom", 22);
  m.WriteBool("IsSelected", false);
  std::string picture = Pixels(*m.Image);
  m.LoadFromStream(nullptr);
  EXPECT_EQ(m.Bounds, Rect(1, 2, 11, 22));
  EXPECT_FALSE(m.IsSelected);
  EXPECT_EQ(Pixels(*m.Image), picture);
}

TEST(LayerStream, DamagedStreamsLeaveTheLayer) {
  TLayer l;
  MakeLayer(l, 1);
  TMemoryStream s;
  l.SaveToStream(&s);
  const std::string good = s.DataAsString();
  auto load = [](TLayer& target, const std::string& bytes) {
    TMemoryStream m;
    m.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    m.SetPosition(0);
    target.LoadFromStream(&m);
  };
  // Cuts, a damaged picture, a store that asks for more frames, bounds beyond 32 bits.
  std::vector<std::pair<std::string, std::string>> bad;
  for (size_t n = 0; n < good.size(); ++n) bad.push_back({"cut at " + std::to_string(n), good.substr(0, n)});
  std::string flipped = good;
  flipped[good.size() - 6] ^= 0x55;
  bad.push_back({"zlib data", flipped});
  TMemoryStream item;
  l.SaveToStream(nullptr);
  item.WriteStringItem(l.Properties->AsString());
  const std::string record = good.substr(item.DataAsString().size());
  auto store = [&](const char* key, const std::string& value) {
    TLayer x;
    MakeLayer(x, 1);
    x.SaveToStream(nullptr);
    x.WriteString(key, value);
    TMemoryStream m;
    m.WriteStringItem(x.Properties->AsString());
    return m.DataAsString();
  };
  bad.push_back({"two frames, one record", store("Frames", "2") + record});
  bad.push_back({"a million frames", store("Frames", "1000000") + record});
  bad.push_back({"width past 32 bits", store("Left", "-2147483648") + record});
  bad.push_back({"height past 32 bits", store("Top", "-2147483648") + record});
  for (const auto& [what, bytes] : bad) {
    TLayer target;
    MakeLayer(target, 5);
    const std::string before = State(target);
    EXPECT_THROW(load(target, bytes), Exception) << what;
    EXPECT_EQ(State(target), before) << what;
  }

  // No frames: the place and keys are read, the picture stays.
  TLayer target;
  MakeLayer(target, 5);
  std::string picture = Pixels(*target.Image);
  load(target, store("Frames", "0"));
  EXPECT_EQ(target.Bounds, Rect(4, -4, 21, 2));
  EXPECT_EQ(Pixels(*target.Image), picture);
}

TEST(LayerListStream, PageSettingsOnly) {
  TLayerList list;
  list.GridX = 5;
  list.GridY = 7;
  list.BGColor = 0x123456;
  list.AlignToGrid = false;
  list.Page->SetSize(300, 200);
  new TLayer(&list);
  new TLayer(&list);
  TMemoryStream s;
  list.SaveToStream(&s);
  EXPECT_EQ(list.ReadInteger("PageWidth"), 300);
  EXPECT_EQ(list.ReadInteger("PageHeight"), 200);
  EXPECT_EQ(list.ReadInteger("Count"), 2);

  // Read into a list of another page and other layers: only the grid, the snapping and the
  // background change.
  TLayerList other;
  other.Page->SetSize(40, 30);
  new TLayer(&other);
  s.SetPosition(0);
  other.LoadFromStream(&s);
  EXPECT_EQ(other.GridX, 5);
  EXPECT_EQ(other.GridY, 7);
  EXPECT_EQ(other.BGColor, 0x123456);
  EXPECT_FALSE(other.AlignToGrid);
  EXPECT_EQ(other.Page->Width(), 40);
  EXPECT_EQ(other.Count(), 1);
  EXPECT_EQ(s.Position(), s.Size());

  // A cut stream raises and changes nothing.
  std::string bytes = s.DataAsString();
  for (size_t n = 0; n < bytes.size(); n += 7) {
    TLayerList target;
    TMemoryStream m;
    m.WriteBuffer(bytes.data(), int64_t(n));
    m.SetPosition(0);
    EXPECT_THROW(target.LoadFromStream(&m), Exception) << n;
    EXPECT_EQ(target.GridX, 8) << n;
    EXPECT_TRUE(target.AlignToGrid) << n;
    EXPECT_EQ(target.Properties->AsString(), TLayerList().Properties->AsString()) << n;
  }
}

}  // namespace
