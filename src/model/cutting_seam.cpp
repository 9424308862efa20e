#include "model/cutting_seam.h"

#include "model/tool_pose_cutting.h"

namespace vestan {

KernelCutting::~KernelCutting() = default;

const ToolSetUp& KernelCutting::MountTool(int32_t tool, double pitch) {
  if (!mounted_) {
    mounted_ = std::make_unique<ToolSetUp>();
    const CutRecords& run = cut_.Records;
    mountedCut_ = std::make_unique<CutContext>(
        CutRecords{mounted_->Tool, mountedLengths_, run.Checks, run.Run, run.Document});
    mountedCut_->Threads = cut_.Threads;
    mountedCut_->ParallelMinColumns = cut_.ParallelMinColumns;
    mountedCut_->PlainColumnScan = cut_.PlainColumnScan;
  }
  // Fields a kind does not set would keep the last mounted tool's values,
  // as the current tool keeps an earlier tool's.
  DeriveToolSetUp(tool, pitch, tools_, mounted_->Tool, mounted_->Profile, mounted_->Lengths);
  useMounted_ = true;
  return *mounted_;
}

void KernelCutting::UnmountTool() { useMounted_ = false; }

void KernelCutting::StartAfresh() {
  useMounted_ = false;
  if (!mounted_) return;
  // In place: the mounted cut's records refer to both.
  *mounted_ = ToolSetUp{};
  mountedLengths_ = ToolLengthChecks{};
}

void KernelCutting::CutPose(const Vec3& tip, const Vec3& axis) {
  CutToolPoseIntoModel(useMounted_ ? *mountedCut_ : cut_, document_.Workpiece(), tip, axis);
}

CutOutputs KernelCutting::Outputs() const {
  const RunState& run = cut_.Records.Run;
  return {run.PoseRemovedVolume, run.MoveCutFlag,        run.Hits.BodyHitFlag,
          run.Hits.ArborHitFlag, run.Hits.HeightHitFlag, run.Hits.ChipWidthHitFlag};
}

}  // namespace vestan
