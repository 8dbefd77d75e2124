// The object clipboard and the undo snapshot read back into a page, as the window reads
// them: the input is the INI text of either. It is pasted onto a page of two objects (first
// on a page of its own, as the window tries a paste, then appended), the selection is copied
// out and pasted again, and the input is restored as an undo snapshot; at the end the page's
// own snapshot brings it back.
//
// What is checked: a paste or a restore that fails leaves the page as it was; a paste adds
// the objects the trial read; what a copy writes pastes back whole; a restored page saved and
// restored again is the same page; the page's own snapshot gives back the page it was taken of.
#include "POP/PopFastINI.h"
#include "engine/XRender.h"
#include "engine/XZLMButton.h"
#include "engine/XZLMButtonStyle.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

std::string Saved(ZButtonList& scene) {
  TINIDocument d;
  scene.SaveToINI(d);
  return d.AsString();
}

// The page the saved text gives, saved again.
std::string Resaved(const std::string& text) {
  TINIDocument d;
  d.LoadFromString(text);
  ZButtonList scene;
  scene.ReplaceFromINI(d);
  return Saved(scene);
}

// A saved page without the head store.
std::string WithoutHead(const std::string& text) {
  TINIDocument d;
  d.LoadFromString(text);
  std::string out;
  for (int i = 0; i < d.SectionCount(); ++i) {
    const TINISection s = d.Section(i);
    out += "[" + s.Name() + "]\n";
    for (int k = 0; k < s.EntryCount(); ++k)
      if (s.Entry(k).Name() != "MetaInfo") out += s.Entry(k).AsString();
  }
  return out;
}

// The page the input is pasted onto: two objects, the second one selected and current.
void MakePage(ZButtonList& scene) {
  auto* a = new TZLMButton("Home", &scene, TRect(8, 8, 88, 32), "index.htm");
  a->WriteString("Group", "1F");
  auto* b = new TZLMButton("Two\r\nlines", &scene, TRect(20, 40, 120, 90), "");
  b->Style->Shape = 23;
  b->IsSelected = true;
  scene.Current = b;
  scene.WriteString("Tit", "Page");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Scratch();
  TINIDocument input;
  input.LoadFromString(fuzz::Text(data, size));
  ZButtonList scene;
  MakePage(scene);

  // Paste.
  if (input.ReadInteger("Heading", "NumOfButtons", 0) > 0) {
    ZButtonList trial;
    bool readable = true;
    try {
      trial.LoadFromINI(input);
    } catch (const Exception&) { readable = false; }
    const std::string before = Saved(scene);
    const int count = scene.Count();
    try {
      scene.LoadFromINI(input);
      if (!readable || scene.Count() != count + trial.Count()) abort();
    } catch (const Exception&) {
      if (readable || Saved(scene) != before) abort();
    }
  }

  // Copy, and paste what was copied.
  {
    int selected = 0;
    for (int i = 0; i < scene.Count(); ++i) selected += scene.Button(i)->IsSelected;
    TINIDocument clip;
    scene.SaveSelectedToINI(clip);
    TINIDocument again;
    again.LoadFromString(clip.AsString());
    ZButtonList pasted;
    pasted.LoadFromINI(again);  // raises only on a fault: the copy is the program's own text
    if (pasted.Count() != selected) abort();
  }

  // The page's own snapshot, then the input restored as a snapshot.
  TINIDocument undo;
  scene.SaveToINI(undo);
  const std::string page = Saved(scene);
  try {
    scene.ReplaceFromINI(input);
    // The objects and the page keys come back exactly. The head store (MetaInfo) may lose a
    // section without keys on the way, as every INI document does on a load; after that one
    // load the whole page is stable.
    const std::string restored = Saved(scene);
    const std::string again = Resaved(restored);
    if (WithoutHead(again) != WithoutHead(restored)) abort();
    if (Resaved(again) != again) abort();
  } catch (const Exception&) {
    if (Saved(scene) != page) abort();
  }
  scene.ReplaceFromINI(undo);
  if (Saved(scene) != page) abort();
  TakeTextureFailures();
  return 0;
}
