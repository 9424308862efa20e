#include "machine/path_geometry.h"

#include <cmath>

namespace vestan {

namespace {

// Direction angle of (x, y) for a unit-length x: 0 and pi once x reaches
// +-1, a quarter turn by the sign of y on the y axis.
double DirectionAngle(double x, double y) {
  if (x >= 1.0) return 0.0;
  if (x <= -1.0) return kPi;
  if (x == 0.0) return y > 0.0 ? kHalfPi : (y < 0.0 ? -kHalfPi : 0.0);
  const double a = std::atan(y / x);
  if (x < 0.0) return a + (y >= 0.0 ? kPi : -kPi);
  return a;
}

// v turned by angle in the plane (i, j): i gains -sin * j.
void Turn(Vec3& v, double angle, size_t i, size_t j) {
  const double c = std::cos(angle), s = std::sin(angle);
  const double x = v[i], y = v[j];
  v[i] = c * x - s * y;
  v[j] = s * x + c * y;
}

// The path frame's three turns: azimuth about Z, elevation in (X, Z) and
// roll about the tangent. Into the frame they are taken back to front.
struct PathFrame {
  double Azimuth = 0.0;
  double Elevation = 0.0;
  double Roll = 0.0;

  void Into(Vec3& v) const {
    Turn(v, -Azimuth, 0, 1);
    Turn(v, Elevation, 2, 0);
    Turn(v, -Roll, 1, 2);
  }
  void OutOf(Vec3& v) const {
    Turn(v, Roll, 1, 2);
    Turn(v, -Elevation, 2, 0);
    Turn(v, Azimuth, 0, 1);
  }
};

bool IsPlane(const std::array<int32_t, 3>& axes) {
  for (const int32_t a : axes)
    if (a < 0 || a > 2) return false;
  return axes[0] != axes[1] && axes[1] != axes[2] && axes[0] != axes[2];
}

void Normalise(Vec3& v) {
  const double length = VectorLength(v);
  if (length > 0.0)
    for (double& c : v) c /= length;
}

}  // namespace

AxisPosition ToPolarCoordinates(const AxisPosition& in, int32_t addLength,
                                const PolarInputs& polar) {
  AxisPosition out{};
  out[1] = 0.0;
  out[2] = in[2];
  out[3] = in[3];
  const double x = in[0], y = in[1];
  double angle;
  if (y == 0.0) {
    out[0] = std::fabs(x);
    angle = x >= 0.0 ? 0.0 : 180.0;
  } else if (x == 0.0) {
    out[0] = std::fabs(y);
    angle = y >= 0.0 ? 90.0 : 270.0;
  } else {
    out[0] = std::sqrt(x * x + y * y);
    if (x > 0.0)
      angle = y > 0.0 ? std::atan(y / x) * kDegreesPerRadian
                      : 360.0 - std::atan(-y / x) * kDegreesPerRadian;
    else
      angle = y > 0.0 ? 180.0 - std::atan(-y / x) * kDegreesPerRadian
                      : 180.0 + std::atan(y / x) * kDegreesPerRadian;
  }
  out[4] = angle + polar.AngleOffset;
  if (addLength != 0 && polar.LengthVectorInUse != 0) {
    out[0] += polar.LengthVector[0];
    out[2] += polar.LengthVector[2];
  }
  return out;
}

void ComputeOffsetPoint(const Vec3& p, const Vec3& dir1, const Vec3& dir2, const Vec3& dir3,
                        double d1, double a, double b, double d2, Vec3& out) {
  const Vec3 w{a * dir1[0] + b * dir2[0], a * dir1[1] + b * dir2[1], a * dir1[2] + b * dir2[2]};
  const double length = VectorLength(w);
  if (!(length > 0.0)) return;
  for (size_t i = 0; i < 3; ++i) out[i] = p[i] + d1 * w[i] / length + d2 * dir3[i];
}

void TurnVectorByPathAngle(const Vec3& tangent, const Vec3& side, double pathAngle, int32_t mode,
                           Vec3& vector) {
  PathFrame frame;
  frame.Azimuth = DirectionAngle(tangent[0], tangent[1]);
  const double across = std::sqrt(tangent[0] * tangent[0] + tangent[1] * tangent[1]);
  if (across < 1.0 && across != 0.0) frame.Elevation = std::atan(tangent[2] / across);
  Vec3 b = side;
  Turn(b, -frame.Azimuth, 0, 1);
  Turn(b, frame.Elevation, 2, 0);
  frame.Roll = DirectionAngle(b[1], b[2]);

  Vec3 local = vector;
  frame.Into(local);
  // Local axes: 0 the tangent, 1 the side, 2 their normal.
  switch (mode) {
    case 0:
      Turn(local, -pathAngle, 0, 2);
      break;
    case 2:
      Turn(local, pathAngle, 0, 2);
      break;
    case 1:
      Turn(local, pathAngle, 1, 2);
      break;
    case -1:
      Turn(local, -pathAngle, 1, 2);
      break;
    default:
      return;
  }
  frame.OutOf(local);
  vector = local;
}

double ComputeInterpolationPoint(const RotaryModalInputs& modal, const ToolVectorSteps& move,
                                 const Vec3& point, int32_t i, Vec3& tangent, Vec3& vector) {
  for (size_t k = 0; k < 3; ++k) vector[k] = move.StartVector[k] + i * move.VectorStep[k];
  const PathAngleValues& angles = modal.PathAngles;
  if (angles.Start == 0.0 && angles.End == 0.0) return 0.0;
  const double pathAngle = angles.Start + i * angles.Step;
  if ((modal.MotionMode == 2 || modal.MotionMode == 3) && IsPlane(move.PlaneAxes)) {
    const size_t first = static_cast<size_t>(move.PlaneAxes[0]);
    const size_t second = static_cast<size_t>(move.PlaneAxes[1]);
    const size_t normal = static_cast<size_t>(move.PlaneAxes[2]);
    Vec3 radial{0.0, 0.0, 0.0}, turn{0.0, 0.0, 0.0};
    radial[first] = point[first] - move.ArcCentre[first];
    radial[second] = point[second] - move.ArcCentre[second];
    turn[normal] = modal.MotionMode == 2 ? 1.0 : -1.0;
    tangent = VectorCross(radial, turn);
    Normalise(tangent);
  }
  Vec3 w = VectorCross(vector, tangent);
  Normalise(w);
  const Vec3 side = VectorCross(tangent, w);
  TurnVectorByPathAngle(tangent, side, pathAngle, angles.Mode, vector);
  return pathAngle;
}

}  // namespace vestan
