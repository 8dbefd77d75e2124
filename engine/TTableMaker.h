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
  // The bound of the span search (steps down the rows from the merged cells), about a second
  // of work: a page past it is refused with a message. Pages of 50,000 small objects over the
  // largest page take under a million.
  static constexpr int64_t kMaxSliceSteps = 300'000'000;

  TTableMaker(int32_t width, int32_t height);

  int32_t Rows = 0;
  int32_t Cols = 0;
  int32_t Width;
  int32_t Height;
  std::vector<int32_t> XEdges;
  std::vector<int32_t> YEdges;
  std::unique_ptr<THTML> HtmlDoc = std::make_unique<THTML>();

  // The grid grows with the page: there is no fixed limit on the number of edges. Only the
  // merged cells and the runs of one owner along each row are stored, so a page of many small
  // objects costs what its objects touch, not rows x columns.
  // A cell of the grid: a merged cell's top-left gives that cell (its ImageFile, BgColor and
  // spans), any other one its owner with both spans 0. Rect, Width and Height are the grid
  // cell's own.
  const TableCell Cell(int32_t row, int32_t col) const;
  // The merged cell whose top-left cell is (row, col); raises EListError for any other cell.
  TableCell& Span(int32_t row, int32_t col);
  // The merged cells, row by row, columns ascending: every grid cell lies in one of them and
  // has its owner, so these are all the owners of the table's cells.
  const std::vector<TableCell>& Spans() const { return FSpans; }
  TTableObject* TableObject(int index) const { return static_cast<TTableObject*>(Items(index)); }

  // Clamps the rectangle to the page; adds nothing when it is reversed.
  void AddTableObject(int32_t left, int32_t top, int32_t right, int32_t bottom, const std::string& html,
                      const std::string& link, TAlignment hAlign, TAlignment vAlign);
  void LayoutTable();
  // Cuts every merged cell out of the page: a one-colour slice becomes a bgColor cell, any
  // other one the PNG file "0.png", "1.png" ... in the order of first appearance, an equal
  // earlier slice being reused; "a.gif" is written beside them. The files go into the site
  // folder (the current folder when it is empty), by absolute path; ImageFile keeps the bare
  // name for the markup. They are replaced together (TFilesReplacement, or the caller's batch
  // for the folder): a file that cannot be written raises and leaves the folder as it was.
  void SliceImages(TBitmap& page, const std::string& siteFolder = "");
  std::string BuildTableHTML() const;
  int32_t SpanWidth(int32_t col, int32_t row) const;
  int32_t SpanHeight(int32_t col, int32_t row) const;

 private:
  struct TRun {
    int32_t Col;  // the first column of the run
    TTableObject* Owner;
  };
  void BuildRuns();
  void MergeSpans();
  // The run of row holding col, and the column after it.
  const TRun& RunAt(int32_t row, int32_t col, int32_t* end) const;
  const TableCell* SpanAt(int32_t row, int32_t col) const;
  TRect SpanRect(const TableCell& c) const;    // the page area of a merged cell
  std::vector<TRun> FRuns;                     // row by row, columns ascending
  std::vector<size_t> FRowRuns;                // the first run of each row, and the end
  std::vector<std::vector<int32_t>> FChanges;  // by column: the rows whose owner differs from the row above
  static constexpr int32_t kJumpWidth = 16;
  std::vector<TableCell> FSpans;  // the merged cells, row by row, columns ascending
  std::vector<size_t> FRowSpans;  // the first merged cell of each row, and the end
};

// The whole page: the head from the scene's store, the body in the background colour, and
// the slicer's table centred in it.
std::string BuildPageHTML(TTableMaker& maker, XObject& store, TColor background);
