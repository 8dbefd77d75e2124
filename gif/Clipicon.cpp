#include "gif/Clipicon.h"

#include "gif/Vclutils.h"

uint16_t CF_ICON = 0;

void InitClipicon() {
  CF_ICON = RegisterClipboardFormat("Zelmora Icon");
  RegisterClipboardPictureFormat(CF_ICON, [] { return std::unique_ptr<TGraphic>(new TIcon); });
}

void CopyIconToClipboard(const TIcon& icon, TColor backColor) {
  if (icon.FileData().empty()) throw EInvalidGraphic("Cannot copy an empty icon");
  std::unique_ptr<TBitmap> bitmap = CreateBitmapFromIcon(icon, backColor);
  TMemoryStream bmp;
  bitmap->SaveToStream(bmp);
  TClipboard& c = Clipboard();
  c.Open();
  try {
    // The device-independent bitmap without its file header, as the clipboard holds it.
    std::string dib = bmp.DataAsString();
    c.SetData(CF_DIB, dib.size() > 14 ? dib.substr(14) : std::string());
    if (!bitmap->Palette().empty()) {
      std::string pal;
      for (const TRGBQuad& q : bitmap->Palette()) pal += std::string(reinterpret_cast<const char*>(&q), 4);
      c.SetData(CF_PALETTE, pal);
    }
    c.SetData(CF_ICON, icon.FileData());
  } catch (...) {
    c.Close();
    throw;
  }
  c.Close();
}

void AssignClipboardIcon(TIcon& icon) {
  const std::string* data = CF_ICON ? Clipboard().GetData(CF_ICON) : nullptr;
  if (!data) throw EInvalidGraphic("The clipboard holds no icon");
  TMemoryStream m;
  m.WriteBuffer(data->data(), int64_t(data->size()));
  m.SetPosition(0);
  icon.LoadFromStream(m);
}

std::unique_ptr<TIcon> CreateIconFromClipboard() {
  if (!CF_ICON || !Clipboard().HasFormat(CF_ICON)) return nullptr;
  auto icon = std::make_unique<TIcon>();
  AssignClipboardIcon(*icon);
  return icon;
}

TPoint GetIconSize(const TIcon& icon) {
  if (icon.Image().Width() > 0 && icon.Image().Height() > 0)
    return TPoint(icon.Image().Width(), icon.Image().Height());
  return TPoint(32, 32);
}

std::unique_ptr<TIcon> CreateRealSizeIcon(const TIcon& icon) {
  if (icon.Empty()) throw EOutOfResources("Out of system resources");
  auto copy = std::make_unique<TIcon>();
  copy->Assign(&icon);
  return copy;
}

void DrawRealSizeIcon(TCanvas& canvas, const TIcon& icon, int x, int y) {
  TPoint size = GetIconSize(icon);
  icon.Draw(canvas, TRect(x, y, x + size.X, y + size.Y));
}
