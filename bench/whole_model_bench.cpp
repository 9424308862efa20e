// Whole-model operations: tracing one of two separate boxes.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "model/piece_separation.h"
#include "model/stock.h"

namespace vestan {
namespace {

// Two cubes of side cells at pitch 1 along X, one grid line apart: x 0..side
// and side + 2..2 side + 2.
bool MakeTwoBoxes(DexelModel& model, int32_t side) {
  const double s = side;
  if (CreateBoxModel(model, {0, 0, 0, 2 * s + 2, s, s}, 1) != kModelOk) return false;
  const std::array<uint8_t, 4> flags{};
  const std::array<int32_t, 4> attributes{};
  const std::array<double, 4> split{0, s, s + 2, 2 * s + 2};
  for (int32_t c = 0; c < model.ColumnsX; ++c)
    SetDexelColumn(model.XSet(), c, split, flags, attributes);
  const int32_t gap = side + 1;  // the grid line between the boxes
  for (int32_t j = 0; j < model.CountY; ++j)
    SetDexelColumn(model.ZSet(), model.CountX * j + gap, {}, {}, {});
  for (int32_t k = 0; k < model.CountZ; ++k)
    SetDexelColumn(model.YSet(), model.CountZ * gap + k, {}, {}, {});
  return true;
}

// Two cubes of 290 cells: 3 x 291^2 segments each, about 0.5 million in all.
// A trace from the first visits its segments and, at each of the 291 grid
// points a segment covers, its two crossing columns.
void BM_TraceConnectedPiece(benchmark::State& state) {
  constexpr int32_t kSide = 290;
  DexelModel model;
  if (!MakeTwoBoxes(model, kSide)) {
    state.SkipWithError("model creation failed");
    return;
  }
  int32_t bx, by, bz;
  const int64_t total = CountDexelSegments(model, bx, by, bz);
  DexelVisitTables tables;
  if (AllocDexelArrays(model, bx, by, bz, total, tables) != 1) {
    state.SkipWithError("tables");
    return;
  }
  ProgressState progress;
  BeginProgress(progress, kProgressGivenTotal, static_cast<uint64_t>(total), "", 0, "J", "E");
  const SegmentStackEntry seed{kDirectionZ, 1, 1, model.CountX + 1, 0};
  const int64_t points = kSide + 1;
  const int64_t traced = 3 * points * points;
  for (auto _ : state) {
    ClearSegmentVisitFlags(model, tables);
    progress.Counter = 0;
    if (TraceConnectedPiece(model, seed, tables, progress, {}) != kSeparatePiece ||
        progress.Counter != static_cast<uint64_t>(traced))
      state.SkipWithError("the trace did not find the first box alone");
  }
  state.counters["segments"] = static_cast<double>(total);
  state.counters["segments/s"] = benchmark::Counter(
      static_cast<double>(traced) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["checks/s"] = benchmark::Counter(
      static_cast<double>(2 * traced * points) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TraceConnectedPiece)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestan
