#include "machine/rotary_axes.h"

#include <cmath>

namespace vestan {

namespace {

constexpr double kAxisSnap = 1e-9;

bool IsAxisIndex(int i) { return i >= 0 && i <= 2; }

// One turn by (cos, sin) in the plane (i, j): i gains -sin * j, j gains
// sin * i.
void TurnInPlane(Vec3& v, double cos, double sin, size_t i, size_t j) {
  const double x = v[i], y = v[j];
  v[i] = cos * x - sin * y;
  v[j] = sin * x + cos * y;
}

}  // namespace

Vec3 RotateInAxisPlane(const Vec3& in, double cos, double sin, int kept, int i, int j) {
  if (!IsAxisIndex(kept) || !IsAxisIndex(i) || !IsAxisIndex(j)) return in;
  Vec3 out;
  out[static_cast<size_t>(kept)] = in[static_cast<size_t>(kept)];
  out[static_cast<size_t>(i)] = cos * in[static_cast<size_t>(i)] - sin * in[static_cast<size_t>(j)];
  out[static_cast<size_t>(j)] = sin * in[static_cast<size_t>(i)] + cos * in[static_cast<size_t>(j)];
  return out;
}

Vec3 RotateAboutAxisCentre(const Vec3& in, double sinTilt, double cosTilt, double sinAngle,
                           double cosAngle, int a, int p, int q) {
  if (!IsAxisIndex(a) || !IsAxisIndex(p) || !IsAxisIndex(q)) return in;
  const size_t ia = static_cast<size_t>(a), ip = static_cast<size_t>(p);
  Vec3 v = in;
  TurnInPlane(v, cosTilt, -sinTilt, ia, ip);
  v = RotateInAxisPlane(v, cosAngle, sinAngle, a, p, q);
  TurnInPlane(v, cosTilt, sinTilt, ia, ip);
  return v;
}

Vec3 RotateAboutAxis(const Vec3& in, double sinTilt, double cosTilt, double sinAzimuth,
                     double cosAzimuth, double sinAngle, double cosAngle, int a, int p, int q) {
  // The partner 1 - a exists only for X and Y.
  if (a != 0 && a != 1) return RotateInAxisPlane(in, cosAngle, sinAngle, a, p, q);
  if (!IsAxisIndex(p) || !IsAxisIndex(q)) return in;
  const size_t ia = static_cast<size_t>(a), ib = static_cast<size_t>(1 - a);
  Vec3 v = in;
  TurnInPlane(v, cosAzimuth, -sinAzimuth, ia, ib);
  TurnInPlane(v, cosTilt, -sinTilt, ia, 2);
  v = RotateInAxisPlane(v, cosAngle, sinAngle, a, p, q);
  TurnInPlane(v, cosTilt, sinTilt, ia, 2);
  TurnInPlane(v, cosAzimuth, sinAzimuth, ia, ib);
  return v;
}

RotaryAxisFrame DescribeRotaryAxis(const MachineKinematics& kinematics, size_t rotary) {
  const RotaryAxisGeometry& g = kinematics.Rotary[rotary];
  RotaryAxisFrame frame;
  if (!IsAxisIndex(g.Axis)) {
    frame.Axis = -1;
    return frame;
  }
  frame.Axis = g.Axis;
  frame.P = (g.Axis + 1) % 3;
  frame.Q = (g.Axis + 2) % 3;
  if (g.Tilted == 0) return frame;
  const RotaryAxisGeometry& first = kinematics.Rotary[0];
  const bool byAngle = g.GivenAngle != 0.0 && (rotary == 0 || first.GivenAngle == 0.0);
  const bool byVector =
      g.VectorGiven != 0 && (rotary == 0 || first.VectorGiven == 0) && g.Axis != 2;
  if (byAngle) {
    frame.Inclination = RotaryInclination::kAngle;
    if (byVector) {
      // The vector's tilt overwrote the stored one; the angle's own values
      // are taken again as the reader took them.
      frame.TiltCos = std::cos(g.GivenAngle * kRadiansPerDegree);
      frame.TiltSin = std::sin(g.GivenAngle * kRadiansPerDegree);
    } else {
      frame.TiltCos = g.TiltCos;
      frame.TiltSin = g.TiltSin;
    }
  } else if (byVector) {
    frame.Inclination = RotaryInclination::kVector;
    frame.TiltCos = g.TiltCos;
    frame.TiltSin = g.TiltSin;
    frame.AzimuthCos = g.TurnCos;
    frame.AzimuthSin = g.TurnSin;
  }
  return frame;
}

bool AnyRotaryAxisInclined(const MachineKinematics& kinematics) {
  return DescribeRotaryAxis(kinematics, 0).Inclination != RotaryInclination::kNone ||
         DescribeRotaryAxis(kinematics, 1).Inclination != RotaryInclination::kNone;
}

Vec3 RotaryAxisDirection(const RotaryAxisFrame& axis) {
  Vec3 u{0.0, 0.0, 0.0};
  if (axis.Axis < 0) return u;
  const size_t a = static_cast<size_t>(axis.Axis);
  switch (axis.Inclination) {
    case RotaryInclination::kNone:
      u[a] = 1.0;
      break;
    case RotaryInclination::kAngle:
      u[a] = axis.TiltCos;
      u[static_cast<size_t>(axis.P)] = axis.TiltSin;
      break;
    case RotaryInclination::kVector:
      u[a] = axis.TiltCos * axis.AzimuthCos;
      u[1 - a] = axis.TiltCos * axis.AzimuthSin;
      u[2] = axis.TiltSin;
      break;
  }
  return u;
}

Vec3 RotateThroughRotaryAxis(const RotaryAxisFrame& axis, double sin, double cos, const Vec3& v) {
  switch (axis.Inclination) {
    case RotaryInclination::kAngle:
      return RotateAboutAxisCentre(v, axis.TiltSin, axis.TiltCos, sin, cos, axis.Axis, axis.P,
                                   axis.Q);
    case RotaryInclination::kVector:
      return RotateAboutAxis(v, axis.TiltSin, axis.TiltCos, axis.AzimuthSin, axis.AzimuthCos, sin,
                             cos, axis.Axis, axis.P, axis.Q);
    case RotaryInclination::kNone:
      break;
  }
  return RotateInAxisPlane(v, cos, sin, axis.Axis, axis.P, axis.Q);
}

std::array<int32_t, 2> RotarySigns(const ControllerDefinition& controller) {
  return {controller.Rotary[0].DirectionSign < 0 ? -1 : 1,
          controller.Rotary[1].DirectionSign < 0 ? -1 : 1};
}

RotarySinCos ComputeRotarySinCos(const ControllerDefinition& controller,
                                 const RotaryAngles& angles) {
  const std::array<int32_t, 2> signs = RotarySigns(controller);
  RotarySinCos sc{};
  GetAxisSinCos(angles[0], signs[0], sc[0], sc[1]);
  GetAxisSinCos(angles[1], signs[1], sc[2], sc[3]);
  return sc;
}

Vec3 RotateThroughRotaryAxesCached(const MachineKinematics& kinematics, const RotarySinCos& sinCos,
                                   const Vec3& in) {
  const RotaryAxisFrame first = DescribeRotaryAxis(kinematics, 0);
  const RotaryAxisFrame second = DescribeRotaryAxis(kinematics, 1);
  if (kinematics.RotaryType == kRotaryHead)
    return RotateThroughRotaryAxis(first, sinCos[0], sinCos[1],
                                   RotateThroughRotaryAxis(second, sinCos[2], sinCos[3], in));
  return RotateThroughRotaryAxis(second, sinCos[2], sinCos[3],
                                 RotateThroughRotaryAxis(first, sinCos[0], sinCos[1], in));
}

Vec3 RotateThroughFirstRotaryAxisCached(const MachineKinematics& kinematics,
                                        const RotarySinCos& sinCos, const Vec3& in) {
  return RotateThroughRotaryAxis(DescribeRotaryAxis(kinematics, 0), sinCos[0], sinCos[1], in);
}

Vec3 RotatePointThroughRotaryAxes(const MachineKinematics& kinematics,
                                  const ControllerDefinition& controller,
                                  const RotaryAngles& angles, const Vec3& in) {
  return RotateThroughRotaryAxesCached(kinematics, ComputeRotarySinCos(controller, angles), in);
}

Vec3 RotatePointThroughRotaryAxes2(const MachineKinematics& kinematics,
                                   const ControllerDefinition& controller,
                                   const RotaryAngles& angles) {
  Vec3 axis =
      RotatePointThroughRotaryAxes(kinematics, controller, angles, kinematics.ToolDirection);
  SnapToolAxis(axis);
  return axis;
}

void SnapToolAxis(Vec3& axis) {
  for (double& c : axis)
    if (std::fabs(c) < kAxisSnap) c = 0.0;
}

}  // namespace vestan
