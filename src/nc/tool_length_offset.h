// Booking a new tool's length offset and the tool-length vector of a tilted
// (B-axis) tool.
#pragma once

#include <cstdint>

#include "definitions/tool_base_point.h"
#include "model/current_tool.h"
#include "model/length_compensation.h"

namespace vestan {

// The H entry a booking sets: the tool number as H number, geometry and wear.
struct LengthOffsetBooking {
  int32_t HNumber = 0;
  float Geometry = 0.0f;
  float Wear = 0.0f;
};

// Books the length offset of tool `tool` from the current tool by the tool
// length mode (numbered as the tool base point, ToolBasePoint) and sets the
// previous tool length to geometry + wear (+ the holder offset for
// kBaseArborTop, which books the profile height). Returns the H entry for the offset memory.
LengthOffsetBooking StoreToolLengthOffset(int32_t tool, const CurrentTool& current,
                                          double profileHeight, int32_t mode,
                                          double toolHolderOffset, LengthCompensationState& state);

// Tool-length vector for a tool tilted by `angle` degrees about B:
// (sin, 0, cos) times the previous tool length.
void ComputeToolLengthVector(double angle, LengthCompensationState& state);

}  // namespace vestan
