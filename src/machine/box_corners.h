// The eight corners of an axis-aligned box.
#pragma once

#include <array>

#include "foundation/vector_math.h"

namespace vestan {

// Corners of the box from min to max, x varying fastest, then y, then z.
inline void MakeBoxCorners(const Vec3& min, const Vec3& max, std::array<Vec3, 8>& corners) {
  for (int i = 0; i < 8; ++i)
    corners[static_cast<size_t>(i)] = {(i & 1) ? max[0] : min[0], (i & 2) ? max[1] : min[1],
                                       (i & 4) ? max[2] : min[2]};
}

}  // namespace vestan
