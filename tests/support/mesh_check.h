// Checks of a triangle mesh read back from STL: whether it is closed and
// consistently wound, and the volume it encloses. Shared by the tests, the
// benchmarks and the fuzz targets.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/vector_math.h"
#include "modelfiles/stl_file.h"

namespace vestan::testing {

// Adds a facet's share of the enclosed volume (divergence theorem) and its
// area.
inline void AddVolumeAndArea(const StlTriangle& t, double& volume, double& area) {
  const Vec3 p{t[3], t[4], t[5]}, q{t[6], t[7], t[8]}, r{t[9], t[10], t[11]};
  volume += VectorDot(p, VectorCross(q, r)) / 6;
  area += VectorLength(VectorCross(VectorSub(q, p), VectorSub(r, p))) / 2;
}

// What a triangle mesh is made of, and whether it bounds a solid.
struct MeshReport {
  size_t Facets = 0;
  // Edges (by their end points) used more often one way than the other: the
  // mesh has a hole or a facet turned the wrong way there.
  size_t UnpairedEdges = 0;
  // Edges used as often each way but by more than two facets: sheets of
  // surface meeting along a line (where the model's material itself has no
  // thickness).
  size_t SharedEdges = 0;
  // Facets whose stored normal points against their winding.
  size_t InvertedNormals = 0;
  // Facets with two equal points, left out of the checks.
  size_t Degenerate = 0;
  double Volume = 0;  // enclosed, by the divergence theorem
  double Area = 0;
  Vec3 Low{1e300, 1e300, 1e300};
  Vec3 High{-1e300, -1e300, -1e300};
  std::string FirstUnpaired;
};

inline MeshReport CheckMesh(const std::vector<StlTriangle>& triangles) {
  MeshReport r;
  r.Facets = triangles.size();
  using Point = std::array<double, 3>;
  std::map<std::pair<Point, Point>, int> edges;
  for (const StlTriangle& t : triangles) {
    const Point p[3] = {{t[3], t[4], t[5]}, {t[6], t[7], t[8]}, {t[9], t[10], t[11]}};
    // A facet whose points the reader made equal (it clears coordinates
    // below 1e-14) encloses nothing, and its other two edges cancel.
    if (p[0] == p[1] || p[1] == p[2] || p[2] == p[0]) {
      ++r.Degenerate;
      continue;
    }
    for (int k = 0; k < 3; ++k) {
      const Point& a = p[k];
      const Point& b = p[(k + 1) % 3];
      // +1 one way, -1 the other: a closed, consistently wound mesh sums to 0
      // on every edge, and every edge is met exactly twice.
      if (a < b)
        edges[{a, b}] += 1;
      else
        edges[{b, a}] += 1000;
      for (int axis = 0; axis < 3; ++axis) {
        r.Low[axis] = std::min(r.Low[axis], a[axis]);
        r.High[axis] = std::max(r.High[axis], a[axis]);
      }
    }
    const Vec3 n = VectorCross(VectorSub(p[1], p[0]), VectorSub(p[2], p[0]));
    AddVolumeAndArea(t, r.Volume, r.Area);
    if (VectorDot(n, Vec3{t[0], t[1], t[2]}) <= 0) ++r.InvertedNormals;
  }
  for (const auto& [edge, uses] : edges) {
    if (uses == 1001) continue;
    if (uses % 1000 == uses / 1000) {
      ++r.SharedEdges;
      continue;
    }
    if (r.UnpairedEdges++ == 0) {
      char text[200];
      std::snprintf(text, sizeof text, "(%g %g %g)-(%g %g %g) used %d times one way, %d the other",
                    edge.first[0], edge.first[1], edge.first[2], edge.second[0], edge.second[1],
                    edge.second[2], uses % 1000, uses / 1000);
      r.FirstUnpaired = text;
    }
  }
  return r;
}

// Reads an STL file back whole.
inline std::vector<StlTriangle> ReadMesh(const std::string& path) {
  const int32_t kind = DetectStlKind(path);
  std::vector<StlTriangle> triangles;
  Vec3 lo, hi;
  ReadStlTriangles(kind, CountStlFacets(kind, path), path, {0, 0, 0}, lo, hi, triangles);
  return triangles;
}

}  // namespace vestan::testing
