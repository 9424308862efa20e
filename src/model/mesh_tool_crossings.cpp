#include "model/mesh_tool_crossings.h"

#include <algorithm>

namespace vestan {

void CrossingSet::Grow() { Touched.emplace_back(); }

void AllocCutWorkArrays(MeshToolCrossings& crossings, const DexelModel& model) {
  if (!model.Allocated()) {
    FreeCutWorkArrays(crossings);
    return;
  }
  const std::array<const DexelSet*, 3> sets{&model.XSet(), &model.YSet(), &model.ZSet()};
  // Rows run along Y for the X set, along Z for the Y set, along X for Z.
  const std::array<int32_t, 3> rowLengths{model.CountY, model.CountZ, model.CountX};
  for (size_t k = 0; k < sets.size(); ++k) {
    CrossingSet& set = crossings.Directions[k];
    set.RowLength = rowLengths[k];
    set.Entry.assign(sets[k]->Counts.size(), -1);
    set.Touched.clear();
    set.Used = 0;
    set.LowU = set.LowV = 0;
    set.HighU = set.HighV = -1;
  }
}

void FreeCutWorkArrays(MeshToolCrossings& crossings) {
  for (CrossingSet& set : crossings.Directions) set = CrossingSet{};
}

namespace detail {

bool AppendLongCrossing(CrossingColumn& column, double value) {
  if (column.Count >= kMaxColumnValues) return false;
  if (column.Count == kDexelStride) column.Spill.assign(column.Inline.begin(), column.Inline.end());
  column.Spill.push_back(value);
  ++column.Count;
  return true;
}

}  // namespace detail

}  // namespace vestan
