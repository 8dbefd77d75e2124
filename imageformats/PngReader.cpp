// libpng errors return through setjmp/longjmp; the functions that set a jump point hold
// nothing but plain data and keep what the jump must not lose in the global state.
#include "imageformats/PngReader.h"

#include <csetjmp>
#include <cstdlib>
#include <png.h>
#include <zlib.h>

#include "imageformats/ImgFmt.h"

namespace {

struct ReaderState {
  png_structp png;
  png_infop info;
  uint8_t* image;
  png_bytepp rows;
  png_uint_32 width, height;
  int bitDepth, colorType;
  FILE* file;
  // Once all but the last row are read, the data the decoder takes from then on: deflate data
  // past the last row is inflated to its end, so it is bounded by what one row can need.
  bool lastRow;
  uint64_t lastRowBytes, lastRowBudget;
  bool tooMuchData;
};
ReaderState gR;

void Destroy() {
  if (gR.png) png_destroy_read_struct(&gR.png, gR.info ? &gR.info : nullptr, nullptr);
  gR.png = nullptr;
  gR.info = nullptr;
}

// libpng's own handlers print every error and warning on stderr; the callers say what went
// wrong in their own words, so its errors only leave through the jump and its warnings (a
// damaged ancillary chunk, which is passed over) are kept quiet.
[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

void ReadData(png_structp png, png_bytep out, size_t length) {
  if (gR.lastRow) {
    gR.lastRowBytes += length;
    if (gR.lastRowBytes > gR.lastRowBudget) {
      gR.tooMuchData = true;
      png_error(png, "Too much image data");
    }
  }
  if (std::fread(out, 1, length, gR.file) != length) png_error(png, "Read Error");
}

// The last pass of the picture's rows (0 when not interlaced) and its number of rows.
void LastPass(int* pass, png_uint_32* rows) {
  *pass = 0;
  *rows = gR.height;
  if (png_get_interlace_type(gR.png, gR.info) == PNG_INTERLACE_NONE) return;
  for (int p = 6; p >= 0; --p)
    if (PNG_PASS_ROWS(gR.height, p) && PNG_PASS_COLS(gR.width, p)) {
      *pass = p;
      *rows = PNG_PASS_ROWS(gR.height, p);
      return;
    }
}

// Called after each row the decoder reads, with the row (of the picture) and the pass that
// come next: once the row before the last one of the last pass is read, the last row is next.
void RowDone(png_structp, png_uint_32 row, int pass) {
  int last;
  png_uint_32 rows;
  LastPass(&last, &rows);
  const bool interlaced = png_get_interlace_type(gR.png, gR.info) != PNG_INTERLACE_NONE;
  const int64_t step = interlaced ? PNG_PASS_ROW_OFFSET(last) : 1;
  const int64_t lastRow = (interlaced ? PNG_PASS_START_ROW(last) : 0) + int64_t(rows - 1) * step;
  if (pass == last && int64_t(row) > lastRow - step) gR.lastRow = true;
}

}  // namespace

int PngReaderInit(FILE* file, uint32_t* width, uint32_t* height) {
  if (!file || !width || !height) return 2;
  unsigned char sig[8];
  if (std::fread(sig, 1, 8, file) != 8 || png_sig_cmp(sig, 0, 8)) return 1;
  gR.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (!gR.png) return 4;
  gR.info = png_create_info_struct(gR.png);
  if (!gR.info) {
    Destroy();
    return 4;
  }
  if (setjmp(png_jmpbuf(gR.png))) {
    Destroy();
    return 2;
  }
  png_set_user_limits(gR.png, MaxImageDimension, MaxImageDimension);
  gR.file = file;
  gR.lastRow = gR.tooMuchData = false;
  gR.lastRowBytes = 0;
  png_set_read_fn(gR.png, nullptr, ReadData);
  png_set_sig_bytes(gR.png, 8);
  png_read_info(gR.png, gR.info);
  png_get_IHDR(gR.png, gR.info, &gR.width, &gR.height, &gR.bitDepth, &gR.colorType, nullptr, nullptr,
               nullptr);
  if (imgfmt_check_size(gR.width, gR.height)) {
    Destroy();
    return 2;
  }
  *width = gR.width;
  *height = gR.height;
  return 0;
}

static uint8_t* GetImage(double displayExponent, int* channels, size_t* rowBytes, bool bgra) {
  if (!gR.png || !gR.info || !channels || !rowBytes) return nullptr;
  if (setjmp(png_jmpbuf(gR.png))) {
    std::free(gR.rows);
    gR.rows = nullptr;
    std::free(gR.image);
    gR.image = nullptr;
    Destroy();
    return nullptr;
  }
  if (gR.colorType == PNG_COLOR_TYPE_PALETTE) png_set_expand(gR.png);
  if (gR.colorType == PNG_COLOR_TYPE_GRAY && gR.bitDepth < 8) png_set_expand(gR.png);
  if (png_get_valid(gR.png, gR.info, PNG_INFO_tRNS)) png_set_expand(gR.png);
  if (gR.bitDepth == 16) png_set_strip_16(gR.png);
  if (gR.colorType == PNG_COLOR_TYPE_GRAY || gR.colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(gR.png);
  double gamma;
  // libpng 1.6 rejects a screen gamma of 0; not positive means "no correction".
  if (displayExponent > 0 && png_get_gAMA(gR.png, gR.info, &gamma))
    png_set_gamma(gR.png, displayExponent, gamma);
  if (bgra) {
    png_set_bgr(gR.png);
    png_set_filler(gR.png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(gR.png);
  png_read_update_info(gR.png, gR.info);
  size_t rb = png_get_rowbytes(gR.png, gR.info);
  int ch = png_get_channels(gR.png, gR.info);
  uint64_t total = uint64_t(rb) * gR.height;
  if (total == 0 || total > uint64_t(MaxImagePixels) * 8) longjmp(png_jmpbuf(gR.png), 1);
  gR.image = static_cast<uint8_t*>(std::malloc(size_t(total)));
  gR.rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * gR.height));
  if (!gR.image || !gR.rows) longjmp(png_jmpbuf(gR.png), 1);
  for (png_uint_32 y = 0; y < gR.height; ++y) gR.rows[y] = gR.image + size_t(y) * rb;
  // A row as the file stores it, filter byte and all, at sixteen bits a sample in deflate's
  // stored blocks, with room for the chunks' own bytes.
  const uint64_t fileRow = 1 + (uint64_t(gR.width) * 4 * 16 + 7) / 8;
  gR.lastRowBudget = fileRow + fileRow / 64 + 65536;
  int last;
  png_uint_32 lastRows;
  LastPass(&last, &lastRows);
  gR.lastRow = last == 0 && lastRows == 1;
  png_set_read_status_fn(gR.png, RowDone);
  png_read_image(gR.png, gR.rows);
  std::free(gR.rows);
  gR.rows = nullptr;
  // The chunks after the image data are only read through (text past the limits libpng keeps
  // is passed over), which costs what the file holds.
  gR.lastRow = false;
  png_read_end(gR.png, nullptr);
  *channels = ch;
  *rowBytes = rb;
  return gR.image;
}

uint8_t* PngReaderGetImage(double displayExponent, int* channels, size_t* rowBytes) {
  return GetImage(displayExponent, channels, rowBytes, false);
}

uint8_t* PngReaderGetImageBGRA(double displayExponent, size_t* rowBytes) {
  int channels = 0;
  uint8_t* image = GetImage(displayExponent, &channels, rowBytes, true);
  if (image && channels != 4) {
    std::free(image);
    gR.image = nullptr;
    return nullptr;
  }
  return image;
}

bool PngReaderDataRanOn() { return gR.tooMuchData; }

bool PngReaderMayHaveAlpha() {
  return gR.png && gR.info &&
         ((gR.colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(gR.png, gR.info, PNG_INFO_tRNS));
}

void PngReaderCleanup(bool freeImage) {
  if (freeImage) std::free(gR.image);
  gR.image = nullptr;
  std::free(gR.rows);
  gR.rows = nullptr;
  Destroy();
}

int PngReaderGetBackground(uint8_t* red, uint8_t* green, uint8_t* blue) {
  if (!gR.png || !gR.info || !red || !green || !blue) return 2;
  if (setjmp(png_jmpbuf(gR.png))) return 2;
  if (!png_get_valid(gR.png, gR.info, PNG_INFO_bKGD)) return 1;
  png_color_16p bg;
  png_get_bKGD(gR.png, gR.info, &bg);
  if (gR.bitDepth == 16) {
    *red = uint8_t(bg->red >> 8);
    *green = uint8_t(bg->green >> 8);
    *blue = uint8_t(bg->blue >> 8);
  } else if (gR.colorType == PNG_COLOR_TYPE_GRAY && gR.bitDepth < 8) {
    int scale = gR.bitDepth == 1 ? 255 : gR.bitDepth == 2 ? 85 : 17;
    *red = *green = *blue = uint8_t(bg->gray * scale);
  } else if (gR.colorType == PNG_COLOR_TYPE_GRAY || gR.colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    *red = *green = *blue = uint8_t(bg->gray);
  } else {
    *red = uint8_t(bg->red);
    *green = uint8_t(bg->green);
    *blue = uint8_t(bg->blue);
  }
  return 0;
}

void PngReaderVersionInfo() {
  std::fprintf(stderr, "   Compiled with libpng %s; using libpng %s.\n", PNG_LIBPNG_VER_STRING,
               png_libpng_ver);
  std::fprintf(stderr, "   Compiled with zlib %s; using zlib %s.\n", ZLIB_VERSION, zlib_version);
}
