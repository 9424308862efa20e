// Booking a new tool's length offset and the tool-length vector of a tilted
// (B-axis) tool: the rules over plain records, and their forms over an NC
// pass's state.
#pragma once

#include <cstdint>

#include "definitions/offset_memory.h"
#include "definitions/tool_base_point.h"
#include "model/current_tool.h"
#include "model/length_compensation.h"
#include "nc/nc_context.h"

namespace vestan {

// The H entry a booking sets: the tool number as H number, geometry and wear.
struct LengthOffsetBooking {
  int32_t HNumber = 0;
  float Geometry = 0.0f;
  float Wear = 0.0f;
};

// Books the length offset of tool `tool` from the current tool by the tool
// length mode (numbered as the tool base point, ToolBasePoint) into the H
// entry of that number (a tool number outside the H numbers books none) and
// sets the previous tool length to geometry + wear (+ the holder offset for
// kBaseArborTop, which books the profile height). Returns the booking.
LengthOffsetBooking StoreToolLengthOffset(int32_t tool, const CurrentTool& current,
                                          double profileHeight, int32_t mode,
                                          double toolHolderOffset, OffsetMemory& memory,
                                          LengthCompensationState& state);

// What the tool-length vector depends on besides the angle: the dialect, the
// machine and the interpreter's state.
struct ToolLengthVectorContext {
  int32_t Osp = 0;
  int32_t RotaryHead = 0;  // the machine's rotary type is HEAD
  int32_t LastGCode = 0;
  int32_t Mazak = 0;
  int32_t LatheMode = 0;
  int32_t ToolAxisOverride = 0;
  // Sine and cosine of the live end's fourth (A) and fifth (B) axis, each
  // with its axis direction sign.
  double SinA = 0.0, CosA = 1.0;
  double SinB = 0.0, CosB = 1.0;
  // The current tool's reach and its reach reference; the tool length mode.
  double Reach = 0.0;
  double ReachReference = 0.0;
  int32_t LengthMode = kBaseBottom;
};

// The tool-length vector of the previous tool length L: on an OSP rotary
// head after G353 the head's form from the live rotary positions; for MAZAK
// (no lathe mode, no tool-axis override) (0, 0, L); otherwise the tool tilted
// by `angle` degrees about B: (sin, 0, cos) times L.
void ComputeToolLengthVector(double angle, const ToolLengthVectorContext& context,
                             LengthCompensationState& state);

// Books the current tool's length offset under its own number by the
// settings' tool length mode; modes from LENGTH-TOP on then take off the
// controller's programmed tool point (BALL-CENTER, F-CENTER and R-HEIGHT by
// the tool base point rule) or, for BOTTOM, book the program's length wear.
// The length in force and its copy become geometry + wear (+ the holder
// offset for ARBOR-TOP); the length-offset number in force becomes the tool
// number. Returns the mode used.
int32_t ApplyToolLengthOffset(NcModalState& modal, const NcPassRecords& records);

// What the tool-length vector depends on, taken from a pass: the dialect,
// the machine, the modal state, the live move's rotary end positions (with
// their direction signs) and the current tool.
ToolLengthVectorContext MakeToolLengthVectorContext(const NcContext& context,
                                                    const NcPassRecords& records);

// ComputeToolLengthVector on a pass's length state.
void ComputeToolLengthVector(double angle, NcContext& context, const NcPassRecords& records);

}  // namespace vestan
