// The editing surface of the main window: hit test, selection, moves, resizes, the rubber
// band, the repaint pipeline with its marks, the page keys and the in-place editor, driven
// with QTest mouse and key events on a small fixture project.
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Unitmain.h"
#include "engine/XImage.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"
#include "support/ScriptedServices.h"
#include "support/TestSupport.h"

namespace {

struct Home {
  TempDir dir;
  ScopedEnv home{"ZELMORA_HOME", dir.Path()};
  ScopedEnv config{"ZELMORA_CONFIG", dir.File("config")};
  ScriptedServices services;
  std::string cwd = GetCurrentDir();
  Home() {
    CopyFolderTree(ZELMORA_DATA, dir.Path());
    ApplicationTitle() = "Varnholt Zelmora";
  }
  ~Home() { SetCurrentDir(cwd); }
};

// A 320 x 200 page with three objects: A (40,40)-(120,80), B (160,40)-(240,80) and C
// (40,120)-(120,160); grid 8, snapping on.
std::string FixtureProject(Home& home, const std::string& extra = "") {
  std::string path = home.dir.File("edit.zlm");
  std::string text =
      "[Heading]\nVersion=1.0\nBGColor=clWhite\nLastSelected=-1\nNumOfButtons=3\n"
      "ProjectWidth=320\nProjectHeight=200\nGridX=8\nGridY=8\n";
  const char* names[] = {"A", "B", "C"};
  const int rects[][4] = {{40, 40, 120, 80}, {160, 40, 240, 80}, {40, 120, 120, 160}};
  for (int i = 0; i < 3; ++i)
    text += "[Button" + std::to_string(i) + "]\nButtonText=" + names[i] +
            "\nRectLeft=" + std::to_string(rects[i][0]) + "\nRectTop=" + std::to_string(rects[i][1]) +
            "\nRectRight=" + std::to_string(rects[i][2]) +
            "\nRectBottom=" + std::to_string(rects[i][3]) + "\n";
  WriteAll(path, text + extra);
  return path;
}

std::unique_ptr<TFormMain> Start(const std::string& project) {
  auto w = std::make_unique<TFormMain>();
  w->CommandLine = {project};
  w->show();
  QApplication::setActiveWindow(w.get());
  QCoreApplication::processEvents();
  // Start with nothing selected and everything rendered.
  w->Scene->SelectNone();
  w->RedrawScene(true);
  return w;
}

// The page bitmap's pixels, and the screen surface's, as 0x00RRGGBB words.
std::vector<uint32_t> PagePixels(TFormMain& w) {
  XImage& page = *w.Scene->Page;
  std::vector<uint32_t> out;
  for (int y = 0; y < page.Height(); ++y) {
    const uint8_t* row = page.ScanLine(y);
    for (int x = 0; x < page.Width(); ++x) {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      out.push_back(v);
    }
  }
  return out;
}

std::vector<uint32_t> SurfacePixels(TFormMain& w) {
  const QImage& s = w.PaintBox->Surface();
  std::vector<uint32_t> out;
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) out.push_back(s.pixel(x, y) & 0xFFFFFF);
  return out;
}

int DifferingPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, uint32_t mask) {
  if (a.size() != b.size()) return -1;
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += (a[i] & mask) != (b[i] & mask);
  return n;
}

TEST(EditingSurface, TheStartRendersThePageOntoTheScreen) {
  Home home;
  auto w = Start(FixtureProject(home));
  ASSERT_EQ(w->Scene->Count(), 3);
  EXPECT_EQ(w->PaintBox->size(), QSize(320, 200));
  // Something was drawn: not every pixel is the white background.
  std::vector<uint32_t> page = PagePixels(*w);
  int coloured = 0;
  for (uint32_t v : page) coloured += (v & 0xFFFFFF) != 0xFFFFFF;
  EXPECT_GT(coloured, 1000);
  // With nothing selected the screen shows exactly the page.
  EXPECT_EQ(DifferingPixels(page, SurfacePixels(*w), 0xFFFFFF), 0);
}

}  // namespace
