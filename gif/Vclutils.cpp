#include "gif/Vclutils.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <new>
#include <sys/utsname.h>
#include <thread>

#include "gif/Anifile.h"
#include "gif/Pxcconst.h"
#include "gif/Pxconst.h"
#include "platform/ByteOrder.h"
#include "platform/Classes.h"
#include "platform/Cursors.h"
#include "platform/Icon.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"

void NotImplemented() {
  Services().SetBusyCursor(false);
  Services().MessageBox(LoadStr(SNotImplemented), "Information", MB_OK | MB_ICONINFORMATION);
  Abort();
}

int PaletteEntries(HPALETTE palette) { return palette ? int(palette->size()) : 0; }
int PaletteEntries(const TBitmap& bitmap) { return int(bitmap.Palette().size()); }

uint32_t PaletteColor(TColor color) { return uint32_t(ColorToRGB(color)) | 0x02000000u; }

int WidthOf(const TRect& r) { return r.Right - r.Left; }
int HeightOf(const TRect& r) { return r.Bottom - r.Top; }

namespace {

// Restores the canvas's copy mode on every way out.
struct TCopyModeGuard {
  TCanvas& c;
  TCopyMode saved;
  explicit TCopyModeGuard(TCanvas& canvas) : c(canvas), saved(canvas.CopyMode) {}
  ~TCopyModeGuard() { c.CopyMode = saved; }
};

// The colour a palette-relative key matches: the nearest palette entry.
TColor PaletteKey(HPALETTE palette, TColor key) {
  TColor rgb = ColorToRGB(key) & 0xFFFFFF;
  if (!palette || palette->empty()) return rgb;
  int best = 0, bestDist = 0x7FFFFFFF;
  for (size_t i = 0; i < palette->size(); ++i) {
    const TRGBQuad& q = (*palette)[i];
    int dr = int(GetRValue(rgb)) - q.rgbRed, dg = int(GetGValue(rgb)) - q.rgbGreen,
        db = int(GetBValue(rgb)) - q.rgbBlue;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDist) {
      bestDist = d;
      best = int(i);
    }
  }
  const TRGBQuad& q = (*palette)[size_t(best)];
  return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

void StretchBitmapKeyed(TCanvas& dest, int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH,
                        TBitmap& bitmap, TColor transparentColor) {
  if (bitmap.Empty()) return;
  if (w <= 0) w = bitmap.Width();
  if (h <= 0) h = bitmap.Height();
  if (srcW <= 0 || srcH <= 0) {
    srcX = srcY = 0;
    srcW = bitmap.Width();
    srcH = bitmap.Height();
  }
  const TRect d(x, y, int(std::min<int64_t>(int64_t(x) + w, INT32_MAX)),
                int(std::min<int64_t>(int64_t(y) + h, INT32_MAX)));
  const TRect s(srcX, srcY, int(std::min<int64_t>(int64_t(srcX) + srcW, INT32_MAX)),
                int(std::min<int64_t>(int64_t(srcY) + srcH, INT32_MAX)));
  if (transparentColor == clNone) {
    dest.CopyRect(d, bitmap.Canvas(), s);
    return;
  }
  if (transparentColor == clDefault) transparentColor = bitmap.GetPixelColor(0, bitmap.Height() - 1);
  TColor key = bitmap.Monochrome() ? TColor(0xFFFFFF) : ColorToRGB(transparentColor);
  HPALETTE palette = bitmap.Palette().empty() ? nullptr : &bitmap.Palette();
  StretchBltTransparent(dest, x, y, w, h, bitmap.Canvas(), srcX, srcY, srcW, srcH, palette, key);
}

}  // namespace

void StretchBltTransparent(TCanvas& dest, int x, int y, int w, int h, const TCanvas& src, int srcX, int srcY,
                           int srcW, int srcH, HPALETTE palette, TColor transparentColor) {
  if (w <= 0 || h <= 0 || srcW <= 0 || srcH <= 0 || !dest.Bitmap() || !src.Bitmap()) return;
  const TRect s(srcX, srcY, int(std::min<int64_t>(int64_t(srcX) + srcW, INT32_MAX)),
                int(std::min<int64_t>(int64_t(srcY) + srcH, INT32_MAX)));
  const TRect d(x, y, int(std::min<int64_t>(int64_t(x) + w, INT32_MAX)),
                int(std::min<int64_t>(int64_t(y) + h, INT32_MAX)));
  // One nearest-sample pass that skips the key-coloured source pixels: the destination
  // keeps every byte of its own there (a mask and an inverse mask combined by raster
  // operations would also clear the fourth byte of the pixels left visible).
  TCopyModeGuard guard(dest);
  dest.CopyMode = cmSrcCopy;
  dest.StretchDrawKeyed(d, *src.Bitmap(), s, PaletteKey(palette, transparentColor));
}

void StretchBitmapRectTransparent(TCanvas& dest, int x, int y, int w, int h, const TRect& srcRect,
                                  TBitmap& bitmap, TColor transparentColor) {
  StretchBitmapKeyed(dest, x, y, w, h, srcRect.Left, srcRect.Top, WidthOf(srcRect), HeightOf(srcRect), bitmap,
                     transparentColor);
}

void DrawBitmapRectTransparent(TCanvas& dest, int x, int y, const TRect& srcRect, TBitmap& bitmap,
                               TColor transparentColor) {
  StretchBitmapKeyed(dest, x, y, WidthOf(srcRect), HeightOf(srcRect), srcRect.Left, srcRect.Top,
                     WidthOf(srcRect), HeightOf(srcRect), bitmap, transparentColor);
}

void DrawBitmapTransparent(TCanvas& dest, int x, int y, TBitmap& bitmap, TColor transparentColor) {
  StretchBitmapKeyed(dest, x, y, bitmap.Width(), bitmap.Height(), 0, 0, bitmap.Width(), bitmap.Height(),
                     bitmap, transparentColor);
}

void DrawTransparentBitmap(TCanvas& dest, TBitmap& bitmap, int x, int y, TColor transparentColor) {
  if (bitmap.Empty()) return;
  HPALETTE palette = bitmap.Palette().empty() ? nullptr : &bitmap.Palette();
  StretchBltTransparent(dest, x, y, bitmap.Width(), bitmap.Height(), bitmap.Canvas(), 0, 0, bitmap.Width(),
                        bitmap.Height(), palette, transparentColor);
}

void GradientFillRect(TCanvas& canvas, const TRect& rect, TColor startColor, TColor endColor,
                      TFillDirection direction, uint8_t colors) {
  if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
  // Every fill uses a brush of its own: the canvas's brush is left as it was.
  struct TBrushGuard {
    TCanvas& c;
    TBrush saved;
    ~TBrushGuard() { c.Brush = saved; }
  } brushGuard{canvas, canvas.Brush};
  auto fill = [&](const TRect& r, TColor c) {
    canvas.Brush.Style = bsSolid;
    canvas.Brush.SetColor(c);
    canvas.FillRect(r);
  };
  TColor start = ColorToRGB(startColor), end = ColorToRGB(endColor);
  if (colors < 2) {
    fill(rect, start);
    return;
  }
  bool reversed = direction == fdBottomToTop || direction == fdRightToLeft;
  bool vertical = direction == fdTopToBottom || direction == fdBottomToTop;
  TColor base = reversed ? end : start, other = reversed ? start : end;
  int dr = int(GetRValue(other)) - GetRValue(base), dg = int(GetGValue(other)) - GetGValue(base),
      db = int(GetBValue(other)) - GetBValue(base);
  int extent = vertical ? HeightOf(rect) : WidthOf(rect);
  int n = std::max(2, std::min(int(colors), extent));
  int s = extent / n;
  canvas.Pen.Style = psSolid;
  canvas.Pen.Mode = pmCopy;
  if (s > 0) {
    for (int i = 0; i < n; ++i) {
      TRect band = rect;
      if (vertical) {
        band.Top = rect.Top + i * s;
        band.Bottom = band.Top + s;
      } else {
        band.Left = rect.Left + i * s;
        band.Right = band.Left + s;
      }
      fill(band, RGB(uint8_t(GetRValue(base) + MulDiv(i, dr, n - 1)),
                     uint8_t(GetGValue(base) + MulDiv(i, dg, n - 1)),
                     uint8_t(GetBValue(base) + MulDiv(i, db, n - 1))));
    }
  }
  int r = extent % n;
  if (r > 0) {
    TRect rest = rect;
    if (vertical) rest.Top = rect.Bottom - r;
    else rest.Left = rect.Right - r;
    fill(rest, reversed ? start : end);
  }
}

// Memory blocks carry their size in a header in front of the caller's bytes.
namespace {
constexpr size_t kMemoHeader = 16;
struct TMemoHeader {
  int32_t size;
};
uint8_t* MemoBase(const void* p) { return static_cast<uint8_t*>(const_cast<void*>(p)) - kMemoHeader; }
}  // namespace

void* AllocMemo(int32_t size) {
  if (size <= 0) return nullptr;
  auto* base = static_cast<uint8_t*>(std::calloc(1, kMemoHeader + size_t(size)));
  if (!base) return nullptr;
  reinterpret_cast<TMemoHeader*>(base)->size = size;
  return base + kMemoHeader;
}

void* ReallocMemo(void* p, int32_t size) {
  if (!p) return AllocMemo(size);
  if (size <= 0) {
    FreeMemo(p);
    return nullptr;
  }
  uint8_t* base = MemoBase(p);
  int32_t old = reinterpret_cast<TMemoHeader*>(base)->size;
  auto* grown = static_cast<uint8_t*>(std::realloc(base, kMemoHeader + size_t(size)));
  if (!grown) return nullptr;
  if (size > old) std::memset(grown + kMemoHeader + old, 0, size_t(size - old));
  reinterpret_cast<TMemoHeader*>(grown)->size = size;
  return grown + kMemoHeader;
}

int32_t GetMemoSize(const void* p) { return p ? reinterpret_cast<const TMemoHeader*>(MemoBase(p))->size : 0; }

void FreeMemo(void*& p) {
  if (!p) return;
  std::free(MemoBase(p));
  p = nullptr;
}

void* HugeOffset(void* p, int32_t offset) { return static_cast<uint8_t*>(p) + offset; }
const void* HugeOffset(const void* p, int32_t offset) { return static_cast<const uint8_t*>(p) + offset; }
void HugeInc(void*& p, int32_t offset) { p = HugeOffset(p, offset); }
void HugeDec(void*& p, int32_t offset) { p = HugeOffset(p, -offset); }
void HMemCpy(void* dst, const void* src, int32_t count) {
  if (count > 0) std::memmove(dst, src, size_t(count));
}
void HugeMove(void* base, int32_t dst, int32_t src, int32_t count) {
  if (count <= 0) return;
  auto* a = static_cast<uint32_t*>(base);
  std::memmove(a + dst, a + src, size_t(count) * 4);
}

bool CompareMem(const void* a, const void* b, uint32_t length) {
  const auto* x = static_cast<const uint8_t*>(a);
  const auto* y = static_cast<const uint8_t*>(b);
  // Whole words first, then the remaining bytes; memcpy keeps unaligned reads defined.
  uint32_t words = length / 4;
  for (uint32_t i = 0; i < words; ++i, x += 4, y += 4) {
    uint32_t u, v;
    std::memcpy(&u, x, 4);
    std::memcpy(&v, y, 4);
    if (u != v) return false;
  }
  for (uint32_t i = 0; i < length % 4; ++i)
    if (x[i] != y[i]) return false;
  return true;
}

std::string ResStr(const std::string& s) { return s; }

void ResourceNotFound(const std::string& name) {
  throw EResNotFound(Format("Resource %s not found", name.c_str()));
}
void ResourceNotFound(int id) { ResourceNotFound(IntToStr(id)); }

std::string FindResourceFile(const std::string& module, const std::string& name,
                             const std::vector<std::string>& extensions) {
  if (name.empty() || name == "." || name == "..") return {};
  for (char c : name)
    if (IsPathDelimiter(c) || c == '\0') return {};
  const std::string folder = IncludeTrailingPathDelimiter(module.empty() ? ProgramFolder() : module);
  for (const std::string& ext : extensions) {
    std::string file = FindFileCaseBlind(folder, name + ext);
    if (FileExists(file)) return file;
  }
  return {};
}

std::unique_ptr<TBitmap> MakeModuleBitmap(const std::string& module, const std::string& name) {
  const std::string file = FindResourceFile(module, name, {".bmp"});
  if (file.empty()) ResourceNotFound(name);
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->LoadFromFile(file);
  return bitmap;
}

std::unique_ptr<TBitmap> MakeBitmap(const std::string& name) { return MakeModuleBitmap("", name); }

std::unique_ptr<TBitmap> MakeBitmapID(int id) {
  if (FindResourceFile("", IntToStr(id), {".bmp"}).empty()) ResourceNotFound(id);
  return MakeBitmap(IntToStr(id));
}

std::unique_ptr<TIcon> MakeModuleIcon(const std::string& module, const std::string& name) {
  const std::string file = FindResourceFile(module, name, {".ico"});
  if (file.empty()) return nullptr;
  auto icon = std::make_unique<TIcon>();
  icon->LoadFromFile(file);
  return icon;
}

std::unique_ptr<TIcon> MakeIcon(const std::string& name) { return MakeModuleIcon("", name); }
std::unique_ptr<TIcon> MakeIconID(int id) { return MakeIcon(IntToStr(id)); }

void AssignBitmapCell(const TGraphic* source, TBitmap& dest, int cols, int rows, int index) {
  if (!source || source->Empty() || cols <= 0 || rows <= 0 || index < 0 ||
      int64_t(index) >= int64_t(cols) * rows)
    return;
  const int cw = source->Width() / cols, ch = source->Height() / rows;
  if (cw <= 0 || ch <= 0) return;
  const int cx = (index % cols) * cw, cy = (index / cols) * ch;
  dest.SetSize(cw, ch);
  if (auto* b = dynamic_cast<const TBitmap*>(source)) {
    if (dest.PixelFormat() != b->PixelFormat()) dest.SetPixelFormat(b->PixelFormat());
    if (!b->Palette().empty()) dest.SetPalette(b->Palette());
    TBitmap copy;
    copy.Assign(b);
    dest.Canvas().CopyMode = cmSrcCopy;
    dest.Canvas().CopyRect(TRect(0, 0, cw, ch), copy.Canvas(), TRect(cx, cy, cx + cw, cy + ch));
    dest.SetTransparentMode(b->TransparentMode());
    if (b->TransparentMode() == tmFixed) dest.SetTransparentColor(b->TransparentColor());
  } else {
    TBitmap whole(source->Width(), source->Height(), pf32bit);
    whole.Canvas().Brush.SetColor(clSilver);
    whole.Canvas().FillRect(TRect(0, 0, whole.Width(), whole.Height()));
    whole.Canvas().StretchDraw(TRect(0, 0, whole.Width(), whole.Height()), source);
    dest.Canvas().CopyMode = cmSrcCopy;
    dest.Canvas().CopyRect(TRect(0, 0, cw, ch), whole.Canvas(), TRect(cx, cy, cx + cw, cy + ch));
  }
  dest.SetTransparent(source->Transparent());
}

std::unique_ptr<TBitmap> ChangeBitmapColor(const TBitmap& bitmap, TColor color, TColor newColor) {
  auto r = std::make_unique<TBitmap>();
  r->Assign(&bitmap);
  const TColor from = ColorToRGB(color) & 0xFFFFFF, to = ColorToRGB(newColor) & 0xFFFFFF;
  if (!r->Palette().empty()) {
    // Indexed bitmaps change the palette entries of that colour.
    std::vector<TRGBQuad> p = r->Palette();
    for (TRGBQuad& q : p)
      if (RGB(q.rgbRed, q.rgbGreen, q.rgbBlue) == from) q = {GetBValue(to), GetGValue(to), GetRValue(to), 0};
    r->SetPalette(p);
    return r;
  }
  for (int y = 0; y < r->Height(); ++y)
    for (int x = 0; x < r->Width(); ++x)
      if ((r->GetPixelColor(x, y) & 0xFFFFFF) == from) r->SetPixelColor(x, y, to);
  return r;
}

std::unique_ptr<TBitmap> CreateDisabledBitmapEx(const TBitmap& bitmap, TColor disabledColor, TColor backColor,
                                                TColor highlightColor, TColor shadowColor,
                                                bool drawHighlight) {
  const int w = bitmap.Width(), h = bitmap.Height();
  auto r = std::make_unique<TBitmap>(w, h, pf32bit);
  TCanvas& c = r->Canvas();
  c.Brush.SetColor(ColorToRGB(backColor));
  c.FillRect(TRect(0, 0, w, h));
  const TColor bg = ColorToRGB(disabledColor) & 0xFFFFFF;
  auto ink = [&](int x, int y) { return (bitmap.GetPixelColor(x, y) & 0xFFFFFF) != bg; };
  const TColor hi = ColorToRGB(highlightColor), sh = ColorToRGB(shadowColor);
  if (drawHighlight)
    for (int y = 0; y + 1 < h; ++y)
      for (int x = 0; x + 1 < w; ++x)
        if (ink(x, y)) c.SetPixels(x + 1, y + 1, hi);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (ink(x, y)) c.SetPixels(x, y, sh);
  return r;
}

std::unique_ptr<TBitmap> CreateDisabledBitmap(const TBitmap& bitmap, TColor disabledColor) {
  return CreateDisabledBitmapEx(bitmap, disabledColor, clBtnFace, clBtnHighlight, clBtnShadow, true);
}

std::unique_ptr<TBitmap> CreateTwoColorsBrushPattern(TColor color1, TColor color2) {
  auto r = std::make_unique<TBitmap>(8, 8, pf32bit);
  const TColor a = ColorToRGB(color1), b = ColorToRGB(color2);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) r->Canvas().SetPixels(x, y, (x + y) % 2 ? b : a);
  return r;
}

std::unique_ptr<TBitmap> CreateBitmapFromIcon(const TGraphic& icon, TColor backColor) {
  auto r = std::make_unique<TBitmap>(icon.Width(), icon.Height(), pf32bit);
  if (icon.Empty()) return r;
  r->Canvas().Brush.SetColor(ColorToRGB(backColor));
  r->Canvas().FillRect(TRect(0, 0, icon.Width(), icon.Height()));
  r->Canvas().StretchDraw(TRect(0, 0, icon.Width(), icon.Height()), &icon);
  return r;
}

std::unique_ptr<TIcon> CreateIconFromBitmap(const TBitmap& bitmap, TColor transparentColor) {
  const int w = bitmap.Width(), h = bitmap.Height();
  if (w <= 0 || h <= 0) throw EInvalidGraphic("Cannot make an icon of an empty bitmap");
  if (w > 256 || h > 256) throw EInvalidGraphic("An icon can be at most 256 x 256 pixels");
  const bool keyed = transparentColor != clNone;
  const TColor key = transparentColor == clDefault ? bitmap.GetPixelColor(0, h - 1) & 0xFFFFFF
                                                   : ColorToRGB(transparentColor) & 0xFFFFFF;
  // One 32-bit image with its AND mask; left-out pixels are clear in both.
  const uint32_t maskRow = uint32_t(DibRowBytes(w, 1));
  std::string colour, mask;
  for (int y = h - 1; y >= 0; --y) {
    std::string maskBits(maskRow, '\0');
    for (int x = 0; x < w; ++x) {
      const TColor c = bitmap.GetPixelColor(x, y) & 0xFFFFFF;
      const bool clear = keyed && c == key;
      if (clear) {
        AppendLe32(colour, 0);
        maskBits[size_t(x) >> 3] = char(uint8_t(maskBits[size_t(x) >> 3]) | (0x80 >> (x & 7)));
      } else {
        AppendLe32(colour,
                   0xFF000000u | uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c));
      }
    }
    mask += maskBits;
  }
  std::string image;
  AppendLe32(image, 40);
  AppendLe32(image, uint32_t(w));
  AppendLe32(image, uint32_t(2 * h));
  AppendLe16(image, 1);
  AppendLe16(image, 32);
  AppendLe32(image, 0);
  AppendLe32(image, uint32_t(colour.size() + mask.size()));
  for (int i = 0; i < 4; ++i) AppendLe32(image, 0);
  image += colour + mask;
  std::string file;
  AppendLe16(file, 0);
  AppendLe16(file, 1);
  AppendLe16(file, 1);
  file += char(w & 255), file += char(h & 255), file += '\0', file += '\0';
  AppendLe16(file, 1);
  AppendLe16(file, 32);
  AppendLe32(file, uint32_t(image.size()));
  AppendLe32(file, 22);
  file += image;
  TMemoryStream m;
  m.WriteBuffer(file.data(), int64_t(file.size()));
  m.SetPosition(0);
  auto icon = std::make_unique<TIcon>();
  icon->LoadFromStream(m);
  return icon;
}

void ImageListDrawDisabled(const std::vector<std::unique_ptr<TBitmap>>& images, TCanvas& canvas, int x, int y,
                           int index, TColor highlightColor, TColor grayColor, bool drawHighlight) {
  if (index < 0 || size_t(index) >= images.size() || !images[size_t(index)])
    throw EListError(Format("List index out of bounds (%d)", index));
  const TBitmap& image = *images[size_t(index)];
  const TColor key = image.TransparentColor() & 0xFFFFFF;
  auto ink = [&](int i, int j) { return (image.GetPixelColor(i, j) & 0xFFFFFF) != key; };
  const TColor hi = ColorToRGB(highlightColor), gray = ColorToRGB(grayColor);
  // The highlight first, so that the glyph's own pixels cover it where both fall.
  if (drawHighlight)
    for (int j = 0; j < image.Height(); ++j)
      for (int i = 0; i < image.Width(); ++i)
        if (ink(i, j)) canvas.SetPixels(x + i + 1, y + j + 1, hi);
  for (int j = 0; j < image.Height(); ++j)
    for (int i = 0; i < image.Width(); ++i)
      if (ink(i, j)) canvas.SetPixels(x + i, y + j, gray);
}

void ShadeRect(TCanvas& canvas, const TRect& rect) {
  TBitmap* b = canvas.Bitmap();
  if (!b) return;
  const int x0 = std::max(rect.Left, 0), x1 = std::min(rect.Right, b->Width());
  const int y0 = std::max(rect.Top, 0), y1 = std::min(rect.Bottom, b->Height());
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if ((x + y) % 2 == 0) canvas.SetPixels(x, y, clBlack);
}

bool PointInRect(const TPoint& p, const TRect& r) {
  return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}

bool PointInPolyRgn(const TPoint& p, const std::vector<TPoint>& points) {
  // Crossings of a ray to the right through the pixel's centre.
  bool inside = false;
  const double px = p.X + 0.5, py = p.Y + 0.5;
  for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
    const double xi = points[i].X, yi = points[i].Y, xj = points[j].X, yj = points[j].Y;
    if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

TRect ScreenWorkArea() {
  int l = 0, t = 0, w = 0, h = 0;
  Services().WorkArea(l, t, w, h);
  return TRect(l, t, l + w, t + h);
}

namespace {
constexpr int kBaseUnitX = 8, kBaseUnitY = 16;
}
int DialogUnitsToPixelsX(int units) { return MulDiv(units, kBaseUnitX, 4); }
int DialogUnitsToPixelsY(int units) { return MulDiv(units, kBaseUnitY, 8); }
int PixelsToDialogUnitsX(int pixels) { return MulDiv(pixels, 4, kBaseUnitX); }
int PixelsToDialogUnitsY(int pixels) { return MulDiv(pixels, 8, kBaseUnitY); }

int MsgBox(const std::string& caption, const std::string& text, uint32_t flags) {
  return Services().MessageBox(text, caption, flags);
}
int MsgDlg(const std::string& text, uint32_t flags) {
  const char* caption = (flags & 0xF0) == MB_ICONINFORMATION   ? "Information"
                        : (flags & 0xF0) == MB_ICONQUESTION    ? "Confirm"
                        : (flags & 0xF0) == MB_ICONEXCLAMATION ? "Warning"
                                                               : "";
  return Services().MessageBox(text, caption, flags);
}

int FindPrevInstance(const std::string& title) { return FindInstanceLockHolder(title); }

void* LoadDLL(const std::string& name) {
  void* h = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* why = dlerror();
    throw EOSError(Format("Cannot load library %s: %s", name.c_str(), why ? why : "unknown error"));
  }
  return h;
}

void Beep() { Services().Beep(); }

std::string GetEnvVar(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  if (!v) return {};
  std::string s(v);
  if (s.size() > 2048) s.resize(2048);
  return s;
}

void Delay(int32_t milliseconds) {
  if (milliseconds <= 0) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
  // Short sleeps between rounds of the GUI's events, so that the windows stay alive.
  for (;;) {
    Services().ProcessMessages();
    const Clock::time_point now = Clock::now();
    if (now >= end) break;
    std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(10)));
  }
}

std::string OsReleaseName(const std::string& fileName) {
  std::string text;
  try {
    if (FileSize(fileName) > 65536) return {};
    text = ReadFileBytes(fileName);
  } catch (const Exception&) { return {}; }
  // Shell-style assignments; a value may be quoted, with backslash escapes inside double
  // quotes.
  std::map<std::string, std::string> values;
  for (const std::string& line : SplitLines(text)) {
    const std::string l = Trim(line);
    const size_t eq = l.find('=');
    if (l.empty() || l[0] == '#' || eq == std::string::npos) continue;
    const std::string key = l.substr(0, eq);
    std::string raw = l.substr(eq + 1), value;
    if (!raw.empty() && (raw[0] == '"' || raw[0] == '\'')) {
      const char q = raw[0];
      for (size_t i = 1; i < raw.size() && raw[i] != q; ++i) {
        if (q == '"' && raw[i] == '\\' && i + 1 < raw.size()) ++i;
        value += raw[i];
      }
    } else {
      value = raw;
    }
    values[key] = value;
  }
  if (!values["PRETTY_NAME"].empty()) return values["PRETTY_NAME"];
  return Trim(values["NAME"] + " " + values["VERSION"]);
}

std::string GetWindowsVersion() {
  struct utsname u {};
  std::string version =
      uname(&u) == 0 ? Format("%s %s %s", u.sysname, u.release, u.machine) : "Unknown system";
  std::string distribution = OsReleaseName("/etc/os-release");
  if (distribution.empty()) distribution = OsReleaseName("/usr/lib/os-release");
  if (!distribution.empty()) version += ", " + distribution;
  return version;
}

void RaiseWin32Error(int code) {
  if (code == 0) return;
  throw EOSError(Format("Win32 Error.  Code: %d.\n%s", code, std::strerror(code)));
}

bool CheckWin32(bool ok) {
  if (!ok) RaiseWin32Error(errno);
  return ok;
}

TFont CreateRotatedFont(const TFont& font, int angle) {
  TFont rotated = font;
  if (SameText(rotated.Name, "Default")) rotated.Name = TFont().Name;
  rotated.Orientation = (angle % 360 + 360) % 360 * 10;
  return rotated;
}

std::string MinimizeText(const std::string& text, TCanvas& canvas, int maxWidth) {
  if (canvas.TextWidth(text) <= maxWidth) return text;
  std::string s = text;
  while (!s.empty()) {
    // Cut whole UTF-8 characters.
    do s.pop_back();
    while (!s.empty() && (uint8_t(s.back()) & 0xC0) == 0x80);
    if (canvas.TextWidth(s + "...") <= maxWidth) break;
  }
  return s + "...";
}

TPoint GetAveCharSize(TCanvas& canvas) {
  std::string letters;
  for (char c = 'A'; c <= 'Z'; ++c) letters += c;
  for (char c = 'a'; c <= 'z'; ++c) letters += c;
  return {canvas.TextWidth(letters) / 52, canvas.TextHeight(letters)};
}

void WriteText(TCanvas& canvas, const TRect& rect, int dx, int dy, const std::string& text,
               uint32_t alignment, bool wordWrap) {
  TRect r(rect.Left + dx, rect.Top + dy, rect.Right - dx, rect.Bottom);
  if (r.Right <= r.Left || r.Bottom <= r.Top) return;
  canvas.DrawText(
      text, r,
      (alignment & (DT_CENTER | DT_RIGHT)) | DT_NOPREFIX | (wordWrap ? DT_WORDBREAK : DT_SINGLELINE));
}

void DrawCellTextEx(TCanvas& canvas, const TRect& rect, const std::string& text, uint32_t alignment,
                    TVertAlignment vertAlignment, bool wordWrap) {
  const uint32_t flags =
      (alignment & (DT_CENTER | DT_RIGHT)) | DT_NOPREFIX | (wordWrap ? DT_WORDBREAK : DT_SINGLELINE);
  TRect measure(rect.Left + 2, rect.Top, rect.Right - 2, rect.Bottom);
  int textH = canvas.DrawText(text, measure, flags | DT_CALCRECT);
  int dy = 2;
  if (vertAlignment == vaCenter) dy = std::max(0, (HeightOf(rect) - textH) / 2);
  else if (vertAlignment == vaBottomJustify) dy = std::max(0, HeightOf(rect) - textH - 2);
  WriteText(canvas, rect, 2, dy, text, alignment, wordWrap);
}

void DrawCellText(TCanvas& canvas, const TRect& rect, const std::string& text, uint32_t alignment,
                  TVertAlignment vertAlignment) {
  DrawCellTextEx(canvas, rect, text, alignment, vertAlignment, false);
}

void DrawCellBitmap(TCanvas& canvas, const TRect& rect, const TGraphic* graphic) {
  if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
  canvas.FillRect(rect);
  if (!graphic || graphic->Empty()) return;
  const int w = std::min(graphic->Width(), WidthOf(rect)), h = std::min(graphic->Height(), HeightOf(rect));
  const int x = rect.Left + (WidthOf(rect) - w) / 2, y = rect.Top + (HeightOf(rect) - h) / 2;
  TBitmap whole(graphic->Width(), graphic->Height(), pf32bit);
  whole.Canvas().CopyRect(TRect(0, 0, whole.Width(), whole.Height()), canvas,
                          TRect(x, y, x + whole.Width(), y + whole.Height()));
  whole.Canvas().StretchDraw(TRect(0, 0, whole.Width(), whole.Height()), graphic);
  const int sx = (graphic->Width() - w) / 2, sy = (graphic->Height() - h) / 2;
  canvas.CopyRect(TRect(x, y, x + w, y + h), whole.Canvas(), TRect(sx, sy, sx + w, sy + h));
}

void SplitCommandLine(const std::string& commandLine, std::string& program, std::string& params) {
  // Words separated by blanks; double quotes group blanks into a word.
  std::vector<std::string> words;
  std::string cur;
  bool quoted = false, any = false;
  for (char ch : commandLine) {
    if (ch == '"') {
      quoted = !quoted;
      any = true;
    } else if ((ch == ' ' || ch == '\t') && !quoted) {
      if (any) words.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += ch;
      any = true;
    }
  }
  if (any) words.push_back(cur);
  program = words.empty() ? std::string() : words[0];
  params.clear();
  for (size_t i = 1; i < words.size(); ++i) {
    if (!params.empty()) params += ' ';
    bool blank = words[i].find_first_of(" \t") != std::string::npos;
    params += blank ? "\"" + words[i] + "\"" : words[i];
  }
}

std::string AnsiUpperFirstChar(const std::string& s) {
  std::string r = s;
  if (!r.empty() && r[0] >= 'a' && r[0] <= 'z') r[0] = char(r[0] - 'a' + 'A');
  return r;
}

char* StrPAlloc(const std::string& s) {
  char* p = new char[s.size() + 1];
  std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

const char* StringToPChar(const std::string& s) { return s.c_str(); }

std::string DropT(const std::string& s) {
  if (s.size() > 1 && (s[0] == 'T' || s[0] == 't')) return s.substr(1);
  return s;
}

int16_t WaitCursor = -11;

namespace {
int WaitCount = 0;
}
void StartWait() {
  if (WaitCount++ == 0) Services().SetBusyCursor(true);
}
void StopWait() {
  if (WaitCount > 0 && --WaitCount == 0) Services().SetBusyCursor(false);
}

TCursorImage LoadAniCursor(const std::string& module, const std::string& name) {
  const std::string file = FindResourceFile(module, name, {".ani"});
  if (file.empty()) ResourceNotFound(name);
  TAnimatedCursorImage ani;
  ani.LoadFromFile(file);
  TCursorImage cursor;
  cursor.Name = name;
  for (int i = 0; i < ani.FrameCount(); ++i) {
    const TIconFrame& frame = ani.GetFrame(i);
    auto picture = std::make_shared<TBitmap>();
    picture->Assign(&frame.Icon.Image());
    cursor.Frames.push_back(std::move(picture));
    cursor.Rates.push_back(frame.JiffRate);
  }
  if (ani.FrameCount() > 0) cursor.HotSpot = ani.GetFrame(0).Icon.HotSpot();
  return cursor;
}

int16_t DefineCursor(const std::string& module, const std::string& name) {
  TCursorImage cursor;
  if (!FindResourceFile(module, name, {".ani"}).empty()) {
    cursor = LoadAniCursor(module, name);
  } else if (std::string file = FindResourceFile(module, name, {".cur"}); !file.empty()) {
    TIcon still;
    still.LoadFromFile(file);
    auto picture = std::make_shared<TBitmap>();
    picture->Assign(&still.Image());
    cursor.Name = name;
    cursor.Frames.push_back(std::move(picture));
    cursor.HotSpot = still.HotSpot();
  } else if (module.empty()) {
    cursor = LoadCursorResource(name);  // the program's own cursors, or EResNotFound
  } else {
    ResourceNotFound(name);
  }
  for (int id = 100; id <= INT16_MAX; ++id)
    if (!ScreenCursor(TCursor(id))) {
      SetScreenCursor(TCursor(id), cursor);
      return TCursor(id);
    }
  throw EOutOfResources("Out of system resources");
}
