#include "nc/tool_length_offset.h"

#include <cmath>

namespace vestan {

LengthOffsetBooking StoreToolLengthOffset(int32_t tool, const CurrentTool& current,
                                          double profileHeight, int32_t mode,
                                          double toolHolderOffset, LengthCompensationState& state) {
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
  state.PreviousToolLength = static_cast<double>(booking.Geometry) + booking.Wear;
  if (mode == kLengthModeProfileHeight) state.PreviousToolLength += toolHolderOffset;
  return booking;
}

void ComputeToolLengthVector(double angle, LengthCompensationState& state) {
  const double a = angle * kPi / 180.0;
  const double length = state.PreviousToolLength;
  state.ToolLengthVector = {length * std::sin(a), 0.0, length * std::cos(a)};
}

}  // namespace vestan
