#include "modelfiles/surface_cells.h"

#include <algorithm>

namespace vestan {

namespace {

// Keys of a cell's points: change m of edge e is 4 e + m, corner c is
// kCornerKeys + c.
constexpr int kCornerKeys = kCellEdges * kMaxEdgeChanges;
constexpr int kPointKeys = kCornerKeys + kCellCorners;

EdgeSpan Span(int32_t code) {
  EdgeSpan span;
  span.Code = code;
  return span;
}

EdgeSpan Span(int32_t code, double v, uint8_t f) {
  EdgeSpan span;
  span.Code = code;
  span.Count = 1;
  span.Values[0] = v;
  span.Flags[0] = f;
  return span;
}

EdgeSpan Span(int32_t code, double v0, uint8_t f0, double v1, uint8_t f1) {
  EdgeSpan span;
  span.Code = code;
  span.Count = 2;
  span.Values = {v0, v1};
  span.Flags = {f0, f1};
  return span;
}

// The flag byte of the column value nearest t (the lower one of two as near),
// given the first interval whose end reaches t; 0 for an empty column. The
// values next to t are the end before that interval and its own two.
uint8_t NearestFlag(std::span<const double> values, std::span<const uint8_t> flags, size_t first,
                    double t) {
  if (values.empty()) return 0;
  size_t below = values.size(), above = values.size();
  for (size_t k = first == 0 ? 0 : first - 1; k < std::min(first + 2, values.size()); ++k) {
    if (values[k] < t)
      below = k;
    else if (above == values.size())
      above = k;
  }
  if (above == values.size()) return flags[below];
  if (below == values.size()) return flags[above];
  return t - values[below] <= values[above] - t ? flags[below] : flags[above];
}

// The corner at offsets d along the three axes.
int CornerAt(int dx, int dy, int dz) { return dx + 2 * dy + 4 * dz; }
int CornerOffset(int corner, int axis) { return (corner >> axis) & 1; }

// The edge along axis a whose offsets on the next two axes are o1 and o2.
int EdgeAt(int axis, int o1, int o2) { return 4 * axis + o1 + 2 * o2; }
int EdgeAxis(int edge) { return edge / 4; }

// The corner at the low (end 0) or high (end 1) end of an edge.
int EdgeCorner(int edge, int end) {
  const int a = EdgeAxis(edge);
  int d[3];
  d[a] = end;
  d[(a + 1) % 3] = edge & 1;
  d[(a + 2) % 3] = (edge >> 1) & 1;
  return CornerAt(d[0], d[1], d[2]);
}

Vec3 CornerPosition(const GridCell& cell, int corner) {
  return {cell.Lines[0][CornerOffset(corner, 0)], cell.Lines[1][CornerOffset(corner, 1)],
          cell.Lines[2][CornerOffset(corner, 2)]};
}

Vec3 EdgePosition(const GridCell& cell, int edge, double t) {
  const int a = EdgeAxis(edge);
  Vec3 p{};
  p[a] = t;
  p[(a + 1) % 3] = cell.Lines[(a + 1) % 3][edge & 1];
  p[(a + 2) % 3] = cell.Lines[(a + 2) % 3][(edge >> 1) & 1];
  return p;
}

SurfacePoint ChangePoint(const GridCell& cell, int edge, int change) {
  const CellEdge& e = cell.Edges[edge];
  return {EdgePosition(cell, edge, e.Changes[change]), e.ChangeFlags[change],
          static_cast<uint8_t>(edge * kMaxEdgeChanges + change)};
}

SurfacePoint CornerPoint(const GridCell& cell, int corner) {
  // The X edge through the corner lends its end flag.
  const int edge = EdgeAt(0, CornerOffset(corner, 1), CornerOffset(corner, 2));
  return {CornerPosition(cell, corner), cell.Edges[edge].EndFlags[CornerOffset(corner, 0)],
          static_cast<uint8_t>(kCornerKeys + corner)};
}

// Whether the edge's material starts just above lo, and its changes inside
// (lo, hi) with their flags, by its span code.
struct Interior {
  bool StartsInMaterial = false;
  int Count = 0;
  std::array<double, 2> At{};
  std::array<uint8_t, 2> Flags{};
};

Interior InteriorOf(const EdgeSpan& span) {
  Interior in;
  const auto oneChange = [&](size_t value) {
    in.Count = 1;
    in.At[0] = span.Values[value];
    in.Flags[0] = span.Flags[value];
  };
  switch (span.Code) {
    case kSpanCovered:
    case kSpanFromLow:
    case kSpanToHigh:
    case kSpanExact:
      in.StartsInMaterial = true;
      break;
    case kSpanFromInside:
    case kSpanInsideToHigh:
      oneChange(0);  // a
      break;
    case kSpanToInside:
      in.StartsInMaterial = true;
      oneChange(0);  // b
      break;
    case kSpanLowToInside:
      in.StartsInMaterial = true;
      oneChange(1);  // b, after lo
      break;
    case kSpanInside:
      in.Count = 2;
      in.At = span.Values;
      in.Flags = span.Flags;
      break;
    default:
      break;
  }
  return in;
}

void ClassifyEdge(const DexelSet& set, int32_t column, double lo, double hi, CellEdge& edge) {
  const std::span<const double> values = DexelColumnValues(set, column);
  const std::span<const uint8_t> flags = DexelColumnFlags(set, column);
  const size_t first = FirstIntervalReaching(values, lo);
  size_t last = first;  // the first interval reaching hi
  while (last + 1 < values.size() && values[last + 1] < hi) last += 2;
  edge.Span = ClassifyColumnEdge(values, flags, first, lo, hi, &edge.Covered);
  edge.EndHeld[0] = first + 1 < values.size() && values[first] <= lo;
  edge.EndHeld[1] = last + 1 < values.size() && values[last] <= hi;
  edge.EndFlags[0] = NearestFlag(values, flags, first, lo);
  edge.EndFlags[1] = NearestFlag(values, flags, last, hi);
}

// The change points of an edge between corners of the given material.
void SetEdgeChanges(CellEdge& edge, double lo, double hi, bool loMaterial, bool hiMaterial) {
  const Interior in = InteriorOf(edge.Span);
  int n = 0;
  const auto add = [&](double at, uint8_t flag) {
    edge.Changes[n] = at;
    edge.ChangeFlags[n] = flag;
    ++n;
  };
  if (loMaterial != in.StartsInMaterial) add(lo, edge.EndFlags[0]);
  for (int m = 0; m < in.Count; ++m) add(in.At[m], in.Flags[m]);
  const bool endsInMaterial = in.StartsInMaterial != (in.Count % 2 == 1);
  if (endsInMaterial != hiMaterial) add(hi, edge.EndFlags[1]);
  edge.ChangeCount = n;
}

// One event met going round a face: a corner or a change point.
struct FaceEvent {
  SurfacePoint Point;
  bool Change = false;
};

void AddSegment(std::vector<SurfaceSegment>& segments, const SurfacePoint& from,
                const SurfacePoint& to, int32_t group) {
  segments.push_back({from, to, group});
}

// Adds a chain of points as segments, forward or backward, closed when asked.
void AddChain(std::vector<SurfaceSegment>& segments, std::span<const SurfacePoint> points,
              bool forward, bool closed, int32_t group) {
  const size_t n = points.size();
  const auto at = [&](size_t k) { return forward ? points[k] : points[n - 1 - k]; };
  for (size_t k = 0; k + 1 < n; ++k) AddSegment(segments, at(k), at(k + 1), group);
  if (closed && n > 1) AddSegment(segments, at(n - 1), at(0), group);
}

}  // namespace

EdgeSpan ClassifySpanAgainstCell(double a, uint8_t flagA, double b, uint8_t flagB, double lo,
                                 double hi) {
  if (a > hi || b < lo) return Span(kSpanNone);
  if (b == lo) return Span(kSpanTouchesLow, lo, flagB);
  if (a == hi) return Span(kSpanTouchesHigh, hi, flagA);
  if (a < lo) return b >= hi ? Span(kSpanToHigh, hi, flagB) : Span(kSpanToInside, b, flagB);
  if (a == lo) {
    if (b > hi) return Span(kSpanFromLow, lo, flagA);
    if (b == hi) return Span(kSpanExact, lo, flagA, hi, flagB);
    return Span(kSpanLowToInside, lo, flagA, b, flagB);
  }
  if (b > hi) return Span(kSpanFromInside, a, flagA);
  if (b == hi) return Span(kSpanInsideToHigh, a, flagA, b, flagB);
  return Span(kSpanInside, a, flagA, b, flagB);
}

void CollectColumnSpansInRange(std::span<const double> values, std::span<const uint8_t> flags,
                               double lo, double hi, EdgeSpan& span) {
  const size_t pairs = std::min(values.size(), flags.size()) / 2;
  if (pairs == 0 || values[0] > hi || values[2 * pairs - 1] < lo) return;
  for (size_t p = 0; p < pairs; ++p) {
    const double a = values[2 * p], b = values[2 * p + 1];
    const uint8_t fa = flags[2 * p], fb = flags[2 * p + 1];
    const int32_t code = span.Code;
    if (a == lo) {
      if (b == hi) {
        span = Span(kSpanExact, lo, fa, hi, fb);
        return;
      }
      if (b > hi) {
        span = Span(kSpanFromLow, lo, fa);
        return;
      }
      span = Span(kSpanLowToInside, lo, fa, b, fb);
      continue;
    }
    if (a == hi) {
      // Material touching both ends of an empty edge does not cover it: the
      // edge keeps its touch at lo.
      if (code == kSpanNone) span = Span(kSpanTouchesHigh, hi, fa);
      return;
    }
    if (a > hi) return;
    if (a < lo) {
      if (b == lo) {
        span = Span(kSpanTouchesLow, lo, fb);
        continue;
      }
      if (b == hi) {
        span = Span(kSpanToHigh, hi, fb);
        return;
      }
      if (b > hi) {
        span = Span(kSpanCovered);
        return;
      }
      if (b > lo) span = Span(kSpanToInside, b, fb);
      continue;
    }
    // lo < a < hi
    const bool fresh = code == kSpanNone || code == kSpanTouchesLow;
    if (b > hi) {
      if (fresh) {
        span = Span(kSpanFromInside, a, fa);
      } else if (code == kSpanToInside) {
        span = Span(kSpanCovered);
      } else if (code == kSpanLowToInside) {
        span = Span(kSpanFromLow, span.Values[0], span.Flags[0]);
      } else if (code == kSpanInside) {
        span = Span(kSpanFromInside, span.Values[0], span.Flags[0]);
      }
      return;
    }
    if (b == hi) {
      if (fresh) {
        span = Span(kSpanInsideToHigh, a, fa, b, fb);
      } else if (code == kSpanToInside) {
        span = Span(kSpanToHigh, hi, fb);
      } else if (code == kSpanLowToInside) {
        span = Span(kSpanExact, span.Values[0], span.Flags[0], hi, fb);
      } else if (code == kSpanInside) {
        span = Span(kSpanInsideToHigh, span.Values[0], span.Flags[0], hi, fb);
      }
      return;
    }
    if (fresh) {
      span = Span(kSpanInside, a, fa, b, fb);
    } else if (code == kSpanToInside) {
      span.Values[0] = b;
      span.Flags[0] = fb;
    } else if (code == kSpanLowToInside || code == kSpanInside) {
      span.Values[1] = b;
      span.Flags[1] = fb;
    }
  }
}

int32_t SpanInterior(const EdgeSpan& span) {
  switch (span.Code) {
    case kSpanNone:
    case kSpanTouchesLow:
    case kSpanTouchesHigh:
      return kInteriorEmpty;
    case kSpanCovered:
    case kSpanFromLow:
    case kSpanToHigh:
    case kSpanExact:
      return kInteriorFull;
    default:
      return kInteriorChanging;
  }
}

size_t FirstIntervalReaching(std::span<const double> values, double t) {
  const size_t pairs = values.size() / 2;
  size_t low = 0, high = pairs;
  while (low < high) {
    const size_t mid = (low + high) / 2;
    if (values[2 * mid + 1] < t)
      low = mid + 1;
    else
      high = mid;
  }
  return low < pairs ? 2 * low : values.size();
}

bool ColumnHoldsPoint(std::span<const double> values, double t) {
  const size_t first = FirstIntervalReaching(values, t);
  return first + 1 < values.size() && values[first] <= t;
}

EdgeSpan ClassifyColumnEdge(std::span<const double> values, std::span<const uint8_t> flags,
                            size_t firstReaching, double lo, double hi, bool* covered) {
  if (covered != nullptr) *covered = false;
  if (firstReaching + 1 >= values.size() || values[firstReaching] > hi) return Span(kSpanNone);
  const double a = values[firstReaching], b = values[firstReaching + 1];
  if (values.size() / 2 == 1) {
    if (covered != nullptr) *covered = a < lo && b > hi;
    return ClassifySpanAgainstCell(a, flags[0], b, flags[1], lo, hi);
  }
  // The common case of a long column, decided by its first interval alone.
  if (a < lo && b > hi) return Span(kSpanCovered);
  EdgeSpan span;
  CollectColumnSpansInRange(values.subspan(firstReaching), flags.subspan(firstReaching), lo, hi,
                            span);
  return span;
}

const std::vector<double>& GridLines(const DexelModel& model, int axis) {
  return axis == 0 ? model.GridX : axis == 1 ? model.GridY : model.GridZ;
}

int32_t ColumnThrough(const DexelModel& model, int axis, const std::array<int32_t, 3>& point) {
  if (axis == 0) return ColumnIndexX(model, point[1], point[2]);
  if (axis == 1) return ColumnIndexY(model, point[2], point[0]);
  return ColumnIndexZ(model, point[0], point[1]);
}

bool GridPointMaterial(const DexelModel& model, const std::array<int32_t, 3>& point) {
  int votes = 0;
  for (int axis = 0; axis < 3; ++axis) {
    const DexelSet& set = model.SetByDirection(axis);
    votes += ColumnHoldsPoint(DexelColumnValues(set, ColumnThrough(model, axis, point)),
                              GridLines(model, axis)[point[axis]]);
  }
  return votes >= 2;
}

bool ClassifyCellEdges(const DexelModel& model, int32_t i, int32_t j, int32_t k, GridCell& cell) {
  cell.Index = {i, j, k};
  for (int axis = 0; axis < 3; ++axis) {
    const std::vector<double>& lines = GridLines(model, axis);
    cell.Lines[axis] = {lines[cell.Index[axis]], lines[cell.Index[axis] + 1]};
  }
  for (int e = 0; e < kCellEdges; ++e) {
    const int a = EdgeAxis(e);
    std::array<int32_t, 3> point = cell.Index;
    point[(a + 1) % 3] += e & 1;
    point[(a + 2) % 3] += (e >> 1) & 1;
    CellEdge& edge = cell.Edges[e];
    edge = CellEdge{};
    ClassifyEdge(model.SetByDirection(a), ColumnThrough(model, a, point), cell.Lines[a][0],
                 cell.Lines[a][1], edge);
  }
  // Each corner ends one edge of each axis: the three columns through it vote.
  cell.MaterialCorners = 0;
  for (int c = 0; c < kCellCorners; ++c) {
    int votes = 0;
    for (int a = 0; a < 3; ++a) {
      const int edge = EdgeAt(a, CornerOffset(c, (a + 1) % 3), CornerOffset(c, (a + 2) % 3));
      votes += cell.Edges[edge].EndHeld[CornerOffset(c, a)];
    }
    if (votes >= 2) cell.MaterialCorners |= static_cast<uint8_t>(1u << c);
  }
  cell.HasChanges = false;
  for (int e = 0; e < kCellEdges; ++e) {
    const int a = EdgeAxis(e);
    CellEdge& edge = cell.Edges[e];
    SetEdgeChanges(edge, cell.Lines[a][0], cell.Lines[a][1],
                   (cell.MaterialCorners >> EdgeCorner(e, 0)) & 1,
                   (cell.MaterialCorners >> EdgeCorner(e, 1)) & 1);
    cell.HasChanges = cell.HasChanges || edge.ChangeCount > 0;
  }
  return cell.HasChanges;
}

CellFaceAxes FaceAxes(int face) {
  CellFaceAxes axes;
  axes.Normal = face / 2;
  axes.Side = face % 2;
  axes.U = (axes.Normal + 1) % 3;
  axes.V = (axes.Normal + 2) % 3;
  return axes;
}

uint8_t CellGridSides(const DexelModel& model, int32_t i, int32_t j, int32_t k) {
  const std::array<int32_t, 3> index{i, j, k};
  const std::array<int32_t, 3> counts{model.CountX, model.CountY, model.CountZ};
  uint8_t sides = 0;
  for (int axis = 0; axis < 3; ++axis) {
    if (index[axis] == 0) sides |= static_cast<uint8_t>(1u << (2 * axis));
    if (index[axis] == counts[axis] - 2) sides |= static_cast<uint8_t>(1u << (2 * axis + 1));
  }
  return sides;
}

uint8_t GetCellBoundaryFlags(const DexelModel& model, int32_t i, int32_t j, int32_t k,
                             const OuterFaceCells& outer) {
  const std::array<int32_t, 3> index{i, j, k};
  const std::array<int32_t, 3> counts{model.CountX, model.CountY, model.CountZ};
  const uint8_t sides = CellGridSides(model, i, j, k);
  uint8_t flags = 0;
  for (int face = 0; face < kCellFaces; ++face) {
    if ((sides >> face & 1) == 0) continue;
    const CellFaceAxes axes = FaceAxes(face);
    const size_t at = static_cast<size_t>(index[axes.U]) +
                      static_cast<size_t>(counts[axes.U] - 1) * static_cast<size_t>(index[axes.V]);
    const std::vector<uint8_t>& written = outer.Written[face];
    if (at < written.size() && written[at] != 0) flags |= static_cast<uint8_t>(1u << face);
  }
  return flags;
}

void TriangulateColumnFaces(const GridCell& cell, int face, bool cap,
                            std::vector<SurfaceSegment>& segments) {
  const CellFaceAxes axes = FaceAxes(face);
  const int n = axes.Normal, s = axes.Side, u = axes.U, v = axes.V;
  const auto corner = [&](int du, int dv) { return (s << n) | (du << u) | (dv << v); };
  // Round the face: E1 along u at low v, E2 along v at high u, E3 back along
  // u at high v, E4 back along v at low u.
  const int corners[4] = {corner(0, 0), corner(1, 0), corner(1, 1), corner(0, 1)};
  const int edges[4] = {EdgeAt(u, 0, s), EdgeAt(v, s, 1), EdgeAt(u, 1, s), EdgeAt(v, s, 0)};
  std::array<FaceEvent, 4 + 4 * kMaxEdgeChanges> events;
  int count = 0, changes = 0, firstChange = -1;
  for (int side = 0; side < 4; ++side) {
    events[count++] = {CornerPoint(cell, corners[side]), false};
    const CellEdge& edge = cell.Edges[edges[side]];
    const bool ascending = side < 2;
    for (int m = 0; m < edge.ChangeCount; ++m) {
      const int change = ascending ? m : edge.ChangeCount - 1 - m;
      if (firstChange < 0) firstChange = count;
      events[count++] = {ChangePoint(cell, edges[side], change), true};
      ++changes;
    }
  }
  const bool startsInMaterial = (cell.MaterialCorners >> corners[0]) & 1;
  const int32_t capGroup = face;
  if (changes == 0) {
    if (!cap || !startsInMaterial) return;
    const SurfacePoint square[4] = {events[0].Point, events[1].Point, events[2].Point,
                                    events[3].Point};
    AddChain(segments, square, s == 1, true, capGroup);
    return;
  }
  // Material lies after every change of odd rank counted from the state at
  // the first corner: an enter starts a stretch that the next change ends.
  bool material = startsInMaterial;
  std::array<SurfacePoint, 4 + 4 * kMaxEdgeChanges> stretch;
  for (int k = 0; k < count; ++k) {
    const int at = (firstChange + k) % count;
    if (!events[at].Change) continue;
    material = !material;
    if (!material) continue;
    int length = 0;
    stretch[length++] = events[at].Point;
    for (int next = (at + 1) % count;; next = (next + 1) % count) {
      stretch[length++] = events[next].Point;
      if (events[next].Change) break;
    }
    const SurfacePoint& enter = stretch[0];
    const SurfacePoint& exit = stretch[length - 1];
    if (s == 1)
      AddSegment(segments, enter, exit, kCellSurfaceGroup);
    else
      AddSegment(segments, exit, enter, kCellSurfaceGroup);
    if (cap)
      AddChain(segments, std::span<const SurfacePoint>(stretch.data(), length), s == 1, true,
               capGroup);
  }
}

void AssembleCellPolygons(std::span<const SurfaceSegment> segments, CellPolygons& polygons) {
  polygons.Clear();
  // A cell's faces give at most a few hundred segments: no allocation then.
  std::array<uint8_t, 512> few{};
  std::vector<uint8_t> many;
  if (segments.size() > few.size()) many.assign(segments.size(), 0);
  uint8_t* taken = many.empty() ? few.data() : many.data();
  std::array<int32_t, kPointKeys> startingAt;
  for (int32_t group = 0; group <= kCellSurfaceGroup; ++group) {
    startingAt.fill(-1);
    bool any = false;
    for (size_t s = 0; s < segments.size(); ++s) {
      if (segments[s].Group != group) continue;
      startingAt[segments[s].Start.Key % kPointKeys] = static_cast<int32_t>(s);
      any = true;
    }
    if (!any) continue;
    for (size_t first = 0; first < segments.size(); ++first) {
      if (segments[first].Group != group || taken[first] != 0) continue;
      const size_t start = polygons.Points.size();
      const uint8_t startKey = segments[first].Start.Key;
      size_t at = first;
      bool closed = false;
      for (size_t steps = 0; steps <= segments.size(); ++steps) {
        taken[at] = 1;
        polygons.Points.push_back(segments[at].Start);
        const uint8_t endKey = segments[at].End.Key;
        if (endKey == startKey) {
          closed = true;
          break;
        }
        const int32_t next = startingAt[endKey % kPointKeys];
        if (next < 0 || taken[next] != 0) break;
        at = static_cast<size_t>(next);
      }
      // Points repeating the one before (coincident change points) add
      // nothing to the outline.
      size_t kept = start;
      for (size_t p = start; p < polygons.Points.size(); ++p) {
        if (kept > start && polygons.Points[p].Position == polygons.Points[kept - 1].Position)
          continue;
        polygons.Points[kept++] = polygons.Points[p];
      }
      while (kept - start > 1 &&
             polygons.Points[kept - 1].Position == polygons.Points[start].Position)
        --kept;
      polygons.Points.resize(kept);
      if (!closed || kept - start < 3) {
        polygons.Points.resize(start);
        continue;
      }
      polygons.Starts.push_back(static_cast<int32_t>(start));
      polygons.Groups.push_back(group);
    }
  }
}

bool BuildCellSurface(const DexelModel& model, int32_t i, int32_t j, int32_t k, uint8_t capFaces,
                      GridCell& cell, std::vector<SurfaceSegment>& segments,
                      CellPolygons& polygons) {
  segments.clear();
  polygons.Clear();
  if (!ClassifyCellEdges(model, i, j, k, cell) && (capFaces == 0 || cell.MaterialCorners == 0))
    return false;
  for (int face = 0; face < kCellFaces; ++face)
    TriangulateColumnFaces(cell, face, (capFaces >> face) & 1, segments);
  AssembleCellPolygons(segments, polygons);
  return polygons.Count() > 0;
}

void CollectColumnEnds(const DexelModel& model, int direction, std::vector<double>& firstValues,
                       std::vector<uint8_t>& firstFlags, std::vector<double>& lastValues,
                       std::vector<uint8_t>& lastFlags) {
  const int axis = direction == kDirectionZ ? 2 : direction == kDirectionY ? 1 : 0;
  const DexelSet& set = model.SetByDirection(axis);
  const std::vector<double>& lines = GridLines(model, axis);
  const size_t columns = static_cast<size_t>(std::max(set.Columns, 0));
  firstValues.assign(columns, lines.back());
  lastValues.assign(columns, lines.front());
  firstFlags.assign(columns, 0);
  lastFlags.assign(columns, 0);
  for (size_t c = 0; c < columns; ++c) {
    const std::span<const double> values = DexelColumnValues(set, static_cast<int32_t>(c));
    if (values.empty()) continue;
    const std::span<const uint8_t> flags = DexelColumnFlags(set, static_cast<int32_t>(c));
    firstValues[c] = values.front();
    firstFlags[c] = flags.front();
    lastValues[c] = values.back();
    lastFlags[c] = flags.back();
  }
}

}  // namespace vestan
