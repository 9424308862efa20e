// Ordering the facets of a 1,000,000-facet structure mesh by decreasing top:
// the records and the bucket-wise ordering as the machine model builds them,
// against the step-by-step scan whose order they reproduce.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "modelfiles/stl_facets.h"
#include "support/facet_order_reference.h"

namespace vestan {
namespace {

// Small facets scattered over a 2000 x 2000 x 500 machine base: with
// gridTops their corners lie on a 0.5 grid, so that many tops are equal as on
// boxy parts; else every top differs, as on a finely tessellated casting.
std::vector<StlTriangle> Mesh(size_t facets, bool gridTops) {
  std::mt19937 random(111);
  std::uniform_int_distribution<int> xy(0, 3999), z(0, 999), step(1, 20);
  std::uniform_real_distribution<double> height(0, 500);
  std::vector<StlTriangle> mesh(facets);
  for (StlTriangle& t : mesh) {
    const double x = xy(random) * 0.5, y = xy(random) * 0.5;
    const double h = gridTops ? z(random) * 0.5 : height(random);
    t = {0, 0, 1, x, y, h, x + step(random) * 0.5, y, h - step(random) * 0.5, x, y + 1, h};
  }
  return mesh;
}

// Non-zero when the tops do not come out non-increasing.
int64_t Disorder(const std::vector<StlFacetRecord>& records) {
  int64_t wrong = 0;
  for (size_t i = 1; i < records.size(); ++i)
    wrong += records[i - 1].BoxMax[2] < records[i].BoxMax[2] ? 1 : 0;
  return wrong;
}

void BM_FacetRecordsAndBuckets(benchmark::State& state) {
  const std::vector<StlTriangle> mesh =
      Mesh(static_cast<size_t>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    std::vector<StlTriangle> triangles = mesh;
    std::vector<StlFacetRecord> records;
    BuildFacetRecords(triangles, records);
    BuildTriangleBuckets(triangles, records);
    if (records.size() != mesh.size() || Disorder(records) != 0)
      state.SkipWithError("the facets are not ordered by decreasing top");
    benchmark::DoNotOptimize(records.data());
  }
  state.counters["facets"] = static_cast<double>(mesh.size());
}
BENCHMARK(BM_FacetRecordsAndBuckets)
    ->ArgNames({"facets", "gridTops"})
    ->Args({1000000, 1})
    ->Args({1000000, 0})
    ->Unit(benchmark::kMillisecond);

void BM_BucketOrderOnly(benchmark::State& state) {
  std::vector<StlTriangle> triangles =
      Mesh(static_cast<size_t>(state.range(0)), state.range(1) != 0);
  std::vector<StlFacetRecord> records;
  BuildFacetRecords(triangles, records);
  const std::vector<StlTriangle> mesh = triangles;
  const std::vector<StlFacetRecord> built = records;
  for (auto _ : state) {
    state.PauseTiming();
    triangles = mesh;
    records = built;
    state.ResumeTiming();
    BuildTriangleBuckets(triangles, records);
    if (Disorder(records) != 0) state.SkipWithError("the facets are not ordered");
  }
}
BENCHMARK(BM_BucketOrderOnly)
    ->ArgNames({"facets", "gridTops"})
    ->Args({1000000, 1})
    ->Args({1000000, 0})
    ->Unit(benchmark::kMillisecond);

// The scan as described, one pass per position within each of the 50
// buckets: the cost the range maxima remove.
void BM_StepByStepScan(benchmark::State& state) {
  std::vector<StlTriangle> triangles =
      Mesh(static_cast<size_t>(state.range(0)), state.range(1) != 0);
  std::vector<StlFacetRecord> records;
  BuildFacetRecords(triangles, records);
  std::vector<double> tops(records.size());
  for (size_t i = 0; i < records.size(); ++i) tops[i] = records[i].BoxMax[2];
  for (auto _ : state) {
    const std::vector<uint32_t> order = testing::ScanBucketOrder(tops);
    int64_t wrong = 0;
    for (size_t i = 1; i < order.size(); ++i) wrong += tops[order[i - 1]] < tops[order[i]];
    if (order.size() != tops.size() || wrong != 0) state.SkipWithError("not ordered");
  }
}
BENCHMARK(BM_StepByStepScan)
    ->ArgNames({"facets", "gridTops"})
    ->Args({1000000, 1})
    ->Args({1000000, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestan
