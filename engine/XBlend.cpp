#include "engine/XBlend.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include "platform/PrinterService.h"
#include "platform/SysUtils.h"

static uint8_t BlendValue(int mode, int a, int b) {
  switch (mode) {
    case 0:
    case 1: return uint8_t(std::min(a + b, 255));
    case 2: return uint8_t(std::max(b - a, 0));
    case 3: return uint8_t(std::abs(b - a));
    case 4: return uint8_t(a * b / 255);
    case 5: return uint8_t(std::min(a, b));
    case 6: return uint8_t(std::max(a, b));
    case 7: return uint8_t(a & b);
    case 8: return uint8_t(a | b);
    case 9: return uint8_t(a ^ b);
    case 10: return uint8_t(std::min(a / std::max(b, 1), 255));
    case 11: return uint8_t(std::abs((b ^ 255) - a));
    case 12: return uint8_t((a + b) & 255);
    case 13: return uint8_t((b - a) & 255);
    case 14: return uint8_t(b);
    case 15: return uint8_t(a);
    case 16: return uint8_t((a + b) >> 1);
    case 17: return uint8_t(std::clamp(2 * a + b - 256, 0, 255));
    case 18: return uint8_t(std::min(4 * a * b / 255, 255));
    case 19: return uint8_t(255 - b);
    case 20: return uint8_t(255 - a);
    case 21: return uint8_t(std::trunc(255.0 * std::pow(b / 255.0, 64.0 / std::max(a, 1))));
    default: return 0;
  }
}

BlendTable* BuildBlendTable(uint8_t mode) {
  BlendTable* t = new BlendTable;
  t->Data = new uint8_t[256 * 256];
  t->Rows = new uint8_t*[256];
  for (int a = 0; a < 256; ++a) {
    t->Rows[a] = t->Data + a * 256;
    for (int b = 0; b < 256; ++b) t->Rows[a][b] = BlendValue(mode, a, b);
  }
  return t;
}

void FreeBlendTable(BlendTable* table, int flags) {
  if (!table) return;
  delete[] table->Rows;
  table->Rows = nullptr;
  delete[] table->Data;
  table->Data = nullptr;
  if (flags & 1) delete table;
}

BlendTable* const MultiplyTable = BuildBlendTable(4);
BlendTable* const SumTable = BuildBlendTable(1);

static void PreparePair(TBitmap& dst, TBitmap& src) {
  src.SetPixelFormat(pf32bit);
  if (&dst != &src) {
    if (dst.Width() != src.Width() || dst.Height() != src.Height()) dst.SetSize(src.Width(), src.Height());
    dst.SetPixelFormat(pf32bit);
  }
}

template <class F>
static void EachPixel(TBitmap& dst, TBitmap& src, F f) {
  PreparePair(dst, src);
  for (int y = dst.Height() - 1; y >= 0; --y) {
    uint32_t* d = reinterpret_cast<uint32_t*>(dst.ScanLine(y));
    const uint32_t* s = reinterpret_cast<const uint32_t*>(src.ScanLine(y));
    for (int x = 0; x < dst.Width(); ++x) d[x] = f(s[x]);
  }
}

void ImageFill(TBitmap& dst, TBitmap& src, uint32_t value) {
  EachPixel(dst, src, [value](uint32_t) { return value; });
}
void ImageOr(TBitmap& dst, TBitmap& src, uint32_t value) {
  EachPixel(dst, src, [value](uint32_t p) { return p | value; });
}
void ImageXor(TBitmap& dst, TBitmap& src, uint32_t value) {
  EachPixel(dst, src, [value](uint32_t p) { return p ^ value; });
}

void ImageSwapRB(TBitmap& dst, TBitmap& src) {
  int step = dst.PixelFormat() == pf24bit ? 3 : dst.PixelFormat() == pf32bit ? 4 : 0;
  if (!step) return;
  if (src.PixelFormat() != dst.PixelFormat() || src.Width() != dst.Width() || src.Height() != dst.Height())
    throw EInvalidGraphicOperation("ImageSwapRB needs two bitmaps of the same size and format");
  for (int y = dst.Height() - 1; y >= 0; --y) {
    uint8_t* d = dst.ScanLine(y);
    const uint8_t* s = src.ScanLine(y);
    for (int x = 0; x < dst.Width(); ++x, d += step, s += step) {
      uint8_t b = s[0], g = s[1], r = s[2];
      d[0] = r;
      d[1] = g;
      d[2] = b;
      if (step == 4) d[3] = s[3];
    }
  }
}

void Downsample2x2(TBitmap& dst, TBitmap& src) {
  if (dst.PixelFormat() != pf32bit || src.PixelFormat() != pf32bit ||
      int64_t(dst.Width()) * 2 > src.Width() || int64_t(dst.Height()) * 2 > src.Height())
    throw EInvalidGraphicOperation("Downsample2x2 needs 32-bit bitmaps, the source twice the size");
  const uint32_t M = 0xFCFCFCFCu;
  for (int y = dst.Height() - 1; y >= 0; --y) {
    uint32_t* d = reinterpret_cast<uint32_t*>(dst.ScanLine(y));
    const uint32_t* s0 = reinterpret_cast<const uint32_t*>(src.ScanLine(2 * y));
    const uint32_t* s1 = reinterpret_cast<const uint32_t*>(src.ScanLine(2 * y + 1));
    for (int x = 0; x < dst.Width(); ++x) {
      uint32_t sum = (s0[2 * x + 1] & M) + (s0[2 * x] & M) + (s1[2 * x] & M) + (s1[2 * x + 1] & M);
      d[x] = sum >> 2;
    }
  }
}

void ImageColorize(TBitmap& dst, TBitmap& src, uint32_t colour) {
  PreparePair(dst, src);
  int h0 = int(ColorHighByte(colour)), l0 = int(ColorMidByte(colour)), s0 = int(ColorLowByte(colour));
  RGBToHSL(h0, l0, s0);
  for (int y = dst.Height() - 1; y >= 0; --y) {
    uint8_t* d = dst.ScanLine(y);
    const uint8_t* s = src.ScanLine(y);
    for (int x = 0; x < dst.Width(); ++x, d += 4, s += 4) {
      int c1 = s[2], c2 = s[1], c3 = s[0];
      uint8_t alpha = s[3];
      RGBToHSL(c1, c2, c3);
      c1 = h0;
      c3 = s0;
      HSLToRGB(c1, c2, c3);
      d[0] = uint8_t(c3);
      d[1] = uint8_t(c2);
      d[2] = uint8_t(c1);
      d[3] = alpha;
    }
  }
}

void RGBToHSL(int& c1, int& c2, int& c3) {
  double r = c1, g = c2, b = c3;
  double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  double l = (mx + mn) * 0.5, h = 0, s = 0;
  if (mx != mn) {
    double d = mx - mn;
    s = l >= 128 ? d * 255 / (511 - mx - mn) : d * 255 / (mx + mn);
    if (r == mx) h = (g - b) / d;
    else if (g == mx) h = (b - r) / d + 2;
    else h = (r - g) / d + 4;
    h *= 42.5;
    if (h < 0) h += 255;
    if (h > 255) h -= 255;
  }
  c1 = int(std::trunc(h));
  c2 = int(std::trunc(l));
  c3 = int(std::trunc(s));
}

int HueToValue(double m1, double m2, double t) {
  if (t > 255) t -= 255;
  if (t < 0) t += 255;
  double v;
  if (t < 42.5) v = m1 + (m2 - m1) * t * 6 / 255;
  else if (t < 127.5) v = m2;
  else if (t < 170) v = m1 + (m2 - m1) * (170 - t) * 6 / 255;
  else v = m1;
  return int(std::trunc(v * 255));
}

void HSLToRGB(int& c1, int& c2, int& c3) {
  double h = c1, l = c2, s = c3;
  if (s == 0) {
    c1 = c2 = c3 = int(l);
    return;
  }
  double m2 = l >= 128 ? (l + s - l * s / 255) / 255 : l * (255 + s) / 65025;
  double m1 = l * 2 / 255 - m2;
  c1 = HueToValue(m1, m2, h + 85);
  c2 = HueToValue(m1, m2, h);
  c3 = HueToValue(m1, m2, h - 85);
}

void InitPalette(TLogPalette& palette) {
  palette.palVersion = 0x300;
  palette.palNumEntries = 256;
  for (auto& e : palette.palPalEntry) e = MakePaletteEntry(0, 0, 0, 0);
}

void SetPaletteEntry(TLogPalette& palette, int index, uint32_t entry) {
  if (index >= 0 && index < 256) palette.palPalEntry[index] = entry;
}

std::vector<TRGBQuad> MakePalette(const TLogPalette& palette) {
  std::vector<TRGBQuad> out;
  for (int i = 0; i < std::min<int>(palette.palNumEntries, 256); ++i) {
    uint32_t e = palette.palPalEntry[i];
    TRGBQuad q;
    q.rgbRed = uint8_t(e);
    q.rgbGreen = uint8_t(e >> 8);
    q.rgbBlue = uint8_t(e >> 16);
    out.push_back(q);
  }
  return out;
}

void WriteBlock(TMemoryStream& block, TStream& stream) {
  int64_t n = block.Size();
  if (n > INT32_MAX) throw EWriteError("Block too large");
  stream.WriteInt32(int32_t(n));
  if (n) stream.WriteBuffer(block.Memory(), n);
}

void ReadBlock(TMemoryStream& block, TStream& stream) {
  int32_t n = stream.ReadInt32();
  if (n < 0 || n > stream.Size() - stream.Position()) throw EReadError("Stream read error");
  std::vector<uint8_t> bytes(static_cast<size_t>(n));
  if (n) stream.ReadBuffer(bytes.data(), n);
  block.SetSize(n);
  if (n) std::copy(bytes.begin(), bytes.end(), block.Memory());
  block.SetPosition(0);
}

void ListFiles(std::vector<std::string>& list, const std::string& mask) {
  std::string full = ExpandFileName(mask);
  std::string dir = ExtractFilePath(full);
  std::string pattern = ExtractFileName(full);
  // "*.*" is the Windows way of saying every name, those without a dot too.
  if (pattern == "*.*") pattern = "*";
  std::string prefix = ExtractFilePath(mask);
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    // Regular files only (links followed): a pipe or a device is no picture, and reading one
    // would block or never end.
    if (stat((dir + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) list.push_back(prefix + name);
  }
  closedir(d);
}

bool PrintImage(TBitmap& image) {
  IPrinterService* p = PrinterService();
  if (!p || image.Width() < 1 || image.Height() < 1) return false;
  int pw = p->PageWidth(), ph = p->PageHeight();
  if (pw < 1 || ph < 1) return false;
  // The smaller of the two scales, so that neither side runs off the page.
  double scale = std::min(double(pw) / image.Width(), double(ph) / image.Height());
  // The tiny bias keeps an exact fit such as 3 * (7 / 3) from truncating to 6.
  int tw = std::clamp(int(image.Width() * scale + 1e-9), 1, pw);
  int th = std::clamp(int(image.Height() * scale + 1e-9), 1, ph);
  p->BeginDoc();
  p->StretchDrawBitmap(TRect(0, 0, tw, th), image);
  p->EndDoc();
  return true;
}
