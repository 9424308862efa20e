#include "model/mesh_tool_cutting.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "definitions/tool_geometry.h"
#include "model/column_cut.h"
#include "model/part_transforms.h"
#include "model/triangle_geometry.h"

namespace vestan {

namespace {

bool Touching(double a, double b) { return std::fabs(a - b) <= kTouchingTolerance; }

// Inclusive range of grid indexes.
struct IndexRange {
  int32_t First = 0;
  int32_t Last = -1;
  bool Empty() const { return First > Last; }
};

// The grid lines inside [low, high]; empty when the span lies beside the
// grid or is not a number.
IndexRange GridRange(double low, double high, std::span<const double> lines, double pitch) {
  if (lines.empty() || !(high >= lines.front()) || !(low <= lines.back())) return {};
  const int32_t last = static_cast<int32_t>(lines.size()) - 1;
  return {std::max(0, CeilIndex((low - lines.front()) / pitch)),
          std::min(last, TruncIndex((high - lines.front()) / pitch))};
}

// One facet in model coordinates, with its plane, computed at first need.
struct PlacedFacet {
  std::array<Vec3, 3> P{};
  TrianglePlane Plane{};
  bool PlaneKnown = false;

  // False for a facet parallel to direction a or without area (its plane is
  // not a number): it crosses no line of the direction.
  bool Crosses(int a) {
    if (!PlaneKnown) {
      ComputePlaneFromTriangle(P[0], P[1], P[2], Plane);
      PlaneKnown = true;
    }
    return Plane[a] != 0.0 && std::isfinite(Plane[a]) && std::isfinite(Plane[3]);
  }
};

// The facet projected onto the (u, v) plane of a context, as three signed
// distances from its edges, positive inside.
class ProjectedFacet {
 public:
  enum class Side { kOutside, kInside, kNear };

  // False for a projection without area or with a zero edge, which only the
  // exact classification handles.
  bool Make(const PlacedFacet& f, int b, int c) {
    std::array<double, 3> u{}, v{};
    double scale = 0.0;
    for (int k = 0; k < 3; ++k) {
      u[k] = f.P[k][b];
      v[k] = f.P[k][c];
      scale = std::max({scale, std::fabs(u[k]), std::fabs(v[k])});
    }
    const double area = (u[1] - u[0]) * (v[2] - v[0]) - (v[1] - v[0]) * (u[2] - u[0]);
    if (!(area != 0.0) || !std::isfinite(area)) return false;
    const double orientation = area > 0 ? 1.0 : -1.0;
    double size = 0.0;
    for (int k = 0; k < 3; ++k) {
      const int l = (k + 1) % 3;
      const double du = u[l] - u[k], dv = v[l] - v[k];
      const double length = std::sqrt(du * du + dv * dv);
      if (!(length > 0) || !std::isfinite(length)) return false;
      size = std::max(size, length);
      a_[k] = -orientation * dv / length;
      b_[k] = orientation * du / length;
      c_[k] = orientation * (dv * u[k] - du * v[k]) / length;
    }
    // The classification takes a point within about 3e-8 of the facet's size
    // from an edge to lie on it; the margin leaves that band, and rounding,
    // to it.
    margin_ = 1e-6 * size + 1e-12 * scale;
    rows_.LowCount = rows_.HighCount = rows_.LevelCount = 0;
    columns_.LowCount = columns_.HighCount = columns_.LevelCount = 0;
    for (int k = 0; k < 3; ++k) {
      rows_.Add(a_[k], b_[k], c_[k], margin_);
      columns_.Add(b_[k], a_[k], c_[k], margin_);
    }
    return true;
  }

  // Along row v (along u) or column u (along v): the span that may hold
  // points of the facet, no farther than the margin outside any edge, and
  // within it the span of points farther than the margin inside every edge
  // (both up to rounding, far below the margin). Empty when low > high.
  struct Span {
    double Low, High;            // may hold points
    double InnerLow, InnerHigh;  // inside for sure
  };
  Span RowSpan(double v) const { return rows_.At(v, margin_); }
  Span ColumnSpan(double u) const { return columns_.At(u, margin_); }

  Side Classify(double u, double v) const {
    double nearest = std::numeric_limits<double>::infinity();
    for (int k = 0; k < 3; ++k) {
      const double d = a_[k] * u + b_[k] * v + c_[k];
      if (d < -margin_) return Side::kOutside;
      nearest = std::min(nearest, d);
    }
    return nearest > margin_ ? Side::kInside : Side::kNear;
  }

 private:
  // The bounds of x along a line at t that the edges set, each edge's
  // distance coef x + other t + constant: from below (coef > 0), from above
  // (coef < 0) or on the whole line (coef 0).
  struct Bounds {
    struct Bound {
      double At, Inner, Slope;  // x = At + Slope t, Inner + Slope t
    };
    std::array<Bound, 3> Low, High;
    std::array<std::array<double, 2>, 3> Level;  // other, constant
    int LowCount = 0, HighCount = 0, LevelCount = 0;

    void Add(double coef, double other, double constant, double margin) {
      if (coef == 0.0) {
        Level[LevelCount++] = {other, constant};
        return;
      }
      const Bound bound{-(constant + margin) / coef, -(constant - margin) / coef, -other / coef};
      if (coef > 0)
        Low[LowCount++] = bound;
      else
        High[HighCount++] = bound;
    }
    Span At(double t, double margin) const {
      constexpr double kInfinity = std::numeric_limits<double>::infinity();
      Span span{-kInfinity, kInfinity, -kInfinity, kInfinity};
      for (int k = 0; k < LowCount; ++k) {
        span.Low = std::max(span.Low, Low[k].At + Low[k].Slope * t);
        span.InnerLow = std::max(span.InnerLow, Low[k].Inner + Low[k].Slope * t);
      }
      for (int k = 0; k < HighCount; ++k) {
        span.High = std::min(span.High, High[k].At + High[k].Slope * t);
        span.InnerHigh = std::min(span.InnerHigh, High[k].Inner + High[k].Slope * t);
      }
      for (int k = 0; k < LevelCount; ++k) {
        const double d = Level[k][0] * t + Level[k][1];
        if (d < -margin) span.High = -kInfinity;
        if (!(d > margin)) span.InnerHigh = -kInfinity;
      }
      return span;
    }
  };

  // Set by Make.
  std::array<double, 3> a_, b_, c_;  // distance from edge k: a u + b v + c
  double margin_;
  Bounds rows_, columns_;  // u along a row at v; v along a column at u
};

// Appends the crossings of one facet with the lines of one direction: the
// columns of ranges u and v (of the context's frame) that hold material.
class FacetIntersector {
 public:
  FacetIntersector(PlacedFacet& facet, const CutGridContext& grid, CrossingSet& out,
                   int64_t& ignored, int64_t& visited)
      : facet_(facet),
        grid_(grid),
        out_(out),
        ignored_(ignored),
        visited_(visited),
        a_(grid.AxisW),
        b_(grid.AxisU),
        c_(grid.AxisV),
        rowLength_(grid.CountU),
        counts_(grid.Set->Counts.data()) {}

  // Crosses the columns of ranges u and v; the plain scan tries every one
  // of them with the exact classification.
  void Run(IndexRange u, IndexRange v, bool plain) {
    const int32_t used = out_.Used;
    Scan(u, v, plain);
    if (out_.Used != used) out_.Cover(u.First, u.Last, v.First, v.Last);
  }

 private:
  void Scan(IndexRange u, IndexRange v, bool plain) {
    // A facet whose projection has no area is scanned plainly too.
    ProjectedFacet projected;
    if (!plain) {
      // A facet that crosses no line of the direction needs no row.
      if (!facet_.Crosses(a_)) return;
      if (projected.Make(facet_, b_, c_)) {
        Rows(projected, u, v);
        return;
      }
    }
    for (int32_t r = v.First; r <= v.Last; ++r) {
      for (int32_t q = u.First; q <= u.Last; ++q) {
        if (counts_[r * rowLength_ + q] < 2) continue;
        ++visited_;
        if (!facet_.Crosses(a_)) return;
        Cross(q, r, true);
      }
    }
  }

  // The columns of each row's span, or the rows of each column's span for a
  // facet whose box spans fewer columns than rows; near the facet's edges
  // the exact classification decides.
  void Rows(const ProjectedFacet& projected, IndexRange u, IndexRange v) {
    const auto candidate = [&](int32_t q, int32_t r, bool inside) {
      if (counts_[r * rowLength_ + q] < 2) return;
      ++visited_;
      const ProjectedFacet::Side side = inside
                                            ? ProjectedFacet::Side::kInside
                                            : projected.Classify(grid_.CoordU[q], grid_.CoordV[r]);
      if (side != ProjectedFacet::Side::kOutside) Cross(q, r, side == ProjectedFacet::Side::kNear);
    };
    // Along each line of the outer axis, the lines of the inner axis within
    // the facet's span there.
    const double perPitch = 1.0 / grid_.Pitch;
    const auto walk = [&](IndexRange outer, IndexRange inner, std::span<const double> outerLines,
                          std::span<const double> innerLines, auto spanAt, auto visit) {
      const double origin = innerLines.front();
      for (int32_t o = outer.First; o <= outer.Last; ++o) {
        const ProjectedFacet::Span span = spanAt(outerLines[o]);
        if (!(span.Low <= span.High)) continue;
        const int32_t last = FloorWithin((span.High - origin) * perPitch, inner);
        for (int32_t n = CeilWithin((span.Low - origin) * perPitch, inner); n <= last; ++n)
          visit(o, n, innerLines[n] > span.InnerLow && innerLines[n] < span.InnerHigh);
      }
    };
    if (u.Last - u.First < v.Last - v.First)
      walk(
          u, v, grid_.CoordU, grid_.CoordV, [&](double at) { return projected.ColumnSpan(at); },
          [&](int32_t q, int32_t r, bool inside) { candidate(q, r, inside); });
    else
      walk(
          v, u, grid_.CoordV, grid_.CoordU, [&](double at) { return projected.RowSpan(at); },
          [&](int32_t r, int32_t q, bool inside) { candidate(q, r, inside); });
  }

  // The index of the first line at or above x (an index along u), kept
  // within one past the range; u's indexes are not negative.
  static int32_t CeilWithin(double x, IndexRange u) {
    if (!(x > u.First)) return u.First;
    if (!(x <= u.Last)) return u.Last + 1;
    const int32_t t = static_cast<int32_t>(x);
    return t < x ? t + 1 : t;
  }
  static int32_t FloorWithin(double x, IndexRange u) {
    if (!(x < u.Last)) return u.Last;
    if (!(x >= u.First)) return u.First - 1;
    return static_cast<int32_t>(x);
  }

  // Crosses column (q, r), which holds material, with the facet, whose plane
  // crosses the direction's lines.
  void Cross(int32_t q, int32_t r, bool near) {
    const TrianglePlane& n = facet_.Plane;
    const double u = grid_.CoordU[q], v = grid_.CoordV[r];
    double value = -(n[b_] * u + n[c_] * v + n[3]) / n[a_];
    if (near) {
      Vec3 point;
      point[a_] = value;
      point[b_] = u;
      point[c_] = v;
      const int32_t result =
          TestPointInTriangleProjected(facet_.P[0], facet_.P[1], facet_.P[2], point, b_, c_);
      if (result == 0) return;
      // On a vertex the vertex's own coordinate: the facets sharing it give
      // the same value.
      if (result <= 3) value = facet_.P[result - 1][a_];
    }
    if (!std::isfinite(value)) return;
    if (!AppendDoubleToArray(out_.Open(q, r), value)) ++ignored_;
  }

  PlacedFacet& facet_;
  const CutGridContext& grid_;
  CrossingSet& out_;
  int64_t& ignored_;
  int64_t& visited_;  // the context's VisitedColumns
  const int a_, b_, c_;
  const int32_t rowLength_;
  const int32_t* counts_;
};

// The list holds count values again; a list that fits its inline slots goes
// back there.
void Settle(CrossingColumn& column, int32_t count) {
  if (column.Count > kDexelStride && count <= kDexelStride) {
    std::copy_n(column.Spill.begin(), count, column.Inline.begin());
    std::vector<double>().swap(column.Spill);
  } else if (count > kDexelStride) {
    column.Spill.resize(static_cast<size_t>(count));
  }
  column.Count = count;
}

void UpdateColumn(const DexelSet& set, CrossingColumn& column) {
  if (column.Count < 2) return;
  const std::span<const double> material = DexelColumnValues(set, column.Column);
  if (material.empty()) {
    Settle(column, 0);
    return;
  }
  const double first = material.front(), last = material.back();
  std::span<double> v = column.Values();
  if (column.Count == 2) {
    if (v[0] > v[1]) std::swap(v[0], v[1]);
    if (v[0] > last || first > v[1] || Touching(v[0], v[1])) Settle(column, 0);
    return;
  }
  SortValues(v);
  if (v.front() > last || first > v.back()) {
    Settle(column, 0);
    return;
  }
  const int32_t before = column.Count;
  int32_t count = before;
  if (Touching(v[0], v[1])) {
    std::copy(v.begin() + 1, v.end(), v.begin());
    --count;
  }
  if (count >= 2 && Touching(v[count - 1], v[count - 2])) --count;
  if (count < 2) {
    Settle(column, 0);
    return;
  }
  if (count != (before & ~1)) MergeTouchingIntervals(count, v);
  Settle(column, count);
}

// The column has no crossings again.
void Release(CrossingSet& set, CrossingColumn& column) {
  set.Entry[static_cast<size_t>(column.Column)] = -1;
  if (column.Count > kDexelStride || column.Spill.capacity() > 0)
    std::vector<double>().swap(column.Spill);
  column.Count = 0;
}

// Calls visit(column, i, j) for every crossed column (i along the row, j the
// row), rows outer as the columns lie in the model's set: through their box
// when they fill enough of it, else sorted.
template <typename Visit>
void ForEachCrossedColumn(CrossingSet& set, const DexelSet& model, Visit&& visit) {
  // Scanning the box costs little beside the columns when they fill a
  // quarter of it.
  constexpr int64_t kBoxPerColumn = 4;
  if (set.Used == 0) return;
  const int64_t box = static_cast<int64_t>(set.HighU - set.LowU + 1) * (set.HighV - set.LowV + 1);
  if (set.LowU <= set.HighU && set.LowV <= set.HighV && box <= kBoxPerColumn * set.Used) {
    constexpr int32_t kAhead = 8;
    for (int32_t j = set.LowV; j <= set.HighV; ++j) {
      const int32_t* row = set.Entry.data() + static_cast<size_t>(j) * set.RowLength;
      for (int32_t i = set.LowU; i <= set.HighU; ++i) {
        // The lists a few columns ahead, crossed in another order, and
        // their material.
        if (i + kAhead <= set.HighU && row[i + kAhead] >= 0) {
          __builtin_prefetch(&set.Touched[static_cast<size_t>(row[i + kAhead])]);
          __builtin_prefetch(model.Values.data() +
                             (static_cast<size_t>(j) * set.RowLength + i + kAhead) * model.Stride);
        }
        if (row[i] >= 0) visit(set.Touched[static_cast<size_t>(row[i])], i, j);
      }
    }
    return;
  }
  // In column order all the same, which is rows outer: the volume sums then
  // add up exactly as in the box.
  std::vector<int32_t>& order = set.Order;
  order.resize(static_cast<size_t>(set.Used));
  for (int32_t k = 0; k < set.Used; ++k) order[static_cast<size_t>(k)] = k;
  std::sort(order.begin(), order.end(), [&set](int32_t a, int32_t b) {
    return set.Touched[static_cast<size_t>(a)].Column < set.Touched[static_cast<size_t>(b)].Column;
  });
  for (int32_t k : order) {
    CrossingColumn& column = set.Touched[static_cast<size_t>(k)];
    visit(column, column.Column % set.RowLength, column.Column / set.RowLength);
  }
}

bool InRange(const CutGridContext& grid, int32_t i, int32_t j) {
  return i >= grid.RangeU0 && i <= grid.RangeU1 && j >= grid.RangeV0 && j <= grid.RangeV1;
}

// Removes one pair from column (i, j); false when the column holds no
// material beyond the pair's start (the later pairs lie higher still). A
// pair that only touches the material cuts nothing.
bool CutPair(CutContext& cut, CutGridContext& grid, int32_t i, int32_t j, int32_t column,
             double low, double high) {
  const std::span<const double> material = DexelColumnValues(*grid.Set, column);
  if (material.empty() || low > material.back()) return false;
  if (material.front() < high && low < material.back()) {
    const RunState& run = cut.Records.Run;
    CutColumnInterval(cut, grid,
                      MakeColumnCut(grid, i, j, {low, high}, run.CutFaceFlags,
                                    run.CutFaceAttributes, CutRule::kRecording));
  }
  return true;
}

// Removes the pairs of column (i, j) from the model when it lies in the
// context's range.
void ApplyColumn(CutContext& cut, CutGridContext& grid, const CrossingColumn& column, int32_t i,
                 int32_t j, bool inRange = false) {
  if (column.Count < 2 || !(inRange || InRange(grid, i, j))) return;
  const std::span<const double> v = column.Values();
  // Three values are one interval from the first to the last.
  if (column.Count == 3) {
    CutPair(cut, grid, i, j, column.Column, v[0], v[2]);
    return;
  }
  for (int32_t p = 0; p + 1 < column.Count; p += 2)
    if (!CutPair(cut, grid, i, j, column.Column, v[p], v[p + 1])) return;
}

// A column crossed twice, taken as UpdateColumn and ApplyColumn take it: its
// one pair is cut unless it has no length.
void CutSinglePassage(CutContext& cut, CutGridContext& grid, const CrossingColumn& column,
                      int32_t i, int32_t j, bool inRange) {
  const double a = column.Inline[0], b = column.Inline[1];
  if (Touching(a, b) || !(inRange || InRange(grid, i, j))) return;
  CutPair(cut, grid, i, j, column.Column, std::min(a, b), std::max(a, b));
}

}  // namespace

Vec3 SpinToolPoint(double degrees, const Vec3& point) {
  if (degrees == 0.0) return point;
  double c, s;
  AngleCosSin(degrees, c, s);
  return {c * point[0] - s * point[1], s * point[0] + c * point[1], point[2]};
}

bool CollectMeshToolCrossings(CutContext& cut, DexelModel& model) {
  const CutRecords& records = cut.Records;
  if (records.Mesh == nullptr || records.Mesh->Triangles.empty() || records.Position == nullptr)
    return false;
  if (records.Run.CuttingEnabled == 0 || !records.Document.MayCut() || !model.Allocated())
    return false;

  CutGrids& grids = cut.Grids;
  if (std::any_of(grids.begin(), grids.end(),
                  [&model](const CutGridContext& grid) { return grid.Model != &model; }))
    BindCutGrids(grids, model);
  for (CutGridContext& grid : grids) RefreshCutGrid(grid);
  MeshToolCrossings& crossings = cut.MeshCrossings;
  ClearMeshToolCrossings(crossings);
  for (int k = 0; k < 3; ++k) {
    const DexelSet* set = grids[k].Set;
    if (set != nullptr && crossings.Directions[k].Entry.size() != set->Counts.size()) {
      AllocCutWorkArrays(crossings, model);
      break;
    }
  }

  const double spin = records.Run.ToolSpinAngle;
  const double reference = records.Position->ReferenceLength;
  const Placement& frame = records.Position->ToolFrame;
  for (const StlTriangle& triangle : records.Mesh->Triangles) {
    PlacedFacet facet;
    for (int k = 0; k < 3; ++k) {
      Vec3 p{triangle[3 + 3 * k], triangle[4 + 3 * k], triangle[5 + 3 * k]};
      if (spin != 0.0) p = SpinToolPoint(spin, p);
      p[2] -= reference;
      p = TransformPointAffine(frame, p);
      TransformPointToModel(model, p);
      facet.P[k] = p;
    }
    Vec3 low, high;
    ComputeBoundingBox(facet.P[0], facet.P[1], facet.P[2], low, high);
    // Context k runs along model axis k, so its CoordW are that axis's lines.
    std::array<IndexRange, 3> ranges;
    for (int k = 0; k < 3; ++k)
      ranges[k] = GridRange(low[k], high[k], grids[k].CoordW, model.Pitch);
    for (CutGridContext& grid : grids) {
      const IndexRange& u = ranges[grid.AxisU];
      const IndexRange& v = ranges[grid.AxisV];
      if (grid.Set == nullptr || u.Empty() || v.Empty()) continue;
      FacetIntersector(facet, grid, crossings.Directions[grid.AxisW], crossings.IgnoredCrossings,
                       grid.VisitedColumns)
          .Run(u, v, cut.PlainColumnScan);
    }
  }
  return true;
}

void UpdateColumnExtents(const DexelSet& set, CrossingSet& crossings) {
  for (CrossingColumn& column : crossings.Columns()) UpdateColumn(set, column);
}

void SortValues(std::span<double> values) { std::sort(values.begin(), values.end()); }

void MergeTouchingIntervals(int32_t& count, std::span<double> values) {
  if (count < 2) {
    count = 0;
    return;
  }
  int32_t kept = 1;
  for (int32_t k = 1; k < count; ++k)
    if (!Touching(values[k], values[kept - 1])) values[kept++] = values[k];
  count = kept < 2 ? 0 : kept;
}

void ApplyMeshToolIntervals(CutContext& cut, CutGridContext& grid, CrossingSet& crossings) {
  if (grid.Set == nullptr) return;
  ForEachCrossedColumn(crossings, *grid.Set,
                       [&](const CrossingColumn& column, int32_t i, int32_t j) {
                         ApplyColumn(cut, grid, column, i, j);
                       });
}

void ClearMeshToolCrossings(MeshToolCrossings& crossings) {
  for (CrossingSet& set : crossings.Directions) {
    for (CrossingColumn& column : set.Columns()) Release(set, column);
    set.Used = 0;
    set.LowU = set.LowV = 0;
    set.HighU = set.HighV = -1;
  }
}

// The steps one after the other over whole ranges: the reference the
// column-by-column cut is checked against.
void CutCollectedPlainly(CutContext& cut) {
  for (CutGridContext& grid : cut.Grids)
    if (grid.Set != nullptr)
      UpdateColumnExtents(*grid.Set, cut.MeshCrossings.Directions[grid.AxisW]);
  for (CutGridContext& grid : cut.Grids) {
    if (grid.Set == nullptr) continue;
    const CrossingSet& set = cut.MeshCrossings.Directions[grid.AxisW];
    for (int32_t j = std::max(grid.RangeV0, 0); j <= std::min(grid.RangeV1, grid.LastV); ++j)
      for (int32_t i = std::max(grid.RangeU0, 0); i <= std::min(grid.RangeU1, grid.LastU); ++i) {
        const int32_t entry = set.Entry[static_cast<size_t>(j) * set.RowLength + i];
        if (entry >= 0) ApplyColumn(cut, grid, set.Touched[static_cast<size_t>(entry)], i, j);
      }
  }
  ClearMeshToolCrossings(cut.MeshCrossings);
}

int32_t CutWithMeshTool(CutContext& cut, DexelModel& model) {
  if (!CollectMeshToolCrossings(cut, model)) return 0;
  if (cut.PlainColumnScan) {
    CutCollectedPlainly(cut);
    return 0;
  }
  // A column's extents read only its own material, which no other column's
  // cut changes: each column is cut right after its extents are taken.
  for (CutGridContext& grid : cut.Grids) {
    if (grid.Set == nullptr) continue;
    CrossingSet& set = cut.MeshCrossings.Directions[grid.AxisW];
    // Mostly every crossed column lies in the range: then none is tested.
    const bool inRange = set.LowU <= set.HighU && InRange(grid, set.LowU, set.LowV) &&
                         InRange(grid, set.HighU, set.HighV);
    ForEachCrossedColumn(set, *grid.Set, [&](CrossingColumn& column, int32_t i, int32_t j) {
      if (column.Count == 2) {
        CutSinglePassage(cut, grid, column, i, j, inRange);
      } else {
        UpdateColumn(*grid.Set, column);
        ApplyColumn(cut, grid, column, i, j, inRange);
      }
      Release(set, column);
    });
    set.Used = 0;
  }
  // Directions without a set still give up their lists.
  ClearMeshToolCrossings(cut.MeshCrossings);
  return 0;
}

}  // namespace vestan
