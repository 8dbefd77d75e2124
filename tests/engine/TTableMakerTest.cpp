#include "engine/TTableMaker.h"

#include <gtest/gtest.h>

#include <random>

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
  m.AddTableObject(40, 0, 100, 50, "", "", taLeftJustify, taLeftJustify);  // shares x = 40
  m.AddTableObject(150, 10, 200, 20, "", "", taLeftJustify, taLeftJustify);  // right of the page
  m.AddTableObject(30, 20, 10, 30, "", "", taLeftJustify, taLeftJustify);   // reversed: dropped
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
  m.LayoutTable();
  m.Cell(0, 0).BgColor = "FF0000";
  m.Cell(0, 1).ImageFile = "0.png";  // a picture behind its caption: nested table
  EXPECT_EQ(m.BuildTableHTML(),
            "<TABLE width=20 height=10 border=0 cellPadding=0 cellSpacing=0>"
            "<TR><TD width=1 height=1></TD>"
            "<TD width=10 height=1><IMG src=a.gif border=0 width=10 height=1></TD>"
            "<TD width=10 height=1><IMG src=a.gif border=0 width=10 height=1></TD></TR>"
            "<TR><TD width=1 height=10></TD>"
            "<TD width=10 height=10 ALIGN=CENTER bgColor=FF0000>"
            "<A href=\"http://x.org/a b\"><B>hi</B></A></TD>"
            "<TD width=10 height=10><TABLE border=0 cellPadding=0 cellSpacing=0 width=10 height=10 "
            "background=0.png><TR><TD width=10 height=10 ALIGN=RIGHT VALIGN=TOP>caption"
            "</TD></TR></TABLE></TD></TR></TABLE>");
}

}  // namespace
