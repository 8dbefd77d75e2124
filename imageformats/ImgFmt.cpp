// Core of the image-format library: the format table, dispatch, I/O hooks, options,
// read-ahead and error texts.
#include "imageformats/ImgFmt.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "imageformats/ImgFmtCodec.h"
#include "platform/SysUtils.h"

namespace {

// ---- Default I/O hooks over POSIX descriptors ----

// Callers pass the Windows runtime's flag values; their bits differ from POSIX's.
int TranslateMode(int mode) {
  int flags;
  switch (mode & 3) {
    case IMGFMT_O_WRONLY: flags = O_WRONLY; break;
    case IMGFMT_O_RDWR: flags = O_RDWR; break;
    default: flags = O_RDONLY; break;
  }
  if (mode & IMGFMT_O_APPEND) flags |= O_APPEND;
  if (mode & IMGFMT_O_CREAT) flags |= O_CREAT;
  if (mode & IMGFMT_O_TRUNC) flags |= O_TRUNC;
  if (mode & IMGFMT_O_EXCL) flags |= O_EXCL;
  return flags | O_CLOEXEC;  // binary and text mean the same here
}

// Regular files only: the format library is handed names the user chose, and a pipe under
// such a name would block the open, a device read or take writes without end.
int DefaultOpen(const char* name, int mode) {
  return OpenRegularFileWith(name, TranslateMode(mode & ~(IMGFMT_O_CREAT | IMGFMT_O_TRUNC)));
}

int DefaultCreate(const char* name, int mode) {
  // Readable and writable by all, less the umask.
  return OpenRegularFileWith(name, TranslateMode(mode | IMGFMT_O_CREAT | IMGFMT_O_TRUNC), nullptr, 0666);
}

int DefaultClose(int fd) { return ::close(fd); }

int64_t DefaultSeek(int fd, int64_t pos, int origin) {
  int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
  if (origin < 0 || origin > 2) return -1;
  return ::lseek(fd, off_t(pos), whence);
}

int DefaultRead(int fd, void* buf, int count) {
  if (count < 0) return -1;
  ssize_t n;
  do n = ::read(fd, buf, size_t(count));
  while (n < 0 && errno == EINTR);
  return int(n);
}

int DefaultWrite(int fd, const void* buf, int count) {
  if (count < 0) return -1;
  int done = 0;
  while (done < count) {
    ssize_t n = ::write(fd, static_cast<const char*>(buf) + done, size_t(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done > 0 ? done : int(n);
    done += int(n);
  }
  return done;
}

struct Hooks {
  ImgFmtOpenFn open;
  ImgFmtCreateFn create;
  ImgFmtCloseFn close;
  ImgFmtSeekFn seek;
  ImgFmtReadFn read;
  ImgFmtWriteFn write;
};
Hooks gHooks = {DefaultOpen, DefaultCreate, DefaultClose, DefaultSeek, DefaultRead, DefaultWrite};

const ImgFmtCodec* const kTable[IMGFMT_FORMAT_COUNT] = {
    &imgfmt_codec_bitmap, &imgfmt_codec_gif,  &imgfmt_codec_pcx,    &imgfmt_codec_tiff,
    &imgfmt_codec_targa,  &imgfmt_codec_ilbm, &imgfmt_codec_yuv12c, &imgfmt_codec_greymap,
    &imgfmt_codec_pixmap, &imgfmt_codec_kips, &imgfmt_codec_iax,    &imgfmt_codec_xbitmap,
    &imgfmt_codec_sprite, &imgfmt_codec_pseg, &imgfmt_codec_gemras, &imgfmt_codec_portrait,
};

const ImgFmtCodec* Row(int index) {
  return index >= 0 && index < IMGFMT_FORMAT_COUNT ? kTable[index] : nullptr;
}

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool SameNoCase(const char* a, size_t na, const char* b, size_t nb) {
  if (na != nb) return false;
  for (size_t i = 0; i < na; ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

// Calls fn(word, length) for each word of a separated list until it returns true; gives the
// word's start then, else nullptr.
template <class Fn>
const char* FindWord(const char* list, Fn fn) {
  const char* p = list;
  while (*p) {
    while (*p && IsSeparator(*p)) ++p;
    const char* start = p;
    while (*p && !IsSeparator(*p)) ++p;
    if (p > start && fn(start, size_t(p - start))) return start;
  }
  return nullptr;
}

uint32_t WriteFlagOf(int32_t bpp) {
  switch (bpp) {
    case 1: return IMGFMT_WRITE_1;
    case 4: return IMGFMT_WRITE_4;
    case 8: return IMGFMT_WRITE_8;
    case 24: return IMGFMT_WRITE_24;
    default: return 0;
  }
}

}  // namespace

int imgfmt_read_mono_palette(int, ImgFmtHeader*, ImgFmtRgb* pal) {
  pal[0] = {255, 255, 255};
  pal[1] = {0, 0, 0};
  return IMGFMT_OK;
}

// ---- I/O ----

int imgfmt_set_io_hooks(ImgFmtOpenFn open, ImgFmtCreateFn create, ImgFmtCloseFn close, ImgFmtSeekFn seek,
                        ImgFmtReadFn read, ImgFmtWriteFn write) {
  if (!open || !create || !close || !seek || !read || !write) return IMGFMT_ERR_BAD_ARG;
  gHooks = {open, create, close, seek, read, write};
  return IMGFMT_OK;
}

int imgfmt_file_open(const char* name, int mode) { return name ? gHooks.open(name, mode) : -1; }
int imgfmt_file_create(const char* name, int mode) { return name ? gHooks.create(name, mode) : -1; }
int imgfmt_file_close(int fd) { return gHooks.close(fd); }
int64_t imgfmt_file_seek(int fd, int64_t pos, int origin) { return gHooks.seek(fd, pos, origin); }
int imgfmt_file_read(int fd, void* buf, int count) { return gHooks.read(fd, buf, count); }
int imgfmt_file_write(int fd, const void* buf, int count) { return gHooks.write(fd, buf, count); }

int imgfmt_read_exact(int fd, void* buf, int64_t count) {
  auto* p = static_cast<unsigned char*>(buf);
  while (count > 0) {
    int chunk = count > (1 << 30) ? (1 << 30) : int(count);
    int n = imgfmt_file_read(fd, p, chunk);
    if (n <= 0 || n > chunk) return IMGFMT_ERR_READ;
    p += n;
    count -= n;
  }
  return IMGFMT_OK;
}

int imgfmt_write_exact(int fd, const void* buf, int64_t count) {
  auto* p = static_cast<const unsigned char*>(buf);
  while (count > 0) {
    int chunk = count > (1 << 30) ? (1 << 30) : int(count);
    int n = imgfmt_file_write(fd, p, chunk);
    if (n <= 0 || n > chunk) return IMGFMT_ERR_WRITE;
    p += n;
    count -= n;
  }
  return IMGFMT_OK;
}

int64_t imgfmt_file_length(int fd) {
  int64_t len = imgfmt_file_seek(fd, 0, 2);
  if (len < 0 || imgfmt_file_seek(fd, 0, 0) != 0) return -1;
  return len;
}

// ---- Read-ahead ----

struct ImgFmtReadAhead {
  unsigned char block[16384];
  int pos;
  int count;
  int fd;
  int64_t taken;
};

ImgFmtReadAhead* imgfmt_ra_create(int fd) {
  auto* ra = static_cast<ImgFmtReadAhead*>(std::malloc(sizeof(ImgFmtReadAhead)));
  if (!ra) return nullptr;
  ra->pos = ra->count = 0;
  ra->fd = fd;
  ra->taken = 0;
  return ra;
}

int imgfmt_ra_get(ImgFmtReadAhead* ra) {
  if (ra->pos >= ra->count) {
    int n = imgfmt_file_read(ra->fd, ra->block, int(sizeof ra->block));
    if (n <= 0 || n > int(sizeof ra->block)) {
      ra->pos = ra->count = 0;
      return -1;
    }
    ra->pos = 0;
    ra->count = n;
  }
  ++ra->taken;
  return ra->block[ra->pos++];
}

int64_t imgfmt_ra_taken(const ImgFmtReadAhead* ra) { return ra->taken; }

void imgfmt_ra_free(ImgFmtReadAhead* ra) { std::free(ra); }

// ---- Sizes and options ----

int64_t imgfmt_row_bytes(int32_t width, int32_t bpp) { return ((int64_t(width) * bpp + 31) / 32) * 4; }

int imgfmt_check_size(int64_t width, int64_t height) {
  if (width < 1 || height < 1 || !ImageSizeAllowed(width, height)) return IMGFMT_ERR_BAD_SIZE;
  return IMGFMT_OK;
}

bool imgfmt_option_flag(const char* options, const char* word) {
  if (!options || !word) return false;
  size_t n = std::strlen(word);
  return FindWord(options, [&](const char* w, size_t len) { return SameNoCase(w, len, word, n); });
}

const char* imgfmt_option_find(const char* options, const char* name) {
  if (!options || !name) return nullptr;
  size_t n = std::strlen(name);
  return FindWord(options, [&](const char* w, size_t len) { return len >= n && SameNoCase(w, n, name, n); });
}

int imgfmt_option_int(const char* options, const char* name, int32_t* value) {
  const char* p = imgfmt_option_find(options, name);
  if (!p) return IMGFMT_OK;
  p += std::strlen(name);
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (*p < '0' || *p > '9') return IMGFMT_ERR_BAD_OPTION;
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > int64_t(INT32_MAX) + 1) return IMGFMT_ERR_BAD_OPTION;
  }
  if (*p && !IsSeparator(*p)) return IMGFMT_ERR_BAD_OPTION;
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return IMGFMT_ERR_BAD_OPTION;
  *value = int32_t(v);
  return IMGFMT_OK;
}

int imgfmt_write_grey_rows(int fd, const ImgFmtHeader* h, const uint8_t grey[256], const uint8_t* data) {
  int64_t stride = imgfmt_row_bytes(h->width, 8);
  std::vector<uint8_t> row(size_t(h->width));
  for (int32_t y = h->height - 1; y >= 0; --y) {
    const uint8_t* src = data + y * stride;
    for (int32_t x = 0; x < h->width; ++x) row[size_t(x)] = grey[src[x]];
    if (int rc = imgfmt_write_exact(fd, row.data(), h->width)) return rc;
  }
  return IMGFMT_OK;
}

int imgfmt_grey_map(const ImgFmtRgb* palette, const char* options, uint8_t grey[256]) {
  bool k = imgfmt_option_flag(options, "k");
  int which = 0, count = 0;
  const char* names[3] = {"r", "g", "b"};
  for (int i = 0; i < 3; ++i)
    if (imgfmt_option_flag(options, names[i])) {
      which = i;
      ++count;
    }
  if ((k && count > 0) || count > 1) return IMGFMT_ERR_BAD_OPTION;
  for (int i = 0; i < 256; ++i) {
    const ImgFmtRgb& c = palette[i];
    if (count == 0) grey[i] = uint8_t((77 * c.r + 150 * c.g + 29 * c.b) / 256);
    else grey[i] = which == 0 ? c.r : which == 1 ? c.g : c.b;
  }
  return IMGFMT_OK;
}

// ---- The interface ----

int imgfmt_format_count(int* count) {
  if (!count) return IMGFMT_ERR_BAD_ARG;
  *count = IMGFMT_FORMAT_COUNT;
  return IMGFMT_OK;
}

int imgfmt_guess_format(const char* name, int* index) {
  if (!name || !index) return IMGFMT_ERR_BAD_ARG;
  const char* dot = std::strrchr(name, '.');
  if (!dot || std::strchr(dot, '/') || std::strchr(dot, '\\')) return IMGFMT_ERR_NOT_FOUND;
  const char* ext = dot + 1;
  size_t n = std::strlen(ext);
  if (n == 0) return IMGFMT_ERR_NOT_FOUND;
  for (int i = 0; i < IMGFMT_FORMAT_COUNT; ++i) {
    if (FindWord(kTable[i]->info.extensions,
                 [&](const char* w, size_t len) { return SameNoCase(w, len, ext, n); })) {
      *index = i;
      return IMGFMT_OK;
    }
  }
  return IMGFMT_ERR_NOT_FOUND;
}

int imgfmt_query_format(int index, ImgFmtInfo* info) {
  const ImgFmtCodec* row = Row(index);
  if (!row || !info) return IMGFMT_ERR_BAD_ARG;
  *info = row->info;
  return IMGFMT_OK;
}

int imgfmt_read_header(const char* name, int fd, int index, ImgFmtHeader* header, const char* options) {
  const ImgFmtCodec* row = Row(index);
  if (!row || !name || !header || !options) return IMGFMT_ERR_BAD_ARG;
  if (imgfmt_file_seek(fd, 0, 0) != 0) return IMGFMT_ERR_READ;
  std::memset(header, 0, sizeof *header);
  return row->read_header(name, fd, header, options);
}

int imgfmt_read_palette(int fd, int index, ImgFmtHeader* header, ImgFmtRgb* palette) {
  const ImgFmtCodec* row = Row(index);
  if (!row || !header || !palette) return IMGFMT_ERR_BAD_ARG;
  if (header->bpp == 24) return IMGFMT_OK;  // no palette to read
  return row->read_palette(fd, header, palette);
}

int imgfmt_read_data(int fd, int index, ImgFmtHeader* header, uint8_t* data) {
  const ImgFmtCodec* row = Row(index);
  if (!row || !header || !data) return IMGFMT_ERR_BAD_ARG;
  return row->read_data(fd, header, data);
}

int imgfmt_write_image(const char* name, int fd, int index, const ImgFmtHeader* header,
                       const ImgFmtRgb* palette, const uint8_t* data, const char* options) {
  const ImgFmtCodec* row = Row(index);
  if (!row || !name || !options || !header || !data) return IMGFMT_ERR_BAD_ARG;
  if (header->bpp != 24 && !palette) return IMGFMT_ERR_BAD_ARG;
  if (!(row->info.flags & WriteFlagOf(header->bpp))) return IMGFMT_ERR_NOT_SUPPORTED;
  if (int rc = imgfmt_check_size(header->width, header->height)) return rc;
  return row->write(name, fd, header, palette, data, options);
}

const char* imgfmt_error_text(int code) {
  static const char* const kCore[] = {
      "ok",
      "out of memory",
      "not supported",
      "bad option(s)",
      "not found",
      "bad magic number / signiture block",
      "bad bitmap size",
      "can't read file",
      "can't write file",
      "bad argument to imgfmt function",
  };
  if (code >= 0 && code <= 9) return kCore[code];
  for (const ImgFmtCodec* row : kTable)
    if (const char* text = row->error_text(code)) return text;
  return "general error";
}
