#include "Pxgraph.h"

#include <cstring>

#include "Vclutils.h"
#include "platform/SysUtils.h"

TMappingMethod DefaultMappingMethod = mmHistogram;

TPixelFormat GetBitmapPixelFormat(const TBitmap& bitmap) { return bitmap.PixelFormat(); }

namespace {

constexpr int kEntries = 2049;
constexpr int kSlots = 5191;
constexpr uint16_t kEmpty = 0xFFFF;

struct THistEntry {
  uint8_t b, g, r;
  int32_t count;
  uint8_t index;
};

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
      uint16_t e = slots[h];
      if (e == kEmpty) return h;
      const THistEntry& x = entries[e];
      if (x.r == r && x.g == g && x.b == b) return h;
      h = h == kSlots - 1 ? 0 : h + 1;
    }
  }
  bool Count(const uint8_t* bits, int width, int height, int64_t stride) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* p = bits + y * stride;
      for (int x = 0; x < width; ++x, p += 3) {
        uint8_t b = p[0] & bm, g = p[1] & gm, r = p[2] & rm;
        int s = Find(r, g, b);
        if (slots[s] != kEmpty) {
          ++entries[slots[s]].count;
        } else {
          if (count >= kEntries) return false;
          entries[count] = {b, g, r, 1, 0};
          slots[s] = uint16_t(count++);
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

}  // namespace

void ReduceByPopularity(const uint8_t* bits24, int width, int height, int maxColors,
                        std::vector<TRGBQuad>& palette, std::vector<uint8_t>& indices) {
  const int64_t stride = DibRowBytes(width, 24);
  const int64_t outStride = (int64_t(width) + 3) & ~int64_t(3);
  auto h = std::make_unique<THistogram>();
  while (!h->Count(bits24, width, height, stride)) h->Coarsen();

  palette.assign(256, TRGBQuad{128, 128, 128, 0});
  int n = 0;
  for (; n < maxColors && n < h->count; ++n) {
    int best = 0;
    for (int e = 1; e < h->count; ++e)
      if (h->entries[e].count > h->entries[best].count) best = e;
    THistEntry& x = h->entries[best];
    x.index = uint8_t(n);
    x.count = 0;
    palette[n] = {x.b, x.g, x.r, 0};
  }
  for (int e = 0; e < h->count; ++e) {
    THistEntry& x = h->entries[e];
    if (x.count <= 0) continue;
    int bestDist = 0x30000, bestIndex = 0;
    for (int i = 0; i < n; ++i) {
      int dr = int(x.r) - palette[i].rgbRed, dg = int(x.g) - palette[i].rgbGreen,
          db = int(x.b) - palette[i].rgbBlue;
      int d = dr * dr + dg * dg + db * db;
      if (d < bestDist) {
        bestDist = d;
        bestIndex = i;
      }
    }
    x.index = uint8_t(bestIndex);
  }
  indices.assign(size_t(outStride * height), 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = bits24 + y * stride;
    uint8_t* o = indices.data() + y * outStride;
    for (int x = 0; x < width; ++x, p += 3) {
      int s = h->Find(p[2] & h->rm, p[1] & h->gm, p[0] & h->bm);
      o[x] = h->entries[h->slots[s]].index;
    }
  }
}

std::unique_ptr<TMemoryStream> BitmapToMemoryStream(const TBitmap& bitmap,
                                                    TPixelFormat pixelFormat,
                                                    TMappingMethod method) {
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
  std::vector<TRGBQuad> palette;
  std::vector<uint8_t> indices;
  switch (method) {
    case mmHistogram:
      ReduceByPopularity(rgb.Bits(), w, h, 256, palette, indices);
      break;
    case mmGrayscale: {
      palette.resize(256);
      for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
      const int64_t stride = DibRowBytes(w, 24), outStride = (int64_t(w) + 3) & ~int64_t(3);
      indices.assign(size_t(outStride * h), 0);
      for (int y = 0; y < h; ++y) {
        const uint8_t* p = rgb.Bits() + y * stride;
        for (int x = 0; x < w; ++x, p += 3)
          indices[y * outStride + x] = uint8_t((77 * p[2] + 150 * p[1] + 29 * p[0]) >> 8);
      }
      break;
    }
    default:
      NotImplemented();
  }
  TBitmap target(w, h, pf8bit);
  target.SetPalette(palette);
  std::memcpy(target.Bits(), indices.data(), indices.size());
  target.SaveToStream(*out);
  out->SetPosition(0);
  return out;
}
