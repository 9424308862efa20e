#include "model/cutting_seam.h"

#include "model/tool_pose_cutting.h"

namespace vestan {

void KernelCutting::SetTool(int32_t tool, double pitch) { SetCurrentTool(tool, pitch, tools_); }

void KernelCutting::CutPose(const Vec3& tip, const Vec3& axis) {
  CutToolPoseIntoModel(cut_, document_.Workpiece(), tip, axis);
}

CutOutputs KernelCutting::Outputs() const {
  const RunState& run = cut_.Records.Run;
  return {run.PoseRemovedVolume, run.MoveCutFlag,        run.Hits.BodyHitFlag,
          run.Hits.ArborHitFlag, run.Hits.HeightHitFlag, run.Hits.ChipWidthHitFlag};
}

}  // namespace vestan
