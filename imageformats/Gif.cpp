// GIF87a and GIF89a: one chosen image read, single-image files written, 1, 4 and 8 bits per
// pixel, with GIF's variable-width LZW.
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

enum : int {
  kErrBpp = 1100,
  kErrTerminator = 1101,
  kErrCodeSize = 1102,
  kErrCorrupt = 1103,
  kErrHeader = 1104,
};

struct GifPrivate {
  bool interlaced;
  bool errok;
  int32_t bits;     // bits of the colour table in force, 1 to 8
  int32_t colours;  // entries of that table that the file gave
  int64_t dataPos;  // the chosen image's code-size byte
  ImgFmtRgb table[256];
};

int ReadByte(int fd, int* v) {
  unsigned char b;
  if (int rc = imgfmt_read_exact(fd, &b, 1)) return rc;
  *v = b;
  return IMGFMT_OK;
}

int ReadTable(int fd, int entries, ImgFmtRgb* table) {
  unsigned char raw[256 * 3];
  if (int rc = imgfmt_read_exact(fd, raw, entries * 3)) return rc;
  for (int i = 0; i < entries; ++i) table[i] = {raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]};
  return IMGFMT_OK;
}

int SkipSubBlocks(int fd) {
  unsigned char buf[255];
  for (;;) {
    int length;
    if (int rc = ReadByte(fd, &length)) return rc;
    if (length == 0) return IMGFMT_OK;
    if (int rc = imgfmt_read_exact(fd, buf, length)) return rc;
  }
}

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char* options) {
  GifPrivate* p = imgfmt_private<GifPrivate>(h);
  p->errok = imgfmt_option_flag(options, "errok");
  int32_t wanted = 0;
  if (imgfmt_option_int(options, "index=", &wanted) || wanted < 0) return IMGFMT_ERR_BAD_OPTION;

  unsigned char sig[6], screen[7];
  if (int rc = imgfmt_read_exact(fd, sig, 6)) return rc;
  if (std::memcmp(sig, "GIF87a", 6) != 0 && std::memcmp(sig, "GIF89a", 6) != 0) return IMGFMT_ERR_BAD_MAGIC;
  if (int rc = imgfmt_read_exact(fd, screen, 7)) return rc;
  ImgFmtRgb global[256] = {};
  int globalBits = (screen[4] & 7) + 1;
  int globalColours;
  if (screen[4] & 0x80) {
    globalColours = 1 << globalBits;
    if (int rc = ReadTable(fd, globalColours, global)) return rc;
  } else {
    global[1] = {255, 255, 255};
    globalColours = 2;
  }

  for (int32_t image = 0;;) {
    int kind;
    if (int rc = ReadByte(fd, &kind)) return rc;
    if (kind == '!') {
      int label;
      if (int rc = ReadByte(fd, &label)) return rc;
      if (int rc = SkipSubBlocks(fd)) return rc;
    } else if (kind == ',') {
      unsigned char d[9];
      if (int rc = imgfmt_read_exact(fd, d, 9)) return rc;
      int32_t width = GetLe16(d + 4), height = GetLe16(d + 6);
      // A local table serves its own image only; the next image is back on the global one.
      std::memcpy(p->table, global, sizeof global);
      p->bits = globalBits;
      p->colours = globalColours;
      p->interlaced = (d[8] & 0x40) != 0;
      if (d[8] & 0x80) {
        p->bits = (d[8] & 7) + 1;
        p->colours = 1 << p->bits;
        if (int rc = ReadTable(fd, p->colours, p->table)) return rc;
      }
      if (image++ < wanted) {
        int codeSize;
        if (int rc = ReadByte(fd, &codeSize)) return rc;
        if (int rc = SkipSubBlocks(fd)) return rc;
        continue;
      }
      if (int rc = imgfmt_check_size(width, height)) return rc;
      p->dataPos = imgfmt_file_seek(fd, 0, 1);
      if (p->dataPos < 0) return IMGFMT_ERR_READ;
      h->width = width;
      h->height = height;
      if (p->bits == 1) h->bpp = 1;
      else if (p->bits >= 2 && p->bits <= 4) h->bpp = 4;
      else if (p->bits >= 5 && p->bits <= 8) h->bpp = 8;
      else return kErrBpp;
      return IMGFMT_OK;
    } else if (kind == ';') {
      return kErrTerminator;
    } else {
      return kErrHeader;
    }
  }
}

int ReadPalette(int, ImgFmtHeader* h, ImgFmtRgb* pal) {
  const GifPrivate* p = imgfmt_private<GifPrivate>(h);
  int entries = 1 << h->bpp;
  for (int i = 0; i < entries; ++i) pal[i] = {128, 128, 128};
  for (int i = 0; i < p->colours && i < entries; ++i) pal[i] = p->table[i];
  return IMGFMT_OK;
}

// Rows of the picture in the order the file gives them, top row 0.
class RowOrder {
 public:
  RowOrder(int32_t height, bool interlaced) : height_(height), interlaced_(interlaced) {
    if (interlaced_) Settle();
  }
  bool Done() const { return interlaced_ ? pass_ >= 4 : row_ >= height_; }
  int32_t Row() const { return row_; }
  void Next() {
    if (!interlaced_) {
      ++row_;
      return;
    }
    row_ += kStep[pass_];
    Settle();
  }

 private:
  static constexpr int32_t kStart[4] = {0, 4, 2, 1};
  static constexpr int32_t kStep[4] = {8, 8, 4, 2};
  // Moves on to the next pass while the current one has no rows left.
  void Settle() {
    while (pass_ < 4 && row_ >= height_) {
      if (++pass_ < 4) row_ = kStart[pass_];
    }
  }
  int32_t height_;
  bool interlaced_;
  int32_t row_ = 0;
  int pass_ = 0;
};

// Codes from the data sub-blocks, least significant bit first.
class CodeReader {
 public:
  explicit CodeReader(ImgFmtReadAhead* ra) : ra_(ra) {}
  // The next code, or -1 when the data runs out (a zero-length block or the end of the file).
  int Get(int width) {
    while (have_ < width) {
      if (ended_) return -1;
      if (left_ == 0) {
        int n = imgfmt_ra_get(ra_);
        if (n <= 0) {
          ended_ = true;
          return -1;
        }
        left_ = n;
      }
      int b = imgfmt_ra_get(ra_);
      if (b < 0) {
        ended_ = true;
        return -1;
      }
      --left_;
      acc_ |= uint32_t(b) << have_;
      have_ += 8;
    }
    int code = int(acc_ & ((1u << width) - 1));
    acc_ >>= width;
    have_ -= width;
    return code;
  }

 private:
  ImgFmtReadAhead* ra_;
  uint32_t acc_ = 0;
  int have_ = 0;
  int left_ = 0;
  bool ended_ = false;
};

struct DecodeTables {
  uint16_t prefix[4096];
  uint8_t suffix[4096];
  uint8_t stack[4097];
};

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  const GifPrivate* p = imgfmt_private<GifPrivate>(h);
  const int64_t stride = imgfmt_row_bytes(h->width, h->bpp);
  std::memset(data, 0, size_t(stride * h->height));
  if (imgfmt_file_seek(fd, p->dataPos, 0) != p->dataPos) return IMGFMT_ERR_READ;
  int size;
  if (int rc = ReadByte(fd, &size)) return rc;
  if (size < 2 || size > 9) return kErrCodeSize;

  auto* t = new (std::nothrow) DecodeTables;
  ImgFmtReadAhead* ra = t ? imgfmt_ra_create(fd) : nullptr;
  if (!ra) {
    delete t;
    return IMGFMT_ERR_MEMORY;
  }
  const int clear = 1 << size, end = clear + 1;
  const int mask = (1 << p->bits) - 1;
  const int32_t bpp = h->bpp;
  CodeReader codes(ra);
  RowOrder rows(h->height, p->interlaced);
  uint8_t* row = data + (h->height - 1 - rows.Row()) * stride;
  int32_t x = 0;
  // Places one value; false once every row is filled.
  auto put = [&](int v) {
    v &= mask;
    if (bpp == 8) row[x] = uint8_t(v);
    else if (bpp == 4) row[x / 2] |= uint8_t(v << (x % 2 == 0 ? 4 : 0));
    else row[x / 8] |= uint8_t(v << (7 - x % 8));
    if (++x == h->width) {
      x = 0;
      rows.Next();
      if (rows.Done()) return false;
      row = data + (h->height - 1 - rows.Row()) * stride;
    }
    return true;
  };

  int rc = IMGFMT_OK;
  int width = size + 1, next = clear + 2, previous = -1;
  uint8_t first = 0;
  for (;;) {
    int code = codes.Get(width);
    if (code < 0) {
      if (!p->errok) rc = IMGFMT_ERR_READ;
      break;
    }
    if (code == clear) {
      width = size + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code > clear) {
        if (!p->errok) rc = kErrCorrupt;
        break;
      }
      previous = code;
      first = uint8_t(code);
      if (!put(code)) break;
      continue;
    }
    if (code > next || (code == next && next >= 4096)) {
      if (!p->errok) rc = kErrCorrupt;
      break;
    }
    // Unwind the string onto the stack, last value first.
    int depth = 0, c = code;
    if (code == next) {
      t->stack[depth++] = first;
      c = previous;
    }
    while (c > clear) {
      if (depth >= 4096) break;
      t->stack[depth++] = t->suffix[c];
      c = t->prefix[c];
    }
    if (c > clear || depth >= 4097) {
      if (!p->errok) rc = kErrCorrupt;
      break;
    }
    t->stack[depth++] = uint8_t(c);
    first = uint8_t(c);
    if (next < 4096) {
      t->prefix[next] = uint16_t(previous);
      t->suffix[next] = first;
      ++next;
      if (next == 1 << width && width < 12) ++width;
    }
    previous = code;
    bool room = true;
    while (depth > 0 && room) room = put(t->stack[--depth]);
    if (!room) break;
  }
  imgfmt_ra_free(ra);
  delete t;
  return rc;
}

// ---- Writing ----

// Codes packed least significant bit first into sub-blocks of 255 bytes.
class CodeWriter {
 public:
  explicit CodeWriter(int fd) : fd_(fd) {}
  void Put(int code, int width) {
    acc_ |= uint32_t(code) << have_;
    have_ += width;
    while (have_ >= 8) {
      Byte(uint8_t(acc_));
      acc_ >>= 8;
      have_ -= 8;
    }
  }
  // The last bits, the partial block and the zero-length block.
  int Finish() {
    if (have_ > 0) Byte(uint8_t(acc_));
    have_ = 0;
    Flush();
    unsigned char zero = 0;
    if (!rc_) rc_ = imgfmt_write_exact(fd_, &zero, 1);
    return rc_;
  }

 private:
  void Byte(uint8_t b) {
    block_[1 + fill_++] = b;
    if (fill_ == 255) Flush();
  }
  void Flush() {
    if (fill_ == 0 || rc_) {
      fill_ = 0;
      return;
    }
    block_[0] = uint8_t(fill_);
    rc_ = imgfmt_write_exact(fd_, block_, fill_ + 1);
    fill_ = 0;
  }
  int fd_;
  uint32_t acc_ = 0;
  int have_ = 0;
  unsigned char block_[256];
  int fill_ = 0;
  int rc_ = IMGFMT_OK;
};

constexpr int kHashSize = 17777;

struct EncodeTables {
  int32_t key[kHashSize];  // prefix code << 8 | value, -1 when free
  int16_t code[kHashSize];
};

int Pixel(const uint8_t* row, int32_t x, int32_t bpp) {
  if (bpp == 8) return row[x];
  if (bpp == 4) return (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0f;
  return (row[x / 8] >> (7 - x % 8)) & 1;
}

int OptionU16(const char* options, const char* name, int32_t* value) {
  if (imgfmt_option_int(options, name, value) || *value < 0 || *value > 65535) return IMGFMT_ERR_BAD_OPTION;
  return IMGFMT_OK;
}

int Write(const char*, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
          const char* options) {
  const int32_t bpp = h->bpp;
  if (bpp != 1 && bpp != 4 && bpp != 8) return IMGFMT_ERR_NOT_SUPPORTED;
  if (h->width > 65535 || h->height > 65535) return IMGFMT_ERR_BAD_SIZE;
  bool ilace = imgfmt_option_flag(options, "ilace");
  int32_t xscreen = h->width, yscreen = h->height, background = 0, xpos = 0, ypos = 0;
  if (OptionU16(options, "xscreen=", &xscreen) || OptionU16(options, "yscreen=", &yscreen) ||
      OptionU16(options, "xpos=", &xpos) || OptionU16(options, "ypos=", &ypos))
    return IMGFMT_ERR_BAD_OPTION;
  if (imgfmt_option_int(options, "background=", &background) || background < 0 || background > 255)
    return IMGFMT_ERR_BAD_OPTION;
  int32_t transparent = -1;
  if (const char* t = imgfmt_option_find(options, "transcol=")) {
    const char* value = t + 9;
    bool edge = (value[0] == 'e' || value[0] == 'E') && (value[1] == 'd' || value[1] == 'D') &&
                (value[2] == 'g' || value[2] == 'G') && (value[3] == 'e' || value[3] == 'E') &&
                (value[4] == 0 || value[4] == ' ' || value[4] == '\t' || value[4] == ',');
    if (edge) transparent = Pixel(data, 0, bpp);  // the bottom-left corner
    else if (imgfmt_option_int(options, "transcol=", &transparent) || transparent < 0 || transparent > 255)
      return IMGFMT_ERR_BAD_OPTION;
  }

  const int depth = bpp;
  std::vector<unsigned char> out = {'G', 'I', 'F', '8', uint8_t(transparent >= 0 ? '9' : '7'), 'a'};
  AppendLe16(out, xscreen);
  AppendLe16(out, yscreen);
  out.push_back(uint8_t(0x80 | (depth - 1) << 4 | (depth - 1)));
  out.push_back(uint8_t(background));
  out.push_back(0);
  for (int i = 0; i < 1 << depth; ++i) {
    out.push_back(pal[i].r);
    out.push_back(pal[i].g);
    out.push_back(pal[i].b);
  }
  if (transparent >= 0) {
    const unsigned char gce[] = {0x21, 0xF9, 4, 1, 0, 0, uint8_t(transparent), 0};
    out.insert(out.end(), gce, gce + sizeof gce);
  }
  out.push_back(',');
  AppendLe16(out, xpos);
  AppendLe16(out, ypos);
  AppendLe16(out, h->width);
  AppendLe16(out, h->height);
  out.push_back(uint8_t((depth - 1) | (ilace ? 0x40 : 0)));
  const int size = bpp == 1 ? 2 : bpp;
  out.push_back(uint8_t(size));
  if (int rc = imgfmt_write_exact(fd, out.data(), int64_t(out.size()))) return rc;

  auto* t = new (std::nothrow) EncodeTables;
  if (!t) return IMGFMT_ERR_MEMORY;
  const int clear = 1 << size, end = clear + 1;
  int width = size + 1, next = clear + 2;
  std::memset(t->key, 0xff, sizeof t->key);
  auto reset = [&] {
    std::memset(t->key, 0xff, sizeof t->key);
    width = size + 1;
    next = clear + 2;
  };
  CodeWriter w(fd);
  w.Put(clear, width);

  const int64_t stride = imgfmt_row_bytes(h->width, bpp);
  int current = -1;  // code of the pending string, -1 when none
  int32_t hash = 0, length = 0;
  for (RowOrder rows(h->height, ilace); !rows.Done(); rows.Next()) {
    const uint8_t* row = data + (h->height - 1 - rows.Row()) * stride;
    for (int32_t x = 0; x < h->width; ++x) {
      int v = Pixel(row, x, bpp);
      if (current < 0) {
        current = v;
        hash = (301 * v + 903) % kHashSize;
        length = 1;
        continue;
      }
      int32_t h2 = int32_t((int64_t(length) + v + 5) * hash % kHashSize);
      int32_t key = current << 8 | v;
      int slot = h2;
      while (t->key[slot] != -1 && t->key[slot] != key) slot = slot + 1 == kHashSize ? 0 : slot + 1;
      if (t->key[slot] == key) {
        current = t->code[slot];
        hash = h2;
        ++length;
        continue;
      }
      w.Put(current, width);
      if (next == 1 << width && width < 12) ++width;
      if (next == 4094) {
        // The table is full: the value goes out on its own and the table starts again.
        w.Put(v, width);
        w.Put(clear, width);
        reset();
        current = -1;
        continue;
      }
      t->key[slot] = key;
      t->code[slot] = int16_t(next);
      ++next;
      current = v;
      hash = (301 * v + 903) % kHashSize;
      length = 1;
    }
  }
  if (current >= 0) {
    w.Put(current, width);
    if (next == 1 << width && width < 12) ++width;
  }
  w.Put(end, width);
  int rc = w.Finish();
  delete t;
  if (rc) return rc;
  unsigned char trailer = ';';
  return imgfmt_write_exact(fd, &trailer, 1);
}

const char* ErrorText(int code) {
  switch (code) {
    case kErrBpp: return "bad bits per pixel";
    case kErrTerminator: return "terminator found before requested image descriptor";
    case kErrCodeSize: return "code size not in range 2 to 9";
    case kErrCorrupt: return "encoded data is corrupt";
    case kErrHeader: return "bad header";
    default: return nullptr;
  }
}

}  // namespace

const ImgFmtCodec imgfmt_codec_gif = {{"GIF", "CompuServe Graphics Interchange Format", "GIF", 0x77},
                                      ReadHeader,
                                      ReadPalette,
                                      ReadData,
                                      Write,
                                      ErrorText};
