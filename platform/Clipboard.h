// The clipboard's data by format, held in the process, and the formats registered by name.
// The text clipboard stays with the GUI services; this one carries the binary formats that
// pictures use among themselves.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "platform/Graphics.h"

constexpr uint16_t CF_TEXT = 1, CF_BITMAP = 2, CF_DIB = 8, CF_PALETTE = 9;

// The same name gives the same number, from 0xC000 up; 0 for an empty name.
uint16_t RegisterClipboardFormat(const std::string& name);
std::string GetClipboardFormatName(uint16_t format);

class TClipboard {
 public:
  // Between Open and Close the first SetData empties the clipboard, so the formats set
  // together form one content.
  void Open();
  void Close();
  void Clear();
  void SetData(uint16_t format, const std::string& data);
  bool HasFormat(uint16_t format) const;
  const std::string* GetData(uint16_t format) const;  // nullptr when absent

 private:
  std::map<uint16_t, std::string> FData;
  int FOpen = 0;
  bool FEmptied = false;
};
TClipboard& Clipboard();

// The picture class that reads a clipboard format, as the picture class registers them.
void RegisterClipboardPictureFormat(uint16_t format, TGraphicFactory factory);
void UnregisterClipboardPictureFormat(uint16_t format);
const TGraphicFactory* ClipboardPictureFormat(uint16_t format);
// The first registered picture format on the clipboard, loaded; nullptr when none.
std::unique_ptr<TGraphic> PictureFromClipboard();
