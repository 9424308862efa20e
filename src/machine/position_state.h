// The machine position state as far as the tool set-up and the tool table
// reader use it: the current tool's length and reference length.
#pragma once

#include <cstdint>

namespace vestan {

struct MachinePositionState {
  // Length of the current tool, used for length compensation.
  float ToolLength = 0.0f;
  // TOOL HOLDER OFFSET plus the tool's profile height; 0 while no tool is defined.
  double ReferenceLength = 0.0;
};

// The saved position that a later restore returns to.
struct SavePositionState {
  // Tool of the saved position; -1 after a tool table read, so that a restore
  // never refers to a tool of the previous table.
  int32_t ToolNumber = -1;
};

}  // namespace vestan
