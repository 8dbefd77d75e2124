// A page built into a web site as the page-builder command builds one: the input is a
// project's text; its page (kept small, so a run spends its time in the builder) is laid out
// by the slicer over the selected objects' area, else all objects', drawn without the
// captions that went into the markup, cut into slices in a site folder of its own, and
// written as the page's HTML.
//
// The laid-out table is checked as well: every grid cell lies in exactly one merged cell,
// every cell of a merged cell has the merged cell's owner, and (on tables small enough to
// check cell by cell) the owner is the last object in list order that covers the cell.
#include <algorithm>
#include <filesystem>
#include <vector>

#include "POP/PopBitmap.h"
#include "POP/PopFastINI.h"
#include "POP/PopTypes.h"
#include "engine/TPageBuilder.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void CheckTable(const TTableMaker& t) {
  const int64_t rows = t.Rows, cols = t.Cols;
  if (rows < 0 || cols < 0 || rows + 1 != int64_t(t.YEdges.size()) || cols + 1 != int64_t(t.XEdges.size()))
    abort();
  std::vector<uint8_t> covered(size_t(rows * cols), 0);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      const TableCell cell = t.Cell(r, c);
      if (cell.ColSpan == 0 || cell.RowSpan == 0) {
        if (cell.ColSpan != cell.RowSpan) abort();
        continue;
      }
      if (cell.ColSpan < 1 || cell.RowSpan < 1 || r + cell.RowSpan > rows || c + cell.ColSpan > cols) abort();
      for (int32_t rr = r; rr < r + cell.RowSpan; ++rr)
        for (int32_t cc = c; cc < c + cell.ColSpan; ++cc) {
          uint8_t& n = covered[size_t(rr * cols + cc)];
          if (n++ || t.Cell(rr, cc).Owner != cell.Owner) abort();
        }
    }
  for (uint8_t n : covered)
    if (n != 1) abort();
  if (rows * cols * t.Count() > 200'000) return;
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      const TRect box(t.XEdges[size_t(c)], t.YEdges[size_t(r)], t.XEdges[size_t(c) + 1],
                      t.YEdges[size_t(r) + 1]);
      TTableObject* owner = nullptr;
      for (int i = t.Count() - 1; i >= 0 && !owner; --i)
        if (RectIsOverlap(t.TableObject(i)->Rect, box)) owner = t.TableObject(i);
      if (t.Cell(r, c).Owner != owner) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string site = fuzz::Scratch() + "/site";
  TINIDocument d("fuzz.zlm");
  d.LoadFromString(fuzz::Text(data, size));
  const int w = std::clamp(d.ReadInteger("Heading", "ProjectWidth", 800), 1, 128);
  const int h = std::clamp(d.ReadInteger("Heading", "ProjectHeight", 800), 1, 128);
  ZButtonList scene;
  try {
    scene.ReplaceFromINI(d);
  } catch (const Exception&) { return 0; }
  scene.Page->SetSize(w, h);
  const TRect pageRect(0, 0, w, h);
  TRect area = RectIntersection(scene.GetBounds(false), pageRect);
  const bool selectionOnly = RectIsVisible(area);
  if (!selectionOnly) area = RectIntersection(scene.GetBounds(true), pageRect);
  if (!RectIsVisible(area)) return 0;

  std::error_code ec;
  std::filesystem::remove_all(site, ec);
  std::filesystem::create_directories(site);
  TPageTable table;
  try {
    table = BuildPageTable(
        scene, area, [](const std::string& s) { return s + "!"; }, !selectionOnly);
  } catch (const Exception&) { return 0; }
  CheckTable(*table.Maker);
  SnippetRepairsMessage(table.SnippetRepairs);
  LostLinksMessage(table.LostLinks);
  TRegionList regions = nullptr;
  RegionInit(regions);
  RegionSet(regions, 0, 0, w, h);
  try {
    RenderScene(scene, *scene.Page, regions);
    XImage image;
    BitmapSnagIt(image, *scene.Page, area);
    table.Maker->SliceImages(image, site);
    const std::string page = BuildPageHTML(*table.Maker, scene, scene.BGColor);
    if (page.find("</TABLE>") == std::string::npos) abort();
  } catch (const Exception&) {}
  RegionClear(regions);
  ShowCaptions(table.Hidden);
  for (TZLMButton* b : table.Hidden)
    if (b->HideText) abort();
  TakeTextureFailures();
  return 0;
}
