// The tool direction of an angle head: its tilt and turn angles from a
// direction vector, and the unit direction from the head's angles.
#pragma once

#include <cmath>

#include "foundation/geometry.h"
#include "foundation/vector_math.h"

namespace vestan {

// Tilt (from +Z) and turn (about Z, from +Y) of a tool direction, in degrees.
// A direction along Z (x = y = 0) gives 0 and 0.
inline void ComputeDirectionAngles(const Vec3& direction, double& tilt, double& turn) {
  const double x = direction[0], y = direction[1], z = direction[2];
  if (x == 0.0 && y == 0.0) {
    tilt = 0.0;
    turn = 0.0;
    return;
  }
  if (x == 0.0)
    turn = y > 0.0 ? 0.0 : 180.0;
  else if (y == 0.0)
    turn = x > 0.0 ? 90.0 : -90.0;
  else
    turn = std::atan(x / y) * kDegreesPerRadian;
  tilt = z == 0.0 ? 90.0 : std::atan(std::sqrt(x * x + y * y) / z) * kDegreesPerRadian;
}

// Unit tool direction of an angle head with angles a (about X), b (about Y)
// and c (about Z), in degrees: +Z tilted by a, or else by b, then turned by c;
// exact at quarter turns. Only one of a and b is used, a first.
inline Vec3 ComputeDirectionFromAngles(double a, double b, double c) {
  Vec3 d{0.0, 0.0, 1.0};
  TurnByAngleHead(a, b, c, d[0], d[1], d[2]);
  return d;
}

}  // namespace vestan
