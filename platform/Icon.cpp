#include "platform/Icon.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/Canvas.h"
#include "platform/SysUtils.h"

namespace {

struct Entry {
  int W, H, Bits;
  uint32_t Size, Offset;
  TPoint HotSpot;
};

[[noreturn]] void Bad(const char* why) { throw EInvalidGraphic(std::string("Invalid icon: ") + why); }

// One image of the file: its info header (height doubled for the mask), palette, colour bits
// and the 1-bit AND mask, decoded through the bitmap reader.
void DecodeImage(const uint8_t* p, size_t n, TBitmap& out) {
  if (n >= 8 && memcmp(p, "\x89PNG", 4) == 0) Bad("PNG-compressed icon images are not supported");
  if (n < 40) Bad("image too short");
  uint32_t hdr = GetLe32(p);
  if (hdr < 40 || hdr > n) Bad("bad image header");
  int32_t w = int32_t(GetLe32(p + 4)), h2 = int32_t(GetLe32(p + 8));
  int bits = GetLe16(p + 14);
  uint32_t compression = GetLe32(p + 16), used = GetLe32(p + 32);
  // Stricter than the picture limit: icon images are at most 256 x 256, and four times that
  // is no icon but damage.
  if (w < 1 || h2 < 2 || w > 1024 || h2 > 2048 || compression != 0) Bad("bad image size or compression");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) Bad("bad bit count");
  int h = h2 / 2;
  uint32_t colours = bits <= 8 ? (used ? used : 1u << bits) : 0;
  if (colours > 256) Bad("bad palette");
  uint64_t offBits = uint64_t(hdr) + colours * 4;
  uint64_t xorBytes = uint64_t(DibRowBytes(w, bits)) * h, andRow = uint64_t(DibRowBytes(w, 1));
  if (offBits + xorBytes + andRow * h > n) Bad("image data cut short");
  // A BMP file of the colour part for the bitmap reader.
  std::string bmp(14, '\0');
  bmp[0] = 'B';
  bmp[1] = 'M';
  bmp.append(reinterpret_cast<const char*>(p), size_t(offBits + xorBytes));
  PutLe32(&bmp[2], uint32_t(bmp.size()));
  PutLe32(&bmp[10], uint32_t(14 + offBits));
  PutLe32(&bmp[14 + 8], uint32_t(h));
  PutLe32(&bmp[14 + 20], 0);  // image size: let the reader compute it
  TMemoryStream m;
  m.WriteBuffer(bmp.data(), int64_t(bmp.size()));
  m.SetPosition(0);
  TBitmap colour;
  colour.LoadFromStream(m);
  bool hasAlpha = false;
  if (bits == 32)
    for (int y = 0; y < h && !hasAlpha; ++y)
      for (int x = 0; x < w; ++x)
        if (colour.ScanLine(y)[4 * x + 3]) hasAlpha = true;
  colour.SetPixelFormat(pf32bit);
  const uint8_t* mask = p + offBits + xorBytes;  // bottom-up rows
  for (int y = 0; y < h; ++y) {
    uint8_t* row = colour.ScanLine(y);
    const uint8_t* mrow = mask + andRow * uint64_t(h - 1 - y);
    for (int x = 0; x < w; ++x) {
      bool clear = mrow[x >> 3] & (0x80 >> (x & 7));
      if (!hasAlpha) row[4 * x + 3] = clear ? 0 : 255;
    }
  }
  out.TakePixels(colour);
}

}  // namespace

void TIcon::LoadFromStream(TStream& s) {
  int64_t left = s.Size() - s.Position();
  if (left < 6) Bad("file too short");
  if (left > (int64_t(64) << 20)) Bad("file too large");
  std::vector<uint8_t> d(static_cast<size_t>(left));
  s.ReadBuffer(d.data(), left);
  // Type 1 is an icon, type 2 a cursor, whose directory holds the hot spot where an icon's
  // holds its planes and bit count.
  const int type = GetLe16(&d[2]);
  if (GetLe16(&d[0]) != 0 || (type != 1 && type != 2)) Bad("not an icon file");
  int count = GetLe16(&d[4]);
  if (count < 1 || 6 + size_t(count) * 16 > d.size()) Bad("bad directory");
  std::vector<Entry> entries;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = &d[6 + size_t(i) * 16];
    Entry en{e[0] ? e[0] : 256,
             e[1] ? e[1] : 256,
             type == 1 ? GetLe16(e + 6) : 0,
             GetLe32(e + 8),
             GetLe32(e + 12),
             type == 2 ? TPoint(GetLe16(e + 4), GetLe16(e + 6)) : TPoint(0, 0)};
    if (uint64_t(en.Offset) + en.Size > d.size() || en.Size == 0) Bad("image outside the file");
    bool png = en.Size >= 4 && memcmp(&d[en.Offset], "\x89PNG", 4) == 0;
    if (!png) entries.push_back(en);
  }
  if (entries.empty()) Bad("PNG-compressed icon images are not supported");
  auto score = [](const Entry& e) { return std::make_tuple(e.W == 32 && e.H == 32, e.W * e.H, e.Bits); };
  const Entry& best = *std::max_element(entries.begin(), entries.end(),
                                        [&](const Entry& a, const Entry& b) { return score(a) < score(b); });
  TBitmap image;
  DecodeImage(&d[best.Offset], best.Size, image);
  FImage.TakePixels(image);
  ImageCount = count;
  FCursor = type == 2;
  FHotSpot = best.HotSpot;
  FData.assign(reinterpret_cast<const char*>(d.data()), d.size());
}

void TIcon::SaveToStream(TStream& s) const {
  if (FData.empty()) throw EInvalidGraphicOperation("Cannot save an empty icon");
  s.WriteBuffer(FData.data(), int64_t(FData.size()));
}

void TIcon::Assign(const TGraphic* source) {
  auto* icon = dynamic_cast<const TIcon*>(source);
  if (!icon) {
    if (!source) {
      FImage.SetSize(0, 0);
      FData.clear();
      ImageCount = 0;
      FCursor = false;
      FHotSpot = TPoint(0, 0);
      return;
    }
    TGraphic::Assign(source);
    return;
  }
  if (icon == this) return;
  FImage.Assign(&icon->FImage);
  FData = icon->FData;
  ImageCount = icon->ImageCount;
  FCursor = icon->FCursor;
  FHotSpot = icon->FHotSpot;
}

void TIcon::Draw(TCanvas& canvas, const TRect& r) const {
  TBitmap* dst = canvas.Bitmap();
  if (!dst || FImage.Empty() || r.Width() <= 0 || r.Height() <= 0) return;
  dst->SetPixelFormat(pf32bit);
  for (int y = std::max(0, r.Top); y < std::min(dst->Height(), r.Bottom); ++y) {
    const uint8_t* src = FImage.ScanLine(int(int64_t(y - r.Top) * FImage.Height() / r.Height()));
    uint8_t* row = dst->ScanLine(y);
    for (int x = std::max(0, r.Left); x < std::min(dst->Width(), r.Right); ++x) {
      const uint8_t* sp = src + 4 * (int64_t(x - r.Left) * FImage.Width() / r.Width());
      uint8_t* dp = row + 4 * x;
      int a = sp[3];
      for (int c = 0; c < 3; ++c) dp[c] = uint8_t((sp[c] * a + dp[c] * (255 - a) + 127) / 255);
      if (a) dp[3] = 0;  // drawn pixels get alpha 0, as every drawing call does
    }
  }
}
