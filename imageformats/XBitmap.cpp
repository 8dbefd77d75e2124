// X11 bitmap source text, 1 bit per pixel. The file's leftmost pixel is a byte's lowest bit.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imageformats/ImgFmtCodec.h"

namespace {

constexpr int kWordMax = 100;

enum Token { tEof, tPunct, tNumber, tWord, tTooLong, tError };

// The lexer's state lives in the header, so the data reader goes on where the header stopped.
struct XbmPrivate {
  unsigned char buf[1024];
  int pos, count;
  int pushback;  // -2 when empty
  int fd;
  bool failed;
  int64_t number;
  char punct;
  char word[kWordMax + 1];
  int wordBits;  // 8 or 16
};

int GetChar(XbmPrivate* p) {
  if (p->pushback != -2) {
    int c = p->pushback;
    p->pushback = -2;
    return c;
  }
  if (p->pos >= p->count) {
    int n = imgfmt_file_read(p->fd, p->buf, int(sizeof p->buf));
    if (n < 0 || n > int(sizeof p->buf)) p->failed = true;
    if (n <= 0 || n > int(sizeof p->buf)) return -1;
    p->pos = 0;
    p->count = n;
  }
  return p->buf[p->pos++];
}

void UngetChar(XbmPrivate* p, int c) { p->pushback = c; }

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsWordChar(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_'; }
int DigitValue(int c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

Token Next(XbmPrivate* p) {
  int c;
  for (;;) {
    c = GetChar(p);
    if (IsSpace(c)) continue;
    if (c == '/') {
      int d = GetChar(p);
      if (d == '*') {
        int prev = 0;
        for (;;) {
          c = GetChar(p);
          if (c == -1) return p->failed ? tError : tEof;
          if (prev == '*' && c == '/') break;
          prev = c;
        }
        continue;
      }
      UngetChar(p, d);
    }
    break;
  }
  if (c == -1) return p->failed ? tError : tEof;
  if (std::strchr(",;=[]{}", c)) {
    p->punct = char(c);
    return tPunct;
  }
  bool negative = false;
  if (c == '+' || c == '-') {
    int d = GetChar(p);
    if (IsDigit(d)) {
      negative = c == '-';
      c = d;
    } else {
      UngetChar(p, d);
    }
  }
  if (IsDigit(c)) {
    int base = 10;
    if (c == '0') {
      int d = GetChar(p);
      if (d == 'x' || d == 'X') {
        base = 16;
        c = GetChar(p);
        if (DigitValue(c) >= 16) return tError;
      } else {
        base = 8;
        c = d;
      }
    }
    int64_t v = 0;
    while (DigitValue(c) < base) {
      v = v * base + DigitValue(c);
      if (v > 0xffffffffLL) return tError;
      c = GetChar(p);
    }
    UngetChar(p, c);
    p->number = negative ? -v : v;
    return tNumber;
  }
  int n = 0;
  p->word[n++] = char(c);
  for (c = GetChar(p); IsWordChar(c); c = GetChar(p)) {
    if (n >= kWordMax) return tTooLong;
    p->word[n++] = char(c);
  }
  UngetChar(p, c);
  p->word[n] = 0;
  return tWord;
}

bool IsPunct(Token t, const XbmPrivate* p, char c) { return t == tPunct && p->punct == c; }
bool IsWord(Token t, const XbmPrivate* p, const char* w) {
  return t == tWord && std::strcmp(p->word, w) == 0;
}
// The code for a token that is not what was expected.
int Unexpected(Token t, int code) {
  if (t == tEof) return 1301;
  if (t == tError) return IMGFMT_ERR_READ;
  return code;
}

int ReadHeader(const char*, int fd, ImgFmtHeader* h, const char*) {
  auto* p = imgfmt_private<XbmPrivate>(h);
  p->pos = p->count = 0;
  p->pushback = -2;
  p->fd = fd;
  p->failed = false;
  int64_t width = -1, height = -1;
  Token t = Next(p);
  while (IsWord(t, p, "#define")) {
    t = Next(p);
    if (t != tWord) return Unexpected(t, 1300);
    const char* part = std::strrchr(p->word, '_');
    part = part ? part + 1 : p->word;
    bool isWidth = std::strcmp(part, "width") == 0, isHeight = std::strcmp(part, "height") == 0;
    t = Next(p);
    if (t != tNumber) return Unexpected(t, 1309);
    if (isWidth) width = p->number;
    if (isHeight) height = p->number;
    t = Next(p);
  }
  if (int rc = imgfmt_check_size(width, height)) return rc;
  if (IsWord(t, p, "static")) t = Next(p);
  if (IsWord(t, p, "unsigned") || IsWord(t, p, "signed")) t = Next(p);
  if (IsWord(t, p, "char")) p->wordBits = 8;
  else if (IsWord(t, p, "short")) p->wordBits = 16;
  else return Unexpected(t, 1302);
  t = Next(p);
  if (t != tWord) return Unexpected(t, 1300);
  if (!IsPunct(t = Next(p), p, '[')) return Unexpected(t, 1303);
  if (!IsPunct(t = Next(p), p, ']')) return Unexpected(t, 1304);
  if (!IsPunct(t = Next(p), p, '=')) return Unexpected(t, 1305);
  if (!IsPunct(t = Next(p), p, '{')) return Unexpected(t, 1306);
  h->width = int32_t(width);
  h->height = int32_t(height);
  h->bpp = 1;
  return IMGFMT_OK;
}

uint8_t Reverse(unsigned b) {
  b = ((b & 0xf0) >> 4) | ((b & 0x0f) << 4);
  b = ((b & 0xcc) >> 2) | ((b & 0x33) << 2);
  b = ((b & 0xaa) >> 1) | ((b & 0x55) << 1);
  return uint8_t(b);
}

int ReadData(int, ImgFmtHeader* h, uint8_t* data) {
  auto* p = imgfmt_private<XbmPrivate>(h);
  if (p->wordBits != 8 && p->wordBits != 16) return IMGFMT_ERR_BAD_ARG;
  int64_t stride = imgfmt_row_bytes(h->width, 1);
  std::memset(data, 0, size_t(stride * h->height));
  int64_t perRow = p->wordBits == 8 ? (h->width + 7) / 8 : (h->width + 15) / 16;
  int64_t total = perRow * h->height;
  bool ended = false;
  Token t;
  for (int64_t i = 0; i < total && !ended; ++i) {
    t = Next(p);
    if (IsPunct(t, p, '}')) {
      ended = true;
      break;
    }
    if (t != tNumber) return Unexpected(t, 1309);
    int64_t y = i / perRow, k = i % perRow;
    uint8_t* row = data + (h->height - 1 - y) * stride;
    if (p->wordBits == 8) {
      row[k] = Reverse(unsigned(p->number) & 0xff);
    } else {
      row[2 * k] = Reverse(unsigned(p->number) & 0xff);
      row[2 * k + 1] = Reverse((unsigned(p->number) >> 8) & 0xff);
    }
    t = Next(p);
    if (IsPunct(t, p, '}')) ended = true;
    else if (!IsPunct(t, p, ',')) return Unexpected(t, 1308);
  }
  if (!ended) {
    // More numbers than the rows hold are an error, not an overrun.
    t = Next(p);
    if (!IsPunct(t, p, '}')) return Unexpected(t, 1307);
  }
  t = Next(p);
  if (!IsPunct(t, p, ';')) return Unexpected(t, 1310);
  // Clear what lies past the width: bits of the last byte and the padding.
  int64_t used = (h->width + 7) / 8;
  uint8_t mask = uint8_t(0xff << ((8 - h->width % 8) % 8));
  for (int32_t y = 0; y < h->height; ++y) {
    uint8_t* row = data + y * stride;
    row[used - 1] &= mask;
    std::memset(row + used, 0, size_t(stride - used));
  }
  return IMGFMT_OK;
}

std::string SymbolName(const char* name) {
  std::string s = name;
  size_t sep = s.find_last_of("/\\");
  if (sep != std::string::npos) s.erase(0, sep + 1);
  size_t dot = s.find_last_of('.');
  if (dot != std::string::npos) s.resize(dot);
  for (char& c : s)
    if (!IsWordChar(c) || c == '_') c = '_';
  if (s.empty()) return "_";
  if (!((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z'))) s[0] = '_';
  return s;
}

int Write(const char* name, int fd, const ImgFmtHeader* h, const ImgFmtRgb* pal, const uint8_t* data,
          const char*) {
  std::string sym = SymbolName(name);
  std::string out;
  char item[16];
  out += "#define " + sym + "_width " + std::to_string(h->width) + "\r\n";
  out += "#define " + sym + "_height " + std::to_string(h->height) + "\r\n";
  out += "static char " + sym + "_bits[] = {\r\n";
  auto bright = [](const ImgFmtRgb& c) { return 77 * c.r + 150 * c.g + 29 * c.b; };
  bool invert = bright(pal[1]) >= bright(pal[0]);
  int64_t stride = imgfmt_row_bytes(h->width, 1);
  int64_t used = (h->width + 7) / 8;
  uint8_t mask = uint8_t(0xff << ((8 - h->width % 8) % 8));
  int column = 0;
  for (int32_t y = h->height - 1; y >= 0; --y) {
    const uint8_t* row = data + y * stride;
    for (int64_t k = 0; k < used; ++k) {
      uint8_t b = invert ? uint8_t(~row[k]) : row[k];
      if (k == used - 1) b &= mask;
      std::snprintf(item, sizeof item, "0x%02x,", Reverse(b));
      out += item;
      column += 5;
      if (column > 70) {
        out += "\r\n";
        column = 0;
      }
    }
  }
  if (column > 0) out += "\r\n";
  out += "};\r\n";
  return imgfmt_write_exact(fd, out.data(), int64_t(out.size()));
}

const char* ErrorText(int code) {
  static const char* const kTexts[] = {
      "expected identifier",
      "unexpected end of file",
      "expected char or short",
      "expected[",
      "expected ]",
      "expected =",
      "expected {",
      "expected }",
      "expected ,",
      "expected number",
      "expected ;",
  };
  return code >= 1300 && code <= 1310 ? kTexts[code - 1300] : nullptr;
}

}  // namespace

const ImgFmtCodec imgfmt_codec_xbitmap = {{"XBitmap", "X Windows Bitmap", "XBM", 0x11},
                                          ReadHeader,
                                          imgfmt_read_mono_palette,
                                          ReadData,
                                          Write,
                                          ErrorText};
