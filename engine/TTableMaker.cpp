#include "engine/TTableMaker.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

#include "POP/PopBitmap.h"
#include "POP/PopHTML.h"
#include "POP/PopPhoto.h"
#include "engine/XBlend.h"
#include "engine/XImage.h"
#include "engine/XImageCache.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"

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
  for (int i = 0; i < Count(); ++i) {
    const TRect& r = TableObject(i)->Rect;
    XEdges.push_back(r.Left);
    XEdges.push_back(r.Right);
    YEdges.push_back(r.Top);
    YEdges.push_back(r.Bottom);
  }
  for (std::vector<int32_t>* edges : {&XEdges, &YEdges}) {
    std::sort(edges->begin(), edges->end());
    edges->erase(std::unique(edges->begin(), edges->end()), edges->end());
  }
  Cols = std::max<int32_t>(0, int32_t(XEdges.size()) - 1);
  Rows = std::max<int32_t>(0, int32_t(YEdges.size()) - 1);
  BuildRuns();
  MergeSpans();
}

// Each row as runs of one owner: a sweep down the rows keeps the objects that cover the row,
// and along the row the last of them in list order (the topmost) owns each stretch.
void TTableMaker::BuildRuns() {
  FRuns.clear();
  FRowRuns.assign(size_t(Rows) + 1, 0);
  auto indexOf = [](const std::vector<int32_t>& edges, int32_t v) {
    return int32_t(std::lower_bound(edges.begin(), edges.end(), v) - edges.begin());
  };
  struct Placed {
    int32_t Top, Bottom, Left, Right;  // rows and columns, the end ones outside
    int Index;
  };
  std::vector<Placed> objects;
  for (int i = 0; i < Count(); ++i) {
    const TRect& r = TableObject(i)->Rect;
    if (r.Right <= r.Left || r.Bottom <= r.Top) continue;  // covers no cell
    objects.push_back({indexOf(YEdges, r.Top), indexOf(YEdges, r.Bottom), indexOf(XEdges, r.Left),
                       indexOf(XEdges, r.Right), i});
  }
  std::stable_sort(objects.begin(), objects.end(),
                   [](const Placed& x, const Placed& y) { return x.Top < y.Top; });
  std::vector<const Placed*> active;
  std::vector<const Placed*> starts;
  std::vector<std::pair<int, int32_t>> heap;  // (index, right column) of the objects begun
  size_t next = 0;
  for (int32_t row = 0; row < Rows; ++row) {
    const size_t first = FRuns.size();
    FRowRuns[size_t(row)] = first;
    std::erase_if(active, [row](const Placed* o) { return o->Bottom <= row; });
    while (next < objects.size() && objects[next].Top <= row) active.push_back(&objects[next++]);
    starts = active;
    std::sort(starts.begin(), starts.end(),
              [](const Placed* x, const Placed* y) { return x->Left < y->Left; });
    heap.clear();
    size_t e = 0;
    int32_t col = 0;
    while (col < Cols) {
      while (e < starts.size() && starts[e]->Left <= col) {
        heap.push_back({starts[e]->Index, starts[e]->Right});
        std::push_heap(heap.begin(), heap.end());
        ++e;
      }
      while (!heap.empty() && heap.front().second <= col) {
        std::pop_heap(heap.begin(), heap.end());
        heap.pop_back();
      }
      TTableObject* owner = heap.empty() ? nullptr : TableObject(heap.front().first);
      if (FRuns.size() == first || FRuns.back().Owner != owner) FRuns.push_back({col, owner});
      // The owner holds until it ends or another object begins (it may lie above).
      int32_t until = heap.empty() ? Cols : heap.front().second;
      if (e < starts.size()) until = std::min(until, starts[e]->Left);
      col = until;
    }
  }
  FRowRuns[size_t(Rows)] = FRuns.size();
  // The rows where a column's owner differs from the row above, column by column.
  FChanges.assign(size_t(Cols), {});
  for (int32_t row = 1; row < Rows; ++row) {
    size_t a = FRowRuns[size_t(row) - 1], aEnd = FRowRuns[size_t(row)];
    size_t b = aEnd, bEnd = FRowRuns[size_t(row) + 1];
    int32_t col = 0;
    while (col < Cols) {
      while (a + 1 < aEnd && FRuns[a + 1].Col <= col) ++a;
      while (b + 1 < bEnd && FRuns[b + 1].Col <= col) ++b;
      const int32_t until =
          std::min(a + 1 < aEnd ? FRuns[a + 1].Col : Cols, b + 1 < bEnd ? FRuns[b + 1].Col : Cols);
      if (FRuns[a].Owner != FRuns[b].Owner)
        for (int32_t c = col; c < until; ++c) FChanges[size_t(c)].push_back(row);
      col = until;
    }
  }
}

const TTableMaker::TRun& TTableMaker::RunAt(int32_t row, int32_t col, int32_t* end) const {
  auto first = FRuns.begin() + ptrdiff_t(FRowRuns[size_t(row)]);
  auto last = FRuns.begin() + ptrdiff_t(FRowRuns[size_t(row) + 1]);
  auto it = std::upper_bound(first, last, col, [](int32_t c, const TRun& r) { return c < r.Col; }) - 1;
  *end = it + 1 == last ? Cols : (it + 1)->Col;
  return *it;
}

// For each free cell the largest block of free cells of the same owner with that cell at its
// top-left wins; among equal areas the first in the order (bottom row ascending, then right
// column ascending) is kept. Blocks that qualify are closed towards the left and the top, so
// for each bottom row only the widest block can be the best of that row: the search walks
// the rows down, narrowing the width to the shortest run so far, and stops when it is 0.
//
// The cells taken by blocks of the rows above are the only ones in the way, and a block that
// takes a cell below the starting row takes the one of the starting row above it too: only
// the starting row's free stretch limits the width for the taken cells, the rows below it
// only by their owner's runs. The free stretches of the current row are kept merged, so a
// row costs what begins and ends in it, not its number of columns.
void TTableMaker::MergeSpans() {
  FSpans.clear();
  FRowSpans.assign(size_t(Rows) + 1, 0);
  // The free stretches of the current row, merged (left column -> right column); the blocks
  // that reach below their first row, by the row after their last.
  std::map<int32_t, int32_t> free;
  if (Cols > 0) free.emplace(0, Cols);
  std::vector<std::vector<std::pair<int32_t, int32_t>>> ends(size_t(Rows) + 1);
  std::vector<std::pair<int32_t, int32_t>> taken;  // the blocks of this row that reach below it
  int64_t steps = 0;
  for (int32_t row = 0; row < Rows; ++row) {
    FRowSpans[size_t(row)] = FSpans.size();
    for (auto [left, right] : ends[size_t(row)]) {
      auto it = free.emplace(left, right).first;
      if (auto after = std::next(it); after != free.end() && after->first == right) {
        it->second = after->second;
        free.erase(after);
      }
      if (it != free.begin())
        if (auto before = std::prev(it); before->second == left) {
          before->second = it->second;
          free.erase(it);
        }
    }
    ends[size_t(row)] = {};
    taken.clear();
    for (auto [left, right] : free)
      for (int32_t col = left; col < right;) {
        int32_t runEnd = 0;
        const TTableObject* owner = RunAt(row, col, &runEnd).Owner;
        int32_t width = std::min(runEnd, right) - col;
        int64_t bestArea = width;
        int32_t bestRows = 1, bestCols = width;
        auto consider = [&](int32_t k) {
          const int64_t area = int64_t(k - row + 1) * width;
          if (width > 0 && area > bestArea) {
            bestArea = area;
            bestRows = k - row + 1;
            bestCols = width;
          }
        };
        // Rows in which the block's columns keep their owners keep its width, and the last of
        // them holds the largest block: a narrow block jumps to the next row where one of its
        // columns changes owner, a wide one (which soon narrows) steps row by row.
        for (int32_t k = row; width > 0 && k + 1 < Rows;) {
          // No block below can beat the best: stop.
          if (int64_t(width) * (Rows - row) <= bestArea) break;
          int32_t change = k + 1;
          if (width <= kJumpWidth) {
            change = Rows;
            for (int32_t c = col; c < col + width; ++c) {
              const std::vector<int32_t>& rows = FChanges[size_t(c)];
              auto it = std::upper_bound(rows.begin(), rows.end(), k);
              if (it != rows.end()) change = std::min(change, *it);
            }
            steps += width;
          }
          if (change - 1 > k) consider(change - 1);
          if (change >= Rows) break;
          k = change;
          const TRun& r = RunAt(k, col, &runEnd);
          width = r.Owner == owner ? std::min(width, runEnd - col) : 0;
          consider(k);
          if (++steps > kMaxSliceSteps)
            throw Exception("The page is too intricate to build as a table: its objects make a grid of " +
                            IntToStr(Rows) + " rows and " + IntToStr(Cols) +
                            " columns. Build a smaller part of it, or fewer objects.");
        }
        TableCell cell;
        cell.Rect = {XEdges[size_t(col)], YEdges[size_t(row)], XEdges[size_t(col) + 1],
                     YEdges[size_t(row) + 1]};
        cell.Width = cell.Rect.Width();
        cell.Height = cell.Rect.Height();
        cell.RowSpan = bestRows;
        cell.ColSpan = bestCols;
        cell.Owner = const_cast<TTableObject*>(owner);
        FSpans.push_back(std::move(cell));
        if (bestRows > 1) {
          taken.emplace_back(col, col + bestCols);
          ends[size_t(row + bestRows)].emplace_back(col, col + bestCols);
        }
        col += bestCols;
      }
    // The blocks begun here take their columns from the rows below until they end.
    for (auto [left, right] : taken) {
      auto it = std::prev(free.upper_bound(left));
      const int32_t end = it->second;
      if (it->first == left) free.erase(it);
      else it->second = left;
      if (right < end) free.emplace(right, end);
    }
  }
  FRowSpans[size_t(Rows)] = FSpans.size();
}

const TableCell* TTableMaker::SpanAt(int32_t row, int32_t col) const {
  if (row < 0 || row >= Rows || col < 0 || col >= Cols) return nullptr;
  auto first = FSpans.begin() + ptrdiff_t(FRowSpans[size_t(row)]);
  auto last = FSpans.begin() + ptrdiff_t(FRowSpans[size_t(row) + 1]);
  auto it = std::lower_bound(first, last, XEdges[size_t(col)],
                             [](const TableCell& c, int32_t x) { return c.Rect.Left < x; });
  return it != last && it->Rect.Left == XEdges[size_t(col)] ? &*it : nullptr;
}

const TableCell TTableMaker::Cell(int32_t row, int32_t col) const {
  if (row < 0 || row >= Rows || col < 0 || col >= Cols)
    throw EListError("Cell (" + IntToStr(row) + ", " + IntToStr(col) + ") is outside the table");
  if (const TableCell* span = SpanAt(row, col)) return *span;
  TableCell c;
  c.Rect = {XEdges[size_t(col)], YEdges[size_t(row)], XEdges[size_t(col) + 1], YEdges[size_t(row) + 1]};
  c.Width = c.Rect.Width();
  c.Height = c.Rect.Height();
  c.RowSpan = c.ColSpan = 0;
  int32_t end = 0;
  c.Owner = RunAt(row, col, &end).Owner;
  return c;
}

TableCell& TTableMaker::Span(int32_t row, int32_t col) {
  if (const TableCell* span = SpanAt(row, col)) return const_cast<TableCell&>(*span);
  throw EListError("Cell (" + IntToStr(row) + ", " + IntToStr(col) + ") is not the corner of a merged cell");
}

namespace {

// A hash of a picture's size and pixels at 32 bits (FNV-1a over the pixel words), which it
// is made, as PhotoCompare makes it: pictures that compare equal have equal hashes.
uint64_t PixelHash(TBitmap& picture) {
  picture.SetPixelFormat(pf32bit);
  uint64_t h = 0xCBF29CE484222325ull;
  auto mix = [&h](uint64_t v) { h = (h ^ v) * 0x100000001B3ull; };
  mix(uint64_t(uint32_t(picture.Width())) << 32 | uint32_t(picture.Height()));
  for (int y = 0; y < picture.Height(); ++y) {
    const uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < picture.Width(); ++x) {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      mix(v);
    }
  }
  return h;
}

}  // namespace

void TTableMaker::SliceImages(TBitmap& page, const std::string& siteFolder) {
  // Resolved once, so every file lands in the same folder whatever the current folder is.
  const std::string folder =
      IncludeTrailingPathDelimiter(ExpandFileName(siteFolder.empty() ? GetCurrentDir() : siteFolder));
  // The slices go into the folder together, made durable at once and moved in at the end, so
  // that a failure on the way leaves the site that was there whole; a caller's batch (the
  // site's page with them) is joined.
  std::optional<TFilesReplacement> files;
  if (!TFilesReplacement::Covers(folder)) files.emplace(folder);
  SaveSpacerGIF(folder + "a.gif");
  // The slices of this page written so far, by a hash of their pixels, to find repeats: a page
  // of many slices would otherwise compare each one with every one before it.
  struct TWritten {
    std::string Name;
    std::unique_ptr<XImage> Pixels;  // as written, so that a repeat is found without a read
  };
  std::unordered_multimap<uint64_t, TWritten> written;
  int32_t n = 0;
  const int32_t spans = int32_t(FSpans.size());
  for (int32_t k = 0; k < spans; ++k) {
    if (TWaitIndicator* wait = WaitIndicator()) wait->SetProgress(k, spans - 1);
    TableCell& c = FSpans[size_t(k)];
    c.ImageFile.clear();
    c.BgColor.clear();
    XImage slice;
    BitmapSnagIt(slice, page, SpanRect(c));
    ImageOr(slice, slice, 0xFF000000u);
    if (slice.Width() <= 0 || slice.Height() <= 0) continue;
    const uint32_t first = *reinterpret_cast<const uint32_t*>(slice.ScanLine(0));
    if (PhotoIsBlank(slice, first)) {
      // Only the colour bits: with the alpha byte the value would read as a system colour.
      c.BgColor = HTMLEncodeColor(TColor(ColorSwapRB(first) & 0x00FFFFFFu));
      continue;
    }
    const auto [from, to] = written.equal_range(PixelHash(slice));
    const auto same = std::find_if(from, to, [&](auto& w) { return PhotoCompare(*w.second.Pixels, slice); });
    if (same != to) {
      c.ImageFile = same->second.Name;
      continue;
    }
    const std::string name = IntToStr(n) + ".png";
    BitmapSetPixelFormat(slice, 6);
    slice.SaveToFile(folder + name);
    BitmapSetPixelFormat(slice, 7);
    auto pixels = std::make_unique<XImage>();
    pixels->Assign(&slice);
    const uint64_t hash = PixelHash(*pixels);
    written.emplace(hash, TWritten{name, std::move(pixels)});
    ++n;
    c.ImageFile = name;
  }
  if (files) files->Commit();
}

int32_t TTableMaker::SpanWidth(int32_t col, int32_t row) const {
  const TableCell* c = SpanAt(row, col);
  return c ? XEdges[size_t(col + c->ColSpan)] - XEdges[size_t(col)] : 0;
}

int32_t TTableMaker::SpanHeight(int32_t col, int32_t row) const {
  const TableCell* c = SpanAt(row, col);
  return c ? YEdges[size_t(row + c->RowSpan)] - YEdges[size_t(row)] : 0;
}

TRect TTableMaker::SpanRect(const TableCell& c) const {
  const auto col = std::lower_bound(XEdges.begin(), XEdges.end(), c.Rect.Left) - XEdges.begin();
  const auto row = std::lower_bound(YEdges.begin(), YEdges.end(), c.Rect.Top) - YEdges.begin();
  return {c.Rect.Left, c.Rect.Top, XEdges[size_t(col + c.ColSpan)], YEdges[size_t(row + c.RowSpan)]};
}

std::string TTableMaker::BuildTableHTML() const {
  std::string s = "<TABLE " + HTMLEncodeSize(Width, Height) + " border=0 cellPadding=0 cellSpacing=0>";
  s += "<TR><TD " + HTMLEncodeSize(1, 1) + "></TD>";
  for (int32_t col = 0; col < Cols && Rows > 0; ++col) {
    int32_t w = XEdges[size_t(col) + 1] - XEdges[size_t(col)];
    s += "<TD " + HTMLEncodeSize(w, 1) + ">" + HTMLEncodeImg("a.gif", w, 1) + "</TD>";
  }
  s += "</TR>";
  for (int32_t row = 0; row < Rows; ++row) {
    s += "<TR><TD " + HTMLEncodeSize(1, Cols > 0 ? YEdges[size_t(row) + 1] - YEdges[size_t(row)] : 0) +
         "></TD>";
    for (size_t i = FRowSpans[size_t(row)]; i < FRowSpans[size_t(row) + 1]; ++i) {
      const TableCell& c = FSpans[i];
      const TRect span = SpanRect(c);
      const int32_t w = span.Width(), h = span.Height();
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
