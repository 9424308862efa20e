// Search indexes over the machine's part meshes, built once when a mesh is
// loaded: a plan grid of a structure's facets and the head's facets in small
// boxed leaves, so that a check visits only the facets near what it tests.
// A check gives the same answers with or without them; a mesh changed after
// its index was built is searched without it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/vector_math.h"
#include "modelfiles/stl_facets.h"

namespace vestan {

// A structure's facets binned by their boxes' X and Y extent into cells.
struct FacetGrid {
  const StlTriangle* BuiltFor = nullptr;  // the facet array indexed, and its length
  size_t Facets = 0;
  double X0 = 0.0, Y0 = 0.0;
  double InverseX = 0.0, InverseY = 0.0;  // cells per unit length
  int32_t CellsX = 0, CellsY = 0;
  std::vector<uint32_t> CellStart;  // cell y * CellsX + x holds Entries[CellStart[c], CellStart[c + 1])
  std::vector<uint32_t> Entries;    // facet indexes, increasing within a cell
  std::vector<uint32_t> Unbinned;   // facets whose plan box is not finite, tested always
  // The lowest facet top among facets 0..f: a scan in facet order that stops
  // at the first facet whose top lies below the searched box never reaches
  // facet f when the box's bottom lies above this.
  std::vector<double> ReachTop;
};

// The head's facets grouped by place into leaves of a few each.
struct FacetLeaves {
  const StlTriangle* BuiltFor = nullptr;
  size_t Facets = 0;
  std::vector<uint32_t> Order;  // facet indexes, leaf by leaf
  std::vector<uint32_t> Start;  // leaf l holds Order[Start[l], Start[l + 1])
  std::vector<Vec3> Min, Max;   // each leaf's box over its vertices
};

// The cell of x on one axis of a grid; monotone in x, so the cells under a
// box cover the cells of every facet whose box meets it.
inline int32_t FacetGridCell(double x, double origin, double inverse, int32_t cells) {
  const double c = std::floor((x - origin) * inverse);
  if (!(c > 0.0)) return 0;
  return c >= cells - 1 ? cells - 1 : static_cast<int32_t>(c);
}

// Builds grid over records (one per facet of triangles).
void BuildFacetGrid(std::span<const StlTriangle> triangles,
                    std::span<const StlFacetRecord> records, FacetGrid& grid);

// Builds leaves over triangles.
void BuildFacetLeaves(std::span<const StlTriangle> triangles, FacetLeaves& leaves);

inline bool GridCurrent(const FacetGrid& grid, std::span<const StlTriangle> triangles,
                        size_t records) {
  return grid.BuiltFor != nullptr && grid.BuiltFor == triangles.data() &&
         grid.Facets == triangles.size() && records == triangles.size();
}

inline bool LeavesCurrent(const FacetLeaves& leaves, std::span<const StlTriangle> triangles) {
  return leaves.BuiltFor != nullptr && leaves.BuiltFor == triangles.data() &&
         leaves.Facets == triangles.size();
}

}  // namespace vestan
