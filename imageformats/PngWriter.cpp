// libpng errors return through the record's jump buffer; nothing but plain data is alive in
// the functions that set it.
#include "imageformats/PngWriter.h"

#include <cstdlib>
#include <png.h>
#include <zlib.h>

extern "C" [[noreturn]] void PngWriterError(png_structp png, png_const_charp message) {
  std::fprintf(stderr, "writepng libpng error: %s\n", message);
  std::fflush(stderr);
  auto* info = static_cast<PngWriteInfo*>(png_get_error_ptr(png));
  if (!info) {
    std::fprintf(stderr, "writepng severe error:  jmpbuf not recoverable; terminating.\n");
    std::fflush(stderr);
    std::exit(99);
  }
  longjmp(info->jmpbuf, 1);
}

namespace {

void DestroyBoth(PngWriteInfo* info) {
  png_structp png = static_cast<png_structp>(info->png_ptr);
  png_infop pinfo = static_cast<png_infop>(info->info_ptr);
  if (png) png_destroy_write_struct(&png, pinfo ? &pinfo : nullptr);
  info->png_ptr = nullptr;
  info->info_ptr = nullptr;
}

}  // namespace

int PngWriterInit(PngWriteInfo* info) {
  if (!info || !info->outfile) return 2;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, info, PngWriterError, nullptr);
  if (!png) return 4;
  png_infop pinfo = png_create_info_struct(png);
  if (!pinfo) {
    png_destroy_write_struct(&png, nullptr);
    return 4;
  }
  info->png_ptr = png;
  info->info_ptr = pinfo;
  if (setjmp(info->jmpbuf)) {
    DestroyBoth(info);
    return 2;
  }
  png_init_io(png, info->outfile);
  png_set_compression_level(png, 9);
  int colorType;
  switch (info->type) {
    case PNG_WRITE_TYPE_GREY: colorType = PNG_COLOR_TYPE_GRAY; break;
    case PNG_WRITE_TYPE_RGB: colorType = PNG_COLOR_TYPE_RGB; break;
    case PNG_WRITE_TYPE_RGBA: colorType = PNG_COLOR_TYPE_RGB_ALPHA; break;
    default: DestroyBoth(info); return 11;
  }
  png_set_IHDR(png, pinfo, png_uint_32(info->width), png_uint_32(info->height), info->sample_depth, colorType,
               info->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (info->gamma > 0.0) png_set_gAMA(png, pinfo, info->gamma);
  if (info->have_bg) {
    png_color_16 bg{};
    bg.red = info->bg_red;
    bg.green = info->bg_green;
    bg.blue = info->bg_blue;
    bg.gray = info->bg_red;
    png_set_bKGD(png, pinfo, &bg);
  }
  if (info->have_time) {
    png_time t;
    png_convert_from_time_t(&t, info->modtime);
    png_set_tIME(png, pinfo, &t);
  }
  if (info->have_text) {
    static const char* const kKeys[6] = {"Title", "Author", "Description", "Copyright", "E-mail", "URL"};
    const char* values[6] = {info->title, info->author, info->desc, info->copyright, info->email, info->url};
    png_text text[6];
    int n = 0;
    for (int i = 0; i < 6; ++i) {
      if (!(info->have_text & (1 << i)) || !values[i]) continue;
      text[n] = png_text{};
      text[n].compression = PNG_TEXT_COMPRESSION_NONE;
      text[n].key = const_cast<char*>(kKeys[i]);
      text[n].text = const_cast<char*>(values[i]);
      ++n;
    }
    if (n) png_set_text(png, pinfo, text, n);
  }
  png_write_info(png, pinfo);
  png_set_packing(png);
  return 0;
}

int PngWriterEncodeImage(PngWriteInfo* info) {
  if (!info || !info->png_ptr || !info->row_pointers) return 2;
  if (setjmp(info->jmpbuf)) {
    DestroyBoth(info);
    return 2;
  }
  png_structp png = static_cast<png_structp>(info->png_ptr);
  png_write_image(png, info->row_pointers);
  png_write_end(png, nullptr);
  return 0;
}

int PngWriterEncodeRow(PngWriteInfo* info) {
  if (!info || !info->png_ptr || !info->image_data) return 2;
  if (setjmp(info->jmpbuf)) {
    DestroyBoth(info);
    return 2;
  }
  png_write_row(static_cast<png_structp>(info->png_ptr), info->image_data);
  return 0;
}

int PngWriterFinish(PngWriteInfo* info) {
  if (!info || !info->png_ptr) return 2;
  if (setjmp(info->jmpbuf)) {
    DestroyBoth(info);
    return 2;
  }
  png_write_end(static_cast<png_structp>(info->png_ptr), nullptr);
  return 0;
}

void PngWriterCleanup(PngWriteInfo* info) {
  if (info && info->png_ptr && info->info_ptr) DestroyBoth(info);
}

void PngWriterVersionInfo() {
  std::fprintf(stderr, "   Compiled with libpng %s; using libpng %s.\n", PNG_LIBPNG_VER_STRING,
               png_libpng_ver);
  std::fprintf(stderr, "   Compiled with zlib %s; using zlib %s.\n", ZLIB_VERSION, zlib_version);
}
