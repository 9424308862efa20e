#include "display/coordinate_frames.h"

#include "machine/work_offset_frame.h"

namespace vestan {

CoordinateFrame MakeCoordinateFrame(const WorkOffsetFrame& frame, double scale) {
  CoordinateFrame out;
  out.Origin = frame.Origin;
  // Column c of the frame's matrix is the image of axis c.
  for (size_t a = 0; a < 3; ++a)
    for (size_t k = 0; k < 3; ++k) {
      out.Axes[a][k] = frame.Matrix[3 * a + k];
      out.ScaledAxes[a][k] = out.Axes[a][k] * scale;
    }
  out.InverseAxes = frame.InverseMatrix;
  return out;
}

CoordinateFrame BuildCoordinateFrame(const WorkOffsetValues& offset,
                                     const MachineKinematics& kinematics,
                                     const ControllerDefinition& controller, double scale) {
  return MakeCoordinateFrame(ComputeWorkOffsetFrame(offset, kinematics, controller), scale);
}

CoordinateFrame BuildTiltedPlaneFrame(const WorkpiecePlacement& placement,
                                      const TiltedPlaneFrame& plane,
                                      const WorkOffsetValues& workOffset) {
  CoordinateFrame out;
  out.Origin = TransformPositionByMatrix(placement, plane, workOffset, {0.0, 0.0, 0.0});
  for (size_t a = 0; a < 3; ++a) {
    Vec3 unit{0.0, 0.0, 0.0};
    unit[a] = 1.0;
    out.Axes[a] =
        VectorSub(TransformPositionByMatrix(placement, plane, workOffset, unit), out.Origin);
    for (size_t k = 0; k < 3; ++k) out.ScaledAxes[a][k] = out.Axes[a][k] * kTiltedPlaneFrameScale;
  }
  out.InverseAxes = InvertMatrix3(
      {out.Axes[0][0], out.Axes[0][1], out.Axes[0][2], out.Axes[1][0], out.Axes[1][1],
       out.Axes[1][2], out.Axes[2][0], out.Axes[2][1], out.Axes[2][2]});
  return out;
}

void UpdateWorkCoordinateFrame(const OffsetMemory& offsets, const MachineKinematics& kinematics,
                               const ControllerDefinition& controller, CoordinateFrame& frame,
                               DisplayListTable& display) {
  static const WorkOffsetValues kNone{};
  const WorkOffsetValues& first = offsets.WorkOffsets.empty() ? kNone : offsets.WorkOffsets[0];
  frame = BuildCoordinateFrame(first, kinematics, controller, kFirstWorkFrameScale);
  display.RequestRebuild(kListCoordinateAxes);
}

}  // namespace vestan
