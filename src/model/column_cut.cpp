#include "model/column_cut.h"

#include <algorithm>
#include <array>
#include <cmath>
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

void ClipRangeToMaterial(CutGridContext& grid, const PassReach& reach) {
  if (grid.Set == nullptr || !(reach.Radius >= 0) || !std::isfinite(reach.Radius)) return;
  const DexelSet& set = *grid.Set;
  const int32_t u0 = std::max(grid.RangeU0, 0), u1 = std::min(grid.RangeU1, grid.LastU);
  const int32_t v0 = std::max(grid.RangeV0, 0), v1 = std::min(grid.RangeV1, grid.LastV);
  if (u1 < u0 || v1 < v0) return;
  const auto none = [&] { grid.RangeV1 = grid.RangeV0 - 1; };
  // No value ever written: no material.
  if (!(set.LowestValue <= set.HighestValue)) return none();
  if (!std::isfinite(set.LowestValue) || !std::isfinite(set.HighestValue)) return;
  const Vec3& base = grid.PosePoints[0];
  const Vec3& axis = grid.PoseAxis;
  // The material lies in the box of the range's lines and the set's values.
  const std::array<double, 3> low{grid.CoordU[u0], grid.CoordV[v0], set.LowestValue};
  const std::array<double, 3> high{grid.CoordU[u1], grid.CoordV[v1], set.HighestValue};
  double size = reach.Radius;
  for (int k = 0; k < 3; ++k) size += std::fabs(low[k]) + std::fabs(high[k]) + std::fabs(base[k]);
  // Well above the rounding of the solids' and this arithmetic.
  const double out = reach.Radius + 1e-6 + 1e-9 * size;
  // A point of the solids lies within out of the axis point at its axis
  // parameter t, so along each axis t a_k lies within out of the box's side
  // less the base: the parameters where the solids may meet material.
  double tFrom = reach.AxialLow, tTo = std::numeric_limits<double>::infinity();
  for (int k = 0; k < 3; ++k) {
    const double from = low[k] - base[k] - out, to = high[k] - base[k] + out;
    if (axis[k] == 0.0) {
      if (from > 0 || to < 0) return none();
      continue;
    }
    const double a = from / axis[k], b = to / axis[k];
    tFrom = std::max(tFrom, std::min(a, b));
    tTo = std::min(tTo, std::max(a, b));
  }
  if (!(tFrom <= tTo)) return none();
  // Where along u and v those points lie.
  const auto span = [&](int k, double& from, double& to) {
    const double a = tFrom * axis[k], b = tTo * axis[k];
    from = base[k] + std::min(a, b) - out;
    to = base[k] + std::max(a, b) + out;
  };
  double uFrom, uTo, vFrom, vTo;
  span(0, uFrom, uTo);
  span(1, vFrom, vTo);
  // Rows out of it hold no line that could be cut: they go whole. In a row
  // only the lines after the last that could be cut go: the row states that
  // earlier lines carry reach the lines cut after them.
  const double lastU = std::ceil(IndexOf(grid, uTo)) + 1;
  const double firstV = std::floor((vFrom - grid.CoordV[0]) / grid.Pitch) - 1;
  const double lastV = std::ceil((vTo - grid.CoordV[0]) / grid.Pitch) + 1;
  if (!(lastU >= u0) || !(lastV >= v0) || !(firstV <= v1)) return none();
  if (lastU < grid.RangeU1) grid.RangeU1 = static_cast<int32_t>(lastU);
  if (firstV > grid.RangeV0) grid.RangeV0 = static_cast<int32_t>(firstV);
  if (lastV < grid.RangeV1) grid.RangeV1 = static_cast<int32_t>(lastV);
}

std::span<const double> CutColumnInterval(CutContext& cut, CutGridContext& grid,
                                          const ColumnCut& c) {
  if (!IntervalMeetsColumn(grid, c.I, c.J, c.Cut.Interval, c.Cut.Touching)) return {};
  // A pair end that touches the interval moves to it, which may be up to the
  // touching distance beyond the pair: the set's extent takes the interval.
  if (c.Cut.Touching != 0.0) WidenDexelSetExtent(*grid.Set, c.Cut.Interval[0], c.Cut.Interval[1]);
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
