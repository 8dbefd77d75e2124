#include "gif/Pxgif.h"

#include <algorithm>
#include <cstring>

#include "gif/Anifile.h"
#include "gif/Maxmin.h"
#include "gif/Pxgraph.h"
#include "gif/Vclutils.h"
#include "platform/ByteOrder.h"
#include "platform/Canvas.h"
#include "platform/SysUtils.h"

bool GIFLoadCorrupted = true;

std::string GIFVersionName(TGIFVersion v) {
  switch (v) {
    case gv87a: return "87a";
    case gv89a: return "89a";
    default: return "";
  }
}

std::string GIFErrorText(int id) {
  switch (id) {
    case 61092: return "Unknown GIF version";
    case 61093: return "GIF image encoding error";
    case 61094: return "GIF encoded data is corrupt";
    case 61095: return "GIF code size not in range 2 to 9";
    case 61096: return "Wrong number of colors; must be a power of 2";
    case 61097: return "Unrecognized extension block: %.2x";
    case 61098: return "No GIF Data to write";
    case 61099: return "Cannot change the Size of a GIF image";
    case 61100: return "CompuServe GIF Image";
    case 65440: return "Stream read error";
    default: return "";
  }
}

void GIFError(int id) { throw EInvalidGraphicOperation(GIFErrorText(id)); }

static const uint8_t kLabels[4] = {0xF9, 0x01, 0xFF, 0xFE};
uint8_t ExtensionLabel(int kind) { return kind >= 0 && kind < 4 ? kLabels[kind] : 0; }

namespace {

// Reads over the bytes of the whole input; a read past the end is the stream read error.
struct TCursor {
  const uint8_t* p;
  size_t n, pos = 0;
  bool AtEnd() const { return pos >= n; }
  size_t Left() const { return n - pos; }
  uint8_t Byte() {
    if (pos >= n) GIFError(65440);
    return p[pos++];
  }
  uint16_t Word() {
    uint8_t b[2];
    Read(b, 2);
    return GetLe16(b);
  }
  void Read(void* dst, size_t count) {
    if (count > Left()) GIFError(65440);
    if (count) std::memcpy(dst, p + pos, count);
    pos += count;
  }
  // Skips zero bytes; the first non-zero byte, 0 at the end.
  uint8_t Separator() {
    while (pos < n) {
      uint8_t b = p[pos++];
      if (b) return b;
    }
    return 0;
  }
};

int BitsForCount(int count) {
  int b = 1;
  while ((1 << b) < count && b < 8) ++b;
  return b;
}

// The power of two of a colour count that must be 2, 4, ..., 256.
int ExactBits(int count) {
  for (int b = 1; b <= 8; ++b)
    if ((1 << b) == count) return b;
  GIFError(61096);
}

TColor MapColor(const TGIFColorTable& t, int i) {
  return RGB(t.Colors[i].Red, t.Colors[i].Green, t.Colors[i].Blue);
}

int FindColor(const TGIFColorTable& t, TColor c) {
  if (c == clNone) return -1;
  TColor rgb = ColorToRGB(c);
  for (int i = 0; i < t.Count; ++i)
    if (MapColor(t, i) == rgb) return i;
  return -1;
}

// A transparent entry whose colour another entry shares is given a colour of its own, so
// that keying by colour leaves out only the transparent index.
void MakeTransparentUnique(TGIFColorTable& t, int index) {
  auto used = [&](uint8_t r, uint8_t g, uint8_t b, int skip) {
    for (int i = 0; i < t.Count; ++i)
      if (i != skip && t.Colors[i].Red == r && t.Colors[i].Green == g && t.Colors[i].Blue == b) return true;
    return false;
  };
  TGIFColorItem& e = t.Colors[index];
  if (!used(e.Red, e.Green, e.Blue, index)) return;
  for (int k = 1; k < 65536; ++k) {
    uint8_t b = uint8_t(e.Blue + (k & 0xFF)), g = uint8_t(e.Green + (k >> 8));
    if (!used(e.Red, g, b, -1)) {
      e.Green = g;
      e.Blue = b;
      return;
    }
  }
}

uint8_t HeaderByte(const TExtension& e, size_t i) { return i < e.Header.size() ? e.Header[i] : 0; }

void ReadSubBlocks(TCursor& c, std::vector<std::string>* lines) {
  while (!c.AtEnd()) {
    uint8_t len = c.Byte();
    if (!len) break;
    std::string s(len, '\0');
    c.Read(s.data(), len);
    if (lines) lines->push_back(std::move(s));
  }
}

// One extension after its '!'; nullptr for an unknown label that was skipped.
std::unique_ptr<TExtension> ReadExtension(TCursor& c) {
  uint8_t label = c.Byte();
  int kind = -1;
  for (int k = 0; k < 4; ++k)
    if (kLabels[k] == label) kind = k;
  if (kind < 0) {
    if (!GIFLoadCorrupted)
      throw EInvalidGraphicOperation(Format("Unrecognized extension block: %.2X", label));
    ReadSubBlocks(c, nullptr);
    return nullptr;
  }
  auto e = std::make_unique<TExtension>();
  e->Kind = uint8_t(kind);
  if (kind != ekComment) {
    // The fixed part is read by its own block-size byte, whatever the kind expects.
    uint8_t size = c.Byte();
    std::vector<uint8_t> fixed(size);
    c.Read(fixed.data(), size);
    e->Header.push_back(size);
    e->Header.insert(e->Header.end(), fixed.begin(), fixed.begin() + std::min<size_t>(size, 12));
  }
  e->Data = std::make_unique<std::vector<std::string>>();
  ReadSubBlocks(c, e->Data.get());
  return e;
}

void WriteSubBlocks(TStream& s, const std::vector<std::string>* lines) {
  if (lines)
    for (const std::string& l : *lines)
      for (size_t at = 0; at < l.size(); at += 255) {
        size_t n = std::min<size_t>(255, l.size() - at);
        s.WriteByte(uint8_t(n));
        s.WriteBuffer(l.data() + at, int64_t(n));
      }
  s.WriteByte(0);
}

// Rows in the order the four interlace passes store them.
std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(size_t(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = start[pass]; y < height; y += step[pass]) rows.push_back(y);
  return rows;
}

}  // namespace

// ---------------------------------------------------------------- extensions

void TExtension::Assign(const TExtension& src) {
  Kind = src.Kind;
  Header = src.Header;
  if (src.Data) {
    if (!Data) Data = std::make_unique<std::vector<std::string>>();
    *Data = *src.Data;
  }
}

bool TExtension::IsLoopExtension() const {
  if (Kind != ekApplication || !Data || Data->empty()) return false;
  if (Header.size() != 12 || Header[0] != 11) return false;
  const char* id = reinterpret_cast<const char*>(Header.data() + 1);
  if (std::memcmp(id, "NETSCAPE2.0", 11) != 0 && std::memcmp(id, "ANIMEXTS1.0", 11) != 0) return false;
  const std::string& l = (*Data)[0];
  return l.size() >= 3 && l[0] == 1;
}

// ---------------------------------------------------------------- LZW decoder

bool DecodeLZW(const uint8_t* data, size_t size, int width, int height, int bitsPerPixel, bool interlaced,
               std::vector<uint8_t>& indices, const TRowsDone& rowDone) {
  indices.assign(size_t(int64_t(width) * height), 0);
  if (width <= 0 || height <= 0) return true;
  auto damaged = [](int id) {
    if (!GIFLoadCorrupted) GIFError(id);
    return false;
  };
  if (size == 0) return damaged(65440);
  int minSize = data[0];
  bool clamped = false;
  if (minSize < 2 || minSize > 9) {
    if (!GIFLoadCorrupted) GIFError(61095);
    clamped = true;
    minSize = std::clamp(minSize, 2, 9);
  }
  // The sub-blocks joined; a length byte past the end keeps the bytes that are there.
  std::vector<uint8_t> bytes;
  for (size_t at = 1; at < size;) {
    size_t len = data[at++];
    if (!len) break;
    len = std::min(len, size - at);
    bytes.insert(bytes.end(), data + at, data + at + len);
    at += len;
  }
  const size_t totalBits = bytes.size() * 8;
  size_t bitPos = 0;
  constexpr int kNoData = -1;
  auto readCode = [&](int codeSize) -> int {
    if (bitPos + size_t(codeSize) > totalBits) return kNoData;
    uint32_t v = 0;
    size_t byte = bitPos >> 3;
    for (int i = 0; i < 3 && byte + size_t(i) < bytes.size(); ++i) v |= uint32_t(bytes[byte + i]) << (8 * i);
    bitPos += size_t(codeSize);
    return int((v >> (bitPos - size_t(codeSize) - byte * 8)) & ((1u << codeSize) - 1));
  };

  const std::vector<int> rows = RowOrder(height, interlaced);
  size_t rowIndex = 0;
  int col = 0;
  const int pixelMask = (1 << bitsPerPixel) - 1;
  auto emit = [&](int root) {
    if (rowIndex >= rows.size()) return;
    indices[size_t(rows[rowIndex]) * size_t(width) + size_t(col)] = uint8_t(root & pixelMask);
    if (++col == width) {
      col = 0;
      ++rowIndex;
      if (rowDone) rowDone(int(rowIndex));
    }
  };

  const int clear = 1 << minSize, end = clear + 1;
  std::vector<uint16_t> prefix(4096, 0), suffix(4096, 0), stack;
  stack.reserve(4097);
  int codeSize = minSize + 1, next = clear + 2, old = -1, first = 0;
  while (rowIndex < rows.size()) {
    int code = readCode(codeSize);
    if (code == kNoData) return damaged(65440);
    if (code == clear) {
      codeSize = minSize + 1;
      next = clear + 2;
      old = -1;
      continue;
    }
    // An End code before the last pixel leaves the rest of the picture undrawn: damaged,
    // as giflib and gifsicle call it too.
    if (code == end) return rowIndex >= rows.size() || damaged(65440);
    if (old < 0) {
      // The first code of the data, or the first after a Clear: a root.
      if (code > end) return damaged(61094);
      first = code;
      emit(code);
      old = code;
      if (clamped) return false;
      continue;
    }
    if (code > next) return damaged(61094);
    int c = code;
    stack.clear();
    if (code == next) {
      stack.push_back(uint16_t(first));
      c = old;
    }
    while (c > end) {
      stack.push_back(suffix[c]);
      c = prefix[c];
    }
    if (c == clear || c == end) return damaged(61094);
    first = c;
    stack.push_back(uint16_t(c));
    for (size_t i = stack.size(); i-- > 0;) emit(stack[i]);
    if (next < 4096) {
      prefix[next] = uint16_t(old);
      suffix[next] = uint16_t(first);
      ++next;
      if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
    }
    old = code;
  }
  return true;
}

// ---------------------------------------------------------------- LZW encoder

void EncodeLZW(const uint8_t* indices, int width, int height, int bitCount, TStream& out,
               const TRowsDone& rowDone) {
  int initial = bitCount + 1;
  if (initial == 2) initial = 3;
  out.WriteByte(uint8_t(initial - 1));
  const int clear = 1 << (initial - 1), end = clear + 1;
  int last = end, capacity = 1 << initial, codeSize = initial;
  // child[code * clear + pixel]: the code of that string extended by pixel, 0 for none.
  std::vector<uint16_t> child(size_t(4096) * size_t(clear), 0);

  std::vector<uint8_t> packed;
  uint32_t acc = 0;
  int accBits = 0;
  auto put = [&](int code) {
    acc |= uint32_t(code) << accBits;
    accBits += codeSize;
    while (accBits >= 8) {
      packed.push_back(uint8_t(acc));
      acc >>= 8;
      accBits -= 8;
    }
  };
  put(clear);
  bool pending = false;
  int cur = 0;
  const int64_t count = int64_t(width) * height;
  int64_t rowEnd = width;
  int rows = 0;
  for (int64_t i = 0; i < count; ++i) {
    if (i == rowEnd) {
      rowEnd += width;
      if (rowDone) rowDone(++rows);
    }
    int p = indices[i];
    if (!pending) {
      cur = p;
      pending = true;
      continue;
    }
    uint16_t& slot = child[size_t(cur) * size_t(clear) + size_t(p)];
    if (slot) {
      cur = slot;
      continue;
    }
    put(cur);
    slot = uint16_t(++last);
    cur = p;
    if (last >= capacity) {
      capacity *= 2;
      ++codeSize;
    } else if (last >= 4094) {
      put(cur);
      put(clear);
      pending = false;
      last = end;
      codeSize = initial;
      capacity = 1 << initial;
      std::fill(child.begin(), child.end(), 0);
    }
  }
  if (rowDone && count > 0) rowDone(height);
  // A Clear that the last pixel triggered leaves no code pending.
  if (pending) put(cur);
  put(end);
  if (accBits > 0) packed.push_back(uint8_t(acc));
  for (size_t at = 0; at < packed.size(); at += 255) {
    size_t n = std::min<size_t>(255, packed.size() - at);
    out.WriteByte(uint8_t(n));
    out.WriteBuffer(packed.data() + at, int64_t(n));
  }
  out.WriteByte(0);
}

// ---------------------------------------------------------------- progress

void TGIFImage::ProgressShare(int64_t done, int64_t total) {
  if (!OnProgress || !FProgressRun || total <= 0) return;
  double at = FProgressFrom +
              (FProgressTo - FProgressFrom) * double(std::clamp<int64_t>(done, 0, total)) / double(total);
  DoProgress(psRunning, uint8_t(std::clamp(at, 0.0, 100.0)), FProgressMessage);
}

template <typename Work>
void TGIFImage::ProgressRun(const char* message, Work&& work) {
  if (!OnProgress || FProgressRun) {
    work();
    return;
  }
  FProgressRun = true;
  FProgressFrom = 0;
  FProgressTo = 100;
  FProgressMessage = message;
  try {
    DoProgress(psStarting, 0, message);
    work();
  } catch (const std::exception& e) {
    FProgressRun = false;
    DoProgress(psEnding, 0, e.what());
    throw;
  }
  FProgressRun = false;
  DoProgress(psEnding, 100, message);
}

// ---------------------------------------------------------------- frames

TGIFFrame::TGIFFrame(TGIFImage* owner) : FOwner(owner) { NewImage(); }
TGIFFrame::~TGIFFrame() = default;

void TGIFFrame::NewImage() {
  FItem = std::make_shared<TGIFItem>();
  Grayscale = false;
  Corrupted = false;
  FTransparentColor = clNone;
  FTopLeft = {0, 0};
  Interlaced = false;
  LocalMap = false;
  FAnimateInterval = 0;
  FDisposal = dmUndefined;
}

void TGIFFrame::NewBitmap() { FBitmap = std::make_unique<TBitmap>(); }

bool TGIFFrame::HasImageData() const { return FItem->ImageData && FItem->ImageData->Size() > 0; }

void TGIFFrame::Decode(TBitmap& out) {
  TGIFItem& it = *FItem;
  const int bpp = it.BitsPerPixel;
  if (bpp < 1 || bpp > 8) GIFError(61096);
  const TPixelFormat pf = bpp == 1 ? pf1bit : bpp <= 4 ? pf4bit : pf8bit;
  const int bitCount = BitsPerPixelOf(pf);
  CheckImageSize(it.Width, it.Height);
  std::vector<TRGBQuad> palette(size_t(1) << bitCount, TRGBQuad{128, 128, 128, 0});
  for (int i = 0; i < it.ColorMap.Count && i < int(palette.size()); ++i)
    palette[size_t(i)] = {it.ColorMap.Colors[i].Blue, it.ColorMap.Colors[i].Green, it.ColorMap.Colors[i].Red,
                          0};
  TBitmap bmp(0, 0, pf);
  bmp.SetPalette(palette);
  if (it.Width > 0 && it.Height > 0) {
    std::vector<uint8_t> indices;
    TMemoryStream& d = *it.ImageData;
    bool whole = true;
    auto decode = [&] {
      whole = DecodeLZW(d.Memory(), size_t(d.Size()), it.Width, it.Height, bpp, Interlaced, indices,
                        [&](int rows) {
                          if (FOwner) FOwner->ProgressShare(rows, it.Height);
                        });
    };
    if (FOwner) FOwner->ProgressRun("Decoding", decode);
    else decode();
    if (!whole) Corrupted = true;
    bmp.SetSize(it.Width, it.Height);
    for (int y = 0; y < it.Height; ++y) {
      uint8_t* row = bmp.ScanLine(y);
      const uint8_t* src = indices.data() + size_t(y) * size_t(it.Width);
      for (int x = 0; x < it.Width; ++x) {
        uint8_t v = src[x];
        if (bitCount == 8) row[x] = v;
        else if (bitCount == 4) row[x >> 1] |= uint8_t((x & 1) ? v : v << 4);
        else row[x >> 3] |= uint8_t(v << (7 - (x & 7)));
      }
    }
  }
  out.TakePixels(bmp);
}

TBitmap& TGIFFrame::GetBitmap() {
  if (FBitmap && !FBitmap->Empty()) return *FBitmap;
  auto b = std::make_unique<TBitmap>();
  if (HasImageData()) Decode(*b);
  FBitmap = std::move(b);
  return *FBitmap;
}

int TGIFFrame::Width() { return (FBitmap || HasImageData()) ? GetBitmap().Width() : 0; }
int TGIFFrame::Height() { return (FBitmap || HasImageData()) ? GetBitmap().Height() : 0; }

int TGIFFrame::ColorCount() const {
  if (FItem->ColorMap.Count > 0) return FItem->ColorMap.Count;
  if (FBitmap) return PaletteEntries(*FBitmap);
  return 0;
}

int TGIFFrame::TransparentIndex() const { return FindColor(FItem->ColorMap, FTransparentColor); }

void TGIFFrame::SetTransparentColor(TColor c) {
  if (c == FTransparentColor) return;
  FTransparentColor = c;
  if (c != clNone && FOwner) FOwner->Version = gv89a;
  if (FOwner) FOwner->Changed();
}

void TGIFFrame::SetAnimateInterval(uint32_t ms) {
  if (ms == FAnimateInterval) return;
  FAnimateInterval = ms;
  if (ms && FOwner) FOwner->Version = gv89a;
  if (FOwner) FOwner->Changed();
}

void TGIFFrame::SetDisposalMethod(TDisposalMethod d) {
  if (d == FDisposal) return;
  FDisposal = d;
  if (d != dmUndefined && FOwner) FOwner->Version = gv89a;
  if (FOwner) FOwner->Changed();
}

void TGIFFrame::SetTopLeft(TPoint p) {
  if (p.X == FTopLeft.X && p.Y == FTopLeft.Y) return;
  FTopLeft = p;
  if (FOwner) {
    FOwner->FScreenWidth = std::max(FOwner->FScreenWidth, p.X + FItem->Width);
    FOwner->FScreenHeight = std::max(FOwner->FScreenHeight, p.Y + FItem->Height);
    FOwner->Changed();
  }
}

std::vector<std::string>* TGIFFrame::FindComment(bool create) {
  for (size_t i = FExtensions.size(); i-- > 0;)
    if (FExtensions[i]->Kind == ekComment) {
      if (!FExtensions[i]->Data) FExtensions[i]->Data = std::make_unique<std::vector<std::string>>();
      return FExtensions[i]->Data.get();
    }
  if (!create) return nullptr;
  auto e = std::make_unique<TExtension>();
  e->Kind = ekComment;
  e->Data = std::make_unique<std::vector<std::string>>();
  FExtensions.push_back(std::move(e));
  return FExtensions.back()->Data.get();
}

void TGIFFrame::Assign(const TObject* source) {
  if (!source) {
    NewImage();
    FBitmap.reset();
  } else if (auto f = dynamic_cast<const TGIFFrame*>(source)) {
    if (f != this) {
      FItem = f->FItem;
      LocalMap = f->FOwner == FOwner ? f->LocalMap : true;
      FTopLeft = f->FTopLeft;
      Interlaced = f->Interlaced;
      if (f->FBitmap) {
        NewBitmap();
        FBitmap->Assign(f->FBitmap.get());
      }
      FTransparentColor = f->FTransparentColor;
      FAnimateInterval = f->FAnimateInterval;
      FDisposal = f->FDisposal;
      Grayscale = f->Grayscale;
      Corrupted = f->Corrupted;
      auto* c = const_cast<TGIFFrame*>(f)->FindComment(false);
      if (c && !c->empty()) SetComment(*c);
    }
  } else if (auto g = dynamic_cast<const TGIFImage*>(source)) {
    auto& gi = const_cast<TGIFImage&>(*g);
    if (gi.Count() == 0) Assign(nullptr);
    else Assign(&gi.Frame(std::max(gi.FrameIndex(), 0)));
  } else if (auto gr = dynamic_cast<const TGraphic*>(source)) {
    if (gr->Empty()) {
      Assign(nullptr);
    } else {
      NewImage();
      NewBitmap();
      try {
        FBitmap->Assign(gr);
      } catch (const EConvertError&) {
        // A picture that a bitmap cannot take (an icon) is drawn onto magenta.
        NewBitmap();
        TCanvas& c = FBitmap->Canvas();
        c.Brush.SetColor(TColor(0xFF00FF));
        FBitmap->SetSize(gr->Width(), gr->Height());
        c.FillRect(TRect(0, 0, gr->Width(), gr->Height()));
        c.Draw(0, 0, gr);
      }
      if (gr->Transparent()) {
        if (auto b = dynamic_cast<const TBitmap*>(gr)) FTransparentColor = b->TransparentColor();
        else FTransparentColor = FBitmap->Canvas().GetNearestColor(FBitmap->Canvas().Brush.Color());
      }
    }
  } else {
    throw EConvertError("Cannot assign to a TGIFFrame");
  }
  if (FOwner) FOwner->UpdateScreenSize();
}

void TGIFFrame::AssignTo(TGraphic* dest) {
  // A picture takes this frame alone, with its own size and colours.
  if (auto g = dynamic_cast<TGIFImage*>(dest)) {
    g->Assign(*this);
    return;
  }
  TBitmap& b = GetBitmap();
  dest->Assign(&b);
  if (auto db = dynamic_cast<TBitmap*>(dest); db && FTransparentColor != clNone) {
    db->SetTransparentColor(db->Canvas().GetNearestColor(ColorToRGB(FTransparentColor)));
    db->SetTransparent(true);
  }
}

void TGIFFrame::Draw(TCanvas& canvas, const TRect& r, bool transparent) {
  TBitmap& b = GetBitmap();
  if (transparent && FTransparentColor != clNone)
    StretchBitmapRectTransparent(canvas, r.Left, r.Top, WidthOf(r), HeightOf(r),
                                 TRect(0, 0, b.Width(), b.Height()), b, FTransparentColor);
  else canvas.StretchDraw(r, &b);
}

void TGIFFrame::LoadFromStream(TMemoryStream& s) {
  TCursor c{s.Memory(), size_t(s.Size()), size_t(s.Position())};
  auto data = std::make_unique<TMemoryStream>();
  TGIFItem& it = *FItem;
  int left = c.Word(), top = c.Word(), w = c.Word(), h = c.Word();
  uint8_t packed = c.Byte();
  Interlaced = (packed & 0x40) != 0;
  if (packed & 0x80) {
    it.BitsPerPixel = uint8_t((packed & 7) + 1);
    LocalMap = true;
    it.ColorMap = {};
    it.ColorMap.Count = 1 << it.BitsPerPixel;
    for (int i = 0; i < it.ColorMap.Count; ++i) {
      it.ColorMap.Colors[i].Red = c.Byte();
      it.ColorMap.Colors[i].Green = c.Byte();
      it.ColorMap.Colors[i].Blue = c.Byte();
    }
  } else {
    LocalMap = false;
    it.ColorMap = {};
  }
  bool damaged = false;
  if (c.AtEnd()) {
    damaged = true;
  } else {
    data->WriteByte(c.Byte());
    while (!c.AtEnd()) {
      uint8_t len = c.Byte();
      if (len > c.Left()) {
        damaged = true;
        c.pos = c.n;
        break;
      }
      data->WriteByte(len);
      if (!len) break;
      data->WriteBuffer(c.p + c.pos, len);
      c.pos += len;
    }
  }
  s.SetPosition(int64_t(c.pos));
  if (damaged) {
    if (!GIFLoadCorrupted) GIFError(65440);
    Corrupted = true;
  }
  FTopLeft = {left, top};
  if (w == 0 && FOwner) w = FOwner->FScreenWidth;
  if (h == 0 && FOwner) h = FOwner->FScreenHeight;
  it.Width = w;
  it.Height = h;
  it.PackedFields = packed;
  if (!LocalMap && FOwner) it.ColorMap = FOwner->FImage->ColorMap;
  it.ImageData = std::move(data);

  FAnimateInterval = 0;
  for (auto& e : FExtensions) {
    if (e->Kind != ekGraphicControl) continue;
    uint8_t p = HeaderByte(*e, 1);
    if (p & 1) {
      int index = HeaderByte(*e, 4);
      if (index < it.ColorMap.Count) {
        MakeTransparentUnique(it.ColorMap, index);
        FTransparentColor = MapColor(it.ColorMap, index);
      }
    } else {
      FTransparentColor = clNone;
    }
    uint32_t delay = uint32_t(HeaderByte(*e, 2) | (HeaderByte(*e, 3) << 8));
    FAnimateInterval = std::max(delay * 10, FAnimateInterval);
    FDisposal = TDisposalMethod((p >> 2) & 7);
  }
}

void TGIFFrame::SaveToBitmapStream(TStream& s) {
  s.SetSize(0);
  GetBitmap().SaveToStream(s);
  s.SetPosition(0);
}

void TGIFFrame::GrayscaleImage(bool forceEncoding) {
  if (Grayscale || (!FBitmap && !HasImageData())) return;
  auto grey = [](TColor c) {
    TColor rgb = ColorToRGB(c);
    int r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
    uint8_t v = uint8_t((77 * r + 150 * g + 29 * b) >> 8);
    return RGB(v, v, v);
  };
  if (HasImageData() && FItem->ColorMap.Count > 0) {
    FBitmap.reset();
    auto item = std::make_shared<TGIFItem>();
    item->ImageData = std::make_unique<TMemoryStream>();
    FItem->ImageData->SaveToStream(*item->ImageData);
    item->Width = FItem->Width;
    item->Height = FItem->Height;
    item->PackedFields = FItem->PackedFields;
    item->BitsPerPixel = FItem->BitsPerPixel;
    item->ColorMap = FItem->ColorMap;
    FItem = item;
    int ti = TransparentIndex();
    for (int i = 0; i < FItem->ColorMap.Count; ++i) {
      TColor g = grey(MapColor(FItem->ColorMap, i));
      FItem->ColorMap.Colors[i] = {uint8_t(g), uint8_t(g), uint8_t(g)};
    }
    FTransparentColor = ti >= 0 ? MapColor(FItem->ColorMap, ti) : clNone;
    Grayscale = true;
    try {
      GetBitmap();
    } catch (const EAbort&) {}
    return;
  }
  auto stream = BitmapToMemoryStream(GetBitmap(), pf8bit, mmGrayscale);
  FItem = std::make_shared<TGIFItem>();
  if (forceEncoding) EncodeBitmapStream(*stream);
  Grayscale = true;
  if (FTransparentColor != clNone) FTransparentColor = grey(FTransparentColor);
  stream->SetPosition(0);
  FBitmap->LoadFromStream(*stream);
}

// ---------------------------------------------------------------- frame writing

void TGIFFrame::UpdateExtensions() {
  TExtension* gce = nullptr;
  for (auto& e : FExtensions)
    if (e->Kind == ekGraphicControl) {
      gce = e.get();
      break;
    }
  if (!gce && (FAnimateInterval || FTransparentColor != clNone || FDisposal != dmUndefined)) {
    auto e = std::make_unique<TExtension>();
    e->Kind = ekGraphicControl;
    e->Header = {4, 0, 0, 0, 0};
    gce = e.get();
    FExtensions.push_back(std::move(e));
  }
  if (gce) {
    gce->Header.resize(std::max<size_t>(gce->Header.size(), 5));
    gce->Header[0] = 4;
    uint32_t delay = std::min<uint32_t>(FAnimateInterval / 10, 0xFFFF);
    PutLe16(&gce->Header[2], uint16_t(delay));
    int ti = TransparentIndex();
    uint8_t p = gce->Header[1];
    if (ti >= 0) {
      gce->Header[4] = uint8_t(ti);
      p |= 1;
    } else {
      p &= uint8_t(~1);
    }
    gce->Header[1] = uint8_t((p & 0xE3) | (uint8_t(FDisposal) << 2));
    gce->Header.resize(5);
  }
  for (size_t i = FExtensions.size(); i-- > 0;) {
    auto& e = FExtensions[i];
    if (e->Kind == ekComment && (!e->Data || e->Data->empty()))
      FExtensions.erase(FExtensions.begin() + std::ptrdiff_t(i));
  }
  if (!FExtensions.empty() && FOwner) FOwner->Version = gv89a;
}

void TGIFFrame::EncodeRasterData() {
  if (!FBitmap || FBitmap->Empty()) GIFError(61098);
  auto work = [&] {
    std::unique_ptr<TMemoryStream> s;
    TPixelFormat pf = FBitmap->PixelFormat();
    if (pf == pf1bit || pf == pf4bit || pf == pf8bit) {
      s = std::make_unique<TMemoryStream>();
      FBitmap->SaveToStream(*s);
      s->SetPosition(0);
      EncodeBitmapStream(*s);
      return;
    }
    TMappingMethod m = Grayscale ? mmGrayscale : DefaultMappingMethod;
    // Reducing the colours takes about two thirds of a deep frame's encoding, the LZW coding
    // of its rows the rest: each reports in its part of the frame's share.
    TGIFImage* o = FOwner;
    const double from = o ? o->FProgressFrom : 0, to = o ? o->FProgressTo : 0;
    const double mid = from + (to - from) * 2 / 3;
    struct Restore {
      TGIFImage* o;
      double from, to;
      ~Restore() {
        if (o) o->FProgressFrom = from, o->FProgressTo = to;
      }
    } restore{o, from, to};
    if (o) o->FProgressTo = mid;
    s = BitmapToMemoryStream(*FBitmap, pf8bit, m, [&](double share) {
      if (o) o->ProgressShare(int64_t(share * 1e6), 1000000);
    });
    if (m == mmGrayscale) Grayscale = true;
    if (s->Size() == 0) FBitmap->SaveToStream(*s);
    s->SetPosition(0);
    if (o) o->FProgressFrom = mid, o->FProgressTo = to;
    EncodeBitmapStream(*s);
  };
  if (FOwner) FOwner->ProgressRun("Encoding", work);
  else work();
}

void TGIFFrame::EncodeBitmapStream(TMemoryStream& s) {
  TBitmap b;
  s.SetPosition(0);
  b.LoadFromStream(s);
  int bitCount = 0;
  switch (b.PixelFormat()) {
    case pf1bit: bitCount = 1; break;
    case pf4bit: bitCount = 4; break;
    case pf8bit: bitCount = 8; break;
    default: GIFError(61093);
  }
  const int count = 1 << bitCount;
  Interlaced = false;
  auto item = std::make_shared<TGIFItem>();
  item->ColorMap.Count = count;
  const auto& pal = b.Palette();
  for (int i = 0; i < count && i < int(pal.size()); ++i)
    item->ColorMap.Colors[i] = {pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue};
  const int w = b.Width(), h = b.Height();
  std::vector<uint8_t> indices(size_t(int64_t(w) * h));
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = b.ScanLine(y);
    uint8_t* o = indices.data() + size_t(y) * size_t(w);
    for (int x = 0; x < w; ++x) {
      if (bitCount == 8) o[x] = row[x];
      else if (bitCount == 4) o[x] = (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
      else o[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
  }
  item->ImageData = std::make_unique<TMemoryStream>();
  auto encode = [&] {
    EncodeLZW(indices.data(), w, h, bitCount, *item->ImageData, [&](int rows) {
      if (FOwner) FOwner->ProgressShare(rows, h);
    });
  };
  if (FOwner) FOwner->ProgressRun("Encoding", encode);
  else encode();
  item->BitsPerPixel = uint8_t(BitsForCount(count));
  item->Width = w;
  item->Height = h;
  FItem = item;
  if (FOwner && FOwner->FImage->ColorMap.Count == 0) {
    FOwner->FImage->ColorMap = item->ColorMap;
    FOwner->FImage->BitsPerPixel = item->BitsPerPixel;
    LocalMap = false;
  } else {
    LocalMap = true;
  }
  if (FOwner) {
    FOwner->FScreenWidth = std::max(FOwner->FScreenWidth, FTopLeft.X + w);
    FOwner->FScreenHeight = std::max(FOwner->FScreenHeight, FTopLeft.Y + h);
  }
}

void TGIFFrame::WriteImageDescriptor(TStream& s) {
  uint8_t packed = 0;
  if (LocalMap) {
    FItem->BitsPerPixel = uint8_t(BitsForCount(FItem->ColorMap.Count));
    packed = uint8_t(0x80 + FItem->BitsPerPixel - 1);
  }
  if (Interlaced) packed |= 0x40;
  s.WriteWord(uint16_t(FTopLeft.X));
  s.WriteWord(uint16_t(FTopLeft.Y));
  s.WriteWord(uint16_t(FItem->Width));
  s.WriteWord(uint16_t(FItem->Height));
  s.WriteByte(packed);
}

void TGIFFrame::WriteLocalColorMap(TStream& s) {
  if (!LocalMap) return;
  // As many entries as the descriptor declares.
  const int n = 1 << BitsForCount(FItem->ColorMap.Count);
  for (int i = 0; i < n; ++i) {
    const TGIFColorItem& c = FItem->ColorMap.Colors[i];
    uint8_t rgb[3] = {c.Red, c.Green, c.Blue};
    if (i >= FItem->ColorMap.Count) rgb[0] = rgb[1] = rgb[2] = 0;
    s.WriteBuffer(rgb, 3);
  }
}

void TGIFFrame::WriteRasterData(TStream& s) {
  if (!FItem->ImageData) return;
  s.WriteBuffer(FItem->ImageData->Memory(), FItem->ImageData->Size());
}

// ---------------------------------------------------------------- the picture

TGIFImage::TGIFImage() {
  NewImage();
  SetTransparent(true);
}

TGIFImage::~TGIFImage() = default;

void TGIFImage::NewImage() {
  FImage = std::make_shared<TGIFData>();
  FFrames.clear();
  FCorrupted = false;
  FFrameIndex = -1;
  FBackgroundColor = clNone;
  FRepeatCount = 1;
  FLooping = false;
  Version = gvUnknown;
  FScreenWidth = FScreenHeight = 0;
}

void TGIFImage::UniqueImage() {
  if (!FImage) NewImage();
  else if (FImage.use_count() > 1) FImage = std::make_shared<TGIFData>(*FImage);
}

void TGIFImage::SetComment(const std::vector<std::string>& lines) {
  UniqueImage();
  FImage->Comment = lines;
}

void TGIFImage::SetFrameIndex(int v) {
  v = std::clamp(v, -1, Count() - 1);
  if (v == FFrameIndex) return;
  FFrameIndex = v;
  Changed();
}

void TGIFImage::SetBackgroundColor(TColor c) {
  if (c == FBackgroundColor) return;
  FBackgroundColor = c;
  Changed();
}

void TGIFImage::SetLooping(bool v) {
  if (v == FLooping) return;
  FLooping = v;
  Changed();
}

std::vector<TRGBQuad> TGIFImage::GetPalette() const {
  if (FFrames.empty()) return {};
  int i = FFrameIndex < 0 || FFrameIndex >= Count() ? 0 : FFrameIndex;
  return FFrames[size_t(i)]->GetBitmap().Palette();
}

void TGIFImage::DoProgress(TProgressStage stage, uint8_t percentDone, const std::string& msg) {
  if (OnProgress) OnProgress(stage, percentDone, msg);
}

void TGIFImage::SetRepeatCount(int v) {
  v = Min(v, 30000);
  if (v == FRepeatCount) return;
  FRepeatCount = v;
  Changed();
}

TColor TGIFImage::TransparentColor() const {
  if (FFrames.empty() || FFrameIndex < 0) return clNone;
  return FFrames[size_t(FFrameIndex)]->TransparentColor();
}

bool TGIFImage::Transparent() const {
  if (!FTransparent) return false;
  for (auto& f : FFrames)
    if (f->TransparentColor() != clNone) return true;
  return false;
}

bool TGIFImage::Corrupted() const {
  if (FCorrupted) return true;
  for (auto& f : FFrames)
    if (f->Corrupted) return true;
  return false;
}

bool TGIFImage::Empty() const {
  if (FFrames.empty()) return true;
  const TGIFFrame& f = *FFrames[size_t(std::clamp(FFrameIndex, 0, Count() - 1))];
  return !(f.HasBitmap() || f.HasImageData());
}

int TGIFImage::Width() const {
  if (Empty() || FFrameIndex < 0 || FFrameIndex >= Count()) return 0;
  return FFrames[size_t(FFrameIndex)]->GetBitmap().Width();
}

int TGIFImage::Height() const {
  if (Empty() || FFrameIndex < 0 || FFrameIndex >= Count()) return 0;
  return FFrames[size_t(FFrameIndex)]->GetBitmap().Height();
}

void TGIFImage::SetWidth(int) { GIFError(61099); }
void TGIFImage::SetHeight(int) { GIFError(61099); }

TPixelFormat TGIFImage::PixelFormat() const {
  if (Empty()) return pfDevice;
  auto forCount = [](int n) {
    return n <= 0 ? pfDevice : n <= 2 ? pf1bit : n <= 16 ? pf4bit : n <= 256 ? pf8bit : pf24bit;
  };
  TPixelFormat best = forCount(FImage->ColorMap.Count);
  for (auto& f : FFrames) {
    TPixelFormat p = pfDevice;
    if (!f->HasImageData() && f->HasBitmap()) p = f->FBitmap->PixelFormat();
    else if (f->HasImageData() && f->LocalMap) p = forCount(f->FItem->ColorMap.Count);
    best = std::max(best, p);
  }
  return best;
}

bool TGIFImage::Equals(const TGraphic* g) const {
  auto o = dynamic_cast<const TGIFImage*>(g);
  return o && o->FImage == FImage;
}

TBitmap& TGIFImage::GetBitmap() {
  if (FFrames.empty()) {
    FFrameIndex = 0;
    TBitmap empty;
    Assign(&empty);
    if (FFrames.empty()) FFrames.push_back(std::make_unique<TGIFFrame>(this));
    FFrameIndex = 0;
    return FFrames[0]->GetBitmap();
  }
  int i = FFrameIndex < 0 || FFrameIndex >= Count() ? 0 : FFrameIndex;
  return FFrames[size_t(i)]->GetBitmap();
}

int TGIFImage::AddFrame(const TGraphic* g) {
  FFrames.push_back(std::make_unique<TGIFFrame>(this));
  FFrameIndex = Count() - 1;
  FFrames.back()->Assign(g);
  if (Version == gvUnknown) Version = gv87a;
  if (Count() > 1) Version = gv89a;
  return FFrameIndex;
}

void TGIFImage::DeleteFrame(int index) {
  if (index < 0 || index >= Count()) return;
  FFrames.erase(FFrames.begin() + index);
  UpdateScreenSize();
  if (FFrameIndex >= Count()) --FFrameIndex;
  Changed();
}

void TGIFImage::MoveFrame(int cur, int to) {
  if (cur < 0 || cur >= Count() || to < 0 || to >= Count()) return;
  auto f = std::move(FFrames[size_t(cur)]);
  FFrames.erase(FFrames.begin() + cur);
  FFrames.insert(FFrames.begin() + to, std::move(f));
  FFrameIndex = to;
  Changed();
}

void TGIFImage::UpdateScreenSize() {
  int w = 0, h = 0;
  for (auto& f : FFrames) {
    w = std::max(w, f->Width() + f->TopLeft().X);
    h = std::max(h, f->Height() + f->TopLeft().Y);
  }
  FScreenWidth = w;
  FScreenHeight = h;
}

void TGIFImage::DecodeAllFrames() {
  for (size_t i = 0; i < FFrames.size(); ++i) {
    try {
      FFrames[i]->GetBitmap();
    } catch (const EAbort&) {
      FFrames.erase(FFrames.begin() + std::ptrdiff_t(i), FFrames.end());
      FCorrupted = true;
      if (FFrameIndex >= Count()) FFrameIndex = Count() - 1;
      break;
    }
  }
}

void TGIFImage::Grayscale(bool forceEncoding) {
  if (FFrames.empty()) GIFError(61098);
  for (auto& f : FFrames) f->GrayscaleImage(forceEncoding);
  auto grey = [](TColor c) {
    TColor rgb = ColorToRGB(c);
    uint8_t v = uint8_t((77 * (rgb & 0xFF) + 150 * ((rgb >> 8) & 0xFF) + 29 * ((rgb >> 16) & 0xFF)) >> 8);
    return RGB(v, v, v);
  };
  // The global map turns grey whether or not there is a background colour: the frames
  // without a map of their own are written with it.
  int bi = FindColor(FImage->ColorMap, FBackgroundColor);
  if (FImage->ColorMap.Count > 0) {
    UniqueImage();
    for (int i = 0; i < FImage->ColorMap.Count; ++i) {
      uint8_t g = uint8_t(grey(MapColor(FImage->ColorMap, i)));
      FImage->ColorMap.Colors[i] = {g, g, g};
    }
  }
  if (FBackgroundColor != clNone)
    FBackgroundColor = bi >= 0 ? MapColor(FImage->ColorMap, bi) : grey(FBackgroundColor);
  Changed();
}

void TGIFImage::Assign(const TGraphic* source) {
  if (!source) {
    NewImage();
    Changed();
    return;
  }
  if (source == this) return;
  if (auto g = dynamic_cast<const TGIFImage*>(source)) {
    FImage = g->FImage;
    Version = g->Version;
    FBackgroundColor = g->FBackgroundColor;
    FRepeatCount = g->FRepeatCount;
    FLooping = g->FLooping;
    FCorrupted = g->FCorrupted;
    FFrames.clear();
    for (auto& sf : g->FFrames) {
      auto f = std::make_unique<TGIFFrame>(this);
      f->Assign(sf.get());
      f->LocalMap = sf->LocalMap;
      f->FExtensions.clear();
      for (auto& e : sf->FExtensions) {
        auto c = std::make_unique<TExtension>();
        c->Assign(*e);
        f->FExtensions.push_back(std::move(c));
      }
      FFrames.push_back(std::move(f));
    }
    FScreenWidth = g->FScreenWidth;
    FScreenHeight = g->FScreenHeight;
    FFrameIndex = g->FFrameIndex;
    Changed();
    return;
  }
  if (dynamic_cast<const TBitmap*>(source)) {
    NewImage();
    AddFrame(source);
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TGIFImage::Assign(const TGIFFrame& source) {
  // The new frame takes the source before anything is released: the source may be one of
  // this picture's own frames.
  auto f = std::make_unique<TGIFFrame>(this);
  f->Assign(&source);
  TGIFData data;
  if (TGIFImage* owner = source.Owner()) data = *owner->FImage;
  NewImage();
  FImage->AspectRatio = data.AspectRatio;
  FImage->BitsPerPixel = data.BitsPerPixel;
  FImage->ColorResolution = data.ColorResolution;
  FImage->ColorMap = data.ColorMap;
  FFrames.push_back(std::move(f));
  FFrameIndex = 0;
  if (Version == gvUnknown) Version = gv87a;
  UpdateScreenSize();
  Changed();
}

void TGIFImage::Assign(const TAnimatedCursorImage& cursor) {
  TGIFImage fresh;
  fresh.FBackgroundColor = clWindow;
  for (int i = 0; i < cursor.FrameCount(); ++i) {
    const TIconFrame& c = cursor.GetFrame(i);
    TGIFFrame& f = fresh.Frame(fresh.AddFrame(&c.Icon));
    // Icons are drawn over magenta: what they leave uncovered is their transparent part.
    f.SetTransparentColor(TColor(0xFF00FF));
    // Cursor rates are in jiffies of 1/60 second.
    f.SetAnimateInterval(uint32_t(std::max<int64_t>(0, int64_t(c.JiffRate) * 100 / 6)));
  }
  // Taken over whole, so that a cursor that cannot be drawn leaves this picture as it was.
  TakeOver(fresh);
  Changed();
}

void TGIFImage::AssignTo(TGraphic* dest) const {
  auto* self = const_cast<TGIFImage*>(this);
  if (auto g = dynamic_cast<TGIFImage*>(dest)) {
    g->Assign(this);
  } else if (Empty()) {
    dest->Assign(nullptr);
  } else if (FFrameIndex < 0) {
    dest->Assign(&self->GetBitmap());
  } else {
    self->FFrames[size_t(FFrameIndex)]->AssignTo(dest);
  }
}

void TGIFImage::Draw(TCanvas& canvas, const TRect& r) const {
  if (FFrameIndex < 0 || FFrameIndex >= Count()) return;
  FFrames[size_t(FFrameIndex)]->Draw(canvas, r, Transparent());
}

// ---------------------------------------------------------------- reading

void TGIFImage::LoadFromStream(TStream& s) { ReadStream(s.Size() - s.Position(), s, true); }

void TGIFImage::ReadData(TStream& s) {
  int64_t len = int32_t(s.ReadDWord());
  ReadStream(len, s, true);
}

void TGIFImage::ReadStream(int64_t size, TStream& s, bool forceDecode) {
  DoProgress(psStarting, 0, "Reading");
  try {
    if (size < 0 || size > s.Size() - s.Position()) GIFError(65440);
    TMemoryStream m;
    m.SetSize(size);
    if (size) s.ReadBuffer(m.Memory(), size);
    m.SetPosition(0);
    // Parsed into a picture of its own, so that a failed load leaves this one as it was.
    TGIFImage fresh;
    fresh.OnProgress = OnProgress;
    // Parsing the blocks is quick; decoding the first frame's rows is the long part.
    fresh.FProgressRun = true;
    fresh.FProgressMessage = "Reading";
    fresh.FProgressFrom = 0;
    fresh.FProgressTo = forceDecode ? 10 : 99;
    fresh.ReadStreamInto(m, forceDecode);
    TakeOver(fresh);
  } catch (...) {
    DoProgress(psEnding, 100, "Reading");
    throw;
  }
  DoProgress(psEnding, 100, "Reading");
  Changed();
}

void TGIFImage::TakeOver(TGIFImage& fresh) {
  FImage = std::move(fresh.FImage);
  FFrames = std::move(fresh.FFrames);
  for (auto& f : FFrames) f->FOwner = this;
  Version = fresh.Version;
  FFrameIndex = fresh.FFrameIndex;
  FScreenWidth = fresh.FScreenWidth;
  FScreenHeight = fresh.FScreenHeight;
  FBackgroundColor = fresh.FBackgroundColor;
  FLooping = fresh.FLooping;
  FCorrupted = fresh.FCorrupted;
  FRepeatCount = fresh.FRepeatCount;
  // The other picture is left a valid empty one.
  fresh.NewImage();
}

void TGIFImage::ReadStreamInto(TMemoryStream& m, bool forceDecode) {
  NewImage();
  // An empty file is not an empty picture: a load that found nothing must not pass as one.
  if (m.Size() == 0) GIFError(65440);
  TCursor c{m.Memory(), size_t(m.Size())};
  char sig[6];
  c.Read(sig, 3);
  if (!SameText(std::string(sig, 3), "GIF")) GIFError(61092);
  c.Read(sig + 3, 3);
  std::string ver(sig + 3, 3);
  if (SameText(ver, "87a")) Version = gv87a;
  else if (SameText(ver, "89a")) Version = gv89a;
  else GIFError(61092);

  FScreenWidth = c.Word();
  FScreenHeight = c.Word();
  uint8_t packed = c.Byte(), background = c.Byte();
  FImage->AspectRatio = c.Byte();
  FImage->BitsPerPixel = uint8_t((packed & 7) + 1);
  FImage->ColorResolution = uint8_t(((packed >> 4) & 7) + 1);
  if (packed & 0x80) {
    TGIFColorTable& t = FImage->ColorMap;
    t.Count = 1 << FImage->BitsPerPixel;
    for (int i = 0; i < t.Count; ++i) {
      t.Colors[i].Red = c.Byte();
      t.Colors[i].Green = c.Byte();
      t.Colors[i].Blue = c.Byte();
    }
    if (background < t.Count) FBackgroundColor = MapColor(t, background);
  }

  uint8_t sep = c.Separator();
  std::vector<std::unique_ptr<TExtension>> pending;
  while (sep != 0 && sep != ';' && !c.AtEnd()) {
    while (sep == '!') {
      std::unique_ptr<TExtension> e = ReadExtension(c);
      if (e) {
        if (e->Kind == ekPlainText) {
          pending.clear();
        } else if (e->Kind == ekGraphicControl || e->Kind == ekComment) {
          pending.push_back(std::move(e));
        } else if (e->IsLoopExtension()) {
          const std::string& l = (*e->Data)[0];
          FLooping = true;
          FRepeatCount = Min(uint8_t(l[1]) + 256 * uint8_t(l[2]), 30000);
        }
      }
      sep = c.AtEnd() ? ';' : c.Separator();
    }
    if (sep == ',') {
      auto f = std::make_unique<TGIFFrame>(this);
      if (FImage->ColorMap.Count > 0) f->FItem->BitsPerPixel = uint8_t(ExactBits(FImage->ColorMap.Count));
      f->FExtensions = std::move(pending);
      pending.clear();
      m.SetPosition(int64_t(c.pos));
      f->LoadFromStream(m);
      c.pos = size_t(m.Position());
      FFrames.push_back(std::move(f));
      ProgressShare(int64_t(c.pos), int64_t(c.n));
      if (c.AtEnd()) {
        sep = ';';
      } else {
        sep = c.Separator();
        if (sep != '!' && sep != ',' && sep != ';') sep = 0;
      }
    } else if (FImage->Comment.empty() && !pending.empty()) {
      bool firstComment = true;
      for (auto& e : pending) {
        if (e->Kind != ekComment || !e->Data) continue;
        if (!firstComment) FImage->Comment.push_back("\r\n\r\n");
        firstComment = false;
        FImage->Comment.insert(FImage->Comment.end(), e->Data->begin(), e->Data->end());
      }
      pending.clear();
    } else if (sep != 0 && sep != ';') {
      GIFError(65440);
    }
  }
  if (!FFrames.empty()) {
    FFrameIndex = 0;
    if (forceDecode) {
      FProgressFrom = FProgressTo;
      FProgressTo = 100;
      FFrames[0]->GetBitmap();
    }
  }
}

// ---------------------------------------------------------------- writing

void TGIFImage::EncodeFrames(bool reverseDecode) {
  // In a running report each frame to encode gets a share of it by its rows.
  const double from = FProgressFrom, to = FProgressTo;
  auto rowsToEncode = [](const TGIFFrame& f) -> int64_t {
    return !f.HasImageData() && f.FBitmap ? f.FBitmap->Height() : 0;
  };
  int64_t total = 0, before = 0;
  for (auto& f : FFrames) total += rowsToEncode(*f);
  try {
    for (auto& frame : FFrames) {
      TGIFFrame* f = frame.get();
      if (f->HasImageData()) continue;
      const int64_t rows = rowsToEncode(*f);
      if (total > 0) {
        FProgressFrom = from + (to - from) * double(before) / double(total);
        FProgressTo = from + (to - from) * double(before + rows) / double(total);
      }
      before += rows;
      f->EncodeRasterData();
      if (reverseDecode && f->FBitmap && f->FBitmap->Palette().empty()) {
        // Decoded again at the end of the frame's share: the report does not step back.
        FProgressFrom = FProgressTo;
        f->FBitmap.reset();
        try {
          f->GetBitmap();
        } catch (const EAbort&) {}
      }
    }
  } catch (...) {
    FProgressFrom = from;
    FProgressTo = to;
    throw;
  }
  FProgressFrom = from;
  FProgressTo = to;
  for (auto& f : FFrames) f->UpdateExtensions();
}

void TGIFImage::SaveToStream(TStream& s) const { const_cast<TGIFImage*>(this)->WriteStream(s, false); }
void TGIFImage::WriteData(TStream& s) { WriteStream(s, true); }

void TGIFImage::WriteStream(TStream& s, bool writeSize) {
  if (FFrames.empty()) GIFError(61098);
  DoProgress(psStarting, 0, "Writing");
  try {
    WriteBlocks(s, writeSize);
  } catch (...) {
    DoProgress(psEnding, 100, "Writing");
    throw;
  }
  DoProgress(psEnding, 100, "Writing");
}

void TGIFImage::WriteBlocks(TStream& s, bool writeSize) {
  // Encoding the frames' rows is the long part of a write.
  FProgressRun = true;
  FProgressMessage = "Writing";
  FProgressFrom = 0;
  FProgressTo = 90;
  try {
    EncodeFrames(false);
  } catch (...) {
    FProgressRun = false;
    throw;
  }
  FProgressRun = false;
  if (!FImage->Comment.empty()) Version = gv89a;
  if (Version == gvUnknown) Version = gv87a;
  TMemoryStream m;
  m.WriteBuffer("GIF", 3);
  m.WriteBuffer(GIFVersionName(Version).data(), 3);
  UpdateScreenSize();
  m.WriteWord(uint16_t(FScreenWidth));
  m.WriteWord(uint16_t(FScreenHeight));
  const TGIFColorTable& g = FImage->ColorMap;
  if (g.Count > 0) {
    int bits = ExactBits(g.Count);
    m.WriteByte(uint8_t(0x80 | ((bits - 1) << 4) | (bits - 1)));
    int bi = FindColor(g, FBackgroundColor);
    m.WriteByte(uint8_t(bi < 0 ? 0 : bi));
  } else {
    m.WriteByte(0);
    m.WriteByte(0);
  }
  m.WriteByte(FImage->AspectRatio);
  for (int i = 0; i < g.Count; ++i) {
    uint8_t rgb[3] = {g.Colors[i].Red, g.Colors[i].Green, g.Colors[i].Blue};
    m.WriteBuffer(rgb, 3);
  }
  if (FLooping && Count() > 1) {
    m.WriteByte(0x21);
    m.WriteByte(0xFF);
    m.WriteByte(11);
    m.WriteBuffer("NETSCAPE2.0", 11);
    m.WriteByte(3);
    m.WriteByte(1);
    m.WriteWord(uint16_t(FRepeatCount));
    m.WriteByte(0);
  }
  for (auto& f : FFrames) {
    for (auto& e : f->FExtensions) {
      m.WriteByte(0x21);
      m.WriteByte(ExtensionLabel(e->Kind));
      if (e->Kind == ekGraphicControl) {
        uint8_t h[6] = {4, HeaderByte(*e, 1), HeaderByte(*e, 2), HeaderByte(*e, 3), HeaderByte(*e, 4), 0};
        m.WriteBuffer(h, 6);
        continue;
      }
      if (e->Kind != ekComment) m.WriteBuffer(e->Header.data(), int64_t(e->Header.size()));
      WriteSubBlocks(m, e->Data.get());
    }
    m.WriteByte(0x2C);
    f->WriteImageDescriptor(m);
    f->WriteLocalColorMap(m);
    f->WriteRasterData(m);
  }
  if (!FImage->Comment.empty()) {
    m.WriteByte(0x21);
    m.WriteByte(0xFE);
    WriteSubBlocks(m, &FImage->Comment);
  }
  m.WriteByte(0x3B);
  if (writeSize) s.WriteDWord(uint32_t(m.Size()));
  s.WriteBuffer(m.Memory(), m.Size());
}

// ---------------------------------------------------------------- registration

uint16_t CF_GIF = 0;

void TGIFImage::LoadFromClipboardFormat(uint16_t format, const std::string& data) {
  if (format != CF_GIF) {
    // Another format: a bitmap of it becomes the picture.
    TBitmap b;
    b.TGraphic::LoadFromClipboardFormat(format, data);
    Assign(&b);
    return;
  }
  TMemoryStream m;
  m.WriteBuffer(data.data(), int64_t(data.size()));
  m.SetPosition(0);
  if (m.Size() < 4) GIFError(65440);
  int64_t len = int64_t(m.ReadDWord());
  ReadStream(len, m, false);
  if (Count() > 0) SetFrameIndex(0);
}

void TGIFImage::SaveToClipboardFormat(TClipboard& clipboard) {
  if (Count() == 0) return;
  TMemoryStream bmp;
  Frame(0).GetBitmap().SaveToStream(bmp);
  std::string dib = bmp.DataAsString();
  bool whole = true;
  for (int i = 0; i < Count(); ++i) whole = whole && Frame(i).HasImageData();
  TMemoryStream gif;
  if (whole) WriteStream(gif, true);
  clipboard.Open();
  try {
    // The device-independent bitmap without its file header, as the clipboard holds it.
    clipboard.SetData(CF_DIB, dib.size() > 14 ? dib.substr(14) : std::string());
    if (whole) clipboard.SetData(CF_GIF, gif.DataAsString());
  } catch (...) {
    clipboard.Close();
    throw;
  }
  clipboard.Close();
}

void RegisterGIFFormat() {
  static bool done = false;
  if (done) return;
  done = true;
  CF_GIF = RegisterClipboardFormat("GIF Image");
  RegisterFileFormat("gif", GIFErrorText(61100), [] { return std::make_unique<TGIFImage>(); });
  RegisterClipboardPictureFormat(CF_GIF, [] { return std::unique_ptr<TGraphic>(new TGIFImage); });
}

namespace {
const bool kRegistered = (RegisterGIFFormat(), true);
}
