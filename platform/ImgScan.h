// The scanner: one page scanned through SANE into a BMP file, then a completion event. It
// takes the place of the scanning control the dialogs were written for, with the same
// properties: Image (the file to scan into), FileType and ScanTo.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/SysUtils.h"

ZELMORA_EXCEPTION(EScanError, Exception)

class TImgScan {
 public:
  // The values the dialogs use: scan to a file, as a BMP picture.
  static constexpr int ScanToFile = 1;
  static constexpr int FileTypeBMP = 3;

  // Starts the scanner library for the process (shared by every instance); raises
  // EScanError when it cannot be started. Cheap: no device is looked for here.
  TImgScan();
  ~TImgScan();
  TImgScan(const TImgScan&) = delete;
  TImgScan& operator=(const TImgScan&) = delete;

  // Looks for scanners; true when at least one answers. This asks every installed back end
  // and can take seconds (network scanners), so it is asked for when a scan is wanted, not
  // when a window is made.
  bool ScannerAvailable();
  // The names of the scanners found by the last ScannerAvailable.
  const std::vector<std::string>& Devices() const { return FDevices; }

  std::string Image;
  int FileType = 0;
  int ScanTo = 0;
  // The scanner to use; empty: the first one found.
  std::string DeviceName;

  // Scans one page into Image as a 24-bit BMP and then calls OnScanDone. Raises
  // EScanError with the scanner's own words when the scan fails, and EAbort when OnProgress
  // asked to stop; Image is written only once the whole page has arrived.
  void StartScan();
  std::function<void()> OnScanDone;
  // After each block read: the bytes so far and the bytes expected (0 when the scanner does
  // not know the page's length). Returning false stops the scan.
  std::function<bool(int64_t done, int64_t total)> OnProgress;

 private:
  std::vector<std::string> FDevices;
  bool FDevicesListed = false;
};
