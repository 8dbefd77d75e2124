#include "POP/PopLut.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void LookUpArray(TLUAType type, TLUATable& t) {
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      int v = 0;
      switch (type) {
        case luaCopyX: v = x; break;
        case luaCopyY: v = y; break;
        case luaInvertX: v = 255 - x; break;
        case luaInvertY: v = 255 - y; break;
        case luaAverage: v = (x + y) / 2; break;
        case luaBlend:
        case luaAddPin: v = std::min(x + y, 255); break;
        case luaAdd: v = (x + y) & 255; break;
        case luaSub: v = (x - y) & 255; break;
        case luaSubPin: v = std::max(x - y, 0); break;
        case luaDifference: v = std::abs(x - y); break;
        case luaMultiply: v = x * y / 255; break;
        case luaDivide: v = std::min(y / std::max(x, 1), 255); break;
        case luaMinimum: v = std::min(x, y); break;
        case luaMaximum: v = std::max(x, y); break;
        case luaBrightness: v = std::clamp(x + 2 * y - 256, 0, 255); break;
        case luaContrast: v = std::min(4 * x * y / 255, 255); break;
        case luaOR: v = x | y; break;
        case luaAND: v = x & y; break;
        case luaEOR: v = x ^ y; break;
        case luaSolarize: v = std::abs((255 - x) - y); break;
        case luaGamma: v = int(255.0 * std::pow(x / 255.0, 64.0 / (y ? y : 1))); break;
      }
      t[y][x] = uint8_t(v);
    }
}
