#include "gif/Maxmin.h"

#include <utility>

int32_t Max(int32_t a, int32_t b) { return a > b ? a : b; }
int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }

void SwapInt(int32_t& a, int32_t& b) { std::swap(a, b); }
void SwapInt64(int64_t& a, int64_t& b) { std::swap(a, b); }
void SwapLong(int32_t& a, int32_t& b) { std::swap(a, b); }
int64_t MaxInt64(int64_t a, int64_t b) { return a > b ? a : b; }
int64_t MinInt64(int64_t a, int64_t b) { return a < b ? a : b; }

int32_t MaxInteger(std::initializer_list<int32_t> values) { return MaxOf(values); }
int32_t MinInteger(std::initializer_list<int32_t> values) { return MinOf(values); }
long double MaxFloat(std::initializer_list<long double> values) { return MaxOf(values); }
long double MinFloat(std::initializer_list<long double> values) { return MinOf(values); }
double MaxDateTime(std::initializer_list<double> values) { return MaxOf(values); }
double MinDateTime(std::initializer_list<double> values) { return MinOf(values); }
