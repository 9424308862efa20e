// Stock of simple shape built directly as a dexel model (box, placed box,
// cylinder or tube along an axis), moving a model, and snapping a placement
// to exact axis directions.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/vector_math.h"
#include "model/dexel_model.h"

namespace vestan {

// The cylinder creator reports success with 0; callers of every creator test
// for a negative result.
inline constexpr int kCylinderOk = 0;

// Every creator expects the model's SlotCount set and the previous model
// freed; it sets everything else. Values it makes carry flag 0 and
// attribute 0. A refused or failed creation leaves the model absent (CountX
// 0, nothing allocated) and returns a negative code: kModelBadGrid for
// unusable input (a pitch <= 0 or not finite, a non-finite or empty extent, a
// grid beyond 32-bit column counts) or the code of AllocDexelModel.

// box: minimum X, Y, Z then maximum X, Y, Z in model coordinates. The grid
// starts at the minimum corner; columns on a last grid line beyond the box
// stay empty. Returns kModelOk.
int CreateBoxModelPlaced(DexelModel& model, const std::array<double, 6>& box,
                         const Placement& placement, double pitch);
// The same with the identity placement.
int CreateBoxModel(DexelModel& model, const std::array<double, 6>& box, double pitch);

// A cylinder (innerRadius 0) or a tube along axis 0 = X, 1 = Y, 2 = Z from the
// centre of its start face, base, over length. Refuses also an axis outside
// 0-2, a length or outer radius <= 0, an inner radius below 0 or above the
// outer one. Returns kCylinderOk.
int CreateCylinderModel(DexelModel& model, const Vec3& base, int axis, double length,
                        double outerRadius, double innerRadius, double pitch);

// Moves the model by delta in world coordinates: the placement's translation,
// NegTranslation and the current bounds. Placed is left to the caller.
void TranslateModel(DexelModel& model, const Vec3& delta);

// Derives InverseMatrix and NegTranslation from the placement and sets Placed
// (0 exactly for the identity placement).
void FinishModelPlacement(DexelModel& model);
// Makes the changed region the whole grid.
void MarkWholeGridChanged(DexelModel& model);

// Snaps near 0 and near +-1 elements (translation included) and clears the
// rest of an axis image that became exactly +-1. destination may be source.
void NormalizePlacementMatrix(const Placement& source, Placement& destination);

}  // namespace vestan
