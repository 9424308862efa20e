// Booking a new tool's length offset and the tool-length vector of a tilted
// (B-axis) tool.
#pragma once

#include <cstdint>

#include "model/current_tool.h"
#include "nc/tool_state.h"

namespace vestan {

// Where a booked tool length is measured to (the tool length mode).
enum ToolLengthMode : int32_t {
  kLengthModeNone = 0,
  kLengthModeBallCentre = 1,     // corner radius of ball and taper-ball tools
  kLengthModeFullRadius = 2,     // height of the corner-arc centre
  kLengthModeCornerHeight = 3,   // corner radius of a single-radius tool
  kLengthModeProtrusion = 4,     // protrusion length of the shank
  kLengthModeProfileHeight = 5,  // whole profile, plus the holder offset
};

// The H entry a booking sets: the tool number as H number, geometry and wear.
struct LengthOffsetBooking {
  int32_t HNumber = 0;
  float Geometry = 0.0f;
  float Wear = 0.0f;
};

// Books the length offset of tool `tool` from the current tool by mode and
// sets the previous tool length to geometry + wear (+ the holder offset in
// mode 5). Returns the H entry for the offset memory.
LengthOffsetBooking StoreToolLengthOffset(int32_t tool, const CurrentTool& current,
                                          double profileHeight, int32_t mode,
                                          double toolHolderOffset, LengthCompensationState& state);

// Tool-length vector for a tool tilted by `angle` degrees about B:
// (sin, 0, cos) times the previous tool length.
void ComputeToolLengthVector(double angle, LengthCompensationState& state);

}  // namespace vestan
