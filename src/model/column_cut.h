// Removing one tool interval from one column of a cut grid context: the
// subtraction, the context's sums and the update blocks, in one step that
// every cutter uses.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "model/cut_grid_context.h"

namespace vestan {

// How the interval meets the column's pairs: the general cutter's recording
// cut, or the tool body's and arbor's cut, for which ends within
// kTouchingTolerance touch.
enum class CutRule { kRecording, kTouching };

// One interval to remove from column (I, J) of a context.
struct ColumnCut {
  int32_t I = 0;  // column index along u
  int32_t J = 0;  // row index along v
  double CellArea = 0.0;
  std::array<double, 2> Interval{};  // low, high along w
  std::array<uint8_t, 2> FaceFlags{};
  std::array<int32_t, 2> FaceAttributes{};
};

// Calls visit(i, j) for every column of the context's range (rows outer,
// clipped to the grid) that holds material, until visit returns true; then
// returns true.
template <typename Visit>
bool VisitRangeColumns(const CutGridContext& grid, Visit&& visit) {
  if (grid.Set == nullptr) return false;
  const int32_t u0 = std::max(grid.RangeU0, 0), u1 = std::min(grid.RangeU1, grid.LastU);
  const int32_t v0 = std::max(grid.RangeV0, 0), v1 = std::min(grid.RangeV1, grid.LastV);
  const int32_t* counts = grid.Set->Counts.data();
  for (int32_t j = v0; j <= v1; ++j) {
    const int32_t* row = counts + static_cast<size_t>(j) * grid.CountU;
    for (int32_t i = u0; i <= u1; ++i) {
      if (row[i] != 0 && visit(i, j)) return true;
    }
  }
  return false;
}

// Height above the tip plane of the point at value 0 of dexel line (i, j).
inline double LineHeightOf(const ToolPose& pose, const CutGridContext& grid, int32_t i, int32_t j) {
  return pose.Normal[grid.AxisU] * grid.CoordU[i] + pose.Normal[grid.AxisV] * grid.CoordV[j] +
         pose.PlaneConstant;
}

// Removes the interval from the model's column: the column is edited in
// place (or grown through the model's column edit, which refuses a column
// past its limit), RemovedVolume and RemovedCount grow, and the update blocks
// the removed pieces touch are marked. Returns the removed pieces (ascending
// value pairs, a view of the context's scratch valid until the next cut);
// empty when nothing was removed. An interval that is not ordered (or not a
// number) removes nothing.
std::span<const double> CutColumnInterval(CutContext& cut, CutGridContext& grid, const ColumnCut& c,
                                          CutRule rule);

// The same on a copy of the column: the model, the blocks and RemovedCount
// stay; volume grows by what the cut would remove. Returns the pieces the cut
// would remove.
std::span<const double> ProbeColumnInterval(CutContext& cut, const CutGridContext& grid,
                                            const ColumnCut& c, CutRule rule, double& volume);

}  // namespace vestan
