#include "machine/structure_interference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "machine/forward_kinematics.h"
#include "machine/interference_geometry.h"
#include "machine/interference_transforms.h"
#include "machine/rotary_axes.h"
#include "model/part_transforms.h"
#include "model/tool_profile.h"
#include "model/triangle_geometry.h"

namespace vestan {

namespace {

constexpr Vec3 kOpenMin{1e12, 1e12, 1e12};
constexpr Vec3 kOpenMax{-1e12, -1e12, -1e12};

struct Box {
  Vec3 Min = kOpenMin;
  Vec3 Max = kOpenMax;

  void Extend(const Vec3& p) {
    for (int k = 0; k < 3; ++k) {
      Min[k] = std::min(Min[k], p[k]);
      Max[k] = std::max(Max[k], p[k]);
    }
  }
};

// Touching boxes meet.
bool Meet(const Vec3& aMin, const Vec3& aMax, const Vec3& bMin, const Vec3& bMax) {
  for (int k = 0; k < 3; ++k)
    if (aMin[k] > bMax[k] || bMin[k] > aMax[k]) return false;
  return true;
}
bool Meet(const Box& a, const StructureMesh& mesh) {
  return Meet(a.Min, a.Max, mesh.BoxMin, mesh.BoxMax);
}

bool StrictlyInside(const Box& box, const FreeBox& free) {
  for (int k = 0; k < 3; ++k)
    if (!(box.Min[k] > free.Min[k] && box.Max[k] < free.Max[k])) return false;
  return true;
}

TriangleVertices FacetVertices(const StlTriangle& t) { return TriangleVertices(t.data() + 3, 9); }

bool PairOn(const StructureCheckContext& c, size_t pair) { return c.Checks.Pairs[pair] >= 1; }
void Raise(StructureCheckContext& c, size_t pair) { c.Hits.Pairs[pair] = 1; }

bool AnyVice(const MachinePartMeshes& meshes) {
  return std::any_of(meshes.Vices.begin(), meshes.Vices.end(),
                     [](const StructureMesh& vice) { return vice.FacetCount() != 0; });
}

int32_t BasicFileCount(const MachinePartMeshes& meshes) {
  return std::min<int32_t>(meshes.BasicFileCount, static_cast<int32_t>(kMaxListedModels));
}

Vec3 LinearOf(const AxisPosition& position) { return {position[0], position[1], position[2]}; }

// The position with the axes that move the table at 0: the base sees only
// the head's (or the spindle's) own travel.
AxisPosition WithoutTableTravel(const MachineDefinition& machine, AxisPosition position) {
  for (int k = 0; k < 3; ++k)
    if (machine.TableMoves[k] != 0) position[k] = 0.0;
  return position;
}

// Scans mesh's facets (ordered by decreasing top) for one that the element
// box [lo, hi] may reach, and tests it with test(facet, record). The scan
// stops at the first facet whose top lies below the box; with the mesh's
// grid only the facets of the cells under the box are visited, each once
// (in the first of its cells that the box covers), with the same stop.
template <typename Test>
bool ScanFacets(const StructureMesh& mesh, const Vec3& lo, const Vec3& hi, Test&& test) {
  const FacetGrid& grid = mesh.Grid;
  const bool planFinite =
      std::isfinite(lo[0]) && std::isfinite(lo[1]) && std::isfinite(hi[0]) && std::isfinite(hi[1]);
  if (!planFinite || !GridCurrent(grid, mesh.Triangles, mesh.Records.size())) {
    const size_t count = std::min(mesh.Triangles.size(), mesh.Records.size());
    for (size_t f = 0; f < count; ++f) {
      const StlFacetRecord& record = mesh.Records[f];
      if (lo[2] > record.BoxMax[2]) break;
      if (!Meet(lo, hi, record.BoxMin, record.BoxMax)) continue;
      if (test(mesh.Triangles[f], record)) return true;
    }
    return false;
  }
  const auto reached = [&grid, &lo](uint32_t f) { return !(lo[2] > grid.ReachTop[f]); };
  for (const uint32_t f : grid.Unbinned) {
    const StlFacetRecord& record = mesh.Records[f];
    if (reached(f) && Meet(lo, hi, record.BoxMin, record.BoxMax) && test(mesh.Triangles[f], record))
      return true;
  }
  const int32_t x0 = FacetGridCell(lo[0], grid.X0, grid.InverseX, grid.CellsX);
  const int32_t x1 = FacetGridCell(hi[0], grid.X0, grid.InverseX, grid.CellsX);
  const int32_t y0 = FacetGridCell(lo[1], grid.Y0, grid.InverseY, grid.CellsY);
  const int32_t y1 = FacetGridCell(hi[1], grid.Y0, grid.InverseY, grid.CellsY);
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const size_t cell = static_cast<size_t>(y) * grid.CellsX + x;
      for (uint32_t e = grid.CellStart[cell]; e < grid.CellStart[cell + 1]; ++e) {
        const uint32_t f = grid.Entries[e];
        if (!reached(f)) break;
        const StlFacetRecord& record = mesh.Records[f];
        if (!Meet(lo, hi, record.BoxMin, record.BoxMax)) continue;
        const int32_t fx = FacetGridCell(record.BoxMin[0], grid.X0, grid.InverseX, grid.CellsX);
        const int32_t fy = FacetGridCell(record.BoxMin[1], grid.Y0, grid.InverseY, grid.CellsY);
        if (x != std::max(fx, x0) || y != std::max(fy, y0)) continue;
        if (test(mesh.Triangles[f], record)) return true;
      }
    }
  return false;
}

// ---------------------------------------------------------------- heads

enum class HeadPlacementKind { kTranslate, kPart, kPart2, kPart3, kPart4, kPart5 };

struct HeadPlacement {
  HeadPlacementKind Kind = HeadPlacementKind::kTranslate;
  Vec3 P{};

  friend bool operator==(const HeadPlacement&, const HeadPlacement&) = default;
};

struct PlacedTriangle {
  std::array<double, 9> V{};
  Box Bounds;
};

class HeadCheck {
 public:
  HeadCheck(StructureCheckContext& context, const HeadMesh& head)
      : c_(context),
        head_(head),
        indexed_(LeavesCurrent(head.Leaves, head.Triangles)),
        frame_(MakePartTransformFrame(context.Kinematics, context.Position.RotarySinCos)) {
    const AxisPosition& m = context.Position.MachinePosition;
    p_ = LinearOf(m);
    first_ = m[3];
    second_ = m[4];
  }

  double FirstAngle() const { return first_; }
  double SecondAngle() const { return second_; }
  bool BothAnglesZero() const { return first_ == 0.0 && second_ == 0.0; }
  int32_t RotaryType() const { return c_.Kinematics.RotaryType; }

  HeadPlacement At(HeadPlacementKind kind) const { return {kind, p_}; }
  HeadPlacement AtBase(HeadPlacementKind kind) const {
    return {kind, LinearOf(WithoutTableTravel(c_.Machine, c_.Position.MachinePosition))};
  }

  bool AgainstWork(const HeadPlacement& placement);
  bool AgainstMesh(const HeadPlacement& placement, const StructureMesh& mesh);
  bool AgainstBasic(const HeadPlacement& placement);

 private:
  Vec3 Place(const HeadPlacement& placement, const Vec3& p) const {
    switch (placement.Kind) {
      case HeadPlacementKind::kPart:
        return TransformInterferencePart(frame_, placement.P, p);
      case HeadPlacementKind::kPart2:
        return TransformInterferencePart2(frame_, placement.P, p);
      case HeadPlacementKind::kPart3:
        return TransformInterferencePart3(frame_, placement.P, p);
      case HeadPlacementKind::kPart4:
        return TransformInterferencePart4(frame_, placement.P, p);
      case HeadPlacementKind::kPart5:
        return TransformInterferencePart5(frame_, placement.P, p);
      case HeadPlacementKind::kTranslate:
        break;
    }
    return VectorAdd(p, placement.P);
  }

  // The head's box at a placement, made once and kept while the following
  // pairs use the same placement.
  const Box& HeadBox(const HeadPlacement& placement);

  // A box holding every placed vertex of leaf l. A translation is exact
  // (rounding keeps the order of sums); a turned leaf's corners are padded
  // by far more than the rounding of a placed vertex.
  Box LeafBox(const HeadPlacement& placement, size_t l) const;

  void PlaceTriangle(const HeadPlacement& placement, size_t f, PlacedTriangle& placed) const {
    const StlTriangle& source = head_.Triangles[f];
    placed.Bounds = Box{};
    for (int v = 0; v < 3; ++v) {
      const Vec3 q = Place(placement, {source[3 + 3 * v], source[4 + 3 * v], source[5 + 3 * v]});
      std::copy(q.begin(), q.end(), placed.V.begin() + 3 * v);
      placed.Bounds.Extend(q);
    }
  }

  // Calls visit(placed triangle) for the head's triangles that may meet the
  // box [lo, hi], until it returns true; true then. Leaves whose box misses
  // it are passed unplaced: none of their triangles would meet it.
  template <typename Visit>
  bool AnyTriangleNear(const HeadPlacement& placement, const Vec3& lo, const Vec3& hi,
                       Visit&& visit) const {
    PlacedTriangle t;
    if (!indexed_) {
      for (size_t f = 0; f < head_.Triangles.size(); ++f) {
        PlaceTriangle(placement, f, t);
        if (visit(t)) return true;
      }
      return false;
    }
    const FacetLeaves& leaves = head_.Leaves;
    for (size_t l = 0; l + 1 < leaves.Start.size(); ++l) {
      const Box leaf = LeafBox(placement, l);
      if (!Meet(leaf.Min, leaf.Max, lo, hi)) continue;
      for (uint32_t i = leaves.Start[l]; i < leaves.Start[l + 1]; ++i) {
        PlaceTriangle(placement, leaves.Order[i], t);
        if (visit(t)) return true;
      }
    }
    return false;
  }

  bool TriangleAgainst(const PlacedTriangle& t, const StructureMesh& mesh) const {
    if (!Meet(t.Bounds, mesh)) return false;
    const TriangleVertices tri(t.V);
    return ScanFacets(mesh, t.Bounds.Min, t.Bounds.Max,
                      [&tri](const StlTriangle& facet, const StlFacetRecord& record) {
                        return IntersectTriangleEdgesWithFacet(FacetVertices(facet), record,
                                                               tri) == 1;
                      });
  }

  StructureCheckContext& c_;
  const HeadMesh& head_;
  bool indexed_;
  PartTransformFrame frame_;
  Vec3 p_{};
  double first_ = 0.0, second_ = 0.0;

  bool boxReady_ = false;
  HeadPlacement prepared_;
  Box box_;
};

const Box& HeadCheck::HeadBox(const HeadPlacement& placement) {
  if (boxReady_ && placement == prepared_) return box_;
  prepared_ = placement;
  box_ = Box{};
  if (placement.Kind == HeadPlacementKind::kTranslate) {
    TransformPartGeometry(head_.BoxMin, head_.BoxMax, placement.P, box_.Min, box_.Max);
  } else {
    for (const Vec3& corner : head_.BoxCorners) box_.Extend(Place(placement, corner));
  }
  boxReady_ = true;
  return box_;
}

Box HeadCheck::LeafBox(const HeadPlacement& placement, size_t l) const {
  const Vec3& lo = head_.Leaves.Min[l];
  const Vec3& hi = head_.Leaves.Max[l];
  if (placement.Kind == HeadPlacementKind::kTranslate)
    return {VectorAdd(lo, placement.P), VectorAdd(hi, placement.P)};
  std::array<Vec3, 8> corners;
  MakeBoxCorners(lo, hi, corners);
  Box box;
  for (const Vec3& corner : corners) box.Extend(Place(placement, corner));
  double size = 0.0;
  for (int k = 0; k < 3; ++k)
    size = std::max({size, std::abs(box.Min[k]), std::abs(box.Max[k]), std::abs(placement.P[k])});
  const double pad = 1e-6 + 1e-9 * size;
  for (int k = 0; k < 3; ++k) {
    box.Min[k] -= pad;
    box.Max[k] += pad;
  }
  return box;
}

// Grid indexes on one axis whose lines lie within [lo, hi]; first > last
// when none does (a flat triangle between two lines of its normal's axis
// still meets the lines of the other two).
void GridRange(double lo, double hi, const std::vector<double>& lines, double pitch, int32_t last,
               int32_t& first, int32_t& end) {
  first = 0;
  end = -1;
  if (lines.empty() || !(pitch > 0.0)) return;
  const double limit = static_cast<double>(last);
  const double a = std::ceil((lo - lines[0]) / pitch);
  const double b = std::trunc((hi - lines[0]) / pitch);
  if (!(a <= b)) return;
  first = static_cast<int32_t>(std::clamp(a, 0.0, limit + 1.0));
  end = static_cast<int32_t>(std::clamp(b, -1.0, limit));
}

// The box the head is first measured against: the material corners, and for
// a turned or moved model also their 8 corners through its placement, so
// that the rejection never drops a head the exact test would see, whichever
// frame the corners were kept in.
Box WorkBounds(const DexelModel& model) {
  Box bounds{model.MinCorner(), model.MaxCorner()};
  static constexpr Placement kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  if (model.Placement == kIdentity) return bounds;
  std::array<Vec3, 8> corners;
  MakeBoxCorners(model.MinCorner(), model.MaxCorner(), corners);
  for (const Vec3& corner : corners) bounds.Extend(TransformPointAffine(model.Placement, corner));
  return bounds;
}

bool HeadCheck::AgainstWork(const HeadPlacement& placement) {
  const DexelModel& model = c_.Work.Workpiece();
  if (!model.Allocated() || model.CountX == 0) return false;
  const Box bounds = WorkBounds(model);
  const Vec3& lo = bounds.Min;
  const Vec3& hi = bounds.Max;
  const Box& box = HeadBox(placement);
  if (box.Min[2] > hi[2] || box.Max[2] < lo[2] || box.Max[0] < lo[0] || box.Min[0] > hi[0] ||
      box.Max[1] < lo[1] || box.Min[1] > hi[1])
    return false;

  const std::vector<double>* lines[3] = {&model.GridX, &model.GridY, &model.GridZ};
  const int32_t lasts[3] = {model.LastX, model.LastY, model.LastZ};
  return AnyTriangleNear(placement, lo, hi, [&](const PlacedTriangle& t) {
    const Box& b = t.Bounds;
    if (b.Min[2] > hi[2] || b.Max[0] < lo[0] || b.Max[1] < lo[1] || b.Max[2] < lo[2] ||
        b.Min[0] > hi[0] || b.Min[1] > hi[1])
      return false;
    std::array<Vec3, 3> m;
    for (int v = 0; v < 3; ++v) {
      m[v] = {t.V[3 * v], t.V[3 * v + 1], t.V[3 * v + 2]};
      TransformPointToModel(model, m[v]);
    }
    Vec3 mMin, mMax;
    ComputeBoundingBox(m[0], m[1], m[2], mMin, mMax);
    std::array<int32_t, 3> first{}, last{};
    for (int k = 0; k < 3; ++k)
      GridRange(mMin[k], mMax[k], *lines[k], model.Pitch, lasts[k], first[k], last[k]);
    const std::array<double, 9> v{m[0][0], m[0][1], m[0][2], m[1][0], m[1][1],
                                  m[1][2], m[2][0], m[2][1], m[2][2]};
    TrianglePlane plane{};
    const DexelWindow zSet{2,        0,       1,       first[0], last[0], first[1], last[1],
                           model.CountX, model.GridX, model.GridY};
    const DexelWindow xSet{0,        1,       2,       first[1], last[1], first[2], last[2],
                           model.CountY, model.GridY, model.GridZ};
    const DexelWindow ySet{1,        2,       0,       first[2], last[2], first[0], last[0],
                           model.CountZ, model.GridZ, model.GridX};
    return TestTriangleAgainstDexels(v, plane, zSet, model.ZSet()) == 1 ||
           TestTriangleAgainstDexels(v, plane, xSet, model.XSet()) == 1 ||
           TestTriangleAgainstDexels(v, plane, ySet, model.YSet()) == 1;
  });
}

bool HeadCheck::AgainstMesh(const HeadPlacement& placement, const StructureMesh& mesh) {
  if (mesh.FacetCount() == 0 || !Meet(HeadBox(placement), mesh)) return false;
  return AnyTriangleNear(placement, mesh.BoxMin, mesh.BoxMax,
                         [&](const PlacedTriangle& t) { return TriangleAgainst(t, mesh); });
}

bool HeadCheck::AgainstBasic(const HeadPlacement& placement) {
  const MachinePartMeshes& meshes = c_.Meshes;
  const int32_t files = BasicFileCount(meshes);
  const Box& box = HeadBox(placement);
  if (files > 1) {
    for (int32_t i = 0; i < files; ++i) {
      const StructureMesh& mesh = meshes.Basic[i];
      if (mesh.FacetCount() == 0) continue;
      const FreeBox& free = meshes.BasicFreeBoxes[i];
      if (StrictlyInside(box, free)) return false;
      if (!Meet(box, mesh)) continue;
      if (AnyTriangleNear(placement, mesh.BoxMin, mesh.BoxMax, [&](const PlacedTriangle& t) {
            return !StrictlyInside(t.Bounds, free) && TriangleAgainst(t, mesh);
          }))
        return true;
    }
    return false;
  }
  if (StrictlyInside(box, meshes.BasicFreeBoxes[0])) return false;
  for (const StructureMesh& group : meshes.Basic) {
    if (group.FacetCount() == 0 || !Meet(box, group)) continue;
    if (AnyTriangleNear(placement, group.BoxMin, group.BoxMax,
                        [&](const PlacedTriangle& t) { return TriangleAgainst(t, group); }))
      return true;
  }
  return false;
}

// Runs each vice with facets against the placement until one is hit.
bool AgainstVices(HeadCheck& check, const HeadPlacement& placement,
                  const MachinePartMeshes& meshes) {
  for (const StructureMesh& vice : meshes.Vices)
    if (vice.FacetCount() != 0 && check.AgainstMesh(placement, vice)) return true;
  return false;
}

using K = HeadPlacementKind;

// The WORK and VICE pairs of one head, which share a placement.
void CheckWorkAndVices(StructureCheckContext& c, HeadCheck& check, const HeadPlacement& placement,
                       size_t workPair, size_t vicePair) {
  if (PairOn(c, workPair) && c.Work.MayCut() && check.AgainstWork(placement)) Raise(c, workPair);
  if (PairOn(c, vicePair) && AnyVice(c.Meshes) && AgainstVices(check, placement, c.Meshes))
    Raise(c, vicePair);
}

// ------------------------------------------------------------ tool, arbor

enum class RingTurn { kNone, kFirst, kBoth };

class RingCheck {
 public:
  RingCheck(StructureCheckContext& context, const ToolRings& rings, int32_t endLevel)
      : c_(context),
        rings_(rings),
        end_(endLevel),
        sinCos_(context.Position.RotarySinCos) {}

  // Places the object box in one frame: turned as turn says, then moved by
  // tip. The rings follow only when a target's box meets the object box: at
  // most steps the tool is clear of every part's box and placing its
  // hundreds of points would be the whole cost of the check.
  void PlaceIn(RingTurn turn, const Vec3& tip) {
    box_ = Box{};
    if (turn == RingTurn::kNone) {
      box_.Min = VectorAdd(rings_.BoxMin, tip);
      box_.Max = VectorAdd(rings_.BoxMax, tip);
    } else {
      for (const Vec3& corner : rings_.Corners) box_.Extend(VectorAdd(Turn(turn, corner), tip));
    }
    turn_ = turn;
    tip_ = tip;
    ringsPlaced_ = false;
  }

  const Box& ObjectBox() const { return box_; }

  // Segments against one target whose box met the object box; segments with
  // both ends strictly inside free (when given) are dropped.
  bool Against(const StructureMesh& mesh, const FreeBox* free = nullptr) {
    if (mesh.FacetCount() == 0 || !Meet(box_, mesh)) return false;
    PlaceRings();
    const Vec3& lo = mesh.BoxMin;
    const Vec3& hi = mesh.BoxMax;
    for (int32_t l = rings_.FirstLevel; l + 1 < end_; ++l) {
      for (int j = 0; j < kProfileAngleSteps; ++j) {
        const Vec3& a = placed_[static_cast<size_t>(l) * kProfileAngleSteps + j];
        const Vec3& b = placed_[static_cast<size_t>(l + 1) * kProfileAngleSteps + j];
        Box segment;
        segment.Extend(a);
        segment.Extend(b);
        if (segment.Min[2] > hi[2] || segment.Max[0] < lo[0] || segment.Max[1] < lo[1] ||
            segment.Max[2] < lo[2] || segment.Min[0] > hi[0] || segment.Min[1] > hi[1])
          continue;
        if (free != nullptr && StrictlyInside(segment, *free)) continue;
        Vec3 point;
        if (ScanFacets(mesh, segment.Min, segment.Max,
                       [&](const StlTriangle& facet, const StlFacetRecord& record) {
                         return IntersectSegmentPlane(record.Plane, FacetVertices(facet), a, b,
                                                      point) == 1;
                       }))
          return true;
      }
    }
    return false;
  }

 private:
  Vec3 Turn(RingTurn turn, const Vec3& v) {
    // The axes' frames only when something turns: most positions of a
    // 3-axis run turn nothing.
    if (!axesDescribed_) {
      first_ = DescribeRotaryAxis(c_.Kinematics, 0);
      second_ = DescribeRotaryAxis(c_.Kinematics, 1);
      axesDescribed_ = true;
    }
    const Vec3 once = RotateThroughRotaryAxis(first_, sinCos_[0], sinCos_[1], v);
    if (turn == RingTurn::kFirst) return once;
    if (c_.Kinematics.RotaryType == kRotaryHead)
      return RotateThroughRotaryAxis(first_, sinCos_[0], sinCos_[1],
                                     RotateThroughRotaryAxis(second_, sinCos_[2], sinCos_[3], v));
    return RotateThroughRotaryAxis(second_, sinCos_[2], sinCos_[3], once);
  }

  // The rings in the frame of the last PlaceIn, once per placement.
  void PlaceRings() {
    if (ringsPlaced_) return;
    ringsPlaced_ = true;
    placed_.resize(static_cast<size_t>(end_) * kProfileAngleSteps);
    const size_t from = static_cast<size_t>(rings_.FirstLevel) * kProfileAngleSteps;
    for (size_t n = from; n < placed_.size(); ++n)
      placed_[n] = VectorAdd(
          turn_ == RingTurn::kNone ? rings_.Points[n] : Turn(turn_, rings_.Points[n]), tip_);
  }

  StructureCheckContext& c_;
  const ToolRings& rings_;
  int32_t end_;
  RotaryAxisFrame first_{}, second_{};
  bool axesDescribed_ = false;
  RotarySinCos sinCos_;
  std::vector<Vec3> placed_;
  Box box_;
  RingTurn turn_ = RingTurn::kNone;
  Vec3 tip_{};
  bool ringsPlaced_ = false;
};

// The tool tip with the rotary angles that turn the table taken out (and,
// for the base, the axes that move the table), and how the rings turn then.
struct TableFrame {
  Vec3 Tip{};
  RingTurn Turn = RingTurn::kNone;
};

TableFrame FrameOfTable(const StructureCheckContext& c, bool forBase) {
  AxisPosition position = c.Position.MachinePosition;
  if (forBase) position = WithoutTableTravel(c.Machine, position);
  const int32_t type = c.Kinematics.RotaryType;
  TableFrame frame;
  if (type == kRotaryTable) {
    position[3] = position[4] = 0.0;
  } else if (type == kRotaryMix) {
    position[4] = 0.0;
    if (position[3] != 0.0) frame.Turn = RingTurn::kFirst;
  } else if (position[3] != 0.0 || position[4] != 0.0) {
    frame.Turn = RingTurn::kBoth;
  }
  Vec3 axis;
  ComputeToolTipAndAxis(c.Kinematics, c.Controller, c.Position.ReferenceLength, position,
                        frame.Tip, axis);
  return frame;
}

int32_t ProfileLevels(const ToolProfile& profile) {
  return std::clamp(profile.PointCount, 0, kProfileCapacity);
}
int32_t CutterLevels(const ToolProfile& profile) {
  return std::min(profile.ShankEndCount + 1, ProfileLevels(profile));
}
std::span<const Vec3> RingPoints(const ToolProfile& profile) {
  return std::span<const Vec3>(profile.SurfacePoints)
      .first(static_cast<size_t>(ProfileLevels(profile)) * kProfileAngleSteps);
}

}  // namespace

ToolRings CutterRingsOf(const ToolProfile& profile) {
  return {RingPoints(profile), 0, CutterLevels(profile), profile.ToolBoxMin, profile.ToolBoxMax,
          profile.ToolCorners};
}

ToolRings ArborRingsOf(const ToolProfile& profile) {
  return {RingPoints(profile),  CutterLevels(profile) - 1, ProfileLevels(profile),
          profile.ArborBoxMin,  profile.ArborBoxMax,       profile.ArborCorners};
}

int32_t CheckToolArborInterference(StructureCheckContext& c, const ToolRings& rings,
                                   const Vec3& tip) {
  // Rings beyond the points given do not exist.
  const int32_t available = static_cast<int32_t>(rings.Points.size() / kProfileAngleSteps);
  const int32_t end = std::min(rings.EndLevel, available);
  if (rings.FirstLevel < 0 || rings.FirstLevel >= end - 1) return 0;
  const size_t base = rings.FirstLevel == 0 ? kPairToolVice : kPairArborVice;
  const auto on = [&c, base](size_t offset) { return PairOn(c, base + offset); };
  const MachinePartMeshes& meshes = c.Meshes;
  const AxisPosition& m = c.Position.MachinePosition;
  const int32_t type = c.Kinematics.RotaryType;
  const RingTurn both = m[3] == 0.0 && m[4] == 0.0 ? RingTurn::kNone : RingTurn::kBoth;
  RingCheck check(c, rings, end);

  bool placed = false;
  const auto placeAtTip = [&]() {
    if (!placed) check.PlaceIn(both, tip);
    placed = true;
  };
  if (on(0) && AnyVice(meshes)) {
    placeAtTip();
    for (const StructureMesh& vice : meshes.Vices)
      if (check.Against(vice)) {
        Raise(c, base + 0);
        break;
      }
  }
  if (on(1) && meshes.Table2.FacetCount() != 0) {
    placeAtTip();
    if (check.Against(meshes.Table2)) Raise(c, base + 1);
  }
  if (on(2) && meshes.Table1GroupCount > 0) {
    if (type == kRotaryTable) {
      AxisPosition position = m;
      position[4] = 0.0;
      Vec3 ownTip, axis;
      ComputeToolTipAndAxis(c.Kinematics, c.Controller, c.Position.ReferenceLength, position,
                            ownTip, axis);
      check.PlaceIn(m[3] == 0.0 ? RingTurn::kNone : RingTurn::kFirst, ownTip);
    } else {
      check.PlaceIn(both, tip);
    }
    placed = false;
    const int32_t groups = std::min<int32_t>(meshes.Table1GroupCount, kTable1Groups);
    for (int32_t g = 0; g < groups; ++g)
      if (check.Against(meshes.Table1[g])) {
        Raise(c, base + 2);
        break;
      }
  }
  if (on(3) && meshes.Table.FacetCount() != 0) {
    const TableFrame frame = FrameOfTable(c, false);
    check.PlaceIn(frame.Turn, frame.Tip);
    if (check.Against(meshes.Table)) Raise(c, base + 3);
  }
  const int32_t files = BasicFileCount(meshes);
  if (on(4) && files > 0) {
    const TableFrame frame = FrameOfTable(c, true);
    check.PlaceIn(frame.Turn, frame.Tip);
    const Box& box = check.ObjectBox();
    bool hit = false;
    if (files > 1) {
      for (int32_t i = 0; i < files && !hit; ++i) {
        if (meshes.Basic[i].FacetCount() == 0) continue;
        const FreeBox& free = meshes.BasicFreeBoxes[i];
        if (StrictlyInside(box, free)) break;
        hit = check.Against(meshes.Basic[i], &free);
      }
    } else if (!StrictlyInside(box, meshes.BasicFreeBoxes[0])) {
      for (const StructureMesh& group : meshes.Basic)
        if (check.Against(group)) {
          hit = true;
          break;
        }
    }
    if (hit) Raise(c, base + 4);
  }
  return 0;
}

int32_t CheckHeadInterference(StructureCheckContext& c) {
  const MachinePartMeshes& meshes = c.Meshes;
  if (meshes.Head.FacetCount() == 0) return 0;
  HeadCheck check(c, meshes.Head);
  const int32_t type = check.RotaryType();
  const bool both0 = check.BothAnglesZero();

  K work = K::kTranslate;
  if (type == kRotaryTable && !both0)
    work = K::kPart3;
  else if (type == kRotaryMix && !both0 && check.SecondAngle() != 0.0)
    work = K::kPart5;
  CheckWorkAndVices(c, check, check.At(work), kPairHeadWork, kPairHeadVice);
  if (PairOn(c, kPairHeadTable2) && meshes.Table2.FacetCount() != 0 &&
      check.AgainstMesh(check.At(both0 ? K::kTranslate : K::kPart3), meshes.Table2))
    Raise(c, kPairHeadTable2);
  if (PairOn(c, kPairHeadTable1) && meshes.Table1GroupCount > 0) {
    const bool plain = (type == kRotaryTable && check.FirstAngle() == 0.0) ||
                       (type == kRotaryMix && check.SecondAngle() == 0.0);
    const HeadPlacement placement = check.At(plain ? K::kTranslate : K::kPart5);
    const int32_t groups = std::min<int32_t>(meshes.Table1GroupCount, kTable1Groups);
    for (int32_t g = 0; g < groups; ++g)
      if (check.AgainstMesh(placement, meshes.Table1[g])) {
        Raise(c, kPairHeadTable1);
        break;
      }
  }
  if (PairOn(c, kPairHeadTable) && meshes.Table.FacetCount() != 0 &&
      check.AgainstMesh(check.At(K::kTranslate), meshes.Table))
    Raise(c, kPairHeadTable);
  if (PairOn(c, kPairHeadBasic) && BasicFileCount(meshes) > 0 &&
      check.AgainstBasic(check.AtBase(K::kTranslate)))
    Raise(c, kPairHeadBasic);
  return 0;
}

int32_t CheckHead1Interference(StructureCheckContext& c) {
  const MachinePartMeshes& meshes = c.Meshes;
  if (meshes.Head1.FacetCount() == 0) return 0;
  HeadCheck check(c, meshes.Head1);
  const bool both0 = check.BothAnglesZero();
  const bool first0 = check.FirstAngle() == 0.0;
  const K turned = check.RotaryType() == kRotaryHead ? K::kPart4 : K::kPart;
  const HeadPlacement work = check.At(both0 ? K::kTranslate : turned);

  CheckWorkAndVices(c, check, work, kPairHead1Work, kPairHead1Vice);
  if (PairOn(c, kPairHead1Table1) && meshes.Table1GroupCount > 0 &&
      meshes.Table1[0].FacetCount() != 0 &&
      check.AgainstMesh(check.At(both0 ? K::kTranslate : K::kPart), meshes.Table1[0]))
    Raise(c, kPairHead1Table1);
  if (PairOn(c, kPairHead1Table) && meshes.Table.FacetCount() != 0 &&
      check.AgainstMesh(check.At(first0 ? K::kTranslate : K::kPart4), meshes.Table))
    Raise(c, kPairHead1Table);
  if (PairOn(c, kPairHead1Basic) && BasicFileCount(meshes) > 0 &&
      check.AgainstBasic(check.AtBase(first0 ? K::kTranslate : K::kPart4)))
    Raise(c, kPairHead1Basic);
  return 0;
}

int32_t CheckHead2Interference(StructureCheckContext& c) {
  const MachinePartMeshes& meshes = c.Meshes;
  if (meshes.Head2.FacetCount() == 0) return 0;
  HeadCheck check(c, meshes.Head2);
  const K kind = check.BothAnglesZero() ? K::kTranslate : K::kPart2;
  const HeadPlacement placed = check.At(kind);

  CheckWorkAndVices(c, check, placed, kPairHead2Work, kPairHead2Vice);
  if (PairOn(c, kPairHead2Table) && meshes.Table.FacetCount() != 0 &&
      check.AgainstMesh(placed, meshes.Table))
    Raise(c, kPairHead2Table);
  if (PairOn(c, kPairHead2Basic) && BasicFileCount(meshes) > 0 &&
      check.AgainstBasic(check.AtBase(kind)))
    Raise(c, kPairHead2Basic);
  return 0;
}

}  // namespace vestan
