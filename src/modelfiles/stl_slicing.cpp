#include "modelfiles/stl_slicing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "model/triangle_geometry.h"
#include "modelfiles/stl_parsing.h"

namespace vestan {

namespace {

constexpr Matrix3 kIdentityMatrix{1, 0, 0, 0, 1, 0, 0, 0, 1};

// One crossing waiting to be written into its column.
struct RawHit {
  int32_t Column;
  uint8_t Flag;
  double Value;
};

bool AllFiniteVertices(const std::array<Vec3, 3>& p) {
  for (const Vec3& v : p)
    for (double c : v)
      if (!std::isfinite(c)) return false;
  return true;
}

// The facet as the pass sees it: its vertices in model coordinates.
std::array<Vec3, 3> Vertices(const std::array<double, 12>& facet) {
  return {{{facet[3], facet[4], facet[5]},
           {facet[6], facet[7], facet[8]},
           {facet[9], facet[10], facet[11]}}};
}

bool UsesPlacement(const StlSliceContext& context) {
  return context.Transform != nullptr && context.Transform->PlacementPrepared != 0;
}

void TransformVertices(const StlSliceContext& context, std::array<Vec3, 3>& p) {
  if (UsesPlacement(context)) {
    if (context.Transform->Active != 0)
      for (Vec3& v : p) PlaceStlPoint(*context.Transform, v);
  } else if (context.Options != nullptr && context.Options->AnyScaleOrMirror()) {
    for (Vec3& v : p) ScaleMirrorStlPoint(*context.Options, v);
  }
}

// The grid indexes on one axis whose lines may lie within [low, high]:
// ceil((low - origin) / pitch) to ceil((high - origin) / pitch), within the
// grid. Empty (first > last) when none can.
std::pair<int32_t, int32_t> IndexRange(double low, double high, double origin, double pitch,
                                       int32_t last) {
  const double first = std::ceil((low - origin) / pitch);
  const double end = std::ceil((high - origin) / pitch);
  if (!(end >= 0) || !(first <= last)) return {1, 0};
  return {static_cast<int32_t>(std::max(first, 0.0)),
          static_cast<int32_t>(std::min(end, static_cast<double>(last)))};
}

const std::vector<double>& GridOf(const DexelModel& model, int axis) {
  return axis == 0 ? model.GridX : axis == 1 ? model.GridY : model.GridZ;
}

// Counts the facet's bytes and keeps the window alive, once per facet.
void FacetRead(ProgressState& progress, uint64_t bytes) {
  progress.Counter += bytes;
  UpdateProgress(progress, 0);
  if (progress.Pump.PumpDuringWork != 0) PumpPendingMessage(progress);
}

// The plane and box of a facet in the pass's axes.
struct FacetFrame {
  std::array<double, 9> Triangle{};
  Vec3 Normal{};
  double D = 0.0;
  Vec3 Min{}, Max{};
};

void FillFrame(const std::array<Vec3, 3>& p, FacetFrame& f) {
  for (int k = 0; k < 3; ++k)
    for (int a = 0; a < 3; ++a) f.Triangle[3 * k + a] = p[k][a];
  ComputeBoundingBox(p[0], p[1], p[2], f.Min, f.Max);
  f.D = VectorDot(f.Normal, p[0]);
}

// The gathered hits of one pass, within the column limit and the memory
// limit.
class HitGathering {
 public:
  HitGathering(int32_t columns, uint64_t memoryLimit)
      : counts_(static_cast<size_t>(columns), 0), limit_(memoryLimit / sizeof(RawHit)) {}

  int32_t Add(int32_t column, double value, uint8_t flag) {
    if (counts_[column] >= kMaxColumnValues) return kModelBadGrid;
    if (hits_.size() == hits_.capacity()) {
      const size_t wanted = std::min<uint64_t>(std::max<size_t>(1024, 2 * hits_.size()), limit_);
      if (wanted <= hits_.size()) return kModelNoMemory;
      try {
        hits_.reserve(wanted);
      } catch (const std::bad_alloc&) {
        return kModelNoMemory;
      }
    }
    hits_.push_back({column, flag, value});
    ++counts_[column];
    return kModelOk;
  }

  // Writes every column once, its hits in the order they came.
  int32_t WriteInto(DexelSet& set) {
    std::vector<int64_t> first(counts_.size() + 1, 0);
    for (size_t c = 0; c < counts_.size(); ++c) first[c + 1] = first[c] + counts_[c];
    std::vector<double> values;
    std::vector<uint8_t> flags;
    try {
      values.resize(hits_.size());
      flags.resize(hits_.size());
    } catch (const std::bad_alloc&) {
      return kModelNoMemory;
    }
    std::vector<int64_t> next(first.begin(), first.end() - 1);
    for (const RawHit& h : hits_) {
      const int64_t at = next[h.Column]++;
      values[at] = h.Value;
      flags[at] = h.Flag;
    }
    hits_ = {};
    const std::vector<int32_t> attributes(kMaxColumnValues, 0);
    for (size_t c = 0; c < counts_.size(); ++c) {
      if (counts_[c] == 0) continue;
      const size_t at = static_cast<size_t>(first[c]);
      const size_t n = static_cast<size_t>(counts_[c]);
      if (!SetDexelColumn(set, static_cast<int32_t>(c), std::span(values).subspan(at, n),
                          std::span(flags).subspan(at, n), attributes))
        return kModelBadGrid;
    }
    return kModelOk;
  }

 private:
  std::vector<int32_t> counts_;
  std::vector<RawHit> hits_;
  uint64_t limit_;
};

void EmptySet(DexelSet& set) {
  for (int32_t c = 0; c < set.Columns; ++c)
    if (DexelColumnCount(set, c) != 0) SetDexelColumn(set, c, {}, {}, {});
}

// The crossing of the line at (u, v) with the facet, by the exact test's
// answer: a vertex's own value, the interpolation along an axis-parallel
// edge, or the plane.
double HitValue(const FacetFrame& f, int32_t code, StlSliceAxes axes, double u, double v) {
  const auto at = [&f](int k, int axis) { return f.Triangle[3 * k + axis]; };
  const int line = axes.Line;
  double value;
  if (code >= 1 && code <= 3) return at(code - 1, line);
  if (code >= 4 && code <= 6) {
    const int a = code - 4, b = (code - 3) % 3;
    if (at(a, line) == at(b, line)) return at(a, line);
    const double da = std::hypot(at(a, axes.First) - u, at(a, axes.Second) - v);
    const double db = std::hypot(at(b, axes.First) - u, at(b, axes.Second) - v);
    value = (at(b, line) * da + at(a, line) * db) / (da + db);
  } else {
    value = (f.D - f.Normal[axes.First] * u - f.Normal[axes.Second] * v) / f.Normal[line];
  }
  return std::clamp(value, f.Min[line], f.Max[line]);
}

// One pass of a slicer over the file: the facets with their vertices taken
// into the model's coordinates, and the dexel lines within a facet's box.
class FacetPass {
 public:
  FacetPass(int32_t kind, const std::filesystem::path& path, const DexelModel& model,
            StlSliceAxes axes, const StlSliceContext& context)
      : facets_(kind, path),
        context_(context),
        progress_(context.Progress != nullptr ? *context.Progress : quiet_),
        axes_(axes),
        grid1_(GridOf(model, axes.First)),
        grid2_(GridOf(model, axes.Second)),
        pitch_(model.Pitch) {}

  // The next facet whose vertices are finite: as stored (raw) and placed (p).
  bool Next(std::array<double, 12>& raw, std::array<Vec3, 3>& p) {
    uint64_t bytes = 0;
    while (facets_.Next(raw, bytes)) {
      FacetRead(progress_, bytes);
      p = Vertices(raw);
      TransformVertices(context_, p);
      if (AllFiniteVertices(p)) return true;
    }
    return false;
  }

  // Visits, row by row, every line within the facet's box with test's answer
  // for it (below 1 a miss): visit(column, u, v, code). A row ends at the
  // first miss after an answer of insideCode or above, the facet being
  // convex. visit returns false to end the pass.
  template <typename Test, typename Visit>
  bool VisitLines(const FacetFrame& f, int32_t insideCode, Test test, Visit visit) const {
    const int a1 = axes_.First, a2 = axes_.Second;
    const int32_t last1 = static_cast<int32_t>(grid1_.size()) - 1;
    const int32_t last2 = static_cast<int32_t>(grid2_.size()) - 1;
    const auto [i0, i1] = IndexRange(f.Min[a1], f.Max[a1], grid1_[0], pitch_, last1);
    const auto [j0, j1] = IndexRange(f.Min[a2], f.Max[a2], grid2_[0], pitch_, last2);
    Vec3 point{};
    for (int32_t j = j0; j <= j1; ++j) {
      const double v = grid2_[j];
      if (v < f.Min[a2] || v > f.Max[a2]) continue;
      bool inside = false;
      for (int32_t i = i0; i <= i1; ++i) {
        const double u = grid1_[i];
        if (u < f.Min[a1] || u > f.Max[a1]) continue;
        point[a1] = u;
        point[a2] = v;
        const int32_t code = test(point);
        if (code < 1) {
          if (inside) break;
          continue;
        }
        if (code >= insideCode) inside = true;
        if (!visit(j * (last1 + 1) + i, u, v, code)) return false;
      }
    }
    return true;
  }

 private:
  detail::StlFacetStream facets_;
  const StlSliceContext& context_;
  ProgressState quiet_;
  ProgressState& progress_;
  StlSliceAxes axes_;
  const std::vector<double>& grid1_;
  const std::vector<double>& grid2_;
  double pitch_;
};

}  // namespace

namespace detail {

bool LineClearlyMissesTriangle(const std::array<double, 9>& t, int a1, int a2, double u, double v) {
  // The exact test answers other than 0 only for a point on the triangle,
  // within about 1e-8 of the longest edge from its boundary (an edge whose
  // directions to the point compute as exactly opposite), or inside it.
  const double x[3] = {t[a1], t[3 + a1], t[6 + a1]};
  const double y[3] = {t[a2], t[3 + a2], t[6 + a2]};
  const double orientation = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
  if (orientation == 0 || !std::isfinite(orientation)) return false;
  double longest = 0;
  for (int k = 0; k < 3; ++k) {
    const int l = (k + 1) % 3;
    longest = std::max(longest, std::fabs(x[l] - x[k]) + std::fabs(y[l] - y[k]));
  }
  for (int k = 0; k < 3; ++k) {
    const int l = (k + 1) % 3;
    const double ex = x[l] - x[k], ey = y[l] - y[k];
    const double side = ex * (v - y[k]) - ey * (u - x[k]);
    const double outside = orientation > 0 ? -side : side;
    if (outside > 1e-6 * (std::fabs(ex) + std::fabs(ey)) * longest) return true;
  }
  return false;
}

}  // namespace detail

bool StlImportOptions::AnyScaleOrMirror() const {
  for (int a = 0; a < 3; ++a)
    if (Scale[a] != 0 || Mirror[a] != 0) return true;
  return false;
}

void SetupStlImportTransform(StlImportTransform& transform, const DexelModel& model,
                             int32_t workCoordinates, const WorkOffsetFrame& frame) {
  transform = StlImportTransform{};
  transform.Active = 1;
  transform.PlacementPrepared = 1;
  transform.WorkCoordinates = workCoordinates == 1 ? 1 : 0;
  transform.WorkRotated = frame.FrameRotated;
  transform.WorkRotation = frame.Matrix;
  transform.WorkOrigin = frame.Origin;
  const Matrix3 rotation = PlacementMatrix(model.Placement);
  const Vec3 translation{model.Placement[9], model.Placement[10], model.Placement[11]};
  if (transform.WorkCoordinates != 0 && rotation == frame.Matrix && translation == frame.Origin) {
    // The file already is in the model's coordinates.
    transform.Active = 0;
    return;
  }
  if (rotation != kIdentityMatrix) {
    transform.Rotate = 1;
    transform.InverseRotation = InvertMatrix3(rotation);
  }
  if (translation == Vec3{0, 0, 0}) {
    if (transform.Rotate == 0 && transform.WorkCoordinates == 0) transform.Active = 0;
    return;
  }
  transform.Translate = 1;
  transform.Translation = {-translation[0], -translation[1], -translation[2]};
}

void ResetStlImportFlags(StlImportTransform& transform) {
  transform.Active = 0;
  transform.PlacementPrepared = 0;
  transform.Translate = 0;
  transform.Rotate = 0;
}

void ScaleMirrorStlPoint(const StlImportOptions& options, Vec3& point) {
  for (int a = 0; a < 3; ++a)
    if (options.Scale[a] != 0)
      point[a] =
          options.ScaleCentre[a] + (point[a] - options.ScaleCentre[a]) * options.ScaleRate[a];
  for (int a = 0; a < 3; ++a)
    if (options.Mirror[a] != 0) point[a] = 2 * options.MirrorCentre[a] - point[a];
}

void PlaceStlPoint(const StlImportTransform& transform, Vec3& point) {
  if (transform.Active == 0) return;
  if (transform.WorkCoordinates != 0) {
    if (transform.WorkRotated != 0) point = MultiplyMatrixVector(transform.WorkRotation, point);
    point = VectorAdd(point, transform.WorkOrigin);
  }
  if (transform.Translate != 0) point = VectorAdd(point, transform.Translation);
  if (transform.Rotate != 0) point = MultiplyMatrixVector(transform.InverseRotation, point);
}

void ScaleMirrorStlNormal(const StlImportOptions& options, Vec3& normal) {
  const int scaled = (options.Scale[0] != 0) + (options.Scale[1] != 0) + (options.Scale[2] != 0);
  const bool alike =
      options.ScaleRate[0] == options.ScaleRate[1] && options.ScaleRate[1] == options.ScaleRate[2];
  if ((scaled > 0 && scaled < 3) || (scaled == 3 && !alike)) {
    normal = {0, 0, 0};
    return;
  }
  for (int a = 0; a < 3; ++a)
    if (options.Mirror[a] != 0) normal[a] = -normal[a];
}

void RotateStlNormal(const StlImportTransform& transform, Vec3& normal) {
  if (transform.WorkCoordinates != 0 && transform.WorkRotated != 0)
    normal = MultiplyMatrixVector(transform.WorkRotation, normal);
  normal = MultiplyMatrixVector(transform.InverseRotation, normal);
}

void NormalizeFacetNormal(const Vec3& vector, Vec3& out) {
  if (vector == Vec3{0, 0, 0}) return;
  for (int k = 0; k < 3; ++k) {
    const int a = (k + 1) % 3, b = (k + 2) % 3;
    if (vector[k] == 0 && std::fabs(vector[a]) == std::fabs(vector[b])) {
      out[k] = 0;
      out[a] = vector[a] > 0 ? 1 : -1;
      out[b] = vector[a] == vector[b] ? out[a] : -out[a];
      return;
    }
  }
  const double length = VectorLength(vector);
  for (int k = 0; k < 3; ++k) out[k] = vector[k] / length;
}

bool MeasureStlBounds(int32_t kind, const std::filesystem::path& path,
                      const StlImportOptions& options, Vec3& maximum, Vec3& minimum) {
  constexpr double kHuge = std::numeric_limits<double>::infinity();
  maximum = {-kHuge, -kHuge, -kHuge};
  minimum = {kHuge, kHuge, kHuge};
  detail::StlFacetStream facets(kind, path);
  std::array<double, 12> facet;
  uint64_t bytes = 0;
  bool any = false;
  const bool transform = options.AnyScaleOrMirror();
  while (facets.Next(facet, bytes)) {
    std::array<Vec3, 3> p = Vertices(facet);
    if (transform)
      for (Vec3& v : p) ScaleMirrorStlPoint(options, v);
    if (!AllFiniteVertices(p)) return false;
    for (const Vec3& v : p)
      for (int a = 0; a < 3; ++a) {
        minimum[a] = std::min(minimum[a], v[a]);
        maximum[a] = std::max(maximum[a], v[a]);
      }
    any = true;
  }
  return any;
}

int32_t SliceStlIntoModel(int32_t kind, const std::filesystem::path& path, StlSliceAxes axes,
                          DexelModel& model, Vec3& materialMax, Vec3& materialMin,
                          const StlSliceContext& context) {
  DexelSet& set = model.SetByDirection(axes.Line);
  EmptySet(set);
  const int a1 = axes.First, a2 = axes.Second, line = axes.Line;
  materialMax[line] = -999999999.9;
  materialMin[line] = 999999999.9;

  HitGathering hits(set.Columns, context.MemoryLimit);
  int32_t result = kModelOk;
  FacetPass pass(kind, path, model, axes, context);
  std::array<double, 12> raw;
  std::array<Vec3, 3> p;
  FacetFrame f;
  while (result == kModelOk && pass.Next(raw, p)) {
    // Two vertices on one dexel line: the facet stands along the line. The
    // test is made on the vertices as they are sliced, which a turn of the
    // model or of the work frame would change.
    const auto sameLine = [&](int k, int l) {
      return p[k][a1] == p[l][a1] && p[k][a2] == p[l][a2];
    };
    if (sameLine(0, 1) || sameLine(1, 2) || sameLine(0, 2)) continue;
    f.Normal = {0, 0, 0};
    if (p[0][0] == p[1][0] && p[1][0] == p[2][0])
      f.Normal = {1, 0, 0};
    else if (p[0][1] == p[1][1] && p[1][1] == p[2][1])
      f.Normal = {0, 1, 0};
    else if (p[0][2] == p[1][2] && p[1][2] == p[2][2])
      f.Normal = {0, 0, 1};
    else
      NormalizeFacetNormal(VectorCross(VectorSub(p[1], p[0]), VectorSub(p[2], p[0])), f.Normal);
    if (f.Normal[line] == 0) continue;
    FillFrame(p, f);
    const auto test = [&f, a1, a2](const Vec3& point) {
      return detail::LineClearlyMissesTriangle(f.Triangle, a1, a2, point[a1], point[a2])
                 ? 0
                 : IntersectTriangleWithLine(f.Triangle, a1, a2, point);
    };
    pass.VisitLines(f, 7, test, [&](int32_t column, double u, double v, int32_t code) {
      const double value = HitValue(f, code, axes, u, v);
      const uint8_t flag = static_cast<uint8_t>(
          (u == f.Min[a1] ? kHitFirstMin : 0) | (u == f.Max[a1] ? kHitFirstMax : 0) |
          (v == f.Min[a2] ? kHitSecondMin : 0) | (v == f.Max[a2] ? kHitSecondMax : 0));
      result = hits.Add(column, value, flag);
      materialMax[line] = std::max(materialMax[line], value);
      materialMin[line] = std::min(materialMin[line], value);
      return result == kModelOk;
    });
  }
  if (result == kModelOk) result = hits.WriteInto(set);
  if (result != kModelOk) EmptySet(set);
  return result;
}

void SliceStlIntoModelA(int32_t kind, const std::filesystem::path& path, StlSliceAxes axes,
                        int32_t direction, DexelModel& model, Vec3& materialMax, Vec3& materialMin,
                        const StlSliceContext& context) {
  const int a1 = axes.First, a2 = axes.Second, line = axes.Line;
  const bool down = direction < 0;
  // The seen side's end: every line starts as the empty pair there.
  const double start = down ? materialMax[line] : materialMin[line];
  if (down)
    materialMin[line] = start;
  else
    materialMax[line] = start;
  DexelSet& set = model.SetByDirection(line);
  std::vector<double> heights(static_cast<size_t>(set.Columns), start);
  const std::vector<double>& gridLine = GridOf(model, line);
  const double farEnd = down ? gridLine.back() : gridLine.front();

  FacetPass pass(kind, path, model, axes, context);
  std::array<double, 12> raw;
  std::array<Vec3, 3> p;
  FacetFrame f;
  while (pass.Next(raw, p)) {
    f.Normal = {raw[0], raw[1], raw[2]};
    // The normal goes the way its vertices went.
    if (UsesPlacement(context)) {
      if (context.Transform->Active != 0) RotateStlNormal(*context.Transform, f.Normal);
    } else if (context.Options != nullptr && context.Options->AnyScaleOrMirror()) {
      ScaleMirrorStlNormal(*context.Options, f.Normal);
    }
    if (f.Normal == Vec3{0, 0, 0}) {
      const Vec3 n = VectorCross(VectorSub(p[1], p[0]), VectorSub(p[2], p[0]));
      const double length = VectorLength(n);
      if (length > 0)
        for (int k = 0; k < 3; ++k) f.Normal[k] = n[k] / length;
    }
    if (!(std::fabs(f.Normal[line]) >= 1e-8)) continue;
    FillFrame(p, f);
    const auto test = [&f, a1, a2](const Vec3& point) {
      return IntersectTriangleWithLineA(f.Triangle, a1, a2, point);
    };
    pass.VisitLines(f, kInside, test, [&](int32_t column, double u, double v, int32_t) {
      double h = (f.D - f.Normal[a1] * u - f.Normal[a2] * v) / f.Normal[line];
      if (h > f.Max[line] + 5.0 || h < f.Min[line] - 5.0)
        h = farEnd;
      else
        h = std::clamp(h, f.Min[line], f.Max[line]);
      double& height = heights[column];
      if (down ? h < height : h > height) {
        height = h;
        if (down)
          materialMin[line] = std::min(materialMin[line], h);
        else
          materialMax[line] = std::max(materialMax[line], h);
      }
      return true;
    });
  }
  const std::array<uint8_t, 2> flags{};
  const std::array<int32_t, 2> attributes{};
  for (int32_t c = 0; c < set.Columns; ++c) {
    const std::array<double, 2> pair =
        down ? std::array<double, 2>{heights[c], start} : std::array<double, 2>{start, heights[c]};
    SetDexelColumn(set, c, pair, flags, attributes);
  }
}

}  // namespace vestan
