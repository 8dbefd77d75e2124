// Integer maximum and minimum used throughout the GIF code, and their relatives for other
// types and for lists of values.
#pragma once
#include <cstdint>
#include <initializer_list>

int32_t Max(int32_t a, int32_t b);
int32_t Min(int32_t a, int32_t b);

void SwapInt(int32_t& a, int32_t& b);
void SwapInt64(int64_t& a, int64_t& b);
void SwapLong(int32_t& a, int32_t& b);
int64_t MaxInt64(int64_t a, int64_t b);
int64_t MinInt64(int64_t a, int64_t b);

// The largest and the smallest of a list; an empty list gives 0. Dates are the library's
// day counts (days since 30 December 1899, the time as the fraction).
int32_t MaxInteger(std::initializer_list<int32_t> values);
int32_t MinInteger(std::initializer_list<int32_t> values);
long double MaxFloat(std::initializer_list<long double> values);
long double MinFloat(std::initializer_list<long double> values);
double MaxDateTime(std::initializer_list<double> values);
double MinDateTime(std::initializer_list<double> values);

// The same for values of any one ordered type.
template <class T>
T MaxOf(std::initializer_list<T> values) {
  if (values.size() == 0) return T();
  T m = *values.begin();
  for (const T& v : values)
    if (m < v) m = v;
  return m;
}
template <class T>
T MinOf(std::initializer_list<T> values) {
  if (values.size() == 0) return T();
  T m = *values.begin();
  for (const T& v : values)
    if (v < m) m = v;
  return m;
}
