#include "nc/tool_length_offset.h"

#include <cmath>

namespace vestan {

LengthOffsetBooking StoreToolLengthOffset(int32_t tool, const CurrentTool& current,
                                          double profileHeight, int32_t mode,
                                          double toolHolderOffset, OffsetMemory& memory,
                                          LengthCompensationState& state) {
  LengthOffsetBooking booking;
  booking.HNumber = tool;
  const ToolRecord& t = current.Tool;
  switch (mode) {
    case kLengthModeBallCentre:
      if (t.Kind == kToolBall || t.Kind == kToolTaperBall) booking.Geometry = t.CornerRadius;
      break;
    case kLengthModeFullRadius:
      booking.Geometry = static_cast<float>(current.FullRadiusHeight);
      break;
    case kLengthModeCornerHeight:
      if (t.BottomAngle == 0.0f) booking.Geometry = t.CornerRadius;
      break;
    case kLengthModeProtrusion:
      booking.Geometry = current.Shank.ProtrusionLength;
      break;
    case kLengthModeProfileHeight:
      booking.Geometry = static_cast<float>(profileHeight);
      break;
    default:
      break;
  }
  if (tool >= 1 && tool < kOffsetNumbers) {
    memory.HGeometry[static_cast<size_t>(tool)] = booking.Geometry;
    memory.HWear[static_cast<size_t>(tool)] = booking.Wear;
  }
  state.PreviousToolLength = static_cast<double>(booking.Geometry) + booking.Wear;
  if (mode == kLengthModeProfileHeight) state.PreviousToolLength += toolHolderOffset;
  return booking;
}

void ComputeToolLengthVector(double angle, const ToolLengthVectorContext& context,
                             LengthCompensationState& state) {
  constexpr int32_t kHeadTiltCode = 353;
  const double length = state.PreviousToolLength;
  if (context.Osp != 0 && context.RotaryHead != 0 && context.LastGCode == kHeadTiltCode) {
    const bool wholeReach = context.LengthMode == kLengthModeProfileHeight;
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

}  // namespace vestan
