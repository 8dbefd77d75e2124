// Scanning through SANE's virtual scanner.
#include "platform/ImgScan.h"

#include <gtest/gtest.h>

#include "platform/Graphics.h"
#include "tests/support/SaneConfig.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(ImgScan, NoScannerIsReportedAndNothingIsWritten) {
  ScopedSaneBackends none("");
  TempDir dir;
  TImgScan scan;
  EXPECT_FALSE(scan.ScannerAvailable());
  EXPECT_TRUE(scan.Devices().empty());
  scan.ScanTo = TImgScan::ScanToFile;
  scan.FileType = TImgScan::FileTypeBMP;
  scan.Image = dir.File("scan.bmp");
  bool done = false;
  scan.OnScanDone = [&] { done = true; };
  EXPECT_THROW(scan.StartScan(), EScanError);
  EXPECT_FALSE(done);
  EXPECT_FALSE(FileExists(scan.Image));
}

// The library's virtual scanner sends a page of known content: black, and a grid.
TEST(ImgScan, VirtualScannerPageArrivesAsBmp) {
  ScopedSaneBackends virtualScanner("test");
  TempDir dir;
  TImgScan scan;
  ASSERT_TRUE(scan.ScannerAvailable());
  EXPECT_EQ(scan.Devices().front().rfind("test:", 0), 0u);
  scan.ScanTo = TImgScan::ScanToFile;
  scan.FileType = TImgScan::FileTypeBMP;
  scan.Image = dir.File("scan.bmp");
  int done = 0;
  int64_t last = 0, total = 0;
  scan.OnScanDone = [&] { ++done; };
  scan.OnProgress = [&](int64_t d, int64_t t) {
    last = d;
    total = t;
    return true;
  };
  scan.StartScan();
  EXPECT_EQ(done, 1);
  EXPECT_GT(total, 0);
  EXPECT_EQ(last, total);
  TBitmap page;
  page.LoadFromFile(scan.Image);
  ASSERT_GT(page.Width(), 10);
  ASSERT_GT(page.Height(), 10);
  EXPECT_EQ(page.GetPixelColor(page.Width() / 2, page.Height() / 2) & 0xFFFFFF, 0u);
}

TEST(ImgScan, StoppedOrMisconfiguredScansWriteNothing) {
  ScopedSaneBackends virtualScanner("test");
  TempDir dir;
  TImgScan scan;
  scan.Image = dir.File("scan.bmp");
  scan.ScanTo = TImgScan::ScanToFile;
  scan.FileType = 2;
  EXPECT_THROW(scan.StartScan(), EScanError);
  scan.FileType = TImgScan::FileTypeBMP;
  bool done = false;
  scan.OnScanDone = [&] { done = true; };
#ifndef __SANITIZE_ADDRESS__
  // The virtual scanner's reader thread loses its buffer when a scan is stopped half-way,
  // which the leak checker of the sanitizer build would count against us.
  scan.OnProgress = [](int64_t, int64_t) { return false; };
  EXPECT_THROW(scan.StartScan(), EAbort);
  EXPECT_FALSE(done);
  EXPECT_FALSE(FileExists(scan.Image));
#endif
  // A second scanner object shares the library with the first.
  { TImgScan other; }
  scan.OnProgress = nullptr;
  scan.StartScan();
  EXPECT_TRUE(done);
}

}  // namespace
