// The eight corners of an axis-aligned box.
#pragma once

#include <array>

#include "foundation/vector_math.h"

namespace vestan {

// Corners of the box [boxMin, boxMax], x varying fastest, then y, then z.
inline std::array<Vec3, 8> MakeBoxCorners(const Vec3& boxMin, const Vec3& boxMax) {
  std::array<Vec3, 8> corners{};
  for (int i = 0; i < 8; ++i) {
    corners[i] = {(i & 1) ? boxMax[0] : boxMin[0], (i & 2) ? boxMax[1] : boxMin[1],
                  (i & 4) ? boxMax[2] : boxMin[2]};
  }
  return corners;
}

}  // namespace vestan
