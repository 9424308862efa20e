// The narrow road from the simulation run to the cutting kernel: set the
// tool, cut one pose into the workpiece, read what the cut did. The kernel
// stands behind it in a run; tests put a recording fake in its place.
#pragma once

#include <cstdint>

#include "foundation/vector_math.h"
#include "model/current_tool.h"
#include "model/cut_grid_context.h"
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

class CuttingSeam {
 public:
  virtual ~CuttingSeam() = default;
  // Makes tool current for the following cuts; pitch is the work model's.
  virtual void SetTool(int32_t tool, double pitch) = 0;
  // Cuts the current tool with its tip at tip and its axis along axis (work
  // coordinates) into the workpiece.
  virtual void CutPose(const Vec3& tip, const Vec3& axis) = 0;
  virtual CutOutputs Outputs() const = 0;
};

// The seam over the kernel: SetCurrentTool and CutToolPoseIntoModel on the
// document's workpiece; the outputs are the run state the cut context
// writes.
class KernelCutting final : public CuttingSeam {
 public:
  KernelCutting(ToolChangeRecords& tools, CutContext& cut, WorkDocument& document)
      : tools_(tools), cut_(cut), document_(document) {}

  void SetTool(int32_t tool, double pitch) override;
  void CutPose(const Vec3& tip, const Vec3& axis) override;
  CutOutputs Outputs() const override;

 private:
  ToolChangeRecords& tools_;
  CutContext& cut_;
  WorkDocument& document_;
};

}  // namespace vestan
