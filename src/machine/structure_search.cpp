#include "machine/structure_search.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace vestan {

namespace {

constexpr int32_t kMaxCellsPerAxis = 512;
constexpr size_t kLeafFacets = 16;

bool PlanFinite(const StlFacetRecord& r) {
  return std::isfinite(r.BoxMin[0]) && std::isfinite(r.BoxMin[1]) && std::isfinite(r.BoxMax[0]) &&
         std::isfinite(r.BoxMax[1]);
}

size_t EntriesFor(std::span<const StlFacetRecord> records, const FacetGrid& g) {
  size_t total = 0;
  for (const StlFacetRecord& r : records) {
    if (!PlanFinite(r)) continue;
    const size_t nx = FacetGridCell(r.BoxMax[0], g.X0, g.InverseX, g.CellsX) -
                      FacetGridCell(r.BoxMin[0], g.X0, g.InverseX, g.CellsX) + 1;
    const size_t ny = FacetGridCell(r.BoxMax[1], g.Y0, g.InverseY, g.CellsY) -
                      FacetGridCell(r.BoxMin[1], g.Y0, g.InverseY, g.CellsY) + 1;
    total += nx * ny;
  }
  return total;
}

void SetCells(FacetGrid& g, int32_t nx, int32_t ny, double ex, double ey) {
  g.CellsX = std::clamp(nx, 1, kMaxCellsPerAxis);
  g.CellsY = std::clamp(ny, 1, kMaxCellsPerAxis);
  g.InverseX = ex > 0.0 ? g.CellsX / ex : 0.0;
  g.InverseY = ey > 0.0 ? g.CellsY / ey : 0.0;
}

}  // namespace

void BuildFacetGrid(std::span<const StlTriangle> triangles,
                    std::span<const StlFacetRecord> records, FacetGrid& grid) {
  grid = FacetGrid{};
  if (records.size() != triangles.size() || triangles.empty() ||
      triangles.size() > std::numeric_limits<uint32_t>::max())
    return;
  const size_t n = records.size();
  grid.ReachTop.resize(n);
  double reach = std::numeric_limits<double>::infinity();
  for (size_t f = 0; f < n; ++f) {
    // A NaN top never stops the scan, so it never lowers the reach.
    if (records[f].BoxMax[2] < reach) reach = records[f].BoxMax[2];
    grid.ReachTop[f] = reach;
  }

  double lo[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  double hi[2] = {-lo[0], -lo[1]};
  for (const StlFacetRecord& r : records) {
    if (!PlanFinite(r)) continue;
    for (int k = 0; k < 2; ++k) {
      lo[k] = std::min(lo[k], r.BoxMin[k]);
      hi[k] = std::max(hi[k], r.BoxMax[k]);
    }
  }
  if (!(lo[0] <= hi[0] && lo[1] <= hi[1])) {
    lo[0] = lo[1] = hi[0] = hi[1] = 0.0;
  }
  grid.X0 = lo[0];
  grid.Y0 = lo[1];
  const double ex = hi[0] - lo[0], ey = hi[1] - lo[1];
  // About two facets a cell, shaped like the plan.
  const double cells = std::max(1.0, static_cast<double>(n) / 2.0);
  int32_t nx = 1, ny = 1;
  if (ex > 0.0 && ey > 0.0) {
    nx = static_cast<int32_t>(std::min<double>(kMaxCellsPerAxis, std::sqrt(cells * ex / ey)));
    ny = static_cast<int32_t>(std::min<double>(kMaxCellsPerAxis, cells / std::max(nx, 1)));
  } else if (ex > 0.0) {
    nx = static_cast<int32_t>(std::min<double>(kMaxCellsPerAxis, cells));
  } else if (ey > 0.0) {
    ny = static_cast<int32_t>(std::min<double>(kMaxCellsPerAxis, cells));
  }
  SetCells(grid, nx, ny, ex, ey);
  // Facets wider than the cells repeat in many; coarsen until the entries
  // stay within a few per facet.
  while (EntriesFor(records, grid) > 8 * n + 4096 && (grid.CellsX > 1 || grid.CellsY > 1))
    SetCells(grid, grid.CellsX / 2, grid.CellsY / 2, ex, ey);

  const size_t cellCount = static_cast<size_t>(grid.CellsX) * grid.CellsY;
  grid.CellStart.assign(cellCount + 1, 0);
  const auto forEachCell = [&grid](const StlFacetRecord& r, auto&& visit) {
    const int32_t x0 = FacetGridCell(r.BoxMin[0], grid.X0, grid.InverseX, grid.CellsX);
    const int32_t x1 = FacetGridCell(r.BoxMax[0], grid.X0, grid.InverseX, grid.CellsX);
    const int32_t y0 = FacetGridCell(r.BoxMin[1], grid.Y0, grid.InverseY, grid.CellsY);
    const int32_t y1 = FacetGridCell(r.BoxMax[1], grid.Y0, grid.InverseY, grid.CellsY);
    for (int32_t y = y0; y <= y1; ++y)
      for (int32_t x = x0; x <= x1; ++x) visit(static_cast<size_t>(y) * grid.CellsX + x);
  };
  for (size_t f = 0; f < n; ++f) {
    if (!PlanFinite(records[f])) {
      grid.Unbinned.push_back(static_cast<uint32_t>(f));
      continue;
    }
    forEachCell(records[f], [&grid](size_t c) { ++grid.CellStart[c + 1]; });
  }
  std::partial_sum(grid.CellStart.begin(), grid.CellStart.end(), grid.CellStart.begin());
  grid.Entries.resize(grid.CellStart.back());
  std::vector<uint32_t> fill(grid.CellStart.begin(), grid.CellStart.end() - 1);
  for (size_t f = 0; f < n; ++f) {
    if (!PlanFinite(records[f])) continue;
    forEachCell(records[f],
                [&grid, &fill, f](size_t c) { grid.Entries[fill[c]++] = static_cast<uint32_t>(f); });
  }
  grid.BuiltFor = triangles.data();
  grid.Facets = n;
}

void BuildFacetLeaves(std::span<const StlTriangle> triangles, FacetLeaves& leaves) {
  leaves = FacetLeaves{};
  if (triangles.empty() || triangles.size() > std::numeric_limits<uint32_t>::max()) return;
  const size_t n = triangles.size();
  std::vector<Vec3> centre(n);
  for (size_t f = 0; f < n; ++f)
    for (int k = 0; k < 3; ++k)
      centre[f][k] = (triangles[f][3 + k] + triangles[f][6 + k] + triangles[f][9 + k]) / 3.0;
  leaves.Order.resize(n);
  std::iota(leaves.Order.begin(), leaves.Order.end(), 0u);

  // Halve each range across the longest side of its centres' box until a
  // range holds a leaf's worth; the leaves come out in order.
  struct Range {
    size_t From, To;
  };
  std::vector<Range> stack{{0, n}};
  while (!stack.empty()) {
    const Range r = stack.back();
    stack.pop_back();
    if (r.To - r.From <= kLeafFacets) {
      leaves.Start.push_back(static_cast<uint32_t>(r.From));
      continue;
    }
    Vec3 lo{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::infinity()};
    Vec3 hi{-lo[0], -lo[1], -lo[2]};
    for (size_t i = r.From; i < r.To; ++i)
      for (int k = 0; k < 3; ++k) {
        const double c = centre[leaves.Order[i]][k];
        if (c < lo[k]) lo[k] = c;
        if (c > hi[k]) hi[k] = c;
      }
    int axis = 0;
    for (int k = 1; k < 3; ++k)
      if (hi[k] - lo[k] > hi[axis] - lo[axis]) axis = k;
    const size_t mid = r.From + (r.To - r.From) / 2;
    std::nth_element(leaves.Order.begin() + r.From, leaves.Order.begin() + mid,
                     leaves.Order.begin() + r.To, [&centre, axis](uint32_t a, uint32_t b) {
                       // NaN centres sort as equal: any split is right.
                       return centre[a][axis] < centre[b][axis];
                     });
    // The lower half is popped first.
    stack.push_back({mid, r.To});
    stack.push_back({r.From, mid});
  }
  leaves.Start.push_back(static_cast<uint32_t>(n));

  const size_t count = leaves.Start.size() - 1;
  leaves.Min.resize(count);
  leaves.Max.resize(count);
  for (size_t l = 0; l < count; ++l) {
    Vec3 lo{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::infinity()};
    Vec3 hi{-lo[0], -lo[1], -lo[2]};
    bool finite = true;
    for (uint32_t i = leaves.Start[l]; i < leaves.Start[l + 1]; ++i) {
      const StlTriangle& t = triangles[leaves.Order[i]];
      for (int v = 0; v < 3; ++v)
        for (int k = 0; k < 3; ++k) {
          const double x = t[3 + 3 * v + k];
          finite = finite && std::isfinite(x);
          lo[k] = std::min(lo[k], x);
          hi[k] = std::max(hi[k], x);
        }
    }
    // A leaf with a vertex that is not finite is never rejected.
    if (!finite) {
      lo = {-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
            -std::numeric_limits<double>::infinity()};
      hi = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::infinity()};
    }
    leaves.Min[l] = lo;
    leaves.Max[l] = hi;
  }
  leaves.BuiltFor = triangles.data();
  leaves.Facets = n;
}

}  // namespace vestan
