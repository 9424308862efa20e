#include "foundation/vector_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vestan {
namespace {

Matrix3 RotationAboutZ(double degrees) {
  const double a = degrees * kPi / 180, c = std::cos(a), s = std::sin(a);
  return {c, s, 0, -s, c, 0, 0, 0, 1};
}

Matrix3 RotationAboutX(double degrees) {
  const double a = degrees * kPi / 180, c = std::cos(a), s = std::sin(a);
  return {1, 0, 0, 0, c, s, 0, -s, c};
}

TEST(GetAxisSinCos, QuarterTurnsAreExactAndSigned) {
  struct Case {
    double angle;
    int32_t sign;
    double sin, cos;
  } cases[] = {{90, -1, -1, 0},  {-270, 1, 1, 0}, {180, -1, 0, -1}, {0, -1, 0, 1},   {360, 1, 0, 1},
               {-360, -1, 0, 1}, {-90, 1, -1, 0}, {270, -1, 1, 0},  {-180, 1, 0, -1}};
  for (const Case& c : cases) {
    double s = 9, co = 9;
    GetAxisSinCos(c.angle, c.sign, s, co);
    EXPECT_EQ(s, c.sin) << c.angle << " " << c.sign;
    EXPECT_EQ(co, c.cos) << c.angle << " " << c.sign;
  }
  // Elsewhere the sign turns the angle: sin(-30 degrees), cos(30 degrees).
  double s, c;
  GetAxisSinCos(30, -1, s, c);
  EXPECT_DOUBLE_EQ(s, -0.5);
  EXPECT_DOUBLE_EQ(c, std::sqrt(3.0) / 2);
}

TEST(VectorMath, MatrixProductAppliesFirstArgumentFirst) {
  const Matrix3 a = RotationAboutZ(90);
  const Matrix3 b = RotationAboutX(90);
  const Vec3 v{1, 2, 3};
  const Vec3 expected = MultiplyMatrixVector(b, MultiplyMatrixVector(a, v));
  const Vec3 got = MultiplyMatrixVector(MultiplyMatrix3(a, b), v);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], expected[i], 1e-12) << i;
}

TEST(VectorMath, InverseUndoesPlacementMatrix) {
  const Matrix3 m = MultiplyMatrix3(RotationAboutZ(30), RotationAboutX(-50));
  const Matrix3 product = MultiplyMatrix3(m, InvertMatrix3(m));
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(product[i], i % 4 == 0 ? 1.0 : 0.0, 1e-12) << i;

  const Placement p{0, 1, 0, -1, 0, 0, 0, 0, 1, 10, 20, 30};
  const Vec3 moved = TransformPointAffine(p, {1, 0, 0});
  EXPECT_EQ(moved, (Vec3{10, 21, 30}));
  EXPECT_EQ(VectorCross({1, 0, 0}, {0, 1, 0}), (Vec3{0, 0, 1}));
  EXPECT_EQ(VectorLength({3, 4, 12}), 13.0);
}

// All 24 axis-aligned orientations, built from the images of X and Y.
TEST(VectorMath, ClassifiesEveryAxisAlignedOrientation) {
  struct Case {
    Vec3 x, y;
    int code;
  };
  const Case cases[] = {
      {{1, 0, 0}, {0, 1, 0}, 1},    {{0, 1, 0}, {-1, 0, 0}, 2},   {{-1, 0, 0}, {0, -1, 0}, 3},
      {{0, -1, 0}, {1, 0, 0}, 4},   {{1, 0, 0}, {0, -1, 0}, 5},   {{0, 1, 0}, {1, 0, 0}, 6},
      {{-1, 0, 0}, {0, 1, 0}, 7},   {{0, -1, 0}, {-1, 0, 0}, 8},  {{1, 0, 0}, {0, 0, -1}, 11},
      {{0, 0, -1}, {-1, 0, 0}, 12}, {{-1, 0, 0}, {0, 0, 1}, 13},  {{0, 0, 1}, {1, 0, 0}, 14},
      {{1, 0, 0}, {0, 0, 1}, 15},   {{0, 0, 1}, {-1, 0, 0}, 16},  {{-1, 0, 0}, {0, 0, -1}, 17},
      {{0, 0, -1}, {1, 0, 0}, 18},  {{0, 0, -1}, {0, 1, 0}, 21},  {{0, 1, 0}, {0, 0, 1}, 22},
      {{0, 0, 1}, {0, -1, 0}, 23},  {{0, -1, 0}, {0, 0, -1}, 24}, {{0, 0, 1}, {0, 1, 0}, 25},
      {{0, 1, 0}, {0, 0, -1}, 26},  {{0, 0, -1}, {0, -1, 0}, 27}, {{0, -1, 0}, {0, 0, 1}, 28},
  };
  for (const Case& c : cases) {
    const Vec3 z = VectorCross(c.x, c.y);
    const Matrix3 m{c.x[0], c.x[1], c.x[2], c.y[0], c.y[1], c.y[2], z[0], z[1], z[2]};
    EXPECT_EQ(ClassifyPlacementMatrix(m), c.code) << "expected code " << c.code;
  }
}

TEST(VectorMath, ClassifyFallsBackWithoutTolerance) {
  EXPECT_EQ(ClassifyPlacementMatrix(RotationAboutX(30)), 101);
  const double s60 = std::sqrt(3.0) / 2;  // sin 60
  EXPECT_EQ(ClassifyPlacementMatrix({0.5, 0, -s60, 0, 1, 0, s60, 0, 0.5}), 103);
  EXPECT_EQ(ClassifyPlacementMatrix(RotationAboutZ(30)), 0);
  // A matrix a rounding step away from the identity is no longer code 1.
  Matrix3 almost{1, 0, 0, 0, 1, 0, 0, 0, std::nextafter(1.0, 0.0)};
  EXPECT_EQ(ClassifyPlacementMatrix(almost), 101);
}

TEST(VectorMath, ToGridUnitsRoundsHalfAwayFromZeroAndSaturates) {
  EXPECT_EQ(ToGridUnits(0.0125, 1000), 13);
  EXPECT_EQ(ToGridUnits(-0.0125, 1000), -13);
  EXPECT_EQ(ToGridUnits(0.0, 1000), 0);
  EXPECT_EQ(ToGridUnits(0.0124, 1000), 12);
  EXPECT_EQ(ToGridUnits(1e12, 1000), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ToGridUnits(-1e12, 1000), std::numeric_limits<int32_t>::min());
}

struct ArcCase {
  const char* name;
  int direction;
  double startAngle;  // radians on a circle of radius 10 about (0, 0)
  double sweep;
  Vec3 min, max;
};

TEST(VectorMath, ArcBoundingBox) {
  const auto at = [](double radians) {
    return Vec3{10 * std::cos(radians), 10 * std::sin(radians), 0};
  };
  const double deg = kPi / 180;
  const ArcCase cases[] = {
      // Within 0.01 of a full turn: the whole circle.
      {"nearly full", 1, 0.005, kTwoPi - 0.009, {-10, -10, 0}, {10, 10, 0}},
      // Further from a full turn: only the quadrant angles count, and angle 0
      // lies in the gap.
      {"not full", 1, 0.005, kTwoPi - 0.011, {-10, -10, 0}, {at(0.005)[0], 10, 0}},
      // Clockwise from 0.1 through angle 0.
      {"clockwise over 0", 2, 0.1, 0.2, {at(0.1)[0], at(-0.1)[1], 0}, {10, at(0.1)[1], 0}},
      // Counter-clockwise quarter from 45 degrees crosses 90.
      {"quarter",
       1,
       45 * deg,
       kHalfPi,
       {at(135 * deg)[0], at(45 * deg)[1], 0},
       {at(45 * deg)[0], 10, 0}},
      // Counter-clockwise past 2 pi: lowered by 2 pi and still crosses 0.
      {"wrap",
       1,
       300 * deg,
       kHalfPi,
       {at(300 * deg)[0], at(300 * deg)[1], 0},
       {10, at(30 * deg)[1], 0}},
  };
  for (const ArcCase& c : cases) {
    const double endAngle = c.direction == 2 ? c.startAngle - c.sweep : c.startAngle + c.sweep;
    Vec3 outMin{}, outMax{};
    ComputeArcBoundingBox(0, 1, 2, c.direction, at(c.startAngle), at(endAngle), {0, 0, 0}, 10,
                          c.sweep, outMin, outMax);
    for (int a = 0; a < 3; ++a) {
      EXPECT_NEAR(outMin[a], c.min[a], 1e-9) << c.name << " min " << a;
      EXPECT_NEAR(outMax[a], c.max[a], 1e-9) << c.name << " max " << a;
    }
  }
}

TEST(VectorMath, ArcStartingAtCentreKeepsEndpointBox) {
  Vec3 outMin{}, outMax{};
  ComputeArcBoundingBox(0, 1, 2, 1, {0.0005, 0, 1}, {3, 4, 2}, {0, 0, 0}, 5, 1.0, outMin, outMax);
  EXPECT_EQ(outMin, (Vec3{0.0005, 0, 1}));
  EXPECT_EQ(outMax, (Vec3{3, 4, 2}));
}

TEST(VectorMath, ComplexSqrtOfNegativeRealIsNegativeImaginary) {
  const Complex r = ComplexSqrt({-4, 0});
  EXPECT_EQ(r.re, 0);
  EXPECT_EQ(r.im, -2);
  const Complex q = ComplexSqrt({0, 2});
  EXPECT_DOUBLE_EQ(q.re, 1);
  EXPECT_DOUBLE_EQ(q.im, 1);
}

TEST(VectorMath, QuadraticOrdersRootsAndLeavesSlotsUnwritten) {
  std::array<Complex, 2> roots{Complex{7, 7}, Complex{9, 9}};
  SolveQuadratic(0, 0, 5, roots);
  EXPECT_EQ(roots[0].re, 0);
  EXPECT_EQ(roots[0].im, 0);
  EXPECT_EQ(roots[1].re, 9);  // untouched
  EXPECT_EQ(roots[1].im, 9);

  SolveQuadratic(0, 2, -6, roots);
  EXPECT_EQ(roots[0].re, 3);

  SolveQuadratic(1, -3, 2, roots);  // larger first
  EXPECT_EQ(roots[0].re, 2);
  EXPECT_EQ(roots[1].re, 1);

  SolveQuadratic(1, 2, 5, roots);  // -1 +- 2i, positive imaginary first
  EXPECT_EQ(roots[0].re, -1);
  EXPECT_EQ(roots[0].im, 2);
  EXPECT_EQ(roots[1].im, -2);
}

TEST(VectorMath, CubicRootsInSpecifiedOrder) {
  std::array<Complex, 3> roots{};
  SolveCubic(1, 0, -3, 2, roots);  // discriminant exactly 0
  EXPECT_DOUBLE_EQ(roots[0].re, -2);
  EXPECT_DOUBLE_EQ(roots[1].re, 1);
  EXPECT_DOUBLE_EQ(roots[2].re, 1);

  SolveCubic(1, -6, 11, -6, roots);  // three real roots
  EXPECT_NEAR(roots[0].re, 3, 1e-12);
  EXPECT_NEAR(roots[1].re, 2, 1e-12);
  EXPECT_NEAR(roots[2].re, 1, 1e-12);
  for (const Complex& root : roots) EXPECT_EQ(root.im, 0);

  SolveCubic(1, 0, 0, -8, roots);  // one real root, a complex pair
  EXPECT_NEAR(roots[0].re, 2, 1e-12);
  EXPECT_NEAR(roots[1].re, -1, 1e-12);
  EXPECT_NEAR(roots[1].im, std::sqrt(3.0), 1e-12);
  EXPECT_NEAR(roots[2].im, -std::sqrt(3.0), 1e-12);

  SolveCubic(2, -6, 4, 0, roots);  // constant 0: x (x^2 - 3x + 2)
  EXPECT_EQ(roots[0].re, 0);
  EXPECT_EQ(roots[1].re, 2);
  EXPECT_EQ(roots[2].re, 1);

  roots[2] = {5, 5};
  SolveCubic(0, 1, -3, 2, roots);  // a quadratic; slot 2 untouched
  EXPECT_EQ(roots[0].re, 2);
  EXPECT_EQ(roots[1].re, 1);
  EXPECT_EQ(roots[2].re, 5);
}

TEST(VectorMath, QuarticFindsFourKnownRoots) {
  // (x - 1)(x - 2)(x - 3)(x - 4)
  std::array<Complex, 4> roots{};
  SolveQuartic(1, -10, 35, -50, 24, roots);
  std::array<double, 4> real{};
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(roots[k].im, 0, 1e-9) << k;
    real[k] = roots[k].re;
  }
  std::sort(real.begin(), real.end());
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(real[k], k + 1, 1e-9) << k;

  // (x^2 + 1)(x - 2)(x + 3): two real roots, one conjugate pair.
  SolveQuartic(1, 1, -5, 1, -6, roots);
  int realCount = 0;
  for (const Complex& root : roots) {
    if (std::fabs(root.im) < 1e-9) {
      ++realCount;
      EXPECT_TRUE(std::fabs(root.re - 2) < 1e-9 || std::fabs(root.re + 3) < 1e-9) << root.re;
    } else {
      EXPECT_NEAR(std::fabs(root.im), 1, 1e-9);
      EXPECT_NEAR(root.re, 0, 1e-9);
    }
  }
  EXPECT_EQ(realCount, 2);

  // Leading coefficient 0 hands over to the cubic and leaves slot 3 alone.
  roots[3] = {4, 4};
  SolveQuartic(0, 1, -6, 11, -6, roots);
  EXPECT_NEAR(roots[0].re, 3, 1e-12);
  EXPECT_EQ(roots[3].re, 4);
}

}  // namespace
}  // namespace vestan
