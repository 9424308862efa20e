#include "model/body_separation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "model/block_marking.h"
#include "model/dexel_axes.h"

namespace vestan {

namespace {

// The tables of one direction; const tables give read-only views.
template <typename Byte, typename Count>
struct VisitView {
  Byte* visit;
  int32_t bytes;
  Count* remaining;
};
// clang before 17 deduces an aggregate's arguments only through a guide.
template <typename Byte, typename Count>
VisitView(Byte*, int32_t, Count*) -> VisitView<Byte, Count>;

template <typename Tables>
auto ViewOf(Tables& t, int direction) {
  if (direction == kDirectionZ) return VisitView{t.VisitZ.data(), t.BytesZ, t.RemainingZ.data()};
  if (direction == kDirectionY) return VisitView{t.VisitY.data(), t.BytesY, t.RemainingY.data()};
  return VisitView{t.VisitX.data(), t.BytesX, t.RemainingX.data()};
}

bool TablesFit(const DexelModel& m, const DexelVisitTables& t) {
  const auto fits = [](const std::vector<uint8_t>& visit, int32_t bytes,
                       const std::vector<int32_t>& remaining, int32_t columns) {
    return bytes >= 0 && remaining.size() == static_cast<size_t>(columns) &&
           visit.size() == static_cast<size_t>(columns) * bytes;
  };
  return fits(t.VisitX, t.BytesX, t.RemainingX, m.ColumnsX) &&
         fits(t.VisitY, t.BytesY, t.RemainingY, m.ColumnsY) &&
         fits(t.VisitZ, t.BytesZ, t.RemainingZ, m.ColumnsZ);
}

// Segments of a column the tables can hold.
int32_t SegmentsOf(int32_t count, int32_t bytes) { return std::min(count / 2, bytes); }

// The grid points along the column's axis that [low, high] covers, kept on
// the grid; false when it covers none.
bool CoveredPoints(const std::vector<double>& grid, double pitch, double low, double high,
                   int32_t& first, int32_t& last) {
  const int32_t n = static_cast<int32_t>(grid.size());
  const double lowIndex = low == grid.front() ? 0.0 : std::ceil((low - grid.front()) / pitch);
  const double highIndex =
      high == grid.back() ? n - 1.0 : std::trunc((high - grid.front()) / pitch);
  if (!(lowIndex <= highIndex) || highIndex < 0 || lowIndex > n - 1) return false;
  first = static_cast<int32_t>(std::max(lowIndex, 0.0));
  last = static_cast<int32_t>(std::min(highIndex, n - 1.0));
  return true;
}

class Tracer {
 public:
  Tracer(const DexelModel& model, DexelVisitTables& tables)
      : model_(model), tables_(tables), n_(CountsOf(model)) {}

  bool IsSegment(const SegmentStackEntry& e) const {
    if (e.Direction < 0 || e.Direction > 2) return false;
    const int d = e.Direction;
    if (e.First < 0 || e.First >= n_[InnerAxis(d)] || e.Second < 0 || e.Second >= n_[OuterAxis(d)])
      return false;
    if (e.Column != ColumnOf(n_, d, e.First, e.Second)) return false;
    const int32_t count = DexelColumnCount(model_.SetByDirection(d), e.Column);
    return e.Segment >= 0 && e.Segment < SegmentsOf(count, ViewOf(tables_, d).bytes);
  }

  // Pushes the unreached segments of the crossing columns at every grid
  // point that the segment covers.
  void ScanCrossingSegments(const SegmentStackEntry& e) {
    const int d = e.Direction;
    const auto values = DexelColumnValues(model_.SetByDirection(d), e.Column);
    int32_t first, last;
    if (!CoveredPoints(GridLinesOf(model_, d), model_.Pitch, values[2 * e.Segment],
                       values[2 * e.Segment + 1], first, last))
      return;
    std::array<int32_t, 3> index{};
    index[InnerAxis(d)] = e.First;
    index[OuterAxis(d)] = e.Second;
    for (int32_t g = first; g <= last; ++g) {
      index[d] = g;
      JoinCrossing(OuterAxis(d), index);
      JoinCrossing(InnerAxis(d), index);
    }
  }

  std::vector<SegmentStackEntry>& Stack() { return tables_.Stack; }

 private:
  // The segment of the crossing column of direction c through the grid
  // point that contains the point, when it is still unreached.
  void JoinCrossing(int c, const std::array<int32_t, 3>& index) {
    const int32_t first = index[InnerAxis(c)], second = index[OuterAxis(c)];
    const int32_t column = ColumnOf(n_, c, first, second);
    const auto view = ViewOf(tables_, c);
    if (view.remaining[column] <= 0) return;
    const auto values = DexelColumnValues(model_.SetByDirection(c), column);
    const int32_t segments = SegmentsOf(static_cast<int32_t>(values.size()), view.bytes);
    // Every column, one segment long or not, must contain the point: a lone
    // segment elsewhere on the line belongs to another body.
    const double at = GridLinesOf(model_, c)[index[c]];
    for (int32_t s = 0; s < segments; ++s) {
      if (values[2 * s] > at) return;
      if (values[2 * s + 1] < at) continue;
      uint8_t& visit = view.visit[static_cast<size_t>(column) * view.bytes + s];
      if (visit == kSegmentUnreached) {
        visit = kSegmentQueued;
        --view.remaining[column];
        tables_.Stack.push_back({c, first, second, column, s});
      }
      return;
    }
  }

  const DexelModel& model_;
  DexelVisitTables& tables_;
  GridCounts n_;
};

// Marks the blocks a removed segment of a column of direction d covered.
void MarkRemoved(DexelModel& m, int d, int32_t first, int32_t second,
                 std::span<const double> removed) {
  if (d == kDirectionX)
    MarkChangedBlocks(m, m.BlockLowY[first], m.BlockHighY[first], m.BlockLowZ[second],
                      m.BlockHighZ[second], removed);
  else if (d == kDirectionY)
    MarkChangedBlocksY(m, m.BlockLowZ[first], m.BlockHighZ[first], m.BlockLowX[second],
                       m.BlockHighX[second], removed);
  else
    MarkChangedBlocksZ(m, m.BlockLowX[first], m.BlockHighX[first], m.BlockLowY[second],
                       m.BlockHighY[second], removed);
}

}  // namespace

int64_t CountDexelSegments(const DexelModel& model, int32_t& largestX, int32_t& largestY,
                           int32_t& largestZ) {
  largestX = largestY = largestZ = 0;
  if (!model.Allocated()) return 0;
  int64_t total = 0;
  const auto count = [&total](const DexelSet& set, int32_t& largest) {
    for (int32_t c = 0; c < set.Columns; ++c) {
      const int32_t segments = set.Counts[c] / 2;
      largest = std::max(largest, segments);
      total += segments;
    }
  };
  count(model.XSet(), largestX);
  count(model.YSet(), largestY);
  count(model.ZSet(), largestZ);
  return total;
}

void ClearSegmentVisitFlags(const DexelModel& model, DexelVisitTables& tables) {
  if (!model.Allocated() || !TablesFit(model, tables)) return;
  for (int d : {kDirectionX, kDirectionY, kDirectionZ}) {
    const DexelSet& set = model.SetByDirection(d);
    const auto view = ViewOf(tables, d);
    std::fill_n(view.visit, static_cast<size_t>(set.Columns) * view.bytes, kSegmentUnreached);
    for (int32_t c = 0; c < set.Columns; ++c)
      view.remaining[c] = SegmentsOf(set.Counts[c], view.bytes);
  }
}

int TraceConnectedPiece(const DexelModel& model, const SegmentStackEntry& seed,
                        DexelVisitTables& tables, ProgressState& progress,
                        const std::function<bool()>& abortKeyDown) {
  if (!model.Allocated() || !TablesFit(model, tables)) return kBadSeed;
  Tracer tracer(model, tables);
  if (!tracer.IsSegment(seed)) return kBadSeed;
  std::vector<SegmentStackEntry>& stack = tracer.Stack();
  stack.clear();  // keeps the room allocated for every segment
  --ViewOf(tables, seed.Direction).remaining[seed.Column];
  SegmentStackEntry current = seed;
  for (;;) {
    const auto view = ViewOf(tables, current.Direction);
    view.visit[static_cast<size_t>(current.Column) * view.bytes + current.Segment] = kSegmentDone;
    tracer.ScanCrossingSegments(current);
    AdvanceProgress(progress);
    UpdateProgress(progress, 0);
    if (abortKeyDown && abortKeyDown()) return kTraceAborted;
    if (progress.Pump.PumpDuringWork != 0) PumpPendingMessage(progress);
    if (progress.Pump.SetBusyCursor) progress.Pump.SetBusyCursor();
    if (stack.empty()) return TestDexelFlags(model, tables) != 0 ? kSeparateBody : kWholeModel;
    current = stack.back();
    stack.pop_back();
  }
}

void RebuildSeparatedPiece(DexelModel& model, int32_t mode, const DexelVisitTables& tables) {
  if (!model.Allocated() || !TablesFit(model, tables)) return;
  const uint8_t goes = mode == kRemoveBody ? kSegmentDone : kSegmentUnreached;
  const GridCounts n = CountsOf(model);
  std::vector<double> values;
  std::vector<uint8_t> flags;
  std::vector<int32_t> attributes;
  for (int d : {kDirectionX, kDirectionY, kDirectionZ}) {
    DexelSet& set = model.SetByDirection(d);
    const auto view = ViewOf(tables, d);
    const int32_t across = n[InnerAxis(d)];
    for (int32_t c = 0; c < set.Columns; ++c) {
      const int32_t segments = SegmentsOf(set.Counts[c], view.bytes);
      const uint8_t* mine = view.visit + static_cast<size_t>(c) * view.bytes;
      if (std::find(mine, mine + segments, goes) == mine + segments) continue;
      const auto v = DexelColumnValues(set, c);
      const auto f = DexelColumnFlags(set, c);
      const auto a = DexelColumnAttributes(set, c);
      values.clear();
      flags.clear();
      attributes.clear();
      for (int32_t s = 0; s < segments; ++s) {
        if (mine[s] == goes) {
          MarkRemoved(model, d, c % across, c / across, v.subspan(2 * s, 2));
          continue;
        }
        values.insert(values.end(), {v[2 * s], v[2 * s + 1]});
        flags.insert(flags.end(), {f[2 * s], f[2 * s + 1]});
        attributes.insert(attributes.end(), {a[2 * s], a[2 * s + 1]});
      }
      SetDexelColumn(set, c, values, flags, attributes);
    }
  }
}

void FreeSeparationBuffers(DexelVisitTables& tables) { tables = DexelVisitTables{}; }

}  // namespace vestan
