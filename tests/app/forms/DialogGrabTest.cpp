// Every dialog drawn offscreen with the shipped data files: the banner shows the tinted wash.
// With ZELMORA_GRAB_DIR set the pictures are also written there, to be looked at.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

#include <QApplication>
#include <QImage>
#include <QPlainTextEdit>

#include "app/AppEnvironment.h"
#include "app/forms/Unitaboutbox.h"
#include "app/forms/Uniteditprojectsize.h"
#include "app/forms/Uniteditsize.h"
#include "app/forms/Unitediturl.h"
#include "app/forms/Unitglobal.h"
#include "app/forms/Unitgridsize.h"
#include "app/forms/Unitimageacquire.h"
#include "app/forms/Unitresize.h"
#include "app/forms/Unittipoftheday.h"
#include "tests/support/SaneConfig.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/ShippedHome.h"
#include "tests/support/TestSupport.h"

namespace {

// The number of distinct colours in the bottom `height` rows.
size_t BannerColours(QWidget& w, int height) {
  QImage shot = w.grab().toImage();
  std::set<QRgb> colours;
  for (int y = shot.height() - height; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) colours.insert(shot.pixel(x, y));
  return colours.size();
}

TEST(DialogGrab, TheShippedBannerAndPicturesAppear) {
  ShippedHome shipped;

  TFormAboutBox about;
  about.show();
  EXPECT_GT(BannerColours(about, 38), 20u);
  EXPECT_FALSE(about.Memo->toPlainText().isEmpty());
  // The application's icon, a blue button, at the paint box's origin.
  QColor body = about.PaintBox1->grab().toImage().pixelColor(5, 16);
  EXPECT_GT(body.blue(), body.red() + 60);
  SaveGrab(about, "about");

  TFormTipOfTheDay tips;
  tips.show();
  EXPECT_GT(BannerColours(tips, 38), 20u);
  SaveGrab(tips, "tips");

  TFormEditSize size;
  size.SetPixels(640, 480);
  size.show();
  EXPECT_GT(BannerColours(size, 38), 20u);
  SaveGrab(size, "editsize");

  TFormResize resize;
  resize.show();
  SaveGrab(resize, "resize");
  TFormGridSize grid;
  grid.show();
  SaveGrab(grid, "gridsize");
  TFormEditProjectSize page;
  page.show();
  SaveGrab(page, "projectsize");

  TFormEditURL url;
  url.show();
  EXPECT_GT(BannerColours(url, 38), 20u);
  SaveGrab(url, "editurl");
  ScopedSaneBackends noScanner("");
  TFormImageAcquire acquire;
  acquire.show();
  EXPECT_GT(BannerColours(acquire, 38), 20u);

  FreeBanner();
  ReleaseEnvironment();
}

}  // namespace
