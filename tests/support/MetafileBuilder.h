// Placeable metafiles built record by record for the tests.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/ByteOrder.h"

// One record: its size in 16-bit words, its function and its parameters.
inline std::string MetafileRecord(int fn, std::initializer_list<int> params) {
  std::string r;
  AppendLe32(r, uint32_t(3 + params.size()));
  AppendLe16(r, uint16_t(fn));
  for (int p : params) AppendLe16(r, uint16_t(p));
  return r;
}

// A placeable metafile of the records given (the end record among them is the caller's),
// whose bounding box is width x height units at `inch` units to the inch.
inline std::string PlaceableMetafile(const std::string& records, int width, int height, int inch = 96) {
  std::string f;
  AppendLe32(f, 0x9AC6CDD7u);
  AppendLe16(f, 0);
  AppendLe16(f, 0), AppendLe16(f, 0), AppendLe16(f, uint16_t(width)), AppendLe16(f, uint16_t(height));
  AppendLe16(f, uint16_t(inch));
  AppendLe32(f, 0);
  AppendLe16(f, 0);
  AppendLe16(f, 1), AppendLe16(f, 9), AppendLe16(f, 0x300);
  AppendLe32(f, uint32_t(9 + records.size() / 2));
  AppendLe16(f, 2);
  AppendLe32(f, 8);
  AppendLe16(f, 0);
  return f + records;
}
