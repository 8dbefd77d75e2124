// Vectors and matrices: reading them from streams, their arithmetic and normals.
#include "POP/PopMath.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <string>
#include <vector>

#include "platform/SysUtils.h"

namespace {

TEST(PopMath, StreamVectorsReadLittleEndianSinglesAndRaiseWhenShort) {
  // 1.0, -2.5, 0.5, 3.0, 100.0, -0.0, 2.0, 4.0, 8.0 as little-endian singles.
  const std::string bytes(
      "\x00\x00\x80\x3F"
      "\x00\x00\x20\xC0"
      "\x00\x00\x00\x3F"
      "\x00\x00\x40\x40"
      "\x00\x00\xC8\x42"
      "\x00\x00\x00\x80"
      "\x00\x00\x00\x40"
      "\x00\x00\x80\x40"
      "\x00\x00\x00\x41",
      36);
  TMemoryStream s;
  s.Write(bytes.data(), int64_t(bytes.size()));
  s.Seek(0, soBeginning);
  EXPECT_EQ(StreamVector2f(s), (TVector2f{1.0f, -2.5f}));
  EXPECT_EQ(StreamVector3f(s), (TVector3f{0.5f, 3.0f, 100.0f}));
  TVector4f v = StreamVector4f(s);
  EXPECT_EQ(v, (TVector4f{-0.0f, 2.0f, 4.0f, 8.0f}));
  EXPECT_TRUE(std::signbit(v[0]));
  // Every vector size fails on a stream that holds one byte too few.
  for (int n : {2, 3, 4}) {
    TMemoryStream shortStream;
    shortStream.Write(bytes.data(), 4 * n - 1);
    shortStream.Seek(0, soBeginning);
    EXPECT_THROW(n == 2   ? (void)StreamVector2f(shortStream)
                 : n == 3 ? (void)StreamVector3f(shortStream)
                          : (void)StreamVector4f(shortStream),
                 EReadError)
        << n;
  }
}

TEST(PopMath, VectorArithmetic) {
  const TVector3f a = Vector(1, 2, 3), b = Vector(-4, 0.5f, 2);
  EXPECT_EQ(VectorAdd(a, b), Vector(-3, 2.5f, 5));
  EXPECT_EQ(VectorSub(a, b), Vector(5, 1.5f, 1));
  EXPECT_EQ(VectorMul(a, -2), Vector(-2, -4, -6));
  EXPECT_EQ(VectorNeg(b), Vector(4, -0.5f, -2));
  EXPECT_FLOAT_EQ(VectorDotProduct(a, b), 3);

  struct Case {
    const char* name;
    TVector3f in, out;
  };
  for (const Case& c : {Case{"3-4-5", Vector(3, 4, 0), Vector(0.6f, 0.8f, 0)},
                        Case{"already unit", Vector(0, 0, -1), Vector(0, 0, -1)},
                        Case{"tiny", Vector(0, 1e-30f, 1e-30f), Vector(0, 0.70710678f, 0.70710678f)},
                        Case{"huge", Vector(3e38f, 0, -3e38f), Vector(0.70710678f, 0, -0.70710678f)},
                        Case{"zero stays zero", Vector(0, 0, 0), Vector(0, 0, 0)}}) {
    TVector3f n = VectorNormalize(c.in);
    for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(n[i], c.out[i], 1e-6) << c.name << " " << i;
  }
}

TEST(PopMath, TriangleNormalIsRightHandedAndUnit) {
  struct Case {
    const char* name;
    TVector3f a, b, c, normal;
  };
  const Case cases[] = {
      {"counter-clockwise in xy", Vector(0, 0, 0), Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)},
      {"clockwise in xy", Vector(0, 0, 0), Vector(0, 1, 0), Vector(1, 0, 0), Vector(0, 0, -1)},
      {"large and off the origin", Vector(5, 5, 5), Vector(5, 5, 105), Vector(5, 205, 5), Vector(-1, 0, 0)},
      {"degenerate: on one line", Vector(0, 0, 0), Vector(1, 1, 1), Vector(2, 2, 2), Vector(0, 0, 0)},
  };
  for (const Case& c : cases) {
    TVector3f n = VectorNormal(c.a, c.b, c.c);
    for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(n[i], c.normal[i], 1e-6) << c.name << " " << i;
  }
}

TEST(PopMath, MatrixTransposeSwapsRowsAndColumns) {
  TMatrix4f m{};
  for (size_t i = 0; i < 4; ++i)
    for (size_t j = 0; j < 4; ++j) m[i][j] = float(i * 4 + j);
  TMatrix4f t = MatrixTranspose(m);
  for (size_t i = 0; i < 4; ++i)
    for (size_t j = 0; j < 4; ++j) EXPECT_EQ(t[i][j], float(j * 4 + i)) << i << "," << j;
  EXPECT_EQ(MatrixTranspose(t), m);
}

TEST(PopMath, PolygonContainsPoint) {
  const std::vector<TPointFloat> square = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  // A U: the notch between x = 2 and 4 is open at the top.
  const std::vector<TPointFloat> u = {{0, 0}, {6, 0}, {6, 6}, {4, 6}, {4, 2}, {2, 2}, {2, 6}, {0, 6}};
  // Two triangles meeting at (2, 2), wound opposite ways.
  const std::vector<TPointFloat> bowTie = {{0, 0}, {4, 4}, {4, 0}, {0, 4}};
  // A five-pointed star drawn in one stroke: its centre is wound around twice.
  std::vector<TPointFloat> star;
  for (int k = 0; k < 5; ++k) {
    double a = std::numbers::pi / 2 + k * 4 * std::numbers::pi / 5;
    star.push_back({float(10 * std::cos(a)), float(10 * std::sin(a))});
  }
  struct Case {
    const char* name;
    const std::vector<TPointFloat>* points;
    int last;
    float x, y;
    bool inside;
  };
  const Case cases[] = {
      {"square, centre", &square, 3, 2, 2, true},
      {"square, right of it", &square, 3, 5, 2, false},
      {"square, above it", &square, 3, 2, 5, false},
      {"square, beyond a corner", &square, 3, -1, -1, false},
      {"square, only its first three corners", &square, 2, 1, 3, false},
      {"square, first three corners, inside", &square, 2, 3, 1, true},
      {"U, in the notch", &u, 7, 3, 4, false},
      {"U, left arm", &u, 7, 1, 4, true},
      {"U, bottom bar below the notch", &u, 7, 3, 1, true},
      {"bow tie, left half", &bowTie, 3, 1, 2, true},
      {"bow tie, right half", &bowTie, 3, 3, 2, true},
      {"bow tie, above the crossing", &bowTie, 3, 2, 3.5f, false},
      {"star, centre", &star, 4, 0, 0.5f, true},
      {"star, a point", &star, 4, 0, 8, true},
      {"star, between two points", &star, 4, 0, -9, false},
      {"no corners", &square, -1, 2, 2, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PolygonContainsPoint(*c.points, c.last, c.x, c.y), c.inside) << c.name;
  // The edge from (0, 0) to (4, 4) crosses from one quadrant of the point to the opposite one;
  // the side on which it passes decides the direction of that half turn.
  const std::vector<TPointFloat> tri = {{0, 0}, {4, 4}, {4, 0}};
  EXPECT_TRUE(PolygonContainsPoint(tri, 2, 3, 1));
  EXPECT_FALSE(PolygonContainsPoint(tri, 2, 1, 3));
  EXPECT_THROW(PolygonContainsPoint(square, 4, 2, 2), EListError);
}

}  // namespace
