// Page bitmaps for the slicer tests, and the check that a sliced page's files match its cells.
#pragma once
#include <cstdint>
#include <dirent.h>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "POP/PopBitmap.h"
#include "POP/PopPhoto.h"
#include "engine/TTableMaker.h"
#include "engine/XBlend.h"
#include "engine/XImage.h"
#include "platform/SysUtils.h"

// A page of one colour (0xAARRGGBB, alpha as given).
inline void MakePage(XImage& page, int width, int height, uint32_t pixel) {
  page.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(page.ScanLine(y));
    for (int x = 0; x < width; ++x) row[x] = pixel;
  }
}

// Paints r with paint(x, y), x and y counted from r's top-left corner.
inline void PaintRect(XImage& page, const TRect& r, const std::function<uint32_t(int, int)>& paint) {
  for (int y = r.Top; y < r.Bottom; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(page.ScanLine(y));
    for (int x = r.Left; x < r.Right; ++x) row[x] = paint(x - r.Left, y - r.Top);
  }
}

inline std::set<std::string> FolderFiles(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.insert(e->d_name);
    closedir(d);
  }
  return names;
}

// The opaque crop of the page under the merged cell (row, col), read pixel by pixel: not
// through the copy the slicer itself uses, so a fault there shows.
inline void CellCrop(const TTableMaker& m, XImage& page, int row, int col, XImage& crop) {
  const TableCell& c = m.Cell(row, col);
  const int width = m.SpanWidth(col, row), height = m.SpanHeight(col, row);
  crop.SetPixelFormat(pf32bit);
  crop.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    auto* to = reinterpret_cast<uint32_t*>(crop.ScanLine(y));
    for (int x = 0; x < width; ++x) {
      const int px = c.Rect.Left + x, py = c.Rect.Top + y;
      const bool on = px >= 0 && py >= 0 && px < page.Width() && py < page.Height();
      to[x] = 0xFF000000u | (on ? reinterpret_cast<const uint32_t*>(page.ScanLine(py))[px] : 0);
    }
  }
}

// Every merged cell is either a bgColor cell whose crop is that one colour, or names a PNG
// that holds exactly its crop; the PNGs are 0.png .. n-1.png, numbered in row-major order of
// first use; the folder holds them and "a.gif" and nothing else.
inline void ExpectSlicesMatch(const TTableMaker& m, XImage& page, const std::string& folder) {
  std::set<std::string> expected = {"a.gif"};
  int next = 0;
  for (int r = 0; r < m.Rows; ++r)
    for (int c = 0; c < m.Cols; ++c) {
      const TableCell& cell = m.Cell(r, c);
      if (cell.ColSpan <= 0) continue;
      SCOPED_TRACE("cell " + IntToStr(r) + "," + IntToStr(c));
      XImage crop;
      CellCrop(m, page, r, c, crop);
      if (!cell.BgColor.empty()) {
        EXPECT_EQ(cell.ImageFile, "");
        uint32_t first = *reinterpret_cast<const uint32_t*>(crop.ScanLine(0));
        EXPECT_TRUE(PhotoIsBlank(crop, first));
        EXPECT_EQ(cell.BgColor, Format("%06X", first & 0xFFFFFF));
        continue;
      }
      ASSERT_FALSE(cell.ImageFile.empty());
      if (cell.ImageFile == IntToStr(next) + ".png") ++next;
      ASSERT_TRUE(expected.count(cell.ImageFile) || cell.ImageFile == IntToStr(next - 1) + ".png")
          << cell.ImageFile << " out of order";
      expected.insert(cell.ImageFile);
      XImage file;
      file.LoadFromFile(folder + "/" + cell.ImageFile);
      EXPECT_TRUE(PhotoCompare(file, crop)) << cell.ImageFile << " differs from its crop";
      EXPECT_FALSE(PhotoIsBlank(crop, *reinterpret_cast<const uint32_t*>(crop.ScanLine(0))))
          << "a one-colour slice became a file";
    }
  EXPECT_EQ(FolderFiles(folder), expected);
  // Equal slices are written once: no two files hold the same picture.
  std::vector<XImage> files(static_cast<size_t>(next));
  for (int i = 0; i < next; ++i) files[size_t(i)].LoadFromFile(folder + "/" + IntToStr(i) + ".png");
  for (int i = 0; i < next; ++i)
    for (int j = i + 1; j < next; ++j)
      EXPECT_FALSE(PhotoCompare(files[size_t(i)], files[size_t(j)])) << i << ".png equals " << j << ".png";
  EXPECT_EQ(ReadFileBytes(folder + "/a.gif").size(), 42u);
}
