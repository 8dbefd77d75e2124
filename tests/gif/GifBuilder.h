// Hand-made GIF byte streams for the cases no tool writes: codes are given one by one and
// packed at the widths a decoder expects, so damaged and unusual streams can be built.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct GifBuilder {
  std::string b;

  GifBuilder& Bytes(std::initializer_list<int> v) {
    for (int x : v) b += char(x);
    return *this;
  }
  GifBuilder& Word(int v) { return Bytes({v & 0xFF, (v >> 8) & 0xFF}); }
  GifBuilder& Str(const std::string& s) {
    b += s;
    return *this;
  }
  // Signature and screen; globalBits 0 means no global map.
  GifBuilder& Header(int w, int h, int globalBits, const char* sig = "GIF89a", int bg = 0) {
    Str(sig).Word(w).Word(h);
    Bytes({globalBits ? 0x80 | ((globalBits - 1) << 4) | (globalBits - 1) : 0, bg, 0});
    if (globalBits) Map(globalBits);
    return *this;
  }
  // 2^bits entries; entry i is MapEntry(i).
  GifBuilder& Map(int bits) {
    for (int i = 0; i < (1 << bits); ++i) Bytes({(i * 37) & 0xFF, (255 - i * 11) & 0xFF, (i * 5 + 3) & 0xFF});
    return *this;
  }
  static uint32_t MapRGB(int i) {
    return uint32_t(((i * 37) & 0xFF) << 16 | ((255 - i * 11) & 0xFF) << 8 | ((i * 5 + 3) & 0xFF));
  }
  GifBuilder& Gce(int packed, int delay, int index) {
    return Bytes({0x21, 0xF9, 4, packed}).Word(delay).Bytes({index, 0});
  }
  GifBuilder& Comment(const std::string& text) {
    Bytes({0x21, 0xFE, int(text.size())}).Str(text);
    return Bytes({0});
  }
  GifBuilder& Loop(int count) {
    Bytes({0x21, 0xFF, 11}).Str("NETSCAPE2.0").Bytes({3, 1}).Word(count);
    return Bytes({0});
  }
  GifBuilder& PlainText() {
    Bytes({0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0});
    return Bytes({2, 'h', 'i', 0});
  }
  GifBuilder& Image(int w, int h, int packed = 0, int left = 0, int top = 0) {
    Bytes({0x2C}).Word(left).Word(top).Word(w).Word(h);
    return Bytes({packed});
  }
  // The LZW data: the minimum code size (or a declared one that differs), then the codes at the widths a
  // decoder reads them, in sub-blocks of at most 255 bytes, and the terminator.
  GifBuilder& Codes(int minSize, const std::vector<int>& codes, bool terminate = true, int declared = -1) {
    b += char(declared < 0 ? minSize : declared);
    std::string packed;
    uint32_t acc = 0;
    int bits = 0, size = minSize + 1, next = (1 << minSize) + 2;
    bool first = true;
    const int clear = 1 << minSize;
    for (int c : codes) {
      acc |= uint32_t(c) << bits;
      bits += size;
      while (bits >= 8) {
        packed += char(acc & 0xFF);
        acc >>= 8;
        bits -= 8;
      }
      if (c == clear) {
        size = minSize + 1;
        next = clear + 2;
        first = true;
      } else if (first) {
        first = false;
      } else if (next < 4096) {
        ++next;
        if (next == (1 << size) && size < 12) ++size;
      }
    }
    if (bits) packed += char(acc & 0xFF);
    for (size_t at = 0; at < packed.size(); at += 255) {
      size_t n = std::min<size_t>(255, packed.size() - at);
      b += char(n);
      b += packed.substr(at, n);
    }
    if (terminate) b += char(0);
    return *this;
  }
  GifBuilder& Trailer() { return Bytes({0x3B}); }
};
