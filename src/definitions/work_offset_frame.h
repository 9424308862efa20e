// The coordinate frame of the active work offset: where the work origin lies
// in machine coordinates and how the work axes are turned when a table
// machine's work offset carries rotary values.
#pragma once

#include <cstdint>

#include "foundation/vector_math.h"

namespace vestan {

// A workpiece point p lies at Matrix * p + Origin in machine coordinates:
// loading in work coordinates turns by Matrix, then adds Origin; saving
// subtracts Origin, then turns by InverseMatrix. Rotary1 and Rotary2 are the
// composed work offset's rotary values.
struct WorkOffsetFrame {
  Vec3 Origin{};
  Matrix3 Matrix{1, 0, 0, 0, 1, 0, 0, 0, 1};  // column c is the image of axis c
  Matrix3 InverseMatrix{1, 0, 0, 0, 1, 0, 0, 0, 1};
  double Rotary1 = 0.0;
  double Rotary2 = 0.0;
  int32_t FrameRotated = 0;  // the work offset turns the frame (table and mixed machines)
  int32_t FrameOffset = 0;   // Origin is not (0, 0, 0)
};

}  // namespace vestan
