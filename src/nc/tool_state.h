// The interpreter's tool numbers and the part of its length-compensation
// state that a tool change reads or writes.
#pragma once

#include <cstdint>

namespace vestan {

struct NcToolNumbers {
  int32_t CurrentToolNumber = 1;  // the tool in the spindle
  int32_t NextToolNumber = 1;     // the commanded tool
};

struct LengthCompensationState {
  // Set when a plug-in delivers a tool into slot 0; cleared when a tool
  // numbered 1 or above is made current.
  int32_t PluginTool = 0;
};

}  // namespace vestan
