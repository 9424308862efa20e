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

void UpdateWorkCoordinateFrame(const OffsetMemory& offsets, const MachineKinematics& kinematics,
                               const ControllerDefinition& controller, CoordinateFrame& frame,
                               DisplayListTable& display) {
  static const WorkOffsetValues kNone{};
  const WorkOffsetValues& first = offsets.WorkOffsets.empty() ? kNone : offsets.WorkOffsets[0];
  frame = BuildCoordinateFrame(first, kinematics, controller, kFirstWorkFrameScale);
  display.RequestRebuild(kListCoordinateAxes);
}

}  // namespace vestan
