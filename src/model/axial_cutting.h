// Cutting the tool body and the arbor out of one dexel direction, one axial
// segment (a cylinder or a cone) per pass, with the pose-level helpers of the
// kernel: the combined removed volume and the clean-up of the tool axis.
#pragma once

#include <cstdint>

#include "foundation/vector_math.h"
#include "model/cut_grid_context.h"

namespace vestan {

// Cuts tool-body segment grid.Segment (0 transition, 1 shank taper, 2 shank)
// from the columns of the context's range. Its base is PosePoints[0], its
// length the pose's SegmentLength. In a clearance search (ARBOR CHECK OUTPUT
// with a shank kind below 10) nothing is cut: returns 1 at the first column
// the segment would cut, else 0.
int32_t CutDexelGrid2(CutContext& cut, CutGridContext& grid);

// The same for arbor step grid.Segment; the search runs whenever ARBOR CHECK
// is OUTPUT.
int32_t CutDexelGrid(CutContext& cut, CutGridContext& grid);

// One representative removed volume of the three directions: the direction
// with the most removed ends leads (Z, then Y, then X on ties as ordered),
// averaged with those of the other two volumes that are strictly smaller.
double CombineRemovedVolumes(double volumeX, int32_t countX, double volumeY, int32_t countY,
                             double volumeZ, int32_t countZ);

// Snaps components below 0.00025 in size to 0 and, when one was snapped,
// makes the rest a unit vector again. Returns false, leaving the vector as it
// was, for a zero or non-finite vector: no pose can be cut along it.
bool CleanUnitVector(Vec3& vector);

}  // namespace vestan
