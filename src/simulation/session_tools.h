// The tool change of the session, in its order: the tool set-up of the
// model, then the length offset booking and the tool-length vector of the
// NC state, then the shape of an imported STL tool; and the cutting seam
// that changes tools that way.
#pragma once

#include <cstdint>

#include "model/cutting_seam.h"
#include "simulation/session.h"

namespace vestan {

// Makes tool `tool` current at the given pitch (the work model's; 0 when
// only the figure is needed): SetCurrentTool; then, for a defined tool,
// while either length-offset flag is set the tool's length offset is booked
// into the session's offset memory under its number (by the TOOL BASE POINT
// rule), on a machine whose first rotary axis is B with tool-length vectors
// and length compensation on the tool-length vector follows the rotary
// position, and an imported STL tool's shape is read again (turned by the
// angle head in use).
void ApplyToolChange(Session& session, int32_t tool, double pitch);

// The cutting seam of the session: a pose cut by the kernel into the
// workpiece with the pass's cut context, by the current tool or by a tool
// mounted beside it, which is set up from the session's tool table on a
// copy of its own (no tool change).
class SessionCutting final : public CuttingSeam {
 public:
  // Cuts with the session's current pass (StartRunPass); a seam serves the
  // pass it was made in.
  explicit SessionCutting(Session& session);

  const ToolSetUp& MountTool(int32_t tool, double pitch) override;
  void UnmountTool() override;
  void CutPose(const Vec3& tip, const Vec3& axis) override;
  CutOutputs Outputs() const override;
  void StartAfresh() override;

 private:
  KernelCutting kernel_;
};

}  // namespace vestan
