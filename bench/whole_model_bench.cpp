// Whole-model operations: tracing one of two separate boxes, the Normal
// offset of a box, plain and swept, and painting the difference of a
// workpiece from its design.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "model/difference_painting.h"
#include "model/model_offset.h"
#include "model/body_separation.h"
#include "model/stock.h"
#include "model/work_document.h"

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
    if (TraceConnectedPiece(model, seed, tables, progress, {}) != kSeparateBody ||
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

// Material length over every column of a set, to check an offset's result.
double SetLength(const DexelSet& set) {
  double length = 0;
  for (int32_t c = 0; c < set.Columns; ++c) {
    const auto v = DexelColumnValues(set, c);
    for (size_t p = 0; p + 1 < v.size(); p += 2) length += v[p + 1] - v[p];
  }
  return length;
}

OffsetPasses PassesOf(const benchmark::State& state) {
  return state.range(0) != 0 ? OffsetPasses::kSwept : OffsetPasses::kPlain;
}

// The Normal kernels of a 50 x 50 x 25 box at pitch 0.5 grown by d = 3 p: the
// three same-set passes (arg 1: 0) or the six cross passes (arg 1: 1), each
// on a fresh copy of the box in the enlarged grid.
void BM_OffsetNormalKernels(benchmark::State& state) {
  const bool cross = state.range(1) != 0;
  constexpr double kPitch = 0.5, kD = 1.5;
  DexelModel box;
  if (CreateBoxModel(box, {0, 0, 0, 50, 50, 25}, kPitch) != kModelOk) {
    state.SkipWithError("box creation failed");
    return;
  }
  ProgressState progress;
  int64_t unions = 0;
  double length = 0;
  for (auto _ : state) {
    state.PauseTiming();
    DexelModel target;
    int32_t k;
    if (PrepareOffsetTarget(box, kD, target, k) != kModelOk) {
      state.SkipWithError("target");
      return;
    }
    OffsetWork work(progress, PassesOf(state));
    state.ResumeTiming();
    for (int dir : {kDirectionZ, kDirectionY, kDirectionX}) {
      if (cross) {
        DilateInnerAxisSetBySphere(box, dir, k, kD, target, work);
        DilateOuterAxisSetBySphere(box, dir, k, kD, target, work);
      } else {
        DilateSameSetBySphere(box, dir, k, kD, target, work);
      }
    }
    unions = work.Unions;
    length = SetLength(target.ZSet());
  }
  // Every Z line through the grown box is at most 25 + 2 d long.
  if (!(length > 0) || length > 1.0 * (101 + 6) * (101 + 6) * (25 + 2 * kD))
    state.SkipWithError("unexpected material");
  state.counters["unions"] = static_cast<double>(unions);
  state.counters["unions/s"] = benchmark::Counter(static_cast<double>(unions) * state.iterations(),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OffsetNormalKernels)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"swept", "cross"})
    ->Unit(benchmark::kMillisecond);

// The whole Normal offset by d = 3 p: arg 1 picks the box, 0: 50 x 50 x 25
// at pitch 0.5, 1: 100 x 100 x 50 at pitch 0.2 (swept only).
void BM_MakeOffsetModel(benchmark::State& state) {
  const bool large = state.range(1) != 0;
  const double pitch = large ? 0.2 : 0.5;
  const std::array<double, 6> extent = large ? std::array<double, 6>{0, 0, 0, 100, 100, 50}
                                             : std::array<double, 6>{0, 0, 0, 50, 50, 25};
  DexelModel box;
  if (CreateBoxModel(box, extent, pitch) != kModelOk) {
    state.SkipWithError("box creation failed");
    return;
  }
  ProgressState progress;
  double length = 0;
  for (auto _ : state) {
    DexelModel grown;
    if (MakeOffsetModel(box, kOffsetNormal, 3 * pitch, grown, progress, PassesOf(state)) !=
        kModelOk)
      state.SkipWithError("offset failed");
    length = SetLength(grown.ZSet());
  }
  // The Z line through the middle alone is extent + 2 d long.
  if (!(length > extent[5] + 6 * pitch)) state.SkipWithError("no material");
  state.counters["dexels"] = static_cast<double>(box.ColumnsZ) + box.ColumnsX + box.ColumnsY;
}
BENCHMARK(BM_MakeOffsetModel)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->ArgNames({"swept", "large"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The design 100 x 100 x 40 on the grid of a 100 x 100 x 50 workpiece at
// pitch 0.1 started and ended 5 cells further out: the reference of the
// difference painting.
bool MakeDesign(WorkDocument& doc) {
  DexelModel& r = doc.BasicModel;
  if (CreateBoxModel(r, {-0.5, -0.5, -0.5, 100.5, 100.5, 50.5}, 0.1) != kModelOk) return false;
  const std::array<uint8_t, 2> flags{};
  const std::array<int32_t, 2> attributes{};
  const Vec3 high{100, 100, 40};
  const auto grid = [&r](int axis) -> const std::vector<double>& {
    return axis == 0 ? r.GridX : axis == 1 ? r.GridY : r.GridZ;
  };
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    const int u = (d + 1) % 3, v = (d + 2) % 3;
    DexelSet& set = r.SetByDirection(d);
    const std::vector<double>& gu = grid(u);
    const std::vector<double>& gv = grid(v);
    for (size_t b = 0; b < gv.size(); ++b)
      for (size_t a = 0; a < gu.size(); ++a) {
        const bool inside = gu[a] >= 0 && gu[a] <= high[u] && gv[b] >= 0 && gv[b] <= high[v];
        const std::array<double, 2> values{0, high[d]};
        SetDexelColumn(set, static_cast<int32_t>(gu.size() * b + a),
                       inside ? std::span<const double>(values) : std::span<const double>{}, flags,
                       attributes);
      }
  }
  doc.BasicModelLoaded = 1;
  doc.ReferenceShift = {5, 5, 5};
  return true;
}

int64_t CountMarks(const DexelModel& model) {
  int64_t marks = 0;
  for (const DexelSet* set : {&model.ZSet(), &model.XSet(), &model.YSet()})
    for (int32_t c = 0; c < set->Columns; ++c)
      for (uint8_t f : DexelColumnFlags(*set, c)) marks += f & kFlagMark;
  return marks;
}

// PaintModelDifference on a 2-million-dexel workpiece (100 x 100 x 50 at
// pitch 0.1) against its design grown by the margin 0.1; the difference model
// is built by the first painting, outside the timing.
void BM_PaintModelDifference(benchmark::State& state) {
  WorkDocument doc;
  if (CreateBoxModel(doc.Workpiece(), {0, 0, 0, 100, 100, 50}, 0.1) != kModelOk ||
      !MakeDesign(doc)) {
    state.SkipWithError("model creation failed");
    return;
  }
  DifferenceSettings settings;
  ProgressState progress;
  const auto built = std::chrono::steady_clock::now();
  if (PaintModelDifference(doc, settings, progress) != kModelOk) {
    state.SkipWithError("painting failed");
    return;
  }
  const double buildSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - built).count();
  int64_t marks = 0;
  for (auto _ : state) {
    if (PaintModelDifference(doc, settings, progress) != kModelOk)
      state.SkipWithError("painting failed");
    state.PauseTiming();
    marks = CountMarks(doc.Workpiece());
    state.ResumeTiming();
  }
  // At least every top of the 1001 x 1001 Z lines stands beyond the design.
  if (marks < 1001 * 1001) state.SkipWithError("too few differences");
  const DexelModel& w = doc.Workpiece();
  state.counters["dexels"] = static_cast<double>(w.ColumnsZ) + w.ColumnsX + w.ColumnsY;
  state.counters["marked"] = static_cast<double>(marks);
  state.counters["first_with_build_s"] = buildSeconds;
}
BENCHMARK(BM_PaintModelDifference)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestan
