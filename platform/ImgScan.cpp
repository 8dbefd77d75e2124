#include "platform/ImgScan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sane/sane.h>
#include <sane/saneopts.h>

#include "platform/Graphics.h"

namespace {

// The library is started once for all instances and stopped with the last one: SANE has one
// session per process, and a second sane_exit would end it under another user.
int SessionUsers = 0;

[[noreturn]] void Fail(const std::string& what, SANE_Status status) {
  throw EScanError(what + ": " + sane_strstatus(status));
}

// Colour is what a picture for a texture wants; a device without a colour mode keeps its own.
void PreferColour(SANE_Handle h) {
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
    if (!d) return;
    if (!d->name || std::strcmp(d->name, SANE_NAME_SCAN_MODE) != 0) continue;
    if (d->type != SANE_TYPE_STRING || d->constraint_type != SANE_CONSTRAINT_STRING_LIST ||
        !SANE_OPTION_IS_SETTABLE(d->cap) || !SANE_OPTION_IS_ACTIVE(d->cap) || d->size < 6)
      return;
    for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) {
      if (std::strcmp(*s, SANE_VALUE_SCAN_MODE_COLOR) == 0) {
        std::vector<char> value(size_t(d->size), '\0');
        std::memcpy(value.data(), *s, std::strlen(*s));
        sane_control_option(h, i, SANE_ACTION_SET_VALUE, value.data(), nullptr);
        return;
      }
    }
    return;
  }
}

// A texture needs no more than screen resolution; devices start anywhere between a preview's
// few dots and their finest, so the scan asks for 100 dpi, or the nearest the device offers.
void PreferResolution(SANE_Handle h, double dpi) {
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
    if (!d) return;
    if (!d->name || std::strcmp(d->name, SANE_NAME_SCAN_RESOLUTION) != 0) continue;
    bool fixed = d->type == SANE_TYPE_FIXED;
    if ((!fixed && d->type != SANE_TYPE_INT) || d->size != sizeof(SANE_Word) ||
        !SANE_OPTION_IS_SETTABLE(d->cap) || !SANE_OPTION_IS_ACTIVE(d->cap))
      return;
    auto toDpi = [fixed](SANE_Word w) { return fixed ? SANE_UNFIX(w) : double(w); };
    SANE_Word want = fixed ? SANE_FIX(dpi) : SANE_Word(dpi);
    if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
      const SANE_Range* r = d->constraint.range;
      want = std::clamp(want, r->min, r->max);
      if (r->quant > 0) want = r->min + (want - r->min) / r->quant * r->quant;
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list &&
               d->constraint.word_list[0] > 0) {
      const SANE_Word* list = d->constraint.word_list;
      SANE_Word best = list[1];
      for (SANE_Word k = 1; k <= list[0]; ++k)
        if (std::abs(toDpi(list[k]) - dpi) < std::abs(toDpi(best) - dpi)) best = list[k];
      want = best;
    }
    sane_control_option(h, i, SANE_ACTION_SET_VALUE, &want, nullptr);
    return;
  }
}

struct Frame {
  SANE_Parameters p{};
  std::vector<uint8_t> data;
  int lines = 0;
};

// The bytes one line of a frame must hold at least.
int64_t LineBytes(const SANE_Parameters& p) {
  int64_t samples = int64_t(p.pixels_per_line) * (p.format == SANE_FRAME_RGB ? 3 : 1);
  return p.depth == 1 ? (samples + 7) / 8 : samples * (p.depth / 8);
}

void CheckParameters(const SANE_Parameters& p) {
  bool formatOk = p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB || p.format == SANE_FRAME_RED ||
                  p.format == SANE_FRAME_GREEN || p.format == SANE_FRAME_BLUE;
  bool depthOk = p.depth == 8 || p.depth == 16 || (p.depth == 1 && p.format != SANE_FRAME_RGB);
  if (!formatOk || !depthOk) throw EScanError("The scanner sends pictures in a form that cannot be read.");
  if (p.pixels_per_line < 1 || p.pixels_per_line > MaxImageDimension || p.lines == 0 || p.lines < -1 ||
      p.lines > MaxImageDimension || p.bytes_per_line < LineBytes(p))
    throw EScanError("The scanner reports a page size that cannot be used.");
  int64_t lines = p.lines > 0 ? p.lines : 1;
  if (int64_t(p.pixels_per_line) * lines > MaxImagePixels) throw EScanError("The scanned page is too large.");
}

// One sample of a line as 0..255.
uint8_t Sample(const uint8_t* line, const SANE_Parameters& p, int64_t index) {
  if (p.depth == 8) return line[index];
  if (p.depth == 16) {
    // Samples of 16 bits come in the machine's byte order.
    uint16_t v;
    std::memcpy(&v, line + index * 2, 2);
    return uint8_t(v >> 8);
  }
  // One bit per sample, and 1 is black.
  return (line[index / 8] & (0x80 >> (index % 8))) ? 0 : 255;
}

struct Device {
  SANE_Handle h = nullptr;
  explicit Device(const std::string& name) {
    SANE_Status s = sane_open(name.c_str(), &h);
    if (s != SANE_STATUS_GOOD) {
      h = nullptr;
      Fail("The scanner \"" + name + "\" could not be opened", s);
    }
  }
  ~Device() {
    sane_cancel(h);
    sane_close(h);
  }
};

}  // namespace

TImgScan::TImgScan() {
  if (SessionUsers == 0) {
    SANE_Int version = 0;
    SANE_Status s = sane_init(&version, nullptr);
    if (s != SANE_STATUS_GOOD) Fail("The scanner library could not be started", s);
  }
  ++SessionUsers;
}

TImgScan::~TImgScan() {
  if (--SessionUsers == 0) sane_exit();
}

bool TImgScan::ScannerAvailable() {
  FDevices.clear();
  const SANE_Device** list = nullptr;
  if (sane_get_devices(&list, SANE_FALSE) == SANE_STATUS_GOOD && list)
    for (const SANE_Device** d = list; *d; ++d)
      if ((*d)->name && *(*d)->name) FDevices.push_back((*d)->name);
  FDevicesListed = true;
  return !FDevices.empty();
}

void TImgScan::StartScan() {
  if (ScanTo != ScanToFile || FileType != FileTypeBMP)
    throw EScanError("Scans can only be written to a BMP file.");
  if (Image.empty()) throw EScanError("No file was named for the scan.");
  std::string name = DeviceName;
  if (name.empty()) {
    if (!FDevicesListed) ScannerAvailable();
    if (FDevices.empty()) throw EScanError("No scanner was found.");
    name = FDevices.front();
  }
  Device dev(name);
  PreferColour(dev.h);
  PreferResolution(dev.h, 100);

  std::vector<Frame> frames;
  int64_t done = 0;
  for (;;) {
    SANE_Status s = sane_start(dev.h);
    if (s != SANE_STATUS_GOOD) Fail("The scan could not be started", s);
    Frame f;
    s = sane_get_parameters(dev.h, &f.p);
    if (s != SANE_STATUS_GOOD) Fail("The scanner did not describe the page", s);
    CheckParameters(f.p);
    int64_t bpl = f.p.bytes_per_line;
    // A scanner that does not know the page's length (a hand scanner) is read up to the
    // largest picture the program takes.
    int64_t maxLines = f.p.lines > 0
                           ? f.p.lines
                           : std::min<int64_t>(MaxImageDimension, MaxImagePixels / f.p.pixels_per_line);
    int64_t expected = f.p.lines > 0 ? bpl * f.p.lines : 0;
    int64_t cap = bpl * maxLines;
    // A three-pass scanner sends the page three times.
    bool onePass = f.p.format == SANE_FRAME_GRAY || f.p.format == SANE_FRAME_RGB;
    int64_t total = expected * (onePass ? 1 : 3);
    if (expected) f.data.reserve(size_t(expected));
    std::vector<uint8_t> block(65536);
    for (;;) {
      SANE_Int got = 0;
      s = sane_read(dev.h, block.data(), SANE_Int(block.size()), &got);
      if (s == SANE_STATUS_EOF) break;
      if (s != SANE_STATUS_GOOD) Fail("The scan failed", s);
      int64_t take = std::min<int64_t>(got, cap - int64_t(f.data.size()));
      if (take > 0) f.data.insert(f.data.end(), block.begin(), block.begin() + take);
      done += got;
      if (OnProgress && !OnProgress(done, total)) throw EAbort("The scan was stopped.");
    }
    f.lines = int(int64_t(f.data.size()) / bpl);
    bool last = f.p.last_frame;
    frames.push_back(std::move(f));
    if (last || frames.size() >= 3) break;
  }

  // A single-pass frame, or the red, green and blue frames of a three-pass scanner.
  const Frame* channel[3] = {nullptr, nullptr, nullptr};
  int width = 0, height = -1;
  for (const Frame& f : frames) {
    switch (f.p.format) {
      case SANE_FRAME_RED: channel[0] = &f; break;
      case SANE_FRAME_GREEN: channel[1] = &f; break;
      case SANE_FRAME_BLUE: channel[2] = &f; break;
      default: channel[0] = channel[1] = channel[2] = &f; break;
    }
    width = width ? std::min(width, f.p.pixels_per_line) : f.p.pixels_per_line;
    height = height < 0 ? f.lines : std::min(height, f.lines);
  }
  if (!channel[0] || !channel[1] || !channel[2] || height < 1)
    throw EScanError("The scanner sent no picture.");

  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* out = bmp.ScanLine(y);
    for (int c = 0; c < 3; ++c) {
      const Frame& f = *channel[c];
      const uint8_t* line = f.data.data() + int64_t(y) * f.p.bytes_per_line;
      bool rgb = f.p.format == SANE_FRAME_RGB;
      for (int x = 0; x < width; ++x) out[x * 3 + (2 - c)] = Sample(line, f.p, rgb ? int64_t(x) * 3 + c : x);
    }
  }
  bmp.SaveToFile(Image);
  if (OnScanDone) OnScanDone();
}
