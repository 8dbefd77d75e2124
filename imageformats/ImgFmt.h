// The image-format library: a format table of codecs behind one C-style interface.
// Every operation returns an error code (0 = success) and raises nothing.
// Pixel rows run bottom-up, each padded to a multiple of 4 bytes; 1- and 4-bit pixels keep
// the leftmost pixel in the highest bits; 24-bit pixels are the bytes B, G, R.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/ImageLimits.h"

enum : int {
  IMGFMT_OK = 0,
  IMGFMT_ERR_MEMORY = 1,
  IMGFMT_ERR_NOT_SUPPORTED = 2,
  IMGFMT_ERR_BAD_OPTION = 3,
  IMGFMT_ERR_NOT_FOUND = 4,
  IMGFMT_ERR_BAD_MAGIC = 5,
  IMGFMT_ERR_BAD_SIZE = 6,
  IMGFMT_ERR_READ = 7,
  IMGFMT_ERR_WRITE = 8,
  IMGFMT_ERR_BAD_ARG = 9,
};

// Flags of ImgFmtInfo: depths a codec reads and writes.
enum : uint32_t {
  IMGFMT_READ_1 = 0x01,
  IMGFMT_READ_4 = 0x02,
  IMGFMT_READ_8 = 0x04,
  IMGFMT_READ_24 = 0x08,
  IMGFMT_WRITE_1 = 0x10,
  IMGFMT_WRITE_4 = 0x20,
  IMGFMT_WRITE_8 = 0x40,
  IMGFMT_WRITE_24 = 0x80,
};

// Open and create modes as the callers pass them (the Windows C runtime's values); the
// default hooks translate them to POSIX.
enum : int {
  IMGFMT_O_RDONLY = 0x0000,
  IMGFMT_O_WRONLY = 0x0001,
  IMGFMT_O_RDWR = 0x0002,
  IMGFMT_O_APPEND = 0x0008,
  IMGFMT_O_CREAT = 0x0100,
  IMGFMT_O_TRUNC = 0x0200,
  IMGFMT_O_EXCL = 0x0400,
  IMGFMT_O_TEXT = 0x4000,
  IMGFMT_O_BINARY = 0x8000,
};

constexpr int IMGFMT_FORMAT_COUNT = 16;
constexpr int IMGFMT_PRIVATE_SIZE = 2048;

struct ImgFmtInfo {
  const char* short_name;
  const char* long_name;
  const char* extensions;  // words separated by blanks
  uint32_t flags;
};

struct ImgFmtHeader {
  int32_t width;
  int32_t height;
  int32_t bpp;  // 1, 4, 8 or 24
  // What the header reader learned, for the palette and data readers of the same codec.
  alignas(8) unsigned char priv[IMGFMT_PRIVATE_SIZE];
};

struct ImgFmtRgb {
  uint8_t r, g, b;
};

// The I/O hook table.
using ImgFmtOpenFn = int (*)(const char* name, int mode);
using ImgFmtCreateFn = int (*)(const char* name, int mode);
using ImgFmtCloseFn = int (*)(int fd);
using ImgFmtSeekFn = int64_t (*)(int fd, int64_t pos, int origin);
using ImgFmtReadFn = int (*)(int fd, void* buf, int count);
using ImgFmtWriteFn = int (*)(int fd, const void* buf, int count);

int imgfmt_set_io_hooks(ImgFmtOpenFn open, ImgFmtCreateFn create, ImgFmtCloseFn close, ImgFmtSeekFn seek,
                        ImgFmtReadFn read, ImgFmtWriteFn write);
int imgfmt_file_open(const char* name, int mode);
int imgfmt_file_create(const char* name, int mode);
int imgfmt_file_close(int fd);
int64_t imgfmt_file_seek(int fd, int64_t pos, int origin);
int imgfmt_file_read(int fd, void* buf, int count);
int imgfmt_file_write(int fd, const void* buf, int count);

int imgfmt_format_count(int* count);
int imgfmt_guess_format(const char* name, int* index);
int imgfmt_query_format(int index, ImgFmtInfo* info);
int imgfmt_read_header(const char* name, int fd, int index, ImgFmtHeader* header, const char* options);
int imgfmt_read_palette(int fd, int index, ImgFmtHeader* header, ImgFmtRgb* palette);
int imgfmt_read_data(int fd, int index, ImgFmtHeader* header, uint8_t* data);
// Gives 2 when the format has no writer for the header's depth.
int imgfmt_write_image(const char* name, int fd, int index, const ImgFmtHeader* header,
                       const ImgFmtRgb* palette, const uint8_t* data, const char* options);
const char* imgfmt_error_text(int code);

// ---- Shared by the codecs ----

// One row of pixel data in bytes, 64-bit.
int64_t imgfmt_row_bytes(int32_t width, int32_t bpp);
// 0, or 6 when a width or height is below 1, above the dimension limit, or the pixel count
// above the pixel limit.
int imgfmt_check_size(int64_t width, int64_t height);

// Options: words separated by blanks, tabs or commas; names compared without case.
bool imgfmt_option_flag(const char* options, const char* word);
// The place where the first word beginning with `name` (which includes its '=') starts, or
// nullptr.
const char* imgfmt_option_find(const char* options, const char* name);
// A decimal value of `name`: 0 with *value set (left alone when the option is absent), or 3
// when the value is not a whole decimal number of 32 bits.
int imgfmt_option_int(const char* options, const char* name, int32_t* value);

// Reads exactly count bytes: 0, or 7 on a short read or a failure.
int imgfmt_read_exact(int fd, void* buf, int64_t count);
// Writes exactly count bytes: 0, or 8.
int imgfmt_write_exact(int fd, const void* buf, int64_t count);
// Length of the file by seeking to its end; the position is left at the start. -1 on failure.
int64_t imgfmt_file_length(int fd);

// The read-ahead buffer of codecs that read byte by byte.
struct ImgFmtReadAhead;
ImgFmtReadAhead* imgfmt_ra_create(int fd);           // nullptr when memory runs out
int imgfmt_ra_get(ImgFmtReadAhead* ra);              // the next byte, or -1 at the end of the data
int64_t imgfmt_ra_taken(const ImgFmtReadAhead* ra);  // bytes handed out so far
void imgfmt_ra_free(ImgFmtReadAhead* ra);

// Grey bytes of the caller's 256 palette entries for the Greymap and IAX writers, chosen by
// the options "k", "r", "g", "b": 0 or 3.
int imgfmt_grey_map(const ImgFmtRgb* palette, const char* options, uint8_t grey[256]);
// Writes the 8-bit rows of `data` (bottom-up, padded) top row first, each byte through grey.
int imgfmt_write_grey_rows(int fd, const ImgFmtHeader* h, const uint8_t grey[256], const uint8_t* data);

// Reinterprets the private area of a header as a codec's own record.
template <class T>
T* imgfmt_private(ImgFmtHeader* h) {
  static_assert(sizeof(T) <= IMGFMT_PRIVATE_SIZE);
  static_assert(alignof(T) <= 8);
  return reinterpret_cast<T*>(h->priv);
}
