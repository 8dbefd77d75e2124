// The edit commands on a page of 10,000 objects, all of them selected, in the real window:
// each one costs the objects it changes once, and its redraw repaints the area they cover,
// not each object's piece tested against every other piece (Align to Grid took 28 s, Paste
// 12 s, Duplicate 18 s).
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include <QApplication>

#include "POP/gui/PopDialogs.h"
#include "tests/support/ChildRunner.h"
#include "tests/support/ProgramHome.h"

TEST(BoundedPagesWindow, EditCommandsOnTenThousandSelectedObjects) {
  const int n = 10000;
  ProgramHome home;
  std::string text = "[Heading]\nProjectWidth=8192\nProjectHeight=8192\nGridX=8\nGridY=8\nNumOfButtons=" +
                     std::to_string(n) + "\n";
  for (int i = 0; i < n; ++i) {
    const int x = (i % 300) * 27 + 1, y = (i / 300) * 24 + 1;
    text += "[Button" + std::to_string(i) + "]\nButtonText=B" + std::to_string(i) + "\nLinkAddress=l" +
            std::to_string(i) + ".htm\nRectLeft=" + std::to_string(x) + "\nRectTop=" + std::to_string(y) +
            "\nRectRight=" + std::to_string(x + 23) + "\nRectBottom=" + std::to_string(y + 19) + "\n";
  }
  const std::string project = home.dir.File("many.zlm");
  WriteAll(project, text);
  auto w = StartEditing(project);
  ASSERT_EQ(w->Scene->Count(), n);
  SetDialogHook([&](TCommonDialog& d) {
    if (auto* save = dynamic_cast<TOpenDialog*>(&d)) save->FileName = home.dir.File("selection.png");
    return true;
  });
  struct Command {
    const char* what;
    std::function<void()> run;
    int objectsAfter;
    double seconds;
  } commands[] = {
      {"Select All", [&] { w->MISelectAllClick(nullptr); }, n, 1},
      {"Align to Grid", [&] { w->MenuItemAlignToGrid1Click(nullptr); }, n, 1},
      {"Group", [&] { w->MIGroupClick(nullptr); }, n, 1},
      {"Ungroup", [&] { w->MIUngroupClick(nullptr); }, n, 1},
      {"Copy", [&] { w->MICopyClick(nullptr); }, n, 1},
      {"Paste", [&] { w->MIPasteClick(nullptr); }, 2 * n, 1},
      // An undo reads the whole page back, as opening it does.
      {"Undo", [&] { w->MIUndoClick(nullptr); }, n, 1.5},
      {"Select All", [&] { w->MISelectAllClick(nullptr); }, n, 1},
      {"Bring to Front", [&] { w->MenuItemBringToFront1Click(nullptr); }, n, 1},
      {"Duplicate", [&] { w->MenuItemDuplicate1Click(nullptr); }, 2 * n, 1},
      {"Delete", [&] { w->MenuItemDelete1Click(nullptr); }, n, 1},
      {"Undo", [&] { w->MIUndoClick(nullptr); }, 2 * n, 1.5},
      {"Select All", [&] { w->MISelectAllClick(nullptr); }, 2 * n, 1},
      // A picture of the whole page, 8192 x 8192 pixels, written as PNG.
      {"Export", [&] { w->ExportImageClick(nullptr); }, 2 * n, 2},
      {"Save", [&] { w->MISaveClick(nullptr); }, 2 * n, 1},
  };
  for (const Command& c : commands) {
    SCOPED_TRACE(c.what);
    const WorkCost cost = MeasureHere([&] {
      c.run();
      QCoreApplication::processEvents();
    });
    const double seconds = cost.CpuSeconds, peakMB = cost.PeakMB;
    EXPECT_EQ(w->Scene->Count(), c.objectsAfter);
    EXPECT_LE(seconds, c.seconds * kTimeSlack) << "took " << seconds << " s";
    EXPECT_LE(peakMB, 300 * kMemorySlack) << "peak resident size rose by " << peakMB << " MB";
    EXPECT_TRUE(home.TakeBoxes().empty());
  }
  SetDialogHook(nullptr);
}
