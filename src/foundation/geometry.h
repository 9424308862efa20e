// Small geometry shared by the readers, the tool set-up and the mesh code:
// box corners, turning points by angles and by an angle head, and the
// triangle record of STL meshes.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>

#include "foundation/vector_math.h"

namespace vestan {

// One facet: normal x, y, z, then vertices 1, 2 and 3 (x, y, z each).
using StlTriangle = std::array<double, 12>;

// Angles of an angle head in degrees: A tilts (y, z), B tilts (z, x), C turns
// (x, y) after a tilt.
struct AngleHeadAngles {
  double A = 0.0;
  double B = 0.0;
  double C = 0.0;
};

// Corners of the box from min to max, x varying fastest, then y, then z.
inline void MakeBoxCorners(const Vec3& min, const Vec3& max, std::array<Vec3, 8>& corners) {
  for (int i = 0; i < 8; ++i)
    corners[static_cast<std::size_t>(i)] = {(i & 1) ? max[0] : min[0], (i & 2) ? max[1] : min[1],
                                            (i & 4) ? max[2] : min[2]};
}

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
  const double a = degrees * kRadiansPerDegree;
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
