// IFF ILBM: interleaved bit-planes (1 to 8 and 24), Extra-Half-Brite, HAM6, HAM8 and SHAM,
// raw or ByteRun1. Written with ByteRun1: palette images as they are, 24-bit images as 24
// planes or as HAM6.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

enum : int {
  kErrNoForm = 900,
  kErrNoIlbm = 901,
  kErrTwoBmhd = 902,
  kErrNoBmhd = 903,
  kErrBmhdSize = 904,
  kErrPlanes = 905,
  kErrCmapSize = 906,
  kErrCompression = 907,
  kErrCamgSize = 908,
  kErrShamVersion = 909,
};

// The largest width or height a BMHD may give: the format's own bound, stricter than the
// program's picture limit, kept because files beyond it are refused by the format.
constexpr int kMaxSide = 10000;

enum Kind : int { kPalette, kHam6, kHam8, kSham, kTrue };

constexpr uint32_t kModeEhb = 0x80;
constexpr uint32_t kModeHam = 0x800;

struct IlbmPrivate {
  ImgFmtRgb palette[256];
  int cmapEntries;
  int64_t bodyPos;
  int64_t bodyLength;
  int planes;
  int masking;  // 1: a mask plane follows each row's planes
  int compression;
  int64_t shamPos;  // -1 without a SHAM chunk
  int64_t shamLength;
  uint32_t mode;
  int kind;
};

static_assert(sizeof(ImgFmtRgb) == 3, "CMAP bytes are read straight into the palette");

void PutId(std::vector<uint8_t>& v, const char* id) { v.insert(v.end(), id, id + 4); }

int ReadAt(int fd, int64_t pos, void* buf, int64_t n) {
  if (imgfmt_file_seek(fd, pos, 0) != pos) return IMGFMT_ERR_READ;
  return imgfmt_read_exact(fd, buf, n);
}

int BppOfPlanes(int planes) {
  if (planes == 1) return 1;
  if (planes >= 2 && planes <= 4) return 4;
  if (planes >= 5 && planes <= 8) return 8;
  if (planes == 24) return 24;
  return 0;
}

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char*) {
  auto* p = imgfmt_private<IlbmPrivate>(h);
  p->shamPos = -1;
  p->mode = kModeHam;  // a 6-plane picture without CAMG is HAM
  const int64_t fileLength = imgfmt_file_length(fd);
  if (fileLength < 0) return IMGFMT_ERR_READ;
  uint8_t b[20];
  if (int rc = imgfmt_read_exact(fd, b, 12)) return rc;
  if (std::memcmp(b, "FORM", 4)) return kErrNoForm;
  if (std::memcmp(b + 8, "ILBM", 4)) return kErrNoIlbm;

  bool bmhd = false, body = false, cmap = false;
  int64_t pos = 12;
  while (!(bmhd && body && (cmap || p->planes == 24))) {
    if (int rc = ReadAt(fd, pos, b, 8)) return rc;
    const int64_t len = GetBe32(b + 4), at = pos + 8;
    if (at + len > fileLength) return IMGFMT_ERR_READ;  // the chunk runs past the file
    if (!std::memcmp(b, "BMHD", 4)) {
      if (bmhd) return kErrTwoBmhd;
      if (len != 20) return kErrBmhdSize;
      if (int rc = imgfmt_read_exact(fd, b, 20)) return rc;
      h->width = GetBe16(b);
      h->height = GetBe16(b + 2);
      if (h->width > kMaxSide || h->height > kMaxSide) return IMGFMT_ERR_BAD_SIZE;
      if (int rc = imgfmt_check_size(h->width, h->height)) return rc;
      p->planes = b[8];
      p->masking = b[9];
      p->compression = b[10];
      if (p->compression > 1) return kErrCompression;
      h->bpp = BppOfPlanes(p->planes);
      if (!h->bpp) return kErrPlanes;
      bmhd = true;
    } else if (!std::memcmp(b, "CAMG", 4)) {
      if (!bmhd) return kErrNoBmhd;
      if (len != 4) return kErrCamgSize;
      if (int rc = imgfmt_read_exact(fd, b, 4)) return rc;
      p->mode = GetBe32(b);
    } else if (!std::memcmp(b, "CMAP", 4)) {
      if (!bmhd) return kErrNoBmhd;
      // The palette holds 256 entries; a longer map's rest is ignored.
      p->cmapEntries = int(std::min<int64_t>(len / 3, 256));
      std::memset(p->palette, 0, sizeof p->palette);
      if (int rc = imgfmt_read_exact(fd, p->palette, int64_t(p->cmapEntries) * 3)) return rc;
      cmap = true;
    } else if (!std::memcmp(b, "SHAM", 4)) {
      if (len < 2) return IMGFMT_ERR_READ;
      if (int rc = imgfmt_read_exact(fd, b, 2)) return rc;
      if (GetBe16(b) != 0) return kErrShamVersion;
      p->shamPos = at + 2;
      p->shamLength = len - 2;
    } else if (!std::memcmp(b, "BODY", 4)) {
      if (!bmhd) return kErrNoBmhd;
      p->bodyPos = at;
      p->bodyLength = len;
      body = true;
    }
    pos = at + len + (len & 1);
  }

  if (p->planes == 24) {
    p->kind = kTrue;
    return IMGFMT_OK;
  }
  const int n = 1 << p->planes;
  const bool sham = p->shamPos >= 0 && p->planes == 6;
  if ((p->mode & kModeEhb) && p->cmapEntries == n / 2) {
    for (int i = 0; i < n / 2; ++i) {
      const ImgFmtRgb& c = p->palette[i];
      p->palette[n / 2 + i] = {uint8_t(c.r / 2), uint8_t(c.g / 2), uint8_t(c.b / 2)};
    }
    p->kind = kPalette;
  } else if ((p->mode & kModeHam) && p->planes == 6 && p->cmapEntries == 16) {
    for (int i = 0; i < 16; ++i) {
      ImgFmtRgb& c = p->palette[i];
      c = {uint8_t(c.r & 0xf0), uint8_t(c.g & 0xf0), uint8_t(c.b & 0xf0)};
    }
    p->kind = sham ? kSham : kHam6;
  } else if ((p->mode & kModeHam) && p->planes == 8 && p->cmapEntries == 64) {
    p->kind = kHam8;
  } else {
    // Writers often store only the colours the picture uses; the entries left are black.
    if (p->cmapEntries == 0 || p->cmapEntries > n) return kErrCmapSize;
    p->kind = sham ? kSham : kPalette;
  }
  if (p->kind != kPalette) h->bpp = 24;
  return IMGFMT_OK;
}

int ReadPalette(int, ImgFmtHeader* h, ImgFmtRgb* pal) {
  auto* p = imgfmt_private<IlbmPrivate>(h);
  const int n = 1 << p->planes;
  std::memset(pal, 0, sizeof(ImgFmtRgb) << h->bpp);
  std::memcpy(pal, p->palette, sizeof(ImgFmtRgb) * size_t(n));
  return IMGFMT_OK;
}

// Bytes of the BODY, through the read-ahead buffer; -1 past the chunk's end.
class BodyReader {
 public:
  BodyReader(ImgFmtReadAhead* ra, int64_t length) : FRa(ra), FLeft(length) {}
  int Get() {
    if (FLeft <= 0) return -1;
    --FLeft;
    return imgfmt_ra_get(FRa);
  }

  // One plane line, raw or ByteRun1; runs that would overrun the line are errors.
  int Line(uint8_t* out, int n, bool packed) {
    int i = 0;
    while (i < n) {
      int c = Get();
      if (c < 0) return IMGFMT_ERR_READ;
      if (!packed) {
        out[i++] = uint8_t(c);
      } else if (c < 128) {
        if (i + c + 1 > n) return IMGFMT_ERR_READ;
        for (int k = 0; k <= c; ++k) {
          int v = Get();
          if (v < 0) return IMGFMT_ERR_READ;
          out[i++] = uint8_t(v);
        }
      } else if (c > 128) {
        int count = 257 - c;
        if (i + count > n) return IMGFMT_ERR_READ;
        int v = Get();
        if (v < 0) return IMGFMT_ERR_READ;
        std::memset(out + i, v, size_t(count));
        i += count;
      }
    }
    return IMGFMT_OK;
  }

 private:
  ImgFmtReadAhead* FRa;
  int64_t FLeft;
};

int DecodeBody(BodyReader& in, ImgFmtHeader* h, const std::vector<uint8_t>& sham, uint8_t* data) {
  auto* p = imgfmt_private<IlbmPrivate>(h);
  const int32_t w = h->width, ht = h->height;
  const int64_t stride = imgfmt_row_bytes(w, h->bpp);
  const int lineBytes = ((w + 15) / 16) * 2;
  const int lines = p->planes + (p->masking == 1 ? 1 : 0);
  std::vector<uint8_t> planes;
  std::vector<uint32_t> values;
  try {
    planes.resize(size_t(lineBytes) * size_t(lines));
    values.resize(size_t(w));
  } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
  const int shamCount = std::min(ht, 200);
  for (int32_t y = 0; y < ht; ++y) {
    for (int k = 0; k < lines; ++k)
      if (int rc = in.Line(&planes[size_t(k) * size_t(lineBytes)], lineBytes, p->compression == 1)) return rc;
    uint8_t* row = data + (ht - 1 - y) * stride;
    if (p->planes == 1) {
      std::memcpy(row, planes.data(), size_t((w + 7) / 8));
      continue;
    }
    std::fill(values.begin(), values.end(), 0);
    for (int k = 0; k < p->planes; ++k) {
      const uint8_t* line = &planes[size_t(k) * size_t(lineBytes)];
      for (int32_t x = 0; x < w; ++x)
        if (line[x >> 3] & (0x80 >> (x & 7))) values[size_t(x)] |= 1u << k;
    }
    if (p->kind == kPalette && h->bpp == 4) {
      std::memset(row, 0, size_t((w + 1) / 2));
      for (int32_t x = 0; x < w; ++x) row[x / 2] |= uint8_t(values[size_t(x)] << (x % 2 ? 0 : 4));
      continue;
    }
    if (p->kind == kPalette) {
      for (int32_t x = 0; x < w; ++x) row[x] = uint8_t(values[size_t(x)]);
      continue;
    }
    if (p->kind == kTrue) {
      for (int32_t x = 0; x < w; ++x) {
        uint32_t v = values[size_t(x)];
        row[x * 3] = uint8_t(v >> 16);
        row[x * 3 + 1] = uint8_t(v >> 8);
        row[x * 3 + 2] = uint8_t(v);
      }
      continue;
    }
    // Hold-and-modify: each pixel takes a palette colour or changes one component of the
    // colour to its left; a row starts from black.
    ImgFmtRgb linePal[16];
    const ImgFmtRgb* pal = p->palette;
    if (p->kind == kSham) {
      int index = (ht <= 200 ? y : y / 2) % shamCount;
      for (int i = 0; i < 16; ++i) {
        int word = GetBe16(&sham[size_t(index) * 32 + size_t(i) * 2]);
        linePal[i] = {uint8_t(((word >> 8) & 15) * 16), uint8_t(((word >> 4) & 15) * 16),
                      uint8_t((word & 15) * 16)};
      }
      pal = linePal;
    }
    uint8_t r = 0, g = 0, b = 0;
    const bool ham8 = p->kind == kHam8;
    for (int32_t x = 0; x < w; ++x) {
      uint32_t v = values[size_t(x)];
      int op = ham8 ? int(v >> 6) : int(v >> 4);
      int low = ham8 ? int(v & 63) : int(v & 15);
      auto modify = [&](uint8_t c) { return ham8 ? uint8_t(low << 2 | (c & 3)) : uint8_t(low * 16); };
      switch (op) {
        case 0: r = pal[low].r, g = pal[low].g, b = pal[low].b; break;
        case 1: b = modify(b); break;
        case 2: r = modify(r); break;
        default: g = modify(g); break;
      }
      row[x * 3] = b;
      row[x * 3 + 1] = g;
      row[x * 3 + 2] = r;
    }
  }
  return IMGFMT_OK;
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  auto* p = imgfmt_private<IlbmPrivate>(h);
  std::vector<uint8_t> sham;
  if (p->kind == kSham) {
    int64_t bytes = int64_t(std::min(h->height, 200)) * 32;
    if (bytes > p->shamLength) return IMGFMT_ERR_READ;
    sham.resize(size_t(bytes));
    if (int rc = ReadAt(fd, p->shamPos, sham.data(), bytes)) return rc;
  }
  if (imgfmt_file_seek(fd, p->bodyPos, 0) != p->bodyPos) return IMGFMT_ERR_READ;
  ImgFmtReadAhead* ra = imgfmt_ra_create(fd);
  if (!ra) return IMGFMT_ERR_MEMORY;
  BodyReader in(ra, p->bodyLength);
  int rc = DecodeBody(in, h, sham, data);
  imgfmt_ra_free(ra);
  return rc;
}

// ---- Writing ----

// Appends the ByteRun1 code of one line.
void PackLine(const uint8_t* in, int n, std::vector<uint8_t>& out) {
  int i = 0;
  while (i < n) {
    int run = 1;
    while (i + run < n && run < 128 && in[i + run] == in[i]) ++run;
    if (run >= 2) {
      out.push_back(uint8_t(1 - run));
      out.push_back(in[i]);
      i += run;
      continue;
    }
    int j = i;
    while (j < n && j - i < 128 && !(j + 1 < n && in[j] == in[j + 1])) ++j;
    out.push_back(uint8_t(j - i - 1));
    out.insert(out.end(), in + i, in + j);
    i = j;
  }
}

// The 6-bit HAM6 codes of one row of 24-bit pixels (B, G, R), over the grey-ramp palette.
void Ham6Row(const uint8_t* src, int32_t w, uint32_t* codes) {
  int cr = 0, cg = 0, cb = 0;
  for (int32_t x = 0; x < w; ++x) {
    const int b = src[x * 3] >> 4, g = src[x * 3 + 1] >> 4, r = src[x * 3 + 2] >> 4;
    uint32_t code;
    if (x == 0) {
      code = uint32_t(r == g || r == b ? r : g == b ? g : (r + g + b) / 3);
    } else {
      const int dr = r > cr ? r - cr : cr - r, dg = g > cg ? g - cg : cg - g, db = b > cb ? b - cb : cb - b;
      const int changed = (dr != 0) + (dg != 0) + (db != 0);
      // Modifies the component with the largest change; red, then green, then blue on ties.
      auto largest = [&]() -> uint32_t {
        if (dr >= dg && dr >= db) return uint32_t(0x20 + r);
        if (dg >= db) return uint32_t(0x30 + g);
        return uint32_t(0x10 + b);
      };
      if (changed == 0) code = uint32_t(0x10 + cb);
      else if (changed == 1) code = dr ? uint32_t(0x20 + r) : dg ? uint32_t(0x30 + g) : uint32_t(0x10 + b);
      else if (changed == 2) code = r == g && g == b ? uint32_t(r) : largest();
      else if (r == g || g == b || r == b) code = uint32_t(g == r ? r : b);
      else code = largest();
    }
    switch (code >> 4) {
      case 0: cr = cg = cb = int(code & 15); break;
      case 1: cb = int(code & 15); break;
      case 2: cr = int(code & 15); break;
      default: cg = int(code & 15); break;
    }
    codes[x] = code;
  }
}

struct WriteOptions {
  int32_t xpos = 0, ypos = 0, transcol = 0, xaspect = 1, yaspect = 1, xscreen, yscreen;
  bool ham6;
};

int ParseOptions(const char* options, const ImgFmtHeader* h, WriteOptions* o) {
  o->xscreen = h->width;
  o->yscreen = h->height;
  o->ham6 = imgfmt_option_flag(options, "ham6");
  struct Field {
    const char* name;
    int32_t* value;
    int32_t lo, hi;  // what the BMHD field holds
  } fields[] = {
      {"xpos=", &o->xpos, -32768, 32767},    {"ypos=", &o->ypos, -32768, 32767},
      {"transcol=", &o->transcol, 0, 65535}, {"xaspect=", &o->xaspect, 0, 255},
      {"yaspect=", &o->yaspect, 0, 255},     {"xscreen=", &o->xscreen, 0, 65535},
      {"yscreen=", &o->yscreen, 0, 65535},
  };
  for (const Field& f : fields) {
    if (int rc = imgfmt_option_int(options, f.name, f.value)) return rc;
    if (*f.value < f.lo || *f.value > f.hi) return IMGFMT_ERR_BAD_OPTION;
  }
  return IMGFMT_OK;
}

int WriteAt(int fd, int64_t pos, uint32_t value) {
  uint8_t v[4];
  PutBe32(v, value);
  if (imgfmt_file_seek(fd, pos, 0) != pos) return IMGFMT_ERR_WRITE;
  return imgfmt_write_exact(fd, v, 4);
}

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
          const char* options) {
  const int32_t w = h->width, ht = h->height, bpp = h->bpp;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) return IMGFMT_ERR_NOT_SUPPORTED;
  WriteOptions o;
  if (int rc = ParseOptions(options, h, &o)) return rc;
  const bool ham6 = bpp == 24 && o.ham6;
  const int planes = ham6 ? 6 : bpp;

  std::vector<uint8_t> head;
  PutId(head, "FORM");
  AppendBe32(head, 0);
  PutId(head, "ILBM");
  PutId(head, "BMHD");
  AppendBe32(head, 20);
  AppendBe16(head, w);
  AppendBe16(head, ht);
  AppendBe16(head, o.xpos);
  AppendBe16(head, o.ypos);
  head.insert(head.end(), {uint8_t(planes), 0, 1, 0});
  AppendBe16(head, o.transcol);
  head.insert(head.end(), {uint8_t(o.xaspect), uint8_t(o.yaspect)});
  AppendBe16(head, o.xscreen);
  AppendBe16(head, o.yscreen);
  if (ham6) {
    PutId(head, "CAMG");
    AppendBe32(head, 4);
    AppendBe32(head, kModeHam);
  }
  if (bpp < 24 || ham6) {
    const int n = ham6 ? 16 : 1 << bpp;
    PutId(head, "CMAP");
    AppendBe32(head, uint32_t(n * 3));
    for (int i = 0; i < n; ++i) {
      if (ham6) head.insert(head.end(), 3, uint8_t(i * 17));
      else head.insert(head.end(), {pal[i].r, pal[i].g, pal[i].b});
    }
  }
  PutId(head, "BODY");
  AppendBe32(head, 0);
  const int64_t bodyLengthAt = int64_t(head.size()) - 4;
  if (int rc = imgfmt_write_exact(fd, head.data(), int64_t(head.size()))) return rc;

  const int64_t stride = imgfmt_row_bytes(w, bpp);
  const int lineBytes = ((w + 15) / 16) * 2;
  std::vector<uint32_t> values;
  std::vector<uint8_t> line, out;
  try {
    values.resize(size_t(w));
    line.resize(size_t(lineBytes));
    out.reserve(size_t(lineBytes) * 2 * size_t(planes));
  } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
  int64_t bodyLength = 0;
  for (int32_t y = ht - 1; y >= 0; --y) {
    const uint8_t* src = data + y * stride;
    for (int32_t x = 0; x < w; ++x) {
      switch (bpp) {
        case 1: values[size_t(x)] = (src[x / 8] >> (7 - x % 8)) & 1; break;
        case 4: values[size_t(x)] = (src[x / 2] >> (x % 2 ? 0 : 4)) & 15; break;
        case 8: values[size_t(x)] = src[x]; break;
        default:
          values[size_t(x)] =
              uint32_t(src[x * 3 + 2]) | uint32_t(src[x * 3 + 1]) << 8 | uint32_t(src[x * 3]) << 16;
      }
    }
    if (ham6) Ham6Row(src, w, values.data());
    out.clear();
    for (int k = 0; k < planes; ++k) {
      std::fill(line.begin(), line.end(), 0);
      for (int32_t x = 0; x < w; ++x)
        if ((values[size_t(x)] >> k) & 1) line[size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
      PackLine(line.data(), lineBytes, out);
    }
    if (int rc = imgfmt_write_exact(fd, out.data(), int64_t(out.size()))) return rc;
    bodyLength += int64_t(out.size());
  }
  if (bodyLength > 0xffffffffLL - 64) return IMGFMT_ERR_WRITE;
  int64_t end = int64_t(head.size()) + bodyLength;
  if (bodyLength & 1) {
    const uint8_t pad = 0;
    if (int rc = imgfmt_write_exact(fd, &pad, 1)) return rc;
    ++end;
  }
  if (int rc = WriteAt(fd, bodyLengthAt, uint32_t(bodyLength))) return rc;
  if (int rc = WriteAt(fd, 4, uint32_t(end - 8))) return rc;
  if (imgfmt_file_seek(fd, end, 0) != end) return IMGFMT_ERR_WRITE;
  return IMGFMT_OK;
}

const char* ErrorText(int code) {
  switch (code) {
    case kErrNoForm: return "no FORM signiture";
    case kErrNoIlbm: return "no ILBM signiture";
    case kErrTwoBmhd: return "multiple BMHD bitmap headers";
    case kErrNoBmhd: return "no BMHD bitmap header";
    case kErrBmhdSize: return "bad size of BMHD bitmap header";
    case kErrPlanes: return "unsupported/bad bits per pixel";
    case kErrCmapSize: return "CMAP colour map is the wrong size";
    case kErrCompression: return "compression type not uncompressed nor RLE";
    case kErrCamgSize: return "CAMG chunk is the wrong size";
    case kErrShamVersion: return "Unsupported version of SHAM (not 0)";
    default: return nullptr;
  }
}

}  // namespace

const ImgFmtCodec imgfmt_codec_ilbm = {{"ILBM", "Amiga IFF / ILBM Interleaved bitmap", "IFF LBM", 0xff},
                                       ReadHeader,
                                       ReadPalette,
                                       ReadData,
                                       Write,
                                       ErrorText};
