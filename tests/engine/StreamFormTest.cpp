#include <gtest/gtest.h>

#include "engine/TBitmapCompressor.h"
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

}  // namespace
