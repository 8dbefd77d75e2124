// The image browser's thumbnails fill the rows of its scroll box: as many whole cells a row as
// the width holds, none cut off at the right, the next row under the last.
#include <gtest/gtest.h>
#include <string>

#include <QApplication>
#include <QScrollArea>
#include <QToolButton>

#include "app/forms/Unitimagebrowser.h"
#include "platform/Graphics.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

TEST(ImageBrowserLayout, RowsHoldTheCellsTheWidthHolds) {
  ScriptedServices services;
  TempDir dir;
  const int pictures = 7;
  for (int i = 0; i < pictures; ++i) {
    TBitmap b(8 + i, 6, pf24bit);
    b.SaveToFile(dir.File("p" + std::to_string(i) + ".bmp"));
  }
  TFormImageBrowser browser;
  browser.resize(1400, 700);
  browser.SetDirectory(dir.Path());
  browser.show();
  browser.ButtonRefreshClick();
  const QList<QToolButton*> cells = browser.Thumbnails();
  ASSERT_EQ(cells.size(), pictures);
  const int cell = cells[0]->width();
  ASSERT_EQ(cells[0]->height(), cell);
  QWidget* viewport = browser.ScrollBox->viewport();
  const int frame = browser.ScrollBox->width() - viewport->width();
  // Exact multiples of the cell, one pixel less and one cell less a pixel more.
  for (int width :
       {3 * cell, 3 * cell - 1, 3 * cell + cell - 1, 2 * cell, cell, cell + 1, 7 * cell, 6 * cell}) {
    browser.ScrollBox->setFixedWidth(width + frame);
    QApplication::processEvents();
    ASSERT_EQ(viewport->width(), width);
    const int perRow = std::max(1, width / cell);
    for (int i = 0; i < pictures; ++i) {
      const QRect r = cells[i]->geometry();
      EXPECT_EQ(r.topLeft(), QPoint(i % perRow * cell, i / perRow * cell))
          << "thumbnail " << i << " at a width of " << width << " (" << perRow << " a row)";
      EXPECT_LE(r.right() + 1, std::max(width, cell)) << "thumbnail " << i << " at a width of " << width;
    }
  }
}
