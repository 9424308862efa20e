#include "display/view_transform.h"

#include <cmath>

#include "display/machine_orientation.h"

namespace vestan {

namespace {

double& At(Matrix4& m, size_t row, size_t column) { return m[4 * column + row]; }

}  // namespace

Matrix4 IdentityMatrix4() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix4 MultiplyMatrix4(const Matrix4& a, const Matrix4& b) {
  Matrix4 out{};
  for (size_t c = 0; c < 4; ++c)
    for (size_t r = 0; r < 4; ++r) {
      double sum = 0.0;
      for (size_t k = 0; k < 4; ++k) sum += a[4 * k + r] * b[4 * c + k];
      out[4 * c + r] = sum;
    }
  return out;
}

Vec4 TransformVec4(const Matrix4& m, const Vec4& v) {
  Vec4 out{};
  for (size_t r = 0; r < 4; ++r)
    out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r] * v[3];
  return out;
}

void TranslateMatrix4(Matrix4& m, const Vec3& by) {
  Matrix4 t = IdentityMatrix4();
  for (size_t r = 0; r < 3; ++r) At(t, r, 3) = by[r];
  m = MultiplyMatrix4(m, t);
}

void ScaleMatrix4(Matrix4& m, double by) {
  Matrix4 s = IdentityMatrix4();
  for (size_t r = 0; r < 3; ++r) At(s, r, r) = by;
  m = MultiplyMatrix4(m, s);
}

void RotateMatrix4(Matrix4& m, int axis, double cos, double sin) {
  if (axis < 0 || axis > 2) return;
  // The plane (i, j) turns: i toward j.
  const size_t i = static_cast<size_t>(axis + 1) % 3, j = static_cast<size_t>(axis + 2) % 3;
  Matrix4 r = IdentityMatrix4();
  At(r, i, i) = cos;
  At(r, i, j) = -sin;
  At(r, j, i) = sin;
  At(r, j, j) = cos;
  m = MultiplyMatrix4(m, r);
}

Matrix4 SetProjection(const ViewState& view, ViewCamera& camera) {
  const double n = kNearPlane, f = kFarPlane, aspect = camera.Aspect;
  Matrix4 p{};
  if (view.Perspective == 0) {
    At(p, 0, 0) = 1.0 / aspect;
    At(p, 1, 1) = 1.0;
    At(p, 2, 2) = -2.0 / (f - n);
    At(p, 2, 3) = -(f + n) / (f - n);
    At(p, 3, 3) = 1.0;
    return p;
  }
  camera.PerspectiveTangent = std::tan(camera.FieldOfView / 360.0 * kPi);
  const double cot = 1.0 / camera.PerspectiveTangent;
  At(p, 0, 0) = cot / aspect;
  At(p, 1, 1) = cot;
  At(p, 2, 2) = (f + n) / (n - f);
  At(p, 2, 3) = 2.0 * f * n / (n - f);
  At(p, 3, 2) = -1.0;
  return p;
}

Matrix4 ApplyViewTransform(const ViewState& view, const ViewCamera& camera, int32_t orientation) {
  const double z = camera.Zoom;
  const Vec3& c = camera.Centre;
  Matrix4 m = IdentityMatrix4();
  TranslateMatrix4(m, {-c[0] * z, -c[1] * z, camera.EyeDistance - c[2] * z});
  ScaleMatrix4(m, z);
  TranslateMatrix4(m, c);
  // Minus the elevation about X, then the azimuth about Z.
  RotateMatrix4(m, 0, view.ElevationCos, -view.ElevationSin);
  RotateMatrix4(m, 2, view.AzimuthCos, view.AzimuthSin);
  if (orientation > 0) m = MultiplyMatrix4(m, RotateByMachineOrientation(orientation));
  TranslateMatrix4(m, {-c[0], -c[1], -c[2]});
  return m;
}

Matrix4 RotateByMachineOrientation(int32_t orientation) {
  // Column c is where the turn takes axis c.
  Matrix4 m = IdentityMatrix4();
  for (size_t c = 0; c < 3; ++c) {
    Vec3 axis{0.0, 0.0, 0.0};
    axis[c] = 1.0;
    MapToViewOrientation(orientation, axis);
    for (size_t r = 0; r < 3; ++r) At(m, r, c) = axis[r];
  }
  return m;
}

}  // namespace vestan
