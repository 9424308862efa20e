// The surface of a dexel model cell by cell: how one column meets a cell edge,
// where the material changes along the twelve edges of a grid cell, and the
// closed loops of surface inside the cell and of material on its outer
// faces. Shared by the STL export and the workpiece display lists.
//
// A cell is the box between neighbouring grid lines on every axis; its edges
// lie on dexel columns. Along each edge the material is known exactly; at a
// grid point the three columns through it vote and the majority decides, so
// that every cell sharing a point, an edge or a face sees the same material
// there. The loops of neighbouring cells therefore share their points bit for
// bit and run in opposite senses along their shared segments: put together,
// the cells' triangles form a closed surface whose normals point out of the
// material.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/vector_math.h"
#include "model/dexel_model.h"

namespace vestan {

// Span codes: how a column's material meets an edge range [lo, hi]. The
// values each code gives are listed after it.
inline constexpr int32_t kSpanNone = 0;          // no material in the range
inline constexpr int32_t kSpanCovered = 1;       // covered, no boundary on it
inline constexpr int32_t kSpanFromLow = 2;       // a = lo, b > hi: lo
inline constexpr int32_t kSpanToHigh = 3;        // a < lo, b >= hi: hi
inline constexpr int32_t kSpanExact = 4;         // a = lo, b = hi: lo, hi
inline constexpr int32_t kSpanFromInside = 5;    // lo < a, b > hi: a
inline constexpr int32_t kSpanInsideToHigh = 6;  // lo < a, b = hi: a, b
inline constexpr int32_t kSpanToInside = 7;      // a < lo, b inside: b
inline constexpr int32_t kSpanLowToInside = 8;   // a = lo, b inside: lo, b
inline constexpr int32_t kSpanInside = 9;        // lo < a, b < hi: a, b
inline constexpr int32_t kSpanTouchesLow = 10;   // b = lo: lo
inline constexpr int32_t kSpanTouchesHigh = 11;  // a = hi: hi

// The span code of an edge with the values it gives and their flag bytes: a
// value taken from an interval's start carries the start's flag, one taken
// from its end the end's flag.
struct EdgeSpan {
  int32_t Code = kSpanNone;
  int32_t Count = 0;
  std::array<double, 2> Values{};
  std::array<uint8_t, 2> Flags{};
};

// One interval [a, b] (a <= b) against [lo, hi]: the code of the row it fits,
// kSpanNone when it misses the range.
EdgeSpan ClassifySpanAgainstCell(double a, uint8_t flagA, double b, uint8_t flagB, double lo,
                                 double hi);

// Folds the intervals of a column (ascending values taken in pairs, with
// their flag bytes) into span, whose code is carried in and out: the first
// interval reaching lo decides, the later ones inside the range extend it.
// Intervals ending before lo change nothing, so a caller may pass the column
// from its first interval that reaches lo on.
void CollectColumnSpansInRange(std::span<const double> values, std::span<const uint8_t> flags,
                               double lo, double hi, EdgeSpan& span);

// How the inside of an edge (lo, hi) is filled by its span: no material,
// material throughout, or material changing inside.
inline constexpr int32_t kInteriorEmpty = 0;
inline constexpr int32_t kInteriorFull = 1;
inline constexpr int32_t kInteriorChanging = 2;
int32_t SpanInterior(const EdgeSpan& span);

// The span of column values (flags alike) over [lo, hi], given the index of
// its first interval whose end reaches lo (values.size() when there is none):
// ClassifySpanAgainstCell for a column of one interval, else
// CollectColumnSpansInRange. covered (when given) tells whether one interval
// contains the range strictly.
EdgeSpan ClassifyColumnEdge(std::span<const double> values, std::span<const uint8_t> flags,
                            size_t firstReaching, double lo, double hi, bool* covered = nullptr);

// The index of the first interval of values whose end is at or beyond t
// (values.size() when there is none).
size_t FirstIntervalReaching(std::span<const double> values, double t);

// True when t lies in a material interval of values, ends included.
bool ColumnHoldsPoint(std::span<const double> values, double t);

// The column of the set along axis (0 X, 1 Y, 2 Z) through grid point
// (point[0], point[1], point[2]).
int32_t ColumnThrough(const DexelModel& model, int axis, const std::array<int32_t, 3>& point);

// The grid lines of an axis.
const std::vector<double>& GridLines(const DexelModel& model, int axis);

// True when at least two of the three columns through the grid point hold it.
bool GridPointMaterial(const DexelModel& model, const std::array<int32_t, 3>& point);

// --- One grid cell --------------------------------------------------------
//
// Corners are numbered dx + 2 dy + 4 dz. The edge along axis a whose offsets
// on the next two axes (a + 1, a + 2, cyclic) are o1 and o2 is numbered
// 4 a + o1 + 2 o2. Faces are numbered 0 -X, 1 +X, 2 -Y, 3 +Y, 4 -Z, 5 +Z.

inline constexpr int kCellCorners = 8;
inline constexpr int kCellEdges = 12;
inline constexpr int kCellFaces = 6;
inline constexpr int kMaxEdgeChanges = 4;

// One edge of a cell: its span and the points where the material changes
// along it, ascending. Changes lie inside the edge where the span has
// boundaries there, and at an end where the edge's material next to it
// differs from the grid point's.
struct CellEdge {
  EdgeSpan Span;
  bool Covered = false;
  std::array<uint8_t, 2> EndHeld{};   // the column holds lo / hi itself
  std::array<uint8_t, 2> EndFlags{};  // flag bytes of the values nearest lo / hi
  int32_t ChangeCount = 0;
  std::array<double, kMaxEdgeChanges> Changes{};
  std::array<uint8_t, kMaxEdgeChanges> ChangeFlags{};
};

struct GridCell {
  std::array<int32_t, 3> Index{};                // the cell's low grid point
  std::array<std::array<double, 2>, 3> Lines{};  // its grid lines per axis
  std::array<CellEdge, kCellEdges> Edges;
  uint8_t MaterialCorners = 0;  // bit c: corner c is material
  bool HasChanges = false;      // false: the cell is wholly material or wholly empty
};

// Classifies the twelve edges of cell (i, j, k) (i < nx - 1 and so on) and
// decides its corners. Returns cell.HasChanges.
bool ClassifyCellEdges(const DexelModel& model, int32_t i, int32_t j, int32_t k, GridCell& cell);

// Where a face (0..5) lies in a cell: its normal axis, its side (0 low, 1
// high) and its in-face axes u (first) and v.
struct CellFaceAxes {
  int Normal = 0;
  int Side = 0;
  int U = 1;
  int V = 2;
};
CellFaceAxes FaceAxes(int face);

// The outer faces of the grid written as merged rectangles: per face one byte
// per face cell, 1 when it was written (faces 0/1 cells (j, k), 2/3 (k, i),
// 4/5 (i, j), each indexed u + (count along u - 1) * v).
struct OuterFaceCells {
  std::array<std::vector<uint8_t>, kCellFaces> Written;
};

// Bit f set when cell (i, j, k) lies on side f of the grid and that side's
// face cell there was written as part of an outer rectangle; its own loops
// must then leave that face to the rectangle.
uint8_t GetCellBoundaryFlags(const DexelModel& model, int32_t i, int32_t j, int32_t k,
                             const OuterFaceCells& outer);

// Bit f set when cell (i, j, k) lies on side f of the grid.
uint8_t CellGridSides(const DexelModel& model, int32_t i, int32_t j, int32_t k);

// A point of a loop: where it is, its flag byte, and a key naming it within
// the cell (a change point of an edge, or a corner) so that loops chain by
// identity even where two points coincide.
struct SurfacePoint {
  Vec3 Position{};
  uint8_t Flag = 0;
  uint8_t Key = 0;
};

// Group kCellSurfaceGroup: the surface inside the cell; group f (0..5): the
// material on face f, wanted only where that face lies on the grid's outside.
inline constexpr int32_t kCellSurfaceGroup = 6;

struct SurfaceSegment {
  SurfacePoint Start;
  SurfacePoint End;
  int32_t Group = kCellSurfaceGroup;
};

// Appends the segments of one face of the cell. Every point lies on the
// face (its coordinate on the face's normal axis is the face's grid line).
// Going round the face, each stretch of material from one change point to
// the next is closed by a segment across the face between those two points:
// that segment joins the cell's surface loop (group kCellSurfaceGroup); with
// cap, the stretch and the reversed segment also form the material's outline
// on the face (group face). Faces 0, 2, 4 and 1, 3, 5 run their segments in
// opposite senses, so that every loop winds with its normal out of the
// material.
void TriangulateColumnFaces(const GridCell& cell, int face, bool cap,
                            std::vector<SurfaceSegment>& segments);

// Closed polygons, one after another: polygon p is Points[Starts[p]] up to
// Points[Starts[p + 1]] (or the end), of group Groups[p].
struct CellPolygons {
  std::vector<SurfacePoint> Points;
  std::vector<int32_t> Starts;
  std::vector<int32_t> Groups;
  void Clear() {
    Points.clear();
    Starts.clear();
    Groups.clear();
  }
  size_t Count() const { return Starts.size(); }
  std::span<const SurfacePoint> Polygon(size_t p) const {
    const size_t end = p + 1 < Starts.size() ? static_cast<size_t>(Starts[p + 1]) : Points.size();
    return std::span<const SurfacePoint>(Points).subspan(Starts[p], end - Starts[p]);
  }
};

// Chains the segments of each group into closed polygons (a segment follows
// the one whose end point it starts at, by key). Points repeating the one
// before are dropped; polygons left with fewer than 3 points, or that do not
// close, are dropped.
void AssembleCellPolygons(std::span<const SurfaceSegment> segments, CellPolygons& polygons);

// The whole cell: edges, faces (with a cap on each face whose bit is set in
// capFaces) and polygons. Returns false, with no polygons, for a cell wholly
// material or wholly empty that wants no cap.
bool BuildCellSurface(const DexelModel& model, int32_t i, int32_t j, int32_t k, uint8_t capFaces,
                      GridCell& cell, std::vector<SurfaceSegment>& segments,
                      CellPolygons& polygons);

// For each column of a set (direction 2 Z, 1 Y, else X) its first and last
// value and their flag bytes; an empty column gives first = the last grid
// line of the set's axis and last = the first (first above last).
void CollectColumnEnds(const DexelModel& model, int direction, std::vector<double>& firstValues,
                       std::vector<uint8_t>& firstFlags, std::vector<double>& lastValues,
                       std::vector<uint8_t>& lastFlags);

}  // namespace vestan
