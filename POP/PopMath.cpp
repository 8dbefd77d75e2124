#include "POP/PopMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/SysUtils.h"

namespace {

float ReadSingle(TStream& s) {
  uint32_t w = s.ReadDWord();
  float f;
  std::memcpy(&f, &w, 4);
  return f;
}

template <size_t N>
std::array<float, N> ReadVector(TStream& s) {
  std::array<float, N> v{};
  for (float& f : v) f = ReadSingle(s);
  return v;
}

}  // namespace

TVector2f StreamVector2f(TStream& s) { return ReadVector<2>(s); }
TVector3f StreamVector3f(TStream& s) { return ReadVector<3>(s); }
TVector4f StreamVector4f(TStream& s) { return ReadVector<4>(s); }

TVector3f Vector(float x, float y, float z) { return {x, y, z}; }

TVector3f VectorAdd(const TVector3f& a, const TVector3f& b) {
  return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}

TVector3f VectorSub(const TVector3f& a, const TVector3f& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

TVector3f VectorMul(const TVector3f& v, float f) { return {v[0] * f, v[1] * f, v[2] * f}; }

TVector3f VectorNeg(const TVector3f& v) { return {-v[0], -v[1], -v[2]}; }

float VectorDotProduct(const TVector3f& a, const TVector3f& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

TVector3f VectorNormalize(const TVector3f& v) {
  // The length in double: squares of small or large singles leave the float range, which
  // would give a zero, a non-unit or an infinite result.
  double len = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
  if (len == 0) return {0, 0, 0};
  return {float(v[0] / len), float(v[1] / len), float(v[2] / len)};
}

TVector3f VectorNormal(const TVector3f& a, const TVector3f& b, const TVector3f& c) {
  TVector3f u = VectorSub(b, a), w = VectorSub(c, a);
  return VectorNormalize({u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]});
}

TMatrix4f MatrixTranspose(const TMatrix4f& m) {
  TMatrix4f t{};
  for (size_t i = 0; i < 4; ++i)
    for (size_t j = 0; j < 4; ++j) t[i][j] = m[j][i];
  return t;
}

bool PolygonContainsPoint(const std::vector<TPointFloat>& points, int last, float x, float y) {
  if (last < 0) return false;
  if (size_t(last) >= points.size()) throw EListError(Format("List index out of bounds (%d)", last));
  // Quadrants counter-clockwise in a y-up frame: 0 right-above, 1 left-above, 2 left-below,
  // 3 right-below (a corner level with the point counts as below).
  auto quadrant = [&](const TPointFloat& p) { return p.X > x ? (p.Y > y ? 0 : 3) : (p.Y > y ? 1 : 2); };
  int turns = 0;
  for (int i = 0; i <= last; ++i) {
    const TPointFloat& a = points[size_t(i)];
    const TPointFloat& b = points[size_t(i == last ? 0 : i + 1)];
    int d = quadrant(b) - quadrant(a);
    if (d == 3) d = -1;
    else if (d == -3) d = 1;
    else if (d == 2 || d == -2) {
      // Across the diagonal: the side on which the edge passes the point decides the way.
      double cross = a.X + (double(y) - a.Y) * (double(b.X) - a.X) / (double(b.Y) - a.Y);
      if (cross > x) d = -d;
    }
    turns += d;
  }
  return turns != 0;
}
