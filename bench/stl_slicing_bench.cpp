// Opening a finely tessellated sphere (about 10^5 and 10^6 facets, binary
// STL) as the workpiece at pitch 0.1 and 0.05: the whole load a user waits
// for (bounds, three slicing passes, the column clean-up and repair), with
// the sliced volume checked against the sphere's. Reports facets per second
// and the peak resident memory the load adds to the process (beside the
// model's own size).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "model/model_history.h"
#include "modelfiles/model_file_loading.h"
#include "support/scratch_folder.h"
#include "support/stl_meshes.h"

namespace vestan {
namespace {

constexpr double kRadius = 10.0;

// The sphere's file, written once per facet count; and its enclosed volume
// and surface area as stored.
struct SphereFile {
  std::string Path;
  size_t Facets = 0;
  double Volume = 0;
  double Area = 0;
};

const SphereFile& Sphere(int frequency) {
  static testing::ScratchFolder folder;
  static std::map<int, SphereFile> files;
  const auto found = files.find(frequency);
  if (found != files.end()) return found->second;
  const testing::Mesh mesh =
      testing::AsStored(testing::GeodesicSphere(kRadius, frequency, {0.37, -0.21, 0.13}));
  SphereFile file;
  file.Path = folder.Write("sphere" + std::to_string(frequency) + ".stl", testing::BinaryStl(mesh));
  file.Facets = mesh.size();
  file.Volume = testing::EnclosedVolume(mesh);
  file.Area = testing::SurfaceArea(mesh);
  return files.emplace(frequency, file).first->second;
}

// Peak resident memory of the process in kB since the last reset.
long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// Starts the peak over from what is resident now, after handing what the
// last iteration freed back to the system.
void ResetPeakResident() {
  malloc_trim(0);
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

double ZSetVolume(const DexelModel& model) {
  const DexelSet& set = model.ZSet();
  double volume = 0;
  for (int32_t c = 0; c < set.Columns; ++c) {
    const auto v = DexelColumnValues(set, c);
    for (size_t m = 0; m + 1 < v.size(); m += 2) volume += v[m + 1] - v[m];
  }
  return volume * model.Pitch * model.Pitch;
}

void BM_OpenSphereAsWorkpiece(benchmark::State& state) {
  // 20 * 71^2 = 100820 and 20 * 224^2 = 1003520 facets.
  const SphereFile& sphere = Sphere(static_cast<int>(state.range(0)));
  ModelLoadSettings settings;
  settings.Pitch = state.range(1) / 1000.0;
  long peakKb = 0;
  double modelBytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    DexelModel model;
    ResetPeakResident();
    const long before = PeakResidentKb();
    state.ResumeTiming();
    const int32_t result = LoadModelFileIdentity(model, sphere.Path, settings, {});
    state.PauseTiming();
    peakKb = std::max(peakKb, PeakResidentKb() - before);
    if (result != kModelOk) {
      state.SkipWithError("the sphere was not loaded");
    } else if (std::abs(ZSetVolume(model) - sphere.Volume) > sphere.Area * settings.Pitch) {
      state.SkipWithError("the sliced volume is not the sphere's");
    }
    modelBytes = static_cast<double>(EstimateModelMemory(model));
    benchmark::DoNotOptimize(model.ZSet().Counts.data());
    FreeDexelModel(model);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * sphere.Facets));
  state.counters["facets"] = static_cast<double>(sphere.Facets);
  state.counters["peak_MB"] = peakKb / 1024.0;
  state.counters["model_MB"] = modelBytes / (1024.0 * 1024.0);
}
BENCHMARK(BM_OpenSphereAsWorkpiece)
    ->ArgNames({"frequency", "pitch_um"})
    ->Args({71, 100})
    ->Args({71, 50})
    ->Args({224, 100})
    ->Args({224, 50})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace vestan
