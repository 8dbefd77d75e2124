// The keyed stretch of a bitmap, palette and rectangle queries, and the memory helpers.
#include <gtest/gtest.h>

#include "gif/Vclutils.h"
#include "platform/SysUtils.h"
#include "tests/support/PixelMap.h"

namespace {

// A 3 x 2 source: top row red, blue, green; bottom row blue, red, blue.
std::unique_ptr<TBitmap> Source(TPixelFormat f = pf32bit) {
  auto b = std::make_unique<TBitmap>(3, 2, pf32bit);
  const TColor px[2][3] = {{clRed, clBlue, clLime}, {clBlue, clRed, clBlue}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b->SetPixelColor(x, y, px[y][x]);
  if (f != pf32bit) b->SetPixelFormat(f);
  return b;
}

std::string Draw(TBitmap& src, int x, int y, int w, int h, const TRect& srcRect, TColor key,
                 TCopyMode mode = cmSrcCopy) {
  TBitmap dest(8, 4, pf32bit);
  FillOpaqueWhite(dest);
  dest.Canvas().CopyMode = mode;
  StretchBitmapRectTransparent(dest.Canvas(), x, y, w, h, srcRect, src, key);
  EXPECT_EQ(dest.Canvas().CopyMode, mode);
  return PixelMap(dest, StdLegend());
}

}  // namespace

TEST(KeyedStretch, Cases) {
  auto src = Source();
  struct Case {
    const char* name;
    int x, y, w, h;
    TRect srcRect;
    TColor key;
    const char* map;
    TCopyMode mode = cmSrcCopy;
  };
  const Case cases[] = {
      {"key left out, destination kept whole", 1, 1, 3, 2, Rect(0, 0, 3, 2), clBlue,
       "........\n"
       ".r.g....\n"
       "..r.....\n"
       "........\n"},
      {"no key: opaque", 1, 1, 3, 2, Rect(0, 0, 3, 2), clNone,
       "........\n"
       ".rbg....\n"
       ".brb....\n"
       "........\n"},
      {"no key: the destination's copy mode", 0, 0, 3, 1, Rect(0, 0, 3, 1), clNone,
       "???.....\n"
       "........\n"
       "........\n"
       "........\n",
       cmSrcInvert},
      {"default key: the bottom-left pixel's colour", 0, 0, 3, 2, Rect(0, 0, 3, 2), clDefault,
       "r.g.....\n"
       ".r......\n"
       "........\n"
       "........\n"},
      {"stretched twice, the key follows its pixels", 0, 0, 6, 4, Rect(0, 0, 3, 2), clRed,
       "..bbgg..\n"
       "..bbgg..\n"
       "bb..bb..\n"
       "bb..bb..\n"},
      {"a part of the source", 5, 0, 2, 1, Rect(1, 0, 3, 1), clRed,
       ".....bg.\n"
       "........\n"
       "........\n"
       "........\n"},
      {"zero size: the bitmap's own", 2, 1, 0, 0, Rect(0, 0, 3, 2), clLime,
       "........\n"
       "..rb....\n"
       "..brb...\n"
       "........\n"},
      {"empty source rectangle: the whole bitmap", 0, 0, 3, 2, Rect(2, 1, 2, 1), clLime,
       "rb......\n"
       "brb.....\n"
       "........\n"
       "........\n"},
      {"clipped at the destination's edges", 6, 3, 6, 4, Rect(0, 0, 3, 2), clBlue,
       "........\n"
       "........\n"
       "........\n"
       "......rr\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Draw(*src, c.x, c.y, c.w, c.h, c.srcRect, c.key, c.mode), c.map) << c.name;
}

TEST(KeyedStretch, IndexedAndMonochromeBitmaps) {
  // An indexed bitmap keys by its palette: the nearest entry to the colour given.
  auto indexed = Source(pf8bit);
  EXPECT_EQ(Draw(*indexed, 0, 0, 3, 2, Rect(0, 0, 3, 2), RGB(0, 0, 250)),
            "r.g.....\n"
            ".r......\n"
            "........\n"
            "........\n");
  // A monochrome bitmap keys its white pixels whatever colour is given.
  TBitmap mono(2, 1, pf1bit);
  mono.SetPixelColor(0, 0, clBlack);
  mono.SetPixelColor(1, 0, clWhite);
  for (TColor key : {clBlack, clRed, clDefault})
    EXPECT_EQ(Draw(mono, 0, 0, 2, 1, Rect(0, 0, 2, 1), key),
              "#.......\n"
              "........\n"
              "........\n"
              "........\n");
}

TEST(GraphicsHelpers, PaletteAndRectangleQueries) {
  EXPECT_EQ(PaletteColor(RGB(1, 2, 3)), 0x02030201u);
  EXPECT_EQ(PaletteColor(clBtnFace), uint32_t(ColorToRGB(clBtnFace)) | 0x02000000u);
  std::vector<TRGBQuad> pal(16);
  EXPECT_EQ(PaletteEntries(&pal), 16);
  EXPECT_EQ(PaletteEntries(HPALETTE(nullptr)), 0);
  TBitmap b(1, 1, pf4bit);
  EXPECT_EQ(PaletteEntries(b), 16);
  EXPECT_EQ(WidthOf(Rect(5, 1, 2, 9)), -3);  // not clamped
  EXPECT_EQ(HeightOf(Rect(5, 1, 2, 9)), 8);
}

TEST(GraphicsHelpers, MemoryBlocks) {
  EXPECT_EQ(AllocMemo(0), nullptr);
  EXPECT_EQ(AllocMemo(-5), nullptr);
  void* p = AllocMemo(7);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(GetMemoSize(p), 7);
  const uint8_t zero[7] = {};
  EXPECT_TRUE(CompareMem(p, zero, 7));
  p = ReallocMemo(p, 20);
  ASSERT_NE(p, nullptr);
  static const uint8_t zero20[20] = {};
  EXPECT_TRUE(CompareMem(p, zero20, 20));  // grown bytes are zero
  FreeMemo(p);
  EXPECT_EQ(p, nullptr);
  FreeMemo(p);  // null is left alone
  EXPECT_EQ(p, nullptr);

  // One word, then three bytes; nothing past the length is read.
  const uint8_t a[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (auto [diffAt, len, same] : {std::tuple{-1, 0u, true},
                                   {6, 7u, false},
                                   {7, 7u, true},
                                   {0, 7u, false},
                                   {3, 4u, false},
                                   {4, 4u, true}}) {
    uint8_t b[8];
    std::memcpy(b, a, 8);
    if (diffAt >= 0) b[diffAt] ^= 0xFF;
    EXPECT_EQ(CompareMem(a, b, len), same) << diffAt << " " << len;
  }
  EXPECT_TRUE(CompareMem(nullptr, nullptr, 0));
  EXPECT_TRUE(CompareMem(a + 1, a + 1, 5));  // unaligned

  uint8_t buf[4] = {9, 8, 7, 6};
  EXPECT_EQ(HugeOffset(buf, 3), buf + 3);
  void* q = buf;
  HugeInc(q, 2);
  HugeDec(q, 1);
  EXPECT_EQ(q, buf + 1);
  uint32_t words[4] = {1, 2, 3, 4};
  HugeMove(words, 1, 0, 3);
  EXPECT_EQ(words[3], 3u);
  EXPECT_EQ(words[1], 1u);
  EXPECT_EQ(ResStr("as is"), "as is");
}

TEST(GraphicsHelpers, ErrorsOfTheResourceAndSystemHelpers) {
  try {
    ResourceNotFound("ZLMLOGO");
    ADD_FAILURE();
  } catch (const EResNotFound& e) { EXPECT_STREQ(e.what(), "Resource ZLMLOGO not found"); }
  try {
    RaiseWin32Error(2);
    ADD_FAILURE();
  } catch (const EOSError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Win32 Error.  Code: 2.\n", 0), 0u) << e.what();
  }
  EXPECT_NO_THROW(RaiseWin32Error(0));
  EXPECT_THROW(LoadDLL("/nonexistent/libnothing.so"), EOSError);
  EXPECT_EQ(DropT("TGIFImage"), "GIFImage");
  EXPECT_EQ(DropT("T"), "T");
  std::string prog, params;
  SplitCommandLine("\"/opt/my app/run\" -x \"two words\" last", prog, params);
  EXPECT_EQ(prog, "/opt/my app/run");
  EXPECT_EQ(params, "-x \"two words\" last");
}
