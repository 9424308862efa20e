// Writing and reading every column of a 2-million-column model across the
// inline/long boundary.
#include <benchmark/benchmark.h>

#include <vector>

#include "model/dexel_model.h"

namespace vestan {
namespace {

void BM_WriteReadColumns(benchmark::State& state) {
  DexelModel model;
  model.CountX = model.CountY = 1415;  // about 2 million Z columns
  model.CountZ = 2;
  model.Pitch = 0.1;
  model.SlotCount = 1;
  if (InitDexelGrids(model) != kModelOk || AllocDexelModel(model) != kModelOk) {
    state.SkipWithError("allocation failed");
    return;
  }
  DexelSet& set = model.ZSet();
  // Alternate 8 (inline) and 10 (long) values so every pass crosses the boundary.
  std::vector<double> values(10);
  std::vector<uint8_t> flags(10, 0x30);
  std::vector<int32_t> attributes(10, 7);
  for (int i = 0; i < 10; ++i) values[i] = i * 0.5;
  std::vector<double> out(kMaxColumnValues);
  double checksum = 0;
  int64_t pass = 0;
  for (auto _ : state) {
    const size_t count = (pass++ % 2 == 0) ? 8 : 10;
    const std::span<const double> v(values.data(), count);
    for (int32_t c = 0; c < set.Columns; ++c) {
      SetDexelColumn(set, c, v, flags, attributes);
      checksum += out[GetDexelColumnValues(set, c, out) - 1];
    }
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["columns/s"] = benchmark::Counter(
      static_cast<double>(set.Columns) * state.iterations(), benchmark::Counter::kIsRate);
  if (checksum <= 0) state.SkipWithError("checksum");
}
BENCHMARK(BM_WriteReadColumns)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestan
