// Picking a point of the workpiece, or a vertex of a vice, under the mouse:
// the candidates near the cursor in window space, the nearest of them, and
// the picked point that the indicator shows and the measuring tools read.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "definitions/view_state.h"
#include "display/view_camera.h"
#include "display/view_mapping.h"
#include "foundation/vector_math.h"
#include "machine/part_models.h"
#include "model/work_document.h"

namespace vestan {

// Candidates kept at most: the collection stops when it has this many.
inline constexpr size_t kMaxWorkPickHits = 10000;
inline constexpr size_t kMaxStructurePickHits = 100;
// Window distance in pixels under which a vice vertex is a candidate.
inline constexpr double kStructurePickRadius = 20.0;
// Start of the nearest-candidate search and of the front depth.
inline constexpr double kPickFar = 99999999.0;
inline constexpr double kPickNoDepth = -99999999.0;

// One candidate: the point in machine coordinates, its window depth and its
// window distance from the cursor divided by the display scale and
// multiplied by the zoom.
struct PickHit {
  Vec3 Point{};
  double Depth = 0.0;
  double Distance = 0.0;
};

// Where a workpiece candidate lies in the model. Set: 0 X, 1 Y, 2 Z; First
// and Second are the column's two grid indexes (i, j for Z; j, k for X; k,
// i for Y); Column its index in the set; Value the value's index in it.
struct PickSource {
  int32_t Set = 0;
  int32_t First = 0;
  int32_t Second = 0;
  int32_t Column = 0;
  int32_t Value = 0;
};

struct PickCandidates {
  std::vector<PickHit> Hits;
  // Per hit: the dexel attribute (the NC line that made the face) and the
  // source; a vice vertex has attribute 0 and an empty source.
  std::vector<int32_t> Attributes;
  std::vector<PickSource> Sources;
  // The largest depth among the hits.
  double FrontDepth = kPickNoDepth;

  size_t Count() const { return Hits.size(); }
};

// What picking looks at: the workpiece, the vices, and the view that maps
// them into the window.
struct PickScene {
  const WorkDocument& Work;
  std::span<const StructureMesh> Vices;
  const ViewState& View;
  const ViewCamera& Camera;
  int32_t Orientation = 0;
  const MachineDisplayFrame& Display;
};

// The half size in pixels of the square a workpiece candidate must lie in:
// 0.7 grid cells of the largest grid count across the view's width, at
// least 1 pixel and at most the view's height.
double PickRadius(const ViewCamera& camera, const DexelModel& model);

// Every value of the workpiece's columns (the Z set, then X, then Y) whose
// window point lies within PickRadius of the cursor, up to kMaxWorkPickHits.
// Nothing when no workpiece exists.
void CollectWorkPickCandidates(const PickScene& scene, ClientPoint mouse, PickCandidates& out);

// Every vertex of the vice meshes within kStructurePickRadius of the cursor,
// up to kMaxStructurePickHits.
void PickStructurePoint(const PickScene& scene, ClientPoint mouse, PickCandidates& out);

// The index of the candidate nearest the cursor and the front: least
// sqrt(distance^2 + (front depth - depth)^2), the first of equals; -1 when
// there is none. keep, when given, says which candidates may be taken.
template <typename Keep>
int32_t NearestPickCandidate(const PickCandidates& candidates, Keep keep) {
  double best = kPickFar;
  int32_t index = -1;
  for (size_t n = 0; n < candidates.Count(); ++n) {
    const PickHit& h = candidates.Hits[n];
    if (!keep(h)) continue;
    const double depth = candidates.FrontDepth - h.Depth;
    const double metric = std::sqrt(h.Distance * h.Distance + depth * depth);
    if (metric < best) {
      best = metric;
      index = static_cast<int32_t>(n);
    }
  }
  return index;
}

// The nearest workpiece candidate at the cursor: 1 with its point and
// source, 0 when there is none.
int32_t PickNearestWorkPoint(const PickScene& scene, ClientPoint mouse, Vec3& point,
                             PickSource& source);

// The picked point and the state of its indicator: 0 nothing picked, 2 a
// new point to show (the scene builds the indicator then), 1 shown.
struct PickState {
  Vec3 Point{};
  int32_t Attribute = 0;
  PickSource Source;
  int32_t IndicatorState = 0;
};

// How a pick is asked for: the mouse mode (1 measures), whether Shift is
// held (in the measure mode it picks the vices), and the axis locks (X, Y,
// Z; a set lock admits only points on the last picked point's coordinate).
struct PickRequest {
  int32_t MouseMode = 0;
  bool ShiftDown = false;
  std::array<int32_t, 3> AxisLocks{};
};

// Picks the point under the cursor. 1 when a point is picked (also when it
// is the one picked before, which changes nothing), 0 when nothing is near.
// A new point is stored with its attribute and the indicator state 2.
int32_t PickPointOnWork(const PickScene& scene, const PickRequest& request, ClientPoint mouse,
                        PickState& state);

}  // namespace vestan
