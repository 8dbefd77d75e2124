// PNG writer over libpng: 8-bit grey, RGB or RGBA with optional gamma, background, time and
// text chunks. The caller clears the record, fills what it needs, then calls Init, Encode
// (image, or rows then Finish) and Cleanup.
#pragma once
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <ctime>

struct PngWriteInfo {
  double gamma;  // gAMA when > 0
  int32_t width;
  int32_t height;
  time_t modtime;
  int32_t reserved1;
  FILE* outfile;
  void* png_ptr;
  void* info_ptr;
  uint8_t* image_data;     // one row, for row-wise encoding
  uint8_t** row_pointers;  // top row first, for whole-image encoding
  const char* title;
  const char* author;
  const char* desc;
  const char* copyright;
  const char* email;
  const char* url;
  int32_t reserved2;
  int32_t type;  // 5 grey, 6 RGB, 8 RGBA
  int32_t sample_depth;
  int32_t interlaced;
  int32_t have_bg;
  int32_t have_time;
  int32_t have_text;  // 0x01 title ... 0x20 URL
  jmp_buf jmpbuf;
  uint8_t bg_red, bg_green, bg_blue;
};

enum : int32_t { PNG_WRITE_TYPE_GREY = 5, PNG_WRITE_TYPE_RGB = 6, PNG_WRITE_TYPE_RGBA = 8 };
enum : int32_t {
  PNG_TEXT_TITLE = 0x01,
  PNG_TEXT_AUTHOR = 0x02,
  PNG_TEXT_DESC = 0x04,
  PNG_TEXT_COPYRIGHT = 0x08,
  PNG_TEXT_EMAIL = 0x10,
  PNG_TEXT_URL = 0x20,
};

// 0, 2 libpng reported an error, 4 out of memory, 11 unknown type.
int PngWriterInit(PngWriteInfo* info);
int PngWriterEncodeImage(PngWriteInfo* info);
int PngWriterEncodeRow(PngWriteInfo* info);
int PngWriterFinish(PngWriteInfo* info);
void PngWriterCleanup(PngWriteInfo* info);
void PngWriterVersionInfo();
