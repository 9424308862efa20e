// Cutting an imported mesh tool (cutter kind 999) out of the model at one
// pose.
#pragma once

#include <cstdint>

#include "model/cut_grid_context.h"

namespace vestan {

// Cuts the current tool's mesh at the pose from all three directions of the
// contexts' ranges, adding to their sums. Not built yet: removes nothing.
// Always returns 0.
int32_t CutWithMeshTool(CutContext& cut, DexelModel& model);

}  // namespace vestan
