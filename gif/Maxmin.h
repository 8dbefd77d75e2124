// Integer maximum and minimum used throughout the GIF code.
#pragma once
#include <cstdint>

int32_t Max(int32_t a, int32_t b);
int32_t Min(int32_t a, int32_t b);
