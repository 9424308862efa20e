#include "display/view_mapping.h"

#include <cmath>

#include "display/machine_orientation.h"
#include "machine/forward_kinematics.h"

namespace vestan {

void SetTableShift(const MachineDefinition& machine, const AxisPosition& machinePosition,
                   Vec3& tableShift) {
  for (size_t k = 0; k < 3; ++k)
    tableShift[k] = machine.TableMoves[k] != 0 ? -machinePosition[k] : 0.0;
}

MachineDisplayFrame MakeMachineDisplayFrame(const MachineKinematics& kinematics,
                                            const MachinePositionState& position,
                                            const Vec3& tableShift, const ViewCamera& camera) {
  MachineDisplayFrame frame;
  if (camera.FixedTable == 0) frame.Shift = tableShift;
  const AxisPosition& m = position.MachinePosition;
  const bool turns =
      camera.FollowTable == 0 &&
      ((kinematics.RotaryType == kRotaryTable && (m[3] != 0.0 || m[4] != 0.0)) ||
       (kinematics.RotaryType == kRotaryMix && m[4] != 0.0));
  if (!turns) return frame;
  // The scene turns the tables back by the angles the kinematics turn the
  // work with; the same turn is CorrectRotaryCentre at the negated angles.
  const std::array<double, 4>& sc = position.RotarySinCos;
  const RotarySinCos back{-sc[0], sc[1], -sc[2], sc[3]};
  MachineKinematics aboutOrigin = kinematics;
  aboutOrigin.TablePosition = {0.0, 0.0, 0.0};
  aboutOrigin.TableOffset = {0.0, 0.0, 0.0};
  for (size_t c = 0; c < 3; ++c) {
    Vec3 axis{0.0, 0.0, 0.0};
    axis[c] = 1.0;
    CorrectRotaryCentre(aboutOrigin, back, axis);
    for (size_t r = 0; r < 3; ++r) frame.Rotation[3 * c + r] = axis[r];
  }
  Vec3 origin{0.0, 0.0, 0.0};
  CorrectRotaryCentre(kinematics, back, origin);
  frame.Translation = origin;
  frame.Turned = 1;
  return frame;
}

Vec3 MachineToDisplayCoordinates(const MachineDisplayFrame& frame, const Vec3& p) {
  if (frame.Turned == 0) return VectorAdd(p, frame.Shift);
  return VectorAdd(VectorAdd(MultiplyMatrixVector(frame.Rotation, p), frame.Translation),
                   frame.Shift);
}

WindowPoint ModelToWindow(const ViewState& view, const ViewCamera& camera, int32_t orientation,
                          const Vec3& p) {
  Vec3 q;
  for (size_t k = 0; k < 3; ++k)
    q[k] = (p[k] / view.DisplayScale - camera.Centre[k]) * camera.Zoom;
  if (orientation > 0) MapToViewOrientation(orientation, q);
  const double ca = view.AzimuthCos, sa = view.AzimuthSin;
  const double ce = view.ElevationCos, se = view.ElevationSin;
  const double x = ca * q[0] - sa * q[1];
  const double y0 = sa * q[0] + ca * q[1];
  const double y = ce * y0 + se * q[2];
  WindowPoint w;
  w.Depth = ce * q[2] - se * y0;
  if (view.Perspective == 0) {
    w.X = camera.HalfHeight * x + camera.HalfWidth;
    w.Y = camera.HalfHeight * (1.0 - y);
  } else {
    const double f = camera.FocalLength / std::abs(w.Depth + camera.EyeDistance);
    w.X = f * x + camera.HalfWidth;
    w.Y = camera.HalfHeight - f * y;
  }
  return w;
}

Vec3 ModelToWorkCoordinates(const WorkOffsetFrame& frame, const Vec3& p) {
  const Vec3 d = VectorSub(p, frame.Origin);
  if (frame.Rotary1 == 0.0 && frame.Rotary2 == 0.0) return d;
  return MultiplyMatrixVector(frame.InverseMatrix, d);
}

}  // namespace vestan
