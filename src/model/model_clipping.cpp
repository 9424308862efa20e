#include "model/model_clipping.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "model/column_operations.h"

namespace vestan {

namespace {

// Far beyond any model: what lies below low or above high goes.
constexpr double kFarBelow = -99999999.0;
constexpr double kFarAbove = 99999999.0;
// A box bound this close to the first or last grid line widens past it.
constexpr double kGridLineTolerance = 1e-7;

// One column copied out of its set, with room to split an interval.
class ColumnBuffer {
 public:
  ColumnBuffer() : values_(kRoom), flags_(kRoom), attributes_(kRoom) {}

  // False for an empty column.
  bool Read(const DexelSet& set, int32_t column) {
    count_ = std::max(GetDexelColumn(set, column, values_, flags_, attributes_), 0);
    return count_ > 0;
  }
  int32_t Count() const { return count_; }
  double Value(int32_t i) const { return values_[static_cast<size_t>(i)]; }
  double First() const { return values_.front(); }
  double Last() const { return values_[static_cast<size_t>(count_ - 1)]; }
  void Clear() { count_ = 0; }
  // False when the column cannot take the result; it is then unchanged.
  bool Subtract(double a, double b) {
    return SubtractIntervalKeepAttrs(values_, flags_, attributes_, count_, a, b);
  }
  // Trims to [low, high].
  bool Trim(double low, double high) {
    if (count_ > 0 && low > First() && !Subtract(kFarBelow, low)) return false;
    if (count_ > 0 && Last() > high && !Subtract(high, kFarAbove)) return false;
    return true;
  }
  void Write(DexelSet& set, int32_t column) const {
    const size_t n = static_cast<size_t>(count_);
    SetDexelColumn(set, column, std::span(values_).first(n), std::span(flags_).first(n),
                   std::span(attributes_).first(n));
  }

 private:
  static constexpr size_t kRoom = kMaxColumnValues + 2;
  std::vector<double> values_;
  std::vector<uint8_t> flags_;
  std::vector<int32_t> attributes_;
  int32_t count_ = 0;
};

void EmptyColumn(DexelSet& set, int32_t column) { SetDexelColumn(set, column, {}, {}, {}); }

bool Inside(double value, double low, double high) { return value >= low && value <= high; }
bool StrictlyInside(double value, double low, double high) { return value > low && value < high; }

const std::vector<double>& GridOf(const DexelModel& model, int axis) {
  return axis == 0 ? model.GridX : axis == 1 ? model.GridY : model.GridZ;
}
int32_t CountOf(const DexelModel& model, int axis) {
  return axis == 0 ? model.CountX : axis == 1 ? model.CountY : model.CountZ;
}

// The sets with their axes: the Z set over (X, Y), the X set over (Y, Z),
// the Y set over (Z, X).
struct SetAxes {
  int Column, Inner, Outer;
};
constexpr std::array<SetAxes, 3> kSetAxes{{{2, 0, 1}, {0, 1, 2}, {1, 2, 0}}};

DexelSet& SetAlong(DexelModel& model, int axis) {
  return axis == 2 ? model.ZSet() : axis == 0 ? model.XSet() : model.YSet();
}

void KeepBox(DexelModel& model, const Vec3& lo, const Vec3& hi) {
  for (const SetAxes& a : kSetAxes) {
    const auto i = static_cast<size_t>(a.Inner), o = static_cast<size_t>(a.Outer);
    EmptyColumnsOutsideBox(SetAlong(model, a.Column), CountOf(model, a.Inner),
                           GridOf(model, a.Inner), CountOf(model, a.Outer), GridOf(model, a.Outer),
                           lo[i], hi[i], lo[o], hi[o]);
  }
  for (const SetAxes& a : kSetAxes) {
    const auto c = static_cast<size_t>(a.Column);
    TrimColumnsToRange(SetAlong(model, a.Column), CountOf(model, a.Inner), CountOf(model, a.Outer),
                       lo[c], hi[c]);
  }
}

void RemoveBox(DexelModel& model, Vec3 lo, Vec3 hi) {
  std::array<bool, 3> partial{};
  for (int axis = 0; axis < 3; ++axis) {
    const std::vector<double>& grid = GridOf(model, axis);
    const auto k = static_cast<size_t>(axis);
    // A bound on the first or last grid line moves past it, so that the
    // columns on that line lie strictly inside.
    if (lo[k] - grid.front() < kGridLineTolerance) lo[k] = grid.front() - 1.0;
    if (grid.back() - hi[k] < kGridLineTolerance) hi[k] = grid.back() + 1.0;
    partial[k] = lo[k] > grid.front() || grid.back() > hi[k];
  }
  for (const SetAxes& a : kSetAxes) {
    const auto c = static_cast<size_t>(a.Column), i = static_cast<size_t>(a.Inner),
               o = static_cast<size_t>(a.Outer);
    const BoxRemoval removal{partial[c], partial[i], partial[o], lo[c], hi[c],
                             lo[i],      hi[i],      lo[o],      hi[o]};
    RemoveBoxFromSet(SetAlong(model, a.Column), CountOf(model, a.Inner), GridOf(model, a.Inner),
                     CountOf(model, a.Outer), GridOf(model, a.Outer), removal);
  }
}

}  // namespace

int32_t ClassifyModelPlacement(const DexelModel& model) {
  return ClassifyPlacementMatrix(PlacementMatrix(model.Placement)) != 1 ? 1 : 0;
}

int32_t GetRotaryOffsetFlags(const MachineKinematics& kinematics, const WorkOffsetFrame& frame) {
  const int32_t type = kinematics.RotaryType;
  if (type == kRotaryTable && frame.Rotary1 != 0.0) return 1;
  if ((type == kRotaryTable || type == kRotaryMix) && frame.Rotary2 != 0.0) return 1;
  return 0;
}

std::array<ClipPlane, 6> BuildClipPlanes(const Vec3& minimum, const Vec3& maximum,
                                         const WorkOffsetFrame& frame, const DexelModel& model) {
  const Vec3& l = minimum;
  const Vec3& h = maximum;
  const std::array<Vec3, 6> points{
      {l, {h[0], l[1], l[2]}, l, {l[0], h[1], l[2]}, l, {l[0], l[1], h[2]}}};
  const std::array<Vec3, 6> normals{
      {{1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}}};
  const Vec3 t{model.Placement[9], model.Placement[10], model.Placement[11]};
  std::array<ClipPlane, 6> planes{};
  for (size_t k = 0; k < planes.size(); ++k) {
    Vec3 p = VectorAdd(MultiplyMatrixVector(frame.Matrix, points[k]), frame.Origin);
    p = MultiplyMatrixVector(model.InverseMatrix, VectorSub(p, t));
    const Vec3 n =
        MultiplyMatrixVector(model.InverseMatrix, MultiplyMatrixVector(frame.Matrix, normals[k]));
    planes[k] = {n[0], n[1], n[2], -VectorDot(n, p)};
  }
  return planes;
}

void ClipWorkModel(DexelModel& model, const Vec3& minimum, const Vec3& maximum,
                   const ClipSettings& settings, int32_t inputInWork,
                   const WorkOffsetFrame& frame) {
  if (!model.Allocated() || model.CountX < 2) return;
  const std::array<ClipPlane, 6> planes = BuildClipPlanes(minimum, maximum, frame, model);
  const bool inWork = inputInWork == 1;
  const bool frameRotated = settings.FrameRotated == 1;
  const bool remove = settings.RemoveInside == 1;
  Vec3 lo, hi;
  bool box = false;
  if (settings.ModelRotated == 0 && !(inWork && frameRotated)) {
    const Vec3 t{model.Placement[9], model.Placement[10], model.Placement[11]};
    lo = VectorSub(inWork ? VectorAdd(minimum, frame.Origin) : minimum, t);
    hi = VectorSub(inWork ? VectorAdd(maximum, frame.Origin) : maximum, t);
    box = true;
  } else if (settings.ModelRotated == 1 && inWork && frameRotated) {
    // The rotations cancel when the normals come out on the axes.
    bool aligned = true;
    for (size_t k = 0; k < planes.size(); ++k)
      for (size_t c = 0; c < 3; ++c) aligned = aligned && planes[k][c] == (c == k / 2 ? 1.0 : 0.0);
    if (aligned) {
      lo = {-planes[0][3], -planes[2][3], -planes[4][3]};
      hi = {-planes[1][3], -planes[3][3], -planes[5][3]};
      box = true;
    }
  }
  if (box) {
    if (remove)
      RemoveBox(model, lo, hi);
    else
      KeepBox(model, lo, hi);
    return;
  }
  for (const SetAxes& a : kSetAxes)
    ClipSetBySlabs(a.Inner, a.Outer, a.Column, CountOf(model, a.Inner), GridOf(model, a.Inner),
                   CountOf(model, a.Outer), GridOf(model, a.Outer), SetAlong(model, a.Column),
                   settings.SlabFlags, planes, remove);
}

void EmptyColumnsOutsideBox(DexelSet& set, int32_t innerCount, const std::vector<double>& innerGrid,
                            int32_t outerCount, const std::vector<double>& outerGrid,
                            double innerLow, double innerHigh, double outerLow, double outerHigh) {
  for (int32_t j = 0; j < outerCount; ++j) {
    const bool rowInside = Inside(outerGrid[static_cast<size_t>(j)], outerLow, outerHigh);
    for (int32_t i = 0; i < innerCount; ++i) {
      if (rowInside && Inside(innerGrid[static_cast<size_t>(i)], innerLow, innerHigh)) continue;
      EmptyColumn(set, j * innerCount + i);
    }
  }
}

void TrimColumnsToRange(DexelSet& set, int32_t innerCount, int32_t outerCount, double low,
                        double high) {
  ColumnBuffer column;
  for (int32_t c = 0; c < innerCount * outerCount; ++c) {
    if (!column.Read(set, c)) continue;
    if (column.Trim(low, high))
      column.Write(set, c);
    else
      ++set.RefusedWrites;
  }
}

void RemoveBoxFromSet(DexelSet& set, int32_t innerCount, const std::vector<double>& innerGrid,
                      int32_t outerCount, const std::vector<double>& outerGrid,
                      const BoxRemoval& r) {
  ColumnBuffer column;
  for (int32_t j = 0; j < outerCount; ++j) {
    if (r.PartialOuter &&
        !StrictlyInside(outerGrid[static_cast<size_t>(j)], r.OuterLow, r.OuterHigh))
      continue;
    for (int32_t i = 0; i < innerCount; ++i) {
      if (r.PartialInner &&
          !StrictlyInside(innerGrid[static_cast<size_t>(i)], r.InnerLow, r.InnerHigh))
        continue;
      const int32_t c = j * innerCount + i;
      if (!column.Read(set, c)) continue;
      if (!r.PartialAlong)
        column.Clear();
      else if (!column.Subtract(r.Low, r.High)) {
        ++set.RefusedWrites;
        continue;
      }
      column.Write(set, c);
    }
  }
}

void ClipSetBySlabs(int innerAxis, int outerAxis, int columnAxis, int32_t innerCount,
                    const std::vector<double>& innerGrid, int32_t outerCount,
                    const std::vector<double>& outerGrid, DexelSet& set,
                    const std::array<int32_t, 6>& slabFlags, const std::array<ClipPlane, 6>& planes,
                    bool removeInside) {
  const auto in = static_cast<size_t>(innerAxis), out = static_cast<size_t>(outerAxis),
             along = static_cast<size_t>(columnAxis);
  ColumnBuffer clipped;
  ColumnBuffer original;
  for (int32_t j = 0; j < outerCount; ++j) {
    for (int32_t i = 0; i < innerCount; ++i) {
      const int32_t c = j * innerCount + i;
      if (!clipped.Read(set, c)) continue;
      if (removeInside) original.Read(set, c);
      const double pIn = innerGrid[static_cast<size_t>(i)];
      const double pOut = outerGrid[static_cast<size_t>(j)];
      bool refused = false;
      for (size_t k = 0; k < 3 && clipped.Count() > 0 && !refused; ++k) {
        if (slabFlags[2 * k] == 0 && slabFlags[2 * k + 1] == 0) continue;
        const ClipPlane& first = planes[2 * k];
        const double e2 = planes[2 * k + 1][3];
        const double across = first[in] * pIn + first[out] * pOut;
        const double w = first[along];
        if (w == 0.0) {
          // The column runs parallel to the slab: wholly in or out. On a
          // plane counts as in.
          if (across + first[3] < 0.0 || across + e2 > 0.0) clipped.Clear();
          continue;
        }
        const double t1 = -(across + first[3]) / w;
        const double t2 = -(across + e2) / w;
        const double lo = std::min(t1, t2), hi = std::max(t1, t2);
        if (clipped.First() >= hi || lo >= clipped.Last())
          clipped.Clear();
        else
          refused = !clipped.Trim(lo, hi);
      }
      if (refused) {
        ++set.RefusedWrites;
        continue;
      }
      if (!removeInside) {
        clipped.Write(set, c);
        continue;
      }
      // Remove mode: what lies inside every slab goes from the column.
      if (clipped.Count() == 0) continue;
      for (int32_t v = 0; v + 1 < clipped.Count() && original.Count() > 0 && !refused; v += 2)
        refused = !original.Subtract(clipped.Value(v), clipped.Value(v + 1));
      if (refused) {
        ++set.RefusedWrites;
        continue;
      }
      original.Write(set, c);
    }
  }
}

}  // namespace vestan
