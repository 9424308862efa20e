// Small geometry of moves: polar coordinates for polar interpolation, a
// point offset along a combined direction, and the tool vector of a
// tool-vector move turned by its path angle at an interpolation step.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/vector_math.h"
#include "machine/rotary_angles.h"
#include "machine/rotary_axes.h"

namespace vestan {

// What polar interpolation adds: the interpreter's polar angle offset
// (degrees) and its tool-length vector when in use.
struct PolarInputs {
  double AngleOffset = 0.0;
  int32_t LengthVectorInUse = 0;
  Vec3 LengthVector{};
};

// X becomes the radius of (X, Y) and rotary 2 its angle in [0, 360) plus the
// offset; Y becomes 0, Z and rotary 1 stay. With addLength and the length
// vector in use, X and Z gain its X and Z.
AxisPosition ToPolarCoordinates(const AxisPosition& in, int32_t addLength,
                                const PolarInputs& polar);

// out = p + d1 * (unit a * dir1 + b * dir2) + d2 * dir3; out is left as it
// was when a * dir1 + b * dir2 is zero.
void ComputeOffsetPoint(const Vec3& p, const Vec3& dir1, const Vec3& dir2, const Vec3& dir3,
                        double d1, double a, double b, double d2, Vec3& out);

// Turns vector by the path angle (radians) in the frame of the path tangent
// and the side vector: modes 0 and 2 in the plane of the tangent and the
// frame's normal (the tangent gaining or losing sin of the angle times the
// normal), 1 and -1 in the plane of the side vector and the normal; other
// modes leave it.
void TurnVectorByPathAngle(const Vec3& tangent, const Vec3& side, double pathAngle, int32_t mode,
                           Vec3& vector);

// The tool-vector interpolation of one move: the start vector and its step,
// the arc centre and the plane (first, second and normal axis).
struct ToolVectorSteps {
  Vec3 StartVector{};
  Vec3 VectorStep{};
  Vec3 ArcCentre{};
  std::array<int32_t, 3> PlaneAxes{0, 1, 2};
};

// The tool vector at step i of a tool-vector move at point: the start
// vector plus i steps, turned by the path angle at that step when the move
// has one (for arcs about the tangent at point, which tangent receives).
// Returns the path angle used (0 when none).
double ComputeInterpolationPoint(const RotaryModalInputs& modal, const ToolVectorSteps& move,
                                 const Vec3& point, int32_t i, Vec3& tangent, Vec3& vector);

}  // namespace vestan
