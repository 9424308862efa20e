// Turning a coordinate pair by an angle in degrees, exact at quarter turns.
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

}  // namespace vestan
