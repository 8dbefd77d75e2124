#include "engine/TTableMaker.h"

#include <algorithm>

#include "POP/PopBitmap.h"
#include "POP/PopHTML.h"
#include "POP/PopPhoto.h"
#include "engine/XBlend.h"
#include "engine/XImage.h"
#include "engine/XImageCache.h"
#include "platform/SysUtils.h"

TTableMaker::TTableMaker(int32_t width, int32_t height) : Width(width), Height(height) {
  AddTableObject(0, 0, 0, 0, "", "", taLeftJustify, taLeftJustify);
  AddTableObject(width, height, width, height, "", "", taLeftJustify, taLeftJustify);
}

void TTableMaker::AddTableObject(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                 const std::string& html, const std::string& link, TAlignment hAlign,
                                 TAlignment vAlign) {
  left = std::clamp(left, 0, std::max(Width, 0));
  right = std::clamp(right, 0, std::max(Width, 0));
  top = std::clamp(top, 0, std::max(Height, 0));
  bottom = std::clamp(bottom, 0, std::max(Height, 0));
  if (right < left || bottom < top) return;
  auto* o = new TTableObject(this);
  o->Rect = {left, top, right, bottom};
  o->Html = html;
  o->Link = link;
  o->HAlign = hAlign;
  o->VAlign = vAlign;
}

void TTableMaker::LayoutTable() {
  XEdges.clear();
  YEdges.clear();
  auto addEdge = [](std::vector<int32_t>& edges, int32_t v) {
    if (std::find(edges.begin(), edges.end(), v) == edges.end()) edges.push_back(v);
  };
  for (int i = 0; i < Count(); ++i) {
    const TRect& r = TableObject(i)->Rect;
    addEdge(XEdges, r.Left);
    addEdge(XEdges, r.Right);
    addEdge(YEdges, r.Top);
    addEdge(YEdges, r.Bottom);
  }
  std::sort(XEdges.begin(), XEdges.end());
  std::sort(YEdges.begin(), YEdges.end());
  Cols = std::max<int32_t>(0, int32_t(XEdges.size()) - 1);
  Rows = std::max<int32_t>(0, int32_t(YEdges.size()) - 1);
  FCells.assign(size_t(Rows) * size_t(Cols), TableCell());

  for (int32_t row = 0; row < Rows; ++row)
    for (int32_t col = 0; col < Cols; ++col) {
      TableCell& c = Cell(row, col);
      c.Rect = {XEdges[size_t(col)], YEdges[size_t(row)], XEdges[size_t(col) + 1], YEdges[size_t(row) + 1]};
      c.Width = c.Rect.Width();
      c.Height = c.Rect.Height();
      // The last overlapping object in list order (the topmost) owns the cell.
      for (int i = 0; i < Count(); ++i) {
        TRect common;
        if (IntersectRect(common, c.Rect, TableObject(i)->Rect)) c.Owner = TableObject(i);
      }
    }
  MergeSpans();
}

// For each free cell the largest block of free cells of the same owner with that cell at its
// top-left wins; among equal areas the first in the order (bottom row ascending, then right
// column ascending) is kept. Blocks that qualify are closed towards the left and the top, so
// for each bottom row only the widest block can be the best of that row: the search walks
// the rows down, narrowing the width to the shortest run so far, and stops when it is 0.
void TTableMaker::MergeSpans() {
  auto free = [this](int32_t row, int32_t col, const TTableObject* owner) {
    const TableCell& c = Cell(row, col);
    return c.Owner == owner && c.RowSpan != 0 && c.ColSpan != 0;
  };
  for (int32_t row = 0; row < Rows; ++row)
    for (int32_t col = 0; col < Cols; ++col) {
      TableCell& start = Cell(row, col);
      if (start.RowSpan == 0 || start.ColSpan == 0) continue;
      const TTableObject* owner = start.Owner;
      int32_t width = Cols - col;
      int64_t bestArea = 0;
      int32_t bestRows = 1, bestCols = 1;
      for (int32_t k = row; k < Rows && width > 0; ++k) {
        int32_t run = 0;
        while (run < width && free(k, col + run, owner)) ++run;
        width = run;
        int64_t area = int64_t(k - row + 1) * width;
        if (width > 0 && area > bestArea) {
          bestArea = area;
          bestRows = k - row + 1;
          bestCols = width;
        }
      }
      for (int32_t r = row; r < row + bestRows; ++r)
        for (int32_t c = col; c < col + bestCols; ++c) Cell(r, c).RowSpan = Cell(r, c).ColSpan = 0;
      start.RowSpan = bestRows;
      start.ColSpan = bestCols;
    }
}

void TTableMaker::SliceImages(TBitmap& page, const std::string& siteFolder) {
  // Resolved once, so every file lands in the same folder whatever the current folder is.
  const std::string folder =
      IncludeTrailingPathDelimiter(ExpandFileName(siteFolder.empty() ? GetCurrentDir() : siteFolder));
  SaveSpacerGIF(folder + "a.gif");
  XImageCache written;  // the slices of this page, to find repeats
  int32_t n = 0;
  for (int32_t row = 0; row < Rows; ++row)
    for (int32_t col = 0; col < Cols; ++col) {
      TableCell& c = Cell(row, col);
      if (c.ColSpan <= 0) continue;
      c.ImageFile.clear();
      c.BgColor.clear();
      XImage slice;
      BitmapSnagIt(slice, page, Bounds(c.Rect.Left, c.Rect.Top, SpanWidth(col, row), SpanHeight(col, row)));
      ImageOr(slice, slice, 0xFF000000u);
      if (slice.Width() <= 0 || slice.Height() <= 0) continue;
      const uint32_t first = *reinterpret_cast<const uint32_t*>(slice.ScanLine(0));
      if (PhotoIsBlank(slice, first)) {
        // Only the colour bits: with the alpha byte the value would read as a system colour.
        c.BgColor = HTMLEncodeColor(TColor(ColorSwapRB(first) & 0x00FFFFFFu));
        continue;
      }
      if (XImageCacheObject* same = written.FindEqualImage(slice)) {
        c.ImageFile = ExtractFileName(same->FileName);
        continue;
      }
      const std::string name = IntToStr(n) + ".png";
      BitmapSetPixelFormat(slice, 6);
      slice.SaveToFile(folder + name);
      BitmapSetPixelFormat(slice, 7);
      // The entry keeps the pixels just written, so a repeat is found without reading the
      // file back.
      XImageCacheObject* entry = written.GetEntry(folder + name);
      entry->Image->Assign(&slice);
      entry->Loaded = true;
      ++n;
      c.ImageFile = name;
    }
}

int32_t TTableMaker::SpanWidth(int32_t col, int32_t row) const {
  int32_t w = 0;
  const TableCell& c = Cell(row, col);
  for (int32_t i = 0; i < c.ColSpan; ++i) w += Cell(row, col + i).Width;
  return w;
}

int32_t TTableMaker::SpanHeight(int32_t col, int32_t row) const {
  int32_t h = 0;
  const TableCell& c = Cell(row, col);
  for (int32_t i = 0; i < c.RowSpan; ++i) h += Cell(row + i, col).Height;
  return h;
}

std::string TTableMaker::BuildTableHTML() const {
  std::string s = "<TABLE " + HTMLEncodeSize(Width, Height) + " border=0 cellPadding=0 cellSpacing=0>";
  s += "<TR><TD " + HTMLEncodeSize(1, 1) + "></TD>";
  for (int32_t col = 0; col < Cols && Rows > 0; ++col) {
    int32_t w = Cell(0, col).Width;
    s += "<TD " + HTMLEncodeSize(w, 1) + ">" + HTMLEncodeImg("a.gif", w, 1) + "</TD>";
  }
  s += "</TR>";
  for (int32_t row = 0; row < Rows; ++row) {
    s += "<TR><TD " + HTMLEncodeSize(1, Cols > 0 ? Cell(row, 0).Height : 0) + "></TD>";
    for (int32_t col = 0; col < Cols; ++col) {
      const TableCell& c = Cell(row, col);
      if (c.ColSpan <= 0) continue;
      int32_t w = SpanWidth(col, row), h = SpanHeight(col, row);
      const TTableObject* o = c.Owner;
      bool hasHtml = o && !o->Html.empty();
      bool nested = !c.ImageFile.empty() && hasHtml;
      s += "<TD " + HTMLEncodeSize(w, h);
      if (o && !nested) s += " " + HTMLEncodeAlign(o->HAlign, o->VAlign);
      if (!c.BgColor.empty()) s += " bgColor=" + c.BgColor;
      if (c.ColSpan > 1) s += " colSpan=" + IntToStr(c.ColSpan);
      if (c.RowSpan > 1) s += " rowSpan=" + IntToStr(c.RowSpan);
      s += ">";
      if (nested)
        s += "<TABLE border=0 cellPadding=0 cellSpacing=0 " + HTMLEncodeSize(w, h) +
             " background=" + HTMLEncodeValue(c.ImageFile) + "><TR><TD " + HTMLEncodeSize(w, h) + " " +
             HTMLEncodeAlign(o->HAlign, o->VAlign) + ">";
      bool link = o && !o->Link.empty();
      if (link) {
        s += "<A href=" + HTMLEncodeValue(o->Link);
        if (hasHtml) {
          s += " style=\"";
          if (o->TextColor != clNone) s += "color:#" + HTMLEncodeColor(o->TextColor) + ";";
          s += "text-decoration:none\"";
        }
        s += ">";
      }
      s += hasHtml ? o->Html : HTMLEncodeImg(c.ImageFile.empty() ? "a.gif" : c.ImageFile, w, h);
      if (link) s += "</A>";
      if (nested) s += "</TD></TR></TABLE>";
      s += "</TD>";
    }
    s += "</TR>";
  }
  return s + "</TABLE>";
}

std::string BuildPageHTML(TTableMaker& maker, XObject& store, TColor background) {
  return BuildPageHTMLFromTable(*maker.HtmlDoc, maker.BuildTableHTML(), store, background);
}
