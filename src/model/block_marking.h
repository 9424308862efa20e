// Marking the update blocks that a removal from one column touched, so that
// the display redraws only those blocks.
#pragma once

#include <cstdint>
#include <span>

#include "model/dexel_model.h"

namespace vestan {

// Each takes the block ranges of the two cross axes (low, high; inclusive)
// and the removed values along the column, ascending (at least one).
// Columns along X: cross axes Y then Z.
void MarkChangedBlocks(DexelModel& model, int32_t lowY, int32_t highY, int32_t lowZ, int32_t highZ,
                       std::span<const double> removed);
// Columns along Y: cross axes Z then X.
void MarkChangedBlocksY(DexelModel& model, int32_t lowZ, int32_t highZ, int32_t lowX, int32_t highX,
                        std::span<const double> removed);
// Columns along Z: cross axes X then Y.
void MarkChangedBlocksZ(DexelModel& model, int32_t lowX, int32_t highX, int32_t lowY, int32_t highY,
                        std::span<const double> removed);

}  // namespace vestan
