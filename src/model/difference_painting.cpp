#include "model/difference_painting.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "model/dexel_axes.h"
#include "model/difference_model.h"

namespace vestan {

namespace {

constexpr uint8_t kLowBits = 0x0F;

// The paint of a value's flag byte: the mark bit, or pen tag pen with the low
// bits kept.
uint8_t Painted(uint8_t flag, const DifferenceSettings& settings) {
  if (settings.PenColouring != 0)
    return static_cast<uint8_t>((flag & kLowBits) + settings.Pen * 16);
  return flag | kFlagMark;
}

int32_t PenOf(uint8_t flag) { return flag >> kPenTagShift; }

// Values of a workpiece column that differ from the facing difference column:
// under Area +1 those no pair holds (ends included), otherwise those strictly
// inside a pair. Both lists ascend, so the pair to test only moves on.
bool FindDifferences(std::span<const double> work, std::span<const double> facing, int32_t area,
                     std::span<uint8_t> out) {
  const bool outside = area == 1;
  bool any = false;
  size_t p = 0;
  for (size_t v = 0; v < work.size(); ++v) {
    const double w = work[v];
    while (p + 1 < facing.size() && (outside ? facing[p + 1] < w : facing[p + 1] <= w)) p += 2;
    const bool held = p + 1 < facing.size() && (outside ? facing[p] <= w && w <= facing[p + 1]
                                                        : facing[p] < w && w < facing[p + 1]);
    out[v] = outside ? !held : held;
    any = any || out[v] != 0;
  }
  return any;
}

// Step 4 of the painting: one layer byte per workpiece value, written only
// for columns that hold a difference.
void CompareWithDifference(const DexelModel& work, const DexelModel& difference,
                           const std::array<int32_t, 3>& shift, int32_t area,
                           DexelFlagSnapshot& layer, ProgressState& progress) {
  const GridCounts nw = CountsOf(work), nd = CountsOf(difference);
  std::vector<uint8_t> found(kMaxColumnValues);
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    const DexelSet& set = work.SetByDirection(d);
    const DexelSet& facingSet = difference.SetByDirection(d);
    for (int32_t j = 0; j < nw[OuterAxis(d)]; ++j) {
      for (int32_t i = 0; i < nw[InnerAxis(d)]; ++i) {
        const int32_t column = ColumnOf(nw, d, i, j);
        const auto values = DexelColumnValues(set, column);
        if (values.empty()) continue;
        // A facing column outside the difference model's grid is empty.
        const int32_t fi = i + shift[InnerAxis(d)], fj = j + shift[OuterAxis(d)];
        const bool onGrid = fi >= 0 && fj >= 0 && fi < nd[InnerAxis(d)] && fj < nd[OuterAxis(d)];
        const auto facing = onGrid ? DexelColumnValues(facingSet, ColumnOf(nd, d, fi, fj))
                                   : std::span<const double>{};
        if (!FindDifferences(values, facing, area, found)) continue;
        const std::span<uint8_t> bytes = DexelSnapshotColumn(layer, work, d, column);
        std::copy_n(found.begin(), std::min(bytes.size(), values.size()), bytes.begin());
      }
      ProgressRowDone(progress, 1);
    }
  }
}

// The grid indexes of axis within radius of c, kept on the grid.
bool IndexRange(const DexelModel& m, int axis, double c, double radius, int32_t& low,
                int32_t& high) {
  const std::vector<double>& grid = GridLinesOf(m, axis);
  const double a = std::max(std::trunc((c - radius - grid.front()) / m.Pitch), 0.0);
  const double b = std::min(grid.size() - 1.0, std::ceil((c + radius - grid.front()) / m.Pitch));
  if (!(a <= b)) return false;
  low = static_cast<int32_t>(a);
  high = static_cast<int32_t>(b);
  return true;
}

}  // namespace

int PaintModelDifference(WorkDocument& document, DifferenceSettings& settings,
                         ProgressState& progress) {
  DexelModel& work = document.Workpiece();
  if (document.BasicModelLoaded == 0 || !document.BasicModel.Allocated() || !work.Allocated())
    return 0;
  if (const int code = UpdateDifferenceModel(work, document.BasicModel, document.DifferenceModel,
                                             settings, progress);
      code != kModelOk)
    return code;
  DexelFlagSnapshot layer;
  if (const int code = AllocDexelFlagSnapshot(layer, work); code != 1) return code;
  ClearDexelFlagSnapshot(work, layer);

  const uint64_t rows = static_cast<uint64_t>(work.CountX) + work.CountY + work.CountZ;
  BeginProgress(progress, kProgressGivenTotal, rows, "", 0, "差分反映中", "Painting Difference");
  CompareWithDifference(work, document.DifferenceModel, document.ReferenceShift, settings.Area,
                        layer, progress);
  EndProgress(progress);

  if (settings.ClearPrevious == 1) {
    if (settings.PenColouring != 0) {
      if (settings.TargetByPen == 0) ClearDexelTag(work, settings.Pen);
    } else if (settings.TargetByPen != 0) {
      ClearMarksOfPen(work, settings.TargetPen);
    } else {
      ClearDexelMarks(work);
    }
  }
  if (settings.EmphasisWidth > 0)
    PaintEmphasisRange(work, settings.EmphasisWidth, layer, settings, progress);
  else
    MergePaintLayer(work, layer, settings);
  FreeDexelFlagSnapshot(layer, work);
  return kModelOk;
}

void MergePaintLayer(DexelModel& model, DexelFlagSnapshot& layer,
                     const DifferenceSettings& settings) {
  if (!model.Allocated()) return;
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    DexelSet& set = model.SetByDirection(d);
    for (int32_t c = 0; c < set.Columns; ++c) {
      const std::span<uint8_t> flags = DexelColumnFlagsMutable(set, c);
      if (flags.empty()) continue;
      const std::span<const uint8_t> paint = DexelSnapshotColumn(layer, model, d, c);
      for (size_t v = 0; v < std::min(flags.size(), paint.size()); ++v) {
        if (paint[v] == 0) continue;
        if (settings.TargetByPen != 0 && PenOf(flags[v]) != settings.TargetPen) continue;
        flags[v] = Painted(flags[v], settings);
      }
    }
  }
}

void PaintEmphasisRange(DexelModel& model, double width, DexelFlagSnapshot& layer,
                        const DifferenceSettings& settings, ProgressState& progress) {
  if (!model.Allocated()) return;
  const uint64_t total = static_cast<uint64_t>(model.ColumnsZ) + model.ColumnsX +
                         static_cast<uint64_t>(model.ColumnsY);
  BeginProgress(progress, kProgressGivenTotal, total, "", 0, "強調範囲反映中", "Painting emphasis");
  const GridCounts n = CountsOf(model);
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    const DexelSet& set = model.SetByDirection(d);
    const std::vector<double>& innerGrid = GridLinesOf(model, InnerAxis(d));
    const std::vector<double>& outerGrid = GridLinesOf(model, OuterAxis(d));
    for (int32_t j = 0; j < n[OuterAxis(d)]; ++j) {
      for (int32_t i = 0; i < n[InnerAxis(d)]; ++i) {
        const int32_t column = ColumnOf(n, d, i, j);
        // Painting changes flags only: the values stay where they are.
        const auto values = DexelColumnValues(set, column);
        const std::span<const uint8_t> paint = DexelSnapshotColumn(layer, model, d, column);
        for (size_t v = 0; v < std::min(values.size(), paint.size()); ++v) {
          if (paint[v] == 0) continue;
          Vec3 centre;
          centre[d] = values[v];
          centre[InnerAxis(d)] = innerGrid[i];
          centre[OuterAxis(d)] = outerGrid[j];
          PaintSphere(model, centre, width, settings);
        }
      }
      ProgressRowDone(progress, n[InnerAxis(d)]);
    }
  }
  EndProgress(progress);
}

void PaintSphere(DexelModel& model, const Vec3& centre, double radius,
                 const DifferenceSettings& settings) {
  if (!model.Allocated()) return;
  std::array<int32_t, 3> low{}, high{};
  for (int axis = 0; axis < 3; ++axis)
    if (!IndexRange(model, axis, centre[axis], radius, low[axis], high[axis])) return;
  const GridCounts n = CountsOf(model);
  const double limit = radius * radius;
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    DexelSet& set = model.SetByDirection(d);
    const int inner = InnerAxis(d), outer = OuterAxis(d);
    // The two cross terms are added in the order of their axes.
    const int first = std::min(inner, outer), second = std::max(inner, outer);
    for (int32_t j = low[outer]; j <= high[outer]; ++j) {
      for (int32_t i = low[inner]; i <= high[inner]; ++i) {
        const int32_t column = ColumnOf(n, d, i, j);
        const auto values = DexelColumnValues(set, column);
        if (values.empty()) continue;
        std::array<double, 3> across{};
        across[inner] = GridLinesOf(model, inner)[i] - centre[inner];
        across[outer] = GridLinesOf(model, outer)[j] - centre[outer];
        const std::span<uint8_t> flags = DexelColumnFlagsMutable(set, column);
        for (size_t v = 0; v < values.size(); ++v) {
          const double along = values[v] - centre[d];
          if (along * along + across[first] * across[first] + across[second] * across[second] <=
              limit)
            flags[v] = Painted(flags[v], settings);
        }
      }
    }
  }
}

void ClearMarksOfPen(DexelModel& model, int32_t targetPen) {
  if (!model.Allocated()) return;
  for (DexelSet* set : {&model.ZSet(), &model.XSet(), &model.YSet()})
    for (int32_t c = 0; c < set->Columns; ++c)
      for (uint8_t& flag : DexelColumnFlagsMutable(*set, c))
        if (PenOf(flag) == targetPen) flag &= static_cast<uint8_t>(~kFlagMark);
}

}  // namespace vestan
