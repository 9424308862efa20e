// How much material the last cut changed: each direction's columns against the
// history slot saved before the cut, integrated over the grid cells.
#pragma once

#include <cstdint>

#include "model/dexel_model.h"

namespace vestan {

// One direction: rowCount rows of rowLength columns (column index = row *
// rowLength + position) of the saved and the current set. Every column whose
// material length differs (a NaN counts as different) adds 1 to
// changedColumns and (after - before) * weight to amount, the weight being
// cellArea halved in the first and last row and halved again at the first
// and last position of a row. Removed material gives a negative amount. Rows
// beyond either set's columns are not read.
void ComputeCutAmount(const DexelSet& saved, const DexelSet& current, int32_t rowLength,
                      int32_t rowCount, double cellArea, int32_t& changedColumns, double& amount);

// The cut amount of the model against the slot before the current one (the
// highest used slot when the current one is 0): the amount of the direction
// with the most changed columns, ties going to Z, then X, then Y. 0 for a
// model without data.
double ComputeCutAmountStats(const DexelModel& model);

}  // namespace vestan
