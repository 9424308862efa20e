// The cutting kernel on a straight path of 1000 poses through a box stock:
// flat, ball and tilted bull-nose tools, a deep flat cut, the flat cut at
// three pitches, a closed mesh tool of the flat tool's size, and a flat tool
// whose shank and holder clearances are searched.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "bench_support.h"
#include "model/axial_cutting.h"
#include "model/cut_grid_context.h"
#include "model/stock.h"
#include "model/tool_pose_cutting.h"
#include "model/tool_profile.h"

namespace vestan {
namespace {

constexpr int kPoses = 1000;

struct PathCase {
  int32_t kind;
  double diameter;
  double cornerRadius;
  double depth;       // of the tip below the stock's top
  double tiltAboutY;  // degrees
  double pitch;       // of the grid and of the path
  double expected;    // removed volume, 0 when not checked
  int32_t threads = 1;  // of the main pass
  bool holder = false;  // the tool on a shank in a holder, their clearances searched
};

// The stock of one pitch, made once: the box is long enough for the path.
const DexelModel& Stock(double pitch) {
  static std::map<double, std::unique_ptr<DexelModel>> stocks;
  std::unique_ptr<DexelModel>& stock = stocks[pitch];
  if (!stock) {
    stock = std::make_unique<DexelModel>();
    const double length = std::max(100.0, kPoses * pitch);
    if (CreateBoxModel(*stock, {0, 0, 0, length, 100, 50}, pitch) != kModelOk) stock->CountX = 0;
  }
  return *stock;
}

double MainPassVolume(const CutGrids& g) {
  return CombineRemovedVolumes(g[kContextX].RemovedVolume, g[kContextX].RemovedCount,
                               g[kContextY].RemovedVolume, g[kContextY].RemovedCount,
                               g[kContextZ].RemovedVolume, g[kContextZ].RemovedCount);
}

// Each iteration cuts the path from the stock's edge (x 0) along X on a
// fresh copy of the stock; the copy is not timed.
void BM_CutPath(benchmark::State& state, PathCase c) {
  const DexelModel& stock = Stock(c.pitch);
  if (stock.CountX == 0) {
    state.SkipWithError("stock creation failed");
    return;
  }
  bench::KernelWorld world(c.kind, c.diameter, c.cornerRadius);
  if (c.holder) world.WithBodyAndHolder();
  world.Cut.Threads = c.threads;
  const double tilt = c.tiltAboutY * kRadiansPerDegree;
  const Vec3 axis{std::sin(tilt), 0, std::cos(tilt)};
  double volume = 0;
  int64_t visited = 0;
  for (auto _ : state) {
    state.PauseTiming();
    DexelModel& model = world.Document.Workpiece();
    model = stock;
    for (CutGridContext& grid : world.Cut.Grids) grid.VisitedColumns = 0;
    volume = 0;
    state.ResumeTiming();
    for (int k = 0; k < kPoses; ++k) {
      const Vec3 tip{k * c.pitch, 50, 50 - c.depth};
      world.HoldAt(tip);
      CutToolPoseIntoModel(world.Cut, model, tip, axis);
      // The main pass of a mesh tool leaves the pose's volume to its contexts.
      volume += c.kind == kToolImportedMesh ? MainPassVolume(world.Cut.Grids)
                                            : world.Run.PoseRemovedVolume;
    }
    benchmark::DoNotOptimize(volume);
    for (const CutGridContext& grid : world.Cut.Grids) visited += grid.VisitedColumns;
  }
  const double iterations = static_cast<double>(state.iterations());
  if (c.expected > 0 && std::fabs(volume - c.expected) > 0.02 * c.expected)
    state.SkipWithError(("removed volume " + std::to_string(volume)).c_str());
  state.counters["poses/s"] = benchmark::Counter(kPoses * iterations, benchmark::Counter::kIsRate);
  state.counters["ns/column"] =
      benchmark::Counter(static_cast<double>(visited) / 1e9,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["columns/pose"] = static_cast<double>(visited) / (kPoses * iterations);
  state.counters["volume"] = volume;
  if (c.holder) {
    // The shank stood in the stock: its search found the length it clears.
    if (!(world.Lengths.ShankClearLength > 0))
      state.SkipWithError("the shank's clearance was not searched");
    state.counters["shank_clear"] = world.Lengths.ShankClearLength;
  }
}

// The path covers the stock's 100 along X, the tool's ends lying outside: a
// flat or ball slot is its cross-section times 100.
constexpr double kHalfDisc = 3.141592653589793 * 25 / 2;

BENCHMARK_CAPTURE(BM_CutPath, a_flat10_5deep, PathCase{kToolFlat, 10, 0, 5, 0, 0.1, 100 * 10 * 5})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CutPath, b_ball10, PathCase{kToolBall, 10, 5, 5, 0, 0.1, 100 * kHalfDisc})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CutPath, c_bull10r2_tilt30, PathCase{kToolBull, 10, 2, 5, 30, 0.1, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CutPath, d_flat10_45deep,
                  PathCase{kToolFlat, 10, 0, 45, 0, 0.1, 100 * 10 * 45})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// At pitch 0.2 the path is 200 long, at 0.05 50 long (a slot ending inside
// the stock).
BENCHMARK_CAPTURE(BM_CutPath, e_flat10_pitch02, PathCase{kToolFlat, 10, 0, 5, 0, 0.2, 200 * 10 * 5})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CutPath, e_flat10_pitch005,
                  PathCase{kToolFlat, 10, 0, 5, 0, 0.05, (49.95 * 10 + kHalfDisc) * 5})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// Case a's path with a closed 1000-facet cylinder as an imported mesh tool;
// the polygon's sides lie within 5 (1 - cos(pi / 250)) of the circle.
BENCHMARK_CAPTURE(BM_CutPath, f_mesh1000_flat10_5deep,
                  PathCase{kToolImportedMesh, 10, 0, 5, 0, 0.1, 100 * 10 * 5})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A flat 25 deep on a shank and in a holder with ARBOR CHECK 1: the shank
// dips 5 into the stock, and each pose searches the shank's and the
// holder's clearances as well as cutting (they remove nothing).
PathCase BodyAndHolder(PathCase c) {
  c.holder = true;
  return c;
}
BENCHMARK_CAPTURE(BM_CutPath, h_flat10_25deep_holder_check1,
                  BodyAndHolder(PathCase{kToolFlat, 10, 0, 25, 0, 0.1, 100 * 10 * 25}))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Cases a, c and d with the main pass's rows on 2, 4 and 8 threads, and a
// small tool (Ø2 at pitch 0.2, mostly below the threshold) on 1 to 8. The
// CPU time is the process's: what waiting workers burn shows there.
PathCase Threaded(PathCase c, int32_t threads) {
  c.threads = threads;
  return c;
}
#define VESTAN_THREADED(name, n, ...)                                                  \
  BENCHMARK_CAPTURE(BM_CutPath, name##_threads##n, Threaded(PathCase{__VA_ARGS__}, n)) \
      ->Unit(benchmark::kMillisecond)                                                 \
      ->MeasureProcessCPUTime()                                                       \
      ->UseRealTime();
VESTAN_THREADED(a_flat10_5deep, 2, kToolFlat, 10, 0, 5, 0, 0.1, 100 * 10 * 5)
VESTAN_THREADED(a_flat10_5deep, 4, kToolFlat, 10, 0, 5, 0, 0.1, 100 * 10 * 5)
VESTAN_THREADED(a_flat10_5deep, 8, kToolFlat, 10, 0, 5, 0, 0.1, 100 * 10 * 5)
VESTAN_THREADED(c_bull10r2_tilt30, 2, kToolBull, 10, 2, 5, 30, 0.1, 0)
VESTAN_THREADED(c_bull10r2_tilt30, 4, kToolBull, 10, 2, 5, 30, 0.1, 0)
VESTAN_THREADED(c_bull10r2_tilt30, 8, kToolBull, 10, 2, 5, 30, 0.1, 0)
VESTAN_THREADED(d_flat10_45deep, 2, kToolFlat, 10, 0, 45, 0, 0.1, 100 * 10 * 45)
VESTAN_THREADED(d_flat10_45deep, 4, kToolFlat, 10, 0, 45, 0, 0.1, 100 * 10 * 45)
VESTAN_THREADED(d_flat10_45deep, 8, kToolFlat, 10, 0, 45, 0, 0.1, 100 * 10 * 45)
VESTAN_THREADED(g_flat2_pitch02, 1, kToolFlat, 2, 0, 1, 0, 0.2, 0)
VESTAN_THREADED(g_flat2_pitch02, 2, kToolFlat, 2, 0, 1, 0, 0.2, 0)
VESTAN_THREADED(g_flat2_pitch02, 4, kToolFlat, 2, 0, 1, 0, 0.2, 0)
VESTAN_THREADED(g_flat2_pitch02, 8, kToolFlat, 2, 0, 1, 0, 0.2, 0)

}  // namespace
}  // namespace vestan
