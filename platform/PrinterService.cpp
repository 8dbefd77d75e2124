#include "platform/PrinterService.h"

namespace {
IPrinterService* gPrinterService = nullptr;
}

IPrinterService* SetPrinterService(IPrinterService* service) {
  IPrinterService* old = gPrinterService;
  gPrinterService = service;
  return old;
}

IPrinterService* PrinterService() { return gPrinterService; }
