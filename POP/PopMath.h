// Single-precision vectors and 4 x 4 matrices, and a point-in-polygon test.
#pragma once
#include <array>
#include <vector>

#include "platform/Classes.h"

using TVector2f = std::array<float, 2>;
using TVector3f = std::array<float, 3>;
using TVector4f = std::array<float, 4>;
using TMatrix4f = std::array<TVector4f, 4>;  // four rows

struct TPointFloat {
  float X = 0, Y = 0;
};

// Little-endian IEEE singles; a short stream raises EReadError.
TVector2f StreamVector2f(TStream& s);
TVector3f StreamVector3f(TStream& s);
TVector4f StreamVector4f(TStream& s);

TVector3f Vector(float x, float y, float z);
TVector3f VectorAdd(const TVector3f& a, const TVector3f& b);
TVector3f VectorSub(const TVector3f& a, const TVector3f& b);
TVector3f VectorMul(const TVector3f& v, float factor);
TVector3f VectorNeg(const TVector3f& v);
float VectorDotProduct(const TVector3f& a, const TVector3f& b);
// A vector of length 1 in v's direction; the zero vector stays zero.
TVector3f VectorNormalize(const TVector3f& v);
// The unit normal of the triangle a, b, c (right-handed: (b - a) x (c - a)).
TVector3f VectorNormal(const TVector3f& a, const TVector3f& b, const TVector3f& c);
TMatrix4f MatrixTranspose(const TMatrix4f& m);

// Whether points[0..last] (a closed outline) winds around (x, y), by summing the quarter turns
// between the quadrants the corners lie in. last below 0 gives false; last beyond the points
// raises EListError.
bool PolygonContainsPoint(const std::vector<TPointFloat>& points, int last, float x, float y);
