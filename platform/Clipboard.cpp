#include "platform/Clipboard.h"

#include <vector>

#include "platform/SysUtils.h"

namespace {
std::vector<std::string>& Names() {
  static std::vector<std::string> names;
  return names;
}
std::map<uint16_t, TGraphicFactory>& PictureFormats() {
  static std::map<uint16_t, TGraphicFactory> formats;
  return formats;
}
}  // namespace

uint16_t RegisterClipboardFormat(const std::string& name) {
  if (name.empty()) return 0;
  auto& names = Names();
  for (size_t i = 0; i < names.size(); ++i)
    if (SameText(names[i], name)) return uint16_t(0xC000 + i);
  if (names.size() >= 0x3FFF) return 0;
  names.push_back(name);
  return uint16_t(0xC000 + names.size() - 1);
}

std::string GetClipboardFormatName(uint16_t format) {
  size_t i = size_t(format) - 0xC000;
  return format >= 0xC000 && i < Names().size() ? Names()[i] : std::string();
}

void TClipboard::Open() {
  if (FOpen++ == 0) FEmptied = false;
}

void TClipboard::Close() {
  if (FOpen > 0) --FOpen;
}

void TClipboard::Clear() {
  FData.clear();
  FEmptied = true;
}

void TClipboard::SetData(uint16_t format, const std::string& data) {
  if (FOpen == 0 || !FEmptied) Clear();
  FData[format] = data;
}

bool TClipboard::HasFormat(uint16_t format) const { return FData.count(format) > 0; }

const std::string* TClipboard::GetData(uint16_t format) const {
  auto it = FData.find(format);
  return it == FData.end() ? nullptr : &it->second;
}

TClipboard& Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}

void RegisterClipboardPictureFormat(uint16_t format, TGraphicFactory factory) {
  PictureFormats()[format] = std::move(factory);
}

void UnregisterClipboardPictureFormat(uint16_t format) { PictureFormats().erase(format); }

const TGraphicFactory* ClipboardPictureFormat(uint16_t format) {
  auto it = PictureFormats().find(format);
  return it == PictureFormats().end() ? nullptr : &it->second;
}

std::unique_ptr<TGraphic> PictureFromClipboard() {
  for (auto& [format, factory] : PictureFormats()) {
    const std::string* data = Clipboard().GetData(format);
    if (!data) continue;
    std::unique_ptr<TGraphic> g = factory();
    g->LoadFromClipboardFormat(format, *data);
    return g;
  }
  return nullptr;
}
