// The narrow road from the simulation run to the cutting kernel: mount a
// tool beside the current one, cut one pose into the workpiece, read what
// the cut did. The kernel stands behind it in a run; tests put a recording
// fake in its place.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/vector_math.h"
#include "model/current_tool.h"
#include "model/cut_grid_context.h"
#include "model/tool_profile.h"
#include "model/work_document.h"

namespace vestan {

// What the run reads back after a pose.
struct CutOutputs {
  double PoseRemovedVolume = 0.0;
  int32_t MoveCutFlag = 0;  // the current move removed material
  int32_t BodyHitFlag = 0;
  int32_t ArborHitFlag = 0;
  int32_t HeightHitFlag = 0;
  int32_t ChipWidthHitFlag = 0;

  friend bool operator==(const CutOutputs&, const CutOutputs&) = default;
};

// A tool set up beside the current one (DeriveToolSetUp): its records and
// shape, its profile, and in Lengths its length value and reference length.
struct ToolSetUp {
  CurrentTool Tool;
  ToolProfile Profile;
  MachinePositionState Lengths;
};

class CuttingSeam {
 public:
  virtual ~CuttingSeam() = default;
  // The following cuts use tool, set up on a copy of its own (pitch: the
  // work model's); the current tool, the length in force and the tool table
  // stay as they are. Returns the set-up, valid until the next mount.
  virtual const ToolSetUp& MountTool(int32_t tool, double pitch) = 0;
  // The following cuts use the current tool again.
  virtual void UnmountTool() = 0;
  // Cuts the tool in use with its tip at tip and its axis along axis (work
  // coordinates) into the workpiece.
  virtual void CutPose(const Vec3& tip, const Vec3& axis) = 0;
  virtual CutOutputs Outputs() const = 0;
  // Before each step of the layout tools' pass: the seam goes on as a new
  // one would (the current tool cutting, the next mount set up afresh). A
  // seam that keeps nothing from step to step has nothing to do.
  virtual void StartAfresh() {}
};

// The seam over the kernel: CutToolPoseIntoModel on the document's
// workpiece, with cut's tool or a mounted one; the outputs are the run state
// the cut context writes. A mounted tool has length checks of its own (the
// current tool's report does not see them) and, being no current tool, no
// imported mesh: an imported mesh tool mounted beside the current one cuts
// nothing.
class KernelCutting final : public CuttingSeam {
 public:
  KernelCutting(const ToolSetUpSources& tools, CutContext& cut, WorkDocument& document)
      : tools_(tools), cut_(cut), document_(document) {}
  ~KernelCutting() override;

  const ToolSetUp& MountTool(int32_t tool, double pitch) override;
  void UnmountTool() override;
  void CutPose(const Vec3& tip, const Vec3& axis) override;
  CutOutputs Outputs() const override;
  // The next mount starts from what a new seam's would (a default set-up,
  // fresh length checks); the mounted tool's cut context, its worker
  // threads included, is kept.
  void StartAfresh() override;

 private:
  ToolSetUpSources tools_;
  CutContext& cut_;
  WorkDocument& document_;
  // Made at the first mount.
  std::unique_ptr<ToolSetUp> mounted_;
  ToolLengthChecks mountedLengths_;
  std::unique_ptr<CutContext> mountedCut_;
  bool useMounted_ = false;
};

}  // namespace vestan
