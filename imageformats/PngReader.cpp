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
};
ReaderState gR;

void Destroy() {
  if (gR.png) png_destroy_read_struct(&gR.png, gR.info ? &gR.info : nullptr, nullptr);
  gR.png = nullptr;
  gR.info = nullptr;
}

}  // namespace

int PngReaderInit(FILE* file, uint32_t* width, uint32_t* height) {
  if (!file || !width || !height) return 2;
  unsigned char sig[8];
  if (std::fread(sig, 1, 8, file) != 8 || png_sig_cmp(sig, 0, 8)) return 1;
  gR.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
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
  png_init_io(gR.png, file);
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
  png_read_image(gR.png, gR.rows);
  std::free(gR.rows);
  gR.rows = nullptr;
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
