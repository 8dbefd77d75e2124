// The page slicer: the edges of the page objects become grid lines, grid cells go to the
// topmost object covering them, neighbouring cells of one owner merge into spans, and the
// result is written as an HTML table of image slices.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/THTML.h"
#include "engine/XObject.h"
#include "platform/Graphics.h"
#include "platform/Types.h"

class TTableObject : public XObject {
 public:
  using XObject::XObject;
  TRect Rect;
  std::string Html;
  std::string Link;
  TAlignment HAlign = taLeftJustify;
  TAlignment VAlign = taLeftJustify;  // left = top, right = bottom, centre = middle
  // The colour of the text that Html holds. A link around that text takes it and no
  // underline, so the page shows the caption as the editor draws it (clNone: the browser's).
  TColor TextColor = clNone;
};

struct TableCell {
  TRect Rect;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t RowSpan = -1;  // 0: covered by another cell's span
  int32_t ColSpan = -1;
  TTableObject* Owner = nullptr;
  std::string ImageFile;
  std::string BgColor;
};

class TTableMaker : public XObject {
 public:
  TTableMaker(int32_t width, int32_t height);

  int32_t Rows = 0;
  int32_t Cols = 0;
  int32_t Width;
  int32_t Height;
  std::vector<int32_t> XEdges;
  std::vector<int32_t> YEdges;
  std::unique_ptr<THTML> HtmlDoc = std::make_unique<THTML>();

  // The grid grows with the page: there is no fixed limit on the number of edges.
  TableCell& Cell(int32_t row, int32_t col) { return FCells[size_t(row) * size_t(Cols) + size_t(col)]; }
  const TableCell& Cell(int32_t row, int32_t col) const {
    return FCells[size_t(row) * size_t(Cols) + size_t(col)];
  }
  TTableObject* TableObject(int index) const { return static_cast<TTableObject*>(Items(index)); }

  // Clamps the rectangle to the page; adds nothing when it is reversed.
  void AddTableObject(int32_t left, int32_t top, int32_t right, int32_t bottom, const std::string& html,
                      const std::string& link, TAlignment hAlign, TAlignment vAlign);
  void LayoutTable();
  // Cuts every merged cell out of the page: a one-colour slice becomes a bgColor cell, any
  // other one the PNG file "0.png", "1.png" ... in the order of first appearance, an equal
  // earlier slice being reused; "a.gif" is written beside them. The files go into the site
  // folder (the current folder when it is empty), by absolute path; ImageFile keeps the bare
  // name for the markup. A file that cannot be written raises; the ones before it stay.
  void SliceImages(TBitmap& page, const std::string& siteFolder = "");
  std::string BuildTableHTML() const;
  int32_t SpanWidth(int32_t col, int32_t row) const;
  int32_t SpanHeight(int32_t col, int32_t row) const;

 private:
  void MergeSpans();
  std::vector<TableCell> FCells;
};

// The whole page: the head from the scene's store, the body in the background colour, and
// the slicer's table centred in it.
std::string BuildPageHTML(TTableMaker& maker, XObject& store, TColor background);
