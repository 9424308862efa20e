// Saving and loading a 2-million-dexel workpiece as DME and as compressed
// DMEZ, in MB/s of the plain DME file.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "model/stock.h"
#include "modelfiles/dme_file.h"
#include "modelfiles/model_file_commands.h"

namespace vestan {
namespace {

// 100 x 100 x 50 at pitch 0.1: about 1.0 million Z columns and 0.5 million
// in each of X and Y. The Z tops follow a wavy surface and carry flags and
// attributes, so that the compressor meets varied values.
const DexelModel& WavyModel() {
  static DexelModel model = [] {
    DexelModel m;
    if (CreateBoxModel(m, {0, 0, 0, 100, 100, 50}, 0.1) != kModelOk) return m;
    const std::vector<uint8_t> flags{0, 0x21};
    for (int32_t j = 0; j < m.CountY; ++j)
      for (int32_t i = 0; i < m.CountX; ++i) {
        const double top = 40 + 5 * std::sin(i * 0.05) * std::cos(j * 0.07);
        const std::vector<double> values{0.0, top};
        const std::vector<int32_t> attributes{0, i / 100 + j / 100};
        SetDexelColumn(m.ZSet(), ColumnIndexZ(m, i, j), values, flags, attributes);
      }
    return m;
  }();
  return model;
}

// The plain DME size, the unit of every figure.
int64_t DmeBytes(const DexelModel& model) {
  return static_cast<int64_t>(BuildDmeImage(model, 0, WorkOffsetFrame{}).size());
}

// The sum of all Z tops, to compare a loaded model with the saved one.
double TopSum(const DexelModel& model) {
  double sum = 0;
  for (int32_t c = 0; c < model.ColumnsZ; ++c) {
    const auto v = DexelColumnValues(model.ZSet(), c);
    if (!v.empty()) sum += v.back();
  }
  return sum;
}

// The model, a file name in a fresh folder and the state a save or open reads.
struct BenchFiles {
  const DexelModel& Model = WavyModel();
  bench::BenchFolder Folder;
  std::string Path;
  WorkOffsetFrame Frame;
  CompressionApiCache Api;
  explicit BenchFiles(const char* name) : Path(Folder.path + name) {}
  int32_t Save() { return SaveWorkModelFile(Model, Path, 0, 0, Frame, Api).Result; }
};

void Save(benchmark::State& state, const char* name) {
  BenchFiles files(name);
  if (files.Model.CountX == 0) return state.SkipWithError("model creation failed");
  for (auto _ : state) {
    if (files.Save() != kSaveOk) return state.SkipWithError("save failed");
  }
  const int64_t plain = DmeBytes(files.Model);
  state.SetBytesProcessed(plain * state.iterations());
  state.counters["file MB"] = static_cast<double>(std::filesystem::file_size(files.Path)) / 1e6;
  state.counters["plain MB"] = static_cast<double>(plain) / 1e6;
}

void Load(benchmark::State& state, const char* name) {
  BenchFiles files(name);
  if (files.Model.CountX == 0 || files.Save() != kSaveOk)
    return state.SkipWithError("model creation or save failed");
  const double expected = TopSum(files.Model);
  ModelLoadSettings settings;
  for (auto _ : state) {
    DexelModel loaded;
    const ModelFileOutcome outcome =
        OpenWorkModelFile(loaded, files.Path, settings, files.Frame, files.Api);
    if (outcome.Result != kModelOk) return state.SkipWithError(outcome.Text.c_str());
    if (TopSum(loaded) != expected) return state.SkipWithError("loaded model differs");
  }
  state.SetBytesProcessed(DmeBytes(files.Model) * state.iterations());
}

void BM_SaveDme(benchmark::State& state) { Save(state, "work.DME"); }
void BM_LoadDme(benchmark::State& state) { Load(state, "work.DME"); }
void BM_SaveDmez(benchmark::State& state) { Save(state, "work.DMEZ"); }
void BM_LoadDmez(benchmark::State& state) { Load(state, "work.DMEZ"); }
BENCHMARK(BM_SaveDme)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDme)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveDmez)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDmez)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestan
