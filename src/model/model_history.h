// The undo ring of a dexel model: push a deep copy of the current slot into
// the next one, pop back one slot, and estimate the memory the slots take.
#pragma once

#include <cstdint>

#include "model/dexel_model.h"

namespace vestan {

// The ring has SlotCount slots; a SlotCount below 1 (or above the slots that
// were allocated) is taken as what exists, at least 1. Neither operation
// touches a model that is not allocated.

// Copies the current slot (sets with their long columns, bounds, side flags
// and the slot's display handles) into the next slot of the ring, wrapping to
// slot 0, and makes it current. With one slot nothing is copied.
void PushModelHistory(DexelModel& model);

// Steps back one slot, from slot 0 to the highest slot used. Nothing is
// copied or freed.
void PopModelHistory(DexelModel& model);

// Bytes the model's slots and grid lines take: DexelModelBytes of its grid
// and slots, plus LongColumnBytes of every column. 0 for an absent model.
uint64_t EstimateModelMemory(const DexelModel& model);

}  // namespace vestan
