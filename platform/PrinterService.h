// The current printer, as an installable service: the GUI installs the real printer, tests
// install a recorder that keeps what was drawn.
#pragma once
#include <string>
#include <vector>

#include "platform/Types.h"

class TBitmap;

class IPrinterService {
 public:
  virtual ~IPrinterService() = default;
  virtual int PageWidth() = 0;
  virtual int PageHeight() = 0;
  virtual void BeginDoc() = 0;
  // Draws the whole bitmap stretched into dest of the page.
  virtual void StretchDrawBitmap(const TRect& dest, const TBitmap& bitmap) = 0;
  virtual void EndDoc() = 0;
};

// The service in use (none by default); returns the one it replaces.
IPrinterService* SetPrinterService(IPrinterService* service);
IPrinterService* PrinterService();

class TRecordingPrinterService : public IPrinterService {
 public:
  TRecordingPrinterService(int width, int height) : W(width), H(height) {}
  int PageWidth() override { return W; }
  int PageHeight() override { return H; }
  void BeginDoc() override { Calls.push_back("BeginDoc"); }
  void StretchDrawBitmap(const TRect& dest, const TBitmap&) override {
    Calls.push_back("Draw");
    Drawn.push_back(dest);
  }
  void EndDoc() override { Calls.push_back("EndDoc"); }
  int W, H;
  std::vector<std::string> Calls;
  std::vector<TRect> Drawn;
};
