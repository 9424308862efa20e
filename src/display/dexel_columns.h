// Walking a model's non-empty columns in the order the display reads them:
// the Z set, then X, then Y, each in column order, with the model point of
// a value of the column.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "foundation/vector_math.h"
#include "model/dexel_model.h"

namespace vestan {

// One column: its set (0 X, 1 Y, 2 Z), its two grid indexes (i, j for Z;
// j, k for X; k, i for Y), its index in the set and its values.
struct DexelColumnView {
  int32_t Set = 0;
  int32_t First = 0;
  int32_t Second = 0;
  int32_t Column = 0;
  std::span<const double> Values;
  std::span<const int32_t> Attributes;
  // Model coordinates of the column's grid line; Along is set by PointAt.
  Vec3 Line{};
  size_t Along = 0;

  // The model point (before the placement) of a value of the column.
  Vec3 PointAt(double value) const {
    Vec3 p = Line;
    p[Along] = value;
    return p;
  }
};

template <typename Visit>
void ForEachDexelColumn(const DexelModel& model, Visit visit) {
  if (!model.Allocated()) return;
  // Per set: its code, the coordinate its values give, and the coordinates
  // of the inner (fastest) and outer column index.
  struct Walk {
    int32_t Set;
    size_t Along, Inner, Outer;
  };
  static constexpr Walk kWalks[] = {{2, 2, 0, 1}, {0, 0, 1, 2}, {1, 1, 2, 0}};
  const std::vector<double>* grids[] = {&model.GridX, &model.GridY, &model.GridZ};
  for (const Walk& walk : kWalks) {
    const DexelSet& set = model.SetByDirection(walk.Set);
    const std::vector<double>& inner = *grids[walk.Inner];
    const std::vector<double>& outer = *grids[walk.Outer];
    const int32_t innerCount = static_cast<int32_t>(inner.size());
    const int32_t outerCount = static_cast<int32_t>(outer.size());
    DexelColumnView view;
    view.Set = walk.Set;
    view.Along = walk.Along;
    for (int32_t b = 0; b < outerCount; ++b)
      for (int32_t a = 0; a < innerCount; ++a) {
        const int32_t column = b * innerCount + a;
        if (column >= set.Columns || set.Counts[static_cast<size_t>(column)] < 1) continue;
        view.First = a;
        view.Second = b;
        view.Column = column;
        view.Values = DexelColumnValues(set, column);
        view.Attributes = DexelColumnAttributes(set, column);
        view.Line[walk.Inner] = inner[static_cast<size_t>(a)];
        view.Line[walk.Outer] = outer[static_cast<size_t>(b)];
        if (!visit(view)) return;
      }
  }
}

}  // namespace vestan
