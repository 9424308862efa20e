#include "nc/tool_length_offset.h"

#include <cmath>

#include "foundation/single_precision.h"

namespace vestan {

LengthOffsetBooking StoreToolLengthOffset(int32_t tool, const CurrentTool& current,
                                          double profileHeight, int32_t mode,
                                          double toolHolderOffset, LengthCompensationState& state) {
  LengthOffsetBooking booking;
  booking.HNumber = tool;
  booking.Geometry = RoundToSingle(ToolBasePointHeight(mode, current.Tool, current.Shank,
                                                       {current.FullRadiusHeight, profileHeight}));
  state.PreviousToolLength = static_cast<double>(booking.Geometry) + booking.Wear;
  if (mode == kBaseArborTop) state.PreviousToolLength += toolHolderOffset;
  return booking;
}

void ComputeToolLengthVector(double angle, LengthCompensationState& state) {
  const double a = angle * kRadiansPerDegree;
  const double length = state.PreviousToolLength;
  state.ToolLengthVector = {length * std::sin(a), 0.0, length * std::cos(a)};
}

}  // namespace vestan
