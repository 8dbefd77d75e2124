// Little- and big-endian fields of files, streams and pixel rows, read from and written to
// bytes whatever the host's own order. Every reader and writer of such fields uses these.
#pragma once
#include <cstdint>
#include <type_traits>

// The byte types that file data is held in: uint8_t buffers and std::string.
template <class T>
inline constexpr bool kIsFileByte =
    std::is_same_v<std::remove_cv_t<T>, unsigned char> || std::is_same_v<std::remove_cv_t<T>, char>;
template <class T>
concept ByteOrderByte = kIsFileByte<T>;

template <ByteOrderByte B>
constexpr uint16_t GetLe16(const B* p) {
  return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}
template <ByteOrderByte B>
constexpr uint32_t GetLe32(const B* p) {
  return uint32_t(uint8_t(p[0])) | uint32_t(uint8_t(p[1])) << 8 | uint32_t(uint8_t(p[2])) << 16 |
         uint32_t(uint8_t(p[3])) << 24;
}
template <ByteOrderByte B>
constexpr uint16_t GetBe16(const B* p) {
  return uint16_t(uint8_t(p[0]) << 8 | uint8_t(p[1]));
}
template <ByteOrderByte B>
constexpr uint32_t GetBe32(const B* p) {
  return uint32_t(uint8_t(p[0])) << 24 | uint32_t(uint8_t(p[1])) << 16 | uint32_t(uint8_t(p[2])) << 8 |
         uint32_t(uint8_t(p[3]));
}

template <ByteOrderByte B>
constexpr void PutLe16(B* p, uint16_t v) {
  p[0] = B(v & 0xFF);
  p[1] = B(v >> 8);
}
template <ByteOrderByte B>
constexpr void PutLe32(B* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = B(v >> (8 * i) & 0xFF);
}
template <ByteOrderByte B>
constexpr void PutBe16(B* p, uint16_t v) {
  p[0] = B(v >> 8);
  p[1] = B(v & 0xFF);
}
template <ByteOrderByte B>
constexpr void PutBe32(B* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = B(v >> (24 - 8 * i) & 0xFF);
}

// Appending to a growing byte container (std::vector<uint8_t>, std::string).
template <class Bytes>
void AppendLe16(Bytes& out, uint16_t v) {
  using B = typename Bytes::value_type;
  out.push_back(B(v & 0xFF));
  out.push_back(B(v >> 8));
}
template <class Bytes>
void AppendLe32(Bytes& out, uint32_t v) {
  AppendLe16(out, uint16_t(v & 0xFFFF));
  AppendLe16(out, uint16_t(v >> 16));
}
template <class Bytes>
void AppendBe16(Bytes& out, uint16_t v) {
  using B = typename Bytes::value_type;
  out.push_back(B(v >> 8));
  out.push_back(B(v & 0xFF));
}
template <class Bytes>
void AppendBe32(Bytes& out, uint32_t v) {
  AppendBe16(out, uint16_t(v >> 16));
  AppendBe16(out, uint16_t(v & 0xFFFF));
}
