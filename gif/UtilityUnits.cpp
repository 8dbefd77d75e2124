#include "gif/UtilityUnits.h"

#include "gif/Apputils.h"
#include "gif/Clipicon.h"
#include "gif/Dateutil.h"
#include "gif/Pxconst.h"
#include "gif/Pxhook.h"
#include "gif/Pxprgrss.h"
#include "gif/Pxprops.h"

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
