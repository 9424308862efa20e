#include "model/column_cut.h"

#include <algorithm>
#include <limits>

namespace vestan {

namespace {

// Grid index of a coordinate along u, as a double (far values stay finite).
double IndexOf(const CutGridContext& grid, double u) { return (u - grid.CoordU[0]) / grid.Pitch; }

}  // namespace

ReachTest MakeReachTest(const CutGridContext& grid, const PassReach& reach) {
  // Well above the rounding of the solids' arithmetic, well below a cell.
  constexpr double kMargin = 1e-6;
  const double limit = reach.Radius + kMargin + reach.Radius * 1e-9;
  ReachTest test;
  test.BaseU = grid.PosePoints[0][0];
  test.BaseV = grid.PosePoints[0][1];
  test.AxisU = grid.PoseAxis[0];
  test.AxisV = grid.PoseAxis[1];
  const double s = test.AxisU * test.AxisU + test.AxisV * test.AxisV;
  test.Along = s == 0.0;
  test.Limit = test.Along ? limit * limit : limit * std::sqrt(s);
  test.Across = grid.PoseAxis[2] == 0.0 && reach.AxialLow > -1e300;
  test.AxialLow = reach.AxialLow - kMargin;
  return test;
}

bool ReachableColumns(const CutGridContext& grid, const ReachTest& test, int32_t j, int32_t& first,
                      int32_t& last) {
  const double dv = test.BaseV - grid.CoordV[j];
  double low, high;  // the u where the test may hold
  if (test.Along) {
    const double rest = test.Limit - dv * dv;
    if (rest < 0) return false;
    const double half = std::sqrt(rest);
    low = test.BaseU - half;
    high = test.BaseU + half;
  } else if (test.AxisV == 0.0) {
    // The distance does not change along the row.
    if (!(std::fabs(test.AxisU * dv) <= test.Limit)) return false;
    low = -std::numeric_limits<double>::infinity();
    high = std::numeric_limits<double>::infinity();
  } else {
    const double centre = test.BaseU - test.AxisU * dv / test.AxisV;
    const double half = test.Limit / std::fabs(test.AxisV);
    low = centre - half;
    high = centre + half;
  }
  if (test.Across) {
    // Axis parameter AxisU (u - BaseU) - AxisV dv, at least AxialLow.
    const double rest = test.AxialLow + test.AxisV * dv;
    if (test.AxisU == 0.0) {
      if (rest > 0) return false;
    } else if (test.AxisU > 0) {
      low = std::max(low, test.BaseU + rest / test.AxisU);
    } else {
      high = std::min(high, test.BaseU + rest / test.AxisU);
    }
  }
  const double from = std::floor(IndexOf(grid, low)) - 1, to = std::ceil(IndexOf(grid, high)) + 1;
  if (!(from <= last) || !(to >= first)) return false;
  if (from > first) first = static_cast<int32_t>(from);
  if (to < last) last = static_cast<int32_t>(to);
  return first <= last;
}

std::span<const double> CutColumnInterval(CutContext& cut, CutGridContext& grid,
                                          const ColumnCut& c) {
  if (!IntervalMeetsColumn(grid, c.I, c.J, c.Cut.Interval, c.Cut.Touching)) return {};
  return CutMetColumnInterval(cut, grid, c);
}

namespace detail {

std::span<const double> CutColumnThroughEdit(CutContext& cut, CutGridContext& grid,
                                             const ColumnCut& c) {
  std::span<double> pieces = cut.RemovedPieces;
  int32_t removed = 0;
  std::unique_lock<std::mutex> lock;
  if (cut.ColumnEditLock != nullptr) lock = std::unique_lock<std::mutex>(*cut.ColumnEditLock);
  const ColumnEditResult result = EditDexelColumn(
      *grid.Set, c.J * grid.CountU + c.I, cut.ColumnScratch, [&](DexelColumnEdit& edit) {
        const int32_t before = edit.Count;
        if (!CutColumnRecording(edit, c.Cut, grid.RemovedVolume, pieces, removed))
          return ColumnEditStatus::kNoRoom;
        return removed > 0 || edit.Count != before ? ColumnEditStatus::kChanged
                                                   : ColumnEditStatus::kUnchanged;
      });
  if (result != ColumnEditResult::kChanged) return {};
  return BookColumnCut(grid, c, pieces.first(removed));
}

}  // namespace detail

std::span<const double> ProbeColumnInterval(CutContext& cut, const CutGridContext& grid,
                                            const ColumnCut& c, double& volume) {
  if (!IntervalMeetsColumn(grid, c.I, c.J, c.Cut.Interval, c.Cut.Touching)) return {};
  DexelColumnEdit copy =
      CopyDexelColumnForEdit(*grid.Set, c.J * grid.CountU + c.I, cut.ColumnScratch);
  int32_t removed = 0;
  if (!CutColumnRecording(copy, c.Cut, volume, cut.RemovedPieces, removed)) return {};
  return std::span<const double>(cut.RemovedPieces).first(removed);
}

}  // namespace vestan
