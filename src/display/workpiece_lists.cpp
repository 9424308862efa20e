#include "display/workpiece_lists.h"

#include <algorithm>
#include <limits>
#include <span>

#include "foundation/single_precision.h"
#include "modelfiles/model_triangulation.h"

namespace vestan {

namespace {

// The inside (lo, hi) of a cell edge: no material, material throughout, or
// material changing inside it. Combined with |, a changing edge stays so.
constexpr uint8_t kInsideEmpty = 0;
constexpr uint8_t kInsideFull = 2;
constexpr uint8_t kInsideChanging = 4;

// A line over a range of cells: no material meets it, one interval covers
// it whole, or anything else.
constexpr uint8_t kLineEmpty = 0;
constexpr uint8_t kLineFull = 1;
constexpr uint8_t kLineMixed = 2;

// The colour index of the highlight (PENKI) colour; none chosen yet.
constexpr int32_t kHighlightColour = -1;
constexpr int32_t kNoColour = -2;

int32_t Tag(uint8_t flag) { return flag >> kPenTagShift; }

// The state of a column over [lo, hi], both ends included.
uint8_t LineState(std::span<const double> values, double lo, double hi) {
  const size_t first = FirstIntervalReaching(values, lo);
  if (first + 1 >= values.size() || values[first] > hi) return kLineEmpty;
  return values[first] <= lo && values[first + 1] >= hi ? kLineFull : kLineMixed;
}

// Along a column over cells c0..c1 of lines: the inside of each cell edge
// into inside[0 .. c1 - c0], and whether the column holds each grid point
// c0..c1 + 1 into held[0 .. c1 - c0 + 1].
void FillLine(std::span<const double> values, const std::vector<double>& lines, int32_t c0,
              int32_t c1, uint8_t* inside, uint8_t* held) {
  std::fill_n(inside, c1 - c0 + 1, kInsideEmpty);
  std::fill_n(held, c1 - c0 + 2, 0);
  const auto first = lines.begin() + c0;
  const auto end = lines.begin() + c1 + 2;  // past point c1 + 1
  for (size_t p = FirstIntervalReaching(values, lines[c0]);
       p + 1 < values.size() && values[p] <= lines[c1 + 1]; p += 2) {
    const double a = values[p], b = values[p + 1];
    // Points a <= t <= b; cells a < t_m+1 and t_m < b.
    const auto q0 = std::lower_bound(first, end, a), q1 = std::upper_bound(q0, end, b);
    std::fill(held + (q0 - first), held + (q1 - first), 1);
    const int32_t m0 = static_cast<int32_t>(std::upper_bound(first + 1, end, a) - first) - 1;
    const int32_t m1 = static_cast<int32_t>(std::lower_bound(first, end - 1, b) - first) - 1;
    for (int32_t m = std::max(m0, 0); m <= m1; ++m)
      inside[m] |= a <= lines[c0 + m] && b >= lines[c0 + m + 1] ? kInsideFull : kInsideChanging;
  }
}

// The cells of [c0, c1] whose closed range holds t: from the first whose high
// line reaches t to the last whose low line is at or below it.
int32_t FirstCellReaching(const std::vector<double>& lines, int32_t c0, int32_t c1, double t) {
  return static_cast<int32_t>(
             std::lower_bound(lines.begin() + c0 + 1, lines.begin() + c1 + 2, t) - lines.begin()) -
         1;
}
int32_t LastCellFrom(const std::vector<double>& lines, int32_t c0, int32_t c1, double t) {
  return static_cast<int32_t>(
             std::upper_bound(lines.begin() + c0, lines.begin() + c1 + 1, t) - lines.begin()) -
         1;
}

std::array<int32_t, 3> Counts(const DexelModel& model) {
  return {model.CountX, model.CountY, model.CountZ};
}

// Builds one list: the emitter of its triangles and the scan of its cells.
class ListBuilder {
 public:
  ListBuilder(GlCalls& gl, const DexelModel& model, ModelRenderBuffers& buffers,
              const WorkpieceStyle& style, int32_t mode, uint32_t listId)
      : gl_(gl), m_(model), b_(buffers), style_(style), mode_(mode), listId_(listId) {
    counts_ = Counts(model);
    rotation_ = PlacementMatrix(model.Placement);
    rotate_ = ClassifyPlacementMatrix(rotation_) != 1;
    translate_ = model.Placement[9] != 0 || model.Placement[10] != 0 || model.Placement[11] != 0;
    // A mirroring placement turns every loop inside out: wind them back.
    const Vec3 x{rotation_[0], rotation_[1], rotation_[2]};
    const Vec3 y{rotation_[3], rotation_[4], rotation_[5]};
    const Vec3 z{rotation_[6], rotation_[7], rotation_[8]};
    mirrored_ = rotate_ && VectorDot(x, VectorCross(y, z)) < 0;
  }

  int32_t Build(const CellRange& range) {
    for (int face = 0; face < kCellFaces; ++face) DrawGridBoundaryFaces(face, range);
    ScanCells(range);
    Flush();
    if (listOpen_) gl_.EndList();
    if (!material_) return kBlockEmpty;
    return static_cast<int32_t>(std::min<int64_t>(triangles_, std::numeric_limits<int32_t>::max()));
  }

 private:
  // --- Emission ---------------------------------------------------------------

  Vec3 ToView(const Vec3& p) const {
    Vec3 w = p;
    TransformToWorld(m_.Placement, rotate_, translate_, w);
    for (double& c : w) c /= style_.DisplayScale;
    return w;
  }

  bool PenShown(int32_t index) const {
    return index < 0 || index >= kPenColourCount || style_.Colours.PenShown[index] != 0;
  }

  const GlColour& ColourOf(int32_t index) const {
    return index == kHighlightColour ? style_.Materials.Highlight
                                     : style_.Materials.Pens[static_cast<size_t>(index)];
  }

  void OpenList() {
    if (listOpen_) return;
    gl_.NewList(listId_);
    listOpen_ = true;
  }

  // One triangle (view units, wound out of the material) in the colour of
  // the pen index, or in the highlight colour.
  void Triangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& normal, int32_t index,
                bool highlighted) {
    if (!PenShown(index)) return;
    OpenList();
    const int32_t colour = highlighted ? kHighlightColour : index;
    if (mode_ == kMeshOutline) {
      gl_.Colour(ColourOf(colour));
      gl_.Begin(GlPrimitive::kLineLoop);
      gl_.Vertex(a);
      gl_.Vertex(b);
      gl_.Vertex(c);
      gl_.End();
    } else {
      // The material changes only with the colour; the triangles of one
      // colour go as one run across loops and cells.
      if (colour != colour_) {
        Flush();
        gl_.Material(ColourOf(colour));
        colour_ = colour;
      }
      for (const Vec3* p : {&a, &b, &c})
        for (int k = 0; k < 3; ++k) {
          b_.RunPoints.push_back(RoundToSingle((*p)[k]));
          b_.RunNormals.push_back(RoundToSingle(normal[k]));
        }
      if (b_.RunPoints.size() >= kRunFloats) Flush();
    }
    ++triangles_;
  }

  // Draws the triangles gathered since the last colour change.
  void Flush() {
    if (b_.RunPoints.empty()) return;
    gl_.Triangles(b_.RunNormals, b_.RunPoints);
    b_.RunPoints.clear();
    b_.RunNormals.clear();
  }

  void Polygon(std::span<const SurfacePoint> loop) {
    const size_t n = loop.size();
    std::vector<Vec3>& view = b_.LoopPoints;
    view.resize(n);
    for (size_t k = 0; k < n; ++k) view[k] = ToView(loop[k].Position);
    const int32_t t0 = Tag(loop[0].Flag);
    for (size_t k = 2; k < n; ++k) {
      const SurfacePoint &p1 = loop[k - 1], &p2 = loop[k];
      const int32_t index = LoopTriangleColour(t0, Tag(p1.Flag), Tag(p2.Flag));
      const bool highlighted = (loop[0].Flag & p1.Flag & p2.Flag & kFlagMark) != 0;
      const Vec3& a = view[0];
      const Vec3& b = mirrored_ ? view[k] : view[k - 1];
      const Vec3& c = mirrored_ ? view[k - 1] : view[k];
      Triangle(a, b, c, VectorCross(VectorSub(b, a), VectorSub(c, a)), index, highlighted);
    }
  }

  // A rectangle of an outer face, corners in model coordinates wound out of
  // the material, with the face's normal.
  void Rectangle(std::array<Vec3, 4> corners, Vec3 normal, uint8_t flag) {
    const int32_t index = Tag(flag);
    if (!PenShown(index)) return;
    for (Vec3& c : corners) c = ToView(c);
    if (rotate_) normal = MultiplyMatrixVector(rotation_, normal);
    if (mirrored_) std::swap(corners[1], corners[3]);
    const bool highlighted = (flag & kFlagMark) != 0;
    if (mode_ == kMeshOutline) {
      OpenList();
      gl_.Colour(ColourOf(highlighted ? kHighlightColour : index));
      gl_.Begin(GlPrimitive::kLineLoop);
      for (const Vec3& c : corners) gl_.Vertex(c);
      gl_.End();
      triangles_ += 2;
      return;
    }
    Triangle(corners[0], corners[1], corners[2], normal, index, highlighted);
    Triangle(corners[0], corners[2], corners[3], normal, index, highlighted);
  }

  // --- The outer faces --------------------------------------------------------

  // The face cells of one outer plane within the range, merged into
  // rectangles: a face cell qualifies when the four columns across it end on
  // the plane with one flag byte and the material covers its four edges in
  // the plane. From each free cell the run grows along u, then by whole rows
  // along v, with the same flag byte throughout.
  void DrawGridBoundaryFaces(int face, const CellRange& range) {
    const CellFaceAxes a = FaceAxes(face);
    if (a.Side == 0 ? range.Low[a.Normal] != 0 : range.High[a.Normal] != counts_[a.Normal] - 2)
      return;
    const int32_t u0 = range.Low[a.U], u1 = range.High[a.U];
    const int32_t v0 = range.Low[a.V], v1 = range.High[a.V];
    const int32_t nu = counts_[a.U], cellsU = nu - 1;
    std::vector<uint8_t>& written = b_.Outer.Written[face];
    const auto cellAt = [cellsU](int32_t u, int32_t v) {
      return static_cast<size_t>(u) + static_cast<size_t>(cellsU) * static_cast<size_t>(v);
    };
    for (int32_t v = v0; v <= v1; ++v)
      std::fill_n(written.begin() + static_cast<ptrdiff_t>(cellAt(u0, v)), u1 - u0 + 1, 0);

    const std::vector<double>& linesU = GridLines(m_, a.U);
    const std::vector<double>& linesV = GridLines(m_, a.V);
    const std::vector<double>& linesN = GridLines(m_, a.Normal);
    const int32_t planeIndex = a.Side ? counts_[a.Normal] - 1 : 0;
    const double plane = linesN[static_cast<size_t>(planeIndex)];
    const DexelSet& across = m_.SetByDirection(a.Normal);
    const auto facePoint = [&](int32_t pu, int32_t pv) {
      std::array<int32_t, 3> p{};
      p[a.Normal] = planeIndex;
      p[a.U] = pu;
      p[a.V] = pv;
      return p;
    };

    // Which edges of the region lie in material: along u per point row v,
    // along v per point column u.
    const int32_t ru = u1 - u0 + 1, rv = v1 - v0 + 1;
    const auto fillFull = [&](int axis, int32_t c0, int32_t c1, const std::array<int32_t, 3>& at,
                              uint8_t* out) {
      const std::span<const double> values =
          DexelColumnValues(m_.SetByDirection(axis), ColumnThrough(m_, axis, at));
      b_.EdgeHeld.resize(static_cast<size_t>(c1 - c0 + 2));
      FillLine(values, GridLines(m_, axis), c0, c1, out, b_.EdgeHeld.data());
      for (int32_t m = 0; m <= c1 - c0; ++m) out[m] = out[m] == kInsideFull;
    };
    b_.FaceU.resize(static_cast<size_t>(rv + 1) * ru);
    for (int32_t pv = v0; pv <= v1 + 1; ++pv)
      fillFull(a.U, u0, u1, facePoint(u0, pv), &b_.FaceU[static_cast<size_t>(pv - v0) * ru]);
    b_.FaceV.resize(static_cast<size_t>(ru + 1) * rv);
    for (int32_t pu = u0; pu <= u1 + 1; ++pu)
      fillFull(a.V, v0, v1, facePoint(pu, v0), &b_.FaceV[static_cast<size_t>(pu - u0) * rv]);

    // Per face cell: 0 when it does not qualify, else 0x100 | its flag byte.
    b_.FaceCells.assign(static_cast<size_t>(ru) * rv, 0);
    const auto at = [&](int32_t pu, int32_t pv) {
      return static_cast<size_t>(pu) + static_cast<size_t>(nu) * static_cast<size_t>(pv);
    };
    // The column across the face through (pu, pv) is numbered like it: its
    // first value (low side) or last (high side) with its flag byte.
    const auto end = [&](size_t column, uint8_t& flag) {
      const int32_t c = static_cast<int32_t>(column);
      const std::span<const double> values = DexelColumnValues(across, c);
      if (values.empty()) return false;
      const std::span<const uint8_t> flags = DexelColumnFlags(across, c);
      flag = a.Side ? flags.back() : flags.front();
      return (a.Side ? values.back() : values.front()) == plane;
    };
    for (int32_t v = v0; v <= v1; ++v)
      for (int32_t u = u0; u <= u1; ++u) {
        const size_t corners[4] = {at(u, v), at(u + 1, v), at(u, v + 1), at(u + 1, v + 1)};
        uint8_t flag = 0, other = 0;
        bool ok = end(corners[0], flag);
        for (int c = 1; c < 4 && ok; ++c) ok = end(corners[c], other) && other == flag;
        const size_t cu = static_cast<size_t>(u - u0), cv = static_cast<size_t>(v - v0);
        ok = ok && b_.FaceU[cv * ru + cu] && b_.FaceU[(cv + 1) * ru + cu] &&
             b_.FaceV[cu * rv + cv] && b_.FaceV[(cu + 1) * rv + cv];
        if (ok) b_.FaceCells[cv * ru + cu] = static_cast<uint16_t>(0x100 | flag);
      }
    const auto free = [&](int32_t u, int32_t v, uint16_t cell) {
      return written[cellAt(u, v)] == 0 &&
             b_.FaceCells[static_cast<size_t>(v - v0) * ru + static_cast<size_t>(u - u0)] == cell;
    };

    Vec3 normal{};
    normal[a.Normal] = a.Side ? 1.0 : -1.0;
    for (int32_t v = v0; v <= v1; ++v)
      for (int32_t u = u0; u <= u1; ++u) {
        const uint16_t cell =
            b_.FaceCells[static_cast<size_t>(v - v0) * ru + static_cast<size_t>(u - u0)];
        if (cell == 0 || written[cellAt(u, v)] != 0) continue;
        int32_t ue = u;
        while (ue < u1 && free(ue + 1, v, cell)) ++ue;
        int32_t ve = v;
        for (bool whole = true; whole && ve < v1;) {
          for (int32_t x = u; x <= ue && whole; ++x) whole = free(x, ve + 1, cell);
          if (whole) ++ve;
        }
        for (int32_t y = v; y <= ve; ++y)
          std::fill_n(written.begin() + static_cast<ptrdiff_t>(cellAt(u, y)), ue - u + 1, 1);
        const auto corner = [&](int32_t pu, int32_t pv) {
          Vec3 p{};
          p[a.Normal] = plane;
          p[a.U] = linesU[static_cast<size_t>(pu)];
          p[a.V] = linesV[static_cast<size_t>(pv)];
          return p;
        };
        // Counter-clockwise in (u, v) seen from outside a high face; the other
        // way round on a low one.
        std::array<Vec3, 4> corners = {corner(u, v), corner(ue + 1, v), corner(ue + 1, ve + 1),
                                       corner(u, ve + 1)};
        if (a.Side == 0) std::swap(corners[1], corners[3]);
        material_ = true;
        Rectangle(corners, normal, static_cast<uint8_t>(cell & 0xFF));
      }
  }

  // --- The cells --------------------------------------------------------------
  //
  // Slab by slab (z_k to z_k+1): whether each grid point of the two layers
  // bounding the slab is material (the three columns through it vote), and
  // the inside of every X and Y edge of those layers and of the slab's Z
  // edges. A cell whose corners and twelve edges all agree is wholly empty or
  // wholly material and has no surface inside; every other one is handed to
  // the cell surface. A slab whose lines are all of one state is passed over
  // whole, and a Z column is looked at only in the slabs its values lie in.

  // The state of layer k's X and Y lines over the range into slot, and the
  // layer's: kLineEmpty or kLineFull when every line is so, else mixed.
  uint8_t SummariseLayer(int32_t k, int slot) {
    const std::vector<double>&gx = m_.GridX, &gy = m_.GridY;
    std::vector<uint8_t>& xr = b_.XRows[slot];
    std::vector<uint8_t>& yr = b_.YRows[slot];
    xr.resize(static_cast<size_t>(np_[1]));
    yr.resize(static_cast<size_t>(np_[0]));
    bool empty = true, full = true;
    for (int32_t pj = 0; pj < np_[1]; ++pj) {
      xr[pj] = LineState(DexelColumnValues(m_.XSet(), ColumnIndexX(m_, lo_[1] + pj, k)),
                         gx[lo_[0]], gx[hi_[0] + 1]);
      empty = empty && xr[pj] == kLineEmpty;
      full = full && xr[pj] == kLineFull;
    }
    for (int32_t pi = 0; pi < np_[0]; ++pi) {
      yr[pi] = LineState(DexelColumnValues(m_.YSet(), ColumnIndexY(m_, k, lo_[0] + pi)),
                         gy[lo_[1]], gy[hi_[1] + 1]);
      empty = empty && yr[pi] == kLineEmpty;
      full = full && yr[pi] == kLineFull;
    }
    return empty ? kLineEmpty : full ? kLineFull : kLineMixed;
  }

  // Layer k's edges and points: X edge insides at [pj][ci], Y edge insides
  // at [cj][pi], and per point [pj][pi] whether the X and the Y column hold
  // it (bit 0 and bit 1).
  void FillLayer(int32_t k, int slot) {
    const int32_t px = np_[0], py = np_[1], cx = px - 1, cy = py - 1;
    std::vector<uint8_t>& xe = b_.XEdges[slot];
    std::vector<uint8_t>& ye = b_.YEdges[slot];
    std::vector<uint8_t>& held = b_.Held[slot];
    xe.resize(static_cast<size_t>(py) * cx);
    ye.resize(static_cast<size_t>(cy) * px);
    held.resize(static_cast<size_t>(py) * px);
    b_.EdgeHeld.resize(static_cast<size_t>(std::max(px, py)));
    for (int32_t pj = 0; pj < py; ++pj) {
      uint8_t* inside = &xe[static_cast<size_t>(pj) * cx];
      uint8_t* points = &held[static_cast<size_t>(pj) * px];
      const uint8_t state = b_.XRows[slot][pj];
      if (state == kLineMixed) {
        FillLine(DexelColumnValues(m_.XSet(), ColumnIndexX(m_, lo_[1] + pj, k)), m_.GridX,
                 lo_[0], hi_[0], inside, points);
      } else {
        std::fill_n(inside, cx, state == kLineFull ? kInsideFull : kInsideEmpty);
        std::fill_n(points, px, state == kLineFull ? 1 : 0);
      }
    }
    b_.EdgeRun.resize(static_cast<size_t>(cy));
    for (int32_t pi = 0; pi < px; ++pi) {
      const uint8_t state = b_.YRows[slot][pi];
      if (state == kLineMixed) {
        FillLine(DexelColumnValues(m_.YSet(), ColumnIndexY(m_, k, lo_[0] + pi)), m_.GridY, lo_[1],
                 hi_[1], b_.EdgeRun.data(), b_.EdgeHeld.data());
      } else {
        std::fill(b_.EdgeRun.begin(), b_.EdgeRun.end(),
                  state == kLineFull ? kInsideFull : kInsideEmpty);
        std::fill_n(b_.EdgeHeld.begin(), py, state == kLineFull ? 1 : 0);
      }
      for (int32_t cj = 0; cj < cy; ++cj) ye[static_cast<size_t>(cj) * px + pi] = b_.EdgeRun[cj];
      for (int32_t pj = 0; pj < py; ++pj)
        held[static_cast<size_t>(pj) * px + pi] |= static_cast<uint8_t>(b_.EdgeHeld[pj] << 1);
    }
  }

  // The material of layer slot's points, with the Z columns' holds at it.
  void VoteCorners(int slot) {
    std::vector<uint8_t>& corners = b_.Corners[slot];
    const std::vector<uint8_t>& held = b_.Held[slot];
    corners.resize(held.size());
    for (size_t p = 0; p < held.size(); ++p)
      corners[p] = (held[p] & 1) + (held[p] >> 1) + b_.ZHeld[p] >= 2;
  }

  // The Z columns through the range's points: held at the first layer, and
  // per slab the points whose column has a value in it (ends included).
  void PrepareZ() {
    const int32_t slabs = np_[2] - 1;
    const size_t points = static_cast<size_t>(np_[0]) * np_[1];
    b_.ZHeld.assign(points, 0);
    if (b_.ZEvents.size() < static_cast<size_t>(slabs)) b_.ZEvents.resize(slabs);
    for (int32_t s = 0; s < slabs; ++s) b_.ZEvents[s].clear();
    held_ = 0;
    const std::vector<double>& gz = m_.GridZ;
    const double bottom = gz[lo_[2]], top = gz[hi_[2] + 1];
    for (int32_t pj = 0; pj < np_[1]; ++pj)
      for (int32_t pi = 0; pi < np_[0]; ++pi) {
        const int32_t p = pj * np_[0] + pi;
        const std::span<const double> values = ZColumn(p);
        b_.ZHeld[p] = ColumnHoldsPoint(values, bottom);
        held_ += b_.ZHeld[p];
        for (size_t q = FirstIntervalReaching(values, bottom); q < values.size(); ++q) {
          const double v = values[q];
          if (v > top) break;
          if (v < bottom) continue;
          const int32_t last = LastCellFrom(gz, lo_[2], hi_[2], v);
          for (int32_t m = FirstCellReaching(gz, lo_[2], hi_[2], v); m <= last; ++m) {
            std::vector<int32_t>& events = b_.ZEvents[m - lo_[2]];
            if (events.empty() || events.back() != p) events.push_back(p);
          }
        }
      }
  }

  std::span<const double> ZColumn(int32_t p) const {
    return DexelColumnValues(m_.ZSet(), ColumnIndexZ(m_, lo_[0] + p % np_[0], lo_[1] + p / np_[0]));
  }

  void ScanCells(const CellRange& range) {
    for (int axis = 0; axis < 3; ++axis) {
      lo_[axis] = range.Low[axis];
      hi_[axis] = range.High[axis];
      np_[axis] = hi_[axis] - lo_[axis] + 2;
    }
    const int32_t points = np_[0] * np_[1];
    PrepareZ();
    int low = 0;
    uint8_t lowState = SummariseLayer(lo_[2], low);
    bool lowFilled = false;
    uint8_t zHeld[2];
    for (int32_t k = lo_[2]; k <= hi_[2]; ++k) {
      const int high = 1 - low;
      const uint8_t highState = SummariseLayer(k + 1, high);
      bool highFilled = false;
      const std::vector<int32_t>& events = b_.ZEvents[k - lo_[2]];
      const uint8_t zState = !events.empty() ? kLineMixed
                             : held_ == 0    ? kLineEmpty
                             : held_ == points ? kLineFull
                                               : kLineMixed;
      if (zState != kLineMixed && lowState == zState && highState == zState) {
        if (zState == kLineFull) {
          material_ = true;
          WriteCappedSlab(k);
        }
      } else {
        if (!lowFilled) {
          FillLayer(k, low);
          VoteCorners(low);
        }
        FillLayer(k + 1, high);
        // A Z column keeps its state through a slab it has no value in.
        b_.ZEdges.resize(static_cast<size_t>(points));
        for (int32_t p = 0; p < points; ++p)
          b_.ZEdges[p] = b_.ZHeld[p] ? kInsideFull : kInsideEmpty;
        for (const int32_t p : events) {
          FillLine(ZColumn(p), m_.GridZ, k, k, &b_.ZEdges[p], zHeld);
          held_ += zHeld[1] - b_.ZHeld[p];
          b_.ZHeld[p] = zHeld[1];
        }
        VoteCorners(high);
        highFilled = true;
        ScanSlab(k, low, high);
      }
      low = high;
      lowState = highState;
      lowFilled = highFilled;
    }
  }

  void ScanSlab(int32_t k, int low, int high) {
    const int32_t cx = np_[0] - 1, px = np_[0];
    const uint8_t* x0 = b_.XEdges[low].data();
    const uint8_t* x1 = b_.XEdges[high].data();
    const uint8_t* y0 = b_.YEdges[low].data();
    const uint8_t* y1 = b_.YEdges[high].data();
    const uint8_t* z = b_.ZEdges.data();
    const uint8_t* c0 = b_.Corners[low].data();
    const uint8_t* c1 = b_.Corners[high].data();
    const bool sideK = k == 0 || k == counts_[2] - 2;
    for (int32_t cj = 0; cj + 1 < np_[1]; ++cj) {
      const int32_t j = lo_[1] + cj;
      const bool sideJK = sideK || j == 0 || j == counts_[1] - 2;
      const size_t xr = static_cast<size_t>(cj) * cx, xn = xr + cx;
      const size_t pr = static_cast<size_t>(cj) * px, pn = pr + px;
      for (int32_t ci = 0; ci < cx; ++ci) {
        const uint8_t inside[12] = {x0[xr + ci], x0[xn + ci], x1[xr + ci], x1[xn + ci],
                                    y0[pr + ci], y0[pr + ci + 1], y1[pr + ci], y1[pr + ci + 1],
                                    z[pr + ci],  z[pr + ci + 1],  z[pn + ci], z[pn + ci + 1]};
        const uint8_t corners[8] = {c0[pr + ci], c0[pr + ci + 1], c0[pn + ci], c0[pn + ci + 1],
                                    c1[pr + ci], c1[pr + ci + 1], c1[pn + ci], c1[pn + ci + 1]};
        uint8_t any = 0, all = kInsideFull, anyCorner = 0, allCorners = 1;
        for (const uint8_t s : inside) {
          any |= s;
          all &= s;
        }
        for (const uint8_t c : corners) {
          anyCorner |= c;
          allCorners &= c;
        }
        if (any == kInsideEmpty && anyCorner == 0) continue;
        material_ = true;
        const int32_t i = lo_[0] + ci;
        if (any == kInsideFull && all == kInsideFull && allCorners == 1) {
          if (sideJK || i == 0 || i == counts_[0] - 2) WriteIfCapped(i, j, k);
        } else {
          WriteCell(i, j, k);
        }
      }
    }
  }

  // A slab of material cells: only its cells on the grid's outside can have
  // faces to draw.
  void WriteCappedSlab(int32_t k) {
    const bool wholeSlab = k == 0 || k == counts_[2] - 2;
    for (int32_t j = lo_[1]; j <= hi_[1]; ++j) {
      if (wholeSlab || j == 0 || j == counts_[1] - 2) {
        for (int32_t i = lo_[0]; i <= hi_[0]; ++i) WriteIfCapped(i, j, k);
      } else {
        if (lo_[0] == 0) WriteIfCapped(0, j, k);
        if (hi_[0] == counts_[0] - 2 && hi_[0] != 0) WriteIfCapped(hi_[0], j, k);
      }
    }
  }

  // A material cell is drawn only for a face of its own on the grid's
  // outside that no rectangle took.
  void WriteIfCapped(int32_t i, int32_t j, int32_t k) {
    const uint8_t sides = CellGridSides(m_, i, j, k);
    if (sides != 0 && (sides & ~GetCellBoundaryFlags(m_, i, j, k, b_.Outer)) != 0)
      WriteCell(i, j, k);
  }

  void WriteCell(int32_t i, int32_t j, int32_t k) {
    const uint8_t caps = CellGridSides(m_, i, j, k) & ~GetCellBoundaryFlags(m_, i, j, k, b_.Outer);
    if (!BuildCellSurface(m_, i, j, k, caps, b_.Cell, b_.Segments, b_.Polygons)) return;
    for (size_t p = 0; p < b_.Polygons.Count(); ++p) Polygon(b_.Polygons.Polygon(p));
  }

  GlCalls& gl_;
  const DexelModel& m_;
  ModelRenderBuffers& b_;
  const WorkpieceStyle& style_;
  const int32_t mode_;
  const uint32_t listId_;
  std::array<int32_t, 3> counts_{};
  Matrix3 rotation_{};
  bool rotate_ = false, translate_ = false, mirrored_ = false;

  bool listOpen_ = false;
  // A run of triangles is drawn at most this many floats at a time.
  static constexpr size_t kRunFloats = 3 * 3 * 65536;
  int32_t colour_ = kNoColour;
  int64_t triangles_ = 0;
  bool material_ = false;

  std::array<int32_t, 3> lo_{}, hi_{}, np_{};
  int32_t held_ = 0;  // Z columns holding the layer's points
};

// The point views: the dexel end points of the X (mode 2), Y (3) or Z (4)
// set or of all three (5); entries in the axis colour, exits in its light
// variant.
void BuildPointViewList(GlCalls& gl, const DexelModel& model, WorkpieceDisplayLists& lists,
                        const WorkpieceStyle& style) {
  if (lists.PointList == 0) lists.PointList = gl.GenLists(1);
  if (lists.PointList == 0) return;
  static constexpr GlColour kAxis[3] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
  static constexpr GlColour kLight[3] = {{1, 0.5f, 0.5f, 1}, {0.5f, 1, 0.5f, 1},
                                         {0.5f, 0.5f, 1, 1}};
  const Matrix3 rotation = PlacementMatrix(model.Placement);
  const bool rotate = ClassifyPlacementMatrix(rotation) != 1;
  const bool translate =
      model.Placement[9] != 0 || model.Placement[10] != 0 || model.Placement[11] != 0;
  gl.NewList(lists.PointList);
  gl.PointSize(RoundToSingle(std::max(2.0, style.Zoom * 0.5)));
  gl.Begin(GlPrimitive::kPoints);
  const int32_t mode = style.MeshMode;
  for (int axis = 0; axis < 3; ++axis) {
    if (mode != kMeshPointsAll && mode != kMeshPointsX + axis) continue;
    const DexelSet& set = model.SetByDirection(axis);
    // The set's column (a, b) lies on lines a of axis + 1 and b of axis + 2.
    const int across = (axis + 1) % 3, along = (axis + 2) % 3;
    const std::vector<double>& first = GridLines(model, across);
    const std::vector<double>& second = GridLines(model, along);
    const size_t firstCount = first.size();
    for (int32_t column = 0; column < set.Columns; ++column) {
      const std::span<const double> values = DexelColumnValues(set, column);
      Vec3 p{};
      p[across] = first[static_cast<size_t>(column) % firstCount];
      p[along] = second[static_cast<size_t>(column) / firstCount];
      for (size_t v = 0; v < values.size(); ++v) {
        p[axis] = values[v];
        Vec3 w = p;
        TransformToWorld(model.Placement, rotate, translate, w);
        for (double& c : w) c /= style.DisplayScale;
        gl.Colour(v % 2 == 0 ? kAxis[axis] : kLight[axis]);
        gl.Vertex(w);
      }
    }
  }
  gl.End();
  gl.EndList();
}

}  // namespace

int32_t LoopTriangleColour(int32_t t0, int32_t t1, int32_t t2) {
  if (t0 == 0 || t1 == 0 || t2 == 0) return 0;
  if (t0 == t1) return t0;
  if (t1 == t2) return t1;
  if (t0 == t2) return t0;
  return 0;
}

bool WorkpieceDisplayLists::Covers(const DexelModel& model) const {
  const size_t slots = static_cast<size_t>(std::max(model.SlotCount, 1));
  return Ids.size() >= slots * kBlockListsPerSlot && SlotDirty.size() >= slots &&
         model.BlockLists.size() >= slots * kBlockListsPerSlot &&
         model.CurrentSlot >= 0 && static_cast<size_t>(model.CurrentSlot) < slots;
}

CellRange BlockCellRange(const DexelModel& model, int32_t block) {
  CellRange range;
  const int32_t bx = block % model.BlocksX;
  const int32_t by = block / model.BlocksX % model.BlocksY;
  const int32_t bz = block / model.BlocksX / model.BlocksY;
  const int32_t index[3] = {bx, by, bz};
  const int32_t last[3] = {model.LastBlockX, model.LastBlockY, model.LastBlockZ};
  const int32_t size[3] = {model.BlockCellsX, model.BlockCellsY, model.BlockCellsZ};
  const int32_t lastSize[3] = {model.LastBlockCellsX, model.LastBlockCellsY,
                               model.LastBlockCellsZ};
  for (int a = 0; a < 3; ++a) {
    range.Low[a] = index[a] * size[a];
    range.High[a] = range.Low[a] + (index[a] == last[a] ? lastSize[a] : size[a]) - 1;
  }
  return range;
}

void AllocDisplayListIds(DexelModel& model, uint32_t listBase, int32_t workIndex,
                         WorkpieceDisplayLists& lists) {
  const size_t slots = static_cast<size_t>(std::max(model.SlotCount, 1));
  lists.ListBase = listBase;
  lists.WorkIndex = workIndex;
  lists.Ids.assign(slots * kBlockListsPerSlot, 0);
  for (int32_t b = 0; b < kBlockListsPerSlot; ++b) lists.Ids[static_cast<size_t>(b)] = lists.FreshId(b);
  lists.SlotDirty = std::vector<std::atomic<uint8_t>>(slots);
  std::fill(model.BlockLists.begin(), model.BlockLists.end(), 0);
  MarkWorkpieceForRebuild(model, lists);
}

void RotateDisplayListBuffer(const DexelModel& model, WorkpieceDisplayLists& lists) {
  if (!lists.Covers(model)) return;
  const int32_t current = model.CurrentSlot;
  const int32_t previous = current > 0 ? current - 1 : model.HighestSlot;
  if (previous == current || previous < 0 || previous >= std::max(model.SlotCount, 1)) return;
  std::copy_n(lists.Ids.begin() + static_cast<ptrdiff_t>(previous) * kBlockListsPerSlot,
              kBlockListsPerSlot,
              lists.Ids.begin() + static_cast<ptrdiff_t>(current) * kBlockListsPerSlot);
}

void MarkWorkpieceForRebuild(DexelModel& model, WorkpieceDisplayLists& lists) {
  std::fill(model.BlockDirty.begin(), model.BlockDirty.end(), 1);
  if (model.CurrentSlot >= 0 && static_cast<size_t>(model.CurrentSlot) < lists.SlotDirty.size())
    lists.SlotDirty[static_cast<size_t>(model.CurrentSlot)].store(1, std::memory_order_relaxed);
}

bool WorkpieceListsStale(const DexelModel& model, const WorkpieceDisplayLists& lists) {
  if (!lists.Covers(model)) return false;
  if (lists.SlotDirty[static_cast<size_t>(model.CurrentSlot)].load(std::memory_order_relaxed) != 0)
    return true;
  return std::any_of(model.BlockDirty.begin(), model.BlockDirty.end(),
                     [](uint8_t d) { return d != 0; });
}

void PrepareModelRenderBuffers(const DexelModel& model, ModelRenderBuffers& buffers) {
  // Sized only: a build clears the face cells of each block it draws before
  // it merges them, and a cell reads only those of its own block.
  const std::array<int32_t, 3> counts = Counts(model);
  for (int face = 0; face < kCellFaces; ++face) {
    const CellFaceAxes a = FaceAxes(face);
    buffers.Outer.Written[face].resize(static_cast<size_t>(std::max(counts[a.U] - 1, 0)) *
                                       std::max(counts[a.V] - 1, 0));
  }
}

int32_t BuildModelDisplayLists(GlCalls& gl, const DexelModel& model, ModelRenderBuffers& buffers,
                               const WorkpieceStyle& style, int32_t mode, const CellRange& range,
                               uint32_t listId) {
  if (!model.Allocated() || model.CountX < 2 || model.CountY < 2 || model.CountZ < 2)
    return kBlockEmpty;
  const std::array<int32_t, 3> counts = Counts(model);
  for (int a = 0; a < 3; ++a)
    if (range.Low[a] < 0 || range.High[a] < range.Low[a] || range.High[a] > counts[a] - 2)
      return kBlockEmpty;
  return ListBuilder(gl, model, buffers, style, mode, listId).Build(range);
}

void BuildWorkpieceBlockLists(GlCalls& gl, DexelModel& model, WorkpieceDisplayLists& lists,
                              const WorkpieceStyle& style, int32_t mode) {
  if (!model.Allocated() || !lists.Covers(model)) return;
  const int32_t blocks = std::min<int32_t>(model.BlockCount, kBlockListsPerSlot);
  if (static_cast<int64_t>(model.BlocksX) * model.BlocksY * model.BlocksZ != model.BlockCount ||
      model.BlockDirty.size() < static_cast<size_t>(blocks))
    return;
  ModelRenderBuffers& buffers = lists.Buffers;
  PrepareModelRenderBuffers(model, buffers);
  const int32_t current = model.CurrentSlot;
  const size_t slotBase = static_cast<size_t>(current) * kBlockListsPerSlot;
  const bool history = model.SlotCount > 1;
  const int32_t highest = std::min(model.HighestSlot, std::max(model.SlotCount, 1) - 1);
  for (int32_t b = 0; b < blocks; ++b) {
    uint8_t& dirty = model.BlockDirty[static_cast<size_t>(b)];
    if (dirty == 0) continue;
    int32_t& count = model.BlockLists[slotBase + b];
    if (count < 0) {
      dirty = 0;
      continue;
    }
    uint32_t id = lists.FreshId(b);
    if (history) {
      // Never an id that another slot still shows.
      for (bool taken = true; taken;) {
        taken = false;
        for (int32_t s = 0; s <= highest && !taken; ++s)
          taken = s != current && lists.Ids[static_cast<size_t>(s) * kBlockListsPerSlot + b] == id;
        if (taken) id += kBlockListsPerSlot;
      }
    }
    lists.Ids[slotBase + b] = id;
    if (count > 0 && gl.IsList(id)) gl.DeleteList(id);
    count = BuildModelDisplayLists(gl, model, buffers, style, mode, BlockCellRange(model, b), id);
    dirty = 0;
  }
}

void BuildWorkpieceLists(GlCalls& gl, DexelModel& model, WorkpieceDisplayLists& lists,
                         const WorkpieceStyle& style) {
  if (style.WorkDisplay == 0 || !lists.Covers(model)) return;
  lists.SlotDirty[static_cast<size_t>(model.CurrentSlot)].store(0, std::memory_order_relaxed);
  if (style.MeshMode >= kMeshPointsX && style.MeshMode <= kMeshPointsAll)
    BuildPointViewList(gl, model, lists, style);
  else
    BuildWorkpieceBlockLists(gl, model, lists, style,
                             style.MeshMode == kMeshOutline ? kMeshOutline : kMeshSolid);
}

void CallWorkpieceLists(GlCalls& gl, const DexelModel& model, const WorkpieceDisplayLists& lists,
                        int32_t meshMode) {
  if (meshMode >= kMeshPointsX && meshMode <= kMeshPointsAll) {
    if (lists.PointList != 0) gl.CallList(lists.PointList);
    return;
  }
  if (!lists.Covers(model)) return;
  const size_t slotBase = static_cast<size_t>(model.CurrentSlot) * kBlockListsPerSlot;
  const int32_t blocks = std::min<int32_t>(model.BlockCount, kBlockListsPerSlot);
  for (int32_t b = 0; b < blocks; ++b)
    if (model.BlockLists[slotBase + b] > 0) gl.CallList(lists.Ids[slotBase + b]);
}

}  // namespace vestan
