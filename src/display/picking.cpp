#include "display/picking.h"

#include <algorithm>
#include <cmath>

#include "display/dexel_columns.h"

namespace vestan {

namespace {

// The window point of a machine point and its distance from the cursor.
struct Projected {
  WindowPoint Window;
  double Distance = 0.0;
};

Projected Project(const PickScene& scene, ClientPoint mouse, const Vec3& p) {
  Projected out;
  out.Window = ModelToWindow(scene.View, scene.Camera, scene.Orientation,
                             MachineToDisplayCoordinates(scene.Display, p));
  const double dx = out.Window.X - mouse.X, dy = out.Window.Y - mouse.Y;
  out.Distance = std::sqrt(dx * dx + dy * dy);
  return out;
}

void Add(const PickScene& scene, const Vec3& point, const Projected& at, int32_t attribute,
         const PickSource& source, PickCandidates& out) {
  out.Hits.push_back(
      {point, at.Window.Depth, at.Distance / scene.View.DisplayScale * scene.Camera.Zoom});
  out.Attributes.push_back(attribute);
  out.Sources.push_back(source);
  out.FrontDepth = std::max(out.FrontDepth, at.Window.Depth);
}

void Clear(PickCandidates& out) {
  out.Hits.clear();
  out.Attributes.clear();
  out.Sources.clear();
  out.FrontDepth = kPickNoDepth;
}

}  // namespace

double PickRadius(const ViewCamera& camera, const DexelModel& model) {
  const int32_t cells = std::max({model.CountX, model.CountY, model.CountZ, int32_t{1}});
  return std::min(static_cast<double>(camera.Height),
                  std::max(1.0, camera.Width * camera.Zoom * 0.7 / cells));
}

void CollectWorkPickCandidates(const PickScene& scene, ClientPoint mouse, PickCandidates& out) {
  Clear(out);
  const DexelModel& model = scene.Work.Workpiece();
  if (scene.Work.WorkPresent == 0 || !model.Allocated() || model.CountX < 2) return;
  const double r = PickRadius(scene.Camera, model);
  ForEachDexelColumn(model, [&](const DexelColumnView& column) {
    for (size_t v = 0; v < column.Values.size(); ++v) {
      const Vec3 local = column.PointAt(column.Values[v]);
      const Vec3 point = model.Placed != 0 ? TransformPointAffine(model.Placement, local) : local;
      const Projected at = Project(scene, mouse, point);
      if (!(std::abs(at.Window.X - mouse.X) < r && std::abs(at.Window.Y - mouse.Y) < r &&
            at.Distance < r))
        continue;
      Add(scene, point, at, column.Attributes[v],
          {column.Set, column.First, column.Second, column.Column, static_cast<int32_t>(v)}, out);
      if (out.Count() >= kMaxWorkPickHits) return false;
    }
    return true;
  });
}

void PickStructurePoint(const PickScene& scene, ClientPoint mouse, PickCandidates& out) {
  Clear(out);
  for (const StructureMesh& mesh : scene.Vices)
    for (const StlTriangle& facet : mesh.Triangles)
      for (size_t corner = 0; corner < 3; ++corner) {
        const Vec3 point{facet[3 + 3 * corner], facet[4 + 3 * corner], facet[5 + 3 * corner]};
        const Projected at = Project(scene, mouse, point);
        if (!(at.Distance < kStructurePickRadius)) continue;
        Add(scene, point, at, 0, PickSource{}, out);
        if (out.Count() >= kMaxStructurePickHits) return;
      }
}

int32_t PickNearestWorkPoint(const PickScene& scene, ClientPoint mouse, Vec3& point,
                             PickSource& source) {
  PickCandidates candidates;
  CollectWorkPickCandidates(scene, mouse, candidates);
  const int32_t n = NearestPickCandidate(candidates, [](const PickHit&) { return true; });
  if (n < 0) return 0;
  point = candidates.Hits[static_cast<size_t>(n)].Point;
  source = candidates.Sources[static_cast<size_t>(n)];
  return 1;
}

int32_t PickPointOnWork(const PickScene& scene, const PickRequest& request, ClientPoint mouse,
                        PickState& state) {
  PickCandidates candidates;
  const bool anyVice = std::any_of(scene.Vices.begin(), scene.Vices.end(),
                                   [](const StructureMesh& m) { return m.FacetCount() > 0; });
  if (request.MouseMode == 1 && (scene.Work.WorkPresent == 0 || (request.ShiftDown && anyVice)))
    PickStructurePoint(scene, mouse, candidates);
  else
    CollectWorkPickCandidates(scene, mouse, candidates);
  if (candidates.Count() == 0) return 0;

  const auto keep = [&](const PickHit& h) {
    for (size_t k = 0; k < 3; ++k)
      if (request.AxisLocks[k] != 0 && h.Point[k] != state.Point[k]) return false;
    return true;
  };
  const int32_t n = NearestPickCandidate(candidates, keep);
  if (n < 0) return 0;
  const size_t index = static_cast<size_t>(n);
  const Vec3& chosen = candidates.Hits[index].Point;
  // Before the first pick there is no previous point to be equal to.
  if (state.IndicatorState > 0 && chosen == state.Point) return 1;
  state.Point = chosen;
  state.Attribute = candidates.Attributes[index];
  state.Source = candidates.Sources[index];
  state.IndicatorState = 2;
  return 1;
}

}  // namespace vestan
