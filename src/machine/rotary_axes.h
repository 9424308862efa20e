// Rotations about the machine's two rotary axes: exact sines and cosines of
// rotary angles, the basic rotation and the rotations about an axis tilted by
// an angle or given by a vector, and turning points and the tool direction
// through both rotary axes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "definitions/controller_definition.h"
#include "definitions/machine_definition.h"
#include "foundation/vector_math.h"
#include "model/position_state.h"

namespace vestan {

// Rotary 1 and rotary 2 in degrees.
using RotaryAngles = std::array<double, 2>;
// Sine and cosine of rotary angle 1, then sine and cosine of rotary angle 2,
// each taken with its axis's direction sign.
using RotarySinCos = std::array<double, 4>;

// in turned by (cos, sin) in the plane of axes i and j; component kept stays.
// Indexes outside 0-2 leave in as it is.
Vec3 RotateInAxisPlane(const Vec3& in, double cos, double sin, int kept, int i, int j);

// in turned by the angle (sinAngle, cosAngle) about coordinate axis a tilted
// by t toward its first plane axis p; (p, q) is a's plane in cyclic order.
Vec3 RotateAboutAxisCentre(const Vec3& in, double sinTilt, double cosTilt, double sinAngle,
                           double cosAngle, int a, int p, int q);

// in turned by the angle about an axis given by a vector: coordinate axis a
// (X or Y) turned by the azimuth toward the other of X and Y, then tilted by
// t toward Z. An axis about Z has no such partner: it turns as the basic
// rotation about Z.
Vec3 RotateAboutAxis(const Vec3& in, double sinTilt, double cosTilt, double sinAzimuth,
                     double cosAzimuth, double sinAngle, double cosAngle, int a, int p, int q);

enum class RotaryInclination { kNone, kAngle, kVector };

// How one rotary axis turns, as the machine definition gave it: the
// coordinate axis and its plane, and the inclination in force. At most one
// axis is inclined by an angle (rotary 1's when given, else rotary 2's) and
// at most one by a vector (likewise); a vector on an axis about Z was refused
// by the reader and counts as none; an angle wins over a vector on one axis.
struct RotaryAxisFrame {
  int Axis = 0;  // 0 X, 1 Y, 2 Z; -1 when the record names none of them
  int P = 1, Q = 2;
  RotaryInclination Inclination = RotaryInclination::kNone;
  double TiltCos = 1.0, TiltSin = 0.0;
  double AzimuthCos = 1.0, AzimuthSin = 0.0;
};

RotaryAxisFrame DescribeRotaryAxis(const MachineKinematics& kinematics, size_t rotary);
// 1 when either rotary axis is inclined.
bool AnyRotaryAxisInclined(const MachineKinematics& kinematics);
// Unit vector of the line the axis turns about (right-handed).
Vec3 RotaryAxisDirection(const RotaryAxisFrame& axis);

// v turned about one rotary axis by an angle given as (sin, cos), with the
// axis's inclination.
Vec3 RotateThroughRotaryAxis(const RotaryAxisFrame& axis, double sin, double cos, const Vec3& v);

// The direction signs of rotary 1 and 2 (-1 for ROTARY DIRECTION=REVERSE).
std::array<int32_t, 2> RotarySigns(const ControllerDefinition& controller);
// GetAxisSinCos of both angles with their signs.
RotarySinCos ComputeRotarySinCos(const ControllerDefinition& controller,
                                 const RotaryAngles& angles);

// A point turned through both rotary axes: HEAD turns by rotary 2 first and
// then by rotary 1; the other types by rotary 1 first, then rotary 2.
Vec3 RotatePointThroughRotaryAxes(const MachineKinematics& kinematics,
                                  const ControllerDefinition& controller,
                                  const RotaryAngles& angles, const Vec3& in);
// The tool axis at these angles: the tool direction turned as above, with
// components below 1e-9 set to 0.
Vec3 RotatePointThroughRotaryAxes2(const MachineKinematics& kinematics,
                                   const ControllerDefinition& controller,
                                   const RotaryAngles& angles);

// The same turns with sines and cosines already taken (the current machine
// position's), for checks that turn many points: both axes in the order
// above, or rotary 1 alone.
Vec3 RotateThroughRotaryAxesCached(const MachineKinematics& kinematics, const RotarySinCos& sinCos,
                                   const Vec3& in);
Vec3 RotateThroughFirstRotaryAxisCached(const MachineKinematics& kinematics,
                                        const RotarySinCos& sinCos, const Vec3& in);

// Components of a tool axis below 1e-9 in magnitude become 0.
void SnapToolAxis(Vec3& axis);

}  // namespace vestan
