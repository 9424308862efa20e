// The part of the interpreter's length-compensation state that a tool change
// reads or writes.
#pragma once

#include <cstdint>

#include "foundation/vector_math.h"

namespace vestan {

struct LengthCompensationState {
  // The two length-offset flags: length compensation in force, and the
  // offset booked from the tool itself.
  int32_t LengthCompensationActive = 0;
  int32_t ToolLengthOffsetOn = 0;
  // Tool-length vectors follow the B axis.
  int32_t BAxisLength = 0;
  // First rotary axis: the shown program position and the active work offset.
  double ProgramRotary1 = 0.0;
  double WorkOffsetRotary1 = 0.0;
  // Set when a plug-in delivers a tool into slot 0; cleared when a tool
  // numbered 1 or above is made current.
  int32_t PluginTool = 0;
  // Length of the tool in force as the last booking left it.
  double PreviousToolLength = 0.0;
  // The length offset as a vector for a tilted (B-axis) tool.
  Vec3 ToolLengthVector{};

  // Either length-offset flag is set.
  bool LengthOffsetInForce() const {
    return LengthCompensationActive != 0 || ToolLengthOffsetOn != 0;
  }
};

}  // namespace vestan
