// The search records of STL facets (axis plane, plane and box), their
// ordering by decreasing top, and the two point-in-triangle tests.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/vector_math.h"
#include "model/triangle_geometry.h"

namespace vestan {

// Axis-plane kinds: the plane of a facet whose vertices share X, Y or Z.
inline constexpr int32_t kFacetPlaneX = 0;
inline constexpr int32_t kFacetPlaneY = 1;
inline constexpr int32_t kFacetPlaneZ = 2;
inline constexpr int32_t kFacetPlaneGeneral = 3;

// One per facet, parallel to its triangle array.
struct StlFacetRecord {
  int32_t AxisPlane = kFacetPlaneGeneral;
  TrianglePlane Plane{};
  Vec3 BoxMin{};
  Vec3 BoxMax{};  // BoxMax[2], the facet's top, is its ordering key
};

// Builds records to match triangles (resized to their count).
void BuildFacetRecords(std::span<const StlTriangle> triangles,
                       std::vector<StlFacetRecord>& records);

// Orders both arrays together by decreasing top: each step takes the largest
// top left, its first occurrence first and then its other occurrences in the
// order they stand. Equal-length arrays expected; only their common length is
// ordered.
void SortFacetsByTop(std::span<StlTriangle> triangles, std::span<StlFacetRecord> records);

// Buckets BuildTriangleBuckets orders apart before it merges them: 1 below
// 5000 facets, else n / 5000 but at least 2 and at most 50.
int32_t TriangleBucketCount(int64_t facetCount);

// Orders both arrays by decreasing top: SortFacetsByTop over each bucket of
// consecutive facets, then a merge that takes, from the bucket whose next top
// is the largest (the lowest bucket on a tie), that facet and every further
// one of the bucket with the same top.
void BuildTriangleBuckets(std::span<StlTriangle> triangles, std::span<StlFacetRecord> records);

// Point-in-triangle results.
inline constexpr int32_t kPointOutside = 0;
inline constexpr int32_t kPointNearVertex = 1;  // within 0.01 of a vertex
inline constexpr int32_t kPointOnEdge = 2;
inline constexpr int32_t kPointInsideXY = 21;
inline constexpr int32_t kPointInsideYZ = 22;
inline constexpr int32_t kPointInsideZX = 23;

// The point against the triangle in space: the angles it sees between the
// vertices add up to a full turn inside. The inside code names the plane the
// turn was judged in (the first of XY, YZ, ZX in which it shows).
int32_t TestPointInTriangle(TriangleVertices triangle, const Vec3& point);

// The same in the plane of coordinates a and b (0 X, 1 Y, 2 Z): 0, 1, 2 or
// kPointInsideXY.
int32_t TestPointInTriangle2D(TriangleVertices triangle, const Vec3& point, int a, int b);

}  // namespace vestan
