// Printer page segments: monochrome images in structured-field records, numbers big-endian.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/ByteOrder.h"

namespace {

struct PsegPrivate {
  int64_t first;  // file position of the first cell-position or raster record
  int32_t cellWidth;
  int32_t cellHeight;
  bool fixrec;
};

enum : int {
  kErrNo5A = 1600,
  kErrRecord = 1601,
  kErrNoSize = 1602,
  kErrWidth = 1603,
  kErrDefaultCell = 1604,
  kErrCellSize = 1605,
  kErrCellPos = 1606,
  kErrPlace = 1607,
};

constexpr uint32_t kNop = 0xD3EEEE, kBeginSegment = 0xD3A85F, kBeginImage = 0xD3A87B,
                   kOutputControl = 0xD3A77B, kImageSize = 0xD3A67B, kCellPosition = 0xD3AC7B,
                   kRaster = 0xD3EE7B, kEndImage = 0xD3A97B, kEndSegment = 0xD3A95F;

// How far back "fixrec" looks for a record's 0x5A.
constexpr int kFixrecReach = 10;

struct Record {
  int64_t start;  // position of its 0x5A
  uint32_t id;
  std::vector<uint8_t> data;
};

int ByteAt(int fd, int64_t pos) {
  uint8_t b;
  if (pos < 0 || imgfmt_file_seek(fd, pos, 0) != pos) return -1;
  return imgfmt_file_read(fd, &b, 1) == 1 ? b : -1;
}

// Reads the record expected at *pos and moves *pos past it. With fixrec a record is looked
// for up to ten bytes earlier, but never at or before `floor` (the previous record's start),
// so the walk always moves on.
int ReadRecord(int fd, int64_t* pos, int64_t floor, bool fixrec, Record* r) {
  int64_t at = *pos;
  int b = ByteAt(fd, at);
  if (b != 0x5A && fixrec) {
    for (int k = 1; k <= kFixrecReach && at - k > floor; ++k)
      if (ByteAt(fd, at - k) == 0x5A) {
        at -= k;
        b = 0x5A;
        break;
      }
  }
  if (b < 0) return IMGFMT_ERR_READ;
  if (b != 0x5A) return kErrNo5A;
  uint8_t intro[8];
  if (int rc = imgfmt_read_exact(fd, intro, 8)) return rc;
  int length = GetBe16(intro);
  if (length < 8) return kErrRecord;
  r->start = at;
  r->id = (uint32_t(intro[2]) << 16) | (uint32_t(intro[3]) << 8) | intro[4];
  r->data.resize(size_t(length - 8));
  if (int rc = imgfmt_read_exact(fd, r->data.data(), length - 8)) return rc;
  *pos = at + 1 + length;
  return IMGFMT_OK;
}

int ReadHeaderRecords(int fd, ImgFmtHeader* h, PsegPrivate* p) {
  Record r;
  int64_t pos = 0, floor = -1;
  bool sized = false;
  for (;;) {
    if (int rc = ReadRecord(fd, &pos, floor, p->fixrec, &r)) return rc;
    floor = r.start;
    switch (r.id) {
      case kNop:
      case kBeginSegment:
      case kBeginImage:
      case kOutputControl: break;
      case kImageSize: {
        if (r.data.size() < 32) return kErrRecord;
        const uint8_t* d = r.data.data();
        int width = GetBe16(d + 18), height = GetBe16(d + 20);
        if (width % 8) return kErrWidth;
        int cw = GetBe16(d + 28), ch = GetBe16(d + 30);
        if (cw % 8) return kErrDefaultCell;
        if (cw == 0 && ch == 0) cw = width, ch = height;
        if (int rc = imgfmt_check_size(width, height)) return rc;
        h->width = width;
        h->height = height;
        p->cellWidth = cw;
        p->cellHeight = ch;
        sized = true;
        break;
      }
      case kCellPosition:
      case kRaster:
        if (!sized) return kErrNoSize;
        p->first = r.start;
        return IMGFMT_OK;
      default: return kErrRecord;
    }
  }
}

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char* options) {
  auto* p = imgfmt_private<PsegPrivate>(h);
  p->fixrec = imgfmt_option_flag(options, "fixrec");
  int rc;
  try {
    rc = ReadHeaderRecords(fd, h, p);
  } catch (const std::bad_alloc&) { rc = IMGFMT_ERR_MEMORY; }
  if (rc) return rc;
  h->bpp = 1;
  return IMGFMT_OK;
}

int ReadCells(int fd, ImgFmtHeader* h, const PsegPrivate* p, uint8_t* data) {
  const int64_t stride = imgfmt_row_bytes(h->width, 1);
  const int64_t rowBytes = h->width / 8;
  // Cells and raster rows outside the image are dropped, not written.
  auto at = [&](int64_t row, int64_t col) -> uint8_t* {
    if (row < 0 || row >= h->height || col < 0 || col >= rowBytes) return nullptr;
    return data + (h->height - 1 - row) * stride + col;
  };
  int64_t cellX = 0, cellY = 0, cellBytes = p->cellWidth / 8;
  int64_t row = 0, col = 0;  // where the next raster byte goes inside the cell
  Record r;
  int64_t pos = p->first, floor = -1;
  for (;;) {
    if (int rc = ReadRecord(fd, &pos, floor, p->fixrec, &r)) return rc;
    floor = r.start;
    switch (r.id) {
      case kNop: break;
      case kCellPosition: {
        if (r.data.size() < 12) return kErrRecord;
        const uint8_t* d = r.data.data();
        int x = GetBe16(d), y = GetBe16(d + 2), cw = GetBe16(d + 4);
        int fw = GetBe16(d + 8), fh = GetBe16(d + 10);
        if (x % 8) return kErrCellPos;
        if (cw % 8) return kErrCellSize;
        cellX = x / 8;
        cellY = y;
        cellBytes = cw / 8;
        row = col = 0;
        if (fw != 0xFFFF && fh != 0xFFFF) {
          // Only the part inside the image is cleared.
          int64_t rows = std::min<int64_t>(fh, h->height - cellY);
          int64_t cols = std::min<int64_t>(fw / 8, rowBytes - cellX);
          for (int64_t j = 0; j < rows; ++j)
            for (int64_t i = 0; i < cols; ++i) *at(cellY + j, cellX + i) = 0;
        }
        break;
      }
      case kRaster:
        if (cellBytes == 0) break;
        for (uint8_t b : r.data) {
          if (uint8_t* q = at(cellY + row, cellX + col)) *q = b;
          if (++col == cellBytes) col = 0, ++row;
        }
        break;
      case kEndImage:
      case kEndSegment: return IMGFMT_OK;
      case kBeginSegment:
      case kBeginImage:
      case kImageSize:
      case kOutputControl: return kErrPlace;
      default: return kErrRecord;
    }
  }
}

int ReadData(int fd, ImgFmtHeader* h, uint8_t* data) {
  try {
    return ReadCells(fd, h, imgfmt_private<PsegPrivate>(h), data);
  } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
}

// ---- Writing ----

// ASCII to EBCDIC (code page 1047); bytes above 0x7F, which are pieces of UTF-8 here, become
// '?'.
const uint8_t kEbcdic[128] = {
    0x00, 0x01, 0x02, 0x03, 0x37, 0x2D, 0x2E, 0x2F, 0x16, 0x05, 0x25, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
    0x10, 0x11, 0x12, 0x13, 0x3C, 0x3D, 0x32, 0x26, 0x18, 0x19, 0x3F, 0x27, 0x1C, 0x1D, 0x1E, 0x1F,
    0x40, 0x5A, 0x7F, 0x7B, 0x5B, 0x6C, 0x50, 0x7D, 0x4D, 0x5D, 0x5C, 0x4E, 0x6B, 0x60, 0x4B, 0x61,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x5E, 0x4C, 0x7E, 0x6E, 0x6F,
    0x7C, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6,
    0xD7, 0xD8, 0xD9, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xAD, 0xE0, 0xBD, 0x5F, 0x6D,
    0x79, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96,
    0x97, 0x98, 0x99, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xC0, 0x4F, 0xD0, 0xA1, 0x07,
};

std::vector<uint8_t> Ebcdic(const std::string& s) {
  std::vector<uint8_t> out;
  for (unsigned char c : s) out.push_back(c < 0x80 ? kEbcdic[c] : 0x6F);
  return out;
}

// The segment name: the file's own name (folders dropped), cut or padded with blanks to 8.
std::vector<uint8_t> SegmentName(const char* fileName) {
  std::string s = fileName;
  size_t sep = s.find_last_of("/\\:");
  if (sep != std::string::npos) s.erase(0, sep + 1);
  s.resize(8, ' ');
  return Ebcdic(s);
}

void PutRecord(std::vector<uint8_t>& out, uint32_t id, const std::vector<uint8_t>& data) {
  size_t length = data.size() + 8;
  out.insert(out.end(), {0x5A, uint8_t(length >> 8), uint8_t(length), uint8_t(id >> 16), uint8_t(id >> 8),
                         uint8_t(id), 0, 0, 0});
  out.insert(out.end(), data.begin(), data.end());
}

int Brightness(const ImgFmtRgb& c) { return 77 * c.r + 150 * c.g + 29 * c.b; }

int WriteImage(const char* name, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
               const char* options) {
  if (h->bpp != 1) return IMGFMT_ERR_NOT_SUPPORTED;
  // A set bit prints black: the bits are inverted when the caller's dark colour is entry 0.
  const bool invert = pal && Brightness(pal[0]) < Brightness(pal[1]);
  if (h->width > 2400 || h->height > 2400) return IMGFMT_ERR_BAD_SIZE;
  const bool twice = imgfmt_option_flag(options, "double");
  try {
    std::vector<uint8_t> out, seg = SegmentName(name);
    PutRecord(out, kNop, Ebcdic("Written by ImgFmt"));
    PutRecord(out, kBeginSegment, seg);
    PutRecord(out, kBeginImage, seg);
    std::vector<uint8_t> control(24, 0);
    control[8] = 0x2D;
    PutBe16(&control[18], twice ? 2000 : 1000);
    PutBe16(&control[20], twice ? 2000 : 1000);
    PutBe16(&control[22], 0xFFFF);
    PutRecord(out, kOutputControl, control);
    std::vector<uint8_t> size(36, 0);
    for (size_t at : {2, 4, 14, 16}) PutBe16(&size[at], 2400);
    PutBe16(&size[18], (h->width + 7) / 8 * 8);
    PutBe16(&size[20], h->height);
    size[26] = 0x2D;
    PutBe16(&size[32], 0x0001);
    PutBe16(&size[34], 0xFFFF);
    PutRecord(out, kImageSize, size);
    const int64_t stride = imgfmt_row_bytes(h->width, 1);
    std::vector<uint8_t> row(size_t(h->width + 7) / 8);
    for (int32_t y = h->height - 1; y >= 0; --y) {
      std::memcpy(row.data(), data + y * stride, row.size());
      if (invert)
        for (uint8_t& b : row) b = uint8_t(~b);
      if (h->width % 8) row.back() &= uint8_t(0xFF00 >> (h->width % 8));
      PutRecord(out, kRaster, row);
    }
    PutRecord(out, kEndImage, seg);
    PutRecord(out, kEndSegment, seg);
    return imgfmt_write_exact(fd, out.data(), int64_t(out.size()));
  } catch (const std::bad_alloc&) { return IMGFMT_ERR_MEMORY; }
}

const char* ErrorText(int code) {
  switch (code) {
    case kErrNo5A: return "record in the PSEG file does not start with 0x5a (try fixrec option)";
    case kErrRecord: return "bad/unknown record in PSEG file";
    case kErrNoSize: return "size record not seen before raster data or image cell position records";
    case kErrWidth: return "width must be a multiple of 8";
    case kErrDefaultCell: return "default cell size must be a multiple of 8";
    case kErrCellSize: return "cell size must be a multiple of 8";
    case kErrCellPos: return "cell position must be a multiple of 8";
    case kErrPlace: return "record found in an unexpected place";
    default: return nullptr;
  }
}

}  // namespace

const ImgFmtCodec imgfmt_codec_pseg = {
    {"PSEG", "IBM Printer Page Segment", "PSE PSEG PSEG38PP PSEG3820", 0x11},
    ReadHeader,
    imgfmt_read_mono_palette,
    ReadData,
    WriteImage,
    ErrorText};
