#include "nc/tool_length_offset.h"

#include <cmath>

#include "foundation/single_precision.h"

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

}  // namespace vestan
