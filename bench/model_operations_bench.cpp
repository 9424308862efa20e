// Undo pushes of a 2-million-dexel box stock, and the four column operations
// on typical columns of 2 to 8 values.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "model/column_operations.h"
#include "model/model_history.h"
#include "model/stock.h"

namespace vestan {
namespace {

// 100 x 100 x 50 at pitch 0.1: 1001 x 1001 x 501 points, about 1.0 million
// Z columns and 0.5 million in each of X and Y. Every longEvery-th Z column is
// given 10 values (a long column) when longEvery is above 0.
void BM_PushBoxHistory(benchmark::State& state) {
  const int longEvery = static_cast<int>(state.range(0));
  DexelModel model;
  model.SlotCount = 2;
  if (CreateBoxModel(model, {0, 0, 0, 100, 100, 50}, 0.1) != kModelOk) {
    state.SkipWithError("box creation failed");
    return;
  }
  if (longEvery > 0) {
    const std::vector<double> values{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::vector<uint8_t> flags(10, 0x10);
    const std::vector<int32_t> attributes(10, 3);
    for (int32_t c = 0; c < model.ColumnsZ; c += longEvery)
      SetDexelColumn(model.ZSet(), c, values, flags, attributes);
  }
  const int64_t dexels = static_cast<int64_t>(model.ColumnsX) + model.ColumnsY + model.ColumnsZ;
  uint64_t checksum = 0;
  for (auto _ : state) {
    PushModelHistory(model);
    checksum += static_cast<uint64_t>(DexelColumnCount(model.ZSet(), 0));
    benchmark::ClobberMemory();
  }
  // Both slots now hold the same state.
  const ModelHistorySlot& a = model.Slots[0];
  const ModelHistorySlot& b = model.Slots[1];
  if (state.iterations() > 0 && (a.Z.Counts != b.Z.Counts || a.X.Values != b.X.Values ||
                                 a.Z.LongColumns.size() != b.Z.LongColumns.size()))
    state.SkipWithError("slot copy differs");
  if (checksum != static_cast<uint64_t>(state.iterations()) * (longEvery > 0 ? 10 : 2))
    state.SkipWithError("checksum");
  state.counters["dexels/s"] = benchmark::Counter(static_cast<double>(dexels) * state.iterations(),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PushBoxHistory)->Arg(0)->Arg(64)->Unit(benchmark::kMillisecond);

// Columns of 1 to 4 ascending pairs in 0..100 and intervals of length 0.5 to
// 20 that meet them in every way.
struct Workload {
  std::vector<std::vector<double>> columns;
  std::vector<std::array<double, 2>> intervals;
};

Workload MakeWorkload() {
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Workload w;
  for (int n = 0; n < 4096; ++n) {
    const int pairs = 1 + n % 4;
    std::vector<double> column;
    double at = unit(random) * 10;
    for (int p = 0; p < pairs; ++p) {
      const double low = at + 1 + unit(random) * 10;
      const double high = low + 1 + unit(random) * 15;
      column.push_back(low);
      column.push_back(high);
      at = high;
    }
    w.columns.push_back(column);
    const double a = unit(random) * 90;
    w.intervals.push_back({a, a + 0.5 + unit(random) * 19.5});
  }
  return w;
}

// op 0 union, 1 subtraction, 2 subtraction keeping attributes, 3 recording cut.
void BM_ColumnOperation(benchmark::State& state) {
  const int op = static_cast<int>(state.range(0));
  const Workload w = MakeWorkload();
  const std::vector<double> grid{0.0, 1.0};
  std::array<double, 12> values{};
  std::array<uint8_t, 12> flags{};
  std::array<int32_t, 12> attributes{};
  std::array<double, 12> pieces{};
  double checksum = 0;
  double volume = 0;
  int64_t operations = 0;
  for (auto _ : state) {
    for (size_t n = 0; n < w.columns.size(); ++n) {
      const std::vector<double>& column = w.columns[n];
      std::copy(column.begin(), column.end(), values.begin());
      int32_t count = static_cast<int32_t>(column.size());
      const double a = w.intervals[n][0], b = w.intervals[n][1];
      int32_t removed = 0;
      switch (op) {
        case 0:
          AddIntervalToColumn(values, count, a, b);
          break;
        case 1:
          SubtractIntervalFromColumn(values, count, a, b);
          break;
        case 2:
          SubtractIntervalKeepAttrs(values, flags, attributes, count, a, b);
          break;
        default:
          CutIntervalRecording(values, flags, attributes, count, 1.0, grid, 0.25, volume, pieces,
                               removed, {a, b}, {0x21, 0x20}, {7, 7});
          break;
      }
      checksum += count + (count > 0 ? values[count - 1] : 0) + removed;
    }
    operations += static_cast<int64_t>(w.columns.size());
  }
  benchmark::DoNotOptimize(checksum);
  benchmark::DoNotOptimize(volume);
  if (state.iterations() > 0 && !(checksum > 0)) state.SkipWithError("checksum");
  state.counters["operations/s"] =
      benchmark::Counter(static_cast<double>(operations), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ColumnOperation)->DenseRange(0, 3);

}  // namespace
}  // namespace vestan
