// Helpers of the surface triangulation tests: models whose every column is
// written from an exact solid (boxes and cylinders added and taken away), and
// the material volume of a model.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "model/dexel_model.h"
#include "model/stock.h"
#include "modelfiles/stl_file.h"
#include "support/mesh_check.h"

namespace vestan::testing {

// Material along one line: sorted closed intervals, flattened.
using Intervals = std::vector<double>;

// A solid answering, for the line along axis a through the point whose
// other two coordinates (axes a + 1 and a + 2, cyclic) are p and q, its
// material intervals.
using LineSolid = std::function<Intervals(int a, double p, double q)>;

// The closed box lo..hi.
inline LineSolid Box(const Vec3& lo, const Vec3& hi) {
  return [=](int a, double p, double q) -> Intervals {
    const int a1 = (a + 1) % 3, a2 = (a + 2) % 3;
    if (p < lo[a1] || p > hi[a1] || q < lo[a2] || q > hi[a2]) return {};
    return {lo[a], hi[a]};
  };
}

// What a removed body takes from one line: open intervals.
using LineCut = std::function<Intervals(int a, double p, double q)>;

// The open box lo..hi as a cut.
inline LineCut BoxCut(const Vec3& lo, const Vec3& hi) {
  return [=](int a, double p, double q) -> Intervals {
    const int a1 = (a + 1) % 3, a2 = (a + 2) % 3;
    if (p <= lo[a1] || p >= hi[a1] || q <= lo[a2] || q >= hi[a2]) return {};
    return {lo[a], hi[a]};
  };
}

// The open cylinder of radius r about the Z line through (cx, cy), from z0
// to z1, as a cut.
inline LineCut CylinderCutZ(double cx, double cy, double r, double z0, double z1) {
  return [=](int a, double p, double q) -> Intervals {
    if (a == 2) {
      const double d = (p - cx) * (p - cx) + (q - cy) * (q - cy);
      return d < r * r ? Intervals{z0, z1} : Intervals{};
    }
    // X lines: p = y, q = z; Y lines: p = z, q = x.
    const double z = a == 0 ? q : p, across = a == 0 ? p - cy : q - cx;
    if (z <= z0 || z >= z1 || std::fabs(across) >= r) return {};
    const double half = std::sqrt(r * r - across * across), centre = a == 0 ? cx : cy;
    return {centre - half, centre + half};
  };
}

// Closed intervals minus open ones.
inline Intervals Subtract(const Intervals& material, const Intervals& cut) {
  Intervals out;
  for (size_t m = 0; m + 1 < material.size(); m += 2) {
    std::vector<std::pair<double, double>> pieces{{material[m], material[m + 1]}};
    for (size_t c = 0; c + 1 < cut.size(); c += 2) {
      std::vector<std::pair<double, double>> next;
      for (const auto& [a, b] : pieces) {
        if (cut[c + 1] <= a || cut[c] >= b) {
          next.push_back({a, b});
          continue;
        }
        if (cut[c] > a) next.push_back({a, cut[c]});
        if (cut[c + 1] < b) next.push_back({cut[c + 1], b});
      }
      pieces = next;
    }
    for (const auto& [a, b] : pieces) out.insert(out.end(), {a, b});
  }
  return out;
}

// Two solids together.
inline LineSolid Plus(LineSolid a, LineSolid b) {
  return [=](int axis, double p, double q) {
    Intervals all = a(axis, p, q);
    const Intervals more = b(axis, p, q);
    all.insert(all.end(), more.begin(), more.end());
    std::vector<std::pair<double, double>> pieces;
    for (size_t k = 0; k + 1 < all.size(); k += 2) pieces.push_back({all[k], all[k + 1]});
    std::sort(pieces.begin(), pieces.end());
    Intervals merged;
    for (const auto& [from, to] : pieces) {
      if (!merged.empty() && from <= merged.back())
        merged.back() = std::max(merged.back(), to);
      else
        merged.insert(merged.end(), {from, to});
    }
    return merged;
  };
}

// A solid with bodies taken away.
inline LineSolid Minus(LineSolid solid, std::vector<LineCut> cuts) {
  return [=](int a, double p, double q) {
    Intervals material = solid(a, p, q);
    for (const LineCut& cut : cuts) material = Subtract(material, cut(a, p, q));
    return material;
  };
}

// Writes every column of a model on the grid of the box gridLo..gridHi at the
// pitch from the solid, clipped to the grid. Flags carry tag 1 so that points
// show where they came from.
inline void MakeSolidModel(DexelModel& model, const Vec3& gridLo, const Vec3& gridHi, double pitch,
                           const LineSolid& solid) {
  model.SlotCount = 1;
  ASSERT_EQ(CreateBoxModel(
                model, {gridLo[0], gridLo[1], gridLo[2], gridHi[0], gridHi[1], gridHi[2]}, pitch),
            kModelOk);
  const std::array<const std::vector<double>*, 3> lines{&model.GridX, &model.GridY, &model.GridZ};
  for (int a = 0; a < 3; ++a) {
    const int a1 = (a + 1) % 3, a2 = (a + 2) % 3;
    const double lo = lines[a]->front(), hi = lines[a]->back();
    for (size_t ip = 0; ip < lines[a1]->size(); ++ip) {
      for (size_t iq = 0; iq < lines[a2]->size(); ++iq) {
        Intervals values;
        const Intervals all = solid(a, (*lines[a1])[ip], (*lines[a2])[iq]);
        for (size_t k = 0; k + 1 < all.size(); k += 2) {
          const double from = std::max(all[k], lo), to = std::min(all[k + 1], hi);
          if (from <= to) values.insert(values.end(), {from, to});
        }
        const std::vector<uint8_t> flags(values.size(), 0x10);
        const std::vector<int32_t> attributes(values.size(), 0);
        std::array<int32_t, 3> point{};
        point[a1] = static_cast<int32_t>(ip);
        point[a2] = static_cast<int32_t>(iq);
        const int32_t column = a == 0   ? ColumnIndexX(model, point[1], point[2])
                               : a == 1 ? ColumnIndexY(model, point[2], point[0])
                                        : ColumnIndexZ(model, point[0], point[1]);
        ASSERT_TRUE(SetDexelColumn(model.SetByDirection(a), column, values, flags, attributes));
      }
    }
  }
}

// The material volume of a model by its Z columns: each column's length
// over the area it stands for (half a cell at a side of the grid, a quarter
// at a corner).
inline double MaterialVolume(const DexelModel& model) {
  double volume = 0;
  for (int32_t j = 0; j < model.CountY; ++j) {
    for (int32_t i = 0; i < model.CountX; ++i) {
      const std::span<const double> v = DexelColumnValues(model.ZSet(), ColumnIndexZ(model, i, j));
      double length = 0;
      for (size_t k = 0; k + 1 < v.size(); k += 2) length += v[k + 1] - v[k];
      double weight = model.Pitch * model.Pitch;
      if (i == 0 || i == model.CountX - 1) weight /= 2;
      if (j == 0 || j == model.CountY - 1) weight /= 2;
      volume += weight * length;
    }
  }
  return volume;
}

}  // namespace vestan::testing
