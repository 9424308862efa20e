#include "modelfiles/model_triangulation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "modelfiles/surface_cells.h"

namespace vestan {

namespace {

// Bytes of a layer of grid points (one plane z = z_k): bit 0 the point is
// material, bits 1-2 the inside of the X edge to the next point, bits 3-4
// that of the Y edge (kInteriorEmpty, kInteriorFull or kInteriorChanging).
constexpr uint8_t kPointMaterial = 0x01;
constexpr int kXEdgeShift = 1;
constexpr int kYEdgeShift = 3;
constexpr uint8_t kLayerFull =
    kPointMaterial | (kInteriorFull << kXEdgeShift) | (kInteriorFull << kYEdgeShift);
// What a cell reads of its four corners in a layer: all of its low corner,
// the point and Y edge of the next point along X, the point and X edge of the
// next along Y, the point alone of the far one.
constexpr uint8_t kMaskLow = 0x1F;
constexpr uint8_t kMaskNextX = kPointMaterial | (0x3 << kYEdgeShift);
constexpr uint8_t kMaskNextY = kPointMaterial | (0x3 << kXEdgeShift);
constexpr uint8_t kMaskFar = kPointMaterial;

// Rows of a layer or slab: all bytes empty, all full, or anything else.
constexpr uint8_t kRowEmpty = 0;
constexpr uint8_t kRowFull = 1;
constexpr uint8_t kRowMixed = 2;

struct PlaneBytes {
  std::vector<uint8_t> Bytes;  // i + nx * j
  std::vector<uint8_t> Rows;   // per j

  void SetRowStates(int32_t nx, int32_t ny, uint8_t full) {
    Rows.assign(static_cast<size_t>(ny), kRowMixed);
    for (int32_t j = 0; j < ny; ++j) {
      const auto row = Bytes.begin() + static_cast<ptrdiff_t>(j) * nx;
      const uint8_t first = row[0];
      if (first != 0 && first != full) continue;
      if (std::all_of(row, row + nx, [first](uint8_t b) { return b == first; }))
        Rows[j] = first == 0 ? kRowEmpty : kRowFull;
    }
  }
};

// A merged rectangle of an outer face: face cells U0..U1 by V0..V1.
struct OuterRectangle {
  int Face = 0;
  int32_t U0 = 0, V0 = 0, U1 = 0, V1 = 0;
};

class MeshBuilder {
 public:
  MeshBuilder(const DexelModel& model, StlWriterState& writer, uint32_t& count,
              ProgressState* progress)
      : m_(model), writer_(writer), count_(count), progress_(progress) {
    counts_ = {model.CountX, model.CountY, model.CountZ};
    const Matrix3 rotation = PlacementMatrix(model.Placement);
    rotate_ = ClassifyPlacementMatrix(rotation) != 1;
    translate_ = model.Placement[9] != 0 || model.Placement[10] != 0 || model.Placement[11] != 0;
    // A mirroring placement turns every loop inside out: wind them back.
    const double det = VectorDot(Vec3{rotation[0], rotation[1], rotation[2]},
                                 VectorCross(Vec3{rotation[3], rotation[4], rotation[5]},
                                             Vec3{rotation[6], rotation[7], rotation[8]}));
    mirrored_ = rotate_ && det < 0;
  }

  void Run() {
    for (int face = 0; face < kCellFaces; ++face) {
      const CellFaceAxes a = Axes(face);
      needed_[face].assign(static_cast<size_t>(counts_[a.U]) * static_cast<size_t>(counts_[a.V]),
                           0);
    }
    for (int face = 0; face < kCellFaces; ++face) MergeOuterFace(face);
    ScanCells();
    for (const OuterRectangle& r : rectangles_) BuildOuterFace(r);
  }

 private:
  // --- Grid points of the outer faces ---------------------------------------

  CellFaceAxes Axes(int face) const { return FaceAxes(face); }
  int32_t PlaneIndex(const CellFaceAxes& a) const { return a.Side ? counts_[a.Normal] - 1 : 0; }

  std::array<int32_t, 3> FacePoint(const CellFaceAxes& a, int32_t pu, int32_t pv) const {
    std::array<int32_t, 3> p{};
    p[a.Normal] = PlaneIndex(a);
    p[a.U] = pu;
    p[a.V] = pv;
    return p;
  }

  // Marks a grid point that some piece of surface uses as a vertex, on every
  // outer face it lies on: a rectangle whose side passes it must pass through
  // it too, or the surface would not close there.
  void MarkNeeded(const std::array<int32_t, 3>& p) {
    for (int face = 0; face < kCellFaces; ++face) {
      const CellFaceAxes a = Axes(face);
      if (p[a.Normal] != PlaneIndex(a)) continue;
      needed_[face][static_cast<size_t>(p[a.U]) +
                    static_cast<size_t>(counts_[a.U]) * static_cast<size_t>(p[a.V])] = 1;
    }
  }

  bool IsNeeded(int face, int32_t pu, int32_t pv) const {
    const CellFaceAxes a = Axes(face);
    return needed_[face][static_cast<size_t>(pu) +
                         static_cast<size_t>(counts_[a.U]) * static_cast<size_t>(pv)] != 0;
  }

  // Finds the face's rectangles: a face cell qualifies when the four columns
  // across the face reach it and the material covers the cell on the face
  // (its corners material, its four edges full). From each free cell, row by
  // row, the run grows along the row, then by whole rows.
  void MergeOuterFace(int face) {
    const CellFaceAxes a = Axes(face);
    const int32_t nu = counts_[a.U], nv = counts_[a.V];
    const int32_t cu = nu - 1, cv = nv - 1;
    std::vector<uint8_t>& written = outer_.Written[face];
    written.assign(static_cast<size_t>(cu) * static_cast<size_t>(cv), 0);

    const int direction = a.Normal == 2 ? kDirectionZ : a.Normal == 1 ? kDirectionY : kDirectionX;
    CollectColumnEnds(m_, direction, firstValues_, firstFlags_, lastValues_, lastFlags_);
    const std::vector<double>& lines = GridLines(m_, a.Normal);
    const double plane = a.Side ? lines.back() : lines.front();
    const std::vector<double>& ends = a.Side ? lastValues_ : firstValues_;

    // Per point: reaches the face and is material (the column across votes
    // for it, so one of the two lines in the face must too); its edges
    // along u and v on the face are full.
    const size_t points = static_cast<size_t>(nu) * static_cast<size_t>(nv);
    xVote_.assign(points, 0);
    xInside_.assign(points, 0);
    yVote_.assign(points, 0);
    yInside_.assign(points, 0);
    const DexelSet& us = m_.SetByDirection(a.U);
    for (int32_t pv = 0; pv < nv; ++pv) {
      const int32_t column = ColumnThrough(m_, a.U, FacePoint(a, 0, pv));
      const size_t row = static_cast<size_t>(nu) * static_cast<size_t>(pv);
      FillLine(DexelColumnValues(us, column), DexelColumnFlags(us, column), GridLines(m_, a.U),
               &xVote_[row], &xInside_[row], 1);
    }
    const DexelSet& vs = m_.SetByDirection(a.V);
    for (int32_t pu = 0; pu < nu; ++pu) {
      const int32_t column = ColumnThrough(m_, a.V, FacePoint(a, pu, 0));
      FillLine(DexelColumnValues(vs, column), DexelColumnFlags(vs, column), GridLines(m_, a.V),
               &yVote_[pu], &yInside_[pu], static_cast<size_t>(nu));
    }
    std::vector<uint8_t> point(points, 0);
    for (size_t at = 0; at < points; ++at) {
      // The column across the face through (pu, pv) is numbered like it.
      if (ends[at] != plane || xVote_[at] + yVote_[at] == 0) continue;
      point[at] = static_cast<uint8_t>(1 | (xInside_[at] == kInteriorFull ? 2 : 0) |
                                       (yInside_[at] == kInteriorFull ? 4 : 0));
    }
    const auto qualifies = [&](int32_t u, int32_t v) {
      const size_t at = static_cast<size_t>(u) + static_cast<size_t>(nu) * v;
      return point[at] == 7 && (point[at + 1] & 5) == 5 && (point[at + nu] & 3) == 3 &&
             (point[at + nu + 1] & 1) == 1;
    };
    const auto cellAt = [cu](int32_t u, int32_t v) {
      return static_cast<size_t>(u) + static_cast<size_t>(cu) * v;
    };
    for (int32_t v = 0; v < cv; ++v) {
      for (int32_t u = 0; u < cu; ++u) {
        if (written[cellAt(u, v)] != 0 || !qualifies(u, v)) continue;
        int32_t u1 = u;
        while (u1 + 1 < cu && written[cellAt(u1 + 1, v)] == 0 && qualifies(u1 + 1, v)) ++u1;
        int32_t v1 = v;
        while (v1 + 1 < cv) {
          bool whole = true;
          for (int32_t x = u; x <= u1 && whole; ++x)
            whole = written[cellAt(x, v1 + 1)] == 0 && qualifies(x, v1 + 1);
          if (!whole) break;
          ++v1;
        }
        for (int32_t y = v; y <= v1; ++y)
          std::fill_n(written.begin() + static_cast<ptrdiff_t>(cellAt(u, y)), u1 - u + 1, 1);
        rectangles_.push_back({face, u, v, u1, v1});
        for (const auto& [pu, pv] : {std::pair{u, v}, std::pair{u1 + 1, v},
                                     std::pair{u1 + 1, v1 + 1}, std::pair{u, v1 + 1}})
          MarkNeeded(FacePoint(a, pu, pv));
      }
    }
  }

  Vec3 World(const Vec3& p) const {
    Vec3 w = p;
    TransformToWorld(m_.Placement, rotate_, translate_, w);
    return w;
  }

  void Facet(const Vec3& normal, const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    if (mirrored_)
      WriteStlFacet(writer_, normal, p1, p3, p2);
    else
      WriteStlFacet(writer_, normal, p1, p2, p3);
    ++count_;
  }

  // Writes one rectangle of an outer face, outward: as two facets sharing
  // the diagonal c1-c3, or, where other surface meets its sides at grid
  // points between its corners, as a fan from its centre through them all.
  void BuildOuterFace(const OuterRectangle& r) {
    const CellFaceAxes a = Axes(r.Face);
    Vec3 normal{};
    normal[a.Normal] = a.Side ? 1.0 : -1.0;
    if (rotate_) normal = MultiplyMatrixVector(PlacementMatrix(m_.Placement), normal);
    const auto at = [&](int32_t pu, int32_t pv) {
      Vec3 p{};
      const std::array<int32_t, 3> g = FacePoint(a, pu, pv);
      for (int axis = 0; axis < 3; ++axis) p[axis] = GridLines(m_, axis)[g[axis]];
      return World(p);
    };
    const int32_t u0 = r.U0, v0 = r.V0, u1 = r.U1 + 1, v1 = r.V1 + 1;
    // Round the rectangle counter-clockwise in (u, v), through every point
    // some other piece of surface uses.
    std::vector<std::pair<int32_t, int32_t>>& ring = ring_;
    ring.clear();
    for (int32_t u = u0; u < u1; ++u)
      if (u == u0 || IsNeeded(r.Face, u, v0)) ring.push_back({u, v0});
    for (int32_t v = v0; v < v1; ++v)
      if (v == v0 || IsNeeded(r.Face, u1, v)) ring.push_back({u1, v});
    for (int32_t u = u1; u > u0; --u)
      if (u == u1 || IsNeeded(r.Face, u, v1)) ring.push_back({u, v1});
    for (int32_t v = v1; v > v0; --v)
      if (v == v1 || IsNeeded(r.Face, u0, v)) ring.push_back({u0, v});
    // A low face is seen from below: its outward round is the other way.
    if (a.Side == 0) std::reverse(ring.begin() + 1, ring.end());
    if (ring.size() == 4) {
      const Vec3 c0 = at(ring[0].first, ring[0].second), c1 = at(ring[1].first, ring[1].second),
                 c2 = at(ring[2].first, ring[2].second), c3 = at(ring[3].first, ring[3].second);
      Facet(normal, c0, c1, c3);
      Facet(normal, c2, c3, c1);
      return;
    }
    Vec3 centre{};
    const std::array<int32_t, 3> g0 = FacePoint(a, u0, v0), g1 = FacePoint(a, u1, v1);
    for (int axis = 0; axis < 3; ++axis) {
      const std::vector<double>& lines = GridLines(m_, axis);
      centre[axis] = (lines[g0[axis]] + lines[g1[axis]]) / 2;
    }
    centre = World(centre);
    for (size_t k = 0; k < ring.size(); ++k) {
      const auto& p = ring[k];
      const auto& q = ring[(k + 1) % ring.size()];
      Facet(normal, centre, at(p.first, p.second), at(q.first, q.second));
    }
  }

  // --- The cells --------------------------------------------------------------
  //
  // Cells are visited slab by slab (z_k to z_k+1), each slab between two
  // layers of grid points. A layer keeps per point its material (the
  // majority of the three columns through it) and the insides of its X and Y
  // edges; a slab the insides of its Z edges. Only a value of a column lying
  // on an edge makes that edge change inside or meet a point of another
  // state, so lines are filled by their intervals and only edges holding a
  // value are classified one by one; a Z column is looked at only in the
  // slabs its values lie in. A layer whose every line is wholly material (or
  // wholly empty) is not filled at all.

  // The last grid line at or below v (-1 below the first).
  static int32_t LastLineAtOrBelow(const std::vector<double>& lines, double pitch, double v) {
    const int32_t n = static_cast<int32_t>(lines.size());
    if (!(v >= lines.front())) return -1;
    const double estimate = std::floor((v - lines.front()) / pitch);
    int32_t m = estimate >= n ? n - 1 : estimate <= 0 ? 0 : static_cast<int32_t>(estimate);
    while (m + 1 < n && lines[m + 1] <= v) ++m;
    while (m > 0 && lines[m] > v) --m;
    return m;
  }

  // Fills one line's votes and edge insides (stride apart in both arrays,
  // which hold zeros for the line on entry).
  void FillLine(std::span<const double> values, std::span<const uint8_t> flags,
                const std::vector<double>& lines, uint8_t* vote, uint8_t* inside, size_t stride) {
    const int32_t n = static_cast<int32_t>(lines.size());
    for (size_t p = 0; p + 1 < values.size(); p += 2) {
      int32_t first = LastLineAtOrBelow(lines, m_.Pitch, values[p]);
      if (first < 0 || lines[first] != values[p]) ++first;
      const int32_t last = LastLineAtOrBelow(lines, m_.Pitch, values[p + 1]);
      for (int32_t i = first; i <= last; ++i) vote[i * stride] = 1;
      for (int32_t i = first; i < last; ++i) inside[i * stride] = kInteriorFull;
    }
    // Edges holding a value are classified whole.
    const auto exact = [&](int32_t e) {
      const double lo = lines[e], hi = lines[e + 1];
      inside[e * stride] = static_cast<uint8_t>(SpanInterior(
          ClassifyColumnEdge(values, flags, FirstIntervalReaching(values, lo), lo, hi)));
    };
    for (const double v : values) {
      const int32_t m = LastLineAtOrBelow(lines, m_.Pitch, v);
      if (m < 0) continue;
      if (m + 1 < n) exact(m);
      if (m > 0 && lines[m] == v) exact(m - 1);
    }
  }

  // The state every column of a line takes when it is one interval over the
  // whole grid line (kRowFull) or empty (kRowEmpty); kRowMixed otherwise.
  static uint8_t LineState(std::span<const double> values, const std::vector<double>& lines) {
    if (values.empty()) return kRowEmpty;
    return values.size() == 2 && values[0] == lines.front() && values[1] == lines.back()
               ? kRowFull
               : kRowMixed;
  }

  // Whether layer k is wholly material or wholly empty, by its lines alone.
  uint8_t LayerState(int32_t k) const {
    const int32_t nx = counts_[0], ny = counts_[1];
    const size_t points = static_cast<size_t>(nx) * ny;
    const uint8_t z = zOnes_ == 0 ? kRowEmpty : zOnes_ == points ? kRowFull : kRowMixed;
    if (z == kRowMixed) return kRowMixed;
    for (int32_t j = 0; j < ny; ++j)
      if (LineState(DexelColumnValues(m_.XSet(), ColumnIndexX(m_, j, k)), m_.GridX) != z)
        return kRowMixed;
    for (int32_t i = 0; i < nx; ++i)
      if (LineState(DexelColumnValues(m_.YSet(), ColumnIndexY(m_, k, i)), m_.GridY) != z)
        return kRowMixed;
    return z;
  }

  // The Z columns with a value in slab s (z_s to z_s+1, ends included).
  void CollectZEvents() {
    const int32_t nz = counts_[2];
    zEvents_.assign(static_cast<size_t>(nz - 1), {});
    const DexelSet& zs = m_.ZSet();
    for (int32_t c = 0; c < zs.Columns; ++c) {
      for (const double v : DexelColumnValues(zs, c)) {
        const int32_t m = LastLineAtOrBelow(m_.GridZ, m_.Pitch, v);
        const auto add = [&](int32_t slab) {
          std::vector<int32_t>& events = zEvents_[slab];
          if (events.empty() || events.back() != c) events.push_back(c);
        };
        if (m > 0 && m_.GridZ[m] == v) add(m - 1);
        if (m >= 0 && m + 1 < nz) add(m);
      }
    }
  }

  void SetZVote(int32_t column, int32_t k) {
    const uint8_t held = ColumnHoldsPoint(DexelColumnValues(m_.ZSet(), column), m_.GridZ[k]);
    zOnes_ += static_cast<size_t>(held) - zVote_[column];
    zVote_[column] = held;
  }

  // Layer k's bytes: filled whole for a layer of one state, else line by line.
  void ComputeLayer(int32_t k, uint8_t state, PlaneBytes& layer) {
    const int32_t nx = counts_[0], ny = counts_[1];
    const size_t points = static_cast<size_t>(nx) * ny;
    if (state != kRowMixed) {
      layer.Bytes.assign(points, state == kRowFull ? kLayerFull : 0);
      layer.Rows.assign(static_cast<size_t>(ny), state);
      return;
    }
    xVote_.assign(points, 0);
    xInside_.assign(points, 0);
    yVote_.assign(points, 0);
    yInside_.assign(points, 0);
    const DexelSet& xs = m_.XSet();
    for (int32_t j = 0; j < ny; ++j) {
      const int32_t column = ColumnIndexX(m_, j, k);
      const size_t row = static_cast<size_t>(nx) * j;
      FillLine(DexelColumnValues(xs, column), DexelColumnFlags(xs, column), m_.GridX, &xVote_[row],
               &xInside_[row], 1);
    }
    const DexelSet& ys = m_.YSet();
    for (int32_t i = 0; i < nx; ++i) {
      const int32_t column = ColumnIndexY(m_, k, i);
      FillLine(DexelColumnValues(ys, column), DexelColumnFlags(ys, column), m_.GridY, &yVote_[i],
               &yInside_[i], static_cast<size_t>(nx));
    }
    layer.Bytes.resize(points);
    for (size_t at = 0; at < points; ++at) {
      const uint8_t material = xVote_[at] + yVote_[at] + zVote_[at] >= 2 ? kPointMaterial : 0;
      layer.Bytes[at] = static_cast<uint8_t>(material | (xInside_[at] << kXEdgeShift) |
                                             (yInside_[at] << kYEdgeShift));
    }
    // The edges past the last point exist for no cell: they take the point's
    // state, so that a uniform row stays uniform.
    for (int32_t j = 0; j < ny; ++j) {
      uint8_t& b = layer.Bytes[static_cast<size_t>(nx) * j + nx - 1];
      b = static_cast<uint8_t>((b & ~(0x3 << kXEdgeShift)) | ((b & kPointMaterial) << kXEdgeShift));
    }
    for (int32_t i = 0; i < nx; ++i) {
      uint8_t& b = layer.Bytes[static_cast<size_t>(nx) * (ny - 1) + i];
      b = static_cast<uint8_t>((b & ~(0x3 << kYEdgeShift)) | ((b & kPointMaterial) << kYEdgeShift));
    }
    layer.SetRowStates(nx, ny, kLayerFull);
  }

  // Slab k's Z edges: a column without a value in the slab keeps the state
  // it has at z_k all through it.
  void ComputeSlab(int32_t k, PlaneBytes& slab) {
    slab.Bytes = zVote_;  // kInteriorEmpty 0, kInteriorFull 1
    const DexelSet& zs = m_.ZSet();
    const double lo = m_.GridZ[k], hi = m_.GridZ[k + 1];
    for (const int32_t column : zEvents_[k]) {
      const std::span<const double> values = DexelColumnValues(zs, column);
      slab.Bytes[column] = static_cast<uint8_t>(SpanInterior(ClassifyColumnEdge(
          values, DexelColumnFlags(zs, column), FirstIntervalReaching(values, lo), lo, hi)));
    }
    slab.SetRowStates(counts_[0], counts_[1], kInteriorFull);
  }

  // True when the cell is wholly material or wholly empty: its corners and
  // all twelve edges alike. material tells which.
  bool Uniform(const PlaneBytes& low, const PlaneBytes& high, const PlaneBytes& slab, size_t at,
               bool& material) const {
    const size_t nx = static_cast<size_t>(counts_[0]);
    const uint8_t b = low.Bytes[at];
    material = (b & kPointMaterial) != 0;
    const uint8_t layer = material ? kLayerFull : 0;
    const uint8_t edge = material ? kInteriorFull : kInteriorEmpty;
    const size_t x = at + 1, y = at + nx, xy = at + nx + 1;
    for (const PlaneBytes* plane : {&low, &high}) {
      const std::vector<uint8_t>& p = plane->Bytes;
      if ((p[at] & kMaskLow) != (layer & kMaskLow) || (p[x] & kMaskNextX) != (layer & kMaskNextX) ||
          (p[y] & kMaskNextY) != (layer & kMaskNextY) || (p[xy] & kMaskFar) != (layer & kMaskFar))
        return false;
    }
    const std::vector<uint8_t>& z = slab.Bytes;
    return z[at] == edge && z[x] == edge && z[y] == edge && z[xy] == edge;
  }

  // A material cell wants writing only for a face of its own on the grid's
  // outside that no rectangle took.
  void WriteIfCapped(int32_t i, int32_t j, int32_t k) {
    const uint8_t sides = CellGridSides(m_, i, j, k);
    if (sides != 0 && (sides & ~GetCellBoundaryFlags(m_, i, j, k, outer_)) != 0) WriteCell(i, j, k);
  }

  // A slab or row of material cells: only those on the grid's outside.
  void WriteCappedCells(int32_t k, int32_t j0, int32_t j1) {
    const int32_t nx = counts_[0], ny = counts_[1], nz = counts_[2];
    const bool slabOnSide = k == 0 || k == nz - 2;
    for (int32_t j = j0; j <= j1; ++j) {
      if (slabOnSide || j == 0 || j == ny - 2) {
        for (int32_t i = 0; i + 1 < nx; ++i) WriteIfCapped(i, j, k);
      } else {
        WriteIfCapped(0, j, k);
        if (nx > 2) WriteIfCapped(nx - 2, j, k);
      }
    }
  }

  void ScanCells() {
    const int32_t nx = counts_[0], ny = counts_[1], nz = counts_[2];
    const size_t points = static_cast<size_t>(nx) * ny;
    zVote_.assign(points, 0);
    zOnes_ = 0;
    for (size_t c = 0; c < points; ++c) SetZVote(static_cast<int32_t>(c), 0);
    CollectZEvents();
    if (progress_ != nullptr)
      BeginProgress(*progress_, kProgressGivenTotal, static_cast<uint64_t>(nz - 1), "", 0,
                    "STL出力中", "STL output");
    PlaneBytes low, high, slab;
    uint8_t lowState = LayerState(0);
    bool lowFilled = false;
    for (int32_t k = 0; k + 1 < nz; ++k) {
      // The Z votes are those of layer k until the slab's own bytes are
      // taken; a column without a value in the slab keeps its vote.
      const bool zChanges = !zEvents_[k].empty();
      uint8_t highState = kRowMixed;
      bool plain = !zChanges && lowState != kRowMixed;
      if (plain) {
        highState = LayerState(k + 1);
        plain = highState == lowState;
      }
      if (plain) {
        if (lowState == kRowFull) WriteCappedCells(k, 0, ny - 2);
        lowFilled = false;
      } else {
        if (!lowFilled) ComputeLayer(k, lowState, low);
        ComputeSlab(k, slab);
        for (const int32_t column : zEvents_[k]) SetZVote(column, k + 1);
        if (zChanges || lowState == kRowMixed) highState = LayerState(k + 1);
        ComputeLayer(k + 1, highState, high);
        ScanSlab(k, low, high, slab);
        std::swap(low, high);
        lowFilled = true;
      }
      lowState = highState;
      if (progress_ != nullptr) ProgressRowDone(*progress_, 1);
    }
    if (progress_ != nullptr) EndProgress(*progress_);
  }

  void ScanSlab(int32_t k, const PlaneBytes& low, const PlaneBytes& high, const PlaneBytes& slab) {
    const int32_t nx = counts_[0], ny = counts_[1];
    for (int32_t j = 0; j + 1 < ny; ++j) {
      const uint8_t rows[6] = {low.Rows[j],      low.Rows[j + 1], high.Rows[j],
                               high.Rows[j + 1], slab.Rows[j],    slab.Rows[j + 1]};
      if (std::all_of(rows, rows + 6, [](uint8_t r) { return r == kRowEmpty; })) continue;
      if (std::all_of(rows, rows + 6, [](uint8_t r) { return r == kRowFull; })) {
        WriteCappedCells(k, j, j);
        continue;
      }
      for (int32_t i = 0; i + 1 < nx; ++i) {
        const size_t at = static_cast<size_t>(i) + static_cast<size_t>(nx) * j;
        bool material = true;
        if (!Uniform(low, high, slab, at, material))
          WriteCell(i, j, k);
        else if (material)
          WriteIfCapped(i, j, k);
      }
    }
  }

  void WriteCell(int32_t i, int32_t j, int32_t k) {
    const uint8_t sides = CellGridSides(m_, i, j, k);
    const uint8_t caps = sides & ~GetCellBoundaryFlags(m_, i, j, k, outer_);
    if (!BuildCellSurface(m_, i, j, k, caps, cell_, segments_, polygons_)) return;
    for (size_t p = 0; p < polygons_.Count(); ++p) WritePolygon(polygons_.Polygon(p));
    // The cell's points on the grid's sides may meet a rectangle's side.
    for (int face = 0; face < kCellFaces; ++face) {
      if ((sides >> face & 1) == 0) continue;
      const CellFaceAxes a = Axes(face);
      for (int corner = 0; corner < 4; ++corner) {
        std::array<int32_t, 3> p{i, j, k};
        if (a.Side) p[a.Normal] += 1;
        p[a.U] += corner & 1;
        p[a.V] += corner >> 1;
        MarkNeeded(p);
      }
    }
  }

  static bool OnALine(const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3 n = VectorCross(VectorSub(b, a), VectorSub(c, a));
    return n[0] == 0 && n[1] == 0 && n[2] == 0;
  }

  void Triangle(const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    if (mirrored_)
      WriteStlTriangle(writer_, count_, p1, p3, p2);
    else
      WriteStlTriangle(writer_, count_, p1, p2, p3);
  }

  // A loop as a fan from the first of its points from which no triangle has
  // its corners on one line (such a triangle would be dropped and leave its
  // neighbours' edges unmatched); from its centroid when there is none.
  void WritePolygon(std::span<const SurfacePoint> loop) {
    const size_t n = loop.size();
    world_.resize(n);
    for (size_t k = 0; k < n; ++k) world_[k] = World(loop[k].Position);
    for (size_t apex = 0; apex < n; ++apex) {
      bool flat = false;
      for (size_t k = 1; k + 1 < n && !flat; ++k)
        flat = OnALine(loop[apex].Position, loop[(apex + k) % n].Position,
                       loop[(apex + k + 1) % n].Position);
      if (flat) continue;
      for (size_t k = 1; k + 1 < n; ++k)
        Triangle(world_[apex], world_[(apex + k) % n], world_[(apex + k + 1) % n]);
      return;
    }
    Vec3 centre{};
    for (const SurfacePoint& p : loop)
      for (int axis = 0; axis < 3; ++axis)
        centre[axis] += p.Position[axis] / static_cast<double>(n);
    centre = World(centre);
    for (size_t k = 0; k < n; ++k) Triangle(centre, world_[k], world_[(k + 1) % n]);
  }

  const DexelModel& m_;
  StlWriterState& writer_;
  uint32_t& count_;
  ProgressState* progress_;
  std::array<int32_t, 3> counts_{};
  bool rotate_ = false, translate_ = false, mirrored_ = false;

  OuterFaceCells outer_;
  std::array<std::vector<uint8_t>, kCellFaces> needed_;
  std::vector<OuterRectangle> rectangles_;
  std::vector<double> firstValues_, lastValues_;
  std::vector<uint8_t> firstFlags_, lastFlags_;
  std::vector<std::pair<int32_t, int32_t>> ring_;

  // Per point of the layer being filled: each direction's vote and the
  // insides of its X and Y edges; the Z votes at the current layer, how many
  // are 1, and per slab the Z columns with a value in it.
  std::vector<uint8_t> xVote_, xInside_, yVote_, yInside_, zVote_;
  size_t zOnes_ = 0;
  std::vector<std::vector<int32_t>> zEvents_;
  GridCell cell_;
  std::vector<SurfaceSegment> segments_;
  CellPolygons polygons_;
  std::vector<Vec3> world_;
};

}  // namespace

void TransformToWorld(const Placement& placement, bool rotate, bool translate, Vec3& point) {
  if (rotate) point = MultiplyMatrixVector(PlacementMatrix(placement), point);
  if (translate)
    for (int axis = 0; axis < 3; ++axis) point[axis] += placement[9 + axis];
}

int32_t BuildModelTriangleMesh(const DexelModel& model, StlWriterState& writer,
                               uint32_t& facetCount, ProgressState* progress) {
  if (model.CountX < 2 || !model.Allocated()) return 1;
  MeshBuilder(model, writer, facetCount, progress).Run();
  return 1;
}

int32_t SaveModelStl(const DexelModel& model, std::string_view path, int32_t stlKind,
                     int32_t inWorkCoordinates, const WorkOffsetFrame& frame, std::string* error,
                     ProgressState* progress) {
  StlWriterState writer;
  writer.BinaryMode = stlKind == 0   ? kStlWriteAscii
                      : stlKind == 2 ? kStlWriteSwapped
                                     : kStlWriteBinary;
  // A trivial frame takes nothing off.
  const bool trivial = frame.Origin == Vec3{0, 0, 0} && frame.FrameRotated == 0;
  writer.ToWorkpiece = trivial ? 0 : inWorkCoordinates;
  if (writer.ToWorkpiece != 0) {
    writer.Rotate = frame.FrameRotated;
    writer.WorkOffset = frame.Origin;
    writer.WorkRotation = frame.InverseMatrix;
  }
  if (const int32_t opened = OpenStlExport(writer, path, error); opened != kFileReplaced)
    return opened;
  uint32_t facets = 0;
  BuildModelTriangleMesh(model, writer, facets, progress);
  return CloseStlExport(writer, error);
}

}  // namespace vestan
