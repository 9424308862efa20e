#include "foundation/vector_math.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vestan {

double TanDegrees(double degrees) {
  return degrees == 45.0 ? 1.0 : std::tan(degrees * kRadiansPerDegree);
}

void GetAxisSinCos(double angle, int32_t sign, double& sin, double& cos) {
  if (angle == 0.0 || angle == 360.0 || angle == -360.0) {
    sin = 0.0;
    cos = 1.0;
  } else if (angle == 90.0 || angle == -270.0) {
    sin = sign;
    cos = 0.0;
  } else if (angle == -90.0 || angle == 270.0) {
    sin = -sign;
    cos = 0.0;
  } else if (angle == 180.0 || angle == -180.0) {
    sin = 0.0;
    cos = -1.0;
  } else {
    const double x = sign * angle / 180.0 * kPi;
    sin = std::sin(x);
    cos = std::cos(x);
  }
}

double VectorLength(const Vec3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

Vec3 VectorAdd(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

Vec3 VectorSub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

double VectorDot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 VectorCross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vec3 MultiplyMatrixVector(const Matrix3& m, const Vec3& v) {
  Vec3 out;
  for (int i = 0; i < 3; ++i) out[i] = m[i] * v[0] + m[3 + i] * v[1] + m[6 + i] * v[2];
  return out;
}

Vec3 TransformPointAffine(const Placement& p, const Vec3& v) {
  Vec3 out;
  for (int i = 0; i < 3; ++i) out[i] = p[i] * v[0] + p[3 + i] * v[1] + p[6 + i] * v[2] + p[9 + i];
  return out;
}

Matrix3 MultiplyMatrix3(const Matrix3& a, const Matrix3& b) {
  Matrix3 out;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      out[3 * i + j] = a[3 * i] * b[j] + a[3 * i + 1] * b[3 + j] + a[3 * i + 2] * b[6 + j];
  return out;
}

Matrix3 InvertMatrix3(const Matrix3& m) {
  const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) + m[1] * (m[5] * m[6] - m[3] * m[8]) +
                     m[2] * (m[3] * m[7] - m[4] * m[6]);
  return {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det,
          (m[1] * m[5] - m[2] * m[4]) / det, (m[5] * m[6] - m[3] * m[8]) / det,
          (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
          (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det,
          (m[0] * m[4] - m[1] * m[3]) / det};
}

Matrix3 PlacementMatrix(const Placement& p) {
  Matrix3 m;
  std::copy_n(p.begin(), 9, m.begin());
  return m;
}

int32_t ClassifyPlacementMatrix(const Matrix3& m) {
  struct Test {
    int code;
    int e1;
    double v1;
    int e2;
    double v2;
  };
  struct Group {
    int element;
    double value;
    Test tests[4];
  };
  static constexpr Group kGroups[] = {
      {8, 1.0, {{1, 0, 1, 4, 1}, {2, 1, 1, 3, -1}, {3, 0, -1, 4, -1}, {4, 1, -1, 3, 1}}},
      {8, -1.0, {{5, 0, 1, 4, -1}, {6, 1, 1, 3, 1}, {7, 0, -1, 4, 1}, {8, 1, -1, 3, -1}}},
      {7, 1.0, {{11, 0, 1, 5, -1}, {12, 2, -1, 3, -1}, {13, 0, -1, 5, 1}, {14, 2, 1, 3, 1}}},
      {7, -1.0, {{15, 0, 1, 5, 1}, {16, 2, 1, 3, -1}, {17, 0, -1, 5, -1}, {18, 2, -1, 3, 1}}},
      {6, 1.0, {{21, 2, -1, 4, 1}, {22, 1, 1, 5, 1}, {23, 2, 1, 4, -1}, {24, 1, -1, 5, -1}}},
      {6, -1.0, {{25, 2, 1, 4, 1}, {26, 1, 1, 5, -1}, {27, 2, -1, 4, -1}, {28, 1, -1, 5, 1}}},
  };
  // Only the first group whose condition holds is tried.
  for (const Group& g : kGroups) {
    if (m[g.element] != g.value) continue;
    for (const Test& t : g.tests)
      if (m[t.e1] == t.v1 && m[t.e2] == t.v2) return t.code;
    break;
  }
  if (m[0] == 1.0) return 101;
  if (m[4] == 1.0) return 103;
  return 0;
}

int32_t ToGridUnits(double length, int32_t unitScale) {
  const double scaled = static_cast<double>(unitScale) * length;
  const double rounded = std::trunc(length > 0 ? scaled + 0.5 : scaled - 0.5);
  if (std::isnan(rounded)) return 0;
  if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (rounded <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(rounded);
}

void ComputeArcBoundingBox(int i, int j, int k, int32_t direction, const Vec3& start,
                           const Vec3& end, const Vec3& centre, double radius, double sweep,
                           Vec3& outMin, Vec3& outMax) {
  outMin[k] = std::min(start[k], end[k]);
  outMax[k] = std::max(start[k], end[k]);
  if (std::fabs(kTwoPi - sweep) < 0.01) {
    outMin[i] = centre[i] - radius;
    outMin[j] = centre[j] - radius;
    outMax[i] = centre[i] + radius;
    outMax[j] = centre[j] + radius;
    return;
  }
  outMin[i] = std::min(start[i], end[i]);
  outMax[i] = std::max(start[i], end[i]);
  outMin[j] = std::min(start[j], end[j]);
  outMax[j] = std::max(start[j], end[j]);

  const double dx = start[i] - centre[i];
  const double dy = start[j] - centre[j];
  const double d = std::sqrt(dx * dx + dy * dy);
  if (d < 0.001) return;
  double a = std::acos(std::clamp(dx / d, -1.0, 1.0));
  if (dy < 0) a = kTwoPi - a;

  double lo, hi;
  if (direction == 2) {
    lo = a - sweep;
    hi = a;
  } else {
    lo = a;
    hi = a + sweep;
    if (hi >= kTwoPi) {
      lo -= kTwoPi;
      hi -= kTwoPi;
    }
  }
  const auto crossed = [lo, hi](double theta) { return lo <= theta + 1e-5 && hi >= theta - 1e-5; };
  if (crossed(0.0)) outMax[i] = std::max(outMax[i], centre[i] + radius);
  if (crossed(kHalfPi) || crossed(-kThreeHalfPi))
    outMax[j] = std::max(outMax[j], centre[j] + radius);
  if (crossed(kPi) || crossed(-kPi)) outMin[i] = std::min(outMin[i], centre[i] - radius);
  if (crossed(kThreeHalfPi) || crossed(-kHalfPi))
    outMin[j] = std::min(outMin[j], centre[j] - radius);
}

Complex ComplexSqrt(const Complex& z) {
  const double modulus = std::sqrt(z.re * z.re + z.im * z.im);
  const double im = std::sqrt((modulus - z.re) / 2);
  return {std::sqrt((modulus + z.re) / 2), z.im > 0 ? im : -im};
}

void SolveQuadratic(double a, double b, double c, std::array<Complex, 2>& roots) {
  if (a == 0) {
    roots[0] = {b == 0 ? 0.0 : -c / b, 0.0};
    return;
  }
  const double p = b / a;
  const double disc = p * p - 4 * c / a;
  if (disc >= 0) {
    const double s = std::sqrt(disc);
    roots[0] = {(s - p) / 2, 0.0};
    roots[1] = {(-p - s) / 2, 0.0};
  } else {
    const double s = std::sqrt(-disc) / 2;
    roots[0] = {-p / 2, s};
    roots[1] = {-p / 2, -s};
  }
}

void SolveCubic(double a, double b, double c, double d, std::array<Complex, 3>& roots) {
  if (a == 0) {
    std::array<Complex, 2> two{roots[0], roots[1]};
    SolveQuadratic(b, c, d, two);
    roots[0] = two[0];
    roots[1] = two[1];
    return;
  }
  for (Complex& root : roots) root.im = 0;
  const double p = b / a;
  const double q = c / a;
  const double r = d / a;
  if (r == 0) {
    std::array<Complex, 2> two;
    SolveQuadratic(1.0, p, q, two);
    roots[0] = {0.0, 0.0};
    roots[1] = two[0];
    roots[2] = two[1];
    return;
  }
  const double Q = (3 * q - p * p) / 9;
  const double R = (2 * p * p * p - 9 * p * q + 27 * r) / 54;
  const double D = R * R + Q * Q * Q;
  const double shift = p / 3;
  if (D == 0) {
    const double t = std::cbrt(-R);
    roots[0].re = 2 * t - shift;
    roots[1].re = -t - shift;
    roots[2].re = -t - shift;
  } else if (D < 0) {
    const double theta = std::acos(-R / std::sqrt(-Q * Q * Q)) / 3;
    const double m = std::sqrt(-Q);
    roots[0].re = 2 * m * std::cos(theta) - shift;
    roots[1].re = -2 * m * std::cos(theta + kThirdPi) - shift;
    roots[2].re = -2 * m * std::cos(theta - kThirdPi) - shift;
  } else {
    const double s = std::sqrt(D);
    const double S = std::cbrt(s - R);
    const double T = std::cbrt(-R - s);
    const double half = std::sqrt(3.0) / 2 * (S - T);
    roots[0] = {S + T - shift, 0.0};
    roots[1] = {-(S + T) / 2 - shift, half};
    roots[2] = {-(S + T) / 2 - shift, -half};
  }
}

namespace {

Complex Add(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
Complex Sub(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }
Complex Neg(Complex a) { return {-a.re, -a.im}; }
Complex Scale(Complex a, double s) { return {a.re * s, a.im * s}; }

// Residual of the quartic at the first root whose imaginary part is exactly 0;
// a pass without such a root gets an infinite residual, so the other pass wins.
double FirstRealResidual(const std::array<Complex, 4>& roots, double B, double C, double D,
                         double E) {
  for (const Complex& root : roots) {
    if (root.im != 0) continue;
    const double x = root.re;
    return std::fabs((((x + B) * x + C) * x + D) * x + E);
  }
  return std::numeric_limits<double>::infinity();
}

std::array<Complex, 4> FerrariPass(Complex s, Complex t1, Complex t2, double quarterB) {
  const Complex y[4] = {Scale(Add(s, t1), 0.5), Scale(Sub(s, t1), 0.5), Scale(Add(Neg(s), t2), 0.5),
                        Scale(Sub(Neg(s), t2), 0.5)};
  std::array<Complex, 4> roots;
  for (int k = 0; k < 4; ++k) roots[k] = {y[k].re - quarterB, y[k].im};
  return roots;
}

}  // namespace

void SolveQuartic(double a, double b, double c, double d, double e, std::array<Complex, 4>& roots) {
  if (a == 0) {
    std::array<Complex, 3> three{roots[0], roots[1], roots[2]};
    SolveCubic(b, c, d, e, three);
    std::copy(three.begin(), three.end(), roots.begin());
    return;
  }
  const double B = b / a, C = c / a, D = d / a, E = e / a;
  const double p = C - 3 * B * B / 8;
  const double q = (B * B / 8 - C / 2) * B + D;
  const double r = ((C / 16 - 3 * B * B / 256) * B - D / 4) * B + E;

  double z = 0;
  const double constant = (4 * p * r - q * q) / 8;
  if (constant != 0) {
    std::array<Complex, 3> cubic{};
    SolveCubic(1.0, -p / 2, -r, constant, cubic);
    z = cubic[0].re;
  }
  const double u = 2 * z - p;
  const Complex s = ComplexSqrt({u, 0.0});
  const Complex w = ComplexSqrt({z * z - r, 0.0});
  const Complex t1 = ComplexSqrt(Sub({u, 0.0}, Scale(Add({z, 0.0}, w), 4)));
  const Complex t2 = ComplexSqrt(Sub({u, 0.0}, Scale(Sub({z, 0.0}, w), 4)));

  constexpr double kEpsilon = 2.220446049250313e-16;
  const std::array<Complex, 4> pass1 = FerrariPass(s, t1, t2, B / 4);
  const double err1 = FirstRealResidual(pass1, B, C, D, E);
  if (err1 <= kEpsilon) {
    roots = pass1;
    return;
  }
  const std::array<Complex, 4> pass2 = FerrariPass(Neg(s), t1, t2, B / 4);
  const double err2 = FirstRealResidual(pass2, B, C, D, E);
  roots = (err2 <= kEpsilon || err2 < err1) ? pass2 : pass1;
}

}  // namespace vestan
