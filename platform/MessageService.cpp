#include "platform/MessageService.h"

#include <cstdio>

#include "platform/PrinterService.h"

static IMessageService* GMessageService = nullptr;
static IPrinterService* GPrinterService = nullptr;

IMessageService* SetMessageService(IMessageService* service) {
  IMessageService* old = GMessageService;
  GMessageService = service;
  return old;
}

void ShowMessage(const std::string& text) {
  if (GMessageService) GMessageService->ShowMessage(text);
  else fprintf(stderr, "%s\n", text.c_str());
}

IPrinterService* SetPrinterService(IPrinterService* service) {
  IPrinterService* old = GPrinterService;
  GPrinterService = service;
  return old;
}

IPrinterService* PrinterService() { return GPrinterService; }
