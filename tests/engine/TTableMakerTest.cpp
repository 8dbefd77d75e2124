// The page slicer: cells, spans and the markup of each cell.
#include "engine/TTableMaker.h"

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/engine/SlicedPage.h"
#include "tests/support/ChildRunner.h"
#include "tests/support/TestSupport.h"

namespace {

// The span search written out literally: every block with the cell at its top-left, bottom
// row ascending, right column ascending, strictly larger area replaces the best.
void LiteralSpans(const TTableMaker& m, std::vector<int>& rowSpan, std::vector<int>& colSpan) {
  int R = m.Rows, C = m.Cols;
  rowSpan.assign(size_t(R * C), -1);
  colSpan.assign(size_t(R * C), -1);
  auto at = [C](int r, int c) { return size_t(r * C + c); };
  for (int r = 0; r < R; ++r)
    for (int c = 0; c < C; ++c) {
      if (rowSpan[at(r, c)] == 0 || colSpan[at(r, c)] == 0) continue;
      const TTableObject* owner = m.Cell(r, c).Owner;
      int best = 0, br = 1, bc = 1;
      for (int k = r; k < R; ++k)
        for (int l = c; l < C; ++l) {
          bool ok = true;
          for (int y = r; y <= k && ok; ++y)
            for (int x = c; x <= l && ok; ++x)
              ok = m.Cell(y, x).Owner == owner && rowSpan[at(y, x)] != 0 && colSpan[at(y, x)] != 0;
          int area = (k - r + 1) * (l - c + 1);
          if (ok && area > best) best = area, br = k - r + 1, bc = l - c + 1;
        }
      for (int y = r; y < r + br; ++y)
        for (int x = c; x < c + bc; ++x) rowSpan[at(y, x)] = colSpan[at(y, x)] = 0;
      rowSpan[at(r, c)] = br;
      colSpan[at(r, c)] = bc;
    }
}

TEST(PageSlicer, OneObjectInTheMiddle) {
  TTableMaker m(30, 30);
  m.AddTableObject(10, 10, 20, 20, "", "", taLeftJustify, taLeftJustify);
  m.LayoutTable();
  ASSERT_EQ(m.Rows, 3);
  ASSERT_EQ(m.Cols, 3);
  EXPECT_EQ(m.XEdges, (std::vector<int32_t>{0, 10, 20, 30}));
  const TableCell& mid = m.Cell(1, 1);
  EXPECT_EQ(mid.Owner, m.TableObject(2));
  EXPECT_EQ(mid.RowSpan, 1);
  EXPECT_EQ(mid.ColSpan, 1);
  // The unowned border: the top row merges across, then the left column down, and so on.
  EXPECT_EQ(m.Cell(0, 0).ColSpan, 3);
  EXPECT_EQ(m.Cell(0, 0).RowSpan, 1);
  EXPECT_EQ(m.Cell(1, 0).RowSpan, 2);
  EXPECT_EQ(m.Cell(1, 0).ColSpan, 1);
  EXPECT_EQ(m.Cell(1, 2).RowSpan, 2);  // reached before the bottom row's middle cell
  EXPECT_EQ(m.Cell(2, 1).ColSpan, 1);
  EXPECT_EQ(m.SpanWidth(0, 0), 30);
  EXPECT_EQ(m.SpanHeight(0, 1), 20);
}

TEST(PageSlicer, SharedEdgesAndClampedObjects) {
  TTableMaker m(100, 50);
  m.AddTableObject(0, 0, 40, 50, "", "", taLeftJustify, taLeftJustify);
  m.AddTableObject(40, 0, 100, 50, "", "", taLeftJustify, taLeftJustify);    // shares x = 40
  m.AddTableObject(150, 10, 200, 20, "", "", taLeftJustify, taLeftJustify);  // right of the page
  m.AddTableObject(30, 20, 10, 30, "", "", taLeftJustify, taLeftJustify);    // reversed: dropped
  EXPECT_EQ(m.Count(), 5);
  m.LayoutTable();
  EXPECT_EQ(m.XEdges, (std::vector<int32_t>{0, 40, 100}));
  EXPECT_EQ(m.YEdges, (std::vector<int32_t>{0, 10, 20, 50}));  // the clamped object's edges
  EXPECT_EQ(m.TableObject(4)->Rect, Rect(100, 10, 100, 20));
  EXPECT_EQ(m.Cell(0, 0).RowSpan, 3);
}

TEST(PageSlicer, HorizontalBlockWinsATie) {
  TTableMaker m(20, 20);
  // The cell (0, 0) is free to merge right or down; the cell (1, 1) belongs to an object.
  m.AddTableObject(10, 10, 20, 20, "", "", taLeftJustify, taLeftJustify);
  m.LayoutTable();
  EXPECT_EQ(m.Cell(0, 0).ColSpan, 2);
  EXPECT_EQ(m.Cell(0, 0).RowSpan, 1);
  EXPECT_EQ(m.Cell(1, 0).RowSpan, 1);
}

TEST(PageSlicer, SpansEqualTheLiteralSearch) {
  std::mt19937 rng(11);
  for (int round = 0; round < 200; ++round) {
    std::uniform_int_distribution<int> pos(-5, 65), count(0, 8);
    TTableMaker m(60, 60);
    int n = count(rng);
    for (int i = 0; i < n; ++i) {
      int l = pos(rng), t = pos(rng);
      m.AddTableObject(l, t, l + pos(rng) / 2, t + pos(rng) / 2, "", "", taLeftJustify, taLeftJustify);
    }
    m.LayoutTable();
    std::vector<int> rs, cs;
    LiteralSpans(m, rs, cs);
    for (int r = 0; r < m.Rows; ++r)
      for (int c = 0; c < m.Cols; ++c) {
        ASSERT_EQ(m.Cell(r, c).RowSpan, rs[size_t(r * m.Cols + c)]) << round << " " << r << "," << c;
        ASSERT_EQ(m.Cell(r, c).ColSpan, cs[size_t(r * m.Cols + c)]) << round << " " << r << "," << c;
      }
  }
}

TEST(PageSlicer, GridGrowsPastAHundredEdges) {
  TTableMaker m(1000, 1000);
  for (int i = 0; i < 150; ++i)
    m.AddTableObject(i * 6, i * 6, i * 6 + 3, i * 6 + 3, "", "", taLeftJustify, taLeftJustify);
  m.LayoutTable();
  EXPECT_EQ(m.Cols, 300);
  EXPECT_EQ(m.Rows, 300);
  EXPECT_EQ(m.Cell(299, 299).Rect.Right, 1000);
  EXPECT_FALSE(m.BuildTableHTML().empty());
}

TEST(PageSlicer, BlankPageMarkup) {
  TTableMaker m(3, 2);
  m.LayoutTable();
  EXPECT_EQ(m.BuildTableHTML(),
            "<TABLE width=3 height=2 border=0 cellPadding=0 cellSpacing=0>"
            "<TR><TD width=1 height=1></TD>"
            "<TD width=3 height=1><IMG src=a.gif border=0 width=3 height=1></TD></TR>"
            "<TR><TD width=1 height=2></TD>"
            "<TD width=3 height=2><IMG src=a.gif border=0 width=3 height=2></TD></TR>"
            "</TABLE>");
}

TEST(PageSlicer, CellContentLinksAndNesting) {
  TTableMaker m(20, 10);
  m.AddTableObject(0, 0, 10, 10, "<B>hi</B>", "http://x.org/a b", taCenter, taCenter);
  m.AddTableObject(10, 0, 20, 10, "caption", "", taRightJustify, taLeftJustify);
  // A link around text keeps the text's own colour and draws no underline, as the editor
  // shows the caption. (A link around a picture stays plain: SlicedPageBrowserTest.)
  m.TableObject(2)->TextColor = RGB(0x11, 0x22, 0x33);
  m.LayoutTable();
  m.Span(0, 0).BgColor = "FF0000";
  m.Span(0, 1).ImageFile = "0.png";  // a picture behind its caption: nested table
  EXPECT_EQ(m.BuildTableHTML(),
            "<TABLE width=20 height=10 border=0 cellPadding=0 cellSpacing=0>"
            "<TR><TD width=1 height=1></TD>"
            "<TD width=10 height=1><IMG src=a.gif border=0 width=10 height=1></TD>"
            "<TD width=10 height=1><IMG src=a.gif border=0 width=10 height=1></TD></TR>"
            "<TR><TD width=1 height=10></TD>"
            "<TD width=10 height=10 ALIGN=CENTER bgColor=FF0000>"
            "<A href=\"http://x.org/a b\" style=\"color:#112233;text-decoration:none\"><B>hi</B></A></TD>"
            "<TD width=10 height=10><TABLE border=0 cellPadding=0 cellSpacing=0 width=10 height=10 "
            "background=0.png><TR><TD width=10 height=10 ALIGN=RIGHT VALIGN=TOP>caption"
            "</TD></TR></TABLE></TD></TR></TABLE>");
}

// ---- slicing --------------------------------------------------------------------------------

constexpr uint32_t kPaper = 0xFF336699;  // the page colour, 0xAARRGGBB

uint32_t Gradient(int x, int y) {
  return 0xFF000000u | uint32_t(x * 12) << 16 | uint32_t(y * 20) << 8 | 0x40;
}
uint32_t Rings(int x, int y) { return 0xFF000000u | uint32_t((x * x + y * y) & 0xFF) << 8 | 0x80u << 16; }

// Restores the current folder when it ends.
class CurrentFolder {
 public:
  CurrentFolder() : FOld(GetCurrentDir()) {}
  ~CurrentFolder() { [[maybe_unused]] int rc = chdir(FOld.c_str()); }

 private:
  std::string FOld;
};

TEST(PageSlicer, EqualSlicesAreWrittenOnce) {
  XImage page;
  MakePage(page, 70, 30, kPaper);
  PaintRect(page, Rect(10, 10, 30, 20), Gradient);
  PaintRect(page, Rect(40, 10, 60, 20), Gradient);  // a copy of the first button
  TTableMaker m(70, 30);
  m.AddTableObject(10, 10, 30, 20, "", "", taLeftJustify, taLeftJustify);
  m.AddTableObject(40, 10, 60, 20, "", "", taLeftJustify, taLeftJustify);
  m.LayoutTable();
  TempDir dir;
  m.SliceImages(page, dir.Path());
  EXPECT_EQ(FolderFiles(dir.Path()), (std::set<std::string>{"0.png", "a.gif"}));
  EXPECT_EQ(m.Cell(1, 1).ImageFile, "0.png");
  EXPECT_EQ(m.Cell(1, 3).ImageFile, "0.png");
  EXPECT_EQ(m.Cell(0, 0).BgColor, "336699");
  EXPECT_EQ(m.Cell(0, 0).ColSpan, 5);
  ExpectSlicesMatch(m, page, dir.Path());
}

// Repeats, one-colour cells and pictures mixed in rows: the files count up from 0 in the
// order the cells are met, with no number left out for a repeat or a plain cell.
TEST(PageSlicer, SlicesNumberedFromZeroWithoutGaps) {
  XImage page;
  MakePage(page, 120, 80, kPaper);
  const TRect a(10, 10, 30, 30), b(40, 10, 60, 30), plain(70, 10, 90, 30), c(10, 50, 40, 70),
      a2(50, 50, 70, 70), d(80, 45, 110, 75);
  PaintRect(page, a, Gradient);
  PaintRect(page, b, Rings);
  PaintRect(page, plain, [](int, int) { return 0xFFFF8000u; });
  PaintRect(page, c, Rings);  // larger than b: a picture of its own
  PaintRect(page, a2, Gradient);
  PaintRect(page, d, [](int x, int y) { return 0xFF000000u | uint32_t(x + y) * 0x010101u; });
  TTableMaker m(120, 80);
  for (const TRect& r : {a, b, plain, c, a2, d})
    m.AddTableObject(r.Left, r.Top, r.Right, r.Bottom, "", "", taLeftJustify, taLeftJustify);
  m.LayoutTable();
  TempDir dir;
  m.SliceImages(page, dir.Path());
  ExpectSlicesMatch(m, page, dir.Path());
  EXPECT_EQ(FolderFiles(dir.Path()).size(), 1u + 4u);  // a, b, c, d; a2 reuses a's file
  TableCell& plainCell = m.Span(1, 6);
  EXPECT_EQ(plainCell.Owner, m.TableObject(4));
  EXPECT_EQ(plainCell.BgColor, "FF8000");
}

// Scenes of scattered copies of a few stamps, partly off the page and overlapping, against
// the invariants of the slice files.
TEST(PageSlicer, ScatteredScenesMatchTheirFiles) {
  std::mt19937 rng(7);
  const std::function<uint32_t(int, int)> stamps[] = {
      Gradient, Rings, [](int, int) { return 0xFF20C040u; },
      [](int x, int) { return x % 2 ? 0xFFFFFFFFu : 0xFF000000u; }};
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + IntToStr(round));
    std::uniform_int_distribution<int> pos(-20, 150), pick(0, 3), count(1, 9);
    XImage page;
    MakePage(page, 150, 100, kPaper);
    TTableMaker m(150, 100);
    int n = count(rng);
    for (int i = 0; i < n; ++i) {
      int x = pos(rng), y = pos(rng) * 2 / 3;
      TRect r(x, y, x + 16, y + 12);
      TRect on;
      if (IntersectRect(on, r, Rect(0, 0, 150, 100))) {
        const auto& stamp = stamps[pick(rng)];
        PaintRect(page, on, [&](int px, int py) { return stamp(px + on.Left - x, py + on.Top - y); });
      }
      m.AddTableObject(r.Left, r.Top, r.Right, r.Bottom, "", "", taLeftJustify, taLeftJustify);
    }
    m.LayoutTable();
    TempDir dir;
    m.SliceImages(page, dir.Path());
    ExpectSlicesMatch(m, page, dir.Path());
  }
}

// Pages of noise (every pixel its own, the alpha byte too) of odd sizes, with objects of one
// pixel, odd sizes and repeated stamps: each slice holds the page's pixels under its cell,
// byte for byte.
TEST(PageSlicer, NoisyPagesOfOddSizesSliceToTheirPixels) {
  std::mt19937 rng(11);
  const struct {
    int width, height, objects;
  } pages[] = {{1, 1, 1}, {97, 61, 14}, {3, 200, 6}, {255, 2, 9}, {128, 128, 40}};
  for (const auto& p : pages) {
    SCOPED_TRACE(IntToStr(p.width) + " x " + IntToStr(p.height));
    XImage page;
    MakePage(page, p.width, p.height, 0);
    PaintRect(page, Rect(0, 0, p.width, p.height), [&](int, int) { return uint32_t(rng()); });
    // A stamp painted twice, so that one slice repeats another.
    const std::function<uint32_t(int, int)> stamp = [](int x, int y) {
      return 0x80000000u | uint32_t(x * 977 + y * 31);
    };
    TTableMaker m(p.width, p.height);
    std::uniform_int_distribution<int> x(-2, p.width), y(-2, p.height), side(1, 9);
    for (int i = 0; i < p.objects; ++i) {
      TRect r = Bounds(x(rng), y(rng), i % 3 == 0 ? 1 : side(rng), i % 5 == 0 ? 1 : side(rng));
      if (i % 4 == 1) {
        r = Bounds(r.Left, r.Top, 5, 3);
        TRect on;
        if (IntersectRect(on, r, Rect(0, 0, p.width, p.height)) && on == r) PaintRect(page, on, stamp);
      }
      m.AddTableObject(r.Left, r.Top, r.Right, r.Bottom, "", "", taLeftJustify, taLeftJustify);
    }
    m.LayoutTable();
    TempDir dir;
    m.SliceImages(page, dir.Path());
    ExpectSlicesMatch(m, page, dir.Path());
  }
}

TEST(PageSlicer, ObjectsOffThePageAreSlicedClamped) {
  XImage page;
  MakePage(page, 100, 50, kPaper);
  PaintRect(page, Rect(50, 0, 100, 20), Gradient);
  TTableMaker m(100, 50);
  m.AddTableObject(50, -10, 130, 20, "", "", taLeftJustify, taLeftJustify);  // partly off
  m.AddTableObject(-40, 60, -10, 90, "", "", taLeftJustify, taLeftJustify);  // wholly off
  m.LayoutTable();
  EXPECT_EQ(m.TableObject(2)->Rect, Rect(50, 0, 100, 20));
  EXPECT_EQ(m.TableObject(3)->Rect, Rect(0, 50, 0, 50));
  EXPECT_EQ(m.XEdges, (std::vector<int32_t>{0, 50, 100}));
  EXPECT_EQ(m.YEdges, (std::vector<int32_t>{0, 20, 50}));
  TempDir dir;
  m.SliceImages(page, dir.Path());
  ExpectSlicesMatch(m, page, dir.Path());
  EXPECT_EQ(m.Cell(0, 1).ImageFile, "0.png");
  for (int r = 0; r < m.Rows; ++r)
    for (int c = 0; c < m.Cols; ++c) EXPECT_NE(m.Cell(r, c).Owner, m.TableObject(3));
}

// The colour of a plain cell is the pixel's colour, whatever its alpha byte: the slice is
// made opaque, and the alpha must not turn the value into a system colour.
TEST(PageSlicer, PlainCellColourIsThePixelColour) {
  struct Case {
    uint32_t pixel;
    const char* color;
  } cases[] = {{0xFF123456, "123456"}, {0x00FF0000, "FF0000"}, {0x800000FF, "0000FF"},
               {0x00000000, "000000"}, {0xFFFFFFFF, "FFFFFF"}, {0x7F80FF01, "80FF01"}};
  for (const Case& k : cases) {
    XImage page;
    MakePage(page, 3, 2, k.pixel);
    TTableMaker m(3, 2);
    m.LayoutTable();
    TempDir dir;
    m.SliceImages(page, dir.Path());
    EXPECT_EQ(m.Cell(0, 0).BgColor, k.color) << std::hex << k.pixel;
    EXPECT_EQ(m.Cell(0, 0).ImageFile, "");
    EXPECT_EQ(FolderFiles(dir.Path()), std::set<std::string>{"a.gif"});
  }
}

// The files go by absolute path into the site folder; the cells name them bare, for the
// page beside them. Without a folder the current one is the site folder.
TEST(PageSlicer, SliceFilesGoIntoTheSiteFolder) {
  XImage page;
  MakePage(page, 40, 20, kPaper);
  PaintRect(page, Rect(10, 5, 30, 15), Rings);
  TTableMaker m(40, 20);
  m.AddTableObject(10, 5, 30, 15, "", "", taLeftJustify, taLeftJustify);
  m.LayoutTable();
  TempDir elsewhere, site;
  CurrentFolder keep;
  ASSERT_EQ(chdir(elsewhere.Path().c_str()), 0);
  m.SliceImages(page, site.Path());
  EXPECT_EQ(FolderFiles(site.Path()), (std::set<std::string>{"0.png", "a.gif"}));
  EXPECT_TRUE(FolderFiles(elsewhere.Path()).empty());
  EXPECT_EQ(m.Cell(1, 1).ImageFile, "0.png");

  m.SliceImages(page);
  EXPECT_EQ(FolderFiles(elsewhere.Path()), (std::set<std::string>{"0.png", "a.gif"}));
  ExpectSlicesMatch(m, page, elsewhere.Path());
}

// Every entry of a folder, hidden ones too, with the bytes of each file ("<folder>" for a
// folder): what a site build that failed must leave as it found.
std::map<std::string, std::string> FolderContent(const std::string& folder) {
  std::map<std::string, std::string> content;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      lstat((folder + "/" + name).c_str(), &st);
      content[name] = S_ISDIR(st.st_mode) ? "<folder>" : ReadAll(folder + "/" + name);
    }
    closedir(d);
  }
  return content;
}

// A file that cannot be written stops the slicing with an error naming it, and the site that
// was there stays whole: no slice of the new one under its name, nothing left beside it.
TEST(PageSlicer, AFileThatCannotBeWrittenLeavesTheSiteAsItWas) {
  XImage page;
  MakePage(page, 40, 20, kPaper);
  PaintRect(page, Rect(10, 5, 30, 15), Rings);
  PaintRect(page, Rect(30, 5, 40, 15), Gradient);
  TTableMaker m(40, 20);
  m.AddTableObject(10, 5, 30, 15, "", "", taLeftJustify, taLeftJustify);
  m.AddTableObject(30, 5, 40, 15, "", "", taLeftJustify, taLeftJustify);
  m.LayoutTable();
  TempDir dir;
  try {
    m.SliceImages(page, dir.File("missing"));
    ADD_FAILURE() << "no error for a missing site folder";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("a.gif"), std::string::npos) << e.what();
  }
  // The site of before, with a folder in the way of the second slice.
  WriteAll(dir.File("0.png"), "the old first slice");
  WriteAll(dir.File("a.gif"), "the old spacer");
  WriteAll(dir.File("index.htm"), "the old page");
  ASSERT_EQ(mkdir(dir.File("1.png").c_str(), 0755), 0);
  const std::map<std::string, std::string> before = FolderContent(dir.Path());
  try {
    m.SliceImages(page, dir.Path());
    ADD_FAILURE() << "no error for a slice that could not be written";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("1.png"), std::string::npos) << e.what();
  }
  EXPECT_EQ(FolderContent(dir.Path()), before);
  // With the way clear, the same build replaces them.
  ASSERT_EQ(rmdir(dir.File("1.png").c_str()), 0);
  m.SliceImages(page, dir.Path());
  XImage first;
  first.LoadFromFile(dir.File("0.png"));
  EXPECT_EQ(first.Width(), 20);
  EXPECT_EQ(FolderContent(dir.Path()).count("1.png"), 1u);
}

// A page whose slices are small, but for one large noisy slice between them in the order they
// are written.
void NoisyMiddlePage(XImage& page, TTableMaker& m, uint32_t seed) {
  MakePage(page, 300, 200, kPaper);
  std::mt19937 rng(seed);
  for (int i = 0; i < 8; ++i) {
    const TRect top(5 + i * 36, 5, 35 + i * 36, 25), bottom(5 + i * 36, 175, 35 + i * 36, 195);
    const uint32_t tint = rng() & 0x00FFFFFFu;
    PaintRect(page, top, [tint](int x, int y) { return Gradient(x, y) ^ tint; });
    PaintRect(page, bottom, [tint](int x, int y) { return Rings(x, y) ^ tint; });
    m.AddTableObject(top.Left, top.Top, top.Right, top.Bottom, "", "", taLeftJustify, taLeftJustify);
    m.AddTableObject(bottom.Left, bottom.Top, bottom.Right, bottom.Bottom, "", "", taLeftJustify,
                     taLeftJustify);
  }
  PaintRect(page, Rect(20, 40, 280, 160), [&rng](int, int) { return 0xFF000000u | (rng() & 0xFFFFFFu); });
  m.AddTableObject(20, 40, 280, 160, "", "", taLeftJustify, taLeftJustify);
  m.LayoutTable();
}

// A build ended part-way, by a signal (the program killed) or by a write that fails (a full
// disk): the site that was there is whole, byte for byte, and no slice of the new build is
// under a final name. A killed build's private folder is removed by the next save there.
TEST(PageSlicer, ABuildEndedPartWayLeavesTheOldSiteWhole) {
  for (const bool killed : {true, false}) {
    SCOPED_TRACE(killed ? "killed by the write cap" : "the write fails");
    TempDir dir;
    {
      XImage page;
      TTableMaker m(300, 200);
      NoisyMiddlePage(page, m, 1);
      m.SliceImages(page, dir.Path());
    }
    WriteAll(dir.File("index.htm"), "the old page");
    const std::map<std::string, std::string> before = FolderContent(dir.Path());
    ASSERT_GT(before.size(), 10u);
    // The noisy slice is some 90 KB, every other one far under the cap.
    const ChildRun run = RunInChild(
        [&] {
          if (!killed) signal(SIGXFSZ, SIG_IGN);
          XImage page;
          TTableMaker m(300, 200);
          NoisyMiddlePage(page, m, 2);
          m.SliceImages(page, dir.Path());
          return std::string("written");
        },
        60000, 16 * 1024);
    if (killed) {
      EXPECT_FALSE(run.Finished) << run.Result;
      EXPECT_NE(run.Result.find("cap"), std::string::npos) << run.Result;
    } else {
      ASSERT_TRUE(run.Finished) << run.Result;
      EXPECT_EQ(run.Result.rfind("raised: Cannot write file", 0), 0u) << run.Result;
      EXPECT_NE(run.Result.find(".png"), std::string::npos) << run.Result;
    }
    std::map<std::string, std::string> after = FolderContent(dir.Path());
    std::vector<std::string> privateFolders;
    for (auto it = after.begin(); it != after.end();)
      if (it->first.rfind(".zelmora-save-", 0) == 0) {
        privateFolders.push_back(it->first);
        it = after.erase(it);
      } else {
        ++it;
      }
    EXPECT_EQ(after, before);
    EXPECT_EQ(privateFolders.size(), killed ? 1u : 0u);
    for (const std::string& f : privateFolders) {
      const std::string path = dir.File(f);
      struct timespec old[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
      utimensat(AT_FDCWD, path.c_str(), old, 0);
    }
    WriteFileAtomic(dir.File("index.htm"), "a page saved later");
    EXPECT_EQ(FolderContent(dir.Path()).size(), before.size()) << "the dead build's folder is gone";
  }
}

// A slice takes the permissions a single save gives a file: a new one those of the process's
// mask, one that replaces a file of the user's that file's permissions.
TEST(PageSlicer, SlicesTakeThePermissionsOfASingleSave) {
  XImage page;
  TTableMaker m(300, 200);
  NoisyMiddlePage(page, m, 3);
  TempDir dir;
  WriteAll(dir.File("0.png"), "the user's own");
  ASSERT_EQ(chmod(dir.File("0.png").c_str(), 0604), 0);
  const mode_t saved = umask(027);
  m.SliceImages(page, dir.Path());
  umask(saved);
  auto mode = [&](const std::string& name) {
    struct stat st {};
    EXPECT_EQ(stat(dir.File(name).c_str(), &st), 0) << name;
    return st.st_mode & 07777;
  };
  EXPECT_EQ(mode("0.png"), 0604u);
  EXPECT_EQ(mode("1.png"), 0640u);
  EXPECT_EQ(mode("a.gif"), 0640u);
  ExpectSlicesMatch(m, page, dir.Path());
}

}  // namespace
