#include "nc/tool_length_offset.h"

#include <cmath>

#include "foundation/single_precision.h"
#include "machine/rotary_axes.h"

namespace vestan {

LengthOffsetBooking StoreToolLengthOffset(int32_t tool, const CurrentTool& current,
                                          double profileHeight, int32_t mode,
                                          double toolHolderOffset, OffsetMemory& memory,
                                          LengthCompensationState& state) {
  LengthOffsetBooking booking;
  booking.HNumber = tool;
  booking.Geometry = RoundToSingle(ToolBasePointHeight(mode, current.Tool, current.Shank,
                                                       {current.FullRadiusHeight, profileHeight}));
  if (tool >= 1 && tool < kOffsetNumbers) {
    memory.HGeometry[static_cast<size_t>(tool)] = booking.Geometry;
    memory.HWear[static_cast<size_t>(tool)] = booking.Wear;
  }
  state.PreviousToolLength = static_cast<double>(booking.Geometry) + booking.Wear;
  if (mode == kBaseArborTop) state.PreviousToolLength += toolHolderOffset;
  return booking;
}

void ComputeToolLengthVector(double angle, const ToolLengthVectorContext& context,
                             LengthCompensationState& state) {
  constexpr int32_t kHeadTiltCode = 353;
  const double length = state.PreviousToolLength;
  if (context.Osp != 0 && context.RotaryHead != 0 && context.LastGCode == kHeadTiltCode) {
    const bool wholeReach = context.LengthMode == kBaseArborTop;
    const double r = wholeReach ? context.Reach : context.Reach - context.ReachReference;
    state.ToolLengthVector = {r * context.SinB * context.CosA, r * context.SinB * context.SinA,
                              (context.CosB - 1.0) * r + (wholeReach ? length : 0.0)};
    return;
  }
  if (context.Mazak != 0 && context.LatheMode == 0 && context.ToolAxisOverride == 0) {
    state.ToolLengthVector = {0.0, 0.0, length};
    return;
  }
  const double a = angle * kRadiansPerDegree;
  state.ToolLengthVector = {length * std::sin(a), 0.0, length * std::cos(a)};
}

int32_t ApplyToolLengthOffset(NcModalState& modal, const NcPassRecords& records) {
  const int32_t tool = modal.Tools.CurrentToolNumber;
  const int32_t mode = records.Defs.Settings.ToolBasePoint;
  const double holderOffset = records.Defs.Kinematics.ToolHolderOffset;
  const CurrentTool& current = records.Tool;
  OffsetMemory& memory = records.Memory.Offsets;
  modal.LengthOffsetNumber = tool;
  LengthOffsetBooking booking = StoreToolLengthOffset(tool, current, records.Profile.ProfileHeight,
                                                      mode, holderOffset, memory, modal.Length);
  if (mode >= kBaseLengthTop) {
    // The programmed tool point names its base point by the rule's first
    // three modes.
    const int32_t point = records.Defs.Controller.AutoLengthPosition;
    if (point == kBaseBottom) {
      booking.Wear = modal.ProgramLengthWear;
    } else if (point >= kBaseBallCentre && point <= kBaseCornerHeight) {
      booking.Geometry = RoundToSingle(
          static_cast<double>(booking.Geometry) -
          ToolBasePointHeight(point, current.Tool, current.Shank, {current.FullRadiusHeight, 0.0}));
    }
    if (tool >= 1 && tool < kOffsetNumbers) {
      memory.HGeometry[static_cast<size_t>(tool)] = booking.Geometry;
      memory.HWear[static_cast<size_t>(tool)] = booking.Wear;
    }
  }
  double length = RoundToSingle(static_cast<double>(booking.Geometry) + booking.Wear);
  if (mode == kBaseArborTop) length += holderOffset;
  modal.Length.PreviousToolLength = length;
  modal.ToolLengthCopy = length;
  return mode;
}

ToolLengthVectorContext MakeToolLengthVectorContext(const NcContext& context,
                                                    const NcPassRecords& records) {
  const ControllerDefinition& controller = records.Defs.Controller;
  const NcModalState& modal = context.Modal;
  ToolLengthVectorContext vector;
  vector.Osp = controller.isOsp;
  vector.RotaryHead = records.Defs.Kinematics.RotaryType == kRotaryHead ? 1 : 0;
  vector.LastGCode = modal.LastGCode;
  vector.Mazak = controller.isMazak;
  vector.LatheMode = modal.LatheMode;
  vector.ToolAxisOverride = modal.ToolAxisOverride;
  const std::array<int32_t, 2> signs = RotarySigns(controller);
  GetAxisSinCos(context.Move.End[3], signs[0], vector.SinA, vector.CosA);
  GetAxisSinCos(context.Move.End[4], signs[1], vector.SinB, vector.CosB);
  vector.Reach = records.Tool.Reach;
  vector.ReachReference = records.Tool.ReachReference;
  vector.LengthMode = records.Defs.Settings.ToolBasePoint;
  return vector;
}

void ComputeToolLengthVector(double angle, NcContext& context, const NcPassRecords& records) {
  ComputeToolLengthVector(angle, MakeToolLengthVectorContext(context, records),
                          context.Modal.Length);
}

}  // namespace vestan
