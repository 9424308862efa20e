// The machine position state as far as the tool set-up and the mesh-tool cut
// use it: the machine position, the current tool's length and reference
// length.
#pragma once

#include <array>

namespace vestan {

struct MachinePositionState {
  // X, Y, Z and the first and second rotary axis in machine coordinates.
  std::array<double, 5> MachinePosition{};
  // Length of the current tool, used for length compensation.
  float ToolLength = 0.0f;
  // TOOL HOLDER OFFSET plus the tool's profile height; 0 while no tool is defined.
  double ReferenceLength = 0.0;
};

}  // namespace vestan
