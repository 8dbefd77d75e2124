// Resources beside the program, icons made of bitmaps, cursor files and the cursor table.
#include <gtest/gtest.h>
#include <sstream>

#include "gif/Anifile.h"
#include "gif/Icolist.h"
#include "gif/Vclutils.h"
#include "platform/Cursors.h"
#include "platform/Icon.h"
#include "tests/gif/IconFiles.h"
#include "tests/support/Oracle.h"
#include "tests/support/TestSupport.h"

namespace {

// An animated cursor of two cursor frames (as nearly every such file holds), shown 1, 0, 1.
std::string AniOfCursors() {
  std::string anih;
  for (uint32_t v : {36u, 2u, 3u, 0u, 0u, 0u, 0u, 8u, 1u}) AppendLe32(anih, v);
  std::string rate, seq;
  for (uint32_t v : {4u, 5u, 6u}) AppendLe32(rate, v);
  for (uint32_t v : {1u, 0u, 1u}) AppendLe32(seq, v);
  std::string fram = "fram" + Chunk("icon", IconFile(2, 4, 4, 0xFFFF0000, 3, 1)) +
                     Chunk("icon", IconFile(2, 4, 4, 0xFF0000FF, 2, 2));
  return Chunk("RIFF",
               "ACON" + Chunk("anih", anih) + Chunk("rate", rate) + Chunk("seq ", seq) + Chunk("LIST", fram));
}

void SaveBitmap(const std::string& file, TColor c) {
  TBitmap b(3, 2, pf24bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b.SetPixelColor(x, y, x == 0 ? c : clWhite);
  b.SaveToFile(file);
}

// Frees the cursor table's places 100 and up that a test took.
struct CursorTableGuard {
  ~CursorTableGuard() {
    for (int id = 100; id <= INT16_MAX; ++id) DeleteScreenCursor(TCursor(id));
  }
};

TEST(Resources, BitmapsAndIconsLieBesideTheProgram) {
  TempDir home, module;
  ScopedEnv env("ZELMORA_HOME", home.Path());
  SaveBitmap(home.File("Banner.BMP"), clRed);
  SaveBitmap(home.File("12.bmp"), clLime);
  SaveBitmap(module.File("banner.bmp"), clBlue);
  WriteAll(home.File("Main.ico"), IconFile(1, 2, 2, 0xFF123456));
  WriteAll(home.File("7.ico"), IconFile(1, 3, 3, 0xFF00FF00));
  WriteAll(home.File("Broken.bmp"), "BM not really");
  WriteAll(home.File("Broken.ico"), "nope");

  // Case-blind, the program's own folder, or a module's.
  EXPECT_EQ(MakeBitmap("banner")->GetPixelColor(0, 0), clRed);
  EXPECT_EQ(MakeModuleBitmap(module.Path(), "BANNER")->GetPixelColor(0, 0), clBlue);
  EXPECT_EQ(MakeBitmapID(12)->GetPixelColor(0, 1), clLime);
  EXPECT_EQ(MakeIcon("main")->Width(), 2);
  EXPECT_EQ(MakeIconID(7)->Width(), 3);
  EXPECT_EQ(MakeModuleIcon(module.Path(), "Main"), nullptr) << "another module has its own resources";

  // Missing resources: bitmaps raise with the name or number, icons give nullptr.
  try {
    MakeBitmap("Missing");
    ADD_FAILURE() << "a missing bitmap loaded";
  } catch (const EResNotFound& e) { EXPECT_STREQ(e.what(), "Resource Missing not found"); }
  try {
    MakeBitmapID(13);
    ADD_FAILURE() << "a missing bitmap loaded";
  } catch (const EResNotFound& e) { EXPECT_STREQ(e.what(), "Resource 13 not found"); }
  EXPECT_EQ(MakeIcon("Missing"), nullptr);
  // A name never reaches outside the folder, whatever it holds.
  SaveBitmap(ExtractFilePath(ExcludeTrailingPathDelimiter(home.Path())) + "outside.bmp", clRed);
  for (const char* name : {"../outside", "/etc/passwd", "sub/banner", "..", ""})
    EXPECT_THROW(MakeBitmap(name), EResNotFound) << name;
  DeleteFile(ExtractFilePath(ExcludeTrailingPathDelimiter(home.Path())) + "outside.bmp");
  // Damaged files are picture errors, not missing resources.
  EXPECT_THROW(MakeBitmap("Broken"), EInvalidGraphic);
  EXPECT_THROW(MakeIcon("Broken"), EInvalidGraphic);

  // The icon list's resources are the same ones.
  TIconList list;
  EXPECT_EQ(list.AddResource("MAIN"), 0);
  list.InsertResource(0, "7");
  EXPECT_EQ(list.Get(0)->Width(), 3);
  EXPECT_THROW(list.AddResource("Missing"), EResNotFound);
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_THROW(list.LoadResource({"Main", "Missing"}), EResNotFound);
}

// The pixels of an icon file as ImageMagick reads them: "x,y: r,g,b,a" a line.
std::string MagickPixels(const std::string& file) {
  std::string out = ShellOutput("convert " + ShellQuote(file) + " -depth 8 txt:- 2>&1");
  std::istringstream in(out);
  std::string line, result;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t open = line.find('('), close = line.find(')');
    if (open == std::string::npos || close == std::string::npos) return out;
    std::string xy = line.substr(0, line.find(':')), values = line.substr(open + 1, close - open - 1);
    result += xy + ": " + values + "\n";
  }
  return result;
}

TEST(CreateIconFromBitmap, TransparentColourBecomesTheMaskAsImageMagickReadsIt) {
  REQUIRE_TOOL("convert");
  TempDir dir;
  // Red, blue, white over white, lime, white.
  TBitmap b(3, 2, pf8bit);
  const TColor px[2][3] = {{clRed, clBlue, clWhite}, {clWhite, clLime, clWhite}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b.SetPixelColor(x, y, px[y][x]);
  struct Case {
    const char* what;
    TColor key;
    const char* pixels;
  } cases[] = {
      {"no transparent colour", clNone,
       "0,0: 255,0,0,255\n1,0: 0,0,255,255\n2,0: 255,255,255,255\n"
       "0,1: 255,255,255,255\n1,1: 0,255,0,255\n2,1: 255,255,255,255\n"},
      {"the bottom-left pixel's colour", clDefault,
       "0,0: 255,0,0,255\n1,0: 0,0,255,255\n2,0: 0,0,0,0\n"
       "0,1: 0,0,0,0\n1,1: 0,255,0,255\n2,1: 0,0,0,0\n"},
      {"a colour given", clBlue,
       "0,0: 255,0,0,255\n1,0: 0,0,0,0\n2,0: 255,255,255,255\n"
       "0,1: 255,255,255,255\n1,1: 0,255,0,255\n2,1: 255,255,255,255\n"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TIcon> icon = CreateIconFromBitmap(b, c.key);
    ASSERT_NE(icon, nullptr) << c.what;
    EXPECT_EQ(icon->Width(), 3);
    EXPECT_EQ(icon->Height(), 2);
    std::string file = dir.File("icon.ico");
    WriteAll(file, icon->FileData());
    EXPECT_EQ(MagickPixels(file), c.pixels) << c.what;
    // And drawn by us over black, the left-out pixels keep the background.
    TBitmap back(3, 2, pf32bit);
    back.Canvas().Brush.SetColor(clBlack);
    back.Canvas().FillRect(TRect(0, 0, 3, 2));
    icon->Draw(back.Canvas(), TRect(0, 0, 3, 2));
    EXPECT_EQ(back.GetPixelColor(0, 1), c.key == clDefault ? clBlack : clWhite) << c.what;
  }
  // The largest icon an icon file can describe, and the errors.
  TBitmap big(256, 256, pf32bit);
  EXPECT_EQ(CreateIconFromBitmap(big, clNone)->Width(), 256);
  TBitmap tooBig(257, 4, pf32bit), empty;
  EXPECT_THROW(CreateIconFromBitmap(tooBig, clNone), EInvalidGraphic);
  EXPECT_THROW(CreateIconFromBitmap(empty, clNone), EInvalidGraphic);
}

TEST(Cursors, CursorFilesAndAnimatedCursorsOfCursorFrames) {
  // A cursor file reads as an icon with its hot spot.
  TIcon cursor;
  cursor.LoadFromFile([] {
    static TempDir dir;
    WriteAll(dir.File("a.cur"), IconFile(2, 8, 8, 0xFF00FF00, 5, 7));
    return dir.File("a.cur");
  }());
  EXPECT_TRUE(cursor.IsCursor());
  EXPECT_EQ(cursor.HotSpot(), TPoint(5, 7));
  EXPECT_EQ(cursor.Image().GetPixelColor(1, 1), clLime);

  // Animated cursors hold cursor frames; they load in display order with rates.
  TempDir module;
  WriteAll(module.File("Spin.ANI"), AniOfCursors());
  TCursorImage spin = LoadAniCursor(module.Path(), "spin");
  ASSERT_EQ(spin.Frames.size(), 3u);
  EXPECT_EQ(spin.Frames[0]->GetPixelColor(0, 0), clBlue);
  EXPECT_EQ(spin.Frames[1]->GetPixelColor(0, 0), clRed);
  EXPECT_EQ(spin.Rates, std::vector<int32_t>({4, 5, 6}));
  EXPECT_EQ(spin.HotSpot, TPoint(2, 2));
  EXPECT_EQ(spin.Name, "spin");
  EXPECT_THROW(LoadAniCursor(module.Path(), "Missing"), EResNotFound);
  WriteAll(module.File("bad.ani"), "RIFF");
  EXPECT_ANY_THROW(LoadAniCursor(module.Path(), "bad"));
}

TEST(Cursors, DefineCursorTakesTheFirstFreePlaceFromOneHundred) {
  CursorTableGuard guard;
  TempDir home;
  ScopedEnv env("ZELMORA_HOME", home.Path());
  WriteAll(home.File("spin.ani"), AniOfCursors());
  WriteAll(home.File("pen.cur"), IconFile(2, 8, 8, 0xFF00FF00, 1, 6));

  EXPECT_EQ(DefineCursor("", "Spin"), 100);
  EXPECT_EQ(DefineCursor("", "pen"), 101);
  EXPECT_EQ(DefineCursor("", "PX_HANDCUR"), 102) << "the program's own cursors are resources too";
  ASSERT_NE(ScreenCursor(100), nullptr);
  EXPECT_EQ(ScreenCursor(100)->Frames.size(), 3u);
  ASSERT_EQ(ScreenCursor(101)->Frames.size(), 1u);
  EXPECT_EQ(ScreenCursor(101)->HotSpot, TPoint(1, 6));
  EXPECT_EQ(ScreenCursor(102)->Shape, csHandPoint);
  EXPECT_TRUE(ScreenCursor(101)->Rates.empty());
  // A freed place is the next one taken.
  DeleteScreenCursor(101);
  EXPECT_EQ(DefineCursor("", "pen"), 101);

  EXPECT_THROW(DefineCursor("", "Missing"), EResNotFound);
  EXPECT_THROW(DefineCursor(home.Path(), "PX_HANDCUR"), EResNotFound) << "only the program has those";
  // A full table.
  for (int id = 100; id <= INT16_MAX; ++id) SetScreenCursor(TCursor(id), TCursorImage());
  try {
    DefineCursor("", "pen");
    ADD_FAILURE() << "a cursor found a place in a full table";
  } catch (const EOutOfResources& e) { EXPECT_STREQ(e.what(), "Out of system resources"); }
}

}  // namespace
