#include "UtilityUnits.h"

#include "Apputils.h"
#include "Clipicon.h"
#include "Dateutil.h"
#include "Pxconst.h"
#include "Pxhook.h"
#include "Pxprgrss.h"
#include "Pxprops.h"

namespace {
bool GStarted = false, GDone = false;
}

void InitUtilityUnits() {
  if (GStarted) return;
  GStarted = true;
  InitDateutil();
  InitPxconst();
  InitClipicon();
  InitPxhook();
  InitApputils();
}

void DoneUtilityUnits() {
  if (!GStarted || GDone) return;
  GDone = true;
  DonePxhook();
  DonePxprops();
  DonePxprgrss();
  DoneApputils();
}
