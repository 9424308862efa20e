// The exact tests of the interference checks: a segment against a facet, a
// triangle's edges against a facet, and a triangle against the material of
// one dexel set.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/vector_math.h"
#include "model/dexel_model.h"
#include "model/triangle_geometry.h"
#include "modelfiles/stl_facets.h"

namespace vestan {

// 1 when segment p0-p1 meets plane inside triangle (on a vertex, an edge or
// inside; ends included), else 0. A segment parallel to the plane, in it
// included, never meets it.
int32_t IntersectSegmentPlane(const TrianglePlane& plane, TriangleVertices triangle, const Vec3& p0,
                              const Vec3& p1, Vec3& point);

// The same for a facet lying in the plane k = const: the crossing is found on
// axis k alone and judged in the plane of axes i and j. 0 unless k, i, j are
// X, Y and Z once each.
int32_t IntersectSegmentTrianglePlane(const TrianglePlane& plane, TriangleVertices triangle, int k,
                                      int i, int j, const Vec3& p0, const Vec3& p1, Vec3& point);

// 1 when an edge of triangle (p0-p1, p1-p2, p2-p0 in that order) meets the
// facet; the facet's edges are not tested against the triangle.
int32_t IntersectTriangleEdgesWithFacet(TriangleVertices facet, const StlFacetRecord& record,
                                        TriangleVertices triangle);

// The columns of one dexel set to look at: columns [FirstColumn, LastColumn]
// along axis i and rows [FirstRow, LastRow] along axis j, column index
// row * RowStride + column; the columns run along axis k.
struct DexelWindow {
  int K = 2, I = 0, J = 1;
  int32_t FirstColumn = 0, LastColumn = -1;
  int32_t FirstRow = 0, LastRow = -1;
  int32_t RowStride = 0;
  std::span<const double> ColumnCoordinates;  // grid lines on axis i
  std::span<const double> RowCoordinates;     // grid lines on axis j
};

// 1 when triangle (model coordinates) meets material of set inside window:
// a dexel line of the window crosses the triangle inside one of its
// intervals. plane is the triangle's plane, computed at first need when it
// is all zero and left there for the next call. Columns are read in place,
// whatever their length. 0 unless the window's K, I, J are X, Y and Z once
// each.
int32_t TestTriangleAgainstDexels(TriangleVertices triangle, TrianglePlane& plane,
                                  const DexelWindow& window, const DexelSet& set);

}  // namespace vestan
