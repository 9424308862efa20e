// Cutting one tool pose into the work model: the cutting part, the tool body
// and the arbor, or the clearance searches of the length check.
#pragma once

#include "foundation/vector_math.h"
#include "model/cut_grid_context.h"

namespace vestan {

// Removes from the model everything the current tool occupies with its tip
// at tip and its axis along axis (work coordinates; the axis need not be
// exactly unit): the cutting part (the general cutter, or the mesh-tool
// cutter for an imported mesh), then the tool body and the arbor, which cut
// or only search for their clear lengths as ARBOR CHECK says.
//
// Nothing happens while NC cutting is off, no workpiece exists, the work
// state forbids cutting or the current tool is not defined, nor for a tip or
// axis that is not finite or an axis of length 0. Otherwise the run's
// PoseRemovedVolume is the pose's removed volume (0 when nothing was cut),
// and MoveCutFlag, the current process's cut flag and the body and arbor hit
// flags are set as material goes.
void CutToolPoseIntoModel(CutContext& cut, DexelModel& model, const Vec3& tip, const Vec3& axis);

}  // namespace vestan
