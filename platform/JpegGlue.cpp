#include "platform/JpegGlue.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>

namespace {

struct GlueError {
  jpeg_error_mgr Pub;
  jmp_buf Jump;
  char* Message;
};

void GlueErrorExit(j_common_ptr cinfo) {
  GlueError* e = reinterpret_cast<GlueError*>(cinfo->err);
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  snprintf(e->Message, 200, "%s", text);
  longjmp(e->Jump, 1);
}

// Warnings (a corrupt but decodable stream) are not failures; the decoder carries on. Data
// that ends before the picture is complete (the file, or a scan at a marker) is one: libjpeg
// would fill the rest with grey and hand the picture over as whole, so it fails here
// instead, before decoding more of nothing.
void GlueEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  ++cinfo->err->num_warnings;
  if (cinfo->err->msg_code != JWRN_JPEG_EOF && cinfo->err->msg_code != JWRN_HIT_MARKER) return;
  GlueError* e = reinterpret_cast<GlueError*>(cinfo->err);
  snprintf(e->Message, 200, "The picture data ends early: the file is damaged");
  longjmp(e->Jump, 1);
}

// Real progressive files have a few dozen scans at most; each scan passes over the blocks of
// its components, so a file of thousands of tiny scans, or of hundreds over a large picture,
// would cost minutes. The scans may visit the picture's blocks this many times in all (a
// colour file of the common encoders visits them about six times), or count this many scans
// when the picture is small.
constexpr int kMaxScans = 256;
constexpr int64_t kBlockVisitsPerBlock = 16;
constexpr int64_t kMinBlockVisits = int64_t(kMaxScans) * 4096;

struct GlueProgress {
  jpeg_progress_mgr Pub;
  int Scan;
  int64_t Visits, MaxVisits;
};

int64_t ComponentBlocks(const jpeg_component_info* c) {
  return int64_t(c->width_in_blocks) * c->height_in_blocks;
}

void GlueProgressMonitor(j_common_ptr cinfo) {
  auto d = reinterpret_cast<j_decompress_ptr>(cinfo);
  auto p = reinterpret_cast<GlueProgress*>(cinfo->progress);
  if (d->input_scan_number == p->Scan) return;
  p->Scan = d->input_scan_number;
  for (int i = 0; i < d->comps_in_scan; ++i) p->Visits += ComponentBlocks(d->cur_comp_info[i]);
  GlueError* e = reinterpret_cast<GlueError*>(cinfo->err);
  if (d->input_scan_number > kMaxScans) {
    snprintf(e->Message, 200, "The file has more than %d scans", kMaxScans);
    longjmp(e->Jump, 1);
  }
  if (p->Visits > p->MaxVisits) {
    snprintf(e->Message, 200, "The file has more scans (%d) than a picture of its size can need",
             d->input_scan_number);
    longjmp(e->Jump, 1);
  }
}

}  // namespace

static int Decode(const uint8_t* data, size_t size, int maxSide, int64_t maxPixels, bool dib, JpegBlock block,
                  void* context, JpegDecoded* out) {
  out->Pixels = nullptr;
  out->Width = out->Height = out->Components = 0;
  out->Message[0] = 0;
  if (size < 4) {
    snprintf(out->Message, sizeof out->Message, "JPEG file is too short");
    return 1;
  }
  jpeg_decompress_struct cinfo;
  GlueError err;
  // Volatile: changed between setjmp and a possible longjmp.
  uint8_t* volatile pixels = nullptr;  // the decoder's own block, freed on a failure
  uint8_t* volatile given = nullptr;   // the caller's block
  cinfo.err = jpeg_std_error(&err.Pub);
  err.Pub.error_exit = GlueErrorExit;
  err.Pub.emit_message = GlueEmitMessage;
  err.Message = out->Message;
  GlueProgress progress{};
  progress.Pub.progress_monitor = GlueProgressMonitor;
  if (setjmp(err.Jump)) {
    jpeg_destroy_decompress(&cinfo);
    free(pixels);
    return 1;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress.Pub;
  jpeg_mem_src(&cinfo, data, (unsigned long)size);
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width < 1 || cinfo.image_height < 1 || cinfo.image_width > (unsigned)maxSide ||
      cinfo.image_height > (unsigned)maxSide || int64_t(cinfo.image_width) * cinfo.image_height > maxPixels) {
    snprintf(out->Message, sizeof out->Message, "JPEG image of %u x %u is too large", cinfo.image_width,
             cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return 1;
  }
  out->Components = cinfo.num_components;
  // In Huffman code every block of every component takes at least one bit for its DC
  // difference (a sample, in a lossless file): a file shorter than that ends early, and is
  // refused before anything is made for its pixels. (Arithmetic code may take less.)
  int64_t blocks = 0;
  for (int i = 0; i < cinfo.num_components; ++i) blocks += ComponentBlocks(&cinfo.comp_info[i]);
  if (!cinfo.arith_code && int64_t(size) * 8 < blocks) {
    snprintf(out->Message, sizeof out->Message, "The picture data ends early: the file is damaged");
    jpeg_destroy_decompress(&cinfo);
    return 1;
  }
  // The library gives no RGB for four-component files: their inks come out as CMYK and are
  // turned into RGB here.
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : dib ? JCS_EXT_BGR : JCS_RGB;
  // The decoder's own memory (whole-picture coefficients of a progressive file) is bounded
  // too: 8 bytes a pixel hold four full-resolution components, more than real files have.
  cinfo.mem->max_memory_to_use = long(8 * int64_t(cinfo.image_width) * cinfo.image_height + (16 << 20));
  progress.MaxVisits = std::max(kMinBlockVisits, kBlockVisitsPerBlock * blocks);
  jpeg_start_decompress(&cinfo);
  const size_t used = size_t(cinfo.output_width) * 3;
  const size_t row = dib ? (used + 3) / 4 * 4 : used;
  // One extra row holds the four samples a pixel of a CMYK row before its conversion.
  const size_t bytes = row * cinfo.output_height + (cmyk ? size_t(cinfo.output_width) * 4 : 0);
  if (block) {
    // The caller's block: never freed here.
    given = block(context, int(cinfo.output_width), int(cinfo.output_height), bytes);
    if (!given) {
      snprintf(out->Message, sizeof out->Message, "JPEG image of %u x %u is not wanted", cinfo.output_width,
               cinfo.output_height);
      jpeg_destroy_decompress(&cinfo);
      return 1;
    }
  } else {
    pixels = static_cast<uint8_t*>(malloc(bytes));
  }
  uint8_t* const base = given ? given : pixels;
  if (!base) {
    snprintf(out->Message, sizeof out->Message, "Out of memory");
    jpeg_destroy_decompress(&cinfo);
    return 1;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    const JDIMENSION y = dib ? cinfo.output_height - 1 - cinfo.output_scanline : cinfo.output_scanline;
    uint8_t* dst = base + row * y;
    if (row > used) memset(dst + used, 0, row - used);
    if (!cmyk) {
      JSAMPROW p = dst;
      jpeg_read_scanlines(&cinfo, &p, 1);
      continue;
    }
    JSAMPROW p = base + row * cinfo.output_height;
    jpeg_read_scanlines(&cinfo, &p, 1);
    // The inks are stored inverted (255 is no ink), as the APP14 "Adobe" writers store them;
    // files without that marker are taken the same way, as the common decoders take them.
    for (JDIMENSION x = 0; x < cinfo.output_width; ++x, p += 4, dst += 3) {
      unsigned k = p[3];
      for (int c = 0; c < 3; ++c) dst[dib ? 2 - c : c] = uint8_t((p[c] * k + 127) / 255);
    }
  }
  jpeg_finish_decompress(&cinfo);
  out->Width = int(cinfo.output_width);
  out->Height = int(cinfo.output_height);
  out->Pixels = base;
  jpeg_destroy_decompress(&cinfo);
  return 0;
}

int JpegDecodeMemory(const uint8_t* data, size_t size, int maxSide, int64_t maxPixels, JpegDecoded* out) {
  return Decode(data, size, maxSide, maxPixels, false, nullptr, nullptr, out);
}

int JpegDecodeMemoryDib(const uint8_t* data, size_t size, int maxSide, int64_t maxPixels, JpegBlock block,
                        void* context, JpegDecoded* out) {
  return Decode(data, size, maxSide, maxPixels, true, block, context, out);
}

int JpegEncodeMemory(const uint8_t* rgb, int width, int height, bool grey, int quality, bool progressive,
                     JpegEncoded* out) {
  out->Data = nullptr;
  out->Size = 0;
  out->Message[0] = 0;
  jpeg_compress_struct cinfo;
  GlueError err;
  cinfo.err = jpeg_std_error(&err.Pub);
  err.Pub.error_exit = GlueErrorExit;
  err.Pub.emit_message = GlueEmitMessage;
  err.Message = out->Message;
  if (setjmp(err.Jump)) {
    jpeg_destroy_compress(&cinfo);
    free(out->Data);
    out->Data = nullptr;
    out->Size = 0;
    return 1;
  }
  jpeg_create_compress(&cinfo);
  // The output lives in the caller's record, not in a local, so it stays valid after a jump.
  jpeg_mem_dest(&cinfo, &out->Data, &out->Size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  // A local of its own: a parameter changed after setjmp is not safe to read after a jump.
  const int q = quality < 1 ? 1 : quality > 100 ? 100 : quality;
  jpeg_set_quality(&cinfo, q, TRUE);
  // At the high qualities the colours keep one sample per pixel (4:4:4), as the common tools
  // do: halved, a white caption on a red button gets coloured fringes whatever the quality.
  if (!grey && q >= 90)
    for (int i = 0; i < cinfo.num_components; ++i)
      cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  size_t row = size_t(width) * (grey ? 1 : 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW p = const_cast<uint8_t*>(rgb) + row * cinfo.next_scanline;
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return 0;
}
