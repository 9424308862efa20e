// Saving the cut workpiece as binary STL: a 2-million-column model cut by
// 1,000 poses of a ball end mill of diameter 10, and a model of 500 x 500 x
// 100 cells with a pocket cut by a flat end mill. Figures: cells/s, facets
// written, MB/s of the STL file. Each run's file is read back once and its
// enclosed volume compared with the model's material.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_support.h"
#include "model/stock.h"
#include "model/tool_pose_cutting.h"
#include "modelfiles/dme_file.h"
#include "support/mesh_check.h"

namespace vestan {
namespace {

// A box stock cut once along a path of poses of one tool (tip, axis up),
// kept with its world for every run.
template <typename Path>
std::unique_ptr<bench::KernelWorld> CutStock(int32_t kind, double diameter, double cornerRadius,
                                             const std::array<double, 6>& box, double pitch,
                                             Path path) {
  auto w = std::make_unique<bench::KernelWorld>(kind, diameter, cornerRadius);
  DexelModel& m = w->Document.Workpiece();
  if (CreateBoxModel(m, box, pitch) != kModelOk) return w;
  BindCutGrids(w->Cut.Grids, m);
  path([&](const Vec3& tip) {
    w->HoldAt(tip);
    CutToolPoseIntoModel(w->Cut, m, tip, {0, 0, 1});
  });
  return w;
}

// 100 x 100 x 50 at pitch 0.1 (1.0 million Z columns, 0.5 million in each of
// X and Y), ten overlapping passes of 100 ball poses 1 apart, 3 deep: a
// scalloped floor between cusps.
const DexelModel& BallCutModel() {
  static const std::unique_ptr<bench::KernelWorld> world =
      CutStock(kToolBall, 10, 5, {0, 0, 0, 100, 100, 50}, 0.1, [](auto pose) {
        for (int pass = 0; pass < 10; ++pass)
          for (int k = 0; k < 100; ++k) pose({k + 0.5, 10 + 8.0 * pass, 47});
      });
  return world->Document.Workpiece();
}

// 100 x 100 x 20 at pitch 0.2 (500 x 500 x 100 cells), a pocket 60 square
// and 12 deep with round corners by seven passes of a flat end mill of
// diameter 10; its floor lies on a grid line.
const DexelModel& PocketModel() {
  static const std::unique_ptr<bench::KernelWorld> world =
      CutStock(kToolFlat, 10, 0, {0, 0, 0, 100, 100, 20}, 0.2, [](auto pose) {
        for (int pass = 0; pass < 7; ++pass)
          for (int k = 0; k <= 100; ++k) pose({25 + 0.5 * k, 25 + 25.0 * pass / 3, 8});
      });
  return world->Document.Workpiece();
}

void BM_SaveStl(benchmark::State& state, const DexelModel& (*make)()) {
  const DexelModel& model = make();
  if (model.CountX == 0) {
    state.SkipWithError("model creation failed");
    return;
  }
  bench::BenchFolder folder;
  const std::string path = folder.path + "work.stl";
  for (auto _ : state) {
    if (SaveWorkModel(model, path, 1, 0, WorkOffsetFrame{}) != kSaveOk) {
      state.SkipWithError("save failed");
      return;
    }
  }
  const double bytes = static_cast<double>(std::filesystem::file_size(path));
  const double facets = (bytes - 84) / 50;
  double volume = 0, area = 0;
  for (const StlTriangle& t : testing::ReadMesh(path)) testing::AddVolumeAndArea(t, volume, area);
  const double material = bench::MaterialVolume(model);
  if (facets < 1 || std::fabs(volume - material) > area * model.Pitch)
    state.SkipWithError(("enclosed volume " + std::to_string(volume) + " against material " +
                         std::to_string(material))
                            .c_str());
  const double cells =
      static_cast<double>(model.CountX - 1) * (model.CountY - 1) * (model.CountZ - 1);
  const double iterations = static_cast<double>(state.iterations());
  state.counters["cells/s"] = benchmark::Counter(cells * iterations, benchmark::Counter::kIsRate);
  state.counters["facets"] = facets;
  state.counters["MB/s"] =
      benchmark::Counter(bytes * iterations / 1e6, benchmark::Counter::kIsRate);
  state.counters["volume"] = volume;
}

BENCHMARK_CAPTURE(BM_SaveStl, ball1000_2M_columns, &BallCutModel)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveStl, pocket_500x500x100, &PocketModel)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace vestan
