#include "platform/Graphics.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

#include "platform/BmpFile.h"
#include "platform/ByteOrder.h"
#include "platform/Canvas.h"
#include "platform/ImageLimits.h"
#include "platform/SysUtils.h"

std::string ImageSizeLimitText() {
  return Format("a picture is at most %d pixels on a side and %lld pixels in all (as %d x %d)",
                int(MaxImageDimension), (long long)MaxImagePixels, int(MaxPageSide), int(MaxPageSide));
}

std::string ImageSizeProblem(int64_t width, int64_t height) {
  return Format("The picture would be %lld x %lld pixels, but ", (long long)width, (long long)height) +
         ImageSizeLimitText() + ".";
}

namespace {
thread_local TPictureSizeWatch* GSizeWatch = nullptr;
}

TPictureSizeWatch::TPictureSizeWatch(TSeen seen) : FSeen(std::move(seen)), FOuter(GSizeWatch) {
  GSizeWatch = this;
}

TPictureSizeWatch::~TPictureSizeWatch() { GSizeWatch = FOuter; }

void CheckImageSize(int64_t width, int64_t height) {
  if (!ImageSizeAllowed(width, height)) throw EInvalidGraphic(ImageSizeProblem(width, height));
  if (TPictureSizeWatch* watch = GSizeWatch; watch && width > 0 && height > 0) {
    // What the watch does (releasing other pictures) checks sizes of its own.
    GSizeWatch = nullptr;
    struct Restore {
      TPictureSizeWatch* w;
      ~Restore() { GSizeWatch = w; }
    } restore{watch};
    watch->FSeen(width, height);
  }
}

// ---- TPixelBlock ------------------------------------------------------------------------

namespace {
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kMapFrom = SIZE_MAX;
#else
constexpr size_t kMapFrom = size_t(4) << 20;
#endif

uint8_t* MapZeroed(size_t n) {
  void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  return static_cast<uint8_t*>(p);
}
}  // namespace

TPixelBlock::TPixelBlock(size_t n) {
  if (n == 0) return;
  if (n >= kMapFrom) {
    FData = MapZeroed(n);
    FMapped = true;
  } else {
    FData = static_cast<uint8_t*>(std::calloc(n, 1));
    if (!FData) throw std::bad_alloc();
  }
  FSize = n;
}

TPixelBlock::TPixelBlock(const TPixelBlock& other) : TPixelBlock(other.FSize) {
  if (FSize) std::memcpy(FData, other.FData, FSize);
}

TPixelBlock& TPixelBlock::operator=(const TPixelBlock& other) {
  if (this != &other) {
    TPixelBlock copy(other);
    swap(copy);
  }
  return *this;
}

TPixelBlock::~TPixelBlock() { clear(); }

TPixelBlock TPixelBlock::Adopt(uint8_t* data, size_t n) {
  TPixelBlock b;
  b.FData = data;
  b.FSize = data ? n : 0;
  return b;
}

void TPixelBlock::clear() {
  if (FMapped) munmap(FData, FSize);
  else std::free(FData);
  FData = nullptr;
  FSize = 0;
  FMapped = false;
}

void TPixelBlock::swap(TPixelBlock& other) noexcept {
  std::swap(FData, other.FData);
  std::swap(FSize, other.FSize);
  std::swap(FMapped, other.FMapped);
}

void TPixelBlock::Resize(size_t n) {
  if (n == FSize) return;
  if (n == 0) {
    clear();
    return;
  }
  if (FMapped && n >= kMapFrom) {
    void* p = mremap(FData, FSize, n, MREMAP_MAYMOVE);
    if (p == MAP_FAILED) throw std::bad_alloc();
    FData = static_cast<uint8_t*>(p);
    FSize = n;
    return;
  }
  if (FMapped) {
    // A mapping shrunk to a small block: a copy of that small block.
    TPixelBlock other(n);
    std::memcpy(other.FData, FData, std::min(n, FSize));
    swap(other);
    return;
  }
  auto* p = static_cast<uint8_t*>(std::realloc(FData, n));
  if (!p) throw std::bad_alloc();
  FData = p;
  FSize = n;
}

int BitsPerPixelOf(TPixelFormat f) {
  switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

int64_t DibRowBytes(int64_t width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

// ---- TGraphic ----------------------------------------------------------------------------

void TGraphic::LoadFromClipboardFormat(uint16_t, const std::string& data) {
  TMemoryStream m;
  m.WriteBuffer(data.data(), int64_t(data.size()));
  m.SetPosition(0);
  LoadFromStream(m);
}

void TBitmap::LoadFromClipboardFormat(uint16_t format, const std::string& data) {
  if (format != 8 /* CF_DIB */) {
    TGraphic::LoadFromClipboardFormat(format, data);
    return;
  }
  // A file header with no pixel offset: the reader then finds the pixels after the palette.
  std::string file = "BM";
  uint64_t size = 14 + data.size();
  AppendLe32(file, uint32_t(size));
  file.append(8, '\0');
  TGraphic::LoadFromClipboardFormat(format, file + data);
}

void TGraphic::LoadFromFile(const std::string& name) {
  TMemoryStream m;
  // Regular files only, of a size a picture can have, read no further than the size they
  // state (a kernel file states none and reads on).
  const TRegularFile file = CheckRegularFile(name);
  if (!file.Regular) throw EFOpenError("Cannot open picture \"" + name + "\". " + file.Problem);
  const std::string bytes = ReadFileBytesAtMost(name, std::min(MaxPictureFileBytes, file.Size));
  m.Write(bytes.data(), int64_t(bytes.size()));
  m.SetPosition(0);
  LoadFromStream(m);
}

void TGraphic::SaveToFile(const std::string& name) const {
  TMemoryStream m;
  SaveToStream(m);
  m.SaveToFile(name);
}

void TGraphic::Assign(const TGraphic* source) {
  if (!source) throw EConvertError(std::string("Cannot assign a nil to a ") + ClassName());
  source->AssignTo(this);
}

void TGraphic::AssignTo(TGraphic* dest) const {
  throw EConvertError(std::string("Cannot assign a ") + ClassName() + " to a " +
                      (dest ? dest->ClassName() : "nil"));
}

// ---- registry ----------------------------------------------------------------------------

static std::vector<TGraphicFormat>& Formats() {
  static std::vector<TGraphicFormat> f{
      {"bmp", "Bitmaps", [] { return std::unique_ptr<TGraphic>(new TBitmap); }}};
  return f;
}

static std::string BareExt(const std::string& ext) {
  return LowerCase(!ext.empty() && ext[0] == '.' ? ext.substr(1) : ext);
}

void RegisterFileFormat(const std::string& ext, const std::string& description, TGraphicFactory factory,
                        bool writable) {
  std::string e = BareExt(ext);
  for (auto& f : Formats())
    if (f.Extension == e) {
      f.Description = description;
      f.Create = std::move(factory);
      f.Writable = writable;
      return;
    }
  Formats().push_back({e, description, std::move(factory), writable});
}

void UnregisterFileFormat(const std::string& ext) {
  std::string e = BareExt(ext);
  auto& v = Formats();
  v.erase(std::remove_if(v.begin(), v.end(), [&](const TGraphicFormat& f) { return f.Extension == e; }),
          v.end());
}

const std::vector<TGraphicFormat>& GraphicFormats() { return Formats(); }

const TGraphicFormat* GraphicFormatForExtension(const std::string& ext) {
  std::string e = BareExt(ext);
  for (auto& f : Formats())
    if (f.Extension == e) return &f;
  return nullptr;
}

std::string GraphicFilter(bool writableOnly) {
  std::string all, each;
  for (auto& f : Formats()) {
    if (writableOnly && !f.Writable) continue;
    std::string mask = "*." + f.Extension;
    all += (all.empty() ? "" : ";") + mask;
    each += "|" + f.Description + " (" + mask + ")|" + mask;
  }
  return "All (" + all + ")|" + all + each;
}

// ---- palettes ----------------------------------------------------------------------------

static const uint8_t kStd16[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                      {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                      {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                      {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

std::vector<TRGBQuad> DefaultPaletteFor(TPixelFormat f) {
  std::vector<TRGBQuad> p;
  auto add = [&](int r, int g, int b) { p.push_back(TRGBQuad{uint8_t(b), uint8_t(g), uint8_t(r), 0}); };
  if (f == pf1bit) {
    add(0, 0, 0);
    add(255, 255, 255);
  } else if (f == pf4bit || f == pf8bit) {
    for (auto& c : kStd16) add(c[0], c[1], c[2]);
    if (f == pf8bit) {
      for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
          for (int b = 0; b < 6; ++b) add(r * 51, g * 51, b * 51);
      for (int i = 1; i <= 24; ++i) add(i * 10, i * 10, i * 10);
    }
  }
  return p;
}

// ---- pixel access ------------------------------------------------------------------------

namespace {

inline uint32_t ReadPixelBGRA(const uint8_t* row, int x, TPixelFormat f, const std::vector<TRGBQuad>& pal) {
  auto fromPal = [&](unsigned i) -> uint32_t {
    if (i >= pal.size()) return 0;
    const TRGBQuad& q = pal[i];
    return uint32_t(q.rgbBlue) | uint32_t(q.rgbGreen) << 8 | uint32_t(q.rgbRed) << 16;
  };
  switch (f) {
    case pf1bit: return fromPal((row[x >> 3] >> (7 - (x & 7))) & 1);
    case pf4bit: return fromPal((x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4);
    case pf8bit: return fromPal(row[x]);
    case pf15bit: {
      unsigned w = GetLe16(row + 2 * x);
      unsigned r = (w >> 10) & 31, g = (w >> 5) & 31, b = w & 31;
      return (b << 3 | b >> 2) | (g << 3 | g >> 2) << 8 | (r << 3 | r >> 2) << 16;
    }
    case pf16bit: {
      unsigned w = GetLe16(row + 2 * x);
      unsigned r = (w >> 11) & 31, g = (w >> 5) & 63, b = w & 31;
      return (b << 3 | b >> 2) | (g << 2 | g >> 4) << 8 | (r << 3 | r >> 2) << 16;
    }
    case pf24bit: return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
    default: {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v;
    }
  }
}

// Nearest palette entry, with a small cache per conversion.
int Nearest(const std::vector<TRGBQuad>& pal, uint32_t bgr) {
  int best = 0;
  int bestD = INT32_MAX;
  int b = bgr & 255, g = (bgr >> 8) & 255, r = (bgr >> 16) & 255;
  for (size_t i = 0; i < pal.size(); ++i) {
    int db = pal[i].rgbBlue - b, dg = pal[i].rgbGreen - g, dr = pal[i].rgbRed - r;
    int d = db * db + dg * dg + dr * dr;
    if (d < bestD) {
      bestD = d;
      best = int(i);
      if (d == 0) break;
    }
  }
  return best;
}

inline void WritePixelBGRA(uint8_t* row, int x, TPixelFormat f, uint32_t v, int index) {
  unsigned b = v & 255, g = (v >> 8) & 255, r = (v >> 16) & 255;
  switch (f) {
    case pf1bit:
      if (index) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
      else row[x >> 3] &= uint8_t(~(0x80 >> (x & 7)));
      break;
    case pf4bit:
      if (x & 1) row[x >> 1] = uint8_t((row[x >> 1] & 0xF0) | (index & 15));
      else row[x >> 1] = uint8_t((row[x >> 1] & 0x0F) | (index & 15) << 4);
      break;
    case pf8bit: row[x] = uint8_t(index); break;
    case pf15bit: {
      PutLe16(row + 2 * x, uint16_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3));
      break;
    }
    case pf16bit: {
      PutLe16(row + 2 * x, uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3));
      break;
    }
    case pf24bit:
      row[3 * x] = uint8_t(b);
      row[3 * x + 1] = uint8_t(g);
      row[3 * x + 2] = uint8_t(r);
      break;
    default: std::memcpy(row + 4 * x, &v, 4); break;
  }
}

bool Indexed(TPixelFormat f) { return f == pf1bit || f == pf4bit || f == pf8bit; }

TPixelFormat Normal(TPixelFormat f) { return (f == pfDevice || f == pfCustom) ? pf32bit : f; }

}  // namespace

// ---- TBitmap -----------------------------------------------------------------------------

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat format) {
  SetPixelFormat(format);
  SetSize(width, height);
}

TBitmap::~TBitmap() = default;

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>(this);
  return *FCanvas;
}

void TBitmap::DefaultPalette() {
  if (Indexed(FFormat) && FPalette.empty()) FPalette = DefaultPaletteFor(FFormat);
}

void TBitmap::SetSize(int width, int height) {
  if (width == FWidth && height == FHeight) return;
  CheckImageSize(width, height);
  int bpp = BitsPerPixel();
  int64_t newRow = DibRowBytes(width, bpp), oldRow = RowBytes();
  TPixelBlock bits(size_t(newRow * height));
  // Keep the top-left pixels: row y from the top lives at (height - 1 - y) from the start.
  int keepRows = std::min(height, FHeight);
  int64_t keepBits = int64_t(std::min(width, FWidth)) * bpp;
  for (int y = 0; keepBits > 0 && y < keepRows; ++y) {
    const uint8_t* src = FBits.data() + (FHeight - 1 - y) * oldRow;
    uint8_t* dst = bits.data() + (height - 1 - y) * newRow;
    std::memcpy(dst, src, size_t(keepBits / 8));
    if (keepBits % 8) {
      uint8_t mask = uint8_t(0xFF00 >> (keepBits % 8));
      dst[keepBits / 8] = uint8_t(src[keepBits / 8] & mask);
    }
  }
  FBits.swap(bits);
  FWidth = width;
  FHeight = height;
  Modified = true;
}

uint8_t* TBitmap::ScanLine(int y) {
  if (y < 0 || y >= FHeight) throw EInvalidGraphicOperation("Scan line index out of range");
  return FBits.data() + int64_t(FHeight - 1 - y) * RowBytes();
}

const uint8_t* TBitmap::ScanLine(int y) const { return const_cast<TBitmap*>(this)->ScanLine(y); }

void TBitmap::SetPalette(const std::vector<TRGBQuad>& palette) {
  FPalette.assign(palette.begin(), palette.begin() + std::min<size_t>(palette.size(), 256));
}

void TBitmap::SetPixelFormat(TPixelFormat f) {
  f = Normal(f);
  if (f == FFormat) return;
  Reformat(f);
}

void TBitmap::Reformat(TPixelFormat f) {
  int newBpp = BitsPerPixelOf(f);
  int64_t newRow = DibRowBytes(FWidth, newBpp);
  // The palette stays with the bitmap through every format, so an indexed bitmap made 32-bit
  // and indexed again maps back onto its own colours; an indexed target takes the default
  // palette when the bitmap has none that fits.
  std::vector<TRGBQuad> pal = FPalette;
  if (Indexed(f)) {
    size_t cap = size_t(1) << newBpp;
    if (pal.empty() || pal.size() > cap) pal = DefaultPaletteFor(f);
  }
  int64_t oldRow = RowBytes();
  if (f == pf32bit && (Indexed(FFormat) || FFormat == pf24bit)) {
    // The common way in of a decoded picture: an indexed pixel through a table of the
    // palette, alpha 0 as in the general loop below. The block grows in place and is widened
    // from its end, the last row first and each row from its right: a pixel's 32-bit place
    // never lies below its own narrow bytes, so nothing is overwritten before it is read,
    // and the picture never needs its narrow and its wide copy at once.
    uint32_t table[256] = {};
    for (size_t i = 0; i < FPalette.size() && i < 256; ++i)
      table[i] = uint32_t(FPalette[i].rgbBlue) | uint32_t(FPalette[i].rgbGreen) << 8 |
                 uint32_t(FPalette[i].rgbRed) << 16;
    FBits.Resize(size_t(newRow * FHeight));
    uint8_t* base = FBits.data();
    for (int64_t y = int64_t(FHeight) - 1; y >= 0; --y) {
      const uint8_t* src = base + y * oldRow;
      uint8_t* dst = base + y * newRow;
      for (int64_t x = int64_t(FWidth) - 1; x >= 0; --x) {
        uint32_t v;
        switch (FFormat) {
          case pf1bit: v = table[(src[x >> 3] >> (7 - (x & 7))) & 1]; break;
          case pf4bit: v = table[(x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4]; break;
          case pf8bit: v = table[src[x]]; break;
          default:
            v = uint32_t(src[3 * x]) | uint32_t(src[3 * x + 1]) << 8 | uint32_t(src[3 * x + 2]) << 16;
            break;
        }
        std::memcpy(dst + 4 * x, &v, 4);
      }
    }
    FPalette.swap(pal);
    FFormat = f;
    Modified = true;
    return;
  }
  TPixelBlock bits(size_t(newRow * FHeight));
  uint32_t lastV = 0xFFFFFFFF;
  int lastI = 0;
  for (int y = 0; y < FHeight; ++y) {
    const uint8_t* src = FBits.data() + y * oldRow;
    uint8_t* dst = bits.data() + y * newRow;
    for (int x = 0; x < FWidth; ++x) {
      uint32_t v = ReadPixelBGRA(src, x, FFormat, FPalette);
      if (FFormat != pf32bit) v &= 0x00FFFFFF;  // a pixel that gains a fourth byte gets 0
      int index = 0;
      if (Indexed(f)) {
        if ((v & 0xFFFFFF) != lastV) {
          lastV = v & 0xFFFFFF;
          lastI = Nearest(pal, lastV);
        }
        index = lastI;
      }
      WritePixelBGRA(dst, x, f, v, index);
    }
  }
  FBits.swap(bits);
  FPalette.swap(pal);
  FFormat = f;
  Modified = true;
}

int TBitmap::NearestPaletteIndex(TColor c) const {
  c = ColorToRGB(c);
  return Nearest(FPalette,
                 uint32_t(GetBValue(c)) | uint32_t(GetGValue(c)) << 8 | uint32_t(GetRValue(c)) << 16);
}

TColor TBitmap::GetPixelColor(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clNone;
  uint32_t v = ReadPixelBGRA(ScanLine(y), x, FFormat, FPalette);
  return RGB(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v));
}

void TBitmap::SetPixelColor(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  c = ColorToRGB(c);
  uint32_t v = uint32_t(GetBValue(c)) | uint32_t(GetGValue(c)) << 8 | uint32_t(GetRValue(c)) << 16;
  WritePixelBGRA(ScanLine(y), x, FFormat, v, Indexed(FFormat) ? Nearest(FPalette, v) : 0);
}

TColor TBitmap::TransparentColor() const {
  if (FTransparentMode == tmFixed && FTransparentColor != clDefault) return FTransparentColor;
  if (FWidth == 0 || FHeight == 0) return clDefault;
  return GetPixelColor(0, FHeight - 1);
}

void TBitmap::SetTransparentColor(TColor c) {
  FTransparentColor = c;
  FTransparentMode = c == clDefault ? tmAuto : tmFixed;
}

void TBitmap::SetTransparentMode(TTransparentMode m) {
  FTransparentMode = m;
  if (m == tmAuto) FTransparentColor = clDefault;
  else if (FTransparentColor == clDefault) FTransparentColor = TransparentColor();
}

void TBitmap::Draw(TCanvas& canvas, const TRect& r) const { canvas.StretchDraw(r, this); }

void TBitmap::Assign(const TGraphic* source) {
  if (source == this) return;
  if (!source) {
    FBits.clear();
    FWidth = FHeight = 0;
    Modified = true;
    return;
  }
  auto* b = dynamic_cast<const TBitmap*>(source);
  if (!b) {
    TGraphic::Assign(source);
    return;
  }
  FBits = b->FBits;
  FPalette = b->FPalette;
  FWidth = b->FWidth;
  FHeight = b->FHeight;
  FFormat = b->FFormat;
  FTransparent = b->FTransparent;
  FTransparentColor = b->FTransparentColor;
  FTransparentMode = b->FTransparentMode;
  Modified = true;
}

void TBitmap::TakeBlock(TPixelBlock& block, int width, int height, TPixelFormat format) {
  format = Normal(format);
  CheckImageSize(width, height);
  if (block.size() != size_t(DibRowBytes(width, BitsPerPixelOf(format)) * height))
    throw EInvalidGraphicOperation("The pixel block does not fit the bitmap's size");
  FBits.swap(block);
  block.clear();
  FPalette.clear();
  FWidth = width;
  FHeight = height;
  FFormat = format;
  Modified = true;
}

void TBitmap::TakePixels(TBitmap& other) {
  FBits.swap(other.FBits);
  FPalette.swap(other.FPalette);
  std::swap(FWidth, other.FWidth);
  std::swap(FHeight, other.FHeight);
  std::swap(FFormat, other.FFormat);
  Modified = true;
}

void TBitmap::LoadFromStream(TStream& s) {
  int64_t n = s.Size() - s.Position();
  if (n < 0) n = 0;
  if (n > int64_t(1) << 31) throw EInvalidGraphic("Bitmap file is too large");
  int64_t start = s.Position();
  std::string data(size_t(n), '\0');
  s.ReadBuffer(data.data(), n);
  TBitmap fresh;
  ReadBmp(reinterpret_cast<const uint8_t*>(data.data()), data.size(), fresh);
  TakePixels(fresh);
  // Leave the stream after the file, as its header gives the file's size, so that data
  // following a bitmap in a stream can be read on.
  uint32_t fileSize = GetLe32(data.data() + 2);
  if (fileSize >= 14 && fileSize < uint64_t(n)) s.SetPosition(start + fileSize);
}

void TBitmap::SaveToStream(TStream& s) const {
  std::string bytes = WriteBmp(*this);
  s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
}
