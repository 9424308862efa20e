// The work coordinate frame in force: the frame the model files are saved in
// and loaded into when work coordinates are chosen.
#pragma once

#include <cstdint>

#include "foundation/vector_math.h"

namespace vestan {

// Loading in work coordinates applies Rotation, then adds WorkOrigin; saving
// subtracts WorkOrigin, then applies InverseRotation.
struct WorkCoordinateFrame {
  Vec3 WorkOrigin{};
  int32_t FrameRotated = 0;  // the work offset turns the frame (table and mixed machines)
  int32_t FrameOffset = 0;   // WorkOrigin is not (0, 0, 0)
  Matrix3 Rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Matrix3 InverseRotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
};

}  // namespace vestan
