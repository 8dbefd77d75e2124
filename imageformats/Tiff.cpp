// TIFF: bilevel, greyscale, palette, RGB and CMYK images in strips, uncompressed, PackBits or
// LZW (with the horizontal predictor), either byte order; written in Intel order as one strip,
// uncompressed or LZW.
#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

enum : int {
  kErrVersion = 800,
  kErrTooManyTags = 801,
  kErrTagType = 802,
  kErrCorrupt = 803,
  kErrMissing = 804,
  kErrGreySamples = 805,
  kErrGreyBits = 806,
  kErrRgbSamples = 807,
  kErrRgbBits = 808,
  kErrPalSamples = 809,
  kErrPalBits = 810,
  kErrCmykSamples = 811,
  kErrCmykBits = 812,
  kErrCcittMh = 813,
  kErrCcittG3 = 814,
  kErrCcittG4 = 815,
  kErrCompression = 816,
  kErrNoColorMap = 817,
  kErrEncoded = 818,
  kErrPredictor = 819,
  kErrMask = 821,
  kErrYcbcr = 822,
  kErrPhotometric = 823,
  kErrFillOrder = 824,
  kErrPlanar = 825,
  kErrPlanarRgb = 826,
  kErrInkSet = 827,
  kErrOrientation = 828,
  kErrIndex = 829,
};

enum : uint16_t {
  kTypeByte = 1,
  kTypeAscii = 2,
  kTypeShort = 3,
  kTypeLong = 4,
  kTypeRational = 5,
  kTypeSByte = 6,
  kTypeUndefined = 7,
  kTypeSShort = 8,
  kTypeSLong = 9,
  kTypeSRational = 10,
  kTypeFloat = 11,
  kTypeDouble = 12,
};

enum : uint16_t {
  kTagWidth = 256,
  kTagLength = 257,
  kTagBits = 258,
  kTagCompression = 259,
  kTagPhotometric = 262,
  kTagFillOrder = 266,
  kTagDocumentName = 269,
  kTagImageDescription = 270,
  kTagMake = 271,
  kTagModel = 272,
  kTagStripOffsets = 273,
  kTagOrientation = 274,
  kTagSamples = 277,
  kTagRowsPerStrip = 278,
  kTagStripByteCounts = 279,
  kTagPlanar = 284,
  kTagPageName = 285,
  kTagSoftware = 305,
  kTagArtist = 315,
  kTagHostComputer = 316,
  kTagPredictor = 317,
  kTagColorMap = 320,
  kTagInkSet = 332,
};

constexpr int kMaxTags = 200;
constexpr int kKeptStrips = 299;
// A row of decoded samples larger than this is refused before anything is allocated.
constexpr int64_t kMaxRowBytes = int64_t(1) << 28;
// RGB pixels with more samples than this (colour plus extra channels) are not read: a damaged
// count would otherwise make each pixel cost thousands of bytes of decoding.
constexpr int32_t kMaxSamples = 16;

int TypeSize(uint16_t type) {
  switch (type) {
    case kTypeShort:
    case kTypeSShort: return 2;
    case kTypeLong:
    case kTypeSLong:
    case kTypeFloat: return 4;
    case kTypeRational:
    case kTypeSRational:
    case kTypeDouble: return 8;
    default: return 1;  // BYTE, ASCII, SBYTE, UNDEFINED and unknown types
  }
}

bool IsIntegerType(uint16_t type) {
  return type == kTypeByte || type == kTypeShort || type == kTypeLong || type == kTypeSByte ||
         type == kTypeSShort || type == kTypeSLong;
}

// ---- The tag directory ----

struct TiffEntry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  // The values in host order, each of TypeSize(type) bytes (a rational is two LONGs).
  // Empty for FLOAT and DOUBLE entries read from a file, whose values are not kept.
  std::vector<uint8_t> values;
};

class TiffDirectory {
 public:
  const TiffEntry* Find(uint16_t tag) const {
    for (const TiffEntry& e : FEntries)
      if (e.tag == tag) return &e;
    return nullptr;
  }
  TiffEntry* Find(uint16_t tag) {
    return const_cast<TiffEntry*>(static_cast<const TiffDirectory*>(this)->Find(tag));
  }

  // Value i as a signed 32-bit number; 0 for non-integer types and missing values.
  static int32_t Value(const TiffEntry& e, uint32_t i) {
    if ((uint64_t(i) + 1) * uint64_t(TypeSize(e.type)) > e.values.size()) return 0;
    const uint8_t* p = e.values.data() + size_t(i) * size_t(TypeSize(e.type));
    switch (e.type) {
      case kTypeByte: return *p;
      case kTypeSByte: return int8_t(*p);
      case kTypeShort: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
      }
      case kTypeSShort: {
        int16_t v;
        std::memcpy(&v, p, 2);
        return v;
      }
      case kTypeLong:
      case kTypeSLong: {
        int32_t v;
        std::memcpy(&v, p, 4);
        return v;
      }
      default: return 0;
    }
  }
  // The same value taken as unsigned (offsets and counts above 2 GB stay positive).
  static uint32_t Unsigned(const TiffEntry& e, uint32_t i) { return uint32_t(Value(e, i)); }

  // The entry appended as read from a file (file order is kept).
  bool Append(TiffEntry&& e) {
    if (int(FEntries.size()) >= kMaxTags) return false;
    try {
      FEntries.push_back(std::move(e));
    } catch (const std::bad_alloc&) { return false; }
    return true;
  }

  // Inserts an entry in ascending tag order, copying `count` values of the type's size from
  // `values` (host order). False when the directory is full or memory runs out.
  bool Add(uint16_t tag, uint16_t type, uint32_t count, const void* values) {
    if (int(FEntries.size()) >= kMaxTags) return false;
    try {
      TiffEntry e{tag, type, count, {}};
      size_t bytes = size_t(count) * size_t(TypeSize(type));
      e.values.assign(static_cast<const uint8_t*>(values), static_cast<const uint8_t*>(values) + bytes);
      auto at =
          std::find_if(FEntries.begin(), FEntries.end(), [&](const TiffEntry& x) { return x.tag > tag; });
      FEntries.insert(at, std::move(e));
    } catch (const std::bad_alloc&) { return false; }
    return true;
  }
  bool AddShorts(uint16_t tag, const std::vector<uint16_t>& v) {
    return Add(tag, kTypeShort, uint32_t(v.size()), v.data());
  }
  bool AddLong(uint16_t tag, uint32_t v) { return Add(tag, kTypeLong, 1, &v); }
  bool AddAscii(uint16_t tag, const std::string& text) {
    return Add(tag, kTypeAscii, uint32_t(text.size() + 1), text.c_str());
  }

  // Replaces the values of an entry of the given type (same count or a new one).
  bool Replace(uint16_t tag, uint16_t type, uint32_t count, const void* values) {
    TiffEntry* e = Find(tag);
    if (!e || e->type != type) return false;
    try {
      size_t bytes = size_t(count) * size_t(TypeSize(type));
      e->values.assign(static_cast<const uint8_t*>(values), static_cast<const uint8_t*>(values) + bytes);
      e->count = count;
    } catch (const std::bad_alloc&) { return false; }
    return true;
  }
  bool ReplaceLong(uint16_t tag, uint32_t v) { return Replace(tag, kTypeLong, 1, &v); }

  const std::vector<TiffEntry>& Entries() const { return FEntries; }
  void Free() { std::vector<TiffEntry>().swap(FEntries); }

 private:
  std::vector<TiffEntry> FEntries;
};

// ---- Reading a directory from a file ----

class TiffFile {
 public:
  explicit TiffFile(int fd) : FFd(fd) {}

  // Reads the file header and directory number `image` (0 = the first).
  int ReadDirectory(int32_t image, TiffDirectory* dir) {
    FLength = imgfmt_file_seek(FFd, 0, 2);
    if (FLength < 0 || imgfmt_file_seek(FFd, 0, 0) != 0) return IMGFMT_ERR_READ;
    uint8_t head[8];
    if (int rc = imgfmt_read_exact(FFd, head, 8)) return rc;
    FBigEndian = head[0] == 'M' && head[1] == 'M';
    if (U16(head + 2) != 42) return kErrVersion;
    uint32_t offset = U32(head + 4);
    // Offsets already visited: a chain of directories that loops back ends the search.
    std::set<uint32_t> seen;
    for (int32_t n = 0;; ++n) {
      if (offset == 0) return kErrIndex;
      try {
        if (!seen.insert(offset).second) return kErrIndex;
      } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
      if (!Seek(offset)) return IMGFMT_ERR_READ;
      uint8_t b[4];
      if (int rc = imgfmt_read_exact(FFd, b, 2)) return rc;
      uint16_t count = U16(b);
      if (n == image) return ReadEntries(count, dir);
      if (!Seek(int64_t(offset) + 2 + 12 * int64_t(count))) return IMGFMT_ERR_READ;
      if (int rc = imgfmt_read_exact(FFd, b, 4)) return rc;
      offset = U32(b);
    }
  }

 private:
  uint16_t U16(const uint8_t* p) const { return FBigEndian ? GetBe16(p) : GetLe16(p); }
  uint32_t U32(const uint8_t* p) const { return FBigEndian ? GetBe32(p) : GetLe32(p); }
  bool Seek(int64_t pos) { return imgfmt_file_seek(FFd, pos, 0) == pos; }

  int ReadEntries(uint16_t count, TiffDirectory* dir) {
    if (count > kMaxTags) return kErrTooManyTags;
    int64_t entryPos = imgfmt_file_seek(FFd, 0, 1);
    if (entryPos < 0) return IMGFMT_ERR_READ;
    // Values held out of line may not add up to more than the file holds: every honest
    // file stores each value once.
    int64_t budget = FLength;
    for (uint16_t k = 0; k < count; ++k, entryPos += 12) {
      uint8_t raw[12];
      if (!Seek(entryPos)) return IMGFMT_ERR_READ;
      if (int rc = imgfmt_read_exact(FFd, raw, 12)) return rc;
      TiffEntry e{U16(raw), U16(raw + 2), U32(raw + 4), {}};
      if (e.tag >= 32768) continue;  // private tags are passed over
      uint64_t n = e.count;
      if (e.tag == kTagColorMap && n % 3 != 0) n *= 3;
      if (n > 0xffffffffu) return kErrCorrupt;
      e.count = uint32_t(n);
      uint64_t size = n * uint64_t(TypeSize(e.type));
      const uint8_t* src = raw + 8;
      std::vector<uint8_t> outOfLine;
      if (size > 4) {
        uint64_t at = U32(raw + 8);
        if (at + size > uint64_t(FLength) || int64_t(size) > budget) return kErrCorrupt;
        budget -= int64_t(size);
        try {
          outOfLine.resize(size_t(size));
        } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
        if (!Seek(int64_t(at))) return IMGFMT_ERR_READ;
        if (int rc = imgfmt_read_exact(FFd, outOfLine.data(), int64_t(size))) return rc;
        src = outOfLine.data();
      }
      if (e.type != kTypeFloat && e.type != kTypeDouble) {
        try {
          e.values.resize(size_t(size));
        } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
        int unit = TypeSize(e.type);
        if (unit == 1) {
          if (size > 0) std::memcpy(e.values.data(), src, size_t(size));
        } else {
          // Shorts one by one; longs and the two longs of a rational likewise.
          int step = unit == 2 ? 2 : 4;
          for (uint64_t i = 0; i < size; i += uint64_t(step)) {
            if (step == 2) {
              uint16_t v = U16(src + i);
              std::memcpy(e.values.data() + i, &v, 2);
            } else {
              uint32_t v = U32(src + i);
              std::memcpy(e.values.data() + i, &v, 4);
            }
          }
        }
      }
      if (!dir->Append(std::move(e))) return IMGFMT_ERR_MEMORY;
    }
    return IMGFMT_OK;
  }

  int FFd;
  bool FBigEndian = false;
  int64_t FLength = 0;
};

// ---- The codec's part of the header ----

struct TiffPrivate {
  int32_t image;
  int32_t photometric;
  int32_t rowsPerStrip;
  int32_t samples;
  int32_t bits;
  int32_t compression;
  int32_t orientation;
  int32_t planar;
  int32_t predictor;
  int32_t strips;
  ImgFmtRgb palette[256];
  uint32_t offsets[kKeptStrips];
};

int StripCount(const ImgFmtHeader* h, const TiffPrivate* p) {
  int32_t perPlane = (h->height + p->rowsPerStrip - 1) / p->rowsPerStrip;
  return p->photometric == 2 && p->planar == 2 ? perPlane * 3 : perPlane;
}

// Value 0 of an optional integer tag, or the default; 802 when the tag is not an integer.
int TagOr(const TiffDirectory& dir, uint16_t tag, int32_t def, int32_t* out) {
  const TiffEntry* e = dir.Find(tag);
  if (!e || e->count == 0) {
    *out = def;
    return IMGFMT_OK;
  }
  if (!IsIntegerType(e->type)) return kErrTagType;
  *out = TiffDirectory::Value(*e, 0);
  return IMGFMT_OK;
}

// Every BitsPerSample value of the first `samples` must equal the first.
bool SameBits(const TiffDirectory& dir, int32_t samples, int32_t bits) {
  const TiffEntry* e = dir.Find(kTagBits);
  if (!e) return true;
  uint32_t n = std::min<uint32_t>(e->count, uint32_t(samples));
  for (uint32_t i = 1; i < n; ++i)
    if (TiffDirectory::Value(*e, i) != bits) return false;
  return true;
}

int CheckLayout(const TiffDirectory& dir, ImgFmtHeader* h, TiffPrivate* p) {
  const TiffEntry* width = dir.Find(kTagWidth);
  const TiffEntry* length = dir.Find(kTagLength);
  const TiffEntry* offsets = dir.Find(kTagStripOffsets);
  if (!width || !length || !offsets) return kErrMissing;
  if (!IsIntegerType(width->type) || !IsIntegerType(length->type) || !IsIntegerType(offsets->type))
    return kErrTagType;
  h->width = TiffDirectory::Value(*width, 0);
  h->height = TiffDirectory::Value(*length, 0);
  if (int rc = imgfmt_check_size(h->width, h->height)) return rc;

  int rc;
  int32_t rps;
  if ((rc = TagOr(dir, kTagPhotometric, 1, &p->photometric)) ||
      (rc = TagOr(dir, kTagRowsPerStrip, h->height, &rps)) ||
      (rc = TagOr(dir, kTagSamples, 1, &p->samples)) || (rc = TagOr(dir, kTagBits, 1, &p->bits)) ||
      (rc = TagOr(dir, kTagCompression, 1, &p->compression)) ||
      (rc = TagOr(dir, kTagOrientation, 1, &p->orientation)) || (rc = TagOr(dir, kTagPlanar, 1, &p->planar)))
    return rc;
  // One strip when the count is absent, 0, or beyond the image (writers put 2^32 - 1 there).
  p->rowsPerStrip = rps <= 0 || rps > h->height ? h->height : rps;

  const int32_t bits = p->bits;
  switch (p->photometric) {
    case 0:
    case 1: {
      if (p->samples != 1) return kErrGreySamples;
      if (bits != 1 && bits != 4 && bits != 8) return kErrGreyBits;
      int top = (1 << bits) - 1;
      for (int j = 0; j <= top; ++j) {
        int v = j * 255 / top;
        uint8_t g = uint8_t(p->photometric == 0 ? 255 - v : v);
        p->palette[j] = {g, g, g};
      }
      h->bpp = bits;
      break;
    }
    case 2:
      if (p->samples < 3) return kErrRgbSamples;
      if (p->samples > kMaxSamples) return IMGFMT_ERR_NOT_SUPPORTED;
      if (bits != 8 || !SameBits(dir, 3, bits)) return kErrRgbBits;
      h->bpp = 24;
      break;
    case 3: {
      if (p->samples != 1) return kErrPalSamples;
      if (bits != 1 && bits != 4 && bits != 8) return kErrPalBits;
      const TiffEntry* map = dir.Find(kTagColorMap);
      if (!map) return kErrNoColorMap;
      if (!IsIntegerType(map->type)) return kErrTagType;
      uint32_t n = 1u << bits;
      if (map->count < 3 * n) return kErrCorrupt;
      bool allZero = true;
      for (uint32_t i = 0; i < n; ++i) {
        uint32_t r = TiffDirectory::Unsigned(*map, i), g = TiffDirectory::Unsigned(*map, n + i),
                 b = TiffDirectory::Unsigned(*map, 2 * n + i);
        p->palette[i] = {uint8_t(r >> 8), uint8_t(g >> 8), uint8_t(b >> 8)};
        if (p->palette[i].r || p->palette[i].g || p->palette[i].b) allZero = false;
      }
      // Some writers store 8-bit values in the map.
      if (allZero)
        for (uint32_t i = 0; i < n; ++i)
          p->palette[i] = {uint8_t(TiffDirectory::Unsigned(*map, i)),
                           uint8_t(TiffDirectory::Unsigned(*map, n + i)),
                           uint8_t(TiffDirectory::Unsigned(*map, 2 * n + i))};
      h->bpp = bits;
      break;
    }
    case 4: return kErrMask;
    case 5: {
      if (p->samples != 4) return kErrCmykSamples;
      if (bits != 8 || !SameBits(dir, 4, bits)) return kErrCmykBits;
      int32_t inkSet;
      if ((rc = TagOr(dir, kTagInkSet, 1, &inkSet))) return rc;
      if (inkSet != 1) return kErrInkSet;
      h->bpp = 24;
      break;
    }
    case 6: return kErrYcbcr;
    default: return kErrPhotometric;
  }

  p->strips = StripCount(h, p);
  if (offsets->count < uint32_t(p->strips)) return kErrCorrupt;
  if (p->strips <= kKeptStrips)
    for (int s = 0; s < p->strips; ++s) p->offsets[s] = TiffDirectory::Unsigned(*offsets, uint32_t(s));

  switch (p->compression) {
    case 1:
    case 5:
    case 32773: break;
    case 2: return kErrCcittMh;
    case 3: return kErrCcittG3;
    case 4: return kErrCcittG4;
    default: return kErrCompression;
  }
  if (p->orientation != 1 && p->orientation != 4) return kErrOrientation;
  int32_t fillOrder;
  if ((rc = TagOr(dir, kTagFillOrder, 1, &fillOrder))) return rc;
  if (fillOrder != 1) return kErrFillOrder;
  if (p->photometric == 2) {
    if (p->planar != 1 && p->planar != 2) return kErrPlanarRgb;
  } else if (p->planar != 1) {
    return kErrPlanar;
  }
  if ((rc = TagOr(dir, kTagPredictor, 1, &p->predictor))) return rc;
  if (p->predictor != 1 && !(p->compression == 5 && bits == 8 && (p->samples == 1 || p->samples >= 3)))
    return kErrPredictor;

  // Refuse rows whose samples could not be held, before the data reader sizes anything.
  int64_t row = p->planar == 2 ? int64_t(h->width) : (int64_t(h->width) * p->samples * bits + 7) / 8;
  if (row > kMaxRowBytes) return IMGFMT_ERR_MEMORY;
  return IMGFMT_OK;
}

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char* options) {
  auto* p = imgfmt_private<TiffPrivate>(h);
  int32_t image = 0;
  if (int rc = imgfmt_option_int(options, "index=", &image)) return rc;
  if (image < 0) return IMGFMT_ERR_BAD_OPTION;
  p->image = image;
  TiffDirectory dir;
  TiffFile file(fd);
  int rc = file.ReadDirectory(image, &dir);
  if (!rc) rc = CheckLayout(dir, h, p);
  dir.Free();
  return rc;
}

int ReadPalette(int, ImgFmtHeader* h, ImgFmtRgb* palette) {
  const auto* p = imgfmt_private<TiffPrivate>(h);
  if (h->bpp == 24) return IMGFMT_OK;
  std::memcpy(palette, p->palette, sizeof(ImgFmtRgb) << h->bpp);
  return IMGFMT_OK;
}

// ---- Decoders of one strip ----

// Bytes through the I/O hooks in blocks.
class ByteSource {
 public:
  ByteSource(int fd, int block) : FFd(fd), FBlock(block) {}
  // The next byte, or -1 at the end of the data.
  int Get() {
    if (FPos >= FCount) {
      int n = imgfmt_file_read(FFd, FBuf, FBlock);
      if (n <= 0 || n > FBlock) return -1;
      FPos = 0;
      FCount = n;
    }
    return FBuf[FPos++];
  }

 private:
  int FFd, FBlock;
  int FPos = 0, FCount = 0;
  uint8_t FBuf[16384];
};

class PackBitsDecoder {
 public:
  explicit PackBitsDecoder(int fd) : FIn(fd, 16384) {}
  // Fills exactly n bytes; runs go on across rows of the strip.
  int Fill(uint8_t* out, int64_t n) {
    int64_t done = 0;
    while (done < n) {
      if (FLiteral > 0) {
        int c = FIn.Get();
        if (c < 0) return IMGFMT_ERR_READ;
        out[done++] = uint8_t(c);
        --FLiteral;
      } else if (FRepeat > 0) {
        int64_t k = std::min<int64_t>(FRepeat, n - done);
        std::memset(out + done, FRepeatByte, size_t(k));
        done += k;
        FRepeat -= int(k);
      } else {
        int c = FIn.Get();
        if (c < 0) return IMGFMT_ERR_READ;
        if (c < 128) {
          FLiteral = c + 1;
        } else if (c > 128) {
          int b = FIn.Get();
          if (b < 0) return IMGFMT_ERR_READ;
          FRepeat = 257 - c;
          FRepeatByte = uint8_t(b);
        }
      }
    }
    return IMGFMT_OK;
  }

 private:
  ByteSource FIn;
  int FLiteral = 0, FRepeat = 0;
  uint8_t FRepeatByte = 0;
};

// LZW as TIFF uses it: codes most significant bit first, the width growing one code early.
class LzwDecoder {
 public:
  explicit LzwDecoder(int fd) : FIn(fd, 255) {}
  int Init() {
    FPrefix = new (std::nothrow) uint16_t[4096];
    FSuffix = new (std::nothrow) uint8_t[4096];
    FStack = new (std::nothrow) uint8_t[4097];
    if (!FPrefix || !FSuffix || !FStack) return IMGFMT_ERR_MEMORY;
    for (int i = 0; i < 256; ++i) {
      FPrefix[i] = 0xffff;
      FSuffix[i] = uint8_t(i);
    }
    return IMGFMT_OK;
  }
  ~LzwDecoder() {
    delete[] FPrefix;
    delete[] FSuffix;
    delete[] FStack;
  }
  LzwDecoder(const LzwDecoder&) = delete;
  LzwDecoder& operator=(const LzwDecoder&) = delete;

  // Fills exactly n bytes; after the end code the rest is zero.
  int Fill(uint8_t* out, int64_t n) {
    int64_t done = 0;
    while (done < n) {
      if (FTop > 0) {
        out[done++] = FStack[--FTop];
        continue;
      }
      if (FEnded) {
        std::memset(out + done, 0, size_t(n - done));
        return IMGFMT_OK;
      }
      if (int rc = NextString()) return rc;
    }
    return IMGFMT_OK;
  }

 private:
  int ReadCode(int* code) {
    while (FBitCount < FWidth) {
      int c = FIn.Get();
      if (c < 0) return IMGFMT_ERR_READ;
      FBits = (FBits << 8) | uint32_t(c);
      FBitCount += 8;
    }
    FBitCount -= FWidth;
    *code = int((FBits >> FBitCount) & ((1u << FWidth) - 1));
    return IMGFMT_OK;
  }

  // Pushes the string of `code` on the stack (reversed); its first byte in *first.
  int Unwind(int code, uint8_t* first) {
    int length = 0;
    while (code != 0xffff) {
      if (length >= 4096) return kErrEncoded;
      FStack[FTop++] = FSuffix[code];
      ++length;
      code = FPrefix[code];
    }
    *first = FStack[FTop - 1];
    return IMGFMT_OK;
  }

  int NextString() {
    int code;
    if (int rc = ReadCode(&code)) return rc;
    if (code == 257) {
      FEnded = true;
      return IMGFMT_OK;
    }
    if (code == 256) {
      FNext = 258;
      FWidth = 9;
      FPrev = -1;
      return IMGFMT_OK;
    }
    if (FPrev < 0) {
      if (code > 255) return kErrEncoded;
      FStack[FTop++] = uint8_t(code);
      FPrev = code;
      FFirst = uint8_t(code);
      return IMGFMT_OK;
    }
    uint8_t first;
    if (code < FNext) {
      if (int rc = Unwind(code, &first)) return rc;
    } else if (code == FNext && FNext < 4096) {
      // The previous string plus its own first byte.
      FStack[FTop++] = FFirst;
      if (int rc = Unwind(FPrev, &first)) return rc;
      if (FTop > 4096) return kErrEncoded;
    } else {
      return kErrEncoded;
    }
    if (FNext < 4096) {
      FPrefix[FNext] = uint16_t(FPrev);
      FSuffix[FNext] = first;
      ++FNext;
      if (FNext == (1 << FWidth) - 1 && FWidth < 12) ++FWidth;
    }
    FPrev = code;
    FFirst = first;
    return IMGFMT_OK;
  }

  ByteSource FIn;
  uint16_t* FPrefix = nullptr;
  uint8_t* FSuffix = nullptr;
  uint8_t* FStack = nullptr;
  int FTop = 0;
  int FNext = 258, FWidth = 9, FPrev = -1;
  uint8_t FFirst = 0;
  uint32_t FBits = 0;
  int FBitCount = 0;
  bool FEnded = false;
};

// ---- Reading the data ----

// Places one decoded row of the file (row y, plane `plane`) in the caller's buffer.
void PlaceRow(const ImgFmtHeader* h, const TiffPrivate* p, const uint8_t* src, int32_t y, int plane,
              uint8_t* data) {
  int64_t stride = imgfmt_row_bytes(h->width, h->bpp);
  int32_t row = p->orientation == 4 ? y : h->height - 1 - y;
  uint8_t* dst = data + row * stride;
  const int32_t w = h->width;
  if (h->bpp != 24) {
    int64_t packed = (int64_t(w) * h->bpp + 7) / 8;
    std::memcpy(dst, src, size_t(packed));
    std::memset(dst + packed, 0, size_t(stride - packed));
    return;
  }
  if (p->photometric == 5) {
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* s = src + x * 4;
      dst[x * 3 + 2] = uint8_t(std::max(0, 255 - s[0] - s[3]));
      dst[x * 3 + 1] = uint8_t(std::max(0, 255 - s[1] - s[3]));
      dst[x * 3] = uint8_t(std::max(0, 255 - s[2] - s[3]));
    }
  } else if (p->planar == 2) {
    for (int32_t x = 0; x < w; ++x) dst[x * 3 + 2 - plane] = src[x];
  } else {
    const int32_t n = p->samples;
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* s = src + int64_t(x) * n;
      dst[x * 3] = s[2];
      dst[x * 3 + 1] = s[1];
      dst[x * 3 + 2] = s[0];
    }
  }
  if (plane == 0 || p->planar != 2) std::memset(dst + int64_t(w) * 3, 0, size_t(stride - int64_t(w) * 3));
}

int ReadStrip(int fd, const ImgFmtHeader* h, const TiffPrivate* p, int strip, uint32_t offset,
              std::vector<uint8_t>& row, uint8_t* data) {
  int32_t perPlane = (h->height + p->rowsPerStrip - 1) / p->rowsPerStrip;
  int plane = p->planar == 2 ? strip / perPlane : 0;
  int32_t first = (strip % perPlane) * p->rowsPerStrip;
  int32_t rows = std::min(p->rowsPerStrip, h->height - first);
  if (imgfmt_file_seek(fd, offset, 0) != int64_t(offset)) return IMGFMT_ERR_READ;
  const int64_t n = int64_t(row.size());
  const int step = p->planar == 2 ? 1 : p->samples;
  PackBitsDecoder* packBits = nullptr;
  LzwDecoder* lzw = nullptr;
  if (p->compression == 32773) {
    packBits = new (std::nothrow) PackBitsDecoder(fd);
    if (!packBits) return IMGFMT_ERR_MEMORY;
  } else if (p->compression == 5) {
    lzw = new (std::nothrow) LzwDecoder(fd);
    if (!lzw) return IMGFMT_ERR_MEMORY;
    if (int rc = lzw->Init()) {
      delete lzw;
      return rc;
    }
  }
  int rc = IMGFMT_OK;
  for (int32_t r = 0; r < rows && !rc; ++r) {
    if (packBits) rc = packBits->Fill(row.data(), n);
    else if (lzw) rc = lzw->Fill(row.data(), n);
    else rc = imgfmt_read_exact(fd, row.data(), n);
    if (rc) break;
    if (lzw && p->predictor == 2)
      for (int64_t i = step; i < n; ++i) row[size_t(i)] = uint8_t(row[size_t(i)] + row[size_t(i - step)]);
    PlaceRow(h, p, row.data(), first + r, plane, data);
  }
  delete packBits;
  delete lzw;
  return rc;
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  const auto* p = imgfmt_private<TiffPrivate>(h);
  if (p->rowsPerStrip <= 0 || h->width <= 0 || h->height <= 0) return IMGFMT_ERR_BAD_ARG;
  const int strips = StripCount(h, p);
  std::vector<uint32_t> many;
  const uint32_t* offsets = p->offsets;
  if (strips > kKeptStrips) {
    TiffDirectory dir;
    TiffFile file(fd);
    int rc = file.ReadDirectory(p->image, &dir);
    const TiffEntry* e = rc ? nullptr : dir.Find(kTagStripOffsets);
    if (!rc && (!e || e->count < uint32_t(strips))) rc = kErrCorrupt;
    if (!rc) {
      try {
        many.resize(size_t(strips));
      } catch (const std::bad_alloc&) { rc = IMGFMT_ERR_MEMORY; }
    }
    if (!rc)
      for (int s = 0; s < strips; ++s) many[size_t(s)] = TiffDirectory::Unsigned(*e, uint32_t(s));
    dir.Free();
    if (rc) return rc;
    offsets = many.data();
  }
  int64_t rowBytes = p->planar == 2 ? int64_t(h->width) : (int64_t(h->width) * p->samples * p->bits + 7) / 8;
  if (rowBytes > kMaxRowBytes) return IMGFMT_ERR_MEMORY;
  std::vector<uint8_t> row;
  try {
    row.resize(size_t(rowBytes));
  } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
  for (int s = 0; s < strips; ++s)
    if (int rc = ReadStrip(fd, h, p, s, offsets[s], row, data)) return rc;
  return IMGFMT_OK;
}

// ---- Writing ----

// Output in 1,024-byte blocks through the hooks; remembers the first failure.
class BlockWriter {
 public:
  explicit BlockWriter(int fd) : FFd(fd) {}
  void Put(uint8_t b) {
    FBuf[FCount++] = b;
    if (FCount == sizeof FBuf) Flush();
  }
  void Put(const uint8_t* p, int64_t n) {
    for (int64_t i = 0; i < n; ++i) Put(p[i]);
  }
  int Flush() {
    if (FCount > 0 && !FRc) FRc = imgfmt_write_exact(FFd, FBuf, FCount);
    FTotal += FCount;
    FCount = 0;
    return FRc;
  }
  int64_t Total() const { return FTotal + FCount; }

 private:
  int FFd;
  uint8_t FBuf[1024];
  int FCount = 0;
  int64_t FTotal = 0;
  int FRc = IMGFMT_OK;
};

class LzwEncoder {
 public:
  explicit LzwEncoder(BlockWriter* out) : FOut(out) {}
  int Init() {
    FSlotCode = new (std::nothrow) int16_t[kSlots];
    FSlotKey = new (std::nothrow) uint32_t[kSlots];
    if (!FSlotCode || !FSlotKey) return IMGFMT_ERR_MEMORY;
    Reset();
    PutCode(256);
    return IMGFMT_OK;
  }
  ~LzwEncoder() {
    delete[] FSlotCode;
    delete[] FSlotKey;
  }
  LzwEncoder(const LzwEncoder&) = delete;
  LzwEncoder& operator=(const LzwEncoder&) = delete;

  void Put(uint8_t c) {
    if (FCode < 0) {
      Start(c);
      return;
    }
    uint32_t hash = uint32_t((uint64_t(FLength) + c + 5) * FHash % kSlots);
    uint32_t key = uint32_t(FCode) << 8 | c;
    uint32_t slot = hash;
    while (FSlotCode[slot] >= 0) {
      if (FSlotKey[slot] == key) {
        FCode = FSlotCode[slot];
        FHash = hash;
        ++FLength;
        return;
      }
      slot = slot + 1 == kSlots ? 0 : slot + 1;
    }
    PutCode(FCode);
    FSlotCode[slot] = int16_t(FNext);
    FSlotKey[slot] = key;
    if (FNext == (1 << FWidth) - 1 && FWidth < 12) ++FWidth;
    ++FNext;
    if (FNext > 4093) {
      // The table is full: the byte goes out alone and the table starts again.
      PutCode(c);
      PutCode(256);
      Reset();
      return;
    }
    Start(c);
  }

  void Finish() {
    if (FCode >= 0) {
      PutCode(FCode);
      // The reader adds an entry on this code, and may widen before the end code.
      if (FNext == (1 << FWidth) - 1 && FWidth < 12) ++FWidth;
    }
    PutCode(257);
    if (FBitCount > 0) FOut->Put(uint8_t(FBits << (8 - FBitCount)));
    FBitCount = 0;
  }

 private:
  static constexpr uint32_t kSlots = 17777;

  void Start(uint8_t c) {
    FCode = c;
    FLength = 1;
    FHash = (301u * c + 903u) % kSlots;
  }
  void Reset() {
    for (uint32_t i = 0; i < kSlots; ++i) FSlotCode[i] = -1;
    FNext = 258;
    FWidth = 9;
    FCode = -1;
  }
  void PutCode(int code) {
    FBits = (FBits << FWidth) | uint32_t(code);
    FBitCount += FWidth;
    while (FBitCount >= 8) {
      FBitCount -= 8;
      FOut->Put(uint8_t(FBits >> FBitCount));
    }
    FBits &= (1u << FBitCount) - 1;
  }

  BlockWriter* FOut;
  int16_t* FSlotCode = nullptr;
  uint32_t* FSlotKey = nullptr;
  int FNext = 258, FWidth = 9, FCode = -1, FLength = 0;
  uint32_t FHash = 0;
  uint32_t FBits = 0;
  int FBitCount = 0;
};

// The file header and directory with its out-of-line values, laid out from offset 0.
std::vector<uint8_t> Layout(const TiffDirectory& dir) {
  std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
  auto put16 = [&](size_t at, uint16_t v) { PutLe16(&out[at], v); };
  auto put32 = [&](size_t at, uint32_t v) { PutLe32(&out[at], v); };
  const auto& entries = dir.Entries();
  size_t n = entries.size();
  out.resize(8 + 2 + 12 * n + 4, 0);
  put16(8, uint32_t(n));
  for (size_t i = 0; i < n; ++i) {
    const TiffEntry& e = entries[i];
    size_t at = 10 + 12 * i;
    put16(at, e.tag);
    put16(at + 2, e.type);
    put32(at + 4, e.count);
    // Values in Intel order.
    std::vector<uint8_t> bytes(e.values.size());
    int unit = TypeSize(e.type);
    for (size_t k = 0; k < e.values.size(); k += size_t(unit == 2 ? 2 : unit == 1 ? 1 : 4)) {
      if (unit == 1) {
        bytes[k] = e.values[k];
      } else if (unit == 2) {
        uint16_t v;
        std::memcpy(&v, &e.values[k], 2);
        PutLe16(&bytes[k], v);
      } else {
        uint32_t v;
        std::memcpy(&v, &e.values[k], 4);
        PutLe32(&bytes[k], v);
      }
    }
    if (bytes.size() <= 4) {
      if (!bytes.empty()) std::memcpy(&out[at + 8], bytes.data(), bytes.size());
    } else {
      if (out.size() % 2) out.push_back(0);
      put32(at + 8, uint32_t(out.size()));
      out.insert(out.end(), bytes.begin(), bytes.end());
    }
  }
  return out;
}

// The word after `name=` in the options, up to the next blank; empty when absent.
std::string OptionWord(const char* options, const char* name) {
  const char* p = imgfmt_option_find(options, name);
  if (!p) return {};
  p += std::strlen(name);
  const char* end = p;
  while (*end && *end != ' ' && *end != '\t') ++end;
  return std::string(p, end);
}

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb* palette, const uint8_t* data,
          const char* options) {
  const bool lzw = imgfmt_option_flag(options, "lzw");
  const int32_t bpp = h->bpp;
  int samples = 1, bits = bpp, photometric = 3;
  if (bpp == 24) {
    samples = 3;
    bits = 8;
    photometric = 2;
  } else if (bpp == 1 && !imgfmt_option_flag(options, "pal1bpp")) {
    int dark0 = palette[0].r + palette[0].g + palette[0].b;
    int dark1 = palette[1].r + palette[1].g + palette[1].b;
    photometric = dark0 < dark1 ? 1 : 0;
  }

  TiffDirectory dir;
  bool ok = dir.AddLong(kTagWidth, uint32_t(h->width)) && dir.AddLong(kTagLength, uint32_t(h->height)) &&
            dir.AddLong(kTagStripOffsets, 0) && dir.AddLong(kTagStripByteCounts, 0) &&
            dir.AddShorts(kTagSamples, {uint16_t(samples)}) &&
            dir.AddShorts(kTagBits, std::vector<uint16_t>(size_t(samples), uint16_t(bits))) &&
            dir.AddShorts(kTagPhotometric, {uint16_t(photometric)}) &&
            dir.AddShorts(kTagCompression, {uint16_t(lzw ? 5 : 1)});
  static const struct {
    const char* option;
    uint16_t tag;
  } kTexts[] = {{"artist=", kTagArtist},
                {"software=", kTagSoftware},
                {"make=", kTagMake},
                {"model=", kTagModel},
                {"hostcomputer=", kTagHostComputer},
                {"documentname=", kTagDocumentName},
                {"pagename=", kTagPageName},
                {"imagedescription=", kTagImageDescription}};
  for (const auto& t : kTexts) {
    if (!ok) break;
    std::string value = OptionWord(options, t.option);
    if (!value.empty()) ok = dir.AddAscii(t.tag, value);
  }
  if (ok && photometric == 3) {
    int n = 1 << bits;
    std::vector<uint16_t> map(size_t(3 * n));
    for (int i = 0; i < n; ++i) {
      map[size_t(i)] = uint16_t(palette[i].r * 257);
      map[size_t(n + i)] = uint16_t(palette[i].g * 257);
      map[size_t(2 * n + i)] = uint16_t(palette[i].b * 257);
    }
    ok = dir.AddShorts(kTagColorMap, map);
  }
  if (!ok) return IMGFMT_ERR_MEMORY;

  std::vector<uint8_t> head = Layout(dir);
  if (int rc = imgfmt_write_exact(fd, head.data(), int64_t(head.size()))) return rc;
  const int64_t stripAt = int64_t(head.size());

  const int64_t stride = imgfmt_row_bytes(h->width, bpp);
  const int64_t packed = (int64_t(h->width) * bpp + 7) / 8;
  std::vector<uint8_t> row(static_cast<size_t>(packed));
  BlockWriter out(fd);
  LzwEncoder encoder(&out);
  if (lzw)
    if (int rc = encoder.Init()) return rc;
  for (int32_t y = h->height - 1; y >= 0; --y) {
    const uint8_t* src = data + y * stride;
    if (bpp == 24) {
      for (int32_t x = 0; x < h->width; ++x) {
        row[size_t(x) * 3] = src[x * 3 + 2];
        row[size_t(x) * 3 + 1] = src[x * 3 + 1];
        row[size_t(x) * 3 + 2] = src[x * 3];
      }
    } else {
      std::memcpy(row.data(), src, size_t(packed));
    }
    if (lzw)
      for (uint8_t b : row) encoder.Put(b);
    else out.Put(row.data(), packed);
  }
  if (lzw) encoder.Finish();
  if (int rc = out.Flush()) return rc;
  const int64_t stripBytes = out.Total();

  if (!dir.ReplaceLong(kTagStripOffsets, uint32_t(stripAt)) ||
      !dir.ReplaceLong(kTagStripByteCounts, uint32_t(stripBytes)))
    return IMGFMT_ERR_MEMORY;
  head = Layout(dir);
  if (imgfmt_file_seek(fd, 8, 0) != 8) return IMGFMT_ERR_WRITE;
  if (int rc = imgfmt_write_exact(fd, head.data() + 8, int64_t(head.size()) - 8)) return rc;
  // Leave the descriptor at the end of the file.
  imgfmt_file_seek(fd, 0, 2);
  return IMGFMT_OK;
}

const char* ErrorText(int code) {
  static const char* const kTexts[] = {
      "version number not 42",
      "too many tags in file",
      "bad tag type",
      "corrupt header",
      "ImageWidth, ImageLength or StripOffsets tag missing",
      "SamplesPerPixel tag must be 1 for bitmap or greyscale file",
      "BitsPerSample tag must be 1,4 or 8 for bitmap or greyscale file",
      "SamplesPerPixel tag must be 3 or more for RGB file",
      "BitsPerSample tag must be 8 for RGB file",
      "SamplesPerPixel tag must be 1 for palettised file",
      "BitsPerSample tag must be 1,4 or 8 for palettised file",
      "SamplesPerPixel tag must be 4 for CMYK file",
      "BitsPerSample tag must be 8 for CMYK file",
      "Compression tag is CCITT 1D Modified Huffman, not supported",
      "Compression tag is CCITT T.4 G3 Facsimile, not supported",
      "Compression tag is CCITT T.6 G4 Facsimile, not supported",
      "Compression tag not uncompressed, PackBits or LZW, not supported",
      "ColorMap tag missing",
      "encoded data is corrupt",
      "Predictor tag bad",
      nullptr,
      "PhotometricInterpretation tag is transparency mask, not supported",
      "PhotometricInterpreation tag is Y-Cb-Cr colour space, not supported",
      "PhotometricInterpretation tag unsupported/bad",
      "FillOrder tag must be 1",
      "PlanarConfiguration tag must be 1 for non RGB files",
      "PlanarConfiguration tag must be 1 or 2 for RGB files",
      "InkSet tag indicates non-CMYK colour seperations",
      "Orientation tag must be 1 or 4",
      "less bitmaps in file than index requested",
  };
  return code >= 800 && code <= 829 ? kTexts[code - 800] : nullptr;
}

}  // namespace

const ImgFmtCodec imgfmt_codec_tiff = {
    {"TIFF", "Tagged Image File Format support (almost TIFF 6.0 Baseline)", "TIF TIFF", 0xff},
    ReadHeader,
    ReadPalette,
    ReadData,
    Write,
    ErrorText};
