#include "gif/Pxgraph.h"

#include <algorithm>
#include <cstring>

#include "gif/Maxmin.h"
#include "platform/ByteOrder.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

TMappingMethod DefaultMappingMethod = mmHistogram;

TPixelFormat GetBitmapPixelFormat(const TBitmap& bitmap) { return bitmap.PixelFormat(); }

namespace {

constexpr int kEntries = 2049;
constexpr int kSlots = 5191;
constexpr uint16_t kEmpty = 0xFFFF;

int64_t IndexStride(int width) { return (int64_t(width) + 3) & ~int64_t(3); }

struct THistEntry {
  uint8_t b, g, r;
  int32_t count;
  uint8_t index;
};

// The rows of the reduction under way report to the progress its caller gave, each pass over
// the rows in its share; reports only rise, so a pass that starts again shows nothing new.
struct TRowProgress {
  const TReduceProgress* Report = nullptr;
  double From = 0, Span = 1, Last = -1;
  void Row(int done, int rows) {
    if (!Report || !*Report || rows <= 0) return;
    const double at = From + Span * double(done) / double(rows);
    if (at <= Last) return;
    Last = at;
    (*Report)(std::min(at, 1.0));
  }
};
TRowProgress* CurrentRows = nullptr;
void RowDone(int done, int rows) {
  if (CurrentRows) CurrentRows->Row(done, rows);
}
void RowShare(double from, double span) {
  if (CurrentRows) CurrentRows->From = from, CurrentRows->Span = span;
}

// A bounded colour histogram: at most 2049 colours in 5191 hash slots; when the image has
// more, the channel masks are coarsened one bit at a time (blue, red, green, ...) and the
// counting restarts.
struct THistogram {
  int count = 0;
  uint8_t rm = 0xFF, gm = 0xFF, bm = 0xFF;
  std::vector<THistEntry> entries = std::vector<THistEntry>(kEntries);
  std::vector<uint16_t> slots = std::vector<uint16_t>(kSlots, kEmpty);

  void Clear() {
    count = 0;
    std::fill(slots.begin(), slots.end(), kEmpty);
  }
  // The slot of the masked colour: its entry, or the empty slot where it belongs.
  int Find(uint8_t r, uint8_t g, uint8_t b) const {
    int h = int((uint32_t(r + g) * uint32_t(b + g) * uint32_t(r + b)) % kSlots);
    for (;;) {
      uint16_t e = slots[size_t(h)];
      if (e == kEmpty) return h;
      const THistEntry& x = entries[e];
      if (x.r == r && x.g == g && x.b == b) return h;
      h = h == kSlots - 1 ? 0 : h + 1;
    }
  }
  bool Count(const uint8_t* bits, int width, int height, int64_t stride) {
    for (int y = 0; y < height; ++y) {
      RowDone(y, height);
      const uint8_t* p = bits + y * stride;
      for (int x = 0; x < width; ++x, p += 3) {
        uint8_t b = p[0] & bm, g = p[1] & gm, r = p[2] & rm;
        int s = Find(r, g, b);
        if (slots[size_t(s)] != kEmpty) {
          ++entries[slots[size_t(s)]].count;
        } else {
          if (count >= kEntries) return false;
          entries[size_t(count)] = {b, g, r, 1, 0};
          slots[size_t(s)] = uint16_t(count++);
        }
      }
    }
    return true;
  }
  void Coarsen() {
    if (gm > rm) gm = uint8_t(gm << 1);
    else if (rm > bm) rm = uint8_t(rm << 1);
    else bm = uint8_t(bm << 1);
    Clear();
  }
};

std::unique_ptr<THistogram> CountColors(const uint8_t* bits24, int width, int height) {
  auto h = std::make_unique<THistogram>();
  const int64_t stride = DibRowBytes(width, 24);
  // With every mask at 0 all pixels are one colour, so this ends.
  while (!h->Count(bits24, width, height, stride)) h->Coarsen();
  return h;
}

// The nearest-level tables of the truncation methods, built once.
struct TTruncTables {
  uint8_t t4[256], t6[256], t7[256], t8[256];
  static constexpr uint8_t l4[4] = {0, 85, 170, 255};
  static constexpr uint8_t l6[6] = {0, 51, 102, 153, 204, 255};
  static constexpr uint8_t l7[7] = {0, 43, 85, 128, 170, 213, 255};
  static constexpr uint8_t l8[8] = {0, 36, 73, 109, 146, 182, 219, 255};
  static void Build(uint8_t* t, const uint8_t* levels, int n) {
    for (int v = 0; v < 256; ++v) {
      int best = 0;
      for (int i = 1; i < n; ++i)
        if (std::abs(v - levels[i]) < std::abs(v - levels[best])) best = i;
      t[v] = uint8_t(best);
    }
  }
  TTruncTables() {
    Build(t4, l4, 4);
    Build(t6, l6, 6);
    Build(t7, l7, 7);
    Build(t8, l8, 8);
  }
};
const TTruncTables& Tables() {
  static const TTruncTables t;
  return t;
}

// Visits every pixel of bottom-up 24-bit rows with its output byte.
template <class F>
void MapPixels(const uint8_t* bits24, int width, int height, std::vector<uint8_t>& indices, F f) {
  const int64_t stride = DibRowBytes(width, 24), out = IndexStride(width);
  indices.assign(size_t(out * height), 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = bits24 + y * stride;
    uint8_t* o = indices.data() + y * out;
    for (int x = 0; x < width; ++x, p += 3) o[x] = f(p[2], p[1], p[0], x, y);
    RowDone(y + 1, height);
  }
}

void ReduceTrunc784(const uint8_t* bits, int w, int h, TReducedImage& r) {
  const TTruncTables& t = Tables();
  r.Palette.assign(256, TRGBQuad{});
  for (int ri = 0; ri < 7; ++ri)
    for (int gi = 0; gi < 8; ++gi)
      for (int bi = 0; bi < 4; ++bi)
        r.Palette[size_t(ri * 32 + gi * 4 + bi)] = {t.l4[bi], t.l8[gi], t.l7[ri], 0};
  r.ColorsUsed = 224;
  MapPixels(bits, w, h, r.Indices, [&](uint8_t R, uint8_t G, uint8_t B, int, int) {
    return uint8_t(t.t7[R] * 32 + t.t8[G] * 4 + t.t4[B]);
  });
}

void ReduceTrunc666(const uint8_t* bits, int w, int h, TReducedImage& r) {
  const TTruncTables& t = Tables();
  r.Palette.assign(256, TRGBQuad{});
  for (int ri = 0; ri < 6; ++ri)
    for (int gi = 0; gi < 6; ++gi)
      for (int bi = 0; bi < 6; ++bi)
        r.Palette[size_t(ri * 36 + gi * 6 + bi)] = {t.l6[bi], t.l6[gi], t.l6[ri], 0};
  r.ColorsUsed = 216;
  MapPixels(bits, w, h, r.Indices, [&](uint8_t R, uint8_t G, uint8_t B, int, int) {
    return uint8_t(t.t6[R] * 36 + t.t6[G] * 6 + t.t6[B]);
  });
}

// Each pixel shows one channel, taking red, green and blue in turn along the row (shifted by
// one each row), as a 64-step ramp of that channel: entries 0-63 red, 64-127 green, 128-191
// blue.
void ReduceTripel(const uint8_t* bits, int w, int h, TReducedImage& r) {
  r.Palette.assign(256, TRGBQuad{});
  for (int i = 0; i < 64; ++i) {
    uint8_t v = uint8_t((i << 2) | (i >> 4));
    r.Palette[size_t(i)].rgbRed = v;
    r.Palette[size_t(64 + i)].rgbGreen = v;
    r.Palette[size_t(128 + i)].rgbBlue = v;
  }
  MapPixels(bits, w, h, r.Indices, [&](uint8_t R, uint8_t G, uint8_t B, int x, int y) {
    // Row y counts from the bottom here; any fixed phase gives the same mixture.
    int c = int((int64_t(x) + y) % 3);
    uint8_t v = c == 0 ? R : c == 1 ? G : B;
    return uint8_t(c * 64 + (v >> 2));
  });
}

// Median cut: the pixels are counted in 4096 cells of 4 bits per channel; the box holding
// the most pixels is split at the pixel median along its longest axis until there are 256
// boxes or none can be split; each box's colour is the mean of its pixels.
void ReduceQuantize(const uint8_t* bits, int w, int h, TReducedImage& r) {
  struct TCell {
    int64_t count = 0, r = 0, g = 0, b = 0;
    uint8_t box = 0;
  };
  std::vector<TCell> cells(4096);
  auto cellOf = [](uint8_t R, uint8_t G, uint8_t B) { return (R >> 4) << 8 | (G >> 4) << 4 | (B >> 4); };
  const int64_t stride = DibRowBytes(w, 24);
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = bits + y * stride;
    for (int x = 0; x < w; ++x, p += 3) {
      TCell& c = cells[size_t(cellOf(p[2], p[1], p[0]))];
      ++c.count;
      c.r += p[2];
      c.g += p[1];
      c.b += p[0];
    }
  }
  std::vector<int> used;
  for (int i = 0; i < 4096; ++i)
    if (cells[size_t(i)].count) used.push_back(i);
  struct TBox {
    size_t first, last;  // cells used[first..last)
    int64_t pixels;
  };
  std::vector<TBox> boxes;
  if (!used.empty()) boxes.push_back({0, used.size(), int64_t(w) * h});
  auto channel = [](int cell, int axis) { return (cell >> (8 - 4 * axis)) & 15; };
  while (boxes.size() < 256) {
    int pick = -1;
    for (size_t i = 0; i < boxes.size(); ++i)
      if (boxes[i].last - boxes[i].first > 1 && (pick < 0 || boxes[i].pixels > boxes[size_t(pick)].pixels))
        pick = int(i);
    if (pick < 0) break;
    TBox& box = boxes[size_t(pick)];
    int lo[3] = {15, 15, 15}, hi[3] = {0, 0, 0};
    for (size_t k = box.first; k < box.last; ++k)
      for (int a = 0; a < 3; ++a) {
        lo[a] = std::min(lo[a], channel(used[k], a));
        hi[a] = std::max(hi[a], channel(used[k], a));
      }
    int axis = 0;
    for (int a = 1; a < 3; ++a)
      if (hi[a] - lo[a] > hi[axis] - lo[axis]) axis = a;
    std::sort(used.begin() + std::ptrdiff_t(box.first), used.begin() + std::ptrdiff_t(box.last),
              [&](int a, int b) {
                int ca = channel(a, axis), cb = channel(b, axis);
                return ca != cb ? ca < cb : a < b;
              });
    // The first cell at which the running count reaches half, keeping both halves non-empty.
    int64_t half = (box.pixels + 1) / 2, run = 0;
    size_t split = box.first;
    while (split < box.last - 1) {
      run += cells[size_t(used[split])].count;
      ++split;
      if (run >= half) break;
    }
    int64_t upper = 0;
    for (size_t k = split; k < box.last; ++k) upper += cells[size_t(used[k])].count;
    TBox second{split, box.last, upper};
    box.last = split;
    box.pixels -= upper;
    boxes.push_back(second);
  }
  r.Palette.assign(256, TRGBQuad{});
  for (size_t i = 0; i < boxes.size(); ++i) {
    int64_t n = 0, sr = 0, sg = 0, sb = 0;
    for (size_t k = boxes[i].first; k < boxes[i].last; ++k) {
      TCell& c = cells[size_t(used[k])];
      c.box = uint8_t(i);
      n += c.count;
      sr += c.r;
      sg += c.g;
      sb += c.b;
    }
    r.Palette[i] = {uint8_t((sb + n / 2) / n), uint8_t((sg + n / 2) / n), uint8_t((sr + n / 2) / n), 0};
  }
  r.ColorsUsed = int(boxes.size());
  MapPixels(bits, w, h, r.Indices,
            [&](uint8_t R, uint8_t G, uint8_t B, int, int) { return cells[size_t(cellOf(R, G, B))].box; });
}

void ReduceGrayscale(const uint8_t* bits, int w, int h, TReducedImage& r) {
  r.Palette.resize(256);
  for (int i = 0; i < 256; ++i) r.Palette[size_t(i)] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  MapPixels(bits, w, h, r.Indices, [](uint8_t R, uint8_t G, uint8_t B, int, int) {
    return uint8_t((77 * R + 150 * G + 29 * B) >> 8);
  });
}

// An 8-bit BMP file: file header, info header, 256 palette entries, the index rows.
std::string Bmp8(int width, int height, const TReducedImage& r) {
  const uint32_t offset = 14 + 40 + 4 * 256;
  const uint64_t image = uint64_t(IndexStride(width)) * uint64_t(height);
  std::string s;
  s.reserve(size_t(offset + image));
  s += "BM";
  AppendLe32(s, uint32_t(offset + image));
  AppendLe32(s, 0);
  AppendLe32(s, offset);
  AppendLe32(s, 40);
  AppendLe32(s, uint32_t(width));
  AppendLe32(s, uint32_t(height));
  AppendLe16(s, 1);
  AppendLe16(s, 8);
  AppendLe32(s, 0);
  AppendLe32(s, uint32_t(image));
  AppendLe32(s, 0);
  AppendLe32(s, 0);
  AppendLe32(s, uint32_t(r.ColorsUsed));
  AppendLe32(s, 0);
  for (int i = 0; i < 256; ++i) {
    const TRGBQuad& q = r.Palette[size_t(i)];
    s.push_back(char(q.rgbBlue));
    s.push_back(char(q.rgbGreen));
    s.push_back(char(q.rgbRed));
    s.push_back(0);
  }
  s.append(reinterpret_cast<const char*>(r.Indices.data()), size_t(image));
  return s;
}

void ToStream(TMemoryStream& out, const std::string& bytes) {
  out.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  out.SetPosition(0);
}

}  // namespace

const uint8_t* TruncTable(int levels) {
  const TTruncTables& t = Tables();
  switch (levels) {
    case 4: return t.t4;
    case 6: return t.t6;
    case 7: return t.t7;
    case 8: return t.t8;
    default: return nullptr;
  }
}

uint8_t TruncLevel(int levels, int i) {
  switch (levels) {
    case 4: return TTruncTables::l4[i];
    case 6: return TTruncTables::l6[i];
    case 7: return TTruncTables::l7[i];
    default: return TTruncTables::l8[i];
  }
}

void ReduceByPopularity(const uint8_t* bits24, int width, int height, int maxColors,
                        std::vector<TRGBQuad>& palette, std::vector<uint8_t>& indices) {
  // Counting the colours and mapping the pixels each go over the rows: half the work each.
  RowShare(0, 0.5);
  auto h = CountColors(bits24, width, height);
  RowShare(0.5, 0.5);
  palette.assign(256, TRGBQuad{128, 128, 128, 0});
  const int limit = std::min(maxColors, 256);
  int n = 0;
  for (; n < limit && n < h->count; ++n) {
    int best = 0;
    for (int e = 1; e < h->count; ++e)
      if (h->entries[size_t(e)].count > h->entries[size_t(best)].count) best = e;
    THistEntry& x = h->entries[size_t(best)];
    x.index = uint8_t(n);
    x.count = 0;
    palette[size_t(n)] = {x.b, x.g, x.r, 0};
  }
  for (int e = 0; e < h->count; ++e) {
    THistEntry& x = h->entries[size_t(e)];
    if (x.count <= 0) continue;
    int bestDist = 0x30000, bestIndex = 0;
    for (int i = 0; i < n; ++i) {
      const TRGBQuad& q = palette[size_t(i)];
      int dr = int(x.r) - q.rgbRed, dg = int(x.g) - q.rgbGreen, db = int(x.b) - q.rgbBlue;
      int d = dr * dr + dg * dg + db * db;
      if (d < bestDist) {
        bestDist = d;
        bestIndex = i;
      }
    }
    x.index = uint8_t(bestIndex);
  }
  MapPixels(bits24, width, height, indices, [&](uint8_t r, uint8_t g, uint8_t b, int, int) {
    int s = h->Find(r & h->rm, g & h->gm, b & h->bm);
    return h->entries[h->slots[size_t(s)]].index;
  });
}

void PopularityMasks(const uint8_t* bits24, int width, int height, uint8_t& redMask, uint8_t& greenMask,
                     uint8_t& blueMask) {
  auto h = CountColors(bits24, width, height);
  redMask = h->rm;
  greenMask = h->gm;
  blueMask = h->bm;
}

TReducedImage ReduceColors(const uint8_t* bits24, int width, int height, TMappingMethod method,
                           const TReduceProgress& progress) {
  TRowProgress rows;
  rows.Report = &progress;
  TRowProgress* outer = CurrentRows;
  CurrentRows = &rows;
  struct Restore {
    TRowProgress* saved;
    ~Restore() { CurrentRows = saved; }
  } restore{outer};
  TReducedImage r;
  switch (method) {
    case mmHistogram: ReduceByPopularity(bits24, width, height, 256, r.Palette, r.Indices); break;
    case mmQuantize: ReduceQuantize(bits24, width, height, r); break;
    case mmTrunc784: ReduceTrunc784(bits24, width, height, r); break;
    case mmTrunc666: ReduceTrunc666(bits24, width, height, r); break;
    case mmTripel: ReduceTripel(bits24, width, height, r); break;
    case mmGrayscale: ReduceGrayscale(bits24, width, height, r); break;
    default: NotImplemented();
  }
  return r;
}

std::unique_ptr<TMemoryStream> BitmapToMemoryStream(const TBitmap& bitmap, TPixelFormat pixelFormat,
                                                    TMappingMethod method, const TReduceProgress& progress) {
  if (bitmap.Empty()) throw EInvalidGraphic("Bitmap image is not valid");
  auto out = std::make_unique<TMemoryStream>();
  if (bitmap.PixelFormat() == pixelFormat && method != mmGrayscale) {
    bitmap.SaveToStream(*out);
    out->SetPosition(0);
    return out;
  }
  if (pixelFormat == pf1bit || pixelFormat == pf4bit) {
    TBitmap copy;
    copy.Assign(&bitmap);
    copy.SetPixelFormat(pixelFormat);
    copy.SaveToStream(*out);
    out->SetPosition(0);
    return out;
  }
  if (pixelFormat != pf8bit && pixelFormat != pf24bit) NotImplemented();

  TBitmap rgb;
  rgb.Assign(&bitmap);
  rgb.SetPixelFormat(pf24bit);
  const int w = rgb.Width(), h = rgb.Height();
  TReducedImage r = ReduceColors(rgb.Bits(), w, h, method, progress);
  if (pixelFormat == pf8bit) {
    ToStream(*out, Bmp8(w, h, r));
    return out;
  }
  // A 24-bit target holds the colours the method chose; a BMP header that announced 24 bits
  // over rows of indices would be a broken file.
  const int64_t stride = DibRowBytes(w, 24), in = IndexStride(w);
  uint8_t* bits = rgb.Bits();
  for (int y = 0; y < h; ++y) {
    uint8_t* p = bits + y * stride;
    const uint8_t* i = r.Indices.data() + y * in;
    for (int x = 0; x < w; ++x, p += 3) {
      const TRGBQuad& q = r.Palette[i[x]];
      p[0] = q.rgbBlue;
      p[1] = q.rgbGreen;
      p[2] = q.rgbRed;
    }
  }
  rgb.SaveToStream(*out);
  out->SetPosition(0);
  return out;
}

TPixelFormat ScreenPixelFormat() { return pf24bit; }
int ScreenColorCount() { return 1 << 24; }

TPixelFormat GetPaletteBitmapFormat(const TBitmap& bitmap) {
  size_t n = bitmap.Palette().size();
  if (n == 0) return bitmap.PixelFormat();
  if (n <= 2) return pf1bit;
  if (n <= 16) return pf4bit;
  return pf8bit;
}

std::unique_ptr<TMemoryStream> BitmapToMemory(const TBitmap& bitmap, int colors) {
  TPixelFormat f = colors <= 2 ? pf1bit : colors <= 16 ? pf4bit : colors <= 256 ? pf8bit : pf24bit;
  return BitmapToMemoryStream(bitmap, f, DefaultMappingMethod);
}

void SaveBitmapToFile(const std::string& fileName, const TBitmap& bitmap, int colors) {
  auto s = BitmapToMemory(bitmap, colors);
  std::string bytes = s->DataAsString();
  WriteFileAtomic(fileName, bytes);
}

void SetBitmapPixelFormat(TBitmap& bitmap, TPixelFormat pixelFormat, TMappingMethod method) {
  if (bitmap.PixelFormat() == pixelFormat && method != mmGrayscale) return;
  auto s = BitmapToMemoryStream(bitmap, pixelFormat, method);
  bitmap.LoadFromStream(*s);
}

void GrayscaleBitmap(TBitmap& bitmap) { SetBitmapPixelFormat(bitmap, pf8bit, mmGrayscale); }

void ZoomImage(int imageW, int imageH, int maxW, int maxH, bool stretch, int& zoomW, int& zoomH) {
  zoomW = imageW;
  zoomH = imageH;
  if (imageW <= 0 || imageH <= 0 || maxW <= 0 || maxH <= 0) return;
  if (!stretch && imageW <= maxW && imageH <= maxH) return;
  // Fit the side that limits; 64-bit products keep large sizes exact.
  if (int64_t(imageW) * maxH >= int64_t(imageH) * maxW) {
    zoomW = maxW;
    zoomH = int(std::max<int64_t>(1, (int64_t(imageH) * maxW + imageW / 2) / imageW));
  } else {
    zoomH = maxH;
    zoomW = int(std::max<int64_t>(1, (int64_t(imageW) * maxH + imageH / 2) / imageH));
  }
}

void TileImage(TCanvas& canvas, const TRect& rect, const TGraphic* image) {
  if (!image || image->Empty() || rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
  const int w = image->Width(), h = image->Height();
  TBitmap tile(w, h, pf32bit);
  tile.Canvas().StretchDraw(TRect(0, 0, w, h), image);
  TCanvas& src = tile.Canvas();
  for (int64_t y = rect.Top; y < rect.Bottom; y += h)
    for (int64_t x = rect.Left; x < rect.Right; x += w) {
      int cw = int(std::min<int64_t>(w, rect.Right - x)), ch = int(std::min<int64_t>(h, rect.Bottom - y));
      canvas.CopyRect(TRect(int(x), int(y), int(x) + cw, int(y) + ch), src, TRect(0, 0, cw, ch));
    }
}

void TPxGradient::Draw(TCanvas& canvas, const TRect& rect) const {
  if (Visible) GradientFillRect(canvas, rect, StartColor, EndColor, Direction, StepCount);
}
