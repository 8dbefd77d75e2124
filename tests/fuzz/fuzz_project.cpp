// A project file read as the main window reads one (the page keys, then ReplaceFromINI),
// saved again, and its page rendered.
#include <algorithm>

#include "POP/PopFastINI.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Scratch();
  TINIDocument d("fuzz.zlm");
  d.LoadFromString(fuzz::Text(data, size));
  // The page of the fuzz run is small, so a run spends its time in the reader.
  int w = std::clamp(d.ReadInteger("Heading", "ProjectWidth", 800), 1, 256);
  int h = std::clamp(d.ReadInteger("Heading", "ProjectHeight", 800), 1, 256);
  ZButtonList scene;
  try {
    scene.ReplaceFromINI(d);
  } catch (const Exception&) { return 0; }
  TINIDocument saved;
  scene.SaveToINI(saved);
  TBitmap page(w, h, pf32bit);
  TRegionList regions = nullptr;
  RegionInit(regions);
  RegionSet(regions, 0, 0, w, h);
  try {
    RenderScene(scene, page, regions);
  } catch (const Exception&) {}
  RegionClear(regions);
  TakeTextureFailures();
  return 0;
}
