#include "engine/XImage.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <memory>
#include <set>
#include <sstream>
#include <unistd.h>
#include <vector>

#include "POP/PopForms.h"
#include "engine/XBlend.h"
#include "engine/XImageFormats.h"
#include "imageformats/ImgFmt.h"
#include "platform/Canvas.h"
#include "platform/Icon.h"
#include "platform/JpegImage.h"
#include "platform/Metafile.h"
#include "platform/SysUtils.h"

XImage::XImage() { BitmapMatch32(*this, nullptr); }

void XImage::Assign(const TGraphic* source) {
  auto x = dynamic_cast<const XImage*>(source);
  if (x) FileName = x->FileName;
  TBitmap::Assign(source);
  AlphaChannel = x && x->AlphaChannel;
}

void XImage::SetSize(int width, int height) {
  // In one step: the pixels kept are the same as setting the width and then the height, but a
  // wide, low size after a tall, narrow one never passes through the product of both.
  if (width != Width() || height != Height()) TBitmap::SetSize(width, height);
}

static bool ExtIs(const std::string& ext, const char* literal) { return SameText(ext, literal); }

static bool IsJPEGExt(const std::string& ext) {
  return ExtIs(ext, ".jpg") || ExtIs(ext, ".jpeg") || ExtIs(ext, ".jpe");
}

// Whether the file begins with these bytes; false when it cannot be read (the reader that
// is then called reports why).
static bool StartsWithBytes(const std::string& path, const std::string& magic) {
  const int fd = OpenRegularFileWith(path, O_RDONLY);
  if (fd < 0) return false;
  std::string head(magic.size(), '\0');
  size_t got = 0;
  while (got < head.size()) {
    const ssize_t n = read(fd, head.data() + got, head.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  close(fd);
  return got == head.size() && head == magic;
}

// An ordinary 32-bit bitmap leaves its fourth bytes 0; such a file means opaque pixels.
static void OpaqueWhenNoAlpha(TBitmap& b) {
  if (b.PixelFormat() != pf32bit) return;
  for (int y = 0; y < b.Height(); ++y) {
    const uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < b.Width(); ++x)
      if (p[4 * x + 3]) return;
  }
  ImageOr(b, b, 0xFF000000u);
}

// Some pixel of a 32-bit bitmap is not opaque.
static bool SomeAlphaBelowFull(const TBitmap& b) {
  if (b.PixelFormat() != pf32bit) return false;
  for (int y = 0; y < b.Height(); ++y) {
    const uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < b.Width(); ++x)
      if (p[4 * x + 3] != 0xFF) return true;
  }
  return false;
}

// What a picture file of this extension is called in a message.
static std::string PictureKind(const std::string& ext) {
  if (IsJPEGExt(ext)) return "JPEG";
  if (ExtIs(ext, ".bmp") || ExtIs(ext, ".dib")) return "bitmap";
  if (ExtIs(ext, ".ico")) return "icon";
  if (ExtIs(ext, ".wmf")) return "metafile";
  if (ExtIs(ext, ".ppm")) return "pixmap";
  if (ExtIs(ext, ".tif") || ExtIs(ext, ".tiff")) return "TIFF";
  return ext.size() > 1 ? UpperCase(ext.substr(1)) : std::string("picture");
}

std::string PictureReadProblem(const std::exception& failure, const std::string& ext) {
  const std::string what = failure.what(), lower = LowerCase(what);
  auto says = [&](std::initializer_list<const char*> parts) {
    for (const char* p : parts)
      if (lower.find(LowerCase(p)) != std::string::npos) return true;
    return false;
  };
  // The file (it cannot be opened) or the picture's size, already told in words.
  if (dynamic_cast<const EFOpenError*>(&failure) || what.rfind("The picture would be", 0) == 0) return what;
  // The readers' many ways of saying that the data stopped before the picture was whole.
  if (dynamic_cast<const EReadError*>(&failure) ||
      says({"Stream read error", "end of data", "too short", "ends early", "ends before", "outside the file",
            "short or damaged", "premature end", "truncated", "unexpected end", "end of file", "cut short"}))
    return "It is cut short: the file ends early, before its picture does (a download or a copy that broke "
           "off?).";
  const std::string kind = PictureKind(ext);
  if (says({"not supported", "unsupported"}))
    return "It is a kind of " + kind + " picture that this program cannot read.";
  return "It is damaged or cut short, or it is not a " + kind + " picture.";
}

void XImage::LoadFromFile(const std::string& name) {
  // Only a regular file of a size a picture can have is read: a pipe would block the reader
  // and a device or a kernel file read on without end.
  const TRegularFile file = CheckRegularFile(ExpandFileName(name));
  if (!file.Regular) throw EFOpenError("Cannot open picture \"" + name + "\". " + file.Problem);
  // An empty name is no picture; a kernel file tells no size and reads on.
  if (file.Size == 0) throw EInvalidGraphic("\"" + name + "\" is empty: it holds no picture.");
  if (file.Size > MaxPictureFileBytes)
    throw EInvalidGraphic("\"" + name + "\" is larger than any picture that can be opened (" +
                          IntToStr(file.Size >> 20) + " MB).");
  try {
    ReadPictureFile(name);
  } catch (const std::bad_alloc&) { throw; } catch (const EAbort&) {
    throw;  // stopped by the user: no fault of the file
  } catch (const std::exception& e) { throw EInvalidGraphic(PictureReadProblem(e, ExtractFileExt(name))); }
}

void XImage::ReadPictureFile(const std::string& name) {
  std::string path = ExpandFileName(name);
  std::string ext = ExtractFileExt(name);
  XImage tmp;
  // Only the readers whose files can carry alpha keep it; the others make every pixel
  // opaque or use the alpha byte for their own ends (the metafile's background).
  bool alpha = false;
  if (IsJPEGExt(ext)) {
    // The decoded pixels are taken over, not copied, and grow to 32 bits in place: the load
    // holds the picture once.
    TJPEGImage jpeg;
    jpeg.LoadFromFile(path);
    jpeg.TakeBitmap(tmp);
  } else if (ExtIs(ext, ".ppm")) {
    // The plain-text form is read here; the binary form, the common kind, by the format
    // table's pixmap reader.
    if (StartsWithBytes(path, "P6")) XImageLoadFormatLibrary(tmp, path);
    else ReadPPM(tmp, path);
  } else if (ExtIs(ext, ".gif")) {
    XImageLoadGIF(tmp, path);
  } else if (ExtIs(ext, ".ico")) {
    TIcon icon;
    icon.LoadFromFile(path);
    tmp.SetSize(icon.Width(), icon.Height());
    ImageFill(tmp, tmp, 0xFFFFFFFFu);
    tmp.Canvas().Draw(0, 0, &icon);
    ImageOr(tmp, tmp, 0xFF000000u);
  } else if (ExtIs(ext, ".wmf")) {
    TMetafile mf;
    mf.LoadFromFile(path);
    tmp.SetSize(mf.Width(), mf.Height());
    ImageFill(tmp, tmp, 0xFFFFFFFFu);
    tmp.Canvas().Draw(0, 0, &mf);
    // Drawing leaves alpha 0 where it touched; inverted, the untouched background ends
    // transparent and the drawing opaque.
    ImageXor(tmp, tmp, 0xFF000000u);
  } else if (ExtIs(ext, ".png")) {
    // A PNG keeps the image's transparency settings (its pixels are the file's alone).
    tmp.SetTransparent(Transparent());
    if (TransparentMode() == tmFixed) tmp.SetTransparentColor(TransparentColor());
    bool mayHaveAlpha = true;
    XImageLoadPNG(tmp, path, &mayHaveAlpha);
    alpha = mayHaveAlpha && SomeAlphaBelowFull(tmp);
  } else if (ExtIs(ext, ".bmp") || ExtIs(ext, ".dib")) {
    tmp.TBitmap::LoadFromFile(path);
    OpaqueWhenNoAlpha(tmp);
    alpha = SomeAlphaBelowFull(tmp);
  } else {
    XImageLoadFormatLibrary(tmp, path);
  }
  // The reader's working memory (a GIF's codes and frame, a format's rows) is free by now but
  // may still lie in the heap; a large picture gives it back before it grows to 32 bits, so
  // that the load's peak is the picture and not the picture and its reader's leftovers.
  if (int64_t(tmp.Width()) * tmp.Height() >= (int64_t(4) << 20)) malloc_trim(0);
  BitmapSetPixelFormat(tmp, 7);
  TakePixels(tmp);
  SetTransparent(tmp.Transparent());
  if (tmp.TransparentMode() == tmFixed) SetTransparentColor(tmp.TransparentColor());
  FileName = path;
  AlphaChannel = alpha;
  Dormant();
  Modified = false;
}

void XImage::SaveToFile(const std::string& name) const {
  std::string path = ExpandFileName(name);
  std::string ext = ExtractFileExt(name);
  if (IsJPEGExt(ext)) {
    TJPEGImage jpeg;
    jpeg.Assign(this);
    jpeg.CompressionQuality = JPEGQuality;
    jpeg.SaveToFile(path);
  } else if (ExtIs(ext, ".png")) {
    XImageSavePNG(*this, path);
  } else if (ExtIs(ext, ".tif")) {
    ShowMessage(
        "Sorry, TIF files are not supported.\nA TIFF file is written when the name ends in \".tiff\".");
    return;
  } else if (ExtIs(ext, ".gif")) {
    XImageSaveGIF(*this, path);
  } else if (ExtIs(ext, ".bmp") || ExtIs(ext, ".dib")) {
    TBitmap::SaveToFile(path);
  } else if (ExtIs(ext, ".ppm")) {
    WritePPM(*this, path);
  } else {
    XImageSaveFormatLibrary(*this, path);
  }
  FileName = path;
}

std::string XImageSaveFilter() {
  struct Format {
    std::string description;
    std::vector<std::string> extensions;
  };
  // The image class's own writers, as SaveToFile chooses them.
  std::vector<Format> formats = {{"Bitmaps", {"bmp", "dib"}},
                                 {"Portable Network Graphics", {"png"}},
                                 {"CompuServe GIF Image", {"gif"}},
                                 {"JPEG Image File", {"jpg", "jpeg", "jpe"}},
                                 {"Portable Pixmap", {"ppm"}}};
  std::set<std::string> taken = {"tif"};  // refused by SaveToFile
  for (const Format& f : formats) taken.insert(f.extensions.begin(), f.extensions.end());
  // Then each format of the table that takes the 24-bit picture a save hands it, unless the
  // image class writes it itself.
  int count = 0;
  imgfmt_format_count(&count);
  for (int i = 0; i < count; ++i) {
    ImgFmtInfo info{};
    if (imgfmt_query_format(i, &info) != 0 || !(info.flags & IMGFMT_WRITE_24)) continue;
    Format f{info.long_name, {}};
    bool own = false;
    std::istringstream words(info.extensions);
    for (std::string w; words >> w;) {
      w = LowerCase(w);
      if (w == "tif") continue;
      if (taken.count(w)) own = true;
      f.extensions.push_back(w);
    }
    if (!own && !f.extensions.empty()) formats.push_back(f);
  }
  std::string all, each;
  for (const Format& f : formats) {
    std::string masks;
    for (const std::string& e : f.extensions) masks += (masks.empty() ? "*." : ";*.") + e;
    all += (all.empty() ? "" : ";") + masks;
    each += "|" + f.description + " (" + masks + ")|" + masks;
  }
  return "All pictures (" + all + ")|" + all + each;
}

// ---- bitmap functions --------------------------------------------------------------------

int PixelFormatCode(TPixelFormat f) { return int(f); }

TPixelFormat PixelFormatOfCode(int code) { return code >= 0 && code <= 8 ? TPixelFormat(code) : pfCustom; }

void BitmapSetPixelFormat(TBitmap& bitmap, int code) {
  TPixelFormat f = PixelFormatOfCode(code);
  if (bitmap.PixelFormat() == f) return;
  bitmap.SetPixelFormat(f);
  if (f == pf32bit) ImageOr(bitmap, bitmap, 0xFF000000u);
}

void BitmapMatch32(XImage& image, TBitmap* source) {
  if (source) {
    BitmapSetPixelFormat(*source, 7);
    source->Dormant();
    image.SetSize(source->Width(), source->Height());
  }
  BitmapSetPixelFormat(image, 7);
  image.Dormant();
}

void BitmapMatch32(TBitmap& bitmap, TBitmap* source) {
  if (source) {
    BitmapSetPixelFormat(*source, 7);
    source->Dormant();
    BitmapSetSize32(bitmap, source->Width(), source->Height());
  }
  BitmapSetPixelFormat(bitmap, 7);
  bitmap.Dormant();
}

void BitmapSetSize32(TBitmap& bitmap, int width, int height) {
  BitmapSetPixelFormat(bitmap, 7);
  if (width != bitmap.Width() || height != bitmap.Height()) bitmap.SetSize(width, height);
}

int BitmapBitsPerPixel(const TBitmap& bitmap) {
  static const int bits[] = {0, 1, 4, 8, 16, 16, 24, 32, 0};
  return bits[bitmap.PixelFormat()];
}

int BitmapBitDepth(const TBitmap& bitmap) {
  static const int bits[] = {0, 1, 4, 8, 15, 16, 24, 32, 0};
  return bits[bitmap.PixelFormat()];
}

int BitmapRowBits(const TBitmap& bitmap) {
  return int((int64_t(bitmap.Width()) * BitmapBitsPerPixel(bitmap) + 31) / 32 * 32);
}

int BitmapRowBytes(const TBitmap& bitmap) { return BitmapRowBits(bitmap) / 8; }

int64_t BitmapImageSize(const TBitmap& bitmap) { return int64_t(bitmap.Height()) * BitmapRowBytes(bitmap); }

uint8_t* BitmapBits(TBitmap& bitmap) { return bitmap.Height() > 0 ? bitmap.Bits() : nullptr; }

void DrawGraphicCentred(TBitmap& bitmap, const TGraphic& graphic) {
  if (bitmap.Width() < 1 || bitmap.Height() < 1 || graphic.Width() < 1 || graphic.Height() < 1) return;
  double scale =
      std::min(double(bitmap.Width()) / graphic.Width(), double(bitmap.Height()) / graphic.Height());
  int w = std::clamp(int(graphic.Width() * scale + 1e-9), 1, bitmap.Width());
  int h = std::clamp(int(graphic.Height() * scale + 1e-9), 1, bitmap.Height());
  int left = (bitmap.Width() - w) / 2, top = (bitmap.Height() - h) / 2;
  bitmap.Canvas().StretchDraw(TRect(left, top, left + w, top + h), &graphic);
}

void SaveSpacerGIF(const std::string& name) {
  static const uint8_t gif[42] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80,
                                  0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04,
                                  0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01,
                                  0x00, 0x01, 0x00, 0x40, 0x02, 0x01, 0x44, 0x00, 0x3B};
  WriteFileAtomic(name, std::string_view(reinterpret_cast<const char*>(gif), sizeof gif));
}

bool WriteSpacerGIF(const std::string& name) {
  try {
    SaveSpacerGIF(name);
    return true;
  } catch (const Exception&) { return false; }
}

// ---- PPM -----------------------------------------------------------------------------------

namespace {

class PPMScanner {
 public:
  explicit PPMScanner(const std::string& text) : T(text) {}

  // Blanks, control characters and comments up to the next token.
  void Skip() {
    while (P < T.size()) {
      unsigned char c = uint8_t(T[P]);
      if (c == '#') {
        while (P < T.size() && T[P] != '\n' && T[P] != '\r') ++P;
      } else if (c <= ' ' || c >= 127) {
        ++P;
      } else {
        return;
      }
    }
  }

  bool Magic() {
    Skip();
    if (T.compare(P, 2, "P3") != 0) return false;
    P += 2;
    return P == T.size() || Separator(uint8_t(T[P]));
  }

  // A decimal number: sign, digits, fraction, exponent. No "nan", "inf" or hexadecimal.
  bool Number(double& v) {
    Skip();
    size_t start = P, q = P;
    if (q < T.size() && (T[q] == '+' || T[q] == '-')) ++q;
    size_t digits = 0;
    while (q < T.size() && isdigit(uint8_t(T[q]))) ++q, ++digits;
    if (q < T.size() && T[q] == '.') {
      ++q;
      while (q < T.size() && isdigit(uint8_t(T[q]))) ++q, ++digits;
    }
    if (!digits) return false;
    if (q < T.size() && (T[q] == 'e' || T[q] == 'E')) {
      size_t e = q + 1;
      if (e < T.size() && (T[e] == '+' || T[e] == '-')) ++e;
      size_t ed = 0;
      while (e < T.size() && isdigit(uint8_t(T[e]))) ++e, ++ed;
      if (!ed) return false;
      q = e;
    }
    if (q < T.size() && !Separator(uint8_t(T[q]))) return false;
    long double value;
    if (!TryStrToFloat(T.substr(start, q - start), value) || !std::isfinite(double(value))) return false;
    v = double(value);
    P = q;
    return true;
  }

 private:
  static bool Separator(unsigned char c) { return c <= ' ' || c >= 127 || c == '#'; }
  const std::string& T;
  size_t P = 0;
};

}  // namespace

void ReadPPM(XImage& image, const std::string& name) {
  std::string text = ReadFileBytes(name);
  PPMScanner s(text);
  double w, h, m;
  if (!s.Magic()) throw EInvalidGraphic("Not a plain PPM file: " + name);
  if (!s.Number(w) || !s.Number(h) || !s.Number(m)) throw EInvalidGraphic("Bad PPM header: " + name);
  if (w < 1 || h < 1 || w > MaxImageDimension || h > MaxImageDimension)
    throw EInvalidGraphic("Bad PPM image size: " + name);
  if (m < 1 || m > 65535) throw EInvalidGraphic("Bad PPM maximum value: " + name);
  int width = int(w), height = int(h);
  CheckImageSize(width, height);
  // Every sample needs at least two bytes ("0 "), so a file too short for its size is
  // refused before the pixels are allocated.
  if (int64_t(width) * height * 3 > int64_t(text.size()))
    throw EInvalidGraphic("PPM file is too short: " + name);
  XImage tmp;
  tmp.SetSize(width, height);
  double scale = 255.0 / m;
  for (int y = 0; y < height; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(tmp.ScanLine(y));
    for (int x = 0; x < width; ++x) {
      double c[3];
      for (double& v : c) {
        if (!s.Number(v)) throw EInvalidGraphic("PPM file is short or damaged: " + name);
        v = std::clamp(v, 0.0, m);
      }
      row[x] = MakePixel(uint32_t(c[0] * scale), uint32_t(c[1] * scale), uint32_t(c[2] * scale), 255);
    }
  }
  image.TakePixels(tmp);
}

void WritePPM(const TBitmap& bitmap, const std::string& name) {
  TBitmap copy;
  const TBitmap* b = &bitmap;
  if (bitmap.PixelFormat() != pf24bit && bitmap.PixelFormat() != pf32bit) {
    copy.Assign(&bitmap);
    copy.SetPixelFormat(pf32bit);
    b = &copy;
  }
  int step = b->PixelFormat() == pf24bit ? 3 : 4;
  std::string out = Format("P3\r\n%d %d %d\r\n", b->Width(), b->Height(), 255);
  for (int y = 0; y < b->Height(); ++y) {
    const uint8_t* p = b->ScanLine(y);
    for (int x = 0; x < b->Width(); ++x, p += step) out += Format("%d %d %d\r\n", p[2], p[1], p[0]);
  }
  WriteFileAtomic(name, out);
}

void RegisterPictureClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterJPEGImage();
  // Read, never written: a picture is not saved as an icon or a metafile.
  RegisterFileFormat(
      "ico", "Icons", [] { return std::unique_ptr<TGraphic>(new TIcon); }, false);
  RegisterFileFormat(
      "wmf", "Metafiles", [] { return std::unique_ptr<TGraphic>(new TMetafile); }, false);
}

// Whoever uses the image class finds the picture classes registered.
static const bool GPicturesRegistered = (RegisterPictureClasses(), true);
