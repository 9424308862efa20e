// The head check per position, at 1000 positions along a path: a head of 5,000 facets
// against a table of 20,000 facets and a workpiece of 2 million dexel
// columns. The path runs over the work with the head's face dipping in and
// out of its top, and beyond it close above the table's waved surface.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "machine/structure_interference.h"
#ifdef VESTAN_REFERENCE_STRUCTURE_CHECK
#include "machine/reference_structure_check/reference_structure_check.h"
#endif
#include "machine/part_models.h"
#include "machine/structure_world.h"
#include "model/stock.h"
#include "modelfiles/stl_facets.h"

namespace vestan {
namespace {

constexpr int kPositions = 1000;

StlTriangle Facet(const Vec3& a, const Vec3& b, const Vec3& c) {
  return {0, 0, 0, a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2]};
}

// The box's faces each cut into a grid of cells of two facets; cells[a] are
// the counts along the face's two axes for the faces across axis a.
std::vector<StlTriangle> GriddedBox(const Vec3& lo, const Vec3& hi,
                                    const std::array<std::array<int, 2>, 3>& cells) {
  std::vector<StlTriangle> facets;
  for (int a = 0; a < 3; ++a) {
    const int u = (a + 1) % 3, v = (a + 2) % 3;
    const int nu = cells[a][0], nv = cells[a][1];
    for (const double level : {lo[a], hi[a]})
      for (int i = 0; i < nu; ++i)
        for (int j = 0; j < nv; ++j) {
          const auto at = [&](int di, int dj) {
            Vec3 p;
            p[a] = level;
            p[u] = lo[u] + (hi[u] - lo[u]) * (i + di) / nu;
            p[v] = lo[v] + (hi[v] - lo[v]) * (j + dj) / nv;
            return p;
          };
          facets.push_back(Facet(at(0, 0), at(1, 0), at(1, 1)));
          facets.push_back(Facet(at(0, 0), at(1, 1), at(0, 1)));
        }
  }
  return facets;
}

// A waved table top of n x n cells over [lo, hi] in X and Y.
StructureMesh WavedTable(double lo, double hi, int n) {
  StructureMesh mesh;
  const auto at = [&](int i, int j) {
    const double x = lo + (hi - lo) * i / n, y = lo + (hi - lo) * j / n;
    return Vec3{x, y, -8.0 + 3.0 * std::sin(x / 15.0) * std::cos(y / 15.0)};
  };
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      mesh.Triangles.push_back(Facet(at(i, j), at(i + 1, j), at(i + 1, j + 1)));
      mesh.Triangles.push_back(Facet(at(i, j), at(i + 1, j + 1), at(i, j + 1)));
    }
  BuildFacetRecords(mesh.Triangles, mesh.Records);
  BuildTriangleBuckets(mesh.Triangles, mesh.Records);
  IndexStructureMesh(mesh);
  for (const StlFacetRecord& r : mesh.Records)
    for (int k = 0; k < 3; ++k) {
      mesh.BoxMin[k] = std::min(mesh.BoxMin[k], r.BoxMin[k]);
      mesh.BoxMax[k] = std::max(mesh.BoxMax[k], r.BoxMax[k]);
    }
  return mesh;
}

struct HeadWorld : testing::StructureRecords {
  std::vector<Vec3> Path;

  HeadWorld() {
    HeadMesh& head = Meshes.Head;
    head.BoxMin = {-30, -30, 0};
    head.BoxMax = {30, 30, 100};
    head.Triangles = GriddedBox(head.BoxMin, head.BoxMax, {{{25, 15}, {15, 25}, {25, 20}}});
    MakeBoxCorners(head.BoxMin, head.BoxMax, head.BoxCorners);
    IndexHeadMesh(head);
    Meshes.Table = WavedTable(-300, 500, 100);
    // 1001 x 1001 Z columns and 1001 x 501 in each of X and Y.
    if (CreateBoxModel(Work.Workpiece(), {0, 0, 0, 200, 200, 100}, 0.2) != kModelOk) return;
    Work.WorkPresent = 1;
    Checks.Pairs[kPairHeadWork] = 1;
    Checks.Pairs[kPairHeadTable] = 1;
    for (int i = 0; i < kPositions; ++i) {
      const double t = static_cast<double>(i) / (kPositions - 1);
      const double x = -100 + 450 * t, y = 100 + 60 * std::sin(6 * kPi * t);
      const bool overWork = x > -30 && x < 230;
      const double z = overWork ? 100 + 3 * std::sin(40 * kPi * t) : -4 + 2 * std::sin(40 * kPi * t);
      Path.push_back({x, y, z});
    }
  }

  int64_t Columns() const {
    const DexelModel& m = Work.Workpiece();
    return int64_t{m.ColumnsX} + m.ColumnsY + m.ColumnsZ;
  }
};

using HeadCheckFunction = int32_t (*)(StructureCheckContext&);

// Runs check at every position of path; the hits of each pair in pairs.
template <size_t N>
std::array<int64_t, N> RunPath(testing::StructureRecords& w, const std::vector<Vec3>& path,
                               HeadCheckFunction check, const std::array<size_t, N>& pairs) {
  std::array<int64_t, N> hits{};
  for (const Vec3& p : path) {
    ResetInterferenceFlags(w.Hits);
    w.Position.MachinePosition = {p[0], p[1], p[2], 0, 0};
    StructureCheckContext context = w.Context();
    check(context);
    for (size_t i = 0; i < N; ++i) hits[i] += w.Hits.Pairs[pairs[i]] != 0;
  }
  return hits;
}

void CountChecks(benchmark::State& state, size_t positions) {
  state.counters["checks/s"] = benchmark::Counter(static_cast<double>(positions),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void HeadCheckAlongPath(benchmark::State& state, HeadCheckFunction check) {
  static const std::unique_ptr<HeadWorld> world = std::make_unique<HeadWorld>();
  HeadWorld& w = *world;
  if (w.Meshes.Head.FacetCount() != 5000 || w.Meshes.Table.FacetCount() != 20000 ||
      w.Columns() < 2'000'000) {
    state.SkipWithError("the world was not built as described");
    return;
  }
  std::array<int64_t, 2> hits{};
  for (auto _ : state) {
    hits = RunPath(w, w.Path, check, std::array<size_t, 2>{kPairHeadWork, kPairHeadTable});
    benchmark::DoNotOptimize(hits);
  }
  // The face dips below the work's top on about half the positions over
  // it, and below the table's highest waves on some beyond it.
  if (hits[0] < 100 || hits[0] > 500 || hits[1] < 10) {
    const std::string counts = "unexpected hit counts: work " + std::to_string(hits[0]) +
                               ", table " + std::to_string(hits[1]);
    state.SkipWithError(counts.c_str());
    return;
  }
  state.counters["work_hits"] = static_cast<double>(hits[0]);
  state.counters["table_hits"] = static_cast<double>(hits[1]);
  CountChecks(state, w.Path.size());
}
void BM_HeadCheckAlongPath(benchmark::State& state) {
  HeadCheckAlongPath(state, CheckHeadInterference);
}
BENCHMARK(BM_HeadCheckAlongPath)->Unit(benchmark::kMillisecond);

// The shipped machine: its head, table and vice loaded as a run loads them,
// a stock of 80 x 60 x 30 on the vice at pitch 0.2; the spindle runs over
// the stock and beside it, the head's face dipping into the stock's top and
// down past the vice's.
struct ShippedWorld : testing::StructureRecords {
  std::vector<Vec3> Path;
  MachinePartModels Parts;

  ShippedWorld() {
    const std::string data = VESTAN_DATA_DIR;
    Parts.Tables[kTableMain].Name = data + "/oguma_table.stl";
    Parts.Heads[kHeadMain].Name = data + "/oguma_head.stl";
    Parts.ViceNames = {data + "/oguma_vice.stl"};
    Kinematics.RotaryType = kRotaryNone;
    for (const size_t pair : {kPairHeadWork, kPairHeadVice, kPairHeadTable}) {
      Checks.Pairs[pair] = 1;
    }
    LoadMachinePartModels({Parts, Kinematics, Checks}, Meshes);
    if (CreateBoxModel(Work.Workpiece(), {-40, -30, 80, 40, 30, 110}, 0.2) != kModelOk) return;
    Work.WorkPresent = 1;
    for (int i = 0; i < kPositions; ++i) {
      const double t = static_cast<double>(i) / (kPositions - 1);
      const double x = -250 + 500 * t, y = 40 * std::sin(6 * kPi * t);
      const double z = std::abs(x) < 140 ? 112 + 4 * std::sin(40 * kPi * t)
                                         : 60 + 30 * std::sin(40 * kPi * t);
      Path.push_back({x, y, z});
    }
  }
};

void HeadCheckShippedMachine(benchmark::State& state, HeadCheckFunction check) {
  static const std::unique_ptr<ShippedWorld> world = std::make_unique<ShippedWorld>();
  ShippedWorld& w = *world;
  if (w.Meshes.Head.FacetCount() == 0 || w.Meshes.Table.FacetCount() == 0 ||
      w.Meshes.Vices[0].FacetCount() == 0 || w.Work.Workpiece().CountX == 0) {
    state.SkipWithError("the shipped parts or the stock did not load");
    return;
  }
  const std::array<size_t, 3> pairs{kPairHeadWork, kPairHeadVice, kPairHeadTable};
  std::array<int64_t, 3> hits{};
  for (auto _ : state) {
    hits = RunPath(w, w.Path, check, pairs);
    benchmark::DoNotOptimize(hits);
  }
  if (hits[0] < 50 || hits[1] < 10) {
    const std::string counts = "unexpected hit counts: work " + std::to_string(hits[0]) +
                               ", vice " + std::to_string(hits[1]);
    state.SkipWithError(counts.c_str());
    return;
  }
  state.counters["work_hits"] = static_cast<double>(hits[0]);
  state.counters["vice_hits"] = static_cast<double>(hits[1]);
  state.counters["table_hits"] = static_cast<double>(hits[2]);
  CountChecks(state, w.Path.size());
}
void BM_HeadCheckShippedMachine(benchmark::State& state) {
  HeadCheckShippedMachine(state, CheckHeadInterference);
}
BENCHMARK(BM_HeadCheckShippedMachine)->Unit(benchmark::kMillisecond);

#ifdef VESTAN_REFERENCE_STRUCTURE_CHECK
// The routine before its search indexes, on the same worlds and paths.
void BM_HeadCheckAlongPathReference(benchmark::State& state) {
  HeadCheckAlongPath(state, reference::CheckHeadInterference);
}
BENCHMARK(BM_HeadCheckAlongPathReference)->Unit(benchmark::kMillisecond);
void BM_HeadCheckShippedMachineReference(benchmark::State& state) {
  HeadCheckShippedMachine(state, reference::CheckHeadInterference);
}
BENCHMARK(BM_HeadCheckShippedMachineReference)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace vestan
