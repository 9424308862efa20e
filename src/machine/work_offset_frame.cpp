#include "machine/work_offset_frame.h"

#include <array>

#include "machine/rotary_axes.h"

namespace vestan {

namespace {

// p turned by turn about a line through centre.
template <typename Turn>
Vec3 TurnAbout(const Turn& turn, const Vec3& centre, const Vec3& p) {
  return VectorAdd(centre, turn(VectorSub(p, centre)));
}

}  // namespace

WorkOffsetFrame ComputeWorkOffsetFrame(const WorkOffsetValues& composed,
                                       const MachineKinematics& kinematics,
                                       const ControllerDefinition& controller) {
  WorkOffsetFrame frame;
  frame.Rotary1 = composed[3];
  frame.Rotary2 = composed[4];
  Vec3 origin{composed[0], composed[1], composed[2]};
  std::array<Vec3, 3> axes{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

  const RotarySinCos sinCos = ComputeRotarySinCos(controller, {composed[3], composed[4]});
  const RotaryAxisFrame first = DescribeRotaryAxis(kinematics, 0);
  const RotaryAxisFrame second = DescribeRotaryAxis(kinematics, 1);
  const auto turnFirst = [&](const Vec3& v) {
    return RotateThroughRotaryAxis(first, sinCos[0], sinCos[1], v);
  };
  const auto turnSecond = [&](const Vec3& v) {
    return RotateInAxisPlane(v, sinCos[3], sinCos[2], second.Axis, second.P, second.Q);
  };

  if (kinematics.RotaryType == kRotaryTable && (composed[3] != 0.0 || composed[4] != 0.0)) {
    origin = TurnAbout(turnFirst, kinematics.TablePosition, origin);
    origin = TurnAbout(turnSecond, kinematics.SecondTableCentre, origin);
    for (Vec3& axis : axes) axis = turnSecond(turnFirst(axis));
    frame.FrameRotated = 1;
  } else if (kinematics.RotaryType == kRotaryMix && composed[4] != 0.0) {
    origin = TurnAbout(turnSecond, kinematics.TablePosition, origin);
    for (Vec3& axis : axes) axis = turnSecond(axis);
    frame.FrameRotated = 1;
  }

  frame.Origin = origin;
  frame.FrameOffset = origin[0] != 0.0 || origin[1] != 0.0 || origin[2] != 0.0 ? 1 : 0;
  // Column order: column c is the image of axis c.
  for (size_t c = 0; c < 3; ++c)
    for (size_t r = 0; r < 3; ++r) frame.Matrix[3 * c + r] = axes[c][r];
  frame.InverseMatrix = InvertMatrix3(frame.Matrix);
  return frame;
}

void UpdateWorkOffsetFrame(const WorkOffsetValues& composed, const MachineKinematics& kinematics,
                           const ControllerDefinition& controller, WorkOffsetFrame& frame,
                           DisplayListTable& display) {
  frame = ComputeWorkOffsetFrame(composed, kinematics, controller);
  display.RequestRebuild(kListCoordinateAxes);
}

}  // namespace vestan
