// Taking machine points into a model's frame.
#pragma once

#include <array>

#include "foundation/vector_math.h"
#include "model/dexel_model.h"

namespace vestan {

// Replaces a world point by its model coordinates when the model's placement
// is not the identity: the stored negated translation is added, then the
// stored inverse matrix applied. Otherwise the point stays.
void TransformPointToModel(const DexelModel& model, Vec3& point);

}  // namespace vestan
