// Taking points of a machine part (the mesh tool) into machine coordinates
// for a machine position, and machine points into a model's frame.
#pragma once

#include <array>

#include "foundation/vector_math.h"
#include "model/dexel_model.h"
#include "model/position_state.h"

namespace vestan {

// The machine coordinates of a point given in tool coordinates (tool axis
// along +Z, z already reduced by the reference length) at position, on a
// machine that turns neither its head nor its table: the point moved by X, Y,
// Z.
Vec3 TransformInterferencePart(const AxisPosition& position, const Vec3& point);

// Replaces a world point by its model coordinates when the model's placement
// is not the identity: the stored negated translation is added, then the
// stored inverse matrix applied. Otherwise the point stays.
void TransformPointToModel(const DexelModel& model, Vec3& point);

}  // namespace vestan
