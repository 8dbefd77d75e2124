// The INI document of every project, template library, clipboard and property store: parsed
// from any text, written back and parsed again. (The text form is not a fixed point: a key
// that holds "[" or "=" reads back otherwise, as the format has it.)
#include "POP/PopFastINI.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TINIDocument d;
  d.LoadFromString(fuzz::Text(data, size));
  std::string text = d.AsString();
  for (int i = 0; i < d.SectionCount() && i < 8; ++i) {
    const std::string name = d.Section(i).Name();
    d.ReadInteger(name, "Key", 0);
    d.ReadBool(name, "Flag", false);
  }
  TINIDocument again;
  again.LoadFromString(text);
  return 0;
}
