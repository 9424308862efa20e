// Stateless numeric helpers: 3-vectors, 3x3 matrices and placements, arc boxes,
// polynomial root solvers, orientation codes and controller-increment rounding.
#pragma once

#include <array>
#include <cstdint>

namespace vestan {

// Three doubles x, y, z.
using Vec3 = std::array<double, 3>;
// Images of the X, Y and Z axes one after another: elements 0-2 are the image
// of X, 3-5 of Y, 6-8 of Z.
using Matrix3 = std::array<double, 9>;
// A Matrix3 followed by a translation (elements 9-11); the layout of every
// model placement and of the model files.
using Placement = std::array<double, 12>;

struct Complex {
  double re = 0.0;
  double im = 0.0;
};

inline constexpr double kHalfPi = 1.5707963267948966;
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kThreeHalfPi = 4.71238898038469;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kThirdPi = 1.0471975511965976;
inline constexpr double kRadiansPerDegree = kPi / 180.0;
inline constexpr double kDegreesPerRadian = 180.0 / kPi;

// tan of an angle in degrees, exactly 1 at 45.
double TanDegrees(double degrees);

// sin and cos of sign * angle (degrees). Multiples of 90 degrees give exact
// values; the sign enters them through the sine only.
void GetAxisSinCos(double angle, int32_t sign, double& sin, double& cos);

double VectorLength(const Vec3& v);
Vec3 VectorAdd(const Vec3& a, const Vec3& b);
Vec3 VectorSub(const Vec3& a, const Vec3& b);
double VectorDot(const Vec3& a, const Vec3& b);
Vec3 VectorCross(const Vec3& a, const Vec3& b);

// out[i] = m[i]*v.x + m[3+i]*v.y + m[6+i]*v.z
Vec3 MultiplyMatrixVector(const Matrix3& m, const Vec3& v);
// Matrix part of p applied to v, plus p's translation.
Vec3 TransformPointAffine(const Placement& p, const Vec3& v);
// The product that, applied with MultiplyMatrixVector, maps v to b*(a*v):
// a first, then b.
Matrix3 MultiplyMatrix3(const Matrix3& a, const Matrix3& b);
// Adjugate over determinant; the determinant is not tested (callers pass
// rotations and placements only).
Matrix3 InvertMatrix3(const Matrix3& m);

Matrix3 PlacementMatrix(const Placement& p);

// Axis-aligned orientation code of a rotation matrix (1 identity, 2-4 quarter
// turns about Z, 5-8 Z turned over, 11-18 and 21-28 Z onto +-Y and +-X,
// 101/103 X or Y kept, 0 otherwise). Exact comparisons with +-1.
int32_t ClassifyPlacementMatrix(const Matrix3& m);

// Length in whole controller increments, rounded half away from zero.
// unitScale is the controller's increments per unit of length; results
// beyond the 32-bit range saturate.
int32_t ToGridUnits(double length, int32_t unitScale);

// Bounding box of a circular arc in the plane of axes i and j (normal k).
// direction 2 is clockwise; any other value counter-clockwise.
void ComputeArcBoundingBox(int i, int j, int k, int32_t direction, const Vec3& start,
                           const Vec3& end, const Vec3& centre, double radius, double sweep,
                           Vec3& outMin, Vec3& outMax);

// Square root of z; a negative real number gets a negative imaginary part.
Complex ComplexSqrt(const Complex& z);

// Roots of a*x^2 + b*x + c, larger real root first. With a = 0 only roots[0]
// is written.
void SolveQuadratic(double a, double b, double c, std::array<Complex, 2>& roots);
// Roots of a*x^3 + b*x^2 + c*x + d; roots[0] is real. With a = 0 roots[2] is
// not written.
void SolveCubic(double a, double b, double c, double d, std::array<Complex, 3>& roots);
// Roots of a quartic by Ferrari's method with two sign variants, keeping the
// one whose first real root has the smaller residual.
void SolveQuartic(double a, double b, double c, double d, double e, std::array<Complex, 4>& roots);

}  // namespace vestan
