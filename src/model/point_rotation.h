// Turning a coordinate pair by an angle in degrees, exact at quarter turns,
// and a point by the angles of an angle head.
#pragma once

#include <cmath>

#include "foundation/vector_math.h"

namespace vestan {

// (x, y) becomes (cos*x - sin*y, sin*x + cos*y); exactly (-y, x) for 90 and
// (y, -x) for -90.
inline void RotatePointByAngle(double degrees, double x, double y, double& outX, double& outY) {
  if (degrees == 90.0) {
    outX = -y;
    outY = x;
    return;
  }
  if (degrees == -90.0) {
    outX = y;
    outY = -x;
    return;
  }
  const double a = degrees * kPi / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  outX = c * x - s * y;
  outY = s * x + c * y;
}

// Turns a point as an angle head turns the tool (angles in degrees): (y, z)
// by a, or else (z, x) by b, then (x, y) by c. Without a tilt the point stays
// as it is, turn included.
inline void TurnByAngleHead(double a, double b, double c, double& x, double& y, double& z) {
  if (a != 0.0)
    RotatePointByAngle(a, y, z, y, z);
  else if (b != 0.0)
    RotatePointByAngle(b, z, x, z, x);
  else
    return;
  if (c != 0.0) RotatePointByAngle(c, x, y, x, y);
}

}  // namespace vestan
