// The image class's PNG and GIF paths, and its paths through the image-format library for
// every extension without a codec of its own.
#include "engine/XImageFormats.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/XImage.h"
#include "gif/Pxgif.h"
#include "imageformats/ImgFmt.h"
#include "imageformats/PngReader.h"
#include "imageformats/PngWriter.h"
#include "platform/ByteOrder.h"
#include "platform/ImageLimits.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"

namespace {

// The PNG reader's state and the file it reads, released once however the load ends.
class TPngReading {
 public:
  explicit TPngReading(FILE* file) : FFile(file) {}
  ~TPngReading() {
    PngReaderCleanup(true);
    fclose(FFile);
  }
  TPngReading(const TPngReading&) = delete;
  TPngReading& operator=(const TPngReading&) = delete;

 private:
  FILE* FFile;
};

[[noreturn]] void FormatError(const std::string& name, int code) {
  throw EInvalidGraphic("Cannot read \"" + name + "\": " + imgfmt_error_text(code));
}

// What is wrong with the amount of a PNG's image data for its picture, found from its chunk
// headers alone (read beside the decoder, which keeps its own place in the file); empty when
// nothing is. Deflate makes at most about 1032 bytes of each byte, so data below that share of
// the rows' bytes ends early; and it never needs much more than the rows' bytes themselves,
// while data far past them would be inflated to the end after the last row. Either is found
// before anything is made for the pixels.
std::string PngDataProblem(int fd) {
  uint8_t head[8 + 25];
  if (pread(fd, head, sizeof head, 0) != ssize_t(sizeof head) || memcmp(head + 12, "IHDR", 4) != 0)
    return {};  // the decoder says what is wrong
  const uint64_t w = GetBe32(head + 16), h = GetBe32(head + 20), depth = head[24];
  const int type = head[25];
  const uint64_t samples = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
  if (w == 0 || h == 0 || w > uint64_t(MaxImageDimension) || h > uint64_t(MaxImageDimension)) return {};
  const uint64_t rowBytes = h * ((w * samples * depth + 7) / 8);
  // With a filter byte a row, and those of Adam7's seven passes.
  const uint64_t mostBytes = rowBytes + 8 * h + 64;
  struct stat st;
  if (fstat(fd, &st) != 0) return {};
  uint64_t data = 0;
  for (int64_t at = 8;;) {
    uint8_t chunk[8];
    if (pread(fd, chunk, 8, at) != 8) break;
    const uint64_t length = GetBe32(chunk);
    // The decoder takes a block of a chunk's length before it reads the chunk, and only warns
    // of an ancillary chunk larger than its limit: a chunk that runs past the end of the file
    // would cost gigabytes of address space for a few bytes, and the file ends early anyway.
    if (uint64_t(at) + 12 + length > uint64_t(st.st_size))
      return "a chunk of it ends early, past the end of the file";
    if (memcmp(chunk + 4, "IDAT", 4) == 0) data += length;
    else if (memcmp(chunk + 4, "IEND", 4) == 0) break;
    at += int64_t(length) + 12;
  }
  if (data * 1100 + 4096 < rowBytes) return "its picture data ends early";
  if (data > mostBytes + mostBytes / 64 + 65536) return "it holds far more picture data than its picture";
  return {};
}

}  // namespace

void XImageLoadPNG(XImage& image, const std::string& name, bool* mayHaveAlpha) {
  // Only a regular file: a pipe would block the reader, a device feed it without end.
  std::string problem;
  const int fd = OpenRegularFileWith(name, O_RDONLY, &problem);
  if (fd < 0) throw EFOpenError(problem);
  FILE* f = fdopen(fd, "rb");
  if (!f) {
    const int err = errno;
    close(fd);
    throw EFOpenError("Cannot open file \"" + name + "\". " + SysErrorMessage(err));
  }
  TPngReading reading(f);
  if (const std::string dataProblem = PngDataProblem(fd); !dataProblem.empty())
    throw EInvalidGraphic("\"" + name + "\" is damaged: " + dataProblem);
  uint32_t w = 0, h = 0;
  if (PngReaderInit(f, &w, &h) != 0)
    throw EInvalidGraphic("\"" + name + "\" is not a PNG file that can be read");
  CheckImageSize(w, h);
  // Read as the rows of a 32-bit bitmap, which become the image's own block: the picture is
  // never held twice.
  size_t rowBytes = 0;
  uint8_t* rows = PngReaderGetImageBGRA(0.0, &rowBytes);
  if (!rows || rowBytes != size_t(w) * 4)
    throw EInvalidGraphic(
        "\"" + name + "\" is a damaged PNG file" +
        (PngReaderDataRanOn() ? std::string(": its data runs on far past its picture") : std::string()));
  TPixelBlock block = TPixelBlock::Adopt(rows, rowBytes * h);
  if (mayHaveAlpha) *mayHaveAlpha = PngReaderMayHaveAlpha();
  PngReaderCleanup(false);
  // From the top down to a bitmap's bottom-up order.
  std::vector<uint8_t> swap(rowBytes);
  for (uint32_t y = 0, z = h - 1; y < z; ++y, --z) {
    uint8_t* a = block.data() + size_t(y) * rowBytes;
    uint8_t* b = block.data() + size_t(z) * rowBytes;
    std::memcpy(swap.data(), a, rowBytes);
    std::memcpy(a, b, rowBytes);
    std::memcpy(b, swap.data(), rowBytes);
  }
  image.TakeBlock(block, int(w), int(h), pf32bit);
}

void XImageSavePNG(const XImage& image, const std::string& name) {
  TPixelFormat pf = image.PixelFormat();
  if (pf != pf24bit && pf != pf32bit) throw EInvalidGraphic("Illegal PNG Image Format");
  int w = image.Width(), h = image.Height();
  int bpp = pf == pf24bit ? 3 : 4;
  // The rows are swapped to red, green, blue in a copy, so the image itself is never left
  // half-swapped whatever happens.
  std::vector<uint8_t> pixels(size_t(w) * size_t(bpp) * size_t(h));
  std::vector<uint8_t*> rows(static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = image.ScanLine(y);
    uint8_t* dst = pixels.data() + size_t(y) * size_t(w) * size_t(bpp);
    rows[size_t(y)] = dst;
    for (int x = 0; x < w; ++x, src += bpp, dst += bpp) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      if (bpp == 4) dst[3] = src[3];
    }
  }
  TFileReplacement pending(name);
  FILE* f = fopen(pending.Path.c_str(), "wb");
  if (!f) throw EFCreateError("Cannot create file \"" + name + "\". " + SysErrorMessage(errno));
  PngWriteInfo info{};
  info.width = w;
  info.height = h;
  info.modtime = time(nullptr);
  info.type = bpp == 3 ? PNG_WRITE_TYPE_RGB : PNG_WRITE_TYPE_RGBA;
  info.sample_depth = 8;
  info.have_time = 1;
  info.outfile = f;
  int rc = PngWriterInit(&info);
  if (rc == 0) {
    info.image_data = pixels.data();
    info.row_pointers = rows.data();
    rc = PngWriterEncodeImage(&info);
  }
  PngWriterCleanup(&info);
  bool closed = fclose(f) == 0;
  if (rc != 0 || !closed) throw EWriteError("Cannot write file \"" + name + "\"");
  pending.Commit();
}

// The GIF picture's progress goes to the wait indicator, in a wait of its own.
static void ReportToWaitIndicator(TGIFImage& gif) {
  gif.OnProgress = [](TProgressStage, uint8_t percent, const std::string&) {
    if (TWaitIndicator* w = WaitIndicator()) w->SetProgress(percent, 100);
  };
}

void XImageLoadGIF(XImage& image, const std::string& name) {
  TScopedWait wait("Loading " + ExtractFileName(name), false);
  TGIFImage gif;
  ReportToWaitIndicator(gif);
  gif.LoadFromFile(name);
  // A file that ends before its first image (a header and extensions only) holds no
  // picture; taken as an empty one, it would pass for a picture read whole.
  if (gif.Count() == 0)
    throw EInvalidGraphic("\"" + name + "\" holds no picture: the file ends before its first image");
  // The current frame (frame 0 after a load) with its transparent colour.
  image.Assign(&gif);
  // The GIF class keeps a damaged frame for what it can show; a picture whose data ends
  // before its pixels do is not taken as whole.
  if (gif.Count() && gif.FrameIndex() >= 0 && gif.Frame(gif.FrameIndex()).Corrupted)
    throw EInvalidGraphic("\"" + name + "\" is damaged: its picture data ends early");
}

void XImageSaveGIF(const XImage& image, const std::string& name) {
  TScopedWait wait("Saving " + ExtractFileName(name), false);
  TGIFImage gif;
  ReportToWaitIndicator(gif);
  gif.Assign(&image);  // one frame, reduced to 256 colours when deeper
  TFileReplacement pending(name);
  gif.SaveToFile(pending.Path);
  pending.Commit();
}

void XImageLoadFormatLibrary(XImage& image, const std::string& name) {
  int index = -1;
  int rc = imgfmt_guess_format(name.c_str(), &index);
  if (rc != 0) FormatError(name, rc);
  int fd = imgfmt_file_open(name.c_str(), IMGFMT_O_BINARY);
  if (fd < 0) {
    // The library opens regular files only; a pipe or a device is named as what it is.
    const int err = errno;
    const TRegularFile file = CheckRegularFile(name);
    throw EFOpenError(file.Regular ? "Cannot open file \"" + name + "\". " + SysErrorMessage(err)
                                   : file.Problem);
  }
  ImgFmtHeader header{};
  rc = imgfmt_read_header(name.c_str(), fd, index, &header, "");
  if (rc != 0) {
    imgfmt_file_close(fd);
    FormatError(name, rc);
  }
  XImage tmp;
  try {
    CheckImageSize(header.width, header.height);
    TPixelFormat pf = header.bpp == 1    ? pf1bit
                      : header.bpp == 4  ? pf4bit
                      : header.bpp == 8  ? pf8bit
                      : header.bpp == 15 ? pf15bit
                      : header.bpp == 16 ? pf16bit
                      : header.bpp == 24 ? pf24bit
                                         : pf32bit;
    tmp.SetPixelFormat(pf);
    tmp.SetSize(header.width, header.height);
  } catch (...) {
    imgfmt_file_close(fd);
    throw;
  }
  rc = imgfmt_read_data(fd, index, &header, tmp.Bits());
  if (rc == 0 && header.bpp <= 8) {
    ImgFmtRgb palette[256] = {};
    rc = imgfmt_read_palette(fd, index, &header, palette);
    if (rc == 0) {
      std::vector<TRGBQuad> entries(size_t(1) << header.bpp);
      for (size_t i = 0; i < entries.size(); ++i)
        entries[i] = TRGBQuad{palette[i].b, palette[i].g, palette[i].r, 0};
      tmp.SetPalette(entries);
    }
  }
  imgfmt_file_close(fd);
  if (rc != 0) FormatError(name, rc);
  BitmapMatch32(tmp, nullptr);
  image.TakePixels(tmp);
}

void XImageSaveFormatLibrary(const XImage& image, const std::string& name) {
  int index = -1;
  if (imgfmt_guess_format(name.c_str(), &index) != 0)
    throw EInvalidGraphic("No image format is known for \"" + ExtractFileExt(name) + "\" files");
  ImgFmtInfo info{};
  imgfmt_query_format(index, &info);
  // The table's codecs take 1, 4, 8 or 24 bits: a deeper picture (every picture of the
  // program is 32-bit) is saved from a 24-bit copy, as the export saves it.
  TBitmap converted;
  const TBitmap* source = &image;
  TPixelFormat pf = image.PixelFormat();
  if (pf != pf1bit && pf != pf4bit && pf != pf8bit && pf != pf24bit) {
    converted.Assign(&image);
    converted.SetPixelFormat(pf24bit);
    source = &converted;
  }
  uint32_t need = 0;
  switch (source->PixelFormat()) {
    case pf1bit: need = IMGFMT_WRITE_1; break;
    case pf4bit: need = IMGFMT_WRITE_4; break;
    case pf8bit: need = IMGFMT_WRITE_8; break;
    case pf24bit: need = IMGFMT_WRITE_24; break;
    default: break;
  }
  if (need == 0 || !(info.flags & need))
    throw EInvalidGraphic(std::string("The ") + info.long_name + " format cannot store a " +
                          IntToStr(source->BitsPerPixel()) + "-bit image");
  ImgFmtRgb palette[256] = {};
  const auto& pal = source->Palette();
  for (size_t i = 0; i < pal.size() && i < 256; ++i)
    palette[i] = ImgFmtRgb{pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue};
  ImgFmtHeader header{};
  header.width = source->Width();
  header.height = source->Height();
  header.bpp = source->BitsPerPixel();
  // Some formats write their file name into the file: the temporary has the target's name.
  TFileReplacement pending(name);
  int fd = imgfmt_file_create(pending.Path.c_str(), IMGFMT_O_BINARY | IMGFMT_O_WRONLY);
  if (fd < 0) throw EFCreateError("Cannot create file \"" + name + "\". " + SysErrorMessage(errno));
  int rc = imgfmt_write_image(pending.Path.c_str(), fd, index, &header, palette, source->Bits(), "");
  bool closed = imgfmt_file_close(fd) == 0;
  // A codec may write a file of its own beside the picture, named after it (KIPS its
  // palette): it was made in the save's private folder, and goes beside the name given, where
  // a reader of the picture looks for it, replaced as the picture is.
  const std::string privateDir = ExtractFilePath(pending.Path);
  std::vector<std::string> made;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(privateDir, ec))
    if (e.path().filename() != ExtractFileName(pending.Path)) made.push_back(e.path().filename());
  std::vector<std::unique_ptr<TFileReplacement>> companions;
  try {
    if (rc != 0) throw EWriteError("Cannot write \"" + name + "\": " + imgfmt_error_text(rc));
    if (!closed) throw EWriteError("Cannot write file \"" + name + "\"");
    for (const std::string& file : made) {
      companions.push_back(std::make_unique<TFileReplacement>(ExtractFilePath(name) + file));
      const std::string bytes = ReadFileBytes(privateDir + file);
      TFileStream out(companions.back()->Path, fmCreate);
      out.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    }
  } catch (...) {
    for (const std::string& file : made) unlink((privateDir + file).c_str());
    throw;
  }
  for (const std::string& file : made) unlink((privateDir + file).c_str());
  pending.Commit();
  for (auto& c : companions) c->Commit();
}

// The picture dialogs offer PNG files; the image class reads them by their extension.
static const bool GPNGRegistered = (RegisterFileFormat("png", "Portable Network Graphics",
                                                       [] { return std::unique_ptr<TGraphic>(new XImage); }),
                                    true);
