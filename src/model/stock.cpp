#include "model/stock.h"

#include <cmath>
#include <limits>
#include <span>
#include <vector>

namespace vestan {

namespace {

constexpr Placement kIdentityPlacement{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

// Grid points that cover extent at pitch: ceil(extent / pitch) + 1, or -1
// when that is not a count (the grid check then refuses it).
int64_t PointsFor(double extent, double pitch) {
  const double cells = std::ceil(extent / pitch);
  if (!(cells >= 0) || cells >= static_cast<double>(std::numeric_limits<int32_t>::max())) return -1;
  return static_cast<int64_t>(cells) + 1;
}

bool UsablePitch(double pitch) { return std::isfinite(pitch) && pitch > 0; }

// Leaves the model absent and returns code.
int Refuse(DexelModel& model, int code) {
  FreeDexelModel(model);
  model.CountX = 0;
  return code;
}

// Sets the grid counts and pitch, derives the grid and allocates the slots.
int LayOut(DexelModel& model, const std::array<int64_t, 3>& points, double pitch,
           const Vec3& origin) {
  if (!IsUsableGrid(points[0], points[1], points[2], pitch)) return Refuse(model, kModelBadGrid);
  model.CountX = static_cast<int32_t>(points[0]);
  model.CountY = static_cast<int32_t>(points[1]);
  model.CountZ = static_cast<int32_t>(points[2]);
  model.Pitch = pitch;
  if (const int grid = InitDexelGrids(model); grid != kModelOk) return Refuse(model, grid);
  model.OriginX = origin[0];
  model.OriginY = origin[1];
  model.OriginZ = origin[2];
  const int code = AllocDexelModel(model);
  if (code != kModelOk) return Refuse(model, code);
  return kModelOk;
}

const std::vector<double>& GridAlong(const DexelModel& model, int axis) {
  return axis == 0 ? model.GridX : axis == 1 ? model.GridY : model.GridZ;
}

int32_t PointsAlong(const DexelModel& model, int axis) {
  return axis == 0 ? model.CountX : axis == 1 ? model.CountY : model.CountZ;
}

// Visits every column of the set of lines along axis d with the coordinates
// of its two cross axes u = (d + 1) % 3 and v = (d + 2) % 3; the column index
// is n[u] * iv + iu, which is the storage index of all three sets.
template <typename Fill>
void ForEachColumn(DexelModel& model, int d, Fill fill) {
  const int u = (d + 1) % 3, v = (d + 2) % 3;
  const std::vector<double>& gridU = GridAlong(model, u);
  const std::vector<double>& gridV = GridAlong(model, v);
  const int32_t nu = PointsAlong(model, u), nv = PointsAlong(model, v);
  DexelSet& set = model.SetByDirection(d);
  for (int32_t iv = 0; iv < nv; ++iv)
    for (int32_t iu = 0; iu < nu; ++iu) fill(set, nu * iv + iu, iu, iv, gridU[iu], gridV[iv]);
}

// Stock values carry flag 0 and attribute 0.
void PutIntervals(DexelSet& set, int32_t column, std::span<const double> values) {
  static constexpr std::array<uint8_t, 4> kFlags{};
  static constexpr std::array<int32_t, 4> kAttributes{};
  SetDexelColumn(set, column, values, kFlags, kAttributes);
}

}  // namespace

void FinishModelPlacement(DexelModel& model) {
  model.InverseMatrix = InvertMatrix3(PlacementMatrix(model.Placement));
  for (int k = 0; k < 3; ++k) model.NegTranslation[k] = -model.Placement[9 + k];
  model.Placed = model.Placement == kIdentityPlacement ? 0 : 1;
}

void MarkWholeGridChanged(DexelModel& model) {
  model.RangeLastX = model.LastX;
  model.RangeLastY = model.LastY;
  model.RangeLastZ = model.LastZ;
  model.RangeReserved = 0;
  model.RangeReservedValue = 0.0;
}

int CreateBoxModelPlaced(DexelModel& model, const std::array<double, 6>& box,
                         const Placement& placement, double pitch) {
  const Vec3 low{box[0], box[1], box[2]};
  const Vec3 high{box[3], box[4], box[5]};
  if (!UsablePitch(pitch)) return Refuse(model, kModelBadGrid);
  std::array<int64_t, 3> points{};
  for (int k = 0; k < 3; ++k) {
    const double extent = high[k] - low[k];
    if (!std::isfinite(low[k]) || !std::isfinite(high[k]) || !(extent > 0))
      return Refuse(model, kModelBadGrid);
    points[k] = PointsFor(extent, pitch);
  }
  model.Placement = placement;
  const int code = LayOut(model, points, pitch, low);
  if (code != kModelOk) return code;
  model.MinCorner() = low;
  model.MaxCorner() = high;

  // Only the last grid line of an axis can lie beyond the box; its columns
  // stay empty so that no material stands outside it.
  const std::array<bool, 3> beyond{model.GridX[model.LastX] > high[0],
                                   model.GridY[model.LastY] > high[1],
                                   model.GridZ[model.LastZ] > high[2]};
  for (int d = 0; d < 3; ++d) {
    const int u = (d + 1) % 3, v = (d + 2) % 3;
    const int32_t lastU = PointsAlong(model, u) - 1, lastV = PointsAlong(model, v) - 1;
    const std::array<double, 2> interval{low[d], high[d]};
    ForEachColumn(model, d,
                  [&](DexelSet& set, int32_t column, int32_t iu, int32_t iv, double, double) {
                    if ((iu == lastU && beyond[u]) || (iv == lastV && beyond[v])) return;
                    PutIntervals(set, column, interval);
                  });
  }
  MarkWholeGridChanged(model);
  model.SideFlags() = {};
  FinishModelPlacement(model);
  return kModelOk;
}

int CreateBoxModel(DexelModel& model, const std::array<double, 6>& box, double pitch) {
  return CreateBoxModelPlaced(model, box, kIdentityPlacement, pitch);
}

int CreateCylinderModel(DexelModel& model, const Vec3& base, int axis, double length,
                        double outerRadius, double innerRadius, double pitch) {
  const bool finiteBase =
      std::isfinite(base[0]) && std::isfinite(base[1]) && std::isfinite(base[2]);
  if (!UsablePitch(pitch) || axis < 0 || axis > 2 || !finiteBase || !std::isfinite(length) ||
      !(length > 0) || !std::isfinite(outerRadius) || !(outerRadius > 0) || !(innerRadius >= 0) ||
      innerRadius > outerRadius)
    return Refuse(model, kModelBadGrid);

  const int a = axis, c1 = (a + 1) % 3, c2 = (a + 2) % 3;
  const double radius = outerRadius, inner = innerRadius;
  // The axis runs along grid line n of both cross axes.
  const double halfCells = std::ceil(radius / pitch);
  if (!(halfCells < std::numeric_limits<int32_t>::max() / 2.0)) return Refuse(model, kModelBadGrid);
  const int64_t n = static_cast<int64_t>(halfCells);
  std::array<int64_t, 3> points{};
  points[a] = PointsFor(length, pitch);
  points[c1] = points[c2] = 2 * n + 1;
  Vec3 origin{};
  origin[a] = base[a];
  origin[c1] = base[c1] - n * pitch;
  origin[c2] = base[c2] - n * pitch;
  model.Placement = kIdentityPlacement;
  const int code = LayOut(model, points, pitch, origin);
  if (code != kModelOk) return code;

  Vec3 low{}, high{};
  low[a] = base[a];
  high[a] = base[a] + length;
  for (int c : {c1, c2}) {
    low[c] = base[c] - radius;
    high[c] = base[c] + radius;
  }
  model.MinCorner() = low;
  model.MaxCorner() = high;

  const double r2 = radius * radius, inner2 = inner * inner;
  // Lines along the axis: the ring between the radii.
  const std::array<double, 2> along{base[a], base[a] + length};
  ForEachColumn(model, a, [&](DexelSet& set, int32_t column, int32_t, int32_t, double u, double v) {
    const double du = u - base[c1], dv = v - base[c2];
    const double d2 = du * du + dv * dv;
    if (inner2 <= d2 && d2 <= r2) PutIntervals(set, column, along);
  });
  // Lines across it: one chord, or two where they pass through the bore.
  for (int c : {c1, c2}) {
    const bool axisFirst = (c + 1) % 3 == a;  // which cross coordinate is along the axis
    const int w = axisFirst ? (c + 2) % 3 : (c + 1) % 3;
    ForEachColumn(
        model, c, [&](DexelSet& set, int32_t column, int32_t, int32_t, double cu, double cv) {
          const double s = axisFirst ? cu : cv;
          const double e = (axisFirst ? cv : cu) - base[w];
          if (s > base[a] + length || std::fabs(e) > radius) return;
          const double h = std::sqrt(r2 - e * e);
          if (std::fabs(e) < inner) {
            const double g = std::sqrt(inner2 - e * e);
            const std::array<double, 4> two{base[c] - h, base[c] - g, base[c] + g, base[c] + h};
            PutIntervals(set, column, two);
          } else {
            const std::array<double, 2> one{base[c] - h, base[c] + h};
            PutIntervals(set, column, one);
          }
        });
  }
  MarkWholeGridChanged(model);
  model.SideFlags() = {};
  FinishModelPlacement(model);
  return kCylinderOk;
}

void TranslateModel(DexelModel& model, const Vec3& delta) {
  for (int k = 0; k < 3; ++k) {
    model.Placement[9 + k] += delta[k];
    model.NegTranslation[k] -= delta[k];
  }
  if (!model.Allocated()) return;
  for (int k = 0; k < 3; ++k) {
    model.MinCorner()[k] += delta[k];
    model.MaxCorner()[k] += delta[k];
  }
}

void NormalizePlacementMatrix(const Placement& source, Placement& destination) {
  Placement p = source;
  for (double& x : p) {
    if (std::fabs(x) < 1e-9) {
      x = 0;
    } else if (std::fabs(x + 1) < 1e-4) {
      x = -1;
    } else if (std::fabs(x - 1) < 1e-4) {
      x = 1;
    }
  }
  for (int image = 0; image < 3; ++image) {
    double* axis = &p[3 * image];
    for (int e = 0; e < 3; ++e) {
      if (axis[e] == 1 || axis[e] == -1) {
        axis[(e + 1) % 3] = 0;
        axis[(e + 2) % 3] = 0;
      }
    }
  }
  destination = p;
}

}  // namespace vestan
