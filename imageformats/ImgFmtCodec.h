// The row of the format table that each codec provides.
#pragma once
#include "imageformats/ImgFmt.h"

struct ImgFmtCodec {
  ImgFmtInfo info;
  int (*read_header)(const char* name, int fd, ImgFmtHeader* h, const char* options);
  int (*read_palette)(int fd, ImgFmtHeader* h, ImgFmtRgb* palette);
  int (*read_data)(int fd, ImgFmtHeader* h, uint8_t* data);
  int (*write)(const char* name, int fd, const ImgFmtHeader* h, const ImgFmtRgb* palette, const uint8_t* data,
               const char* options);
  const char* (*error_text)(int code);  // nullptr for codes outside the codec's range
};

extern const ImgFmtCodec imgfmt_codec_bitmap;
extern const ImgFmtCodec imgfmt_codec_gif;
extern const ImgFmtCodec imgfmt_codec_yuv12c;
extern const ImgFmtCodec imgfmt_codec_greymap;
extern const ImgFmtCodec imgfmt_codec_pixmap;
extern const ImgFmtCodec imgfmt_codec_tiff;
extern const ImgFmtCodec imgfmt_codec_kips;
extern const ImgFmtCodec imgfmt_codec_iax;
extern const ImgFmtCodec imgfmt_codec_targa;
extern const ImgFmtCodec imgfmt_codec_pcx;
extern const ImgFmtCodec imgfmt_codec_ilbm;
extern const ImgFmtCodec imgfmt_codec_xbitmap;
extern const ImgFmtCodec imgfmt_codec_portrait;
extern const ImgFmtCodec imgfmt_codec_sprite;
extern const ImgFmtCodec imgfmt_codec_pseg;
extern const ImgFmtCodec imgfmt_codec_gemras;

// The palette of the one-bit formats whose 0 is paper and 1 ink: white, then black.
int imgfmt_read_mono_palette(int fd, ImgFmtHeader* h, ImgFmtRgb* palette);

// The header of the binary greymap and pixmap files: magic "P5" or "P6", width, height,
// maximum. Gives the bytes the header takes in *headerBytes.
int imgfmt_pnm_header(int fd, char magic, int badMaxCode, int32_t* width, int32_t* height, int32_t* maximum,
                      int64_t* headerBytes);
