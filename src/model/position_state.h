// Five-axis positions, and the machine position state as far as the tool
// set-up and the interpreter's reset write it: the current tool's length and
// reference length, and the machine position.
#pragma once

#include <array>

namespace vestan {

// X, Y, Z, rotary 1, rotary 2; the rotary values in degrees.
using AxisPosition = std::array<double, 5>;

struct MachinePositionState {
  // Length of the current tool, used for length compensation.
  float ToolLength = 0.0f;
  // TOOL HOLDER OFFSET plus the tool's profile height; 0 while no tool is defined.
  double ReferenceLength = 0.0;
  // Machine coordinates of the spindle's reference point.
  AxisPosition MachinePosition{};
};

}  // namespace vestan
