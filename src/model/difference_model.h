// The difference model: the basic (reference) model grown or shrunk by the
// difference margin on its own grid, rebuilt only when the margin or the area
// changed since it was last built.
#pragma once

#include <cstdint>

#include "definitions/settings.h"
#include "model/dexel_model.h"
#include "model/model_offset.h"
#include "platform/progress.h"

namespace vestan {

// Built while its CountX is above 0.
inline bool DifferenceModelBuilt(const DexelModel& difference) { return difference.CountX > 0; }

// Makes difference match settings.Area and settings.Margin: kept when they
// equal BuiltArea and BuiltMargin, else built again from reference (grown by
// the margin for Area +1, shrunk for Area -1) with the workpiece's pitch and
// placement and reference's grid; every flag of the result is 0. Then
// BuiltArea and BuiltMargin take Area and Margin. Returns kModelOk, or, with
// difference left unbuilt and BuiltArea and BuiltMargin as they were,
// kModelBadGrid for an absent reference or workpiece or the allocation's code.
int UpdateDifferenceModel(const DexelModel& work, const DexelModel& reference,
                          DexelModel& difference, DifferenceSettings& settings,
                          ProgressState& progress);

// Grows (d > 0: the Normal passes, each column's ends held within 0.1 of the
// grid's box) or shrinks (d <= 0) source into target, which shares its grid
// and holds its copy; k = ceil(|d| / pitch). Then closes narrow gaps.
void BuildOffsetDifferenceModel(const DexelModel& source, int32_t k, double d, DexelModel& target,
                                OffsetWork& work);

// Sets every flag byte of the model to 0.
void ClearModelFlags(DexelModel& model);

}  // namespace vestan
