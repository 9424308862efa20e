// Dexel models of axis-aligned boxes on a chosen grid, built column by
// column, and reading columns back, for the whole-model operation tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "model/column_operations.h"
#include "model/dexel_axes.h"
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

// The column of direction d at the grid indexes of the next two axes: (i, j)
// for Z, (j, k) for X, (k, i) for Y.
inline int32_t ColumnAt(const DexelModel& model, int d, int32_t first, int32_t second) {
  return ColumnOf(CountsOf(model), d, first, second);
}

// Unions the closed boxes into every column whose line meets them; the
// values carry flag and attribute.
inline void AddBoxes(DexelModel& model, const std::vector<Box>& boxes, uint8_t flag = 0,
                     int32_t attribute = 0) {
  std::vector<double> values(kMaxColumnValues);
  for (int d = 0; d < 3; ++d) {
    const int u = (d + 1) % 3, v = (d + 2) % 3;
    DexelSet& set = model.SetByDirection(d);
    const auto& gridU = GridLinesOf(model, u);
    const auto& gridV = GridLinesOf(model, v);
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

// A model of four random boxes with a slab cut out of its Z and X lines:
// columns of several pairs, a pair touching the next one, values off the grid
// lines (and, unless withinGrid, beyond the grid's last lines), non-zero
// flags and one column of an odd count.
inline void MakeRandomModel(DexelModel& model, uint32_t seed, bool withinGrid = false) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  // Odd seeds take a pitch whose grid lines are not spaced evenly in doubles.
  if (seed % 2 == 1)
    MakeGrid(model, {-1.1, 0.3, 2.05}, {21, 18, 15}, 0.3);
  else
    MakeGrid(model, {-1, 0.5, 2}, {13, 11, 9}, 0.5);
  std::vector<Box> boxes;
  for (int b = 0; b < 4; ++b) {
    Box box;
    for (int a = 0; a < 3; ++a) {
      const double low = (a == 0 ? -1 : a == 1 ? 0.5 : 2) + unit(random) * 3;
      box.Min[a] = low;
      box.Max[a] = low + 0.2 + unit(random) * 2.5;
      if (withinGrid) box.Max[a] = std::min(box.Max[a], GridLinesOf(model, a).back());
    }
    boxes.push_back(box);
  }
  AddBoxes(model, boxes, 0x35, 12);
  // Holes: cut a slab out of every Z line and every X line.
  std::vector<double> values(kMaxColumnValues);
  const double hole = 2.7 + unit(random);
  for (DexelSet* set : {&model.ZSet(), &model.XSet()}) {
    for (int32_t c = 0; c < set->Columns; ++c) {
      int32_t count = GetDexelColumnValues(*set, c, values);
      if (count < 1) continue;
      SubtractIntervalFromColumn(values, count, hole, hole + 0.3);
      SetDexelColumn(*set, c, std::span(values.data(), count), std::vector<uint8_t>(count, 0x35),
                     std::vector<int32_t>(count, 12));
    }
  }
  // Two pairs meeting at one value.
  SetDexelColumn(model.YSet(), 20, std::vector<double>{0.7, 1.3, 1.3, 2.2},
                 std::vector<uint8_t>(4, 1), std::vector<int32_t>(4, 1));
  // A damaged column with a dangling last value, on the X line nearest the
  // middle of the first box.
  const Box& first = boxes.front();
  const auto nearest = [&model](int axis, double x) {
    const auto& grid = GridLinesOf(model, axis);
    const double i = std::round((x - grid.front()) / model.Pitch);
    return static_cast<int32_t>(std::clamp(i, 0.0, grid.size() - 1.0));
  };
  const int32_t damaged =
      ColumnAt(model, kDirectionX, nearest(1, (first.Min[1] + first.Max[1]) / 2),
               nearest(2, (first.Min[2] + first.Max[2]) / 2));
  SetDexelColumn(model.XSet(), damaged,
                 std::vector<double>{first.Min[0], (first.Min[0] + first.Max[0]) / 2, first.Max[0]},
                 std::vector<uint8_t>(3, 0), std::vector<int32_t>(3, 0));
}

inline std::vector<double> Column(const DexelModel& model, int d, int32_t first, int32_t second) {
  const auto v = DexelColumnValues(model.SetByDirection(d), ColumnAt(model, d, first, second));
  return std::vector<double>(v.begin(), v.end());
}

// Every column of a and b holds the same values to the bit, with the same
// flags and attributes.
inline void ExpectSameColumns(const DexelModel& a, const DexelModel& b,
                              const std::string& context) {
  for (int d : {kDirectionZ, kDirectionX, kDirectionY}) {
    const DexelSet& sa = a.SetByDirection(d);
    const DexelSet& sb = b.SetByDirection(d);
    ASSERT_EQ(sa.Counts, sb.Counts) << context << " set " << d;
    for (int32_t c = 0; c < sa.Columns; ++c) {
      const auto va = DexelColumnValues(sa, c), vb = DexelColumnValues(sb, c);
      ASSERT_TRUE(std::equal(va.begin(), va.end(), vb.begin(), vb.end(),
                             [](double x, double y) {
                               return std::bit_cast<uint64_t>(x) == std::bit_cast<uint64_t>(y);
                             }))
          << context << " set " << d << " column " << c;
      const auto fa = DexelColumnFlags(sa, c), fb = DexelColumnFlags(sb, c);
      ASSERT_TRUE(std::equal(fa.begin(), fa.end(), fb.begin())) << context << " column " << c;
      const auto aa = DexelColumnAttributes(sa, c), ab = DexelColumnAttributes(sb, c);
      ASSERT_TRUE(std::equal(aa.begin(), aa.end(), ab.begin())) << context << " column " << c;
    }
  }
}

}  // namespace vestan::testing
