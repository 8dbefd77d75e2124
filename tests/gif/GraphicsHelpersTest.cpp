// The keyed stretch of a bitmap, palette and rectangle queries, and the memory helpers.
#include <chrono>
#include <climits>
#include <gtest/gtest.h>
#include <sys/utsname.h>

#include "POP/PopForms.h"
#include "POP/PopInno.h"
#include "gif/Vclutils.h"
#include "platform/SysUtils.h"
#include "tests/support/OtherProcess.h"
#include "tests/support/PixelMap.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

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

namespace {

TEST(GraphicsHelpers, ImageListDrawDisabledEngravesOnlyTheGlyph) {
  // A 3 x 2 glyph: blue ink on a white ground (the bottom-left pixel: the transparent colour).
  std::vector<std::unique_ptr<TBitmap>> images;
  images.push_back(std::make_unique<TBitmap>(1, 1, pf32bit));
  auto glyph = std::make_unique<TBitmap>(3, 2, pf32bit);
  const TColor px[2][3] = {{clBlue, clWhite, clBlue}, {clWhite, clBlue, clWhite}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) glyph->SetPixelColor(x, y, px[y][x]);
  images.push_back(std::move(glyph));

  TBitmap dest(6, 4, pf32bit);
  FillOpaqueWhite(dest);
  ImageListDrawDisabled(images, dest.Canvas(), 1, 1, 1, clWhite, clBlack, true);
  const std::map<uint32_t, char> legend{{0x00000000, '#'}, {0x00FFFFFF, 'w'}};
  EXPECT_EQ(PixelMap(dest, legend), Lines({"......", ".#.#..", "..#.w.", "...w.."}));

  FillOpaqueWhite(dest);
  ImageListDrawDisabled(images, dest.Canvas(), -1, 0, 1, clWhite, clBlack, false);
  EXPECT_EQ(PixelMap(dest, legend), Lines({".#....", "#.....", "......", "......"}))
      << "no highlight, clipped at the canvas's edge";

  for (int bad : {-1, 2})
    EXPECT_THROW(ImageListDrawDisabled(images, dest.Canvas(), 0, 0, bad, clWhite, clBlack, true), EListError);
}

TEST(GraphicsHelpers, CreateRotatedFontTurnsACopy) {
  TFont font;
  font.Name = "Default";
  font.Style = fsBold | fsItalic;
  font.SetHeight(-20);
  struct {
    int angle, orientation;
  } cases[] = {{0, 0}, {90, 900}, {-90, 2700}, {450, 900}, {360, 0}, {-725, 3550}, {INT32_MIN, 2320}};
  for (auto c : cases) {
    TFont turned = CreateRotatedFont(font, c.angle);
    EXPECT_EQ(turned.Orientation, c.orientation) << c.angle;
    EXPECT_EQ(turned.Name, TFont().Name) << "the default face takes the place of \"Default\"";
    EXPECT_EQ(turned.Style, font.Style);
    EXPECT_EQ(turned.Height(), -20);
  }
  EXPECT_EQ(font.Orientation, 0) << "the font itself is left as it was";
  font.Name = "Times New Roman";
  EXPECT_EQ(CreateRotatedFont(font, 30).Name, "Times New Roman");
}

TEST(GraphicsHelpers, FindPrevInstanceSeesAnotherCopyByItsTitle) {
  TempDir cfg;
  ScopedEnv env("ZELMORA_CONFIG", cfg.Path());
  const std::string saved = ApplicationTitle();
  ApplicationTitle() = "Varnholt Zelmora";
  EXPECT_EQ(FindPrevInstance("Varnholt Zelmora"), 0);
  ASSERT_GE(InnoCreateMutex(), 0);
  EXPECT_EQ(FindPrevInstance("Varnholt Zelmora"), 0) << "this copy is not a previous one";
  {
    OtherProcess first([] { return InnoCreateMutex() >= 0; });
    EXPECT_EQ(FindPrevInstance("Varnholt Zelmora"), first.Pid());
    EXPECT_EQ(FindPrevInstance("Another Program"), 0);
  }
  EXPECT_EQ(FindPrevInstance("Varnholt Zelmora"), 0);
  ApplicationTitle() = saved;
}

// Counts the rounds of GUI events during a wait.
struct EventCounter : ScriptedServices {
  int Rounds = 0;
  void ProcessMessages() override { ++Rounds; }
};

TEST(GraphicsHelpers, DelayKeepsTheEventsGoing) {
  EventCounter services;
  const auto start = std::chrono::steady_clock::now();
  Delay(200);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(200));
  EXPECT_GE(services.Rounds, 4) << "events are handled all through the wait, not once";
  services.Rounds = 0;
  Delay(0);
  Delay(-5);
  EXPECT_EQ(services.Rounds, 0);
}

TEST(GraphicsHelpers, SystemVersionFromTheKernelAndOsRelease) {
  TempDir dir;
  struct {
    const char* what;
    const char* text;
    const char* name;
  } cases[] = {
      {"pretty name in double quotes",
       "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
       "Debian GNU/Linux 12 (bookworm)"},
      {"single quotes and escapes", "PRETTY_NAME='Plain \\ name'\nX=1\n", "Plain \\ name"},
      {"escaped quote", "PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME\"\n", "Say \"hi\" $HOME"},
      {"no pretty name", "# comment\nNAME=Fedora Linux\nVERSION=\"39 (Workstation)\"\n",
       "Fedora Linux 39 (Workstation)"},
      {"unquoted, blanks around", "  PRETTY_NAME=Arch  \n", "Arch"},
      {"nothing useful", "ID=x\n", ""},
  };
  for (auto c : cases) {
    WriteAll(dir.File("os-release"), c.text);
    EXPECT_EQ(OsReleaseName(dir.File("os-release")), c.name) << c.what;
  }
  EXPECT_EQ(OsReleaseName(dir.File("missing")), "");
  WriteAll(dir.File("huge"), "PRETTY_NAME=x\n" + std::string(100000, '#'));
  EXPECT_EQ(OsReleaseName(dir.File("huge")), "") << "a file far larger than any os-release is not read";

  struct utsname u {};
  ASSERT_EQ(uname(&u), 0);
  const std::string version = GetWindowsVersion();
  EXPECT_EQ(version.rfind(std::string(u.sysname) + " " + u.release + " " + u.machine, 0), 0u) << version;
  std::string distribution = OsReleaseName("/etc/os-release");
  if (distribution.empty()) distribution = OsReleaseName("/usr/lib/os-release");
  if (!distribution.empty()) { EXPECT_NE(version.find(", " + distribution), std::string::npos) << version; }
}

}  // namespace

namespace {

// A desktop with a panel of 30 pixels along the top.
struct PanelDesktop : ScriptedServices {
  void WorkArea(int& left, int& top, int& width, int& height) override {
    left = 0;
    top = 30;
    width = 1280;
    height = 994;
  }
};

TEST(GraphicsHelpers, ScreenWorkAreaLeavesTheDesktopsPanelsOut) {
  {
    PanelDesktop desktop;
    EXPECT_EQ(ScreenWorkArea(), TRect(0, 30, 1280, 1024));
  }
  ScriptedServices plain;
  EXPECT_EQ(ScreenWorkArea(), TRect(0, 0, 1280, 1024)) << "the whole screen where no work area is known";
}

}  // namespace
