// The settings file class as the HTML head editor reads a keyword set and the tips window
// reads its tips.
#include "platform/IniFiles.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = fuzz::InputFile(data, size, "keywords.met");
  TIniFile ini(path);
  ini.ReadString("Header", "Title", "");
  ini.ReadString("Header", "Description", "");
  int count = ini.ReadInteger("Header", "ItemCount", 0);
  // The editor reads every item the count names; sections that are missing give defaults.
  for (int n = 0; n < count && n < 4096; ++n) {
    ini.ReadString("Item" + IntToStr(n), "Caption", "NA");
    ini.ReadBool("Item" + IntToStr(n), "Checked", false);
  }
  int tip = ini.ReadInteger("Settings", "CurrentTip", -1) + 1;
  if (ini.ReadSection("Tip" + IntToStr(tip)).empty()) tip = 0;
  ini.ReadString("Tip" + IntToStr(tip), "EN", "");
  ini.ReadSections();
  ini.WriteInteger("Settings", "CurrentTip", tip);
  ini.ReadBool("Settings", "ShowAtStartup", true);
  return 0;
}
