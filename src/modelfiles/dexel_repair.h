// Repair of the columns of a model sliced from a mesh: where a column's hits
// do not pair up, the two other directions, which sampled the same space on
// their own, say whether the space between two neighbouring values is
// material, and the column is rebuilt from their answers.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/dexel_model.h"
#include "platform/progress.h"

namespace vestan {

// What the probes said of one segment between neighbouring values.
inline constexpr uint8_t kSegmentMaterial = 1;
inline constexpr uint8_t kSegmentEmptyFirstFew = 255;    // first probe, at most 2 values
inline constexpr uint8_t kSegmentEmptySecondFew = 254;   // second probe, at most 2 values
inline constexpr uint8_t kSegmentEmptyFirstMany = 253;   // first probe, more than 2 values
inline constexpr uint8_t kSegmentEmptySecondMany = 252;  // second probe, more than 2 values
inline constexpr uint8_t kSegmentNoProbe = 251;          // no usable probe column
inline constexpr uint8_t kSegmentNoGridLine = 250;       // no grid line inside the segment

// The state the two passes share: the counts of the X, Y and Z sets as they
// were before pass 0 (they break ties between the two probes), and per set
// whether pass 0 left a rebuilt column odd.
struct DexelRepairState {
  std::array<std::vector<int32_t>, 3> CountsBefore;  // X, Y, Z
  std::array<int32_t, 3> OddSets{};                  // X, Y, Z
};

// Takes the counts and clears the odd-set flags, before pass 0.
void PrepareDexelRepair(const DexelModel& model, DexelRepairState& state);

// Pass 0 rebuilds every column of more than 2 values of the X, Y and Z sets
// in turn (a later set's probes see the earlier sets repaired) and flags a
// set it leaves a column odd in (a single value included); pass 1 treats
// only flagged sets, rebuilds their odd columns and empties any that stay
// odd. One waiting message is
// taken after each set while the pump is on.
void RepairDexelModel(DexelModel& model, int32_t pass, DexelRepairState& state,
                      ProgressState* progress = nullptr);

// Both passes as a sliced model needs them: pass 1 only when pass 0 left an
// odd column.
void RepairSlicedModel(DexelModel& model, ProgressState* progress = nullptr);

// The verdict of every segment of one column of the set along direction
// (0 X, 1 Y, 2 Z), by the probes of the two other sets.
std::vector<uint8_t> ComputeSegmentVerdicts(const DexelModel& model, int direction, int32_t column,
                                            const DexelRepairState& state);

}  // namespace vestan
