// Animated cursors, icon lists, clipboard icons and the cursors and strings entered at start-up.
#include <gtest/gtest.h>

#include "gif/Anifile.h"
#include "gif/Clipicon.h"
#include "gif/Icolist.h"
#include "gif/Pxcconst.h"
#include "gif/Pxconst.h"
#include "gif/UtilityUnits.h"
#include "gif/Vclutils.h"
#include "tests/gif/IconFiles.h"
#include "tests/support/ScriptedServices.h"

namespace {

std::string Anih(uint32_t frames, uint32_t steps, uint32_t rate, uint32_t flags = 1) {
  std::string d;
  for (uint32_t v : {36u, frames, steps, 0u, 0u, 0u, 0u, rate, flags}) AppendLe32(d, v);
  return Chunk("anih", d);
}

std::string Dwords(std::initializer_list<uint32_t> v) {
  std::string d;
  for (uint32_t x : v) AppendLe32(d, x);
  return d;
}

std::string Riff(const std::string& body) { return Chunk("RIFF", "ACON" + body); }

// Three icons of different colours, shown in the order 2, 0, 2 with their own rates.
std::string SampleAni() {
  std::string fram = "fram" + Chunk("icon", IconFile(1, 2, 2, 0xFFFF0000)) +
                     Chunk("icon", IconFile(1, 2, 2, 0xFF00FF00)) +
                     Chunk("icon", IconFile(1, 2, 2, 0xFF0000FF));
  std::string info = "INFO" + Chunk("INAM", std::string("Spinner\0", 8)) + Chunk("IART", "Someone");
  return Riff(Chunk("LIST", info) + Anih(3, 3, 10) + Chunk("rate", Dwords({5, 6, 7})) +
              Chunk("seq ", Dwords({2, 0, 2})) + Chunk("LIST", fram) + Chunk("junk", "x"));
}

void Load(TAnimatedCursorImage& image, const std::string& bytes) {
  TMemoryStream m;
  m.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  m.SetPosition(0);
  image.LoadFromStream(m);
}

TEST(Anifile, ReadsFramesRatesSequenceAndInfo) {
  TAnimatedCursorImage image;
  Load(image, SampleAni());
  EXPECT_EQ(image.GetIconCount(), 3);
  EXPECT_EQ(image.FrameCount(), 3);
  EXPECT_EQ(image.GetDefaultRate(), 10);
  EXPECT_EQ(image.GetTitle(), "Spinner");
  EXPECT_EQ(image.GetCreator(), "Someone");
  EXPECT_EQ(image.GetFrame(0).Seq, 2);
  EXPECT_EQ(image.GetFrame(1).Seq, 0);
  EXPECT_EQ(image.GetFrame(2).JiffRate, 7);
  EXPECT_EQ(image.GetIcon(2).Image().GetPixelColor(0, 0), TColor(0xFF0000));  // blue
  EXPECT_EQ(image.GetFrame(0).Icon.Image().GetPixelColor(1, 1), TColor(0xFF0000));
  EXPECT_THROW(image.GetFrame(3), EListError);

  TBitmap strip;
  image.AssignToBitmap(strip, clBlack, false, false);
  EXPECT_EQ(strip.Width(), 6);
  EXPECT_EQ(strip.Height(), 2);
  EXPECT_EQ(strip.GetPixelColor(0, 0), TColor(0x0000FF));  // red, first icon
  EXPECT_EQ(strip.GetPixelColor(3, 1), TColor(0x00FF00));
  image.AssignToBitmap(strip, clBlack, false, true);
  EXPECT_EQ(strip.Width(), 2);
  EXPECT_EQ(strip.Height(), 6);
  TIcon icon;
  image.AssignTo(&icon);
  EXPECT_EQ(icon.Width(), 2);
  TAnimatedCursorImage copy;
  copy.Assign(image);
  EXPECT_EQ(copy.FrameCount(), 3);
  EXPECT_EQ(copy.GetTitle(), "Spinner");
}

TEST(Anifile, HostileFilesFailCleanly) {
  TAnimatedCursorImage image;
  Load(image, SampleAni());
  const std::string good = SampleAni();
  std::string hugeChunk = Riff(Anih(1, 1, 1));
  hugeChunk.replace(16, 4, Dwords({0xFFFFFFF0u}));  // the anih size
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"not RIFF", "RIFX" + good.substr(4)},
      {"not ACON", Chunk("RIFF", "WAVE")},
      {"no header", Riff(Chunk("LIST", "fram" + Chunk("icon", IconFile(1, 2, 2, 0))))},
      {"short header", Riff(Chunk("anih", Dwords({36, 1})))},
      {"huge chunk", hugeChunk},
      {"too many frames", Riff(Anih(0x7FFFFFFF, 1, 1))},
      {"no frames", Riff(Anih(0, 0, 1))},
      {"raw frames", Riff(Anih(1, 1, 1, 0))},
      {"missing icons", Riff(Anih(2, 2, 1) + Chunk("LIST", "fram" + Chunk("icon", IconFile(1, 2, 2, 0))))},
      {"sequence out of range", Riff(Anih(1, 2, 1) + Chunk("seq ", Dwords({0, 9})) +
                                     Chunk("LIST", "fram" + Chunk("icon", IconFile(1, 2, 2, 0))))},
      {"short rate table", Riff(Anih(1, 3, 1) + Chunk("rate", Dwords({1})) +
                                Chunk("LIST", "fram" + Chunk("icon", IconFile(1, 2, 2, 0))))},
      {"bad icon", Riff(Anih(1, 1, 1) + Chunk("LIST", "fram" + Chunk("icon", "garbage")))},
  };
  for (const Case& c : cases) {
    EXPECT_ANY_THROW(Load(image, c.bytes)) << c.what;
    // What was loaded before is still there.
    EXPECT_EQ(image.FrameCount(), 3) << c.what;
    EXPECT_EQ(image.GetTitle(), "Spinner") << c.what;
  }
  // Every cut of the file fails with a stream or picture error, never worse.
  for (size_t n = 0; n < good.size(); ++n) {
    TAnimatedCursorImage cut;
    try {
      Load(cut, good.substr(0, n));
      ADD_FAILURE() << "cut at " << n << " loaded";
    } catch (const EReadError&) {
    } catch (const EInvalidGraphic&) {}
  }
  try {
    Load(image, good.substr(0, 30));
  } catch (const EReadError& e) { EXPECT_STREQ(e.what(), "Stream read error"); }
}

TEST(Anifile, SavingIsNotImplemented) {
  ScriptedServices services;
  TAnimatedCursorImage image;
  TMemoryStream m;
  EXPECT_THROW(image.SaveToStream(m), EAbort);
  ASSERT_FALSE(services.Boxes.empty());
  EXPECT_EQ(services.Boxes.back().text, "Function not yet implemented");
}

TEST(Icolist, ListOperationsAndStreaming) {
  std::string red = IconFile(1, 2, 2, 0xFFFF0000), green = IconFile(1, 4, 4, 0xFF00FF00);
  TIcon a, b;
  TMemoryStream ma, mb;
  ma.WriteBuffer(red.data(), int64_t(red.size()));
  ma.SetPosition(0);
  a.LoadFromStream(ma);
  mb.WriteBuffer(green.data(), int64_t(green.size()));
  mb.SetPosition(0);
  b.LoadFromStream(mb);

  TIconList list;
  int changes = 0;
  list.OnChange = [&](TIconList&) { ++changes; };
  list.Add(&a);
  list.Add(nullptr);
  list.Insert(0, &b);
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.Get(0)->Width(), 4);
  EXPECT_EQ(changes, 3);
  list.BeginUpdate();
  list.Exchange(0, 1);
  list.Move(0, 2);
  list.EndUpdate();
  EXPECT_EQ(changes, 4);  // one change for the whole update
  EXPECT_EQ(list.Get(0)->Width(), 4);
  EXPECT_EQ(list.Get(1), nullptr);
  EXPECT_EQ(list.Get(2)->Width(), 2);
  EXPECT_EQ(list.IndexOf(list.Get(2)), 2);
  EXPECT_THROW(list.Get(3), EListError);
  EXPECT_THROW(list.AddResource("MAINICON"), EResNotFound);

  TMemoryStream s;
  list.SaveToStream(s);
  EXPECT_EQ(s.Size(), int64_t(4 + 4 + green.size() + 4 + 4 + red.size()));
  s.SetPosition(0);
  TIconList back;
  back.LoadFromStream(s);
  ASSERT_EQ(back.GetCount(), 3);
  EXPECT_EQ(back.Get(0)->FileData(), green);
  EXPECT_EQ(back.Get(1), nullptr);
  EXPECT_EQ(back.Get(2)->Image().GetPixelColor(1, 0), TColor(0x0000FF));

  // Damaged data: counts and lengths are checked before anything is taken.
  std::string data = s.DataAsString();
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"negative count", Dwords({0xFFFFFFFFu})},
      {"huge count", Dwords({0x10000000u})},
      {"huge length", Dwords({1, 0x7FFFFFFFu})},
      {"negative length", Dwords({1, 0x80000000u})},
      {"cut", data.substr(0, data.size() - 3)},
      {"bad icon", Dwords({1, 4}) + "junk"},
  };
  for (const Case& c : cases) {
    TMemoryStream m;
    m.WriteBuffer(c.bytes.data(), int64_t(c.bytes.size()));
    m.SetPosition(0);
    EXPECT_ANY_THROW(back.LoadFromStream(m)) << c.what;
    EXPECT_EQ(back.GetCount(), 3) << c.what;
  }
  TIconList copy;
  copy.Assign(list);
  EXPECT_EQ(copy.GetCount(), 3);
  EXPECT_NE(copy.Get(0), list.Get(0));
}

TEST(Clipicon, ClipboardRoundTripAndRealSize) {
  InitUtilityUnits();
  ASSERT_GE(CF_ICON, 0xC000);
  EXPECT_EQ(RegisterClipboardFormat(GetClipboardFormatName(CF_ICON)), CF_ICON);
  std::string bytes = IconFile(1, 3, 3, 0xFF123456);
  TIcon icon;
  TMemoryStream m;
  m.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  m.SetPosition(0);
  icon.LoadFromStream(m);

  Clipboard().Clear();
  EXPECT_EQ(CreateIconFromClipboard(), nullptr);
  CopyIconToClipboard(icon, clWhite);
  EXPECT_TRUE(Clipboard().HasFormat(CF_DIB));
  std::unique_ptr<TIcon> back = CreateIconFromClipboard();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->FileData(), bytes);
  // The picture class reads the format as an icon.
  std::unique_ptr<TGraphic> picture = PictureFromClipboard();
  ASSERT_NE(picture, nullptr);
  EXPECT_STREQ(picture->ClassName(), "TIcon");

  EXPECT_EQ(GetIconSize(icon), TPoint(3, 3));
  EXPECT_EQ(GetIconSize(TIcon()), TPoint(32, 32));
  EXPECT_THROW(CreateRealSizeIcon(TIcon()), EOutOfResources);
  std::unique_ptr<TIcon> real = CreateRealSizeIcon(icon);
  EXPECT_EQ(real->Width(), 3);
  TBitmap canvasBitmap(8, 8, pf32bit);
  DrawRealSizeIcon(canvasBitmap.Canvas(), icon, 2, 2);
  EXPECT_EQ(canvasBitmap.GetPixelColor(4, 4), TColor(0x563412));
  EXPECT_NE(canvasBitmap.GetPixelColor(5, 5), TColor(0x563412));
  TIcon empty;
  EXPECT_THROW(CopyIconToClipboard(empty, clWhite), EInvalidGraphic);
}

TEST(Pxconst, StartUpEntersTheCursorsAndStrings) {
  InitUtilityUnits();
  InitUtilityUnits();  // once is enough
  const TCursorImage* hand = ScreenCursor(14000);
  const TCursorImage* drag = ScreenCursor(14001);
  ASSERT_NE(hand, nullptr);
  ASSERT_NE(drag, nullptr);
  EXPECT_EQ(hand->Name, "PX_HANDCUR");
  EXPECT_EQ(drag->Name, "PX_DRAGCUR");
  EXPECT_EQ(ScreenCursor(14002), nullptr);
  EXPECT_THROW(LoadCursorResource("NOPE"), EResNotFound);
  EXPECT_EQ(LoadStr(61257), "Function not yet implemented");
  EXPECT_EQ(LoadStr(61263), "All files (*.*)|*.*");
  EXPECT_EQ(LoadStr(61253), "");
}

}  // namespace
