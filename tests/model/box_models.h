// Dexel models of axis-aligned boxes on a chosen grid, built column by
// column, and reading columns back, for the whole-model operation tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "model/column_operations.h"
#include "model/dexel_model.h"

namespace vestan::testing {

struct Box {
  Vec3 Min;
  Vec3 Max;
};

// An empty model of counts grid points from origin at pitch, one history slot.
inline void MakeGrid(DexelModel& model, const Vec3& origin, const std::array<int32_t, 3>& counts,
                     double pitch) {
  model = DexelModel{};
  model.CountX = counts[0];
  model.CountY = counts[1];
  model.CountZ = counts[2];
  model.Pitch = pitch;
  ASSERT_EQ(InitDexelGrids(model), kModelOk);
  model.OriginX = origin[0];
  model.OriginY = origin[1];
  model.OriginZ = origin[2];
  ASSERT_EQ(AllocDexelModel(model), kModelOk);
}

inline const std::vector<double>& GridAlong(const DexelModel& model, int axis) {
  return axis == 0 ? model.GridX : axis == 1 ? model.GridY : model.GridZ;
}

// The column of direction d (its axis) at the grid indexes of the next two
// axes: (i, j) for Z, (j, k) for X, (k, i) for Y.
inline int32_t ColumnAt(const DexelModel& model, int d, int32_t first, int32_t second) {
  const std::array<int32_t, 3> n{model.CountX, model.CountY, model.CountZ};
  return n[(d + 1) % 3] * second + first;
}

// Unions the closed boxes into every column whose line meets them; the
// values carry flag and attribute.
inline void AddBoxes(DexelModel& model, const std::vector<Box>& boxes, uint8_t flag = 0,
                     int32_t attribute = 0) {
  std::vector<double> values(kMaxColumnValues);
  for (int d = 0; d < 3; ++d) {
    const int u = (d + 1) % 3, v = (d + 2) % 3;
    DexelSet& set = model.SetByDirection(d);
    const auto& gridU = GridAlong(model, u);
    const auto& gridV = GridAlong(model, v);
    for (size_t b = 0; b < gridV.size(); ++b)
      for (size_t a = 0; a < gridU.size(); ++a) {
        const int32_t column = ColumnAt(model, d, static_cast<int32_t>(a), static_cast<int32_t>(b));
        int32_t count = GetDexelColumnValues(set, column, values);
        for (const Box& box : boxes) {
          if (box.Min[u] <= gridU[a] && gridU[a] <= box.Max[u] && box.Min[v] <= gridV[b] &&
              gridV[b] <= box.Max[v]) {
            ASSERT_TRUE(AddIntervalToColumn(values, count, box.Min[d], box.Max[d]));
          }
        }
        const std::vector<uint8_t> flags(count, flag);
        const std::vector<int32_t> attributes(count, attribute);
        ASSERT_TRUE(
            SetDexelColumn(set, column, std::span(values.data(), count), flags, attributes));
      }
  }
}

inline std::vector<double> Column(const DexelModel& model, int d, int32_t first, int32_t second) {
  const auto v = DexelColumnValues(model.SetByDirection(d), ColumnAt(model, d, first, second));
  return std::vector<double>(v.begin(), v.end());
}

}  // namespace vestan::testing
