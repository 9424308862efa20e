// Clipping the workpiece model by a box: keeping what lies inside it or
// removing it, on whole columns where the box stays axis-aligned in the
// model, else column by column against the box's planes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "definitions/machine_definition.h"
#include "definitions/work_offset_frame.h"
#include "foundation/vector_math.h"
#include "model/dexel_model.h"

namespace vestan {

// The clip options of the cut dialog. Whether the box is given in workpiece
// coordinates is the settings' InputInWork.
struct ClipSettings {
  int32_t RemoveInside = 0;  // 0 keep what is inside, 1 remove it
  // Per axis X, Y, Z the minimum and the maximum side: set for each bound
  // that lies inside the model; a slab is applied on the plane path when
  // either of its pair is set.
  std::array<int32_t, 6> SlabFlags{};
  int32_t ModelRotated = 0;  // ClassifyModelPlacement
  int32_t FrameRotated = 0;  // GetRotaryOffsetFlags
};

// a*x + b*y + c*z + e = 0 in model coordinates.
using ClipPlane = std::array<double, 4>;

// 1 when the model's placement is not the identity.
int32_t ClassifyModelPlacement(const DexelModel& model);
// 1 when the work offset turns the workpiece: on a TABLE machine a first
// rotary value, on a TABLE or MIX machine a second one (a NaN counts).
int32_t GetRotaryOffsetFlags(const MachineKinematics& kinematics, const WorkOffsetFrame& frame);

// The box's six planes in model coordinates, in pairs per axis X, Y, Z: the
// first through the minimum corner, the second through the maximum corner,
// both with the image of the positive axis as normal. The corners always
// pass through the work-offset frame.
std::array<ClipPlane, 6> BuildClipPlanes(const Vec3& minimum, const Vec3& maximum,
                                         const WorkOffsetFrame& frame, const DexelModel& model);

// Cuts the model by the box [minimum, maximum] (workpiece coordinates when
// inputInWork is 1, else machine coordinates), keeping or removing its
// inside as the settings say. Only the columns change: new boundaries get
// flag 0 and attribute 0, the others keep theirs; a column that would grow
// past its capacity stays as it was and is counted in its set.
void ClipWorkModel(DexelModel& model, const Vec3& minimum, const Vec3& maximum,
                   const ClipSettings& settings, int32_t inputInWork, const WorkOffsetFrame& frame);

// The passes over one set. A set's column (inner i, outer j) is
// j * innerCount + i; the grids are the grid lines of the inner and outer
// axes.

// Empties the columns whose inner or outer grid line lies outside its range
// (a line on a bound is inside).
void EmptyColumnsOutsideBox(DexelSet& set, int32_t innerCount, const std::vector<double>& innerGrid,
                            int32_t outerCount, const std::vector<double>& outerGrid,
                            double innerLow, double innerHigh, double outerLow, double outerHigh);
// Trims every column to [low, high].
void TrimColumnsToRange(DexelSet& set, int32_t innerCount, int32_t outerCount, double low,
                        double high);
// Removes [low, high] from the columns strictly inside the inner and outer
// ranges; a range not marked partial takes every row or column, and a
// column not partial along its axis is emptied.
struct BoxRemoval {
  bool PartialAlong = false, PartialInner = false, PartialOuter = false;
  double Low = 0.0, High = 0.0;
  double InnerLow = 0.0, InnerHigh = 0.0;
  double OuterLow = 0.0, OuterHigh = 0.0;
};
void RemoveBoxFromSet(DexelSet& set, int32_t innerCount, const std::vector<double>& innerGrid,
                      int32_t outerCount, const std::vector<double>& outerGrid,
                      const BoxRemoval& removal);
// Clips every column of the set against the slabs the flags select: keeps
// the part between each slab's planes, or in remove mode takes that part
// away.
void ClipSetBySlabs(int innerAxis, int outerAxis, int columnAxis, int32_t innerCount,
                    const std::vector<double>& innerGrid, int32_t outerCount,
                    const std::vector<double>& outerGrid, DexelSet& set,
                    const std::array<int32_t, 6>& slabFlags, const std::array<ClipPlane, 6>& planes,
                    bool removeInside);

}  // namespace vestan
