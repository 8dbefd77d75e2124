// 256 x 256 byte tables for per-channel arithmetic: Table[Y][X].
#pragma once
#include <cstdint>

enum TLUAType {
  luaCopyX,
  luaCopyY,
  luaInvertX,
  luaInvertY,
  luaAverage,
  luaBlend,
  luaAdd,
  luaAddPin,
  luaSub,
  luaSubPin,
  luaDifference,
  luaMultiply,
  luaDivide,
  luaMinimum,
  luaMaximum,
  luaBrightness,
  luaContrast,
  luaOR,
  luaAND,
  luaEOR,
  luaSolarize,
  luaGamma
};

using TLUATable = uint8_t[256][256];

void LookUpArray(TLUAType type, TLUATable& table);
