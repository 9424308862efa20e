// Removing one tool interval from one column of a cut grid context: the
// subtraction, the context's sums and the update blocks, in one step that
// every cutter uses.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>

#include "model/block_marking.h"
#include "model/column_operations.h"
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
  RecordingCut Cut;
};

// The cut of an interval (low, high along w) from column (i, j) with the
// context's pitch, grid and cell area.
inline ColumnCut MakeColumnCut(const CutGridContext& grid, int32_t i, int32_t j,
                               const std::array<double, 2>& interval,
                               const std::array<uint8_t, 2>& faceFlags,
                               const std::array<int32_t, 2>& faceAttributes, CutRule rule) {
  ColumnCut c;
  c.I = i;
  c.J = j;
  c.Cut.Interval = interval;
  c.Cut.FaceFlags = faceFlags;
  c.Cut.FaceAttributes = faceAttributes;
  c.Cut.Pitch = grid.Pitch;
  c.Cut.GridOrigin = grid.CoordW[0];
  c.Cut.Weight = CellArea(grid, i, j);
  c.Cut.Touching = rule == CutRule::kTouching ? kTouchingTolerance : 0.0;
  c.Cut.VolumeTerms = grid.VolumeTerms;
  return c;
}

// A pass's reach (PassReach) as a test of dexel lines, in the (u, v) plane
// where a line is a point: its distance from the axis line, and, with the
// axis across the lines (its axis parameter then fixed along a line), that
// parameter.
struct ReachTest {
  double BaseU = 0.0, BaseV = 0.0;
  double AxisU = 0.0, AxisV = 0.0;
  bool Along = false;  // axis along the dexel lines: the plain distance decides
  // Along: the squared reach; else the reach times |(AxisU, AxisV)|.
  double Limit = 0.0;
  bool Across = false;  // axis across the lines
  double AxialLow = 0.0;

  bool Within(double u, double v) const {
    const double du = BaseU - u, dv = BaseV - v;
    if (Across && -(AxisU * du + AxisV * dv) < AxialLow) return false;
    if (Along) return du * du + dv * dv <= Limit;
    return std::fabs(AxisV * du - AxisU * dv) <= Limit;
  }
};

// The test of a reach, widened by a margin far above rounding.
ReachTest MakeReachTest(const CutGridContext& grid, const PassReach& reach);

// The columns of row j that may pass the test, padded by one and clipped to
// [first, last] as given; false when none may.
bool ReachableColumns(const CutGridContext& grid, const ReachTest& test, int32_t j, int32_t& first,
                      int32_t& last);

// Narrows the context's range to the lines a pass within the reach could
// cut, given that no material lies beyond the set's value extent along the
// lines: whole rows, and in each row the lines after the last that could be
// cut (earlier lines move the row states later lines see, so they stay).
// An unknown reach leaves the range as it is.
void ClipRangeToMaterial(CutGridContext& grid, const PassReach& reach);

// Calls visit(i, j) for every column of the context's range (rows outer,
// clipped to the grid) that holds material, until visit returns true; then
// returns true; counts the visits in VisitedColumns. With a known reach only
// columns within it are visited (what is skipped cannot meet the pass's
// solids).
template <typename Visit>
bool VisitRangeColumns(CutGridContext& grid, const PassReach& reach, Visit&& visit) {
  if (grid.Set == nullptr) return false;
  const int32_t u0 = std::max(grid.RangeU0, 0), u1 = std::min(grid.RangeU1, grid.LastU);
  const int32_t v0 = std::max(grid.RangeV0, 0), v1 = std::min(grid.RangeV1, grid.LastV);
  const bool limited = reach.Radius >= 0 && std::isfinite(reach.Radius);
  const ReachTest test = limited ? MakeReachTest(grid, reach) : ReachTest{};
  // Held apart from the set, which visit writes.
  const int32_t* counts = grid.Set->Counts.data();
  const double* slots = grid.Set->Values.data();
  const size_t stride = static_cast<size_t>(grid.Set->Stride);
  const double* coordU = grid.CoordU.data();
  int64_t visited = 0;
  bool stopped = false;
  for (int32_t j = v0; j <= v1 && !stopped; ++j) {
    int32_t first = u0, last = u1;
    const double v = grid.CoordV[j];
    if (limited) {
      if (!ReachableColumns(grid, test, j, first, last)) continue;
      // Along a row the test holds on one run of columns (each of its parts
      // is monotone or V-shaped in u): find its ends.
      while (first <= last && !test.Within(coordU[first], v)) ++first;
      while (last >= first && !test.Within(coordU[last], v)) --last;
    }
    const size_t rowStart = static_cast<size_t>(j) * grid.CountU;
    const int32_t* row = counts + rowStart;
    // The slots of the columns a few steps ahead, while this one is cut.
    const double* ahead = slots + (rowStart + first + 8) * stride;
    for (int32_t i = first; i <= last; ++i, ahead += stride) {
      if (i + 8 <= last) __builtin_prefetch(ahead);
      if (row[i] == 0) continue;
      ++visited;
      if (visit(i, j)) {
        stopped = true;
        break;
      }
    }
  }
  grid.VisitedColumns += visited;
  return stopped;
}

// Height above the tip plane of the point at value 0 of dexel line (i, j).
inline double LineHeightOf(const ToolPose& pose, const CutGridContext& grid, int32_t i, int32_t j) {
  return pose.Normal[grid.AxisU] * grid.CoordU[i] + pose.Normal[grid.AxisV] * grid.CoordV[j] +
         pose.PlaneConstant;
}

// False when the interval certainly leaves column (i, j) as it is: it lies
// beyond the column's material (a pair ending at or below its start or
// starting at or above its end, within touching, stays), or has no length (a
// solid touched at a point removes nothing; cut, it would split a pair into
// two touching ones).
inline bool IntervalMeetsColumn(const CutGridContext& grid, int32_t i, int32_t j,
                                const std::array<double, 2>& interval, double touching) {
  if (!(interval[0] < interval[1])) return false;
  const std::span<const double> values = DexelColumnValues(*grid.Set, j * grid.CountU + i);
  return !values.empty() && values.front() < interval[1] + touching &&
         values.back() > interval[0] - touching;
}

// A column that an interval meets (as IntervalMeetsColumn with no touching
// finds it), with its count as found; none: the interval leaves it.
struct MetColumn {
  int32_t Column = -1;
  int32_t Count = 0;
  explicit operator bool() const { return Column >= 0; }
};

inline MetColumn MeetColumn(const CutGridContext& grid, int32_t i, int32_t j,
                            const std::array<double, 2>& interval) {
  if (!(interval[0] < interval[1])) return {};
  const DexelSet& set = *grid.Set;
  const int32_t column = j * grid.CountU + i;
  const int32_t count = set.Counts[column];
  if (count < 1) return {};
  if (count > set.Stride) {
    const std::vector<double>& values = detail::LongColumnOf(set, column).Values;
    if (!(values.front() < interval[1] && values.back() > interval[0])) return {};
    return {column, count};
  }
  const double* values = set.Values.data() + static_cast<size_t>(column) * set.Stride;
  if (!(values[0] < interval[1] && values[count - 1] > interval[0])) return {};
  return {column, count};
}

// Removes the interval from the model's column: the column is edited in
// place (or grown through the model's column edit, which refuses a column
// past its limit), RemovedVolume and RemovedCount grow, and the update blocks
// the removed pieces touch are marked. Returns the removed pieces (ascending
// value pairs, a view of the context's scratch valid until the next cut);
// empty when nothing was removed. An interval of no length, reversed or not
// a number removes nothing.
std::span<const double> CutColumnInterval(CutContext& cut, CutGridContext& grid,
                                          const ColumnCut& c);
// The same for an interval that IntervalMeetsColumn (with the cut's
// touching) has just let through. Inline: the cutters call it for every line
// they cut.
inline std::span<const double> CutMetColumnInterval(CutContext& cut, CutGridContext& grid,
                                                    const ColumnCut& c);

// The same on a copy of the column: the model, the blocks and RemovedCount
// stay; volume grows by what the cut would remove. Returns the pieces the cut
// would remove.
std::span<const double> ProbeColumnInterval(CutContext& cut, const CutGridContext& grid,
                                            const ColumnCut& c, double& volume);

namespace detail {

// Books a cut's removed pieces (at least one): the context's count and the
// update blocks they touch. Returns them.
inline std::span<const double> BookColumnCut(CutGridContext& grid, int32_t i, int32_t j,
                                             std::span<const double> pieces) {
  if (pieces.empty()) return {};
  grid.RemovedCount += static_cast<int32_t>(pieces.size());
  MarkColumnBlocks(grid.Blocks, grid.MarkCache, grid.BlockLowU[i], grid.BlockHighU[i],
                   grid.BlockLowV[j], grid.BlockHighV[j], pieces);
  return pieces;
}
inline std::span<const double> BookColumnCut(CutGridContext& grid, const ColumnCut& c,
                                             std::span<const double> pieces) {
  return BookColumnCut(grid, c.I, c.J, pieces);
}

// The cut through the model's column edit, for what the in-place trim
// leaves: pairs that go or split, and columns that must grow.
std::span<const double> CutColumnThroughEdit(CutContext& cut, CutGridContext& grid,
                                             const ColumnCut& c);

}  // namespace detail

inline std::span<const double> CutMetColumnInterval(CutContext& cut, CutGridContext& grid,
                                                    const ColumnCut& c) {
  std::span<double> pieces = cut.RemovedPieces;
  int32_t removed = 0;
  // Mostly the cut only shortens pairs: then the column's own storage takes
  // it as it is, with no edit to settle.
  DexelColumnEdit own = detail::OpenDexelColumn(*grid.Set, c.J * grid.CountU + c.I);
  if (!TrimColumnPairs(own, c.Cut, grid.RemovedVolume, pieces, removed))
    return detail::CutColumnThroughEdit(cut, grid, c);
  return detail::BookColumnCut(grid, c, pieces.first(removed));
}

// The recording cut of the general cutter on a column MeetColumn has just
// found met at (i, j): CutMetColumnInterval of the interval with the given
// face flags and attributes, taken straight from the column's slots when the
// cut only shortens pairs there.
[[gnu::always_inline]] inline std::span<const double> CutMetColumn(
    CutContext& cut, CutGridContext& grid, int32_t i, int32_t j, MetColumn met,
    const std::array<double, 2>& interval, const std::array<uint8_t, 2>& faceFlags,
    const std::array<int32_t, 2>& faceAttributes) {
  DexelSet& set = *grid.Set;
  const double a = interval[0], b = interval[1];
  // A long column, or an odd count, takes the general way.
  if (met.Count > set.Stride || met.Count % 2 != 0)
    return CutMetColumnInterval(
        cut, grid,
        MakeColumnCut(grid, i, j, interval, faceFlags, faceAttributes, CutRule::kRecording));
  // MeetColumn let through a < b only, and at least one value.
  const size_t base = static_cast<size_t>(met.Column) * set.Stride;
  const detail::PairTrim trim{
      a, b, a, b, faceFlags, faceAttributes, CellArea(grid, i, j), grid.VolumeTerms};
  int32_t removed = 0;
  if (!detail::TrimPairs(set.Values.data() + base, set.Flags.data() + base,
                         set.Attributes.data() + base, met.Count, trim, grid.RemovedVolume,
                         cut.RemovedPieces.data(), removed))
    return detail::CutColumnThroughEdit(
        cut, grid,
        MakeColumnCut(grid, i, j, interval, faceFlags, faceAttributes, CutRule::kRecording));
  return detail::BookColumnCut(grid, i, j,
                               std::span<const double>(cut.RemovedPieces).first(removed));
}

}  // namespace vestan
