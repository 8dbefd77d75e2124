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
  // Edits of what was read: values written again shorter and longer, entries and sections
  // deleted and written again, the content moved to another document.
  for (int i = 0; i < again.SectionCount() && i < 8; ++i) {
    TINISection s = again.Section(i);
    const std::string name = s.Name();
    if (s.EntryCount() > 0) {
      const std::string key = s.Entry(0).Name();
      again.WriteString(name, key, std::string(size % 97, 'x'));
      s.DeleteEntry(key);
      again.WriteString(name, key, "");
    }
    again.WriteString(name, "Added" + std::to_string(i), text.substr(0, 16));
  }
  if (again.SectionCount() > 1) again.DeleteSection(again.SectionCount() / 2);
  TINIDocument moved;
  moved.TakeContentOf(again);
  moved.WriteString("Heading", "Key", "1");
  TINIDocument reread;
  reread.LoadFromString(moved.AsString());
  return 0;
}
